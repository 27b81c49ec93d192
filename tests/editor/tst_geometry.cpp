// The entities' geometry: arcs through three points, boxes, distances, dashes along arcs,
// text cells for every anchor in both directions, vertical forms, and texts on screen
// where their anchor puts them.
#include "figures.h"

#include "editor/pen/canvas.h"
#include "editor/view/renderer.h"
#include "editor/view/textpaint.h"

#include <QFontMetricsF>
#include <QPainter>

using namespace Geometry;

namespace {

// The pixels darker than mid grey, as a rectangle; empty when there are none.
QRect inkOf(const QImage &image, const QRect &within = QRect())
{
    const QRect area = within.isNull() ? image.rect() : within & image.rect();
    int l = INT_MAX, t = INT_MAX, r = INT_MIN, b = INT_MIN;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x) {
            if (qGray(image.pixel(x, y)) < 128) {
                l = std::min(l, x);
                r = std::max(r, x);
                t = std::min(t, y);
                b = std::max(b, y);
            }
        }
    }
    return l > r ? QRect() : QRect(QPoint(l, t), QPoint(r, b));
}

// Said on failure, so that misplaced ink shows where it was.
bool within(const QRect &got, const QRect &want, int pixels)
{
    const bool ok = !got.isNull() && std::abs(got.left() - want.left()) <= pixels
                    && std::abs(got.right() - want.right()) <= pixels
                    && std::abs(got.top() - want.top()) <= pixels
                    && std::abs(got.bottom() - want.bottom()) <= pixels;
    if (!ok)
        qWarning("ink %d,%d %dx%d, not %d,%d %dx%d", got.x(), got.y(), got.width(), got.height(),
                 want.x(), want.y(), want.width(), want.height());
    return ok;
}

} // namespace

class TestGeometry : public QObject
{
    Q_OBJECT

private slots:
    void threePointArcs();
    void arcBoxes();
    void distances();
    void dashPhaseAlongArcs();
    void textAnchors();
    void verticalForms();
    void textOnScreen();
};

void TestGeometry::threePointArcs()
{
    ArcShape a;
    // Counter-clockwise input: from the first point.
    QVERIFY(ArcThroughThree(1, 0, 0, 1, -1, 0, a) && isArc(a, 0, 0, 1, 0, 180));
    // Clockwise input through the same middle point: the same arc, not its other half.
    QVERIFY(ArcThroughThree(-1, 0, 0, 1, 1, 0, a) && isArc(a, 0, 0, 1, 0, 180));
    QVERIFY(OnArc(90, a.sa, a.ea) && !OnArc(270, a.sa, a.ea));
    // Below: the lower half.
    QVERIFY(ArcThroughThree(-1, 0, 0, -1, 1, 0, a) && isArc(a, 0, 0, 1, 180, 0));
    QVERIFY(OnArc(270, a.sa, a.ea) && !OnArc(90, a.sa, a.ea));

    // Across 0 degrees, both ways round, centre (5, -3) radius 4; the long way round when
    // the middle point is on the far side.
    const auto through = [&](double d1, double d2, double d3) {
        const auto x = [](double d) { return 5 + 4 * std::cos(d * Pi / 180); };
        const auto y = [](double d) { return -3 + 4 * std::sin(d * Pi / 180); };
        return ArcThroughThree(x(d1), y(d1), x(d2), y(d2), x(d3), y(d3), a) ? described(a)
                                                                             : QString();
    };
    QCOMPARE(through(330, 10, 40), QStringLiteral("arc 5 -3 4 330 40"));
    QCOMPARE(through(40, 10, 330), QStringLiteral("arc 5 -3 4 330 40"));
    QVERIFY(OnArc(0, a.sa, a.ea) && OnArc(359.9, a.sa, a.ea) && !OnArc(180, a.sa, a.ea));
    QVERIFY(near(Sweep(a.sa, a.ea), 70, 1e-7));
    QCOMPARE(through(330, 180, 40), QStringLiteral("arc 5 -3 4 40 330"));
    QVERIFY(OnArc(180, a.sa, a.ea) && !OnArc(0, a.sa, a.ea));

    // No arc: on one line, coinciding, not finite.
    const double none[][6] = {{0, 0, 1, 1, 2, 2}, {0, 0, 2, 2, 1, 1}, {3, 3, 3, 3, 3, 3},
                              {1e6, 1e6, 1e6 + 1, 1e6 + 1, 1e6 + 3, 1e6 + 3}, {0, 0, 1, 1, 0, 0},
                              {0, 0, NAN, 1, 2, 0}, {0, 0, 1, INFINITY, 2, 0}};
    for (const auto &p : none)
        QVERIFY(!ArcThroughThree(p[0], p[1], p[2], p[3], p[4], p[5], a));

    // Angles are kept in [0, 360); equal ends make the full circle.
    QVERIFY(near(Normal(-30), 330) && near(Normal(720), 0) && near(Normal(NAN), 0));
    QVERIFY(near(Sweep(10, 10), 360) && near(Sweep(350, 10), 20) && near(Sweep(10, 350), 340));
}

