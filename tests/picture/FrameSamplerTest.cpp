#include "picture/FrameSampler.h"
#include "picture/DibImage.h"
#include "picture/PictFrame.h"
#include "picture/RowPool.h"
#include "support/ReferenceSampler.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <stdexcept>
#include <sys/mman.h>
#include <thread>
#include <unistd.h>
#include <vector>

using namespace vx;

namespace {

void FillRandom(CDibImage& image, std::mt19937& rng) {
    for (int y = 0; y < image.Height(); ++y) {
        for (int x = 0; x < 3 * image.Width(); ++x) {
            image.Row(y)[x] = uint8_t(rng());
        }
    }
}

// The grid at `step` equals the literal sampler pixel for pixel; the first difference is reported.
::testing::AssertionResult IsLiteralGrid(const CPictFrame& frame, const CDibImage& pict, int W,
                                         int H, double A, int step, const CDibImage& out) {
    for (int y = 0; y < H / step; ++y) {
        for (int x = 0; x < W / step; ++x) {
            auto want = test::ReferenceSample(frame, pict, step * x, step * y, W, H, A);
            const uint8_t* got = out.Row(y) + 3 * x;
            if (got[0] != want[0] || got[1] != want[1] || got[2] != want[2]) {
                return ::testing::AssertionFailure() << "pixel " << x << "," << y;
            }
        }
    }
    return ::testing::AssertionSuccess();
}

} // namespace

// Both kernels, vector blocks and their tails: odd and 1-pixel sides, frames past the edges,
// turned a little or a quarter turn and more.
TEST(FrameSampler, MatchesLiteralSamplingOnRandomFrames) {
    std::mt19937 rng(7);
    std::uniform_int_distribution<int> side(1, 90);
    std::uniform_real_distribution<double> zoom(0.3, 3.0), angle(-7.0, 7.0), tilt(-0.1, 0.1);
    std::uniform_int_distribution<int> offset(-700, 700), step(0, 3);
    const double aspects[] = {1.0, 0.75, 0.5625, 1.5, 2.0, 0.64, 10000.0 / 7};
    const double pi = std::acos(-1.0);
    const double turns[] = {0.0, pi / 2, -pi / 2, pi, 3 * pi / 4};
    for (int round = 0; round < 300; ++round) {
        const double A = aspects[round % 7];
        CDibImage pict(side(rng), side(rng));
        FillRandom(pict, rng);
        CPictFrame frame(&pict, A);
        frame.SetZoom(zoom(rng));
        frame.SetAngle(round % 2 ? angle(rng) : turns[round / 2 % 5] + (round % 4 ? tilt(rng) : 0));
        frame.SetOffset(offset(rng), offset(rng));
        const int W = side(rng) + 1, H = side(rng) + 1;
        const int s = 1 << step(rng);
        const int cols = W / s, rows = H / s;
        for (SampleKernel kernel : {SampleKernel::Best, SampleKernel::Plain}) {
            CDibImage out(std::max(cols, 1), std::max(rows, 1));
            CFrameSampler(frame, pict, W, H, A).RenderGrid(s, cols, rows, out, kernel);
            ASSERT_TRUE(IsLiteralGrid(frame, pict, W, H, A, s, out))
                << "round " << round << (kernel == SampleKernel::Plain ? " plain" : "");
        }
    }
}

// The vector kernel rounds by a multiplication: the table's very entries over every sum.
TEST(FrameSampler, RoundingByMultiplicationIsTheTable) {
    CDibImage keepsTheTable(1, 1);
    const uint8_t* table = CDibImage::RoundTable();
    static_assert((kMaxBilinearSum + 112) < 65536, "16-bit lanes");
    for (uint32_t sum = 0; sum <= kMaxBilinearSum; ++sum) {
        ASSERT_EQ(table[sum], ((sum + 112) * kRoundMul) >> kRoundShift) << sum;
    }
}

