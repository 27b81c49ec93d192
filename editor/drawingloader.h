// Fills the drawing in memory from the database and keeps it following what other PCs
// store: the small tables, then the entities in steps, then only what changed.
#pragma once

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
Refresh UpdateModel(Database &db, DrawingModel &model);
