#include "editor/output/dxfimport.h"

#include "editor/output/dxfcolours.h"

#include "db/textcodec.h"
#include "editor/model/geometry.h"
#include "editor/model/transform.h"

#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QHash>

#include <dxflib/dl_creationadapter.h>
#include <dxflib/dl_dxf.h>

#include <iconv.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <fstream>
#include <map>
#include <memory>
#include <numbers>
#include <optional>
#include <sstream>
#include <unordered_map>
#include <variant>

namespace {

constexpr double Pi = std::numbers::pi;

// The reader gives the largest double for a number too large to hold, such as 1e999: a
// value that far past any drawing is taken for one.
bool finite(std::initializer_list<double> values)
{
    for (double v : values) {
        if (!std::isfinite(v) || std::abs(v) > 1e100)
            return false;
    }
    return true;
}

std::string upperAscii(std::string s)
{
    for (char &c : s) {
        if (c >= 'a' && c <= 'z')
            c = char(c - 'a' + 'A');
    }
    return s;
}

// Bytes of one code page as text, through iconv; bytes it cannot read become U+FFFD.
class CodePages
{
public:
    ~CodePages()
    {
        for (auto &[name, cd] : open) {
            if (cd != iconv_t(-1))
                iconv_close(cd);
        }
    }

    QString decode(const char *codeset, const QByteArray &bytes)
    {
        if (!std::strcmp(codeset, "UTF-8"))
            return QString::fromUtf8(bytes);
        if (!std::strcmp(codeset, "CP932"))
            return FromCp932(bytes);
        auto it = open.find(codeset);
        if (it == open.end())
            it = open.emplace(codeset, iconv_open("UTF-8", codeset)).first;
        iconv_t cd = it->second;
        if (cd == iconv_t(-1))
            return QString::fromLatin1(bytes);
        QByteArray out(bytes.size() * 4 + 4, Qt::Uninitialized);
        char *in = const_cast<char *>(bytes.constData());
        size_t inLeft = size_t(bytes.size());
        char *to = out.data();
        size_t toLeft = size_t(out.size());
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
        while (inLeft > 0) {
            if (iconv(cd, &in, &inLeft, &to, &toLeft) != size_t(-1))
                break;
            if (errno == E2BIG || toLeft < 3)
                break;
            // An unreadable byte: U+FFFD, and on with the next.
            std::memcpy(to, "\xEF\xBF\xBD", 3);
            to += 3;
            toLeft -= 3;
            ++in;
            --inLeft;
        }
        out.truncate(int(to - out.data()));
        return QString::fromUtf8(out);
    }

private:
    std::map<std::string, iconv_t> open;
};

// \M+N: the code page of N.
const char *multiByteCodeset(int n)
{
    switch (n) {
    case 1: return "CP932";
    case 2: return "CP950";
    case 3: return "CP949";
    case 4: return "JOHAB";
    case 5: return "CP936";
    default: return nullptr;
    }
}

int hexValue(QChar c)
{
    const char16_t u = c.unicode();
    if (u >= '0' && u <= '9')
        return u - '0';
    if (u >= 'a' && u <= 'f')
        return u - 'a' + 10;
    if (u >= 'A' && u <= 'F')
        return u - 'A' + 10;
    return -1;
}

// The hex number of count digits at from, or -1.
int hexAt(const QString &s, qsizetype from, int count)
{
    if (from + count > s.size())
        return -1;
    int v = 0;
    for (int i = 0; i < count; ++i) {
        const int h = hexValue(s[from + i]);
        if (h < 0)
            return -1;
        v = v * 16 + h;
    }
    return v;
}

CodePages &sharedCodePages()
{
    static CodePages pages;
    return pages;
}

// Replaces a \U+XXXX or \M+NXXXX escape at i (the backslash) and returns its length, or 0.
qsizetype escapeAt(const QString &s, qsizetype i, QString &out)
{
    if (i + 2 >= s.size() || s[i + 2] != u'+')
        return 0;
    const QChar kind = s[i + 1].toUpper();
    if (kind == u'U') {
        const int v = hexAt(s, i + 3, 4);
        if (v < 0)
            return 0;
        out += QChar(char16_t(v));
        return 7;
    }
    if (kind == u'M') {
        const int page = i + 3 < s.size() ? hexValue(s[i + 3]) : -1;
        const int v = hexAt(s, i + 4, 4);
        const char *codeset = multiByteCodeset(page);
        if (!codeset || v < 0)
            return 0;
        const char bytes[2] = {char(v >> 8), char(v & 0xFF)};
        out += sharedCodePages().decode(codeset, QByteArray(bytes, 2));
        return 8;
    }
    return 0;
}

QString resolveEscapes(const QString &s)
{
    if (!s.contains(u'\\'))
        return s;
    QString out;
    out.reserve(s.size());
    for (qsizetype i = 0; i < s.size(); ++i) {
        if (s[i] == u'\\') {
            if (const qsizetype n = escapeAt(s, i, out)) {
                i += n - 1;
                continue;
            }
        }
        out += s[i];
    }
    return out;
}

QString specialCodes(const QString &s)
{
    if (!s.contains(QStringLiteral("%%")))
        return s;
    QString out;
    for (qsizetype i = 0; i < s.size(); ++i) {
        if (s[i] == u'%' && i + 2 < s.size() && s[i + 1] == u'%') {
            const QChar c = s[i + 2].toLower();
            if (c == u'c') {
                out += QChar(0x03C6); // φ: CP932 has no diameter sign
            } else if (c == u'd') {
                out += QChar(0x00B0);
            } else if (c == u'p') {
                out += QChar(0x00B1);
            } else if (c == u'%') {
                out += u'%';
            } else if (c == u'u' || c == u'o' || c == u'k') {
                // Under-, overline and strike toggles: nothing to show.
            } else if (c.isDigit()) {
                qsizetype j = i + 2;
                int code = 0;
                while (j < s.size() && j < i + 5 && s[j].isDigit())
                    code = code * 10 + s[j++].digitValue();
                out += QChar(char16_t(code));
                i = j - 1;
                continue;
            } else {
                out += s.mid(i, 3);
            }
            i += 2;
            continue;
        }
        out += s[i];
    }
    return out;
}

// A 2D affine map: x' = a x + b y + c, y' = d x + e y + f.
struct Affine
{
    double a = 1, b = 0, c = 0, d = 0, e = 1, f = 0;

