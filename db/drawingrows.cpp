#include "db/drawingrows.h"

#include "db/textcodec.h"
#include "db/database.h"
#include "db/firebird.h"

#include <algorithm>
#include <numeric>
#include <vector>

namespace {

QByteArray suffix(int drawing)
{
    return QByteArray::number(drawing);
}

int16_t small(const fb::Cells &c, int column)
{
    return int16_t(std::clamp<qint64>(c.integer(column), INT16_MIN, INT16_MAX));
}

int32_t whole(const fb::Cells &c, int column)
{
    return int32_t(std::clamp<qint64>(c.integer(column), INT32_MIN, INT32_MAX));
}

// Each kind's table and its columns, as kindAt reads them.
struct KindTable
{
    const char *table;
    const char *columns;
};

const KindTable kindTables[] = {
    {nullptr, nullptr},
    {"ENT_LINE_", "N,LAY,COL,LTP,WID,X1,Y1,X2,Y2"},
    {"ENT_CIRCLE_", "N,LAY,COL,LTP,WID,CX,CY,CR"},
    {"ENT_ARC_", "N,LAY,COL,LTP,WID,CX,CY,CR,SA,EA"},
    {"ENT_TEXT_", "N,LAY,COL,STL,BAS,DIR,PX,PY,MH,MW,MD,ANG,FNT,TXT"},
};

QByteArray kindColumns(const KindTable &k, const QByteArray &alias)
{
    QByteArray out;
    for (const QByteArray &c : QByteArray(k.columns).split(','))
        out += (out.isEmpty() ? "" : ", ") + alias + c;
    return out;
}

// The entity's columns (0-4), then each kind's row; the rows of the other kinds read NULL.
QByteArray entityColumns()
{
    return "E.N, E.MN, E.DS, E.DT, E.DN, " + kindColumns(kindTables[KindLine], "L.") + ", "
           + kindColumns(kindTables[KindCircle], "C.") + ", "
           + kindColumns(kindTables[KindArc], "A.") + ", "
           + kindColumns(kindTables[KindText], "T.");
}

QByteArray kindJoins(int drawing)
{
    const QByteArray n = suffix(drawing);
    return " LEFT JOIN ENT_LINE_" + n + " L ON E.DT = 1 AND L.N = E.DN"
           " LEFT JOIN ENT_CIRCLE_" + n + " C ON E.DT = 2 AND C.N = E.DN"
           " LEFT JOIN ENT_ARC_" + n + " A ON E.DT = 3 AND A.N = E.DN"
           " LEFT JOIN ENT_TEXT_" + n + " T ON E.DT = 4 AND T.N = E.DN";
}

// The common columns of a kind's row starting at column k: N, LAY, COL and, but for texts,
// LTP and WID.
void lookAt(const fb::Cells &c, int k, bool lined, EntityRecord &e)
{
    e.row = whole(c, k);
    e.look.layer = small(c, k + 1);
    e.look.colour = small(c, k + 2);
    if (lined) {
        e.look.lineType = small(c, k + 3);
        e.look.width = small(c, k + 4);
    }
}

// A kind's row in its table's own column order, starting with its N at column k.
void kindAt(const fb::Cells &c, int k, int16_t kind, EntityRecord &e)
{
    const auto r = [&](int i) { return c.real(k + i); };
    switch (kind) {
    case KindLine:
        lookAt(c, k, true, e);
        e.shape = LineShape{r(5), r(6), r(7), r(8)};
        break;
    case KindCircle:
        lookAt(c, k, true, e);
        e.shape = CircleShape{r(5), r(6), r(7)};
        break;
    case KindArc:
        lookAt(c, k, true, e);
        e.shape = ArcShape{r(5), r(6), r(7), r(8), r(9)};
        break;
    case KindText:
        lookAt(c, k, false, e);
        e.shape = TextShape{r(6), r(7), r(8), r(9), r(10), r(11), small(c, k + 3),
                            small(c, k + 4), small(c, k + 5), FromCp932(c.bytes(k + 12)),
                            FromCp932(c.bytes(k + 13))};
        break;
    default:
        break;
    }
}

// N, MN, DS, DT, DN from column first on.
EntityRow entityRowAt(const fb::Cells &c, int first)
{
    return {whole(c, first), whole(c, first + 1), small(c, first + 2), small(c, first + 3),
            whole(c, first + 4)};
}

EntityRecord entityAt(const fb::Cells &c, int first)
{
    EntityRecord e;
    e.entity = entityRowAt(c, first);
    if (!c.null(first + 5))
        kindAt(c, first + 5, KindLine, e);
    else if (!c.null(first + 14))
        kindAt(c, first + 14, KindCircle, e);
    else if (!c.null(first + 22))
        kindAt(c, first + 22, KindArc, e);
    else if (!c.null(first + 32))
        kindAt(c, first + 32, KindText, e);
    return e;
}

bool read(Database &db, const QByteArray &sql, const std::function<void(const fb::Cells &)> &each)
{
    return db.DatabaseConnected() && db.Connection().readEach(sql, each);
}

// Gaps between the wanted numbers of a kind's rows up to this many are read through rather
// than asked for apart.
constexpr int32_t ReadThrough = 256;
// Beyond this many runs of numbers, or ranges this much wider than the rows wanted, the rows
// are found through the entities' own numbers instead: the numbers are then spread among
// other entities' rows, which a range would read for nothing.
constexpr size_t MostRuns = 16;
constexpr int64_t Wider = 16, WiderBy = 4096;

// The rows of one kind that entities numbered first to last name by wanted (ascending, once
// each), ascending by their own number. Rows of kindred numbers come by their key's ranges;
// numbers spread far come through a join of the entities' range.
bool readKindRows(Database &db, int drawing, int16_t kind, int32_t first, int32_t last,
                  const std::vector<int32_t> &wanted, std::vector<EntityRecord> &out)
{
    out.clear();
    if (wanted.empty())
        return true;
    std::vector<std::pair<int32_t, int32_t>> runs{{wanted.front(), wanted.front()}};
    int64_t span = 1;
    for (size_t i = 1; i < wanted.size(); ++i) {
        const int64_t gap = int64_t(wanted[i]) - runs.back().second - 1;
        if (gap <= ReadThrough) {
            runs.back().second = wanted[i];
            span += gap + 1;
        } else {
            runs.emplace_back(wanted[i], wanted[i]);
            span += 1;
        }
    }
    const KindTable &k = kindTables[kind];
    const QByteArray n = suffix(drawing);
    QByteArray sql;
    if (runs.size() <= MostRuns && span <= Wider * int64_t(wanted.size()) + WiderBy) {
        sql = "SELECT " + kindColumns(k, {}) + " FROM " + k.table + n + " WHERE";
        for (size_t i = 0; i < runs.size(); ++i)
            sql += (i ? " OR N BETWEEN " : " N BETWEEN ") + QByteArray::number(runs[i].first)
                   + " AND " + QByteArray::number(runs[i].second);
    } else {
        sql = "SELECT " + kindColumns(k, "K.") + " FROM ENTITY_" + n + " E JOIN " + k.table + n
              + " K ON K.N = E.DN WHERE E.DT = " + QByteArray::number(kind) + " AND E.N BETWEEN "
              + QByteArray::number(first) + " AND " + QByteArray::number(last);
    }
    out.reserve(wanted.size());
    const bool ok = read(db, sql, [&](const fb::Cells &c) {
        EntityRecord e;
        kindAt(c, 0, kind, e);
        out.push_back(std::move(e));
    });
    if (!ok)
        return false;
    const auto byRow = [](const EntityRecord &a, const EntityRecord &b) { return a.row < b.row; };
    if (std::is_sorted(out.begin(), out.end(), byRow))
        return true;
    // Ordered through their places: records are heavy to swap.
    std::vector<size_t> order(out.size());
    std::iota(order.begin(), order.end(), size_t(0));
    std::sort(order.begin(), order.end(),
              [&](size_t a, size_t b) { return out[a].row < out[b].row; });
    std::vector<EntityRecord> sorted;
    sorted.reserve(out.size());
    for (size_t i : order)
        sorted.push_back(std::move(out[i]));
    out.swap(sorted);
    return true;
}

// Up to count entities numbered above after, ascending. Numbers are handed out one after
// another, so a range of them is read through the key's bitmap, which costs the server less
// than walking the index row by row; a range left short by numbers never stored is followed
// by the next, and one left mostly empty by a walk to the rest.
bool readEntityRows(Database &db, int drawing, int64_t after, int count,
                    std::vector<EntityRow> &out)
{
    out.clear();
    out.reserve(size_t(count));
    const QByteArray head =
        "SELECT N, MN, DS, DT, DN FROM ENTITY_" + suffix(drawing) + " WHERE N ";
    const auto take = [&](const fb::Cells &c) { out.push_back(entityRowAt(c, 0)); };
    int64_t from = after;
    while (int(out.size()) < count) {
        const int want = count - int(out.size());
        const size_t before = out.size();
        if (!read(db, head + "BETWEEN " + QByteArray::number(qint64(from + 1)) + " AND "
                          + QByteArray::number(qint64(from + want)),
                  take))
            return false;
        // The bitmap hands rows over in the order they lie in, not by number.
        const auto byNumber = [](const EntityRow &a, const EntityRow &b) { return a.n < b.n; };
        if (!std::is_sorted(out.begin() + before, out.end(), byNumber))
            std::sort(out.begin() + before, out.end(), byNumber);
        from += want;
        const int got = int(out.size() - before);
        if (got * 2 >= want)
            continue;
        if (!read(db, head + "> " + QByteArray::number(qint64(from)) + " ORDER BY N ROWS "
                          + QByteArray::number(want - got),
                  take))
            return false;
        break;
    }
    return true;
}

} // namespace

