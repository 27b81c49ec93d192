#include "editor/model/drawingmodel.h"
#include "editor/pen/canvas.h"
#include "editor/view/renderer.h"
#include "editor/view/view.h"

#include <QRandomGenerator>
#include <QtTest>

#include <cmath>
#include <limits>

class TestDrawing : public QObject
{
    Q_OBJECT

private slots:
    void fitAndZoom();
    void previousViewAndResize();
    void viewStaysSane();
    void missingRows();
    void gridIndexFindsWhatAScanFinds();
    void gridIndexEdgesAndTexts();
    void newDrawingPicture();
    void gridThresholds();
    void layerDependence();
    void dashesStartAtTheirPhase();
    void panMovesThePicture();
    void changesDrawnWhereTheyLie();
};

namespace {

constexpr double NaN = std::numeric_limits<double>::quiet_NaN();

bool near(double a, double b, double eps = 1e-9)
{
    return std::fabs(a - b) <= eps * std::max(1.0, std::fabs(b));
}

// The default layers, colours 1-16 and line types 1-3 of a new drawing.
void defaultTables(DrawingModel &m)
{
    std::vector<LayerRow> layers;
    for (int n = 0; n < 256; ++n)
        layers.push_back({n, QString(), 1, 1, 1, 1, 18, 1.0});
    m.SetLayers(layers);
    m.SetColours({{1, "black", 0}, {2, "red", 255}, {3, "green", 65280}, {4, "blue", 16711680}});
    LineTypeRow continuous{1, "continuous", 0, {}};
    LineTypeRow dashed{2, "dashed", 2, {600, 150}};
    LineTypeRow odd{3, "odd", 3, {600, 150, 600}};
    LineTypeRow spaced{4, "dashed spaced", 2, {600, 600}};
    m.SetLineTypes({continuous, dashed, odd, spaced});
}

EntityRecord lineOf(int n, int layer, double x1, double y1, double x2, double y2, int colour = 0,
                  int type = 0, int width = 0)
{
    EntityRecord e;
    e.entity = {n, 1, 1, KindLine, n};
    e.row = n;
    e.look = {int16_t(layer), int16_t(colour), int16_t(type), int16_t(width)};
    e.shape = LineShape{x1, y1, x2, y2};
    return e;
}

Entity entityOf(const EntityRecord &r)
{
    TextPool pool;
    return ToEntity(r, pool);
}

// A live, drawn line's ends on paper.
bool paperLine(const DrawingModel &m, const EntityRecord &r, double &x1, double &y1, double &x2,
               double &y2)
{
    const PaperShape p = m.Paper(entityOf(r));
    const LineShape *l = std::get_if<LineShape>(&p);
    if (l)
        x1 = l->x1, y1 = l->y1, x2 = l->x2, y2 = l->y2;
    return l;
}

QRgb rgb(const QImage &image, int x, int y)
{
    return image.pixel(x, y) & 0xFFFFFF;
}

QPoint pixelOf(const ViewParams &v, double x, double y)
{
    return {RoundHalfAway((x - v.x1) * v.scale), v.height - RoundHalfAway((y - v.y1) * v.scale)};
}

// The colour at a paper point.
QRgb at(const QImage &image, const ViewParams &v, double x, double y)
{
    const QPoint p = pixelOf(v, x, y);
    return rgb(image, p.x(), p.y());
}

bool centredAt(const View &v, double x, double y)
{
    return near(v.Centre().x, x) && near(v.Centre().y, y);
}

// Colour, width and dash count of a line's pen, or "-" when it is not drawn.
QString look(const DrawingModel &m, const EntityRecord &e)
{
    LineLook l;
    if (!m.Look(entityOf(e), l))
        return "-";
    return QStringLiteral("%1/%2/%3").arg(l.pen.colour).arg(l.pen.width).arg(l.pen.count);
}

QImage render(const View &view, const DrawingModel &m, const Sheet &sheet)
{
    QImage image(view.Width(), view.Height(), QImage::Format_RGB32);
    Canvas canvas(image);
    RenderPicture(canvas, view.Params(), m, sheet);
    return image;
}

int countColour(const QImage &image, QRgb colour)
{
    int n = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            n += rgb(image, x, y) == colour;
    return n;
}

} // namespace

