#include "catalogue/Resolution.h"

#include "catalogue/Catalogue.h"
#include "catalogue/FileHelpers.h"
#include "catalogue/Inventory.h"
#include "catalogue/LoadContext.h"
#include "catalogue/UnresolvedLines.h"
#include "platform/core/ProgramError.h"
#include "platform/files/PathMapper.h"
#include "platform/typelib/RegistryTypeLibRegistrations.h"
#include "platform/typelib/TypeLibService.h"
#include "support/cRegistry.h"

#include <QHash>

namespace {

// The number written by the decimal digits at the start of `text` (0 when there are none);
// nullopt when it does not fit 16 bits.
std::optional<std::uint16_t> leadingNumber(const QString& text)
{
    std::uint32_t value = 0;
    for (QChar c : text) {
        if (c < u'0' || c > u'9')
            break;
        value = value * 10 + static_cast<std::uint32_t>(c.unicode() - u'0');
        if (value > 0xFFFFu)
            return std::nullopt;
    }
    return static_cast<std::uint16_t>(value);
}

// The text between the separator at `from` and the next occurrence of `until` after it (to the
// end when there is none); `next` receives that occurrence's index or -1.
QString fieldAfter(const QString& line, qsizetype from, QChar until, qsizetype& next)
{
    if (from < 0) {
        next = -1;
        return QString();
    }
    next = line.indexOf(until, from + 1);
    return next < 0 ? line.mid(from + 1) : line.mid(from + 1, next - from - 1);
}

// The project file's folder with its trailing backslash: "c:\src\a.vbp" gives "c:\src\".
QString folderOf(const QString& projectPath)
{
    const qsizetype slash = projectPath.lastIndexOf(u'\\');
    return slash < 0 ? QString() : projectPath.left(slash + 1);
}

}

QString ResolvedAgainstProject(const QString& path, const QString& projectPath)
{
    if (path.isEmpty() || PathMapper::isDrivePath(path) || path.startsWith(QStringLiteral("\\\\")))
        return path;
    const QString folder = folderOf(projectPath);
    if (!PathMapper::isDrivePath(folder))
        return path;
    QString joined = path.startsWith(u'\\') ? folder.left(2) + path : folder + path;
    // Fold "." and ".." so the entry shows the file's real place.
    QStringList parts;
    const QStringList pieces = joined.mid(3).split(u'\\');
    for (const QString& piece : pieces) {
        if (piece == u'.' || piece.isEmpty())
            continue;
        if (piece == QStringLiteral("..")) {
            if (!parts.isEmpty())
                parts.removeLast();
            continue;
        }
        parts.append(piece);
    }
    return joined.left(3) + parts.join(u'\\');
}

namespace {

cRegistry& sharedRegistry()
{
    static cRegistry registry;
    return registry;
}

template <typename Value, typename Compute>
const Value& remembered(QHash<QString, Value>& table, const QString& key, Compute compute)
{
    auto it = table.find(key);
    if (it == table.end())
        it = table.insert(key, compute());
    return *it;
}

QString readRegisteredFile(const QString& key)
{
    try {
        cRegistry& registry = sharedRegistry();
        registry.setClassKey(cRegistry::HKEY_CLASSES_ROOT);
        registry.setValueType(cRegistry::REG_SZ);
        registry.setSectionKey(key);
        return registry.Value().toString();
    } catch (const ProgramError&) {
        return QString();
    }
}

QString registeredFile(LoadContext& load, const QString& key)
{
    return remembered(load.registeredFiles, key, [&] { return readRegisteredFile(key); });
}

std::optional<TypeLibInfo> loadRegistered(LoadContext& load, const QString& guid, VersionNumbers version)
{
    const QString key = guid.toUpper() + u'#' + QString::number(version.major) + u'#' + QString::number(version.minor);
    return remembered(load.registered, key, [&] {
        return SharedTypeLibService().loadRegistered(guid, version.major, version.minor, 0, nullptr,
                                                     &load.typeLibVersions);
    });
}

std::optional<TypeLibInfo> loadFromFile(LoadContext& load, const QString& path)
{
    return remembered(load.fromFile, path, [&] { return SharedTypeLibService().loadFromFile(path); });
}

void appendEntry(Catalogue& catalogue, LoadContext& load, int projectIndex, int& DependencyCounter, std::int32_t kind,
                 const QString& filePath, const TypeLibInfo& library)
{
    DependencyEntry entry;
    entry.Kind = kind;
    entry.FilePath = filePath;
    entry.Guid = library.guid;
    entry.Description = library.helpString;
    // Versions are 16-bit signed values, widened.
    entry.MajorVersion = static_cast<std::int16_t>(library.majorVersion);
    entry.MinorVersion = static_cast<std::int16_t>(library.minorVersion);
    // Size and date are those of the file the row names. When that is the path the library was
    // loaded from, the file read is the same file: a bare name found in the system folder, or a
    // "file.dll\2" resource, is measured there. A path that fell back to the one written in the
    // line while another version's registration loaded the library names a file of its own.
    const bool loadedFromFilePath = library.containingFile.compare(filePath, Qt::CaseInsensitive) == 0;
    const QString& measured = loadedFromFilePath && !library.fileRead.isEmpty() ? library.fileRead : filePath;
    const auto& facts = remembered(load.fileFacts, measured, [&] {
        return std::make_pair(TamanoArchivo(measured), FechaArchivo(measured));
    });
    entry.SizeKB = facts.first;
    entry.FileDate = facts.second;
    catalogue.AppendDependency(projectIndex, DependencyCounter, std::move(entry));
}

}

