// The geometry of changing figures: offsets, trimming and extending to boundaries, rounded
// and cut corners, and breaks, with the faults each gives for what cannot be done.
#include "figures.h"

#include "editor/model/reshape.h"

#include <limits>

using namespace Geometry;

namespace {

using F = ReshapeFault;

double degrees(double y, double x)
{
    return Normal(std::atan2(y, x) * 180 / Pi);
}

const double Inf = std::numeric_limits<double>::infinity();

QStringList describedAll(const std::vector<Shape> &shapes)
{
    QStringList out;
    for (const Shape &s : shapes)
        out << described(s);
    return out;
}

// A figure changed at a pick against boundaries, into what is left of it (nothing on a fault).
struct Cut
{
    Shape target;
    double x, y;
    std::vector<Shape> boundaries;
    F fault;
    std::vector<Shape> left;
};

// A figure broken at a point, or between two, into what is left of it.
struct Break
{
    Shape figure;
    double x1, y1, x2, y2;
    F fault;
    std::vector<Shape> left;
};

} // namespace

class TestReshape : public QObject
{
    Q_OBJECT

private slots:
    void offset();
    void trim();
    void extend();
    void fillet();
    void chamfer();
    void breaks();
};

void TestReshape::offset()
{
    // A line by its whole line, beyond the segment too; an arc by its whole circle, its span
    // kept; inwards past the centre a circle or arc is gone.
    const LineShape l{0, 0, 10, 0};
    const CircleShape c{1, 1, 5};
    const ArcShape a{0, 0, 5, 0, 90};
    const struct { Shape figure; double distance, x, y; F fault; Shape out; } cases[] = {
        {l, 2, 5, 3, F::None, LineShape{0, 2, 10, 2}},
        {l, 2, 20, -1, F::None, LineShape{0, -2, 10, -2}},
        {l, 2, 5, 0, F::NoSize, {}}, {l, 0, 5, 3, F::NoSize, {}}, {l, -1, 5, 3, F::NoSize, {}},
        {l, NAN, 5, 3, F::NoSize, {}}, {l, 2, Inf, 3, F::NoSize, {}},
        {TextShape{}, 2, 5, 3, F::Unsupported, {}},
        {c, 2, 11, 1, F::None, CircleShape{1, 1, 7}}, {c, 2, 2, 1, F::None, CircleShape{1, 1, 3}},
        {c, 5, 2, 1, F::PastCentre, {}}, {c, 6, 2, 1, F::PastCentre, {}},
        {c, 2, 6, 1, F::NoSize, {}}, // on the circle
        {a, 1.5, -10, -10, F::None, ArcShape{0, 0, 6.5, 0, 90}},
        {a, 1.5, 1, 1, F::None, ArcShape{0, 0, 3.5, 0, 90}}, {a, 5.5, 1, 1, F::PastCentre, {}}};
    for (const auto &k : cases) {
        Shape out = LineShape{1, 2, 3, 4};
        QCOMPARE(Offset(k.figure, k.distance, k.x, k.y, out), k.fault);
        QCOMPARE(described(out), described(k.out));
    }
    QVERIFY(near(OffsetDistance(l, 20, 4), 4) && near(OffsetDistance(c, 1, 9), 3));
    QVERIFY(near(OffsetDistance(a, -3, 0), 2) && OffsetDistance(l, NAN, 0) == 0.0);
}

