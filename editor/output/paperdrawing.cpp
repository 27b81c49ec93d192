#include "editor/output/paperdrawing.h"

#include "editor/model/drawingmodel.h"
#include "editor/model/sheetframe.h"

#include <algorithm>
#include <cmath>

namespace {

// The look a layer's lines take where they depend on it.
bool layerLook(const DrawingModel &model, int layer, LineLook &look, bool hiddenToo)
{
    Entity e;
    e.look.layer = int16_t(layer);
    return model.Look(e, look, hiddenToo);
}

LinePen patternOf(const LinePen &pen)
{
    LinePen p;
    p.count = pen.count;
    p.total = pen.total;
    for (int i = 0; i < pen.count && i < 10; ++i)
        p.pitches[i] = pen.pitches[i];
    return p;
}

} // namespace

LinePen PaperDrawing::PenOf(const SheetLine &line) const
{
    LinePen pen = types[size_t(line.type)].pattern;
    pen.colour = line.colour;
    pen.width = line.width;
    return pen;
}

PaperDrawing TakePaperDrawing(const DrawingModel &model, const QString &name, double width,
                              double height, bool everyLayer)
{
    PaperDrawing d;
    d.name = name;
    const bool sized = width > 0 && height > 0 && std::isfinite(width) && std::isfinite(height);
    d.width = sized ? width : 420;
    d.height = sized ? height : 297;

    // Line types by the number a line resolves to; a type that does not make a pattern is
    // drawn continuous and shares the one continuous entry.
    std::vector<int> typeAt(32768, -1);
    int continuous = -1;
    auto typeOf = [&](int number, const LinePen &pen) {
        if (pen.count == 0) {
            if (continuous < 0) {
                continuous = int(d.types.size());
                d.types.push_back({0, QStringLiteral("CONTINUOUS"), LinePen()});
            }
            return continuous;
        }
        if (typeAt[size_t(number)] < 0) {
            typeAt[size_t(number)] = int(d.types.size());
            const LineTypeRow *row = model.LineType(number);
            d.types.push_back({number, row ? row->name : QString(), patternOf(pen)});
        }
        return typeAt[size_t(number)];
    };

    std::vector<int> layerAt(256, -1);
    for (size_t i = 0; i < model.Count(); ++i) {
        const Entity &e = model.At(i);
        SheetLine p;
        const LayerRow *shownLayer = model.Layer(e.look.layer);
        const bool hidden = everyLayer && shownLayer && shownLayer->visible == 0
                            && e.look.layer >= 0 && e.look.layer <= 255;
        const PaperShape shape = model.Paper(e, hidden);
        if (const LineShape *l = std::get_if<LineShape>(&shape)) {
            p.x1 = l->x1, p.y1 = l->y1, p.x2 = l->x2, p.y2 = l->y2;
        } else if (const CircleShape *c = std::get_if<CircleShape>(&shape)) {
            p.shape = *c;
        } else if (const ArcShape *a = std::get_if<ArcShape>(&shape)) {
            p.shape = *a;
        } else if (const TextRef *t = std::get_if<TextRef>(&shape)) {
            const TextStrings &strings = model.Strings(*t);
            p.shape = TextShape{t->px, t->py, t->height, t->width, t->spacing, t->angle,
                                t->style, t->anchor, t->vertical, strings.font, strings.text};
        } else {
            continue;
        }
        const LayerRow *layer = model.Layer(e.look.layer);
        if (!layer || (layer->printed == 0 && !everyLayer))
            continue;
        // What the screen cannot place (far beyond what a double spans) stays off paper too.
        PaperBox extent;
        if (!model.Extent(e, extent))
            continue;
        LineLook look;
        if (!model.Look(e, look, hidden))
            continue;
        int &at = layerAt[size_t(e.look.layer)];
        if (at < 0) {
            LineLook own;
            layerLook(model, e.look.layer, own, hidden);
            PaperLayer l;
            l.n = layer->n;
            l.name = layer->name;
            l.colour = own.pen.colour;
            l.width = own.pen.width;
            const int number = int(layer->lineType);
            l.type = typeOf(number >= 0 && number < 32768 ? number : 0, own.pen);
            l.shown = layer->visible != 0;
            l.printed = layer->printed != 0;
            at = int(d.layers.size());
            d.layers.push_back(l);
        }
        const int number = e.look.lineType != 0 ? e.look.lineType : layer->lineType;
        p.colour = look.pen.colour;
        p.width = look.pen.width;
        p.layer = at;
        p.type = typeOf(number >= 0 && number < 32768 ? number : 0, look.pen);
        p.ownColour = e.look.colour != 0;
        p.ownType = e.look.lineType != 0;
        p.ownWidth = e.look.width != 0;
        d.lines.push_back(p);
    }
    // Layers in ascending number, the lines' positions following.
    std::vector<int> order(d.layers.size());
    for (size_t i = 0; i < order.size(); ++i)
        order[i] = int(i);
    std::sort(order.begin(), order.end(),
              [&](int a, int b) { return d.layers[size_t(a)].n < d.layers[size_t(b)].n; });
    std::vector<int> newAt(order.size());
    std::vector<PaperLayer> sorted;
    for (size_t i = 0; i < order.size(); ++i) {
        newAt[size_t(order[i])] = int(i);
        sorted.push_back(d.layers[size_t(order[i])]);
    }
    d.layers = std::move(sorted);
    for (SheetLine &p : d.lines)
        p.layer = newAt[size_t(p.layer)];
    return d;
}

