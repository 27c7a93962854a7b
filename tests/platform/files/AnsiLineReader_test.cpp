#include "platform/core/ProgramError.h"
#include "platform/files/AnsiLineReader.h"
#include "platform/files/HostNames.h"
#include "support_files/TempPrefix.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

namespace {

QStringList readAll(const QString& windowsPath)
{
    AnsiLineReader reader(windowsPath);
    QStringList lines;
    QString line;
    while (reader.readLine(line))
        lines.append(line);
    return lines;
}

int openError(const QString& windowsPath)
{
    try {
        AnsiLineReader reader(windowsPath);
    } catch (const ProgramError& error) {
        return error.Number;
    }
    return 0;
}

}

TEST(AnsiLineReader, AcceptsEveryLineEndAndALastLineWithoutOne)
{
    TempPrefix prefix;
    prefix.writeFile("tmp/mixed.vbp", QByteArray("uno\r\ndos\nTres\rcuatro\r\n\r\nseis"));
    EXPECT_EQ(readAll("c:\\tmp\\mixed.vbp"), (QStringList{"uno", "dos", "Tres", "cuatro", "", "seis"}));
    prefix.writeFile("tmp/empty.vbp", QByteArray());
    EXPECT_TRUE(readAll("c:\\tmp\\empty.vbp").isEmpty());
    prefix.writeFile("tmp/one.vbp", QByteArray("\r\n"));
    EXPECT_EQ(readAll("c:\\tmp\\one.vbp"), QStringList{""});
}

TEST(AnsiLineReader, DecodesWindows1252AndKeepsNulBytes)
{
    TempPrefix prefix;
    prefix.writeFile("tmp/a.vbp", QByteArray("Name=\"N\xf3mina \x80\x99\"\r\nx\0y\r\n", 23));
    const QStringList lines = readAll("c:\\tmp\\a.vbp");
    ASSERT_EQ(lines.size(), 2);
    EXPECT_EQ(lines[0], QString::fromUtf8("Name=\"Nómina €™\""));
    EXPECT_EQ(lines[1], QString::fromUtf16(u"x\0y", 3));
}

TEST(AnsiLineReader, ACrLfSplitAcrossReadChunksIsOneLineEnd)
{
    TempPrefix prefix;
    // Puts the CR as the last byte of the first 64 KiB chunk and the LF as the first of the next.
    QByteArray bytes(64 * 1024 - 1, 'a');
    bytes += "\r\nnext\r\n";
    prefix.writeFile("tmp/big.vbp", bytes);
    const QStringList lines = readAll("c:\\tmp\\big.vbp");
    ASSERT_EQ(lines.size(), 2);
    EXPECT_EQ(lines[0].size(), 64 * 1024 - 1);
    EXPECT_EQ(lines[1], "next");
}

TEST(AnsiLineReader, ReadsAMegabyteLine)
{
    TempPrefix prefix;
    prefix.writeFile("tmp/long.vbp", QByteArray(1024 * 1024, 'x') + "\nTail");
    const QStringList lines = readAll("c:\\tmp\\long.vbp");
    ASSERT_EQ(lines.size(), 2);
    EXPECT_EQ(lines[0].size(), 1024 * 1024);
}

TEST(AnsiLineReader, OpeningFailuresCarryWindowsErrorNumbers)
{
    TempPrefix prefix;
    prefix.makeFolder("tmp/folder.vbp");
    EXPECT_EQ(openError("c:\\tmp\\missing.vbp"), ErrorNumbers::FileNotFound);
    EXPECT_EQ(openError("c:\\nowhere\\missing.vbp"), ErrorNumbers::PathNotFound);
    EXPECT_EQ(openError("c:\\tmp\\folder.vbp"), ErrorNumbers::PathFileAccessError);
    EXPECT_EQ(openError("q:\\x.vbp"), ErrorNumbers::PathNotFound) << "an unknown drive";

    // A folder whose name is not valid text is found as itself; a NUL names nothing.
    ASSERT_EQ(::mkdir((HostNames::encode(prefix.hostPath("tmp")) + "/X\xff").constData(), 0755), 0);
    EXPECT_EQ(openError("c:\\tmp\\" + HostNames::decode("X\xff") + "\\missing.vbp"), ErrorNumbers::FileNotFound);
    EXPECT_EQ(openError("c:\\tmp\\a" + QString(QChar(u'\0')) + "\\b.vbp"), ErrorNumbers::PathNotFound);
}

TEST(AnsiLineReader, ContentsInMemoryReadAsTheSameFile)
{
    TempPrefix prefix;
    QByteArray split(64 * 1024 - 1, 'a');
    split += "\r\nnext\r";
    const QByteArray samples[] = {QByteArray("uno\r\ndos\nTres\rcuatro\r\n\r\nseis"), QByteArray(),
                                  QByteArray("\r"), QByteArray("x\0y\r\n\x80\r\r\n", 9), split};
    for (const QByteArray& bytes : samples) {
        prefix.writeFile("tmp/s.vbp", bytes);
        AnsiLineReader reader(AnsiLineReader::InMemory{}, bytes.toStdString());
        QStringList lines;
        QString line;
        while (reader.readLine(line))
            lines.append(line);
        EXPECT_EQ(lines, readAll("c:\\tmp\\s.vbp")) << bytes.left(40).toHex().constData();
    }
}
