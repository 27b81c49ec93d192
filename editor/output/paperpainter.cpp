#include "editor/output/paperpainter.h"

#include "editor/output/paperdrawing.h"
#include "editor/model/geometry.h"
#include "editor/pen/canvas.h"
#include "editor/view/textpaint.h"

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

void PaintPaperText(QPainter &painter, const TextShape &t, const QColor &colour)
{
    const Geometry::TextLayout layout = Geometry::LayOutText(Geometry::RefOf(t), t.text);
    if (layout.glyphs.empty() || !std::isfinite(layout.width + layout.height + layout.px
                                                + layout.py + layout.angle))
        return;
    const QFont font = ShapingFont(t.font);
    painter.save();
    painter.setFont(font);
    painter.setPen(colour);
    // The text's own axes, y up, from its anchor point.
    painter.translate(layout.px, layout.py);
    painter.rotate(layout.angle);
    const QTransform own = painter.transform();
    const std::vector<PlacedGlyph> glyphs = PlaceGlyphs(layout, font);
    bool plain = !layout.vertical && !(t.width > 0) && !(t.spacing > 0);
    if (plain) {
        // One run where the font's own advances fill the cells, as with IPA Gothic: the
        // same places, and much less to write.
        const QFontMetricsF metrics(font);
        const double s = layout.height / (metrics.ascent() + metrics.descent());
        const double run = metrics.horizontalAdvance(t.text) * s;
        plain = std::fabs(run - layout.width) <= 0.01 * layout.height;
    }
    if (plain) {
        painter.setTransform(glyphs.front().transform * own);
        painter.drawText(QPointF(0, 0), t.text);
    } else {
        for (const PlacedGlyph &g : glyphs) {
            painter.setTransform(g.transform * own);
            painter.drawText(QPointF(0, 0), g.text);
        }
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
            ArcShape a;
            if (const CircleShape *c = std::get_if<CircleShape>(&line.shape))
                a = {c->cx, c->cy, c->r, 0, 0};
            else
                a = std::get<ArcShape>(line.shape);
            const double sweep = Geometry::Sweep(a.sa, a.ea);
            if (pen.count == 0 || a.r * sweep * Geometry::Pi / 180 <= pen.total) {
                // Continuous: the curve itself, which every device draws smooth.
                QPainterPath path;
                const QRectF bounds(a.cx - a.r, a.cy - a.r, 2 * a.r, 2 * a.r);
                path.arcMoveTo(bounds, -a.sa);
                path.arcTo(bounds, -a.sa, -sweep);
                painter.drawPath(path);
            } else {
                Geometry::DashPattern pattern;
                pattern.count = pen.count >= 0 && pen.count <= 10 ? pen.count : 0;
                std::copy(pen.pitches, pen.pitches + pattern.count, pattern.pitches);
                // Chords within a hundredth of a millimetre of the curve.
                Geometry::WalkArc(a, pattern, 0.01, nullptr, each);
            }
        }
    }
    painter.setBrush(Qt::NoBrush);
}
