// Opening and indexing a 1920 x 1080 H.264 movie, and Seek + Draw of random frames in it; the
// same small stream in each container, to compare seeks where frames are counted with seeks
// where timestamps name them.
#include "movie/DibDrawTarget.h"
#include "movie/MovieIndex.h"
#include "movie/MovieReader.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <iterator>
#include <random>
#include <thread>
#include <vector>

namespace {

constexpr int kFrames = 1200;

// x264's own key frame distance (250) unless `gop` is given; B-frames when asked.
std::string MakeBenchMovie(int gop, bool bframes = false) {
    const std::string name = bframes ? "vexel_bench_1080p_bf.mp4"
                             : gop   ? "vexel_bench_1080p_g" + std::to_string(gop) + ".mp4"
                                     : "vexel_bench_1080p.mp4";
    const std::string p = (std::filesystem::temp_directory_path() / name).string();
    if (!std::filesystem::exists(p)) {
        const std::string command =
            "ffmpeg -nostdin -hide_banner -loglevel error -y -f lavfi -i "
            "testsrc2=s=1920x1080:r=25 -frames:v " +
            std::to_string(kFrames) +
            (bframes ? " -c:v libx264 -preset veryfast -bf 3 -pix_fmt yuv420p "
                     : " -c:v libx264 -preset ultrafast -pix_fmt yuv420p ") +
            (gop ? "-g " + std::to_string(gop) + " " : std::string()) + "'" + p +
            ".part.mp4' && mv '" + p + ".part.mp4' '" + p + "'";
        if (std::system(command.c_str()) != 0) {
            return std::string();
        }
    }
    return p;
}

// MPEG-2 in a program stream: frames are counted, not named by their timestamps.
std::string MakeBenchProgramStream() {
    const std::string p =
        (std::filesystem::temp_directory_path() / "vexel_bench_1080p.mpg").string();
    if (!std::filesystem::exists(p)) {
        const std::string command = "ffmpeg -nostdin -hide_banner -loglevel error -y -f lavfi -i "
                                    "testsrc2=s=1920x1080:r=25 -frames:v " +
                                    std::to_string(kFrames) +
                                    " -c:v mpeg2video -q:v 4 -bf 2 -g 12 -f mpeg '" + p +
                                    ".part' && mv '" + p + ".part' '" + p + "'";
        if (std::system(command.c_str()) != 0) {
            return std::string();
        }
    }
    return p;
}

// 0: no B-frames, key frames 250 apart; 50: 50 apart; 1: B-frames, 250 apart; -1: MPEG-2 .mpg.
const std::string& BenchMovie(int kind = 0) {
    static const std::string plain = MakeBenchMovie(0);
    static const std::string short_ = MakeBenchMovie(50);
    static const std::string bframes = MakeBenchMovie(0, true);
    static const std::string mpg = MakeBenchProgramStream();
    return kind < 0 ? mpg : kind == 1 ? bframes : kind ? short_ : plain;
}

void Median(benchmark::State& state, std::vector<double>& ms) {
    if (ms.empty()) {
        return;
    }
    std::sort(ms.begin(), ms.end());
    state.counters["median_ms"] = ms[ms.size() / 2];
    state.counters["p90_ms"] = ms[ms.size() * 9 / 10];
    state.counters["max_ms"] = ms.back();
}

// Milliseconds for one seek and the frame it brings.
double SeekAndDraw(vx::CMovieReader& reader, vx::IDrawTarget& target, int64_t frame, int w, int h) {
    const auto t0 = std::chrono::steady_clock::now();
    reader.Seek(frame);
    reader.Draw(target, {0, 0, w, h});
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
}

void BM_OpenAndIndex(benchmark::State& state) {
    if (BenchMovie().empty()) {
        state.SkipWithError("ffmpeg could not make the movie");
        return;
    }
    std::vector<double> ms;
    for (auto _ : state) {
        vx::CMovieIndex::ClearCache();
        const auto t0 = std::chrono::steady_clock::now();
        vx::CMovieReader reader(BenchMovie());
        ms.push_back(
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0)
                .count());
        benchmark::DoNotOptimize(reader.GetFrameCount());
    }
    Median(state, ms);
}
BENCHMARK(BM_OpenAndIndex)->Iterations(5)->Unit(benchmark::kMillisecond);

