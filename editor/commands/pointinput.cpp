#include "editor/commands/pointinput.h"

#include "editor/model/geometry.h"

#include <QRegularExpression>

#include <cmath>

namespace {

// Longer than any sane entry; beyond it the text is not read at all.
constexpr int MaxEntry = 64;
// Larger than any sheet by far, small enough that sums stay exact to the micrometre.
constexpr double MaxValue = 1e6;

// What a Japanese keyboard gives in full-width mode, as the ASCII the syntax is written in.
QString plain(const QString &text)
{
    QString out;
    out.reserve(text.size());
    for (QChar c : text) {
        const char16_t u = c.unicode();
        if (u >= 0xFF01 && u <= 0xFF5E)
            out += QChar(char16_t(u - 0xFEE0));
        else if (u == 0x3001)
            out += u',';
        else if (u == 0x3002)
            out += u'.';
        else if (u == 0x30FC || u == 0xFF70 || u == 0x2212 || (u >= 0x2010 && u <= 0x2015))
            out += u'-';
        else if (!c.isSpace())
            out += c;
    }
    return out;
}

bool number(const QString &text, double &value)
{
    static const QRegularExpression form(QStringLiteral("^[+-]?(\\d+\\.?\\d*|\\.\\d+)$"));
    if (!form.match(text).hasMatch())
        return false;
    bool ok = false;
    value = text.toDouble(&ok);
    return ok;
}

// Exact on the axes, so that "@10<90" lands on x itself.
void polar(double d, double degrees, double &dx, double &dy)
{
    const double a = Geometry::Normal(degrees);
    double c, s;
    if (a == 0) {
        c = 1, s = 0;
    } else if (a == 90) {
        c = 0, s = 1;
    } else if (a == 180) {
        c = -1, s = 0;
    } else if (a == 270) {
        c = 0, s = -1;
    } else {
        c = std::cos(a * Geometry::Pi / 180);
        s = std::sin(a * Geometry::Pi / 180);
    }
    dx = d * c;
    dy = d * s;
}

PointEntry bad(const QString &error)
{
    PointEntry e;
    e.kind = PointEntry::Bad;
    e.error = error;
    return e;
}

QString shown(const QString &text)
{
    const QString t = text.simplified();
    return t.size() > 20 ? t.left(20) + u'…' : t;
}

QString fixed(double v, int decimals)
{
    QString s = QString::number(v, 'f', decimals);
    if (s.contains(u'.')) {
        while (s.endsWith(u'0'))
            s.chop(1);
        if (s.endsWith(u'.'))
            s.chop(1);
    }
    return s == QLatin1String("-0") ? QStringLiteral("0") : s;
}

QString mm(double v)
{
    return fixed(v, 3) + QStringLiteral(" mm");
}

// A direction: 359.9999 shows as 0, not 360.
QString direction(double v, int decimals)
{
    const QString s = fixed(v, decimals);
    return (s == QLatin1String("360") ? QStringLiteral("0") : s) + u'°';
}

} // namespace

PointEntry ReadPointEntry(const QString &text, bool hasLast, double lastX, double lastY)
{
    if (text.size() > MaxEntry)
        return bad(QStringLiteral("入力が長すぎます"));
    QString t = plain(text);
    if (t.isEmpty())
        return {};
    const QString wrong = QStringLiteral("座標の入力が正しくありません：%1"
                                         "（x,y　@dx,dy　@長さ<角度　長さ）")
                              .arg(shown(text));
    const bool relative = t.startsWith(u'@');
    if (relative)
        t.remove(0, 1);
    const qsizetype angleAt = t.indexOf(u'<');
    const qsizetype commaAt = t.indexOf(u',');
    if (angleAt >= 0 && commaAt >= 0)
        return bad(wrong);
    const qsizetype at = angleAt >= 0 ? angleAt : commaAt;
    double a = 0, b = 0;
    if (at < 0) {
        if (relative || !number(t, a))
            return bad(wrong);
    } else if (!number(t.left(at), a) || !number(t.mid(at + 1), b)) {
        return bad(wrong);
    }
    if (!std::isfinite(a) || !std::isfinite(b) || std::fabs(a) > MaxValue
        || std::fabs(b) > MaxValue)
        return bad(QStringLiteral("値が大きすぎます：%1").arg(shown(text)));
    if (at < 0) {
        if (!hasLast)
            return bad(QStringLiteral("前の点が無いため長さだけの入力は使えません"));
        PointEntry e;
        e.kind = PointEntry::Length;
        e.length = a + 0.0;
        return e;
    }
    if (relative && !hasLast)
        return bad(QStringLiteral("前の点が無いため @ の入力は使えません"));
    double x = a, y = b;
    if (angleAt >= 0)
        polar(a, b, x, y);
    if (relative) {
        x += lastX;
        y += lastY;
    }
    if (!std::isfinite(x) || !std::isfinite(y))
        return bad(QStringLiteral("値が大きすぎます：%1").arg(shown(text)));
    PointEntry e;
    e.kind = PointEntry::Point;
    e.x = x + 0.0; // never -0
    e.y = y + 0.0;
    return e;
}

bool PointToward(double fromX, double fromY, double towardX, double towardY, double length,
                 double &x, double &y)
{
    const double dx = towardX - fromX, dy = towardY - fromY;
    const double d = std::hypot(dx, dy);
    if (!(d > 1e-9) || !std::isfinite(d) || !std::isfinite(length))
        return false;
    // Along an axis the point stays exact.
    x = fromX + (dy == 0 ? (dx > 0 ? length : -length) : length * dx / d);
    y = fromY + (dx == 0 ? (dy > 0 ? length : -length) : length * dy / d);
    return std::isfinite(x) && std::isfinite(y);
}

void HoldOrtho(double fromX, double fromY, double &x, double &y)
{
    if (std::fabs(y - fromY) > std::fabs(x - fromX))
        x = fromX;
    else
        y = fromY;
}

double DirectionOf(double x1, double y1, double x2, double y2)
{
    if (x1 == x2 && y1 == y2)
        return 0;
    return Geometry::Normal(std::atan2(y2 - y1, x2 - x1) * 180 / Geometry::Pi);
}

QString MeasureText(double x1, double y1, double x2, double y2)
{
    return QStringLiteral("距離 %1　角度 %2　ΔX %3　ΔY %4")
        .arg(mm(std::hypot(x2 - x1, y2 - y1)), direction(DirectionOf(x1, y1, x2, y2), 3),
             fixed(x2 - x1, 3), fixed(y2 - y1, 3));
}

QString MeasureText(const LineShape &l)
{
    return QStringLiteral("線分　長さ %1　角度 %2")
        .arg(mm(std::hypot(l.x2 - l.x1, l.y2 - l.y1)),
             direction(DirectionOf(l.x1, l.y1, l.x2, l.y2), 3));
}

QString MeasureText(const CircleShape &c)
{
    return QStringLiteral("円　半径 %1　円周 %2").arg(mm(c.r), mm(2 * Geometry::Pi * c.r));
}

QString MeasureText(const ArcShape &a)
{
    const double sweep = Geometry::Sweep(a.sa, a.ea);
    return QStringLiteral("円弧　半径 %1　角度 %2　弧長 %3")
        .arg(mm(a.r), fixed(sweep, 3) + u'°',
             mm(a.r * sweep * Geometry::Pi / 180));
}

QString RelativeText(double fromX, double fromY, double x, double y)
{
    return QStringLiteral("距離 %1　角度 %2")
        .arg(fixed(std::hypot(x - fromX, y - fromY), 2),
             direction(DirectionOf(fromX, fromY, x, y), 2));
}
