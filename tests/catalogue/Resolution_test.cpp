#include "catalogue/Catalogue.h"
#include "catalogue/FileHelpers.h"
#include "catalogue/FolderScan.h"
#include "catalogue/LoadContext.h"
#include "catalogue/Resolution.h"
#include "platform/controls/MemoryControls.h"
#include "platform/desktop/MessageBoxes.h"
#include "platform/files/HostNames.h"
#include "platform/registry/RegistryStore.h"
#include "support_files/FileBytes.h"
#include "support_files/FixtureLibraries.h"
#include "support_files/TempPrefix.h"

#include <QDateTime>
#include <QFile>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <utime.h>

namespace {

using namespace FixtureLibraries;

// A prefix with the fixture libraries in place and a machine registry registering some of them
// as Wine writes registrations.
class ResolutionTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        prefix.writeFile("windows/system32/facturacion32.dll", Bytes("facturacion32.dll"));
        prefix.writeFile("windows/system32/controles32.ocx", Bytes("controles32.ocx"));
        prefix.writeFile("Archivos de programa/Nominas/nominas.tlb", Bytes("nominas.tlb"));
        prefix.writeFile("lib/inventario.tlb", Bytes("inventario.tlb"));
        setModified("windows/system32/facturacion32.dll", QDateTime(QDate(2003, 4, 7), QTime(10, 20, 30), Qt::LocalTime));
        registry("[Software\\\\Classes\\\\TypeLib\\\\" + Facturacion.toLatin1() + "\\\\1.0\\\\0\\\\win32] 1700000000\n"
                 "@=\"C:\\\\windows\\\\system32\\\\facturacion32.dll\"\n\n"
                 "[Software\\\\Classes\\\\TypeLib\\\\" + Nominas.toLatin1() + "\\\\1.a\\\\0\\\\win32] 1700000000\n"
                 "@=str(2):\"%NOMINAS%\\\\nominas.tlb\"\n\n"
                 "[Software\\\\Classes\\\\TypeLib\\\\" + Controles.toLatin1() + "\\\\3.0\\\\0\\\\win32] 1700000000\n"
                 "@=\"C:\\\\windows\\\\system32\\\\controles32.ocx\"\n\n"
                 "[System\\\\CurrentControlSet\\\\Control\\\\Session Manager\\\\Environment] 1700000000\n"
                 "\"NOMINAS\"=\"C:\\\\Archivos de programa\\\\Nominas\"\n");
        catalogue.AppendProject(1);
        load.readingProjectPath = "C:\\src\\ventas\\Ventas.vbp";
    }
    void registry(const QByteArray& keys)
    {
        prefix.writeFile("../system.reg", "WINE REGISTRY Version 2\n;; All keys relative to \\\\Machine\n\n#arch=win32\n\n" + keys);
        RegistryStore::resetCurrent();
    }
    const ProjectEntry& project() const { return catalogue.Projects[1]; }
    // Sets the modification time of the prefix's file `path` (below drive_c) to `when`.
    void setModified(const QString& path, const QDateTime& when)
    {
        const ::utimbuf times{when.toSecsSinceEpoch(), when.toSecsSinceEpoch()};
        ASSERT_EQ(::utime(QFile::encodeName(prefix.hostPath(path)).constData(), &times), 0) << path.toStdString();
    }

    TempPrefix prefix;
    ScriptedMessageBoxes messages;
    Catalogue catalogue;
    LoadContext load;
    int counter = 1;
};

}

