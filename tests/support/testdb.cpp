#include "support/testdb.h"

#include "app/dbsettings.h"
#include "app/globals.h"
#include "app/messages.h"
#include "app/mainwindow.h"
#include "db/database.h"
#include "master/members.h"
#include "master/pcuser.h"
#include "master/sections.h"
#include "register/revisions.h"

#include <QFile>
#include <QStringList>

TestDb::TestDb()
{
    // The server runs as its own user and must be able to create files here.
    QFile::setPermissions(dir.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner
                                          | QFileDevice::ExeOwner | QFileDevice::ReadGroup
                                          | QFileDevice::WriteGroup | QFileDevice::ExeGroup
                                          | QFileDevice::ReadOther | QFileDevice::WriteOther
                                          | QFileDevice::ExeOther);
}

QString TestDb::folder() const
{
    return dir.path() + u'/';
}

QString TestDb::embeddedPath() const
{
    return folder() + QStringLiteral("TEST.FDB");
}

QString TestDb::serverPath() const
{
    return QStringLiteral("localhost:") + embeddedPath();
}

bool TestDb::createEmbedded(Database &db) const
{
    db.CreateDatabase(embeddedPath());
    return db.DatabaseConnected();
}

QString QueryValue(Database &db, const QString &columns, const QString &table,
                   const QString &where)
{
    QStringList values;
    if (db.SqlSelectRow(columns, table, where, values) < 1)
        return QStringLiteral("<no row>");
    return values.value(0);
}

ProgramFixture::ProgramFixture(bool throughServer)
{
    Globals() = ProgramValues();
    Form1 = new TForm1;
    Form1->SettingsFile = files.filePath(QStringLiteral("harokan.dat"));
    Form2 = new TForm2(Form1);
    Form3 = new TForm3(Form1);
    Form5 = new TForm5(Form1);
    Form4 = new TForm4(Form1);
    Form11 = new TForm11(Form1);
    Form1->SetPlacedDialogs({Form2, Form3, Form4, Form5, nullptr, Form11});
    Settings &s = Config();
    s.ServerName = throughServer ? QStringLiteral("localhost:") : QString();
    s.DataFolder = db.folder();
    s.DbFileName = QStringLiteral("TEST.FDB");
    // A failure must fail the test, not wait for someone to close a message box.
    MessageRecorder settingUp;
    Form1->CreateDatabase(Form1->DatabasePath());
    connected = Form1->DatabaseConnected();
    // Shown as at start: the settings file names the database, child windows can open.
    SaveSettingsFile(Form1->SettingsFile, s);
    Form1->show();
}

ProgramFixture::~ProgramFixture()
{
    delete Form1;
    Form2 = nullptr;
    Form3 = nullptr;
    Form4 = nullptr;
    Form5 = nullptr;
    Form11 = nullptr;
}
