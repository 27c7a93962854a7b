#pragma once

#include "platform/drawing/DrawingSurface.h"

#include <QList>
#include <QString>

// Paints a two-colour linear gradient at any angle over the whole client area of a drawing
// surface, as one-pixel solid lines laid side by side across the gradient's direction; each
// line has the next colour of a per-channel blend from Color1 to Color2. The windows use it for
// their side strips.
//
// Colours are &H00BBGGRR values; a negative colour is a system colour, which Draw replaces by
// its RGB value on the surface.
class clsGradient {
public:
    // A point in single precision, as the painter keeps its reference line and centre.
    struct SinglePoint {
        float x = 0;
        float y = 0;
    };

    // Colour at the start of the gradient's direction; pure red (255) at first.
    qint32 Color1() const { return color1_; }
    void SetColor1(qint32 colour) { color1_ = colour; }
    // Colour at the end of the gradient's direction; black (0) at first.
    qint32 Color2() const { return color2_; }
    void SetColor2(qint32 colour) { color2_ = colour; }
    // Direction in degrees in which the colour moves from Color1 to Color2: 0 left to right, 90
    // bottom to top, 180 right to left, 270 top to bottom; 315 at first. Stored reduced to
    // 0 (included) to 360 (excluded), so -90 reads back as 270. Raises ProgramError 380 for an
    // infinite or undefined angle.
    float Angle() const { return angle_; }
    void SetAngle(float degrees) { angle_ = ReduceAngle(degrees); }

    // Paints the gradient over the whole client area of `picObj`, with the surface's window
    // locked against repainting meanwhile. Returns true when at least one line was drawn; a
    // surface at most one pixel wide or high is left untouched and gives false. A failure is
    // shown in a message box (exclamation icon) and gives false.
    bool Draw(DrawingSurface& picObj);

    // The pieces Draw is built from, open so that each can be checked on its own.

    // `degrees` reduced to 0 (included) to 360 (excluded), in single precision.
    static float ReduceAngle(double degrees);
    // The RGB value `colour` paints with on `picObj`, found by painting pixel (0, 0) with it and
    // reading it back; the pixel gets its old colour again. On a surface without pixels the
    // colour is translated through the system colour scheme. Raises ProgramError 380 when
    // `colour` names no colour.
    static qint32 ResolveColor(DrawingSurface& picObj, qint32 colour);
    // The `steps` line colours of a blend from `colour1` to `colour2`: entry k - 1 is
    // colour1 + round(k * step) per channel (ties to even), so entry 0 is one step past
    // colour1 and the last entry is colour2. Only the low 24 bits of each colour count. Empty
    // when `steps` is not positive.
    static QList<qint32> InterpolateColors(qint32 colour1, qint32 colour2, int steps);
    // Turns `point` about `centre` by `degrees` (counter-clockwise on screen, where y grows
    // downwards).
    static void RotateAround(const SinglePoint& centre, SinglePoint& point, float degrees);
    // a / b, or 0 when b is 0.
    static double SafeDivide(double a, double b);
    // `text` left-padded with the start of `pattern` to the pattern's length, or cut to it.
    static QString LeftPad(const QString& text, const QString& pattern);

private:
    // Draws the lines over an area `width` x `height` and returns a count that is positive when
    // it drew; failures are shown in a message box titled "GradientRect" and give 0.
    int RenderGradient(DeviceContext& hdc, int width, int height) const;

    qint32 color1_ = 255;
    qint32 color2_ = 0;
    float angle_ = 315;
};
