#include "support/frmAcerca.h"

#include "app/common/mApis.h"
#include "platform/drawing/PictureBox.h"
#include "platform/richtext/WindowsFonts.h"
#include "support/GradientRect.h"
#include "support/Version.h"
#include "support/mShell.h"

#include <QIcon>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>

// The resources of a static library are registered by hand, outside any namespace.
static void initialiseResources()
{
    static bool done = false;
    if (!done) {
        Q_INIT_RESOURCE(aboutimages);
        done = true;
    }
}

namespace {

// Start-up state shared by every About window: whether the main window has been shown from one,
// and what shows it.
bool mainWindowShown = false;
std::function<void()> showMainWindow;

const char* const TagProperty = "Tag";

// Fixed layout, in pixels.
constexpr int FormWidth = 460;
constexpr int Margin = 12;
constexpr int PictureSize = 32;
constexpr int ButtonWidth = 88;
constexpr int ButtonHeight = 25;

QString tahoma()
{
    return WindowsFonts::Family(QStringLiteral("Tahoma"));
}

QFont labelFont(int points, bool bold = false)
{
    QFont font(tahoma());
    font.setPointSize(points);
    font.setBold(bold);
    return font;
}

// The hand that the link labels show, with its hot spot on the tip of the forefinger.
QCursor linkCursor()
{
    initialiseResources();
    const QPixmap hand = QIcon(QStringLiteral(":/about/link-cursor.svg")).pixmap(32, 32);
    return hand.isNull() ? QCursor(Qt::PointingHandCursor) : QCursor(hand, 10, 2);
}

QLabel* makeLabel(QWidget* parent, const char* name, const QString& text, const QFont& font)
{
    auto* label = new QLabel(text, parent);
    label->setObjectName(QString::fromLatin1(name));
    label->setTextFormat(Qt::PlainText);
    label->setFont(font);
    return label;
}

void makeLink(QLabel* label, const QCursor& cursor, const QString& target)
{
    QFont font = label->font();
    font.setUnderline(true);
    label->setFont(font);
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, QColor(0x00, 0x33, 0x99));
    label->setPalette(palette);
    label->setCursor(cursor);
    label->setToolTip(target);
}

}

const QString frmAcerca::ProductLink = QStringLiteral(
    "https://learn.microsoft.com/en-us/previous-versions/visualstudio/visual-basic-6/visual-basic-6.0-documentation");
const QString frmAcerca::WebLink = QStringLiteral("https://www.winehq.org/");
const QString frmAcerca::RightsLink = QStringLiteral("https://www.qt.io/");

frmAcerca::frmAcerca(QWidget* parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("frmAcerca"));
    setWindowTitle(QStringLiteral("Acerca de ..."));
    setAttribute(Qt::WA_DeleteOnClose);
    // A fixed-size window: a close box and no minimise or maximise buttons.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);

    picDraw_ = new PictureBox(this);
    picDraw_->setObjectName(QStringLiteral("picDraw"));
    picDraw_->SetForeColor(StripTextColor);

    initialiseResources();
    image1_ = new QLabel(this);
    image1_->setObjectName(QStringLiteral("Image1"));
    image1_->setPixmap(QIcon(QStringLiteral(":/about/about.svg")).pixmap(PictureSize, PictureSize));

    const QFont plain = labelFont(8);
    lblProduct_ = makeLabel(this, "lblProduct", QString::fromStdString(Version::Line()),
                            labelFont(12, true));
    lblGlosa_ = makeLabel(this, "lblGlosa",
                          QStringLiteral("Visualiza las referencias y componentes de múltiples proyectos "
                                         "Microsoft Visual Basic"),
                          labelFont(9, true));
    lblGlosa_->setWordWrap(true);
    lblDescrip_ = makeLabel(this, "lblDescrip", QString(), plain);
    lblDescrip_->setWordWrap(true);
    lblURL_ = makeLabel(this, "lblURL", QStringLiteral("Wine: ") + WebLink, plain);
    lblCopyright_ = makeLabel(this, "lblCopyright", QStringLiteral("© 2026 Equipo Zantrel. Hecho con Qt."), plain);
    lblCopyright_->setProperty(TagProperty, RightsLink);

    const QCursor cursor = linkCursor();
    makeLink(lblProduct_, cursor, ProductLink);
    makeLink(lblURL_, cursor, WebLink);
    makeLink(lblCopyright_, cursor, RightsLink);
    for (QLabel* link : {lblProduct_, lblURL_, lblCopyright_})
        link->installEventFilter(this);

    cmd_ = new QPushButton(QStringLiteral("&Aceptar"), this);
    cmd_->setObjectName(QStringLiteral("cmd"));
    cmd_->setDefault(true);
    connect(cmd_, &QPushButton::clicked, this, [this] { cmd_Click(); });

    Form_Load();
}

frmAcerca::~frmAcerca() = default;

frmAcerca* frmAcerca::ShowOpeningScreen(std::function<void()> showMain)
{
    mainWindowShown = false;
    showMainWindow = std::move(showMain);
    auto* about = new frmAcerca;
    about->show();
    return about;
}

void frmAcerca::ShowModal(QWidget* owner)
{
    auto* about = new frmAcerca(owner);
    about->exec(); // releases the window when it closes
}

