#pragma once

// The spreadsheet export: the whole catalogue as proyectos.xls, with its log.

#include <QString>
#include <QStringList>
#include <array>
#include <cstdint>
#include <functional>

class Catalogue;
class Inventory;
class SpreadGrid;
class StatusBarControl;

// File names of the export, written in the program's folder or the user's documents folder (see
// OutputFolder).
namespace ExportFiles {
inline const QString Workbook = QStringLiteral("proyectos.xls");
inline const QString Log = QStringLiteral("proyectos.log");
inline const QString SheetName = QStringLiteral("componentes/referencias");
}

// Writes every project of `catalogue`, checked or not, to the workbook "proyectos.xls" (with
// its log "proyectos.log") in `programFolder` (a Windows path): a header row, an empty row, then
// for each project one row per reference or component followed by an empty row, the sheet cut to
// the last row holding data. Fills `fpCR` cell by cell (emptying it first) and lets it save.
//
// `CursorEspera(true)` runs before anything else and `CursorEspera(false)` on every way out;
// status panel 1 says what runs and ends as "Listo!". A save the grid refuses shows "Error al
// Exportar archivo"; any other failure, a sheet needing a row past 32767 included, shows
// "ExportarExcel : <number> <description>"; both with the critical icon, before the wait state
// ends. Returns true only when the workbook and its log were written; when the workbook was not,
// earlier files are left as they were. A workbook written whose log could not replace the old one
// (a folder by that name) stays written, and that is said: "ExportarExcel : se grabó <workbook>
// pero no su log <log> (<reason>, errno <n>: <file>)", critical icon, and false is returned.
bool ExportarExcel(const Catalogue& catalogue, SpreadGrid& fpCR, StatusBarControl& stbMain,
                   const std::function<void(bool on)>& CursorEspera, const QString& programFolder);

// The same with a grid of its own, for callers that keep none (the command-line tool).
bool ExportarExcel(const Catalogue& catalogue, StatusBarControl& stbMain,
                   const std::function<void(bool on)>& CursorEspera, const QString& programFolder);

// The lines the export's log adds about what the sheet leaves out: how many lines of the load did
// not resolve, in how many projects.
QStringList ExportLogNotes(const Inventory& inventory);

// The export's header row, one text per column.
const std::array<QString, 9>& ExportHeaders();

// The label of a project kind in the "Tipo Proyecto" column; empty for Unknown and any value
// without a label.
QString ExportKindLabel(std::int32_t kind);

// `folder` and `name` joined by one backslash, also when `folder` already ends with one (a
// drive's root such as "C:\").
QString JoinWindowsPath(const QString& folder, const QString& name);
