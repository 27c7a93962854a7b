#include "catalogue/Closure.h"

#include "catalogue/Catalogue.h"
#include "catalogue/DependencyFile.h"
#include "catalogue/FileHelpers.h"
#include "catalogue/LoadContext.h"
#include "catalogue/Resolution.h"
#include "catalogue/SourceScanner.h"
#include "platform/files/ByteSource.h"
#include "platform/files/FolderListing.h"
#include "platform/files/PathMapper.h"
#include "platform/typelib/PeImports.h"

#include <QFileInfo>
#include <QHash>
#include <QSet>
#include <charconv>
#include <deque>
#include <optional>
#include <unordered_map>

namespace {

const QLatin1StringView NotFound("not found in the search path");

// What the closure learns of a file once per load: whether it is a program image, for which
// machine, whether it is Wine's own, and what it imports.
struct ImageFacts {
    bool image = false;       // a PE image whose headers could be read
    bool startsAsImage = false; // begins with "MZ" (a standalone type library does not)
    PeImports::Machine machine = PeImports::Machine::Other;
    bool wineBuiltin = false;
    QStringList imports;
    QStringList delayImports;
};

class ClosureBuilder {
public:
    ClosureBuilder(const Catalogue& catalogue, const std::vector<QString>& projectPaths,
                   const std::vector<ProjectSources>& sources, LoaderArch arch, FolderListingCache& listings,
                   const ClosureVisitor& visit)
        : catalogue_(catalogue), projectPaths_(projectPaths), sources_(sources), search_(arch), listings_(listings),
          visit_(visit)
    {
    }

    void build()
    {
        // Each folder listed once to find a name ignoring case: a folder of thousands of projects
        // is asked for every source file that is not there.
        const FolderListingCache::Use listings(listings_);
        for (int p = 1; p <= catalogue_.ProjectCount(); ++p)
            addProject(p);
        handOver();
    }

private:
    struct Pending {
        QString found;
        QString via; // the chain to this file, as its records write it
        QString firstFolder; // searched first for what this file imports
    };

    void addProject(int p)
    {
        project_ = p;
        seen_.clear();
        queue_.clear();
        const QString projectPath = static_cast<std::size_t>(p) < projectPaths_.size() ? projectPaths_[p] : QString();
        const QString projectName = ExtraeNombreArchivo(projectPath.isEmpty() ? catalogue_.Projects[p].FileName : projectPath);
        const QString projectFolder = folderOf(projectPath);
        const ProjectSources* sources =
            static_cast<std::size_t>(p) < sources_.size() ? &sources_[p] : nullptr;
        programFolder_ = projectFolder;
        if (sources && !sources->path32.isEmpty())
            programFolder_ = withoutTrailingSlash(ResolveInProjectFolder(sources->path32, projectFolder));

        const ProjectEntry& entry = catalogue_.Projects[p];
        for (std::size_t d = 1; d < entry.Dependencies.size(); ++d) {
            const DependencyEntry& dependency = entry.Dependencies[d];
            const ClosureHow how = dependency.Kind == DependencyKind::Component ? ClosureHow::Component : ClosureHow::Reference;
            addFound(ExtraeNombreArchivo(dependency.FilePath), dependency.FilePath, how, projectName, false);
        }
        if (sources)
            addSources(*sources, projectFolder, projectName);
        if (sources && !sources->exeName32.isEmpty()) {
            const QString program = programFolder_ + u'\\' + sources->exeName32;
            const DllLocation location = search_.find(program, QString(), programFolder_);
            ClosureRecord& record = add(sources->exeName32, location.windowsPath, ClosureHow::Program, projectName, false);
            if (location.windowsPath.isEmpty())
                record.reason += QLatin1StringView("not built yet");
            else
                check(record, ProgramFirst);
        }
        drain();
    }

    enum FirstFolder { OwnFolderFirst, ProgramFirst };

