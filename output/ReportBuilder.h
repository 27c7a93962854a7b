#pragma once

// The dependency report "Informe de Dependencias": its text, detailed or summary, and its styling.

#include <QList>
#include <QString>
#include <QStringList>

#include "platform/richtext/RichTextBox.h"

class Catalogue;
class RichTextBox;
class StatusBarControl;
class TreeControl;
struct ProjectEntry;

// Where the report shows how far it has got: the progress dialog in the window program, nothing
// in the command-line tool.
class ReportProgress {
public:
    virtual ~ReportProgress() = default;
    // The project being written.
    virtual void SetProject(const QString& name) = 0;
    // The number of the block being written, from 1 to the number of checked project nodes.
    virtual void SetValue(double value) = 0;
    // The report is built.
    virtual void Close() = 0;
};

// The report's two forms.
enum class ReportKind { Detallado = 0, Resumido = 1 };
// The form a Tipo number names: 0 detailed, every other value summary.
ReportKind ReportKindOf(int Tipo);

inline const QString ReportTitle = QStringLiteral("Informe de Dependencias");

// The labels of the detailed form, 14 characters each, in the order they are styled.
const QStringList& DetailLabels();

// The dependency report "Informe de Dependencias" of the checked project nodes of `tree` (keys
// starting with "k"), in node order: node "k<i>" stands for project i of `catalogue`, whose line
// (summary) or block (detailed) it writes once. A node whose key names no project writes
// nothing. `progress` (may be null) is told each project's name and each block's number. Lines
// end with CR LF.
QString ReportText(ReportKind Tipo, const TreeControl& tree, const Catalogue& catalogue, ReportProgress* progress);

// One summary line: the name padded with blanks to column 40, " - ", the project's file name.
QString SummaryLine(const ProjectEntry& project);
// One detailed block: the project line, eight lines per dependency, a closing empty line.
QString DetailedBlock(const ProjectEntry& project);

// The whole build of the report window: status panel 1 says what is running, the text goes into
// `txt`, the title (and in the detailed form the labels) are styled, the panel ends with
// "Listo!" and `progress` is closed.
void BuildReport(ReportKind Tipo, const TreeControl& tree, const Catalogue& catalogue, StatusBarControl& status,
                 ReportProgress* progress, RichTextBox& txt);

// Makes every occurrence of `text` in the control bold, underlined when `underline`, italic when
// `italic`; searching goes on one character after the start of each find. Leaves nothing selected
// and no insertion style.
void ResaltaTexto(RichTextBox& control, const QString& text, bool underline, bool italic);

// A text to style with ResaltaTextos.
struct Highlight {
    QString text;
    bool underline = false;
    bool italic = false;
};

// ResaltaTexto for each highlight in order, in one change of the document: the text, the styles,
// the selection left at the last find, all as the calls one by one would leave them.
void ResaltaTextos(RichTextBox& control, const QList<Highlight>& highlights);

// A text and its style runs as a RichTextBox holds them, without the control: for writing a
// report straight to a file.
struct StyledText {
    QString text;          // as RichTextBox::Text reads it back
    QList<TextRun> runs;   // as RichTextBox::Runs gives them

    QByteArray rtf() const;   // as RichTextBox::TextRTF
    QByteArray ansi() const;  // the plain-text file
};

// What SetText(text) and then ResaltaTextos(highlights) leave in a control, computed directly:
// the same text, the same runs, so the same saved bytes.
StyledText StyleText(const QString& text, const QList<Highlight>& highlights);

// The text and styles BuildReport leaves in the report window's control.
StyledText StyledReport(ReportKind Tipo, const TreeControl& tree, const Catalogue& catalogue, ReportProgress* progress);
