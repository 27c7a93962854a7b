#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <variant>

// The machine-readable forms of the inventory's records (zantrel-cli's output, the diagnostics
// window's saved lists). Every form is UTF-8; text that is not
// valid Unicode (a lone surrogate) is written as U+FFFD.
//   tsv   a header line, then one record a line, fields separated by tabs; a backslash, tab,
//         CR or LF inside a field is written as \\, \t, \r, \n; LF ends each line
//   csv   RFC 4180: a header line, fields separated by commas, a field holding a comma, a
//         double quote, CR or LF (or starting or ending with a space) in double quotes with its
//         double quotes doubled; CR LF ends each line
//   json  one document: an array of objects, one per record, keys as the header names, numbers
//         as numbers, lists as arrays of strings, true and false as JSON's, dates in ISO 8601
// In TSV and CSV a list is written as its items joined by "|" (a character no Windows path holds),
// true and false as "true" and "false".
enum class OutputFormat { Tsv, Csv, Json };

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

QByteArray RenderTable(const OutputTable& table, OutputFormat format);

namespace OutputText {
// The text with every lone surrogate replaced by U+FFFD.
QString valid(const QString& text);
// A JSON string literal: quotes, backslashes and control characters escaped.
QString jsonString(const QString& text);
// One CSV field as RFC 4180 writes it.
QString csvField(const QString& text);
// One line of text for a person (a table cell): as valid(), with each control character written
// as "\xNN", so a name holding a line break or a tab keeps to its cell.
QString shown(const QString& text);
// One TSV field with \\, \t, \r, \n and \0 escapes.
QString tsvField(const QString& text);
}