    // The DLLs the project's code declares and the controls its forms use that its lines do not
    // name; a source file that is not there is said once, with its line.
    void addSources(const ProjectSources& sources, const QString& projectFolder, const QString& projectName)
    {
        QSet<QString> declared;
        QSet<QString> controls;
        for (const DependencyEntry& entry : catalogue_.Projects[project_].Dependencies)
            if (!entry.Guid.isEmpty())
                controls.insert(entry.Guid.toUpper());
        for (const ProjectSources::Source& source : sources.sources) {
            const SourceFile file = sourceFile(source.file, projectFolder);
            const SourceScan* scan = file.scan;
            if (!scan) {
                ClosureRecord& record = add(source.file, QString(), ClosureHow::Source, projectName, false);
                record.reason += QLatin1StringView("source file missing, line ");
                appendNumber(record.reason, source.line);
                continue;
            }
            if (scan->declares.empty() && scan->objects.empty())
                continue;
            const QString sourceName = ExtraeNombreArchivo(file.path);
            const QString sourceVia = projectName + ViaSeparator + sourceName;
            for (const DeclaredLibrary& library : scan->declares) {
                if (library.fileName.isEmpty() || declared.contains(library.fileName.toLower()))
                    continue;
                declared.insert(library.fileName.toLower());
                const DllLocation location = search_.find(library.fileName, programFolder_, programFolder_);
                ClosureRecord& record =
                    add(library.fileName, location.windowsPath, ClosureHow::Declare, sourceVia, location.system);
                if (location.windowsPath.isEmpty() && !location.apiSet)
                    record.reason += NotFound;
                else
                    check(record, ProgramFirst);
            }
            for (const ObjectLine& object : scan->objects) {
                if (object.guid.isEmpty() || controls.contains(object.guid.toUpper()))
                    continue;
                controls.insert(object.guid.toUpper());
                const QString found = registeredControl(object);
                ClosureRecord& record = add(object.fileName.isEmpty() ? object.guid : object.fileName, found,
                                            ClosureHow::FormControl, sourceVia, false);
                record.reason += QLatin1StringView("used by ");
                record.reason += sourceName;
                record.reason += QLatin1StringView(", not in the project");
            }
        }
    }

    // The file a form's control library is registered with, as an Object= line would resolve it.
    static QString registeredControl(const ObjectLine& object)
    {
        const std::optional<VersionNumbers> version = SplitVersion(object.version, object.locale);
        if (!version)
            return QString();
        const std::optional<QString> path =
            SharedTypeLibService().registeredPath(object.guid, version->major, version->minor, 0);
        return path ? *path : QString();
    }

    struct SourceFile {
        QString path;                     // its full Windows path
        const SourceScan* scan = nullptr; // what it holds; nullptr when it is not there
    };

    // A source file a project line names, as written, in the project's folder. The projects of
    // one folder mostly name the same files the same way ("Form1.frm"), so each spelling is
    // resolved once per folder.
    SourceFile sourceFile(const QString& written, const QString& projectFolder)
    {
        if (projectFolder != sourceFolder_) {
            sourceFolder_ = projectFolder;
            sourceFiles_.clear();
        }
        if (const auto it = sourceFiles_.constFind(written); it != sourceFiles_.constEnd())
            return *it;
        SourceFile file;
        file.path = ResolveInProjectFolder(written, projectFolder);
        file.scan = scanOf(file.path);
        sourceFiles_.insert(written, file);
        return file;
    }

    // What a source file holds, read once per load; nullptr when it is not there.
    const SourceScan* scanOf(const QString& windowsPath)
    {
        const QString key = windowsPath.toLower();
        auto it = scans_.find(key);
        if (it == scans_.end()) {
            const QString host = PathMapper::current().toHost(windowsPath);
            std::optional<SourceScan> scan;
            if (!host.isEmpty() && QFileInfo(host).isFile())
                scan = ScanSourceFile(host);
            it = scans_.emplace(key, std::move(scan)).first;
        }
        return it->second.has_value() ? &*it->second : nullptr;
    }

