#include "platform/files/HostNames.h"

namespace {

constexpr char16_t kRawByteBase = 0xDC00; // U+DC80..U+DCFF stand for the bytes 0x80..0xFF

bool isRawByte(char16_t c)
{
    return c >= 0xDC80 && c <= 0xDCFF;
}

// The length of the valid UTF-8 sequence at `at`, or 0 when the byte there starts none.
int validSequence(const unsigned char* s, qsizetype at, qsizetype size, char32_t& code)
{
    const unsigned char b0 = s[at];
    if (b0 < 0x80) {
        code = b0;
        return 1;
    }
    int length;
    char32_t minimum;
    if (b0 >= 0xC2 && b0 <= 0xDF) {
        length = 2;
        code = b0 & 0x1F;
        minimum = 0x80;
    } else if (b0 >= 0xE0 && b0 <= 0xEF) {
        length = 3;
        code = b0 & 0x0F;
        minimum = 0x800;
    } else if (b0 >= 0xF0 && b0 <= 0xF4) {
        length = 4;
        code = b0 & 0x07;
        minimum = 0x10000;
    } else {
        return 0;
    }
    if (at + length > size)
        return 0;
    for (int i = 1; i < length; ++i) {
        const unsigned char b = s[at + i];
        if ((b & 0xC0) != 0x80)
            return 0;
        code = (code << 6) | (b & 0x3F);
    }
    if (code < minimum || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
        return 0;
    return length;
}

}

namespace HostNames {

QString decode(const QByteArray& bytes)
{
    QString out;
    out.reserve(bytes.size());
    const auto* s = reinterpret_cast<const unsigned char*>(bytes.constData());
    for (qsizetype at = 0; at < bytes.size();) {
        char32_t code = 0;
        const int length = validSequence(s, at, bytes.size(), code);
        if (length == 0) {
            out.append(QChar(char16_t(kRawByteBase + s[at])));
            ++at;
            continue;
        }
        if (code >= 0x10000) {
            out.append(QChar(QChar::highSurrogate(code)));
            out.append(QChar(QChar::lowSurrogate(code)));
        } else {
            out.append(QChar(char16_t(code)));
        }
        at += length;
    }
    return out;
}

QByteArray encode(const QString& name)
{
    if (name.contains(QChar(u'\0')))
        return {};
    QByteArray out;
    out.reserve(name.size());
    for (qsizetype i = 0; i < name.size(); ++i) {
        const char16_t c = name[i].unicode();
        char32_t code = c;
        if (QChar::isHighSurrogate(c) && i + 1 < name.size() && QChar::isLowSurrogate(name[i + 1].unicode())) {
            code = QChar::surrogateToUcs4(c, name[i + 1].unicode());
            ++i;
        } else if (isRawByte(c)) {
            out.append(char(c - kRawByteBase));
            continue;
        } else if (QChar::isSurrogate(c)) {
            code = 0xFFFD; // a lone surrogate that stands for no byte has no UTF-8 form
        }
        if (code < 0x80) {
            out.append(char(code));
        } else if (code < 0x800) {
            out.append(char(0xC0 | (code >> 6)));
            out.append(char(0x80 | (code & 0x3F)));
        } else if (code < 0x10000) {
            out.append(char(0xE0 | (code >> 12)));
            out.append(char(0x80 | ((code >> 6) & 0x3F)));
            out.append(char(0x80 | (code & 0x3F)));
        } else {
            out.append(char(0xF0 | (code >> 18)));
            out.append(char(0x80 | ((code >> 12) & 0x3F)));
            out.append(char(0x80 | ((code >> 6) & 0x3F)));
            out.append(char(0x80 | (code & 0x3F)));
        }
    }
    return out;
}

bool hasRawBytes(const QString& name)
{
    for (QChar c : name)
        if (isRawByte(c.unicode()))
            return true;
    return false;
}

QString displayed(const QString& name)
{
    if (!hasRawBytes(name))
        return name;
    QString out;
    for (QChar c : name) {
        if (isRawByte(c.unicode()))
            out += QStringLiteral("\\x") + QString::number(c.unicode() - kRawByteBase, 16).toUpper();
        else
            out += c;
    }
    return out;
}

bool hasWindowsName(const QString& name)
{
    return !name.contains(u'\\');
}

}
