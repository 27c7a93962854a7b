#pragma once

// The main window: the project tree of the loaded folder and the commands over it.

#include "app/TreeModel.h"
#include "platform/controls/MemoryControls.h"
#include "platform/widgets/StatusWidgets.h"
#include "platform/xls/SpreadGrid.h"

#include <QMainWindow>
#include <memory>

class Catalogue;
class DiagnosticsWindow;
class Inventory;
class PictureBox;
class QLabel;
class QAction;
class QMenu;
class QToolBar;
class QTreeView;
class clsGradient;
class frmPath;

// The main window: a toolbar along the top, a painted strip down the left, the project tree
// filling the rest, and a status bar with a progress bar at the bottom. Loads the catalogue of
// the configured folder on its first activation and on request.
class frmMain : public QMainWindow {
    Q_OBJECT
public:
    // Fixed sizes of the layout, in pixels.
    static constexpr int ToolbarHeight = 24;
    static constexpr int StripWidth = 32;
    static constexpr int ProgressHeight = 14;
    // Text colour of the strip, &H00BBGGRR: a pale yellow.
    static constexpr qint32 StripTextColor = 0x00C0FFFF;

    // `startFolder` (Windows form), when given, is loaded instead of the settings file's folder,
    // which is then neither read nor written.
    explicit frmMain(Catalogue& catalogue, QWidget* parent = nullptr, const QString& startFolder = QString());
    ~frmMain() override;

    // Reloads the catalogue and the tree from the configured folder, with the commands disabled
    // meanwhile; a folder that cannot be read leaves only the Options menu enabled.
    void Carga();

    Catalogue& catalogue() { return catalogue_; }
    MemoryTree& tree() { return tree_; }
    MainControls& controls() { return controls_; }
    QTreeView* treeView() const { return treeView_; }
    PictureBox* strip() const { return picMain_; }
    QWidget* form() const { return form_; }

    // A path dialog over this window, whose accepted path reloads it; it releases itself when it
    // closes.
    frmPath* NewPathDialog();

    // What the last load could not resolve, and more; null before the first load and while a
    // load runs.
    const Inventory* inventory() const { return inventory_.get(); }
    // The slim line under the status bar that says what is missing (hidden when nothing is).
    QLabel* diagnosticsLine() const { return lblDiagnostico_; }
    // Opens (or brings forward) the diagnostics window, made on first use.
    DiagnosticsWindow* ShowDiagnostics();
    // "Generar manifiestos": the application manifests of the checked programs, into a folder
    // the user chooses; says what was written and what was left out.
    void GenerarManifiestos();
    // Selects project `index`'s node in the tree and brings the window forward.
    void SelectProject(int index);

    // The window's Yes/No question before an export; runs the export on Yes.
    void tlbMain_ButtonClick(const QString& key);
    void treeMain_NodeCheck(int position);

protected:
    bool event(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    class Form;

    void Form_Load();
    void Form_Resize();
    void PintarBanda();
    void buildMenus();
    void buildToolbar();
    void setCommandsEnabled(bool enabled);
    void selectAll(bool checked);
    void showPrintOptions();
    void showAbout();
    void showPathDialog();
    bool ExportarExcel();
    void showLoadDiagnostics(const QStringList& notes);
    bool projectChecked(int index) const;

    Catalogue& catalogue_;
    MemoryTree tree_;
    QWidget* form_;
    QToolBar* tlbMain_;
    PictureBox* picMain_;
    QTreeView* treeView_;
    TreeModel* model_;
    StatusBarWidget* stbMain_;
    ProgressBarWidget* pgbStatus_;
    MainControls controls_;
    SpreadGrid fpCR_; // the hidden grid the export fills and saves
    QList<QMenu*> menus_;
    QList<QAction*> buttons_;
    std::unique_ptr<clsGradient> gradient_;
    bool activated_ = false;
    QString startFolder_;
    std::unique_ptr<Inventory> inventory_;
    QStringList loadNotes_;        // what went wrong in the last load, said in the diagnostics
    QString worldProblem_;         // what is wrong with the prefix read, found at the first load
    QString codePageNote_;         // the code page read with, when not the Western one
    QStringList worldNotes_;       // a Windows machine's disk read: which, whose registry, unclean hives
    bool worldChecked_ = false;
    QLabel* lblDiagnostico_;
    DiagnosticsWindow* diagnostics_ = nullptr;
};
