// Fills the drawing in memory from the database and keeps it following what other PCs
// store: the small tables, then the entities in steps, then only what changed.
#pragma once

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <vector>

class Database;
class DrawingModel;

// Reads the small tables and where the history stands, emptying the entities.
bool BeginLoad(Database &db, DrawingModel &model);
// Reads up to limit further entities and gives how many it read (fewer than limit: done),
// -1 on failure.
int ContinueLoad(Database &db, DrawingModel &model, int limit);

enum class Refresh { Unchanged, Changed, Failed };
// Reads the small tables again, then, when the operation number moved or rows exist above
// the highest numbers known, the new entities and those the new history rows name.
// changed, when given, gets the entities read that differ from what was in memory; with
// Changed and none there, the whole picture may differ (the small tables changed, or an
// entity was put somewhere else or drawn otherwise).
Refresh UpdateModel(Database &db, DrawingModel &model, std::vector<int32_t> *changed = nullptr);

// This PC's copy of the drawing's entities in a folder of its own: taken on opening when it
// still matches the database (same file, same copy of the table set, history not behind,
// sampled rows equal after catching up), written again on closing.
class RowCache
{
public:
    explicit RowCache(const QString &folder) : folder(folder) {}
    // After BeginLoad: the entities from the copy and what changed since. False, the model
    // as BeginLoad left it, when there is no usable copy.
    bool Load(Database &db, DrawingModel &model);
    // Needs a Load on this database first, used or not.
    bool Keep(const DrawingModel &model) const;

private:
    QString path(int drawing) const;

    QString folder;
    QByteArray identity;
};
