#include "catalogue/SourceScanner.h"
#include "platform/core/AnsiCodePage.h"
#include "support_files/FileBytes.h"
#include "support_files/NeverEndingFiles.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

QByteArray crlf(const QStringList& lines)
{
    return AnsiCodePage::encode(lines.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n"));
}

// "library -> file @line", one per Declare, "?" marking one inside an #If block.
QStringList declares(const SourceScan& scan)
{
    QStringList list;
    for (const DeclaredLibrary& declared : scan.declares)
        list.append(QStringLiteral("%1 %2 -> %3 @%4%5")
                        .arg(declared.procedure, declared.library, declared.fileName)
                        .arg(declared.line)
                        .arg(declared.conditional ? QStringLiteral("?") : QString()));
    return list;
}

const QStringList kForm = {
    "VERSION 5.00",
    "Object = \"{831FDD16-0C5C-11D2-A9FC-0000F8754DA1}#2.0#0\"; \"MSCOMCTL.OCX\"",
    "Object = \"{F9043C88-F6F2-101A-A3C9-08002B2F49FB}#1.2#0\"; \"comdlg32.ocx\"",
    "Begin VB.Form frmFacturas ",
    "   Caption         =   \"Private Declare Function Trampa Lib \"\"nada\"\" ()\"",
    "   ClientHeight    =   5175",
    "   Begin MSComDlg.CommonDialog dlgAbrir ",
    "      Left            =   120",
    "   End",
    "   Begin VB.Frame fraFiltro ",
    "      BeginProperty Font ",
    "         Name            =   \"Tahoma\"",
    "      EndProperty",
    "      Begin MSComctlLib.ListView lvwFacturas ",
    "         TabIndex        =   1",
    "      End",
    "   End",
    "End",
    "Attribute VB_Name = \"frmFacturas\"",
    "Attribute VB_GlobalNameSpace = False",
    "Option Explicit",
    "Private Declare Function GetTickCount Lib \"kernel32\" () As Long",
    "Object = \"{00000000-0000-0000-0000-000000000000}#9.9#0\"; \"NOT.OCX\"",
    "",
    "Private Sub Form_Load()",
    "    lvwFacturas.View = lvwReport",
    "End Sub",
};

}

TEST(SourceScanner, AFormGivesItsHeadersObjectLinesItsControlsAndItsCodesDeclares)
{
    const SourceScan scan = ScanSource(crlf(kForm));
    ASSERT_EQ(scan.objects.size(), 2) << "only the header's Object lines count";
    EXPECT_EQ(scan.objects[0].line, 2);
    EXPECT_EQ(scan.objects[0].target, "{831FDD16-0C5C-11D2-A9FC-0000F8754DA1}#2.0#0");
    EXPECT_EQ(scan.objects[0].guid, "{831FDD16-0C5C-11D2-A9FC-0000F8754DA1}");
    EXPECT_EQ(scan.objects[0].version, "2.0");
    EXPECT_EQ(scan.objects[0].locale, "0");
    EXPECT_EQ(scan.objects[0].fileName, "MSCOMCTL.OCX");
    EXPECT_EQ(scan.objects[1].version, "1.2");
    EXPECT_EQ(scan.objects[1].fileName, "comdlg32.ocx");

    QStringList controls;
    for (const ControlLine& control : scan.controls)
        controls.append(QStringLiteral("%1 %2 @%3").arg(control.className, control.name).arg(control.line));
    EXPECT_EQ(controls, QStringList({"VB.Form frmFacturas @4", "MSComDlg.CommonDialog dlgAbrir @7",
                                     "VB.Frame fraFiltro @10", "MSComctlLib.ListView lvwFacturas @14"}))
        << "BeginProperty opens no control";

    EXPECT_EQ(declares(scan), QStringList{"GetTickCount kernel32 -> kernel32.dll @22"})
        << "a property's text is not code";
    EXPECT_TRUE(scan.problem.isEmpty());
}