void TestGeometry::arcBoxes()
{
    const double r = 10, cx = 5, cy = 5;
    const auto check = [&](double sa, double ea, double x1, double y1, double x2, double y2) {
        const PaperBox b = ArcBox({cx, cy, r, sa, ea});
        return near(b.x1, x1) && near(b.y1, y1) && near(b.x2, x2) && near(b.y2, y2);
    };
    const double c80 = r * std::cos(80 * Pi / 180), s80 = r * std::sin(80 * Pi / 180);
    // Across +y, -x, -y and +x (through 0 degrees): the crossing is the box's edge.
    QVERIFY(check(80, 100, cx - c80, cy + s80, cx + c80, cy + r));
    QVERIFY(check(170, 190, cx - r, cy - c80, cx - s80, cy + c80));
    QVERIFY(check(260, 280, cx - c80, cy - r, cx + c80, cy - s80));
    QVERIFY(check(350, 10, cx + s80, cy - c80, cx + r, cy + c80));
    // Three quadrants: from 45 to 315 takes +y, -x and -y but not +x.
    const double h = r * std::sqrt(0.5);
    QVERIFY(check(45, 315, cx - r, cy - r, cx + h, cy + r));
    // Within one quadrant: the ends alone.
    QVERIFY(check(10, 80, cx + c80, cy + std::sin(10 * Pi / 180) * r, cx + s80, cy + s80));
    // Equal ends: the whole circle.
    QVERIFY(check(30, 30, cx - r, cy - r, cx + r, cy + r));
    const PaperBox c = CircleBox({cx, cy, r});
    QVERIFY(near(c.x1, -5) && near(c.y2, 15));

    // Frames meet the circumference, not the inside.
    QVERIFY(!CircleMeetsBox({4, 4, 6, 6}, {cx, cy, r}));
    QVERIFY(CircleMeetsBox({14, 4, 16, 6}, {cx, cy, r}));
    QVERIFY(ArcMeetsBox({14, 4, 16, 6}, {cx, cy, r, 350, 10}));
    QVERIFY(!ArcMeetsBox({14, 4, 16, 6}, {cx, cy, r, 20, 340}));
    // An arc crossing the box between two edges, its ends outside.
    QVERIFY(ArcMeetsBox({-6, 13, 16, 16}, {cx, cy, r, 10, 170}));
    QVERIFY(!ArcMeetsBox({-6, 13, 16, 16}, {cx, cy, r, 190, 350}));
}

