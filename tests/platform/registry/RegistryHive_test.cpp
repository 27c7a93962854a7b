#include "platform/registry/RegistryHive.h"
#include "platform/registry/RegistryText.h"
#include "support_files/FileBytes.h"
#include "support_files/NeverEndingFiles.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtEndian>
#include <csignal>
#include <gtest/gtest.h>
#include <sys/resource.h>

namespace {

// A system.reg as Wine writes it, with the odd things hand edits and older Wine versions leave:
// a comment line, a #class option, str: and hex(2) forms, a value line with blanks round '='.
const QByteArray kSystemReg = R"reg(WINE REGISTRY Version 2
;; All keys relative to \\Machine

#arch=win64

[Software\\Classes\\.txt] 1700000000
#time=1da1d5d2b1c4e00
@="txtfile"
"Content Type"="text/plain"
"PerceivedType"="text"

[Software\\Classes\\CLSID\\{00020420-0000-0000-C000-000000000046}\\InprocServer32] 1700000000
#time=1da1d5d2b1c4e00
#class="OLE"
;; kept by hand
@="C:\\windows\\system32\\oleaut32.dll"
"ThreadingModel" = str:"Both"

[Software\\Classes\\Typelib\\{00020430-0000-0000-C000-000000000046}\\2.0] 1700000000
#time=1da1d5d2b1c4e00
@="OLE Automation"

[Software\\Classes\\Typelib\\{00020430-0000-0000-C000-000000000046}\\2.0\\0\\win32] 1700000000
#time=1da1d5d2b1c4e00
@="C:\\windows\\system32\\stdole2.tlb"

[Software\\Wine\\Values] 1700000000
#time=1da1d5d2b1c4e00
"Binary"=hex:00,01,02,03,04,05,06,07,08,09,0a,0b,0c,0d,0e,0f,10,11,12,13,14,15,16,\
  17,18,19,1a,1b,1c,1d,1e,1f,20
"Dword"=dword:0000abcd
"Escapes"="back\\slash \"quoted\" tab\t nl\n cr\r caf\xe9 \x00e9a bell\a nul\0"
"Expand"=str(2):"%SystemRoot%\\system32"
"ExpandNoEnd"=hex(2):25,00,54,00
"Multi"=str(7):"one\0two\0"
"Octal"="\101\1012"
"Qword"=hex(b):01,00,00,00,00,00,00,00
"Utf8"="Descripción"
)reg";

QString writeFile(const QTemporaryDir& dir, const QByteArray& text, const QString& name = QStringLiteral("system.reg"))
{
    const QString path = dir.filePath(name);
    QFile file(path);
    file.open(QIODevice::WriteOnly | QIODevice::Truncate);
    file.write(text);
    return path;
}

std::vector<QStringView> pathOf(const QString& path)
{
    std::vector<QStringView> parts;
    for (QStringView part : QStringView(path).split(u'\\'))
        parts.push_back(part);
    return parts;
}

struct Hive {
    QTemporaryDir dir;
    QString path;
    RegistryHive hive;
    explicit Hive(const QByteArray& text)
        : path(writeFile(dir, text))
        , hive(path, "\\\\Machine", true)
    {
        hive.refresh();
    }
    RegistryKey* key(const QString& p) { return hive.find(hive.root(), pathOf(p)); }
    const RegistryValue* value(const QString& p, const QString& name)
    {
        RegistryKey* k = key(p);
        return k ? hive.value(k, name) : nullptr;
    }
};

QByteArray utf16(const QString& text, bool terminated = true)
{
    QByteArray data = RegistryText::utf16Data(text);
    if (!terminated)
        data.chop(2);
    return data;
}

}

