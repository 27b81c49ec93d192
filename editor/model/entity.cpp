#include "editor/model/entity.h"

#include "editor/model/geometry.h"

uint32_t TextPool::Add(const QString &font, const QString &text)
{
    items.push_back({font, text});
    return uint32_t(items.size() - 1);
}

size_t TextPool::MemoryBytes() const
{
    size_t bytes = items.capacity() * sizeof(TextStrings);
    for (const TextStrings &s : items)
        bytes += size_t(s.font.capacity() + s.text.capacity()) * sizeof(QChar);
    return bytes;
}

Entity ToEntity(const EntityRecord &record, TextPool &pool)
{
    Entity e;
    e.entity = record.entity;
    e.row = record.row;
    e.look = record.look;
    std::visit(
        [&](const auto &s) {
            using S = std::decay_t<decltype(s)>;
            if constexpr (std::is_same_v<S, TextShape>) {
                TextRef t{s.px, s.py, s.height, s.width, s.spacing, s.angle,
                          s.style, s.anchor, s.vertical, pool.Add(s.font, s.text)};
                const Geometry::TextCount count = Geometry::CountText(s.text);
                if (count.characters < TextRef::NotCounted) {
                    t.characters = uint16_t(count.characters);
                    t.wide = uint16_t(count.wide);
                }
                e.shape = t;
            } else {
                e.shape = s;
            }
        },
        record.shape);
    return e;
}

EntityRecord ToRecord(const Entity &entity, const TextPool &pool)
{
    EntityRecord r;
    r.entity = entity.entity;
    r.row = entity.row;
    r.look = entity.look;
    std::visit(
        [&](const auto &s) {
            using S = std::decay_t<decltype(s)>;
            if constexpr (std::is_same_v<S, TextRef>) {
                const TextStrings &t = pool.At(s.strings);
                r.shape = TextShape{s.px, s.py, s.height, s.width, s.spacing, s.angle,
                                    s.style, s.anchor, s.vertical, t.font, t.text};
            } else {
                r.shape = s;
            }
        },
        entity.shape);
    return r;
}
