#include "platform/core/ProgramError.h"
#include "platform/drawing/SystemColors.h"
#include "support/GCommonDialog.h"

#include <functional>
#include <gtest/gtest.h>

namespace {

const QString ReportFilter = "Archivos de texto (*.TXT)|*.TXT|Archivos de texto enriquecido (*.RTF)|*.RTF|"
                             "Todos los archivos (*.*)|*.*";
const QChar Nul(0);

// Answers the dialogs as a user would, and keeps what each was asked.
struct ScriptedDialogs : CommonDialogAnswerer {
    ScriptedDialogs() { InstallCommonDialogAnswerer(this); }
    ~ScriptedDialogs() override { InstallCommonDialogAnswerer(nullptr); }

    int fileName(OpenFileNameRequest& request, bool save) override
    {
        if (during)
            during();
        asked = request;
        askedSave = save;
        if (result == 1) {
            request.lpstrFile = chosen + QString(request.nMaxFile - chosen.size(), Nul);
            request.lpstrFileTitle = chosen.section('\\', -1) + QString(Nul);
            request.nFilterIndex = filterIndex;
            request.Flags |= returnedFlags;
        }
        return result;
    }
    int chooseColor(ChooseColorRequest& request) override
    {
        colorFlags = request.Flags;
        customSeen = *request.lpCustColors;
        if (result == 1) {
            request.rgbResult = 0x00123456;
            (*request.lpCustColors)[3] = 0x00ABCDEF;
        }
        return result;
    }
    int pageSetupDlg(PageSetupRequest& request) override
    {
        pageFlags = request.Flags;
        pageMarginsIn = request.rtMargin;
        if (result != 1)
            return result;
        request.rtMargin = QMargins(1000, 500, 1250, 750);  // thousandths of an inch, or hundredths of mm
        request.hDevMode = DeviceMode{"PDF", 2, 9, 3, -4, 1};
        return 1;
    }
    int printDlg(PrintDlgRequest& request) override
    {
        printFlags = request.Flags;
        if (result != 1)
            return result;
        request.Flags = (request.Flags & ~0x3) | 0x2;
        request.nFromPage = 2;
        request.nToPage = 5;
        request.hDevMode = DeviceMode{"PDF", 2, 9, 4, -3, 1};
        request.hDC = 77;
        return 1;
    }
    int extendedError() override { return error; }

    std::function<void()> during; // runs while the file dialog is up
    int result = 1;
    int error = 0;
    QString chosen = "C:\\tmp\\informe.RTF";
    int filterIndex = 2;
    int returnedFlags = 0;
    OpenFileNameRequest asked;
    bool askedSave = false;
    int colorFlags = 0;
    std::array<qint32, 16> customSeen{};
    int pageFlags = 0;
    QMargins pageMarginsIn;
    int printFlags = 0;
};

struct RefusingPrinter : PrinterObject {
    QStringList set;
    void SetCopies(int copies) override { set << QString("copies %1").arg(copies); }
    void SetOrientation(int) override { throw ProgramError(380, "Invalid property value"); }
    void SetPaperSize(int size) override { set << QString("paper %1").arg(size); }
    void SetPrintQuality(int) override { throw ProgramError(380, "Invalid property value"); }
};

}

TEST(GCommonDialogRules, FiltersBecomeNulSeparatedListsEndedByTwoNuls)
{
    EXPECT_EQ(GCommonDialog::ConvertFilter("A|*.a"), QString("A") + Nul + "*.a" + Nul + Nul);
    EXPECT_EQ(GCommonDialog::ConvertFilter("Texto: TXT|*.txt"), QString("Texto") + Nul + " TXT" + Nul + "*.txt" + Nul + Nul)
        << "a colon splits the entry";
    EXPECT_TRUE(GCommonDialog::ConvertFilter("A|*.a|").endsWith(QString(3, Nul)));

    const QString converted = GCommonDialog::ConvertFilter(ReportFilter);
    EXPECT_EQ(GCommonDialog::FilterLookup(converted, 2), QString("Archivos de texto enriquecido (*.RTF)") + Nul + "*.RTF");
    EXPECT_EQ(GCommonDialog::FilterLookup(converted, 3), QString("Todos los archivos (*.*)") + Nul + "*.*");
    EXPECT_EQ(GCommonDialog::FilterLookup(converted, 0), "");
    EXPECT_EQ(GCommonDialog::FilterLookup(QString(), 1), "");
    EXPECT_EQ(GCommonDialog::FilterLookup(QString("sin patron"), 1), "") << "no NUL after the description";
}

