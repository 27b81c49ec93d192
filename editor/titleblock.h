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

// What a drawing keeps about its frame, in rows of its variable table that every build
// passes over: they read the row N = 1 or the highest OPN, and these OPN are negative. The
// frame is hidden by a row N = 2 with OPN -1; a typed scale a:b is a row N = 3 with OPN
// -(a x 10000 + b).
struct FrameChoice
{
    bool hidden = false;
    QString scale; // typed, as "1:50"; empty: the current layer's
};
// False when the table cannot be read; a drawing without the rows shows the frame.
bool ReadFrameChoice(Database &db, int drawing, FrameChoice &out);
bool StoreFrameHidden(Database &db, int drawing, bool hidden);
// An empty text takes the typed scale back; false for one not of the form a:b with whole
// a and b from 1 to 9999, or when the database refused.
bool StoreFrameScale(Database &db, int drawing, const QString &scale);
// a:b with whole a and b from 1 to 9999, spaces and full-width digits allowed, as "a:b";
// empty when it is not.
QString TypedScale(const QString &text);

// The frame a sheet of w x h mm shows (a sheet without a size as 420 x 297): none when
// hidden; the typed scale, else the current layer's.
SheetFrame DrawingFrame(TitleFields fields, const FrameChoice &choice, double layerScale,
                        double w, double h, const QString &team, bool filingMargin);
