// The line width dialog: the editor's current line width (0 = the layer's own).
#pragma once

#include "drawsettings/valuedialog.h"

class TForm17 : public ValueDialog
{
    Q_OBJECT

public:
    explicit TForm17(AppContext &context, QWidget *parent = nullptr);

    // 1/100 mm, 0 to 30000; taken back by the editor only when Accepted.
    int LineWidth = 0;
    // Shows the dialog modally; the width comes back only when OK closed it, and then the
    // result is true.
    bool Choose(int &width);

    QLabel *Label5;

protected:
    QString ValueText() const override;
    bool TakeValue(const QString &text) override;
    QString RangeMessage() const override;
};