void TestReshape::trim()
{
    // A boundary short of the line, or meeting it only at an end, cuts nothing; an arc
    // boundary cuts only within its span. A circle loses the part between the crossings
    // either side of the pick, an arc the part along its span.
    const LineShape l{0, 0, 10, 0};
    const CircleShape c{0, 0, 5};
    const ArcShape a{0, 0, 5, 0, 180};
    const std::vector<Shape> two{LineShape{3, -1, 3, 1}, LineShape{7, -1, 7, 1}, TextShape{}};
    const std::vector<Shape> across{LineShape{-10, 0, 10, 0}};
    const Cut cases[] = {
        {l, 5, 0.2, two, F::None, {LineShape{0, 0, 3, 0}, LineShape{7, 0, 10, 0}}},
        {l, 8, 0, two, F::None, {LineShape{0, 0, 7, 0}}},
        {l, 1, 0, two, F::None, {LineShape{3, 0, 10, 0}}},
        {l, 5, 0, {LineShape{5, 1, 5, 4}}, F::NoCrossing, {}},
        {l, 5, 0, {LineShape{0, -1, 0, 1}, LineShape{10, -1, 10, 1}}, F::NoCrossing, {}},
        {l, 2, 0, {LineShape{0, -1, 0, 1}, CircleShape{7, 0, 2}}, F::None,
         {LineShape{5, 0, 10, 0}}},
        {l, 5, 0, {ArcShape{5, 0, 2, 0, 90}}, F::None, {LineShape{7, 0, 10, 0}}},
        {c, 0, 5, across, F::None, {ArcShape{0, 0, 5, 180, 0}}},
        {c, 0, -4, across, F::None, {ArcShape{0, 0, 5, 0, 180}}},
        {c, 4, 3, {across[0], LineShape{0, 0, 0, 10}}, F::None, {ArcShape{0, 0, 5, 90, 0}}},
        {c, 0, 5, {LineShape{0, 0, 10, 0}}, F::NoCrossing, {}},
        {a, 4, 3, {LineShape{0, -10, 0, 10}}, F::None, {ArcShape{0, 0, 5, 90, 180}}},
        {a, 0, 5, {LineShape{-3, 0, -3, 10}, LineShape{3, 0, 3, 10}}, F::None,
         {ArcShape{0, 0, 5, 0, degrees(4, 3)}, ArcShape{0, 0, 5, degrees(4, -3), 180}}},
        {l, NAN, 0, two, F::NoSize, {}}, {TextShape{}, 0, 0, two, F::Unsupported, {}},
        {LineShape{0, 0, NAN, 0}, 1, 0, two, F::NoSize, {}}};
    for (const Cut &k : cases) {
        std::vector<Shape> pieces{LineShape{1, 2, 3, 4}};
        QCOMPARE(Trim(k.target, k.x, k.y, k.boundaries, pieces), k.fault);
        QCOMPARE(describedAll(pieces), describedAll(k.left));
    }
}

void TestReshape::extend()
{
    // A line to the nearest wall it meets (the short one is missed) from the nearer end; an
    // arc along its circle, outwards from the nearer end.
    const LineShape l{0, 0, 5, 0};
    const ArcShape a{0, 0, 5, 0, 90};
    const std::vector<Shape> walls{LineShape{8, 1, 8, 3}, LineShape{12, -1, 12, 1},
                                   LineShape{-3, -1, -3, 1}};
    const std::vector<Shape> upright{LineShape{-3, -10, -3, 10}};
    const Cut cases[] = {
        {l, 4, 0, walls, F::None, {LineShape{0, 0, 12, 0}}},
        {l, 1, 0, walls, F::None, {LineShape{-3, 0, 5, 0}}},
        {l, 4, 0, {LineShape{8, -1, 8, 1}, walls[1]}, F::None, {LineShape{0, 0, 8, 0}}},
        {LineShape{0, 0, 2, 0}, 2, 0, {CircleShape{0, 0, 5}}, F::None, {LineShape{0, 0, 5, 0}}},
        {l, 4, 0, {walls[2], LineShape{3, -1, 3, 1}}, F::NoCrossing, {}},
        {a, 0, 5, upright, F::None, {ArcShape{0, 0, 5, 0, degrees(4, -3)}}},
        {a, 5, 0.5, upright, F::None, {ArcShape{0, 0, 5, degrees(-4, -3), 90}}},
        {a, 0, 5, {ArcShape{-6, 0, 3, 90, 270}}, F::NoCrossing, {}},
        {CircleShape{0, 0, 5}, 5, 0, upright, F::Unsupported, {}},
        {TextShape{}, 5, 0, upright, F::Unsupported, {}}, {l, 4, Inf, walls, F::NoSize, {}}};
    for (const Cut &k : cases) {
        Shape out = LineShape{1, 2, 3, 4};
        QCOMPARE(Extend(k.target, k.x, k.y, k.boundaries, out), k.fault);
        QCOMPARE(described(out), k.left.empty() ? described(Shape()) : described(k.left[0]));
    }
}

