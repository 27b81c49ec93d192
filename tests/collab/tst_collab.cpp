#include "base/globals.h"
#include "base/grid.h"
#include "app/mainwindow.h"
#include "base/messages.h"
#include "base/ui.h"
#include "base/values.h"
#include "collab/chatchannel.h"
#include "collab/chatlog.h"
#include "collab/chatwindow.h"
#include "collab/pointermarker.h"
#include "collab/pointerwindow.h"
#include "db/database.h"
#include "db/schema.h"
#include "register/revisions.h"
#include "register/drawinglist.h"
#include "support/testdb.h"

#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>
#include <QScrollBar>
#include <QtTest>

class TestCollab : public QObject
{
    Q_OBJECT

private slots:
    void chatFollowsTheOtherPc();
    void chatNoticeWhenBehind();
    void chatNumbering();
    void chatRefusalsKeepTheText();
    void chatAcrossMidnight();
    void chatLogEditing();
    void pointerMarkers();
    void pointerWindowOwnNumberAndShutDown();
    void chatWindowOnItsContext();
};

namespace {

QString yamada()
{
    return QStringLiteral("山田");
}

// The main window on a fresh database through the local server, members 2 山田 and
// 5 鈴木, this PC's user 5, and a second PC connected to the same database, with a chat
// table when asked for.
struct TwoPcs
{
    explicit TwoPcs(bool chat = true)
    {
        if (!p.connected)
            return;
        other.ConnectDatabase(Main()->DatabasePath());
        ready = other.DatabaseConnected() && CreateMemberTable(Db())
                && Db().SqlInsertList("MEMBER", "N, SN, PNAME", QStringLiteral("2, 0, '山田'"))
                && Db().SqlInsertList("MEMBER", "N, SN, PNAME", QStringLiteral("5, 0, '鈴木'"))
                && (!chat || CreateChatTable(other));
        Config().PcUserNo = 5;
        Config().PcUserName = QStringLiteral("鈴木");
    }

    // A chat line written by the other PC.
    bool otherWrites(int n, int writer, const QString &text, const QString &date,
                     const QString &time = QStringLiteral("120000"))
    {
        return other.SqlInsertList("CHAT", "N, MN, CTEXT, CDATE, CTIME",
                                   QStringLiteral("%1, %2, '%3', '%4', '%5'")
                                       .arg(n).arg(writer).arg(text, date, time));
    }

    MessageRecorder messages;
    ProgramFixture p{true};
    Database other;
    bool ready = false;
};

// The one window of a kind the menu opens.
template<class Window>
Window *openedBy(QAction *action)
{
    action->trigger();
    return ChildWindows<Window>().value(0);
}

void say(TForm6 *chat, const QString &text)
{
    chat->Edit1->setText(text);
    QTest::keyClick(chat->Edit1, Qt::Key_Return);
}

QStringList shownLines(const TForm6 *chat)
{
    QStringList lines = chat->RichEdit1->toPlainText().split(u'\n');
    lines.removeAll(QString());
    return lines;
}

} // namespace