TEST_F(ResolutionTest, ARegisteredReferenceTakesTheRegisteredFileAndTheLibrarysOwnFacts)
{
    AgregaReferencia(catalogue, load, 1, counter,
                     "Reference=*\\G" + Facturacion + "#1.0#0#..\\otro\\sitio.dll#Biblioteca de facturación");
    ASSERT_EQ(catalogue.DependencyCount(1), 1);
    const DependencyEntry& entry = project().Dependencies[1];
    EXPECT_EQ(entry.Kind, DependencyKind::Reference);
    EXPECT_EQ(entry.FilePath, "C:\\windows\\system32\\facturacion32.dll") << "the registered path, not the written one";
    EXPECT_EQ(entry.Guid, Facturacion);
    EXPECT_EQ(entry.Description, QString::fromUtf8("Biblioteca de facturación"));
    EXPECT_EQ(entry.MajorVersion, 1);
    EXPECT_EQ(entry.MinorVersion, 0);
    EXPECT_EQ(entry.SizeKB, 7) << "7,168 bytes";
    EXPECT_EQ(entry.FileDate, "07/04/2003 10:20:30");
    EXPECT_EQ(entry.Key, "REFDLL0");
    EXPECT_EQ(counter, 2);
    EXPECT_TRUE(messages.shown().isEmpty());
}

TEST_F(ResolutionTest, AnExpandableRegisteredPathIsExpandedFromThePrefixEnvironment)
{
    // Registered as version 1.a (versions are hexadecimal in the registry), its file given as
    // %NOMINAS%\nominas.tlb, NOMINAS being set in the prefix's system environment.
    AgregaReferencia(catalogue, load, 1, counter, "Reference=*\\G" + Nominas + "#1.a#0#x.tlb#N");
    ASSERT_EQ(catalogue.DependencyCount(1), 1);
    EXPECT_EQ(project().Dependencies[1].FilePath, "C:\\Archivos de programa\\Nominas\\nominas.tlb");
    EXPECT_EQ(project().Dependencies[1].MinorVersion, 10);
}

TEST_F(ResolutionTest, AnUnregisteredLibraryIsReadFromTheWrittenPathRelativeToTheProject)
{
    AgregaReferencia(catalogue, load, 1, counter, "Reference=*\\G" + Inventario + "#2.5#409#..\\..\\lib\\inventario.tlb#Inventory");
    ASSERT_EQ(catalogue.DependencyCount(1), 1);
    const DependencyEntry& entry = project().Dependencies[1];
    EXPECT_EQ(entry.FilePath, "C:\\lib\\inventario.tlb") << "taken from the project's folder, not the working folder";
    EXPECT_EQ(entry.Guid, Inventario);
    EXPECT_EQ(entry.Description, "Inventory control library");
    EXPECT_EQ(entry.MajorVersion, 2);
    EXPECT_EQ(entry.MinorVersion, 5);
    EXPECT_GT(entry.SizeKB, 0);

    AgregaReferencia(catalogue, load, 1, counter, "Reference=*\\G" + Inventario + "#2.5#409#C:\\LIB\\INVENTARIO.TLB#Inventory");
    ASSERT_EQ(catalogue.DependencyCount(1), 2);
    EXPECT_EQ(project().Dependencies[2].FilePath, "C:\\LIB\\INVENTARIO.TLB") << "an absolute path is kept as written";
    EXPECT_EQ(project().Dependencies[2].Key, "REFDLL1");
}

TEST_F(ResolutionTest, AnUnresolvableLineAddsNothingAndTheNextEntryTakesItsPlace)
{
    AgregaReferencia(catalogue, load, 1, counter, "Reference=*\\G{00000000-0000-0000-0000-000000000001}#1.0#0#C:\\no\\hay.tlb#Nada");
    AgregaReferencia(catalogue, load, 1, counter, "Title=My Reference=1");
    AgregaReferencia(catalogue, load, 1, counter, "Reference=*\\G" + Inventario + "#2.5#409#C:\\lib\\LEEME.txt#texto");
    prefix.writeFile("lib/LEEME.txt", "not a type library");
    LoadContext nextLoad; // a new load looks at the file that now exists
    AgregaReferencia(catalogue, nextLoad, 1, counter, "Reference=*\\G" + Inventario + "#2.5#409#C:\\lib\\LEEME.txt#texto");
    AgregaComponente(catalogue, load, 1, counter, "Object={00000000-0000-0000-0000-000000000002}#1.0#0; falta.ocx");
    EXPECT_EQ(catalogue.DependencyCount(1), 0);
    EXPECT_EQ(counter, 1);
    EXPECT_EQ(catalogue.ReferenceKeyCounter, 0);
    EXPECT_EQ(catalogue.ComponentKeyCounter, 0);
    AgregaReferencia(catalogue, load, 1, counter, "Reference=*\\G" + Facturacion + "#1.0#0#x#y");
    EXPECT_EQ(catalogue.DependencyCount(1), 1);
    EXPECT_TRUE(messages.shown().isEmpty());
}