void WalkPaperLine(LinePen &pen, double x1, double y1, double x2, double y2, double boxX1,
                   double boxY1, double boxX2, double boxY2,
                   const std::function<void(bool dot, double, double, double, double)> &each)
{
    if (pen.count < 0 || pen.count > 10)
        pen.count = 0;
    double cx1 = x1, cy1 = y1, cx2 = x2, cy2 = y2;
    // Dots reach half the width beyond their place.
    const double margin = std::fabs(pen.width) / 200.0 + 1;
    const int clipped = ClipSegment(cx1, cy1, cx2, cy2, boxX1 - margin, boxY1 - margin,
                                    boxX2 + margin, boxY2 + margin);
    if (clipped == 2)
        return;
    if (pen.count == 0 || Distance(x1, y1, x2, y2) <= pen.total) {
        LinePen continuous = pen;
        continuous.count = 0;
        WalkDashes(continuous, cx1, cy1, cx2, cy2, each);
        return;
    }
    SeekPattern(pen, clipped == 1 ? Distance(x1, y1, cx1, cy1) : 0);
    WalkDashes(pen, cx1, cy1, cx2, cy2, each);
}

QString SheetFrameLayerName()
{
    return QStringLiteral("表題欄");
}

void AddSheetFrame(PaperDrawing &d, const SheetFrame &frame)
{
    if (!frame.shown)
        return;
    int type = -1;
    for (size_t i = 0; i < d.types.size() && type < 0; ++i) {
        if (d.types[i].pattern.count == 0)
            type = int(i);
    }
    if (type < 0) {
        type = int(d.types.size());
        d.types.push_back({0, QStringLiteral("CONTINUOUS"), LinePen()});
    }
    PaperLayer layer;
    layer.n = SheetFrameLayer;
    layer.name = SheetFrameLayerName();
    layer.width = 25;
    layer.type = type;
    const int at = int(d.layers.size());
    d.layers.push_back(layer);
    for (const FrameLine &l : frame.lines) {
        SheetLine p;
        p.x1 = l.line.x1, p.y1 = l.line.y1, p.x2 = l.line.x2, p.y2 = l.line.y2;
        p.width = l.width;
        p.layer = at;
        p.type = type;
        d.lines.push_back(p);
    }
    for (const TextShape &t : frame.texts) {
        SheetLine p;
        p.shape = t;
        p.layer = at;
        p.type = type;
        d.lines.push_back(p);
    }
}
