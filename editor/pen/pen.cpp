#include "editor/pen/pen.h"

#include "editor/pen/canvas.h"

#include <cmath>
#include <functional>
#include <limits>

namespace {

constexpr double Pi = 3.14159265358979323846;
constexpr double EdgeTolerance = 1e-12;
// The widest stroke in pixels, however thick the line or close the zoom.
constexpr double WidestPixels = 400;
// A pattern that would need more periods than this for one segment is drawn continuous:
// its dashes could not be told apart anyway, and the stroke has to end.
constexpr double MostPeriods = 1e5;
bool finite(double a, double b, double c, double d)
{
    return std::isfinite(a) && std::isfinite(b) && std::isfinite(c) && std::isfinite(d);
}

// One end of ClipSegment: moves (x, y) onto the edges its code names, in the order left,
// right, bottom, top, along the segment's original direction.
void clipEnd(double &x, double &y, int code, double ox, double oy, double dx, double dy,
             double xmin, double ymin, double xmax, double ymax)
{
    const double sides[2] = {xmin, xmax};
    for (int i = 0; i < 2; ++i) {
        if ((code & (1 << i)) && std::fabs(dx) > EdgeTolerance) {
            x = sides[i];
            y = (x - ox) * dy / dx + oy;
            code = OutCode(x, y, xmin, ymin, xmax, ymax);
        }
    }
    const double ends[2] = {ymin, ymax};
    for (int i = 0; i < 2; ++i) {
        if ((code & (4 << i)) && std::fabs(dy) > EdgeTolerance) {
            y = ends[i];
            x = (y - oy) * dx / dy + ox;
            code = OutCode(x, y, xmin, ymin, xmax, ymax);
        }
    }
}

} // namespace

double RoundToStep(double value, double step)
{
    if (!(step > 0) || !std::isfinite(step))
        return value;
    if (value < 0)
        return -RoundToStep(-value, step);
    return std::trunc(value / step + 0.5) * step;
}

double Distance(double x1, double y1, double x2, double y2)
{
    return std::sqrt((x2 - x1) * (x2 - x1) + (y2 - y1) * (y2 - y1));
}

double LineAngle(double dx, double dy)
{
    if (std::fabs(dx) < 1e-10 && std::fabs(dy) < 1e-10)
        return 0;
    const double a = std::atan2(dy, dx);
    return a < 0 ? a + 2 * Pi : a;
}

int OutCode(double x, double y, double xmin, double ymin, double xmax, double ymax)
{
    int code = 0;
    if (x - xmin < EdgeTolerance)
        code |= 1;
    if (x - xmax > -EdgeTolerance)
        code |= 2;
    if (y - ymin < EdgeTolerance)
        code |= 4;
    if (y - ymax > -EdgeTolerance)
        code |= 8;
    return code;
}

int TrivialClipTest(double x1, double y1, double x2, double y2, double xmin, double ymin,
                    double xmax, double ymax)
{
    const int c1 = OutCode(x1, y1, xmin, ymin, xmax, ymax);
    const int c2 = OutCode(x2, y2, xmin, ymin, xmax, ymax);
    if (c1 == 0 && c2 == 0)
        return 0;
    return (c1 & c2) != 0 ? 2 : 1;
}

int ClipSegment(double &x1, double &y1, double &x2, double &y2, double xmin, double ymin,
                double xmax, double ymax)
{
    // NaN passes every comparison of the codes as "inside"; such a segment has no place.
    if (!finite(x1, y1, x2, y2))
        return 2;
    const int c1 = OutCode(x1, y1, xmin, ymin, xmax, ymax);
    const int c2 = OutCode(x2, y2, xmin, ymin, xmax, ymax);
    if (c1 == 0 && c2 == 0)
        return 0;
    if ((c1 & c2) != 0)
        return 2;
    const double ox = x1, oy = y1, dx = x2 - x1, dy = y2 - y1;
    clipEnd(x1, y1, c1, ox, oy, dx, dy, xmin, ymin, xmax, ymax);
    clipEnd(x2, y2, c2, ox, oy, dx, dy, xmin, ymin, xmax, ymax);
    if (!finite(x1, y1, x2, y2))
        return 2;
    if (std::fabs(x2 - x1) < EdgeTolerance && std::fabs(y2 - y1) < EdgeTolerance)
        return 2;
    return 1;
}

