#include "master/chooser.h"

#include "base/values.h"
#include "db/database.h"
#include "db/schema.h"

#include <QComboBox>

QString NoneEntry()
{
    return QStringLiteral("0:指定無し");
}

namespace {

int entryNumber(const QString &entry)
{
    return StrToIntZ(TextBeforeColon(entry));
}

} // namespace

void LoadChooser(Database &db, QComboBox *box, const QString &table, const QString &nameColumn,
                 bool withNone)
{
    const int name = ColumnPosition(table, nameColumn);
    const bool hadChoice = box->currentIndex() >= 0;
    const int before = ChosenNumber(box);
    box->clear();
    if (withNone)
        box->addItem(NoneEntry());
    if (db.TableExists(table)) {
        for (const QStringList &row :
             db.SelectRows(QStringLiteral("*"), table, QString(), QStringLiteral("N")))
            box->addItem(row.value(0) + u':' + row.value(name));
    }
    if (withNone && hadChoice)
        ChooseNumber(box, before);
    else
        box->setCurrentIndex(withNone ? 0 : -1);
}

int ChosenNumber(const QComboBox *box)
{
    return box->currentIndex() < 0 ? 0 : entryNumber(box->currentText());
}

bool ChooseNumber(QComboBox *box, int number)
{
    box->setCurrentIndex(box->count() > 0 ? 0 : -1);
    for (int i = 1; i < box->count(); ++i) {
        if (entryNumber(box->itemText(i)) == number) {
            box->setCurrentIndex(i);
            return true;
        }
    }
    return false;
}
