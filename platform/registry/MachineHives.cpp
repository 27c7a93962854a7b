#include "platform/registry/MachineHives.h"

#include "platform/files/FolderListing.h"
#include "platform/files/PathMapper.h"
#include "platform/registry/RegistryText.h"

#include <QFileInfo>
#include <algorithm>

namespace {

const QString kConfigFolder = QStringLiteral("C:\\Windows\\System32\\config\\");
const QString kProfileList = QStringLiteral("Microsoft\\Windows NT\\CurrentVersion\\ProfileList");

// The accounts of the system itself (LocalSystem, LocalService, NetworkService) and the
// templates of new profiles: none is a user whose programs a setup is for.
bool isSystemProfile(const QString& sid, const QString& name)
{
    static const QStringList sids = {QStringLiteral("S-1-5-18"), QStringLiteral("S-1-5-19"), QStringLiteral("S-1-5-20")};
    static const QStringList names = {QStringLiteral("Default"), QStringLiteral("Default User"), QStringLiteral("Public"),
                                      QStringLiteral("All Users"), QStringLiteral("LocalService"),
                                      QStringLiteral("NetworkService"), QStringLiteral("systemprofile")};
    return sids.contains(sid, Qt::CaseInsensitive) || names.contains(name, Qt::CaseInsensitive);
}

// The host path of `name` inside the host folder `folder`, matched ignoring case; empty when
// there is none.
QString entryIn(const QString& folder, const QString& name)
{
    if (folder.isEmpty())
        return QString();
    const QString found = findEntryIgnoringCase(folder, name);
    return found.isEmpty() ? QString() : folder + u'/' + found;
}

QString entryPath(QString folder, const QStringList& names)
{
    for (const QString& name : names)
        folder = entryIn(folder, name);
    return folder;
}

}

MachineHives::MachineHives(const PathMapper& paths)
    : win64_(paths.redirectsSystem32())
{
    const QString windows = paths.toHost(QStringLiteral("C:\\Windows"));
    if (!QFileInfo(windows).isDir()) {
        error_ = QStringLiteral("%1 is not a Windows system's disk: it has no Windows folder").arg(paths.prefix());
        return;
    }
    software_ = openHive(paths, kConfigFolder + QStringLiteral("SOFTWARE"), QStringLiteral("the machine's software hive"), true);
    if (!error_.isEmpty())
        return;
    system_ = openHive(paths, kConfigFolder + QStringLiteral("SYSTEM"), QStringLiteral("the machine's system hive"), false);
    if (system_ && system_->isOpen())
        findControlSet();
    chooseUser(paths, paths.windowsUser());
}

MachineHives::~MachineHives() = default;

std::unique_ptr<HiveFile> MachineHives::openHive(const PathMapper& paths, const QString& windowsPath, const QString& what,
                                                 bool required)
{
    const QString host = paths.toHostNative(windowsPath);
    auto hive = std::make_unique<HiveFile>(host);
    if (!hive->isOpen()) {
        if (required)
            error_ = QStringLiteral("cannot read %1: %2").arg(what, hive->error());
        else
            notices_.append(QStringLiteral("cannot read %1, so it is read as empty: %2").arg(what, hive->error()));
        return hive;
    }
    if (hive->notCleanlyClosed())
        uncleanHives_.append(host);
    if (hive->sequencesDiffer())
        notices_.append(QStringLiteral("%1 (%2) was not closed cleanly (its sequence numbers differ): it is read as it "
                                       "stands, without the changes Windows had not written to it yet")
                            .arg(what, host));
    else if (!hive->transactionLogs().isEmpty())
        notices_.append(QStringLiteral("%1 (%2) has transaction logs beside it: it is read as it stands, without the "
                                       "changes kept in them")
                            .arg(what, host));
    return hive;
}

void MachineHives::findControlSet()
{
    const std::optional<HiveKey> select = system_->key(u"Select");
    const std::optional<RegistryValue> current = select ? system_->value(*select, u"Current") : std::nullopt;
    if (current && current->type == RegistryText::REG_DWORD && current->data.size() >= 4) {
        const auto* bytes = reinterpret_cast<const unsigned char*>(current->data.constData());
        const std::uint32_t number = bytes[0] | bytes[1] << 8 | bytes[2] << 16 | std::uint32_t(bytes[3]) << 24;
        const QString name = QStringLiteral("ControlSet%1").arg(number, 3, 10, QChar(u'0'));
        if (number > 0 && number < 1000 && system_->keyExists(name)) {
            controlSet_ = name;
            return;
        }
    }
    // A hive made from an export of the registry holds the current set under its own name.
    if (system_->keyExists(u"CurrentControlSet"))
        controlSet_ = QStringLiteral("CurrentControlSet");
}

