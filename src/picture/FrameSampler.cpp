#include "picture/FrameSampler.h"

#include "picture/CropGeometry.h"
#include "picture/DibImage.h"
#include "picture/RowKernels.h"
#include "picture/RowPool.h"
#include "picture/SampleKernels.h"

#include <cmath>
#include <cstring>

namespace vx {

CFrameSampler::CFrameSampler(const CPictFrame& frame, const CDibImage& picture, int W, int H,
                             double A)
    : m_frame(frame), m_picture(picture), m_nW(W), m_nH(H), m_dA(A) {}

void CFrameSampler::RenderGrid(int step, int cols, int rows, CDibImage& out,
                               SampleKernel kernel) const {
    if (cols <= 0 || rows <= 0) {
        return;
    }
    // The crop mapping is separable, and so are the matrix products: m00 x + m01 y + m02 is
    // evaluated as (m00 x + m01 y) + m02 from the same per-column and per-row products, which
    // gives the very same doubles as the per-pixel formula.
    const double* m = m_frame.matrix.m;
    std::vector<double> colX(cols), colY(cols), rowX(rows), rowY(rows);
    for (int x = 0; x < cols; ++x) {
        const CPoint p = OutputToCrop(step * x, 0, m_nW, m_nH, m_dA);
        colX[x] = m[0] * p.x;
        colY[x] = m[3] * p.x;
    }
    for (int y = 0; y < rows; ++y) {
        const CPoint p = OutputToCrop(0, step * y, m_nW, m_nH, m_dA);
        rowX[y] = m[1] * p.y;
        rowY[y] = m[4] * p.y;
    }
    const double m02 = m[2];
    const double m12 = m[5];
    const int hw = m_frame.FrameWidth() / 2;
    const int hh = m_frame.FrameHeight() / 2;
    const int64_t fw = m_frame.FrameWidth();
    const int64_t fh = m_frame.FrameHeight();
    const int w = m_picture.Width();
    const int h = m_picture.Height();
    const int64_t W1024 = int64_t(w) * 1024;
    const int64_t H1024 = int64_t(h) * 1024;
    const int64_t maxX = m_picture.MaxX();
    const int64_t maxY = m_picture.MaxY();
    const int stride = m_picture.Stride();
    const uint8_t* bits = m_picture.Bits();
    const uint8_t* table = CDibImage::RoundTable();

    const CropSize crop = CropSizeIn(m_nW, m_nH, m_dA);
    const bool empty = crop.width <= 0 || crop.height <= 0 || fw == 0 || fh == 0 || !bits;
    // The picture position takes one of fw + 1 (fh + 1) values, one per frame unit inside the
    // frame: worked out once, the division leaves the pixel loop. -1 marks a unit off the picture.
    // Positions below max x fit 32 bits (sides are at most 2^20 pixels).
    std::vector<int32_t> toQx, toQy;
    if (!empty) {
        toQx.resize(std::size_t(2 * hw + 1));
        for (int ux = -hw; ux <= hw; ++ux) {
            const int64_t qx = ux * W1024 / fw + W1024 / 2;
            toQx[std::size_t(ux + hw)] = qx < 0 || qx >= maxX ? -1 : int32_t(qx);
        }
        toQy.resize(std::size_t(2 * hh + 1));
        for (int uy = -hh; uy <= hh; ++uy) {
            const int64_t qy = uy * H1024 / fh + H1024 / 2;
            toQy[std::size_t(uy + hh)] = qy < 0 || qy >= maxY ? -1 : int32_t(qy);
        }
    }
    // Where the samples four rows on will read, relative to these, in picture pixels: fetched
    // ahead, early enough to arrive in time (measured: one or two rows on come too late). The map
    // is affine, though crop positions are whole units, so the average steps over the grid. Only
    // while eight samples keep to about one pair of picture rows, so that one fetch serves them,
    // and the rows of samples move on to other picture rows (not near a quarter turn).
    std::ptrdiff_t ahead = 0;
    if (!empty && rows > 1 && cols > 1) {
        const double down = (rowY[std::size_t(rows - 1)] - rowY[0]) * double(h) / double(fh);
        const double across = (rowX[std::size_t(rows - 1)] - rowX[0]) * double(w) / double(fw);
        const double drift = (colY[std::size_t(cols - 1)] - colY[0]) * double(h) / double(fh);
        const long rowsDown = std::lround(4 * down / (rows - 1));
        if (rowsDown != 0 && std::abs(drift / (cols - 1)) < 0.25) {
            ahead = std::ptrdiff_t(rowsDown) * stride + 3 * std::lround(4 * across / (rows - 1));
        }
    }
    const SampleSource source{bits,
                              std::size_t(stride),
                              std::size_t(stride) * std::size_t(h),
                              empty ? nullptr : toQx.data() + hw,
                              empty ? nullptr : toQy.data() + hh,
                              hw,
                              hh,
                              table,
                              ahead};
    CRowPool::Shared().Run(rows, [&](int begin, int end) {
        std::vector<int> unitsX(static_cast<std::size_t>(cols)), unitsY(unitsX.size());
        for (int y = begin; y < end; ++y) {
            uint8_t* const dst = out.Row(y);
            if (empty) { // no crop rectangle or no picture: nothing to show
                std::memset(dst, 0, std::size_t(3) * cols);
                continue;
            }
            FrameUnitsOfRow(colX.data(), rowX[std::size_t(y)], m02, unitsX.data(),
                            std::size_t(cols));
            FrameUnitsOfRow(colY.data(), rowY[std::size_t(y)], m12, unitsY.data(),
                            std::size_t(cols));
            SampleRow(source, unitsX.data(), unitsY.data(), dst, std::size_t(cols), kernel);
        }
    });
}

} // namespace vx
