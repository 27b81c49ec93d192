#include "editor/view/renderer.h"

#include "editor/model/drawingmodel.h"
#include "editor/model/geometry.h"
#include "editor/model/sheetframe.h"
#include "editor/pen/canvas.h"
#include "editor/view/coverage.h"
#include "editor/view/textpaint.h"
#include "editor/view/tiles.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <functional>
#include <mutex>
#include <vector>

namespace {

// Grid lines step apart in one direction, each i x step for whole i from the view's first
// edge, counted so that no step can stall the loop.
void gridLines(Canvas &canvas, const ViewParams &view, double step, bool vertical)
{
    const double from = vertical ? view.x1 : view.y1;
    const double to = vertical ? view.x2 : view.y2;
    const double first = std::trunc(from / step);
    const int pixels = vertical ? view.width : view.height;
    const double most = pixels / (step * view.scale) + 3;
    if (!std::isfinite(first) || !(most < 1e6))
        return;
    for (long long i = 0; i < (long long)most; ++i) {
        const double at = (first + double(i)) * step;
        if (at > to)
            break;
        if (vertical)
            DrawClippedLine(canvas, view, at, view.y1, at, view.y2);
        else
            DrawClippedLine(canvas, view, view.x1, at, view.x2, at);
    }
}

void grid(Canvas &canvas, const ViewParams &view, double g)
{
    if (!(g > 0) || !std::isfinite(g))
        return;
    if (g * view.scale > 10) {
        SetPen(canvas, 0xEEEEEE, 0, 1);
        gridLines(canvas, view, g, true);
        gridLines(canvas, view, g, false);
    }
    if (5 * g * view.scale > 10) {
        SetPen(canvas, 0xCCCCCC, 0, 1);
        gridLines(canvas, view, 5 * g, true);
        gridLines(canvas, view, 5 * g, false);
    }
}

} // namespace

void RenderSheet(Canvas &canvas, const ViewParams &view, const Sheet &sheet)
{
    ClearCanvas(canvas, canvas.Width(), canvas.Height());
    SetPen(canvas, 0xFFFF00, 0, 0);
    DrawFrameRect(canvas, 0, 0, canvas.Width() - 1, canvas.Height() - 1);
    grid(canvas, view, sheet.grid);
    SetPen(canvas, 0, 0, 3);
    const double hw = sheet.paperWidth / 2, hh = sheet.paperHeight / 2;
    DrawClippedLine(canvas, view, -hw, -hh, hw, -hh);
    DrawClippedLine(canvas, view, hw, -hh, hw, hh);
    DrawClippedLine(canvas, view, hw, hh, -hw, hh);
    DrawClippedLine(canvas, view, -hw, hh, -hw, -hh);
    SetPen(canvas, 0x0000FF, 0, 1);
    const double d = 5 / view.scale;
    DrawClippedLine(canvas, view, -d, 0, d, 0);
    DrawClippedLine(canvas, view, 0, -d, 0, d);
    if (sheet.frame)
        RenderSheetFrame(canvas, view, *sheet.frame);
}

void RenderSheetFrame(Canvas &canvas, const ViewParams &view, const SheetFrame &frame)
{
    if (!frame.shown)
        return;
    for (const FrameLine &l : frame.lines) {
        LinePen pen;
        pen.colour = 0;
        pen.width = l.width;
        DrawStyledLineInView(canvas, view, pen, l.line.x1, l.line.y1, l.line.x2, l.line.y2);
    }
    for (const TextShape &t : frame.texts)
        RenderText(canvas, view, Geometry::RefOf(t), {t.font, t.text}, 0);
}

void DrawStyledLineInView(Canvas &canvas, const ViewParams &view, LinePen &pen, double x1,
                          double y1, double x2, double y2)
{
    if (pen.count < 0 || pen.count > 10)
        pen.count = 0;
    double period = 0;
    for (int i = 0; i < pen.count; ++i)
        period += std::fabs(pen.pitches[i]);
    if (pen.count == 0 || !(period > 0) || Distance(x1, y1, x2, y2) <= pen.total) {
        DrawStyledLine(canvas, view, pen, x1, y1, x2, y2);
        return;
    }
    // Dots reach half the width beyond their place; a pixel more for rounding.
    const double margin = std::fabs(pen.width) / 200.0 + 2 / view.scale;
    double cx1 = x1, cy1 = y1, cx2 = x2, cy2 = y2;
    const int clipped = ClipSegment(cx1, cy1, cx2, cy2, view.x1 - margin, view.y1 - margin,
                                    view.x2 + margin, view.y2 + margin);
    if (clipped == 2)
        return;
    SeekPattern(pen, clipped == 1 ? Distance(x1, y1, cx1, cy1) : 0);
    DrawDashedLine(canvas, view, pen, cx1, cy1, cx2, cy2);
}

