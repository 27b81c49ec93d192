#include "editor/view/textpaint.h"

#include <QFontDatabase>
#include <QFontMetricsF>
#include <QHash>

#include <memory>

namespace {

const QString &defaultFamily()
{
    static const QString family = QStringLiteral("IPAGothic");
    return family;
}

// Texts are shaped this many pixels high and scaled at drawing.
constexpr int ShapingPixels = 100;

QFont shapingFont(const QString &family)
{
    QFont f(family);
    f.setPixelSize(ShapingPixels);
    // Outlines scaled to every size: hinting for one size would bend them at the others.
    f.setHintingPreference(QFont::PreferNoHinting);
    return f;
}

// A family's font, its metrics and the outlines of its characters met so far.
struct Face
{
    explicit Face(const QString &family) : font(shapingFont(family)), metrics(font) {}
    QFont font;
    QFontMetricsF metrics;
    QHash<char32_t, QPainterPath> glyphs;

    const QPainterPath &Glyph(char32_t c)
    {
        auto it = glyphs.find(c);
        if (it == glyphs.end()) {
            QPainterPath path;
            path.addText(QPointF(0, 0), font, QString::fromUcs4(&c, 1));
            it = glyphs.insert(c, path);
        }
        return *it;
    }
};

struct OutlineKey
{
    QString family;
    QString text;
    int flags = 0;
    double width = 0, spacing = 0;
    bool operator==(const OutlineKey &o) const
    {
        return flags == o.flags && width == o.width && spacing == o.spacing
               && text == o.text && family == o.family;
    }
};

size_t qHash(const OutlineKey &k, size_t seed = 0)
{
    return qHashMulti(seed, k.family, k.text, k.flags, k.width, k.spacing);
}

// Kept outlines, and the faces they are made from. The screen is drawn on one thread.
struct Kept
{
    QHash<QString, QString> families;
    QHash<QString, std::shared_ptr<Face>> faces;
    QHash<OutlineKey, QPainterPath> outlines;
    qsizetype elements = 0;
};

Kept &kept()
{
    static Kept k;
    return k;
}

// Beyond this many path elements (some tens of megabytes) the outlines are shaped anew.
constexpr qsizetype MostElements = 2'000'000;

Face &faceOf(const QString &family)
{
    Kept &k = kept();
    auto it = k.faces.find(family);
    if (it == k.faces.end())
        it = k.faces.insert(family, std::make_shared<Face>(family));
    return **it;
}

} // namespace

QString TextFamily(const QString &font)
{
    if (font.isEmpty())
        return defaultFamily();
    QHash<QString, QString> &families = kept().families;
    auto it = families.find(font);
    if (it == families.end())
        it = families.insert(font, QFontDatabase::hasFamily(font) ? font : defaultFamily());
    return *it;
}

QFont ShapingFont(const QString &font)
{
    return shapingFont(TextFamily(font));
}

std::vector<PlacedGlyph> PlaceGlyphs(const Geometry::TextLayout &layout, const QFont &font)
{
    const QFontMetricsF metrics(font);
    // The font's em square fills the cell, as a Japanese font's full-width characters do.
    const double em = font.pixelSize() > 0 ? font.pixelSize() : font.pointSizeF();
    std::vector<PlacedGlyph> out;
    if (!(em > 0))
        return out;
    out.reserve(layout.glyphs.size());
    for (const Geometry::Glyph &g : layout.glyphs) {
        PlacedGlyph p;
        const bool form = layout.vertical && g.form != 0 && metrics.inFontUcs4(g.form);
        const char32_t code = form ? g.form : g.code;
        p.text = QString::fromUcs4(&code, 1);
        const double s = g.height / em;
        // Across, the cell's width over the character's natural one; down the column, the
        // column's width over the height.
        const double natural = g.height * (g.wide ? 1 : 0.5);
        const double fx = layout.vertical ? g.width / g.height : g.width / natural;
        const bool turned = !form && g.turned;
        const double drawn = metrics.horizontalAdvance(p.text) * s * (turned ? 1 : fx);
        // The em square's top at the cell's top.
        const double dy = g.y + g.height - metrics.ascent() * s + (form ? 0 : g.shiftY * g.height);
        double dx;
        if (turned) {
            // Centred in a cell as long as the column is wide, then turned into the column.
            dx = g.x + g.width / 2 - drawn / 2;
        } else {
            dx = g.x + (g.width - drawn) / 2 + (form ? 0 : g.shiftX * g.width);
        }
        p.transform = QTransform(s * (turned ? 1 : fx), 0, 0, -s, dx, dy);
        if (turned) {
            const double cx = g.x + g.width / 2, cy = g.y + g.height / 2;
            p.transform *= QTransform(0, -1, 1, 0, cx - cy, cy + cx);
        }
        out.push_back(std::move(p));
    }
    return out;
}

const QPainterPath &TextOutline(const TextRef &t, const QString &font, const QString &text)
{
    Kept &k = kept();
    OutlineKey key;
    key.family = TextFamily(font);
    key.text = text;
    const double h = t.height;
    key.width = t.width > 0 && h > 0 ? t.width / h : 0;
    key.spacing = t.spacing > 0 && h > 0 ? t.spacing / h : 0;
    key.flags = (t.vertical ? 16 : 0) | (t.anchor >= 1 && t.anchor <= 9 ? t.anchor : 1);
    auto it = k.outlines.find(key);
    if (it != k.outlines.end())
        return *it;
    if (k.elements > MostElements) {
        k.outlines.clear();
        k.elements = 0;
    }
    TextRef unit = t;
    unit.px = unit.py = unit.angle = 0;
    unit.height = 1;
    unit.width = key.width;
    unit.spacing = key.spacing;
    const Geometry::TextLayout layout = Geometry::LayOutText(unit, text);
    Face &face = faceOf(key.family);
    QPainterPath path;
    path.setFillRule(Qt::WindingFill);
    for (const PlacedGlyph &p : PlaceGlyphs(layout, face.font)) {
        const QList<uint> codes = p.text.toUcs4();
        if (!codes.isEmpty())
            path.addPath(p.transform.map(face.Glyph(codes[0])));
    }
    k.elements += path.elementCount();
    return *k.outlines.insert(key, path);
}

size_t KeptTextOutlines()
{
    return size_t(kept().outlines.size());
}
