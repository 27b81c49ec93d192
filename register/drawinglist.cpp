#include "register/drawinglist.h"

#include "base/grid.h"
#include "base/settings.h"
#include "base/ui.h"
#include "base/values.h"
#include "base/appcontext.h"
#include "db/database.h"
#include "db/presence.h"
#include "db/registerrows.h"
#include "db/sqltext.h"
#include "register/drawingset.h"

#include <algorithm>

#include <QComboBox>
#include <QFontMetrics>
#include <QFrame>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QStatusBar>
#include <QVBoxLayout>

#include <climits>

namespace {

struct SortItem
{
    const char *caption;
    const char *order;
    QString DrawingRow::*key; // null for the number
};
constexpr SortItem SortItems[22] = {
    {"番号↓", "N", nullptr},
    {"番号↑", "N DESC", nullptr},
    {"図面名称↓", "ZNAME,N", &DrawingRow::ZNAME},
    {"図面名称↑", "ZNAME DESC,N DESC", &DrawingRow::ZNAME},
    {"図番↓", "ZUMENN,N", &DrawingRow::ZUMENN},
    {"図番↑", "ZUMENN DESC,N DESC", &DrawingRow::ZUMENN},
    {"表題↓", "MTITLE,N", &DrawingRow::MTITLE},
    {"表題↑", "MTITLE DESC,N DESC", &DrawingRow::MTITLE},
    {"メモ１↓", "MEMO1,N", &DrawingRow::MEMO1},
    {"メモ１↑", "MEMO1 DESC,N DESC", &DrawingRow::MEMO1},
    {"作成日付↓", "DDATE,N", &DrawingRow::DDATE},
    {"作成日付↑", "DDATE DESC,N DESC", &DrawingRow::DDATE},
    {"更新日付↓", "UDATE,N", &DrawingRow::UDATE},
    {"更新日付↑", "UDATE DESC,N DESC", &DrawingRow::UDATE},
    {"検図日付↓", "KDATE,N", &DrawingRow::KDATE},
    {"検図日付↑", "KDATE DESC,N DESC", &DrawingRow::KDATE},
    {"承認日付↓", "ADATE,N", &DrawingRow::ADATE},
    {"承認日付↑", "ADATE DESC,N DESC", &DrawingRow::ADATE},
    {"出図日付↓", "PDATE,N", &DrawingRow::PDATE},
    {"出図日付↑", "PDATE DESC,N DESC", &DrawingRow::PDATE},
    {"改訂日付↓", "RDATE,N", &DrawingRow::RDATE},
    {"改訂日付↑", "RDATE DESC,N DESC", &DrawingRow::RDATE},
};

const char *const FilterItems[12][2] = {
    {"（無し）", ""},      {"図面名称", "ZNAME"}, {"図番", "ZUMENN"},     {"表題", "MTITLE"},
    {"副題", "STITLE"},     {"メモ１", "MEMO1"},   {"作成日付", "DDATE"}, {"更新日付", "UDATE"},
    {"検図日付", "KDATE"}, {"承認日付", "ADATE"}, {"出図日付", "PDATE"}, {"改訂日付", "RDATE"},
};

} // namespace

QStringList DrawingListQuery(const QString &filterWhere, const QString &sortOrder, int first,
                             int count)
{
    QStringList lines{QStringLiteral("SELECT * FROM CADLIST")};
    if (!filterWhere.isEmpty())
        lines << QStringLiteral("  WHERE ") + filterWhere;
    if (first <= 0) {
        lines << QStringLiteral("  ORDER BY ") + sortOrder + u';';
    } else {
        lines << QStringLiteral("  ORDER BY ") + sortOrder;
        const qint64 last = qint64(first) + count - 1;
        lines << QStringLiteral("  ROWS %1 TO %2;").arg(first).arg(last);
    }
    return lines;
}

QString DrawingListFilter(int field, const QString &text)
{
    if (field <= 0 || field >= 12 || text.isEmpty())
        return {};
    // A literal with its quotes doubled: O'Brien finds O'Brien.
    return QString::fromLatin1(FilterItems[field][1]) + QStringLiteral(" LIKE ")
           + SqlQuoted(u'%' + text + u'%');
}

QString DrawingListOrder(int index)
{
    if (index < 0 || index >= 22)
        return QStringLiteral("N");
    return QString::fromLatin1(SortItems[index].order);
}