namespace {

std::mutex &textLock()
{
    static std::mutex lock;
    return lock;
}

// Whether the point lies inside the view as ClipSegment's codes take it (an edge within
// its tolerance is outside); false for a point that is not finite.
bool inView(const ViewParams &view, double x, double y)
{
    constexpr double Tolerance = 1e-12;
    return x - view.x1 >= Tolerance && x - view.x2 <= -Tolerance && y - view.y1 >= Tolerance
           && y - view.y2 <= -Tolerance;
}

// A segment with both ends in the view straight to its pixels, as DrawClippedLine draws
// it unclipped; false, with nothing drawn, for any other.
bool segmentInView(Canvas &canvas, const ViewParams &view, double x1, double y1, double x2,
                   double y2)
{
    int32_t px1, py1, px2, py2;
    if (!inView(view, x1, y1) || !inView(view, x2, y2) || !ToPixel(view, x1, y1, px1, py1)
        || !ToPixel(view, x2, y2, px2, py2))
        return false;
    const QPoint ends[2] = {QPoint(px1, py1), QPoint(px2, py2)};
    canvas.PixelPath(ends, 2);
    return true;
}

// Chords of a curve part from it by at most this many pixels.
constexpr double ChordPixels = 0.25;

Geometry::DashPattern patternOf(const LinePen &pen)
{
    Geometry::DashPattern p;
    p.count = pen.count >= 0 && pen.count <= 10 ? pen.count : 0;
    for (int i = 0; i < p.count; ++i)
        p.pitches[i] = pen.pitches[i];
    return p;
}

// The pen's width in pixels, as the line pen rounds it.
int pixelWidth(const LinePen &pen, const ViewParams &view)
{
    double pw = pen.width / 100.0 * view.scale;
    if (!(pw > 0))
        pw = 0;
    return int(std::rint(std::min(pw, 400.0)));
}

ArcShape circleArc(const CircleShape &c)
{
    return {c.cx, c.cy, c.r, 0, 0};
}

CircleShape circleOf(const ArcShape &a)
{
    return {a.cx, a.cy, a.r};
}

// A curve with the pen's pattern walked along its length from its start; only the parts
// in the view are stroked, the pattern taken up there at its place. inside: the curve lies
// well within the view, where the parts in it are the whole curve.
void strokeArc(Canvas &canvas, const ViewParams &view, const LinePen &pen, const ArcShape &a,
               bool inside = false)
{
    // Dots reach half the width beyond their place; a pixel more for rounding.
    const double margin = std::fabs(pen.width) / 200.0 + 2 / view.scale;
    const PaperBox clip{view.x1 - margin, view.y1 - margin, view.x2 + margin, view.y2 + margin};
    const int ipw = pixelWidth(pen, view);
    SetPen(canvas, pen.colour, 0, ipw);
    SetBrush(canvas, pen.colour, 0);
    const Geometry::DashPattern pattern =
        FinerThanPixels(pen, view.scale) ? Geometry::DashPattern{} : patternOf(pen);
    if (inside && pattern.count == 0) {
        // The chords straight to their pixels where both ends lie in the view, as
        // DrawClippedLine takes them, each run of them as one path; the walk's chords.
        constexpr int MostPoints = 256;
        QPoint run[MostPoints];
        int count = 0;
        bool first = true, wasIn = false;
        double x1 = 0, y1 = 0;
        Geometry::WholeArcChordEnds(a, ChordPixels / view.scale, [&](double x2, double y2) {
            int32_t px2 = 0, py2 = 0;
            const bool in = inView(view, x2, y2) && ToPixel(view, x2, y2, px2, py2);
            if (!first && !(in && wasIn)) {
                canvas.PixelPath(run, count);
                count = 0;
                DrawClippedLine(canvas, view, x1, y1, x2, y2);
            }
            if (in) {
                if (count == MostPoints) {
                    canvas.PixelPath(run, count);
                    run[0] = run[count - 1];
                    count = 1;
                }
                run[count++] = QPoint(px2, py2);
            }
            first = false;
            wasIn = in;
            x1 = x2;
            y1 = y2;
        });
        canvas.PixelPath(run, count);
        return;
    }
    Geometry::WalkArc(a, pattern, ChordPixels / view.scale, inside ? nullptr : &clip,
                      [&](bool dot, double x1, double y1, double x2, double y2) {
                          if (!dot) {
                              // Inside, straight to their pixels as the continuous curve's.
                              if (!inside || !segmentInView(canvas, view, x1, y1, x2, y2))
                                  DrawClippedLine(canvas, view, x1, y1, x2, y2);
                              return;
                          }
                          SetPen(canvas, pen.colour, 0, 0);
                          SetBrush(canvas, pen.colour, 1);
                          DrawDot(canvas, view, x1, y1, pen.width / 200.0);
                          SetPen(canvas, pen.colour, 0, ipw);
                          SetBrush(canvas, pen.colour, 0);
                      });
}

// Whether the boxes lie more than margin apart.
bool apart(const PaperBox &a, const PaperBox &b, double margin)
{
    return b.x2 < a.x1 - margin || b.x1 > a.x2 + margin || b.y2 < a.y1 - margin
           || b.y1 > a.y2 + margin;
}

bool boxOutside(const ViewParams &view, const PaperBox &b, double margin)
{
    return apart({view.x1, view.y1, view.x2, view.y2}, b, margin);
}

// Whether the box lies inside the view, so that the stroke's clip box (the view and a
// margin) meets none of it: a curve there crosses none of the clip's edges. Boxes of more
// than some millions of pixels are left to the clipping, whose edges they could come too
// close to for the test to tell.
bool boxInside(const ViewParams &view, const PaperBox &b)
{
    return b.x1 > view.x1 && b.x2 < view.x2 && b.y1 > view.y1 && b.y2 < view.y2
           && (b.x2 - b.x1 + b.y2 - b.y1) * view.scale < 1e7;
}

// The text's box as four edges, for bands and highlights.
void textBoxEdges(const TextRef &t, const QString &text,
                  const std::function<void(double, double, double, double)> &edge)
{
    double xs[4], ys[4];
    Geometry::TextCorners(t, text, xs, ys);
    for (int i = 0; i < 4; ++i)
        edge(xs[i], ys[i], xs[(i + 1) % 4], ys[(i + 1) % 4]);
}

// A thin curve within half a pixel of its centre is what that one pixel shows: drawn so,
// without walking its chords. True when drawn.
bool underPixel(Canvas &canvas, const ViewParams &view, const LinePen &pen, double cx,
                double cy, double r)
{
    if (!(r * view.scale < 0.5) || pixelWidth(pen, view) > 1)
        return false;
    SetPen(canvas, pen.colour, 0, 1);
    DrawDot(canvas, view, cx, cy, 0);
    return true;
}

} // namespace

