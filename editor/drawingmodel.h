// One drawing in memory: its layers, colours and line types, and its entities with their
// line rows in ascending entity number, with a grid of cells over the paper that finds the
// lines meeting a rectangle without looking at the others. Loaded in steps and refreshed by
// what changed since.
#pragma once

#include "db/drawingrows.h"
#include "editor/pen/pen.h"

#include <cstddef>
#include <cstdint>
#include <vector>

class Database;

// A rectangle in paper millimetres.
struct PaperBox
{
    double x1 = 0, y1 = 0, x2 = 0, y2 = 0;
};

// How a line is drawn once its layer, colour and line type rows are looked up.
struct LineLook
{
    LinePen pen;
    double scale = 1; // layer units to paper millimetres
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

    // Entities in ascending number; Add replaces an entity of the same number.
    size_t Count() const { return items.size(); }
    const EntityLine &At(size_t i) const { return items[i]; }
    const EntityLine *Find(int32_t entity) const;
    void Add(const EntityLine &e);
    void Add(const std::vector<EntityLine> &rows);
    // The rows of an operation this PC has just stored. Where the model stands moves on
    // past them only when nothing of other PCs lies in between, which Update then reads.
    void AddStored(const std::vector<EntityLine> &rows, int64_t operation, int64_t firstHistory);
    // The display state an operation this PC has just stored gave the entities; entities
    // not in memory are left to Update. Moves on as AddStored does.
    void SetStored(const std::vector<int32_t> &entities, int16_t state, int64_t operation,
                   int64_t firstHistory);
    int64_t HighestEntity() const { return items.empty() ? 0 : items.back().entity.n; }

    // The look of a line, or false when it is not drawn: its layer missing, hidden, not in
    // 0-255 or of a scale that is not finite. A missing colour row gives black, a missing or
    // unusable line type continuous.
    bool Look(const LineRow &line, LineLook &look) const;
    // A live line's ends on paper, or false when the entity is not a live line that is
    // drawn.
    bool PaperLine(const EntityLine &e, double &x1, double &y1, double &x2, double &y2) const;
    // The positions (for At) of live lines whose paper extent meets the box, ascending.
    void LinesIn(const PaperBox &box, std::vector<uint32_t> &out) const;

    // Where the model stands against the database.
    int64_t Operation() const { return operation; }
    int64_t HighestHistory() const { return highestHistory; }

    // Loading: Begin reads the small tables and where the history stands; each Continue
    // reads up to limit further entities and gives how many it read (fewer than limit:
    // done), -1 on failure.
    bool BeginLoad(Database &db);
    int ContinueLoad(Database &db, int limit);

    enum class Refresh { Unchanged, Changed, Failed };
    // Reads the small tables again, then, when the operation number moved or rows exist
    // above the highest numbers known, the new entities and those the new history rows
    // name.
    Refresh Update(Database &db);

    // Bytes held for the drawing, roughly.
    size_t MemoryBytes() const;

private:
    // One level of the grid: cells of equal size over the extent the lines had when it was
    // built, each level's cells twice as large as the one below. A line lives in the one
    // cell of the finest level whose cells are at least its size that holds its centre, so
    // it lies within half a cell around that cell.
    struct Level
    {
        int columns = 0, rows = 0;
        double cellWidth = 1, cellHeight = 1;
        std::vector<std::vector<uint32_t>> cells;
    };

    bool extent(const EntityLine &e, PaperBox &box) const;
    void buildIndex() const;
    void addToIndex(uint32_t position) const;

    int drawing;
    std::vector<LayerRow> layers;
    std::vector<ColourRow> colours;
    std::vector<LineTypeRow> lineTypes;
    // Positions in the vectors above by number 0-255, -1 for none.
    std::vector<int32_t> layerAt, colourAt, lineTypeAt;
    std::vector<EntityLine> items;
    int64_t operation = 0;
    int64_t highestHistory = 0;

    mutable bool indexValid = false;
    mutable PaperBox gridBox;
    mutable std::vector<Level> levels;
    // Lines too large for every level or lying beyond the extent: looked at every time.
    mutable std::vector<uint32_t> wide;
    mutable size_t indexedCount = 0;
};