void TestDrawing::fitAndZoom()
{
    View v;
    QVERIFY(v.Fit(420, 297, 336, 272));
    QVERIFY(near(v.Rect().scale, 0.72));
    QVERIFY(centredAt(v, 0, 0));
    QVERIFY(near(v.Rect().x2 - v.Rect().x1, 336 / 0.72));
    QVERIFY(near(v.Rect().y2 - v.Rect().y1, 272 / 0.72));

    // Zoom about a pixel keeps the paper point under it, both ways.
    const PaperPoint before = v.ToPaper(50, 200);
    QVERIFY(v.ZoomAt(50, 200, 1.5));
    QVERIFY(near(v.Rect().scale, 1.08));
    QVERIFY(near(v.ToPaper(50, 200).x, before.x) && near(v.ToPaper(50, 200).y, before.y));
    QVERIFY(v.ZoomAt(50, 200, 1 / 1.5));
    QVERIFY(near(v.Rect().scale, 0.72));
    QVERIFY(near(v.ToPaper(50, 200).x, before.x));

    // Zoom window: the rectangle fills the tighter direction, no margin.
    QVERIFY(v.ZoomWindow({-10, -5}, {30, 25}, 336, 272));
    QVERIFY(near(v.Rect().scale, std::min(336 / 40.0, 272 / 30.0)));
    QVERIFY(centredAt(v, 10, 10));
    // Zoom out halves whatever the rectangle, centred on it.
    const double s = v.Rect().scale;
    QVERIFY(v.ZoomOutWindow({0, 0}, {2, 2}, 336, 272));
    QVERIFY(near(v.Rect().scale, s / 2));
    QVERIFY(centredAt(v, 1, 1));
    QVERIFY(v.CenterOn({-50, 40}, 336, 272));
    QVERIFY(centredAt(v, -50, 40) && near(v.Rect().scale, s / 2));
    QVERIFY(v.MoveBy(5, -5));
    QVERIFY(centredAt(v, -45, 35));
    QVERIFY(near(v.Rect().x2 - v.Rect().x1, 336 / v.Rect().scale));
}

void TestDrawing::previousViewAndResize()
{
    View v;
    QVERIFY(v.Fit(420, 297, 336, 272));
    const ViewRect fitted = v.Rect();
    QVERIFY(v.ZoomWindow({0, 0}, {40, 30}, 336, 272));
    const ViewRect zoomed = v.Rect();
    QVERIFY(v.SwapPrevious(336, 272));
    QCOMPARE(v.Rect().scale, fitted.scale);
    QVERIFY(near(v.Rect().x1, fitted.x1) && near(v.Rect().y2, fitted.y2));
    QVERIFY(v.SwapPrevious(336, 272));
    QCOMPARE(v.Rect().scale, zoomed.scale);
    QVERIFY(near(v.Rect().x1, zoomed.x1));

    // A resize keeps centre and scale and does not touch the previous view.
    const PaperPoint c = v.Centre();
    QVERIFY(v.Resize(500, 100));
    QCOMPARE(v.Width(), 500);
    QCOMPARE(v.Rect().scale, zoomed.scale);
    QVERIFY(centredAt(v, c.x, c.y));
    QVERIFY(near(v.Rect().x2 - v.Rect().x1, 500 / zoomed.scale));
    // The previous view comes back with edges for the paint box as it is now.
    QVERIFY(v.SwapPrevious(500, 100));
    QCOMPARE(v.Rect().scale, fitted.scale);
    QVERIFY(centredAt(v, 0, 0));
    QVERIFY(near(v.Rect().x2 - v.Rect().x1, 500 / fitted.scale));
    QVERIFY(near(v.Rect().y2 - v.Rect().y1, 100 / fitted.scale));
}

void TestDrawing::viewStaysSane()
{
    View v;
    // A paper without a size fits 420 x 297.
    for (double w : {0.0, NaN}) {
        QVERIFY(v.Fit(w, w == 0 ? 0 : 297, 336, 272));
        QVERIFY(near(v.Rect().scale, 0.72));
    }
    // A paint box without area leaves the view as it was.
    const ViewRect r = v.Rect();
    QVERIFY(!v.Fit(420, 297, 0, 272));
    QVERIFY(!v.Resize(336, 0));
    QVERIFY(!v.ZoomWindow({0, 0}, {1, 1}, 0, 0));
    QCOMPARE(v.Rect().x1, r.x1);
    QCOMPARE(v.Width(), 336);
    // Zooming far in or out stops at the ends of the range; nothing becomes infinite.
    for (int i = 0; i < 200; ++i)
        v.ZoomAt(10, 10, 1.5);
    QCOMPARE(v.Rect().scale, View::MaxScale);
    QVERIFY(std::isfinite(v.Rect().x1) && v.Rect().x2 > v.Rect().x1);
    for (int i = 0; i < 400; ++i)
        v.ZoomAt(10, 10, 1 / 1.5);
    QCOMPARE(v.Rect().scale, View::MinScale);
    QVERIFY(std::isfinite(v.Rect().x1) && std::isfinite(v.Rect().y2));
    // A zoom window of no extent stops at the largest scale; bad numbers change nothing.
    QVERIFY(v.ZoomWindow({1, 1}, {1, 1}, 336, 272));
    QCOMPARE(v.Rect().scale, View::MaxScale);
    const ViewRect kept = v.Rect();
    QVERIFY(!v.MoveBy(NaN, 0));
    QVERIFY(!v.ZoomAt(NaN, 1, 1.5));
    QVERIFY(!v.CenterOn({std::numeric_limits<double>::infinity(), 0}, 336, 272));
    QCOMPARE(v.Rect().x1, kept.x1);
}

