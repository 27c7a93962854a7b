#include "platform/desktop/ShellExecute.h"
#include "support_files/RecordingBrowser.h"
#include "support_files/TempPrefix.h"

#include <QDir>
#include <QDeadlineTimer>
#include <QFile>
#include <QThread>
#include <gtest/gtest.h>

using namespace WinApi;

namespace {

// The real xdg-open over a temporary prefix, with a recording browser.
class ShellExecuteTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(RecordingBrowser::openerInstalled()) << "xdg-open is missing: tools/install-deps test";
        prefix.writeFile("docs/Informe.zzq", "informe");
    }
    HINSTANCE open(const QString& file, const QString& directory = QString(), const QString& verb = QStringLiteral("open"))
    {
        return ShellExecuteA(nullptr, verb, file, QString(), directory, SW_SHOWNORMAL);
    }

    TempPrefix prefix;
    RecordingBrowser browser;
};

}

TEST_F(ShellExecuteTest, ALinkReachesTheBrowserExactlyAsWritten)
{
    // Blanks, quotes and shell syntax are data: nothing on the way interprets them.
    const QString link = QStringLiteral("https://example.org/a b?q='1';x=$(touch pwned)&y=`id`|z");
    EXPECT_GT(open(link), 32);
    EXPECT_EQ(browser.opened(), QStringList{link});
    EXPECT_FALSE(QFile::exists(QDir::current().filePath("pwned")));
}

TEST_F(ShellExecuteTest, AWindowsPathOpensTheHostFileWhateverItsLetterCase)
{
    const QString host = prefix.hostPath("docs/Informe.zzq");
    EXPECT_GT(open("C:\\DOCS\\informe.ZZQ"), 32);
    EXPECT_GT(open("Informe.zzq", "c:\\docs"), 32) << "a relative file is taken below the folder given";
    EXPECT_GT(open("c:\\docs\\Informe.zzq", QString(), QStringLiteral("")), 32) << "no verb means open";
    prefix.writeFile("docs/-h", "x");
    EXPECT_GT(open("-h", "c:\\docs"), 32) << "a file named like an option is still a file";
    EXPECT_EQ(browser.opened(), QStringList({host, host, host, prefix.hostPath("docs/-h")}));
}

TEST_F(ShellExecuteTest, WhatCannotBeFoundIsReportedAsWindowsReportsIt)
{
    EXPECT_EQ(open("c:\\docs\\Falta.zzq"), SE_ERR_FNF) << "a missing file in an existing folder";
    EXPECT_EQ(open("c:\\no\\existe\\Falta.zzq"), SE_ERR_PNF) << "a missing folder";
    EXPECT_EQ(open("q:\\Falta.zzq"), SE_ERR_PNF) << "a drive the prefix does not have";
    EXPECT_EQ(open("Informe.zzq", "c:\\no\\existe"), SE_ERR_PNF) << "a missing default folder";
    EXPECT_EQ(open(QString()), SE_ERR_FNF);
    EXPECT_EQ(open("c:\\docs\\Informe.zzq", QString(), "print"), SE_ERR_NOASSOC) << "no application for the verb";
    // xdg-open's own verdict on a file URL.
    EXPECT_EQ(open("file://" + prefix.hostPath("docs/Falta.zzq")), SE_ERR_FNF);
    EXPECT_TRUE(browser.opened().isEmpty());
}

TEST_F(ShellExecuteTest, AnOpenerStillRunningAfterTheWaitHasStartedTheApplication)
{
    // The browser runs until it is released, so the opener is still running when the wait ends:
    // the answer must come without its end (an opener waited for to its end would answer a
    // failure, when the held browser gives up).
    browser.hold();
    SetShellExecuteWait(300);
    EXPECT_EQ(open("https://example.org/slow"), ShellExecuteOpened);
    // The opener is left running, not ended: the browser gets its target.
    QDeadlineTimer deadline(60000);
    while (browser.opened().isEmpty() && !deadline.hasExpired())
        QThread::msleep(20);
    EXPECT_EQ(browser.opened(), QStringList{"https://example.org/slow"});
    browser.release();
}

