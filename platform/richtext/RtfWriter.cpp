#include "platform/richtext/RtfWriter.h"

#include "platform/core/AnsiCodePage.h"

#include <cmath>

namespace RtfWriter {

namespace {

// The font character set that goes with an ANSI code page: word processors read a double-byte
// character's two \'hh by the font's set, not by \ansicpg alone.
int fontCharset(int page)
{
    switch (page) {
    case 874: return 222;
    case 932: return 128;
    case 936: return 134;
    case 949: return 129;
    case 950: return 136;
    case 1250: return 238;
    case 1251: return 204;
    case 1253: return 161;
    case 1254: return 162;
    case 1255: return 177;
    case 1256: return 178;
    case 1257: return 186;
    case 1258: return 163;
    default: return 0;
    }
}

void appendHex(QByteArray& out, unsigned char byte)
{
    static const char digits[] = "0123456789abcdef";
    const char escape[4] = {'\\', '\'', digits[byte >> 4], digits[byte & 0x0F]};
    out.append(escape, 4);
}

}

void AppendEscaped(QByteArray& out, QStringView text)
{
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t u = text[i].unicode();
        if (u >= 0x20 && u < 0x7F && u != u'\\' && u != u'{' && u != u'}') {
            // Plain characters go over in one piece, up to the next one that needs care.
            qsizetype end = i + 1;
            while (end < text.size()) {
                const char16_t v = text[end].unicode();
                if (v < 0x20 || v >= 0x7F || v == u'\\' || v == u'{' || v == u'}')
                    break;
                ++end;
            }
            const qsizetype start = out.size();
            out.resize(start + (end - i));
            char* dest = out.data() + start;
            for (qsizetype k = i; k < end; ++k)
                *dest++ = static_cast<char>(text[k].unicode());
            i = end - 1;
        } else if (u == u'\r' || u == u'\n') {
            if (u == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n')
                ++i;
            out += "\\par\r\n";
        } else if (u == u'\\' || u == u'{' || u == u'}') {
            out += '\\';
            out += static_cast<char>(u);
        } else if (u == u'\t') {
            out += "\\tab ";
        } else if (u == 0x2028) {
            out += "\\line ";
        } else if (u < 0x20) {
            appendHex(out, static_cast<unsigned char>(u));
        } else {
            char ansi[2];
            if (const int n = AnsiCodePage::encodeChar(u, ansi); n > 0) {
                for (int k = 0; k < n; ++k)
                    appendHex(out, static_cast<unsigned char>(ansi[k]));
            } else {
                // A signed 16-bit number per UTF-16 unit, as the format wants.
                out += "\\u";
                out += QByteArray::number(static_cast<qint16>(u));
                out += '?';
            }
        }
    }
}

QByteArray EscapeText(const QString& text)
{
    QByteArray out;
    out.reserve(text.size() + text.size() / 8);
    AppendEscaped(out, text);
    return out;
}

Stream::Stream(const QString& fontName, double pointSize, qsizetype expectedLength)
{
    out_.reserve(expectedLength + expectedLength / 8 + 256);
    // UTF-8 as the ANSI page has no RTF form: what is not ASCII then goes as \uN.
    const int page = AnsiCodePage::current() == 65001 ? AnsiCodePage::kWestern : AnsiCodePage::current();
    out_ += "{\\rtf1\\ansi\\ansicpg" + QByteArray::number(page) + "\\deff0{\\fonttbl{\\f0\\fmodern\\fprq1\\fcharset"
          + QByteArray::number(fontCharset(page)) + ' ';
    AppendEscaped(out_, fontName);
    out_ += ";}}\r\n";
    out_ += "\\viewkind4\\uc1\\pard\\f0\\fs";
    out_ += QByteArray::number(static_cast<long long>(std::lround(pointSize * 2)));
    out_ += ' ';
}

void Stream::add(QStringView text, bool bold, bool underline, bool italic)
{
    if (text.isEmpty())
        return;
    const qsizetype before = out_.size();
    if (bold != bold_)
        out_ += bold ? "\\b" : "\\b0";
    if (underline != underline_)
        out_ += underline ? "\\ul" : "\\ulnone";
    if (italic != italic_)
        out_ += italic ? "\\i" : "\\i0";
    if (out_.size() != before)
        out_ += ' ';
    bold_ = bold;
    underline_ = underline;
    italic_ = italic;
    AppendEscaped(out_, text);
}

QByteArray Stream::finish()
{
    out_ += "\r\n}\r\n";
    return std::move(out_);
}

QByteArray Write(const QList<Run>& runs, const QString& fontName, double pointSize)
{
    Stream stream(fontName, pointSize);
    for (const Run& run : runs)
        stream.add(run.text, run.bold, run.underline, run.italic);
    return stream.finish();
}

}
