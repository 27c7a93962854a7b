#include "platform/typelib/PeResources.h"
#include "platform/typelib/TypeLibReader.h"
#include "support_files/FileBytes.h"
#include "support_files/FixtureLibraries.h"
#include "support_files/TempPrefix.h"
#include "support_files/TypeLibImages.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <string_view>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace {

// A prefix with the fixtures copied to C:\lib.
struct FixturePrefix : TempPrefix {
    FixturePrefix()
    {
        QDirIterator it(FixtureLibraries::Folder, QDir::Files, QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QString path = it.next();
            writeFile(QStringLiteral("lib/") + QDir(FixtureLibraries::Folder).relativeFilePath(path), FixtureLibraries::Bytes(QDir(FixtureLibraries::Folder).relativeFilePath(path)));
        }
    }
};

std::optional<TypeLibInfo> readBytes(const QByteArray& bytes, std::uint16_t resource = 1)
{
    const MemorySource source(std::string_view(bytes.constData(), std::size_t(bytes.size())));
    return ReadTypeLibFile(source, resource);
}

void expectSameProperties(const std::optional<TypeLibInfo>& a, const std::optional<TypeLibInfo>& b)
{
    ASSERT_EQ(a.has_value(), b.has_value());
    if (!a)
        return;
    EXPECT_EQ(a->guid, b->guid);
    EXPECT_EQ(a->helpString, b->helpString);
    EXPECT_EQ(a->majorVersion, b->majorVersion);
    EXPECT_EQ(a->minorVersion, b->minorVersion);
    EXPECT_EQ(a->lcid, b->lcid);
}

}

// expected.txt holds what Wine's oleaut32 read from each fixture when the fixtures were made:
// our reader must agree on every property, and fail exactly where it failed.
TEST(TypeLibReader, ReadsEveryFixtureAsTheSystemLoaderDoes)
{
    FixturePrefix prefix;
    const QList<QByteArray> lines = FixtureLibraries::Bytes(QStringLiteral("expected.txt")).split('\n');
    int checked = 0;
    for (const QByteArray& line : lines) {
        if (line.isEmpty())
            continue;
        const QStringList f = QString::fromUtf8(line).split(u'\t');
        ASSERT_GE(f.size(), 3) << line.constData();
        QString path = QStringLiteral("C:\\lib\\") + f[0];
        path.replace(u'/', u'\\');
        SCOPED_TRACE(path.toStdString());
        QString error;
        const auto info = LoadTypeLibFromFile(path, &error);
        if (f[1] == QStringLiteral("FAIL")) {
            EXPECT_FALSE(info.has_value());
            EXPECT_FALSE(error.isEmpty()) << "a failure says why";
        } else {
            ASSERT_TRUE(info.has_value()) << error.toStdString();
            ASSERT_EQ(f.size(), 6);
            EXPECT_EQ(info->guid, f[1]);
            EXPECT_EQ(info->majorVersion, f[2].toUInt());
            EXPECT_EQ(info->minorVersion, f[3].toUInt());
            EXPECT_EQ(info->lcid, f[4].toUInt(nullptr, 16));
            EXPECT_EQ(info->helpString, f[5]);
            EXPECT_EQ(info->containingFile, path);
        }
        ++checked;
    }
    EXPECT_GE(checked, 15);
}

TEST(TypeLibReader, PathsAreWindowsPathsThroughThePrefix)
{
    FixturePrefix prefix;
    EXPECT_TRUE(LoadTypeLibFromFile(QStringLiteral("c:\\LIB\\Facturacion32.DLL\\2"))) << "components match ignoring case";
    EXPECT_TRUE(LoadTypeLibFromFile(QStringLiteral("C:/lib/inventario.tlb")));
    EXPECT_FALSE(LoadTypeLibFromFile(QStringLiteral("C:\\lib\\missing.tlb")));
    EXPECT_FALSE(LoadTypeLibFromFile(QStringLiteral("Q:\\lib\\facturacion.tlb"))) << "unknown drive";
    EXPECT_FALSE(LoadTypeLibFromFile(QStringLiteral("\\\\server\\share\\facturacion.tlb")));
    EXPECT_FALSE(LoadTypeLibFromFile(QString()));
    EXPECT_FALSE(LoadTypeLibFromFile(QStringLiteral("C:\\lib\\facturacion32.dll\\0")));
    EXPECT_FALSE(LoadTypeLibFromFile(QStringLiteral("C:\\lib\\facturacion32.dll\\65537")))
        << "a number no resource can have is not taken modulo 65536";
    EXPECT_FALSE(LoadTypeLibFromFile(QStringLiteral("C:\\lib\\facturacion32.dll\\x2")));
}

