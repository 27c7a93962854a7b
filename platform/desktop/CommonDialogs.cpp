#include "platform/desktop/CommonDialogs.h"

#include "platform/files/PathMapper.h"

#include <QApplication>
#include <QColorDialog>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontDialog>
#include <QHash>
#include <QPageSetupDialog>
#include <QPrintDialog>
#include <QPrinter>
#include <QPrinterInfo>
#include <QRegularExpression>
#include <QWidget>
#include <cmath>
#include <memory>

namespace {

// The OPENFILENAME flags the file dialogs act on, as Windows numbers them.
constexpr int OFN_OVERWRITEPROMPT = 0x2;
constexpr int OFN_ALLOWMULTISELECT = 0x200;
constexpr int OFN_FILEMUSTEXIST = 0x1000;

CommonDialogAnswerer* installedAnswerer = nullptr;
int lastExtendedError = 0;

QHash<DeviceContext, std::shared_ptr<QPrinter>>& deviceContexts()
{
    static QHash<DeviceContext, std::shared_ptr<QPrinter>> contexts;
    return contexts;
}

DeviceContext keep(std::shared_ptr<QPrinter> printer)
{
    const auto dc = reinterpret_cast<DeviceContext>(printer.get());
    deviceContexts().insert(dc, std::move(printer));
    return dc;
}

QString upToNul(const QString& buffer)
{
    const qsizetype nul = buffer.indexOf(QChar(0));
    return nul < 0 ? buffer : buffer.left(nul);
}

QString padded(const QString& text, int size)
{
    return text + QString(std::max<qsizetype>(1, size - text.size()), QChar(0));
}

QColor fromBgr(qint32 bgr)
{
    return QColor(bgr & 0xFF, (bgr >> 8) & 0xFF, (bgr >> 16) & 0xFF);
}

qint32 toBgr(const QColor& colour)
{
    return colour.red() | (colour.green() << 8) | (colour.blue() << 16);
}

// Windows paper codes and the page sizes they stand for.
QPageSize::PageSizeId pageSizeOf(int code)
{
    switch (code) {
    case 1: return QPageSize::Letter;
    case 5: return QPageSize::Legal;
    case 8: return QPageSize::A3;
    case 11: return QPageSize::A5;
    }
    return QPageSize::A4;
}

int paperCodeOf(const QPageSize& size)
{
    switch (size.id()) {
    case QPageSize::Letter: return 1;
    case QPageSize::Legal: return 5;
    case QPageSize::A3: return 8;
    case QPageSize::A5: return 11;
    default: return 9;
    }
}

DeviceMode deviceModeOf(const QPrinter& printer)
{
    DeviceMode mode;
    mode.dmDeviceName = printer.printerName();
    mode.dmOrientation = printer.pageLayout().orientation() == QPageLayout::Landscape ? 2 : 1;
    mode.dmPaperSize = paperCodeOf(printer.pageLayout().pageSize());
    mode.dmCopies = printer.copyCount();
    mode.dmCollate = printer.collateCopies() ? 1 : 0;
    mode.dmPrintQuality = printer.resolution();
    return mode;
}

void applyDeviceMode(QPrinter& printer, const DeviceMode& mode)
{
    printer.setPageOrientation(mode.dmOrientation == 2 ? QPageLayout::Landscape : QPageLayout::Portrait);
    printer.setPageSize(QPageSize(pageSizeOf(mode.dmPaperSize)));
    printer.setCopyCount(std::max(1, mode.dmCopies));
    printer.setCollateCopies(mode.dmCollate == 1);
}

std::shared_ptr<QPrinter> defaultPrinter()
{
    const QPrinterInfo info = QPrinterInfo::defaultPrinter();
    if (info.isNull())
        return nullptr;
    return std::make_shared<QPrinter>(info, QPrinter::HighResolution);
}

int fileDialog(OpenFileNameRequest& request, bool save)
{
    lastExtendedError = 0;
    if (installedAnswerer) {
        const int result = installedAnswerer->fileName(request, save);
        lastExtendedError = installedAnswerer->extendedError();
        return result;
    }
    QFileDialog dialog(WindowOf(request.hwndOwner), request.lpstrTitle);
    dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    if (save)
        dialog.setFileMode(QFileDialog::AnyFile);
    else if (request.Flags & OFN_ALLOWMULTISELECT)
        dialog.setFileMode(QFileDialog::ExistingFiles);
    else if (request.Flags & OFN_FILEMUSTEXIST)
        dialog.setFileMode(QFileDialog::ExistingFile);
    else
        dialog.setFileMode(QFileDialog::AnyFile);
    if (save && !(request.Flags & OFN_OVERWRITEPROMPT))
        dialog.setOption(QFileDialog::DontConfirmOverwrite);

    // Pairs of description and patterns. The dialog shows (and reports as selected) the
    // descriptions only.
    QStringList names, descriptions;
    const QStringList parts = request.lpstrFilter.split(QChar(0));
    for (qsizetype i = 0; i + 1 < parts.size() && !parts[i].isEmpty(); i += 2) {
        names.append(parts[i] + QStringLiteral(" (") + HostFilePatterns(parts[i + 1]).join(u' ') + u')');
        descriptions.append(parts[i]);
    }
    // The 1-based number of the filter selected in the dialog; 0 when none is.
    const auto selectedFilter = [&dialog, &names, &descriptions] {
        const QString selected = dialog.selectedNameFilter();
        const qsizetype full = names.indexOf(selected);
        return int(full >= 0 ? full : descriptions.indexOf(selected)) + 1;
    };
    // A save dialog with a default extension adds the extension of the filter the user selects.
    const auto followFilter = [&dialog, &request, &selectedFilter, save] {
        if (save && !request.lpstrDefExt.isEmpty())
            dialog.setDefaultSuffix(DefaultExtensionFor(request.lpstrFilter, selectedFilter(), request.lpstrDefExt));
    };
    if (!names.isEmpty()) {
        dialog.setOption(QFileDialog::HideNameFilterDetails);
        dialog.setNameFilters(names);
        dialog.selectNameFilter(names.value(std::clamp(request.nFilterIndex, 1, int(names.size())) - 1));
    }
    const PathMapper& mapper = PathMapper::current();
    if (!request.lpstrInitialDir.isEmpty())
        dialog.setDirectory(mapper.toHost(request.lpstrInitialDir));
    const QString initial = upToNul(request.lpstrFile);
    if (!initial.isEmpty())
        dialog.selectFile(PathMapper::isDrivePath(initial) ? mapper.toHost(initial) : initial);
    if (!request.lpstrDefExt.isEmpty())
        dialog.setDefaultSuffix(request.lpstrDefExt);
    if (!names.isEmpty()) {
        followFilter();
        QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog, followFilter);
    }

    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return 0;
    const QStringList chosen = dialog.selectedFiles();
    QString file;
    if (chosen.size() == 1) {
        file = mapper.toWindows(chosen.first());
    } else {
        // Several files: the folder, then each name, NUL-separated.
        file = mapper.toWindows(QFileInfo(chosen.first()).absolutePath());
        for (const QString& path : chosen)
            file += QChar(0) + QFileInfo(path).fileName();
        file += QChar(0);
    }
    if (file.size() + 1 > request.nMaxFile) {
        lastExtendedError = CommDlgError::FNERR_BUFFERTOOSMALL;
        return 0;
    }
    request.lpstrFile = padded(file, request.nMaxFile);
    if (request.nMaxFileTitle > 0) {
        const QString title = chosen.size() == 1 ? QFileInfo(chosen.first()).fileName() : QString();
        request.lpstrFileTitle = padded(title.left(request.nMaxFileTitle - 1), request.nMaxFileTitle);
    }
    request.nFilterIndex = selectedFilter();
    return 1;
}

}

