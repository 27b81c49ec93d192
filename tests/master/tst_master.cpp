#include "base/globals.h"
#include "base/grid.h"
#include "app/mainwindow.h"
#include "base/messages.h"
#include "base/settings.h"
#include "base/ui.h"
#include "db/database.h"
#include "db/schema.h"
#include "master/chooser.h"
#include "master/members.h"
#include "master/pcuser.h"
#include "master/sections.h"
#include "support/testdb.h"

#include <QAction>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QThread>
#include <QtTest>

class TestMaster : public QObject
{
    Q_OBJECT

private slots:
    void sectionsRoundTrip();
    void sectionsChecks();
    void sectionInUse();
    void showRefusals();
    void noNumberAfterTheLargest();
    void membersGridShowsEvery();
    void membersAddChangeDelete();
    void memberSectionFromOtherPc();
    void pcUser();
    void menuOpensDialogs();
    void tableCreatedByOtherPcMeanwhile();
};

namespace {

QStringList items(const QComboBox *box)
{
    QStringList out;
    for (int i = 0; i < box->count(); ++i)
        out << box->itemText(i);
    return out;
}

} // namespace

void TestMaster::sectionsRoundTrip()
{
    MessageRecorder messages;
    ProgramFixture p;
    QVERIFY(p.connected);
    QVERIFY(Main()->EnsureTable("SECTION"));
    TForm3 *f = Dialog<TForm3>();
    f->show();
    QCOMPARE(gridRows(f->SG1), QStringList({"|"}));
    clickRow(f->SG1, 1);
    QCOMPARE(f->Edit1->text(), QString());
    click(f->Button2);
    QVERIFY(messages.texts.isEmpty());
    QTest::mouseDClick(f->Edit1, Qt::LeftButton);
    QCOMPARE(f->Edit1->text(), QString("1"));

    f->Edit2->setText(QStringLiteral("設計"));
    click(f->Button1);
    QCOMPARE(messages.last(), QStringLiteral("登録OK"));
    QCOMPARE(QueryValue(Db(), "SNAME", "SECTION", "N=1"), QStringLiteral("設計"));
    f->Edit1->setText(" 3");
    f->Edit2->clear();
    click(f->Button1);
    QCOMPARE(messages.last(), QStringLiteral("登録OK"));
    QCOMPARE(QueryValue(Db(), "COALESCE(SNAME, 'null')", "SECTION", "N=3"), QString("null"));
    QCOMPARE(gridRows(f->SG1), QStringList({QStringLiteral("1|設計"), "3|"}));

    // A number in use: refused by the database, the row unchanged.
    f->Edit1->setText("1");
    f->Edit2->setText(QStringLiteral("別"));
    click(f->Button1);
    QCOMPARE(messages.last(), QStringLiteral("登録失敗\n番号 1 は既に使用されています。"
                                             "別の番号を入力して下さい。"));
    QCOMPARE(gridRows(f->SG1), QStringList({QStringLiteral("1|設計"), "3|"}));

    clickRow(f->SG1, 2);
    QCOMPARE(f->Edit1->text(), QString("3"));
    f->Edit2->setText(QStringLiteral("製造"));
    click(f->Button4);
    QCOMPARE(messages.last(), QStringLiteral("変更OK"));
    QCOMPARE(gridRows(f->SG1), QStringList({QStringLiteral("1|設計"), QStringLiteral("3|製造")}));

    clickRow(f->SG1, 1);
    messages.answer(true);
    click(f->Button2);
    QCOMPARE(messages.texts.mid(messages.texts.size() - 2),
             QStringList({QStringLiteral("「No.1：設計」を削除します。\r\nよろしいですか？"),
                          QStringLiteral("削除OK")}));
    // The edits keep their text through a reshowing; the grid is reloaded.
    for (int shown = 0; shown < 2; ++shown) {
        QCOMPARE(gridRows(f->SG1), QStringList({QStringLiteral("3|製造")}));
        QCOMPARE(f->Edit1->text(), QString("1"));
        f->hide();
        f->show();
    }
}

