#include "picture/DibImage.h"
#include "base/MyException.h"
#include "picture/RowKernels.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <random>
#include <vector>

using vx::CDibImage;

namespace {

// Literal resize, written from the formulas: one pixel at a time, no tables.
std::vector<uint8_t> ReferenceResize(const CDibImage& src, int dw, int dh) {
    const int sw = src.Width(), sh = src.Height();
    const int dstride = ((3 * dw + 3) / 4) * 4;
    std::vector<uint8_t> out(std::size_t(dstride) * dh, 0);
    for (int j = 0; j < dh; ++j) {
        long long sy = (long long)j * sh * 16 / dh;
        int r = int(std::min<long long>(sy / 16, std::max(sh - 2, 0)));
        int r1 = std::min(r + 1, sh - 1); // a 1-pixel side repeats its only row
        int fy = int(sy % 16);
        for (int i = 0; i < dw; ++i) {
            long long sx = (long long)i * sw * 16 / dw;
            int col = int(std::min<long long>(sx / 16, std::max(sw - 2, 0)));
            int col1 = std::min(col + 1, sw - 1);
            int fx = int(sx % 16);
            for (int c = 0; c < 3; ++c) {
                auto P = [&](int x, int y) { return int(src.Row(y)[3 * x + c]); };
                int sum = (15 - fx) * (15 - fy) * P(col, r) + fx * (15 - fy) * P(col1, r) +
                          (15 - fx) * fy * P(col, r1) + fx * fy * P(col1, r1);
                out[std::size_t(dstride) * j + 3 * i + c] =
                    uint8_t(std::min(255, (sum + 112) / 225));
            }
        }
    }
    return out;
}

void FillRandom(CDibImage& image, std::mt19937& rng) {
    for (int y = 0; y < image.Height(); ++y) {
        for (int x = 0; x < 3 * image.Width(); ++x) {
            image.Row(y)[x] = uint8_t(rng());
        }
    }
}

} // namespace

TEST(DibImageLayout, StrideHeaderAndBlankRaster) {
    const int strides[] = {4, 8, 12, 12, 16};
    for (int w = 1; w <= 5; ++w) {
        CDibImage image(w, 3);
        EXPECT_EQ(image.Stride(), strides[w - 1]) << w;
        EXPECT_EQ(CDibImage::StrideFor(w), ((w + 1) * 3 / 4) * 4);
    }
    CDibImage image(5, 7);
    const auto* h = image.Header();
    EXPECT_EQ(h->biSize, 40u);
    EXPECT_EQ(h->biWidth, 5);
    EXPECT_EQ(h->biHeight, 7);
    EXPECT_EQ(h->biPlanes, 1);
    EXPECT_EQ(h->biBitCount, 24);
    EXPECT_EQ(h->biCompression, 0u);
    EXPECT_EQ(h->biSizeImage, 16u * 7);
    EXPECT_EQ(h->biXPelsPerMeter, 0);
    EXPECT_EQ(h->biClrUsed, 0u);
    for (std::size_t i = 40; i < CDibImage::kHeaderBlockSize; ++i) {
        ASSERT_EQ(image.HeaderBlock()[i], 0) << i;
    }
    EXPECT_EQ(image.MaxX(), 4 * 1024);
    EXPECT_EQ(image.MaxY(), 6 * 1024);
    EXPECT_EQ(image.Row(3), image.Bits() + 48);
    EXPECT_TRUE(std::all_of(image.Bits(), image.Bits() + image.RasterBytes(),
                            [](uint8_t b) { return b == 0; }));
    EXPECT_EQ(image.FrameIndex(), -1);
    EXPECT_EQ(image.GetName(), "");
    image.SetPath("/home/someone/pictures/face.left.png");
    EXPECT_EQ(image.GetName(), "face.left.png");
}

TEST(DibImageLayout, ClearBlackensEveryByte) {
    std::mt19937 rng(1);
    CDibImage image(7, 5);
    FillRandom(image, rng);
    image.Clear();
    EXPECT_TRUE(std::all_of(image.Bits(), image.Bits() + image.RasterBytes(),
                            [](uint8_t b) { return b == 0; }));
}

