#include "TestImages.h"
#include "base/MyException.h"
#include "imageio/DibAdapters.h"
#include "imageio/FileProgress.h"
#include "imageio/ImExp.h"
#include "support/ScriptedPlatform.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <random>

using namespace vx;
namespace fs = std::filesystem;

using test::LoadCode;

namespace {

// A bitmap file from its info header fields, palette and pixel bytes.
std::string Bmp(int w, int h, int bpp, int compression, const std::string& palette,
                const std::string& pixels, const std::string& masks = {}) {
    std::string info(40, '\0');
    auto put = [](std::string& s, size_t at, uint32_t v, int n) {
        for (int i = 0; i < n; ++i) {
            s[at + i] = char(v >> (8 * i));
        }
    };
    put(info, 0, 40, 4);
    put(info, 4, uint32_t(w), 4);
    put(info, 8, uint32_t(h), 4);
    put(info, 12, 1, 2);
    put(info, 14, uint32_t(bpp), 2);
    put(info, 16, uint32_t(compression), 4);
    put(info, 32, uint32_t(palette.size() / 4), 4);
    std::string head(14, '\0');
    head[0] = 'B';
    head[1] = 'M';
    const size_t off = 14 + 40 + masks.size() + palette.size();
    put(head, 2, uint32_t(off + pixels.size()), 4);
    put(head, 10, uint32_t(off), 4);
    return head + info + masks + palette + pixels;
}

std::string S(std::initializer_list<int> bytes) {
    std::string s;
    for (int b : bytes) {
        s += char(b);
    }
    return s;
}

std::string Upper(std::string s) {
    for (char& c : s) {
        c = char(std::toupper(static_cast<unsigned char>(c)));
    }
    return s == "JPG" ? "JPEG" : s == "TIF" ? "TIFF" : s == "WEBP" ? "WebP" : s;
}

const uint8_t* Px(const CDibImage& image, int x, int y) {
    return image.Row(y) + 3 * x;
}

struct BrokenFiles : ::testing::Test {
    test::TempDir dir;
    std::string Put(const std::string& name, const std::string& bytes) {
        test::WriteWholeFile(dir.File(name), bytes);
        return dir.File(name);
    }
};

int SaveAs(const CDibImage& image, const std::string& path, CProgress* progress = nullptr) {
    auto writer = MakeWriteSource(image);
    int one = 1;
    return ImExp_WriteFile(writer.get(), nullptr, path.c_str(), &one, progress, nullptr, 1);
}

struct StopAt : CProgress {
    int calls = 0, stopAt;
    bool begun = false, ended = false;
    explicit StopAt(int n) : stopAt(n) {}
    void Begin() override { begun = true; }
    void End() override { ended = true; }
    int Step(int, int) override { return ++calls < stopAt ? 1 : 0; }
};

} // namespace

