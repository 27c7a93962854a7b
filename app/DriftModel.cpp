#include "app/DriftModel.h"

#include "catalogue/FileHelpers.h"
#include "catalogue/Inventory.h"
#include "output/OutputFormat.h"

namespace {

// The project files a cell lists before it says how many more there are.
constexpr std::size_t kListedProjects = 20;

}

DriftModel::DriftModel(QObject* parent) : QAbstractTableModel(parent) {}

QStringList DriftModel::Headers()
{
    return {QStringLiteral("GUID"),    QStringLiteral("Nombre"),    QStringLiteral("Tipo"),
            QStringLiteral("Versión"), QStringLiteral("Archivo"),   QStringLiteral("Proyectos"),
            QStringLiteral("Lista de proyectos")};
}

void DriftModel::SetInventory(const Inventory* inventory)
{
    beginResetModel();
    rows_.clear();
    libraries_ = 0;
    if (inventory) {
        for (const LibraryDrift& library : inventory->Drift()) {
            ++libraries_;
            for (const DriftSide& side : library.sides) {
                Row row;
                row.cells[Guid] = library.guid;
                row.cells[Name] = OutputText::shown(library.name);
                row.cells[Kind] = side.kind == 2 ? QStringLiteral("componente") : QStringLiteral("referencia");
                row.cells[Version] = OutputText::shown(side.version);
                row.cells[File] = OutputText::shown(side.file);
                row.cells[ProjectCount] = QString::number(side.projects.size());
                QStringList names;
                for (std::size_t i = 0; i < side.projects.size() && i < kListedProjects; ++i)
                    names.append(OutputText::shown(ExtraeNombreArchivo(inventory->ProjectPath(side.projects[i]))));
                if (side.projects.size() > kListedProjects)
                    names.append(QStringLiteral("y %1 más").arg(side.projects.size() - kListedProjects));
                row.cells[Projects] = names.join(QStringLiteral(", "));
                row.projects = side.projects;
                rows_.push_back(std::move(row));
            }
        }
    }
    endResetModel();
}

int DriftModel::ProjectIndexAt(int row) const
{
    if (row < 0 || std::size_t(row) >= rows_.size() || rows_[std::size_t(row)].projects.empty())
        return 0;
    return rows_[std::size_t(row)].projects.front();
}

std::vector<int> DriftModel::ProjectsAt(int row) const
{
    if (row < 0 || std::size_t(row) >= rows_.size())
        return {};
    return rows_[std::size_t(row)].projects;
}

int DriftModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int DriftModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant DriftModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || std::size_t(index.row()) >= rows_.size())
        return {};
    const Row& row = rows_[std::size_t(index.row())];
    if (role == Qt::DisplayRole || role == Qt::ToolTipRole)
        return row.cells[index.column()];
    // The count sorts as a number.
    if (role == Qt::UserRole)
        return index.column() == ProjectCount ? QVariant(qulonglong(row.projects.size())) : QVariant(row.cells[index.column()]);
    return {};
}

QVariant DriftModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section >= 0 && section < ColumnCount)
        return Headers()[section];
    return QAbstractTableModel::headerData(section, orientation, role);
}
