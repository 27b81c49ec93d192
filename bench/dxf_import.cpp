// A DXF file of 100,000 entities (lines, circles, arcs, texts and polylines of a mixed
// drawing) read in steps and stored into a drawing through the local server, against the
// same number of entities stored straight from memory; and the memory the reading takes
// beside the file's size.
#include "db/changestore.h"
#include "db/database.h"
#include "editor/drawingloader.h"
#include "editor/model/drawingmodel.h"
#include "editor/output/dxfimport.h"
#include "editor/output/dxfstore.h"
#include "register/drawingset.h"
#include "support/testdb.h"

#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QTemporaryDir>

#include <cstdio>
#include <cstdlib>

namespace {

// Resident and peak resident memory in MB.
double status(const char *key)
{
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : f.readAll().split('\n')) {
        if (line.startsWith(key))
            return line.mid(qstrlen(key)).trimmed().split(' ').value(0).toDouble() / 1024;
    }
    return -1;
}

bool writeDxf(const QString &path, int count)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly))
        return false;
    f.write("0\nSECTION\n2\nHEADER\n9\n$ACADVER\n1\nAC1015\n9\n$DWGCODEPAGE\n3\nANSI_932\n"
            "0\nENDSEC\n0\nSECTION\n2\nENTITIES\n");
    QByteArray b;
    for (int i = 0; i < count; ++i) {
        const double x = (i * 7919) % 800 - 400, y = (i * 104729) % 560 - 280;
        const QByteArray layer = "LAYER" + QByteArray::number(i % 20);
        const QByteArray px = QByteArray::number(x, 'f', 4), py = QByteArray::number(y, 'f', 4);
        switch (i % 10) {
        case 0:
            b += "0\nCIRCLE\n8\n" + layer + "\n10\n" + px + "\n20\n" + py + "\n30\n0.0\n40\n"
                 + QByteArray::number(1 + i % 7) + "\n";
            break;
        case 1:
            b += "0\nARC\n8\n" + layer + "\n10\n" + px + "\n20\n" + py + "\n30\n0.0\n40\n2.5\n"
                 "50\n" + QByteArray::number(i % 360) + "\n51\n" + QByteArray::number((i + 90) % 360) + "\n";
            break;
        case 2:
            b += "0\nTEXT\n8\n" + layer + "\n10\n" + px + "\n20\n" + py + "\n30\n0.0\n40\n2.5\n"
                 "1\nNOTE " + QByteArray::number(i) + "\n";
            break;
        case 3:
            b += "0\nLWPOLYLINE\n8\n" + layer + "\n90\n3\n70\n0\n10\n" + px + "\n20\n" + py
                 + "\n10\n" + QByteArray::number(x + 5) + "\n20\n" + py + "\n42\n0.4\n10\n"
                 + QByteArray::number(x + 5) + "\n20\n" + QByteArray::number(y + 5) + "\n";
            break;
        default:
            b += "0\nLINE\n8\n" + layer + "\n62\n" + QByteArray::number(1 + i % 7) + "\n10\n" + px
                 + "\n20\n" + py + "\n30\n0.0\n11\n" + QByteArray::number(x + 3 + i % 11, 'f', 4)
                 + "\n21\n" + QByteArray::number(y + i % 5, 'f', 4) + "\n31\n0.0\n";
        }
        if (b.size() > (1 << 20)) {
            f.write(b);
            b.clear();
        }
    }
    b += "0\nENDSEC\n0\nEOF\n";
    return f.write(b) == b.size() && f.flush();
}

} // namespace

int main(int argc, char *argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const int count = argc > 1 ? std::max(100, atoi(argv[1])) : 100000;
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("big.dxf"));
    if (!writeDxf(file, count)) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(file));
        return 1;
    }
    const double fileMb = QFile(file).size() / 1048576.0;
    TestDb place;
    Database db;
    db.CreateDatabase(place.serverPath());
    if (!db.DatabaseConnected() || !EnsureDrawingTables(db, 1) || !EnsureDrawingTables(db, 2)) {
        std::fprintf(stderr, "no drawing through the local server: %s\n",
                     qPrintable(db.LastError()));
        return 1;
    }
    DrawingModel model(1);
    if (!BeginLoad(db, model))
        return 1;

    // Peak memory counted from here: the file read and its rows, not what came before.
    QFile clear(QStringLiteral("/proc/self/clear_refs"));
    if (clear.open(QIODevice::WriteOnly))
        clear.write("5");
    const double before = status("VmRSS:");
    QElapsedTimer clock;
    clock.start();
    DxfImport reading(file, DxfTargetOf(model, 0));
    int steps = 0;
    while (reading.Step(40))
        ++steps;
    DxfImportResult import = reading.Take();
    const double readS = clock.nsecsElapsed() / 1e9;
    const double readPeak = status("VmHWM:") - before;
    if (!import.error.isEmpty()) {
        std::fprintf(stderr, "%s\n", qPrintable(import.error));
        return 1;
    }
    StoredOperation stored;
    QString message;
    if (!StoreDxfImport(db, 1, import, 1, HintsOf(model), stored, message)) {
        std::fprintf(stderr, "%s\n", qPrintable(message));
        return 1;
    }
    const double totalS = clock.nsecsElapsed() / 1e9;
    const double peak = status("VmHWM:") - before;

    // The baseline: the same rows stored straight from memory into another drawing.
    ChangeSet same;
    same.member = 1;
    same.created = import.records;
    clock.restart();
    StoredOperation direct;
    if (StoreChanges(db, 2, same, {}, direct) != StoreResult::Stored) {
        std::fprintf(stderr, "store failed: %s\n", qPrintable(db.LastError()));
        return 1;
    }
    const double baseS = clock.nsecsElapsed() / 1e9;

    std::printf("%s\n", qPrintable(DxfImportSummary(import)));
    std::printf("dxf import %d: %.2f s (read %.2f s in %d steps, stored %.2f s; "
                "the rows stored from memory: %.2f s, %.2fx)\n",
                count, totalS, readS, steps + 1, totalS - readS, baseS, totalS / baseS);
    std::printf("dxf import memory: %.1f MB at most for a file of %.1f MB (%.2fx the file; "
                "reading alone %.1f MB, %.2fx)\n",
                peak, fileMb, peak / fileMb, readPeak, readPeak / fileMb);
    return 0;
}
