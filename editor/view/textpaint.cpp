#include "editor/view/textpaint.h"

#include "editor/pen/canvas.h"

#include <QFontDatabase>
#include <QFontMetricsF>
#include <QHash>
#include <QPainter>

#include <cmath>

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
    bool SameNumbers(const OutlineKey &o) const
    {
        return flags == o.flags && width == o.width && spacing == o.spacing;
    }
    bool operator==(const OutlineKey &o) const
    {
        return SameNumbers(o) && text == o.text && family == o.family;
    }
};

size_t qHash(const OutlineKey &k, size_t seed = 0)
{
    return qHashMulti(seed, k.family, k.text, k.flags, k.width, k.spacing);
}

// A text shaped at a character height of 1: its outline, and each glyph's character
// with the placement of the font's coordinates.
struct Shaped
{
    QPainterPath outline;
    std::vector<std::pair<char32_t, QTransform>> glyphs;
};

// A glyph's coverage at one size and turn on the screen, keyed by the family, the
// character and the mapping from the font's coordinates onto pixels (in 1/1024).
struct MaskKey
{
    QString family;
    char32_t code = 0;
    qint64 m[4] = {};
    bool operator==(const MaskKey &o) const
    {
        return code == o.code && m[0] == o.m[0] && m[1] == o.m[1] && m[2] == o.m[2]
               && m[3] == o.m[3] && family == o.family;
    }
};

size_t qHash(const MaskKey &k, size_t seed = 0)
{
    return qHashMulti(seed, k.family, uint(k.code), k.m[0], k.m[1], k.m[2], k.m[3]);
}

struct GlyphMask
{
    QImage mask;
    QPoint offset; // of its top left from the glyph's origin
};

// Room for the kept masks, in bytes.
constexpr qsizetype MaskRoom = 32 << 20;

struct TextPicture
{
    QImage image;
    QPointF origin; // the lower left anchor's place in it
};

struct PictureKey
{
    OutlineKey outline;
    int quarters = 0;
    uint32_t colour = 0;
    bool SameNumbers(const PictureKey &o) const
    {
        return quarters == o.quarters && colour == o.colour && outline.SameNumbers(o.outline);
    }
    bool operator==(const PictureKey &o) const
    {
        return SameNumbers(o) && outline == o.outline;
    }
};

size_t qHash(const PictureKey &k, size_t seed = 0)
{
    return qHashMulti(seed, k.outline, k.quarters, k.colour);
}

// Kept outlines and pictures, and the faces they are made from; threads drawing bands
// share them under the renderer's lock.
struct Kept
{
    QHash<QString, QString> families;
    QHash<QString, std::shared_ptr<Face>> faces;
    QHash<OutlineKey, Shaped> outlines;
    QHash<MaskKey, GlyphMask> masks;
    qsizetype maskBytes = 0;
    qsizetype elements = 0;
    QHash<PictureKey, TextPicture> pictures;
    qsizetype pictureBytes = 0;
};

// Room for the kept pictures, in bytes.
constexpr qsizetype PictureRoom = 48 << 20;

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

namespace {

OutlineKey outlineKey(const TextRef &t, const QString &font, const QString &text)
{
    OutlineKey key;
    key.family = TextFamily(font);
    key.text = text;
    const double h = t.height;
    key.width = t.width > 0 && h > 0 ? t.width / h : 0;
    key.spacing = t.spacing > 0 && h > 0 ? t.spacing / h : 0;
    key.flags = (t.vertical ? 16 : 0) | (t.anchor >= 1 && t.anchor <= 9 ? t.anchor : 1);
    return key;
}

} // namespace

