#include "app/common/mApis.h"

#include "platform/controls/Controls.h"
#include "platform/core/EventLoop.h"
#include "platform/drawing/PictureBox.h"
#include "platform/richtext/WindowsFonts.h"

#include <QApplication>
#include <QScreen>
#include <QStyle>
#include <QWidget>
#include <cmath>
#include <cstdint>

void CursorEspera(QWidget* window, bool on)
{
    // One wait cursor at a time: switching on twice and off once leaves the arrow.
    static bool waiting = false;
    if (on) {
        if (!waiting)
            QApplication::setOverrideCursor(Qt::WaitCursor);
        waiting = true;
        if (window)
            window->grabMouse(Qt::WaitCursor);
    } else {
        if (window)
            window->releaseMouse();
        if (QWidget* grabber = QWidget::mouseGrabber())
            grabber->releaseMouse();
        if (waiting)
            QApplication::restoreOverrideCursor();
        waiting = false;
    }
    DoEvents();
}

WaitState::WaitState(QWidget* window) : window_(window)
{
    CursorEspera(window_, true);
}

WaitState::~WaitState()
{
    end();
}

void WaitState::end()
{
    if (!on_)
        return;
    on_ = false;
    CursorEspera(window_, false);
}

QPoint CentredOrigin(QSize screen, QSize window, int caption)
{
    // nearbyint rounds halves to the even neighbour in the default rounding mode.
    const double x = std::nearbyint((screen.width() - window.width()) / 2.0);
    const double y = std::nearbyint((screen.height() - (window.height() + caption)) / 2.0);
    return QPoint(static_cast<std::int16_t>(x), static_cast<std::int16_t>(y));
}

void CentrarVentana(QWidget* window)
{
    QScreen* screen = window->screen() ? window->screen() : QGuiApplication::primaryScreen();
    if (!screen)
        return;
    const int caption = window->style()->pixelMetric(QStyle::PM_TitleBarHeight, nullptr, window);
    window->move(CentredOrigin(screen->size(), window->frameGeometry().size(), caption));
}

void TextoVertical(const QString& text, PictureBox& box)
{
    // 13 points: 260 twips of character height, in pixels of the screen's vertical resolution.
    const double twipsPerPixel = 1440.0 / std::max(1, box.logicalDpiY());
    QFont font(WindowsFonts::Family(QStringLiteral("Tahoma")));
    font.setPixelSize(std::max(1, static_cast<int>(std::lround(260 / twipsPerPixel))));
    box.PrintText(text, font, 3, box.ClientSize().height() - 10, 900);
}

void LimpiarArbol(TreeControl& tree)
{
    tree.SetRedraw(false);
    for (QList<int> tops = tree.Children(0); !tops.isEmpty(); tops = tree.Children(0))
        tree.Remove(tops.first());
    tree.SetRedraw(true);
}
