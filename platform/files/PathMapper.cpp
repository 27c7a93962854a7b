#include "platform/files/PathMapper.h"

#include "platform/files/FolderListing.h"
#include "platform/files/HostNames.h"

#include <QDir>
#include <QFileInfo>
#include <memory>
#include <cstdlib>
#include <sys/stat.h>
#include <unistd.h>

namespace {

bool& program64BitFlag()
{
    static bool program64Bit = false;
    return program64Bit;
}

std::unique_ptr<PathMapper>& currentMapper()
{
    static std::unique_ptr<PathMapper> mapper;
    return mapper;
}

int driveIndex(QChar letter)
{
    const char16_t c = letter.toLower().unicode();
    return (c >= u'a' && c <= u'z') ? c - u'a' : -1;
}

QStringList windowsComponents(const QString& pathAfterDrive)
{
    QString p = pathAfterDrive;
    p.replace(u'/', u'\\');
    return p.split(u'\\', Qt::SkipEmptyParts);
}

// The entry of `dir` whose name equals `name` ignoring case, or an empty string.
QString findIgnoringCase(const QString& dir, const QString& name)
{
    return findEntryIgnoringCase(dir, name);
}

// Whether a host path names something, its bytes taken exactly (see HostNames).
bool exists(const QString& hostPath)
{
    const QByteArray name = HostNames::encode(hostPath);
    struct stat info {};
    return !name.isEmpty() && ::stat(name.constData(), &info) == 0;
}

// Where the link at host path `path` points, made absolute from the link's folder, or `path`
// itself when it is no link; names taken as bytes (see HostNames).
QString linkTarget(const QString& path)
{
    const QByteArray name = HostNames::encode(path);
    QByteArray target(4096, '\0');
    const ssize_t length = name.isEmpty() ? -1 : ::readlink(name.constData(), target.data(), size_t(target.size()));
    if (length < 0 || length >= target.size())
        return path;
    const QString text = HostNames::decode(target.left(length));
    return text.startsWith(u'/') ? text : path.left(path.lastIndexOf(u'/') + 1) + text;
}

// The host path with every link resolved, or an empty string when it cannot be reached.
QString canonical(const QString& path)
{
    const QByteArray name = HostNames::encode(path);
    char* resolved = name.isEmpty() ? nullptr : ::realpath(name.constData(), nullptr);
    if (!resolved)
        return QString();
    const QString text = HostNames::decode(QByteArray(resolved));
    std::free(resolved);
    return text;
}

}

PathMapper::PathMapper(const QString& prefixDir)
    : prefix_(QDir::cleanPath(QDir(prefixDir).absolutePath()))
{
    // Listed and followed through the names' own bytes: a prefix whose path is not valid UTF-8
    // is as good a prefix as any.
    const QString dosdevices = prefix_ + QStringLiteral("/dosdevices");
    for (const FolderEntry& entry : ListFolderEntries(dosdevices).value_or(std::vector<FolderEntry>{})) {
        if (entry.name.size() != 2 || entry.name[1] != u':' || entry.kind != FolderEntryKind::Folder)
            continue;
        const int index = driveIndex(entry.name[0]);
        if (index < 0)
            continue;
        const QString target = linkTarget(dosdevices + u'/' + entry.name);
        drives_[index] = QDir::cleanPath(target);
        canonicalDrives_[index] = canonical(target);
    }
    finishDrives();
}

PathMapper::PathMapper(const WindowsRoot& root)
    : prefix_(QDir::cleanPath(QDir(root.root).absolutePath()))
    , windowsRoot_(true)
    , windowsUser_(root.user)
{
    for (const auto& [letter, folder] : root.drives) {
        const int index = driveIndex(letter);
        if (index < 0)
            continue;
        drives_[index] = QDir::cleanPath(QDir(folder).absolutePath());
        canonicalDrives_[index] = canonical(drives_[index]);
        machineZ_ = machineZ_ || index == 25;
    }
    drives_[2] = prefix_;
    canonicalDrives_[2] = canonical(prefix_);
    finishDrives();
}