QString DrawingListAfter(const QString &sortOrder, const DrawingRow &row)
{
    const bool down = sortOrder.contains(QStringLiteral("DESC"));
    const QString nAfter = QStringLiteral("N") + (down ? u'<' : u'>') + QString::number(row.N);
    const SortItem *item = nullptr;
    for (const SortItem &s : SortItems) {
        if (sortOrder == QLatin1String(s.order))
            item = &s;
    }
    if (!item)
        return {};
    if (!item->key)
        return nAfter;
    // Empty text may be NULL or an empty value; only the position tells then.
    const QString value = row.*item->key;
    if (value.isEmpty())
        return {};
    const QString column = sortOrder.section(u',', 0, 0).section(u' ', 0, 0);
    const QString v = SqlQuoted(value);
    return down ? QStringLiteral("(%1<%2 OR (%1=%2 AND %3) OR %1 IS NULL)").arg(column, v, nAfter)
                : QStringLiteral("(%1>%2 OR (%1=%2 AND %3))").arg(column, v, nAfter);
}

QStringList DrawingListCells(const DrawingRow &row)
{
    return {QString::number(row.N), row.ZNAME, row.ZUMENN, row.MTITLE, row.STITLE, row.MEMO1,
            GetPaperSize(row.PAPER.value_or(0)).name, row.DDATE, row.UDATE, row.KDATE,
            row.ADATE, row.PDATE, row.RDATE};
}

TForm12::TForm12(AppContext &context, QWidget *parent) : QWidget(parent), context(context)
{
    setObjectName(QStringLiteral("Form12"));
    setWindowTitle(QStringLiteral("CAD図面一覧表示"));
    setAttribute(Qt::WA_DeleteOnClose);

    Panel1 = new QFrame(this);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->setAutoFillBackground(true);
    QPalette panel = Panel1->palette();
    panel.setColor(QPalette::Window, QColor(140, 186, 236));
    Panel1->setPalette(panel);
    Panel1->setFixedHeight(58);
    Panel1->setMinimumWidth(560);
    const QString captions[] = {QStringLiteral("最初(&F)"), QStringLiteral("前頁(&P)"),
                                QStringLiteral("次頁(&N)"), QStringLiteral("更新(&U)"),
                                QStringLiteral("編集(&E)"), QStringLiteral("CAD(&C)"),
                                QStringLiteral("データ削除(&D)")};
    const char *names[] = {"Button1", "Button2", "Button3", "Button4",
                           "Button7", "Button8", "Button9"};
    QPushButton **buttons[] = {&Button1, &Button2, &Button3, &Button4,
                               &Button7, &Button8, &Button9};
    int x = 4;
    for (int i = 0; i < 7; ++i) {
        const int w = i == 6 ? 100 : 70;
        *buttons[i] = AddButton(Panel1, QString::fromLatin1(names[i]), captions[i], x, 4, w, 23);
        x += w + 4 + (i == 3 ? 12 : 0);
    }
    AddLabel(Panel1, QString(), QStringLiteral("並び順："), 4, 36);
    ComboBox1 = AddComboBox(Panel1, QStringLiteral("ComboBox1"), 64, 32, 120);
    for (const auto &item : SortItems)
        ComboBox1->addItem(QString::fromUtf8(item.caption));
    ComboBox1->setCurrentIndex(-1);
    AddLabel(Panel1, QString(), QStringLiteral("絞り込み："), 196, 36);
    Edit1 = AddEdit(Panel1, QStringLiteral("Edit1"), 264, 32, 160);
    ComboBox2 = AddComboBox(Panel1, QStringLiteral("ComboBox2"), 430, 32, 110);
    for (const auto &item : FilterItems)
        ComboBox2->addItem(QString::fromUtf8(item[0]));
    ComboBox2->setCurrentIndex(-1);

    QStringList headers{QStringLiteral("番号"),     QStringLiteral("図面名称"),
                        QStringLiteral("図番"),     QStringLiteral("表題"),
                        QStringLiteral("副題"),     QStringLiteral("メモ１"),
                        QStringLiteral("用紙"),     QStringLiteral("作成日付"),
                        QStringLiteral("更新日付"), QStringLiteral("検図日付"),
                        QStringLiteral("承認日付"), QStringLiteral("出図日付"),
                        QStringLiteral("改訂日付")};
    SG1 = new StringGrid(headers, {}, this);
    SG1->setObjectName(QStringLiteral("SG1"));
    SG1->horizontalHeader()->setStyleSheet(
        QStringLiteral("QHeaderView::section { background: rgb(133,182,235); }"));
    StatusBar1 = new QStatusBar(this);
    StatusBar1->setObjectName(QStringLiteral("StatusBar1"));
    StatusBar1->setStyleSheet(QStringLiteral("QStatusBar { background: #c0dcc0; }"));
    StatusBar1->setSizeGripEnabled(false);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(Panel1);
    layout->addWidget(SG1, 1);
    layout->addWidget(StatusBar1);

    connect(Button1, &QPushButton::clicked, this, &TForm12::Button1Click);
    connect(Button2, &QPushButton::clicked, this, &TForm12::Button2Click);
    connect(Button3, &QPushButton::clicked, this, &TForm12::Button3Click);
    connect(Button4, &QPushButton::clicked, this, &TForm12::Button4Click);
    connect(Button7, &QPushButton::clicked, this, &TForm12::Button7Click);
    connect(Button8, &QPushButton::clicked, this, &TForm12::Button8Click);
    connect(Button9, &QPushButton::clicked, this, &TForm12::Button9Click);
    connect(ComboBox1, &QComboBox::activated, this, &TForm12::ComboBox1Select);
    connect(ComboBox2, &QComboBox::activated, this, &TForm12::ComboBox2Select);
    connect(SG1, &QTableWidget::cellDoubleClicked, this, &TForm12::Button8Click);
    connect(SG1, &QTableWidget::currentCellChanged, this, [this](int row, int, int oldRow) {
        if (row != oldRow)
            ShowWhoIsIn();
    });
}