TEST(TypeLibReader, RelativePathsStartAtTheCurrentFolderAndBareNamesAlsoInTheSystemFolder)
{
    FixturePrefix prefix;
    prefix.writeFile(QStringLiteral("windows/system32/stdole9.tlb"), FixtureLibraries::Bytes(QStringLiteral("inventario.tlb")));
    prefix.makeFolder(QStringLiteral("proyectos/vb"));
    const QString saved = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(prefix.hostPath(QStringLiteral("proyectos/vb"))));

    const auto up = LoadTypeLibFromFile(QStringLiteral("..\\..\\lib\\nominas.tlb"));
    const auto rooted = LoadTypeLibFromFile(QStringLiteral("\\lib\\nominas.tlb"));
    const auto bare = LoadTypeLibFromFile(QStringLiteral("stdole9.tlb"));
    const auto bareMissing = LoadTypeLibFromFile(QStringLiteral("nominas.tlb"));
    QDir::setCurrent(saved);

    ASSERT_TRUE(up);
    EXPECT_EQ(up->containingFile, QStringLiteral("..\\..\\lib\\nominas.tlb")) << "reported as given";
    EXPECT_TRUE(rooted) << "a path from the root of the current drive";
    ASSERT_TRUE(bare);
    EXPECT_EQ(bare->majorVersion, 2);
    EXPECT_FALSE(bareMissing) << "only the current and the system folders are searched";
}

TEST(TypeLibReader, AFileNamedLikeAResourceNumberIsReadAsAFile)
{
    FixturePrefix prefix;
    prefix.writeFile(QStringLiteral("numbered/7"), FixtureLibraries::Bytes(QStringLiteral("nominas.tlb")));
    const auto info = LoadTypeLibFromFile(QStringLiteral("C:\\numbered\\7"));
    ASSERT_TRUE(info);
    EXPECT_EQ(info->minorVersion, 10);
}

TEST(TypeLibReader, FoldersFifosAndTextFilesFailCleanly)
{
    FixturePrefix prefix;
    prefix.makeFolder(QStringLiteral("lib/folder.tlb"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(prefix.hostPath(QStringLiteral("lib/pipe.tlb"))).constData(), 0600), 0);
    prefix.writeFile(QStringLiteral("lib/notes.tlb"), "MSFT is how this text begins, but it is only text.\r\n");
    prefix.writeFile(QStringLiteral("lib/empty.tlb"), QByteArray());
    prefix.writeFile(QStringLiteral("lib/mz.tlb"), "MZ but nothing more");

    for (const char* name : {"folder.tlb", "pipe.tlb", "notes.tlb", "empty.tlb", "mz.tlb"}) {
        QString error;
        EXPECT_FALSE(LoadTypeLibFromFile(QStringLiteral("C:\\lib\\") + QLatin1String(name), &error)) << name;
        EXPECT_FALSE(error.isEmpty()) << name;
    }
    EXPECT_FALSE(LoadTypeLibFromFile(QStringLiteral("C:\\lib\\pipe.tlb\\1"))) << "nor through the resource form";
}

// Cutting a library or an image short anywhere must give a clean failure, or, when the cut
// spares every byte the properties need, the same properties as the whole file.
TEST(TypeLibReader, TruncationAtEveryOffsetFailsCleanlyOrReadsTheSame)
{
    for (const char* name : {"facturacion.tlb", "facturacion32.dll", "facturacion64.dll"}) {
        const QByteArray whole = FixtureLibraries::Bytes(QLatin1String(name));
        for (std::uint16_t resource : {1, 2}) {
            const auto full = readBytes(whole, resource);
            ASSERT_TRUE(full) << name;
            int successes = 0;
            for (qsizetype length = 0; length < whole.size(); ++length) {
                const auto cut = readBytes(whole.left(length), resource);
                if (cut) {
                    expectSameProperties(cut, full);
                    ++successes;
                }
            }
            EXPECT_LT(successes, whole.size()) << name;
        }
    }
}