    void map(double x, double y, double &ox, double &oy) const
    {
        ox = a * x + b * y + c;
        oy = d * x + e * y + f;
    }
    void mapVector(double x, double y, double &ox, double &oy) const
    {
        ox = a * x + b * y;
        oy = d * x + e * y;
    }
    Affine then(const Affine &inner) const // this after inner
    {
        return {a * inner.a + b * inner.d, a * inner.b + b * inner.e, a * inner.c + b * inner.f + c,
                d * inner.a + e * inner.d, d * inner.b + e * inner.e, d * inner.c + e * inner.f + f};
    }
    double det() const { return a * e - b * d; }
    bool similar() const
    {
        const double s = std::max({std::abs(a), std::abs(b), std::abs(d), std::abs(e)});
        const double eps = 1e-9 * s;
        return (std::abs(a - e) <= eps && std::abs(b + d) <= eps)
               || (std::abs(a + e) <= eps && std::abs(b - d) <= eps);
    }
    double maxScale() const
    {
        const double p = a * a + b * b + d * d + e * e;
        const double q = det();
        return std::sqrt((p + std::sqrt(std::max(0.0, p * p - 4 * q * q))) / 2);
    }
    static Affine translate(double x, double y) { return {1, 0, x, 0, 1, y}; }
    static Affine rotate(double degrees)
    {
        const double r = degrees * Pi / 180, cs = std::cos(r), sn = std::sin(r);
        return {cs, -sn, 0, sn, cs, 0};
    }
    static Affine scale(double x, double y) { return {x, 0, 0, 0, y, 0}; }
};

struct Attr
{
    QString layer = QStringLiteral("0");
    int colour = 256; // indexed; 0 by block, 256 by layer
    int colour24 = -1; // 0xRRGGBB, -1 none
    QString lineType = QStringLiteral("BYLAYER");
    int width = -1; // 1/100 mm; -1 by layer, -2 by block, -3 default
};

struct PLine { double x1, y1, x2, y2; };
struct PArc { double cx, cy, r, sa, ea; bool full; };
// Centre, the major and minor half-axis vectors, and the parameter range.
struct PEllipse { double cx, cy, mx, my, vx, vy, t0, t1; };
struct PSpline
{
    int degree = 3;
    std::vector<double> knots;
    std::vector<double> x, y, w;
};
struct PFit { std::vector<double> x, y; };
struct PText { double x, y, height, widthFactor, angle; int anchor; QString text; };
struct PInsert { std::string block; double x, y, sx, sy, angle; int cols, rows; double colSp, rowSp; bool mirror; };
struct PPoint { double x, y; };

struct Prim
{
    std::variant<PLine, PArc, PEllipse, PSpline, PFit, PText, PInsert, PPoint> shape;
    Attr attr;
    const char *kind;
};

struct Block
{
    double bx = 0, by = 0;
    std::vector<Prim> prims;
    std::map<QString, int> skipped;
};

struct HatchPath
{
    std::vector<double> x, y, bulge;
    bool closed = true;
};

// What the file holds beyond what the library hands over, found in one pass before it
// reads: whether it is DXF at all and whole, the kinds this program skips, the polyline
// boundaries of hatches, the blocks of dimensions and the plot flags of layers.
struct Prescan
{
    QString error;
    std::map<QString, int> skipped; // in model space
    std::unordered_map<std::string, std::map<QString, int>> blockSkipped;
    std::vector<std::vector<HatchPath>> hatches; // in file order
    struct Dimension { std::string block; double x, y; };
    std::vector<Dimension> dimensions;
    std::unordered_map<std::string, bool> layerPlot; // by the name's bytes
};

const char *const HandledKinds[] = {
    "LINE",   "CIRCLE", "ARC",    "TEXT",  "MTEXT",     "LWPOLYLINE", "POLYLINE", "VERTEX",
    "SEQEND", "INSERT", "ATTRIB", "ATTDEF", "ELLIPSE",  "SPLINE",     "POINT",    "SOLID",
    "TRACE",  "3DFACE", "HATCH",  "DIMENSION", "LEADER", "BLOCK",     "ENDBLK",
};

bool handled(const std::string &kind)
{
    for (const char *k : HandledKinds) {
        if (kind == k)
            return true;
    }
    return false;
}

QString notDxf()
{
    return QStringLiteral("DXFファイルではないため読み込めません");
}

// Lines longer than this are no DXF; the format's own are at most a few thousand bytes.
constexpr qint64 MaxLine = 65536;

Prescan prescan(const QString &fileName)
{
    Prescan out;
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly)) {
        out.error = QStringLiteral("ファイル「%1」を開けません").arg(fileName);
        return out;
    }
    const QByteArray head = file.peek(22);
    if (head.startsWith("AutoCAD Binary DXF")) {
        out.error = QStringLiteral("バイナリ形式のDXFは読み込めません。"
                                   "アスキー形式で保存したファイルを指定して下さい");
        return out;
    }
    std::vector<char> buffer(MaxLine + 2);
    auto readLine = [&](std::string &s) {
        const qint64 n = file.readLine(buffer.data(), MaxLine + 1);
        if (n <= 0)
            return false;
        if (n >= MaxLine && buffer[size_t(n - 1)] != '\n')
            return false;
        const char *b = buffer.data(), *e = b + n;
        while (b < e && (*b == ' ' || *b == '\t'))
            ++b;
        while (e > b && (e[-1] == '\n' || e[-1] == '\r' || e[-1] == ' ' || e[-1] == '\t'))
            --e;
        s.assign(b, e);
        return true;
    };

    std::string codeLine, value, section, kind, block, layerName;
    bool inEntity = false, paper = false, first = true, ended = false, inLayer = false;
    long long groups = 0, largestCount = 0;
    bool layerPlot = true;
    HatchPath *path = nullptr;
    long long pathLeft = 0;
    std::vector<HatchPath> hatch;
    bool inHatch = false, inDimension = false, blockNamed = false;
    Prescan::Dimension dimension;

    auto endEntity = [&] {
        if (!inEntity)
            return;
        if (!handled(kind)) {
            const QString k = QString::fromLatin1(kind.c_str());
            if (section == "BLOCKS")
                ++out.blockSkipped[block][k];
            else if (!paper)
                ++out.skipped[k];
        }
        if (inHatch)
            out.hatches.push_back(std::move(hatch));
        if (inDimension)
            out.dimensions.push_back(dimension);
        hatch.clear();
        inHatch = inDimension = false;
        path = nullptr;
        inEntity = false;
    };

    while (readLine(codeLine)) {
        if (codeLine.empty() && file.atEnd())
            break;
        char *end = nullptr;
        const long code = std::strtol(codeLine.c_str(), &end, 10);
        if (codeLine.empty() || *end != '\0' || code < 0 || code > 1071) {
            out.error = first ? notDxf()
                              : QStringLiteral("DXFファイルの %1 行目付近が壊れているため"
                                               "読み込めません")
                                    .arg(groups * 2 + 1);
            return out;
        }
        if (!readLine(value)) {
            out.error = first ? notDxf()
                              : QStringLiteral("DXFファイルが途中で切れているため読み込めません");
            return out;
        }
        if (first) {
            if (!(code == 999 || (code == 0 && value == "SECTION"))) {
                out.error = notDxf();
                return out;
            }
            first = false;
        }
        ++groups;
        if (ended)
            continue;
        if (code == 0) {
            endEntity();
            inLayer = false;
            if (value == "EOF") {
                ended = true;
                continue;
            }
            if (value == "SECTION" || value == "ENDSEC") {
                section.clear();
                continue;
            }
            if (section == "TABLES" && value == "LAYER") {
                inLayer = true;
                layerName.clear();
                layerPlot = true;
                continue;
            }
            if (section != "ENTITIES" && section != "BLOCKS")
                continue;
            if (value == "BLOCK") {
                block.clear();
                blockNamed = false;
            }
            inEntity = true;
            kind = value;
            paper = false;
            inHatch = kind == "HATCH";
            inDimension = kind == "DIMENSION";
            dimension = {};
            continue;
        }
        if (code == 2 && section.empty()) {
            section = value;
            continue;
        }
        if (inLayer) {
            if (code == 2)
                layerName = value;
            else if (code == 290)
                layerPlot = value != "0";
            if (!layerName.empty())
                out.layerPlot[upperAscii(layerName)] = layerPlot;
            continue;
        }
        if (!inEntity)
            continue;
        if (kind == "BLOCK" && code == 2 && !blockNamed) {
            block = upperAscii(value);
            blockNamed = true;
        }
        if (code == 67 && std::atoi(value.c_str()) == 1)
            paper = true;
        // Counts the library makes room for before reading what they count.
        const bool counted = (kind == "LWPOLYLINE" && code == 90)
                             || (kind == "SPLINE" && code >= 72 && code <= 74)
                             || (kind == "LEADER" && code == 76)
                             || (kind == "HATCH" && (code == 91 || (code >= 93 && code <= 98)));
        if (counted) {
            const long long n = std::atoll(value.c_str());
            if (n < 0) {
                out.error = QStringLiteral("DXFファイルの %1 行目の個数が正しくないため"
                                           "読み込めません")
                                .arg(groups * 2);
                return out;
            }
            largestCount = std::max(largestCount, n);
        }
        if (inDimension) {
            if (code == 2)
                dimension.block = upperAscii(value);
            else if (code == 10)
                dimension.x = std::atof(value.c_str());
            else if (code == 20)
                dimension.y = std::atof(value.c_str());
        }
        if (inHatch) {
            if (code == 92 && (std::atoi(value.c_str()) & 2)) {
                hatch.emplace_back();
                path = &hatch.back();
                pathLeft = -1;
            } else if (path && code == 73 && pathLeft < 0) {
                path->closed = std::atoi(value.c_str()) != 0;
            } else if (path && code == 93 && pathLeft < 0) {
                pathLeft = std::atoll(value.c_str());
            } else if (path && pathLeft > 0 && code == 10) {
                path->x.push_back(std::atof(value.c_str()));
                path->bulge.push_back(0);
            } else if (path && pathLeft > 0 && code == 20 && path->y.size() < path->x.size()) {
                path->y.push_back(std::atof(value.c_str()));
                if (--pathLeft == 0)
                    path = nullptr;
            } else if (path && code == 42 && !path->bulge.empty()) {
                path->bulge.back() = std::atof(value.c_str());
            } else if (path && pathLeft >= 0 && code != 10 && code != 20 && code != 42) {
                path = nullptr;
            }
        }
    }
    if (first) {
        out.error = notDxf();
        return out;
    }
    if (!ended) {
        out.error = QStringLiteral("DXFファイルが途中で切れているため読み込めません");
        return out;
    }
    // Nothing counted can have more members than the file has groups.
    if (largestCount > groups) {
        out.error = QStringLiteral("DXFファイルの要素の個数が正しくないため読み込めません");
        return out;
    }
    for (auto &h : out.hatches) {
        for (HatchPath &p : h) {
            p.y.resize(p.x.size());
            p.bulge.resize(p.x.size());
        }
    }
    return out;
}

// The arc through a polyline segment of the given bulge, or false when it is straight.
bool bulgeArc(double x1, double y1, double x2, double y2, double bulge, PArc &arc)
{
    const double dx = x2 - x1, dy = y2 - y1, chord = std::hypot(dx, dy);
    if (std::abs(bulge) < 1e-12 || chord == 0 || !std::isfinite(bulge))
        return false;
    const double offset = (1 - bulge * bulge) / (2 * bulge) / 2;
    const double cx = (x1 + x2) / 2 - dy * offset, cy = (y1 + y2) / 2 + dx * offset;
    const double r = chord * (1 + bulge * bulge) / (4 * std::abs(bulge));
    double a1 = std::atan2(y1 - cy, x1 - cx) * 180 / Pi, a2 = std::atan2(y2 - cy, x2 - cx) * 180 / Pi;
    if (bulge < 0)
        std::swap(a1, a2);
    arc = {cx, cy, r, a1, a2, false};
    return finite({cx, cy, r, a1, a2});
}

