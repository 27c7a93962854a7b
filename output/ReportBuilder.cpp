#include "output/ReportBuilder.h"

#include "catalogue/Catalogue.h"
#include "platform/controls/Controls.h"
#include "platform/richtext/RichTextBox.h"

#include <QStringList>

namespace {

const QString CrLf = QStringLiteral("\r\n");

// The project a project node was made for: its key is "k" followed by the project's index in
// decimal. A key that names no project of the catalogue gives 0.
int nodeProject(const QString& key, const Catalogue& catalogue)
{
    const QStringView digits = QStringView(key).mid(1);
    if (digits.isEmpty() || digits.size() > 9)
        return 0;
    for (QChar c : digits)
        if (c < u'0' || c > u'9')
            return 0;
    const int index = digits.toInt();
    return index >= 1 && index <= catalogue.ProjectCount() ? index : 0;
}

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
    return project.Name + QString(padding, u' ') + QStringLiteral(" - ") + project.FileName + CrLf;
}

QString DetailedBlock(const ProjectEntry& project)
{
    const QStringList& label = DetailLabels();
    QString block = label[0] + project.Name + QStringLiteral(" - (") + project.FileName + u')' + CrLf;
    for (std::size_t k = 1; k < project.Dependencies.size(); ++k) {
        const DependencyEntry& entry = project.Dependencies[k];
        block += label[1] + entry.FilePath + CrLf;
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

QString ReportText(int Tipo, const TreeControl& tree, const Catalogue& catalogue, ReportProgress* progress)
{
    const bool detailed = Tipo == ReportKind::Detallado;
    QString report = ReportTitle + CrLf + CrLf;
    int block = 1;
    const int nodes = tree.Count();
    for (int i = 1; i <= nodes; ++i) {
        const TreeNode& node = tree.Node(i);
        if (!node.checked || !node.key.startsWith(u'k'))
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

void BuildReport(int Tipo, const TreeControl& tree, const Catalogue& catalogue, StatusBarControl& status,
                 ReportProgress* progress, RichTextBox& txt)
{
    status.SetPanelText(1, QStringLiteral("Imprimiendo proyectos ..."));
    const QString report = ReportText(Tipo, tree, catalogue, progress);
    status.SetPanelText(1, QStringLiteral("Dando formato al informe ..."));
    txt.SetText(report);
    ResaltaTexto(txt, ReportTitle, true, false);
    if (Tipo == ReportKind::Detallado)
        for (const QString& label : DetailLabels())
            ResaltaTexto(txt, label, false, false);
    status.SetPanelText(1, QStringLiteral("Listo!"));
    if (progress)
        progress->Close();
}

void ResaltaTexto(RichTextBox& control, const QString& text, bool underline, bool italic)
{
    const QString s = control.Text();
    // a is 1-based: the search starts at s[a - 1], one character after the previous find began.
    qsizetype a = 1;
    while (a < s.size()) {
        const qsizetype found = s.indexOf(text, a - 1);
        if (found < 0)
            break;
        a = found + 2;
        control.SetSelStart(static_cast<int>(found));
        control.SetSelLength(static_cast<int>(text.size()));
        control.SetSelBold(true);
        control.SetSelUnderline(underline);
        control.SetSelItalic(italic);
        control.SetSelLength(0);
        control.SetSelBold(false);
        control.SetSelUnderline(false);
        control.SetSelItalic(false);
    }
}
