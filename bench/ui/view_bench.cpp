// What a user feels: the start until the main window is up and the event loop runs (with this
// machine's own scanner configuration), a drag step and a repaint of a full-HD Preview, and the
// paint of a picture pane over a 12- or 24-megapixel picture.
#include "../NoisePicture.h"
#include "app/KeltApp.h"
#include "document/KeltDoc.h"
#include "res/Resource.h"
#include "scanner/TwainDevices.h"
#include "support/ScriptedPlatform.h"
#include "support/TempDir.h"
#include "ui/DisplayPixels.h"
#include "ui/MainFrame.h"
#include "ui/ViewPreview.h"

#include <QApplication>
#include <QImage>
#include <QMouseEvent>
#include <benchmark/benchmark.h>

namespace vx {
namespace {

class QuietPlatform : public test::ScriptedPlatform {
public:
    void SetTimer(unsigned, unsigned, std::function<void()>) override {}
};

using bench::Noise;

// From the application object to its first turn of the event loop; the devices are listed
// meanwhile. The wait for the list and the exit are not timed.
void BM_StartUpToEventLoop(benchmark::State& state) {
    unsetenv("SANE_CONFIG_DIR");
    double listed = 0;
    for (auto _ : state) {
        test::TempDir dir;
        auto begin = std::chrono::steady_clock::now();
        auto app = std::make_unique<CKeltApp>(dir.File("app.INI"));
        app->m_videoProbe = [] { return true; };
        app->m_strConfigBase = dir.File("config");
        app->Platform().SetMessageHook(
            [](const std::string&, MsgButtons, MsgIcon) { return MsgResult::Ok; });
        if (!app->InitInstance()) {
            state.SkipWithError("start-up failed");
            break;
        }
        QApplication::processEvents();
        state.PauseTiming();
        while (!app->TwainDevices()->Loaded()) {
            QApplication::processEvents(QEventLoop::WaitForMoreEvents, 20);
        }
        listed += std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
        app->ExitInstance();
        app.reset();
        state.ResumeTiming();
    }
    state.counters["devices_listed_s"] = benchmark::Counter(listed / double(state.iterations()));
}
BENCHMARK(BM_StartUpToEventLoop)->Iterations(3)->Unit(benchmark::kMillisecond);

// Qt's raster engine shares large draws out among threads of its own: the paints' CPU time counts
// them all, and their real time is what the user waits.

// A Preview of 1920 x 1080 points over two pictures, its buffers at the screen's pixels (a scale
// factor, QT_SCALE_FACTOR, keeps the points), and the image it paints into.
struct FullHdPreview {
    FullHdPreview(int w, int h) {
        doc.InstallPicture(ESlot::Source, Noise(w, h));
        doc.InstallPicture(ESlot::Target, Noise(h, w));
        view.resize(1920, 1080);
        device = ui::DeviceSize(view);
        ui.previewSize = ViewSize{device.width(), device.height()};
        doc.CreatePreviewBuffers(device.width(), device.height());
        screen = QImage(device, QImage::Format_RGB32);
        screen.setDevicePixelRatio(view.devicePixelRatioF());
    }
    QuietPlatform ui;
    CKeltDoc doc{ui, ui};
    ui::CViewPreview view{doc, nullptr};
    QSize device;
    QImage screen;
};

// One mouse move of a Move drag: the frame changes, the coarse pass renders, the Preview paints.
void BM_PreviewDragStep(benchmark::State& state) {
    FullHdPreview p(4000, 3000);
    p.doc.m_nEditMode = res::EDIT_MODE_MOVE;
    p.view.render(&p.screen); // the view's pending resize renders once, before the clock starts
    const int x = p.device.width() / 2;
    const int y = p.device.height() / 2;
    p.view.OnLButtonDown(x, y);
    int step = 0;
    for (auto _ : state) {
        p.view.OnMouseMove(x + (step % 40), y + (step % 30));
        p.view.render(&p.screen);
        ++step;
    }
}
BENCHMARK(BM_PreviewDragStep)->Unit(benchmark::kMillisecond);

// The paint alone of a full-HD Preview whose pass is complete: the buffer shown upright.
void BM_PreviewPaint(benchmark::State& state) {
    FullHdPreview p(1600, 1200);
    p.doc.RenderPass(0);
    p.view.render(&p.screen); // the view's pending resize renders once, before the clock starts
    for (auto _ : state) {
        p.view.render(&p.screen);
    }
}
BENCHMARK(BM_PreviewPaint)->MeasureProcessCPUTime()->UseRealTime()->Unit(benchmark::kMillisecond);

// A picture pane over a w x h picture, at the pane's size in points.
struct Pane {
    Pane(int w, int h, int paneW, int paneH) {
        doc.InstallPicture(ESlot::Source, Noise(w, h));
        view.resize(paneW, paneH);
        screen = QImage(ui::DeviceSize(view), QImage::Format_RGB32);
        screen.setDevicePixelRatio(view.devicePixelRatioF());
    }
    test::ScriptedPlatform ui;
    CKeltDoc doc{ui, ui};
    ui::CViewPict view{doc, true, nullptr};
    QImage screen;
};

// Repaints of a pane whose picture and size hold (an update from the document, an expose).
void BM_PanePaint12MP(benchmark::State& state) {
    Pane p(4000, 3000, int(state.range(0)), int(state.range(1)));
    for (auto _ : state) {
        p.view.render(&p.screen);
    }
}
BENCHMARK(BM_PanePaint12MP)
    ->MeasureProcessCPUTime()
    ->UseRealTime()
    ->Args({480, 540})
    ->Args({960, 1080})
    ->Unit(benchmark::kMillisecond);

void BM_PanePaint24MP(benchmark::State& state) {
    Pane p(6000, 4000, int(state.range(0)), int(state.range(1)));
    for (auto _ : state) {
        p.view.render(&p.screen);
    }
}
BENCHMARK(BM_PanePaint24MP)
    ->MeasureProcessCPUTime()
    ->UseRealTime()
    ->Args({480, 540})
    ->Args({960, 1080})
    ->Unit(benchmark::kMillisecond);

// A paint after each change of the pane's size by one point, as while the window is resized:
// what is shown is made anew every time.
void BM_PaneResizePaint12MP(benchmark::State& state) {
    const int w = int(state.range(0));
    const int h = int(state.range(1));
    Pane p(4000, 3000, w, h);
    int step = 0;
    for (auto _ : state) {
        p.view.resize(w + (step++ & 1), h);
        p.view.render(&p.screen);
    }
}
BENCHMARK(BM_PaneResizePaint12MP)
    ->MeasureProcessCPUTime()
    ->UseRealTime()
    ->Args({480, 540})
    ->Args({960, 1080})
    ->Unit(benchmark::kMillisecond);

} // namespace
} // namespace vx

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
