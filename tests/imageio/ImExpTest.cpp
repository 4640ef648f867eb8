#include "imageio/ImExp.h"
#include "TestImages.h"
#include "base/MyException.h"
#include "imageio/DibAdapters.h"
#include "imageio/FileProgress.h"
#include "support/ScriptedPlatform.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>
#include <png.h>
#include <tiffio.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <random>

using namespace vx;

using test::LoadCode;

namespace {

std::unique_ptr<CDibImage> Asymmetric(int w, int h) {
    auto image = std::make_unique<CDibImage>(w, h);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            uint8_t* p = image->Row(y) + 3 * x;
            p[0] = uint8_t(x * 7 + y * 3);
            p[1] = uint8_t(x * 11 + 40);
            p[2] = uint8_t(y * 13 + 5);
        }
    }
    return image;
}

int Save(const CDibImage& image, const std::string& path, CProgress* progress = nullptr) {
    auto writer = MakeWriteSource(image);
    int one = 1;
    return ImExp_WriteFile(writer.get(), nullptr, path.c_str(), &one, progress, nullptr, 1);
}

bool SameRaster(const CDibImage& a, const CDibImage& b) {
    if (a.Width() != b.Width() || a.Height() != b.Height()) {
        return false;
    }
    for (int y = 0; y < a.Height(); ++y) {
        if (std::memcmp(a.Row(y), b.Row(y), 3 * size_t(a.Width())) != 0) {
            return false;
        }
    }
    return true;
}

const uint8_t* Px(const CDibImage& image, int x, int y) {
    return image.Row(y) + 3 * x;
}

struct ImageFiles : ::testing::Test {
    test::TempDir dir;
};

} // namespace

TEST_F(ImageFiles, LosslessFormatsRoundTripBitExact) {
    for (const char* ext : {"png", "bmp", "tif", "webp"}) {
        for (auto [w, h] : {std::pair{5, 3}, std::pair{37, 20}, std::pair{1, 1}}) {
            auto image = Asymmetric(w, h);
            const std::string path = dir.File(std::string("a.") + ext);
            ASSERT_EQ(Save(*image, path), 1) << ext;
            std::unique_ptr<CDibImage> back;
            ASSERT_EQ(LoadCode(path, &back), 0) << ext;
            EXPECT_TRUE(SameRaster(*image, *back)) << ext << " " << w << "x" << h;
            EXPECT_EQ(back->Stride(), CDibImage::StrideFor(w));
            EXPECT_EQ(back->GetPath(), path);
            EXPECT_EQ(back->FrameIndex(), -1);
        }
    }
    std::unique_ptr<CDibImage> five;
    LoadCode(dir.File("a.png"), &five);
    Save(*Asymmetric(5, 3), dir.File("five.png"));
    LoadCode(dir.File("five.png"), &five);
    EXPECT_EQ(five->Stride(), 16);
}

TEST_F(ImageFiles, JpegRoundTripWithinTolerance) {
    auto image = std::make_unique<CDibImage>(64, 48);
    for (int y = 0; y < 48; ++y) {
        for (int x = 0; x < 64; ++x) {
            uint8_t* p = image->Row(y) + 3 * x;
            p[0] = uint8_t(x * 4);
            p[1] = uint8_t(y * 5);
            p[2] = uint8_t(128);
        }
    }
    ASSERT_EQ(Save(*image, dir.File("a.jpg")), 1);
    std::unique_ptr<CDibImage> back;
    ASSERT_EQ(LoadCode(dir.File("a.jpg"), &back), 0);
    long error = 0;
    for (int y = 0; y < 48; ++y) {
        for (int i = 0; i < 64 * 3; ++i) {
            error += std::abs(int(image->Row(y)[i]) - int(back->Row(y)[i]));
        }
    }
    EXPECT_LT(double(error) / (64 * 48 * 3), 3.0);
}

TEST_F(ImageFiles, RowZeroIsTheBottomRowAndContentDecidesTheFormat) {
    // Top row red, bottom row blue, written top first as files store them.
    std::vector<uint8_t> rgb = {255, 0, 0, 255, 0, 0, 0, 0, 255, 0, 0, 255};
    test::WritePng(dir.File("png-named.jpg"), 2, 2, PNG_COLOR_TYPE_RGB, 8, false, rgb);
    std::unique_ptr<CDibImage> image;
    ASSERT_EQ(LoadCode(dir.File("png-named.jpg"), &image), 0);
    EXPECT_EQ(Px(*image, 0, 0)[0], 255); // blue byte of the bottom row
    EXPECT_EQ(Px(*image, 0, 0)[2], 0);
    EXPECT_EQ(Px(*image, 1, 1)[2], 255); // red byte of the top row
}