double normalDegrees(double a)
{
    a = std::fmod(a, 360);
    if (a < 0)
        a += 360;
    return a == 360 ? 0 : a;
}

// B-spline point at t by de Boor, with weights.
bool splinePoint(const PSpline &s, double t, double &px, double &py)
{
    const int p = s.degree;
    const int n = int(s.x.size());
    int k = p;
    while (k < n - 1 && t >= s.knots[size_t(k + 1)])
        ++k;
    double dx[16], dy[16], dw[16];
    for (int j = 0; j <= p; ++j) {
        const size_t i = size_t(j + k - p);
        const double w = s.w[i];
        dx[j] = s.x[i] * w;
        dy[j] = s.y[i] * w;
        dw[j] = w;
    }
    for (int r = 1; r <= p; ++r) {
        for (int j = p; j >= r; --j) {
            const double lo = s.knots[size_t(j + k - p)], hi = s.knots[size_t(j + 1 + k - r)];
            const double alpha = hi == lo ? 0 : (t - lo) / (hi - lo);
            dx[j] = (1 - alpha) * dx[j - 1] + alpha * dx[j];
            dy[j] = (1 - alpha) * dy[j - 1] + alpha * dy[j];
            dw[j] = (1 - alpha) * dw[j - 1] + alpha * dw[j];
        }
    }
    if (dw[p] == 0)
        return false;
    px = dx[p] / dw[p];
    py = dy[p] / dw[p];
    return std::isfinite(px) && std::isfinite(py);
}

// Most lines one curve becomes.
constexpr int MaxCurveLines = 20000;

class Reader : public DL_CreationAdapter
{
public:
    using DL_CreationAdapter::addComment;
    using DL_CreationAdapter::addMTextChunk;
    using DL_CreationAdapter::processCodeValuePair;
    using DL_CreationAdapter::setVariableDouble;
    using DL_CreationAdapter::setVariableString;
    using DL_CreationAdapter::setVariableVector;

    Reader(Prescan &pre) : pre(pre) {}

    Prescan &pre;
    std::vector<Prim> top;
    std::unordered_map<std::string, Block> blocks;
    std::map<QString, int> skipped;
    struct FileLayer { int colour = 7; int colour24 = -1; QString lineType; int width = -3; int flags = 0; bool plot = true; };
    QHash<QString, FileLayer> fileLayers; // by folded name
    QHash<QString, std::vector<double>> fileLineTypes; // by folded name
    int paperSpace = 0;
    double lineTypeScale = 1, textSize = 2.5;

    void setVariableString(const std::string &key, const std::string &value, int) override
    {
        if (key == "$ACADVER")
            version = value;
        else if (key == "$DWGCODEPAGE")
            codePage = upperAscii(value);
    }
    void setVariableDouble(const std::string &key, double value, int) override
    {
        if (key == "$LTSCALE" && std::isfinite(value) && value > 0)
            lineTypeScale = value;
        else if (key == "$TEXTSIZE" && std::isfinite(value) && value > 0)
            textSize = value;
    }

    QString text(const std::string &bytes)
    {
        return resolveEscapes(sharedCodePages().decode(codeset(), QByteArray::fromStdString(bytes)));
    }

    void addLayer(const DL_LayerData &d) override
    {
        FileLayer l;
        l.colour = attributes.getColor();
        l.colour24 = attributes.getColor24();
        l.lineType = text(attributes.getLinetype());
        l.width = attributes.getWidth();
        l.flags = d.flags;
        if (d.off && l.colour > 0)
            l.colour = -l.colour;
        const auto plot = pre.layerPlot.find(upperAscii(d.name));
        l.plot = plot == pre.layerPlot.end() || plot->second;
        fileLayers.insert(text(d.name).toCaseFolded(), l);
    }

    // The library hands a line type's dashes over before the line type itself.
    void addLinetype(const DL_LinetypeData &d) override
    {
        fileLineTypes[text(d.name).toCaseFolded()] = std::move(dashes);
        dashes.clear();
    }
    void addLinetypeDash(double length) override
    {
        if (dashes.size() < 64)
            dashes.push_back(length);
    }

    void addBlock(const DL_BlockData &d) override
    {
        flush();
        const std::string name = upperAscii(d.name);
        // Paper space and the model space's own block are no blocks to insert.
        if (name.rfind("*PAPER_SPACE", 0) == 0 || name.rfind("*MODEL_SPACE", 0) == 0) {
            into = nullptr;
            return;
        }
        Block &b = blocks[name];
        b = Block();
        b.bx = d.bpx;
        b.by = d.bpy;
        const auto s = pre.blockSkipped.find(name);
        if (s != pre.blockSkipped.end())
            b.skipped = s->second;
        into = &b.prims;
        inBlock = &b;
    }
    void endBlock() override
    {
        flush();
        into = &top;
        inBlock = nullptr;
    }

    void addPoint(const DL_PointData &d) override
    {
        flush();
        if (attributes.getLayer() == "DEFPOINTS" || upperAscii(attributes.getLayer()) == "DEFPOINTS")
            return;
        add(PPoint{d.x, d.y}, "POINT", {d.x, d.y});
    }
    void addLine(const DL_LineData &d) override
    {
        flush();
        add(PLine{d.x1, d.y1, d.x2, d.y2}, "LINE", {d.x1, d.y1, d.x2, d.y2});
    }
    void addArc(const DL_ArcData &d) override
    {
        flush();
        PArc a{d.cx, d.cy, d.radius, d.angle1, d.angle2, false};
        if (mirrored()) {
            a.cx = -a.cx;
            a = {a.cx, a.cy, a.r, 180 - d.angle2, 180 - d.angle1, false};
        }
        if (!(d.radius > 0))
            return skip("ARC");
        add(a, "ARC", {a.cx, a.cy, a.r, a.sa, a.ea});
    }
    void addCircle(const DL_CircleData &d) override
    {
        flush();
        if (!(d.radius > 0))
            return skip("CIRCLE");
        add(PArc{mirrored() ? -d.cx : d.cx, d.cy, d.radius, 0, 360, true}, "CIRCLE",
            {d.cx, d.cy, d.radius});
    }
    void addEllipse(const DL_EllipseData &d) override
    {
        flush();
        const double sign = getExtrusion()->getDirection()[2] < 0 ? -1 : 1;
        PEllipse e{d.cx, d.cy, d.mx, d.my, -d.my * d.ratio * sign, d.mx * d.ratio * sign,
                   d.angle1, d.angle2};
        if (!(d.ratio > 0) || (d.mx == 0 && d.my == 0))
            return skip("ELLIPSE");
        add(e, "ELLIPSE", {d.cx, d.cy, d.mx, d.my, d.ratio, d.angle1, d.angle2});
    }

    void addPolyline(const DL_PolylineData &d) override
    {
        flush();
        pending = Pending::Poly;
        poly = {};
        poly.closed = d.flags & 1;
        poly.mesh = d.flags & (16 | 64);
        poly.mirror = mirrored();
        pendingAttr = attr();
    }
    void addVertex(const DL_VertexData &d) override
    {
        if (pending != Pending::Poly || poly.x.size() >= 10000000)
            return;
        poly.x.push_back(poly.mirror ? -d.x : d.x);
        poly.y.push_back(d.y);
        poly.bulge.push_back(poly.mirror ? -d.bulge : d.bulge);
    }

    void addSpline(const DL_SplineData &d) override
    {
        flush();
        pending = Pending::Spline;
        spline = {};
        spline.degree = int(d.degree);
        pendingAttr = attr();
    }
    void addKnot(const DL_KnotData &d) override
    {
        if (pending == Pending::Spline)
            spline.knots.push_back(d.k);
    }
    void addControlPoint(const DL_ControlPointData &d) override
    {
        if (pending != Pending::Spline)
            return;
        spline.x.push_back(d.x);
        spline.y.push_back(d.y);
        spline.w.push_back(d.w > 0 ? d.w : 1);
    }
    void addFitPoint(const DL_FitPointData &d) override
    {
        if (pending != Pending::Spline)
            return;
        fit.x.push_back(d.x);
        fit.y.push_back(d.y);
    }

    void addInsert(const DL_InsertData &d) override
    {
        flush();
        PInsert i{upperAscii(d.name), d.ipx, d.ipy, d.sx, d.sy, d.angle,
                  std::max(1, d.cols), std::max(1, d.rows), d.colSp, d.rowSp, mirrored()};
        if (i.mirror)
            i.x = -i.x;
        add(i, "INSERT", {d.ipx, d.ipy, d.sx, d.sy, d.angle, d.colSp, d.rowSp});
    }

    void addTrace(const DL_TraceData &d) override { outline(d, "TRACE", true); }
    void addSolid(const DL_SolidData &d) override { outline(d, "SOLID", true); }
    void add3dFace(const DL_3dFaceData &d) override { outline(d, "3DFACE", false); }