void BM_OpenCached(benchmark::State& state) {
    if (BenchMovie().empty()) {
        state.SkipWithError("ffmpeg could not make the movie");
        return;
    }
    { vx::CMovieReader warm(BenchMovie()); }
    std::vector<double> ms;
    for (auto _ : state) {
        const auto t0 = std::chrono::steady_clock::now();
        vx::CMovieReader reader(BenchMovie());
        ms.push_back(
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0)
                .count());
    }
    Median(state, ms);
}
BENCHMARK(BM_OpenCached)->Iterations(5)->Unit(benchmark::kMillisecond);

// First argument 0: random frames anywhere; 1: always forward; 2: always backward; 3: one
// frame back each time, as the Choose Frame dialog's previous-frame button does.
// Second argument: the movie (BenchMovie); in the MPEG-2 program stream the first pass counts
// frames up to each new frame, later seeks restart at key frames noted on the way.
void BM_SeekDraw(benchmark::State& state) {
    const std::string& movie = BenchMovie(int(state.range(1)));
    if (movie.empty()) {
        state.SkipWithError("ffmpeg could not make the movie");
        return;
    }
    vx::CMovieReader reader(movie);
    int w, h;
    reader.GetFrameSize(w, h);
    vx::CDibImage picture(w, h);
    vx::CDibDrawTarget target(picture);
    std::mt19937 random(12345);
    const int64_t count = reader.GetFrameCount();
    int64_t current = state.range(0) >= 2 ? count - 1 : 0;
    std::vector<double> ms;
    for (auto _ : state) {
        int64_t next;
        if (state.range(0) == 1) {
            next = current + 1 + int64_t(random() % 120);
            if (next >= count) {
                next = int64_t(random() % 60);
            }
        } else if (state.range(0) == 3) {
            next = current > 0 ? current - 1 : count - 1;
        } else if (state.range(0) == 2) {
            next = current - 1 - int64_t(random() % 120);
            if (next < 0) {
                next = count - 1 - int64_t(random() % 60);
            }
        } else {
            next = int64_t(random() % uint64_t(count));
        }
        current = next;
        ms.push_back(SeekAndDraw(reader, target, current, w, h));
    }
    Median(state, ms);
}
BENCHMARK(BM_SeekDraw)
    ->ArgsProduct({{0, 1, 2, 3}, {0, 1, 50, -1}})
    ->Iterations(60)
    ->Unit(benchmark::kMillisecond);

// A few streams, each made once in a container with timestamps and copied into the others: seeks
// there differ only by how frames are found (timestamps in MP4 and Matroska, packet times in
// transport streams, picture order or counting elsewhere).
struct Master {
    const char* file;
    const char* size;
    int frames;
    const char* encoder; // ffmpeg output options, the format included
};
constexpr Master kMasters[] = {
    // 640 x 360, 12 s, key frames 100 apart.
    {"vexel_bench_seek_master.mp4", "640x360", 300,
     "-c:v libx264 -preset ultrafast -bf 3 -x264-params keyint=100:scenecut=0 -f mp4"},
    {"vexel_bench_seek_master.mpg", "640x360", 300, "-c:v mpeg2video -q:v 4 -bf 2 -g 100 -f vob"},
    // Key frames that are recovery points, not instantaneous refreshes.
    {"vexel_bench_seek_master_open.mp4", "640x360", 300,
     "-c:v libx264 -preset ultrafast -bf 3 -x264-params keyint=100:min-keyint=100:open-gop=1:"
     "scenecut=0 -f mp4"},
    // 1920 x 1080 with x264's own key frame distance.
    {"vexel_bench_seek_master_1080p.mp4", "1920x1080", 500,
     "-c:v libx264 -preset ultrafast -bf 3 -x264-params keyint=250:scenecut=0 -f mp4"},
};

