#include "editor/titleblock.h"

#include "db/database.h"
#include "db/registerrows.h"

namespace {

QString nameOf(const TitleRecord &r, const std::optional<int> &member)
{
    return member && *member > 0 ? r.names.value(*member) : QString();
}

QString variables(int drawing)
{
    return QStringLiteral("VAR_") + QString::number(drawing);
}

} // namespace

TitleFields TitleFieldsOf(const TitleRecord &record, const QString &scale, const QString &team)
{
    const DrawingRow &d = record.drawing;
    TitleFields f;
    f.code = d.ZUMENN;
    f.title = d.MTITLE;
    f.subtitle = d.STITLE;
    f.scale = scale;
    f.drawnBy = nameOf(record, d.MN);
    f.drawnOn = SheetFrames::DateText(d.DDATE);
    f.checkedBy = nameOf(record, d.KN);
    f.checkedOn = SheetFrames::DateText(d.KDATE);
    f.approvedBy = nameOf(record, d.AN);
    f.approvedOn = SheetFrames::DateText(d.ADATE);
    f.issuedBy = nameOf(record, d.PN);
    f.issuedOn = SheetFrames::DateText(d.PDATE);
    if (record.revisions > 0) {
        f.revision = QString::number(record.revisions);
        f.revisionOn = SheetFrames::DateText(record.latest.RDATE);
        f.revisionText = record.latest.CONT;
    }
    f.team = team;
    return f;
}

bool ReadFrameHidden(Database &db, int drawing, bool &hidden)
{
    // The row N = 1 is always there: nothing read is a failed read.
    const QList<QStringList> rows = db.SelectRows(QStringLiteral("N,OPN"), variables(drawing),
                                                  QStringLiteral("N IN (1, 2)"), QString());
    if (rows.isEmpty())
        return false;
    hidden = false;
    for (const QStringList &r : rows)
        hidden = hidden || r == QStringList{QStringLiteral("2"), QStringLiteral("-1")};
    return true;
}

bool StoreFrameHidden(Database &db, int drawing, bool hidden)
{
    const QString table = variables(drawing);
    const bool ok = db.StartTransaction()
                    && db.ExecSqlLinesNoCommit({QStringLiteral("DELETE FROM ") + table
                                                + QStringLiteral(" WHERE N = 2")})
                    && (!hidden
                        || db.SqlInsertNoCommit(table, QStringLiteral("N,OPN"),
                                                QStringLiteral("2,-1")))
                    && db.CommitTransaction();
    if (!ok)
        db.RollbackTransaction();
    return ok;
}