void TestReshape::fillet()
{
    // The picks name the quadrant of two crossing lines. Lines short of the corner are drawn
    // on to the rounding; the radius may pass their near ends, not their far ones. At 45
    // degrees the tangent points lie r / tan(22.5) from the corner. A radius of 0 makes a
    // sharp corner (an arc drawn on from its nearer end to the line).
    const LineShape across{0, 0, 10, 0}, up{0, 0, 0, 10}, x{-10, 0, 10, 0}, y{0, -10, 0, 10};
    const LineShape shortX{5, 0, 10, 0}, shortY{0, 5, 0, 10};
    const double t = 1 / std::tan(22.5 * Pi / 180), h = t * std::sqrt(0.5);
    // A line and an arc: outside the circle, then inside it, then the other way round; a
    // rounding that would touch a short arc beyond its far end is not one somewhere else.
    const ArcShape top{0, 0, 5, 0, 180};
    const double s35 = std::sqrt(35.0), s15 = std::sqrt(15.0), s55 = std::sqrt(55.0);
    const double topX = 2.5, topY = 5 * std::sin(Pi / 3);
    const double lowX = 5 * std::cos(Pi / 36), lowY = 5 * std::sin(Pi / 36);
    // Two arcs rounded outside both, above where they cross.
    const ArcShape left{0, 0, 5, 0, 120}, right{8, 0, 5, 60, 180};
    const double s20 = std::sqrt(20.0), at = degrees(s20, 4), d100 = 100 * Pi / 180;
    const struct { Shape a; double ax, ay; Shape b; double bx, by, r; F fault;
                   Shape wantA, wantB; ArcShape arc; } cases[] = {
        {across, 8, 0, up, 0, 8, 2, F::None, LineShape{2, 0, 10, 0}, LineShape{0, 2, 0, 10},
         {2, 2, 2, 180, 270}},
        {x, -5, 0, y, 0, -5, 2, F::None, LineShape{-10, 0, -2, 0}, LineShape{0, -10, 0, -2},
         {-2, -2, 2, 0, 90}},
        {shortX, 8, 0, shortY, 0, 8, 3, F::None, LineShape{3, 0, 10, 0}, LineShape{0, 3, 0, 10},
         {3, 3, 3, 180, 270}},
        {shortX, 8, 0, shortY, 0, 8, 7, F::None, LineShape{7, 0, 10, 0}, LineShape{0, 7, 0, 10},
         {7, 7, 7, 180, 270}},
        {shortX, 8, 0, shortY, 0, 8, 12, F::TooBig, {}, {}, {}},
        {across, 9, 0, LineShape{0, 0, 10, 10}, 9, 9, 1, F::None, LineShape{t, 0, 10, 0},
         LineShape{h, h, 10, 10}, {t, 1, 1, 135, 270}},
        {LineShape{0, 0, 8, 0}, 4, 0, LineShape{10, 2, 10, 9}, 10, 5, 0, F::None,
         LineShape{0, 0, 10, 0}, LineShape{10, 0, 10, 9}, {10, 0, 0, 0, 0}},
        {across, 5, 0, LineShape{0, 5, 10, 5}, 5, 5, 1, F::Parallel, {}, {}, {}},
        {x, 8, 0, top, topX, topY, 1, F::None, LineShape{s35, 0, 10, 0},
         ArcShape{0, 0, 5, degrees(1, s35), 180}, {s35, 1, 1, 180 + degrees(1, s35), 270}},
        {x, 3, 0, top, topX, topY, 1, F::None, LineShape{-10, 0, s15, 0},
         ArcShape{0, 0, 5, degrees(1, s15), 180}, {s15, 1, 1, 270, degrees(1, s15)}},
        {top, topX, topY, x, 8, 0, 1, F::None, ArcShape{0, 0, 5, degrees(1, s35), 180},
         LineShape{s35, 0, 10, 0}, {s35, 1, 1, 180 + degrees(1, s35), 270}},
        {x, 8, 0, ArcShape{0, 0, 5, 30, 150}, 0, 5, 0, F::None, LineShape{5, 0, 10, 0},
         ArcShape{0, 0, 5, 0, 150}, {5, 0, 0, 0, 0}},
        {x, 8, 0, ArcShape{0, 0, 5, 0, 10}, lowX, lowY, 3, F::TooBig, {}, {}, {}},
        {x, 8, 0, ArcShape{0, 0, 5, 0, 30}, lowX, lowY, 3, F::None, LineShape{s55, 0, 10, 0},
         ArcShape{0, 0, 5, degrees(3, s55), 30}, {s55, 3, 3, 180 + degrees(3, s55), 270}},
        // A line too far from a small arc for the rounding to touch both.
        {LineShape{-5, 10, 5, 10}, 0, 10, ArcShape{0, 0, 1, 0, 180}, 0, 1, 1, F::TooBig, {}, {},
         {}},
        {left, 5 * std::cos(d100), 5 * std::sin(d100), right, 8 - 5 * std::cos(d100),
         5 * std::sin(d100), 1, F::None, ArcShape{0, 0, 5, at, 120},
         ArcShape{8, 0, 5, 60, 180 - at}, {4, s20, 1, 180 + at, 360 - at}},
        {CircleShape{0, 0, 5}, 5, 0, x, 0, 0, 1, F::Unsupported, {}, {}, {}},
        {across, 8, 0, up, 0, 8, -1, F::NoSize, {}, {}, {}},
        {across, NAN, 0, up, 0, 8, 1, F::NoSize, {}, {}, {}}};
    for (const auto &k : cases) {
        Shape a, b;
        ArcShape arc{1, 1, 1, 1, 1};
        QCOMPARE(Fillet(k.a, k.ax, k.ay, k.b, k.bx, k.by, k.r, a, b, arc), k.fault);
        QCOMPARE(QStringList({described(a), described(b), described(arc)}),
                 QStringList({described(k.wantA), described(k.wantB), described(k.arc)}));
    }
}