TEST(DibImageLayout, RefusesImpossibleSizesWithCode3) {
    auto code = [](int w, int h) {
        try {
            CDibImage image(w, h);
        } catch (const vx::CMyException& e) {
            return e.m_nError;
        }
        return 0;
    };
    EXPECT_EQ(code(-1, 10), 3);
    EXPECT_EQ(code(100000, 100000), 3);
    EXPECT_EQ(code(CDibImage::kMaxSide + 1, 1), 3);
    EXPECT_EQ(code(0, 0), 0);
}

TEST(RoundingTable, EntriesAndLifetime) {
    {
        CDibImage keep(1, 1);
        const uint8_t* t = CDibImage::RoundTable();
        ASSERT_NE(t, nullptr);
        EXPECT_EQ(t[0], 0);
        EXPECT_EQ(t[112], 0);
        EXPECT_EQ(t[113], 1);
        EXPECT_EQ(t[57262], 254);
        EXPECT_EQ(t[57263], 255);
        for (int i = 57263; i < CDibImage::kTableSize; ++i) {
            ASSERT_EQ(t[i], 255) << i;
        }
        for (int i = 0; i < CDibImage::kTableSize; ++i) {
            ASSERT_EQ(t[i], std::min(255, (i + 112) / 225)) << i;
        }
    }
    EXPECT_EQ(CDibImage::LiveCount(), 0);
    EXPECT_EQ(CDibImage::RoundTable(), nullptr);
    {
        CDibImage again(2, 2);
        EXPECT_EQ(CDibImage::LiveCount(), 1);
        EXPECT_NE(CDibImage::RoundTable(), nullptr);
        try {
            CDibImage failed(-5, 1);
        } catch (const vx::CMyException&) {
        }
        EXPECT_EQ(CDibImage::LiveCount(), 1);
    }
    EXPECT_EQ(CDibImage::LiveCount(), 0);
}

TEST(DibImageResize, SameSizeKeepsRaster) {
    CDibImage image(6, 4);
    const uint8_t* before = image.Bits();
    image.Resize(6, 4);
    EXPECT_EQ(image.Bits(), before);
}

TEST(DibImageResize, MatchesLiteralFormulaBitForBit) {
    std::mt19937 rng(42);
    std::uniform_int_distribution<int> side(2, 70);
    for (int round = 0; round < 300; ++round) {
        CDibImage image(side(rng), side(rng));
        FillRandom(image, rng);
        const int dw = side(rng) * (round % 3 == 0 ? 3 : 1);
        const int dh = side(rng);
        auto expected = ReferenceResize(image, dw, dh);
        CDibImage into(dw, dh); // the same bytes into a raster that is already there
        FillRandom(into, rng);
        into.ResizeFrom(image);
        ASSERT_TRUE(std::equal(expected.begin(), expected.end(), into.Bits())) << round;
        image.Resize(dw, dh);
        ASSERT_EQ(image.Width(), dw);
        ASSERT_EQ(image.Height(), dh);
        ASSERT_EQ(image.Stride(), CDibImage::StrideFor(dw));
        ASSERT_EQ(int(image.Header()->biSizeImage), image.Stride() * dh);
        ASSERT_EQ(image.MaxX(), (dw - 1) * 1024);
        ASSERT_TRUE(std::equal(expected.begin(), expected.end(), image.Bits())) << round;
    }
}

