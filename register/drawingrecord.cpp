#include "register/drawingrecord.h"

#include "base/settings.h"
#include "base/ui.h"
#include "base/values.h"
#include "db/database.h"
#include "db/registerrows.h"
#include "db/schema.h"
#include "master/chooser.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextDocument>

namespace {

// Which edit shows which text of the register row, and which chooser which member.
struct TextField
{
    QString DrawingRow::*field;
    int edit;
};
constexpr TextField TextFields[] = {
    {&DrawingRow::ZNAME, 2},  {&DrawingRow::ZUMENN, 3}, {&DrawingRow::MTITLE, 4},
    {&DrawingRow::STITLE, 5}, {&DrawingRow::MEMO1, 6},  {&DrawingRow::MEMO2, 7},
    {&DrawingRow::MEMO3, 8},  {&DrawingRow::DDATE, 11}, {&DrawingRow::UDATE, 12},
    {&DrawingRow::KDATE, 13}, {&DrawingRow::ADATE, 14}, {&DrawingRow::PDATE, 15},
    {&DrawingRow::RDATE, 16}};
struct MemberField
{
    std::optional<int> DrawingRow::*field;
    int chooser;
};
constexpr MemberField MemberFields[] = {{&DrawingRow::MN, 2},
                                    {&DrawingRow::KN, 3},
                                    {&DrawingRow::AN, 4},
                                    {&DrawingRow::PN, 5},
                                    {&DrawingRow::RN, 6}};

QString numberText(const std::optional<int> &n)
{
    return n ? QString::number(*n) : QString();
}

} // namespace

