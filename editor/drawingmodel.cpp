#include "editor/drawingmodel.h"

#include <algorithm>
#include <cmath>

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

bool sameGeometry(const EntityLine &a, const EntityLine &b)
{
    return a.hasLine == b.hasLine && a.entity.type == b.entity.type
           && a.line.layer == b.line.layer && a.line.x1 == b.line.x1 && a.line.y1 == b.line.y1
           && a.line.x2 == b.line.x2 && a.line.y2 == b.line.y2;
}

// Finest cells: about one for every eight lines, at most this many.
constexpr size_t MostCells = 1 << 18;

} // namespace

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

const EntityLine *DrawingModel::Find(int32_t entity) const
{
    auto it = std::lower_bound(items.begin(), items.end(), entity,
                               [](const EntityLine &e, int32_t n) { return e.entity.n < n; });
    return it != items.end() && it->entity.n == entity ? &*it : nullptr;
}

void DrawingModel::Add(const EntityLine &e)
{
    if (items.empty() || e.entity.n > items.back().entity.n) {
        items.push_back(e);
        if (indexValid)
            addToIndex(uint32_t(items.size() - 1));
        return;
    }
    auto it = std::lower_bound(items.begin(), items.end(), e.entity.n,
                               [](const EntityLine &x, int32_t n) { return x.entity.n < n; });
    if (it != items.end() && it->entity.n == e.entity.n) {
        // A change of state keeps the line where the index has it.
        if (!sameGeometry(*it, e))
            indexValid = false;
        *it = e;
        return;
    }
    items.insert(it, e);
    indexValid = false;
}

void DrawingModel::Add(const std::vector<EntityLine> &rows)
{
    for (const EntityLine &e : rows)
        Add(e);
}

void DrawingModel::AddStored(const std::vector<EntityLine> &rows, int64_t op,
                             int64_t firstHistory)
{
    const bool next = !rows.empty() && op == operation + 1 && firstHistory == highestHistory + 1
                      && rows.front().entity.n == HighestEntity() + 1;
    Add(rows);
    if (next) {
        operation = op;
        highestHistory = firstHistory + int64_t(rows.size()) - 1;
    }
}

void DrawingModel::SetStored(const std::vector<int32_t> &entities, int16_t state, int64_t op,
                             int64_t firstHistory)
{
    for (int32_t n : entities) {
        auto it = std::lower_bound(items.begin(), items.end(), n,
                                   [](const EntityLine &e, int32_t v) { return e.entity.n < v; });
        // The line stays where the index has it; picking and drawing look at the state.
        if (it != items.end() && it->entity.n == n)
            it->entity.state = state;
    }
    if (!entities.empty() && op == operation + 1 && firstHistory == highestHistory + 1) {
        operation = op;
        highestHistory = firstHistory + int64_t(entities.size()) - 1;
    }
}

bool DrawingModel::Look(const LineRow &line, LineLook &look) const
{
    if (line.layer < 0 || line.layer > 255)
        return false;
    const LayerRow *layer = Layer(line.layer);
    if (!layer || layer->visible == 0 || !std::isfinite(layer->scale))
        return false;
    look.scale = layer->scale;
    LinePen &pen = look.pen;
    pen = LinePen();
    const ColourRow *colour = Colour(line.colour != 0 ? line.colour : layer->colour);
    pen.colour = colour ? colour->value & 0xFFFFFF : 0;
    pen.width = line.width != 0 ? line.width : layer->width;
    const LineTypeRow *type = LineType(line.lineType != 0 ? line.lineType : layer->lineType);
    if (type && type->count > 0 && type->count <= 10 && type->count % 2 == 0) {
        pen.count = type->count;
        for (int i = 0; i < pen.count; ++i) {
            pen.pitches[i] = type->pitches[i] * 0.01;
            pen.total += pen.pitches[i];
        }
    }
    return true;
}