void TestCollab::chatFollowsTheOtherPc()
{
    TwoPcs pcs;
    QVERIFY(pcs.ready);
    MessageRecorder &messages = pcs.messages;
    const QString today = TodayText();
    QVERIFY(pcs.otherWrites(1, 2, "昨日の話", "20000101"));
    QVERIFY(pcs.otherWrites(2, 2, "おはよう", today, "083000"));
    QVERIFY(pcs.otherWrites(3, 9, "退職者", today));

    Main()->mnuChatStart->trigger();
    TForm6 *chat = openedBy<TForm6>(Main()->mnuChatStart);
    QCOMPARE(ChildWindows<TForm6>().size(), 1);
    QVERIFY(chat);
    QVERIFY(chat->Timer1->isActive());
    // Only today's lines, and only those of writers still in MEMBER.
    QCOMPARE(shownLines(chat), QStringList({"山田＞おはよう(" + today + " 083000)"}));

    QVERIFY(pcs.otherWrites(4, 2, "会議は10時", today, "090000"));
    QVERIFY(pcs.otherWrites(5, 2, "先週の件", "20000102"));
    chat->Timer1Timer();
    QCOMPARE(shownLines(chat).mid(1), QStringList({"山田＞会議は10時(" + today + " 090000)"}));
    QVERIFY(chat->Timer1->isActive());

    // Enter sends; quotes and control characters are dropped; blanks-only sends nothing.
    say(chat, QStringLiteral(" '\" "));
    QCOMPARE(chat->Edit1->text(), QStringLiteral(" '\" "));
    QCOMPARE(QueryValue(pcs.other, "COUNT(*)", "CHAT"), QString("5"));
    say(chat, QStringLiteral("了解'です"));
    QVERIFY(messages.texts.isEmpty());
    QCOMPARE(chat->Edit1->text(), QString());
    QCOMPARE(QueryValue(pcs.other, "MN || '/' || CTEXT || '/' || CDATE", "CHAT", "N=6"),
             QStringLiteral("5/了解です/") + today);
    QVERIFY(shownLines(chat).last().startsWith("鈴木＞了解です(" + today + ' '));

    Config().ChatWindow = {320, 240};
    WindowFrame(chat)->resize(400, 300);
    WindowFrame(chat)->close();
    QCOMPARE(QSize(Config().ChatWindow.width, Config().ChatWindow.height), QSize(400, 300));
    QTRY_COMPARE(ChildWindows<TForm6>().size(), 0);
    Main()->mnuChatStart->trigger();
    QCOMPARE(ChildWindows<TForm6>().size(), 1);
}

void TestCollab::chatNoticeWhenBehind()
{
    TwoPcs pcs;
    QVERIFY(pcs.ready);
    const QString today = TodayText();
    TForm6 *chat = openedBy<TForm6>(Main()->mnuChatStart);
    QVERIFY(chat);
    Main()->mnuCadList->trigger();
    QVERIFY(!ChildWindows<TForm12>().isEmpty());
    QWidget *list = WindowFrame(ChildWindows<TForm12>().first());
    Main()->mdiArea()->setActiveSubWindow(qobject_cast<QMdiSubWindow *>(list));
    QCOMPARE(Main()->mdiArea()->activeSubWindow(), list);

    // Behind the list, a line of the other PC marks the title; a long one shows from the
    // writer's name.
    const QString longText = QString(38, QChar(u'長'));
    QVERIFY(pcs.otherWrites(1, 2, longText, today, "130241"));
    chat->Timer1Timer();
    QCOMPARE(chat->UnseenLines(), 1);
    QCOMPARE(chat->windowTitle(), QStringLiteral("チャット（新着 1 件）"));
    QVERIFY(chat->RichEdit1->horizontalScrollBar()->maximum() > 0);
    QCOMPARE(chat->RichEdit1->horizontalScrollBar()->value(), 0);
    QVERIFY(pcs.otherWrites(2, 2, "二行目", today));
    chat->Timer1Timer();
    QCOMPARE(chat->windowTitle(), QStringLiteral("チャット（新着 2 件）"));
    // No new line, no new mark.
    chat->Timer1Timer();
    QCOMPARE(chat->UnseenLines(), 2);

    // Brought forward, the title is the plain one again.
    Main()->mdiArea()->setActiveSubWindow(qobject_cast<QMdiSubWindow *>(WindowFrame(chat)));
    QCOMPARE(chat->UnseenLines(), 0);
    QCOMPARE(chat->windowTitle(), QStringLiteral("チャット"));
    // This PC's own line, sent from the window, marks nothing.
    say(chat, QStringLiteral("了解"));
    QCOMPARE(chat->UnseenLines(), 0);
    QVERIFY(shownLines(chat).last().startsWith(QStringLiteral("鈴木＞了解(")));

    // Times in the readable form, kept for the next chat window.
    QVERIFY(!Config().ChatReadableTime);
    chat->mnuReadableTime->trigger();
    QVERIFY(Config().ChatReadableTime);
    const QString slashed = today.left(4) + u'/' + today.mid(4, 2) + u'/' + today.mid(6);
    QCOMPARE(shownLines(chat).size(), 3);
    QCOMPARE(shownLines(chat).first(),
             QStringLiteral("山田＞") + longText + u'(' + slashed + QStringLiteral(" 13:02:41)"));
    Config().ChatReadableTime = false;
}

