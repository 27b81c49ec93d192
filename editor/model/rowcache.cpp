#include "editor/model/rowcache.h"

#include "editor/model/drawingmodel.h"

#include <QFile>
#include <QSaveFile>

#include <cstring>

namespace {

constexpr char Magic[8] = {'H', 'R', 'K', 'R', 'O', 'W', 'S', '1'};
constexpr uint32_t Endian = 0x01020304;
// Far beyond any real drawing; a count past it is a damaged file, not a big one.
constexpr uint64_t MostRecords = 50'000'000;
constexpr int MostString = 4096;
// The entity row, the geometry row's number, the look and the kind of shape.
constexpr size_t SmallestRecord = 29;

// A word-wise mix, fast enough to check tens of megabytes on every open.
uint64_t checksum(const char *p, size_t n)
{
    uint64_t h = 0x9E3779B97F4A7C15ull ^ n;
    size_t i = 0;
    for (; i + 8 <= n; i += 8) {
        uint64_t w;
        std::memcpy(&w, p + i, 8);
        h = (h ^ w) * 0x100000001B3ull;
        h ^= h >> 29;
    }
    for (; i < n; ++i)
        h = (h ^ uint8_t(p[i])) * 0x100000001B3ull;
    return h ^ (h >> 32);
}

class Out
{
public:
    template<typename T> void put(T v) { bytes.append(reinterpret_cast<const char *>(&v), sizeof v); }
    void put(const QByteArray &b)
    {
        put(uint32_t(b.size()));
        bytes.append(b);
    }
    void put(const QString &s) { put(s.toUtf8()); }
    QByteArray bytes;
};

class In
{
public:
    In(const char *p, size_t n) : p(p), end(p + n) {}
    template<typename T> bool get(T &v)
    {
        if (size_t(end - p) < sizeof v)
            return false;
        std::memcpy(&v, p, sizeof v);
        p += sizeof v;
        return true;
    }
    bool get(QByteArray &b, int most)
    {
        uint32_t n = 0;
        if (!get(n) || n > uint32_t(most) || size_t(end - p) < n)
            return false;
        b = QByteArray(p, int(n));
        p += n;
        return true;
    }
    bool get(QString &s)
    {
        QByteArray b;
        if (!get(b, MostString))
            return false;
        s = QString::fromUtf8(b);
        return true;
    }
    bool done() const { return p == end; }

private:
    const char *p;
    const char *end;
};

void putRecord(Out &o, const EntityRecord &e)
{
    o.put(e.entity.n), o.put(e.entity.member), o.put(e.entity.state), o.put(e.entity.type);
    o.put(e.entity.target), o.put(e.row);
    o.put(e.look.layer), o.put(e.look.colour), o.put(e.look.lineType), o.put(e.look.width);
    o.put(uint8_t(e.shape.index()));
    if (const auto *l = std::get_if<LineShape>(&e.shape)) {
        o.put(l->x1), o.put(l->y1), o.put(l->x2), o.put(l->y2);
    } else if (const auto *c = std::get_if<CircleShape>(&e.shape)) {
        o.put(c->cx), o.put(c->cy), o.put(c->r);
    } else if (const auto *a = std::get_if<ArcShape>(&e.shape)) {
        o.put(a->cx), o.put(a->cy), o.put(a->r), o.put(a->sa), o.put(a->ea);
    } else if (const auto *t = std::get_if<TextShape>(&e.shape)) {
        o.put(t->px), o.put(t->py), o.put(t->height), o.put(t->width), o.put(t->spacing);
        o.put(t->angle), o.put(t->style), o.put(t->anchor), o.put(t->vertical);
        o.put(t->font), o.put(t->text);
    }
}

bool getRecord(In &in, EntityRecord &e)
{
    uint8_t kind = 0;
    if (!(in.get(e.entity.n) && in.get(e.entity.member) && in.get(e.entity.state)
          && in.get(e.entity.type) && in.get(e.entity.target) && in.get(e.row)
          && in.get(e.look.layer) && in.get(e.look.colour) && in.get(e.look.lineType)
          && in.get(e.look.width) && in.get(kind)))
        return false;
    switch (kind) {
    case 0:
        e.shape = std::monostate{};
        return true;
    case 1: {
        e.shape = LineShape{};
        auto &s = std::get<LineShape>(e.shape);
        return in.get(s.x1) && in.get(s.y1) && in.get(s.x2) && in.get(s.y2);
    }
    case 2: {
        e.shape = CircleShape{};
        auto &s = std::get<CircleShape>(e.shape);
        return in.get(s.cx) && in.get(s.cy) && in.get(s.r);
    }
    case 3: {
        e.shape = ArcShape{};
        auto &s = std::get<ArcShape>(e.shape);
        return in.get(s.cx) && in.get(s.cy) && in.get(s.r) && in.get(s.sa) && in.get(s.ea);
    }
    case 4: {
        e.shape = TextShape{};
        auto &s = std::get<TextShape>(e.shape);
        return in.get(s.px) && in.get(s.py) && in.get(s.height) && in.get(s.width)
               && in.get(s.spacing) && in.get(s.angle) && in.get(s.style) && in.get(s.anchor)
               && in.get(s.vertical) && in.get(s.font) && in.get(s.text);
    }
    default:
        return false;
    }
}

// Bitwise, so that a NaN a row holds compares equal to itself.
template<typename T> bool same(const T &a, const T &b)
{
    return std::memcmp(&a, &b, sizeof a) == 0;
}

} // namespace

