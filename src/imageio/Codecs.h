// The format codecs behind the image-file component. Decoders fill a top-row-first BGR buffer;
// encoders pull top-row-first BGR rows. Neither touches the file system beyond what is given.
#pragma once

#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

namespace vx::codec {

enum class Format { Unknown, Png, Jpeg, Tiff, WebP, Bmp };

enum class Result { Ok, Fail, TooLarge, Cancelled };

struct Decoded {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> bgr; // height rows of 3 x width bytes, top row first
};

// Answers false to stop.
using StepFn = std::function<bool(int done, int total)>;
// Fills `bgr` (3 x width bytes) with file row `row`, top row first.
using RowFn = std::function<void(int row, uint8_t* bgr)>;

Format Sniff(const std::string& bytes);
Format FromExtension(const std::string& path);

// Allocates the buffer after checking the declared size against the component's limits.
Result Allocate(Decoded& out, int64_t width, int64_t height);

Result DecodePng(const std::string& bytes, Decoded& out, const StepFn& step);
Result DecodeJpeg(const std::string& bytes, Decoded& out, const StepFn& step);
Result DecodeTiff(const std::string& path, Decoded& out, const StepFn& step);
Result DecodeWebP(const std::string& bytes, Decoded& out, const StepFn& step);
Result DecodeBmp(const std::string& bytes, Decoded& out, const StepFn& step);

// Encoders write to an open file; false on failure or when step asked to stop.
bool EncodePng(FILE* file, int width, int height, const RowFn& rows, const StepFn& step);
bool EncodeJpeg(FILE* file, int width, int height, const RowFn& rows, const StepFn& step);
bool EncodeTiff(int fd, int width, int height, const RowFn& rows, const StepFn& step);
bool EncodeWebP(FILE* file, int width, int height, const RowFn& rows, const StepFn& step);
bool EncodeBmp(FILE* file, int width, int height, const RowFn& rows, const StepFn& step);

// Reports progress every this many rows.
constexpr int kStepRows = 64;

} // namespace vx::codec
