// The settings calls of one start-up and one exit, and one project export, on big INI files.
// Peak memory is the process's, so run one benchmark per process (--benchmark_filter) to read it.
#include "profile/PrivateProfile.h"
#include "profile/ProfileFile.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <map>
#include <sys/resource.h>

using namespace vx;

namespace {

const std::string kOwnKeys =
    "[TWAIN]\r\nDEVICE0=Scanner A\r\n\r\n[]\r\nX=10\r\nY=20\r\nWIDTH=300\r\nHEIGHT=200\r\n";

// At most `bytes` of many small sections of short lines, the program's own keys last so that
// every look-up scans it all.
std::string MakeFile(size_t bytes) {
    static std::map<size_t, std::string> made;
    auto found = made.find(bytes);
    if (found != made.end()) {
        return found->second;
    }
    std::string path =
        (std::filesystem::temp_directory_path() / ("vexel-bench-" + std::to_string(bytes) + ".INI"))
            .string();
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    size_t written = kOwnKeys.size();
    for (int section = 0;; ++section) {
        std::string block = "[Section" + std::to_string(section) + "]\r\n";
        for (int key = 0; key < 16; ++key) {
            block += "key" + std::to_string(key) + "=value " + std::to_string(section) + "\r\n";
        }
        if (written + block.size() > bytes) {
            break;
        }
        out << block;
        written += block.size();
    }
    out << kOwnKeys;
    out.close();
    // As a settings file is at start-up: written at the end of an earlier session.
    std::filesystem::last_write_time(path, std::filesystem::file_time_type::clock::now() -
                                               std::chrono::hours(1));
    made[bytes] = path;
    return path;
}

void ReportPeak(benchmark::State& state) {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    state.counters["peak_MB"] = static_cast<double>(usage.ru_maxrss) / 1024.0;
}

const char* const kPlacement[] = {"X", "Y", "WIDTH", "HEIGHT"};

// What start-up reads: the Preview placement, then the scanner list.
void BM_StartUp(benchmark::State& state) {
    const std::string path = MakeFile(static_cast<size_t>(state.range(0)));
    for (auto _ : state) {
        int sum = 0;
        for (const char* key : kPlacement) {
            sum += GetPrivateProfileInt("", key, -1, path);
        }
        for (int i = 0; i < 10; ++i) {
            sum += static_cast<int>(
                GetPrivateProfileString("TWAIN", "DEVICE" + std::to_string(i), "", path).size());
        }
        benchmark::DoNotOptimize(sum);
    }
    ReportPeak(state);
}

// What exit writes: the Preview placement, then the scanner list.
void BM_Exit(benchmark::State& state) {
    const std::string path = MakeFile(static_cast<size_t>(state.range(0)));
    for (auto _ : state) {
        for (const char* key : kPlacement) {
            WritePrivateProfileString("", key, "123", path);
        }
        for (int i = 0; i < 10; ++i) {
            WritePrivateProfileString("TWAIN", "DEVICE" + std::to_string(i), i ? "" : "Scanner A",
                                      path);
        }
    }
    ReportPeak(state);
}

// A project exported into a big existing file: one load, four values, one save.
void BM_Export(benchmark::State& state) {
    const std::string path = MakeFile(static_cast<size_t>(state.range(0)));
    const std::string out = path + ".vpj";
    for (auto _ : state) {
        CProfileFile file;
        file.Load(path);
        file.SetString("Vexelo", "OutputWidth", "1333");
        file.SetString("Vexelo", "OutputHeight", "1000");
        file.SetString("Images", "Source", "/home/user/source.bmp");
        file.SetString("Images", "Target", "/home/user/target.bmp");
        if (!file.Save(out)) {
            state.SkipWithError("save failed");
        }
    }
    std::filesystem::remove(out);
    ReportPeak(state);
}

constexpr int64_t kMB = 1 << 20;

} // namespace

BENCHMARK(BM_StartUp)->Arg(kMB)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_StartUp)->Arg(50 * kMB)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_Exit)->Arg(kMB)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Exit)->Arg(50 * kMB)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_Export)->Arg(50 * kMB)->Unit(benchmark::kMillisecond)->Iterations(1);
