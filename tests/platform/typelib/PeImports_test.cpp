#include "platform/typelib/PeImports.h"
#include "support_files/FileBytes.h"
#include "support_files/IndependentReaders.h"
#include "support_files/TypeLibImages.h"

#include <QDir>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using TypeLibImages::put16;
using TypeLibImages::put32;

QT_BEGIN_NAMESPACE
inline void PrintTo(const QString& text, std::ostream* os)
{
    *os << '"' << text.toStdString() << '"';
}
QT_END_NAMESPACE

namespace {

const QString kFixtures = QStringLiteral(ZANTREL_SOURCE_DIR "/tests/fixtures/");
const QString kWineDlls = QStringLiteral("/usr/lib/x86_64-linux-gnu/wine/x86_64-windows/");

// Counts the bytes read through it.
class CountingSource final : public ByteSource {
public:
    explicit CountingSource(const ByteSource& inner) : inner_(inner) {}
    std::uint64_t size() const override { return inner_.size(); }
    bool read(std::uint64_t offset, void* out, std::size_t length) const override
    {
        bytesRead += length;
        return inner_.read(offset, out, length);
    }
    mutable std::uint64_t bytesRead = 0;

private:
    const ByteSource& inner_;
};

std::optional<PeImports> read(const QByteArray& image, QString* error = nullptr)
{
    const MemorySource source(std::string_view(image.constData(), std::size_t(image.size())));
    return ReadPeImports(source, error);
}

// An image with one section, at RVA 0x1000 and file offset 0x200, holding the import
// descriptors, the delay-load descriptors and the names, each list ended as linkers end it.
struct ImportImage {
    QByteArray bytes;
    qsizetype directories = 0; // file offset of the data directories
    qsizetype section = 0;     // file offset of the section header
    qsizetype imports = 0;     // file offset of the first import descriptor
    qsizetype delayImports = 0;
    qsizetype names = 0;       // file offset of the first name
};
constexpr std::uint32_t kRva = 0x1000, kRaw = 0x200, kImageBase32 = 0x10000000;

ImportImage makeImage(bool plus, const QList<QByteArray>& imports, const QList<QByteArray>& delayImports,
                      bool oldStyleDelay = false)
{
    ImportImage m;
    const qsizetype optional = 0x58, optionalSize = plus ? 0xf0 : 0xe0;
    m.directories = optional + (plus ? 112 : 96);
    m.section = optional + optionalSize;
    m.imports = kRaw;
    m.delayImports = m.imports + 20 * (imports.size() + 1);
    m.names = m.delayImports + 32 * (delayImports.size() + 1);
    QByteArray content(m.names - kRaw, '\0');
    auto addName = [&](const QByteArray& name) {
        const std::uint32_t rva = kRva + std::uint32_t(content.size());
        content += name + '\0';
        return rva;
    };
    for (qsizetype i = 0; i < imports.size(); ++i) {
        put32(content, 20 * i + 12, addName(imports[i]));
        put32(content, 20 * i + 16, kRva); // an address table; its contents are not read
    }
    for (qsizetype i = 0; i < delayImports.size(); ++i) {
        const qsizetype d = m.delayImports - kRaw + 32 * i;
        const std::uint32_t shift = oldStyleDelay ? kImageBase32 : 0;
        put32(content, d, oldStyleDelay ? 0 : 1);
        put32(content, d + 4, addName(delayImports[i]) + shift);
        put32(content, d + 12, kRva + shift);
        put32(content, d + 16, kRva + shift);
    }
    const std::uint32_t virtualSize = std::uint32_t(content.size());
    TypeLibImages::pad(content, kRaw);

    QByteArray& b = m.bytes;
    b = QByteArray(kRaw, '\0') + content;
    b.replace(0, 2, "MZ");
    put32(b, 0x3c, 0x40);
    b.replace(0x40, 4, QByteArray("PE\0\0", 4));
    put16(b, 0x44, plus ? 0x8664 : 0x14c);
    put16(b, 0x46, 1);
    put16(b, 0x54, std::uint32_t(optionalSize));
    put16(b, 0x56, 0x2102);
    put16(b, optional, plus ? 0x20b : 0x10b);
    if (plus)
        put32(b, optional + 28, 1); // image base 0x1'0000'0000
    else
        put32(b, optional + 28, kImageBase32);
    put32(b, m.directories - 4, 16);
    put32(b, m.directories + 8, kRva);
    put32(b, m.directories + 8 * 13, kRva + std::uint32_t(m.delayImports - kRaw));
    put32(b, m.section + 8, virtualSize);
    put32(b, m.section + 12, kRva);
    put32(b, m.section + 16, std::uint32_t(content.size()));
    put32(b, m.section + 20, kRaw);
    return m;
}

QStringList fixtureImages()
{
    QStringList paths;
    for (const QString& folder : {QStringLiteral("imports"), QStringLiteral("typelibs")}) {
        const QDir dir(kFixtures + folder);
        for (const QString& name : dir.entryList({"*.dll", "*.ocx", "pe32-*.tlb"}, QDir::Files, QDir::Name))
            paths.append(dir.filePath(name));
    }
    return paths;
}

// Every 18th of Wine's DLLs, about 30 spread over the alphabet, and shell32.dll, the largest.
QStringList wineSample()
{
    const QStringList all = QDir(kWineDlls).entryList({"*.dll"}, QDir::Files, QDir::Name);
    QStringList sample;
    for (qsizetype i = 0; i < all.size(); i += 18)
        sample.append(kWineDlls + all[i]);
    if (all.contains(QStringLiteral("shell32.dll")))
        sample.append(kWineDlls + "shell32.dll");
    return sample;
}

void expectJudgesAgree(const QStringList& paths)
{
    for (const QString& path : paths) {
        const HostFileSource file(path);
        QString error;
        const auto ours = ReadPeImports(file, &error);
        const PeImportsReadBack judged = ReadPeImportsWithJudges(path);
        ASSERT_TRUE(judged.ok) << judged.error.toStdString();
        ASSERT_TRUE(ours) << path.toStdString() << ": " << error.toStdString();
        EXPECT_EQ(ours->imports, judged.imports) << path.toStdString();
        EXPECT_EQ(ours->delayImports, judged.delayImports) << path.toStdString();
        EXPECT_EQ(ours->dll, judged.dll) << path.toStdString();
        EXPECT_EQ(ours->machine == PeImports::Machine::I386, judged.format == "pei-i386") << path.toStdString();
        EXPECT_EQ(ours->machine == PeImports::Machine::Amd64, judged.format == "pei-x86-64") << path.toStdString();
        EXPECT_TRUE(ours->problems.isEmpty()) << path.toStdString() << ": " << ours->problems.join("; ").toStdString();
    }
}

}

