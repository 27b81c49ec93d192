// The chat log dialog: every stored chat line of all days, listed, added, corrected and
// deleted, also a range of lines at once.
#pragma once

#include "master/registerdialog.h"

class QComboBox;

class TForm7 : public RegisterDialog
{
    Q_OBJECT

public:
    explicit TForm7(AppContext &context, QWidget *parent = nullptr);

    QLabel *Label2, *Label4, *Label5, *Label6;
    QComboBox *ComboBox1;
    QLineEdit *Edit2, *Edit3, *Edit4;

public slots:
    void Edit3DblClick();
    void Edit4DblClick();
    // Deletes the selected range of rows.
    void Button2Click();

protected:
    void showEvent(QShowEvent *event) override;
    void PrepareShow() override;
    void RowToEdits(const QStringList &cells) override;
    bool CheckFields() override;
    bool CheckQuotes() override;
    QStringList WriteColumns() const override;
    QStringList WriteValues(int number) const override;

private:
    int WriterToWrite(int number) const;

    // A clicked line whose writer the chooser does not hold: a change keeps that writer.
    int unlistedLine = 0;
    int unlistedWriter = 0;
};
