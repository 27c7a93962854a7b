#include "platform/core/ProgramError.h"
#include "platform/files/AtomicFile.h"
#include "support_files/FileBytes.h"
#include "support_files/SmallTmpfs.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <gtest/gtest.h>

namespace {


// The folder's entries other than the filler of a full disk.
QStringList entries(const QString& folder)
{
    QStringList names = QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name);
    names.removeAll(QStringLiteral("filler"));
    return names;
}

}

TEST(AtomicFile, AFullDiskKeepsTheOldFileRemovesTheTemporaryAndSaysWhy)
{
    SmallTmpfs disk(64);
    REQUIRE_TMPFS(disk);
    const QString path = disk.path() + QStringLiteral("/good.xls");
    writeAll(path, QByteArray(3000, 'g'));
    disk.fill();

    // A small file, which a buffered writer would only try to write at its final flush.
    AtomicFile::Failure failure;
    EXPECT_FALSE(AtomicFile::writeFile(path, QByteArray(5000, 'n'), AtomicFile::Links::ReplaceLink, &failure));
    EXPECT_EQ(failure.number, ENOSPC);
    EXPECT_FALSE(failure.description.isEmpty());
    EXPECT_EQ(readAll(path), QByteArray(3000, 'g')) << "the good file must stay whole";
    EXPECT_EQ(entries(disk.path()), QStringList{QStringLiteral("good.xls")}) << "no temporary file is left";

    try {
        RaiseWriteFailure(failure);
        ADD_FAILURE() << "a failure must raise";
    } catch (const ProgramError& error) {
        EXPECT_EQ(error.Number, ErrorNumbers::DiskFull);
        EXPECT_TRUE(error.Description.startsWith(QStringLiteral("Disk full (")));
        EXPECT_TRUE(error.Description.contains(failure.description));
    }
}

TEST(AtomicFile, TheProgramsOwnNamesReplaceALinkAndAUsersNameWritesItsTarget)
{
    QTemporaryDir dir;
    const QString victim = dir.filePath(QStringLiteral("victim.txt"));
    writeAll(victim, "nobody named me");
    const QString link = dir.filePath(QStringLiteral("proyectos.xls"));
    ASSERT_TRUE(QFile::link(victim, link));

    ASSERT_TRUE(AtomicFile::writeFile(link, "workbook", AtomicFile::Links::ReplaceLink));
    EXPECT_EQ(readAll(victim), "nobody named me") << "a link at the program's own name is never written through";
    EXPECT_FALSE(QFileInfo(link).isSymLink());
    EXPECT_EQ(readAll(link), "workbook");

    const QString named = dir.filePath(QStringLiteral("informe.rtf"));
    ASSERT_TRUE(QFile::link(victim, named));
    ASSERT_TRUE(QFile::setPermissions(victim, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup));
    ASSERT_TRUE(AtomicFile::writeFile(named, "report", AtomicFile::Links::WriteTarget));
    EXPECT_TRUE(QFileInfo(named).isSymLink()) << "the user's link stays a link";
    EXPECT_EQ(readAll(victim), "report");
    EXPECT_EQ(QFile::permissions(victim) & (QFile::ReadGroup | QFile::ReadOther), QFile::ReadGroup)
        << "the replaced file keeps its permissions";
    EXPECT_EQ(entries(dir.path()), (QStringList{"informe.rtf", "proyectos.xls", "victim.txt"}));
}

TEST(AtomicFile, AMissingFolderOrANulInTheNameFailsWithoutCreatingAnything)
{
    QTemporaryDir dir;
    AtomicFile::Failure failure;
    EXPECT_FALSE(AtomicFile::writeFile(dir.filePath(QStringLiteral("no/such/file")), "x",
                                       AtomicFile::Links::ReplaceLink, &failure));
    EXPECT_EQ(failure.number, ENOENT);
    EXPECT_TRUE(QDir(dir.path()).isEmpty());

    // The system would read "a<NUL>b" cut short and write "a", a file nobody named.
    EXPECT_FALSE(AtomicFile::writeFile(dir.filePath(QStringLiteral("a")) + QChar(u'\0') + QStringLiteral("b"), "x",
                                       AtomicFile::Links::ReplaceLink, &failure));
    EXPECT_EQ(failure.number, EINVAL);
    EXPECT_TRUE(QDir(dir.path()).isEmpty());
}

TEST(AtomicFile, TemporaryFilesAKilledRunLeftAreRemovedAtTheNextWriteAndNothingElse)
{
    QTemporaryDir dir;
    const auto make = [&](const QString& name, bool old) {
        writeAll(dir.filePath(name), "a medio escribir");
        if (old) {
            const struct timespec times[2] = {{1000000000, 0}, {1000000000, 0}};
            ASSERT_EQ(::utimensat(AT_FDCWD, QFile::encodeName(dir.filePath(name)).constData(), times, 0), 0);
        }
    };
    make(".proyectos.xls.3k9z0q1.tmp", true);       // ours, left by a killed run
    make(".proyectos.xls.77.tmp", false);           // ours, but written since this run started
    make(".proyectos.xls.NO-ES.tmp", true);         // not a name we give
    make(".otro.xls.3k9z0q1.tmp", true);            // another file's, left for its own next write
    make("proyectos.xls.3k9z0q1.tmp", true);        // not hidden: not ours
    ASSERT_TRUE(QFile::link(dir.filePath("proyectos.xls.3k9z0q1.tmp"), dir.filePath(".proyectos.xls.abc.tmp")));

    ASSERT_TRUE(AtomicFile::writeFile(dir.filePath("proyectos.xls"), "nuevo", AtomicFile::Links::ReplaceLink));
    EXPECT_EQ(entries(dir.path()),
              (QStringList{".otro.xls.3k9z0q1.tmp", ".proyectos.xls.77.tmp", ".proyectos.xls.NO-ES.tmp",
                           ".proyectos.xls.abc.tmp", "proyectos.xls", "proyectos.xls.3k9z0q1.tmp"}));
}

TEST(AtomicFile, AReplacedFileKeepsItsModeAndANewOneFollowsTheUmask)
{
    QTemporaryDir dir;
    const QString file = dir.filePath("proyectos.log");
    writeAll(file, "viejo");
    ASSERT_EQ(::chmod(QFile::encodeName(file).constData(), 0600), 0);
    const mode_t old = ::umask(022);
    ASSERT_TRUE(AtomicFile::writeFile(file, "nuevo", AtomicFile::Links::ReplaceLink));
    struct stat status {};
    ASSERT_EQ(::stat(QFile::encodeName(file).constData(), &status), 0);
    EXPECT_EQ(status.st_mode & 07777, 0600u);

    ::umask(077);
    const QString fresh = dir.filePath("nuevo.log");
    const bool written = AtomicFile::writeFile(fresh, "nuevo", AtomicFile::Links::ReplaceLink);
    ::umask(old);
    ASSERT_TRUE(written);
    ASSERT_EQ(::stat(QFile::encodeName(fresh).constData(), &status), 0);
    EXPECT_EQ(status.st_mode & 07777, 0600u);
}
