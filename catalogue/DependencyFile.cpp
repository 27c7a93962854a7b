#include "catalogue/DependencyFile.h"

#include "catalogue/TextHead.h"
#include "platform/core/ProgramError.h"
#include "platform/files/AnsiLineReader.h"
#include "platform/files/PrivateProfile.h"

#include <QHash>
#include <optional>
#include <string>

namespace {

// Whether `text` is `name` ignoring case, as the profile reader compares its names.
bool isName(QStringView text, const char16_t* name)
{
    return text.compare(QStringView(name), Qt::CaseInsensitive) == 0;
}

// The number N of a "UsesN" key as the wizard asks for it ("Uses" and N in decimal, no leading
// zero); nullopt for any other key.
std::optional<int> usesNumber(const QString& key)
{
    if (key.size() < 5 || key.size() > 13 || !isName(QStringView(key).left(4), u"uses") || key[4] == u'0')
        return std::nullopt;
    int number = 0;
    for (QChar c : QStringView(key).mid(4)) {
        if (c < u'0' || c > u'9')
            return std::nullopt;
        number = number * 10 + (c.unicode() - u'0');
        if (number > 99'999'999)
            return std::nullopt;
    }
    return number;
}

FolderMacro macroNamed(QStringView name)
{
    static const struct {
        const char16_t* name;
        FolderMacro macro;
    } macros[] = {
        {u"apppath", FolderMacro::AppPath},
        {u"winsyspath", FolderMacro::WinSysPath},
        {u"winsyspathsysfile", FolderMacro::WinSysPathSysFile},
        {u"winpath", FolderMacro::WinPath},
        {u"commonfiles", FolderMacro::CommonFiles},
        {u"commonfilessys", FolderMacro::CommonFilesSys},
        {u"programfiles", FolderMacro::ProgramFiles},
        {u"msdaopath", FolderMacro::MSDAOPath},
        {u"font", FolderMacro::Font},
    };
    for (const auto& known : macros)
        if (isName(name, known.name))
            return known.macro;
    return FolderMacro::Unknown;
}

Destination destinationOf(const QString& value)
{
    Destination dest;
    dest.written = value;
    dest.rest = value;
    const qsizetype close = value.indexOf(u')');
    if (value.startsWith(QStringLiteral("$(")) && close > 1) {
        dest.macroName = value.mid(2, close - 2);
        dest.macro = macroNamed(dest.macroName);
        dest.rest = value.mid(close + 1);
    }
    return dest;
}

// A section header's name split into the file and the language: "MSCOMCTL.OCX <0009>".
void splitLanguage(const QString& name, QString& fileName, QString& language)
{
    const qsizetype open = name.lastIndexOf(u'<');
    if (name.endsWith(u'>') && open > 0) {
        fileName = name.left(open).trimmed();
        language = name.mid(open + 1, name.size() - open - 2).trimmed();
        if (!fileName.isEmpty() && !language.isEmpty())
            return;
    }
    fileName = name;
    language.clear();
}

// The key of a section in the table of sections read: its file and language, in one case.
QString sectionKey(const QString& fileName, const QString& language)
{
    return fileName.toCaseFolded() + u'<' + language.toCaseFolded();
}

// The file's sections as its lines come, each key kept from its first occurrence.
class Reader {
public:
    explicit Reader(DependencyFile& file) : file_(file) {}

    void take(const QString& line, int number);
    // Puts the Uses lists together.
    void finish();

private:
    enum class Kind { None, File, Version, DoNotRedistribute };
    struct Keys {
        bool dest = false, registration = false, version = false;
        QHash<int, QString> uses;
    };

    void entry(const QString& key, const QString& value);