void TestDrawing::missingRows()
{
    DrawingModel m;
    defaultTables(m);
    // The layer's values for 0, the line's own otherwise.
    QCOMPARE(look(m, lineOf(1, 5, 0, 0, 1, 1)), QString("0/18/0"));
    LineLook dashed;
    QVERIFY(m.Look(entityOf(lineOf(1, 5, 0, 0, 1, 1, 2, 2, 70)), dashed));
    QCOMPARE(QStringLiteral("%1/%2/%3").arg(dashed.pen.colour).arg(dashed.pen.width)
                 .arg(dashed.pen.count), QString("255/70/2"));
    QCOMPARE(dashed.pen.total, 7.5);
    // A colour with no row is black, a line type with no row or an odd count continuous,
    // even after a line that had them.
    QCOMPARE(look(m, lineOf(1, 5, 0, 0, 1, 1, 99, 99)), QString("0/18/0"));
    QCOMPARE(look(m, lineOf(1, 5, 0, 0, 1, 1, 2, 3)), QString("255/18/0"));
    // No layer row, a layer beyond 0-255, a hidden layer, a scale not finite: not drawn.
    std::vector<LayerRow> layers = m.Layers();
    layers[7].visible = 0;
    layers[8].scale = NaN;
    layers.erase(layers.begin() + 9);
    QVERIFY(m.SetLayers(layers));
    QVERIFY(!m.SetLayers(layers));
    for (int layer : {300, -1, 7, 8, 9})
        QVERIFY2(look(m, lineOf(1, layer, 0, 0, 1, 1)) == "-", qPrintable(QString::number(layer)));
    // An entity without its line row, of another state or type, or with a coordinate that
    // is not finite is not a line to draw.
    double x1, y1, x2, y2;
    QVERIFY(paperLine(m, lineOf(1, 5, 0, 0, 10, 0), x1, y1, x2, y2));
    EntityRecord bad[4] = {lineOf(1, 5, 0, 0, 10, 0), lineOf(1, 5, 0, 0, 10, 0),
                         lineOf(1, 5, 0, 0, 10, 0), lineOf(1, 5, 0, NaN, 10, 0)};
    bad[0].shape = std::monostate();
    bad[1].entity.state = 0;
    bad[2].entity.type = 7;
    bad[2].shape = std::monostate();
    for (const EntityRecord &e : bad)
        QVERIFY(!paperLine(m, e, x1, y1, x2, y2));

    // Add keeps entity order and replaces an entity of the same number.
    m.Add(lineOf(5, 0, 0, 0, 1, 0));
    m.Add(lineOf(2, 0, 0, 0, 2, 0));
    m.Add(lineOf(9, 0, 0, 0, 3, 0));
    EntityRecord again = lineOf(5, 0, 0, 0, 1, 0);
    again.entity.state = 0;
    m.Add(again);
    QCOMPARE(m.Count(), size_t(3));
    QCOMPARE(QPoint(m.At(0).entity.n, m.At(2).entity.n), QPoint(2, 9));
    QCOMPARE(m.Find(5)->entity.state, int16_t(0));
    QVERIFY(!m.Find(4));
    QCOMPARE(m.HighestEntity(), int64_t(9));
}