TEST_F(BrokenFiles, BitmapVariants) {
    std::unique_ptr<CDibImage> image;
    const std::string twoColours = S({0, 0, 0, 0, 255, 255, 255, 0});
    // 1 bit, 9 wide, bottom-up: bottom row alternating, top row all white.
    ASSERT_EQ(
        LoadCode(Put("1.bmp", Bmp(9, 2, 1, 0, twoColours, S({0x55, 0x00, 0, 0, 0xff, 0x80, 0, 0}))),
                 &image),
        0);
    EXPECT_EQ(Px(*image, 0, 0)[0], 0);
    EXPECT_EQ(Px(*image, 1, 0)[0], 255);
    EXPECT_EQ(Px(*image, 8, 1)[0], 255);
    // Top-down 24 bits: the first stored row is the top.
    ASSERT_EQ(LoadCode(Put("td.bmp", Bmp(1, -2, 24, 0, "", S({1, 2, 3, 0, 4, 5, 6, 0}))), &image),
              0);
    EXPECT_EQ(Px(*image, 0, 1)[0], 1);
    EXPECT_EQ(Px(*image, 0, 0)[0], 4);
    // 8-bit RLE: a run of three index-1 pixels, end of line, two literal pixels, end of bitmap.
    const std::string pal = S({10, 20, 30, 0, 40, 50, 60, 0, 70, 80, 90, 0});
    ASSERT_EQ(
        LoadCode(Put("rle8.bmp", Bmp(3, 2, 8, 1, pal, S({3, 1, 0, 0, 1, 2, 2, 0, 0, 1}))), &image),
        0);
    EXPECT_EQ(Px(*image, 2, 0)[0], 40);
    EXPECT_EQ(Px(*image, 0, 1)[2], 90);
    EXPECT_EQ(Px(*image, 1, 1)[0], 10);
    // 4-bit RLE: a run of 4 alternating 1,2.
    ASSERT_EQ(LoadCode(Put("rle4.bmp", Bmp(4, 1, 4, 2, pal, S({4, 0x12, 0, 1}))), &image), 0);
    EXPECT_EQ(Px(*image, 0, 0)[0], 40);
    EXPECT_EQ(Px(*image, 1, 0)[0], 70);
    // 16 bits 5-6-5 through bit fields: pure green.
    ASSERT_EQ(LoadCode(Put("565.bmp", Bmp(1, 1, 16, 3, "", S({0xe0, 0x07, 0, 0}),
                                          S({0, 0xf8, 0, 0, 0xe0, 0x07, 0, 0, 0x1f, 0, 0, 0}))),
                       &image),
              0);
    EXPECT_EQ(Px(*image, 0, 0)[1], 255);
    EXPECT_EQ(Px(*image, 0, 0)[2], 0);
    // 16 bits default 5-5-5 and 32 bits default 8-8-8.
    ASSERT_EQ(LoadCode(Put("555.bmp", Bmp(1, 1, 16, 0, "", S({0x00, 0x7c, 0, 0}))), &image), 0);
    EXPECT_EQ(Px(*image, 0, 0)[2], 255);
    ASSERT_EQ(LoadCode(Put("32.bmp", Bmp(1, 1, 32, 0, "", S({9, 8, 7, 0}))), &image), 0);
    EXPECT_EQ(Px(*image, 0, 0)[0], 9);
    EXPECT_EQ(Px(*image, 0, 0)[2], 7);
}

TEST_F(BrokenFiles, DamagedFilesAskToLocateThenGiveCode4) {
    auto image = std::make_unique<CDibImage>(40, 30);
    for (size_t i = 0; i < image->RasterBytes(); ++i) {
        image->Bits()[i] = uint8_t(i * 31);
    }
    std::mt19937 rng(3);
    for (const char* ext : {"png", "jpg", "tif", "webp", "bmp"}) {
        const std::string good = dir.File(std::string("good.") + ext);
        ASSERT_EQ(SaveAs(*image, good), 1);
        const std::string bytes = test::ReadWholeFile(good);
        for (size_t cut : {size_t(0), size_t(1), size_t(10), bytes.size() / 3, bytes.size() / 2,
                           bytes.size() - 20}) {
            test::ScriptedPlatform ui;
            ui.messageAnswers.push_back(MsgResult::No);
            EXPECT_EQ(LoadCode(Put("cut", bytes.substr(0, cut)), nullptr, &ui), 4)
                << ext << " cut at " << cut;
            ASSERT_EQ(ui.messages.size(), 1u);
            EXPECT_EQ(ui.messages[0].text, "Can't read file. Locate file?");
            EXPECT_EQ(ui.messages[0].buttons, MsgButtons::YesNo);
            EXPECT_EQ(ui.messages[0].icon, MsgIcon::Exclamation);
            // Too short for the signature of its format, the file is no picture at all.
            const size_t magic = std::string(ext) == "webp"  ? 12
                                 : std::string(ext) == "png" ? 8
                                                             : 4;
            EXPECT_EQ(ui.messages[0].details,
                      cut == 0      ? "cut: the file is empty"
                      : cut < magic ? "cut: not a PNG, JPEG, TIFF, WebP, BMP, HEIF, AVIF, JPEG XL "
                                      "or camera raw picture"
                                    : "cut: the " + Upper(ext) + " data is damaged or incomplete")
                << ext << " cut at " << cut;
        }
        // A PNG that lacks only its end chunk still holds every pixel and reads.
        if (std::string(ext) == "png") {
            EXPECT_EQ(LoadCode(Put("noend.png", bytes.substr(0, bytes.size() - 10))), 0);
        }
        // Bit flips may still decode (a flipped pixel): they must only never crash or hang.
        for (int round = 0; round < 25; ++round) {
            std::string flipped = bytes;
            for (int k = 0; k < 3; ++k) {
                flipped[rng() % flipped.size()] ^= char(1 << (rng() % 8));
            }
            const int code = LoadCode(Put("flip", flipped));
            EXPECT_TRUE(code == 0 || code == 4 || code == 3) << ext;
        }
        std::string wrongMagic = bytes;
        wrongMagic[0] = 'X';
        EXPECT_EQ(LoadCode(Put("magic", wrongMagic)), 4) << ext;
    }
    // The coded text stays as it is; the file and the reason come beneath it.
    test::ScriptedPlatform ui;
    ui.messageAnswers = {MsgResult::No, MsgResult::No};
    for (const std::string& path : {dir.File("missing.png"), dir.Path().string()}) {
        try {
            CDibImage image(ui, path, true);
            ADD_FAILURE() << path;
        } catch (const CMyException& e) {
            EXPECT_EQ(e.m_nError, 4);
            EXPECT_EQ(e.Message(), CMyException(4).Message());
            EXPECT_EQ(e.Details(), ui.messages.back().details);
        }
    }
    ASSERT_EQ(ui.messages.size(), 2u);
    EXPECT_EQ(ui.messages[0].details,
              "missing.png: the file cannot be opened (No such file or directory)");
    EXPECT_EQ(ui.messages[1].details, dir.Path().filename().string() + ": it is not a file");
}

