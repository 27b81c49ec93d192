// Moving, copying and turning 10,000 selected lines of a 100,000-line drawing through the
// local server: the change made, stored as one operation and the picture drawn again,
// against storing as many new lines the same way; then the band while such a selection is
// dragged, drawn as the command draws it against every figure carried along.
#include "db/changestore.h"
#include "db/database.h"
#include "editor/commands/drawcommand.h"
#include "editor/drawingloader.h"
#include "editor/model/drawingmodel.h"
#include "editor/pen/canvas.h"
#include "editor/view/renderer.h"
#include "editor/view/view.h"
#include "register/drawingset.h"
#include "support/testdb.h"

#include <QElapsedTimer>
#include <QGuiApplication>
#include <QImage>

#include <cstdio>
#include <functional>
#include <vector>

namespace {

constexpr int Drawing = 1;
constexpr int Width = 1600, Height = 1000;

double ms(const QElapsedTimer &clock)
{
    return clock.nsecsElapsed() / 1e6;
}

NumberHints hintsOf(const DrawingModel &model)
{
    NumberHints hints{model.HighestHistory(), model.HighestEntity(), {}};
    for (int kind = KindLine; kind <= KindText; ++kind)
        hints.rows[kind] = model.HighestRow(kind);
    return hints;
}

// Stores the change and draws the picture again from memory, as the editor does.
double storeAndDraw(Database &db, DrawingModel &model, const ChangeSet &changes, Canvas &canvas,
                    const View &view)
{
    QElapsedTimer clock;
    clock.start();
    StoredOperation out;
    if (StoreChanges(db, Drawing, changes, hintsOf(model), out) != StoreResult::Stored) {
        std::fprintf(stderr, "store failed: %s\n", qPrintable(db.LastError()));
        return -1;
    }
    model.TakeStored(out.rows, out.erased, out.restored, out.operation, out.firstHistory);
    RenderPicture(canvas, view.Params(), model, {841, 594, 10});
    return ms(clock);
}

std::vector<Subject> selected(const DrawingModel &model, size_t count)
{
    std::vector<Subject> subjects;
    for (size_t i = 0; i < model.Count() && subjects.size() < count; ++i) {
        Subject s;
        s.entity = model.At(i).entity.n;
        if (model.PaperRecord(model.At(i), s.record))
            subjects.push_back(std::move(s));
    }
    return subjects;
}

} // namespace

int main(int argc, char *argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const int chosen = argc > 1 ? std::max(100, atoi(argv[1])) : 10000;
    const int total = argc > 2 ? std::max(chosen, atoi(argv[2])) : 100000;
    TestDb place;
    Database db;
    db.CreateDatabase(place.serverPath());
    if (!db.DatabaseConnected() || !EnsureDrawingTables(db, Drawing)) {
        std::fprintf(stderr, "no drawing through the local server: %s\n",
                     qPrintable(db.LastError()));
        return 1;
    }
    ChangeSet fill;
    fill.member = 1;
    for (int i = 0; i < total; ++i) {
        EntityRecord e;
        const double x = (i * 7919) % 800 + 20, y = (i * 104729) % 560 + 17;
        e.shape = LineShape{x, y, x + 3, y + i % 5};
        fill.created.push_back(e);
    }
    DrawingModel model(Drawing);
    StoredOperation out;
    if (StoreChanges(db, Drawing, fill, {}, out) != StoreResult::Stored || !BeginLoad(db, model)
        || ContinueLoad(db, model, total + 1) != total) {
        std::fprintf(stderr, "filling failed: %s\n", qPrintable(db.LastError()));
        return 1;
    }
    QImage image(Width, Height, QImage::Format_RGB32);
    Canvas canvas(image);
    View view;
    view.Fit(841, 594, Width, Height);

    // The same number of new lines, stored and drawn the same way.
    ChangeSet plain;
    plain.member = 1;
    plain.created.assign(fill.created.begin(), fill.created.begin() + chosen);
    const double baseline = storeAndDraw(db, model, plain, canvas, view);
    std::printf("%d new lines stored and drawn: %.0f ms (baseline)\n", chosen, baseline);

    const std::pair<int, const char *> commands[] = {
        {MoveCommand, "move"}, {CopyCommand, "copy"}, {RotateCommand, "rotate"}};
    for (const auto &[code, name] : commands) {
        DrawCommand c;
        c.Start(code);
        QElapsedTimer clock;
        clock.start();
        c.SetSubjects(selected(model, size_t(chosen)));
        c.Give(400, 300);
        c.Give(450, 320);
        const Change change = c.TakeChange();
        const double made = ms(clock);
        ChangeSet changes;
        changes.member = 1;
        changes.created = change.created;
        changes.erased = change.erased;
        changes.replaces = !change.erased.empty();
        const double stored = storeAndDraw(db, model, changes, canvas, view);
        std::printf("%s of %d lines: %.0f ms (made %.0f, stored and drawn %.0f), %.2f x "
                    "baseline\n",
                    name, chosen, made + stored, made, stored, (made + stored) / baseline);
    }

    // The band for one pointer move: taken off and drawn again, in XOR.
    DrawCommand c;
    c.Start(MoveCommand);
    c.SetSubjects(selected(model, size_t(chosen)));
    c.Give(400, 300);
    SetXorMode(canvas);
    SetPen(canvas, 0xFFFF00, 0, 1);
    const auto frames = [&](const std::function<std::vector<Shape>(double)> &band) {
        QElapsedTimer clock;
        clock.start();
        std::vector<Shape> shown = band(0);
        RenderBand(canvas, view.Params(), shown);
        const int n = 30;
        for (int i = 1; i <= n; ++i) {
            RenderBand(canvas, view.Params(), shown);
            shown = band(i);
            RenderBand(canvas, view.Params(), shown);
        }
        return ms(clock) / n;
    };
    const double drawn = frames([&](double i) { return c.Rubber(400 + i, 300 + i / 2); });
    const std::vector<Subject> all = selected(model, size_t(chosen));
    const double every = frames([&](double i) {
        std::vector<Shape> band;
        for (const Subject &s : all) {
            LineShape l = std::get<LineShape>(s.record.shape);
            l.x1 += i;
            l.x2 += i;
            band.push_back(l);
        }
        return band;
    });
    std::printf("band of %d lines: %.2f ms a frame (%.0f a second); every figure carried: "
                "%.2f ms (%.0f a second), %.2f x\n",
                chosen, drawn, 1000 / drawn, every, 1000 / every, drawn / every);
    return 0;
}
