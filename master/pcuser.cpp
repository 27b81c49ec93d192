#include "master/pcuser.h"

#include "base/messages.h"
#include "base/settings.h"
#include "base/ui.h"
#include "base/values.h"
#include "base/appcontext.h"
#include "db/database.h"
#include "master/chooser.h"
#include "master/registerdialog.h"

#include <QComboBox>
#include <QLabel>
#include <QPushButton>

TForm5::TForm5(AppContext &context, QWidget *parent) : QDialog(parent), context(context)
{
    setObjectName(QStringLiteral("Form5"));
    setWindowTitle(QStringLiteral("PC利用者名の登録"));
    SetFixedDialog(this, 280, 72);
    Label1 = AddLabel(this, "Label1", QStringLiteral("PC利用者名："), 8, 12);
    ComboBox1 = AddComboBox(this, "ComboBox1", 96, 8, 176);
    Button1 = AddButton(this, "Button1", QStringLiteral("OK(&Y)"), 8, 40, 128, 25);
    Button1->setDefault(true);
    Button2 = AddButton(this, "Button2", QStringLiteral("キャンセル(&N)"), 144, 40, 128, 25);
    connect(Button1, &QPushButton::clicked, this, &TForm5::Button1Click);
    connect(Button2, &QPushButton::clicked, this, &TForm5::Button2Click);
}

void TForm5::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    if (RefuseWithoutDatabase(context, this))
        return;
    LoadChooser(context.db, ComboBox1, QStringLiteral("MEMBER"), QStringLiteral("PNAME"), false);
    ComboBox1->setCurrentIndex(-1);
    for (int i = 0; i < ComboBox1->count(); ++i) {
        if (StrToIntZ(TextBeforeColon(ComboBox1->itemText(i))) == context.settings.PcUserNo) {
            ComboBox1->setCurrentIndex(i);
            break;
        }
    }
    ComboBox1->setFocus();
}

void TForm5::Button1Click()
{
    if (ComboBox1->count() == 0) {
        context.messages.Show(QStringLiteral("最初にメンバーの登録を行って下さい"));
        return;
    }
    if (ComboBox1->currentIndex() < 0) {
        context.messages.Show(QStringLiteral("PC利用者名を指定して下さい"));
        return;
    }
    const QString entry = ComboBox1->currentText();
    context.settings.PcUserNo = StrToIntZ(TextBeforeColon(entry));
    context.settings.PcUserName = TextAfterColon(entry);
    accept();
}

void TForm5::Button2Click()
{
    reject();
}