TEST_F(BrokenFiles, DeclaredHugeSizesGiveCode3WithoutAsking) {
    // A PNG header that declares 100000 x 100000 pixels, and nothing after it.
    const std::string png =
        S({0x89, 'P', 'N', 'G',  '\r', '\n', 0x1a, '\n', 0,    0, 0, 13, 'I', 'H', 'D',
           'R',  0,   1,   0x86, 0xa0, 0,    1,    0x86, 0xa0, 8, 2, 0,  0,   0});
    test::ScriptedPlatform ui;
    // The CRC of that chunk, so that libpng accepts it.
    std::string withCrc = png;
    {
        uint32_t crc = 0xffffffffu;
        for (size_t i = 12; i < 29; ++i) {
            crc ^= uint8_t(withCrc[i]);
            for (int k = 0; k < 8; ++k) {
                crc = (crc >> 1) ^ (0xedb88320u & (0u - (crc & 1)));
            }
        }
        crc ^= 0xffffffffu;
        for (int i = 3; i >= 0; --i) {
            withCrc += char(crc >> (8 * i));
        }
    }
    EXPECT_EQ(LoadCode(Put("bomb.png", withCrc), nullptr, &ui), 3);
    EXPECT_TRUE(ui.messages.empty());
    // Code 3's text, with the size and the limit that refused it beneath.
    auto refusal = [&](const std::string& name, const std::string& bytes) {
        try {
            CDibImage image(ui, Put(name, bytes), true);
        } catch (const CMyException& e) {
            EXPECT_EQ(e.Message(), CMyException(3).Message());
            e.Report(ui);
            return ui.messages.back().details;
        }
        return std::string("read");
    };
    EXPECT_EQ(refusal("bomb.png", withCrc),
              "bomb.png: the picture is 100000 x 100000 pixels, above the limit of 268 million "
              "pixels");
    EXPECT_EQ(refusal("bomb.bmp", Bmp(100000, 100000, 24, 0, "", "x")),
              "bomb.bmp: the picture is 100000 x 100000 pixels, above the limit of 268 million "
              "pixels");
    EXPECT_EQ(refusal("long.bmp", Bmp(2000000, 1, 24, 0, "", "x")),
              "long.bmp: the picture is 2000000 x 1 pixels, above the limit of 1048576 pixels a "
              "side");
    // Within the limit but far more than so small a file can hold.
    EXPECT_EQ(refusal("dense.bmp", Bmp(4000, 4000, 24, 0, "", "x")),
              "dense.bmp: the file declares 4000 x 4000 pixels, more than a file of 55 bytes can "
              "hold (at most 4.3 million pixels)");
    EXPECT_EQ(ImExp_SizeRefusal(40000, 40000), ImExp_SizeRefusal(40000, 40000, -1));
    EXPECT_EQ(ImExp_SizeRefusal(8000, 6000), "");
    EXPECT_FALSE(ImExp_SizeAllowed(100000, 100000));
    EXPECT_TRUE(ImExp_SizeAllowed(8000, 6000));
}