    // The files a library's dependency file (x.dep beside x.ocx), else its section of the
    // development environment's VB6DEP.INI, says it uses.
    void addDependencyFileUses(const Pending& from)
    {
        const QString library = ExtraeNombreArchivo(from.found);
        const qsizetype dot = library.lastIndexOf(u'.');
        const QString depPath = folderOf(from.found) + u'\\' + (dot > 0 ? library.left(dot) : library) + QStringLiteral(".dep");
        const DependencyFile* dep = dependencyFileOf(depPath);
        const DependencySection* section = dep ? dep->find(library) : nullptr;
        if (!section) {
            const DependencyFile* list = developmentDependencyList();
            section = list ? list->find(library) : nullptr;
        }
        if (!section)
            return;
        for (const QString& name : section->uses) {
            const DllLocation location = search_.find(name, from.firstFolder, programFolder_);
            ClosureRecord& record = add(name, location.windowsPath, ClosureHow::DependencyFile, from.via, location.system);
            if (location.windowsPath.isEmpty() && !location.apiSet) {
                record.reason += NotFound;
                continue;
            }
            check(record, from.firstFolder == programFolder_ ? ProgramFirst : OwnFolderFirst);
        }
    }

    // VB6DEP.INI where Visual Basic's setup wizard keeps it, or in the Windows folder.
    const DependencyFile* developmentDependencyList()
    {
        if (!developmentListLooked_) {
            developmentListLooked_ = true;
            for (const char* place : {"C:\\Program Files\\Microsoft Visual Studio\\VB98\\Wizards\\PDWizard\\VB6DEP.INI",
                                      "C:\\Program Files (x86)\\Microsoft Visual Studio\\VB98\\Wizards\\PDWizard\\VB6DEP.INI",
                                      "C:\\windows\\VB6DEP.INI"}) {
                if ((developmentList_ = dependencyFileOf(QString::fromLatin1(place))))
                    break;
            }
        }
        return developmentList_;
    }

    const DependencyFile* dependencyFileOf(const QString& windowsPath)
    {
        const QString key = windowsPath.toLower();
        if (const auto it = dependencyFiles_.constFind(key); it != dependencyFiles_.constEnd())
            return it->has_value() ? &**it : nullptr;
        const QString host = PathMapper::current().toHost(windowsPath);
        std::optional<DependencyFile> file;
        if (!host.isEmpty() && QFileInfo(host).isFile())
            file = ReadDependencyFile(host);
        const auto it = dependencyFiles_.insert(key, std::move(file));
        return it->has_value() ? &**it : nullptr;
    }

    // A file the project's own lines name, already found where it is.
    void addFound(const QString& name, const QString& found, ClosureHow how, const QString& via, bool system)
    {
        ClosureRecord& record = add(name, found, how, via, system);
        check(record, OwnFolderFirst);
    }

    // A record of `name`, needed by the last file of `via`. It is handed over when the next is
    // begun (or the closure ends), so until then its reason and system flag may still be set.
    ClosureRecord& add(const QString& name, const QString& found, ClosureHow how, const QString& via, bool system)
    {
        handOver();
        ClosureRecord& record = current_;
        record.projectIndex = project_;
        record.file = name;
        record.found = found;
        record.how = how;
        emptyKeepingBuffer(record.via);
        record.via.reserve(via.size() + ViaSeparator.size() + name.size());
        record.via += via;
        record.via += ViaSeparator;
        record.via += name;
        record.system = system;
        emptyKeepingBuffer(record.reason);
        holding_ = true;
        return record;
    }

    void handOver()
    {
        if (holding_)
            visit_(current_);
        holding_ = false;
    }

    // Empties a text the record writes again: its buffer is kept unless the visitor kept a copy.
    static void emptyKeepingBuffer(QString& text)
    {
        if (text.isDetached())
            text.resize(0);
        else
            text = QString();
    }

