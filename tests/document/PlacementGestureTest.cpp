// The placement edits without a window: the gesture maths in crop units, and the document's
// drags, key steps and the one path every placement change takes.
#include "document/PlacementGesture.h"
#include "document/KeltDoc.h"
#include "res/Resource.h"
#include "support/ScriptedPlatform.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <numbers>

using namespace vx;

namespace {

constexpr int kMove = res::EDIT_MODE_MOVE;
constexpr int kZoom = res::EDIT_MODE_ZOOM;
constexpr int kRotate = res::EDIT_MODE_ROTATE;
using G = CPlacementGesture;

TEST(PlacementGesture, DragsSetTheOneValueOfTheirMode) {
    const FramePlacement now{{100, -20}, 1.5, 0.25};
    // Move: the start point stays under the pointer.
    const FramePlacement flat{{100, -20}, 1.5, 0};
    EXPECT_EQ(G(kMove, flat, {-7, 3}).DragTo(kMove, {13, -17}, flat),
              (FramePlacement{{80, -40}, 1.5, 0}));
    // ... measured along the picture's axes, each coordinate truncated toward zero.
    EXPECT_EQ(Unrotate({100, 0}, 0.5), (CPoint{87, -47}));
    const FramePlacement turned{{0, 0}, 1.0, 0.5};
    EXPECT_EQ(G(kMove, turned, {100, 0}).Start(), (CPoint{87, -47}));
    EXPECT_EQ(G(kMove, turned, {100, 0}).DragTo(kMove, {0, 100}, turned)->offset,
              (CPoint{40, 134}));
    // Zoom: the base times the squared distances from the centre, start over pointer.
    EXPECT_EQ(G(kZoom, now, {30, 40}).DragTo(kZoom, {-6, 8}, now),
              (FramePlacement{{100, -20}, 1.5 * 25, 0.25}));
    // Rotate: the base turned by the angle from start to pointer.
    EXPECT_EQ(G(kRotate, now, {0, -100}).DragTo(kRotate, {100, 0}, now)->angle,
              0.25 + (std::numbers::pi - std::numbers::pi / 2));
    // The values the mode does not edit are those of the moment, not of the start.
    const FramePlacement later{{1, 2}, 3.0, 4.0};
    EXPECT_EQ(G(kZoom, now, {30, 40}).DragTo(kZoom, {-6, 8}, later),
              (FramePlacement{{1, 2}, 37.5, 4.0}));
}

TEST(PlacementGesture, ZoomAtTheCentreAndNoModeChangeNothing) {
    const FramePlacement now{{0, 0}, 2.0, 0};
    EXPECT_FALSE(G(kZoom, now, {0, 0}).DragTo(kZoom, {50, 50}, now));
    EXPECT_FALSE(G(kZoom, now, {50, 50}).DragTo(kZoom, {0, 0}, now));
    EXPECT_FALSE(G(0, now, {5, 5}).DragTo(0, {9, 9}, now));
    EXPECT_FALSE(G::Step(0, 1.0, now, EArrowKey::Left, false));
    EXPECT_FALSE(EditKindOf(0));
    EXPECT_EQ(EditKindOf(kRotate), EditKind::Rotate);
}

TEST(PlacementGesture, KeyStepsFineAndCoarseInEachMode) {
    const FramePlacement at{{10, 20}, 1.5, 0.25};
    auto step = [&](int mode, EArrowKey key, bool coarse, double aspect = 1.0) {
        return *G::Step(mode, aspect, at, key, coarse);
    };
    EXPECT_EQ(step(kZoom, EArrowKey::Up, false),
              (FramePlacement{{10, 20}, 1.5 * G::kZoomIn, 0.25}));
    EXPECT_EQ(step(kZoom, EArrowKey::Down, false).zoom, 1.5 * G::kZoomOut);
    EXPECT_EQ(step(kZoom, EArrowKey::Left, true).zoom, 1.5 * 2.005);
    EXPECT_EQ(step(kZoom, EArrowKey::Right, true).zoom, 1.5 * G::kCoarseZoomOut);
    EXPECT_EQ(step(kRotate, EArrowKey::Left, false),
              (FramePlacement{{10, 20}, 1.5, 0.25 - 0.01745}));
    EXPECT_EQ(step(kRotate, EArrowKey::Down, true).angle, 0.25 + 0.01745 * 4);
    EXPECT_EQ(step(kMove, EArrowKey::Left, false), (FramePlacement{{11, 20}, 1.5, 0.25}));
    EXPECT_EQ(step(kMove, EArrowKey::Right, true).offset, (CPoint{-6, 20}));
    EXPECT_EQ(step(kMove, EArrowKey::Up, false).offset, (CPoint{10, 19}));
    EXPECT_EQ(step(kMove, EArrowKey::Down, true).offset, (CPoint{10, 36}));
    // The vertical step: s = trunc(aspect) from 1 up (else 1), coarse trunc(16 / aspect * s).
    const std::tuple<double, int, int> aspects[] = {
        {0.5625, 1, 28}, {1.5, 1, 10}, {2.0, 2, 16}, {7.0 / 3.0, 2, 13}};
    for (auto [aspect, fine, coarse] : aspects) {
        EXPECT_EQ(step(kMove, EArrowKey::Down, false, aspect).offset, (CPoint{10, 20 + fine}));
        EXPECT_EQ(step(kMove, EArrowKey::Up, true, aspect).offset, (CPoint{10, 20 - coarse}));
        EXPECT_EQ(step(kMove, EArrowKey::Left, true, aspect).offset, (CPoint{26, 20}));
    }
}

// Both pictures and the Preview buffers, and a view of 1024 x 1024 pixels, where a crop unit is
// one pixel from the centre; every placement change is recorded.
struct PlacementEdits : ::testing::Test {
    static constexpr int kSide = 1024;
    test::ScriptedPlatform ui;
    CKeltDoc doc{ui, ui};
    std::vector<PlacementEdit> edits;