TForm10::TForm10(AppContext &context, WindowOpener::RecordMode mode, int drawingNo,
                 QWidget *parent)
    : QWidget(parent), context(context), mode(mode), startNumber(drawingNo)
{
    setObjectName(QStringLiteral("Form10"));
    setWindowTitle(IsNew() ? QStringLiteral("CAD図面一覧 新規作成")
                           : QStringLiteral("CAD図面一覧 編集"));
    setAttribute(Qt::WA_DeleteOnClose);
    setFixedSize(497, 446);
    Panel1 = new QFrame(this);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->setAutoFillBackground(true);
    QPalette panel = Panel1->palette();
    panel.setColor(QPalette::Window, QColor(235, 235, 235));
    Panel1->setPalette(panel);
    Place(Panel1, 4, 4, 489, 404);

    auto label = [this](const QString &text, int x, int y) {
        AddLabel(Panel1, QString(), text, x, y + 3);
    };
    auto edit = [this](int n, int x, int y, int w, int bytes, bool number) {
        QLineEdit *e = AddEdit(Panel1, QStringLiteral("Edit%1").arg(n), x, y, w);
        LimitBytes(e, bytes);
        if (number)
            NoInputMethod(e);
        Edit[n] = e;
    };
    auto combo = [this](int n, int x, int y, int w) {
        ComboBox[n] = AddComboBox(Panel1, QStringLiteral("ComboBox%1").arg(n), x, y, w);
    };
    auto button = [](QWidget *owner, const QString &text, int x, int y, int w) {
        QPushButton *b = AddButton(owner, QString(), text, x, y, w, 23);
        b->setAutoDefault(false);
        return b;
    };
    Edit[0] = nullptr;
    ComboBox[0] = nullptr;

    label(QStringLiteral("番号"), 8, 6);
    edit(1, 80, 6, 80, 8, true);
    Edit[1]->setFocusPolicy(Qt::ClickFocus);
    Button4 = button(Panel1, QStringLiteral("データ参照(&R)"), 170, 5, 110);
    const QString titles[] = {QStringLiteral("図面名称"), QStringLiteral("図番"),
                              QStringLiteral("表題"), QStringLiteral("副題"),
                              QStringLiteral("メモ")};
    for (int i = 0; i < 7; ++i) {
        if (i < 5)
            label(titles[i], 8, 32 + 24 * i);
        edit(2 + i, 80, 32 + 24 * i, 400, 80, false);
    }
    label(QStringLiteral("用紙サイズ"), 8, 200);
    combo(1, 80, 200, 100);
    for (int i = 0; i < PaperSizeCount; ++i)
        ComboBox[1]->addItem(GetPaperSize(i).name);
    label(QStringLiteral("横"), 196, 200);
    edit(9, 214, 200, 64, 8, true);
    label(QStringLiteral("mm"), 282, 200);
    label(QStringLiteral("縦"), 310, 200);
    edit(10, 328, 200, 64, 8, true);
    label(QStringLiteral("mm"), 396, 200);

    const QString people[] = {QStringLiteral("製図者"), QStringLiteral("検図者"),
                              QStringLiteral("承認者"), QStringLiteral("出図者"),
                              QStringLiteral("改訂者")};
    const QString dates[] = {QStringLiteral("作成日付"), QStringLiteral("更新日付"),
                             QStringLiteral("検図日付"), QStringLiteral("承認日付"),
                             QStringLiteral("出図日付"), QStringLiteral("改訂日付")};
    const int rowTop[] = {226, 274, 298, 322, 346};
    for (int i = 0; i < 5; ++i) {
        label(people[i], 8, rowTop[i]);
        combo(2 + i, 80, rowTop[i], 150);
        NoInputMethod(ComboBox[2 + i]);
    }
    const int dateTop[] = {226, 250, 274, 298, 322, 346};
    for (int i = 0; i < 6; ++i) {
        label(dates[i], 236, dateTop[i]);
        edit(11 + i, 300, dateTop[i], 80, 8, true);
        QLineEdit *e = Edit[11 + i];
        OnDoubleClick(e, [e] { e->setText(TodayText()); });
    }
    Button5 = button(Panel1, QStringLiteral("検図OK(&K)"), 390, 273, 90);
    Button6 = button(Panel1, QStringLiteral("承認OK(&A)"), 390, 297, 90);
    Button7 = button(Panel1, QStringLiteral("出図OK(&P)"), 390, 321, 90);
    Button8 = button(Panel1, QStringLiteral("改訂OK(&R)"), 390, 345, 90);
    label(QStringLiteral("改訂履歴"), 8, 370);
    Memo1 = new QPlainTextEdit(Panel1);
    Memo1->setObjectName(QStringLiteral("Memo1"));
    Memo1->setReadOnly(true);
    Memo1->setLineWrapMode(QPlainTextEdit::NoWrap);
    Memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    QPalette memo = Memo1->palette();
    memo.setColor(QPalette::Base, QColor(219, 219, 219));
    Memo1->setPalette(memo);
    // Several revision lines at a glance, as a memo should show them.
    const int memoHeight = 4 * Memo1->fontMetrics().lineSpacing() + 2 * Memo1->frameWidth()
                           + 2 * int(Memo1->document()->documentMargin());
    Place(Memo1, 80, 372, 300, memoHeight);
    Button9 = button(Panel1, QStringLiteral("編集"), 390, 373, 90);
    const int grown = std::max(0, memoHeight - 28);
    Panel1->resize(Panel1->width(), Panel1->height() + grown);
    setFixedSize(width(), height() + grown);

    Button1 = button(this, QStringLiteral("登　録(&S)"), 8, 414 + grown, 156);
    Button2 = button(this, QStringLiteral("クリア(&C)"), 170, 414 + grown, 156);
    Button3 = button(this, QStringLiteral("閉じる(&X)"), 332, 414 + grown, 157);
    QPushButton *const all[] = {Button1, Button2, Button3, Button4, Button5,
                                Button6, Button7, Button8, Button9};
    for (int i = 0; i < 9; ++i)
        all[i]->setObjectName(QStringLiteral("Button%1").arg(i + 1));

    OnDoubleClick(Edit[1], [this] { Edit1DblClick(); });
    connect(Button4, &QPushButton::clicked, this, &TForm10::Button4Click);
    connect(ComboBox[1], &QComboBox::activated, this, &TForm10::ComboBox1Select);
    connect(Button5, &QPushButton::clicked, this, &TForm10::Button5Click);
    connect(Button6, &QPushButton::clicked, this, &TForm10::Button6Click);
    connect(Button7, &QPushButton::clicked, this, &TForm10::Button7Click);
    connect(Button8, &QPushButton::clicked, this, &TForm10::Button8Click);
    connect(Button9, &QPushButton::clicked, this, &TForm10::Button9Click);
    connect(Button1, &QPushButton::clicked, this, &TForm10::Button1Click);
    connect(Button2, &QPushButton::clicked, this, &TForm10::Button2Click);
    connect(Button3, &QPushButton::clicked, this, &TForm10::Button3Click);
}

