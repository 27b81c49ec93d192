#include "base/globals.h"
#include "base/grid.h"
#include "app/mainwindow.h"
#include "base/messages.h"
#include "base/ui.h"
#include "base/values.h"
#include "db/schema.h"
#include "master/chooser.h"
#include "register/drawinglist.h"
#include "editor/editorwindow.h"
#include "register/drawingrecord.h"
#include "register/drawingset.h"
#include "register/revisions.h"
#include "db/presence.h"
#include "support/testdb.h"

#include <QAction>
#include <QComboBox>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStatusBar>
#include <QThread>
#include <QPointer>
#include <QtTest>

#include <algorithm>

class TestRegister : public QObject
{
    Q_OBJECT

private slots:
    void revisionHistory();
    void recordNewMode();
    void recordChecks();
    void recordEditModeAndStamps();
    void unstoredStampAsked();
    void listPaging();
    void listFilter();
    void listNamesWhoIsIn();
    void openingCreatesTableSet();
    void deletingContents();
    void twoPcsOpenNewDrawing();
    void windowsOnTheirContext();
};

namespace {

constexpr auto recordForms = &ChildWindows<TForm10>;
constexpr auto editors = &ChildWindows<TForm13>;

// The row counts of a drawing's layer, colour, line type and variable tables.
QString setCounts(Database &db, int n)
{
    QStringList parts;
    for (const char *t : {"LAYER_", "COLOR_", "LTYPE_", "VAR_"})
        parts << QStringLiteral("(SELECT COUNT(*) FROM %1%2)").arg(t).arg(n);
    return QueryValue(db, parts.join(" || '/' || "), "RDB$DATABASE");
}

const QString Registered = QStringLiteral("CAD図面一覧データを登録しました");
const QString Quotes = QStringLiteral("引用符「'」「\"」を入力しないで下さい");
const QString Taken = QStringLiteral("指定した番号は既に存在します。再入力して下さい。");

// The list the menu opens; null when none opened.
TForm12 *openList()
{
    Main()->mnuCadList->trigger();
    return ChildWindows<TForm12>().value(ChildWindows<TForm12>().size() - 1);
}

// Members 2 山田 and 5 鈴木, this PC's user.
void addMembers(Database &db = Db(), Settings &settings = Config())
{
    QVERIFY(CreateMemberTable(db));
    QVERIFY(db.SqlInsertList("MEMBER", "N, SN, PNAME", QStringLiteral("2, 0, '山田'")));
    QVERIFY(db.SqlInsertList("MEMBER", "N, SN, PNAME", QStringLiteral("5, 0, '鈴木'")));
    settings.PcUserNo = 5;
    settings.PcUserName = QStringLiteral("鈴木");
}

} // namespace

void TestRegister::revisionHistory()
{
    MessageRecorder messages;
    ProgramFixture p;
    addMembers();
    QVERIFY(CreateCadRevTable(Db()));
    for (const char *row : {"1, 5, 'a', 2, '20100101'", "2, 5, NULL, 0, NULL", "3, 6, 'c', 9, NULL"})
        QVERIFY(Db().SqlInsertList("CADREV", "N, ZN, CONT, RN, RDATE", row));
    TForm11 *f = Dialog<TForm11>();
    f->DrawingNo = 5;
    f->show();
    QCOMPARE(f->windowTitle(), QStringLiteral("改訂履歴内容の編集"));
    QCOMPARE(gridRows(f->SG1), QStringList({"1|a|2|20100101", "2||0|"}));
    QCOMPARE(f->ComboBox1->count(), 3);
    QTest::mouseDClick(f->Edit1, Qt::LeftButton);
    QCOMPARE(f->Edit1->text(), QString("4"));
    clickRow(f->SG1, 1);
    QCOMPARE(f->ComboBox1->currentText(), QStringLiteral("2:山田"));
    QCOMPARE(f->Edit3->text(), QString("20100101"));

    // Checks in order: the date, then quotes; change checks quotes before existence.
    f->Edit1->setText("4");
    f->Edit3->setText("20100230");
    f->Edit2->setText("x'");
    click(f->Button1);
    QCOMPARE(messages.last(), DateMessage());
    QCOMPARE(f->focusWidget(), f->Edit3);
    f->Edit3->clear();
    click(f->Button1);
    QCOMPARE(messages.last(), Quotes);
    click(f->Button4);
    QCOMPARE(messages.last(), Quotes);
    f->Edit2->setText(QStringLiteral("寸法変更"));
    click(f->Button4);
    QCOMPARE(messages.last(), QStringLiteral("入力した番号は未使用ですので変更は出来ません。再入力して下さい"));
    QTest::mouseDClick(f->Edit3, Qt::LeftButton);
    QCOMPARE(f->Edit3->text(), TodayText());
    f->ComboBox1->setCurrentIndex(2);
    click(f->Button1);
    QCOMPARE(messages.last(), QStringLiteral("登録OK"));
    QCOMPARE(QueryValue(Db(), "ZN || '/' || RN || '/' || RDATE", "CADREV", "N=4"),
             "5/5/" + TodayText());

    // A revision of another drawing moves here when changed from this dialog.
    f->Edit1->setText("3");
    f->Edit3->clear();
    f->Edit2->clear();
    click(f->Button4);
    QCOMPARE(messages.last(), QStringLiteral("変更OK"));
    QCOMPARE(QueryValue(Db(), "ZN || '/' || COALESCE(CONT, 'null')", "CADREV", "N=3"),
             QString("5/null"));
    QCOMPARE(gridRows(f->SG1).size(), 4);

    clickRow(f->SG1, 1);
    messages.answer(true);
    click(f->Button2);
    QCOMPARE(messages.texts.mid(messages.texts.size() - 2),
             QStringList({QStringLiteral("「No.1：a」を削除します。\r\nよろしいですか？"),
                          QStringLiteral("削除OK")}));
    QCOMPARE(gridRows(f->SG1).value(0), QString("2||0|"));
}

