// Storing one drawing operation: new lines, or the erasing or restoring of stored ones. The
// next numbers are read in one go, then the operation number, the history rows and the
// entity (and line) rows are written in one transaction of their own, tried again with
// fresh numbers when another PC took the same numbers first.
#pragma once

#include "db/drawingrows.h"

#include <cstdint>
#include <vector>

class Database;

// A line on paper, in millimetres.
struct PaperLine
{
    double x1 = 0, y1 = 0, x2 = 0, y2 = 0;
};

// The lines of one operation (a line, or a box's four edges) with the values they take.
struct LineOperation
{
    int member = 0; // who draws
    int layer = 0;
    int colour = 0; // 0: the layer's
    int lineType = 0; // 0: the layer's
    int width = 0; // 1/100 mm, 0: the layer's
    std::vector<PaperLine> lines;
};

// Numbers known not to exceed the drawing's highest ones (0: unknown). The reads then look
// only at the rows from there up, however large the tables are.
struct NumberHints
{
    int64_t history = 0;
    int64_t entity = 0;
    int64_t line = 0;
};

// Entities already stored, set to a display state: 0 erases them, 1 restores them. Rows are
// never deleted, so either can be taken back.
struct StateOperation
{
    std::vector<int32_t> entities;
    int16_t state = 0;
};

// What a history row says happened to its entity.
enum HistoryKind { HistoryCreated = 0, HistoryErased = 1, HistoryRestored = 2 };

struct StoredOperation
{
    int64_t operation = 0;
    int64_t firstHistory = 0;
    // The entities and their line rows in layer units, as stored, in order.
    std::vector<EntityLine> rows;
    double scale = 1; // of the layer: layer units to paper millimetres
    int attempts = 0;
    // A state operation: the entities set, ascending; of those, how many had that state
    // already (another PC set it meanwhile); and how many named no longer exist.
    std::vector<int32_t> entities;
    int alreadySet = 0;
    int missing = 0;
};

enum class StoreResult {
    Stored,
    // The layer's scale is 0, negative or not a number, or turns a point into one that is
    // not finite; nothing was written.
    BadScale,
    // Not stored: the database failed, or other PCs took the numbers on every attempt.
    Failed
};

constexpr int StoreAttempts = 5;
// Seconds a store waits for another PC's uncommitted row before it counts as failed.
constexpr int StoreLockSeconds = 3;

StoreResult StoreLineOperation(Database &db, int drawing, const LineOperation &op,
                               const NumberHints &hints, StoredOperation &out);
// One history row per existing entity named, MD 1 for an erase and 2 for a restore, and the
// entities' DS set, whatever state another PC left them in. Stored with no entities when
// none of them exists any more: nothing was written then.
StoreResult StoreStateOperation(Database &db, int drawing, const StateOperation &op,
                                const NumberHints &hints, StoredOperation &out);
