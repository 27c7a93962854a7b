#include "output/OutputFormat.h"

#include "platform/files/HostNames.h"

#include <QStringEncoder>
#include <algorithm>
#include <bit>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace OutputText {

namespace {

QString hexEscape(QChar c)
{
    return QStringLiteral("\\x") + QString::number(c.unicode(), 16).rightJustified(2, u'0').toUpper();
}

}

QString valid(const QString& text)
{
    // A byte of a file name that is not valid text shows as \xNN, so such names stay apart.
    if (HostNames::hasRawBytes(text))
        return valid(HostNames::displayed(text));
    QString out = text; // shared until a lone surrogate needs replacing
    const QChar* chars = text.constData();
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (!chars[i].isSurrogate())
            continue;
        if (chars[i].isHighSurrogate() && i + 1 < text.size() && chars[i + 1].isLowSurrogate()) {
            ++i;
            continue;
        }
        out[i] = QChar::ReplacementCharacter;
    }
    return out;
}

QString jsonString(const QString& text)
{
    const QString checked = valid(text);
    QString out;
    out.reserve(checked.size() + 2);
    out += u'"';
    for (QChar c : checked) {
        switch (c.unicode()) {
        case u'"': out += QStringLiteral("\\\""); break;
        case u'\\': out += QStringLiteral("\\\\"); break;
        case u'\b': out += QStringLiteral("\\b"); break;
        case u'\f': out += QStringLiteral("\\f"); break;
        case u'\n': out += QStringLiteral("\\n"); break;
        case u'\r': out += QStringLiteral("\\r"); break;
        case u'\t': out += QStringLiteral("\\t"); break;
        default:
            if (isControl(c))
                out += QStringLiteral("\\u%1").arg(c.unicode(), 4, 16, QChar(u'0'));
            else
                out += c;
        }
    }
    out += u'"';
    return out;
}

namespace {

// "12", "-3", "+4.5": a number, which a spreadsheet reads as that number and nothing else.
bool plainNumber(const QString& text)
{
    qsizetype i = text.startsWith(u'-') || text.startsWith(u'+') ? 1 : 0;
    qsizetype digits = 0, points = 0;
    for (; i < text.size(); ++i) {
        if (text[i] >= u'0' && text[i] <= u'9')
            ++digits;
        else if (text[i] == u'.' && points++ == 0)
            continue;
        else
            return false;
    }
    return digits > 0;
}

}

bool readAsFormula(const QString& text)
{
    if (text.isEmpty())
        return false;
    const QChar first = text.front();
    const bool formulaStart = first == u'=' || first == u'+' || first == u'-' || first == u'@' || first == u'\t'
                              || first == u'\r';
    return formulaStart && !plainNumber(text);
}

QString csvField(const QString& text, CsvFormulas formulas)
{
    QString checked = valid(text);
    if (formulas == CsvFormulas::AsText && readAsFormula(checked))
        checked.prepend(u'\'');
    const bool controls = std::any_of(checked.cbegin(), checked.cend(), isControl);
    const bool quoted = controls || checked.contains(u',') || checked.contains(u'"') || checked.startsWith(u' ')
                        || checked.endsWith(u' ');
    if (!quoted)
        return checked;
    QString out;
    out.reserve(checked.size() + 2);
    out += u'"';
    for (QChar c : checked) {
        if (c == u'"')
            out += QStringLiteral("\"\"");
        else if (isControl(c))
            out += hexEscape(c);
        else
            out += c;
    }
    return out + u'"';
}

QString shown(const QString& text)
{
    const QString checked = valid(text);
    if (std::none_of(checked.cbegin(), checked.cend(), isControl))
        return checked;
    QString out;
    out.reserve(checked.size() + 8);
    for (QChar c : checked) {
        if (isControl(c))
            out += hexEscape(c);
        else
            out += c;
    }
    return out;
}

