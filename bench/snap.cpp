// The snap with every kind on, against the end-point snap alone, and the storing of a line or box on a drawing of up to 1,000,000
// lines through the local server, against the way of a pass over the line table through
// the server and of single-row reads with whole-table maxima, measured in the same run.
// Then picking a line and frame selection from memory against a pass over every line, and
// erasing 10,000 selected lines in one operation (and taking that back) against statements
// of a row each.
#include "base/values.h"
#include "db/database.h"
#include "db/changestore.h"
#include "editor/drawingloader.h"
#include "editor/model/drawingmodel.h"
#include "editor/view/selection.h"
#include "editor/view/snap.h"
#include "register/drawingset.h"
#include "support/testdb.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QRandomGenerator>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdio>
#include <tuple>
#include <vector>

namespace {

constexpr int Drawing = 1;
constexpr int LoadStep = 50000;

double ms(const QElapsedTimer &clock)
{
    return clock.nsecsElapsed() / 1e6;
}

double median(std::vector<double> t)
{
    std::sort(t.begin(), t.end());
    return t.empty() ? 0 : t[t.size() / 2];
}

// Short lines in rows across an A0 sheet, as the program stores them, made on the server.
bool fill(Database &db, int lines)
{
    const QString s = QString::number(Drawing);
    const QStringList block{
        "EXECUTE BLOCK AS",
        "DECLARE I INTEGER = 0; DECLARE X DOUBLE PRECISION; DECLARE Y DOUBLE PRECISION;",
        "BEGIN",
        QStringLiteral("  WHILE (I < %1) DO BEGIN").arg(lines),
        "    I = I + 1;",
        "    X = MOD(I * 7919, 1180) - 590 + MOD(I, 13) * 0.05;",
        "    Y = MOD(I * 104729, 830) - 415 + MOD(I, 7) * 0.05;",
        QStringLiteral("    INSERT INTO HISTORY_%1 (N, OPN, MD, EN) VALUES (:I, :I, 0, :I);")
            .arg(s),
        QStringLiteral("    INSERT INTO ENTITY_%1 (N, MN, DS, DT, DN) VALUES (:I, 1, 1, 1, :I);")
            .arg(s),
        QStringLiteral("    INSERT INTO ENT_LINE_%1 (N, LAY, COL, LTP, WID, X1, Y1, X2, Y2)")
            .arg(s),
        "      VALUES (:I, MOD(:I, 4), 0, 0, 0, :X, :Y, :X + 3, :Y + MOD(:I, 5));",
        "  END",
        QStringLiteral("  UPDATE VAR_%1 SET OPN = :I WHERE N = 1;").arg(s),
        "END"};
    return db.ExecSqlLines(block);
}

// The nearest end within the square by a pass over the line table in ascending N through
// the server, after the 256 layer scales.
bool scanSnap(Database &db, double x, double y, double tolerance, double &sx, double &sy)
{
    const QString s = QString::number(Drawing);
    double scale[256] = {};
    QStringList row;
    int count = db.SqlSelect("*", "LAYER_" + s, "", "N");
    for (int i = 0; i < 256; ++i) {
        if (i == 0)
            db.FetchRow(row);
        else
            db.FetchNextRow(row);
        scale[i] = i < count && StrToIntZ(row.value(2)) != 0 ? StrToFloatZ(row.value(7)) : 0;
    }
    db.CloseSelect();
    count = db.SqlSelect("*", "ENT_LINE_" + s, "", "N");
    bool found = false;
    double nearest = 0;
    for (int i = 0; i < count; ++i) {
        if (i == 0)
            db.FetchRow(row);
        else
            db.FetchNextRow(row);
        const int layer = StrToIntZ(row.value(1));
        const double f = layer >= 0 && layer <= 255 ? scale[layer] : 0;
        if (f == 0)
            continue;
        for (int end = 0; end < 2; ++end) {
            const double px = StrToFloatZ(row.value(5 + 2 * end)) * f;
            const double py = StrToFloatZ(row.value(6 + 2 * end)) * f;
            const double d = std::hypot(x - px, y - py);
            if (std::fabs(x - px) <= tolerance && std::fabs(y - py) <= tolerance
                && (!found || d < nearest)) {
                sx = px;
                sy = py;
                nearest = d;
                found = true;
            }
        }
    }
    db.CloseSelect();
    return found;
}

// Single-row reads of the layer, colour and line type, maxima over whole tables, then one
// transaction.
bool storeTheOldWay(Database &db, const ChangeSet &op)
{
    const QString s = QString::number(Drawing);
    const int layerNo = op.created.front().look.layer;
    QStringList layer, colour, type;
    db.SqlSelectRow("*", "LAYER_" + s, "N=" + QString::number(layerNo), layer);
    db.SqlSelectRow("*", "COLOR_" + s, "N=" + layer.value(4), colour);
    db.SqlSelectRow("*", "LTYPE_" + s, "N=" + layer.value(5), type);
    const double scale = layer.value(7).isEmpty() ? 1.0 : StrToFloatZ(layer.value(7));
    const int k = StrToIntZ(db.SqlSelectMax("VAR_" + s, "OPN", "")) + 1;
    const int h = StrToIntZ(db.SqlSelectMax("HISTORY_" + s, "N", "")) + 1;
    const int e = StrToIntZ(db.SqlSelectMax("ENTITY_" + s, "N", "")) + 1;
    const int l = StrToIntZ(db.SqlSelectMax("ENT_LINE_" + s, "N", "")) + 1;
    const int n = int(op.created.size());
    bool ok = db.StartTransaction()
              && db.SqlUpdateNoCommit("VAR_" + s, "OPN=" + QString::number(k), "N=1");
    for (int i = 0; ok && i < n; ++i)
        ok = db.SqlInsertNoCommit("HISTORY_" + s, "N,OPN,MD,EN",
                                  QStringLiteral("%1,%2,0,%3").arg(h + i).arg(k).arg(e + i));
    for (int i = 0; ok && i < n; ++i)
        ok = db.SqlInsertNoCommit("ENTITY_" + s, "N,MN,DS,DT,DN",
                                  QStringLiteral("%1,1,1,1,%2").arg(e + i).arg(l + i));
    for (int i = 0; ok && i < n; ++i) {
        const LineShape &p = std::get<LineShape>(op.created[size_t(i)].shape);
        ok = db.SqlInsertNoCommit("ENT_LINE_" + s, "N,LAY,COL,LTP,WID,X1,Y1,X2,Y2",
                                  QStringLiteral("%1,%2,0,0,0,").arg(l + i).arg(layerNo)
                                      + QStringList{FloatText(p.x1 / scale),
                                                    FloatText(p.y1 / scale),
                                                    FloatText(p.x2 / scale),
                                                    FloatText(p.y2 / scale)}
                                            .join(u','));
    }
    ok = ok && db.CommitTransaction();
    db.CloseQuery();
    return ok;
}

ChangeSet figure(int i, bool box)
{
    ChangeSet op;
    op.member = 1;
    const double x = -500 + i, y = 400;
    std::vector<LineShape> lines = {{x, y, x + 10, y}};
    if (box)
        lines = {{x, y, x + 10, y}, {x + 10, y, x + 10, y + 5}, {x + 10, y + 5, x, y + 5},
                 {x, y + 5, x, y}};
    for (const LineShape &l : lines) {
        EntityRecord e;
        e.shape = l;
        op.created.push_back(e);
    }
    return op;
}

// A live, drawn line's ends on paper.
bool paperLine(const DrawingModel &model, const Entity &e, double &x1, double &y1, double &x2,
               double &y2)
{
    const PaperShape p = model.Paper(e);
    const LineShape *l = std::get_if<LineShape>(&p);
    if (l)
        x1 = l->x1, y1 = l->y1, x2 = l->x2, y2 = l->y2;
    return l;
}

// The nearest live line by a pass over every line in memory.
int32_t scanPick(const DrawingModel &model, double x, double y, double tolerance)
{
    int32_t best = 0;
    double bestDistance = tolerance;
    for (size_t i = 0; i < model.Count(); ++i) {
        double x1, y1, x2, y2;
        if (!paperLine(model, model.At(i), x1, y1, x2, y2))
            continue;
        const double dx = x2 - x1, dy = y2 - y1, l2 = dx * dx + dy * dy;
        const double t = l2 > 0 ? std::clamp(((x - x1) * dx + (y - y1) * dy) / l2, 0.0, 1.0) : 0;
        const double d = std::hypot(x - (x1 + t * dx), y - (y1 + t * dy));
        if (d <= bestDistance) {
            bestDistance = d;
            best = model.At(i).entity.n;
        }
    }
    return best;
}

size_t scanFrame(const DrawingModel &model, const PaperBox &b)
{
    size_t n = 0;
    for (size_t i = 0; i < model.Count(); ++i) {
        double x1, y1, x2, y2;
        n += paperLine(model, model.At(i), x1, y1, x2, y2) && x1 >= b.x1 && x2 <= b.x2
             && x2 >= b.x1 && x1 <= b.x2 && std::min(y1, y2) >= b.y1 && std::max(y1, y2) <= b.y2;
    }
    return n;
}

// An erase the way of a statement a row: each entity's state and its history row.
bool eraseRowByRow(Database &db, const std::vector<int32_t> &entities, int64_t &history,
                   int64_t &operation)
{
    const QString s = QString::number(Drawing);
    ++operation;
    bool ok = db.StartTransaction()
              && db.SqlUpdateNoCommit("VAR_" + s, "OPN=" + QString::number(operation), "N=1");
    for (size_t i = 0; ok && i < entities.size(); ++i) {
        ok = db.SqlInsertNoCommit("HISTORY_" + s, "N,OPN,MD,EN",
                                  QStringLiteral("%1,%2,1,%3").arg(++history).arg(operation)
                                      .arg(entities[i]))
             && db.SqlUpdateNoCommit("ENTITY_" + s, "DS=0",
                                     "N=" + QString::number(entities[i]));
    }
    ok = ok && db.CommitTransaction();
    db.CloseQuery();
    return ok;
}

bool selectAndErase(Database &db, DrawingModel &model,
                    const std::vector<std::pair<double, double>> &points, double tolerance)
{
    std::vector<double> pick, scan;
    int picked = 0;
    for (size_t i = 0; i < points.size(); ++i) {
        const auto [x, y] = points[i];
        QElapsedTimer clock;
        clock.start();
        const int32_t n = PickEntity(model, x, y, tolerance);
        pick.push_back(ms(clock));
        picked += n != 0;
        if (i < 3) {
            clock.restart();
            const int32_t m = scanPick(model, x, y, tolerance);
            scan.push_back(ms(clock));
            if (m != n) {
                std::fprintf(stderr, "the two picks disagree\n");
                return false;
            }
        }
    }
    std::printf("\npick a line from memory: %.4f ms (worst %.4f ms), %d of %zu clicks found "
                "one; a pass over every line %.1f ms, %.0f times slower\n",
                median(pick), *std::max_element(pick.begin(), pick.end()), picked,
                points.size(), median(scan), median(scan) / median(pick));

    // A window on a tenth of the sheet each way, and the whole sheet.
    const PaperBox small{-60, -40, 60, 40}, whole{-700, -500, 700, 500};
    std::vector<int32_t> some, all;
    for (const auto &[box, out, name] :
         {std::tuple{small, &some, "a tenth of the sheet"}, {whole, &all, "the whole sheet"}}) {
        std::vector<double> t, crossing;
        for (int i = 0; i < 5; ++i) {
            QElapsedTimer clock;
            clock.start();
            *out = FrameEntities(model, box, false);
            t.push_back(ms(clock));
            clock.restart();
            FrameEntities(model, box, true);
            crossing.push_back(ms(clock));
        }
        QElapsedTimer clock;
        clock.start();
        const size_t check = scanFrame(model, box);
        const double pass = ms(clock);
        if (check != out->size()) {
            std::fprintf(stderr, "the two frames disagree: %zu and %zu\n", check, out->size());
            return false;
        }
        std::printf("frame over %s: %zu lines inside in %.1f ms, touching %.1f ms; a pass "
                    "over every line %.1f ms\n",
                    name, out->size(), median(t), median(crossing), pass);
    }

    // 10,000 selected lines erased as one operation, taken into memory, then restored:
    // lines drawn one after another, and lines drawn far apart in time.
    const size_t count = std::min<size_t>(all.size(), 10000);
    std::vector<int32_t> together(all.begin(), all.begin() + count), apart;
    for (size_t i = 0; i < count; ++i)
        apart.push_back(all[i * (all.size() / count)]);
    NumberHints hints{model.HighestHistory(), model.HighestEntity(), {}};
    double times[2][2] = {};
    for (int which = 0; which < 2; ++which) {
        for (int16_t state : {int16_t(0), int16_t(1)}) {
            const std::vector<int32_t> &chosen = which == 0 ? together : apart;
            StoredOperation out;
            QElapsedTimer clock;
            clock.start();
            ChangeSet changes;
            (state == 0 ? changes.erased : changes.restored) = chosen;
            const std::vector<int32_t> &done = state == 0 ? out.erased : out.restored;
            if (StoreChanges(db, Drawing, changes, hints, out) != StoreResult::Stored
                || done.size() != chosen.size()) {
                std::fprintf(stderr, "erasing failed: %s\n", qPrintable(db.LastError()));
                return false;
            }
            model.TakeStored({}, out.erased, out.restored, out.operation, out.firstHistory);
            times[which][state] = ms(clock);
            hints.history = out.firstHistory + int64_t(done.size()) - 1;
        }
    }
    const std::vector<int32_t> &chosen = apart;
    // The old way on a tenth as many, lest it take all day.
    const std::vector<int32_t> tenth(chosen.begin(), chosen.begin() + chosen.size() / 10);
    int64_t history = hints.history, operation = 0;
    operation = StrToIntZ(db.SqlSelectMax("VAR_" + QString::number(Drawing), "OPN", ""));
    QElapsedTimer clock;
    clock.start();
    if (!eraseRowByRow(db, tenth, history, operation)) {
        std::fprintf(stderr, "erasing row by row failed: %s\n", qPrintable(db.LastError()));
        return false;
    }
    const double old = ms(clock);
    std::printf("erase %zu selected lines as one operation through the server: drawn one "
                "after another %.0f ms, restore them %.0f ms; drawn far apart %.0f ms, restore "
                "%.0f ms; a statement a row took %.0f ms for %zu (%.1f times slower a line)\n",
                chosen.size(), times[0][0], times[0][1], times[1][0], times[1][1], old,
                tenth.size(),
                old / double(std::max<size_t>(tenth.size(), 1))
                    / (times[1][0] / double(std::max<size_t>(chosen.size(), 1))));
    std::printf("targets: pick < 10 ms, frame < 100 ms on 1,000,000 lines; erasing 10,000 "
                "lines < 2 s\n");
    return true;
}

// Circles and arcs among the lines, so that every kind has something to find; then every
// kind on, the last point a little away, with the grid, at the line starts and anywhere on
// the sheet, against the end snap alone over the same points.
bool allKinds(DrawingModel &model, const std::vector<std::pair<double, double>> &starts,
              double tolerance, int lines)
{
    std::vector<EntityRecord> curves;
    const int count = lines / 10;
    for (int i = 1; i <= count; ++i) {
        EntityRecord e;
        e.entity = {int32_t(lines + 1000 + i), 1, 1, int16_t(i % 2 ? KindCircle : KindArc),
                    int32_t(i)};
        e.row = i;
        e.look.layer = int16_t(i % 4);
        const double x = std::fmod(i * 6151.0, 1180) - 590, y = std::fmod(i * 7333.0, 830) - 415;
        if (i % 2)
            e.shape = CircleShape{x, y, double(1 + i % 5)};
        else
            e.shape = ArcShape{x, y, double(2 + i % 3), double(i % 360), double((i * 7) % 360)};
        curves.push_back(e);
    }
    model.Add(curves);
    auto *random = QRandomGenerator::global();
    std::vector<std::pair<double, double>> anywhere;
    for (size_t i = 0; i < starts.size(); ++i)
        anywhere.emplace_back(random->bounded(1180.0) - 590, random->bounded(830.0) - 415);
    SnapResult snap;
    FindSnap(model, {0, 0, tolerance, SnapAll, true, 1, 1, 0.5}, snap); // the index anew
    int kinds[SnapKindCount] = {};
    for (const auto &[set, name] : {std::pair{&starts, "at line starts"}, {&anywhere, "anywhere"}}) {
        std::vector<double> all, endsOnly;
        // A point's time is the best of three runs, so that the worst is the slowest
        // point's own work and not the moment another process took the processor.
        auto timed = [&](const SnapQuery &q) {
            double best = 1e300;
            for (int run = 0; run < 3; ++run) {
                QElapsedTimer clock;
                clock.start();
                FindSnap(model, q, snap);
                best = std::min(best, ms(clock));
            }
            return best;
        };
        for (const auto &[x, y] : *set) {
            all.push_back(timed({x, y, tolerance, SnapAll, true, x + 20, y + 7, 0.5}));
            if (FindSnap(model, {x, y, tolerance, SnapAll, true, x + 20, y + 7, 0.5}, snap))
                ++kinds[std::countr_zero(unsigned(snap.kind))];
            endsOnly.push_back(timed({x, y, tolerance, SnapEnd, false, 0, 0, 0}));
        }
        std::printf("every kind on, %s: %.4f ms (worst %.4f ms); the end snap alone %.4f ms "
                    "(worst %.4f ms), %.1f times as long\n",
                    name, median(all), *std::max_element(all.begin(), all.end()),
                    median(endsOnly), *std::max_element(endsOnly.begin(), endsOnly.end()),
                    median(all) / std::max(median(endsOnly), 1e-9));
    }
    std::printf("kinds taken (end, intersection, centre, middle, quadrant, perpendicular, "
                "tangent, nearest, grid):");
    for (int k : kinds)
        std::printf(" %d", k);
    std::printf("\ntargets: every kind on, 1,000,000 entities: < 1 ms median, < 5 ms worst\n");
    return true;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const int lines = argc > 1 ? std::max(1000, atoi(argv[1])) : 1000000;
    TestDb place;
    Database db;
    db.CreateDatabase(place.serverPath());
    if (!db.DatabaseConnected() || !EnsureDrawingTables(db, Drawing)) {
        std::fprintf(stderr, "no drawing through the local server: %s\n",
                     qPrintable(db.LastError()));
        return 1;
    }
    QElapsedTimer clock;
    clock.start();
    if (!fill(db, lines)) {
        std::fprintf(stderr, "filling failed: %s\n", qPrintable(db.LastError()));
        return 1;
    }
    std::printf("filled %d lines in %.1f s\n", lines, ms(clock) / 1000);

    DrawingModel model(Drawing);
    clock.restart();
    if (!BeginLoad(db, model))
        return 1;
    for (int read = LoadStep; read == LoadStep;) {
        read = ContinueLoad(db, model, LoadStep);
        if (read < 0)
            return 1;
    }
    std::printf("read into memory in %.1f s\n", ms(clock) / 1000);

    // Full view of A0 on a 1600-pixel paint box: about 1.2 pixels a millimetre.
    const double tolerance = 5 / 1.2;
    auto *random = QRandomGenerator::global();
    std::vector<std::pair<double, double>> points;
    for (int i = 0; i < 1000; ++i) {
        const int n = int(random->bounded(lines)) + 1;
        const double x = std::fmod(n * 7919.0, 1180) - 590 + (n % 13) * 0.05;
        const double y = std::fmod(n * 104729.0, 830) - 415 + (n % 7) * 0.05;
        points.emplace_back(x + 1, y - 1); // near the start of line n
    }
    SnapResult snap;
    auto ends = [&](double x, double y) {
        return FindSnap(model, {x, y, tolerance, SnapEnd, false, 0, 0, 0}, snap);
    };
    clock.restart();
    ends(0, 0);
    const double first = ms(clock);
    std::vector<double> t;
    int found = 0;
    for (auto [x, y] : points) {
        QElapsedTimer one;
        one.start();
        found += ends(x, y);
        t.push_back(ms(one));
    }
    const double ours = median(t);
    const double worst = *std::max_element(t.begin(), t.end());

    // Once: it reads the whole table to the client.
    std::vector<double> theirs;
    for (int i = 0; i < 1; ++i) {
        double tx = 0, ty = 0;
        clock.restart();
        const bool hit = scanSnap(db, points[size_t(i)].first, points[size_t(i)].second,
                                  tolerance, tx, ty);
        theirs.push_back(ms(clock));
        ends(points[size_t(i)].first, points[size_t(i)].second);
        if (!hit || tx != snap.x || ty != snap.y) {
            std::fprintf(stderr, "the two snaps disagree\n");
            return 1;
        }
    }

    // Storing: ours with the numbers the drawing in memory knows, then the old way.
    NumberHints hints{model.HighestHistory(), model.HighestEntity(), lines};
    std::vector<double> line, box;
    for (int i = 0; i < 20; ++i) {
        for (bool isBox : {false, true}) {
            StoredOperation out;
            clock.restart();
            if (StoreChanges(db, Drawing, figure(i, isBox), hints, out)
                != StoreResult::Stored) {
                std::fprintf(stderr, "storing failed: %s\n", qPrintable(db.LastError()));
                return 1;
            }
            (isBox ? box : line).push_back(ms(clock));
            hints = {out.firstHistory, out.rows.back().entity.n, {0, out.rows.back().row}};
        }
    }
    std::vector<double> oldLine, oldBox;
    for (int i = 0; i < 3; ++i) {
        for (bool isBox : {false, true}) {
            clock.restart();
            if (!storeTheOldWay(db, figure(100 + i, isBox)))
                return 1;
            (isBox ? oldBox : oldLine).push_back(ms(clock));
        }
    }

    std::printf("\n%d lines, tolerance %.2f mm (5 pixels), medians\n", lines, tolerance);
    std::printf("end snap from memory: %.4f ms (worst %.4f ms, first call with the index "
                "built %.1f ms), %d of %zu clicks found an end\n",
                ours, worst, first, found, points.size());
    std::printf("snap by a pass over ENT_LINE through the server: %.0f ms; %.0f times faster\n",
                median(theirs), median(theirs) / ours);
    std::printf("store a line: %.2f ms, a box: %.2f ms; the old way %.1f ms and %.1f ms "
                "(%.0f and %.0f times faster)\n",
                median(line), median(box), median(oldLine), median(oldBox),
                median(oldLine) / median(line), median(oldBox) / median(box));
    std::printf("targets: snap < 5 ms on 1,000,000 lines; storing < 50 ms\n");
    // Last: the curves it adds are not in the tables the passes above read.
    return selectAndErase(db, model, points, tolerance) && allKinds(model, points, tolerance, lines)
               ? 0
               : 1;
}
