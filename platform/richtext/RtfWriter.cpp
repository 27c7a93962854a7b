#include "platform/richtext/RtfWriter.h"

#include "platform/core/AnsiCodePage.h"

#include <cmath>

namespace RtfWriter {

namespace {

void appendHex(QByteArray& out, unsigned char byte)
{
    static const char digits[] = "0123456789abcdef";
    out += "\\'";
    out += digits[byte >> 4];
    out += digits[byte & 0x0F];
}

}

QByteArray EscapeText(const QString& text)
{
    QByteArray out;
    out.reserve(text.size() + text.size() / 8);
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        const char16_t u = c.unicode();
        if (u == u'\r' || u == u'\n') {
            if (u == u'\r' && i + 1 < text.size() && text.at(i + 1) == u'\n')
                ++i;
            out += "\\par\r\n";
        } else if (u == u'\\' || u == u'{' || u == u'}') {
            out += '\\';
            out += static_cast<char>(u);
        } else if (u == u'\t') {
            out += "\\tab ";
        } else if (u == 0x2028) {
            out += "\\line ";
        } else if (u >= 0x20 && u < 0x7F) {
            out += static_cast<char>(u);
        } else if (u < 0x20) {
            appendHex(out, static_cast<unsigned char>(u));
        } else {
            const QByteArray ansi = AnsiCodePage::encode(QString(c));
            if (ansi.size() == 1 && ansi[0] != '?') {
                appendHex(out, static_cast<unsigned char>(ansi[0]));
            } else {
                // A signed 16-bit number per UTF-16 unit, as the format wants.
                out += "\\u";
                out += QByteArray::number(static_cast<qint16>(u));
                out += '?';
            }
        }
    }
    return out;
}

QByteArray Write(const QList<Run>& runs, const QString& fontName, double pointSize)
{
    QByteArray out;
    out += "{\\rtf1\\ansi\\ansicpg1252\\deff0{\\fonttbl{\\f0\\fmodern\\fprq1\\fcharset0 ";
    out += EscapeText(fontName);
    out += ";}}\r\n";
    out += "\\viewkind4\\uc1\\pard\\f0\\fs";
    out += QByteArray::number(static_cast<long long>(std::lround(pointSize * 2)));
    out += ' ';
    bool bold = false, underline = false, italic = false;
    for (const Run& run : runs) {
        if (run.text.isEmpty())
            continue;
        QByteArray words;
        if (run.bold != bold)
            words += run.bold ? "\\b" : "\\b0";
        if (run.underline != underline)
            words += run.underline ? "\\ul" : "\\ulnone";
        if (run.italic != italic)
            words += run.italic ? "\\i" : "\\i0";
        if (!words.isEmpty())
            out += words + ' ';
        bold = run.bold;
        underline = run.underline;
        italic = run.italic;
        out += EscapeText(run.text);
    }
    out += "\r\n}\r\n";
    return out;
}

}
