#include "editor/pen/canvas.h"

#include <QPen>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <vector>

#ifdef __SSE2__
#include <emmintrin.h>
#endif
#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#endif

namespace {

// On and off runs in pixels of the styled one-pixel pens.
const std::vector<int> &runsOf(PenStyle style)
{
    static const std::vector<int> none;
    static const std::vector<int> dash{18, 6};
    static const std::vector<int> dot{3, 3};
    static const std::vector<int> dashDot{9, 6, 3, 6};
    static const std::vector<int> dashDotDot{9, 3, 3, 3, 3, 3};
    switch (style) {
    case PenStyle::Dash: return dash;
    case PenStyle::Dot: return dot;
    case PenStyle::DashDot: return dashDot;
    case PenStyle::DashDotDot: return dashDotDot;
    default: return none;
    }
}

// Whether pixel i of a styled line is drawn.
bool inRun(const std::vector<int> &runs, int period, long long i)
{
    if (runs.empty())
        return true;
    long long at = i % period;
    for (size_t r = 0; r < runs.size(); ++r) {
        if (at < runs[r])
            return r % 2 == 0;
        at -= runs[r];
    }
    return false;
}

Qt::BrushStyle qtBrush(BrushStyle style)
{
    switch (style) {
    case BrushStyle::Solid: return Qt::SolidPattern;
    case BrushStyle::Horizontal: return Qt::HorPattern;
    case BrushStyle::Vertical: return Qt::VerPattern;
    case BrushStyle::ForwardDiagonal: return Qt::FDiagPattern;
    case BrushStyle::BackwardDiagonal: return Qt::BDiagPattern;
    case BrushStyle::Cross: return Qt::CrossPattern;
    case BrushStyle::DiagonalCross: return Qt::DiagCrossPattern;
    default: return Qt::NoBrush;
    }
}

// The premultiplied pixel s over d: each channel of d times (255 - alpha) / 255 as
// (v + (v >> 8) + 128) >> 8, as the painter rounds it, with s added.
QRgb sourceOver(QRgb s, QRgb d)
{
    const uint left = 255 - (s >> 24);
    uint rb = (d & 0xFF00FF) * left;
    rb = ((rb + ((rb >> 8) & 0xFF00FF) + 0x800080) >> 8) & 0xFF00FF;
    uint ag = ((d >> 8) & 0xFF00FF) * left;
    ag = (ag + ((ag >> 8) & 0xFF00FF) + 0x800080) & 0xFF00FF00;
    return s + (ag | rb);
}

// Beyond this no pixel can be on the image, and the line arithmetic below stays in range.
constexpr long long FarPixel = 1LL << 29;

// Rounds up; for values within the pixel range, without a library call.
long long ceilOf(double v)
{
    const long long i = (long long)v;
    return i + (v > double(i) ? 1 : 0);
}

long long floorDiv(long long a, long long b)
{
    long long q = a / b;
    return (a % b != 0 && (a < 0) != (b < 0)) ? q - 1 : q;
}

// The pixels x1 … x2 - 1 by y1 … y2 - 1, whichever way round the corners are given.
QRect boxOf(int x1, int y1, int x2, int y2)
{
    return QRect(QPoint(std::min(x1, x2), std::min(y1, y2)),
                 QSize(std::abs(x2 - x1), std::abs(y2 - y1)));
}

} // namespace

QColor ColourOf(uint32_t colour)
{
    return QColor(colour & 0xFF, (colour >> 8) & 0xFF, (colour >> 16) & 0xFF);
}

namespace {

#if defined(__x86_64__) || defined(__i386__)
__attribute__((target("avx"))) void clearUpperHalves()
{
    _mm256_zeroupper();
}
#endif

#if defined(__x86_64__) || defined(__i386__)
// Eight pixels at a time of blendPremultiplied's rows, in the same arithmetic as its four;
// gives back how many it blended.
__attribute__((target("avx2"))) int blendEights(const QRgb *from, QRgb *line, int count)
{
    const __m256i full = _mm256_set1_epi32(255), low = _mm256_set1_epi32(0x00FF00FF);
    const __m256i half = _mm256_set1_epi16(0x80), high = _mm256_set1_epi16(int16_t(0xFF00));
    int col = 0;
    for (; col + 8 <= count; col += 8) {
        const __m256i s = _mm256_loadu_si256(reinterpret_cast<const __m256i *>(from + col));
        const __m256i a = _mm256_srli_epi32(s, 24);
        if (_mm256_testz_si256(a, a))
            continue;
        __m256i *to = reinterpret_cast<__m256i *>(line + col);
        if (uint32_t(_mm256_movemask_epi8(_mm256_cmpeq_epi32(a, full))) == 0xFFFFFFFFu) {
            _mm256_storeu_si256(to, s);
            continue;
        }
        __m256i left = _mm256_sub_epi32(full, a);
        left = _mm256_or_si256(left, _mm256_slli_epi32(left, 16));
        const __m256i d = _mm256_loadu_si256(to);
        __m256i rb = _mm256_mullo_epi16(_mm256_and_si256(d, low), left);
        __m256i ag = _mm256_mullo_epi16(_mm256_srli_epi16(d, 8), left);
        rb = _mm256_add_epi16(_mm256_add_epi16(rb, _mm256_srli_epi16(rb, 8)), half);
        rb = _mm256_srli_epi16(rb, 8);
        ag = _mm256_add_epi16(_mm256_add_epi16(ag, _mm256_srli_epi16(ag, 8)), half);
        ag = _mm256_and_si256(ag, high);
        _mm256_storeu_si256(to, _mm256_add_epi8(s, _mm256_or_si256(ag, rb)));
    }
    return col;
}
#endif

} // namespace

