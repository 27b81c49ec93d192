#include "master/members.h"

#include "base/messages.h"
#include "base/settings.h"
#include "base/ui.h"
#include "base/values.h"
#include "base/appcontext.h"
#include "db/database.h"
#include "master/chooser.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>

TForm4::TForm4(AppContext &context, QWidget *parent)
    : RegisterDialog(context,
                     {QStringLiteral("Form4"), QStringLiteral("メンバー（MEMBER）の登録"),
                      QStringLiteral("MEMBER"), 390, 277, 88,
                      {QStringLiteral("番号"), QStringLiteral("所属No"), QStringLiteral("所属"),
                       QStringLiteral("氏名")},
                      {57, 10, 130, 153}},
                     parent)
{
    deleteNameColumn = 3;
    Label2 = AddLabel(Panel1, "Label2", QStringLiteral("所属："), 8, 36);
    ComboBox1 = AddComboBox(Panel1, "ComboBox1", 80, 33, 200);
    NoInputMethod(ComboBox1);
    // A pick of the user's own replaces whatever section the clicked row had.
    connect(ComboBox1, &QComboBox::activated, this, [this] { unlistedMember = 0; });
    Label4 = AddLabel(Panel1, "Label4", QStringLiteral("氏名："), 8, 63);
    Edit2 = AddEdit(Panel1, "Edit2", 80, 60, 200);
    LimitBytes(Edit2, 16);
}

QList<QStringList> TForm4::ReadGridRows()
{
    // Rebuilt with every reload, so that sections added meanwhile by another PC are found.
    LoadChooser(context.db, ComboBox1, QStringLiteral("SECTION"), QStringLiteral("SNAME"), true);
    // Every member shows, also one whose section is gone or when there are no sections.
    const bool sections = context.db.TableExists(QStringLiteral("SECTION"));
    Database &db = context.db;
    QList<QStringList> rows =
        sections ? db.SelectRows(QStringLiteral("MEMBER.N,MEMBER.SN,SECTION.SNAME,MEMBER.PNAME"),
                                 QStringLiteral("MEMBER LEFT JOIN SECTION ON MEMBER.SN=SECTION.N"),
                                 QString(), QStringLiteral("MEMBER.N"))
                 : db.SelectRows(QStringLiteral("N,SN,NULL,PNAME"), QStringLiteral("MEMBER"),
                                 QString(), QStringLiteral("N"));
    for (QStringList &row : rows) {
        if (StrToIntZ(row.value(1)) == 0 && row.size() > 2)
            row[2].clear();
    }
    return rows;
}

void TForm4::RowToEdits(const QStringList &cells)
{
    Edit1->setText(cells.value(0));
    Edit2->setText(cells.value(3));
    const int section = StrToIntZ(cells.value(1));
    const bool listed = ChooseNumber(ComboBox1, section);
    unlistedMember = listed || section == 0 ? 0 : StrToIntZ(cells.value(0));
    unlistedSection = section;
}

bool TForm4::CheckRequired()
{
    if (!Edit2->text().trimmed().isEmpty())
        return true;
    context.messages.Show(QStringLiteral("氏名を入力して下さい（半角16文字まで）"));
    Edit2->setFocus();
    return false;
}

bool TForm4::CheckQuotes()
{
    return QuoteFree(Edit2->text(), Edit2);
}

QStringList TForm4::WriteColumns() const
{
    return {QStringLiteral("N"), QStringLiteral("SN"), QStringLiteral("PNAME")};
}

int TForm4::SectionToWrite(int number) const
{
    if (unlistedMember != 0 && unlistedMember == number && ComboBox1->currentIndex() <= 0)
        return unlistedSection;
    return ChosenNumber(ComboBox1);
}

QStringList TForm4::WriteValues(int number) const
{
    return {QString::number(number), QString::number(SectionToWrite(number)),
            SqlText(Edit2->text())};
}
