#include "drawsettings/tabledialog.h"

#include "base/grid.h"
#include "base/messages.h"
#include "base/settings.h"
#include "base/ui.h"
#include "base/values.h"
#include "base/appcontext.h"
#include "db/database.h"
#include "db/textcodec.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShowEvent>

namespace {

constexpr int NameBytes = 255;

} // namespace

TableDialog::TableDialog(AppContext &context, const Layout &layout, QWidget *parent)
    : QDialog(parent), context(context), layout(layout)
{
    setObjectName(layout.objectName);
    setWindowTitle(layout.caption);
    SetFixedDialog(this, layout.width, layout.height);

    QList<int> widths;
    for (int w : layout.columnWidths)
        widths << w;
    SG1 = new StringGrid(layout.headers, widths, this);
    SG1->setObjectName(QStringLiteral("SG1"));
    Place(SG1, 0, 0, layout.width, layout.gridHeight);
    SG1->SetRowCount(layout.dataRows + 1);

    LabelA1 = new QLabel(this);
    LabelA1->setObjectName(QStringLiteral("LabelA1"));
    LabelA1->setAlignment(Qt::AlignCenter);
    LabelA1->setAutoFillBackground(true);
    QPalette green = LabelA1->palette();
    green.setColor(QPalette::Window, QColor(192, 220, 192));
    LabelA1->setPalette(green);
    Place(LabelA1, 8, layout.gridHeight + 4, layout.width - 16, 18);

    const int top = EditTop();
    Label3 = AddLabel(this, QStringLiteral("Label3"), QStringLiteral("番号："), 8, top + 3);
    Edit1 = AddEdit(this, QStringLiteral("Edit1"), 56, top, 60);
    Edit1->setReadOnly(true);
    Edit1->setMaxLength(16);
    Edit1->setAutoFillBackground(true);
    QPalette grey = Edit1->palette();
    grey.setColor(QPalette::Base, QColor(0xDD, 0xDD, 0xDD));
    Edit1->setPalette(grey);
    NoInputMethod(Edit1);
    Label4 = AddLabel(this, QStringLiteral("Label4"), QStringLiteral("名称："), 128, top + 3);
    Edit2 = AddEdit(this, QStringLiteral("Edit2"), 176, top, layout.width - 184);
    LimitBytes(Edit2, NameBytes);

    const int buttonTop = layout.height - 31;
    Button1 = AddButton(this, QStringLiteral("Button1"), QStringLiteral("適用(&A)"), 8,
                        buttonTop, 120, 25);
    Button2 = AddButton(this, QStringLiteral("Button2"),
                        layout.currentCaption.chopped(1) + QStringLiteral("として選択(&S)"), 136,
                        buttonTop, layout.width - 136 - 136, 25);
    Button3 = AddButton(this, QStringLiteral("Button3"), QStringLiteral("閉じる(&C)"),
                        layout.width - 128, buttonTop, 120, 25);
    for (QPushButton *b : {Button1, Button3})
        b->setAutoDefault(false);
    Button2->setDefault(true);

    connect(SG1, &StringGrid::RowClicked, this, &TableDialog::SG1Click);
    connect(Button1, &QPushButton::clicked, this, &TableDialog::Button1Click);
    connect(Button2, &QPushButton::clicked, this, &TableDialog::Button2Click);
    connect(Button3, &QPushButton::clicked, this, &TableDialog::Button3Click);
}

bool TableDialog::Choose(int drawingNo, int &current)
{
    DrawingNo = drawingNo;
    Current() = current;
    exec();
    current = Current();
    return Changed;
}

int TableDialog::EditTop() const
{
    return layout.gridHeight + 28;
}

