// The bilinear sample of a row of output pixels from their frame units: picture position through
// the per-frame tables, weights in fifteenths, the four-term sum per channel and its rounding.
// The vector version gives the bytes of the plain one; the tests hold both to the literal sampler.
#pragma once

#include <cstddef>
#include <cstdint>

namespace vx {

// What every sample of a frame reads.
struct SampleSource {
    const uint8_t* bits; // the picture's raster
    std::size_t pitch;   // bytes from one row to the next
    std::size_t bytes;   // the raster's size
    const int32_t* qxOf; // frame unit x in [-halfX, halfX] -> picture x in 1024ths, or -1
    const int32_t* qyOf; // the same for y
    int halfX;
    int halfY;
    const uint8_t* round; // the shared rounding table
    // From a pixel pair to the one a later row of samples is likely to read, fetched ahead (the
    // processor does not foresee the gathers' reads); 0 for none.
    std::ptrdiff_t ahead;
};

// The rounding table's entry for every bilinear sum s <= 15 x 15 x 255, as (s + 112) x kRoundMul
// >> kRoundShift: a multiplication instead of a lookup.
constexpr uint32_t kRoundMul = 37283;
constexpr int kRoundShift = 23;
constexpr int kMaxBilinearSum = 15 * 15 * 255;

enum class SampleKernel { Best, Plain };

// dst[3k + c] = channel c of the sample at frame units (ux[k], uy[k]) for 0 <= k < n; black where
// the unit lies outside the frame or its position off the picture.
void SampleRow(const SampleSource& src, const int* ux, const int* uy, uint8_t* dst, std::size_t n,
               SampleKernel kernel = SampleKernel::Best);

} // namespace vx
