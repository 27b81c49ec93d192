// The sections dialog: the sections of the organisation, each with a number and a name.
#pragma once

#include "master/registerdialog.h"

class TForm3 : public RegisterDialog
{
    Q_OBJECT

public:
    explicit TForm3(AppContext &context, QWidget *parent = nullptr);

    QLabel *Label4;
    QLineEdit *Edit2;

protected:
    void RowToEdits(const QStringList &cells) override;
    bool CheckRequired() override;
    bool CheckQuotes() override;
    QStringList WriteColumns() const override;
    QStringList WriteValues(int number) const override;
    bool MayDelete(int number) override;
};