bool ReadLayers(Database &db, int drawing, std::vector<LayerRow> &out)
{
    std::vector<LayerRow> rows;
    const bool ok = read(db, "SELECT N, LNAME, VISI, PRN, COL, LTP, WID, SCL FROM LAYER_"
                                 + suffix(drawing) + " ORDER BY N",
                         [&](const fb::Cells &c) {
                             LayerRow r;
                             r.n = whole(c, 0);
                             r.name = FromCp932(c.bytes(1));
                             r.visible = whole(c, 2);
                             r.printed = whole(c, 3);
                             r.colour = whole(c, 4);
                             r.lineType = whole(c, 5);
                             r.width = whole(c, 6);
                             r.scale = c.null(7) ? 1.0 : c.real(7);
                             rows.push_back(r);
                         });
    if (ok)
        out = std::move(rows);
    return ok;
}

bool ReadColours(Database &db, int drawing, std::vector<ColourRow> &out)
{
    std::vector<ColourRow> rows;
    const bool ok = read(db, "SELECT N, CNAME, COL FROM COLOR_" + suffix(drawing) + " ORDER BY N",
                         [&](const fb::Cells &c) {
                             rows.push_back({whole(c, 0), FromCp932(c.bytes(1)), whole(c, 2)});
                         });
    if (ok)
        out = std::move(rows);
    return ok;
}

