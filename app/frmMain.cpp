#include "app/frmMain.h"

#include "app/ClosureProblemsModel.h"
#include "app/DiagnosticsWindow.h"
#include "app/Images.h"
#include "app/common/CIni.h"
#include "app/common/mApis.h"
#include "app/common/mMain.h"
#include "app/frmPath.h"
#include "catalogue/Catalogue.h"
#include "catalogue/FileHelpers.h"
#include "catalogue/FolderScan.h"
#include "catalogue/Inventory.h"
#include "catalogue/LoadContext.h"
#include "catalogue/TreeKeys.h"
#include "manifest/ManifestPlan.h"
#include "manifest/ManifestWriter.h"
#include "output/ExportarExcel.h"
#include "output/OutputFormat.h"
#include "output/frmImprimir.h"
#include "platform/core/ProgramError.h"
#include "platform/desktop/FolderBrowser.h"
#include "platform/desktop/MessageBoxes.h"
#include "platform/drawing/PictureBox.h"
#include "platform/files/PathMapper.h"
#include "platform/files/HostNames.h"
#include "platform/files/UserFolders.h"
#include "platform/registry/SystemCodePage.h"
#include "platform/registry/WindowsWorld.h"
#include "platform/typelib/PrefixCheck.h"
#include "support/GradientRect.h"
#include "support/Version.h"
#include "support/frmAcerca.h"

#include <QCloseEvent>
#include <QHeaderView>
#include <QLabel>
#include <QMenuBar>
#include <QStatusBar>
#include <QToolBar>
#include <QTreeView>
#include <optional>

// The window's inner area; its resizing lays the controls out.
class frmMain::Form : public QWidget {
public:
    Form(frmMain* owner) : QWidget(owner), owner_(owner) {}

protected:
    void resizeEvent(QResizeEvent*) override { owner_->Form_Resize(); }

private:
    frmMain* owner_;
};

frmMain::frmMain(Catalogue& catalogue, QWidget* parent, const QString& startFolder)
    : QMainWindow(parent),
      catalogue_(catalogue),
      form_(new Form(this)),
      tlbMain_(new QToolBar(form_)),
      picMain_(new PictureBox(form_)),
      treeView_(new QTreeView(form_)),
      model_(new TreeModel(tree_, this)),
      stbMain_(new StatusBarWidget(form_)),
      pgbStatus_(new ProgressBarWidget(form_)),
      controls_(tree_, *stbMain_, *pgbStatus_),
      startFolder_(startFolder),
      lblDiagnostico_(new QLabel(this))
{
    setObjectName(QStringLiteral("frmMain"));
    setWindowTitle(QString::fromLatin1(Version::AppTitle));
    setCentralWidget(form_);
    resize(760, 540);

    picMain_->setObjectName(QStringLiteral("picMain"));
    picMain_->SetForeColor(StripTextColor);
    picMain_->resize(StripWidth, 0);

    treeView_->setObjectName(QStringLiteral("treeMain"));
    treeView_->setModel(model_);
    treeView_->setHeaderHidden(true);
    treeView_->setUniformRowHeights(true);
    treeView_->setIconSize(QSize(16, 16));
    tree_.NodeCheck = [this](int position) { treeMain_NodeCheck(position); };
    // Project nodes are made visible as they are added; the view follows the last of them each
    // time window messages run, so a large load does not scroll once per project.
    connect(model_, qOverload<const QModelIndex&>(&TreeModel::madeVisible), this, [this](const QModelIndex& index) {
        for (QModelIndex ancestor = index.parent(); ancestor.isValid(); ancestor = ancestor.parent())
            if (!treeView_->isExpanded(ancestor))
                treeView_->expand(ancestor);
        QPersistentModelIndex target(index);
        QMetaObject::invokeMethod(this, [this, target] {
            if (target.isValid())
                treeView_->scrollTo(target);
        }, Qt::QueuedConnection);
    });

    connect(model_, &TreeModel::redrawSwitched, treeView_, &QWidget::setUpdatesEnabled);
    connect(model_, &TreeModel::published, this, [this] {
        for (int p = 1; p <= tree_.Count(); ++p)
            if (tree_.Node(p).expanded)
                treeView_->expand(model_->indexOfPosition(p));
    });

    pgbStatus_->setVisible(false);
    stbMain_->SetPanelText(1, QStringLiteral("Listo!"));

    // A line of its own under the form, shown only when a load leaves something to say, so
    // nothing inside the form moves.
    lblDiagnostico_->setObjectName(QStringLiteral("lblDiagnostico"));
    lblDiagnostico_->setTextFormat(Qt::RichText);
    lblDiagnostico_->setTextInteractionFlags(Qt::LinksAccessibleByMouse | Qt::LinksAccessibleByKeyboard);
    connect(lblDiagnostico_, &QLabel::linkActivated, this, [this] { ShowDiagnostics(); });
    statusBar()->setObjectName(QStringLiteral("stbDiagnostico"));
    statusBar()->setSizeGripEnabled(false);
    statusBar()->addWidget(lblDiagnostico_, 1);
    statusBar()->setVisible(false);
    connect(model_, &QAbstractItemModel::dataChanged, this, [this] {
        if (diagnostics_)
            diagnostics_->ChecksChanged();
    });

    buildMenus();
    buildToolbar();
    Form_Load();
}

