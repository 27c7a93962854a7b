// Writes sheets of arbitrary texts (the export's texts come from project files and type
// libraries, both outside input) and checks the workbook stream's framing: records within the
// format's size limit that tile the stream exactly, two substreams, and a shared string table
// whose strings, read back across their CONTINUE records, are the texts the cells were given.
// Sheets reach past the format's limits (columns past 256, rows past 65,536, which are left
// out) and cells near and over 32,767 characters (which are cut and logged), within a bound on
// the memory an input can ask for, so that runs stay fast.
#include "platform/xls/CompoundFile.h"
#include "platform/xls/XlsWorkbook.h"
#include "FuzzCheck.h"

#include <QSet>
#include <QtEndian>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <vector>

namespace {

std::uint16_t at16(const QByteArray& b, qsizetype i)
{
    check(i >= 0 && i + 2 <= b.size());
    return std::uint16_t(std::uint8_t(b.at(i)) | std::uint8_t(b.at(i + 1)) << 8);
}

std::uint32_t at32(const QByteArray& b, qsizetype i)
{
    return at16(b, i) | std::uint32_t(at16(b, i + 2)) << 16;
}

// Reads the strings of the SST record at `sst` and the CONTINUE records after it.
QList<QString> readSharedStrings(const QByteArray& stream, qsizetype sst)
{
    // The table's bodies, each remembered as [start, end) in the stream.
    std::vector<std::pair<qsizetype, qsizetype>> bodies;
    for (qsizetype pos = sst;;) {
        const std::uint16_t type = at16(stream, pos), length = at16(stream, pos + 2);
        if (pos != sst && type != 0x003C)
            break;
        bodies.push_back({pos + 4, pos + 4 + length});
        pos += 4 + length;
    }
    qsizetype body = 0, p = bodies[0].first + 8;
    const std::uint32_t unique = at32(stream, bodies[0].first + 4);
    auto nextBody = [&] {
        ++body;
        check(body < qsizetype(bodies.size()));
        p = bodies[body].first;
    };
    QList<QString> strings;
    for (std::uint32_t i = 0; i < unique; ++i) {
        if (p == bodies[body].second)
            nextBody();
        check(p + 3 <= bodies[body].second); // the header is never split
        const std::uint16_t count = at16(stream, p);
        bool wide = stream[p + 2] & 1;
        check((stream[p + 2] & ~1) == 0);
        p += 3;
        QString text;
        text.reserve(count);
        while (text.size() < count) {
            if (p == bodies[body].second) {
                nextBody();
                wide = stream[p] & 1;
                ++p;
            }
            // The characters up to the end of this body, in one piece (a character is never split).
            const qsizetype charSize = wide ? 2 : 1;
            const qsizetype n = std::min<qsizetype>(count - text.size(), (bodies[body].second - p) / charSize);
            check(n > 0);
            const char* from = stream.constData() + p;
            if (wide) {
                const qsizetype at = text.size();
                text.resize(at + n);
                qFromLittleEndian<char16_t>(from, n, text.data() + at);
            } else {
                text += QLatin1StringView(from, n);
            }
            p += n * charSize;
        }
        strings.append(text);
    }
    check(p == bodies[body].second && body == qsizetype(bodies.size()) - 1);
    return strings;
}

}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 2)
        return 0;
    // The first byte gives the width of the sheet (usually under 32 columns, from 0xF0 on past
    // the 256 the format holds), the second the empty rows between data rows (usually under 4,
    // from 0xC0 under 40, from 0xF0 on thousands, so rows pass the 65,536 the format holds); the
    // rest are UTF-16 units, 0xFFFF ending each cell's text and 0xFFFE N repeating the text's last unit N times.
    const int width = data[0] >= 0xF0 ? 250 + (data[0] & 15) : 1 + data[0] % 32;
    const int gap = data[1] >= 0xF0 ? 4000 + 4096 * (data[1] & 15) : data[1] >= 0xC0 ? data[1] % 40 : data[1] % 4;
    constexpr qsizetype kMaxUnits = 100000; // all the cells' texts together: three past the cell limit
    qsizetype units = 0;
    bool longCell = false;
    XlsWorkbook::SheetRows rows;
    QList<QString> given; // in first-seen order, as the table stores them
    QSet<QString> givenSet;
    QString text;
    int cell = 0;
    if (gap >= 4000)
        rows.reserve(size_t(XlsWorkbook::MaxRows) + 64);
    auto place = [&] {
        const size_t row = size_t(cell / width) * size_t(gap + 1);
        const int column = cell % width;
        ++cell;
        if (row >= size_t(XlsWorkbook::MaxRows) + 64) // rows past the limit need only exist
            return;
        if (rows.size() <= row)
            rows.resize(row + 1);
        rows[row].resize(size_t(width));
        rows[row][size_t(column)] = text;
        if (row < size_t(XlsWorkbook::MaxRows) && column < XlsWorkbook::MaxColumns) {
            longCell = longCell || text.size() > XlsWorkbook::MaxCellText;
            if (!text.isEmpty()) {
                QString stored = XlsWorkbook::StoredCellText(text);
                if (!givenSet.contains(stored)) {
                    givenSet.insert(stored);
                    given.append(std::move(stored));
                }
            }
        }
        text.clear();
    };
    for (size_t i = 2; i + 1 < size; i += 2) {
        const char16_t unit = char16_t(data[i] | (data[i + 1] << 8));
        if (unit == 0xFFFF) {
            place();
        } else if (unit == 0xFFFE && i + 3 < size) {
            i += 2;
            const qsizetype count = std::min<qsizetype>(data[i] | (data[i + 1] << 8), kMaxUnits - units);
            text += QString(count, text.isEmpty() ? QChar(u'x') : text.back());
            units += count;
        } else if (units < kMaxUnits) {
            text += QChar(unit);
            ++units;
        }
    }
    place();

    XlsWorkbook::WriteSummary summary;
    const QByteArray stream = XlsWorkbook::WorkbookStream(rows, int(rows.size()), QStringLiteral("Hoja"), &summary);
    int bofs = 0, eofs = 0;
    qsizetype sst = -1, pos = 0;
    while (pos < stream.size()) {
        const std::uint16_t type = at16(stream, pos), length = at16(stream, pos + 2);
        check(length <= 8224);
        bofs += type == 0x0809;
        eofs += type == 0x000A;
        if (type == 0x00FC)
            sst = pos;
        pos += 4 + length;
    }
    check(pos == stream.size() && bofs == 2 && eofs == 2 && sst >= 0);
    check(readSharedStrings(stream, sst) == given);
    check(summary.uniqueStrings == given.size());
    check(summary.rows <= XlsWorkbook::MaxRows && summary.columns <= XlsWorkbook::MaxColumns);
    check(!longCell || !summary.changes.isEmpty()); // a cut text is logged

    const CompoundFile::OneStreamFile parts = CompoundFile::AroundOneStream(QStringLiteral("Workbook"), stream.size());
    check(parts.head.size() == 512 && (parts.head.size() + stream.size() + parts.tail.size()) % 512 == 0);
    return 0;
}
