#include "AllocationPeak.h"
#include "TestImages.h"
#include "imageio/DibAdapters.h"
#include "imageio/ImExp.h"
#include "support/ScriptedPlatform.h"
#include "support/TempDir.h"
#include "support/TestData.h"

#include <gtest/gtest.h>
#include <png.h>

#include <cstring>
#include <filesystem>

using namespace vx;
namespace fs = std::filesystem;

using test::LoadCode;

namespace {

int Save(const CDibImage& image, const std::string& path) {
    auto writer = MakeWriteSource(image);
    int one = 1;
    return ImExp_WriteFile(writer.get(), nullptr, path.c_str(), &one, nullptr, nullptr, 1);
}

// The pixel limit for one test, put back however it ends.
struct PixelLimit {
    int64_t old;
    explicit PixelLimit(int64_t pixels) : old(ImExp_SetPixelLimit(pixels)) {}
    ~PixelLimit() { ImExp_SetPixelLimit(old); }
};

struct Steps : CProgress {
    std::vector<std::pair<int, int>> steps;
    void Begin() override {}
    void End() override {}
    int Step(int done, int total) override {
        steps.emplace_back(done, total);
        return 1;
    }
};

} // namespace

// Every file under tests/data/image is a picture that once cost far too much: each is refused
// with the error its name gives, before memory grows with what it declares.
TEST(RegressionFiles, RefusedWithTheRightErrorAndLittleMemory) {
    const auto files = test::TestDataFiles("image");
    ASSERT_FALSE(files.empty());
    for (const std::string& path : files) {
        const std::string name = fs::path(path).filename().string();
        test::ScriptedPlatform ui;
        ui.messageAnswers.push_back(MsgResult::No);
        test::AllocationPeak peak;
        const int code = LoadCode(path, nullptr, &ui);
        if (name.rfind("too-large-", 0) == 0) {
            EXPECT_EQ(code, 3) << name;
            EXPECT_TRUE(ui.messages.empty()) << name; // no "Locate file?" for a size problem
        } else if (name.rfind("unreadable-", 0) == 0) {
            EXPECT_EQ(code, 4) << name;
            EXPECT_EQ(ui.messages.size(), 1u) << name;
        } else {
            EXPECT_TRUE(code == 0 || code == 3 || code == 4) << name << ": " << code;
        }
        EXPECT_LT(peak.Bytes(), size_t(64) << 20) << name;
    }
}

TEST(RegressionFiles, DataThatEndsEarlyCostsOnlyWhatItHeld) {
    // Each declares 2000 x 2000 pixels (12 MB of raster) and holds a few rows at most.
    for (const char* name : {"unreadable-png-2000-starved.png", "unreadable-jpeg-2000-starved.jpg",
                             "unreadable-bmp-2000-no-pixels.bmp"}) {
        test::AllocationPeak peak;
        EXPECT_EQ(LoadCode(test::TestDataPath(std::string("image/") + name)), 4);
        EXPECT_LT(peak.Bytes(), size_t(2000) * 2000 * 3 / 4) << name;
    }
}

TEST(ResourceBudget, PixelLimitAndFileSize) {
    EXPECT_TRUE(ImExp_SizeAllowed(16384, 16384));
    EXPECT_FALSE(ImExp_SizeAllowed(16385, 16384));
    EXPECT_FALSE(ImExp_SizeAllowed(26000, 26000)); // within the picture type's own limits
    EXPECT_FALSE(ImExp_SizeAllowed(0, 10));
    EXPECT_FALSE(ImExp_SizeAllowed(CDibImage::kMaxSide + 1, 1));
    // A small file may declare only what so few bytes can hold; a camera's file is far beyond.
    EXPECT_TRUE(ImExp_SizeAllowed(2048, 2048, 54));
    EXPECT_FALSE(ImExp_SizeAllowed(4000, 3000, 972));
    EXPECT_TRUE(ImExp_SizeAllowed(6000, 4000, 3'000'000));
    EXPECT_EQ(ImExp_PixelBudget(-1), kDefaultPixelLimit);
    EXPECT_EQ(ImExp_PixelBudget(int64_t(1) << 40), kDefaultPixelLimit);

    // The limit applies to every format alike, and to the reader's own buffer.
    test::TempDir dir;
    CDibImage image(20, 20);
    for (const char* ext : {"png", "jpg", "tif", "webp", "bmp"}) {
        ASSERT_EQ(Save(image, dir.File(std::string("a.") + ext)), 1) << ext;
    }
    {
        PixelLimit limit(399);
        for (const char* ext : {"png", "jpg", "tif", "webp", "bmp"}) {
            test::ScriptedPlatform ui;
            EXPECT_EQ(LoadCode(dir.File(std::string("a.") + ext), nullptr, &ui), 3) << ext;
            EXPECT_TRUE(ui.messages.empty()) << ext;
        }
        CDibReadWA reader;
        reader.SetSize(0, 0, 20, 20);
        reader.SetColorMode(0, 0, kColorModeTrueColor);
        EXPECT_FALSE(reader.HasBuffer());
    }
    PixelLimit limit(400);
    for (const char* ext : {"png", "jpg", "tif", "webp", "bmp"}) {
        EXPECT_EQ(LoadCode(dir.File(std::string("a.") + ext)), 0) << ext;
    }
}

