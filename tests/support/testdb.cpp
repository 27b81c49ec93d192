#include "support/testdb.h"

#include "db/database.h"

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
