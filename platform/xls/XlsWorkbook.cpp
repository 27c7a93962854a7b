#include "platform/xls/XlsWorkbook.h"

#include <QHash>
#include <QtEndian>
#include <algorithm>
#include <cstdint>

namespace XlsWorkbook {

namespace {

// Record types.
enum : std::uint16_t {
    kBof = 0x0809, kEof = 0x000A, kInterfaceHdr = 0x00E1, kMms = 0x00C1, kInterfaceEnd = 0x00E2,
    kWriteAccess = 0x005C, kCodePage = 0x0042, kDsf = 0x0161, kTabId = 0x013D, kFnGroupCount = 0x009C,
    kWindowProtect = 0x0019, kProtect = 0x0012, kPassword = 0x0013, kProt4Rev = 0x01AF,
    kProt4RevPass = 0x01BC, kBackup = 0x0040, kHideObj = 0x008D, kWindow1 = 0x003D, kDateMode = 0x0022,
    kPrecision = 0x000E, kRefreshAll = 0x01B7, kBookBool = 0x00DA, kFont = 0x0031, kXf = 0x00E0,
    kStyle = 0x0293, kBoundSheet = 0x0085, kSst = 0x00FC, kContinue = 0x003C, kExtSst = 0x00FF,
    kIndex = 0x020B, kCalcMode = 0x000D, kCalcCount = 0x000C, kRefMode = 0x000F, kIteration = 0x0011,
    kDelta = 0x0010, kSaveRecalc = 0x005F, kPrintHeaders = 0x002A, kPrintGridLines = 0x002B,
    kGridSet = 0x0082, kGuts = 0x0080, kDefaultRowHeight = 0x0225, kWsBool = 0x0081,
    kDefColWidth = 0x0055, kColInfo = 0x007D, kDimensions = 0x0200, kRow = 0x0208, kLabelSst = 0x00FD,
    kDbCell = 0x00D7, kWindow2 = 0x023E,
};

constexpr qsizetype kMaxRecordBody = 8224;
constexpr std::uint16_t kBiff8 = 0x0600;
constexpr std::uint16_t kUnicodeCodePage = 1200;
constexpr std::uint16_t kDefaultCellXf = 15;
constexpr std::uint16_t kRowHeight = 0x00FF; // 12.75 points, in twips
constexpr int kRowsPerBlock = 32;

// Appends little-endian values and whole records to a byte stream.
class Stream {
public:
    QByteArray bytes;

    qsizetype pos() const { return bytes.size(); }
    // Room for `n` more bytes at the end, to be filled through the pointer.
    char* grow(qsizetype n)
    {
        const qsizetype at = bytes.size();
        bytes.resize(at + n);
        return bytes.data() + at;
    }
    void u8(std::uint8_t v) { *grow(1) = char(v); }
    void u16(std::uint16_t v) { qToLittleEndian(v, grow(2)); }
    void u32(std::uint32_t v) { qToLittleEndian(v, grow(4)); }
    void zeros(qsizetype n) { std::fill_n(grow(n), n, '\0'); }
    void patch16(qsizetype at, std::uint16_t v) { qToLittleEndian(v, bytes.data() + at); }
    void patch32(qsizetype at, std::uint32_t v) { qToLittleEndian(v, bytes.data() + at); }

    // Starts a record; its length is filled in by end().
    void begin(std::uint16_t type)
    {
        recordStart_ = pos();
        char* p = grow(4);
        qToLittleEndian(type, p);
        qToLittleEndian(std::uint16_t(0), p + 2);
    }
    void end() { patch16(recordStart_ + 2, std::uint16_t(pos() - recordStart_ - 4)); }
    qsizetype recordStart() const { return recordStart_; }
    qsizetype bodySize() const { return pos() - recordStart_ - 4; }

    // A record of 16-bit values.
    void record(std::uint16_t type, std::initializer_list<std::uint16_t> values)
    {
        begin(type);
        char* p = grow(2 * qsizetype(values.size()));
        for (std::uint16_t v : values) {
            qToLittleEndian(v, p);
            p += 2;
        }
        end();
    }