void TestDrawing::gridIndexFindsWhatAScanFinds()
{
    DrawingModel m;
    defaultTables(m);
    std::vector<LayerRow> layers = m.Layers();
    layers[2].scale = 0.01;
    layers[3].visible = 0;
    m.SetLayers(layers);
    QRandomGenerator random(14);
    auto add = [&](int from, int to, double spread) {
        for (int n = from; n <= to; ++n) {
            const double x = random.bounded(spread) - spread / 2;
            const double y = random.bounded(spread) - spread / 2;
            const double length = random.bounded(1.0) < 0.05 ? 400 : random.bounded(40.0);
            const double a = random.bounded(6.28);
            const int layer = n % 4;
            const double s = layer == 2 ? 100 : 1;
            EntityRecord e = lineOf(n, layer, x * s, y * s, (x + length * std::cos(a)) * s,
                                  (y + length * std::sin(a)) * s);
            e.entity.state = n % 17 == 0 ? 0 : 1;
            m.Add(e);
        }
    };
    auto check = [&](const PaperBox &box) {
        std::vector<uint32_t> found, alike;
        std::vector<PaperBox> bounds;
        m.EntitiesIn(box, found);
        // With bounds, the same entities, each bound holding the exact extent closely.
        m.EntitiesIn(box, alike, &bounds);
        if (alike != found || bounds.size() != found.size())
            return false;
        for (size_t k = 0; k < found.size(); ++k) {
            PaperBox b;
            const PaperBox &o = bounds[k];
            const auto close = [](double outer, double inner) {
                return std::fabs(outer - inner) <= std::fabs(inner) * 1.2e-7 + 1e-300;
            };
            if (!m.Extent(m.At(found[k]), b) || o.x1 > b.x1 || o.y1 > b.y1 || o.x2 < b.x2
                || o.y2 < b.y2 || !close(o.x1, b.x1) || !close(o.y1, b.y1)
                || !close(o.x2, b.x2) || !close(o.y2, b.y2))
                return false;
        }
        std::vector<uint32_t> scanned;
        for (uint32_t i = 0; i < m.Count(); ++i) {
            const Entity &e = m.At(i);
            const LineShape *l = std::get_if<LineShape>(&e.shape);
            if (e.entity.state != 1 || !l || e.look.layer < 0 || e.look.layer > 255)
                continue;
            const double s = m.Layer(e.look.layer)->scale;
            const double x1 = l->x1 * s, x2 = l->x2 * s;
            const double y1 = l->y1 * s, y2 = l->y2 * s;
            if (std::min(x1, x2) <= box.x2 && std::max(x1, x2) >= box.x1
                && std::min(y1, y2) <= box.y2 && std::max(y1, y2) >= box.y1)
                scanned.push_back(i);
        }
        return found == scanned;
    };
    add(1, 3000, 800);
    for (int i = 0; i < 40; ++i) {
        const double x = random.bounded(1000.0) - 500, y = random.bounded(1000.0) - 500;
        const double w = random.bounded(i < 20 ? 30.0 : 600.0);
        QVERIFY2(check({x, y, x + w, y + w * 0.7}), qPrintable(QString::number(i)));
    }
    // Lines drawn later far outside the first extent, and a layer scale changed.
    add(3001, 3400, 5000);
    layers[0].scale = 2;
    m.SetLayers(layers);
    for (int i = 0; i < 40; ++i) {
        const double x = random.bounded(6000.0) - 3000, y = random.bounded(6000.0) - 3000;
        QVERIFY2(check({x, y, x + 80, y + 50}), qPrintable(QString::number(i)));
    }
    QVERIFY(check({-1e9, -1e9, 1e9, 1e9}));
    std::vector<uint32_t> none;
    m.EntitiesIn({NaN, 0, 1, 1}, none);
    QVERIFY(none.empty());
}

void TestDrawing::gridIndexEdgesAndTexts()
{
    // Ends no float can hold met exactly by the box's edge, near zero and beyond a float's
    // range.
    for (double s : {1.0, 1e-30, 1e40, 1e300}) {
        DrawingModel m;
        defaultTables(m);
        for (int n = 1; n <= 400; ++n) {
            const double x = (n % 20) * 0.1 * s, y = (n / 20) * 0.1 * s;
            m.Add(lineOf(n, 0, x, y, x + 0.07 * s, y + 0.03 * s));
        }
        for (int n = 1; n <= 400; n += 37) {
            const double x = (n % 20) * 0.1 * s, y = (n / 20) * 0.1 * s;
            std::vector<uint32_t> found;
            m.EntitiesIn({x + 0.07 * s, y + 0.03 * s, x + 0.08 * s, y + 0.04 * s}, found);
            QVERIFY2(found == std::vector<uint32_t>{uint32_t(n - 1)},
                     qPrintable(QStringLiteral("%1 at %2").arg(n).arg(s)));
            m.EntitiesIn({x - 0.01 * s, y - 0.01 * s, x, y}, found);
            QVERIFY2(found == std::vector<uint32_t>{uint32_t(n - 1)},
                     qPrintable(QStringLiteral("%1 at %2").arg(n).arg(s)));
            m.EntitiesIn({x + 0.071 * s, y, x + 0.09 * s, y + 0.03 * s}, found);
            QVERIFY2(found.empty(), qPrintable(QStringLiteral("%1 at %2").arg(n).arg(s)));
            // Beyond the end by less than a float's step, inside the index's rounded box.
            const double beyond = std::nextafter(x + 0.07 * s, 1e308);
            m.EntitiesIn({beyond, y, x + 0.09 * s, y + 0.03 * s}, found);
            QVERIFY2(found.empty(), qPrintable(QStringLiteral("%1 at %2").arg(n).arg(s)));
        }
    }

    // A text given more characters reaches further and is found there.
    DrawingModel m;
    defaultTables(m);
    for (int n = 1; n <= 2000; ++n)
        m.Add(lineOf(n, 0, n % 200, n / 200 * 2, n % 200 + 0.5, n / 200 * 2 + 0.5));
    EntityRecord t;
    t.entity = {2001, 1, 1, KindText, 1};
    t.row = 1;
    t.look = {0, 0, 0, 0};
    TextShape shape;
    shape.px = 0;
    shape.py = 10;
    shape.height = 2;
    shape.text = QStringLiteral("AB");
    t.shape = shape;
    m.Add(t);
    std::vector<uint32_t> found;
    m.EntitiesIn({30, 10.6, 31, 11}, found);
    QVERIFY(found.empty());
    shape.text = QString(40, QLatin1Char('A'));
    t.shape = shape;
    m.Add(t);
    m.EntitiesIn({30, 10.6, 31, 11}, found);
    QCOMPARE(found, std::vector<uint32_t>{2000});
}

