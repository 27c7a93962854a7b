#include "support_files/FileBytes.h"
#include "support_files/FixtureLibraries.h"
#include "support_files/TempPrefix.h"
#include "support_files/WineRegistryText.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QUrl>
#include <gtest/gtest.h>
#include <iconv.h>

namespace {

const QString kCodePageKey = QStringLiteral("System\\CurrentControlSet\\Control\\Nls\\CodePage");

// glibc's converter, which has nothing of ours: the bytes a program on that page writes.
QByteArray inPage(const char* page, const QString& text)
{
    iconv_t cd = iconv_open(page, "UTF-8");
    QByteArray in = text.toUtf8();
    QByteArray out(in.size() * 4 + 8, '\0');
    char* source = in.data();
    char* target = out.data();
    std::size_t inLeft = static_cast<std::size_t>(in.size()), outLeft = static_cast<std::size_t>(out.size());
    iconv(cd, &source, &inLeft, &target, &outLeft);
    iconv_close(cd);
    out.resize(target - out.data());
    return out;
}

QString fromPage(const char* page, const QByteArray& bytes)
{
    iconv_t cd = iconv_open("UTF-8", page);
    QByteArray in = bytes;
    QByteArray out(in.size() * 4 + 8, '\0');
    char* source = in.data();
    char* target = out.data();
    std::size_t inLeft = static_cast<std::size_t>(in.size()), outLeft = static_cast<std::size_t>(out.size());
    iconv(cd, &source, &inLeft, &target, &outLeft);
    iconv_close(cd);
    out.resize(target - out.data());
    return QString::fromUtf8(out);
}

// A prefix whose Visual Basic ran on a Chinese machine: the registry's ACP is 936, a project
// file in that page names itself 工程1 and reaches a library through a folder named in Chinese
// (on disk in UTF-8, as Wine names host files).
class ChinesePrefixTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        WineRegistryText machine;
        machine.key(kCodePageKey).value("ACP", acp).value("OEMCP", "936");
        machine.writeTo(prefix);
        prefix.writeFile(QString::fromUtf8("程序/库/facturacion.tlb"), FixtureLibraries::Bytes("facturacion.tlb"));
        writeProject(QString::fromUtf8("源/工程1.vbp"));
    }

    void writeProject(const QString& belowDriveC)
    {
        const QString text = QString::fromUtf8("Type=Exe\r\n"
                                               "Reference=*\\G{11111111-2222-3333-4444-555555555555}#1.0#0#C:\\程序\\库\\facturacion.tlb#账单\r\n"
                                               "Form=窗体1.frm\r\n"
                                               "Name=\"工程1\"\r\n"
                                               "Description=\"销售与账单\"\r\n");
        prefix.writeFile(belowDriveC, inPage("CP936", text));
    }

    QJsonArray catalogue(const QStringList& arguments, int* status, QByteArray* err, const QStringList& launcher = {})
    {
        QByteArray out;
        *status = RunCli(QStringList{"catalogue", "--format", "json"} + arguments, prefix.root(), &out, err, launcher);
        return QJsonDocument::fromJson(out).array();
    }

    QString acp = QStringLiteral("936");
    TempPrefix prefix;
};

}

TEST_F(ChinesePrefixTest, NamesAndPathsAreReadInTheRegistrysPageWhichIsSaidOnce)
{
    int status = 0;
    QByteArray err;
    const QJsonArray projects = catalogue({"c:\\" + QString::fromUtf8("源")}, &status, &err);
    ASSERT_EQ(status, 0) << err.constData();
    ASSERT_EQ(projects.size(), 1) << err.constData();
    const QJsonObject project = projects[0].toObject();
    EXPECT_EQ(project["name"].toString(), QString::fromUtf8("工程1"));
    EXPECT_EQ(project["fileName"].toString(), QString::fromUtf8("工程1.vbp"));
    const QJsonArray entries = project["entries"].toArray();
    ASSERT_EQ(entries.size(), 1);
    EXPECT_EQ(entries[0].toObject()["guid"].toString(), FixtureLibraries::Facturacion);
    EXPECT_EQ(entries[0].toObject()["filePath"].toString(), QString::fromUtf8("C:\\程序\\库\\facturacion.tlb"));
    EXPECT_EQ(err, "zantrel-cli: reading ANSI text with code page 936 (from the registry's ACP)\n");

    // Read as Western text the same file names a project of mojibake whose library is missing.
    const QJsonArray western = catalogue({"--codepage", "1252", "c:\\" + QString::fromUtf8("源")}, &status, &err);
    ASSERT_EQ(western.size(), 1);
    EXPECT_EQ(western[0].toObject()["name"].toString(), QString::fromUtf8("¹¤³Ì1"));
    EXPECT_TRUE(western[0].toObject()["entries"].toArray().isEmpty());
    EXPECT_EQ(err, "zantrel-cli: reading ANSI text with code page 1252 (from --codepage)\n");
}

