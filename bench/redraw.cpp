// The editor on drawings of 1,000 to 1,000,000 entities of every kind through the local
// server: opening, full-view and zoomed-in redraws, an erase's redraw, the question a view
// change asks, snap, pick and memory, against a drawing of lines only and the way of four
// single-row queries a line measured on 1,000 lines in the same run.
#include "base/values.h"
#include "db/database.h"
#include "editor/drawingloader.h"
#include "editor/model/drawingmodel.h"
#include "editor/output/dxfexport.h"
#include "editor/output/paperdrawing.h"
#include "editor/output/paperpainter.h"
#include "editor/pen/canvas.h"
#include "editor/view/renderer.h"
#include "editor/view/selection.h"
#include "editor/view/snap.h"
#include "editor/view/tiles.h"
#include "editor/view/view.h"
#include "register/drawingset.h"
#include "support/testdb.h"

#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QTemporaryDir>
#include <QTemporaryFile>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <unistd.h>
#include <vector>

namespace {

constexpr int Width = 1600;
constexpr int Height = 1000;
constexpr double PaperWidth = 841; // A1
constexpr double PaperHeight = 594;
constexpr int Batch = 100000;
constexpr int LoadStep = 50000;

double ms(const QElapsedTimer &clock)
{
    return clock.nsecsElapsed() / 1e6;
}

double cpuMs()
{
    timespec t;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
}

// The median wall time; cpu, when given, gets the median time on the processor, which a
// machine busy with other work does not inflate.
template<typename F>
double medianMs(int rounds, F f, double *cpu = nullptr)
{
    std::vector<double> t, c;
    for (int i = 0; i < rounds; ++i) {
        QElapsedTimer clock;
        clock.start();
        const double before = cpuMs();
        f();
        c.push_back(cpuMs() - before);
        t.push_back(ms(clock));
    }
    std::sort(t.begin(), t.end());
    std::sort(c.begin(), c.end());
    if (cpu)
        *cpu = c[c.size() / 2];
    return t[t.size() / 2];
}

double residentMb()
{
    QFile f(QStringLiteral("/proc/self/statm"));
    if (!f.open(QIODevice::ReadOnly))
        return 0;
    const QList<QByteArray> parts = f.readAll().split(' ');
    return parts.size() > 1 ? parts[1].toDouble() * sysconf(_SC_PAGESIZE) / 1048576.0 : 0;
}

// Lines of 2 to 60 mm anywhere on the paper, as the program stores them (history, entity
// and line rows, the operation number raised), on eight layers, every tenth dashed; made on
// the server in blocks of Batch. Mixed, three in ten are a circle, an arc and a text of 4 to
// 20 characters instead.
bool fill(Database &db, int n, int lines, bool mixed)
{
    const QString s = QString::number(n);
    if (!db.ExecSqlLines({QStringLiteral("UPDATE LAYER_%1 SET COL = MOD(N, 6) + 1, "
                                         "WID = IIF(N = 3, 50, 18) WHERE N < 8").arg(s)}))
        return false;
    for (int from = 0; from < lines; from += Batch) {
        const int to = std::min(lines, from + Batch);
        const QString next = QStringLiteral(
            "S = MOD(S * 1103515245 + 12345, 2147483648); ");
        const QStringList block{
            "EXECUTE BLOCK AS",
            "DECLARE I INTEGER; DECLARE S BIGINT; DECLARE X DOUBLE PRECISION;",
            "DECLARE Y DOUBLE PRECISION; DECLARE L DOUBLE PRECISION; DECLARE A DOUBLE PRECISION;",
            "DECLARE K INTEGER;",
            "BEGIN",
            QStringLiteral("  I = %1; S = %2;").arg(from).arg(417 + 7919 * (from / Batch)),
            QStringLiteral("  WHILE (I < %1) DO BEGIN").arg(to),
            "    I = I + 1;",
            "    " + next + "X = CAST(S AS DOUBLE PRECISION) * 841 / 2147483648 - 420.5;",
            "    " + next + "Y = CAST(S AS DOUBLE PRECISION) * 594 / 2147483648 - 297;",
            "    " + next + "L = 2 + CAST(S AS DOUBLE PRECISION) * 58 / 2147483648;",
            "    " + next + "A = CAST(S AS DOUBLE PRECISION) * 6.283185307 / 2147483648;",
            QStringLiteral("    INSERT INTO HISTORY_%1 (N, OPN, MD, EN) VALUES (:I, :I, 0, :I);")
                .arg(s),
            QStringLiteral("    K = IIF(%1 AND MOD(:I, 10) >= 7, MOD(:I, 10) - 5, 1);")
                .arg(mixed ? "1 = 1" : "1 = 0"),
            QStringLiteral("    INSERT INTO ENTITY_%1 (N, MN, DS, DT, DN) "
                           "VALUES (:I, 1, 1, :K, :I);")
                .arg(s),
            "    IF (K = 1) THEN",
            QStringLiteral("    INSERT INTO ENT_LINE_%1 (N, LAY, COL, LTP, WID, X1, Y1, X2, Y2)")
                .arg(s),
            "      VALUES (:I, MOD(:I, 8), 0, IIF(MOD(:I, 10) = 0, 2, 0), 0, :X, :Y,",
            "              :X + :L * COS(:A), :Y + :L * SIN(:A));",
            "    ELSE IF (K = 2) THEN",
            QStringLiteral("    INSERT INTO ENT_CIRCLE_%1 (N, LAY, COL, LTP, WID, CX, CY, CR)")
                .arg(s),
            "      VALUES (:I, MOD(:I, 8), 0, 0, 0, :X, :Y, :L / 2);",
            "    ELSE IF (K = 3) THEN",
            QStringLiteral("    INSERT INTO ENT_ARC_%1 (N, LAY, COL, LTP, WID, CX, CY, CR, SA, EA)")
                .arg(s),
            "      VALUES (:I, MOD(:I, 8), 0, IIF(MOD(:I, 20) = 8, 2, 0), 0, :X, :Y, :L / 2,",
            "              :A * 57.29, MOD(:A * 57.29 + 30 + :L * 5, 360));",
            "    ELSE",
            QStringLiteral("    INSERT INTO ENT_TEXT_%1 (N, LAY, COL, STL, BAS, DIR, PX, PY, MH, "
                           "MW, MD, ANG, FNT, TXT)").arg(s),
            "      VALUES (:I, MOD(:I, 8), 0, 0, MOD(:I, 9) + 1, IIF(MOD(:I, 7) = 0, 1, 0),",
            "              :X, :Y, 2.5 + MOD(:I, 4) * 1.5, 0, 0, IIF(MOD(:I, 5) = 0, :A * 57.29, 0),",
            "              NULL, CASE MOD(:I, 4) WHEN 0 THEN '図面番号' WHEN 1 THEN 'SECTION A-A 断面'",
            "              WHEN 2 THEN '材質：ＳＳ４００　仕上げ：黒皮' ELSE '注記：指示なき面取りはC0.5とする' END);",
            "  END",
            QStringLiteral("  UPDATE VAR_%1 SET OPN = :I WHERE N = 1;").arg(s),
            "END"};
        if (!db.ExecSqlLines(block)) {
            std::fprintf(stderr, "filling failed: %s\n", qPrintable(db.LastError()));
            return false;
        }
    }
    return true;
}

// Entity list, then the line, its layer, colour and line type one row each, per line.
double fourQueriesPerLine(Database &db, int n)
{
    const QString s = QString::number(n);
    QImage image(Width, Height, QImage::Format_RGB32);
    Canvas canvas(image);
    View view;
    view.Fit(PaperWidth, PaperHeight, Width, Height);
    const ViewParams vp = view.Params();
    QElapsedTimer clock;
    clock.start();
    const int count = db.SqlSelect("*", "ENTITY_" + s, "DS=1 AND N<=1000", "N");
    QStringList row;
    std::vector<std::pair<int, int>> list;
    for (int i = 0; i < count; ++i) {
        if (i == 0)
            db.FetchRow(row);
        else
            db.FetchNextRow(row);
        list.emplace_back(StrToIntZ(row.value(3)), StrToIntZ(row.value(4)));
    }
    db.CloseSelect();
    QStringList e, l, c, t;
    for (auto [type, target] : list) {
        if (type != 1
            || db.SqlSelectRow("*", "ENT_LINE_" + s, "N=" + QString::number(target), e) < 0)
            continue;
        db.SqlSelectRow("*", "LAYER_" + s, "N=" + e.value(1), l);
        if (StrToIntZ(l.value(2)) == 0)
            continue;
        const int col = StrToIntZ(e.value(2)) ? StrToIntZ(e.value(2)) : StrToIntZ(l.value(4));
        const int ltp = StrToIntZ(e.value(3)) ? StrToIntZ(e.value(3)) : StrToIntZ(l.value(5));
        db.SqlSelectRow("*", "COLOR_" + s, "N=" + QString::number(col), c);
        db.SqlSelectRow("*", "LTYPE_" + s, "N=" + QString::number(ltp), t);
        LinePen pen;
        pen.colour = StrToIntZ(c.value(2));
        pen.width = StrToIntZ(e.value(4)) ? StrToIntZ(e.value(4)) : StrToIntZ(l.value(6));
        pen.count = StrToIntZ(t.value(2));
        for (int i = 0; i < pen.count && i < 10; ++i) {
            pen.pitches[i] = StrToIntZ(t.value(3 + i)) * 0.01;
            pen.total += pen.pitches[i];
        }
        const double scale = l.value(7).isEmpty() ? 1.0 : StrToFloatZ(l.value(7));
        DrawStyledLine(canvas, vp, pen, StrToFloatZ(e.value(5)) * scale,
                       StrToFloatZ(e.value(6)) * scale, StrToFloatZ(e.value(7)) * scale,
                       StrToFloatZ(e.value(8)) * scale);
    }
    return ms(clock) / std::max<size_t>(list.size(), 1);
}

struct Figures
{
    int lines = 0;
    bool mixed = true;
    double snap = 0, pick = 0; // medians at points all over the paper
    double warm = 0; // opened again from this PC's copy of the rows
    double open = 0, full = 0, question = 0, zoomed = 0, memory = 0, rss = 0;
    double fullCpu = 0, zoomedCpu = 0, pan = 0, panFull = 0;
    // The full view in bands on RenderThreads() threads; the busiest thread's time on the
    // processor with that many threads and with four (medians).
    double fullBands = 0, busiest = 0, busiest4 = 0;
    // One entity erased at the full view, its place drawn again; median.
    double erased = 0;
    size_t zoomedLines = 0;
    double pdf = -1, dxf = -1, pdfMb = 0, dxfMb = 0; // whole exports, from the model on
};

// Exports are measured up to this many lines.
constexpr int MostExported = 100000;

// The sheet as a PDF, as the output menu writes it.
void writePdf(QFile &file, const PaperDrawing &d)
{
    QPdfWriter writer(&file);
    writer.setPageLayout(QPageLayout(QPageSize(QSizeF(d.width, d.height), QPageSize::Millimeter),
                                     QPageLayout::Portrait, QMarginsF()));
    QPainter painter(&writer);
    MapSheet(painter, d, QRectF(0, 0, writer.width(), writer.height()));
    PaintSheetFrame(painter, d);
    PaintPaperLines(painter, d, 0, d.lines.size(), PaperStyle());
}

// The sheet as a DXF, written in steps as the output menu writes it.
void writeDxf(QFile &file, const PaperDrawing &d)
{
    DxfExport writer(d, DxfVersion::R2000);
    file.write(writer.Head());
    QByteArray buffer;
    for (size_t from = 0; from < d.lines.size(); from += 500) {
        buffer.clear();
        writer.Lines(from, from + 500, buffer);
        file.write(buffer);
    }
    file.write(writer.Tail());
}

// Milliseconds to take the drawing from memory and write it to a file; -1 when no file.
double timedExport(const DrawingModel &model, double &mb,
                   void (*write)(QFile &, const PaperDrawing &))
{
    QTemporaryFile file;
    QElapsedTimer clock;
    clock.start();
    const PaperDrawing d = TakePaperDrawing(model, QStringLiteral("bench"), PaperWidth,
                                            PaperHeight);
    if (!file.open())
        return -1;
    write(file, d);
    file.flush();
    mb = file.size() / 1048576.0;
    return ms(clock);
}

bool measure(Database &db, int n, Figures &f)
{
    const double rssBefore = residentMb();
    auto *model = new DrawingModel(n);
    QElapsedTimer clock;
    clock.start();
    if (!BeginLoad(db, *model))
        return false;
    for (;;) {
        const int read = ContinueLoad(db, *model, LoadStep);
        if (read < 0)
            return false;
        if (read < LoadStep)
            break;
    }
    std::vector<uint32_t> seen;
    model->EntitiesIn({0, 0, 1, 1}, seen); // builds the grid
    f.open = ms(clock) / 1000;
    if (model->Count() != size_t(f.lines)) {
        std::fprintf(stderr, "read %zu lines of %d\n", model->Count(), f.lines);
        return false;
    }
    {
        QTemporaryDir folder;
        RowCache kept(folder.path());
        auto *again = new DrawingModel(n);
        if (!BeginLoad(db, *again) || kept.Load(db, *again) || !kept.Keep(*model))
            return false;
        delete again;
        again = new DrawingModel(n);
        RowCache warm(folder.path());
        clock.restart();
        if (!BeginLoad(db, *again) || !warm.Load(db, *again))
            return false;
        again->EntitiesIn({0, 0, 1, 1}, seen);
        f.warm = ms(clock) / 1000;
        const bool same = again->Count() == model->Count();
        delete again;
        if (!same)
            return false;
    }
    f.memory = model->MemoryBytes() / 1048576.0;
    f.rss = residentMb() - rssBefore;

    QImage image(Width, Height, QImage::Format_RGB32);
    Canvas canvas(image);
    View view;
    view.Fit(PaperWidth, PaperHeight, Width, Height);
    const Sheet sheet{PaperWidth, PaperHeight, 10};
    f.full = medianMs(5, [&] { RenderPicture(canvas, view.Params(), *model, sheet); },
                      &f.fullCpu);
    {
        QImage banded(Width, Height, QImage::Format_RGB32);
        f.fullBands = medianMs(5, [&] {
            RenderPictureInBands(banded, view.Params(), *model, sheet);
        });
        for (int threads : {RenderThreads(), 4}) {
            std::vector<double> longest;
            for (int i = 0; i < 3; ++i) {
                BandTimes times;
                RenderPictureInBands(banded, view.Params(), *model, sheet, threads, &times);
                longest.push_back(times.longestMs);
            }
            std::sort(longest.begin(), longest.end());
            (threads == 4 ? f.busiest4 : f.busiest) = longest[1];
        }
        if (banded != image)
            std::fprintf(stderr, "the full view in bands differs from the one drawn in one\n");
        // Entities spread over the drawing erased one at a time, then given back.
        std::vector<EntityRecord> taken;
        size_t at = 0;
        bool parts = true;
        f.erased = medianMs(9, [&] {
            at = (at + model->Count() / 9 + 7) % model->Count();
            EntityRecord r = model->Record(model->At(at));
            taken.push_back(r);
            r.entity.state = 0;
            model->Add(r);
            parts = RenderChanged(banded, view.Params(), *model, sheet, {r.entity.n}) && parts;
        });
        RenderPicture(canvas, view.Params(), *model, sheet);
        if (!parts || banded != image)
            std::fprintf(stderr, "the erased entities' places drawn again differ\n");
        for (const EntityRecord &r : taken)
            model->Add(r);
    }
    bool unchanged = true;
    f.question = medianMs(9, [&] {
        unchanged = UpdateModel(db, *model) == Refresh::Unchanged && unchanged;
    });
    if (!unchanged) {
        std::fprintf(stderr, "an unchanged drawing was reported changed\n");
        return false;
    }
    // Zoomed in until about one line in a hundred shows, from a hundredth of the paper's
    // area in the paint box's proportions (lines crossing its edges show too).
    double zoomHeight = std::sqrt(PaperWidth * PaperHeight / 100 * Height / Width);
    ViewParams zoomed;
    for (int step = 0; step < 100; ++step, zoomHeight *= 0.95) {
        const double zoomWidth = zoomHeight * Width / Height;
        view.ZoomWindow({100, 50}, {100 + zoomWidth, 50 + zoomHeight}, Width, Height);
        zoomed = view.Params();
        model->EntitiesIn({zoomed.x1, zoomed.y1, zoomed.x2, zoomed.y2}, seen);
        if (seen.size() <= model->Count() / 100)
            break;
    }
    f.zoomedLines = seen.size();
    // Snap and pick as a right and a left click five pixels wide at the full view.
    {
        View full;
        full.Fit(PaperWidth, PaperHeight, Width, Height);
        const double tolerance = 5 / full.Rect().scale;
        std::vector<double> snaps, picks;
        for (int i = 0; i < 201; ++i) {
            const double x = -400 + (i * 7919 % 800), y = -280 + (i * 104729 % 560);
            SnapResult snap;
            QElapsedTimer c;
            c.start();
            FindSnap(*model, {x, y, tolerance, SnapDefault, false, 0, 0, 0}, snap);
            snaps.push_back(ms(c));
            c.restart();
            PickEntity(*model, x, y, tolerance);
            picks.push_back(ms(c));
        }
        std::sort(snaps.begin(), snaps.end());
        std::sort(picks.begin(), picks.end());
        f.snap = snaps[snaps.size() / 2];
        f.pick = picks[picks.size() / 2];
    }
    f.zoomed = medianMs(5, [&] { RenderPicture(canvas, zoomed, *model, sheet); },
                        &f.zoomedCpu);
    // A drag, 8 and 4 pixels a frame, each frame from the last.
    const auto drag = [&](const ViewParams &from) {
        RenderPicture(canvas, from, *model, sheet);
        QImage shown = image.copy();
        ViewParams at = from;
        QImage next;
        return medianMs(31, [&] {
            ViewParams to = at;
            to.x1 += 8 / to.scale;
            to.x2 += 8 / to.scale;
            to.y1 += 4 / to.scale;
            to.y2 += 4 / to.scale;
            if (RenderPanned(shown, at, to, *model, sheet, next)) {
                std::swap(shown, next);
                at = to;
            }
        });
    };
    f.pan = drag(zoomed);
    {
        View full;
        full.Fit(PaperWidth, PaperHeight, Width, Height);
        f.panFull = drag(full.Params());
    }
    if (f.lines <= MostExported) {
        f.pdf = timedExport(*model, f.pdfMb, writePdf);
        f.dxf = timedExport(*model, f.dxfMb, writeDxf);
    }
    delete model;
    return true;
}

// Views of long lines another PC gave a line type of hundredth-millimetre pitches on a
// layer of scale 100000, against the same lines continuous: the whole sheet, the middle and
// a corner zoomed far in.
void worstViews()
{
    const int count = 2000;
    std::vector<double> worst(2, 0);
    for (int dashed = 0; dashed < 2; ++dashed) {
        DrawingModel model(1);
        std::vector<LayerRow> layers;
        for (int n = 0; n < 256; ++n)
            layers.push_back({n, QString(), 1, 1, 1, dashed ? 2 : 1, 18, 1e5});
        model.SetLayers(layers);
        model.SetLineTypes({{1, "continuous", 0, {}}, {2, "fine", 2, {1, 1}}});
        std::vector<EntityRecord> rows;
        for (int i = 0; i < count; ++i) {
            EntityRecord e;
            e.entity = {i + 1, 1, 1, KindLine, i + 1};
            e.row = i + 1;
            // Through the sheet and kilometres beyond it, in layer units.
            e.shape = LineShape{-6, -4 + i * 4e-6, 6, 4 - i * 4e-6};
            rows.push_back(e);
        }
        model.Add(rows);
        QImage image(Width, Height, QImage::Format_RGB32);
        Canvas canvas(image);
        const Sheet sheet{PaperWidth, PaperHeight, 10};
        View view;
        view.Fit(PaperWidth, PaperHeight, Width, Height);
        std::vector<ViewParams> views{view.Params()};
        view.ZoomWindow({-20, -15}, {20, 15}, Width, Height);
        views.push_back(view.Params());
        view.ZoomWindow({-400.5, -280.4}, {-400.4, -280.3}, Width, Height);
        views.push_back(view.Params());
        for (const ViewParams &v : views)
            worst[dashed] = std::max(worst[dashed],
                                     medianMs(3, [&] { RenderPicture(canvas, v, model, sheet); }));
    }
    std::printf("\nworst view: %.1f ms (%d long lines of 0.01 mm dashes at layer scale 100000; "
                "the same lines continuous: %.1f ms, %.2fx)\n",
                worst[1], count, worst[0], worst[1] / worst[0]);
}

} // namespace

