#include "app/common/mApis.h"
#include "platform/controls/MemoryControls.h"
#include "platform/drawing/PictureBox.h"
#include "support_files/TestApplication.h"

#include <QApplication>
#include <QWidget>
#include <gtest/gtest.h>

TEST(CentrarVentana, PutsTheWindowHalfACaptionAboveTheCentreRoundingHalvesToEven)
{
    EXPECT_EQ(CentredOrigin({1024, 768}, {400, 300}, 18), QPoint(312, 225));
    EXPECT_EQ(CentredOrigin({1024, 768}, {1024, 300}, 18), QPoint(0, 225)) << "as wide as the screen";
    EXPECT_EQ(CentredOrigin({1024, 768}, {401, 301}, 18), QPoint(312, 224)) << "311.5 to 312, 224.5 to 224";
    EXPECT_EQ(CentredOrigin({1024, 768}, {403, 299}, 18), QPoint(310, 226)) << "310.5 to 310, 225.5 to 226";
    EXPECT_EQ(CentredOrigin({800, 600}, {1000, 700}, 20), QPoint(-100, -60)) << "larger than the screen";
}

TEST(CursorEspera, OnThenOffLeavesTheArrowAndNoCapture)
{
    TestApplication();
    QWidget window;
    window.show();
    QWidget elsewhere;
    elsewhere.show();
    elsewhere.grabMouse();
    CursorEspera(&window, true);
    ASSERT_NE(QApplication::overrideCursor(), nullptr);
    EXPECT_EQ(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
    EXPECT_EQ(QWidget::mouseGrabber(), &window) << "the mouse goes to the waiting window";
    CursorEspera(&window, true);
    CursorEspera(&window, false);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr) << "one wait state, however often it was switched on";
    EXPECT_EQ(QWidget::mouseGrabber(), nullptr);
}

TEST(LimpiarArbol, EmptiesTheTreeWithRepaintingOffMeanwhile)
{
    MemoryTree tree;
    LimpiarArbol(tree);
    EXPECT_TRUE(tree.Redraw());

    tree.Add({}, "root", "Sistemas", 7);
    tree.Add("root", "k1", "A", 7);
    tree.Add({}, "other", "Otro", 7);
    struct Watch : TreeObserver {
        QList<QString> told;
        void aboutToReset() override { told.append("removal"); }
        void redrawChanged(bool on) override { told.append(on ? "redraw on" : "redraw off"); }
    } watch;
    tree.SetObserver(&watch);
    LimpiarArbol(tree);
    tree.SetObserver(nullptr);
    EXPECT_EQ(tree.Count(), 0);
    EXPECT_EQ(watch.told, (QList<QString>{"redraw off", "removal", "removal", "redraw on"}))
        << "one top node at a time, and the view is told not to paint meanwhile";
    EXPECT_TRUE(tree.Redraw());
}

TEST(TextoVertical, WritesUpwardsFromTheLowerLeftInTheTextColour)
{
    TestApplication();
    PictureBox box;
    box.resize(32, 200);
    box.Resize(32, 200);
    box.Cls();
    box.SetForeColor(0x00C0FFFF);
    TextoVertical("Zantrel 1.0.3", box);
    const QImage& image = box.image();
    const QRgb background = image.pixel(31, 0);
    int top = image.height(), bottom = -1, left = image.width(), right = -1;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (image.pixel(x, y) != background) {
                top = std::min(top, y);
                bottom = std::max(bottom, y);
                left = std::min(left, x);
                right = std::max(right, x);
            }
    ASSERT_GE(bottom, 0) << "something was written";
    EXPECT_LE(bottom, 190) << "it starts 10 pixels above the bottom";
    EXPECT_GT(bottom, 170);
    EXPECT_GE(left, 2) << "3 pixels from the left edge (a smoothed edge may touch the pixel before)";
    EXPECT_LT(right, 3 + 20) << "one line of a 13-point face, turned";
    EXPECT_GT(bottom - top, 60) << "the text runs along the height";
    // The brightest pixel is the text colour: red and green full, blue lower.
    QRgb brightest = background;
    for (int y = top; y <= bottom; ++y)
        for (int x = left; x <= right; ++x)
            if (qGray(image.pixel(x, y)) > qGray(brightest))
                brightest = image.pixel(x, y);
    EXPECT_EQ(qRed(brightest), 255);
    EXPECT_EQ(qGreen(brightest), 255);
    EXPECT_EQ(qBlue(brightest), 0xC0);
}
