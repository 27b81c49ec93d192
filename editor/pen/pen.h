// Geometry and the line-type pen: every stroke the editor puts on screen goes through these
// routines, from paper millimetres to canvas pixels. They keep no state; what carries from
// one stroke to the next lives in the caller's LinePen.
#pragma once

#include <cmath>
#include <cstdint>
#include <functional>

class Canvas;

// The view: pixels per millimetre, the paper points at the paint box's left / bottom and
// right / top edges, and the paint box size in pixels.
struct ViewParams
{
    double scale = 1;
    double x1 = 0, y1 = 0, x2 = 0, y2 = 0;
    int32_t width = 0, height = 0;
};

// A stroke's pen: colour 0x00BBGGRR, width in 1/100 mm, and a dash pattern in mm (even
// pitches drawn, odd ones gaps, a dash shorter than 1e-8 a dot) with the place in it where
// the stroke stands.
struct LinePen
{
    int32_t colour = 0;
    int32_t width = 0;
    double total = 0;
    int32_t count = 0;
    double pitches[10] = {};
    int32_t index = 0;
    double offset = 0;
};

// Half away from zero; values beyond the 32-bit range give its ends, NaN gives 0. Inline:
// every end of every stroke of a picture is rounded.
inline int32_t RoundHalfAway(double v)
{
    if (v != v)
        return 0;
    const double r = v >= 0 ? v + 0.5 : v - 0.5;
    if (r >= 2147483647.0)
        return INT32_MAX;
    if (r <= -2147483648.0)
        return INT32_MIN;
    // The conversion truncates, as std::trunc would.
    return int32_t(r);
}

// A paper point in the view's pixels, or false when it lies so far away (beyond 2^29
// pixels) that only a stroke missing the paint box can reach it.
inline bool ToPixel(const ViewParams &view, double x, double y, int32_t &px, int32_t &py)
{
    constexpr double FarPixels = 1 << 29;
    const double across = (x - view.x1) * view.scale, up = (y - view.y1) * view.scale;
    if (!(std::fabs(across) <= FarPixels) || !(std::fabs(up) <= FarPixels))
        return false;
    px = RoundHalfAway(across);
    py = view.height - RoundHalfAway(up);
    return true;
}
// value to the nearest multiple of step, halves away from zero; a step that is not a
// positive number leaves the value as it is.
double RoundToStep(double value, double step);
double Distance(double x1, double y1, double x2, double y2);
// Direction in radians, 0 <= angle < 2 pi; 0 for a vanishing vector.
double LineAngle(double dx, double dy);

// Bits 1 left, 2 right, 4 below, 8 above; a point on an edge counts as outside.
int OutCode(double x, double y, double xmin, double ymin, double xmax, double ymax);
// 0 both ends inside, 2 both beyond the same edge, else 1.
int TrivialClipTest(double x1, double y1, double x2, double y2, double xmin, double ymin,
                    double xmax, double ymax);
// Clips in place: 0 untouched, 1 clipped, 2 rejected (also any coordinate not finite).
int ClipSegment(double &x1, double &y1, double &x2, double &y2, double xmin, double ymin,
                double xmax, double ymax);

// White background, copy mode, no fill afterwards.
void ClearCanvas(Canvas &canvas, int width, int height);
// style: 1 dash, 2 dot, 3 dash-dot, 4 dash-dot-dot, 5 invisible, else solid. Clears the brush.
void SetPen(Canvas &canvas, int32_t colour, int style, int width);
// kind: 1 solid, 2 horizontal, 3 vertical, 4 forward diagonal, 5 backward diagonal,
// 6 cross, 7 diagonal cross hatch, else no fill.
void SetBrush(Canvas &canvas, int32_t colour, int kind);
void SetXorMode(Canvas &canvas);

// Pixel primitives. DrawPixelLine draws both end pixels.
void DrawPixelLine(Canvas &canvas, int x1, int y1, int x2, int y2);
void DrawFrameRect(Canvas &canvas, int x1, int y1, int x2, int y2);
void DrawDotPixels(Canvas &canvas, int x, int y, int r);

// Paper coordinates. DrawClippedLine returns ClipSegment's result (2: nothing drawn).
int DrawClippedLine(Canvas &canvas, const ViewParams &view, double x1, double y1, double x2,
                    double y2);
void DrawDot(Canvas &canvas, const ViewParams &view, double cx, double cy, double r);
// The pattern from the pen's index and offset along a paper segment: each dash as its two
// ends and each dot (dot true) at its place, in millimetres; leaves index and offset where
// the segment ends. A continuous pen, or one whose pattern cannot advance, gives the whole
// segment as one dash.
void WalkDashes(LinePen &pen, double x1, double y1, double x2, double y2,
                const std::function<void(bool dot, double, double, double, double)> &each);
// Index and offset for the point `along` millimetres after the pattern's start.
void SeekPattern(LinePen &pen, double along);
// Whether the pattern repeats within two pixels at this scale, where its dashes cannot be
// told apart: it is then stroked continuous, however fine another PC made it.
bool FinerThanPixels(const LinePen &pen, double scale);
// Strokes on from the pen's index and offset and leaves them where the stroke ends.
void DrawDashedLine(Canvas &canvas, const ViewParams &view, LinePen &pen, double x1, double y1,
                    double x2, double y2);
// Starts the pattern at (x1, y1); a line no longer than one period is drawn continuous.
void DrawStyledLine(Canvas &canvas, const ViewParams &view, LinePen &pen, double x1, double y1,
                    double x2, double y2);
