// The editing cursors: 32 x 32 monochrome images of our own for the three edit modes.
#pragma once

#include <QCursor>

namespace vx::ui {

// Cursor resource 136, 137 or 138.
QCursor LoadCursor(unsigned id);
// The cursor of edit mode 132 (Zoom), 133 (Move) or 134 (Rotate); the arrow otherwise.
QCursor EditCursor(int editMode);

} // namespace vx::ui
