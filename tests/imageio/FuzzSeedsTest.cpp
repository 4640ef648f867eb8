#include "TestImages.h"
#include "imageio/DibAdapters.h"
#include "imageio/ImExp.h"
#include "support/TempDir.h"
#include "support/TestData.h"

#include <gtest/gtest.h>
#include <png.h>
#include <tiffio.h>
#include <webp/encode.h>

using namespace vx;

namespace {

// Little-endian BMP from its info header fields, palette and pixel bytes.
std::string Bmp(int w, int h, int bpp, int compression, const std::string& palette,
                const std::string& pixels) {
    std::string s(54, '\0');
    auto put = [&](size_t at, uint32_t v, int n) {
        for (int i = 0; i < n; ++i) {
            s[at + i] = char(v >> (8 * i));
        }
    };
    s[0] = 'B';
    s[1] = 'M';
    put(2, uint32_t(54 + palette.size() + pixels.size()), 4);
    put(10, uint32_t(54 + palette.size()), 4);
    put(14, 40, 4);
    put(18, uint32_t(w), 4);
    put(22, uint32_t(h), 4);
    put(26, 1, 2);
    put(28, uint32_t(bpp), 2);
    put(30, uint32_t(compression), 4);
    put(46, uint32_t(palette.size() / 4), 4);
    return s + palette + pixels;
}

std::string Ramp(size_t n, int mul) {
    std::string s(n, '\0');
    for (size_t i = 0; i < n; ++i) {
        s[i] = char(i * mul);
    }
    return s;
}

void Tiff(const std::string& path, int w, int h, int samples, int bits, int compression,
          bool tiled) {
    TIFF* tif = TIFFOpen(path.c_str(), "w");
    TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, w);
    TIFFSetField(tif, TIFFTAG_IMAGELENGTH, h);
    TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, bits);
    TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, samples);
    TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, samples >= 3 ? PHOTOMETRIC_RGB : PHOTOMETRIC_MINISBLACK);
    TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(tif, TIFFTAG_COMPRESSION, compression);
    if (samples == 4) {
        const uint16_t extra = EXTRASAMPLE_UNASSALPHA;
        TIFFSetField(tif, TIFFTAG_EXTRASAMPLES, 1, &extra);
    }
    const std::string data = Ramp(size_t(w) * h * samples * bits / 8, 13);
    if (tiled) {
        TIFFSetField(tif, TIFFTAG_TILEWIDTH, 16);
        TIFFSetField(tif, TIFFTAG_TILELENGTH, 16);
        std::string tile = Ramp(size_t(16) * 16 * samples * bits / 8, 5);
        for (int ty = 0; ty < h; ty += 16) {
            for (int tx = 0; tx < w; tx += 16) {
                TIFFWriteTile(tif, tile.data(), tx, ty, 0, 0);
            }
        }
    } else {
        TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, 4);
        const size_t row = size_t(w) * samples * bits / 8;
        for (int y = 0; y < h; ++y) {
            TIFFWriteScanline(tif, const_cast<char*>(data.data() + row * y), y, 0);
        }
    }
    TIFFClose(tif);
}

} // namespace

