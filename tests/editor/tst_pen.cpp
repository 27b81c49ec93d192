#include "editor/pen/canvas.h"
#include "editor/pen/pen.h"

#include <QtTest>

#include <cmath>
#include <limits>

class TestPen : public QObject
{
    Q_OBJECT

private slots:
    void rounding();
    void clipping();
    void continuousLine();
    void thinLinesRoundEveryStep();
    void picturesBlendAsThePainterDoes();
    void masksBlendByTheirCoverage();
    void dashedLine();
    void dotPattern();
    void wideLine();
    void lineCrossingViewEdge();
    void patternsThatWouldNotEnd();
    void xorFiguresErase();
    void frameAndDots();
};

namespace {

constexpr double Pi = 3.14159265358979323846;

QImage whiteImage(int w, int h)
{
    QImage image(w, h, QImage::Format_RGB32);
    image.fill(Qt::white);
    return image;
}

// Paper millimetres from the bottom-left corner of the image, scale pixels each.
ViewParams viewOf(const QImage &image, double scale)
{
    return {scale, 0, 0, image.width() / scale, image.height() / scale, image.width(),
            image.height()};
}

bool inked(const QImage &image, int x, int y)
{
    return (image.pixel(x, y) & 0xFFFFFF) != 0xFFFFFF;
}

// The inked runs of one pixel row as "from-to" texts.
QStringList runsOfRow(const QImage &image, int y)
{
    QStringList runs;
    int start = -1;
    for (int x = 0; x <= image.width(); ++x) {
        const bool on = x < image.width() && inked(image, x, y);
        if (on && start < 0)
            start = x;
        if (!on && start >= 0) {
            runs << QStringLiteral("%1-%2").arg(start).arg(x - 1);
            start = -1;
        }
    }
    return runs;
}

// The inked pixels within a rectangle, or of the whole image.
int inkedCount(const QImage &image, QRect area = QRect())
{
    area = area.isNull() ? image.rect() : area & image.rect();
    int n = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            n += inked(image, x, y);
    return n;
}

LinePen penOf(int width, std::initializer_list<double> pitches, int colour = 0)
{
    LinePen pen;
    pen.colour = colour;
    pen.width = width;
    for (double p : pitches) {
        pen.pitches[pen.count++] = p;
        pen.total += p;
    }
    return pen;
}

// One line drawn with the pen on a white image of w x h pixels, scale pixels a millimetre.
QImage drawn(int w, int h, double scale, LinePen pen, double x1, double y1, double x2,
             double y2)
{
    QImage image = whiteImage(w, h);
    Canvas canvas(image);
    DrawStyledLine(canvas, viewOf(image, scale), pen, x1, y1, x2, y2);
    return image;
}

} // namespace

void TestPen::rounding()
{
    for (const auto &[v, r] : {std::pair{2.5, 3}, {-2.5, -3}, {2.49, 2}, {-0.5, -1}, {0.4, 0},
                               {1e300, INT32_MAX}, {-1e300, INT32_MIN}, {double(NAN), 0}})
        QCOMPARE(RoundHalfAway(v), int32_t(r));
    for (const auto &[v, step, r] : {std::tuple{-7.4, 5.0, -5.0}, {7.5, 5.0, 10.0},
                                     {0.123456, 0.00001, 0.12346}, {-7.5, 5.0, -10.0},
                                     {3.0, 0.0, 3.0}, {3.0, -1.0, 3.0}})
        QCOMPARE(RoundToStep(v, step), r);
    QCOMPARE(LineAngle(0, 0), 0.0);
    QCOMPARE(LineAngle(0, -1), 3 * Pi / 2);
    QCOMPARE(LineAngle(-1, 0), Pi);
    QCOMPARE(Distance(1, 1, 4, 5), 5.0);

    // The stroke width in pixels rounds halves to even and stops at 400.
    QImage image = whiteImage(8, 8);
    Canvas canvas(image);
    for (const auto &[width, scale, pixels] : {std::tuple{250, 1.0, 2}, {350, 1.0, 4},
                                               {30000, 2.0, 400}, {-50, 1.0, 0}}) {
        LinePen pen = penOf(width, {});
        DrawStyledLine(canvas, viewOf(image, scale), pen, 100, 100, 101, 100);
        QCOMPARE(canvas.PenWidth(), pixels);
    }
}

