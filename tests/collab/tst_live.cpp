// Two PCs through the local server: what one stores, writes or points at reaches the other
// by the server's note well before any poll would, still by the poll when no note comes,
// and again after the listening connection was cut.
#include "base/globals.h"
#include "base/messages.h"
#include "collab/chatchannel.h"
#include "collab/chatwindow.h"
#include "db/changestore.h"
#include "db/database.h"
#include "db/liveevents.h"
#include "db/presence.h"
#include "editor/editorwindow.h"
#include "editor/livecursors.h"
#include "editor/model/drawingmodel.h"
#include "register/drawingset.h"
#include "support/testdb.h"

#include <QElapsedTimer>
#include <QLabel>
#include <QPlainTextEdit>
#include <QSignalSpy>
#include <QStatusBar>
#include <QTimer>
#include <QtTest>

#include <memory>

namespace {

// Well below the editor's 1 s poll, which the tests lengthen besides.
constexpr int NoteMs = 400;

ChangeSet line(double x1, double y1, double x2, double y2)
{
    ChangeSet op;
    op.member = 8;
    EntityRecord e;
    e.shape = LineShape{x1, y1, x2, y2};
    op.created.push_back(e);
    return op;
}

int32_t store(Database &db, const ChangeSet &op)
{
    StoredOperation out;
    if (StoreChanges(db, 1, op, {}, out) != StoreResult::Stored)
        return 0;
    return out.rows.empty() ? -1 : out.rows.front().entity.n;
}

int liveCount(const DrawingModel &m)
{
    int n = 0;
    for (size_t i = 0; i < m.Count(); ++i)
        n += m.At(i).Live() ? 1 : 0;
    return n;
}

} // namespace

class TestLive : public QObject
{
    Q_OBJECT

private:
    // This PC (member 7, the program's own connection) and another PC (member 8).
    struct TwoPcs
    {
        ProgramFixture program{true};
        Database other;
        QPointer<TForm13> editor;

        bool open()
        {
            Config().PcUserNo = 7;
            Config().EditorWidth = 700;
            Config().EditorHeight = 500;
            Database &db = Db();
            if (!program.connected || !EnsureDrawingTables(db, 1)
                || !Main()->EnsureTable("MEMBER")
                || !db.ExecSqlLines({"INSERT INTO MEMBER (N, SN, PNAME) VALUES (7, 0, '山田')"})
                || !db.ExecSqlLines({"INSERT INTO MEMBER (N, SN, PNAME) VALUES (8, 0, '佐藤')"}))
                return false;
            other.ConnectDatabase(program.db.serverPath());
            if (!other.DatabaseConnected())
                return false;
            editor = new TForm13(Main()->Context(), 1, 420, 297);
            Main()->OpenChild(editor);
            for (int i = 0; i < 300 && !(editor && editor->Loaded()); ++i)
                QTest::qWait(10);
            return editor && editor->Loaded();
        }

        ~TwoPcs() { delete editor; }
    };

    // a on a fresh database through the server, b on the same one as another PC.
    static bool openTwo(TestDb &place, Database &a, Database &b)
    {
        if (!place.open(a, true))
            return false;
        b.ConnectDatabase(place.serverPath());
        return b.DatabaseConnected();
    }

    static bool listening(Database &db)
    {
        for (int i = 0; i < 300 && !db.Live().Listening(); ++i)
            QTest::qWait(10);
        return db.Live().Listening();
    }

private slots:
    void init()
    {
        Globals() = ProgramValues();
    }