bool ReadLineTypes(Database &db, int drawing, std::vector<LineTypeRow> &out)
{
    std::vector<LineTypeRow> rows;
    const bool ok = read(db, "SELECT N, SNAME, SN, P1, P2, P3, P4, P5, P6, P7, P8, P9, P10 "
                             "FROM LTYPE_" + suffix(drawing) + " ORDER BY N",
                         [&](const fb::Cells &c) {
                             LineTypeRow r;
                             r.n = whole(c, 0);
                             r.name = FromCp932(c.bytes(1));
                             r.count = whole(c, 2);
                             for (int i = 0; i < 10; ++i)
                                 r.pitches[i] = whole(c, 3 + i);
                             rows.push_back(r);
                         });
    if (ok)
        out = std::move(rows);
    return ok;
}

bool ReadDrawingMarks(Database &db, int drawing, int64_t knownEntity, int64_t knownHistory,
                      DrawingMarks &out)
{
    // Index range probes: cheap however many rows the drawing has.
    const QByteArray n = suffix(drawing);
    const QByteArray sql = "SELECT (SELECT OPN FROM VAR_" + n + " WHERE N = 1), "
                           "(SELECT FIRST 1 N FROM ENTITY_" + n + " WHERE N > "
                           + QByteArray::number(qint64(knownEntity)) + "), "
                           "(SELECT FIRST 1 N FROM HISTORY_" + n + " WHERE N > "
                           + QByteArray::number(qint64(knownHistory)) + ") FROM RDB$DATABASE";
    DrawingMarks marks;
    const bool ok = read(db, sql, [&](const fb::Cells &c) {
        marks.operation = c.integer(0);
        marks.entitiesAbove = !c.null(1);
        marks.historyAbove = !c.null(2);
    });
    if (ok)
        out = marks;
    return ok;
}

