// Moves, turns, mirrors and scalings of the plane, and the figures they carry: what the
// commands that move figures do to every kind alike. Paper millimetres, degrees.
#pragma once

#include "db/entityrows.h"

namespace Geometry {

class Transform
{
public:
    static Transform Move(double dx, double dy);
    // Counter-clockwise by degrees about (cx, cy).
    static Transform Rotate(double cx, double cy, double degrees);
    // About the line through the two points; false-valued (Valid() false) when they coincide.
    static Transform Mirror(double x1, double y1, double x2, double y2);
    // By factor about (cx, cy); Valid() only for a positive, finite factor.
    static Transform Scale(double cx, double cy, double factor);

    bool Valid() const { return valid; }
    void Map(double &x, double &y) const;
    // A direction carried along.
    double Direction(double degrees) const;
    double Factor() const { return factor; }
    bool Mirrors() const { return mirrors; }

private:
    double a = 1, b = 0, c = 0, d = 1, e = 0, f = 0; // x' = a x + b y + e, y' = c x + d y + f
    double turn = 0; // added to directions, or for a mirror twice the line's direction
    double factor = 1;
    bool mirrors = false;
    bool valid = true;
};

// The figure carried by the transform; false (the figure untouched) when a value would not
// be finite or the figure has no shape. A mirrored text stays readable: its place and box
// are mirrored, its characters are not.
bool Apply(const Transform &t, Shape &shape);

} // namespace Geometry