TEST(GCommonDialogRules, FlagsNeverEnableAHookOrATemplate)
{
    EXPECT_EQ(GCommonDialog::SaveFileFlags(0, true), 0x6);
    EXPECT_EQ(GCommonDialog::SaveFileFlags(0x60 | 0x800, false), 0x804);
    EXPECT_EQ(GCommonDialog::OpenFileFlags(0x60, true, true, true, true), 0x200 | 0x1 | 0x4 | 0x1000);
    EXPECT_EQ(GCommonDialog::OpenFileFlags(0, false, false, false, false), 0);
    EXPECT_EQ(GCommonDialog::ColorFlags(true, true, false), 0x100 | 0x1 | 0x2);
    EXPECT_EQ(GCommonDialog::ColorFlags(false, false, true), 0x80 | 0x1 | 0x4);
    EXPECT_EQ(GCommonDialog::FontFlags(0x8 | 0x10 | 0x200, false, 0, 0, 0), 0x1 | 0x40);
    EXPECT_EQ(GCommonDialog::FontFlags(0, true, 0xFF, 8, 0), 0x2 | 0x100 | 0x2000 | 0x40);
    EXPECT_EQ(GCommonDialog::PrintFlags(0xF000, 1, true, true, false, true, true, true, true),
              0x2 | 0x8 | 0x80000 | 0x4 | 0x20 | 0x100000 | 0x80 | 0x10 | 0x40000 | 0x100);
    EXPECT_EQ(GCommonDialog::PrintFlags(0, 2, false, false, true, false, false, false, false), 0x1 | 0x40000 | 0x100);
    EXPECT_EQ(GCommonDialog::PageSetupFlags(true, true, true, true, 0), 0x10 | 0x100 | 0x200 | 0x20 | 0x4);
    EXPECT_EQ(GCommonDialog::PageSetupFlags(false, false, false, false, 1), 0x8);
    EXPECT_EQ(GCommonDialog::UnitFactor(0), 1000);
    EXPECT_EQ(GCommonDialog::UnitFactor(2), 100);
}

TEST(GCommonDialogRules, BuffersAreCutAtTheirFirstNul)
{
    EXPECT_EQ(GCommonDialog::TrimAtNul(QString("C:\\tmp\\ñ.txt") + Nul + "resto" + Nul), "C:\\tmp\\ñ.txt");
    EXPECT_EQ(GCommonDialog::TrimAtNul("sin nul"), "sin nul");
}

TEST(GCommonDialog, AConfirmedSaveReturnsTheNameTheFilterAndTheFlags)
{
    ScriptedDialogs dialogs;
    dialogs.returnedFlags = 0x8000;
    GCommonDialog dialog;
    QString Filename, FileTitle, Filter = ReportFilter;
    int FilterIndex = 1, flags = 0x20;
    EXPECT_TRUE(dialog.VBGetSaveFileName(Filename, FileTitle, true, Filter, FilterIndex, "C:\\programa", "Guardar",
                                         "TXT", -1, flags));
    EXPECT_TRUE(dialogs.askedSave);
    EXPECT_EQ(dialogs.asked.lStructSize, 76);
    EXPECT_EQ(dialogs.asked.hwndOwner, 0) << "owner -1 means none";
    EXPECT_EQ(dialogs.asked.Flags, 0x6);
    EXPECT_EQ(dialogs.asked.nMaxFile, 260);
    EXPECT_EQ(dialogs.asked.lpstrFile, QString(260, Nul));
    EXPECT_EQ(dialogs.asked.lpstrDefExt, "TXT");
    EXPECT_EQ(dialogs.asked.lpstrInitialDir, "C:\\programa");
    EXPECT_EQ(Filename, "C:\\tmp\\informe.RTF");
    EXPECT_EQ(FileTitle, "informe.RTF");
    EXPECT_EQ(FilterIndex, 2);
    EXPECT_EQ(Filter, QString("Archivos de texto enriquecido (*.RTF)") + Nul + "*.RTF");
    EXPECT_EQ(flags, 0x8006);
    EXPECT_EQ(dialog.APIReturn(), 1);
}

