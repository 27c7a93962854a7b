#include "platform/registry/HiveFile.h"
#include "platform/registry/RegistryText.h"
#include "support_files/FileBytes.h"
#include "support_files/HiveImages.h"
#include "support_files/IndependentReaders.h"
#include "support_files/NeverEndingFiles.h"
#include "support_files/WineRegistryText.h"

#include <QDir>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtEndian>
#include <gtest/gtest.h>
#include <sys/mman.h>

namespace {

using namespace RegistryText;

QByteArray dword(quint32 number)
{
    QByteArray data(4, '\0');
    qToLittleEndian(number, data.data());
    return data;
}

// One key of a test hive (parents come before children) and its values.
struct TestKey {
    QString path;
    std::vector<RegistryValue> values;
};

// A Visual Basic developer's SOFTWARE hive: subkey names that sort differently upper-cased (as
// Windows keeps a subkey list) and lower-cased (as Wine orders them), names stored one byte a
// character and as UTF-16, every kind of value, a key of 300 subkeys.
std::vector<TestKey> softwareHive()
{
    const QString typeLib = QStringLiteral("Classes\\TypeLib\\{00020430-0000-0000-C000-000000000046}");
    std::vector<TestKey> keys{
        {"Classes", {}},
        {"Classes\\.vbp", {{"", REG_SZ, utf16Data(u"VisualBasic.Project")}}},
        {"Classes\\CLSID", {}},
        {"Classes\\TypeLib", {}},
        {typeLib, {}},
        {typeLib + "\\2.0", {{"", REG_SZ, utf16Data(u"OLE Automation")}}},
        {typeLib + "\\2.0\\0", {}},
        {typeLib + "\\2.0\\0\\win32", {{"", REG_SZ, utf16Data(u"C:\\Windows\\System32\\stdole2.tlb")}}},
        {"Microsoft", {}},
        {"Microsoft\\Windows", {}},
        {"Microsoft\\Windows\\CurrentVersion",
         {{"", REG_SZ, utf16Data(u"default")},
          {"@", REG_SZ, utf16Data(u"named at")},
          {"DevicePath", REG_EXPAND_SZ, utf16Data(u"%SystemRoot%\\inf")},
          {"Descripción", REG_SZ, utf16Data(u"Versión de prueba")},
          {"Ωmega", REG_MULTI_SZ, utf16Data(u"uno") + utf16Data(u"dos") + QByteArray(2, '\0')},
          {"InstallTime", 11, QByteArray("\x01\x02\x03\x04\x05\x06\x07\x08", 8)},
          {"Empty", REG_BINARY, QByteArray()},
          {"Nothing", REG_NONE, QByteArray()},
          {"Unterminated", REG_SZ, QByteArray("o\0d\0d\0x", 7)},
          {"Own type", 0x12345, QByteArray("\xff\x00\x7f", 3)},
          {"Looks like segments", REG_BINARY, QByteArray("db\x40\x00\xff\xff\xff\x7f", 8)}}},
        {"Microsoft\\Windows\\CurrentVersion\\SharedDLLs", {{"C:\\WINDOWS\\system32\\MSVBVM60.DLL", REG_DWORD, dword(12)}}},
        {"Order", {}},
    };
    for (const char* name : {"AB", "A_b", "Ab_c", "a[1]", "A^", "zz", "Zeta", "Ñandú", "日本語", "Ελληνικά"})
        keys.push_back({QStringLiteral("Order\\") + QString::fromUtf8(name), {}});
    for (int i = 0; i < 300; ++i)
        keys.push_back({QStringLiteral("Classes\\CLSID\\{%1-0000-0000-C000-000000000046}").arg(i * 7919, 8, 16, QChar(u'0')),
                        {{"", REG_EXPAND_SZ, utf16Data(u"%SystemRoot%\\System32\\oleaut32.dll")}, {"ThreadingModel", REG_SZ, utf16Data(u"Both")}}});
    return keys;
}

// The keys as a Windows .reg file for hivexregedit: plain ASCII strings as "text" (it stores them
// as UTF-16 with a terminator), dwords as dword:, any other data as hex bytes.
QByteArray regFile(const std::vector<TestKey>& keys)
{
    auto quoted = [](const QString& s) { return '"' + s.toUtf8().replace("\\", "\\\\").replace("\"", "\\\"") + '"'; };
    QByteArray text = "Windows Registry Editor Version 5.00\n";
    for (const TestKey& key : keys) {
        text += "\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\" + key.path.toUtf8() + "]\n";
        for (const RegistryValue& value : key.values) {
            text += (value.name.isEmpty() ? QByteArray("@") : quoted(value.name)) + '=';
            const QString plain = textOf(value.data);
            if (value.type == REG_SZ && value.data == utf16Data(plain) && plain.toLatin1() == plain.toUtf8())
                text += quoted(plain) + '\n';
            else if (value.type == REG_DWORD && value.data.size() == 4)
                text += "dword:" + QByteArray::number(qFromLittleEndian<quint32>(value.data.constData()), 16).rightJustified(8, '0') + '\n';
            else
                text += "hex(" + QByteArray::number(value.type, 16) + "):" + value.data.toHex(',') + '\n';
        }
    }
    return text;
}

