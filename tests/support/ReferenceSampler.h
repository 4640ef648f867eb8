// The sampling of one output pixel written literally from its formulas, one pixel at a time, for
// checking the fast kernels against.
#pragma once

#include "picture/DibImage.h"
#include "picture/PictFrame.h"

#include <array>
#include <cmath>
#include <cstdint>
#include <cstdlib>

namespace vx::test {

inline std::array<uint8_t, 3> ReferenceSample(const CPictFrame& f, const CDibImage& pict, int px,
                                              int py, int W, int H, double A) {
    std::array<uint8_t, 3> black{0, 0, 0};
    int cropW, cropH;
    if (H >= W * A) {
        cropW = W;
        cropH = int(W * A);
    } else {
        cropW = int(H / A);
        cropH = H;
    }
    if (cropW <= 0 || cropH <= 0) {
        return black;
    }
    const int cx = ((px - W / 2) * 1024) / cropW;
    const int cy = int((py - H / 2) * A * 1024 / cropH);
    const double* m = f.matrix.m;
    const int ux = int(m[0] * cx + m[1] * cy + m[2]);
    const int uy = int(m[3] * cx + m[4] * cy + m[5]);
    const int fw = std::abs(f.corners[1].x - f.corners[0].x);
    const int fh = std::abs(f.corners[1].y - f.corners[2].y);
    if (!(-(fw / 2) <= ux && ux <= fw / 2 && -(fh / 2) <= uy && uy <= fh / 2)) {
        return black;
    }
    const int w = pict.Width(), h = pict.Height();
    const long long qx = (long long)ux * (w * 1024LL) / fw + (w * 1024LL) / 2;
    const long long qy = (long long)uy * (h * 1024LL) / fh + (h * 1024LL) / 2;
    if (qx < 0 || qx >= (w - 1) * 1024LL || qy < 0 || qy >= (h - 1) * 1024LL) {
        return black;
    }
    const int col = int(qx >> 10), fx = int(qx >> 6) & 15;
    const int row = int(qy >> 10), fy = int(qy >> 6) & 15;
    std::array<uint8_t, 3> out{};
    for (int c = 0; c < 3; ++c) {
        auto P = [&](int x, int y) { return int(pict.Row(y)[3 * x + c]); };
        const int sum = (15 - fx) * (15 - fy) * P(col, row) + fx * (15 - fy) * P(col + 1, row) +
                        (15 - fx) * fy * P(col, row + 1) + fx * fy * P(col + 1, row + 1);
        out[c] = uint8_t(sum + 112 >= 255 * 225 ? 255 : (sum + 112) / 225);
    }
    return out;
}

} // namespace vx::test