QStringList HostFilePatterns(const QString& windowsPatterns)
{
    QStringList patterns;
    for (const QString& written : windowsPatterns.split(u';', Qt::SkipEmptyParts)) {
        const QString pattern = written.trimmed();
        if (pattern == QStringLiteral("*.*")) {
            patterns << QStringLiteral("*");
            continue;
        }
        patterns << pattern << pattern.toLower() << pattern.toUpper();
    }
    patterns.removeDuplicates();
    return patterns;
}

QString DefaultExtensionFor(const QString& filter, int filterIndex, const QString& defaultExt)
{
    if (defaultExt.isEmpty())
        return QString();
    const QStringList parts = filter.split(QChar(0));
    const qsizetype at = 2 * qsizetype(filterIndex - 1) + 1;
    if (filterIndex < 1 || at >= parts.size() || parts[at - 1].isEmpty())
        return defaultExt;
    const QString first = parts[at].split(u';', Qt::SkipEmptyParts).value(0).trimmed();
    const qsizetype dot = first.lastIndexOf(u'.');
    if (dot < 0)
        return defaultExt;
    const QString extension = first.mid(dot + 1);
    if (extension.isEmpty() || extension.contains(u'*') || extension.contains(u'?'))
        return QString();
    return extension;
}

WindowHandle HandleOf(QWidget* window)
{
    return reinterpret_cast<WindowHandle>(window);
}

