#include "output/frmReporte.h"

#include "app/common/mApis.h"
#include "app/common/mMain.h"
#include "output/ReportBuilder.h"
#include "output/ReportFile.h"
#include "output/frmAccion.h"
#include "platform/core/ProgramError.h"
#include "platform/desktop/CommonDialogs.h"
#include "platform/desktop/MessageBoxes.h"
#include "platform/files/UserFolders.h"
#include "support/GCommonDialog.h"

#include <QAction>
#include <QIcon>
#include <QToolBar>
#include <memory>

// The resources of a static library are registered by hand, outside any namespace.
static void loadReportImages()
{
    static bool loaded = false;
    if (!loaded) {
        Q_INIT_RESOURCE(reportimages);
        loaded = true;
    }
}

namespace {

QIcon reportImage(const char* name)
{
    loadReportImages();
    return QIcon(QStringLiteral(":/report/") + QString::fromLatin1(name));
}

QString failure(const char* routine, const ProgramError& error)
{
    return error.RoutineMessage(QString::fromLatin1(routine));
}

}

frmReporte::frmReporte(const TreeControl& tree, const Catalogue& catalogue, StatusBarControl& status, QWidget* parent)
    : QDialog(parent), tree_(tree), catalogue_(catalogue), status_(status), Toolbar1_(new QToolBar(this)),
      view_(new RichTextView(txt_, this))
{
    setObjectName(QStringLiteral("frmReporte"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("Reporte del archivo"));
    setWindowFlag(Qt::WindowMinMaxButtonsHint, true);
    setSizeGripEnabled(true);

    Toolbar1_->setObjectName(QStringLiteral("Toolbar1"));
    Toolbar1_->setIconSize(QSize(16, 16));
    Toolbar1_->setMovable(false);
    Toolbar1_->setToolButtonStyle(Qt::ToolButtonIconOnly);
    const std::tuple<const char*, const char*, const char*> buttons[] = {
        {"cmdSave", "Guardar informe", "save.svg"}, {"cmdPrint", "Imprimir informe", "print.svg"}};
    for (const auto& [key, tip, picture] : buttons) {
        const QString name = QString::fromLatin1(key);
        QAction* action = Toolbar1_->addAction(reportImage(picture), QString());
        action->setObjectName(name);
        action->setToolTip(QString::fromUtf8(tip));
        connect(action, &QAction::triggered, this, [this, name] { Toolbar1_ButtonClick(name); });
    }
    Toolbar1_->adjustSize();
    view_->setObjectName(QStringLiteral("txt"));
    resize(720, 520);
}

void frmReporte::setProgressDialog(frmAccion* dialog)
{
    progress_ = dialog;
}

void frmReporte::setVisible(bool visible)
{
    // The report is built once, before the window first shows.
    if (visible && !loaded_) {
        loaded_ = true;
        if (!Form_Load())
            return;
    }
    QDialog::setVisible(visible);
}

bool frmReporte::Form_Load()
{
    WaitState wait(this);
    try {
        GeneraInforme();
    } catch (const ProgramError& error) {
        // A report that cannot be built ends this opening of the window.
        wait.end();
        if (progress_)
            progress_->close();
        ShowMessage(failure("GeneraInforme", error), MsgStyle::Critical);
        QMetaObject::invokeMethod(this, &QDialog::reject, Qt::QueuedConnection);
        return false;
    }
    return true;
}

void frmReporte::GeneraInforme()
{
    BuildReport(tipo_, tree_, catalogue_, status_, progress_.data(), txt_);
    // The window opens on the report's first line, with nothing selected.
    txt_.SetSelStart(0);
}

void frmReporte::resizeEvent(QResizeEvent* event)
{
    QDialog::resizeEvent(event);
    Form_Resize();
}

void frmReporte::Form_Resize()
{
    if (isMinimized())
        return;
    const int top = Toolbar1_->sizeHint().height();
    Toolbar1_->setGeometry(0, 0, width(), top);
    // A window shorter than the toolbar leaves the text area empty rather than negative.
    view_->setGeometry(0, top, width(), std::max(0, height() - top));
}

void frmReporte::Toolbar1_ButtonClick(const QString& key)
{
    if (key == QStringLiteral("cmdPrint")) {
        if (Confirmar(QStringLiteral("Confirma imprimir informe.")) != MsgAnswer::Yes)
            return;
        if (Imprimir())
            ShowMessage(QStringLiteral("Informe impreso con éxito!"), MsgStyle::Information);
    } else if (key == QStringLiteral("cmdSave")) {
        if (Confirmar(QStringLiteral("Confirma guardar informe.")) != MsgAnswer::Yes)
            return;
        if (GrabarReporte())
            ShowMessage(QStringLiteral("Informe guardado con éxito!"), MsgStyle::Information);
    }
}

bool frmReporte::Imprimir()
{
    // The wait state ends on the way out, after the error's message box (which takes the mouse
    // meanwhile), as it does for the export.
    const WaitState wait(this);
    try {
        txt_.SelPrint(ReportTitle);
        return true;
    } catch (const ProgramError& error) {
        ShowMessage(failure("Imprimir", error), MsgStyle::Critical);
        return false;
    }
}

bool frmReporte::GrabarReporte()
{
    bool result = false;
    auto dialog = std::make_unique<GCommonDialog>();
    try {
        QString Filter = QStringLiteral("Archivos de texto (*.TXT)|*.TXT|") +
                         QStringLiteral("Archivos de texto enriquecido (*.RTF)|*.RTF|") +
                         QStringLiteral("Todos los archivos (*.*)|*.*");
        QString Filename;
        QString FileTitle;
        int FilterIndex = 1;
        int flags = 0;
        if (dialog->VBGetSaveFileName(Filename, FileTitle, true, Filter, FilterIndex, OutputFolder(),
                                      QStringLiteral("Guardar reporte como ..."), QStringLiteral("TXT"),
                                      HandleOf(this), flags, false, nullptr) &&
            !Filename.isEmpty()) {
            const ReportFile file = ReportFileFor(Filename);
            txt_.SaveFile(file.name, file.format);
            result = true;
        }
    } catch (const ProgramError& error) {
        ShowMessage(failure("GrabarReporte", error), MsgStyle::Critical);
        result = false;
    }
    return result;
}
