// Writes a table of arbitrary texts (a name, a list of paths, a number) in TSV, CSV and JSON and
// checks what reaches the output: no control character but the form's own separators and line
// ends, every record on one line, and every TSV record with one field per column.
#include "output/OutputFormat.h"
#include "FuzzCheck.h"

#include <algorithm>
#include <cstdint>

namespace {

// No C0 control, DEL or C1 control (in UTF-8: C2 80..C2 9F) but tab, CR and LF.
void checkNoControls(const QByteArray& out)
{
    for (qsizetype i = 0; i < out.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(out[i]);
        check(c >= 0x20 || c == '\t' || c == '\r' || c == '\n');
        check(c != 0x7f);
        if (c == 0xc2 && i + 1 < out.size()) {
            const unsigned char next = static_cast<unsigned char>(out[i + 1]);
            check(next < 0x80 || next > 0x9f);
        }
    }
}

}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QStringList fields = QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size)).split(u'\x1e');
    OutputTable table;
    table.columns = {"name", "projects", "number"};
    for (qsizetype at = 0; at < fields.size(); at += 3) {
        const QString name = fields[at];
        const QStringList items = fields.value(at + 1).split(u'\x1f');
        table.rows.append({name, items, qint64(fields.value(at + 2).size()) - 5});
    }
    const qsizetype lines = table.rows.size() + 1;

    const QByteArray tsv = RenderTable(table, OutputFormat::Tsv);
    check(tsv.count('\n') == lines && tsv.endsWith('\n') && !tsv.contains('\r'));
    for (const QByteArray& record : tsv.split('\n').mid(0, lines))
        check(record.count('\t') == 2);
    QByteArray withoutTabs = tsv;
    withoutTabs.replace('\t', ' ');
    checkNoControls(withoutTabs);

    for (CsvFormulas formulas : {CsvFormulas::AsText, CsvFormulas::Raw}) {
        const QByteArray csv = RenderTable(table, OutputFormat::Csv, formulas);
        check(csv.count('\n') == lines && csv.count('\r') == lines && !csv.contains('\t'));
        checkNoControls(csv);
    }

    const QByteArray json = RenderTable(table, OutputFormat::Json);
    check(!json.contains('\t') && !json.contains('\r'));
    checkNoControls(json);
    return 0;
}
