#include "platform/core/AnsiCodePage.h"

#include <unicode/ucnv.h>
#include <unicode/ucnv_cb.h>
#include <unicode/ucnv_err.h>

#include <algorithm>
#include <array>
#include <memory>

namespace {

// 0x80..0x9F differ from Latin-1; the rest of the page is Latin-1.
constexpr std::array<char16_t, 32> kHighControls = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

char encodeWestern(char16_t u)
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

// ICU's names for the Windows tables of each page: the Windows variants (CP932 rather than
// Shift_JIS, GBK, UHC, Big5 with Microsoft's additions), whose mappings are Windows' own.
const char* icuName(int page)
{
    switch (page) {
    case 874: return "windows-874-2000";
    case 932: return "ibm-943_P15A-2003";
    case 936: return "windows-936-2000";
    case 949: return "windows-949-2000";
    case 950: return "windows-950-2000";
    case 1250: return "windows-1250";
    case 1251: return "windows-1251";
    case 1253: return "windows-1253";
    case 1254: return "windows-1254";
    case 1255: return "windows-1255";
    case 1256: return "windows-1256";
    case 1257: return "windows-1257";
    case 1258: return "windows-1258";
    case 65001: return "UTF-8";
    default: return nullptr;
    }
}

// ICU's own substitute for an unmapped byte is U+001A in some tables, which would read as a
// control character that was in the file; every byte or sequence the page cannot map, a
// double-byte character cut short included, becomes U+FFFD instead.
void replaceInvalid(const void*, UConverterToUnicodeArgs* args, const char*, int32_t, UConverterCallbackReason reason,
                    UErrorCode* error)
{
    if (reason > UCNV_IRREGULAR) // reset, close and clone need nothing written
        return;
    static const UChar replacement = 0xFFFD;
    *error = U_ZERO_ERROR;
    ucnv_cbToUWriteUChars(args, &replacement, 1, 0, error);
}

struct ConverterCloser {
    void operator()(UConverter* converter) const { ucnv_close(converter); }
};
using Converter = std::unique_ptr<UConverter, ConverterCloser>;

Converter openConverter(int page)
{
    const char* name = icuName(page);
    if (!name)
        return nullptr;
    UErrorCode error = U_ZERO_ERROR;
    Converter converter(ucnv_open(name, &error));
    if (U_FAILURE(error))
        return nullptr;
    ucnv_setToUCallBack(converter.get(), replaceInvalid, nullptr, nullptr, nullptr, &error);
    ucnv_setFromUCallBack(converter.get(), UCNV_FROM_U_CALLBACK_SUBSTITUTE, nullptr, nullptr, nullptr, &error);
    ucnv_setSubstChars(converter.get(), "?", 1, &error);
    return U_SUCCESS(error) ? std::move(converter) : nullptr;
}

int currentPage = AnsiCodePage::kWestern;

// The converter of the page in use, one per thread (ICU's converters keep state); none for
// windows-1252, which has its own table.
UConverter* converter()
{
    thread_local Converter open;
    thread_local int openPage = 0;
    if (openPage != currentPage) {
        open = openConverter(currentPage);
        openPage = currentPage;
    }
    return open.get();
}

bool isControl(char b)
{
    return static_cast<unsigned char>(b) < 0x20 || b == 0x7F;
}

bool isAscii(std::string_view bytes)
{
    return std::all_of(bytes.begin(), bytes.end(), [](char b) { return static_cast<unsigned char>(b) < 0x80; });
}

void appendLatin1(QString& out, std::string_view bytes)
{
    const qsizetype start = out.size();
    out.resize(start + static_cast<qsizetype>(bytes.size()));
    QChar* dest = out.data() + start;
    for (unsigned char b : bytes)
        *dest++ = QChar(char16_t(b));
}

}