void TableDialog::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    if (event->spontaneous())
        return;
    Changed = false;
    const WindowPos &p = *layout.position;
    move(OnScreenPosition(QPoint(p.left, p.top), frameGeometry().size()));
    for (int c = 0; c < int(layout.columnWidths.size()); ++c)
        SG1->setColumnWidth(c, layout.columnWidths[c]);

    TableName = layout.tablePrefix + QString::number(DrawingNo);
    SG1->clearContents();
    SG1->SetRowCount(layout.dataRows + 1);
    RefreshGrid();

    // The row that holds the current number, wherever gaps in the table put it.
    int row = -1;
    for (int r = 1; r <= layout.dataRows && row < 0; ++r) {
        const QString cell = SG1->Cell(0, r);
        if (!cell.isEmpty() && StrToIntZ(cell) == Current())
            row = r;
    }
    if (row > 0) {
        SG1->SetCurrentRow(row);
        SG1->scrollToItem(SG1->item(row - 1, 0));
        RowToEdits(SG1->RowCells(row));
    } else {
        SG1->setCurrentCell(-1, -1);
        SG1->clearSelection();
        Edit1->clear();
        Edit2->clear();
        ClearEdits();
    }
    ShowCurrent();
}

void TableDialog::hideEvent(QHideEvent *event)
{
    QDialog::hideEvent(event);
    if (event->spontaneous())
        return;
    // Every way of closing passes here: the close button, Escape, the window's own close.
    layout.position->left = pos().x();
    layout.position->top = pos().y();
    for (int c = 0; c < int(layout.columnWidths.size()); ++c)
        layout.columnWidths[c] = SG1->columnWidth(c);
}

void TableDialog::RefreshGrid()
{
    QList<QStringList> rows =
        context.db.SelectRows(QStringLiteral("*"), TableName, QString(), QStringLiteral("N"));
    const QStringList fixed = {QStringLiteral("0"), layout.fixedName};
    for (int r = 1; r <= layout.dataRows; ++r) {
        const int k = r - layout.fixedRows - 1;
        if (r <= layout.fixedRows)
            SG1->SetRow(r, fixed);
        else
            SG1->SetRow(r, k < rows.size() ? rows[k] : QStringList());
    }
    GridRefreshed();
    SG1->viewport()->update();
}

void TableDialog::ShowCurrent()
{
    LabelA1->setText(layout.currentCaption + QString::number(Current()));
}

QString TableDialog::SelectedNumber() const
{
    const int r = SG1->currentRow();
    if (r < 0 || !SG1->selectionModel()->isRowSelected(r, QModelIndex()))
        return {};
    return SG1->Cell(0, r + 1);
}

int TableDialog::Number() const
{
    return StrToIntZ(Edit1->text());
}

void TableDialog::SG1Click()
{
    if (SelectedNumber().isEmpty())
        return;
    RowToEdits(SG1->RowCells(SG1->currentRow() + 1));
}

bool TableDialog::CheckName()
{
    const QString name = Edit2->text();
    QString message;
    if (RemoveBlanks(name).isEmpty())
        message = QStringLiteral("名称を入力して下さい");
    else if (HasQuote(name))
        message = QStringLiteral("引用符「'」「\"」を入力しないで下さい");
    else if (const std::optional<QByteArray> bytes = ToCp932(name); !bytes)
        message = QStringLiteral("名称に使用出来ない文字が含まれています");
    else if (bytes->size() > NameBytes)
        message = QStringLiteral("名称は半角255文字（全角127文字）以内で入力して下さい");
    if (message.isEmpty())
        return true;
    context.messages.Show(message);
    Edit2->setFocus();
    return false;
}

void TableDialog::Button1Click()
{
    if (!CheckNumber() || !CheckName() || !CheckEdits())
        return;
    const QStringList columns = WriteColumns();
    const bool ok = context.db.SqlUpdate(TableName, int(columns.size()), columns, WriteValues(),
                                         QStringLiteral("N=") + QString::number(Number()));
    context.messages.Show(ok ? QStringLiteral("登録OK") : QStringLiteral("登録失敗"));
    if (ok)
        Changed = true;
    RefreshGrid();
}

void TableDialog::Button2Click()
{
    const QString cell = SelectedNumber();
    if (cell.isEmpty())
        return;
    Current() = StrToIntZ(cell);
    ShowCurrent();
}

void TableDialog::Button3Click()
{
    reject();
}
