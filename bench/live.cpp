// Simulated PCs on one database through the local server, each with its own connection, its
// own listener for the server's notes and its own drawing in memory. Measures how long a
// line stored on one PC takes to be in the others' drawings, a chat line to be read by the
// others and a pointer move to be seen, by note and by the polls alone (the baseline), with
// two and with ten PCs; then ten PCs moving their pointers 20 times a second while two draw,
// with the server's processor time.
#include "collab/chatchannel.h"
#include "db/changestore.h"
#include "db/database.h"
#include "db/liveevents.h"
#include "db/presence.h"
#include "db/schema.h"
#include "editor/drawingloader.h"
#include "editor/model/drawingmodel.h"
#include "register/drawingset.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <memory>
#include <unistd.h>
#include <vector>

namespace {

enum class What { Line, Chat, Pointer };
const char *const whatNames[] = {"line", "chat line", "pointer move"};

constexpr int DrawingPollMs = 1000;
constexpr int ChatPollMs = 5000;
constexpr int PointerPollMs = 1000;
constexpr int ReadGapMs = 50;

struct Pc
{
    int member = 0;
    QString key;
    Database db;
    DrawingModel model{1};
    std::unique_ptr<ChatChannel> chat;
    QStringList chatLines;
    std::vector<PresenceRow> others;
    QTimer drawingPoll, chatPoll, pointerPoll, readLater;
    QElapsedTimer sinceRead;
    // What the measurement waits for, asked after every reading.
    std::function<void(Pc &)> seen;

    void takeDrawing()
    {
        UpdateModel(db, model);
        if (seen)
            seen(*this);
    }
    void takeChat()
    {
        QStringList lines;
        if (chat->Poll(QDateTime::currentDateTime(), lines))
            chatLines += lines;
        if (seen)
            seen(*this);
    }
    void takePointers()
    {
        sinceRead.start();
        ReadPresence(db, 1, key, others);
        if (seen)
            seen(*this);
    }
    void pointersSoon()
    {
        if (readLater.isActive())
            return;
        const qint64 since = sinceRead.isValid() ? sinceRead.elapsed() : ReadGapMs;
        if (since >= ReadGapMs)
            takePointers();
        else
            readLater.start(int(ReadGapMs - since));
    }
};

struct Figures
{
    std::vector<double> ms;
    int missed = 0;

    double at(double q)
    {
        if (ms.empty())
            return 0;
        std::sort(ms.begin(), ms.end());
        const size_t i = std::min(ms.size() - 1, size_t(q * (ms.size() - 1) + 0.5));
        return ms[i];
    }
};

// Processor time of the server process in seconds; negative when it cannot be read.
double serverSeconds()
{
    const QStringList procs = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs);
    double total = -1;
    for (const QString &pid : procs) {
        QFile comm(QStringLiteral("/proc/%1/comm").arg(pid));
        if (!comm.open(QIODevice::ReadOnly) || comm.readAll().trimmed() != "firebird")
            continue;
        QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
        if (!stat.open(QIODevice::ReadOnly))
            continue;
        const QByteArray text = stat.readAll();
        const QList<QByteArray> f = text.mid(text.lastIndexOf(')') + 2).split(' ');
        if (f.size() < 13)
            continue;
        total = std::max(total, 0.0) + (f[11].toDouble() + f[12].toDouble()) / sysconf(_SC_CLK_TCK);
    }
    return total;
}

class Bench
{
public:
    explicit Bench(const QString &path) : path(path) {}

