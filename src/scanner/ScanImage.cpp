#include "scanner/ScanImage.h"

#include <png.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>

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
        error = "The scanner delivered an empty picture.";
        return false;
    }
    const std::string temp = path + ".part";
    std::FILE* file = std::fopen(temp.c_str(), "wb");
    if (!file) {
        error = "Can't write the scanned picture to " + path + ":\n" + std::strerror(errno);
        return false;
    }
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    volatile bool written = false;
    if (info && setjmp(png_jmpbuf(png)) == 0) {
        png_init_io(png, file);
        png_set_IHDR(png, info, static_cast<png_uint_32>(m_width),
                     static_cast<png_uint_32>(m_height), 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                     PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
        png_write_info(png, info);
        for (int y = 0; y < m_height; ++y) {
            png_write_row(png, m_rgb.data() + static_cast<std::size_t>(y) * m_width * 3);
        }
        png_write_end(png, info);
        written = true;
    }
    png_destroy_write_struct(&png, &info);
    const bool flushed = std::fflush(file) == 0 && !std::ferror(file);
    const bool closed = std::fclose(file) == 0;
    std::error_code ec;
    if (written && flushed && closed) {
        std::filesystem::rename(temp, path, ec);
        if (!ec) {
            return true;
        }
    }
    std::filesystem::remove(temp, ec);
    error = "Can't write the scanned picture to " + path + ".";
    return false;
}

} // namespace vx