void TestMaster::sectionsChecks()
{
    MessageRecorder messages;
    ProgramFixture p;
    QVERIFY(Main()->EnsureTable("SECTION"));
    TForm3 *f = Dialog<TForm3>();
    f->show();
    const QString numberMissing = QStringLiteral("番号を入力して下さい（正の整数値入力）");
    const QString notPositive = QStringLiteral("番号は正の整数で入力して下さい");
    const QString quote = QStringLiteral("引用符「'」「\"」を入力しないで下さい");
    struct Case
    {
        QPushButton *button;
        QString number, name, message;
        QWidget *focus;
    };
    const QList<Case> cases = {
        {f->Button1, "  ", "x", numberMissing, f->Edit1},
        {f->Button1, "0", "x", notPositive, f->Edit1},
        {f->Button1, "-5", "x", notPositive, f->Edit1},
        {f->Button1, "abc", "x", notPositive, f->Edit1},
        {f->Button1, "12x", "x", notPositive, f->Edit1},
        {f->Button1, "4", "a'b", quote, f->Edit2},
        {f->Button1, "4", "\"", quote, f->Edit2},
        {f->Button1, "4", QStringLiteral("\u0080'"), quote, f->Edit2},
        {f->Button4, " ", "x", numberMissing, f->Edit1},
        {f->Button4, "4", "  ", QStringLiteral("名称を入力して下さい（半角32文字まで）"), f->Edit2},
        {f->Button4, "-1", "x", notPositive, f->Edit1},
        {f->Button4, "4", "x", QStringLiteral("入力した番号は未使用ですので変更は出来ません。再入力して下さい"),
         f->Edit1},
    };
    for (const Case &c : cases) {
        f->Button3->setFocus();
        f->Edit1->setText(c.number);
        f->Edit2->setText(c.name);
        messages.clear();
        click(c.button);
        QCOMPARE(messages.texts, QStringList({c.message}));
        QCOMPARE(f->focusWidget(), c.focus);
    }
    QCOMPARE(QueryValue(Db(), "COUNT(*)", "SECTION"), QString("0"));

    // A quote in the name of an existing row is refused on change too.
    QVERIFY(Db().SqlInsertList("SECTION", "N, SNAME", "4, 'a'"));
    f->Edit1->setText("4");
    f->Edit2->setText("it's");
    click(f->Button4);
    QCOMPARE(messages.last(), quote);
    QCOMPARE(QueryValue(Db(), "SNAME", "SECTION", "N=4"), QString("a"));

    // The name edit holds what the column holds: 32 bytes, 16 full-width characters.
    f->Edit2->clear();
    for (int i = 0; i < 20; ++i)
        f->Edit2->insert(QStringLiteral("設"));
    QCOMPARE(f->Edit2->text(), QString(16, QChar(u'設')));
    f->Edit1->setText("5");
    click(f->Button1);
    QCOMPARE(messages.last(), QStringLiteral("登録OK"));
}

void TestMaster::sectionInUse()
{
    MessageRecorder messages;
    ProgramFixture p;
    QVERIFY(CreateSectionTable(Db()));
    QVERIFY(Db().SqlInsertList("SECTION", "N, SNAME", QStringLiteral("3, '設計'")));
    TForm3 *f = Dialog<TForm3>();
    f->show();

    // Without MEMBER nothing uses it; No leaves it all the same.
    clickRow(f->SG1, 1);
    messages.answer(false);
    click(f->Button2);
    QCOMPARE(messages.texts, QStringList({QStringLiteral("「No.3：設計」を削除します。\r\nよろしいですか？")}));
    QCOMPARE(gridRows(f->SG1).size(), 1);

    QVERIFY(CreateMemberTable(Db()));
    QVERIFY(Db().SqlInsertList("MEMBER", "N, SN, PNAME", "1, 3, 'a'"));
    messages.clear();
    messages.answer(true);
    click(f->Button2);
    QCOMPARE(messages.texts.size(), 2);
    QCOMPARE(messages.last(), QStringLiteral("メンバーデータで既に使用されていますので削除出来ません。"));
    QCOMPARE(QueryValue(Db(), "COUNT(*)", "SECTION"), QString("1"));
}

