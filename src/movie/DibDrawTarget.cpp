#include "movie/DibDrawTarget.h"

#include <cstdlib>
#include <cstring>

namespace vx {

int CDibDrawTarget::SetStretchMode(int mode) {
    const int old = m_nMode;
    m_nMode = mode;
    return old;
}

void CDibDrawTarget::StretchDIBits(int x, int y, int w, int h, int srcX, int srcY, int srcW,
                                   int srcH, const uint8_t* bits, const BitmapInfoHeader& header) {
    if (!bits || header.biBitCount != 24 || w <= 0 || h <= 0 || srcW <= 0 || srcH <= 0) {
        return;
    }
    const int bmpHeight = std::abs(header.biHeight);
    const int bmpStride = CDibImage::StrideFor(header.biWidth);
    const int picHeight = m_picture.Height();
    for (int dy = 0; dy < h; ++dy) {
        const int py = y + dy; // from the top of the picture
        if (py < 0 || py >= picHeight) {
            continue;
        }
        // The source rectangle's top row is its highest bitmap row.
        const int sy = srcY + srcH - 1 - int(int64_t(dy) * srcH / h);
        if (sy < 0 || sy >= bmpHeight) {
            continue;
        }
        const int bitmapRow = header.biHeight > 0 ? sy : bmpHeight - 1 - sy;
        const uint8_t* src = bits + size_t(bmpStride) * size_t(bitmapRow);
        uint8_t* dst = m_picture.Row(picHeight - 1 - py);
        if (w == srcW && x >= 0 && x + w <= m_picture.Width() && srcX >= 0 &&
            srcX + srcW <= header.biWidth) {
            std::memcpy(dst + 3 * x, src + 3 * srcX, size_t(3) * size_t(w)); // 1:1 across
            continue;
        }
        for (int dx = 0; dx < w; ++dx) {
            const int px = x + dx;
            const int sx = srcX + int(int64_t(dx) * srcW / w);
            if (px < 0 || px >= m_picture.Width() || sx < 0 || sx >= header.biWidth) {
                continue;
            }
            std::memcpy(dst + 3 * px, src + 3 * sx, 3);
        }
    }
}

} // namespace vx
