#include "editor/view/view.h"

#include <algorithm>
#include <cmath>

namespace {

// Centres further out than this (a kilometre of paper a million times over) are not drafting.
constexpr double FarCentre = 1e9;

bool finite(double a, double b = 0, double c = 0, double d = 0)
{
    return std::isfinite(a) && std::isfinite(b) && std::isfinite(c) && std::isfinite(d);
}

} // namespace

ViewParams View::Params() const
{
    ViewParams p;
    p.scale = now.scale;
    p.x1 = now.x1;
    p.y1 = now.y1;
    p.x2 = now.x2;
    p.y2 = now.y2;
    p.width = width;
    p.height = height;
    return p;
}

PaperPoint View::ToPaper(double px, double py) const
{
    return {px / now.scale + now.x1, now.y2 - py / now.scale};
}

PaperPoint View::Centre() const
{
    return {(now.x1 + now.x2) / 2, (now.y1 + now.y2) / 2};
}

bool View::place(double cx, double cy, double scale, int w, int h)
{
    if (w <= 0 || h <= 0 || !finite(cx, cy, scale) || !(scale > 0))
        return false;
    scale = std::clamp(scale, MinScale, MaxScale);
    cx = std::clamp(cx, -FarCentre, FarCentre);
    cy = std::clamp(cy, -FarCentre, FarCentre);
    width = w;
    height = h;
    now.scale = scale;
    now.x1 = cx - w / 2.0 / scale;
    now.x2 = cx + w / 2.0 / scale;
    now.y1 = cy - h / 2.0 / scale;
    now.y2 = cy + h / 2.0 / scale;
    return true;
}

bool View::change(double cx, double cy, double scale, int w, int h)
{
    const ViewRect before = now;
    if (!place(cx, cy, scale, w, h))
        return false;
    previous = before;
    return true;
}

bool View::Fit(double paperWidth, double paperHeight, int w, int h)
{
    if (w <= 0 || h <= 0)
        return false;
    if (!(paperWidth > 0) || !(paperHeight > 0) || !finite(paperWidth, paperHeight)) {
        paperWidth = 420;
        paperHeight = 297;
    }
    const double sx = w / paperWidth * 0.9;
    const double sy = h / paperHeight * 0.9;
    return change(0, 0, std::min(sx, sy), w, h);
}

bool View::ZoomAt(double px, double py, double factor)
{
    if (width <= 0 || height <= 0 || !finite(px, py, factor) || !(factor > 0))
        return false;
    const double scale = std::clamp(now.scale * factor, MinScale, MaxScale);
    // The factor the clamp leaves, so that the point under the pointer stays put.
    const double f = scale / now.scale;
    const PaperPoint m = ToPaper(px, py);
    const PaperPoint c = Centre();
    return change(c.x + (m.x - c.x) * (1 - 1 / f), c.y + (m.y - c.y) * (1 - 1 / f), scale,
                 width, height);
}

bool View::ZoomWindow(PaperPoint p0, PaperPoint p1, int w, int h)
{
    if (w <= 0 || h <= 0 || !finite(p0.x, p0.y, p1.x, p1.y))
        return false;
    const double dx = std::max(std::fabs(p1.x - p0.x), 1e-7);
    const double dy = std::max(std::fabs(p1.y - p0.y), 1e-7);
    return change((p0.x + p1.x) / 2, (p0.y + p1.y) / 2, std::min(w / dx, h / dy), w, h);
}

bool View::ZoomOutWindow(PaperPoint p0, PaperPoint p1, int w, int h)
{
    if (w <= 0 || h <= 0 || !finite(p0.x, p0.y, p1.x, p1.y))
        return false;
    const double scale = std::min(w / (2 * (now.x2 - now.x1)), h / (2 * (now.y2 - now.y1)));
    return change((p0.x + p1.x) / 2, (p0.y + p1.y) / 2, scale, w, h);
}

bool View::CenterOn(PaperPoint p, int w, int h)
{
    if (!finite(p.x, p.y))
        return false;
    return change(p.x, p.y, now.scale, w, h);
}

bool View::MoveBy(double dx, double dy)
{
    if (!finite(dx, dy))
        return false;
    const PaperPoint c = Centre();
    return change(c.x + dx, c.y + dy, now.scale, width, height);
}

bool View::SwapPrevious(int w, int h)
{
    if (w <= 0 || h <= 0)
        return false;
    const ViewRect was = now;
    const ViewRect back = previous;
    if (!place((back.x1 + back.x2) / 2, (back.y1 + back.y2) / 2, back.scale, w, h))
        return false;
    previous = was;
    return true;
}

bool View::Resize(int w, int h)
{
    const PaperPoint c = Centre();
    return place(c.x, c.y, now.scale, w, h);
}