    DependencyFile& file_;
    QHash<QString, qsizetype> sectionIndex_;
    QList<Keys> keys_;           // beside file_.sections
    Kind kind_ = Kind::None;     // the section the lines are in
    qsizetype current_ = -1;     // its index when it is a file's
    bool versionSeen_ = false;   // [Version] gave its Version
};

void Reader::take(const QString& line, int number)
{
    const PrivateProfile::ProfileLine read = PrivateProfile::ReadProfileLine(line);
    if (read.kind == PrivateProfile::ProfileLine::Section) {
        if (isName(read.name, u"version")) {
            kind_ = Kind::Version;
            return;
        }
        if (isName(read.name, u"do not redistribute")) {
            kind_ = Kind::DoNotRedistribute;
            return;
        }
        kind_ = Kind::File;
        QString fileName, language;
        splitLanguage(read.name, fileName, language);
        const QString key = sectionKey(fileName, language);
        const auto found = sectionIndex_.constFind(key);
        if (found != sectionIndex_.constEnd()) {
            current_ = *found;
            return;
        }
        DependencySection section;
        section.line = number;
        section.fileName = fileName;
        section.language = language;
        current_ = file_.sections.size();
        sectionIndex_.insert(key, current_);
        file_.sections.append(std::move(section));
        keys_.append(Keys());
        return;
    }
    if (kind_ == Kind::DoNotRedistribute) {
        // Its lines are names: "name=" or the bare name.
        const QString name = read.kind == PrivateProfile::ProfileLine::Entry ? read.name : line.trimmed();
        if (!name.isEmpty() && !name.startsWith(u';'))
            file_.doNotRedistribute.append(name);
        return;
    }
    if (read.kind != PrivateProfile::ProfileLine::Entry)
        return;
    if (kind_ == Kind::Version) {
        if (!versionSeen_ && isName(read.name, u"version")) {
            file_.version = read.value;
            versionSeen_ = true;
        }
        return;
    }
    if (kind_ == Kind::File)
        entry(read.name, read.value);
}

void Reader::entry(const QString& key, const QString& value)
{
    DependencySection& section = file_.sections[current_];
    Keys& seen = keys_[current_];
    if (const std::optional<int> number = usesNumber(key)) {
        if (!seen.uses.contains(*number))
            seen.uses.insert(*number, value);
        return;
    }
    if (isName(key, u"dest") && !seen.dest) {
        section.dest = destinationOf(value);
        seen.dest = true;
    } else if (isName(key, u"register") && !seen.registration) {
        section.registration = value;
        seen.registration = true;
    } else if (isName(key, u"version") && !seen.version) {
        section.version = value;
        seen.version = true;
    }
}

void Reader::finish()
{
    for (qsizetype i = 0; i < file_.sections.size(); ++i) {
        const QHash<int, QString>& uses = keys_[i].uses;
        QStringList& list = file_.sections[i].uses;
        for (int number = 1;; ++number) {
            const auto found = uses.constFind(number);
            if (found == uses.constEnd() || found->isEmpty())
                break;
            list.append(*found);
        }
    }
}

DependencyFile readHead(const TextHead& head)
{
    DependencyFile file;
    file.problem = head.problem;
    AnsiLineReader lines(AnsiLineReader::InMemory{}, std::string(head.bytes.constData(), size_t(head.bytes.size())));
    Reader reader(file);
    QString line;
    int number = 0;
    try {
        while (lines.readLine(line))
            reader.take(line, ++number);
    } catch (const ProgramError& error) {
        file.problem = QStringLiteral("line %1: %2").arg(number + 1).arg(error.NumberAndDescription());
    }
    reader.finish();
    return file;
}

}

const DependencySection* DependencyFile::find(const QString& fileName, const QString& language) const
{
    for (const DependencySection& section : sections)
        if (section.fileName.compare(fileName, Qt::CaseInsensitive) == 0
            && section.language.compare(language, Qt::CaseInsensitive) == 0)
            return &section;
    return nullptr;
}

DependencyFile ReadDependencyText(const QByteArray& contents)
{
    return readHead(HeadWithin(contents, kMaxDependencyFileSize));
}

DependencyFile ReadDependencyFile(const QString& hostPath)
{
    return readHead(ReadTextHead(hostPath, kMaxDependencyFileSize));
}
