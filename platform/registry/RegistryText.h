#pragma once

#include <QByteArray>
#include <QString>
#include <QStringView>
#include <cstdint>
#include <string_view>

// Wine's text form of registry data, as system.reg and user.reg hold it: the escapes of key
// names, value names and strings, and the value lines ("name"=data). The readers take any bytes
// and never read past what they are given; the writers write what Wine writes, so a key that we
// rewrite reads back in Wine exactly as it reads its own.
namespace RegistryText {

// Value types, numbered as Windows numbers them.
constexpr std::uint32_t REG_NONE = 0;
constexpr std::uint32_t REG_SZ = 1;
constexpr std::uint32_t REG_EXPAND_SZ = 2;
constexpr std::uint32_t REG_BINARY = 3;
constexpr std::uint32_t REG_DWORD = 4;
constexpr std::uint32_t REG_DWORD_BIG_ENDIAN = 5;
constexpr std::uint32_t REG_LINK = 6;
constexpr std::uint32_t REG_MULTI_SZ = 7;

// Longest key name (one path component) Wine accepts, in characters.
constexpr qsizetype kMaxKeyNameLength = 256;

// Decodes the escaped text at the start of `src` up to the first unescaped `endChar`, appending
// the characters to `out`. Escapes are Wine's: \\ \" \a \b \e \f \n \r \t \v, \x with up to four
// hex digits, \ with up to three octal digits, and a backslash before any other character stands
// for that character; bytes above 0x7F are read as UTF-8 (invalid ones are dropped). Returns the
// number of bytes read, end character included, or -1 when `src` has no unescaped `endChar`.
qsizetype unescape(std::string_view src, char endChar, QString& out);

// Appends `text` escaped as Wine escapes it: characters above 0x7F as \x escapes, controls as C
// or octal escapes, and a backslash before '\' and before the characters of `quoted` ("[]" in
// key names, "\"\"" in value names and strings).
void appendEscaped(QByteArray& out, QStringView text, const char* quoted);

// Appends the escaped form of a key path ("Software\\Classes\\.txt" in the file): the components
// of `path` (separated by single backslashes) escaped and joined by an escaped backslash.
void appendKeyPath(QByteArray& out, QStringView path);

// One value as a value line holds it.
struct ParsedValue {
    QString name;       // empty for the default value (@)
    std::uint32_t type = REG_NONE;
    QByteArray data;    // as Windows stores it: strings as UTF-16LE with their terminator
};

// Reads the value whose line starts at `text` (the line's leading blanks already skipped); a
// hex value goes on over the following lines of `text` while a line ends with a backslash and
// the next one starts with hex data (a line of anything else ends the value).
// On success fills `value`, sets `consumed` to the bytes of the lines used (their line ends
// included) and returns true. A line that is not a well-formed value returns false.
bool parseValue(std::string_view text, ParsedValue& value, qsizetype& consumed);

// Appends the value's line (or lines, for long hex data) as Wine writes them, each ended by
// `newline`: strings as "..." or str(N):"..." when properly terminated, 4-byte dwords as
// dword:, everything else as hex: or hex(N): wrapped before column 80.
void appendValue(QByteArray& out, const QString& name, std::uint32_t type, const QByteArray& data,
                 std::string_view newline);

// The text of a UTF-16LE string value up to its first terminator (or its end).
QString textOf(const QByteArray& utf16Data);

// UTF-16LE data of `text` with its terminator, as a string value stores it.
QByteArray utf16Data(QStringView text);

}
