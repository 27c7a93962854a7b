#pragma once

#include "platform/desktop/CommonDialogs.h"

#include <QString>
#include <QVariant>
#include <array>
#include <cstdint>
#include <optional>

// Receives the notifications of a dialog shown with a hook. Dialogs are never shown with a hook,
// so nothing in the program implements it; DialogHook forwards to it when one is set.
class DialogEventSink {
public:
    virtual ~DialogEventSink() = default;
    virtual QVariant InitDialog(WindowHandle hDlg) = 0;
    virtual QVariant DialogClose() = 0;
    virtual QVariant FileChange(WindowHandle hDlg) = 0;
    virtual QVariant FolderChange(WindowHandle hDlg) = 0;
    virtual QVariant TypeChange(WindowHandle hDlg) = 0;
    // False keeps the dialog open.
    virtual bool ConfirmOK() = 0;
};

// The header of a dialog's notification (message 0x4E); its address is the message's lParam.
struct NotifyHeader {
    WindowHandle hwndFrom = 0;
    qintptr idFrom = 0;
    int code = 0;
};

// A font as the font dialog starts from and returns it.
struct StdFont {
    QString Name;
    double Size = 8.25;
    bool Bold = false;
    bool Italic = false;
    bool Underline = false;
    bool Strikethrough = false;
    int Weight = 400;
};

// The printer object that takes the choices of the print and page-setup dialogs. A setter may
// refuse a value by raising ProgramError.
class PrinterObject {
public:
    virtual ~PrinterObject() = default;
    virtual void SetCopies(int copies) = 0;
    virtual void SetOrientation(int orientation) = 0;
    virtual void SetPaperSize(int paperSize) = 0;
    virtual void SetPrintQuality(int quality) = 0;
};

// The standard dialogs (open and save file, colour, font, print, page setup) through one object
// with plain by-reference parameters: each method fills the platform's dialog request from its
// parameters, shows the dialog modally, and writes the user's choices back; the result says
// whether the user confirmed. A cancelled or failed dialog raises nothing: the result is false
// and the outputs are reset as each method says. The custom colours and the printer settings of
// the last print or page-setup dialog persist in the object.
class GCommonDialog {
public:
    // Flag bits the methods set or clear.
    static constexpr int OFN_READONLY = 0x1;
    static constexpr int OFN_OVERWRITEPROMPT = 0x2;
    static constexpr int OFN_HIDEREADONLY = 0x4;
    static constexpr int OFN_ENABLEHOOK = 0x20;
    static constexpr int OFN_ENABLETEMPLATE = 0x40;
    static constexpr int OFN_ALLOWMULTISELECT = 0x200;
    static constexpr int OFN_FILEMUSTEXIST = 0x1000;
    static constexpr int CF_SCREENFONTS = 0x1;
    static constexpr int CF_PRINTERFONTS = 0x2;
    static constexpr int CF_INITTOLOGFONTSTRUCT = 0x40;
    static constexpr int CF_EFFECTS = 0x100;
    static constexpr int CF_LIMITSIZE = 0x2000;
    static constexpr int PD_COLLATE = 0x10;
    static constexpr int PD_PRINTTOFILE = 0x20;
    static constexpr int PD_PAGENUMS = 0x2;
    static constexpr int PD_SELECTION = 0x1;
    static constexpr int MaxPath = 260;

    GCommonDialog() = default;

    int APIReturn() const { return apiReturn_; }
    int ExtendedError() const { return extendedError_; }

    // Forwards a dialog's notification to the event sink, when one is set: 0x110 InitDialog,
    // 0x82 DialogClose, 0x4E by its code (-602 FileChange, -603 FolderChange, -607 TypeChange,
    // -606 ConfirmOK). Returns what the sink returned, 1 when ConfirmOK refused (the dialog's
    // message result is then 1, else 0), and an empty value otherwise.
    QVariant DialogHook(WindowHandle hDlg, int Msg, qintptr wParam, qintptr lParam);
    // The message result DialogHook last set for the dialog.
    int DialogMessageResult() const { return messageResult_; }

    bool VBGetOpenFileName(QString& Filename, QString& FileTitle, bool FileMustExist, bool MultiSelect,
                           bool& ReadOnly, bool HideReadOnly, QString& Filter, int& FilterIndex,
                           const QString& InitDir, const QString& DlgTitle, const QString& DefaultExt,
                           WindowHandle Owner, int& flags, bool Hook = false, DialogEventSink* EventSink = nullptr);
    // Filename and FileTitle come back as chosen (the full Windows path, with DefaultExt added by
    // the dialog to a name typed without one), flags as the dialog returned them, FilterIndex
    // and Filter the entry chosen. On cancel: "", "", flags 0, FilterIndex 0, Filter "".
    // Raises ProgramError 5 when Filename or FileTitle is longer than 260 characters.
    bool VBGetSaveFileName(QString& Filename, QString& FileTitle, bool OverWritePrompt, QString& Filter,
                           int& FilterIndex, const QString& InitDir, const QString& DlgTitle,
                           const QString& DefaultExt, WindowHandle Owner, int& flags, bool Hook = false,
                           DialogEventSink* EventSink = nullptr);
    // The display title of a path, or "" when the platform refuses it.
    QString VBGetFileTitle(const QString& sFIle);

