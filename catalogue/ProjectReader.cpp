#include "catalogue/ProjectReader.h"

#include "catalogue/Catalogue.h"
#include "catalogue/FileHelpers.h"
#include "catalogue/LoadContext.h"
#include "catalogue/Resolution.h"
#include "platform/core/ProgramError.h"
#include "platform/desktop/MessageBoxes.h"
#include "platform/files/AnsiLineReader.h"

#include <optional>

namespace {

// Kind named by a Type line, tested in this order because "OleExe" contains "Exe".
void classifyTypeLine(const QString& line, std::int32_t& Kind)
{
    if (line.contains(u"OleExe"))
        Kind = ProjectKind::OleExe;
    else if (line.contains(u"Exe"))
        Kind = ProjectKind::Exe;
    else if (line.contains(u"Control"))
        Kind = ProjectKind::Control;
    else if (line.contains(u"OleDll"))
        Kind = ProjectKind::OleDll;
}

// The value of a Name line: from its sixth character on, without the first and last
// characters (the quotes). A line too short to hold the quotes is an error.
QString nameLineValue(const QString& line)
{
    if (line.size() < 7)
        RaiseStandardError(ErrorNumbers::InvalidProcedureCall);
    return line.mid(6, line.size() - 7);
}

}

namespace {

// The value of a "Key=value" line without its quotes.
QString unquotedValue(const QString& line, qsizetype equals)
{
    QString value = line.mid(equals + 1).trimmed();
    if (value.size() >= 2 && value.front() == u'"' && value.back() == u'"')
        value = value.mid(1, value.size() - 2);
    return value;
}

// Keeps the lines that name the compiled program and the source files, for the closure.
void recordSourceLine(LoadContext& load, int projectIndex, const QString& line)
{
    const qsizetype equals = line.indexOf(u'=');
    if (equals <= 0)
        return;
    const QStringView key = QStringView(line).left(equals);
    if (load.projectSources.size() <= static_cast<std::size_t>(projectIndex))
        load.projectSources.resize(static_cast<std::size_t>(projectIndex) + 1);
    ProjectSources& project = load.projectSources[static_cast<std::size_t>(projectIndex)];
    if (key == QLatin1StringView("ExeName32")) {
        project.exeName32 = unquotedValue(line, equals);
        return;
    }
    if (key == QLatin1StringView("Path32")) {
        project.path32 = unquotedValue(line, equals);
        return;
    }
    if (key == QLatin1StringView("Title")) {
        project.title = unquotedValue(line, equals);
        return;
    }
    for (auto [name, number] : {std::pair{QLatin1StringView("MajorVer"), &project.majorVer},
                                std::pair{QLatin1StringView("MinorVer"), &project.minorVer},
                                std::pair{QLatin1StringView("RevisionVer"), &project.revisionVer}}) {
        if (key == name) {
            bool ok = false;
            const int value = unquotedValue(line, equals).toInt(&ok);
            if (ok && value >= 0 && value <= 9999) // what Visual Basic's dialog allows
                *number = value;
            return;
        }
    }
    // Shared texts: a folder of thousands of projects names hundreds of thousands of sources.
    static const QString kinds[] = {QStringLiteral("Form"),         QStringLiteral("Module"),
                                    QStringLiteral("Class"),        QStringLiteral("UserControl"),
                                    QStringLiteral("PropertyPage"), QStringLiteral("UserDocument"),
                                    QStringLiteral("Designer")};
    for (const QString& kind : kinds) {
        if (key != kind)
            continue;
        // "Module=Name; file.bas" and "Class=Name; file.cls" name the item before the file.
        QStringView file = QStringView(line).mid(equals + 1);
        if (const qsizetype semicolon = file.indexOf(u';'); semicolon >= 0 && (kind == u"Module" || kind == u"Class"))
            file = file.mid(semicolon + 1);
        file = file.trimmed();
        if (file.isEmpty())
            return;
        auto name = load.sourceNames.constFind(file.toString());
        if (name == load.sourceNames.constEnd())
            name = load.sourceNames.insert(file.toString());
        project.sources.push_back({kind, *name, load.readingLine});
        return;
    }
}

// Reads the project's lines from the reader `open` makes (inside the error handling, so a file
// that cannot be opened is reported as one that cannot be read).
template <typename Open>
void readProject(Catalogue& catalogue, LoadContext& load, int projectIndex, int& DependencyCounter,
                 QString& FileName, std::int32_t& Kind, QString& Name, Open open)
{
    Kind = ProjectKind::Unknown;
    Name.clear();
    const QString bareFileName = ExtraeNombreArchivo(FileName);
    load.readingProjectPath = FileName;
    const FolderListingCache::Use listings(load.folderListings);
    try {
        std::optional<AnsiLineReader> file;
        open(file);
        QString line;
        load.readingLine = 0;
        while (file->readLine(line)) {
            ++load.readingLine;
            if (line.startsWith(u"Type")) {
                classifyTypeLine(line, Kind);
            } else if (line.startsWith(u"Name")) {
                Name = nameLineValue(line);
                FileName = bareFileName;
            } else if (line.contains(u"Reference=")) {
                AgregaReferencia(catalogue, load, projectIndex, DependencyCounter, line);
            } else if (line.startsWith(u"Object") && line.contains(u"Object=")) {
                AgregaComponente(catalogue, load, projectIndex, DependencyCounter, line);
            } else if (load.recordSources) {
                recordSourceLine(load, projectIndex, line);
            }
        }
    } catch (const ProgramError& error) {
        ShowMessage(error.RoutineMessage(QStringLiteral("DeterminaTipoDeProyecto")), MsgStyle::Critical);
    }
}

}

void DeterminaTipoDeProyecto(Catalogue& catalogue, LoadContext& load, int projectIndex, int& DependencyCounter,
                             QString& FileName, std::int32_t& Kind, QString& Name)
{
    const QString path = FileName;
    readProject(catalogue, load, projectIndex, DependencyCounter, FileName, Kind, Name,
                [&path](std::optional<AnsiLineReader>& file) { file.emplace(path); });
}

void DeterminaTipoDeProyecto(Catalogue& catalogue, LoadContext& load, int projectIndex, int& DependencyCounter,
                             QString& FileName, const QByteArray& contents, std::int32_t& Kind, QString& Name)
{
    readProject(catalogue, load, projectIndex, DependencyCounter, FileName, Kind, Name,
                [&contents](std::optional<AnsiLineReader>& file) {
                    file.emplace(AnsiLineReader::InMemory{}, contents.toStdString());
                });
}