PictureLooks::PictureLooks(const DrawingModel &model) : texts(textLock()), model(model) {}

const LineLook *PictureLooks::Of(const Entity &e)
{
    // The look depends on these four numbers alone.
    const uint64_t key = uint64_t(uint16_t(e.look.layer)) | uint64_t(uint16_t(e.look.colour)) << 16
                         | uint64_t(uint16_t(e.look.lineType)) << 32
                         | uint64_t(uint16_t(e.look.width)) << 48;
    Kept &k = kept[(key * 0x9E3779B97F4A7C15ull) >> 58];
    if (!k.filled || k.key != key) {
        k.key = key;
        k.filled = true;
        k.drawn = model.Look(e, k.look);
    }
    return k.drawn ? &k.look : nullptr;
}

namespace {

// The commonest stroke, a continuous line at most a pixel wide with both ends in the view,
// as the styled pen draws it: no clipping, no pattern. False, with nothing drawn, for any
// other.
bool plainLine(Canvas &canvas, const ViewParams &view, const LinePen &pen, const LineShape &g)
{
    const int ipw = pixelWidth(pen, view);
    if (pen.count != 0 || ipw > 1)
        return false;
    SetPen(canvas, pen.colour, 0, ipw);
    SetBrush(canvas, pen.colour, 0);
    return segmentInView(canvas, view, g.x1, g.y1, g.x2, g.y2);
}

void drawText(Canvas &canvas, const ViewParams &view, const TextRef &t,
              const TextStrings &strings, int32_t colour, NearTextPictures &near)
{
    const Geometry::TextLayout frame = Geometry::TextFrame(t, strings.text);
    if (!(frame.width > 0) || !(frame.height > 0) || !std::isfinite(frame.width + frame.height)
        || !std::isfinite(frame.px + frame.py))
        return;
    const double k = view.scale;
    if (t.height * k < 2) {
        // Too small to read: a line along the writing through the box's middle.
        double x1, y1, x2, y2;
        if (frame.vertical) {
            frame.ToPaper(frame.x + frame.width / 2, frame.y + frame.height, x1, y1);
            frame.ToPaper(frame.x + frame.width / 2, frame.y, x2, y2);
        } else {
            frame.ToPaper(frame.x, frame.y + frame.height / 2, x1, y1);
            frame.ToPaper(frame.x + frame.width, frame.y + frame.height / 2, x2, y2);
        }
        SetPen(canvas, colour, 0, 1);
        DrawClippedLine(canvas, view, x1, y1, x2, y2);
        return;
    }
    // The anchor point on the canvas; a pixel's centre is half a pixel in.
    const QPointF at((frame.px - view.x1) * k + 0.5, view.height - (frame.py - view.y1) * k + 0.5);
    // Kept pictures of whole texts blend fastest; above their height upright texts go glyph
    // by glyph, touching only the pixels in the view; the outline is the last resort (turned
    // texts' masks would be kept for one text each and soon fill their room).
    // The kept shapes are shared by the threads drawing bands: the rarer ways are drawn
    // holding the lock.
    QPointF origin;
    if (const QImage *picture = near.Of(t, strings.font, strings.text, t.height * k,
                                        uint32_t(colour), origin, frame)) {
        canvas.DrawImage(*picture, origin, at, -frame.angle);
        return;
    }
    const std::lock_guard<std::mutex> hold(textLock());
    if (Geometry::Normal(frame.angle) == 0
        && BlendText(canvas, t, strings.font, strings.text, t.height * k, at, uint32_t(colour)))
        return;
    const QPainterPath &outline = TextOutline(t, strings.font, strings.text);
    // Own axes at a character height of 1 onto pixels: rotated, scaled, y turned down.
    const double a = frame.angle * Geometry::Pi / 180;
    const double c = std::cos(a) * t.height * k, s = std::sin(a) * t.height * k;
    const QTransform onto(c, -s, -s, -c, at.x(), at.y());
    canvas.FillPath(outline, onto, uint32_t(colour));
}

void drawEntity(Canvas &canvas, const ViewParams &view, const DrawingModel &model,
                const Entity &e, const LineLook &look, NearTextPictures &texts)
{
    SettleVectors();
    // On paper by the look's scale, as Paper has it, without looking up the layer again.
    std::visit(
        [&](const auto &m) {
            using G = std::decay_t<decltype(m)>;
            G g;
            if constexpr (std::is_same_v<G, std::monostate>)
                return;
            else if (!OnPaper(m, look.scale, g))
                return;
            if constexpr (std::is_same_v<G, LineShape>) {
                if (plainLine(canvas, view, look.pen, g))
                    return;
                LinePen pen = look.pen;
                DrawStyledLineInView(canvas, view, pen, g.x1, g.y1, g.x2, g.y2);
            } else if constexpr (std::is_same_v<G, CircleShape>) {
                if (underPixel(canvas, view, look.pen, g.cx, g.cy, g.r))
                    return;
                const PaperBox box = Geometry::CircleBox(g);
                if (!boxOutside(view, box, std::fabs(look.pen.width) / 200.0))
                    strokeArc(canvas, view, look.pen, circleArc(g), boxInside(view, box));
            } else if constexpr (std::is_same_v<G, ArcShape>) {
                if (underPixel(canvas, view, look.pen, g.cx, g.cy, g.r))
                    return;
                // Inside the view with its whole circle, the arc's own box is not needed.
                if (boxInside(view, Geometry::CircleBox(circleOf(g)))) {
                    strokeArc(canvas, view, look.pen, g, true);
                    return;
                }
                const PaperBox box = Geometry::ArcBox(g);
                if (!boxOutside(view, box, std::fabs(look.pen.width) / 200.0))
                    strokeArc(canvas, view, look.pen, g, boxInside(view, box));
            } else if constexpr (std::is_same_v<G, TextRef>) {
                drawText(canvas, view, g, model.Strings(g), look.pen.colour, texts);
            }
        },
        e.shape);
}

} // namespace