void TestRegister::recordNewMode()
{
    MessageRecorder messages;
    ProgramFixture p;
    addMembers();
    Main()->mnuCadNew->trigger();
    QCOMPARE(recordForms().size(), 1);
    TForm10 *f = recordForms().first();
    QCOMPARE(f->windowTitle(), QStringLiteral("CAD図面一覧 新規作成"));
    QVERIFY(Db().TableExists("CADREV"));
    QCOMPARE(f->Edit[1]->text(), QString("1"));
    QCOMPARE(f->ComboBox[2]->count(), 3);

    // Paper: a size fills the fields, the free size keeps them.
    for (int index : {11, 0}) {
        f->ComboBox[1]->setCurrentIndex(index);
        emit f->ComboBox[1]->activated(index);
        QCOMPARE(f->Edit[9]->text() + "x" + f->Edit[10]->text(), QString("210x297"));
    }
    f->Edit[9]->setText("297.50");
    f->Edit[10]->setText("abc");
    f->Edit[2]->setText(QStringLiteral("組立図"));
    f->ComboBox[2]->setCurrentIndex(1);
    QTest::mouseDClick(f->Edit[11], Qt::LeftButton);
    QCOMPARE(f->Edit[11]->text(), TodayText());
    click(f->Button1);
    QCOMPARE(messages.last(), Registered);
    QStringList row;
    QCOMPARE(Db().SqlSelectRow("*", "CADLIST", "N=1", row), 22);
    QCOMPARE(row.mid(0, 12), QStringList({"1", QStringLiteral("組立図"), "", "", "", "", "", "",
                                          "0", "297.5", "0", "2"}));
    QCOMPARE(QueryValue(Db(), "COUNT(*)", "CADLIST", "ZUMENN IS NULL AND MEMO3 IS NULL"),
             QString("1"));
    QCOMPARE(row[12], TodayText());

    // The same form again: the number is taken now.
    click(f->Button1);
    QCOMPARE(messages.last(), Taken);
    QCOMPARE(f->focusWidget(), f->Edit[1]);
    QTest::mouseDClick(f->Edit[1], Qt::LeftButton);
    QCOMPARE(f->Edit[1]->text(), QString("2"));

    // What the name edit lets through fits its 80-byte column.
    f->Edit[2]->clear();
    for (int i = 0; i < 50; ++i)
        f->Edit[2]->insert(QStringLiteral("図"));
    QCOMPARE(f->Edit[2]->text().size(), 40);
    click(f->Button1);
    QCOMPARE(messages.last(), Registered);
    f->close();
    QTRY_VERIFY(recordForms().isEmpty());

    // Two forms both propose 3; the second to register learns that it is taken.
    Main()->mnuCadNew->trigger();
    Main()->mnuCadNew->trigger();
    const QList<TForm10 *> forms = recordForms();
    QCOMPARE(forms.size(), 2);
    forms[0]->Edit[2]->setText("A");
    forms[1]->Edit[2]->setText("B");
    messages.clear();
    click(forms[0]->Button1);
    click(forms[1]->Button1);
    QCOMPARE(messages.texts, QStringList({Registered, Taken}));
    QCOMPARE(QueryValue(Db(), "ZNAME", "CADLIST", "N=3"), QString("A"));
}