QString frmAcerca::Descripcion()
{
    const QString lines[] = {
        QStringLiteral("Zantrel, escrito por el equipo de Zantrel."),
        QStringLiteral("Todos los derechos reservados."),
        QStringLiteral("Villa Zantrel, 2025-2026."),
        QString(),
        QStringLiteral("Visualiza las referencias de múltiples proyectos Visual Basic."),
        QString(),
        // The distribution note: the licence the program is under (LICENSE).
        QStringLiteral("Zantrel es software libre con licencia MIT: puede usarlo, copiarlo, modificarlo y repartirlo, "
                       "siempre que conserve su aviso de copyright y de licencia."),
        QString(),
        QStringLiteral("Si Zantrel le resulta útil, envíenos una postal a:"),
        QStringLiteral("Equipo Zantrel"),
        QStringLiteral("Casilla 103"),
        QStringLiteral("Villa Zantrel"),
        QString(),
        QStringLiteral("Zantrel se entrega tal cual, sin garantía de ninguna clase: quien lo usa lo hace bajo su "
                       "propia responsabilidad."),
        QString(),
    };
    QString text;
    for (const QString& line : lines)
        text += line + QStringLiteral("\r\n");
    return text;
}

QString frmAcerca::Tag(const QLabel* label)
{
    return label->property(TagProperty).toString();
}

void frmAcerca::Form_Load()
{
    // Centring waits for the first showing, when the window's frame is known.
    lblDescrip_->setText(Descripcion());
    lblURL_->setProperty(TagProperty, WebLink);
    layOut();

    gradient_ = std::make_unique<clsGradient>();
    gradient_->SetAngle(90);
    gradient_->SetColor1(0x00FF8000);
    gradient_->SetColor2(0);
    gradient_->Draw(*picDraw_);
    TextoVertical(QString::fromStdString(Version::Line()), *picDraw_);
    picDraw_->Refresh();
}

// Places the controls top to bottom beside the strip and fixes the window's size to fit them.
void frmAcerca::layOut()
{
    const int left = StripWidth + Margin;
    const int textLeft = left + PictureSize + Margin;
    const int textWidth = FormWidth - textLeft - Margin;

    image1_->setGeometry(left, Margin, PictureSize, PictureSize);
    lblProduct_->setGeometry(textLeft, Margin - 2, textWidth, lblProduct_->sizeHint().height());
    const int glosaTop = lblProduct_->geometry().bottom() + 5;
    lblGlosa_->setGeometry(textLeft, glosaTop, textWidth, lblGlosa_->heightForWidth(textWidth));

    const int fullWidth = FormWidth - left - Margin;
    const int descripTop = std::max(image1_->geometry().bottom(), lblGlosa_->geometry().bottom()) + Margin + 4;
    lblDescrip_->setGeometry(left, descripTop, fullWidth, lblDescrip_->heightForWidth(fullWidth));

    const int linksTop = lblDescrip_->geometry().bottom() + 1;
    const int lineHeight = lblURL_->sizeHint().height();
    const int linkWidth = fullWidth - ButtonWidth - Margin;
    lblURL_->setGeometry(left, linksTop, std::min(linkWidth, lblURL_->sizeHint().width()), lineHeight);
    lblCopyright_->setGeometry(left, linksTop + lineHeight + 4, std::min(linkWidth, lblCopyright_->sizeHint().width()),
                               lineHeight);
    const int bottom = std::max(lblCopyright_->geometry().bottom() + 1, linksTop + ButtonHeight);
    cmd_->setGeometry(FormWidth - Margin - ButtonWidth, bottom - ButtonHeight, ButtonWidth, ButtonHeight);

    const int height = bottom + Margin;
    picDraw_->setGeometry(0, 0, StripWidth, height);
    // A hidden widget learns its size only when shown; the strip's image follows it at once.
    picDraw_->Resize(StripWidth, height);
    setFixedSize(FormWidth, height);
}

void frmAcerca::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (!centred_) {
        centred_ = true;
        CentrarVentana(this);
    }
}

void frmAcerca::done(int result)
{
    if (!unloaded_) {
        unloaded_ = true;
        Form_Unload();
    }
    QDialog::done(result);
}

void frmAcerca::Form_Unload()
{
    if (mainWindowShown)
        return;
    mainWindowShown = true;
    // Taken out first: the main window may open another About window meanwhile.
    const std::function<void()> show = std::exchange(showMainWindow, nullptr);
    if (show)
        show();
}

bool frmAcerca::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::MouseButtonRelease) {
        const auto* mouse = static_cast<QMouseEvent*>(event);
        auto* label = qobject_cast<QLabel*>(watched);
        if (label && mouse->button() == Qt::LeftButton && label->rect().contains(mouse->position().toPoint())) {
            if (label == lblProduct_)
                lblProduct_Click();
            else if (label == lblURL_)
                lblURL_Click();
            else if (label == lblCopyright_)
                lblCopyright_Click();
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void frmAcerca::cmd_Click()
{
    close();
}

void frmAcerca::lblProduct_Click()
{
    OpenDocument(ProductLink, this);
}

void frmAcerca::lblURL_Click()
{
    OpenDocument(Tag(lblURL_), this);
}

void frmAcerca::lblCopyright_Click()
{
    OpenDocument(Tag(lblCopyright_), this);
}
