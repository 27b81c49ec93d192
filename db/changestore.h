// Storing one drawing operation, whatever it does: a change set of entities created, erased
// and restored, stored under one operation number. The next numbers and the scales of the
// layers it touches are read in one go, then the operation number, the history rows and the
// entity and geometry rows are written in batches in one transaction of its own, tried again
// with fresh numbers when another PC took the same numbers first.
#pragma once

#include "db/entityrows.h"

#include <QString>

#include <cstdint>
#include <vector>

class Database;

// What one operation does. Created entities come in paper millimetres with their look;
// their numbers are given by the store. Erased and restored name stored entities.
struct ChangeSet
{
    QString name; // what the history calls it
    int member = 0; // who does it
    std::vector<EntityRecord> created;
    std::vector<int32_t> erased;
    std::vector<int32_t> restored;
    // The created entities take the place of the erased ones: when another PC erased or
    // deleted one of those first, nothing is stored at all.
    bool replaces = false;

    bool Empty() const { return created.empty() && erased.empty() && restored.empty(); }
};

// Numbers known not to exceed the drawing's highest ones (0: unknown), by table: the reads
// then look only at the rows from there up, however large the tables are.
struct NumberHints
{
    int64_t history = 0;
    int64_t entity = 0;
    int64_t rows[5] = {}; // by EntityKind
};

// What a history row says happened to its entity.
enum HistoryKind { HistoryCreated = 0, HistoryErased = 1, HistoryRestored = 2 };

struct StoredOperation
{
    int64_t operation = 0;
    int64_t firstHistory = 0;
    // The created entities as stored: numbers given, coordinates in layer units, in order.
    std::vector<EntityRecord> rows;
    // Of the entities named to erase and restore, those that existed, ascending; how many of
    // them had that state already (another PC set it meanwhile), and how many named no
    // longer exist.
    std::vector<int32_t> erased;
    std::vector<int32_t> restored;
    int alreadySet = 0;
    int missing = 0;
    // Of a replacing change not stored: the named entities already erased or gone.
    std::vector<int32_t> gone;
    int attempts = 0;
};

enum class StoreResult {
    Stored,
    // A layer's scale is 0, negative or not a number, or turns a value into one that is not
    // finite or a radius into one that is not positive; nothing was written.
    BadScale,
    // A text that CP932 cannot hold or that is longer than its column; nothing was written.
    BadText,
    // A replacing change whose entities (out.gone) another PC erased first; nothing written.
    Gone,
    // Not stored: the database failed, or other PCs took the numbers on every attempt.
    Failed
};

constexpr int StoreAttempts = 5;
// Seconds a store waits for another PC's uncommitted row before it counts as failed.
constexpr int StoreLockSeconds = 3;
// Byte lengths of the text columns.
constexpr int TextBytes = 255;
constexpr int FontBytes = 80;

// History rows go created first, in order, then erased, then restored entities, each
// ascending. An erase or restore of entities none of which exists any more writes nothing
// and counts as stored.
StoreResult StoreChanges(Database &db, int drawing, const ChangeSet &changes,
                         const NumberHints &hints, StoredOperation &out);