    void addMTextChunk(const std::string &chunk) override { mtextChunks += chunk; }
    void addMText(const DL_MTextData &d) override
    {
        flush();
        const std::string all = mtextChunks + d.text;
        mtextChunks.clear();
        const QStringList lines = DxfMTextLines(text(all));
        const double height = d.height > 0 && std::isfinite(d.height) ? d.height : textSize;
        const int attach = d.attachmentPoint >= 1 && d.attachmentPoint <= 9 ? d.attachmentPoint : 1;
        const int row = (attach - 1) / 3, column = (attach - 1) % 3;
        const int anchor = (2 - row) * 3 + column + 1;
        const double spacing = d.lineSpacingFactor > 0 && d.lineSpacingFactor < 100
                                   ? d.lineSpacingFactor
                                   : 1.0;
        const double pitch = height * 5 / 3 * spacing;
        const double angle = std::isfinite(d.angle) ? d.angle : 0;
        const double ux = -std::sin(angle), uy = std::cos(angle);
        const qsizetype n = lines.size();
        for (qsizetype k = 0; k < n; ++k) {
            double offset = -double(k);
            if (row == 1)
                offset = (n - 1) / 2.0 - k;
            else if (row == 2)
                offset = double(n - 1 - k);
            if (lines[k].trimmed().isEmpty())
                continue;
            const double x = d.ipx + ux * offset * pitch, y = d.ipy + uy * offset * pitch;
            add(PText{x, y, height, 1, angle * 180 / Pi, anchor, lines[k]}, "MTEXT",
                {x, y, height, angle});
        }
    }

    void addText(const DL_TextData &d) override
    {
        flush();
        plainText(d, "TEXT");
    }
    void addAttribute(const DL_AttributeData &d) override
    {
        flush();
        plainText(d, "ATTRIB");
    }

    void addDimAlign(const DL_DimensionData &d, const DL_DimAlignedData &) override { dimension(d); }
    void addDimLinear(const DL_DimensionData &d, const DL_DimLinearData &) override { dimension(d); }
    void addDimRadial(const DL_DimensionData &d, const DL_DimRadialData &) override { dimension(d); }
    void addDimDiametric(const DL_DimensionData &d, const DL_DimDiametricData &) override { dimension(d); }
    void addDimAngular(const DL_DimensionData &d, const DL_DimAngular2LData &) override { dimension(d); }
    void addDimAngular3P(const DL_DimensionData &d, const DL_DimAngular3PData &) override { dimension(d); }
    void addDimOrdinate(const DL_DimensionData &d, const DL_DimOrdinateData &) override { dimension(d); }

    void addLeader(const DL_LeaderData &) override
    {
        flush();
        pending = Pending::Poly;
        poly = {};
        poly.kind = "LEADER";
        pendingAttr = attr();
    }
    void addLeaderVertex(const DL_LeaderVertexData &d) override
    {
        if (pending != Pending::Poly || poly.x.size() >= 10000000)
            return;
        poly.x.push_back(d.x);
        poly.y.push_back(d.y);
        poly.bulge.push_back(0);
    }

    void addHatch(const DL_HatchData &) override
    {
        flush();
        const bool mirror = mirrored();
        if (!wanted())
            return;
        const Attr a = attr();
        // The polyline boundaries the library does not hand over, in file order.
        if (hatchIndex < pre.hatches.size()) {
            for (const HatchPath &p : pre.hatches[hatchIndex]) {
                PolyData poly;
                poly.x = p.x;
                poly.y = p.y;
                poly.bulge = p.bulge;
                poly.closed = p.closed;
                poly.mirror = mirror;
                poly.kind = "HATCH";
                if (mirror) {
                    for (size_t i = 0; i < poly.x.size(); ++i) {
                        poly.x[i] = -poly.x[i];
                        poly.bulge[i] = -poly.bulge[i];
                    }
                }
                polyPrims(poly, a);
            }
        }
        ++hatchIndex;
        hatchMirror = mirror;
        hatchAttr = a;
        inHatch = true;
    }
    void addHatchLoop(const DL_HatchLoopData &) override {}
    void addHatchEdge(const DL_HatchEdgeData &d) override
    {
        if (!inHatch || !d.defined)
            return;
        const double m = hatchMirror ? -1 : 1;
        switch (d.type) {
        case 1:
            push(PLine{m * d.x1, d.y1, m * d.x2, d.y2}, hatchAttr, "HATCH",
                 {d.x1, d.y1, d.x2, d.y2});
            break;
        case 2: {
            double sa = d.angle1 * 180 / Pi, ea = d.angle2 * 180 / Pi;
            if (!d.ccw) {
                std::swap(sa, ea);
                sa = -sa;
                ea = -ea;
            }
            PArc a{m * d.cx, d.cy, d.radius, sa, ea, std::abs(d.angle2 - d.angle1) >= 2 * Pi - 1e-12};
            if (hatchMirror)
                a = {a.cx, a.cy, a.r, 180 - ea, 180 - sa, a.full};
            if (d.radius > 0)
                push(a, hatchAttr, "HATCH", {d.cx, d.cy, d.radius, sa, ea});
            break;
        }
        case 3: {
            const double ratio = d.ratio;
            double t0 = d.angle1, t1 = d.angle2;
            const double vx = -d.my * ratio, vy = d.mx * ratio;
            if (!d.ccw) {
                // Angles measured clockwise: the same curve from the other end.
                t0 = -d.angle2;
                t1 = -d.angle1;
            }
            if (ratio > 0)
                push(PEllipse{m * d.cx, d.cy, m * d.mx, d.my, m * vx, vy, t0, t1}, hatchAttr,
                     "HATCH", {d.cx, d.cy, d.mx, d.my, ratio, t0, t1});
            break;
        }
        case 4: {
            PSpline s;
            s.degree = int(d.degree);
            s.knots = d.knots;
            for (size_t i = 0; i < d.controlPoints.size(); ++i) {
                if (d.controlPoints[i].size() < 2)
                    continue;
                s.x.push_back(m * d.controlPoints[i][0]);
                s.y.push_back(d.controlPoints[i][1]);
                s.w.push_back(i < d.weights.size() && d.weights[i] > 0 ? d.weights[i] : 1);
            }
            splinePrim(std::move(s), {}, hatchAttr, "HATCH");
            break;
        }
        default:
            break;
        }
    }

    void endEntity() override { flush(); }
    void endSequence() override { flush(); }

    // Whatever is still open goes in.
    void finish() { flush(); }

private:
    enum class Pending { None, Poly, Spline };
    struct PolyData
    {
        std::vector<double> x, y, bulge;
        bool closed = false, mesh = false, mirror = false;
        const char *kind = "POLYLINE";
    };

    std::string version, codePage;
    std::vector<Prim> *into = &top;
    Block *inBlock = nullptr;
    std::vector<double> dashes;
    Pending pending = Pending::None;
    PolyData poly;
    PSpline spline;
    PFit fit;
    Attr pendingAttr;
    std::string mtextChunks;
    size_t hatchIndex = 0, dimensionIndex = 0;
    bool inHatch = false, hatchMirror = false;
    Attr hatchAttr;

    const char *codeset() const
    {
        // From release 2007 on a file is UTF-8 whatever its code page says.
        if (version >= "AC1021")
            return "UTF-8";
        static thread_local std::string name;
        if (codePage.rfind("ANSI_", 0) == 0 && codePage.size() > 5) {
            name = "CP" + codePage.substr(5);
            if (name == "CP932")
                return "CP932";
            return name.c_str();
        }
        if (codePage.rfind("DOS", 0) == 0 && codePage.size() > 3) {
            name = "CP" + codePage.substr(3);
            return name.c_str();
        }
        if (codePage == "UTF-8" || codePage == "UTF8")
            return "UTF-8";
        // No code page: this program's own.
        return "CP932";
    }

    bool mirrored() { return getExtrusion()->getDirection()[2] < 0; }

    Attr attr()
    {
        Attr a;
        a.layer = text(attributes.getLayer());
        if (a.layer.isEmpty())
            a.layer = QStringLiteral("0");
        a.colour = attributes.getColor();
        a.colour24 = attributes.getColor24();
        a.lineType = text(attributes.getLinetype());
        if (a.lineType.isEmpty())
            a.lineType = QStringLiteral("BYLAYER");
        a.width = attributes.getWidth();
        return a;
    }

    // Model space, or a block: paper space is not read.
    bool wanted()
    {
        if (!into)
            return false;
        if (into == &top && attributes.isInPaperSpace()) {
            ++paperSpace;
            return false;
        }
        return true;
    }

    void skip(const char *kind)
    {
        if (inBlock)
            ++inBlock->skipped[QString::fromLatin1(kind)];
        else if (into)
            ++skipped[QString::fromLatin1(kind)];
    }

    template<class Shape>
    void push(Shape &&shape, const Attr &a, const char *kind, std::initializer_list<double> values)
    {
        if (!into)
            return;
        if (!finite(values))
            return skip(kind);
        into->push_back({std::forward<Shape>(shape), a, kind});
    }

    template<class Shape>
    void add(Shape &&shape, const char *kind, std::initializer_list<double> values)
    {
        if (!wanted())
            return;
        push(std::forward<Shape>(shape), attr(), kind, values);
    }