TEST(TypeLibReader, MalformedLibrariesFailInsteadOfReadingOutside)
{
    using namespace TypeLibImages;
    const QByteArray good = MakeMsft();
    ASSERT_TRUE(readBytes(good));
    EXPECT_EQ(readBytes(good)->helpString, QStringLiteral("Biblioteca de facturación"));

    auto patched = [&](qsizetype at, std::uint32_t value) {
        QByteArray b = good;
        put32(b, at, value);
        return readBytes(b);
    };
    const qsizetype guidSegment = MsftLayout::kSegments + 16 * 5;
    const qsizetype stringSegment = MsftLayout::kSegments + 16 * 8;
    EXPECT_FALSE(patched(0x20, 0xffffffffu)) << "negative type-info count";
    EXPECT_FALSE(patched(0x20, 0x7fffffffu)) << "segment directory far past the end";
    EXPECT_FALSE(patched(MsftLayout::kSegments + 12, 3)) << "no segment directory where it should be";
    EXPECT_FALSE(patched(0x08, 16)) << "GUID past its table";
    EXPECT_FALSE(patched(guidSegment, 0x7ffffff0u)) << "GUID table outside the file";
    EXPECT_FALSE(patched(guidSegment + 4, 0x80000000u)) << "negative table length";
    EXPECT_FALSE(patched(0x24, 0x10000)) << "help string past its table";
    EXPECT_FALSE(patched(stringSegment, 0xfffffff0u)) << "string table outside the file";
    QByteArray longString = good;
    put16(longString, MsftLayout::kStringTable, 0x7fff);
    EXPECT_FALSE(readBytes(longString)) << "a string longer than its table";

    // Absent things are not failures.
    const auto noGuid = patched(0x08, 0xffffffffu);
    ASSERT_TRUE(noGuid);
    EXPECT_EQ(noGuid->guid, QStringLiteral("{00000000-0000-0000-0000-000000000000}"));
    MsftShape plain;
    plain.helpString.clear();
    ASSERT_TRUE(readBytes(MakeMsft(plain)));
    EXPECT_TRUE(readBytes(MakeMsft(plain))->helpString.isEmpty());

    QByteArray sltg = good;
    sltg.replace(0, 4, "SLTG");
    QString error;
    const MemorySource source(std::string_view(sltg.constData(), std::size_t(sltg.size())));
    EXPECT_FALSE(ReadTypeLibImage(source, &error));
    EXPECT_TRUE(error.contains(QStringLiteral("SLTG")));
}

namespace {

// The type library of the COM server fixture (widl's, in reloj32.dll's TYPELIB resource).
QByteArray relojLibrary()
{
    QFile file(QStringLiteral(ZANTREL_SOURCE_DIR "/tests/fixtures/com/reloj32.dll"));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QByteArray image = file.readAll();
    const MemorySource source(std::string_view(image.constData(), std::size_t(image.size())));
    const auto range = FindPeResource(source, u"TYPELIB", 1);
    return range ? image.mid(qsizetype(range->offset), qsizetype(range->length)) : QByteArray();
}

std::optional<LibraryClasses> classesOf(const QByteArray& library)
{
    return ReadTypeLibClasses(MemorySource(std::string_view(library.constData(), std::size_t(library.size()))));
}

void putLe32(QByteArray& bytes, qsizetype at, std::uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        bytes[at + i] = char((value >> (8 * i)) & 0xff);
}

std::uint32_t le32At(const QByteArray& bytes, qsizetype at)
{
    std::uint32_t value = 0;
    for (int i = 3; i >= 0; --i)
        value = (value << 8) | std::uint8_t(bytes[at + i]);
    return value;
}

}

