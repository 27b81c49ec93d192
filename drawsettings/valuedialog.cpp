#include "drawsettings/valuedialog.h"

#include "base/messages.h"
#include "base/ui.h"
#include "base/appcontext.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShowEvent>

ValueDialog::ValueDialog(AppContext &context, const QString &objectName,
                         const QString &caption, const QString &label,
                         const QStringList &entries, WindowPos *position, QWidget *parent)
    : QDialog(parent), messages(context.messages), position(position)
{
    setObjectName(objectName);
    setWindowTitle(caption);
    SetFixedDialog(this, 247, 87);
    Label1 = AddLabel(this, QStringLiteral("Label1"), label, 8, 11);
    ComboBox1 = AddComboBox(this, QStringLiteral("ComboBox1"), 104, 8, 130);
    ComboBox1->setEditable(true);
    ComboBox1->setInsertPolicy(QComboBox::NoInsert);
    // Typed text counts as typed: completing "0" to "0.01" would turn "no grid" into a grid.
    ComboBox1->setCompleter(nullptr);
    ComboBox1->addItems(entries);
    NoInputMethod(ComboBox1);
    NoInputMethod(ComboBox1->lineEdit());
    Button1 = AddButton(this, QStringLiteral("Button1"), QStringLiteral("OK(&Y)"), 32, 56, 96, 25);
    Button1->setDefault(true);
    Button2 = AddButton(this, QStringLiteral("Button2"), QStringLiteral("キャンセル(&N)"), 136, 56,
                        104, 25);
    Button2->setAutoDefault(false);
    connect(Button1, &QPushButton::clicked, this, &ValueDialog::Button1Click);
    connect(Button2, &QPushButton::clicked, this, &ValueDialog::Button2Click);
}

void ValueDialog::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    if (event->spontaneous())
        return;
    move(OnScreenPosition(QPoint(position->left, position->top), frameGeometry().size()));
    Accepted = false;
    ComboBox1->setCurrentIndex(-1);
    ComboBox1->setEditText(ValueText());
    ComboBox1->setFocus();
    ComboBox1->lineEdit()->selectAll();
}

void ValueDialog::hideEvent(QHideEvent *event)
{
    QDialog::hideEvent(event);
    if (event->spontaneous())
        return;
    // Every way of closing passes here: OK, cancel, Escape, the window's own close.
    position->left = pos().x();
    position->top = pos().y();
}

void ValueDialog::Button1Click()
{
    if (!TakeValue(ComboBox1->currentText())) {
        messages.Show(RangeMessage());
        ComboBox1->setFocus();
        return;
    }
    Accepted = true;
    accept();
}

void ValueDialog::Button2Click()
{
    Accepted = false;
    reject();
}
