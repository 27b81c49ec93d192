// Writing a sheet of 100,000 entities (lines, circles, arcs and Japanese texts mixed, on ten
// layers, some with their own colour and width) as a DXF through dxflib, in release 2000
// and 12, against writing the same numbers and texts as plain text with QTextStream: what
// any file of these rows costs at the least. A file name as argument keeps the release 2000
// file there.
#include "editor/output/dxfexport.h"
#include "editor/output/paperdrawing.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTextStream>

#include <cstdio>

namespace {

constexpr int Entities = 100000;

PaperDrawing sheet()
{
    PaperDrawing d;
    d.name = QStringLiteral("bench");
    d.width = 841;
    d.height = 594;
    d.types = {{0, QStringLiteral("CONTINUOUS"), LinePen()}};
    for (int i = 0; i < 10; ++i) {
        PaperLayer l;
        l.n = i;
        l.name = QStringLiteral("画層%1").arg(i);
        l.colour = int32_t(0x102030 * (i + 1)) & 0xFFFFFF;
        l.width = 13 + 5 * i;
        l.type = 0;
        l.shown = i != 3;
        l.printed = i != 4;
        d.layers.push_back(l);
    }
    QRandomGenerator random(29);
    for (int i = 0; i < Entities; ++i) {
        SheetLine l;
        const double x = random.bounded(800.0) - 400, y = random.bounded(560.0) - 280;
        l.x1 = x;
        l.y1 = y;
        l.x2 = x + random.bounded(100.0);
        l.y2 = y + random.bounded(100.0);
        l.layer = i % 10;
        l.colour = d.layers[size_t(l.layer)].colour;
        l.width = d.layers[size_t(l.layer)].width;
        l.ownColour = i % 7 == 0;
        if (l.ownColour)
            l.colour = int32_t(random.bounded(0x1000000));
        l.ownWidth = i % 11 == 0;
        switch (i % 8) {
        case 5: l.shape = CircleShape{x, y, 1 + random.bounded(50.0)}; break;
        case 6: l.shape = ArcShape{x, y, 1 + random.bounded(50.0), 10, 250}; break;
        case 7:
            l.shape = TextShape{x, y, 3.5, 0, 0, random.bounded(360.0), 0, 1, 0, QString(),
                                QStringLiteral("部品番号 %1").arg(i)};
            break;
        default: break;
        }
        d.lines.push_back(l);
    }
    return d;
}

// The rows as text: the least a file of them costs.
bool plainText(const PaperDrawing &d, const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    QTextStream out(&file);
    out.setRealNumberPrecision(17);
    for (const SheetLine &l : d.lines) {
        out << l.layer << ' ' << l.colour << ' ' << l.width << ' ';
        if (const TextShape *t = std::get_if<TextShape>(&l.shape))
            out << t->px << ' ' << t->py << ' ' << t->height << ' ' << t->angle << ' ' << t->text;
        else if (const CircleShape *c = std::get_if<CircleShape>(&l.shape))
            out << c->cx << ' ' << c->cy << ' ' << c->r;
        else if (const ArcShape *a = std::get_if<ArcShape>(&l.shape))
            out << a->cx << ' ' << a->cy << ' ' << a->r << ' ' << a->sa << ' ' << a->ea;
        else
            out << l.x1 << ' ' << l.y1 << ' ' << l.x2 << ' ' << l.y2;
        out << '\n';
    }
    out.flush();
    return out.status() == QTextStream::Ok;
}

double seconds(QElapsedTimer &clock)
{
    return clock.nsecsElapsed() / 1e9;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    const PaperDrawing d = sheet();
    const QString kept = argc > 1 ? QString::fromLocal8Bit(argv[1]) : dir.filePath("r2000.dxf");

    QElapsedTimer clock;
    clock.start();
    if (!plainText(d, dir.filePath("rows.txt"))) {
        std::fprintf(stderr, "could not write the text file\n");
        return 1;
    }
    const double baseline = seconds(clock);

    QString error;
    clock.restart();
    if (!WriteDxfFile(d, kept, DxfVersion::R2000, error)) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return 1;
    }
    const double r2000 = seconds(clock);
    clock.restart();
    if (!WriteDxfFile(d, dir.filePath("r12.dxf"), DxfVersion::R12, error)) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return 1;
    }
    const double r12 = seconds(clock);

    const double mb = QFile(kept).size() / 1048576.0;
    std::printf("plain text rows %d: %.3f s (baseline)\n", Entities, baseline);
    std::printf("dxf export %d: %.3f s R2000 (%.1f MB, %.2f x baseline), %.3f s R12 "
                "(%.2f x baseline); target under 1 s\n",
                Entities, r2000, mb, r2000 / baseline, r12, r12 / baseline);
    return r2000 < 1 && r12 < 1 ? 0 : 2;
}
