// Simulated PCs on one database through the local server, each with its own connection, its
// own listener for the server's notes and its own drawing in memory. Measures how long a
// line stored on one PC takes to be in the others' drawings, a chat line to be read by the
// others and a pointer move to be seen, by note and by the polls alone (the baseline), with
// two and with ten PCs; then ten PCs moving their pointers 20 times a second while two draw,
// with the server's processor time. For that last part each PC runs in a process of its own
// (this program started again with --pc), since one thread cannot keep up with ten PCs'
// round trips to the server.
#include "collab/chatchannel.h"
#include "db/changestore.h"
#include "db/database.h"
#include "db/liveevents.h"
#include "db/presence.h"
#include "db/schema.h"
#include "editor/drawingloader.h"
#include "editor/model/drawingmodel.h"
#include "register/drawingset.h"
#include "support/testdb.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QSocketNotifier>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <memory>
#include <sys/resource.h>
#include <unordered_set>
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
    // Where the load keeps how long each reading of the pointers took.
    std::vector<double> *readMs = nullptr;

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
        if (readMs)
            readMs->push_back(sinceRead.nsecsElapsed() / 1e6);
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

// Sleeps between events, so that eleven processes waiting do not eat the processors they
// measure; the tick bounds each sleep.
void pump(const std::function<bool()> &done, int ms)
{
    QElapsedTimer t;
    t.start();
    QTimer tick;
    tick.start(5);
    while (!done() && t.elapsed() < ms)
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
}

// One clock for every process of the run: steady_clock is the system's monotonic clock.
qint64 nowUs()
{
    using namespace std::chrono;
    return duration_cast<microseconds>(steady_clock::now().time_since_epoch()).count();
}

