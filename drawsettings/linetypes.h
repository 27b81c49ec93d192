// The line types dialog: the 32 dash patterns of the drawing open in the editor, and the
// editor's or a layer's line type number (0 = the layer's own).
#pragma once

#include "drawsettings/tabledialog.h"

class QComboBox;

class TForm16 : public TableDialog
{
    Q_OBJECT

public:
    explicit TForm16(AppContext &context, QWidget *parent = nullptr);

    // Handed in by the caller and read back after closing.
    int CurrentLineType = 0;

    QLabel *Label1, *Label2, *Label5;
    QComboBox *ComboBox1;
    // P1 to P10.
    QLineEdit *PitchEdit[10];
    // The pattern the edits describe, drawn as the editor's pen draws it.
    QWidget *Preview;

    // The segment count and the pitches as apply stores them.
    int SegmentCount() const;
    QList<int> Pitches() const;

protected:
    int &Current() override { return CurrentLineType; }
    void RowToEdits(const QStringList &cells) override;
    void ClearEdits() override;
    bool CheckNumber() override;
    bool CheckEdits() override;
    QStringList WriteColumns() const override;
    QStringList WriteValues() const override;
};