void TestRegister::recordChecks()
{
    MessageRecorder messages;
    ProgramFixture p;
    Config().PcUserNo = 1;
    Main()->mnuCadNew->trigger();
    QVERIFY(!recordForms().isEmpty());
    TForm10 *f = recordForms().first();
    messages.clear();
    f->Edit[1]->setText("-3");
    click(f->Button1);
    QVERIFY(messages.texts.isEmpty());
    QCOMPARE(f->Edit[1]->text(), QString());
    QCOMPARE(f->focusWidget(), f->Edit[1]);

    for (int i = 11; i <= 16; ++i) {
        f->Edit[1]->setText("1");
        for (int j = 11; j <= 16; ++j)
            f->Edit[j]->setText(j == i ? "2010013" : "20100131");
        click(f->Button1);
        QCOMPARE(messages.last(), DateMessage());
        QCOMPARE(f->focusWidget(), f->Edit[i]);
    }
    for (int j = 11; j <= 16; ++j)
        f->Edit[j]->setText(j == 14 ? "19000229" : "");
    click(f->Button1);
    QCOMPARE(f->focusWidget(), f->Edit[14]);
    f->Edit[14]->clear();
    for (int i = 2; i <= 16; ++i) {
        for (int j = 2; j <= 10; ++j)
            f->Edit[j]->setText(j == i ? "a\"b" : "");
        for (int j = 11; j <= 16; ++j)
            f->Edit[j]->setText(j == i ? "'" : "");
        click(f->Button1);
        QCOMPARE(messages.last(), i >= 11 ? DateMessage() : Quotes);
        QCOMPARE(f->focusWidget(), f->Edit[i]);
    }
    QCOMPARE(QueryValue(Db(), "COUNT(*)", "CADLIST"), QString("0"));

    // データ参照 on a number without a row empties every field.
    f->Edit[1]->setText("0");
    click(f->Button4);
    QCOMPARE(f->Edit[1]->text(), QString());
    f->Edit[2]->setText("x");
    f->Edit[1]->setText("77");
    f->ComboBox[1]->setCurrentIndex(3);
    click(f->Button4);
    QCOMPARE(f->Edit[2]->text(), QString());
    QCOMPARE(f->ComboBox[1]->currentIndex(), 0);
}

void TestRegister::recordEditModeAndStamps()
{
    MessageRecorder messages;
    ProgramFixture p;
    addMembers();
    QVERIFY(CreateCadListTable(Db()));
    QVERIFY(Db().SqlInsertList("CADLIST", "N, ZNAME, PAPER, PAPX, MN, KN",
                               QStringLiteral("7, '配置図', 13, 1189.5, 2, 99")));
    Main()->mnuCadEdit->trigger();
    QVERIFY(!recordForms().isEmpty());
    TForm10 *f = recordForms().first();
    QCOMPARE(f->windowTitle(), QStringLiteral("CAD図面一覧 編集"));
    QCOMPARE(f->Edit[1]->text(), QString());
    QCOMPARE(f->focusWidget(), f->Edit[1]);

    f->Edit[1]->setText("8");
    click(f->Button1);
    QCOMPARE(messages.last(), QStringLiteral("指定した番号は存在しません。再入力して下さい。"));
    f->Edit[1]->setText("7");
    click(f->Button4);
    QCOMPARE(QStringList({f->Edit[2]->text(), f->ComboBox[1]->currentText(), f->Edit[9]->text(),
                          f->ComboBox[2]->currentText(), f->ComboBox[3]->currentText()}),
             QStringList({QStringLiteral("配置図"), QStringLiteral("任意"), "1189.5",
                          QStringLiteral("2:山田"), NoneEntry()}));
    QCOMPARE(f->focusWidget(), f->Edit[2]);

    // Stamps: the PC user and today; a name that no longer matches stamps the date only.
    auto stamp = [&](QPushButton *button, int field) {
        click(button);
        return f->ComboBox[field]->currentText() + u'/' + f->Edit[field + 10]->text();
    };
    QCOMPARE(stamp(f->Button5, 3), QStringLiteral("5:鈴木/") + TodayText());
    QCOMPARE(stamp(f->Button7, 5), QStringLiteral("5:鈴木/") + TodayText());
    Config().PcUserName = QStringLiteral("旧姓");
    QCOMPARE(stamp(f->Button6, 4), NoneEntry() + u'/' + TodayText());

    // 改訂OK: the latest date, then the highest number; the memo lists them all.
    for (const char *row : {"1, 7, 'first', 2, '20200101'", "3, 7, 'third', 5, '20200301'",
                            "2, 7, 'second', 2, '20200301'", "4, 8, 'other', 2, '20300101'"})
        QVERIFY(Db().SqlInsertList("CADREV", "N, ZN, CONT, RN, RDATE", row));
    QCOMPARE(stamp(f->Button8, 6), QStringLiteral("5:鈴木/20200301"));
    click(f->Button1);
    QCOMPARE(messages.last(), Registered);
    QCOMPARE(QueryValue(Db(), "KN || '/' || AN || '/' || RN || '/' || RDATE", "CADLIST", "N=7"),
             QString("5/0/5/20200301"));
    click(f->Button4);
    QCOMPARE(f->Memo1->toPlainText(),
             QString("20200101(2):first\n20200301(2):second\n20200301(5):third"));

    // The revision history dialog edits this drawing's revisions, the memo follows.
    int shownFor = 0;
    whenShown(Dialog<TForm11>(), [&] {
        shownFor = Dialog<TForm11>()->DrawingNo;
        Db().SqlDelete("CADREV", "N=1");
    });
    click(f->Button9);
    QCOMPARE(shownFor, 7);
    QCOMPARE(f->Memo1->toPlainText(), QString("20200301(2):second\n20200301(5):third"));

    click(f->Button2);
    QVERIFY(f->Edit[2]->text().isEmpty() && f->Memo1->toPlainText().isEmpty());
    QVERIFY(!f->IsNew());
}

