#include "editor/selection.h"

#include "editor/drawingmodel.h"

#include <algorithm>
#include <cmath>
#include <iterator>

namespace {

double segmentDistance(double x, double y, double x1, double y1, double x2, double y2)
{
    const double dx = x2 - x1, dy = y2 - y1;
    const double length2 = dx * dx + dy * dy;
    double t = length2 > 0 ? ((x - x1) * dx + (y - y1) * dy) / length2 : 0;
    t = std::clamp(t, 0.0, 1.0);
    return std::hypot(x - (x1 + t * dx), y - (y1 + t * dy));
}

bool inside(const PaperBox &b, double x, double y)
{
    return x >= b.x1 && x <= b.x2 && y >= b.y1 && y <= b.y2;
}

// Whether the segment meets the closed box: the part of it within the box's x and y ranges
// is not empty.
bool meets(const PaperBox &b, double x1, double y1, double x2, double y2)
{
    double t0 = 0, t1 = 1;
    const double d[2] = {x2 - x1, y2 - y1};
    const double from[2] = {x1, y1};
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

} // namespace

int32_t PickLine(const DrawingModel &model, double x, double y, double tolerance)
{
    if (!std::isfinite(x) || !std::isfinite(y) || !(tolerance >= 0) || !std::isfinite(tolerance))
        return 0;
    std::vector<uint32_t> near;
    model.LinesIn({x - tolerance, y - tolerance, x + tolerance, y + tolerance}, near);
    int32_t best = 0;
    double bestDistance = tolerance;
    // Ascending, so a later line as near as an earlier one wins.
    for (uint32_t i : near) {
        const EntityLine &e = model.At(i);
        double x1, y1, x2, y2;
        if (!model.PaperLine(e, x1, y1, x2, y2))
            continue;
        const double d = segmentDistance(x, y, x1, y1, x2, y2);
        if (d <= bestDistance) {
            bestDistance = d;
            best = e.entity.n;
        }
    }
    return best;
}

std::vector<int32_t> FrameLines(const DrawingModel &model, const PaperBox &given, bool touching)
{
    const PaperBox box{std::min(given.x1, given.x2), std::min(given.y1, given.y2),
                       std::max(given.x1, given.x2), std::max(given.y1, given.y2)};
    std::vector<uint32_t> near;
    model.LinesIn(box, near);
    std::vector<int32_t> out;
    for (uint32_t i : near) {
        const EntityLine &e = model.At(i);
        double x1, y1, x2, y2;
        if (!model.PaperLine(e, x1, y1, x2, y2))
            continue;
        const bool taken = touching ? meets(box, x1, y1, x2, y2)
                                    : inside(box, x1, y1) && inside(box, x2, y2);
        if (taken)
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
        const EntityLine *e = model.Find(n);
        double x1, y1, x2, y2;
        return !e || !model.PaperLine(*e, x1, y1, x2, y2);
    });
    return entities.size() != before;
}
