#include "cli/ReportCommand.h"

#include "catalogue/Catalogue.h"
#include "catalogue/TreeKeys.h"
#include "output/OutputFormat.h"
#include "output/ReportBuilder.h"
#include "output/ReportFile.h"
#include "platform/controls/MemoryControls.h"
#include "platform/core/ProgramError.h"
#include "platform/desktop/MessageBoxes.h"
#include "platform/files/PathMapper.h"
#include "platform/richtext/RichTextBox.h"

#include <algorithm>
#include <cstdio>

namespace {

QString failure(const char* routine, const ProgramError& error)
{
    return error.RoutineMessage(QString::fromLatin1(routine));
}

// Whether `wanted` (a --project value) names project `project`: its Name exactly, or its
// FileName as the tree shows it, ignoring case.
bool names(const QString& wanted, const ProjectEntry& project)
{
    return project.Name == wanted || project.FileName.compare(wanted, Qt::CaseInsensitive) == 0;
}

}

int RunReport(MemoryControls& controls, const Catalogue& catalogue, const ReportRequest& request,
              const QString& windowsOutput)
{
    MemoryTree& tree = controls.tree;
    for (const QString& wanted : request.projects) {
        bool found = false;
        for (int i = 1; i <= catalogue.ProjectCount() && !found; ++i)
            found = names(wanted, catalogue.Projects[i]);
        if (!found) {
            std::fprintf(stderr, "zantrel-cli: no project named \"%s\" in the folder\n", wanted.toUtf8().constData());
            return 1;
        }
    }
    // Project node "k<i>" is project i's: every project a value names is checked, so a Name that
    // several projects share selects them all.
    for (int i = 1; i <= catalogue.ProjectCount(); ++i) {
        const ProjectEntry& project = catalogue.Projects[i];
        const bool wanted = request.projects.isEmpty() ||
                            std::any_of(request.projects.cbegin(), request.projects.cend(),
                                        [&](const QString& value) { return names(value, project); });
        const int node = tree.Find(TreeKeys::Project(i));
        if (wanted && node)
            tree.SetChecked(node, true);
    }
    int checked = 0;
    for (int p = 1; p <= tree.Count(); ++p)
        checked += tree.Node(p).checked && TreeKeys::IsProject(tree.Node(p).key);
    if (checked == 0) {
        ShowMessage(QStringLiteral("Debe seleccionar proyectos a imprimir."), MsgStyle::Critical);
        return 1;
    }

    if (!windowsOutput.isEmpty()) {
        const ReportFile file = ReportFileFor(windowsOutput);
        try {
            // Written straight from the text and its styles: the bytes the report window saves.
            const StyledText report = StyledReport(*request.kind, tree, catalogue, nullptr);
            SaveTextFileBytes(file.name, file.format == RichTextFormat::rtfRTF ? report.rtf() : report.ansi());
        } catch (const ProgramError& error) {
            ShowMessage(failure("GrabarReporte", error), MsgStyle::Critical);
            return 1;
        }
        // Escaped as a TSV field, so a line break in a folder's name keeps the path on one line.
        const QByteArray line = OutputText::tsvField(PathMapper::current().toHost(file.name)).toUtf8() + '\n';
        std::fwrite(line.constData(), 1, static_cast<size_t>(line.size()), stdout);
    }
    if (request.print) {
        RichTextBox txt;
        BuildReport(*request.kind, tree, catalogue, controls.statusBar, nullptr, txt);
        try {
            txt.SelPrint(ReportTitle);
        } catch (const ProgramError& error) {
            ShowMessage(failure("Imprimir", error), MsgStyle::Critical);
            return 1;
        }
    }
    return 0;
}
