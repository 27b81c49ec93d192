// A drawing's own ten tables: created with their default layers, colours, line types and
// variable row when the drawing is first opened, dropped when its contents are deleted.
#pragma once

#include <QStringList>

class Database;

// The ten table names of drawing n, in creation order.
QStringList DrawingTables(int n);

// The default rows of a new drawing: the columns, then one list of stored texts per row.
struct DefaultRows
{
    QString table;
    QStringList columns;
    QList<QStringList> rows;
};
QList<DefaultRows> DefaultDrawingRows(int n);

// Creates whatever of drawing n's set (and WORKDISPLAY) is missing and writes the default
// rows a table lacks, each table's missing rows in one transaction. Rows already there are never
// touched, so a second opening writes nothing and an opening after a failure completes the
// set; two PCs doing this at once end with one copy of the defaults. False when something
// is still missing afterwards.
bool EnsureDrawingTables(Database &db, int n);
// Drops each of drawing n's tables that exists; false when one of them is still there.
bool DropDrawingTables(Database &db, int n);
