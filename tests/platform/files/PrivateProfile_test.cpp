#include "platform/core/AnsiCodePage.h"
#include "platform/files/PrivateProfile.h"
#include "support_files/FileBytes.h"
#include "support_files/NeverEndingFiles.h"
#include "support_files/SmallTmpfs.h"
#include "support_files/TempPrefix.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <gtest/gtest.h>


TEST(PrivateProfile, ASettingsFileThatCannotBeReadIsNeverRewritten)
{
    TempPrefix prefix;
    // Over the reader's size limit: a user's file with three sections.
    QByteArray big = "[general]\r\npath=d:\\proyectos\\\r\n[otra]\r\n";
    big += QByteArray(17 * 1024 * 1024, ';') + "\r\n[ultima]\r\nx=1\r\n";
    prefix.writeFile("windows/ZANTREL.INI", big);
    const QString host = prefix.hostPath("windows/ZANTREL.INI");

    EXPECT_FALSE(PrivateProfile::ReadFailure(QStringLiteral("ZANTREL.INI")).isEmpty());
    EXPECT_EQ(PrivateProfile::GetString("general", "path", "dflt", 255, "ZANTREL.INI"), QStringLiteral("dflt"));
    EXPECT_FALSE(PrivateProfile::WriteString("general", "path", "c:\\tmp\\", "ZANTREL.INI"));
    EXPECT_EQ(QFileInfo(host).size(), big.size()) << "the unreadable file must not be rewritten";

    // One that cannot be opened (a folder in its place stands for any open failure, also as root).
    prefix.makeFolder("windows/OTRO.INI");
    EXPECT_FALSE(PrivateProfile::ReadFailure(QStringLiteral("OTRO.INI")).isEmpty());
    EXPECT_FALSE(PrivateProfile::WriteString("general", "path", "c:\\tmp\\", "OTRO.INI"));

    // A missing file is no failure: it is made.
    EXPECT_TRUE(PrivateProfile::ReadFailure(QStringLiteral("NUEVO.INI")).isEmpty());
    EXPECT_TRUE(PrivateProfile::WriteString("general", "path", "c:\\tmp\\", "NUEVO.INI"));
    EXPECT_EQ(PrivateProfile::GetString("general", "path", "", 255, "NUEVO.INI"), QStringLiteral("c:\\tmp\\"));
}

TEST(PrivateProfile, AFullDiskLeavesTheSettingsFileAsItWas)
{
    SmallTmpfs disk(64);
    REQUIRE_TMPFS(disk);
    const QString path = disk.path() + QStringLiteral("/ZANTREL.INI");
    const QByteArray old = "[general]\r\npath=d:\\proyectos\\\r\n";
    {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly) && file.write(old) == old.size());
    }
    disk.fill();
    EXPECT_FALSE(PrivateProfile::WriteString("general", "path", QString(3000, u'x'), "z:" + path));
    EXPECT_EQ(readAll(path), old);
    EXPECT_EQ(QDir(disk.path()).entryList(QDir::Files | QDir::Hidden, QDir::Name),
              (QStringList{"ZANTREL.INI", "filler"})) << "no temporary file is left";
}

TEST(PrivateProfile, ContentsInMemoryReadAndRewriteAsTheFileDoes)
{
    TempPrefix prefix;
    const QByteArray samples[] = {
        QByteArray(),
        QByteArray("[General]\r\n path = \"d:\\a\\\" \r\n[otra]\r\nx=1\r\n"),
        QByteArray("; comentario\n[otra]\rx='2'\n[general]\npath\n[general]\npath=z\n"),
        QByteArray("[general\r\nruta=a\xf1o\r\n\r\n\r\n"),
    };
    for (const QByteArray& bytes : samples) {
        prefix.writeFile("windows/T.INI", bytes);
        for (const char* key : {"path", "x", "ruta"})
            for (const char* section : {"general", "otra"})
                EXPECT_EQ(PrivateProfile::GetStringFromText(bytes, section, key, "dflt", 255),
                          PrivateProfile::GetString(section, key, "dflt", 255, "T.INI"))
                    << bytes.constData() << section << key;
        ASSERT_TRUE(PrivateProfile::WriteString("general", "path", "c:\\tmp\\", "T.INI"));
        EXPECT_EQ(PrivateProfile::WriteStringToText(bytes, "general", "path", "c:\\tmp\\"),
                  readAll(prefix.hostPath("windows/T.INI")));
    }
}

