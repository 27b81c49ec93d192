#include "db/textcodec.h"

#include <cerrno>
#include <iconv.h>

namespace {

// One pair of descriptors per thread, opened on first use: a result set converts every
// cell, and opening a descriptor per cell costs more than the conversion.
class Converters
{
public:
    Converters()
        : toCp932(iconv_open("CP932", "UTF-8")), fromCp932(iconv_open("UTF-8", "CP932"))
    {}
    ~Converters()
    {
        for (iconv_t cd : {toCp932, fromCp932}) {
            if (cd != iconv_t(-1))
                iconv_close(cd);
        }
    }
    Converters(const Converters &) = delete;
    Converters &operator=(const Converters &) = delete;

    iconv_t toCp932;
    iconv_t fromCp932;
};

Converters &converters()
{
    thread_local Converters c;
    return c;
}

// CP932 and UTF-8 agree on every byte below 0x80.
bool isAscii(const char *p, qsizetype n)
{
    for (qsizetype i = 0; i < n; ++i) {
        if (static_cast<unsigned char>(p[i]) >= 0x80)
            return false;
    }
    return true;
}

bool isAscii(const QString &text)
{
    for (QChar c : text) {
        if (c.unicode() >= 0x80)
            return false;
    }
    return true;
}

// Runs iconv over the whole input; stops at the first unconvertible sequence unless a
// replacement is given, in which case that byte is skipped and the replacement written.
bool convert(iconv_t cd, const QByteArray &in, QByteArray &out, const QByteArray *replacement)
{
    if (cd == iconv_t(-1))
        return false;
    // A conversion that stopped half-way must not leave its shift state to the next one.
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    out.clear();
    char *src = const_cast<char *>(in.constData());
    size_t srcLeft = size_t(in.size());
    char chunk[1024];
    while (srcLeft > 0) {
        char *dst = chunk;
        size_t dstLeft = sizeof chunk;
        const size_t r = iconv(cd, &src, &srcLeft, &dst, &dstLeft);
        out.append(chunk, qsizetype(dst - chunk));
        if (r != size_t(-1) || errno == E2BIG)
            continue;
        if (!replacement)
            return false;
        out.append(*replacement);
        ++src;
        --srcLeft;
    }
    return true;
}

} // namespace

std::optional<QByteArray> ToCp932(const QString &text)
{
    if (isAscii(text))
        return text.toLatin1();
    // QString::toUtf8 turns a lone surrogate into U+FFFD, which CP932 cannot hold either.
    QByteArray out;
    if (!convert(converters().toCp932, text.toUtf8(), out, nullptr))
        return std::nullopt;
    return out;
}

QString FromCp932(const QByteArray &bytes)
{
    if (isAscii(bytes.constData(), bytes.size()))
        return QString::fromLatin1(bytes);
    static const QByteArray replacement = QString(QChar(0xFFFD)).toUtf8();
    QByteArray out;
    convert(converters().fromCp932, bytes, out, &replacement);
    return QString::fromUtf8(out);
}
