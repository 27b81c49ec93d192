#include "db/linestore.h"

#include "db/database.h"
#include "db/firebird.h"

#include <algorithm>
#include <cmath>
#include <functional>

namespace {

struct Numbers
{
    int64_t operation = 0, history = 0, entity = 0, line = 0; // the highest in use
    bool variableRow = false;
    double scale = 1; // a layer without a row or without a scale stores paper millimetres
};

QByteArray highest(const QByteArray &table, int64_t hint)
{
    // From the hint up the unique index serves the maximum without a scan of the table;
    // the whole table is asked only when nothing lies there.
    const QByteArray all = "(SELECT MAX(N) FROM " + table + ")";
    if (hint <= 0)
        return all;
    return "COALESCE((SELECT MAX(N) FROM " + table + " WHERE N >= "
           + QByteArray::number(qint64(hint)) + "), " + all + ")";
}

// Inside the storing transaction: first the operation row is locked, so that a PC of this
// program storing at the same moment waits here for the other's commit and then reads the
// numbers after it; then the highest numbers in one go.
bool readNumbers(Database &db, int drawing, int layer, const NumberHints &hints, Numbers &out)
{
    const QByteArray n = QByteArray::number(drawing);
    const QByteArray lay = QByteArray::number(layer);
    fb::Session &session = db.Connection();
    fb::Result lock, rows;
    if (!session.select("SELECT N FROM VAR_" + n + " WHERE N = 1 WITH LOCK", lock))
        return false;
    const QByteArray sql = "SELECT (SELECT MAX(OPN) FROM VAR_" + n + "), "
                           + highest("HISTORY_" + n, hints.history) + ", "
                           + highest("ENTITY_" + n, hints.entity) + ", "
                           + highest("ENT_LINE_" + n, hints.line) + ", "
                           "(SELECT FIRST 1 SCL FROM LAYER_" + n + " WHERE N = " + lay + ") "
                           "FROM RDB$DATABASE";
    if (!session.select(sql, rows) || rows.rows.size() != 1 || rows.rows[0].size() != 5)
        return false;
    const fb::Row &r = rows.rows[0];
    out.operation = r[0].toLongLong();
    out.history = r[1].toLongLong();
    out.entity = r[2].toLongLong();
    out.line = r[3].toLongLong();
    out.variableRow = !lock.rows.empty();
    out.scale = r[4].isEmpty() ? 1.0 : r[4].toDouble();
    return true;
}

QString number(int64_t v)
{
    return QString::number(qint64(v));
}

QString coordinate(double v)
{
    return QString::number(v == 0 ? 0.0 : v, 'g', 15); // never "-0"
}

// The rows of the operation with numbers following the highest ones, coordinates divided
// by the scale as the text sent gives them back; false when one would not be finite.
bool rowsFor(const LineOperation &op, const Numbers &at, std::vector<EntityLine> &rows)
{
    rows.clear();
    for (size_t i = 0; i < op.lines.size(); ++i) {
        const PaperLine &p = op.lines[i];
        EntityLine e;
        e.entity = {int32_t(at.entity + 1 + int64_t(i)), op.member, 1, 1,
                    int32_t(at.line + 1 + int64_t(i))};
        e.hasLine = true;
        double *ends[4] = {&e.line.x1, &e.line.y1, &e.line.x2, &e.line.y2};
        const double given[4] = {p.x1, p.y1, p.x2, p.y2};
        for (int j = 0; j < 4; ++j) {
            *ends[j] = coordinate(given[j] / at.scale).toDouble();
            if (!std::isfinite(*ends[j]))
                return false;
        }
        e.line.n = e.entity.target;
        e.line.layer = int16_t(op.layer);
        e.line.colour = int16_t(op.colour);
        e.line.lineType = int16_t(op.lineType);
        e.line.width = int16_t(op.width);
        rows.push_back(e);
    }
    return true;
}

// The operation number, in the shape the other PCs' programs send. A drawing whose variable
// row went missing still numbers its operations on.
bool writeOperation(Database &db, const QString &n, const Numbers &at)
{
    const QString k = number(at.operation + 1);
    bool ok = db.SqlUpdateNoCommit(QStringLiteral("VAR_") + n, QStringLiteral("OPN=") + k,
                                   QStringLiteral("N=1"));
    if (ok && !at.variableRow)
        ok = db.SqlInsertNoCommit(QStringLiteral("VAR_") + n, QStringLiteral("N,OPN"),
                                  QStringLiteral("1,") + k);
    return ok;
}

// The rows, each statement in the shape the other PCs' programs send. Numbers go into the
// text only as integers.
bool writeLines(Database &db, int drawing, const LineOperation &op, const Numbers &at,
                const std::vector<EntityLine> &rows)
{
    const QString n = QString::number(drawing);
    const QString k = number(at.operation + 1);
    bool ok = writeOperation(db, n, at);
    for (size_t i = 0; ok && i < rows.size(); ++i) {
        ok = db.SqlInsertNoCommit(QStringLiteral("HISTORY_") + n, QStringLiteral("N,OPN,MD,EN"),
                                  number(at.history + 1 + int64_t(i)) + u',' + k
                                      + QStringLiteral(",0,") + number(rows[i].entity.n));
    }
    for (size_t i = 0; ok && i < rows.size(); ++i) {
        ok = db.SqlInsertNoCommit(QStringLiteral("ENTITY_") + n, QStringLiteral("N,MN,DS,DT,DN"),
                                  number(rows[i].entity.n) + u',' + QString::number(op.member)
                                      + QStringLiteral(",1,1,") + number(rows[i].line.n));
    }
    for (size_t i = 0; ok && i < rows.size(); ++i) {
        const LineRow &l = rows[i].line;
        const QStringList values{number(l.n),
                                 QString::number(op.layer),
                                 QString::number(op.colour),
                                 QString::number(op.lineType),
                                 QString::number(op.width),
                                 coordinate(l.x1),
                                 coordinate(l.y1),
                                 coordinate(l.x2),
                                 coordinate(l.y2)};
        ok = db.SqlInsertNoCommit(QStringLiteral("ENT_LINE_") + n,
                                  QStringLiteral("N,LAY,COL,LTP,WID,X1,Y1,X2,Y2"),
                                  values.join(u','));
    }
    return ok;
}

// Terms per statement: the server's work on a condition grows faster than its length.
constexpr int TermsPerCondition = 100;

// Conditions on N that together name the numbers (ascending, each once): runs as ranges,
// the rest in lists.
QStringList numberConditions(const std::vector<int32_t> &n)
{
    QStringList out, ranges, singles;
    int terms = 0;
    auto flush = [&] {
        if (!singles.isEmpty())
            ranges << QStringLiteral("N IN (") + singles.join(u',') + u')';
        if (!ranges.isEmpty())
            out << ranges.join(QStringLiteral(" OR "));
        ranges.clear();
        singles.clear();
        terms = 0;
    };
    for (size_t i = 0; i < n.size();) {
        size_t j = i;
        while (j + 1 < n.size() && int64_t(n[j + 1]) == int64_t(n[j]) + 1)
            ++j;
        if (j - i >= 2) {
            ranges << QStringLiteral("N BETWEEN %1 AND %2").arg(n[i]).arg(n[j]);
            i = j + 1;
        } else {
            singles << QString::number(n[i]);
            ++i;
        }
        if (++terms == TermsPerCondition)
            flush();
    }
    flush();
    return out;
}

enum class Written { Yes, No, Nothing };

// Which of the entities exist, and how many of them have the state already, read after the
// operation row is locked; then the operation number, a history row for each existing
// entity in ascending order, and the states.
Written writeStates(Database &db, int drawing, const StateOperation &op,
                    const std::vector<int32_t> &named, const Numbers &at, StoredOperation &out)
{
    const QString n = QString::number(drawing);
    const QStringList conditions = numberConditions(named);
    std::vector<int64_t> existing;
    out.entities.clear();
    out.alreadySet = 0;
    for (const QString &where : conditions) {
        fb::Result r;
        if (!db.Connection().select(("SELECT N, DS FROM ENTITY_" + n + " WHERE " + where)
                                        .toLatin1(),
                                    r)) {
            return Written::No;
        }
        for (const fb::Row &row : r.rows) {
            if (row.size() != 2)
                return Written::No;
            out.entities.push_back(int32_t(row[0].toLongLong()));
            if (!row[1].isEmpty() && row[1].toLongLong() == op.state)
                ++out.alreadySet;
        }
        existing.push_back(int64_t(r.rows.size()));
    }
    std::sort(out.entities.begin(), out.entities.end());
    out.missing = int(named.size() - out.entities.size());
    if (out.entities.empty())
        return Written::Nothing;
    const QString k = number(at.operation + 1);
    const QString kind = QString::number(op.state == 0 ? HistoryErased : HistoryRestored);
    // From the numbers read: the entities are not visited a second time.
    QList<QStringList> history;
    history.reserve(qsizetype(out.entities.size()));
    for (size_t i = 0; i < out.entities.size(); ++i) {
        history.push_back({number(at.history + 1 + int64_t(i)), k, kind,
                           QString::number(out.entities[i])});
    }
    bool ok = writeOperation(db, n, at)
              && db.SqlInsertRowsNoCommit(QStringLiteral("HISTORY_") + n,
                                          {"N", "OPN", "MD", "EN"}, history);
    for (qsizetype i = 0; ok && i < conditions.size(); ++i) {
        if (existing[size_t(i)] > 0) {
            ok = db.SqlUpdateNoCommit(QStringLiteral("ENTITY_") + n,
                                      QStringLiteral("DS=") + QString::number(op.state),
                                      conditions[i]);
        }
    }
    return ok ? Written::Yes : Written::No;
}

// The one way an operation is stored: a transaction that reads the numbers after locking
// the operation row, hands them to write and commits, tried again when another PC took
// the same numbers first. write answers whether it wrote; it may refuse (BadScale).
StoreResult storeOperation(Database &db, int drawing, int layer, const NumberHints &hints,
                           int64_t newHistory, int64_t newEntities, StoredOperation &out,
                           const std::function<StoreResult(const Numbers &, Written &)> &write)
{
    for (int attempt = 1; attempt <= StoreAttempts; ++attempt) {
        out.attempts = attempt;
        // Nothing between the start and the commit waits for the user or the window.
        db.CloseQuery();
        Numbers at;
        if (!db.DatabaseConnected()
            || !db.Connection().start(fb::Session::Mode::WriteLatest, StoreLockSeconds)) {
            break;
        }
        bool stored = readNumbers(db, drawing, layer, hints, at);
        // The key columns hold 32-bit numbers; beyond them nothing can be stored.
        if (stored
            && std::max({at.operation + 1, at.history + newHistory, at.entity + newEntities,
                         at.line + newEntities}) > INT32_MAX) {
            break;
        }
        Written written = Written::No;
        if (stored) {
            const StoreResult refused = write(at, written);
            if (refused != StoreResult::Stored) {
                db.CloseQuery();
                return refused;
            }
        }
        if (written == Written::Nothing) {
            db.CloseQuery();
            return StoreResult::Stored;
        }
        stored = written == Written::Yes && db.CommitTransaction();
        const bool collision = !stored && db.LastErrorWasCollision();
        db.CloseQuery();
        if (stored) {
            out.operation = at.operation + 1;
            out.firstHistory = at.history + 1;
            out.scale = at.scale;
            return StoreResult::Stored;
        }
        if (!collision)
            break;
    }
    db.CloseQuery();
    return StoreResult::Failed;
}

} // namespace

