#include "platform/core/ProgramError.h"
#include "platform/desktop/MessageBoxes.h"
#include "platform/desktop/ShellExecute.h"
#include "support/mShell.h"
#include "support_files/RecordingBrowser.h"
#include "support_files/TempPrefix.h"
#include "support_files/TestApplication.h"

#include <QFile>
#include <gtest/gtest.h>
#include <optional>

namespace {

constexpr int DefaultBase = -2147220456; // &H80040418

// ShellOpen and OpenDocument over the real xdg-open, a temporary prefix and a recording browser,
// with every shell call and message box written down.
class ShellOpenTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(RecordingBrowser::openerInstalled()) << "xdg-open is missing: tools/install-deps test";
        TestApplication(); // the program's name, for the source and the boxes' title
        prefix.writeFile("docs/Informe.zzq", "informe");
        prefix.writeFile("programas/Setup.Exe", "MZ");
        WatchShellExecute([this](const ShellExecuteCall& call) { calls.append(call); });
    }
    void TearDown() override { WatchShellExecute({}); }

    // The error ShellOpen raised, or nothing when it returned true.
    std::optional<ProgramError> shellOpen(const QString& file, int show = 10, const QString& parameters = QString(),
                                          const QString& folder = QString())
    {
        try {
            EXPECT_TRUE(ShellOpen(file, show, parameters, folder, "open", nullptr));
            return std::nullopt;
        } catch (const ProgramError& error) {
            return error;
        }
    }

    TempPrefix prefix;
    RecordingBrowser browser;
    ScriptedMessageBoxes messages;
    QList<ShellExecuteCall> calls;
};

}

TEST_F(ShellOpenTest, TheShowCodeIsNormalWithoutFolderOrParametersAndHiddenForAProgram)
{
    EXPECT_FALSE(shellOpen("https://example.org/setup.exe", 10)) << "a link: show code 1, whatever was asked";
    EXPECT_FALSE(shellOpen("Setup.Exe", 10, QString(), "c:\\programas")) << "\".EXE\" in any letter case";
    EXPECT_FALSE(shellOpen("c:\\programas\\setup.exe", 3, "/quiet"));
    EXPECT_FALSE(shellOpen("Informe.zzq", 10, QString(), "c:\\docs"));
    QList<int> shown;
    for (const ShellExecuteCall& call : calls)
        shown.append(call.showCommand);
    EXPECT_EQ(shown, QList<int>({WinApi::SW_SHOWNORMAL, WinApi::SW_HIDE, WinApi::SW_HIDE, 10}));
    EXPECT_TRUE(calls[0].parameters.isEmpty() && calls[0].directory.isEmpty());
    EXPECT_EQ(calls[1].directory, "c:\\programas");
    EXPECT_EQ(calls[2].parameters, "/quiet");
    EXPECT_EQ(browser.opened(), QStringList({"https://example.org/setup.exe", prefix.hostPath("programas/Setup.Exe"),
                                             prefix.hostPath("programas/Setup.Exe"), prefix.hostPath("docs/Informe.zzq")}));
}

TEST_F(ShellOpenTest, EachFailureOfTheOpenerRaisesItsNumberAndText)
{
    const auto expectError = [this](const QString& file, int number, const QString& description) {
        const std::optional<ProgramError> error = shellOpen(file);
        ASSERT_TRUE(error) << file.toStdString();
        EXPECT_EQ(error->Number, number) << file.toStdString();
        EXPECT_EQ(error->Description, description) << file.toStdString();
        EXPECT_EQ(error->Source, "zantrel.GShell") << file.toStdString();
    };
    expectError("c:\\docs\\Falta.zzq", 53, "File not found");
    expectError("c:\\no\\existe\\Falta.zzq", 76, "Path not found");

    browser.behave(1);
    std::optional<ProgramError> error = shellOpen("https://example.org/");
    ASSERT_TRUE(error) << "a browser that fails: no application";
    EXPECT_EQ(error->Number, DefaultBase + 31);
    EXPECT_EQ(error->Description, "No application is associated with this file type.");

    qputenv("XDG_CURRENT_DESKTOP", "KDE");
    qputenv("KDE_SESSION_VERSION", "5");
    error = shellOpen("https://example.org/");
    qunsetenv("XDG_CURRENT_DESKTOP");
    qunsetenv("KDE_SESSION_VERSION");
    ASSERT_TRUE(error) << "a desktop opener that is missing fails the operation";
    EXPECT_EQ(error->Number, DefaultBase + 4);
    EXPECT_EQ(error->Description, "An error occurred occurred whilst trying to open or print the selected file.");

    const QByteArray path = qgetenv("PATH");
    qputenv("PATH", browser.folder().toLocal8Bit());
    error = shellOpen("https://example.org/");
    qputenv("PATH", path);
    ASSERT_TRUE(error) << "no xdg-open";
    EXPECT_EQ(error->Number, 48);
    EXPECT_EQ(error->Description, "The specified dynamic-link library was not found.");
}

// Results no opener gives here; the two blanks between sentences are part of the texts.
TEST(ShellFailureTable, TimeOutAndBusyTextsKeepTheirTwoBlanks)
{
    EXPECT_EQ(ShellFailure(28).Number, 286);
    EXPECT_EQ(ShellFailure(28).Description, "The file could not be opened due to time out.  Please try again in a moment.");
    EXPECT_EQ(ShellFailure(29).Description,
              "The file could not be opened because the DDE transaction failed.  Please try again in a moment.");
    EXPECT_EQ(ShellFailure(30).Number, 285);
    EXPECT_EQ(ShellFailure(30).Description,
              "The file could not be opened because the target application is busy.  Please try again in a moment.");
    EXPECT_EQ(ShellFailure(27).Number, DefaultBase + 27);
}

TEST_F(ShellOpenTest, OpenDocumentShowsTheFailureAndAbsorbsIt)
{
    OpenDocument("https://example.org/ok", nullptr);
    EXPECT_TRUE(messages.shown().isEmpty()) << "success shows nothing";
    ASSERT_EQ(calls.size(), 1);
    EXPECT_EQ(calls[0].operation, "open");

    browser.behave(1);
    OpenDocument("https://example.org/falla", nullptr);
    OpenDocument("c:\\docs\\Falta.zzq", nullptr);
    ASSERT_EQ(messages.shown().size(), 2);
    EXPECT_EQ(messages.shown()[0].text, "Sorry, I failed to open 'https://example.org/falla' due to an error.\r\n\r\n"
                                        "[No application is associated with this file type.]");
    EXPECT_EQ(messages.shown()[0].iconName(), "exclamation");
    EXPECT_EQ(messages.shown()[0].title, "Zantrel");
    EXPECT_EQ(messages.shown()[1].text, "Sorry, I failed to open 'c:\\docs\\Falta.zzq' due to an error.\r\n\r\n"
                                        "[File not found]");
}
