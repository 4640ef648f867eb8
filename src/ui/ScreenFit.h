// Windows kept where the user can reach them: inside the frame area or the screen, whatever its
// size and scale factor.
#pragma once

#include <QRect>

class QWidget;

namespace vx::ui {

// `rect` moved, and shrunk no further than `minimum`, to lie inside an area of size `area`.
QRect KeepInside(QRect rect, QSize area, QSize minimum);

// Sizes and moves a top-level window, its frame included where the window system tells it, into
// the available part of the screen it is on (or its parent's).
void KeepOnScreen(QWidget& window);

} // namespace vx::ui
