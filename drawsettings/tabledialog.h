// What the layers, colours and line types dialogs share: a grid of one drawing table, a
// number and a name edit, apply / select as current / close, the current number handed in
// and read back, and the position and column widths kept in the settings.
#pragma once

#include "base/settings.h"

#include <QDialog>

#include <span>

class QLabel;
class QLineEdit;
class QPushButton;
class StringGrid;
struct AppContext;

class TableDialog : public QDialog
{
    Q_OBJECT

public:
    // Set by the caller before showing.
    int DrawingNo = 0;
    // Cleared at show; set when a row was written, so the caller redraws.
    bool Changed = false;

    // Shows the dialog modally on that drawing with current handed in; current always comes
    // back, and the result is Changed.
    bool Choose(int drawingNo, int &current);

    StringGrid *SG1;
    QLabel *LabelA1, *Label3, *Label4;
    QLineEdit *Edit1, *Edit2;
    QPushButton *Button1, *Button2, *Button3;

public slots:
    void SG1Click();
    void Button1Click();
    void Button2Click();
    void Button3Click();

protected:
    struct Layout
    {
        QString objectName, caption, tablePrefix, currentCaption;
        int width, height, gridHeight;
        QStringList headers;
        // Rows below the header, and how many of them the fixed layer-dependent row takes.
        int dataRows, fixedRows;
        QString fixedName;
        WindowPos *position;
        std::span<int> columnWidths;
    };
    TableDialog(AppContext &context, const Layout &layout, QWidget *parent);

    // The number the dialog chooses: the caller's current layer, colour or line type.
    virtual int &Current() = 0;
    virtual void RowToEdits(const QStringList &cells) = 0;
    virtual void ClearEdits() = 0;
    // The checks after the number's, in order; false after showing a message.
    virtual bool CheckEdits() = 0;
    virtual QStringList WriteColumns() const = 0;
    virtual QStringList WriteValues() const = 0;
    // The number edit is empty or names no row that may be written; false stops apply.
    virtual bool CheckNumber() = 0;
    // Called after the grid was refilled.
    virtual void GridRefreshed() {}

    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;
    void RefreshGrid();
    // The name checks every table shares: not blank, no quotes, within the column in CP932.
    bool CheckName();
    int Number() const;
    // Top of the edit area below the grid and the current-value label.
    int EditTop() const;

    QString TableName;
    AppContext &context;

private:
    void ShowCurrent();
    // The selected row's number cell; empty with no row selected.
    QString SelectedNumber() const;

    Layout layout;
};
