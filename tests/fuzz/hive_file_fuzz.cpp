// Feeds arbitrary bytes to the reader of a Windows machine's registry hive files. hivex opens a
// hive only by name, so each input is written once to a file in memory (/dev/shm, one file
// rewritten in place) and opened from there. For any input: a file that is not opened says why;
// an open one is walked from its root, a bounded number of keys breadth first, and what each key
// gives must hold: subkey names and values in the text store's order without two equal names,
// within the bounds, each found again by its own name; a key found by path has the name asked for.
#include "platform/registry/HiveFile.h"
#include "platform/registry/RegistryText.h"
#include "FuzzCheck.h"

#include <QDir>
#include <QTemporaryDir>
#include <cstdint>
#include <deque>
#include <fcntl.h>
#include <unistd.h>

namespace {

// Keys visited per input: enough to reach the deep and the wide keys of a small hive, few enough
// that one input costs milliseconds.
constexpr int kMaxKeysVisited = 256;
// Of each key, the subkeys and values looked up again by name.
constexpr int kLookupsPerKey = 16;

struct Folder {
    QTemporaryDir dir{QDir(QStringLiteral("/dev/shm")).exists() ? QStringLiteral("/dev/shm/zantrel-fuzz-XXXXXX")
                                                                : QDir::tempPath() + QStringLiteral("/zantrel-fuzz-XXXXXX")};
    QString path = dir.filePath(QStringLiteral("SOFTWARE"));
    int fd = ::open(QFile::encodeName(path).constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
};

bool write(const Folder& folder, const uint8_t* data, size_t size)
{
    if (folder.fd < 0 || ::ftruncate(folder.fd, 0) != 0)
        return false;
    for (size_t done = 0; done < size;) {
        const ssize_t wrote = ::pwrite(folder.fd, data + done, size - done, off_t(done));
        if (wrote <= 0)
            return false;
        done += size_t(wrote);
    }
    return true;
}

template <typename List, typename Name>
void checkOrderedAndDistinct(const List& items, Name nameOf)
{
    for (qsizetype i = 1; i < qsizetype(items.size()); ++i)
        check(CompareRegistryNames(nameOf(items[i - 1]), nameOf(items[i])) < 0);
}

void checkKey(const HiveFile& hive, HiveKey key, std::deque<std::pair<HiveKey, QString>>& pending, const QString& path)
{
    const QStringList names = hive.subkeyNames(key);
    check(names.size() <= HiveFile::kMaxSubkeys);
    checkOrderedAndDistinct(names, [](const QString& n) { return QStringView(n); });
    for (qsizetype i = 0; i < names.size(); ++i) {
        check(names[i].size() <= RegistryText::kMaxKeyNameLength && !names[i].contains(u'\\'));
        if (i >= kLookupsPerKey)
            continue;
        // A list out of order can hide a subkey from the search; one found is the one asked for.
        if (const std::optional<HiveKey> child = hive.subkey(key, names[i])) {
            check(CompareRegistryNames(hive.name(*child), names[i]) == 0);
            pending.emplace_back(*child, path + u'\\' + names[i]);
        }
    }

    const std::vector<RegistryValue> values = hive.values(key);
    check(qsizetype(values.size()) <= HiveFile::kMaxValues);
    checkOrderedAndDistinct(values, [](const RegistryValue& v) { return QStringView(v.name); });
    qsizetype total = 0;
    for (std::size_t i = 0; i < values.size(); ++i) {
        check(values[i].data.size() <= HiveFile::kMaxValueSize && values[i].name.size() <= HiveFile::kMaxValueNameLength);
        total += values[i].data.size();
        if (i >= kLookupsPerKey)
            continue;
        const std::optional<RegistryValue> again = hive.value(key, values[i].name);
        check(again && again->type == values[i].type && again->data == values[i].data);
    }
    check(total <= HiveFile::kMaxValueBytes);
}

}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static Folder folder;
    if (!write(folder, data, size))
        return 0;
    const HiveFile hive(folder.path);
    if (!hive.isOpen()) {
        check(!hive.error().isEmpty() && hive.error().contains(folder.path));
        check(!hive.notCleanlyClosed() && !hive.key(u"Classes"));
        return 0;
    }
    check(hive.error().isEmpty());

    std::deque<std::pair<HiveKey, QString>> pending{{hive.root(), QString()}};
    for (int visited = 0; visited < kMaxKeysVisited && !pending.empty(); ++visited) {
        const auto [key, path] = pending.front();
        pending.pop_front();
        checkKey(hive, key, pending, path);
        // The path from the root finds a key of the same name (not always this one: a list out
        // of order may hide it, or a name equal ignoring case may come first).
        if (const std::optional<HiveKey> found = hive.key(path); found && !path.isEmpty())
            check(CompareRegistryNames(hive.name(*found), QStringView(path).mid(path.lastIndexOf(u'\\') + 1)) == 0);
    }
    return 0;
}
