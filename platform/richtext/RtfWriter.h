#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringView>

// Writes rich text (RTF 1.x) as word processors read it: one font, the text's line breaks as
// paragraphs, bold, underlined and italic runs. Characters of the ANSI code page in use are
// written as its bytes (declared by \ansicpg and the font's character set), anything else as
// Unicode escapes with a "?" for older readers.
namespace RtfWriter {

struct Run {
    QString text;  // CR LF, a lone CR or a lone LF ends a paragraph
    bool bold = false;
    bool underline = false;
    bool italic = false;
};

// A document written run by run, straight into its bytes: the header when made, each run as it
// is added (a CR LF must not be split between two runs), the end by finish().
class Stream {
public:
    // `expectedLength` (characters of text to come) only sizes the buffer.
    Stream(const QString& fontName, double pointSize, qsizetype expectedLength = 0);
    void add(QStringView text, bool bold, bool underline, bool italic);
    // Closes the document and hands its bytes over; the stream is empty afterwards.
    QByteArray finish();

private:
    QByteArray out_;
    bool bold_ = false;
    bool underline_ = false;
    bool italic_ = false;
};

// The whole document: `runs` in order, in the face `fontName` at `pointSize` points (rounded to
// the half point rich text can say).
QByteArray Write(const QList<Run>& runs, const QString& fontName, double pointSize);

// `text` as rich-text body characters (escapes, \par for line breaks).
QByteArray EscapeText(const QString& text);
// The same, appended to `out`.
void AppendEscaped(QByteArray& out, QStringView text);

}