void TestCollab::chatNumbering()
{
    TwoPcs pcs;
    QVERIFY(pcs.ready);
    MessageRecorder &messages = pcs.messages;
    const QString today = TodayText();
    for (int n = 1; n <= 3; ++n)
        QVERIFY(pcs.otherWrites(n, 2, QString::number(n), today));
    TForm6 *chat = openedBy<TForm6>(Main()->mnuChatStart);
    QVERIFY(chat);
    QCOMPARE(shownLines(chat).size(), 3);

    // The newest lines are deleted in the chat log: the next line must still be new to
    // every window that showed them.
    QVERIFY(pcs.other.SqlDelete("CHAT", "N>=2"));
    say(chat, QStringLiteral("次の話"));
    QVERIFY(messages.texts.isEmpty());
    QCOMPARE(QueryValue(pcs.other, "N", "CHAT", "CTEXT='次の話'"), QString("4"));
    QCOMPARE(shownLines(chat).size(), 4);

    // No number after the largest one.
    QVERIFY(pcs.otherWrites(2147483647, 2, "最後", today));
    chat->Timer1Timer();
    QCOMPARE(shownLines(chat).size(), 5);
    say(chat, QStringLiteral("溢れる"));
    QCOMPARE(messages.last(), ChatChannel::Message(ChatChannel::SendResult::NoNumber));
    QCOMPARE(chat->Edit1->text(), QStringLiteral("溢れる"));
    QCOMPARE(QueryValue(pcs.other, "COUNT(*)", "CHAT"), QString("3"));
}

void TestCollab::chatRefusalsKeepTheText()
{
    TwoPcs pcs(false);
    QVERIFY(pcs.ready);
    MessageRecorder &messages = pcs.messages;
    TForm6 *chat = openedBy<TForm6>(Main()->mnuChatStart);
    QVERIFY(chat);
    auto send = [&](const QString &text) {
        messages.clear();
        say(chat, text);
        return messages.last();
    };
    using R = ChatChannel::SendResult;
    // 40 full-width characters fill the 80 bytes; one more is too many.
    const QString full = QString(40, QChar(u'あ'));
    QCOMPARE(send(full + u'x'), ChatChannel::Message(R::TooLong));
    QCOMPARE(chat->Edit1->text(), full + u'x');
    QCOMPARE(send(QStringLiteral("한국")), ChatChannel::Message(R::NotCp932));
    QCOMPARE(chat->Edit1->text(), QStringLiteral("한국"));
    Config().PcUserNo = 7;
    QCOMPARE(send(QStringLiteral("誰？")), ChatChannel::Message(R::UnknownWriter));
    QCOMPARE(chat->Edit1->text(), QStringLiteral("誰？"));
    Config().PcUserNo = 5;
    QCOMPARE(QueryValue(pcs.other, "COUNT(*)", "CHAT"), QString("0"));
    QCOMPARE(send(full), QString());
    QCOMPARE(QueryValue(pcs.other, "CTEXT", "CHAT", "N=1"), full);

    Db().DisconnectDatabase();
    QCOMPARE(send(QStringLiteral("届かない")), ChatChannel::Message(R::Failed));
    QCOMPARE(chat->Edit1->text(), QStringLiteral("届かない"));
    QVERIFY(chat->Timer1->isActive());
    chat->Timer1Timer(); // a poll without the database shows nothing and keeps polling
    QCOMPARE(shownLines(chat).size(), 1);
    QVERIFY(chat->Timer1->isActive());
}

