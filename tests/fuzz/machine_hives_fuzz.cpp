// Feeds arbitrary bytes, as a Windows machine's hive files, through the registry layer the whole
// program reads: a Windows root in memory (/dev/shm) whose SOFTWARE, SYSTEM and user NTUSER.DAT
// are all the input (one file, linked under the three names). For any input the root is read as
// the program reads it: the world's error or notices, the type-library registrations under
// HKEY_CLASSES_ROOT (listed, and looked up by name), the current control set's code page and
// known DLLs, the environment from the hives and its expansion, HKEY_USERS; and what must hold
// does: listings ordered without two equal names, each value found again as listed, every change
// refused, no answer unbounded.
#include "platform/files/PathMapper.h"
#include "platform/registry/MachineHives.h"
#include "platform/registry/RegistryStore.h"
#include "platform/registry/WindowsEnvironment.h"
#include "platform/registry/WindowsWorld.h"
#include "FuzzCheck.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <cstdint>
#include <fcntl.h>
#include <unistd.h>

namespace {

// Of each listing, the entries looked up again.
constexpr qsizetype kLookups = 8;

struct Root {
    QTemporaryDir dir{QDir(QStringLiteral("/dev/shm")).exists() ? QStringLiteral("/dev/shm/zantrel-root-XXXXXX")
                                                                : QDir::tempPath() + QStringLiteral("/zantrel-root-XXXXXX")};
    QString config = dir.filePath(QStringLiteral("Windows/System32/config"));
    QString software = config + QStringLiteral("/SOFTWARE");
    int fd = -1;

    Root()
    {
        QDir().mkpath(config);
        QDir().mkpath(dir.filePath(QStringLiteral("Windows/SysWOW64")));
        QDir().mkpath(dir.filePath(QStringLiteral("Users/ana")));
        fd = ::open(QFile::encodeName(software).constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
        QFile::link(software, config + QStringLiteral("/SYSTEM"));
        QFile::link(software, dir.filePath(QStringLiteral("Users/ana/NTUSER.DAT")));
        WindowsRoot root;
        root.root = dir.path();
        PathMapper::setCurrent(root);
    }
};

bool write(const Root& root, const uint8_t* data, size_t size)
{
    if (root.fd < 0 || ::ftruncate(root.fd, 0) != 0)
        return false;
    for (size_t done = 0; done < size;) {
        const ssize_t wrote = ::pwrite(root.fd, data + done, size - done, off_t(done));
        if (wrote <= 0)
            return false;
        done += size_t(wrote);
    }
    return true;
}

// Lists the key, checks the listing and looks up again what it names; returns the names.
QStringList checkKey(RegistryStore& store, RegistryRoot root, const QString& path)
{
    const QStringList names = store.subkeyNames(root, path);
    check(names.size() <= HiveFile::kMaxSubkeys * 3);
    for (qsizetype i = 1; i < names.size(); ++i)
        check(CompareRegistryNames(names[i - 1], names[i]) < 0);
    // A name listed is not always found again (a damaged list out of order hides it from the
    // search; a class key a 32-bit program reads from Wow6432Node), but looking costs no more.
    for (qsizetype i = 0; i < names.size() && i < kLookups; ++i)
        store.keyExists(root, path.isEmpty() ? names[i] : path + u'\\' + names[i]);
    const std::vector<RegistryValue> values = store.values(root, path);
    for (std::size_t i = 0; i < values.size() && qsizetype(i) < kLookups; ++i) {
        check(i == 0 || CompareRegistryNames(values[i - 1].name, values[i].name) < 0);
        const std::optional<RegistryValue> again = store.value(root, path, values[i].name);
        check(again && again->data == values[i].data && again->type == values[i].type);
    }
    return names;
}

}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static Root root;
    if (!write(root, data, size))
        return 0;
    RegistryStore::resetCurrent();
    const std::shared_ptr<RegistryStore> store = RegistryStore::current();
    const MachineHives* hives = store->machineHives();
    check(hives != nullptr);
    if (!WorldError().isEmpty()) {
        // Nothing is read past an error, and the error names the hive expected.
        check(hives->software() == nullptr && WorldError().contains(QStringLiteral("software hive")));
        return 0;
    }
    check(!WorldNotices().isEmpty());

    for (const QString& library : checkKey(*store, RegistryRoot::ClassesRoot, QStringLiteral("TypeLib")).mid(0, kLookups))
        for (const QString& version : checkKey(*store, RegistryRoot::ClassesRoot, QStringLiteral("TypeLib\\") + library).mid(0, 2))
            checkKey(*store, RegistryRoot::ClassesRoot, QStringLiteral("TypeLib\\") + library + u'\\' + version);
    checkKey(*store, RegistryRoot::ClassesRoot, QString());
    checkKey(*store, RegistryRoot::ClassesRoot, QStringLiteral("CLSID"));
    checkKey(*store, RegistryRoot::LocalMachine, QStringLiteral("System\\CurrentControlSet\\Control\\Nls\\CodePage"));
    checkKey(*store, RegistryRoot::LocalMachine, QStringLiteral("System\\CurrentControlSet\\Control\\Session Manager\\KnownDLLs"));
    checkKey(*store, RegistryRoot::CurrentConfig, QString());
    for (const QString& user : checkKey(*store, RegistryRoot::Users, QString()))
        checkKey(*store, RegistryRoot::Users, user);

    const WindowsEnvironment environment(*store);
    check(environment.expandedLength() <= WindowsEnvironment::kMaxTotalExpandedLength + WindowsEnvironment::kMaxExpandedLength);
    check(environment.expand(u"%PATH%;%SystemRoot%").size() <= WindowsEnvironment::kMaxExpandedLength);

    check(store->createKey(RegistryRoot::CurrentUser, u"Software\\Zantrel") == WinApi::ERROR_ACCESS_DENIED);
    check(store->setValue(RegistryRoot::LocalMachine, u"Software", {QString(), 1, {}}) == WinApi::ERROR_ACCESS_DENIED);
    return 0;
}