int main(int argc, char *argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    std::vector<int> sizes{1000, 10000, 100000, 1000000};
    if (argc > 1)
        sizes = {atoi(argv[1])};
    // The largest drawing once more of lines only, as the drawings were before circles,
    // arcs and texts: the baseline of the ratios.
    std::vector<bool> mixedAt(sizes.size(), true);
    sizes.push_back(sizes.back());
    mixedAt.push_back(false);
    TestDb place;
    Database db;
    db.CreateDatabase(place.serverPath());
    if (!db.DatabaseConnected()) {
        std::fprintf(stderr, "no database through the local server: %s\n",
                     qPrintable(db.LastError()));
        return 1;
    }
    std::vector<Figures> all;
    for (size_t i = 0; i < sizes.size(); ++i) {
        const int n = int(i) + 1;
        Figures f;
        f.lines = sizes[i];
        f.mixed = mixedAt[i];
        QElapsedTimer clock;
        clock.start();
        if (!EnsureDrawingTables(db, n) || !fill(db, n, f.lines, f.mixed))
            return 1;
        std::printf("filled %d %s in %.1f s\n", f.lines, f.mixed ? "entities" : "lines",
                    ms(clock) / 1000);
        std::fflush(stdout);
        if (!measure(db, n, f))
            return 1;
        all.push_back(f);
    }
    const double perLine = fourQueriesPerLine(db, 1);

    std::printf("\nA1 paper, %d x %d paint box, grid 10 mm; medians\n", Width, Height);
    std::printf("(redraws: wall ms / ms on the processor)\n");
    std::printf("(mixed: 70 %% lines, 10 %% each circles, arcs, texts; lines: the baseline)\n");
    std::printf("%9s %6s %8s %16s %9s %16s %8s %9s %7s %7s %7s\n", "entities", "kinds",
                "open s", "full ms", "question", "zoomed ms", "shown", "model MB", "RSS MB",
                "snap ms", "pick ms");
    for (const Figures &f : all) {
        std::printf("%9d %6s %8.2f %7.1f / %6.1f %9.2f %7.2f / %6.2f %8zu %9.1f %7.1f %7.3f "
                    "%7.3f\n",
                    f.lines, f.mixed ? "mixed" : "lines", f.open, f.full, f.fullCpu,
                    f.question, f.zoomed, f.zoomedCpu, f.zoomedLines, f.memory, f.rss, f.snap,
                    f.pick);
    }
    std::printf("\n");
    for (size_t i = 0; i + 1 < all.size(); ++i) {
        std::printf("open warm %d: %.2f s\n", all[i].lines, all[i].warm);
        std::printf("open cold %d: %.2f s\n", all[i].lines, all[i].open);
        std::printf("memory %d: %.1f MB (resident %.1f MB)\n", all[i].lines, all[i].memory,
                    all[i].rss);
        std::printf("pan frame %d: %.2f ms (the view drawn whole: %.2f ms, %.2fx)\n",
                    all[i].lines, all[i].pan, all[i].zoomed, all[i].pan / all[i].zoomed);
        std::printf("pan frame at the full view %d: %.2f ms (drawn whole: %.2f ms, %.2fx)\n",
                    all[i].lines, all[i].panFull, all[i].full, all[i].panFull / all[i].full);
        std::printf("erase redraw %d: %.2f ms (the full view drawn whole: %.2f ms, %.4fx)\n",
                    all[i].lines, all[i].erased, all[i].fullBands,
                    all[i].erased / all[i].fullBands);
    }
    for (size_t i = 0; i + 1 < all.size(); ++i)
        std::printf("full view %d: %.1f ms (single-threaded: %.1f ms, %.2fx; %d threads, the "
                    "busiest %.1f ms on the processor, with 4 threads %.1f ms; single-threaded "
                    "on the processor %.1f ms)\n",
                    all[i].lines, all[i].fullBands, all[i].full, all[i].fullBands / all[i].full,
                    RenderThreads(), all[i].busiest, all[i].busiest4, all[i].fullCpu);
    const Figures &base = all.back(), &same = all[all.size() - 2];
    std::printf("\nmixed against lines only at %d: open %.2fx, full %.2fx, zoomed %.2fx, "
                "memory %.2fx, snap %.2fx, pick %.2fx\n",
                base.lines, same.open / base.open, same.full / base.full,
                same.zoomed / base.zoomed, same.memory / base.memory, same.snap / base.snap,
                same.pick / base.pick);
    std::printf("\nfour single-row queries a line (measured on 1,000 lines): %.3f ms a line\n",
                perLine);
    for (const Figures &f : all) {
        const double theirs = perLine * f.lines;
        const double ours = f.question + f.full;
        std::printf("  view change at %7d lines: theirs %10.1f s, ours %8.1f ms "
                    "(question + full redraw), %.0f times faster\n",
                    f.lines, theirs / 1000, ours, theirs / ours);
    }
    std::printf("\nexports of the whole drawing, from the model to the file, beside the "
                "full-view redraw\n");
    std::printf("%9s %10s %10s %8s %10s %8s %10s\n", "lines", "full ms", "PDF ms", "PDF MB",
                "DXF ms", "DXF MB", "PDF/full");
    for (const Figures &f : all) {
        if (f.pdf < 0)
            continue;
        std::printf("%9d %10.1f %10.1f %8.1f %10.1f %8.1f %10.1f\n", f.lines, f.full, f.pdf,
                    f.pdfMb, f.dxf, f.dxfMb, f.pdf / f.full);
    }
    worstViews();
    std::printf("targets: 100,000 lines exported as PDF < 3 s, as DXF < 2 s; 100,000 mixed "
                "entities as PDF < 3 s, as DXF < 1 s\n");
    std::printf("targets: 1,000,000 mixed entities open < 6 s, full < 600 ms, zoomed < 40 ms, "
                "snap and pick < 1 ms, memory < 250 MB\n");
    std::printf("targets: 100,000 lines open < 1.5 s, full < 150 ms, zoomed < 20 ms, view change "
                ">= 1000x; 1,000,000 lines open < 15 s, full < 1500 ms, zoomed < 50 ms, "
                "memory < 200 MB\n");
    return 0;
}