void TestCollab::chatAcrossMidnight()
{
    TwoPcs pcs;
    QVERIFY(pcs.ready);
    static QDateTime now;
    now = QDateTime(QDate(2024, 3, 31), QTime(23, 59, 50));
    QVERIFY(pcs.otherWrites(1, 2, "三日前", "20240328"));
    QVERIFY(pcs.otherWrites(2, 2, "今日", "20240331", "235000"));
    auto *chat = new TForm6(Main()->Context());
    chat->Clock = [] { return now; };
    Main()->OpenChild(chat);
    QCOMPARE(shownLines(chat), QStringList({"山田＞今日(20240331 235000)"}));

    // Past midnight here; the other PC's clock lags behind.
    now = QDateTime(QDate(2024, 4, 1), QTime(0, 0, 4));
    QVERIFY(pcs.otherWrites(3, 2, "遅れた時計", "20240331", "235959"));
    QVERIFY(pcs.otherWrites(4, 2, "新しい日", "20240401", "000002"));
    QVERIFY(pcs.otherWrites(5, 2, "古い話", "20240330"));
    chat->Timer1Timer();
    QCOMPARE(shownLines(chat).mid(1), QStringList({"山田＞遅れた時計(20240331 235959)",
                                                 "山田＞新しい日(20240401 000002)"}));
    now = now.addSecs(60);
    QVERIFY(pcs.otherWrites(6, 2, "まだ遅れ", "20240331", "235959"));
    chat->Timer1Timer();
    QCOMPARE(shownLines(chat).size(), 4);
    // Later on, only the day's own lines.
    now = now.addSecs(ChatChannel::CatchUpSeconds);
    QVERIFY(pcs.otherWrites(7, 2, "昨日付け", "20240331"));
    chat->Timer1Timer();
    QCOMPARE(shownLines(chat).size(), 4);
    say(chat, QStringLiteral("おやすみ"));
    QCOMPARE(QueryValue(pcs.other, "CDATE", "CHAT", "N=8"), QString("20240401"));
    QCOMPARE(shownLines(chat).size(), 5);
}

