#include "support_files/TempPrefix.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

// A copy of zantrel-cli installed under a usr/bin tree exports into the documents folder, never
// beside itself, even where it could write there (as root can in /usr/bin).
TEST(CliOutputFolder, AnInstalledCopyExportsIntoTheDocumentsFolderNotBesideItself)
{
    TempPrefix prefix;
    prefix.writeLines("tmp/a.vbp", {"Type=Exe", "Name=\"A\""});
    QTemporaryDir tree, home;
    ASSERT_TRUE(QDir(tree.path()).mkpath("usr/bin"));
    const QString bin = tree.path() + "/usr/bin";
    ASSERT_TRUE(QFile::copy(ZANTREL_CLI, bin + "/zantrel-cli"));
    QFile::setPermissions(bin + "/zantrel-cli", QFile::permissions(ZANTREL_CLI));
    ASSERT_TRUE(QDir(home.path()).mkpath(".config"));
    ASSERT_TRUE(QDir(home.path()).mkpath("Documentos"));
    QFile dirs(home.path() + "/.config/user-dirs.dirs");
    ASSERT_TRUE(dirs.open(QIODevice::WriteOnly));
    dirs.write("XDG_DOCUMENTS_DIR=\"$HOME/Documentos\"\n");
    dirs.close();

    auto exportWith = [&](const QString& format, QByteArray* out, QByteArray* err) {
        QProcess process;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("WINEPREFIX", prefix.root());
        environment.insert("HOME", home.path());
        environment.insert("XDG_CONFIG_HOME", home.path() + "/.config");
        process.setProcessEnvironment(environment);
        process.setWorkingDirectory(bin);
        process.start(bin + "/zantrel-cli", {"export", "c:\\tmp", "--format", format});
        process.waitForFinished(120000);
        *out = process.readAllStandardOutput();
        *err = process.readAllStandardError();
        return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    };
    QByteArray out, err;
    ASSERT_EQ(exportWith("xls", &out, &err), 0) << err.constData();
    EXPECT_EQ(out, (home.path() + "/Documentos/proyectos.xls\n").toUtf8());
    ASSERT_EQ(exportWith("xlsx", &out, &err), 0) << err.constData();
    EXPECT_EQ(out, (home.path() + "/Documentos/proyectos.xlsx\n").toUtf8());
    EXPECT_EQ(QDir(home.path() + "/Documentos").entryList(QDir::Files, QDir::Name),
              (QStringList{"proyectos.log", "proyectos.xls", "proyectos.xlsx"}));
    EXPECT_EQ(QDir(bin).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot), QStringList{"zantrel-cli"})
        << "nothing is written beside the installed program";
}
