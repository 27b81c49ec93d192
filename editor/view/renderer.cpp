#include "editor/view/renderer.h"

#include "editor/model/drawingmodel.h"
#include "editor/model/shapes.h"
#include "editor/pen/canvas.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <vector>

namespace {

// Grid lines step apart in one direction, each i x step for whole i from the view's first
// edge, counted so that no step can stall the loop.
void gridLines(Canvas &canvas, const ViewParams &view, double step, bool vertical)
{
    const double from = vertical ? view.x1 : view.y1;
    const double to = vertical ? view.x2 : view.y2;
    const double first = std::trunc(from / step);
    const int pixels = vertical ? view.width : view.height;
    const double most = pixels / (step * view.scale) + 3;
    if (!std::isfinite(first) || !(most < 1e6))
        return;
    for (long long i = 0; i < (long long)most; ++i) {
        const double at = (first + double(i)) * step;
        if (at > to)
            break;
        if (vertical)
            DrawClippedLine(canvas, view, at, view.y1, at, view.y2);
        else
            DrawClippedLine(canvas, view, view.x1, at, view.x2, at);
    }
}

void grid(Canvas &canvas, const ViewParams &view, double g)
{
    if (!(g > 0) || !std::isfinite(g))
        return;
    if (g * view.scale > 10) {
        SetPen(canvas, 0xEEEEEE, 0, 1);
        gridLines(canvas, view, g, true);
        gridLines(canvas, view, g, false);
    }
    if (5 * g * view.scale > 10) {
        SetPen(canvas, 0xCCCCCC, 0, 1);
        gridLines(canvas, view, 5 * g, true);
        gridLines(canvas, view, 5 * g, false);
    }
}

} // namespace

void RenderSheet(Canvas &canvas, const ViewParams &view, const Sheet &sheet)
{
    ClearCanvas(canvas, canvas.Width(), canvas.Height());
    SetPen(canvas, 0xFFFF00, 0, 0);
    DrawFrameRect(canvas, 0, 0, canvas.Width() - 1, canvas.Height() - 1);
    grid(canvas, view, sheet.grid);
    SetPen(canvas, 0, 0, 3);
    const double hw = sheet.paperWidth / 2, hh = sheet.paperHeight / 2;
    DrawClippedLine(canvas, view, -hw, -hh, hw, -hh);
    DrawClippedLine(canvas, view, hw, -hh, hw, hh);
    DrawClippedLine(canvas, view, hw, hh, -hw, hh);
    DrawClippedLine(canvas, view, -hw, hh, -hw, -hh);
    SetPen(canvas, 0x0000FF, 0, 1);
    const double d = 5 / view.scale;
    DrawClippedLine(canvas, view, -d, 0, d, 0);
    DrawClippedLine(canvas, view, 0, -d, 0, d);
}

void DrawStyledLineInView(Canvas &canvas, const ViewParams &view, LinePen &pen, double x1,
                          double y1, double x2, double y2)
{
    if (pen.count < 0 || pen.count > 10)
        pen.count = 0;
    double period = 0;
    for (int i = 0; i < pen.count; ++i)
        period += std::fabs(pen.pitches[i]);
    if (pen.count == 0 || !(period > 0) || Distance(x1, y1, x2, y2) <= pen.total) {
        DrawStyledLine(canvas, view, pen, x1, y1, x2, y2);
        return;
    }
    // Dots reach half the width beyond their place; a pixel more for rounding.
    const double margin = std::fabs(pen.width) / 200.0 + 2 / view.scale;
    double cx1 = x1, cy1 = y1, cx2 = x2, cy2 = y2;
    const int clipped = ClipSegment(cx1, cy1, cx2, cy2, view.x1 - margin, view.y1 - margin,
                                    view.x2 + margin, view.y2 + margin);
    if (clipped == 2)
        return;
    SeekPattern(pen, clipped == 1 ? Distance(x1, y1, cx1, cy1) : 0);
    DrawDashedLine(canvas, view, pen, cx1, cy1, cx2, cy2);
}

