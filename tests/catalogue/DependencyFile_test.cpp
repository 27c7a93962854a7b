#include "catalogue/DependencyFile.h"
#include "platform/files/PrivateProfile.h"
#include "support_files/FileBytes.h"
#include "support_files/NeverEndingFiles.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

// A control's dependency file laid out as the ones the development environment ships: its own
// version first, the control, the files it uses each in a section of its own, each Uses list
// closed by an empty UsesN, and the language sections under comments.
const QByteArray kControlDep = "[Version]\r\n"
                               "Version=2.1.0.14\r\n"
                               "\r\n"
                               "[GRAFICOS.OCX]\r\n"
                               "Dest=$(WinSysPath)\r\n"
                               "Register=$(DLLSelfRegister)\r\n"
                               "Version=2.1.0.14\r\n"
                               "Uses1=MSVBVM60.DLL\r\n"
                               "Uses2=GrfMotor.dll\r\n"
                               "Uses3=STDOLE2.TLB\r\n"
                               "Uses4=\r\n"
                               "CABFileName=GRAFICOS.cab\r\n"
                               "CABDefaultURL=http://ejemplo.invalid/controles\r\n"
                               "CABINFFile=GRAFICOS.inf\r\n"
                               "\r\n"
                               "[MSVBVM60.DLL]\r\n"
                               "Dest=$(WinSysPathSysFile)\r\n"
                               "Register=$(DLLSelfRegister)\r\n"
                               "Version=6.0.98.15\r\n"
                               "Uses1=\r\n"
                               "\r\n"
                               "[GrfMotor.dll]\r\n"
                               "dest=$(CommonFiles)\\Graficos\r\n"
                               "USES1=MSVCRT.DLL\r\n"
                               "\r\n"
                               "[STDOLE2.TLB]\r\n"
                               "Dest=$(WinSysPathSysFile)\r\n"
                               "Register=$(TLBRegister)\r\n"
                               "Uses1=OleAut32.dll\r\n"
                               "Uses2=OlePro32.dll\r\n"
                               "Uses3=AsycFilt.dll\r\n"
                               "Uses4=\r\n"
                               "\r\n"
                               "; Dependencias por idioma -----------------------\r\n"
                               "; 000A = espa\xf1ol\r\n"
                               "[GRAFICOS.OCX <000A>]\r\n"
                               "Uses1=GrfES.dll\r\n"
                               "Uses2=\r\n"
                               "\r\n"
                               "[GRAFICOS.OCX <0007>]     ; 0007 = Deutsch\r\n"
                               "Uses1=GrfDE.dll\r\n"
                               "Uses2=\r\n";

}

TEST(DependencyFile, AControlsDependencyFileGivesEachFilesUsesAndFolder)
{
    const DependencyFile file = ReadDependencyText(kControlDep);
    EXPECT_TRUE(file.problem.isEmpty());
    EXPECT_EQ(file.version, "2.1.0.14");
    ASSERT_EQ(file.sections.size(), 6) << "[Version] describes the file itself";

    const DependencySection* control = file.find(QStringLiteral("graficos.ocx"));
    ASSERT_NE(control, nullptr);
    EXPECT_EQ(control->fileName, "GRAFICOS.OCX");
    EXPECT_EQ(control->line, 4);
    EXPECT_EQ(control->uses, QStringList({"MSVBVM60.DLL", "GrfMotor.dll", "STDOLE2.TLB"}));
    EXPECT_EQ(control->dest.macro, FolderMacro::WinSysPath);
    EXPECT_EQ(control->registration, "$(DLLSelfRegister)");
    EXPECT_EQ(control->version, "2.1.0.14");

    EXPECT_TRUE(file.find(QStringLiteral("MSVBVM60.DLL"))->uses.isEmpty()) << "an empty Uses1 lists nothing";
    EXPECT_EQ(file.find(QStringLiteral("MSVBVM60.DLL"))->dest.macro, FolderMacro::WinSysPathSysFile);
    const DependencySection* engine = file.find(QStringLiteral("GRFMOTOR.DLL"));
    ASSERT_NE(engine, nullptr);
    EXPECT_EQ(engine->uses, QStringList{"MSVCRT.DLL"}) << "keys in any case";
    EXPECT_EQ(engine->dest.macro, FolderMacro::CommonFiles);
    EXPECT_EQ(engine->dest.rest, "\\Graficos");
    EXPECT_EQ(engine->registration, "") << "no Register: not registered";
    EXPECT_EQ(file.find(QStringLiteral("STDOLE2.TLB"))->uses.size(), 3);

    // The language sections, the second with a comment after its header.
    const DependencySection* spanish = file.find(QStringLiteral("GRAFICOS.OCX"), QStringLiteral("000a"));
    ASSERT_NE(spanish, nullptr);
    EXPECT_EQ(spanish->uses, QStringList{"GrfES.dll"});
    ASSERT_NE(file.find(QStringLiteral("GRAFICOS.OCX"), QStringLiteral("0007")), nullptr);
    EXPECT_EQ(file.find(QStringLiteral("GRAFICOS.OCX"), QStringLiteral("0007"))->uses, QStringList{"GrfDE.dll"});
    EXPECT_EQ(file.find(QStringLiteral("GRAFICOS.OCX"), QStringLiteral("000C")), nullptr);
    EXPECT_EQ(file.find(QStringLiteral("OTRO.OCX")), nullptr);
}

