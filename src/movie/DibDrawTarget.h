// A drawing surface over a picture: nearest-neighbour stretching of 24-bit bitmaps into it.
#pragma once

#include "movie/DrawTarget.h"

namespace vx {

class CDibDrawTarget : public IDrawTarget {
public:
    explicit CDibDrawTarget(CDibImage& picture) : m_picture(picture) {}

    void StretchDIBits(int x, int y, int w, int h, int srcX, int srcY, int srcW, int srcH,
                       const uint8_t* bits, const BitmapInfoHeader& header) override;

private:
    CDibImage& m_picture;
};

} // namespace vx
