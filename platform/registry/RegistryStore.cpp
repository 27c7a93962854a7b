#include "platform/registry/RegistryStore.h"

#include "platform/files/PathMapper.h"
#include "platform/files/RegularFile.h"
#include "platform/registry/MachineHives.h"
#include "platform/registry/RegistryText.h"

#include <QFile>
#include <QFileInfo>
#include <algorithm>

using namespace WinApi;

namespace {

// The user Wine makes in a new prefix, when user.reg does not name another.
const QString kDefaultUserSid = QStringLiteral("S-1-5-21-0-0-0-1000");

// Windows allows 512 levels of keys.
constexpr std::size_t kMaxDepth = 512;

const std::vector<QStringView>& classesBase()
{
    static const std::vector<QStringView> base{u"Software", u"Classes"};
    return base;
}

// Wine keeps System\CurrentControlSet as a link key: a "#link" key whose REG_LINK value
// SymbolicLinkValue names the set it stands for, "\Registry\Machine\System\ControlSet001".
// Reads through it land in that set, as they do in Wine. Empty when the key is a plain one.
QString linkedControlSet(RegistryHive& machine)
{
    static const std::vector<QStringView> link{u"System", u"CurrentControlSet"};
    RegistryKey* key = machine.find(machine.root(), link);
    const RegistryValue* target = key ? machine.value(key, u"SymbolicLinkValue") : nullptr;
    if (!target || target->type != RegistryText::REG_LINK)
        return QString();
    const QString path = RegistryText::textOf(target->data);
    const QLatin1String system("\\Registry\\Machine\\System\\");
    if (!path.startsWith(system, Qt::CaseInsensitive))
        return QString();
    const QString set = path.mid(system.size());
    return set.isEmpty() || set.contains(u'\\') ? QString() : set;
}

// The class keys Windows keeps apart for 32-bit programs on a 64-bit system (below
// HKEY_CLASSES_ROOT\Wow6432Node); everything else under the classes root is shared.
bool redirectedClassKey(QStringView name)
{
    for (QStringView redirected : {u"CLSID", u"Interface", u"DirectShow", u"Media Type", u"MediaFoundation"})
        if (CompareRegistryNames(name, redirected) == 0)
            return true;
    return false;
}

bool sameName(QStringView a, QStringView b)
{
    return CompareRegistryNames(a, b) == 0;
}

std::shared_ptr<RegistryStore>& sharedStore()
{
    static std::shared_ptr<RegistryStore> store;
    return store;
}

// Merges two name-ordered lists; on equal names the first list's entry is kept.
template <typename Item, typename Name>
std::vector<Item> mergeByName(std::vector<Item> first, const std::vector<Item>& second, Name nameOf)
{
    std::vector<Item> merged;
    merged.reserve(first.size() + second.size());
    std::size_t i = 0, j = 0;
    while (i < first.size() || j < second.size()) {
        if (j == second.size()) {
            merged.push_back(std::move(first[i++]));
            continue;
        }
        if (i == first.size()) {
            merged.push_back(second[j++]);
            continue;
        }
        const int order = RegistryHive::compareNames(nameOf(first[i]), nameOf(second[j]));
        if (order <= 0) {
            if (order == 0)
                ++j;
            merged.push_back(std::move(first[i++]));
        } else {
            merged.push_back(second[j++]);
        }
    }
    return merged;
}

}

RegistryStore::RegistryStore(const QString& prefixDir)
    : prefix_(prefixDir)
    , win64_(QFileInfo(prefixDir + QStringLiteral("/drive_c/windows/syswow64")).isDir())
    , machine_(std::make_unique<RegistryHive>(prefixDir + QStringLiteral("/system.reg"), QByteArrayLiteral("\\\\Machine"), win64_))
    , user_(std::make_unique<RegistryHive>(prefixDir + QStringLiteral("/user.reg"),
                                           "\\\\User\\\\" + kDefaultUserSid.toLatin1(), win64_))
{
}

RegistryStore::RegistryStore(const PathMapper& paths)
    : prefix_(paths.prefix())
    , win64_(paths.redirectsSystem32())
    , hives_(std::make_unique<MachineHives>(paths))
    , windowsUser_(paths.windowsUser())
{
}

