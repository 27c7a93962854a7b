#include "app/common/CIni.h"
#include "app/common/mMain.h"
#include "platform/core/AnsiCodePage.h"
#include "platform/files/PathMapper.h"
#include "platform/files/PrivateProfile.h"
#include "support_files/FileBytes.h"
#include "support_files/TempPrefix.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <gtest/gtest.h>


TEST(CIni, FirstRunWritesTheDefaultFolderToTheWindowsFolder)
{
    TempPrefix prefix;
    CIni ini;
    EXPECT_EQ(ini.Leer("general", "path", "ZANTREL.INI"), "");
    EXPECT_EQ(LeerScanPath(ini), "c:\\tmp\\");
    EXPECT_EQ(readAll(prefix.hostPath("windows/ZANTREL.INI")), "[general]\r\npath=c:\\tmp\\\r\n");
    EXPECT_EQ(LeerScanPath(ini), "c:\\tmp\\");
}

TEST(CIni, ReadsAsWindowsDoes)
{
    TempPrefix prefix;
    prefix.writeFile("windows/zantrel.ini",
                     AnsiCodePage::encode(QString::fromUtf8("; comentario\r\n[Otro]\r\npath=c:\\otro\\\r\n"
                                                            "  [ GENERAL ]  \r\n  Path  =  \"d:\\proyectos\\año\"  \r\n"
                                                            "largo=") + QString(300, u'x') + "\r\n"));
    CIni ini;
    EXPECT_EQ(ini.Leer("general", "path", "ZANTREL.INI"), QString::fromUtf8("d:\\proyectos\\año"))
        << "names ignore case and blanks, the value loses blanks and quotes, the file its case";
    EXPECT_EQ(ini.Leer("general", "largo", "ZANTREL.INI").size(), 254);
    EXPECT_EQ(ini.Leer("general", "nada", "ZANTREL.INI"), "");
    EXPECT_EQ(ini.Leer("falta", "path", "ZANTREL.INI"), "");
}

TEST(CIni, WritingKeepsEveryOtherLine)
{
    TempPrefix prefix;
    prefix.writeFile("windows/ZANTREL.INI", "; notas\r\n[general]\r\nPATH=c:\\viejo\\\r\notra=1\r\n[fin]\r\nx=y\r\n");
    CIni ini;
    ini.Grabar("ZANTREL.INI", "General", "path", QStringLiteral("d:\\src"));
    ini.Grabar("ZANTREL.INI", "fin", "nueva", 42);
    ini.Grabar("ZANTREL.INI", "extra", "k", "v");
    EXPECT_EQ(readAll(prefix.hostPath("windows/ZANTREL.INI")),
              "; notas\r\n[general]\r\npath=d:\\src\r\notra=1\r\n[fin]\r\nx=y\r\nnueva=42\r\n[extra]\r\nk=v\r\n");
    EXPECT_EQ(ini.Leer("general", "path", "ZANTREL.INI"), "d:\\src") << "a value without backslash is kept unchanged";
}

TEST(CIni, AFileThatCannotBeWrittenIsLeftAsItWas)
{
    TempPrefix prefix;
    prefix.writeFile("windows/ZANTREL.INI", "[general]\r\npath=c:\\bueno\\\r\n");
    // A folder where the temporary file would go cannot be made when the Windows folder is a file.
    QFile::remove(prefix.hostPath("windows/ZANTREL.INI"));
    QDir(prefix.hostPath("windows")).removeRecursively();
    prefix.writeFile("windows", "not a folder");
    CIni ini;
    ini.Grabar("ZANTREL.INI", "general", "path", "c:\\nuevo\\");
    EXPECT_EQ(readAll(prefix.hostPath("windows")), "not a folder");
    EXPECT_EQ(ini.Leer("general", "path", "ZANTREL.INI"), "");
}

TEST(PrivateProfile, ABareNameWithoutDriveCGoesToTheUsersConfigurationFolder)
{
    QStandardPaths::setTestModeEnabled(true);
    QTemporaryDir nowhere;
    const QString previous = PathMapper::current().prefix();
    PathMapper::setCurrent(nowhere.path() + "/no-prefix");
    const QString path = PrivateProfile::hostPathOf("ZANTREL.INI");
    EXPECT_EQ(path, QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + "/ZANTREL.INI");
    PathMapper::setCurrent(previous);
    QStandardPaths::setTestModeEnabled(false);
}
