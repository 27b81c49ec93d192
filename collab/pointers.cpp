#include "collab/pointers.h"

#include "base/values.h"
#include "db/database.h"

bool PublishPointer(Database &db, int member, int state, QPoint pos)
{
    const QString table = QStringLiteral("MOUSEPOS");
    const QStringList columns{QStringLiteral("MN"), QStringLiteral("ST"), QStringLiteral("MX"),
                              QStringLiteral("MY")};
    const QStringList values{QString::number(member), QString::number(state),
                             QString::number(pos.x()), QString::number(pos.y())};
    if (!db.SqlSelectPairs(table, QStringLiteral("MN"), QString(), member))
        return db.SqlInsert(table, 4, columns, values);
    return db.SqlUpdate(table, 4, columns, values,
                        QStringLiteral("MN=") + QString::number(member));
}

bool ReadPointers(Database &db, int member, QList<PointerRow> &rows)
{
    rows.clear();
    const QList<QStringList> found = db.SelectRows(
        QStringLiteral("MOUSEPOS.MN,MOUSEPOS.ST,MOUSEPOS.MX,MOUSEPOS.MY,MEMBER.PNAME"),
        QStringLiteral("MOUSEPOS,MEMBER"),
        QStringLiteral("MOUSEPOS.MN<>") + QString::number(member)
            + QStringLiteral(" AND MOUSEPOS.MN=MEMBER.N"),
        QStringLiteral("MOUSEPOS.MN"));
    if (!db.DatabaseConnected() || !db.LastError().isEmpty())
        return false;
    for (const QStringList &r : found)
        rows.append({StrToIntZ(r.value(0)), StrToIntZ(r.value(1)),
                     QPoint(StrToIntZ(r.value(2)), StrToIntZ(r.value(3))), r.value(4)});
    return true;
}