void TestGeometry::distances()
{
    const ArcShape quarter{0, 0, 10, 0, 90};
    // On the arc's span: from the circumference.
    QVERIFY(near(DistanceToArc(20, 20, quarter), std::hypot(20, 20) - 10, 1e-12)
            && near(DistanceToArc(3, 4, quarter), 5, 1e-12));
    // Off the span: the nearer end.
    QVERIFY(near(DistanceToArc(0, -5, quarter), std::hypot(10, 5), 1e-12)
            && near(DistanceToArc(-10, 1, quarter), std::hypot(10, 9), 1e-12));
    // Not the whole circle: the far side is far.
    QVERIFY(DistanceToArc(-10, 0, quarter) > 14);
    QVERIFY(near(DistanceToCircle(-10, 0, {0, 0, 10}), 0, 1e-12));
    // Across 0 degrees.
    const ArcShape across{0, 0, 10, 300, 60};
    QVERIFY(near(DistanceToArc(20, 0, across), 10, 1e-12)
            && near(DistanceToArc(-20, 0, across), std::hypot(25, 10 * std::sin(Pi / 3))));
    QVERIFY(near(DistanceToSegment(5, 5, {0, 0, 10, 0}), 5)
            && near(DistanceToSegment(-3, 4, {0, 0, 10, 0}), 5));
    double sx, sy, ex, ey;
    ArcEnds(quarter, sx, sy, ex, ey);
    QVERIFY(near(sx, 10) && near(sy, 0) && near(ex, 0, 1e-12) && near(ey, 10));
}

void TestGeometry::dashPhaseAlongArcs()
{
    // The dashes walked, as "from-to" to a millionth.
    const auto walked = [](const DashPattern &p, double length, double from, double to) {
        QStringList got;
        WalkDashes(p, length, from, to, [&](bool, double a, double b) {
            got << QString::number(a, 'f', 6) + "-" + QString::number(b, 'f', 6);
        });
        return got.join(u' ');
    };
    // Taken up at 30 along a 100 long curve: inside the dash begun at 24.
    const DashPattern p{2, {10, 2}};
    QCOMPARE(walked(p, 100, 30, 50),
             QStringLiteral("30.000000-34.000000 36.000000-46.000000 48.000000-50.000000"));
    // No longer than one period: continuous; a pattern that cannot advance the same, ended.
    QCOMPARE(walked(p, 12, 0, 12), QStringLiteral("0.000000-12.000000"));
    QCOMPARE(walked(DashPattern{2, {}}, 100, 0, 100), QStringLiteral("0.000000-100.000000"));

    // Along a half circle of radius 10 (31.4 long) with dashes 3 and gaps 1, seen only
    // left of the centre: the stroke starts at 90 degrees (15.708 along), which falls in a
    // gap, so the first dash drawn begins at 16 along.
    const DashPattern d{2, {3, 1}};
    const ArcShape half{0, 0, 10, 0, 180};
    const PaperBox left{-20, -20, 0, 20};
    std::vector<std::array<double, 4>> chords;
    WalkArc(half, d, 0.001, &left, [&](bool dot, double x1, double y1, double x2, double y2) {
        QVERIFY(!dot);
        chords.push_back({x1, y1, x2, y2});
    });
    QVERIFY(!chords.empty());
    const auto at = [](double x, double y, double along) {
        return near(x, 10 * std::cos(along / 10)) && near(y, 10 * std::sin(along / 10));
    };
    QVERIFY(at(chords.front()[0], chords.front()[1], 16));
    // 31.4 falls in a gap again: the last dash ends at 31.
    QVERIFY(at(chords.back()[2], chords.back()[3], 31));
    // Nothing right of the view's edge, every chord on the circle.
    for (const auto &c : chords) {
        QVERIFY(c[0] <= 1e-9 && c[2] <= 1e-9 && near(std::hypot(c[2], c[3]), 10));
    }
    // The whole arc unclipped starts its dash at the start.
    chords.clear();
    WalkArc(half, d, 0.001, nullptr, [&](bool, double x1, double y1, double x2, double y2) {
        chords.push_back({x1, y1, x2, y2});
    });
    QVERIFY(at(chords.front()[0], chords.front()[1], 0));
    // Some thousands of dashes round a large circle: each starts where the pattern has it
    // and ends one dash on, every chord's end on the circle; no error gathers from one to
    // the next.
    const ArcShape large{5, -3, 1000, 0, 0};
    double along = 0;
    int dashes = 0;
    chords.clear();
    WalkArc(large, DashPattern{2, {2.5, 2.2}}, 0.01, nullptr,
            [&](bool, double x1, double y1, double x2, double y2) {
                const double a1 = std::atan2(y1 + 3, x1 - 5), a2 = std::atan2(y2 + 3, x2 - 5);
                const double d = std::remainder(a2 - a1, 2 * 3.14159265358979);
                if (chords.empty() || std::hypot(x1 - chords.back()[2], y1 - chords.back()[3])
                                          > 1e-9) {
                    // A new dash: where the last one ended and a gap on.
                    QVERIFY(std::fabs(std::remainder(a1 - dashes * 4.7 / 1000,
                                                     2 * 3.14159265358979))
                            < 1e-11);
                    QVERIFY(dashes == 0 || std::fabs(along - 2.5) < 1e-8);
                    along = 0;
                    ++dashes;
                }
                along += d * 1000;
                QVERIFY(std::fabs(std::hypot(x2 - 5, y2 + 3) - 1000) < 1e-9);
                chords.push_back({x1, y1, x2, y2});
            });
    QCOMPARE(dashes, 1337);
    // Dots every 2 mm along a quarter of 15.7 mm: eight of them, from the start.
    int count = 0;
    WalkArc({0, 0, 10, 0, 90}, DashPattern{2, {0, 2}}, 0.01, nullptr,
            [&](bool dot, double x1, double y1, double, double) {
                QVERIFY(dot);
                if (count == 1)
                    QVERIFY(at(x1, y1, 2));
                ++count;
            });
    QCOMPARE(count, 8);
    // A circle wholly outside the view gives nothing; a bad radius nothing either.
    count = 0;
    const auto counted = [&](bool, double, double, double, double) { ++count; };
    WalkArc({100, 100, 5, 0, 0}, d, 0.01, &left, counted);
    WalkArc({0, 0, NAN, 0, 0}, d, 0.01, nullptr, counted);
    WalkArc({0, 0, -1, 0, 0}, d, 0.01, nullptr, counted);
    QCOMPARE(count, 0);
}