void ClearCanvas(Canvas &canvas, int width, int height)
{
    canvas.SetPenMode(PenMode::Copy);
    canvas.SetPenWidth(1);
    canvas.SetPenColour(0xFFFFFF);
    canvas.SetBrushColour(0xFFFFFF);
    canvas.SetBrushStyle(BrushStyle::Solid);
    canvas.Rectangle(0, 0, width, height);
    canvas.SetBrushStyle(BrushStyle::Clear);
}

void SetPen(Canvas &canvas, int32_t colour, int style, int width)
{
    static const PenStyle styles[] = {PenStyle::Solid, PenStyle::Dash, PenStyle::Dot,
                                      PenStyle::DashDot, PenStyle::DashDotDot,
                                      PenStyle::Invisible};
    canvas.SetBrushStyle(BrushStyle::Clear);
    canvas.SetPenColour(uint32_t(colour));
    canvas.SetPenWidth(width);
    canvas.SetPenStyle(style >= 1 && style <= 5 ? styles[style] : PenStyle::Solid);
}

void SetBrush(Canvas &canvas, int32_t colour, int kind)
{
    static const BrushStyle kinds[] = {BrushStyle::Clear, BrushStyle::Solid,
                                       BrushStyle::Horizontal, BrushStyle::Vertical,
                                       BrushStyle::ForwardDiagonal, BrushStyle::BackwardDiagonal,
                                       BrushStyle::Cross, BrushStyle::DiagonalCross};
    canvas.SetBrushColour(uint32_t(colour));
    canvas.SetBrushStyle(kind >= 1 && kind <= 7 ? kinds[kind] : BrushStyle::Clear);
}

void SetXorMode(Canvas &canvas)
{
    canvas.SetPenMode(PenMode::Xor);
}

void DrawPixelLine(Canvas &canvas, int x1, int y1, int x2, int y2)
{
    canvas.MoveTo(x1, y1);
    canvas.LineTo(x2, y2);
    canvas.SetPixel(x2, y2);
}

void DrawFrameRect(Canvas &canvas, int x1, int y1, int x2, int y2)
{
    const bool narrow = std::abs(x1 - x2) < 3;
    const bool flat = std::abs(y1 - y2) < 3;
    if (narrow && flat)
        return;
    if (narrow)
        DrawPixelLine(canvas, x1, y1, x1, y2);
    else if (flat)
        DrawPixelLine(canvas, x1, y1, x2, y1);
    else
        canvas.Rectangle(x1, y1, x2, y2);
}

void DrawDotPixels(Canvas &canvas, int x, int y, int r)
{
    if (r < 2)
        canvas.SetPixel(x, y);
    else
        canvas.Ellipse(x - r, y - r, x + r, y + r);
}

int DrawClippedLine(Canvas &canvas, const ViewParams &view, double x1, double y1, double x2,
                    double y2)
{
    const int result = ClipSegment(x1, y1, x2, y2, view.x1, view.y1, view.x2, view.y2);
    if (result == 2)
        return result;
    int32_t px1, py1, px2, py2;
    if (!ToPixel(view, x1, y1, px1, py1) || !ToPixel(view, x2, y2, px2, py2))
        return 2;
    DrawPixelLine(canvas, px1, py1, px2, py2);
    return result;
}

void DrawDot(Canvas &canvas, const ViewParams &view, double cx, double cy, double r)
{
    if (!finite(cx, cy, r, 0))
        return;
    if (TrivialClipTest(cx - r, cy - r, cx + r, cy + r, view.x1, view.y1, view.x2, view.y2) == 2
        || TrivialClipTest(cx - r, cy + r, cx + r, cy - r, view.x1, view.y1, view.x2, view.y2)
               == 2)
        return;
    int32_t px, py;
    if (!ToPixel(view, cx, cy, px, py))
        return;
    // As wide as the widest stroke at most.
    const double radius = std::fmin(std::fabs(r * view.scale), WidestPixels / 2);
    DrawDotPixels(canvas, px, py, RoundHalfAway(radius));
}

