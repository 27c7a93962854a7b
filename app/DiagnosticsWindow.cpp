#include "app/DiagnosticsWindow.h"

#include "app/ClosureProblemsModel.h"
#include "app/DriftModel.h"
#include "app/UnresolvedLinesModel.h"
#include "app/common/CIni.h"
#include "app/common/mMain.h"
#include "catalogue/Inventory.h"
#include "output/OutputFormat.h"
#include "platform/core/ProgramError.h"
#include "platform/desktop/CommonDialogs.h"
#include "platform/desktop/MessageBoxes.h"
#include "platform/files/AtomicFile.h"
#include "platform/files/PathMapper.h"
#include "platform/files/UserFolders.h"
#include "support/GCommonDialog.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QCloseEvent>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QShortcut>
#include <QSortFilterProxyModel>
#include <QTabWidget>
#include <QTableView>
#include <QTimer>
#include <QVBoxLayout>

namespace {

// Where the window's size and place are kept in the settings file.
const QString kSection = QStringLiteral("diagnostico");

QTableView* newTable(QWidget* parent, const char* name)
{
    auto* view = new QTableView(parent);
    view->setObjectName(QString::fromLatin1(name));
    view->setSortingEnabled(true);
    view->setSelectionBehavior(QAbstractItemView::SelectRows);
    view->setSelectionMode(QAbstractItemView::ExtendedSelection);
    view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    view->setWordWrap(false);
    view->verticalHeader()->setVisible(false);
    // Rows of one height let the view lay out 200,000 of them without measuring each.
    view->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    view->verticalHeader()->setDefaultSectionSize(view->fontMetrics().height() + 6);
    view->horizontalHeader()->setStretchLastSection(true);
    view->horizontalHeader()->setSortIndicatorShown(true);
    view->horizontalHeader()->setSortIndicator(-1, Qt::AscendingOrder);
    return view;
}

}

