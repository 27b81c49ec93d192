#include "db/changestore.h"

#include "db/database.h"
#include "db/firebird.h"
#include "db/liveevents.h"
#include "db/sqltext.h"
#include "db/textcodec.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <iterator>
#include <map>

namespace {

const char *const kindTables[5] = {nullptr, "ENT_LINE_", "ENT_CIRCLE_", "ENT_ARC_", "ENT_TEXT_"};

struct Numbers
{
    int64_t operation = 0, history = 0, entity = 0; // the highest in use
    int64_t rows[5] = {};
    bool variableRow = false;
    // Layer units to paper millimetres by layer; a layer without a row or without a scale
    // stores paper millimetres.
    std::map<int, double> scales;
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

int kindOf(const Shape &shape)
{
    return int(shape.index()); // the variant's order follows EntityKind
}

// Inside the storing transaction: first the operation row is locked, so that a PC of this
// program storing at the same moment waits here for the other's commit and then reads the
// numbers after it; then the highest numbers in one go, and the scales of the layers the
// created entities lie on in another.
bool readNumbers(Database &db, int drawing, const ChangeSet &changes, const NumberHints &hints,
                 Numbers &out)
{
    const QByteArray n = QByteArray::number(drawing);
    fb::Session &session = db.Connection();
    fb::Result lock, rows;
    if (!session.select("SELECT N FROM VAR_" + n + " WHERE N = 1 WITH LOCK", lock))
        return false;
    bool used[5] = {};
    std::vector<int> layers;
    for (const EntityRecord &e : changes.created) {
        used[kindOf(e.shape)] = true;
        layers.push_back(e.look.layer);
    }
    QByteArray sql = "SELECT (SELECT MAX(OPN) FROM VAR_" + n + "), "
                     + highest("HISTORY_" + n, hints.history) + ", "
                     + highest("ENTITY_" + n, hints.entity);
    for (int k = KindLine; k <= KindText; ++k) {
        if (used[k])
            sql += ", " + highest(kindTables[k] + n, hints.rows[k]);
    }
    sql += " FROM RDB$DATABASE";
    if (!session.select(sql, rows) || rows.rows.size() != 1)
        return false;
    const fb::Row &r = rows.rows[0];
    size_t column = 0;
    const auto next = [&] { return column < r.size() ? r[column++].toLongLong() : 0; };
    out.operation = next();
    out.history = next();
    out.entity = next();
    for (int k = KindLine; k <= KindText; ++k) {
        if (used[k])
            out.rows[k] = next();
    }
    if (column != r.size() || r.size() != size_t(rows.columns))
        return false;
    out.variableRow = !lock.rows.empty();
    std::sort(layers.begin(), layers.end());
    layers.erase(std::unique(layers.begin(), layers.end()), layers.end());
    if (layers.empty())
        return true;
    QByteArray list;
    for (int layer : layers)
        list += (list.isEmpty() ? "" : ",") + QByteArray::number(layer);
    fb::Result scales;
    if (!session.select("SELECT N, SCL FROM LAYER_" + n + " WHERE N IN (" + list + ")", scales))
        return false;
    for (const fb::Row &row : scales.rows) {
        if (row.size() == 2 && !row[1].isEmpty())
            out.scales[row[0].toInt()] = row[1].toDouble();
    }
    return true;
}

QString number(int64_t v)
{
    return QString::number(qint64(v));
}

QString real(double v)
{
    return QString::number(v == 0 ? 0.0 : v, 'g', 15); // never "-0"
}

// The value as the text sent gives it back, so that memory holds what the database does.
double sent(double v)
{
    return real(v).toDouble();
}

double normalDegrees(double a)
{
    a = std::fmod(a, 360.0);
    if (a < 0)
        a += 360;
    return a >= 360 ? 0 : a;
}

// Normal as sent: a hair below 360 goes as "360", which is 0.
double sentDegrees(double a)
{
    return normalDegrees(sent(normalDegrees(a)));
}

// The created entities with numbers following the highest ones, coordinates and radii in
// layer units; false when a value would not be finite or a radius not positive.
bool rowsFor(const ChangeSet &changes, const Numbers &at, std::vector<EntityRecord> &rows)
{
    rows.clear();
    int64_t next[5];
    std::copy(std::begin(at.rows), std::end(at.rows), next);
    for (size_t i = 0; i < changes.created.size(); ++i) {
        EntityRecord e = changes.created[i];
        const int kind = kindOf(e.shape);
        if (kind == 0)
            return false;
        const auto found = at.scales.find(e.look.layer);
        const double s = found == at.scales.end() ? 1.0 : found->second;
        if (!(s > 0) || !std::isfinite(s))
            return false;
        bool ok = true;
        const auto unit = [&](double &v) {
            v = sent(v / s);
            ok = ok && std::isfinite(v);
        };
        const auto radius = [&](double &r) {
            unit(r);
            ok = ok && r > 0;
        };
        std::visit(
            [&](auto &g) {
                using G = std::decay_t<decltype(g)>;
                if constexpr (std::is_same_v<G, LineShape>) {
                    unit(g.x1), unit(g.y1), unit(g.x2), unit(g.y2);
                } else if constexpr (std::is_same_v<G, CircleShape>) {
                    unit(g.cx), unit(g.cy), radius(g.r);
                } else if constexpr (std::is_same_v<G, ArcShape>) {
                    unit(g.cx), unit(g.cy), radius(g.r);
                    g.sa = sentDegrees(g.sa);
                    g.ea = sentDegrees(g.ea);
                    ok = ok && std::isfinite(g.sa) && std::isfinite(g.ea);
                } else if constexpr (std::is_same_v<G, TextShape>) {
                    unit(g.px), unit(g.py);
                    for (double *v : {&g.height, &g.width, &g.spacing})
                        *v = sent(*v), ok = ok && std::isfinite(*v);
                    g.angle = sentDegrees(g.angle);
                    ok = ok && std::isfinite(g.angle) && g.height > 0;
                }
            },
            e.shape);
        if (!ok)
            return false;
        e.entity = {int32_t(at.entity + 1 + int64_t(i)), changes.member, 1, int16_t(kind),
                    int32_t(++next[kind])};
        e.row = e.entity.target;
        if (kind == KindText)
            e.look.lineType = e.look.width = 0;
        rows.push_back(e);
    }
    return true;
}

bool textFits(const ChangeSet &changes)
{
    for (const EntityRecord &e : changes.created) {
        if (const auto *t = std::get_if<TextShape>(&e.shape)) {
            const auto text = ToCp932(t->text), font = ToCp932(t->font);
            if (!text || !font || text->size() > TextBytes || font->size() > FontBytes
                || t->text.isEmpty()) {
                return false;
            }
        }
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

// Operations of a few rows go as one statement per row, in the shape other PCs' programs
// send for a drawn line or box; larger ones in batches.
constexpr int RowsOneByOne = 4;

bool insertRows(Database &db, const QString &table, const QStringList &columns,
                const QList<QStringList> &rows, const QList<int> &texts = {})
{
    if (rows.size() > RowsOneByOne)
        return db.SqlInsertRowsNoCommit(table, columns, rows);
    for (QStringList values : rows) {
        for (int i : texts)
            values[i] = SqlText(values[i]);
        if (!db.SqlInsertNoCommit(table, columns.join(u','), values.join(u',')))
            return false;
    }
    return true;
}

QStringList lookValues(const EntityRecord &e, bool lined)
{
    QStringList v{number(e.row), QString::number(e.look.layer), QString::number(e.look.colour)};
    if (lined)
        v << QString::number(e.look.lineType) << QString::number(e.look.width);
    return v;
}

// The geometry rows, a batch per kind, columns in the tables' own order.
bool writeShapes(Database &db, const QString &n, const std::vector<EntityRecord> &rows)
{
    QList<QStringList> byKind[5];
    for (const EntityRecord &e : rows) {
        std::visit(
            [&](const auto &g) {
                using G = std::decay_t<decltype(g)>;
                if constexpr (std::is_same_v<G, LineShape>) {
                    byKind[KindLine] << lookValues(e, true)
                                            + QStringList{real(g.x1), real(g.y1), real(g.x2),
                                                          real(g.y2)};
                } else if constexpr (std::is_same_v<G, CircleShape>) {
                    byKind[KindCircle] << lookValues(e, true)
                                              + QStringList{real(g.cx), real(g.cy), real(g.r)};
                } else if constexpr (std::is_same_v<G, ArcShape>) {
                    byKind[KindArc] << lookValues(e, true)
                                           + QStringList{real(g.cx), real(g.cy), real(g.r),
                                                         real(g.sa), real(g.ea)};
                } else if constexpr (std::is_same_v<G, TextShape>) {
                    byKind[KindText] << lookValues(e, false)
                                            + QStringList{number(g.style), number(g.anchor),
                                                          number(g.vertical), real(g.px),
                                                          real(g.py), real(g.height),
                                                          real(g.width), real(g.spacing),
                                                          real(g.angle), g.font, g.text};
                }
            },
            e.shape);
    }
    static const QStringList columns[5] = {
        {},
        {"N", "LAY", "COL", "LTP", "WID", "X1", "Y1", "X2", "Y2"},
        {"N", "LAY", "COL", "LTP", "WID", "CX", "CY", "CR"},
        {"N", "LAY", "COL", "LTP", "WID", "CX", "CY", "CR", "SA", "EA"},
        {"N", "LAY", "COL", "STL", "BAS", "DIR", "PX", "PY", "MH", "MW", "MD", "ANG", "FNT",
         "TXT"}};
    for (int k = KindLine; k <= KindText; ++k) {
        const QList<int> texts = k == KindText ? QList<int>{12, 13} : QList<int>{};
        if (!byKind[k].isEmpty()
            && !insertRows(db, QLatin1String(kindTables[k]) + n, columns[k], byKind[k], texts)) {
            return false;
        }
    }
    return true;
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

std::vector<int32_t> ascendingOnce(std::vector<int32_t> v)
{
    std::sort(v.begin(), v.end());
    v.erase(std::unique(v.begin(), v.end()), v.end());
    return v;
}

// Which of the named entities exist, and how many have the state already, read after the
// operation row is locked.
bool existing(Database &db, const QString &n, const std::vector<int32_t> &named, int16_t state,
              std::vector<int32_t> &found, int &alreadySet, std::vector<int32_t> *already = nullptr)
{
    found.clear();
    for (const QString &where : numberConditions(named)) {
        fb::Result r;
        if (!db.Connection().select(("SELECT N, DS FROM ENTITY_" + n + " WHERE " + where)
                                        .toLatin1(),
                                    r)) {
            return false;
        }
        for (const fb::Row &row : r.rows) {
            if (row.size() != 2)
                return false;
            found.push_back(int32_t(row[0].toLongLong()));
            if (!row[1].isEmpty() && row[1].toLongLong() == state) {
                ++alreadySet;
                if (already)
                    already->push_back(found.back());
            }
        }
    }
    std::sort(found.begin(), found.end());
    return true;
}

// The entities' states, set from the operation's own history rows (numbers first to last)
// through the two tables' keys, however far apart the entities lie.
bool setStates(Database &db, const QString &n, int64_t first, int64_t last, int16_t state)
{
    if (last < first)
        return true;
    return db.ExecSqlLinesNoCommit(
        {QStringLiteral("EXECUTE BLOCK AS DECLARE E INTEGER; BEGIN"),
         QStringLiteral("  FOR SELECT EN FROM HISTORY_%1 WHERE N BETWEEN %2 AND %3 INTO :E DO")
             .arg(n, number(first), number(last)),
         QStringLiteral("    UPDATE ENTITY_%1 SET DS = %2 WHERE N = :E;")
             .arg(n, QString::number(state)),
         QStringLiteral("END")});
}

enum class Written { Yes, No, Nothing, Gone };

Written writeChanges(Database &db, int drawing, const ChangeSet &changes,
                     const std::vector<int32_t> &erase, const std::vector<int32_t> &restore,
                     const Numbers &at, StoredOperation &out)
{
    const QString n = QString::number(drawing);
    out.alreadySet = 0;
    if (!existing(db, n, erase, 0, out.erased, out.alreadySet, &out.gone)
        || !existing(db, n, restore, 1, out.restored, out.alreadySet)) {
        return Written::No;
    }
    if (changes.replaces) {
        std::set_difference(erase.begin(), erase.end(), out.erased.begin(), out.erased.end(),
                            std::back_inserter(out.gone));
        std::sort(out.gone.begin(), out.gone.end());
        if (!out.gone.empty())
            return Written::Gone;
    }
    out.gone.clear();
    out.missing = int(erase.size() + restore.size() - out.erased.size() - out.restored.size());
    if (out.rows.empty() && out.erased.empty() && out.restored.empty())
        return Written::Nothing;
    const QString k = number(at.operation + 1);
    QList<QStringList> history, entities;
    int64_t h = at.history;
    for (const EntityRecord &e : out.rows) {
        history.push_back({number(++h), k, QString::number(HistoryCreated), number(e.entity.n)});
        entities.push_back({number(e.entity.n), QString::number(changes.member),
                            QStringLiteral("1"), number(e.entity.type), number(e.row)});
    }
    const int64_t erasedFrom = h + 1;
    for (int32_t e : out.erased)
        history.push_back({number(++h), k, QString::number(HistoryErased), number(e)});
    const int64_t restoredFrom = h + 1;
    for (int32_t e : out.restored)
        history.push_back({number(++h), k, QString::number(HistoryRestored), number(e)});
    const bool ok = writeOperation(db, n, at)
                    && insertRows(db, QStringLiteral("HISTORY_") + n, {"N", "OPN", "MD", "EN"},
                                  history)
                    && insertRows(db, QStringLiteral("ENTITY_") + n, {"N", "MN", "DS", "DT", "DN"},
                                  entities)
                    && writeShapes(db, n, out.rows)
                    && setStates(db, n, erasedFrom, restoredFrom - 1, 0)
                    && setStates(db, n, restoredFrom, h, 1);
    return ok ? Written::Yes : Written::No;
}

} // namespace

StoreResult StoreChanges(Database &db, int drawing, const ChangeSet &changes,
                         const NumberHints &hints, StoredOperation &out)
{
    out = StoredOperation();
    const std::vector<int32_t> erase = ascendingOnce(changes.erased);
    const std::vector<int32_t> restore = ascendingOnce(changes.restored);
    if (changes.Empty())
        return StoreResult::Failed;
    if (!textFits(changes))
        return StoreResult::BadText;
    const int64_t created = int64_t(changes.created.size());
    const int64_t named = int64_t(erase.size() + restore.size());
    for (int attempt = 1; attempt <= StoreAttempts; ++attempt) {
        out.attempts = attempt;
        // Nothing between the start and the commit waits for the user or the window.
        db.CloseQuery();
        Numbers at;
        if (!db.DatabaseConnected()
            || !db.Connection().start(fb::Session::Mode::WriteLatest, StoreLockSeconds)) {
            break;
        }
        bool stored = readNumbers(db, drawing, changes, hints, at);
        // The key columns hold 32-bit numbers; beyond them nothing can be stored.
        int64_t most = std::max({at.operation + 1, at.history + created + named,
                                 at.entity + created});
        for (int64_t r : at.rows)
            most = std::max(most, r + created);
        if (stored && most > INT32_MAX)
            break;
        if (stored && !rowsFor(changes, at, out.rows)) {
            db.CloseQuery();
            out = StoredOperation();
            return StoreResult::BadScale;
        }
        const Written written = stored
                                    ? writeChanges(db, drawing, changes, erase, restore, at, out)
                                    : Written::No;
        if (written == Written::Nothing) {
            db.CloseQuery();
            return StoreResult::Stored;
        }
        if (written == Written::Gone) {
            db.CloseQuery();
            std::vector<int32_t> gone = std::move(out.gone);
            out = StoredOperation();
            out.gone = std::move(gone);
            return StoreResult::Gone;
        }
        // The note goes with the rows: heard only once they are committed.
        stored = written == Written::Yes
                 && db.PostEventNoCommit(LiveEvents::DrawingEvent(drawing))
                 && db.CommitTransaction();
        const bool collision = !stored && db.LastErrorWasCollision();
        db.CloseQuery();
        if (stored) {
            out.operation = at.operation + 1;
            out.firstHistory = at.history + 1;
            return StoreResult::Stored;
        }
        if (!collision)
            break;
    }
    db.CloseQuery();
    const int attempts = out.attempts;
    out = StoredOperation();
    out.attempts = attempts;
    return StoreResult::Failed;
}
