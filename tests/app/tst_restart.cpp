// The local server stopped and started again while the program works on it: every window
// goes on by itself, nothing committed is lost, and no timer raises a message box.
#include "base/globals.h"
#include "app/mainwindow.h"
#include "base/messages.h"
#include "base/ui.h"
#include "base/values.h"
#include "collab/chatwindow.h"
#include "db/changestore.h"
#include "db/database.h"
#include "db/schema.h"
#include "editor/editorwindow.h"
#include "editor/model/drawingmodel.h"
#include "register/drawingset.h"
#include "support/testdb.h"

#include <QAction>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QProcess>
#include <QStatusBar>
#include <QTcpSocket>
#include <QTextEdit>
#include <QToolButton>
#include <QtTest>

#include <unistd.h>

class TestRestart : public QObject
{
    Q_OBJECT

private slots:
    void serverRestarted();
};

namespace {

bool serverListening()
{
    for (const char *host : {"127.0.0.1", "::1"}) {
        QTcpSocket s;
        s.connectToHost(QString::fromLatin1(host), 3050);
        if (s.waitForConnected(300))
            return true;
    }
    return false;
}

bool waitListening(bool wanted, int ms)
{
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < ms) {
        if (serverListening() == wanted)
            return true;
        QTest::qWait(100);
    }
    return false;
}

// Stops the server as a power cut would (its process gone), then, after the pause, starts
// it again as the set-up does.
bool restartServer(int pauseMs, const std::function<void()> &whileDown)
{
    if (QProcess::execute("pkill", {"-KILL", "-x", "firebird"}) != 0)
        return false;
    if (!waitListening(false, 10000))
        return false;
    whileDown();
    QTest::qWait(pauseMs);
    // Lock files of a killed server would refuse every connection.
    QProcess::execute("rm", {"-rf", "/tmp/firebird"});
    // Detached from this test's output, which the test runner waits on.
    QProcess server;
    server.setProgram("runuser");
    server.setArguments({"-u", "firebird", "--", "env", "LANG=C.UTF-8", "setsid",
                         "/usr/sbin/firebird"});
    server.setStandardInputFile(QProcess::nullDevice());
    server.setStandardOutputFile(QProcess::nullDevice());
    server.setStandardErrorFile(QProcess::nullDevice());
    if (!server.startDetached())
        return false;
    return waitListening(true, 10000);
}

QPoint pixelOf(TForm13 *e, double x, double y)
{
    const ViewParams v = e->CurrentView().Params();
    return {RoundHalfAway((x - v.x1) * v.scale), v.height - RoundHalfAway((y - v.y1) * v.scale)};
}

void clickAt(TForm13 *e, double x, double y)
{
    const QPoint at = pixelOf(e, x, y);
    for (QEvent::Type type : {QEvent::MouseMove, QEvent::MouseButtonPress,
                              QEvent::MouseButtonRelease}) {
        const Qt::MouseButton button = type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
        const Qt::MouseButtons held = type == QEvent::MouseButtonPress ? Qt::LeftButton
                                                                       : Qt::NoButton;
        QMouseEvent ev(type, QPointF(at), QPointF(e->PaintBox1->mapToGlobal(at)), button, held,
                       Qt::NoModifier);
        QApplication::sendEvent(e->PaintBox1, &ev);
    }
}

ChangeSet otherLine(double y)
{
    ChangeSet op;
    op.member = 2;
    EntityRecord e;
    e.shape = LineShape{0, y, 100, y};
    op.created.push_back(e);
    return op;
}

bool hasLineAt(const DrawingModel &m, double y)
{
    for (size_t i = 0; i < m.Count(); ++i) {
        const EntityRecord r = m.Record(m.At(i));
        if (const auto *l = std::get_if<LineShape>(&r.shape); l && l->y1 == y && l->y2 == y)
            return true;
    }
    return false;
}

} // namespace

