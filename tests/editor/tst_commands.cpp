#include "editortest.h"

#include "base/messages.h"
#include "base/ui.h"
#include "base/values.h"
#include "db/schema.h"
#include "editor/drawingloader.h"
#include "editor/model/rowcache.h"
#include "editor/commands/drawcommand.h"
#include "editor/view/snap.h"

#include <QAction>
#include <QRandomGenerator>
#include <QMdiSubWindow>
#include <QStyleOptionTitleBar>
#include <QToolButton>

#include <atomic>
#include <cmath>
#include <limits>
#include <thread>

class TestCommands : public QObject
{
    Q_OBJECT

private slots:
    void commandSteps();
    void gridRounding();
    void snapRules();
    void storedRows();
    void keptCopyOfRows();
    void collisionRetried();
    void twoPcsAtOnce();
    void editorDrawsAndStores();
    void updateDateOnChange();
    void closeButtonOnceWhileWaiting();
    void editorSnapsAndReportsFailure();
    void editorSnapKinds();
    void twoEditorsAtOnce();
};

namespace {

constexpr double NaN = std::numeric_limits<double>::quiet_NaN();
constexpr double Inf = std::numeric_limits<double>::infinity();

bool same(const Shape &shape, double x1, double y1, double x2, double y2)
{
    const LineShape *found = std::get_if<LineShape>(&shape);
    if (!found)
        return false;
    const LineShape &l = *found;
    return std::fabs(l.x1 - x1) < 1e-12 && std::fabs(l.y1 - y1) < 1e-12
           && std::fabs(l.x2 - x2) < 1e-12 && std::fabs(l.y2 - y2) < 1e-12;
}

using Points = std::vector<std::pair<double, double>>;

void give(DrawCommand &c, const Points &points)
{
    for (const auto &[x, y] : points)
        c.Give(x, y);
}

QString status(TForm13 *e)
{
    return e->StatusText(1) + u'/' + e->StatusText(2);
}

bool white(const QImage &image, QPoint p)
{
    return (image.pixel(p) & 0xFFFFFF) == 0xFFFFFF;
}

// The band drawn over the picture at a paper point.
bool banded(TForm13 *e, double x, double y)
{
    return e->Screen().pixel(pixelOf(e, x, y)) != e->Picture().pixel(pixelOf(e, x, y));
}

} // namespace

void TestCommands::commandSteps()
{
    DrawCommand c;
    QVERIFY(!c.Waiting());
    QVERIFY(c.Give(1, 2).empty());
    const QString Through = QStringLiteral("通過点を指示して下さい"),
                  From = QStringLiteral("開始点を指示して下さい"),
                  To = QStringLiteral("終了点を指示して下さい");
    struct Case
    {
        int code;
        QString name;
        QStringList prompts; // before each point, when given
        Points points;
        size_t count;
        std::vector<LineShape> lines; // checked when given
    };
    const std::vector<LineShape> box = {
        {0, 0, 10, 0}, {10, 0, 10, 5}, {10, 5, 0, 5}, {0, 5, 0, 0}};
    // The horizontal line takes only the through point's y and the start and end x.
    const Case cases[] = {
        {HorizontalLine, "水平線", {Through, From, To}, {{99, 12.3}, {0, -40}, {50, 7}}, 1,
         {{0, 12.3, 50, 12.3}}},
        {VerticalLine, "垂直線", {}, {{-3, 99}, {50, 1}, {70, 9}}, 1, {{-3, 1, -3, 9}}},
        {TwoPointLine, "線　分", {From, To}, {{1, 2}, {3, 4}}, 1, {{1, 2, 3, 4}}},
        {BoxCommand, "四　角", {From, To}, {{0, 0}, {10, 5}}, 4, box}, // bottom, right, top, left
        // Figures of no length or no area are dropped; the command starts over.
        {HorizontalLine, {}, {}, {{0, 5}, {10, 0}, {10 + 5e-9, 30}}, 0, {}},
        {HorizontalLine, {}, {}, {{0, 5}, {10, 0}, {10 + 2e-8, 0}}, 1, {}},
        {VerticalLine, {}, {}, {{1, 0}, {0, 3}, {40, 3}}, 0, {}},
        {TwoPointLine, {}, {}, {{1, 1}, {1, 1 + 1e-9}}, 0, {}},
        {TwoPointLine, {}, {}, {{1, 1}, {1, 2}}, 1, {}},
        {BoxCommand, {}, {}, {{0, 0}, {10, 0}}, 0, {}},
        {BoxCommand, {}, {}, {{0, 0}, {0, 10}}, 0, {}},
        {BoxCommand, {}, {}, {{0, 0}, {-1, -1}}, 4, {}},
    };
    for (const Case &t : cases) {
        c.Start(t.code);
        QCOMPARE(c.Code(), t.code);
        if (!t.name.isEmpty())
            QCOMPARE(c.Name(), t.name);
        std::vector<Shape> got;
        for (size_t i = 0; i < t.points.size(); ++i) {
            if (i < size_t(t.prompts.size()))
                QCOMPARE(c.Prompt(), t.prompts[i]);
            QCOMPARE(c.AsksLast(), i + 1 == t.points.size());
            if (i + 1 < t.points.size())
                QVERIFY(c.Give(t.points[i].first, t.points[i].second).empty());
            else
                got = c.Give(t.points[i].first, t.points[i].second);
        }
        QCOMPARE(got.size(), t.count);
        for (size_t i = 0; i < t.lines.size(); ++i) {
            const LineShape &l = t.lines[i];
            QVERIFY2(same(got[i], l.x1, l.y1, l.x2, l.y2), qPrintable(t.name));
        }
        QCOMPARE(c.Given(), 0);
        QCOMPARE(c.Prompt(), t.prompts.value(0, c.Prompt()));
    }

    // The band follows only the coordinate that counts.
    c.Start(HorizontalLine);
    give(c, {{99, 12.3}, {0, -40}});
    QCOMPARE(c.Rubber(30, 80).size(), size_t(1));
    QVERIFY(same(c.Rubber(30, 80)[0], 0, 12.3, 30, 12.3));
    QVERIFY(!c.RubberMoved(30, 80, 30, 10));
    QVERIFY(c.RubberMoved(30, 80, 30.1, 80));
    c.Start(VerticalLine);
    give(c, {{-3, 99}, {50, 1}});
    QVERIFY(c.RubberMoved(0, 1, 0, 2));
    QVERIFY(!c.RubberMoved(0, 1, 5, 1));
    c.Start(BoxCommand);
    give(c, {{0, 0}});
    QCOMPARE(c.Rubber(4, 4).size(), size_t(4));
    // Points that are not numbers are not taken.
    give(c, {{NaN, 1}, {1, Inf}});
    QCOMPARE(c.Given(), 1);

    // Another command ends the running one: a half-given line is dropped.
    c.Start(HorizontalLine);
    give(c, {{0, 5}, {3, 0}});
    c.Start(BoxCommand);
    QCOMPARE(c.Given(), 0);
    QCOMPARE(c.Prompt(), From);
    QVERIFY(c.Rubber(1, 1).empty());
    c.Give(0, 0);
    c.Start(BoxCommand); // the same one again starts over
    QCOMPARE(c.Given(), 0);

    c.Cancel();
    QVERIFY(!c.Waiting());
    QVERIFY(c.Name().isEmpty() && c.Prompt().isEmpty());
    QVERIFY(c.Give(1, 1).empty());
    c.Start(99999);
    QVERIFY(!c.Waiting());
}