// A hive made by hivexregedit from `keys`, alone in a folder.
struct TestHive {
    QTemporaryDir dir;
    QString path = dir.filePath(QStringLiteral("SOFTWARE"));
    QString error;
    bool made = false;
    explicit TestHive(const std::vector<TestKey>& keys) { made = MakeHive(path, regFile(keys), &error); }
};

#define REQUIRE_HIVE(made)                                                       \
    REQUIRE_JUDGE(HaveHivexregedit(), "hivexregedit (libwin-hivex-perl)");       \
    ASSERT_TRUE((made).made) << (made).error.toStdString();                      \
    const HiveFile hive((made).path);                                            \
    ASSERT_TRUE(hive.isOpen()) << hive.error().toStdString()

void expectSameValues(std::vector<RegistryValue> got, std::vector<RegistryValue> expected, const QString& where)
{
    auto text = [](const std::vector<RegistryValue>& values) {
        QStringList lines;
        for (const RegistryValue& value : values)
            lines << value.name + u'=' + QString::number(value.type) + u':' + QString::fromLatin1(value.data.toHex());
        return lines.join(u'\n').toStdString();
    };
    EXPECT_EQ(text(got), text(expected)) << where.toStdString();
}

}

TEST(HiveFile, TheEmptyHiveTheTestsStartFromIsOneHivexshAndTheReaderOpen)
{
    REQUIRE_JUDGE(HaveHivexsh(), "hivexsh (libhivex-bin)");
    QTemporaryDir dir;
    writeAll(dir.filePath("EMPTY"), EmptyHiveImage());
    QByteArray out;
    QString error;
    ASSERT_TRUE(RunHivexsh(dir.filePath("EMPTY"), "ls\nlsval\n", &out, &error)) << error.toStdString();
    EXPECT_EQ(out, QByteArray()) << "no subkeys, no values";
    const HiveFile hive(dir.filePath("EMPTY"));
    ASSERT_TRUE(hive.isOpen()) << hive.error().toStdString();
    EXPECT_EQ(hive.name(hive.root()), "ROOT");
    EXPECT_TRUE(hive.subkeyNames(hive.root()).isEmpty() && hive.values(hive.root()).empty() && !hive.notCleanlyClosed());
}

TEST(HiveFile, AnswersAsTheWineStoreDoesForTheSameContentsWhateverTheCaseAsked)
{
    const std::vector<TestKey> keys = softwareHive();
    const TestHive made(keys);
    REQUIRE_HIVE(made);
    RegistryHive wine(QString(), "\\\\Machine", false);
    WineRegistryText text;
    for (const TestKey& key : keys) {
        text.key(key.path);
        for (const RegistryValue& value : key.values)
            text.binary(value.name, value.data, value.type);
    }
    wine.loadText(text.text());

    // Every key of the text store, walked from its root: the same subkeys in the same order, the
    // same values, each also found by its name in another case; no key more in the hive.
    QRandomGenerator random(20261208);
    auto anyCase = [&](QString name) {
        for (QChar& c : name)
            c = random.bounded(2) ? c.toUpper() : c.toLower();
        return name;
    };
    std::vector<std::pair<RegistryKey*, QString>> pending{{wine.root(), QString()}};
    std::size_t visited = 0;
    for (; !pending.empty(); ++visited) {
        const auto [key, path] = pending.back();
        pending.pop_back();
        const std::optional<HiveKey> found = hive.key(path);
        ASSERT_TRUE(found) << path.toStdString();
        EXPECT_EQ(hive.key(anyCase(u'\\' + path + u'\\')), found) << path.toStdString();
        QStringList names;
        for (const auto& [name, child] : key->subkeys()) {
            names.append(name);
            pending.emplace_back(child, path.isEmpty() ? name : path + u'\\' + name);
        }
        EXPECT_EQ(hive.subkeyNames(*found), names) << path.toStdString();
        expectSameValues(hive.values(*found), wine.values(key), path);
        for (const RegistryValue& value : wine.values(key))
            expectSameValues({hive.value(*found, anyCase(value.name)).value_or(RegistryValue{})}, {value}, path);
    }
    EXPECT_EQ(visited, keys.size() + 1);
    // The default value is the one named nothing, not "@".
    const HiveKey current = *hive.key(u"microsoft\\WINDOWS\\currentversion");
    EXPECT_EQ(hive.value(current, u"")->data, utf16Data(u"default"));
    EXPECT_EQ(hive.value(current, u"@")->data, utf16Data(u"named at"));
}