void PathMapper::finishDrives()
{
    if (drives_[25].isEmpty()) {
        drives_[25] = QStringLiteral("/");
        canonicalDrives_[25] = QStringLiteral("/");
    }
    if (!drives_[2].isEmpty()) {
        const QString windowsDir = findIgnoringCase(drives_[2], QStringLiteral("windows"));
        if (!windowsDir.isEmpty() && !findIgnoringCase(drives_[2] + u'/' + windowsDir, QStringLiteral("syswow64")).isEmpty())
            system32Windows_ = QStringLiteral("windows\\system32");
    }
}

std::optional<WindowsRoot> PathMapper::windowsRootFromEnvironment()
{
    const QString root = HostNames::decode(qgetenv("ZANTREL_WINDOWS"));
    if (root.isEmpty())
        return std::nullopt;
    WindowsRoot windows;
    windows.root = root;
    return windows;
}

bool PathMapper::isReadOnly(const QString& hostPath) const
{
    if (!windowsRoot_)
        return false;
    // Judged as written and with links resolved (through the nearest folder on the way that
    // exists, for a file about to be made), so no link leads a write onto the machine's disk.
    const QString absolute = QDir::cleanPath(QDir(hostPath).absolutePath());
    QString resolved;
    for (QString path = absolute; resolved.isEmpty() && !path.isEmpty();) {
        resolved = canonical(path);
        const qsizetype slash = path.lastIndexOf(u'/');
        path = path == u'/' ? QString() : slash > 0 ? path.left(slash) : QStringLiteral("/");
    }
    const auto below = [](const QString& path, const QString& root) {
        return !path.isEmpty() && !root.isEmpty() && (root == u'/' || path == root || path.startsWith(root + u'/'));
    };
    for (int drive = 0; drive < (machineZ_ ? 26 : 25); ++drive) // Z: is the host's root unless asked for
        for (const QString& root : {drives_[drive], canonicalDrives_[drive]})
            if (below(absolute, root) || below(resolved, root))
                return true;
    return false;
}

QString PathMapper::defaultPrefix()
{
    // The variables' own bytes (see HostNames): a folder whose name is not UTF-8 is still that
    // folder, not one with U+FFFD in its name, which would leave no prefix at all.
    const QString fromEnvironment = HostNames::decode(qgetenv("WINEPREFIX"));
    if (!fromEnvironment.isEmpty())
        return fromEnvironment;
    const QString home = HostNames::decode(qgetenv("HOME"));
    return (home.isEmpty() ? QDir::homePath() : home) + QStringLiteral("/.wine");
}

const PathMapper& PathMapper::current()
{
    auto& mapper = currentMapper();
    if (!mapper) {
        if (const std::optional<WindowsRoot> root = windowsRootFromEnvironment())
            mapper = std::make_unique<PathMapper>(*root);
        else
            mapper = std::make_unique<PathMapper>(defaultPrefix());
    }
    return *mapper;
}

void PathMapper::setCurrent(const QString& prefixDir)
{
    currentMapper() = std::make_unique<PathMapper>(prefixDir);
}

void PathMapper::setProgram64Bit(bool program64Bit)
{
    program64BitFlag() = program64Bit;
}

bool PathMapper::program64Bit()
{
    return program64BitFlag();
}

void PathMapper::setCurrent(const WindowsRoot& root)
{
    currentMapper() = std::make_unique<PathMapper>(root);
}

QString PathMapper::driveRoot(QChar letter) const
{
    const int index = driveIndex(letter);
    return index < 0 ? QString() : drives_[index];
}

bool PathMapper::isDrivePath(const QString& path)
{
    return path.size() >= 2 && path[1] == u':' && driveIndex(path[0]) >= 0
        && (path.size() == 2 || path[2] == u'\\' || path[2] == u'/');
}

bool PathMapper::split(const QString& windowsPath, QString& root, QStringList& components, bool native) const
{
    if (!isDrivePath(windowsPath))
        return false;
    root = driveRoot(windowsPath[0]);
    if (root.isEmpty())
        return false;

    components.clear();
    for (const QString& component : windowsComponents(windowsPath.mid(2))) {
        if (component == u'.')
            continue;
        if (component == QStringLiteral("..")) {
            if (!components.isEmpty())
                components.removeLast();
            continue;
        }
        components.append(component);
    }

    // A 32-bit program in a 64-bit prefix sees syswow64 where it asks for system32.
    if (!native && !program64BitFlag() && !system32Windows_.isEmpty() && driveIndex(windowsPath[0]) == 2 && components.size() >= 2
        && components[0].compare(QStringLiteral("windows"), Qt::CaseInsensitive) == 0
        && components[1].compare(QStringLiteral("system32"), Qt::CaseInsensitive) == 0)
        components[1] = QStringLiteral("syswow64");
    return true;
}

