// The mouse positions the PCs publish in the shared MOUSEPOS table, one row per member.
#pragma once

#include <QList>
#include <QPoint>
#include <QString>

class Database;

struct PointerRow
{
    int member = 0;
    int state = 0; // 1 while the member's pointer window is open
    QPoint pos;    // relative to the top-left corner of the publisher's main window
    QString name;
};

// Writes the member's row, inserting it the first time; false when it did not go through.
bool PublishPointer(Database &db, int member, int state, QPoint pos);
// The rows of every other member still in MEMBER, in member order; false when the database
// did not answer.
bool ReadPointers(Database &db, int member, QList<PointerRow> &rows);