void TForm10::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    if (!shown) {
        shown = true;
        FormShow();
    }
}

void TForm10::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        Button1Click();
        return;
    }
    if (event->key() == Qt::Key_Escape) {
        Button3Click();
        return;
    }
    QWidget::keyPressEvent(event);
}

void TForm10::FormShow()
{
    for (int i = 2; i <= 6; ++i) {
        ComboBox[i]->clear();
        LoadChooser(context.db, ComboBox[i], QStringLiteral("MEMBER"), QStringLiteral("PNAME"),
                    true);
    }
    if (!context.db.TableExists(QStringLiteral("CADREV")))
        CreateCadRevTable(context.db);
    Button2Click();
    if (IsNew()) {
        Edit1DblClick();
        Edit[2]->setFocus();
        return;
    }
    Edit[1]->clear();
    Edit[1]->setFocus();
    if (startNumber > 0) {
        Edit[1]->setText(QString::number(startNumber));
        Button4Click();
    }
}

void TForm10::Edit1DblClick()
{
    const qint32 max = StrToIntZ(context.db.SqlSelectMax(QStringLiteral("CADLIST"),
                                                         QStringLiteral("N"), QString()));
    if (max == INT_MAX) {
        context.messages.Show(QStringLiteral("登録失敗"));
        return;
    }
    Edit[1]->setText(QString::number(max + 1));
}

void TForm10::Button4Click()
{
    const int number = StrToIntZ(Edit[1]->text());
    if (number <= 0) {
        Edit[1]->clear();
        Edit[1]->setFocus();
        return;
    }
    const std::optional<DrawingRow> row = ReadDrawingRow(context.db, number);
    if (row)
        ShowRow(*row);
    else
        Button2Click();
    KeepStamps();
    RefillMemo(number);
    Edit[2]->setFocus();
}

void TForm10::ShowRow(const DrawingRow &row)
{
    Edit[1]->setText(QString::number(row.N));
    for (const TextField &f : TextFields)
        Edit[f.edit]->setText(row.*f.field);
    const int paper = row.PAPER.value_or(0);
    ComboBox[1]->setCurrentIndex(paper < 0 || paper >= PaperSizeCount ? 0 : paper);
    Edit[9]->setText(row.PAPX ? FloatText(*row.PAPX) : QString());
    Edit[10]->setText(row.PAPY ? FloatText(*row.PAPY) : QString());
    for (const MemberField &f : MemberFields)
        ChooseNumber(ComboBox[f.chooser], (row.*f.field).value_or(0));
}

DrawingRow TForm10::RowToWrite(int number) const
{
    DrawingRow row;
    row.N = number;
    for (const TextField &f : TextFields)
        row.*f.field = Edit[f.edit]->text();
    row.PAPER = ComboBox[1]->currentIndex();
    row.PAPX = StrToFloatZ(Edit[9]->text());
    row.PAPY = StrToFloatZ(Edit[10]->text());
    for (const MemberField &f : MemberFields)
        row.*f.field = ChosenNumber(ComboBox[f.chooser]);
    return row;
}

void TForm10::RefillMemo(int number)
{
    Memo1->clear();
    QStringList lines;
    for (const RevisionRow &r : ReadRevisionRows(context.db, number, QStringLiteral("N")))
        lines << r.RDATE + u'(' + numberText(r.RN) + QStringLiteral("):") + r.CONT;
    Memo1->setPlainText(lines.join(u'\n'));
}

void TForm10::ComboBox1Select(int index)
{
    if (index <= 0)
        return;
    const PaperSize paper = GetPaperSize(index);
    Edit[9]->setText(FloatText(paper.width));
    Edit[10]->setText(FloatText(paper.height));
}

void TForm10::Stamp(QComboBox *chooser, QLineEdit *date)
{
    const Settings &s = context.settings;
    const QString item = QString::number(s.PcUserNo) + u':' + s.PcUserName;
    chooser->setCurrentIndex(0);
    for (int i = 0; i < chooser->count(); ++i) {
        if (chooser->itemText(i).compare(item, Qt::CaseInsensitive) == 0) {
            chooser->setCurrentIndex(i);
            break;
        }
    }
    date->setText(TodayText());
}

void TForm10::Button5Click()
{
    Stamp(ComboBox[3], Edit[13]);
}

void TForm10::Button6Click()
{
    Stamp(ComboBox[4], Edit[14]);
}

