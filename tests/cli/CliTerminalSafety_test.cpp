// What zantrel-cli prints when project files and their names hold control characters: no byte
// that a terminal would take as a command reaches standard output, in any form.
#include "support_files/TempPrefix.h"

#include <gtest/gtest.h>

namespace {

// A C0 or C1 control character (as UTF-8: C1 is C2 80..C2 9F) or DEL, other than the tab and
// line end the form itself writes between fields and records.
bool holdsControl(const QByteArray& bytes)
{
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(bytes[i]);
        if ((c < 0x20 && c != '\t' && c != '\n' && c != '\r') || c == 0x7f)
            return true;
        if (c == 0xc2 && i + 1 < bytes.size() && static_cast<unsigned char>(bytes[i + 1]) >= 0x80
            && static_cast<unsigned char>(bytes[i + 1]) <= 0x9f)
            return true;
    }
    return false;
}

}

TEST(CliTerminalSafety, ControlCharactersFromProjectFilesAreEscapedInEveryOutput)
{
    TempPrefix prefix;
    // A Name that would retitle the terminal and ring its bell, and a file name holding the C1
    // control CSI (U+009B) that would clear the screen.
    prefix.writeFile("tmp/x\xc2\x9b" "2J.vbp", "Type=Exe\r\nName=\"\x1b]0;pwned\x07\x1b[2J\"\r\n"
                                               "Reference=*\\G{00020430-0000-0000-C000-000000000046}#2.0#0#"
                                               "C:\\x\x1b.tlb#OLE\x1b[31m\r\n");
    const QList<QStringList> runs{{"tree", "c:\\tmp\\"},
                                  {"catalogue", "c:\\tmp\\"},
                                  {"catalogue", "--format", "csv", "c:\\tmp\\"},
                                  {"catalogue", "--format", "json", "c:\\tmp\\"},
                                  {"missing", "c:\\tmp\\"},
                                  {"missing", "--format", "csv", "c:\\tmp\\"},
                                  {"missing", "--format", "json", "c:\\tmp\\"},
                                  {"graph", "c:\\tmp\\"}};
    for (const QStringList& arguments : runs) {
        QByteArray out, err;
        const int status = RunCli(arguments, prefix.root(), &out, &err);
        EXPECT_TRUE(status == 0 || status == 3) << arguments.join(' ').toStdString() << ": " << err.constData();
        EXPECT_FALSE(out.isEmpty()) << arguments.join(' ').toStdString();
        EXPECT_FALSE(holdsControl(out)) << arguments.join(' ').toStdString() << ":\n" << out.constData();
    }

    QByteArray out, err;
    ASSERT_EQ(RunCli({"catalogue", "c:\\tmp\\"}, prefix.root(), &out, &err), 0);
    EXPECT_TRUE(out.contains("\t\\x1B]0;pwned\\x07\\x1B[2J\t")) << out.constData();
    EXPECT_TRUE(out.contains("x\\x9B2J.vbp")) << out.constData();
    ASSERT_EQ(RunCli({"catalogue", "--format", "csv", "c:\\tmp\\"}, prefix.root(), &out, &err), 0);
    EXPECT_TRUE(out.contains(",\"\\x1B]0;pwned\\x07\\x1B[2J\",")) << out.constData();
    ASSERT_EQ(RunCli({"tree", "c:\\tmp\\"}, prefix.root(), &out, &err), 0);
    EXPECT_TRUE(out.contains("\\x1B]0;pwned\\x07\\x1B[2J (x\\x9B2J.vbp)")) << out.constData();
}