std::vector<MachineHives::Profile> MachineHives::profiles(const PathMapper& paths) const
{
    std::vector<Profile> found;
    const auto add = [&](Profile profile) {
        if (profile.hostFolder.isEmpty() || isSystemProfile(profile.sid, profile.name)
            || entryIn(profile.hostFolder, QStringLiteral("NTUSER.DAT")).isEmpty())
            return;
        for (const Profile& known : found)
            if (known.hostFolder == profile.hostFolder)
                return;
        found.push_back(std::move(profile));
    };
    if (const std::optional<HiveKey> list = software_->key(kProfileList)) {
        for (const QString& sid : software_->subkeyNames(*list)) {
            const std::optional<HiveKey> key = software_->subkey(*list, sid);
            const std::optional<RegistryValue> image = key ? software_->value(*key, u"ProfileImagePath") : std::nullopt;
            if (!image)
                continue;
            QString folder = RegistryText::textOf(image->data);
            folder.replace(QStringLiteral("%SystemDrive%"), QStringLiteral("C:"), Qt::CaseInsensitive);
            folder.replace(QStringLiteral("%SystemRoot%"), QStringLiteral("C:\\Windows"), Qt::CaseInsensitive);
            if (!PathMapper::isDrivePath(folder))
                continue;
            add({folder.section(u'\\', -1, -1, QString::SectionSkipEmpty), sid, paths.toHost(folder), folder});
        }
    }
    for (const char* parent : {"C:\\Users", "C:\\Documents and Settings"}) {
        const QString host = paths.toHost(QString::fromLatin1(parent));
        for (const FolderEntry& entry : ListFolderEntries(host).value_or(std::vector<FolderEntry>{}))
            if (entry.kind == FolderEntryKind::Folder)
                add({entry.name, QString(), host + u'/' + entry.name, QString::fromLatin1(parent) + u'\\' + entry.name});
    }
    return found;
}

void MachineHives::chooseUser(const PathMapper& paths, const QString& asked)
{
    const std::vector<Profile> all = profiles(paths);
    QStringList names;
    for (const Profile& profile : all)
        names.append(profile.name);
    const Profile* chosen = nullptr;
    if (!asked.isEmpty()) {
        for (const Profile& profile : all)
            if (profile.name.compare(asked, Qt::CaseInsensitive) == 0)
                chosen = &profile;
        if (!chosen) {
            error_ = names.isEmpty() ? QStringLiteral("no user profile named %1: the machine has no profile with an NTUSER.DAT").arg(asked)
                                     : QStringLiteral("no user profile named %1 (the machine's: %2)").arg(asked, names.join(QStringLiteral(", ")));
            return;
        }
        notices_.append(QStringLiteral("HKEY_CURRENT_USER is user %1's registry, as asked").arg(chosen->name));
    } else if (all.size() == 1) {
        chosen = &all.front();
        notices_.append(QStringLiteral("HKEY_CURRENT_USER is user %1's registry, the only profile").arg(chosen->name));
    } else if (all.size() > 1) {
        const auto written = [](const Profile& p) {
            return QFileInfo(entryIn(p.hostFolder, QStringLiteral("NTUSER.DAT"))).lastModified();
        };
        chosen = &*std::max_element(all.begin(), all.end(),
                                    [&](const Profile& a, const Profile& b) { return written(a) < written(b); });
        notices_.append(QStringLiteral("HKEY_CURRENT_USER is user %1's registry, the most recently used of %2 profiles "
                                       "(%3; --windows-user names another)")
                            .arg(chosen->name)
                            .arg(all.size())
                            .arg(names.join(QStringLiteral(", "))));
    } else {
        notices_.append(QStringLiteral("no user profile with an NTUSER.DAT was found: HKEY_CURRENT_USER is empty"));
        return;
    }
    userName_ = chosen->name;
    userProfile_ = chosen->windowsFolder;
    userSid_ = chosen->sid.isEmpty() ? QStringLiteral("S-1-5-21-0-0-0-1000") : chosen->sid;
    const QString ntuser = entryIn(chosen->hostFolder, QStringLiteral("NTUSER.DAT"));
    user_ = std::make_unique<HiveFile>(ntuser);
    if (!user_->isOpen()) {
        notices_.append(QStringLiteral("cannot read user %1's hive, so HKEY_CURRENT_USER is empty: %2").arg(userName_, user_->error()));
        return;
    }
    if (user_->notCleanlyClosed()) {
        uncleanHives_.append(ntuser);
        notices_.append(QStringLiteral("user %1's hive (%2) was not closed cleanly: it is read as it stands, without the "
                                       "changes Windows had not written to it yet")
                            .arg(userName_, ntuser));
    }
    QString classes = entryPath(chosen->hostFolder, {QStringLiteral("AppData"), QStringLiteral("Local"), QStringLiteral("Microsoft"),
                                                     QStringLiteral("Windows"), QStringLiteral("UsrClass.dat")});
    if (classes.isEmpty())
        classes = entryPath(chosen->hostFolder, {QStringLiteral("Local Settings"), QStringLiteral("Application Data"),
                                                 QStringLiteral("Microsoft"), QStringLiteral("Windows"), QStringLiteral("UsrClass.dat")});
    if (classes.isEmpty())
        return; // a profile that never registered anything for itself has none
    userClasses_ = std::make_unique<HiveFile>(classes);
    if (!userClasses_->isOpen())
        notices_.append(QStringLiteral("cannot read user %1's classes hive, so only the machine's classes are read: %2")
                            .arg(userName_, userClasses_->error()));
    else if (userClasses_->notCleanlyClosed()) {
        uncleanHives_.append(classes);
        notices_.append(QStringLiteral("user %1's classes hive (%2) was not closed cleanly: it is read as it stands")
                            .arg(userName_, classes));
    }
}