frmMain::~frmMain()
{
    // The model watches the tree store, a member that is gone before Qt deletes child objects.
    treeView_->setModel(nullptr);
    delete model_;
}

void frmMain::buildMenus()
{
    auto addMenu = [this](const char* name, const char* caption) {
        QMenu* menu = menuBar()->addMenu(QString::fromUtf8(caption));
        menu->setObjectName(QString::fromLatin1(name));
        menus_.append(menu);
        return menu;
    };
    auto addEntry = [](QMenu* menu, const char* name, const char* caption, auto handler) {
        QAction* action = menu->addAction(QString::fromUtf8(caption));
        action->setObjectName(QString::fromLatin1(name));
        QObject::connect(action, &QAction::triggered, menu, handler);
        return action;
    };
    auto addSeparator = [](QMenu* menu, const char* name) { menu->addSeparator()->setObjectName(QString::fromLatin1(name)); };

    QMenu* archivo = addMenu("mnuArchivo", "&Archivo");
    addEntry(archivo, "mnuArchivo_Imprimir", "&Imprimir", [this] { showPrintOptions(); });
    addEntry(archivo, "mnuArchivo_Diagnostico", "&Diagnóstico de dependencias", [this] { ShowDiagnostics(); });
    addEntry(archivo, "mnuArchivo_Manifiestos", "Generar &manifiestos...", [this] { GenerarManifiestos(); });
    addSeparator(archivo, "mnuArchivo_sep1");
    addEntry(archivo, "mnuArchivo_Salir", "&Salir", [this] { close(); });

    QMenu* edicion = addMenu("mnuEdicion", "&Edición");
    addEntry(edicion, "mnuEdicion_SelTodos", "Seleccionar Todos", [this] { selectAll(true); });
    addEntry(edicion, "mnuEdicion_NoSeltodos", "No Seleccionar Todos", [this] { selectAll(false); });

    QMenu* opciones = addMenu("mnuOpciones", "&Opciones");
    addEntry(opciones, "mnuOpciones_ConfPath", "Configurar path proyectos", [this] { showPathDialog(); });

    QMenu* ayuda = addMenu("mnuAyuda", "A&yuda");
    addEntry(ayuda, "mnuAyuda_Indice", "&Indice", [] {});
    addSeparator(ayuda, "mnuAyuda_sep1");
    addEntry(ayuda, "mnuAyuda_acercade", "A&cerca de ...", [this] { showAbout(); });
}

void frmMain::buildToolbar()
{
    tlbMain_->setObjectName(QStringLiteral("tlbMain"));
    tlbMain_->setIconSize(QSize(16, 16));
    tlbMain_->setMovable(false);
    tlbMain_->setToolButtonStyle(Qt::ToolButtonIconOnly);
    const std::pair<const char*, const char*> buttons[] = {
        {"cmdPrint", "Imprimir "}, {"cmdRefresh", "Actualizar"}, {"cmdExcel", "Exportar a Excel"}, {"cmdExit", "Salir"}};
    for (const auto& [key, tip] : buttons) {
        const QString name = QString::fromLatin1(key);
        QAction* action = tlbMain_->addAction(Images::ToolbarImage(name), QString());
        action->setObjectName(name);
        action->setToolTip(QString::fromUtf8(tip));
        connect(action, &QAction::triggered, this, [this, name] { tlbMain_ButtonClick(name); });
        buttons_.append(action);
    }
}