void TestGeometry::textAnchors()
{
    // Two full-width and two half-width characters 5 high: 15 across, or a column 5 wide
    // of four cells and three gaps of 1.
    const QString text = QStringLiteral("図面AB");
    for (int vertical = 0; vertical <= 1; ++vertical) {
        const double w = vertical ? 5 : 15, h = vertical ? 23 : 5;
        for (int anchor = 1; anchor <= 9; ++anchor) {
            const TextRef t{100, 50, 5, 0, double(vertical), 0, 0, int16_t(anchor),
                            int16_t(vertical)};
            double xs[4], ys[4];
            TextCorners(t, text, xs, ys);
            const double left = 100 - w * ((anchor - 1) % 3) / 2;
            const double bottom = 50 - h * ((anchor - 1) / 3) / 2;
            QVERIFY2(near(xs[0], left) && near(ys[0], bottom) && near(xs[2], left + w)
                         && near(ys[2], bottom + h),
                     qPrintable(QString("anchor %1 vertical %2").arg(anchor).arg(vertical)));
            const TextLayout l = LayOutText(t, text);
            QCOMPARE(l.glyphs.size(), size_t(4));
            // Every cell inside the box, in writing order.
            for (size_t i = 0; i < l.glyphs.size(); ++i) {
                const Glyph &g = l.glyphs[i];
                QVERIFY(g.x >= l.x - 1e-9 && g.x + g.width <= l.x + l.width + 1e-9);
                QVERIFY(g.y >= l.y - 1e-9 && g.y + g.height <= l.y + l.height + 1e-9);
                if (vertical) {
                    QVERIFY(near(g.y, l.y + l.height - 5 - 6.0 * double(i)));
                    QVERIFY(near(g.width, 5));
                }
            }
            if (!vertical)
                QVERIFY(near(l.glyphs[2].x, l.x + 10) && near(l.glyphs[2].width, 2.5));
        }
    }
    // Turned by 90 degrees about the anchor: the box's lower left goes up from it.
    TextRef t{10, 20, 5, 0, 0, 90};
    double xs[4], ys[4];
    TextCorners(t, text, xs, ys);
    QVERIFY(near(xs[0], 10, 1e-12) && near(ys[0], 20, 1e-12) && near(xs[1], 10, 1e-12));
    QVERIFY(near(ys[1], 35, 1e-12) && near(xs[3], 5, 1e-12) && near(ys[3], 20, 1e-12));
    // A given width makes every cell that wide.
    t.angle = 0;
    t.width = 3;
    t.spacing = 0.5;
    PaperBox b = TextBox(t, text);
    QVERIFY(near(b.x2 - b.x1, 4 * 3 + 3 * 0.5) && near(b.y2 - b.y1, 5));
    // Odd values from another PC: an anchor out of 1-9 counts as 1, a negative spacing as
    // none, a height of 0 or an empty text gives no glyphs and no extent.
    t.width = 0;
    t.spacing = -4;
    t.anchor = 0;
    b = TextBox(t, text);
    QVERIFY(near(b.x1, 10) && near(b.y1, 20) && near(b.x2, 25));
    t.anchor = 12;
    QVERIFY(near(TextBox(t, text).x1, 10));
    t.height = 0;
    QVERIFY(LayOutText(t, text).glyphs.empty());
    b = TextBox(t, text);
    QVERIFY(near(b.x1, b.x2) && near(b.y1, b.y2));
    t.height = NAN;
    QVERIFY(LayOutText(t, text).glyphs.empty());
    t.height = 5;
    QVERIFY(LayOutText(t, QString()).glyphs.empty());
    t.angle = NAN;
    b = TextBox(t, text);
    QVERIFY(std::isfinite(b.x1) && std::isfinite(b.y2));
    // A text taken into the model is counted once: a surrogate pair is one full-width
    // character. Its box is the one counted afresh.
    TextPool pool;
    for (const auto &[string, wide, count] :
         {std::tuple{QStringLiteral("\U00020BB7a"), 7.5, 2}, {text, 15.0, 4},
          {QStringLiteral("ｱ-"), 5.0, 2}}) {
        for (int vertical = 0; vertical <= 1; ++vertical) {
            EntityRecord r;
            r.shape = TextShape{1, 2, 5, 0, 0, 30, 0, 1, int16_t(vertical), QString(), string};
            const TextRef kept = std::get<TextRef>(ToEntity(r, pool).shape);
            const TextRef fresh = RefOf(std::get<TextShape>(r.shape));
            const TextLayout l = TextFrame(kept, string);
            QVERIFY2(vertical ? near(l.height, 5.0 * count) : near(l.width, wide),
                     qPrintable(string));
            const PaperBox a = TextBox(kept, string), c = TextBox(fresh, string);
            QVERIFY(near(a.x1, c.x1) && near(a.y1, c.y1) && near(a.x2, c.x2) && near(a.y2, c.y2));
        }
    }
}