    void plainText(const DL_TextData &d, const char *kind)
    {
        if (!wanted())
            return;
        const double height = d.height > 0 && std::isfinite(d.height) ? d.height : textSize;
        double x = d.ipx, y = d.ipy, angle = d.angle * 180 / Pi;
        int anchor = 1;
        const int h = d.hJustification, v = d.vJustification;
        if (h == 3 || h == 5) {
            if (d.apx != d.ipx || d.apy != d.ipy)
                angle = std::atan2(d.apy - d.ipy, d.apx - d.ipx) * 180 / Pi;
        } else if (h == 4) {
            x = d.apx;
            y = d.apy;
            anchor = 5;
        } else if (h != 0 || v != 0) {
            x = d.apx;
            y = d.apy;
            const int row = v == 3 ? 2 : v == 2 ? 1 : 0;
            anchor = row * 3 + std::clamp(h, 0, 2) + 1;
        }
        if (mirrored()) {
            x = -x;
            angle = 180 - angle;
        }
        const double factor = d.xScaleFactor > 0 && std::isfinite(d.xScaleFactor) ? d.xScaleFactor : 1;
        const QString s = DxfPlainText(text(d.text));
        if (s.trimmed().isEmpty())
            return;
        push(PText{x, y, height, factor, angle, anchor, s}, attr(), kind, {x, y, height, angle});
    }

    void dimension(const DL_DimensionData &d)
    {
        flush();
        // The dimension's block, found by its definition point from where the last one was.
        std::string block;
        for (size_t i = dimensionIndex; i < pre.dimensions.size(); ++i) {
            const Prescan::Dimension &p = pre.dimensions[i];
            if (std::abs(p.x - d.dpx) <= 1e-9 * (1 + std::abs(p.x))
                && std::abs(p.y - d.dpy) <= 1e-9 * (1 + std::abs(p.y))) {
                block = p.block;
                dimensionIndex = i + 1;
                break;
            }
        }
        if (block.empty()) {
            if (wanted())
                skip("DIMENSION");
            return;
        }
        add(PInsert{block, 0, 0, 1, 1, 0, 1, 1, 0, 0, false}, "DIMENSION", {});
    }

    template<class Data>
    void outline(const Data &d, const char *kind, bool ocs)
    {
        flush();
        if (!wanted())
            return;
        const double m = ocs && mirrored() ? -1 : 1;
        // A solid's corners go 1, 2, 4, 3 round its outline.
        const int order[4] = {0, 1, ocs ? 3 : 2, ocs ? 2 : 3};
        double x[4], y[4];
        int n = 0;
        for (int i : order) {
            if (n > 0 && d.x[i] * m == x[n - 1] && d.y[i] == y[n - 1])
                continue;
            x[n] = d.x[i] * m;
            y[n] = d.y[i];
            ++n;
        }
        if (n > 1 && x[n - 1] == x[0] && y[n - 1] == y[0])
            --n;
        const Attr a = attr();
        for (int i = 0; i < n && n > 1; ++i) {
            const int j = (i + 1) % n;
            if (n == 2 && i == 1)
                break;
            push(PLine{x[i], y[i], x[j], y[j]}, a, kind, {x[i], y[i], x[j], y[j]});
        }
    }

    void polyPrims(const PolyData &p, const Attr &a)
    {
        const size_t n = p.x.size();
        if (n < 2)
            return;
        const size_t segments = p.closed ? n : n - 1;
        for (size_t i = 0; i < segments; ++i) {
            const size_t j = (i + 1) % n;
            const double x1 = p.x[i], y1 = p.y[i], x2 = p.x[j], y2 = p.y[j];
            if (!finite({x1, y1, x2, y2, p.bulge[i]}))
                return skip(p.kind);
            if (x1 == x2 && y1 == y2)
                continue;
            PArc arc;
            if (bulgeArc(x1, y1, x2, y2, p.bulge[i], arc))
                push(arc, a, p.kind, {arc.cx, arc.cy, arc.r});
            else
                push(PLine{x1, y1, x2, y2}, a, p.kind, {x1, y1, x2, y2});
        }
    }

    void splinePrim(PSpline s, PFit f, const Attr &a, const char *kind)
    {
        const size_t n = s.x.size();
        const bool controls = s.degree >= 1 && s.degree <= 15 && n > size_t(s.degree)
                              && s.knots.size() == n + size_t(s.degree) + 1
                              && std::is_sorted(s.knots.begin(), s.knots.end());
        bool ok = controls;
        for (size_t i = 0; ok && i < n; ++i)
            ok = finite({s.x[i], s.y[i], s.w[i]});
        for (size_t i = 0; ok && i < s.knots.size(); ++i)
            ok = std::isfinite(s.knots[i]);
        if (ok && s.knots[size_t(s.degree)] < s.knots[n]) {
            push(std::move(s), a, kind, {});
            return;
        }
        bool fitOk = f.x.size() >= 2 && f.x.size() == f.y.size();
        for (size_t i = 0; fitOk && i < f.x.size(); ++i)
            fitOk = finite({f.x[i], f.y[i]});
        if (fitOk) {
            push(std::move(f), a, kind, {});
            return;
        }
        skip(kind);
    }

    void flush()
    {
        inHatch = false;
        const Pending was = pending;
        pending = Pending::None;
        if (was == Pending::Poly) {
            if (!wantedPending())
                return;
            if (poly.mesh)
                return skip("POLYLINE");
            polyPrims(poly, pendingAttr);
        } else if (was == Pending::Spline) {
            PFit f = std::move(fit);
            fit = {};
            if (!wantedPending())
                return;
            splinePrim(std::move(spline), std::move(f), pendingAttr, "SPLINE");
        }
    }

    bool wantedPending()
    {
        // The attributes of a polyline are its own, read when it began.
        return into != nullptr;
    }
};

// The drawing's rows as the entities come: layers and line types by name, given free rows
// when new, colours by nearest value.
class Rows
{
public:
    Rows(const DxfTarget &target, Reader &reader, DxfImportResult &result)
        : target(target), reader(reader), result(result)
    {
        for (const LayerRow &l : target.layers)
            layers[l.n] = l;
        for (const LineTypeRow &t : target.lineTypes)
            lineTypes[t.n] = t;
    }

    int layer(const QString &name)
    {
        const QString key = name.toCaseFolded();
        if (const auto it = layerOf.find(key); it != layerOf.end())
            return it->second;
        const int n = findLayer(name);
        layerOf[key] = n;
        return n;
    }

    int16_t colour(int index, int colour24)
    {
        if (colour24 >= 0)
            return nearest(rgbValue(colour24 >> 16 & 0xFF, colour24 >> 8 & 0xFF, colour24 & 0xFF));
        index = std::abs(index);
        if (index < 1 || index > 255)
            return 0;
        return nearest(indexedValue(index));
    }

    // 0 for the layer's (or a name the drawing and the file lack).
    int16_t lineType(const QString &name)
    {
        const QString key = name.toCaseFolded();
        if (key == QStringLiteral("bylayer") || key == QStringLiteral("byblock") || key.isEmpty())
            return 0;
        if (const auto it = typeOf.find(key); it != typeOf.end())
            return it->second;
        const int n = findLineType(name);
        typeOf[key] = int16_t(n);
        return int16_t(n);
    }

    void collect()
    {
        for (const auto &[n, row] : layers) {
            if (changedLayers.count(n))
                result.layers.push_back(row);
        }
        for (const auto &[n, row] : lineTypes) {
            if (changedTypes.count(n))
                result.lineTypes.push_back(row);
        }
    }

    static int32_t rgbValue(int r, int g, int b) { return r + 256 * g + 65536 * b; }

    static int32_t indexedValue(int i)
    {
        // Indexed colour 7 is drawn in the background's opposite: black on paper.
        return i == 7 ? 0 : DxfIndexedColour(i);
    }

private:
    const DxfTarget &target;
    Reader &reader;
    DxfImportResult &result;
    std::map<int, LayerRow> layers;
    std::map<int, LineTypeRow> lineTypes;
    std::map<QString, int> layerOf;
    std::map<QString, int16_t> typeOf;
    std::unordered_map<int32_t, int16_t> colourOf;
    std::set<int> changedLayers, changedTypes;

    int16_t nearest(int32_t value)
    {
        if (const auto it = colourOf.find(value); it != colourOf.end())
            return it->second;
        const int r = value & 0xFF, g = value >> 8 & 0xFF, b = value >> 16 & 0xFF;
        long best = -1;
        int16_t found = 0;
        for (const ColourRow &c : target.colours) {
            if (c.n < 1 || c.n > 255)
                continue;
            const int cr = c.value & 0xFF, cg = c.value >> 8 & 0xFF, cb = c.value >> 16 & 0xFF;
            const long d = long(cr - r) * (cr - r) + long(cg - g) * (cg - g) + long(cb - b) * (cb - b);
            if (best < 0 || d < best) {
                best = d;
                found = int16_t(c.n);
            }
        }
        colourOf[value] = found;
        return found;
    }

    static bool defaultName(const QString &name, const char *prefix, int n)
    {
        return name.isEmpty() || name == QString::fromLatin1(prefix) + QString::number(n);
    }

