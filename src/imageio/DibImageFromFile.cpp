#include "base/MyException.h"
#include "base/Platform.h"
#include "imageio/DibAdapters.h"
#include "imageio/FileProgress.h"
#include "picture/DibImage.h"
#include "res/Resource.h"
#include "res/StringTable.h"

#include <cstring>
#include <functional>

namespace vx {

namespace {

// Takes the rows straight into the picture's raster, which it has allocated as soon as the size
// is known: the file is decoded into it, with no second copy of the picture on the way.
class RasterReader : public CAbstractReadWA {
public:
    using Allocate = std::function<uint8_t*(int width, int height)>;
    explicit RasterReader(Allocate allocate) : m_allocate(std::move(allocate)) {}

    int SetSize(int, int, int width, int height) override {
        m_width = width;
        m_height = height;
        return 0;
    }
    int SetColorMode(int, int, int mode) override {
        m_bits = nullptr;
        // Only 24-bit rows are taken; anything else leaves no raster and the read fails.
        if (mode == kColorModeTrueColor && ImExp_SizeAllowed(m_width, m_height)) {
            try {
                m_bits = m_allocate(m_width, m_height);
            } catch (const CMyException&) {
                m_outOfMemory = true;
            }
        }
        return 0;
    }
    int PutRow(int, int, int row, const uint8_t* data) override {
        if (m_bits && row >= 0 && row < m_height) {
            std::memcpy(m_bits + size_t(Stride()) * row, data, 3 * size_t(m_width));
        }
        return 0;
    }
    bool HoldsRows() const override { return true; }
    uint8_t* Rows(int& stride) override {
        stride = Stride();
        return m_bits;
    }

    bool HasRaster() const { return m_bits != nullptr; }
    bool OutOfMemory() const { return m_outOfMemory; }
    int Width() const { return m_width; }
    int Height() const { return m_height; }
    void Reset() {
        m_bits = nullptr;
        m_outOfMemory = false;
    }

private:
    int Stride() const { return CDibImage::StrideFor(m_width); }

    Allocate m_allocate;
    uint8_t* m_bits = nullptr;
    int m_width = 0;
    int m_height = 0;
    bool m_outOfMemory = false;
};

} // namespace

CDibImage::CDibImage(IPlatform& ui, const std::string& filePath, bool showProgress)
    : CDibImage(NoRaster{}) {
    std::string path = filePath;
    CFileProgress progress(ui, path, true);
    RasterReader reader([this](int width, int height) {
        AllocateRaster(width, height, false);
        AdviseWholeWrite(Bits(), RasterBytes());
        return Bits();
    });
    for (;;) {
        const int ok = ImExp_ReadFile(&reader, nullptr, path.c_str(), kColorModeTrueColor,
                                      showProgress ? &progress : nullptr, nullptr, 1);
        if (ok && reader.HasRaster()) {
            break;
        }
        const bool outOfMemory = reader.OutOfMemory();
        reader.Reset();
        AllocateRaster(0, 0, false); // what a failed read left is not kept
        const std::string details = CMyException::FileDetails(
            path, outOfMemory ? res::FormatString(res::IDS_REASON_NO_MEMORY_SIZE,
                                                  {std::to_string(reader.Width()),
                                                   std::to_string(reader.Height())})
                              : ImExp_LastErrorText());
        // A picture too large to hold is a memory problem, not a file to look for elsewhere.
        if (outOfMemory || ImExp_LastError() == ImExpError::TooLarge) {
            throw CMyException(3, details);
        }
        if (ui.MessageBox(res::LoadString(res::IDS_LOCATE_FILE), MsgButtons::YesNo,
                          MsgIcon::Exclamation, details) != MsgResult::Yes) {
            throw CMyException(4, details);
        }
        char chosen[kPathBufferSize] = "";
        if (!ImExp_SelectFileToRead(ui, chosen)) {
            throw CMyException(4, details);
        }
        path = chosen;
    }
    SetPath(path);
}

} // namespace vx