QString PathMapper::toHostAsWritten(const QString& windowsPath) const
{
    QString root;
    QStringList components;
    if (!split(windowsPath, root, components))
        return QString();
    if (components.isEmpty())
        return root;
    return (root.endsWith(u'/') ? root : root + u'/') + components.join(u'/');
}

QString PathMapper::toHost(const QString& windowsPath) const
{
    QString root;
    QStringList components;
    if (!split(windowsPath, root, components))
        return QString();
    return resolveBelow(root, components);
}

QString PathMapper::toHostNative(const QString& windowsPath) const
{
    QString root;
    QStringList components;
    if (!split(windowsPath, root, components, true))
        return QString();
    return resolveBelow(root, components);
}

QString PathMapper::resolveBelow(QString hostDir, const QStringList& components) const
{
    if (components.isEmpty())
        return hostDir;
    // The common case first: the path exists exactly as written.
    const QString joined = components.join(u'/');
    const QString exact = hostDir.endsWith(u'/') ? hostDir + joined : hostDir + u'/' + joined;
    if (exists(exact))
        return exact;

    QString path = hostDir;
    bool resolving = true;
    for (const QString& component : components) {
        QString name = component;
        if (resolving) {
            const QString candidate = path + u'/' + component;
            if (!exists(candidate)) {
                const QString match = findIgnoringCase(path, component);
                if (match.isEmpty())
                    resolving = false; // the rest does not exist: keep it as written
                else
                    name = match;
            }
        }
        path = path.endsWith(u'/') ? path + name : path + u'/' + name;
    }
    return path;
}

QString PathMapper::toWindows(const QString& hostPath) const
{
    const QFileInfo info(hostPath);
    const QString absolute = QDir::cleanPath(info.absoluteFilePath());
    // The folders are resolved, the last name is kept as given: a link there keeps its own name
    // (a report saved as "informe.rtf" is named so even when the link points at "x.txt").
    const QFileInfo folder(info.absolutePath());
    const QString folderCanonical = folder.exists() ? folder.canonicalFilePath() : QString();
    const QString canonical = !info.exists() && !info.isSymLink() ? QString()
                              : folderCanonical.isEmpty()           ? QString()
                              : info.fileName().isEmpty() || absolute == u'/'
                                  ? folderCanonical
                                  : (folderCanonical == u'/' ? QString() : folderCanonical) + u'/' + info.fileName();

    int bestDrive = -1;
    qsizetype bestLength = -1;
    QString bestRest;
    auto consider = [&](int drive, const QString& root, const QString& path) {
        if (root.isEmpty())
            return;
        const bool isRoot = root == u'/';
        if (path == root || isRoot || path.startsWith(root + u'/')) {
            if (root.size() > bestLength || (root.size() == bestLength && drive < bestDrive)) {
                bestDrive = drive;
                bestLength = root.size();
                bestRest = path == root ? QString() : path.mid(isRoot ? 1 : root.size() + 1);
            }
        }
    };
    for (int drive = 0; drive < 26; ++drive) {
        // Z: covers everything; every other drive wins over it.
        if (drive == 25)
            continue;
        consider(drive, drives_[drive], absolute);
        if (!canonical.isEmpty())
            consider(drive, canonicalDrives_[drive], canonical);
    }
    if (bestDrive < 0) {
        bestDrive = 25;
        const QString& root = canonicalDrives_[25];
        const QString& path = canonical.isEmpty() ? absolute : canonical;
        bestRest = root == u'/' ? path.mid(1) : (path.startsWith(root + u'/') ? path.mid(root.size() + 1) : path.mid(1));
    }
    QString rest = bestRest;
    rest.replace(u'/', u'\\');
    return QString(QChar(u'A' + bestDrive)) + QStringLiteral(":\\") + rest;
}