    void SetUp() override {
        doc.InstallPicture(ESlot::Source, std::make_unique<CDibImage>(40, 30));
        doc.InstallPicture(ESlot::Target, std::make_unique<CDibImage>(30, 40));
        doc.CreatePreviewBuffers(64, 64);
        ui.RunTimerOut(CKeltDoc::kRenderTimerId);
        doc.AddPlacementObserver([this](const PlacementEdit& edit) { edits.push_back(edit); });
    }
    FramePlacement Placement(ESlot slot) { return doc.GetFrame(slot)->Placement(); }
    bool DragTo(int x, int y) { return doc.DragTo(512 + x, 512 + y, kSide, kSide); }
};

TEST_F(PlacementEdits, ApplyPlacementSetsTheFrameMarksOnlyItsSlotAndTellsTheObservers) {
    doc.m_bSourceSaved = doc.m_bTargetSaved = true;
    const FramePlacement before = Placement(ESlot::Target);
    const FramePlacement after{{3, 4}, 2.0, 0.1};
    doc.ApplyPlacement(ESlot::Target, after, EditKind::Rotate);
    CPictFrame expected = *doc.GetTargetFrame();
    expected.SetZoom(2.0); // the matrix too, as the single setters make it
    expected.SetAngle(0.1);
    expected.SetOffset(3, 4);
    EXPECT_EQ(doc.GetTargetFrame()->Transform({100, 50}), expected.Transform({100, 50}));
    EXPECT_EQ(Placement(ESlot::Target), after);
    EXPECT_FALSE(doc.m_bTargetSaved);
    EXPECT_TRUE(doc.m_bSourceSaved);
    EXPECT_EQ(doc.m_nTargetStep, 8); // rendered again from the start, the source kept
    EXPECT_EQ(doc.m_nSourceStep, 1);
    ASSERT_EQ(edits.size(), 1u);
    EXPECT_EQ(edits[0].slot, ESlot::Target);
    EXPECT_EQ(edits[0].kind, EditKind::Rotate);
    EXPECT_EQ(edits[0].before, before);
    EXPECT_EQ(edits[0].after, after);
    EXPECT_EQ(edits[0].gesture, 0u);

    const int id = doc.AddPlacementObserver([this](const PlacementEdit& e) { edits.push_back(e); });
    doc.ApplyPlacement(ESlot::Source, after, EditKind::Move);
    doc.RemovePlacementObserver(id);
    doc.ApplyPlacement(ESlot::Source, before, EditKind::Move);
    EXPECT_EQ(edits.size(), 1u + 2 + 1);
}

TEST_F(PlacementEdits, ADragIsOneGestureAndGoesOnFromAKeyStepWithoutAJump) {
    doc.m_nEditMode = kZoom;
    EXPECT_FALSE(DragTo(10, 10)); // no drag yet
    ASSERT_TRUE(doc.BeginDrag(ESlot::Source, 512 + 100, 512, kSide, kSide));
    EXPECT_TRUE(DragTo(200, 0));
    EXPECT_EQ(Placement(ESlot::Source).zoom, 0.25);
    doc.StepPlacement(ESlot::Source, EArrowKey::Up, false); // coarse during a drag
    EXPECT_EQ(Placement(ESlot::Source).zoom, 0.25 * 2.005);
    DragTo(200, 0); // the pointer has not moved: nothing jumps
    EXPECT_EQ(Placement(ESlot::Source).zoom, 0.25 * 2.005);
    DragTo(100, 0);
    EXPECT_EQ(Placement(ESlot::Source).zoom, 2.005);
    // A key for the other slot steps it coarsely too, but apart from the drag.
    doc.StepPlacement(ESlot::Target, EArrowKey::Right, false);
    EXPECT_EQ(Placement(ESlot::Target).zoom, G::kCoarseZoomOut);
    doc.EndDrag();
    doc.StepPlacement(ESlot::Source, EArrowKey::Down, false); // fine again
    EXPECT_EQ(Placement(ESlot::Source).zoom, 2.005 * G::kZoomOut);

    ASSERT_EQ(edits.size(), 6u);
    const unsigned drag = edits[0].gesture;
    EXPECT_NE(drag, 0u);
    for (int i : {0, 1, 2, 3}) {
        EXPECT_EQ(edits[i].gesture, drag) << i;
        EXPECT_EQ(edits[i].kind, EditKind::Zoom) << i;
    }
    // Keys apart from a drag are runs of their own: one for each slot.
    EXPECT_NE(edits[4].gesture, 0u);
    EXPECT_NE(edits[4].gesture, drag);
    EXPECT_NE(edits[5].gesture, edits[4].gesture);
    doc.m_nEditMode = kMove;
    ASSERT_TRUE(doc.BeginDrag(ESlot::Target, 512, 512, kSide, kSide));
    DragTo(-5, 5);
    EXPECT_EQ(Placement(ESlot::Target).offset, (CPoint{5, 5}));
    EXPECT_EQ(edits.back().kind, EditKind::Move);
    EXPECT_NE(edits.back().gesture, drag);

    doc.EndDrag();
    doc.m_pPreview.reset();
    EXPECT_FALSE(doc.BeginDrag(ESlot::Source, 0, 0, kSide, kSide));
}

TEST_F(PlacementEdits, RestoreAndAspectChangesReachTheObservers) {
    doc.ApplyPlacement(ESlot::Source, {{64, 32}, 2.0, 1.0}, EditKind::Move);
    edits.clear();
    ASSERT_TRUE(doc.SetAspectRatio(16, 9));
    ASSERT_EQ(edits.size(), 2u);
    EXPECT_EQ(edits[0].kind, EditKind::Aspect);
    EXPECT_EQ(edits[0].before, (FramePlacement{{64, 32}, 2.0, 1.0}));
    EXPECT_EQ(edits[0].after, (FramePlacement{{113, 56}, 2.0, 1.0}));
    EXPECT_EQ(edits[1].slot, ESlot::Target);
    doc.RestoreAll();
    ASSERT_EQ(edits.size(), 4u);
    EXPECT_EQ(edits[2].kind, EditKind::Restore);
    EXPECT_EQ(edits[2].before, (FramePlacement{{113, 56}, 2.0, 1.0}));
    EXPECT_EQ(edits[2].after, FramePlacement{});
    EXPECT_EQ(edits[3].slot, ESlot::Target);
}

using UndoRedo = PlacementEdits;

std::string UndoText(CKeltDoc& doc) {
    CCmdUI ui(res::ID_EDIT_UNDO);
    doc.OnUpdateCmdUI(res::ID_EDIT_UNDO, ui);
    return ui.m_bEnabled ? ui.m_strText.value_or("?") : "disabled";
}

// A drag is one step and so is a run of keys less than a second apart; undo and redo give the
// placements back exactly, and a new change drops what was undone.
TEST_F(UndoRedo, DragsAndKeyRunsAreOneStepEach) {
    auto now = std::chrono::steady_clock::time_point{};
    doc.SetClock([&] { return now; });
    const FramePlacement start = Placement(ESlot::Target);
    EXPECT_EQ(UndoText(doc), "&Undo Load Target");
    doc.m_nEditMode = kRotate;
    ASSERT_TRUE(doc.BeginDrag(ESlot::Target, 512 + 100, 512, kSide, kSide));
    DragTo(0, 100);
    DragTo(-100, 0);
    doc.StepPlacement(ESlot::Target, EArrowKey::Up, false); // a key during the drag is of it
    DragTo(-100, 10);
    doc.EndDrag();
    const FramePlacement dragged = Placement(ESlot::Target);
    EXPECT_EQ(UndoText(doc), "&Undo Rotate Target");

    doc.m_nEditMode = kMove;
    for (int i = 0; i < 3; ++i) {
        now += std::chrono::milliseconds(900);
        doc.StepPlacement(ESlot::Target, EArrowKey::Left, false);
    }
    const FramePlacement run = Placement(ESlot::Target);
    now += CKeltDoc::kKeyRun;
    doc.StepPlacement(ESlot::Target, EArrowKey::Left, false);
    EXPECT_EQ(UndoText(doc), "&Undo Move Target");

    doc.Undo();
    EXPECT_EQ(Placement(ESlot::Target), run);
    doc.Undo();
    EXPECT_EQ(Placement(ESlot::Target), dragged);
    doc.Undo();
    EXPECT_EQ(Placement(ESlot::Target), start);
    EXPECT_EQ(edits.back().kind, EditKind::Undo);
    EXPECT_EQ(doc.m_nTargetStep, 8); // rendered again
    doc.Redo();
    EXPECT_EQ(Placement(ESlot::Target), dragged);
    EXPECT_TRUE(doc.CanRedo());
    // A key right after an undo starts a step of its own and ends the redo.
    doc.StepPlacement(ESlot::Target, EArrowKey::Left, false);
    EXPECT_FALSE(doc.CanRedo());
    doc.Undo();
    EXPECT_EQ(Placement(ESlot::Target), dragged);
}

// Restore all and an aspect change rebuild whole frames; their undo puts back the frames as they
// were, corners included, and the terms of the ratio.
TEST_F(UndoRedo, RestoreAndAspectComeBackWithTheirCorners) {
    doc.ApplyPlacement(ESlot::Source, {{64, 32}, 2.0, 1.0}, EditKind::Move);
    const CPictFrame before = *doc.GetSourceFrame();
    ASSERT_TRUE(doc.SetAspectRatio(16, 9));
    const CPictFrame after = *doc.GetSourceFrame();
    doc.RestoreAll();
    EXPECT_EQ(UndoText(doc), "&Undo Restore all");
    doc.Undo();
    EXPECT_EQ(Placement(ESlot::Source), after.Placement());
    EXPECT_EQ(UndoText(doc), "&Undo Aspect ratio");
    doc.Undo();
    const CPictFrame& undone = *doc.GetSourceFrame();
    EXPECT_EQ(undone.Placement(), before.Placement());
    EXPECT_TRUE(std::equal(std::begin(undone.corners), std::end(undone.corners),
                           std::begin(before.corners)));
    EXPECT_EQ(undone.aspect, 1.0);
    EXPECT_EQ(doc.m_nAspectX, 1);
    EXPECT_EQ(doc.m_dAspect, 1.0);
    EXPECT_EQ(undone.picture, doc.m_pSource.get());
    doc.Redo();
    EXPECT_EQ(doc.m_nAspectY, 9);
    EXPECT_EQ(doc.GetSourceFrame()->offset, after.offset);
    EXPECT_EQ(doc.GetSourceFrame()->corners[2], after.corners[2]);

    doc.Redo();
    doc.ApplyPlacement(ESlot::Target, {{5, 5}}, EditKind::Move);
    doc.RestoreSlot(ESlot::Target);
    EXPECT_EQ(Placement(ESlot::Target), FramePlacement{});
    EXPECT_EQ(UndoText(doc), "&Undo Restore Target");
    doc.Undo();
    EXPECT_EQ(Placement(ESlot::Target), (FramePlacement{{5, 5}}));
}

// Shift turns a rotation in whole degrees; the status readout names the slot's numbers.
TEST_F(UndoRedo, ShiftSnapsARotationAndTheReadoutShowsIt) {
    doc.m_nEditMode = kRotate;
    ASSERT_TRUE(doc.BeginDrag(ESlot::Source, 512 + 100, 512, kSide, kSide));
    ASSERT_TRUE(doc.DragTo(512 + 100, 512 + 13, kSide, kSide, true));
    const double degrees = Placement(ESlot::Source).angle * 180 / std::numbers::pi;
    EXPECT_NEAR(degrees, std::round(degrees), 1e-9);
    EXPECT_NE(std::round(degrees), 0.0);
    doc.EndDrag();
    doc.ApplyPlacement(ESlot::Target, {{10, -4}, 1.25, -12.345 * std::numbers::pi / 180},
                       EditKind::Placement);
    EXPECT_EQ(doc.PlacementReadout(ESlot::Target),
              "Target: zoom 125.00 %, angle -12.35\u00b0, offset 10, -4");
}

// A dialog's live changes of both slots are one step, and abandoning it leaves nothing to redo.
TEST_F(UndoRedo, OneGestureForADialogAndAbandonTakesItBack) {
    const FramePlacement source = Placement(ESlot::Source);
    const unsigned gesture = doc.NewGesture();
    doc.ApplyPlacement(ESlot::Source, {{1, 2}, 1.5, 0}, EditKind::Placement, gesture);
    doc.ApplyPlacement(ESlot::Target, {{3, 4}, 0.5, 0}, EditKind::Placement, gesture);
    doc.ApplyPlacement(ESlot::Source, {{1, 2}, 1.75, 0}, EditKind::Placement, gesture);
    EXPECT_EQ(UndoText(doc), "&Undo Placement Source and Target");
    doc.AbandonGesture(gesture + 1); // not the latest step: nothing happens
    EXPECT_EQ(Placement(ESlot::Source).zoom, 1.75);
    doc.AbandonGesture(gesture);
    EXPECT_EQ(Placement(ESlot::Source), source);
    EXPECT_EQ(Placement(ESlot::Target), FramePlacement{});
    EXPECT_FALSE(doc.CanRedo());
    EXPECT_EQ(UndoText(doc), "&Undo Load Target");
}

} // namespace
