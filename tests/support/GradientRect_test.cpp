#include "platform/core/ProgramError.h"
#include "platform/desktop/MessageBoxes.h"
#include "platform/drawing/ImageSurface.h"
#include "platform/drawing/SystemColors.h"
#include "support/GradientRect.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

constexpr qint32 Azure = 0x00FF8000; // red 0, green 128, blue 255
constexpr qint32 Red = 0x000000FF;
constexpr qint32 Green = 0x0000FF00;

int redOf(qint32 colour) { return colour & 0xFF; }

// p / q (q > 0) to the nearest integer, ties to even, in exact integer arithmetic.
int roundRatio(int p, int q)
{
    int quotient = p >= 0 ? p / q : -((-p + q - 1) / q);
    const int twiceRemainder = 2 * (p - quotient * q);
    if (twiceRemainder > q || (twiceRemainder == q && quotient % 2 != 0))
        ++quotient;
    return quotient;
}

// The blend's entry k - 1 worked out by hand: from + round(k * (to - from) / steps) per channel.
qint32 blendEntry(qint32 from, qint32 to, int k, int steps)
{
    qint32 result = 0;
    for (int shift : {0, 8, 16}) {
        const int a = (from >> shift) & 0xFF, b = (to >> shift) & 0xFF;
        result |= (a + roundRatio(k * (b - a), steps)) << shift;
    }
    return result;
}

float storedAngle(float degrees)
{
    clsGradient gradient;
    gradient.SetAngle(degrees);
    return gradient.Angle();
}

// Draws a gradient over a fresh surface filled with green, a colour no test blend contains.
struct Painted {
    Painted(int width, int height, float angle, qint32 colour1, qint32 colour2)
        : surface(width, height, Green)
    {
        gradient.SetAngle(angle);
        gradient.SetColor1(colour1);
        gradient.SetColor2(colour2);
        pensBefore = LivePenCount();
        drawn = gradient.Draw(surface);
    }
    ImageSurface surface;
    clsGradient gradient;
    int pensBefore = 0;
    bool drawn = false;
};

}

TEST(GradientRect, AngleIsKeptFromZeroUpToButNotIncluding360)
{
    EXPECT_EQ(clsGradient().Angle(), 315.0f);
    EXPECT_EQ(storedAngle(-90), 270.0f);
    EXPECT_EQ(storedAngle(360), 0.0f);
    EXPECT_EQ(storedAngle(725), 5.0f);
    EXPECT_EQ(storedAngle(-450), 270.0f);
    EXPECT_EQ(storedAngle(-0.25f), 359.75f);
    // Too close below 0 for single precision to tell from 360, and too large to keep a fraction.
    EXPECT_EQ(storedAngle(-1e-6f), 0.0f);
    for (float degrees : {-1e-30f, 3.0e38f, -3.0e38f, 1e10f}) {
        const float stored = storedAngle(degrees);
        EXPECT_TRUE(stored >= 0 && stored < 360) << degrees << " gave " << stored;
    }

    clsGradient gradient;
    gradient.SetAngle(45);
    for (float bad : {std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::infinity()}) {
        EXPECT_THROW(gradient.SetAngle(bad), ProgramError);
        EXPECT_EQ(gradient.Angle(), 45.0f);
    }
}

TEST(GradientRect, BlendStepsPerChannelAndRoundsHalvesToEven)
{
    EXPECT_EQ(clsGradient::InterpolateColors(0, Red, 5), (QList<qint32>{51, 102, 153, 204, 255}));
    // Blue stays in the high byte, red in the low one.
    EXPECT_EQ(clsGradient::InterpolateColors(0x00102030, 0x00405060, 3),
              (QList<qint32>{0x00203040, 0x00304050, 0x00405060}));
    EXPECT_EQ(clsGradient::InterpolateColors(Azure, 0, 1), QList<qint32>{0});
    EXPECT_TRUE(clsGradient::InterpolateColors(Azure, 0, 0).isEmpty());
    // Steps of 2.5, 1.5, 0.5 and -127.5 put every first entry on a half.
    EXPECT_EQ(clsGradient::InterpolateColors(0, 5, 2), (QList<qint32>{2, 5}));
    EXPECT_EQ(clsGradient::InterpolateColors(0, 3, 2), (QList<qint32>{2, 3}));
    EXPECT_EQ(clsGradient::InterpolateColors(0, 1, 2), (QList<qint32>{0, 1}));
    EXPECT_EQ(clsGradient::InterpolateColors(0x00FF0000, 0, 2), (QList<qint32>{0x007F0000, 0}));
    // A palette-relative value (&H02BBGGRR) blends its low three bytes.
    EXPECT_EQ(clsGradient::InterpolateColors(0x02000000, 0x020000FF, 5),
              clsGradient::InterpolateColors(0, Red, 5));
}

