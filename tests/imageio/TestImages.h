// Test pictures written straight with the codec libraries, so that the component is checked
// against files it did not write itself.
#pragma once

#include "picture/DibImage.h"
#include "support/ScriptedPlatform.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace vx::test {

// PNG of any colour type and depth; `samples` holds rows top first as libpng takes them.
// `filters`: libpng's PNG_FILTER_* mask, 0 for its default choice.
void WritePng(const std::string& path, int w, int h, int colorType, int bitDepth, bool interlace,
              const std::vector<uint8_t>& samples, const std::vector<uint8_t>& paletteRgb = {},
              const std::vector<uint8_t>& trns = {}, const std::string& icc = {}, int filters = 0);
// JPEG: components 1 (grey), 3 (RGB) or 4 (CMYK, Adobe-inverted as Photoshop writes it);
// orientation > 1 adds an EXIF block with that tag; an ICC profile goes in APP2 blocks.
void WriteJpeg(const std::string& path, int w, int h, int components,
               const std::vector<uint8_t>& samples, int orientation = 1, bool progressive = false,
               const std::string& icc = {});

// The error code a load ends with (0: loaded); every "Locate file?" question is answered No
// unless `platform` scripts otherwise.
int LoadCode(const std::string& path, std::unique_ptr<CDibImage>* out = nullptr,
             ScriptedPlatform* platform = nullptr);

} // namespace vx::test