void TestCommands::gridRounding()
{
    // x, y, grid, expected x and y; a grid that cannot round falls back to five decimals.
    const double cases[][5] = {
        {7.4, -2.6, 5, 5, -5},          {7.5, 2.4, 5, 10, 0},
        {-2.4, -0.000001, 5, 0, 0},     {0.123456, -7.654321, 0, 0.12346, -7.65432},
        {0.123456, 3.000004, NaN, 0.12346, 3}, {0.123456, 3.000004, Inf, 0.12346, 3},
        {0.123456, 3.000004, -5, 0.12346, 3},  {0.123456, 3.000004, 1e-320, 0.12346, 3},
    };
    double x = 0, y = 0;
    for (const auto &t : cases) {
        QVERIFY(GridPoint(t[0], t[1], t[2], x, y));
        QCOMPARE(x, t[3]);
        QCOMPARE(y, t[4]);
        QCOMPARE(std::signbit(x), std::signbit(t[3])); // no "-0"
        QCOMPARE(std::signbit(y), std::signbit(t[4]));
    }
    QVERIFY(GridPoint(1e300, -1e300, 1e-10, x, y));
    QVERIFY(std::isfinite(x) && std::isfinite(y));
    QVERIFY(!GridPoint(NaN, 0, 5, x, y));
    QVERIFY(!GridPoint(0, -Inf, 5, x, y));
}

void TestCommands::snapRules()
{
    DrawingModel m(1);
    std::vector<LayerRow> layers = plainLayers();
    layers[2].visible = 0;
    layers[3].scale = 0.01;
    layers[4].scale = 0;
    layers.erase(layers.begin() + 5); // layer 5 has no row
    m.SetLayers(layers);
    // Entity order differs from line order: the line number decides.
    m.Add(entityLine(1, 9, 0, 0, 0, 10, 0));
    m.Add(entityLine(2, 4, 0, 10, 0, 20, 0));
    m.Add(entityLine(3, 20, 2, 30, 0, 40, 0));
    m.Add(entityLine(4, 21, 3, 5000, 1000, 6000, 1000));
    m.Add(entityLine(5, 22, 4, 70, 0, 80, 0));
    m.Add(entityLine(6, 23, 5, 90, 0, 95, 0));
    m.Add(entityLine(7, 24, 300, 100, 0, 105, 0));
    m.Add(entityLine(8, 25, 0, 120, 0, 125, 0, 0)); // not live
    m.Add(entityLine(9, 26, 0, 129, 1, 139, 1));

    // x, y, tolerance, the end found.
    const double hits[][5] = {
        {10.5, 0.5, 1, 10, 0},    // ends line 9 and starts line 4: line 4 is the lower number
        {19.2, -0.9, 1, 20, 0},
        {1, 1, 1, 0, 0},          // the tolerance is a square: its corner counts
        {50.4, 9.7, 0.5, 50, 10}, // layer units times the scale: stored (5000, 1000)
        {134, 1, 5, 129, 1},      // both ends near: the start wins
    };
    SnapResult s;
    for (const auto &t : hits) {
        QVERIFY(FindSnap(m, {t[0], t[1], t[2], SnapEnd, false, 0, 0, 0}, s));
        QCOMPARE(QPointF(s.x, s.y), QPointF(t[3], t[4]));
    }
    // No end a little beyond or mid-line; nothing of any kind on a hidden layer, one of
    // scale 0, a layer without a row, a layer beyond 0-255, a dead line, or at no number.
    QVERIFY(!FindSnap(m, {1.01, 0, 1, SnapEnd, false, 0, 0, 0}, s));
    QVERIFY(!FindSnap(m, {5, 0, 1, SnapEnd, false, 0, 0, 0}, s));
    const double misses[][3] = {{30, 0, 1},  {70, 0, 1},  {90, 0, 1}, {100, 0, 1},
                                {120, 0, 1}, {NaN, 0, 1}, {0, 0, NaN}};
    for (const auto &t : misses)
        QVERIFY2(!FindSnap(m, {t[0], t[1], t[2], SnapAll, true, t[0] + 3, 7, 0}, s),
                 qPrintable(QString::number(t[0])));
}

