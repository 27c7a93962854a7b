#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringEncoder>
#include <QStringList>
#include <functional>
#include <initializer_list>
#include <variant>

// The machine-readable forms of the inventory's records (zantrel-cli's output, the diagnostics
// window's saved lists). Every form is UTF-8; text that is not
// valid Unicode (a lone surrogate) is written as U+FFFD. No form lets a control character
// (U+0000..U+001F, U+007F, U+0080..U+009F) through as it is: text from project files cannot
// steer the terminal the output is shown on, and every record stays on its line.
//   tsv   a header line, then one record a line, fields separated by tabs; a backslash, tab,
//         CR, LF or NUL inside a field is written as \\, \t, \r, \n, \0, any other control
//         character as \xNN (upper-case hex); LF ends each line
//   csv   RFC 4180: a header line, fields separated by commas, a field holding a comma, a
//         double quote or a control character (or starting or ending with a space) in double
//         quotes with its double quotes doubled and each control character written \xNN (a
//         backslash stays as it is); CR LF ends each line
//   json  one document: an array of objects, one per record, keys as the header names, numbers
//         as numbers, lists as arrays of strings, true and false as JSON's, dates in ISO 8601
// In TSV and CSV a list is written as its items joined by "|" (a character no Windows path holds;
// a host file name may), a "|" inside an item written "\|" (TSV doubles every backslash of the
// text, so "\|" stands for nothing else there), true and false as "true" and "false".
// TSV is for programs (cut, awk, a script's split on tabs) and is written as the text is; CSV is
// what spreadsheets open, so by default its fields are kept from being read as formulas (see
// CsvFormulas).
enum class OutputFormat { Tsv, Csv, Json };

// How a CSV field that a spreadsheet would read as a formula is written.
enum class CsvFormulas {
    // A field starting with "=", "+", "-", "@", a tab or a CR (and not a plain number such as
    // "-3") gets a leading "'", so spreadsheets show it as text and never evaluate it: the usual
    // defence against formulas planted in a project's Name or a file's description.
    AsText,
    // Every field as it is (zantrel-cli --csv-raw), for programs that read the CSV themselves.
    Raw,
};

// Reads "tsv", "csv" or "json"; false for anything else.
bool ParseOutputFormat(const QString& text, OutputFormat& format);

// A file's date as the catalogue keeps it ("dd/mm/yyyy hh:mm:ss", local time): TSV and CSV write
// it so, JSON in ISO 8601 ("yyyy-mm-ddThh:mm:ss").
struct OutputDate {
    QString text;
};

using OutputValue = std::variant<QString, qint64, QStringList, bool, OutputDate>;

// The JSON text of one value.
QString JsonValue(const OutputValue& value);

struct OutputTable {
    QStringList columns;
    QList<QList<OutputValue>> rows;
};

// Receives an output a piece at a time, in order (a header line, one record, the closing
// bracket), so that no output is ever held whole in memory.
using OutputSink = std::function<void(const QByteArray& piece)>;

// Writes a table in `format` to `sink` a record at a time, as the records are made, so that a long
// output is never held whole: the header when made, each row(), then finish().
class TableWriter {
public:
    TableWriter(QStringList columns, OutputFormat format, OutputSink sink, CsvFormulas formulas = CsvFormulas::AsText);
    void row(const QList<OutputValue>& values) { writeRow(values.constData(), values.size()); }
    void row(std::initializer_list<OutputValue> values) { writeRow(values.begin(), qsizetype(values.size())); }
    void finish();
    qsizetype rows() const { return rows_; }

private:
    void writeRow(const OutputValue* values, qsizetype count);

    QStringList columns_; // for JSON, each already written as its key and ": "
    OutputFormat format_;
    OutputSink sink_;
    CsvFormulas formulas_;
    QChar separator_;
    QString end_;
    qsizetype rows_ = 0;
    // One record's text and its UTF-8 bytes, both kept from record to record.
    QString text_;
    QByteArray bytes_;
    QStringEncoder utf8_;
};

// Writes `table` in `format` to `sink`, one record a piece.
void WriteTable(const OutputTable& table, OutputFormat format, const OutputSink& sink,
                CsvFormulas formulas = CsvFormulas::AsText);
// The same, gathered into one array (for small tables and tests).
QByteArray RenderTable(const OutputTable& table, OutputFormat format, CsvFormulas formulas = CsvFormulas::AsText);

namespace OutputText {
// A C0 control character, DEL or a C1 control character.
inline bool isControl(QChar c)
{
    const char16_t u = c.unicode();
    return u < 0x20 || (u >= 0x7f && u <= 0x9f);
}
// The text with every lone surrogate replaced by U+FFFD.
QString valid(const QString& text);
// A JSON string literal: quotes, backslashes and control characters (C1 too) escaped.
QString jsonString(const QString& text);
// Whether a spreadsheet would read `text` as a formula: it starts with "=", "+", "-", "@", a tab
// or a CR and is not a plain number.
bool readAsFormula(const QString& text);
// One CSV field as RFC 4180 writes it, control characters as \xNN inside quotes, and with
// CsvFormulas::AsText a leading "'" when readAsFormula(text).
QString csvField(const QString& text, CsvFormulas formulas = CsvFormulas::AsText);
// One line of text for a person (a table cell): as valid(), with each control character written
// as "\xNN", so a name holding a line break or a tab keeps to its cell.
QString shown(const QString& text);
// One TSV field with \\, \t, \r, \n and \0 escapes and \xNN for other control characters.
QString tsvField(const QString& text);
// The same field appended to `out`, for writers that build a whole record in one buffer.
void appendTsvField(QString& out, const QString& text);
}
