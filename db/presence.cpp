#include "db/presence.h"

#include "db/database.h"
#include "db/liveevents.h"
#include "db/schema.h"
#include "db/sqltext.h"

#include <cmath>

namespace {

const QString Table = QStringLiteral("PRESENCE");

QString real(double v)
{
    return QString::number(v, 'g', 15);
}

bool ensureTable(Database &db)
{
    // Two PCs may create it at once; the second creation fails and the table is there.
    return db.TableExists(Table) || CreatePresenceTable(db) || db.TableExists(Table);
}

bool writeAndPost(Database &db, const QString &sql)
{
    const bool ok = db.StartTransaction() && db.ExecSqlLinesNoCommit({sql})
                    && db.PostEventNoCommit(LiveEvents::PresenceEvent())
                    && db.CommitTransaction();
    if (!ok)
        db.RollbackTransaction();
    return ok;
}

} // namespace

bool PublishPresence(Database &db, const QString &pc, int member, int drawing, double x,
                     double y, bool inside)
{
    if (!db.DatabaseConnected() || pc.isEmpty() || !std::isfinite(x) || !std::isfinite(y))
        return false;
    const QString sql =
        QStringLiteral("UPDATE OR INSERT INTO PRESENCE (PC, MN, ZN, PX, PY, ST, TS) "
                       "VALUES (%1, %2, %3, %4, %5, %6, CURRENT_TIMESTAMP) MATCHING (PC)")
            .arg(SqlQuoted(pc), QString::number(member), QString::number(drawing), real(x),
                 real(y), QString::number(inside ? 1 : 0));
    if (writeAndPost(db, sql))
        return true;
    return !db.TableExists(Table) && ensureTable(db) && writeAndPost(db, sql);
}

bool RemovePresence(Database &db, const QString &pc)
{
    if (!db.DatabaseConnected() || pc.isEmpty() || !db.TableExists(Table))
        return false;
    // Rows left by PCs that went away without a word go too, long after they stopped
    // counting, so the table stays small.
    return writeAndPost(db, QStringLiteral("DELETE FROM PRESENCE WHERE PC = ") + SqlQuoted(pc)
                                + QStringLiteral(" OR TS < DATEADD(-1 HOUR TO CURRENT_TIMESTAMP)"));
}

bool ReadPresence(Database &db, int drawing, const QString &exceptPc,
                  std::vector<PresenceRow> &out)
{
    out.clear();
    if (!db.DatabaseConnected())
        return false;
    const bool members = db.TableExists(QStringLiteral("MEMBER"));
    if (!db.TableExists(Table))
        return true; // nobody has published yet
    const QString where =
        QStringLiteral("P.ZN = %1 AND P.PC <> %2 AND P.TS > DATEADD(%3 SECOND TO "
                       "CURRENT_TIMESTAMP)")
            .arg(QString::number(drawing), SqlQuoted(exceptPc),
                 QString::number(-PresenceStaleSeconds));
    const QList<QStringList> rows = db.SelectRows(
        members ? QStringLiteral("P.PC,P.MN,M.PNAME,P.PX,P.PY,P.ST")
                : QStringLiteral("P.PC,P.MN,NULL,P.PX,P.PY,P.ST"),
        members ? QStringLiteral("PRESENCE P LEFT JOIN MEMBER M ON M.N = P.MN")
                : QStringLiteral("PRESENCE P"),
        where, QStringLiteral("P.MN, P.PC"));
    if (!db.LastError().isEmpty())
        return false;
    for (const QStringList &r : rows) {
        if (r.size() < 6)
            continue;
        PresenceRow p;
        p.pc = r[0];
        p.member = r[1].toInt();
        p.name = r[2];
        bool okX = false, okY = false;
        p.x = r[3].toDouble(&okX);
        p.y = r[4].toDouble(&okY);
        if (!okX || !okY || !std::isfinite(p.x) || !std::isfinite(p.y))
            continue;
        p.inside = r[5].toInt() == 1;
        out.push_back(p);
    }
    return true;
}
