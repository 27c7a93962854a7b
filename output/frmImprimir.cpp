#include "output/frmImprimir.h"

#include "app/common/mApis.h"
#include "catalogue/TreeKeys.h"
#include "output/frmAccion.h"
#include "output/frmReporte.h"
#include "platform/controls/Controls.h"
#include "platform/desktop/MessageBoxes.h"

#include <QGroupBox>
#include <QHBoxLayout>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace {
QPointer<frmImprimir> openDialog;
}

frmImprimir::frmImprimir(TreeControl& tree, const Catalogue& catalogue, StatusBarControl& status, QWidget* parent)
    : QDialog(parent), tree_(tree), catalogue_(catalogue), status_(status),
      fra_(new QGroupBox(QStringLiteral("Imprimir"), this))
{
    setObjectName(QStringLiteral("frmImprimir"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("Imprimir"));
    setModal(false);
    fra_->setObjectName(QStringLiteral("fra"));

    const char* options[] = {"Detallado", "Resumido"};
    auto* frame = new QVBoxLayout(fra_);
    for (int i = 0; i < 2; ++i) {
        opt_[i] = new QRadioButton(QString::fromLatin1(options[i]), fra_);
        opt_[i]->setObjectName(QStringLiteral("opt%1").arg(i));
        frame->addWidget(opt_[i]);
    }
    opt_[0]->setChecked(true);

    const char* captions[] = {"&Aceptar", "&Salir"};
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    for (int i = 0; i < 2; ++i) {
        cmd_[i] = new QPushButton(QString::fromLatin1(captions[i]), this);
        cmd_[i]->setObjectName(QStringLiteral("cmd%1").arg(i));
        cmd_[i]->setAutoDefault(false);
        connect(cmd_[i], &QPushButton::clicked, this, [this, i] { cmd_Click(i); });
        buttons->addWidget(cmd_[i]);
    }
    cmd_[0]->setDefault(true);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(fra_);
    layout->addLayout(buttons);
    setFixedSize(sizeHint().expandedTo(QSize(280, 0)));
}

frmImprimir::~frmImprimir() = default;

frmImprimir* frmImprimir::showModeless(TreeControl& tree, const Catalogue& catalogue, StatusBarControl& status,
                                       QWidget* parent)
{
    if (!openDialog)
        openDialog = new frmImprimir(tree, catalogue, status, parent);
    openDialog->show();
    openDialog->raise();
    openDialog->activateWindow();
    return openDialog;
}

frmImprimir* frmImprimir::current()
{
    return openDialog;
}

void frmImprimir::setVisible(bool visible)
{
    if (visible && !loaded_) {
        loaded_ = true;
        CentrarVentana(this);
    }
    QDialog::setVisible(visible);
}

frmReporte* frmImprimir::reportWindow() const
{
    return reporte_.data();
}

frmAccion* frmImprimir::progressDialog() const
{
    return accion_.data();
}

QRadioButton* frmImprimir::opt(int index) const
{
    return opt_[index == 0 ? 0 : 1];
}

QPushButton* frmImprimir::cmd(int index) const
{
    return cmd_[index == 0 ? 0 : 1];
}

void frmImprimir::setReportKind(ReportKind tipo)
{
    if (!reporte_)
        reporte_ = new frmReporte(tree_, catalogue_, status_, this);
    reporte_->setTipo(tipo);
}

void frmImprimir::cmd_Click(int index)
{
    if (index != 0) {
        close();
        return;
    }
    setReportKind(opt_[0]->isChecked() ? ReportKind::Detallado : ReportKind::Resumido);

    int count = 0;
    const int nodes = tree_.Count();
    for (int i = 1; i <= nodes; ++i) {
        const TreeNode& node = tree_.Node(i);
        if (node.checked && TreeKeys::IsProject(node.key))
            ++count;
    }
    if (count == 0) {
        ShowMessage(QStringLiteral("Debe seleccionar proyectos a imprimir."), MsgStyle::Critical);
        return;
    }

    if (!accion_)
        accion_ = new frmAccion(this);
    accion_->setTotal(count);
    accion_->show();
    reporte_->setProgressDialog(accion_);
    reporte_->exec();
}
