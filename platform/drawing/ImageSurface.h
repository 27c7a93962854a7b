#pragma once

#include "platform/drawing/DrawingSurface.h"
#include "platform/drawing/SystemColors.h"

#include <QImage>

// A drawing surface over an image of its own: the persistent image of a picture box, which keeps
// what was drawn until it is drawn on again. A window shows it by painting image() (or handing
// it to a label) after each drawing; a picture box widget can derive from it and override
// UpdatesLockChanged to hold back its own repainting while a drawing runs.
class ImageSurface : public DrawingSurface {
public:
    // An image of width x height pixels filled with `background` (a picture box's usual button
    // face unless told otherwise). Negative sizes count as 0. Raises ProgramError 380 when
    // `background` names no colour.
    explicit ImageSurface(int width = 0, int height = 0,
                          qint32 background = SystemColor::ButtonFace);

    // Changes the size, keeping the pixels that still fit and filling new ones with the
    // background colour.
    void Resize(int width, int height);
    // Fills the whole image with the background colour.
    void Cls();

    // The image, in QImage::Format_RGB32.
    const QImage& image() const { return image_; }
    qint32 BackColor() const { return background_; }

    QSize ClientSize() const override { return image_.size(); }
    qint32 Point(int x, int y) const override;
    void PSet(int x, int y, qint32 colour) override;

protected:
    // The image itself, for a derived picture box that draws on it with other tools (text).
    QImage& mutableImage() { return image_; }

private:
    QImage image_;
    qint32 background_; // as given, possibly a system colour
    qint32 backgroundRgb_;
};
