// Points where figures meet and the points a point finds on a figure: the snap's geometry,
// shared with the commands that change figures.
#pragma once

#include "db/entityrows.h"

#include <type_traits>
#include <variant>

namespace Geometry {

// Up to two points where a line (segment) or circle or arc meets another. Extended: the
// segment is taken as its whole line and the arc as its whole circle. Lines on one line
// and circles on one another give none. Returns how many points.
int Intersect(const LineShape &a, const LineShape &b, bool extended, double xs[2], double ys[2]);
int Intersect(const LineShape &a, const CircleShape &b, bool extended, double xs[2],
              double ys[2]);
int Intersect(const LineShape &a, const ArcShape &b, bool extended, double xs[2], double ys[2]);
int Intersect(const CircleShape &a, const CircleShape &b, double xs[2], double ys[2]);
int Intersect(const CircleShape &a, const ArcShape &b, bool extended, double xs[2],
              double ys[2]);
int Intersect(const ArcShape &a, const ArcShape &b, bool extended, double xs[2], double ys[2]);

// Where two figures of any kind meet as they are (not extended); texts meet nothing.
template <typename Figure> int Crossings(const Figure &a, const Figure &b, double xs[2], double ys[2]);

// Whether the point lies on the arc's span, or so near an end that rounding put it beyond.
bool OnSpan(const ArcShape &a, double x, double y);

// The foot of the perpendicular from (x, y): on the segment (or its line when extended);
// on a circle or arc the one or two points on the line through the centre, the arc's only
// within its span. None from the centre itself.
int Foot(double x, double y, const LineShape &l, bool extended, double xs[2], double ys[2]);
int Foot(double x, double y, const CircleShape &c, double xs[2], double ys[2]);
int Foot(double x, double y, const ArcShape &a, double xs[2], double ys[2]);

// Where the lines from (x, y) touch the circle, or the arc within its span; none from a
// point inside the circle, one from a point on it.
int Tangents(double x, double y, const CircleShape &c, double xs[2], double ys[2]);
int Tangents(double x, double y, const ArcShape &a, double xs[2], double ys[2]);

// The nearest point of the figure to (x, y); an arc's nearer end outside its span, a
// circle's rightmost point from its centre.
void Nearest(double x, double y, const LineShape &l, double &nx, double &ny);
void Nearest(double x, double y, const CircleShape &c, double &nx, double &ny);
void Nearest(double x, double y, const ArcShape &a, double &nx, double &ny);

template <typename Figure> int Crossings(const Figure &a, const Figure &b, double xs[2], double ys[2])
{
    return std::visit(
        [&](const auto &p, const auto &q) -> int {
            using P = std::decay_t<decltype(p)>;
            using Q = std::decay_t<decltype(q)>;
            constexpr bool pCurve = std::is_same_v<P, CircleShape> || std::is_same_v<P, ArcShape>;
            constexpr bool qCurve = std::is_same_v<Q, CircleShape> || std::is_same_v<Q, ArcShape>;
            if constexpr (std::is_same_v<P, CircleShape> && std::is_same_v<Q, CircleShape>)
                return Intersect(p, q, xs, ys);
            else if constexpr (std::is_same_v<P, LineShape> && (std::is_same_v<Q, LineShape> || qCurve))
                return Intersect(p, q, false, xs, ys);
            else if constexpr (std::is_same_v<P, CircleShape> && std::is_same_v<Q, ArcShape>)
                return Intersect(p, q, false, xs, ys);
            else if constexpr (std::is_same_v<P, ArcShape> && std::is_same_v<Q, ArcShape>)
                return Intersect(p, q, false, xs, ys);
            else if constexpr (pCurve && (std::is_same_v<Q, LineShape> || qCurve))
                return Crossings(b, a, xs, ys);
            else
                return 0;
        },
        a, b);
}

} // namespace Geometry