DiagnosticsWindow::DiagnosticsWindow(QWidget* parent)
    : QWidget(parent, Qt::Window),
      lines_(new UnresolvedLinesModel(this)),
      drift_(new DriftModel(this)),
      driftProxy_(new QSortFilterProxyModel(this)),
      closure_(new ClosureProblemsModel(this)),
      closureProxy_(new QSortFilterProxyModel(this)),
      tabs_(new QTabWidget(this)),
      linesView_(newTable(this, "tblNoEncontradas")),
      driftView_(newTable(this, "tblVersiones")),
      closureView_(newTable(this, "tblCierre")),
      filter_(new QLineEdit(this)),
      checkedOnly_(new QCheckBox(QStringLiteral("solo los proyectos marcados"), this)),
      notes_(new QLabel(this)),
      counts_(new QLabel(this))
{
    setObjectName(QStringLiteral("frmDiagnostico"));
    setWindowTitle(QStringLiteral("Diagnóstico de dependencias"));
    resize(900, 480);

    driftProxy_->setSourceModel(drift_);
    driftProxy_->setFilterKeyColumn(-1);
    driftProxy_->setFilterCaseSensitivity(Qt::CaseInsensitive);
    driftProxy_->setSortRole(Qt::UserRole);
    closureProxy_->setSourceModel(closure_);
    closureProxy_->setFilterKeyColumn(-1);
    closureProxy_->setFilterCaseSensitivity(Qt::CaseInsensitive);
    closureProxy_->setSortRole(Qt::UserRole);
    linesView_->setModel(lines_);
    driftView_->setModel(driftProxy_);
    closureView_->setModel(closureProxy_);
    const int closureWidths[ClosureProblemsModel::ColumnCount] = {200, 140, 130, 330, 220};
    for (int c = 0; c < ClosureProblemsModel::ColumnCount; ++c)
        closureView_->setColumnWidth(c, closureWidths[c]);
    // Room for the reason at the first opening; the path and GUID show whole in their tips.
    const int widths[UnresolvedLinesModel::ColumnCount] = {200, 45, 80, 110, 55, 95, 160, 140, 210};
    for (int c = 0; c < UnresolvedLinesModel::ColumnCount; ++c)
        linesView_->setColumnWidth(c, widths[c]);
    const int driftWidths[DriftModel::ColumnCount] = {270, 200, 85, 60, 120, 75, 300};
    for (int c = 0; c < DriftModel::ColumnCount; ++c)
        driftView_->setColumnWidth(c, driftWidths[c]);
    tabs_->addTab(linesView_, QStringLiteral("Dependencias no encontradas"));
    tabs_->addTab(driftView_, QStringLiteral("Versiones distintas"));
    tabs_->addTab(closureView_, QStringLiteral("Lo que necesitan los programas"));

    notes_->setObjectName(QStringLiteral("lblNotas"));
    notes_->setWordWrap(true);
    notes_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    notes_->setVisible(false);
    counts_->setObjectName(QStringLiteral("lblCuenta"));
    filter_->setObjectName(QStringLiteral("txtFiltro"));
    filter_->setPlaceholderText(QStringLiteral("Filtrar"));
    filter_->setClearButtonEnabled(true);
    checkedOnly_->setObjectName(QStringLiteral("chkMarcados"));

    auto* copy = new QPushButton(QStringLiteral("&Copiar"), this);
    copy->setObjectName(QStringLiteral("cmdCopiar"));
    auto* save = new QPushButton(QStringLiteral("&Guardar como CSV"), this);
    save->setObjectName(QStringLiteral("cmdGuardarCsv"));
    auto* close = new QPushButton(QStringLiteral("C&errar"), this);
    close->setObjectName(QStringLiteral("cmdCerrar"));

    auto* top = new QHBoxLayout;
    top->addWidget(filter_, 1);
    top->addWidget(checkedOnly_);
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(counts_, 1);
    bottom->addWidget(copy);
    bottom->addWidget(save);
    bottom->addWidget(close);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(notes_);
    layout->addLayout(top);
    layout->addWidget(tabs_, 1);
    layout->addLayout(bottom);

    connect(filter_, &QLineEdit::textChanged, this, [this](const QString& text) {
        lines_->SetFilter(text);
        driftProxy_->setFilterFixedString(text);
        closureProxy_->setFilterFixedString(text);
        updateCounts();
    });
    connect(checkedOnly_, &QCheckBox::toggled, this, [this] { applyProjectFilter(); });
    connect(copy, &QPushButton::clicked, this, [this] { CopySelection(); });
    connect(save, &QPushButton::clicked, this, &DiagnosticsWindow::GuardarComoCsv);
    connect(close, &QPushButton::clicked, this, &QWidget::close);
    connect(tabs_, &QTabWidget::currentChanged, this, [this] {
        showClosureWhenCurrent();
        updateCounts();
    });
    auto* copyKey = new QShortcut(QKeySequence::Copy, this);
    connect(copyKey, &QShortcut::activated, this, [this] { CopySelection(); });
    connect(linesView_, &QTableView::doubleClicked, this, [this](const QModelIndex& index) {
        if (const int project = lines_->ProjectIndexAt(index.row()))
            emit projectActivated(project);
    });
    connect(driftView_, &QTableView::doubleClicked, this, [this](const QModelIndex& index) {
        if (const int project = drift_->ProjectIndexAt(driftProxy_->mapToSource(index).row()))
            emit projectActivated(project);
    });
    connect(closureView_, &QTableView::doubleClicked, this, [this](const QModelIndex& index) {
        if (const int project = closure_->ProjectIndexAt(closureProxy_->mapToSource(index).row()))
            emit projectActivated(project);
    });
    updateCounts();
}

DiagnosticsWindow::~DiagnosticsWindow() = default;

void DiagnosticsWindow::SetInventory(const Inventory* inventory)
{
    inventory_ = inventory;
    lines_->SetInventory(inventory);
    drift_->SetInventory(inventory);
    closureCurrent_ = false;
    showClosureWhenCurrent();
    updateCounts();
}

