#include "platform/xls/SpreadGrid.h"

#include "platform/core/ProgramError.h"
#include "platform/files/FolderLock.h"
#include "platform/files/PathMapper.h"
#include "platform/xls/CompoundFile.h"
#include "platform/xls/XlsWorkbook.h"

#include <QDateTime>
#include <QFileInfo>
#include <QStringList>
#include <cstring>
#include <new>

namespace {

// Changed texts listed one by one in the log; the rest are counted.
constexpr qsizetype kListedChanges = 100;

QString logText(const QString& fileName, const QString& sheetName, const XlsWorkbook::WriteSummary& summary,
                qsizetype bytes, const QStringList& notes)
{
    QStringList lines;
    lines << QStringLiteral("Export: ") + QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"))
          << QStringLiteral("Workbook: ") + fileName;
    QString sheet = QStringLiteral("Sheet: ") + summary.storedSheetName;
    if (summary.storedSheetName != sheetName)
        sheet += QStringLiteral(" (asked for \"%1\", a name spreadsheet programs refuse)").arg(sheetName);
    lines << sheet << QStringLiteral("Rows: %1").arg(summary.rows) << QStringLiteral("Columns: %1").arg(summary.columns)
          << QStringLiteral("Cells: %1").arg(summary.cells)
          << QStringLiteral("Distinct texts: %1").arg(summary.uniqueStrings)
          << QStringLiteral("Changed texts: %1").arg(summary.changes.size());
    for (qsizetype i = 0; i < summary.changes.size() && i < kListedChanges; ++i)
        lines << QStringLiteral("  ") + summary.changes[i];
    if (summary.changes.size() > kListedChanges)
        lines << QStringLiteral("  ... and %1 more").arg(summary.changes.size() - kListedChanges);
    lines << notes << QStringLiteral("Result: written, %1 bytes").arg(bytes);
    return lines.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n");
}

}

void SpreadGrid::SetMaxRows(int rows)
{
    if (rows < 0)
        RaiseStandardError(ErrorNumbers::InvalidPropertyValue);
    maxRows_ = rows;
    if (rows_.size() > size_t(rows)) {
        rows_.resize(size_t(rows));
        rows_.shrink_to_fit();
        if (lastDataRow_ > rows)
            findLastDataRow();
    }
}

void SpreadGrid::SetText(int col, int row, const QString& text)
{
    if (col < 1 || col > XlsWorkbook::MaxColumns || row < 1 || row > XlsWorkbook::MaxRows)
        RaiseStandardError(ErrorNumbers::InvalidPropertyValue);
    maxRows_ = std::max(maxRows_, row);
    if (text.isEmpty() && size_t(row) > rows_.size())
        return;
    if (size_t(row) > rows_.size())
        rows_.resize(size_t(row));
    std::vector<QString>& cells = rows_[size_t(row) - 1];
    if (size_t(col) > cells.size()) {
        if (text.isEmpty())
            return;
        cells.resize(size_t(col));
    }
    cells[size_t(col) - 1] = text;
    if (!text.isEmpty())
        lastDataRow_ = std::max(lastDataRow_, row);
    else if (row == lastDataRow_)
        findLastDataRow();
}

void SpreadGrid::findLastDataRow()
{
    lastDataRow_ = 0;
    for (size_t r = rows_.size(); r > 0; --r) {
        for (const QString& cell : rows_[r - 1])
            if (!cell.isEmpty()) {
                lastDataRow_ = int(r);
                return;
            }
    }
}

bool SpreadGrid::failed(const AtomicFile& file)
{
    lastFailure_ = file.failure();
    return false;
}

bool SpreadGrid::ExportToExcel(const QString& fileName, const QString& sheetName, const QString& logFileName)
{
    const PathMapper& paths = PathMapper::current();
    const QString hostFile = paths.toHost(fileName);
    const QString hostLog = paths.toHost(logFileName);
    lastFailure_ = {};
    logFailure_ = {};
    if (hostFile.isEmpty() || hostLog.isEmpty())
        return false;

    QByteArray stream, log;
    CompoundFile::OneStreamFile container;
    try {
        XlsWorkbook::WriteSummary summary;
        stream = XlsWorkbook::WorkbookStream(rows_, maxRows_, sheetName, &summary);
        container = CompoundFile::AroundOneStream(QStringLiteral("Workbook"), stream.size());
        if (container.head.isEmpty())
            return false;
        const qsizetype bytes = container.head.size() + stream.size() + container.tail.size();
        log = logText(fileName, sheetName, summary, bytes, logNotes_).toUtf8();
    } catch (const std::bad_alloc&) {
        return false;
    }

    // Another run exporting into the same folder waits until this one has replaced both files (and
    // this one for it), so the log beside a workbook is always that workbook's own.
    const QString folder = QFileInfo(hostFile).absolutePath();
    const FolderLock lock(folder, kLockWaitMs);
    if (!lock.locked()) {
        lastFailure_.number = lock.error();
        lastFailure_.description = QString::fromLocal8Bit(std::strerror(lock.error()));
        lastFailure_.path = folder;
        return false;
    }

    // Both files are written in full, flushed and synced before either replaces its old copy;
    // on any failure the old files stay and the temporary ones are removed. The names are the
    // program's own: a link planted there is replaced, never written through.
    AtomicFile workbookFile(hostFile, AtomicFile::Links::ReplaceLink);
    AtomicFile logFile(hostLog, AtomicFile::Links::ReplaceLink);
    if (!workbookFile.open())
        return failed(workbookFile);
    for (const QByteArray* part : {&container.head, &stream, &container.tail})
        if (!workbookFile.write(*part))
            return failed(workbookFile);
    if (!workbookFile.finish())
        return failed(workbookFile);
    if (!logFile.open() || !logFile.write(log) || !logFile.finish())
        return failed(logFile);
    if (!workbookFile.commit())
        return failed(workbookFile);
    // The workbook is written; a log that cannot replace the old one does not undo that, but it is
    // kept for the caller to say (the old log no longer describes the workbook beside it).
    if (!logFile.commit())
        logFailure_ = logFile.failure();
    return true;
}
