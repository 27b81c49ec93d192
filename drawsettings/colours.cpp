#include "drawsettings/colours.h"

#include "base/grid.h"
#include "base/messages.h"
#include "base/settings.h"
#include "base/ui.h"
#include "base/values.h"
#include "base/appcontext.h"
#include "db/database.h"
#include "db/sqltext.h"
#include "editor/pen/canvas.h"

#include <QColorDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QStyledItemDelegate>

namespace {

constexpr int MaxColourValue = 16777215;

int ColourValue(const QString &text)
{
    const int v = StrToIntZ(text);
    return v >= 0 && v <= MaxColourValue ? v : 0;
}

// Paints the swatch column in the colour of the value beside it, selected or not.
class SwatchDelegate : public QStyledItemDelegate
{
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter *painter, const QStyleOptionViewItem &option,
               const QModelIndex &index) const override
    {
        const QString value = index.siblingAtColumn(2).data().toString();
        painter->fillRect(option.rect, ColourOf(uint32_t(ColourValue(value))));
    }
};

} // namespace

TForm15::TForm15(AppContext &context, QWidget *parent)
    : TableDialog(context,
                  {QStringLiteral("Form15"), QStringLiteral("色"), QStringLiteral("COLOR_"),
                   QStringLiteral("現在の色："), 533, 318, 180,
                   {QStringLiteral("No."), QStringLiteral("色名"), QStringLiteral("色値"),
                    QStringLiteral("色内容")},
                   256, 1, QStringLiteral("レイヤ依存色"), &context.settings.ColorsDialog,
                   context.settings.ColorsColumns},
                  parent)
{
    SG1->setItemDelegateForColumn(3, new SwatchDelegate(SG1));
    const int top = EditTop() + 26;
    Label1 = AddLabel(this, QStringLiteral("Label1"), QStringLiteral("色値："), 8, top + 3);
    Edit3 = AddEdit(this, QStringLiteral("Edit3"), 56, top, 80);
    LimitBytes(Edit3, 8);
    NoInputMethod(Edit3);
    Button4 = AddButton(this, QStringLiteral("Button4"), QStringLiteral("参照(R)"), 144, top - 1,
                        80, 23);
    Button4->setAutoDefault(false);
    ColorDialog1 = new QColorDialog(this);
    ColorDialog1->setObjectName(QStringLiteral("ColorDialog1"));
    connect(Button4, &QPushButton::clicked, this, &TForm15::Button4Click);
}

void TForm15::RowToEdits(const QStringList &cells)
{
    Edit1->setText(cells.value(0));
    Edit2->setText(cells.value(1));
    Edit3->setText(cells.value(2));
}

void TForm15::ClearEdits()
{
    Edit3->clear();
}

bool TForm15::CheckNumber()
{
    if (Number() != 0)
        return true;
    context.messages.Show(QStringLiteral("No.0 レイヤ依存色の設定は出来ません"));
    return false;
}

bool TForm15::CheckEdits()
{
    const int value = StrToIntZ(Edit3->text());
    if (value >= 0 && value <= MaxColourValue)
        return true;
    context.messages.Show(QStringLiteral("色値は0～16777215($ffffff) の整数で入力して下さい"));
    Edit3->setFocus();
    return false;
}

QStringList TForm15::WriteColumns() const
{
    return {QStringLiteral("N"), QStringLiteral("CNAME"), QStringLiteral("COL")};
}

QStringList TForm15::WriteValues() const
{
    return {QString::number(Number()), SqlQuoted(Edit2->text()),
            QString::number(StrToIntZ(Edit3->text()))};
}

void TForm15::Button4Click()
{
    ColorDialog1->setCurrentColor(ColourOf(uint32_t(ColourValue(Edit3->text()))));
    if (ColorDialog1->exec() != QDialog::Accepted)
        return;
    const QColor c = ColorDialog1->selectedColor();
    Edit3->setText(QString::number(c.red() + 256 * c.green() + 65536 * c.blue()));
}
