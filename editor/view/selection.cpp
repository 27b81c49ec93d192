#include "editor/view/selection.h"

#include "editor/model/drawingmodel.h"
#include "editor/model/geometry.h"

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

double distanceTo(const DrawingModel &model, const PaperShape &shape, double x, double y)
{
    return std::visit(
        [&](const auto &g) {
            using G = std::decay_t<decltype(g)>;
            if constexpr (std::is_same_v<G, LineShape>) {
                return Geometry::DistanceToSegment(x, y, g);
            } else if constexpr (std::is_same_v<G, CircleShape>) {
                return Geometry::DistanceToCircle(x, y, g);
            } else if constexpr (std::is_same_v<G, ArcShape>) {
                return Geometry::DistanceToArc(x, y, g);
            } else if constexpr (std::is_same_v<G, TextRef>) {
                double xs[4], ys[4];
                Geometry::TextCorners(g, model.Strings(g).text, xs, ys);
                if (Geometry::QuadHolds(xs, ys, x, y))
                    return 0.0;
                double d = HUGE_VAL;
                for (int i = 0; i < 4; ++i) {
                    const int j = (i + 1) % 4;
                    d = std::min(d, Geometry::DistanceToSegment(
                                        x, y, {xs[i], ys[i], xs[j], ys[j]}));
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
                return Geometry::SegmentMeetsBox(box, g);
            } else if constexpr (std::is_same_v<G, CircleShape>) {
                return Geometry::CircleMeetsBox(box, g);
            } else if constexpr (std::is_same_v<G, ArcShape>) {
                return Geometry::ArcMeetsBox(box, g);
            } else if constexpr (std::is_same_v<G, TextRef>) {
                double xs[4], ys[4];
                Geometry::TextCorners(g, model.Strings(g).text, xs, ys);
                for (int i = 0; i < 4; ++i) {
                    const int j = (i + 1) % 4;
                    if (Geometry::SegmentMeetsBox(box, {xs[i], ys[i], xs[j], ys[j]}))
                        return true;
                }
                return Geometry::QuadHolds(xs, ys, box.x1, box.y1);
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
