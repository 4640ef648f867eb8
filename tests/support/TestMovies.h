// Frame-numbered test movies made with the ffmpeg tool, and a watchdog for tests that wait.
#pragma once

#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>

namespace vx::test {

// Every frame shows its number as 8 bit columns of 20 x 60 pixels (white = 1) over their
// inverse, in a 160 x 120 picture.
constexpr int kMovieWidth = 160;
constexpr int kMovieHeight = 120;

struct MovieKind {
    const char* name;    // file name, extension included
    const char* options; // ffmpeg output options
    int frames;
    const char* audio = nullptr; // audio codec of a sound track, none when null
};

// One movie of each container and codec that the reader must seek in exactly.
inline const MovieKind kMovieKinds[] = {
    {"h264_bframes.mp4", "-c:v libx264 -preset veryfast -bf 3 -g 24", 96, "aac"},
    {"h264_opengop.mkv",
     "-c:v libx264 -preset veryfast -bf 3 -x264-params keyint=24:min-keyint=24:open-gop=1:"
     "scenecut=0",
     96},
    {"h264_opengop.mp4",
     "-c:v libx264 -preset veryfast -bf 3 -x264-params keyint=24:min-keyint=24:open-gop=1:"
     "scenecut=0",
     96},
    {"mpeg2.mpg", "-c:v mpeg2video -q:v 3 -bf 2 -g 12 -f mpeg", 96, "mp2"},
    {"h264.ts", "-c:v libx264 -preset veryfast -bf 3 -x264-params keyint=24:open-gop=1", 96, "mp2"},
    {"mjpeg.avi", "-c:v mjpeg -q:v 3", 64},
    {"mpeg4.avi", "-c:v mpeg4 -q:v 3 -bf 2 -g 12", 96},
    {"mpeg4_bframes.mp4", "-c:v mpeg4 -q:v 3 -bf 2 -g 24", 96},
    {"h264.mov", "-c:v libx264 -preset veryfast -bf 2 -g 30", 90},
    {"hevc.mp4", "-c:v libx265 -preset superfast -x265-params keyint=24:bframes=3:log-level=error",
     96},
    {"vp9.webm", "-c:v libvpx-vp9 -deadline realtime -cpu-used 8 -b:v 400k -g 30", 90},
    {"vfr.mkv",
     "-vf \"setpts='(N+if(gt(N,40),N-40,0)+if(gt(N,70),3*(N-70),0))/(25*TB)'\" -fps_mode "
     "passthrough -c:v libx264 -preset veryfast -bf 2 -g 20",
     100},
};

// A test name for a movie: its file name with '_' for '.'.
std::string MovieTestName(const ::testing::TestParamInfo<MovieKind>& info);

// Makes the movie in the folder when missing; returns its path ("" when ffmpeg failed).
std::string MakeMovie(const TempDir& dir, const MovieKind& kind);
// Any ffmpeg command line into the folder; returns the output path or "".
std::string RunFfmpeg(const TempDir& dir, const std::string& name, const std::string& arguments);

// The number a bottom-up 24-bit frame shows, -1 when it shows none cleanly.
int FrameNumberOf(const uint8_t* bits, int width, int height);

// Ends the test program when a test runs longer than it may: no test waits for ever.
class Watchdog {
public:
    explicit Watchdog(std::chrono::seconds limit);
    ~Watchdog();

private:
    std::mutex m_lock;
    std::condition_variable m_cond;
    bool m_bDone = false;
    std::thread m_thread;
};

class MovieTest : public ::testing::Test {
protected:
    Watchdog m_watchdog{std::chrono::seconds(240)};
};

// Suites whose movies are made once, in a folder of the suite's own.
class MovieSuite : public MovieTest {
protected:
    static void SetUpTestSuite() { s_pDir = new TempDir; }
    static void TearDownTestSuite() {
        delete s_pDir;
        s_pDir = nullptr;
    }
    static std::string Movie(const MovieKind& kind) {
        const std::string path = MakeMovie(*s_pDir, kind);
        EXPECT_FALSE(path.empty()) << "ffmpeg could not make " << kind.name;
        return path;
    }
    // One of kMovieKinds by its file name.
    static const MovieKind& Kind(const std::string& name);
    static std::string Movie(const char* name) { return Movie(Kind(name)); }

    static inline TempDir* s_pDir = nullptr;
};

} // namespace vx::test
