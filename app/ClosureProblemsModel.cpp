#include "app/ClosureProblemsModel.h"

#include "catalogue/FileHelpers.h"
#include "catalogue/Inventory.h"
#include "output/OutputFormat.h"

ClosureProblemsModel::ClosureProblemsModel(QObject* parent) : QAbstractTableModel(parent) {}

QStringList ClosureProblemsModel::Headers()
{
    return {QStringLiteral("Proyecto"), QStringLiteral("Archivo"), QStringLiteral("Cómo"), QStringLiteral("Vía"),
            QStringLiteral("Motivo")};
}

QString ClosureProblemsModel::HowTexto(ClosureHow how)
{
    switch (how) {
    case ClosureHow::Reference: return QStringLiteral("referencia");
    case ClosureHow::Component: return QStringLiteral("componente");
    case ClosureHow::Program: return QStringLiteral("programa");
    case ClosureHow::Import: return QStringLiteral("importación");
    case ClosureHow::DelayImport: return QStringLiteral("importación diferida");
    case ClosureHow::DependencyFile: return QStringLiteral("archivo de dependencias");
    case ClosureHow::Declare: return QStringLiteral("Declare");
    case ClosureHow::FormControl: return QStringLiteral("control de formulario");
    case ClosureHow::Source: return QStringLiteral("archivo fuente");
    }
    return QString();
}

QString ClosureProblemsModel::ReasonTexto(const QString& reason)
{
    static const QHash<QString, QString> words{
        {QStringLiteral("not found in the search path"), QStringLiteral("no está en la ruta de búsqueda")},
        {QStringLiteral("64-bit image"), QStringLiteral("imagen de 64 bits")},
        {QStringLiteral("32-bit image"), QStringLiteral("imagen de 32 bits")},
        {QStringLiteral("image for another machine"), QStringLiteral("imagen para otra máquina")},
        {QStringLiteral("not a program image"), QStringLiteral("no es una imagen de programa")},
        {QStringLiteral("not built yet"), QStringLiteral("aún no compilado")},
    };
    if (const auto it = words.constFind(reason); it != words.constEnd())
        return *it;
    // "source file missing, line 4"
    static const QString sourceMissing = QStringLiteral("source file missing, line ");
    if (reason.startsWith(sourceMissing))
        return QStringLiteral("falta el archivo fuente, línea ") + reason.mid(sourceMissing.size());
    // "used by Form1.frm, not in the project"
    static const QString usedBy = QStringLiteral("used by ");
    static const QString notListed = QStringLiteral(", not in the project");
    if (reason.startsWith(usedBy) && reason.endsWith(notListed))
        return QStringLiteral("usado por ") + reason.mid(usedBy.size(), reason.size() - usedBy.size() - notListed.size())
               + QStringLiteral(", no está en el proyecto");
    return reason;
}

void ClosureProblemsModel::SetInventory(const Inventory* inventory)
{
    beginResetModel();
    rows_.clear();
    if (inventory && inventory->catalogue()) {
        // Only the problems are kept, never the whole closure.
        VisitClosure(*inventory->catalogue(), inventory->ProjectPaths(), inventory->Sources(), LoaderArch::X86,
                     [this, inventory](const ClosureRecord& record) {
            // A program not built yet is no problem of what it needs.
            if (record.reason.isEmpty() || record.how == ClosureHow::Program)
                return;
            Row row;
            row.project = record.projectIndex;
            row.cells[Project] = OutputText::shown(ExtraeNombreArchivo(inventory->ProjectPath(record.projectIndex)));
            row.cells[File] = OutputText::shown(record.file);
            row.cells[How] = HowTexto(record.how);
            row.cells[Via] = OutputText::shown(record.via);
            row.cells[Reason] = OutputText::shown(ReasonTexto(record.reason));
            rows_.push_back(std::move(row));
        });
    }
    endResetModel();
}

int ClosureProblemsModel::ProjectIndexAt(int row) const
{
    return row >= 0 && std::size_t(row) < rows_.size() ? rows_[std::size_t(row)].project : 0;
}

int ClosureProblemsModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int ClosureProblemsModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant ClosureProblemsModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || std::size_t(index.row()) >= rows_.size())
        return {};
    if (role == Qt::DisplayRole || role == Qt::ToolTipRole || role == Qt::UserRole)
        return rows_[std::size_t(index.row())].cells[index.column()];
    return {};
}

QVariant ClosureProblemsModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section >= 0 && section < ColumnCount)
        return Headers()[section];
    return QAbstractTableModel::headerData(section, orientation, role);
}
