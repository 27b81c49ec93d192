#include "editor/model/reshape.h"

#include "editor/model/geometry.h"
#include "editor/model/intersect.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace Geometry {

namespace {

// Rounding of the points worked out here, relative to the figures' size.
constexpr double Slack = 1e-9;

double degreesOf(double dx, double dy)
{
    return Normal(std::atan2(dy, dx) * 180 / Pi);
}

bool finite(double x, double y)
{
    return std::isfinite(x) && std::isfinite(y);
}

bool usable(const LineShape &l)
{
    return finite(l.x1, l.y1) && finite(l.x2, l.y2) && std::isfinite(l.x2 - l.x1)
           && std::isfinite(l.y2 - l.y1) && (l.x1 != l.x2 || l.y1 != l.y2);
}

bool usable(const CircleShape &c)
{
    return finite(c.cx, c.cy) && std::isfinite(c.r) && c.r > 0;
}

bool usable(const ArcShape &a)
{
    return finite(a.cx, a.cy) && finite(a.sa, a.ea) && std::isfinite(a.r) && a.r > 0;
}

bool usable(const TextShape &)
{
    return false;
}

bool usable(const std::monostate &)
{
    return false;
}

bool usable(const Shape &s)
{
    return std::visit([](const auto &f) { return usable(f); }, s);
}

bool finiteShape(const Shape &s)
{
    if (const auto *l = std::get_if<LineShape>(&s))
        return finite(l->x1, l->y1) && finite(l->x2, l->y2);
    if (const auto *c = std::get_if<CircleShape>(&s))
        return finite(c->cx, c->cy) && std::isfinite(c->r);
    if (const auto *a = std::get_if<ArcShape>(&s))
        return finite(a->cx, a->cy) && std::isfinite(a->r) && finite(a->sa, a->ea);
    return false;
}

bool textOrNothing(const Shape &s)
{
    return std::holds_alternative<TextShape>(s) || std::holds_alternative<std::monostate>(s);
}

double lengthOf(const LineShape &l)
{
    return std::hypot(l.x2 - l.x1, l.y2 - l.y1);
}

// Where along the segment the point lies, 0 at its start and 1 at its end.
double along(const LineShape &l, double x, double y)
{
    const double dx = l.x2 - l.x1, dy = l.y2 - l.y1;
    return ((x - l.x1) * dx + (y - l.y1) * dy) / (dx * dx + dy * dy);
}

// Where along the arc the point's direction lies, 0 at its start and 1 at its end; a
// direction off the span counts as the nearer end.
double arcAlong(const ArcShape &a, double x, double y)
{
    const double sweep = Sweep(a.sa, a.ea);
    const double off = Normal(degreesOf(x - a.cx, y - a.cy) - a.sa);
    if (off <= sweep)
        return off / sweep;
    return off - sweep < 360 - off ? 1 : 0;
}

// Degrees along a circle that make up the rounding slack of its points.
double slackDegrees(double r)
{
    return Slack * (1 + r) / r * 180 / Pi;
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

// Where the whole line meets the boundary as it is.
int lineMeet(const LineShape &l, const Shape &b, double xs[2], double ys[2])
{
    int n = 0;
    if (const auto *bl = std::get_if<LineShape>(&b))
        n = Intersect(l, *bl, true, xs, ys) == 1 && onSegment(*bl, xs[0], ys[0]) ? 1 : 0;
    else if (const auto *c = std::get_if<CircleShape>(&b))
        n = Intersect(l, *c, true, xs, ys);
    else if (const auto *a = std::get_if<ArcShape>(&b)) {
        const int all = Intersect(l, *a, true, xs, ys);
        for (int i = 0; i < all; ++i) {
            if (OnSpan(*a, xs[i], ys[i])) {
                xs[n] = xs[i];
                ys[n] = ys[i];
                ++n;
            }
        }
    }
    return n;
}

// The shapes given back, or none at all when one of them is not finite.
ReshapeFault checked(std::vector<Shape> &pieces)
{
    for (const Shape &p : pieces) {
        if (!finiteShape(p)) {
            pieces.clear();
            return ReshapeFault::NoSize;
        }
    }
    return ReshapeFault::None;
}

ReshapeFault checked(Shape &out)
{
    if (finiteShape(out))
        return ReshapeFault::None;
    out = Shape();
    return ReshapeFault::NoSize;
}

} // namespace

ReshapeFault Offset(const Shape &figure, double distance, double sx, double sy, Shape &out)
{
    out = Shape();
    if (textOrNothing(figure))
        return ReshapeFault::Unsupported;
    if (!usable(figure) || !std::isfinite(distance) || distance <= 0 || !finite(sx, sy))
        return ReshapeFault::NoSize;
    if (const auto *l = std::get_if<LineShape>(&figure)) {
        const double length = lengthOf(*l);
        const double nx = -(l->y2 - l->y1) / length, ny = (l->x2 - l->x1) / length;
        const double side = (sx - l->x1) * nx + (sy - l->y1) * ny;
        if (!std::isfinite(side) || std::fabs(side) <= Slack * std::max(1.0, length))
            return ReshapeFault::NoSize;
        const double d = side > 0 ? distance : -distance;
        out = LineShape{l->x1 + d * nx, l->y1 + d * ny, l->x2 + d * nx, l->y2 + d * ny};
        return checked(out);
    }
    const bool arc = std::holds_alternative<ArcShape>(figure);
    const ArcShape a = arc ? std::get<ArcShape>(figure) : ArcShape();
    const CircleShape c = arc ? circleOf(a) : std::get<CircleShape>(figure);
    const double from = std::hypot(sx - c.cx, sy - c.cy);
    if (!std::isfinite(from) || std::fabs(from - c.r) <= Slack * std::max(1.0, c.r))
        return ReshapeFault::NoSize;
    const double r = from > c.r ? c.r + distance : c.r - distance;
    if (r <= Slack * c.r)
        return ReshapeFault::PastCentre;
    if (arc)
        out = ArcShape{a.cx, a.cy, r, a.sa, a.ea};
    else
        out = CircleShape{c.cx, c.cy, r};
    return checked(out);
}

double OffsetDistance(const Shape &figure, double x, double y)
{
    double d = 0;
    if (!usable(figure) || !finite(x, y))
        return 0;
    if (const auto *l = std::get_if<LineShape>(&figure))
        d = std::fabs((x - l->x1) * (l->y2 - l->y1) - (y - l->y1) * (l->x2 - l->x1))
            / lengthOf(*l);
    else if (const auto *c = std::get_if<CircleShape>(&figure))
        d = DistanceToCircle(x, y, *c);
    else if (const auto *a = std::get_if<ArcShape>(&figure))
        d = DistanceToCircle(x, y, circleOf(*a));
    return std::isfinite(d) ? d : 0;
}

namespace {

// A crossing on the target: how far along it (0 to 1; a circle's from its direction 0).
struct Cut
{
    double u, x, y;
};

double alongShape(const Shape &s, double x, double y)
{
    if (const auto *l = std::get_if<LineShape>(&s))
        return std::clamp(along(*l, x, y), 0.0, 1.0);
    if (const auto *a = std::get_if<ArcShape>(&s))
        return arcAlong(*a, x, y);
    const auto &c = std::get<CircleShape>(s);
    return degreesOf(x - c.cx, y - c.cy) / 360;
}

// The crossings in order, each once; those at the ends of a line or arc do not cut it.
std::vector<Cut> cutsOf(const Shape &target, const std::vector<Shape> &boundaries)
{
    const bool closed = std::holds_alternative<CircleShape>(target);
    std::vector<Cut> cuts;
    for (const Shape &b : boundaries) {
        double xs[2], ys[2];
        const int n = Crossings(target, b, xs, ys);
        for (int i = 0; i < n; ++i) {
            if (!finite(xs[i], ys[i]))
                continue;
            const double u = alongShape(target, xs[i], ys[i]);
            if (!closed && (u <= Slack || u >= 1 - Slack))
                continue;
            cuts.push_back({u, xs[i], ys[i]});
        }
    }
    std::sort(cuts.begin(), cuts.end(), [](const Cut &p, const Cut &q) { return p.u < q.u; });
    cuts.erase(std::unique(cuts.begin(), cuts.end(),
                           [](const Cut &p, const Cut &q) { return q.u - p.u <= Slack; }),
               cuts.end());
    // Round a circle the last crossing may be the first again.
    if (closed && cuts.size() > 1 && cuts.back().u - cuts.front().u >= 1 - Slack)
        cuts.pop_back();
    return cuts;
}

} // namespace

ReshapeFault Trim(const Shape &target, double px, double py, const std::vector<Shape> &boundaries,
                  std::vector<Shape> &pieces)
{
    pieces.clear();
    if (textOrNothing(target))
        return ReshapeFault::Unsupported;
    if (!usable(target) || !finite(px, py))
        return ReshapeFault::NoSize;
    const std::vector<Cut> cuts = cutsOf(target, boundaries);
    const double at = alongShape(target, px, py);
    const Cut *lo = nullptr, *hi = nullptr;
    for (const Cut &k : cuts) {
        if (k.u <= at)
            lo = &k;
        else if (!hi)
            hi = &k;
    }
    if (const auto *c = std::get_if<CircleShape>(&target)) {
        if (cuts.size() < 2)
            return ReshapeFault::NoCrossing;
        // The pick between the last crossing and the first: the cut part runs over 0.
        if (!lo)
            lo = &cuts.back();
        if (!hi)
            hi = &cuts.front();
        pieces.push_back(ArcShape{c->cx, c->cy, c->r, degreesOf(hi->x - c->cx, hi->y - c->cy),
                                  degreesOf(lo->x - c->cx, lo->y - c->cy)});
        return checked(pieces);
    }
    if (!lo && !hi)
        return ReshapeFault::NoCrossing;
    if (const auto *l = std::get_if<LineShape>(&target)) {
        if (lo)
            pieces.push_back(LineShape{l->x1, l->y1, lo->x, lo->y});
        if (hi)
            pieces.push_back(LineShape{hi->x, hi->y, l->x2, l->y2});
    } else {
        const auto &a = std::get<ArcShape>(target);
        if (lo)
            pieces.push_back(
                ArcShape{a.cx, a.cy, a.r, a.sa, degreesOf(lo->x - a.cx, lo->y - a.cy)});
        if (hi)
            pieces.push_back(
                ArcShape{a.cx, a.cy, a.r, degreesOf(hi->x - a.cx, hi->y - a.cy), a.ea});
    }
    return checked(pieces);
}

ReshapeFault Extend(const Shape &target, double px, double py,
                    const std::vector<Shape> &boundaries, Shape &out)
{
    out = Shape();
    if (!std::holds_alternative<LineShape>(target) && !std::holds_alternative<ArcShape>(target))
        return ReshapeFault::Unsupported;
    if (!usable(target) || !finite(px, py))
        return ReshapeFault::NoSize;
    double best = std::numeric_limits<double>::infinity(), bx = 0, by = 0;
    if (const auto *l = std::get_if<LineShape>(&target)) {
        const bool start = std::hypot(px - l->x1, py - l->y1) <= std::hypot(px - l->x2, py - l->y2);
        const double length = lengthOf(*l);
        const double ex = start ? l->x1 : l->x2, ey = start ? l->y1 : l->y2;
        const double ux = (start ? l->x1 - l->x2 : l->x2 - l->x1) / length;
        const double uy = (start ? l->y1 - l->y2 : l->y2 - l->y1) / length;
        for (const Shape &b : boundaries) {
            double xs[2], ys[2];
            const int n = lineMeet(*l, b, xs, ys);
            for (int i = 0; i < n; ++i) {
                const double s = (xs[i] - ex) * ux + (ys[i] - ey) * uy;
                if (std::isfinite(s) && s > Slack * std::max(1.0, length) && s < best) {
                    best = s;
                    bx = xs[i];
                    by = ys[i];
                }
            }
        }
        if (!std::isfinite(best))
            return ReshapeFault::NoCrossing;
        out = start ? LineShape{bx, by, l->x2, l->y2} : LineShape{l->x1, l->y1, bx, by};
        return checked(out);
    }
    const auto &a = std::get<ArcShape>(target);
    double sx, sy, ex, ey;
    ArcEnds(a, sx, sy, ex, ey);
    const bool start = std::hypot(px - sx, py - sy) <= std::hypot(px - ex, py - ey);
    // Only the gap between the ends can be taken, never the arc over again.
    const double gap = 360 - Sweep(a.sa, a.ea), near = slackDegrees(a.r);
    double angle = 0;
    for (const Shape &b : boundaries) {
        double xs[2], ys[2];
        const int n = Crossings(Shape(circleOf(a)), b, xs, ys);
        for (int i = 0; i < n; ++i) {
            if (!finite(xs[i], ys[i]))
                continue;
            const double t = degreesOf(xs[i] - a.cx, ys[i] - a.cy);
            const double g = start ? Normal(a.sa - t) : Normal(t - a.ea);
            if (g > near && g < gap - near && g < best) {
                best = g;
                angle = t;
            }
        }
    }
    if (!std::isfinite(best))
        return ReshapeFault::NoCrossing;
    out = start ? ArcShape{a.cx, a.cy, a.r, angle, a.ea} : ArcShape{a.cx, a.cy, a.r, a.sa, angle};
    return checked(out);
}

namespace {

// One line of a corner: the direction of its kept part from the corner, how far that part
// reaches, and whether the line's first end is the one kept.
struct Leg
{
    double kx = 0, ky = 0, reach = 0;
    bool firstKept = true;
};

Leg legOf(const LineShape &l, double px, double py, double pickX, double pickY)
{
    const double length = lengthOf(l);
    const double ux = (l.x2 - l.x1) / length, uy = (l.y2 - l.y1) / length;
    const double s1 = (l.x1 - px) * ux + (l.y1 - py) * uy, s2 = (l.x2 - px) * ux + (l.y2 - py) * uy;
    double s = (pickX - px) * ux + (pickY - py) * uy;
    // A pick on the corner itself names nothing: the longer part is kept.
    if (!(std::fabs(s) > Slack * std::max({1.0, length, std::fabs(s1), std::fabs(s2)})))
        s = std::fabs(s1) >= std::fabs(s2) ? s1 : s2;
    Leg leg;
    const double sign = s >= 0 ? 1 : -1;
    leg.kx = sign * ux;
    leg.ky = sign * uy;
    leg.firstKept = sign * s1 >= sign * s2;
    leg.reach = std::max(sign * s1, sign * s2);
    return leg;
}

// The line from its kept end to (x, y).
LineShape keptTo(const LineShape &l, const Leg &leg, double x, double y)
{
    return leg.firstKept ? LineShape{l.x1, l.y1, x, y} : LineShape{x, y, l.x2, l.y2};
}

bool fits(const Leg &leg, double cut)
{
    return std::isfinite(cut) && cut < leg.reach - Slack * std::max(1.0, leg.reach);
}

ReshapeFault filletLines(const LineShape &a, double ax, double ay, const LineShape &b, double bx,
                         double by, double r, Shape &outA, Shape &outB, ArcShape &arc)
{
    double xs[2], ys[2];
    if (Intersect(a, b, true, xs, ys) != 1)
        return ReshapeFault::Parallel;
    const double px = xs[0], py = ys[0];
    const Leg la = legOf(a, px, py, ax, ay), lb = legOf(b, px, py, bx, by);
    const double cross = la.kx * lb.ky - la.ky * lb.kx, dot = la.kx * lb.kx + la.ky * lb.ky;
    const double half = std::atan2(std::fabs(cross), dot) / 2;
    const double t = r > 0 ? r / std::tan(half) : 0;
    if (!fits(la, t) || !fits(lb, t))
        return ReshapeFault::TooBig;
    const double tax = px + t * la.kx, tay = py + t * la.ky;
    const double tbx = px + t * lb.kx, tby = py + t * lb.ky;
    outA = keptTo(a, la, tax, tay);
    outB = keptTo(b, lb, tbx, tby);
    if (r == 0) {
        arc = ArcShape{px, py, 0, 0, 0};
    } else {
        // The centre stands off the first line towards the second's kept part.
        const double side = cross > 0 ? 1 : -1;
        const double cx = tax - side * la.ky * r, cy = tay + side * la.kx * r;
        const double s = degreesOf(tax - cx, tay - cy), e = degreesOf(tbx - cx, tby - cy);
        arc = side > 0 ? ArcShape{cx, cy, r, e, s} : ArcShape{cx, cy, r, s, e};
    }
    return ReshapeFault::None;
}

// A line or arc in a corner.
struct Curve
{
    bool isLine = true;
    LineShape l;
    ArcShape a;
};

void nearestOn(const Curve &c, double x, double y, double &nx, double &ny)
{
    if (c.isLine)
        Nearest(x, y, c.l, nx, ny);
    else
        Nearest(x, y, c.a, nx, ny);
}

// A line's left (+1) or right (-1), an arc's circle's outside (+1) or inside (-1); 0 on it.
int sideOf(const Curve &c, double x, double y)
{
    double d;
    if (c.isLine) {
        const double length = lengthOf(c.l);
        d = ((c.l.x2 - c.l.x1) * (y - c.l.y1) - (c.l.y2 - c.l.y1) * (x - c.l.x1)) / length;
        if (std::fabs(d) <= Slack * std::max(1.0, length))
            return 0;
    } else {
        d = std::hypot(x - c.a.cx, y - c.a.cy) - c.a.r;
        if (std::fabs(d) <= Slack * std::max(1.0, c.a.r))
            return 0;
    }
    return d > 0 ? 1 : -1;
}

// Where a rounding circle's centre can lie: a line moved to either side, an arc's circle
// grown or shrunk; side as sideOf gives for the rounding next to the curve.
struct Locus
{
    bool isLine = true;
    LineShape l;
    CircleShape c;
    int side = 0;
};

int lociOf(const Curve &c, double r, Locus out[2])
{
    if (c.isLine) {
        const double length = lengthOf(c.l);
        const double nx = -(c.l.y2 - c.l.y1) / length * r, ny = (c.l.x2 - c.l.x1) / length * r;
        for (int i = 0; i < 2; ++i) {
            const double k = i ? -1 : 1;
            out[i].isLine = true;
            out[i].l = {c.l.x1 + k * nx, c.l.y1 + k * ny, c.l.x2 + k * nx, c.l.y2 + k * ny};
            out[i].side = i ? -1 : 1;
        }
        return 2;
    }
    int n = 0;
    out[n++] = {false, {}, {c.a.cx, c.a.cy, c.a.r + r}, 1};
    // A rounding larger than the arc's circle holds it: still outside next to it.
    if (std::fabs(c.a.r - r) > Slack * c.a.r)
        out[n++] = {false, {}, {c.a.cx, c.a.cy, std::fabs(c.a.r - r)}, r < c.a.r ? -1 : 1};
    return n;
}

int meetLoci(const Locus &p, const Locus &q, double xs[2], double ys[2])
{
    if (p.isLine && q.isLine)
        return Intersect(p.l, q.l, true, xs, ys);
    if (p.isLine)
        return Intersect(p.l, q.c, true, xs, ys);
    if (q.isLine)
        return Intersect(q.l, p.c, true, xs, ys);
    return Intersect(p.c, q.c, xs, ys);
}

// Where the whole line or circle of one curve meets the other's.
int meetWhole(const Curve &p, const Curve &q, double xs[2], double ys[2])
{
    if (p.isLine && q.isLine)
        return Intersect(p.l, q.l, true, xs, ys);
    if (p.isLine)
        return Intersect(p.l, q.a, true, xs, ys);
    if (q.isLine)
        return Intersect(q.l, p.a, true, xs, ys);
    return Intersect(p.a, q.a, true, xs, ys);
}

// Where a circle of radius r about (cx, cy) touches the curve.
bool touchOf(const Curve &c, double cx, double cy, double r, double &tx, double &ty)
{
    if (c.isLine) {
        const double t = along(c.l, cx, cy);
        tx = c.l.x1 + t * (c.l.x2 - c.l.x1);
        ty = c.l.y1 + t * (c.l.y2 - c.l.y1);
        return finite(tx, ty);
    }
    const double d = std::hypot(cx - c.a.cx, cy - c.a.cy);
    if (!(d > Slack * c.a.r) || !std::isfinite(d))
        return false;
    const double ux = (cx - c.a.cx) / d, uy = (cy - c.a.cy) / d;
    const double nearX = c.a.cx + ux * c.a.r, nearY = c.a.cy + uy * c.a.r;
    const double farX = c.a.cx - ux * c.a.r, farY = c.a.cy - uy * c.a.r;
    const bool near = std::fabs(std::hypot(nearX - cx, nearY - cy) - r)
                      <= std::fabs(std::hypot(farX - cx, farY - cy) - r);
    tx = near ? nearX : farX;
    ty = near ? nearY : farY;
    return true;
}

// The curve's direction at a point on it: a line's own, an arc's counter-clockwise.
void directionAt(const Curve &c, double x, double y, double &dx, double &dy)
{
    if (c.isLine) {
        const double length = lengthOf(c.l);
        dx = (c.l.x2 - c.l.x1) / length;
        dy = (c.l.y2 - c.l.y1) / length;
    } else {
        dx = -(y - c.a.cy) / c.a.r;
        dy = (x - c.a.cx) / c.a.r;
    }
}

// The curve cut or drawn on to (tx, ty), keeping the part that leaves there along (kx, ky);
// TooBig when that part would be gone or turned back.
ReshapeFault keepFrom(const Curve &c, double tx, double ty, double kx, double ky, Shape &out)
{
    if (c.isLine) {
        const double length = std::hypot(kx, ky);
        const double s1 = ((c.l.x1 - tx) * kx + (c.l.y1 - ty) * ky) / length;
        const double s2 = ((c.l.x2 - tx) * kx + (c.l.y2 - ty) * ky) / length;
        const double reach = std::max(s1, s2);
        if (!(reach > Slack * std::max(1.0, lengthOf(c.l))))
            return ReshapeFault::TooBig;
        out = s1 >= s2 ? LineShape{c.l.x1, c.l.y1, tx, ty} : LineShape{tx, ty, c.l.x2, c.l.y2};
        return ReshapeFault::None;
    }
    const ArcShape &a = c.a;
    double dx, dy;
    directionAt(c, tx, ty, dx, dy);
    const bool onwards = dx * kx + dy * ky > 0; // the kept part runs counter-clockwise
    const double t = degreesOf(tx - a.cx, ty - a.cy), sweep = Sweep(a.sa, a.ea);
    const double off = Normal(t - a.sa), near = slackDegrees(a.r);
    if (off <= sweep) {
        if ((onwards ? sweep - off : off) <= near)
            return ReshapeFault::TooBig;
    } else {
        // In the gap: drawn on from the nearer end, or the kept part turned back.
        const double beforeStart = 360 - off, afterEnd = off - sweep;
        if (onwards ? beforeStart > afterEnd : afterEnd > beforeStart)
            return ReshapeFault::TooBig;
    }
    out = onwards ? ArcShape{a.cx, a.cy, a.r, t, a.ea} : ArcShape{a.cx, a.cy, a.r, a.sa, t};
    return ReshapeFault::None;
}

// With no rounding the kept part of each runs from the corner towards its pick; an arc
// whose end lies off the corner keeps the part from its nearer end.
void keptWay(const Curve &c, double x, double y, double pickX, double pickY, double &kx,
             double &ky)
{
    directionAt(c, x, y, kx, ky);
    bool onwards;
    if (c.isLine) {
        const double s = (pickX - x) * kx + (pickY - y) * ky;
        const double s1 = (c.l.x1 - x) * kx + (c.l.y1 - y) * ky;
        const double s2 = (c.l.x2 - x) * kx + (c.l.y2 - y) * ky;
        // A pick on the corner names nothing: the longer part is kept.
        if (std::fabs(s) > Slack * std::max(1.0, lengthOf(c.l)))
            onwards = s > 0;
        else
            onwards = std::max(s1, s2) > -std::min(s1, s2);
    } else {
        const double sweep = Sweep(c.a.sa, c.a.ea);
        const double off = Normal(degreesOf(x - c.a.cx, y - c.a.cy) - c.a.sa);
        if (off <= sweep)
            onwards = arcAlong(c.a, pickX, pickY) * sweep > off;
        else
            onwards = 360 - off <= off - sweep;
    }
    if (!onwards) {
        kx = -kx;
        ky = -ky;
    }
}

// The rounding about (cx, cy) touching the curves at the two points, running the shorter
// way from the first to the second; each kept part leaves it the way it goes on.
bool roundCorner(const Curve &ca, const Curve &cb, double cx, double cy, double r, double tax,
                 double tay, double tbx, double tby, Shape &outA, Shape &outB, ArcShape &arc)
{
    const bool ccw = (tax - cx) * (tby - cy) - (tay - cy) * (tbx - cx) >= 0;
    const double turn = ccw ? 1 : -1;
    const double dax = -turn * (tay - cy), day = turn * (tax - cx);
    const double dbx = -turn * (tby - cy), dby = turn * (tbx - cx);
    if (keepFrom(ca, tax, tay, -dax, -day, outA) != ReshapeFault::None
        || keepFrom(cb, tbx, tby, dbx, dby, outB) != ReshapeFault::None)
        return false;
    const double s = degreesOf(tax - cx, tay - cy), e = degreesOf(tbx - cx, tby - cy);
    arc = ccw ? ArcShape{cx, cy, r, s, e} : ArcShape{cx, cy, r, e, s};
    return true;
}

// Whether a point of the figure before the change is still on it.
bool holdsPick(const Shape &kept, double x, double y)
{
    if (const auto *l = std::get_if<LineShape>(&kept))
        return DistanceToSegment(x, y, *l) <= 1e-7 * (1 + lengthOf(*l));
    const auto &a = std::get<ArcShape>(kept);
    return DistanceToArc(x, y, a) <= 1e-7 * (1 + a.r);
}

ReshapeFault filletCurves(const Curve &ca, double ax, double ay, const Curve &cb, double bx,
                          double by, double r, Shape &outA, Shape &outB, ArcShape &arc)
{
    double qax, qay, qbx, qby;
    nearestOn(ca, ax, ay, qax, qay);
    nearestOn(cb, bx, by, qbx, qby);
    double best = std::numeric_limits<double>::infinity();
    if (r == 0) {
        double cx = 0, cy = 0;
        double xs[2], ys[2];
        const int n = meetWhole(ca, cb, xs, ys);
        for (int i = 0; i < n; ++i) {
            const double score =
                std::hypot(xs[i] - ax, ys[i] - ay) + std::hypot(xs[i] - bx, ys[i] - by);
            if (score < best) {
                best = score;
                cx = xs[i];
                cy = ys[i];
            }
        }
        if (!std::isfinite(best))
            return ReshapeFault::NoCrossing;
        double kax, kay, kbx, kby;
        keptWay(ca, cx, cy, qax, qay, kax, kay);
        keptWay(cb, cx, cy, qbx, qby, kbx, kby);
        if (keepFrom(ca, cx, cy, kax, kay, outA) != ReshapeFault::None
            || keepFrom(cb, cx, cy, kbx, kby, outB) != ReshapeFault::None)
            return ReshapeFault::TooBig;
        arc = ArcShape{cx, cy, 0, 0, 0};
        return ReshapeFault::None;
    }
    // The rounding lies on the side of each where the other's kept part is. Of those the
    // nearest whose kept parts hold the picks, else the nearest: when that one cannot be
    // made the radius does not fit, rather than a rounding somewhere else.
    const int wantA = sideOf(ca, qbx, qby), wantB = sideOf(cb, qax, qay);
    Locus la[2], lb[2];
    const int na = lociOf(ca, r, la), nb = lociOf(cb, r, lb);
    double nearest = std::numeric_limits<double>::infinity();
    bool nearestMade = false;
    Shape nearA, nearB;
    ArcShape nearArc;
    for (int i = 0; i < na; ++i) {
        if (wantA && la[i].side != wantA)
            continue;
        for (int j = 0; j < nb; ++j) {
            if (wantB && lb[j].side != wantB)
                continue;
            double xs[2], ys[2];
            const int n = meetLoci(la[i], lb[j], xs, ys);
            for (int k = 0; k < n; ++k) {
                double pax, pay, pbx, pby;
                if (!touchOf(ca, xs[k], ys[k], r, pax, pay)
                    || !touchOf(cb, xs[k], ys[k], r, pbx, pby))
                    continue;
                const double score =
                    std::hypot(pax - ax, pay - ay) + std::hypot(pbx - bx, pby - by);
                if (!std::isfinite(score))
                    continue;
                Shape keptA, keptB;
                ArcShape round;
                const bool made =
                    roundCorner(ca, cb, xs[k], ys[k], r, pax, pay, pbx, pby, keptA, keptB, round);
                if (score < nearest) {
                    nearest = score;
                    nearestMade = made;
                    nearA = keptA;
                    nearB = keptB;
                    nearArc = round;
                }
                if (made && score < best && holdsPick(keptA, qax, qay)
                    && holdsPick(keptB, qbx, qby)) {
                    best = score;
                    outA = keptA;
                    outB = keptB;
                    arc = round;
                }
            }
        }
    }
    if (std::isfinite(best))
        return ReshapeFault::None;
    if (!nearestMade)
        return ReshapeFault::TooBig;
    outA = nearA;
    outB = nearB;
    arc = nearArc;
    return ReshapeFault::None;
}

bool curveOf(const Shape &s, Curve &c)
{
    if (const auto *l = std::get_if<LineShape>(&s)) {
        c.isLine = true;
        c.l = *l;
        return true;
    }
    if (const auto *a = std::get_if<ArcShape>(&s)) {
        c.isLine = false;
        c.a = *a;
        return true;
    }
    return false;
}

} // namespace

ReshapeFault Fillet(const Shape &a, double ax, double ay, const Shape &b, double bx, double by,
                    double r, Shape &outA, Shape &outB, ArcShape &arc)
{
    outA = outB = Shape();
    arc = ArcShape();
    Curve ca, cb;
    if (!curveOf(a, ca) || !curveOf(b, cb))
        return ReshapeFault::Unsupported;
    if (!usable(a) || !usable(b) || !finite(ax, ay) || !finite(bx, by) || !std::isfinite(r)
        || r < 0)
        return ReshapeFault::NoSize;
    const ReshapeFault f = ca.isLine && cb.isLine
                               ? filletLines(ca.l, ax, ay, cb.l, bx, by, r, outA, outB, arc)
                               : filletCurves(ca, ax, ay, cb, bx, by, r, outA, outB, arc);
    if (f == ReshapeFault::None && finiteShape(outA) && finiteShape(outB)
        && finiteShape(Shape(arc)))
        return f;
    outA = outB = Shape();
    arc = ArcShape();
    return f == ReshapeFault::None ? ReshapeFault::NoSize : f;
}

ReshapeFault Chamfer(const LineShape &a, double ax, double ay, const LineShape &b, double bx,
                     double by, double da, double db, LineShape &outA, LineShape &outB,
                     LineShape &cut)
{
    outA = outB = cut = LineShape();
    if (!usable(a) || !usable(b) || !finite(ax, ay) || !finite(bx, by) || !std::isfinite(da)
        || !std::isfinite(db) || da < 0 || db < 0)
        return ReshapeFault::NoSize;
    double xs[2], ys[2];
    if (Intersect(a, b, true, xs, ys) != 1)
        return ReshapeFault::Parallel;
    const double px = xs[0], py = ys[0];
    const Leg la = legOf(a, px, py, ax, ay), lb = legOf(b, px, py, bx, by);
    if (!fits(la, da) || !fits(lb, db))
        return ReshapeFault::TooBig;
    const double tax = px + da * la.kx, tay = py + da * la.ky;
    const double tbx = px + db * lb.kx, tby = py + db * lb.ky;
    const LineShape oa = keptTo(a, la, tax, tay), ob = keptTo(b, lb, tbx, tby);
    const LineShape c{tax, tay, tbx, tby};
    if (!finiteShape(oa) || !finiteShape(ob) || !finiteShape(c))
        return ReshapeFault::NoSize;
    outA = oa;
    outB = ob;
    cut = c;
    return ReshapeFault::None;
}

namespace {

// The point's place along a line or arc, 0 to 1; Unsupported for anything else.
ReshapeFault placeOn(const Shape &figure, double x, double y, double &u)
{
    if (textOrNothing(figure))
        return ReshapeFault::Unsupported;
    if (!usable(figure) || !finite(x, y))
        return ReshapeFault::NoSize;
    if (std::holds_alternative<CircleShape>(figure))
        return ReshapeFault::Unsupported;
    u = alongShape(figure, x, y);
    return std::isfinite(u) ? ReshapeFault::None : ReshapeFault::NoSize;
}

// The part of the line or arc from u1 to u2 (0 to 1 along it).
Shape partOf(const Shape &figure, double u1, double u2)
{
    if (const auto *l = std::get_if<LineShape>(&figure)) {
        const double dx = l->x2 - l->x1, dy = l->y2 - l->y1;
        return LineShape{u1 <= 0 ? l->x1 : l->x1 + u1 * dx, u1 <= 0 ? l->y1 : l->y1 + u1 * dy,
                         u2 >= 1 ? l->x2 : l->x1 + u2 * dx, u2 >= 1 ? l->y2 : l->y1 + u2 * dy};
    }
    const auto &a = std::get<ArcShape>(figure);
    const double sweep = Sweep(a.sa, a.ea);
    return ArcShape{a.cx, a.cy, a.r, u1 <= 0 ? a.sa : Normal(a.sa + u1 * sweep),
                    u2 >= 1 ? a.ea : Normal(a.sa + u2 * sweep)};
}

} // namespace

ReshapeFault BreakAt(const Shape &figure, double x, double y, std::vector<Shape> &pieces)
{
    pieces.clear();
    double u = 0;
    const ReshapeFault f = placeOn(figure, x, y, u);
    if (f != ReshapeFault::None)
        return f;
    if (u <= Slack || u >= 1 - Slack)
        return ReshapeFault::OnEnd;
    pieces.push_back(partOf(figure, 0, u));
    pieces.push_back(partOf(figure, u, 1));
    return checked(pieces);
}

ReshapeFault BreakBetween(const Shape &figure, double x1, double y1, double x2, double y2,
                          std::vector<Shape> &pieces)
{
    pieces.clear();
    if (const auto *c = std::get_if<CircleShape>(&figure)) {
        if (!usable(*c) || !finite(x1, y1) || !finite(x2, y2))
            return ReshapeFault::NoSize;
        const double s = degreesOf(x2 - c->cx, y2 - c->cy), e = degreesOf(x1 - c->cx, y1 - c->cy);
        const double apart = Normal(e - s);
        if (apart <= Slack * 360 || apart >= 360 * (1 - Slack))
            return ReshapeFault::OnEnd;
        pieces.push_back(ArcShape{c->cx, c->cy, c->r, s, e});
        return checked(pieces);
    }
    double u1 = 0, u2 = 0;
    ReshapeFault f = placeOn(figure, x1, y1, u1);
    if (f == ReshapeFault::None)
        f = placeOn(figure, x2, y2, u2);
    if (f != ReshapeFault::None)
        return f;
    if (u1 > u2)
        std::swap(u1, u2);
    // Two points as one, or the whole figure between them: nothing to break.
    if (u2 - u1 <= Slack || (u1 <= Slack && u2 >= 1 - Slack))
        return ReshapeFault::OnEnd;
    if (u1 > Slack)
        pieces.push_back(partOf(figure, 0, u1));
    if (u2 < 1 - Slack)
        pieces.push_back(partOf(figure, u2, 1));
    return checked(pieces);
}

} // namespace Geometry
