#include "register/revisions.h"

#include "base/messages.h"
#include "base/settings.h"
#include "base/ui.h"
#include "base/values.h"
#include "base/appcontext.h"
#include "db/database.h"
#include "db/registerrows.h"
#include "master/chooser.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>

TForm11::TForm11(AppContext &context, QWidget *parent)
    : RegisterDialog(context,
                     {QStringLiteral("Form11"), QStringLiteral("改訂履歴内容の編集"),
                      QStringLiteral("CADREV"), 495, 277, 88,
                      {QStringLiteral("番号"), QStringLiteral("改訂内容"),
                       QStringLiteral("改訂者番号"), QStringLiteral("改訂日付")},
                      {50, 283, 39, 82}},
                     parent)
{
    quotesBeforeExistence = true;
    Label2 = AddLabel(Panel1, "Label2", QStringLiteral("改訂内容："), 8, 36);
    Edit2 = AddEdit(Panel1, "Edit2", 80, 33, 390);
    LimitBytes(Edit2, 80);
    Label4 = AddLabel(Panel1, "Label4", QStringLiteral("改訂者："), 8, 63);
    ComboBox1 = AddComboBox(Panel1, "ComboBox1", 80, 60, 180);
    NoInputMethod(ComboBox1);
    Label5 = AddLabel(Panel1, "Label5", QStringLiteral("改訂日付："), 280, 63);
    Edit3 = AddEdit(Panel1, "Edit3", 360, 60, 80);
    LimitBytes(Edit3, 8);
    NoInputMethod(Edit3);
    OnDoubleClick(Edit3, [this] { Edit3DblClick(); });
}

void TForm11::Edit3DblClick()
{
    Edit3->setText(TodayText());
}

void TForm11::PrepareShow()
{
    ComboBox1->clear();
    LoadChooser(context.db, ComboBox1, QStringLiteral("MEMBER"), QStringLiteral("PNAME"), true);
}

QList<QStringList> TForm11::ReadGridRows()
{
    QList<QStringList> rows;
    for (const RevisionRow &r : ReadRevisionRows(context.db, DrawingNo, QStringLiteral("N"))) {
        rows << QStringList{QString::number(r.N), r.CONT,
                            r.RN ? QString::number(*r.RN) : QString(), r.RDATE};
    }
    return rows;
}

void TForm11::RowToEdits(const QStringList &cells)
{
    Edit1->setText(cells.value(0));
    Edit2->setText(cells.value(1));
    Edit3->setText(cells.value(3));
    ChooseNumber(ComboBox1, StrToIntZ(cells.value(2)));
}

bool TForm11::CheckFields()
{
    if (Edit3->text().isEmpty() || IsValidDate(Edit3->text()))
        return true;
    context.messages.Show(DateMessage());
    Edit3->setFocus();
    return false;
}

bool TForm11::CheckQuotes()
{
    return QuoteFree(Edit2->text(), Edit2);
}

QStringList TForm11::WriteColumns() const
{
    return {QStringLiteral("N"), QStringLiteral("ZN"), QStringLiteral("CONT"),
            QStringLiteral("RN"), QStringLiteral("RDATE")};
}

QStringList TForm11::WriteValues(int number) const
{
    return {QString::number(number), QString::number(DrawingNo), SqlText(Edit2->text()),
            QString::number(ChosenNumber(ComboBox1)), SqlText(Edit3->text())};
}
