// Keeps a top-level window on the available area of its screen: a window designed in twips, or
// restored from another screen, can be larger than a small or strongly scaled screen.
#pragma once

#include <QSize>

class QWidget;

namespace ScreenFit {

// The room a window has on its screen's available area, less the frame a window manager adds
// (measured once the window is shown; a title bar's height before that).
QSize room(const QWidget* window);
// Shrinks the window to that room where it is larger, and moves it onto the available area.
// Returns whether it was shrunk.
bool fit(QWidget* window);

} // namespace ScreenFit
