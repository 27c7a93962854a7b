#include "manifest/ManifestPlan.h"

#include "catalogue/Catalogue.h"
#include "catalogue/Closure.h"
#include "catalogue/FileHelpers.h"
#include "catalogue/Inventory.h"
#include "catalogue/LoadContext.h"
#include "platform/registry/RegistryStore.h"
#include "platform/typelib/TypeLibReader.h"

#include <QHash>
#include <QSet>
#include <algorithm>
#include <optional>

namespace {

// The type-library flags a manifest carries and the class flags it looks at.
constexpr std::uint32_t kClassCanCreate = 0x2;
constexpr std::uint32_t kClassLicensed = 0x4;
constexpr std::uint32_t kTypeFlagDual = 0x40;
constexpr std::uint32_t kTypeFlagOleAutomation = 0x100;

QString folderOf(const QString& windowsPath)
{
    const qsizetype slash = windowsPath.lastIndexOf(u'\\');
    return slash < 0 ? QString() : windowsPath.left(slash);
}

// "c:\lib\x.dll\3" names resource 3 of x.dll: the file is x.dll.
QString fileOfLibrary(const QString& path)
{
    const QString last = ExtraeNombreArchivo(path);
    bool number = !last.isEmpty();
    for (QChar c : last)
        number = number && c.isDigit();
    return number ? folderOf(path) : path;
}

// What the registry tells of one class, in the view of the program's machine.
struct RegisteredClass {
    bool registered = false;
    bool outOfProcess = false; // a LocalServer32 and no InprocServer32
    QString threadingModel;
    QString progId;
    QString independentProgId;
    std::uint32_t miscStatus[5] = {}; // default, content, thumbnail, icon, docprint
};

class Planner {
public:
    Planner(const Catalogue& catalogue, const std::vector<QString>& projectPaths, const std::vector<ProjectSources>& sources,
            const std::vector<RecordedLine>& lines, const ManifestRequest& request)
        : catalogue_(catalogue)
        , projectPaths_(projectPaths)
        , sources_(sources)
        , lines_(lines)
        , request_(request)
        , store_(RegistryStore::current())
        , view_(request.arch == LoaderArch::X86 ? RegistryView::Program32 : RegistryView::Native)
    {
    }

    ManifestPlan plan()
    {
        const std::vector<ClosureRecord> closure = BuildClosure(catalogue_, projectPaths_, sources_, request_.arch);
        QSet<QString> asked;
        for (const QString& name : request_.projects)
            asked.insert(name.toLower());
        QSet<QString> matched;
        std::size_t next = 0;
        for (int p = 1; p <= catalogue_.ProjectCount(); ++p) {
            const std::size_t first = next;
            while (next < closure.size() && closure[next].projectIndex == p)
                ++next;
            const ProjectEntry& project = catalogue_.Projects[static_cast<std::size_t>(p)];
            const QString file = ExtraeNombreArchivo(projectPath(p));
            if (!request_.projectIndexes.empty()
                && std::find(request_.projectIndexes.begin(), request_.projectIndexes.end(), p) == request_.projectIndexes.end())
                continue;
            if (!asked.isEmpty()) {
                const bool byName = asked.contains(project.Name.toLower()), byFile = asked.contains(file.toLower());
                if (!byName && !byFile)
                    continue;
                matched.insert(byName ? project.Name.toLower() : file.toLower());
            }
            // Only a program has an application manifest: an ActiveX DLL or control is loaded by one.
            if (project.Kind != ProjectKind::Exe && project.Kind != ProjectKind::OleExe)
                continue;
            planProject(p, file, closure, first, next);
        }
        for (const QString& name : request_.projects)
            if (!matched.contains(name.toLower()))
                plan_.unknownProjects.append(name);
        return std::move(plan_);
    }

private:
    QString projectPath(int p) const
    {
        const auto index = static_cast<std::size_t>(p);
        return index < projectPaths_.size() ? projectPaths_[index] : catalogue_.Projects[index].FileName;
    }

