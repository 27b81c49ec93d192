// What the line width and grid dialogs share: one editable drop-down, OK and cancel, the
// value taken back only when OK closed the dialog, and the position kept in the settings.
#pragma once

#include "base/settings.h"

#include <QDialog>

class QComboBox;
class QLabel;
class QPushButton;
class Messages;
struct AppContext;

class ValueDialog : public QDialog
{
    Q_OBJECT

public:
    // Cleared at show; set when OK closed the dialog.
    bool Accepted = false;

    QLabel *Label1;
    QComboBox *ComboBox1;
    QPushButton *Button1, *Button2;

public slots:
    void Button1Click();
    void Button2Click();

protected:
    ValueDialog(AppContext &context, const QString &objectName, const QString &caption,
                const QString &label, const QStringList &entries, WindowPos *position,
                QWidget *parent);

    // The field's text for the value handed in.
    virtual QString ValueText() const = 0;
    // Takes the field's value when it is allowed; false leaves the value as it was.
    virtual bool TakeValue(const QString &text) = 0;
    virtual QString RangeMessage() const = 0;

    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;

private:
    Messages &messages;
    WindowPos *position;
};
