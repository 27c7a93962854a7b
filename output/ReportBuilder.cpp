#include "output/ReportBuilder.h"

#include "catalogue/Catalogue.h"
#include "catalogue/TreeKeys.h"
#include "platform/controls/Controls.h"
#include "platform/files/HostNames.h"
#include "platform/core/AnsiCodePage.h"
#include "platform/richtext/RichTextBox.h"
#include "platform/richtext/RtfWriter.h"

#include <QStringList>
#include <algorithm>
#include <optional>
#include <vector>

namespace {

const QString CrLf = QStringLiteral("\r\n");

// The project a project node was made for; 0 for a key that names no project of the catalogue.
int nodeProject(const QString& key, const Catalogue& catalogue)
{
    const int index = TreeKeys::ProjectIndex(key);
    return index >= 1 && index <= catalogue.ProjectCount() ? index : 0;
}

}

ReportKind ReportKindOf(int Tipo)
{
    return Tipo == 0 ? ReportKind::Detallado : ReportKind::Resumido;
}

const QStringList& DetailLabels()
{
    static const QStringList labels{
        QStringLiteral("Proyecto    : "), QStringLiteral("Archivo     : "), QStringLiteral("Descripción : "),
        QStringLiteral("GUID        : "), QStringLiteral("V. Mayor    : "), QStringLiteral("V. Menor    : "),
        QStringLiteral("Tamaño      : "), QStringLiteral("Fecha       : "),
    };
    return labels;
}

QString SummaryLine(const ProjectEntry& project)
{
    // A name longer than 40 characters is followed directly by " - ".
    const qsizetype padding = std::max<qsizetype>(0, 40 - project.Name.size());
    return project.Name + QString(padding, u' ') + QStringLiteral(" - ") + HostNames::displayed(project.FileName) + CrLf;
}

QString DetailedBlock(const ProjectEntry& project)
{
    const QStringList& label = DetailLabels();
    QString block = label[0] + project.Name + QStringLiteral(" - (") + HostNames::displayed(project.FileName) + u')' + CrLf;
    for (std::size_t k = 1; k < project.Dependencies.size(); ++k) {
        const DependencyEntry& entry = project.Dependencies[k];
        block += label[1] + HostNames::displayed(entry.FilePath) + CrLf;
        block += label[2] + entry.Description + CrLf;
        block += label[3] + entry.Guid + CrLf;
        block += label[4] + QString::number(entry.MajorVersion) + CrLf;
        block += label[5] + QString::number(entry.MinorVersion) + CrLf;
        block += label[6] + QString::number(entry.SizeKB) + QStringLiteral(" KB") + CrLf;
        block += label[7] + entry.FileDate + CrLf;
        block += CrLf;
    }
    block += CrLf;
    return block;
}

QString ReportText(ReportKind Tipo, const TreeControl& tree, const Catalogue& catalogue, ReportProgress* progress)
{
    const bool detailed = Tipo == ReportKind::Detallado;
    QString report = ReportTitle + CrLf + CrLf;
    int block = 1;
    const int nodes = tree.Count();
    for (int i = 1; i <= nodes; ++i) {
        const TreeNode& node = tree.Node(i);
        if (!node.checked || !TreeKeys::IsProject(node.key))
            continue;
        const int j = nodeProject(node.key, catalogue);
        if (j == 0)
            continue;
        const ProjectEntry& project = catalogue.Projects[j];
        if (progress) {
            progress->SetProject(project.Name);
            progress->SetValue(block);
        }
        report += detailed ? DetailedBlock(project) : SummaryLine(project);
        ++block;
    }
    return report;
}

namespace {

QList<Highlight> reportHighlights(ReportKind Tipo)
{
    QList<Highlight> highlights{{ReportTitle, true, false}};
    if (Tipo == ReportKind::Detallado)
        for (const QString& label : DetailLabels())
            highlights.append({label, false, false});
    return highlights;
}

}

void BuildReport(ReportKind Tipo, const TreeControl& tree, const Catalogue& catalogue, StatusBarControl& status,
                 ReportProgress* progress, RichTextBox& txt)
{
    status.SetPanelText(1, QStringLiteral("Imprimiendo proyectos ..."));
    const QString report = ReportText(Tipo, tree, catalogue, progress);
    status.SetPanelText(1, QStringLiteral("Dando formato al informe ..."));
    // Built and styled apart from any view of `txt`, which then takes it whole.
    RichTextBox built;
    built.SetText(report);
    ResaltaTextos(built, reportHighlights(Tipo));
    txt.TakeContent(built);
    status.SetPanelText(1, QStringLiteral("Listo!"));
    if (progress)
        progress->Close();
}