void TForm10::Button7Click()
{
    Stamp(ComboBox[5], Edit[15]);
}

void TForm10::Button8Click()
{
    const RevisionRow latest = ReadRevisionRows(context.db, StrToIntZ(Edit[1]->text()),
                                                QStringLiteral("RDATE DESC,N DESC"))
                                   .value(0);
    ChooseNumber(ComboBox[6], latest.RN.value_or(0));
    Edit[16]->setText(latest.RDATE);
}

void TForm10::Button9Click()
{
    const int number = StrToIntZ(Edit[1]->text());
    context.opener.OpenRevisions(number);
    RefillMemo(number);
}

bool TForm10::CheckInput(int number)
{
    if (number < 1) {
        Edit[1]->clear();
        Edit[1]->setFocus();
        return false;
    }
    const bool exists = context.db.SqlSelectPairs(QStringLiteral("CADLIST"), QStringLiteral("N"),
                                                  QString(), number);
    if (IsNew() && exists) {
        context.messages.Show(QStringLiteral("指定した番号は既に存在します。再入力して下さい。"));
        Edit[1]->setFocus();
        return false;
    }
    if (!IsNew() && !exists) {
        context.messages.Show(QStringLiteral("指定した番号は存在しません。再入力して下さい。"));
        Edit[1]->setFocus();
        return false;
    }
    for (int i = 11; i <= 16; ++i) {
        if (!Edit[i]->text().isEmpty() && !IsValidDate(Edit[i]->text())) {
            context.messages.Show(DateMessage());
            Edit[i]->setFocus();
            return false;
        }
    }
    for (int i = 2; i <= 16; ++i) {
        if (HasQuote(Edit[i]->text())) {
            context.messages.Show(QStringLiteral("引用符「'」「\"」を入力しないで下さい"));
            Edit[i]->setFocus();
            return false;
        }
    }
    return true;
}

void TForm10::Button1Click()
{
    const int number = StrToIntZ(Edit[1]->text());
    if (!CheckInput(number))
        return;
    DrawingRow row = RowToWrite(number);
    // Kept so on this PC: a new drawing is dated by its registration.
    const bool dated = IsNew() && context.settings.AutoRegisterDates && row.DDATE.isEmpty();
    if (dated)
        row.DDATE = TodayText();
    const bool ok =
        IsNew() ? InsertDrawingRow(context.db, row) : UpdateDrawingRow(context.db, row);
    if (ok && dated)
        Edit[11]->setText(row.DDATE);
    if (ok)
        KeepStamps();
    context.messages.Show(ok ? QStringLiteral("CAD図面一覧データを登録しました")
                             : QStringLiteral("CAD図面一覧データが登録出来ませんでした"));
}

void TForm10::Button2Click()
{
    for (int i = 1; i <= 16; ++i)
        Edit[i]->clear();
    for (int i = 1; i <= 6; ++i)
        ComboBox[i]->setCurrentIndex(0);
    Memo1->clear();
    KeepStamps();
}

void TForm10::Button3Click()
{
    close();
}

QStringList TForm10::StampValues() const
{
    QStringList values;
    for (int i = 0; i < 3; ++i)
        values << ComboBox[3 + i]->currentText() << Edit[13 + i]->text();
    return values;
}

void TForm10::KeepStamps()
{
    keptStamps = StampValues();
}

QStringList TForm10::UnstoredStamps() const
{
    static const char16_t *const names[3] = {u"検図", u"承認", u"出図"};
    const QStringList now = StampValues();
    QStringList changed;
    for (int i = 0; i < 3; ++i) {
        if (keptStamps.size() == now.size()
            && (now[2 * i] != keptStamps[2 * i] || now[2 * i + 1] != keptStamps[2 * i + 1]))
            changed << QString::fromUtf16(names[i]);
    }
    return changed;
}

void TForm10::closeEvent(QCloseEvent *event)
{
    // A stamp is a signature: it is not dropped without a word. The program ended from
    // outside asks nobody.
    const QStringList stamps = UnstoredStamps();
    if (!stamps.isEmpty() && !context.Ending
        && !context.messages.AskYesNo(stamps.join(u'・')
                                      + QStringLiteral("の押印が登録されていません。\n"
                                                       "登録せずに閉じてよろしいですか？"))) {
        event->ignore();
        return;
    }
    QWidget::closeEvent(event);
}
