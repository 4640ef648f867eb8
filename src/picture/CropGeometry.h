// Mappings between output pixels and crop units for a crop rectangle of aspect A (height / width)
// centred in an output of W x H pixels. Every conversion truncates toward zero.
#pragma once

#include "picture/PictFrame.h"

namespace vx {

struct CropSize {
    int width = 0;
    int height = 0;
};

// The largest rectangle of aspect A that fits W x H (the comparison is H against W x A).
CropSize CropSizeIn(int W, int H, double A);
CPoint OutputToCrop(int x, int y, int W, int H, double A);
CPoint CropToOutput(CPoint c, int W, int H, double A);
// The two mappings above without their truncation: where between pixels a marked point lies.
// Whole output coordinates are pixel centres; y is the row index, as the renderer counts rows.
PointF OutputToCropF(PointF out, int W, int H, double A);
PointF CropToOutputF(PointF crop, int W, int H, double A);
// Bounding rectangle, in output pixels, of the frame's corners after its matrix.
CRect GetCropRect(const CPictFrame& frame, int W, int H, double A);

} // namespace vx