void TestMaster::showRefusals()
{
    MessageRecorder messages;
    ProgramFixture p;
    Config().DataFolder = "  ";
    Dialog<TForm3>()->show();
    QCOMPARE(messages.last(), QStringLiteral("最初にデータベースの設定を行って下さい。"));
    QTRY_VERIFY(!Dialog<TForm3>()->isVisible());
    Config().DataFolder = p.db.folder();
    Db().DisconnectDatabase();
    for (QDialog *d :
         std::initializer_list<QDialog *>{Dialog<TForm3>(), Dialog<TForm4>(), Dialog<TForm5>()}) {
        messages.clear();
        d->show();
        QCOMPARE(messages.texts,
                 QStringList({QStringLiteral("データベースに接続出来ません。設定を確認して下さい。")}));
        QTRY_VERIFY(!d->isVisible());
    }
    // A modal showing ends as well.
    messages.clear();
    QCOMPARE(Dialog<TForm4>()->exec(), int(QDialog::Rejected));
    QCOMPARE(messages.texts.size(), 1);
}

void TestMaster::noNumberAfterTheLargest()
{
    MessageRecorder messages;
    ProgramFixture p;
    QVERIFY(CreateSectionTable(Db()));
    QVERIFY(Db().SqlInsertList("SECTION", "N, SNAME", "2147483647, 'last'"));
    Dialog<TForm3>()->show();
    Dialog<TForm3>()->Edit1->setText("7");
    QTest::mouseDClick(Dialog<TForm3>()->Edit1, Qt::LeftButton);
    QCOMPARE(messages.texts, QStringList({QStringLiteral("登録失敗")}));
    QCOMPARE(Dialog<TForm3>()->Edit1->text(), QString("7"));
}

void TestMaster::membersGridShowsEvery()
{
    MessageRecorder messages;
    ProgramFixture p;
    Database &db = Db();
    QVERIFY(CreateMemberTable(db));
    QVERIFY(db.SqlInsertList("MEMBER", "N, SN, PNAME", QStringLiteral("1, 0, '山田'")));
    QVERIFY(db.SqlInsertList("MEMBER", "N, SN, PNAME", QStringLiteral("2, 99, '鈴木'")));
    QVERIFY(db.SqlInsertList("MEMBER", "N, SN, PNAME", "3, 1, NULL"));
    TForm4 *f = Dialog<TForm4>();

    // No SECTION table: every member, and a chooser of one entry.
    f->show();
    QCOMPARE(gridRows(f->SG1), QStringList({QStringLiteral("1|0||山田"), QStringLiteral("2|99||鈴木"),
                                            "3|1||"}));
    QCOMPARE(items(f->ComboBox1), QStringList({NoneEntry()}));
    f->hide();

    // An empty SECTION, then two sections: still each member once.
    QVERIFY(CreateSectionTable(db));
    f->show();
    QCOMPARE(gridRows(f->SG1).size(), 3);
    f->hide();
    QVERIFY(db.SqlInsertList("SECTION", "N, SNAME", QStringLiteral("1, '設計'")));
    QVERIFY(db.SqlInsertList("SECTION", "N, SNAME", QStringLiteral("2, '製造'")));
    f->show();
    QCOMPARE(gridRows(f->SG1), QStringList({QStringLiteral("1|0||山田"), QStringLiteral("2|99||鈴木"),
                                            QStringLiteral("3|1|設計|")}));
    QCOMPARE(items(f->ComboBox1),
             QStringList({NoneEntry(), QStringLiteral("1:設計"), QStringLiteral("2:製造")}));

    // The selection rule: a number no entry has selects "0:指定無し".
    clickRow(f->SG1, 3);
    QCOMPARE(f->ComboBox1->currentText(), QStringLiteral("1:設計"));
    clickRow(f->SG1, 2);
    QCOMPARE(f->ComboBox1->currentText(), NoneEntry());
    QCOMPARE(f->Edit2->text(), QStringLiteral("鈴木"));
    QVERIFY(!ChooseNumber(f->ComboBox1, 0) && f->ComboBox1->currentIndex() == 0);
    QVERIFY(messages.texts.isEmpty());
}