void TestPen::clipping()
{
    // The third on the top edge.
    const struct { double x1, y1, x2, y2; int result; double cx1, cy1, cx2, cy2; } cases[] = {
        {-10, 5, 10, 5, 1, 0, 5, 10, 5}, {-10, 5, -1, 5, 2, -10, 5, -1, 5},
        {5, 20, 15, 20, 2, 5, 20, 15, 20}, {5, 5, 15, 15, 0, 5, 5, 15, 15},
        {10, -10, 10, 30, 1, 10, 0, 10, 20}, {-10, -10, 30, 30, 1, 0, 0, 20, 20},
        {-1e300, 5, 1e300, 5, 1, 0, 5, 20, 5}};
    for (const auto &c : cases) {
        double x1 = c.x1, y1 = c.y1, x2 = c.x2, y2 = c.y2;
        QCOMPARE(ClipSegment(x1, y1, x2, y2, 0, 0, 20, 20), c.result);
        QCOMPARE(QList<double>({x1, y1, x2, y2}), QList<double>({c.cx1, c.cy1, c.cx2, c.cy2}));
    }
    // Not finite, or overflowing while clipped: rejected.
    double a = NAN, b = 5, c = 10, d = 5;
    QCOMPARE(ClipSegment(a, b, c, d, 0, 0, 20, 20), 2);
    a = b = -1e300, c = d = 1e300;
    QVERIFY(ClipSegment(a, b, c, d, 0, 0, 20, 20) == 2 || (std::isfinite(a) && std::isfinite(d)));

    QVERIFY(OutCode(0, 10, 0, 0, 20, 20) == 1 && OutCode(25, -1, 0, 0, 20, 20) == (2 | 4));
    // Inside, wholly to one side, or to be clipped.
    QCOMPARE(QList<int>({TrivialClipTest(1, 1, 2, 2, 0, 0, 20, 20),
                         TrivialClipTest(-1, 1, -2, 30, 0, 0, 20, 20),
                         TrivialClipTest(-1, 1, 2, 30, 0, 0, 20, 20)}),
             QList<int>({0, 2, 1}));
}

void TestPen::continuousLine()
{
    QImage image = whiteImage(100, 50);
    {
        Canvas canvas(image);
        LinePen pen = penOf(18, {}, 0x0000FF); // red
        DrawStyledLine(canvas, viewOf(image, 1), pen, 10, 20, 60, 20);
        // A diagonal touches one pixel per column, both ends included.
        DrawStyledLine(canvas, viewOf(image, 1), pen, 10, 40, 30, 30);
    }
    QCOMPARE(runsOfRow(image, 30), QStringList({"10-60"}));
    QCOMPARE(image.pixel(10, 30) & 0xFFFFFF, 0xFF0000u);
    for (int x = 10; x <= 30; ++x)
        QCOMPARE(inkedCount(image, QRect(x, 0, 1, 25)), 1);
    QVERIFY(inked(image, 10, 10) && inked(image, 30, 20));
    QCOMPARE(inkedCount(image), 51 + 21);
}

