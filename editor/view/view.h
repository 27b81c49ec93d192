// Which paper rectangle the paint box shows: the arithmetic of fitting, zooming and panning,
// and the view before the last change. No window, no drawing.
#pragma once

#include "editor/pen/pen.h"

struct PaperPoint
{
    double x = 0, y = 0;
};

// The edges and scale of a view, as the previous view keeps them.
struct ViewRect
{
    double x1 = 0, y1 = 0, x2 = 0, y2 = 0;
    double scale = 1;
};

class View
{
public:
    // Pixels per millimetre stay within this range, where double arithmetic stays sane.
    static constexpr double MinScale = 1e-4;
    static constexpr double MaxScale = 1e6;

    const ViewRect &Rect() const { return now; }
    int Width() const { return width; }
    int Height() const { return height; }
    ViewParams Params() const;
    PaperPoint ToPaper(double px, double py) const;
    PaperPoint Centre() const;

    // Each change below saves the view as the previous one first, except Resize and
    // SwapPrevious; each gives false and changes nothing when the paint box has no area or
    // the numbers are not finite.
    // The whole paper at 90 % of the paint box, centred on its middle; a paper without a
    // size is taken as 420 x 297.
    bool Fit(double paperWidth, double paperHeight, int w, int h);
    // Scale times factor about the paint box pixel (px, py), which keeps its paper point.
    bool ZoomAt(double px, double py, double factor);
    // The rectangle p0-p1 fills the paint box in its tighter direction.
    bool ZoomWindow(PaperPoint p0, PaperPoint p1, int w, int h);
    // Half the scale, centred on the rectangle's centre.
    bool ZoomOutWindow(PaperPoint p0, PaperPoint p1, int w, int h);
    bool CenterOn(PaperPoint p, int w, int h);
    // Moves all four edges by (dx, dy) millimetres.
    bool MoveBy(double dx, double dy);
    // Exchanges the view with the previous one; the restored centre and scale get edges for
    // the paint box as it is now.
    bool SwapPrevious(int w, int h);
    // A new paint box size around the same centre and scale.
    bool Resize(int w, int h);

private:
    bool place(double cx, double cy, double scale, int w, int h);
    // place, keeping the view before as the previous one when it succeeds.
    bool change(double cx, double cy, double scale, int w, int h);

    ViewRect now;
    ViewRect previous;
    int width = 0;
    int height = 0;
};