TEST_F(ImageFiles, PngColourTypesDepthsAlphaAndInterlace) {
    std::unique_ptr<CDibImage> image;
    test::WritePng(dir.File("g8.png"), 2, 1, PNG_COLOR_TYPE_GRAY, 8, false, {0, 200});
    ASSERT_EQ(LoadCode(dir.File("g8.png"), &image), 0);
    EXPECT_EQ(Px(*image, 1, 0)[0], 200);
    EXPECT_EQ(Px(*image, 1, 0)[2], 200);

    test::WritePng(dir.File("g16.png"), 1, 1, PNG_COLOR_TYPE_GRAY, 16, false, {0x80, 0x40});
    ASSERT_EQ(LoadCode(dir.File("g16.png"), &image), 0);
    EXPECT_NEAR(Px(*image, 0, 0)[1], 0x80, 1);

    test::WritePng(dir.File("rgb16.png"), 1, 1, PNG_COLOR_TYPE_RGB, 16, false,
                   {0xff, 0xff, 0x10, 0x00, 0x00, 0x00});
    ASSERT_EQ(LoadCode(dir.File("rgb16.png"), &image), 0);
    EXPECT_EQ(Px(*image, 0, 0)[2], 255);
    EXPECT_NEAR(Px(*image, 0, 0)[1], 0x10, 1);

    // Palette of 4 bits with one transparent entry: transparent shows white.
    test::WritePng(dir.File("pal.png"), 2, 1, PNG_COLOR_TYPE_PALETTE, 4, false, {0x01},
                   {10, 20, 30, 40, 50, 60}, {0});
    ASSERT_EQ(LoadCode(dir.File("pal.png"), &image), 0);
    EXPECT_EQ(Px(*image, 0, 0)[0], 255);
    EXPECT_EQ(Px(*image, 1, 0)[0], 60);
    EXPECT_EQ(Px(*image, 1, 0)[2], 40);

    test::WritePng(dir.File("rgba.png"), 3, 1, PNG_COLOR_TYPE_RGBA, 8, false,
                   {0, 0, 0, 0, 200, 100, 50, 255, 0, 0, 0, 128});
    ASSERT_EQ(LoadCode(dir.File("rgba.png"), &image), 0);
    EXPECT_EQ(Px(*image, 0, 0)[1], 255);
    EXPECT_EQ(Px(*image, 1, 0)[2], 200);
    EXPECT_EQ(Px(*image, 1, 0)[0], 50);
    EXPECT_EQ(Px(*image, 2, 0)[0], 127); // half black over white

    test::WritePng(dir.File("ga.png"), 1, 1, PNG_COLOR_TYPE_GRAY_ALPHA, 8, false, {0, 0});
    ASSERT_EQ(LoadCode(dir.File("ga.png"), &image), 0);
    EXPECT_EQ(Px(*image, 0, 0)[0], 255);

    std::vector<uint8_t> rgb(9 * 7 * 3);
    for (size_t i = 0; i < rgb.size(); ++i) {
        rgb[i] = uint8_t(i * 37);
    }
    test::WritePng(dir.File("plain.png"), 9, 7, PNG_COLOR_TYPE_RGB, 8, false, rgb);
    test::WritePng(dir.File("adam7.png"), 9, 7, PNG_COLOR_TYPE_RGB, 8, true, rgb);
    std::unique_ptr<CDibImage> plain, adam7;
    ASSERT_EQ(LoadCode(dir.File("plain.png"), &plain), 0);
    ASSERT_EQ(LoadCode(dir.File("adam7.png"), &adam7), 0);
    EXPECT_TRUE(SameRaster(*plain, *adam7));
    // With alpha, interlaced rows are composited only once their last pass has come.
    std::vector<uint8_t> rgba(9 * 7 * 4);
    for (size_t i = 0; i < rgba.size(); ++i) {
        rgba[i] = uint8_t(i * 53);
    }
    test::WritePng(dir.File("plain-a.png"), 9, 7, PNG_COLOR_TYPE_RGBA, 8, false, rgba);
    test::WritePng(dir.File("adam7-a.png"), 9, 7, PNG_COLOR_TYPE_RGBA, 8, true, rgba);
    ASSERT_EQ(LoadCode(dir.File("plain-a.png"), &plain), 0);
    ASSERT_EQ(LoadCode(dir.File("adam7-a.png"), &adam7), 0);
    EXPECT_TRUE(SameRaster(*plain, *adam7));
    const uint8_t* last = rgba.data() + (6 * 9 + 8) * 4; // bottom right pixel, red first
    EXPECT_EQ(Px(*plain, 8, 0)[2], (last[0] * last[3] + 255 * (255 - last[3]) + 127) / 255);
}

