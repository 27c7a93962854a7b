#include "output/XlsxExport.h"

#include "catalogue/Catalogue.h"
#include "output/ExportarExcel.h"
#include "platform/files/HostNames.h"
#include "platform/files/PathMapper.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QTemporaryFile>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <xlsxwriter.h>

namespace {

// The last row an Office Open XML sheet holds (zero-based).
constexpr lxw_row_t kLastRow = 1048575;

// Text for the XML of the workbook: characters XML 1.0 cannot carry (control characters other
// than tab, CR and LF) become "?", so a hostile name cannot make the workbook unreadable.
QByteArray CellText(const QString& text)
{
    QString clean = text;
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

}

bool ExportarXlsx(const Catalogue& catalogue, const QString& folder, QString* problem)
{
    const auto fail = [problem](const QString& what) {
        if (problem)
            *problem = what;
        return false;
    };
    const QString target = PathMapper::current().toHost(JoinWindowsPath(folder, XlsxExportFiles::Workbook));
    if (target.isEmpty() || !QFileInfo(QFileInfo(target).path()).isDir())
        return fail(QStringLiteral("no such folder: ") + folder);

    // The workbook is written beside its final name and takes that name only when complete.
    QTemporaryFile staging(QFileInfo(target).path() + QStringLiteral("/.proyectos-XXXXXX.xlsx"));
    if (!staging.open())
        return fail(QStringLiteral("cannot write in ") + QFileInfo(target).path() + QStringLiteral(": ")
                    + staging.errorString());
    staging.close();

    lxw_workbook_options options = {};
    options.constant_memory = LXW_TRUE; // rows go out in order; memory stays flat for any size
    options.use_zip64 = LXW_TRUE;
    std::unique_ptr<lxw_workbook, BookCloser> book(
        workbook_new_opt(QFile::encodeName(staging.fileName()).constData(), &options));
    if (!book)
        return fail(QStringLiteral("cannot start the workbook"));
    Sheet sheet(book.get());
    if (!sheet.ok())
        return fail(QStringLiteral("cannot start the sheet"));

    const auto& headers = ExportHeaders();
    for (size_t column = 0; column < headers.size(); ++column)
        sheet.text(0, lxw_col_t(column), headers[column]);

    lxw_row_t row = 2; // the header row, then an empty row
    for (int i = 1; i <= catalogue.ProjectCount(); ++i) {
        const ProjectEntry& project = catalogue.Projects[size_t(i)];
        const QString kindLabel = ExportKindLabel(project.Kind);
        for (int d = 1; d <= catalogue.DependencyCount(i); ++d) {
            if (row > kLastRow)
                return fail(QStringLiteral("more rows than a sheet holds"));
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
    if (!sheet.ok())
        return fail(QStringLiteral("cannot write a cell: ") + QString::fromUtf8(lxw_strerror(sheet.status())));

    const lxw_error closed = workbook_close(book.release());
    if (closed != LXW_NO_ERROR)
        return fail(QStringLiteral("cannot write ") + staging.fileName() + QStringLiteral(": ")
                    + QString::fromUtf8(lxw_strerror(closed)));
    // A temporary file is private to its owner; the workbook is read like any document.
    QFile::setPermissions(staging.fileName(), QFileDevice::ReadOwner | QFileDevice::WriteOwner
                                                  | QFileDevice::ReadGroup | QFileDevice::ReadOther);
    if (std::rename(QFile::encodeName(staging.fileName()).constData(), QFile::encodeName(target).constData()) != 0)
        return fail(QStringLiteral("cannot replace ") + target + QStringLiteral(": ") + QString::fromLocal8Bit(std::strerror(errno)));
    staging.setAutoRemove(false);
    return true;
}
