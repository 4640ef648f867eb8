// The picture's side of the image-file component: a pixel sink that collects a file's rows in
// the picture layout, and a pixel source over a picture.
#pragma once

#include "imageio/ImExp.h"
#include "picture/DibImage.h"

#include <memory>

namespace vx {

class CDibReadWA : public CAbstractReadWA {
public:
    int SetSize(int, int, int width, int height) override;
    int SetColorMode(int, int, int mode) override;
    int PutRow(int, int, int row, const uint8_t* data) override;
    bool HoldsRows() const override { return true; }
    uint8_t* Rows(int& stride) override {
        stride = m_nStride;
        return m_pPixels;
    }

    bool HasBuffer() const { return m_pBuffer != nullptr; }
    // The buffer could not be allocated.
    bool OutOfMemory() const { return m_bOutOfMemory; }
    const BitmapInfoHeader* Header() const {
        return reinterpret_cast<const BitmapInfoHeader*>(m_pBuffer.get());
    }
    const uint8_t* Pixels() const { return m_pPixels; }
    int Stride() const { return m_nStride; }
    void FreeBuffer();

private:
    void MakeBuffer();

    int m_nStride = 0;
    std::unique_ptr<uint8_t[]> m_pBuffer; // 40-byte header, then the rows
    uint8_t* m_pPixels = nullptr;
    int m_nWidth = 0;
    int m_nHeight = 0;
    int m_nColorMode = -1;
    bool m_bOutOfMemory = false;
};

// Points at a picture's header and raster without owning them: the picture must outlive it.
class CDibWriteWA : public CAbstractWriteWA {
public:
    CDibWriteWA(const BitmapInfoHeader* header, const uint8_t* pixels)
        : m_pHeader(header), m_pPixels(pixels) {}

    int GetCount(int& count) override;
    int GetSubCount(int, int& count) override;
    int GetSize(int, int, int& width, int& height) override;
    int GetColorMode(int, int, int& mode) override;
    int GetPalette(int, int, uint8_t* table) override;
    int GetResolution(int, int, int& x, int& y) override;
    int GetRow(int, int, int row, uint8_t* buffer) override;

private:
    const BitmapInfoHeader* m_pHeader;
    const uint8_t* m_pPixels;
};

// A hint that a large raster is about to be written whole: it is faulted in as huge pages, which
// costs a fraction of the page faults of small ones.
void AdviseWholeWrite(uint8_t* data, std::size_t bytes);

// Throws CMyException code 3 when the adapter cannot be allocated.
std::unique_ptr<CAbstractWriteWA> MakeWriteSource(const CDibImage& image);

} // namespace vx