    // The listener alone: a note only for a committed transaction that posted a wanted
    // name, none for the registration itself.
    void notesOnlyOnCommit()
    {
        TestDb place;
        Database a, b;
        QVERIFY(openTwo(place, a, b));
        LiveEvents &live = a.Live();
        QSignalSpy posted(&live, &LiveEvents::Posted);
        live.Want("HAROKAN_D3");
        live.Want("bad name'; DROP TABLE X");
        QVERIFY(listening(a));
        QTest::qWait(200);
        QCOMPARE(posted.count(), 0); // the first delivery is the registration's own

        QVERIFY(b.StartTransaction() && b.PostEventNoCommit("HAROKAN_D3"));
        b.RollbackTransaction();
        QVERIFY(b.StartTransaction() && b.PostEventNoCommit("HAROKAN_D4")
                && b.CommitTransaction());
        QTest::qWait(NoteMs);
        QCOMPARE(posted.count(), 0);

        QVERIFY(b.StartTransaction() && b.PostEventNoCommit("HAROKAN_D3"));
        QTest::qWait(100);
        QCOMPARE(posted.count(), 0);
        QVERIFY(b.CommitTransaction());
        QTRY_COMPARE_WITH_TIMEOUT(posted.count(), 1, NoteMs);
        QCOMPARE(posted.at(0).at(0).toString(), QStringLiteral("HAROKAN_D3"));
        // Armed again after each delivery.
        QVERIFY(b.StartTransaction() && b.PostEventNoCommit("HAROKAN_D3")
                && b.CommitTransaction());
        QTRY_COMPARE_WITH_TIMEOUT(posted.count(), 2, NoteMs);
        QVERIFY(!b.PostEventNoCommit("HAROKAN_D3'; END"));
        b.RollbackTransaction();

        // Several names at once, each heard again and again, and only itself.
        live.Want("HAROKAN_CHAT");
        QVERIFY(listening(a));
        QTest::qWait(100);
        posted.clear();
        for (int i = 0; i < 3; ++i) {
            for (const char *name : {"HAROKAN_CHAT", "HAROKAN_D3"}) {
                QVERIFY(b.StartTransaction() && b.PostEventNoCommit(name) && b.CommitTransaction());
                QTRY_COMPARE_WITH_TIMEOUT(posted.count(), 1, NoteMs);
                QCOMPARE(posted.takeFirst().at(0).toString(), QString::fromLatin1(name));
            }
        }
        // Nothing was taken for a lost connection on the way.
        QCOMPARE(live.Reopened(), 0);
        live.Drop("HAROKAN_CHAT");

        live.Drop("HAROKAN_D3");
        QVERIFY(!live.Listening());
        QCOMPARE(live.AttachmentId(), 0);
    }

    // Listeners come and go while another connection keeps posting: some are gone before
    // they listen, some while a note is on its way, some drop and want a name again at
    // once. Nothing of theirs may be called once it is gone, and the one that stays keeps
    // hearing every name it wants.
    void listenersComeAndGo()
    {
        TestDb place;
        Database a, b;
        QVERIFY(openTwo(place, a, b));
        LiveEvents &stay = a.Live();
        QSignalSpy heardByStay(&stay, &LiveEvents::Posted);
        stay.Want("HAROKAN_D5");
        QVERIFY(listening(a));

        int posts = 0;
        QTimer poster;
        connect(&poster, &QTimer::timeout, [&] {
            if (b.StartTransaction() && b.PostEventNoCommit("HAROKAN_D5")
                && b.PostEventNoCommit("HAROKAN_D6") && b.CommitTransaction())
                ++posts;
            else
                b.RollbackTransaction();
        });
        poster.start(3);

        int heardByGone = 0, rounds = 0;
        QElapsedTimer spent;
        spent.start();
        for (; rounds < 48 && spent.elapsed() < 40000; ++rounds) {
            auto c = std::make_unique<Database>();
            c->ConnectDatabase(place.serverPath());
            QVERIFY(c->DatabaseConnected());
            LiveEvents &l = c->Live();
            connect(&l, &LiveEvents::Posted, [&heardByGone] { ++heardByGone; });
            l.Want("HAROKAN_D5");
            // A second name arms the block again: cancelled and queued anew.
            if (rounds % 2)
                l.Want("HAROKAN_D6");
            if (rounds % 4 == 0) {
                for (int i = 0; i < 300 && !l.Listening(); ++i)
                    QTest::qWait(10);
            }
            QTest::qWait(rounds % 5 * 9);
            if (rounds % 3 == 0) {
                l.Drop("HAROKAN_D5");
                l.Want("HAROKAN_D5");
            }
            QTest::qWait(rounds % 7 * 5);
        }
        poster.stop();
        QVERIFY(rounds >= 12);
        QVERIFY(posts > rounds);
        QVERIFY(heardByGone > 0);

        // Still armed on the attachment it began with, and hearing.
        QVERIFY(heardByStay.count() > 0);
        QVERIFY(stay.Listening());
        QCOMPARE(stay.Reopened(), 0);
        QTest::qWait(100);
        heardByStay.clear();
        QVERIFY(b.StartTransaction() && b.PostEventNoCommit("HAROKAN_D5") && b.CommitTransaction());
        QTRY_COMPARE_WITH_TIMEOUT(heardByStay.count(), 1, NoteMs);
        QCOMPARE(heardByStay.at(0).at(0).toString(), QStringLiteral("HAROKAN_D5"));
    }

