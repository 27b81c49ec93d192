#include "editor/model/geometry.h"

#include <QList>

#include <algorithm>
#include <cmath>

namespace Geometry {

namespace {

double radians(double degrees)
{
    return degrees * Pi / 180;
}

double degreesOf(double dx, double dy)
{
    return Normal(std::atan2(dy, dx) * 180 / Pi);
}

bool inside(const PaperBox &b, double x, double y)
{
    return x >= b.x1 && x <= b.x2 && y >= b.y1 && y <= b.y2;
}

// Beyond this many dashes on one stretch they are finer than anything can show.
constexpr long long MostDashes = 1 << 20;

} // namespace

double Normal(double a)
{
    if (!std::isfinite(a))
        return 0;
    a = std::fmod(a, 360.0);
    if (a < 0)
        a += 360;
    return a >= 360 ? 0 : a;
}

double Sweep(double sa, double ea)
{
    const double sweep = Normal(ea - sa);
    return sweep > 0 ? sweep : 360;
}

bool OnArc(double a, double sa, double ea)
{
    a = Normal(a);
    sa = Normal(sa);
    ea = Normal(ea);
    if (sa == ea)
        return true;
    return sa < ea ? a >= sa && a <= ea : a >= sa || a <= ea;
}

void ArcEnds(const ArcShape &a, double &sx, double &sy, double &ex, double &ey)
{
    sx = a.cx + a.r * std::cos(radians(a.sa));
    sy = a.cy + a.r * std::sin(radians(a.sa));
    ex = a.cx + a.r * std::cos(radians(a.ea));
    ey = a.cy + a.r * std::sin(radians(a.ea));
}

bool ArcThroughThree(double x1, double y1, double x2, double y2, double x3, double y3,
                     ArcShape &out)
{
    const double d = 2 * (x1 * (y2 - y3) + x2 * (y3 - y1) + x3 * (y1 - y2));
    const double scale = std::max({std::hypot(x2 - x1, y2 - y1), std::hypot(x3 - x2, y3 - y2),
                                   std::hypot(x1 - x3, y1 - y3)});
    if (!std::isfinite(d) || !(scale > 0) || std::fabs(d) <= 1e-12 * scale * scale)
        return false;
    const double s1 = x1 * x1 + y1 * y1, s2 = x2 * x2 + y2 * y2, s3 = x3 * x3 + y3 * y3;
    const double cx = (s1 * (y2 - y3) + s2 * (y3 - y1) + s3 * (y1 - y2)) / d;
    const double cy = (s1 * (x3 - x2) + s2 * (x1 - x3) + s3 * (x2 - x1)) / d;
    const double r = std::hypot(x1 - cx, y1 - cy);
    if (!std::isfinite(cx) || !std::isfinite(cy) || !(r > 0) || r > 1e9)
        return false;
    const double a1 = degreesOf(x1 - cx, y1 - cy), a3 = degreesOf(x3 - cx, y3 - cy);
    if (a1 == a3)
        return false; // the first and the last point coincide
    // Stored arcs run counter-clockwise: clockwise input runs from the last point.
    if (d > 0)
        out = {cx, cy, r, a1, a3};
    else
        out = {cx, cy, r, a3, a1};
    return true;
}

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
    double sx, sy, ex, ey;
    ArcEnds(a, sx, sy, ex, ey);
    PaperBox b{std::min(sx, ex), std::min(sy, ey), std::max(sx, ex), std::max(sy, ey)};
    const double qx[4] = {1, 0, -1, 0}, qy[4] = {0, 1, 0, -1};
    for (int q = 0; q < 4; ++q) {
        if (OnArc(q * 90.0, a.sa, a.ea)) {
            const double x = a.cx + qx[q] * a.r, y = a.cy + qy[q] * a.r;
            b = {std::min(b.x1, x), std::min(b.y1, y), std::max(b.x2, x), std::max(b.y2, y)};
        }
    }
    return b;
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

double DistanceToArc(double x, double y, const ArcShape &a)
{
    if (OnArc(degreesOf(x - a.cx, y - a.cy), a.sa, a.ea))
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

// Some point of the box lies on or beyond the circle and some on or inside it.
bool CircleMeetsBox(const PaperBox &b, const CircleShape &c)
{
    const double nx = std::clamp(c.cx, b.x1, b.x2), ny = std::clamp(c.cy, b.y1, b.y2);
    const double fx = std::max(std::fabs(b.x1 - c.cx), std::fabs(b.x2 - c.cx));
    const double fy = std::max(std::fabs(b.y1 - c.cy), std::fabs(b.y2 - c.cy));
    return std::hypot(nx - c.cx, ny - c.cy) <= c.r && std::hypot(fx, fy) >= c.r;
}

bool ArcMeetsBox(const PaperBox &b, const ArcShape &a)
{
    double sx, sy, ex, ey;
    ArcEnds(a, sx, sy, ex, ey);
    if (inside(b, sx, sy) || inside(b, ex, ey))
        return true;
    if (!CircleMeetsBox(b, {a.cx, a.cy, a.r}))
        return false;
    return !ArcSpansIn(a, b).empty();
}

std::vector<std::pair<double, double>> ArcSpansIn(const ArcShape &a, const PaperBox &b)
{
    std::vector<std::pair<double, double>> spans;
    if (!(a.r > 0) || !std::isfinite(a.r) || !std::isfinite(a.cx) || !std::isfinite(a.cy))
        return spans;
    const double sweep = Sweep(a.sa, a.ea);
    // Where the circle crosses the box's edge lines, in degrees after the start.
    std::vector<double> cuts{0, sweep};
    const auto cut = [&](double degrees) {
        const double u = Normal(degrees - a.sa);
        if (u > 0 && u < sweep)
            cuts.push_back(u);
    };
    for (double x : {b.x1, b.x2}) {
        const double c = (x - a.cx) / a.r;
        if (c >= -1 && c <= 1) {
            const double t = std::acos(c) * 180 / Pi;
            cut(t);
            cut(-t);
        }
    }
    for (double y : {b.y1, b.y2}) {
        const double s = (y - a.cy) / a.r;
        if (s >= -1 && s <= 1) {
            const double t = std::asin(s) * 180 / Pi;
            cut(t);
            cut(180 - t);
        }
    }
    std::sort(cuts.begin(), cuts.end());
    for (size_t i = 0; i + 1 < cuts.size(); ++i) {
        const double u0 = cuts[i], u1 = cuts[i + 1];
        if (!(u1 > u0))
            continue;
        const double mid = radians(a.sa + (u0 + u1) / 2);
        if (!inside(b, a.cx + a.r * std::cos(mid), a.cy + a.r * std::sin(mid)))
            continue;
        const double l0 = a.r * radians(u0), l1 = a.r * radians(u1);
        if (!spans.empty() && spans.back().second >= l0)
            spans.back().second = l1;
        else
            spans.emplace_back(l0, l1);
    }
    return spans;
}

void WalkDashes(const DashPattern &pattern, double length, double from, double to,
                const std::function<void(bool dot, double from, double to)> &each)
{
    if (!(to >= from))
        return;
    double period = 0;
    const bool patterned = pattern.count >= 1 && pattern.count <= 10;
    for (int i = 0; patterned && i < pattern.count; ++i)
        period += std::fabs(pattern.pitches[i]);
    if (!patterned || !(period > 0) || !std::isfinite(period) || length <= period
        || (to - from) / period * pattern.count > double(MostDashes)) {
        each(false, from, to);
        return;
    }
    // The pattern from the start of the period that holds from.
    double at = std::floor(from / period) * period;
    int k = 0;
    while (at <= to) {
        const double p = std::fabs(pattern.pitches[k]);
        const double end = at + p;
        if (k % 2 == 0) {
            if (p >= 1e-8) {
                const double a = std::max(at, from), b = std::min(end, to);
                if (b > a)
                    each(false, a, b);
            } else if (at >= from && at <= to) {
                each(true, at, at);
            }
        }
        if (end > to)
            break;
        at = end;
        k = (k + 1) % pattern.count;
    }
}

double ChordStep(double r, double sweep, double tolerance)
{
    const double step = tolerance > 0 && tolerance < r ? 2 * std::acos(1 - tolerance / r) : Pi / 2;
    return std::max(step, sweep / MostChords);
}

void WalkArc(const ArcShape &a, const DashPattern &pattern, double tolerance,
             const PaperBox *clip,
             const std::function<void(bool dot, double, double, double, double)> &each)
{
    if (!(a.r > 0) || !std::isfinite(a.r) || !std::isfinite(a.cx) || !std::isfinite(a.cy)
        || !std::isfinite(a.sa) || !std::isfinite(a.ea))
        return;
    const double sweep = radians(Sweep(a.sa, a.ea));
    const double length = a.r * sweep;
    const double step = ChordStep(a.r, sweep, tolerance);
    const double a0 = radians(a.sa);
    // Dashes are many and short: each point is turned from the last one rather than worked
    // out from its own sine and cosine, by the few angles a pattern has, each kept once;
    // every some points one is worked out afresh, so that no error gathers.
    struct Turn
    {
        double angle = -1, c = 1, s = 0;
    };
    constexpr int Turns = 8, Afresh = 32;
    Turn turns[Turns];
    int nextTurn = 0, turned = Afresh;
    double lastAt = 0, lastC = 1, lastS = 0;
    const auto turnBy = [&](double angle, double &c, double &s) {
        for (const Turn &t : turns) {
            if (std::fabs(t.angle - angle) <= 1e-12 * angle) {
                c = t.c;
                s = t.s;
                return;
            }
        }
        Turn &t = turns[nextTurn++ % Turns];
        t = {angle, std::cos(angle), std::sin(angle)};
        c = t.c;
        s = t.s;
    };
    // The cosine and sine of the point at length at along the arc.
    const auto pointAt = [&](double at, double &c, double &s) {
        if (turned >= Afresh || !(at >= lastAt)) {
            c = std::cos(a0 + at / a.r);
            s = std::sin(a0 + at / a.r);
            turned = 0;
        } else {
            double tc, ts;
            turnBy((at - lastAt) / a.r, tc, ts);
            c = lastC * tc - lastS * ts;
            s = lastS * tc + lastC * ts;
            ++turned;
        }
        lastAt = at;
        lastC = c;
        lastS = s;
    };
    const auto dash = [&](bool dot, double from, double to) {
        double c, s;
        pointAt(from, c, s);
        double x1 = a.cx + a.r * c, y1 = a.cy + a.r * s;
        if (dot) {
            each(true, x1, y1, x1, y1);
            return;
        }
        const int count = ChordCount((to - from) / a.r, step);
        double tc = 1, ts = 0;
        if (count > 1)
            turnBy((to - from) / a.r / count, tc, ts);
        for (int i = 1; i <= count; ++i) {
            if (i == count) {
                pointAt(to, c, s);
            } else {
                const double next = c * tc - s * ts;
                s = s * tc + c * ts;
                c = next;
            }
            const double x2 = a.cx + a.r * c, y2 = a.cy + a.r * s;
            each(false, x1, y1, x2, y2);
            x1 = x2;
            y1 = y2;
        }
    };
    if (!clip) {
        WalkDashes(pattern, length, 0, length, dash);
        return;
    }
    for (const auto &[from, to] : ArcSpansIn(a, *clip))
        WalkDashes(pattern, length, from, to, dash);
}

bool WideCharacter(char32_t c)
{
    return (c >= 0x1100 && c <= 0x115F) || (c >= 0x2E80 && c <= 0xA4CF)
           || (c >= 0xAC00 && c <= 0xD7A3) || (c >= 0xF900 && c <= 0xFAFF)
           || (c >= 0xFE10 && c <= 0xFE19) || (c >= 0xFE30 && c <= 0xFE4F)
           || (c >= 0xFF00 && c <= 0xFF60) || (c >= 0xFFE0 && c <= 0xFFE6)
           || (c >= 0x20000 && c <= 0x3FFFD) || c == 0x2025 || c == 0x2026
           || (c >= 0x2500 && c <= 0x257F) || c == 0x2014 || c == 0x2015;
}

Glyph VerticalForm(char32_t c)
{
    struct Form
    {
        char32_t code, form;
        bool turned;
    };
    // Brackets, dashes and the like stand turned a quarter; the vertical forms are the
    // same shapes turned.
    static constexpr Form forms[] = {
        {0x2014, 0xFE31, true},  {0x2013, 0xFE32, true},  {0x2025, 0xFE30, true},
        {0x2026, 0xFE19, true},  {0x3008, 0xFE3F, true},  {0x3009, 0xFE40, true},
        {0x300A, 0xFE3D, true},  {0x300B, 0xFE3E, true},  {0x300C, 0xFE41, true},
        {0x300D, 0xFE42, true},  {0x300E, 0xFE43, true},  {0x300F, 0xFE44, true},
        {0x3010, 0xFE3B, true},  {0x3011, 0xFE3C, true},  {0x3014, 0xFE39, true},
        {0x3015, 0xFE3A, true},  {0x3016, 0xFE17, true},  {0x3017, 0xFE18, true},
        {0xFF08, 0xFE35, true},  {0xFF09, 0xFE36, true},  {0xFF3B, 0xFE47, true},
        {0xFF3D, 0xFE48, true},  {0xFF3F, 0xFE33, true},  {0xFF5B, 0xFE37, true},
        {0xFF5D, 0xFE38, true},  {0xFF1A, 0xFE13, true},  {0xFF1B, 0xFE14, true},
        {0x3001, 0xFE11, false}, {0x3002, 0xFE12, false}, {0xFF0C, 0xFE10, false},
        {0xFF01, 0xFE15, false}, {0xFF1F, 0xFE16, false},
    };
    Glyph g;
    g.code = c;
    g.wide = WideCharacter(c);
    for (const Form &f : forms) {
        if (f.code == c) {
            g.form = f.form;
            g.turned = f.turned;
            // Commas and stops sit in the upper right of the cell instead of the lower left.
            if (c == 0x3001 || c == 0x3002 || c == 0xFF0C) {
                g.shiftX = 0.6;
                g.shiftY = 0.6;
            }
            return g;
        }
    }
    switch (c) {
    // Long-vowel marks, waves, hyphens and rules run along the column: turned, no form.
    case 0x30FC: case 0xFF70: case 0x301C: case 0xFF5E: case 0xFF0D: case 0x2010:
    case 0x2015: case 0x2500: case 0x2501: case 0xFF1D: case 0x002D: case 0x007E:
    case 0x003D: case 0xFFE3: case 0x2192: case 0x2190:
        g.turned = true;
        break;
    // Small kana sit towards the upper right, as in vertical writing.
    case 0x3041: case 0x3043: case 0x3045: case 0x3047: case 0x3049: case 0x3063:
    case 0x3083: case 0x3085: case 0x3087: case 0x308E: case 0x30A1: case 0x30A3:
    case 0x30A5: case 0x30A7: case 0x30A9: case 0x30C3: case 0x30E3: case 0x30E5:
    case 0x30E7: case 0x30EE: case 0x30F5: case 0x30F6:
        g.shiftX = 0.1;
        g.shiftY = 0.1;
        break;
    default:
        break;
    }
    return g;
}

void TextLayout::ToPaper(double lx, double ly, double &x, double &y) const
{
    const double c = std::cos(radians(angle)), s = std::sin(radians(angle));
    x = px + lx * c - ly * s;
    y = py + lx * s + ly * c;
}

namespace {

TextLayout layOut(const TextRef &t, const QString &text, bool glyphs)
{
    TextLayout out;
    out.px = t.px;
    out.py = t.py;
    out.angle = std::isfinite(t.angle) ? t.angle : 0;
    out.vertical = t.vertical != 0;
    const double h = t.height;
    if (!(h > 0) || !std::isfinite(h) || text.isEmpty())
        return out;
    const double w = t.width > 0 && std::isfinite(t.width) ? t.width : 0;
    const double gap = t.spacing > 0 && std::isfinite(t.spacing) ? t.spacing : 0;
    const TextCount count = t.characters != TextRef::NotCounted
                                ? TextCount{t.characters, t.wide}
                                : CountText(text);
    const double n = count.characters;
    double along = gap * (n - 1);
    if (t.vertical)
        along += h * n;
    else
        along += w > 0 ? w * n : h * count.wide + h / 2 * (n - count.wide);
    const double bw = t.vertical ? (w > 0 ? w : h) : along;
    const double bh = t.vertical ? along : h;
    const int anchor = t.anchor >= 1 && t.anchor <= 9 ? t.anchor : 1;
    out.x = -bw * ((anchor - 1) % 3) / 2.0;
    out.y = -bh * ((anchor - 1) / 3) / 2.0;
    out.width = bw;
    out.height = bh;
    if (!glyphs)
        return out;
    const QList<uint> codes = text.toUcs4();
    out.glyphs.reserve(codes.size());
    double at = 0;
    for (uint c : codes) {
        Glyph g;
        if (t.vertical) {
            g = VerticalForm(c);
            g.x = out.x;
            g.y = out.y + bh - at - h;
            g.width = bw;
            g.height = h;
            at += h + gap;
        } else {
            g.code = c;
            g.wide = WideCharacter(c);
            g.x = out.x + at;
            g.y = out.y;
            g.width = w > 0 ? w : (g.wide ? h : h / 2);
            g.height = h;
            at += g.width + gap;
        }
        out.glyphs.push_back(g);
    }
    return out;
}

} // namespace

TextLayout LayOutText(const TextRef &t, const QString &text)
{
    return layOut(t, text, true);
}

TextCount CountText(const QString &text)
{
    // Where the characters lie, without a copy, a surrogate pair as one (as toUcs4 takes
    // them).
    TextCount count;
    const qsizetype size = text.size();
    for (qsizetype i = 0; i < size; ++i) {
        char32_t c = text[i].unicode();
        if (QChar::isHighSurrogate(c) && i + 1 < size && text[i + 1].isLowSurrogate())
            c = QChar::surrogateToUcs4(char16_t(c), text[++i].unicode());
        ++count.characters;
        count.wide += WideCharacter(c);
    }
    return count;
}

TextLayout TextFrame(const TextRef &t, const QString &text)
{
    return layOut(t, text, false);
}

void TextCorners(const TextRef &t, const QString &text, double xs[4], double ys[4])
{
    const TextLayout l = TextFrame(t, text);
    const double lx[4] = {l.x, l.x + l.width, l.x + l.width, l.x};
    const double ly[4] = {l.y, l.y, l.y + l.height, l.y + l.height};
    // As ToPaper maps each, the turn worked out once.
    const double c = std::cos(radians(l.angle)), s = std::sin(radians(l.angle));
    for (int i = 0; i < 4; ++i) {
        xs[i] = l.px + lx[i] * c - ly[i] * s;
        ys[i] = l.py + lx[i] * s + ly[i] * c;
    }
}

PaperBox TextBox(const TextRef &t, const QString &text)
{
    double xs[4], ys[4];
    TextCorners(t, text, xs, ys);
    return {*std::min_element(xs, xs + 4), *std::min_element(ys, ys + 4),
            *std::max_element(xs, xs + 4), *std::max_element(ys, ys + 4)};
}

TextRef RefOf(const TextShape &t)
{
    return {t.px, t.py, t.height, t.width, t.spacing, t.angle, t.style, t.anchor, t.vertical, 0};
}

} // namespace Geometry