void TestPen::thinLinesRoundEveryStep()
{
    // Every one-pixel line, on the image, leaving it or cut to a rectangle, is the pixel
    // at each step along its longer axis with the other coordinate at
    // a1 + floor((2 i d + n) / (2 n)) for step i of n, and its end pixel.
    const int w = 37, h = 29;
    const QRgb ink = 0xFF102030;
    quint32 seed = 12345;
    const auto next = [&seed](int range) {
        seed = seed * 1103515245u + 12345u;
        return int((seed >> 8) % quint32(range));
    };
    for (int round = 0; round < 4000; ++round) {
        // Most lines on the image, some reaching beyond it; octants and slopes of every kind.
        const int reach = round % 3 == 0 ? 30 : 0;
        const int x1 = next(w + 2 * reach) - reach, y1 = next(h + 2 * reach) - reach;
        int x2 = next(w + 2 * reach) - reach, y2 = next(h + 2 * reach) - reach;
        if (round % 7 == 0)
            y2 = y1 + (x2 - x1) * (round % 2 ? 1 : -1); // diagonals
        const int top = round % 5 == 0 ? next(h) : 0;
        const int bottom = round % 5 == 0 ? top + next(h - top + 1) : h;
        const int left = round % 5 == 0 ? next(w) : 0;
        const int right = round % 5 == 0 ? left + next(w - left + 1) : w;
        QImage image(w, h, QImage::Format_RGB32);
        image.fill(Qt::white);
        {
            Canvas canvas(image);
            canvas.SetClip(QRect(left, top, right - left, bottom - top));
            SetPen(canvas, 0x302010, 0, 1);
            DrawPixelLine(canvas, x1, y1, x2, y2);
        }
        QImage expected(w, h, QImage::Format_RGB32);
        expected.fill(Qt::white);
        const auto plot = [&](long long x, long long y) {
            if (x >= left && x < right && y >= top && y < bottom)
                expected.setPixel(int(x), int(y), ink);
        };
        const long long dx = x2 - x1, dy = y2 - y1;
        const bool alongX = std::llabs(dx) >= std::llabs(dy);
        const long long n = alongX ? std::llabs(dx) : std::llabs(dy);
        const long long d = alongX ? dy : dx;
        for (long long i = 0; i < n; ++i) {
            const long long num = 2 * i * d + n;
            long long q = num / (2 * n);
            if (num % (2 * n) != 0 && num < 0)
                --q;
            const long long major = (alongX ? x1 : y1) + ((alongX ? dx : dy) > 0 ? i : -i);
            const long long minor = (alongX ? y1 : x1) + q;
            plot(alongX ? major : minor, alongX ? minor : major);
        }
        plot(x2, y2);
        if (image != expected) {
            QFAIL(qPrintable(QStringLiteral("line %1,%2 to %3,%4 in rows %5-%6, columns %7-%8 "
                                            "differs")
                                 .arg(x1).arg(y1).arg(x2).arg(y2).arg(top).arg(bottom)
                                 .arg(left).arg(right)));
        }
    }
}

void TestPen::picturesBlendAsThePainterDoes()
{
    // A premultiplied picture over the image, unturned, gives the painter's very pixels:
    // on the image, partly beyond its edges and cut to a rectangle.
    quint32 seed = 777;
    const auto next = [&seed](int range) {
        seed = seed * 1103515245u + 12345u;
        return int((seed >> 8) % quint32(range));
    };
    QImage picture(37, 17, QImage::Format_ARGB32_Premultiplied);
    for (int y = 0; y < picture.height(); ++y) {
        for (int x = 0; x < picture.width(); ++x) {
            // Every third row in runs of clear, full and mixed pixels, which are blended
            // several at a time.
            const int kind = y % 3 == 0 ? (x / 10 + y) % 3 : next(4);
            const int a = kind == 0 ? 0 : kind == 1 ? 255 : next(256);
            picture.setPixel(x, y, qRgba(next(a + 1), next(a + 1), next(a + 1), a));
        }
    }
    QImage background(40, 30, QImage::Format_RGB32);
    for (int y = 0; y < background.height(); ++y)
        for (int x = 0; x < background.width(); ++x)
            background.setPixel(x, y, qRgb(next(256), next(256), next(256)));
    const QPointF origin(3.25, 14.5);
    int changed = 0;
    for (int round = 0; round < 40; ++round) {
        const QPointF at(next(70) - 15 + next(4) / 4.0, next(55) - 12 + next(4) / 4.0);
        const int top = round % 3 == 0 ? next(20) : 0;
        const int bottom = round % 3 == 0 ? top + 1 + next(10) : background.height();
        const int left = round % 4 == 0 ? next(30) : 0;
        const int right = round % 4 == 0 ? left + 1 + next(30) : background.width();
        const QRect clip(left, top, right - left, bottom - top);
        QImage ours = background.copy();
        {
            Canvas canvas(ours);
            canvas.SetClip(clip);
            canvas.DrawImage(picture, origin, at, 0);
        }
        QImage theirs = background.copy();
        {
            QPainter painter(&theirs);
            painter.setClipRect(clip);
            painter.drawImage(QPoint(int(std::floor(at.x() - origin.x() + 0.5)),
                                     int(std::floor(at.y() - origin.y() + 0.5))),
                              picture);
        }
        QVERIFY2(ours == theirs, qPrintable(QStringLiteral("at %1,%2 in %3,%4 %5x%6")
                                                .arg(at.x()).arg(at.y()).arg(left).arg(top)
                                                .arg(clip.width()).arg(clip.height())));
        changed += ours != background;
    }
    // Many places put some of the picture on the image.
    QVERIFY2(changed >= 10, qPrintable(QString::number(changed)));
}

