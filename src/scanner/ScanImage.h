// A scanned picture put together from the scanner's frames, always as 8-bit RGB.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace vx {

// How the bytes of one frame are laid out (the scanner's own parameters).
struct ScanFrameFormat {
    enum class Kind { Grey, Rgb, Red, Green, Blue };
    Kind kind = Kind::Rgb;
    int depth = 8; // bits per sample: 1, 8 or 16 (16-bit samples in host byte order)
    int pixelsPerLine = 0;
    int bytesPerLine = 0;
    int lines = -1; // -1 when the scanner does not know the height in advance
};

class CScanImage {
public:
    // Starts a frame; the frames of a three-pass scan fill one channel each of the same picture.
    void BeginFrame(const ScanFrameFormat& format);
    // Bytes of the current frame as they arrive, in any portions.
    void AddBytes(const std::uint8_t* bytes, std::size_t count);

    int Width() const { return m_width; }
    int Height() const { return m_height; }
    // Rows top row first, 3 bytes a pixel in the order red, green, blue, no padding.
    const std::vector<std::uint8_t>& Rgb() const { return m_rgb; }

    // Writes the picture as a PNG file through the image-file component; on failure the
    // message says why and whatever was at the path is kept.
    bool SavePng(const std::string& path, std::string& error) const;

private:
    void ConvertLine(const std::uint8_t* line);

    ScanFrameFormat m_format;
    std::vector<std::uint8_t> m_pending; // the part of a line not yet complete
    int m_line = 0;                      // next line of the current frame
    int m_width = 0;
    int m_height = 0;
    std::vector<std::uint8_t> m_rgb;
};

} // namespace vx
