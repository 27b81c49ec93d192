#include "editor/output/dxfwriter.h"

#include "editor/output/paperdrawing.h"

#include <QStringEncoder>

#include <charconv>
#include <cmath>

namespace {

// The 255 indexed colours as red, green, blue.
struct Rgb
{
    int r = 0, g = 0, b = 0;
};

Rgb indexedRgb(int i)
{
    static const Rgb first[10] = {{0, 0, 0},     {255, 0, 0},   {255, 255, 0}, {0, 255, 0},
                                  {0, 255, 255}, {0, 0, 255},   {255, 0, 255}, {255, 255, 255},
                                  {128, 128, 128}, {192, 192, 192}};
    static const int greys[6] = {51, 91, 132, 173, 214, 255};
    if (i < 10)
        return first[i];
    if (i >= 250)
        return {greys[i - 250], greys[i - 250], greys[i - 250]};
    // Twenty-four hues 15 degrees apart, each in five values, full and half saturation.
    static const double values[5] = {1.0, 0.65, 0.5, 0.3, 0.15};
    const int hue = (i - 10) / 10, k = (i - 10) % 10;
    const double v = 255 * values[k / 2], s = k % 2 ? 0.5 : 1.0;
    const double h = hue * 15 / 60.0;
    const int sector = int(h);
    const double f = h - sector;
    const double p = v * (1 - s), q = v * (1 - s * f), t = v * (1 - s * (1 - f));
    double r = v, g = t, b = p;
    switch (sector) {
    case 0: r = v; g = t; b = p; break;
    case 1: r = q; g = v; b = p; break;
    case 2: r = p; g = v; b = t; break;
    case 3: r = p; g = q; b = v; break;
    case 4: r = t; g = p; b = v; break;
    default: r = v; g = p; b = q; break;
    }
    return {int(r), int(g), int(b)};
}

// Characters a name in a DXF table may not hold, and control characters that would break
// the file's line structure, become "_".
QString cleanName(const QString &name, const QString &fallback)
{
    QString s = name.trimmed();
    for (QChar &c : s) {
        if (c.unicode() < 0x20 || c.unicode() == 0x7F || QStringLiteral("<>/\\\":;?*|=,`").contains(c))
            c = u'_';
    }
    return s.isEmpty() ? fallback : s;
}

// Names unique regardless of case, the later of two equal ones numbered.
QString uniqueName(QString name, int number, std::vector<QString> &taken)
{
    auto used = [&](const QString &n) {
        for (const QString &t : taken) {
            if (t.compare(n, Qt::CaseInsensitive) == 0)
                return true;
        }
        return false;
    };
    if (used(name))
        name += u'_' + QString::number(number);
    for (int i = 2; used(name); ++i)
        name += u'_' + QString::number(i);
    taken.push_back(name);
    return name;
}

void group(QByteArray &out, int code, const QByteArray &value)
{
    char buf[8];
    const int n = std::snprintf(buf, sizeof buf, "%3d\r\n", code);
    out.append(buf, n);
    out.append(value);
    out.append("\r\n", 2);
}

void group(QByteArray &out, int code, const char *value)
{
    group(out, code, QByteArray(value));
}

void group(QByteArray &out, int code, int value)
{
    group(out, code, QByteArray::number(value));
}

// The shortest text that reads back as the same double.
void group(QByteArray &out, int code, double value)
{
    char buf[32];
    if (value == 0)
        value = 0; // no "-0"
    const auto r = std::to_chars(buf, buf + sizeof buf, value);
    group(out, code, QByteArray(buf, int(r.ptr - buf)));
}

void point(QByteArray &out, int code, double x, double y)
{
    group(out, code, x);
    group(out, code + 10, y);
    group(out, code + 20, 0.0);
}

} // namespace