bool ReadHistoryStart(Database &db, int drawing, int64_t &highestHistory, int64_t &operation)
{
    const QByteArray n = suffix(drawing);
    return read(db, "SELECT (SELECT MAX(N) FROM HISTORY_" + n + "), (SELECT OPN FROM VAR_" + n
                        + " WHERE N = 1) FROM RDB$DATABASE",
                [&](const fb::Cells &c) {
                    highestHistory = c.integer(0);
                    operation = c.integer(1);
                });
}

bool ReadEntities(Database &db, int drawing, int64_t after, int limit,
                  const std::function<void(const EntityRecord &)> &each)
{
    // The entities first, then each kind's rows on their own narrow rows, joined here: one
    // query joining all four tables costs the server a look into each for every entity and
    // carries every kind's columns on every row. Steps bound what is held at once.
    constexpr int Step = 65536;
    int64_t from = after;
    int left = limit > 0 ? limit : -1;
    std::vector<EntityRow> chunk;
    std::vector<int32_t> wanted[5];
    std::vector<EntityRecord> rows[5];
    EntityRecord e;
    for (;;) {
        const int step = left < 0 ? Step : std::min(left, Step);
        if (!readEntityRows(db, drawing, from, step, chunk))
            return false;
        if (chunk.empty())
            return true;
        for (int16_t kind = KindLine; kind <= KindText; ++kind)
            wanted[kind].clear();
        for (const EntityRow &r : chunk) {
            if (r.type >= KindLine && r.type <= KindText)
                wanted[r.type].push_back(r.target);
        }
        for (int16_t kind = KindLine; kind <= KindText; ++kind) {
            std::vector<int32_t> &w = wanted[kind];
            if (!std::is_sorted(w.begin(), w.end()))
                std::sort(w.begin(), w.end());
            w.erase(std::unique(w.begin(), w.end()), w.end());
            if (!readKindRows(db, drawing, kind, chunk.front().n, chunk.back().n, w, rows[kind]))
                return false;
        }
        // Entity and kind numbers mostly rise together: look next to the last one found.
        size_t at[5] = {};
        for (const EntityRow &r : chunk) {
            e.entity = r;
            e.row = 0;
            e.look = {};
            e.shape = std::monostate();
            const int16_t kind = r.type;
            if (kind >= KindLine && kind <= KindText) {
                const std::vector<EntityRecord> &k = rows[kind];
                size_t i = at[kind];
                if (i >= k.size() || k[i].row != r.target) {
                    i = size_t(std::lower_bound(k.begin(), k.end(), r.target,
                                                [](const EntityRecord &a, int32_t v) {
                                                    return a.row < v;
                                                })
                               - k.begin());
                }
                if (i < k.size() && k[i].row == r.target) {
                    e.row = k[i].row;
                    e.look = k[i].look;
                    e.shape = k[i].shape;
                    at[kind] = i + 1;
                }
            }
            each(e);
        }
        if (left > 0 && (left -= int(chunk.size())) <= 0)
            return true;
        if (int(chunk.size()) < step)
            return true;
        from = chunk.back().n;
    }
}

