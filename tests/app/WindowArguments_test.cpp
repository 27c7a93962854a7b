#include "app/WindowArguments.h"
#include "app/frmMain.h"
#include "catalogue/Catalogue.h"
#include "platform/desktop/MessageBoxes.h"
#include "platform/files/HostNames.h"
#include "support_files/FileBytes.h"
#include "support_files/TempPrefix.h"
#include "support_files/TestApplication.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

int read(const QStringList& args, WindowArguments& arguments)
{
    arguments = WindowArguments();
    return ReadWindowArguments(args, arguments);
}

}

TEST(WindowArguments, AFolderNamedInBytesThatAreNotTextIsThatFolder)
{
    // Only "S\xff" exists: no folder with U+FFFD in its name stands in for it.
    TempPrefix prefix;
    prefix.makeFolder("vb");
    const QByteArray folder = QFile::encodeName(prefix.hostPath("vb")) + "/S\xff";
    ASSERT_EQ(::mkdir(folder.constData(), 0755), 0);
    struct Cleanup {
        QByteArray folder;
        ~Cleanup() { ::rmdir(folder.constData()); }
    } cleanup{folder};
    const QString raw = HostNames::decode("S\xff");
    WindowArguments arguments;
    EXPECT_EQ(read({HostNames::decode(folder)}, arguments), -1);
    EXPECT_EQ(arguments.folder, "C:\\vb\\" + raw);
    EXPECT_EQ(read({"c:\\vb\\" + raw}, arguments), -1);
    EXPECT_EQ(arguments.folder, "c:\\vb\\" + raw);
}

TEST(WindowArguments, AFolderInWindowsOrHostFormIsTakenInWindowsForm)
{
    TempPrefix prefix;
    prefix.makeFolder("vb/proyectos");
    WindowArguments arguments;
    EXPECT_EQ(read({}, arguments), -1);
    EXPECT_TRUE(arguments.folder.isEmpty()) << "without an argument, the settings file decides";
    EXPECT_EQ(read({"c:\\vb\\proyectos\\"}, arguments), -1);
    EXPECT_EQ(arguments.folder, "c:\\vb\\proyectos\\");
    EXPECT_EQ(read({prefix.hostPath("vb/proyectos")}, arguments), -1);
    EXPECT_EQ(arguments.folder, "C:\\vb\\proyectos");
    // A relative host path is taken from the working folder.
    const QString before = QDir::currentPath();
    QDir::setCurrent(prefix.hostPath("vb"));
    EXPECT_EQ(read({"proyectos"}, arguments), -1);
    QDir::setCurrent(before);
    EXPECT_EQ(arguments.folder, "C:\\vb\\proyectos");
}

TEST(WindowArguments, HostileValuesEndWithAStatusAndNoFolder)
{
    TempPrefix prefix;
    prefix.writeLines("vb/a.vbp", {"Type=Exe"});
    prefix.makeFolder("-raro");
    prefix.makeFolder("con\nsalto");
    WindowArguments arguments;
    EXPECT_EQ(read({"c:\\no\\existe"}, arguments), 1);
    EXPECT_EQ(read({"/no/existe"}, arguments), 1);
    EXPECT_EQ(read({"q:\\"}, arguments), 1) << "a drive the prefix does not have";
    EXPECT_EQ(read({prefix.hostPath("vb/a.vbp")}, arguments), 1) << "a file is not a folder";
    EXPECT_EQ(read({""}, arguments), 2);
    EXPECT_EQ(read({"c:\\vb", "c:\\vb"}, arguments), 2);
    EXPECT_EQ(read({"--no-such-option"}, arguments), 2);
    EXPECT_EQ(read({prefix.hostPath("-raro")}, arguments), -1) << "an absolute path is no option";
    EXPECT_EQ(read({"-raro"}, arguments), 2) << "a leading dash is an option";
    EXPECT_TRUE(arguments.folder.isEmpty());
    const QString before = QDir::currentPath();
    QDir::setCurrent(prefix.hostPath(""));
    EXPECT_EQ(read({"--", "-raro"}, arguments), -1) << "after --, a folder";
    QDir::setCurrent(before);
    EXPECT_EQ(arguments.folder, "C:\\-raro");
    EXPECT_EQ(read({prefix.hostPath("con\nsalto")}, arguments), -1);
    EXPECT_EQ(arguments.folder, "C:\\con\nsalto");
    EXPECT_EQ(read({"--version"}, arguments), 0);
}

TEST(WindowArguments, TheWindowLoadsTheGivenFolderAndLeavesTheSettingsFileAlone)
{
    TestApplication();
    TempPrefix prefix;
    prefix.writeFile("windows/ZANTREL.INI", "[general]\r\npath=c:\\tmp\\\r\n");
    prefix.writeLines("tmp/Facturas.vbp", {"Type=Exe", "Name=\"Facturas\""});
    prefix.writeLines("otra/Uno.vbp", {"Type=Exe", "Name=\"Uno\""});
    prefix.writeLines("otra/Dos.vbp", {"Type=Exe", "Name=\"Dos\""});
    ScriptedMessageBoxes messages;
    Catalogue catalogue;
    frmMain window(catalogue, nullptr, "c:\\otra");
    window.show();
    QEvent activate(QEvent::WindowActivate);
    QApplication::sendEvent(&window, &activate);
    EXPECT_EQ(catalogue.ScanPath, "c:\\otra");
    EXPECT_EQ(catalogue.ProjectCount(), 2);
    window.tlbMain_ButtonClick("cmdRefresh");
    EXPECT_EQ(catalogue.ProjectCount(), 2) << "a refresh reloads the same folder";
    EXPECT_EQ(readAll(prefix.hostPath("windows/ZANTREL.INI")), "[general]\r\npath=c:\\tmp\\\r\n");
    window.close();
}

TEST(WindowArguments, TheProgramAnswersVersionWithoutADisplayAndRefusesAMissingFolder)
{
    const QString program = QStringLiteral(ZANTREL_WINDOW);
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove("DISPLAY");
    environment.remove("WAYLAND_DISPLAY");
    process.setProcessEnvironment(environment);
    process.start(program, {"--version"});
    ASSERT_TRUE(process.waitForFinished(60000));
    EXPECT_EQ(process.exitCode(), 0);
    EXPECT_EQ(process.readAllStandardOutput(), "Zantrel 1.0.3\n");

    environment.insert("QT_QPA_PLATFORM", "offscreen");
    process.setProcessEnvironment(environment);
    process.start(program, {"/no/such/folder"});
    ASSERT_TRUE(process.waitForFinished(60000));
    EXPECT_EQ(process.exitCode(), 1);
    // Qt may add its own warnings (such as a missing XDG_RUNTIME_DIR) before the window's message.
    EXPECT_TRUE(process.readAllStandardError().contains("zantrel: /no/such/folder: no such folder\n"));
    process.start(program, {"-x"});
    ASSERT_TRUE(process.waitForFinished(60000));
    EXPECT_EQ(process.exitCode(), 2);
    EXPECT_TRUE(process.readAllStandardError().contains("zantrel: unknown option -x"));
}