TEST(GradientRect, MainWindowStripFadesFromAzureAtTheBottomToBlackAtTheTop)
{
    // Angle 90 over H rows: H + 1 lines, the first one just below the area; row y carries
    // blend entry H - y, so the top row is exactly Color2.
    Painted strip(32, 400, 90, Azure, 0);
    ASSERT_TRUE(strip.drawn);
    const int height = 400, steps = height + 1;
    for (int y = 0; y < height; ++y) {
        const qint32 expected = blendEntry(Azure, 0, height - y + 1, steps);
        for (int x = 0; x < 32; ++x)
            ASSERT_EQ(strip.surface.Point(x, y), expected) << "x " << x << " y " << y;
    }
    EXPECT_EQ(strip.surface.Point(0, 0), 0);
    EXPECT_EQ(strip.surface.Point(31, 399), 0x00FE7F00); // two steps past azure
    EXPECT_EQ(LivePenCount(), strip.pensBefore);
    EXPECT_FALSE(strip.surface.UpdatesLocked());
}

TEST(GradientRect, AxisAnglesPutTheFirstLineOnTheirStartingSide)
{
    const int width = 50, height = 10;
    // Angle 0: W + 1 lines from column 0 rightwards; column x carries entry x, and the line
    // with Color2 lies just beyond the right edge. Angle 180 starts just beyond the right edge,
    // so column 0 is exactly Color2. Angle -90 (270) starts on row 0.
    Painted rightwards(width, height, 0, 0, Red);
    Painted leftwards(width, height, 180, 0, Red);
    Painted downwards(width, height, -90, 0, Red);
    ASSERT_TRUE(rightwards.drawn && leftwards.drawn && downwards.drawn);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            ASSERT_EQ(rightwards.surface.Point(x, y), blendEntry(0, Red, x + 1, width + 1)) << x;
            ASSERT_EQ(leftwards.surface.Point(x, y), blendEntry(0, Red, width - x + 1, width + 1)) << x;
            ASSERT_EQ(downwards.surface.Point(x, y), blendEntry(0, Red, y + 1, height + 1)) << y;
        }
    }
    EXPECT_EQ(redOf(rightwards.surface.Point(0, 0)), 5); // one step of 255 / 51
    EXPECT_EQ(leftwards.surface.Point(0, 5), Red);
}

TEST(GradientRect, EveryQuadrantSweepsTowardsItsDirectionWithoutGaps)
{
    // Angles on both sides of each diagonal use both sweeps (sideways for steep lines, up or
    // down for flat ones) in all four quadrants.
    const int width = 40, height = 30;
    for (float angle : {10.0f, 30.0f, 60.0f, 80.0f, 100.0f, 120.0f, 150.0f, 170.0f, 190.0f, 210.0f,
                        240.0f, 260.0f, 280.0f, 300.0f, 330.0f, 350.0f}) {
        SCOPED_TRACE(angle);
        Painted painted(width, height, angle, 0, Red);
        ASSERT_TRUE(painted.drawn);
        const double radians = angle * 3.14159265358979 / 180;
        const int towardsX = std::cos(radians) > 0 ? 1 : -1;
        const int towardsY = std::sin(radians) > 0 ? -1 : 1; // rows grow downwards
        for (int y = 0; y < height; ++y) {
            for (int x = 0; x < width; ++x) {
                const qint32 here = painted.surface.Point(x, y);
                ASSERT_EQ(here & 0xFFFF00, 0) << "unpainted or stray pixel at " << x << "," << y;
                const qint32 nextX = painted.surface.Point(x + towardsX, y);
                const qint32 nextY = painted.surface.Point(x, y + towardsY);
                if (nextX != -1) {
                    ASSERT_GE(redOf(nextX), redOf(here)) << x << "," << y;
                }
                if (nextY != -1) {
                    ASSERT_GE(redOf(nextY), redOf(here)) << x << "," << y;
                }
            }
        }
        const int startX = towardsX > 0 ? 0 : width - 1, startY = towardsY > 0 ? 0 : height - 1;
        EXPECT_LT(redOf(painted.surface.Point(startX, startY)), 40);
        EXPECT_GT(redOf(painted.surface.Point(width - 1 - startX, height - 1 - startY)), 215);
        EXPECT_EQ(LivePenCount(), painted.pensBefore);
    }
}

