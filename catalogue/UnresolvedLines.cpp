#include "catalogue/UnresolvedLines.h"

#include "catalogue/LoadContext.h"
#include "platform/files/PathMapper.h"
#include "platform/files/RegularFile.h"
#include "platform/typelib/TypeLibService.h"

namespace {

// Whether a regular file (links followed) exists at a Windows path.
bool fileExists(const QString& windowsPath)
{
    if (windowsPath.isEmpty())
        return false;
    return IsRegularFile(PathMapper::current().toHost(windowsPath));
}

// Why there is no file at a Windows path: `absent`, unless the path is in C:\windows\system32,
// which a 32-bit program sees as syswow64, and the file is in the prefix's own (64-bit) system32.
QString missingFileReason(const QString& windowsPath, const char* absent)
{
    const PathMapper& paths = PathMapper::current();
    if (paths.redirectsSystem32() && !windowsPath.isEmpty()) {
        const QString native = paths.toHostNative(windowsPath);
        if (native != paths.toHost(windowsPath) && IsRegularFile(native))
            return QString::fromLatin1(MissingReason::OnlyIn64BitSystemFolder);
    }
    return QString::fromLatin1(absent);
}

// The text after the first occurrence of `marker`, to the end of the line.
QString after(const QString& line, QStringView marker)
{
    const qsizetype at = line.indexOf(marker);
    return at < 0 ? QString() : line.mid(at + marker.size());
}

// Why the registration of `guid` gives no library, or empty when it gives one.
QString registrationReason(LoadContext& load, const QString& guid, VersionNumbers version)
{
    const TypeLibService& service = SharedTypeLibService();
    switch (service.missingRegistration(guid, version.major, version.minor, 0, &load.typeLibVersions)) {
    case TypeLibService::Missing::Library: return QString::fromLatin1(MissingReason::NotRegistered);
    case TypeLibService::Missing::Version: return QString::fromLatin1(MissingReason::VersionNotRegistered);
    case TypeLibService::Missing::Locale: return QString::fromLatin1(MissingReason::LocaleNotRegistered);
    case TypeLibService::Missing::Win64Only: return QString::fromLatin1(MissingReason::RegisteredFor64BitOnly);
    case TypeLibService::Missing::Nothing: break;
    }
    const QString file = service.registeredPath(guid, version.major, version.minor, 0, &load.typeLibVersions).value_or(QString());
    if (!fileExists(file))
        return missingFileReason(file, MissingReason::RegisteredFileMissing);
    if (!service.loadFromFile(file))
        return QString::fromLatin1(MissingReason::NotATypeLibrary);
    return QString::fromLatin1(MissingReason::VersionNotRegistered);
}

// Why a file named by a line gives no library.
QString fileReason(const QString& path, const char* absent)
{
    if (!fileExists(path))
        return missingFileReason(path, absent);
    return QString::fromLatin1(MissingReason::NotATypeLibrary);
}

// The reason found before for the same lookup in this load, else `find`'s, remembered.
template <typename Find>
QString rememberedReason(LoadContext& load, const QString& key, Find find)
{
    auto it = load.reasons.constFind(key);
    if (it != load.reasons.constEnd())
        return *it;
    const QString reason = find();
    load.reasons.insert(key, reason);
    return reason;
}

// The same line text, kept once however many projects write it (copies of a project, a library
// every project names).
QString sharedText(LoadContext& load, const QString& line)
{
    auto it = load.lineTexts.constFind(line);
    if (it == load.lineTexts.constEnd())
        it = load.lineTexts.insert(line);
    return *it;
}

RecordedLine placed(const LoadContext& load, const QString& kind)
{
    RecordedLine record;
    record.projectIndex = static_cast<int>(load.projectPaths.size()) - 1;
    record.line = load.readingLine;
    record.kind = kind;
    return record;
}

void recordProjectReference(LoadContext& load, const QString& line, const QString& written)
{
    RecordedLine record = placed(load, QStringLiteral("project"));
    record.text = sharedText(load, line);
    record.target = ResolvedAgainstProject(written, load.readingProjectPath);
    if (!fileExists(record.target))
        record.reason = QString::fromLatin1(MissingReason::ProjectFileMissing);
    load.recordedLines.push_back(std::move(record));
}

bool isProjectReference(const QString& value)
{
    return value.startsWith(QStringLiteral("*\\A"), Qt::CaseInsensitive);
}

}