bool ReadChangedEntities(Database &db, int drawing, int64_t afterHistory,
                         int64_t &highestHistory,
                         const std::function<void(const EntityRecord &)> &each)
{
    // Driven by the history's own index; an entity named twice comes twice.
    const QByteArray sql = "SELECT H.N, " + entityColumns() + " FROM HISTORY_"
                           + suffix(drawing) + " H LEFT JOIN ENTITY_" + suffix(drawing)
                           + " E ON E.N = H.EN" + kindJoins(drawing) + " WHERE H.N > "
                           + QByteArray::number(qint64(afterHistory)) + " ORDER BY H.N";
    int64_t highest = highestHistory;
    const bool ok = read(db, sql, [&](const fb::Cells &c) {
        highest = std::max<int64_t>(highest, c.integer(0));
        if (!c.null(1))
            each(entityAt(c, 1));
    });
    if (ok)
        highestHistory = highest;
    return ok;
}

bool ReadTableSetIdentity(Database &db, int drawing, QByteArray &identity)
{
    const QByteArray n = suffix(drawing);
    QByteArray sql = "SELECT (SELECT MON$DATABASE_NAME FROM MON$DATABASE), "
                     "(SELECT CAST(MON$CREATION_DATE AS VARCHAR(32)) FROM MON$DATABASE)";
    for (const char *table : {"LAYER_", "ENTITY_", "HISTORY_", "VAR_", "ENT_LINE_", "ENT_CIRCLE_",
                              "ENT_ARC_", "ENT_TEXT_"})
        sql += ", (SELECT RDB$RELATION_ID FROM RDB$RELATIONS WHERE RDB$RELATION_NAME = '"
               + QByteArray(table) + n + "')";
    sql += " FROM RDB$DATABASE";
    QByteArray id;
    bool complete = true;
    const bool ok = read(db, sql, [&](const fb::Cells &c) {
        for (int i = 0; i < 10; ++i) {
            complete = complete && !c.null(i);
            id += (i < 2 ? c.bytes(i) : QByteArray::number(c.integer(i))) + '|';
        }
    });
    if (!ok || !complete || id.isEmpty())
        return false;
    identity = id;
    return true;
}

bool ReadEntitiesNumbered(Database &db, int drawing, const std::vector<int32_t> &numbers,
                          const std::function<void(const EntityRecord &)> &each)
{
    if (numbers.empty())
        return true;
    QByteArray list;
    for (int32_t v : numbers)
        list += (list.isEmpty() ? "" : ", ") + QByteArray::number(v);
    return read(db,
                "SELECT " + entityColumns() + " FROM ENTITY_" + suffix(drawing) + " E"
                    + kindJoins(drawing) + " WHERE E.N IN (" + list + ") ORDER BY E.N",
                [&](const fb::Cells &c) { each(entityAt(c, 0)); });
}

bool ReadDrawingTablesPresent(Database &db, int drawing, bool &present)
{
    const QByteArray n = suffix(drawing);
    qint64 count = 0;
    const bool ok = read(db, "SELECT COUNT(*) FROM RDB$RELATIONS WHERE RDB$RELATION_NAME IN "
                             "('LAYER_" + n + "', 'ENTITY_" + n + "', 'ENT_LINE_" + n + "')",
                         [&](const fb::Cells &c) { count = c.integer(0); });
    if (ok)
        present = count == 3;
    return ok;
}