TEST(PeImports, TheFixturesNameWhatTheyWereBuiltToImport)
{
    struct Expected {
        const char* file;
        PeImports::Machine machine;
        QStringList imports;
        QStringList delayImports;
    };
    using enum PeImports::Machine;
    const Expected fixtures[] = {
        {"comun32.dll", I386, {"KERNEL32.dll"}, {}},
        {"informes32.dll", I386, {"KERNEL32.dll", "OLEAUT32.dll", "USER32.dll", "comun32.dll"}, {}},
        {"diferido32.dll", I386, {"KERNEL32.dll"}, {"comun32.dll", "oleaut32.dll"}},
        {"ida32.dll", I386, {"vuelta32.dll"}, {}},
        {"vuelta32.dll", I386, {"ida32.dll"}, {}},
        {"huerfano32.dll", I386, {"KERNEL32.dll", "falta32.dll"}, {}},
        {"comun64.dll", Amd64, {"KERNEL32.dll"}, {}},
        {"informes64.dll", Amd64, {"KERNEL32.dll", "OLEAUT32.dll", "USER32.dll"}, {"comun64.dll"}},
    };
    for (const Expected& e : fixtures) {
        const HostFileSource file(kFixtures + "imports/" + e.file);
        const auto read = ReadPeImports(file);
        ASSERT_TRUE(read) << e.file;
        EXPECT_EQ(read->machine, e.machine) << e.file;
        EXPECT_TRUE(read->dll) << e.file;
        EXPECT_FALSE(read->wineBuiltin) << e.file;
        EXPECT_EQ(read->imports, e.imports) << e.file;
        EXPECT_EQ(read->delayImports, e.delayImports) << e.file;
        EXPECT_TRUE(read->problems.isEmpty()) << e.file;
    }
}

