#include "platform/loader/DllSearch.h"

#include "platform/files/PathMapper.h"
#include "platform/registry/RegistryStore.h"
#include "platform/registry/WindowsEnvironment.h"

#include <QFileInfo>

namespace {

const QString kKnownDllsKey = QStringLiteral("System\\CurrentControlSet\\Control\\Session Manager\\KnownDLLs");

QString joined(const QString& folder, const QString& name)
{
    if (folder.isEmpty())
        return QString();
    return folder.endsWith(u'\\') ? folder + name : folder + u'\\' + name;
}

bool hasFolder(const QString& name)
{
    return name.contains(u'\\') || name.contains(u'/') || (name.size() >= 2 && name[1] == u':');
}

}

bool IsApiSetName(const QString& name)
{
    return name.startsWith(QStringLiteral("api-ms-win-"), Qt::CaseInsensitive)
           || name.startsWith(QStringLiteral("ext-ms-"), Qt::CaseInsensitive);
}

DllSearch::DllSearch(LoaderArch arch)
    : arch_(arch)
{
    const auto store = RegistryStore::current();
    for (const RegistryValue& value : store->values(RegistryRoot::LocalMachine, kKnownDllsKey)) {
        // DllDirectory and DllDirectory32 name folders, not DLLs.
        if (value.name.startsWith(QStringLiteral("DllDirectory"), Qt::CaseInsensitive))
            continue;
        const QString file = store->text(RegistryRoot::LocalMachine, kKnownDllsKey, value.name);
        if (!file.isEmpty())
            knownDlls_.insert(file.toLower());
    }
    for (const QString& folder : WindowsEnvironment::current().value(u"PATH").split(u';', Qt::SkipEmptyParts)) {
        const QString trimmed = folder.trimmed();
        if (!trimmed.isEmpty() && !path_.contains(trimmed, Qt::CaseInsensitive))
            path_.append(trimmed);
    }
}

QString DllSearch::inFolder(const QString& folder, const QString& name) const
{
    const QString windowsPath = joined(folder, name);
    if (windowsPath.isEmpty())
        return QString();
    const QString key = windowsPath.toLower();
    auto it = exists_.constFind(key);
    if (it == exists_.constEnd()) {
        const PathMapper& paths = PathMapper::current();
        const QString host = arch_ == LoaderArch::X86 ? paths.toHost(windowsPath) : paths.toHostNative(windowsPath);
        it = exists_.insert(key, !host.isEmpty() && QFileInfo(host).isFile());
    }
    return *it ? windowsPath : QString();
}

DllLocation DllSearch::find(const QString& name, const QString& first, const QString& current) const
{
    DllLocation location;
    if (IsApiSetName(name)) {
        location.system = location.apiSet = true;
        return location;
    }
    if (hasFolder(name)) {
        const bool absolute = name.size() >= 3 && name[1] == u':' && (name[2] == u'\\' || name[2] == u'/');
        location.windowsPath = absolute ? inFolder(name.left(2), name.mid(3)) : inFolder(current, name);
        return location;
    }
    if (knownDlls_.contains(name.toLower())) {
        location.system = true;
        location.windowsPath = inFolder(systemFolder(), name);
        return location;
    }
    const QString folders[] = {first, systemFolder(), QStringLiteral("C:\\windows\\system"), QStringLiteral("C:\\windows"), current};
    for (const QString& folder : folders) {
        location.windowsPath = inFolder(folder, name);
        if (!location.windowsPath.isEmpty())
            return location;
    }
    for (const QString& folder : path_) {
        location.windowsPath = inFolder(folder, name);
        if (!location.windowsPath.isEmpty())
            return location;
    }
    return location;
}