RegistryStore::~RegistryStore() = default;

std::shared_ptr<RegistryStore> RegistryStore::current()
{
    auto& store = sharedStore();
    const PathMapper& paths = PathMapper::current();
    const bool root = paths.isWindowsRoot();
    if (!store || store->prefix() != paths.prefix() || bool(store->hives_) != root
        || (root && store->windowsUser_ != paths.windowsUser()))
        store = root ? std::make_shared<RegistryStore>(paths) : std::make_shared<RegistryStore>(paths.prefix());
    return store;
}

void RegistryStore::resetCurrent()
{
    sharedStore().reset();
}

QString RegistryStore::userSid()
{
    if (hives_)
        return hives_->userSid();
    const FileContents contents = ReadRegularFile(user_->filePath(), 4096, FollowLinks::Yes, PastTheBound::KeepHead);
    if (!contents.ok())
        return kDefaultUserSid;
    const QByteArray& head = contents.bytes;
    const QByteArray marker = ";; All keys relative to ";
    const qsizetype at = head.indexOf(marker);
    if (at < 0)
        return kDefaultUserSid;
    const qsizetype start = at + marker.size();
    qsizetype end = head.indexOf('\n', start);
    if (end < 0)
        end = head.size();
    QByteArray line = head.mid(start, end - start).trimmed();
    line.append('\n'); // an end for the unescaping to stop at
    QString path;
    if (RegistryText::unescape(std::string_view(line.constData(), static_cast<std::size_t>(line.size())), '\n', path) < 0)
        return kDefaultUserSid;
    const QString sid = path.section(u'\\', -1);
    return sid.isEmpty() ? kDefaultUserSid : sid;
}

RegistryStore::Location RegistryStore::locate(RegistryRoot root, QStringView path, RegistryView view)
{
    Location where;
    if (path.startsWith(u'\\')) {
        where.error = ERROR_BAD_PATHNAME;
        return where;
    }
    for (qsizetype i = 0; i < path.size();) {
        const qsizetype separator = path.indexOf(u'\\', i);
        const qsizetype end = separator < 0 ? path.size() : separator;
        if (end > i)
            where.parts.push_back(path.mid(i, end - i));
        i = end + 1;
    }
    if (root == RegistryRoot::ClassesRoot && win64_ && view == RegistryView::Program32 && !where.parts.empty()
        && redirectedClassKey(where.parts.front()))
        where.parts.insert(where.parts.begin(), u"Wow6432Node");
    if (hives_) {
        locateInHives(root, where);
        return where;
    }

    switch (root) {
    case RegistryRoot::ClassesRoot:
        user_->refresh();
        machine_->refresh();
        where.layers[0] = {user_.get(), nullptr, classesBase()};
        where.layers[1] = {machine_.get(), nullptr, classesBase()};
        where.count = 2;
        break;
    case RegistryRoot::CurrentUser:
        user_->refresh();
        where.layers[0] = {user_.get(), nullptr, {}};
        where.count = 1;
        break;
    case RegistryRoot::LocalMachine:
        machine_->refresh();
        where.layers[0] = {machine_.get(), nullptr, {}};
        where.count = 1;
        if (where.parts.size() >= 2 && sameName(where.parts[0], u"System") && sameName(where.parts[1], u"CurrentControlSet")) {
            controlSet_ = linkedControlSet(*machine_);
            if (!controlSet_.isEmpty())
                where.parts[1] = controlSet_;
        }
        break;
    case RegistryRoot::CurrentConfig:
        machine_->refresh();
        controlSet_ = linkedControlSet(*machine_);
        where.layers[0] = {machine_.get(), nullptr,
                           {u"System", controlSet_.isEmpty() ? QStringView(u"CurrentControlSet") : QStringView(controlSet_),
                            u"Hardware Profiles", u"Current"}};
        where.count = 1;
        break;
    case RegistryRoot::Users:
        if (where.parts.empty()) {
            where.listsOnly = true;
        } else if (RegistryHive::compareNames(where.parts.front(), userSid()) == 0) {
            user_->refresh();
            where.parts.erase(where.parts.begin());
            where.layers[0] = {user_.get(), nullptr, {}};
            where.count = 1;
        } else {
            where.error = ERROR_FILE_NOT_FOUND;
        }
        break;
    default:
        where.error = ERROR_INVALID_HANDLE;
        break;
    }
    return where;
}