void TestGeometry::verticalForms()
{
    // Brackets turn a quarter (their vertical forms are the same shapes turned); commas and
    // stops move to the upper right; long-vowel marks and waves run along the column, turned
    // with no form of their own; small kana go a little up and right; the rest stays.
    const double A = 1e9; // any shift
    const struct { char32_t code, form; bool turned; double minX, maxX, minY, maxY; } forms[] = {
        {U'「', 0xFE41, true, -A, A, -A, A}, {U'』', 0xFE44, true, -A, A, -A, A},
        {U'（', 0xFE35, true, -A, A, -A, A}, {U'…', 0xFE19, true, -A, A, -A, A},
        {U'、', 0xFE11, false, 0.31, A, 0.31, A}, {U'。', 0xFE12, false, -A, A, 0.31, A},
        {U'ー', 0, true, -A, A, -A, A}, {U'〜', 0, true, -A, A, -A, A},
        {U'ょ', 0, false, 1e-9, 0.29, -A, A}, {U'漢', 0, false, 0, 0, 0, 0}};
    for (const auto &f : forms) {
        const Glyph g = VerticalForm(f.code);
        QVERIFY2(g.form == f.form && g.turned == f.turned && g.shiftX >= f.minX
                     && g.shiftX <= f.maxX && g.shiftY >= f.minY && g.shiftY <= f.maxY,
                 qPrintable(QString::number(uint(f.code), 16)));
    }
    QVERIFY(VerticalForm(U'漢').wide);

    // The layout maps them in vertical writing only.
    TextRef t;
    t.height = 5;
    t.vertical = 1;
    const QString text = QStringLiteral("「データ」、");
    TextLayout l = LayOutText(t, text);
    QCOMPARE(l.glyphs.size(), size_t(6));
    QVERIFY(l.glyphs[0].form == 0xFE41 && l.glyphs[0].turned);
    QVERIFY(l.glyphs[2].code == U'ー' && l.glyphs[2].turned);
    QVERIFY(l.glyphs[5].form == 0xFE11);
    t.vertical = 0;
    l = LayOutText(t, text);
    for (const Glyph &h : l.glyphs)
        QVERIFY(h.form == 0 && !h.turned && h.shiftX == 0);
}

