// The drawing record form: the register row of one drawing with its title block, paper size
// and check / approval / issue / revision stamps.
#pragma once

#include "base/appcontext.h"

#include <QStringList>
#include <QWidget>

class QComboBox;
class QFrame;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
struct DrawingRow;

class TForm10 : public QWidget
{
    Q_OBJECT

public:
    // Edit mode shows the drawing of that number at once (none for 0); a new record takes
    // the next free number.
    TForm10(AppContext &context, WindowOpener::RecordMode mode, int drawingNo,
            QWidget *parent = nullptr);

    QFrame *Panel1;
    QLineEdit *Edit[17]; // Edit[1] ... Edit[16]; Edit[0] is unused
    QComboBox *ComboBox[7]; // ComboBox[1] paper, [2] ... [6] members
    QPlainTextEdit *Memo1;
    QPushButton *Button1, *Button2, *Button3, *Button4, *Button5, *Button6, *Button7,
        *Button8, *Button9;

    WindowOpener::RecordMode Mode() const { return mode; }
    bool IsNew() const { return mode == WindowOpener::RecordMode::New; }
    // Names of the check, approval and issue stamps made here and not yet registered
    // ("検図", "承認", "出図").
    QStringList UnstoredStamps() const;

public slots:
    void Edit1DblClick();
    void Button4Click();
    void ComboBox1Select(int index);
    void Button5Click();
    void Button6Click();
    void Button7Click();
    void Button8Click();
    void Button9Click();
    void Button1Click();
    void Button2Click();
    void Button3Click();

protected:
    void showEvent(QShowEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void FormShow();
    void ShowRow(const DrawingRow &row);
    DrawingRow RowToWrite(int number) const;
    void RefillMemo(int number);
    void Stamp(QComboBox *chooser, QLineEdit *date);
    bool CheckInput(int number);

    // The three stamps (member item and date) as last loaded, cleared or registered.
    QStringList StampValues() const;
    void KeepStamps();

    AppContext &context;
    QStringList keptStamps;
    const WindowOpener::RecordMode mode;
    const int startNumber;
    bool shown = false;
};