void frmMain::Form_Load()
{
    catalogue_.ScanPath = startFolder_.isEmpty() ? LeerScanPath(SharedIni()) : startFolder_;
    Form_Resize();
}

void frmMain::Form_Resize()
{
    if (isMinimized())
        return;
    const int W = form_->width();
    const int H = form_->height();
    const int T = ToolbarHeight;
    const int S = StatusBarWidget::Height;
    // The toolbar and the status bar keep to their edges.
    tlbMain_->setGeometry(0, 0, W, T);
    stbMain_->setGeometry(0, H - S, W, S);

    const int height = std::max(0, H - T - S);
    picMain_->setGeometry(0, T + 1, picMain_->width(), height);
    // A hidden widget learns its new size only when shown; the image follows it at once.
    picMain_->Resize(picMain_->width(), height);
    treeView_->setGeometry(picMain_->width(), T + 1, std::max(0, W - picMain_->width()), height);
    pgbStatus_->setGeometry(stbMain_->PanelLeft(2) + 2, H - 15, std::max(0, stbMain_->PanelWidth(2) - 3), ProgressHeight);
    pgbStatus_->raise();
    PintarBanda();
}

void frmMain::PintarBanda()
{
    if (!gradient_)
        gradient_ = std::make_unique<clsGradient>();
    gradient_->SetAngle(90);
    gradient_->SetColor1(0x00FF8000);
    gradient_->SetColor2(0);
    gradient_->Draw(*picMain_);
    TextoVertical(QString::fromStdString(Version::Line()), *picMain_);
    picMain_->Refresh();
}

void frmMain::setCommandsEnabled(bool enabled)
{
    for (QMenu* menu : menus_)
        menu->menuAction()->setEnabled(enabled);
    for (QAction* button : buttons_)
        button->setEnabled(enabled);
}

void frmMain::Carga()
{
    WaitState wait(this);
    setCommandsEnabled(false);
    // The inventory points into the catalogue the load rebuilds.
    if (diagnostics_)
        diagnostics_->SetInventory(nullptr);
    inventory_.reset();
    QStringList notes;
    if (ListScanPath(catalogue_, controls_)) {
        LoadContext load;
        load.recordLines = true;
        load.recordSources = true; // the diagnostics work out the closure from them when asked
        {
            const TreeModel::Batch batch(*model_);
            LoadListedProjects(catalogue_, controls_, load);
        }
        inventory_ = std::make_unique<Inventory>(catalogue_, std::move(load));
        setCommandsEnabled(true);
    } else {
        const QString host = PathMapper::current().toHost(catalogue_.ScanPath);
        notes.append(QStringLiteral("No se puede leer la carpeta ") + HostNames::displayed(catalogue_.ScanPath)
                     + QStringLiteral(" (") + (host.isEmpty() ? QStringLiteral("sin carpeta en este equipo") : HostNames::displayed(host))
                     + QStringLiteral(")"));
        menus_[2]->menuAction()->setEnabled(true);
    }
    // A prefix that cannot answer for a 32-bit program, or none at all, is said once, after the
    // first load, and kept in the diagnostics.
    const bool firstLoad = !worldChecked_;
    if (firstLoad) {
        worldChecked_ = true;
        worldProblem_ = PrefixProblemTexto(CheckCurrentPrefix());
        codePageNote_ = CodePageTexto(CodePageInUse());
        worldNotes_ = WorldNotas();
    }
    if (!worldProblem_.isEmpty())
        notes.prepend(worldProblem_);
    notes += worldNotes_;
    if (!codePageNote_.isEmpty())
        notes.append(codePageNote_);
    showLoadDiagnostics(notes);
    wait.end();
    if (firstLoad && !worldProblem_.isEmpty())
        ShowMessage(worldProblem_, MsgStyle::Exclamation);
}