void SettleVectors()
{
#if defined(__x86_64__) || defined(__i386__)
    static const bool wide = __builtin_cpu_supports("avx");
    if (wide)
        clearUpperHalves();
#endif
}

Canvas::Canvas(QImage &target) : image(target)
{
    if (image.depth() != 32)
        image = image.convertToFormat(QImage::Format_RGB32);
    clipRight = image.width();
    clipBottom = image.height();
    // Taken once: the image is not copied while the canvas exists, so its pixels stay put.
    pixels = image.bits();
    stride = image.bytesPerLine();
}

void Canvas::SetClip(const QRect &clip)
{
    const QRect r = clip.normalized() & image.rect();
    clipLeft = r.isEmpty() ? 0 : r.left();
    clipTop = r.isEmpty() ? 0 : r.top();
    clipRight = r.isEmpty() ? 0 : r.right() + 1;
    clipBottom = r.isEmpty() ? 0 : r.bottom() + 1;
    if (painterReady)
        paint.setClipRect(QRect(clipLeft, clipTop, clipRight - clipLeft, clipBottom - clipTop));
}

void Canvas::beginPainter()
{
    if (painterReady)
        return;
    paint.begin(&image);
    painterReady = true;
    if (clipLeft > 0 || clipTop > 0 || clipRight < image.width() || clipBottom < image.height())
        paint.setClipRect(QRect(clipLeft, clipTop, clipRight - clipLeft, clipBottom - clipTop));
}

Canvas::~Canvas()
{
    if (painterReady)
        paint.end();
}

void Canvas::SetPenColour(uint32_t colour)
{
    // Every stroke sets its colour; most strokes set the one already there.
    if ((colour & 0xFFFFFF) == penColour)
        return;
    penColour = colour & 0xFFFFFF;
    // As ColourOf(penColour).rgb(), without a QColor for every stroke of another colour.
    penRgb = qRgb(int(penColour & 0xFF), int((penColour >> 8) & 0xFF), int(penColour >> 16));
}

void Canvas::SetPenWidth(int width)
{
    penWidth = std::max(width, 0);
}

void Canvas::SetPenStyle(PenStyle style)
{
    penStyle = style;
}

void Canvas::SetPenMode(PenMode mode)
{
    penMode = mode;
}

void Canvas::SetBrushColour(uint32_t colour)
{
    brushColour = colour & 0xFFFFFF;
}

void Canvas::SetBrushStyle(BrushStyle style)
{
    brushStyle = style;
}

QPainter &Canvas::painter()
{
    beginPainter();
    QPen pen(ColourOf(penColour));
    pen.setWidth(penWidth);
    pen.setCapStyle(Qt::RoundCap);
    pen.setJoinStyle(Qt::MiterJoin);
    if (penStyle == PenStyle::Invisible)
        pen.setStyle(Qt::NoPen);
    paint.setPen(pen);
    paint.setBrush(QBrush(ColourOf(brushColour), qtBrush(brushStyle)));
    paint.setCompositionMode(penMode == PenMode::Xor ? QPainter::RasterOp_SourceXorDestination
                                                     : QPainter::CompositionMode_SourceOver);
    return paint;
}

void Canvas::plot(int x, int y)
{
    if (x < clipLeft || y < clipTop || x >= clipRight || y >= clipBottom)
        return;
    put(reinterpret_cast<QRgb *>(pixels + y * stride)[x]);
}

void Canvas::put(QRgb &pixel) const
{
    if (take(pixel))
        pixel = penMode == PenMode::Xor ? pixel ^ (penRgb & 0xFFFFFF) : penRgb;
}

void Canvas::SetDepth(uint32_t *depthOfPixels, uint32_t position)
{
    depth = depthOfPixels;
    depthAt = position;
}

void Canvas::keepDeeper(const QRect &bounds, const std::function<void()> &figure)
{
    std::vector<std::pair<QRgb *, QRgb>> kept;
    const QRect r = bounds & Clip();
    for (int y = r.top(); depth && y <= r.bottom(); ++y) {
        QRgb *line = reinterpret_cast<QRgb *>(pixels + y * stride);
        for (int x = r.left(); x <= r.right(); ++x) {
            if (!below(line[x]))
                kept.emplace_back(line + x, line[x]);
        }
    }
    figure();
    for (const auto &[at, pixel] : kept)
        *at = pixel;
}

template<typename F>
void Canvas::painted(const QRect &bounds, const F &figure)
{
    QPainter &p = painter();
    if (!depth) {
        figure(p);
        return;
    }
    // The figure alone on a clear layer shows which pixels it writes, and in what.
    const QRect r = bounds & Clip();
    if (r.isEmpty())
        return;
    QImage layer(r.size(), QImage::Format_ARGB32_Premultiplied);
    if (layer.isNull()) {
        // Out of memory: drawn over, rather than lost.
        figure(p);
        return;
    }
    layer.fill(0);
    QPainter on(&layer);
    on.setPen(p.pen());
    on.setBrush(p.brush());
    on.setBrushOrigin(-r.topLeft());
    on.translate(-r.topLeft());
    figure(on);
    on.end();
    for (int y = r.top(); y <= r.bottom(); ++y) {
        const QRgb *from = reinterpret_cast<const QRgb *>(layer.constScanLine(y - r.top()));
        QRgb *line = reinterpret_cast<QRgb *>(pixels + y * stride);
        for (int x = r.left(); x <= r.right(); ++x) {
            const QRgb c = from[x - r.left()];
            if (c >> 24 && take(line[x]))
                line[x] = c | 0xFF000000u;
        }
    }
}