    // A name the database can hold: no quotes, only what CP932 has, at most 255 bytes.
    static QString storable(const QString &name)
    {
        QString out;
        int bytes = 0;
        for (qsizetype i = 0; i < name.size(); ++i) {
            QString c = name.mid(i, name[i].isHighSurrogate() ? 2 : 1);
            if (c.size() == 2)
                ++i;
            const std::optional<QByteArray> b = ToCp932(c);
            if (!b || c == u'\'' || c == u'"' || c.front().unicode() < 0x20)
                c = QStringLiteral("_");
            const int size = b && c.size() ? int(b->size()) : 1;
            if (bytes + size > 255)
                break;
            bytes += size;
            out += c;
        }
        return out.trimmed().isEmpty() ? QStringLiteral("_") : out;
    }

    int findLayer(const QString &name)
    {
        const QString stored = storable(name);
        for (const auto &[n, row] : layers) {
            if (row.name == stored)
                return n;
        }
        for (const auto &[n, row] : layers) {
            if (row.name.compare(stored, Qt::CaseInsensitive) == 0)
                return n;
        }
        for (auto &[n, row] : layers) {
            if (!defaultName(row.name, "LAYER_", n) || target.usedLayers.count(n)
                || changedLayers.count(n))
                continue;
            Reader::FileLayer file;
            if (const auto it = reader.fileLayers.find(name.toCaseFolded());
                it != reader.fileLayers.end())
                file = *it;
            row.name = stored;
            const int16_t c = colour(file.colour, file.colour24);
            row.colour = c > 0 ? c : 1;
            const int16_t t = file.lineType.isEmpty() ? 0 : lineType(file.lineType);
            row.lineType = t > 0 ? t : 1;
            if (file.width >= 0)
                row.width = std::clamp(file.width, 1, 32767);
            row.visible = file.colour >= 0 && !(file.flags & 1) ? 1 : 0;
            row.printed = file.plot && name.compare(QStringLiteral("Defpoints"), Qt::CaseInsensitive) ? 1 : 0;
            changedLayers.insert(n);
            return n;
        }
        ++result.layersShort;
        return target.fallbackLayer;
    }

    // The file's pattern as the table keeps it: dash, gap, dash, ... in 1/100 mm.
    bool pitches(const std::vector<double> &dashes, std::vector<int> &out) const
    {
        struct Piece { bool dash; double length; };
        std::vector<Piece> pieces;
        for (double d : dashes) {
            if (!std::isfinite(d))
                return false;
            const Piece p{d >= 0, d == 0 ? 0.25 : std::abs(d) * reader.lineTypeScale};
            if (!pieces.empty() && pieces.back().dash == p.dash)
                pieces.back().length += p.length;
            else
                pieces.push_back(p);
        }
        if (pieces.size() > 1 && pieces.front().dash == pieces.back().dash) {
            pieces.front().length += pieces.back().length;
            pieces.pop_back();
        }
        if (!pieces.empty() && !pieces.front().dash)
            std::rotate(pieces.begin(), pieces.begin() + 1, pieces.end());
        out.clear();
        for (const Piece &p : pieces) {
            const double v = std::round(p.length * 100);
            if (v > 32767)
                return false;
            out.push_back(std::max(1, int(v)));
        }
        return out.size() <= 10 && out.size() % 2 == 0;
    }

    int findLineType(const QString &name)
    {
        const QString stored = storable(name);
        for (const auto &[n, row] : lineTypes) {
            if (row.name.compare(stored, Qt::CaseInsensitive) == 0)
                return n;
        }
        if (name.compare(QStringLiteral("continuous"), Qt::CaseInsensitive) == 0)
            return 1;
        const auto file = reader.fileLineTypes.find(name.toCaseFolded());
        std::vector<int> pattern;
        if (file == reader.fileLineTypes.end() || !pitches(*file, pattern))
            return 0;
        if (pattern.empty())
            return 1;
        std::set<int> usedByLayers;
        for (const auto &[n, row] : layers)
            usedByLayers.insert(row.lineType);
        for (auto &[n, row] : lineTypes) {
            if (!defaultName(row.name, "LTYPE_", n) || row.count != 0
                || target.usedLineTypes.count(n) || usedByLayers.count(n) || changedTypes.count(n))
                continue;
            row.name = stored;
            row.count = int32_t(pattern.size());
            std::fill(std::begin(row.pitches), std::end(row.pitches), 0);
            std::copy(pattern.begin(), pattern.end(), row.pitches);
            changedTypes.insert(n);
            return n;
        }
        return 0;
    }
};

// Turns the read primitives into records, blocks into their contents.
class Emitter
{
public:
    Emitter(Reader &reader, Rows &rows, DxfImportResult &result)
        : reader(reader), rows(rows), result(result)
    {
    }

    bool failed = false;
    std::map<QString, int> skipped;

    void expand(const std::vector<Prim> &prims, const Affine &m, const Attr &parent, int depth)
    {
        for (const Prim &p : prims) {
            if (failed)
                return;
            Attr a = p.attr;
            if (depth > 0 && a.layer == QStringLiteral("0"))
                a.layer = parent.layer;
            if (a.colour == 0) {
                a.colour = parent.colour;
                a.colour24 = parent.colour24;
            }
            if (a.lineType.compare(QStringLiteral("BYBLOCK"), Qt::CaseInsensitive) == 0)
                a.lineType = parent.lineType;
            if (a.width == -2)
                a.width = parent.width;
            std::visit([&](const auto &s) { one(s, p.kind, m, a, depth); }, p.shape);
        }
    }

private:
    Reader &reader;
    Rows &rows;
    DxfImportResult &result;

    EntityLook look(const Attr &a, bool text)
    {
        EntityLook l;
        l.layer = int16_t(rows.layer(a.layer));
        l.colour = a.colour == 256 || a.colour == 0 ? 0 : rows.colour(a.colour, a.colour24);
        if (a.colour == 256 && a.colour24 >= 0)
            l.colour = rows.colour(a.colour, a.colour24);
        if (!text) {
            l.lineType = rows.lineType(a.lineType);
            l.width = a.width >= 0 ? int16_t(std::clamp(a.width, 1, 32767)) : int16_t(0);
        }
        return l;
    }

    void record(const Shape &shape, const Attr &a, bool text)
    {
        if (result.records.size() >= size_t(DxfMaxEntities)) {
            failed = true;
            return;
        }
        EntityRecord e;
        e.look = look(a, text);
        e.shape = shape;
        result.records.push_back(std::move(e));
    }

    void line(double x1, double y1, double x2, double y2, const char *kind, const Attr &a)
    {
        if (!finite({x1, y1, x2, y2})) {
            ++skipped[QString::fromLatin1(kind)];
            return;
        }
        record(LineShape{x1, y1, x2, y2}, a, false);
        ++result.lines;
    }

    // The points through the map as lines, joined.
    void polyline(const std::vector<double> &x, const std::vector<double> &y, const Affine &m,
                  const char *kind, const Attr &a)
    {
        double px = 0, py = 0;
        for (size_t i = 0; i < x.size(); ++i) {
            double qx, qy;
            m.map(x[i], y[i], qx, qy);
            if (i > 0 && (qx != px || qy != py))
                line(px, py, qx, qy, kind, a);
            px = qx;
            py = qy;
        }
    }

    // A local tolerance that stays within the curve tolerance once mapped.
    static double localTolerance(const Affine &m)
    {
        const double s = m.maxScale();
        return s > 0 && std::isfinite(s) ? DxfCurveTolerance / s : DxfCurveTolerance;
    }

    void one(const PLine &l, const char *kind, const Affine &m, const Attr &a, int)
    {
        double x1, y1, x2, y2;
        m.map(l.x1, l.y1, x1, y1);
        m.map(l.x2, l.y2, x2, y2);
        line(x1, y1, x2, y2, kind, a);
    }

    void one(const PPoint &p, const char *kind, const Affine &m, const Attr &a, int)
    {
        // A point shows as a small cross of 1 mm on paper.
        double x, y;
        m.map(p.x, p.y, x, y);
        line(x - 0.5, y, x + 0.5, y, kind, a);
        line(x, y - 0.5, x, y + 0.5, kind, a);
    }

    void one(const PArc &arc, const char *kind, const Affine &m, const Attr &a, int)
    {
        if (m.similar()) {
            double cx, cy;
            m.map(arc.cx, arc.cy, cx, cy);
            const double r = arc.r * std::sqrt(std::abs(m.det()));
            const double turn = std::atan2(m.d, m.a) * 180 / Pi;
            if (!finite({cx, cy, r, turn}) || !(r > 0)) {
                ++skipped[QString::fromLatin1(kind)];
                return;
            }
            if (arc.full) {
                record(CircleShape{cx, cy, r}, a, false);
                ++result.circles;
                return;
            }
            double sa = arc.sa + turn, ea = arc.ea + turn;
            if (m.det() < 0) {
                sa = turn - arc.ea;
                ea = turn - arc.sa;
            }
            record(ArcShape{cx, cy, r, normalDegrees(sa), normalDegrees(ea)}, a, false);
            ++result.arcs;
            return;
        }
        // Squeezed by its block: an ellipse, as lines.
        double sweep = arc.full ? 360 : normalDegrees(arc.ea - arc.sa);
        if (!arc.full && sweep == 0)
            sweep = 360;
        const double t0 = arc.sa * Pi / 180;
        curve([&](double t, double &x, double &y) {
            x = arc.cx + arc.r * std::cos(t);
            y = arc.cy + arc.r * std::sin(t);
            return true;
        }, t0, t0 + sweep * Pi / 180, arc.r, m, kind, a);
    }

