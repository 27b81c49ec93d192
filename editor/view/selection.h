// Picking entities and framing them on the drawing in memory, and the set of selected ones.
// Only live entities on shown layers take part. Paper millimetres; no window, no database.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

class DrawingModel;
struct PaperBox;

// The entity nearest (x, y) within tolerance, measured to a line's segment, a circle's or
// arc's curve, or a text's box (0 inside it); 0 for none. Of entities equally near, the one
// drawn last, which lies on top.
int32_t PickEntity(const DrawingModel &model, double x, double y, double tolerance);
// The entities, ascending, wholly inside the box or, when touching is set, meeting it
// anywhere (a circle by its curve, a text by its box).
std::vector<int32_t> FrameEntities(const DrawingModel &model, const PaperBox &box, bool touching);

class Selection
{
public:
    const std::vector<int32_t> &Entities() const { return entities; }
    bool Empty() const { return entities.empty(); }
    size_t Size() const { return entities.size(); }
    bool Contains(int32_t entity) const;
    void Clear() { entities.clear(); }
    // Replaces the selection; more adds to it.
    void Set(std::vector<int32_t> ascending);
    void Add(const std::vector<int32_t> &ascending);
    void Toggle(int32_t entity);
    // Drops what is no longer a live entity on a shown layer; true when something went.
    bool KeepLive(const DrawingModel &model);

private:
    std::vector<int32_t> entities; // ascending, each once
};
