// The rows of a drawing's tables as plain values: its layers, colours and line types, and
// each entity's row with the geometry row of its kind, as read and as written. Coordinates and radii in layer
// units, angles in degrees counter-clockwise from +x, text sizes in paper millimetres.
#pragma once

#include <QString>

#include <cstdint>
#include <variant>

struct LayerRow
{
    int32_t n = 0;
    QString name;
    int32_t visible = 0; // 0 hidden
    int32_t printed = 0;
    int32_t colour = 0;
    int32_t lineType = 0;
    int32_t width = 0; // 1/100 mm
    double scale = 1.0; // NULL reads as 1.0
    bool operator==(const LayerRow &) const = default;
};

struct ColourRow
{
    int32_t n = 0;
    QString name;
    int32_t value = 0; // red + 256 green + 65536 blue
    bool operator==(const ColourRow &) const = default;
};

struct LineTypeRow
{
    int32_t n = 0;
    QString name;
    int32_t count = 0; // pitches in use
    int32_t pitches[10] = {}; // 1/100 mm, dash first
    bool operator==(const LineTypeRow &) const = default;
};

// ENTITY_<n>.DT: which geometry table holds the entity's row.
enum EntityKind : int16_t { KindLine = 1, KindCircle = 2, KindArc = 3, KindText = 4 };

struct EntityRow
{
    int32_t n = 0;
    int32_t member = 0;
    int16_t state = 0; // 1 live
    int16_t type = 0; // an EntityKind, or a kind this program does not know
    int32_t target = 0; // N of the row in the kind's table
};

struct LineShape
{
    double x1 = 0, y1 = 0, x2 = 0, y2 = 0;
};

struct CircleShape
{
    double cx = 0, cy = 0, r = 0;
};

// Counter-clockwise from sa to ea.
struct ArcShape
{
    double cx = 0, cy = 0, r = 0;
    double sa = 0, ea = 0;
};

struct TextShape
{
    double px = 0, py = 0; // the anchor point
    double height = 0; // of a character
    double width = 0; // of a character, 0: the font's own for the height
    double spacing = 0; // between characters
    double angle = 0;
    int16_t style = 0;
    int16_t anchor = 1; // 1-9 as on a numeric keypad, 1 lower left
    int16_t vertical = 0; // 1: written top to bottom
    QString font; // empty: the default
    QString text;
};

// Nothing: the entity has no geometry row (missing, or a kind this program does not know).
using Shape = std::variant<std::monostate, LineShape, CircleShape, ArcShape, TextShape>;

// What every kind has besides its shape; 0 means the layer's. Texts have no line type or
// width.
struct EntityLook
{
    int16_t layer = 0;
    int16_t colour = 0;
    int16_t lineType = 0;
    int16_t width = 0;
};

struct EntityRecord
{
    EntityRow entity;
    int32_t row = 0; // N of the geometry row, 0 without one
    EntityLook look;
    Shape shape;
};