    // Line, erase, chat line and pointer of the other PC arrive by note within the bound,
    // with the polls made too slow to bring them.
    void arriveByNote()
    {
        MessageRecorder messages;
        TwoPcs pcs;
        QVERIFY(pcs.open());
        TForm13 *e = pcs.editor;
        e->SetPollMs(60000);
        e->Cursors().SetReadMs(60000);
        QVERIFY(listening(Db()));

        const int32_t first = store(pcs.other, line(0, 0, 100, 50));
        QVERIFY(first > 0);
        QTRY_COMPARE_WITH_TIMEOUT(liveCount(e->Model()), 1, NoteMs);
        QVERIFY(store(pcs.other, line(-50, 0, -10, 80)) > 0);
        QTRY_COMPARE_WITH_TIMEOUT(liveCount(e->Model()), 2, NoteMs);
        ChangeSet erase;
        erase.member = 8;
        erase.erased = {first};
        QVERIFY(store(pcs.other, erase) != 0);
        QTRY_COMPARE_WITH_TIMEOUT(liveCount(e->Model()), 1, NoteMs);
        QVERIFY(e->Model().Find(first) && !e->Model().Find(first)->Live());

        Main()->DoChatStart();
        const QList<TForm6 *> chats = ChildWindows<TForm6>();
        QCOMPARE(chats.size(), 1);
        TForm6 *chat = chats.first();
        ChatChannel channel(pcs.other);
        channel.Reset(QDateTime::currentDateTime());
        QCOMPARE(channel.Send("図面を更新しました", 8, QDateTime::currentDateTime()),
                 ChatChannel::SendResult::Sent);
        QTRY_VERIFY_WITH_TIMEOUT(chat->RichEdit1->toPlainText().contains("佐藤＞図面を更新しました"),
                                 NoteMs);

        // The other PC points at (100, 50) on the paper: drawn there, in its colour.
        QVERIFY(PublishPresence(pcs.other, "pc-b", 8, 1, 100, 50, true));
        QTRY_COMPARE_WITH_TIMEOUT(int(e->Cursors().Others().size()), 1, NoteMs);
        QCOMPARE(e->Cursors().Others().front().name, QStringLiteral("佐藤"));
        QVERIFY(e->StatusBar1->findChild<QLabel *>("PresenceLabel")->text().contains("佐藤"));
        const ViewParams v = e->CurrentView().Params();
        const QPoint tip(int((100 - v.x1) * v.scale), v.height - int((50 - v.y1) * v.scale));
        const QImage shown = e->PaintBox1->grab().toImage();
        const QColor colour = QColor::fromRgb(LiveCursors::ColourOf("pc-b"));
        QCOMPARE(shown.pixelColor(tip + QPoint(3, 9)).rgb() & 0xFFFFFF, colour.rgb() & 0xFFFFFF);
        QVERIFY(PublishPresence(pcs.other, "pc-b", 8, 1, -20, 30, true));
        QTRY_COMPARE_WITH_TIMEOUT(e->Cursors().Others().front().x, -20.0, NoteMs);
        // Its pointer left its paint box: still there, faint.
        QVERIFY(PublishPresence(pcs.other, "pc-b", 8, 1, -20, 30, false));
        QTRY_VERIFY_WITH_TIMEOUT(!e->Cursors().Others().front().inside, NoteMs);

        // This editor's own pointer is published in paper millimetres.
        const QPoint at(200, 150);
        QMouseEvent move(QEvent::MouseMove, QPointF(at), QPointF(e->PaintBox1->mapToGlobal(at)),
                         Qt::NoButton, Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(e->PaintBox1, &move);
        const PaperPoint p = e->CurrentView().ToPaper(at.x(), at.y());
        std::vector<PresenceRow> seen;
        QTRY_VERIFY_WITH_TIMEOUT(ReadPresence(pcs.other, 1, "pc-b", seen) && seen.size() == 1
                                     && std::abs(seen.front().x - p.x) < 1e-9,
                                 NoteMs);
        QCOMPARE(seen.front().member, 7);
        QCOMPARE(seen.front().y, p.y);
        QVERIFY(messages.texts.isEmpty());
    }

    // Another build posts nothing: everything still arrives, by the polls.
    void arriveByPoll()
    {
        TwoPcs pcs;
        QVERIFY(pcs.open());
        Db().Live().SetEnabled(false);
        TForm13 *e = pcs.editor;
        QVERIFY(!Db().Live().Listening());
        QVERIFY(store(pcs.other, line(0, 0, 10, 10)) > 0);
        QTRY_COMPARE_WITH_TIMEOUT(liveCount(e->Model()), 1, 2500);
        QVERIFY(PublishPresence(pcs.other, "pc-b", 8, 1, 5, 5, true));
        QTRY_COMPARE_WITH_TIMEOUT(int(e->Cursors().Others().size()), 1, 2500);

        // A row the other PC stopped refreshing drops out after ten seconds.
        QVERIFY(pcs.other.ExecSqlLines(
            {"UPDATE PRESENCE SET TS = DATEADD(-11 SECOND TO CURRENT_TIMESTAMP) "
             "WHERE PC = 'pc-b'"}));
        QTRY_COMPARE_WITH_TIMEOUT(int(e->Cursors().Others().size()), 0, 2500);
        QVERIFY(e->StatusBar1->findChild<QLabel *>("PresenceLabel")->text().isEmpty());

        Main()->DoChatStart();
        const QList<TForm6 *> chats = ChildWindows<TForm6>();
        QCOMPARE(chats.size(), 1);
        ChatChannel channel(pcs.other);
        channel.Reset(QDateTime::currentDateTime());
        QCOMPARE(channel.Send("ポーリング", 8, QDateTime::currentDateTime()),
                 ChatChannel::SendResult::Sent);
        QTRY_VERIFY_WITH_TIMEOUT(chats.first()->RichEdit1->toPlainText().contains("ポーリング"),
                                 TForm6::PollMs + 1500);

        // Closing takes this editor's row away, and rows long dead with it; a live one stays.
        QVERIFY(PublishPresence(pcs.other, "pc-old", 8, 1, 1, 1, true));
        QVERIFY(PublishPresence(pcs.other, "pc-b", 8, 1, 1, 1, true));
        QVERIFY(pcs.other.ExecSqlLines(
            {"UPDATE PRESENCE SET TS = DATEADD(-2 HOUR TO CURRENT_TIMESTAMP) "
             "WHERE PC = 'pc-old'"}));
        const QString mine = e->Cursors().Key();
        QCOMPARE(QueryValue(pcs.other, "COUNT(*)", "PRESENCE", "PC = '" + mine + "'"),
                 QStringLiteral("1"));
        QVERIFY(e->parentWidget()->close());
        QCOMPARE(QueryValue(pcs.other, "COUNT(*)", "PRESENCE"), QStringLiteral("1"));
        QCOMPARE(QueryValue(pcs.other, "PC", "PRESENCE"), QStringLiteral("pc-b"));
    }

    // The listening connection is cut on the server: it comes back by itself, what was
    // stored meanwhile is taken in, nobody is asked anything.
    void recoversFromLostConnection()
    {
        MessageRecorder messages;
        TwoPcs pcs;
        QVERIFY(pcs.open());
        TForm13 *e = pcs.editor;
        e->SetPollMs(60000);
        LiveEvents &live = Db().Live();
        QVERIFY(listening(Db()));
        const qint64 id = live.AttachmentId();
        QVERIFY(id > 0);
        QVERIFY(pcs.other.ExecSqlLines(
            {QStringLiteral("DELETE FROM MON$ATTACHMENTS WHERE MON$ATTACHMENT_ID = %1").arg(id)}));
        QVERIFY(store(pcs.other, line(1, 1, 2, 2)) > 0);
        QTRY_VERIFY_WITH_TIMEOUT(live.Reopened() >= 1 && live.Listening(),
                                 LiveEvents::CheckMs + 3000);
        QVERIFY(live.AttachmentId() != id);
        // The line stored while nobody listened came with the full check after reopening.
        QTRY_COMPARE_WITH_TIMEOUT(liveCount(e->Model()), 1, NoteMs);
        QVERIFY(store(pcs.other, line(3, 3, 4, 4)) > 0);
        QTRY_COMPARE_WITH_TIMEOUT(liveCount(e->Model()), 2, NoteMs);
        // The program's own connection was never touched.
        QVERIFY(Db().DatabaseConnected());
        QVERIFY(messages.texts.isEmpty());
    }

    // The back-off between attempts grows and stays bounded.
    void backOffBounded()
    {
        QCOMPARE(LiveEvents::BackOffMs(0), 250);
        QVERIFY(LiveEvents::BackOffMs(1) > LiveEvents::BackOffMs(0));
        QCOMPARE(LiveEvents::BackOffMs(1000), LiveEvents::BackOffMs(5));
        QVERIFY(LiveEvents::BackOffMs(1000) <= 10000);
        QVERIFY(LiveEvents::PostStatement("HAROKAN_D1'").isEmpty());
        QCOMPARE(LiveEvents::PostStatement("HAROKAN_CHAT"),
                 QStringLiteral("EXECUTE BLOCK AS BEGIN POST_EVENT 'HAROKAN_CHAT'; END"));
    }
};

QTEST_MAIN(TestLive)
#include "tst_live.moc"
