#include "support/DngWriter.h"

#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <vector>

namespace vx::test {

namespace {

void Put16(std::string& s, uint16_t v) {
    s += char(v & 0xff);
    s += char(v >> 8);
}
void Put32(std::string& s, uint32_t v) {
    Put16(s, uint16_t(v));
    Put16(s, uint16_t(v >> 16));
}

} // namespace

std::string Dng(int w, int h, int orientation) {
    struct Entry {
        uint16_t tag, type;
        uint32_t count;
        std::string data;
    };
    auto shorts = [](std::initializer_list<uint16_t> v) {
        std::string s;
        for (uint16_t x : v) {
            Put16(s, x);
        }
        return s;
    };
    auto longs = [](std::initializer_list<uint32_t> v) {
        std::string s;
        for (uint32_t x : v) {
            Put32(s, x);
        }
        return s;
    };
    auto rationals = [](std::initializer_list<double> v) {
        std::string s;
        for (double x : v) {
            Put32(s, uint32_t(int32_t(x * 10000)));
            Put32(s, 10000);
        }
        return s;
    };
    const uint32_t pixelBytes = uint32_t(w) * h * 2;
    std::vector<Entry> entries = {
        {254, 4, 1, longs({0})},
        {256, 4, 1, longs({uint32_t(w)})},
        {257, 4, 1, longs({uint32_t(h)})},
        {258, 3, 1, shorts({16})},
        {259, 3, 1, shorts({1})},
        {262, 3, 1, shorts({32803})},
        {271, 2, 6, std::string("Vexel", 6)},
        {272, 2, 5, std::string("Test", 5)},
        {273, 4, 1, longs({0})}, // patched below
        {274, 3, 1, shorts({uint16_t(orientation)})},
        {277, 3, 1, shorts({1})},
        {278, 4, 1, longs({uint32_t(h)})},
        {279, 4, 1, longs({pixelBytes})},
        {284, 3, 1, shorts({1})},
        {33421, 3, 2, shorts({2, 2})},
        {33422, 1, 4, std::string("\0\1\1\2", 4)},
        {50706, 1, 4, std::string("\1\4\0\0", 4)},
        {50708, 2, 11, std::string("Vexel Test", 11)},
        {50717, 4, 1, longs({65535})},
        {50721, 10, 9,
         rationals({3.2406, -1.5372, -0.4986, -0.9689, 1.8758, 0.0415, 0.0557, -0.2040, 1.0570})},
        {50728, 5, 3, rationals({0.5, 1, 0.8})},
        {50778, 3, 1, shorts({21})},
    };
    const uint32_t ifdBytes = 2 + 12 * uint32_t(entries.size()) + 4;
    uint32_t extra = 8 + ifdBytes;
    std::string ifd, data;
    Put16(ifd, uint16_t(entries.size()));
    for (Entry& e : entries) {
        Put16(ifd, e.tag);
        Put16(ifd, e.type);
        Put32(ifd, e.count);
        if (e.data.size() <= 4) {
            e.data.resize(4, '\0');
            ifd += e.data;
        } else {
            Put32(ifd, extra + uint32_t(data.size()));
            data += e.data;
            data.resize((data.size() + 1) & ~size_t(1), '\0');
        }
    }
    Put32(ifd, 0);
    const uint32_t pixelsAt = extra + uint32_t(data.size());
    std::memcpy(ifd.data() + 2 + 12 * 8 + 8, &pixelsAt, 4);
    std::string file = std::string("II*\0", 4);
    Put32(file, 8);
    file += ifd + data;
    file.reserve(file.size() + pixelBytes);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            const int site = (y % 2) * 2 + x % 2; // 0 red, 1 and 2 green, 3 blue
            const double gain = site == 0 ? 0.5 : site == 3 ? 0.8 : 1.0;
            const double grey = x < w / 2 && y < h / 2 ? 24000 : 12000;
            Put16(file, uint16_t(grey * gain));
        }
    }
    return file;
}

} // namespace vx::test