// Rows that cross the writer's bands, padded rows, rows that each filter suits (copies of the row
// above, black, flat colour), and libpng reading the file on its own.
TEST_F(ImageFiles, PngWrittenInBandsIsOneStreamForAnyReader) {
    struct LastStep : CProgress {
        int done = 0, total = -1;
        void Begin() override {}
        void End() override {}
        int Step(int d, int t) override {
            done = d;
            total = t;
            return 1;
        }
    };
    auto image = Asymmetric(301, 333);
    for (int y = 100; y < 110; ++y) {
        std::memcpy(image->Row(y), image->Row(99), 301 * 3);
    }
    std::memset(image->Row(200), 0, 5 * size_t(image->Stride()));
    for (int y = 250; y < 255; ++y) {
        std::memset(image->Row(y), 77, 301 * 3);
    }
    const std::string path = dir.File("bands.png");
    LastStep progress;
    ASSERT_EQ(Save(*image, path, &progress), 1);
    EXPECT_EQ(progress.done, progress.total);

    png_image png{};
    png.version = PNG_IMAGE_VERSION;
    ASSERT_TRUE(png_image_begin_read_from_file(&png, path.c_str()));
    png.format = PNG_FORMAT_BGR;
    std::vector<uint8_t> rows(PNG_IMAGE_SIZE(png));
    ASSERT_TRUE(png_image_finish_read(&png, nullptr, rows.data(), 0, nullptr));
    for (int y = 0; y < 333; ++y) {
        ASSERT_EQ(std::memcmp(rows.data() + size_t(y) * 301 * 3, image->Row(332 - y), 301 * 3), 0)
            << y;
    }
    std::unique_ptr<CDibImage> back;
    ASSERT_EQ(LoadCode(path, &back), 0);
    EXPECT_TRUE(SameRaster(*image, *back));

    // One byte changed in the pixel data: refused, not shown damaged.
    std::string bytes = test::ReadWholeFile(path);
    bytes[bytes.size() / 2] ^= 0x10;
    test::WriteWholeFile(dir.File("damaged.png"), bytes);
    EXPECT_EQ(LoadCode(dir.File("damaged.png")), 4);
}

// Each filter type of other writers' RGB files, undone exactly.
TEST_F(ImageFiles, PngFiltersOfOtherWriters) {
    const int w = 23, h = 19;
    std::vector<uint8_t> rgb(size_t(w) * h * 3);
    std::mt19937 rng(3);
    for (size_t i = 0; i < rgb.size(); ++i) {
        rgb[i] = uint8_t(i / 7 + rng() % 9);
    }
    for (int filter : {PNG_FILTER_NONE, PNG_FILTER_SUB, PNG_FILTER_UP, PNG_FILTER_AVG,
                       PNG_FILTER_PAETH, PNG_ALL_FILTERS}) {
        const std::string path = dir.File("f.png");
        test::WritePng(path, w, h, PNG_COLOR_TYPE_RGB, 8, false, rgb, {}, {}, {}, filter);
        std::unique_ptr<CDibImage> image;
        ASSERT_EQ(LoadCode(path, &image), 0) << filter;
        for (int y = 0; y < h; ++y) {
            for (int x = 0; x < w; ++x) {
                const uint8_t* s = rgb.data() + (size_t(y) * w + x) * 3;
                const uint8_t* p = Px(*image, x, h - 1 - y);
                ASSERT_TRUE(p[0] == s[2] && p[1] == s[1] && p[2] == s[0]) << filter;
            }
        }
    }
}

