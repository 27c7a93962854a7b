#include "output/OutputFormat.h"

#include "platform/files/HostNames.h"

#include <algorithm>

namespace OutputText {

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
            if (c.unicode() < 0x20 || c.unicode() == 0x7f)
                out += QStringLiteral("\\u%1").arg(c.unicode(), 4, 16, QChar(u'0'));
            else
                out += c;
        }
    }
    out += u'"';
    return out;
}

QString csvField(const QString& text)
{
    const QString checked = valid(text);
    const bool quoted = checked.contains(u',') || checked.contains(u'"') || checked.contains(u'\r')
                        || checked.contains(u'\n') || checked.startsWith(u' ') || checked.endsWith(u' ');
    if (!quoted)
        return checked;
    QString out = checked;
    out.replace(u'"', QStringLiteral("\"\""));
    return u'"' + out + u'"';
}

QString shown(const QString& text)
{
    const QString checked = valid(text);
    if (std::none_of(checked.cbegin(), checked.cend(), [](QChar c) { return c.unicode() < 0x20 || c.unicode() == 0x7f; }))
        return checked;
    QString out;
    out.reserve(checked.size() + 8);
    for (QChar c : checked) {
        if (c.unicode() < 0x20 || c.unicode() == 0x7f)
            out += QStringLiteral("\\x") + QString::number(c.unicode(), 16).rightJustified(2, u'0').toUpper();
        else
            out += c;
    }
    return out;
}

QString tsvField(const QString& text)
{
    // Escapes first, then valid(): a byte shown as \xNN stays apart from a name that really
    // holds the text "\xNN" (written \\xNN).
    if (std::none_of(text.cbegin(), text.cend(),
                     [](QChar c) { return c == u'\\' || c == u'\t' || c == u'\r' || c == u'\n' || c == u'\0'; }))
        return valid(text);
    QString out;
    out.reserve(text.size());
    for (QChar c : text) {
        switch (c.unicode()) {
        case u'\\': out += QStringLiteral("\\\\"); break;
        case u'\t': out += QStringLiteral("\\t"); break;
        case u'\r': out += QStringLiteral("\\r"); break;
        case u'\n': out += QStringLiteral("\\n"); break;
        case u'\0': out += QStringLiteral("\\0"); break;
        default: out += c;
        }
    }
    return valid(out);
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

QByteArray RenderTable(const OutputTable& table, OutputFormat format)
{
    QString out;
    if (format == OutputFormat::Json) {
        out += u'[';
        for (qsizetype r = 0; r < table.rows.size(); ++r) {
            out += r > 0 ? QStringLiteral(",\n  {") : QStringLiteral("\n  {");
            const auto& row = table.rows[r];
            for (qsizetype c = 0; c < table.columns.size() && c < row.size(); ++c)
                out += (c > 0 ? QStringLiteral(", ") : QString()) + OutputText::jsonString(table.columns[c])
                       + QStringLiteral(": ") + JsonValue(row[c]);
            out += u'}';
        }
        out += table.rows.isEmpty() ? QStringLiteral("]\n") : QStringLiteral("\n]\n");
        return out.toUtf8();
    }
    const bool csv = format == OutputFormat::Csv;
    const QChar separator = csv ? u',' : u'\t';
    const QString end = csv ? QStringLiteral("\r\n") : QStringLiteral("\n");
    auto field = [csv](const QString& text) { return csv ? OutputText::csvField(text) : OutputText::tsvField(text); };
    for (qsizetype c = 0; c < table.columns.size(); ++c) {
        if (c > 0)
            out += separator;
        out += field(table.columns[c]);
    }
    out += end;
    for (const auto& row : table.rows) {
        for (qsizetype c = 0; c < row.size(); ++c) {
            if (c > 0)
                out += separator;
            out += field(flatText(row[c]));
        }
        out += end;
    }
    return out.toUtf8();
}