void WalkDashes(LinePen &pen, double x1, double y1, double x2, double y2,
                const std::function<void(bool, double, double, double, double)> &each)
{
    if (!finite(x1, y1, x2, y2))
        return;
    double rem = Distance(x1, y1, x2, y2);
    double period = 0;
    if (pen.count >= 1 && pen.count <= 10) {
        for (int i = 0; i < pen.count; ++i)
            period += std::fabs(pen.pitches[i]);
    }
    if (pen.count < 1 || pen.count > 10 || !(period > 0) || rem / period > MostPeriods) {
        each(false, x1, y1, x2, y2);
        return;
    }
    int k = pen.index >= 0 && pen.index < pen.count ? pen.index : 0;
    // An offset that does not lie within its pitch starts the pitch afresh.
    double off = pen.offset >= 0 && pen.offset <= std::fabs(pen.pitches[k]) ? pen.offset : 0;
    double cx = x1, cy = y1;
    // The direction as a unit step; along the x axis for a line of no length.
    const double ux = rem > 0 ? (x2 - x1) / rem : 1, uy = rem > 0 ? (y2 - y1) / rem : 0;
    for (;;) {
        double seg = std::fmax(std::fabs(pen.pitches[k]) - off, 0);
        if (seg > rem)
            seg = rem;
        const double nx = cx + seg * ux, ny = cy + seg * uy;
        if (k % 2 == 0)
            each(std::fabs(pen.pitches[k]) < 1e-8, cx, cy, nx, ny);
        cx = nx;
        cy = ny;
        rem -= seg;
        if (rem <= 1e-10) {
            off += seg;
            break;
        }
        off = 0;
        if (++k >= pen.count)
            k = 0;
    }
    pen.index = k;
    pen.offset = off;
}

void SeekPattern(LinePen &pen, double along)
{
    pen.index = 0;
    pen.offset = 0;
    if (pen.count < 1 || pen.count > 10)
        return;
    double period = 0;
    for (int i = 0; i < pen.count; ++i)
        period += std::fabs(pen.pitches[i]);
    if (!(period > 0) || !std::isfinite(along) || along <= 0)
        return;
    double phase = std::fmod(along, period);
    int k = 0;
    while (k < pen.count && phase >= std::fabs(pen.pitches[k])) {
        phase -= std::fabs(pen.pitches[k]);
        ++k;
    }
    if (k < pen.count) {
        pen.index = k;
        pen.offset = phase;
    }
}

bool FinerThanPixels(const LinePen &pen, double scale)
{
    if (pen.count < 1 || pen.count > 10)
        return false;
    double period = 0;
    for (int i = 0; i < pen.count; ++i)
        period += std::fabs(pen.pitches[i]);
    return period * scale < 2;
}

void DrawDashedLine(Canvas &canvas, const ViewParams &view, LinePen &pen, double x1, double y1,
                    double x2, double y2)
{
    if (FinerThanPixels(pen, view.scale)) {
        LinePen continuous = pen;
        continuous.count = 0;
        DrawDashedLine(canvas, view, continuous, x1, y1, x2, y2);
        return;
    }
    double pw = pen.width / 100.0 * view.scale;
    if (!(pw > 0))
        pw = 0;
    if (pw > WidestPixels)
        pw = WidestPixels;
    // Halves to even; rint does what nearbyint does without saving the floating-point state.
    const int ipw = int(std::rint(pw));
    SetPen(canvas, pen.colour, 0, ipw);
    SetBrush(canvas, pen.colour, 0);
    // Continuous, the commonest: the one dash the walk would give, without walking.
    if (pen.count < 1 || pen.count > 10) {
        if (finite(x1, y1, x2, y2))
            DrawClippedLine(canvas, view, x1, y1, x2, y2);
        return;
    }
    bool dotPen = false;
    WalkDashes(pen, x1, y1, x2, y2, [&](bool dot, double ax, double ay, double bx, double by) {
        if (dot) {
            SetPen(canvas, pen.colour, 0, 0);
            SetBrush(canvas, pen.colour, 1);
            DrawDot(canvas, view, ax, ay, pen.width / 200.0);
        } else {
            if (dotPen) {
                SetPen(canvas, pen.colour, 0, ipw);
                SetBrush(canvas, pen.colour, 0);
            }
            DrawClippedLine(canvas, view, ax, ay, bx, by);
        }
        dotPen = dot;
    });
}

void DrawStyledLine(Canvas &canvas, const ViewParams &view, LinePen &pen, double x1, double y1,
                    double x2, double y2)
{
    pen.index = 0;
    pen.offset = 0;
    if (pen.count < 0 || pen.count > 10)
        pen.count = 0;
    if (pen.count == 0 || Distance(x1, y1, x2, y2) > pen.total) {
        DrawDashedLine(canvas, view, pen, x1, y1, x2, y2);
        return;
    }
    // Continuous for this line only: the pen's pattern stays for the caller's next line.
    LinePen continuous = pen;
    continuous.count = 0;
    DrawDashedLine(canvas, view, continuous, x1, y1, x2, y2);
}
