// This PC's copy of a drawing's entity rows, so that a drawing opened before needs only what
// changed since. The copy is never trusted by itself: a damaged, truncated or foreign file
// reads as none.
#pragma once

#include "db/entityrows.h"

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <vector>

class DrawingModel;

struct RowCacheMarks
{
    QByteArray identity; // which database and which copy of the table set
    int64_t operation = 0;
    int64_t highestHistory = 0;
};

// Written whole or not at all.
bool WriteRowCache(const QString &path, const RowCacheMarks &marks, const DrawingModel &model);
bool ReadRowCache(const QString &path, RowCacheMarks &marks, std::vector<EntityRecord> &out);
bool SameRecord(const EntityRecord &a, const EntityRecord &b);
