// What zantrel-cli does with host names it cannot take as text or as Windows names: arguments and
// environment variables holding bytes that are not UTF-8, names holding a backslash, a walk that
// meets a pseudo file system, and a registry whose environment would expand to gigabytes.
#include "support_files/FileBytes.h"
#include "support_files/IndependentReaders.h"
#include "support_files/LimitableCli.h"
#include "support_files/TempPrefix.h"

#include <QDir>
#include <QFile>
#include <QTemporaryFile>
#include <fcntl.h>
#include <ftw.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace {

struct CliRun {
    int status = -1;
    QByteArray out;
    QByteArray err;
};

// Runs `program` with `arguments` given as bytes, exactly as written (QProcess would pass them
// through the local encoding, which cannot hold every byte). `environment` entries ("NAME=value",
// or "NAME" to remove it) change the test's own environment for the run.
CliRun runBytes(const std::vector<QByteArray>& arguments, const std::vector<QByteArray>& environment)
{
    std::vector<QByteArray> variables;
    for (char** entry = environ; *entry; ++entry) {
        const QByteArray variable(*entry);
        const QByteArray name = variable.left(variable.indexOf('='));
        bool replaced = false;
        for (const QByteArray& change : environment)
            replaced = replaced || change.left(change.indexOf('=') < 0 ? change.size() : change.indexOf('=')) == name;
        if (!replaced)
            variables.push_back(variable);
    }
    for (const QByteArray& change : environment)
        if (change.contains('='))
            variables.push_back(change);

    QTemporaryFile out, err;
    if (!out.open() || !err.open())
        return {};
    std::vector<char*> argv;
    for (const QByteArray& argument : arguments)
        argv.push_back(const_cast<char*>(argument.constData()));
    argv.push_back(nullptr);
    std::vector<char*> envp;
    for (const QByteArray& variable : variables)
        envp.push_back(const_cast<char*>(variable.constData()));
    envp.push_back(nullptr);

    const pid_t child = ::fork();
    if (child == 0) {
        ::dup2(out.handle(), 1);
        ::dup2(err.handle(), 2);
        ::execve(argv[0], argv.data(), envp.data());
        ::_exit(127);
    }
    int status = 0;
    if (child < 0 || ::waitpid(child, &status, 0) != child)
        return {};
    CliRun run;
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    out.seek(0);
    err.seek(0);
    run.out = out.readAll();
    run.err = err.readAll();
    return run;
}

CliRun runCli(const std::vector<QByteArray>& arguments, const QString& prefix, std::vector<QByteArray> environment = {})
{
    std::vector<QByteArray> command{QByteArray(ZANTREL_CLI)};
    command.insert(command.end(), arguments.begin(), arguments.end());
    environment.push_back("WINEPREFIX=" + QFile::encodeName(prefix));
    return runBytes(command, environment);
}

int removeEntry(const char* path, const struct stat*, int kind, struct FTW*)
{
    return kind == FTW_DP ? ::rmdir(path) : ::unlink(path);
}

// Removes a tree whose names may not be valid text, which QTemporaryDir cannot remove.
void removeTree(const QByteArray& path)
{
    ::nftw(path.constData(), removeEntry, 16, FTW_DEPTH | FTW_PHYS);
}

class CliHostNames : public ::testing::Test {
protected:
    void TearDown() override { removeTree(QFile::encodeName(prefix.root() + QStringLiteral("/drive_c"))); }

    QByteArray hostBytes(const QString& belowDriveC) const { return QFile::encodeName(prefix.hostPath(belowDriveC)); }
    void makeFolder(const QByteArray& path) const { ASSERT_EQ(::mkdir(path.constData(), 0755), 0) << path.constData(); }

    TempPrefix prefix;
};

}