// 50,000 rows: done * rows passed the range of int from 46,341 rows on.
TEST(ReadProgress, TallPicturesStepForwardWithinTheTotal) {
    test::TempDir dir;
    CDibImage tall(1, 50000);
    std::vector<std::string> paths;
    for (const char* ext : {"png", "bmp", "tif", "jpg"}) {
        paths.push_back(dir.File(std::string("tall.") + ext));
        ASSERT_EQ(Save(tall, paths.back()), 1) << ext;
    }
    paths.push_back(dir.File("adam7.png"));
    test::WritePng(paths.back(), 1, 50000, PNG_COLOR_TYPE_GRAY, 8, true,
                   std::vector<uint8_t>(50000, 9));
    for (const std::string& path : paths) {
        Steps progress;
        CDibReadWA reader;
        ASSERT_EQ(ImExp_ReadFile(&reader, nullptr, path.c_str(), kColorModeTrueColor, &progress,
                                 nullptr, 1),
                  1)
            << path;
        ASSERT_GT(progress.steps.size(), 2u) << path;
        const int total = progress.steps.front().second;
        EXPECT_GE(total, 50000) << path;
        int last = 0;
        for (auto [done, t] : progress.steps) {
            ASSERT_EQ(t, total) << path;
            ASSERT_GE(done, last) << path;
            ASSERT_LE(done, total) << path;
            last = done;
        }
        EXPECT_EQ(last, total) << path;
    }
}

TEST(JpegWarnings, MissingDataIsUnreadableHarmlessOnesAreNot) {
    test::TempDir dir;
    std::vector<uint8_t> rgb(32 * 24 * 3);
    for (size_t i = 0; i < rgb.size(); ++i) {
        rgb[i] = uint8_t(i * 7);
    }
    for (bool progressive : {false, true}) {
        const std::string good = dir.File("good.jpg");
        test::WriteJpeg(good, 32, 24, 3, rgb, 1, progressive);
        const std::string bytes = test::ReadWholeFile(good);
        ASSERT_EQ(LoadCode(good), 0);
        // The scan cut in the middle and closed with an end marker: the grey rest is not a picture.
        const size_t sos = bytes.find("\xff\xda");
        ASSERT_NE(sos, std::string::npos);
        const size_t cut = sos + (bytes.size() - sos) / 2;
        test::WriteWholeFile(dir.File("cut.jpg"), bytes.substr(0, cut) + "\xff\xd9");
        EXPECT_EQ(LoadCode(dir.File("cut.jpg")), 4) << progressive;
        // Cut between two scans of a progressive file: the later scans are missing.
        if (progressive) {
            test::WriteWholeFile(dir.File("scans.jpg"), bytes.substr(0, bytes.rfind("\xff\xda")));
            EXPECT_EQ(LoadCode(dir.File("scans.jpg")), 4);
        }
        // Only the end marker missing: every pixel is there.
        test::WriteWholeFile(dir.File("noeoi.jpg"), bytes.substr(0, bytes.size() - 2));
        EXPECT_EQ(LoadCode(dir.File("noeoi.jpg")), 0) << progressive;
        // Stray bytes before a marker, as some cameras leave them: still the same picture.
        const size_t dqt = bytes.find("\xff\xdb");
        ASSERT_NE(dqt, std::string::npos);
        std::string padded = bytes;
        padded.insert(dqt, std::string("\x00\x00\x00", 3));
        test::WriteWholeFile(dir.File("padded.jpg"), padded);
        std::unique_ptr<CDibImage> a, b;
        ASSERT_EQ(LoadCode(good, &a), 0);
        ASSERT_EQ(LoadCode(dir.File("padded.jpg"), &b), 0) << progressive;
        EXPECT_EQ(std::memcmp(a->Bits(), b->Bits(), a->RasterBytes()), 0);
    }
}
