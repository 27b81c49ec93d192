// The definitions of every table and the operations that create them. Each creation runs
// one committed CREATE TABLE and reports whether it succeeded.
#pragma once

#include <QString>
#include <QStringList>

class Database;

// Shared tables.
bool CreateSectionTable(Database &db);
bool CreateMemberTable(Database &db);
bool CreateChatTable(Database &db);
bool CreateMousePosTable(Database &db);
bool CreateCadListTable(Database &db);
bool CreateCadRevTable(Database &db);
bool CreateWorkDisplayTable(Database &db);
bool CreatePresenceTable(Database &db);

// The ten tables of drawing n.
bool CreateLayerTable(Database &db, int n);
bool CreateColorTable(Database &db, int n);
bool CreateLtypeTable(Database &db, int n);
bool CreateVarTable(Database &db, int n);
bool CreateHistoryTable(Database &db, int n);
bool CreateEntityTable(Database &db, int n);
bool CreateEntLineTable(Database &db, int n);
bool CreateEntCircleTable(Database &db, int n);
bool CreateEntArcTable(Database &db, int n);
bool CreateEntTextTable(Database &db, int n);

// The prefixes of a drawing's tables ("LAYER_", ...), in creation order.
QStringList DrawingTablePrefixes();
// The CREATE TABLE lines of one table of drawing n by its prefix; empty for an unknown one.
QStringList DrawingTableLines(const QString &prefix, int n);
// Creates one table of drawing n by its prefix; false for an unknown prefix.
bool CreateDrawingTable(Database &db, const QString &prefix, int n);
// Creates a shared table by name; false for a name that is not one.
bool CreateSharedTable(Database &db, const QString &name);
// Where a column of a shared table comes in a row read with "*"; -1 for an unknown one.
int ColumnPosition(const QString &table, const QString &column);
