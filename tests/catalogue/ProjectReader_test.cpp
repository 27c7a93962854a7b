#include "catalogue/Catalogue.h"
#include "catalogue/FileHelpers.h"
#include "catalogue/LoadContext.h"
#include "catalogue/ProjectReader.h"
#include "platform/desktop/MessageBoxes.h"
#include "support_files/TempPrefix.h"
#include "support_files/UnlistableFolder.h"

#include <QFile>
#include <gtest/gtest.h>

namespace {

struct ReadResult {
    QString FileName;
    std::int32_t Kind = -1;
    QString Name;
    QStringList messages;
};

ReadResult readProject(const QString& windowsPath, const QString& previousName = QString())
{
    ScriptedMessageBoxes messages;
    Catalogue catalogue;
    catalogue.AppendProject(1);
    int DependencyCounter = 1;
    ReadResult result;
    result.FileName = windowsPath;
    result.Name = previousName;
    LoadContext load;
    DeterminaTipoDeProyecto(catalogue, load, 1, DependencyCounter, result.FileName, result.Kind, result.Name);
    result.messages = messages.texts();
    return result;
}

ReadResult readLines(const QStringList& lines)
{
    TempPrefix prefix;
    prefix.writeLines("tmp/p.vbp", lines);
    return readProject("c:\\tmp\\p.vbp");
}

}

TEST(ProjectReader, TheTypeLineGivesTheKindWithOleExeTestedBeforeExe)
{
    EXPECT_EQ(readLines({"Type=OleExe"}).Kind, ProjectKind::OleExe);
    EXPECT_EQ(readLines({"Type=Exe"}).Kind, ProjectKind::Exe);
    EXPECT_EQ(readLines({"Type=Control"}).Kind, ProjectKind::Control);
    EXPECT_EQ(readLines({"Type=OleDll"}).Kind, ProjectKind::OleDll);
    EXPECT_EQ(readLines({"Form=a.frm"}).Kind, ProjectKind::Unknown) << "no Type line";
    EXPECT_EQ(readLines({"Type=Exe", "TypeLib=x"}).Kind, ProjectKind::Exe)
        << "TypeLib= counts as a type line but names no kind, so the kind stays";
    EXPECT_EQ(readLines({"Type=Exe", "Type=Control"}).Kind, ProjectKind::Control) << "a later Type line overrides";
    EXPECT_EQ(readLines({"type=Exe", " Type=Exe"}).Kind, ProjectKind::Unknown) << "the key is case-sensitive and not trimmed";
}

TEST(ProjectReader, TheNameLineGivesTheNameAndTurnsTheFileNameIntoTheBareName)
{
    ReadResult named = readLines({"Type=Exe", "Name=\"Proyecto1\""});
    EXPECT_EQ(named.Name, "Proyecto1");
    EXPECT_EQ(named.FileName, "p.vbp");

    EXPECT_EQ(readLines({"Name=\"A\""}).Name, "A");
    EXPECT_EQ(readLines({"Name=\"\""}).Name, "");
    EXPECT_EQ(readLines({"NameSpace=x"}).Name, "ace=") << "NameSpace= counts as a name line";
    EXPECT_EQ(readLines({"Name=\"Primero\"", "Name=\"Segundo\""}).Name, "Segundo");
    EXPECT_EQ(readLines({"Name=\"Señalización\""}).Name, QString::fromUtf8("Señalización"));
    EXPECT_TRUE(readLines({"Type=Exe"}).messages.isEmpty());
}

TEST(ProjectReader, AFileWithoutANameLineKeepsTheFullPathAndAnEmptyName)
{
    TempPrefix prefix;
    prefix.writeLines("tmp/sin.vbp", {"Type=Exe"});
    ReadResult result = readProject("c:\\tmp\\sin.vbp", "Anterior");
    EXPECT_EQ(result.FileName, "c:\\tmp\\sin.vbp");
    EXPECT_EQ(result.Name, "") << "the previous project's name does not leak";
}

TEST(ProjectReader, ANameLineTooShortStopsTheFileWithTheMessage)
{
    for (const char* line : {"Name=", "Name", "Name=x"}) {
        ReadResult result = readLines({"Type=OleDll", line, "Type=Exe"});
        ASSERT_EQ(result.messages.size(), 1) << line;
        EXPECT_EQ(result.messages[0], "DeterminaTipoDeProyecto : 5 Invalid procedure call or argument");
        EXPECT_EQ(result.Kind, ProjectKind::OleDll) << "what was read before the error stays; nothing after it is read";
        EXPECT_EQ(result.FileName, "c:\\tmp\\p.vbp");
    }
}

