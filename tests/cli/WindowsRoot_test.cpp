#include "support_files/HiveImages.h"
#include "support_files/IndependentReaders.h"
#include "support_files/TempPrefix.h"
#include "support_files/WindowsRootImages.h"

#include <QCryptographicHash>
#include <QDirIterator>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

// Every file below `folder` with its size, time and contents' hash: what a run must leave as it was.
QByteArray treeState(const QString& folder)
{
    QByteArray state;
    QDirIterator it(folder, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
    QStringList lines;
    while (it.hasNext()) {
        const QString path = it.next();
        const QFileInfo info = it.fileInfo();
        QByteArray hash;
        if (info.isFile() && !info.isSymLink()) {
            QFile file(path);
            if (file.open(QIODevice::ReadOnly))
                hash = QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha1).toHex();
        }
        lines.append(path + u' ' + QString::number(info.size()) + u' '
                     + QString::number(info.lastModified().toMSecsSinceEpoch()) + u' ' + QString::fromLatin1(hash));
    }
    lines.sort();
    return lines.join(u'\n').toUtf8();
}

// A copy of the bundled demo prefix whose drive_c is also a Windows root holding the same registry.
class DemoMachine : public ::testing::Test {
protected:
    void SetUp() override
    {
        REQUIRE_JUDGE(HaveHivexregedit(), "hivexregedit (libwin-hivex-perl)");
        ASSERT_EQ(QProcess::execute(QStringLiteral("cp"), {QStringLiteral("-a"), QStringLiteral(ZANTREL_SOURCE_DIR "/examples/demo-prefix/."),
                                                          dir.path()}),
                  0);
        QString error;
        ASSERT_TRUE(MakeWindowsRootFromPrefix(dir.path(), QStringLiteral("ana"), &error)) << error.toStdString();
    }

    QString root() const { return dir.filePath(QStringLiteral("drive_c")); }

    QTemporaryDir dir;
};

}

// The same machine read as a Wine prefix and as a Windows system's disk gives the same records in
// every verb that reads the registry, and the disk is left as it was.
TEST_F(DemoMachine, EveryVerbAnswersAsOnThePrefix)
{
    const QByteArray before = treeState(root());
    const QList<QStringList> verbs = {{"catalogue"}, {"missing"}, {"libraries"}, {"drift"}, {"tree"}, {"closure"},
                                      {"missing", "--deep"}, {"libraries", "--deep"}, {"graph", "--deep"}};
    int resolved = 0;
    for (const QStringList& verb : verbs) {
        QByteArray prefixOut, prefixErr, rootOut, rootErr;
        const int prefixStatus = RunCli(verb + QStringList{"-r", "c:\\tmp"}, dir.path(), &prefixOut, &prefixErr);
        const int rootStatus = RunCli(verb + QStringList{"-r", "--windows", root(), "c:\\tmp"}, dir.path(), &rootOut, &rootErr);
        EXPECT_EQ(rootStatus, prefixStatus) << verb.join(' ').toStdString() << "\n" << rootErr.constData();
        EXPECT_EQ(rootOut.toStdString(), prefixOut.toStdString()) << verb.join(' ').toStdString() << "\n" << rootErr.constData();
        EXPECT_TRUE(rootErr.contains("reading the Windows system at")) << rootErr.constData();
        EXPECT_TRUE(rootErr.contains("HKEY_CURRENT_USER is user ana's registry, the only profile")) << rootErr.constData();
        resolved += prefixOut.count("C:\\\\");
    }
    EXPECT_GT(resolved, 20) << "the demo's libraries resolve, so the comparison says something";
    EXPECT_EQ(treeState(root()).toStdString(), before.toStdString()) << "nothing under the root is written";
}

// What the program writes goes where the user keeps things, never onto the machine's disk: an
// export asked for inside the root fails, and the settings file is the user's.
TEST_F(DemoMachine, NothingIsWrittenUnderTheRoot)
{
    const QByteArray before = treeState(root());
    QTemporaryDir home;
    QByteArray out, err;
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove(QStringLiteral("WINEPREFIX"));
    environment.insert(QStringLiteral("ZANTREL_WINDOWS"), root());
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), home.filePath(QStringLiteral("config")));
    environment.insert(QStringLiteral("HOME"), home.path());
    process.setProcessEnvironment(environment);

    // No FOLDER: the settings file is read, and its default written, in the user's folder.
    process.start(QStringLiteral(ZANTREL_CLI), {QStringLiteral("tree")});
    ASSERT_TRUE(process.waitForFinished(60000));
    EXPECT_TRUE(QFileInfo(home.filePath(QStringLiteral("config/zantrel/ZANTREL.INI"))).isFile())
        << process.readAllStandardError().constData();

    process.start(QStringLiteral(ZANTREL_CLI), {QStringLiteral("export"), QStringLiteral("-o"), QStringLiteral("c:\\tmp"),
                                                QStringLiteral("c:\\tmp")});
    ASSERT_TRUE(process.waitForFinished(60000));
    EXPECT_EQ(process.exitCode(), 1);
    const QByteArray said = process.readAllStandardError();
    EXPECT_TRUE(said.endsWith("[critical] Error al Exportar archivo\n")) << said.constData();
    EXPECT_FALSE(QFileInfo::exists(root() + QStringLiteral("/tmp/proyectos.xls")));

    process.start(QStringLiteral(ZANTREL_CLI), {QStringLiteral("export"), QStringLiteral("c:\\tmp")});
    ASSERT_TRUE(process.waitForFinished(60000));
    EXPECT_EQ(process.exitCode(), 0) << process.readAllStandardError().constData();
    EXPECT_TRUE(QFileInfo(home.filePath(QStringLiteral("proyectos.xls"))).isFile()) << "the documents folder (here the home)";
    EXPECT_EQ(treeState(root()).toStdString(), before.toStdString());
}

// A root that is no Windows system, or lacks its software hive, or a user it does not have: the
// run stops at once with what was expected where.
TEST_F(DemoMachine, WhatCannotBeReadIsSaidBeforeAnyLoad)
{
    QByteArray out, err;
    QTemporaryDir empty;
    EXPECT_EQ(RunCli({"catalogue", "--windows", empty.path(), "c:\\tmp"}, dir.path(), &out, &err), 1);
    EXPECT_TRUE(err.contains("has no Windows folder")) << err.constData();
    EXPECT_TRUE(out.isEmpty());

    EXPECT_EQ(RunCli({"catalogue", "--windows", root(), "--windows-user", "luis", "c:\\tmp"}, dir.path(), &out, &err), 1);
    EXPECT_TRUE(err.contains("no user profile named luis (the machine's: ana)")) << err.constData();

    EXPECT_EQ(RunCli({"catalogue", "--windows-user", "ana", "c:\\tmp"}, dir.path(), &out, &err), 2);
    EXPECT_TRUE(err.contains("goes with --windows")) << err.constData();
    EXPECT_EQ(RunCli({"catalogue", "--windows", root(), "--drive", "C=/tmp", "c:\\tmp"}, dir.path(), &out, &err), 2);

    ASSERT_TRUE(QFile::remove(root() + QStringLiteral("/windows/system32/config/SOFTWARE")));
    EXPECT_EQ(RunCli({"catalogue", "--windows", root(), "c:\\tmp"}, dir.path(), &out, &err), 1);
    EXPECT_TRUE(err.contains("cannot read the machine's software hive")) << err.constData();
    EXPECT_TRUE(err.contains("config/SOFTWARE")) << err.constData();
}
