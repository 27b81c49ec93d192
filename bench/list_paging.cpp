// Time to show page 1 and page 1,000 of a register of 100,000 drawings through the local
// server: skipping records on the client against asking the server for the page only.
#include "base/grid.h"
#include "app/mainwindow.h"
#include "db/schema.h"
#include "register/drawinglist.h"

#include <QComboBox>

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <cstdio>

namespace {

constexpr int Rows = 100000;
constexpr int PageSize = 100;
constexpr int LastPageStart = (1000 - 1) * PageSize + 1;

double elapsedMs(const QElapsedTimer &clock)
{
    return clock.nsecsElapsed() / 1e6;
}

QString shown(const StringGrid *grid)
{
    int last = 1;
    while (last < PageSize && !grid->Cell(0, last + 1).isEmpty())
        ++last;
    return grid->Cell(0, 1) + QStringLiteral("..") + grid->Cell(0, last);
}

// The way of reading every record and skipping on the client: milliseconds to show the
// page that starts at position first.
double clientSkipping(Database &db, StringGrid &grid, const QString &order, int first,
                      QString &rows)
{
    QElapsedTimer clock;
    clock.start();
    const QList<DrawingRow> page = ReadDrawingRows(
        db, DrawingListQuery(QString(), order, 0, 0), first - 1, PageSize);
    for (int i = 0; i < page.size(); ++i)
        grid.SetRow(i + 1, DrawingListCells(page[i]));
    const double ms = elapsedMs(clock);
    rows = shown(&grid);
    return ms;
}

} // namespace

int main(int argc, char *argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTemporaryDir dir;
    QFile::setPermissions(dir.path(), QFileDevice::Permissions(0x7777));
    auto *main = new TForm1;
    Database &db = main->db();
    db.CreateDatabase(QStringLiteral("localhost:") + dir.path() + QStringLiteral("/BENCH.FDB"));
    if (!db.DatabaseConnected() || !CreateCadListTable(db)) {
        std::fprintf(stderr, "no database through the local server: %s\n",
                     qPrintable(db.LastError()));
        return 1;
    }
    QElapsedTimer fill;
    fill.start();
    const bool filled = db.ExecSqlLines(
        {QStringLiteral("EXECUTE BLOCK AS DECLARE I INTEGER = 1; BEGIN"),
         QStringLiteral("  WHILE (I <= %1) DO BEGIN").arg(Rows),
         QStringLiteral("    INSERT INTO CADLIST (N, ZNAME, ZUMENN, MTITLE, MEMO1, PAPER, DDATE)"),
         QStringLiteral("    VALUES (:I, 'drawing ' || MOD(:I * 7919, 100003), 'Z-' || :I,"),
         QStringLiteral("      'title', 'memo', MOD(:I, 13), '2020' || LPAD(MOD(:I, 12) + 1, 2, '0') || '01');"),
         QStringLiteral("    I = I + 1;"), QStringLiteral("  END"), QStringLiteral("END")});
    if (!filled) {
        std::fprintf(stderr, "filling failed: %s\n", qPrintable(db.LastError()));
        return 1;
    }
    std::printf("%d drawings written in %.0f ms\n\n", Rows, elapsedMs(fill));

    StringGrid grid(QStringList(13, QStringLiteral("h")), {}, nullptr);
    grid.SetRowCount(PageSize + 1);
    bool same = true;
    for (int sort : {0, 2}) {
        const QString order = DrawingListOrder(sort);
        QString rows1, rows1000;
        clientSkipping(db, grid, order, 1, rows1); // warms the server's cache
        const double skip1 = clientSkipping(db, grid, order, 1, rows1);
        const double skip1000 = clientSkipping(db, grid, order, LastPageStart, rows1000);

        // The list window, paged as a user pages: 次頁 again and again.
        auto *list = new TForm12(main->Context());
        list->show();
        list->ComboBox1->setCurrentIndex(sort);
        QElapsedTimer clock;
        clock.start();
        list->ComboBox1Select(sort);
        const double ours1 = elapsedMs(clock);
        same = same && shown(list->SG1) == rows1;
        double ours1000 = 0;
        for (int page = 2; page <= 1000; ++page) {
            clock.restart();
            list->Button3Click();
            ours1000 = elapsedMs(clock);
        }
        same = same && list->PageStart() == LastPageStart && shown(list->SG1) == rows1000;
        // 更新 on page 1000 asks for the page by its position.
        clock.restart();
        list->Button4Click();
        const double oursRefresh = elapsedMs(clock);
        same = same && shown(list->SG1) == rows1000;
        delete list;

        std::printf("order %s: rows %s on page 1, %s on page 1000\n", qPrintable(order),
                    qPrintable(rows1), qPrintable(rows1000));
        std::printf("  skipping on the client  page 1 %8.1f ms  page 1000 %8.1f ms  ratio %6.2f\n",
                    skip1, skip1000, skip1000 / skip1);
        std::printf("  the list window         page 1 %8.1f ms  page 1000 %8.1f ms  ratio %6.2f"
                    "  (page 1000 by 更新 %.1f ms)\n",
                    ours1, ours1000, ours1000 / ours1, oursRefresh);
        std::printf("  page 1000, client skipping / list window: %.1f\n\n", skip1000 / ours1000);
    }
    std::printf(same ? "both ways show the same rows\n" : "MISMATCH: the rows differ\n");
    delete main;
    return same ? 0 : 1;
}
