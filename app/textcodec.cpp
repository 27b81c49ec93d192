#include "app/textcodec.h"

#include <cerrno>
#include <iconv.h>

namespace {

// Runs iconv over the whole input; stops at the first unconvertible sequence unless a
// replacement is given, in which case that byte is skipped and the replacement written.
bool convert(const char *to, const char *from, const QByteArray &in, QByteArray &out,
             const QByteArray *replacement)
{
    iconv_t cd = iconv_open(to, from);
    if (cd == iconv_t(-1))
        return false;
    out.clear();
    char *src = const_cast<char *>(in.constData());
    size_t srcLeft = size_t(in.size());
    char chunk[1024];
    bool ok = true;
    while (srcLeft > 0) {
        char *dst = chunk;
        size_t dstLeft = sizeof chunk;
        const size_t r = iconv(cd, &src, &srcLeft, &dst, &dstLeft);
        out.append(chunk, int(dst - chunk));
        if (r != size_t(-1))
            continue;
        if (errno == E2BIG)
            continue;
        if (!replacement) {
            ok = false;
            break;
        }
        out.append(*replacement);
        ++src;
        --srcLeft;
    }
    iconv_close(cd);
    return ok;
}

} // namespace

std::optional<QByteArray> ToCp932(const QString &text)
{
    // QString::toUtf8 turns a lone surrogate into U+FFFD, which CP932 cannot hold either.
    QByteArray out;
    if (!convert("CP932", "UTF-8", text.toUtf8(), out, nullptr))
        return std::nullopt;
    return out;
}

QString FromCp932(const QByteArray &bytes)
{
    static const QByteArray replacement = QString(QChar(0xFFFD)).toUtf8();
    QByteArray out;
    convert("UTF-8", "CP932", bytes, out, &replacement);
    return QString::fromUtf8(out);
}
