#include "editor/view/snap.h"

#include "editor/model/drawingmodel.h"
#include "editor/model/geometry.h"

#include <cmath>
#include <vector>

namespace {

// The points an entity offers to the snap, in the order they are tried.
int snapPoints(const PaperShape &shape, double xs[6], double ys[6])
{
    return std::visit(
        [&](const auto &g) {
            using G = std::decay_t<decltype(g)>;
            if constexpr (std::is_same_v<G, LineShape>) {
                xs[0] = g.x1, ys[0] = g.y1, xs[1] = g.x2, ys[1] = g.y2;
                return 2;
            } else if constexpr (std::is_same_v<G, ArcShape>) {
                Geometry::ArcEnds(g, xs[0], ys[0], xs[1], ys[1]);
                xs[2] = g.cx, ys[2] = g.cy;
                return 3;
            } else if constexpr (std::is_same_v<G, CircleShape>) {
                const double dx[5] = {0, 1, 0, -1, 0}, dy[5] = {0, 0, 1, 0, -1};
                for (int i = 0; i < 5; ++i)
                    xs[i] = g.cx + dx[i] * g.r, ys[i] = g.cy + dy[i] * g.r;
                return 5;
            } else if constexpr (std::is_same_v<G, TextRef>) {
                xs[0] = g.px, ys[0] = g.py;
                return 1;
            } else {
                return 0;
            }
        },
        shape);
}

} // namespace

bool SnapPoint(const DrawingModel &model, double x, double y, double tolerance, double &sx,
               double &sy)
{
    if (!std::isfinite(x) || !std::isfinite(y) || !(tolerance >= 0) || !std::isfinite(tolerance))
        return false;
    std::vector<uint32_t> near;
    model.EntitiesIn({x - tolerance, y - tolerance, x + tolerance, y + tolerance}, near);
    // Ascending: the first entity with a point that near wins.
    for (uint32_t i : near) {
        double xs[6], ys[6];
        const int count = snapPoints(model.Paper(model.At(i)), xs, ys);
        for (int k = 0; k < count; ++k) {
            if (std::fabs(x - xs[k]) <= tolerance && std::fabs(y - ys[k]) <= tolerance) {
                sx = xs[k];
                sy = ys[k];
                return true;
            }
        }
    }
    return false;
}