TEST(RegistryHive, EveryValueFormReadsAsWindowsStoresIt)
{
    Hive h(kSystemReg);
    const QString values = QStringLiteral("Software\\Wine\\Values");

    const RegistryValue* binary = h.value(values, QStringLiteral("Binary"));
    ASSERT_TRUE(binary);
    EXPECT_EQ(binary->type, 3u);
    ASSERT_EQ(binary->data.size(), 33) << "the continuation line is part of the value";
    EXPECT_EQ(binary->data[32], '\x20');

    const RegistryValue* dword = h.value(values, QStringLiteral("Dword"));
    ASSERT_TRUE(dword);
    EXPECT_EQ(dword->type, 4u);
    EXPECT_EQ(qFromLittleEndian<quint32>(dword->data.constData()), 0xABCDu);

    const RegistryValue* escapes = h.value(values, QStringLiteral("Escapes"));
    ASSERT_TRUE(escapes);
    EXPECT_EQ(escapes->type, 1u);
    EXPECT_EQ(escapes->data, utf16(QStringLiteral("back\\slash \"quoted\" tab\t nl\n cr\r caf\u00e9 \u00e9a bell\a nul") + QChar(0)))
        << "\\x takes up to four hex digits; strings keep their terminator";

    EXPECT_EQ(h.value(values, QStringLiteral("Expand"))->type, 2u);
    EXPECT_EQ(h.value(values, QStringLiteral("Expand"))->data, utf16(QStringLiteral("%SystemRoot%\\system32")));
    EXPECT_EQ(h.value(values, QStringLiteral("ExpandNoEnd"))->type, 2u);
    EXPECT_EQ(h.value(values, QStringLiteral("ExpandNoEnd"))->data, utf16(QStringLiteral("%T"), false));
    EXPECT_EQ(h.value(values, QStringLiteral("Multi"))->type, 7u);
    EXPECT_EQ(h.value(values, QStringLiteral("Multi"))->data, utf16(QStringLiteral("one") + QChar(0) + QStringLiteral("two") + QChar(0)));
    EXPECT_EQ(h.value(values, QStringLiteral("Octal"))->data, utf16(QStringLiteral("AA2")));
    EXPECT_EQ(h.value(values, QStringLiteral("Qword"))->type, 11u);
    EXPECT_EQ(h.value(values, QStringLiteral("Qword"))->data.size(), 8);
    EXPECT_EQ(h.value(values, QStringLiteral("Utf8"))->data, utf16(QStringLiteral("Descripción"))) << "raw bytes are UTF-8";

    const QString server = QStringLiteral("Software\\Classes\\CLSID\\{00020420-0000-0000-C000-000000000046}\\InprocServer32");
    EXPECT_EQ(h.value(server, QStringLiteral("ThreadingModel"))->data, utf16(QStringLiteral("Both")));
    EXPECT_EQ(h.value(server, QString())->data, utf16(QStringLiteral("C:\\windows\\system32\\oleaut32.dll")));
}

TEST(RegistryHive, KeyAndValueNamesMatchIgnoringCase)
{
    Hive h(kSystemReg);
    const RegistryValue* path = h.value(QStringLiteral("SOFTWARE\\classes\\TypeLib\\{00020430-0000-0000-c000-000000000046}\\2.0\\0\\WIN32"), QString());
    ASSERT_TRUE(path);
    EXPECT_EQ(RegistryText::textOf(path->data), QStringLiteral("C:\\windows\\system32\\stdole2.tlb"));
    EXPECT_TRUE(h.value(QStringLiteral("Software\\Classes\\.TXT"), QStringLiteral("content type")));
    EXPECT_FALSE(h.value(QStringLiteral("Software\\Classes\\.txt"), QStringLiteral("Content")));
    EXPECT_EQ(h.key(QStringLiteral("software\\CLASSES\\typelib"))->name(), QStringLiteral("Typelib")) << "the file's spelling is kept";
}

TEST(RegistryHive, SavingAnUnchangedHiveReproducesTheFileByteForByte)
{
    for (const bool crlf : {false, true}) {
        QByteArray text = kSystemReg;
        if (crlf)
            text.replace("\n", "\r\n");
        Hive h(text);
        // Reading values parses blocks; that alone must not change what is written.
        h.hive.values(h.key(QStringLiteral("Software\\Wine\\Values")));
        h.hive.values(h.key(QStringLiteral("Software\\Classes\\CLSID\\{00020420-0000-0000-C000-000000000046}\\InprocServer32")));
        ASSERT_TRUE(h.hive.save());
        EXPECT_EQ(readAll(h.path), text) << (crlf ? "CR LF" : "LF");
    }
}