    bool Setup(int count)
    {
        pcs.clear();
        for (int i = 0; i < count; ++i) {
            auto pc = std::make_unique<Pc>();
            pc->member = i + 1;
            pc->key = QStringLiteral("bench-pc-%1").arg(i + 1);
            pc->db.ConnectDatabase(path);
            if (!pc->db.DatabaseConnected() || !BeginLoad(pc->db, pc->model)
                || ContinueLoad(pc->db, pc->model, 1 << 30) < 0) {
                std::fprintf(stderr, "PC %d cannot connect: %s\n", i + 1,
                             qPrintable(pc->db.LastError()));
                return false;
            }
            pc->chat = std::make_unique<ChatChannel>(pc->db);
            pc->chat->Reset(QDateTime::currentDateTime());
            QStringList ignored;
            pc->chat->Poll(QDateTime::currentDateTime(), ignored);
            Pc *p = pc.get();
            QObject::connect(&p->db.Live(), &LiveEvents::Posted, [p](const QString &name) {
                if (name == LiveEvents::DrawingEvent(1))
                    p->takeDrawing();
                else if (name == LiveEvents::ChatEvent())
                    p->takeChat();
                else
                    p->pointersSoon();
            });
            p->drawingPoll.setInterval(DrawingPollMs);
            p->chatPoll.setInterval(ChatPollMs);
            p->pointerPoll.setInterval(PointerPollMs);
            p->readLater.setSingleShot(true);
            QObject::connect(&p->drawingPoll, &QTimer::timeout, [p] { p->takeDrawing(); });
            QObject::connect(&p->chatPoll, &QTimer::timeout, [p] { p->takeChat(); });
            QObject::connect(&p->pointerPoll, &QTimer::timeout, [p] { p->takePointers(); });
            QObject::connect(&p->readLater, &QTimer::timeout, [p] { p->takePointers(); });
            PublishPresence(p->db, p->key, p->member, 1, 0, 0, true);
            pcs.push_back(std::move(pc));
        }
        return true;
    }

    void Listen(bool notes)
    {
        for (auto &pc : pcs) {
            LiveEvents &live = pc->db.Live();
            live.SetEnabled(notes);
            for (const QString &n : {LiveEvents::DrawingEvent(1), LiveEvents::ChatEvent(),
                                     LiveEvents::PresenceEvent()}) {
                if (notes)
                    live.Want(n);
                else
                    live.Drop(n);
            }
        }
        if (notes)
            wait([this] {
                return std::all_of(pcs.begin(), pcs.end(),
                                   [](auto &pc) { return pc->db.Live().Listening(); });
            }, 5000);
        else
            wait([] { return false; }, 300);
        // Polls are always on, as in the program, but started at scattered moments.
        for (size_t i = 0; i < pcs.size(); ++i) {
            pcs[i]->drawingPoll.start();
            pcs[i]->chatPoll.start();
            pcs[i]->pointerPoll.start();
        }
    }

    void StopPolls()
    {
        for (auto &pc : pcs) {
            pc->drawingPoll.stop();
            pc->chatPoll.stop();
            pc->pointerPoll.stop();
        }
    }

    // One PC writes, every other one waits until it sees it; each waiting PC gives one
    // sample.
    Figures Measure(What what, int samples, int spreadMs)
    {
        Figures out;
        const int timeoutMs = what == What::Chat ? ChatPollMs + 3000 : DrawingPollMs + 3000;
        for (int s = 0; s < samples; ++s) {
            Pc &writer = *pcs[0];
            std::vector<double> got(pcs.size(), -1);
            QElapsedTimer clock;
            const QString text = QStringLiteral("bench-%1-%2").arg(seq).arg(s);
            const double x = ++seq;
            std::vector<size_t> before(pcs.size());
            for (size_t i = 0; i < pcs.size(); ++i)
                before[i] = pcs[i]->model.Count();
            for (size_t i = 1; i < pcs.size(); ++i) {
                pcs[i]->seen = [&, i](Pc &pc) {
                    if (got[i] >= 0)
                        return;
                    bool ok = false;
                    if (what == What::Line)
                        ok = pc.model.Count() > before[i];
                    else if (what == What::Chat)
                        ok = !pc.chatLines.isEmpty() && pc.chatLines.last().contains(text);
                    else
                        ok = std::any_of(pc.others.begin(), pc.others.end(),
                                         [&](const PresenceRow &r) {
                                             return r.member == 1 && r.x == x;
                                         });
                    if (ok)
                        got[i] = clock.nsecsElapsed() / 1e6;
                };
            }
            clock.start();
            bool written = false;
            if (what == What::Line) {
                ChangeSet op;
                op.member = 1;
                EntityRecord e;
                e.shape = LineShape{x, 0, x + 10, 10};
                op.created.push_back(e);
                StoredOperation stored;
                written = StoreChanges(writer.db, 1, op, {}, stored) == StoreResult::Stored;
                UpdateModel(writer.db, writer.model);
            } else if (what == What::Chat) {
                written = writer.chat->Send(text, 1, QDateTime::currentDateTime())
                          == ChatChannel::SendResult::Sent;
            } else {
                written = PublishPresence(writer.db, writer.key, 1, 1, x, 0, true);
            }
            if (!written) {
                if (out.missed == 0)
                    std::fprintf(stderr, "  not written: %s\n", qPrintable(writer.db.LastError()));
                ++out.missed;
                continue;
            }
            wait([&] { return std::all_of(got.begin() + 1, got.end(),
                                          [](double v) { return v >= 0; }); },
                 timeoutMs);
            for (size_t i = 1; i < pcs.size(); ++i)
                got[i] >= 0 ? out.ms.push_back(got[i]) : void(++out.missed);
            for (auto &pc : pcs)
                pc->seen = nullptr;
            // Apart by a random part of the poll's period, so that the samples meet the polls
            // at every moment of it rather than always just after one.
            wait([] { return false; }, 20 + int(QRandomGenerator::global()->bounded(spreadMs)));
        }
        return out;
    }