void RegistryStore::locateInHives(RegistryRoot root, Location& where)
{
    const MachineHives& hives = *hives_;
    const auto add = [&where](const HiveFile* file, std::vector<QStringView> base) {
        if (file)
            where.layers[where.count++] = {nullptr, file, std::move(base)};
    };
    const auto dropFirst = [&where](std::size_t n) { where.parts.erase(where.parts.begin(), where.parts.begin() + n); };
    std::vector<QStringView>& parts = where.parts;
    switch (root) {
    case RegistryRoot::ClassesRoot:
        add(hives.userClasses(), {});
        add(hives.user(), classesBase()); // profiles from before UsrClass.dat keep them here
        add(hives.software(), {u"Classes"});
        break;
    case RegistryRoot::Users:
        if (parts.empty()) {
            where.listsOnly = true;
            if (!hives.userSid().isEmpty())
                where.rootNames = {hives.userSid()};
            break;
        }
        if (hives.userSid().isEmpty() || !sameName(parts.front(), hives.userSid())) {
            where.error = ERROR_FILE_NOT_FOUND;
            break;
        }
        dropFirst(1);
        [[fallthrough]];
    case RegistryRoot::CurrentUser:
        if (parts.size() >= 2 && sameName(parts[0], u"Software") && sameName(parts[1], u"Classes")) {
            dropFirst(2);
            add(hives.userClasses(), {});
            add(hives.user(), classesBase());
        } else {
            add(hives.user(), {});
        }
        break;
    case RegistryRoot::LocalMachine:
        if (parts.empty()) {
            where.listsOnly = true;
            where.rootNames = {QStringLiteral("SOFTWARE"), QStringLiteral("SYSTEM")};
        } else if (sameName(parts.front(), u"Software")) {
            dropFirst(1);
            add(hives.software(), {});
        } else if (sameName(parts.front(), u"System")) {
            dropFirst(1);
            if (!parts.empty() && sameName(parts.front(), u"CurrentControlSet"))
                parts.front() = hives.controlSet();
            add(hives.system(), {});
        } else {
            where.error = ERROR_FILE_NOT_FOUND;
        }
        break;
    case RegistryRoot::CurrentConfig:
        add(hives.system(), {hives.controlSet(), u"Hardware Profiles", u"Current"});
        break;
    default:
        where.error = ERROR_INVALID_HANDLE;
        break;
    }
}

std::optional<HiveKey> RegistryStore::fileKeyIn(const Layer& layer, const std::vector<QStringView>& parts) const
{
    if (layer.base.size() + parts.size() > kMaxDepth)
        return std::nullopt;
    HiveKey key = layer.file->root();
    for (const std::vector<QStringView>* path : {&layer.base, &parts}) {
        for (QStringView part : *path) {
            const std::optional<HiveKey> child = layer.file->subkey(key, part);
            if (!child)
                return std::nullopt;
            key = *child;
        }
    }
    return key;
}

bool RegistryStore::existsIn(const Layer& layer, const std::vector<QStringView>& parts)
{
    return layer.file ? fileKeyIn(layer, parts).has_value() : keyIn(layer, parts) != nullptr;
}

RegistryKey* RegistryStore::keyIn(const Layer& layer, const std::vector<QStringView>& parts)
{
    RegistryKey* base = layer.hive->find(layer.hive->root(), layer.base);
    return base ? layer.hive->find(base, parts) : nullptr;
}

LONG RegistryStore::checkKey(RegistryRoot root, QStringView path, RegistryView view)
{
    Location where = locate(root, path, view);
    if (where.error != ERROR_SUCCESS || where.listsOnly)
        return where.error;
    // The classes root itself exists even before anything is registered.
    if (root == RegistryRoot::ClassesRoot && where.parts.empty())
        return ERROR_SUCCESS;
    for (int i = 0; i < where.count; ++i)
        if (existsIn(where.layers[i], where.parts))
            return ERROR_SUCCESS;
    return ERROR_FILE_NOT_FOUND;
}