TEST_F(CliHostNames, AnEnvironmentOfTensOfThousandsOfValuesAtTheLimitLoadsInLittleMemory)
{
    // 60,000 values that each expand to 32,767 characters: 4 GB of text without a bound on the
    // total. The registration's expandable path makes the load build the environment.
    QByteArray reg = "WINE REGISTRY Version 2\n;; All keys relative to \\\\Machine\n\n#arch=win32\n\n"
                     "[Software\\\\Classes\\\\TypeLib\\\\{5D0B7E3A-9C41-4F2E-8A17-C3E6B0D92F48}\\\\1.0\\\\0\\\\win32] 1700000000\n"
                     "@=str(2):\"%E60000%\\\\nominas.tlb\"\n\n"
                     "[System\\\\CurrentControlSet\\\\Control\\\\Session Manager\\\\Environment] 1700000000\n"
                     "\"A\"=\"abcdefghij\"\n"
                     "\"B\"=str(2):\"" + QByteArray("%A%").repeated(100) + "\"\n"
                     "\"C\"=str(2):\"" + QByteArray("%B%").repeated(33) + "\"\n";
    for (int n = 1; n <= 60000; ++n)
        reg += "\"E" + QByteArray::number(n) + "\"=str(2):\"%C%\"\n";
    prefix.writeFile("../system.reg", reg);
    prefix.writeLines("tmp/a.vbp", {"Type=Exe", "Reference=*\\G{5D0B7E3A-9C41-4F2E-8A17-C3E6B0D92F48}#1.0#0#x.tlb#N"});

    // An address space of 1.5 GB: the values alone would need 4 GB.
    const QString cli = AddressLimitableCli();
    REQUIRE_JUDGE(!cli.isEmpty(), "a zantrel-cli without AddressSanitizer (ZANTREL_UNSANITIZED_CLI)");
    const CliRun run = runBytes({"/usr/bin/prlimit", "--as=1500000000", QFile::encodeName(cli), "missing", "c:\\tmp"},
                             {"WINEPREFIX=" + QFile::encodeName(prefix.root())});
    EXPECT_EQ(run.status, 3) << run.err.constData();
    EXPECT_FALSE(run.err.contains("Out of memory")) << run.err.constData();
    EXPECT_TRUE(run.out.contains("registered file missing")) << run.out.constData();
}

TEST_F(CliHostNames, AFolderGivenInBytesThatAreNotTextIsThatFolder)
{
    // Three folders a lossy decoding would make one: the bytes FF and FE, and a real U+FFFD.
    prefix.makeFolder("tmp");
    const QByteArray tmp = hostBytes("tmp");
    const std::pair<QByteArray, QByteArray> folders[] = {{"S\xff", "FF"}, {"S\xfe", "FE"}, {"S\xef\xbf\xbd", "Real"}};
    for (const auto& [name, project] : folders) {
        makeFolder(tmp + '/' + name);
        writeAllAtHostName(tmp + '/' + name + "/p.vbp", "Type=Exe\r\nName=\"" + project + "\"\r\n");
    }

    // -r over their parent walks the three, each as itself.
    CliRun run = runCli({"catalogue", "-r", "c:\\tmp"}, prefix.root());
    ASSERT_EQ(run.status, 0) << run.err.constData();
    EXPECT_TRUE(run.out.contains("p.vbp\t1\tFF\t")) << run.out.constData();
    EXPECT_TRUE(run.out.contains("p.vbp\t1\tFE\t")) << run.out.constData();
    EXPECT_TRUE(run.out.contains("p.vbp\t1\tReal\t")) << run.out.constData();
    EXPECT_EQ(run.out.count('\n'), 4) << run.out.constData();

    // Named on the command line, as a host path and as a Windows path, each is itself.
    for (const QByteArray& folder : {tmp + "/S\xff", QByteArray("c:\\tmp\\S\xff")}) {
        run = runCli({"catalogue", folder}, prefix.root());
        ASSERT_EQ(run.status, 0) << run.err.constData();
        EXPECT_TRUE(run.out.contains("p.vbp\t1\tFF\t")) << run.out.constData();
        EXPECT_EQ(run.out.count('\n'), 2) << run.out.constData();
    }
}

