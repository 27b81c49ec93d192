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
    Shape out;
    const LineShape l{0, 0, 10, 0};
    QCOMPARE(Offset(l, 2, 5, 3, out), F::None);
    QVERIFY(isLine(out, 0, 2, 10, 2));
    QCOMPARE(Offset(l, 2, 20, -1, out), F::None); // beyond the segment: its whole line counts
    QVERIFY(isLine(out, 0, -2, 10, -2));
    for (const auto &[d, x, y] : {std::tuple{2.0, 5.0, 0.0}, {0.0, 5.0, 3.0}, {-1.0, 5.0, 3.0},
                                  {double(NAN), 5.0, 3.0}, {2.0, Inf, 3.0}}) {
        QCOMPARE(Offset(l, d, x, y, out), F::NoSize);
        QVERIFY(std::holds_alternative<std::monostate>(out));
    }
    QCOMPARE(Offset(TextShape{}, 2, 5, 3, out), F::Unsupported);

    const CircleShape c{1, 1, 5};
    QCOMPARE(Offset(c, 2, 11, 1, out), F::None);
    QVERIFY(std::holds_alternative<CircleShape>(out) && near(std::get<CircleShape>(out).r, 7));
    QCOMPARE(Offset(c, 2, 2, 1, out), F::None);
    QVERIFY(near(std::get<CircleShape>(out).r, 3));
    QVERIFY(Offset(c, 5, 2, 1, out) == F::PastCentre && Offset(c, 6, 2, 1, out) == F::PastCentre);
    QCOMPARE(Offset(c, 2, 6, 1, out), F::NoSize); // on the circle

    // An arc by its whole circle, its span kept; inwards past its centre it is gone.
    const ArcShape a{0, 0, 5, 0, 90};
    QCOMPARE(Offset(a, 1.5, -10, -10, out), F::None);
    QVERIFY(isArc(out, 0, 0, 6.5, 0, 90));
    QCOMPARE(Offset(a, 1.5, 1, 1, out), F::None);
    QVERIFY(isArc(out, 0, 0, 3.5, 0, 90));
    QCOMPARE(Offset(a, 5.5, 1, 1, out), F::PastCentre);

    QVERIFY(near(OffsetDistance(l, 20, 4), 4) && near(OffsetDistance(c, 1, 9), 3));
    QVERIFY(near(OffsetDistance(a, -3, 0), 2) && OffsetDistance(l, NAN, 0) == 0.0);
}

void TestReshape::trim()
{
    std::vector<Shape> pieces;
    const LineShape l{0, 0, 10, 0};
    const std::vector<Shape> two{LineShape{3, -1, 3, 1}, LineShape{7, -1, 7, 1}, TextShape{}};
    QCOMPARE(Trim(l, 5, 0.2, two, pieces), F::None);
    QCOMPARE(pieces.size(), size_t(2));
    QVERIFY(isLine(pieces[0], 0, 0, 3, 0) && isLine(pieces[1], 7, 0, 10, 0));
    QCOMPARE(Trim(l, 8, 0, two, pieces), F::None);
    QCOMPARE(pieces.size(), size_t(1));
    QVERIFY(isLine(pieces[0], 0, 0, 7, 0));
    QCOMPARE(Trim(l, 1, 0, two, pieces), F::None);
    QVERIFY(pieces.size() == 1 && isLine(pieces[0], 3, 0, 10, 0));

    // A boundary short of the line, or meeting it only at an end, cuts nothing.
    QCOMPARE(Trim(l, 5, 0, {LineShape{5, 1, 5, 4}}, pieces), F::NoCrossing);
    QVERIFY(pieces.empty());
    QCOMPARE(Trim(l, 5, 0, {LineShape{0, -1, 0, 1}, LineShape{10, -1, 10, 1}}, pieces),
             F::NoCrossing);
    QCOMPARE(Trim(l, 2, 0, {LineShape{0, -1, 0, 1}, CircleShape{7, 0, 2}}, pieces), F::None);
    QVERIFY(pieces.size() == 1 && isLine(pieces[0], 5, 0, 10, 0));
    // An arc boundary only within its span.
    QCOMPARE(Trim(l, 5, 0, {ArcShape{5, 0, 2, 0, 90}}, pieces), F::None);
    QVERIFY(pieces.size() == 1 && isLine(pieces[0], 7, 0, 10, 0));

    // A circle loses the part between the crossings either side of the pick.
    const CircleShape c{0, 0, 5};
    const std::vector<Shape> across{LineShape{-10, 0, 10, 0}};
    QCOMPARE(Trim(c, 0, 5, across, pieces), F::None);
    QVERIFY(pieces.size() == 1 && isArc(pieces[0], 0, 0, 5, 180, 0));
    QCOMPARE(Trim(c, 0, -4, across, pieces), F::None);
    QVERIFY(pieces.size() == 1 && isArc(pieces[0], 0, 0, 5, 0, 180));
    const std::vector<Shape> three{LineShape{-10, 0, 10, 0}, LineShape{0, 0, 0, 10}};
    QCOMPARE(Trim(c, 4, 3, three, pieces), F::None);
    QVERIFY(pieces.size() == 1 && isArc(pieces[0], 0, 0, 5, 90, 0));
    QCOMPARE(Trim(c, 0, 5, {LineShape{0, 0, 10, 0}}, pieces), F::NoCrossing);

    // An arc along its span.
    const ArcShape a{0, 0, 5, 0, 180};
    QCOMPARE(Trim(a, 4, 3, {LineShape{0, -10, 0, 10}}, pieces), F::None);
    QVERIFY(pieces.size() == 1 && isArc(pieces[0], 0, 0, 5, 90, 180));
    QCOMPARE(Trim(a, 0, 5, {LineShape{-3, 0, -3, 10}, LineShape{3, 0, 3, 10}}, pieces), F::None);
    QCOMPARE(pieces.size(), size_t(2));
    QVERIFY(isArc(pieces[0], 0, 0, 5, 0, degrees(4, 3)));
    QVERIFY(isArc(pieces[1], 0, 0, 5, degrees(4, -3), 180));

    QVERIFY(Trim(l, NAN, 0, two, pieces) == F::NoSize);
    QVERIFY(Trim(LineShape{0, 0, NAN, 0}, 1, 0, two, pieces) == F::NoSize);
    QCOMPARE(Trim(TextShape{}, 0, 0, two, pieces), F::Unsupported);
}

