#include "base/values.h"

#include <QCoreApplication>
#include <QDate>
#include <QEventLoop>
#include <QTime>
#include <QTimer>

#include <charconv>
#include <cmath>

namespace {

int hexDigit(QChar c)
{
    if (c >= u'0' && c <= u'9')
        return c.unicode() - u'0';
    if (c >= u'a' && c <= u'f')
        return c.unicode() - u'a' + 10;
    if (c >= u'A' && c <= u'F')
        return c.unicode() - u'A' + 10;
    return -1;
}

bool isControl(QChar c)
{
    return c.unicode() < 0x20;
}

} // namespace

qint32 StrToIntZ(const QString &text)
{
    qsizetype i = 0;
    const qsizetype n = text.size();
    while (i < n && text[i] == u' ')
        ++i;
    bool negative = false;
    if (i < n && (text[i] == u'+' || text[i] == u'-')) {
        negative = text[i] == u'-';
        ++i;
    }
    int base = 10;
    if (i < n && (text[i] == u'$' || text[i] == u'x' || text[i] == u'X')) {
        base = 16;
        ++i;
    } else if (i + 1 < n && text[i] == u'0' && (text[i + 1] == u'x' || text[i + 1] == u'X')) {
        base = 16;
        i += 2;
    }
    if (i == n)
        return 0;
    // Hexadecimal spells a 32-bit pattern ($FFFFFFFF is -1); decimal must be in range.
    const quint64 limit = base == 16 ? 0xFFFFFFFFull : (negative ? 2147483648ull : 2147483647ull);
    quint64 value = 0;
    for (; i < n; ++i) {
        const int d = hexDigit(text[i]);
        if (d < 0 || d >= base)
            return 0;
        value = value * base + quint64(d);
        if (value > limit)
            return 0;
    }
    const qint64 signedValue = base == 16 ? qint64(qint32(quint32(value))) : qint64(value);
    return qint32(negative ? -signedValue : signedValue);
}

double StrToFloatZ(const QString &text)
{
    // Only plain decimal notation: no "nan", "inf" or hexadecimal floats.
    const QByteArray s = text.toLatin1();
    qsizetype i = 0;
    const qsizetype n = text.size();
    while (i < n && text[i] == u' ')
        ++i;
    const qsizetype start = i;
    if (i < n && (text[i] == u'+' || text[i] == u'-'))
        ++i;
    qsizetype digits = 0;
    while (i < n && text[i] >= u'0' && text[i] <= u'9') {
        ++i;
        ++digits;
    }
    if (i < n && text[i] == u'.') {
        ++i;
        while (i < n && text[i] >= u'0' && text[i] <= u'9') {
            ++i;
            ++digits;
        }
    }
    if (digits == 0)
        return 0;
    if (i < n && (text[i] == u'e' || text[i] == u'E')) {
        ++i;
        if (i < n && (text[i] == u'+' || text[i] == u'-'))
            ++i;
        qsizetype expDigits = 0;
        while (i < n && text[i] >= u'0' && text[i] <= u'9') {
            ++i;
            ++expDigits;
        }
        if (expDigits == 0)
            return 0;
    }
    if (i != n)
        return 0;
    const char *first = s.constData() + start;
    if (*first == '+')
        ++first;
    double value = 0;
    const auto res = std::from_chars(first, s.constData() + n, value);
    if (res.ec != std::errc() || !std::isfinite(value))
        return 0;
    return value;
}

bool IsAllDigits(const QString &text)
{
    for (QChar c : text) {
        if (c < u'0' || c > u'9')
            return false;
    }
    return true;
}

bool IsValidDate(const QString &text)
{
    if (text.size() != 8 || !IsAllDigits(text))
        return false;
    const int year = StrToIntZ(text.left(4));
    const QDate date(year, StrToIntZ(text.mid(4, 2)), StrToIntZ(text.mid(6, 2)));
    return year >= 1 && date.isValid() && date >= QDate(1899, 12, 30);
}

QString RemoveBlanks(const QString &text)
{
    QString out;
    for (QChar c : text) {
        if (c != u' ' && c != QChar(0x3000) && !isControl(c))
            out.append(c);
    }
    return out;
}

QString RemoveQuotes(const QString &text)
{
    QString out;
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = text[i];
        if (c.isHighSurrogate()) {
            if (i + 1 < n && text[i + 1].isLowSurrogate()) {
                out.append(c);
                out.append(text[++i]);
            }
            continue;
        }
        if (c.isLowSurrogate() || c == u'\'' || c == u'"' || isControl(c))
            continue;
        out.append(c);
    }
    return out;
}

bool HasQuote(const QString &text)
{
    return text.contains(u'\'') || text.contains(u'"');
}

QString TextBeforeColon(const QString &text)
{
    const qsizetype at = text.indexOf(u':');
    return at < 0 ? QString() : text.left(at);
}

QString TextAfterColon(const QString &text)
{
    const qsizetype at = text.indexOf(u':');
    return at < 0 ? QString() : text.mid(at + 1);
}

void WaitTicks(int milliseconds)
{
    if (milliseconds <= 0 || QCoreApplication::closingDown())
        return;
    QEventLoop loop;
    QTimer::singleShot(milliseconds, &loop, &QEventLoop::quit);
    QObject::connect(QCoreApplication::instance(), &QCoreApplication::aboutToQuit, &loop,
                     &QEventLoop::quit);
    loop.exec();
}

PaperSize GetPaperSize(int index)
{
    static const PaperSize table[PaperSizeCount] = {
        {QStringLiteral("任意"), 100, 100},   {QStringLiteral("A0横"), 1189, 841},
        {QStringLiteral("A1横"), 841, 594},   {QStringLiteral("A2横"), 594, 420},
        {QStringLiteral("A3横"), 420, 297},   {QStringLiteral("A4横"), 297, 210},
        {QStringLiteral("A5横"), 210, 148},   {QStringLiteral("A0縦"), 841, 1189},
        {QStringLiteral("A1縦"), 594, 841},   {QStringLiteral("A2縦"), 420, 594},
        {QStringLiteral("A3縦"), 297, 420},   {QStringLiteral("A4縦"), 210, 297},
        {QStringLiteral("A5縦"), 148, 210},
    };
    return index >= 1 && index < PaperSizeCount ? table[index] : table[0];
}

QString TodayText()
{
    return QDate::currentDate().toString(QStringLiteral("yyyyMMdd"));
}

QString NowText()
{
    return QTime::currentTime().toString(QStringLiteral("HHmmss"));
}

QString FloatText(double value)
{
    return QString::number(value, 'g', 15);
}

QString DateMessage()
{
    return QStringLiteral("日付は yyyymmdd形式（例：20100101）で有効な内容を入力して下さい。");
}
