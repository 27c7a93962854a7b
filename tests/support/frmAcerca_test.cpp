#include "platform/desktop/MessageBoxes.h"
#include "platform/drawing/PictureBox.h"
#include "support/frmAcerca.h"
#include "support_files/RecordingBrowser.h"
#include "support_files/TestApplication.h"

#include <QApplication>
#include <QFontInfo>
#include <QLabel>
#include <QMouseEvent>
#include <QPointer>
#include <QPushButton>
#include <gtest/gtest.h>

namespace {

void click(QWidget* widget)
{
    const QPointF at(widget->width() / 2.0, widget->height() / 2.0);
    QMouseEvent press(QEvent::MouseButtonPress, at, widget->mapToGlobal(at), Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
    QMouseEvent release(QEvent::MouseButtonRelease, at, widget->mapToGlobal(at), Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(widget, &press);
    QApplication::sendEvent(widget, &release);
}

class AboutWindowTest : public ::testing::Test {
protected:
    void SetUp() override { TestApplication(); }
    ScriptedMessageBoxes messages;
};

}

TEST_F(AboutWindowTest, ShowsTheProductOnTheStripAndTheTextsInTahoma)
{
    frmAcerca about;
    EXPECT_EQ(about.windowTitle(), "Acerca de ...");
    EXPECT_EQ(about.minimumSize(), about.maximumSize()) << "a fixed-size window";

    PictureBox* strip = about.picDraw();
    EXPECT_EQ(strip->geometry(), QRect(0, 0, 32, about.height()));
    EXPECT_EQ(strip->Point(31, 0), 0) << "black at the top";
    const qint32 bottom = strip->Point(31, about.height() - 1);
    EXPECT_TRUE(((bottom >> 16) & 0xFF) > 240 && ((bottom >> 8) & 0xFF) > 110) << "azure blue at the bottom";
    int title = 0; // pale yellow pixels of the vertical caption, low on the strip
    for (int y = about.height() / 2; y < about.height(); ++y)
        for (int x = 0; x < 32; ++x)
            title += strip->Point(x, y) == frmAcerca::StripTextColor;
    EXPECT_GT(title, 50);

    EXPECT_EQ(about.Image1()->pixmap().size(), QSize(32, 32));
    EXPECT_EQ(about.lblProduct()->text(), "Zantrel 1.0.3");
    EXPECT_EQ(about.lblGlosa()->text(), "Visualiza las referencias y componentes de múltiples proyectos Microsoft Visual Basic");
    // Every text in Tahoma (Wine ships the face, so it is drawn as such): the product 12-point bold,
    // the summary 9-point bold, the rest 8-point.
    for (QLabel* label : about.findChildren<QLabel*>()) {
        if (label == about.Image1())
            continue;
        const std::string name = label->objectName().toStdString();
        EXPECT_EQ(label->font().family(), "Tahoma") << name;
        EXPECT_EQ(QFontInfo(label->font()).family(), "Tahoma") << name << ": the face really drawn";
        const int points = label == about.lblProduct() ? 12 : label == about.lblGlosa() ? 9 : 8;
        EXPECT_EQ(label->font().pointSize(), points) << name;
        EXPECT_EQ(label->font().bold(), points != 8) << name;
    }

    // Credit, purpose, distribution, postcard with a three-line address, disclaimer: each group
    // set off by an empty line, every line ended by CR LF, a final empty line.
    const QString text = about.lblDescrip()->text();
    EXPECT_EQ(text, QString::fromUtf8(
                        "Zantrel, escrito por el equipo de Zantrel.\r\n"
                        "Todos los derechos reservados.\r\n"
                        "Villa Zantrel, 2025-2026.\r\n"
                        "\r\n"
                        "Visualiza las referencias de múltiples proyectos Visual Basic.\r\n"
                        "\r\n"
                        "Zantrel es software libre con licencia MIT: puede usarlo, copiarlo, modificarlo y repartirlo, "
                        "siempre que conserve su aviso de copyright y de licencia.\r\n"
                        "\r\n"
                        "Si Zantrel le resulta útil, envíenos una postal a:\r\n"
                        "Equipo Zantrel\r\n"
                        "Casilla 103\r\n"
                        "Villa Zantrel\r\n"
                        "\r\n"
                        "Zantrel se entrega tal cual, sin garantía de ninguna clase: quien lo usa lo hace bajo su "
                        "propia responsabilidad.\r\n"
                        "\r\n"));
    EXPECT_EQ(text.count("\r\n"), text.count('\n'));
    QStringList lines = text.split("\r\n");
    ASSERT_EQ(lines.takeLast(), "");
    ASSERT_EQ(lines.size(), 15);
    QString shape;
    for (const QString& line : lines)
        shape += line.isEmpty() ? u'-' : u'x';
    EXPECT_EQ(shape, "xxx-x-x-xxxx-x-");
    EXPECT_EQ(lines[4], "Visualiza las referencias de múltiples proyectos Visual Basic.");
}

TEST_F(AboutWindowTest, LinksOpenInTheBrowserAndAFailingOneLeavesTheWindowOpen)
{
    RecordingBrowser browser;
    QPointer<frmAcerca> about = new frmAcerca;
    about->show();
    EXPECT_EQ(frmAcerca::Tag(about->lblURL()), frmAcerca::WebLink);
    for (QLabel* link : {about->lblProduct(), about->lblURL(), about->lblCopyright(), about->lblGlosa()}) {
        if (link != about->lblGlosa()) {
            EXPECT_EQ(link->cursor().shape(), Qt::BitmapCursor) << "the window's own link pointer";
        }
        click(link);
    }
    EXPECT_EQ(browser.opened(), QStringList({frmAcerca::ProductLink, frmAcerca::WebLink, frmAcerca::RightsLink}));
    for (const QString& target : browser.opened())
        EXPECT_TRUE(target.startsWith("https://")) << "a bare host name would be taken for a missing file";
    EXPECT_TRUE(messages.shown().isEmpty());

    browser.behave(1);
    click(about->lblURL());
    ASSERT_EQ(messages.shown().size(), 1);
    EXPECT_EQ(messages.shown()[0].text, "Sorry, I failed to open '" + frmAcerca::WebLink
                                            + "' due to an error.\r\n\r\n[No application is associated with this file type.]");
    EXPECT_EQ(messages.shown()[0].iconName(), "exclamation");
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    ASSERT_TRUE(about);
    EXPECT_TRUE(about->isVisible());
    about->close();
}

TEST_F(AboutWindowTest, EachWayOfClosingTheOpeningScreenHandsOverOnceAndReleasesIt)
{
    int mainWindows = 0;
    QPointer<frmAcerca> opening = frmAcerca::ShowOpeningScreen([&] { ++mainWindows; });
    EXPECT_TRUE(opening->isVisible());
    EXPECT_FALSE(opening->isModal()) << "start-up does not wait for it";
    QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    QApplication::sendEvent(opening, &escape);
    EXPECT_EQ(mainWindows, 1);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_FALSE(opening);

    opening = frmAcerca::ShowOpeningScreen([&] { ++mainWindows; });
    QPointer<frmAcerca> another = new frmAcerca;
    another->show();
    opening->close(); // the close box
    another->cmd()->click();
    EXPECT_EQ(mainWindows, 2) << "only the first closing after start-up hands over";
}