void TestCollab::chatLogEditing()
{
    TwoPcs pcs;
    QVERIFY(pcs.ready);
    MessageRecorder &messages = pcs.messages;
    for (int n = 1; n <= 8; ++n)
        QVERIFY(pcs.otherWrites(n, n == 2 ? 9 : 2, "行" + QString::number(n), "20240101"));
    TForm7 *f = Dialog<TForm7>();
    QVERIFY(f);
    f->Edit2->setText("残り物");
    f->show();
    QCOMPARE(f->SG1->RowCount(), 9);
    QCOMPARE(f->SG1->Cell(1, 2), QString("9"));
    // The first line is taken into the edits; the writer chooser holds the members.
    QCOMPARE(f->Edit1->text() + u'/' + f->Edit2->text() + u'/' + f->ComboBox1->currentText(),
             QStringLiteral("1/行1/2:山田"));
    QCOMPARE(f->ComboBox1->count(), 3);

    // Checks in order: date, time, then quotes in text, date and time, focus on the text.
    const QString timeMessage =
        QStringLiteral("時間は hhmmss形式（例13:02:00→130200）で有効な内容を入力して下さい。");
    QTest::mouseDClick(f->Edit1, Qt::LeftButton);
    QCOMPARE(f->Edit1->text(), QString("9"));
    for (const auto &[date, time, message, focus] :
         {std::tuple{"20100230", "", DateMessage(), f->Edit3},
          std::tuple{"2010011", "", DateMessage(), f->Edit3},
          std::tuple{"", "13:02", timeMessage, f->Edit4},
          std::tuple{"2010'", "", DateMessage(), f->Edit3},
          std::tuple{"", "1'", timeMessage, f->Edit4}}) {
        f->Edit3->setText(date);
        f->Edit4->setText(time);
        click(f->Button1);
        QCOMPARE(messages.last(), message);
        QCOMPARE(f->focusWidget(), focus);
    }
    f->Edit3->clear();
    f->Edit4->clear();
    f->Edit2->setText("a\"b");
    click(f->Button1);
    QCOMPARE(messages.last(), QStringLiteral("引用符「'」「\"」を入力しないで下さい"));
    QCOMPARE(f->focusWidget(), f->Edit2);
    // Typing stops at the 80 bytes of the text column.
    f->Edit2->clear();
    for (int i = 0; i < 45; ++i)
        f->Edit2->insert(QStringLiteral("あ"));
    QCOMPARE(f->Edit2->text().size(), 40);
    f->Edit2->setText("追加");
    f->Edit4->setText("999999");
    click(f->Button1);
    QCOMPARE(messages.last(), QStringLiteral("登録OK"));
    QCOMPARE(f->SG1->RowCells(9), QStringList({"9", "2", "追加", "", "999999"}));
    QCOMPARE(QueryValue(pcs.other, "COALESCE(CDATE, 'null')", "CHAT", "N=9"), QString("null"));

    // A change keeps a writer the chooser does not hold, unless another one is picked.
    clickRow(f->SG1, 2);
    QCOMPARE(f->ComboBox1->currentIndex(), 0);
    f->Edit2->setText("直した");
    click(f->Button4);
    QCOMPARE(messages.last(), QStringLiteral("変更OK"));
    QCOMPARE(QueryValue(pcs.other, "MN", "CHAT", "N=2"), QString("9"));
    clickRow(f->SG1, 2);
    f->ComboBox1->setFocus();
    QTest::keyClick(f->ComboBox1, Qt::Key_Down);
    click(f->Button4);
    QCOMPARE(QueryValue(pcs.other, "MN", "CHAT", "N=2"), QString("2"));
    f->Edit1->setText("99");
    click(f->Button4);
    QCOMPARE(messages.last(),
             QStringLiteral("入力した番号は未使用ですので変更は出来ません。再入力して下さい"));

    // One row, answered No; then rows 3 to 7.
    clickRow(f->SG1, 1);
    click(f->Button2);
    QCOMPARE(messages.last(), QStringLiteral("「No.1：行1」を削除します。\r\nよろしいですか？"));
    QCOMPARE(f->SG1->RowCount(), 10);
    clickRow(f->SG1, 3);
    clickRow(f->SG1, 7, Qt::ShiftModifier);
    messages.answer(true);
    messages.clear();
    click(f->Button2);
    QCOMPARE(messages.texts, QStringList({"No.3～7 を削除します。\r\nよろしいですか？"}));
    QCOMPARE(QueryValue(pcs.other, "CAST(LIST(N) AS VARCHAR(99))",
                        "(SELECT N FROM CHAT ORDER BY N)"), QString("1,2,8,9"));
    QCOMPARE(f->SG1->RowCount(), 5);

    // Rows that cannot be deleted are reported once.
    clickRow(f->SG1, 1);
    clickRow(f->SG1, 3, Qt::ShiftModifier);
    Db().DisconnectDatabase();
    messages.answer(true);
    messages.clear();
    click(f->Button2);
    QCOMPARE(messages.texts.mid(1), QStringList({"削除失敗"}));
    QCOMPARE(QueryValue(pcs.other, "COUNT(*)", "CHAT"), QString("4"));
}

namespace {

bool otherPointer(Database &other, int member, int state, int x, int y)
{
    const QString values = QStringLiteral("%1, %2, %3, %4").arg(member).arg(state).arg(x).arg(y);
    if (QueryValue(other, "COUNT(*)", "MOUSEPOS", "MN=" + QString::number(member)) == "0")
        return other.SqlInsertList("MOUSEPOS", "MN, ST, MX, MY", values);
    return other.SqlUpdate("MOUSEPOS", 4, {"MN", "ST", "MX", "MY"}, values.split(", "),
                           "MN=" + QString::number(member));
}

QString ownRow(Database &other, int member = 5)
{
    QStringList v;
    if (other.SqlSelectRow("ST, MX, MY", "MOUSEPOS", "MN=" + QString::number(member), v) < 3)
        return QStringLiteral("<no row>");
    return v.join(u',');
}

} // namespace