void frmMain::showLoadDiagnostics(const QStringList& notes)
{
    loadNotes_ = notes;
    QString text;
    if (!inventory_) {
        text = notes.join(QStringLiteral("; "));
    } else if (inventory_->UnresolvedCount() > 0) {
        const int lines = inventory_->UnresolvedCount();
        const int projects = inventory_->ProjectsWithUnresolved();
        text = QStringLiteral("%1 %2 en %3 %4")
                   .arg(lines)
                   .arg(lines == 1 ? QStringLiteral("dependencia no encontrada") : QStringLiteral("dependencias no encontradas"))
                   .arg(projects)
                   .arg(projects == 1 ? QStringLiteral("proyecto") : QStringLiteral("proyectos"));
    }
    if (text.isEmpty()) {
        lblDiagnostico_->clear();
        statusBar()->setVisible(false);
    } else {
        lblDiagnostico_->setText(QStringLiteral("<a href=\"diagnostico\">") + text.toHtmlEscaped()
                                 + QStringLiteral(" — ver Diagnóstico</a>"));
        statusBar()->setVisible(true);
    }
    if (diagnostics_) {
        diagnostics_->SetNotes(loadNotes_);
        diagnostics_->SetInventory(inventory_.get());
    }
}

DiagnosticsWindow* frmMain::ShowDiagnostics()
{
    if (!diagnostics_) {
        diagnostics_ = new DiagnosticsWindow(this);
        diagnostics_->SetProjectChecked([this](int index) { return projectChecked(index); });
        connect(diagnostics_, &DiagnosticsWindow::projectActivated, this, &frmMain::SelectProject);
        diagnostics_->SetNotes(loadNotes_);
        diagnostics_->SetInventory(inventory_.get());
    }
    diagnostics_->show();
    diagnostics_->raise();
    diagnostics_->activateWindow();
    return diagnostics_;
}

namespace {

// Why a library was left out of a manifest, in the window's words.
QString ProblemaTexto(const ManifestProblem& problem)
{
    switch (problem.kind) {
    case ManifestProblem::Kind::NotFound: return QStringLiteral("no se encontró (") + problem.detail + u')';
    case ManifestProblem::Kind::CannotLoad: return ClosureProblemsModel::ReasonTexto(problem.detail);
    case ManifestProblem::Kind::OutOfProcess:
        return QStringLiteral("servidor fuera de proceso (ActiveX EXE): un manifiesto no puede activarlo");
    case ManifestProblem::Kind::Licensed:
        return QStringLiteral("control con licencia (") + problem.detail + QStringLiteral("): el manifiesto no puede llevar su licencia");
    case ManifestProblem::Kind::DuplicateClass:
        return QStringLiteral("la clase ") + problem.detail + QStringLiteral(" ya la sirve ") + problem.other;
    case ManifestProblem::Kind::SamePath:
        return QStringLiteral("no se grabó: es también el manifiesto de ") + problem.other + QStringLiteral(", grabado antes");
    }
    return problem.reason;
}

}

void frmMain::GenerarManifiestos()
{
    if (!inventory_)
        return;
    ManifestRequest request;
    for (int p = 1; p <= catalogue_.ProjectCount(); ++p)
        if (projectChecked(p))
            request.projectIndexes.push_back(p);
    if (request.projectIndexes.empty()) {
        ShowMessage(QStringLiteral("No hay proyectos seleccionados"), MsgStyle::Exclamation);
        return;
    }
    const std::optional<QString> folder = BrowseForFolder(this, QStringLiteral("Carpeta de los manifiestos"), OutputFolder());
    if (!folder)
        return;
    request.folder = *folder;
    QStringList lines;
    int written = 0;
    {
        WaitState wait(this);
        const ManifestPlan plan = PlanManifests(*inventory_, request);
        for (const PlannedManifest& planned : plan.manifests) {
            ManifestWriteFailure failure;
            int dropped = 0;
            if (WriteManifest(planned, false, &failure, &dropped)) {
                ++written;
                if (dropped > 0)
                    lines << planned.projectFile + QStringLiteral(": %1 caracteres que XML no admite quedaron fuera de los textos del manifiesto").arg(dropped);
            } else
                lines << planned.projectFile + QStringLiteral(": ")
                             + (failure.foreignFile ? ExtraeNombreArchivo(planned.windowsPath) + QStringLiteral(" ya existe y no lo escribió Zantrel: se conserva")
                                                    : QStringLiteral("no se pudo grabar ") + planned.windowsPath + QStringLiteral(" (") + failure.systemReason + u')');
        }
        for (const ManifestProblem& problem : plan.problems)
            lines << problem.projectFile + QStringLiteral(": ") + problem.file + QStringLiteral(" quedó fuera: ") + ProblemaTexto(problem);
        if (plan.manifests.empty())
            lines.prepend(QStringLiteral("Ninguno de los proyectos seleccionados es un programa (Type=Exe)."));
    }
    constexpr qsizetype kShown = 20;
    const qsizetype more = lines.size() - kShown;
    if (more > 0)
        lines = lines.mid(0, kShown) << QStringLiteral("... y %1 más").arg(more);
    QString text = QStringLiteral("Manifiestos generados: %1 en %2").arg(written).arg(*folder);
    // Each line a line, whatever the names in it hold.
    for (QString& line : lines)
        line = OutputText::shown(line);
    if (!lines.isEmpty())
        text += QStringLiteral("\n\n") + lines.join(u'\n');
    ShowMessage(text, lines.isEmpty() ? MsgStyle::Information : MsgStyle::Exclamation);
}

