// A drawing surface over a Qt image, so that movie frames can be painted by widgets.
#pragma once

#include "movie/DrawTarget.h"

#include <QImage>

namespace vx::ui {

// Nearest-neighbour stretching of 24-bit bitmaps into an RGB32 image.
class CQtDrawTarget : public IDrawTarget {
public:
    explicit CQtDrawTarget(QImage& surface) : m_surface(surface) {}

    void StretchDIBits(int x, int y, int w, int h, int srcX, int srcY, int srcW, int srcH,
                       const uint8_t* bits, const BitmapInfoHeader& header) override;

private:
    QImage& m_surface;
};

} // namespace vx::ui
