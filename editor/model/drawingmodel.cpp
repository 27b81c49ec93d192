#include "editor/model/drawingmodel.h"

#include "editor/model/geometry.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <limits>
#include <new>

#ifdef __linux__
#include <sys/mman.h>
#endif

namespace {

// Numbers a SMALLINT column can refer to; rows numbered otherwise cannot be referred to.
constexpr int32_t HighestNumber = 32767;

template<typename Row>
std::vector<int32_t> positionsOf(const std::vector<Row> &rows)
{
    int32_t highest = -1;
    for (const Row &r : rows) {
        if (r.n >= 0 && r.n <= HighestNumber)
            highest = std::max(highest, r.n);
    }
    std::vector<int32_t> at(size_t(highest + 1), -1);
    for (size_t i = 0; i < rows.size(); ++i) {
        if (rows[i].n >= 0 && rows[i].n <= HighestNumber && at[rows[i].n] < 0)
            at[rows[i].n] = int32_t(i);
    }
    return at;
}

template<typename Row>
const Row *lookUp(const std::vector<Row> &rows, const std::vector<int32_t> &at, int n)
{
    if (n < 0 || size_t(n) >= at.size() || at[n] < 0)
        return nullptr;
    return &rows[at[n]];
}

bool finite(double a, double b, double c, double d)
{
    return std::isfinite(a) && std::isfinite(b) && std::isfinite(c) && std::isfinite(d);
}

bool meets(const PaperBox &a, const PaperBox &b)
{
    return a.x1 <= b.x2 && b.x1 <= a.x2 && a.y1 <= b.y2 && b.y1 <= a.y2;
}

template<typename T>
bool sameShape(const T &a, const T &b)
{
    return std::memcmp(&a, &b, sizeof(T)) == 0;
}

// A text's extent depends on its characters, so changed characters move it in the index.
bool sameGeometry(const Entity &a, const Entity &b, const TextPool &texts)
{
    if (a.entity.type != b.entity.type || a.look.layer != b.look.layer
        || a.shape.index() != b.shape.index())
        return false;
    return std::visit(
        [&](const auto &s) {
            using S = std::decay_t<decltype(s)>;
            if constexpr (std::is_same_v<S, std::monostate>)
                return true;
            else if constexpr (std::is_same_v<S, TextRef>) {
                const TextRef &t = std::get<TextRef>(b.shape);
                return s.px == t.px && s.py == t.py && s.height == t.height
                       && s.width == t.width && s.spacing == t.spacing && s.angle == t.angle
                       && s.anchor == t.anchor && s.vertical == t.vertical
                       && texts.At(s.strings).text == texts.At(t.strings).text;
            } else
                return sameShape(s, std::get<S>(b.shape));
        },
        a.shape);
}

// Finest cells: about one for every eight lines, at most this many.
constexpr size_t MostCells = 1 << 18;

// The float next below a finite one, as std::nextafter gives it, without the library call
// that the index would make millions of.
float stepDown(float f)
{
    if (f == 0)
        return -std::numeric_limits<float>::denorm_min();
    const uint32_t bits = std::bit_cast<uint32_t>(f);
    return std::bit_cast<float>(f > 0 ? bits - 1 : bits + 1);
}

float stepUp(float f)
{
    return -stepDown(-f);
}

// The float at or below a double, and the one at or above it.
float floatBelow(double v)
{
    constexpr double Most = std::numeric_limits<float>::max();
    if (v < -Most)
        return -std::numeric_limits<float>::infinity();
    const float f = float(std::min(v, Most));
    return double(f) > v ? stepDown(f) : f;
}

float floatAbove(double v)
{
    constexpr double Most = std::numeric_limits<float>::max();
    if (v > Most)
        return std::numeric_limits<float>::infinity();
    const float f = float(std::max(v, -Most));
    return double(f) < v ? stepUp(f) : f;
}

} // namespace

#ifdef __linux__
namespace {
constexpr size_t HugePage = size_t(2) << 20;
size_t hugePages(size_t bytes)
{
    return (bytes + HugePage - 1) / HugePage * HugePage;
}
} // namespace

