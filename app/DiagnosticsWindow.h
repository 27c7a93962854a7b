#pragma once

// "Diagnóstico de dependencias": what the last load could not resolve and why, and the libraries
// the projects name at versions that disagree, beside the main window and never in its way.

#include <QWidget>
#include <functional>

class ClosureProblemsModel;
class DriftModel;
class Inventory;
class QCheckBox;
class QLabel;
class QLineEdit;
class QSortFilterProxyModel;
class QTabWidget;
class QTableView;
class UnresolvedLinesModel;

// A window of its own (not modal) with three tabs: the lines that gave no entry, the versions
// that disagree, and what the programs need beyond their lines and cannot have (the closure's
// problems, worked out when the tab is first shown after a load). Its size and place are kept in the settings file. It knows nothing of the window
// that opened it: a double-click on a row emits projectActivated.
class DiagnosticsWindow : public QWidget {
    Q_OBJECT
public:
    explicit DiagnosticsWindow(QWidget* parent = nullptr);
    ~DiagnosticsWindow() override;

    // Shows `inventory` (none when null), which must outlive its use here, keeping the sort, the
    // filter and the choices.
    void SetInventory(const Inventory* inventory);
    // Lines said above the tables: what is wrong with the world or the folder read.
    void SetNotes(const QStringList& notes);
    // How "solo los proyectos marcados" learns whether a project (by index) is checked.
    void SetProjectChecked(std::function<bool(int projectIndex)> checked);
    // The checks changed: the list follows at the next turn of the event loop, once however
    // many changed.
    void ChecksChanged();

    // Writes the current tab's rows as shown (filtered, sorted) as CSV to `windowsPath`; false
    // with the failure shown in a message box when it cannot be written.
    bool SaveCsv(const QString& windowsPath);
    // Asks for a file with the save dialog and saves the current tab's rows there.
    void GuardarComoCsv();
    // The selected rows of the current tab as tab-separated lines, also put on the clipboard.
    QString CopySelection();

    UnresolvedLinesModel* linesModel() const { return lines_; }
    DriftModel* driftModel() const { return drift_; }
    ClosureProblemsModel* closureModel() const { return closure_; }
    QTableView* closureView() const { return closureView_; }
    QTableView* linesView() const { return linesView_; }
    QTableView* driftView() const { return driftView_; }
    QLineEdit* filterBox() const { return filter_; }
    QCheckBox* checkedOnly() const { return checkedOnly_; }
    QTabWidget* tabs() const { return tabs_; }

signals:
    void projectActivated(int projectIndex);

protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void applyProjectFilter();
    void updateCounts();
    void showClosureWhenCurrent();
    void saveGeometryToSettings();
    void restoreGeometryFromSettings();
    QStringList currentHeaders() const;
    QList<QStringList> currentRows(bool selectedOnly) const;

    UnresolvedLinesModel* lines_;
    DriftModel* drift_;
    QSortFilterProxyModel* driftProxy_;
    ClosureProblemsModel* closure_;
    QSortFilterProxyModel* closureProxy_;
    QTabWidget* tabs_;
    QTableView* linesView_;
    QTableView* driftView_;
    QTableView* closureView_;
    bool closureCurrent_ = false; // the closure tab shows the present inventory
    QLineEdit* filter_;
    QCheckBox* checkedOnly_;
    QLabel* notes_;
    QLabel* counts_;
    const Inventory* inventory_ = nullptr;
    std::function<bool(int)> checked_;
    bool refilterPending_ = false;
    bool geometryRestored_ = false;
};
