#pragma once

// The table of the libraries the loaded projects name at versions or under file names that
// disagree: one row per side (a version and file name), with the projects on that side.

#include <QAbstractTableModel>
#include <vector>

class Inventory;

class DriftModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { Guid, Name, Kind, Version, File, ProjectCount, Projects, ColumnCount };

    explicit DriftModel(QObject* parent = nullptr);

    // Shows the disagreements of `inventory` (none when null); it must outlive its use here.
    void SetInventory(const Inventory* inventory);

    // The first project of the side at `row`, or 0.
    int ProjectIndexAt(int row) const;
    // The side's projects in full, by index.
    std::vector<int> ProjectsAt(int row) const;
    static QStringList Headers();
    // How many libraries disagree.
    int LibraryCount() const { return libraries_; }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

private:
    struct Row {
        QString cells[ColumnCount];
        std::vector<int> projects;
    };
    std::vector<Row> rows_;
    int libraries_ = 0;
};
