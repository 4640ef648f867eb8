#include "imageio/DibAdapters.h"

#include "base/MyException.h"

#include <cstring>
#include <new>
#include <sys/mman.h>

namespace vx {

int CDibReadWA::SetSize(int, int, int width, int height) {
    m_nWidth = width;
    m_nHeight = height;
    if (m_nColorMode != -1) {
        MakeBuffer();
    }
    return 0;
}

int CDibReadWA::SetColorMode(int, int, int mode) {
    m_nColorMode = mode;
    if (m_nWidth != 0 && m_nHeight != 0) {
        MakeBuffer();
    }
    return 0;
}

int CDibReadWA::PutRow(int, int, int row, const uint8_t* data) {
    if (m_pBuffer && row >= 0 && row < m_nHeight) {
        std::memcpy(m_pPixels + std::size_t(m_nStride) * row, data, m_nStride);
    }
    return 0;
}

void CDibReadWA::FreeBuffer() {
    m_pBuffer.reset();
    m_pPixels = nullptr;
}

void CDibReadWA::MakeBuffer() {
    FreeBuffer();
    // Only 24-bit rows are taken; anything else leaves no buffer and the read counts as failed.
    if (m_nColorMode != kColorModeTrueColor || !ImExp_SizeAllowed(m_nWidth, m_nHeight)) {
        return;
    }
    m_nStride = ((m_nWidth * 24 + 31) / 32) * 4;
    const std::size_t bytes = std::size_t(m_nHeight) * m_nStride + 40;
    m_pBuffer.reset(new (std::nothrow) uint8_t[bytes]);
    if (!m_pBuffer) {
        m_bOutOfMemory = true;
        return;
    }
    AdviseWholeWrite(m_pBuffer.get(), bytes);
    BitmapInfoHeader h{};
    h.biSize = 40;
    h.biWidth = m_nWidth;
    h.biHeight = m_nHeight;
    h.biPlanes = 1;
    h.biBitCount = 24;
    h.biCompression = 0;
    h.biSizeImage = uint32_t(std::size_t(m_nStride) * m_nHeight);
    std::memcpy(m_pBuffer.get(), &h, 40);
    m_pPixels = m_pBuffer.get() + 40;
    // The last bytes of a row that the component may not fill are padding.
    for (int y = 0; y < m_nHeight; ++y) {
        std::memset(m_pPixels + std::size_t(m_nStride) * y + 3 * m_nWidth, 0,
                    m_nStride - 3 * m_nWidth);
    }
}

int CDibWriteWA::GetCount(int& count) {
    if (!m_pHeader) {
        return 1;
    }
    count = 1;
    return 0;
}

int CDibWriteWA::GetSubCount(int, int& count) {
    if (!m_pHeader) {
        return 1;
    }
    count = 1;
    return 0;
}

int CDibWriteWA::GetSize(int, int, int& width, int& height) {
    if (!m_pHeader) {
        return 1;
    }
    width = m_pHeader->biWidth;
    height = m_pHeader->biHeight;
    return 0;
}

int CDibWriteWA::GetColorMode(int, int, int& mode) {
    if (!m_pHeader) {
        return 1;
    }
    mode = m_pHeader->biBitCount == 24 ? kColorModeTrueColor : kColorModeIndexed;
    return 0;
}

int CDibWriteWA::GetPalette(int, int, uint8_t* table) {
    if (!m_pHeader) {
        return 1;
    }
    if (m_pHeader->biBitCount == 8) {
        // The palette follows the header, blue, green, red, reserved; written red first.
        const uint8_t* palette = reinterpret_cast<const uint8_t*>(m_pHeader) + 40;
        for (int i = 0; i < 256; ++i) {
            table[4 * i] = palette[4 * i + 2];
            table[4 * i + 1] = palette[4 * i + 1];
            table[4 * i + 2] = palette[4 * i];
        }
    }
    return 0;
}

int CDibWriteWA::GetResolution(int, int, int& x, int& y) {
    if (!m_pHeader) {
        return 1;
    }
    x = int((int64_t(m_pHeader->biXPelsPerMeter) * 254 + 5000) / 10000);
    y = int((int64_t(m_pHeader->biYPelsPerMeter) * 254 + 5000) / 10000);
    return 0;
}

int CDibWriteWA::GetRow(int, int, int row, uint8_t* buffer) {
    if (!m_pHeader) {
        return 1;
    }
    const int w = m_pHeader->biWidth;
    if (row < 0 || row >= m_pHeader->biHeight) {
        return 0;
    }
    if (m_pHeader->biBitCount == 24) {
        const std::size_t stride = ((3 * std::size_t(w) + 3) / 4) * 4;
        std::memcpy(buffer, m_pPixels + stride * row, 3 * std::size_t(w));
    } else if (m_pHeader->biBitCount == 8) {
        const std::size_t stride = ((std::size_t(w) + 3) / 4) * 4;
        std::memcpy(buffer, m_pPixels + stride * row, w);
    }
    return 0;
}

void AdviseWholeWrite(uint8_t* data, std::size_t bytes) {
    constexpr std::uintptr_t kHuge = std::uintptr_t(2) << 20;
    const std::uintptr_t begin =
        (reinterpret_cast<std::uintptr_t>(data) + kHuge - 1) & ~(kHuge - 1);
    const std::uintptr_t end = (reinterpret_cast<std::uintptr_t>(data) + bytes) & ~(kHuge - 1);
    if (end > begin) {
        madvise(reinterpret_cast<void*>(begin), end - begin, MADV_HUGEPAGE);
    }
}

std::unique_ptr<CAbstractWriteWA> MakeWriteSource(const CDibImage& image) {
    std::unique_ptr<CAbstractWriteWA> writer(new (std::nothrow)
                                                 CDibWriteWA(image.Header(), image.Bits()));
    if (!writer) {
        throw CMyException(3);
    }
    return writer;
}

} // namespace vx
