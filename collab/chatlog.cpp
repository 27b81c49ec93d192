#include "collab/chatlog.h"

#include "base/grid.h"
#include "base/messages.h"
#include "base/settings.h"
#include "base/ui.h"
#include "base/values.h"
#include "base/appcontext.h"
#include "collab/chatchannel.h"
#include "db/database.h"
#include "master/chooser.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

TForm7::TForm7(AppContext &context, QWidget *parent)
    : RegisterDialog(context,
                     {QStringLiteral("Form7"), QStringLiteral("チャット内容（CHAT）の編集"),
                      QStringLiteral("CHAT"), 484, 277, 88,
                      {QStringLiteral("番号"), QStringLiteral("作成者"), QStringLiteral("文章"),
                       QStringLiteral("日付"), QStringLiteral("時間")},
                      {34, 18, 248, 77, 70}},
                     parent)
{
    deleteNameColumn = 2;
    SG1->setSelectionMode(QAbstractItemView::ContiguousSelection);
    Label3->setText(QStringLiteral("番号"));
    Label2 = AddLabel(Panel1, QStringLiteral("Label2"), QStringLiteral("作成者"), 200, 9);
    ComboBox1 = AddComboBox(Panel1, QStringLiteral("ComboBox1"), 260, 6, 200);
    NoInputMethod(ComboBox1);
    // A pick of the user's own replaces whatever writer the clicked line had.
    connect(ComboBox1, &QComboBox::activated, this, [this] { unlistedLine = 0; });
    Label4 = AddLabel(Panel1, QStringLiteral("Label4"), QStringLiteral("文章"), 8, 36);
    Edit2 = AddEdit(Panel1, QStringLiteral("Edit2"), 80, 33, 380);
    LimitBytes(Edit2, ChatChannel::TextBytes);
    Label5 = AddLabel(Panel1, QStringLiteral("Label5"), QStringLiteral("日付"), 8, 63);
    Edit3 = AddEdit(Panel1, QStringLiteral("Edit3"), 80, 60, 80);
    LimitBytes(Edit3, 8);
    NoInputMethod(Edit3);
    OnDoubleClick(Edit3, [this] { Edit3DblClick(); });
    Label6 = AddLabel(Panel1, QStringLiteral("Label6"), QStringLiteral("時間"), 200, 63);
    Edit4 = AddEdit(Panel1, QStringLiteral("Edit4"), 260, 60, 70);
    LimitBytes(Edit4, 6);
    NoInputMethod(Edit4);
    OnDoubleClick(Edit4, [this] { Edit4DblClick(); });

    disconnect(Button2, &QPushButton::clicked, this, &RegisterDialog::Button2Click);
    connect(Button2, &QPushButton::clicked, this, &TForm7::Button2Click);
}

void TForm7::showEvent(QShowEvent *event)
{
    for (QLineEdit *e : {Edit1, Edit2, Edit3, Edit4})
        e->clear();
    unlistedLine = 0;
    RegisterDialog::showEvent(event);
    SG1->SetCurrentRow(1);
    SG1Click();
}

void TForm7::PrepareShow()
{
    ComboBox1->clear();
    LoadChooser(context.db, ComboBox1, QStringLiteral("MEMBER"), QStringLiteral("PNAME"), true);
}

void TForm7::Edit3DblClick()
{
    Edit3->setText(TodayText());
}

void TForm7::Edit4DblClick()
{
    Edit4->setText(NowText());
}

void TForm7::RowToEdits(const QStringList &cells)
{
    Edit1->setText(cells.value(0));
    Edit2->setText(cells.value(2));
    Edit3->setText(cells.value(3));
    Edit4->setText(cells.value(4));
    const int writer = StrToIntZ(cells.value(1));
    const bool listed = ChooseNumber(ComboBox1, writer);
    unlistedLine = listed || writer == 0 ? 0 : StrToIntZ(cells.value(0));
    unlistedWriter = writer;
}

bool TForm7::CheckFields()
{
    if (!Edit3->text().isEmpty() && !IsValidDate(Edit3->text())) {
        context.messages.Show(DateMessage());
        Edit3->setFocus();
        return false;
    }
    if (!IsAllDigits(Edit4->text())) {
        context.messages.Show(QStringLiteral("時間は hhmmss形式（例13:02:00→130200）で有効な内容を入力して下さい。"));
        Edit4->setFocus();
        return false;
    }
    return true;
}

bool TForm7::CheckQuotes()
{
    return QuoteFree(Edit2->text(), Edit2) && QuoteFree(Edit3->text(), Edit2)
           && QuoteFree(Edit4->text(), Edit2);
}

QStringList TForm7::WriteColumns() const
{
    return {QStringLiteral("N"), QStringLiteral("MN"), QStringLiteral("CTEXT"),
            QStringLiteral("CDATE"), QStringLiteral("CTIME")};
}

int TForm7::WriterToWrite(int number) const
{
    if (unlistedLine != 0 && unlistedLine == number && ComboBox1->currentIndex() <= 0)
        return unlistedWriter;
    return ChosenNumber(ComboBox1);
}

QStringList TForm7::WriteValues(int number) const
{
    return {QString::number(number), QString::number(WriterToWrite(number)),
            SqlText(Edit2->text()), SqlText(Edit3->text()), SqlText(Edit4->text())};
}

void TForm7::Button2Click()
{
    int top = SG1->Row();
    int bottom = top;
    const QList<QTableWidgetSelectionRange> ranges = SG1->selectedRanges();
    if (!ranges.isEmpty()) {
        top = ranges.first().topRow() + 1;
        bottom = ranges.first().bottomRow() + 1;
    }
    if (SG1->RowCount() == 2 && StrToIntZ(SG1->Cell(0, 1)) == 0)
        return;
    const QString question =
        top == bottom
            ? QStringLiteral("「No.") + SG1->Cell(0, top) + u'：' + SG1->Cell(2, top)
                  + QStringLiteral("」を削除します。")
            : QStringLiteral("No.") + SG1->Cell(0, top) + u'～' + SG1->Cell(0, bottom)
                  + QStringLiteral(" を削除します。");
    if (!context.messages.AskYesNo(question + QStringLiteral("\r\nよろしいですか？")))
        return;
    bool failed = false;
    for (int row = top; row <= bottom; ++row) {
        const int number = StrToIntZ(SG1->Cell(0, row));
        const QString where = QStringLiteral("N=") + QString::number(number);
        if (number > 0 && !context.db.SqlDelete(QStringLiteral("CHAT"), where))
            failed = true;
    }
    if (failed)
        context.messages.Show(QStringLiteral("削除失敗"));
    RefreshGrid();
}
