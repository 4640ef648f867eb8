// The format codecs behind the image-file component. Decoders fill a top-row-first BGR buffer;
// encoders pull top-row-first BGR rows. Neither touches the file system beyond what is given.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace vx::codec {

enum class Format { Unknown, Png, Jpeg, Tiff, WebP, Bmp, Heif, Jxl, Raw };

enum class Result { Ok, Fail, TooLarge, Cancelled };

struct Decoded {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> bgr; // the rows decoded so far, 3 x width bytes each, top row first
    std::string icc;          // the colour profile the pixels are in; empty for sRGB

    // Where the caller would rather have the rows: given the size, the top row and the step to
    // the row below it (negative for bottom-up storage); null when that memory cannot be had.
    // Only for decoders that reach the rows through Row() alone.
    std::function<uint8_t*(int width, int height, std::ptrdiff_t& pitch)> place;

    // Top row first; the buffer grows to hold it, so that a file whose data ends early costs
    // only the rows it held. Once an eighth of the rows has come the data is real and the rows
    // move to `place`, when given. Null when memory runs out. Rows had before may move.
    uint8_t* Row(int y) noexcept;
    // Every row (the first one), for decoders that need the whole raster at once; contiguous in
    // `bgr` only without `place`.
    uint8_t* All() noexcept { return Row(height - 1) ? At(0) : nullptr; }
    // A row already decoded, wherever it is.
    uint8_t* At(int y) const noexcept {
        const size_t offset = size_t(y) * size_t(width) * 3;
        return m_base   ? m_base + y * m_pitch
               : m_head ? m_head.get() + offset
                        : const_cast<uint8_t*>(bgr.data()) + offset;
    }
    // The rows went to `place`.
    bool Placed() const { return m_base != nullptr; }
    bool Complete() const {
        return m_base || m_head ? m_rows == size_t(height)
                                : bgr.size() == size_t(width) * 3 * size_t(height);
    }

private:
    bool MoveToPlace() noexcept;

    uint8_t* m_base = nullptr;
    std::ptrdiff_t m_pitch = 0;
    size_t m_rows = 0;
    // With `place`: the rows before it is taken, room for exactly those, never cleared.
    std::unique_ptr<uint8_t[]> m_head;
};

// Answers false to stop.
using StepFn = std::function<bool(int done, int total)>;
// Fills `bgr` (3 x width bytes) with file row `row`, top row first; may be called from several
// threads at once.
using RowFn = std::function<void(int row, uint8_t* bgr)>;

// By content alone; a TIFF that a camera wrote as its raw file sniffs as Raw when `path` names
// one of the raw extensions or the file carries a DNG version.
Format Sniff(const std::string& bytes, const std::string& path = {});
Format FromExtension(const std::string& path);

// Records a declared size beyond the component's budget, for the failure's text; TooLarge.
Result Refuse(int64_t width, int64_t height, int64_t fileBytes);
// Checks the declared size against the component's budget and sets it; allocates nothing.
Result Admit(Decoded& out, int64_t width, int64_t height, int64_t fileBytes);

// Progress of `done` out of `of` units scaled to `total`, without overflow.
inline int Scaled(int64_t done, int64_t of, int total) {
    return of > 0 ? int(done * total / of) : total;
}

Result DecodePng(const std::string& bytes, Decoded& out, const StepFn& step);
Result DecodeJpeg(const std::string& bytes, Decoded& out, const StepFn& step);
Result DecodeTiff(const std::string& path, int64_t fileBytes, Decoded& out, const StepFn& step);
Result DecodeWebP(const std::string& bytes, Decoded& out, const StepFn& step);
Result DecodeBmp(const std::string& bytes, Decoded& out, const StepFn& step);
// HEIF and AVIF: the primary image, its irot/imir turns applied.
Result DecodeHeif(const std::string& bytes, Decoded& out, const StepFn& step);
Result DecodeJxl(const std::string& bytes, Decoded& out, const StepFn& step);
// Camera raw: demosaiced with the camera's white balance, in sRGB, turned upright.
Result DecodeRaw(const std::string& bytes, Decoded& out, const StepFn& step);

// Converts the pixels from `out.icc` to sRGB (perceptual) and clears it. A profile that cannot
// be used leaves the pixels as they are. Cancelled when step says stop.
Result ConvertToSrgb(Decoded& out, const StepFn& step);
// An ICC profile for RGB pixels of the given primaries (red, green, blue, white as x, y pairs)
// and transfer characteristics (ITU-T H.273 codes).
std::string RgbProfile(const double xy[8], int transfer);

// Encoders write to an open file; false on failure or when step asked to stop.
bool EncodePng(FILE* file, int width, int height, const RowFn& rows, const StepFn& step);
bool EncodeJpeg(FILE* file, int width, int height, const RowFn& rows, const StepFn& step);
bool EncodeTiff(int fd, int width, int height, const RowFn& rows, const StepFn& step);
bool EncodeWebP(FILE* file, int width, int height, const RowFn& rows, const StepFn& step);
bool EncodeBmp(FILE* file, int width, int height, const RowFn& rows, const StepFn& step);

// Reports progress every this many rows.
constexpr int kStepRows = 64;

// Calls body(begin, end) on [0, rows) shared out among the row pool, one band at a time, with
// step(rows done) after each band; false when step says stop.
bool InRowBands(int rows, const std::function<void(int, int)>& body,
                const std::function<bool(int)>& step);

} // namespace vx::codec