void TestMaster::membersAddChangeDelete()
{
    MessageRecorder messages;
    ProgramFixture p;
    Database &db = Db();
    QVERIFY(CreateSectionTable(db));
    QVERIFY(CreateMemberTable(db));
    QVERIFY(db.SqlInsertList("SECTION", "N, SNAME", QStringLiteral("4, '設計'")));
    TForm4 *f = Dialog<TForm4>();
    f->show();
    QTest::mouseDClick(f->Edit1, Qt::LeftButton);
    QCOMPARE(f->Edit1->text(), QString("1"));
    f->Edit2->setText(QStringLiteral("山田"));
    click(f->Button1);
    QCOMPARE(messages.last(), QStringLiteral("登録OK"));
    QCOMPARE(QueryValue(Db(), "SN || PNAME", "MEMBER", "N=1"), QStringLiteral("0山田"));

    f->Edit1->setText("2");
    f->ComboBox1->setCurrentIndex(1);
    f->Edit2->clear();
    click(f->Button1);
    QCOMPARE(gridRows(f->SG1), QStringList({QStringLiteral("1|0||山田"), QStringLiteral("2|4|設計|")}));

    messages.clear();
    f->Edit2->clear();
    click(f->Button4);
    QCOMPARE(messages.texts, QStringList({QStringLiteral("氏名を入力して下さい（半角16文字まで）")}));
    QCOMPARE(f->focusWidget(), f->Edit2);

    clickRow(f->SG1, 1);
    f->ComboBox1->setCurrentIndex(1);
    click(f->Button4);
    QCOMPARE(messages.last(), QStringLiteral("変更OK"));
    QCOMPARE(gridRows(f->SG1).value(0), QStringLiteral("1|4|設計|山田"));
    // Quotes and deletion go as in every dialog of this kind: the sections' tests try them.
}

void TestMaster::memberSectionFromOtherPc()
{
    MessageRecorder messages;
    ProgramFixture p(true);
    QVERIFY2(p.connected, qPrintable(Db().LastError()));
    Database other;
    other.ConnectDatabase(Main()->DatabasePath());
    QVERIFY(other.DatabaseConnected());
    QVERIFY(CreateSectionTable(other));
    QVERIFY(CreateMemberTable(other));
    QVERIFY(other.SqlInsertList("MEMBER", "N, SN, PNAME", "1, 0, 'a'"));
    TForm4 *f = Dialog<TForm4>();
    f->show();

    // Another PC adds a section and a member in it while the dialog is open.
    QVERIFY(other.SqlInsertList("SECTION", "N, SNAME", QStringLiteral("5, '営業'")));
    QVERIFY(other.SqlInsertList("MEMBER", "N, SN, PNAME", "2, 5, 'b'"));
    f->Edit1->setText("3");
    f->Edit2->setText("c");
    click(f->Button1); // reloads the grid and the chooser
    clickRow(f->SG1, 2);
    QCOMPARE(f->ComboBox1->currentText(), QStringLiteral("5:営業"));

    // A section that is gone for this chooser: a change keeps the stored number.
    QVERIFY(other.SqlInsertList("MEMBER", "N, SN, PNAME", "4, 77, 'd'"));
    f->Edit1->setText("3");
    click(f->Button4);
    clickRow(f->SG1, 4);
    QCOMPARE(f->ComboBox1->currentText(), NoneEntry());
    f->Edit2->setText("d2");
    click(f->Button4);
    QCOMPARE(messages.last(), QStringLiteral("変更OK"));
    QCOMPARE(QueryValue(other, "SN", "MEMBER", "N=4"), QString("77"));
    // A pick of the user's own is written as picked.
    clickRow(f->SG1, 4);
    f->ComboBox1->setCurrentIndex(0);
    emit f->ComboBox1->activated(0);
    click(f->Button4);
    QCOMPARE(QueryValue(other, "SN", "MEMBER", "N=4"), QString("0"));
}