void TestCommands::storedRows()
{
    TestDb place;
    Database db;
    QVERIFY(place.open(db));
    QVERIFY(EnsureDrawingTables(db, 4) && EnsureDrawingTables(db, 2));
    QVERIFY(db.SqlUpdate("LAYER_4", 1, {"SCL"}, {"0.01"}, "N=9"));

    StoredOperation out;
    QCOMPARE(StoreChanges(db, 4, lineOp(0, 12.3, 50, 12.3), {}, out), StoreResult::Stored);
    QCOMPARE(db.LastSql(),
             QStringList({"INSERT INTO ENT_LINE_4 (", "   N,LAY,COL,LTP,WID,X1,Y1,X2,Y2", "   ) ",
                          "  VALUES (", "   1,0,0,0,0,0,12.3,50,12.3", "   );"}));
    QCOMPARE(QList<int64_t>({out.attempts, out.operation, out.firstHistory}),
             QList<int64_t>({1, 1, 1}));
    QCOMPARE(rows(db, "N, OPN", "VAR_4"), QStringList{"1 1"});
    QCOMPARE(rows(db, "N, OPN, MD, EN", "HISTORY_4"), QStringList{"1 1 0 1"});
    QCOMPARE(rows(db, "N, MN, DS, DT, DN", "ENTITY_4"), QStringList{"1 7 1 1 1"});
    QCOMPARE(rows(db, "*", "ENT_LINE_4"), QStringList{"1 0 0 0 0 0 12.3 50 12.3"});

    // A box is one operation of four lines: bottom, right, top, left; current values kept.
    ChangeSet box = lineOp(0, 0, 10, 0, 1);
    box.created[0].look = {1, 3, 2, 35};
    for (const LineShape &edge : std::vector<LineShape>{{10, 0, 10, 5}, {10, 5, 0, 5}, {0, 5, 0, 0}}) {
        box.created.push_back(box.created[0]);
        box.created.back().shape = edge;
    }
    QCOMPARE(StoreChanges(db, 4, box, {}, out), StoreResult::Stored);
    QCOMPARE(out.rows.size(), size_t(4));
    QCOMPARE(out.rows[3].entity.n, 5);
    QCOMPARE(rows(db, "OPN", "VAR_4"), QStringList{"2"});
    QCOMPARE(rows(db, "N, OPN, MD, EN", "HISTORY_4"),
             QStringList({"1 1 0 1", "2 2 0 2", "3 2 0 3", "4 2 0 4", "5 2 0 5"}));
    QCOMPARE(rows(db, "N, MN, DS, DT, DN", "ENTITY_4", "N=5"), QStringList{"5 7 1 1 5"});
    QCOMPARE(rows(db, "*", "ENT_LINE_4").mid(1),
             QStringList({"2 1 3 2 35 0 0 10 0", "3 1 3 2 35 10 0 10 5",
                          "4 1 3 2 35 10 5 0 5", "5 1 3 2 35 0 5 0 0"}));

    // Layer units: a scale of 0.01 stores a hundred times the paper length.
    QCOMPARE(StoreChanges(db, 4, lineOp(0, 0, 10, 0, 9), {}, out), StoreResult::Stored);
    QCOMPARE(rows(db, "*", "ENT_LINE_4", "N=6"), QStringList{"6 9 0 0 0 0 0 1000 0"});
    QCOMPARE(lineOf(out.rows[0]).x2, 1000.0);

    // Hints above what exists, or below it, still give the next numbers.
    QCOMPARE(StoreChanges(db, 4, lineOp(1, 1, 2, 2), {100, 100, {0, 100}}, out),
             StoreResult::Stored);
    QCOMPARE(out.rows[0].entity.n, 7);
    QCOMPARE(StoreChanges(db, 4, lineOp(1, 1, 2, 2), {2, 3, {0, 1}}, out), StoreResult::Stored);
    QCOMPARE(QPoint(out.rows[0].entity.n, out.rows[0].row), QPoint(8, 8));
    QCOMPARE(rows(db, "OPN", "VAR_4"), QStringList{"5"});

    // A scale that cannot divide refuses the store and writes nothing.
    for (const char *scale : {"0", "-2", "1e-300"}) {
        QVERIFY(db.SqlUpdate("LAYER_2", 1, {"SCL"}, {scale}, "N=1"));
        QCOMPARE(StoreChanges(db, 2, lineOp(0, 0, 1e10, 0, 1), {}, out),
                 StoreResult::BadScale);
        QVERIFY(out.rows.empty());
    }
    QCOMPARE(rows(db, "OPN", "VAR_2"), QStringList{"0"});
    QCOMPARE(rows(db, "N", "ENT_LINE_2"), QStringList());
    // A scale left empty stores paper millimetres.
    QVERIFY(db.SqlUpdate("LAYER_2", 1, {"SCL"}, {"NULL"}, "N=1"));
    QCOMPARE(StoreChanges(db, 2, lineOp(0, 0, 3, 0, 1), {}, out), StoreResult::Stored);
    QCOMPARE(rows(db, "X2", "ENT_LINE_2"), QStringList{"3"});

    // A missing variable row is made again with the operation number.
    QVERIFY(db.SqlDelete("VAR_2", ""));
    for (int k = 1; k <= 2; ++k) {
        QCOMPARE(StoreChanges(db, 2, lineOp(0, 0, 3 + k, 0), {}, out), StoreResult::Stored);
        QCOMPARE(out.operation, int64_t(k));
        QCOMPARE(rows(db, "N, OPN", "VAR_2"), QStringList{"1 " + QString::number(k)});
    }
    QCOMPARE(rows(db, "OPN", "HISTORY_2"), QStringList({"1", "1", "2"}));

    // A failure that is no collision is not tried again and leaves nothing half-written.
    QVERIFY(db.DropTable("ENT_LINE_2"));
    QCOMPARE(StoreChanges(db, 2, lineOp(0, 0, 6, 0), {}, out), StoreResult::Failed);
    QCOMPARE(out.attempts, 1);
    QCOMPARE(rows(db, "OPN", "VAR_2"), QStringList{"2"});
    QCOMPARE(rows(db, "N", "HISTORY_2").size(), 3);

    // Numbers beyond the key columns' range are not written.
    QVERIFY(EnsureDrawingTables(db, 3));
    QVERIFY(db.SqlInsertList("HISTORY_3", "N,OPN,MD,EN", "2147483646,1,0,1"));
    ChangeSet four = lineOp(0, 0, 1, 0);
    four.created.resize(4, four.created[0]);
    QCOMPARE(StoreChanges(db, 3, four, {}, out), StoreResult::Failed);
    QCOMPARE(rows(db, "N", "ENTITY_3"), QStringList());
}