void RenderEntity(Canvas &canvas, const ViewParams &view, const DrawingModel &model,
                  const Entity &e)
{
    LineLook look;
    NearTextPictures texts(textLock());
    if (e.Live() && model.Look(e, look))
        drawEntity(canvas, view, model, e, look, texts);
}

void RenderEntity(Canvas &canvas, const ViewParams &view, const DrawingModel &model,
                  const Entity &e, PictureLooks &looks)
{
    if (!e.Live())
        return;
    if (const LineLook *look = looks.Of(e))
        drawEntity(canvas, view, model, e, *look, looks.texts);
}

void RenderText(Canvas &canvas, const ViewParams &view, const TextRef &t,
                const TextStrings &strings, int32_t colour)
{
    NearTextPictures near(textLock());
    drawText(canvas, view, t, strings, colour, near);
}

void RenderBand(Canvas &canvas, const ViewParams &view, const std::vector<Shape> &band)
{
    const double margin = 2 / view.scale;
    const PaperBox clip{view.x1 - margin, view.y1 - margin, view.x2 + margin, view.y2 + margin};
    for (const Shape &shape : band) {
        std::visit(
            [&](const auto &g) {
                using G = std::decay_t<decltype(g)>;
                const auto line = [&](double x1, double y1, double x2, double y2) {
                    DrawClippedLine(canvas, view, x1, y1, x2, y2);
                };
                if constexpr (std::is_same_v<G, LineShape>) {
                    line(g.x1, g.y1, g.x2, g.y2);
                } else if constexpr (std::is_same_v<G, CircleShape>) {
                    Geometry::WalkArc(circleArc(g), {}, ChordPixels / view.scale, &clip,
                                      [&](bool, double x1, double y1, double x2, double y2) {
                                          line(x1, y1, x2, y2);
                                      });
                } else if constexpr (std::is_same_v<G, ArcShape>) {
                    Geometry::WalkArc(g, {}, ChordPixels / view.scale, &clip,
                                      [&](bool, double x1, double y1, double x2, double y2) {
                                          line(x1, y1, x2, y2);
                                      });
                } else if constexpr (std::is_same_v<G, TextShape>) {
                    textBoxEdges(Geometry::RefOf(g), g.text, line);
                }
            },
            shape);
    }
}

