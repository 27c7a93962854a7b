#include "output/XlsxExport.h"

#include "catalogue/Catalogue.h"
#include "output/ExportarExcel.h"
#include "platform/core/ProgramError.h"
#include "platform/desktop/MessageBoxes.h"
#include "platform/files/AtomicFile.h"
#include "platform/files/HostNames.h"
#include "platform/files/PathMapper.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QTemporaryFile>
#include <map>
#include <memory>
#include <xlsxwriter.h>

namespace {

// The last row an Office Open XML sheet holds (zero-based).
constexpr lxw_row_t kLastRow = 1048575;
// The most characters a cell holds; the writer refuses a longer text.
constexpr qsizetype kCellCharacters = 32767;

// How an export ended, for the messages that tell it.
enum class Outcome { Written, FileFailed, TooManyRows, OutOfMemory };

// Text for the XML of the workbook: characters XML 1.0 cannot carry (control characters other
// than tab, CR and LF) become "?", so a hostile name cannot make the workbook unreadable.
QByteArray CellText(const QString& text)
{
    QString clean = text;
    if (clean.size() > kCellCharacters) // cut as the .xls export cuts, never inside a pair
        clean.truncate(clean.at(kCellCharacters - 1).isHighSurrogate() ? kCellCharacters - 1 : kCellCharacters);
    for (QChar& c : clean)
        if (c.unicode() < 0x20 && c != u'\t' && c != u'\n' && c != u'\r')
            c = u'?';
    return clean.toUtf8();
}

class Sheet {
public:
    explicit Sheet(lxw_workbook* book) : book_(book)
    {
        sheet_ = workbook_add_worksheet(book, XlsxExportFiles::SheetName.toUtf8().constData());
        size_ = workbook_add_format(book);
        format_set_num_format(size_, "0\" KB\"");
        date_ = workbook_add_format(book);
        format_set_num_format(date_, "dd/mm/yyyy hh:mm:ss");
    }
    bool ok() const { return sheet_ && size_ && date_ && status_ == LXW_NO_ERROR; }
    lxw_error status() const { return status_; }

    void text(lxw_row_t row, lxw_col_t col, const QString& value)
    {
        if (!value.isEmpty())
            keep(worksheet_write_string(sheet_, row, col, CellText(value).constData(), nullptr));
    }
    void number(lxw_row_t row, lxw_col_t col, double value, lxw_format* format)
    {
        keep(worksheet_write_number(sheet_, row, col, value, format));
    }
    // "dd/mm/yyyy hh:mm:ss" as a date; anything else (a blank date included) as it is written.
    void date(lxw_row_t row, lxw_col_t col, const QString& value)
    {
        const QDateTime when = QDateTime::fromString(value, QStringLiteral("dd/MM/yyyy hh:mm:ss"));
        if (!when.isValid()) {
            text(row, col, value);
            return;
        }
        lxw_datetime cell = {when.date().year(), when.date().month(), when.date().day(),
                             when.time().hour(), when.time().minute(), double(when.time().second())};
        keep(worksheet_write_datetime(sheet_, row, col, &cell, date_));
    }
    // "1.10" as the number 1.1 shown with two decimals, so the sheet shows what the library says.
    void version(lxw_row_t row, lxw_col_t col, std::int32_t major, std::int32_t minor)
    {
        const QString minorText = QString::number(minor);
        if (major < 0 || minor < 0) {
            text(row, col, QString::number(major) + u'.' + minorText);
            return;
        }
        lxw_format*& format = versionFormats_[minorText.size()];
        if (!format) {
            format = workbook_add_format(book_);
            format_set_num_format(format, ("0." + QByteArray(minorText.size(), '0')).constData());
        }
        number(row, col, (QString::number(major) + u'.' + minorText).toDouble(), format);
    }
    lxw_format* sizeFormat() const { return size_; }

private:
    void keep(lxw_error error)
    {
        if (status_ == LXW_NO_ERROR)
            status_ = error;
    }

