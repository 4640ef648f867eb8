// Our figures beside a fixed outside yardstick, in one process and interleaved: OpenCV's
// warpAffine for the renderer, libjpeg-turbo's djpeg and cjpeg for the JPEG files. Each
// benchmark times ours and the anchor alternately, once each per iteration, and keeps the median
// of each; the table at the end gives the ratios against their goals.
//
// The render figures sample noise (nothing there helps a kernel take a shortcut); the file
// figures use a photograph (tests/data/align/astronaut.jpg enlarged to 24 megapixels by our own
// Resize), and the JPEG ones noise as well.
#include "NoisePicture.h"
#include "document/KeltDoc.h"
#include "imageio/DibAdapters.h"
#include "imageio/ImExp.h"
#include "support/ScriptedPlatform.h"
#include "support/TestData.h"

#include <benchmark/benchmark.h>
#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <numbers>
#include <string>
#include <vector>

using namespace vx;

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point from) {
    return std::chrono::duration<double>(Clock::now() - from).count();
}

double Median(std::vector<double> v) {
    if (v.empty()) {
        return 0;
    }
    std::sort(v.begin(), v.end());
    const size_t n = v.size();
    return n % 2 ? v[n / 2] : 0.5 * (v[n / 2 - 1] + v[n / 2]);
}

struct Row {
    std::string figure;
    double ours = 0;   // median seconds
    double anchor = 0; // median seconds; 0 when there is no anchor
    std::string goal;
    std::string note;
};
std::vector<Row>& Table() {
    static std::vector<Row> rows;
    return rows;
}

// Times ours and the anchor alternately, the first of each pair swapped every iteration so that
// neither always runs on a warm cache.
template <typename Ours, typename Anchor>
void Pair(benchmark::State& state, Row row, Ours ours, Anchor anchor) {
    ours();
    anchor();
    std::vector<double> a, b;
    bool oursFirst = true;
    for (auto _ : state) {
        for (int k = 0; k < 2; ++k) {
            const auto start = Clock::now();
            if (oursFirst == (k == 0)) {
                ours();
                a.push_back(Seconds(start));
            } else {
                anchor();
                b.push_back(Seconds(start));
            }
        }
        oursFirst = !oursFirst;
    }
    row.ours = Median(a);
    row.anchor = Median(b);
    state.counters["ours_ms"] = 1e3 * row.ours;
    state.counters["anchor_ms"] = 1e3 * row.anchor;
    state.counters["ratio"] = row.ours / row.anchor;
    Table().push_back(std::move(row));
}

std::string Temp(const std::string& name) {
    return (std::filesystem::temp_directory_path() / ("vexel-anchor-" + name)).string();
}

// A picture's pixels as OpenCV sees them, without a copy (row order does not matter here).
cv::Mat View(CDibImage& image) {
    return cv::Mat(image.Height(), image.Width(), CV_8UC3, image.Bits(), size_t(image.Stride()));
}

// A rotation by `angle` radians and a scale about the centres, source to destination.
cv::Mat Warp(cv::Size from, cv::Size to, double angle, double scale) {
    cv::Mat m =
        cv::getRotationMatrix2D(cv::Point2f(0.5f * float(from.width), 0.5f * float(from.height)),
                                angle * 180 / std::numbers::pi, scale);
    m.at<double>(0, 2) += 0.5 * (to.width - from.width);
    m.at<double>(1, 2) += 0.5 * (to.height - from.height);
    return m;
}

// ---- The renderer ----

void BM_RenderFull12MP(benchmark::State& state) {
    test::ScriptedPlatform ui;
    CKeltDoc doc(ui, ui);
    doc.SetAspectRatio(4, 3);
    doc.InstallPicture(ESlot::Source, bench::Noise(4000, 3000));
    doc.InstallPicture(ESlot::Target, bench::Noise(3000, 4000));
    doc.GetSourceFrame()->SetAngle(0.1);
    doc.GetSourceFrame()->SetZoom(1.25);
    CDibImage out(4000, 3000);
    cv::Mat src = View(*doc.GetPicture(ESlot::Source));
    cv::Mat dst(3000, 4000, CV_8UC3);
    const cv::Mat m = Warp(src.size(), dst.size(), 0.1, 1.25);
    Pair(
        state, {"RenderFull 12 MP (noise), rotated and zoomed", 0, 0, "<= 1.0", ""},
        [&] {
            doc.RenderFull(*doc.GetSourceFrame(), out);
            benchmark::DoNotOptimize(out.Bits());
        },
        [&] {
            cv::warpAffine(src, dst, m, dst.size(), cv::INTER_LINEAR);
            benchmark::DoNotOptimize(dst.data);
        });
}
BENCHMARK(BM_RenderFull12MP)->Iterations(9)->Unit(benchmark::kMillisecond);

