#include "platform/files/ByteSource.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

// The file source reads through a small cache of 4 KB blocks: reads across block edges, at
// the short last block and after many other blocks must still give the file's own bytes.
TEST(HostFileSource, ReadsAcrossBlocksGiveTheFilesBytes)
{
    QTemporaryDir dir;
    QByteArray bytes(3 * 4096 + 100, '\0');
    for (qsizetype i = 0; i < bytes.size(); ++i)
        bytes[i] = char((i * 7 + i / 4096) & 0xff);
    QFile file(dir.filePath(QStringLiteral("data.bin")));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
    file.close();

    const HostFileSource source(file.fileName());
    ASSERT_TRUE(source.isOpen());
    ASSERT_EQ(source.size(), std::uint64_t(bytes.size()));
    const std::pair<qsizetype, qsizetype> ranges[] = {
        {4090, 12}, {0, 3 * 4096 + 100}, {3 * 4096 + 90, 10}, {8191, 1}, {100, 4096}, {5, 0}, {4096, 8192},
    };
    for (int pass = 0; pass < 2; ++pass) {
        for (const auto& [offset, length] : ranges) {
            QByteArray out(length, '?');
            ASSERT_TRUE(source.read(std::uint64_t(offset), out.data(), std::size_t(length))) << offset;
            EXPECT_EQ(out, bytes.mid(offset, length)) << offset << "+" << length;
        }
    }
    char c;
    EXPECT_FALSE(source.read(std::uint64_t(bytes.size()), &c, 1));
    EXPECT_FALSE(source.read(std::uint64_t(bytes.size()) - 1, &c, 2));
    EXPECT_FALSE(source.read(~std::uint64_t(0), &c, 1)) << "no overflow past the end";
}

TEST(SubSource, AWindowNeverReadsOutsideItselfEvenWhenDeclaredLarger)
{
    const std::string_view bytes = "0123456789";
    const MemorySource outer(bytes);
    const SubSource window(outer, 4, 1000);
    EXPECT_EQ(window.size(), 6u);
    char out[6];
    ASSERT_TRUE(window.read(0, out, 6));
    EXPECT_EQ(std::string_view(out, 6), "456789");
    EXPECT_FALSE(window.read(1, out, 6));
    EXPECT_EQ(SubSource(outer, 50, 10).size(), 0u);
}