void Canvas::MoveTo(int x, int y)
{
    atX = x;
    atY = y;
}

void Canvas::LineTo(int x, int y)
{
    const int fromX = atX;
    const int fromY = atY;
    MoveTo(x, y);
    if (penStyle == PenStyle::Invisible || (fromX == x && fromY == y))
        return;
    // A stroke reaches less than its width beyond its ends: with both beyond one edge of
    // the pixels written by more, none of it falls there (most chords of a curve crossing
    // a narrow part of the picture).
    const long long reach = penWidth > 1 ? penWidth + 1 : 0;
    const long long left = clipLeft - reach, right = clipRight + reach;
    const long long top = clipTop - reach, bottom = clipBottom + reach;
    if ((fromX < left && x < left) || (fromX >= right && x >= right) || (fromY < top && y < top)
        || (fromY >= bottom && y >= bottom))
        return;
    if (penWidth > 1 && penMode == PenMode::Copy && penStyle == PenStyle::Solid)
        wideLine(fromX, fromY, x, y);
    else if (penWidth > 1)
        painted(boxOf(fromX, fromY, x, y).adjusted(-penWidth, -penWidth, penWidth + 1,
                                                   penWidth + 1),
                [&](QPainter &p) { p.drawLine(fromX, fromY, x, y); });
    else
        thinLine(fromX, fromY, x, y);
}

// Steps along the longer axis and rounds the other, visiting only the steps that can fall
// on the image, however far away the ends lie.
void Canvas::thinLine(int x1, int y1, int x2, int y2)
{
    // Most lines of a picture are solid, copied and lie inside the pixels written: every
    // step falls there, so none is tested.
    if (penStyle == PenStyle::Solid && penMode == PenMode::Copy && x1 >= clipLeft
        && x1 < clipRight && x2 >= clipLeft && x2 < clipRight && y1 >= clipTop
        && y1 < clipBottom && y2 >= clipTop && y2 < clipBottom) {
        if (depth)
            plainLineOnRows<true>(x1, y1, x2, y2);
        else
            plainLineOnRows<false>(x1, y1, x2, y2);
        return;
    }
    for (long long v : {x1, y1, x2, y2}) {
        if (std::llabs(v) > FarPixel)
            return;
    }
    const std::vector<int> &runs = runsOf(penStyle);
    int period = 0;
    for (int r : runs)
        period += r;
    const long long dx = x2 - x1;
    const long long dy = y2 - y1;
    const bool alongX = std::llabs(dx) >= std::llabs(dy);
    const long long steps = alongX ? std::llabs(dx) : std::llabs(dy);
    const long long major1 = alongX ? x1 : y1;
    const long long minorDelta = alongX ? dy : dx;
    const long long minor1 = alongX ? y1 : x1;
    const int direction = (alongX ? dx : dy) > 0 ? 1 : -1;
    const long long majorLo = alongX ? clipLeft : clipTop;
    const long long majorHi = alongX ? clipRight : clipBottom;
    const long long minorLo = alongX ? clipTop : clipLeft;
    const long long minorHi = alongX ? clipBottom : clipRight;
    // Steps i with majorLo <= major1 + direction * i < majorHi.
    long long first = direction > 0 ? majorLo - major1 : major1 - (majorHi - 1);
    long long last = direction > 0 ? majorHi - 1 - major1 : major1 - majorLo;
    first = std::max(first, 0LL);
    last = std::min(last, steps - 1);
    // And about those whose minor coordinate falls on the image too: a step to spare either
    // way, as each step is still tested below.
    if (minorDelta == 0) {
        if (minor1 < minorLo || minor1 >= minorHi)
            return;
    } else if (steps > 0) {
        const double t1 = double(minorLo - minor1 - 1) * double(steps) / double(minorDelta);
        const double t2 = double(minorHi - minor1 + 1) * double(steps) / double(minorDelta);
        const double lo = std::max(std::min(t1, t2), double(first));
        const double hi = std::min(std::max(t1, t2), double(last));
        first = std::max(first, (long long)std::floor(lo) - 1);
        last = std::min(last, (long long)std::ceil(hi) + 1);
    }
    if (first > last)
        return;
    // The minor coordinate at step i is minor1 + floor((2 i delta + steps) / (2 steps)),
    // kept as quotient and remainder from one step to the next.
    const long long twoSteps = 2 * steps;
    long long numerator = 2 * first * minorDelta + steps;
    long long minor = minor1 + floorDiv(numerator, twoSteps);
    long long remainder = numerator - floorDiv(numerator, twoSteps) * twoSteps;
    uchar *bits = pixels;
    const bool plain = runs.empty() && penMode == PenMode::Copy;
    for (long long i = first; i <= last; ++i) {
        if (minor >= minorLo && minor < minorHi) {
            const long long major = major1 + direction * i;
            const long long x = alongX ? major : minor;
            const long long y = alongX ? minor : major;
            QRgb &pixel = reinterpret_cast<QRgb *>(bits + y * stride)[x];
            if (plain) {
                if (take(pixel))
                    pixel = penRgb;
            } else if (inRun(runs, period, i))
                put(pixel);
        }
        remainder += 2 * minorDelta;
        if (remainder >= twoSteps) {
            remainder -= twoSteps;
            ++minor;
        } else if (remainder < 0) {
            remainder += twoSteps;
            --minor;
        }
    }
}