TEST(GCommonDialog, CancellingResetsTheOutputsAndOnlyOddResultsReadTheExtendedError)
{
    ScriptedDialogs dialogs;
    dialogs.result = 0;
    dialogs.error = 0x3003;
    GCommonDialog dialog;
    QString Filename = "x", FileTitle = "y", Filter = ReportFilter;
    int FilterIndex = 2, flags = 4;
    EXPECT_FALSE(dialog.VBGetSaveFileName(Filename, FileTitle, true, Filter, FilterIndex, "", "", "", 0, flags));
    EXPECT_EQ(std::tuple(Filename, FileTitle, Filter, FilterIndex, flags), std::tuple(QString(), QString(), QString(), 0, 0));
    EXPECT_EQ(dialog.ExtendedError(), 0);

    bool ReadOnly = false;
    Filter = ReportFilter;
    dialogs.result = 2;
    EXPECT_FALSE(dialog.VBGetOpenFileName(Filename, FileTitle, true, false, ReadOnly, true, Filter, FilterIndex, "", "",
                                          "", 0, flags));
    EXPECT_EQ(FilterIndex, -1) << "a cancelled open gives -1";
    EXPECT_EQ(dialog.APIReturn(), 2);
    EXPECT_EQ(dialog.ExtendedError(), 0x3003);
}

TEST(GCommonDialog, OpenReportsTheReadOnlyBoxAndRefusesOverlongNames)
{
    ScriptedDialogs dialogs;
    dialogs.returnedFlags = 0x1;
    GCommonDialog dialog;
    QString Filename, FileTitle, Filter = "A|*.a";
    bool ReadOnly = false;
    int FilterIndex = 1, flags = 0;
    EXPECT_TRUE(dialog.VBGetOpenFileName(Filename, FileTitle, true, true, ReadOnly, false, Filter, FilterIndex, "", "",
                                         "", 0, flags));
    EXPECT_EQ(dialogs.asked.Flags, 0x200 | 0x1000);
    EXPECT_TRUE(ReadOnly);

    Filename = QString(261, u'a');
    dialogs.asked = OpenFileNameRequest();
    try {
        dialog.VBGetOpenFileName(Filename, FileTitle, true, true, ReadOnly, false, Filter, FilterIndex, "", "", "", 0, flags);
        FAIL() << "an over-long name is an invalid argument";
    } catch (const ProgramError& error) {
        EXPECT_EQ(error.Number, 5);
        EXPECT_EQ(error.Source, "Zantrel.GCommonDialog");
    }
    EXPECT_EQ(dialogs.asked.lStructSize, 0) << "no dialog was shown";
}

TEST(GCommonDialog, FileTitlesComeFromThePlatform)
{
    GCommonDialog dialog;
    EXPECT_EQ(dialog.VBGetFileTitle("C:\\tmp\\informe.txt"), "informe.txt");
    EXPECT_EQ(dialog.VBGetFileTitle("C:\\tmp\\"), "");
    EXPECT_EQ(dialog.VBGetFileTitle("C:\\tmp\\a*b"), "");
}

TEST(GCommonDialog, ColoursStartFromTheSystemColoursAndKeepTheDialogsChanges)
{
    ScriptedDialogs dialogs;
    GCommonDialog dialog;
    EXPECT_EQ(dialog.CustomColor(5), GetSysColor(5));
    EXPECT_EQ(dialog.CustomColor(16), -1);
    dialog.SetCustomColor(16, 1);  // ignored
    dialog.SetCustomColor(0, 0x00010203);
    qint32 colour = 0xFF;
    EXPECT_TRUE(dialog.VBChooseColor(colour, false, true));
    EXPECT_EQ(dialogs.colorFlags, 0x80 | 0x1 | 0x2);
    EXPECT_EQ(dialogs.customSeen[0], 0x00010203);
    EXPECT_EQ(colour, 0x00123456);
    EXPECT_EQ(dialog.CustomColor(3), 0x00ABCDEF);

    dialogs.result = 0;
    EXPECT_FALSE(dialog.VBChooseColor(colour));
    EXPECT_EQ(colour, -1);
}