void RenderEntities(Canvas &canvas, const ViewParams &view, const DrawingModel &model)
{
    BeginTextPictures();
    std::vector<uint32_t> seen;
    model.EntitiesIn({view.x1, view.y1, view.x2, view.y2}, seen);
    PictureLooks looks(model);
    RenderEntitiesAt(canvas, view, model, seen, looks);
}

namespace {

// The entities a few ahead are asked for from memory while these are drawn: the
// positions skip about, too much for the processor to foresee.
constexpr size_t Ahead = 6;

void prefetchEntity(const DrawingModel &model, uint32_t position)
{
    const char *at = reinterpret_cast<const char *>(&model.At(position));
    __builtin_prefetch(at);
    __builtin_prefetch(at + 64);
}

// An extent on the picture's pixels with reach pixels around it: left, top, right, bottom.
void pixelEdges(const PaperBox &b, double reach, const ViewParams &view, double edges[4])
{
    const double k = view.scale, h = view.height;
    edges[0] = (b.x1 - view.x1) * k - reach;
    edges[1] = h - (b.y2 - view.y1) * k - reach;
    edges[2] = (b.x2 - view.x1) * k + reach;
    edges[3] = h - (b.y1 - view.y1) * k + reach;
}

// The pixels the entity's strokes can write: its extent and reach, as whole pixels from
// x1, y1 to x2, y2; false when it has no extent, or one too far out to tell.
bool pixelBox(const DrawingModel &model, const Entity &e, const LineLook &look,
              const ViewParams &view, int box[4])
{
    PaperBox b;
    if (!model.Extent(e, b))
        return false;
    double edges[4];
    pixelEdges(b, ReachPixels(e, b, look, view), view, edges);
    for (int i = 0; i < 4; ++i) {
        constexpr double Far = 1e8;
        if (!(std::fabs(edges[i]) < Far))
            return false;
        box[i] = int(i < 2 ? std::floor(edges[i]) : std::ceil(edges[i]));
    }
    return true;
}

// Past this many pixels of strokes over each pixel, most entities of a picture are drawn
// over wholly by later ones, and leaving those out saves more than finding them costs.
constexpr double Crowded = 28;

// Whether the strokes of a sample of the entities, counted as their boxes' widths and
// heights, come to Crowded times the pixels written. Texts are left out: they blend, and
// cover nothing.
bool crowded(const DrawingModel &model, const std::vector<uint32_t> &positions,
             PictureLooks &looks, const ViewParams &view, const QRect &clip)
{
    // Fewer than one entity in 4 Crowded pixels are not worth the sample; depths are
    // positions, kept below the sign bit.
    const double area = double(clip.width()) * clip.height();
    if (!(positions.size() * 4 > area / Crowded) || positions.size() >= (size_t(1) << 31))
        return false;
    const size_t step = std::max<size_t>(1, positions.size() / 1024);
    double pixels = 0;
    for (size_t i = 0; i < positions.size(); i += step) {
        const Entity &e = model.At(positions[i]);
        const LineLook *look = e.Live() ? looks.Of(e) : nullptr;
        int box[4];
        if (look && !std::holds_alternative<TextRef>(e.shape)
            && pixelBox(model, e, *look, view, box)) {
            const QRect b = QRect(QPoint(box[0], box[1]), QPoint(box[2], box[3])) & clip;
            if (!b.isEmpty())
                pixels += b.width() + b.height();
        }
    }
    return pixels * double(step) > Crowded * area;
}

// A crowded picture from its last entity to its first, each pen taking only the pixels
// no later entity took, and an entity whose pixels all lie in blocks already taken left
// out: most are drawn over wholly. Texts blend over what lies under them, so they come
// after, first to last, with the pixels later entities took kept. False, with nothing
// drawn, when the depths cannot be had.
bool drawCrowded(Canvas &canvas, const ViewParams &view, const DrawingModel &model,
                 const std::vector<uint32_t> &positions, PictureLooks &looks)
{
    Coverage coverage(canvas);
    if (!coverage.Depths())
        return false;
    std::vector<uint32_t> texts;
    for (size_t i = positions.size(); i-- > 0;) {
        if (i >= Ahead)
            prefetchEntity(model, positions[i - Ahead]);
        const Entity &e = model.At(positions[i]);
        const LineLook *look = e.Live() ? looks.Of(e) : nullptr;
        if (!look)
            continue;
        int box[4];
        if (pixelBox(model, e, *look, view, box)
            && coverage.Covers(box[0], box[1], box[2], box[3]))
            continue;
        if (std::holds_alternative<TextRef>(e.shape)) {
            texts.push_back(uint32_t(i));
            continue;
        }
        canvas.SetDepth(coverage.Depths(), uint32_t(i + 1));
        drawEntity(canvas, view, model, e, *look, looks.texts);
    }
    for (auto t = texts.rbegin(); t != texts.rend(); ++t) {
        const Entity &e = model.At(positions[*t]);
        canvas.SetDepth(coverage.Depths(), *t + 1);
        drawEntity(canvas, view, model, e, *looks.Of(e), looks.texts);
    }
    canvas.SetDepth(nullptr, 0);
    return true;
}

void drawAt(Canvas &canvas, const ViewParams &view, const DrawingModel &model,
            const std::vector<uint32_t> &positions, PictureLooks &looks)
{
    for (size_t k = 0; k < positions.size(); ++k) {
        if (k + Ahead < positions.size())
            prefetchEntity(model, positions[k + Ahead]);
        RenderEntity(canvas, view, model, model.At(positions[k]), looks);
    }
}

} // namespace