// thinLine's steps for ends both on the rows written: the same rounding, the pixel's place
// moved along by a step and across by a row or column when the rounding turns over.
template<bool Depth>
void Canvas::plainLineOnRows(int x1, int y1, int x2, int y2)
{
    const int dx = x2 - x1, dy = y2 - y1;
    const bool alongX = std::abs(dx) >= std::abs(dy);
    const int steps = alongX ? std::abs(dx) : std::abs(dy);
    if (steps == 0)
        return;
    const int delta = alongX ? dy : dx;
    const qsizetype step = stride / qsizetype(sizeof(QRgb));
    // Along the major axis, and across it when the minor coordinate moves one up.
    const qsizetype along = alongX ? (dx > 0 ? 1 : -1) : (dy > 0 ? step : -step);
    const qsizetype across = alongX ? (delta > 0 ? step : -step) : (delta > 0 ? 1 : -1);
    QRgb *pixel = reinterpret_cast<QRgb *>(pixels) + qsizetype(y1) * step + x1;
    // The remainder of (2 i |delta| + steps) over 2 steps, from step 0 on; the minor
    // coordinate moves when it reaches 2 steps.
    const int twoSteps = 2 * steps, twoDelta = 2 * std::abs(delta);
    // A falling coordinate rounds the other way at exact halves (minor1 - ceil((2 i |delta|
    // - steps) / (2 steps))): it moves once the remainder passes 2 steps, not when it
    // reaches them.
    const int turn = delta >= 0 ? twoSteps : twoSteps + 1;
    const QRgb rgb = penRgb;
    int remainder = steps;
    uint32_t *depthAlong =
        Depth ? depth + (pixel - reinterpret_cast<const QRgb *>(pixels)) : nullptr;
    const uint32_t at = depthAt;
    for (int i = 0; i < steps; ++i) {
        if constexpr (Depth) {
            // The depths some steps on asked for from memory now: a steep line's next row
            // is too far for the processor to foresee. Without a branch: which pixels a
            // later figure took follows no pattern.
            __builtin_prefetch(depthAlong + 16 * along, 1);
            __builtin_prefetch(pixel + 16 * along, 1);
            const uint32_t d = *depthAlong;
            *depthAlong = std::max(d, at);
            *pixel = d <= at ? rgb : *pixel;
            depthAlong += along;
        } else {
            *pixel = rgb;
        }
        pixel += along;
        remainder += twoDelta;
        if (remainder >= turn) {
            remainder -= twoSteps;
            pixel += across;
            if constexpr (Depth)
                depthAlong += across;
        }
    }
}

