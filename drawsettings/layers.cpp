#include "drawsettings/layers.h"

#include "base/messages.h"
#include "base/settings.h"
#include "base/ui.h"
#include "base/values.h"
#include "base/appcontext.h"
#include "db/database.h"
#include "db/sqltext.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>

TForm14::TForm14(AppContext &context, QWidget *parent)
    : TableDialog(context,
                  {QStringLiteral("Form14"), QStringLiteral("レイヤ"), QStringLiteral("LAYER_"),
                   QStringLiteral("現在のレイヤ："), 533, 335, 145,
                   {QStringLiteral("No."), QStringLiteral("レイヤ名"), QStringLiteral("表示"),
                    QStringLiteral("印刷"), QStringLiteral("色"), QStringLiteral("線種"),
                    QStringLiteral("線幅"), QStringLiteral("尺度")},
                   256, 0, QString(), &context.settings.LayersDialog,
                   context.settings.LayersColumns},
                  parent)
{
    const int top = EditTop();
    auto label = [this](const char *name, const QString &text, int x, int y) {
        return AddLabel(this, QString::fromLatin1(name), text, x, y + 3);
    };
    auto number = [this](const char *name, int length, int x, int y, int width) {
        QLineEdit *e = AddEdit(this, QString::fromLatin1(name), x, y, width);
        LimitBytes(e, length);
        NoInputMethod(e);
        return e;
    };
    CheckBox1 = new QCheckBox(QStringLiteral("表示する"), this);
    CheckBox1->setObjectName(QStringLiteral("CheckBox1"));
    Place(CheckBox1, 8, top + 28);
    CheckBox2 = new QCheckBox(QStringLiteral("印刷する"), this);
    CheckBox2->setObjectName(QStringLiteral("CheckBox2"));
    Place(CheckBox2, 128, top + 28);
    Label1 = label("Label1", QStringLiteral("レイヤ依存色："), 8, top + 52);
    Edit3 = number("Edit3", 3, 128, top + 52, 50);
    Label2 = label("Label2", QStringLiteral("レイヤ依存線種："), 200, top + 52);
    Edit4 = number("Edit4", 2, 320, top + 52, 50);
    Label5 = label("Label5", QStringLiteral("レイヤ依存線幅："), 8, top + 78);
    Edit5 = number("Edit5", 5, 128, top + 78, 60);
    Label8 = label("Label8", QStringLiteral("mm100倍値で入力(1/100mm単位)"), 196, top + 78);
    Label6 = label("Label6", QStringLiteral("尺度："), 8, top + 104);
    Edit6 = number("Edit6", 12, 128, top + 104, 100);
    Label7 = label("Label7", QStringLiteral("（※1/100の場合は 0.01）"), 236, top + 104);
    OnDoubleClick(Edit3, [this] { Edit3DblClick(); });
    OnDoubleClick(Edit4, [this] { Edit4DblClick(); });
}

void TForm14::RowToEdits(const QStringList &cells)
{
    Edit1->setText(cells.value(0));
    Edit2->setText(cells.value(1));
    CheckBox1->setChecked(StrToIntZ(cells.value(2)) != 0);
    CheckBox2->setChecked(StrToIntZ(cells.value(3)) != 0);
    Edit3->setText(cells.value(4));
    Edit4->setText(cells.value(5));
    Edit5->setText(cells.value(6));
    Edit6->setText(cells.value(7));
}

void TForm14::ClearEdits()
{
    for (QLineEdit *e : {Edit3, Edit4, Edit5, Edit6})
        e->clear();
    CheckBox1->setChecked(false);
    CheckBox2->setChecked(false);
}

bool TForm14::CheckNumber()
{
    // No row loaded: nothing to write, and never layer 0 by default.
    return !Edit1->text().trimmed().isEmpty();
}

bool TForm14::CheckEdits()
{
    auto refuse = [this](const QString &message, QLineEdit *focus) {
        context.messages.Show(message);
        focus->setFocus();
        return false;
    };
    const int colour = StrToIntZ(Edit3->text());
    if (colour < 1 || colour > 255)
        return refuse(QStringLiteral("レイヤ依存色は1～255の整数で入力して下さい"), Edit3);
    const int lineType = StrToIntZ(Edit4->text());
    if (lineType < 1 || lineType > 32)
        return refuse(QStringLiteral("レイヤ依存線種は1～32の整数で入力して下さい"), Edit4);
    const int width = StrToIntZ(Edit5->text());
    if (width < 1 || width > 30000)
        return refuse(QStringLiteral("レイヤ依存線幅は1/100mm単位（mmの100倍値）で、"
                                     "1～30000の整数で入力して下さい"),
                      Edit5);
    // Written so that a value that is no finite number can never pass.
    const double scale = StrToFloatZ(Edit6->text());
    if (!(scale >= 0.00001 && scale <= 100000))
        return refuse(QStringLiteral("尺度値は、0.00001～100000の実数値で入力して下さい"), Edit6);
    return true;
}

QStringList TForm14::WriteColumns() const
{
    return {QStringLiteral("N"),   QStringLiteral("LNAME"), QStringLiteral("VISI"),
            QStringLiteral("PRN"), QStringLiteral("COL"),   QStringLiteral("LTP"),
            QStringLiteral("WID"), QStringLiteral("SCL")};
}

QStringList TForm14::WriteValues() const
{
    auto flag = [](const QCheckBox *b) { return b->isChecked() ? QStringLiteral("1")
                                                                : QStringLiteral("0"); };
    return {QString::number(Number()),
            SqlQuoted(Edit2->text()),
            flag(CheckBox1),
            flag(CheckBox2),
            QString::number(StrToIntZ(Edit3->text())),
            QString::number(StrToIntZ(Edit4->text())),
            QString::number(StrToIntZ(Edit5->text())),
            FloatText(StrToFloatZ(Edit6->text()))};
}

void TForm14::Edit3DblClick()
{
    const int typed = StrToIntZ(Edit3->text());
    int colour = typed >= 1 && typed <= 255 ? typed : 1;
    // A colour written there changes what the editor shows as much as a layer written here.
    if (context.opener.ChooseColour(DrawingNo, colour))
        Changed = true;
    if (colour >= 1 && colour <= 255)
        Edit3->setText(QString::number(colour));
}

void TForm14::Edit4DblClick()
{
    const int typed = StrToIntZ(Edit4->text());
    int lineType = typed >= 1 && typed <= 32 ? typed : 1;
    if (context.opener.ChooseLineType(DrawingNo, lineType))
        Changed = true;
    if (lineType >= 1 && lineType <= 32)
        Edit4->setText(QString::number(lineType));
}