void TestMaster::pcUser()
{
    MessageRecorder messages;
    ProgramFixture p;
    TForm5 *f = Dialog<TForm5>();
    f->show();
    QCOMPARE(f->ComboBox1->count(), 0);
    click(f->Button1);
    QCOMPARE(messages.last(), QStringLiteral("最初にメンバーの登録を行って下さい"));
    QVERIFY(f->isVisible());
    f->hide();

    QVERIFY(CreateMemberTable(Db()));
    QVERIFY(Db().SqlInsertList("MEMBER", "N, SN, PNAME", QStringLiteral("3, 0, '山田'")));
    QVERIFY(Db().SqlInsertList("MEMBER", "N, SN, PNAME", QStringLiteral("8, 0, '鈴木:課長'")));
    f->show();
    QCOMPARE(items(f->ComboBox1), QStringList({QStringLiteral("3:山田"),
                                               QStringLiteral("8:鈴木:課長")}));
    QCOMPARE(f->ComboBox1->currentIndex(), -1);
    click(f->Button1);
    QCOMPARE(messages.last(), QStringLiteral("PC利用者名を指定して下さい"));
    f->ComboBox1->setCurrentIndex(1);
    click(f->Button1);
    QVERIFY(!f->isVisible());
    QCOMPARE(QString::number(Config().PcUserNo) + Config().PcUserName, QStringLiteral("8鈴木:課長"));

    // The choice is preselected at the next showing; cancel changes nothing.
    f->show();
    QCOMPARE(f->ComboBox1->currentText(), QStringLiteral("8:鈴木:課長"));
    f->ComboBox1->setCurrentIndex(0);
    click(f->Button2);
    QCOMPARE(Config().PcUserNo, 8);

    // It survives a save and a load, and the PC-user check passes.
    QVERIFY(SaveSettingsFile(Main()->SettingsFile, Config()));
    const Settings loaded = LoadSettingsFile(Main()->SettingsFile);
    QCOMPARE(QString::number(loaded.PcUserNo) + loaded.PcUserName, QStringLiteral("8鈴木:課長"));
    messages.clear();
    Main()->mnuCadList->trigger();
    QVERIFY(messages.texts.isEmpty());
    Config().PcUserNo = 0;
    Main()->mnuCadList->trigger();
    QCOMPARE(messages.texts, QStringList({QStringLiteral("PC利用者名の登録を行って下さい")}));
}

void TestMaster::menuOpensDialogs()
{
    MessageRecorder messages;
    ProgramFixture p;
    QStringList seen;
    whenShown(Dialog<TForm3>(), [&] { seen << Dialog<TForm3>()->windowTitle(); });
    Main()->mnuAddTable1->trigger();
    whenShown(Dialog<TForm4>(), [&] {
        TForm4 *members = Dialog<TForm4>();
        seen << members->windowTitle() + QString::number(members->ComboBox1->count());
    });
    Main()->mnuAddTable2->trigger();
    whenShown(Dialog<TForm5>(), [&] { seen << Dialog<TForm5>()->windowTitle(); });
    Main()->mnuPCnameSet->trigger();
    QCOMPARE(seen, QStringList({QStringLiteral("所属（SECTION）の登録"),
                                QStringLiteral("メンバー（MEMBER）の登録1"),
                                QStringLiteral("PC利用者名の登録")}));
    QVERIFY(Db().TableExists("SECTION") && Db().TableExists("MEMBER"));
    QVERIFY(messages.texts.isEmpty());
}

void TestMaster::tableCreatedByOtherPcMeanwhile()
{
    MessageRecorder messages;
    ProgramFixture p(true);
    QVERIFY(p.connected);
    // Another PC has created SECTION but not committed it when this one looks, and commits
    // only once this one's own creation is running into it.
    Database other, watcher;
    other.ConnectDatabase(Main()->DatabasePath());
    watcher.ConnectDatabase(Main()->DatabasePath());
    QVERIFY(other.DatabaseConnected() && watcher.DatabaseConnected());
    QVERIFY(other.StartTransaction());
    QVERIFY(other.ExecSqlLinesNoCommit({"CREATE TABLE SECTION (N INTEGER NOT NULL UNIQUE, "
                                        "SNAME VARCHAR(32))"}));
    QVERIFY(!Db().TableExists("SECTION"));
    bool overlapped = false, otherCommitted = false;
    QThread *otherPc = QThread::create([&] {
        overlapped = WaitForBusyWriters(watcher, 1, 8000);
        otherCommitted = other.CommitTransaction();
    });
    otherPc->start();
    const bool ensured = Main()->EnsureTable("SECTION");
    otherPc->wait();
    delete otherPc;
    QVERIFY(overlapped);
    QVERIFY(otherCommitted); // so this PC's own creation was the one that failed
    QVERIFY(ensured && Db().TableExists("SECTION"));
}

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    SetUpApplication();
    TestMaster test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_master.moc"
