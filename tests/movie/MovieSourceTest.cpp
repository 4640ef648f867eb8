// The source below the graph: sought frames down to the byte, and the work a seek leaves out.
#include "support/TestMovies.h"

#include "movie/MovieSource.h"

#include <algorithm>
#include <random>
#include <vector>

namespace vx::test {
namespace {

class MovieSourceTest : public MovieSuite {
protected:
    static std::unique_ptr<CMovieSource> Open(const std::string& path) {
        std::unique_ptr<CMovieSource> source;
        EXPECT_EQ(CMovieSource::Open(path, IndexProgress(), &source), S_OK) << path;
        return source;
    }
};

constexpr int kStride = ((3 * kMovieWidth + 3) / 4) * 4;

uint64_t Hash(const std::vector<uint8_t>& bytes) {
    uint64_t h = 14695981039346656037ull;
    for (const uint8_t b : bytes) {
        h = (h ^ b) * 1099511628211ull;
    }
    return h;
}

bool EndsWith(const std::string& s, const std::string& end) {
    return s.size() >= end.size() && s.compare(s.size() - end.size(), end.size(), end) == 0;
}

class EverySource : public MovieSourceTest, public ::testing::WithParamInterface<MovieKind> {};

// A shortcut that dropped a picture another one refers to would show a damaged frame with the
// right number in it: compare every byte with the frame that playing from the start gives.
TEST_P(EverySource, SoughtFramesHoldTheBytesThatPlayingGives) {
    const MovieKind& kind = GetParam();
    const std::string path = Movie(kind);
    ASSERT_FALSE(path.empty());
    std::vector<uint8_t> frame(size_t(kStride) * kMovieHeight);
    std::vector<uint64_t> played(size_t(kind.frames));
    {
        const auto source = Open(path);
        ASSERT_TRUE(source);
        for (int n = 0; n < kind.frames; ++n) {
            ASSERT_EQ(source->ReadFrame(n, frame.data(), kStride), S_OK) << n;
            ASSERT_EQ(FrameNumberOf(frame.data(), kMovieWidth, kMovieHeight), n);
            played[size_t(n)] = Hash(frame);
        }
    }
    const auto source = Open(path);
    ASSERT_TRUE(source);
    const bool byTimestamp = source->IdentifiesByTimestamp();
    const std::string name = kind.name;
    if (EndsWith(name, ".mp4") || EndsWith(name, ".mkv") || EndsWith(name, ".mov") ||
        EndsWith(name, ".webm") || EndsWith(name, ".ts") || EndsWith(name, ".h264") ||
        EndsWith(name, ".hevc")) {
        EXPECT_TRUE(byTimestamp) << name;
    }
    // Random frames, then a walk backwards and one forwards in single steps.
    std::vector<int> order;
    std::mt19937 random(uint32_t(kind.frames) * 104729u);
    for (int i = 0; i < 150; ++i) {
        order.push_back(int(random() % uint32_t(kind.frames)));
    }
    for (int n = kind.frames * 3 / 4; n > kind.frames / 4; --n) {
        order.push_back(n);
    }
    for (int n = kind.frames / 4; n < kind.frames / 2; n += 3) {
        order.push_back(n);
    }
    // Between reads the graph reads ahead for a while: the next frame asked for may be one read
    // ahead, kept, or just after those.
    int wrong = 0;
    for (const int n : order) {
        ASSERT_EQ(source->ReadFrame(n, frame.data(), kStride), S_OK)
            << name << " " << source->Error();
        if (Hash(frame) != played[size_t(n)]) {
            ADD_FAILURE() << name << ": frame " << n << " differs from the played one";
            if (++wrong > 5) {
                break;
            }
        }
        for (int ahead = int(random() % 12); ahead > 0 && source->ReadAhead(); --ahead) {
        }
    }
    {
        // Read ahead as far as it goes: those frames come without decoding, and the one right
        // after them goes on from there.
        const auto fresh = Open(path);
        const int from = kind.frames / 3;
        ASSERT_EQ(fresh->ReadFrame(from, frame.data(), kStride), S_OK) << name;
        int ahead = 0;
        while (fresh->ReadAhead()) {
            ++ahead;
        }
        EXPECT_GT(ahead, 0) << name;
        const int64_t decoded = fresh->FramesDecoded();
        for (int n = from + 1; n <= from + ahead + 1; ++n) {
            ASSERT_EQ(fresh->ReadFrame(n, frame.data(), kStride), S_OK) << name;
            EXPECT_EQ(Hash(frame), played[size_t(n)]) << name << " " << n;
            EXPECT_EQ(fresh->FramesDecoded() > decoded, n > from + ahead) << name << " " << n;
        }
    }
    ASSERT_EQ(source->ReadFrame(kind.frames - 1, frame.data(), kStride), S_OK) << name;
    EXPECT_FALSE(source->ReadAhead()) << name << ": nothing follows the last frame";
    // Key frames stay decoded while other frames are read: the slider's key-frame previews.
    const int64_t key = source->KeyFrameAtOrBefore(kind.frames / 2);
    ASSERT_EQ(source->ReadFrame(key, frame.data(), kStride), S_OK) << name;
    for (int n = 0; n < 6; ++n) {
        ASSERT_EQ(source->ReadFrame(n, frame.data(), kStride), S_OK) << name;
    }
    int64_t decoded = source->FramesDecoded();
    ASSERT_EQ(source->ReadFrame(key, frame.data(), kStride), S_OK) << name;
    EXPECT_EQ(Hash(frame), played[size_t(key)]) << name << " " << key;
    EXPECT_EQ(source->FramesDecoded(), decoded) << name << " " << key;
    // The frame after it comes from reading ahead, which goes on from the key frame.
    while (source->ReadAhead()) {
    }
    decoded = source->FramesDecoded();
    ASSERT_EQ(source->ReadFrame(key + 1, frame.data(), kStride), S_OK) << name;
    EXPECT_EQ(Hash(frame), played[size_t(key + 1)]) << name << " " << key + 1;
    EXPECT_EQ(source->FramesDecoded(), decoded) << name << " " << key + 1;
    // Falling back to counting would stay exact but make every later seek slow.
    EXPECT_EQ(source->IdentifiesByTimestamp(), byTimestamp) << name;
}

INSTANTIATE_TEST_SUITE_P(Movies, EverySource, ::testing::ValuesIn(kMovieKinds), MovieTestName);

// Streams without a container, whose frames are named by their pictures' order.
const MovieKind kRawKinds[] = {
    {"h264_bframes.h264", "-c:v libx264 -preset veryfast -bf 3 -g 24", 96},
    {"h264_opengop.h264",
     "-c:v libx264 -preset veryfast -bf 3 -x264-params keyint=24:min-keyint=24:open-gop=1:"
     "scenecut=0",
     96},
    {"hevc.hevc", "-c:v libx265 -preset superfast -x265-params keyint=24:bframes=3:log-level=error",
     96},
};
INSTANTIATE_TEST_SUITE_P(Raw, EverySource, ::testing::ValuesIn(kRawKinds), MovieTestName);

TEST_F(MovieSourceTest, DecodingTowardsAFrameLeavesOutUnreferencedPicturesAndKeepsRecentOnes) {
    for (const char* name :
         {"h264_bframes.mp4", "h264_opengop.mkv", "mpeg4_bframes.mp4", "hevc.mp4"}) {
        const std::string path = Movie(Kind(name));
        ASSERT_FALSE(path.empty());
        std::shared_ptr<const CMovieIndex> index;
        ASSERT_EQ(CMovieIndex::Get(path, IndexProgress(), &index), S_OK);
        // A frame well after its key frame: enough pictures between them to leave some out.
        int64_t n = index->FrameCount() - 4;
        while (n > 12 && index->KeyAtOrBefore(n) != n - 12) {
            --n;
        }
        const int64_t key = index->KeyAtOrBefore(n);
        ASSERT_EQ(n - key, 12) << name;

        const auto source = Open(path);
        ASSERT_TRUE(source);
        std::vector<uint8_t> frame(size_t(kStride) * kMovieHeight);
        ASSERT_EQ(source->ReadFrame(n, frame.data(), kStride), S_OK);
        EXPECT_EQ(FrameNumberOf(frame.data(), kMovieWidth, kMovieHeight), n);
        EXPECT_LT(source->FramesDecoded(), n - key + 1) << name;
        // The frames right after it are all decoded, none left out.
        for (int64_t next = n + 1; next < n + 4; ++next) {
            ASSERT_EQ(source->ReadFrame(next, frame.data(), kStride), S_OK);
            EXPECT_EQ(FrameNumberOf(frame.data(), kMovieWidth, kMovieHeight), next) << name;
        }
        // Stepping back over frames just read takes them from those kept decoded.
        const int64_t decoded = source->FramesDecoded();
        for (int64_t back = n + 2; back >= n; --back) {
            ASSERT_EQ(source->ReadFrame(back, frame.data(), kStride), S_OK);
            EXPECT_EQ(FrameNumberOf(frame.data(), kMovieWidth, kMovieHeight), back) << name;
        }
        EXPECT_EQ(source->FramesDecoded(), decoded) << name;
        EXPECT_TRUE(source->IdentifiesByTimestamp()) << name;
    }
}

// Key frames further apart than a decoder's reach, in streams without an index of their own: a
// seek decodes from the key frame before the frame, not from the start of the file. Transport
// streams name frames by their packets' times, raw H.264 and HEVC by their pictures' order (key
// frames that are instantaneous refreshes or recovery points alike), and a raw stream refreshed
// gradually, without intra pictures, counts them.
TEST_F(MovieSourceTest, SeeksWithoutAContainerIndexStartAtTheKeyFrameBeforeTheFrame) {
    const std::string x264 = "-c:v libx264 -preset ultrafast -bf 3 -x264-params ";
    const std::string closed = x264 + "keyint=80:scenecut=0";
    const std::string open = x264 + "keyint=80:min-keyint=80:open-gop=1:scenecut=0";
    const std::string hevc = "-c:v libx265 -preset superfast -x265-params "
                             "keyint=80:min-keyint=80:scenecut=0:bframes=3:log-level=error";
    const std::string refresh = x264 + "keyint=80:intra-refresh=1";
    struct Case {
        MovieKind kind;
        bool byTimestamp;
    };
    for (const Case& c : {Case{{"long_gop.h264", closed.c_str(), 180}, true},
                          Case{{"long_gop.ts", closed.c_str(), 180}, true},
                          Case{{"open_gop.h264", open.c_str(), 180}, true},
                          Case{{"open_gop.hevc", hevc.c_str(), 180}, true},
                          Case{{"refresh.h264", refresh.c_str(), 180}, false}}) {
        const char* name = c.kind.name;
        const std::string path = Movie(c.kind);
        ASSERT_FALSE(path.empty());
        const auto source = Open(path);
        ASSERT_TRUE(source);
        EXPECT_EQ(source->IdentifiesByTimestamp(), c.byTimestamp) << name;
        ASSERT_EQ(source->FrameCount(), c.kind.frames);
        std::vector<uint8_t> frame(size_t(kStride) * kMovieHeight);
        // Backwards across key frames, forwards and back again within a group, random frames,
        // then single steps forwards.
        std::vector<int64_t> order = {175, 165, 120, 85, 170, 30, 161, 100, 99, 160, 81};
        std::mt19937 random(4242);
        for (int i = 0; i < 20; ++i) {
            order.push_back(int64_t(random() % 180));
        }
        for (int64_t n = 76; n < 86; ++n) {
            order.push_back(n);
        }
        for (const int64_t n : order) {
            const int64_t before = source->FramesDecoded();
            ASSERT_EQ(source->ReadFrame(n, frame.data(), kStride), S_OK)
                << name << " " << source->Error();
            EXPECT_EQ(FrameNumberOf(frame.data(), kMovieWidth, kMovieHeight), n) << name;
            if (!c.byTimestamp) {
                continue;
            }
            const int64_t key = n / 80 * 80;
            EXPECT_EQ(source->KeyFrameAtOrBefore(n), key) << name;
            EXPECT_LE(source->FramesDecoded() - before, n - key + 8) << name << " " << n;
        }
        // The frames just before a sought one stay decoded for a step back.
        ASSERT_EQ(source->ReadFrame(150, frame.data(), kStride), S_OK) << name;
        const int64_t decoded = source->FramesDecoded();
        ASSERT_EQ(source->ReadFrame(149, frame.data(), kStride), S_OK) << name;
        EXPECT_EQ(FrameNumberOf(frame.data(), kMovieWidth, kMovieHeight), 149) << name;
        EXPECT_EQ(source->FramesDecoded(), decoded) << name;
        EXPECT_EQ(source->IdentifiesByTimestamp(), c.byTimestamp) << name;
    }
}

} // namespace
} // namespace vx::test