TEST_F(ResolutionTest, AComponentResolvesThroughItsRegistrationOnly)
{
    AgregaComponente(catalogue, load, 1, counter, "Object=" + Controles + "#3.0#0; OTRO.OCX");
    ASSERT_EQ(catalogue.DependencyCount(1), 1);
    const DependencyEntry& entry = project().Dependencies[1];
    EXPECT_EQ(entry.Kind, DependencyKind::Component);
    EXPECT_EQ(entry.FilePath, "C:\\windows\\system32\\controles32.ocx") << "whatever the line names after the ';'";
    EXPECT_EQ(entry.Key, "REFOCX0");

    prefix.writeFile("src/ventas/inventario.tlb", Bytes("inventario.tlb"));
    AgregaComponente(catalogue, load, 1, counter, "Object=" + Inventario + "#2.5#409; inventario.tlb");
    EXPECT_EQ(catalogue.DependencyCount(1), 1) << "an unregistered control next to the project adds nothing";
}

TEST_F(ResolutionTest, ReferencesAndComponentsInterleaveWithTheirOwnKeyCounters)
{
    prefix.writeLines("src/Mixto.vbp", {"Type=Exe", "Reference=*\\G" + Facturacion + "#1.0#0#a#b",
                                        "Object=" + Controles + "#3.0#0; c.ocx",
                                        "Reference=*\\G" + Inventario + "#2.5#409#C:\\lib\\inventario.tlb#c",
                                        "Name=\"Mixto\""});
    prefix.writeLines("src/Otro.vbp", {"Object=" + Controles + "#3.0#0; c.ocx", "Reference=*\\G" + Facturacion + "#1.0#0#a#b"});
    MemoryControls controls;
    Catalogue load;
    load.ReferenceKeyCounter = 5; // keys continue from earlier loads
    controls.main.Dir1.SetPath("c:\\src");
    CargaProyectos(load, controls.main);

    ASSERT_EQ(load.ProjectCount(), 2);
    const auto& mixed = load.Projects[1].Dependencies;
    ASSERT_EQ(load.DependencyCount(1), 3);
    EXPECT_EQ(mixed[1].Kind, 1);
    EXPECT_EQ(mixed[2].Kind, 2);
    EXPECT_EQ(mixed[3].Kind, 1);
    EXPECT_EQ(mixed[1].Key, "REFDLL5");
    EXPECT_EQ(mixed[2].Key, "REFOCX0");
    EXPECT_EQ(mixed[3].Key, "REFDLL6");

    QStringList lines;
    std::function<void(int, int)> walk = [&](int position, int depth) {
        const TreeNode& node = controls.tree.Node(position);
        lines.append(QString(depth * 2, u' ') + node.key + u' ' + node.text + u' ' + QString::number(node.image));
        for (int child : controls.tree.Children(position))
            walk(child, depth + 1);
    };
    walk(1, 0);
    EXPECT_EQ(lines, (QStringList{"root Sistemas 7",
                                  "  k1 Mixto (Mixto.vbp) 7",
                                  "    dll1 Referencias 20",
                                  "      fileREFDLL5 facturacion32.dll 20",
                                  "      fileREFDLL6 inventario.tlb 20",
                                  "    com1 Componentes 21",
                                  "      fileREFOCX0 controles32.ocx 21",
                                  "  k2  (c:\\src\\Otro.vbp) 7",
                                  "    com2 Componentes 21",
                                  "      fileREFOCX1 controles32.ocx 21",
                                  "    dll2 Referencias 20",
                                  "      fileREFDLL7 facturacion32.dll 20"}));

    CargaProyectos(load, controls.main);
    EXPECT_EQ(controls.tree.Node(controls.tree.Children(controls.tree.Find("dll1")).first()).key, "fileREFDLL8")
        << "a reload gives the same branches and new leaf keys";
}

