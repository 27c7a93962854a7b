#include "catalogue/FolderScan.h"

#include "catalogue/Catalogue.h"
#include "catalogue/FileHelpers.h"
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
                tree.Add(projectKey, TreeKeys::References(referencesBranchCounter),
                         QStringLiteral("Referencias"), TreeImages::References);
                referencesMade = true;
                ++referencesBranchCounter;
            }
            branchKey = TreeKeys::References(referencesBranchCounter - 1);
            image = TreeImages::References;
        } else if (entry.Kind == DependencyKind::Component) {
            if (!componentsMade) {
                tree.Add(projectKey, TreeKeys::Components(componentsBranchCounter),
                         QStringLiteral("Componentes"), TreeImages::Components);
                componentsMade = true;
                ++componentsBranchCounter;
            }
            branchKey = TreeKeys::Components(componentsBranchCounter - 1);
            image = TreeImages::Components;
        } else {
            continue;
        }
        tree.Add(branchKey, TreeKeys::Dependency(entry.Key), ExtraeNombreArchivo(entry.FilePath), image);
    }
}

}

void CargaProyectos(Catalogue& catalogue, MainControls& controls)
{
    LoadContext load;
    CargaProyectos(catalogue, controls, load);
}

namespace {

// Where a load takes its project files from: the window's file list, or a list of full paths.
class ProjectFiles {
public:
    virtual ~ProjectFiles() = default;
    virtual int Count() = 0;
    // Called once, after the tree's root is made, before the first file.
    virtual void Begin() {}
    // Text shown for file n (1-based) in the status bar; then its full Windows path.
    virtual QString Shown(int n) = 0;
    virtual QString FullPath(int n) = 0;
};

class ListedFiles : public ProjectFiles {
public:
    explicit ListedFiles(FileList& list) : list_(list) {}
    int Count() override { return list_.ListCount(); }
    void Begin() override
    {
        folder_ = list_.Path();
        if (!folder_.endsWith(u'\\'))
            folder_ += u'\\';
    }
    QString Shown(int n) override
    {
        name_ = list_.List(n - 1);
        return name_;
    }
    QString FullPath(int) override { return folder_ + name_; }

private:
    FileList& list_;
    QString folder_;
    QString name_;
};

class GivenFiles : public ProjectFiles {
public:
    explicit GivenFiles(const QStringList& paths) : paths_(paths) {}
    int Count() override { return static_cast<int>(paths_.size()); }
    QString Shown(int n) override { return paths_[n - 1]; }
    QString FullPath(int n) override { return paths_[n - 1]; }

private:
    const QStringList& paths_;
};

void loadProjects(Catalogue& catalogue, MainControls& controls, LoadContext& load, ProjectFiles& files)
{
    catalogue.Reset();
    int referencesBranchCounter = 1;
    int componentsBranchCounter = 1;

    controls.treeMain.Clear();
    controls.pgbStatus.SetVisible(true);
    controls.pgbStatus.SetMin(1);

    const int total = files.Count();
    if (total == 0) {
        ShowMessage(QStringLiteral("No hay proyectos en la ruta especificada."), MsgStyle::Critical);
    } else {
        controls.pgbStatus.SetMax(total);
        controls.treeMain.Add(QString(), TreeKeys::Root, QStringLiteral("Sistemas"), TreeImages::Project);

        files.Begin();
        for (int n = 1; n <= total; ++n) {
            const int i = n;
            DoEvents();
            catalogue.AppendProject(i);
            int DependencyCounter = 1;

            controls.stbMain.SetPanelText(1, files.Shown(n));
            controls.stbMain.SetPanelText(3, QString::number(n) + QStringLiteral(" de ") + QString::number(total));

            QString FileName = files.FullPath(n);
            load.projectPaths.resize(static_cast<std::size_t>(i) + 1);
            load.projectPaths[i] = FileName;
            std::int32_t Kind = 0;
            QString Name;
            DeterminaTipoDeProyecto(catalogue, load, i, DependencyCounter, FileName, Kind, Name);
            catalogue.SetProjectFields(i, FileName, Kind, Name);

            const QString projectKey = TreeKeys::Project(i);
            const int node = controls.treeMain.Add(TreeKeys::Root, projectKey,
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

}

void CargaProyectos(Catalogue& catalogue, MainControls& controls, LoadContext& load)
{
    ListedFiles files(controls.File1);
    loadProjects(catalogue, controls, load, files);
}

void CargaProyectos(Catalogue& catalogue, MainControls& controls, LoadContext& load, const QStringList& projectFiles)
{
    GivenFiles files(projectFiles);
    loadProjects(catalogue, controls, load, files);
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

namespace {

// Runs one load: a control that refuses an operation ends it where it stands, keeping what it
// built; memory running out anywhere in it ends it too, and says so rather than the program
// dying. False after running out of memory.
template <typename Run>
bool guardedLoad(MainControls& controls, LoadContext& load, Run run)
{
    try {
        run();
    } catch (const ProgramError&) {
        // The load ends where it stood; what it built stays.
    } catch (const std::bad_alloc&) {
        // The per-load memory is given back first, so the message can be shown.
        load = LoadContext();
        controls.stbMain.SetPanelText(1, QStringLiteral("Listo!"));
        controls.pgbStatus.SetVisible(false);
        ShowMessage(QStringLiteral("Carga : ") + StandardErrorDescription(ErrorNumbers::OutOfMemory), MsgStyle::Critical);
        return false;
    }
    return true;
}

}

bool LoadListedProjects(Catalogue& catalogue, MainControls& controls, LoadContext& load)
{
    return guardedLoad(controls, load, [&] { CargaProyectos(catalogue, controls, load); });
}

bool LoadProjectFiles(Catalogue& catalogue, MainControls& controls, LoadContext& load, const QStringList& projectFiles)
{
    return guardedLoad(controls, load, [&] { CargaProyectos(catalogue, controls, load, projectFiles); });
}
