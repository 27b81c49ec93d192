// The title block's values from the register, and the switch that hides a drawing's frame,
// kept with the drawing so that every PC shows the same sheet.
#pragma once

#include "editor/model/sheetframe.h"

class Database;
struct TitleRecord;

// The register's values as the block shows them: members by their stored names, dates as
// yyyy/mm/dd, the revision as its count among the drawing's revisions.
TitleFields TitleFieldsOf(const TitleRecord &record, const QString &scale,
                          const QString &team);

// The frame is hidden by a row N = 2 of the drawing's variable table with OPN -1: every
// build reads the row N = 1 or the highest OPN, which -1 never is, so they pass it over.
// Reading fails (false) when the table cannot be read; a drawing without the row shows it.
bool ReadFrameHidden(Database &db, int drawing, bool &hidden);
bool StoreFrameHidden(Database &db, int drawing, bool hidden);
