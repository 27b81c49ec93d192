// The grid dialog: the spacing of the editor's grid in paper millimetres (0 = no grid).
#pragma once

#include "drawsettings/valuedialog.h"

class TForm18 : public ValueDialog
{
    Q_OBJECT

public:
    explicit TForm18(AppContext &context, QWidget *parent = nullptr);

    // 0 to 10000 mm; taken back by the editor only when Accepted.
    double GridSpacing = 0;
    // Shows the dialog modally; the spacing comes back only when OK closed it, and then the
    // result is true.
    bool Choose(double &spacing);

    QLabel *Label2;

protected:
    QString ValueText() const override;
    bool TakeValue(const QString &text) override;
    QString RangeMessage() const override;
};
