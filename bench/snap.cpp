// The end-point snap and the storing of a line or box on a drawing of up to 1,000,000
// lines through the local server, against the way of a pass over the line table through
// the server and of single-row reads with whole-table maxima, measured in the same run.
#include "app/values.h"
#include "db/database.h"
#include "db/linestore.h"
#include "editor/drawingmodel.h"
#include "editor/snap.h"
#include "register/drawingset.h"
#include "support/testdb.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QRandomGenerator>

#include <algorithm>
#include <cmath>
#include <cstdio>
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

// A pass over the line table in ascending N through the server until an end lies within
// the square, after the 256 layer scales.
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
    for (int i = 0; i < count && !found; ++i) {
        if (i == 0)
            db.FetchRow(row);
        else
            db.FetchNextRow(row);
        const int layer = StrToIntZ(row.value(1));
        const double f = layer >= 0 && layer <= 255 ? scale[layer] : 0;
        if (f == 0)
            continue;
        for (int end = 0; end < 2 && !found; ++end) {
            const double px = StrToFloatZ(row.value(5 + 2 * end)) * f;
            const double py = StrToFloatZ(row.value(6 + 2 * end)) * f;
            if (std::fabs(x - px) <= tolerance && std::fabs(y - py) <= tolerance) {
                sx = px;
                sy = py;
                found = true;
            }
        }
    }
    db.CloseSelect();
    return found;
}

// Single-row reads of the layer, colour and line type, maxima over whole tables, then one
// transaction.
bool storeTheOldWay(Database &db, const LineOperation &op)
{
    const QString s = QString::number(Drawing);
    QStringList layer, colour, type;
    db.SqlSelectRow("*", "LAYER_" + s, "N=" + QString::number(op.layer), layer);
    db.SqlSelectRow("*", "COLOR_" + s, "N=" + layer.value(4), colour);
    db.SqlSelectRow("*", "LTYPE_" + s, "N=" + layer.value(5), type);
    const double scale = layer.value(7).isEmpty() ? 1.0 : StrToFloatZ(layer.value(7));
    const int k = StrToIntZ(db.SqlSelectMax("VAR_" + s, "OPN", "")) + 1;
    const int h = StrToIntZ(db.SqlSelectMax("HISTORY_" + s, "N", "")) + 1;
    const int e = StrToIntZ(db.SqlSelectMax("ENTITY_" + s, "N", "")) + 1;
    const int l = StrToIntZ(db.SqlSelectMax("ENT_LINE_" + s, "N", "")) + 1;
    const int n = int(op.lines.size());
    bool ok = db.StartTransaction()
              && db.SqlUpdateNoCommit("VAR_" + s, "OPN=" + QString::number(k), "N=1");
    for (int i = 0; ok && i < n; ++i)
        ok = db.SqlInsertNoCommit("HISTORY_" + s, "N,OPN,MD,EN",
                                  QStringLiteral("%1,%2,0,%3").arg(h + i).arg(k).arg(e + i));
    for (int i = 0; ok && i < n; ++i)
        ok = db.SqlInsertNoCommit("ENTITY_" + s, "N,MN,DS,DT,DN",
                                  QStringLiteral("%1,1,1,1,%2").arg(e + i).arg(l + i));
    for (int i = 0; ok && i < n; ++i) {
        const PaperLine &p = op.lines[size_t(i)];
        ok = db.SqlInsertNoCommit("ENT_LINE_" + s, "N,LAY,COL,LTP,WID,X1,Y1,X2,Y2",
                                  QStringLiteral("%1,%2,0,0,0,").arg(l + i).arg(op.layer)
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

LineOperation figure(int i, bool box)
{
    LineOperation op;
    op.member = 1;
    const double x = -500 + i, y = 400;
    op.lines = {{x, y, x + 10, y}};
    if (box)
        op.lines = {{x, y, x + 10, y}, {x + 10, y, x + 10, y + 5}, {x + 10, y + 5, x, y + 5},
                    {x, y + 5, x, y}};
    return op;
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
    if (!model.BeginLoad(db))
        return 1;
    for (int read = LoadStep; read == LoadStep;) {
        read = model.ContinueLoad(db, LoadStep);
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
    double sx = 0, sy = 0;
    clock.restart();
    SnapToLineEnd(model, 0, 0, tolerance, sx, sy);
    const double first = ms(clock);
    std::vector<double> t;
    int found = 0;
    for (auto [x, y] : points) {
        QElapsedTimer one;
        one.start();
        found += SnapToLineEnd(model, x, y, tolerance, sx, sy);
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
        SnapToLineEnd(model, points[size_t(i)].first, points[size_t(i)].second, tolerance, sx, sy);
        if (!hit || tx != sx || ty != sy) {
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
            if (StoreLineOperation(db, Drawing, figure(i, isBox), hints, out)
                != StoreResult::Stored) {
                std::fprintf(stderr, "storing failed: %s\n", qPrintable(db.LastError()));
                return 1;
            }
            (isBox ? box : line).push_back(ms(clock));
            hints = {out.firstHistory, out.rows.back().entity.n, out.rows.back().line.n};
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
    std::printf("snap from memory: %.4f ms (worst %.4f ms, first call with the index built "
                "%.1f ms), %d of %zu clicks found an end\n",
                ours, worst, first, found, points.size());
    std::printf("snap by a pass over ENT_LINE through the server: %.0f ms; %.0f times faster\n",
                median(theirs), median(theirs) / ours);
    std::printf("store a line: %.2f ms, a box: %.2f ms; the old way %.1f ms and %.1f ms "
                "(%.0f and %.0f times faster)\n",
                median(line), median(box), median(oldLine), median(oldBox),
                median(oldLine) / median(line), median(oldBox) / median(box));
    std::printf("targets: snap < 5 ms on 1,000,000 lines; storing < 50 ms\n");
    return 0;
}