TEST(ResolutionFields, ThePathFieldAndTheVersionSplit)
{
    EXPECT_EQ(ExtraeRuta("Reference=*\\G{X}#2.0#0#..\\lib\\x.tlb#Some library"), "..\\lib\\x.tlb");
    EXPECT_EQ(ExtraeRuta("Reference=*\\G{X}#2.0#0#C:\\x.tlb#Uno # dos"), "Uno ")
        << "a '#' in the description moves the path field";
    EXPECT_EQ(ExtraeRuta("sin almohadillas"), "");
    EXPECT_EQ(ExtraeRuta("una#sola"), "");
    EXPECT_EQ(ExtraeRuta("##"), "");

    auto split = [](const char* version, const char* locale) {
        const std::optional<VersionNumbers> v = SplitVersion(version, locale);
        return v ? std::make_pair(int(v->major), int(v->minor)) : std::make_pair(-1, -1);
    };
    EXPECT_EQ(split("2.0", "0"), std::make_pair(2, 0));
    EXPECT_EQ(split("1.10", "0"), std::make_pair(1, 10));
    EXPECT_EQ(split("3", "9"), std::make_pair(3, 9)) << "without '.', the minor comes from the locale";
    EXPECT_EQ(split("x.y", "0"), std::make_pair(0, 0));
    EXPECT_EQ(split("12abc.4z", "0"), std::make_pair(12, 4));
    EXPECT_EQ(split("", ""), std::make_pair(0, 0));
    EXPECT_EQ(split("65535.65535", "0"), std::make_pair(65535, 65535));
    EXPECT_EQ(split("65539.0", "0"), std::make_pair(-1, -1)) << "a number past 16 bits does not wrap";
    EXPECT_EQ(split("1.65536", "0"), std::make_pair(-1, -1));
    EXPECT_EQ(split("3", "99999999999999999999"), std::make_pair(-1, -1));
}

TEST_F(ResolutionTest, AVersionPastSixteenBitsAddsNoEntry)
{
    // 65537 and 65539 would wrap to the registered 1 and 3.
    AgregaReferencia(catalogue, load, 1, counter,
                     "Reference=*\\G" + Facturacion + "#65537.0#0#C:\\windows\\system32\\facturacion32.dll#F");
    AgregaReferencia(catalogue, load, 1, counter, "Reference=*\\G" + Facturacion + "#1.65536#0#x#F");
    AgregaComponente(catalogue, load, 1, counter, "Object=" + Controles + "#65539.0#0; controles32.ocx");
    EXPECT_EQ(catalogue.DependencyCount(1), 0);
    EXPECT_EQ(counter, 1);
    AgregaComponente(catalogue, load, 1, counter, "Object=" + Controles + "#3.0#0; controles32.ocx");
    EXPECT_EQ(catalogue.DependencyCount(1), 1) << "the same line with its real version resolves";
}