void TestPen::masksBlendByTheirCoverage()
{
    // Each channel moves toward the colour by the coverage over 255, in one rounding for
    // every level and width: runs of clear, full and mixed coverage, cut by the clip.
    quint32 seed = 4242;
    const auto next = [&seed](int range) {
        seed = seed * 1103515245u + 12345u;
        return int((seed >> 8) % uint(range));
    };
    for (int round = 0; round < 60; ++round) {
        QImage mask(1 + next(70), 1 + next(12), QImage::Format_Alpha8);
        for (int y = 0; y < mask.height(); ++y) {
            for (int x = 0; x < mask.width(); ++x) {
                const int kind = (x / 5 + y + round) % 4;
                mask.scanLine(y)[x] = uchar(kind == 0 ? 0 : kind == 1 ? 255 : next(256));
            }
        }
        QImage image(64, 16, QImage::Format_RGB32);
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                image.setPixel(x, y, qRgb(next(256), next(256), next(256)));
        const QImage before = image;
        const int x0 = next(80) - 20, y0 = next(20) - 6;
        const QRect clip = round % 2 ? QRect(next(20), 0, 10 + next(40), 16) : image.rect();
        const uint32_t colour = uint32_t(next(1 << 24));
        {
            Canvas canvas(image);
            canvas.SetClip(clip);
            canvas.BlendMask(mask, x0, y0, colour);
        }
        const int to[3] = {int(colour & 0xFF), int(colour >> 8 & 0xFF), int(colour >> 16 & 0xFF)};
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 0; x < image.width(); ++x) {
                const QRgb was = before.pixel(x, y);
                int a = 0;
                if (clip.contains(x, y) && x >= x0 && x < x0 + mask.width() && y >= y0
                    && y < y0 + mask.height())
                    a = mask.constScanLine(y - y0)[x - x0];
                const int from[3] = {qRed(was), qGreen(was), qBlue(was)};
                int want[3];
                for (int c = 0; c < 3; ++c)
                    want[c] = from[c] + (((to[c] - from[c]) * a * 257 + 257 * 128) >> 16);
                QVERIFY2(image.pixel(x, y) == qRgb(want[0], want[1], want[2]),
                         qPrintable(QStringLiteral("round %1 at %2,%3 coverage %4")
                                        .arg(round).arg(x).arg(y).arg(a)));
            }
        }
    }
}

void TestPen::dashedLine()
{
    QImage image = whiteImage(60, 20);
    {
        Canvas canvas(image);
        const ViewParams view = viewOf(image, 1);
        // Dashes 0-10, 12-22 and 24-30 of a 30 mm line.
        LinePen pen = penOf(0, {10, 2});
        DrawStyledLine(canvas, view, pen, 5, 10, 35, 10);
        QCOMPARE(pen.index, 0);
        QCOMPARE(pen.offset, 6.0);
        // No longer than one period: continuous.
        LinePen shortPen = penOf(0, {10, 2});
        DrawStyledLine(canvas, view, shortPen, 5, 5, 10, 5);
        // Going on where the last stroke stood: 4 mm of the dash left, then the gap.
        pen.index = 0;
        pen.offset = 6;
        DrawDashedLine(canvas, view, pen, 5, 15, 15, 15);
        QCOMPARE(pen.index, 0);
        QCOMPARE(pen.offset, 4.0);
    }
    QCOMPARE(runsOfRow(image, 10), QStringList({"5-15", "17-27", "29-35"}));
    QCOMPARE(runsOfRow(image, 15), QStringList({"5-10"}));
    QCOMPARE(runsOfRow(image, 5), QStringList({"5-9", "11-15"}));
}