bool frmMain::projectChecked(int index) const
{
    const int position = tree_.Find(TreeKeys::Project(index));
    return position > 0 && tree_.Node(position).checked;
}

void frmMain::SelectProject(int index)
{
    const int position = tree_.Find(TreeKeys::Project(index));
    if (position <= 0)
        return;
    const QModelIndex node = model_->indexOfPosition(position);
    treeView_->setCurrentIndex(node);
    treeView_->scrollTo(node);
    raise();
    activateWindow();
}

bool frmMain::event(QEvent* event)
{
    const bool handled = QMainWindow::event(event);
    if (event->type() == QEvent::WindowActivate && !activated_) {
        activated_ = true;
        Carga();
    }
    return handled;
}

void frmMain::closeEvent(QCloseEvent* event)
{
    LimpiarArbol(tree_);
    event->accept();
}

void frmMain::treeMain_NodeCheck(int position)
{
    const TreeNode& node = tree_.Node(position);
    if (node.key != TreeKeys::Root)
        return;
    const bool checked = node.checked;
    const WaitState wait(this);
    // Every project node follows the root, in one pass: projects that share a Name, and names
    // that begin with "(", get their own node set like any other.
    for (int p = 1; p <= tree_.Count(); ++p)
        if (TreeKeys::IsProject(tree_.Node(p).key))
            tree_.SetChecked(p, checked);
}

void frmMain::selectAll(bool checked)
{
    stbMain_->SetPanelText(1, checked ? QStringLiteral("Seleccionando proyectos ...")
                                      : QStringLiteral("No Seleccionando proyectos ..."));
    // With nothing loaded there is no root and nothing to select.
    if (const int root = tree_.Find(TreeKeys::Root)) {
        tree_.SetChecked(root, checked);
        treeMain_NodeCheck(root);
    }
    stbMain_->SetPanelText(1, QStringLiteral("Listo!"));
}

void frmMain::tlbMain_ButtonClick(const QString& key)
{
    if (key == QStringLiteral("cmdPrint")) {
        showPrintOptions();
    } else if (key == QStringLiteral("cmdRefresh")) {
        Carga();
    } else if (key == QStringLiteral("cmdExcel")) {
        if (Confirmar(QStringLiteral("Confirma exportar información a excel.")) == MsgAnswer::Yes && ExportarExcel())
            ShowMessage(QStringLiteral("Información exportada con éxito!"), MsgStyle::Information);
    } else if (key == QStringLiteral("cmdExit")) {
        close();
    }
}

void frmMain::showPathDialog()
{
    NewPathDialog()->exec();
}

frmPath* frmMain::NewPathDialog()
{
    auto* dialog = new frmPath(catalogue_, this);
    connect(dialog, &frmPath::pathAccepted, this, &frmMain::Carga);
    return dialog;
}

// The print options dialog, modeless, over the tree, the catalogue and the status bar.
void frmMain::showPrintOptions()
{
    frmImprimir::showModeless(tree_, catalogue_, *stbMain_, this);
}

void frmMain::showAbout()
{
    frmAcerca::ShowModal(this);
}

bool frmMain::ExportarExcel()
{
    // The sheet holds what resolved; the log says what did not.
    const QStringList notes = inventory_ ? ExportLogNotes(*inventory_) : QStringList();
    fpCR_.SetLogNotes(notes);
    return ::ExportarExcel(catalogue_, fpCR_, *stbMain_, [this](bool on) { CursorEspera(this, on); }, OutputFolder());
}