    void one(const PEllipse &e, const char *kind, const Affine &m, const Attr &a, int)
    {
        double t0 = e.t0, t1 = e.t1;
        while (t1 <= t0)
            t1 += 2 * Pi;
        if (t1 - t0 > 2 * Pi)
            t1 = t0 + 2 * Pi;
        const double major = std::hypot(e.mx, e.my);
        curve([&](double t, double &x, double &y) {
            x = e.cx + e.mx * std::cos(t) + e.vx * std::sin(t);
            y = e.cy + e.my * std::cos(t) + e.vy * std::sin(t);
            return true;
        }, t0, t1, major, m, kind, a);
    }

    void one(const PSpline &s, const char *kind, const Affine &m, const Attr &a, int)
    {
        const double t0 = s.knots[size_t(s.degree)], t1 = s.knots[s.x.size()];
        std::vector<double> x, y;
        const double tol = localTolerance(m);
        const size_t spans = s.x.size() - size_t(s.degree);
        // Each knot span sampled, then halved where the chord strays from the curve.
        std::vector<double> ts;
        for (size_t i = 0; i <= spans * 4; ++i)
            ts.push_back(t0 + (t1 - t0) * double(i) / double(spans * 4));
        double px, py;
        if (!splinePoint(s, ts.front(), px, py)) {
            ++skipped[QString::fromLatin1(kind)];
            return;
        }
        x.push_back(px);
        y.push_back(py);
        for (size_t i = 1; i < ts.size(); ++i)
            refine(s, ts[i - 1], x.back(), y.back(), ts[i], tol, x, y, 0);
        polyline(x, y, m, kind, a);
    }

    void one(const PFit &f, const char *kind, const Affine &m, const Attr &a, int)
    {
        // Through its fit points as a Catmull-Rom curve: near enough where only they are kept.
        const size_t n = f.x.size();
        std::vector<double> x, y;
        const double tol = localTolerance(m);
        for (size_t i = 0; i + 1 < n; ++i) {
            const size_t i0 = i ? i - 1 : i, i2 = i + 1, i3 = std::min(n - 1, i + 2);
            const double length = std::hypot(f.x[i2] - f.x[i], f.y[i2] - f.y[i]);
            const int steps = std::clamp(int(std::ceil(std::sqrt(length / tol) / 2)), 1, 256);
            for (int k = i ? 1 : 0; k <= steps; ++k) {
                const double t = double(k) / steps, t2 = t * t, t3 = t2 * t;
                auto at = [&](const std::vector<double> &v) {
                    return 0.5 * (2 * v[i] + (-v[i0] + v[i2]) * t
                                  + (2 * v[i0] - 5 * v[i] + 4 * v[i2] - v[i3]) * t2
                                  + (-v[i0] + 3 * v[i] - 3 * v[i2] + v[i3]) * t3);
                };
                x.push_back(at(f.x));
                y.push_back(at(f.y));
            }
        }
        polyline(x, y, m, kind, a);
    }

    void one(const PText &t, const char *, const Affine &m, const Attr &a, int)
    {
        const double r = t.angle * Pi / 180;
        double x, y, dx, dy, ux, uy;
        m.map(t.x, t.y, x, y);
        m.mapVector(std::cos(r), std::sin(r), dx, dy);
        m.mapVector(-std::sin(r), std::cos(r), ux, uy);
        const double along = std::hypot(dx, dy), up = std::hypot(ux, uy);
        TextShape s;
        s.px = x;
        s.py = y;
        s.height = t.height * up;
        s.width = t.widthFactor != 1 ? s.height * t.widthFactor * (up > 0 ? along / up : 1) : 0;
        s.angle = normalDegrees(std::atan2(dy, dx) * 180 / Pi);
        s.anchor = int16_t(t.anchor);
        // A character the database's code page lacks would have to become another one.
        if (!ToCp932(t.text)) {
            ++skipped[QStringLiteral("CP932にない字を含む文字")];
            return;
        }
        s.text = fit(t.text);
        if (!finite({s.px, s.py, s.height, s.width, s.angle}) || !(s.height > 0)) {
            ++skipped[QStringLiteral("TEXT")];
            return;
        }
        record(s, a, true);
        ++result.texts;
    }

    void one(const PInsert &i, const char *kind, const Affine &m, const Attr &a, int depth)
    {
        const auto it = reader.blocks.find(i.block);
        const QString name = QString::fromLatin1(kind);
        if (it == reader.blocks.end() || depth >= DxfMaxNesting || i.sx == 0 || i.sy == 0) {
            ++skipped[name];
            return;
        }
        const Block &b = it->second;
        const long long copies = (long long)i.cols * i.rows;
        if (copies > DxfMaxEntities
            || (long long)(b.prims.size()) * copies + (long long)result.records.size()
                   > DxfMaxEntities) {
            failed = true;
            return;
        }
        const Affine mirror = i.mirror ? Affine::scale(-1, 1) : Affine();
        for (int row = 0; row < i.rows && !failed; ++row) {
            for (int col = 0; col < i.cols && !failed; ++col) {
                const Affine local = Affine::translate(i.x, i.y)
                                         .then(Affine::rotate(i.angle))
                                         .then(Affine::translate(col * i.colSp, row * i.rowSp))
                                         .then(Affine::scale(i.sx, i.sy))
                                         .then(Affine::translate(-b.bx, -b.by));
                expand(b.prims, m.then(mirror).then(local), a, depth + 1);
                for (const auto &[k, n] : b.skipped)
                    skipped[k] += n;
            }
        }
    }

    // Lines within the tolerance of a curve given by its parameter; radius bounds its
    // bending.
    template<class Point>
    void curve(Point at, double t0, double t1, double radius, const Affine &m, const char *kind,
               const Attr &a)
    {
        const double tol = localTolerance(m);
        const double step = radius > tol ? 2 * std::acos(1 - tol / radius) : Pi / 2;
        const int count = std::clamp(int(std::ceil((t1 - t0) / step)), 4, MaxCurveLines);
        std::vector<double> x, y;
        for (int k = 0; k <= count; ++k) {
            double px, py;
            at(t0 + (t1 - t0) * k / count, px, py);
            x.push_back(px);
            y.push_back(py);
        }
        if (!std::all_of(x.begin(), x.end(), [](double v) { return std::isfinite(v); })
            || !std::all_of(y.begin(), y.end(), [](double v) { return std::isfinite(v); })) {
            ++skipped[QString::fromLatin1(kind)];
            return;
        }
        polyline(x, y, m, kind, a);
    }

    void refine(const PSpline &s, double ta, double xa, double ya, double tb, double tol,
                std::vector<double> &x, std::vector<double> &y, int depth)
    {
        double xb, yb, xm, ym;
        const double tm = (ta + tb) / 2;
        if (!splinePoint(s, tb, xb, yb) || !splinePoint(s, tm, xm, ym))
            return;
        // The midpoint's distance from the chord.
        const double cx = xb - xa, cy = yb - ya, len = std::hypot(cx, cy);
        const double off = len > 0 ? std::abs((xm - xa) * cy - (ym - ya) * cx) / len
                                   : std::hypot(xm - xa, ym - ya);
        if (off > tol && depth < 24 && x.size() < size_t(MaxCurveLines)) {
            refine(s, ta, xa, ya, tm, tol, x, y, depth + 1);
            refine(s, tm, x.back(), y.back(), tb, tol, x, y, depth + 1);
            return;
        }
        x.push_back(xb);
        y.push_back(yb);
    }

    // Fits the text column, a text CP932 holds: at most its bytes.
    QString fit(const QString &text)
    {
        if (const std::optional<QByteArray> b = ToCp932(text); b && b->size() <= 255)
            return text;
        QString out;
        int bytes = 0;
        for (qsizetype i = 0; i < text.size(); ++i) {
            QString c = text.mid(i, text[i].isHighSurrogate() ? 2 : 1);
            if (c.size() == 2)
                ++i;
            const std::optional<QByteArray> b = ToCp932(c);
            if (!b || bytes + b->size() > 255)
                break;
            bytes += int(b->size());
            out += c;
        }
        ++result.textsChanged;
        return out;
    }
};

QString grouped(long long n)
{
    QString digits = QString::number(n);
    for (qsizetype i = digits.size() - 3; i > 0; i -= 3)
        digits.insert(i, u',');
    return digits;
}

// The file read: the rows it gives, what was left out, and the totals.
DxfImportResult finishImport(const DxfTarget &target, Reader &reader, const Prescan &pre)
{
    DxfImportResult result;
    Rows rows(target, reader, result);
    Emitter emitter(reader, rows, result);
    emitter.expand(reader.top, Affine(), Attr(), 0);
    if (emitter.failed) {
        DxfImportResult failed;
        failed.error = QStringLiteral("要素が多すぎるため読み込めません（%1 個まで）")
                           .arg(grouped(DxfMaxEntities));
        return failed;
    }
    rows.collect();
    std::map<QString, int> skipped = pre.skipped;
    for (const auto &[k, n] : reader.skipped)
        skipped[k] += n;
    for (const auto &[k, n] : emitter.skipped)
        skipped[k] += n;
    if (reader.paperSpace > 0)
        skipped[QStringLiteral("ペーパー空間の要素")] += reader.paperSpace;
    for (const auto &[k, n] : skipped) {
        result.skipped.emplace_back(k, n);
        result.skippedTotal += n;
    }
    std::stable_sort(result.skipped.begin(), result.skipped.end(),
                     [](const auto &a, const auto &b) { return a.second > b.second; });
    return result;
}


} // namespace