bool DrawingModel::PaperLine(const EntityLine &e, double &x1, double &y1, double &x2,
                             double &y2) const
{
    if (e.entity.state != 1 || e.entity.type != 1 || !e.hasLine)
        return false;
    // As Look decides whether a line is drawn, without making its pen: picking and framing
    // ask this of every line.
    const LayerRow *layer = e.line.layer >= 0 && e.line.layer <= 255 ? Layer(e.line.layer)
                                                                      : nullptr;
    if (!layer || layer->visible == 0 || !std::isfinite(layer->scale))
        return false;
    const double s = layer->scale;
    x1 = e.line.x1 * s;
    y1 = e.line.y1 * s;
    x2 = e.line.x2 * s;
    y2 = e.line.y2 * s;
    return finite(x1, y1, x2, y2);
}

// The paper extent of a line that could ever be drawn, whatever its state and visibility.
bool DrawingModel::extent(const EntityLine &e, PaperBox &box) const
{
    if (e.entity.type != 1 || !e.hasLine || e.line.layer < 0 || e.line.layer > 255)
        return false;
    const LayerRow *layer = Layer(e.line.layer);
    if (!layer || !std::isfinite(layer->scale))
        return false;
    const double s = layer->scale;
    const double x1 = e.line.x1 * s, y1 = e.line.y1 * s, x2 = e.line.x2 * s, y2 = e.line.y2 * s;
    if (!finite(x1, y1, x2, y2))
        return false;
    box = {std::min(x1, x2), std::min(y1, y2), std::max(x1, x2), std::max(y1, y2)};
    return true;
}

void DrawingModel::buildIndex() const
{
    levels.clear();
    wide.clear();
    indexValid = true;
    indexedCount = items.size();
    bool any = false;
    PaperBox all;
    for (const EntityLine &e : items) {
        PaperBox b;
        if (!extent(e, b))
            continue;
        if (!any) {
            all = b;
            any = true;
        }
        all = {std::min(all.x1, b.x1), std::min(all.y1, b.y1), std::max(all.x2, b.x2),
               std::max(all.y2, b.y2)};
    }
    if (!any)
        all = {-1, -1, 1, 1};
    // Room around the lines of today for those drawn next to them.
    const double w = std::max(all.x2 - all.x1, 1.0), h = std::max(all.y2 - all.y1, 1.0);
    gridBox = {all.x1 - w / 8, all.y1 - h / 8, all.x1 + w * 9 / 8, all.y1 + h * 9 / 8};
    const double gw = gridBox.x2 - gridBox.x1, gh = gridBox.y2 - gridBox.y1;
    const double target = double(std::clamp<size_t>(items.size() / 8, 1, MostCells));
    int columns = std::max(1, int(std::sqrt(target * gw / gh)));
    int rows = std::max(1, int(target / columns));
    double cw = gw / columns, ch = gh / rows;
    for (;;) {
        Level level;
        level.columns = columns;
        level.rows = rows;
        level.cellWidth = cw;
        level.cellHeight = ch;
        level.cells.resize(size_t(columns) * size_t(rows));
        levels.push_back(std::move(level));
        if (columns == 1 && rows == 1)
            break;
        columns = (columns + 1) / 2;
        rows = (rows + 1) / 2;
        cw *= 2;
        ch *= 2;
    }
    for (uint32_t i = 0; i < items.size(); ++i)
        addToIndex(i);
}

void DrawingModel::addToIndex(uint32_t position) const
{
    PaperBox b;
    if (!extent(items[position], b))
        return;
    const double cx = (b.x1 + b.x2) / 2, cy = (b.y1 + b.y2) / 2;
    const double w = b.x2 - b.x1, h = b.y2 - b.y1;
    if (cx < gridBox.x1 || cx >= gridBox.x2 || cy < gridBox.y1 || cy >= gridBox.y2) {
        wide.push_back(position);
        return;
    }
    for (Level &level : levels) {
        if (w > level.cellWidth || h > level.cellHeight)
            continue;
        const int ix = std::min(level.columns - 1, int((cx - gridBox.x1) / level.cellWidth));
        const int iy = std::min(level.rows - 1, int((cy - gridBox.y1) / level.cellHeight));
        level.cells[size_t(iy) * level.columns + ix].push_back(position);
        return;
    }
    wide.push_back(position);
}

