#include "platform/drawing/SystemColors.h"

#include <array>

namespace {

constexpr qint32 bgr(int red, int green, int blue)
{
    return qint32((blue << 16) | (green << 8) | red);
}

// Indexes 0 to 30, as GetSysColor numbers them; 25 is unused.
constexpr std::array<qint32, 31> classicScheme = {
    bgr(212, 208, 200), // 0 scroll bars
    bgr(58, 110, 165),  // 1 desktop
    bgr(10, 36, 106),   // 2 active title bar
    bgr(128, 128, 128), // 3 inactive title bar
    bgr(212, 208, 200), // 4 menu bar
    bgr(255, 255, 255), // 5 window background
    bgr(0, 0, 0),       // 6 window frame
    bgr(0, 0, 0),       // 7 menu text
    bgr(0, 0, 0),       // 8 window text
    bgr(255, 255, 255), // 9 title bar text
    bgr(212, 208, 200), // 10 active border
    bgr(212, 208, 200), // 11 inactive border
    bgr(128, 128, 128), // 12 application workspace
    bgr(10, 36, 106),   // 13 highlight
    bgr(255, 255, 255), // 14 highlight text
    bgr(212, 208, 200), // 15 button face
    bgr(128, 128, 128), // 16 button shadow
    bgr(128, 128, 128), // 17 grey text
    bgr(0, 0, 0),       // 18 button text
    bgr(212, 208, 200), // 19 inactive title bar text
    bgr(255, 255, 255), // 20 3-D highlight
    bgr(64, 64, 64),    // 21 3-D dark shadow
    bgr(212, 208, 200), // 22 3-D light
    bgr(0, 0, 0),       // 23 tooltip text
    bgr(255, 255, 225), // 24 tooltip background
    0,                  // 25 unused
    bgr(0, 0, 128),     // 26 hot-tracked item
    bgr(166, 202, 240), // 27 gradient of the active title bar
    bgr(192, 192, 192), // 28 gradient of an inactive title bar
    bgr(10, 36, 106),   // 29 highlighted menu item
    bgr(212, 208, 200), // 30 flat menu bar
};

constexpr quint32 systemColourFlag = 0x80000000u;

}

qint32 GetSysColor(int index)
{
    if (index < 0 || index >= int(classicScheme.size()))
        return 0;
    return classicScheme[std::size_t(index)];
}

bool TranslateColor(qint32 colour, qint32& rgb)
{
    if (colour >= 0) {
        if (colour > 0x00FFFFFF)
            return false;
        rgb = colour;
        return true;
    }
    const quint32 value = quint32(colour);
    const quint32 index = value & ~systemColourFlag;
    if ((value & 0xFF000000u) != systemColourFlag || index >= classicScheme.size())
        return false;
    rgb = classicScheme[index];
    return true;
}