// Every orientation tag turns the very pixels of the untagged file as the tag says, pixel for
// pixel, on a size with odd sides.
TEST_F(ImageFiles, JpegOrientationsMoveEveryPixelExactly) {
    const int w = 13, h = 7;
    std::vector<uint8_t> rgb(std::size_t(w) * h * 3);
    for (std::size_t i = 0; i < rgb.size(); ++i) {
        rgb[i] = uint8_t(i * 37 % 251);
    }
    // Rows counted from the top, as the tag counts them.
    auto at = [](const CDibImage& im, int x, int y) { return Px(im, x, im.Height() - 1 - y); };
    std::unique_ptr<CDibImage> plain;
    const std::string plainPath = dir.File("plain.jpg");
    test::WriteJpeg(plainPath, w, h, 3, rgb, 1);
    ASSERT_EQ(LoadCode(plainPath, &plain), 0);
    for (int orientation = 2; orientation <= 8; ++orientation) {
        const std::string path = dir.File("t" + std::to_string(orientation) + ".jpg");
        test::WriteJpeg(path, w, h, 3, rgb, orientation);
        std::unique_ptr<CDibImage> turned;
        ASSERT_EQ(LoadCode(path, &turned), 0);
        const bool swap = orientation >= 5;
        ASSERT_EQ(turned->Width(), swap ? h : w);
        ASSERT_EQ(turned->Height(), swap ? w : h);
        for (int y = 0; y < turned->Height(); ++y) {
            for (int x = 0; x < turned->Width(); ++x) {
                // The tag's meaning, written out: where output pixel (x, y) comes from.
                const int mx = w - 1 - x, my = h - 1 - y;
                const int sx[9] = {0, x, mx, mx, x, y, y, w - 1 - y, w - 1 - y};
                const int sy[9] = {0, y, y, my, my, x, h - 1 - x, h - 1 - x, x};
                ASSERT_TRUE(std::equal(at(*turned, x, y), at(*turned, x, y) + 3,
                                       at(*plain, sx[orientation], sy[orientation])))
                    << "orientation " << orientation << " pixel " << x << "," << y;
            }
        }
    }
}

TEST_F(ImageFiles, JpegOrientationGreyCmykAndProgressive) {
    // 16 x 8: left half red, right half blue.
    std::vector<uint8_t> rgb(16 * 8 * 3);
    for (int y = 0; y < 8; ++y) {
        for (int x = 0; x < 16; ++x) {
            uint8_t* p = &rgb[(y * 16 + x) * 3];
            p[0] = x < 8 ? 255 : 0;
            p[2] = x < 8 ? 0 : 255;
        }
    }
    auto redAt = [](const CDibImage& im, int x, int y) { return Px(im, x, y)[2] > 200; };
    std::unique_ptr<CDibImage> image;
    for (int orientation : {1, 3, 6, 8}) {
        const std::string path = dir.File("o" + std::to_string(orientation) + ".jpg");
        test::WriteJpeg(path, 16, 8, 3, rgb, orientation);
        ASSERT_EQ(LoadCode(path, &image), 0);
        const bool turned = orientation >= 5;
        EXPECT_EQ(image->Width(), turned ? 8 : 16) << orientation;
        EXPECT_EQ(image->Height(), turned ? 16 : 8) << orientation;
        const int W = image->Width(), H = image->Height();
        switch (orientation) {
        case 1:
            EXPECT_TRUE(redAt(*image, 1, 1) && !redAt(*image, W - 2, 1));
            break;
        case 3:
            EXPECT_TRUE(!redAt(*image, 1, 1) && redAt(*image, W - 2, 1));
            break;
        // Turned clockwise to stand upright: the left side becomes the top (the last rows).
        case 6:
            EXPECT_TRUE(redAt(*image, 1, H - 2) && !redAt(*image, 1, 1));
            break;
        case 8:
            EXPECT_TRUE(redAt(*image, 1, 1) && !redAt(*image, 1, H - 2));
            break;
        }
    }
    test::WriteJpeg(dir.File("prog.jpg"), 16, 8, 3, rgb, 1, true);
    ASSERT_EQ(LoadCode(dir.File("prog.jpg"), &image), 0);
    EXPECT_TRUE(redAt(*image, 1, 1));

    test::WriteJpeg(dir.File("grey.jpg"), 8, 8, 1, std::vector<uint8_t>(64, 90));
    ASSERT_EQ(LoadCode(dir.File("grey.jpg"), &image), 0);
    EXPECT_NEAR(Px(*image, 3, 3)[0], 90, 2);
    EXPECT_NEAR(Px(*image, 3, 3)[2], 90, 2);

    // Adobe CMYK stores inverted ink: 255 - ink. Full cyan, no black -> cyan (R 0, G, B 255).
    std::vector<uint8_t> cmyk(8 * 8 * 4);
    for (size_t i = 0; i < 64; ++i) {
        cmyk[4 * i] = 0;       // cyan ink 255
        cmyk[4 * i + 1] = 255; // no magenta
        cmyk[4 * i + 2] = 255; // no yellow
        cmyk[4 * i + 3] = 255; // no black
    }
    test::WriteJpeg(dir.File("cmyk.jpg"), 8, 8, 4, cmyk);
    ASSERT_EQ(LoadCode(dir.File("cmyk.jpg"), &image), 0);
    EXPECT_LT(Px(*image, 3, 3)[2], 10);
    EXPECT_GT(Px(*image, 3, 3)[1], 245);
    EXPECT_GT(Px(*image, 3, 3)[0], 245);
}

