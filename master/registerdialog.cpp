#include "master/registerdialog.h"

#include "base/grid.h"
#include "base/messages.h"
#include "base/settings.h"
#include "base/ui.h"
#include "base/values.h"
#include "base/appcontext.h"
#include "db/database.h"

#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include <climits>

bool RefuseWithoutDatabase(AppContext &context, QDialog *dialog)
{
    const Settings &s = context.settings;
    QString refusal;
    if (s.DataFolder.trimmed().isEmpty() || s.DbFileName.trimmed().isEmpty())
        refusal = QStringLiteral("最初にデータベースの設定を行って下さい。");
    else if (!context.db.DatabaseConnected())
        refusal = QStringLiteral("データベースに接続出来ません。設定を確認して下さい。");
    if (refusal.isEmpty())
        return false;
    context.messages.Show(refusal);
    // Closed once the dialog's own event loop runs, so that a modal showing ends too.
    QMetaObject::invokeMethod(dialog, &QDialog::reject, Qt::QueuedConnection);
    return true;
}

RegisterDialog::RegisterDialog(AppContext &context, const Layout &layout, QWidget *parent)
    : QDialog(parent), table(layout.table), context(context)
{
    setObjectName(layout.objectName);
    setWindowTitle(layout.caption);
    SetFixedDialog(this, layout.width, layout.height);

    Label1 = AddLabel(this, "Label1", QStringLiteral("現在の登録内容"), 8, 4);

    const int buttonTop = layout.height - 31;
    const int panelTop = buttonTop - 6 - layout.panelHeight;
    SG1 = new StringGrid(layout.headers, layout.widths, this);
    SG1->setObjectName(QStringLiteral("SG1"));
    Place(SG1, 8, 20, layout.width - 16, panelTop - 26);

    Panel1 = new QFrame(this);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->setFrameShape(QFrame::StyledPanel);
    Place(Panel1, 8, panelTop, layout.width - 16, layout.panelHeight);
    Label3 = AddLabel(Panel1, "Label3", QStringLiteral("番号："), 8, 9);
    Edit1 = AddEdit(Panel1, "Edit1", 80, 6, 80);
    LimitBytes(Edit1, 16);
    NoInputMethod(Edit1);
    OnDoubleClick(Edit1, [this] { Edit1DblClick(); });

    const QString captions[] = {QStringLiteral("追加登録(&A)"), QStringLiteral("データ変更(&E)"),
                                QStringLiteral("データ削除(&D)"), QStringLiteral("閉じる(&C)")};
    const char *names[] = {"Button1", "Button4", "Button2", "Button3"};
    QPushButton **buttons[] = {&Button1, &Button4, &Button2, &Button3};
    const int buttonWidth = (layout.width - 16 - 3 * 4) / 4;
    for (int i = 0; i < 4; ++i) {
        *buttons[i] = AddButton(this, QString::fromLatin1(names[i]), captions[i],
                                8 + i * (buttonWidth + 4), buttonTop, buttonWidth, 25);
        (*buttons[i])->setAutoDefault(false);
    }
    connect(Button1, &QPushButton::clicked, this, &RegisterDialog::Button1Click);
    connect(Button4, &QPushButton::clicked, this, &RegisterDialog::Button4Click);
    connect(Button2, &QPushButton::clicked, this, &RegisterDialog::Button2Click);
    connect(Button3, &QPushButton::clicked, this, &RegisterDialog::Button3Click);
    connect(SG1, &StringGrid::RowClicked, this, &RegisterDialog::SG1Click);
}

void RegisterDialog::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    SG1->Clear();
    if (RefuseWithoutDatabase(context, this))
        return;
    PrepareShow();
    RefreshGrid();
    SG1->setFocus();
}

QList<QStringList> RegisterDialog::ReadGridRows()
{
    return context.db.SelectRows(QStringLiteral("*"), table, GridCondition(), QStringLiteral("N"));
}

void RegisterDialog::RefreshGrid()
{
    SG1->Clear();
    const QList<QStringList> rows = ReadGridRows();
    if (rows.isEmpty())
        return;
    SG1->SetRowCount(int(rows.size()) + 1);
    for (int r = 0; r < rows.size(); ++r)
        SG1->SetRow(r + 1, rows[r]);
}