TEST(HiveFile, AMissingKeyOrValueIsNothingAndPathsStopAtWindowsDepth)
{
    std::vector<TestKey> keys{{"Classes", {{"Value", REG_SZ, utf16Data(u"x")}}}};
    for (QString deep = "Deep"; keys.size() <= HiveFile::kMaxDepth + 1; deep += "\\d")
        keys.push_back({deep, {}});
    const TestHive made(keys);
    REQUIRE_HIVE(made);
    EXPECT_EQ(hive.key(u""), hive.root());
    EXPECT_FALSE(hive.key(u"Classes\\Nope") || hive.key(u"Classes\\Value") || hive.key(u"Class"));
    EXPECT_FALSE(hive.value(*hive.key(u"Classes"), u"Valu") || hive.value(*hive.key(u"Classes"), u""));
    EXPECT_TRUE(hive.subkeyNames(HiveKey()).isEmpty() && hive.values(HiveKey()).empty());
    const QString deepest = keys.back().path;
    EXPECT_TRUE(hive.key(deepest.left(deepest.lastIndexOf(u'\\')))) << "512 levels";
    EXPECT_FALSE(hive.key(deepest)) << "513 levels";
}

TEST(HiveFile, SaysInOneSentenceNamingTheFileWhyItIsNotOpened)
{
    QTemporaryDir dir;
    auto expectRefused = [&](const char* name, const char* reason) {
        const HiveFile hive(dir.filePath(name));
        const QString error = hive.error();
        EXPECT_FALSE(hive.isOpen() || hive.key(u"Classes") || hive.notCleanlyClosed()) << name;
        EXPECT_TRUE(error.contains(dir.filePath(name)) && error.contains(QLatin1String(reason))) << error.toStdString();
        EXPECT_TRUE(error.endsWith(u'.') && error.count(u'.') == dir.filePath(name).count(u'.') + 1) << error.toStdString();
    };
    expectRefused("MISSING", "does not exist");
    ASSERT_TRUE(QDir(dir.path()).mkdir("FOLDER"));
    expectRefused("FOLDER", "not a regular file");
    ASSERT_TRUE(makeFifo(dir.filePath("FIFO")));
    EXPECT_TRUE(returnsWithin([&] { expectRefused("FIFO", "not a regular file"); }, dir.filePath("FIFO")));

    QByteArray noise(64 * 1024, '\0');
    QRandomGenerator(7).fillRange(reinterpret_cast<quint32*>(noise.data()), noise.size() / 4);
    writeAll(dir.filePath("NOISE"), noise);
    expectRefused("NOISE", "not a registry hive file");
    QByteArray damaged = EmptyHiveImage().left(0x1000) + noise; // no bins where the base block says
    qToLittleEndian<quint32>(noise.size(), damaged.data() + kHiveBinsSizeAt);
    FixHiveChecksum(damaged);
    writeAll(dir.filePath("DAMAGED"), damaged);
    expectRefused("DAMAGED", "damaged registry hive");
    QByteArray badSum = EmptyHiveImage();
    badSum[kHiveChecksumAt] = char(badSum[kHiveChecksumAt] ^ 1);
    writeAll(dir.filePath("CHECKSUM"), badSum);
    expectRefused("CHECKSUM", "damaged registry hive");
    writeAll(dir.filePath("TRUNCATED"), damaged.left(0x1000 + noise.size() / 2));
    expectRefused("TRUNCATED", "truncated registry hive");
    writeAll(dir.filePath("HEADER"), EmptyHiveImage().left(0x800));
    expectRefused("HEADER", "truncated registry hive");
}