    static void appendNumber(QString& text, int number)
    {
        char digits[16];
        const auto [end, error] = std::to_chars(digits, digits + sizeof digits, number);
        text += QLatin1StringView(digits, error == std::errc() ? end : digits);
    }

    // Looks at a found file: a program image of the wrong machine, or a file that is not one where
    // one is needed, is a problem; Wine's own built-ins are the system's; anything else is followed
    // once per project.
    void check(ClosureRecord& record, FirstFolder first)
    {
        if (record.found.isEmpty() || record.system)
            return;
        const ImageFacts& facts = factsOf(record.found);
        const bool needsImage = record.how != ClosureHow::Reference && record.how != ClosureHow::Component;
        if (!facts.image) {
            // A standalone type library imports nothing; a referenced file that begins as an image
            // but cannot be read as one, or an imported one that is no image, cannot load.
            if (needsImage || facts.startsAsImage)
                record.reason += QLatin1StringView("not a program image");
            return;
        }
        const PeImports::Machine wanted =
            search_.arch() == LoaderArch::X86 ? PeImports::Machine::I386 : PeImports::Machine::Amd64;
        if (facts.machine != wanted) {
            record.reason += facts.machine == PeImports::Machine::Amd64 ? QLatin1StringView("64-bit image")
                             : facts.machine == PeImports::Machine::I386 ? QLatin1StringView("32-bit image")
                                                                         : QLatin1StringView("image for another machine");
            return;
        }
        if (facts.wineBuiltin) {
            record.system = true;
            return;
        }
        const QString key = record.found.toLower();
        if (seen_.contains(key))
            return;
        seen_.insert(key);
        queue_.push_back({record.found, record.via, first == OwnFolderFirst ? folderOf(record.found) : programFolder_});
    }

    // Follows what the queued files import, breadth first.
    void drain()
    {
        while (!queue_.empty()) {
            const Pending pending = std::move(queue_.front());
            queue_.pop_front();
            const ImageFacts& facts = factsOf(pending.found);
            addImports(facts.imports, ClosureHow::Import, pending);
            addImports(facts.delayImports, ClosureHow::DelayImport, pending);
            addDependencyFileUses(pending);
        }
    }

    void addImports(const QStringList& names, ClosureHow how, const Pending& from)
    {
        for (const QString& name : names) {
            const DllLocation location = search_.find(name, from.firstFolder, programFolder_);
            ClosureRecord& record = add(name, location.windowsPath, how, from.via, location.system);
            if (location.windowsPath.isEmpty() && !location.apiSet) {
                record.reason += NotFound;
                continue;
            }
            // What an imported library imports is searched for as the library was: from the
            // same first folder (the loader keeps the search order of the load).
            check(record, from.firstFolder == programFolder_ ? ProgramFirst : OwnFolderFirst);
        }
    }

    const ImageFacts& factsOf(const QString& windowsPath)
    {
        const QString key = windowsPath.toLower();
        if (const auto it = facts_.constFind(key); it != facts_.constEnd())
            return *it;
        ImageFacts facts;
        const PathMapper& paths = PathMapper::current();
        const QString host = search_.arch() == LoaderArch::X86 ? paths.toHost(windowsPath) : paths.toHostNative(windowsPath);
        HostFileSource source(host);
        if (source.isOpen()) {
            facts.startsAsImage = source.u16(0) == std::optional<std::uint16_t>(0x5A4D);
            if (facts.startsAsImage) {
                if (const std::optional<PeImports> imports = ReadPeImports(source)) {
                    facts.image = true;
                    facts.machine = imports->machine;
                    facts.wineBuiltin = imports->wineBuiltin;
                    facts.imports = dedupe(imports->imports);
                    facts.delayImports = dedupe(imports->delayImports);
                }
            }
        }
        return *facts_.insert(key, std::move(facts));
    }

    static QStringList dedupe(const QStringList& names)
    {
        QStringList out;
        QSet<QString> seen;
        for (const QString& name : names) {
            if (!name.isEmpty() && !seen.contains(name.toLower())) {
                seen.insert(name.toLower());
                out.append(name);
            }
        }
        return out;
    }