void TestRegister::unstoredStampAsked()
{
    MessageRecorder messages;
    ProgramFixture p;
    addMembers();
    QVERIFY(CreateCadListTable(Db()));
    QVERIFY(Db().SqlInsertList("CADLIST", "N, ZNAME, PAPER", QStringLiteral("7, '配置図', 4")));
    Main()->OpenRecordForm(WindowOpener::RecordMode::Edit, 7);
    QCOMPARE(recordForms().size(), 1);
    QPointer<TForm10> f = recordForms().first();
    QCOMPARE(f->Edit[2]->text(), QStringLiteral("配置図"));

    // Loaded and untouched, or only the title typed: no question.
    f->Edit[4]->setText(QStringLiteral("表題"));
    QVERIFY(f->UnstoredStamps().isEmpty());

    // A stamp not registered: closing asks; No keeps the form with its stamp.
    click(f->Button5);
    click(f->Button7);
    QCOMPARE(f->UnstoredStamps(), QStringList({QStringLiteral("検図"), QStringLiteral("出図")}));
    messages.answer(false);
    click(f->Button3);
    QCOMPARE(messages.last(), QStringLiteral("検図・出図の押印が登録されていません。\n"
                                             "登録せずに閉じてよろしいですか？"));
    QVERIFY(f);
    QVERIFY(f->isVisible());
    QCOMPARE(f->Edit[13]->text(), TodayText());
    // The main window stays too, rather than drop it.
    messages.answer(false);
    Main()->close();
    QVERIFY(Main()->isVisible());
    QVERIFY(Db().DatabaseConnected());
    QVERIFY(f);

    // Registered, the form closes without a word and the stamps are stored.
    click(f->Button1);
    QCOMPARE(messages.last(), Registered);
    QCOMPARE(QueryValue(Db(), "KN || '/' || KDATE || '/' || PN", "CADLIST", "N=7"),
             QStringLiteral("5/") + TodayText() + QStringLiteral("/5"));
    const int asked = messages.texts.size();
    click(f->Button6);
    messages.answer(true);
    QTest::keyClick(f, Qt::Key_Escape);
    QCOMPARE(messages.texts.size(), asked + 1);
    QTRY_VERIFY(!f);
}

namespace {

// Drawings whose names, codes and dates sort differently from their numbers; false on failure.
bool fillRegister(Database &db, int count)
{
    // One transaction for them all: a commit per row would cost most of the test's time.
    if (!(db.TableExists("CADLIST") || CreateCadListTable(db)) || !db.StartTransaction())
        return false;
    auto text = [](bool present, const QString &value) {
        return present ? "'" + value + "'" : QStringLiteral("NULL");
    };
    for (int n = 1; n <= count; ++n) {
        const QStringList values = {
            QString::number(n), text(true, QStringLiteral("name%1").arg((n * 37) % 11)),
            text(n % 3, QStringLiteral("code%1").arg(n % 5)),
            text(true, QStringLiteral("title%1").arg((n * 13) % 7)), "'sub'",
            text(n % 4, QStringLiteral("memo%1").arg(n % 9)), QString::number(n % 14),
            text(n % 2, QString::number(20200101 + (n * 7) % 28)),
            text(true, QString::number(20190101 + n % 20)),
            text(true, QString::number(20180101 + (n * 3) % 17)), text(n % 5, "20170101"),
            text(n % 6, "2016010" + QString::number(n % 7 + 1)),
            text(true, "2015" + QString::number(1001 + n % 3)), text(n % 2 == 0, "20140101"),
            text(true, "2013" + QString::number(1010 + n % 11))};
        if (!db.SqlInsertNoCommit("CADLIST",
                                  "N, ZNAME, ZUMENN, MTITLE, STITLE, MEMO1, PAPER, DDATE, "
                                  "UDATE, KDATE, ADATE, PDATE, RDATE, MEMO2, MEMO3",
                                  values.join(", "))) {
            qWarning() << db.LastError();
            db.RollbackTransaction();
            return false;
        }
    }
    return db.CommitTransaction();
}

QStringList firstColumn(const StringGrid *grid)
{
    QStringList numbers;
    for (int r = 1; r < grid->RowCount(); ++r)
        numbers << grid->Cell(0, r);
    while (!numbers.isEmpty() && numbers.last().isEmpty())
        numbers.removeLast();
    return numbers;
}

QStringList range(int from, int to)
{
    QStringList r;
    for (int i = from; i <= to; ++i)
        r << QString::number(i);
    return r;
}

} // namespace