TEST(ProjectReader, AFileThatCannotBeOpenedIsReportedAndLeavesTheOutputsEmpty)
{
    TempPrefix prefix;
    prefix.makeFolder("tmp");
    ReadResult missing = readProject("c:\\tmp\\gone.vbp", "Anterior");
    EXPECT_EQ(missing.messages, QStringList{"DeterminaTipoDeProyecto : 53 File not found"});
    EXPECT_EQ(missing.Kind, 0);
    EXPECT_EQ(missing.Name, "");
    EXPECT_EQ(missing.FileName, "c:\\tmp\\gone.vbp");

    // A file that exists but cannot be opened (root, as here and in CI, gives up its bypass).
    prefix.writeLines("tmp/locked.vbp", {"Type=Exe"});
    const UnreadableFile locked(prefix.hostPath("tmp/locked.vbp"));
    ASSERT_TRUE(locked.unreadable());
    ReadResult refused = readProject("c:\\tmp\\locked.vbp", "Anterior");
    EXPECT_EQ(refused.messages, QStringList{"DeterminaTipoDeProyecto : 75 Path/File access error"});
    EXPECT_EQ(refused.Kind, 0);
    EXPECT_EQ(refused.Name, "");
}

TEST(ProjectReader, BinaryContentNeverStopsTheReading)
{
    TempPrefix prefix;
    QByteArray bytes;
    for (int i = 0; i < 4096; ++i)
        bytes += char(i * 7 % 256);
    // The NUL inside the name is written too: a C string would end there.
    static constexpr char tail[] = "\nType=Control\rName=\"Bin\0ario\"";
    bytes += QByteArray(tail, sizeof tail - 1);
    bytes += "\r\n";
    prefix.writeFile("tmp/bin.vbp", bytes + QByteArray("\0", 1));
    ASSERT_EQ(QFile(prefix.hostPath("tmp/bin.vbp")).size(), bytes.size() + 1);
    ReadResult result = readProject("c:\\tmp\\bin.vbp");
    EXPECT_EQ(result.Kind, ProjectKind::Control);
    EXPECT_EQ(result.Name, QString("Bin") + QChar(0) + "ario") << "the name is kept whole, NUL and all";
    EXPECT_EQ(result.FileName, "bin.vbp");
    EXPECT_TRUE(result.messages.isEmpty());
}

TEST(ExtraeNombreArchivo, ReturnsWhatFollowsTheLastBackslash)
{
    EXPECT_EQ(ExtraeNombreArchivo("C:\\dir\\file.vbp"), "file.vbp");
    EXPECT_EQ(ExtraeNombreArchivo("abc"), "abc");
    EXPECT_EQ(ExtraeNombreArchivo("C:\\"), "");
    EXPECT_EQ(ExtraeNombreArchivo(""), "");
    EXPECT_EQ(ExtraeNombreArchivo("a/b\\c/d"), "c/d") << "only backslashes separate";
}

TEST(ProjectReader, ContentsInMemoryReadAsTheSameFile)
{
    TempPrefix prefix;
    const QByteArray bytes = "Type=OleDll\r\nReference=*\\G{00020430-0000-0000-C000-000000000046}#2.0#0#"
                             "C:\\Windows\\system32\\stdole2.tlb#OLE Automation\r\nObject={X}#1.0#0; x.ocx\r"
                             "Name=\"Mi Proyecto\"\n";
    prefix.writeFile("tmp/m.vbp", bytes);
    // Reads the project from the file or from memory; what it gives and what it adds.
    auto read = [&](bool inMemory) {
        ScriptedMessageBoxes messages;
        Catalogue catalogue;
        catalogue.AppendProject(1);
        int DependencyCounter = 1;
        ReadResult result;
        result.FileName = QStringLiteral("c:\\tmp\\m.vbp");
        LoadContext load;
        if (inMemory)
            DeterminaTipoDeProyecto(catalogue, load, 1, DependencyCounter, result.FileName, bytes, result.Kind, result.Name);
        else
            DeterminaTipoDeProyecto(catalogue, load, 1, DependencyCounter, result.FileName, result.Kind, result.Name);
        result.messages = messages.texts();
        return std::pair(result, DependencyCounter);
    };
    const auto [file, fileCounter] = read(false);
    const auto [memory, memoryCounter] = read(true);
    EXPECT_EQ(memory.Kind, ProjectKind::OleDll);
    EXPECT_EQ(memory.Kind, file.Kind);
    EXPECT_EQ(memory.Name, QStringLiteral("Mi Proyecto"));
    EXPECT_EQ(memory.FileName, file.FileName);
    EXPECT_EQ(memoryCounter, fileCounter);
    EXPECT_EQ(memory.messages, file.messages);
}
