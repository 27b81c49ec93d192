// Ten PCs on one database through the local server: each polls the chat every 5 s and the
// pointers every second while two of them send chat lines as fast as they can. Prints the
// polls the server answered, the slowest poll against one PC polling alone, and whether
// every line sent reached every PC.
#include "collab/chatchannel.h"
#include "collab/pointers.h"
#include "db/database.h"
#include "db/schema.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QElapsedTimer>
#include <QFile>
#include <QSet>
#include <QTemporaryDir>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <thread>
#include <vector>

namespace {

constexpr int Pcs = 10;
constexpr int Senders = 2;
constexpr qint64 ChatPollMs = 5000;
constexpr qint64 PointerPollMs = 1000;

struct Pc
{
    int member = 0;
    Database db;
    ChatChannel chat{db};
    QSet<QString> received;
    QStringList sent;
    int chatPolls = 0, pointerPolls = 0, failedPolls = 0, refusedSends = 0;
    double slowestChatMs = 0, slowestPointerMs = 0;
};

double elapsedMs(const QElapsedTimer &clock)
{
    return clock.nsecsElapsed() / 1e6;
}

// The text of a display line "name＞text(date time)".
QString lineText(const QString &line)
{
    const qsizetype from = line.indexOf(u'＞') + 1;
    return line.mid(from, line.lastIndexOf(u'(') - from);
}

void pollChat(Pc &pc)
{
    QElapsedTimer clock;
    clock.start();
    QStringList lines;
    const bool ok = pc.chat.Poll(QDateTime::currentDateTime(), lines);
    pc.slowestChatMs = std::max(pc.slowestChatMs, elapsedMs(clock));
    ok ? ++pc.chatPolls : ++pc.failedPolls;
    for (const QString &line : lines)
        pc.received.insert(lineText(line));
}

void pollPointers(Pc &pc, int tick)
{
    QElapsedTimer clock;
    clock.start();
    QList<PointerRow> rows;
    const bool ok = PublishPointer(pc.db, pc.member, 1, QPoint(tick % 800, pc.member * 20))
                    && ReadPointers(pc.db, pc.member, rows) && rows.size() == Pcs - 1;
    pc.slowestPointerMs = std::max(pc.slowestPointerMs, elapsedMs(clock));
    ok ? ++pc.pointerPolls : ++pc.failedPolls;
}

void run(Pc &pc, bool sender, qint64 durationMs, const QElapsedTimer &start)
{
    pc.chat.Reset(QDateTime::currentDateTime());
    qint64 nextChat = pc.member * 500 % ChatPollMs;
    qint64 nextPointer = pc.member * 100 % PointerPollMs;
    int tick = 0;
    for (qint64 now = start.elapsed(); now < durationMs; now = start.elapsed()) {
        if (now >= nextPointer) {
            pollPointers(pc, tick++);
            nextPointer += PointerPollMs;
        } else if (now >= nextChat) {
            pollChat(pc);
            nextChat += ChatPollMs;
        } else if (sender) {
            const QString text = QStringLiteral("PC%1-%2").arg(pc.member).arg(pc.sent.size());
            // A refused send keeps its text; the user sends it again.
            if (pc.chat.Send(text, pc.member, QDateTime::currentDateTime())
                == ChatChannel::SendResult::Sent)
                pc.sent << text;
            else
                ++pc.refusedSends;
        } else {
            const qint64 wait = std::min({nextPointer, nextChat, durationMs}) - now;
            std::this_thread::sleep_for(std::chrono::milliseconds(std::max<qint64>(wait, 1)));
        }
    }
    PublishPointer(pc.db, pc.member, 0, QPoint());
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const qint64 durationMs = (argc > 1 ? std::max(QByteArray(argv[1]).toInt(), 5) : 60) * 1000;
    QTemporaryDir dir;
    QFile::setPermissions(dir.path(), QFileDevice::Permissions(0x7777));
    const QString path = QStringLiteral("localhost:") + dir.path() + QStringLiteral("/BENCH.FDB");

    std::vector<Pc> pcs(Pcs);
    {
        Database &setup = pcs[0].db;
        setup.CreateDatabase(path);
        bool ok = setup.DatabaseConnected() && CreateMemberTable(setup) && CreateChatTable(setup)
                  && CreateMousePosTable(setup);
        for (int i = 1; ok && i <= Pcs; ++i)
            ok = setup.SqlInsertList(QStringLiteral("MEMBER"), QStringLiteral("N, SN, PNAME"),
                                     QStringLiteral("%1, 0, 'PC%1'").arg(i));
        if (!ok) {
            std::fprintf(stderr, "no database through the local server: %s\n",
                         qPrintable(setup.LastError()));
            return 1;
        }
    }
    for (int i = 0; i < Pcs; ++i) {
        pcs[i].member = i + 1;
        pcs[i].db.ConnectDatabase(path);
        if (!pcs[i].db.DatabaseConnected()) {
            std::fprintf(stderr, "PC %d cannot connect: %s\n", i + 1,
                         qPrintable(pcs[i].db.LastError()));
            return 1;
        }
        PublishPointer(pcs[i].db, pcs[i].member, 1, QPoint());
    }

    // Baseline: one PC alone, polling back to back on the same tables.
    Pc alone;
    alone.member = Pcs;
    alone.db.ConnectDatabase(path);
    alone.chat.Reset(QDateTime::currentDateTime());
    QElapsedTimer clock;
    int baselinePolls = 0;
    double aloneChatMs = 0, alonePointerMs = 0;
    for (; baselinePolls < 200 && aloneChatMs + alonePointerMs < 2000; ++baselinePolls) {
        clock.restart();
        pollChat(alone);
        aloneChatMs += elapsedMs(clock);
        clock.restart();
        pollPointers(alone, baselinePolls);
        alonePointerMs += elapsedMs(clock);
    }
    aloneChatMs /= baselinePolls;
    alonePointerMs /= baselinePolls;
    alone.db.DisconnectDatabase();

    std::printf("%d PCs for %lld s, %d of them sending as fast as they can\n", Pcs,
                durationMs / 1000, Senders);
    std::vector<std::thread> threads;
    clock.restart();
    for (int i = 0; i < Pcs; ++i)
        threads.emplace_back([&, i] { run(pcs[i], i < Senders, durationMs, clock); });
    for (std::thread &t : threads)
        t.join();
    const double seconds = elapsedMs(clock) / 1000;
    // Lines sent after a PC's last poll reach it at its next one.
    for (Pc &pc : pcs)
        pollChat(pc);

    int chatPolls = 0, pointerPolls = 0, failed = 0, refused = 0;
    double slowestChat = 0, slowestPointer = 0;
    QStringList sent;
    for (const Pc &pc : pcs) {
        chatPolls += pc.chatPolls;
        pointerPolls += pc.pointerPolls;
        failed += pc.failedPolls;
        refused += pc.refusedSends;
        slowestChat = std::max(slowestChat, pc.slowestChatMs);
        slowestPointer = std::max(slowestPointer, pc.slowestPointerMs);
        sent += pc.sent;
    }
    int receivedByAll = 0;
    for (const QString &text : sent) {
        receivedByAll += std::all_of(pcs.begin(), pcs.end(),
                                     [&](const Pc &pc) { return pc.received.contains(text); });
    }
    const int lost = int(sent.size()) - receivedByAll;
    std::printf("polls answered     %.1f per second (%d chat, %d pointer, %d failed)\n",
                (chatPolls + pointerPolls) / seconds, chatPolls, pointerPolls, failed);
    std::printf("chat poll                 alone %6.2f ms, slowest %7.2f ms, ratio %5.1f\n",
                aloneChatMs, slowestChat, slowestChat / aloneChatMs);
    std::printf("pointer publish and read  alone %6.2f ms, slowest %7.2f ms, ratio %5.1f\n",
                alonePointerMs, slowestPointer, slowestPointer / alonePointerMs);
    std::printf("lines sent %lld (%.1f per second), received by every PC %d, lost %d, "
                "sends refused as busy %d (sent again)\n",
                sent.size(), sent.size() / seconds, receivedByAll, lost, refused);
    return lost == 0 && failed == 0 ? 0 : 1;
}