void TestRegister::listPaging()
{
    MessageRecorder messages;
    ProgramFixture p;
    Config().PcUserNo = 1;
    TForm12 *l = openList();
    QVERIFY(l);
    QCOMPARE(l->SG1->RowCount(), 101);
    QVERIFY(firstColumn(l->SG1).isEmpty());
    // No widths kept on this PC: every header and a date or a dozen-character name whole.
    const QFontMetrics m = l->SG1->fontMetrics();
    for (int c = 0; c < 13; ++c) {
        const QString header = l->SG1->Cell(c, 0);
        QVERIFY2(l->SG1->columnWidth(c) >= m.horizontalAdvance(header) + 8, qPrintable(header));
    }
    QVERIFY(l->SG1->columnWidth(1) >= m.horizontalAdvance(QStringLiteral("北棟二階配管系統図改")));
    QVERIFY(l->SG1->columnWidth(7) >= m.horizontalAdvance(QStringLiteral("20261207")) + 8);
    click(l->Button3);
    QVERIFY(firstColumn(l->SG1).isEmpty());
    click(l->Button7);
    QVERIFY(recordForms().isEmpty());
    l->close();

    QVERIFY(fillRegister(Db(), 150));
    l = openList();
    QVERIFY(l);
    QCOMPARE(firstColumn(l->SG1), range(1, 100));
    QCOMPARE(l->SG1->RowCells(4).mid(0, 7),
             QStringList({"4", "name5", "code4", "title3", "sub", "", QStringLiteral("A3横")}));
    QCOMPARE(l->SG1->Cell(6, 14), QStringLiteral("任意"));
    click(l->Button3);
    QCOMPARE(firstColumn(l->SG1), range(101, 150));
    QCOMPARE(l->SG1->Cell(1, 51), QString());
    for (int i = 0; i < 2; ++i) {
        click(l->Button3);
        QVERIFY(firstColumn(l->SG1).isEmpty());
    }
    QCOMPARE(l->PageStart(), 151);
    click(l->Button2);
    QCOMPARE(firstColumn(l->SG1), range(51, 150));
    click(l->Button1);
    click(l->Button2);
    QCOMPARE(firstColumn(l->SG1), range(1, 100));
    QVERIFY(messages.texts.isEmpty());

    // Window and column sizes are kept for the next list.
    l->SG1->setColumnWidth(3, 99);
    const int dateWidth = l->SG1->columnWidth(7);
    l->close();
    QCOMPARE(Config().ListColumns[3], 99);
    l = openList();
    QVERIFY(l);
    QCOMPARE(l->SG1->columnWidth(3), 99);
    QCOMPARE(l->SG1->columnWidth(7), dateWidth);

    // Every order computed here from the rows themselves, NULL below every text.
    QList<QStringList> rows = Db().SelectRows("*", "CADLIST", "", "");
    const int keys[] = {0, 1, 2, 3, 5, 12, 13, 15, 17, 19, 21};
    for (int index = 0; index < 22; ++index) {
        const int key = keys[index / 2];
        const bool down = index % 2 == 1;
        std::sort(rows.begin(), rows.end(), [&](const QStringList &a, const QStringList &b) {
            auto value = [&](const QStringList &r) {
                const bool isNull = key != 0 && r[key].isEmpty();
                return std::make_tuple(!isNull, key == 0 ? r[0].toInt() : 0, r[key],
                                       r[0].toInt());
            };
            return down ? value(b) < value(a) : value(a) < value(b);
        });
        QStringList expected, rest;
        for (int i = 0; i < 150; ++i)
            (i < 100 ? expected : rest) << rows[i][0];
        l->ComboBox1->setCurrentIndex(index);
        emit l->ComboBox1->activated(index);
        QCOMPARE(firstColumn(l->SG1), expected);
        // The next page, continued from this page's last row, and the one after it.
        click(l->Button3);
        QCOMPARE(firstColumn(l->SG1), rest);
        click(l->Button3);
        QVERIFY(firstColumn(l->SG1).isEmpty());
        click(l->Button2);
        QCOMPARE(firstColumn(l->SG1), expected.mid(50) + rest);
    }
}

void TestRegister::listFilter()
{
    ProgramFixture p;
    Config().PcUserNo = 1;
    QVERIFY(CreateCadListTable(Db()));
    QVERIFY(Db().SqlInsertList("CADLIST", "N, ZNAME", "1, 'O''Brien house'"));
    QVERIFY(Db().SqlInsertList("CADLIST", "N, ZNAME", "2, 'Obrien'"));
    QVERIFY(Db().SqlInsertList("CADLIST", "N, ZNAME, DDATE", "3, 'x', '20200101'"));
    TForm12 *l = openList();
    QVERIFY(l);
    auto filter = [&](const QString &text, int field) {
        l->Edit1->setText(text);
        l->ComboBox2->setCurrentIndex(field);
        emit l->ComboBox2->activated(field);
        return firstColumn(l->SG1);
    };
    QCOMPARE(filter("O'Brien", 1), QStringList({"1"}));
    QCOMPARE(filter("'; DELETE FROM CADLIST; --", 1), QStringList());
    QCOMPARE(QueryValue(Db(), "COUNT(*)", "CADLIST"), QString("3"));
    QCOMPARE(filter("2020", 6), QStringList({"3"}));
    // The filter stays across paging; an empty text or "（無し）" removes it.
    l->Edit1->setText("zzz");
    click(l->Button4);
    QCOMPARE(firstColumn(l->SG1), QStringList({"3"}));
    QCOMPARE(filter("", 1), QStringList({"1", "2", "3"}));
    QCOMPARE(filter("x", 0), QStringList({"1", "2", "3"}));
    QCOMPARE(DrawingListFilter(2, "a'b"), QString("ZUMENN LIKE '%a''b%'"));
    DrawingRow last;
    last.N = 5;
    last.ZNAME = "O'B";
    QCOMPARE(DrawingListAfter("ZNAME DESC,N DESC", last),
             QString("(ZNAME<'O''B' OR (ZNAME='O''B' AND N<5) OR ZNAME IS NULL)"));
    QCOMPARE(DrawingListAfter("MEMO1,N", last), QString());
}

