// The one picture type: 24-bit BGR, rows padded to 4 bytes, row 0 the bottom row as displayed,
// with a ready 24-bit bitmap header. Also owns the shared bilinear rounding table.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace vx {

class IPlatform;

struct BitmapInfoHeader {
    uint32_t biSize;
    int32_t biWidth;
    int32_t biHeight;
    uint16_t biPlanes;
    uint16_t biBitCount;
    uint32_t biCompression;
    uint32_t biSizeImage;
    int32_t biXPelsPerMeter;
    int32_t biYPelsPerMeter;
    uint32_t biClrUsed;
    uint32_t biClrImportant;
};
static_assert(sizeof(BitmapInfoHeader) == 40);

class CDibImage {
public:
    static constexpr std::size_t kHeaderBlockSize = 1064; // header + 256 palette entries
    static constexpr int kTableSize = 510 * 510;
    // Larger pictures are refused as out of memory (code 3): they could not be edited anyway, and
    // every picture coordinate must fit 32 bits in 1/1024 pixel.
    static constexpr int kMaxSide = 1 << 20;
    static constexpr std::size_t kMaxRasterBytes = std::size_t(1) << 31;

    // A blank (black) picture; throws CMyException code 3 when it cannot be allocated.
    CDibImage(int width, int height);
    // One frame of a movie (all black when the movie ends before it): name = the movie's path,
    // frame index = `frameIndex`. Throws CMyException code 9 when the movie cannot be read.
    // Defined with the movie reader (movie/DibImageFromMovie.cpp).
    CDibImage(const std::string& moviePath, int64_t frameIndex);
    // A picture read from an image file; asks through `ui` to locate a file that can't be read.
    // Throws CMyException code 4 when no file could be read, code 3 when it is too large.
    // Defined with the image-file component (imageio/DibImageFromFile.cpp).
    CDibImage(IPlatform& ui, const std::string& path, bool showProgress);
    virtual ~CDibImage();
    CDibImage(const CDibImage&) = delete;
    CDibImage& operator=(const CDibImage&) = delete;

    int Width() const { return m_pHeader ? Header()->biWidth : 0; }
    int Height() const { return m_pHeader ? Header()->biHeight : 0; }
    int Stride() const { return m_nStride; }
    int MaxX() const { return m_nMaxX; }
    int MaxY() const { return m_nMaxY; }
    uint8_t* Row(int y) { return m_pBits.get() + std::size_t(m_nStride) * y; }
    const uint8_t* Row(int y) const { return m_pBits.get() + std::size_t(m_nStride) * y; }
    uint8_t* Bits() { return m_pBits.get(); }
    const uint8_t* Bits() const { return m_pBits.get(); }
    std::size_t RasterBytes() const { return std::size_t(m_nStride) * std::size_t(m_nHeight); }
    const BitmapInfoHeader* Header() const {
        return reinterpret_cast<const BitmapInfoHeader*>(m_pHeader.get());
    }
    BitmapInfoHeader* Header() { return reinterpret_cast<BitmapInfoHeader*>(m_pHeader.get()); }
    // The whole 1064-byte header block (header, then the unused palette).
    const uint8_t* HeaderBlock() const { return reinterpret_cast<const uint8_t*>(m_pHeader.get()); }

    // Tells this picture's pixels from any other's, even one built later at the same address:
    // views keep what they drew from a picture under this number. A new raster takes a new one.
    uint64_t Serial() const { return m_nSerial; }
    const std::string& GetPath() const { return m_strName; }
    void SetPath(const std::string& path) { m_strName = path; }
    // File name with extension, directory removed.
    std::string GetName() const;
    int64_t FrameIndex() const { return m_nFrameIndex; }
    void SetFrameIndex(int64_t index) { m_nFrameIndex = index; }

    // Bilinear resample to the new size; nothing when the size is unchanged.
    void Resize(int width, int height);
    // This picture, at its own size, becomes `src` (another picture) resampled as Resize would:
    // the same bytes, without a new raster.
    void ResizeFrom(const CDibImage& src);
    void Clear();

    static int StrideFor(int width) { return ((3 * width + 3) / 4) * 4; }
    // The shared table: entry i = min(255, (i + 112) / 225). Valid while any picture lives.
    static const uint8_t* RoundTable() { return s_pTable; }
    static int LiveCount();

protected:
    // For constructors that fill the picture themselves: a header block only, no raster.
    struct NoRaster {};
    explicit CDibImage(NoRaster);
    // Replaces the raster by a new one of the given size (contents undefined but padding zero)
    // and updates every size field. Throws code 3.
    void AllocateRaster(int width, int height, bool clear);

private:
    static void AcquireTable();
    static void ReleaseTable();

    std::string m_strName;
    int64_t m_nFrameIndex = -1;
    std::unique_ptr<uint32_t[]> m_pHeader;
    std::unique_ptr<uint8_t[]> m_pBits;
    int m_nStride = 0;
    int m_nMaxX = 0;
    int m_nMaxY = 0;
    int m_nWidth = 0;
    int m_nHeight = 0;
    uint64_t m_nSerial = NextSerial();

    static uint64_t NextSerial();
    static uint8_t* s_pTable;
};

// The bilinear enlargement (or reduction) Resize makes, a row at a time, for callers that use
// each row at once, such as the Preview's blend, instead of keeping the whole raster. `src` must
// be at least 1 x 1 and outlive this.
class CResampledRows {
public:
    CResampledRows(const CDibImage& src, int width, int height)
        : CResampledRows(src.Bits(), src.Width(), src.Height(), src.Stride(), width, height) {}
    // The same from a raster of sw x sh pixels, rows `stride` bytes apart.
    CResampledRows(const uint8_t* bits, int sw, int sh, int stride, int width, int height);

    int Width() const { return m_nWidth; }
    int Height() const { return m_nHeight; }
    // The columns [begin, end) of row `j` that can be other than black: those that read a pixel
    // of either source row that is not black. Empty when both rows are black.
    struct Span {
        int begin, end;
    };
    Span NonBlack(int j) const;
    bool IsBlack(int j) const {
        const Span span = NonBlack(j);
        return span.begin >= span.end;
    }

    // One per thread: it keeps the horizontal sums of the two source rows it read last, so that
    // rows read in order cost one mix each.
    class Cursor {
    public:
        explicit Cursor(const CResampledRows& rows);
        // Columns [begin, end) of row `j` into `out`, which points at the row's start (3 bytes a
        // column); the whole row by default.
        void Read(int j, uint8_t* out, int begin = 0, int end = -1);

    private:
        void Sums(int r, std::vector<uint16_t>& out) const;

        const CResampledRows& m_rows;
        std::vector<uint16_t> m_upper, m_lower;
        int m_nUpper = -1, m_nLower = -1; // the source rows whose sums they hold
    };

private:
    struct SourceRows {
        int upper, lower, fraction;
    };
    SourceRows RowsOf(int j) const;

    struct Tap {
        int offset0, offset1, fraction;
    };
    const uint8_t* m_pBits;
    int m_nSourceHeight, m_nStride;
    int m_nWidth, m_nHeight;
    std::vector<Tap> m_taps;
    // Per source row, the columns (of this width) that read one of its pixels that is not black.
    std::vector<Span> m_spans;
};

} // namespace vx