    lxw_workbook* book_;
    lxw_worksheet* sheet_ = nullptr;
    lxw_format* size_ = nullptr;
    lxw_format* date_ = nullptr;
    std::map<qsizetype, lxw_format*> versionFormats_;
    lxw_error status_ = LXW_NO_ERROR;
};

struct BookCloser {
    void operator()(lxw_workbook* book) const { workbook_close(book); }
};

Outcome WriteWorkbook(const Catalogue& catalogue, const QString& folder, QString* problem)
{
    Outcome outcome = Outcome::FileFailed;
    const auto fail = [problem, &outcome](const QString& what) {
        if (problem)
            *problem = what;
        return outcome;
    };
    const QString target = PathMapper::current().toHost(JoinWindowsPath(folder, XlsxExportFiles::Workbook));
    if (target.isEmpty() || !QFileInfo(QFileInfo(target).path()).isDir())
        return fail(QStringLiteral("no such folder: ") + folder);

    // The workbook takes its name as the .xls export's does, through the same kind of file, so a
    // folder that cannot be written, a full disk or a link planted at the name end the same way.
    // The writer makes it in the temporary folder first: it reports failures of its own on
    // standard error, and the folder it writes to should not be the one that fails.
    AtomicFile output(target, AtomicFile::Links::ReplaceLink);
    if (!output.open())
        return fail(QStringLiteral("cannot write ") + target + QStringLiteral(": ") + output.failure().description);
    QTemporaryFile staging(QDir::tempPath() + QStringLiteral("/zantrel-XXXXXX.xlsx"));
    if (!staging.open())
        return fail(QStringLiteral("cannot make a temporary file: ") + staging.errorString());
    staging.close();

    lxw_workbook_options options = {};
    options.constant_memory = LXW_TRUE; // rows go out in order; memory stays flat for any size
    options.use_zip64 = LXW_TRUE;
    std::unique_ptr<lxw_workbook, BookCloser> book(
        workbook_new_opt(QFile::encodeName(staging.fileName()).constData(), &options));
    if (!book)
        return fail(QStringLiteral("cannot start the workbook"));
    Sheet sheet(book.get());
    if (!sheet.ok()) {
        outcome = sheet.status() == LXW_ERROR_MEMORY_MALLOC_FAILED ? Outcome::OutOfMemory : Outcome::FileFailed;
        return fail(QStringLiteral("cannot start the sheet"));
    }

    const auto& headers = ExportHeaders();
    for (size_t column = 0; column < headers.size(); ++column)
        sheet.text(0, lxw_col_t(column), headers[column]);

    lxw_row_t row = 2; // the header row, then an empty row
    for (int i = 1; i <= catalogue.ProjectCount(); ++i) {
        const ProjectEntry& project = catalogue.Projects[size_t(i)];
        const QString kindLabel = ExportKindLabel(project.Kind);
        for (int d = 1; d <= catalogue.DependencyCount(i); ++d) {
            if (row > kLastRow) {
                outcome = Outcome::TooManyRows;
                return fail(QStringLiteral("more rows than a sheet holds"));
            }
            const DependencyEntry& entry = project.Dependencies[size_t(d)];
            sheet.text(row, 0, HostNames::displayed(project.FileName));
            sheet.text(row, 1, project.Name);
            sheet.text(row, 2, kindLabel);
            sheet.text(row, 3, HostNames::displayed(entry.FilePath));
            sheet.number(row, 4, entry.SizeKB, sheet.sizeFormat());
            sheet.date(row, 5, entry.FileDate);
            sheet.text(row, 6, entry.Description);
            sheet.text(row, 7, entry.Guid);
            sheet.version(row, 8, entry.MajorVersion, entry.MinorVersion);
            ++row;
        }
        ++row; // the empty row after each project
    }
    if (!sheet.ok()) {
        outcome = sheet.status() == LXW_ERROR_MEMORY_MALLOC_FAILED ? Outcome::OutOfMemory : Outcome::FileFailed;
        return fail(QStringLiteral("cannot write a cell: ") + QString::fromUtf8(lxw_strerror(sheet.status())));
    }

    const lxw_error closed = workbook_close(book.release());
    if (closed != LXW_NO_ERROR)
        return fail(QStringLiteral("cannot write ") + staging.fileName() + QStringLiteral(": ")
                    + QString::fromUtf8(lxw_strerror(closed)));
    if (!staging.open())
        return fail(QStringLiteral("cannot read ") + staging.fileName() + QStringLiteral(": ") + staging.errorString());
    QByteArray chunk;
    while (!(chunk = staging.read(1 << 20)).isEmpty())
        if (!output.write(chunk))
            break;
    if (staging.error() != QFileDevice::NoError)
        return fail(QStringLiteral("cannot read ") + staging.fileName() + QStringLiteral(": ") + staging.errorString());
    if (output.failure().failed() || !output.commit())
        return fail(QStringLiteral("cannot write ") + target + QStringLiteral(": ") + output.failure().description);
    return Outcome::Written;
}

}

bool ExportarXlsx(const Catalogue& catalogue, const QString& folder, QString* problem)
{
    return WriteWorkbook(catalogue, folder, problem) == Outcome::Written;
}

bool ExportarExcelXlsx(const Catalogue& catalogue, const QString& folder)
{
    Outcome outcome = Outcome::OutOfMemory;
    try {
        outcome = WriteWorkbook(catalogue, folder, nullptr);
    } catch (const std::bad_alloc&) {
    }
    // The texts and numbers ExportarExcel shows for the same failures.
    const auto routineMessage = [](int number) {
        return ProgramError(number, StandardErrorDescription(number)).RoutineMessage(QStringLiteral("ExportarExcel"));
    };
    switch (outcome) {
    case Outcome::Written: return true;
    case Outcome::FileFailed: ShowMessage(QStringLiteral("Error al Exportar archivo"), MsgStyle::Critical); break;
    case Outcome::TooManyRows: ShowMessage(routineMessage(ErrorNumbers::Overflow), MsgStyle::Critical); break;
    case Outcome::OutOfMemory: ShowMessage(routineMessage(ErrorNumbers::OutOfMemory), MsgStyle::Critical); break;
    }
    return false;
}