void TestRegister::listNamesWhoIsIn()
{
    MessageRecorder messages;
    ProgramFixture p;
    addMembers();
    QVERIFY(fillRegister(Db(), 3));
    TForm12 *l = openList();
    QVERIFY(l);
    clickRow(l->SG1, 2);
    const int drawing = l->SelectedDrawing();
    QVERIFY(drawing > 0);
    QVERIFY(PublishPresence(Db(), "pc-b", 2, drawing, 10, 10, true));
    QVERIFY(PublishPresence(Db(), "pc-c", 99, drawing, 10, 10, false));
    clickRow(l->SG1, 1);
    QVERIFY(l->StatusBar1->currentMessage().isEmpty());
    clickRow(l->SG1, 2);
    QCOMPARE(l->StatusBar1->currentMessage(), QStringLiteral("この図面を開いている人：山田、99"));
    QVERIFY(RemovePresence(Db(), "pc-b") && RemovePresence(Db(), "pc-c"));
    clickRow(l->SG1, 1);
    clickRow(l->SG1, 2);
    QVERIFY(l->StatusBar1->currentMessage().isEmpty());

    // 編集 opens the record form on the row's drawing; on a blank row, nothing.
    clickRow(l->SG1, 5);
    click(l->Button7);
    QVERIFY(recordForms().isEmpty());
    clickRow(l->SG1, 2);
    click(l->Button7);
    QCOMPARE(recordForms().size(), 1);
    TForm10 *f = recordForms().first();
    QVERIFY(!f->IsNew());
    QCOMPARE(f->Edit[1]->text() + u'/' + f->Edit[2]->text(), QString("2/name8"));
    QVERIFY(messages.texts.isEmpty());
}

void TestRegister::openingCreatesTableSet()
{
    MessageRecorder messages;
    ProgramFixture p;
    Config().PcUserNo = 1;
    QVERIFY(CreateCadListTable(Db()));
    QVERIFY(Db().SqlInsertList("CADLIST", "N, ZNAME, PAPX, PAPY", "12, 'ABC', 420, 297"));
    TForm12 *l = openList();
    QVERIFY(l);
    clickRow(l->SG1, 2); // blank
    click(l->Button8);
    QVERIFY(editors().isEmpty());
    QVERIFY(!Db().TableExists("LAYER_12"));

    clickRow(l->SG1, 1);
    QTest::mouseDClick(l->SG1->viewport(), Qt::LeftButton, {},
                       l->SG1->visualItemRect(l->SG1->item(0, 0)).center());
    QCOMPARE(editors().size(), 1);
    TForm13 *e = editors().first();
    QCOMPARE(e->windowTitle(), QStringLiteral("CAD － ABC (N:12)"));
    QCOMPARE(QSizeF(e->PaperWidth, e->PaperHeight), QSizeF(420, 297));
    QVERIFY(l->StatusBar1->currentMessage().isEmpty());
    QVERIFY(Db().TableExists("WORKDISPLAY"));
    for (const QString &t : DrawingTables(12))
        QVERIFY2(Db().TableExists(t), qPrintable(t));
    Database &db = Db();
    QCOMPARE(setCounts(db, 12), QString("256/255/32/1"));
    QCOMPARE(QueryValue(db, "COUNT(*)", "VAR_12", "N=1 AND OPN=0"), QString("1"));
    QCOMPARE(QueryValue(db, "COUNT(*)", "ENTITY_12"), QString("0"));
    // Defaults: a plain layer, an unnamed and a named colour, an unused and a dashed type.
    const QString defaults[][4] = {
        {"LNAME || VISI || PRN || COL || LTP || WID", "LAYER_12", "N=0", "LAYER_0111118"},
        {"SCL", "LAYER_12", "N=0", "1"},
        {"CNAME || '/' || COL", "COLOR_12", "N=17", "COLOR_17/0"},
        {"CNAME || '/' || COL", "COLOR_12", "N=13", "lightblue/16744448"},
        {"SNAME || '/' || SN", "LTYPE_12", "N=16", "LTYPE_16/0"},
        {"SN || '/' || P1 || ',' || P2 || ',' || P9 || ',' || P10", "LTYPE_12", "N=15",
         "10/600,150,25,150"},
    };
    for (const auto &d : defaults)
        QCOMPARE(QueryValue(db, d[0], d[1], d[2]), d[3]);

    // A second opening writes nothing and opens a further editor.
    QVERIFY(Db().SqlUpdate("LAYER_12", 1, {"LNAME"}, {"'walls'"}, "N=3"));
    click(l->Button8);
    QCOMPARE(editors().size(), 2);
    QCOMPARE(QueryValue(db, "LNAME", "LAYER_12", "N=3"), QString("walls"));
    QCOMPARE(setCounts(db, 12), QString("256/255/32/1"));
    QVERIFY(messages.texts.isEmpty());

    // A register row that is gone opens with no paper.
    QVERIFY(Db().SqlDelete("CADLIST", "N=12"));
    click(l->Button8);
    QVERIFY(!editors().isEmpty());
    QCOMPARE(editors().last()->PaperWidth, 0.0);

    // An earlier opening stopped half-way: a layer table with a few rows, no colours.
    QVERIFY(CreateLayerTable(db, 3));
    QVERIFY(db.SqlInsertList("LAYER_3", "N, LNAME", "0, 'mine'"));
    QVERIFY(CreateVarTable(db, 3));
    for (int twice = 0; twice < 2; ++twice) {
        QVERIFY(EnsureDrawingTables(db, 3));
        QCOMPARE(setCounts(db, 3), QString("256/255/32/1"));
    }
    QCOMPARE(QueryValue(db, "LNAME", "LAYER_3", "N=0"), QString("mine"));
    QVERIFY(Db().TableExists("ENT_TEXT_3"));

    // A set that cannot be completed opens no editor; once the obstacle is gone it opens.
    messages.clear();
    const int opened = editors().size();
    QVERIFY(Db().SqlInsertList("CADLIST", "N, ZNAME", "20, 'X'"));
    QVERIFY(Db().ExecSqlLines({"CREATE VIEW COLOR_20 AS SELECT N FROM CADLIST"}));
    l = openList();
    QVERIFY(l);
    clickRow(l->SG1, 1);
    click(l->Button8);
    QCOMPARE(messages.texts, QStringList({QStringLiteral("CAD図面データが作成出来ませんでした")}));
    QCOMPARE(editors().size(), opened);
    QVERIFY(l->StatusBar1->currentMessage().isEmpty());
    QCOMPARE(QueryValue(db, "COUNT(*)", "LAYER_20"), QString("256"));
    // The list closed during the waits between attempts: nothing touches it afterwards.
    QPointer<TForm12> list(l);
    QTimer::singleShot(200, l, [l] { WindowFrame(l)->close(); });
    click(l->Button8);
    QTRY_VERIFY(list.isNull());
    QCOMPARE(messages.texts.size(), 1);

    QVERIFY(Db().ExecSqlLines({"DROP VIEW COLOR_20"}));
    l = openList();
    QVERIFY(l);
    clickRow(l->SG1, 1);
    click(l->Button8);
    QCOMPARE(editors().size(), opened + 1);
    QCOMPARE(setCounts(db, 20), QString("256/255/32/1"));
}