void TForm12::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    if (shown)
        return;
    shown = true;
    const Settings &s = context.settings;
    WindowFrame(this)->resize(s.ListWindow.width, s.ListWindow.height);
    const std::array<int, 13> widths =
        ListColumnsKept(s) ? s.ListColumns : DefaultListColumns(SG1->fontMetrics());
    for (int c = 0; c < 13; ++c)
        SG1->setColumnWidth(c, widths[c]);
    pageStart = 1;
    nextPageStart = 0;
    filterWhere.clear();
    sortOrder = QStringLiteral("N");
    SG1->SetRowCount(PageSize + 1);
    ClearGrid();
    Button4Click();
    Button1->setFocus();
}

void TForm12::closeEvent(QCloseEvent *event)
{
    Settings &s = context.settings;
    s.ListWindow.width = WindowFrame(this)->width();
    s.ListWindow.height = WindowFrame(this)->height();
    for (int c = 0; c < 13; ++c)
        s.ListColumns[c] = SG1->columnWidth(c);
    QWidget::closeEvent(event);
}

bool ListColumnsKept(const Settings &settings)
{
    const Settings defaults;
    return settings.ListColumns != defaults.ListColumns;
}

std::array<int, 13> DefaultListColumns(const QFontMetrics &metrics)
{
    // What a column typically holds: names and titles of a dozen full-width characters,
    // drawing numbers like "ABC-1234-56", dates of eight digits.
    static const char16_t *const typical[13] = {
        u"99999",         u"図面名称図面名称図面", u"ABC-1234-56", u"表題表題表題表題表題",
        u"副題副題副題副題", u"メモメモメモメモ",   u"A3横",        u"20261207",
        u"20261207",      u"20261207",          u"20261207",    u"20261207",
        u"20261207"};
    static const char16_t *const headers[13] = {u"番号",     u"図面名称", u"図番",
                                               u"表題",     u"副題",     u"メモ１",
                                               u"用紙",     u"作成日付", u"更新日付",
                                               u"検図日付", u"承認日付", u"出図日付",
                                               u"改訂日付"};
    // Cell and header padding, and room for the sort mark of a header.
    const int padding = 16;
    std::array<int, 13> widths{};
    for (int c = 0; c < 13; ++c)
        widths[c] = std::max({32, metrics.horizontalAdvance(QString::fromUtf16(typical[c])),
                              metrics.horizontalAdvance(QString::fromUtf16(headers[c]))})
                    + padding;
    return widths;
}

void TForm12::ClearGrid()
{
    for (int r = 1; r <= PageSize; ++r)
        SG1->SetRow(r, {});
}

void TForm12::LoadPage(bool continuing)
{
    // Only the page is asked for. Right after the page shown last it starts from that
    // page's last row, so that even far into a big register the server skips nothing.
    QString where = filterWhere;
    int first = pageStart;
    const QString after = continuing && lastRow && lastRowPosition == pageStart - 1
                              ? DrawingListAfter(sortOrder, *lastRow)
                              : QString();
    if (!after.isEmpty()) {
        where = where.isEmpty() ? after : u'(' + where + QStringLiteral(") AND ") + after;
        first = 1;
    }
    const QList<DrawingRow> rows =
        ReadDrawingRows(context.db, DrawingListQuery(where, sortOrder, first, PageSize), 0,
                        PageSize);
    for (int i = 0; i < rows.size(); ++i)
        SG1->SetRow(i + 1, DrawingListCells(rows[i]));
    nextPageStart = pageStart + int(rows.size());
    if (!rows.isEmpty()) {
        lastRow = rows.last();
        lastRowPosition = nextPageStart - 1;
    }
}

