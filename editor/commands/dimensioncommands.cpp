#include "editor/commands/dimensioncommands.h"

#include "editor/model/geometry.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr double Zero = 1e-8;
// Half the opening of an arrow's two lines.
constexpr double ArrowHalf = 15;

double rad(double degrees)
{
    return degrees * Geometry::Pi / 180;
}

double towards(double x1, double y1, double x2, double y2)
{
    return Geometry::Normal(std::atan2(y2 - y1, x2 - x1) * 180 / Geometry::Pi);
}

TextShape valueAt(const DimensionOptions &o, const QString &value, double x, double y,
                  double along)
{
    TextShape t;
    t.height = o.textHeight;
    t.angle = Dimension::ReadingAngle(along);
    // Above the line as read, whichever way the text was turned.
    const double up = rad(t.angle + 90);
    t.px = x + o.gap * std::cos(up);
    t.py = y + o.gap * std::sin(up);
    t.anchor = 2;
    t.text = value;
    return t;
}

bool finite(const std::vector<Shape> &shapes)
{
    for (const Shape &s : shapes) {
        if (const auto *l = std::get_if<LineShape>(&s)) {
            if (!std::isfinite(l->x1 + l->y1 + l->x2 + l->y2))
                return false;
        } else if (const auto *a = std::get_if<ArcShape>(&s)) {
            if (!std::isfinite(a->cx + a->cy + a->r + a->sa + a->ea))
                return false;
        } else if (const auto *t = std::get_if<TextShape>(&s)) {
            if (!std::isfinite(t->px + t->py + t->angle))
                return false;
        }
    }
    return true;
}

QString tooSmall()
{
    return QStringLiteral("寸法が０のため作図しません");
}

// 水平寸法, 垂直寸法, 平行寸法: two points, then the dimension line's place.
class LinearDimension : public Command
{
public:
    LinearDimension(int kind, const DimensionOptions *o) : kind(kind), o(o) {}
    QString Name() const override
    {
        return kind == 0 ? QStringLiteral("水平寸法")
               : kind == 1 ? QStringLiteral("垂直寸法")
                           : QStringLiteral("平行寸法");
    }
    int Points() const override { return 3; }
    QString Prompt(int given) const override
    {
        return given == 0   ? QStringLiteral("寸法の始点を指示して下さい")
               : given == 1 ? QStringLiteral("寸法の終点を指示して下さい")
                            : QStringLiteral("寸法線の位置を指示して下さい");
    }
    std::vector<Shape> Figure(const double *px, const double *py, double x,
                              double y) const override
    {
        return Dimension::Linear(*o, kind, px[0], py[0], px[1], py[1], x, y);
    }
    QString Empty(const std::vector<Shape> &f) const override
    {
        return f.empty() || !finite(f) ? tooSmall() : QString();
    }

private:
    int kind;
    const DimensionOptions *o;
};

bool round(const Shape &s, double &cx, double &cy, double &r)
{
    if (const auto *c = std::get_if<CircleShape>(&s)) {
        cx = c->cx, cy = c->cy, r = c->r;
        return true;
    }
    if (const auto *a = std::get_if<ArcShape>(&s)) {
        cx = a->cx, cy = a->cy, r = a->r;
        return true;
    }
    return false;
}

