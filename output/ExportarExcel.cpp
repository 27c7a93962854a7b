#include "output/ExportarExcel.h"

#include "catalogue/Catalogue.h"
#include "catalogue/Inventory.h"
#include "platform/controls/Controls.h"
#include "platform/files/HostNames.h"
#include "platform/core/ProgramError.h"
#include "platform/desktop/MessageBoxes.h"
#include "platform/xls/SpreadGrid.h"

#include <array>
#include <new>

namespace {

constexpr int kHeaderRow = 1;
constexpr int kFirstDataRow = 3;
constexpr int kInitialRowCount = 10000;
// Rows are numbered with 16-bit counters: a sheet that needs a row past this one cannot be made.
constexpr int kLastRow = 32767;

const std::array<QString, 9> kHeaders = {
    QStringLiteral("Nombre Físico"), QStringLiteral("Nombre Lógico"), QStringLiteral("Tipo Proyecto"),
    QStringLiteral("Referencias/Componentes"), QStringLiteral("Tamaño"), QStringLiteral("Fecha"),
    QStringLiteral("Descripción"), QStringLiteral("GUID"), QStringLiteral("Versión")};

}

const std::array<QString, 9>& ExportHeaders()
{
    return kHeaders;
}

QString ExportKindLabel(std::int32_t kind)
{
    switch (kind) {
    case ProjectKind::Exe: return QStringLiteral("Exe");
    case ProjectKind::OleDll: return QStringLiteral("Dll");
    case ProjectKind::Control: return QStringLiteral("OCX");
    case ProjectKind::OleExe: return QStringLiteral("Exe ActiveX");
    }
    return QString();
}

namespace {

void WriteRow(SpreadGrid& fpCR, int row, const ProjectEntry& project, const QString& kindLabel,
              const DependencyEntry& entry)
{
    fpCR.SetText(1, row, HostNames::displayed(project.FileName));
    fpCR.SetText(2, row, project.Name);
    fpCR.SetText(3, row, kindLabel);
    fpCR.SetText(4, row, HostNames::displayed(entry.FilePath));
    fpCR.SetText(5, row, QString::number(entry.SizeKB) + QStringLiteral(" KB"));
    fpCR.SetText(6, row, entry.FileDate);
    fpCR.SetText(7, row, entry.Description);
    fpCR.SetText(8, row, entry.Guid);
    fpCR.SetText(9, row, QString::number(entry.MajorVersion) + u'.' + QString::number(entry.MinorVersion));
}

}

QStringList ExportLogNotes(const Inventory& inventory)
{
    const int projects = inventory.ProjectsWithUnresolved();
    return {QStringLiteral("Unresolved lines (not in the sheet): %1 in %2 project%3")
                .arg(inventory.UnresolvedCount())
                .arg(projects)
                .arg(projects == 1 ? QString() : QStringLiteral("s"))};
}

QString JoinWindowsPath(const QString& folder, const QString& name)
{
    return folder.endsWith(u'\\') ? folder + name : folder + u'\\' + name;
}

bool ExportarExcel(const Catalogue& catalogue, SpreadGrid& fpCR, StatusBarControl& stbMain,
                   const std::function<void(bool on)>& CursorEspera, const QString& programFolder)
{
    bool result = true;
    try {
        if (CursorEspera)
            CursorEspera(true);
        stbMain.SetPanelText(1, QStringLiteral("Exportando ..."));
        fpCR.SetMaxRows(0);
        fpCR.SetMaxRows(kInitialRowCount);
        for (int column = 1; column <= int(kHeaders.size()); ++column)
            fpCR.SetText(column, kHeaderRow, kHeaders[size_t(column) - 1]);

        int row = kFirstDataRow;
        for (int i = 1; i <= catalogue.ProjectCount(); ++i) {
            const ProjectEntry& project = catalogue.Projects[size_t(i)];
            const QString kindLabel = ExportKindLabel(project.Kind);
            stbMain.SetPanelText(1, QStringLiteral("Exportando : ") + HostNames::displayed(project.FileName));
            for (int d = 1; d <= catalogue.DependencyCount(i); ++d) {
                if (row > kLastRow)
                    RaiseStandardError(ErrorNumbers::Overflow);
                // The sheet grows one row at a time past its first 10,000.
                if (fpCR.DataRowCnt() >= fpCR.MaxRows())
                    fpCR.SetMaxRows(fpCR.MaxRows() + 1);
                WriteRow(fpCR, row, project, kindLabel, project.Dependencies[size_t(d)]);
                ++row;
            }
            ++row; // the empty row after each project
        }
        fpCR.SetMaxRows(fpCR.DataRowCnt());

        if (!fpCR.ExportToExcel(JoinWindowsPath(programFolder, ExportFiles::Workbook), ExportFiles::SheetName,
                                JoinWindowsPath(programFolder, ExportFiles::Log))) {
            ShowMessage(QStringLiteral("Error al Exportar archivo"), MsgStyle::Critical);
            result = false;
        } else if (fpCR.LogFailure().failed()) {
            // The workbook stands; the log beside it is the old one, or none.
            const AtomicFile::Failure& failure = fpCR.LogFailure();
            ShowMessage(QStringLiteral("ExportarExcel : se grabó ") + JoinWindowsPath(programFolder, ExportFiles::Workbook)
                            + QStringLiteral(" pero no su log ") + JoinWindowsPath(programFolder, ExportFiles::Log)
                            + QStringLiteral(" (") + failure.description
                            + QStringLiteral(", errno %1: ").arg(failure.number) + failure.path + u')',
                        MsgStyle::Critical);
            result = false;
        }
    } catch (const ProgramError& error) {
        result = false;
        ShowMessage(error.RoutineMessage(QStringLiteral("ExportarExcel")),
                    MsgStyle::Critical);
    } catch (const std::bad_alloc&) {
        result = false;
        ShowMessage(QStringLiteral("ExportarExcel : ") + QString::number(ErrorNumbers::OutOfMemory) + u' '
                        + StandardErrorDescription(ErrorNumbers::OutOfMemory),
                    MsgStyle::Critical);
    }
    stbMain.SetPanelText(1, QStringLiteral("Listo!"));
    if (CursorEspera)
        CursorEspera(false);
    return result;
}

bool ExportarExcel(const Catalogue& catalogue, StatusBarControl& stbMain,
                   const std::function<void(bool on)>& CursorEspera, const QString& programFolder)
{
    SpreadGrid fpCR;
    return ExportarExcel(catalogue, fpCR, stbMain, CursorEspera, programFolder);
}
