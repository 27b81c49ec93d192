#include "editor/paperpainter.h"

#include "editor/paperdrawing.h"
#include "editor/pen/canvas.h"

#include <QPainter>

#include <cmath>

namespace {

constexpr double FrameWidth = 0.5; // mm

QPen strokePen(const QColor &colour, double width)
{
    // A width of 0 is the thinnest line the device draws.
    QPen pen(colour, width > 0 ? width : 0, Qt::SolidLine, Qt::RoundCap, Qt::MiterJoin);
    pen.setCosmetic(!(width > 0));
    return pen;
}

} // namespace

void MapSheet(QPainter &painter, const PaperDrawing &drawing, const QRectF &target)
{
    painter.resetTransform();
    painter.translate(target.center());
    painter.scale(target.width() / drawing.width, -target.height() / drawing.height);
    painter.setRenderHint(QPainter::Antialiasing, true);
}

void PaintSheetFrame(QPainter &painter, const PaperDrawing &drawing)
{
    const double hw = drawing.width / 2 - FrameWidth / 2;
    const double hh = drawing.height / 2 - FrameWidth / 2;
    painter.setPen(strokePen(Qt::black, FrameWidth));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(QRectF(-hw, -hh, 2 * hw, 2 * hh));
}

void PaintPaperLines(QPainter &painter, const PaperDrawing &drawing, size_t from, size_t to,
                     const PaperStyle &style)
{
    const double hw = drawing.width / 2, hh = drawing.height / 2;
    int32_t colour = -1, width = -1;
    bool brushSet = false;
    QColor qcolour;
    auto use = [&](int32_t c, int32_t w) {
        if (style.black)
            c = 0;
        if (c == colour && w == width)
            return;
        colour = c;
        width = w;
        qcolour = ColourOf(uint32_t(c));
        painter.setPen(strokePen(qcolour, w / 100.0));
        brushSet = false;
    };
    for (size_t i = from; i < to && i < drawing.lines.size(); ++i) {
        const SheetLine &line = drawing.lines[i];
        LinePen pen = drawing.PenOf(line);
        use(line.colour, line.width);
        WalkPaperLine(pen, line.x1, line.y1, line.x2, line.y2, -hw, -hh, hw, hh,
                      [&](bool dot, double ax, double ay, double bx, double by) {
                          if (!dot) {
                              painter.drawLine(QLineF(ax, ay, bx, by));
                              return;
                          }
                          // A filled disc as wide as the line.
                          const double r = std::fmax(std::fabs(line.width) / 200.0, 0.05);
                          if (!brushSet) {
                              painter.setBrush(qcolour);
                              brushSet = true;
                          }
                          const QPen keep = painter.pen();
                          painter.setPen(Qt::NoPen);
                          painter.drawEllipse(QPointF(ax, ay), r, r);
                          painter.setPen(keep);
                      });
    }
    painter.setBrush(Qt::NoBrush);
}