// Rows asked for in any order and by several readers, from sources with black bands (a grid
// outside a picture's footprint) and 1-pixel sides: each row is the literal one, and a row called
// black is black.
TEST(DibImageResize, RowsOneAtATimeMatchTheLiteralFormula) {
    std::mt19937 rng(9);
    std::uniform_int_distribution<int> side(1, 40);
    for (int round = 0; round < 200; ++round) {
        CDibImage image(side(rng), side(rng));
        FillRandom(image, rng);
        // Black below a random row and beside random columns, as around a footprint.
        const int band = int(rng() % (image.Height() + 1));
        const int left = int(rng() % (image.Width() + 1));
        const int right = left + int(rng() % (image.Width() - left + 1));
        for (int y = 0; y < image.Height() && round % 2 == 0; ++y) {
            uint8_t* row = image.Row(y);
            std::fill(row, row + 3 * left, 0);
            std::fill(row + 3 * right, row + 3 * image.Width(), 0);
            if (y >= band) {
                std::fill(row, row + 3 * image.Width(), 0);
            }
        }
        const int dw = side(rng) * 3 + 1, dh = side(rng) * 2;
        const auto expected = ReferenceResize(image, dw, dh);
        const std::size_t stride = CDibImage::StrideFor(dw);
        vx::CResampledRows rows(image, dw, dh);
        vx::CResampledRows::Cursor forward(rows), jumping(rows);
        std::vector<uint8_t> row(3 * dw);
        for (int k = 0; k < 2 * dh; ++k) {
            const int j = k < dh ? k : int(rng() % dh);
            const int begin = k < dh ? 0 : int(rng() % dw);
            const int end = k < dh ? dw : begin + int(rng() % (dw - begin + 1));
            (k < dh ? forward : jumping).Read(j, row.data(), begin, end);
            const auto want = expected.begin() + std::ptrdiff_t(stride * j);
            ASSERT_TRUE(
                std::equal(row.begin() + 3 * begin, row.begin() + 3 * end, want + 3 * begin))
                << round << " row " << j;
            const auto span = rows.NonBlack(j);
            for (int x = 0; x < dw; ++x) {
                if (x < span.begin || x >= span.end) {
                    ASSERT_TRUE(want[3 * x] == 0 && want[3 * x + 1] == 0 && want[3 * x + 2] == 0)
                        << round << " row " << j << " column " << x;
                }
            }
        }
    }
}

TEST(DibImageResize, LastColumnUsesClampedPairWithOwnFraction) {
    // 2 x 2 picture to 3 x 2: column 2 has sx = 2 * 2 * 16 / 3 = 21: clamp col 0, fraction 5.
    CDibImage image(2, 2);
    for (int y = 0; y < 2; ++y) {
        image.Row(y)[0] = 0;
        image.Row(y)[3] = 225;
    }
    image.Resize(3, 2);
    EXPECT_EQ(image.Row(0)[6], (5 * 15 * 225 + 112) / 225); // 75
}

TEST(DibImageResize, OnePixelSourcesAndEmptyTargets) {
    CDibImage image(1, 1);
    image.Row(0)[0] = 10;
    image.Row(0)[1] = 20;
    image.Row(0)[2] = 30;
    image.Resize(5, 3);
    for (int y = 0; y < 3; ++y) {
        for (int x = 0; x < 5; ++x) {
            EXPECT_EQ(image.Row(y)[3 * x], 10);
            EXPECT_EQ(image.Row(y)[3 * x + 2], 30);
        }
    }
    CDibImage column(1, 4);
    for (int y = 0; y < 4; ++y) {
        column.Row(y)[1] = uint8_t(60 * y);
    }
    column.Resize(2, 8);
    EXPECT_EQ(column.Row(7)[1], 152); // rows 2 and 3 (120, 180), fraction 8
    EXPECT_EQ(column.Row(0)[4], 0);

    image.Resize(0, 0);
    EXPECT_EQ(image.Width(), 0);
    EXPECT_EQ(image.RasterBytes(), 0u);
    image.Resize(4, 4); // from nothing: black
    EXPECT_TRUE(std::all_of(image.Bits(), image.Bits() + image.RasterBytes(),
                            [](uint8_t b) { return b == 0; }));
}

// Every pair of bytes at every slider weight, on lengths and offsets that leave vector tails.
TEST(RowKernels, BlendAndDifferenceOfEveryPairOfBytes) {
    std::vector<uint8_t> s(65536 + 7), t(65536 + 7), out(65536 + 7);
    for (int i = 0; i < 65536; ++i) {
        s[i + 3] = uint8_t(i >> 8);
        t[i + 3] = uint8_t(i);
    }
    for (int blend = 0; blend <= 101; ++blend) {
        const std::size_t n = 65536 - std::size_t(blend % 5);
        vx::BlendBytes(&s[3], &t[3], &out[3], n, blend, false);
        for (std::size_t i = 3; i < n + 3; ++i) {
            ASSERT_EQ(out[i], uint8_t(s[i] + ((t[i] - s[i]) * blend) / 100)) << blend << " " << i;
        }
    }
    vx::BlendBytes(&s[3], &t[3], &out[3], 65536, 50, true);
    for (std::size_t i = 3; i < 65536 + 3; ++i) {
        ASSERT_EQ(out[i], std::abs(s[i] - t[i])) << i;
    }
}
