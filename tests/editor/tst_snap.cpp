// Where figures meet and the points a point finds on them, and the snap that picks among
// them: every kind on each figure it applies to, the priority, and what is never taken.
#include "editortest.h"
#include "editor/model/drawingmodel.h"
#include "editor/model/intersect.h"
#include "editor/view/snap.h"

#include <QtTest>

#include <cmath>

using namespace Geometry;

namespace {

// The points found, in any order, each within 1e-9 of one expected.
bool same(int n, const double xs[2], const double ys[2], std::vector<QPointF> want)
{
    if (n != int(want.size()))
        return false;
    for (int i = 0; i < n; ++i) {
        const auto it = std::find_if(want.begin(), want.end(), [&](const QPointF &p) {
            return std::hypot(p.x() - xs[i], p.y() - ys[i]) < 1e-9;
        });
        if (it == want.end())
            return false;
        want.erase(it);
    }
    return true;
}

EntityRecord entity(int n, const Shape &shape, int layer = 0, int state = 1)
{
    EntityRecord e;
    const int16_t kind = std::holds_alternative<LineShape>(shape)     ? KindLine
                         : std::holds_alternative<CircleShape>(shape) ? KindCircle
                         : std::holds_alternative<ArcShape>(shape)    ? KindArc
                                                                      : KindText;
    e.entity = {n, 1, int16_t(state), kind, n};
    e.row = n;
    e.look.layer = int16_t(layer);
    e.shape = shape;
    return e;
}

} // namespace

class TestSnap : public QObject
{
    Q_OBJECT

private slots:
    void meetings();
    void feetTangentsNearest();
    void everyKind();
    void priorityAndSwitches();
};

void TestSnap::meetings()
{
    double xs[2], ys[2];
    const LineShape cross{0, 0, 10, 10}, back{0, 10, 10, 0}, shortLine{0, 0, 1, 1};
    QVERIFY(same(Intersect(cross, back, false, xs, ys), xs, ys, {{5, 5}}));
    QCOMPARE(Intersect(shortLine, back, false, xs, ys), 0);
    QVERIFY(same(Intersect(shortLine, back, true, xs, ys), xs, ys, {{5, 5}}));
    QCOMPARE(Intersect(cross, LineShape{1, 0, 11, 10}, true, xs, ys), 0); // parallel
    QCOMPARE(Intersect(cross, LineShape{3, 3, 3, 3}, true, xs, ys), 0);   // no direction

    const CircleShape c{0, 0, 5};
    QVERIFY(same(Intersect(LineShape{-10, 0, 10, 0}, c, false, xs, ys), xs, ys,
                 {{-5, 0}, {5, 0}}));
    QVERIFY(same(Intersect(LineShape{0, 0, 10, 0}, c, false, xs, ys), xs, ys, {{5, 0}}));
    QVERIFY(same(Intersect(LineShape{0, 0, 10, 0}, c, true, xs, ys), xs, ys,
                 {{-5, 0}, {5, 0}}));
    QVERIFY(same(Intersect(LineShape{-9, 5, 9, 5}, c, false, xs, ys), xs, ys, {{0, 5}}));
    QCOMPARE(Intersect(LineShape{-9, 6, 9, 6}, c, true, xs, ys), 0);

    // Arcs only within their span, unless extended to their circle.
    const ArcShape quarter{0, 0, 5, 0, 90};
    QVERIFY(same(Intersect(LineShape{3, -10, 3, 10}, quarter, false, xs, ys), xs, ys, {{3, 4}}));
    QVERIFY(same(Intersect(LineShape{3, -10, 3, 10}, quarter, true, xs, ys), xs, ys,
                 {{3, 4}, {3, -4}}));
    QVERIFY(same(Intersect(LineShape{0, 0, 10, 0}, quarter, false, xs, ys), xs, ys, {{5, 0}}));

    const CircleShape right{8, 0, 5};
    QVERIFY(same(Intersect(c, right, xs, ys), xs, ys, {{4, 3}, {4, -3}}));
    QVERIFY(same(Intersect(CircleShape{10, 0, 5}, c, xs, ys), xs, ys, {{5, 0}}));
    QCOMPARE(Intersect(c, CircleShape{0, 0, 3}, xs, ys), 0);  // one inside the other
    QCOMPARE(Intersect(c, CircleShape{0, 0, 5}, xs, ys), 0);  // the same circle
    QCOMPARE(Intersect(c, CircleShape{20, 0, 5}, xs, ys), 0); // apart
    QVERIFY(same(Intersect(right, quarter, false, xs, ys), xs, ys, {{4, 3}}));
    QVERIFY(same(Intersect(right, quarter, true, xs, ys), xs, ys, {{4, 3}, {4, -3}}));
    const ArcShape left{8, 0, 5, 90, 270};
    QVERIFY(same(Intersect(quarter, left, false, xs, ys), xs, ys, {{4, 3}}));
    QCOMPARE(Intersect(quarter, ArcShape{8, 0, 5, 270, 90}, false, xs, ys), 0);
    QVERIFY(same(Intersect(quarter, ArcShape{8, 0, 5, 270, 90}, true, xs, ys), xs, ys,
                 {{4, 3}, {4, -3}}));
    const double inf = std::numeric_limits<double>::infinity();
    QCOMPARE(Intersect(LineShape{0, 0, inf, 1}, c, true, xs, ys), 0);
    QCOMPARE(Intersect(c, CircleShape{1, 0, NAN}, xs, ys), 0);
}

