#pragma once

// The window and cursor helpers every window of the program uses: the wait state, centring,
// vertical text on a picture box and the quick clearing of a tree.

#include <QPoint>
#include <QSize>
#include <QString>

class QWidget;
class TreeControl;
class PictureBox;

// Shows the wait state (on: the wait cursor, and the mouse routed to `window`) or ends it (the
// arrow, no capture); either way pending window messages then run once.
void CursorEspera(QWidget* window, bool on);

// The wait state of `window` for as long as the object lives: on when it is made, off when it is
// ended or destroyed, whichever comes first, so no way out of a routine (an exception included)
// leaves the hourglass on.
class WaitState {
public:
    explicit WaitState(QWidget* window);
    ~WaitState();
    WaitState(const WaitState&) = delete;
    WaitState& operator=(const WaitState&) = delete;
    // Ends the wait state now; later calls and the destructor do nothing.
    void end();

private:
    QWidget* window_;
    bool on_ = true;
};

// Where a window of `window` pixels (its outer size) goes on a screen of `screen` pixels with
// captions `caption` pixels high: centred across, and half a caption above the centre down;
// halves round to the even neighbour.
QPoint CentredOrigin(QSize screen, QSize window, int caption);
// Moves `window` to CentredOrigin on its screen, keeping its size.
void CentrarVentana(QWidget* window);

// Writes `text` from bottom to top at the lower left of the picture box (3 pixels from its left
// edge, 10 above its bottom) in a 13-point Tahoma, or the closest face the machine has, in the
// box's text colour.
void TextoVertical(const QString& text, PictureBox& box);

// Empties the tree one top node at a time with repainting switched off meanwhile.
void LimpiarArbol(TreeControl& tree);