void DiagnosticsWindow::showClosureWhenCurrent()
{
    if (closureCurrent_ || tabs_->currentWidget() != closureView_)
        return;
    closureCurrent_ = true;
    closure_->SetInventory(inventory_);
}

void DiagnosticsWindow::SetNotes(const QStringList& notes)
{
    notes_->setText(notes.join(u'\n'));
    notes_->setVisible(!notes.isEmpty());
}

void DiagnosticsWindow::SetProjectChecked(std::function<bool(int)> checked)
{
    checked_ = std::move(checked);
    applyProjectFilter();
}

void DiagnosticsWindow::ChecksChanged()
{
    if (!checkedOnly_->isChecked() || refilterPending_)
        return;
    refilterPending_ = true;
    QTimer::singleShot(0, this, [this] {
        refilterPending_ = false;
        lines_->Refilter();
        updateCounts();
    });
}

void DiagnosticsWindow::applyProjectFilter()
{
    if (checkedOnly_->isChecked() && checked_)
        lines_->SetProjectFilter(checked_);
    else
        lines_->SetProjectFilter(nullptr);
    updateCounts();
}

void DiagnosticsWindow::updateCounts()
{
    if (tabs_->currentWidget() == closureView_) {
        counts_->setText(QStringLiteral("%1 archivos que los programas necesitan y no pueden cargar; %2 mostrados")
                             .arg(closure_->ProblemCount())
                             .arg(closureProxy_->rowCount()));
        return;
    }
    if (tabs_->currentWidget() == driftView_) {
        counts_->setText(QStringLiteral("%1 bibliotecas con versiones o archivos distintos; %2 filas mostradas")
                             .arg(drift_->LibraryCount())
                             .arg(driftProxy_->rowCount()));
        return;
    }
    counts_->setText(QStringLiteral("%1 de %2 líneas no resueltas mostradas").arg(lines_->rowCount()).arg(lines_->TotalCount()));
}

QStringList DiagnosticsWindow::currentHeaders() const
{
    if (tabs_->currentWidget() == closureView_)
        return ClosureProblemsModel::Headers();
    return tabs_->currentWidget() == driftView_ ? DriftModel::Headers() : UnresolvedLinesModel::Headers();
}

QList<QStringList> DiagnosticsWindow::currentRows(bool selectedOnly) const
{
    QList<QStringList> rows;
    QTableView* view = qobject_cast<QTableView*>(tabs_->currentWidget());
    const bool drift = view == driftView_;
    QList<int> wanted;
    if (selectedOnly) {
        for (const QModelIndex& index : view->selectionModel()->selectedRows())
            wanted.append(index.row());
        std::sort(wanted.begin(), wanted.end());
    } else {
        const int count = view->model()->rowCount();
        wanted.reserve(count);
        for (int r = 0; r < count; ++r)
            wanted.append(r);
    }
    for (int r : wanted) {
        if (view == linesView_) {
            rows.append(lines_->RowTexts(r));
            continue;
        }
        if (!drift) {
            const int source = closureProxy_->mapToSource(closureProxy_->index(r, 0)).row();
            QStringList cells;
            for (int c = 0; c < ClosureProblemsModel::ColumnCount; ++c)
                cells.append(closure_->index(source, c).data().toString());
            rows.append(cells);
            continue;
        }
        const int source = driftProxy_->mapToSource(driftProxy_->index(r, 0)).row();
        QStringList cells;
        for (int c = 0; c < DriftModel::ColumnCount; ++c)
            cells.append(drift_->index(source, c).data().toString());
        // Saved and copied lists name every project, not the first few.
        if (inventory_) {
            QStringList all;
            for (int project : drift_->ProjectsAt(source))
                all.append(OutputText::shown(inventory_->ProjectPath(project)));
            cells[DriftModel::Projects] = all.join(u'|');
        }
        rows.append(cells);
    }
    return rows;
}

QString DiagnosticsWindow::CopySelection()
{
    QString text;
    for (const QStringList& row : currentRows(true))
        text += row.join(u'\t') + u'\n';
    if (!text.isEmpty())
        QApplication::clipboard()->setText(text);
    return text;
}

