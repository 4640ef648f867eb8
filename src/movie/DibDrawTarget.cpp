#include "movie/DibDrawTarget.h"

#include <cstring>

namespace vx {

void CDibDrawTarget::StretchDIBits(int x, int y, int w, int h, int srcX, int srcY, int srcW,
                                   int srcH, const uint8_t* bits, const BitmapInfoHeader& header) {
    if (!bits || header.biBitCount != 24 || w <= 0 || h <= 0 || srcW <= 0 || srcH <= 0) {
        return;
    }
    const int picHeight = m_picture.Height();
    for (int dy = 0; dy < h; ++dy) {
        const int py = y + dy; // from the top of the picture
        if (py < 0 || py >= picHeight) {
            continue;
        }
        const uint8_t* src = StretchSourceRow(bits, header, srcY, srcH, h, dy);
        if (!src) {
            continue;
        }
        uint8_t* dst = m_picture.Row(picHeight - 1 - py);
        if (w == srcW && x >= 0 && x + w <= m_picture.Width() && srcX >= 0 &&
            srcX + srcW <= header.biWidth) {
            std::memcpy(dst + 3 * x, src + 3 * srcX, size_t(3) * size_t(w)); // 1:1 across
            continue;
        }
        for (int dx = 0; dx < w; ++dx) {
            const int px = x + dx;
            const int sx = StretchSourceColumn(srcX, srcW, w, dx);
            if (px < 0 || px >= m_picture.Width() || sx < 0 || sx >= header.biWidth) {
                continue;
            }
            std::memcpy(dst + 3 * px, src + 3 * sx, 3);
        }
    }
}

} // namespace vx