namespace {

constexpr double Pi = 3.14159265358979323846;
// Chords of a curve part from it by at most this many pixels.
constexpr double ChordPixels = 0.25;
constexpr int MostChords = 65536;

// The chords of the arc ccw from sa over sweep degrees, each handed to each with the arc
// length from the start to the chord's start.
void chords(const ViewParams &view, double cx, double cy, double r, double sa, double sweep,
            const std::function<void(double along, double x1, double y1, double x2, double y2)>
                &each)
{
    const double rp = r * view.scale;
    if (!(rp > 0) || !std::isfinite(rp) || !(sweep > 0))
        return;
    const double step = rp > ChordPixels ? 2 * std::acos(1 - ChordPixels / rp) : Pi / 2;
    // A radius so large that no step shows in a double asks for endless chords.
    const double wanted = std::ceil(sweep * Pi / 180 / step);
    const int count = wanted < MostChords ? std::max(2, int(wanted)) : MostChords;
    const double d = sweep * Pi / 180 / count;
    const double a0 = sa * Pi / 180;
    double x1 = cx + r * std::cos(a0), y1 = cy + r * std::sin(a0);
    for (int i = 1; i <= count; ++i) {
        const double x2 = cx + r * std::cos(a0 + d * i), y2 = cy + r * std::sin(a0 + d * i);
        each(r * d * (i - 1), x1, y1, x2, y2);
        x1 = x2;
        y1 = y2;
    }
}

double sweepOf(double sa, double ea)
{
    double sweep = std::fmod(ea - sa, 360.0);
    if (sweep <= 0)
        sweep += 360; // equal ends: the full circle
    return sweep;
}

bool boxOutside(const ViewParams &view, const PaperBox &b, double margin)
{
    return b.x2 < view.x1 - margin || b.x1 > view.x2 + margin || b.y2 < view.y1 - margin
           || b.y1 > view.y2 + margin;
}

// A curve stroked as its chords with the pen's pattern walked along them, begun afresh at
// the start; chords wholly outside the view are passed over and the pattern sought at the
// first one back inside.
void strokeCurve(Canvas &canvas, const ViewParams &view, LinePen &pen, double cx, double cy,
                 double r, double sa, double sweep)
{
    if (pen.count < 0 || pen.count > 10)
        pen.count = 0;
    pen.index = 0;
    pen.offset = 0;
    const double length = r * sweep * Pi / 180;
    if (length <= pen.total)
        pen.count = 0; // no longer than one period: continuous, as lines are
    const double margin = std::fabs(pen.width) / 200.0 + 2 / view.scale;
    bool skipped = false;
    chords(view, cx, cy, r, sa, sweep, [&](double along, double x1, double y1, double x2, double y2) {
        if (TrivialClipTest(x1, y1, x2, y2, view.x1 - margin, view.y1 - margin,
                            view.x2 + margin, view.y2 + margin)
            == 2) {
            skipped = true;
            return;
        }
        if (skipped && pen.count > 0)
            SeekPattern(pen, along);
        skipped = false;
        DrawDashedLine(canvas, view, pen, x1, y1, x2, y2);
    });
}

// The text's box as four edges, for texts too small to read and for bands.
void textBoxEdges(const TextRef &t, const QString &text,
                  const std::function<void(double, double, double, double)> &edge)
{
    double xs[4], ys[4];
    TextCorners(t, text, xs, ys);
    for (int i = 0; i < 4; ++i)
        edge(xs[i], ys[i], xs[(i + 1) % 4], ys[(i + 1) % 4]);
}

} // namespace

void RenderEntity(Canvas &canvas, const ViewParams &view, const DrawingModel &model,
                  const Entity &e)
{
    LineLook look;
    if (!model.Look(e, look))
        return;
    const PaperShape shape = model.Paper(e);
    std::visit(
        [&](const auto &g) {
            using G = std::decay_t<decltype(g)>;
            if constexpr (std::is_same_v<G, LineShape>) {
                // Ends that are not finite are refused by the pen's clipping.
                DrawStyledLineInView(canvas, view, look.pen, g.x1, g.y1, g.x2, g.y2);
            } else if constexpr (std::is_same_v<G, CircleShape>) {
                if (!boxOutside(view, CircleBox(g), std::fabs(look.pen.width) / 200.0))
                    strokeCurve(canvas, view, look.pen, g.cx, g.cy, g.r, 0, 360);
            } else if constexpr (std::is_same_v<G, ArcShape>) {
                if (!boxOutside(view, ArcBox(g), std::fabs(look.pen.width) / 200.0))
                    strokeCurve(canvas, view, look.pen, g.cx, g.cy, g.r, g.sa,
                                sweepOf(g.sa, g.ea));
            } else if constexpr (std::is_same_v<G, TextRef>) {
                RenderText(canvas, view, g, model.Strings(g), look.pen.colour);
            }
        },
        shape);
}