void RenderEntitiesAt(Canvas &canvas, const ViewParams &view, const DrawingModel &model,
                      const std::vector<uint32_t> &positions, PictureLooks &looks)
{
    if (!(crowded(model, positions, looks, view, canvas.Clip())
          && drawCrowded(canvas, view, model, positions, looks)))
        drawAt(canvas, view, model, positions, looks);
}

void RenderHighlight(Canvas &canvas, const ViewParams &view, const DrawingModel &model,
                     const std::vector<int32_t> &entities)
{
    for (int32_t n : entities) {
        const Entity *e = model.Find(n);
        if (!e)
            continue;
        const PaperShape shape = model.Paper(*e);
        SetPen(canvas, HighlightColour, 0, 3);
        std::visit(
            [&](const auto &g) {
                using G = std::decay_t<decltype(g)>;
                LinePen pen;
                pen.colour = HighlightColour;
                pen.width = int32_t(std::ceil(300 / view.scale)); // 3 pixels
                if constexpr (std::is_same_v<G, LineShape>) {
                    DrawClippedLine(canvas, view, g.x1, g.y1, g.x2, g.y2);
                } else if constexpr (std::is_same_v<G, CircleShape>) {
                    strokeArc(canvas, view, pen, circleArc(g));
                } else if constexpr (std::is_same_v<G, ArcShape>) {
                    strokeArc(canvas, view, pen, g);
                } else if constexpr (std::is_same_v<G, TextRef>) {
                    textBoxEdges(g, model.Strings(g).text,
                                 [&](double x1, double y1, double x2, double y2) {
                                     DrawClippedLine(canvas, view, x1, y1, x2, y2);
                                 });
                }
            },
            shape);
    }
}

void RenderPicture(Canvas &canvas, const ViewParams &view, const DrawingModel &model,
                   const Sheet &sheet)
{
    RenderSheet(canvas, view, sheet);
    RenderEntities(canvas, view, model);
}

double ReachPixels(const Entity &e, const PaperBox &extent, const LineLook &look,
                   const ViewParams &view)
{
    double reach = pixelWidth(look.pen, view) / 2.0 + 3;
    if (std::holds_alternative<TextRef>(e.shape))
        reach += std::min(extent.x2 - extent.x1, extent.y2 - extent.y1) * view.scale / 2;
    return reach;
}

