// What a user feels while placing pictures: a drag step in a full-HD Preview with two
// 12-megapixel pictures, and the paint of a picture pane.
#include "../NoisePicture.h"
#include "document/KeltDoc.h"
#include "res/Resource.h"
#include "support/ScriptedPlatform.h"
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

// One mouse move of a Move drag: the frame changes, the coarse pass renders, the Preview paints.
void BM_PreviewDragStep(benchmark::State& state) {
    QuietPlatform ui;
    ui.previewSize = ViewSize{1920, 1080};
    CKeltDoc doc(ui, ui);
    doc.InstallPicture(ESlot::Source, Noise(4000, 3000));
    doc.InstallPicture(ESlot::Target, Noise(3000, 4000));
    ui::CViewPreview view(doc, nullptr);
    view.resize(1920, 1080);
    doc.CreatePreviewBuffers(1920, 1080);
    doc.m_nEditMode = res::EDIT_MODE_MOVE;
    QImage screen(view.size(), QImage::Format_RGB32);
    view.OnLButtonDown(960, 540);
    int step = 0;
    for (auto _ : state) {
        view.OnMouseMove(960 + (step % 40), 540 + (step % 30));
        view.render(&screen);
        ++step;
    }
}
BENCHMARK(BM_PreviewDragStep)->Unit(benchmark::kMillisecond);

// The paint alone of a full-HD Preview whose pass is complete: the buffer shown upright.
void BM_PreviewPaint(benchmark::State& state) {
    QuietPlatform ui;
    ui.previewSize = ViewSize{1920, 1080};
    CKeltDoc doc(ui, ui);
    doc.InstallPicture(ESlot::Source, Noise(1600, 1200));
    doc.InstallPicture(ESlot::Target, Noise(1200, 1600));
    ui::CViewPreview view(doc, nullptr);
    view.resize(1920, 1080);
    doc.CreatePreviewBuffers(1920, 1080);
    doc.RenderPass(0);
    QImage screen(view.size(), QImage::Format_RGB32);
    for (auto _ : state) {
        view.render(&screen);
    }
}
BENCHMARK(BM_PreviewPaint)->Unit(benchmark::kMillisecond);

void BM_PanePaint12MP(benchmark::State& state) {
    test::ScriptedPlatform ui;
    CKeltDoc doc(ui, ui);
    doc.InstallPicture(ESlot::Source, Noise(4000, 3000));
    ui::CViewPict view(doc, true, nullptr);
    view.resize(int(state.range(0)), int(state.range(1)));
    QImage screen(view.size(), QImage::Format_RGB32);
    for (auto _ : state) {
        view.render(&screen);
    }
}
BENCHMARK(BM_PanePaint12MP)->Args({480, 540})->Args({960, 1080})->Unit(benchmark::kMillisecond);

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