QStringList RegistryStore::subkeyNames(RegistryRoot root, QStringView path, RegistryView view)
{
    Location where = locate(root, path, view);
    if (where.error != ERROR_SUCCESS)
        return {};
    if (where.listsOnly)
        return hives_ ? where.rootNames : QStringList{userSid()};
    std::vector<QString> merged;
    for (int i = 0; i < where.count; ++i) {
        const Layer& layer = where.layers[i];
        std::vector<QString> names;
        if (layer.file) {
            const std::optional<HiveKey> key = fileKeyIn(layer, where.parts);
            if (!key)
                continue;
            const QStringList listed = layer.file->subkeyNames(*key);
            names.assign(listed.begin(), listed.end());
        } else {
            RegistryKey* key = keyIn(layer, where.parts);
            if (!key)
                continue;
            names.reserve(key->subkeys().size());
            for (const auto& entry : key->subkeys())
                names.push_back(entry.first);
        }
        merged = mergeByName(std::move(merged), names, [](const QString& n) { return QStringView(n); });
    }
    return QStringList(merged.begin(), merged.end());
}

std::vector<RegistryValue> RegistryStore::values(RegistryRoot root, QStringView path, RegistryView view)
{
    Location where = locate(root, path, view);
    if (where.error != ERROR_SUCCESS || where.listsOnly)
        return {};
    std::vector<RegistryValue> merged;
    const auto byName = [](const RegistryValue& v) { return QStringView(v.name); };
    for (int i = 0; i < where.count; ++i) {
        const Layer& layer = where.layers[i];
        if (layer.file) {
            if (const std::optional<HiveKey> key = fileKeyIn(layer, where.parts))
                merged = mergeByName(std::move(merged), layer.file->values(*key), byName);
        } else if (RegistryKey* key = keyIn(layer, where.parts)) {
            merged = mergeByName(std::move(merged), layer.hive->values(key), byName);
        }
    }
    return merged;
}

std::optional<RegistryValue> RegistryStore::value(RegistryRoot root, QStringView path, QStringView name, RegistryView view)
{
    Location where = locate(root, path, view);
    if (where.error != ERROR_SUCCESS || where.listsOnly)
        return std::nullopt;
    for (int i = 0; i < where.count; ++i) {
        const Layer& layer = where.layers[i];
        if (layer.file) {
            if (const std::optional<HiveKey> key = fileKeyIn(layer, where.parts))
                if (std::optional<RegistryValue> found = layer.file->value(*key, name))
                    return found;
        } else if (RegistryKey* key = keyIn(layer, where.parts)) {
            if (const RegistryValue* found = layer.hive->value(key, name))
                return *found;
        }
    }
    return std::nullopt;
}

QString RegistryStore::text(RegistryRoot root, QStringView path, QStringView name, RegistryView view)
{
    const std::optional<RegistryValue> found = value(root, path, name, view);
    if (!found || (found->type != RegistryText::REG_SZ && found->type != RegistryText::REG_EXPAND_SZ
                   && found->type != RegistryText::REG_MULTI_SZ))
        return QString();
    return RegistryText::textOf(found->data);
}

LONG RegistryStore::commit(RegistryHive& hive)
{
    return hive.save() ? ERROR_SUCCESS : ERROR_REGISTRY_IO_FAILED;
}

LONG RegistryStore::createKey(RegistryRoot root, QStringView path, bool* created)
{
    if (created)
        *created = false;
    if (hives_)
        return ERROR_ACCESS_DENIED; // a Windows machine's disk is never written
    Location where = locate(root, path);
    if (where.error != ERROR_SUCCESS)
        return where.error;
    if (where.listsOnly)
        return ERROR_ACCESS_DENIED;
    for (int i = 0; i < where.count; ++i)
        if (keyIn(where.layers[i], where.parts))
            return ERROR_SUCCESS;
    if (root == RegistryRoot::ClassesRoot && where.parts.empty())
        return ERROR_SUCCESS;

    // A new key goes to the last layer: the machine's classes under HKEY_CLASSES_ROOT.
    const Layer& layer = where.layers[where.count - 1];
    if (layer.base.size() + where.parts.size() > kMaxDepth)
        return ERROR_INVALID_PARAMETER;
    for (QStringView part : where.parts)
        if (part.size() > RegistryText::kMaxKeyNameLength)
            return ERROR_INVALID_PARAMETER;
    if (!layer.hive->writable())
        return ERROR_REGISTRY_IO_FAILED;

    RegistryKey* key = layer.hive->root();
    for (QStringView part : layer.base)
        key = layer.hive->createChild(key, part.toString());
    for (QStringView part : where.parts)
        key = layer.hive->createChild(key, part.toString());
    const LONG result = commit(*layer.hive);
    if (created && result == ERROR_SUCCESS)
        *created = true;
    return result;
}