std::optional<VersionNumbers> SplitVersion(const QString& version, const QString& locale)
{
    const qsizetype dot = version.indexOf(u'.');
    const auto major = leadingNumber(dot < 0 ? version : version.left(dot));
    const auto minor = leadingNumber(dot < 0 ? locale : version.mid(dot + 1));
    if (!major || !minor)
        return std::nullopt;
    return VersionNumbers{*major, *minor};
}

void AgregaReferencia(Catalogue& catalogue, LoadContext& load, int projectIndex, int& DependencyCounter, const QString& line)
{
    qsizetype second = -1, third = -1;
    const QString version = fieldAfter(line, line.indexOf(u'#'), u'#', second);
    const QString locale = fieldAfter(line, second, u'#', third);

    // The GUID: after the first 'G', up to and including the first '}'.
    const QString afterG = line.mid(line.indexOf(u'G') + 1);
    const qsizetype close = afterG.indexOf(u'}');
    const QString guid = close < 0 ? QString() : afterG.left(close + 1);

    QString filePath = registeredFile(load, QStringLiteral("TypeLib\\") + guid + u'\\' + version + u'\\' + locale
                                      + QStringLiteral("\\win32"));
    if (filePath.isEmpty())
        filePath = ResolvedAgainstProject(ExtraeRuta(line), load.readingProjectPath);

    if (load.recordLines)
        RecordNamedLibrary(load, DependencyKind::Reference, guid, version, ExtraeRuta(line),
                           line.mid(line.lastIndexOf(u'#') + 1));

    const std::optional<VersionNumbers> numbers = SplitVersion(version, locale);
    std::optional<TypeLibInfo> library;
    if (numbers) {
        library = loadRegistered(load, guid, *numbers);
        if (!library && !filePath.isEmpty())
            library = loadFromFile(load, filePath);
    }
    if (!library) {
        if (load.recordLines)
            RecordUnresolvedReference(load, line, guid, numbers,
                                      ResolvedAgainstProject(ExtraeRuta(line), load.readingProjectPath));
        return;
    }
    appendEntry(catalogue, load, projectIndex, DependencyCounter, DependencyKind::Reference, filePath, *library);
}

void AgregaComponente(Catalogue& catalogue, LoadContext& load, int projectIndex, int& DependencyCounter, const QString& line)
{
    qsizetype second = -1, semicolon = -1;
    const QString version = fieldAfter(line, line.indexOf(u'#'), u'#', second);
    const QString locale = fieldAfter(line, second, u';', semicolon);

    // The GUID: from the character after "Object=" up to and including the first '}'.
    const qsizetype close = line.indexOf(u'}');
    const QString guid = close < 7 ? QString() : line.mid(7, close - 7 + 1);

    if (load.recordLines)
        RecordNamedLibrary(load, DependencyKind::Component, guid, version,
                           semicolon < 0 ? QString() : line.mid(semicolon + 1), QString());

    const std::optional<VersionNumbers> numbers = SplitVersion(version, locale);
    const std::optional<TypeLibInfo> library = numbers ? loadRegistered(load, guid, *numbers) : std::nullopt;
    if (!library) {
        if (load.recordLines)
            RecordUnresolvedComponent(load, line, guid, numbers);
        return;
    }
    appendEntry(catalogue, load, projectIndex, DependencyCounter, DependencyKind::Component, library->containingFile, *library);
}

TypeLibService& SharedTypeLibService()
{
    static RegistryTypeLibRegistrations registrations;
    static TypeLibService service(registrations);
    return service;
}
