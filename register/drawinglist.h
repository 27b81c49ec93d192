// The drawing list: the register a page at a time, sorted and filtered, with the ways into
// the record form and the editor.
#pragma once

#include "db/registerrows.h"

#include <QWidget>

#include <array>
#include <optional>

class QComboBox;
class QFontMetrics;
class QFrame;
class QLabel;
class QLineEdit;
class QPushButton;
class QStatusBar;
class StringGrid;
struct AppContext;

class TForm12 : public QWidget
{
    Q_OBJECT

public:
    explicit TForm12(AppContext &context, QWidget *parent = nullptr);

    QFrame *Panel1;
    QPushButton *Button1, *Button2, *Button3, *Button4, *Button7, *Button8, *Button9;
    QComboBox *ComboBox1, *ComboBox2;
    QLineEdit *Edit1;
    StringGrid *SG1;
    QStatusBar *StatusBar1;

    int PageStart() const { return pageStart; }
    // The drawing of the grid's current row; 0 for a blank row.
    int SelectedDrawing() const;
    // The status bar names who has the chosen drawing open.
    void ShowWhoIsIn();

public slots:
    void Button1Click();
    void Button2Click();
    void Button3Click();
    void Button4Click();
    void ComboBox1Select(int index);
    void ComboBox2Select(int index);
    void Button7Click();
    void Button8Click();
    void Button9Click();

protected:
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void ClearGrid();
    void LoadPage(bool continuing = false);

    AppContext &context;
    static constexpr int PageSize = 100;
    int pageStart = 1;
    int nextPageStart = 0;
    // The last row shown, so that the next page can start right after it.
    std::optional<DrawingRow> lastRow;
    int lastRowPosition = 0;
    QString filterWhere;
    QString sortOrder = QStringLiteral("N");
    bool shown = false;
};

// The list query for a filter and an order. With first > 0 the server hands back only
// the rows first ... first + count - 1 of the sorted result.
QStringList DrawingListQuery(const QString &filterWhere, const QString &sortOrder, int first,
                             int count);
// The filter condition for a field chooser index and the typed text; empty for none.
QString DrawingListFilter(int field, const QString &text);
// The ORDER BY list of a sort chooser index.
QString DrawingListOrder(int index);
// The condition for the rows that follow a row in the sort order, with NULL before every
// value going up and after every value going down; empty when the row's key is empty text.
QString DrawingListAfter(const QString &sortOrder, const DrawingRow &row);
// The 13 grid cells of a register row.
QStringList DrawingListCells(const DrawingRow &row);

struct Settings;
// False while the 13 column widths are the defaults: none was ever set on this PC.
bool ListColumnsKept(const Settings &settings);
// Widths that show each header and a column's typical contents whole.
std::array<int, 13> DefaultListColumns(const QFontMetrics &metrics);