// --codepage beats ZANTREL_CODEPAGE, which beats the registry; a page that cannot be used is
// passed over with a warning, whoever named it, and a wrong --codepage is a usage error.
TEST_F(ChinesePrefixTest, TheRunCanNameAnotherPageAndAPageThatCannotBeUsedIsPassedOver)
{
    const QStringList folder{"c:\\" + QString::fromUtf8("源")};
    int status = 0;
    QByteArray err;
    QJsonArray projects = catalogue(folder, &status, &err, QStringList{"env", "ZANTREL_CODEPAGE=1251"});
    ASSERT_EQ(projects.size(), 1);
    EXPECT_EQ(projects[0].toObject()["name"].toString(), fromPage("CP1251", inPage("CP936", QString::fromUtf8("工程1"))));
    EXPECT_EQ(err, "zantrel-cli: reading ANSI text with code page 1251 (from ZANTREL_CODEPAGE)\n");

    projects = catalogue(QStringList{"--codepage=936"} + folder, &status, &err, QStringList{"env", "ZANTREL_CODEPAGE=1251"});
    ASSERT_EQ(projects.size(), 1);
    EXPECT_EQ(projects[0].toObject()["name"].toString(), QString::fromUtf8("工程1"));

    projects = catalogue(folder, &status, &err, QStringList{"env", "ZANTREL_CODEPAGE=gbk"});
    ASSERT_EQ(projects.size(), 1);
    EXPECT_EQ(projects[0].toObject()["name"].toString(), QString::fromUtf8("工程1"));
    EXPECT_EQ(err, "zantrel-cli: warning: ZANTREL_CODEPAGE is \"gbk\", not a code page Zantrel can read; it is passed over\n"
                   "zantrel-cli: reading ANSI text with code page 936 (from the registry's ACP)\n");

    for (const char* bad : {"1200", "abc", "", "-936", "9360000"}) {
        projects = catalogue(QStringList{"--codepage", bad} + folder, &status, &err);
        EXPECT_EQ(status, 2) << bad;
        EXPECT_TRUE(err.contains("--codepage needs a Windows ANSI code page")) << bad << err.constData();
    }
}

TEST(CodePages, ARegistryPageThatNamesNothingIsSaidAndTheWesternPageRead)
{
    for (const char* acp : {"12345", "UTF-8", "0"}) {
        TempPrefix prefix;
        WineRegistryText machine;
        machine.key(kCodePageKey).value("ACP", acp);
        machine.writeTo(prefix);
        prefix.writeFile("src/a.vbp", "Type=Exe\r\nName=\"Caf\xe9\"\r\n");
        QByteArray out, err;
        ASSERT_EQ(RunCli({"catalogue", "--format", "json", "c:\\src"}, prefix.root(), &out, &err), 0);
        EXPECT_EQ(QJsonDocument::fromJson(out).array()[0].toObject()["name"].toString(), QString::fromUtf8("Café"));
        EXPECT_EQ(err, QByteArray("zantrel-cli: warning: the registry's ACP (HKLM\\System\\CurrentControlSet\\Control\\Nls\\CodePage) is \"")
                           + acp + "\", not a code page Zantrel can read; it is passed over\n"
                                   "zantrel-cli: reading ANSI text with code page 1252 (from the default)\n");
    }
    // A Western prefix says nothing.
    TempPrefix prefix;
    WineRegistryText machine;
    machine.key(kCodePageKey).value("ACP", "1252");
    machine.writeTo(prefix);
    prefix.writeFile("src/a.vbp", "Type=Exe\r\n");
    QByteArray err;
    RunCli({"tree", "c:\\src"}, prefix.root(), nullptr, &err);
    EXPECT_EQ(err, "");
}

