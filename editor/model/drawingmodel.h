// One drawing in memory: its layers, colours and line types, and its entities of every kind
// in ascending entity number, with a grid of cells over the paper that finds the entities
// meeting a rectangle without looking at the others. Filled and refreshed from the database
// by the editor's loader; it knows no database itself.
#pragma once

#include "editor/model/entity.h"
#include "editor/pen/pen.h"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

// How an entity is drawn once its layer, colour and line type rows are looked up.
struct LineLook
{
    LinePen pen;
    double scale = 1; // layer units to paper millimetres
};

// An entity's shape on paper: coordinates and radii in millimetres (a text's sizes are
// paper millimetres already).
using PaperShape = std::variant<std::monostate, LineShape, CircleShape, ArcShape, TextRef>;

// A kind's shape on paper at its layer's scale s, as Paper gives it; false where a value
// cannot be drawn. For the picture, which has the scale in each entity's look already.
inline bool OnPaper(const LineShape &g, double s, LineShape &p)
{
    p = {g.x1 * s, g.y1 * s, g.x2 * s, g.y2 * s};
    return std::isfinite(p.x1) && std::isfinite(p.y1) && std::isfinite(p.x2)
           && std::isfinite(p.y2);
}
inline bool OnPaper(const CircleShape &g, double s, CircleShape &p)
{
    p = {g.cx * s, g.cy * s, g.r * s};
    return std::isfinite(p.cx) && std::isfinite(p.cy) && std::isfinite(p.r) && p.r > 0;
}
inline bool OnPaper(const ArcShape &g, double s, ArcShape &p)
{
    p = {g.cx * s, g.cy * s, g.r * s, g.sa, g.ea};
    return std::isfinite(p.cx) && std::isfinite(p.cy) && std::isfinite(p.r) && p.r > 0
           && std::isfinite(p.sa) && std::isfinite(p.ea);
}
inline bool OnPaper(const TextRef &g, double s, TextRef &p)
{
    p = g;
    p.px *= s;
    p.py *= s;
    return std::isfinite(p.px) && std::isfinite(p.py) && std::isfinite(p.height)
           && std::isfinite(p.angle) && std::isfinite(p.width) && std::isfinite(p.spacing)
           && p.height > 0;
}

// Large arrays straight from the system, in huge pages where it gives them: on some
// machines a fresh page costs more than filling it.
void *AllocateLarge(size_t bytes);
void FreeLarge(void *p, size_t bytes);
constexpr size_t LargeBytes = size_t(4) << 20;

template<typename T>
struct LargeAllocator
{
    using value_type = T;
    LargeAllocator() = default;
    template<typename U> LargeAllocator(const LargeAllocator<U> &) {}
    T *allocate(size_t n)
    {
        return n * sizeof(T) >= LargeBytes ? static_cast<T *>(AllocateLarge(n * sizeof(T)))
                                           : std::allocator<T>().allocate(n);
    }
    void deallocate(T *p, size_t n)
    {
        if (n * sizeof(T) >= LargeBytes)
            FreeLarge(p, n * sizeof(T));
        else
            std::allocator<T>().deallocate(p, n);
    }
    template<typename U> bool operator==(const LargeAllocator<U> &) const { return true; }
};

class DrawingModel
{
public:
    explicit DrawingModel(int drawing = 0);
    DrawingModel(const DrawingModel &) = delete;
    DrawingModel &operator=(const DrawingModel &) = delete;

    int Drawing() const { return drawing; }

    // The small tables. The lookups give nullptr for a number with no row.
    const std::vector<LayerRow> &Layers() const { return layers; }
    const std::vector<ColourRow> &Colours() const { return colours; }
    const std::vector<LineTypeRow> &LineTypes() const { return lineTypes; }
    const LayerRow *Layer(int n) const;
    const ColourRow *Colour(int n) const;
    const LineTypeRow *LineType(int n) const;
    // Each gives true when something changed.
    bool SetLayers(std::vector<LayerRow> rows);
    bool SetColours(std::vector<ColourRow> rows);
    bool SetLineTypes(std::vector<LineTypeRow> rows);

    // Entities in ascending number; Add replaces an entity of the same number, and gives
    // false when that one had another shape or look (not only another state).
    size_t Count() const { return items.size(); }
    const Entity &At(size_t i) const { return items[i]; }
    const Entity *Find(int32_t entity) const;
    const TextStrings &Strings(const TextRef &text) const { return texts.At(text.strings); }
    EntityRecord Record(const Entity &e) const { return ToRecord(e, texts); }
    bool Add(const EntityRecord &e);
    void Add(const std::vector<EntityRecord> &rows);
    // Room for this many entities in all, before adding many at once.
    void Reserve(size_t count);
    // An operation this PC has just stored: the rows it created, the entities it erased and
    // restored (those not in memory are left to the loader). Where the model stands moves
    // on past it only when nothing of other PCs lies in between, which the loader then
    // reads.
    void TakeStored(const std::vector<EntityRecord> &rows, const std::vector<int32_t> &erased,
                    const std::vector<int32_t> &restored, int64_t operation,
                    int64_t firstHistory);
    int64_t HighestEntity() const { return items.empty() ? 0 : items.back().entity.n; }
    // The highest geometry row number of the kind seen so far.
    int64_t HighestRow(int kind) const;
    // The widest pen width in use (1/100 mm): an entity's own, or a layer's.
    int32_t WidestWidth() const;
    // The largest character height or width among the texts added (mm); it is not lowered
    // as texts go.
    double TallestText() const { return tallestText; }