    // Every PC moves its pointer 20 times a second, two of them store a line every half
    // second; how late the others see pointers and lines, and the server's processor time.
    void Load(double seconds)
    {
        QElapsedTimer clock;
        clock.start();
        std::vector<Figures> lateness(2); // pointers, lines
        std::vector<std::vector<qint64>> moved(pcs.size()); // by pc: time of move n
        std::vector<std::vector<double>> lastSeen(pcs.size(), std::vector<double>(pcs.size(), 0));
        std::vector<qint64> lineAt;
        std::vector<size_t> lineBase(pcs.size());
        for (size_t i = 0; i < pcs.size(); ++i)
            lineBase[i] = pcs[i]->model.Count();
        std::vector<size_t> linesSeen(pcs.size(), 0);
        int moves = 0, stores = 0, failed = 0;
        for (size_t i = 0; i < pcs.size(); ++i) {
            pcs[i]->seen = [&, i](Pc &pc) {
                const qint64 now = clock.nsecsElapsed() / 1000;
                for (const PresenceRow &r : pc.others) {
                    const int from = r.member - 1;
                    const int n = int(r.x);
                    if (from < 0 || size_t(from) >= pcs.size() || r.x <= lastSeen[i][from])
                        continue;
                    lastSeen[i][from] = r.x;
                    if (n >= 1 && size_t(n) <= moved[from].size())
                        lateness[0].ms.push_back((now - moved[from][n - 1]) / 1000.0);
                }
                const size_t have = pc.model.Count() - lineBase[i];
                for (; linesSeen[i] < have && linesSeen[i] < lineAt.size(); ++linesSeen[i])
                    lateness[1].ms.push_back((now - lineAt[linesSeen[i]]) / 1000.0);
            };
        }
        std::vector<std::unique_ptr<QTimer>> movers;
        for (size_t i = 0; i < pcs.size(); ++i) {
            auto t = std::make_unique<QTimer>();
            t->setInterval(50);
            QObject::connect(t.get(), &QTimer::timeout, [&, i] {
                Pc &pc = *pcs[i];
                moved[i].push_back(clock.nsecsElapsed() / 1000);
                ++moves;
                if (!PublishPresence(pc.db, pc.key, pc.member, 1, double(moved[i].size()), 0,
                                     true))
                    ++failed;
            });
            QTimer::singleShot(int(i * 5), t.get(), [p = t.get()] { p->start(); });
            movers.push_back(std::move(t));
        }
        for (size_t i = 0; i < 2 && i < pcs.size(); ++i) {
            auto t = std::make_unique<QTimer>();
            t->setInterval(500);
            QObject::connect(t.get(), &QTimer::timeout, [&, i] {
                Pc &pc = *pcs[i];
                ChangeSet op;
                op.member = pc.member;
                EntityRecord e;
                e.shape = LineShape{double(stores), 5, double(stores) + 5, 10};
                op.created.push_back(e);
                StoredOperation stored;
                lineAt.push_back(clock.nsecsElapsed() / 1000);
                if (StoreChanges(pc.db, 1, op, {}, stored) == StoreResult::Stored)
                    ++stores;
                else {
                    lineAt.pop_back();
                    ++failed;
                }
            });
            QTimer::singleShot(int(100 + i * 250), t.get(), [p = t.get()] { p->start(); });
            movers.push_back(std::move(t));
        }
        const double cpu0 = serverSeconds();
        clock.restart();
        wait([] { return false; }, int(seconds * 1000));
        const double wall = clock.nsecsElapsed() / 1e9;
        const double cpu1 = serverSeconds();
        movers.clear();
        wait([] { return false; }, 300);
        for (auto &pc : pcs)
            pc->seen = nullptr;
        // How far behind each PC's picture of the others stands at the end, in moves.
        int behind = 0;
        for (size_t i = 0; i < pcs.size(); ++i)
            for (size_t j = 0; j < pcs.size(); ++j)
                if (i != j)
                    behind = std::max(behind, int(moved[j].size() - lastSeen[i][j]));
        std::printf("  %d pointer moves (%.0f a second of the %zu asked; all PCs share this "
                    "process's one thread), %d lines stored, %d failed\n",
                    moves, moves / wall, pcs.size() * 20, stores, failed);
        std::printf("  pointer seen by the others  median %7.1f ms  99%% %7.1f ms\n",
                    lateness[0].at(0.5), lateness[0].at(0.99));
        std::printf("  line in the others' drawing median %7.1f ms  99%% %7.1f ms\n",
                    lateness[1].at(0.5), lateness[1].at(0.99));
        std::printf("  furthest behind at the end: %d moves\n", behind);
        if (cpu0 >= 0 && cpu1 >= 0)
            std::printf("  server processor %.2f s in %.1f s: %.2f of one core "
                        "(the whole server, other users included)\n",
                        cpu1 - cpu0, wall, (cpu1 - cpu0) / wall);
        else
            std::printf("  server processor time not readable here\n");
    }

