#pragma once

#include <QtGlobal>

// Colours as Windows programs pass them around: a 32-bit value that is either an RGB colour in
// blue-green-red order (&H00BBGGRR) or, with the high bit set (&H800000nn), system colour nn
// of the desktop's colour scheme.
//
// The scheme is the classic Windows one (the "Windows Standard" colours that Windows 2000 and
// a fresh Wine prefix use), fixed rather than taken from the host's desktop theme so that a
// drawing comes out the same everywhere.

namespace SystemColor {
constexpr qint32 ScrollBars = qint32(0x80000000u);
constexpr qint32 Desktop = qint32(0x80000001u);
constexpr qint32 ActiveTitleBar = qint32(0x80000002u);
constexpr qint32 WindowBackground = qint32(0x80000005u);
constexpr qint32 WindowText = qint32(0x80000008u);
constexpr qint32 Highlight = qint32(0x8000000Du);
constexpr qint32 ButtonFace = qint32(0x8000000Fu);
constexpr qint32 ButtonShadow = qint32(0x80000010u);
constexpr qint32 InfoBackground = qint32(0x80000018u);
}

// The RGB value (&H00BBGGRR) of system colour `index` (0 scroll bars ... 30 menu bar), or 0
// for an index the scheme does not define.
qint32 GetSysColor(int index);

// Turns a colour value into the RGB value it paints with: an RGB value as it is, a system
// colour through the scheme. Returns false, leaving `rgb` alone, for a value that names no
// colour (a negative value other than &H80000000 to &H8000001E, or one above &H00FFFFFF).
bool TranslateColor(qint32 colour, qint32& rgb);