TEST(PeImports, EveryFixtureImageReadsAsObjdumpAndWinedumpReadIt)
{
    REQUIRE_JUDGE(HaveObjdumpForPe(), "objdump (binutils-mingw-w64)");
    REQUIRE_JUDGE(HaveWinedump(), "winedump (wine64-tools)");
    const QStringList images = fixtureImages();
    ASSERT_EQ(images.size(), 25); // the type-library images and the import fixtures, the loader judge's included
    expectJudgesAgree(images);
}

// Wine's DLLs are linked by GNU ld, which writes no delay-load directory: their delay loads are
// held to the judges by the fixtures linked with lld.
TEST(PeImports, WinesOwnDllsReadAsTheJudgesReadThemAndAreMarkedBuiltIn)
{
    REQUIRE_JUDGE(HaveObjdumpForPe(), "objdump (binutils-mingw-w64)");
    REQUIRE_JUDGE(HaveWinedump(), "winedump (wine64-tools)");
    const QStringList sample = wineSample();
    REQUIRE_JUDGE(sample.size() >= 25, "Wine's DLLs (libwine)");
    expectJudgesAgree(sample);
    for (const QString& path : sample)
        EXPECT_TRUE(ReadPeImports(HostFileSource(path))->wineBuiltin) << path.toStdString();

    // Only the headers, the directories and the names are read, not the 9 MB of shell32.dll.
    const HostFileSource shell(kWineDlls + "shell32.dll");
    const CountingSource counted(shell);
    ASSERT_GT(counted.size(), 4'000'000u);
    ASSERT_TRUE(ReadPeImports(counted));
    EXPECT_LT(counted.bytesRead, 16'000u);
}

TEST(PeImports, OldStyleDelayDescriptorsHoldAddressesAndAreReadAlike)
{
    const QList<QByteArray> names = {"comun32.dll", "oleaut32.dll"};
    const auto newStyle = read(makeImage(false, {"KERNEL32.dll"}, names).bytes);
    const ImportImage old = makeImage(false, {"KERNEL32.dll"}, names, true);
    const auto oldStyle = read(old.bytes);
    ASSERT_TRUE(newStyle && oldStyle);
    EXPECT_EQ(oldStyle->delayImports, QStringList({"comun32.dll", "oleaut32.dll"}));
    EXPECT_EQ(oldStyle->delayImports, newStyle->delayImports);
    EXPECT_TRUE(oldStyle->problems.isEmpty());

    // An address below the image is in no section.
    QByteArray below = old.bytes;
    put32(below, old.delayImports + 4, 0x1000);
    const auto read2 = read(below);
    EXPECT_EQ(read2->delayImports, QStringList({"oleaut32.dll"}));
    EXPECT_EQ(read2->problems.size(), 1);

    if (HaveWinedump()) {
        QTemporaryDir dir;
        writeAll(dir.filePath("old.dll"), old.bytes);
        EXPECT_EQ(ReadPeImportsWithJudges(dir.filePath("old.dll")).delayImports, oldStyle->delayImports);
    }
}

// Each case breaks one structure of an image whose section claims a megabyte the file lacks (a
// cut download); each returns what it can, with a problem that says what was left out.
TEST(PeImports, BrokenDirectoriesEndTheirListWithWhatWasRead)
{
    const QStringList all = {"uno.dll", "dos.dll", "tres.dll"};
    for (bool plus : {false, true}) {
        ImportImage m = makeImage(plus, {"uno.dll", "dos.dll", "tres.dll"}, {"cuatro.dll"});
        put32(m.bytes, m.section + 8, 0x100000);
        put32(m.bytes, m.section + 16, 0x100000);
        struct Case {
            const char* what;
            qsizetype at;
            std::uint32_t value;
            QStringList imports;
            QStringList delayImports;
            bool problem = true;
        };
        const Case cases[] = {
            {"nothing broken", m.section + 36, 0xc0000040, all, {"cuatro.dll"}, false},
            {"import directory past the end of the file", m.directories + 8, kRva + 0x80000, {}, {"cuatro.dll"}},
            {"import directory in no section", m.directories + 8, 0x7fff0000, {}, {"cuatro.dll"}},
            {"delay directory in no section", m.directories + 8 * 13, 0xfffffff0, all, {}},
            {"second name in no section", m.imports + 20 + 12, 0x7fff0000, {"uno.dll", "tres.dll"}, {"cuatro.dll"}},
            {"second name past the end of the file", m.imports + 20 + 12, kRva + 0x80000, {"uno.dll", "tres.dll"}, {"cuatro.dll"}},
            {"a descriptor without an address table ends the list, as the loader ends it", m.imports + 20 + 16, 0,
             {"uno.dll"}, {"cuatro.dll"}, false},
            {"a delay descriptor without a name table ends the list", m.delayImports + 16, 0, all, {}, false},
        };
        for (const Case& c : cases) {
            QByteArray bad = m.bytes;
            put32(bad, c.at, c.value);
            const auto result = read(bad);
            ASSERT_TRUE(result) << c.what;
            EXPECT_EQ(result->imports, c.imports) << c.what;
            EXPECT_EQ(result->delayImports, c.delayImports) << c.what;
            EXPECT_EQ(result->problems.size(), c.problem ? 1 : 0) << c.what;
        }
    }

    // A table that never ends: descriptors to the end of the file, each also holding the name.
    const ImportImage m = makeImage(false, {"uno.dll"}, {});
    QByteArray endless = m.bytes;
    put32(endless, m.section + 8, std::uint32_t(endless.size() - kRaw));
    put32(endless, m.directories + 8 * 13, 0);
    QByteArray descriptor("uno.dll\0\0\0\0\0", 12);
    descriptor += QByteArray(8, '\0');
    put32(descriptor, 12, kRva);
    put32(descriptor, 16, kRva);
    for (qsizetype at = m.imports; at + 20 <= endless.size(); at += 20)
        endless.replace(at, 20, descriptor);
    const auto result = read(endless);
    ASSERT_TRUE(result);
    EXPECT_EQ(result->imports, QStringList((endless.size() - m.imports) / 20, "uno.dll"));
    EXPECT_EQ(result->problems.size(), 1);
}

TEST(PeImports, NamesAreReadUpTo255AsciiCharactersEndedInTheFile)
{
    const QByteArray longest(255, 'a');
    const ImportImage m = makeImage(false, {longest, QByteArray(256, 'b'), "ma\xf1" "ana.dll", "fin.dll"}, {});
    auto result = read(m.bytes);
    ASSERT_TRUE(result);
    EXPECT_EQ(result->imports, QStringList({QString::fromLatin1(longest), "fin.dll"}));
    EXPECT_EQ(result->problems.size(), 2);

    // The last name runs to the end of the file without its zero byte.
    QByteArray cut = m.bytes;
    cut.truncate(cut.indexOf("fin.dll") + 3);
    put32(cut, m.section + 16, std::uint32_t(cut.size() - kRaw));
    result = read(cut);
    EXPECT_EQ(result->imports.size(), 1);
    EXPECT_EQ(result->problems.size(), 3);
}

TEST(PeImports, TenThousandDescriptorsAreReadAndNoMore)
{
    QList<QByteArray> many(kMaxImportDescriptors + 5, "comun32.dll");
    const ImportImage m = makeImage(true, many, many);
    const auto result = read(m.bytes);
    ASSERT_TRUE(result);
    EXPECT_EQ(result->imports.size(), kMaxImportDescriptors);
    EXPECT_EQ(result->delayImports.size(), kMaxImportDescriptors);
    EXPECT_EQ(result->problems.size(), 2);
}

TEST(PeImports, AnImageCutInItsHeadersIsNoImage)
{
    const ImportImage m = makeImage(false, {"uno.dll"}, {});
    for (qsizetype size : {qsizetype(0), qsizetype(2), qsizetype(0x3e), qsizetype(0x44), qsizetype(0x57), qsizetype(0x80), m.section + 39}) {
        QString error;
        EXPECT_FALSE(read(m.bytes.left(size), &error)) << size;
        EXPECT_FALSE(error.isEmpty()) << size;
    }
    const auto cutInTheSection = read(m.bytes.left(m.imports + 10));
    ASSERT_TRUE(cutInTheSection);
    EXPECT_TRUE(cutInTheSection->imports.isEmpty());
    EXPECT_EQ(cutInTheSection->problems.size(), 2) << "both directories lie past the cut";
}
