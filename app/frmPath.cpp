#include "app/frmPath.h"

#include "app/common/CIni.h"
#include "app/common/mApis.h"
#include "app/common/mMain.h"
#include "catalogue/Catalogue.h"
#include "platform/core/ProgramError.h"
#include "platform/desktop/FolderBrowser.h"
#include "platform/desktop/MessageBoxes.h"

#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

QString withTrailingBackslash(const QString& path)
{
    return path.endsWith(u'\\') ? path : path + u'\\';
}

}

frmPath::frmPath(Catalogue& catalogue, QWidget* parent)
    : QDialog(parent), catalogue_(catalogue)
{
    setObjectName(QStringLiteral("frmPath"));
    setWindowTitle(QStringLiteral("Configurar Path"));
    setAttribute(Qt::WA_DeleteOnClose);
    setModal(true);

    auto* frame = new QGroupBox(QStringLiteral("Path actual"), this);
    frame->setObjectName(QStringLiteral("fra"));
    label1_ = new QLabel(catalogue_.ScanPath, frame);
    label1_->setObjectName(QStringLiteral("Label1"));
    label1_->setTextFormat(Qt::PlainText);
    label1_->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    label1_->setMinimumWidth(360);
    auto* frameLayout = new QVBoxLayout(frame);
    frameLayout->addWidget(label1_);

    auto* label2 = new QLabel(QStringLiteral("Para seleccionar un nuevo path haga clic en el boton examinar."), this);
    label2->setObjectName(QStringLiteral("Label2"));
    label2->setWordWrap(true);

    auto* buttons = new QHBoxLayout;
    const char* captions[] = {"&Aceptar", "&Salir", "&Examinar"};
    for (int i = 0; i < 3; ++i) {
        cmd_[i] = new QPushButton(QString::fromLatin1(captions[i]), this);
        cmd_[i]->setObjectName(QStringLiteral("cmd%1").arg(i));
        cmd_[i]->setAutoDefault(false);
        connect(cmd_[i], &QPushButton::clicked, this, [this, i] { cmd_Click(i); });
    }
    buttons->addWidget(cmd_[2]);
    buttons->addStretch();
    buttons->addWidget(cmd_[0]);
    buttons->addWidget(cmd_[1]);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(frame);
    layout->addWidget(label2);
    layout->addLayout(buttons);
    adjustSize();
}

void frmPath::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (!centred_) {
        centred_ = true;
        CentrarVentana(this);
    }
}

void frmPath::cmd_Click(int index)
{
    switch (index) {
    case 0: {
        if (label1_->text().isEmpty())
            return;
        catalogue_.ScanPath = withTrailingBackslash(label1_->text());
        // The folder is used for this run either way; a settings file that cannot take it is said.
        if (!SharedIni().Grabar(Settings::File, Settings::Section, Settings::PathKey, catalogue_.ScanPath))
            ShowMessage(QStringLiteral("cmd_Click : ") + QString::number(ErrorNumbers::PathFileAccessError) + u' '
                            + StandardErrorDescription(ErrorNumbers::PathFileAccessError) + QStringLiteral(" (")
                            + Settings::File + u')',
                        MsgStyle::Critical);
        emit pathAccepted();
        return;
    }
    case 1:
        close();
        return;
    case 2:
        ExaminarCarpeta();
        return;
    }
}

void frmPath::ExaminarCarpeta()
{
    const std::optional<QString> chosen = BrowseForFolder(this, QStringLiteral("C:\\"), label1_->text());
    if (chosen && !chosen->isEmpty())
        label1_->setText(withTrailingBackslash(*chosen));
}
