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