void TestReshape::chamfer()
{
    LineShape a, b, cut;
    const LineShape across{0, 0, 10, 0}, up{0, 0, 0, 10};
    QCOMPARE(Chamfer(across, 8, 0, up, 0, 8, 2, 3, a, b, cut), F::None);
    QVERIFY(isLine(a, 2, 0, 10, 0) && isLine(b, 0, 3, 0, 10) && isLine(cut, 2, 0, 0, 3));
    // Short of the corner, and picks on the far side of a crossing.
    QCOMPARE(Chamfer(LineShape{5, 0, 10, 0}, 8, 0, LineShape{0, 5, 0, 10}, 0, 8, 2, 2, a, b, cut),
             F::None);
    QVERIFY(isLine(a, 2, 0, 10, 0) && isLine(cut, 2, 0, 0, 2));
    QCOMPARE(Chamfer(LineShape{-10, 0, 10, 0}, -4, 0, up, 0, 8, 1, 1, a, b, cut), F::None);
    QVERIFY(isLine(a, -10, 0, -1, 0) && isLine(cut, -1, 0, 0, 1));
    QCOMPARE(Chamfer(across, 8, 0, up, 0, 8, 0, 0, a, b, cut), F::None);
    QVERIFY(isLine(a, 0, 0, 10, 0) && isLine(cut, 0, 0, 0, 0));

    QCOMPARE(Chamfer(across, 8, 0, LineShape{0, 5, 10, 5}, 5, 5, 1, 1, a, b, cut), F::Parallel);
    for (const auto &[d1, d2, fault] : {std::tuple{11.0, 1.0, F::TooBig}, {1.0, 10.0, F::TooBig},
                                        {-1.0, 1.0, F::NoSize}, {1.0, double(NAN), F::NoSize}}) {
        a = LineShape{1, 1, 1, 1};
        QCOMPARE(Chamfer(across, 8, 0, up, 0, 8, d1, d2, a, b, cut), fault);
        QVERIFY(isLine(a, 0, 0, 0, 0));
    }
}

void TestReshape::breaks()
{
    // At a point, or between two; a circle keeps the arc from the second point round to the
    // first; an arc over direction 0 keeps its two ends.
    const LineShape l{0, 0, 10, 0};
    const CircleShape c{0, 0, 5};
    const double cx = 5 * std::cos(Pi / 6), sy = 5 * std::sin(Pi / 6);
    // No second point (NaN): at one.
    const Break cases[] = {
        {l, 4, 1, NAN, NAN, F::None, {LineShape{0, 0, 4, 0}, LineShape{4, 0, 10, 0}}},
        {l, 0, 0, NAN, NAN, F::OnEnd, {}}, {l, -3, 1, NAN, NAN, F::OnEnd, {}},
        {c, 5, 0, NAN, NAN, F::Unsupported, {}}, {l, NAN, 0, NAN, NAN, F::NoSize, {}},
        {ArcShape{0, 0, 5, 0, 90}, 1, std::sqrt(3.0), NAN, NAN, F::None,
         {ArcShape{0, 0, 5, 0, 60}, ArcShape{0, 0, 5, 60, 90}}},
        {l, 7, 0, 3, 1, F::None, {LineShape{0, 0, 3, 0}, LineShape{7, 0, 10, 0}}},
        {l, 0, 0, 4, 0, F::None, {LineShape{4, 0, 10, 0}}},
        {l, 4, 0, 4, 2, F::OnEnd, {}}, {l, -1, 0, 11, 0, F::OnEnd, {}},
        {c, 5, 0, 0, 5, F::None, {ArcShape{0, 0, 5, 90, 0}}},
        {c, 5, 0, 9, 0, F::OnEnd, {}}, {c, 5, 0, 0, Inf, F::NoSize, {}},
        {ArcShape{0, 0, 5, 300, 60}, cx, sy, cx, -sy, F::None,
         {ArcShape{0, 0, 5, 300, 330}, ArcShape{0, 0, 5, 30, 60}}},
        {TextShape{}, 0, 0, 1, 1, F::Unsupported, {}}};
    for (const auto &k : cases) {
        std::vector<Shape> pieces{LineShape{1, 2, 3, 4}};
        const bool between = !std::isnan(k.x2);
        QCOMPARE(between ? BreakBetween(k.figure, k.x1, k.y1, k.x2, k.y2, pieces)
                         : BreakAt(k.figure, k.x1, k.y1, pieces),
                 k.fault);
        QCOMPARE(describedAll(pieces), describedAll(k.left));
    }
}

QTEST_MAIN(TestReshape)
#include "tst_reshape.moc"
