#include "cli/ReportCommand.h"

#include "catalogue/Catalogue.h"
#include "output/ReportBuilder.h"
#include "output/ReportFile.h"
#include "platform/controls/MemoryControls.h"
#include "platform/core/ProgramError.h"
#include "platform/desktop/MessageBoxes.h"
#include "platform/files/PathMapper.h"
#include "platform/richtext/RichTextBox.h"

#include <cstdio>

namespace {

QString failure(const char* routine, const ProgramError& error)
{
    return QString::fromLatin1(routine) + QStringLiteral(" : ") + QString::number(error.Number) + u' ' + error.Description;
}

// The project name a node stands for, as the report reads it.
QString nodeName(const QString& text)
{
    const qsizetype open = text.indexOf(u'(');
    return open >= 1 ? text.left(open - 1) : QString();
}

}

bool TakeReportOption(const QStringList& args, qsizetype& i, ReportRequest& request, QString& problem)
{
    const QString& option = args[i];
    if (option == QStringLiteral("--detailed") || option == QStringLiteral("--summary")) {
        const int tipo = option == QStringLiteral("--detailed") ? ReportKind::Detallado : ReportKind::Resumido;
        if (request.Tipo != -1 && request.Tipo != tipo)
            problem = QStringLiteral("--detailed and --summary exclude each other");
        request.Tipo = tipo;
        return true;
    }
    if (option == QStringLiteral("--print")) {
        request.print = true;
        return true;
    }
    if (option == QStringLiteral("--project")) {
        if (i + 1 >= args.size())
            problem = QStringLiteral("--project needs a name");
        else
            request.projects.append(args[++i]);
        return true;
    }
    return false;
}

int RunReport(MemoryControls& controls, const Catalogue& catalogue, const ReportRequest& request,
              const QString& windowsOutput)
{
    MemoryTree& tree = controls.tree;
    for (int p = 1; p <= tree.Count(); ++p) {
        const TreeNode& node = tree.Node(p);
        if (node.key.startsWith(u'k') && (request.projects.isEmpty() || request.projects.contains(nodeName(node.text))))
            tree.SetChecked(p, true);
    }
    for (const QString& name : request.projects) {
        bool found = false;
        for (int i = 1; i <= catalogue.ProjectCount() && !found; ++i)
            found = catalogue.Projects[i].Name == name;
        if (!found) {
            std::fprintf(stderr, "zantrel-cli: no project named \"%s\" in the folder\n", name.toUtf8().constData());
            return 1;
        }
    }
    int checked = 0;
    for (int p = 1; p <= tree.Count(); ++p)
        checked += tree.Node(p).checked && tree.Node(p).key.startsWith(u'k');
    if (checked == 0) {
        ShowMessage(QStringLiteral("Debe seleccionar proyectos a imprimir."), MsgStyle::Critical);
        return 1;
    }

    if (!windowsOutput.isEmpty()) {
        const ReportFile file = ReportFileFor(windowsOutput);
        try {
            // Written straight from the text and its styles: the bytes the report window saves.
            const StyledText report = StyledReport(request.Tipo, tree, catalogue, nullptr);
            SaveTextFileBytes(file.name, file.format == RichTextFormat::rtfRTF ? report.rtf() : report.ansi());
        } catch (const ProgramError& error) {
            ShowMessage(failure("GrabarReporte", error), MsgStyle::Critical);
            return 1;
        }
        const QByteArray line = PathMapper::current().toHost(file.name).toUtf8() + '\n';
        std::fwrite(line.constData(), 1, static_cast<size_t>(line.size()), stdout);
    }
    if (request.print) {
        RichTextBox txt;
        BuildReport(request.Tipo, tree, catalogue, controls.statusBar, nullptr, txt);
        try {
            txt.SelPrint(ReportTitle);
        } catch (const ProgramError& error) {
            ShowMessage(failure("Imprimir", error), MsgStyle::Critical);
            return 1;
        }
    }
    return 0;
}