QWidget* WindowOf(WindowHandle handle)
{
    if (handle == 0 || handle == -1)
        return nullptr;
    for (QWidget* widget : QApplication::allWidgets())
        if (reinterpret_cast<WindowHandle>(widget) == handle)
            return widget;
    return nullptr;
}

DeviceContext DefaultPrinterDC()
{
    std::shared_ptr<QPrinter> printer = defaultPrinter();
    return printer ? keep(std::move(printer)) : 0;
}

QPrinter* PrinterOf(DeviceContext dc)
{
    return deviceContexts().value(dc).get();
}

void DeleteDC(DeviceContext dc)
{
    deviceContexts().remove(dc);
}

void InstallCommonDialogAnswerer(CommonDialogAnswerer* answerer)
{
    installedAnswerer = answerer;
}

int CommDlgExtendedError()
{
    return lastExtendedError;
}

int GetOpenFileNameA(OpenFileNameRequest& request)
{
    return fileDialog(request, false);
}

int GetSaveFileNameA(OpenFileNameRequest& request)
{
    return fileDialog(request, true);
}

int GetFileTitleA(const QString& file, QString& title, int size)
{
    const QString path = upToNul(file);
    const qsizetype cut = std::max({path.lastIndexOf(u'\\'), path.lastIndexOf(u'/'), path.lastIndexOf(u':')});
    const QString name = path.mid(cut + 1);
    if (name.isEmpty() || name.contains(QRegularExpression(QStringLiteral("[*?\"<>|]"))))
        return -1;
    if (size < name.size() + 1)
        return static_cast<int>(name.size() + 1);
    title = padded(name, size);
    return 0;
}

int ChooseColorA(ChooseColorRequest& request)
{
    lastExtendedError = 0;
    if (installedAnswerer) {
        const int result = installedAnswerer->chooseColor(request);
        lastExtendedError = installedAnswerer->extendedError();
        return result;
    }
    QColorDialog dialog(WindowOf(request.hwndOwner));
    if (request.lpCustColors)
        for (int i = 0; i < 16; ++i)
            QColorDialog::setCustomColor(i, fromBgr((*request.lpCustColors)[i]));
    if (request.Flags & 0x1)
        dialog.setCurrentColor(fromBgr(request.rgbResult));
    if (dialog.exec() != QDialog::Accepted)
        return 0;
    request.rgbResult = toBgr(dialog.selectedColor());
    if (request.lpCustColors)
        for (int i = 0; i < 16; ++i)
            (*request.lpCustColors)[i] = toBgr(QColorDialog::customColor(i));
    return 1;
}

int ChooseFontA(ChooseFontRequest& request)
{
    lastExtendedError = 0;
    if (installedAnswerer) {
        const int result = installedAnswerer->chooseFont(request);
        lastExtendedError = installedAnswerer->extendedError();
        return result;
    }
    QFont initial;
    if (request.lpLogFont && (request.Flags & 0x40)) {
        const LogFont& log = *request.lpLogFont;
        initial.setFamily(log.lfFaceName);
        initial.setWeight(QFont::Weight(std::clamp(log.lfWeight / 1, 1, 1000)));
        initial.setItalic(log.lfItalic);
        initial.setUnderline(log.lfUnderline);
        initial.setStrikeOut(log.lfStrikeOut);
        // A negative height is the character height in screen pixels (96 per inch).
        if (log.lfHeight != 0)
            initial.setPointSizeF(std::abs(log.lfHeight) * 72.0 / 96.0);
    }
    QFontDialog dialog(initial, WindowOf(request.hwndOwner));
    if (dialog.exec() != QDialog::Accepted)
        return 0;
    const QFont font = dialog.selectedFont();
    if (request.lpLogFont) {
        LogFont& log = *request.lpLogFont;
        log.lfFaceName = font.family();
        log.lfWeight = font.weight();
        log.lfItalic = font.italic();
        log.lfUnderline = font.underline();
        log.lfStrikeOut = font.strikeOut();
        log.lfHeight = -static_cast<int>(std::lround(font.pointSizeF() * 96.0 / 72.0));
    }
    request.iPointSize = static_cast<int>(std::lround(font.pointSizeF() * 10));
    request.nFontType = (font.weight() >= QFont::Bold ? 0x100 : 0x400) | (font.italic() ? 0x200 : 0);
    return 1;
}

