#include "platform/loader/DllSearch.h"

#include "platform/files/ByteSource.h"
#include "platform/files/PathMapper.h"
#include "platform/registry/RegistryStore.h"
#include "platform/registry/WindowsEnvironment.h"
#include "platform/typelib/PeImports.h"

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

DllSearch::Candidate DllSearch::candidate(const QString& windowsPath) const
{
    const QString key = windowsPath.toLower();
    auto it = candidates_.constFind(key);
    if (it == candidates_.constEnd()) {
        const PathMapper& paths = PathMapper::current();
        const QString host = arch_ == LoaderArch::X86 ? paths.toHost(windowsPath) : paths.toHostNative(windowsPath);
        Candidate found = Candidate::None;
        if (!host.isEmpty() && QFileInfo(host).isFile()) {
            found = Candidate::Loadable;
            // A file that is no image stops the search as well: the load fails on it.
            const HostFileSource source(host);
            if (const std::optional<PeImports> image = source.isOpen() ? ReadPeImports(source) : std::nullopt) {
                const PeImports::Machine wanted = arch_ == LoaderArch::X86 ? PeImports::Machine::I386 : PeImports::Machine::Amd64;
                if (image->machine != wanted)
                    found = Candidate::OtherMachine;
            }
        }
        it = candidates_.insert(key, found);
    }
    return *it;
}

QString DllSearch::inFolder(const QString& folder, const QString& name) const
{
    const QString windowsPath = joined(folder, name);
    return !windowsPath.isEmpty() && candidate(windowsPath) != Candidate::None ? windowsPath : QString();
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
    QStringList folders = {first, systemFolder(), QStringLiteral("C:\\windows\\system"), QStringLiteral("C:\\windows"), current};
    folders += path_;
    QString passedOver; // the first image for another machine
    for (const QString& folder : folders) {
        const QString windowsPath = joined(folder, name);
        if (windowsPath.isEmpty())
            continue;
        switch (candidate(windowsPath)) {
        case Candidate::None:
            break;
        case Candidate::Loadable:
            location.windowsPath = windowsPath;
            return location;
        case Candidate::OtherMachine:
            if (passedOver.isEmpty())
                passedOver = windowsPath;
            break;
        }
    }
    location.windowsPath = passedOver;
    return location;
}