// 半径寸法, 直径寸法: a circle or arc picked, then the value's place; outside the circle the
// dimension line goes on to it.
class RoundDimension : public Command
{
public:
    RoundDimension(bool diameter, const DimensionOptions *o) : diameter(diameter), o(o) {}
    QString Name() const override
    {
        return diameter ? QStringLiteral("直径寸法") : QStringLiteral("半径寸法");
    }
    int Points() const override { return 2; }
    QString Prompt(int given) const override
    {
        return given == 0 ? QStringLiteral("円か円弧を指示して下さい")
                          : QStringLiteral("寸法値の位置を指示して下さい");
    }
    bool Picks(int given) const override { return given == 0; }
    QString Pick(int, const Subject &s) override
    {
        if (!round(s.record.shape, cx, cy, r) || !(r > Zero))
            return QStringLiteral("円か円弧を指示して下さい");
        return QString();
    }
    std::vector<Shape> Figure(const double *, const double *, double x, double y) const override
    {
        const double far = std::hypot(x - cx, y - cy);
        if (far < Zero || !std::isfinite(far))
            return {};
        const double a = towards(cx, cy, x, y);
        const double ex = cx + r * std::cos(rad(a)), ey = cy + r * std::sin(rad(a));
        std::vector<Shape> out;
        double fromX = cx, fromY = cy;
        if (diameter) {
            fromX = 2 * cx - ex;
            fromY = 2 * cy - ey;
        }
        const bool outside = far > r;
        out.push_back(LineShape{fromX, fromY, outside ? x : ex, outside ? y : ey});
        for (const Shape &s : Dimension::Arrow(*o, ex, ey, a + 180))
            out.push_back(s);
        if (diameter) {
            for (const Shape &s : Dimension::Arrow(*o, fromX, fromY, a))
                out.push_back(s);
        }
        const QString value = (diameter ? QStringLiteral("φ") : QStringLiteral("R"))
                              + Dimension::ValueText(diameter ? 2 * r : r, o->decimals);
        // Beside the circle's edge outside, halfway to the centre inside.
        const double mx = outside ? (ex + x) / 2 : (cx + ex) / 2;
        const double my = outside ? (ey + y) / 2 : (cy + ey) / 2;
        out.push_back(valueAt(*o, value, mx, my, a));
        return out;
    }
    QString Empty(const std::vector<Shape> &f) const override
    {
        return f.empty() || !finite(f)
                   ? QStringLiteral("寸法値の位置が中心のため作図しません")
                   : QString();
    }

private:
    bool diameter;
    const DimensionOptions *o;
    double cx = 0, cy = 0, r = 0;
};

// 角度寸法: two lines picked, then the arc's place, which chooses the angle of the four
// the lines make.
class AngleDimension : public Command
{
public:
    explicit AngleDimension(const DimensionOptions *o) : o(o) {}
    QString Name() const override { return QStringLiteral("角度寸法"); }
    int Points() const override { return 3; }
    QString Prompt(int given) const override
    {
        return given == 0   ? QStringLiteral("１本目の線を指示して下さい")
               : given == 1 ? QStringLiteral("２本目の線を指示して下さい")
                            : QStringLiteral("円弧の位置を指示して下さい");
    }
    bool Picks(int given) const override { return given < 2; }
    QString Pick(int given, const Subject &s) override
    {
        const auto *l = std::get_if<LineShape>(&s.record.shape);
        if (!l || std::hypot(l->x2 - l->x1, l->y2 - l->y1) < Zero)
            return QStringLiteral("線を指示して下さい");
        lines[given] = *l;
        return QString();
    }
    std::vector<Shape> Figure(const double *, const double *, double x, double y) const override
    {
        const LineShape &a = lines[0], &b = lines[1];
        const double ax = a.x2 - a.x1, ay = a.y2 - a.y1, bx = b.x2 - b.x1, by = b.y2 - b.y1;
        const double cross = ax * by - ay * bx;
        if (std::fabs(cross) < Zero * std::hypot(ax, ay) * std::hypot(bx, by))
            return {};
        const double t = ((b.x1 - a.x1) * by - (b.y1 - a.y1) * bx) / cross;
        const double cx = a.x1 + t * ax, cy = a.y1 + t * ay;
        const double r = std::hypot(x - cx, y - cy);
        if (r < Zero || !std::isfinite(r))
            return {};
        double rays[4] = {towards(0, 0, ax, ay), 0, towards(0, 0, bx, by), 0};
        rays[1] = Geometry::Normal(rays[0] + 180);
        rays[3] = Geometry::Normal(rays[2] + 180);
        std::sort(rays, rays + 4);
        const double at = towards(cx, cy, x, y);
        int k = 3; // the sector over 0 degrees unless another holds the place
        for (int i = 0; i < 3; ++i) {
            if (at >= rays[i] && at < rays[i + 1])
                k = i;
        }
        const ArcShape arc{cx, cy, r, rays[k], rays[(k + 1) % 4]};
        const double sweep = Geometry::Sweep(arc.sa, arc.ea);
        std::vector<Shape> out{arc};
        double sx, sy, ex, ey;
        Geometry::ArcEnds(arc, sx, sy, ex, ey);
        for (const Shape &s : Dimension::Arrow(*o, sx, sy, arc.sa + 90))
            out.push_back(s);
        for (const Shape &s : Dimension::Arrow(*o, ex, ey, arc.ea - 90))
            out.push_back(s);
        const double mid = arc.sa + sweep / 2;
        TextShape v = valueAt(*o, Dimension::ValueText(sweep, o->decimals) + QStringLiteral("°"),
                              cx + r * std::cos(rad(mid)), cy + r * std::sin(rad(mid)),
                              mid - 90);
        // Outside the arc: a value turned round hangs from the point instead.
        if (std::fabs(Geometry::Normal(v.angle - (mid - 90))) > 1) {
            v.anchor = 8;
            v.px = cx + (r + o->gap) * std::cos(rad(mid));
            v.py = cy + (r + o->gap) * std::sin(rad(mid));
        }
        out.push_back(v);
        return out;
    }
    QString Empty(const std::vector<Shape> &f) const override
    {
        return f.empty() || !finite(f)
                   ? QStringLiteral("２本の線が平行か円弧の位置が交点のため作図しません")
                   : QString();
    }

private:
    const DimensionOptions *o;
    LineShape lines[2];
};