// Every pixel whose centre lies within half the width of the segment (round ends), a run
// per step along the longer axis, half-open across it so that a width of w covers w pixels.
// Only the steps and runs that fall on the image are visited.
void Canvas::wideLine(int x1, int y1, int x2, int y2)
{
    for (long long v : {x1, y1, x2, y2}) {
        if (std::llabs(v) > FarPixel)
            return;
    }
    const bool alongX = std::abs(x2 - x1) >= std::abs(y2 - y1);
    // Major coordinate first; the segment runs toward a larger major coordinate.
    double am = alongX ? x1 : y1, an = alongX ? y1 : x1;
    double bm = alongX ? x2 : y2, bn = alongX ? y2 : x2;
    if (bm < am) {
        std::swap(am, bm);
        std::swap(an, bn);
    }
    const double r = penWidth / 2.0;
    const double dm = bm - am, dn = bn - an;
    const double length = std::sqrt(dm * dm + dn * dn);
    // Across the run: the centre moves by slope a step; the ends' perpendiculars by across.
    const double slope = dm > 0 ? dn / dm : 0;
    const double half = dm > 0 ? r * length / dm : 0;
    const double across = dn != 0 ? -dm / dn : 0;
    const double farEnd = dn != 0 ? an + length * length / dn : 0;
    const long long majorLo = alongX ? clipLeft : clipTop;
    const long long majorHi = alongX ? clipRight : clipBottom;
    const long long minorLo = alongX ? clipTop : clipLeft;
    const long long minorHi = alongX ? clipBottom : clipRight;
    long long first = std::max<long long>(majorLo, ceilOf(am - r));
    long long last = std::min<long long>(majorHi - 1, (long long)std::floor(bm + r));
    // Only the steps whose runs can reach the minor range; each is still cut below.
    const double reach = half + r + 2;
    if (slope == 0) {
        if (an + reach < minorLo || an - reach > minorHi)
            return;
    } else {
        const double t1 = (minorLo - reach - an) / slope, t2 = (minorHi + reach - an) / slope;
        const double lo = am + std::min(t1, t2), hi = am + std::max(t1, t2);
        if (!(hi >= first) || !(lo <= last))
            return;
        first = std::max(first, (long long)std::floor(std::max(lo, double(first))));
        last = std::min(last, (long long)std::ceil(std::min(hi, double(last))));
    }
    uchar *bits = pixels;
    // The run across step m covering lo <= n < hi.
    auto put = [&](long long m, double lo, double hi) {
        const long long n1 = std::max<long long>(minorLo, ceilOf(lo));
        const long long n2 = std::min<long long>(minorHi - 1, ceilOf(hi) - 1);
        if (alongX) {
            uchar *column = bits + m * sizeof(QRgb);
            for (long long n = n1; n <= n2; ++n) {
                QRgb &pixel = *reinterpret_cast<QRgb *>(column + n * stride);
                if (take(pixel))
                    pixel = penRgb;
            }
        } else {
            QRgb *row = reinterpret_cast<QRgb *>(bits + m * stride);
            for (long long n = n1; n <= n2; ++n) {
                if (take(row[n]))
                    row[n] = penRgb;
            }
        }
    };
    // Near the ends: the band cut by the perpendiculars through the ends, and the discs.
    auto nearEnd = [&](long long m) {
        const double k = m - am;
        double lo = 1e300, hi = -1e300;
        if (dm > 0 && k >= -r && k <= dm + r) {
            lo = an + slope * k - half;
            hi = an + slope * k + half;
            if (dn != 0) {
                double e1 = an + across * k, e2 = farEnd + across * k;
                if (e1 > e2)
                    std::swap(e1, e2);
                lo = std::max(lo, e1);
                hi = std::min(hi, e2);
            } else if (k < 0 || k > dm) {
                lo = 1e300;
                hi = -1e300;
            }
        }
        for (int end = 0; end < 2; ++end) {
            const double d = end == 0 ? k : m - bm;
            if (std::fabs(d) <= r) {
                const double h = std::sqrt(r * r - d * d);
                const double c = end == 0 ? an : bn;
                lo = std::min(lo, c - h);
                hi = std::max(hi, c + h);
            }
        }
        if (lo <= hi)
            put(m, lo, hi);
    };
    // Between the ends only the band counts.
    long long innerFirst = std::max(first, ceilOf(am + r));
    long long innerLast = std::min(last, (long long)std::floor(bm - r));
    if (!(dm > 0) || innerFirst > innerLast) {
        innerFirst = last + 1;
        innerLast = last;
    }
    for (long long m = first; m < innerFirst; ++m)
        nearEnd(m);
    for (long long m = innerFirst; m <= innerLast; ++m) {
        const double lo = an + slope * (m - am) - half;
        put(m, lo, lo + 2 * half);
    }
    for (long long m = std::max(innerLast + 1, innerFirst); m <= last; ++m)
        nearEnd(m);
}

void Canvas::PixelPath(const QPoint *points, int count)
{
    if (count < 2)
        return;
    // A curve's chords are many and short: inside the clip, in a solid copied pen of one
    // pixel, each chord's end pixel is the next one's first and none needs testing.
    bool inside = penStyle == PenStyle::Solid && penMode == PenMode::Copy && penWidth <= 1;
    for (int i = 0; inside && i < count; ++i) {
        const QPoint &p = points[i];
        inside = p.x() >= clipLeft && p.x() < clipRight && p.y() >= clipTop && p.y() < clipBottom;
    }
    if (!inside) {
        for (int i = 1; i < count; ++i) {
            MoveTo(points[i - 1].x(), points[i - 1].y());
            LineTo(points[i].x(), points[i].y());
            SetPixel(points[i].x(), points[i].y());
        }
        return;
    }
    for (int i = 1; i < count; ++i) {
        if (depth)
            plainLineOnRows<true>(points[i - 1].x(), points[i - 1].y(), points[i].x(),
                                  points[i].y());
        else
            plainLineOnRows<false>(points[i - 1].x(), points[i - 1].y(), points[i].x(),
                                   points[i].y());
    }
    const QPoint &last = points[count - 1];
    put(reinterpret_cast<QRgb *>(pixels + last.y() * stride)[last.x()]);
    MoveTo(last.x(), last.y());
}

void Canvas::SetPixel(int x, int y)
{
    if (penStyle != PenStyle::Invisible)
        plot(x, y);
}

void Canvas::Rectangle(int x1, int y1, int x2, int y2)
{
    const QRect box = boxOf(x1, y1, x2, y2);
    if (box.isEmpty())
        return;
    const int l = box.left(), t = box.top(), r = l + box.width(), b = t + box.height();
    if (penWidth > 1 && penStyle != PenStyle::Invisible) {
        painted(box.adjusted(-penWidth, -penWidth, penWidth, penWidth),
                [&](QPainter &p) { p.drawRect(box.adjusted(0, 0, -1, -1)); });
        return;
    }
    if (brushStyle != BrushStyle::Clear) {
        // Inside the outline only, so that in XOR mode no pixel is touched twice.
        const QRect inside = penStyle == PenStyle::Invisible
                                 ? QRect(l, t, r - l, b - t)
                                 : QRect(l + 1, t + 1, r - l - 2, b - t - 2);
        if (inside.isValid())
            painted(inside, [&](QPainter &p) { p.fillRect(inside, p.brush()); });
    }
    if (penStyle == PenStyle::Invisible)
        return;
    thinLine(l, t, r, t);
    if (b - 1 > t)
        thinLine(l, b - 1, r, b - 1);
    thinLine(l, t + 1, l, b - 1);
    if (r - 1 > l)
        thinLine(r - 1, t + 1, r - 1, b - 1);
}

