#include "editor/output/paperpainter.h"

#include "editor/output/paperdrawing.h"
#include "editor/model/shapes.h"
#include "editor/pen/canvas.h"

#include <QFont>
#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>
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

void WalkPaperCurve(LinePen &pen, double cx, double cy, double r, double sa, double sweep,
                    const std::function<void(bool dot, double, double, double, double)> &each)
{
    if (!(r > 0) || !std::isfinite(r) || !std::isfinite(cx) || !std::isfinite(cy))
        return;
    constexpr double Pi = 3.14159265358979323846;
    // Chords within a hundredth of a millimetre of the curve.
    const double step = r > 0.01 ? 2 * std::acos(1 - 0.01 / r) : Pi / 2;
    // A radius so large that no step shows in a double asks for endless chords.
    const double wanted = std::ceil(sweep * Pi / 180 / step);
    const int count = wanted < 65536 ? std::max(8, int(wanted)) : 65536;
    const double d = sweep * Pi / 180 / count, a0 = sa * Pi / 180;
    pen.index = 0;
    pen.offset = 0;
    if (r * sweep * Pi / 180 <= pen.total)
        pen.count = 0;
    double x1 = cx + r * std::cos(a0), y1 = cy + r * std::sin(a0);
    for (int i = 1; i <= count; ++i) {
        const double x2 = cx + r * std::cos(a0 + d * i), y2 = cy + r * std::sin(a0 + d * i);
        WalkDashes(pen, x1, y1, x2, y2, each);
        x1 = x2;
        y1 = y2;
    }
}

void PaintPaperText(QPainter &painter, const TextShape &t, const QColor &colour)
{
    if (t.text.isEmpty() || !(t.height > 0) || !std::isfinite(t.height))
        return;
    // Laid out in a font 100 units high, scaled into each character's cell.
    QFont font(t.font.isEmpty() ? QStringLiteral("IPAGothic") : t.font);
    font.setPixelSize(100);
    const QFontMetricsF metrics(font);
    const double em = metrics.ascent() + metrics.descent();
    double xs[4], ys[4];
    const TextRef ref{t.px, t.py, t.height, t.width, t.spacing, t.angle, t.style, t.anchor,
                      t.vertical, 0};
    TextCorners(ref, t.text, xs, ys);
    painter.save();
    painter.setFont(font);
    painter.setPen(colour);
    // The text's own axes from its box's lower left corner, y up.
    painter.translate(xs[0], ys[0]);
    painter.rotate(t.angle);
    const double h = t.height;
    const QList<uint> codes = t.text.toUcs4();
    double at = 0;
    const double boxHeight = h * double(codes.size())
                             + std::max(0.0, t.spacing) * double(std::max<qsizetype>(0, codes.size() - 1));
    if (!t.vertical && !(t.width > 0) && !(t.spacing > 0)) {
        // One run: the font's own advances are the cells' widths.
        const double s = h / em;
        painter.translate(0, metrics.descent() * s);
        painter.scale(s, -s);
        painter.drawText(QPointF(0, 0), t.text);
        painter.restore();
        return;
    }
    for (uint c : codes) {
        const QString ch = QString::fromUcs4(reinterpret_cast<const char32_t *>(&c), 1);
        const double natural = h * (metrics.horizontalAdvance(ch) > 75 ? 1 : 0.5);
        const double cellWidth = t.width > 0 ? t.width : (t.vertical ? h : natural);
        painter.save();
        if (t.vertical)
            painter.translate((cellWidth - natural) / 2, boxHeight - at - h);
        else
            painter.translate(at, 0);
        const double s = h / em;
        painter.translate(0, metrics.descent() * s);
        painter.scale(s * (t.width > 0 && !t.vertical ? cellWidth / natural : 1), -s);
        painter.drawText(QPointF(0, 0), ch);
        painter.restore();
        at += (t.vertical ? h : cellWidth) + std::max(0.0, t.spacing);
    }
    painter.restore();
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
        const auto each = [&](bool dot, double ax, double ay, double bx, double by) {
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
                      };
        if (const TextShape *t = std::get_if<TextShape>(&line.shape)) {
            PaintPaperText(painter, *t, qcolour);
        } else if (std::holds_alternative<std::monostate>(line.shape)) {
            WalkPaperLine(pen, line.x1, line.y1, line.x2, line.y2, -hw, -hh, hw, hh, each);
        } else {
            double cx, cy, r, sa = 0, sweep = 360;
            if (const CircleShape *c = std::get_if<CircleShape>(&line.shape)) {
                cx = c->cx, cy = c->cy, r = c->r;
            } else {
                const ArcShape &a = std::get<ArcShape>(line.shape);
                cx = a.cx, cy = a.cy, r = a.r, sa = a.sa;
                sweep = std::fmod(a.ea - a.sa, 360.0);
                if (sweep <= 0)
                    sweep += 360;
            }
            if (pen.count == 0 || r * sweep * 3.14159265358979323846 / 180 <= pen.total) {
                // Continuous: the curve itself, which every device draws smooth.
                QPainterPath path;
                const QRectF bounds(cx - r, cy - r, 2 * r, 2 * r);
                path.arcMoveTo(bounds, -sa);
                path.arcTo(bounds, -sa, -sweep);
                painter.drawPath(path);
            } else {
                WalkPaperCurve(pen, cx, cy, r, sa, sweep, each);
            }
        }
    }
    painter.setBrush(Qt::NoBrush);
}