int PrintDlgA(PrintDlgRequest& request)
{
    lastExtendedError = 0;
    if (installedAnswerer) {
        const int result = installedAnswerer->printDlg(request);
        lastExtendedError = installedAnswerer->extendedError();
        return result;
    }
    std::shared_ptr<QPrinter> printer = defaultPrinter();
    if (!printer) {
        lastExtendedError = CommDlgError::PDERR_NODEFAULTPRN;
        return 0;
    }
    if (request.hDevMode)
        applyDeviceMode(*printer, *request.hDevMode);
    if (!(request.Flags & 0x40000) && request.nCopies > 0)
        printer->setCopyCount(request.nCopies);
    if (request.Flags & 0x10)
        printer->setCollateCopies(true);
    printer->setFromTo(request.nFromPage, request.nToPage);
    printer->setPrintRange(request.Flags & 0x2 ? QPrinter::PageRange
                           : request.Flags & 0x1 ? QPrinter::Selection : QPrinter::AllPages);
    QPrintDialog dialog(printer.get(), WindowOf(request.hwndOwner));
    dialog.setMinMax(request.nMinPage, request.nMaxPage);
    QAbstractPrintDialog::PrintDialogOptions options = dialog.options();
    options.setFlag(QAbstractPrintDialog::PrintSelection, !(request.Flags & 0x4));
    options.setFlag(QAbstractPrintDialog::PrintPageRange, !(request.Flags & 0x8));
    options.setFlag(QAbstractPrintDialog::PrintToFile, !(request.Flags & 0x80000));
    dialog.setOptions(options);
    if (dialog.exec() != QDialog::Accepted)
        return 0;

    request.Flags &= ~(0x1 | 0x2 | 0x10 | 0x20);
    if (printer->printRange() == QPrinter::PageRange)
        request.Flags |= 0x2;
    else if (printer->printRange() == QPrinter::Selection)
        request.Flags |= 0x1;
    if (!printer->outputFileName().isEmpty())
        request.Flags |= 0x20;
    request.nFromPage = printer->fromPage();
    request.nToPage = printer->toPage();
    if (request.Flags & 0x40000) {
        // Copies and collation stay in the device mode.
        request.nCopies = 1;
    } else {
        request.nCopies = printer->copyCount();
        if (printer->collateCopies())
            request.Flags |= 0x10;
    }
    request.hDevMode = deviceModeOf(*printer);
    if (request.Flags & 0x100)
        request.hDC = keep(printer);
    return 1;
}

int PageSetupDlgA(PageSetupRequest& request)
{
    lastExtendedError = 0;
    if (installedAnswerer) {
        const int result = installedAnswerer->pageSetupDlg(request);
        lastExtendedError = installedAnswerer->extendedError();
        return result;
    }
    std::shared_ptr<QPrinter> printer = defaultPrinter();
    if (!printer)
        printer = std::make_shared<QPrinter>(QPrinter::HighResolution);
    if (request.hDevMode)
        applyDeviceMode(*printer, *request.hDevMode);
    QPageSetupDialog dialog(printer.get(), WindowOf(request.hwndOwner));
    if (dialog.exec() != QDialog::Accepted)
        return 0;
    // Thousandths of an inch, or hundredths of a millimetre.
    const bool inches = request.Flags & 0x4;
    const QPageLayout layout = printer->pageLayout();
    const QPageLayout::Unit unit = inches ? QPageLayout::Inch : QPageLayout::Millimeter;
    const double factor = inches ? 1000.0 : 100.0;
    const QMarginsF margins = layout.margins(unit);
    auto scaled = [factor](double value) { return static_cast<int>(std::lround(value * factor)); };
    request.rtMargin = QMargins(scaled(margins.left()), scaled(margins.top()), scaled(margins.right()), scaled(margins.bottom()));
    const QSizeF paper = layout.pageSize().size(inches ? QPageSize::Inch : QPageSize::Millimeter);
    request.ptPaperSize = QSize(scaled(paper.width()), scaled(paper.height()));
    request.hDevMode = deviceModeOf(*printer);
    return 1;
}