void TestRestart::serverRestarted()
{
    if (geteuid() != 0 || !QFile::exists("/usr/sbin/firebird"))
        QSKIP("restarting the local server takes root");
    MessageRecorder messages;
    ProgramFixture p(true);
    QVERIFY(p.connected);
    Config().PcUserNo = 5;
    Config().PcUserName = QStringLiteral("鈴木");
    Config().EditorWidth = 700;
    Config().EditorHeight = 500;
    Database other;
    other.ConnectDatabase(Main()->DatabasePath());
    QVERIFY(other.DatabaseConnected());
    QVERIFY(CreateMemberTable(Db()) && CreateChatTable(Db()));
    QVERIFY(Db().SqlInsertList("MEMBER", "N, SN, PNAME", QStringLiteral("2, 0, '山田'")));
    QVERIFY(Db().SqlInsertList("MEMBER", "N, SN, PNAME", QStringLiteral("5, 0, '鈴木'")));
    QVERIFY(EnsureDrawingTables(Db(), 1));

    auto *editor = new TForm13(Main()->Context(), 1, 420, 297);
    Main()->OpenChild(editor);
    QPointer<TForm13> e(editor);
    QTRY_VERIFY_WITH_TIMEOUT(e->Loaded() && !e->Picture().isNull(), 10000);
    Main()->mnuChatStart->trigger();
    const QList<TForm6 *> chats = ChildWindows<TForm6>();
    QCOMPARE(chats.size(), 1);
    QPointer<TForm6> chat(chats[0]);

    StoredOperation stored;
    QCOMPARE(StoreChanges(other, 1, otherLine(10), {}, stored), StoreResult::Stored);
    QTRY_VERIFY_WITH_TIMEOUT(hasLineAt(e->Model(), 10), 5000);

    QStringList notes;
    connect(Main()->StatusBar1, &QStatusBar::messageChanged,
            [&notes](const QString &text) { notes << text; });
    e->SpeedButton8->click(); // 線分
    const bool restarted = restartServer(3000, [&] {
        // Drawn while the server is down: said once, the figure kept.
        clickAt(e, 0, 50);
        clickAt(e, 100, 50);
        QCOMPARE(messages.texts, QStringList{"登録失敗"});
        QVERIFY(e->RubberShown());
        QTest::qWait(2500); // timers tick meanwhile
        QCOMPARE(messages.texts.size(), 1);
    });
    QVERIFY(restarted);
    QVERIFY(notes.filter(QStringLiteral("接続が切れました")).size() == 1);

    // Drawn by the other PC once the server is back: on screen within 10 s.
    other.DisconnectDatabase();
    other.ConnectDatabase(Main()->DatabasePath());
    QVERIFY(other.DatabaseConnected());
    QCOMPARE(StoreChanges(other, 1, otherLine(20), {}, stored), StoreResult::Stored);
    QVERIFY(other.SqlInsertList("CHAT", "N, MN, CTEXT, CDATE, CTIME",
                                QStringLiteral("1, 2, '戻りました', '%1', '120000'")
                                    .arg(TodayText())));
    QTRY_VERIFY_WITH_TIMEOUT(hasLineAt(e->Model(), 20), 10000);
    QTRY_VERIFY_WITH_TIMEOUT(chat && chat->RichEdit1->toPlainText().contains(
                                 QStringLiteral("戻りました")), 10000);
    QVERIFY(!notes.filter(QStringLiteral("再接続しました")).isEmpty());

    // The notes of other PCs' changes come back too: with the poll too slow to bring it, a
    // line still arrives.
    e->SetPollMs(60000);
    QTest::qWait(1100); // a poll already due runs first
    QCOMPARE(StoreChanges(other, 1, otherLine(30), {}, stored), StoreResult::Stored);
    QTRY_VERIFY_WITH_TIMEOUT(hasLineAt(e->Model(), 30), 10000);

    // The kept figure goes in with one more click.
    clickAt(e, 100, 50);
    QTRY_COMPARE_WITH_TIMEOUT(QueryValue(other, "COUNT(*)", "ENT_LINE_1"), QString("4"), 2000);
    QCOMPARE(e->Model().Count(), size_t(4));
    QCOMPARE(messages.texts.size(), 1);

    // One 終了 ends it all.
    Main()->close();
    QTRY_VERIFY_WITH_TIMEOUT(Main()->mdiArea()->subWindowList().isEmpty(), 5000);
    QCOMPARE(messages.texts.size(), 1);
}

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    SetUpApplication();
    TestRestart test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_restart.moc"