void TestCollab::pointerMarkers()
{
    TwoPcs pcs(false);
    QVERIFY(pcs.ready);
    Main()->move(100, 50);
    Main()->mnuMousePointer->trigger();
    TForm8 *w = openedBy<TForm8>(Main()->mnuMousePointer);
    QCOMPARE(ChildWindows<TForm8>().size(), 1);
    QVERIFY(w);
    QVERIFY(w->Timer1->isActive());
    QCOMPARE(ownRow(pcs.other).left(2), QString("1,"));

    // The pointer is published relative to the main window.
    static QPoint cursor;
    cursor = QPoint(130, 95);
    w->CursorPos = [] { return cursor; };
    QVERIFY(otherPointer(pcs.other, 2, 1, 30, 40));
    w->Timer1Timer();
    QCOMPARE(ownRow(pcs.other), QString("1,30,45"));
    QVERIFY(!w->Marker(5));
    TForm9 *marker = w->Marker(2);
    QVERIFY(marker && marker->isVisible());
    QCOMPARE(marker->pos(), QPoint(130, 90));
    QCOMPARE(marker->Label1->text(), yamada());
    const Qt::WindowFlags flags = marker->windowFlags();
    QVERIFY(flags.testFlags(Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint
                            | Qt::WindowDoesNotAcceptFocus | Qt::WindowTransparentForInput));
    QVERIFY(marker->testAttribute(Qt::WA_TransparentForMouseEvents));
    // Arrow head at the top-left corner, the name in a cyan band under it.
    const int nameWidth = QFontMetrics(marker->font()).horizontalAdvance(yamada());
    QCOMPARE(marker->width(), std::max(24, nameWidth));
    for (QPoint in : {QPoint(1, 1), QPoint(12, 12), QPoint(2, marker->height() - 1)})
        QVERIFY(marker->mask().contains(in));
    for (QPoint out : {QPoint(20, 3), QPoint(2, 20)})
        QVERIFY(!marker->mask().contains(out));
    const QImage picture = marker->grab().toImage();
    QCOMPARE(picture.pixelColor(12, 12), QColor(0, 255, 255));
    QCOMPARE(picture.pixelColor(2, 24), QColor(0, 255, 255));
    TForm9 narrow, wide;
    narrow.MarkerText = QStringLiteral("A");
    wide.MarkerText = QStringLiteral("長谷川一郎左衛門");
    narrow.show();
    wide.show();
    QCOMPARE(narrow.width(), 24);
    QCOMPARE(wide.width(), QFontMetrics(wide.font()).horizontalAdvance(wide.MarkerText));
    QVERIFY(wide.width() > 24);

    // The other pointer moves; then this main window moves.
    QVERIFY(otherPointer(pcs.other, 2, 1, 50, 60));
    w->Timer1Timer();
    QCOMPARE(marker->pos(), QPoint(150, 110));
    Main()->move(200, 80);
    w->Timer1Timer();
    QCOMPARE(marker->pos(), QPoint(250, 140));
    QCOMPARE(ownRow(pcs.other), QString("1,-70,15"));

    // Closed from outside: the next tick shows a new one.
    marker->close();
    QTRY_VERIFY(!w->Marker(2));
    w->Timer1Timer();
    marker = w->Marker(2);
    QVERIFY(marker);
    QCOMPARE(marker->pos(), QPoint(250, 140));

    // State 0 takes it away; state 1 brings it back.
    QVERIFY(otherPointer(pcs.other, 2, 0, 50, 60));
    w->Timer1Timer();
    QVERIFY(!w->Marker(2));
    QVERIFY(otherPointer(pcs.other, 2, 1, 5, 6));
    w->Timer1Timer();
    QVERIFY(w->Marker(2));
    QCOMPARE(w->Marker(2)->pos(), QPoint(205, 86));

    QPointer<TForm9> last = w->Marker(2);
    WindowFrame(w)->close();
    QTRY_VERIFY(!last);
    QCOMPARE(ownRow(pcs.other).left(2), QString("0,"));
    QVERIFY(pcs.messages.texts.isEmpty());
}

