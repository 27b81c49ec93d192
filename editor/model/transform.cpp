#include "editor/model/transform.h"

#include "editor/model/geometry.h"

#include <cmath>

namespace Geometry {

namespace {

bool finite(double v)
{
    return std::isfinite(v);
}

} // namespace

Transform Transform::Move(double dx, double dy)
{
    Transform t;
    t.e = dx;
    t.f = dy;
    t.valid = finite(dx) && finite(dy);
    return t;
}

Transform Transform::Rotate(double cx, double cy, double degrees)
{
    Transform t;
    const double r = degrees * Pi / 180;
    const double cs = std::cos(r), sn = std::sin(r);
    t.a = cs;
    t.b = -sn;
    t.c = sn;
    t.d = cs;
    t.e = cx - cs * cx + sn * cy;
    t.f = cy - sn * cx - cs * cy;
    t.turn = degrees;
    t.valid = finite(cx) && finite(cy) && finite(degrees);
    return t;
}

Transform Transform::Mirror(double x1, double y1, double x2, double y2)
{
    Transform t;
    const double dx = x2 - x1, dy = y2 - y1;
    const double len = std::hypot(dx, dy);
    t.valid = finite(len) && len > 1e-9 && finite(x1) && finite(y1);
    if (!t.valid)
        return t;
    const double ux = dx / len, uy = dy / len;
    // Reflection about the line through the origin along u, then moved onto (x1, y1).
    t.a = ux * ux - uy * uy;
    t.b = 2 * ux * uy;
    t.c = 2 * ux * uy;
    t.d = uy * uy - ux * ux;
    t.e = x1 - t.a * x1 - t.b * y1;
    t.f = y1 - t.c * x1 - t.d * y1;
    t.turn = 2 * std::atan2(dy, dx) * 180 / Pi;
    t.mirrors = true;
    return t;
}

Transform Transform::Scale(double cx, double cy, double factor)
{
    Transform t;
    t.a = t.d = factor;
    t.e = cx - factor * cx;
    t.f = cy - factor * cy;
    t.factor = factor;
    t.valid = finite(cx) && finite(cy) && finite(factor) && factor > 0;
    return t;
}

void Transform::Map(double &x, double &y) const
{
    const double nx = a * x + b * y + e;
    y = c * x + d * y + f;
    x = nx;
}

double Transform::Direction(double degrees) const
{
    return Normal(mirrors ? turn - degrees : degrees + turn);
}

bool Apply(const Transform &t, Shape &shape)
{
    if (!t.Valid())
        return false;
    Shape out = shape;
    bool ok = true;
    const auto map = [&](double &x, double &y) {
        t.Map(x, y);
        ok = ok && finite(x) && finite(y);
    };
    if (auto *l = std::get_if<LineShape>(&out)) {
        map(l->x1, l->y1);
        map(l->x2, l->y2);
    } else if (auto *c = std::get_if<CircleShape>(&out)) {
        map(c->cx, c->cy);
        c->r *= t.Factor();
        ok = ok && finite(c->r) && c->r > 0;
    } else if (auto *a = std::get_if<ArcShape>(&out)) {
        map(a->cx, a->cy);
        a->r *= t.Factor();
        ok = ok && finite(a->r) && a->r > 0;
        const double s = t.Direction(a->sa), e = t.Direction(a->ea);
        // A mirror turns the arc clockwise; its ends swap to keep it counter-clockwise.
        a->sa = t.Mirrors() ? e : s;
        a->ea = t.Mirrors() ? s : e;
    } else if (auto *x = std::get_if<TextShape>(&out)) {
        map(x->px, x->py);
        x->height *= t.Factor();
        x->width *= t.Factor();
        x->spacing *= t.Factor();
        ok = ok && finite(x->height) && finite(x->width) && finite(x->spacing);
        if (t.Mirrors()) {
            // Read the mirrored box the right way round: turned half a turn, the anchor's
            // left and right swapped.
            x->angle = Normal(t.Direction(x->angle) + 180);
            const int col = (x->anchor - 1) % 3;
            if (x->anchor >= 1 && x->anchor <= 9)
                x->anchor = int16_t(x->anchor - col + (2 - col));
        } else {
            x->angle = t.Direction(x->angle);
        }
    } else {
        return false;
    }
    if (!ok)
        return false;
    shape = std::move(out);
    return true;
}

} // namespace Geometry