// A server's classes as widl wrote them, the same from the image, its resource and its path; the
// IDL says what they are (tests/fixtures/com/reloj.idl).
TEST(TypeLibClasses, AServersClassesAreReadFromEveryFormOfItsLibrary)
{
    TempPrefix prefix;
    prefix.writeFile("lib/reloj32.dll", readAll(QStringLiteral(ZANTREL_SOURCE_DIR "/tests/fixtures/com/reloj32.dll")));
    QString error;
    const std::optional<LibraryClasses> classes = LoadTypeLibClasses("c:\\lib\\reloj32.dll", &error);
    ASSERT_TRUE(classes) << error.toStdString();
    EXPECT_EQ(classes->guid, "{B93E2C91-8ACC-46BC-8E15-BCA4A3DEE7E7}");
    EXPECT_EQ(classes->name, "Relojeria");
    EXPECT_EQ(classes->majorVersion, 1);
    EXPECT_EQ(classes->minorVersion, 0);
    ASSERT_EQ(classes->classes.size(), 2u);
    EXPECT_EQ(classes->classes[0].clsid, "{EE9C1D19-7B2C-4589-8060-A8F1EE98A0E3}");
    EXPECT_EQ(classes->classes[0].name, "Reloj");
    EXPECT_EQ(classes->classes[0].flags, 0x2u) << "creatable";
    EXPECT_EQ(classes->classes[1].clsid, "{CC166B3A-1FE6-49D4-9E8D-64871024F4BF}");
    EXPECT_EQ(classes->classes[1].name, "Alarma");
    const std::optional<LibraryClasses> fromImage = classesOf(relojLibrary());
    ASSERT_TRUE(fromImage);
    EXPECT_EQ(fromImage->classes.size(), 2u);
    // A library without classes has none, and a type library alone is read as well.
    const std::optional<LibraryClasses> none =
        LoadTypeLibClasses(QStringLiteral("c:\\no-such.tlb"));
    EXPECT_FALSE(none);
    const std::optional<LibraryClasses> controls = ReadTypeLibFileClasses(
        HostFileSource(QStringLiteral(ZANTREL_SOURCE_DIR "/tests/fixtures/typelibs/controles.tlb")));
    ASSERT_TRUE(controls);
    EXPECT_TRUE(controls->classes.empty());
}

// Wine's own OLE Automation library (built by Wine's widl from its IDL) declares StdFont and
// StdPicture, whose identities are public.
TEST(TypeLibClasses, WinesOwnAutomationLibraryDeclaresItsPublicClasses)
{
    const QString wine = QStringLiteral("/usr/lib/x86_64-linux-gnu/wine/x86_64-windows/stdole2.tlb");
    if (!QFile::exists(wine))
        GTEST_SKIP() << "Wine's stdole2.tlb is not installed";
    const std::optional<LibraryClasses> classes = ReadTypeLibFileClasses(HostFileSource(wine));
    ASSERT_TRUE(classes);
    EXPECT_EQ(classes->guid, "{00020430-0000-0000-C000-000000000046}");
    QStringList found;
    for (const LibraryClass& c : classes->classes)
        found << c.name + u' ' + c.clsid;
    EXPECT_TRUE(found.contains("StdFont {0BE35203-8F91-11CE-9DE3-00AA004BB851}")) << found.join(u'\n').toStdString();
    EXPECT_TRUE(found.contains("StdPicture {0BE35204-8F91-11CE-9DE3-00AA004BB851}")) << found.join(u'\n').toStdString();
}

// Damage is read around: a class whose GUID lies outside its table is left out, a name outside
// its table reads as empty, a count past the table stops at its end.
TEST(TypeLibClasses, DamagedEntriesAreLeftOutNotTrusted)
{
    const QByteArray library = relojLibrary();
    ASSERT_FALSE(library.isEmpty());
    const qsizetype directoryAt = 0x54 + 4 * qsizetype(le32At(library, 0x20)) + ((le32At(library, 0x14) & 0x100) ? 4 : 0);
    const qsizetype infosAt = qsizetype(le32At(library, directoryAt));
    // The first two type infos are the interfaces; find the first class.
    qsizetype firstClass = -1;
    for (qsizetype i = 0; i < qsizetype(le32At(library, 0x20)); ++i)
        if ((le32At(library, infosAt + i * 0x64) & 0xf) == 5 && firstClass < 0)
            firstClass = infosAt + i * 0x64;
    ASSERT_GE(firstClass, 0);

    QByteArray noGuid = library;
    putLe32(noGuid, firstClass + 0x2c, 0x7ffffff0);
    ASSERT_TRUE(classesOf(noGuid));
    ASSERT_EQ(classesOf(noGuid)->classes.size(), 1u);
    EXPECT_EQ(classesOf(noGuid)->classes[0].name, "Alarma");

    QByteArray noName = library;
    putLe32(noName, firstClass + 0x34, 0xfffffff0);
    ASSERT_EQ(classesOf(noName)->classes.size(), 2u);
    EXPECT_TRUE(classesOf(noName)->classes[0].name.isEmpty());

    // A count of two billion type infos: the header's offsets array would lie far past the
    // file, so the library is refused; a table that says it is longer than the file is empty.
    QByteArray counted = library;
    putLe32(counted, 0x20, 0x7fffffff);
    EXPECT_FALSE(classesOf(counted));
    QByteArray longTable = library;
    putLe32(longTable, directoryAt + 4, 0x7fffffff);
    ASSERT_TRUE(classesOf(longTable));
    EXPECT_TRUE(classesOf(longTable)->classes.empty());
}
