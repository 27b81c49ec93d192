#include "editor/view/selection.h"

#include "editor/model/drawingmodel.h"
#include "editor/model/shapes.h"

#include <algorithm>
#include <cmath>
#include <iterator>

namespace {

bool inside(const PaperBox &b, double x, double y)
{
    return x >= b.x1 && x <= b.x2 && y >= b.y1 && y <= b.y2;
}

bool boxInside(const PaperBox &inner, const PaperBox &outer)
{
    return inside(outer, inner.x1, inner.y1) && inside(outer, inner.x2, inner.y2);
}

// Whether the circle's circumference meets the closed box: some point of the box lies on
// or beyond the circle and some on or inside it.
bool circleMeets(const PaperBox &b, double cx, double cy, double r)
{
    const double nx = std::clamp(cx, b.x1, b.x2), ny = std::clamp(cy, b.y1, b.y2);
    const double fx = std::max(std::fabs(b.x1 - cx), std::fabs(b.x2 - cx));
    const double fy = std::max(std::fabs(b.y1 - cy), std::fabs(b.y2 - cy));
    return std::hypot(nx - cx, ny - cy) <= r && std::hypot(fx, fy) >= r;
}

// An arc meets the box where its circle does at an angle the arc covers, or at its ends.
bool arcMeets(const PaperBox &b, const ArcShape &a)
{
    double sx, sy, ex, ey;
    ArcEnds(a, sx, sy, ex, ey);
    if (inside(b, sx, sy) || inside(b, ex, ey))
        return true;
    if (!circleMeets(b, a.cx, a.cy, a.r))
        return false;
    // The circle crosses an edge of the box: look at each crossing's angle.
    const double edges[4][3] = {{b.x1, b.y1, b.y2}, {b.x2, b.y1, b.y2}, {b.y1, b.x1, b.x2},
                                {b.y2, b.x1, b.x2}};
    for (int e = 0; e < 4; ++e) {
        const bool vertical = e < 2;
        const double at = edges[e][0] - (vertical ? a.cx : a.cy);
        const double h2 = a.r * a.r - at * at;
        if (h2 < 0)
            continue;
        for (double sign : {-1.0, 1.0}) {
            const double along = sign * std::sqrt(h2) + (vertical ? a.cy : a.cx);
            if (along < edges[e][1] || along > edges[e][2])
                continue;
            const double px = vertical ? edges[e][0] : along, py = vertical ? along : edges[e][0];
            if (OnArc(std::atan2(py - a.cy, px - a.cx) * 180 / 3.14159265358979323846, a.sa,
                      a.ea))
                return true;
        }
    }
    return false;
}

double distanceTo(const DrawingModel &model, const PaperShape &shape, double x, double y)
{
    return std::visit(
        [&](const auto &g) {
            using G = std::decay_t<decltype(g)>;
            if constexpr (std::is_same_v<G, LineShape>) {
                return DistanceToSegment(x, y, g);
            } else if constexpr (std::is_same_v<G, CircleShape>) {
                return DistanceToCircle(x, y, g);
            } else if constexpr (std::is_same_v<G, ArcShape>) {
                return DistanceToArc(x, y, g);
            } else if constexpr (std::is_same_v<G, TextRef>) {
                double xs[4], ys[4];
                TextCorners(g, model.Strings(g).text, xs, ys);
                if (QuadHolds(xs, ys, x, y))
                    return 0.0;
                double d = HUGE_VAL;
                for (int i = 0; i < 4; ++i) {
                    const int j = (i + 1) % 4;
                    d = std::min(d, DistanceToSegment(x, y, {xs[i], ys[i], xs[j], ys[j]}));
                }
                return d;
            } else {
                return HUGE_VAL;
            }
        },
        shape);
}

bool framed(const DrawingModel &model, const Entity &e, const PaperShape &shape,
            const PaperBox &box, bool touching)
{
    PaperBox extent;
    if (!model.Extent(e, extent))
        return false;
    if (!touching || boxInside(extent, box))
        return boxInside(extent, box);
    return std::visit(
        [&](const auto &g) {
            using G = std::decay_t<decltype(g)>;
            if constexpr (std::is_same_v<G, LineShape>) {
                return SegmentMeetsBox(box, g);
            } else if constexpr (std::is_same_v<G, CircleShape>) {
                return circleMeets(box, g.cx, g.cy, g.r);
            } else if constexpr (std::is_same_v<G, ArcShape>) {
                return arcMeets(box, g);
            } else if constexpr (std::is_same_v<G, TextRef>) {
                double xs[4], ys[4];
                TextCorners(g, model.Strings(g).text, xs, ys);
                for (int i = 0; i < 4; ++i) {
                    const int j = (i + 1) % 4;
                    if (SegmentMeetsBox(box, {xs[i], ys[i], xs[j], ys[j]}))
                        return true;
                }
                return QuadHolds(xs, ys, box.x1, box.y1);
            } else {
                return false;
            }
        },
        shape);
}

} // namespace

int32_t PickEntity(const DrawingModel &model, double x, double y, double tolerance)
{
    if (!std::isfinite(x) || !std::isfinite(y) || !(tolerance >= 0) || !std::isfinite(tolerance))
        return 0;
    std::vector<uint32_t> near;
    model.EntitiesIn({x - tolerance, y - tolerance, x + tolerance, y + tolerance}, near);
    int32_t best = 0;
    double bestDistance = tolerance;
    // Ascending, so a later entity as near as an earlier one wins.
    for (uint32_t i : near) {
        const Entity &e = model.At(i);
        const double d = distanceTo(model, model.Paper(e), x, y);
        if (d <= bestDistance) {
            bestDistance = d;
            best = e.entity.n;
        }
    }
    return best;
}

std::vector<int32_t> FrameEntities(const DrawingModel &model, const PaperBox &given,
                                   bool touching)
{
    const PaperBox box{std::min(given.x1, given.x2), std::min(given.y1, given.y2),
                       std::max(given.x1, given.x2), std::max(given.y1, given.y2)};
    std::vector<uint32_t> near;
    model.EntitiesIn(box, near);
    std::vector<int32_t> out;
    for (uint32_t i : near) {
        const Entity &e = model.At(i);
        const PaperShape shape = model.Paper(e);
        if (!std::holds_alternative<std::monostate>(shape) && framed(model, e, shape, box, touching))
            out.push_back(e.entity.n);
    }
    return out;
}

bool Selection::Contains(int32_t entity) const
{
    return std::binary_search(entities.begin(), entities.end(), entity);
}

void Selection::Set(std::vector<int32_t> ascending)
{
    entities = std::move(ascending);
    entities.erase(std::unique(entities.begin(), entities.end()), entities.end());
}

void Selection::Add(const std::vector<int32_t> &ascending)
{
    std::vector<int32_t> merged;
    merged.reserve(entities.size() + ascending.size());
    std::set_union(entities.begin(), entities.end(), ascending.begin(), ascending.end(),
                   std::back_inserter(merged));
    entities = std::move(merged);
}

void Selection::Toggle(int32_t entity)
{
    auto it = std::lower_bound(entities.begin(), entities.end(), entity);
    if (it != entities.end() && *it == entity)
        entities.erase(it);
    else
        entities.insert(it, entity);
}

bool Selection::KeepLive(const DrawingModel &model)
{
    const size_t before = entities.size();
    std::erase_if(entities, [&](int32_t n) {
        const Entity *e = model.Find(n);
        return !e || std::holds_alternative<std::monostate>(model.Paper(*e));
    });
    return entities.size() != before;
}