void TestSnap::feetTangentsNearest()
{
    double xs[2], ys[2];
    const LineShape l{0, 0, 10, 0};
    QVERIFY(same(Foot(3, 7, l, false, xs, ys), xs, ys, {{3, 0}}));
    QCOMPARE(Foot(12, 5, l, false, xs, ys), 0);
    QVERIFY(same(Foot(12, 5, l, true, xs, ys), xs, ys, {{12, 0}}));
    const CircleShape c{0, 0, 5};
    QVERIFY(same(Foot(10, 0, c, xs, ys), xs, ys, {{5, 0}, {-5, 0}}));
    QCOMPARE(Foot(0, 0, c, xs, ys), 0);
    const ArcShape quarter{0, 0, 5, 0, 90};
    QVERIFY(same(Foot(10, 0, quarter, xs, ys), xs, ys, {{5, 0}}));

    // The touching points see the point and the centre at a right angle.
    const double h = 5 * std::sin(std::acos(0.5));
    QVERIFY(same(Tangents(10, 0, c, xs, ys), xs, ys, {{2.5, h}, {2.5, -h}}));
    QCOMPARE(Tangents(1, 0, c, xs, ys), 0);
    QVERIFY(same(Tangents(5, 0, c, xs, ys), xs, ys, {{5, 0}}));
    QVERIFY(same(Tangents(10, 0, quarter, xs, ys), xs, ys, {{2.5, h}}));

    double x, y;
    Nearest(-3, 4, l, x, y);
    QCOMPARE(QPointF(x, y), QPointF(0, 0));
    Nearest(4, -4, l, x, y);
    QCOMPARE(QPointF(x, y), QPointF(4, 0));
    Nearest(0, 10, c, x, y);
    QCOMPARE(QPointF(x, y), QPointF(0, 5));
    Nearest(0, 0, c, x, y); // every point as near: one still comes
    QCOMPARE(std::hypot(x, y), 5.0);
    Nearest(3, -1, quarter, x, y); // beyond the span: the nearer end
    QCOMPARE(QPointF(x, y), QPointF(5, 0));
    Nearest(-1, 4, quarter, x, y);
    QCOMPARE(QPointF(x, y), QPointF(0, 5));
}