void TestReshape::extend()
{
    Shape out;
    const LineShape l{0, 0, 5, 0};
    const std::vector<Shape> walls{LineShape{8, 1, 8, 3}, LineShape{12, -1, 12, 1},
                                   LineShape{-3, -1, -3, 1}};
    QCOMPARE(Extend(l, 4, 0, walls, out), F::None); // the short wall is missed
    QVERIFY(isLine(out, 0, 0, 12, 0));
    QCOMPARE(Extend(l, 1, 0, walls, out), F::None);
    QVERIFY(isLine(out, -3, 0, 5, 0));
    QCOMPARE(Extend(l, 4, 0, {LineShape{8, -1, 8, 1}, LineShape{12, -1, 12, 1}}, out), F::None);
    QVERIFY(isLine(out, 0, 0, 8, 0));
    QCOMPARE(Extend(LineShape{0, 0, 2, 0}, 2, 0, {CircleShape{0, 0, 5}}, out), F::None);
    QVERIFY(isLine(out, 0, 0, 5, 0));
    QCOMPARE(Extend(l, 4, 0, {LineShape{-3, -1, -3, 1}, LineShape{3, -1, 3, 1}}, out),
             F::NoCrossing);
    QVERIFY(std::holds_alternative<std::monostate>(out));

    // An arc along its circle, outwards from the nearer end.
    const ArcShape a{0, 0, 5, 0, 90};
    const std::vector<Shape> upright{LineShape{-3, -10, -3, 10}};
    QCOMPARE(Extend(a, 0, 5, upright, out), F::None);
    QVERIFY(isArc(out, 0, 0, 5, 0, degrees(4, -3)));
    QCOMPARE(Extend(a, 5, 0.5, upright, out), F::None);
    QVERIFY(isArc(out, 0, 0, 5, degrees(-4, -3), 90));
    QCOMPARE(Extend(a, 0, 5, {ArcShape{-6, 0, 3, 90, 270}}, out), F::NoCrossing);

    QVERIFY(Extend(CircleShape{0, 0, 5}, 5, 0, upright, out) == F::Unsupported);
    QVERIFY(Extend(TextShape{}, 5, 0, upright, out) == F::Unsupported);
    QCOMPARE(Extend(l, 4, Inf, walls, out), F::NoSize);
}

