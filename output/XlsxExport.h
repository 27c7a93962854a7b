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
bool ExportarXlsx(const Catalogue& catalogue, const QString& folder, QString* problem);