bool DiagnosticsWindow::SaveCsv(const QString& windowsPath)
{
    // UTF-8 with a byte-order mark, so spreadsheet programs read the accents; RFC 4180.
    QString text;
    auto addRow = [&text](const QStringList& cells) {
        for (qsizetype c = 0; c < cells.size(); ++c)
            text += (c > 0 ? QStringLiteral(",") : QString()) + OutputText::csvField(cells[c]);
        text += QStringLiteral("\r\n");
    };
    addRow(currentHeaders());
    for (const QStringList& row : currentRows(false))
        addRow(row);
    const QString host = PathMapper::current().toHost(windowsPath);
    AtomicFile::Failure failure;
    if (host.isEmpty()
        || !AtomicFile::writeFile(host, "\xEF\xBB\xBF" + text.toUtf8(), AtomicFile::Links::WriteTarget, &failure)) {
        const QString why = host.isEmpty() ? StandardErrorDescription(ErrorNumbers::PathNotFound) : failure.description;
        ShowMessage(QStringLiteral("Guardar como CSV : ") + windowsPath + QStringLiteral(" : ") + why, MsgStyle::Critical);
        return false;
    }
    return true;
}

void DiagnosticsWindow::GuardarComoCsv()
{
    GCommonDialog dialog;
    try {
        QString Filter = QStringLiteral("Archivos CSV (*.CSV)|*.CSV|Todos los archivos (*.*)|*.*");
        QString Filename;
        QString FileTitle;
        int FilterIndex = 1;
        int flags = 0;
        if (dialog.VBGetSaveFileName(Filename, FileTitle, true, Filter, FilterIndex, OutputFolder(),
                                     QStringLiteral("Guardar como CSV"), QStringLiteral("CSV"), HandleOf(this), flags,
                                     false, nullptr)
            && !Filename.isEmpty())
            SaveCsv(Filename);
    } catch (const ProgramError& error) {
        ShowMessage(error.RoutineMessage(QStringLiteral("Guardar como CSV")), MsgStyle::Critical);
    }
}

void DiagnosticsWindow::showEvent(QShowEvent* event)
{
    if (!geometryRestored_) {
        geometryRestored_ = true;
        restoreGeometryFromSettings();
    }
    QWidget::showEvent(event);
}

void DiagnosticsWindow::closeEvent(QCloseEvent* event)
{
    saveGeometryToSettings();
    QWidget::closeEvent(event);
}

void DiagnosticsWindow::saveGeometryToSettings()
{
    const QRect frame = geometry();
    const CIni& ini = SharedIni();
    ini.Grabar(Settings::File, kSection, QStringLiteral("left"), frame.x());
    ini.Grabar(Settings::File, kSection, QStringLiteral("top"), frame.y());
    ini.Grabar(Settings::File, kSection, QStringLiteral("width"), frame.width());
    ini.Grabar(Settings::File, kSection, QStringLiteral("height"), frame.height());
}

void DiagnosticsWindow::restoreGeometryFromSettings()
{
    const CIni& ini = SharedIni();
    bool ok[4] = {};
    const int left = ini.Leer(kSection, QStringLiteral("left"), Settings::File).toInt(&ok[0]);
    const int top = ini.Leer(kSection, QStringLiteral("top"), Settings::File).toInt(&ok[1]);
    const int width = ini.Leer(kSection, QStringLiteral("width"), Settings::File).toInt(&ok[2]);
    const int height = ini.Leer(kSection, QStringLiteral("height"), Settings::File).toInt(&ok[3]);
    if (!ok[0] || !ok[1] || !ok[2] || !ok[3] || width < 200 || height < 150)
        return;
    QRect wanted(left, top, width, height);
    // A place on a screen that is no longer there is not kept, only the size.
    const QScreen* screen = QApplication::screenAt(wanted.center());
    if (!screen) {
        resize(width, height);
        return;
    }
    wanted = wanted.intersected(screen->availableGeometry());
    if (wanted.width() >= 200 && wanted.height() >= 150)
        setGeometry(wanted);
}
