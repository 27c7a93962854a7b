#include "platform/core/AnsiCodePage.h"

#include <array>

namespace {

// 0x80..0x9F differ from Latin-1; the rest of the page is Latin-1.
constexpr std::array<char16_t, 32> kHighControls = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

char encodeOne(char16_t u)
{
    if (u < 0x80 || (u >= 0xA0 && u <= 0xFF))
        return static_cast<char>(u);
    if (u > 0x2122) // past the highest of the page's own characters
        return '?';
    for (std::size_t i = 0; i < kHighControls.size(); ++i)
        if (kHighControls[i] == u)
            return static_cast<char>(0x80 + i);
    return '?';
}

}

namespace AnsiCodePage {

void appendDecoded(QString& out, std::string_view bytes)
{
    const qsizetype start = out.size();
    out.resize(start + static_cast<qsizetype>(bytes.size()));
    QChar* dest = out.data() + start;
    for (unsigned char b : bytes)
        *dest++ = QChar(b >= 0x80 && b < 0xA0 ? kHighControls[b - 0x80] : char16_t(b));
}

char encodeChar(char16_t u)
{
    return encodeOne(u);
}

QString decode(std::string_view bytes)
{
    QString out;
    appendDecoded(out, bytes);
    return out;
}

QByteArray encode(const QString& text)
{
    QByteArray out;
    out.reserve(text.size());
    for (QChar c : text)
        out.append(encodeOne(c.unicode()));
    return out;
}

}