    void planProject(int p, const QString& projectFile, const std::vector<ClosureRecord>& closure, std::size_t first,
                     std::size_t end)
    {
        const ProjectEntry& project = catalogue_.Projects[static_cast<std::size_t>(p)];
        const auto index = static_cast<std::size_t>(p);
        const ProjectSources sources = index < sources_.size() ? sources_[index] : ProjectSources();
        const QString projectFolder = folderOf(projectPath(p));
        // Visual Basic names the program after the project when ExeName32= is not written.
        const QString baseName = !project.Name.isEmpty() ? project.Name : projectFile.section(u'.', 0, -2, QString::SectionSkipEmpty);
        const QString exeName = !sources.exeName32.isEmpty() ? sources.exeName32
                                : (baseName.isEmpty() ? projectFile : baseName) + QStringLiteral(".exe");
        const QString programFolder =
            sources.path32.isEmpty() ? projectFolder : ResolveInProjectFolder(sources.path32, projectFolder);

        PlannedManifest planned;
        planned.projectIndex = p;
        planned.projectFile = projectFile;
        planned.windowsPath = JoinFolder(request_.folder.isEmpty() ? programFolder : request_.folder, exeName + QStringLiteral(".manifest"));
        ApplicationManifest& manifest = planned.manifest;
        manifest.name = !project.Name.isEmpty() ? project.Name : ExtraeNombreArchivo(exeName);
        manifest.version = IdentityVersion(sources.majorVer, sources.minorVer, sources.revisionVer);
        manifest.description = sources.title;
        manifest.processorArchitecture = request_.arch == LoaderArch::X86 ? QStringLiteral("x86") : QStringLiteral("amd64");
        manifest.commonControls = request_.commonControls;

        // The project's lines that found no library: nothing of them can go into the manifest.
        for (const RecordedLine& line : lines_)
            if (line.projectIndex == p && !line.reason.isEmpty() && line.kind != QStringLiteral("project"))
                problem({projectFile, line.text, ManifestProblem::Kind::NotFound, line.reason, {},
                         QStringLiteral("not found: ") + line.reason});

        QHash<QString, QString> classOwners; // upper-case CLSID -> the file that serves it here
        QSet<QString> filesDone;
        for (std::size_t r = first; r < end; ++r) {
            const ClosureRecord& record = closure[r];
            if ((record.how != ClosureHow::Reference && record.how != ClosureHow::Component) || record.system)
                continue;
            if (!record.reason.isEmpty()) {
                problem({projectFile, record.file, ManifestProblem::Kind::CannotLoad, record.reason, {}, record.reason});
                continue;
            }
            const QString file = fileOfLibrary(record.found);
            if (filesDone.contains(file.toLower()))
                continue;
            filesDone.insert(file.toLower());
            addLibrary(manifest, projectFile, record, file, classOwners);
        }
        // Programs of one name in one folder (Project1.exe, many times over in a folder of
        // copies): the first project's manifest is written, the others are said.
        const QString target = planned.windowsPath.toLower();
        if (const auto owner = targets_.constFind(target); owner != targets_.constEnd()) {
            problem({projectFile, planned.windowsPath, ManifestProblem::Kind::SamePath, {}, *owner,
                     QStringLiteral("not written: it is also the manifest of %1, written first").arg(*owner)});
            return;
        }
        targets_.insert(target, projectFile);
        plan_.manifests.push_back(std::move(planned));
    }