void TestRegister::deletingContents()
{
    MessageRecorder messages;
    ProgramFixture p;
    Config().PcUserNo = 1;
    QVERIFY(CreateCadListTable(Db()));
    QVERIFY(Db().SqlInsertList("CADLIST", "N, ZNAME", QStringLiteral("4, '平面図'")));
    QVERIFY(EnsureDrawingTables(Db(), 4));
    QVERIFY(Db().DropTable("ENT_ARC_4"));
    TForm12 *l = openList();
    QVERIFY(l);
    clickRow(l->SG1, 3);
    click(l->Button9);
    QVERIFY(messages.texts.isEmpty());
    clickRow(l->SG1, 1);
    messages.answer(false);
    click(l->Button9);
    QCOMPARE(messages.texts,
             QStringList({QStringLiteral("CAD図面データ「平面図」(N:4)を削除します。よろしいですか？")}));
    QVERIFY(Db().TableExists("LAYER_4"));
    QVERIFY(l->StatusBar1->currentMessage().isEmpty());
    messages.answer(true);
    click(l->Button9);
    for (const QString &t : DrawingTables(4))
        QVERIFY2(!Db().TableExists(t), qPrintable(t));
    QCOMPARE(messages.texts.size(), 2);
    // The row stays listed, so the status bar is what tells that it worked.
    QCOMPARE(l->StatusBar1->currentMessage(),
             QStringLiteral("CAD図面データ「平面図」(N:4)を削除しました"));
    QCOMPARE(l->SG1->Cell(0, 1), QString("4")); // the register row stays

    // A connection the server dropped on the way: nothing is reported as deleted.
    QVERIFY(EnsureDrawingTables(Db(), 5));
    Database other;
    other.ConnectDatabase(p.db.embeddedPath());
    QVERIFY(other.DatabaseConnected());
    QVERIFY(other.ExecSqlLines(
        {"DELETE FROM MON$ATTACHMENTS WHERE MON$ATTACHMENT_ID <> CURRENT_CONNECTION"}));
    QVERIFY(!DropDrawingTables(Db(), 5));
    QCOMPARE(QueryValue(other, "COUNT(*)", "LAYER_5"), QString("256"));
}

