// Strokes per second of the line-type pen on a full-HD canvas, for continuous, dashed and
// dotted pens at 1, 10 and 100 pixels, against QPainter drawing the same segments solid.
#include "editor/pen/canvas.h"
#include "editor/pen/pen.h"

#include <QElapsedTimer>
#include <QGuiApplication>
#include <QPainter>
#include <QRandomGenerator>

#include <cstdio>
#include <vector>

namespace {

constexpr int Width = 1920;
constexpr int Height = 1080;
constexpr double Scale = 4; // pixels per millimetre

struct Segment
{
    double x1, y1, x2, y2;
};

// Lines of 10 to 250 mm, most of them inside the view, some crossing its edges.
std::vector<Segment> segments(int count)
{
    QRandomGenerator random(417);
    std::vector<Segment> out;
    const double w = Width / Scale, h = Height / Scale;
    for (int i = 0; i < count; ++i) {
        const double x = random.bounded(w * 1.1) - w * 0.05;
        const double y = random.bounded(h * 1.1) - h * 0.05;
        const double length = 10 + random.bounded(240.0);
        const double angle = random.bounded(6.283185307179586);
        out.push_back({x, y, x + length * std::cos(angle), y + length * std::sin(angle)});
    }
    return out;
}

LinePen penOf(int pixels, std::vector<double> pitches)
{
    LinePen pen;
    pen.width = int(pixels * 100 / Scale);
    for (double p : pitches) {
        pen.pitches[pen.count++] = p;
        pen.total += p;
    }
    return pen;
}

// Strokes per second over repeated rounds of at least 200 ms.
template<typename Draw>
double rate(const std::vector<Segment> &lines, Draw draw)
{
    QElapsedTimer clock;
    clock.start();
    long long strokes = 0;
    do {
        for (const Segment &s : lines)
            draw(s);
        strokes += qsizetype(lines.size());
    } while (clock.elapsed() < 200);
    return strokes / (clock.nsecsElapsed() / 1e9);
}

} // namespace

int main(int argc, char *argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const std::vector<Segment> lines = segments(2000);
    const ViewParams view{Scale, 0, 0, Width / Scale, Height / Scale, Width, Height};
    const struct { const char *name; std::vector<double> pitches; } kinds[] = {
        {"continuous", {}},
        {"dashed 6/1.5 mm", {6, 1.5}},
        {"dotted 0/1.5 mm", {0, 1.5}},
    };
    std::printf("%d segments of 10 to 250 mm on %d x %d pixels at %.0f pixels/mm\n",
                int(lines.size()), Width, Height, Scale);
    std::printf("%-18s %6s %14s %16s %8s\n", "pen", "width", "strokes/s", "QPainter solid/s",
                "ratio");
    for (int pixels : {1, 10, 100}) {
        QImage plain(Width, Height, QImage::Format_RGB32);
        plain.fill(Qt::white);
        QPainter painter(&plain);
        painter.setPen(QPen(Qt::black, pixels, Qt::SolidLine, Qt::RoundCap));
        const auto toPoint = [&](double x, double y) {
            return QPointF((x - view.x1) * Scale, Height - (y - view.y1) * Scale);
        };
        const double baseline = rate(lines, [&](const Segment &s) {
            painter.drawLine(toPoint(s.x1, s.y1), toPoint(s.x2, s.y2));
        });
        painter.end();
        for (const auto &kind : kinds) {
            QImage image(Width, Height, QImage::Format_RGB32);
            image.fill(Qt::white);
            Canvas canvas(image);
            const LinePen prototype = penOf(pixels, kind.pitches);
            const double ours = rate(lines, [&](const Segment &s) {
                LinePen pen = prototype;
                DrawStyledLine(canvas, view, pen, s.x1, s.y1, s.x2, s.y2);
            });
            std::printf("%-18s %4d px %14.0f %16.0f %8.2f\n", kind.name, pixels, ours, baseline,
                        ours / baseline);
        }
    }
    return 0;
}
