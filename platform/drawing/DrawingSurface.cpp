#include "platform/drawing/DrawingSurface.h"

#include <algorithm>
#include <cstdlib>
#include <unordered_map>

namespace {

struct Pen {
    qint32 colour = 0;
    int selections = 0; // device contexts that have it selected
};

struct Registry {
    std::unordered_map<WindowHandle, DrawingSurface*> surfaces;
    WindowHandle nextWindow = 1;
    WindowHandle locked = 0;
    std::unordered_map<PenHandle, Pen> pens{{StockBlackPen, Pen{}}};
    PenHandle nextPen = StockBlackPen + 1;
};

Registry& registry()
{
    static Registry instance;
    return instance;
}

Pen* findPen(PenHandle pen)
{
    auto& pens = registry().pens;
    const auto found = pens.find(pen);
    return found == pens.end() ? nullptr : &found->second;
}

// Floor of a / b for b > 0.
qint64 floorDiv(qint64 a, qint64 b)
{
    return a >= 0 ? a / b : -((-a + b - 1) / b);
}

// The pixel nearest to offset `numerator / denominator` (denominator > 0) along the minor axis,
// a tie going to the smaller coordinate: ceil(q - 1/2).
qint64 nearestLowTie(qint64 numerator, qint64 denominator)
{
    return -floorDiv(denominator - 2 * numerator, 2 * denominator);
}

}

// ---- DeviceContext ----

DeviceContext::DeviceContext(DrawingSurface& surface) : surface_(surface), pen_(StockBlackPen)
{
    ++findPen(pen_)->selections;
}

DeviceContext::~DeviceContext()
{
    if (Pen* pen = findPen(pen_))
        --pen->selections;
}

PenHandle DeviceContext::SelectObject(PenHandle pen)
{
    Pen* next = findPen(pen);
    if (!next)
        return 0;
    const PenHandle previous = pen_;
    if (Pen* old = findPen(pen_))
        --old->selections;
    ++next->selections;
    pen_ = pen;
    return previous;
}

bool DeviceContext::MoveToEx(int x, int y, QPoint* previous)
{
    if (previous)
        *previous = position_;
    position_ = QPoint(x, y);
    return true;
}

bool DeviceContext::LineTo(int x, int y)
{
    const Pen* pen = findPen(pen_);
    const qint32 colour = pen ? pen->colour : 0; // the selected pen cannot be deleted
    const QSize size = surface_.ClientSize();
    const qint64 x0 = position_.x(), y0 = position_.y();
    const qint64 dx = qint64(x) - x0, dy = qint64(y) - y0;
    position_ = QPoint(x, y);

    const bool flat = std::llabs(dx) > std::llabs(dy);
    // Walk the major axis from the start (included) to the end (left out), visiting only the
    // steps that land inside the surface.
    const qint64 major0 = flat ? x0 : y0;
    const qint64 minor0 = flat ? y0 : x0;
    const qint64 length = flat ? std::llabs(dx) : std::llabs(dy);
    const qint64 rise = flat ? dy : dx;
    const qint64 direction = (flat ? dx : dy) < 0 ? -1 : 1;
    const qint64 limit = flat ? size.width() : size.height();
    if (length == 0 || limit == 0)
        return true;

    qint64 first = 0, last = length - 1;
    if (direction > 0) {
        first = std::max<qint64>(first, -major0);
        last = std::min<qint64>(last, limit - 1 - major0);
    } else {
        first = std::max<qint64>(first, major0 - (limit - 1));
        last = std::min<qint64>(last, major0);
    }
    for (qint64 step = first; step <= last; ++step) {
        const qint64 major = major0 + direction * step;
        const qint64 minor = minor0 + nearestLowTie(step * rise, length);
        const qint64 px = flat ? major : minor;
        const qint64 py = flat ? minor : major;
        if (px >= 0 && py >= 0 && px < size.width() && py < size.height())
            surface_.PSet(int(px), int(py), colour);
    }
    return true;
}

qint32 DeviceContext::GetPixel(int x, int y) const
{
    return surface_.Point(x, y);
}

// ---- DrawingSurface ----

DrawingSurface::DrawingSurface() : hwnd_(registry().nextWindow++), hdc_(*this)
{
    registry().surfaces.emplace(hwnd_, this);
}

DrawingSurface::~DrawingSurface()
{
    Registry& all = registry();
    if (all.locked == hwnd_)
        all.locked = 0;
    all.surfaces.erase(hwnd_);
}

void DrawingSurface::setUpdatesLocked(bool locked)
{
    updatesLocked_ = locked;
    UpdatesLockChanged(locked);
}

DrawingSurface* SurfaceFromHandle(WindowHandle window)
{
    const auto& surfaces = registry().surfaces;
    const auto found = surfaces.find(window);
    return found == surfaces.end() ? nullptr : found->second;
}

bool LockWindowUpdate(WindowHandle window)
{
    Registry& all = registry();
    if (window == 0) {
        if (DrawingSurface* surface = SurfaceFromHandle(all.locked))
            surface->setUpdatesLocked(false);
        all.locked = 0;
        return true;
    }
    DrawingSurface* surface = SurfaceFromHandle(window);
    if (!surface || (all.locked != 0 && all.locked != window))
        return false;
    all.locked = window;
    surface->setUpdatesLocked(true);
    return true;
}

bool GetClientRect(WindowHandle window, ClientRect& rect)
{
    const DrawingSurface* surface = SurfaceFromHandle(window);
    if (!surface)
        return false;
    const QSize size = surface->ClientSize();
    rect = ClientRect{0, 0, size.width(), size.height()};
    return true;
}

// ---- Pens ----

PenHandle CreatePen(int style, int width, qint32 colour)
{
    if (style != PenStyle::Solid || width < 0 || width > 1)
        return 0;
    Registry& all = registry();
    const PenHandle handle = all.nextPen++;
    all.pens.emplace(handle, Pen{colour & 0x00FFFFFF, 0});
    return handle;
}

bool DeleteObject(PenHandle pen)
{
    if (pen == StockBlackPen)
        return true;
    const Pen* found = findPen(pen);
    if (!found || found->selections > 0)
        return false;
    registry().pens.erase(pen);
    return true;
}

int LivePenCount()
{
    return int(registry().pens.size()) - 1;
}