    size_t Count() const { return pcs.size(); }

private:
    void wait(const std::function<bool()> &done, int ms)
    {
        QElapsedTimer t;
        t.start();
        while (!done() && t.elapsed() < ms)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }

    QString path;
    std::vector<std::unique_ptr<Pc>> pcs;
    int seq = 0;
};

void row(What what, Figures byNote, Figures byPoll)
{
    const double n = byNote.at(0.5), p = byPoll.at(0.5);
    std::printf("  %-13s by note  median %7.1f ms  99%% %7.1f ms | by poll  median %7.1f ms"
                "  99%% %7.1f ms | poll / note %6.1f  (%zu + %zu samples, %d missed)\n",
                whatNames[int(what)], n, byNote.at(0.99), p, byPoll.at(0.99),
                n > 0 ? p / n : 0.0, byNote.ms.size(), byPoll.ms.size(),
                byNote.missed + byPoll.missed);
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const int samples = argc > 1 ? std::max(QByteArray(argv[1]).toInt(), 3) : 20;
    QTemporaryDir dir;
    QFile::setPermissions(dir.path(), QFileDevice::Permissions(0x7777));
    const QString path = QStringLiteral("localhost:") + dir.path() + QStringLiteral("/LIVE.FDB");
    {
        Database setup;
        setup.CreateDatabase(path);
        bool ok = setup.DatabaseConnected() && CreateMemberTable(setup)
                  && CreateChatTable(setup) && CreatePresenceTable(setup)
                  && EnsureDrawingTables(setup, 1);
        for (int i = 1; ok && i <= 10; ++i)
            ok = setup.SqlInsertList(QStringLiteral("MEMBER"), QStringLiteral("N, SN, PNAME"),
                                     QStringLiteral("%1, 0, 'PC%1'").arg(i));
        if (!ok) {
            std::fprintf(stderr, "no database through the local server: %s\n",
                         qPrintable(setup.LastError()));
            return 1;
        }
    }
    for (int count : {2, 10}) {
        Bench bench(path);
        if (!bench.Setup(count))
            return 1;
        std::printf("%d PCs (each sample: one PC writes, %d wait for it)\n", count, count - 1);
        for (What what : {What::Line, What::Chat, What::Pointer}) {
            bench.Listen(true);
            const int period = what == What::Chat ? ChatPollMs : DrawingPollMs;
            Figures note = bench.Measure(what, samples, 100);
            bench.StopPolls();
            bench.Listen(false);
            Figures poll = bench.Measure(what, what == What::Chat ? std::max(3, samples / 4)
                                                                  : std::max(3, samples / 2),
                                         period);
            bench.StopPolls();
            row(what, note, poll);
        }
        if (count == 10) {
            std::printf("10 PCs moving their pointers 20 times a second, 2 of them drawing:\n");
            bench.Listen(true);
            bench.Load(10);
            bench.StopPolls();
        }
    }
    return 0;
}
