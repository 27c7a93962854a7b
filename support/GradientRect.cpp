#include "support/GradientRect.h"

#include "platform/core/ProgramError.h"
#include "platform/desktop/MessageBoxes.h"
#include "platform/drawing/SystemColors.h"

#include <QPoint>
#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <new>
#include <vector>

namespace {

constexpr double degreesToRadians = 3.14159265358979 / 180; // 0.017453292519943278
constexpr std::size_t pointListGrowth = 1000;

[[noreturn]] void raiseOverflow()
{
    throw ProgramError(6, QStringLiteral("Overflow"));
}

// Nearest integer, ties to even, as a pixel coordinate.
int roundToPixel(double value)
{
    const double rounded = std::nearbyint(value);
    if (!(rounded >= std::numeric_limits<int>::min() && rounded <= std::numeric_limits<int>::max()))
        raiseOverflow();
    return int(rounded);
}

QPoint movedBy(const QPoint& point, int stepX, int stepY)
{
    const qint64 x = qint64(point.x()) + stepX;
    const qint64 y = qint64(point.y()) + stepY;
    if (x < std::numeric_limits<int>::min() || x > std::numeric_limits<int>::max()
        || y < std::numeric_limits<int>::min() || y > std::numeric_limits<int>::max())
        raiseOverflow();
    return QPoint(int(x), int(y));
}

// One line's pen: created and selected on construction, deselected and deleted on the way out,
// also when drawing the line fails.
class LinePen {
public:
    LinePen(DeviceContext& hdc, qint32 colour)
        : hdc_(hdc), pen_(CreatePen(PenStyle::Solid, 1, colour)), previous_(hdc.SelectObject(pen_))
    {
    }
    ~LinePen()
    {
        if (previous_)
            hdc_.SelectObject(previous_);
        DeleteObject(pen_);
    }
    LinePen(const LinePen&) = delete;
    LinePen& operator=(const LinePen&) = delete;

private:
    DeviceContext& hdc_;
    PenHandle pen_;
    PenHandle previous_;
};

}

float clsGradient::ReduceAngle(double degrees)
{
    if (!std::isfinite(degrees))
        RaiseStandardError(ErrorNumbers::InvalidPropertyValue);
    float reduced = float(degrees - std::floor(degrees / 360) * 360);
    if (!(reduced >= 0 && reduced < 360)) {
        // A huge angle loses its remainder in the formula above, and a tiny negative one rounds
        // up to 360 in single precision; either way the exact remainder keeps the range.
        double exact = std::fmod(degrees, 360.0);
        if (exact < 0)
            exact += 360;
        reduced = float(exact);
        if (reduced >= 360)
            reduced = 0;
    }
    return reduced;
}

bool clsGradient::Draw(DrawingSurface& picObj)
{
    bool drawn = false;
    try {
        if (color1_ < 0)
            color1_ = ResolveColor(picObj, color1_);
        if (color2_ < 0)
            color2_ = ResolveColor(picObj, color2_);
        LockWindowUpdate(picObj.hwnd());
        ClientRect rect;
        if (GetClientRect(picObj.hwnd(), rect) && rect.right > 1 && rect.bottom > 1)
            drawn = RenderGradient(picObj.hdc(), rect.right, rect.bottom) > 0;
    } catch (const ProgramError& error) {
        ShowMessage(error.Description, MsgStyle::Exclamation);
    } catch (const std::bad_alloc&) {
        ShowMessage(StandardErrorDescription(ErrorNumbers::OutOfMemory), MsgStyle::Exclamation);
    }
    LockWindowUpdate(0);
    return drawn;
}

qint32 clsGradient::ResolveColor(DrawingSurface& picObj, qint32 colour)
{
    const qint32 saved = picObj.Point(0, 0);
    picObj.PSet(0, 0, colour);
    const qint32 resolved = picObj.hdc().GetPixel(0, 0);
    if (saved != -1)
        picObj.PSet(0, 0, saved);
    if (resolved != -1)
        return resolved;
    // No pixel to paint: reading back would give CLR_INVALID, which is no colour at all.
    qint32 rgb = 0;
    if (!TranslateColor(colour, rgb))
        RaiseStandardError(ErrorNumbers::InvalidPropertyValue);
    return rgb;
}