QString DxfPlainText(const QString &text)
{
    return specialCodes(resolveEscapes(text));
}

QStringList DxfMTextLines(const QString &text)
{
    QStringList lines;
    QString line;
    const qsizetype n = text.size();
    auto untilSemicolon = [&](qsizetype from) {
        const qsizetype end = text.indexOf(u';', from);
        return end < 0 ? n : end + 1;
    };
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = text[i];
        if (c == u'{' || c == u'}')
            continue;
        if (c == u'^' && i + 1 < n) {
            const QChar next = text[i + 1];
            if (next == u'J') {
                lines << line;
                line.clear();
            } else if (next == u'I') {
                line += u' ';
            } else if (next == u' ') {
                line += u'^';
            } else if (next != u'M') {
                line += c;
                line += next;
            }
            ++i;
            continue;
        }
        if (c != u'\\' || i + 1 >= n) {
            line += c;
            continue;
        }
        if (const qsizetype e = escapeAt(text, i, line)) {
            i += e - 1;
            continue;
        }
        const QChar code = text[i + 1];
        switch (code.unicode()) {
        case 'P':
        case 'X':
            lines << line;
            line.clear();
            ++i;
            break;
        case '~':
            line += u' ';
            ++i;
            break;
        case '\\':
        case '{':
        case '}':
            line += code;
            ++i;
            break;
        case 'L': case 'l': case 'O': case 'o': case 'K': case 'k': case 'N':
            ++i;
            break;
        case 'S': {
            // A stacked fraction: its two parts with a slash.
            const qsizetype end = untilSemicolon(i + 2);
            QString stack = text.mid(i + 2, end - i - 3);
            for (QChar &s : stack) {
                if (s == u'^' || s == u'#')
                    s = u'/';
            }
            line += stack.trimmed();
            i = end - 1;
            break;
        }
        case 'A': case 'C': case 'c': case 'F': case 'f': case 'H': case 'Q': case 'T':
        case 'W': case 'p':
            i = untilSemicolon(i + 2) - 1;
            break;
        default:
            line += c;
            break;
        }
    }
    lines << line;
    for (QString &l : lines)
        l = specialCodes(l);
    return lines;
}

// Coordinates are millimetres whatever $INSUNITS says: writers set it without meaning it.
struct DxfImport::Work
{
    Work(const QString &path, const DxfTarget &target)
        : path(path), target(target), pre(prescan(path)), reader(pre)
    {
    }

    QString path;
    DxfTarget target;
    Prescan pre;
    Reader reader;
    mutable std::ifstream in; // tellg is not const
    DL_Dxf dxf;
    qint64 size = 0;
    bool reading = false;
    DxfImportResult result;
    bool done = false;
};

DxfImport::DxfImport(const QString &path, const DxfTarget &target)
    : work(std::make_unique<Work>(path, target))
{
    Work &w = *work;
    if (!w.pre.error.isEmpty()) {
        w.result.error = w.pre.error;
        w.done = true;
        return;
    }
    w.size = QFileInfo(path).size();
    w.in.open(QFile::encodeName(path).toStdString(), std::ios::binary);
    if (!w.in) {
        w.result.error = QStringLiteral("ファイル「%1」を読み込めません").arg(path);
        w.done = true;
        return;
    }
    // in() on an empty stream only sets the reader's state up for a first group, so that
    // the file itself can then be read group by group.
    std::istringstream none;
    w.dxf.in(none, &w.reader);
    w.reading = true;
}

DxfImport::~DxfImport() = default;

bool DxfImport::Step(int ms)
{
    Work &w = *work;
    if (w.done)
        return false;
    QElapsedTimer clock;
    clock.start();
    try {
        bool more = true;
        // The clock is read every few hundred groups: a group is a microsecond or so.
        for (int n = 0; more; ++n) {
            more = w.dxf.readDxfGroups(w.in, &w.reader);
            if (n % 256 == 255 && clock.elapsed() >= ms)
                break;
        }
        if (more)
            return true;
        w.reading = false;
        w.reader.finish();
    } catch (...) {
        w.result = DxfImportResult();
        w.result.error = QStringLiteral("DXFファイルが壊れているため読み込めません");
        w.done = true;
        return false;
    }
    w.result = finishImport(w.target, w.reader, w.pre);
    w.done = true;
    return false;
}

double DxfImport::Progress() const
{
    const Work &w = *work;
    if (w.done)
        return 1;
    if (!w.reading || w.size <= 0)
        return 0;
    const std::streamoff at = w.in.tellg();
    return at < 0 ? 1 : std::min(1.0, double(at) / double(w.size));
}

DxfImportResult DxfImport::Take()
{
    while (Step(1000)) {
    }
    return std::move(work->result);
}

DxfImportResult ImportDxfFile(const QString &path, const DxfTarget &target)
{
    return DxfImport(path, target).Take();
}

bool DxfExtent(const DxfImportResult &result, PaperBox &box)
{
    bool any = false;
    auto take = [&](const PaperBox &b) {
        if (!any)
            box = b;
        box = {std::min(box.x1, b.x1), std::min(box.y1, b.y1), std::max(box.x2, b.x2),
               std::max(box.y2, b.y2)};
        any = true;
    };
    for (const EntityRecord &r : result.records) {
        if (const auto *l = std::get_if<LineShape>(&r.shape))
            take(Geometry::LineBox(*l));
        else if (const auto *c = std::get_if<CircleShape>(&r.shape))
            take(Geometry::CircleBox(*c));
        else if (const auto *a = std::get_if<ArcShape>(&r.shape))
            take(Geometry::ArcBox(*a));
        else if (const auto *t = std::get_if<TextShape>(&r.shape))
            take(Geometry::TextBox(Geometry::RefOf(*t), t->text));
    }
    return any;
}

bool DxfFarFromSheet(const PaperBox &box, double w, double h)
{
    const bool off = box.x2 < -w / 2 || box.x1 > w / 2 || box.y2 < -h / 2 || box.y1 > h / 2;
    return off || box.x2 - box.x1 > 2 * w || box.y2 - box.y1 > 2 * h;
}

int DxfFitScale(const PaperBox &box, double w, double h)
{
    const double need = std::max((box.x2 - box.x1) / (0.9 * w), (box.y2 - box.y1) / (0.9 * h));
    // The rows are at most a few million mm across (the reader's limit), so this ends.
    for (int decade = 1; decade <= 100000000; decade *= 10) {
        for (int step : {1, 2, 5}) {
            if (step * decade >= need)
                return step * decade;
        }
    }
    return 1000000000;
}

void DxfFitToSheet(DxfImportResult &result, const PaperBox &box, int n)
{
    const double cx = (box.x1 + box.x2) / 2, cy = (box.y1 + box.y2) / 2;
    const Geometry::Transform move = Geometry::Transform::Move(-cx, -cy);
    const Geometry::Transform scale = Geometry::Transform::Scale(0, 0, 1.0 / std::max(1, n));
    for (EntityRecord &r : result.records) {
        Geometry::Apply(move, r.shape);
        Geometry::Apply(scale, r.shape);
    }
    for (LayerRow &layer : result.layers)
        layer.scale = 1.0 / std::max(1, n);
}

QString DxfImportSummary(const DxfImportResult &r)
{
    if (!r.error.isEmpty())
        return r.error;
    QStringList parts;
    if (r.lines)
        parts << QStringLiteral("%1 本の線").arg(grouped(r.lines));
    if (r.circles)
        parts << QStringLiteral("%1 個の円").arg(grouped(r.circles));
    if (r.arcs)
        parts << QStringLiteral("%1 個の円弧").arg(grouped(r.arcs));
    if (r.texts)
        parts << QStringLiteral("%1 個の文字").arg(grouped(r.texts));
    QString s = parts.isEmpty() ? QStringLiteral("読み込める要素がありませんでした")
                                : parts.join(QStringLiteral("、")) + QStringLiteral("を読み込みました");
    if (r.skippedTotal > 0) {
        QStringList kinds;
        for (const auto &[k, n] : r.skipped)
            kinds << k + u' ' + grouped(n);
        s += QStringLiteral("（読み込めなかった要素 %1 個：%2）")
                 .arg(grouped(r.skippedTotal), kinds.join(QStringLiteral("、")));
    }
    if (r.layersShort > 0)
        s += QStringLiteral("。空きレイヤが足りないため %1 個のレイヤの要素を現在のレイヤに"
                            "入れました")
                 .arg(r.layersShort);
    if (r.textsChanged > 0)
        s += QStringLiteral("。%1 個の文字は長すぎるため 255 バイトに切り詰めました")
                 .arg(r.textsChanged);
    return s;
}