void Canvas::Ellipse(int x1, int y1, int x2, int y2)
{
    const QRect box = boxOf(x1, y1, x2, y2);
    if (!box.isEmpty())
        painted(box.adjusted(-penWidth - 1, -penWidth - 1, penWidth + 1, penWidth + 1),
                [&](QPainter &p) { p.drawEllipse(box.adjusted(0, 0, -1, -1)); });
}

void Canvas::FillPath(const QPainterPath &path, const QTransform &transform, uint32_t colour)
{
    // Many small fills a picture: the painter's state is set, not saved and restored.
    beginPainter();
    const QRect bounds = transform.mapRect(path.boundingRect()).toAlignedRect();
    keepDeeper(bounds.adjusted(-2, -2, 2, 2), [&] {
        paint.setCompositionMode(QPainter::CompositionMode_SourceOver);
        paint.setRenderHint(QPainter::Antialiasing, true);
        paint.setTransform(transform);
        paint.fillPath(path, ColourOf(colour));
        paint.resetTransform();
        paint.setRenderHint(QPainter::Antialiasing, false);
    });
}

void Canvas::DrawImage(const QImage &picture, const QPointF &origin, const QPointF &at,
                       double degrees)
{
    if (degrees == 0) {
        // A plain blend, no resampling.
        const QPoint place(int(std::floor(at.x() - origin.x() + 0.5)),
                           int(std::floor(at.y() - origin.y() + 0.5)));
        if (picture.format() == QImage::Format_ARGB32_Premultiplied
            && (image.format() == QImage::Format_RGB32
                || image.format() == QImage::Format_ARGB32_Premultiplied)) {
            blendPremultiplied(picture, place.x(), place.y());
            return;
        }
        beginPainter();
        keepDeeper(QRect(place, picture.size()), [&] {
            paint.setCompositionMode(QPainter::CompositionMode_SourceOver);
            paint.drawImage(place, picture);
        });
        return;
    }
    if (picture.format() == QImage::Format_ARGB32_Premultiplied
        && (image.format() == QImage::Format_RGB32
            || image.format() == QImage::Format_ARGB32_Premultiplied)) {
        blendTurned(picture, origin, at, degrees);
        return;
    }
    beginPainter();
    const QTransform turned = QTransform().translate(at.x(), at.y()).rotate(degrees);
    const QRect bounds = turned.mapRect(QRectF(-origin, picture.size())).toAlignedRect();
    keepDeeper(bounds.adjusted(-2, -2, 2, 2), [&] {
        paint.setCompositionMode(QPainter::CompositionMode_SourceOver);
        paint.setRenderHint(QPainter::SmoothPixmapTransform, true);
        paint.setTransform(turned);
        paint.drawImage(-origin, picture);
        paint.resetTransform();
        paint.setRenderHint(QPainter::SmoothPixmapTransform, false);
    });
}

// Source over, as the painter blends a premultiplied picture onto the image: a pixel of
// full cover replaces, one of none is passed over, the others add the picture's to the
// image's times what the picture leaves, in the painter's rounding. Many small pictures make
// a screen of texts; the painter's set-up for each would cost more than the blending.
void Canvas::blendPremultiplied(const QImage &picture, int x, int y)
{
    SettleVectors();
    const int x0 = std::max(clipLeft, x), y0 = std::max(clipTop, y);
    const int x1 = std::min<long long>(clipRight, (long long)x + picture.width());
    const int y1 = std::min<long long>(clipBottom, (long long)y + picture.height());
    if (x0 >= x1 || y0 >= y1)
        return;
    uchar *bits = pixels;
#if defined(__x86_64__) || defined(__i386__)
    static const bool eights = __builtin_cpu_supports("avx2");
#endif
#ifdef __SSE2__
    // A screen of texts is blended all over the image, each picture a few rows far apart:
    // asked for at once, the rows come from memory together rather than one after another.
    for (int row = y0; row < y1; ++row) {
        const char *line = reinterpret_cast<const char *>(bits + row * stride);
        for (int col = x0 & ~15; col < x1; col += 16)
            _mm_prefetch(line + col * 4, _MM_HINT_T0);
    }
#endif
    for (int row = y0; row < y1; ++row) {
        QRgb *line = reinterpret_cast<QRgb *>(bits + row * stride);
        const QRgb *from = reinterpret_cast<const QRgb *>(picture.constScanLine(row - y));
        int col = x0;
        const int end = x1;
#if defined(__x86_64__) || defined(__i386__)
        if (eights && !depth)
            col += blendEights(from + (col - x), line + col, end - col);
#endif
#ifdef __SSE2__
        // Four pixels at a time, in the same rounding; most of a text's picture is clear.
        const __m128i full = _mm_set1_epi32(255), low = _mm_set1_epi32(0x00FF00FF);
        const __m128i half = _mm_set1_epi16(0x80), high = _mm_set1_epi16(int16_t(0xFF00));
        // Depths are positions of entities, well below the sign bit.
        const __m128i position = _mm_set1_epi32(int(depthAt));
        for (; col + 4 <= end; col += 4) {
            const __m128i s =
                _mm_loadu_si128(reinterpret_cast<const __m128i *>(from + (col - x)));
            const __m128i a = _mm_srli_epi32(s, 24);
            const int clear = _mm_movemask_epi8(_mm_cmpeq_epi32(a, _mm_setzero_si128()));
            if (clear == 0xFFFF)
                continue;
            __m128i *to = reinterpret_cast<__m128i *>(line + col);
            const bool whole = _mm_movemask_epi8(_mm_cmpeq_epi32(a, full)) == 0xFFFF;
            if (whole && !depth) {
                _mm_storeu_si128(to, s);
                continue;
            }
            const __m128i d = _mm_loadu_si128(to);
            __m128i blended = s;
            if (!whole) {
                __m128i left = _mm_sub_epi32(full, a);
                left = _mm_or_si128(left, _mm_slli_epi32(left, 16));
                __m128i rb = _mm_mullo_epi16(_mm_and_si128(d, low), left);
                __m128i ag = _mm_mullo_epi16(_mm_srli_epi16(d, 8), left);
                rb = _mm_add_epi16(_mm_add_epi16(rb, _mm_srli_epi16(rb, 8)), half);
                rb = _mm_srli_epi16(rb, 8);
                ag = _mm_add_epi16(_mm_add_epi16(ag, _mm_srli_epi16(ag, 8)), half);
                ag = _mm_and_si128(ag, high);
                blended = _mm_add_epi8(s, _mm_or_si128(ag, rb));
            }
            if (depth) {
                const __m128i keep = _mm_cmpgt_epi32(
                    _mm_loadu_si128(reinterpret_cast<const __m128i *>(
                        depth + (line + col - reinterpret_cast<const QRgb *>(pixels)))),
                    position);
                blended =
                    _mm_or_si128(_mm_and_si128(keep, d), _mm_andnot_si128(keep, blended));
            }
            _mm_storeu_si128(to, blended);
        }
#endif
        for (; col < end; ++col) {
            const QRgb s = from[col - x];
            const uint a = s >> 24;
            if (a == 0 || !below(line[col]))
                continue;
            line[col] = a == 255 ? s : sourceOver(s, line[col]);
        }
    }
}