// 引出線: the point it shows, then the text's place; the text written on a short shoulder
// toward the side it goes.
class LeaderDimension : public Command
{
public:
    LeaderDimension(const DimensionOptions *o, const TextShape *text) : o(o), text(text) {}
    QString Name() const override { return QStringLiteral("引出線"); }
    int Points() const override { return 2; }
    QString Prompt(int given) const override
    {
        return given == 0 ? QStringLiteral("引出線の先端を指示して下さい")
                          : QStringLiteral("文字の位置を指示して下さい");
    }
    std::vector<Shape> Figure(const double *px, const double *py, double x,
                              double y) const override
    {
        if (std::hypot(x - px[0], y - py[0]) < Zero || text->text.isEmpty()
            || !(text->height > 0))
            return {};
        TextShape t = *text;
        t.angle = 0;
        t.vertical = 0;
        const bool right = x >= px[0];
        t.anchor = right ? 1 : 3;
        const double width = Geometry::TextFrame(Geometry::RefOf(t), t.text).width;
        const double end = x + (right ? 1 : -1) * (width + 2 * o->gap);
        t.px = x + (right ? o->gap : -o->gap);
        t.py = y + o->gap;
        std::vector<Shape> out{LineShape{px[0], py[0], x, y}, LineShape{x, y, end, y}};
        for (const Shape &s : Dimension::Arrow(*o, px[0], py[0], towards(px[0], py[0], x, y)))
            out.push_back(s);
        out.push_back(t);
        return out;
    }
    QString Empty(const std::vector<Shape> &f) const override
    {
        if (text->text.isEmpty())
            return QStringLiteral("文字が無いため作図しません");
        return f.empty() || !finite(f) ? QStringLiteral("長さが０のため作図しません")
                                       : QString();
    }

private:
    const DimensionOptions *o;
    const TextShape *text;
};

} // namespace

