#include "platform/files/PrivateProfile.h"

#include "platform/core/AnsiCodePage.h"
#include "platform/files/AtomicFile.h"
#include "platform/files/PathMapper.h"
#include "platform/files/RegularFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QStringList>
#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

namespace {

// Files larger than this are not profile files; reading them would only waste memory.
constexpr qint64 kMaxProfileSize = 16 * 1024 * 1024;

// A file's bytes and where each line lies in them. A line is decoded when it is looked at, and a
// rewrite keeps the bytes of every line it does not change: a byte the code page cannot read
// survives. Eight bytes a line, so a file of nothing but line ends stays small in memory.
struct Lines {
    struct Span {
        std::int32_t start = 0;
        std::int32_t length = 0;
    };
    QByteArray bytes;
    std::vector<Span> spans;

    qsizetype size() const { return static_cast<qsizetype>(spans.size()); }
    std::string_view raw(qsizetype i) const
    {
        return std::string_view(bytes.constData() + spans[std::size_t(i)].start, std::size_t(spans[std::size_t(i)].length));
    }
    QString text(qsizetype i) const { return AnsiCodePage::decode(raw(i)); }
};

Lines linesOf(const QByteArray& bytes);

// The file's lines; an empty list for a file that does not exist, nothing for one that exists
// but cannot be read whole (no permission, a folder, a FIFO or device, over the size limit, a read
// error), which must then never be rewritten from an empty reading. The name is the program's own:
// a symbolic link there is not followed but read as no file (`link` says so), and the next write
// replaces it.
std::optional<Lines> readLines(const QString& hostPath, QString* why = nullptr, bool* link = nullptr)
{
    const FileContents contents = ReadRegularFile(hostPath, kMaxProfileSize, FollowLinks::No);
    if (link)
        *link = contents.link;
    if (contents.missing || contents.link)
        return Lines();
    if (!contents.ok()) {
        if (why)
            *why = contents.reason();
        return std::nullopt;
    }
    return linesOf(contents.bytes);
}

// Lines end at CR LF, CR or LF; no code page uses those bytes inside a character. The file is
// at most kMaxProfileSize bytes, so its offsets fit 32 bits.
Lines linesOf(const QByteArray& bytes)
{
    Lines lines;
    lines.bytes = bytes;
    qsizetype start = 0;
    const qsizetype size = bytes.size();
    while (start < size) {
        qsizetype end = start;
        while (end < size && bytes[end] != '\r' && bytes[end] != '\n')
            ++end;
        lines.spans.push_back({std::int32_t(start), std::int32_t(end - start)});
        start = end + (end + 1 < size && bytes[end] == '\r' && bytes[end + 1] == '\n' ? 2 : 1);
    }
    return lines;
}

// The name of a "[section]" line, or a null string for any other line.
QString sectionName(const QString& line)
{
    const QString trimmed = line.trimmed();
    if (!trimmed.startsWith(u'['))
        return QString();
    const qsizetype close = trimmed.indexOf(u']');
    return (close < 0 ? trimmed.mid(1) : trimmed.mid(1, close - 1)).trimmed();
}

// Splits a "key=value" line; false for a line without "=" or a comment.
bool splitEntry(const QString& line, QString& key, QString& value)
{
    const QString trimmed = line.trimmed();
    if (trimmed.startsWith(u';'))
        return false;
    const qsizetype equals = line.indexOf(u'=');
    if (equals < 0)
        return false;
    key = line.left(equals).trimmed();
    value = line.mid(equals + 1).trimmed();
    return true;
}

QString unquoted(const QString& value)
{
    if (value.size() >= 2 && (value.front() == u'"' || value.front() == u'\'') && value.back() == value.front())
        return value.mid(1, value.size() - 2);
    return value;
}

// The value of `key` in `section` of the file's lines, as GetString returns it.
QString valueIn(const Lines& lines, const QString& section, const QString& key, const QString& defaultValue,
                int bufferSize)
{
    QString result = defaultValue;
    bool inSection = false;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const PrivateProfile::ProfileLine read = PrivateProfile::ReadProfileLine(lines.text(i));
        if (read.kind == PrivateProfile::ProfileLine::Section) {
            inSection = read.name.compare(section, Qt::CaseInsensitive) == 0;
            continue;
        }
        if (inSection && read.kind == PrivateProfile::ProfileLine::Entry
            && read.name.compare(key, Qt::CaseInsensitive) == 0) {
            result = read.value;
            break;
        }
    }
    return bufferSize > 0 ? result.left(bufferSize - 1) : QString();
}