void TestDrawing::newDrawingPicture()
{
    DrawingModel m;
    defaultTables(m);
    View v;
    QVERIFY(v.Fit(420, 297, 336, 272));
    const QImage image = render(v, m, {420, 297, 0});
    const ViewParams p = v.Params();
    // Cyan window frame, white inside.
    for (QPoint frame : {QPoint(0, 0), QPoint(334, 270), QPoint(0, 100)})
        QCOMPARE(rgb(image, frame.x(), frame.y()), QRgb(0x00FFFF));
    QCOMPARE(rgb(image, 5, 5), QRgb(0xFFFFFF));
    // Black paper frame, three pixels wide, along the bottom edge.
    const QPoint bottom = pixelOf(p, 0, -148.5);
    int black = 0;
    for (int dy = -3; dy <= 3; ++dy)
        black += rgb(image, bottom.x() + 40, bottom.y() + dy) == 0;
    QCOMPARE(black, 3);
    QCOMPARE(at(image, p, 210, 0), QRgb(0));
    // The red origin cross reaches five pixels each way.
    const QPoint o = pixelOf(p, 0, 0);
    for (QPoint d : {QPoint(0, 0), QPoint(5, 0), QPoint(-5, 0), QPoint(0, -5)})
        QCOMPARE(rgb(image, o.x() + d.x(), o.y() + d.y()), QRgb(0xFF0000));
    QCOMPARE(rgb(image, o.x() + 7, o.y()), QRgb(0xFFFFFF));
    QCOMPARE(countColour(image, 0xFF0000), 21);
}

void TestDrawing::gridThresholds()
{
    DrawingModel m;
    defaultTables(m);
    View v;
    QVERIFY(v.Fit(420, 297, 336, 272));
    // 10 mm at 0.72: no fine grid (7.2 pixels), a coarse one every 50 mm.
    QImage image = render(v, m, {420, 297, 10});
    const ViewParams p = v.Params();
    QCOMPARE(countColour(image, 0xEEEEEE), 0);
    const int coarseX = pixelOf(p, 50, 0).x();
    QCOMPARE(rgb(image, coarseX, 20), QRgb(0xCCCCCC));
    QCOMPARE(rgb(image, pixelOf(p, 10, 0).x(), 20), QRgb(0xFFFFFF));

    // At 2.0 both: fine lines 20 pixels apart, every fifth one covered by a coarse one.
    QVERIFY(v.ZoomAt(168, 136, 2.0 / 0.72));
    QVERIFY(near(v.Rect().scale, 2.0));
    image = render(v, m, {420, 297, 10});
    const ViewParams q = v.Params();
    for (auto [x, colour] : {std::pair{10, 0xEEEEEE}, {30, 0xEEEEEE}, {50, 0xCCCCCC},
                             {15, 0xFFFFFF}})
        QCOMPARE(rgb(image, pixelOf(q, x, 0).x(), 20), QRgb(colour));
    QCOMPARE(rgb(image, 20, pixelOf(q, 0, 20).y()), QRgb(0xEEEEEE));
    QCOMPARE(pixelOf(q, 30, 0).x() - pixelOf(q, 10, 0).x(), 40);
    // A grid finer than the precision of the coordinates neither stalls nor draws.
    QVERIFY(v.CenterOn({1e12, 1e12}, 336, 272));
    image = render(v, m, {420, 297, 1e-6});
    QCOMPARE(rgb(image, 5, 5), QRgb(0xFFFFFF));
}

