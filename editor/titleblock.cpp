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

bool ReadFrameChoice(Database &db, int drawing, FrameChoice &out)
{
    // The row N = 1 is always there: nothing read is a failed read.
    const QList<QStringList> rows = db.SelectRows(QStringLiteral("N,OPN"), variables(drawing),
                                                  QStringLiteral("N IN (1, 2, 3)"), QString());
    if (rows.isEmpty())
        return false;
    FrameChoice choice;
    for (const QStringList &r : rows) {
        if (r.size() != 2)
            continue;
        const qint64 v = -r[1].toLongLong();
        if (r[0] == QStringLiteral("2"))
            choice.hidden = v == 1;
        else if (r[0] == QStringLiteral("3") && v > 10000)
            choice.scale = TypedScale(QStringLiteral("%1:%2").arg(v / 10000).arg(v % 10000));
    }
    out = choice;
    return true;
}

namespace {

// Replaces the row N = k by one holding value, or by none when value is 0.
bool storeRow(Database &db, int drawing, int k, qint64 value)
{
    const QString table = variables(drawing);
    const bool ok = db.StartTransaction()
                    && db.ExecSqlLinesNoCommit({QStringLiteral("DELETE FROM %1 WHERE N = %2")
                                                    .arg(table).arg(k)})
                    && (value == 0
                        || db.SqlInsertNoCommit(table, QStringLiteral("N,OPN"),
                                                QStringLiteral("%1,%2").arg(k).arg(value)))
                    && db.CommitTransaction();
    if (!ok)
        db.RollbackTransaction();
    return ok;
}

} // namespace

bool StoreFrameHidden(Database &db, int drawing, bool hidden)
{
    return storeRow(db, drawing, 2, hidden ? -1 : 0);
}

QString TypedScale(const QString &text)
{
    const QStringList parts = text.normalized(QString::NormalizationForm_KC)
                                  .remove(u' ')
                                  .split(u':');
    if (parts.size() != 2)
        return QString();
    int numbers[2] = {};
    for (int i = 0; i < 2; ++i) {
        bool ok = false;
        numbers[i] = parts[i].toInt(&ok);
        if (!ok || numbers[i] < 1 || numbers[i] > 9999 || parts[i].startsWith(u'+'))
            return QString();
    }
    return QStringLiteral("%1:%2").arg(numbers[0]).arg(numbers[1]);
}

bool StoreFrameScale(Database &db, int drawing, const QString &scale)
{
    if (scale.trimmed().isEmpty())
        return storeRow(db, drawing, 3, 0);
    const QString typed = TypedScale(scale);
    if (typed.isEmpty())
        return false;
    const QStringList parts = typed.split(u':');
    return storeRow(db, drawing, 3, -(parts[0].toLongLong() * 10000 + parts[1].toLongLong()));
}

SheetFrame DrawingFrame(TitleFields fields, const FrameChoice &choice, double layerScale,
                        double w, double h, const QString &team, bool filingMargin)
{
    if (choice.hidden)
        return SheetFrame();
    fields.scale = !choice.scale.isEmpty() ? choice.scale : SheetFrames::ScaleText(layerScale);
    fields.team = team;
    FrameOptions options;
    options.filingMargin = filingMargin;
    if (!(w > 0) || !(h > 0)) {
        w = 420;
        h = 297;
    }
    return LayOutSheetFrame(w, h, options, fields);
}