WrittenFields FieldsAsWritten(const RecordedLine& record)
{
    WrittenFields fields;
    if (record.kind == QStringLiteral("component")) {
        const QString value = after(record.text, u"Object=");
        const qsizetype semicolon = value.indexOf(u';');
        const QStringList parts = (semicolon < 0 ? value : value.left(semicolon)).split(u'#');
        fields.guid = parts[0];
        fields.version = parts.value(1);
        fields.locale = parts.value(2);
        fields.path = semicolon < 0 ? QString() : value.mid(semicolon + 1).trimmed();
        return fields;
    }
    // A project file is named by Reference=*\Apath, or by Object=*\Apath for its controls.
    const bool reference = record.text.contains(u"Reference=");
    const QString value = after(record.text, reference ? u"Reference=" : u"Object=");
    if (isProjectReference(value)) {
        fields.path = value.mid(3);
        return fields;
    }
    const QStringList parts = value.split(u'#');
    fields.guid = parts[0].startsWith(QStringLiteral("*\\G"), Qt::CaseInsensitive) ? parts[0].mid(3) : parts[0];
    fields.version = parts.value(1);
    fields.locale = parts.value(2);
    fields.path = parts.value(3);
    fields.name = parts.size() > 4 ? parts.mid(4).join(u'#') : QString();
    return fields;
}

void RecordUnresolvedReference(LoadContext& load, const QString& line, const QString& guid,
                               std::optional<VersionNumbers> version,
                               const QString& writtenPath)
{
    // Reference=*\G{GUID}#version#locale#path#name, or Reference=*\Apath for a project file.
    const qsizetype at = line.indexOf(u"Reference=");
    const QString value = line.mid(at + 10, 3);
    if (isProjectReference(value)) {
        recordProjectReference(load, line, line.mid(at + 13));
        return;
    }
    RecordedLine record = placed(load, QStringLiteral("reference"));
    record.text = sharedText(load, line);
    // The same line with the same written path has the same reason all through the load.
    record.reason = rememberedReason(load, writtenPath + u'\n' + line, [&] {
        const QStringList fields = line.split(u'#');
        if (!NormalizedGuidText(guid) || fields.size() < 3 || !version)
            return QString::fromLatin1(MissingReason::UnreadableLine);
        const QString registration = registrationReason(load, guid, *version);
        if (registration != QLatin1StringView(MissingReason::NotRegistered) || fields.value(3).isEmpty())
            return registration;
        return fileReason(writtenPath, MissingReason::WrittenPathMissing);
    });
    load.recordedLines.push_back(std::move(record));
}

void RecordUnresolvedComponent(LoadContext& load, const QString& line, const QString& guid,
                               std::optional<VersionNumbers> version)
{
    // Object={GUID}#version#locale; file, or Object=*\Apath for the controls of a project file.
    const qsizetype at = line.indexOf(u"Object=");
    if (at >= 0 && isProjectReference(line.mid(at + 7, 3))) {
        recordProjectReference(load, line, line.mid(at + 10));
        return;
    }
    RecordedLine record = placed(load, QStringLiteral("component"));
    record.text = sharedText(load, line);
    record.reason = rememberedReason(load, line, [&] {
        const bool readable = NormalizedGuidText(guid).has_value() && line.contains(u'#') && version;
        return readable ? registrationReason(load, guid, *version) : QString::fromLatin1(MissingReason::UnreadableLine);
    });
    load.recordedLines.push_back(std::move(record));
}
