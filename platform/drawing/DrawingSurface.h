#pragma once

// Drawing surfaces and the Windows drawing calls over them. Abstract; the real surface is
// ImageSurface.

#include <QPoint>
#include <QSize>
#include <QtGlobal>

// Pixel surfaces and the small part of the Windows drawing interface that the painting routines
// use: window handles with LockWindowUpdate and GetClientRect, pens, and a device context with
// MoveToEx, LineTo and GetPixel. Everything here is drawn through the surface's own Point and
// PSet, so any surface that can read and paint one pixel can be drawn on. The real surface is
// ImageSurface (platform/drawing/ImageSurface.h), the persistent image of a picture box.
//
// Coordinates are pixels of the surface's client area, (0, 0) at the top left. Colours are
// &H00BBGGRR values; see platform/drawing/SystemColors.h for system colours. Like the interface it
// stands in for, this is for the user-interface thread only.

using WindowHandle = quintptr; // 0 names no window
using PenHandle = quintptr;    // 0 names no pen

struct ClientRect {
    int left = 0;
    int top = 0;
    int right = 0;  // the width in pixels
    int bottom = 0; // the height in pixels
};

class DrawingSurface;

// The drawing state of one surface: a current position and a selected pen (the stock black pen
// until another is selected). A line is a one-pixel cosmetic line lit by the diamond rule, as
// Windows draws it: one pixel per column for a line flatter than 45 degrees, one per row
// otherwise, the start pixel included and the end pixel left out; where the ideal line passes
// exactly half-way between two pixels the upper one (flat line) or the left one (steep line)
// is lit.
class DeviceContext {
public:
    explicit DeviceContext(DrawingSurface& surface);
    ~DeviceContext();
    DeviceContext(const DeviceContext&) = delete;
    DeviceContext& operator=(const DeviceContext&) = delete;

    // Selects `pen` and returns the handle of the pen it replaces, or 0 (nothing changes) when
    // `pen` is not a live pen.
    PenHandle SelectObject(PenHandle pen);
    // Moves the current position to (x, y); the old one goes to `previous` when given.
    bool MoveToEx(int x, int y, QPoint* previous = nullptr);
    // Draws from the current position up to, but not including, (x, y) in the selected pen's
    // colour and makes (x, y) the current position. Pixels outside the surface are skipped.
    bool LineTo(int x, int y);
    // The colour of pixel (x, y), or -1 (CLR_INVALID) outside the surface.
    qint32 GetPixel(int x, int y) const;

    QPoint CurrentPosition() const { return position_; }
    PenHandle SelectedPen() const { return pen_; }

private:
    DrawingSurface& surface_;
    QPoint position_;
    PenHandle pen_;
};

// A rectangle of pixels to draw on, with a window handle and a device context of its own.
// Abstract so that painters work on any surface; the real one is ImageSurface.
class DrawingSurface {
public:
    DrawingSurface();
    virtual ~DrawingSurface();
    DrawingSurface(const DrawingSurface&) = delete;
    DrawingSurface& operator=(const DrawingSurface&) = delete;

    // The surface's window handle, unique among the live surfaces and never 0.
    WindowHandle hwnd() const { return hwnd_; }
    // The surface's device context; it lives as long as the surface.
    DeviceContext& hdc() { return hdc_; }

    // Size of the client area in pixels (0 by 0 for an empty surface).
    virtual QSize ClientSize() const = 0;
    // The colour of pixel (x, y) as &H00BBGGRR, or -1 outside the surface.
    virtual qint32 Point(int x, int y) const = 0;
    // Paints pixel (x, y); a system colour paints its value in the scheme. A pixel outside the
    // surface is ignored. Raises ProgramError 380 for a value that names no colour.
    virtual void PSet(int x, int y, qint32 colour) = 0;

    // True while LockWindowUpdate holds back the surface's repainting.
    bool UpdatesLocked() const { return updatesLocked_; }

protected:
    // Hook for surfaces shown on screen: stop or resume repainting. Does nothing by default.
    virtual void UpdatesLockChanged(bool locked) { Q_UNUSED(locked); }

private:
    friend bool LockWindowUpdate(WindowHandle window);
    void setUpdatesLocked(bool locked);

    WindowHandle hwnd_;
    DeviceContext hdc_;
    bool updatesLocked_ = false;
};

// The live surface with handle `window`, or null.
DrawingSurface* SurfaceFromHandle(WindowHandle window);

// Holds back the repainting of one window; 0 lets the locked window repaint again. Only one
// window is locked at a time: returns false when another one already is, or when `window`
// names no live surface.
bool LockWindowUpdate(WindowHandle window);

// The client area of `window` (left and top 0). Returns false, leaving `rect` alone, when
// `window` names no live surface.
bool GetClientRect(WindowHandle window, ClientRect& rect);

// Pens are shared by every device context, as GDI objects are.
namespace PenStyle {
constexpr int Solid = 0; // PS_SOLID
}
// The stock black pen that every device context starts with. It is never deleted.
constexpr PenHandle StockBlackPen = 1;

// Makes a solid pen of width 0 or 1 (both one pixel) in `colour`, an RGB value whose high byte
// is ignored. Returns its handle, or 0 for any other style or width.
PenHandle CreatePen(int style, int width, qint32 colour);
// Deletes a pen. Returns false when `pen` is not a live pen or is still selected somewhere;
// deleting the stock pen does nothing and succeeds.
bool DeleteObject(PenHandle pen);
// Number of live pens other than the stock pen; a painter that cleans up after itself leaves
// it where it found it.
int LivePenCount();