void TestCommands::keptCopyOfRows()
{
    TestDb place;
    QTemporaryDir folder;
    Database db;
    QVERIFY(place.open(db) && folder.isValid());
    QVERIFY(EnsureDrawingTables(db, 1));
    ChangeSet mixed = lineOp(0, 0, 10, 5);
    TextShape t;
    t.px = 1, t.py = 2, t.height = 3.5, t.angle = 30, t.anchor = 5, t.text = "図番「Ａ－１」";
    EntityRecord e = mixed.created[0];
    for (int i = 1; i < 43; ++i) {
        e.shape = i < 40 ? Shape(LineShape{double(i), 0, double(i), 7.25})
                  : i == 40 ? Shape(CircleShape{5, 5, 2.5})
                  : i == 41 ? Shape(ArcShape{5, 5, 3, 10, 350}) : Shape(t);
        mixed.created.push_back(e);
    }
    StoredOperation out;
    QCOMPARE(StoreChanges(db, 1, mixed, {}, out), StoreResult::Stored);

    auto cold = [&](DrawingModel &m) {
        return BeginLoad(db, m) && ContinueLoad(db, m, 1 << 20) >= 0;
    };
    // Each opening with its own cache object, as each editor window has: whether it took
    // the copy, and that it gave the same drawing a cold read gives.
    auto opens = [&](DrawingModel &m, bool wantWarm) {
        RowCache cache(folder.path());
        DrawingModel truth(m.Drawing());
        if (!BeginLoad(db, m))
            return false;
        const bool warm = cache.Load(db, m);
        if (!warm && (m.Count() != 0 || ContinueLoad(db, m, 1 << 20) < 0))
            return false;
        if (warm != wantWarm || !cache.Keep(m) || !cold(truth)
            || m.Count() != truth.Count() || m.Operation() != truth.Operation()
            || m.HighestHistory() != truth.HighestHistory())
            return false;
        for (size_t i = 0; i < m.Count(); ++i)
            if (!SameRecord(m.Record(m.At(i)), truth.Record(truth.At(i))))
                return false;
        return true;
    };
    DrawingModel first(1);
    QVERIFY(opens(first, false));
    QCOMPARE(first.Count(), size_t(43));

    // Warm again, after another PC's erase, and after rows another build added without
    // history: each time the same drawing a cold read gives.
    DrawingModel again(1);
    QVERIFY(opens(again, true));
    QCOMPARE(StoreChanges(db, 1, stateOp({3, 41}, 0), {}, out), StoreResult::Stored);
    QVERIFY(db.ExecSqlLines({"INSERT INTO ENT_LINE_1 (N,LAY,COL,LTP,WID,X1,Y1,X2,Y2) "
                             "VALUES (500,0,0,0,0,1,1,2,2)"}));
    QVERIFY(db.ExecSqlLines({"INSERT INTO ENTITY_1 (N,MN,DS,DT,DN) VALUES (44,3,1,1,500)"}));
    for (int round = 0; round < 2; ++round) {
        DrawingModel a(1);
        QVERIFY(opens(a, true));
        QCOMPARE(a.Find(3)->entity.state, int16_t(0));
        QVERIFY(a.Find(44));
    }

    // A row changed in place where the sample looks, rows taken away, a table set made
    // again: the copy is not used and the cold read gives the truth.
    QVERIFY(db.ExecSqlLines({"UPDATE ENT_LINE_1 SET X1 = 99 WHERE N = 500"}));
    DrawingModel changed(1);
    QVERIFY(opens(changed, false));
    QVERIFY(DropDrawingTables(db, 1) && EnsureDrawingTables(db, 1));
    QCOMPARE(StoreChanges(db, 1, mixed, {}, out), StoreResult::Stored);
    QVERIFY(db.ExecSqlLines({"UPDATE ENT_LINE_1 SET X2 = 11 WHERE N = 1"}));
    DrawingModel remade(1);
    QVERIFY(opens(remade, false));
    QCOMPARE(std::get<LineShape>(remade.Record(*remade.Find(1)).shape).x2, 11.0);

    // A damaged copy reads as none, whatever is wrong with it.
    const QStringList files = QDir(folder.path()).entryList({"*.rows"}, QDir::Files);
    QCOMPARE(files.size(), 1);
    const QString path = QDir(folder.path()).filePath(files[0]);
    QFile f(path);
    QVERIFY(f.open(QIODevice::ReadOnly));
    const QByteArray good = f.readAll();
    f.close();
    size_t read = 0;
    const auto readAll = [&] {
        read = 0;
        return ReadRowCache(path, [](const RowCacheMarks &) { return true; },
                            [&](const EntityRecord &) { ++read; });
    };
    QVERIFY(readAll() && read == 43);
    QByteArray flipped = good;
    flipped[flipped.size() / 2] = char(flipped[flipped.size() / 2] ^ 1);
    for (const QByteArray &bad : {good.left(good.size() - 9), flipped, QByteArray("HRKROWS1"),
                                  QByteArray(4096, 'x'), QByteArray()}) {
        QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(bad);
        f.close();
        DrawingModel m(1);
        QVERIFY(!readAll() && opens(m, false));
    }

    // A sound copy of another drawing, or of this one from another database, put in this
    // one's place is foreign.
    QVERIFY(EnsureDrawingTables(db, 2));
    QCOMPARE(StoreChanges(db, 2, lineOp(1, 2, 3, 4), {}, out), StoreResult::Stored);
    DrawingModel other(2);
    QVERIFY(opens(other, false));
    TestDb elsewhere;
    Database far;
    QVERIFY(elsewhere.open(far) && EnsureDrawingTables(far, 1));
    QCOMPARE(StoreChanges(far, 1, lineOp(5, 6, 7, 8), {}, out), StoreResult::Stored);
    {
        RowCache cache(folder.path());
        DrawingModel m(1);
        QVERIFY(BeginLoad(far, m) && !cache.Load(far, m) && ContinueLoad(far, m, 100) == 1
                && cache.Keep(m));
    }
    const QStringList copies = QDir(folder.path()).entryList({"*.rows"}, QDir::Files);
    QCOMPARE(copies.size(), 3);
    for (const QString &name : copies) {
        if (QDir(folder.path()).filePath(name) == path)
            continue;
        QVERIFY(QFile::remove(path) && QFile::copy(QDir(folder.path()).filePath(name), path));
        DrawingModel m(1);
        QVERIFY2(opens(m, false), qPrintable(name));
    }
}