// The file's text with `key` of `section` set to `value`, as WriteString writes it.
QByteArray textWith(const Lines& lines, const QString& section, const QString& key, const QString& value)
{
    const QString entry = key + u'=' + value;

    qsizetype sectionLine = -1;
    qsizetype insertAt = -1; // after the section's last entry
    qsizetype replaced = -1; // the line that held the key
    for (qsizetype i = 0; i < lines.size() && replaced < 0; ++i) {
        const QString line = lines.text(i);
        const QString name = sectionName(line);
        if (!name.isNull()) {
            if (sectionLine >= 0)
                break;
            if (name.compare(section, Qt::CaseInsensitive) == 0) {
                sectionLine = i;
                insertAt = i + 1;
            }
            continue;
        }
        if (sectionLine < 0)
            continue;
        QString lineKey, lineValue;
        if (splitEntry(line, lineKey, lineValue)) {
            if (lineKey.compare(key, Qt::CaseInsensitive) == 0)
                replaced = i;
            insertAt = i + 1;
        }
    }

    // Every line as it was, CR LF after each, but the entry written in its place.
    QByteArray text;
    text.reserve(lines.bytes.size() + lines.size() + entry.size() * 2 + section.size() + 8);
    auto put = [&text](std::string_view line) {
        text.append(line.data(), static_cast<qsizetype>(line.size()));
        text.append("\r\n", 2);
    };
    const QByteArray entryBytes = AnsiCodePage::encode(entry);
    const std::string_view written(entryBytes.constData(), std::size_t(entryBytes.size()));
    for (qsizetype i = 0; i < lines.size(); ++i) {
        if (i == insertAt && replaced < 0 && sectionLine >= 0)
            put(written);
        put(i == replaced ? written : lines.raw(i));
    }
    if (replaced < 0 && sectionLine >= 0 && insertAt == lines.size())
        put(written);
    if (sectionLine < 0) {
        const QByteArray header = AnsiCodePage::encode(u'[' + section + u']');
        put(std::string_view(header.constData(), std::size_t(header.size())));
        put(written);
    }
    return text;
}

}

namespace PrivateProfile {

QString hostPathOf(const QString& fileName)
{
    if (fileName.contains(u'\\') || fileName.contains(u'/') || fileName.contains(u':'))
        return PathMapper::current().toHost(fileName);
    const PathMapper& mapper = PathMapper::current();
    if (mapper.isWindowsRoot()) {
        // A Windows machine's disk is only read: the settings live in the user's own folder.
        const QString folder = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + QStringLiteral("/zantrel");
        QDir().mkpath(folder);
        return folder + u'/' + fileName;
    }
    if (!mapper.driveRoot(u'c').isEmpty())
        return mapper.toHost(QStringLiteral("C:\\windows\\") + fileName);
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + u'/' + fileName;
}

ProfileLine ReadProfileLine(const QString& line)
{
    ProfileLine read;
    read.name = sectionName(line);
    if (!read.name.isNull()) {
        read.kind = ProfileLine::Section;
        return read;
    }
    if (splitEntry(line, read.name, read.value)) {
        read.kind = ProfileLine::Entry;
        read.value = unquoted(read.value);
    }
    return read;
}

QString GetString(const QString& section, const QString& key, const QString& defaultValue, int bufferSize,
                  const QString& fileName)
{
    const std::optional<Lines> lines = readLines(hostPathOf(fileName));
    return valueIn(lines ? *lines : Lines(), section, key, defaultValue, bufferSize);
}

QString GetStringFromText(const QByteArray& text, const QString& section, const QString& key,
                          const QString& defaultValue, int bufferSize)
{
    return valueIn(linesOf(text), section, key, defaultValue, bufferSize);
}

bool WriteString(const QString& section, const QString& key, const QString& value, const QString& fileName,
                 QString* why)
{
    const QString hostPath = hostPathOf(fileName);
    if (hostPath.isEmpty()) {
        if (why)
            *why = fileName + QStringLiteral(": no such folder");
        return false;
    }
    QString readWhy;
    const std::optional<Lines> read = readLines(hostPath, &readWhy);
    if (!read) {
        if (why)
            *why = hostPath + QStringLiteral(": ") + readWhy;
        return false;
    }
    QDir().mkpath(QFileInfo(hostPath).absolutePath());
    // The settings file's name is the program's own: a link planted there is replaced.
    AtomicFile::Failure failure;
    if (AtomicFile::writeFile(hostPath, textWith(*read, section, key, value), AtomicFile::Links::ReplaceLink,
                              &failure))
        return true;
    if (why)
        *why = failure.path + QStringLiteral(": ") + failure.description;
    return false;
}

QByteArray WriteStringToText(const QByteArray& text, const QString& section, const QString& key, const QString& value)
{
    return textWith(linesOf(text), section, key, value);
}

QString ReadFailure(const QString& fileName)
{
    const QString hostPath = hostPathOf(fileName);
    QString why;
    if (hostPath.isEmpty() || readLines(hostPath, &why))
        return QString();
    return hostPath + QStringLiteral(": ") + why;
}

QString IgnoredLink(const QString& fileName)
{
    const QString hostPath = hostPathOf(fileName);
    bool link = false;
    if (hostPath.isEmpty() || !readLines(hostPath, nullptr, &link) || !link)
        return QString();
    return hostPath;
}

}
