// The members dialog: the people using the system, each with a number, a section and a name.
#pragma once

#include "master/registerdialog.h"

class QComboBox;

class TForm4 : public RegisterDialog
{
    Q_OBJECT

public:
    explicit TForm4(AppContext &context, QWidget *parent = nullptr);

    QLabel *Label2, *Label4;
    QComboBox *ComboBox1;
    QLineEdit *Edit2;

protected:
    QList<QStringList> ReadGridRows() override;
    void RowToEdits(const QStringList &cells) override;
    bool CheckRequired() override;
    bool CheckQuotes() override;
    QStringList WriteColumns() const override;
    QStringList WriteValues(int number) const override;

private:
    int SectionToWrite(int number) const;

    // A clicked member whose section the chooser does not hold: a change keeps it.
    int unlistedMember = 0;
    int unlistedSection = 0;
};