TEST_F(BrokenFiles, CancelledReadLeadsToTheLocateQuestion) {
    auto image = std::make_unique<CDibImage>(50, 400);
    SaveAs(*image, dir.File("tall.png"));
    test::ScriptedPlatform ui;
    ui.cancelProgressAfter = 1;
    ui.messageAnswers.push_back(MsgResult::No);
    EXPECT_EQ(LoadCode(dir.File("tall.png"), nullptr, &ui), 4);
    ASSERT_EQ(ui.progressDialogs.size(), 1u);
    EXPECT_TRUE(ui.progressDialogs[0].cancelAllowed);
    EXPECT_EQ(ui.progressDialogs[0].text, "tall.png");
    EXPECT_FALSE(ui.progressDialogs[0].open);    // closed at End
    EXPECT_EQ(ui.progressDialogs[0].updates, 1); // no further updates once cancelled
    EXPECT_EQ(ui.messages.size(), 1u);
}

TEST_F(BrokenFiles, LocateRetriesWithTheChosenFile) {
    auto image = std::make_unique<CDibImage>(3, 2);
    SaveAs(*image, dir.File("right.bmp"));
    test::ScriptedPlatform ui;
    ui.messageAnswers.push_back(MsgResult::Yes);
    ui.AnswerFile(dir.File("right.bmp"));
    std::unique_ptr<CDibImage> loaded;
    EXPECT_EQ(LoadCode(dir.File("gone.bmp"), &loaded, &ui), 0);
    EXPECT_EQ(loaded->GetPath(), dir.File("right.bmp"));
    EXPECT_EQ(loaded->GetName(), "right.bmp");
}

TEST_F(BrokenFiles, FailedOrCancelledWritesKeepTheOldFile) {
    auto image = std::make_unique<CDibImage>(300, 300);
    const std::string target = dir.File("keep.png");
    test::WriteWholeFile(target, "old contents");
    for (const char* name : {"keep.png", "keep.jpg", "keep.tif", "keep.bmp", "keep.webp"}) {
        StopAt stop(2);
        test::WriteWholeFile(dir.File(name), "old contents");
        EXPECT_EQ(SaveAs(*image, dir.File(name), &stop), 0) << name;
        EXPECT_EQ(ImExp_LastError(), ImExpError::Cancelled);
        EXPECT_TRUE(stop.begun && stop.ended);
        EXPECT_EQ(test::ReadWholeFile(dir.File(name)), "old contents");
    }
    EXPECT_EQ(SaveAs(*image, dir.File("gone/x.png")), 0);
    EXPECT_EQ(ImExp_LastError(), ImExpError::CantWrite);
    fs::create_directory(dir.File("folder.png"));
    EXPECT_EQ(SaveAs(*image, dir.File("folder.png")), 0);
    size_t files = 0;
    for (auto& entry : fs::directory_iterator(dir.Path())) {
        EXPECT_EQ(entry.path().filename().string()[0] != '.', true) << entry.path();
        ++files;
    }
    EXPECT_EQ(files, 6u); // five old files and the folder: no temporary file left
    // A successful write replaces the old file.
    EXPECT_EQ(SaveAs(*image, target), 1);
    EXPECT_NE(test::ReadWholeFile(target), "old contents");
}