TEST(RegistryHive, AChangedKeyIsRewrittenAsWineWritesItAndTheRestKeepsItsText)
{
    Hive h(kSystemReg);
    RegistryKey* server = h.key(QStringLiteral("Software\\Classes\\CLSID\\{00020420-0000-0000-C000-000000000046}\\InprocServer32"));
    h.hive.setValue(server, RegistryValue{QStringLiteral("Apartment"), 1, utf16(QStringLiteral("yes"))});
    ASSERT_TRUE(h.hive.save());

    const QByteArray written = readAll(h.path);
    const qsizetype blockStart = written.indexOf("[Software\\\\Classes\\\\CLSID");
    const qsizetype blockEnd = written.indexOf("\n\n", blockStart);
    ASSERT_GT(blockStart, 0);
    const QByteArray block = written.mid(blockStart, blockEnd - blockStart);
    EXPECT_TRUE(block.contains("\n#time=")) << block.constData();
    EXPECT_TRUE(block.contains("\n#class=\"OLE\"\n;; kept by hand\n")) << "option and comment lines stay";
    EXPECT_TRUE(block.endsWith("@=\"C:\\\\windows\\\\system32\\\\oleaut32.dll\"\n\"Apartment\"=\"yes\"\n\"ThreadingModel\"=\"Both\""))
        << "values in Wine's order and form: " << block.constData();
    EXPECT_FALSE(block.contains("] 1700000000")) << "a changed key carries its new time";

    // Every other block is the original text.
    EXPECT_EQ(written.left(blockStart), kSystemReg.left(kSystemReg.indexOf("[Software\\\\Classes\\\\CLSID")));
    EXPECT_EQ(written.mid(blockEnd), kSystemReg.mid(kSystemReg.indexOf("\n\n[Software\\\\Classes\\\\Typelib")));

    RegistryHive again(h.path, "\\\\Machine", true);
    again.refresh();
    RegistryKey* reread = again.find(again.root(), pathOf(QStringLiteral("Software\\Classes\\CLSID\\{00020420-0000-0000-C000-000000000046}\\InprocServer32")));
    ASSERT_TRUE(reread);
    EXPECT_EQ(again.values(reread).size(), 3u);
}

