// The geometry of the commands that change figures: offsets, trimming and extending to
// boundaries, corners rounded or cut, and figures broken apart. Paper millimetres, angles
// in degrees counter-clockwise; pure code, no window and no database.
#pragma once

#include "db/entityrows.h"

#include <vector>

namespace Geometry {

// Why a change of figures gives nothing.
enum class ReshapeFault {
    None,
    Unsupported,   // the kind cannot take this change (a text, say)
    NoSize,        // a distance or radius not positive and finite, a point not finite
    PastCentre,    // an arc or circle offset inwards to radius 0 or less
    NoCrossing,    // no boundary meets the figure where it is needed
    Parallel,      // two lines of one direction: no corner
    TooBig,        // the radius or distances do not fit the corner
    OnEnd          // a break point at an end of the figure, or two coinciding points
};

// The figure moved by distance to the side of (sx, sy): a line parallel to it, a circle or
// arc of the same centre. A text, or a side point on the figure itself: Unsupported / NoSize.
ReshapeFault Offset(const Shape &figure, double distance, double sx, double sy, Shape &out);
// The distance from the figure to (x, y) an offset through that point would take (a line's
// perpendicular distance to its whole line, a circle's or arc's to its whole circle); 0 for
// a text or a figure of no size.
double OffsetDistance(const Shape &figure, double x, double y);

// Trim: the part of the target (line, circle or arc) on which (px, py) lies, between the
// crossings with the boundaries nearest to it on either side (or the target's end), taken
// out. Gives the pieces left (0, 1 or 2); a circle cut at fewer than two points: NoCrossing.
// Boundaries are lines, circles and arcs as they are (texts among them are ignored), and
// crossings at the target's own ends cut nothing; the target itself must not be among them.
ReshapeFault Trim(const Shape &target, double px, double py, const std::vector<Shape> &boundaries,
                  std::vector<Shape> &pieces);
// Extend: the end of the line or arc nearer to (px, py) moved to the nearest crossing of a
// boundary beyond it, along the line or the arc's circle; NoCrossing when none lies beyond.
ReshapeFault Extend(const Shape &target, double px, double py,
                    const std::vector<Shape> &boundaries, Shape &out);

// Corners of two figures picked at (ax, ay) and (bx, by), the picks naming the parts kept.
// Fillet: lines and arcs (line/line, line/arc, arc/arc), each trimmed or extended to the
// rounding arc of radius r; r == 0 makes a sharp corner and gives an arc of radius 0.
// Each is cut or drawn on to the rounding; TooBig when a kept part would vanish or turn
// back. With an arc the rounding lies on the side of each figure where the other's pick
// is, the one touching nearest the picks.
ReshapeFault Fillet(const Shape &a, double ax, double ay, const Shape &b, double bx, double by,
                    double r, Shape &outA, Shape &outB, ArcShape &arc);
// Chamfer of two lines: da along the first from the corner, db along the second, both cut
// there and joined by the chamfer line; da == db == 0 makes a sharp corner (cut of no length).
ReshapeFault Chamfer(const LineShape &a, double ax, double ay, const LineShape &b, double bx,
                     double by, double da, double db, LineShape &outA, LineShape &outB,
                     LineShape &cut);

// Break at one point (the nearest point of the figure to it): a line or arc in two; a
// circle cannot be broken at one point (Unsupported).
ReshapeFault BreakAt(const Shape &figure, double x, double y, std::vector<Shape> &pieces);
// The part between the nearest points to (x1, y1) and (x2, y2) taken out: a line or arc
// gives up to two pieces; a circle gives the arc from the second point counter-clockwise
// to the first (the part from the first counter-clockwise to the second is taken out).
// Points as one, or the whole line or arc between them: OnEnd.
ReshapeFault BreakBetween(const Shape &figure, double x1, double y1, double x2, double y2,
                          std::vector<Shape> &pieces);

} // namespace Geometry