TEST(FileProgress, CancelOnlyWhereAllowedAndWholeTotals) {
    test::ScriptedPlatform ui;
    ui.cancelProgressAfter = 0;
    CFileProgress save(ui, "/some/where/out.png", false);
    EXPECT_EQ(save.Name(), "out.png");
    save.Begin();
    EXPECT_EQ(save.Step(10, 70000), 1);
    EXPECT_EQ(save.Step(70000, 70000), 1);
    EXPECT_EQ(ui.progressDialogs.back().total, 70000);
    EXPECT_FALSE(ui.progressDialogs.back().cancelAllowed);
    save.End();
    EXPECT_FALSE(ui.progressDialogs.back().open);

    CFileProgress read(ui, "in.png", true);
    read.Begin();
    EXPECT_EQ(read.Step(1, 10), 0);
    EXPECT_EQ(read.Step(2, 10), 0);
    read.End();
    read.Begin(); // a new dialog starts uncancelled
    ui.cancelProgressAfter = 5;
    EXPECT_EQ(read.Step(1, 10), 1);
    read.End();
}

TEST(WriteAdapter, AnswersOfThePixelSource) {
    CDibImage image(5, 2);
    image.Row(1)[14] = 77;
    auto writer = MakeWriteSource(image);
    int count = 0, w = 0, h = 0, mode = 0, x = -1, y = -1;
    EXPECT_EQ(writer->GetCount(count), 0);
    EXPECT_EQ(count, 1);
    EXPECT_EQ(writer->GetSize(0, 0, w, h), 0);
    EXPECT_EQ(w, 5);
    EXPECT_EQ(writer->GetColorMode(0, 0, mode), 0);
    EXPECT_EQ(mode, 16);
    EXPECT_EQ(writer->GetResolution(0, 0, x, y), 0);
    EXPECT_EQ(x, 0);
    uint8_t palette[1024];
    std::memset(palette, 0xab, sizeof palette);
    EXPECT_EQ(writer->GetPalette(0, 0, palette), 0);
    EXPECT_EQ(palette[0], 0xab); // 24-bit: nothing written
    uint8_t row[16];
    std::memset(row, 0xcd, sizeof row);
    EXPECT_EQ(writer->GetRow(0, 0, 1, row), 0);
    EXPECT_EQ(row[14], 77);
    EXPECT_EQ(row[15], 0xcd); // no padding copied
    std::memset(row, 0xcd, sizeof row);
    EXPECT_EQ(writer->GetRow(0, 0, -1, row), 0);
    EXPECT_EQ(writer->GetRow(0, 0, 2, row), 0);
    EXPECT_EQ(row[0], 0xcd);
    CDibWriteWA empty(nullptr, nullptr);
    EXPECT_EQ(empty.GetCount(count), 1);
    EXPECT_EQ(empty.GetRow(0, 0, 0, row), 1);

    // 8-bit header with a palette: entries come out red, green, blue.
    std::vector<uint8_t> block(1064, 0);
    auto* header = reinterpret_cast<BitmapInfoHeader*>(block.data());
    header->biWidth = 3;
    header->biHeight = 1;
    header->biBitCount = 8;
    header->biXPelsPerMeter = 3937;
    block[40] = 1; // blue
    block[41] = 2;
    block[42] = 3; // red
    uint8_t pixels[4] = {9, 8, 7, 6};
    CDibWriteWA indexed(header, pixels);
    EXPECT_EQ(indexed.GetColorMode(0, 0, mode), 0);
    EXPECT_EQ(mode, 4);
    std::memset(palette, 0xab, sizeof palette);
    indexed.GetPalette(0, 0, palette);
    EXPECT_EQ(palette[0], 3);
    EXPECT_EQ(palette[2], 1);
    EXPECT_EQ(palette[3], 0xab);
    indexed.GetResolution(0, 0, x, y);
    EXPECT_EQ(x, 100); // (3937 * 254 + 5000) / 10000
    std::memset(row, 0xcd, sizeof row);
    indexed.GetRow(0, 0, 0, row);
    EXPECT_EQ(row[2], 7);
    EXPECT_EQ(row[3], 0xcd);
}
