#include "editor/output/dxfexport.h"

#include "db/textcodec.h"
#include "editor/output/dxfcolours.h"
#include "editor/output/paperdrawing.h"

#include <QSaveFile>

#include <dxflib/dl_dxf.h>
#include <dxflib/dl_writer_ascii.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <numbers>
#include <optional>
#include <string>
#include <vector>

namespace {

// dxflib lays out the sections, tables and entities; its own file writer flushes the file
// after every number, rounds to sixteen places in a fixed buffer and reports no failed
// write. This one gathers the groups for a save file instead, each number as the shortest
// text that reads back as the same double.
class GroupSink : public DL_WriterA
{
public:
    GroupSink(DL_Codes::version version, unsigned long seed)
        : DL_WriterA("", version), handleSeed(seed)
    {
    }

    QByteArray *out = nullptr;

    void dxfReal(int gc, double value) const override
    {
        char buf[32];
        if (value == 0 || !std::isfinite(value))
            value = 0; // no "-0"; what is not finite never reaches here
        const auto r = std::to_chars(buf, buf + sizeof buf, value);
        put(gc, buf, int(r.ptr - buf));
    }
    void dxfInt(int gc, int value) const override
    {
        char buf[16];
        const auto r = std::to_chars(buf, buf + sizeof buf, value);
        put(gc, buf, int(r.ptr - buf));
    }
    void dxfHex(int gc, int value) const override
    {
        // The library writes a fixed seed that a drawing of many entities outgrows.
        if (seedNext && gc == 5)
            value = int(handleSeed);
        seedNext = false;
        char buf[16];
        const auto r = std::to_chars(buf, buf + sizeof buf, unsigned(value), 16);
        for (char *c = buf; c < r.ptr; ++c)
            *c = char(std::toupper(static_cast<unsigned char>(*c)));
        put(gc, buf, int(r.ptr - buf));
    }
    void dxfString(int gc, const char *value) const override
    {
        seedNext = gc == 9 && std::strcmp(value, "$HANDSEED") == 0;
        put(gc, value, int(std::strlen(value)));
    }
    void dxfString(int gc, const std::string &value) const override
    {
        seedNext = gc == 9 && value == "$HANDSEED";
        put(gc, value.data(), int(value.size()));
    }

private:
    void put(int gc, const char *value, int size) const
    {
        char code[8];
        const int n = std::snprintf(code, sizeof code, "%3d\r\n", gc);
        out->append(code, n);
        out->append(value, size);
        out->append("\r\n", 2);
    }

