#include "editor/snap.h"

#include "editor/drawingmodel.h"

#include <cmath>
#include <limits>
#include <vector>

bool SnapToLineEnd(const DrawingModel &model, double x, double y, double tolerance, double &sx,
                   double &sy)
{
    if (!std::isfinite(x) || !std::isfinite(y) || !(tolerance >= 0) || !std::isfinite(tolerance))
        return false;
    std::vector<uint32_t> near;
    model.LinesIn({x - tolerance, y - tolerance, x + tolerance, y + tolerance}, near);
    auto within = [&](double px, double py) {
        return std::fabs(x - px) <= tolerance && std::fabs(y - py) <= tolerance;
    };
    int64_t best = std::numeric_limits<int64_t>::max();
    for (uint32_t i : near) {
        const EntityLine &e = model.At(i);
        if (e.entity.type != 1 || !e.hasLine || e.line.n >= best)
            continue;
        const LineRow &l = e.line;
        const LayerRow *layer = l.layer >= 0 && l.layer <= 255 ? model.Layer(l.layer) : nullptr;
        if (!layer || layer->visible == 0 || layer->scale == 0 || !std::isfinite(layer->scale))
            continue;
        const double s = layer->scale;
        if (within(l.x1 * s, l.y1 * s)) {
            sx = l.x1 * s;
            sy = l.y1 * s;
        } else if (within(l.x2 * s, l.y2 * s)) {
            sx = l.x2 * s;
            sy = l.y2 * s;
        } else {
            continue;
        }
        best = l.n;
    }
    return best != std::numeric_limits<int64_t>::max();
}
