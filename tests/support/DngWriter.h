// Camera raw files for the tests and benchmarks: LibRaw reads them like a camera's.
#pragma once

#include <string>

namespace vx::test {

// An uncompressed little-endian DNG with an RGGB mosaic whose camera space is linear sRGB. The
// scene is grey seen through a camera that takes in half the red and 0.8 of the blue, as its
// AsShotNeutral says; its top-left quadrant is twice as bright.
std::string Dng(int w, int h, int orientation);

} // namespace vx::test
