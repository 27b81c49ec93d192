#include "editor/renderer.h"

#include "editor/drawingmodel.h"
#include "editor/pen/canvas.h"

#include <cmath>
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

void RenderLine(Canvas &canvas, const ViewParams &view, const DrawingModel &model,
                const EntityLine &e)
{
    LineLook look;
    if (e.entity.state != 1 || e.entity.type != 1 || !e.hasLine || !model.Look(e.line, look))
        return;
    // Ends that are not finite are refused by the pen's clipping.
    const double s = look.scale;
    DrawStyledLineInView(canvas, view, look.pen, e.line.x1 * s, e.line.y1 * s, e.line.x2 * s,
                         e.line.y2 * s);
}

void RenderLines(Canvas &canvas, const ViewParams &view, const DrawingModel &model)
{
    std::vector<uint32_t> seen;
    model.LinesIn({view.x1, view.y1, view.x2, view.y2}, seen);
    for (uint32_t i : seen)
        RenderLine(canvas, view, model, model.At(i));
}

void RenderHighlight(Canvas &canvas, const ViewParams &view, const DrawingModel &model,
                     const std::vector<int32_t> &entities)
{
    SetPen(canvas, HighlightColour, 0, 3);
    for (int32_t n : entities) {
        const EntityLine *e = model.Find(n);
        double x1, y1, x2, y2;
        if (e && model.PaperLine(*e, x1, y1, x2, y2))
            DrawClippedLine(canvas, view, x1, y1, x2, y2);
    }
}

void RenderPicture(Canvas &canvas, const ViewParams &view, const DrawingModel &model,
                   const Sheet &sheet)
{
    RenderSheet(canvas, view, sheet);
    RenderLines(canvas, view, model);
}