    unsigned long handleSeed;
    mutable bool seedNext = false;
};

// Characters a name in a DXF table may not hold, and control characters that would break
// the file's line structure, become "_".
QString cleanName(const QString &name, const QString &fallback)
{
    QString s = name.trimmed();
    for (QChar &c : s) {
        if (c.unicode() < 0x20 || c.unicode() == 0x7F
            || QStringLiteral("<>/\\\":;?*|=,`").contains(c))
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

std::string bytes(const QString &text)
{
    return DxfEncode(text).toStdString();
}

// 0x00BBGGRR as the file's 0x00RRGGBB; none for black and white, which the reader shows
// against its background as index 7.
int trueColour(int32_t colour)
{
    const int r = colour & 0xFF, g = (colour >> 8) & 0xFF, b = (colour >> 16) & 0xFF;
    if (DxfNearestIndexedColour(colour) == 7)
        return -1;
    return (r << 16) | (g << 8) | b;
}

bool finite(std::initializer_list<double> values)
{
    for (double v : values) {
        if (!std::isfinite(v))
            return false;
    }
    return true;
}

} // namespace

struct DxfExport::Private
{
    const PaperDrawing &drawing;
    DL_Codes::version version;
    DL_Dxf dxf;
    GroupSink sink;
    std::vector<std::string> layerNames, typeNames;
    std::vector<int> layerWeights;
    bool r2000;

    Private(const PaperDrawing &d, DxfVersion v)
        : drawing(d), version(v == DxfVersion::R12 ? DL_Codes::AC1009 : DL_Codes::AC1015),
          sink(version, 0x1000 + d.lines.size() + d.layers.size() + d.types.size()),
          r2000(v == DxfVersion::R2000)
    {
        // dxflib takes the release only through out(); a name that cannot be opened sets it
        // without touching a file.
        delete dxf.out("", version);
    }

    DL_Attributes attributes(const SheetLine &l, std::string &ownType) const
    {
        DL_Attributes a(layerNames[size_t(l.layer)], 256, -1, -1, "BYLAYER");
        if (l.ownColour) {
            a.setColor(DxfNearestIndexedColour(l.colour));
            a.setColor24(trueColour(l.colour));
        }
        if (l.ownWidth)
            a.setWidth(DxfLineWeight(l.width));
        if (l.ownType) {
            ownType = typeNames[size_t(l.type)];
            a.setLinetype(ownType);
        }
        return a;
    }
};

DxfExport::DxfExport(const PaperDrawing &drawing, DxfVersion version)
    : d(std::make_unique<Private>(drawing, version))
{
    std::vector<QString> taken{QStringLiteral("CONTINUOUS"), QStringLiteral("BYLAYER"),
                               QStringLiteral("BYBLOCK")};
    for (const PaperLineType &t : drawing.types) {
        if (t.pattern.count == 0) {
            d->typeNames.push_back("CONTINUOUS");
            continue;
        }
        const QString fallback = QStringLiteral("LTYPE_%1").arg(t.n);
        d->typeNames.push_back(bytes(uniqueName(cleanName(t.name, fallback), t.n, taken)));
    }
    taken.clear();
    for (const PaperLayer &l : drawing.layers) {
        const QString fallback = QStringLiteral("LAYER_%1").arg(l.n);
        d->layerNames.push_back(bytes(uniqueName(cleanName(l.name, fallback), l.n, taken)));
    }
}

DxfExport::~DxfExport() = default;

QByteArray DxfExport::Head()
{
    QByteArray out;
    d->sink.out = &out;
    const GroupSink &w = d->sink;
    DL_Dxf &dxf = d->dxf;
    const PaperDrawing &drawing = d->drawing;
    const double hw = drawing.width / 2, hh = drawing.height / 2;

    dxf.writeHeader(d->sink);
    w.dxfString(9, "$DWGCODEPAGE");
    w.dxfString(3, "ANSI_932");
    w.dxfString(9, "$INSBASE");
    w.coord(10, 0, 0);
    w.dxfString(9, "$EXTMIN");
    w.coord(10, -hw, -hh);
    w.dxfString(9, "$EXTMAX");
    w.coord(10, hw, hh);
    w.dxfString(9, "$LIMMIN");
    w.dxfReal(10, -hw);
    w.dxfReal(20, -hh);
    w.dxfString(9, "$LIMMAX");
    w.dxfReal(10, hw);
    w.dxfReal(20, hh);
    if (d->r2000) {
        // Millimetres, so that a reader inserting the file scales it right.
        w.dxfString(9, "$INSUNITS");
        w.dxfInt(70, 4);
        w.dxfString(9, "$MEASUREMENT");
        w.dxfInt(70, 1);
        w.dxfString(9, "$LWDISPLAY");
        w.dxfInt(290, 1);
    }
    w.sectionEnd();

    w.sectionTables();
    dxf.writeVPort(d->sink);
    int patterned = 0;
    for (const PaperLineType &t : drawing.types)
        patterned += t.pattern.count > 0;
    w.tableLinetypes(patterned + (d->r2000 ? 3 : 1));
    if (d->r2000) {
        dxf.writeLinetype(d->sink, DL_LinetypeData("BYBLOCK", "", 0, 0, 0.0));
        dxf.writeLinetype(d->sink, DL_LinetypeData("BYLAYER", "", 0, 0, 0.0));
    }
    dxf.writeLinetype(d->sink, DL_LinetypeData("CONTINUOUS", "Solid line", 0, 0, 0.0));
    for (size_t i = 0; i < drawing.types.size(); ++i) {
        const LinePen &p = drawing.types[i].pattern;
        if (p.count == 0)
            continue;
        // Dashes positive, gaps negative, a dot 0.
        double pattern[10];
        double total = 0;
        const int count = std::clamp(p.count, 0, 10);
        for (int k = 0; k < count; ++k) {
            const double v = std::fabs(p.pitches[k]);
            total += v;
            pattern[k] = k % 2 ? -v : (v < 1e-8 ? 0.0 : v);
        }
        dxf.writeLinetype(d->sink,
                          DL_LinetypeData(d->typeNames[i], "", 0, count, total, pattern));
    }
    w.tableEnd();

    bool zeroListed = false;
    for (const std::string &n : d->layerNames)
        zeroListed = zeroListed || n == "0";
    w.tableLayers(int(drawing.layers.size()) + (zeroListed ? 0 : 1));
    if (!zeroListed)
        dxf.writeLayer(d->sink, DL_LayerData("0", 0),
                       DL_Attributes("", 7, -1, DxfLineWeight(25), "CONTINUOUS"));
    for (size_t i = 0; i < drawing.layers.size(); ++i) {
        const PaperLayer &l = drawing.layers[i];
        const std::string &type = l.type >= 0 && size_t(l.type) < d->typeNames.size()
                                      ? d->typeNames[size_t(l.type)]
                                      : std::string("CONTINUOUS");
        // A hidden layer goes out switched off: its colour negative.
        dxf.writeLayer(d->sink, DL_LayerData(d->layerNames[i], 0, !l.shown),
                       DL_Attributes("", DxfNearestIndexedColour(l.colour),
                                     d->r2000 ? trueColour(l.colour) : -1,
                                     DxfLineWeight(l.width), type));
        std::string lower = d->layerNames[i];
        std::transform(lower.begin(), lower.end(), lower.begin(), ::tolower);
        if (d->r2000 && !l.printed && lower != "defpoints")
            w.dxfInt(290, 0); // the library writes none but for DEFPOINTS
    }
    w.tableEnd();

    w.tableStyle(1);
    dxf.writeStyle(d->sink, DL_StyleData("STANDARD", 0, 0.0, 1.0, 0.0, 0, 2.5, "txt", ""));
    w.tableEnd();
    dxf.writeView(d->sink);
    dxf.writeUcs(d->sink);
    w.tableAppid(1);
    dxf.writeAppid(d->sink, "ACAD");
    w.tableEnd();
    dxf.writeDimStyle(d->sink, 2.5, 1.25, 0.625, 0.625, 2.5);
    if (d->r2000) {
        dxf.writeBlockRecord(d->sink);
        w.tableEnd();
    }
    w.sectionEnd();

    w.sectionBlocks();
    if (d->r2000) {
        for (const char *block : {"*Model_Space", "*Paper_Space", "*Paper_Space0"}) {
            dxf.writeBlock(d->sink, DL_BlockData(block, 0, 0.0, 0.0, 0.0));
            dxf.writeEndBlock(d->sink, block);
        }
    }
    w.sectionEnd();
    w.sectionEntities();
    d->sink.out = nullptr;
    return out;
}

void DxfExport::Lines(size_t from, size_t to, QByteArray &out)
{
    d->sink.out = &out;
    DL_Dxf &dxf = d->dxf;
    const std::vector<SheetLine> &lines = d->drawing.lines;
    std::string ownType;
    for (size_t i = from; i < to && i < lines.size(); ++i) {
        const SheetLine &l = lines[i];
        if (l.layer < 0 || size_t(l.layer) >= d->layerNames.size() || l.type < 0
            || size_t(l.type) >= d->typeNames.size())
            continue;
        ownType.clear();
        const DL_Attributes a = d->attributes(l, ownType);
        if (const TextShape *t = std::get_if<TextShape>(&l.shape)) {
            if (!finite({t->px, t->py, t->height, t->width, t->angle}) || t->height <= 0)
                continue;
            // Lower left is the plain insertion point; any other anchor puts the point in
            // both places with the alignment: 72 left, centre, right; 73 bottom, middle,
            // top.
            const int anchor = t->anchor >= 1 && t->anchor <= 9 ? t->anchor : 1;
            const int horizontal = anchor == 1 ? 0 : (anchor - 1) % 3;
            const int vertical = anchor == 1 ? 0 : (anchor - 1) / 3 + 1;
            const double widthFactor = t->width > 0 ? t->width / t->height : 1.0;
            dxf.writeText(d->sink,
                          DL_TextData(t->px, t->py, 0, t->px, t->py, 0, t->height, widthFactor,
                                      0, horizontal, vertical, bytes(t->text), "STANDARD",
                                      t->angle * std::numbers::pi / 180),
                          a);
        } else if (const CircleShape *c = std::get_if<CircleShape>(&l.shape)) {
            if (!finite({c->cx, c->cy, c->r}))
                continue;
            dxf.writeCircle(d->sink, DL_CircleData(c->cx, c->cy, 0, c->r), a);
        } else if (const ArcShape *arc = std::get_if<ArcShape>(&l.shape)) {
            if (!finite({arc->cx, arc->cy, arc->r, arc->sa, arc->ea}))
                continue;
            // Equal ends are a full turn on screen and paper; readers take an ARC of them
            // for nothing.
            if (std::fmod(arc->ea - arc->sa, 360.0) == 0)
                dxf.writeCircle(d->sink, DL_CircleData(arc->cx, arc->cy, 0, arc->r), a);
            else
                dxf.writeArc(d->sink,
                             DL_ArcData(arc->cx, arc->cy, 0, arc->r, arc->sa, arc->ea), a);
        } else {
            if (!finite({l.x1, l.y1, l.x2, l.y2}))
                continue;
            dxf.writeLine(d->sink, DL_LineData(l.x1, l.y1, 0, l.x2, l.y2, 0), a);
        }
        // Release 12 has dxflib write an entity's line type only when it is the layer's.
        if (!d->r2000 && !ownType.empty())
            d->sink.dxfString(6, ownType);
    }
    d->sink.out = nullptr;
}

QByteArray DxfExport::Tail()
{
    QByteArray out;
    d->sink.out = &out;
    d->sink.sectionEnd();
    if (d->r2000) {
        d->dxf.writeObjects(d->sink);
        d->dxf.writeObjectsEnd(d->sink);
    }
    d->sink.dxfEOF();
    d->sink.out = nullptr;
    return out;
}

QString DxfWriteFailure(const QString &path)
{
    return QStringLiteral("DXFファイルを保存出来ませんでした：") + path;
}

bool WriteDxfFile(const PaperDrawing &drawing, const QString &path, DxfVersion version,
                  QString &error)
{
    QSaveFile file(path);
    error.clear();
    auto write = [&](const QByteArray &b) { return file.write(b) == b.size(); };
    bool ok = file.open(QIODevice::WriteOnly);
    if (ok) {
        DxfExport dxf(drawing, version);
        ok = write(dxf.Head());
        QByteArray buffer;
        // In pieces, so that a large drawing never sits in memory as a whole file.
        constexpr size_t Piece = 20000;
        for (size_t from = 0; ok && from < drawing.lines.size(); from += Piece) {
            buffer.clear();
            dxf.Lines(from, from + Piece, buffer);
            ok = write(buffer);
        }
        ok = ok && write(dxf.Tail()) && file.commit();
    }
    if (!ok) {
        file.cancelWriting();
        error = DxfWriteFailure(path);
    }
    return ok;
}

QByteArray DxfEncode(const QString &text)
{
    bool plain = true;
    for (QChar c : text)
        plain = plain && c.unicode() >= 0x20 && c.unicode() != 0x7F;
    if (plain) {
        if (const std::optional<QByteArray> b = ToCp932(text))
            return *b;
    }
    QByteArray out;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text.at(i).unicode();
        if (c >= 0x20 && c < 0x7F) {
            out.append(char(c));
            continue;
        }
        if (c >= 0x80) {
            if (const std::optional<QByteArray> b = ToCp932(QString(QChar(c)));
                b && !b->isEmpty()) {
                out.append(*b);
                continue;
            }
        }
        char buf[16];
        std::snprintf(buf, sizeof buf, "\\U+%04X", unsigned(c));
        out.append(buf);
    }
    return out;
}

int DxfLineWeight(int32_t width)
{
    static const int weights[] = {0,  5,  9,  13, 15, 18,  20,  25,  30,  35,  40,  50,
                                  53, 60, 70, 80, 90, 100, 106, 120, 140, 158, 200, 211};
    int best = 0;
    for (int w : weights) {
        if (std::abs(long(w) - width) < std::abs(long(best) - width))
            best = w;
    }
    return best;
}