// The vector kernel reads each pixel pair with 8-byte loads: on a raster that ends right before an
// unreadable page, every position, the last pair included, still gives the plain kernel's bytes.
TEST(FrameSampler, VectorKernelStopsAtTheRastersEnd) {
    CDibImage keepsTheTable(1, 1);
    const std::size_t page = std::size_t(sysconf(_SC_PAGESIZE));
    for (int w = 1; w <= 9; ++w) {
        for (int h = 1; h <= 3; ++h) {
            const int pitch = CDibImage::StrideFor(w);
            const std::size_t bytes = std::size_t(pitch) * std::size_t(h);
            void* map =
                mmap(nullptr, 2 * page, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
            ASSERT_NE(map, MAP_FAILED);
            uint8_t* const end = static_cast<uint8_t*>(map) + page;
            ASSERT_EQ(mprotect(end, page, PROT_NONE), 0);
            for (std::size_t i = 1; i <= bytes; ++i) {
                end[-std::ptrdiff_t(i)] = uint8_t(i * 37);
            }
            // Frame units are positions in 1024ths here; every sixteenth of a pixel and beyond.
            std::vector<int32_t> toQx(std::size_t(2048 * w + 1)), toQy(std::size_t(2048 * h + 1));
            for (int u = -1024 * w; u <= 1024 * w; ++u) {
                toQx[std::size_t(u + 1024 * w)] = u >= 0 && u < (w - 1) * 1024 ? u : -1;
            }
            for (int u = -1024 * h; u <= 1024 * h; ++u) {
                toQy[std::size_t(u + 1024 * h)] = u >= 0 && u < (h - 1) * 1024 ? u : -1;
            }
            const SampleSource source{end - bytes,
                                      std::size_t(pitch),
                                      bytes,
                                      toQx.data() + 1024 * w,
                                      toQy.data() + 1024 * h,
                                      1024 * w,
                                      1024 * h,
                                      CDibImage::RoundTable(),
                                      0};
            std::vector<int> ux, uy;
            for (int y = -64; y <= 1024 * h; y += 64) {
                for (int x = -64; x <= 1024 * w; x += 64) {
                    ux.push_back(x);
                    uy.push_back(y);
                }
            }
            std::vector<uint8_t> best(3 * ux.size()), plain(best.size());
            SampleRow(source, ux.data(), uy.data(), best.data(), ux.size(), SampleKernel::Best);
            SampleRow(source, ux.data(), uy.data(), plain.data(), ux.size(), SampleKernel::Plain);
            EXPECT_EQ(best, plain) << w << " x " << h;
            munmap(map, 2 * page);
        }
    }
}

TEST(FrameSampler, EdgeOfPictureIsBlackAndJustInsideUsesLastPair) {
    // A 4 x 2 picture fitted at A = 0.5 into an 8 x 4 output maps output x to picture x exactly.
    CDibImage pict(4, 2);
    for (int y = 0; y < 2; ++y) {
        for (int x = 0; x < 4; ++x) {
            pict.Row(y)[3 * x] = uint8_t(10 + 60 * x);
        }
    }
    CPictFrame frame(&pict, 0.5);
    CDibImage out(8, 4);
    CFrameSampler(frame, pict, 8, 4, 0.5).RenderGrid(1, 8, 4, out);
    // Output x = 6 lies at picture x = 3.0 (= max x): black; x = 5 at 2.5: columns 2 and 3.
    auto want6 = test::ReferenceSample(frame, pict, 6, 1, 8, 4, 0.5);
    EXPECT_EQ(want6[0], 0);
    EXPECT_EQ(out.Row(1)[3 * 6], 0);
    EXPECT_EQ(out.Row(1)[3 * 5], test::ReferenceSample(frame, pict, 5, 1, 8, 4, 0.5)[0]);
    EXPECT_EQ(out.Row(1)[3 * 5], (105 * 130 + 120 * 190 + 112) / 225); // fractions 8 and 8
}

// Rows are shared out among threads: whatever their number, the same bytes as the literal sampler,
// for pictures, outputs and bands of many sizes, edges included.
TEST(FrameSampler, SameBytesAtAnyThreadCount) {
    std::mt19937 rng(11);
    std::uniform_int_distribution<int> side(1, 400);
    std::uniform_real_distribution<double> zoom(0.4, 2.5), angle(-30.0, 30.0);
    std::uniform_int_distribution<int> offset(-300, 300);
    for (int round = 0; round < 6; ++round) {
        const double A = round % 2 ? 0.75 : 1.5;
        CDibImage pict(side(rng), side(rng));
        FillRandom(pict, rng);
        CPictFrame frame(&pict, A);
        frame.SetZoom(zoom(rng));
        frame.SetAngle(angle(rng));
        frame.SetOffset(offset(rng), offset(rng));
        const int W = side(rng) + 1, H = side(rng) + 1, s = 1 << (round % 3);
        const int cols = W / s, rows = H / s;
        std::vector<std::vector<uint8_t>> results;
        for (int threads : {1, 2, 7}) {
            CRowPool::SetSharedThreads(threads);
            CDibImage out(std::max(cols, 1), std::max(rows, 1));
            CFrameSampler(frame, pict, W, H, A).RenderGrid(s, cols, rows, out);
            out.Resize(W, H); // the coarse pass's enlargement shares its rows out too
            results.emplace_back(out.Bits(), out.Bits() + out.RasterBytes());
        }
        EXPECT_EQ(results[0], results[1]) << "round " << round;
        EXPECT_EQ(results[0], results[2]) << "round " << round;
        // And the single-threaded bytes are the literal sampler's.
        CRowPool::SetSharedThreads(1);
        CDibImage out(std::max(cols, 1), std::max(rows, 1));
        CFrameSampler(frame, pict, W, H, A).RenderGrid(s, cols, rows, out);
        ASSERT_TRUE(IsLiteralGrid(frame, pict, W, H, A, s, out)) << "round " << round;
    }
    CRowPool::SetSharedThreads(int(std::thread::hardware_concurrency()));
}

// Every row once, whatever the bands; a failing band is reported to the caller and the pool
// stays usable; a nested call runs in place instead of waiting for itself.
TEST(RowPool, EveryRowOnceFailuresReachTheCallerNestingRunsInPlace) {
    CRowPool pool(7);
    for (int rows : {1, 15, 16, 17, 100, 1001}) {
        std::vector<int> seen(std::size_t(rows), 0);
        pool.Run(rows, [&](int begin, int end) {
            for (int r = begin; r < end; ++r) {
                ++seen[std::size_t(r)];
            }
        });
        EXPECT_EQ(std::count(seen.begin(), seen.end(), 1), rows) << rows;
    }
    EXPECT_THROW(pool.Run(500,
                          [](int begin, int) {
                              if (begin > 200) {
                                  throw std::runtime_error("band");
                              }
                          }),
                 std::runtime_error);
    int total = 0;
    std::mutex lock;
    pool.Run(64, [&](int begin, int end) {
        pool.Run(100, [&](int b, int e) {
            std::lock_guard<std::mutex> guard(lock);
            total += (e - b) * (end - begin);
        });
    });
    EXPECT_EQ(total, 6400);
}