TEST(RegistryHive, WrittenValuesReadBackUnchanged)
{
    QByteArray longBinary;
    for (int i = 0; i < 60; ++i)
        longBinary.append(char(i * 7));
    const std::vector<RegistryValue> written = {
        {QString(), 1, utf16(QStringLiteral("default"))},
        {QStringLiteral("Controls"), 1, utf16(QString(QChar(0x1B)) + QChar(1) + QChar(0x1C) + u'7' + QChar(9) + QStringLiteral("end"))},
        {QStringLiteral("Name \"quoted\" \\ [x]"), 1, utf16(QStringLiteral("é\u20ac😀f"))},
        {QStringLiteral("Odd"), 1, QByteArray("abc")},
        {QStringLiteral("Unterminated"), 2, utf16(QStringLiteral("x%y%"), false)},
        {QStringLiteral("Long"), 3, longBinary},
        {QStringLiteral("Short dword"), 4, QByteArray("\x01\x02", 2)},
        {QStringLiteral("Empty"), 3, QByteArray()},
        {QStringLiteral("Big type"), 0x20000, QByteArray("\xff", 1)},
    };

    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("system.reg"));
    {
        RegistryHive hive(path, "\\\\Machine", false);
        hive.refresh();
        RegistryKey* key = hive.createChild(hive.createChild(hive.root(), QStringLiteral("Software")), QStringLiteral("Tests [1]"));
        for (const RegistryValue& value : written)
            hive.setValue(key, value);
        ASSERT_TRUE(hive.save());
    }
    const QByteArray text = readAll(path);
    EXPECT_TRUE(text.startsWith("WINE REGISTRY Version 2\n;; All keys relative to \\\\Machine\n\n#arch=win32\n\n[Software\\\\Tests \\[1\\]] "));
    EXPECT_TRUE(text.contains("\n\"Controls\"=\"\\e\\1\\0347\\tend\"\n")) << "octal takes three digits before an octal digit";
    EXPECT_TRUE(text.contains("\n\"Name \\\"quoted\\\" \\\\ [x]\"=\"\\xe9\\x20ac\\xd83d\\xde00f\"\n"));
    EXPECT_TRUE(text.contains("\n\"Odd\"=hex(1):61,62,63\n")) << "strings that are not whole UTF-16 go out as hex";
    EXPECT_TRUE(text.contains("\n\"Short dword\"=hex(4):01,02\n"));
    EXPECT_TRUE(text.contains("\n\"Empty\"=hex:\n"));
    EXPECT_TRUE(text.contains("\n\"Big type\"=hex(20000):ff\n"));
    // Wine wraps hex data before column 80, counting the name: 22 bytes follow "Long"=hex:.
    const qsizetype longLine = text.indexOf("\"Long\"=hex:");
    const QByteArray firstLine = text.mid(longLine, text.indexOf('\n', longLine) - longLine);
    EXPECT_EQ(firstLine.size(), 11 + 22 * 3 + 1) << firstLine.constData();
    EXPECT_TRUE(firstLine.endsWith(",\\"));
    const qsizetype second = longLine + firstLine.size() + 1;
    EXPECT_EQ(text.mid(second, 2), "  ");

    RegistryHive reread(path, "\\\\Machine", false);
    reread.refresh();
    RegistryKey* key = reread.find(reread.root(), pathOf(QStringLiteral("Software\\Tests [1]")));
    ASSERT_TRUE(key);
    const std::vector<RegistryValue>& values = reread.values(key);
    ASSERT_EQ(values.size(), written.size());
    for (const RegistryValue& expected : written) {
        const RegistryValue* got = reread.value(key, expected.name);
        ASSERT_TRUE(got) << expected.name.toStdString();
        EXPECT_EQ(got->type, expected.type) << expected.name.toStdString();
        EXPECT_EQ(got->data, expected.data) << expected.name.toStdString();
    }
}

TEST(RegistryHive, NewKeysGoWhereWinePutsThemAndOnlyLeavesGetABlock)
{
    Hive h(kSystemReg);
    RegistryKey* classes = h.key(QStringLiteral("Software\\Classes"));
    RegistryKey* bmp = h.hive.createChild(classes, QStringLiteral(".bmp"));
    h.hive.setValue(bmp, RegistryValue{QString(), 1, utf16(QStringLiteral("Paint.Picture"))});
    RegistryKey* shell = h.hive.createChild(h.hive.createChild(classes, QStringLiteral("zfile")), QStringLiteral("shell"));
    ASSERT_TRUE(shell);
    ASSERT_TRUE(h.hive.save());

    const QByteArray text = readAll(h.path);
    const qsizetype bmpAt = text.indexOf("\n[Software\\\\Classes\\\\.bmp] ");
    const qsizetype txtAt = text.indexOf("\n[Software\\\\Classes\\\\.txt] ");
    const qsizetype shellAt = text.indexOf("\n[Software\\\\Classes\\\\zfile\\\\shell] ");
    ASSERT_GT(bmpAt, 0);
    EXPECT_LT(bmpAt, txtAt) << ".bmp sorts before .txt";
    EXPECT_GT(shellAt, text.indexOf("Typelib\\\\{00020430-0000-0000-C000-000000000046}\\\\2.0\\\\0\\\\win32]"));
    EXPECT_LT(shellAt, text.indexOf("[Software\\\\Wine\\\\Values]"));
    EXPECT_FALSE(text.contains("[Software\\\\Classes\\\\zfile] ")) << "a key with subkeys and no values needs no block";
}

