#include "base/grid.h"

#include <QHeaderView>

StringGrid::StringGrid(const QStringList &headers, const QList<int> &widths, QWidget *parent)
    : QTableWidget(1, int(headers.size()), parent)
{
    setHorizontalHeaderLabels(headers);
    for (int c = 0; c < widths.size(); ++c)
        setColumnWidth(c, widths[c]);
    verticalHeader()->hide();
    verticalHeader()->setDefaultSectionSize(18);
    horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    horizontalHeader()->setHighlightSections(false);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setWordWrap(false);
    connect(this, &QTableWidget::cellClicked, this, &StringGrid::RowClicked);
    Clear();
}

void StringGrid::keyPressEvent(QKeyEvent *event)
{
    // Moving to another row by the keys counts as a click on it, as in a string grid.
    const int before = currentRow();
    QTableWidget::keyPressEvent(event);
    if (currentRow() != before && currentRow() >= 0)
        emit RowClicked();
}

void StringGrid::SetRowCount(int rows)
{
    setRowCount(std::max(rows - 1, 0));
}

void StringGrid::Clear()
{
    clearContents();
    SetRowCount(2);
}

QString StringGrid::Cell(int column, int row) const
{
    const QTableWidgetItem *i = item(row - 1, column);
    return i ? i->text() : QString();
}

void StringGrid::SetCell(int column, int row, const QString &text)
{
    if (row < 1 || row > rowCount() || column < 0 || column >= columnCount())
        return;
    if (QTableWidgetItem *i = item(row - 1, column))
        i->setText(text);
    else
        setItem(row - 1, column, new QTableWidgetItem(text));
}

void StringGrid::SetRow(int row, const QStringList &cells)
{
    for (int c = 0; c < columnCount(); ++c)
        SetCell(c, row, cells.value(c));
}

QStringList StringGrid::RowCells(int row) const
{
    QStringList cells;
    for (int c = 0; c < columnCount(); ++c)
        cells << Cell(c, row);
    return cells;
}

int StringGrid::Row() const
{
    return currentRow() < 0 ? 1 : currentRow() + 1;
}

void StringGrid::SetCurrentRow(int row)
{
    setCurrentCell(row - 1, 0);
}
