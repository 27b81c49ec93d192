#include "editor/view/snap.h"

#include "editor/model/drawingmodel.h"
#include "editor/model/geometry.h"
#include "editor/model/intersect.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <vector>

namespace {

// The best point of each kind seen so far.
class Best
{
public:
    explicit Best(const SnapQuery &q) : q(q) {}

    void Offer(SnapKind kind, double x, double y)
    {
        if (!(q.kinds & kind) || !std::isfinite(x) || !std::isfinite(y)
            || std::fabs(x - q.x) > q.tolerance || std::fabs(y - q.y) > q.tolerance)
            return;
        const int k = std::countr_zero(unsigned(kind));
        const double d = std::hypot(x - q.x, y - q.y);
        // Strictly nearer: of equals the entity seen first, the lower number, stays.
        if (!found[k] || d < distance[k]) {
            found[k] = true;
            distance[k] = d;
            xs[k] = x;
            ys[k] = y;
        }
    }
    void Offer(SnapKind kind, int n, const double px[2], const double py[2])
    {
        for (int i = 0; i < n; ++i)
            Offer(kind, px[i], py[i]);
    }
    bool Take(SnapResult &out) const
    {
        for (int k = 0; k < SnapKindCount; ++k) {
            if (found[k]) {
                out = {SnapKind(1u << k), xs[k], ys[k]};
                return true;
            }
        }
        return false;
    }

private:
    const SnapQuery &q;
    bool found[SnapKindCount] = {};
    double distance[SnapKindCount] = {}, xs[SnapKindCount] = {}, ys[SnapKindCount] = {};
};

void quadrants(Best &best, double cx, double cy, double r, const ArcShape *arc)
{
    const double dx[4] = {1, 0, -1, 0}, dy[4] = {0, 1, 0, -1};
    for (int i = 0; i < 4; ++i) {
        if (!arc || Geometry::OnArc(i * 90.0, arc->sa, arc->ea))
            best.Offer(SnapQuadrant, cx + dx[i] * r, cy + dy[i] * r);
    }
}

// The points of one entity alone.
// What a circle and an arc offer alike, from the last point and near the pointer.
template<typename Curve> void curvePoints(Best &best, const SnapQuery &q, const Curve &c)
{
    double xs[2], ys[2], nx, ny;
    if (q.hasLast && (q.kinds & SnapPerpendicular))
        best.Offer(SnapPerpendicular, Geometry::Foot(q.lastX, q.lastY, c, xs, ys), xs, ys);
    if (q.hasLast && (q.kinds & SnapTangent))
        best.Offer(SnapTangent, Geometry::Tangents(q.lastX, q.lastY, c, xs, ys), xs, ys);
    if (q.kinds & SnapNearest) {
        Geometry::Nearest(q.x, q.y, c, nx, ny);
        best.Offer(SnapNearest, nx, ny);
    }
}

void pointsOf(Best &best, const SnapQuery &q, const PaperShape &shape)
{
    double xs[2], ys[2], nx, ny;
    if (const auto *l = std::get_if<LineShape>(&shape)) {
        best.Offer(SnapEnd, l->x1, l->y1);
        best.Offer(SnapEnd, l->x2, l->y2);
        best.Offer(SnapMiddle, (l->x1 + l->x2) / 2, (l->y1 + l->y2) / 2);
        if (q.hasLast && (q.kinds & SnapPerpendicular))
            best.Offer(SnapPerpendicular, Geometry::Foot(q.lastX, q.lastY, *l, false, xs, ys),
                       xs, ys);
        if (q.kinds & SnapNearest) {
            Geometry::Nearest(q.x, q.y, *l, nx, ny);
            best.Offer(SnapNearest, nx, ny);
        }
    } else if (const auto *a = std::get_if<ArcShape>(&shape)) {
        Geometry::ArcEnds(*a, xs[0], ys[0], xs[1], ys[1]);
        best.Offer(SnapEnd, 2, xs, ys);
        best.Offer(SnapCentre, a->cx, a->cy);
        const double mid = Geometry::Pi / 180 * (a->sa + Geometry::Sweep(a->sa, a->ea) / 2);
        best.Offer(SnapMiddle, a->cx + a->r * std::cos(mid), a->cy + a->r * std::sin(mid));
        quadrants(best, a->cx, a->cy, a->r, a);
        curvePoints(best, q, *a);
    } else if (const auto *c = std::get_if<CircleShape>(&shape)) {
        best.Offer(SnapCentre, c->cx, c->cy);
        quadrants(best, c->cx, c->cy, c->r, nullptr);
        curvePoints(best, q, *c);
    } else if (const auto *t = std::get_if<TextRef>(&shape)) {
        best.Offer(SnapEnd, t->px, t->py);
        best.Offer(SnapNearest, t->px, t->py);
    }
}

// Whether the figure passes through the box, and the part of its extent inside it.
bool meets(const PaperBox &box, const PaperShape &shape, PaperBox &part)
{
    bool in = false;
    PaperBox b;
    if (const auto *l = std::get_if<LineShape>(&shape))
        in = Geometry::SegmentMeetsBox(box, *l), b = Geometry::LineBox(*l);
    else if (const auto *a = std::get_if<ArcShape>(&shape))
        in = Geometry::ArcMeetsBox(box, *a), b = Geometry::ArcBox(*a);
    else if (const auto *c = std::get_if<CircleShape>(&shape))
        in = Geometry::CircleMeetsBox(box, *c), b = Geometry::CircleBox(*c);
    part = {std::max(b.x1, box.x1), std::max(b.y1, box.y1), std::min(b.x2, box.x2),
            std::min(b.y2, box.y2)};
    return in;
}

double distanceTo(const PaperShape &shape, double x, double y)
{
    if (const auto *l = std::get_if<LineShape>(&shape))
        return Geometry::DistanceToSegment(x, y, *l);
    if (const auto *a = std::get_if<ArcShape>(&shape))
        return Geometry::DistanceToArc(x, y, *a);
    if (const auto *c = std::get_if<CircleShape>(&shape))
        return Geometry::DistanceToCircle(x, y, *c);
    return 0;
}

// With a little slack for the rounding of the boxes' edges.
bool overlap(const PaperBox &a, const PaperBox &b, double slack)
{
    return a.x1 <= b.x2 + slack && b.x1 <= a.x2 + slack && a.y1 <= b.y2 + slack
           && b.y1 <= a.y2 + slack;
}


} // namespace

