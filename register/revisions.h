// The revision history dialog: the revisions of one drawing.
#pragma once

#include "master/registerdialog.h"

class QComboBox;

class TForm11 : public RegisterDialog
{
    Q_OBJECT

public:
    explicit TForm11(AppContext &context, QWidget *parent = nullptr);

    // The drawing whose revisions are listed and written; set before every showing.
    int DrawingNo = 0;

    QLabel *Label2, *Label4, *Label5;
    QLineEdit *Edit2, *Edit3;
    QComboBox *ComboBox1;

public slots:
    void Edit3DblClick();

protected:
    void PrepareShow() override;
    QList<QStringList> ReadGridRows() override;
    void RowToEdits(const QStringList &cells) override;
    bool CheckFields() override;
    bool CheckQuotes() override;
    QStringList WriteColumns() const override;
    QStringList WriteValues(int number) const override;
};
