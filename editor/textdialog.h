// The text command's dialog: the text and its sizes, angle, writing direction, anchor and
// font. It keeps its values from one showing to the next.
#pragma once

#include "db/entityrows.h"

#include <QDialog>

class Messages;
class QButtonGroup;
class QComboBox;
class QLineEdit;
class QRadioButton;

class TextDialog : public QDialog
{
    Q_OBJECT

public:
    explicit TextDialog(Messages &messages, QWidget *parent = nullptr);

    // The values shown; Value gives them back once OK checked them.
    void SetValue(const TextShape &text);
    TextShape Value() const { return value; }

    QLineEdit *TextEdit;
    QComboBox *HeightBox, *WidthBox;
    QLineEdit *SpacingEdit, *AngleEdit;
    QRadioButton *Horizontal, *Vertical;
    QButtonGroup *Anchors; // ids 1-9 as on a numeric keypad
    QComboBox *FontBox;

    // The check OK runs: empty when the values can be stored, else the message shown.
    QString Check();

private:
    void accept() override;

    Messages &messages;
    TextShape value;
};
