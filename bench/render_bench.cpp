// Renderer figures: one full-resolution pass of both pictures into the Preview, and a full render
// of a 12-megapixel output.
#include "NoisePicture.h"
#include "document/KeltDoc.h"
#include "picture/FrameSampler.h"
#include "picture/RowPool.h"
#include "support/ScriptedPlatform.h"

#include <benchmark/benchmark.h>
#include <cmath>
#include <ctime>
#include <thread>

using namespace vx;

namespace {

// The scripted platform records calls and never blocks: nothing of the user interface is timed.
using QuietPlatform = test::ScriptedPlatform;

using bench::Noise;

void BM_RenderPassStep1(benchmark::State& state) {
    QuietPlatform ui;
    ui.previewSize = ViewSize{int(state.range(0)), int(state.range(1))};
    CKeltDoc doc(ui, ui);
    doc.InstallPicture(ESlot::Source, Noise(4000, 3000));
    doc.InstallPicture(ESlot::Target, Noise(3000, 4000));
    doc.GetSourceFrame()->SetAngle(0.2);
    doc.GetTargetFrame()->SetZoom(0.8);
    for (auto _ : state) {
        // Both pictures at step 2 so that the pass renders both at step 1.
        doc.m_nSourceStep = 2;
        doc.m_nTargetStep = 2;
        doc.RenderPass(0);
        benchmark::DoNotOptimize(doc.m_pPreview->Bits());
    }
    state.counters["Mpixel/s"] = benchmark::Counter(2.0 * state.range(0) * state.range(1) / 1e6,
                                                    benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_RenderPassStep1)
    ->Args({1920, 1080})
    ->Args({3840, 2160})
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);

void BM_RenderPassCoarse(benchmark::State& state) {
    QuietPlatform ui;
    ui.previewSize = ViewSize{1920, 1080};
    CKeltDoc doc(ui, ui);
    doc.InstallPicture(ESlot::Source, Noise(4000, 3000));
    doc.InstallPicture(ESlot::Target, Noise(3000, 4000));
    for (auto _ : state) {
        doc.RequestRender(2); // the first response to a drag step
    }
}
BENCHMARK(BM_RenderPassCoarse)->UseRealTime()->Unit(benchmark::kMillisecond);

// At 1 and at 2 threads (the machine's cores): what the division tables give alone, and the rows
// shared out.
void BM_RenderFull12MP(benchmark::State& state) {
    CRowPool::SetSharedThreads(int(state.range(0)));
    QuietPlatform ui;
    CKeltDoc doc(ui, ui);
    doc.InstallPicture(ESlot::Source, Noise(4000, 3000));
    doc.GetSourceFrame()->SetAngle(0.1);
    const OutputSize size = doc.GetOutputSize(ESlot::Source);
    CDibImage out(3464, 3464); // 12 megapixels at ratio 1 : 1
    for (auto _ : state) {
        doc.RenderFull(*doc.GetSourceFrame(), out);
        benchmark::DoNotOptimize(out.Bits());
    }
    state.counters["out_w"] = size.width;
    CRowPool::SetSharedThreads(int(std::thread::hardware_concurrency()));
}
BENCHMARK(BM_RenderFull12MP)
    ->ArgName("threads")
    ->Arg(1)
    ->Arg(2)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);

// A 24-megapixel picture turned: the rows of the output walk the picture's rows at that angle, a
// new pair of rows every few pixels once the turn is steep.
void BM_RenderFull24MPTurned(benchmark::State& state) {
    CRowPool::SetSharedThreads(1);
    QuietPlatform ui;
    CKeltDoc doc(ui, ui);
    doc.InstallPicture(ESlot::Source, Noise(6000, 4000));
    doc.GetSourceFrame()->SetAngle(double(state.range(0)) * std::acos(-1.0) / 180);
    CDibImage out(3464, 3464);
    for (auto _ : state) {
        doc.RenderFull(*doc.GetSourceFrame(), out);
        benchmark::DoNotOptimize(out.Bits());
    }
    CRowPool::SetSharedThreads(int(std::thread::hardware_concurrency()));
}
BENCHMARK(BM_RenderFull24MPTurned)
    ->ArgName("degrees")
    ->Arg(0)
    ->Arg(30)
    ->Arg(90)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);

// A drag over two 24-megapixel pictures in a maximised Preview: the first, coarse pass of one
// mouse move (the frame moved, then RequestRender as the drag calls it), the other slot finished
// refining. Quick mode as set by the third argument. CPU is the calling thread's; cpu_all_ms adds
// the row pool's threads.
struct Drag24MP {
    Drag24MP(int W, int H, bool quick) {
        ui.previewSize = ViewSize{W, H};
        doc.m_bQuickMode = quick;
        doc.InstallPicture(ESlot::Source, Noise(6000, 4000));
        doc.InstallPicture(ESlot::Target, Noise(4000, 6000));
        ui.RunTimerOut(CKeltDoc::kRenderTimerId);
    }
    QuietPlatform ui;
    CKeltDoc doc{ui, ui};
};

double ProcessCpuSeconds() {
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return double(ts.tv_sec) + 1e-9 * double(ts.tv_nsec);
}

void BM_DragCoarsePass24MP(benchmark::State& state) {
    Drag24MP drag(int(state.range(0)), int(state.range(1)), state.range(2) != 0);
    CPictFrame& frame = *drag.doc.GetSourceFrame();
    int step = 0;
    const double cpuBefore = ProcessCpuSeconds();
    for (auto _ : state) {
        frame.SetOffset(step % 40, step % 30);
        drag.doc.RequestRender(2);
        ++step;
    }
    state.counters["cpu_all_ms"] =
        benchmark::Counter(1e3 * (ProcessCpuSeconds() - cpuBefore) / double(state.iterations()));
}
BENCHMARK(BM_DragCoarsePass24MP)
    ->ArgNames({"W", "H", "quick"})
    ->Args({1920, 1080, 1})
    ->Args({2560, 1440, 1})
    ->Args({3840, 2160, 1})
    ->Args({1920, 1080, 0})
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);

// The coarse grid of that pass alone: samples scattered over a picture far larger than the caches.
void BM_DragCoarseGrid24MP(benchmark::State& state) {
    const int W = int(state.range(0)), H = int(state.range(1));
    Drag24MP drag(W, H, true);
    CPictFrame& frame = *drag.doc.GetSourceFrame();
    CDibImage grid(W / 8, H / 8);
    int step = 0;
    for (auto _ : state) {
        frame.SetOffset(step % 40, step % 30);
        CFrameSampler(frame, *frame.picture, W, H, drag.doc.m_dAspect)
            .RenderGrid(8, W / 8, H / 8, grid);
        benchmark::DoNotOptimize(grid.Bits());
        ++step;
    }
}
BENCHMARK(BM_DragCoarseGrid24MP)
    ->ArgNames({"W", "H"})
    ->Args({1920, 1080})
    ->Args({3840, 2160})
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);

} // namespace
