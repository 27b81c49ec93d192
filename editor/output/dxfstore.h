// A DXF file taken into a drawing of the database: its layer and line-type rows written,
// then its entities stored as one operation. Shared by the editor and the command line.
#pragma once

#include "db/changestore.h"
#include "editor/output/dxfimport.h"

#include <QString>

class Database;
class DrawingModel;

// What the drawing in memory holds, for matching the file's names.
DxfTarget DxfTargetOf(const DrawingModel &model, int currentLayer);

// The numbers the model knows, which spare the store a pass over the whole tables.
NumberHints HintsOf(const DrawingModel &model);

// Writes the rows the import names, then stores its entities as one operation by member.
// On failure nothing of it stays and message says why; the table rows written go back.
bool StoreDxfImport(Database &db, int drawing, const DxfImportResult &import, int member,
                    const NumberHints &hints, StoredOperation &out, QString &message);
