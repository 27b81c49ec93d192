// Time from CAD to the editor window for a new drawing through the local server: one
// committed insert per default row against the program's way of writing them.
#include "base/globals.h"
#include "base/grid.h"
#include "app/mainwindow.h"
#include "base/messages.h"
#include "base/values.h"
#include "db/schema.h"
#include "editor/editorwindow.h"
#include "register/drawinglist.h"
#include "register/drawingset.h"
#include "support/testdb.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QMdiArea>
#include <QMdiSubWindow>

#include <algorithm>
#include <cstdio>

namespace {

constexpr int Drawings = 5;

double elapsedMs(const QElapsedTimer &clock)
{
    return clock.nsecsElapsed() / 1e6;
}

int editorCount()
{
    int count = 0;
    for (QMdiSubWindow *w : Main()->mdiArea()->subWindowList())
        count += qobject_cast<TForm13 *>(w->widget()) != nullptr;
    return count;
}

// Every table created when missing, then each default row in its own committed insert.
void openOneInsertPerRow(int n, const QString &name)
{
    Database &db = Db();
    if (!db.TableExists(QStringLiteral("WORKDISPLAY")))
        CreateWorkDisplayTable(db);
    const QStringList prefixes = DrawingTablePrefixes();
    const QList<DefaultRows> defaults = DefaultDrawingRows(n);
    for (int i = 0; i < prefixes.size(); ++i) {
        const QString table = prefixes[i] + QString::number(n);
        if (db.TableExists(table))
            continue;
        CreateDrawingTable(db, prefixes[i], n);
        if (i >= defaults.size())
            continue;
        const DefaultRows &d = defaults[i];
        for (QStringList row : d.rows) {
            for (int c = 0; c < row.size(); ++c) {
                if (d.columns[c].endsWith(QLatin1String("NAME")))
                    row[c] = SqlText(row[c]);
            }
            db.SqlInsert(table, int(d.columns.size()), d.columns, row);
        }
    }
    QStringList paper;
    db.SqlSelectRow(QStringLiteral("*"), QStringLiteral("CADLIST"),
                    QStringLiteral("N=%1").arg(n), paper);
    auto *editor = new TForm13(Main()->Context(), n, StrToFloatZ(paper.value(9)),
                               StrToFloatZ(paper.value(10)));
    editor->setWindowTitle(QStringLiteral("CAD － %1 (N:%2)").arg(name).arg(n));
    Main()->OpenChild(editor);
}

double median(QList<double> times)
{
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

} // namespace

int main(int argc, char *argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    MessageRecorder messages;
    ProgramFixture program(true);
    if (!program.connected || !CreateCadListTable(Db())) {
        std::fprintf(stderr, "no database through the local server: %s\n",
                     qPrintable(Db().LastError()));
        return 1;
    }
    Config().PcUserNo = 1;
    for (int n = 1; n <= 2 * Drawings; ++n)
        Db().SqlInsertList(QStringLiteral("CADLIST"), QStringLiteral("N, ZNAME, PAPX, PAPY"),
                           QStringLiteral("%1, 'drawing %1', 420, 297").arg(n));

    QList<double> baseline;
    for (int n = 1; n <= Drawings; ++n) {
        QElapsedTimer clock;
        clock.start();
        openOneInsertPerRow(n, QStringLiteral("drawing %1").arg(n));
        baseline << elapsedMs(clock);
    }

    Main()->mnuCadList->trigger();
    TForm12 *list = nullptr;
    for (QMdiSubWindow *w : Main()->mdiArea()->subWindowList())
        if (auto *l = qobject_cast<TForm12 *>(w->widget()))
            list = l;
    QList<double> ours;
    for (int n = Drawings + 1; n <= 2 * Drawings; ++n) {
        list->SG1->SetCurrentRow(n);
        const int before = editorCount();
        QElapsedTimer clock;
        clock.start();
        list->Button8Click();
        ours << elapsedMs(clock);
        if (editorCount() != before + 1 || QueryValue(Db(), "COUNT(*)",
                                                      QStringLiteral("LAYER_%1").arg(n)) != "256") {
            std::fprintf(stderr, "drawing %d did not open with its default rows\n", n);
            return 1;
        }
    }

    const double b = median(baseline);
    const double o = median(ours);
    std::printf("new drawing to editor window, median of %d (544 default rows each):\n",
                Drawings);
    std::printf("  one committed insert per row:   %6.1f ms\n", b);
    std::printf("  tables together, rows in blocks: %6.1f ms\n", o);
    std::printf("  ratio (ours / baseline): %.3f, %.1f times faster (target at least 5)\n",
                o / b, b / o);
    return 0;
}
