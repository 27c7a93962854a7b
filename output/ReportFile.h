#pragma once

#include <QString>

// How a saved report's name decides its format: a name without any "." (anywhere in the path)
// gets ".rtf" and is saved as rich text; otherwise its last three characters, upper-cased, decide:
// "RTF" rich text, anything else ("TXT" included) plain text, under the name as given.
struct ReportFile {
    QString name;
    int format;  // RichTextFormat::rtfRTF or rtfText
};
ReportFile ReportFileFor(const QString& chosenName);