TEST(RegistryHive, ADeletedKeyLeavesTheFileAndAnEmptiedParentKeepsABlock)
{
    Hive h(kSystemReg);
    RegistryKey* win32 = h.key(QStringLiteral("Software\\Classes\\Typelib\\{00020430-0000-0000-C000-000000000046}\\2.0\\0\\win32"));
    h.hive.deleteKey(win32);
    ASSERT_TRUE(h.hive.save());
    const QByteArray text = readAll(h.path);
    EXPECT_FALSE(text.contains("stdole2.tlb"));
    EXPECT_TRUE(text.contains("\n[Software\\\\Classes\\\\Typelib\\\\{00020430-0000-0000-C000-000000000046}\\\\2.0\\\\0] "))
        << "the locale key is now empty and would vanish without a block of its own";

    RegistryHive reread(h.path, "\\\\Machine", true);
    reread.refresh();
    EXPECT_TRUE(reread.find(reread.root(), pathOf(QStringLiteral("Software\\Classes\\Typelib\\{00020430-0000-0000-C000-000000000046}\\2.0\\0"))));
    EXPECT_FALSE(reread.find(reread.root(), pathOf(QStringLiteral("Software\\Classes\\Typelib\\{00020430-0000-0000-C000-000000000046}\\2.0\\0\\win32"))));
}

TEST(RegistryHive, RepeatedBlocksOfOneKeyMergeAndAreWrittenOnce)
{
    const QByteArray text = "WINE REGISTRY Version 2\n\n[A] 1\n@=\"first\"\n\"x\"=\"1\"\n\n[B] 1\n\"y\"=\"2\"\n\n[a] 1\n@=\"second\"\n";
    Hive h(text);
    RegistryKey* a = h.key(QStringLiteral("A"));
    ASSERT_EQ(h.hive.values(a).size(), 2u);
    EXPECT_EQ(h.hive.value(a, QString())->data, utf16(QStringLiteral("second"))) << "the later line wins, as in Wine";
    h.hive.setValue(a, RegistryValue{QStringLiteral("z"), 4, QByteArray(4, '\0')});
    ASSERT_TRUE(h.hive.save());
    const QByteArray written = readAll(h.path);
    EXPECT_EQ(written.count("first"), 0);
    EXPECT_EQ(written.count("[a]") + written.count("[A]"), 1);
    EXPECT_TRUE(written.contains("\n[B] 1\n\"y\"=\"2\"\n"));
}

TEST(RegistryHive, MalformedLinesAreKeptAndDoNotStopTheReading)
{
    const QByteArray text = "WINE REGISTRY Version 2\n"
                            "\"orphan\"=\"before any key\"\n"
                            "\n[Good] 1\n"
                            "\"unterminated\"=\"no end\n"
                            "\"bad hex\"=hex:1ff,00\n"
                            "\"bad type\"=hex(zz:00\n"
                            "garbage line\n"
                            "@=\"read\"\n"
                            "\n[Broken\n"
                            "\"lost\"=\"1\"\n"
                            "\n[\\\\Leading] 1\n"
                            "\"lost\"=\"2\"\n"
                            "\n[After] 1\n"
                            "\"v\"=dword:1\n";
    Hive h(text);
    RegistryKey* good = h.key(QStringLiteral("Good"));
    ASSERT_TRUE(good);
    ASSERT_EQ(h.hive.values(good).size(), 1u);
    EXPECT_EQ(h.hive.value(good, QString())->data, utf16(QStringLiteral("read")));
    EXPECT_TRUE(h.hive.value(h.key(QStringLiteral("After")), QStringLiteral("v")));
    EXPECT_EQ(h.hive.root()->subkeys().size(), 2u) << "a key line without ']' or starting with a backslash names no key";

    h.hive.setValue(good, RegistryValue{QStringLiteral("new"), 4, QByteArray(4, '\0')});
    ASSERT_TRUE(h.hive.save());
    const QByteArray written = readAll(h.path);
    for (const char* kept : {"\"orphan\"=\"before any key\"\n", "\"unterminated\"=\"no end\n", "\"bad hex\"=hex:1ff,00\n",
                             "\"bad type\"=hex(zz:00\n", "garbage line\n", "\n[Broken\n\"lost\"=\"1\"\n", "\n[\\\\Leading] 1\n"})
        EXPECT_TRUE(written.contains(kept)) << kept;
}

