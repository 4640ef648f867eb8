// Movies that once broke the reader, kept under tests/data/movie, and the seeds of the movie fuzz
// target.
#include "support/TestData.h"
#include "support/TestMovies.h"

#include "base/MyException.h"
#include "movie/MovieError.h"
#include "movie/MovieReader.h"

#include <filesystem>
#include <utility>

namespace vx::test {
namespace {

// Damaged files and fuzz finds may be refused; every other file is a valid movie.
bool MayBeRefused(const std::string& path) {
    const std::string name = std::filesystem::path(path).filename().string();
    return name.rfind("fuzz_", 0) == 0 || name.rfind("damaged_", 0) == 0;
}

TEST(RegressionFiles, OpenAndSeekWithoutCrashingAndValidOnesGiveTheirFrames) {
    Watchdog watchdog(std::chrono::seconds(120));
    const auto files = TestDataFiles("movie");
    ASSERT_FALSE(files.empty()) << TestDataPath("movie");
    for (const std::string& path : files) {
        SCOPED_TRACE(path);
        try {
            CMovieReader reader(path);
            const int64_t count = reader.GetFrameCount();
            ASSERT_GT(count, 0);
            const bool valid = !MayBeRefused(path);
            // Every frame of the small valid files; first, middle and last of the others.
            const int64_t step = valid ? 1 : std::max<int64_t>(1, count / 2);
            for (int64_t n = 0; n < count; n += step) {
                reader.Seek(n);
                int32_t length = 0;
                const uint8_t* bits = reader.GetFrame(&length);
                if (valid) {
                    EXPECT_TRUE(bits) << "frame " << n;
                    EXPECT_EQ(length, reader.GetBufferSize()) << "frame " << n;
                }
                // Within the count only a failure stops the stream: it names the frame and why.
                if (!bits) {
                    const std::string& why = reader.FailureReason();
                    EXPECT_EQ(why.rfind("frame " + std::to_string(n) + ": ", 0), 0u) << why;
                    EXPECT_GT(why.size(), std::to_string(n).size() + 8) << why;
                }
            }
            reader.Seek(count - 1);
            reader.GetFrameOrBlack();
        } catch (const CMyException& e) {
            EXPECT_TRUE(MayBeRefused(path))
                << "refused with code " << e.m_nError << ": " << MovieErrorReason(e);
            EXPECT_EQ(e.m_nError, 9);
            EXPECT_FALSE(MovieErrorReason(e).empty());
        }
    }
}

// Small valid movies of several codecs and containers for the movie fuzz target.
TEST(FuzzSeeds, Movies) {
    if (!FuzzSeedsWanted()) {
        GTEST_SKIP() << "no seeds asked for";
    }
    const std::pair<const char*, const char*> kinds[] = {
        {"h264.mp4", "-c:v libx264 -preset veryfast -bf 2 -g 4"},
        {"h264.mkv", "-c:v libx264 -preset veryfast -bf 2 -g 4"},
        {"mpeg2.mpg", "-c:v mpeg2video -bf 2 -g 4 -f mpeg"},
        {"mjpeg.avi", "-c:v mjpeg -q:v 20"},
        {"mpeg4.avi", "-c:v mpeg4 -bf 2 -g 4"},
        {"vp8.webm", "-c:v libvpx -b:v 50k -g 4"},
        {"vp9.webm", "-c:v libvpx-vp9 -deadline realtime -b:v 50k -g 4"},
        {"hevc.mp4", "-c:v libx265 -preset superfast -x265-params keyint=4:log-level=error"},
        {"ffv1.mkv", "-c:v ffv1"},
        {"h264.ts", "-c:v libx264 -preset veryfast -g 4 -f mpegts"},
    };
    TempDir dir;
    for (const auto& [name, options] : kinds) {
        const std::string path = RunFfmpeg(
            dir, name,
            std::string("-f lavfi -i testsrc=s=32x24:r=25 -frames:v 6 -pix_fmt yuv420p ") +
                options);
        ASSERT_FALSE(path.empty()) << name;
        WriteFuzzSeed("movie", name, ReadWholeFile(path));
    }
}

} // namespace
} // namespace vx::test
