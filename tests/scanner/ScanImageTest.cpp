#include "scanner/ScanImage.h"

#include "SaneTestSetup.h"

#include <cstring>

namespace vx::test {
namespace {

using Kind = ScanFrameFormat::Kind;

// Line-art bits (a set bit is black) and 16-bit grey, handed over in odd portions.
TEST(ScanImage, GreyAndLineArtBecomeRgbWhateverTheChunking) {
    CScanImage lineArt;
    lineArt.BeginFrame({Kind::Grey, 1, 10, 2, 2});
    const std::uint8_t bits[] = {0b10100000, 0b01000000, 0xFF, 0x00};
    for (std::uint8_t b : bits) {
        lineArt.AddBytes(&b, 1);
    }
    ASSERT_EQ(lineArt.Width(), 10);
    ASSERT_EQ(lineArt.Height(), 2);
    const auto& rgb = lineArt.Rgb();
    EXPECT_EQ(rgb[0], 0);              // first pixel black
    EXPECT_EQ(rgb[3], 255);            // second white
    EXPECT_EQ(rgb[3 * 9], 0);          // tenth black (second byte, bit 1)
    EXPECT_EQ(rgb[3 * 10 + 3 * 7], 0); // second row: first eight black, the rest white
    EXPECT_EQ(rgb[3 * 10 + 3 * 8 + 2], 255);

    CScanImage deep;
    // Three pixels, one unused pixel of padding at the end of each line, height not known.
    deep.BeginFrame({Kind::Grey, 16, 3, 8, -1});
    std::uint16_t samples[8] = {0x1234, 0xFF00, 0x00FF, 0xAAAA, 0x8000, 0, 0xFFFF, 0};
    std::uint8_t bytes[16];
    std::memcpy(bytes, samples, sizeof bytes);
    deep.AddBytes(bytes, 5);
    deep.AddBytes(bytes + 5, 11);
    ASSERT_EQ(deep.Height(), 2);
    EXPECT_EQ(deep.Rgb()[0], 0x12);
    EXPECT_EQ(deep.Rgb()[4], 0xFF);
    EXPECT_EQ(deep.Rgb()[8], 0x00);
    EXPECT_EQ(deep.Rgb()[9], 0x80); // second row starts after the padding
}

TEST(ScanImage, AFailedWriteKeepsTheFileThatWasThere) {
    TempDir dir;
    CScanImage image;
    std::string error;
    EXPECT_FALSE(image.SavePng(dir.File("empty.png"), error));
    EXPECT_EQ(error, "The scanner delivered an empty picture.");

    image.BeginFrame({Kind::Rgb, 8, 2, 6, 1});
    const std::uint8_t row[] = {1, 2, 3, 4, 5, 6};
    image.AddBytes(row, sizeof row);
    const std::string taken = dir.File("taken.png");
    std::filesystem::create_directory(taken); // a folder where the file would go
    EXPECT_FALSE(image.SavePng(taken, error));
    EXPECT_TRUE(std::filesystem::is_directory(taken));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()), {}), 1);

    ASSERT_TRUE(image.SavePng(dir.File("ok.png"), error)) << error;
    const PngPicture back = ReadPng(dir.File("ok.png"));
    ASSERT_TRUE(back.ok);
    EXPECT_EQ(back.rgb, std::vector<unsigned char>(row, row + 6));
}

} // namespace
} // namespace vx::test
