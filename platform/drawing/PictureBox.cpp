#include "platform/drawing/PictureBox.h"

#include "platform/drawing/SystemColors.h"

#include <QPainter>
#include <QResizeEvent>

QColor ToQColor(qint32 colour)
{
    qint32 rgb = 0;
    if (!TranslateColor(colour, rgb))
        rgb = 0;
    return QColor(rgb & 0xFF, (rgb >> 8) & 0xFF, (rgb >> 16) & 0xFF);
}

PictureBox::PictureBox(QWidget* parent)
    : QWidget(parent)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void PictureBox::PrintText(const QString& text, const QFont& font, int x, int y, int escapement)
{
    if (image().isNull())
        return; // nothing to draw on yet
    QPainter painter(&mutableImage());
    painter.setRenderHint(QPainter::TextAntialiasing);
    painter.setFont(font);
    painter.setPen(ToQColor(foreColor_));
    painter.translate(x, y);
    painter.rotate(-escapement / 10.0);
    painter.drawText(QPoint(0, QFontMetrics(font).ascent()), text);
}

void PictureBox::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.drawImage(0, 0, image());
}

void PictureBox::resizeEvent(QResizeEvent* event)
{
    Resize(event->size().width(), event->size().height());
    QWidget::resizeEvent(event);
}