    // Color comes back as chosen, or -1 on cancel.
    bool VBChooseColor(qint32& Color, bool AnyColor = true, bool FullOpen = false, bool DisableFullOpen = false,
                       WindowHandle Owner = -1, int flags = 0, bool Hook = false, DialogEventSink* EventSink = nullptr);
    // Custom colour i (0 to 15), -1 outside that range; setting one outside it is ignored.
    qint32 CustomColor(int i);
    void SetCustomColor(int i, qint32 iValue);

    bool VBChooseFont(StdFont& CurFont, DeviceContext& PrinterDC, WindowHandle Owner, qint32& Color, int MinSize,
                      int MaxSize, int& flags, bool Hook = false, DialogEventSink* EventSink = nullptr);

    // PrintRange: 0 all, 1 pages, 2 selection.
    bool VBPrintDlg(DeviceContext& hdc, int& PrintRange, bool DisablePageNumbers, int& FromPage, int& ToPage,
                    bool DisableSelection, int& Copies, bool ShowPrintToFile, bool DisablePrintToFile,
                    bool& PrintToFile, bool& Collate, bool PreventWarning, WindowHandle Owner,
                    PrinterObject* Printer, int flags, bool Hook = false, DialogEventSink* EventSink = nullptr);

    // Margins in inches (Units 0) or millimetres (any other Units).
    bool VBPageSetupDlg2(WindowHandle Owner, bool DisableMargins, bool DisableOrientation, bool DisablePaper,
                         bool DisablePrinter, float& LeftMargin, float& MinLeftMargin, float& RightMargin,
                         float& MinRightMargin, float& TopMargin, float& MinTopMargin, float& BottomMargin,
                         float& MinBottomMargin, int& PaperSize, int& Orientation, int& PrintQuality, int Units,
                         PrinterObject* Printer, int flags, bool Hook = false, DialogEventSink* EventSink = nullptr);
    // The same with whole-number margins: the margins the dialog returns are rounded into the
    // caller's; a cancelled dialog leaves them as they were.
    bool VBPageSetupDlg(WindowHandle Owner, bool DisableMargins, bool DisableOrientation, bool DisablePaper,
                        bool DisablePrinter, std::int32_t& LeftMargin, std::int32_t& MinLeftMargin,
                        std::int32_t& RightMargin, std::int32_t& MinRightMargin, std::int32_t& TopMargin,
                        std::int32_t& MinTopMargin, std::int32_t& BottomMargin, std::int32_t& MinBottomMargin,
                        int& PaperSize, int& Orientation, int& PrintQuality, int Units, PrinterObject* Printer,
                        int flags, bool Hook = false, DialogEventSink* EventSink = nullptr);

    // The printer settings of the last confirmed print or page-setup dialog.
    const std::optional<DeviceMode>& PrinterSettings() const { return deviceMode_; }

    // The rules the methods follow, apart from any dialog.
    // Flags of the save dialog: hook and template bits cleared, OFN_OVERWRITEPROMPT when asked,
    // OFN_HIDEREADONLY always.
    static int SaveFileFlags(int flags, bool OverWritePrompt);
    static int OpenFileFlags(int flags, bool MultiSelect, bool ReadOnly, bool HideReadOnly, bool FileMustExist);
    // "|" and ":" become NUL characters, and two NULs end the list.
    static QString ConvertFilter(const QString& Filter);
    // Entry `index` (1-based) of a converted list: its description, a NUL and its pattern; "" when
    // there is no such entry.
    static QString FilterLookup(const QString& converted, int index);
    // A buffer up to its first NUL, measured in the ANSI code page.
    static QString TrimAtNul(const QString& buffer);
    static int ColorFlags(bool AnyColor, bool FullOpen, bool DisableFullOpen);
    // Font flags after PrinterDC has been settled (`printerGiven` when the caller passed one).
    static int FontFlags(int flags, bool printerGiven, qint32 Color, int MinSize, int MaxSize);
    static int PrintFlags(int flags, int PrintRange, bool DisablePageNumbers, bool DisableSelection,
                          bool ShowPrintToFile, bool DisablePrintToFile, bool PrintToFile, bool Collate,
                          bool PreventWarning);
    static int PageSetupFlags(bool DisableMargins, bool DisableOrientation, bool DisablePaper, bool DisablePrinter,
                              int Units);
    // Margins are multiplied by this on the way in and divided by it on the way out.
    static int UnitFactor(int Units) { return Units == 0 ? 1000 : 100; }

private:
    void begin();
    bool settle(int result);
    void fillCustomColors();
    void tellPrinter(PrinterObject* printer, int copies, const DeviceMode& mode);

    std::array<qint32, 16> customColors_{};
    bool customColorsFilled_ = false;
    int apiReturn_ = 0;
    int extendedError_ = 0;
    std::optional<DeviceMode> deviceMode_;
    DialogEventSink* eventSink_ = nullptr;
    int messageResult_ = 0;
};