TEST_F(CliHostNames, APrefixNamedInBytesThatAreNotTextIsThatPrefix)
{
    // The prefix lives in a folder whose name is not UTF-8, named by WINEPREFIX, else by HOME
    // (its .wine folder).
    prefix.writeLines("tmp/a.vbp", {"Type=Exe", "Name=\"Alfa\""});
    const QByteArray home = QFile::encodeName(prefix.root()) + "/casa\xff";
    makeFolder(home);
    ASSERT_EQ(::symlink(QFile::encodeName(prefix.root()).constData(), (home + "/.wine").constData()), 0);
    const QByteArray named = QFile::encodeName(prefix.root()) + "/prefijo\xff";
    ASSERT_EQ(::symlink(QFile::encodeName(prefix.root()).constData(), named.constData()), 0);
    struct Cleanup {
        QByteArray home, named;
        ~Cleanup()
        {
            ::unlink((home + "/.wine").constData());
            ::rmdir(home.constData());
            ::unlink(named.constData());
        }
    } cleanup{home, named};

    CliRun run = runBytes({ZANTREL_CLI, "catalogue", "c:\\tmp"}, {"WINEPREFIX=" + named});
    ASSERT_EQ(run.status, 0) << run.err.constData();
    EXPECT_TRUE(run.out.contains("a.vbp\t1\tAlfa\t")) << run.out.constData();

    run = runBytes({ZANTREL_CLI, "catalogue", "c:\\tmp"}, {"WINEPREFIX", "HOME=" + home});
    ASSERT_EQ(run.status, 0) << run.err.constData();
    EXPECT_TRUE(run.out.contains("a.vbp\t1\tAlfa\t")) << run.out.constData();
}

TEST_F(CliHostNames, ANameHoldingABackslashIsSaidAndNeverReadInAnothersPlace)
{
    prefix.writeLines("tmp/sub/x.vbp", {"Type=Exe", "Name=\"Real\""});
    prefix.writeLines("tmp/sub\\x.vbp", {"Type=Exe", "Name=\"Barra\""});
    const QByteArray skipped = "zantrel-cli: skipped " + hostBytes("tmp/sub\\x.vbp")
                               + ": its name holds a backslash, which no Windows path can name\n";

    CliRun run = runCli({"catalogue", "c:\\tmp"}, prefix.root());
    ASSERT_EQ(run.status, 0) << run.err.constData();
    EXPECT_EQ(run.out.count('\n'), 1) << "the header only, not sub\\x.vbp read as sub/x.vbp: " << run.out.constData();
    EXPECT_TRUE(run.err.contains(skipped)) << run.err.constData();

    run = runCli({"catalogue", "-r", "c:\\tmp"}, prefix.root());
    ASSERT_EQ(run.status, 0) << run.err.constData();
    EXPECT_EQ(run.out.count("\tReal\t"), 1) << run.out.constData();
    EXPECT_FALSE(run.out.contains("Barra")) << run.out.constData();
    EXPECT_EQ(run.out.count('\n'), 2) << run.out.constData();
    EXPECT_TRUE(run.err.contains(skipped)) << run.err.constData();
}

TEST_F(CliHostNames, ARecursiveLoadStaysOutOfProcAndSaysSo)
{
    prefix.writeLines("tmp/a/uno.vbp", {"Type=Exe", "Name=\"Uno\""});
    ASSERT_EQ(::symlink("/proc", hostBytes("tmp/proc").constData()), 0);
    const CliRun run = runCli({"catalogue", "-r", "c:\\tmp"}, prefix.root());
    ASSERT_EQ(run.status, 0) << run.err.constData();
    EXPECT_EQ(run.out.count('\n'), 2) << run.out.constData();
    EXPECT_TRUE(run.err.contains("zantrel-cli: skipped the folder c:\\tmp\\proc\\ (" + hostBytes("tmp/proc")
                                 + "): a pseudo file system (proc)\n"))
        << run.err.constData();
}