namespace {

// Whether TSV writes a character as it is: neither a backslash, a control character nor half of a
// surrogate pair. Printable ASCII is decided by the first test.
inline bool plainInTsv(char16_t u)
{
    if (u >= 0x20 && u < 0x7f)
        return u != u'\\';
    return u >= 0xa0 && (u < 0xd800 || u > 0xdfff);
}

// The TSV escapes of `text`, appended to `out` (written straight into its buffer: paths are full
// of backslashes). Returns false when the text holds a surrogate, which is copied as it is.
bool appendEscaped(QString& out, const QString& text)
{
    static constexpr char16_t hex[] = u"0123456789ABCDEF";
    const qsizetype start = out.size();
    out.resize(start + 4 * text.size()); // the longest escape, \xNN, is four characters
    char16_t* const begin = reinterpret_cast<char16_t*>(out.data());
    char16_t* w = begin + start;
    const char16_t* from = reinterpret_cast<const char16_t*>(text.constData());
    const char16_t* const end = from + text.size();
    bool valid = true;
    while (from < end) {
#if defined(__SSE2__)
        // Printable ASCII other than a backslash, the bulk of any path, eight characters at a
        // time (`out` has room for them: its part for this text is four times the text).
        while (end - from >= 8) {
            const __m128i chars = _mm_loadu_si128(reinterpret_cast<const __m128i*>(from));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(w), chars);
            // As signed numbers, c - 0x20 is 0..0x5e exactly for printable ASCII.
            const __m128i offset = _mm_sub_epi16(chars, _mm_set1_epi16(0x20));
            const __m128i printable = _mm_and_si128(_mm_cmpgt_epi16(offset, _mm_set1_epi16(-1)),
                                                    _mm_cmplt_epi16(offset, _mm_set1_epi16(0x5f)));
            const __m128i plain = _mm_andnot_si128(_mm_cmpeq_epi16(chars, _mm_set1_epi16(u'\\')), printable);
            const unsigned mask = unsigned(_mm_movemask_epi8(plain)); // two bits a character
            const int run = mask == 0xffff ? 8 : std::countr_one(mask) / 2;
            from += run;
            w += run;
            if (run < 8)
                break;
        }
        if (from == end)
            break;
#endif
        const QChar c(*from++);
        const char16_t u = c.unicode();
        if (plainInTsv(u)) {
            *w++ = u;
            continue;
        }
        if (!isControl(c) && u != u'\\') { // half of a surrogate pair
            valid = false;
            *w++ = u;
            continue;
        }
        *w++ = u'\\';
        switch (u) {
        case u'\\': *w++ = u'\\'; break;
        case u'\t': *w++ = u't'; break;
        case u'\r': *w++ = u'r'; break;
        case u'\n': *w++ = u'n'; break;
        case u'\0': *w++ = u'0'; break;
        default:
            *w++ = u'x';
            *w++ = hex[u >> 4];
            *w++ = hex[u & 0xf];
        }
    }
    out.resize(w - begin);
    return valid;
}

}

QString tsvField(const QString& text)
{
    // Escapes first, then valid(): a byte shown as \xNN stays apart from a name that really
    // holds the text "\xNN" (written \\xNN).
    if (std::all_of(text.cbegin(), text.cend(), [](QChar c) { return plainInTsv(c.unicode()); }))
        return text;
    QString out;
    appendEscaped(out, text);
    return valid(out);
}

void appendTsvField(QString& out, const QString& text)
{
    // Text without surrogates (a raw byte of a host name is one) is valid as it stands: its
    // escapes go straight into `out`, with no field of its own on the way.
    const qsizetype start = out.size();
    if (!appendEscaped(out, text)) {
        out.truncate(start);
        out += tsvField(text);
    }
}

}

bool ParseOutputFormat(const QString& text, OutputFormat& format)
{
    if (text == QStringLiteral("tsv"))
        format = OutputFormat::Tsv;
    else if (text == QStringLiteral("csv"))
        format = OutputFormat::Csv;
    else if (text == QStringLiteral("json"))
        format = OutputFormat::Json;
    else
        return false;
    return true;
}

namespace {

QString flatText(const OutputValue& value)
{
    if (const auto* text = std::get_if<QString>(&value))
        return *text;
    if (const auto* number = std::get_if<qint64>(&value))
        return QString::number(*number);
    if (const auto* flag = std::get_if<bool>(&value))
        return *flag ? QStringLiteral("true") : QStringLiteral("false");
    if (const auto* date = std::get_if<OutputDate>(&value))
        return date->text;
    return std::get<QStringList>(value).join(u'|');
}

// One field of a TSV or CSV record. A list's items are joined by "|", each "|" inside an item
// written "\\|": in TSV, where every backslash of the text is doubled, that is the only "\\|";
// in CSV a backslash stays as it is (an item is a project file's path, which never ends in one).
QString flatField(const OutputValue& value, OutputFormat format, CsvFormulas formulas)
{
    const bool csv = format == OutputFormat::Csv;
    const auto* list = std::get_if<QStringList>(&value);
    if (!list)
        return csv ? OutputText::csvField(flatText(value), formulas) : OutputText::tsvField(flatText(value));
    QString joined;
    for (qsizetype i = 0; i < list->size(); ++i) {
        QString item = csv ? (*list)[i] : OutputText::tsvField((*list)[i]);
        item.replace(u'|', QStringLiteral("\\|"));
        joined += (i > 0 ? QStringLiteral("|") : QString()) + item;
    }
    return csv ? OutputText::csvField(joined, formulas) : joined;
}

// "dd/mm/yyyy hh:mm:ss" as "yyyy-mm-ddThh:mm:ss"; any other text as it is.
QString isoDate(const QString& date)
{
    static const QString shape = QStringLiteral("00/00/0000 00:00:00");
    if (date.size() != shape.size())
        return date;
    for (qsizetype i = 0; i < shape.size(); ++i)
        if (shape[i] == u'0' ? date[i] < u'0' || date[i] > u'9' : date[i] != shape[i])
            return date;
    return date.mid(6, 4) + u'-' + date.mid(3, 2) + u'-' + date.left(2) + u'T' + date.mid(11);
}

}

