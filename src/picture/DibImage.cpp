#include "picture/DibImage.h"

#include "base/MyException.h"
#include "picture/RowKernels.h"
#include "picture/RowPool.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <mutex>
#include <new>
#include <utility>
#include <vector>

namespace vx {

uint8_t* CDibImage::s_pTable = nullptr;

namespace {
std::mutex g_tableMutex;
int g_nLive = 0;
} // namespace

void CDibImage::AcquireTable() {
    std::lock_guard lock(g_tableMutex);
    if (g_nLive++ == 0) {
        auto* table = new (std::nothrow) uint8_t[kTableSize];
        if (!table) {
            --g_nLive;
            throw CMyException(3);
        }
        for (int i = 0; i < kTableSize; ++i) {
            table[i] = uint8_t(std::min(255, (i + 112) / 225));
        }
        s_pTable = table;
    }
}

void CDibImage::ReleaseTable() {
    std::lock_guard lock(g_tableMutex);
    if (--g_nLive == 0) {
        delete[] s_pTable;
        s_pTable = nullptr;
    }
}

int CDibImage::LiveCount() {
    std::lock_guard lock(g_tableMutex);
    return g_nLive;
}

CDibImage::CDibImage(NoRaster) {
    AcquireTable();
    m_pHeader.reset(new (std::nothrow) uint32_t[kHeaderBlockSize / 4]());
    if (!m_pHeader) {
        ReleaseTable();
        throw CMyException(3);
    }
    BitmapInfoHeader* h = Header();
    h->biSize = 40;
    h->biPlanes = 1;
    h->biBitCount = 24;
    h->biCompression = 0;
}

// Once the delegated constructor has finished, a throw here runs the destructor, which drops the
// table reference.
CDibImage::CDibImage(int width, int height) : CDibImage(NoRaster{}) {
    AllocateRaster(width, height, true);
}

uint64_t CDibImage::NextSerial() {
    static std::atomic<uint64_t> last{0};
    return ++last;
}

CDibImage::~CDibImage() {
    ReleaseTable();
}

void CDibImage::AllocateRaster(int width, int height, bool clear) {
    if (width < 0 || height < 0 || width > kMaxSide || height > kMaxSide) {
        throw CMyException(3);
    }
    const int stride = StrideFor(width);
    const std::size_t bytes = std::size_t(stride) * std::size_t(height);
    if (bytes > kMaxRasterBytes) {
        throw CMyException(3);
    }
    std::unique_ptr<uint8_t[]> bits;
    if (bytes > 0) {
        bits.reset(clear ? new (std::nothrow) uint8_t[bytes]() : new (std::nothrow) uint8_t[bytes]);
        if (!bits) {
            throw CMyException(3);
        }
        if (!clear && stride != 3 * width) {
            for (int y = 0; y < height; ++y) {
                std::memset(bits.get() + std::size_t(stride) * y + 3 * width, 0,
                            stride - 3 * width);
            }
        }
    }
    m_pBits = std::move(bits);
    m_nSerial = NextSerial();
    BitmapInfoHeader* h = Header();
    h->biWidth = width;
    h->biHeight = height;
    h->biSizeImage = uint32_t(bytes);
    m_nStride = stride;
    m_nMaxX = (width - 1) * 1024;
    m_nMaxY = (height - 1) * 1024;
    m_nWidth = width;
    m_nHeight = height;
}

std::string CDibImage::GetName() const {
    auto slash = m_strName.find_last_of('/');
    return slash == std::string::npos ? m_strName : m_strName.substr(slash + 1);
}

void CDibImage::Clear() {
    if (m_pBits) {
        std::memset(m_pBits.get(), 0, RasterBytes());
    }
}

// The weighted sum (15 - fy) [(15 - fx) P00 + fx P10] + fy [(15 - fx) P01 + fx P11] is the same
// integer as the four-term one, so the horizontal sums of a source row are worked out once for
// every destination row that reads it, and each destination row is two of them mixed, a vector
// loop. A 1-pixel side repeats its only column or row instead of reading past it; from 2 pixels on
// this is exactly the clamp to sw - 2 and sh - 2.
CResampledRows::CResampledRows(const uint8_t* bits, int sw, int sh, int stride, int width,
                               int height)
    : m_pBits(bits), m_nSourceHeight(sh), m_nStride(stride), m_nWidth(width), m_nHeight(height) {
    m_taps.resize(std::size_t(std::max(width, 0)));
    for (int i = 0; i < width; ++i) {
        const int64_t sx = (int64_t(i) * sw * 16) / width;
        const int col = int(std::min<int64_t>(sx / 16, std::max(sw - 2, 0)));
        const int col1 = std::min(col + 1, sw - 1);
        m_taps[std::size_t(i)] = {3 * col, 3 * col1, int(sx % 16)};
    }
    // Outside a picture's footprint a grid is black, and so is its enlargement between black
    // pixels; the taps' source columns only grow from left to right.
    m_spans.resize(std::size_t(sh));
    for (int r = 0; r < sh; ++r) {
        const uint8_t* row = bits + std::size_t(stride) * r;
        int first = 0, last = sw - 1;
        while (first < sw && (row[3 * first] | row[3 * first + 1] | row[3 * first + 2]) == 0) {
            ++first;
        }
        while (last > first && (row[3 * last] | row[3 * last + 1] | row[3 * last + 2]) == 0) {
            --last;
        }
        Span& span = m_spans[std::size_t(r)];
        span = {0, 0};
        if (first < sw) {
            auto lo = std::partition_point(m_taps.begin(), m_taps.end(),
                                           [&](const Tap& t) { return t.offset1 < 3 * first; });
            auto hi = std::partition_point(lo, m_taps.end(),
                                           [&](const Tap& t) { return t.offset0 <= 3 * last; });
            span = {int(lo - m_taps.begin()), int(hi - m_taps.begin())};
        }
    }
}

CResampledRows::SourceRows CResampledRows::RowsOf(int j) const {
    const int sh = m_nSourceHeight;
    const int64_t sy = int64_t(j) * sh * 16 / m_nHeight;
    const int r = int(std::min<int64_t>(sy / 16, std::max(sh - 2, 0)));
    return {r, std::min(r + 1, sh - 1), int(sy % 16)};
}

CResampledRows::Span CResampledRows::NonBlack(int j) const {
    const SourceRows rows = RowsOf(j);
    const Span a = m_spans[std::size_t(rows.upper)];
    const Span b = m_spans[std::size_t(rows.lower)];
    if (a.begin >= a.end) {
        return b;
    }
    if (b.begin >= b.end) {
        return a;
    }
    return {std::min(a.begin, b.begin), std::max(a.end, b.end)};
}

CResampledRows::Cursor::Cursor(const CResampledRows& rows)
    : m_rows(rows), m_upper(std::size_t(3) * rows.m_nWidth),
      m_lower(std::size_t(3) * rows.m_nWidth) {}

// Zero outside the row's own span, where its pixels are black.
void CResampledRows::Cursor::Sums(int r, std::vector<uint16_t>& out) const {
    const Span span = m_rows.m_spans[std::size_t(r)];
    std::fill(out.begin(), out.begin() + 3 * span.begin, uint16_t(0));
    std::fill(out.begin() + 3 * std::max(span.begin, span.end), out.end(), uint16_t(0));
    const uint8_t* row = m_rows.m_pBits + std::size_t(m_rows.m_nStride) * r;
    uint16_t* h = out.data() + 3 * span.begin;
    for (int i = span.begin; i < span.end; ++i) {
        const Tap& t = m_rows.m_taps[std::size_t(i)];
        for (int c = 0; c < 3; ++c) {
            h[c] =
                uint16_t((15 - t.fraction) * row[t.offset0 + c] + t.fraction * row[t.offset1 + c]);
        }
        h += 3;
    }
}

void CResampledRows::Cursor::Read(int j, uint8_t* out, int begin, int end) {
    if (end < 0) {
        end = m_rows.m_nWidth;
    }
    const Span span = m_rows.NonBlack(j);
    const int from = std::clamp(span.begin, begin, end);
    const int to = std::clamp(span.end, from, end);
    std::memset(out + 3 * begin, 0, std::size_t(3) * (from - begin));
    std::memset(out + 3 * to, 0, std::size_t(3) * (end - to));
    if (from >= to) {
        return;
    }
    const SourceRows rows = m_rows.RowsOf(j);
    if (m_nUpper != rows.upper && m_nLower == rows.upper) { // moving down by one source row
        std::swap(m_upper, m_lower);
        std::swap(m_nUpper, m_nLower);
    }
    if (m_nUpper != rows.upper) {
        Sums(rows.upper, m_upper);
        m_nUpper = rows.upper;
    }
    if (m_nLower != rows.lower) {
        Sums(rows.lower, m_lower);
        m_nLower = rows.lower;
    }
    MixRows(m_upper.data() + 3 * from, m_lower.data() + 3 * from, 15 - rows.fraction, rows.fraction,
            out + 3 * from, std::size_t(3) * (to - from));
}

namespace {

// A non-empty source into a non-empty destination raster, the rows shared out.
void Resample(const uint8_t* src, int sw, int sh, int sstride, uint8_t* dst, int dw, int dh,
              int dstride) {
    const CResampledRows rows(src, sw, sh, sstride, dw, dh);
    CRowPool::Shared().Run(dh, [&](int begin, int end) {
        CResampledRows::Cursor cursor(rows);
        for (int j = begin; j < end; ++j) {
            cursor.Read(j, dst + std::size_t(dstride) * j);
        }
    });
}

} // namespace

void CDibImage::Resize(int dw, int dh) {
    const int sw = m_nWidth;
    const int sh = m_nHeight;
    if (dw == sw && dh == sh) {
        return;
    }
    // Keep the old raster alive while the new one is filled.
    std::unique_ptr<uint8_t[]> old = std::move(m_pBits);
    const int oldStride = m_nStride;
    try {
        AllocateRaster(dw, dh, sw == 0 || sh == 0);
    } catch (...) {
        m_pBits = std::move(old);
        throw;
    }
    if (sw == 0 || sh == 0 || dw == 0 || dh == 0) {
        return; // nothing to sample from, or nothing to fill: black or empty
    }
    Resample(old.get(), sw, sh, oldStride, m_pBits.get(), dw, dh, m_nStride);
}

void CDibImage::ResizeFrom(const CDibImage& src) {
    if (src.m_nWidth == 0 || src.m_nHeight == 0) {
        Clear();
    } else if (m_nWidth > 0 && m_nHeight > 0) {
        Resample(src.Bits(), src.m_nWidth, src.m_nHeight, src.m_nStride, m_pBits.get(), m_nWidth,
                 m_nHeight, m_nStride);
    }
}

} // namespace vx