    // A cell holding shared string `isst`: one LABELSST record.
    void labelSst(int row, int column, std::uint16_t xf, std::uint32_t isst)
    {
        char* p = grow(14);
        qToLittleEndian(std::uint16_t(0x00FD), p);
        qToLittleEndian(std::uint16_t(10), p + 2);
        qToLittleEndian(std::uint16_t(row), p + 4);
        qToLittleEndian(std::uint16_t(column), p + 6);
        qToLittleEndian(xf, p + 8);
        qToLittleEndian(isst, p + 10);
    }

    // Characters of `text`, one byte each when `compressed`, else UTF-16LE.
    void chars(const QChar* text, qsizetype n, bool compressed)
    {
        char* out = grow(compressed ? n : 2 * n);
        if (compressed) {
            for (qsizetype i = 0; i < n; ++i)
                out[i] = char(text[i].unicode());
        } else {
            for (qsizetype i = 0; i < n; ++i)
                qToLittleEndian(text[i].unicode(), out + 2 * i);
        }
    }

private:
    qsizetype recordStart_ = 0;
};

bool fitsInOneByte(const QString& text)
{
    return std::all_of(text.cbegin(), text.cend(), [](QChar c) { return c.unicode() <= 0xFF; });
}

// An 8-bit-length string (sheet and font names): length, flags, characters.
void shortString(Stream& s, const QString& text)
{
    const bool compressed = fitsInOneByte(text);
    s.u8(std::uint8_t(text.size()));
    s.u8(compressed ? 0 : 1);
    s.chars(text.constData(), text.size(), compressed);
}

void bof(Stream& s, std::uint16_t kind)
{
    s.begin(kBof);
    s.u16(kBiff8);
    s.u16(kind);
    s.u16(0x0DBB); // build
    s.u16(0x07CC); // year
    s.u32(0);
    s.u32(0x00000006); // lowest version that can read the file: BIFF8
    s.end();
}

void font(Stream& s)
{
    s.begin(kFont);
    s.u16(200);    // 10 points, in twips
    s.u16(0);      // no italic, strike-out, outline or shadow
    s.u16(0x7FFF); // automatic colour
    s.u16(400);    // normal weight
    s.u16(0);      // no super- or subscript
    s.u8(0);       // no underline
    s.u8(0);       // family
    s.u8(0);       // character set
    s.u8(0);
    shortString(s, QStringLiteral("Arial"));
    s.end();
}

// A style format (0 to 14) or the default cell format (15), as a new workbook has them.
void xf(Stream& s, bool style, std::uint16_t font, std::uint8_t usedAttributes)
{
    s.begin(kXf);
    s.u16(font);
    s.u16(0);                          // General number format
    s.u16(style ? 0xFFF5 : 0x0001);    // locked; a style has no parent, a cell has style 0
    s.u8(0x20);                        // aligned to the bottom
    s.u8(0);                           // no rotation
    s.u8(0);                           // no indent
    s.u8(usedAttributes);
    s.u32(0);                          // no borders
    s.u32(0);
    s.u16(0x20C0);                     // pattern colours: window text over window background
    s.end();
}

void globalsHeader(Stream& s)
{
    bof(s, 0x0005);
    s.record(kInterfaceHdr, {kUnicodeCodePage});
    s.record(kMms, {0});
    s.record(kInterfaceEnd, {});
    s.begin(kWriteAccess);
    const QString user = QStringLiteral("Zantrel");
    s.u16(std::uint16_t(user.size()));
    s.u8(0);
    s.chars(user.constData(), user.size(), true);
    s.bytes.append(112 - s.bodySize(), ' ');
    s.end();
    s.record(kCodePage, {kUnicodeCodePage});
    s.record(kDsf, {0});
    s.record(kTabId, {1});
    s.record(kFnGroupCount, {14});
    s.record(kWindowProtect, {0});
    s.record(kProtect, {0});
    s.record(kPassword, {0});
    s.record(kProt4Rev, {0});
    s.record(kProt4RevPass, {0});
    s.record(kBackup, {0});
    s.record(kHideObj, {0});
    // Window position and size in twips, scroll bars and tabs shown, first sheet active.
    s.record(kWindow1, {0x0168, 0x010E, 0x3A5C, 0x23BE, 0x0038, 0, 0, 1, 0x0258});
    s.record(kDateMode, {0});
    s.record(kPrecision, {1});
    s.record(kRefreshAll, {0});
    s.record(kBookBool, {0});
    // Fonts 0 to 3 (index 4 is never used by the format).
    for (int i = 0; i < 4; ++i)
        font(s);
    xf(s, true, 0, 0x00);
    for (std::uint16_t i = 1; i < 15; ++i)
        xf(s, true, i < 3 ? i : 0, 0xF4);
    xf(s, false, 0, 0x00);
    s.record(kStyle, {0x8000, 0xFF00}); // the built-in Normal style on format 0
}

// The shared string table, continued over CONTINUE records where it outgrows one record, with
// the EXTSST that indexes it.
void sharedStrings(Stream& s, const QList<QString>& strings, qsizetype totalRefs)
{
    const qsizetype unique = strings.size();
    const qsizetype perBucket = std::max<qsizetype>(unique / 128 + 1, 8);
    struct Bucket { std::uint32_t position; std::uint16_t offset; };
    QList<Bucket> buckets;

    s.begin(kSst);
    s.u32(std::uint32_t(totalRefs));
    s.u32(std::uint32_t(unique));
    auto room = [&s] { return kMaxRecordBody - s.bodySize(); };
    auto continueRecord = [&s] {
        s.end();
        s.begin(kContinue);
    };
    for (qsizetype i = 0; i < unique; ++i) {
        const QString& text = strings[i];
        const bool compressed = fitsInOneByte(text);
        const qsizetype charSize = compressed ? 1 : 2;
        // The length and flags stay with at least the first character.
        if (room() < 3 + charSize)
            continueRecord();
        if (i % perBucket == 0)
            buckets.append({std::uint32_t(s.pos()), std::uint16_t(s.pos() - s.recordStart())});
        s.u16(std::uint16_t(text.size()));
        s.u8(compressed ? 0 : 1);
        qsizetype done = 0;
        while (done < text.size()) {
            qsizetype n = std::min(text.size() - done, room() / charSize);
            if (n == 0) {
                // The rest goes on in a new record, which repeats the flags.
                continueRecord();
                s.u8(compressed ? 0 : 1);
                continue;
            }
            s.chars(text.constData() + done, n, compressed);
            done += n;
        }
    }
    s.end();

    s.begin(kExtSst);
    s.u16(std::uint16_t(perBucket));
    for (const Bucket& b : buckets) {
        s.u32(b.position);
        s.u16(b.offset);
        s.u16(0);
    }
    s.end();
}

// Width of a column in 1/256 of a character, from its longest text, between 8 and 60 characters.
std::uint16_t columnWidth(qsizetype longest)
{
    return std::uint16_t(std::clamp<qsizetype>(longest + 2, 8, 60) * 256);
}

}

QString StoredSheetName(const QString& asked)
{
    QString name;
    name.reserve(asked.size());
    for (QChar c : asked) {
        const char16_t u = c.unicode();
        if (u == u'/')
            name += QChar(0x2215);
        else if (u < 0x20 || u == u'\\' || u == u'?' || u == u'*' || u == u'[' || u == u']' || u == u':')
            name += u'_';
        else
            name += c;
    }
    name = StoredCellText(name);
    if (name.size() > 31)
        name.truncate(name[30].isHighSurrogate() ? 30 : 31);
    if (name.startsWith(u'\''))
        name[0] = u'_';
    if (name.endsWith(u'\''))
        name[name.size() - 1] = u'_';
    return name.isEmpty() ? QStringLiteral("Hoja1") : name;
}

QString StoredCellText(const QString& text, bool* cut, bool* replaced)
{
    const qsizetype limit = text.size() > MaxCellText && text.at(MaxCellText - 1).isHighSurrogate()
                                ? MaxCellText - 1
                                : MaxCellText;
    const qsizetype size = std::min(text.size(), limit);
    if (cut && size < text.size())
        *cut = true;
    // Most texts are fine as they are and are shared, not copied.
    QString out = size < text.size() ? text.left(size) : text;
    const QChar* chars = text.constData();
    for (qsizetype i = 0; i < size; ++i) {
        const QChar c = chars[i];
        if (!c.isSurrogate())
            continue;
        if (c.isHighSurrogate() && i + 1 < size && chars[i + 1].isLowSurrogate()) {
            ++i;
            continue;
        }
        out[i] = QChar::ReplacementCharacter;
        if (replaced)
            *replaced = true;
    }
    return out;
}

namespace {

constexpr std::uint32_t kNoCell = UINT32_MAX;

// The sheet's text gathered for writing: each distinct text once, in the order the cells meet
// it, made fit for a cell; the string of every cell, row after row; the extent of the data; the
// widest text of each column.
struct StringTable {
    QList<QString> strings;
    std::vector<std::uint32_t> cellStrings; // kNoCell for an empty cell
    std::vector<size_t> rowStart;           // row r's cells: [rowStart[r], rowStart[r + 1])
    std::vector<qsizetype> longest;
    int firstRow = -1, lastRow = -1, firstColumn = MaxColumns, lastColumn = -1;
    qsizetype cells = 0, textBytes = 0;

