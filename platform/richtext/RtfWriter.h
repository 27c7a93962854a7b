#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

// Writes rich text (RTF 1.x) as word processors read it: one font, the text's line breaks as
// paragraphs, bold, underlined and italic runs. Characters of the ANSI code page (windows-1252)
// are written as its bytes, anything else as Unicode escapes with a "?" for older readers.
namespace RtfWriter {

struct Run {
    QString text;  // CR LF, a lone CR or a lone LF ends a paragraph
    bool bold = false;
    bool underline = false;
    bool italic = false;
};

// The whole document: `runs` in order, in the face `fontName` at `pointSize` points (rounded to
// the half point rich text can say).
QByteArray Write(const QList<Run>& runs, const QString& fontName, double pointSize);

// `text` as rich-text body characters (escapes, \par for line breaks).
QByteArray EscapeText(const QString& text);

}