void TForm12::ShowWhoIsIn()
{
    // Asked once per row chosen: the list is not followed live.
    const QString caption = QStringLiteral("この図面を開いている人：");
    const int drawing = SelectedDrawing();
    std::vector<PresenceRow> in;
    if (drawing <= 0 || !ReadPresence(context.db, drawing, QString(), in) || in.empty()) {
        if (StatusBar1->currentMessage().startsWith(caption))
            StatusBar1->clearMessage();
        return;
    }
    QStringList names;
    for (const PresenceRow &r : in) {
        const QString name = r.name.isEmpty() ? QString::number(r.member) : r.name;
        if (!names.contains(name))
            names << name;
    }
    StatusBar1->showMessage(caption + names.join(QStringLiteral("、")));
}

int TForm12::SelectedDrawing() const
{
    return StrToIntZ(SG1->Cell(0, SG1->Row()));
}

void TForm12::Button1Click()
{
    ClearGrid();
    pageStart = 1;
    LoadPage();
}

void TForm12::Button2Click()
{
    ClearGrid();
    if (pageStart > 1)
        pageStart = std::max(pageStart - PageSize, 1);
    LoadPage();
}

void TForm12::Button3Click()
{
    ClearGrid();
    // Far past the end a further page is just as empty; the position must not overflow.
    pageStart = std::min(nextPageStart, INT_MAX - PageSize);
    LoadPage(true);
}

void TForm12::Button4Click()
{
    ClearGrid();
    LoadPage();
}

void TForm12::ComboBox1Select(int index)
{
    if (index < 0)
        return;
    sortOrder = DrawingListOrder(index);
    lastRow.reset();
    Button1Click();
}

void TForm12::ComboBox2Select(int index)
{
    if (index < 0)
        return;
    filterWhere = DrawingListFilter(index, Edit1->text());
    lastRow.reset();
    Button1Click();
}

void TForm12::Button7Click()
{
    const int number = SelectedDrawing();
    if (number > 0)
        context.opener.OpenRecordForm(WindowOpener::RecordMode::Edit, number);
}

void TForm12::Button8Click()
{
    const int number = SelectedDrawing();
    if (number <= 0)
        return;
    const QString name = SG1->Cell(1, SG1->Row());
    auto notice = [this](const QString &text) {
        StatusBar1->showMessage(text);
        StatusBar1->repaint();
    };
    notice(QStringLiteral("新規作成作業中です。しばらくお待ち下さい"));
    // An editor on a half-made set would lose what is drawn into the missing tables; the
    // next opening completes the set. Its waits let this list (or the program) close.
    const QPointer<TForm12> self(this);
    const bool complete = EnsureDrawingTables(context.db, number);
    if (!self)
        return;
    if (!complete) {
        notice(QString());
        context.messages.Show(QStringLiteral("CAD図面データが作成出来ませんでした"));
        return;
    }
    notice(QStringLiteral("CAD画面を開いています。しばらくお待ち下さい"));
    // A drawing that cannot be read has no paper: 0 by 0.
    const std::optional<DrawingRow> row = ReadDrawingRow(context.db, number);
    context.opener.OpenDrawing(number, name, row ? row->PAPX.value_or(0) : 0,
                               row ? row->PAPY.value_or(0) : 0);
    notice(QString());
}

void TForm12::Button9Click()
{
    const int number = SelectedDrawing();
    if (number <= 0)
        return;
    const QString drawing = QStringLiteral("CAD図面データ「") + SG1->Cell(1, SG1->Row())
                            + QStringLiteral("」(N:") + QString::number(number) + u')';
    if (!context.messages.AskYesNo(drawing + QStringLiteral("を削除します。よろしいですか？")))
        return;
    // The register row stays listed, so only the status bar can tell that it worked.
    StatusBar1->clearMessage();
    if (DropDrawingTables(context.db, number))
        StatusBar1->showMessage(drawing + QStringLiteral("を削除しました"));
    else
        context.messages.Show(QStringLiteral("削除失敗"));
    Button4Click();
}