void TestDrawing::layerDependence()
{
    DrawingModel m;
    defaultTables(m);
    std::vector<LayerRow> layers = m.Layers();
    layers[1] = {1, QString(), 1, 1, 2, 4, 100, 1.0}; // red, dashed spaced, 1 mm
    layers[2] = {2, QString(), 0, 1, 3, 1, 18, 1.0}; // hidden
    layers[3] = {3, QString(), 1, 1, 4, 1, 18, 0.01}; // blue, 1:100
    m.SetLayers(layers);
    m.Add(lineOf(1, 1, -100, 50, 100, 50)); // all from layer 1
    m.Add(lineOf(2, 1, -100, 0, 100, 0, 3, 1, 18)); // its own green, continuous, thin
    m.Add(lineOf(3, 2, -100, -50, 100, -50)); // hidden layer
    m.Add(lineOf(4, 3, 0, -8000, 100, -8000)); // 1 mm long at y -80
    EntityRecord erased = lineOf(5, 0, -100, 30, 100, 30);
    erased.entity.state = 2;
    m.Add(erased);
    View v;
    QVERIFY(v.Fit(420, 297, 840, 594)); // 1.8 pixels a millimetre
    const ViewParams p = v.Params();
    const QImage image = render(v, m, {420, 297, 0});
    // Layer 1: red, 1.8 pixels wide (rounds to 2), dashes and gaps of 6 mm. The line's own
    // values win on layer 1's second line: green, solid through the gap, one pixel. Hidden
    // layer and erased entity: nothing. Scale 0.01: stored 0-100 at -8000 is drawn from 0 to
    // 1 mm at -80.
    const std::tuple<double, double, QRgb> colours[] = {
        {-97, 50, 0xFF0000}, {-91, 50, 0xFFFFFF}, {-85, 50, 0xFF0000}, {-91, 0, 0x00FF00},
        {-40, -50, 0xFFFFFF}, {-40, 30, 0xFFFFFF}, {0.5, -80, 0x0000FF}, {3, -80, 0xFFFFFF}};
    for (const auto &[x, y, colour] : colours)
        QVERIFY2(at(image, p, x, y) == colour, qPrintable(QStringLiteral("%1 %2").arg(x).arg(y)));
    const int y = pixelOf(p, 0, 50).y();
    int thick = 0;
    for (int dy = -3; dy <= 3; ++dy)
        thick += rgb(image, pixelOf(p, -97, 50).x(), y + dy) == 0xFF0000;
    QCOMPARE(thick, 2);
    const QPoint green = pixelOf(p, -91, 0);
    QCOMPARE(rgb(image, green.x(), green.y() - 1), QRgb(0xFFFFFF));
    QCOMPARE(rgb(image, green.x(), green.y() + 1), QRgb(0xFFFFFF));
    QCOMPARE(countColour(image, 0x0000FF), pixelOf(p, 1, 0).x() - pixelOf(p, 0, 0).x() + 1);
}

void TestDrawing::dashesStartAtTheirPhase()
{
    // A long dashed line crossing the view gives the pixels the pen gives walking it whole.
    QImage whole(400, 300, QImage::Format_RGB32);
    whole.fill(Qt::white);
    QImage culled = whole.copy();
    const ViewParams view{4, 1000, 1000, 1100, 1075, 400, 300};
    LinePen pen;
    pen.count = 4;
    const double pitches[] = {6, 1.5, 0, 1.5};
    std::copy(pitches, pitches + 4, pen.pitches);
    pen.total = 9;
    pen.width = 50;
    for (double angle : {0.0, 0.3, 1.2, 2.5}) {
        const double x1 = 1050 - 2000 * std::cos(angle), y1 = 1037 - 2000 * std::sin(angle);
        const double x2 = 1050 + 700 * std::cos(angle), y2 = 1037 + 700 * std::sin(angle);
        whole.fill(Qt::white);
        culled.fill(Qt::white);
        {
            Canvas a(whole), b(culled);
            LinePen p1 = pen, p2 = pen;
            DrawStyledLine(a, view, p1, x1, y1, x2, y2);
            DrawStyledLineInView(b, view, p2, x1, y1, x2, y2);
        }
        int differ = 0, inked = 0;
        for (int y = 0; y < 300; ++y) {
            for (int x = 0; x < 400; ++x) {
                differ += whole.pixel(x, y) != culled.pixel(x, y);
                inked += rgb(whole, x, y) != 0xFFFFFF;
            }
        }
        QVERIFY2(inked > 300, qPrintable(QString::number(angle)));
        // Only the rounding of where each dash ends may differ.
        QVERIFY2(differ <= inked / 50, qPrintable(QStringLiteral("%1: %2 of %3")
                                                      .arg(angle).arg(differ).arg(inked)));
    }
}

