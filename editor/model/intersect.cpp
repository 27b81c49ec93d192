#include "editor/model/intersect.h"

#include "editor/model/geometry.h"

#include <algorithm>
#include <cmath>

namespace Geometry {

namespace {

// Rounding of the points worked out here, relative to the figures' size.
constexpr double Slack = 1e-9;

double degreesOf(double dx, double dy)
{
    return std::atan2(dy, dx) * 180 / Pi;
}


// Keeps the points the test passes, in order.
template <typename Keep> int keep(int n, double xs[2], double ys[2], Keep ok)
{
    int kept = 0;
    for (int i = 0; i < n; ++i) {
        if (ok(xs[i], ys[i])) {
            xs[kept] = xs[i];
            ys[kept] = ys[i];
            ++kept;
        }
    }
    return kept;
}

// Where along the segment the point lies, 0 at its start and 1 at its end.
double along(const LineShape &l, double x, double y)
{
    const double dx = l.x2 - l.x1, dy = l.y2 - l.y1, l2 = dx * dx + dy * dy;
    return l2 > 0 ? ((x - l.x1) * dx + (y - l.y1) * dy) / l2 : 0;
}

bool onSegment(const LineShape &l, double x, double y)
{
    const double t = along(l, x, y);
    return t >= -Slack && t <= 1 + Slack;
}

CircleShape circleOf(const ArcShape &a)
{
    return {a.cx, a.cy, a.r};
}

bool usable(const CircleShape &c)
{
    return std::isfinite(c.cx) && std::isfinite(c.cy) && std::isfinite(c.r) && c.r > 0;
}

bool usable(const LineShape &l)
{
    return std::isfinite(l.x1) && std::isfinite(l.y1) && std::isfinite(l.x2)
           && std::isfinite(l.y2) && (l.x1 != l.x2 || l.y1 != l.y2);
}

} // namespace

int Intersect(const LineShape &a, const LineShape &b, bool extended, double xs[2], double ys[2])
{
    if (!usable(a) || !usable(b))
        return 0;
    const double ax = a.x2 - a.x1, ay = a.y2 - a.y1, bx = b.x2 - b.x1, by = b.y2 - b.y1;
    const double cross = ax * by - ay * bx;
    if (std::fabs(cross) <= 1e-12 * std::hypot(ax, ay) * std::hypot(bx, by))
        return 0;
    const double t = ((b.x1 - a.x1) * by - (b.y1 - a.y1) * bx) / cross;
    const double u = ((b.x1 - a.x1) * ay - (b.y1 - a.y1) * ax) / cross;
    if (!extended && (t < -Slack || t > 1 + Slack || u < -Slack || u > 1 + Slack))
        return 0;
    xs[0] = a.x1 + t * ax;
    ys[0] = a.y1 + t * ay;
    return 1;
}

int Intersect(const LineShape &a, const CircleShape &b, bool extended, double xs[2],
              double ys[2])
{
    if (!usable(a) || !usable(b))
        return 0;
    const double dx = a.x2 - a.x1, dy = a.y2 - a.y1, length = std::hypot(dx, dy);
    const double ux = dx / length, uy = dy / length;
    const double s = (b.cx - a.x1) * ux + (b.cy - a.y1) * uy;
    const double fx = a.x1 + s * ux, fy = a.y1 + s * uy;
    const double d = std::hypot(b.cx - fx, b.cy - fy);
    if (d > b.r * (1 + Slack))
        return 0;
    const double h = std::sqrt(std::max(0.0, b.r * b.r - d * d));
    int n = 1;
    xs[0] = fx - h * ux;
    ys[0] = fy - h * uy;
    if (h > Slack * b.r) {
        xs[1] = fx + h * ux;
        ys[1] = fy + h * uy;
        n = 2;
    }
    return extended ? n : keep(n, xs, ys, [&](double x, double y) { return onSegment(a, x, y); });
}

int Intersect(const LineShape &a, const ArcShape &b, bool extended, double xs[2], double ys[2])
{
    const int n = Intersect(a, circleOf(b), extended, xs, ys);
    return extended ? n : keep(n, xs, ys, [&](double x, double y) { return OnSpan(b, x, y); });
}

int Intersect(const CircleShape &a, const CircleShape &b, double xs[2], double ys[2])
{
    if (!usable(a) || !usable(b))
        return 0;
    const double dx = b.cx - a.cx, dy = b.cy - a.cy, d = std::hypot(dx, dy);
    const double slack = Slack * (a.r + b.r);
    if (d <= slack || d > a.r + b.r + slack || d < std::fabs(a.r - b.r) - slack)
        return 0;
    // From a's centre along the centres to the chord through both points.
    const double s = (d * d + a.r * a.r - b.r * b.r) / (2 * d);
    const double h = std::sqrt(std::max(0.0, a.r * a.r - s * s));
    const double ux = dx / d, uy = dy / d;
    const double mx = a.cx + s * ux, my = a.cy + s * uy;
    xs[0] = mx + h * uy;
    ys[0] = my - h * ux;
    if (h <= slack)
        return 1;
    xs[1] = mx - h * uy;
    ys[1] = my + h * ux;
    return 2;
}

int Intersect(const CircleShape &a, const ArcShape &b, bool extended, double xs[2], double ys[2])
{
    const int n = Intersect(a, circleOf(b), xs, ys);
    return extended ? n : keep(n, xs, ys, [&](double x, double y) { return OnSpan(b, x, y); });
}

int Intersect(const ArcShape &a, const ArcShape &b, bool extended, double xs[2], double ys[2])
{
    const int n = Intersect(circleOf(a), circleOf(b), xs, ys);
    return extended ? n : keep(n, xs, ys, [&](double x, double y) {
        return OnSpan(a, x, y) && OnSpan(b, x, y);
    });
}

int Foot(double x, double y, const LineShape &l, bool extended, double xs[2], double ys[2])
{
    if (!usable(l) || !std::isfinite(x) || !std::isfinite(y))
        return 0;
    const double t = along(l, x, y);
    if (!extended && (t < -Slack || t > 1 + Slack))
        return 0;
    xs[0] = l.x1 + t * (l.x2 - l.x1);
    ys[0] = l.y1 + t * (l.y2 - l.y1);
    return 1;
}

int Foot(double x, double y, const CircleShape &c, double xs[2], double ys[2])
{
    const double dx = x - c.cx, dy = y - c.cy, d = std::hypot(dx, dy);
    if (!usable(c) || !std::isfinite(d) || d <= Slack * c.r)
        return 0;
    xs[0] = c.cx + dx / d * c.r;
    ys[0] = c.cy + dy / d * c.r;
    xs[1] = c.cx - dx / d * c.r;
    ys[1] = c.cy - dy / d * c.r;
    return 2;
}

int Foot(double x, double y, const ArcShape &a, double xs[2], double ys[2])
{
    const int n = Foot(x, y, circleOf(a), xs, ys);
    return keep(n, xs, ys, [&](double px, double py) { return OnSpan(a, px, py); });
}

int Tangents(double x, double y, const CircleShape &c, double xs[2], double ys[2])
{
    const double dx = x - c.cx, dy = y - c.cy, d = std::hypot(dx, dy);
    if (!usable(c) || !std::isfinite(d) || d < c.r * (1 - Slack))
        return 0;
    if (d <= c.r * (1 + Slack)) {
        xs[0] = x;
        ys[0] = y;
        return 1;
    }
    // The touching points see the centre and the point at a right angle.
    const double base = std::atan2(dy, dx), half = std::acos(c.r / d);
    for (int i = 0; i < 2; ++i) {
        const double t = base + (i ? -half : half);
        xs[i] = c.cx + c.r * std::cos(t);
        ys[i] = c.cy + c.r * std::sin(t);
    }
    return 2;
}

int Tangents(double x, double y, const ArcShape &a, double xs[2], double ys[2])
{
    const int n = Tangents(x, y, circleOf(a), xs, ys);
    return keep(n, xs, ys, [&](double px, double py) { return OnSpan(a, px, py); });
}

void Nearest(double x, double y, const LineShape &l, double &nx, double &ny)
{
    const double t = std::clamp(along(l, x, y), 0.0, 1.0);
    nx = l.x1 + t * (l.x2 - l.x1);
    ny = l.y1 + t * (l.y2 - l.y1);
}

void Nearest(double x, double y, const CircleShape &c, double &nx, double &ny)
{
    const double dx = x - c.cx, dy = y - c.cy, d = std::hypot(dx, dy);
    nx = d > 0 ? c.cx + dx / d * c.r : c.cx + c.r;
    ny = d > 0 ? c.cy + dy / d * c.r : c.cy;
}

void Nearest(double x, double y, const ArcShape &a, double &nx, double &ny)
{
    Nearest(x, y, circleOf(a), nx, ny);
    if (OnSpan(a, nx, ny))
        return;
    double sx, sy, ex, ey;
    ArcEnds(a, sx, sy, ex, ey);
    const bool start = std::hypot(x - sx, y - sy) <= std::hypot(x - ex, y - ey);
    nx = start ? sx : ex;
    ny = start ? sy : ey;
}

bool OnSpan(const ArcShape &a, double x, double y)
{
    if (OnArc(degreesOf(x - a.cx, y - a.cy), a.sa, a.ea))
        return true;
    double sx, sy, ex, ey;
    ArcEnds(a, sx, sy, ex, ey);
    const double near = Slack * (1 + a.r);
    return std::hypot(x - sx, y - sy) <= near || std::hypot(x - ex, y - ey) <= near;
}

} // namespace Geometry
