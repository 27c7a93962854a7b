#include "catalogue/FolderScan.h"

#include "catalogue/Catalogue.h"
#include "catalogue/LoadContext.h"
#include "catalogue/ProjectReader.h"
#include "catalogue/Resolution.h"
#include "platform/controls/Controls.h"
#include "platform/core/EventLoop.h"
#include "platform/core/ProgramError.h"
#include "platform/desktop/MessageBoxes.h"
#include "platform/files/HostNames.h"

#include <new>

namespace {

// Adds the leaves of project `index`'s dependencies under its branches, making each branch at
// its first entry, so branches appear in the order of the first line of their kind.
void addDependencyNodes(const Catalogue& catalogue, int index, const QString& projectKey, TreeControl& tree,
                        int& referencesBranchCounter, int& componentsBranchCounter)
{
    bool referencesMade = false;
    bool componentsMade = false;
    const auto& dependencies = catalogue.Projects[index].Dependencies;
    for (std::size_t k = 1; k < dependencies.size(); ++k) {
        const DependencyEntry& entry = dependencies[k];
        QString branchKey;
        int image = 0;
        if (entry.Kind == DependencyKind::Reference) {
            if (!referencesMade) {
                tree.Add(projectKey, QStringLiteral("dll") + QString::number(referencesBranchCounter),
                         QStringLiteral("Referencias"), TreeImages::References);
                referencesMade = true;
                ++referencesBranchCounter;
            }
            branchKey = QStringLiteral("dll") + QString::number(referencesBranchCounter - 1);
            image = TreeImages::References;
        } else if (entry.Kind == DependencyKind::Component) {
            if (!componentsMade) {
                tree.Add(projectKey, QStringLiteral("com") + QString::number(componentsBranchCounter),
                         QStringLiteral("Componentes"), TreeImages::Components);
                componentsMade = true;
                ++componentsBranchCounter;
            }
            branchKey = QStringLiteral("com") + QString::number(componentsBranchCounter - 1);
            image = TreeImages::Components;
        } else {
            continue;
        }
        tree.Add(branchKey, QStringLiteral("file") + entry.Key, ExtraeNombreArchivo(entry.FilePath), image);
    }
}

}

void CargaProyectos(Catalogue& catalogue, MainControls& controls)
{
    LoadContext load;
    CargaProyectos(catalogue, controls, load);
}

void CargaProyectos(Catalogue& catalogue, MainControls& controls, LoadContext& load)
{
    catalogue.Reset();
    int referencesBranchCounter = 1;
    int componentsBranchCounter = 1;

    controls.treeMain.Clear();
    controls.pgbStatus.SetVisible(true);
    controls.pgbStatus.SetMin(1);

    const int total = controls.File1.ListCount();
    if (total == 0) {
        ShowMessage(QStringLiteral("No hay proyectos en la ruta especificada."), MsgStyle::Critical);
    } else {
        controls.pgbStatus.SetMax(total);
        controls.treeMain.Add(QString(), QStringLiteral("root"), QStringLiteral("Sistemas"), TreeImages::Project);

        QString folder = controls.File1.Path();
        if (!folder.endsWith(u'\\'))
            folder += u'\\';
        for (int n = 1; n <= total; ++n) {
            const int i = n;
            DoEvents();
            catalogue.AppendProject(i);
            int DependencyCounter = 1;

            const QString& fileName = controls.File1.List(n - 1);
            controls.stbMain.SetPanelText(1, fileName);
            controls.stbMain.SetPanelText(3, QString::number(n) + QStringLiteral(" de ") + QString::number(total));

            QString FileName = folder + fileName;
            std::int32_t Kind = 0;
            QString Name;
            DeterminaTipoDeProyecto(catalogue, load, i, DependencyCounter, FileName, Kind, Name);
            catalogue.SetProjectFields(i, FileName, Kind, Name);

            const QString projectKey = QStringLiteral("k") + QString::number(i);
            const int node = controls.treeMain.Add(QStringLiteral("root"), projectKey,
                                                   Name + QStringLiteral(" (") + HostNames::displayed(FileName) + u')',
                                                   TreeImages::Project);
            controls.treeMain.EnsureVisible(node);
            addDependencyNodes(catalogue, i, projectKey, controls.treeMain, referencesBranchCounter,
                               componentsBranchCounter);
            controls.pgbStatus.SetValue(n);
        }
    }

    controls.stbMain.SetPanelText(1, QStringLiteral("Listo!"));
    controls.stbMain.SetPanelText(3, QString());
    controls.pgbStatus.SetVisible(false);
}

bool ListScanPath(const Catalogue& catalogue, MainControls& controls)
{
    try {
        const QString before = controls.Dir1.Path();
        controls.Dir1.SetPath(catalogue.ScanPath);
        if (controls.Dir1.Path() == before)
            controls.File1.Refresh();
    } catch (const ProgramError& error) {
        ShowMessage(QStringLiteral("Carga : ") + error.Description, MsgStyle::Critical);
        return false;
    } catch (const std::bad_alloc&) {
        ShowMessage(QStringLiteral("Carga : ") + StandardErrorDescription(ErrorNumbers::OutOfMemory), MsgStyle::Critical);
        return false;
    }
    return true;
}

bool LoadListedProjects(Catalogue& catalogue, MainControls& controls, LoadContext& load)
{
    try {
        CargaProyectos(catalogue, controls, load);
    } catch (const ProgramError&) {
        // The load ends where it stood; what it built stays.
    } catch (const std::bad_alloc&) {
        // Memory ran out somewhere in the load: it ends where it stood and says so, rather than
        // the program dying. The per-load memory is given back first, so the message can be shown.
        load = LoadContext();
        controls.stbMain.SetPanelText(1, QStringLiteral("Listo!"));
        controls.pgbStatus.SetVisible(false);
        ShowMessage(QStringLiteral("Carga : ") + StandardErrorDescription(ErrorNumbers::OutOfMemory), MsgStyle::Critical);
        return false;
    }
    return true;
}