TEST(RegistryHive, AFileThatIsNotARegistryIsReadAsEmptyAndNeverOverwritten)
{
    const QByteArray text = "REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\Software]\n\"a\"=\"b\"\n";
    Hive h(text);
    EXPECT_TRUE(h.hive.root()->subkeys().empty());
    EXPECT_FALSE(h.hive.writable());
    h.hive.createChild(h.hive.root(), QStringLiteral("X"));
    EXPECT_FALSE(h.hive.save());
    EXPECT_EQ(readAll(h.path), text);
}

TEST(RegistryHive, AFailedWriteLeavesTheOldFileAndDropsTheChange)
{
    Hive h(kSystemReg);
    RegistryKey* values = h.key(QStringLiteral("Software\\Wine\\Values"));
    h.hive.setValue(values, RegistryValue{QStringLiteral("Big"), 3, QByteArray(64 * 1024, 'x')});

    // The file system refuses a file that large (this works even for root).
    rlimit old{};
    getrlimit(RLIMIT_FSIZE, &old);
    auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = old;
    small.rlim_cur = static_cast<rlim_t>(kSystemReg.size() + 1024);
    setrlimit(RLIMIT_FSIZE, &small);
    const bool saved = h.hive.save();
    setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, previousHandler);

    EXPECT_FALSE(saved);
    EXPECT_EQ(readAll(h.path), kSystemReg);
    RegistryKey* reloaded = h.key(QStringLiteral("Software\\Wine\\Values"));
    ASSERT_TRUE(reloaded);
    EXPECT_FALSE(h.hive.value(reloaded, QStringLiteral("Big"))) << "memory agrees with the file again";
}

TEST(RegistryHive, AChangeOnDiskIsReadAgain)
{
    Hive h(kSystemReg);
    EXPECT_FALSE(h.hive.refresh());
    QByteArray changed = kSystemReg;
    changed.replace("stdole2.tlb", "stdole32.tlb");
    writeFile(h.dir, changed);
    EXPECT_TRUE(h.hive.refresh());
    const RegistryValue* path = h.value(QStringLiteral("Software\\Classes\\Typelib\\{00020430-0000-0000-C000-000000000046}\\2.0\\0\\win32"), QString());
    ASSERT_TRUE(path);
    EXPECT_EQ(RegistryText::textOf(path->data), QStringLiteral("C:\\windows\\system32\\stdole32.tlb"));
}

TEST(RegistryHive, TextGivenInMemoryReadsAndSavesAsTheSameFileDoes)
{
    Hive onDisk(kSystemReg);
    QByteArray modified = kSystemReg;
    modified.replace("WINE REGISTRY Version 2\n", "WINE REGISTRY Version 2\r\n");
    for (const QByteArray& text : {kSystemReg, modified, QByteArray("not a registry\n"), QByteArray()}) {
        Hive file(text);
        RegistryHive memory(QString(), "\\\\Machine", true);
        memory.loadText(text);
        EXPECT_EQ(memory.writable(), file.hive.writable());
        EXPECT_EQ(memory.savedText(), file.hive.savedText());
        EXPECT_FALSE(memory.refresh()) << "no file appeared: the text stays";
    }

    RegistryHive memory(QString(), "\\\\Machine", true);
    memory.loadText(kSystemReg);
    RegistryKey* values = memory.find(memory.root(), pathOf("Software\\Wine\\Values"));
    ASSERT_NE(values, nullptr);
    EXPECT_EQ(memory.values(values).size(), onDisk.hive.values(onDisk.key("Software\\Wine\\Values")).size());
    // A change is composed as save() writes it.
    memory.setValue(values, RegistryValue{QStringLiteral("Nuevo"), 4, QByteArray("\x01\0\0\0", 4)});
    onDisk.hive.setValue(onDisk.key("Software\\Wine\\Values"),
                         RegistryValue{QStringLiteral("Nuevo"), 4, QByteArray("\x01\0\0\0", 4)});
    const QByteArray composed = memory.savedText();
    ASSERT_TRUE(onDisk.hive.save());
    // The block's #time line differs by when the change was made; the rest is the same.
    auto withoutTimes = [](QByteArray text) {
        QList<QByteArray> lines = text.split('\n');
        lines.removeIf([](const QByteArray& line) { return line.startsWith("#time="); });
        return lines.join('\n');
    };
    EXPECT_EQ(withoutTimes(composed), withoutTimes(readAll(onDisk.path)));
}

