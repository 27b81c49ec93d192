// The rows of a drawing's tables as plain structs, and the bulk readers that fill them
// straight from the server's result buffers. Every reader runs in a short transaction of its
// own and leaves nothing open on the drawing's tables.
#pragma once

#include <QString>

#include <cstdint>
#include <functional>
#include <vector>

class Database;

struct LayerRow
{
    int32_t n = 0;
    QString name;
    int32_t visible = 0; // 0 hidden
    int32_t printed = 0;
    int32_t colour = 0;
    int32_t lineType = 0;
    int32_t width = 0; // 1/100 mm
    double scale = 1.0; // NULL reads as 1.0
    bool operator==(const LayerRow &) const = default;
};

struct ColourRow
{
    int32_t n = 0;
    QString name;
    int32_t value = 0; // red + 256 green + 65536 blue
    bool operator==(const ColourRow &) const = default;
};

struct LineTypeRow
{
    int32_t n = 0;
    QString name;
    int32_t count = 0; // pitches in use
    int32_t pitches[10] = {}; // 1/100 mm, dash first
    bool operator==(const LineTypeRow &) const = default;
};

struct EntityRow
{
    int32_t n = 0;
    int32_t member = 0;
    int16_t state = 0; // 1 live
    int16_t type = 0; // 1 line
    int32_t target = 0; // N of the row in the type's table
};

// Coordinates in layer units; 0 in colour, line type or width means the layer's.
struct LineRow
{
    int32_t n = 0;
    int16_t layer = 0;
    int16_t colour = 0;
    int16_t lineType = 0;
    int16_t width = 0;
    double x1 = 0, y1 = 0, x2 = 0, y2 = 0;
};

// An entity and, when it is a line whose row exists, that row.
struct EntityLine
{
    EntityRow entity;
    bool hasLine = false;
    LineRow line;
};

// Where a drawing stands: its operation number, and whether entities or history rows exist
// above the numbers the reader knows.
struct DrawingMarks
{
    int64_t operation = 0;
    bool entitiesAbove = false;
    bool historyAbove = false;
};

bool ReadLayers(Database &db, int drawing, std::vector<LayerRow> &out);
bool ReadColours(Database &db, int drawing, std::vector<ColourRow> &out);
bool ReadLineTypes(Database &db, int drawing, std::vector<LineTypeRow> &out);
bool ReadDrawingMarks(Database &db, int drawing, int64_t knownEntity, int64_t knownHistory,
                      DrawingMarks &out);
// The highest history number (0 for none) and the operation number, read together.
bool ReadHistoryStart(Database &db, int drawing, int64_t &highestHistory, int64_t &operation);
// Entities numbered above after in ascending number with their line rows, at most limit
// of them (all for 0), each handed to each.
bool ReadEntityLines(Database &db, int drawing, int64_t after, int limit,
                     const std::function<void(const EntityLine &)> &each);
// The entities named by history rows numbered above afterHistory, with their line rows;
// highestHistory becomes the highest history number seen.
bool ReadChangedEntities(Database &db, int drawing, int64_t afterHistory,
                         int64_t &highestHistory,
                         const std::function<void(const EntityLine &)> &each);
// Whether the drawing's layer, entity and line tables all exist; false when that could not
// be read.
bool ReadDrawingTablesPresent(Database &db, int drawing, bool &present);