void TestPen::dotPattern()
{
    // Pitches (0, 1) at 0.5 mm width: a disc of radius 0.25 mm every millimetre, starting at
    // the first end; 10 pixels a millimetre make it 3 pixels.
    const QImage image = drawn(120, 40, 10, penOf(50, {0, 1}), 1, 2, 6, 2);
    for (int centre = 10; centre <= 50; centre += 10) {
        QVERIFY(inked(image, centre, 20) && inked(image, centre - 2, 20));
        QVERIFY(!inked(image, centre + 5, 20) && !inked(image, centre, 24));
    }
    QVERIFY(!inked(image, 60, 20)); // the last millimetre is a gap

    // Where the radius rounds below 2 pixels each disc is one pixel.
    const QImage small = drawn(40, 10, 4, penOf(50, {0, 1}), 1, 1, 6, 1);
    QCOMPARE(runsOfRow(small, 6), QStringList({"4-4", "8-8", "12-12", "16-16", "20-20"}));
    QCOMPARE(inkedCount(small), 5);
}

void TestPen::wideLine()
{
    const QImage image = drawn(100, 60, 1, penOf(1000, {}), 20, 30, 80, 30); // 10 pixels
    int thickness = inkedCount(image, QRect(50, 0, 1, 60));
    QVERIFY2(thickness >= 10 && thickness <= 11, qPrintable(QString::number(thickness)));
    QVERIFY(inked(image, 50, 26) && inked(image, 50, 34) && !inked(image, 50, 37));
    QVERIFY(inked(image, 17, 30) && !inked(image, 13, 30)); // round end

    // Slanted: as thick across the line as along a horizontal one, with round ends.
    const QImage slanted = drawn(100, 100, 1, penOf(1000, {}), 20, 80, 80, 20);
    int across = 0;
    for (int t = -10; t <= 10; ++t)
        across += inked(slanted, 50 + t, 50 - t);
    QCOMPARE(across, 7); // centres within 5 pixels: |t| * 1.414 < 5
    QVERIFY(inked(slanted, 83, 83) && !inked(slanted, 84, 84));
    QVERIFY(inked(slanted, 17, 17) && !inked(slanted, 15, 15));

    // 300 mm at 2 pixels a millimetre is capped at 400 pixels.
    const QImage capped = drawn(300, 700, 2, penOf(30000, {}), 1, 175, 149, 175);
    thickness = inkedCount(capped, {150, 0, 1, 700});
    QVERIFY2(thickness >= 400 && thickness <= 401, qPrintable(QString::number(thickness)));
}

void TestPen::lineCrossingViewEdge()
{
    QImage image = whiteImage(50, 20);
    ViewParams view = viewOf(image, 1);
    view.x1 = 100; // the view shows 100 … 150 mm
    view.x2 = 150;
    {
        Canvas canvas(image);
        LinePen pen = penOf(0, {});
        DrawStyledLine(canvas, view, pen, 80, 10, 120, 10);
        QCOMPARE(DrawClippedLine(canvas, view, 140, 5, 170, 5), 1);
        QCOMPARE(DrawClippedLine(canvas, view, 10, 5, 90, 5), 2);
        // A corner passed outside: nothing appears inside.
        QCOMPARE(DrawClippedLine(canvas, view, 90, 15, 105, 30), 2);
    }
    QCOMPARE(runsOfRow(image, 10), QStringList({"0-20"}));
    QCOMPARE(runsOfRow(image, 15), QStringList({"40-49"}));
    QCOMPARE(inkedCount(image), 21 + 10);
}