    void addLibrary(ApplicationManifest& manifest, const QString& projectFile, const ClosureRecord& record, const QString& file,
                    QHash<QString, QString>& classOwners)
    {
        const QString fileName = ExtraeNombreArchivo(file);
        if (fileName.endsWith(QStringLiteral(".exe"), Qt::CaseInsensitive)) {
            problem({projectFile, fileName, ManifestProblem::Kind::OutOfProcess, {}, {},
                     QStringLiteral("an out-of-process server (ActiveX EXE): it runs in its own process, which a manifest "
                                    "cannot activate")});
            return;
        }
        const LibraryClasses* library = classesOf(record.found);
        if (!library || library->classes.empty())
            return; // a type library alone, with no class to activate: nothing to say of it
        ManifestFile entry;
        entry.name = fileName;
        entry.typeLibs.push_back({library->guid, QStringLiteral("%1.%2").arg(library->majorVersion).arg(library->minorVersion),
                                  QString(), library->flags});
        for (const LibraryClass& libraryClass : library->classes) {
            if (libraryClass.flags & kClassLicensed) {
                const QString name = libraryClass.name.isEmpty() ? libraryClass.clsid : libraryClass.name;
                problem({projectFile, fileName, ManifestProblem::Kind::Licensed, name, {},
                         QStringLiteral("a licensed control (%1): the manifest cannot carry its license").arg(name)});
                return;
            }
        }
        std::vector<ManifestClass> classes;
        for (const LibraryClass& libraryClass : library->classes) {
            if (!(libraryClass.flags & kClassCanCreate))
                continue;
            const RegisteredClass& registered = registeredClass(libraryClass.clsid);
            if (registered.outOfProcess) {
                problem({projectFile, fileName, ManifestProblem::Kind::OutOfProcess, libraryClass.clsid, {},
                         QStringLiteral("an out-of-process server: class %1 is registered to run in its own process")
                             .arg(libraryClass.clsid)});
                return;
            }
            const QString key = libraryClass.clsid.toUpper();
            if (const auto owner = classOwners.constFind(key); owner != classOwners.constEnd()) {
                problem({projectFile, fileName, ManifestProblem::Kind::DuplicateClass, key, *owner,
                         QStringLiteral("class %1 is served by %2 too: the manifest keeps it there").arg(key, *owner)});
                continue;
            }
            classOwners.insert(key, fileName);
            ManifestClass comClass;
            comClass.clsid = key;
            comClass.tlbid = library->guid;
            comClass.description = libraryClass.name;
            // A class the registry does not know is an apartment-threaded one, as Visual Basic
            // and the tools of its time made them; its program id cannot be known.
            comClass.threadingModel = registered.registered ? registered.threadingModel : QStringLiteral("Apartment");
            comClass.progId = registered.progId;
            if (!registered.independentProgId.isEmpty() && registered.independentProgId != registered.progId)
                comClass.otherProgIds.append(registered.independentProgId);
            comClass.miscStatus = registered.miscStatus[0];
            comClass.miscStatusContent = registered.miscStatus[1];
            comClass.miscStatusThumbnail = registered.miscStatus[2];
            comClass.miscStatusIcon = registered.miscStatus[3];
            comClass.miscStatusDocprint = registered.miscStatus[4];
            classes.push_back(std::move(comClass));
        }
        entry.classes = std::move(classes);
        manifest.files.push_back(std::move(entry));
        addInterfaces(manifest, *library);
    }

    // The library's interfaces that cross apartments through a proxy and stub: those the
    // registry gives a ProxyStubClsid32, else the automation-compatible ones, which the type
    // library's own marshaler serves.
    void addInterfaces(ApplicationManifest& manifest, const LibraryClasses& library)
    {
        static const QString typeLibraryMarshaler = QStringLiteral("{00020424-0000-0000-C000-000000000046}");
        for (const LibraryInterface& interface : library.interfaces) {
            if (interface.dispatch)
                continue; // a dispinterface is reached through IDispatch, whose proxy the system has
            const QString key = interface.iid.toUpper();
            if (std::any_of(manifest.interfaces.begin(), manifest.interfaces.end(),
                            [&](const ManifestInterface& known) { return known.iid == key; }))
                continue;
            QString proxyStub = store_->text(RegistryRoot::ClassesRoot, QStringLiteral("Interface\\") + key + QStringLiteral("\\ProxyStubClsid32"),
                                             {}, view_);
            if (proxyStub.isEmpty() && (interface.flags & (kTypeFlagDual | kTypeFlagOleAutomation)))
                proxyStub = typeLibraryMarshaler;
            if (proxyStub.isEmpty())
                continue; // its proxy lives in a DLL of its own, which this manifest does not name
            manifest.interfaces.push_back({key, interface.name, proxyStub.toUpper(), library.guid});
        }
    }

