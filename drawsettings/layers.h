// The layers dialog: the 256 layers of the drawing open in the editor, their names,
// visibility, printing, colour, line type, width and scale, and the editor's current layer.
#pragma once

#include "drawsettings/tabledialog.h"

class QCheckBox;

class TForm14 : public TableDialog
{
    Q_OBJECT

public:
    explicit TForm14(AppContext &context, QWidget *parent = nullptr);

    // Handed in by the editor and read back after closing, whether changed or not.
    int CurrentLayer = 0;

    QCheckBox *CheckBox1, *CheckBox2;
    QLabel *Label1, *Label2, *Label5, *Label6, *Label7, *Label8;
    QLineEdit *Edit3, *Edit4, *Edit5, *Edit6;

public slots:
    void Edit3DblClick();
    void Edit4DblClick();

protected:
    int &Current() override { return CurrentLayer; }
    void RowToEdits(const QStringList &cells) override;
    void ClearEdits() override;
    bool CheckNumber() override;
    bool CheckEdits() override;
    QStringList WriteColumns() const override;
    QStringList WriteValues() const override;
};
