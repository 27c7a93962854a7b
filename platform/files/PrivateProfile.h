#pragma once

#include <QByteArray>
#include <QString>

// Private-profile (INI) files as Windows programs read and write them: "[section]" header lines
// and "key=value" lines, in the ANSI code page. Section and key names compare ignoring case and
// without surrounding blanks; a value is read without surrounding blanks and without one pair of
// enclosing quotes. Lines that are neither are kept as they are.
//
// A file named without a folder lives in the Windows folder of the prefix (C:\windows\), as it
// does under Wine; when the prefix has no C: drive, in the user's configuration folder.
namespace PrivateProfile {

// Host path of the profile file `fileName` (a bare name or a Windows path).
QString hostPathOf(const QString& fileName);

// The value of `key` in `section`, cut to `bufferSize` - 1 characters; `defaultValue` when the
// file, the section or the key is missing, or the file cannot be read (see ReadFailure).
QString GetString(const QString& section, const QString& key, const QString& defaultValue, int bufferSize,
                  const QString& fileName);

// Stores `value` under `key` of `section`, creating the file, the section or the key as needed;
// the rest of the file is kept. The file is replaced atomically (a link at its name is replaced,
// not written through). Returns false when it cannot be written, and when it exists but cannot be
// read: a file that cannot be read is never rewritten from an empty reading. `why` then gets
// "<host path>: <reason>".
bool WriteString(const QString& section, const QString& key, const QString& value, const QString& fileName,
                 QString* why = nullptr);

// How GetString reads one line of a profile file: a "[section]" header, a "key=value" entry, or
// neither (a blank line, a ";" comment, a line without "="). Other readers of INI-shaped files
// (dependency files) read their lines with it, so a file reads alike through either.
struct ProfileLine {
    enum Kind { Other, Section, Entry };
    Kind kind = Other;
    QString name;  // the section's name (up to its first ']', without blanks around), or the entry's key
    QString value; // the entry's value, without blanks around and one pair of enclosing quotes
};
ProfileLine ReadProfileLine(const QString& line);

// GetString and WriteString over a file's contents held in memory, with the same reading and
// writing of lines: the value, and the text the file would be replaced with.
QString GetStringFromText(const QByteArray& text, const QString& section, const QString& key,
                          const QString& defaultValue, int bufferSize);
QByteArray WriteStringToText(const QByteArray& text, const QString& section, const QString& key, const QString& value);

// The file's name is chosen by the program, so a symbolic link at it is never followed: GetString
// and WriteString read it as no file (nothing the link points to is read, nor copied into the new
// file), and WriteString replaces the link. IgnoredLink gives the host path of such a link, to say
// so, or an empty string when there is none.
QString IgnoredLink(const QString& fileName);

// Why the existing file `fileName` cannot be read ("<host path>: <reason>"), or an empty string
// when it can be read or does not exist.
QString ReadFailure(const QString& fileName);

}
