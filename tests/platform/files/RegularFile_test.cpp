#include "platform/files/RegularFile.h"

#include <QFile>
#include <QTemporaryDir>
#include <cerrno>
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
