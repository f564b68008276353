// The parts of fileio.h that are the same on every system: host names as
// QString (bytes that are not UTF-8 travel as U+DC80..U+DCFF) and what a
// status says. On Windows the system's names are UTF-16 and reach the bytes
// as UTF-8, so the raw-byte form never comes from a listing there.
#include "fileio.h"
#include "files.h"

#include <algorithm>

namespace platform {

// ---- names ------------------------------------------------------------------

namespace {

constexpr char16_t kRawByteBase = 0xDC00; // + a byte of 0x80..0xFF

// Length of the valid UTF-8 sequence at p (at most n bytes), 0 when the
// bytes there are not one (overlong forms, surrogates and values above
// U+10FFFF are not), and its code point.
int utf8Sequence(const unsigned char *p, std::size_t n, char32_t &cp)
{
    const unsigned char b = p[0];
    int len;
    char32_t min;
    if (b < 0x80) {
        cp = b;
        return 1;
    } else if (b >= 0xC2 && b <= 0xDF) {
        len = 2, cp = b & 0x1F, min = 0x80;
    } else if (b >= 0xE0 && b <= 0xEF) {
        len = 3, cp = b & 0x0F, min = 0x800;
    } else if (b >= 0xF0 && b <= 0xF4) {
        len = 4, cp = b & 0x07, min = 0x10000;
    } else {
        return 0;
    }
    if (n < std::size_t(len))
        return 0;
    for (int i = 1; i < len; ++i) {
        if ((p[i] & 0xC0) != 0x80)
            return 0;
        cp = (cp << 6) | (p[i] & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
        return 0;
    return len;
}

bool isRawByteChar(char16_t c) { return c >= kRawByteBase + 0x80 && c <= kRawByteBase + 0xFF; }

} // namespace

QString hostNameFromBytes(const char *bytes, std::size_t len)
{
    const auto *p = reinterpret_cast<const unsigned char *>(bytes);
    if (std::all_of(p, p + len, [](unsigned char b) { return b < 0x80; })) // most names: a character a byte
        return QString::fromLatin1(bytes, qsizetype(len));
    std::size_t i = 0;
    char32_t cp;
    while (i < len) {
        const int n = utf8Sequence(p + i, len - i, cp);
        if (n == 0)
            break;
        i += std::size_t(n);
    }
    if (i == len)
        return QString::fromUtf8(bytes, qsizetype(len));
    QString out;
    out.reserve(qsizetype(len));
    for (i = 0; i < len;) {
        const int n = utf8Sequence(p + i, len - i, cp);
        if (n == 0) {
            out.append(QChar(char16_t(kRawByteBase + p[i])));
            ++i;
            continue;
        }
        if (cp >= 0x10000) {
            out.append(QChar(QChar::highSurrogate(cp)));
            out.append(QChar(QChar::lowSurrogate(cp)));
        } else {
            out.append(QChar(char16_t(cp)));
        }
        i += std::size_t(n);
    }
    return out;
}

bool hasRawBytes(const QString &name)
{
    const QChar *c = name.constData();
    for (qsizetype i = 0; i < name.size(); ++i) {
        if (c[i].isHighSurrogate() && i + 1 < name.size() && c[i + 1].isLowSurrogate())
            ++i;
        else if (isRawByteChar(c[i].unicode()))
            return true;
    }
    return false;
}

QByteArray hostNameBytes(const QString &name)
{
    const char16_t *c16 = QStringView(name).utf16();
    if (std::all_of(c16, c16 + name.size(), [](char16_t c) { return c < 0x80; })) { // a byte a character
        QByteArray out(name.size(), Qt::Uninitialized);
        std::transform(c16, c16 + name.size(), out.data(), [](char16_t c) { return char(c); });
        return out;
    }
    if (!hasRawBytes(name))
        return name.toUtf8();
    QByteArray out;
    out.reserve(name.size() * 3);
    const QChar *c = name.constData();
    for (qsizetype i = 0; i < name.size(); ++i) {
        if (c[i].isHighSurrogate() && i + 1 < name.size() && c[i + 1].isLowSurrogate()) {
            out += QStringView(c + i, 2).toUtf8();
            ++i;
        } else if (isRawByteChar(c[i].unicode())) {
            out += char(c[i].unicode() - kRawByteBase);
        } else {
            out += QStringView(c + i, 1).toUtf8();
        }
    }
    return out;
}

bool FileStatus::isFolder() const { return attrs >= 0 && (attrs & faDirectory); }

} // namespace platform
