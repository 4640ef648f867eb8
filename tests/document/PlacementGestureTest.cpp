// The placement edits without a window: the gesture maths in crop units, and the document's
// drags, key steps and the one path every placement change takes.
#include "document/PlacementGesture.h"
#include "document/KeltDoc.h"
#include "res/Resource.h"
#include "support/ScriptedPlatform.h"

#include <gtest/gtest.h>
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
    EXPECT_EQ(edits[4].gesture, 0u);
    EXPECT_EQ(edits[5].gesture, 0u);
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

} // namespace