void TestGeometry::textOnScreen()
{
    // 4 pixels a millimetre, paper (0, 0) at pixel (200, 300) of a 500 x 400 image.
    const ViewParams view{4, -50, -25, 75, 75, 500, 400};
    QImage image(view.width, view.height, QImage::Format_RGB32);
    const QFont font = ShapingFont(QString());
    QVERIFY(QFontMetricsF(font).inFontUcs4(U'図'));
    // The reference: the font itself, its em square (100 pixels) as high as the cell.
    const auto reference = [&](const QString &ch, double left, double bottom, double pixels) {
        QImage ref(view.width, view.height, QImage::Format_RGB32);
        ref.fill(Qt::white);
        QPainter p(&ref);
        p.setRenderHint(QPainter::Antialiasing, true);
        const double s = pixels / 100;
        p.translate(left + 0.5, bottom + 0.5 - (pixels - QFontMetricsF(font).ascent() * s));
        p.scale(s, s);
        p.setFont(font);
        p.setPen(Qt::black);
        p.drawText(QPointF(0, 0), ch);
        p.end();
        return inkOf(ref);
    };
    const auto draw = [&](const TextRef &text, const TextStrings &of, bool fresh = true) {
        if (fresh)
            image.fill(Qt::white);
        Canvas canvas(image);
        RenderText(canvas, view, text, of, 0);
    };
    const auto text = [](double px, double py, double height, int anchor, int vertical = 0,
                         double spacing = 0) {
        TextRef t;
        t.px = px;
        t.py = py;
        t.height = height;
        t.anchor = int16_t(anchor);
        t.vertical = int16_t(vertical);
        t.spacing = spacing;
        return t;
    };

    // Across, anchored at its lower right (3) at paper (10, 5): pixel (240, 280); two
    // full-width characters 10 mm high (40 pixels) end there.
    TextRef t = text(10, 5, 10, 3);
    TextStrings strings{QString(), QStringLiteral("図面")};
    const size_t keptBefore = KeptTextOutlines();
    draw(t, strings);
    QVERIFY(within(inkOf(image, QRect(0, 0, 200, 400)), reference("図", 160, 280, 40), 1));
    QVERIFY(within(inkOf(image, QRect(200, 0, 300, 400)), reference("面", 200, 280, 40), 1));
    QVERIFY(inkOf(image).right() < 240 && inkOf(image).bottom() < 281);
    // Shaped once: drawing it again keeps the one outline.
    QCOMPARE(KeptTextOutlines(), keptBefore + 1);
    draw(t, strings, false);
    draw(t, strings, false);
    QCOMPARE(KeptTextOutlines(), keptBefore + 1);

    // Down, anchored at its upper left (7) at paper (-20, 65): pixel (120, 40); cells 10
    // high, 2 mm apart: 図 in pixels 40-80, 面 in 88-128, ー turned in 136-176 and 、 in
    // the upper right of the last cell, 184-224.
    strings.text = QStringLiteral("図面ー、");
    draw(text(-20, 65, 10, 7, 1, 2), strings);
    QVERIFY(within(inkOf(image, QRect(0, 30, 500, 54)), reference("図", 120, 80, 40), 1));
    QVERIFY(within(inkOf(image, QRect(0, 84, 500, 48)), reference("面", 120, 128, 40), 1));
    const QRect bar = inkOf(image, QRect(0, 132, 500, 48));
    QVERIFY(!bar.isNull() && bar.height() > 2 * bar.width()); // runs down the column
    QVERIFY(bar.left() >= 120 && bar.right() < 160 && bar.top() >= 136 && bar.bottom() < 176);
    const QRect comma = inkOf(image, QRect(0, 180, 500, 60));
    QVERIFY(!comma.isNull() && comma.left() >= 140 && comma.bottom() < 204); // upper right
    QVERIFY(inkOf(image).left() >= 119 && inkOf(image).top() >= 39);

    // Higher than the kept pictures go (160 pixels): glyph by glyph, at the same place.
    strings.text = QStringLiteral("図");
    t = text(-40, -20, 40, 1);
    draw(t, strings);
    const QRect upright = reference("図", 40, 380, 160);
    QVERIFY(within(inkOf(image), upright, 1));
    // The same turned a quarter about its anchor at pixel (240, 380): the ink turns with it.
    t.px = 10;
    t.angle = 90;
    draw(t, strings);
    QVERIFY(within(inkOf(image), QRect(QPoint(upright.top() - 140, 420 - upright.right()),
                                       QPoint(upright.bottom() - 140, 420 - upright.left())), 1));

    // Under 2 pixels high: a line through the box, no outline shaped.
    const size_t kept = KeptTextOutlines();
    strings.text = QStringLiteral("小さな文字");
    draw(text(0, 0, 0.4, 1), strings);
    QCOMPARE(KeptTextOutlines(), kept);
    const QRect line = inkOf(image);
    QVERIFY(!line.isNull() && line.height() <= 1 && line.left() >= 199 && line.right() <= 209);
    // Nothing for no height or no text; an unknown font is drawn in IPA Gothic.
    for (double h : {0.0, -3.0, double(NAN)}) {
        draw(text(0, 0, h, 1), strings);
        QVERIFY(inkOf(image).isNull());
    }
    draw(text(0, 0, 10, 1), {QString(), QString()}, false);
    QVERIFY(inkOf(image).isNull());
    QCOMPARE(TextFamily(QStringLiteral("No Such Font 123")), QStringLiteral("IPAGothic"));
    draw(text(0, 0, 10, 1), {QStringLiteral("No Such Font 123"), QStringLiteral("図")}, false);
    QVERIFY(within(inkOf(image), reference("図", 200, 300, 40), 1));
}

QTEST_MAIN(TestGeometry)
#include "tst_geometry.moc"