void RenderText(Canvas &canvas, const ViewParams &view, const TextRef &t,
                const TextStrings &strings, int32_t colour)
{
    SetPen(canvas, colour, 0, 1);
    textBoxEdges(t, strings.text, [&](double x1, double y1, double x2, double y2) {
        DrawClippedLine(canvas, view, x1, y1, x2, y2);
    });
}

void RenderBand(Canvas &canvas, const ViewParams &view, const std::vector<Shape> &band)
{
    for (const Shape &shape : band) {
        std::visit(
            [&](const auto &g) {
                using G = std::decay_t<decltype(g)>;
                const auto line = [&](double x1, double y1, double x2, double y2) {
                    DrawClippedLine(canvas, view, x1, y1, x2, y2);
                };
                if constexpr (std::is_same_v<G, LineShape>) {
                    line(g.x1, g.y1, g.x2, g.y2);
                } else if constexpr (std::is_same_v<G, CircleShape>) {
                    chords(view, g.cx, g.cy, g.r, 0, 360,
                           [&](double, double x1, double y1, double x2, double y2) {
                               line(x1, y1, x2, y2);
                           });
                } else if constexpr (std::is_same_v<G, ArcShape>) {
                    chords(view, g.cx, g.cy, g.r, g.sa, sweepOf(g.sa, g.ea),
                           [&](double, double x1, double y1, double x2, double y2) {
                               line(x1, y1, x2, y2);
                           });
                } else if constexpr (std::is_same_v<G, TextShape>) {
                    const TextRef t{g.px, g.py, g.height, g.width, g.spacing, g.angle,
                                    g.style, g.anchor, g.vertical, 0};
                    textBoxEdges(t, g.text, line);
                }
            },
            shape);
    }
}

void RenderEntities(Canvas &canvas, const ViewParams &view, const DrawingModel &model)
{
    std::vector<uint32_t> seen;
    model.EntitiesIn({view.x1, view.y1, view.x2, view.y2}, seen);
    for (uint32_t i : seen)
        RenderEntity(canvas, view, model, model.At(i));
}

void RenderHighlight(Canvas &canvas, const ViewParams &view, const DrawingModel &model,
                     const std::vector<int32_t> &entities)
{
    for (int32_t n : entities) {
        const Entity *e = model.Find(n);
        if (!e)
            continue;
        const PaperShape shape = model.Paper(*e);
        SetPen(canvas, HighlightColour, 0, 3);
        std::visit(
            [&](const auto &g) {
                using G = std::decay_t<decltype(g)>;
                LinePen pen;
                pen.colour = HighlightColour;
                pen.width = int32_t(std::ceil(300 / view.scale)); // 3 pixels
                if constexpr (std::is_same_v<G, LineShape>) {
                    DrawClippedLine(canvas, view, g.x1, g.y1, g.x2, g.y2);
                } else if constexpr (std::is_same_v<G, CircleShape>) {
                    strokeCurve(canvas, view, pen, g.cx, g.cy, g.r, 0, 360);
                } else if constexpr (std::is_same_v<G, ArcShape>) {
                    strokeCurve(canvas, view, pen, g.cx, g.cy, g.r, g.sa, sweepOf(g.sa, g.ea));
                } else if constexpr (std::is_same_v<G, TextRef>) {
                    textBoxEdges(g, model.Strings(g).text,
                                 [&](double x1, double y1, double x2, double y2) {
                                     DrawClippedLine(canvas, view, x1, y1, x2, y2);
                                 });
                }
            },
            shape);
    }
}

void RenderPicture(Canvas &canvas, const ViewParams &view, const DrawingModel &model,
                   const Sheet &sheet)
{
    RenderSheet(canvas, view, sheet);
    RenderEntities(canvas, view, model);
}