void TestCollab::pointerWindowOwnNumberAndShutDown()
{
    TwoPcs pcs(false);
    QVERIFY(pcs.ready);
    TForm8 *w = openedBy<TForm8>(Main()->mnuMousePointer);
    QVERIFY(w);
    QCOMPARE(w->Publisher(), 5);
    QVERIFY(otherPointer(pcs.other, 2, 1, 30, 40));
    w->Timer1Timer();
    QVERIFY(w->Marker(2));

    // The PC user changes meanwhile: the window keeps publishing, filtering and closing as 5.
    Config().PcUserNo = 2;
    w->Timer1Timer();
    QVERIFY(w->Marker(2));
    QVERIFY(!w->Marker(5));
    QCOMPARE(QueryValue(pcs.other, "COUNT(*)", "MOUSEPOS"), QString("2"));
    QCOMPARE(ownRow(pcs.other, 2), QString("1,30,40"));
    QCOMPARE(ownRow(pcs.other).left(2), QString("1,"));

    // Ending the program closes the window while the connection is still there.
    Main()->close();
    QVERIFY(!Db().DatabaseConnected());
    QCOMPARE(ownRow(pcs.other).left(2), QString("0,"));
    QCOMPARE(ownRow(pcs.other, 2), QString("1,30,40"));
    QVERIFY(ChildWindows<TForm8>().isEmpty());
}

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    SetUpApplication();
    TestCollab test;
    return QTest::qExec(&test, argc, argv);
}

// The chat window needs no main window: its connection, settings and messages are handed in.
void TestCollab::chatWindowOnItsContext()
{
    MessageRecorder boxes;
    TestContext t;
    QVERIFY(t.connected);
    QVERIFY(CreateMemberTable(t.db) && CreateChatTable(t.db));
    QVERIFY(t.db.SqlInsertList("MEMBER", "N, SN, PNAME", QStringLiteral("2, 0, '山田'")));
    QVERIFY(t.db.SqlInsertList("MEMBER", "N, SN, PNAME", QStringLiteral("5, 0, '鈴木'")));
    const QString today = TodayText();
    QVERIFY(t.db.SqlInsertList("CHAT", "N, MN, CTEXT, CDATE, CTIME",
                               QStringLiteral("1, 2, 'おはよう', '%1', '083000'").arg(today)));
    t.settings.ChatWindow = {500, 300};
    Config().PcUserNo = 2;
    Config().ChatReadableTime = false;
    t.settings.PcUserNo = 9;
    auto *chat = new TForm6(t.context);
    chat->show();
    chat->Timer1->stop();
    QCOMPARE(shownLines(chat), QStringList({"山田＞おはよう(" + today + " 083000)"}));
    QCOMPARE(chat->size(), QSize(500, 300));

    // Sent under the context's PC user, who must be a member; told through the context.
    say(chat, QStringLiteral("こんにちは"));
    QCOMPARE(t.messages.texts, QStringList({ChatChannel::Message(
                                   ChatChannel::SendResult::UnknownWriter)}));
    QCOMPARE(chat->Edit1->text(), QStringLiteral("こんにちは"));
    t.settings.PcUserNo = 5;
    say(chat, QStringLiteral("こんにちは"));
    QCOMPARE(chat->Edit1->text(), QString());
    QCOMPARE(shownLines(chat).size(), 2);
    QVERIFY(shownLines(chat).last().startsWith("鈴木＞こんにちは(" + today + ' '));
    QCOMPARE(QueryValue(t.db, "MN", "CHAT", "N=2"), QString("5"));

    // The time format is kept in the context's settings.
    chat->mnuReadableTime->setChecked(true);
    QVERIFY(t.settings.ChatReadableTime);
    QVERIFY(!Config().ChatReadableTime);
    QCOMPARE(shownLines(chat).first(),
             QStringLiteral("山田＞おはよう(%1/%2/%3 08:30:00)")
                 .arg(today.left(4), today.mid(4, 2), today.mid(6, 2)));
    QVERIFY(boxes.texts.isEmpty());
    delete chat;
}

#include "tst_collab.moc"
