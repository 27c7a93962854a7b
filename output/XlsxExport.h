#pragma once

#include <QString>

class Catalogue;

namespace XlsxExportFiles {
inline const QString Workbook = QStringLiteral("proyectos.xlsx");
// Spreadsheet programs refuse "/" in sheet names: the name the .xls sheet is stored under, with
// U+2215 DIVISION SLASH, which looks the same.
inline const QString SheetName = QStringLiteral("componentes\u2215referencias");
}

// Writes the export's sheet (the same rows and columns as "proyectos.xls") of every project of
// `catalogue` as an Office Open XML workbook "proyectos.xlsx" in `folder` (a Windows path):
// sizes in KB and versions are numbers shown as "12 KB" and "1.0", dates are dates, without the
// .xls format's limit of 32,767 rows. The file replaces an earlier one only once written in full.
// On failure returns false and says what failed in `problem`, leaving an earlier file as it was.
// A text longer than a cell holds (32,767 characters) is cut, as the .xls export cuts it.
bool ExportarXlsx(const Catalogue& catalogue, const QString& folder, QString* problem);

// The same export, saying a failure as the .xls export (ExportarExcel) says the same failure, so
// either format gives one message for it: "Error al Exportar archivo" when the workbook cannot be
// written (no such folder, one that cannot be written, a full disk, its name taken by a folder),
// "ExportarExcel : 6 Overflow" for a row past a sheet's last, "ExportarExcel : 7 Out of memory";
// each with the critical icon. Returns true only when the workbook was written.
bool ExportarExcelXlsx(const Catalogue& catalogue, const QString& folder);