DxfWriter::DxfWriter(const PaperDrawing &d) : drawing(d)
{
    std::vector<QString> taken{QStringLiteral("CONTINUOUS"), QStringLiteral("BYLAYER"),
                               QStringLiteral("BYBLOCK")};
    for (const PaperLineType &t : d.types) {
        if (t.pattern.count == 0) {
            typeNames.push_back(QStringLiteral("CONTINUOUS"));
            continue;
        }
        const QString fallback = QStringLiteral("LTYPE_%1").arg(t.n);
        typeNames.push_back(uniqueName(cleanName(t.name, fallback), t.n, taken));
    }
    taken.clear();
    for (const PaperLayer &l : d.layers) {
        const QString fallback = QStringLiteral("LAYER_%1").arg(l.n);
        layerNames.push_back(uniqueName(cleanName(l.name, fallback), l.n, taken));
    }
    for (const QString &n : typeNames)
        typeBytes.push_back(Encode(n));
    for (const QString &n : layerNames)
        layerBytes.push_back(Encode(n));
}

int32_t DxfWriter::IndexedColour(int index)
{
    const Rgb c = indexedRgb(index);
    return c.r + 256 * c.g + 65536 * c.b;
}

int DxfWriter::NearestIndexedColour(int32_t colour)
{
    const int r = colour & 0xFF, g = (colour >> 8) & 0xFF, b = (colour >> 16) & 0xFF;
    if ((r == 0 && g == 0 && b == 0) || (r == 255 && g == 255 && b == 255))
        return 7;
    int best = 1;
    long bestDistance = -1;
    for (int i = 1; i <= 255; ++i) {
        if (i == 7)
            continue;
        const Rgb c = indexedRgb(i);
        const long d = long(c.r - r) * (c.r - r) + long(c.g - g) * (c.g - g)
                       + long(c.b - b) * (c.b - b);
        if (bestDistance < 0 || d < bestDistance) {
            best = i;
            bestDistance = d;
        }
    }
    return best;
}

QByteArray DxfWriter::Encode(const QString &text)
{
    QStringEncoder cp932("windows-31j");
    QByteArray out;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text.at(i).unicode();
        if (c < 0x80) {
            out.append(char(c));
            continue;
        }
        const QByteArray b = cp932.isValid() ? QByteArray(cp932.encode(text.mid(i, 1)))
                                             : QByteArray();
        if (cp932.isValid() && !cp932.hasError() && !b.isEmpty() && b != "?") {
            out.append(b);
            continue;
        }
        cp932 = QStringEncoder("windows-31j");
        char buf[16];
        std::snprintf(buf, sizeof buf, "\\U+%04X", unsigned(c));
        out.append(buf);
    }
    return out;
}

QByteArray DxfWriter::Head() const
{
    QByteArray out;
    const double hw = drawing.width / 2, hh = drawing.height / 2;
    group(out, 0, "SECTION");
    group(out, 2, "HEADER");
    group(out, 9, "$ACADVER");
    group(out, 1, "AC1009");
    group(out, 9, "$DWGCODEPAGE");
    group(out, 3, "ANSI_932");
    group(out, 9, "$INSBASE");
    point(out, 10, 0, 0);
    group(out, 9, "$EXTMIN");
    point(out, 10, -hw, -hh);
    group(out, 9, "$EXTMAX");
    point(out, 10, hw, hh);
    group(out, 9, "$LIMMIN");
    group(out, 10, -hw);
    group(out, 20, -hh);
    group(out, 9, "$LIMMAX");
    group(out, 10, hw);
    group(out, 20, hh);
    group(out, 0, "ENDSEC");

    group(out, 0, "SECTION");
    group(out, 2, "TABLES");
    group(out, 0, "TABLE");
    group(out, 2, "LTYPE");
    int patterned = 0;
    for (const PaperLineType &t : drawing.types)
        patterned += t.pattern.count > 0;
    group(out, 70, patterned + 1);
    group(out, 0, "LTYPE");
    group(out, 2, "CONTINUOUS");
    group(out, 70, 0);
    group(out, 3, "Solid line");
    group(out, 72, 65);
    group(out, 73, 0);
    group(out, 40, 0.0);
    for (size_t i = 0; i < drawing.types.size(); ++i) {
        const LinePen &p = drawing.types[i].pattern;
        if (p.count == 0)
            continue;
        group(out, 0, "LTYPE");
        group(out, 2, typeBytes[i]);
        group(out, 70, 0);
        group(out, 3, "");
        group(out, 72, 65);
        group(out, 73, p.count);
        double total = 0;
        for (int k = 0; k < p.count; ++k)
            total += std::fabs(p.pitches[k]);
        group(out, 40, total);
        // Dashes positive, gaps negative, a dot 0.
        for (int k = 0; k < p.count; ++k) {
            const double v = std::fabs(p.pitches[k]);
            group(out, 49, k % 2 ? -v : (v < 1e-8 ? 0.0 : v));
        }
    }
    group(out, 0, "ENDTAB");

    group(out, 0, "TABLE");
    group(out, 2, "LAYER");
    bool zeroListed = false;
    for (const QString &n : layerNames)
        zeroListed = zeroListed || n == QLatin1String("0");
    group(out, 70, int(drawing.layers.size()) + (zeroListed ? 0 : 1));
    if (!zeroListed) {
        group(out, 0, "LAYER");
        group(out, 2, "0");
        group(out, 70, 0);
        group(out, 62, 7);
        group(out, 6, "CONTINUOUS");
    }
    for (size_t i = 0; i < drawing.layers.size(); ++i) {
        const PaperLayer &l = drawing.layers[i];
        group(out, 0, "LAYER");
        group(out, 2, layerBytes[i]);
        group(out, 70, 0);
        group(out, 62, NearestIndexedColour(l.colour));
        group(out, 6, l.type >= 0 ? typeBytes[size_t(l.type)] : QByteArray("CONTINUOUS"));
    }
    group(out, 0, "ENDTAB");
    group(out, 0, "ENDSEC");

    group(out, 0, "SECTION");
    group(out, 2, "ENTITIES");
    return out;
}

