#include "master/sections.h"

#include "base/messages.h"
#include "base/settings.h"
#include "base/ui.h"
#include "base/values.h"
#include "base/appcontext.h"
#include "db/database.h"

#include <QLabel>
#include <QLineEdit>

TForm3::TForm3(AppContext &context, QWidget *parent)
    : RegisterDialog(context,
                     {QStringLiteral("Form3"), QStringLiteral("所属（SECTION）の登録"),
                      QStringLiteral("SECTION"), 390, 261, 62,
                      {QStringLiteral("番号"), QStringLiteral("名称")}, {57, 294}},
                     parent)
{
    Label4 = AddLabel(Panel1, "Label4", QStringLiteral("名称："), 8, 36);
    Edit2 = AddEdit(Panel1, "Edit2", 80, 33, 280);
    LimitBytes(Edit2, 32);
}

void TForm3::RowToEdits(const QStringList &cells)
{
    Edit1->setText(cells.value(0));
    Edit2->setText(cells.value(1));
}

bool TForm3::CheckRequired()
{
    if (!Edit2->text().trimmed().isEmpty())
        return true;
    context.messages.Show(QStringLiteral("名称を入力して下さい（半角32文字まで）"));
    Edit2->setFocus();
    return false;
}

bool TForm3::CheckQuotes()
{
    return QuoteFree(Edit2->text(), Edit2);
}

QStringList TForm3::WriteColumns() const
{
    return {QStringLiteral("N"), QStringLiteral("SNAME")};
}

QStringList TForm3::WriteValues(int number) const
{
    return {QString::number(number), SqlText(Edit2->text())};
}

bool TForm3::MayDelete(int number)
{
    if (context.db.TableExists(QStringLiteral("MEMBER"))
        && context.db.SqlSelectPairs(QStringLiteral("MEMBER"), QStringLiteral("SN"), QString(),
                                     number)) {
        context.messages.Show(QStringLiteral("メンバーデータで既に使用されていますので削除出来ません。"));
        return false;
    }
    return true;
}