    const LibraryClasses* classesOf(const QString& libraryPath)
    {
        const QString key = libraryPath.toLower();
        auto it = classes_.constFind(key);
        if (it == classes_.constEnd())
            it = classes_.insert(key, LoadTypeLibClasses(libraryPath));
        return it->has_value() ? &**it : nullptr;
    }

    const RegisteredClass& registeredClass(const QString& clsid)
    {
        const QString key = clsid.toUpper();
        if (const auto it = registered_.constFind(key); it != registered_.constEnd())
            return *it;
        RegisteredClass found;
        const QString base = QStringLiteral("CLSID\\") + key;
        RegistryStore& store = *store_;
        if (store.keyExists(RegistryRoot::ClassesRoot, base, view_)) {
            found.registered = true;
            const bool inProcess = store.keyExists(RegistryRoot::ClassesRoot, base + QStringLiteral("\\InprocServer32"), view_);
            found.outOfProcess = !inProcess && store.keyExists(RegistryRoot::ClassesRoot, base + QStringLiteral("\\LocalServer32"), view_);
            found.threadingModel = store.text(RegistryRoot::ClassesRoot, base + QStringLiteral("\\InprocServer32"),
                                              u"ThreadingModel", view_);
            found.progId = store.text(RegistryRoot::ClassesRoot, base + QStringLiteral("\\ProgID"), {}, view_);
            found.independentProgId =
                store.text(RegistryRoot::ClassesRoot, base + QStringLiteral("\\VersionIndependentProgID"), {}, view_);
            const QString misc = base + QStringLiteral("\\MiscStatus");
            // The default aspect on the key itself; content, thumbnail, icon and docprint below it.
            const char* const aspects[] = {"", "1", "2", "4", "8"};
            for (int a = 0; a < 5; ++a) {
                const QString path = a == 0 ? misc : misc + u'\\' + QLatin1String(aspects[a]);
                found.miscStatus[a] = store.text(RegistryRoot::ClassesRoot, path, {}, view_).trimmed().toUInt();
            }
        }
        return *registered_.insert(key, found);
    }

    void problem(ManifestProblem problem) { plan_.problems.push_back(std::move(problem)); }

    static QString JoinFolder(const QString& folder, const QString& name)
    {
        return folder.endsWith(u'\\') ? folder + name : folder + u'\\' + name;
    }

    const Catalogue& catalogue_;
    const std::vector<QString>& projectPaths_;
    const std::vector<ProjectSources>& sources_;
    const std::vector<RecordedLine>& lines_;
    const ManifestRequest& request_;
    std::shared_ptr<RegistryStore> store_;
    RegistryView view_;
    ManifestPlan plan_;
    QHash<QString, std::optional<LibraryClasses>> classes_;  // lower-cased library path -> its classes
    QHash<QString, RegisteredClass> registered_;            // upper-case CLSID -> the registry's word
    QHash<QString, QString> targets_;                        // lower-cased manifest path -> its project
};

}

ManifestPlan PlanManifests(const Catalogue& catalogue, const LoadContext& load, const ManifestRequest& request)
{
    return Planner(catalogue, load.projectPaths, load.projectSources, load.recordedLines, request).plan();
}

ManifestPlan PlanManifests(const Inventory& inventory, const ManifestRequest& request)
{
    return Planner(*inventory.catalogue(), inventory.ProjectPaths(), inventory.Sources(), inventory.Lines(), request).plan();
}
