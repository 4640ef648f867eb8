#include "support/TestMovies.h"

#include "support/ScriptedPlatform.h"

#include "base/MyException.h"
#include "movie/DecodingProbe.h"
#include "movie/DibDrawTarget.h"
#include "movie/IndexProgressDialog.h"
#include "movie/MovieError.h"
#include "movie/MovieReader.h"

#include <algorithm>
#include <fstream>
#include <random>
#include <thread>

namespace vx::test {
namespace {

using MovieReaderTest = MovieSuite;

int FrameShown(CMovieReader& reader) {
    int32_t length = 0;
    const uint8_t* bits = reader.GetFrame(&length);
    if (!bits) {
        return -2;
    }
    int w, h;
    reader.GetFrameSize(w, h);
    return FrameNumberOf(bits, w, h);
}

class EveryMovie : public MovieReaderTest, public ::testing::WithParamInterface<MovieKind> {};

TEST_P(EveryMovie, SeeksGiveExactlyTheFrameAsked) {
    const MovieKind& kind = GetParam();
    const std::string path = Movie(kind);
    ASSERT_FALSE(path.empty());
    {
        // A fresh reader whose first seek lands in the middle of a group of pictures.
        CMovieReader fresh(path);
        fresh.Seek(kind.frames * 2 / 3 + 1);
        EXPECT_EQ(FrameShown(fresh), kind.frames * 2 / 3 + 1) << kind.name;
    }
    CMovieReader reader(path);
    ASSERT_EQ(reader.GetFrameCount(), kind.frames);
    int w, h;
    reader.GetFrameSize(w, h);
    EXPECT_EQ(w, kMovieWidth);
    EXPECT_EQ(h, kMovieHeight);

    // First, last, backward jumps over key frames, then random frames both ways.
    std::vector<int64_t> order = {
        0, kind.frames - 1, 1, kind.frames - 2, kind.frames / 2, kind.frames / 2 - 1, 13, 12, 11,
        0};
    std::mt19937 random(uint32_t(kind.frames) * 7919u);
    for (int i = 0; i < 300; ++i) {
        order.push_back(int64_t(random() % uint32_t(kind.frames)));
    }
    // Now and then the graph is left to read ahead for a while; the next seek meets it there.
    int wrong = 0;
    for (size_t i = 0; i < order.size(); ++i) {
        reader.Seek(order[i]);
        const int shown = FrameShown(reader);
        if (shown != int(order[i])) {
            ++wrong;
            ADD_FAILURE() << kind.name << ": asked for " << order[i] << ", got " << shown;
        }
        if (wrong > 5) {
            break;
        }
        if (i % 8 == 0) {
            std::this_thread::sleep_for(std::chrono::microseconds(random() % 4000));
        }
    }
}

TEST_P(EveryMovie, PlaysOnFrameByFrameAndEndsInBlack) {
    const MovieKind& kind = GetParam();
    const std::string path = Movie(kind);
    ASSERT_FALSE(path.empty());
    CMovieReader reader(path);
    const int64_t start = kind.frames - 12;
    reader.Seek(start);
    for (int64_t i = start; i < kind.frames; ++i) {
        ASSERT_EQ(FrameShown(reader), int(i)) << kind.name;
    }
    int32_t length = -1;
    EXPECT_EQ(reader.GetFrame(&length), nullptr);
    EXPECT_EQ(length, 0);
    // Past the end every fetch ends at once, and a seek brings frames back.
    const uint8_t* black = reader.GetFrameOrBlack(&length);
    EXPECT_EQ(length, 0);
    EXPECT_TRUE(std::all_of(black, black + reader.GetBufferSize(), [](uint8_t b) { return !b; }));
    reader.Seek(3);
    EXPECT_EQ(FrameShown(reader), 3);
}

INSTANTIATE_TEST_SUITE_P(Movies, EveryMovie, ::testing::ValuesIn(kMovieKinds), MovieTestName);

TEST_F(MovieReaderTest, DrawTakesConsecutiveFramesAndStretches) {
    CMovieReader reader(Movie("h264_bframes.mp4"));
    CDibImage picture(kMovieWidth, kMovieHeight);
    CDibDrawTarget target(picture);
    reader.Seek(40);
    reader.Draw(target, {0, 0, kMovieWidth, kMovieHeight});
    EXPECT_EQ(FrameNumberOf(picture.Bits(), kMovieWidth, kMovieHeight), 40);
    reader.Draw(target, {0, 0, kMovieWidth, kMovieHeight});
    EXPECT_EQ(FrameNumberOf(picture.Bits(), kMovieWidth, kMovieHeight), 41);

    // Half size: every other row and column; the picture stays upright.
    CDibImage half(kMovieWidth / 2, kMovieHeight / 2);
    CDibDrawTarget halfTarget(half);
    reader.Seek(5);
    reader.Draw(halfTarget, {0, 0, kMovieWidth / 2, kMovieHeight / 2});
    const auto green = [&](int x, int yFromTop) {
        return half.Row(half.Height() - 1 - yFromTop)[3 * x + 1] > 128;
    };
    EXPECT_TRUE(green(5, 15));   // bit 0 of 5, upper half
    EXPECT_FALSE(green(15, 15)); // bit 1
    EXPECT_FALSE(green(5, 45));  // its inverse, lower half

    reader.Seek(reader.GetFrameCount() - 1);
    reader.Draw(target, {0, 0, kMovieWidth, kMovieHeight});
    reader.Draw(target, {0, 0, kMovieWidth, kMovieHeight});
    EXPECT_TRUE(std::all_of(picture.Bits(), picture.Bits() + picture.RasterBytes(),
                            [](uint8_t b) { return !b; }));
}

struct OpenFailure {
    int code = -1;
    std::string reason;
    std::string details;
};

OpenFailure OpenError(const std::string& path) {
    try {
        CMovieReader reader(path);
    } catch (const CMyException& e) {
        return {e.m_nError, MovieErrorReason(e), e.Details()};
    }
    return {};
}

// The user sees code 9 alone; the reason names the cause for the details.
TEST_F(MovieReaderTest, RefusesWhatIsNoMovieWithCode9) {
    OpenFailure failure = OpenError(s_pDir->File("missing.mp4"));
    EXPECT_EQ(failure.code, 9);
    EXPECT_NE(failure.reason.find("No such file"), std::string::npos) << failure.reason;
    EXPECT_EQ(failure.details, "missing.mp4: " + failure.reason);
    WriteWholeFile(s_pDir->File("text.avi"), "this is not a movie\n");
    failure = OpenError(s_pDir->File("text.avi"));
    EXPECT_EQ(failure.code, 9);
    EXPECT_NE(failure.reason.find("ffms2"), std::string::npos) << failure.reason;
    // The details name the file alone, not the folder it is in.
    EXPECT_EQ(failure.details.rfind("text.avi: not a movie this program can read (", 0), 0u)
        << failure.details;
    EXPECT_EQ(failure.details.find(s_pDir->Path().string()), std::string::npos) << failure.details;
    const std::string sound =
        RunFfmpeg(*s_pDir, "sound.wav", "-f lavfi -i sine=frequency=440:duration=0.5");
    ASSERT_FALSE(sound.empty());
    failure = OpenError(sound);
    EXPECT_EQ(failure.code, 9);
    EXPECT_NE(failure.reason.find("no video track"), std::string::npos) << failure.reason;
    const std::string empty =
        RunFfmpeg(*s_pDir, "empty.mkv", "-f lavfi -i color=s=64x48 -frames:v 0 -c:v ffv1");
    if (!empty.empty()) {
        failure = OpenError(empty);
        EXPECT_EQ(failure.code, 9);
        EXPECT_FALSE(failure.reason.empty());
    }
    std::string reason = "untouched";
    EXPECT_TRUE(MovieDecodingAvailable(&reason)) << reason;
    EXPECT_EQ(reason, "untouched");
}

TEST_F(MovieReaderTest, IndexingShowsProgressAndCanBeCancelled) {
    const std::string path = Movie("mjpeg.avi");
    // The index is cached per file: a copy has not been indexed yet.
    const std::string copy = s_pDir->File("copy.avi");
    std::filesystem::copy_file(path, copy);
    ScriptedPlatform ui;
    ui.cancelProgressAfter = 1;
    int code = -1;
    try {
        CIndexProgressDialog progress(ui, std::chrono::milliseconds(0));
        CMovieReader reader(copy, progress.Callback());
    } catch (const CMyException& e) {
        code = e.m_nError;
        EXPECT_EQ(MovieErrorReason(e), "indexing cancelled");
    }
    EXPECT_EQ(code, 0); // cancelled: nothing to report
    ASSERT_EQ(ui.progressDialogs.size(), 1u);
    EXPECT_EQ(ui.progressDialogs[0].text, CIndexProgressDialog::kText);
    EXPECT_TRUE(ui.progressDialogs[0].cancelAllowed);
    EXPECT_FALSE(ui.progressDialogs[0].open);

    ui.cancelProgressAfter = -1;
    {
        CIndexProgressDialog progress(ui, std::chrono::milliseconds(0));
        CMovieReader reader(copy, progress.Callback());
        EXPECT_EQ(reader.GetFrameCount(), 64);
    }
    // Opened again: the index comes from the cache, no dialog.
    const size_t dialogs = ui.progressDialogs.size();
    CIndexProgressDialog progress(ui, std::chrono::milliseconds(0));
    CMovieReader again(copy, progress.Callback());
    EXPECT_EQ(ui.progressDialogs.size(), dialogs);
}

TEST_F(MovieReaderTest, AFetchEndsInBlackWhenDecodingFails) {
    // The movie is cut short after it was opened: the frames the index promised are gone. The
    // first frame is read before, so that the demuxer holds the start of the file, not its end.
    const std::string path = Movie("mjpeg.avi");
    const std::string copy = s_pDir->File("cut.avi");
    std::filesystem::copy_file(path, copy);
    CMovieReader reader(copy);
    ASSERT_EQ(FrameShown(reader), 0);
    std::filesystem::resize_file(copy, std::filesystem::file_size(copy) / 3);
    reader.Seek(60);
    int32_t length = -1;
    const uint8_t* bits = reader.GetFrameOrBlack(&length);
    EXPECT_EQ(length, 0);
    EXPECT_TRUE(std::all_of(bits, bits + reader.GetBufferSize(), [](uint8_t b) { return !b; }));
    EXPECT_EQ(reader.FailureReason().rfind("frame 60: ", 0), 0u) << reader.FailureReason();
    EXPECT_NE(reader.FailureReason().find("ended"), std::string::npos) << reader.FailureReason();
    // Asked again without a seek: no error comes twice, so this must not wait for one.
    const std::string reason = reader.FailureReason();
    EXPECT_EQ(reader.FetchFrame(), 0);
    EXPECT_EQ(reader.FailureReason(), reason);
    reader.Seek(1);
    EXPECT_EQ(FrameShown(reader), 1);
    EXPECT_EQ(reader.FailureReason(), "");
}

// Random frames, every frame backwards, every other forwards: each shown is the one asked for, or
// none with the reason; never another frame under this one's number. Returns how many
// could not be decoded. Frame n shows the number n + `first`.
int SeekEverywhere(CMovieReader& reader, const std::string& name, int first = 0) {
    const int64_t count = reader.GetFrameCount();
    std::vector<int64_t> order;
    std::mt19937 random(uint32_t(count) * 31u);
    for (int i = 0; i < 24; ++i) {
        order.push_back(int64_t(random() % uint64_t(count)));
    }
    for (int64_t n = count - 1; n >= 0; --n) {
        order.push_back(n);
    }
    for (int64_t n = 1; n < count; n += 2) {
        order.push_back(n);
    }
    int undecodable = 0;
    int wrong = 0;
    for (const int64_t n : order) {
        reader.Seek(n);
        const int shown = FrameShown(reader);
        if (shown == -2) {
            ++undecodable;
            EXPECT_EQ(reader.FailureReason().rfind("frame " + std::to_string(n) + ": ", 0), 0u)
                << name << ": " << reader.FailureReason();
        } else if (shown != -1 && shown != int(n) + first && ++wrong <= 5) {
            ADD_FAILURE() << name << ": asked for " << n << ", got " << shown;
        }
        // Reading ahead runs into the damage and the end, and is cut short by the next seek.
        std::this_thread::sleep_for(std::chrono::microseconds(random() % 3000));
    }
    return undecodable;
}

// Broken files made from valid ones: a last packet cut short, bytes overwritten in the middle,
// a transport stream that starts inside a group of pictures.
TEST_F(MovieReaderTest, BrokenMoviesNeverShowAFrameUnderAnotherNumber) {
    const std::string whole = Movie(MovieKind{
        "whole.mp4", "-c:v libx264 -preset veryfast -bf 0 -g 12 -movflags +faststart", 30});
    const std::string truncated = s_pDir->File("truncated.mp4");
    std::filesystem::copy_file(whole, truncated);
    std::filesystem::resize_file(truncated, std::filesystem::file_size(whole) - 12);
    {
        CMovieReader reader(truncated);
        EXPECT_EQ(reader.GetFrameCount(), 29);
        EXPECT_EQ(SeekEverywhere(reader, "truncated.mp4"), 0);
    }

    const std::string intact =
        Movie(MovieKind{"intact.mp4", "-c:v libx264 -preset veryfast -bf 3 -g 24", 48});
    const std::string damaged = s_pDir->File("damaged.mp4");
    std::filesystem::copy_file(intact, damaged);
    {
        std::fstream file(damaged, std::ios::in | std::ios::out | std::ios::binary);
        file.seekp(std::streamoff(std::filesystem::file_size(damaged) * 2 / 5));
        for (int i = 0; i < 120; ++i) {
            file.put(char(i * 37 + 11));
        }
    }
    {
        CMovieReader reader(damaged);
        // Into the damage, then well after it: the later frame is itself.
        for (int64_t n = 10; n < 30; ++n) {
            reader.Seek(n);
            FrameShown(reader);
        }
        reader.Seek(45);
        EXPECT_EQ(FrameShown(reader), 45);
        EXPECT_GT(SeekEverywhere(reader, "damaged.mp4"), 0);
    }

    const std::string ts = Movie(MovieKind{
        "whole.ts", "-c:v libx264 -preset veryfast -bf 3 -x264-params keyint=12:scenecut=0", 36});
    const std::string cut = s_pDir->File("cut.ts");
    {
        const std::string bytes = ReadWholeFile(ts);
        // Whole transport packets from a third of the way in.
        WriteWholeFile(cut, bytes.substr(bytes.size() / 3 / 188 * 188));
    }
    CMovieReader reader(cut);
    reader.Seek(0);
    const int first = FrameShown(reader);
    EXPECT_EQ(first % 12, 0) << "frame 0 is the first key frame, not " << first;
    EXPECT_EQ(reader.GetFrameCount(), 36 - first);
    EXPECT_EQ(SeekEverywhere(reader, "cut.ts", first), 0);
}

// A phone's movie: the picture stored turned, with the matrix that turns it upright written
// into the track header (a, b, c, d in 16.16; the shift in x).
std::string TurnedMovie(const std::string& name, const char* turn, int a, int b, int c, int d,
                        int shiftX, const TempDir& dir) {
    const std::string stored = RunFfmpeg(
        dir, "stored_" + name,
        "-f lavfi -i \"color=c=black:s=160x120:r=25,format=yuv420p,geq=lum='if(eq(lt(Y,60),"
        "mod(floor(N/pow(2,floor(X/20))),2)),235,16)':cb=128:cr=128\" -frames:v 6 -vf " +
            std::string(turn) + " -c:v libx264 -preset veryfast -bf 2");
    std::string bytes = ReadWholeFile(stored);
    const size_t tkhd = bytes.find("tkhd");
    if (stored.empty() || tkhd == std::string::npos) {
        return "";
    }
    const int32_t values[] = {a << 16, b << 16, 0, c << 16, d << 16, 0, shiftX << 16, 0, 1 << 30};
    for (int i = 0; i < 9; ++i) {
        for (int k = 0; k < 4; ++k) {
            bytes[tkhd + 44 + 4 * i + k] = char(uint32_t(values[i]) >> (24 - 8 * k));
        }
    }
    WriteWholeFile(dir.File(name), bytes);
    return dir.File(name);
}

TEST_F(MovieReaderTest, TurnedMoviesComeOutUpright) {
    // Stored a quarter turn anticlockwise, shown a quarter turn clockwise; stored mirrored
    // across the diagonal, shown mirrored back.
    for (const std::string& path :
         {TurnedMovie("turned.mp4", "transpose=cclock", 0, 1, -1, 0, 120, *s_pDir),
          TurnedMovie("mirrored.mp4", "transpose=cclock_flip", 0, 1, 1, 0, 0, *s_pDir)}) {
        ASSERT_FALSE(path.empty());
        CMovieReader reader(path);
        int w, h;
        reader.GetFrameSize(w, h);
        EXPECT_EQ(w, kMovieWidth) << path;
        EXPECT_EQ(h, kMovieHeight) << path;
        for (const int64_t n : {4, 1, 5}) {
            reader.Seek(n);
            EXPECT_EQ(FrameShown(reader), n) << path;
        }
        CDibImage picture(path, 3);
        EXPECT_EQ(picture.Width(), kMovieWidth);
        EXPECT_EQ(FrameNumberOf(picture.Bits(), picture.Width(), picture.Height()), 3) << path;
    }
}

TEST_F(MovieReaderTest, PictureFromAMovieFrame) {
    const std::string path = Movie("h264_opengop.mp4");
    CDibImage first(path, 0);
    EXPECT_EQ(first.Width(), kMovieWidth);
    EXPECT_EQ(first.Height(), kMovieHeight);
    EXPECT_EQ(first.GetPath(), path);
    EXPECT_EQ(first.FrameIndex(), 0);
    EXPECT_EQ(FrameNumberOf(first.Bits(), kMovieWidth, kMovieHeight), 0);
    CDibImage last(path, 95);
    EXPECT_EQ(last.FrameIndex(), 95);
    EXPECT_EQ(FrameNumberOf(last.Bits(), kMovieWidth, kMovieHeight), 95);
    // Past the end: black, no error.
    CDibImage past(path, 96);
    EXPECT_TRUE(
        std::all_of(past.Bits(), past.Bits() + past.RasterBytes(), [](uint8_t b) { return !b; }));
    const int before = CDibImage::LiveCount();
    int code = -1;
    try {
        CDibImage none(s_pDir->File("missing.mov"), 0);
    } catch (const CMyException& e) {
        code = e.m_nError;
    }
    EXPECT_EQ(code, 9);
    EXPECT_EQ(CDibImage::LiveCount(), before);
}

} // namespace
} // namespace vx::test