    static QString folderOf(const QString& windowsPath)
    {
        const qsizetype slash = windowsPath.lastIndexOf(u'\\');
        return slash < 0 ? QString() : windowsPath.left(slash);
    }

    static QString withoutTrailingSlash(QString folder)
    {
        while (folder.size() > 3 && folder.endsWith(u'\\'))
            folder.chop(1);
        return folder;
    }


    const Catalogue& catalogue_;
    const std::vector<QString>& projectPaths_;
    const std::vector<ProjectSources>& sources_;
    DllSearch search_;
    FolderListingCache& listings_;
    const ClosureVisitor& visit_;
    ClosureRecord current_; // the record being made, handed over when the next begins
    bool holding_ = false;
    QHash<QString, ImageFacts> facts_; // lower-cased Windows path -> what the file is
    // Lower-cased path -> its scan. A node map: sourceFiles_ keeps pointers to the scans across
    // later insertions, which QHash would move.
    std::unordered_map<QString, std::optional<SourceScan>> scans_;
    QString sourceFolder_;                  // the folder sourceFiles_ is for
    QHash<QString, SourceFile> sourceFiles_; // each source file as written there -> the file
    QHash<QString, std::optional<DependencyFile>> dependencyFiles_; // lower-cased path -> the file
    const DependencyFile* developmentList_ = nullptr;
    bool developmentListLooked_ = false;
    int project_ = 0;
    QString programFolder_;
    QSet<QString> seen_;               // files followed for this project
    std::deque<Pending> queue_;
};

}

QStringView ClosureRecord::parentVia() const
{
    return QStringView(via).chopped(std::min(via.size(), file.size() + ViaSeparator.size()));
}

QString ClosureHowName(ClosureHow how)
{
    switch (how) {
    case ClosureHow::Reference: return QStringLiteral("reference");
    case ClosureHow::Component: return QStringLiteral("component");
    case ClosureHow::Program: return QStringLiteral("program");
    case ClosureHow::Import: return QStringLiteral("import");
    case ClosureHow::DelayImport: return QStringLiteral("delay import");
    case ClosureHow::DependencyFile: return QStringLiteral("dependency file");
    case ClosureHow::Declare: return QStringLiteral("declare");
    case ClosureHow::FormControl: return QStringLiteral("form control");
    case ClosureHow::Source: return QStringLiteral("source");
    }
    return QString();
}

void VisitClosure(const Catalogue& catalogue, const std::vector<QString>& projectPaths,
                  const std::vector<ProjectSources>& sources, LoaderArch arch, const ClosureVisitor& visit)
{
    FolderListingCache listings;
    ClosureBuilder(catalogue, projectPaths, sources, arch, listings, visit).build();
}

void VisitClosure(const Catalogue& catalogue, const LoadContext& load, LoaderArch arch, const ClosureVisitor& visit)
{
    // The folders the load listed are not listed again.
    ClosureBuilder(catalogue, load.projectPaths, load.projectSources, arch, load.folderListings, visit).build();
}

namespace {

// A visitor that keeps a copy of each record in `records`.
ClosureVisitor gatheringInto(std::vector<ClosureRecord>& records)
{
    return [&records](const ClosureRecord& record) { records.push_back(record); };
}

}

std::vector<ClosureRecord> BuildClosure(const Catalogue& catalogue, const std::vector<QString>& projectPaths,
                                        const std::vector<ProjectSources>& sources, LoaderArch arch)
{
    std::vector<ClosureRecord> records;
    VisitClosure(catalogue, projectPaths, sources, arch, gatheringInto(records));
    return records;
}

std::vector<ClosureRecord> BuildClosure(const Catalogue& catalogue, const LoadContext& load, LoaderArch arch)
{
    std::vector<ClosureRecord> records;
    VisitClosure(catalogue, load, arch, gatheringInto(records));
    return records;
}