TEST(GradientRect, SystemColoursAreReplacedByTheirValuesOnTheFirstDraw)
{
    Painted painted(10, 10, 90, SystemColor::ButtonFace, SystemColor::WindowBackground);
    ASSERT_TRUE(painted.drawn);
    EXPECT_EQ(painted.gradient.Color1(), 0x00C8D0D4); // 212, 208, 200
    EXPECT_EQ(painted.gradient.Color2(), 0x00FFFFFF);
    EXPECT_EQ(painted.surface.Point(3, 0), 0x00FFFFFF);

    // Resolving paints pixel (0, 0) only for a moment.
    ImageSurface surface(3, 3, Azure);
    EXPECT_EQ(clsGradient::ResolveColor(surface, SystemColor::Highlight), 0x006A240A);
    EXPECT_EQ(surface.Point(0, 0), Azure);
    EXPECT_EQ(clsGradient::ResolveColor(surface, Red), Red);

    // A surface without pixels still resolves to a real colour, never to "no colour" (-1).
    ImageSurface empty;
    clsGradient gradient;
    gradient.SetColor1(SystemColor::InfoBackground);
    EXPECT_FALSE(gradient.Draw(empty));
    EXPECT_EQ(gradient.Color1(), 0x00E1FFFF);
}

TEST(GradientRect, AValueThatNamesNoColourFailsWithAMessageAndLeavesTheSurfaceAlone)
{
    ScriptedMessageBoxes boxes;
    for (qint32 bad : {qint32(-5), qint32(0x80000040u)}) {
        ImageSurface surface(6, 6, Green);
        clsGradient gradient;
        gradient.SetColor1(bad);
        EXPECT_FALSE(gradient.Draw(surface));
        EXPECT_EQ(gradient.Color1(), bad);
        for (int y = 0; y < 6; ++y)
            for (int x = 0; x < 6; ++x)
                ASSERT_EQ(surface.Point(x, y), Green);
        EXPECT_FALSE(surface.UpdatesLocked());
    }
    ASSERT_EQ(boxes.shown().size(), 2);
    EXPECT_EQ(boxes.shown()[0].text, "Invalid property value");
    EXPECT_EQ(boxes.shown()[0].iconName(), "exclamation");
}

TEST(GradientRect, AnAreaOnePixelWideOrHighIsLeftUntouched)
{
    ScriptedMessageBoxes boxes;
    for (const QSize size : {QSize(1, 1), QSize(1, 40), QSize(40, 1), QSize(0, 0)}) {
        Painted painted(size.width(), size.height(), 90, Azure, 0);
        EXPECT_FALSE(painted.drawn) << size.width() << "x" << size.height();
        for (int y = 0; y < size.height(); ++y)
            for (int x = 0; x < size.width(); ++x)
                ASSERT_EQ(painted.surface.Point(x, y), Green);
    }
    // Two by two is the smallest area that is painted: rows 0 and 1 carry entries 2 and 1 of 3.
    Painted smallest(2, 2, 90, 0, Red);
    EXPECT_TRUE(smallest.drawn);
    EXPECT_EQ(smallest.surface.Point(1, 0), Red);
    EXPECT_EQ(smallest.surface.Point(1, 1), 170);
    EXPECT_TRUE(boxes.shown().isEmpty());
}

TEST(GradientRect, ATiltedSweepCanEndOnTheStartOfALineAlone)
{
    // At 350 degrees over 2 x 2 pixels the lines run from (k - 1, 3) to (k, -1). The sweep
    // stops at the start of line 3 with 7 points, so 3 lines are drawn with round(3.5) = 4
    // colours: 64, 128, 191, 255. Each line lights (k - 1, 1) and (k, 0): on row 1 the ideal
    // line passes half-way between two pixels and the left one is lit.
    Painted tilted(2, 2, 350, 0, Red);
    ASSERT_TRUE(tilted.drawn);
    EXPECT_EQ(tilted.surface.Point(0, 0), 64);
    EXPECT_EQ(tilted.surface.Point(1, 0), 128);
    EXPECT_EQ(tilted.surface.Point(0, 1), 128);
    EXPECT_EQ(tilted.surface.Point(1, 1), 191);

    // At 340 degrees the lines run from (k - 2, 3) to (k, -1); the sweep stops with 9 points,
    // 4 lines and round(4.5) = 4 colours. Each line lights column k - 1 on row 1, and on row 0
    // too, where it passes half-way between columns k - 1 and k.
    Painted steeper(2, 2, 340, 0, Red);
    ASSERT_TRUE(steeper.drawn);
    for (int y : {0, 1}) {
        EXPECT_EQ(steeper.surface.Point(0, y), 128) << y;
        EXPECT_EQ(steeper.surface.Point(1, y), 191) << y;
    }
}