    // The look of an entity, or false when it is not drawn: its layer missing, hidden, not
    // in 0-255 or of a scale that is not finite. A missing colour row gives black, a missing
    // or unusable line type continuous. With hiddenToo, a hidden layer's too, as an
    // exchange file keeps them.
    bool Look(const Entity &e, LineLook &look, bool hiddenToo = false) const;
    // A live entity's shape on paper, or monostate when it is not live, not drawn, or its
    // values cannot be drawn (not finite, a radius not positive, a text of no height).
    PaperShape Paper(const Entity &e, bool hiddenToo = false) const;
    // A live, drawn entity's record with its shape on paper, as the commands that change
    // figures take it; false for one Paper gives nothing for.
    bool PaperRecord(const Entity &e, EntityRecord &out) const;
    // The paper extent of an entity that could ever be drawn, whatever its state and
    // visibility; false for one that never can.
    bool Extent(const Entity &e, PaperBox &box) const;
    // The positions (for At) of live entities whose paper extent meets the box, ascending;
    // with bounds, for each a box its extent lies in, larger by less than a float's step.
    void EntitiesIn(const PaperBox &box, std::vector<uint32_t> &out,
                    std::vector<PaperBox> *bounds = nullptr) const;
    // Builds the index where EntitiesIn would build it first; true when EntitiesIn then
    // answers without building it again, so that it may be asked from several threads at
    // once.
    bool PrepareIndex() const;

    // Where the model stands against the database: set by the loader.
    int64_t Operation() const { return operation; }
    int64_t HighestHistory() const { return highestHistory; }
    void Reset(int64_t operation, int64_t highestHistory);
    void SetOperation(int64_t op) { operation = op; }
    void SetHighestHistory(int64_t h) { highestHistory = h; }
    // Gives back room reserved and not used, when it is much.
    void Trim();

    // Bytes held for the drawing, roughly.
    size_t MemoryBytes() const;

private:
    // One level of the grid: cells of equal size over the extent the entities had when it
    // was built, each level's cells twice as large as the one below. An entity lives in the
    // one cell of the finest level whose cells are at least its size that holds its centre,
    // so it lies within half a cell around that cell.
    // An entity's place in a cell with its extent rounded outwards to floats, so that a
    // query passes over those far away without working out their geometry; the cell is
    // chosen from the rounded extent, which holds the entity.
    struct Slot
    {
        float x1, y1, x2, y2;
        uint32_t position;
    };
    struct Level
    {
        int columns = 0, rows = 0;
        double cellWidth = 1, cellHeight = 1;
        size_t firstCell = 0; // of the level's cells among all levels'
    };
    static constexpr uint32_t NoSlot = UINT32_MAX;

    void setState(const std::vector<int32_t> &entities, int16_t state);
    bool indexCurrent() const;
    void buildIndex() const;
    void addToIndex(uint32_t position) const;
    bool slotOf(uint32_t position, Slot &slot) const;
    // The cell among all levels' for the extent, NoSlot when it lies beyond the grid or is
    // too large for every level.
    uint32_t cellOf(const Slot &s) const;
    const LayerRow *drawnLayer(int layer, bool hiddenToo = false) const;

    int drawing;
    std::vector<LayerRow> layers;
    std::vector<ColourRow> colours;
    std::vector<LineTypeRow> lineTypes;
    // Positions in the vectors above by number 0-255, -1 for none.
    std::vector<int32_t> layerAt, colourAt, lineTypeAt;
    std::vector<Entity, LargeAllocator<Entity>> items;
    TextPool texts;
    int64_t highestRows[5] = {};
    int32_t widestOwn = 0;
    double tallestText = 0;
    int64_t operation = 0;
    int64_t highestHistory = 0;

    mutable bool indexValid = false;
    mutable PaperBox gridBox;
    mutable std::vector<Level> levels;
    // The slots of every cell of every level one after another as the grid was built: cell
    // c's are from cellStart[c] to cellStart[c + 1]. Those placed since are chained from
    // addedHead[c] through addedNext.
    mutable std::vector<Slot, LargeAllocator<Slot>> placed;
    mutable std::vector<uint32_t> cellStart, addedHead;
    mutable std::vector<Slot> added;
    mutable std::vector<uint32_t> addedNext;
    // Entities too large for every level or lying beyond the extent: looked at every time.
    mutable std::vector<uint32_t> wide;
    mutable size_t indexedCount = 0;
};
