// Feeds arbitrary bytes to the registry file reader as a prefix's system.reg and checks what
// must hold for any input: every key and value can be read; saving the unchanged hive gives the
// file back byte for byte; and after a few changes (a value set, a key added, a key deleted)
// the saved text reads back as exactly the tree that was saved. The layer above the file reads
// it too, as the current prefix's registry: the classes root merged from it, the environment
// expanded from it (never past the Windows limit), and the type-library version keys, chosen
// alike with and without the per-load index. Everything runs in memory (the hives read the
// input as their text, with the parsing a file gets), so no state passes between inputs.
#include "platform/files/PathMapper.h"
#include "platform/registry/RegistryHive.h"
#include "platform/registry/RegistryStore.h"
#include "platform/registry/RegistryText.h"
#include "platform/registry/WindowsEnvironment.h"
#include "platform/typelib/RegistryTypeLibRegistrations.h"
#include "platform/typelib/TypeLibService.h"
#include "FuzzCheck.h"

#include <QDir>
#include <QTemporaryDir>
#include <cstdint>
#include <cstdlib>
#include <vector>

namespace {

// The prefix whose registry each input becomes; it holds no registry file.
struct Folder {
    QTemporaryDir dir{QDir(QStringLiteral("/dev/shm")).exists() ? QStringLiteral("/dev/shm/zantrel-fuzz-XXXXXX")
                                                                : QDir::tempPath() + QStringLiteral("/zantrel-fuzz-XXXXXX")};
    Folder() { PathMapper::setCurrent(dir.path()); }
};

void readAsThePrefixRegistry(const QByteArray& input)
{
    const std::shared_ptr<RegistryStore> store = RegistryStore::current();
    store->loadText(input);
    const WindowsEnvironment environment(*store);
    check(environment.expand(u"%PATH%;%windir%;%TEMP%;%ComSpec%").size() <= WindowsEnvironment::kMaxExpandedLength);

    RegistryTypeLibRegistrations registrations;
    const TypeLibService service(registrations);
    TypeLibVersionIndex index;
    const QStringList libraries = store->subkeyNames(RegistryRoot::ClassesRoot, u"TypeLib");
    for (qsizetype i = 0; i < std::min<qsizetype>(libraries.size(), 2); ++i) {
        static const std::pair<std::uint16_t, std::uint16_t> versions[] = {{1, 0}, {2, 5}, {0xffff, 0xffff}, {0, 0}};
        for (const auto& [major, minor] : versions)
            check(service.registeredPath(libraries[i], major, minor, 0x409)
                  == service.registeredPath(libraries[i], major, minor, 0x409, &index));
    }
    store->values(RegistryRoot::ClassesRoot, u"CLSID");
}

// Every key, parents first, children in order, with its depth.
std::vector<std::pair<RegistryKey*, int>> allKeys(RegistryHive& hive)
{
    std::vector<std::pair<RegistryKey*, int>> keys;
    std::vector<std::pair<RegistryKey*, int>> stack{{hive.root(), 0}};
    while (!stack.empty()) {
        const auto [key, depth] = stack.back();
        stack.pop_back();
        keys.emplace_back(key, depth);
        for (auto it = key->subkeys().rbegin(); it != key->subkeys().rend(); ++it)
            stack.emplace_back(it->second, depth + 1);
    }
    return keys;
}

// A name as the registry compares it. (A key's spelling is that of the first block naming it,
// which a deleted block can change; that is no difference.)
QByteArray folded(const QString& name)
{
    QString lower = name;
    for (QChar& c : lower)
        c = QChar(char16_t(QChar::toLower(char32_t(c.unicode()))));
    return QByteArray(reinterpret_cast<const char*>(lower.utf16()), lower.size() * 2).toHex();
}

// A flat description of the tree, names and values included, for comparing two hives.
QByteArray describe(RegistryHive& hive)
{
    QByteArray out;
    for (const auto& [key, depth] : allKeys(hive)) {
        out += QByteArray::number(depth) + ' ' + folded(key->name()) + '\n';
        for (const RegistryValue& value : hive.values(key))
            out += "  " + folded(value.name) + '=' + QByteArray::number(value.type) + ':' + value.data.toHex() + '\n';
    }
    return out;
}

}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static Folder folder;
    const QByteArray input(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));

    readAsThePrefixRegistry(input);

    RegistryHive hive(QString(), "\\\\Machine", false);
    hive.loadText(input);
    if (!hive.writable() || input.isEmpty()) {
        describe(hive); // every key and value can still be read
        return 0;
    }

    check(hive.savedText() == input); // an unchanged hive must be written back as it was read

    const auto keys = allKeys(hive);
    const auto [last, lastDepth] = keys.back();
    hive.setValue(last, RegistryValue{QStringLiteral("Fuzz \"value\""), 1, RegistryText::utf16Data(u"x\\y\u00e9\n")});
    if (lastDepth < 500) {
        RegistryKey* added = hive.createChild(last, QStringLiteral("Fuzz [new]"));
        hive.setValue(added, RegistryValue{QString(), 3, QByteArray(100, '\x7f')});
    }
    for (const auto& [key, depth] : keys) {
        if (key != hive.root() && key->subkeys().empty() && key != last) {
            hive.deleteKey(key);
            break;
        }
    }

    RegistryHive reread(QString(), "\\\\Machine", false);
    reread.loadText(hive.savedText());
    check(describe(hive) == describe(reread)); // what was saved must read back the same
    return 0;
}