QString JsonValue(const OutputValue& value)
{
    if (const auto* text = std::get_if<QString>(&value))
        return OutputText::jsonString(*text);
    if (const auto* number = std::get_if<qint64>(&value))
        return QString::number(*number);
    if (const auto* flag = std::get_if<bool>(&value))
        return *flag ? QStringLiteral("true") : QStringLiteral("false");
    if (const auto* date = std::get_if<OutputDate>(&value))
        return OutputText::jsonString(isoDate(date->text));
    QString out = QStringLiteral("[");
    const QStringList& list = std::get<QStringList>(value);
    for (qsizetype i = 0; i < list.size(); ++i)
        out += (i > 0 ? QStringLiteral(", ") : QString()) + OutputText::jsonString(list[i]);
    return out + u']';
}

TableWriter::TableWriter(QStringList columns, OutputFormat format, OutputSink sink, CsvFormulas formulas)
    : columns_(std::move(columns)), format_(format), sink_(std::move(sink)), formulas_(formulas),
      separator_(format == OutputFormat::Csv ? u',' : u'\t'),
      end_(format == OutputFormat::Csv ? QStringLiteral("\r\n") : QStringLiteral("\n")), utf8_(QStringEncoder::Utf8)
{
    if (format_ == OutputFormat::Json) {
        // Each record names every column: the names are escaped once, here.
        for (QString& column : columns_)
            column = OutputText::jsonString(column) + QStringLiteral(": ");
        return; // the opening bracket waits for the first record: an empty list is "[]"
    }
    QString header;
    for (qsizetype c = 0; c < columns_.size(); ++c)
        header += (c > 0 ? QString(separator_) : QString()) + flatField(columns_[c], format_, formulas_);
    sink_((header + end_).toUtf8());
}

void TableWriter::writeRow(const OutputValue* values, qsizetype count)
{
    const bool csv = format_ == OutputFormat::Csv;
    text_.resize(0);
    if (format_ == OutputFormat::Json) {
        text_ += rows_ == 0 ? QStringLiteral("[\n  {") : QStringLiteral(",\n  {");
        for (qsizetype c = 0; c < columns_.size() && c < count; ++c)
            text_ += (c > 0 ? QStringLiteral(", ") : QString()) + columns_[c] + JsonValue(values[c]);
        text_ += u'}';
    } else {
        for (qsizetype c = 0; c < count; ++c) {
            if (c > 0)
                text_ += separator_;
            const auto* text = std::get_if<QString>(&values[c]);
            if (text && !csv)
                OutputText::appendTsvField(text_, *text);
            else
                text_ += flatField(values[c], format_, formulas_);
        }
        text_ += end_;
    }
    bytes_.resize(text_.size() * 3);
    bytes_.resize(utf8_.appendToBuffer(bytes_.data(), text_) - bytes_.constData());
    sink_(bytes_);
    ++rows_;
}

void TableWriter::finish()
{
    if (format_ == OutputFormat::Json)
        sink_(rows_ == 0 ? QByteArray("[]\n") : QByteArray("\n]\n"));
}

void WriteTable(const OutputTable& table, OutputFormat format, const OutputSink& sink, CsvFormulas formulas)
{
    TableWriter writer(table.columns, format, sink, formulas);
    for (const auto& row : table.rows)
        writer.row(row);
    writer.finish();
}

QByteArray RenderTable(const OutputTable& table, OutputFormat format, CsvFormulas formulas)
{
    QByteArray out;
    WriteTable(table, format, [&out](const QByteArray& piece) { out += piece; }, formulas);
    return out;
}
