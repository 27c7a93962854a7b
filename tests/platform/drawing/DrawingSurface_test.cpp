#include "platform/core/ProgramError.h"
#include "platform/drawing/DrawingSurface.h"
#include "platform/drawing/ImageSurface.h"
#include "platform/drawing/SystemColors.h"

#include <gtest/gtest.h>

#include <functional>
#include <set>
#include <utility>

namespace {

constexpr qint32 White = 0x00FFFFFF;
constexpr qint32 Ink = 0x00123456;

using Pixels = std::set<std::pair<int, int>>;

// The pixels that differ from white after drawing one line in Ink.
Pixels lineFrom(QPoint from, QPoint to, QSize size = QSize(12, 12))
{
    ImageSurface surface(size.width(), size.height(), White);
    DeviceContext& hdc = surface.hdc();
    const PenHandle pen = CreatePen(PenStyle::Solid, 1, Ink);
    const PenHandle previous = hdc.SelectObject(pen);
    hdc.MoveToEx(from.x(), from.y());
    hdc.LineTo(to.x(), to.y());
    EXPECT_EQ(hdc.CurrentPosition(), to);
    hdc.SelectObject(previous);
    EXPECT_TRUE(DeleteObject(pen));

    Pixels lit;
    for (int y = 0; y < size.height(); ++y)
        for (int x = 0; x < size.width(); ++x)
            if (surface.Point(x, y) != White) {
                EXPECT_EQ(surface.Point(x, y), Ink);
                lit.insert({x, y});
            }
    return lit;
}

int raisedNumber(const std::function<void()>& action)
{
    try {
        action();
    } catch (const ProgramError& error) {
        return error.Number;
    }
    return 0;
}

}

TEST(DrawingSurface, LineToLightsTheStartButNotTheEnd)
{
    EXPECT_EQ(lineFrom({5, 2}, {1, 2}), (Pixels{{5, 2}, {4, 2}, {3, 2}, {2, 2}}));
    EXPECT_EQ(lineFrom({1, 2}, {1, 5}), (Pixels{{1, 2}, {1, 3}, {1, 4}}));
    EXPECT_EQ(lineFrom({3, 3}, {0, 0}), (Pixels{{3, 3}, {2, 2}, {1, 1}}));
    EXPECT_TRUE(lineFrom({4, 4}, {4, 4}).empty());
}

TEST(DrawingSurface, HalfWayPointsGoToTheUpperOrTheLeftPixel)
{
    // Flat lines: at x = 1 and x = 3 the ideal line is half-way between two rows.
    EXPECT_EQ(lineFrom({0, 0}, {4, 2}), (Pixels{{0, 0}, {1, 0}, {2, 1}, {3, 1}}));
    EXPECT_EQ(lineFrom({4, 2}, {0, 0}), (Pixels{{4, 2}, {3, 1}, {2, 1}, {1, 0}}));
    EXPECT_EQ(lineFrom({0, 2}, {4, 0}), (Pixels{{0, 2}, {1, 1}, {2, 1}, {3, 0}}));
    // Steep lines: at y = 1 and y = 3 the ideal line is half-way between two columns.
    EXPECT_EQ(lineFrom({0, 0}, {2, 4}), (Pixels{{0, 0}, {0, 1}, {1, 2}, {1, 3}}));
    EXPECT_EQ(lineFrom({2, 0}, {0, 4}), (Pixels{{2, 0}, {1, 1}, {1, 2}, {0, 3}}));
    // No ties: one pixel per column, each the nearest to the ideal line.
    EXPECT_EQ(lineFrom({0, 0}, {5, 2}), (Pixels{{0, 0}, {1, 0}, {2, 1}, {3, 1}, {4, 2}}));
}

TEST(DrawingSurface, LinesReachingFarOutsideDrawOnlyTheirInsidePart)
{
    EXPECT_EQ(lineFrom({-2000000000, 1}, {2000000000, 1}, QSize(3, 3)),
              (Pixels{{0, 1}, {1, 1}, {2, 1}}));
    EXPECT_EQ(lineFrom({1, 2000000000}, {1, -2000000000}, QSize(3, 3)),
              (Pixels{{1, 0}, {1, 1}, {1, 2}}));
    EXPECT_EQ(lineFrom({-3, 0}, {0, 3}, QSize(3, 3)), Pixels{});
    EXPECT_EQ(lineFrom({-1, 0}, {3, 4}, QSize(3, 3)), (Pixels{{0, 1}, {1, 2}}));
}

