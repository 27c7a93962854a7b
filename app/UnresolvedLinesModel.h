#pragma once

// The table of the lines a load could not resolve, as the diagnostics window shows it: sorted and
// filtered here rather than through a proxy, so 200,000 lines sort and filter in a blink.

#include <QAbstractTableModel>
#include <QHash>
#include <QString>
#include <functional>
#include <vector>

class Inventory;

class UnresolvedLinesModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { Project, Line, Kind, Guid, Version, Locale, Path, Name, Reason, ColumnCount };

    explicit UnresolvedLinesModel(QObject* parent = nullptr);

    // Shows the unresolved lines of `inventory` (none when null), in load order, keeping the sort
    // and the filters. The inventory must outlive its use here.
    void SetInventory(const Inventory* inventory);
    // Keeps only the rows with `text` in one of their cells (ignoring case); empty keeps all.
    void SetFilter(const QString& text);
    // Keeps only the rows of the projects `shown` accepts (by project index); null keeps all.
    void SetProjectFilter(std::function<bool(int projectIndex)> shown);
    // Applies the filters again (the projects `shown` accepts may have changed).
    void Refilter();

    // The project index of row `row`, or 0.
    int ProjectIndexAt(int row) const;
    // The rows' cells as shown, one text per cell.
    QStringList RowTexts(int row) const;
    // The column headers.
    static QStringList Headers();
    // How many lines there are before filtering.
    int TotalCount() const { return static_cast<int>(rows_.size()); }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    void sort(int column, Qt::SortOrder order = Qt::AscendingOrder) override;

private:
    // A cell's text is an index into `texts_`, where each distinct text is kept once.
    static constexpr int TextColumns = 8; // every column but Line
    struct Row {
        int projectIndex = 0;
        int line = 0;
        int text[TextColumns] = {};
    };

    int intern(const QString& text);
    int textSlot(int column) const;
    QString cell(const Row& row, int column) const;
    void order();
    void filter();

    std::vector<QString> texts_;
    QHash<QString, int> textIndex_;
    std::vector<Row> rows_;
    std::vector<int> sorted_; // all rows, in the sort's order
    std::vector<int> shown_;  // the rows that pass the filters, in the sort's order
    int sortColumn_ = -1;
    Qt::SortOrder sortOrder_ = Qt::AscendingOrder;
    QString filter_;
    std::function<bool(int)> projectShown_;
};

// The Spanish text of a reason and of a line's kind, as the window shows them.
QString ReasonText(const QString& reason);
QString KindText(const QString& kind);