int clsGradient::RenderGradient(DeviceContext& hdc, int width, int height) const
{
    try {
        const SinglePoint centre{float(width / 2), float(height / 2)};
        const double larger = std::max(width, height);
        const double radius = (std::sqrt(larger * larger + larger * larger) + 2) / 2;

        // The reference line, turned to run across the gradient's direction.
        SinglePoint p0{float(centre.x - radius), centre.y};
        SinglePoint p1{float(radius + centre.x), centre.y};
        const float turn = ReduceAngle(double(angle_) + 90);
        RotateAround(centre, p0, turn);
        RotateAround(centre, p1, turn);

        // The first line goes on the side where the colour starts; the others follow it one
        // pixel at a time towards the far side, sideways for a steep line, up or down for a
        // flat one.
        const float spanX = std::fabs(p0.x - p1.x);
        const float spanY = std::fabs(p0.y - p1.y);
        float offsetX = 0, offsetY = 0;
        int stepX = 0, stepY = 0;
        if (spanY >= spanX) {
            if (angle_ <= 90 || angle_ > 270) {
                offsetX = -std::max(p0.x, p1.x);
                stepX = 1;
            } else {
                offsetX = float(width - double(std::min(p0.x, p1.x)));
                stepX = -1;
            }
        } else {
            if (angle_ <= 180) {
                offsetY = float(height - double(std::min(p0.y, p1.y)));
                stepY = -1;
            } else {
                offsetY = -std::max(p0.y, p1.y);
                stepY = 1;
            }
        }
        const auto pastFarEdge = [&](const QPoint& point) {
            if (stepX > 0)
                return point.x() >= width;
            if (stepX < 0)
                return point.x() < 1;
            if (stepY < 0)
                return point.y() < 1;
            return point.y() >= height;
        };

        // Line k runs from point 2k to point 2k + 1. The stop test looks at the last two points,
        // which are alternately one whole line and the start of a line with the end of the one
        // before.
        std::vector<QPoint> points;
        points.reserve(pointListGrowth);
        points.emplace_back(roundToPixel(double(offsetX) + p0.x), roundToPixel(double(offsetY) + p0.y));
        points.emplace_back(roundToPixel(double(offsetX) + p1.x), roundToPixel(double(offsetY) + p1.y));
        std::size_t n = 2;
        while (!(pastFarEdge(points[n - 1]) && pastFarEdge(points[n - 2]))) {
            if (points.size() == points.capacity())
                points.reserve(points.capacity() + pointListGrowth);
            points.push_back(movedBy(points[n - 2], stepX, stepY));
            ++n;
        }

        const int steps = int(std::nearbyint(double(n) / 2));
        const QList<qint32> colours = InterpolateColors(color1_, color2_, steps);

        std::size_t i = 0;
        for (; i + 2 <= n; i += 2) {
            hdc.MoveToEx(points[i].x(), points[i].y());
            LinePen pen(hdc, colours.value(qsizetype(i / 2)));
            hdc.LineTo(points[i + 1].x(), points[i + 1].y());
        }
        if (i > std::size_t(std::numeric_limits<int>::max()))
            raiseOverflow();
        return int(i);
    } catch (const ProgramError& error) {
        ShowMessage(error.Description, MsgStyle::Exclamation, QStringLiteral("GradientRect"));
    } catch (const std::bad_alloc&) {
        ShowMessage(StandardErrorDescription(ErrorNumbers::OutOfMemory), MsgStyle::Exclamation,
                    QStringLiteral("GradientRect"));
    }
    return 0;
}

QList<qint32> clsGradient::InterpolateColors(qint32 colour1, qint32 colour2, int steps)
{
    QList<qint32> colours;
    if (steps <= 0)
        return colours;

    // Six hexadecimal digits, blue, green and red two by two.
    const auto channels = [](qint32 colour) {
        const QString digits =
            LeftPad(QString::number(colour & 0x00FFFFFF, 16).toUpper(), QStringLiteral("000000"));
        return std::array<int, 3>{digits.mid(0, 2).toInt(nullptr, 16), digits.mid(2, 2).toInt(nullptr, 16),
                                  digits.mid(4, 2).toInt(nullptr, 16)};
    };
    const std::array<int, 3> from = channels(colour1);
    const std::array<int, 3> to = channels(colour2);
    std::array<float, 3> step{};
    for (std::size_t c = 0; c < 3; ++c)
        step[c] = float(SafeDivide(to[c] - from[c], steps));

    colours.reserve(steps);
    for (int k = 1; k <= steps; ++k) {
        std::array<int, 3> channel{};
        for (std::size_t c = 0; c < 3; ++c)
            channel[c] = from[c] + int(std::nearbyint(double(k) * double(step[c])));
        colours.append(qint32((channel[0] << 16) | (channel[1] << 8) | channel[2]));
    }
    return colours;
}

void clsGradient::RotateAround(const SinglePoint& centre, SinglePoint& point, float degrees)
{
    const double t = double(degrees) * degreesToRadians;
    const double dx = double(point.x) - centre.x;
    const double dy = double(point.y) - centre.y;
    point.x = float(centre.x + dx * std::cos(t) + dy * std::sin(t));
    point.y = float(centre.y - dx * std::sin(t) + dy * std::cos(t));
}

double clsGradient::SafeDivide(double a, double b)
{
    return b == 0 ? 0 : a / b;
}

QString clsGradient::LeftPad(const QString& text, const QString& pattern)
{
    if (text.size() < pattern.size())
        return pattern.left(pattern.size() - text.size()) + text;
    return text.left(pattern.size());
}
