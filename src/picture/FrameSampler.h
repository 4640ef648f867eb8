// Resamples a framed picture into output pixels: crop mapping, inside test, picture mapping and a
// bilinear sample in fifteenths through the shared rounding table. Black outside the picture.
#pragma once

#include "picture/PictFrame.h"
#include "picture/SampleKernels.h"

#include <cstdint>
#include <vector>

namespace vx {

class CDibImage;

class CFrameSampler {
public:
    // For an output of W x H pixels under a crop rectangle of aspect A.
    CFrameSampler(const CPictFrame& frame, const CDibImage& picture, int W, int H, double A);

    // Writes, for 0 <= x < cols and 0 <= y < rows, the sample of output pixel (step x, step y)
    // into pixel (x, y) of `out`, which must be at least cols x rows. The plain kernel is there
    // for the tests.
    void RenderGrid(int step, int cols, int rows, CDibImage& out,
                    SampleKernel kernel = SampleKernel::Best) const;

private:
    const CPictFrame& m_frame;
    const CDibImage& m_picture;
    int m_nW;
    int m_nH;
    double m_dA;
};

} // namespace vx
