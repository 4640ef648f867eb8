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

} // namespace vx::test