StoreResult StoreLineOperation(Database &db, int drawing, const LineOperation &op,
                               const NumberHints &hints, StoredOperation &out)
{
    out = StoredOperation();
    if (op.lines.empty())
        return StoreResult::Failed;
    const int64_t count = int64_t(op.lines.size());
    const StoreResult r = storeOperation(
        db, drawing, op.layer, hints, count, count, out,
        [&](const Numbers &at, Written &written) {
            if (!(at.scale > 0) || !std::isfinite(at.scale) || !rowsFor(op, at, out.rows))
                return StoreResult::BadScale;
            written = writeLines(db, drawing, op, at, out.rows) ? Written::Yes : Written::No;
            return StoreResult::Stored;
        });
    if (r != StoreResult::Stored)
        out.rows.clear();
    return r;
}

StoreResult StoreStateOperation(Database &db, int drawing, const StateOperation &op,
                                const NumberHints &hints, StoredOperation &out)
{
    out = StoredOperation();
    std::vector<int32_t> named = op.entities;
    std::sort(named.begin(), named.end());
    named.erase(std::unique(named.begin(), named.end()), named.end());
    if (named.empty() || (op.state != 0 && op.state != 1))
        return StoreResult::Failed;
    const StoreResult r = storeOperation(
        db, drawing, 0, hints, int64_t(named.size()), 0, out,
        [&](const Numbers &at, Written &written) {
            written = writeStates(db, drawing, op, named, at, out);
            return StoreResult::Stored;
        });
    if (r != StoreResult::Stored)
        out.entities.clear();
    return r;
}