void ResaltaTexto(RichTextBox& control, const QString& text, bool underline, bool italic)
{
    ResaltaTextos(control, {{text, underline, italic}});
}

namespace {

// Calls `found` with each place of `text` in `s` as the report's search walks it: a is 1-based,
// each search starts at s[a - 1], one character after the previous find began, and stops once a
// reaches the text's length.
template <typename Found>
void forEachFind(const QString& s, const QString& text, Found found)
{
    qsizetype a = 1;
    while (a < s.size()) {
        const qsizetype at = s.indexOf(text, a - 1);
        if (at < 0)
            break;
        a = at + 2;
        found(at);
    }
}

}

void ResaltaTextos(RichTextBox& control, const QList<Highlight>& highlights)
{
    // Styling changes no text, so every search runs over the same text. Each find would be
    // selected, styled and emptied in turn; laying the styles over the finds' ranges in the same
    // order gives the same styles, and the selection ends where the last find would leave it.
    const QString s = control.Text();
    std::vector<TextStyling> finds;
    for (const Highlight& highlight : highlights) {
        forEachFind(s, highlight.text, [&](qsizetype found) {
            finds.push_back({static_cast<int>(found), static_cast<int>(highlight.text.size()), true,
                             highlight.underline, highlight.italic});
        });
    }
    if (finds.empty())
        return;
    control.StyleRanges(finds);
    control.SetSelStart(finds.back().start);
    control.SetSelBold(false);
    control.SetSelUnderline(false);
    control.SetSelItalic(false);
}

StyledText StyleText(const QString& text, const QList<Highlight>& highlights)
{
    StyledText result;
    // The control's reading of the text: CR LF, a lone CR or LF and a paragraph separator each
    // break a line and read back as CR LF; the document's frame marks read back as U+FFFD.
    QString& s = result.text;
    s.reserve(text.size() + text.size() / 32);
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c == u'\r' || c == u'\n' || c == QChar::ParagraphSeparator) {
            if (c == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n')
                ++i;
            s += QStringLiteral("\r\n");
        } else if (c == QChar(0xFDD0) || c == QChar(0xFDD1)) {
            s += QChar::ReplacementCharacter;
        } else {
            s += c;
        }
    }

    // Each find is styled over [start, start + length) clamped to the text, the last find over a
    // character deciding its style (every find sets all three attributes); a line break shows no
    // style. 0: regular, else 1 + bold + 2 underline + 4 italic.
    std::vector<unsigned char> style(static_cast<std::size_t>(s.size()), 0);
    for (const Highlight& highlight : highlights) {
        const auto code = static_cast<unsigned char>(2 + 2 * highlight.underline + 4 * highlight.italic);
        forEachFind(s, highlight.text, [&](qsizetype found) {
            const qsizetype end = std::min(found + highlight.text.size(), s.size());
            std::fill(style.begin() + found, style.begin() + end, code);
        });
    }
    for (qsizetype i = 0; i < s.size(); ++i)
        if (s[i] == u'\r' || s[i] == u'\n')
            style[static_cast<std::size_t>(i)] = 0;

    for (qsizetype i = 0; i < s.size();) {
        qsizetype end = i + 1;
        while (end < s.size() && style[static_cast<std::size_t>(end)] == style[static_cast<std::size_t>(i)])
            ++end;
        const int code = style[static_cast<std::size_t>(i)] ? style[static_cast<std::size_t>(i)] - 1 : 0;
        result.runs.append({static_cast<int>(i), static_cast<int>(end - i), (code & 1) != 0, (code & 2) != 0, (code & 4) != 0});
        i = end;
    }
    return result;
}

QByteArray StyledText::rtf() const
{
    RtfWriter::Stream stream(RichTextBox::FontName, RichTextBox::FontSize, text.size());
    for (const TextRun& run : runs)
        stream.add(QStringView(text).mid(run.start, run.length), run.bold, run.underline, run.italic);
    return stream.finish();
}

QByteArray StyledText::ansi() const
{
    return AnsiCodePage::encode(text);
}

StyledText StyledReport(ReportKind Tipo, const TreeControl& tree, const Catalogue& catalogue, ReportProgress* progress)
{
    StyledText styled = StyleText(ReportText(Tipo, tree, catalogue, progress), reportHighlights(Tipo));
    if (progress)
        progress->Close();
    return styled;
}
