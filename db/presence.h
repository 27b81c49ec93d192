// Who has a drawing open and where their pointer lies on its paper: one row per open editor
// in the shared PRESENCE table, stamped with the server's clock, so that a PC that went
// away without a word drops out by itself.
#pragma once

#include <QString>

#include <vector>

class Database;

struct PresenceRow
{
    QString pc; // the editor's own key
    int member = 0;
    QString name; // the member's name; empty when the member is unknown
    double x = 0, y = 0; // paper millimetres
    bool inside = false; // the pointer lies over that editor's paint box
};

// A row not refreshed for this long counts as gone.
constexpr int PresenceStaleSeconds = 10;

// Writes the editor's row (creating the table when it is missing) and posts the presence
// event in the same transaction; false when nothing was written.
bool PublishPresence(Database &db, const QString &pc, int member, int drawing, double x,
                     double y, bool inside);
// The editor closes: its row goes, with any not refreshed for an hour, and the others hear
// of it.
bool RemovePresence(Database &db, const QString &pc);
// The other editors on the drawing whose rows are fresh by the server's clock, by member;
// false when the database did not answer (a missing table is an empty answer).
bool ReadPresence(Database &db, int drawing, const QString &exceptPc,
                  std::vector<PresenceRow> &out);