TEST(SourceScanner, ControlsUserDocumentsAndPropertyPagesShareTheFormsLayout)
{
    // A control of another project of the group is named by its project file.
    const SourceScan control = ScanSource(crlf({"VERSION 5.00", "Object = \"*\\A..\\Rejilla\\Rejilla.vbp\"",
                                                "Begin VB.UserControl ctlTabla ", "End",
                                                "Attribute VB_Name = \"ctlTabla\""}));
    ASSERT_EQ(control.objects.size(), 1);
    EXPECT_EQ(control.objects[0].target, "*\\A..\\Rejilla\\Rejilla.vbp");
    EXPECT_EQ(control.objects[0].guid, "");
    EXPECT_EQ(control.objects[0].fileName, "");
    ASSERT_EQ(control.controls.size(), 1);
    EXPECT_EQ(control.controls[0].className, "VB.UserControl");

    // A designer names its class by GUID; a class module's BEGIN block of properties ends before its code.
    const SourceScan designer = ScanSource(crlf({"VERSION 5.00", "Begin {C0E45035-5775-11D0-B388-00A0C9055D8E} deDatos ",
                                                 "End", "Private Declare Sub Sleep Lib \"kernel32\" (ByVal ms As Long)"}));
    ASSERT_EQ(designer.controls.size(), 1);
    EXPECT_EQ(designer.controls[0].className, "{C0E45035-5775-11D0-B388-00A0C9055D8E}");
    EXPECT_EQ(designer.controls[0].name, "deDatos");
    EXPECT_EQ(declares(designer).size(), 1);
    const SourceScan classModule = ScanSource(crlf({"VERSION 1.0 CLASS", "BEGIN", "  MultiUse = -1  'True", "END",
                                                    "Attribute VB_Name = \"cCola\"",
                                                    "Private Declare Sub Sleep Lib \"kernel32\" (ByVal ms As Long)"}));
    EXPECT_TRUE(classModule.controls.isEmpty()) << "BEGIN names no class";
    EXPECT_EQ(declares(classModule), QStringList{"Sleep kernel32 -> kernel32.dll @6"});
}

TEST(SourceScanner, AModulesDeclaresInEveryFormTheLanguageAllows)
{
    const SourceScan scan = ScanSource(crlf({
        "Attribute VB_Name = \"modApi\"",                                                             // 1
        "Option Explicit",                                                                            // 2
        "Public Declare Function GetWindowText Lib \"user32.dll\" Alias \"GetWindowTextA\" _",         // 3
        "    (ByVal hWnd As Long, ByVal lpString As String, ByVal cch As Long) As Long",              // 4
        "private declare sub Sleep lib \"KERNEL32\" (ByVal ms As Long)",                              // 5
        "DECLARE FUNCTION GetWinFlags LIB \"Kernel\" ALIAS \"#132\"() AS LONG",                       // 6
        "Declare Sub MessageBeep Lib _",                                                              // 7
        "  \"User32\" _",                                                                              // 8
        "  (ByVal N As Long)",                                                                        // 9
        "Private Declare Function Nada CDecl Lib \"mscvrt\" () As Long",                              // 10
        "Private Const MAX_PATH = 260: Private Declare Function lstrlen& Lib \"kernel32\" (ByVal s$)", // 11
        "' Private Declare Function EnComentario Lib \"comentario\" ()",                             // 12
        "Rem Declare Function EnRem Lib \"rem\" ()",                                                  // 13
        "Private Const TEXTO = \"Declare Function EnTexto Lib \"\"texto\"\" ()\"",                    // 14
        "Friend Declare Function Amiga Lib \"friend\" ()",                                            // 15
        "Global Declare Function Global Lib \"global\" ()",                                           // 16
        "Private Declare Function SinLib \"nolib\" ()",                                               // 17
        "Remark = 1: Declare Sub TrasRemark Lib \"remark\" ()",                                       // 18
        "' un comentario que sigue _",                                                                // 19
        "Declare Function Continuado Lib \"continuado\" ()",                                          // 20
        "#If Win64 Then",                                                                             // 21
        "    Private Declare PtrSafe Function GetTickCount64 Lib \"kernel32\" () As LongLong",        // 22
        "#Else",                                                                                      // 23
        "    Private Declare Function GetTickCount Lib \"kernel32\" () As Long",                      // 24
        "#End If",                                                                                    // 25
        "Private Declare Function Fuera Lib \"fuera.dll\" () As Long",                                // 26
        "Private Declare Function Doble Lib \"comi\"\"lla\" ()",                                      // 27
    }));
    EXPECT_EQ(declares(scan), QStringList({
                                  "GetWindowText user32.dll -> user32.dll @3",
                                  "Sleep KERNEL32 -> KERNEL32.dll @5",
                                  "GetWinFlags Kernel -> Kernel.dll @6",
                                  "MessageBeep User32 -> User32.dll @7",
                                  "Nada mscvrt -> mscvrt.dll @10",
                                  "lstrlen& kernel32 -> kernel32.dll @11",
                                  "TrasRemark remark -> remark.dll @18",
                                  "GetTickCount64 kernel32 -> kernel32.dll @22?",
                                  "GetTickCount kernel32 -> kernel32.dll @24?",
                                  "Fuera fuera.dll -> fuera.dll @26",
                                  "Doble comi\"lla -> comi\"lla.dll @27",
                              }))
        << "comments, string literals, Friend and Global are no Declare; a comment continues too";
    EXPECT_EQ(scan.declares[0].alias, "GetWindowTextA");
    EXPECT_EQ(scan.declares[2].alias, "#132");
    EXPECT_EQ(scan.declares[1].alias, "");
}