namespace {

const Shaped &shapedOf(const OutlineKey &key, const TextRef &t, const QString &text)
{
    Kept &k = kept();
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
    Shaped shaped;
    shaped.outline.setFillRule(Qt::WindingFill);
    for (const PlacedGlyph &p : PlaceGlyphs(layout, face.font)) {
        const QList<uint> codes = p.text.toUcs4();
        if (codes.isEmpty())
            continue;
        shaped.outline.addPath(p.transform.map(face.Glyph(codes[0])));
        shaped.glyphs.emplace_back(char32_t(codes[0]), p.transform);
    }
    k.elements += shaped.outline.elementCount() + qsizetype(shaped.glyphs.size()) * 4;
    return *k.outlines.insert(key, std::move(shaped));
}

const GlyphMask *maskOf(const QString &family, char32_t code, const QTransform &onto)
{
    Kept &k = kept();
    MaskKey key{family, code, {std::llround(onto.m11() * 1024), std::llround(onto.m12() * 1024),
                               std::llround(onto.m21() * 1024), std::llround(onto.m22() * 1024)}};
    auto it = k.masks.find(key);
    if (it != k.masks.end())
        return &*it;
    if (k.maskBytes > MaskRoom)
        return nullptr;
    const QTransform linear(onto.m11(), onto.m12(), onto.m21(), onto.m22(), 0, 0);
    const QPainterPath path = linear.map(faceOf(family).Glyph(code));
    const QRectF bounds = path.boundingRect();
    GlyphMask g;
    g.offset = QPoint(int(std::floor(bounds.left())) - 1, int(std::floor(bounds.top())) - 1);
    const double w = std::ceil(bounds.right()) - g.offset.x() + 1;
    const double h = std::ceil(bounds.bottom()) - g.offset.y() + 1;
    if (!(w * h <= double(1 << 22)))
        return nullptr;
    // A blank glyph (a space) keeps an empty mask, so it is not made again.
    if (!path.isEmpty()) {
        g.mask = QImage(int(w), int(h), QImage::Format_Alpha8);
        if (g.mask.isNull())
            return nullptr;
        g.mask.fill(0);
        QPainter painter(&g.mask);
        painter.setRenderHint(QPainter::Antialiasing, true);
        painter.translate(-g.offset.x(), -g.offset.y());
        painter.fillPath(path, Qt::black);
    }
    k.maskBytes += g.mask.sizeInBytes() + 64;
    return &*k.masks.insert(key, std::move(g));
}

} // namespace

const QPainterPath &TextOutline(const TextRef &t, const QString &font, const QString &text)
{
    return shapedOf(outlineKey(t, font, text), t, text).outline;
}

bool BlendText(Canvas &canvas, const TextRef &t, const QString &font, const QString &text,
               double pixels, const QPointF &at, uint32_t colour)
{
    if (!(pixels > 0) || pixels > MostMaskPixels)
        return false;
    const OutlineKey key = outlineKey(t, font, text);
    // Copied: making a mask may make room by letting shaped texts go.
    const std::vector<std::pair<char32_t, QTransform>> glyphs = shapedOf(key, t, text).glyphs;
    const double a = std::isfinite(t.angle) ? Geometry::Normal(t.angle) * Geometry::Pi / 180 : 0;
    const double c = std::cos(a) * pixels, s = std::sin(a) * pixels;
    const QTransform toPixels(c, -s, -s, -c, at.x(), at.y());
    for (const auto &[code, place] : glyphs) {
        const QTransform onto = place * toPixels;
        // A glyph reaches at most about a cell from its origin.
        if (onto.dx() < -2 * pixels || onto.dx() > canvas.Width() + pixels
            || onto.dy() < -pixels || onto.dy() > canvas.Height() + 2 * pixels)
            continue;
        const GlyphMask *g = maskOf(key.family, code, onto);
        if (!g)
            return false;
        if (g->mask.isNull())
            continue;
        canvas.BlendMask(g->mask, int(std::floor(onto.dx() + 0.5)) + g->offset.x(),
                         int(std::floor(onto.dy() + 0.5)) + g->offset.y(), colour);
    }
    return true;
}

size_t KeptTextOutlines()
{
    return size_t(kept().outlines.size());
}