void *AllocateLarge(size_t bytes)
{
    // Mapped one huge page over, then trimmed to start on one.
    const size_t size = hugePages(bytes);
    void *p = mmap(nullptr, size + HugePage, PROT_READ | PROT_WRITE,
                   MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (p == MAP_FAILED)
        throw std::bad_alloc();
    const uintptr_t start = reinterpret_cast<uintptr_t>(p);
    const uintptr_t aligned = (start + HugePage - 1) & ~(HugePage - 1);
    if (aligned > start)
        munmap(p, aligned - start);
    if (start + HugePage > aligned)
        munmap(reinterpret_cast<void *>(aligned + size), start + HugePage - aligned);
    madvise(reinterpret_cast<void *>(aligned), size, MADV_HUGEPAGE);
    return reinterpret_cast<void *>(aligned);
}

void FreeLarge(void *p, size_t bytes)
{
    munmap(p, hugePages(bytes));
}
#else
void *AllocateLarge(size_t bytes)
{
    return ::operator new(bytes);
}

void FreeLarge(void *p, size_t)
{
    ::operator delete(p);
}
#endif

DrawingModel::DrawingModel(int drawing) : drawing(drawing) {}

const LayerRow *DrawingModel::Layer(int n) const
{
    return lookUp(layers, layerAt, n);
}

const ColourRow *DrawingModel::Colour(int n) const
{
    return lookUp(colours, colourAt, n);
}

const LineTypeRow *DrawingModel::LineType(int n) const
{
    return lookUp(lineTypes, lineTypeAt, n);
}

bool DrawingModel::SetLayers(std::vector<LayerRow> rows)
{
    // A scale that is not a number is the same as the one read before.
    auto same = [](const LayerRow &a, const LayerRow &b) {
        return a.n == b.n && a.name == b.name && a.visible == b.visible
               && a.printed == b.printed && a.colour == b.colour && a.lineType == b.lineType
               && a.width == b.width
               && (a.scale == b.scale || (std::isnan(a.scale) && std::isnan(b.scale)));
    };
    if (std::equal(rows.begin(), rows.end(), layers.begin(), layers.end(), same))
        return false;
    // Where lines lie depends on their layers' scales.
    bool placesMoved = rows.size() != layers.size();
    for (size_t i = 0; !placesMoved && i < rows.size(); ++i) {
        placesMoved = rows[i].n != layers[i].n
                      || !(rows[i].scale == layers[i].scale
                           || (std::isnan(rows[i].scale) && std::isnan(layers[i].scale)));
    }
    layers = std::move(rows);
    layerAt = positionsOf(layers);
    if (placesMoved)
        indexValid = false;
    return true;
}

bool DrawingModel::SetColours(std::vector<ColourRow> rows)
{
    if (rows == colours)
        return false;
    colours = std::move(rows);
    colourAt = positionsOf(colours);
    return true;
}

bool DrawingModel::SetLineTypes(std::vector<LineTypeRow> rows)
{
    if (rows == lineTypes)
        return false;
    lineTypes = std::move(rows);
    lineTypeAt = positionsOf(lineTypes);
    return true;
}

const Entity *DrawingModel::Find(int32_t entity) const
{
    auto it = std::lower_bound(items.begin(), items.end(), entity,
                               [](const Entity &e, int32_t n) { return e.entity.n < n; });
    return it != items.end() && it->entity.n == entity ? &*it : nullptr;
}

int64_t DrawingModel::HighestRow(int kind) const
{
    return kind >= KindLine && kind <= KindText ? highestRows[kind] : 0;
}

int32_t DrawingModel::WidestWidth() const
{
    int32_t widest = widestOwn;
    for (const LayerRow &l : layers)
        widest = std::max(widest, l.width);
    return widest;
}

void DrawingModel::Reset(int64_t op, int64_t history)
{
    items.clear();
    texts.Clear();
    widestOwn = 0;
    tallestText = 0;
    std::fill(std::begin(highestRows), std::end(highestRows), 0);
    indexValid = false;
    operation = op;
    highestHistory = history;
}

bool DrawingModel::Add(const EntityRecord &record)
{
    const int kind = record.entity.type;
    if (kind >= KindLine && kind <= KindText && record.row > 0)
        highestRows[kind] = std::max<int64_t>(highestRows[kind], record.row);
    widestOwn = std::max<int32_t>(widestOwn, record.look.width);
    if (const TextShape *t = std::get_if<TextShape>(&record.shape)) {
        for (double size : {t->height, t->width}) {
            if (std::isfinite(size) && size > tallestText)
                tallestText = size;
        }
    }
    const Entity e = ToEntity(record, texts);
    if (items.empty() || e.entity.n > items.back().entity.n) {
        items.push_back(e);
        if (indexValid)
            addToIndex(uint32_t(items.size() - 1));
        return true;
    }
    auto it = std::lower_bound(items.begin(), items.end(), e.entity.n,
                               [](const Entity &x, int32_t n) { return x.entity.n < n; });
    if (it != items.end() && it->entity.n == e.entity.n) {
        // A change of state keeps the line where the index has it.
        const bool place = sameGeometry(*it, e, texts);
        if (!place)
            indexValid = false;
        const bool look = it->look.colour == e.look.colour && it->look.lineType == e.look.lineType
                          && it->look.width == e.look.width;
        *it = e;
        return place && look;
    }
    items.insert(it, e);
    indexValid = false;
    return true;
}

void DrawingModel::Add(const std::vector<EntityRecord> &rows)
{
    for (const EntityRecord &e : rows)
        Add(e);
}

void DrawingModel::Reserve(size_t count)
{
    items.reserve(std::max(count, items.size()));
}

void DrawingModel::Trim()
{
    // Copying a large drawing costs more than a little room held.
    if (items.capacity() - items.size() > items.size() / 16 + 1024)
        items.shrink_to_fit();
}

void DrawingModel::setState(const std::vector<int32_t> &entities, int16_t state)
{
    for (int32_t n : entities) {
        auto it = std::lower_bound(items.begin(), items.end(), n,
                                   [](const Entity &e, int32_t v) { return e.entity.n < v; });
        // The entity stays where the index has it; picking and drawing look at the state.
        if (it != items.end() && it->entity.n == n)
            it->entity.state = state;
    }
}

void DrawingModel::TakeStored(const std::vector<EntityRecord> &rows,
                              const std::vector<int32_t> &erased,
                              const std::vector<int32_t> &restored, int64_t op,
                              int64_t firstHistory)
{
    const size_t count = rows.size() + erased.size() + restored.size();
    const bool next = count > 0 && op == operation + 1 && firstHistory == highestHistory + 1
                      && (rows.empty() || rows.front().entity.n == HighestEntity() + 1);
    Add(rows);
    setState(erased, 0);
    setState(restored, 1);
    if (next) {
        operation = op;
        highestHistory = firstHistory + int64_t(count) - 1;
    }
}

const LayerRow *DrawingModel::drawnLayer(int n, bool hiddenToo) const
{
    const LayerRow *layer = n >= 0 && n <= 255 ? Layer(n) : nullptr;
    return layer && (hiddenToo || layer->visible != 0) && std::isfinite(layer->scale) ? layer
                                                                                       : nullptr;
}

bool DrawingModel::Look(const Entity &e, LineLook &look, bool hiddenToo) const
{
    const LayerRow *layer = drawnLayer(e.look.layer, hiddenToo);
    if (!layer)
        return false;
    look.scale = layer->scale;
    LinePen &pen = look.pen;
    pen = LinePen();
    const ColourRow *colour = Colour(e.look.colour != 0 ? e.look.colour : layer->colour);
    pen.colour = colour ? colour->value & 0xFFFFFF : 0;
    pen.width = e.look.width != 0 ? e.look.width : layer->width;
    const LineTypeRow *type = LineType(e.look.lineType != 0 ? e.look.lineType
                                                            : layer->lineType);
    if (type && type->count > 0 && type->count <= 10 && type->count % 2 == 0) {
        pen.count = type->count;
        for (int i = 0; i < pen.count; ++i) {
            pen.pitches[i] = type->pitches[i] * 0.01;
            pen.total += pen.pitches[i];
        }
    }
    return true;
}

namespace {

// The shape scaled to paper, monostate when a value cannot be drawn.
PaperShape scaled(const ModelShape &shape, double s)
{
    return std::visit(
        [&](const auto &g) -> PaperShape {
            using G = std::decay_t<decltype(g)>;
            G p;
            if constexpr (std::is_same_v<G, std::monostate>)
                return p;
            else
                return OnPaper(g, s, p) ? PaperShape(p) : PaperShape();
        },
        shape);
}

} // namespace

PaperShape DrawingModel::Paper(const Entity &e, bool hiddenToo) const
{
    if (e.entity.state != 1)
        return {};
    const LayerRow *layer = drawnLayer(e.look.layer, hiddenToo);
    if (!layer)
        return {};
    PaperShape p = scaled(e.shape, layer->scale);
    if (const TextRef *t = std::get_if<TextRef>(&p); t && Strings(*t).text.isEmpty())
        return {};
    return p;
}

bool DrawingModel::PaperRecord(const Entity &e, EntityRecord &out) const
{
    const PaperShape paper = Paper(e);
    if (std::holds_alternative<std::monostate>(paper))
        return false;
    out = Record(e);
    std::visit(
        [&](const auto &g) {
            using G = std::decay_t<decltype(g)>;
            if constexpr (std::is_same_v<G, TextRef>) {
                TextShape &text = std::get<TextShape>(out.shape);
                text.px = g.px;
                text.py = g.py;
            } else if constexpr (!std::is_same_v<G, std::monostate>) {
                out.shape = g;
            }
        },
        paper);
    return true;
}

bool DrawingModel::Extent(const Entity &e, PaperBox &box) const
{
    if (e.look.layer < 0 || e.look.layer > 255)
        return false;
    const LayerRow *layer = Layer(e.look.layer);
    if (!layer || !std::isfinite(layer->scale))
        return false;
    const double s = layer->scale;
    // Visited as kept, each kind put on paper in place: no copy of the shape.
    return std::visit(
        [&](const auto &m) {
            using G = std::decay_t<decltype(m)>;
            G g;
            if constexpr (std::is_same_v<G, std::monostate>)
                return false;
            else if (!OnPaper(m, s, g))
                return false;
            if constexpr (std::is_same_v<G, LineShape>)
                box = Geometry::LineBox(g);
            else if constexpr (std::is_same_v<G, CircleShape>)
                box = Geometry::CircleBox(g);
            else if constexpr (std::is_same_v<G, ArcShape>)
                box = Geometry::ArcBox(g);
            else if constexpr (std::is_same_v<G, TextRef>)
                box = Geometry::TextBox(g, Strings(g).text);
            // An extent too wide for a double cannot be placed in the index.
            return finite(box.x1, box.y1, box.x2, box.y2) && std::isfinite(box.x2 - box.x1)
                   && std::isfinite(box.y2 - box.y1);
        },
        e.shape);
}

bool DrawingModel::slotOf(uint32_t position, Slot &slot) const
{
    PaperBox b;
    if (!Extent(items[position], b))
        return false;
    slot = {floatBelow(b.x1), floatBelow(b.y1), floatAbove(b.x2), floatAbove(b.y2), position};
    return true;
}

uint32_t DrawingModel::cellOf(const Slot &s) const
{
    const double cx = (double(s.x1) + s.x2) / 2, cy = (double(s.y1) + s.y2) / 2;
    const double w = double(s.x2) - s.x1, h = double(s.y2) - s.y1;
    // Negated, so that an extent rounded to infinities lies beyond.
    if (!(cx >= gridBox.x1 && cx < gridBox.x2 && cy >= gridBox.y1 && cy < gridBox.y2))
        return NoSlot;
    for (const Level &level : levels) {
        if (!(w <= level.cellWidth && h <= level.cellHeight))
            continue;
        const int ix = std::min(level.columns - 1, int((cx - gridBox.x1) / level.cellWidth));
        const int iy = std::min(level.rows - 1, int((cy - gridBox.y1) / level.cellHeight));
        return uint32_t(level.firstCell + size_t(iy) * level.columns + ix);
    }
    return NoSlot;
}

void DrawingModel::buildIndex() const
{
    levels.clear();
    wide.clear();
    placed.clear();
    added.clear();
    addedNext.clear();
    addedHead.clear();
    indexValid = true;
    indexedCount = items.size();
    // Every extent worked out once, the cells then sorted in place: no room besides the
    // placed themselves.
    placed.reserve(items.size());
    double x1 = 0, y1 = 0, x2 = 0, y2 = 0;
    for (uint32_t i = 0; i < items.size(); ++i) {
        Slot s;
        if (!slotOf(i, s))
            continue;
        if (placed.empty())
            x1 = s.x1, y1 = s.y1, x2 = s.x2, y2 = s.y2;
        x1 = std::min<double>(x1, s.x1), y1 = std::min<double>(y1, s.y1);
        x2 = std::max<double>(x2, s.x2), y2 = std::max<double>(y2, s.y2);
        placed.push_back(s);
    }
    PaperBox all{x1, y1, x2, y2};
    if (placed.empty())
        all = {-1, -1, 1, 1};
    // Entities far apart at the ends of the range: the grid covers what a double can span,
    // the others are looked at every time.
    constexpr double Reach = 1e300;
    all = {std::clamp(all.x1, -Reach, Reach), std::clamp(all.y1, -Reach, Reach),
           std::clamp(all.x2, -Reach, Reach), std::clamp(all.y2, -Reach, Reach)};
    // Room around the lines of today for those drawn next to them.
    const double w = std::max(all.x2 - all.x1, 1.0), h = std::max(all.y2 - all.y1, 1.0);
    gridBox = {all.x1 - w / 8, all.y1 - h / 8, all.x1 + w * 9 / 8, all.y1 + h * 9 / 8};
    const double gw = gridBox.x2 - gridBox.x1, gh = gridBox.y2 - gridBox.y1;
    const double target = double(std::clamp<size_t>(items.size() / 8, 1, MostCells));
    int columns = std::max(1, int(std::sqrt(target * gw / gh)));
    int rows = std::max(1, int(target / columns));
    double cw = gw / columns, ch = gh / rows;
    size_t cells = 0;
    for (;;) {
        levels.push_back({columns, rows, cw, ch, cells});
        cells += size_t(columns) * size_t(rows);
        if (columns == 1 && rows == 1)
            break;
        columns = (columns + 1) / 2;
        rows = (rows + 1) / 2;
        cw *= 2;
        ch *= 2;
    }
    // One bucket a cell and a last one for those beyond the grid.
    auto bucket = [&](const Slot &s) {
        const uint32_t c = cellOf(s);
        return c == NoSlot ? uint32_t(cells) : c;
    };
    cellStart.assign(cells + 2, 0);
    for (const Slot &s : placed)
        ++cellStart[bucket(s) + 1];
    for (size_t c = 0; c <= cells; ++c)
        cellStart[c + 1] += cellStart[c];
    std::vector<uint32_t> next(cellStart.begin(), cellStart.end() - 1);
    for (uint32_t b = 0; b <= cells; ++b) {
        while (next[b] < cellStart[b + 1]) {
            Slot s = placed[next[b]];
            uint32_t c = bucket(s);
            while (c != b) {
                std::swap(s, placed[next[c]++]);
                c = bucket(s);
            }
            placed[next[b]++] = s;
        }
    }
    for (size_t k = cellStart[cells]; k < placed.size(); ++k)
        wide.push_back(placed[k].position);
    placed.resize(cellStart[cells]);
    cellStart.pop_back();
}

void DrawingModel::addToIndex(uint32_t position) const
{
    Slot s;
    if (!slotOf(position, s))
        return;
    const uint32_t c = cellOf(s);
    if (c == NoSlot) {
        wide.push_back(position);
        return;
    }
    if (addedHead.empty())
        addedHead.assign(cellStart.size() - 1, NoSlot);
    added.push_back(s);
    addedNext.push_back(addedHead[c]);
    addedHead[c] = uint32_t(added.size() - 1);
}

bool DrawingModel::PrepareIndex() const
{
    if (!indexCurrent())
        buildIndex();
    return indexCurrent();
}

bool DrawingModel::indexCurrent() const
{
    // Entities drawn since the grid was built beyond its extent are looked at every time;
    // when they grow many, or the drawing has doubled, the grid is built again.
    return indexValid && wide.size() <= 4096 + items.size() / 16
           && items.size() <= 2 * indexedCount + 1024;
}

void DrawingModel::EntitiesIn(const PaperBox &box, std::vector<uint32_t> &out,
                             std::vector<PaperBox> *bounds) const
{
    out.clear();
    if (bounds)
        bounds->clear();
    if (!finite(box.x1, box.y1, box.x2, box.y2))
        return;
    if (!indexCurrent())
        buildIndex();
    // A box over much of the grid, with bounds, is served faster by one pass in order than
    // by sorting. Without, one over more than a sliver of it has its slots marked by
    // position and read out in order, the states looked at in order too rather than slot by
    // slot all over the entities.
    const double seenWidth = std::min(box.x2, gridBox.x2) - std::max(box.x1, gridBox.x1);
    const double seenHeight = std::min(box.y2, gridBox.y2) - std::max(box.y1, gridBox.y1);
    const double seen = seenWidth > 0 && seenHeight > 0 ? seenWidth * seenHeight : 0;
    const double gridArea = (gridBox.x2 - gridBox.x1) * (gridBox.y2 - gridBox.y1);
    const bool inOrder = bounds && seen > 0 && seen * 4 >= gridArea;
    const bool marking = !bounds && seen > 0 && seen * 256 >= gridArea;
    std::vector<uint64_t> marked(marking ? (items.size() + 63) / 64 : 0);
    const auto mark = [&](uint32_t i) { marked[i / 64] |= uint64_t(1) << (i % 64); };
    // With bounds, the slots themselves are held, to be sorted with their positions.
    std::vector<Slot> held;
    const auto keep = [&](const Slot &s) {
        if (bounds)
            held.push_back(s);
        else if (marking)
            mark(s.position);
        else
            out.push_back(s.position);
    };
    auto take = [&](uint32_t i) {
        const Entity &e = items[i];
        PaperBox b;
        if (e.entity.state == 1 && Extent(e, b) && meets(b, box))
            keep({floatBelow(b.x1), floatBelow(b.y1), floatAbove(b.x2), floatAbove(b.y2), i});
    };
    const auto give = [&] {
        if (!bounds)
            return;
        out.reserve(held.size());
        bounds->reserve(held.size());
        for (const Slot &s : held) {
            out.push_back(s.position);
            bounds->push_back({s.x1, s.y1, s.x2, s.y2});
        }
    };
    if (inOrder) {
        // Most are taken: room for all at once rather than grown by copies.
        held.reserve(items.size());
        for (uint32_t i = 0; i < items.size(); ++i)
            take(i);
        give();
        return;
    }
    // An extent lies less than a float's step inside its slot: a slot that meets the box by
    // more than that (a float lies between its edge and the box's far one) is taken without
    // working the extent out again.
    const float right = floatBelow(box.x2), left = floatAbove(box.x1);
    const float top = floatBelow(box.y2), bottom = floatAbove(box.y1);
    auto look = [&](const Slot &s) {
        if (!(s.x1 <= box.x2 && box.x1 <= s.x2 && s.y1 <= box.y2 && box.y1 <= s.y2))
            return;
        if (s.x1 < right && left < s.x2 && s.y1 < top && bottom < s.y2) {
            if (marking)
                mark(s.position);
            else if (items[s.position].entity.state == 1)
                keep(s);
        } else {
            take(s.position);
        }
    };
    for (uint32_t i : wide)
        take(i);
    for (const Level &level : levels) {
        auto range = [](double from, double to, double origin, double size, int count,
                        int &first, int &last) {
            const double a = std::floor((from - origin) / size - 1.5);
            const double b = std::floor((to - origin) / size + 0.5);
            first = int(std::clamp(a, 0.0, double(count - 1)));
            last = int(std::clamp(b, -1.0, double(count - 1)));
            return b >= 0 && a <= count - 1;
        };
        int c0, c1, r0, r1;
        if (!range(box.x1, box.x2, gridBox.x1, level.cellWidth, level.columns, c0, c1)
            || !range(box.y1, box.y2, gridBox.y1, level.cellHeight, level.rows, r0, r1))
            continue;
        for (int r = r0; r <= r1; ++r) {
            for (int c = c0; c <= c1; ++c) {
                const size_t cell = level.firstCell + size_t(r) * level.columns + c;
                for (uint32_t k = cellStart[cell]; k < cellStart[cell + 1]; ++k)
                    look(placed[k]);
                if (!addedHead.empty()) {
                    for (uint32_t k = addedHead[cell]; k != NoSlot; k = addedNext[k])
                        look(added[k]);
                }
            }
        }
    }
    if (marking) {
        size_t count = 0;
        for (uint64_t word : marked)
            count += size_t(std::popcount(word));
        out.reserve(count);
        for (size_t w = 0; w < marked.size(); ++w) {
            for (uint64_t word = marked[w]; word != 0; word &= word - 1) {
                const uint32_t i = uint32_t(w * 64 + size_t(std::countr_zero(word)));
                if (items[i].entity.state == 1)
                    out.push_back(i);
            }
        }
        return;
    }
    // Each entity lives in one cell only, so sorting is all that is left.
    std::sort(out.begin(), out.end());
    std::sort(held.begin(), held.end(),
              [](const Slot &a, const Slot &b) { return a.position < b.position; });
    give();
}

size_t DrawingModel::MemoryBytes() const
{
    return items.capacity() * sizeof(Entity) + texts.MemoryBytes()
           + (placed.capacity() + added.capacity()) * sizeof(Slot)
           + (wide.capacity() + cellStart.capacity() + addedHead.capacity()
              + addedNext.capacity())
                 * sizeof(uint32_t);
}