TEST(DrawingSurface, PensAreOnePixelSolidAndCannotBeDeletedWhileSelected)
{
    const int before = LivePenCount();
    EXPECT_EQ(CreatePen(PenStyle::Solid, 3, Ink), 0u);

    ImageSurface surface(4, 4, White);
    const PenHandle pen = CreatePen(PenStyle::Solid, 1, qint32(0x02000000 | Ink));
    EXPECT_EQ(surface.hdc().SelectObject(pen), StockBlackPen);
    EXPECT_FALSE(DeleteObject(pen));
    surface.hdc().LineTo(2, 0);
    EXPECT_EQ(surface.Point(1, 0), Ink); // the high byte does not colour
    EXPECT_EQ(surface.hdc().SelectObject(StockBlackPen), pen);
    EXPECT_TRUE(DeleteObject(pen));
    EXPECT_EQ(surface.hdc().SelectObject(pen), 0u); // a deleted pen cannot be selected
    EXPECT_EQ(LivePenCount(), before);
}

TEST(DrawingSurface, OnlyOneLiveWindowIsLockedAtATime)
{
    ImageSurface first(2, 2), second(2, 2);
    EXPECT_TRUE(LockWindowUpdate(first.hwnd()));
    EXPECT_TRUE(first.UpdatesLocked());
    EXPECT_FALSE(LockWindowUpdate(second.hwnd()));
    EXPECT_TRUE(LockWindowUpdate(0));
    EXPECT_FALSE(first.UpdatesLocked());

    WindowHandle gone = 0;
    {
        ImageSurface shortLived(2, 2);
        gone = shortLived.hwnd();
        EXPECT_TRUE(LockWindowUpdate(gone));
    }
    // A destroyed window neither stays locked nor answers.
    EXPECT_TRUE(LockWindowUpdate(first.hwnd()));
    EXPECT_TRUE(LockWindowUpdate(0));
    ClientRect rect;
    EXPECT_FALSE(GetClientRect(gone, rect));
    ASSERT_TRUE(GetClientRect(first.hwnd(), rect));
    EXPECT_EQ(rect.right, 2);
}

TEST(ImageSurface, ReadsAndPaintsPixelsInBlueGreenRedOrder)
{
    ImageSurface surface(5, 3, 0x00000080);
    EXPECT_EQ(surface.ClientSize(), QSize(5, 3));
    EXPECT_EQ(surface.Point(4, 2), 0x00000080);
    EXPECT_EQ(surface.image().pixel(4, 2), qRgb(0x80, 0, 0));
    surface.PSet(1, 1, 0x00FF0000);
    EXPECT_EQ(surface.image().pixel(1, 1), qRgb(0, 0, 0xFF));
    EXPECT_EQ(surface.Point(1, 1), 0x00FF0000);

    for (const QPoint outside : {QPoint(-1, 0), QPoint(0, -1), QPoint(5, 0), QPoint(0, 3)}) {
        EXPECT_EQ(surface.Point(outside.x(), outside.y()), -1);
        surface.PSet(outside.x(), outside.y(), 0); // ignored
    }
    surface.PSet(2, 2, SystemColor::ButtonFace);
    EXPECT_EQ(surface.Point(2, 2), 0x00C8D0D4);

    for (qint32 bad : {qint32(-1), qint32(0x01000000), qint32(0x80000025u), qint32(0x90000005u)})
        EXPECT_EQ(raisedNumber([&] { surface.PSet(0, 0, bad); }), 380) << bad;
    EXPECT_EQ(surface.Point(0, 0), 0x00000080);
    EXPECT_EQ(raisedNumber([] { ImageSurface invalid(1, 1, -7); }), 380);
}

TEST(ImageSurface, ResizingKeepsWhatStillFits)
{
    ImageSurface surface(3, 3, White);
    surface.PSet(2, 2, Ink);
    surface.PSet(0, 0, Ink);
    surface.Resize(5, 2);
    EXPECT_EQ(surface.ClientSize(), QSize(5, 2));
    EXPECT_EQ(surface.Point(0, 0), Ink);
    EXPECT_EQ(surface.Point(4, 1), White);
    surface.Resize(-4, 7);
    EXPECT_EQ(surface.ClientSize(), QSize(0, 0));
    EXPECT_EQ(surface.Point(0, 0), -1);
    surface.Resize(2, 2);
    EXPECT_EQ(surface.Point(1, 1), White);
    surface.PSet(1, 1, Ink);
    surface.Cls();
    EXPECT_EQ(surface.Point(1, 1), White);
}