void TestSnap::everyKind()
{
    DrawingModel m(1);
    std::vector<LayerRow> layers = plainLayers();
    layers[2].visible = 0;
    m.SetLayers(layers);
    TextShape text;
    text.px = 150;
    text.py = 0;
    text.height = 3;
    text.text = QStringLiteral("A");
    m.Add({entity(1, LineShape{0, 0, 20, 0}), entity(2, LineShape{12, -10, 12, 10}),
           entity(3, CircleShape{50, 0, 10}), entity(4, ArcShape{100, 0, 10, 0, 180}),
           entity(5, text), entity(6, LineShape{56, -20, 56, 20}),
           entity(7, CircleShape{66, 0, 10}), entity(8, LineShape{103, -20, 103, 20}),
           entity(9, CircleShape{116, 0, 10}), entity(10, ArcShape{100, 16, 10, 180, 360}),
           entity(11, LineShape{15, -5, 15, 5}, 2), entity(12, LineShape{17, -5, 17, 5}, 0, 0),
           entity(13, CircleShape{100, -30, 10})});

    const double h = 10 * std::sin(std::acos(1.0 / 3)), w = 10 * (1.0 / 3);
    struct Case
    {
        double x, y;
        unsigned kinds;
        bool last;
        double lx, ly;
        double grid;
        SnapKind kind;
        double sx, sy;
    } cases[] = {
        {0.3, -0.4, SnapAll, false, 0, 0, 0, SnapEnd, 0, 0},              // a line's end
        {110.2, 0.5, SnapAll, false, 0, 0, 0, SnapEnd, 110, 0},           // an arc's
        {150.5, 0.5, SnapAll, false, 0, 0, 0, SnapEnd, 150, 0},           // a text's anchor
        {12.4, 0.3, SnapAll, false, 0, 0, 0, SnapIntersection, 12, 0},    // line and line
        {56.3, 7.6, SnapAll, false, 0, 0, 0, SnapIntersection, 56, 8},    // line, circle
        {58.2, -5.8, SnapAll, false, 0, 0, 0, SnapIntersection, 58, -6},  // circle, circle
        {103.2, 9.3, SnapAll, false, 0, 0, 0, SnapIntersection, 103, std::sqrt(91.0)}, // arc
        {108.2, 5.8, SnapAll, false, 0, 0, 0, SnapIntersection, 108, 6},  // circle, arc
        {94.3, 7.8, SnapAll, false, 0, 0, 0, SnapIntersection, 94, 8},    // arc, arc
        {50.4, 0.3, SnapAll, false, 0, 0, 0, SnapCentre, 50, 0},          // a circle's
        {100.3, 0.6, SnapAll, false, 0, 0, 0, SnapCentre, 100, 0},        // an arc's
        {10.3, 0.2, SnapAll, false, 0, 0, 0, SnapMiddle, 10, 0},          // a line's
        {100.2, 9.7, SnapAll, false, 0, 0, 0, SnapMiddle, 100, 10},       // an arc's
        {50.3, 10.2, SnapAll, false, 0, 0, 0, SnapQuadrant, 50, 10},      // a circle's
        {100.2, 9.7, SnapQuadrant, false, 0, 0, 0, SnapQuadrant, 100, 10}, // an arc's
        {5.3, 0.4, SnapPerpendicular, true, 5, 30, 0, SnapPerpendicular, 5, 0},
        {100.2, -39.6, SnapPerpendicular, true, 100, 10, 0, SnapPerpendicular, 100, -40},
        {90.3, 0.2, SnapPerpendicular, true, 130, 0, 0, SnapPerpendicular, 90, 0},
        {59.6, 3.5, SnapTangent, true, 50, 30, 0, SnapTangent, 50 + h, w},
        {90.4, 3.1, SnapTangent, true, 100, 30, 0, SnapTangent, 100 - h, w},
        {3, 0.5, SnapAll, false, 0, 0, 0, SnapNearest, 3, 0},             // a line's
        {50, -10.4, SnapNearest, false, 0, 0, 0, SnapNearest, 50, -10},   // a circle's
        {100, 10.4, SnapNearest, false, 0, 0, 0, SnapNearest, 100, 10}, // an arc's
        {150.5, 0.5, SnapNearest, false, 0, 0, 0, SnapNearest, 150, 0},   // a text's anchor
        {200.6, 0.4, SnapAll, false, 0, 0, 5, SnapGrid, 200, 0},
    };
    for (const Case &c : cases) {
        SnapResult s;
        const QString at = QStringLiteral("%1,%2").arg(c.x).arg(c.y);
        QVERIFY2(FindSnap(m, {c.x, c.y, 1, c.kinds, c.last, c.lx, c.ly, c.grid}, s),
                 qPrintable(at));
        QVERIFY2(s.kind == c.kind, qPrintable(at + " kind " + QString::number(s.kind)));
        QVERIFY2(std::hypot(s.x - c.sx, s.y - c.sy) < 1e-9, qPrintable(at));
    }
    // Not on the arc's span, not from the line's middle without a last point, not through
    // a hidden line or an erased one, not away from everything.
    const SnapQuery misses[] = {
        {103.2, -9.3, 1, SnapIntersection, false, 0, 0, 0},
        {100.2, -9.8, 1, SnapQuadrant | SnapTangent | SnapPerpendicular, true, 100, -30, 0},
        {5.3, 0.4, 1, SnapPerpendicular, false, 0, 0, 0},
        {15.2, 0.3, 1, SnapIntersection | SnapEnd | SnapMiddle, false, 0, 0, 0},
        {17.2, 0.3, 1, SnapIntersection | SnapEnd | SnapMiddle, false, 0, 0, 0},
        {30, 30, 1, SnapAll, true, 0, 0, 0},
        {0, 0, 1, SnapAll, true, NAN, 0, 0},
    };
    for (const SnapQuery &q : misses) {
        SnapResult s;
        QVERIFY2(!FindSnap(m, q, s), qPrintable(QStringLiteral("%1,%2").arg(q.x).arg(q.y)));
    }
}