TEST_F(ResolutionTest, SizeAndDateComeFromTheFileTheLibraryWasReadFrom)
{
    // Registrations that name a bare file (found in the system folder) and a numbered resource.
    registry("[Software\\\\Classes\\\\TypeLib\\\\" + Controles.toLatin1() + "\\\\3.0\\\\0\\\\win32] 1700000000\n"
             "@=\"controles32.ocx\"\n\n"
             "[Software\\\\Classes\\\\TypeLib\\\\" + Facturacion.toLatin1() + "\\\\1.0\\\\0\\\\win32] 1700000000\n"
             "@=\"C:\\\\windows\\\\system32\\\\facturacion32.dll\\\\1\"\n");
    const QString dll = "C:\\windows\\system32\\facturacion32.dll";
    setModified("windows/system32/controles32.ocx", QDateTime(QDate(2001, 9, 9), QTime(1, 46, 40), Qt::LocalTime));

    AgregaComponente(catalogue, load, 1, counter, "Object=" + Controles + "#3.0#0; controles32.ocx");
    AgregaReferencia(catalogue, load, 1, counter, "Reference=*\\G" + Facturacion + "#1.0#0#a#F");
    ASSERT_EQ(catalogue.DependencyCount(1), 2);
    const DependencyEntry& component = project().Dependencies[1];
    EXPECT_EQ(component.FilePath, "controles32.ocx") << "the path stays as registered";
    EXPECT_EQ(component.SizeKB, 6) << "5,632 bytes: 5.5 rounds to the even 6";
    EXPECT_EQ(component.FileDate, "09/09/2001 01:46:40");
    EXPECT_NE(component.FileDate, "01/01/1601 00:00:00") << "the date a missing file gets";
    const DependencyEntry& reference = project().Dependencies[2];
    EXPECT_EQ(reference.FilePath, dll + "\\1");
    EXPECT_EQ(reference.SizeKB, 7) << "the whole image's size, not the resource's";
    EXPECT_EQ(reference.FileDate, "07/04/2003 10:20:30");
}

TEST_F(ResolutionTest, AWrittenPathKeepsItsOwnSizeAndDateWhenAnotherVersionsRegistrationLoadsTheLibrary)
{
    // Nominas is registered as 1.a only: a line asking for 1.0 has no registered path of its own
    // and shows the path it writes, while the library loads through the 1.a registration
    // (nominas.tlb, 1600 bytes). The written file is another one, of 10240 bytes.
    prefix.writeFile("lib/copia.tlb", QByteArray(10240, 'x'));
    setModified("lib/copia.tlb", QDateTime(QDate(2002, 3, 5), QTime(14, 7, 9), Qt::LocalTime));

    AgregaReferencia(catalogue, load, 1, counter, "Reference=*\\G" + Nominas + "#1.0#0#C:\\lib\\copia.tlb#Nominas");
    ASSERT_EQ(catalogue.DependencyCount(1), 1);
    const DependencyEntry& entry = project().Dependencies[1];
    EXPECT_EQ(entry.FilePath, "C:\\lib\\copia.tlb");
    EXPECT_EQ(entry.MinorVersion, 10) << "the library itself is the registered 1.a";
    EXPECT_EQ(entry.SizeKB, 10) << "the size of the file the row names, not of nominas.tlb";
    EXPECT_EQ(entry.FileDate, "05/03/2002 14:07:09");
}

TEST(FileHelpers, KilobytesRoundTwiceHalvesToEvenFromTheFullSize)
{
    EXPECT_EQ(KilobytesOf(0), 0);
    EXPECT_EQ(KilobytesOf(512), 0);
    EXPECT_EQ(KilobytesOf(1531), 2) << "1.4951 -> 1.50 -> 2";
    EXPECT_EQ(KilobytesOf(1536), 2);
    EXPECT_EQ(KilobytesOf(2560), 2);
    EXPECT_EQ(KilobytesOf(3584), 4);
    EXPECT_EQ(KilobytesOf(1530), 1) << "1.4941 -> 1.49 -> 1";
    EXPECT_EQ(KilobytesOf(3LL * 1024 * 1024 * 1024), 3 * 1024 * 1024) << "3 GiB keeps its true size";
}