void TestPen::patternsThatWouldNotEnd()
{
    const double nan = NAN;
    QImage image = whiteImage(100, 20);
    {
        Canvas canvas(image);
        const ViewParams view = viewOf(image, 1);
        // Pitches adding up to 0 or to almost nothing, or not numbers: drawn continuous.
        int row = 4;
        for (LinePen pen : {penOf(0, {0, 0}), penOf(0, {1e-12, 1e-12}), penOf(0, {nan, 1})}) {
            DrawStyledLine(canvas, view, pen, 10, row, 90, row);
            LinePen again = pen;
            DrawDashedLine(canvas, view, again, 10, row, 90, row);
            QCOMPARE(runsOfRow(image, 20 - row), QStringList({"10-90"}));
            row += 4;
        }
        // Damaged coordinates neither hang nor crash; NaN draws nothing, a huge line
        // through the view is drawn where it crosses it.
        const int before = inkedCount(image);
        LinePen dashed = penOf(0, {1, 1});
        DrawStyledLine(canvas, view, dashed, nan, 5, 50, 5);
        DrawDot(canvas, view, nan, 5, 1);
        DrawDot(canvas, view, 50, 5, nan);
        QCOMPARE(inkedCount(image), before);
        DrawStyledLine(canvas, view, dashed, 1e300, 1e300, -1e300, -1e300);
        DrawStyledLine(canvas, view, dashed, -1e300, 5, 1e300, 5.0000001);
        QCOMPARE(runsOfRow(image, 15), QStringList({"0-99"}));
        // A pen left at a pitch it does not have, or beyond its pitch, starts afresh.
        LinePen badState = penOf(0, {2, 2});
        badState.index = 7;
        badState.offset = 1e300;
        DrawDashedLine(canvas, view, badState, 10, 18, 18, 18);
        QCOMPARE(runsOfRow(image, 2), QStringList({"10-12", "14-16"}));
    }
    // A pattern repeating within two pixels is drawn continuous, however long the line,
    // and dashed once zoomed in until it shows.
    const QImage fine = drawn(100, 20, 1, penOf(0, {0.01, 1.5}), 10, 10, 90, 10);
    QCOMPARE(runsOfRow(fine, 10), QStringList({"10-90"}));
    const QImage close = drawn(100, 20, 500, penOf(0, {0.01, 0.01}), 0.02, 0.02, 0.18, 0.02);
    QCOMPARE(runsOfRow(close, 10).size(), qsizetype(8));
}

void TestPen::xorFiguresErase()
{
    QImage image = whiteImage(80, 60);
    {
        Canvas canvas(image);
        LinePen pen = penOf(35, {5, 2, 0, 2}, 0x00FF00);
        DrawStyledLine(canvas, viewOf(image, 1), pen, 5, 5, 70, 50);
    }
    const QImage drawn = image;
    {
        Canvas canvas(image);
        const ViewParams view = viewOf(image, 1);
        SetXorMode(canvas);
        const auto rubber = [&] {
            SetPen(canvas, 0xFFFF00, 0, 1);
            DrawClippedLine(canvas, view, 2, 30, 78, 31);
            SetPen(canvas, 0xFFFF00, 0, 3);
            DrawFrameRect(canvas, 10, 10, 60, 40);
            SetPen(canvas, 0xFFFF00, 0, 0);
            DrawFrameRect(canvas, 5, 5, 30, 50);
        };
        rubber();
        // Every pixel of the rubber line is touched once: cyan on white shows red.
        QCOMPARE(image.pixel(70, 29) & 0xFFFFFF, 0xFF0000u);
        QVERIFY(image != drawn);
        rubber();
    }
    QVERIFY(image == drawn);
}

void TestPen::frameAndDots()
{
    QImage image = whiteImage(40, 40);
    {
        Canvas canvas(image);
        SetPen(canvas, 0, 0, 0);
        DrawFrameRect(canvas, 2, 2, 12, 12); // covers 2 … 11
        DrawFrameRect(canvas, 20, 2, 21, 10); // narrow: one column, both ends
        DrawFrameRect(canvas, 30, 30, 31, 31); // nothing
        SetBrush(canvas, 0xFF, 1);
        DrawDotPixels(canvas, 30, 10, 1);
        DrawDotPixels(canvas, 10, 30, 4);
        SetPen(canvas, 0, 5, 0); // invisible
        DrawPixelLine(canvas, 0, 38, 39, 38);
    }
    const auto runs = [&](std::initializer_list<int> ys) {
        QStringList all;
        for (int y : ys)
            all << QString::number(y) + ": " + runsOfRow(image, y).join(u' ');
        return all;
    };
    QCOMPARE(runs({2, 6, 11, 12, 30, 38}),
             QStringList({"2: 2-11 20-20", "6: 2-2 11-11 20-20", "11: 2-11", "12: ", "30: 6-13",
                          "38: "}));
    QVERIFY(!inked(image, 30, 30) && inked(image, 30, 10));
    QCOMPARE(image.pixel(10, 30) & 0xFFFFFF, 0xFF0000u); // filled with the brush

    // White background over everything.
    {
        Canvas canvas(image);
        ClearCanvas(canvas, 40, 40);
        QCOMPARE(canvas.Brush(), BrushStyle::Clear);
    }
    QCOMPARE(inkedCount(image), 0);
}

QTEST_GUILESS_MAIN(TestPen)
#include "tst_pen.moc"