bool WriteRowCache(const QString &path, const RowCacheMarks &marks, const DrawingModel &model)
{
    Out o;
    o.bytes.reserve(int(std::min<size_t>(model.Count() * 72 + 256, 1u << 30)));
    o.bytes.append(Magic, sizeof Magic);
    o.put(Endian);
    o.put(marks.identity);
    o.put(marks.operation), o.put(marks.highestHistory);
    o.put(uint64_t(model.Count()));
    for (size_t i = 0; i < model.Count(); ++i)
        putRecord(o, model.Record(model.At(i)));
    o.put(checksum(o.bytes.constData(), size_t(o.bytes.size())));
    QSaveFile f(path);
    // A drawing is the team's, not everyone's on this PC.
    return f.open(QIODevice::WriteOnly)
           && f.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner)
           && f.write(o.bytes) == o.bytes.size() && f.commit();
}

bool ReadRowCache(const QString &path, const std::function<bool(const RowCacheMarks &)> &accept,
                  const std::function<void(const EntityRecord &)> &each)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly) || f.size() < qint64(sizeof Magic + 8)
        || uint64_t(f.size()) > MostRecords * 256)
        return false;
    // Mapped, the system's own copy of the file is read without another; a copy written
    // meanwhile replaces the file rather than writing into it.
    QByteArray copy;
    const char *all = reinterpret_cast<const char *>(f.map(0, f.size()));
    const size_t size = size_t(f.size());
    if (!all) {
        copy = f.readAll();
        if (copy.size() != f.size())
            return false;
        all = copy.constData();
    }
    const size_t body = size - 8;
    uint64_t sum = 0;
    std::memcpy(&sum, all + body, 8);
    if (std::memcmp(all, Magic, sizeof Magic) != 0 || checksum(all, body) != sum)
        return false;
    In in(all + sizeof Magic, body - sizeof Magic);
    uint32_t endian = 0;
    RowCacheMarks m;
    if (!in.get(endian) || endian != Endian || !in.get(m.identity, MostString)
        || !in.get(m.operation) || !in.get(m.highestHistory) || !in.get(m.count)
        || m.count > MostRecords || m.count > size / SmallestRecord || !accept(m))
        return false;
    int32_t last = INT32_MIN;
    for (uint64_t i = 0; i < m.count; ++i) {
        EntityRecord e;
        // Ascending numbers, as the model keeps them.
        if (!getRecord(in, e) || e.entity.n <= last)
            return false;
        last = e.entity.n;
        each(e);
    }
    return in.done();
}

bool SameRecord(const EntityRecord &a, const EntityRecord &b)
{
    if (!same(a.entity.n, b.entity.n) || a.entity.member != b.entity.member
        || a.entity.state != b.entity.state || a.entity.type != b.entity.type
        || a.entity.target != b.entity.target || a.row != b.row || !same(a.look, b.look)
        || a.shape.index() != b.shape.index())
        return false;
    if (const auto *t = std::get_if<TextShape>(&a.shape)) {
        const auto &u = std::get<TextShape>(b.shape);
        return same(t->px, u.px) && same(t->py, u.py) && same(t->height, u.height)
               && same(t->width, u.width) && same(t->spacing, u.spacing)
               && same(t->angle, u.angle) && t->style == u.style && t->anchor == u.anchor
               && t->vertical == u.vertical && t->font == u.font && t->text == u.text;
    }
    return std::visit(
        [&](const auto &s) {
            using S = std::decay_t<decltype(s)>;
            if constexpr (std::is_same_v<S, TextShape>)
                return false;
            else
                return same(s, std::get<S>(b.shape));
        },
        a.shape);
}
