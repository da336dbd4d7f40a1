#include "GbkText.h"

#include <iconv.h>

#include <cerrno>

namespace {

QByteArray Convert(const char* to, const char* from, const QByteArray& input, int* skipped = nullptr)
{
    if (input.isEmpty())
        return {};
    iconv_t cd = iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1))
        return {};
    QByteArray out;
    out.resize(input.size() * 2 + 16);
    char* inPtr = const_cast<char*>(input.constData());
    size_t inLeft = input.size();
    size_t written = 0;
    while (inLeft > 0) {
        char* outPtr = out.data() + written;
        size_t outLeft = out.size() - written;
        size_t rc = iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft);
        written = out.size() - outLeft;
        if (rc == static_cast<size_t>(-1)) {
            if (errno == E2BIG) {
                out.resize(out.size() * 2);
                continue;
            }
            // An invalid sequence: skip one byte and carry on, so that a
            // damaged file still yields the rest of its text.
            ++inPtr;
            --inLeft;
            if (skipped)
                ++*skipped;
        }
    }
    iconv_close(cd);
    out.resize(written);
    return out;
}

int CharBytes(char32_t ucs)
{
    if (ucs < 0x80)
        return 1;
    if (ucs > 0xFFFF)
        return 4; // GB18030 four-byte range
    return 2;
}

} // namespace

namespace Gbk {

QByteArray Encode(const QString& text)
{
    return Convert("GB18030", "UTF-8", text.toUtf8());
}

QString Decode(const QByteArray& bytes)
{
    return QString::fromUtf8(Convert("UTF-8", "GB18030", bytes));
}

QString Decode(const QByteArray& bytes, int* invalidBytes)
{
    *invalidBytes = 0;
    return QString::fromUtf8(Convert("UTF-8", "GB18030", bytes, invalidBytes));
}

int ByteLength(const QString& text)
{
    int total = 0;
    for (int i = 0; i < text.size(); ++i) {
        QChar c = text.at(i);
        if (c.isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate()) {
            total += 4;
            ++i;
        } else {
            total += CharBytes(c.unicode());
        }
    }
    return total;
}

QString Truncate(const QString& text, int maxBytes)
{
    if (maxBytes <= 0)
        return {};
    if (text.size() * 4 <= maxBytes)
        return text; // no character takes more than four bytes
    int total = 0;
    for (int i = 0; i < text.size(); ++i) {
        QChar c = text.at(i);
        int len = 1;
        int bytes;
        if (c.isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate()) {
            bytes = 4;
            len = 2;
        } else {
            bytes = CharBytes(c.unicode());
        }
        if (total + bytes > maxBytes)
            return text.left(i);
        total += bytes;
        i += len - 1;
    }
    return text;
}

} // namespace Gbk
