// A string grid: one header row (row 0) above the data rows 1, 2, ..., cells addressed by
// column and row as the windows describe them.
#pragma once

#include <QStringList>
#include <QTableWidget>

class StringGrid : public QTableWidget
{
    Q_OBJECT

public:
    StringGrid(const QStringList &headers, const QList<int> &widths, QWidget *parent);

    // Rows including the header: SetRowCount(2) leaves one data row.
    int RowCount() const { return rowCount() + 1; }
    void SetRowCount(int rows);
    // The header and one blank row.
    void Clear();
    QString Cell(int column, int row) const;
    void SetCell(int column, int row, const QString &text);
    void SetRow(int row, const QStringList &cells);
    QStringList RowCells(int row) const;
    // The current row, 1 when nothing is current (as a grid always has one).
    int Row() const;
    void SetCurrentRow(int row);

protected:
    void keyPressEvent(QKeyEvent *event) override;

signals:
    // A click on a row or a move of the current row by the keys.
    void RowClicked();
};