TEST(DependencyFile, TheUsesListEndsAtTheFirstMissingOrEmptyNumber)
{
    const DependencyFile file = ReadDependencyText("[A.DLL]\n"
                                                   "Uses2=dos.dll\n"
                                                   "Uses1=uno.dll\n"
                                                   "Uses3=tres.dll\n"
                                                   "Uses5=cinco.dll\n"
                                                   "Uses01=cero-uno.dll\n"
                                                   "Uses 4=espacio.dll\n"
                                                   "Uses1=repetido.dll\n"
                                                   "[B.DLL]\n"
                                                   "Uses1=b1.dll\n"
                                                   "Uses2=\n"
                                                   "Uses3=b3.dll\n"
                                                   "[C.DLL]\n"
                                                   "Uses99999999999=muy-grande.dll\n"
                                                   "Uses1=\"  con comillas.dll  \"\n");
    EXPECT_EQ(file.find(QStringLiteral("A.DLL"))->uses, QStringList({"uno.dll", "dos.dll", "tres.dll"}))
        << "in number order; a gap ends the list; Uses01 and \"Uses 4\" are other keys; the first Uses1 counts";
    EXPECT_EQ(file.find(QStringLiteral("B.DLL"))->uses, QStringList{"b1.dll"});
    EXPECT_EQ(file.find(QStringLiteral("C.DLL"))->uses, QStringList{"  con comillas.dll  "})
        << "one pair of quotes goes, as a profile value loses it";
}

TEST(DependencyFile, DestinationsNameTheirFolderMacro)
{
    const auto destOf = [](const QByteArray& value) {
        return ReadDependencyText("[X.DLL]\nDest=" + value + "\n").find(QStringLiteral("X.DLL"))->dest;
    };
    const std::pair<const char*, FolderMacro> macros[] = {
        {"$(AppPath)", FolderMacro::AppPath},
        {"$(WinSysPath)", FolderMacro::WinSysPath},
        {"$(winsyspathsysfile)", FolderMacro::WinSysPathSysFile},
        {"$(WinPath)", FolderMacro::WinPath},
        {"$(CommonFiles)", FolderMacro::CommonFiles},
        {"$(CommonFilesSys)", FolderMacro::CommonFilesSys},
        {"$(ProgramFiles)", FolderMacro::ProgramFiles},
        {"$(MSDAOPath)", FolderMacro::MSDAOPath},
        {"$(Font)", FolderMacro::Font},
        {"$(Escritorio)", FolderMacro::Unknown},
        {"C:\\Programa", FolderMacro::None},
        {"$(AppPath", FolderMacro::None},
    };
    for (const auto& [value, macro] : macros)
        EXPECT_EQ(destOf(value).macro, macro) << value;
    const Destination samples = destOf("$(AppPath)\\Ejemplos");
    EXPECT_EQ(samples.macroName, "AppPath");
    EXPECT_EQ(samples.rest, "\\Ejemplos");
    EXPECT_EQ(samples.written, "$(AppPath)\\Ejemplos");
    EXPECT_EQ(destOf("$(Escritorio)\\x").macroName, "Escritorio");
    EXPECT_EQ(destOf("C:\\Programa").rest, "C:\\Programa");
    EXPECT_EQ(ReadDependencyText("[X.DLL]\n").sections[0].dest.written, "");
}

TEST(DependencyFile, TheEnvironmentsMasterFileListsManyFilesAndThoseNotToRedistribute)
{
    const DependencyFile file = ReadDependencyText("; el fichero maestro\r\n"
                                                   "Uses1=fuera.dll\r\n"
                                                   "[Do Not Redistribute]\r\n"
                                                   "SHDOCVW.DLL=\r\n"
                                                   "VB6.OLB\r\n"
                                                   "; comentario\r\n"
                                                   "\r\n"
                                                   "[COMCTL32.OCX]\r\n"
                                                   "Dest=$(WinSysPath)\r\n"
                                                   "Uses1=COMCAT.DLL\r\n"
                                                   "[comctl32.ocx]\r\n"
                                                   "Uses1=otro.dll\r\n"
                                                   "Uses2=segundo.dll\r\n"
                                                   "Dest=$(AppPath)\r\n"
                                                   "Register=$(DLLSelfRegister)\r\n"
                                                   "[X.OCX <>]\r\n"
                                                   "[ <0009>]\r\n");
    EXPECT_EQ(file.doNotRedistribute, QStringList({"SHDOCVW.DLL", "VB6.OLB"}));
    ASSERT_EQ(file.sections.size(), 3) << "a section written twice is one";
    const DependencySection& comctl = file.sections[0];
    EXPECT_EQ(comctl.uses, QStringList({"COMCAT.DLL", "segundo.dll"})) << "each key from its first occurrence";
    EXPECT_EQ(comctl.dest.macro, FolderMacro::WinSysPath);
    EXPECT_EQ(comctl.registration, "$(DLLSelfRegister)");
    EXPECT_EQ(file.sections[1].fileName, "X.OCX <>") << "no language between the brackets: a name";
    EXPECT_EQ(file.sections[2].fileName, "<0009>");
}

