#pragma once

#include "catalogue/Resolution.h"

#include <QString>

struct LoadContext;

// The record of a line the resolvers could not turn into an entry, kept in `load.recordedLines`
// for zantrel-cli. The reason is the first step of the resolution that failed:
//   "unreadable line"          the line's fields cannot be taken apart (no GUID in braces, or
//                              no version or locale field)
//   "not registered"           no registration of the GUID, and no path written
//   "written path missing"     no registration of the GUID, and nothing at the written path
//   "version not registered"   the GUID is registered, but no version the rules accept (or the
//                              registered file holds another version)
//   "registered for 64-bit Windows only"
//                              the version is registered for the locale, but under win64 only:
//                              no win32 file, which is all a 32-bit program takes
//   "locale not registered"    the version is registered, but not for the neutral locale
//   "registered file missing"  the registration names a file that does not exist
//   "only in the 64-bit system folder"
//                              the file (registered or written) is missing from the 32-bit
//                              view of C:\windows\system32 (syswow64) but is in the prefix's
//                              own, 64-bit, system32 folder
//   "not a type library"       the file exists but holds no readable library
//   "project file missing"     a reference to another project file that does not exist
// A reference to a project file that exists is recorded too, with no reason: it is not missing.
// Object=*\Apath (the controls of another project) is a project reference too.

// For a Reference= line: `guid` and `version` as the resolver took them (no version: a number
// that does not convert, an unreadable line), `writtenPath` the path
// the line writes made absolute against the project's folder.
void RecordUnresolvedReference(LoadContext& load, const QString& line, const QString& guid,
                               std::optional<VersionNumbers> version,
                               const QString& writtenPath);
// For an Object= line (Object=*\Apath: a project reference).
void RecordUnresolvedComponent(LoadContext& load, const QString& line, const QString& guid,
                               std::optional<VersionNumbers> version);

// The fields of a recorded line as the file writes them: for Reference=*\G{GUID}#version#locale#
// path#name the GUID without "*\G", for Object={GUID}#version#locale; file the file as path, for
// Reference=*\Apath and Object=*\Apath the path.
struct WrittenFields {
    QString guid;
    QString version;
    QString locale;
    QString path;
    QString name;
};
struct RecordedLine;
WrittenFields FieldsAsWritten(const RecordedLine& record);

// The reasons' texts.
namespace MissingReason {
inline constexpr char UnreadableLine[] = "unreadable line";
inline constexpr char NotRegistered[] = "not registered";
inline constexpr char WrittenPathMissing[] = "written path missing";
inline constexpr char VersionNotRegistered[] = "version not registered";
inline constexpr char RegisteredFor64BitOnly[] = "registered for 64-bit Windows only";
inline constexpr char LocaleNotRegistered[] = "locale not registered";
inline constexpr char RegisteredFileMissing[] = "registered file missing";
inline constexpr char OnlyIn64BitSystemFolder[] = "only in the 64-bit system folder";
inline constexpr char NotATypeLibrary[] = "not a type library";
inline constexpr char ProjectFileMissing[] = "project file missing";
}