void TestReshape::fillet()
{
    Shape a, b;
    ArcShape arc;
    const LineShape across{0, 0, 10, 0}, up{0, 0, 0, 10};
    QCOMPARE(Fillet(across, 8, 0, up, 0, 8, 2, a, b, arc), F::None);
    QVERIFY(isLine(a, 2, 0, 10, 0) && isLine(b, 0, 2, 0, 10));
    QVERIFY(isArc(arc, 2, 2, 2, 180, 270));

    // The picks name the quadrant of two crossing lines.
    const LineShape x{-10, 0, 10, 0}, y{0, -10, 0, 10};
    QCOMPARE(Fillet(x, -5, 0, y, 0, -5, 2, a, b, arc), F::None);
    QVERIFY(isLine(a, -10, 0, -2, 0) && isLine(b, 0, -10, 0, -2));
    QVERIFY(isArc(arc, -2, -2, 2, 0, 90));

    // Lines short of the corner are drawn on to the rounding; the radius may pass their
    // near ends, not their far ones.
    const LineShape shortX{5, 0, 10, 0}, shortY{0, 5, 0, 10};
    QCOMPARE(Fillet(shortX, 8, 0, shortY, 0, 8, 3, a, b, arc), F::None);
    QVERIFY(isLine(a, 3, 0, 10, 0) && isLine(b, 0, 3, 0, 10));
    QCOMPARE(Fillet(shortX, 8, 0, shortY, 0, 8, 7, a, b, arc), F::None);
    QVERIFY(isLine(a, 7, 0, 10, 0));
    QCOMPARE(Fillet(shortX, 8, 0, shortY, 0, 8, 12, a, b, arc), F::TooBig);
    QVERIFY(std::holds_alternative<std::monostate>(a));

    // At 45 degrees the tangent points lie r / tan(22.5) from the corner.
    const double t = 1 / std::tan(22.5 * Pi / 180), h = t * std::sqrt(0.5);
    QCOMPARE(Fillet(across, 9, 0, LineShape{0, 0, 10, 10}, 9, 9, 1, a, b, arc), F::None);
    QVERIFY(isLine(a, t, 0, 10, 0) && isLine(b, h, h, 10, 10));
    QVERIFY(isArc(arc, t, 1, 1, 135, 270));

    QCOMPARE(Fillet(LineShape{0, 0, 8, 0}, 4, 0, LineShape{10, 2, 10, 9}, 10, 5, 0, a, b, arc),
             F::None);
    QVERIFY(isLine(a, 0, 0, 10, 0) && isLine(b, 10, 0, 10, 9) && arc.r == 0);
    QCOMPARE(Fillet(across, 5, 0, LineShape{0, 5, 10, 5}, 5, 5, 1, a, b, arc), F::Parallel);

    // A line and an arc: outside the circle, then inside it.
    const ArcShape top{0, 0, 5, 0, 180};
    const double s35 = std::sqrt(35.0), s15 = std::sqrt(15.0);
    QCOMPARE(Fillet(x, 8, 0, top, 2.5, 5 * std::sin(Pi / 3), 1, a, b, arc), F::None);
    QVERIFY(isLine(a, s35, 0, 10, 0));
    QVERIFY(isArc(b, 0, 0, 5, degrees(1, s35), 180));
    QVERIFY(isArc(arc, s35, 1, 1, 180 + degrees(1, s35), 270));
    QCOMPARE(Fillet(x, 3, 0, top, 2.5, 5 * std::sin(Pi / 3), 1, a, b, arc), F::None);
    QVERIFY(isLine(a, -10, 0, s15, 0));
    QVERIFY(isArc(b, 0, 0, 5, degrees(1, s15), 180));
    QVERIFY(isArc(arc, s15, 1, 1, 270, degrees(1, s15)));
    // The same with the figures the other way round.
    QCOMPARE(Fillet(top, 2.5, 5 * std::sin(Pi / 3), x, 8, 0, 1, b, a, arc), F::None);
    QVERIFY(isLine(a, s35, 0, 10, 0) && isArc(b, 0, 0, 5, degrees(1, s35), 180));
    // Sharp: the arc drawn on from its nearer end to the line.
    QCOMPARE(Fillet(x, 8, 0, ArcShape{0, 0, 5, 30, 150}, 0, 5, 0, a, b, arc), F::None);
    QVERIFY(isLine(a, 5, 0, 10, 0) && isArc(b, 0, 0, 5, 0, 150) && arc.r == 0);
    // The rounding would touch a short arc beyond its far end: not one somewhere else.
    QCOMPARE(Fillet(x, 8, 0, ArcShape{0, 0, 5, 0, 10}, 5 * std::cos(Pi / 36),
                    5 * std::sin(Pi / 36), 3, a, b, arc),
             F::TooBig);
    QCOMPARE(Fillet(x, 8, 0, ArcShape{0, 0, 5, 0, 30}, 5 * std::cos(Pi / 36),
                    5 * std::sin(Pi / 36), 3, a, b, arc),
             F::None);
    const double s55 = std::sqrt(55.0);
    QVERIFY(isLine(a, s55, 0, 10, 0) && isArc(b, 0, 0, 5, degrees(3, s55), 30));
    // A line too far from a small arc for the rounding to touch both.
    QCOMPARE(Fillet(LineShape{-5, 10, 5, 10}, 0, 10, ArcShape{0, 0, 1, 0, 180}, 0, 1, 1, a, b,
                    arc),
             F::TooBig);

    // Two arcs rounded outside both, above where they cross.
    const ArcShape left{0, 0, 5, 0, 120}, right{8, 0, 5, 60, 180};
    const double s20 = std::sqrt(20.0), at = degrees(s20, 4);
    QCOMPARE(Fillet(left, 5 * std::cos(100 * Pi / 180), 5 * std::sin(100 * Pi / 180), right,
                    8 + 5 * std::cos(80 * Pi / 180), 5 * std::sin(80 * Pi / 180), 1, a, b, arc),
             F::None);
    QVERIFY(isArc(a, 0, 0, 5, at, 120) && isArc(b, 8, 0, 5, 60, 180 - at));
    QVERIFY(isArc(arc, 4, s20, 1, 180 + at, 360 - at));

    QCOMPARE(Fillet(CircleShape{0, 0, 5}, 5, 0, x, 0, 0, 1, a, b, arc), F::Unsupported);
    QVERIFY(Fillet(across, 8, 0, up, 0, 8, -1, a, b, arc) == F::NoSize);
    QVERIFY(Fillet(across, NAN, 0, up, 0, 8, 1, a, b, arc) == F::NoSize);
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
    std::vector<Shape> pieces;
    const LineShape l{0, 0, 10, 0};
    QCOMPARE(BreakAt(l, 4, 1, pieces), F::None);
    QVERIFY(pieces.size() == 2 && isLine(pieces[0], 0, 0, 4, 0) && isLine(pieces[1], 4, 0, 10, 0));
    QVERIFY(BreakAt(l, 0, 0, pieces) == F::OnEnd && BreakAt(l, -3, 1, pieces) == F::OnEnd);
    QVERIFY(pieces.empty());
    QCOMPARE(BreakAt(CircleShape{0, 0, 5}, 5, 0, pieces), F::Unsupported);
    QCOMPARE(BreakAt(l, NAN, 0, pieces), F::NoSize);
    QCOMPARE(BreakAt(ArcShape{0, 0, 5, 0, 90}, 1, std::sqrt(3.0), pieces), F::None);
    QVERIFY(pieces.size() == 2 && isArc(pieces[0], 0, 0, 5, 0, 60)
            && isArc(pieces[1], 0, 0, 5, 60, 90));

    QCOMPARE(BreakBetween(l, 7, 0, 3, 1, pieces), F::None);
    QVERIFY(pieces.size() == 2 && isLine(pieces[0], 0, 0, 3, 0) && isLine(pieces[1], 7, 0, 10, 0));
    QCOMPARE(BreakBetween(l, 0, 0, 4, 0, pieces), F::None);
    QVERIFY(pieces.size() == 1 && isLine(pieces[0], 4, 0, 10, 0));
    QVERIFY(BreakBetween(l, 4, 0, 4, 2, pieces) == F::OnEnd);
    QVERIFY(BreakBetween(l, -1, 0, 11, 0, pieces) == F::OnEnd);

    // A circle keeps the arc from the second point round to the first.
    const CircleShape c{0, 0, 5};
    QCOMPARE(BreakBetween(c, 5, 0, 0, 5, pieces), F::None);
    QVERIFY(pieces.size() == 1 && isArc(pieces[0], 0, 0, 5, 90, 0));
    QCOMPARE(BreakBetween(c, 5, 0, 9, 0, pieces), F::OnEnd);
    QCOMPARE(BreakBetween(c, 5, 0, 0, Inf, pieces), F::NoSize);
    // An arc over direction 0.
    const ArcShape a{0, 0, 5, 300, 60};
    QCOMPARE(BreakBetween(a, 5 * std::cos(Pi / 6), 5 * std::sin(Pi / 6), 5 * std::cos(Pi / 6),
                          -5 * std::sin(Pi / 6), pieces),
             F::None);
    QVERIFY(pieces.size() == 2 && isArc(pieces[0], 0, 0, 5, 300, 330)
            && isArc(pieces[1], 0, 0, 5, 30, 60));
    QCOMPARE(BreakBetween(TextShape{}, 0, 0, 1, 1, pieces), F::Unsupported);
}

QTEST_MAIN(TestReshape)
#include "tst_reshape.moc"
