// The colours dialog: the 255 colours of the drawing open in the editor with their
// swatches, and the editor's or a layer's colour number (0 = the layer's own).
#pragma once

#include "drawsettings/tabledialog.h"

class QColorDialog;

class TForm15 : public TableDialog
{
    Q_OBJECT

public:
    explicit TForm15(AppContext &context, QWidget *parent = nullptr);

    // Handed in by the caller and read back after closing.
    int CurrentColor = 0;

    QLabel *Label1;
    QLineEdit *Edit3;
    QPushButton *Button4;
    QColorDialog *ColorDialog1;

public slots:
    void Button4Click();

protected:
    int &Current() override { return CurrentColor; }
    void RowToEdits(const QStringList &cells) override;
    void ClearEdits() override;
    bool CheckNumber() override;
    bool CheckEdits() override;
    QStringList WriteColumns() const override;
    QStringList WriteValues() const override;
};