    std::pair<std::vector<std::uint32_t>::const_iterator, std::vector<std::uint32_t>::const_iterator>
    rowCells(int r) const
    {
        return {cellStrings.begin() + std::ptrdiff_t(rowStart[size_t(r)]),
                cellStrings.begin() + std::ptrdiff_t(rowStart[size_t(r) + 1])};
    }
    bool empty() const { return firstRow < 0; }
};

// Gathers the strings of rows 0..rowCount-1, noting in `sum` every text cut or mended.
StringTable collectStrings(const SheetRows& rows, int rowCount, WriteSummary& sum)
{
    struct Distinct { std::uint32_t index; bool cut; bool replaced; qsizetype originalSize; };
    QHash<QString, Distinct> distinct;
    QHash<QString, std::uint32_t> storedIndex;
    StringTable table;
    table.rowStart.assign(size_t(rowCount) + 1, 0);
    for (int r = 0; r < rowCount; ++r) {
        const std::vector<QString>& row = rows[size_t(r)];
        const int width = int(std::min<size_t>(row.size(), size_t(MaxColumns)));
        table.rowStart[size_t(r)] = table.cellStrings.size();
        for (int c = 0; c < width; ++c) {
            const QString& original = row[size_t(c)];
            if (original.isEmpty()) {
                table.cellStrings.push_back(kNoCell);
                continue;
            }
            auto it = distinct.constFind(original);
            if (it == distinct.constEnd()) {
                // Texts that differ only past the cut, or in their unpaired surrogates, are
                // stored once.
                Distinct d{0, false, false, original.size()};
                const QString stored = StoredCellText(original, &d.cut, &d.replaced);
                const auto known = storedIndex.constFind(stored);
                if (known != storedIndex.constEnd()) {
                    d.index = *known;
                } else {
                    d.index = std::uint32_t(table.strings.size());
                    storedIndex.insert(stored, d.index);
                    table.strings.append(stored);
                    table.textBytes += 3 + 2 * stored.size();
                }
                it = distinct.insert(original, d);
            }
            if (it->cut)
                sum.changes.append(QStringLiteral("row %1, column %2: text of %3 characters cut to %4")
                                       .arg(r + 1).arg(c + 1).arg(it->originalSize).arg(table.strings[it->index].size()));
            if (it->replaced)
                sum.changes.append(QStringLiteral("row %1, column %2: unpaired surrogate replaced by U+FFFD")
                                       .arg(r + 1).arg(c + 1));
            table.cellStrings.push_back(it->index);
            if (table.firstRow < 0)
                table.firstRow = r;
            table.lastRow = r;
            table.firstColumn = std::min(table.firstColumn, c);
            table.lastColumn = std::max(table.lastColumn, c);
            if (table.longest.size() <= size_t(c))
                table.longest.resize(size_t(c) + 1, 0);
            table.longest[size_t(c)] = std::max(table.longest[size_t(c)], table.strings[it->index].size());
            ++table.cells;
        }
    }
    table.rowStart[size_t(rowCount)] = table.cellStrings.size();
    return table;
}

// The workbook globals: header records, the one sheet's BOUNDSHEET, the shared strings and EOF.
// Returns where the BOUNDSHEET's stream position of the sheet is to be patched.
qsizetype writeGlobals(Stream& s, const StringTable& table, const QString& storedSheetName)
{
    globalsHeader(s);
    const qsizetype sheetPositionRef = s.pos() + 4;
    s.begin(kBoundSheet);
    s.u32(0);
    s.u8(0); // visible
    s.u8(0); // worksheet
    shortString(s, storedSheetName);
    s.end();
    sharedStrings(s, table.strings, table.cells);
    s.record(kEof, {});
    return sheetPositionRef;
}

// First row of each 32-row block that holds cells.
QList<int> rowBlocks(const StringTable& table)
{
    QList<int> blocks;
    for (int r = table.firstRow; r >= 0 && r <= table.lastRow; ++r) {
        const auto [from, to] = table.rowCells(r);
        const int block = r / kRowsPerBlock * kRowsPerBlock;
        if (std::any_of(from, to, [](std::uint32_t i) { return i != kNoCell; })
            && (blocks.isEmpty() || blocks.last() != block))
            blocks.append(block);
    }
    return blocks;
}

// The worksheet's records before its rows: BOF, INDEX, calculation and print settings, column
// widths and DIMENSIONS. Returns where the INDEX's DBCELL positions are to be patched.
qsizetype writeSheetHeader(Stream& s, const StringTable& table, qsizetype blockCount)
{
    const bool empty = table.empty();
    bof(s, 0x0010);
    s.begin(kIndex);
    s.u32(0);
    s.u32(empty ? 0 : std::uint32_t(table.firstRow));
    s.u32(empty ? 0 : std::uint32_t(table.lastRow + 1));
    const qsizetype defColWidthRef = s.pos();
    s.u32(0);
    const qsizetype dbCellRefs = s.pos();
    s.zeros(4 * blockCount);
    s.end();

    s.record(kCalcMode, {1});
    s.record(kCalcCount, {100});
    s.record(kRefMode, {1});
    s.record(kIteration, {0});
    s.begin(kDelta);
    s.u32(0xD2F1A9FC); // 0.001 as a little-endian double
    s.u32(0x3F50624D);
    s.end();
    s.record(kSaveRecalc, {1});
    s.record(kPrintHeaders, {0});
    s.record(kPrintGridLines, {0});
    s.record(kGridSet, {1});
    s.record(kGuts, {0, 0, 0, 0});
    s.record(kDefaultRowHeight, {0, kRowHeight});
    s.record(kWsBool, {0x04C1});
    s.patch32(defColWidthRef, std::uint32_t(s.pos()));
    s.record(kDefColWidth, {8});
    for (size_t c = 0; c < table.longest.size(); ++c)
        if (table.longest[c] > 0)
            s.record(kColInfo, {std::uint16_t(c), std::uint16_t(c), columnWidth(table.longest[c]), kDefaultCellXf, 0x0002, 0});

    s.begin(kDimensions);
    s.u32(empty ? 0 : std::uint32_t(table.firstRow));
    s.u32(empty ? 0 : std::uint32_t(table.lastRow + 1));
    s.u16(empty ? 0 : std::uint16_t(table.firstColumn));
    s.u16(empty ? 0 : std::uint16_t(table.lastColumn + 1));
    s.u16(0);
    s.end();
    return dbCellRefs;
}

// One row block: the ROW records of the rows from `firstRow` up to 32 that hold cells, their
// cells, and the DBCELL that finds them, whose position goes to `dbCellRef`.
void writeRowBlock(Stream& s, const StringTable& table, int firstRow, qsizetype dbCellRef)
{
    const int end = std::min(firstRow + kRowsPerBlock, table.lastRow + 1);
    QList<int> blockRows;
    const qsizetype firstRowRecord = s.pos();
    for (int r = firstRow; r < end; ++r) {
        const auto [from, to] = table.rowCells(r);
        const auto first = std::find_if(from, to, [](std::uint32_t i) { return i != kNoCell; });
        if (first == to)
            continue;
        const auto last = std::find_if(std::make_reverse_iterator(to), std::make_reverse_iterator(first),
                                       [](std::uint32_t i) { return i != kNoCell; });
        blockRows.append(r);
        s.begin(kRow);
        s.u16(std::uint16_t(r));
        s.u16(std::uint16_t(first - from));
        s.u16(std::uint16_t(to - from - (last - std::make_reverse_iterator(to))));
        s.u16(kRowHeight);
        s.u16(0);
        s.u16(0);
        s.u32(0x00000100u | (std::uint32_t(kDefaultCellXf) << 16));
        s.end();
    }
    QList<qsizetype> firstCells;
    for (int r : blockRows) {
        const auto [from, to] = table.rowCells(r);
        firstCells.append(s.pos());
        for (auto it = from; it != to; ++it)
            if (*it != kNoCell)
                s.labelSst(r, int(it - from), kDefaultCellXf, *it);
    }
    s.patch32(dbCellRef, std::uint32_t(s.pos()));
    s.begin(kDbCell);
    s.u32(std::uint32_t(s.recordStart() - firstRowRecord));
    for (qsizetype i = 0; i < firstCells.size(); ++i)
        s.u16(std::uint16_t(firstCells[i] - (i == 0 ? firstRowRecord + 20 : firstCells[i - 1])));
    s.end();
}

}

QByteArray WorkbookStream(const SheetRows& rows, int rowCount, const QString& sheetName, WriteSummary* summary)
{
    // Rows past the end of `rows` were never written and hold nothing.
    rowCount = std::clamp(rowCount, 0, int(std::min<size_t>(rows.size(), size_t(MaxRows))));
    WriteSummary local;
    WriteSummary& sum = summary ? *summary : local;
    sum = WriteSummary();
    sum.storedSheetName = StoredSheetName(sheetName);

    const StringTable table = collectStrings(rows, rowCount, sum);
    sum.rows = table.lastRow + 1;
    sum.columns = table.lastColumn + 1;
    sum.cells = table.cells;
    sum.uniqueStrings = table.strings.size();

    Stream s;
    s.bytes.reserve(4096 + table.textBytes + table.textBytes / 8000 * 5 + 8 * (table.strings.size() / 8 + 1)
                    + table.cells * 14 + qsizetype(rowCount) * 20 + qsizetype(rowCount) / 32 * 70 + 1024);
    // The globals come first; their size gives the worksheet's stream position.
    const qsizetype sheetPositionRef = writeGlobals(s, table, sum.storedSheetName);
    s.patch32(sheetPositionRef, std::uint32_t(s.pos()));
    const QList<int> blocks = rowBlocks(table);
    const qsizetype dbCellRefs = writeSheetHeader(s, table, blocks.size());
    for (qsizetype b = 0; b < blocks.size(); ++b)
        writeRowBlock(s, table, blocks[b], dbCellRefs + 4 * b);
    // Shown as the active sheet, with grid lines, headers and zeros.
    s.record(kWindow2, {0x06B6, 0, 0, 0x0040, 0, 0, 0, 0, 0});
    s.record(kEof, {});
    return s.bytes;
}


}