void TestSnap::priorityAndSwitches()
{
    DrawingModel m(1);
    m.SetLayers(plainLayers());
    // A short line crossed near its start, a circle's centre and quadrant close by.
    m.Add({entity(1, LineShape{0, 0, 1, 0}), entity(2, LineShape{0.2, -1, 0.2, 1}),
           entity(3, CircleShape{0.7, 0.6, 0.5})});
    // Each kind switched off in turn gives the next; the nearest of a kind wins.
    const std::pair<SnapKind, QPointF> order[] = {
        {SnapEnd, {0, 0}},           {SnapIntersection, {0.2, 0}}, {SnapCentre, {0.7, 0.6}},
        {SnapMiddle, {0.5, 0}},      {SnapQuadrant, {0.7, 0.1}},     {SnapPerpendicular, {0.4, 0}},
        {SnapTangent, {0, 0}},   {SnapNearest, {0.4, 0}},      {SnapGrid, {0, 0}}};
    unsigned kinds = SnapAll;
    for (const auto &[kind, point] : order) {
        SnapResult s;
        QVERIFY(FindSnap(m, {0.4, 0.05, 1.5, kinds, true, 0.4, -0.6, 10}, s));
        QCOMPARE(s.kind, kind);
        if (kind != SnapTangent)
            QVERIFY2(std::hypot(s.x - point.x(), s.y - point.y()) < 1e-6,
                     qPrintable(QStringLiteral("%1 %2,%3").arg(kind).arg(s.x).arg(s.y)));
        kinds &= ~unsigned(kind);
    }
    SnapResult s;
    QVERIFY(!FindSnap(m, {0.4, 0.05, 1.5, kinds, true, 0.4, -0.6, 10}, s));

    // The sheet frame's corners are ends: taken when nearer than the line's, never when
    // ends are switched off.
    const std::vector<std::pair<double, double>> corners{{0.3, 0.3}, {50, 50}};
    SnapQuery q{0.4, 0.2, 1.5, SnapAll, false, 0, 0, 0, &corners};
    QVERIFY(FindSnap(m, q, s));
    QCOMPARE(QPointF(s.x, s.y), QPointF(0.3, 0.3));
    q.x = 0.05;
    QVERIFY(FindSnap(m, q, s));
    QCOMPARE(QPointF(s.x, s.y), QPointF(0, 0));
    q.kinds = SnapAll & ~unsigned(SnapEnd);
    QVERIFY(FindSnap(m, q, s) && s.kind != SnapEnd);
}

QTEST_MAIN(TestSnap)
#include "tst_snap.moc"
