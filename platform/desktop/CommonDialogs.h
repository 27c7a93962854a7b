#pragma once

// The common dialogs (open, save, colour, font, print, page set-up) as Windows programs call
// them. The real dialogs are Qt's; tests and scripts install an answerer instead.

#include <QMargins>
#include <QSize>
#include <QString>
#include <QStringList>
#include <QtGlobal>
#include <array>
#include <optional>

class QPrinter;
class QWidget;

// The platform's standard dialogs, shaped as the common-dialog functions of Windows take them: the
// caller fills a request record, the dialog is shown modally, and the user's choices come back in
// the same record. Each function returns 1 when the user confirmed and 0 when he cancelled or the
// dialog could not be shown; CommDlgExtendedError then tells why (0 for a cancel). Paths are in
// Windows form, through the current prefix. The real dialogs are Qt's; tests and scripts install
// a CommonDialogAnswerer instead.

// A window as the dialog functions name their owner: the widget's address, 0 for none.
using WindowHandle = qintptr;
WindowHandle HandleOf(QWidget* window);
// The live widget `handle` names, or null (0, -1 and unknown handles).
QWidget* WindowOf(WindowHandle handle);

// A printer device context: 0 for none. Made by PrintDlgA (PD_RETURNDC) and DefaultPrinterDC,
// valid until DeleteDC.
using DeviceContext = qintptr;
DeviceContext DefaultPrinterDC();
QPrinter* PrinterOf(DeviceContext dc);
void DeleteDC(DeviceContext dc);

// Extended error codes.
namespace CommDlgError {
constexpr int CDERR_DIALOGFAILURE = 0xFFFF;
constexpr int CDERR_STRUCTSIZE = 0x0001;
constexpr int PDERR_NODEFAULTPRN = 0x1008;
constexpr int FNERR_BUFFERTOOSMALL = 0x3003;
}

// OPENFILENAME.
struct OpenFileNameRequest {
    int lStructSize = 0;
    WindowHandle hwndOwner = 0;
    QString lpstrFilter;       // description, NUL, pattern(s) separated by ";", NUL, ..., NUL
    int nFilterIndex = 0;      // 1-based; on return the filter the user chose
    QString lpstrFile;         // buffer of nMaxFile characters: in, the initial name; out, the full path, NUL-ended
    int nMaxFile = 0;
    QString lpstrFileTitle;    // buffer of nMaxFileTitle characters: out, the name without folder
    int nMaxFileTitle = 0;
    QString lpstrInitialDir;
    QString lpstrTitle;
    int Flags = 0;             // OFN_ bits; on return with OFN_READONLY as the user left it
    QString lpstrDefExt;       // added to a name typed without an extension
};
int GetOpenFileNameA(OpenFileNameRequest& request);
// A save dialog given lpstrDefExt adds, to a name typed without an extension, the extension of
// the filter the user has selected (see DefaultExtensionFor).
int GetSaveFileNameA(OpenFileNameRequest& request);
// The host-side patterns of one filter's ";"-separated Windows patterns: each as written and in
// lower and upper case, since Windows ignores case; "*.*" becomes "*", since on Windows it also
// matches names without an extension.
QStringList HostFilePatterns(const QString& windowsPatterns);
// The extension a save dialog adds to a name typed without one while filter `filterIndex`
// (1-based) of `filter` (description, NUL, patterns, NUL, ...) is selected: the extension of
// the filter's first pattern ("*.RTF" gives "RTF"), none when that extension holds a wildcard
// ("*.*"), and `defaultExt` when the filter has no such pattern or the index names none. Empty
// when `defaultExt` is empty: without a default extension nothing is added.
QString DefaultExtensionFor(const QString& filter, int filterIndex, const QString& defaultExt);
int CommDlgExtendedError();
// The display title of `file` (its name without folder) into `title` (at most `size` characters,
// NUL-padded); returns 0 on success, the size needed when the buffer is too small, -1 for a
// name that is not valid.
int GetFileTitleA(const QString& file, QString& title, int size);

// CHOOSECOLOR. Colours are &H00BBGGRR.
struct ChooseColorRequest {
    int lStructSize = 0;
    WindowHandle hwndOwner = 0;
    qint32 rgbResult = 0;
    std::array<qint32, 16>* lpCustColors = nullptr;
    int Flags = 0;
};
int ChooseColorA(ChooseColorRequest& request);

// LOGFONT, the fields a font dialog uses.
struct LogFont {
    int lfHeight = 0;
    int lfWeight = 400;
    bool lfItalic = false;
    bool lfUnderline = false;
    bool lfStrikeOut = false;
    QString lfFaceName;
};
// CHOOSEFONT.
struct ChooseFontRequest {
    int lStructSize = 0;
    WindowHandle hwndOwner = 0;
    DeviceContext hDC = 0;
    LogFont* lpLogFont = nullptr;
    int iPointSize = 0;        // tenths of a point
    int Flags = 0;
    qint32 rgbColors = 0;
    int nFontType = 0;         // 0x100 BOLD_FONTTYPE, 0x200 ITALIC_FONTTYPE, 0x400 REGULAR_FONTTYPE
    int nSizeMin = 0;
    int nSizeMax = 0;
};
int ChooseFontA(ChooseFontRequest& request);

// DEVMODE, the fields this program keeps.
struct DeviceMode {
    QString dmDeviceName;
    int dmOrientation = 1;     // 1 portrait, 2 landscape
    int dmPaperSize = 9;       // DMPAPER_ codes: 1 letter, 5 legal, 8 A3, 9 A4, 11 A5
    int dmCopies = 1;
    int dmPrintQuality = -4;   // -1 draft .. -4 high, or dots per inch
    int dmCollate = 0;         // 1 collate
};

// PRINTDLG.
struct PrintDlgRequest {
    int lStructSize = 0;
    WindowHandle hwndOwner = 0;
    std::optional<DeviceMode> hDevMode;
    DeviceContext hDC = 0;
    int Flags = 0;
    int nFromPage = 0;
    int nToPage = 0;
    int nMinPage = 0;
    int nMaxPage = 0;
    int nCopies = 0;
};
int PrintDlgA(PrintDlgRequest& request);

// PAGESETUPDLG. Sizes and margins in thousandths of an inch (PSD_INTHOUSANDTHSOFINCHES) or
// hundredths of a millimetre (PSD_INHUNDREDTHSOFMILLIMETERS).
struct PageSetupRequest {
    int lStructSize = 0;
    WindowHandle hwndOwner = 0;
    std::optional<DeviceMode> hDevMode;
    int Flags = 0;
    QSize ptPaperSize;
    QMargins rtMinMargin;
    QMargins rtMargin;
};
int PageSetupDlgA(PageSetupRequest& request);

// Answers the dialogs instead of the user (tests, scripts): each fills the request as the dialog
// would and returns what the function returns. The defaults cancel.
class CommonDialogAnswerer {
public:
    virtual ~CommonDialogAnswerer() = default;
    virtual int fileName(OpenFileNameRequest& request, bool save) = 0;
    virtual int chooseColor(ChooseColorRequest&) { return 0; }
    virtual int chooseFont(ChooseFontRequest&) { return 0; }
    virtual int printDlg(PrintDlgRequest&) { return 0; }
    virtual int pageSetupDlg(PageSetupRequest&) { return 0; }
    // What CommDlgExtendedError reports after the answered dialog.
    virtual int extendedError() { return 0; }
};
// Installs the answerer of later dialogs (not owned); null restores the real dialogs.
void InstallCommonDialogAnswerer(CommonDialogAnswerer* answerer);