TEST(HiveFile, TellsAHiveWindowsDidNotCloseCleanly)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("NTUSER.DAT");
    writeAll(path, WithSequenceNumbers(EmptyHiveImage(), 7, 7));
    writeAll(dir.filePath("ntuser.dat.LOG"), QByteArray()); // an empty log holds nothing to replay
    EXPECT_FALSE(HiveFile(path).notCleanlyClosed());

    writeAll(path, WithSequenceNumbers(EmptyHiveImage(), 8, 7));
    const HiveFile midWrite(path);
    EXPECT_TRUE(midWrite.isOpen() && midWrite.notCleanlyClosed() && midWrite.sequencesDiffer());
    EXPECT_EQ(std::pair(midWrite.primarySequence(), midWrite.secondarySequence()), std::pair(8u, 7u));

    writeAll(path, WithSequenceNumbers(EmptyHiveImage(), 8, 8));
    writeAll(dir.filePath("ntuser.dat.LOG1"), QByteArray(512, 'x'));
    const HiveFile withLog(path);
    EXPECT_TRUE(withLog.notCleanlyClosed() && !withLog.sequencesDiffer());
    EXPECT_EQ(withLog.transactionLogs(), QStringList{dir.filePath("ntuser.dat.LOG1")});
}

TEST(HiveFile, NamesThatAreNotValidTextComeOutWithReplacementCharacters)
{
    TestHive made({{"Order", {{"Ωmega", REG_DWORD, dword(1)}, {"Plain", REG_DWORD, dword(2)}}}, {"Order\\Alpha", {}}, {"Order\\日本語", {}}});
    // Unpaired surrogates in place of 日 (a high one before 本) and Ω (a low one).
    if (made.made) {
        QByteArray image = readAll(made.path);
        ASSERT_EQ(image.count(utf16Data(u"日本語").chopped(2)) + image.count(utf16Data(u"Ωmega").chopped(2)), 2);
        writeAll(made.path, image.replace(utf16Data(u"日").chopped(2), QByteArray("\x00\xd8", 2))
                                   .replace(utf16Data(u"Ω").chopped(2), QByteArray("\x00\xdc", 2)));
    }
    REQUIRE_HIVE(made);
    const HiveKey order = *hive.key(u"Order");
    EXPECT_EQ(hive.subkeyNames(order), (QStringList{"Alpha", QStringLiteral("\uFFFD本語")}));
    EXPECT_TRUE(hive.key(u"Order\\alpha"));
    const std::vector<RegistryValue> values = hive.values(order);
    EXPECT_EQ(values.size() == 2 ? values[1].name : QString(), QStringLiteral("\uFFFDmega"));
    EXPECT_EQ(hive.value(order, u"\uFFFDMEGA").value_or(RegistryValue{}).data, dword(1));
}

