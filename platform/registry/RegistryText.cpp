#include "platform/registry/RegistryText.h"

#include <QtEndian>
#include <cstring>
#include <optional>

namespace RegistryText {

namespace {

// The byte at `i`, or 0 past the end: the text ends at its end or at a NUL byte, as a C string would.
inline unsigned char byteAt(std::string_view s, std::size_t i)
{
    return i < s.size() ? static_cast<unsigned char>(s[i]) : 0;
}

inline int hexValue(unsigned char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

inline bool isSpace(unsigned char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}

// Reads one UTF-8 sequence whose lead byte is at `i` (already known to be above 0x7F) and
// appends its character; an invalid sequence appends nothing. Returns the position after what
// was taken.
std::size_t appendUtf8(std::string_view s, std::size_t i, QString& out)
{
    const unsigned char lead = byteAt(s, i++);
    int following = lead >= 0xF0 ? (lead <= 0xF4 ? 3 : -1) : lead >= 0xE0 ? 2 : lead >= 0xC2 ? 1 : -1;
    if (following < 0)
        return i;
    static const unsigned masks[4] = {0x7F, 0x1F, 0x0F, 0x07};
    static const char32_t minimum[4] = {0, 0x80, 0x800, 0x10000};
    const int length = following;
    char32_t code = lead & masks[length];
    for (; following > 0; --following) {
        const unsigned char c = byteAt(s, i) ^ 0x80;
        if (c >= 0x40)
            return i;
        code = (code << 6) | c;
        ++i;
    }
    if (code < minimum[length] || code > 0x10FFFF)
        return i;
    if (code <= 0xFFFF) {
        out.append(QChar(char16_t(code)));
    } else {
        code -= 0x10000;
        out.append(QChar(char16_t(0xD800 | (code >> 10))));
        out.append(QChar(char16_t(0xDC00 | (code & 0x3FF))));
    }
    return i;
}

void appendHexByte(QByteArray& out, unsigned char b)
{
    static const char digits[] = "0123456789abcdef";
    out.append(digits[b >> 4]);
    out.append(digits[b & 0xF]);
}

void appendHexNumber(QByteArray& out, std::uint32_t n, int minDigits)
{
    char buffer[8];
    int count = 0;
    do {
        buffer[count++] = "0123456789abcdef"[n & 0xF];
        n >>= 4;
    } while (n != 0);
    while (count < minDigits)
        buffer[count++] = '0';
    while (count > 0)
        out.append(buffer[--count]);
}

// One line of `text` from `start`: its content without the line end, and the start of the next.
std::string_view lineAt(std::string_view text, std::size_t start, std::size_t& next)
{
    const std::size_t end = text.find('\n', start);
    next = end == std::string_view::npos ? text.size() : end + 1;
    std::size_t stop = end == std::string_view::npos ? text.size() : end;
    if (stop > start && text[stop - 1] == '\r')
        --stop;
    return text.substr(start, stop - start);
}

// Hex pairs separated by commas, as many as stand at the start of `s`; returns the bytes read,
// or -1 when a number does not fit in a byte.
qsizetype parseHexList(std::string_view s, QByteArray& data)
{
    std::size_t p = 0;
    while (hexValue(byteAt(s, p)) >= 0) {
        unsigned value = 0;
        while (hexValue(byteAt(s, p)) >= 0) {
            value = value * 16 + static_cast<unsigned>(hexValue(byteAt(s, p)));
            if (value > 0xFF)
                return -1;
            ++p;
        }
        data.append(static_cast<char>(value));
        while (isSpace(byteAt(s, p)))
            ++p;
        if (byteAt(s, p) == ',')
            ++p;
        while (isSpace(byteAt(s, p)))
            ++p;
    }
    return static_cast<qsizetype>(p);
}

// A hexadecimal number as strtoul reads it (no sign or 0x), cut to 32 bits; an overflow of
// 64 bits gives all ones, as strtoul's saturation does.
std::uint32_t parseHexNumber(std::string_view s, std::size_t& p)
{
    while (isSpace(byteAt(s, p)))
        ++p;
    std::uint64_t value = 0;
    bool overflow = false;
    while (hexValue(byteAt(s, p)) >= 0) {
        if (value >> 60)
            overflow = true;
        value = (value << 4) | static_cast<unsigned>(hexValue(byteAt(s, p)));
        ++p;
    }
    return overflow ? 0xFFFFFFFFu : static_cast<std::uint32_t>(value);
}

bool startsWith(std::string_view s, std::size_t at, std::string_view prefix)
{
    return s.size() - at >= prefix.size() && s.compare(at, prefix.size(), prefix) == 0;
}

}

qsizetype unescape(std::string_view src, char endChar, QString& out)
{
    std::size_t p = 0;
    for (;;) {
        unsigned char c = byteAt(src, p);
        if (c == 0)
            return -1;
        if (c == static_cast<unsigned char>(endChar))
            return static_cast<qsizetype>(p + 1);
        if (c == '\\') {
            ++p;
            c = byteAt(src, p);
            if (c == 0)
                return -1;
            char16_t simple = 0;
            switch (c) {
            case 'a': simple = 0x07; break;
            case 'b': simple = 0x08; break;
            case 'e': simple = 0x1B; break;
            case 'f': simple = 0x0C; break;
            case 'n': simple = 0x0A; break;
            case 'r': simple = 0x0D; break;
            case 't': simple = 0x09; break;
            case 'v': simple = 0x0B; break;
            default: break;
            }
            if (simple != 0) {
                out.append(QChar(simple));
                ++p;
                continue;
            }
            if (c == 'x') {
                ++p;
                if (hexValue(byteAt(src, p)) < 0) {
                    out.append(u'x');
                    continue;
                }
                unsigned value = 0;
                for (int digits = 0; digits < 4 && hexValue(byteAt(src, p)) >= 0; ++digits, ++p)
                    value = value * 16 + static_cast<unsigned>(hexValue(byteAt(src, p)));
                out.append(QChar(char16_t(value)));
                continue;
            }
            if (c >= '0' && c <= '7') {
                unsigned value = 0;
                for (int digits = 0; digits < 3 && byteAt(src, p) >= '0' && byteAt(src, p) <= '7'; ++digits, ++p)
                    value = value * 8 + (byteAt(src, p) - '0');
                out.append(QChar(char16_t(value)));
                continue;
            }
            // Any other escaped character stands for itself.
        }
        if (c < 0x80) {
            out.append(QChar(char16_t(c)));
            ++p;
        } else {
            p = appendUtf8(src, p, out);
        }
    }
}

void appendEscaped(QByteArray& out, QStringView text, const char* quoted)
{
    static const char cEscapes[33] = ".......abtnvfr.............e....";
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t c = text[i].unicode();
        const bool hasNext = i + 1 < n;
        const char16_t next = hasNext ? text[i + 1].unicode() : 0;
        if (c > 127) {
            out.append("\\x");
            const bool nextIsHexDigit = hasNext && next < 128 && hexValue(static_cast<unsigned char>(next)) >= 0;
            appendHexNumber(out, c, nextIsHexDigit ? 4 : 1);
            continue;
        }
        if (c < 32) {
            out.append('\\');
            if (cEscapes[c] != '.') {
                out.append(cEscapes[c]);
            } else {
                const bool nextIsOctal = hasNext && next >= '0' && next <= '7';
                char octal[3] = {char('0' + (c >> 6)), char('0' + ((c >> 3) & 7)), char('0' + (c & 7))};
                if (nextIsOctal)
                    out.append(octal, 3);
                else if (c >= 8)
                    out.append(octal + 1, 2);
                else
                    out.append(octal[2]);
            }
            continue;
        }
        if (c == '\\' || c == static_cast<unsigned char>(quoted[0]) || c == static_cast<unsigned char>(quoted[1]))
            out.append('\\');
        out.append(static_cast<char>(c));
    }
}

void appendKeyPath(QByteArray& out, QStringView path)
{
    // A separator escapes to the doubled backslash that joins components in the file.
    appendEscaped(out, path, "[]");
}

namespace {

void skipBlanks(std::string_view line, std::size_t& p)
{
    while (isSpace(byteAt(line, p)))
        ++p;
}

// The value's name at the start of its line: "name" escaped, or @ for the default value (an
// empty name). Moves `p` past it; false for a line that starts with neither.
bool readValueName(std::string_view line, std::size_t& p, QString& name)
{
    if (byteAt(line, 0) == '@') {
        p = 1;
        return true;
    }
    if (byteAt(line, 0) != '"')
        return false;
    const qsizetype read = unescape(line.substr(1), '"', name);
    if (read < 0)
        return false;
    p = 1 + static_cast<std::size_t>(read);
    return true;
}

// The '=' between name and data, blanks allowed around it. Moves `p` to the data.
bool readEquals(std::string_view line, std::size_t& p)
{
    skipBlanks(line, p);
    if (byteAt(line, p) != '=')
        return false;
    ++p;
    skipBlanks(line, p);
    return true;
}

// The string forms of data, by what stands before the text's opening quote.
struct StringForm {
    std::string_view prefix;
    std::uint32_t type;
};
constexpr StringForm kStringForms[] = {
    {"\"", REG_SZ}, {"str:\"", REG_SZ}, {"str(2):\"", REG_EXPAND_SZ}, {"str(7):\"", REG_MULTI_SZ}};

// The hex data of the line after the value's last one, when the value goes on there (the line
// starts, after blanks, with a hex digit); `next` then moves past that line. Any other line, or
// none, ends the value with what was read.
std::optional<std::string_view> continuationLine(std::string_view text, std::size_t& next)
{
    std::size_t after = next;
    const std::string_view following = next < text.size() ? lineAt(text, next, after) : std::string_view();
    std::size_t skip = 0;
    skipBlanks(following, skip);
    if (hexValue(byteAt(following, skip)) < 0)
        return std::nullopt;
    next = after;
    return following.substr(skip);
}

// Hex bytes from `rest` on, over the following lines of `text` while a line ends with a
// backslash (see continuationLine). `next` is the start of the line after `rest`'s and moves
// past the lines used. False when a byte does not fit or something other than a backslash
// follows the bytes.
bool readHexLines(std::string_view text, std::string_view rest, std::size_t& next, QByteArray& data)
{
    for (;;) {
        const qsizetype read = parseHexList(rest, data);
        if (read < 0)
            return false;
        std::size_t q = static_cast<std::size_t>(read);
        skipBlanks(rest, q);
        if (byteAt(rest, q) == 0)
            return true;
        if (byteAt(rest, q) != '\\')
            return false;
        const std::optional<std::string_view> following = continuationLine(text, next);
        if (!following)
            return true;
        rest = *following;
    }
}

// The data from `p` of the value's first line on: a string form, dword:, hex: or hex(N):.
// Hex data may go on over the following lines (see readHexLines). False for data of no form.
bool readData(std::string_view text, std::string_view line, std::size_t p, std::size_t& next, ParsedValue& value)
{
    for (const StringForm& form : kStringForms) {
        if (!startsWith(line, p, form.prefix))
            continue;
        QString chars;
        if (unescape(line.substr(p + form.prefix.size()), '"', chars) < 0)
            return false;
        value.type = form.type;
        value.data = utf16Data(chars);
        return true;
    }
    if (startsWith(line, p, "dword:")) {
        p += 6;
        const std::uint32_t number = parseHexNumber(line, p);
        value.type = REG_DWORD;
        value.data.resize(4);
        qToLittleEndian(number, value.data.data());
        return true;
    }
    if (startsWith(line, p, "hex:")) {
        value.type = REG_BINARY;
        p += 4;
    } else if (startsWith(line, p, "hex(")) {
        p += 4;
        value.type = parseHexNumber(line, p);
        if (!startsWith(line, p, "):"))
            return false;
        p += 2;
    } else {
        return false;
    }
    return readHexLines(text, line.substr(p), next, value.data);
}

}

bool parseValue(std::string_view text, ParsedValue& value, qsizetype& consumed)
{
    std::size_t next = 0;
    const std::string_view line = lineAt(text, 0, next);
    std::size_t p = 0;
    ParsedValue parsed;
    if (!readValueName(line, p, parsed.name) || !readEquals(line, p) || !readData(text, line, p, next, parsed))
        return false;
    value = std::move(parsed);
    consumed = static_cast<qsizetype>(next);
    return true;
}

void appendValue(QByteArray& out, const QString& name, std::uint32_t type, const QByteArray& data,
                 std::string_view newline)
{
    const qsizetype lineStart = out.size();
    if (name.isEmpty()) {
        out.append("@=");
    } else {
        out.append('"');
        appendEscaped(out, name, "\"\"");
        out.append("\"=");
    }

    const qsizetype length = data.size();
    if (type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ) {
        const bool terminated = length >= 2 && length % 2 == 0 && data[length - 1] == 0 && data[length - 2] == 0;
        if (terminated) {
            if (type != REG_SZ) {
                out.append("str(");
                appendHexNumber(out, type, 1);
                out.append("):");
            }
            out.append('"');
            QString chars(length / 2 - 1, Qt::Uninitialized);
            for (qsizetype i = 0; i < chars.size(); ++i)
                chars[i] = QChar(qFromLittleEndian<char16_t>(data.constData() + 2 * i));
            appendEscaped(out, chars, "\"\"");
            out.append('"');
            out.append(newline.data(), static_cast<qsizetype>(newline.size()));
            return;
        }
    } else if (type == REG_DWORD && length == 4) {
        out.append("dword:");
        appendHexNumber(out, qFromLittleEndian<std::uint32_t>(data.constData()), 8);
        out.append(newline.data(), static_cast<qsizetype>(newline.size()));
        return;
    }

    if (type == REG_BINARY) {
        out.append("hex:");
    } else {
        out.append("hex(");
        appendHexNumber(out, type, 1);
        out.append("):");
    }
    // The column count follows Wine's: the line so far, two per byte, one per comma.
    qsizetype count = out.size() - lineStart;
    for (qsizetype i = 0; i < length; ++i) {
        appendHexByte(out, static_cast<unsigned char>(data[i]));
        count += 2;
        if (i < length - 1) {
            out.append(',');
            if (++count > 76) {
                out.append('\\');
                out.append(newline.data(), static_cast<qsizetype>(newline.size()));
                out.append("  ");
                count = 2;
            }
        }
    }
    out.append(newline.data(), static_cast<qsizetype>(newline.size()));
}

QString textOf(const QByteArray& utf16Data)
{
    const qsizetype units = utf16Data.size() / 2;
    QString text;
    text.reserve(units);
    for (qsizetype i = 0; i < units; ++i) {
        const char16_t c = qFromLittleEndian<char16_t>(utf16Data.constData() + 2 * i);
        if (c == 0)
            break;
        text.append(QChar(c));
    }
    return text;
}

QByteArray utf16Data(QStringView text)
{
    QByteArray data(2 * (text.size() + 1), '\0');
    for (qsizetype i = 0; i < text.size(); ++i)
        qToLittleEndian<char16_t>(text[i].unicode(), data.data() + 2 * i);
    return data;
}

}
