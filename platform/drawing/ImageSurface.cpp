#include "platform/drawing/ImageSurface.h"

#include "platform/core/ProgramError.h"

#include <algorithm>
#include <cstring>

namespace {

qint32 translateOrRaise(qint32 colour)
{
    qint32 rgb = 0;
    if (!TranslateColor(colour, rgb))
        RaiseStandardError(ErrorNumbers::InvalidPropertyValue);
    return rgb;
}

QRgb toQRgb(qint32 bgr)
{
    return qRgb(bgr & 0xFF, (bgr >> 8) & 0xFF, (bgr >> 16) & 0xFF);
}

}

ImageSurface::ImageSurface(int width, int height, qint32 background)
    : background_(background), backgroundRgb_(translateOrRaise(background))
{
    Resize(width, height);
}

void ImageSurface::Resize(int width, int height)
{
    width = std::max(width, 0);
    height = std::max(height, 0);
    if (width == image_.width() && height == image_.height())
        return;
    QImage resized(width, height, QImage::Format_RGB32);
    if (resized.isNull()) { // empty, or too large to hold
        image_ = QImage();
        return;
    }
    resized.fill(toQRgb(backgroundRgb_));
    const int keptWidth = std::min(width, image_.width());
    const int keptHeight = std::min(height, image_.height());
    for (int y = 0; y < keptHeight; ++y)
        std::memcpy(resized.scanLine(y), image_.constScanLine(y), std::size_t(keptWidth) * sizeof(QRgb));
    image_ = std::move(resized);
}

void ImageSurface::Cls()
{
    if (!image_.isNull())
        image_.fill(toQRgb(backgroundRgb_));
}

qint32 ImageSurface::Point(int x, int y) const
{
    if (x < 0 || y < 0 || x >= image_.width() || y >= image_.height())
        return -1;
    const QRgb pixel = reinterpret_cast<const QRgb*>(image_.constScanLine(y))[x];
    return qint32(qRed(pixel) | (qGreen(pixel) << 8) | (qBlue(pixel) << 16));
}

void ImageSurface::PSet(int x, int y, qint32 colour)
{
    const qint32 rgb = translateOrRaise(colour);
    if (x < 0 || y < 0 || x >= image_.width() || y >= image_.height())
        return;
    reinterpret_cast<QRgb*>(image_.scanLine(y))[x] = toQRgb(rgb);
}
