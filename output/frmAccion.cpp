#include "output/frmAccion.h"

#include "app/common/mApis.h"
#include "platform/widgets/StatusWidgets.h"

#include <QCloseEvent>
#include <QGroupBox>
#include <QLabel>
#include <QVBoxLayout>

frmAccion::frmAccion(QWidget* parent)
    : QDialog(parent), fra_(new QGroupBox(QStringLiteral("Proyecto"), this)),
      Label1_(new QLabel(QStringLiteral("lblArchivo"), fra_)), pgb_(new ProgressBarWidget(this))
{
    setObjectName(QStringLiteral("frmAccion"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("Imprimiendo ..."));
    setModal(false);
    fra_->setObjectName(QStringLiteral("fra"));
    Label1_->setObjectName(QStringLiteral("Label1"));
    Label1_->setMinimumWidth(300);
    pgb_->setObjectName(QStringLiteral("pgb"));
    pgb_->setFixedHeight(18);
    pgb_->SetMin(0);
    pgb_->SetMax(100);

    auto* frame = new QVBoxLayout(fra_);
    frame->addWidget(Label1_);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(fra_);
    layout->addWidget(pgb_);
    setFixedSize(sizeHint().expandedTo(QSize(360, 110)));
}

void frmAccion::Form_Load()
{
    adjustSize();
    CentrarVentana(this);
    pgb_->SetMin(1);
    pgb_->SetMax(total_);
    // Above every other window, where the centring put it and at its size.
    setWindowFlag(Qt::WindowStaysOnTopHint, true);
}

void frmAccion::setVisible(bool visible)
{
    // Loads before the first showing: window flags change only on a hidden window.
    if (visible && !loaded_) {
        loaded_ = true;
        Form_Load();
    }
    QDialog::setVisible(visible);
}

bool frmAccion::event(QEvent* event)
{
    const bool handled = QDialog::event(event);
    if (event->type() == QEvent::WindowActivate)
        repaint();
    return handled;
}

void frmAccion::closeEvent(QCloseEvent* event)
{
    // No longer above the other windows once it goes.
    const QRect placed = geometry();
    setWindowFlag(Qt::WindowStaysOnTopHint, false);
    setGeometry(placed);
    QDialog::closeEvent(event);
}

void frmAccion::SetProject(const QString& name)
{
    Label1_->setText(name);
}

void frmAccion::SetValue(double value)
{
    pgb_->SetValue(value);
}

void frmAccion::Close()
{
    close();
}