// The PC numbered i + 1 connected, its drawing loaded, its notes and polls wired; null when
// it cannot connect.
std::unique_ptr<Pc> openPc(const QString &path, int i)
{
    auto pc = std::make_unique<Pc>();
    pc->member = i + 1;
    pc->key = QStringLiteral("bench-pc-%1").arg(i + 1);
    pc->db.ConnectDatabase(path);
    if (!pc->db.DatabaseConnected() || !BeginLoad(pc->db, pc->model)
        || ContinueLoad(pc->db, pc->model, 1 << 30) < 0) {
        std::fprintf(stderr, "PC %d cannot connect: %s\n", i + 1, qPrintable(pc->db.LastError()));
        return nullptr;
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
    return pc;
}

void listenPc(Pc &pc, bool notes)
{
    LiveEvents &live = pc.db.Live();
    live.SetEnabled(notes);
    for (const QString &n :
         {LiveEvents::DrawingEvent(1), LiveEvents::ChatEvent(), LiveEvents::PresenceEvent()}) {
        if (notes)
            live.Want(n);
        else
            live.Drop(n);
    }
}

class Bench
{
public:
    explicit Bench(const QString &path) : path(path) {}

    bool Setup(int count)
    {
        pcs.clear();
        for (int i = 0; i < count; ++i) {
            auto pc = openPc(path, i);
            if (!pc)
                return false;
            pcs.push_back(std::move(pc));
        }
        return true;
    }

    void Listen(bool notes)
    {
        for (auto &pc : pcs)
            listenPc(*pc, notes);
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

// Load lines lie here, below anything else the run draws; their first x is when they were
// stored, in ms from the start.
constexpr double LoadLineY = -1000;
constexpr qint64 MoveUs = 50000, StoreUs = 500000;
// After its last move a PC keeps listening this long before it tells what it saw last.
constexpr int SettleMs = 500;

QByteArray joined(const std::vector<double> &v)
{
    QByteArray out;
    for (double d : v)
        out += ' ' + QByteArray::number(d, 'f', 2);
    return out;
}

// One PC of the load in a process of its own: says "ready" once it listens, starts on
// "go <start µs>" from its standard input, moves its pointer 20 times a second (the first
// two also store a line every half second), and at the end writes what it did and saw.
int runPc(const QString &path, int index, int count, double seconds)
{
    std::unique_ptr<Pc> pc = openPc(path, index);
    if (!pc)
        return 2;
    listenPc(*pc, true);
    pump([&] { return pc->db.Live().Listening(); }, 5000);
    if (!pc->db.Live().Listening()) {
        std::fprintf(stderr, "PC %d does not hear the server's notes\n", index + 1);
        return 2;
    }
    pc->drawingPoll.start();
    pc->chatPoll.start();
    pc->pointerPoll.start();
    std::printf("ready\n");
    std::fflush(stdout);

    qint64 start = -1;
    bool closed = false;
    QByteArray in;
    QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
    QObject::connect(&input, &QSocketNotifier::activated, [&] {
        char buf[128];
        const ssize_t n = ::read(STDIN_FILENO, buf, sizeof buf);
        if (n <= 0) {
            closed = true;
            input.setEnabled(false);
            return;
        }
        in.append(buf, int(n));
        const int nl = in.indexOf('\n');
        const QList<QByteArray> words = in.left(nl).split(' ');
        if (nl >= 0 && words.size() == 2 && words[0] == "go")
            start = words[1].toLongLong();
    });
    pump([&] { return start > 0 || closed; }, 60000);
    if (start <= 0)
        return 3;
    const qint64 endUs = start + qint64(seconds * 1e6);
    auto msFromStart = [&] { return (nowUs() - start) / 1000.0; };

    int tries = 0, ok = 0, moved = 0, stores = 0, failed = 0;
    std::vector<double> pointerLate, lineLate, writeMs, readMs;
    pc->readMs = &readMs;
    std::vector<double> lastMove(count + 1, 0); // by member
    std::vector<int> lines(count + 1, 0); // by member
    std::unordered_set<int32_t> known;
    pc->seen = [&](Pc &p) {
        const double now = msFromStart();
        for (const PresenceRow &r : p.others) {
            if (r.member < 1 || r.member > count || r.x < 1 || r.x <= lastMove[r.member])
                continue;
            lastMove[r.member] = r.x;
            pointerLate.push_back(now - r.y);
        }
        for (size_t k = 0; k < p.model.Count(); ++k) {
            const Entity &e = p.model.At(k);
            const auto *l = std::get_if<LineShape>(&e.shape);
            if (!l || l->y1 != LoadLineY || e.entity.member == p.member
                || !known.insert(e.entity.n).second)
                continue;
            if (e.entity.member >= 1 && e.entity.member <= count)
                ++lines[e.entity.member];
            lineLate.push_back(now - l->x1);
        }
    };

    // On a fixed beat from the common start; a beat missed by more than its period is
    // dropped rather than made up in a burst.
    auto again = [](QTimer &t, qint64 &next, qint64 period) {
        next += period;
        const qint64 now = nowUs();
        if (next < now - period)
            next = now;
        t.start(int(std::max<qint64>(0, (next - now) / 1000)));
    };
    QTimer mover, drawer;
    for (QTimer *t : {&mover, &drawer}) {
        t->setSingleShot(true);
        t->setTimerType(Qt::PreciseTimer);
    }
    qint64 nextMove = start + index * 5000 - MoveUs;
    qint64 nextStore = start + 100000 + index * 250000 - StoreUs;
    QObject::connect(&mover, &QTimer::timeout, [&] {
        if (nowUs() >= endUs)
            return;
        ++tries;
        const double sent = msFromStart();
        const bool written = PublishPresence(pc->db, pc->key, pc->member, 1, tries, sent, true);
        writeMs.push_back(msFromStart() - sent);
        if (written) {
            moved = tries;
            ++ok;
        } else
            ++failed;
        again(mover, nextMove, MoveUs);
    });
    QObject::connect(&drawer, &QTimer::timeout, [&] {
        if (nowUs() >= endUs)
            return;
        ChangeSet op;
        op.member = pc->member;
        EntityRecord e;
        const double t = msFromStart();
        e.shape = LineShape{t, LoadLineY, t + 5, LoadLineY + 5};
        op.created.push_back(e);
        StoredOperation stored;
        if (StoreChanges(pc->db, 1, op, {}, stored) == StoreResult::Stored)
            ++stores;
        else
            ++failed;
        again(drawer, nextStore, StoreUs);
    });
    again(mover, nextMove, MoveUs);
    if (index < 2)
        again(drawer, nextStore, StoreUs);
    const qint64 quitUs = endUs + SettleMs * 1000;
    pump([&] { return nowUs() >= quitUs; }, int((quitUs - nowUs()) / 1000) + 1000);
    mover.stop();
    drawer.stop();
    pc->drawingPoll.stop();
    pc->chatPoll.stop();
    pc->pointerPoll.stop();
    pc->seen = nullptr;
    pc->readMs = nullptr;

    rusage use{};
    getrusage(RUSAGE_SELF, &use);
    const double cpu = use.ru_utime.tv_sec + use.ru_stime.tv_sec
                       + (use.ru_utime.tv_usec + use.ru_stime.tv_usec) / 1e6;
    std::printf("did %d %d %d %d %d %.3f\n", tries, ok, moved, stores, failed, cpu);
    for (int m = 1; m <= count; ++m)
        if (m != pc->member)
            std::printf("saw %d %.0f %d\n", m, lastMove[m], lines[m]);
    std::printf("pointer%s\nline%s\nwrite%s\nread%s\ndone\n", joined(pointerLate).constData(),
                joined(lineLate).constData(), joined(writeMs).constData(),
                joined(readMs).constData());
    std::fflush(stdout);
    return 0;
}

// Ten PCs moving their pointers 20 times a second, two of them storing a line every half
// second, each PC a process of its own; how late the others see pointers and lines, whether
// any PC's picture fell behind, and the server's processor time.
bool load(const QString &path, int count, double seconds)
{
    std::vector<std::unique_ptr<QProcess>> kids;
    std::vector<QByteArray> out(count);
    auto stopAll = [&] {
        for (auto &k : kids)
            if (k->state() != QProcess::NotRunning) {
                k->kill();
                k->waitForFinished(2000);
            }
    };
    for (int i = 0; i < count; ++i) {
        auto k = std::make_unique<QProcess>();
        k->setProcessChannelMode(QProcess::ForwardedErrorChannel);
        QProcess *p = k.get();
        QObject::connect(p, &QProcess::readyReadStandardOutput,
                         [p, &out, i] { out[i] += p->readAllStandardOutput(); });
        p->start(QCoreApplication::applicationFilePath(),
                 {QStringLiteral("--pc"), path, QString::number(i), QString::number(count),
                  QString::number(seconds)});
        kids.push_back(std::move(k));
    }
    auto ready = [&] {
        for (int i = 0; i < count; ++i)
            if (!out[i].contains("ready\n"))
                return false;
        return true;
    };
    auto anyGone = [&] {
        return std::any_of(kids.begin(), kids.end(),
                           [](auto &k) { return k->state() == QProcess::NotRunning; });
    };
    pump([&] { return ready() || anyGone(); }, 60000);
    if (!ready()) {
        std::fprintf(stderr, "  not every PC got ready\n");
        for (int i = 0; i < count; ++i)
            if (kids[i]->state() == QProcess::NotRunning)
                std::fprintf(stderr, "  PC %d ended with %d: %s\n", i + 1, kids[i]->exitCode(),
                             qPrintable(kids[i]->errorString()));
        stopAll();
        return false;
    }
    const qint64 start = nowUs() + 300000;
    for (auto &k : kids)
        k->write("go " + QByteArray::number(start) + '\n');
    pump([&] { return nowUs() >= start; }, 1000);
    const double cpu0 = ServerCpuSeconds();
    const qint64 from = nowUs();
    const qint64 endUs = start + qint64(seconds * 1e6);
    pump([&] { return nowUs() >= endUs; }, int(seconds * 1000) + 1000);
    const double wall = (nowUs() - from) / 1e6;
    const double cpu1 = ServerCpuSeconds();
    pump([&] {
        return std::all_of(kids.begin(), kids.end(),
                           [](auto &k) { return k->state() == QProcess::NotRunning; });
    }, SettleMs + 15000);
    stopAll();
    for (int i = 0; i < count; ++i)
        out[i] += kids[i]->readAllStandardOutput();

    Figures pointers, lines, writes, reads;
    int tries = 0, moves = 0, stores = 0, failed = 0, silent = 0;
    double clientCpu = 0;
    std::vector<int> lastMove(count + 1, 0), stored(count + 1, 0);
    std::vector<std::vector<std::pair<int, int>>> saw(count + 1); // viewer: member, move
    std::vector<std::vector<std::pair<int, int>>> sawLines(count + 1);
    for (int i = 0; i < count; ++i) {
        if (!out[i].contains("\ndone\n") || kids[i]->exitStatus() != QProcess::NormalExit
            || kids[i]->exitCode() != 0) {
            ++silent;
            continue;
        }
        for (const QByteArray &line : out[i].split('\n')) {
            const QList<QByteArray> w = line.split(' ');
            if (w[0] == "did" && w.size() == 7) {
                tries += w[1].toInt();
                moves += w[2].toInt();
                lastMove[i + 1] = w[3].toInt();
                stores += w[4].toInt();
                stored[i + 1] = w[4].toInt();
                failed += w[5].toInt();
                clientCpu += w[6].toDouble();
            } else if (w[0] == "saw" && w.size() == 4) {
                saw[i + 1].push_back({w[1].toInt(), w[2].toInt()});
                sawLines[i + 1].push_back({w[1].toInt(), w[3].toInt()});
            } else if (w[0] == "pointer" || w[0] == "line" || w[0] == "write" || w[0] == "read") {
                Figures &f = w[0] == "pointer" ? pointers
                             : w[0] == "line"  ? lines
                             : w[0] == "write" ? writes
                                               : reads;
                for (int k = 1; k < w.size(); ++k)
                    f.ms.push_back(w[k].toDouble());
            }
        }
    }
    // How far behind each PC's picture of the others stands at the end.
    int behindMoves = 0, behindLines = 0;
    for (int v = 1; v <= count; ++v) {
        for (auto [m, n] : saw[v])
            if (m >= 1 && m <= count)
                behindMoves = std::max(behindMoves, lastMove[m] - n);
        for (auto [m, n] : sawLines[v])
            if (m >= 1 && m <= count)
                behindLines = std::max(behindLines, stored[m] - n);
    }
    std::printf("  %d pointer moves in %.1f s: %.1f a second of the %d asked (%d tried), "
                "%d lines stored, %d failed%s\n",
                moves, seconds, moves / seconds, count * 20, tries, stores, failed,
                silent ? qPrintable(QStringLiteral(", %1 PCs gave no figures").arg(silent)) : "");
    std::printf("  one pointer move written    median %7.1f ms  99%% %7.1f ms\n",
                writes.at(0.5), writes.at(0.99));
    std::printf("  one reading of the pointers median %7.1f ms  99%% %7.1f ms\n", reads.at(0.5),
                reads.at(0.99));
    std::printf("  pointer seen by the others  median %7.1f ms  99%% %7.1f ms  (%zu samples)\n",
                pointers.at(0.5), pointers.at(0.99), pointers.ms.size());
    std::printf("  line in the others' drawing median %7.1f ms  99%% %7.1f ms  (%zu samples)\n",
                lines.at(0.5), lines.at(0.99), lines.ms.size());
    std::printf("  %d ms after the last move: furthest behind %d moves, %d lines (%s)\n",
                SettleMs, behindMoves, behindLines,
                silent ? "not known for every PC"
                : behindMoves == 0 && behindLines == 0 ? "no PC fell behind"
                                                       : "some PC fell behind");
    if (cpu0 >= 0 && cpu1 >= 0)
        std::printf("  server processor %.2f s in %.1f s: %.2f of one core "
                    "(the whole server, other users included)\n",
                    cpu1 - cpu0, wall, (cpu1 - cpu0) / wall);
    else
        std::printf("  server processor time not readable here\n");
    std::printf("  the PCs' processes: %.2f s of processor in all, setup included\n", clientCpu);
    return silent == 0;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() == 6 && args[1] == QLatin1String("--pc"))
        return runPc(args[2], args[3].toInt(), std::clamp(args[4].toInt(), 1, 10),
                     std::clamp(args[5].toDouble(), 1.0, 600.0));
    // bench_live [samples] [--load]: --load runs the ten PCs' load alone.
    const bool loadOnly = args.contains(QLatin1String("--load"));
    int samples = 20;
    for (int i = 1; i < args.size(); ++i)
        if (args[i] != QLatin1String("--load"))
            samples = std::max(args[i].toInt(), 3);
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
        if (loadOnly)
            break;
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
    }
    std::printf("10 PCs moving their pointers 20 times a second, 2 of them drawing, "
                "each PC a process of its own:\n");
    return load(path, 10, 10) ? 0 : 1;
}