void TestDrawing::panMovesThePicture()
{
    DrawingModel m(1);
    defaultTables(m);
    std::vector<EntityRecord> rows;
    int n = 0;
    // Lines of every look across the seams, a circle, an arc and a text.
    for (int i = 0; i < 12; ++i) {
        ++n;
        rows.push_back(lineOf(n, 0, -150 + i * 23.3, -100 + i * 3.1, 40 + i * 17.7, 90 - i * 4.9,
                              2 + i % 3, 1 + i % 4, i % 5 == 0 ? 70 : 0));
    }
    EntityRecord c;
    c.entity = {++n, 1, 1, KindCircle, 1};
    c.row = 1;
    c.look.lineType = 2;
    c.shape = CircleShape{10, 5, 60};
    rows.push_back(c);
    EntityRecord a = c;
    a.entity = {++n, 1, 1, KindArc, 1};
    a.shape = ArcShape{-40, 20, 35, 30, 250};
    rows.push_back(a);
    // Small figures all over, so that each band has its own.
    for (int i = 0; i < 150; ++i) {
        EntityRecord dot = c;
        dot.entity = {++n, 1, 1, KindCircle, i + 2};
        dot.look.lineType = 0;
        dot.shape = CircleShape{-140 + (i % 15) * 19.0, -100 + (i / 15) * 21.0, 2};
        rows.push_back(dot);
    }
    const auto addText = [&](int row, double px, double py, double angle, const QString &string) {
        EntityRecord t = c;
        t.entity = {++n, 1, 1, KindText, row};
        TextShape text;
        text.px = px;
        text.py = py;
        text.height = 7;
        text.angle = angle;
        text.text = string;
        t.shape = text;
        rows.push_back(t);
    };
    addText(1, -20, -30, 20, QStringLiteral("穴 φ10 通し"));
    // Upright, across the left edge, blended into the bands a pan draws afresh.
    addText(2, -110, 40, 0, QStringLiteral("SECTION A-A 断面"));
    m.Add(rows);
    const Sheet sheet{420, 297, 10};

    View before;
    QVERIFY(before.Fit(420, 297, 400, 300));
    QVERIFY(before.ZoomAt(200, 150, 2));
    const QImage from = render(before, m, sheet);
    // Pans of whole pixels every way: the moved picture equals the one drawn afresh.
    const int moves[][2] = {{7, 0}, {0, -5}, {-40, 13}, {120, 90}, {-199, -149}};
    for (const auto &k : moves) {
        View after = before;
        const double s = before.Rect().scale;
        QVERIFY(after.MoveBy(k[0] / s, k[1] / s));
        QImage panned;
        QVERIFY(RenderPanned(from, before.Params(), after.Params(), m, sheet, panned, 1));
        // On three threads, into a picture of the size given for out: the same pixels. A
        // picture shared with another is left as it was.
        QImage reused(from.size(), QImage::Format_RGB32), held;
        reused.fill(Qt::magenta);
        QVERIFY(RenderPanned(from, before.Params(), after.Params(), m, sheet, reused, 3));
        QVERIFY(reused == panned);
        held = reused;
        QVERIFY(RenderPanned(from, before.Params(), after.Params(), m, sheet, reused, 3));
        QVERIFY(reused == panned && held == panned);
        reused.fill(Qt::magenta);
        held = reused;
        QVERIFY(RenderPanned(from, before.Params(), after.Params(), m, sheet, reused, 3));
        QVERIFY(reused == panned && held.pixel(5, 5) == QColor(Qt::magenta).rgb());
        const QImage fresh = render(after, m, sheet);
        // Equal but where a position rounds to the next pixel: a pixel that differs has its
        // colour beside it in the other picture, but where such a pixel lay under another.
        int differing = 0, unmatched = 0;
        // Smoothed glyph edges placed a part of a pixel apart differ by a few levels.
        const auto same = [](QRgb a, QRgb b) {
            return std::abs(qRed(a) - qRed(b)) <= 8 && std::abs(qGreen(a) - qGreen(b)) <= 8
                   && std::abs(qBlue(a) - qBlue(b)) <= 8;
        };
        const auto besideIn = [&](const QImage &image, int x, int y, QRgb colour) {
            for (int dy = -1; dy <= 1; ++dy)
                for (int dx = -1; dx <= 1; ++dx)
                    if (image.rect().contains(x + dx, y + dy)
                        && same(rgb(image, x + dx, y + dy), colour))
                        return true;
            return false;
        };
        for (int y = 0; y < fresh.height(); ++y) {
            for (int x = 0; x < fresh.width(); ++x) {
                if (same(rgb(panned, x, y), rgb(fresh, x, y)))
                    continue;
                ++differing;
                unmatched += !besideIn(fresh, x, y, rgb(panned, x, y))
                             || !besideIn(panned, x, y, rgb(fresh, x, y));
            }
        }
        QVERIFY2(unmatched <= 20 && differing < fresh.width() * fresh.height() / 100,
                 qPrintable(QStringLiteral("%1 pixels differ, %2 unmatched after %3,%4")
                                .arg(differing).arg(unmatched).arg(k[0]).arg(k[1])));
    }
    // A zoom, a pan of a part of a pixel or one past half the picture is drawn afresh.
    View zoomed = before;
    QVERIFY(zoomed.ZoomAt(200, 150, 1.5));
    View part = before, far = before;
    QVERIFY(part.MoveBy(0.3 / before.Rect().scale, 0));
    QVERIFY(far.MoveBy(250 / before.Rect().scale, 0));
    QImage out;
    for (const View *v : {&zoomed, &part, &far})
        QVERIFY(!RenderPanned(from, before.Params(), v->Params(), m, sheet, out));
    QVERIFY(out.isNull());
}