TEST(FileHelpers, SizeAndDateOfRealFiles)
{
    TempPrefix prefix;
    prefix.writeFile("a.bin", QByteArray(1531, 'x'));
    const QString host = prefix.hostPath("a.bin");
    const QDateTime when(QDate(2002, 3, 5), QTime(14, 7, 9), Qt::LocalTime);
    utimbuf times{when.toSecsSinceEpoch(), when.toSecsSinceEpoch()};
    ASSERT_EQ(utime(QFile::encodeName(host).constData(), &times), 0);
    EXPECT_EQ(TamanoArchivo("C:\\A.BIN"), 2);
    EXPECT_EQ(FechaArchivo("c:\\a.bin"), "05/03/2002 14:07:09");

    const QDateTime morning(QDate(2001, 12, 1), QTime(9, 5, 3), Qt::LocalTime);
    times = {morning.toSecsSinceEpoch(), morning.toSecsSinceEpoch()};
    ASSERT_EQ(utime(QFile::encodeName(host).constData(), &times), 0);
    EXPECT_EQ(FechaArchivo("c:\\a.bin"), "01/12/2001 09:05:03");

    EXPECT_EQ(TamanoArchivo("c:\\falta.bin"), 0);
    EXPECT_EQ(FechaArchivo("c:\\falta.bin"), "01/01/1601 00:00:00");
    prefix.makeFolder("carpeta");
    EXPECT_EQ(TamanoArchivo("c:\\carpeta"), 0) << "a folder is not a file";

    QFile big(prefix.hostPath("grande.bin"));
    ASSERT_TRUE(big.open(QIODevice::WriteOnly));
    ASSERT_TRUE(big.resize(2LL * 1024 * 1024 * 1024 + 1536)); // sparse: no disk used
    big.close();
    EXPECT_EQ(TamanoArchivo("c:\\grande.bin"), 2 * 1024 * 1024 + 2);
}

TEST_F(ResolutionTest, WhatALoadLearntStaysWithThatLoad)
{
    const QString line = "Reference=*\\G{11111111-2222-3333-4444-555555555555}#1.0#0#C:\\lib\\tarde.tlb#Tarde";
    AgregaReferencia(catalogue, load, 1, counter, line);
    EXPECT_EQ(catalogue.DependencyCount(1), 0) << "nothing at the written path yet";

    prefix.writeFile("lib/tarde.tlb", Bytes("inventario.tlb"));
    AgregaReferencia(catalogue, load, 1, counter, line);
    EXPECT_EQ(catalogue.DependencyCount(1), 0) << "within one load a file is looked at once";

    LoadContext nextLoad;
    AgregaReferencia(catalogue, nextLoad, 1, counter, line);
    ASSERT_EQ(catalogue.DependencyCount(1), 1) << "the next load sees the library that appeared";
    EXPECT_EQ(project().Dependencies[1].FilePath, "C:\\lib\\tarde.tlb");
}

TEST_F(ResolutionTest, APathIsReadAsExactlyTheNameItHolds)
{
    // A NUL would cut the name short for the system, naming inventario.tlb; it names no file.
    AgregaReferencia(catalogue, load, 1, counter,
                     "Reference=*\\G" + Inventario + "#2.5#409#C:\\lib\\inventario.tlb" + QChar(u'\0') + ".bak#Inventory");
    EXPECT_EQ(catalogue.DependencyCount(1), 0);

    // A library beside a project whose folder's name is not valid text is read from that folder.
    prefix.makeFolder("src");
    const QByteArray folder = HostNames::encode(prefix.hostPath("src")) + "/X\xff";
    ASSERT_EQ(::mkdir(folder.constData(), 0755), 0);
    const QByteArray library = Bytes("inventario.tlb");
    writeAllAtHostName(folder + "/inventario.tlb", library);
    const QString windowsFolder = "C:\\src\\" + HostNames::decode("X\xff");
    load.readingProjectPath = windowsFolder + "\\P.vbp";
    catalogue.AppendProject(2);
    int secondCounter = 1;
    AgregaReferencia(catalogue, load, 2, secondCounter, "Reference=*\\G" + Inventario + "#2.5#409#inventario.tlb#Inventory");
    ASSERT_EQ(catalogue.DependencyCount(2), 1);
    EXPECT_EQ(catalogue.Projects[2].Dependencies[1].FilePath, windowsFolder + "\\inventario.tlb");
    EXPECT_EQ(catalogue.Projects[2].Dependencies[1].SizeKB, 1) << "1,508 bytes";
}