TEST(RegistryHive, ARegistryFileThatNeverEndsNeitherBlocksNorFillsMemory)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("system.reg");

    // A FIFO no one writes: opening it for reading would wait forever.
    ASSERT_TRUE(makeFifo(path));
    RegistryHive fifo(path, "\\\\Machine", true);
    EXPECT_TRUE(returnsWithin([&] { fifo.refresh(); }, path)) << "the load waited on the FIFO";
    EXPECT_TRUE(fifo.root()->subkeys().empty());
    EXPECT_FALSE(fifo.writable()) << "what cannot be read is never written back";
    ASSERT_TRUE(QFile::remove(path));

    // A link to an endless device: never opened, never read.
    ASSERT_TRUE(QFile::link(QStringLiteral("/dev/zero"), path));
    RegistryHive zero(path, "\\\\Machine", true);
    zero.refresh();
    EXPECT_TRUE(zero.root()->subkeys().empty());
    EXPECT_FALSE(zero.writable());
    ASSERT_TRUE(QFile::remove(path));

    // A regular file past the bound (sparse, so it costs no disk) is not read at all.
    {
        QFile big(path);
        ASSERT_TRUE(big.open(QIODevice::WriteOnly));
        big.write(kSystemReg);
        ASSERT_TRUE(big.resize(RegistryHive::kMaxFileSize + 1));
    }
    RegistryHive large(path, "\\\\Machine", true);
    large.refresh();
    EXPECT_TRUE(large.root()->subkeys().empty());
    EXPECT_FALSE(large.writable()) << "a file read in part must never be rewritten from that part";
    EXPECT_GE(RegistryHive::kMaxFileSize, qint64(30) * 1024 * 1024) << "a real system.reg (30 MB) must fit";
}

TEST(RegistryHive, ANewKeyAfterALastLineWithoutItsLineEndReadsBack)
{
    // A header ended by a lone CR, and a file whose last line has no line end: the new block must
    // start a line of its own, or the header (or that line) swallows it.
    for (const QByteArray& text : {QByteArray("WINE REGISTRY Version 2\r"),
                                   QByteArray("WINE REGISTRY Version 2\n\n[Old] 1\n\"A\"=\"b\"")}) {
        RegistryHive hive(QString(), "\\\\Machine", false);
        hive.loadText(text);
        RegistryKey* added = hive.createChild(hive.root(), QStringLiteral("Nueva"));
        hive.setValue(added, RegistryValue{QStringLiteral("V"), 1, utf16(QStringLiteral("w"))});
        RegistryHive reread(QString(), "\\\\Machine", false);
        reread.loadText(hive.savedText());
        RegistryKey* found = reread.find(reread.root(), {u"Nueva"});
        ASSERT_NE(found, nullptr) << hive.savedText().constData();
        ASSERT_NE(reread.value(found, u"V"), nullptr);
        EXPECT_EQ(reread.value(found, u"V")->data, utf16(QStringLiteral("w")));
        if (text.contains("Old")) {
            EXPECT_NE(reread.value(reread.find(reread.root(), {u"Old"}), u"A"), nullptr);
        }
    }
}