TEST(SourceScanner, TheFileNameIsTheOneTheLoaderOpens)
{
    const auto fileOf = [](const char* library) {
        const SourceScan scan = ScanSource(QByteArray("Declare Sub X Lib \"") + library + "\" ()\r\n");
        return scan.declares.isEmpty() ? QStringLiteral("<none>") : scan.declares[0].fileName;
    };
    EXPECT_EQ(fileOf("kernel32"), "kernel32.dll");
    EXPECT_EQ(fileOf("winmm.drv"), "winmm.drv");
    EXPECT_EQ(fileOf("sinext."), "sinext") << "a trailing dot says there is no extension";
    EXPECT_EQ(fileOf("sinext..."), "sinext");
    EXPECT_EQ(fileOf("..\\lib.v2\\util"), "..\\lib.v2\\util.dll") << "a dot in a folder is no extension";
    EXPECT_EQ(fileOf("c:/lib.v2/util"), "c:/lib.v2/util.dll");
    EXPECT_EQ(fileOf("C:\\Programa\\motor.dll"), "C:\\Programa\\motor.dll");
    EXPECT_EQ(fileOf(""), "");
    EXPECT_EQ(fileOf("."), "");
}

TEST(SourceScanner, KeywordsFoldOnlyAsciiLetters)
{
    // U+017F, the long s, folds to 's' under Unicode's rules.
    const QString text = QString::fromUtf8("Declare \u017Fub A Lib \"a\" ()\r\nDeclare Sub B Lib \"b\" ()\r\n"
                                           "Private Declare Function C Lib \"c\" () As Long\r\n");
    AnsiCodePage::use(65001);
    const SourceScan scan = ScanSource(text.toUtf8());
    AnsiCodePage::use(AnsiCodePage::kWestern);
    EXPECT_EQ(declares(scan), QStringList({"B b -> b.dll @2", "C c -> c.dll @3"}));
}

TEST(SourceScanner, ADoubleByteCodePageKeepsItsCharactersWhole)
{
    // In code page 932 the second byte of U+8868 is a backslash: the path's file name is "util".
    ASSERT_TRUE(AnsiCodePage::use(932));
    const QString line = QString::fromUtf8("Declare Function F Lib \"c:\\\u8868\\util\" () ' \u8868\r\n");
    const SourceScan scan = ScanSource(AnsiCodePage::encode(line));
    AnsiCodePage::use(AnsiCodePage::kWestern);
    ASSERT_EQ(scan.declares.size(), 1);
    EXPECT_EQ(scan.declares[0].fileName, QString::fromUtf8("c:\\\u8868\\util.dll"));
}