namespace {

// The premultiplied picture between its pixels, weights in 1/256: each corner's two channel
// pairs scaled at once.
QRgb sampled(const QImage &picture, long long fx, long long fy)
{
    const long long ix = fx >> 8, iy = fy >> 8;
    const uint wx = uint(fx & 0xFF), wy = uint(fy & 0xFF);
    const auto texel = [&](long long x, long long y) -> QRgb {
        if (x < 0 || y < 0 || x >= picture.width() || y >= picture.height())
            return 0;
        return reinterpret_cast<const QRgb *>(picture.constScanLine(int(y)))[x];
    };
    const QRgb t00 = texel(ix, iy), t10 = texel(ix + 1, iy);
    const QRgb t01 = texel(ix, iy + 1), t11 = texel(ix + 1, iy + 1);
    if ((t00 | t10 | t01 | t11) == 0)
        return 0;
    const auto pair = [&](uint shift) {
        const uint m = 0x00FF00FF;
        const uint top = (((t00 >> shift) & m) * (256 - wx) + ((t10 >> shift) & m) * wx) >> 8 & m;
        const uint bottom =
            (((t01 >> shift) & m) * (256 - wx) + ((t11 >> shift) & m) * wx) >> 8 & m;
        return (top * (256 - wy) + bottom * wy) >> 8 & m;
    };
    return pair(0) | pair(8) << 8;
}

} // namespace

// Each pixel's centre taken back into the picture, worked out from the pixel's place alone,
// so that the canvas's clip changes none; only the columns of a row the turned picture can
// cover are visited.
void Canvas::blendTurned(const QImage &picture, const QPointF &origin, const QPointF &at,
                         double degrees)
{
    const double a = degrees * 3.14159265358979323846 / 180;
    const double c = std::cos(a), s = std::sin(a);
    const double w = picture.width(), h = picture.height();
    if (!std::isfinite(c + s + at.x() + at.y() + origin.x() + origin.y()) || w < 1 || h < 1)
        return;
    // The picture's corners on the canvas bound the rows.
    double top = 1e300, bottom = -1e300;
    for (const auto &[u, v] : {std::pair{0.0, 0.0}, {w, 0.0}, {0.0, h}, {w, h}}) {
        const double y = at.y() + (u - origin.x()) * s + (v - origin.y()) * c;
        top = std::min(top, y);
        bottom = std::max(bottom, y);
    }
    const int y0 = int(std::max<double>(clipTop, std::floor(top) - 1));
    const int y1 = int(std::min<double>(clipBottom, std::ceil(bottom) + 2));
    // After the sine and cosine.
    SettleVectors();
    uchar *bits = pixels;
    for (int row = y0; row < y1; ++row) {
        // The picture's place of the pixel centre (x + 0.5, row + 0.5), less half a pixel
        // for the sampling: u = ub + c x, v = vb - s x.
        const double dy = row + 0.5 - at.y();
        const double ub = origin.x() + (0.5 - at.x()) * c + dy * s - 0.5;
        const double vb = origin.y() - (0.5 - at.x()) * s + dy * c - 0.5;
        // Columns where -1 < u < w and -1 < v < h, a pixel to spare.
        double lo = clipLeft, hi = clipRight;
        const auto within = [&](double base, double step, double end) {
            if (std::fabs(step) < 1e-12) {
                if (!(base > -1 && base < end))
                    hi = lo - 1;
                return;
            }
            double t1 = (-1 - base) / step, t2 = (end - base) / step;
            if (t1 > t2)
                std::swap(t1, t2);
            lo = std::max(lo, std::floor(t1) - 1);
            hi = std::min(hi, std::ceil(t2) + 2);
        };
        within(ub, c, w);
        within(vb, -s, h);
        QRgb *line = reinterpret_cast<QRgb *>(bits + row * stride);
        for (int x = int(lo); x < int(hi); ++x) {
            const double u = ub + c * x, v = vb - s * x;
            const QRgb p = sampled(picture, (long long)std::floor(u * 256),
                                   (long long)std::floor(v * 256));
            if (p >> 24 && below(line[x]))
                line[x] = sourceOver(p, line[x]);
        }
    }
}

