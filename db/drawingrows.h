// The rows of a drawing's tables as plain structs, and the bulk readers that fill them
// straight from the server's result buffers. Every reader runs in a short transaction of its
// own and leaves nothing open on the drawing's tables.
#pragma once

#include "db/entityrows.h"

#include <QString>

#include <cstdint>
#include <functional>
#include <vector>

class Database;

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
// Entities numbered above after in ascending number with their geometry rows of every kind,
// at most limit of them (all for 0), each handed to each.
bool ReadEntities(Database &db, int drawing, int64_t after, int limit,
                  const std::function<void(const EntityRecord &)> &each);
// The entities named by history rows numbered above afterHistory, with their geometry rows;
// highestHistory becomes the highest history number seen.
bool ReadChangedEntities(Database &db, int drawing, int64_t afterHistory,
                         int64_t &highestHistory,
                         const std::function<void(const EntityRecord &)> &each);
// Which database file and which copy of the drawing's table set these are: the file's name
// and creation time with the tables' own numbers, which a set made again does not keep.
bool ReadTableSetIdentity(Database &db, int drawing, QByteArray &identity);
// The entities of the given numbers that exist, in ascending number.
bool ReadEntitiesNumbered(Database &db, int drawing, const std::vector<int32_t> &numbers,
                          const std::function<void(const EntityRecord &)> &each);
// Whether the drawing's layer, entity and line tables all exist; false when that could not
// be read.
bool ReadDrawingTablesPresent(Database &db, int drawing, bool &present);
