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

namespace {

// Bilinear resample of a non-empty sw x sh raster into a non-empty dw x dh one. The weighted sum
// (15 - fy) [(15 - fx) P00 + fx P10] + fy [(15 - fx) P01 + fx P11] is the same integer as the
// four-term one, so the horizontal sums of a source row are worked out once for every destination
// row that reads it, and each destination row is two of them mixed, a vector loop.
void Resample(const uint8_t* src, int sw, int sh, int sstride, uint8_t* dst, int dw, int dh,
              int dstride) {
    // A 1-pixel side repeats its only column or row instead of reading past it; from 2 pixels on
    // this is exactly the clamp to sw - 2 and sh - 2.
    struct Tap {
        int offset0;
        int offset1;
        int f;
    };
    std::vector<Tap> cols(static_cast<std::size_t>(dw));
    for (int i = 0; i < dw; ++i) {
        const int64_t sx = (int64_t(i) * sw * 16) / dw;
        const int col = int(std::min<int64_t>(sx / 16, std::max(sw - 2, 0)));
        const int col1 = std::min(col + 1, sw - 1);
        cols[std::size_t(i)] = {3 * col, 3 * col1, int(sx % 16)};
    }
    const std::size_t n = std::size_t(3) * dw;
    CRowPool::Shared().Run(dh, [&](int begin, int end) {
        std::vector<uint16_t> upper(n), lower(n);
        int upperRow = -1, lowerRow = -1; // the source rows whose sums they hold
        auto sums = [&](int r, std::vector<uint16_t>& out) {
            const uint8_t* row = src + std::size_t(sstride) * r;
            uint16_t* h = out.data();
            for (const Tap& t : cols) {
                for (int c = 0; c < 3; ++c) {
                    h[c] = uint16_t((15 - t.f) * row[t.offset0 + c] + t.f * row[t.offset1 + c]);
                }
                h += 3;
            }
        };
        for (int j = begin; j < end; ++j) {
            const int64_t sy = int64_t(j) * sh * 16 / dh;
            const int r = int(std::min<int64_t>(sy / 16, std::max(sh - 2, 0)));
            const int r1 = std::min(r + 1, sh - 1);
            const int fy = int(sy % 16);
            if (upperRow != r && lowerRow == r) { // moving down by one source row
                std::swap(upper, lower);
                std::swap(upperRow, lowerRow);
            }
            if (upperRow != r) {
                sums(r, upper);
                upperRow = r;
            }
            if (lowerRow != r1) {
                sums(r1, lower);
                lowerRow = r1;
            }
            MixRows(upper.data(), lower.data(), 15 - fy, fy, dst + std::size_t(dstride) * j, n);
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