struct Container {
    const char* name; // the copy's name after "vexel_bench_seek.", its extension last
    int master;       // kMasters
};
constexpr Container kContainers[] = {
    {"mp4", 0},      {"mkv", 0},        {"ts", 0},         {"m2ts", 0},      {"h264", 0},
    {"mpg", 1},      {"mpeg2.mp4", 1},  {"open.mp4", 2},   {"open.h264", 2}, {"1080p.mp4", 3},
    {"1080p.ts", 3}, {"1080p.m2ts", 3}, {"1080p.h264", 3},
};
constexpr int kFirst1080p = 9;

std::string ContainerMovie(const Container& c) {
    const auto dir = std::filesystem::temp_directory_path();
    const Master& m = kMasters[c.master];
    const std::string master = (dir / m.file).string();
    const std::string p = (dir / (std::string("vexel_bench_seek.") + c.name)).string();
    const std::string ffmpeg = "ffmpeg -nostdin -hide_banner -loglevel error -y ";
    if (!std::filesystem::exists(master)) {
        const std::string command = ffmpeg + "-f lavfi -i testsrc2=s=" + m.size +
                                    ":r=25 -frames:v " + std::to_string(m.frames) +
                                    " -pix_fmt yuv420p " + m.encoder + " '" + master +
                                    ".part' && mv '" + master + ".part' '" + master + "'";
        if (std::system(command.c_str()) != 0) {
            return std::string();
        }
    }
    if (master == p) {
        return p;
    }
    if (!std::filesystem::exists(p)) {
        const std::string ext = std::filesystem::path(p).extension().string().substr(1);
        const std::string format = ext == "mpg" ? " -f vob" : ext == "h264" ? " -f h264" : "";
        const std::string command = ffmpeg + "-i '" + master + "' -c copy" + format + " '" + p +
                                    ".part." + ext + "' && mv '" + p + ".part." + ext + "' '" + p +
                                    "'";
        if (std::system(command.c_str()) != 0) {
            return std::string();
        }
    }
    return p;
}

// First argument: the container (kContainers); second: 0 random frames, 1 one frame back, 2 one
// frame forward. A user looks at each frame before asking for the next: the reader is left alone
// for a while between requests (not timed), as the graph would be between clicks.
void BM_SeekByContainer(benchmark::State& state) {
    const Container& c = kContainers[state.range(0)];
    const std::string movie = ContainerMovie(c);
    if (movie.empty()) {
        state.SkipWithError("ffmpeg could not make the movie");
        return;
    }
    static const char* const kMoves[] = {"random", "back", "forward"};
    state.SetLabel(std::string(c.name) + " " + kMoves[state.range(1)]);
    vx::CMovieReader reader(movie);
    int w, h;
    reader.GetFrameSize(w, h);
    vx::CDibImage picture(w, h);
    vx::CDibDrawTarget target(picture);
    std::mt19937 random(777);
    const int64_t count = reader.GetFrameCount();
    // Steps start at a random frame every 10 steps, so that they cross key frames.
    int64_t current = int64_t(random() % uint64_t(count));
    std::vector<double> ms;
    int64_t i = 0;
    for (auto _ : state) {
        const bool jump = state.range(1) == 0 || i++ % 10 == 0;
        if (jump) {
            current = int64_t(random() % uint64_t(count));
        } else if (state.range(1) == 1) {
            current = current > 0 ? current - 1 : count - 1;
        } else {
            current = current + 1 < count ? current + 1 : 0;
        }
        const double t = SeekAndDraw(reader, target, current, w, h);
        if (state.range(1) == 0 || !jump) {
            ms.push_back(t);
        }
        state.PauseTiming();
        std::this_thread::sleep_for(std::chrono::milliseconds(60));
        state.ResumeTiming();
    }
    Median(state, ms);
}
BENCHMARK(BM_SeekByContainer)
    ->ArgsProduct({benchmark::CreateDenseRange(0, kFirst1080p - 1, 1), {0, 1, 2}})
    ->Iterations(60)
    ->Unit(benchmark::kMillisecond);
// The 1080p copies decode for longer: fewer seeks.
BENCHMARK(BM_SeekByContainer)
    ->ArgsProduct({benchmark::CreateDenseRange(kFirst1080p, int(std::size(kContainers)) - 1, 1),
                   {0, 1, 2}})
    ->Iterations(20)
    ->Unit(benchmark::kMillisecond);

} // namespace
