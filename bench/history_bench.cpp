// Undo history figures: what a placement step and a picture-load step keep in memory, and what
// recording, undoing and redoing cost.
#include "NoisePicture.h"
#include "document/KeltDoc.h"
#include "support/ScriptedPlatform.h"

#include <benchmark/benchmark.h>

using namespace vx;

namespace {

// No Preview size: nothing is rendered, only the history is timed.
using QuietPlatform = test::ScriptedPlatform;

void BM_RecordPlacementStep(benchmark::State& state) {
    QuietPlatform ui;
    CKeltDoc doc(ui, ui);
    doc.InstallPicture(ESlot::Source, std::make_unique<CDibImage>(400, 300));
    doc.History().Clear();
    int i = 0;
    for (auto _ : state) {
        doc.ApplyPlacement(ESlot::Source, {{i++ % 64, 0}, 1.0, 0}, EditKind::Move);
    }
    state.counters["bytes/step"] = double(doc.History().Bytes()) / double(doc.History().Count());
}
BENCHMARK(BM_RecordPlacementStep);

void BM_UndoRedo1000PlacementSteps(benchmark::State& state) {
    QuietPlatform ui;
    CKeltDoc doc(ui, ui);
    doc.InstallPicture(ESlot::Source, std::make_unique<CDibImage>(400, 300));
    for (int i = 0; i < 1000; ++i) {
        doc.ApplyPlacement(ESlot::Source, {{i, 0}, 1.0, 0}, EditKind::Move);
    }
    for (auto _ : state) {
        while (doc.CanUndo()) {
            doc.Undo();
        }
        while (doc.CanRedo()) {
            doc.Redo();
        }
    }
}
BENCHMARK(BM_UndoRedo1000PlacementSteps)->Unit(benchmark::kMillisecond);

// A 12-megapixel picture replaced by another: the step keeps the earlier one, and undo and redo
// only exchange them.
void BM_UndoRedoLoad12MP(benchmark::State& state) {
    QuietPlatform ui;
    CKeltDoc doc(ui, ui);
    doc.InstallPicture(ESlot::Source, bench::Noise(4000, 3000));
    doc.InstallPicture(ESlot::Source, bench::Noise(3000, 4000));
    doc.History().Clear();
    doc.InstallPicture(ESlot::Source, bench::Noise(4000, 3000));
    for (auto _ : state) {
        doc.Undo();
        doc.Redo();
    }
    state.counters["bytes/step"] = double(doc.History().Bytes()) / double(doc.History().Count());
}
BENCHMARK(BM_UndoRedoLoad12MP)->Unit(benchmark::kMillisecond);

} // namespace
