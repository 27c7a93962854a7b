#include "catalogue/FileHelpers.h"

#include "platform/files/FileFacts.h"

#include <limits>

namespace {

// numerator / denominator rounded to the nearest whole number, halves to even (both positive).
qint64 roundHalfEven(qint64 numerator, qint64 denominator)
{
    const qint64 quotient = numerator / denominator;
    const qint64 twiceRemainder = 2 * (numerator % denominator);
    if (twiceRemainder > denominator || (twiceRemainder == denominator && quotient % 2 != 0))
        return quotient + 1;
    return quotient;
}

QString twoDigits(int value)
{
    return QString::number(value).rightJustified(2, u'0');
}

}

std::int32_t KilobytesOf(qint64 bytes)
{
    if (bytes <= 0)
        return 0;
    // Hundredths of a kilobyte: bytes * 100 / 1024 = bytes * 25 / 256, in whole numbers so that
    // no binary fraction blurs a half.
    const qint64 hundredths = bytes > std::numeric_limits<qint64>::max() / 25 ? bytes / 256 * 25 : roundHalfEven(bytes * 25, 256);
    const qint64 kilobytes = roundHalfEven(hundredths, 100);
    return static_cast<std::int32_t>(std::min<qint64>(kilobytes, std::numeric_limits<std::int32_t>::max()));
}

std::int32_t TamanoArchivo(const QString& path)
{
    const auto facts = ReadFileFacts(path);
    return facts ? KilobytesOf(facts->size) : 0;
}

QString FechaArchivo(const QString& path)
{
    const auto facts = ReadFileFacts(path);
    if (!facts)
        return QStringLiteral("01/01/1601 00:00:00");
    const QDate date = facts->lastWrite.date();
    const QTime time = facts->lastWrite.time();
    return twoDigits(date.day()) + u'/' + twoDigits(date.month()) + u'/' + QString::number(date.year()) + u' '
        + twoDigits(time.hour()) + u':' + twoDigits(time.minute()) + u':' + twoDigits(time.second());
}

QString ExtraeNombreArchivo(const QString& path)
{
    const qsizetype slash = path.lastIndexOf(u'\\');
    return slash < 0 ? path : path.mid(slash + 1);
}

QString ExtraeRuta(const QString& line)
{
    const qsizetype last = line.lastIndexOf(u'#');
    if (last <= 0)
        return QString();
    const qsizetype before = line.lastIndexOf(u'#', last - 1);
    return before < 0 ? QString() : line.mid(before + 1, last - before - 1);
}

// A path written in the project (Path32=, a source file), made absolute against the project's
// folder: "." is skipped, ".." goes up a folder but never above the drive.
QString ResolveInProjectFolder(const QString& written, const QString& projectFolder)
{
    if (written.size() >= 2 && written[1] == u':') {
        QString path = written;
        return path.replace(u'/', u'\\');
    }
    QString path = projectFolder;
    path.reserve(projectFolder.size() + written.size() + 1);
    qsizetype start = 0;
    while (start <= written.size()) {
        qsizetype end = start;
        while (end < written.size() && written[end] != u'\\' && written[end] != u'/')
            ++end;
        const QStringView part = QStringView(written).mid(start, end - start);
        if (part == u"..") {
            if (const qsizetype slash = path.lastIndexOf(u'\\'); slash >= 0)
                path.truncate(slash);
        } else if (!part.isEmpty() && part != u".") {
            path += u'\\';
            path += part;
        }
        start = end + 1;
    }
    return path;
}