void Canvas::BlendMask(const QImage &mask, int x, int y, uint32_t colour)
{
    SettleVectors();
    if (mask.format() != QImage::Format_Alpha8)
        return;
    const int x0 = std::max(clipLeft, x), y0 = std::max(clipTop, y);
    const int x1 = std::min<long long>(clipRight, (long long)x + mask.width());
    const int y1 = std::min<long long>(clipBottom, (long long)y + mask.height());
    if (x0 >= x1 || y0 >= y1)
        return;
    const int r = colour & 0xFF, g = (colour >> 8) & 0xFF, b = (colour >> 16) & 0xFF;
    uchar *bits = pixels;
    for (int row = y0; row < y1; ++row) {
        QRgb *line = reinterpret_cast<QRgb *>(bits + row * stride);
        const uchar *cover = mask.constScanLine(row - y);
        const QRgb solid = 0xFF000000u | uint(r) << 16 | uint(g) << 8 | uint(b);
        const auto one = [&](int col) {
            const int a = cover[col - x];
            if (a == 0 || !below(line[col]))
                return;
            QRgb &d = line[col];
            if (a == 255) {
                d = solid;
                return;
            }
            // x / 255 as (x * 257 + 257 * 128) >> 16, exact enough for coverage.
            const auto mix = [a](int from, int to) {
                return from + (((to - from) * a * 257 + 257 * 128) >> 16);
            };
            d = 0xFF000000u | uint(mix(qRed(d), r)) << 16 | uint(mix(qGreen(d), g)) << 8
                | uint(mix(qBlue(d), b));
        };
        if (depth) {
            for (int col = x0; col < x1; ++col)
                one(col);
            continue;
        }
        int col = x0;
#ifdef __SSE2__
        // Sixteen pixels at a time where a glyph's mask is clear or full, else four at a
        // time in one's rounding: a large glyph's edges make most of its mask.
        const __m128i zero = _mm_setzero_si128();
        const __m128i to16 = _mm_unpacklo_epi8(_mm_set1_epi32(int(solid)), zero);
        const __m128i opaque = _mm_set1_epi32(int(0xFF000000u));
        const __m128i round = _mm_set1_epi32(257 * 128);
        // Two pixels' channels as 16 bits, moved toward the colour by their coverage.
        const auto mixTwo = [&](__m128i from16, __m128i cover16) {
            const __m128i diff = _mm_sub_epi16(to16, from16);
            const __m128i lo = _mm_mullo_epi16(diff, cover16);
            const __m128i hi = _mm_mulhi_epi16(diff, cover16);
            __m128i p1 = _mm_unpacklo_epi16(lo, hi), p2 = _mm_unpackhi_epi16(lo, hi);
            p1 = _mm_srai_epi32(_mm_add_epi32(_mm_add_epi32(_mm_slli_epi32(p1, 8), p1), round), 16);
            p2 = _mm_srai_epi32(_mm_add_epi32(_mm_add_epi32(_mm_slli_epi32(p2, 8), p2), round), 16);
            return _mm_add_epi16(from16, _mm_packs_epi32(p1, p2));
        };
        const auto four = [&](int at) {
            uint32_t c4;
            std::memcpy(&c4, cover + (at - x), 4);
            if (c4 == 0)
                return;
            __m128i *to = reinterpret_cast<__m128i *>(line + at);
            if (c4 == 0xFFFFFFFFu) {
                _mm_storeu_si128(to, _mm_set1_epi32(int(solid)));
                return;
            }
            // Each pixel's coverage in all four of its channels.
            __m128i c = _mm_cvtsi32_si128(int(c4));
            c = _mm_unpacklo_epi8(c, c);
            c = _mm_unpacklo_epi16(c, c);
            const __m128i cLo = _mm_unpacklo_epi8(c, zero), cHi = _mm_unpackhi_epi8(c, zero);
            const __m128i d = _mm_loadu_si128(to);
            const __m128i mixed = _mm_packus_epi16(mixTwo(_mm_unpacklo_epi8(d, zero), cLo),
                                                   mixTwo(_mm_unpackhi_epi8(d, zero), cHi));
            _mm_storeu_si128(to, _mm_or_si128(mixed, opaque));
        };
        for (; col + 16 <= x1; col += 16) {
            const __m128i c = _mm_loadu_si128(reinterpret_cast<const __m128i *>(cover + (col - x)));
            if (_mm_movemask_epi8(_mm_cmpeq_epi8(c, zero)) == 0xFFFF)
                continue;
            if (_mm_movemask_epi8(_mm_cmpeq_epi8(c, _mm_set1_epi8(char(0xFF)))) == 0xFFFF) {
                std::fill(line + col, line + col + 16, solid);
                continue;
            }
            for (int k = col; k < col + 16; k += 4)
                four(k);
        }
        for (; col + 4 <= x1; col += 4)
            four(col);
#endif
        for (; col < x1; ++col)
            one(col);
    }
}
