// A fresh database in a temporary folder for one test, removed afterwards.
#pragma once

#include <QString>
#include <QTemporaryDir>

class Database;

class TestDb
{
public:
    TestDb();

    // The folder with a final "/", open to the server's own user.
    QString folder() const;
    // The file opened embedded, and the same file through the local server.
    QString embeddedPath() const;
    QString serverPath() const;

    // Creates the file embedded and leaves db connected to it; false on failure.
    bool createEmbedded(Database &db) const;

private:
    QTemporaryDir dir;
};

// Reads a cell of the first row of a query run on its own (for checks after a helper).
QString QueryValue(Database &db, const QString &columns, const QString &table,
                   const QString &where = QString());

// The main window and the dialogs created at start, connected to a fresh database: the
// settings name it, so the dialogs' show checks pass.
class ProgramFixture
{
public:
    explicit ProgramFixture(bool throughServer = false);
    ~ProgramFixture();

    TestDb db;
    QTemporaryDir files;
    bool connected = false;
};
