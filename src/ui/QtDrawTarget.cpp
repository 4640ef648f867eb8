#include "ui/QtDrawTarget.h"

#include <vector>

namespace vx::ui {

int CQtDrawTarget::SetStretchMode(int mode) {
    const int old = m_nMode;
    m_nMode = mode;
    return old;
}

void CQtDrawTarget::StretchDIBits(int x, int y, int w, int h, int srcX, int srcY, int srcW,
                                  int srcH, const uint8_t* bits, const BitmapInfoHeader& header) {
    if (!bits || header.biBitCount != 24 || w <= 0 || h <= 0 || srcW <= 0 || srcH <= 0 ||
        m_surface.format() != QImage::Format_RGB32) {
        return;
    }
    // Columns are the same for every row: -1 marks one outside the surface or the bitmap.
    std::vector<int> columns(static_cast<size_t>(w));
    for (int dx = 0; dx < w; ++dx) {
        const int px = x + dx;
        const int sx = StretchSourceColumn(srcX, srcW, w, dx);
        const bool inside = px >= 0 && px < m_surface.width() && sx >= 0 && sx < header.biWidth;
        columns[size_t(dx)] = inside ? 3 * sx : -1;
    }
    for (int dy = 0; dy < h; ++dy) {
        const int py = y + dy;
        if (py < 0 || py >= m_surface.height()) {
            continue;
        }
        const uint8_t* src = StretchSourceRow(bits, header, srcY, srcH, h, dy);
        if (!src) {
            continue;
        }
        auto* dst = reinterpret_cast<QRgb*>(m_surface.scanLine(py));
        for (int dx = 0; dx < w; ++dx) {
            if (columns[size_t(dx)] >= 0) {
                const uint8_t* p = src + columns[size_t(dx)];
                dst[x + dx] = qRgb(p[2], p[1], p[0]);
            }
        }
    }
}

} // namespace vx::ui