namespace {

// The widest pen in use in pixels, as strokes are drawn with it.
int widestPixels(const DrawingModel &model, const ViewParams &view)
{
    LinePen widest;
    widest.width = model.WidestWidth();
    return pixelWidth(widest, view);
}

// A rectangle of the picture to draw anew on its own: its box on paper, and the box the
// entities whose strokes can reach into it are looked for in.
struct Part
{
    QRect rect;
    PaperBox box, around;
};

} // namespace

double SearchMargin(const DrawingModel &model, const ViewParams &view)
{
    // The widest pen and as far as glyphs can stand out of their cells: half the largest
    // character, at most some pixels.
    const double glyphs = std::min(32.0, 3 + model.TallestText() * view.scale / 2);
    return (widestPixels(model, view) / 2.0 + glyphs) / view.scale;
}

namespace {

Part partOf(const QRect &r, const ViewParams &view, double margin)
{
    const int h = view.height;
    Part p;
    p.rect = r;
    p.box = {view.x1 + r.left() / view.scale, view.y1 + (h - 1 - r.bottom()) / view.scale,
             view.x1 + (r.right() + 1) / view.scale, view.y1 + (h - r.top()) / view.scale};
    p.around = {p.box.x1 - margin, p.box.y1 - margin, p.box.x2 + margin, p.box.y2 + margin};
    return p;
}

// The part drawn, every write kept inside it: the sheet, then the entities whose strokes
// can reach into it.
void drawPart(QImage &memory, const Part &part, const ViewParams &view,
              const DrawingModel &model, const Sheet &sheet)
{
    std::vector<uint32_t> found;
    std::vector<PaperBox> bounds;
    model.EntitiesIn(part.around, found, &bounds);
    Canvas canvas(memory);
    canvas.SetClip(part.rect);
    RenderSheet(canvas, view, sheet);
    PictureLooks looks(model);
    const auto outside = [&](const Entity &e, const PaperBox &b, const LineLook &look) {
        return boxOutside(view, b, 0)
               || apart(part.box, b, ReachPixels(e, b, look, view) / view.scale);
    };
    for (size_t k = 0; k < found.size(); ++k) {
        const Entity &e = model.At(found[k]);
        const LineLook *look = e.Live() ? looks.Of(e) : nullptr;
        PaperBox b;
        // Those beyond their reach by their bounds are passed over before their exact
        // extents are worked out.
        if (!look || outside(e, bounds[k], *look) || !model.Extent(e, b))
            continue;
        // As in a full redraw, one that does not meet the view is passed over.
        if (outside(e, b, *look))
            continue;
        drawEntity(canvas, view, model, e, *look, looks.texts);
    }
}

// The rectangles drawn anew on up to threads threads (0: RenderThreads(), or one for a
// drawing of few entities); beside them, more jobs given to other, numbered from 0.
void drawParts(QImage &picture, const std::vector<QRect> &rects, const ViewParams &view,
               const DrawingModel &model, const Sheet &sheet, int threads, int more = 0,
               const std::function<void(int)> &other = {})
{
    // Each rectangle whole to a thread: where one were cut, the strokes found around the
    // cut would be worked out for both pieces.
    std::vector<Part> parts;
    const double margin = SearchMargin(model, view);
    for (const QRect &r : rects) {
        if (!r.isEmpty())
            parts.push_back(partOf(r, view, margin));
    }
    if (parts.empty() && more == 0)
        return;
    BeginTextPictures();
    uchar *bits = picture.bits();
    threads = RenderThreads(threads, model.Count());
    // The index may build itself at a question: built here first, on one thread.
    if (!model.PrepareIndex())
        threads = 1;
    ShareJobs(threads, int(parts.size()) + more, [&](int j) {
        if (j >= int(parts.size())) {
            other(j - int(parts.size()));
            return;
        }
        // The same memory as the picture, for this thread alone.
        QImage memory(bits, picture.width(), picture.height(), picture.bytesPerLine(),
                      picture.format());
        drawPart(memory, parts[size_t(j)], view, model, sheet);
    });
}

} // namespace