TEST(PrivateProfile, ALinkAtTheSettingsFileIsNotFollowedAndItsTargetNeverCopied)
{
    TempPrefix prefix;
    const QString secret = prefix.hostPath("secreto.txt");
    writeAll(secret, "[general]\r\npath=d:\\privado\\\r\nclave=1234\r\n");
    ASSERT_TRUE(QFile::setPermissions(secret, QFileDevice::ReadOwner | QFileDevice::WriteOwner));
    prefix.makeFolder("windows");
    const QString host = prefix.hostPath("windows/ZANTREL.INI");
    ASSERT_TRUE(QFile::link(secret, host));

    EXPECT_EQ(PrivateProfile::IgnoredLink("ZANTREL.INI"), host) << "the link is said, naming the file";
    EXPECT_TRUE(PrivateProfile::ReadFailure("ZANTREL.INI").isEmpty()) << "it reads as no file, not as a failure";
    EXPECT_EQ(PrivateProfile::GetString("general", "path", "dflt", 255, "ZANTREL.INI"), QStringLiteral("dflt"))
        << "the link's target was read";

    const mode_t old = ::umask(022);
    const bool written = PrivateProfile::WriteString("general", "path", "c:\\tmp\\", "ZANTREL.INI");
    ::umask(old);
    ASSERT_TRUE(written);
    EXPECT_FALSE(QFileInfo(host).isSymLink()) << "the link is replaced";
    EXPECT_EQ(readAll(host), "[general]\r\npath=c:\\tmp\\\r\n") << "nothing of the target is copied";
    EXPECT_EQ(readAll(secret), "[general]\r\npath=d:\\privado\\\r\nclave=1234\r\n");
    EXPECT_TRUE(PrivateProfile::IgnoredLink("ZANTREL.INI").isEmpty());

    // A link to an endless device reads as no file too, and costs nothing.
    const QString other = prefix.hostPath("windows/OTRO.INI");
    ASSERT_TRUE(QFile::link(QStringLiteral("/dev/zero"), other));
    EXPECT_EQ(PrivateProfile::GetString("general", "path", "dflt", 255, "OTRO.INI"), QStringLiteral("dflt"));
}

TEST(PrivateProfile, ASettingsFileThatNeverEndsNeitherBlocksNorIsRewritten)
{
    TempPrefix prefix;
    prefix.makeFolder("windows");
    const QString host = prefix.hostPath("windows/ZANTREL.INI");
    ASSERT_TRUE(makeFifo(host));

    QString value, failure;
    EXPECT_TRUE(returnsWithin([&] { value = PrivateProfile::GetString("general", "path", "dflt", 255, "ZANTREL.INI"); },
                              host))
        << "the read waited on the FIFO";
    EXPECT_EQ(value, QStringLiteral("dflt"));
    EXPECT_TRUE(returnsWithin([&] { failure = PrivateProfile::ReadFailure("ZANTREL.INI"); }, host));
    EXPECT_TRUE(failure.startsWith(host + ": ")) << failure.toStdString();
    bool written = true;
    EXPECT_TRUE(returnsWithin([&] { written = PrivateProfile::WriteString("general", "path", "x", "ZANTREL.INI"); },
                              host));
    EXPECT_FALSE(written) << "what cannot be read is never rewritten";
    EXPECT_FALSE(QFileInfo(host).isFile());
}

// In a double-byte page a value is written in the page's bytes and read back, and a rewrite
// keeps every other line's bytes, even those the page cannot read (a character cut short).
TEST(PrivateProfile, ARewriteInADoubleBytePageKeepsTheBytesOfEveryOtherLine)
{
    AnsiCodePage::use(936);
    const QByteArray text = "[otra]\r\nx=\xb9\xa4\xb3\xcc\xb9\r\n[general]\r\npath=c:\\old\\\r\n;\x81\x30\xff\xfe\r\n";
    const QString value = QString::fromUtf8("c:\\工程\\");
    const QByteArray written = PrivateProfile::WriteStringToText(text, "general", "path", value);
    EXPECT_EQ(written, QByteArray("[otra]\r\nx=\xb9\xa4\xb3\xcc\xb9\r\n[general]\r\npath=c:\\\xb9\xa4\xb3\xcc\\\r\n;\x81\x30\xff\xfe\r\n"));
    EXPECT_EQ(PrivateProfile::GetStringFromText(written, "general", "path", QString(), 255), value);
    EXPECT_EQ(PrivateProfile::GetStringFromText(written, "otra", "x", QString(), 255), QString::fromUtf8("工程\uFFFD"));
    AnsiCodePage::use(AnsiCodePage::kWestern);
}