TEST_F(ImageFiles, TiledAndCompressedTiffs) {
    const int w = 20, h = 18;
    for (int compression : {COMPRESSION_NONE, COMPRESSION_ADOBE_DEFLATE, COMPRESSION_PACKBITS}) {
        const std::string path = dir.File("tiles" + std::to_string(compression) + ".tif");
        TIFF* tif = TIFFOpen(path.c_str(), "w");
        ASSERT_NE(tif, nullptr);
        TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, w);
        TIFFSetField(tif, TIFFTAG_IMAGELENGTH, h);
        TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, 8);
        TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, 3);
        TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_RGB);
        TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
        TIFFSetField(tif, TIFFTAG_COMPRESSION, compression);
        TIFFSetField(tif, TIFFTAG_TILEWIDTH, 16);
        TIFFSetField(tif, TIFFTAG_TILELENGTH, 16);
        std::vector<uint8_t> tile(16 * 16 * 3);
        for (int ty = 0; ty < h; ty += 16) {
            for (int tx = 0; tx < w; tx += 16) {
                for (int y = 0; y < 16; ++y) {
                    for (int x = 0; x < 16; ++x) {
                        uint8_t* p = &tile[(y * 16 + x) * 3];
                        p[0] = uint8_t(tx + x); // red: the column
                        p[1] = uint8_t(ty + y); // green: the row from the top
                        p[2] = 7;
                    }
                }
                TIFFWriteTile(tif, tile.data(), tx, ty, 0, 0);
            }
        }
        TIFFClose(tif);
        std::unique_ptr<CDibImage> image;
        ASSERT_EQ(LoadCode(path, &image), 0) << compression;
        ASSERT_EQ(image->Width(), w);
        for (int y = 0; y < h; ++y) {
            for (int x = 0; x < w; ++x) {
                const uint8_t* p = Px(*image, x, h - 1 - y);
                ASSERT_TRUE(p[2] == x && p[1] == y && p[0] == 7) << x << "," << y;
            }
        }
    }
}

TEST(ImageFileDialogs, ABareNameTakesTheExtensionOfTheChosenFilterEntry) {
    test::ScriptedPlatform ui;
    const char* const expected[] = {".png", ".jpg", ".bmp", ".tif", ".webp"};
    for (int entry = 0; entry < 5; ++entry) {
        ui.AnswerFile("/pictures/face", entry);
        char path[kPathBufferSize] = "";
        ASSERT_EQ(ImExp_SelectFileToWrite(ui, kColorModeTrueColor, path), 1);
        EXPECT_EQ(std::string(path), std::string("/pictures/face") + expected[entry]);
        // Each entry is a label and its patterns, and the patterns hold the extension given.
        const std::string& filter = ui.fileDialogs.back().filter;
        EXPECT_EQ(std::count(filter.begin(), filter.end(), '|'), 9);
        EXPECT_NE(filter.find(std::string("*") + expected[entry]), std::string::npos);
    }
    ui.AnswerFile("/pictures/face.jpeg", 0);
    char path[kPathBufferSize] = "";
    ASSERT_EQ(ImExp_SelectFileToWrite(ui, kColorModeTrueColor, path), 1);
    EXPECT_EQ(std::string(path), "/pictures/face.jpeg");
}