namespace Dimension {

QString ValueText(double value, int decimals)
{
    QString s = QString::number(value, 'f', std::clamp(decimals, 0, 3));
    if (s.contains(u'.')) {
        while (s.endsWith(u'0'))
            s.chop(1);
        if (s.endsWith(u'.'))
            s.chop(1);
    }
    return s == QStringLiteral("-0") ? QStringLiteral("0") : s;
}

double ReadingAngle(double degrees)
{
    const double a = Geometry::Normal(degrees);
    // Just past straight up still reads from the right, as straight up does.
    return a > 90 + 1e-9 && a <= 270 + 1e-9 ? Geometry::Normal(a - 180) : a;
}

std::vector<Shape> Arrow(const DimensionOptions &o, double x, double y, double back)
{
    const double s = o.arrowSize;
    if (o.arrow == 2)
        return {CircleShape{x, y, s / 4}};
    if (o.arrow == 1) {
        // Ticks at both ends slant the same way: back and back + 180 give one direction.
        const double d = rad(back + 45);
        const double dx = s / 2 * std::cos(d), dy = s / 2 * std::sin(d);
        return {LineShape{x - dx, y - dy, x + dx, y + dy}};
    }
    const double a1 = rad(back + ArrowHalf), a2 = rad(back - ArrowHalf);
    return {LineShape{x, y, x + s * std::cos(a1), y + s * std::sin(a1)},
            LineShape{x, y, x + s * std::cos(a2), y + s * std::sin(a2)}};
}

std::vector<Shape> Linear(const DimensionOptions &o, int kind, double x1, double y1,
                          double x2, double y2, double px, double py)
{
    double ux = 1, uy = 0;
    if (kind == 1) {
        ux = 0;
        uy = 1;
    } else if (kind == 2) {
        const double l = std::hypot(x2 - x1, y2 - y1);
        if (!(l > Zero) || !std::isfinite(l))
            return {};
        ux = (x2 - x1) / l;
        uy = (y2 - y1) / l;
    }
    const double nx = -uy, ny = ux;
    const double s1 = x1 * ux + y1 * uy, s2 = x2 * ux + y2 * uy;
    const double t = px * nx + py * ny;
    if (!(std::fabs(s2 - s1) > Zero) || !std::isfinite(s2 - s1) || !std::isfinite(t))
        return {};
    const double d1x = s1 * ux + t * nx, d1y = s1 * uy + t * ny;
    const double d2x = s2 * ux + t * nx, d2y = s2 * uy + t * ny;
    std::vector<Shape> out;
    const double fx[2] = {x1, x2}, fy[2] = {y1, y2}, dx[2] = {d1x, d2x}, dy[2] = {d1y, d2y};
    for (int i = 0; i < 2; ++i) {
        // From the gap off the figure to the overshoot past the dimension line; none when
        // the line lies within the gap.
        const double off = t - (fx[i] * nx + fy[i] * ny);
        if (std::fabs(off) <= o.gap)
            continue;
        const double sign = off > 0 ? 1 : -1;
        out.push_back(LineShape{fx[i] + sign * o.gap * nx, fy[i] + sign * o.gap * ny,
                                dx[i] + sign * o.overshoot * nx,
                                dy[i] + sign * o.overshoot * ny});
    }
    out.push_back(LineShape{d1x, d1y, d2x, d2y});
    const double along = towards(d1x, d1y, d2x, d2y);
    for (const Shape &s : Arrow(o, d1x, d1y, along))
        out.push_back(s);
    for (const Shape &s : Arrow(o, d2x, d2y, along + 180))
        out.push_back(s);
    out.push_back(valueAt(o, ValueText(std::fabs(s2 - s1), o.decimals), (d1x + d2x) / 2,
                          (d1y + d2y) / 2, along));
    return out;
}

} // namespace Dimension

std::unique_ptr<Command> MakeDimensionCommand(int code, const DimensionOptions *options,
                                              const TextShape *text)
{
    switch (code) {
    case DimHorizontal:
        return std::make_unique<LinearDimension>(0, options);
    case DimVertical:
        return std::make_unique<LinearDimension>(1, options);
    case DimAligned:
        return std::make_unique<LinearDimension>(2, options);
    case DimRadius:
        return std::make_unique<RoundDimension>(false, options);
    case DimDiameter:
        return std::make_unique<RoundDimension>(true, options);
    case DimAngle:
        return std::make_unique<AngleDimension>(options);
    case DimLeader:
        return std::make_unique<LeaderDimension>(options, text);
    default:
        return nullptr;
    }
}