TEST(SourceScanner, HostileInputsAreReadAsFarAsTheyCanBe)
{
    // Binary junk with NUL bytes and lone CRs reads as lines of junk, and what follows is found.
    QByteArray junk;
    for (int i = 0; i < 65536; ++i)
        junk += char(i * 131 % 256);
    static constexpr char tail[] = "\r\nDeclare Sub A\0 Lib \"x\"\nDeclare Sub B Lib \"y\"\n";
    const SourceScan binary = ScanSource(junk + QByteArray(tail, sizeof tail - 1));
    EXPECT_EQ(declares(binary).filter(QStringLiteral("B y -> y.dll")).size(), 1);

    // A statement of 200,000 continued lines stays one statement, its text bounded.
    QByteArray continued = "Declare Sub Largo Lib \"largo\" _\r\n";
    for (int i = 0; i < 200000; ++i)
        continued += "    , ByVal x As Long _\r\n";
    continued += ")\r\nDeclare Sub Tras Lib \"tras\" ()\r\n";
    EXPECT_EQ(declares(ScanSource(continued)),
              QStringList({"Largo largo -> largo.dll @1", "Tras tras -> tras.dll @200003"}));

    // A Begin without its End leaves the rest as a description; an unclosed string is no library.
    EXPECT_TRUE(ScanSource("VERSION 5.00\nBegin VB.Form f\nDeclare Sub A Lib \"a\"\n").declares.isEmpty());
    EXPECT_TRUE(ScanSource("Declare Sub A Lib \"a\r\n").declares.isEmpty());

    // Past the size bound the lines within it are read and the scan says so.
    QByteArray large = "Declare Sub Antes Lib \"antes\" ()\r\n";
    large += QByteArray(kMaxSourceFileSize, 'x') + "\r\nDeclare Sub Despues Lib \"despues\" ()\r\n";
    const SourceScan cut = ScanSource(large);
    EXPECT_EQ(declares(cut), QStringList{"Antes antes -> antes.dll @1"});
    EXPECT_TRUE(cut.problem.startsWith(QStringLiteral("larger than 16777216 bytes"))) << cut.problem.toStdString();

    // More Declares than a module has lines end the scan with a reason.
    const SourceScan many = ScanSource(QByteArray("Declare Sub A Lib \"a\"\n").repeated(70000));
    EXPECT_EQ(many.declares.size(), 65536);
    EXPECT_FALSE(many.problem.isEmpty());
}

TEST(SourceScanner, AFileIsReadOnlyIfItIsARegularFileAndOnlyUpToTheBound)
{
    QTemporaryDir dir;
    const QString form = dir.filePath(QStringLiteral("grande.frm"));
    writeAll(form, crlf(kForm));
    // A form of 100 MB of NUL bytes after its text (a sparse file, read no further than the bound).
    {
        QFile file(form);
        ASSERT_TRUE(file.resize(100LL * 1024 * 1024));
    }
    const SourceScan large = ScanSourceFile(form);
    EXPECT_EQ(large.objects.size(), 2);
    EXPECT_EQ(large.declares.size(), 1);
    EXPECT_FALSE(large.problem.isEmpty());

    const SourceScan missing = ScanSourceFile(dir.filePath(QStringLiteral("no.bas")));
    EXPECT_TRUE(missing.declares.isEmpty());
    EXPECT_FALSE(missing.problem.isEmpty());
    EXPECT_EQ(ScanSourceFile(dir.path()).problem, "not a regular file");

    const QString fifo = dir.filePath(QStringLiteral("fifo.bas"));
    ASSERT_TRUE(makeFifo(fifo));
    SourceScan fromFifo;
    EXPECT_TRUE(returnsWithin([&] { fromFifo = ScanSourceFile(fifo); }, fifo));
    EXPECT_EQ(fromFifo.problem, "not a regular file");
}
