#pragma once

#include <QString>

// How a saved report's name decides its format: a name whose last component (after the last "\"
// or "/") holds no "." gets ".rtf" and is saved as rich text (a "." in a folder's name counts
// for nothing); otherwise its last three characters, upper-cased, decide:
// "RTF" rich text, anything else ("TXT" included) plain text, under the name as given.
struct ReportFile {
    QString name;
    int format;  // RichTextFormat::rtfRTF or rtfText
};
ReportFile ReportFileFor(const QString& chosenName);
