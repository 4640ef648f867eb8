#include "ui/QtDrawTarget.h"

#include "ui/DisplayPixels.h"

namespace vx::ui {

void CQtDrawTarget::StretchDIBits(int x, int y, int w, int h, int srcX, int srcY, int srcW,
                                  int srcH, const uint8_t* bits, const BitmapInfoHeader& header) {
    StretchUpright(m_surface, x, y, w, h, srcX, srcY, srcW, srcH, bits, header);
}

} // namespace vx::ui
