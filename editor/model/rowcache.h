// This PC's copy of a drawing's entity rows, so that a drawing opened before needs only what
// changed since. The copy is never trusted by itself: a damaged, truncated or foreign file
// reads as none.
#pragma once

#include "db/entityrows.h"

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <functional>

class DrawingModel;

struct RowCacheMarks
{
    QByteArray identity; // which database and which copy of the table set
    int64_t operation = 0;
    int64_t highestHistory = 0;
    uint64_t count = 0; // of records
};

// Written whole or not at all.
bool WriteRowCache(const QString &path, const RowCacheMarks &marks, const DrawingModel &model);
// The records go to each, in ascending number, once the whole file is found sound and accept
// took its marks; false when it is not sound, was not accepted or ended early.
bool ReadRowCache(const QString &path, const std::function<bool(const RowCacheMarks &)> &accept,
                  const std::function<void(const EntityRecord &)> &each);
bool SameRecord(const EntityRecord &a, const EntityRecord &b);