void RegisterDialog::SG1Click()
{
    const int row = SG1->Row();
    if (SG1->Cell(0, row).isEmpty())
        return;
    RowToEdits(SG1->RowCells(row));
}

void RegisterDialog::Edit1DblClick()
{
    const qint32 max = StrToIntZ(context.db.SqlSelectMax(table, QStringLiteral("N"), QString()));
    // The largest number is taken: there is no next one.
    if (max == INT_MAX) {
        context.messages.Show(QStringLiteral("登録失敗"));
        return;
    }
    Edit1->setText(QString::number(max + 1));
}

int RegisterDialog::Number() const
{
    return StrToIntZ(Edit1->text());
}

bool RegisterDialog::CheckNumber(bool change)
{
    if (Edit1->text().trimmed().isEmpty()) {
        context.messages.Show(QStringLiteral("番号を入力して下さい（正の整数値入力）"));
        Edit1->setFocus();
        return false;
    }
    if (change && !CheckRequired())
        return false;
    if (Number() <= 0) {
        context.messages.Show(QStringLiteral("番号は正の整数で入力して下さい"));
        Edit1->setFocus();
        return false;
    }
    return CheckFields();
}

bool RegisterDialog::QuoteFree(const QString &text, QWidget *focus)
{
    if (!HasQuote(text))
        return true;
    context.messages.Show(QStringLiteral("引用符「'」「\"」を入力しないで下さい"));
    focus->setFocus();
    return false;
}

QString RegisterDialog::FailureReason(int number) const
{
    // The usual cause: the number was taken, perhaps by another PC meanwhile.
    if (context.db.SqlSelectPairs(table, QStringLiteral("N"), QString(), number))
        return QStringLiteral("番号 %1 は既に使用されています。別の番号を入力して下さい。")
            .arg(number);
    if (!context.db.DatabaseConnected())
        return QStringLiteral("データベースに接続出来ません。");
    return QStringLiteral("データベースに書き込めませんでした。");
}

void RegisterDialog::Button1Click()
{
    if (!CheckNumber(false) || !CheckQuotes())
        return;
    const QStringList columns = WriteColumns();
    const int number = Number();
    const bool ok = context.db.SqlInsert(table, int(columns.size()), columns, WriteValues(number));
    context.messages.Show(ok ? QStringLiteral("登録OK")
                             : QStringLiteral("登録失敗\n") + FailureReason(number));
    RefreshGrid();
}

void RegisterDialog::Button4Click()
{
    if (!CheckNumber(true))
        return;
    const int number = Number();
    if (quotesBeforeExistence && !CheckQuotes())
        return;
    if (!context.db.SqlSelectPairs(table, QStringLiteral("N"), QString(), number)) {
        context.messages.Show(QStringLiteral("入力した番号は未使用ですので変更は出来ません。再入力して下さい"));
        Edit1->setFocus();
        return;
    }
    if (!quotesBeforeExistence && !CheckQuotes())
        return;
    const QStringList columns = WriteColumns();
    const bool ok = context.db.SqlUpdate(table, int(columns.size()), columns, WriteValues(number),
                                         QStringLiteral("N=") + QString::number(number));
    context.messages.Show(ok ? QStringLiteral("変更OK") : QStringLiteral("変更失敗"));
    RefreshGrid();
}

void RegisterDialog::Button2Click()
{
    const int row = SG1->Row();
    const QString numberCell = SG1->Cell(0, row);
    if (numberCell.isEmpty())
        return;
    if (!context.messages.AskYesNo(QStringLiteral("「No.") + numberCell + u'：'
                                   + SG1->Cell(deleteNameColumn, row)
                                   + QStringLiteral("」を削除します。\r\nよろしいですか？")))
        return;
    const int number = StrToIntZ(numberCell);
    if (!MayDelete(number))
        return;
    const bool ok = context.db.SqlDelete(table, QStringLiteral("N=") + QString::number(number));
    context.messages.Show(ok ? QStringLiteral("削除OK") : QStringLiteral("削除失敗"));
    RefreshGrid();
}

void RegisterDialog::Button3Click()
{
    close();
}