// The image fuzz target's seed corpus: a small file of each format and variant the readers take.
TEST(FuzzSeeds, Images) {
    if (!test::FuzzSeedsWanted()) {
        GTEST_SKIP() << "VEXEL_FUZZ_SEEDS not set";
    }
    test::TempDir dir;
    auto seed = [&](const std::string& name, const std::string& path) {
        const std::string bytes = test::ReadWholeFile(path);
        ASSERT_FALSE(bytes.empty()) << name;
        ASSERT_LE(bytes.size(), 4096u) << name; // the fuzz run's longest input
        test::WriteFuzzSeed("image", name, bytes);
    };
    // Our own writers.
    CDibImage image(13, 7);
    for (size_t i = 0; i < image.RasterBytes(); ++i) {
        image.Bits()[i] = uint8_t(i * 29);
    }
    for (const char* ext : {"png", "jpg", "tif", "webp", "bmp"}) {
        const std::string path = dir.File(std::string("own.") + ext);
        auto writer = MakeWriteSource(image);
        int one = 1;
        ASSERT_EQ(ImExp_WriteFile(writer.get(), nullptr, path.c_str(), &one, nullptr, nullptr, 1),
                  1);
        seed(std::string("own.") + ext, path);
    }
    // PNG: grey, 16-bit, palette with transparency, alpha, interlaced.
    const std::string p = dir.File("x.png");
    auto png = [&](const std::string& name, int w, int h, int type, int depth, bool adam7,
                   size_t bytes, std::vector<uint8_t> palette = {},
                   std::vector<uint8_t> trns = {}) {
        const std::string s = Ramp(bytes, 11);
        test::WritePng(p, w, h, type, depth, adam7, std::vector<uint8_t>(s.begin(), s.end()),
                       palette, trns);
        seed(name, p);
    };
    png("grey1.png", 16, 4, PNG_COLOR_TYPE_GRAY, 1, false, 8);
    png("grey8.png", 8, 4, PNG_COLOR_TYPE_GRAY, 8, false, 32);
    png("grey16.png", 4, 4, PNG_COLOR_TYPE_GRAY, 16, false, 32);
    png("rgb16.png", 4, 4, PNG_COLOR_TYPE_RGB, 16, false, 96);
    const std::vector<uint8_t> indices = {0x01, 0x20, 0x12, 0x00, 0x21, 0x02, 0x10, 0x11,
                                          0x22, 0x00, 0x01, 0x20, 0x12, 0x21, 0x10, 0x02};
    test::WritePng(p, 8, 4, PNG_COLOR_TYPE_PALETTE, 4, false, indices,
                   {1, 2, 3, 50, 60, 70, 200, 100, 0}, {0, 128});
    seed("palette4-trns.png", p);
    png("rgba.png", 6, 4, PNG_COLOR_TYPE_RGBA, 8, false, 96);
    png("grey-alpha.png", 6, 4, PNG_COLOR_TYPE_GRAY_ALPHA, 8, false, 48);
    png("adam7.png", 9, 9, PNG_COLOR_TYPE_RGB, 8, true, 243);
    png("adam7-rgba.png", 9, 9, PNG_COLOR_TYPE_RGBA, 8, true, 324);
    // JPEG: grey, CMYK, progressive, turned.
    const std::string j = dir.File("x.jpg");
    auto jpeg = [&](const std::string& name, int components, int orientation, bool progressive) {
        const std::string s = Ramp(size_t(16) * 16 * components, 3);
        test::WriteJpeg(j, 16, 16, components, std::vector<uint8_t>(s.begin(), s.end()),
                        orientation, progressive);
        seed(name, j);
    };
    jpeg("grey.jpg", 1, 1, false);
    jpeg("cmyk.jpg", 4, 1, false);
    jpeg("progressive.jpg", 3, 1, true);
    jpeg("progressive-grey.jpg", 1, 1, true);
    jpeg("orientation6.jpg", 3, 6, false);
    // TIFF: strips and tiles, grey, 16-bit, alpha, compressions.
    const std::string t = dir.File("x.tif");
    Tiff(t, 12, 10, 3, 8, COMPRESSION_NONE, false);
    seed("strips.tif", t);
    Tiff(t, 20, 18, 3, 8, COMPRESSION_ADOBE_DEFLATE, true);
    seed("tiles-deflate.tif", t);
    Tiff(t, 12, 10, 1, 8, COMPRESSION_PACKBITS, false);
    seed("grey-packbits.tif", t);
    Tiff(t, 8, 6, 3, 16, COMPRESSION_LZW, false);
    seed("rgb16-lzw.tif", t);
    Tiff(t, 8, 6, 4, 8, COMPRESSION_NONE, false);
    seed("rgba.tif", t);
    // WebP: lossy, lossless with alpha.
    const std::string rgba = Ramp(16 * 16 * 4, 7);
    const auto* px = reinterpret_cast<const uint8_t*>(rgba.data());
    uint8_t* out = nullptr;
    size_t n = WebPEncodeBGR(px, 16, 16, 16 * 3, 80, &out);
    test::WriteFuzzSeed("image", "lossy.webp", std::string(reinterpret_cast<char*>(out), n));
    WebPFree(out);
    n = WebPEncodeBGRA(px, 16, 16, 16 * 4, 80, &out);
    test::WriteFuzzSeed("image", "lossy-alpha.webp", std::string(reinterpret_cast<char*>(out), n));
    WebPFree(out);
    n = WebPEncodeLosslessBGRA(px, 16, 16, 16 * 4, &out);
    test::WriteFuzzSeed("image", "lossless-alpha.webp",
                        std::string(reinterpret_cast<char*>(out), n));
    WebPFree(out);
    // BMP: every depth, run lengths, top-down, bit fields.
    const std::string pal2 = Ramp(8, 90), pal16 = Ramp(64, 17), pal256 = Ramp(1024, 1);
    test::WriteFuzzSeed("image", "1bit.bmp", Bmp(9, 2, 1, 0, pal2, Ramp(8, 77)));
    test::WriteFuzzSeed("image", "4bit.bmp", Bmp(5, 3, 4, 0, pal16, Ramp(12, 31)));
    test::WriteFuzzSeed("image", "8bit.bmp", Bmp(5, 3, 8, 0, pal256, Ramp(24, 31)));
    test::WriteFuzzSeed("image", "16bit.bmp", Bmp(3, 2, 16, 0, "", Ramp(16, 45)));
    test::WriteFuzzSeed("image", "24bit-topdown.bmp", Bmp(3, -2, 24, 0, "", Ramp(24, 45)));
    test::WriteFuzzSeed("image", "32bit.bmp", Bmp(2, 2, 32, 0, "", Ramp(16, 45)));
    const std::string rle8 =
        std::string("\x03\x01\x00\x00\x00\x03\x02\x05\x07\x00\x00\x02\x01\x00\x00\x01", 16);
    test::WriteFuzzSeed("image", "rle8.bmp", Bmp(4, 3, 8, 1, pal256, rle8));
    const std::string rle4 = std::string("\x04\x12\x00\x00\x00\x03\x34\x50\x00\x01", 10);
    test::WriteFuzzSeed("image", "rle4.bmp", Bmp(4, 2, 4, 2, pal16, rle4));
}
