#pragma once

// The table of what the loaded programs need beyond their project lines and cannot have: each
// file of the closure that is not found or cannot be used, with the chain that needs it.

#include "catalogue/Closure.h"

#include <QAbstractTableModel>
#include <vector>

class Inventory;

class ClosureProblemsModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { Project, File, How, Via, Reason, ColumnCount };

    explicit ClosureProblemsModel(QObject* parent = nullptr);

    // Shows the problems of the closure of `inventory`'s projects (none when null), worked out
    // now; the inventory must outlive its use here.
    void SetInventory(const Inventory* inventory);

    int ProjectIndexAt(int row) const;
    int ProblemCount() const { return static_cast<int>(rows_.size()); }
    static QStringList Headers();
    // The Spanish words for a closure record's way and reason.
    static QString HowTexto(ClosureHow how);
    static QString ReasonTexto(const QString& reason);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

private:
    struct Row {
        QString cells[ColumnCount];
        int project = 0;
    };
    std::vector<Row> rows_;
};