void TestRegister::twoPcsOpenNewDrawing()
{
    // Two PCs open drawing 9 at the same moment. A third holds its first default layer
    // uncommitted until both are writing their default rows into it.
    TestDb t;
    Database holder, watcher, pc1, pc2;
    QVERIFY(t.open(holder, true));
    for (Database *d : {&watcher, &pc1, &pc2}) {
        d->ConnectDatabase(t.serverPath());
        QVERIFY(d->DatabaseConnected());
    }
    QVERIFY(CreateWorkDisplayTable(holder));
    for (const QString &prefix : DrawingTablePrefixes())
        QVERIFY(CreateDrawingTable(holder, prefix, 9));
    QVERIFY(holder.StartTransaction());
    QVERIFY(holder.SqlInsertNoCommit("LAYER_9", "N, LNAME", "0, 'held'"));
    bool complete1 = false, complete2 = false;
    QThread *first = QThread::create([&] { complete1 = EnsureDrawingTables(pc1, 9); });
    QThread *second = QThread::create([&] { complete2 = EnsureDrawingTables(pc2, 9); });
    first->start();
    second->start();
    const bool overlapped = WaitForBusyWriters(watcher, 2, 8000);
    const bool released = holder.CommitTransaction();
    for (QThread *pc : {first, second}) {
        pc->wait();
        delete pc;
    }
    QVERIFY(overlapped && released);
    QVERIFY(complete1 && complete2);
    QCOMPARE(setCounts(watcher, 9), QString("256/255/32/1"));
    QCOMPARE(QueryValue(watcher, "LNAME", "LAYER_9", "N=0"), QString("held"));
}

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    SetUpApplication();
    TestRegister test;
    return QTest::qExec(&test, argc, argv);
}

// The record form and the list need no main window: what they are handed is all they use.
void TestRegister::windowsOnTheirContext()
{
    MessageRecorder boxes;
    TestContext t;
    QVERIFY(t.connected);
    addMembers(t.db, t.settings);
    QVERIFY(CreateCadListTable(t.db));
    QVERIFY(t.db.SqlInsertList("CADLIST", "N, ZNAME, MTITLE, PAPER, PAPX, PAPY, MN",
                               QStringLiteral("7, '配置図', '本館', 4, 420, 297, 2")));
    Config().PcUserNo = 9;

    auto *f = new TForm10(t.context, WindowOpener::RecordMode::Edit, 7);
    const QPointer<TForm10> alive(f);
    f->show();
    // Read from the context's connection; the fields themselves are the edit mode's test.
    QCOMPARE(QStringList({f->Edit[1]->text(), f->Edit[4]->text(), f->ComboBox[2]->currentText()}),
             QStringList({"7", QStringLiteral("本館"), QStringLiteral("2:山田")}));
    QVERIFY(t.db.TableExists("CADREV"));

    // The stamp is this context's PC user's, not the one of the program's settings.
    click(f->Button5);
    QCOMPARE(f->ComboBox[3]->currentText(), QStringLiteral("5:鈴木"));
    click(f->Button9);
    QCOMPARE(t.opener.asked, QStringList({"revisions 7"}));

    // Closing with the stamp unregistered asks through the context; No keeps the form.
    f->close();
    QVERIFY(alive && f->isVisible());
    QCOMPARE(t.messages.texts.size(), 1);
    QVERIFY(t.messages.texts[0].startsWith(QStringLiteral("検図の押印が登録されていません。")));
    click(f->Button1);
    QCOMPARE(t.messages.texts.last(), Registered);
    QCOMPARE(QueryValue(t.db, "KN", "CADLIST", "N=7"), QString("5"));
    QVERIFY(boxes.texts.isEmpty());
    delete f;

    // The list, with drawing 7 above among the register's rows.
    QVERIFY(fillRegister(t.db, 3));
    QVERIFY(t.db.SqlUpdate("CADLIST", 2, {"PAPX", "PAPY"}, {"594", "420"}, "N=2"));
    t.settings.PcUserNo = 1;
    t.opener.asked.clear();
    t.messages.texts.clear();
    auto *l = new TForm12(t.context);
    l->show();
    const QStringList rows = gridRows(l->SG1);
    QVERIFY(rows.size() > 4 && rows[3].startsWith(u'7') && rows[4].startsWith(u'|'));
    QVERIFY(rows[1].startsWith("2|name8|"));

    // 開く makes the drawing's tables, then asks for the editor on the register's paper.
    clickRow(l->SG1, 2);
    click(l->Button8);
    QCOMPARE(t.opener.asked, QStringList({"drawing 2 name8 594x420"}));
    QVERIFY(t.db.TableExists("LAYER_2"));
    QVERIFY(l->StatusBar1->currentMessage().isEmpty());
    click(l->Button7);
    QCOMPARE(t.opener.asked.last(), QString("record edit 2"));

    // 削除 asks through the context; No keeps the drawing.
    click(l->Button9);
    QCOMPARE(t.messages.texts,
             QStringList({QStringLiteral("CAD図面データ「name8」(N:2)を削除します。よろしいですか？")}));
    QVERIFY(t.db.TableExists("LAYER_2"));
    QVERIFY(boxes.texts.isEmpty());
    delete l;
}

#include "tst_register.moc"
