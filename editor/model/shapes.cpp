#include "editor/model/shapes.h"

#include <QList>

#include <algorithm>
#include <cmath>

namespace {

constexpr double Pi = 3.14159265358979323846;

double normal(double a)
{
    a = std::fmod(a, 360.0);
    if (a < 0)
        a += 360;
    return a >= 360 ? 0 : a;
}

} // namespace

// Equal ends make a full circle.
bool OnArc(double a, double sa, double ea)
{
    a = normal(a);
    sa = normal(sa);
    ea = normal(ea);
    if (sa == ea)
        return true;
    return sa < ea ? a >= sa && a <= ea : a >= sa || a <= ea;
}

namespace {

bool wideChar(char32_t c)
{
    return (c >= 0x1100 && c <= 0x115F) || (c >= 0x2E80 && c <= 0xA4CF)
           || (c >= 0xAC00 && c <= 0xD7A3) || (c >= 0xF900 && c <= 0xFAFF)
           || (c >= 0xFE30 && c <= 0xFE4F) || (c >= 0xFF00 && c <= 0xFF60)
           || (c >= 0xFFE0 && c <= 0xFFE6) || (c >= 0x20000 && c <= 0x3FFFD);
}

} // namespace

PaperBox LineBox(const LineShape &l)
{
    return {std::min(l.x1, l.x2), std::min(l.y1, l.y2), std::max(l.x1, l.x2),
            std::max(l.y1, l.y2)};
}

PaperBox CircleBox(const CircleShape &c)
{
    return {c.cx - c.r, c.cy - c.r, c.cx + c.r, c.cy + c.r};
}

PaperBox ArcBox(const ArcShape &a)
{
    const auto at = [&](double deg, double &x, double &y) {
        x = a.cx + a.r * std::cos(deg * Pi / 180);
        y = a.cy + a.r * std::sin(deg * Pi / 180);
    };
    double x, y;
    at(a.sa, x, y);
    PaperBox b{x, y, x, y};
    const auto take = [&](double px, double py) {
        b = {std::min(b.x1, px), std::min(b.y1, py), std::max(b.x2, px), std::max(b.y2, py)};
    };
    at(a.ea, x, y);
    take(x, y);
    for (int q = 0; q < 4; ++q) {
        if (OnArc(q * 90.0, a.sa, a.ea)) {
            at(q * 90.0, x, y);
            take(x, y);
        }
    }
    return b;
}

void TextCorners(const TextRef &t, const QString &text, double xs[4], double ys[4])
{
    const double h = t.height;
    const double w = t.width > 0 ? t.width : 0;
    const double gap = std::max(0.0, t.spacing);
    double along = 0;
    int count = 0;
    for (char32_t c : text.toUcs4()) {
        along += t.vertical ? h : (w > 0 ? w : h * (wideChar(c) ? 1 : 0.5));
        ++count;
    }
    along += gap * std::max(0, count - 1);
    // The box in the text's own axes, y up, before the anchor moves it.
    const double bw = t.vertical ? (w > 0 ? w : h) : along;
    const double bh = t.vertical ? along : h;
    const int anchor = t.anchor >= 1 && t.anchor <= 9 ? t.anchor : 1;
    const double ox = -bw * ((anchor - 1) % 3) / 2.0;
    const double oy = -bh * ((anchor - 1) / 3) / 2.0;
    const double lx[4] = {ox, ox + bw, ox + bw, ox}, ly[4] = {oy, oy, oy + bh, oy + bh};
    const double c = std::cos(t.angle * Pi / 180), s = std::sin(t.angle * Pi / 180);
    for (int i = 0; i < 4; ++i) {
        xs[i] = t.px + lx[i] * c - ly[i] * s;
        ys[i] = t.py + lx[i] * s + ly[i] * c;
    }
}

PaperBox TextBox(const TextRef &t, const QString &text)
{
    double xs[4], ys[4];
    TextCorners(t, text, xs, ys);
    return {*std::min_element(xs, xs + 4), *std::min_element(ys, ys + 4),
            *std::max_element(xs, xs + 4), *std::max_element(ys, ys + 4)};
}

double DistanceToSegment(double x, double y, const LineShape &l)
{
    const double dx = l.x2 - l.x1, dy = l.y2 - l.y1;
    const double length2 = dx * dx + dy * dy;
    double t = length2 > 0 ? ((x - l.x1) * dx + (y - l.y1) * dy) / length2 : 0;
    t = std::clamp(t, 0.0, 1.0);
    return std::hypot(x - (l.x1 + t * dx), y - (l.y1 + t * dy));
}

double DistanceToCircle(double x, double y, const CircleShape &c)
{
    return std::fabs(std::hypot(x - c.cx, y - c.cy) - c.r);
}

void ArcEnds(const ArcShape &a, double &sx, double &sy, double &ex, double &ey)
{
    sx = a.cx + a.r * std::cos(a.sa * Pi / 180);
    sy = a.cy + a.r * std::sin(a.sa * Pi / 180);
    ex = a.cx + a.r * std::cos(a.ea * Pi / 180);
    ey = a.cy + a.r * std::sin(a.ea * Pi / 180);
}

double DistanceToArc(double x, double y, const ArcShape &a)
{
    const double angle = std::atan2(y - a.cy, x - a.cx) * 180 / Pi;
    if (OnArc(angle, a.sa, a.ea))
        return DistanceToCircle(x, y, {a.cx, a.cy, a.r});
    double sx, sy, ex, ey;
    ArcEnds(a, sx, sy, ex, ey);
    return std::min(std::hypot(x - sx, y - sy), std::hypot(x - ex, y - ey));
}

bool QuadHolds(const double xs[4], const double ys[4], double x, double y)
{
    bool positive = false, negative = false;
    for (int i = 0; i < 4; ++i) {
        const int j = (i + 1) % 4;
        const double cross = (xs[j] - xs[i]) * (y - ys[i]) - (ys[j] - ys[i]) * (x - xs[i]);
        positive = positive || cross > 0;
        negative = negative || cross < 0;
    }
    return !(positive && negative);
}

bool SegmentMeetsBox(const PaperBox &b, const LineShape &l)
{
    double t0 = 0, t1 = 1;
    const double d[2] = {l.x2 - l.x1, l.y2 - l.y1};
    const double from[2] = {l.x1, l.y1};
    const double low[2] = {b.x1, b.y1}, high[2] = {b.x2, b.y2};
    for (int a = 0; a < 2; ++a) {
        if (d[a] == 0) {
            if (from[a] < low[a] || from[a] > high[a])
                return false;
            continue;
        }
        double ta = (low[a] - from[a]) / d[a], tb = (high[a] - from[a]) / d[a];
        if (ta > tb)
            std::swap(ta, tb);
        t0 = std::max(t0, ta);
        t1 = std::min(t1, tb);
        if (t0 > t1)
            return false;
    }
    return true;
}
