// Choosers of members and sections: entries "number:name", the stored value being the number
// before the first colon.
#pragma once

#include <QString>

class Database;
class QComboBox;

QString NoneEntry(); // "0:指定無し"

// Refills the chooser: optionally "0:指定無し", then "N:name" for every row of the table in
// order of N, the name from the column nameColumn (nothing when the table is missing). The
// entry of the number chosen before is chosen again when it is still there.
void LoadChooser(Database &db, QComboBox *box, const QString &table, const QString &nameColumn,
                 bool withNone);
// The number of the chosen entry; 0 when none is chosen.
int ChosenNumber(const QComboBox *box);
// Chooses the first entry, from the second on, whose number matches, else the first entry.
// False when none matched.
bool ChooseNumber(QComboBox *box, int number);