void TestDrawing::changesDrawnWhereTheyLie()
{
    DrawingModel m(1);
    defaultTables(m);
    std::vector<EntityRecord> rows;
    int n = 0;
    // A grid of short lines, dashed and plain, small circles among them and two texts.
    for (int i = 0; i < 300; ++i) {
        const double x = -190 + (i % 20) * 19.0, y = -135 + (i / 20) * 18.0;
        rows.push_back(lineOf(++n, 0, x, y, x + 12, y + 7, 2 + i % 3, i % 7 == 0 ? 2 : 0));
        if (i % 9 == 0) {
            EntityRecord c = lineOf(++n, 0, 0, 0, 0, 0);
            c.entity.type = KindCircle;
            c.shape = CircleShape{x + 6, y - 4, 3};
            rows.push_back(c);
        }
    }
    const auto text = [&](double px, double py, double angle) {
        EntityRecord t = lineOf(++n, 0, 0, 0, 0, 0);
        t.entity.type = KindText;
        TextShape s;
        s.px = px;
        s.py = py;
        s.height = 6;
        s.angle = angle;
        s.text = QStringLiteral("断面 A-A");
        t.shape = s;
        rows.push_back(t);
        return n;
    };
    const int upright = text(-60, 20, 0), turned = text(30, -40, 25);
    // 60 mm wide: at this scale about 100 pixels, its stroke reaching 50 pixels from its
    // middle, over a line 43 pixels away; further than a part looks around itself for
    // thin strokes.
    const int wide = ++n;
    rows.push_back(lineOf(wide, 0, -150, 60, 150, 60, 4, 0, 6000));
    const int under = ++n;
    rows.push_back(lineOf(under, 0, -20, 85, 20, 85, 3));
    m.Add(rows);
    const Sheet sheet{420, 297, 10};
    View view;
    QVERIFY(view.Fit(420, 297, 800, 570));
    QImage picture = render(view, m, sheet);
    const auto differing = [](const QImage &a, const QImage &b) {
        int count = 0;
        for (int y = 0; y < a.height(); ++y)
            for (int x = 0; x < a.width(); ++x)
                count += rgb(a, x, y) != rgb(b, x, y);
        return count;
    };
    const auto setState = [&](const std::vector<int32_t> &entities, int16_t state) {
        for (int32_t e : entities) {
            EntityRecord r = m.Record(*m.Find(e));
            r.entity.state = state;
            QVERIFY(m.Add(r));
        }
    };
    // Erased, restored, added: each time the picture equals the one drawn afresh, pixel for
    // pixel, and the changes showed.
    const std::vector<std::vector<int32_t>> steps = {
        {5, 17, upright, under}, {turned, 40, 41}, {5, upright}, {wide}};
    for (size_t i = 0; i < steps.size(); ++i) {
        const QImage before = picture;
        setState(steps[i], i == 2 ? 1 : 0);
        QVERIFY(RenderChanged(picture, view.Params(), m, sheet, steps[i]));
        const QImage fresh = render(view, m, sheet);
        QVERIFY2(differing(picture, fresh) == 0,
                 qPrintable(QStringLiteral("step %1: %2 pixels differ")
                                .arg(i).arg(differing(picture, fresh))));
        QVERIFY(differing(before, picture) > 0);
    }
    EntityRecord added = lineOf(++n, 0, -100, -100, -40, -60, 2, 3, 50);
    m.Add(added);
    QVERIFY(RenderChanged(picture, view.Params(), m, sheet, {n, 99999}));
    QCOMPARE(differing(picture, render(view, m, sheet)), 0);
    // Too much to draw in parts, or a picture of another size: left as it was.
    std::vector<int32_t> most;
    for (int e = 1; e <= n; ++e)
        most.push_back(e);
    const QImage kept = picture;
    QVERIFY(!RenderChanged(picture, view.Params(), m, sheet, most));
    View other = view;
    QVERIFY(other.Resize(801, 570));
    QVERIFY(!RenderChanged(picture, other.Params(), m, sheet, {5}));
    QCOMPARE(differing(picture, kept), 0);
}

QTEST_MAIN(TestDrawing)
#include "tst_drawing.moc"
