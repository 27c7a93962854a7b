#pragma once

#include "platform/drawing/ImageSurface.h"

#include <QWidget>

// A picture box with a persistent image: what is drawn on it stays until drawn over, and the
// widget only shows the image. It is the drawing surface of the gradient painter and of
// TextoVertical.
class PictureBox : public QWidget, public ImageSurface {
    Q_OBJECT
public:
    explicit PictureBox(QWidget* parent = nullptr);

    // Colour of printed text, &H00BBGGRR.
    qint32 ForeColor() const { return foreColor_; }
    void SetForeColor(qint32 colour) { foreColor_ = colour; }

    // Draws `text` on the image with its reference point (the top left of the unturned text) at
    // (x, y), turned `escapement` tenths of a degree anticlockwise.
    void PrintText(const QString& text, const QFont& font, int x, int y, int escapement);

    // Shows what was drawn since the last refresh.
    void Refresh() { update(); }

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void UpdatesLockChanged(bool locked) override { setUpdatesEnabled(!locked); }

private:
    qint32 foreColor_ = 0;
};

// The &H00BBGGRR colour as a Qt colour (system colours resolved).
QColor ToQColor(qint32 colour);
