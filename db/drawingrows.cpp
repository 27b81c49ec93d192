#include "db/drawingrows.h"

#include "db/textcodec.h"
#include "db/database.h"
#include "db/firebird.h"

#include <algorithm>

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

// The entity's columns (0-4), then each kind's row; the rows of the other kinds read NULL.
QByteArray entityColumns()
{
    return "E.N, E.MN, E.DS, E.DT, E.DN, "
           "L.N, L.LAY, L.COL, L.LTP, L.WID, L.X1, L.Y1, L.X2, L.Y2, "
           "C.N, C.LAY, C.COL, C.LTP, C.WID, C.CX, C.CY, C.CR, "
           "A.N, A.LAY, A.COL, A.LTP, A.WID, A.CX, A.CY, A.CR, A.SA, A.EA, "
           "T.N, T.LAY, T.COL, T.STL, T.BAS, T.DIR, T.PX, T.PY, T.MH, T.MW, T.MD, T.ANG, "
           "T.FNT, T.TXT";
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

EntityRecord entityAt(const fb::Cells &c, int first)
{
    EntityRecord e;
    e.entity = {whole(c, first), whole(c, first + 1), small(c, first + 2), small(c, first + 3),
                whole(c, first + 4)};
    const auto r = [&](int k) { return c.real(first + k); };
    if (!c.null(first + 5)) {
        lookAt(c, first + 5, true, e);
        e.shape = LineShape{r(10), r(11), r(12), r(13)};
    } else if (!c.null(first + 14)) {
        lookAt(c, first + 14, true, e);
        e.shape = CircleShape{r(19), r(20), r(21)};
    } else if (!c.null(first + 22)) {
        lookAt(c, first + 22, true, e);
        e.shape = ArcShape{r(27), r(28), r(29), r(30), r(31)};
    } else if (!c.null(first + 32)) {
        lookAt(c, first + 32, false, e);
        e.shape = TextShape{r(38), r(39), r(40), r(41), r(42), r(43),
                            small(c, first + 35), small(c, first + 36), small(c, first + 37),
                            FromCp932(c.bytes(first + 44)), FromCp932(c.bytes(first + 45))};
    }
    return e;
}

bool read(Database &db, const QByteArray &sql, const std::function<void(const fb::Cells &)> &each)
{
    return db.DatabaseConnected() && db.Connection().readEach(sql, each);
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
    QByteArray sql = "SELECT " + entityColumns() + " FROM ENTITY_" + suffix(drawing) + " E"
                     + kindJoins(drawing) + " WHERE E.N > " + QByteArray::number(qint64(after))
                     + " ORDER BY E.N";
    if (limit > 0)
        sql += " ROWS " + QByteArray::number(limit);
    return read(db, sql, [&](const fb::Cells &c) { each(entityAt(c, 0)); });
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