namespace AnsiCodePage {

bool isServed(int page)
{
    return page == kWestern || (icuName(page) && openConverter(page));
}

bool use(int page)
{
    if (!isServed(page))
        return false;
    currentPage = page;
    return true;
}

int current()
{
    return currentPage;
}

void appendDecoded(QString& out, std::string_view bytes)
{
    if (currentPage == kWestern) {
        const qsizetype start = out.size();
        out.resize(start + static_cast<qsizetype>(bytes.size()));
        QChar* dest = out.data() + start;
        for (unsigned char b : bytes)
            *dest++ = QChar(b >= 0x80 && b < 0xA0 ? kHighControls[b - 0x80] : char16_t(b));
        return;
    }
    // Every page maps ASCII to itself; most lines of a project file are ASCII.
    UConverter* page = converter();
    if (isAscii(bytes) || !page) {
        appendLatin1(out, bytes);
        return;
    }
    // One UTF-16 unit per byte at most: a double-byte character is one unit, and so is each
    // replaced byte. Control characters are no part of any character and every Windows page
    // maps them to themselves (ICU's CP932 table swaps three of them), so they are copied and
    // the text between them converted.
    const qsizetype start = out.size();
    out.resize(start + static_cast<qsizetype>(bytes.size()));
    UChar* const begin = reinterpret_cast<UChar*>(out.data() + start);
    UChar* const limit = begin + bytes.size();
    UChar* target = begin;
    const char* source = bytes.data();
    const char* const end = bytes.data() + bytes.size();
    while (source < end) {
        const char* control = std::find_if(source, end, isControl);
        if (control > source) {
            ucnv_resetToUnicode(page);
            UErrorCode error = U_ZERO_ERROR;
            ucnv_toUnicode(page, &target, limit, &source, control, nullptr, true, &error);
            if (U_FAILURE(error)) { // cannot happen with room for every byte: the rest as U+FFFD
                target = std::fill_n(target, control - source, UChar(0xFFFD));
                source = control;
            }
        }
        if (control < end)
            *target++ = static_cast<unsigned char>(*source++);
    }
    out.resize(start + (target - begin));
}

QString decode(std::string_view bytes)
{
    QString out;
    appendDecoded(out, bytes);
    return out;
}

int encodeChar(char16_t u, char out[2])
{
    if (u < 0x80) {
        out[0] = static_cast<char>(u);
        return 1;
    }
    if (currentPage == kWestern) {
        out[0] = encodeWestern(u);
        return out[0] == '?' ? 0 : 1;
    }
    UConverter* page = converter();
    if (!page || QChar::isSurrogate(u) || currentPage == 65001)
        return 0;
    ucnv_resetFromUnicode(page);
    UErrorCode error = U_ZERO_ERROR;
    char bytes[8];
    const int32_t n = ucnv_fromUChars(page, bytes, sizeof bytes, &u, 1, &error);
    // What the page lacks comes back as the substitute '?'.
    if (U_FAILURE(error) || n < 1 || n > 2 || (n == 1 && bytes[0] == '?'))
        return 0;
    std::copy_n(bytes, n, out);
    return n;
}

QByteArray encode(const QString& text)
{
    QByteArray out;
    if (currentPage == kWestern) {
        out.reserve(text.size());
        for (QChar c : text)
            out.append(encodeWestern(c.unicode()));
        return out;
    }
    UConverter* page = converter();
    if (!page)
        return text.toLatin1();
    // Two bytes per UTF-16 unit at most (UTF-8: three per unit, four per pair). Control
    // characters are copied, as when reading.
    out.resize(text.size() * (currentPage == 65001 ? 3 : 2) + 1);
    char* target = out.data();
    char* const limit = out.data() + out.size();
    const UChar* source = reinterpret_cast<const UChar*>(text.utf16());
    const UChar* const end = source + text.size();
    while (source < end) {
        const UChar* control = std::find_if(source, end, [](UChar u) { return u < 0x20 || u == 0x7F; });
        if (control > source) {
            ucnv_resetFromUnicode(page);
            UErrorCode error = U_ZERO_ERROR;
            ucnv_fromUnicode(page, &target, limit, &source, control, nullptr, true, &error);
            if (U_FAILURE(error)) {
                target = std::fill_n(target, control - source, '?');
                source = control;
            }
        }
        if (control < end)
            *target++ = static_cast<char>(*source++);
    }
    out.resize(target - out.constData());
    return out;
}

}