void DxfWriter::Lines(size_t from, size_t to, QByteArray &out) const
{
    for (size_t i = from; i < to && i < drawing.lines.size(); ++i) {
        const SheetLine &l = drawing.lines[i];
        const TextShape *text = std::get_if<TextShape>(&l.shape);
        const CircleShape *circle = std::get_if<CircleShape>(&l.shape);
        CircleShape circleOfArc;
        const ArcShape *arc = std::get_if<ArcShape>(&l.shape);
        // Equal ends are a full turn on screen and paper; readers take an ARC of them for
        // nothing.
        if (arc && std::fmod(arc->ea - arc->sa, 360.0) == 0) {
            circleOfArc = CircleShape{arc->cx, arc->cy, arc->r};
            circle = &circleOfArc;
            arc = nullptr;
        }
        group(out, 0, text ? "TEXT" : circle ? "CIRCLE" : arc ? "ARC" : "LINE");
        group(out, 8, layerBytes[size_t(l.layer)]);
        if (l.ownType)
            group(out, 6, typeBytes[size_t(l.type)]);
        if (l.ownColour) {
            auto it = indexed.find(l.colour);
            if (it == indexed.end())
                it = indexed.emplace(l.colour, NearestIndexedColour(l.colour)).first;
            group(out, 62, it->second);
        }
        if (circle || arc) {
            point(out, 10, circle ? circle->cx : arc->cx, circle ? circle->cy : arc->cy);
            group(out, 40, circle ? circle->r : arc->r);
            if (arc) {
                group(out, 50, arc->sa);
                group(out, 51, arc->ea);
            }
        } else if (text) {
            TextPlacement(*text, out);
        } else {
            point(out, 10, l.x1, l.y1);
            point(out, 11, l.x2, l.y2);
        }
    }
}

void DxfWriter::TextPlacement(const TextShape &t, QByteArray &out)
{
    // The anchor as the format's alignment: 72 left, centre, right; 73 bottom, middle, top.
    // Lower left is the plain first alignment point; any other goes in both points.
    const int anchor = t.anchor >= 1 && t.anchor <= 9 ? t.anchor : 1;
    const int horizontal = (anchor - 1) % 3, vertical = (anchor - 1) / 3 + 1;
    point(out, 10, t.px, t.py);
    group(out, 40, t.height);
    group(out, 1, Encode(t.text));
    if (t.angle != 0)
        group(out, 50, t.angle);
    if (t.width > 0) {
        // The width factor against the font's own width for the height.
        group(out, 41, t.width / t.height);
    }
    if (anchor != 1) {
        group(out, 72, horizontal);
        point(out, 11, t.px, t.py);
        group(out, 73, vertical);
    }
}

QByteArray DxfWriter::Tail() const
{
    QByteArray out;
    group(out, 0, "ENDSEC");
    group(out, 0, "EOF");
    return out;
}
