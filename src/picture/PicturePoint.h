// Points the user marks on a picture, and the pairs that place one picture on the other.
#pragma once

#include <array>

namespace vx {

// A position in a picture as it is seen, in pixels: x to the right, y down from the top-left.
// Whole numbers are pixel centres, so the picture spans -0.5 to w - 0.5 and -0.5 to h - 0.5.
struct PicturePoint {
    double x = 0;
    double y = 0;
    bool operator==(const PicturePoint&) const = default;
};

// Two points marked on the SOURCE and the same two, in the same order, on the TARGET.
struct PointPairs {
    std::array<PicturePoint, 2> source;
    std::array<PicturePoint, 2> target;
    bool operator==(const PointPairs&) const = default;
};

} // namespace vx