// The pictures of the Preview figures, and OpenCV's pass over the same: both warped to the
// Preview and blended half and half.
struct PreviewScene {
    test::ScriptedPlatform ui;
    CKeltDoc doc{ui, ui};
    cv::Mat source, target, sourceRender, targetRender, preview;
    cv::Mat sourceWarp, targetWarp;

    PreviewScene() {
        ui.previewSize = ViewSize{1920, 1080};
        doc.InstallPicture(ESlot::Source, bench::Noise(4000, 3000));
        doc.InstallPicture(ESlot::Target, bench::Noise(3000, 4000));
        doc.GetSourceFrame()->SetAngle(0.2);
        doc.GetTargetFrame()->SetZoom(0.8);
        source = View(*doc.GetPicture(ESlot::Source));
        target = View(*doc.GetPicture(ESlot::Target));
        const cv::Size size(1920, 1080);
        sourceRender.create(size, CV_8UC3);
        targetRender.create(size, CV_8UC3);
        preview.create(size, CV_8UC3);
        sourceWarp = Warp(source.size(), size, 0.2, 1080.0 / 3000);
        targetWarp = Warp(target.size(), size, 0, 0.8 * 1920 / 3000);
    }
    void AnchorPass() {
        cv::warpAffine(source, sourceRender, sourceWarp, preview.size(), cv::INTER_LINEAR);
        cv::warpAffine(target, targetRender, targetWarp, preview.size(), cv::INTER_LINEAR);
        cv::addWeighted(sourceRender, 0.5, targetRender, 0.5, 0, preview);
        benchmark::DoNotOptimize(preview.data);
    }
};

void BM_RenderPassStep1(benchmark::State& state) {
    PreviewScene scene;
    Pair(
        state, {"RenderPass step 1, both pictures, 1920x1080", 0, 0, "<= 1.0", ""},
        [&] {
            // Both at step 2, so that the pass renders both at step 1.
            scene.doc.m_nSourceStep = 2;
            scene.doc.m_nTargetStep = 2;
            scene.doc.RenderPass(0);
            benchmark::DoNotOptimize(scene.doc.m_pPreview->Bits());
        },
        [&] { scene.AnchorPass(); });
}
BENCHMARK(BM_RenderPassStep1)->Iterations(21)->Unit(benchmark::kMillisecond);

void BM_RenderPassCoarse(benchmark::State& state) {
    PreviewScene scene;
    Pair(
        state, {"first coarse pass of a drag, 1920x1080", 0, 0, "<= 0.25", ""},
        [&] {
            scene.doc.RequestRender(2);
            benchmark::DoNotOptimize(scene.doc.m_pPreview->Bits());
        },
        [&] { scene.AnchorPass(); });
}
BENCHMARK(BM_RenderPassCoarse)->Iterations(31)->Unit(benchmark::kMillisecond);

// ---- Image files ----

const int kW = 6000, kH = 4000;

const CDibImage& Photo() {
    static std::unique_ptr<CDibImage> image = [] {
        test::ScriptedPlatform ui;
        auto p = std::make_unique<CDibImage>(ui, test::TestDataPath("align/astronaut.jpg"), false);
        p->Resize(kW, kH);
        return p;
    }();
    return *image;
}

const CDibImage& NoisePhoto() {
    static std::unique_ptr<CDibImage> image = bench::Noise(kW, kH);
    return *image;
}

const CDibImage& Picture(const std::string& kind) {
    return kind == "noise" ? NoisePhoto() : Photo();
}

bool Write(const CDibImage& picture, const std::string& path) {
    auto writer = MakeWriteSource(picture);
    int one = 1;
    return ImExp_WriteFile(writer.get(), nullptr, path.c_str(), &one, nullptr, nullptr, 1) != 0;
}

// The input of cjpeg: the same pixels, top row first, RGB.
void WritePpm(const CDibImage& picture, const std::string& path) {
    std::ofstream out(path, std::ios::binary);
    out << "P6\n" << kW << " " << kH << "\n255\n";
    std::vector<char> row(size_t(kW) * 3);
    for (int y = kH - 1; y >= 0; --y) {
        const uint8_t* src = picture.Row(y);
        for (int x = 0; x < kW; ++x) {
            row[3 * x] = char(src[3 * x + 2]);
            row[3 * x + 1] = char(src[3 * x + 1]);
            row[3 * x + 2] = char(src[3 * x]);
        }
        out.write(row.data(), std::streamsize(row.size()));
    }
}

void Shell(benchmark::State& state, const std::string& command) {
    if (std::system(command.c_str()) != 0) {
        state.SkipWithError((command + " failed").c_str());
    }
}