bool FindSnap(const DrawingModel &model, const SnapQuery &q, SnapResult &out)
{
    if (!std::isfinite(q.x) || !std::isfinite(q.y) || !(q.tolerance >= 0)
        || !std::isfinite(q.tolerance) || (q.hasLast && !(std::isfinite(q.lastX)
                                                          && std::isfinite(q.lastY))))
        return false;
    Best best(q);
    const PaperBox square{q.x - q.tolerance, q.y - q.tolerance, q.x + q.tolerance,
                          q.y + q.tolerance};
    std::vector<uint32_t> near;
    model.EntitiesIn(square, near);
    // The figures through the square, with the part of their extents inside it: two
    // whose parts do not overlap cannot cross inside the square.
    std::vector<std::pair<PaperShape, PaperBox>> crossing;
    for (uint32_t i : near) {
        const PaperShape shape = model.Paper(model.At(i));
        pointsOf(best, q, shape);
        PaperBox part;
        if ((q.kinds & SnapIntersection) && meets(square, shape, part))
            crossing.emplace_back(shape, part);
    }
    // In a crowd only the figures nearest the pointer are paired, which bounds the work by
    // a constant where pairing every figure in the square grows with its square.
    constexpr size_t MostCrossing = 32;
    if (crossing.size() > MostCrossing) {
        std::vector<std::pair<double, size_t>> order;
        order.reserve(crossing.size());
        for (size_t i = 0; i < crossing.size(); ++i)
            order.emplace_back(distanceTo(crossing[i].first, q.x, q.y), i);
        std::nth_element(order.begin(), order.begin() + MostCrossing, order.end());
        order.resize(MostCrossing);
        std::sort(order.begin(), order.end(),
                  [](const auto &a, const auto &b) { return a.second < b.second; });
        std::vector<std::pair<PaperShape, PaperBox>> nearest;
        for (const auto &o : order)
            nearest.push_back(std::move(crossing[o.second]));
        crossing = std::move(nearest);
    }
    const double slack = 1e-9 * (1 + std::fabs(q.x) + std::fabs(q.y) + q.tolerance);
    for (size_t i = 0; i < crossing.size(); ++i) {
        for (size_t j = i + 1; j < crossing.size(); ++j) {
            if (!overlap(crossing[i].second, crossing[j].second, slack))
                continue;
            double xs[2], ys[2];
            best.Offer(SnapIntersection,
                       Geometry::Crossings(crossing[i].first, crossing[j].first, xs, ys), xs, ys);
        }
    }
    if (q.corners)
        for (const auto &[cx, cy] : *q.corners)
            best.Offer(SnapEnd, cx, cy);
    if (q.grid > 0 && std::isfinite(q.grid))
        best.Offer(SnapGrid, std::round(q.x / q.grid) * q.grid, std::round(q.y / q.grid) * q.grid);
    return best.Take(out);
}