namespace {

// A bin of `size` bytes at `at` (offsets past the base block) holding a big-data cell ("db") that
// names `segments` segments, then their list with room for `room` (or, for 0, filling the bin),
// every entry the data cell at `segment`, then `data` in a cell of its own (or nothing).
QByteArray bigDataBin(quint32 at, quint32 size, quint16 segments, int room, quint32 segment, const QByteArray& data)
{
    QByteArray bin(int(size), '\0');
    auto put = [&](int offset, auto value) { qToLittleEndian(value, bin.data() + offset); };
    bin.replace(0, 4, "hbin");
    put(4, at), put(8, size), put(0x20, qint32(-16)), bin.replace(0x24, 2, "db"), put(0x26, segments), put(0x28, at + 0x30);
    const int list = room > 0 ? (4 + 4 * room + 7) & ~7 : int(size) - 0x30;
    put(0x30, qint32(-list));
    for (int entry = 0x34; entry < 0x30 + list; entry += 4)
        put(entry, segment);
    const int end = 0x30 + list + (data.isEmpty() ? 0 : int(data.size()) + 8);
    if (!data.isEmpty())
        put(0x30 + list, qint32(-int(data.size()) - 8)), bin.replace(0x34 + list, data.size(), data);
    if (end < int(size))
        put(end, qint32(int(size) - end)); // the rest of the bin is free
    return bin;
}

QByteArray segmentData()
{
    QByteArray segment(16344, '\0'); // as much as Windows puts in one segment
    for (int i = 0; i < segment.size(); ++i)
        segment[i] = char(i * 31 + 7);
    return segment;
}

// A hive whose key Big holds the values Blob, Bad and Small, with two bins added at its end. Blob:
// 70 segments of one data cell, 1,144,080 bytes in all. Bad: a segment list naming 65,535
// segments in a cell, the last of the file, that holds 1,011: hivex reads such a list on past
// the end of the file.
QByteArray bigDataHive(const TestHive& made)
{
    QByteArray image = readAll(made.path);
    const quint32 first = quint32(image.size()) - 0x1000, second = first + 0x5000, data = first + 0x30 + 288;
    image += bigDataBin(first, 0x5000, 70, 70, data, segmentData()) + bigDataBin(second, 0x1000, 0xFFFF, 0, data, {});
    for (const auto& [name, cell, length] : {std::tuple("Blob", first + 0x20, 70 * 16344), std::tuple("Bad", second + 0x20, 20000)}) {
        const qsizetype value = image.indexOf(name) - 0x18; // the value's cell: its data's length at 8, offset at 12
        qToLittleEndian<quint32>(length, image.data() + value + 8);
        qToLittleEndian<quint32>(cell, image.data() + value + 12);
    }
    qToLittleEndian<quint32>(quint32(image.size()) - 0x1000, image.data() + kHiveBinsSizeAt);
    FixHiveChecksum(image);
    return image;
}

const std::vector<TestKey> kBigDataKeys{{"Big", {{"Blob", REG_BINARY, dword(1)}, {"Bad", REG_BINARY, dword(2)}, {"Small", REG_DWORD, dword(3)}}}};

// Makes the next mapping of `size` bytes land just below a page that cannot be read, so that a
// read past the end of a mapped file faults instead of reading whatever lies there. A mapping
// goes to the highest free gap it fits in: a gap is opened below the guard page, and the higher
// gaps it would also fit are filled until a probe lands in the opened one.
struct GuardPageAfterNextMapping {
    std::vector<std::pair<char*, std::size_t>> taken;
    char* hole = nullptr;
    bool ready = false;
    explicit GuardPageAfterNextMapping(std::size_t size)
    {
        size = (size + 0xFFF) & ~std::size_t(0xFFF);
        hole = static_cast<char*>(::mmap(nullptr, size + 0x1000, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0));
        taken.emplace_back(hole + size, 0x1000);
        ::munmap(hole, size);
        for (int attempt = 0; attempt < 4096 && !ready; ++attempt) {
            char* probe = static_cast<char*>(::mmap(nullptr, size, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0));
            ready = probe == hole;
            if (ready)
                ::munmap(probe, size);
            else
                taken.emplace_back(probe, size);
        }
    }
    ~GuardPageAfterNextMapping()
    {
        for (const auto& [start, length] : taken)
            ::munmap(start, length);
    }
    bool guards(const QString& path) const
    {
        const QByteArray start = QByteArray::number(quintptr(hole), 16) + '-';
        for (const QByteArray& line : readAll("/proc/self/maps").split('\n'))
            if (line.startsWith(start) && line.endsWith(QFile::encodeName(path)))
                return ready;
        return false;
    }
};

}

TEST(HiveFile, ReadsLargeValuesInSegmentsAndBoundsWhatAHostileHiveMakesItCopy)
{
    TestHive made(kBigDataKeys);
    if (made.made)
        writeAll(made.path, bigDataHive(made));
    const GuardPageAfterNextMapping guard(std::size_t(QFileInfo(made.path).size()));
    REQUIRE_HIVE(made);
    EXPECT_TRUE(guard.guards(made.path)) << "a read past the end of the file may go unseen";
    const HiveKey big = *hive.key(u"Big");
    const RegistryValue blob = hive.value(big, u"Blob").value_or(RegistryValue{});
    EXPECT_EQ(blob.data.size(), HiveFile::kMaxValueSize);
    EXPECT_TRUE(blob.data == segmentData().repeated(70).left(HiveFile::kMaxValueSize)) << "the segments in order, cut";
    EXPECT_FALSE(hive.value(big, u"Bad"));
    const std::vector<RegistryValue> values = hive.values(big);
    EXPECT_EQ(values.size() == 2 ? values[0].name + u' ' + values[1].name : QString(), "Blob Small") << "Bad is left out";
}

// Writes the hives of these tests into the fuzz target's corpus; run by hand when they change:
//   build/dev/tests/platform_registry_tests --gtest_also_run_disabled_tests --gtest_filter='*FuzzSeeds*'
TEST(HiveFile, DISABLED_WritesTheFuzzSeeds)
{
    const QString corpus = QStringLiteral(ZANTREL_SOURCE_DIR "/tests/fuzz/corpus/hive_file_fuzz/");
    const std::vector<TestKey> all = softwareHive();
    const TestHive software({all.begin(), all.begin() + 30}), order({all.begin() + 12, all.begin() + 23}), big(kBigDataKeys);
    ASSERT_TRUE(software.made && order.made && big.made) << (software.error + order.error + big.error).toStdString();
    writeAll(corpus + "empty.hive", EmptyHiveImage());
    writeAll(corpus + "software.hive", readAll(software.path));
    writeAll(corpus + "order.hive", readAll(order.path));
    writeAll(corpus + "big-data.hive", bigDataHive(big));
}
