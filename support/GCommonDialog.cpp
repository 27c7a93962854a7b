#include "support/GCommonDialog.h"

#include "platform/core/AnsiCodePage.h"
#include "platform/core/ProgramError.h"
#include "platform/drawing/SystemColors.h"
#include "support/Version.h"

#include <QGuiApplication>
#include <QScreen>
#include <cmath>

namespace {

constexpr int OpenFileNameSize = 76;
constexpr int ChooseColorSize = 36;
constexpr int ChooseFontSize = 60;
constexpr int PrintDlgSize = 66;
constexpr int PageSetupSize = 84;

WindowHandle ownerOf(WindowHandle Owner)
{
    return Owner == -1 ? 0 : Owner;
}

// A file buffer: the text followed by NULs up to the capacity. Longer text is an invalid argument.
QString fileBuffer(const QString& text)
{
    if (text.size() > GCommonDialog::MaxPath)
        throw ProgramError(ErrorNumbers::InvalidProcedureCall,
                           StandardErrorDescription(ErrorNumbers::InvalidProcedureCall),
                           QString::fromLatin1(Version::AppTitle) + QStringLiteral(".GCommonDialog"));
    return text + QString(GCommonDialog::MaxPath - text.size(), QChar(0));
}

// Twips per screen pixel down the screen: 15 at 96 pixels per inch.
double twipsPerPixelY()
{
    if (auto* gui = qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
        if (QScreen* screen = gui->primaryScreen())
            return 1440.0 / screen->logicalDotsPerInchY();
    return 15.0;
}

}

void GCommonDialog::begin()
{
    apiReturn_ = 0;
    extendedError_ = 0;
}

bool GCommonDialog::settle(int result)
{
    apiReturn_ = result;
    eventSink_ = nullptr;
    if (result != 0 && result != 1)
        extendedError_ = CommDlgExtendedError();
    return result == 1;
}

int GCommonDialog::SaveFileFlags(int flags, bool OverWritePrompt)
{
    int result = flags & ~(OFN_ENABLEHOOK | OFN_ENABLETEMPLATE);
    if (OverWritePrompt)
        result |= OFN_OVERWRITEPROMPT;
    return result | OFN_HIDEREADONLY;
}

int GCommonDialog::OpenFileFlags(int flags, bool MultiSelect, bool ReadOnly, bool HideReadOnly, bool FileMustExist)
{
    int result = flags & ~(OFN_ENABLEHOOK | OFN_ENABLETEMPLATE);
    if (MultiSelect)
        result |= OFN_ALLOWMULTISELECT;
    if (ReadOnly)
        result |= OFN_READONLY;
    if (HideReadOnly)
        result |= OFN_HIDEREADONLY;
    if (FileMustExist)
        result |= OFN_FILEMUSTEXIST;
    return result;
}

QString GCommonDialog::ConvertFilter(const QString& Filter)
{
    QString converted = Filter;
    for (QChar& c : converted)
        if (c == u'|' || c == u':')
            c = QChar(0);
    return converted + QChar(0) + QChar(0);
}

QString GCommonDialog::FilterLookup(const QString& converted, int index)
{
    if (converted.isEmpty())
        return QString();
    qsizetype start = 0;
    int n = index;
    for (;;) {
        const qsizetype descriptionEnd = converted.indexOf(QChar(0), start);
        if (descriptionEnd < 0)
            return QString();
        const qsizetype patternEnd = converted.indexOf(QChar(0), descriptionEnd + 1);
        const QString entry = patternEnd < 0 ? converted.mid(start) : converted.mid(start, patternEnd - start);
        if (n == 1)
            return entry;
        if (--n <= 0 || patternEnd < 0)
            return QString();
        start = patternEnd + 1;
    }
}

QString GCommonDialog::TrimAtNul(const QString& buffer)
{
    const QByteArray bytes = AnsiCodePage::encode(buffer);
    const qsizetype nul = bytes.indexOf('\0');
    return nul < 0 ? buffer : buffer.left(nul);
}

bool GCommonDialog::VBGetOpenFileName(QString& Filename, QString& FileTitle, bool FileMustExist, bool MultiSelect,
                                      bool& ReadOnly, bool HideReadOnly, QString& Filter, int& FilterIndex,
                                      const QString& InitDir, const QString& DlgTitle, const QString& DefaultExt,
                                      WindowHandle Owner, int& flags, bool, DialogEventSink*)
{
    begin();
    OpenFileNameRequest request;
    request.lStructSize = OpenFileNameSize;
    request.hwndOwner = ownerOf(Owner);
    const QString converted = ConvertFilter(Filter);
    request.lpstrFilter = converted;
    request.nFilterIndex = FilterIndex;
    request.lpstrFile = fileBuffer(Filename);
    request.nMaxFile = MaxPath;
    request.lpstrFileTitle = fileBuffer(FileTitle);
    request.nMaxFileTitle = MaxPath;
    request.lpstrInitialDir = InitDir;
    request.lpstrTitle = DlgTitle;
    request.Flags = OpenFileFlags(flags, MultiSelect, ReadOnly, HideReadOnly, FileMustExist);
    request.lpstrDefExt = DefaultExt;
    if (settle(GetOpenFileNameA(request))) {
        Filename = TrimAtNul(request.lpstrFile);
        FileTitle = TrimAtNul(request.lpstrFileTitle);
        flags = request.Flags;
        if (flags & OFN_READONLY)
            ReadOnly = true;
        FilterIndex = request.nFilterIndex;
        Filter = FilterLookup(converted, FilterIndex);
        return true;
    }
    Filename.clear();
    FileTitle.clear();
    flags = 0;
    FilterIndex = -1;
    Filter.clear();
    return false;
}

bool GCommonDialog::VBGetSaveFileName(QString& Filename, QString& FileTitle, bool OverWritePrompt, QString& Filter,
                                      int& FilterIndex, const QString& InitDir, const QString& DlgTitle,
                                      const QString& DefaultExt, WindowHandle Owner, int& flags, bool,
                                      DialogEventSink*)
{
    begin();
    OpenFileNameRequest request;
    request.lStructSize = OpenFileNameSize;
    request.hwndOwner = ownerOf(Owner);
    const QString converted = ConvertFilter(Filter);
    request.lpstrFilter = converted;
    request.nFilterIndex = FilterIndex;
    request.lpstrFile = fileBuffer(Filename);
    request.nMaxFile = MaxPath;
    request.lpstrFileTitle = fileBuffer(FileTitle);
    request.nMaxFileTitle = MaxPath;
    request.lpstrInitialDir = InitDir;
    request.lpstrTitle = DlgTitle;
    request.Flags = SaveFileFlags(flags, OverWritePrompt);
    request.lpstrDefExt = DefaultExt;
    if (settle(GetSaveFileNameA(request))) {
        Filename = TrimAtNul(request.lpstrFile);
        FileTitle = TrimAtNul(request.lpstrFileTitle);
        flags = request.Flags;
        FilterIndex = request.nFilterIndex;
        Filter = FilterLookup(converted, FilterIndex);
        return true;
    }
    Filename.clear();
    FileTitle.clear();
    flags = 0;
    FilterIndex = 0;
    Filter.clear();
    return false;
}

QString GCommonDialog::VBGetFileTitle(const QString& sFIle)
{
    QString title(MaxPath, QChar(0));
    if (GetFileTitleA(sFIle, title, MaxPath) != 0)
        return QString();
    return TrimAtNul(title);
}

int GCommonDialog::ColorFlags(bool AnyColor, bool FullOpen, bool DisableFullOpen)
{
    int flags = (AnyColor ? 0x100 : 0x80) | 0x1;
    if (FullOpen)
        flags |= 0x2;
    if (DisableFullOpen)
        flags |= 0x4;
    return flags & ~(0x10 | 0x20);
}

void GCommonDialog::fillCustomColors()
{
    if (customColorsFilled_)
        return;
    for (int i = 0; i < 16; ++i)
        customColors_[static_cast<std::size_t>(i)] = GetSysColor(i);
    customColorsFilled_ = true;
}

qint32 GCommonDialog::CustomColor(int i)
{
    fillCustomColors();
    return i >= 0 && i < 16 ? customColors_[static_cast<std::size_t>(i)] : -1;
}

void GCommonDialog::SetCustomColor(int i, qint32 iValue)
{
    fillCustomColors();
    if (i >= 0 && i < 16)
        customColors_[static_cast<std::size_t>(i)] = iValue;
}

bool GCommonDialog::VBChooseColor(qint32& Color, bool AnyColor, bool FullOpen, bool DisableFullOpen,
                                  WindowHandle Owner, int, bool, DialogEventSink*)
{
    begin();
    fillCustomColors();
    ChooseColorRequest request;
    request.lStructSize = ChooseColorSize;
    request.hwndOwner = ownerOf(Owner);
    request.rgbResult = Color;
    request.lpCustColors = &customColors_;
    request.Flags = ColorFlags(AnyColor, FullOpen, DisableFullOpen);
    if (settle(ChooseColorA(request))) {
        Color = request.rgbResult;
        return true;
    }
    Color = -1;
    return false;
}

int GCommonDialog::FontFlags(int flags, bool printerGiven, qint32 Color, int MinSize, int MaxSize)
{
    int result = flags;
    if (printerGiven)
        result |= CF_PRINTERFONTS;
    if (!(result & CF_PRINTERFONTS))
        result |= CF_SCREENFONTS;
    if (Color != 0)
        result |= CF_EFFECTS;
    if (MinSize != 0 || MaxSize != 0)
        result |= CF_LIMITSIZE;
    result &= ~(0x8 | 0x10 | 0x200);
    return result | CF_INITTOLOGFONTSTRUCT;
}

bool GCommonDialog::VBChooseFont(StdFont& CurFont, DeviceContext& PrinterDC, WindowHandle Owner, qint32& Color,
                                 int MinSize, int MaxSize, int& flags, bool, DialogEventSink*)
{
    begin();
    const bool printerGiven = PrinterDC != -1;
    if (!printerGiven)
        PrinterDC = (flags & CF_PRINTERFONTS) ? DefaultPrinterDC() : 0;
    LogFont font;
    font.lfHeight = -static_cast<int>(std::lround(CurFont.Size * 20 / twipsPerPixelY()));
    font.lfWeight = CurFont.Weight;
    font.lfItalic = CurFont.Italic;
    font.lfUnderline = CurFont.Underline;
    font.lfStrikeOut = CurFont.Strikethrough;
    font.lfFaceName = CurFont.Name;
    ChooseFontRequest request;
    request.lStructSize = ChooseFontSize;
    request.hwndOwner = ownerOf(Owner);
    request.hDC = PrinterDC;
    request.lpLogFont = &font;
    request.iPointSize = static_cast<int>(std::lround(CurFont.Size * 10));
    request.Flags = FontFlags(flags, printerGiven, Color, MinSize, MaxSize);
    request.rgbColors = Color;
    request.nSizeMin = MinSize;
    request.nSizeMax = MaxSize;
    if (!settle(ChooseFontA(request)))
        return false;
    flags = request.Flags;
    Color = request.rgbColors;
    CurFont.Bold = request.nFontType & 0x100;
    CurFont.Italic = font.lfItalic;
    CurFont.Strikethrough = font.lfStrikeOut;
    CurFont.Underline = font.lfUnderline;
    CurFont.Weight = font.lfWeight;
    CurFont.Size = request.iPointSize / 10.0;
    CurFont.Name = font.lfFaceName;
    return true;
}

int GCommonDialog::PrintFlags(int flags, int PrintRange, bool DisablePageNumbers, bool DisableSelection,
                              bool ShowPrintToFile, bool DisablePrintToFile, bool PrintToFile, bool Collate,
                              bool PreventWarning)
{
    int result = flags;
    if (DisablePageNumbers)
        result |= 0x8;
    if (DisablePrintToFile)
        result |= 0x80000;
    if (DisableSelection)
        result |= 0x4;
    if (PrintToFile)
        result |= PD_PRINTTOFILE;
    if (!ShowPrintToFile)
        result |= 0x100000;
    if (PreventWarning)
        result |= 0x80;
    if (Collate)
        result |= PD_COLLATE;
    // Copies and collation through the device mode, and a device context back.
    result |= 0x40000 | 0x100;
    if (PrintRange == 1)
        result |= PD_PAGENUMS;
    else if (PrintRange == 2)
        result |= PD_SELECTION;
    return result & ~(0x1000 | 0x2000 | 0x4000 | 0x8000);
}

void GCommonDialog::tellPrinter(PrinterObject* printer, int copies, const DeviceMode& mode)
{
    if (!printer)
        return;
    // Each setting the printer refuses is passed over.
    try { printer->SetCopies(copies); } catch (const ProgramError&) {}
    try { printer->SetOrientation(mode.dmOrientation); } catch (const ProgramError&) {}
    try { printer->SetPaperSize(mode.dmPaperSize); } catch (const ProgramError&) {}
    try { printer->SetPrintQuality(mode.dmPrintQuality); } catch (const ProgramError&) {}
}

bool GCommonDialog::VBPrintDlg(DeviceContext& hdc, int& PrintRange, bool DisablePageNumbers, int& FromPage,
                               int& ToPage, bool DisableSelection, int& Copies, bool ShowPrintToFile,
                               bool DisablePrintToFile, bool& PrintToFile, bool& Collate, bool PreventWarning,
                               WindowHandle Owner, PrinterObject* Printer, int flags, bool, DialogEventSink*)
{
    begin();
    PrintDlgRequest request;
    request.lStructSize = PrintDlgSize;
    request.hwndOwner = ownerOf(Owner);
    request.hDevMode = deviceMode_;
    request.Flags = PrintFlags(flags, PrintRange, DisablePageNumbers, DisableSelection, ShowPrintToFile,
                               DisablePrintToFile, PrintToFile, Collate, PreventWarning);
    request.nFromPage = FromPage;
    request.nToPage = ToPage;
    request.nMinPage = 1;
    request.nMaxPage = 65535;
    request.nCopies = Copies;
    if (!settle(PrintDlgA(request)))
        return false;
    hdc = request.hDC;
    PrintRange = request.Flags & PD_PAGENUMS ? 1 : request.Flags & PD_SELECTION ? 2 : 0;
    FromPage = request.nFromPage;
    ToPage = request.nToPage;
    PrintToFile = request.Flags & PD_PRINTTOFILE;
    const DeviceMode mode = request.hDevMode.value_or(DeviceMode());
    deviceMode_ = mode;
    if (request.Flags & PD_COLLATE) {
        Collate = true;
        Copies = request.nCopies;
    } else {
        Collate = mode.dmCollate == 1;
        Copies = mode.dmCopies;
    }
    tellPrinter(Printer, Copies, mode);
    return true;
}

int GCommonDialog::PageSetupFlags(bool DisableMargins, bool DisableOrientation, bool DisablePaper,
                                  bool DisablePrinter, int Units)
{
    int flags = 0;
    if (DisableMargins)
        flags |= 0x10;
    if (DisableOrientation)
        flags |= 0x100;
    if (DisablePaper)
        flags |= 0x200;
    if (DisablePrinter)
        flags |= 0x20;
    return flags | (Units == 0 ? 0x4 : 0x8);
}

bool GCommonDialog::VBPageSetupDlg2(WindowHandle Owner, bool DisableMargins, bool DisableOrientation,
                                    bool DisablePaper, bool DisablePrinter, float& LeftMargin, float& MinLeftMargin,
                                    float& RightMargin, float& MinRightMargin, float& TopMargin,
                                    float& MinTopMargin, float& BottomMargin, float& MinBottomMargin,
                                    int& PaperSize, int& Orientation, int& PrintQuality, int Units,
                                    PrinterObject* Printer, int, bool, DialogEventSink*)
{
    begin();
    const double factor = UnitFactor(Units);
    auto in = [factor](float value) { return static_cast<int>(std::lround(value * factor)); };
    auto out = [factor](int value) { return static_cast<float>(value / factor); };
    PageSetupRequest request;
    request.lStructSize = PageSetupSize;
    request.hwndOwner = ownerOf(Owner);
    request.Flags = PageSetupFlags(DisableMargins, DisableOrientation, DisablePaper, DisablePrinter, Units);
    request.rtMargin = QMargins(in(LeftMargin), in(TopMargin), in(RightMargin), in(BottomMargin));
    request.rtMinMargin = QMargins(in(MinLeftMargin), in(MinTopMargin), in(MinRightMargin), in(MinBottomMargin));
    const int result = PageSetupDlgA(request);
    eventSink_ = nullptr;
    if (result != 1)
        return false;
    LeftMargin = out(request.rtMargin.left());
    TopMargin = out(request.rtMargin.top());
    RightMargin = out(request.rtMargin.right());
    BottomMargin = out(request.rtMargin.bottom());
    MinLeftMargin = out(request.rtMinMargin.left());
    MinTopMargin = out(request.rtMinMargin.top());
    MinRightMargin = out(request.rtMinMargin.right());
    MinBottomMargin = out(request.rtMinMargin.bottom());
    const DeviceMode mode = request.hDevMode.value_or(DeviceMode());
    deviceMode_ = mode;
    PaperSize = mode.dmPaperSize;
    Orientation = mode.dmOrientation;
    PrintQuality = mode.dmPrintQuality;
    tellPrinter(Printer, mode.dmCopies, mode);
    return true;
}

bool GCommonDialog::VBPageSetupDlg(WindowHandle Owner, bool DisableMargins, bool DisableOrientation,
                                   bool DisablePaper, bool DisablePrinter, std::int32_t& LeftMargin,
                                   std::int32_t& MinLeftMargin, std::int32_t& RightMargin,
                                   std::int32_t& MinRightMargin, std::int32_t& TopMargin, std::int32_t& MinTopMargin,
                                   std::int32_t& BottomMargin, std::int32_t& MinBottomMargin, int& PaperSize,
                                   int& Orientation, int& PrintQuality, int Units, PrinterObject* Printer, int flags,
                                   bool Hook, DialogEventSink* EventSink)
{
    std::array<float, 8> margins{};
    auto& [left, minLeft, right, minRight, top, minTop, bottom, minBottom] = margins;
    const bool confirmed = VBPageSetupDlg2(Owner, DisableMargins, DisableOrientation, DisablePaper, DisablePrinter,
                                           left, minLeft, right, minRight, top, minTop, bottom, minBottom, PaperSize,
                                           Orientation, PrintQuality, Units, Printer, flags, Hook, EventSink);
    // A cancelled dialog returns no margins; the caller keeps his own.
    if (confirmed) {
        std::int32_t* targets[] = {&LeftMargin, &MinLeftMargin, &RightMargin, &MinRightMargin,
                                   &TopMargin, &MinTopMargin, &BottomMargin, &MinBottomMargin};
        for (std::size_t i = 0; i < margins.size(); ++i)
            *targets[i] = static_cast<std::int32_t>(std::lround(margins[i]));
    }
    return confirmed;
}

QVariant GCommonDialog::DialogHook(WindowHandle hDlg, int Msg, qintptr, qintptr lParam)
{
    if (!eventSink_)
        return QVariant();
    switch (Msg) {
    case 0x110: return eventSink_->InitDialog(hDlg);
    case 0x82: return eventSink_->DialogClose();
    case 0x4E: {
        const auto* header = reinterpret_cast<const NotifyHeader*>(lParam);
        if (!header)
            return QVariant();
        switch (header->code) {
        case -602: return eventSink_->FileChange(hDlg);
        case -603: return eventSink_->FolderChange(hDlg);
        case -607: return eventSink_->TypeChange(hDlg);
        case -606:
            if (!eventSink_->ConfirmOK()) {
                messageResult_ = 1;
                return 1;
            }
            messageResult_ = 0;
            return QVariant();
        }
        return QVariant();
    }
    }
    return QVariant();
}
