#include "scanner/ScanImage.h"

#include "imageio/ImExp.h"
#include "res/Resource.h"
#include "res/StringTable.h"

#include <algorithm>
#include <cstring>

namespace vx {

namespace {

// One sample scaled to 8 bits; a 1-bit sample answers 0 or 1.
std::uint8_t Sample(const std::uint8_t* line, int depth, int index) {
    switch (depth) {
    case 1:
        return (line[index / 8] >> (7 - index % 8)) & 1;
    case 16: {
        std::uint16_t value;
        std::memcpy(&value, line + 2 * index, 2);
        return static_cast<std::uint8_t>(value >> 8);
    }
    default:
        return line[index];
    }
}

int ChannelOf(ScanFrameFormat::Kind kind) {
    return kind == ScanFrameFormat::Kind::Red ? 0 : kind == ScanFrameFormat::Kind::Green ? 1 : 2;
}

// The scanned rows as the image-file component asks for them: row 0 the bottom one, BGR.
class ScanRows : public CAbstractWriteWA {
public:
    explicit ScanRows(const CScanImage& image) : m_image(image) {}
    int GetCount(int& count) override {
        count = 1;
        return 0;
    }
    int GetSubCount(int, int& count) override {
        count = 1;
        return 0;
    }
    int GetSize(int, int, int& width, int& height) override {
        width = m_image.Width();
        height = m_image.Height();
        return 0;
    }
    int GetColorMode(int, int, int& mode) override {
        mode = kColorModeTrueColor;
        return 0;
    }
    int GetPalette(int, int, uint8_t*) override { return 0; }
    int GetResolution(int, int, int& x, int& y) override {
        x = y = 0;
        return 0;
    }
    int GetRow(int, int, int row, uint8_t* buffer) override {
        const int w = m_image.Width(), h = m_image.Height();
        if (row < 0 || row >= h) {
            return 0;
        }
        const uint8_t* rgb = m_image.Rgb().data() + size_t(h - 1 - row) * size_t(w) * 3;
        for (int x = 0; x < w; ++x) {
            buffer[3 * x] = rgb[3 * x + 2];
            buffer[3 * x + 1] = rgb[3 * x + 1];
            buffer[3 * x + 2] = rgb[3 * x];
        }
        return 0;
    }

private:
    const CScanImage& m_image;
};

} // namespace

void CScanImage::BeginFrame(const ScanFrameFormat& format) {
    m_format = format;
    m_pending.clear();
    m_line = 0;
    if (m_width == 0) {
        m_width = std::max(0, format.pixelsPerLine);
    }
    if (format.lines > m_height) {
        m_height = format.lines;
        m_rgb.resize(static_cast<std::size_t>(m_height) * m_width * 3, 0);
    }
}

void CScanImage::AddBytes(const std::uint8_t* bytes, std::size_t count) {
    const std::size_t stride = static_cast<std::size_t>(std::max(1, m_format.bytesPerLine));
    while (count > 0) {
        if (m_pending.empty() && count >= stride) {
            ConvertLine(bytes);
            bytes += stride;
            count -= stride;
            continue;
        }
        std::size_t take = std::min(count, stride - m_pending.size());
        m_pending.insert(m_pending.end(), bytes, bytes + take);
        bytes += take;
        count -= take;
        if (m_pending.size() == stride) {
            ConvertLine(m_pending.data());
            m_pending.clear();
        }
    }
}

void CScanImage::ConvertLine(const std::uint8_t* line) {
    if (m_format.lines >= 0 && m_line >= m_format.lines) {
        return; // a scanner that sends more than it announced: the extra is dropped
    }
    if (m_line >= m_height) {
        m_height = m_line + 1;
        m_rgb.resize(static_cast<std::size_t>(m_height) * m_width * 3, 0);
    }
    const int width = std::min(m_width, m_format.pixelsPerLine);
    const int depth = m_format.depth;
    std::uint8_t* out = m_rgb.data() + static_cast<std::size_t>(m_line) * m_width * 3;
    switch (m_format.kind) {
    case ScanFrameFormat::Kind::Grey:
        for (int x = 0; x < width; ++x) {
            std::uint8_t v = Sample(line, depth, x);
            if (depth == 1) {
                v = v ? 0 : 255; // line-art: a set bit is black
            }
            out[3 * x] = out[3 * x + 1] = out[3 * x + 2] = v;
        }
        break;
    case ScanFrameFormat::Kind::Rgb:
        for (int i = 0; i < 3 * width; ++i) {
            std::uint8_t v = Sample(line, depth, i);
            out[i] = depth == 1 ? (v ? 255 : 0) : v;
        }
        break;
    default: {
        const int channel = ChannelOf(m_format.kind);
        for (int x = 0; x < width; ++x) {
            std::uint8_t v = Sample(line, depth, x);
            out[3 * x + channel] = depth == 1 ? (v ? 255 : 0) : v;
        }
        break;
    }
    }
    ++m_line;
}

bool CScanImage::SavePng(const std::string& path, std::string& error) const {
    if (m_width <= 0 || m_height <= 0) {
        error = res::LoadString(res::IDS_SCAN_EMPTY);
        return false;
    }
    ScanRows rows(*this);
    int one = 1;
    if (ImExp_WriteFile(&rows, nullptr, path.c_str(), &one, nullptr, nullptr, 1)) {
        return true;
    }
    error = res::FormatString(res::IDS_SCAN_NOT_WRITTEN, {path});
    return false;
}

} // namespace vx
