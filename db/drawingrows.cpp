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

// Entity columns first (0-4), then the line row's (5-13); a missing line row reads NULL.
QByteArray entityLineColumns()
{
    return "E.N, E.MN, E.DS, E.DT, E.DN, L.N, L.LAY, L.COL, L.LTP, L.WID, "
           "L.X1, L.Y1, L.X2, L.Y2";
}

QByteArray lineJoin(int drawing)
{
    return " LEFT JOIN ENT_LINE_" + suffix(drawing) + " L ON E.DT = 1 AND L.N = E.DN";
}

EntityLine entityLineAt(const fb::Cells &c, int first)
{
    EntityLine e;
    e.entity = {whole(c, first), whole(c, first + 1), small(c, first + 2), small(c, first + 3),
                whole(c, first + 4)};
    e.hasLine = !c.null(first + 5);
    if (e.hasLine) {
        e.line = {whole(c, first + 5), small(c, first + 6), small(c, first + 7),
                  small(c, first + 8), small(c, first + 9), c.real(first + 10),
                  c.real(first + 11), c.real(first + 12), c.real(first + 13)};
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

bool ReadEntityLines(Database &db, int drawing, int64_t after, int limit,
                     const std::function<void(const EntityLine &)> &each)
{
    QByteArray sql = "SELECT " + entityLineColumns() + " FROM ENTITY_" + suffix(drawing) + " E"
                     + lineJoin(drawing) + " WHERE E.N > " + QByteArray::number(qint64(after))
                     + " ORDER BY E.N";
    if (limit > 0)
        sql += " ROWS " + QByteArray::number(limit);
    return read(db, sql, [&](const fb::Cells &c) { each(entityLineAt(c, 0)); });
}

bool ReadChangedEntities(Database &db, int drawing, int64_t afterHistory,
                         int64_t &highestHistory,
                         const std::function<void(const EntityLine &)> &each)
{
    // Driven by the history's own index; an entity named twice comes twice.
    const QByteArray sql = "SELECT H.N, " + entityLineColumns() + " FROM HISTORY_"
                           + suffix(drawing) + " H LEFT JOIN ENTITY_" + suffix(drawing)
                           + " E ON E.N = H.EN" + lineJoin(drawing) + " WHERE H.N > "
                           + QByteArray::number(qint64(afterHistory)) + " ORDER BY H.N";
    int64_t highest = highestHistory;
    const bool ok = read(db, sql, [&](const fb::Cells &c) {
        highest = std::max<int64_t>(highest, c.integer(0));
        if (!c.null(1))
            each(entityLineAt(c, 1));
    });
    if (ok)
        highestHistory = highest;
    return ok;
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
