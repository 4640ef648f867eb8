// Reading and writing 24-megapixel pictures, next to libjpeg-turbo's own command-line tools on
// the same pixels in the same run.
#include "imageio/DibAdapters.h"
#include "imageio/ImExp.h"
#include "support/ScriptedPlatform.h"
#include "support/TestData.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <sys/resource.h>

using namespace vx;

namespace {

const int kW = 6000, kH = 4000;

std::string Temp(const std::string& name) {
    return (std::filesystem::temp_directory_path() / ("vexel-bench-" + name)).string();
}

// A photograph enlarged to 24 megapixels with a sensor's grain on top: the smooth areas, edges
// and noise of a real photo, so that the codecs' speed and sizes are those of everyday use.
const CDibImage& Picture() {
    static std::unique_ptr<CDibImage> image = [] {
        test::ScriptedPlatform ui;
        auto p = std::make_unique<CDibImage>(ui, test::TestDataPath("align/astronaut.jpg"), false);
        p->Resize(kW, kH);
        std::mt19937 rng(5);
        for (int y = 0; y < kH; ++y) {
            uint8_t* row = p->Row(y);
            for (int x = 0; x < 3 * kW; ++x) {
                const int v = row[x] + int(rng() % 5) - 2;
                row[x] = uint8_t(std::clamp(v, 0, 255));
            }
        }
        return p;
    }();
    return *image;
}

bool Write(const std::string& path) {
    auto writer = MakeWriteSource(Picture());
    int one = 1;
    return ImExp_WriteFile(writer.get(), nullptr, path.c_str(), &one, nullptr, nullptr, 1) != 0;
}

// Peak signal-to-noise ratio of a file read back against the picture, in dB.
double Psnr(const std::string& path) {
    test::ScriptedPlatform ui;
    CDibImage back(ui, path, false);
    double sum = 0;
    for (int y = 0; y < kH; ++y) {
        const uint8_t* a = Picture().Row(y);
        const uint8_t* b = back.Row(y);
        for (int x = 0; x < 3 * kW; ++x) {
            const double d = double(a[x]) - double(b[x]);
            sum += d * d;
        }
    }
    const double mse = sum / (3.0 * kW * kH);
    return mse > 0 ? 10 * std::log10(255.0 * 255.0 / mse) : 99;
}

void BM_Write(benchmark::State& state, const char* ext) {
    const std::string path = Temp(std::string("w.") + ext);
    Picture(); // made once, outside the timing
    for (auto _ : state) {
        if (!Write(path)) {
            state.SkipWithError("write failed");
        }
    }
    state.counters["MB"] = double(std::filesystem::file_size(path)) / 1e6;
    state.counters["PSNR"] = Psnr(path);
}

void BM_Read(benchmark::State& state, const char* ext) {
    const std::string path = Temp(std::string("r.") + ext);
    Write(path);
    test::ScriptedPlatform ui;
    for (auto _ : state) {
        CDibImage image(ui, path, false);
        benchmark::DoNotOptimize(image.Bits());
    }
}

// CPU seconds of the finished child processes so far: the tools' own cost, which a busy machine
// hides less than their wall time.
double ChildCpu() {
    rusage u{};
    getrusage(RUSAGE_CHILDREN, &u);
    return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           1e-6 * double(u.ru_utime.tv_usec + u.ru_stime.tv_usec);
}

// The tools read and write PPM; the PPM of the same picture is made once.
void WritePpm(const std::string& path) {
    std::ofstream out(path, std::ios::binary);
    out << "P6\n" << kW << " " << kH << "\n255\n";
    std::vector<char> row(size_t(kW) * 3);
    for (int y = kH - 1; y >= 0; --y) {
        const uint8_t* src = Picture().Row(y);
        for (int x = 0; x < kW; ++x) {
            row[3 * x] = char(src[3 * x + 2]);
            row[3 * x + 1] = char(src[3 * x + 1]);
            row[3 * x + 2] = char(src[3 * x]);
        }
        out.write(row.data(), std::streamsize(row.size()));
    }
}

void BM_ToolCjpeg(benchmark::State& state) {
    const std::string ppm = Temp("in.ppm");
    WritePpm(ppm);
    const std::string jpg = Temp("tool.jpg");
    const std::string cmd = "cjpeg -quality 92 -outfile " + jpg + " " + ppm;
    const double cpu = ChildCpu();
    for (auto _ : state) {
        if (std::system(cmd.c_str()) != 0) {
            state.SkipWithError("cjpeg missing");
        }
    }
    state.counters["cpu_ms"] = 1e3 * (ChildCpu() - cpu) / double(state.iterations());
    state.counters["MB"] = double(std::filesystem::file_size(jpg)) / 1e6;
    state.counters["PSNR"] = Psnr(jpg);
}

void BM_ToolDjpeg(benchmark::State& state) {
    const std::string jpg = Temp("r.jpg");
    Write(jpg);
    const std::string cmd = "djpeg -outfile " + Temp("tool.ppm") + " " + jpg;
    const double cpu = ChildCpu();
    for (auto _ : state) {
        if (std::system(cmd.c_str()) != 0) {
            state.SkipWithError("djpeg missing");
        }
    }
    state.counters["cpu_ms"] = 1e3 * (ChildCpu() - cpu) / double(state.iterations());
}

// Wall time, and the CPU time of every thread of the process.
BENCHMARK_CAPTURE(BM_Write, jpeg, "jpg")
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3)
    ->UseRealTime()
    ->MeasureProcessCPUTime();
BENCHMARK(BM_ToolCjpeg)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK_CAPTURE(BM_Read, jpeg, "jpg")
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3)
    ->UseRealTime()
    ->MeasureProcessCPUTime();
BENCHMARK(BM_ToolDjpeg)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK_CAPTURE(BM_Write, png, "png")
    ->Unit(benchmark::kMillisecond)
    ->Iterations(2)
    ->UseRealTime()
    ->MeasureProcessCPUTime();
BENCHMARK_CAPTURE(BM_Read, png, "png")
    ->Unit(benchmark::kMillisecond)
    ->Iterations(2)
    ->UseRealTime()
    ->MeasureProcessCPUTime();

} // namespace
