// One entity of the drawing in memory, whatever its kind: the entity row, the common look
// and the shape. A text's strings live in a pool beside the entities, so that every entity
// takes the same small room.
#pragma once

#include "db/entityrows.h"

#include <QString>

#include <cstdint>
#include <variant>
#include <vector>

// A rectangle in paper millimetres.
struct PaperBox
{
    double x1 = 0, y1 = 0, x2 = 0, y2 = 0;
};

// A text's shape with its strings replaced by their place in the pool.
struct TextRef
{
    double px = 0, py = 0;
    double height = 0, width = 0, spacing = 0, angle = 0;
    int16_t style = 0, anchor = 1, vertical = 0;
    uint32_t strings = 0;
    // Its text's characters (a surrogate pair as one) and the full-width ones among them,
    // counted as the model takes the text, since every picture asks for every text's box;
    // NotCounted where they were not.
    static constexpr uint16_t NotCounted = 0xFFFF;
    uint16_t characters = NotCounted, wide = 0;
};

using ModelShape = std::variant<std::monostate, LineShape, CircleShape, ArcShape, TextRef>;

struct Entity
{
    EntityRow entity;
    int32_t row = 0;
    EntityLook look;
    ModelShape shape;

    bool Live() const { return entity.state == 1; }
};

struct TextStrings
{
    QString font;
    QString text;
};

// The strings of the drawing's texts; an entity replaced or gone leaves its strings here
// until the pool is rebuilt with the drawing.
class TextPool
{
public:
    uint32_t Add(const QString &font, const QString &text);
    const TextStrings &At(uint32_t i) const { return items[i]; }
    size_t Size() const { return items.size(); }
    size_t MemoryBytes() const;
    void Clear() { items.clear(); }

private:
    std::vector<TextStrings> items;
};

// The record as the model keeps it, its strings put into the pool, and back.
Entity ToEntity(const EntityRecord &record, TextPool &pool);
EntityRecord ToRecord(const Entity &entity, const TextPool &pool);
