#include "picture/CropGeometry.h"

#include <algorithm>
#include <climits>

namespace vx {

CropSize CropSizeIn(int W, int H, double A) {
    if (H >= W * A) {
        return {W, int(W * A)};
    }
    return {int(H / A), H};
}

CPoint OutputToCrop(int x, int y, int W, int H, double A) {
    const CropSize crop = CropSizeIn(W, H, A);
    if (crop.width <= 0 || crop.height <= 0) {
        return {0, 0}; // an empty output has no crop rectangle to map into
    }
    const int cx = ((x - W / 2) * 1024) / crop.width;
    const int cy = int((y - H / 2) * A * 1024 / crop.height);
    return {cx, cy};
}

CPoint CropToOutput(CPoint c, int W, int H, double A) {
    const CropSize crop = CropSizeIn(W, H, A);
    const int x = int((int64_t(c.x) * crop.width) / 1024) + W / 2;
    const int y = int(c.y * double(crop.height) / (A * 1024) + H / 2);
    return {x, y};
}

PointF OutputToCropF(PointF out, int W, int H, double A) {
    const CropSize crop = CropSizeIn(W, H, A);
    return {(out.x - W / 2) * 1024 / crop.width, (out.y - H / 2) * A * 1024 / crop.height};
}

PointF CropToOutputF(PointF c, int W, int H, double A) {
    const CropSize crop = CropSizeIn(W, H, A);
    return {c.x * crop.width / 1024 + W / 2, c.y * crop.height / (A * 1024) + H / 2};
}

CRect GetCropRect(const CPictFrame& frame, int W, int H, double A) {
    CRect r{INT_MAX, INT_MAX, INT_MIN, INT_MIN};
    for (const CPoint& corner : frame.corners) {
        const CPoint q = CropToOutput(frame.Transform(corner), W, H, A);
        r.left = std::min(r.left, q.x);
        r.right = std::max(r.right, q.x);
        r.top = std::min(r.top, q.y);
        r.bottom = std::max(r.bottom, q.y);
    }
    return r;
}

} // namespace vx