namespace {

// The picture's key but for its strings, which are the caller's to fill in: a text met
// again has them compared where they are kept rather than copied, and the shared families
// may be looked up only holding the lock.
PictureKey pictureNumbers(const TextRef &t, double pixels, uint32_t colour)
{
    // One picture for every anchor: drawn from the lower left, moved by the box.
    TextRef lowerLeft = t;
    lowerLeft.anchor = 1;
    return {outlineKey(lowerLeft, QString(), QString()), int(std::lround(pixels * 4)),
            colour & 0xFFFFFF};
}

// Where the anchor point lies in a picture from where its lower left does.
QPointF anchorShift(const TextRef &t, const Geometry::TextLayout &box, int quarters)
{
    const double p = quarters / 4.0;
    return QPointF(-box.x / t.height * p, box.y / t.height * p);
}

const TextPicture *pictureOf(const PictureKey &key, const TextRef &t, const QString &font,
                             const QString &text)
{
    Kept &k = kept();
    auto it = k.pictures.find(key);
    if (it != k.pictures.end())
        return &*it;
    if (k.pictureBytes > PictureRoom)
        return nullptr;
    TextRef lowerLeft = t;
    lowerLeft.anchor = 1;
    const double p = key.quarters / 4.0;
    const QPainterPath &outline = TextOutline(lowerLeft, font, text);
    const QRectF bounds = outline.boundingRect();
    const double w = std::ceil(bounds.width() * p) + 2, h = std::ceil(bounds.height() * p) + 2;
    if (!(w * h <= double(1 << 22)) || bounds.isEmpty())
        return nullptr;
    TextPicture picture;
    picture.image = QImage(int(w), int(h), QImage::Format_ARGB32_Premultiplied);
    if (picture.image.isNull())
        return nullptr;
    picture.image.fill(Qt::transparent);
    // Own axes (y up) onto the picture, a pixel of room around for the smoothing.
    const double top = bounds.y() + bounds.height();
    picture.origin = QPointF(-bounds.x() * p + 1, top * p + 1);
    {
        const uint32_t colour = key.colour;
        QPainter painter(&picture.image);
        painter.setRenderHint(QPainter::Antialiasing, true);
        painter.setTransform(QTransform(p, 0, 0, -p, picture.origin.x(), picture.origin.y()));
        painter.fillPath(outline, QColor(colour & 0xFF, (colour >> 8) & 0xFF,
                                         (colour >> 16) & 0xFF));
    }
    k.pictureBytes += picture.image.sizeInBytes();
    return &*k.pictures.insert(key, std::move(picture));
}

} // namespace

struct NearTextPictures::Near
{
    PictureKey key;
    TextPicture picture;
    bool filled = false;
};

NearTextPictures::NearTextPictures(std::mutex &lock, size_t places)
    : lock(lock), places(std::max<size_t>(places, 1))
{
}

NearTextPictures::~NearTextPictures() = default;

const QImage *NearTextPictures::Of(const TextRef &t, const QString &font, const QString &text,
                                   double pixels, uint32_t colour, QPointF &origin,
                                   const Geometry::TextLayout &frame)
{
    if (!(pixels > 0) || pixels > MostPicturePixels)
        return nullptr;
    if (!near)
        near.reset(new Near[places]);
    PictureKey numbers = pictureNumbers(t, pixels, colour);
    // Placed by the string's length and a few of its characters: hashing all of every
    // text's string cost more than the rest of the lookup.
    const OutlineKey &o = numbers.outline;
    const qsizetype size = text.size();
    const QChar *c = text.constData();
    const size_t sample =
        size ? qHashMulti(size, c[0].unicode(), c[size / 2].unicode(), c[size - 1].unicode()) : 0;
    Near &n = near[qHashMulti(sample, o.flags, o.width, o.spacing, numbers.quarters,
                              numbers.colour) % places];
    if (!n.filled || !n.key.SameNumbers(numbers) || n.key.outline.text != text
        || n.key.outline.family != font) {
        PictureKey key = std::move(numbers);
        key.outline.text = text;
        const std::lock_guard<std::mutex> hold(lock);
        key.outline.family = TextFamily(font);
        const TextPicture *shared = pictureOf(key, t, font, text);
        if (!shared)
            return nullptr;
        key.outline.family = font;
        n.key = std::move(key);
        n.picture = *shared;
        n.filled = true;
    }
    origin = n.picture.origin + anchorShift(t, frame, n.key.quarters);
    return &n.picture.image;
}

void BeginTextPictures()
{
    Kept &k = kept();
    if (k.maskBytes > MaskRoom) {
        k.masks.clear();
        k.maskBytes = 0;
    }
    if (k.pictureBytes > PictureRoom) {
        k.pictures.clear();
        k.pictureBytes = 0;
    }
}
