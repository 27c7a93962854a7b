#include "platform/files/RegularFile.h"

#include <QFile>
#include <QTemporaryDir>
#include <cerrno>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

TEST(RegularFile, OnlyARegularFileIsOpenedAndNothingElseBlocksOrOpens)
{
    QTemporaryDir dir;
    const QString file = dir.filePath("a.vbp");
    {
        QFile f(file);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("Type=Exe\r\n");
    }
    OpenedFile opened = OpenRegularFile(file);
    ASSERT_GE(opened.fd, 0);
    EXPECT_EQ(opened.status.st_size, 10);
    ::close(opened.fd);

    opened = OpenRegularFile(dir.filePath("missing.vbp"));
    EXPECT_EQ(opened.fd, -1);
    EXPECT_EQ(opened.error, ENOENT) << "a missing name keeps its own error, so callers can look for it ignoring case";
    EXPECT_FALSE(opened.notRegular);

    opened = OpenRegularFile(dir.path());
    EXPECT_EQ(opened.fd, -1);
    EXPECT_TRUE(opened.notRegular);

    const QString fifo = dir.filePath("pipe.vbp");
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    opened = OpenRegularFile(fifo); // would block forever if it were opened for reading
    EXPECT_EQ(opened.fd, -1);
    EXPECT_TRUE(opened.notRegular);
    EXPECT_EQ(opened.error, EACCES);

    opened = OpenRegularFile(QStringLiteral("/dev/null"));
    EXPECT_EQ(opened.fd, -1) << "a device is never opened";
    EXPECT_TRUE(opened.notRegular);

    opened = OpenRegularFile(QString());
    EXPECT_EQ(opened.fd, -1);
}

TEST(RegularFile, AWholeFileIsReadUpToItsBoundWithoutTrustingItsStatedSize)
{
    QTemporaryDir dir;
    const QString file = dir.filePath("ZANTREL.INI");
    {
        QFile f(file);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("0123456789");
    }
    FileContents read = ReadRegularFile(file, 10, FollowLinks::No);
    ASSERT_TRUE(read.ok()) << read.reason().toStdString();
    EXPECT_EQ(read.bytes, "0123456789");

    read = ReadRegularFile(file, 9, FollowLinks::No);
    EXPECT_FALSE(read.ok());
    EXPECT_TRUE(read.tooLarge);
    EXPECT_TRUE(read.bytes.isEmpty());
    EXPECT_EQ(read.reason(), QStringLiteral("larger than 9 bytes"));

    read = ReadRegularFile(file, 4, FollowLinks::No, PastTheBound::KeepHead);
    ASSERT_TRUE(read.ok());
    EXPECT_EQ(read.bytes, "0123");

    // A regular file that says it is empty and is not: the bound holds all the same.
    read = ReadRegularFile(QStringLiteral("/proc/self/maps"), 16, FollowLinks::Yes);
    EXPECT_TRUE(read.tooLarge);

    // The descriptor handed out blocks as usual again: only the open was made without blocking.
    const OpenedFile opened = OpenRegularFile(file, FollowLinks::No);
    ASSERT_GE(opened.fd, 0);
    EXPECT_EQ(::fcntl(opened.fd, F_GETFL) & O_NONBLOCK, 0);
    ::close(opened.fd);
}

TEST(RegularFile, ALinkIsFollowedOnlyWhenAsked)
{
    QTemporaryDir dir;
    const QString target = dir.filePath("secreto.txt");
    {
        QFile f(target);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("privado");
    }
    const QString link = dir.filePath("ZANTREL.INI");
    ASSERT_TRUE(QFile::link(target, link));

    FileContents read = ReadRegularFile(link, 100, FollowLinks::No);
    EXPECT_FALSE(read.ok());
    EXPECT_TRUE(read.link);
    EXPECT_FALSE(read.missing);
    EXPECT_TRUE(read.bytes.isEmpty());
    EXPECT_EQ(read.reason(), QStringLiteral("a symbolic link, not followed"));
    EXPECT_EQ(OpenRegularFile(link, FollowLinks::No).fd, -1);

    read = ReadRegularFile(link, 100, FollowLinks::Yes);
    ASSERT_TRUE(read.ok());
    EXPECT_EQ(read.bytes, "privado");

    // A link to an endless device is refused either way, and a FIFO never blocks.
    const QString zero = dir.filePath("zero");
    ASSERT_TRUE(QFile::link(QStringLiteral("/dev/zero"), zero));
    EXPECT_TRUE(ReadRegularFile(zero, 100, FollowLinks::Yes).notRegular);
    EXPECT_TRUE(ReadRegularFile(zero, 100, FollowLinks::No).link);
    const QString fifo = dir.filePath("fifo");
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    EXPECT_TRUE(ReadRegularFile(fifo, 100, FollowLinks::No).notRegular);
    EXPECT_TRUE(ReadRegularFile(dir.filePath("nada"), 100, FollowLinks::No).missing);
}
