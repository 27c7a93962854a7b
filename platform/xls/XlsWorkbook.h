#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <vector>

// The Excel 97-2003 workbook (BIFF8 records in a compound document): one worksheet of text
// cells, each stored once in the shared string table, with the records a spreadsheet program
// expects (row blocks with their index, DIMENSIONS, the default fonts, formats and styles), so
// the file opens without being repaired.
namespace XlsWorkbook {

// What one worksheet can hold in this format, and the longest text a cell may hold.
constexpr int MaxRows = 65536;
constexpr int MaxColumns = 256;
constexpr int MaxCellText = 32767;

// The cells of a sheet: rows[r][c] is the text of row r + 1, column c + 1 (a row may be shorter
// than the widest one). An empty text is no cell.
using SheetRows = std::vector<std::vector<QString>>;

// What a write did to the texts it was given, for the caller's log.
struct WriteSummary {
    QString storedSheetName;
    int rows = 0;           // rows of the sheet, the last one holding data included
    int columns = 0;        // columns up to the last one holding data
    qsizetype cells = 0;
    qsizetype uniqueStrings = 0;
    // One line per text that had to be changed to fit the format: "row R, column C: ...".
    QStringList changes;
};

// The sheet name spreadsheet programs accept that is closest to `asked`: "/" becomes the
// look-alike division slash (U+2215), the other characters they refuse (\ ? * [ ] : and control
// characters) become "_", an apostrophe at either end becomes "_", and the name is cut to 31
// units; an empty name becomes "Hoja1".
QString StoredSheetName(const QString& asked);

// The text a cell can hold that is closest to `text`: cut to MaxCellText units (never between
// the two halves of a surrogate pair), and with unpaired surrogates replaced by U+FFFD. Sets
// `cut`/`replaced` when it did either.
QString StoredCellText(const QString& text, bool* cut = nullptr, bool* replaced = nullptr);

// The Workbook stream (to be stored in a compound document, CompoundFile.h) of a workbook
// holding the first `rowCount` rows of `rows` as its one sheet. Rows past MaxRows and columns
// past MaxColumns are left out.
QByteArray WorkbookStream(const SheetRows& rows, int rowCount, const QString& sheetName,
                          WriteSummary* summary = nullptr);

}