bool RenderPanned(const QImage &before, const ViewParams &from, const ViewParams &after,
                  const DrawingModel &model, const Sheet &sheet, QImage &out, int threads)
{
    const int w = after.width, h = after.height;
    if (from.scale != after.scale || from.width != w || from.height != h || w < 8 || h < 8
        || before.width() != w || before.height() != h
        || before.format() != QImage::Format_RGB32)
        return false;
    // The content moves left by kx and down by ky pixels.
    const double dx = (after.x1 - from.x1) * after.scale, dy = (after.y1 - from.y1) * after.scale;
    const double kx = std::round(dx), ky = std::round(dy);
    if (!(std::fabs(dx - kx) < 1e-6 && std::fabs(dy - ky) < 1e-6) || std::fabs(kx) >= w / 2.0
        || std::fabs(ky) >= h / 2.0)
        return false;
    const int mx = int(kx), my = int(ky);
    // What both show, without the two pixels at either picture's edges where the window
    // frame lies.
    const int kx1 = std::max(2, 2 - mx), kx2 = std::min(w - 3, w - 3 - mx);
    const int ky1 = std::max(2, 2 + my), ky2 = std::min(h - 3, h - 3 + my);
    // The picture given for out, when of the size and not shared, is written over.
    QImage next;
    if (&out != &before && out.width() == w && out.height() == h
        && out.format() == QImage::Format_RGB32 && out.isDetached())
        next = std::move(out);
    else
        next = QImage(w, h, QImage::Format_RGB32);
    if (next.isNull())
        return false;
    // The rest as rectangles apart, each drawn on its own with every write kept inside it:
    // the rows above and below what is kept, and beside it the columns left and right.
    const std::vector<QRect> rest{QRect(QPoint(0, 0), QPoint(w - 1, ky1 - 1)),
                                  QRect(QPoint(0, ky2 + 1), QPoint(w - 1, h - 1)),
                                  QRect(QPoint(0, ky1), QPoint(kx1 - 1, ky2)),
                                  QRect(QPoint(kx2 + 1, ky1), QPoint(w - 1, ky2))};
    // What is kept is moved in two jobs of rows beside the parts' drawing.
    constexpr int Moves = 2;
    uchar *bits = next.bits();
    const qsizetype stride = next.bytesPerLine();
    drawParts(next, rest, after, model, sheet, threads, kx1 <= kx2 ? Moves : 0, [&](int j) {
        const size_t bytes = size_t(kx2 - kx1 + 1) * 4;
        const int rows = ky2 - ky1 + 1;
        for (int y = ky1 + rows * j / Moves; y < ky1 + rows * (j + 1) / Moves; ++y) {
            std::memcpy(bits + y * stride + size_t(kx1) * 4,
                        before.constScanLine(y - my) + size_t(kx1 + mx) * 4, bytes);
        }
    });
    out = std::move(next);
    return true;
}

bool RenderChanged(QImage &picture, const ViewParams &view, const DrawingModel &model,
                   const Sheet &sheet, const std::vector<int32_t> &entities)
{
    const int w = view.width, h = view.height;
    if (picture.width() != w || picture.height() != h
        || picture.format() != QImage::Format_RGB32)
        return false;
    // Rectangles apart: each change's reach, those that overlap or touch joined. Past some
    // dozens, one around them all.
    constexpr size_t MostRects = 64;
    std::vector<QRect> rects;
    QRect around;
    const double widest = widestPixels(model, view) / 2.0 + 3;
    for (int32_t n : entities) {
        const Entity *e = model.Find(n);
        PaperBox b;
        // One that can never be drawn was not drawn before either.
        if (!e || !model.Extent(*e, b))
            continue;
        LineLook look;
        const double reach = model.Look(*e, look, true) ? ReachPixels(*e, b, look, view) : widest;
        double edges[4];
        pixelEdges(b, reach, view, edges);
        const double left = edges[0], top = edges[1], right = edges[2], bottom = edges[3];
        if (!std::isfinite(left + right + top + bottom))
            return false;
        if (right < 0 || bottom < 0 || left >= w || top >= h)
            continue;
        const QRect r(QPoint(int(std::max(left, 0.0)), int(std::max(top, 0.0))),
                      QPoint(int(std::min(right, w - 1.0)), int(std::min(bottom, h - 1.0))));
        around |= r;
        if (rects.size() <= MostRects)
            rects.push_back(r);
    }
    if (rects.size() > MostRects)
        rects = {around};
    for (bool joined = true; joined;) {
        joined = false;
        for (size_t i = 0; i < rects.size() && !joined; ++i) {
            for (size_t j = i + 1; j < rects.size(); ++j) {
                if (rects[i].adjusted(-1, -1, 1, 1).intersects(rects[j])) {
                    rects[i] |= rects[j];
                    rects.erase(rects.begin() + ptrdiff_t(j));
                    joined = true;
                    break;
                }
            }
        }
    }
    // Past a quarter of the picture, a whole redraw is about as quick.
    qint64 area = 0;
    for (const QRect &r : rects)
        area += qint64(r.width()) * r.height();
    if (area > qint64(w) * h / 4)
        return false;
    drawParts(picture, rects, view, model, sheet, 0);
    return true;
}
