#pragma once

#include "platform/files/AtomicFile.h"

#include <QString>
#include <QStringList>
#include <vector>

// The spreadsheet grid the main window keeps hidden for the export: an in-memory sheet of text
// cells that saves itself as an Excel 97-2003 workbook (XlsWorkbook.h) with a log beside it. It
// offers only what the export uses: the row count, the last row holding data, setting a cell's
// text and saving.
//
// Memory grows with the cells written, never with the row count: rows past the last written one
// take no space.
class SpreadGrid {
public:
    // The sheet's row count. A new grid has 500 rows.
    int MaxRows() const { return maxRows_; }
    // Sets the row count; rows past the new count are emptied. Raises ProgramError 380 for a
    // negative count.
    void SetMaxRows(int rows);

    // The last row holding a non-empty cell, or 0 when every cell is empty.
    int DataRowCnt() const { return lastDataRow_; }

    // Sets the text of the cell at `col` (1 to 256) and `row` (1 to 65536); an empty text empties
    // the cell. Writing past the row count raises the row count to `row`. Raises ProgramError 380
    // outside those ranges.
    void SetText(int col, int row, const QString& text);

    // Saves rows 1 to the row count as the one worksheet of an Excel workbook at `fileName`, named
    // as close to `sheetName` as the format allows, and writes a log of the save to `logFileName`
    // (both Windows paths). Returns true only when the workbook was written. Both files are
    // replaced atomically, the log after the workbook: a failed save leaves both as they were. A
    // run holds a lock on the folder around the pair (waiting up to a minute for another run's),
    // so the log beside a workbook is always the one written with it. When the workbook was
    // written but its log could not replace the old one, LogFailure() says why.
    bool ExportToExcel(const QString& fileName, const QString& sheetName, const QString& logFileName);
    // Why the last ExportToExcel wrote nothing, when a file step failed (no failure otherwise).
    const AtomicFile::Failure& LastFailure() const { return lastFailure_; }
    // Why the last ExportToExcel that wrote the workbook did not replace its log (no failure when it did).
    const AtomicFile::Failure& LogFailure() const { return logFailure_; }
    // Lines the next saves add to their log, before its result (what the sheet leaves out).
    void SetLogNotes(const QStringList& notes) { logNotes_ = notes; }

private:
    void findLastDataRow();
    bool failed(const AtomicFile& file);

    static constexpr int kLockWaitMs = 60000;

    AtomicFile::Failure lastFailure_;
    AtomicFile::Failure logFailure_;
    QStringList logNotes_;

    std::vector<std::vector<QString>> rows_; // rows_[r][c]: row r + 1, column c + 1
    int maxRows_ = 500;
    int lastDataRow_ = 0;
};