// The settings file is read in the page (its folder is named in Chinese), and the text report
// is written in it: glibc reads back the same letters.
TEST_F(ChinesePrefixTest, TheSettingsFileAndTheTextReportAreInThePage)
{
    prefix.writeFile("windows/ZANTREL.INI", inPage("CP936", QString::fromUtf8("[general]\r\npath=c:\\源\\\r\n")));
    int status = 0;
    QByteArray err;
    const QJsonArray projects = catalogue({}, &status, &err);
    ASSERT_EQ(projects.size(), 1) << err.constData();
    EXPECT_EQ(projects[0].toObject()["name"].toString(), QString::fromUtf8("工程1"));

    ASSERT_EQ(RunCli({"report", "c:\\" + QString::fromUtf8("源"), "--detailed", "-o", "c:\\informe.txt"}, prefix.root(), nullptr, &err), 0)
        << err.constData();
    const QString report = fromPage("CP936", readAll(prefix.hostPath("informe.txt")));
    EXPECT_TRUE(report.contains(QString::fromUtf8("工程1"))) << report.toStdString();
    EXPECT_TRUE(report.contains(QString::fromUtf8("C:\\程序\\库\\facturacion.tlb"))) << report.toStdString();
}

// The rich-text report declares the page and its font's character set, writes the page's
// double-byte characters as their bytes and what the page lacks as Unicode; LibreOffice shows
// every letter.
TEST_F(ChinesePrefixTest, TheRichTextReportDeclaresThePageAndLibreOfficeReadsItsLetters)
{
    writeProject(QString::fromUtf8("源/Ελληνικά.vbp")); // a file name the page lacks
    QByteArray err;
    ASSERT_EQ(RunCli({"report", "c:\\" + QString::fromUtf8("源"), "--detailed", "-o", "c:\\informe.rtf"}, prefix.root(), nullptr, &err), 0)
        << err.constData();
    const QByteArray rtf = readAll(prefix.hostPath("informe.rtf"));
    EXPECT_TRUE(rtf.startsWith("{\\rtf1\\ansi\\ansicpg936\\deff0{\\fonttbl{\\f0\\fmodern\\fprq1\\fcharset134 ")) << rtf.left(80).constData();
    EXPECT_TRUE(rtf.contains("\\'b9\\'a4\\'b3\\'cc1")) << "工程1 as its two-byte characters";

    QTemporaryDir work;
    const QString profile = QUrl::fromLocalFile(work.filePath("profile")).toString();
    QProcess office;
    office.start("soffice", {"-env:UserInstallation=" + profile, "--headless", "--convert-to", "txt:Text (encoded):UTF8",
                             "--outdir", work.path(), prefix.hostPath("informe.rtf")});
    ASSERT_TRUE(office.waitForStarted(30000)) << "LibreOffice is installed with the test dependencies";
    ASSERT_TRUE(office.waitForFinished(240000));
    const QString text = QString::fromUtf8(readAll(work.filePath("informe.txt")));
    EXPECT_TRUE(text.contains(QString::fromUtf8("工程1"))) << text.toStdString();
    EXPECT_TRUE(text.contains(QString::fromUtf8("Ελληνικά.vbp"))) << text.toStdString();
}

// A Russian prefix: a path written in 1251 in capitals reaches the folder Wine named in UTF-8 in
// small letters, ignoring case as Windows does for every alphabet.
TEST(CodePages, ACyrillicPathMatchesItsHostFolderIgnoringCase)
{
    TempPrefix prefix;
    WineRegistryText machine;
    machine.key(kCodePageKey).value("ACP", "1251");
    machine.writeTo(prefix);
    prefix.writeFile(QString::fromUtf8("Программы/Учёт/inventario.tlb"), FixtureLibraries::Bytes("inventario.tlb"));
    prefix.writeFile("src/a.vbp", inPage("CP1251", QString::fromUtf8(
        "Type=Exe\r\nReference=*\\G{11111111-2222-3333-4444-555555555555}#1.0#0#C:\\ПРОГРАММЫ\\УЧЁТ\\inventario.tlb#Учёт\r\n"
        "Name=\"Проект1\"\r\n")));
    QByteArray out, err;
    ASSERT_EQ(RunCli({"catalogue", "--format", "json", "c:\\src"}, prefix.root(), &out, &err), 0) << err.constData();
    const QJsonObject project = QJsonDocument::fromJson(out).array()[0].toObject();
    EXPECT_EQ(project["name"].toString(), QString::fromUtf8("Проект1"));
    const QJsonArray entries = project["entries"].toArray();
    ASSERT_EQ(entries.size(), 1) << out.constData();
    EXPECT_EQ(entries[0].toObject()["guid"].toString(), FixtureLibraries::Inventario);
}