TEST(DependencyFile, ValuesReadAsTheSettingsReaderReadsThem)
{
    // The same text read by both readers: names and values compare alike.
    const QByteArray text = "  [ Lector.DLL ]  \r\n"
                            "  DEST  =  '$(AppPath)'  \r\n"
                            ";Uses1=comentado.dll\r\n"
                            "Uses1 = \"uno.dll\r\n"
                            "Register\r\n"
                            "Register=a=b\r\n"
                            "[Lector.DLL]\r\n"
                            "Version=1\r\n";
    const DependencyFile file = ReadDependencyText(text);
    ASSERT_EQ(file.sections.size(), 1);
    const DependencySection& section = file.sections[0];
    const auto profile = [&](const char* key) {
        return PrivateProfile::GetStringFromText(text, section.fileName, QString::fromLatin1(key), QStringLiteral("<none>"), 1 << 20);
    };
    EXPECT_EQ(section.fileName, "Lector.DLL");
    EXPECT_EQ(section.dest.written, profile("Dest"));
    EXPECT_EQ(section.uses.value(0), profile("Uses1"));
    EXPECT_EQ(section.registration, profile("Register"));
    EXPECT_EQ(section.version, profile("Version"));
    EXPECT_EQ(section.dest.macro, FolderMacro::AppPath);
}

TEST(DependencyFile, HostileInputsAreReadAsFarAsTheyCanBe)
{
    QByteArray junk;
    for (int i = 0; i < 65536; ++i)
        junk += char(i * 131 % 256);
    static constexpr char tail[] = "\r\n[N\0L.DLL]\rUses1=a\0b\n";
    const DependencyFile binary = ReadDependencyText(junk + QByteArray(tail, sizeof tail - 1));
    const DependencySection* nul = binary.find(QStringLiteral("N") + QChar(0) + QStringLiteral("L.DLL"));
    ASSERT_NE(nul, nullptr);
    EXPECT_EQ(nul->uses, QStringList{QStringLiteral("a") + QChar(0) + QStringLiteral("b")}) << "NUL bytes are kept";

    // Past the size bound the lines within it are read and the file says so.
    QByteArray large = "[ANTES.DLL]\nUses1=a.dll\n";
    large += QByteArray(kMaxDependencyFileSize, ';') + "\n[DESPUES.DLL]\n";
    const DependencyFile cut = ReadDependencyText(large);
    EXPECT_NE(cut.find(QStringLiteral("ANTES.DLL")), nullptr);
    EXPECT_EQ(cut.find(QStringLiteral("DESPUES.DLL")), nullptr);
    EXPECT_TRUE(cut.problem.startsWith(QStringLiteral("larger than 4194304 bytes"))) << cut.problem.toStdString();

    // Many sections and keys cost their text: 100,000 of each read in one pass.
    QByteArray many;
    for (int i = 1; i <= 100000; ++i)
        many += "[F" + QByteArray::number(i) + ".DLL]\nUses" + QByteArray::number(i) + "=x\nUses1=y\n";
    const DependencyFile wide = ReadDependencyText(many);
    EXPECT_EQ(wide.sections.size(), 100000);
    EXPECT_EQ(wide.sections[0].uses, QStringList{"x"});
    EXPECT_EQ(wide.sections[1].uses, QStringList({"y", "x"}));
    EXPECT_EQ(wide.sections[2].uses, QStringList{"y"});

    QTemporaryDir dir;
    const QString dep = dir.filePath(QStringLiteral("GRAFICOS.DEP"));
    writeAll(dep, kControlDep);
    EXPECT_EQ(ReadDependencyFile(dep).sections.size(), 6);
    EXPECT_FALSE(ReadDependencyFile(dir.filePath(QStringLiteral("NO.DEP"))).problem.isEmpty());
    EXPECT_EQ(ReadDependencyFile(dir.path()).problem, "not a regular file");
    const QString fifo = dir.filePath(QStringLiteral("FIFO.DEP"));
    ASSERT_TRUE(makeFifo(fifo));
    DependencyFile fromFifo;
    EXPECT_TRUE(returnsWithin([&] { fromFifo = ReadDependencyFile(fifo); }, fifo));
    EXPECT_EQ(fromFifo.problem, "not a regular file");
}