void DrawingModel::LinesIn(const PaperBox &box, std::vector<uint32_t> &out) const
{
    out.clear();
    if (!finite(box.x1, box.y1, box.x2, box.y2))
        return;
    // Lines drawn since the grid was built beyond its extent are looked at every time;
    // when they grow many, or the drawing has doubled, the grid is built again.
    if (!indexValid || wide.size() > 4096 + items.size() / 16
        || items.size() > 2 * indexedCount + 1024)
        buildIndex();
    auto take = [&](uint32_t i) {
        const EntityLine &e = items[i];
        PaperBox b;
        if (e.entity.state == 1 && extent(e, b) && meets(b, box))
            out.push_back(i);
    };
    // A box over much of the grid is served faster by one pass in order than by sorting.
    const double seenWidth = std::min(box.x2, gridBox.x2) - std::max(box.x1, gridBox.x1);
    const double seenHeight = std::min(box.y2, gridBox.y2) - std::max(box.y1, gridBox.y1);
    if (seenWidth > 0 && seenHeight > 0
        && seenWidth * seenHeight * 4 >= (gridBox.x2 - gridBox.x1) * (gridBox.y2 - gridBox.y1)) {
        for (uint32_t i = 0; i < items.size(); ++i)
            take(i);
        return;
    }
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
                for (uint32_t i : level.cells[size_t(r) * level.columns + c])
                    take(i);
            }
        }
    }
    // Each line lives in one cell only, so sorting is all that is left.
    std::sort(out.begin(), out.end());
}

bool DrawingModel::BeginLoad(Database &db)
{
    std::vector<LayerRow> l;
    std::vector<ColourRow> c;
    std::vector<LineTypeRow> t;
    int64_t history = 0, op = 0;
    if (!ReadLayers(db, drawing, l) || !ReadColours(db, drawing, c)
        || !ReadLineTypes(db, drawing, t) || !ReadHistoryStart(db, drawing, history, op))
        return false;
    SetLayers(std::move(l));
    SetColours(std::move(c));
    SetLineTypes(std::move(t));
    items.clear();
    indexValid = false;
    highestHistory = history;
    operation = op;
    return true;
}

int DrawingModel::ContinueLoad(Database &db, int limit)
{
    int read = 0;
    const bool ok = ReadEntityLines(db, drawing, HighestEntity(), limit,
                                    [&](const EntityLine &e) {
                                        Add(e);
                                        ++read;
                                    });
    if (!ok)
        return -1;
    if (read < limit)
        items.shrink_to_fit();
    return read;
}

DrawingModel::Refresh DrawingModel::Update(Database &db)
{
    std::vector<LayerRow> l;
    std::vector<ColourRow> c;
    std::vector<LineTypeRow> t;
    DrawingMarks marks;
    if (!ReadLayers(db, drawing, l) || !ReadColours(db, drawing, c)
        || !ReadLineTypes(db, drawing, t)
        || !ReadDrawingMarks(db, drawing, HighestEntity(), highestHistory, marks))
        return Refresh::Failed;
    bool changed = SetLayers(std::move(l));
    changed = SetColours(std::move(c)) || changed;
    changed = SetLineTypes(std::move(t)) || changed;
    auto add = [&](const EntityLine &e) {
        Add(e);
        changed = true;
    };
    if (marks.historyAbove
        && !ReadChangedEntities(db, drawing, highestHistory, highestHistory, add))
        return Refresh::Failed;
    if ((marks.entitiesAbove || marks.operation != operation)
        && !ReadEntityLines(db, drawing, HighestEntity(), 0, add))
        return Refresh::Failed;
    operation = marks.operation;
    return changed ? Refresh::Changed : Refresh::Unchanged;
}

size_t DrawingModel::MemoryBytes() const
{
    size_t bytes = items.capacity() * sizeof(EntityLine) + wide.capacity() * sizeof(uint32_t);
    for (const Level &level : levels) {
        bytes += level.cells.capacity() * sizeof(std::vector<uint32_t>);
        for (const std::vector<uint32_t> &cell : level.cells)
            bytes += cell.capacity() * sizeof(uint32_t);
    }
    return bytes;
}