LONG RegistryStore::setValue(RegistryRoot root, QStringView path, RegistryValue value)
{
    if (hives_)
        return ERROR_ACCESS_DENIED; // a Windows machine's disk is never written
    Location where = locate(root, path);
    if (where.error != ERROR_SUCCESS)
        return where.error;
    if (where.listsOnly)
        return ERROR_ACCESS_DENIED;
    for (int i = 0; i < where.count; ++i) {
        const Layer& layer = where.layers[i];
        if (RegistryKey* key = keyIn(layer, where.parts)) {
            if (!layer.hive->writable())
                return ERROR_REGISTRY_IO_FAILED;
            layer.hive->setValue(key, std::move(value));
            return commit(*layer.hive);
        }
    }
    if (root == RegistryRoot::ClassesRoot && where.parts.empty()) {
        // A value of the classes root itself lands on the machine's Software\Classes.
        const LONG made = createKey(RegistryRoot::LocalMachine, u"Software\\Classes", nullptr);
        if (made != ERROR_SUCCESS)
            return made;
        return setValue(RegistryRoot::LocalMachine, u"Software\\Classes", std::move(value));
    }
    return ERROR_FILE_NOT_FOUND;
}

LONG RegistryStore::deleteKey(RegistryRoot root, QStringView path)
{
    if (hives_)
        return ERROR_ACCESS_DENIED; // a Windows machine's disk is never written
    Location where = locate(root, path);
    if (where.error != ERROR_SUCCESS)
        return where.error;
    if (where.listsOnly || where.parts.empty())
        return ERROR_ACCESS_DENIED;
    for (int i = 0; i < where.count; ++i) {
        const Layer& layer = where.layers[i];
        if (RegistryKey* key = keyIn(layer, where.parts)) {
            if (!key->subkeys().empty())
                return ERROR_ACCESS_DENIED;
            if (!layer.hive->writable())
                return ERROR_REGISTRY_IO_FAILED;
            layer.hive->deleteKey(key);
            return commit(*layer.hive);
        }
    }
    return ERROR_FILE_NOT_FOUND;
}

LONG RegistryStore::deleteValue(RegistryRoot root, QStringView path, QStringView name)
{
    if (hives_)
        return ERROR_ACCESS_DENIED; // a Windows machine's disk is never written
    Location where = locate(root, path);
    if (where.error != ERROR_SUCCESS)
        return where.error;
    if (where.listsOnly)
        return ERROR_FILE_NOT_FOUND;
    for (int i = 0; i < where.count; ++i) {
        const Layer& layer = where.layers[i];
        RegistryKey* key = keyIn(layer, where.parts);
        if (!key || !layer.hive->value(key, name))
            continue;
        if (!layer.hive->writable())
            return ERROR_REGISTRY_IO_FAILED;
        layer.hive->deleteValue(key, name);
        return commit(*layer.hive);
    }
    return ERROR_FILE_NOT_FOUND;
}

void RegistryStore::loadText(QByteArray machine, QByteArray user)
{
    if (hives_)
        return;
    machine_->loadText(std::move(machine));
    user_->loadText(std::move(user));
}

void RegistryStore::refresh()
{
    if (hives_)
        return; // hive files are read as they were when opened
    machine_->refresh();
    user_->refresh();
}

std::uint64_t RegistryStore::generation() const
{
    // Each hive's count only grows, so their sum changes whenever either does.
    return hives_ ? 0 : machine_->generation() + user_->generation();
}
