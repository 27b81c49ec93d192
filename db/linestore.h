// Storing one drawing operation of new lines: the next numbers read in one go, then the
// operation number, history, entity and line rows in one transaction of their own, tried
// again with fresh numbers when another PC took the same numbers first.
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

struct StoredOperation
{
    int64_t operation = 0;
    int64_t firstHistory = 0;
    // The entities and their line rows in layer units, as stored, in order.
    std::vector<EntityLine> rows;
    double scale = 1; // of the layer: layer units to paper millimetres
    int attempts = 0;
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
