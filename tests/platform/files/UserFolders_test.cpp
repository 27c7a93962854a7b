#include "platform/files/UserFolders.h"

#include "platform/files/PathMapper.h"
#include "support_files/TempPrefix.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

// A home folder of its own with an xdg-user-dirs file naming the documents folder, made the
// environment's while it lives.
class FakeHome {
public:
    explicit FakeHome(const QByteArray& documentsLine)
        : oldHome_(qgetenv("HOME")), oldConfig_(qgetenv("XDG_CONFIG_HOME"))
    {
        QDir(home_.path()).mkpath(".config");
        QFile dirs(home_.path() + "/.config/user-dirs.dirs");
        if (dirs.open(QIODevice::WriteOnly))
            dirs.write(documentsLine + "\n");
        qputenv("HOME", home_.path().toUtf8());
        qputenv("XDG_CONFIG_HOME", (home_.path() + "/.config").toUtf8());
    }
    ~FakeHome()
    {
        qputenv("HOME", oldHome_);
        qputenv("XDG_CONFIG_HOME", oldConfig_);
    }
    QString path() const { return home_.path(); }

private:
    QTemporaryDir home_;
    QByteArray oldHome_, oldConfig_;
};

}

TEST(UserFolders, OnlyAFolderThatTakesANewFileIsWritable)
{
    QTemporaryDir dir;
    EXPECT_TRUE(CanWriteInFolder(dir.path()));
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot), QStringList{})
        << "the probe leaves nothing behind";
    EXPECT_FALSE(CanWriteInFolder(dir.path() + "/missing"));
    QFile file(dir.path() + "/file");
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();
    EXPECT_FALSE(CanWriteInFolder(dir.path() + "/file"));
    EXPECT_FALSE(CanWriteInFolder(QString()));
    // Not even root creates files here.
    EXPECT_FALSE(CanWriteInFolder("/proc"));
}

TEST(UserFolders, TheDocumentsFolderComesFromXdgUserDirsElseHome)
{
    {
        FakeHome home("XDG_DOCUMENTS_DIR=\"$HOME/Mis documentos\"");
        ASSERT_TRUE(QDir(home.path()).mkdir("Mis documentos"));
        EXPECT_EQ(DocumentsFolder(), home.path() + "/Mis documentos");
    }
    {
        FakeHome home("XDG_DOCUMENTS_DIR=\"$HOME/No existe\"");
        EXPECT_EQ(DocumentsFolder(), home.path()) << "a named folder that does not exist: the home folder";
    }
    {
        FakeHome home("# no documents folder named");
        EXPECT_EQ(DocumentsFolder(), home.path());
    }
}

TEST(UserFolders, TheOutputFolderIsTheProgramsWhereWritableElseTheDocuments)
{
    TempPrefix prefix;
    prefix.makeFolder("programa");
    EXPECT_EQ(OutputFolderFor(prefix.hostPath("programa")), "C:\\programa") << "a portable copy keeps its own folder";

    FakeHome home("XDG_DOCUMENTS_DIR=\"$HOME/Documentos\"");
    ASSERT_TRUE(QDir(home.path()).mkdir("Documentos"));
    const QString documents = PathMapper::current().toWindows(home.path() + "/Documentos");
    EXPECT_EQ(OutputFolderFor("/proc"), documents);
    EXPECT_EQ(OutputFolderFor(prefix.hostPath("no-existe")), documents);
    EXPECT_EQ(PathMapper::current().toHost(OutputFolderFor("/proc")), home.path() + "/Documentos");
}

TEST(UserFolders, AnInstalledProgramWritesToTheDocumentsEvenWhereItsFolderIsWritable)
{
    TempPrefix prefix;
    FakeHome home("XDG_DOCUMENTS_DIR=\"$HOME/Documentos\"");
    ASSERT_TRUE(QDir(home.path()).mkdir("Documentos"));
    const QString documents = PathMapper::current().toWindows(home.path() + "/Documentos");
    // Every folder below is writable (as /usr/bin is for root): only where it lies decides.
    for (const char* installed : {"usr/bin", "usr/local/bin", "opt/zantrel/bin", "opt/zantrel", "x/usr/lib/zantrel",
                                  "bin", "herramientas/bin"}) {
        SCOPED_TRACE(installed);
        prefix.makeFolder(installed);
        ASSERT_TRUE(CanWriteInFolder(prefix.hostPath(installed)));
        EXPECT_TRUE(IsInstalledProgramFolder(prefix.hostPath(installed)));
        EXPECT_EQ(OutputFolderFor(prefix.hostPath(installed)), documents);
    }
    EXPECT_TRUE(IsInstalledProgramFolder("/usr/bin"));
    EXPECT_TRUE(IsInstalledProgramFolder("/usr/bin/"));
    EXPECT_TRUE(IsInstalledProgramFolder("/usr/local/bin/../bin"));

    // Names that only look alike, a build tree and a portable copy keep their own folder.
    for (const char* own : {"usrx/binario", "opt-tools/app", "src/zantrel/build/dev", "Usr/Bin", "bin/zantrel"}) {
        SCOPED_TRACE(own);
        prefix.makeFolder(own);
        EXPECT_FALSE(IsInstalledProgramFolder(prefix.hostPath(own)));
        EXPECT_EQ(OutputFolderFor(prefix.hostPath(own)), "C:\\" + QString(own).replace('/', '\\'));
    }
    EXPECT_FALSE(IsInstalledProgramFolder(QString()));
}
