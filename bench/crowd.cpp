// Simulated PCs drawing into one drawing at once through the local server, each a process of
// its own with its own connection and its drawing in memory, storing a line every 50 to 200 ms
// the way the editor stores one. Afterwards the tables are read back: every line a PC was told
// stored is there once under its number, no number given twice. Twenty PCs against one as
// the baseline, with the times of the stores and the server's processor time.
//   bench_crowd [seconds, 60 by default] [PCs, 20 by default]
#include "db/changestore.h"
#include "db/database.h"
#include "editor/drawingloader.h"
#include "editor/model/drawingmodel.h"
#include "register/drawingset.h"
#include "support/testdb.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QThread>

#include <algorithm>
#include <cstdio>
#include <map>
#include <memory>
#include <set>
#include <vector>

namespace {

// One PC: stores lines until the time is up, reading what the others stored once a second
// as the editor's poll does. Prints "<entity> <ms> <attempts>" for each line stored, "failed"
// for each store that was not.
int runPc(const QString &path, int drawing, int member, int seconds)
{
    Database db;
    db.ConnectDatabase(path);
    DrawingModel model(drawing);
    if (!db.DatabaseConnected() || !BeginLoad(db, model) || ContinueLoad(db, model, 1 << 30) < 0) {
        std::fprintf(stderr, "PC %d cannot open the drawing: %s\n", member,
                     qPrintable(db.LastError()));
        return 1;
    }
    QRandomGenerator random(uint32_t(member) * 7919u);
    QElapsedTimer clock, poll;
    clock.start();
    poll.start();
    while (clock.elapsed() < seconds * 1000LL) {
        QThread::msleep(50 + random.bounded(151));
        ChangeSet changes;
        changes.name = QStringLiteral("線分の作図");
        changes.member = member;
        EntityRecord e;
        e.look.layer = int16_t(member % 8);
        const double x = random.bounded(800.0) - 400, y = random.bounded(560.0) - 280;
        e.shape = LineShape{x, y, x + 5 + member, y + 3};
        changes.created.push_back(e);
        NumberHints hints{model.HighestHistory(), model.HighestEntity(), {}};
        for (int kind = KindLine; kind <= KindText; ++kind)
            hints.rows[kind] = model.HighestRow(kind);
        StoredOperation out;
        QElapsedTimer store;
        store.start();
        const StoreResult result = StoreChanges(db, drawing, changes, hints, out);
        const double ms = store.nsecsElapsed() / 1e6;
        if (result != StoreResult::Stored || out.rows.size() != 1) {
            std::printf("failed\n");
            continue;
        }
        std::printf("%d %.3f %d\n", out.rows[0].entity.n, ms, out.attempts);
        model.TakeStored(out.rows, out.erased, out.restored, out.operation, out.firstHistory);
        if (poll.elapsed() >= 1000) {
            UpdateModel(db, model);
            poll.restart();
        }
    }
    std::fflush(stdout);
    return 0;
}

struct Run
{
    int pcs = 0;
    size_t stored = 0;
    int failed = 0, lost = 0, duplicates = 0;
    int retried = 0; // stores that took another attempt, their numbers taken first
    double p50 = 0, p99 = 0, most = 0;
    double serverCpu = -1; // seconds
    double wall = 0;
};

double at(std::vector<double> &v, double q)
{
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    return v[std::min(v.size() - 1, size_t(q * double(v.size() - 1) + 0.5))];
}

bool crowd(Database &db, const QString &path, int drawing, int pcs, int seconds, Run &run)
{
    if (!EnsureDrawingTables(db, drawing))
        return false;
    run.pcs = pcs;
    const double cpuBefore = ServerCpuSeconds();
    QElapsedTimer clock;
    clock.start();
    std::vector<std::unique_ptr<QProcess>> children;
    for (int i = 0; i < pcs; ++i) {
        auto p = std::make_unique<QProcess>();
        p->setProcessChannelMode(QProcess::ForwardedErrorChannel);
        p->start(QCoreApplication::applicationFilePath(),
                 {QStringLiteral("--pc"), path, QString::number(drawing), QString::number(i + 1),
                  QString::number(seconds)});
        children.push_back(std::move(p));
    }
    // Number given to whom; a number given twice counts once for each extra time.
    std::map<int32_t, int> givenTo;
    std::vector<double> times;
    bool ok = true;
    for (size_t i = 0; i < children.size(); ++i) {
        QProcess &p = *children[i];
        // Bounded: the run's time, then a minute for the last store and the loading.
        const int left = std::max(1000, int(seconds * 1000LL + 60000 - clock.elapsed()));
        if (!p.waitForFinished(left) || p.exitCode() != 0) {
            std::fprintf(stderr, "PC %zu did not finish\n", i + 1);
            p.kill();
            p.waitForFinished(5000);
            ok = false;
            continue;
        }
        for (const QByteArray &line : p.readAllStandardOutput().split('\n')) {
            if (line.isEmpty())
                continue;
            if (line == "failed") {
                ++run.failed;
                continue;
            }
            const QList<QByteArray> f = line.split(' ');
            const int32_t n = f.value(0).toInt();
            if (!givenTo.emplace(n, int(i + 1)).second)
                ++run.duplicates;
            times.push_back(f.value(1).toDouble());
            run.retried += f.value(2).toInt() > 1;
        }
    }
    run.wall = clock.nsecsElapsed() / 1e9;
    const double cpuAfter = ServerCpuSeconds();
    run.serverCpu = cpuBefore >= 0 && cpuAfter >= 0 ? cpuAfter - cpuBefore : -1;
    run.stored = givenTo.size();
    run.p50 = at(times, 0.5);
    run.p99 = at(times, 0.99);
    run.most = times.empty() ? 0 : times.back();
    // Read back: each number given is there with the member it was given to, and no line
    // row is shared by two entities.
    const QString s = QString::number(drawing);
    const QList<QStringList> rows = db.SelectRows("N, MN, DN", "ENTITY_" + s, "", "N");
    std::set<int32_t> lineRows;
    std::map<int32_t, int> found;
    for (const QStringList &r : rows) {
        found[r.value(0).toInt()] = r.value(1).toInt();
        if (!lineRows.insert(r.value(2).toInt()).second)
            ++run.duplicates;
    }
    for (const auto &[n, member] : givenTo) {
        auto it = found.find(n);
        if (it == found.end() || it->second != member)
            ++run.lost;
    }
    // Rows no PC was told of are as wrong as rows missing.
    run.lost += int(std::max<ptrdiff_t>(0, ptrdiff_t(found.size()) - ptrdiff_t(givenTo.size())));
    const QList<QStringList> history =
        db.SelectRows("COUNT(*), COUNT(DISTINCT EN)", "HISTORY_" + s, "", "");
    if (history.value(0).value(0).toULongLong() != givenTo.size()
        || history.value(0).value(1).toULongLong() != givenTo.size()) {
        std::fprintf(stderr, "history rows %s for %zu lines\n",
                     qPrintable(history.value(0).join(u'/')), givenTo.size());
        ++run.lost;
    }
    return ok && !rows.isEmpty();
}

void print(const char *what, const Run &r, int seconds)
{
    std::printf("%s: %d PC%s for %d s: %zu lines stored (%.1f a second), %d failed, %d lost, "
                "%d duplicate numbers, %d tried again; store p50 %.1f ms, p99 %.1f ms, "
                "slowest %.1f ms; ",
                what, r.pcs, r.pcs == 1 ? "" : "s", seconds, r.stored,
                double(r.stored) / std::max(1.0, r.wall), r.failed, r.lost, r.duplicates,
                r.retried, r.p50, r.p99, r.most);
    if (r.serverCpu >= 0)
        std::printf("server CPU %.1f s (%.0f %% of one core)\n", r.serverCpu,
                    100 * r.serverCpu / std::max(1.0, r.wall));
    else
        std::printf("server CPU unknown\n");
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    if (argc == 6 && QByteArray(argv[1]) == "--pc")
        return runPc(QString::fromLocal8Bit(argv[2]), atoi(argv[3]), atoi(argv[4]),
                     atoi(argv[5]));
    const int seconds = std::clamp(argc > 1 ? atoi(argv[1]) : 60, 1, 3600);
    const int pcs = std::clamp(argc > 2 ? atoi(argv[2]) : 20, 1, 64);
    TestDb place;
    Database db;
    db.CreateDatabase(place.serverPath());
    if (!db.DatabaseConnected()) {
        std::fprintf(stderr, "no database through the local server: %s\n",
                     qPrintable(db.LastError()));
        return 1;
    }
    Run one, many;
    if (!crowd(db, place.serverPath(), 1, 1, seconds, one)
        || !crowd(db, place.serverPath(), 2, pcs, seconds, many)) {
        std::fprintf(stderr, "the run did not complete\n");
        return 1;
    }
    print("baseline", one, seconds);
    print("crowd", many, seconds);
    std::printf("crowd %d PCs: %d lost, %d duplicate numbers, store p99 %.1f ms "
                "(one PC: %.1f ms, %.2fx)\n",
                pcs, many.lost, many.duplicates, many.p99, one.p99,
                one.p99 > 0 ? many.p99 / one.p99 : 0);
    std::printf("target: 0 lost, 0 duplicate numbers, store p99 < 100 ms\n");
    db.DisconnectDatabase();
    return many.lost == 0 && many.duplicates == 0 ? 0 : 2;
}
