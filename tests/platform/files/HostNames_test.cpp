#include "platform/files/HostNames.h"

#include <QSet>
#include <gtest/gtest.h>

TEST(HostNames, EveryByteStringRoundTripsAndDistinctBytesStayDistinct)
{
    const QByteArray names[] = {"X\xffY.vbp", "X\xfeY.vbp", "X\xef\xbf\xbdY.vbp", "caf\xc3\xa9", "caf\xe9",
                                "\xed\xa0\x80 surrogate", "\xc0\xaf overlong", "\xf4\x90\x80\x80 too high",
                                "\xf0\x9f\x98\x80 emoji", "cut \xe2\x82", ""};
    QStringList decoded;
    for (const QByteArray& bytes : names) {
        const QString name = HostNames::decode(bytes);
        EXPECT_EQ(HostNames::encode(name), bytes) << bytes.toHex().constData();
        decoded.append(name);
    }
    EXPECT_EQ(QSet<QString>(decoded.begin(), decoded.end()).size(), decoded.size()) << "no two names read as one";

    EXPECT_EQ(HostNames::decode("caf\xc3\xa9"), QString::fromUtf8("café")) << "valid text is read as text";
    EXPECT_EQ(HostNames::decode("X\xef\xbf\xbdY"), QString::fromUtf8("X\uFFFDY"));
    EXPECT_FALSE(HostNames::hasRawBytes(HostNames::decode("X\xef\xbf\xbdY")));
    EXPECT_EQ(HostNames::displayed(HostNames::decode("X\xffY.vbp")), QStringLiteral("X\\xFFY.vbp"));
    EXPECT_EQ(HostNames::displayed(QStringLiteral("plain")), QStringLiteral("plain"));
}
