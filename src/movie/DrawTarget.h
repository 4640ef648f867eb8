// A surface that a movie frame can be stretched into; the user interface implements it over
// its own painting, the core over a picture (CDibDrawTarget).
#pragma once

#include "picture/DibImage.h"

#include <cstdint>

namespace vx {

// Drops rows and columns when shrinking, repeats them when stretching.
constexpr int kStretchColorOnColor = 3;

struct DrawRect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
};

class IDrawTarget {
public:
    virtual ~IDrawTarget() = default;
    // Returns the previous mode.
    virtual int SetStretchMode(int mode) = 0;
    // Stretches the bitmap's (srcX, srcY, srcW, srcH), in bitmap coordinates with y up from the
    // bottom row for a bottom-up bitmap, into the surface's (x, y, w, h), y down from the top.
    virtual void StretchDIBits(int x, int y, int w, int h, int srcX, int srcY, int srcW, int srcH,
                               const uint8_t* bits, const BitmapInfoHeader& header) = 0;
};

} // namespace vx
