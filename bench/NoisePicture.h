// Pictures of random bytes: nothing in them helps a kernel take a shortcut.
#pragma once

#include "picture/DibImage.h"

#include <memory>
#include <random>

namespace vx::bench {

inline std::unique_ptr<CDibImage> Noise(int w, int h) {
    auto image = std::make_unique<CDibImage>(w, h);
    std::mt19937 rng(1);
    for (int y = 0; y < h; ++y) {
        uint8_t* row = image->Row(y);
        for (int x = 0; x < 3 * w; ++x) {
            row[x] = uint8_t(rng());
        }
    }
    return image;
}

} // namespace vx::bench