void BM_LoadJpeg(benchmark::State& state, const char* kind) {
    const std::string jpg = Temp(std::string("load-") + kind + ".jpg");
    Write(Picture(kind), jpg);
    test::ScriptedPlatform ui;
    CKeltDoc doc(ui, ui);
    doc.History().SetByteCap(0); // no earlier picture kept for undo
    Pair(
        state, {std::string("load a 24 MP JPEG (") + kind + ") into a slot", 0, 0, "<= 1.0", ""},
        [&] { doc.LoadFile(ESlot::Source, jpg); },
        [&] { Shell(state, "djpeg -outfile /dev/null " + jpg); });
    if (!ui.messages.empty()) {
        state.SkipWithError("the load failed");
    }
}
BENCHMARK_CAPTURE(BM_LoadJpeg, photo, "photo")->Iterations(7)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_LoadJpeg, noise, "noise")->Iterations(5)->Unit(benchmark::kMillisecond);

void BM_SaveJpeg(benchmark::State& state, const char* kind) {
    const std::string ppm = Temp(std::string("save-") + kind + ".ppm");
    WritePpm(Picture(kind), ppm);
    const std::string ours = Temp("ours.jpg"), tool = Temp("tool.jpg");
    Pair(
        state, {std::string("save a 24 MP JPEG (") + kind + "), quality 92", 0, 0, "<= 1.1", ""},
        [&] {
            if (!Write(Picture(kind), ours)) {
                state.SkipWithError("the save failed");
            }
        },
        [&] { Shell(state, "cjpeg -quality 92 -outfile " + tool + " " + ppm); });
}
BENCHMARK_CAPTURE(BM_SaveJpeg, photo, "photo")->Iterations(5)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_SaveJpeg, noise, "noise")->Iterations(3)->Unit(benchmark::kMillisecond);

// No anchor: the absolute times and the file's size.
void BM_Png(benchmark::State& state) {
    const std::string png = Temp("photo.png");
    test::ScriptedPlatform ui;
    std::vector<double> save, load;
    for (auto _ : state) {
        auto start = Clock::now();
        if (!Write(Photo(), png)) {
            state.SkipWithError("the save failed");
        }
        save.push_back(Seconds(start));
        start = Clock::now();
        CDibImage image(ui, png, false);
        benchmark::DoNotOptimize(image.Bits());
        load.push_back(Seconds(start));
    }
    char size[64];
    std::snprintf(size, sizeof size, "%.1f MB",
                  double(std::filesystem::file_size(png)) / (1 << 20));
    Table().push_back({"save a 24 MP PNG (photo)", Median(save), 0, "", size});
    Table().push_back({"load a 24 MP PNG (photo)", Median(load), 0, "", ""});
}
BENCHMARK(BM_Png)->Iterations(3)->Unit(benchmark::kMillisecond);

// ---- Save as: from the command to the file dialog ----

// The dialog notes when it opened and answers with a file, so that each save ends complete.
struct DialogClock : test::ScriptedPlatform {
    Clock::time_point opened;
    std::string path;
    std::optional<FileDialogResult> FileDialog(const FileDialogOptions&) override {
        opened = Clock::now();
        return FileDialogResult{path, 0};
    }
};

void BM_SaveAsToDialog16MP(benchmark::State& state) {
    DialogClock ui;
    ui.path = Temp("saved.bmp");
    CKeltDoc doc(ui, ui);
    doc.SetAspectRatio(4, 3);
    doc.InstallPicture(ESlot::Source, bench::Noise(4608, 3456));
    doc.InstallPicture(ESlot::Target, bench::Noise(3456, 4608));
    doc.GetSourceFrame()->SetAngle(0.1);
    std::vector<double> toDialog, whole;
    for (auto _ : state) {
        const auto start = Clock::now();
        doc.OnSaveAs(ESlot::Source);
        whole.push_back(Seconds(start));
        toDialog.push_back(std::chrono::duration<double>(ui.opened - start).count());
    }
    Table().push_back({"Save as 16 MP: command to dialog", Median(toDialog), 0, "", ""});
    Table().push_back({"Save as 16 MP (BMP): command to file written", Median(whole), 0, "", ""});
}
BENCHMARK(BM_SaveAsToDialog16MP)->Iterations(5)->Unit(benchmark::kMillisecond);

void PrintTable() {
    std::printf("\nMedians of interleaved runs; OpenCV %s, %d threads\n", CV_VERSION,
                cv::getNumThreads());
    std::printf("| %-48s | %9s | %9s | %7s | %7s | %s\n", "Figure", "Ours ms", "Anchor ms", "Ratio",
                "Goal", "");
    for (const Row& row : Table()) {
        if (row.anchor > 0) {
            std::printf("| %-48s | %9.1f | %9.1f | %6.2fx | %7s | %s\n", row.figure.c_str(),
                        1e3 * row.ours, 1e3 * row.anchor, row.ours / row.anchor, row.goal.c_str(),
                        row.note.c_str());
        } else {
            std::printf("| %-48s | %9.1f | %9s | %7s | %7s | %s\n", row.figure.c_str(),
                        1e3 * row.ours, "-", "-", "-", row.note.c_str());
        }
    }
}

} // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    PrintTable();
    return 0;
}