TEST(GCommonDialog, PageSetupConvertsUnitsAndACancelLeavesTheCallersMargins)
{
    ScriptedDialogs dialogs;
    GCommonDialog dialog;
    float left = 0.5f, minLeft = 0, right = 0, minRight = 0, top = 0, minTop = 0, bottom = 0, minBottom = 0;
    int paper = 0, orientation = 0, quality = 0;
    RefusingPrinter printer;
    EXPECT_TRUE(dialog.VBPageSetupDlg2(-1, false, false, false, false, left, minLeft, right, minRight, top, minTop,
                                       bottom, minBottom, paper, orientation, quality, 0, &printer, 0));
    EXPECT_EQ(dialogs.pageFlags, 0x4);
    EXPECT_EQ(dialogs.pageMarginsIn.left(), 500);
    EXPECT_FLOAT_EQ(left, 1.0f);
    EXPECT_FLOAT_EQ(right, 1.25f);
    EXPECT_EQ(std::tuple(paper, orientation, quality), std::tuple(9, 2, -4));
    EXPECT_EQ(printer.set, QStringList({"copies 3", "paper 9"})) << "refused settings are passed over";
    EXPECT_EQ(dialog.APIReturn(), 0) << "the page setup pair leaves APIReturn alone";

    std::int32_t l = 7, ml = 7, r = 7, mr = 7, t = 7, mt = 7, b = 7, mb = 7;
    EXPECT_TRUE(dialog.VBPageSetupDlg(0, false, false, false, false, l, ml, r, mr, t, mt, b, mb, paper, orientation,
                                      quality, 1, nullptr, 0));
    EXPECT_EQ(dialogs.pageFlags, 0x8);
    EXPECT_EQ(std::tuple(l, r, t, b), std::tuple(10, 13, 5, 8)) << "hundredths of a millimetre, rounded";

    dialogs.result = 0;
    l = 7;
    EXPECT_FALSE(dialog.VBPageSetupDlg(0, false, false, false, false, l, ml, r, mr, t, mt, b, mb, paper, orientation,
                                       quality, 1, nullptr, 0));
    EXPECT_EQ(l, 7);
}

TEST(GCommonDialog, PrintDialogReturnsRangeCopiesAndTheDeviceMode)
{
    ScriptedDialogs dialogs;
    GCommonDialog dialog;
    DeviceContext hdc = 0;
    int range = 0, from = 1, to = 1, copies = 1;
    bool toFile = false, collate = false;
    EXPECT_TRUE(dialog.VBPrintDlg(hdc, range, false, from, to, false, copies, true, false, toFile, collate, false, 0,
                                  nullptr, 0x1000));
    EXPECT_EQ(dialogs.printFlags, 0x40000 | 0x100);
    EXPECT_EQ(hdc, 77);
    EXPECT_EQ(std::tuple(range, from, to, copies, collate, toFile), std::tuple(1, 2, 5, 4, true, false));
    ASSERT_TRUE(dialog.PrinterSettings());
    EXPECT_EQ(dialog.PrinterSettings()->dmOrientation, 2);
}

TEST(GCommonDialog, ASinkHandedInWithHookIsNeverCalledAndTheDialogGetsNoHook)
{
    struct RecordingSink : DialogEventSink {
        QStringList calls;
        QVariant InitDialog(WindowHandle) override { calls << "InitDialog"; return 7; }
        QVariant DialogClose() override { calls << "DialogClose"; return 7; }
        QVariant FileChange(WindowHandle) override { calls << "FileChange"; return 7; }
        QVariant FolderChange(WindowHandle) override { calls << "FolderChange"; return 7; }
        QVariant TypeChange(WindowHandle) override { calls << "TypeChange"; return 7; }
        bool ConfirmOK() override { calls << "ConfirmOK"; return false; }
    } sink;
    ScriptedDialogs dialogs;
    GCommonDialog dialog;
    // Every notification a hooked dialog would send, while the dialog is up and after it.
    QList<QVariant> answers;
    const auto notify = [&] {
        NotifyHeader ok{0, 0, -606}, type{0, 0, -607};
        answers << dialog.DialogHook(1, 0x110, 0, 0) << dialog.DialogHook(1, 0x4E, 0, reinterpret_cast<qintptr>(&ok))
                << dialog.DialogHook(1, 0x4E, 0, reinterpret_cast<qintptr>(&type)) << dialog.DialogHook(1, 0x82, 0, 0);
    };
    dialogs.during = notify;
    QString Filename, FileTitle, Filter = ReportFilter;
    int FilterIndex = 1, flags = GCommonDialog::OFN_ENABLEHOOK;
    EXPECT_TRUE(dialog.VBGetSaveFileName(Filename, FileTitle, true, Filter, FilterIndex, "C:\\programa", "Guardar",
                                         "TXT", -1, flags, true, &sink));
    EXPECT_EQ(dialogs.asked.Flags & GCommonDialog::OFN_ENABLEHOOK, 0);
    notify();
    EXPECT_TRUE(sink.calls.isEmpty()) << sink.calls.join(", ").toStdString();
    EXPECT_EQ(answers.size(), 8);
    for (const QVariant& answer : answers)
        EXPECT_FALSE(answer.isValid());
    EXPECT_EQ(dialog.DialogMessageResult(), 0) << "the OK button is never refused";
}