namespace {

// Another PC half-way through storing operation k: its rows written with the next numbers
// (its operation row first, or last as a program that locks nothing first may), its commit
// still to come.
void otherPcStores(const QString &path, int k, bool operationFirst, int holdMs,
                   std::atomic<int> &stage)
{
    Database other;
    other.ConnectDatabase(path);
    const QString n = QString::number(k);
    bool ok = other.DatabaseConnected() && other.StartTransaction();
    if (ok && operationFirst)
        ok = other.SqlUpdateNoCommit("VAR_1", "OPN=" + n, "N=1");
    ok = ok && other.SqlInsertNoCommit("HISTORY_1", "N,OPN,MD,EN", n + u',' + n + ",0," + n)
         && other.SqlInsertNoCommit("ENTITY_1", "N,MN,DS,DT,DN", n + ",2,1,1," + n)
         && other.SqlInsertNoCommit("ENT_LINE_1", "N,LAY,COL,LTP,WID,X1,Y1,X2,Y2",
                                    n + ",0,0,0,0,0,0,-5,-5");
    stage = ok ? 1 : -1;
    if (!ok)
        return;
    std::this_thread::sleep_for(std::chrono::milliseconds(holdMs));
    if (!operationFirst)
        ok = other.SqlUpdateNoCommit("VAR_1", "OPN=" + n, "N=1");
    stage = ok && other.CommitTransaction() ? 2 : -1;
}

// The store's own time in storeMs, without the other PC's connecting and holding on.
StoreResult storeMeanwhile(Database &db, const QString &path, int k, bool operationFirst,
                           StoredOperation &out, int holdMs = 800, qint64 *storeMs = nullptr)
{
    std::atomic<int> stage{0};
    std::thread other(otherPcStores, path, k, operationFirst, holdMs, std::ref(stage));
    for (int i = 0; i < 1500 && stage == 0; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    QElapsedTimer clock;
    clock.start();
    const StoreResult r = stage == 1 ? StoreChanges(db, 1, lineOp(0, 0, 8, 8), {}, out)
                                     : StoreResult::Failed;
    if (storeMs)
        *storeMs = clock.elapsed();
    other.join();
    return stage == 2 ? r : StoreResult::Failed;
}

} // namespace

void TestCommands::collisionRetried()
{
    TestDb place;
    Database db;
    QVERIFY2(place.open(db, true), qPrintable(db.LastError()));
    QVERIFY(EnsureDrawingTables(db, 1));

    // The other PC holds the operation row: this one waits for it, then numbers after it.
    StoredOperation out;
    QCOMPARE(storeMeanwhile(db, place.serverPath(), 1, true, out), StoreResult::Stored);
    QCOMPARE(out.attempts, 1);
    // The other PC takes the operation row last: this one meets its rows and tries again.
    QCOMPARE(storeMeanwhile(db, place.serverPath(), 3, false, out), StoreResult::Stored);
    QCOMPARE(out.attempts, 2);
    QCOMPARE(rows(db, "N, OPN, EN", "HISTORY_1"),
             QStringList({"1 1 1", "2 2 2", "3 3 3", "4 4 4"}));
    QCOMPARE(rows(db, "N, MN, DN", "ENTITY_1"), QStringList({"1 2 1", "2 7 2", "3 2 3", "4 7 4"}));
    QCOMPARE(rows(db, "N, X2", "ENT_LINE_1"), QStringList({"1 -5", "2 8", "3 -5", "4 8"}));
    QCOMPARE(rows(db, "OPN", "VAR_1"), QStringList{"4"});

    // A PC that holds its lock too long: the wait ends after a few seconds, not tried again.
    qint64 waited = -1;
    QCOMPARE(storeMeanwhile(db, place.serverPath(), 5, true, out, StoreLockSeconds * 1000 + 3000,
                            &waited),
             StoreResult::Failed);
    QCOMPARE(out.attempts, 1);
    QVERIFY2(waited >= StoreLockSeconds * 1000 - 500 && waited < StoreLockSeconds * 1000 + 2500,
             qPrintable(QString::number(waited)));
    QCOMPARE(rows(db, "N", "ENT_LINE_1").size(), 5);

    // Collisions on every attempt: tried five times, then reported.
    QVERIFY(db.ExecSqlLines({"CREATE TABLE TAKEN (N INTEGER NOT NULL UNIQUE)"}));
    QVERIFY(db.SqlInsertList("TAKEN", "N", "1"));
    QVERIFY(db.ExecSqlLines({"CREATE TRIGGER TAKEN_AGAIN FOR HISTORY_1 BEFORE INSERT AS",
                             "BEGIN INSERT INTO TAKEN (N) VALUES (1); END"}));
    QCOMPARE(StoreChanges(db, 1, lineOp(0, 0, 9, 9), {}, out), StoreResult::Failed);
    QCOMPARE(out.attempts, StoreAttempts);
    // An erase writes its history rows in blocks: the same collision, tried as often.
    QCOMPARE(StoreChanges(db, 1, stateOp({1, 2}, 0), {}, out), StoreResult::Failed);
    QCOMPARE(out.attempts, StoreAttempts);
    QCOMPARE(rows(db, "OPN", "VAR_1"), QStringList{"5"});
    QCOMPARE(rows(db, "DS", "ENTITY_1", "N <= 2"), QStringList({"1", "1"}));
}

void TestCommands::twoPcsAtOnce()
{
    TestDb place;
    Database setUp;
    QVERIFY2(place.open(setUp, true), qPrintable(setUp.LastError()));
    QVERIFY(EnsureDrawingTables(setUp, 1));

    // Each PC draws lines and boxes whose x names the PC and the figure.
    constexpr int Figures = 30;
    std::atomic<int> failures{0}, retries{0}, started{0};
    auto pc = [&](int who) {
        Database db;
        db.ConnectDatabase(place.serverPath());
        ++started; // even when not connected, so that the other does not wait for ever
        if (!db.DatabaseConnected()) {
            failures += Figures;
            return;
        }
        while (started < 2)
            std::this_thread::yield();
        NumberHints hints;
        for (int i = 0; i < Figures; ++i) {
            const double x = who * 1000 + i;
            ChangeSet op = lineOp(x, 0, x, 1);
            op.member = who;
            for (int k = 1; i % 2 && k < 4; ++k) {
                op.created.push_back(op.created[0]);
                op.created.back().shape = LineShape{x, double(k), x, double(k + 1)};
            }
            StoredOperation out;
            if (StoreChanges(db, 1, op, hints, out) != StoreResult::Stored) {
                qWarning("PC %d, attempt %d: %s", who, out.attempts, qPrintable(db.LastError()));
                ++failures;
                continue;
            }
            retries += out.attempts - 1;
            hints = {out.firstHistory, out.rows.back().entity.n, {0, out.rows.back().row}};
            std::this_thread::sleep_for(
                std::chrono::microseconds(QRandomGenerator::global()->bounded(3000)));
        }
    };
    std::thread a(pc, 1), b(pc, 2);
    a.join();
    b.join();
    QCOMPARE(failures.load(), 0);
    qInfo("numbers taken by the other PC first, tried again: %d", retries.load());

    const int linesEach = Figures / 2 + Figures / 2 * 4;
    Database &db = setUp;
    for (const char *table : {"ENT_LINE_1", "ENTITY_1", "HISTORY_1"})
        QCOMPARE(QueryValue(db, "COUNT(*)", table), QString::number(2 * linesEach));
    // Every figure once, all its lines under one operation of its own.
    QCOMPARE(QueryValue(db, "OPN", "VAR_1"), QString::number(2 * Figures));
    QCOMPARE(QueryValue(db, "COUNT(DISTINCT OPN)", "HISTORY_1"), QString::number(2 * Figures));
    const QList<QStringList> figures = db.ReadRows(
        {"SELECT L.X1, COUNT(*), COUNT(DISTINCT H.OPN), MIN(E.MN), MAX(E.MN)",
         "FROM HISTORY_1 H JOIN ENTITY_1 E ON E.N = H.EN JOIN ENT_LINE_1 L ON L.N = E.DN",
         "GROUP BY L.X1 ORDER BY L.X1"},
        0, 1000);
    QCOMPARE(figures.size(), 2 * Figures);
    for (const QStringList &f : figures) {
        const int x = f.value(0).toInt();
        QCOMPARE(f.value(1), QString::number(x % 2 ? 4 : 1));
        QCOMPARE(f.value(2), QString("1"));
        QCOMPARE(f.mid(3), QStringList(2, QString::number(x / 1000))); // its own PC
    }
}

void TestCommands::editorDrawsAndStores()
{
    Editor ed;
    QVERIFY(ed.prepare() && ed.open());
    TForm13 *e = ed.window;
    e->CurGrid = 5;
    const QPoint mid = pixelOf(e, 20, 15);
    QVERIFY(white(e->Picture(), mid));

    // A point with no command waiting is ignored.
    clickAt(e, 20, 20);
    QCOMPARE(status(e), QStringLiteral("/"));
    e->SpeedButton6->click();
    QCOMPARE(status(e), QStringLiteral("水平線/通過点を指示して下さい"));
    clickAt(e, 40.4, 14.2); // rounds to (40, 15)
    QCOMPARE(status(e), QStringLiteral("水平線/開始点を指示して下さい"));
    clickAt(e, 0.6, -30);
    QCOMPARE(status(e), QStringLiteral("水平線/終了点を指示して下さい"));
    QVERIFY(e->RubberShown()); // from the start point to itself
    moveTo(e, 30, 60);
    QVERIFY(e->RubberShown());
    QCOMPARE(QPointF(e->PickX, e->PickY), QPointF(30, 60));
    // The cyan band runs at the through point's height.
    QVERIFY(banded(e, 20, 15) && !banded(e, 35, 15));
    // A redraw paints over the band; it is drawn again for the same point.
    e->Redraw();
    QVERIFY(e->RubberShown());
    QVERIFY(banded(e, 20, 15));

    clickAt(e, 50, 3);
    QCOMPARE(status(e), QStringLiteral("水平線/通過点を指示して下さい"));
    QVERIFY(!e->RubberShown());
    QCOMPARE(rows(ed.db, "*", "ENT_LINE_1"), QStringList{"1 0 0 0 0 0 15 50 15"});
    QCOMPARE(rows(ed.db, "N, MN, DS, DT, DN", "ENTITY_1"), QStringList{"1 7 1 1 1"});
    // Drawn at once, kept through a redraw, known to the drawing in memory.
    QVERIFY(!white(e->Picture(), mid));
    QCOMPARE(e->Screen(), e->Picture());
    QCOMPARE(e->Model().Count(), size_t(1));
    e->Redraw();
    QVERIFY(!white(e->Picture(), mid));
    e->Refresh(); // nothing new from elsewhere
    QCOMPARE(e->Model().Count(), size_t(1));

    // The box from the menu, with the current values of the moment.
    e->CurLayer = 3;
    e->CurColor = 2;
    e->mnuDrawBox->trigger();
    QCOMPARE(status(e), QStringLiteral("四　角/開始点を指示して下さい"));
    clickAt(e, -50, -20);
    clickAt(e, -20, -10);
    QCOMPARE(rows(ed.db, "N, LAY, COL, X1, Y1, X2, Y2", "ENT_LINE_1").mid(1),
             QStringList({"2 3 2 -50 -20 -20 -20", "3 3 2 -20 -20 -20 -10",
                          "4 3 2 -20 -10 -50 -10", "5 3 2 -50 -10 -50 -20"}));
    QCOMPARE(rows(ed.db, "OPN", "HISTORY_1"), QStringList({"1", "2", "2", "2", "2"}));
    QVERIFY(!white(e->Picture(), pixelOf(e, -35, -20)));

    // A flat box asks again without storing.
    clickAt(e, 0, 0);
    clickAt(e, 30, 0);
    QCOMPARE(status(e), QStringLiteral("四　角/開始点を指示して下さい"));
    QCOMPARE(QueryValue(ed.db, "COUNT(*)", "ENT_LINE_1"), QString("5"));
    e->CurGrid = 10;

    // Another command while the end point is awaited: band gone, nothing stored.
    e->SpeedButton6->click();
    clickAt(e, 0, 10);
    clickAt(e, 0, 0);
    moveTo(e, 60, 0);
    QVERIFY(e->RubberShown());
    e->SpeedButton9->click();
    QVERIFY(!e->RubberShown());
    QCOMPARE(e->Screen(), e->Picture());
    QCOMPARE(status(e), QStringLiteral("四　角/開始点を指示して下さい"));
    clickAt(e, 60, 0); // the box's first corner, not the line's end
    QCOMPARE(e->Command().Given(), 1);
    moveTo(e, 80, 40);
    QVERIFY(e->RubberShown());

    // Escape: back to no command, the band gone.
    QTest::keyClick(e, Qt::Key_Escape);
    QVERIFY(!e->Command().Waiting());
    QVERIFY(!e->RubberShown());
    QCOMPARE(e->Screen(), e->Picture());
    QCOMPARE(status(e), QStringLiteral("/"));
    clickAt(e, 80, 40);
    QCOMPARE(QueryValue(ed.db, "COUNT(*)", "ENT_LINE_1"), QString("5"));

    // A zoom while waiting keeps the command and its band.
    e->SpeedButton8->click();
    clickAt(e, 10, 10);
    moveTo(e, 30, 30);
    QTest::keyClick(e, Qt::Key_PageUp);
    QVERIFY(e->RubberShown());
    QCOMPARE(status(e), QStringLiteral("線　分/終了点を指示して下さい"));

    // Closing while a point is awaited closes at once and stores nothing.
    QVERIFY(e->close());
    QTRY_VERIFY(ed.window.isNull());
    QCOMPARE(QueryValue(ed.db, "COUNT(*)", "ENT_LINE_1"), QString("5"));
    QCOMPARE(QueryValue(ed.db, "OPN", "VAR_1"), QString("2"));
}

void TestCommands::updateDateOnChange()
{
    Editor ed;
    QVERIFY(ed.prepare());
    QVERIFY(CreateCadListTable(ed.db));
    QVERIFY(ed.db.SqlInsertList("CADLIST", "N, ZNAME", "1, 'plan'"));
    QVERIFY(ed.open());
    TForm13 *e = ed.window;
    auto line = [&](double y) {
        e->SpeedButton8->click();
        clickAt(e, 0, y);
        clickAt(e, 30, y);
        e->StartCommand(NoCommand);
    };
    // Dates by hand, unless this PC keeps them otherwise.
    QVERIFY(!Config().AutoRegisterDates);
    line(10);
    QCOMPARE(QueryValue(ed.db, "COUNT(*)", "ENT_LINE_1"), QString("1"));
    QCOMPARE(QueryValue(ed.db, "COALESCE(UDATE, 'null')", "CADLIST", "N=1"), QString("null"));
    e->mnuSetDates->trigger();
    QVERIFY(Config().AutoRegisterDates);
    line(20);
    QCOMPARE(QueryValue(ed.db, "UDATE", "CADLIST", "N=1"), TodayText());
    // Once a day: a date set by hand meanwhile stays for the rest of the day.
    QVERIFY(ed.db.SqlUpdate("CADLIST", 1, {"UDATE"}, {"'20000101'"}, "N=1"));
    line(30);
    QCOMPARE(QueryValue(ed.db, "COUNT(*)", "ENT_LINE_1"), QString("3"));
    QCOMPARE(QueryValue(ed.db, "UDATE", "CADLIST", "N=1"), QString("20000101"));
    Config().AutoRegisterDates = false;
}

void TestCommands::closeButtonOnceWhileWaiting()
{
    MessageRecorder messages;
    ProgramFixture p;
    QVERIFY(p.connected && EnsureDrawingTables(Db(), 1));
    auto *editor = new TForm13(Main()->Context(), 1, 420, 297);
    Main()->OpenChild(editor);
    QPointer<TForm13> e(editor);
    QTRY_VERIFY(e && e->Loaded() && !e->Picture().isNull());
    e->SpeedButton8->click();
    clickAt(e, 10, 10);
    moveTo(e, 30, 30);
    QVERIFY(e->RubberShown());

    // One click on the frame's close button, as a user closes it.
    auto *frame = qobject_cast<QMdiSubWindow *>(WindowFrame(e));
    QVERIFY(frame);
    QStyleOptionTitleBar o;
    o.initFrom(frame);
    o.titleBarFlags = frame->windowFlags();
    o.titleBarState = frame->windowState();
    o.subControls = QStyle::SC_All;
    o.rect = QRect(0, 0, frame->width(),
                   frame->style()->pixelMetric(QStyle::PM_TitleBarHeight, &o, frame));
    const QRect button = frame->style()->subControlRect(QStyle::CC_TitleBar, &o,
                                                        QStyle::SC_TitleBarCloseButton, frame);
    QVERIFY(button.isValid());
    QTest::mouseMove(frame, button.center());
    QTest::mouseClick(frame, Qt::LeftButton, {}, button.center());
    QTRY_VERIFY_WITH_TIMEOUT(e.isNull(), 2000);
    QVERIFY(Main()->mdiArea()->subWindowList().isEmpty());
    QVERIFY(messages.texts.isEmpty());
}

void TestCommands::editorSnapsAndReportsFailure()
{
    Editor ed;
    QVERIFY(ed.prepare());
    // Lines of another PC: one on a hidden layer lies nearer.
    QVERIFY(storeLine(ed.db, 1, 1, 0, 10.123, 20.456, -40, 20.456));
    QVERIFY(storeLine(ed.db, 1, 2, 4, 70.5, 20.5, 90, 20.5));
    QVERIFY(ed.db.SqlUpdate("LAYER_1", 1, {"VISI"}, {"0"}, "N=4"));
    QVERIFY(ed.open());
    TForm13 *e = ed.window;
    QCOMPARE(e->Model().Count(), size_t(2));

    e->SpeedButton8->click();
    rightClickAt(e, 70.5, 20.5); // hidden: keeps waiting
    QCOMPARE(e->Command().Given(), 0);
    rightClickAt(e, 40, 40); // nothing near
    QCOMPARE(e->Command().Given(), 0);
    rightClickAt(e, 10.123, 20.456, QPoint(3, -2));
    QCOMPARE(e->Command().Given(), 1);
    QCOMPARE(QPointF(e->PickX, e->PickY), QPointF(10.123, 20.456));
    rightClickAt(e, -40, 20.456, QPoint(-2, 3));
    QCOMPARE(rows(ed.db, "N, X1, Y1, X2, Y2", "ENT_LINE_1").value(2),
             QString("3 10.123 20.456 -40 20.456"));
    QCOMPARE(rows(ed.db, "N, OPN, EN", "HISTORY_1"), QStringList({"1 1 1", "2 2 2", "3 3 3"}));

    // A layer scale that cannot be used: said, nothing stored, the figure kept for one
    // more click, which stores it once the scale is mended.
    MessageRecorder messages;
    QVERIFY(ed.db.SqlUpdate("LAYER_1", 1, {"SCL"}, {"0"}, "N=0"));
    clickAt(e, 0, 0);
    clickAt(e, 30, 30);
    QCOMPARE(messages.texts.size(), 1);
    QVERIFY(messages.last().contains(QStringLiteral("レイヤ0の尺度")));
    QCOMPARE(status(e), QStringLiteral("線　分/終了点を指示して下さい"));
    QVERIFY(e->RubberShown());
    QCOMPARE(QueryValue(ed.db, "COUNT(*)", "ENT_LINE_1"), QString("3"));
    QVERIFY(ed.db.SqlUpdate("LAYER_1", 1, {"SCL"}, {"1"}, "N=0"));
    clickAt(e, 30, 30);
    QCOMPARE(messages.texts.size(), 1);
    QCOMPARE(status(e), QStringLiteral("線　分/開始点を指示して下さい"));
    QCOMPARE(QueryValue(ed.db, "COUNT(*)", "ENT_LINE_1"), QString("4"));

    // A store that fails is said once; the figure stays.
    messages.clear();
    QVERIFY(ed.db.DropTable("HISTORY_1"));
    clickAt(e, 0, 0);
    clickAt(e, 30, 30);
    QCOMPARE(messages.texts, QStringList{"登録失敗"});
    QCOMPARE(status(e), QStringLiteral("線　分/終了点を指示して下さい"));
    QCOMPARE(QueryValue(ed.db, "COUNT(*)", "ENT_LINE_1"), QString("4"));
    QCOMPARE(e->Model().Count(), size_t(4));
}

void TestCommands::twoEditorsAtOnce()
{
    Editor ed;
    QVERIFY(ed.prepare() && ed.open());
    QPointer<TForm13> other = openEditor(ed.db);
    QVERIFY(other);
    TForm13 *a = ed.window;
    a->CurGrid = 10;
    other->CurGrid = 10;

    // Each runs its own command; points go to the editor they are given in.
    a->SpeedButton6->click();
    other->SpeedButton9->click();
    clickAt(a, 0, 50);
    clickAt(other, 100, 100);
    clickAt(a, -100, 0);
    QCOMPARE(status(a), QStringLiteral("水平線/終了点を指示して下さい"));
    QCOMPARE(other->Command().Given(), 1);
    clickAt(other, 150, 120);
    clickAt(a, -60, 0);
    QCOMPARE(status(a), QStringLiteral("水平線/通過点を指示して下さい"));
    QCOMPARE(status(other), QStringLiteral("四　角/開始点を指示して下さい"));
    QCOMPARE(rows(ed.db, "N, X1, Y1, X2, Y2", "ENT_LINE_1"),
             QStringList({"1 100 100 150 100", "2 150 100 150 120", "3 150 120 100 120",
                          "4 100 120 100 100", "5 -100 50 -60 50"}));
    // The other editor learns of the line at its next look at the database.
    other->Refresh();
    QCOMPARE(other->Model().Count(), size_t(5));
    delete other;
}

QTEST_MAIN(TestCommands)
void TestCommands::editorSnapKinds()
{
    Editor ed;
    QVERIFY(ed.prepare());
    // A line crossing another at its middle.
    QVERIFY(storeLine(ed.db, 1, 1, 0, 0, 0, 20, 0));
    QVERIFY(storeLine(ed.db, 1, 2, 0, 10, -10, 10, 10));
    QVERIFY(ed.open());
    TForm13 *e = ed.window;
    QCOMPARE(e->SnapButton->text(), QStringLiteral("スナップ:端交心中四"));

    // No marker while no command waits; then the crossing's, in pixels around it alone.
    const QPoint cross = pixelOf(e, 10, 0), off = cross + QPoint(2, -2);
    mouse(e, QEvent::MouseMove, off, Qt::NoButton, Qt::NoButton);
    QCOMPARE(e->MarkerKind(), 0);
    e->SpeedButton8->click();
    mouse(e, QEvent::MouseMove, off, Qt::NoButton, Qt::NoButton);
    QCOMPARE(e->MarkerKind(), int(SnapIntersection));
    auto changed = [e](const QRect &area) {
        int n = 0;
        for (int y = area.top(); y <= area.bottom(); ++y)
            for (int x = area.left(); x <= area.right(); ++x)
                n += e->Screen().pixel(x, y) != e->Picture().pixel(x, y);
        return n;
    };
    const QRect box(cross - QPoint(6, 6), QSize(13, 13));
    QVERIFY(changed(box) > 8);
    QCOMPARE(changed(e->Screen().rect()), changed(box));
    moveTo(e, 100, 100); // nothing there: no trace left
    QCOMPARE(e->MarkerKind(), 0);
    QCOMPARE(changed(e->Screen().rect()), 0);

    // The crossing switched off in the menu: the middle, then with that off too the end of
    // the nearer line only when near it.
    QAction *crossing = e->findChild<QAction *>("mnuSnap1");
    QVERIFY(crossing && crossing->isChecked());
    crossing->trigger();
    QCOMPARE(Config().SnapKinds, 31 & ~2);
    QCOMPARE(e->SnapButton->text(), QStringLiteral("スナップ:端心中四"));
    mouse(e, QEvent::MouseMove, off, Qt::NoButton, Qt::NoButton);
    QCOMPARE(e->MarkerKind(), int(SnapMiddle));
    e->findChild<QAction *>("mnuSnap3")->trigger();
    mouse(e, QEvent::MouseMove, off, Qt::NoButton, Qt::NoButton);
    QCOMPARE(e->MarkerKind(), 0);
    click(e, off, Qt::NoModifier, Qt::RightButton);
    QCOMPARE(e->Command().Given(), 0);
    // Perpendicular on: from the line's start, the foot on the other line.
    e->findChild<QAction *>("mnuSnap5")->trigger();
    rightClickAt(e, 0, 0, QPoint(2, 1));
    QCOMPARE(e->Command().Given(), 1);
    QCOMPARE(QPointF(e->PickX, e->PickY), QPointF(0, 0));
    mouse(e, QEvent::MouseMove, off, Qt::NoButton, Qt::NoButton);
    QCOMPARE(e->MarkerKind(), int(SnapPerpendicular));
    click(e, off, Qt::NoModifier, Qt::RightButton);
    QCOMPARE(rows(ed.db, "N, X1, Y1, X2, Y2", "ENT_LINE_1").value(2), QString("3 0 0 10 0"));

    // Kept for the next editor of this PC.
    delete ed.window;
    QVERIFY(ed.open());
    e = ed.window;
    QCOMPARE(e->SnapKinds(), unsigned(1 | 4 | 16 | 32));
    QCOMPARE(e->SnapButton->text(), QStringLiteral("スナップ:端心四垂"));
    QVERIFY(!e->findChild<QAction *>("mnuSnap1")->isChecked());
    QVERIFY(e->findChild<QAction *>("mnuSnap5")->isChecked());
}

#include "tst_commands.moc"
