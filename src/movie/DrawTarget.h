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

// Nearest-neighbour mapping of a stretch from a 24-bit bitmap's (srcX, srcY, srcW, srcH) into a
// w x h surface rectangle: the bitmap row that the rectangle's row dy shows (nullptr when it
// lies outside the bitmap), and the bitmap column that its column dx shows.
inline const uint8_t* StretchSourceRow(const uint8_t* bits, const BitmapInfoHeader& header,
                                       int srcY, int srcH, int h, int dy) {
    const int bmpHeight = header.biHeight < 0 ? -header.biHeight : header.biHeight;
    // The source rectangle's top row is its highest bitmap row.
    const int sy = srcY + srcH - 1 - static_cast<int>(int64_t(dy) * srcH / h);
    if (sy < 0 || sy >= bmpHeight) {
        return nullptr;
    }
    const int bitmapRow = header.biHeight > 0 ? sy : bmpHeight - 1 - sy;
    return bits + size_t(CDibImage::StrideFor(header.biWidth)) * size_t(bitmapRow);
}

inline int StretchSourceColumn(int srcX, int srcW, int w, int dx) {
    return srcX + static_cast<int>(int64_t(dx) * srcW / w);
}

class IDrawTarget {
public:
    virtual ~IDrawTarget() = default;
    // Returns the previous mode. Both surfaces stretch by dropping and repeating whatever the
    // mode: it is only kept, for the caller to put back.
    int SetStretchMode(int mode) {
        const int old = m_nStretchMode;
        m_nStretchMode = mode;
        return old;
    }
    // Stretches the bitmap's (srcX, srcY, srcW, srcH), in bitmap coordinates with y up from the
    // bottom row for a bottom-up bitmap, into the surface's (x, y, w, h), y down from the top.
    virtual void StretchDIBits(int x, int y, int w, int h, int srcX, int srcY, int srcW, int srcH,
                               const uint8_t* bits, const BitmapInfoHeader& header) = 0;

private:
    int m_nStretchMode = 1;
};

} // namespace vx
