#include "document/KeltDoc.h"
#include "picture/CropGeometry.h"
#include "picture/FrameSampler.h"
#include "picture/PointAlignment.h"
#include "res/Resource.h"
#include "support/AlignPairs.h"
#include "support/ScriptedPlatform.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

using namespace vx;

namespace {

struct AlignFixture : ::testing::Test {
    test::ScriptedPlatform ui;
    CKeltDoc doc{ui, ui};
    CCommandRouter router{[this] { return std::vector<CCmdTarget*>{&doc}; }, ui};
    const PointPairs points{{{{10, 12}, {50, 40}}}, {{{5, 8}, {40, 33}}}};

    void LoadBoth() {
        doc.InstallPicture(ESlot::Source, std::make_unique<CDibImage>(64, 48));
        doc.InstallPicture(ESlot::Target, std::make_unique<CDibImage>(50, 60));
        doc.CreatePreviewBuffers(120, 90);
    }
};

using DocumentAlign = AlignFixture;

// Overlapping rectangles of random greys: corners for the feature finder to hold on to.
std::unique_ptr<CDibImage> Patchwork(int w, int h) {
    std::mt19937 rng(11);
    auto picture = std::make_unique<CDibImage>(w, h);
    picture->Clear();
    for (int n = 0; n < 90; ++n) {
        const int x0 = int(rng() % w), y0 = int(rng() % h);
        const int x1 = std::min(w, x0 + 5 + int(rng() % (w / 4)));
        const int y1 = std::min(h, y0 + 5 + int(rng() % (h / 4)));
        const uint8_t grey[3] = {uint8_t(rng()), uint8_t(rng()), uint8_t(rng())};
        for (int y = y0; y < y1; ++y) {
            for (int x = x0; x < x1; ++x) {
                std::copy(grey, grey + 3, picture->Row(y) + 3 * x);
            }
        }
    }
    return picture;
}

} // namespace

// The target takes the placement of the point algebra as one undo step, unsaved and rendered
// again; the source stays; undo puts the target back in one step.
TEST_F(DocumentAlign, AlignTargetIsOneEditOfTheTarget) {
    test::TempDir dir;
    LoadBoth();
    doc.ApplyPlacement(ESlot::Source, {{20, -7}, 1.3, 0.2}, EditKind::Rotate);
    doc.ApplyPlacement(ESlot::Target, {{3, 4}, 0.9, -0.1}, EditKind::Move);
    ui.AnswerFile(dir.File("t.png"));
    doc.OnSaveAs(ESlot::Target);
    ASSERT_TRUE(doc.m_bTargetSaved);
    const FramePlacement source = doc.GetSourceFrame()->Placement();
    const FramePlacement target = doc.GetTargetFrame()->Placement();
    const size_t steps = doc.History().Count();
    ui.timers.clear();

    ASSERT_TRUE(doc.AlignTarget(points));
    const auto want =
        AlignByPoints(*doc.GetSourceFrame(), 64, 48, *doc.GetTargetFrame(), 50, 60, points);
    ASSERT_TRUE(want.has_value());
    EXPECT_EQ(doc.GetTargetFrame()->Placement(), *want);
    EXPECT_EQ(doc.GetSourceFrame()->Placement(), source);
    EXPECT_FALSE(doc.m_bTargetSaved);
    EXPECT_TRUE(ui.TimerRunning(CKeltDoc::kRenderTimerId));
    EXPECT_EQ(doc.History().Count(), steps + 1);
    EXPECT_EQ(router.Update(res::ID_EDIT_UNDO).m_strText, "&Undo Align Target");

    // Again on the same points: a step of its own, the same placement.
    ASSERT_TRUE(doc.AlignTarget(points));
    EXPECT_EQ(doc.History().Count(), steps + 2);
    doc.Undo();
    doc.Undo();
    EXPECT_EQ(doc.GetTargetFrame()->Placement(), target);
    EXPECT_TRUE(doc.m_bTargetSaved); // back at what was saved
    doc.Redo();
    EXPECT_EQ(doc.GetTargetFrame()->Placement(), *want);
}

// Marking places Source 1, Source 2, Target 1, Target 2 in turn, saying which is next; the last
// aligns. Markers stay through undo, follow a swap and go with their picture.
TEST_F(DocumentAlign, MarkingThenAligningAndTheMarkersLife) {
    LoadBoth();
    EXPECT_FALSE(router.Update(res::ID_ALIGN_CLEAR_POINTS).m_bEnabled);
    ASSERT_TRUE(router.Execute(res::ID_ALIGN_POINTS));
    EXPECT_TRUE(router.Update(res::ID_ALIGN_POINTS).m_bChecked);
    EXPECT_EQ(doc.MarkingPrompt(),
              "Click point 1 on the SOURCE, in its pane or in the Preview (Esc: stop)");
    doc.SetMarker(ESlot::Source, 0, points.source[0]);
    doc.SetMarker(ESlot::Source, 1, points.source[1]);
    doc.EndMarkerPlacement();
    EXPECT_EQ(doc.MarkingPrompt().substr(0, 28), "Click point 1 on the TARGET,");
    doc.SetMarker(ESlot::Target, 0, points.target[0]);
    doc.SetMarker(ESlot::Target, 1, points.target[1]);
    EXPECT_EQ(doc.GetTargetFrame()->Placement(), FramePlacement{});
    doc.EndMarkerPlacement();
    EXPECT_FALSE(doc.Marking());
    const FramePlacement aligned = doc.GetTargetFrame()->Placement();
    EXPECT_NE(aligned, FramePlacement{});

    // A marker moved, the command again: aligned at once, one more step.
    doc.SetMarker(ESlot::Target, 1, PicturePoint{45, 30});
    const size_t steps = doc.History().Count();
    router.Execute(res::ID_ALIGN_POINTS);
    EXPECT_FALSE(doc.Marking());
    EXPECT_EQ(doc.History().Count(), steps + 1);
    EXPECT_NE(doc.GetTargetFrame()->Placement(), aligned);
    doc.Undo();
    EXPECT_EQ(doc.GetTargetFrame()->Placement(), aligned);
    EXPECT_EQ(doc.Marker(ESlot::Target, 1), (PicturePoint{45, 30}));

    doc.SwapSlots();
    EXPECT_EQ(doc.Marker(ESlot::Source, 1), (PicturePoint{45, 30}));
    EXPECT_EQ(doc.Marker(ESlot::Target, 0), points.source[0]);
    doc.Undo();
    doc.InstallPicture(ESlot::Target, std::make_unique<CDibImage>(30, 30));
    EXPECT_FALSE(doc.Marker(ESlot::Target, 0) || doc.Marker(ESlot::Target, 1));
    EXPECT_EQ(doc.Marker(ESlot::Source, 0), points.source[0]);
    doc.Undo(); // the earlier picture comes back without markers: they were on another one
    EXPECT_FALSE(doc.Marker(ESlot::Target, 0));

    // The command with markers missing begins marking, and again ends it.
    router.Execute(res::ID_ALIGN_POINTS);
    EXPECT_TRUE(doc.Marking());
    router.Execute(res::ID_ALIGN_POINTS);
    EXPECT_FALSE(doc.Marking());
    ASSERT_TRUE(router.Update(res::ID_ALIGN_CLEAR_POINTS).m_bEnabled);
    router.Execute(res::ID_ALIGN_CLEAR_POINTS);
    EXPECT_FALSE(doc.AnyMarker());
}

// Nothing aligns with one picture; markers on one spot are named and change nothing.
TEST_F(DocumentAlign, MarkersOnOneSpotAreNamedAndChangeNothing) {
    doc.InstallPicture(ESlot::Source, std::make_unique<CDibImage>(64, 48));
    EXPECT_FALSE(doc.AlignTarget(points));
    LoadBoth();
    doc.SetMarker(ESlot::Source, 0, points.source[0]);
    doc.SetMarker(ESlot::Source, 1, points.source[1]);
    doc.SetMarker(ESlot::Target, 0, points.target[0]);
    doc.SetMarker(ESlot::Target, 1, PicturePoint{points.target[0].x + 0.5, points.target[0].y});
    const size_t steps = doc.History().Count();
    router.Execute(res::ID_ALIGN_POINTS);
    EXPECT_EQ(doc.History().Count(), steps);
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].text.substr(0, 50),
              "Points 1 and 2 on the target picture lie on the sa");
}

// The target is the source turned, zoomed and cut out: aligned, each target pixel shows the
// source pixel it was made from, and the pairs found are left as markers.
TEST_F(DocumentAlign, SceneAlignmentFindsAKnownPlacement) {
    auto source = Patchwork(400, 300);
    CPictFrame made(source.get(), 1.0);
    made.SetPlacement({{40, -25}, 0.8, 0.2});
    const int tw = 260, th = 240;
    auto target = std::make_unique<CDibImage>(tw, th);
    CFrameSampler(made, *source, tw, th, 1.0).RenderGrid(1, tw, th, *target);
    doc.InstallPicture(ESlot::Source, std::move(source));
    doc.InstallPicture(ESlot::Target, std::move(target));
    doc.CreatePreviewBuffers(120, 90);

    ASSERT_TRUE(router.Execute(res::ID_ALIGN_SCENE));
    EXPECT_TRUE(ui.messages.empty());
    ASSERT_EQ(ui.progressDialogs.size(), 1u);
    EXPECT_TRUE(ui.progressDialogs[0].cancelAllowed);
    EXPECT_EQ(router.Update(res::ID_EDIT_UNDO).m_strText, "&Undo Align Target");
    ASSERT_TRUE(doc.Marker(ESlot::Target, 1).has_value());
    for (PicturePoint t : {PicturePoint{30, 30}, PicturePoint{230, 40}, PicturePoint{120, 200}}) {
        // What the target pixel was made from: its output position under `made`.
        const PointF crop = OutputToCropF({t.x, th - 1 - t.y}, tw, th, 1.0);
        const PicturePoint want = CropToPicture(made, 400, 300, crop);
        const PicturePoint got = CropToPicture(*doc.GetSourceFrame(), 400, 300,
                                               PictureToCrop(*doc.GetTargetFrame(), tw, th, t));
        EXPECT_LT(std::hypot(got.x - want.x, got.y - want.y), 1.5) << t.x << "," << t.y;
    }
}

// Pictures with nothing in common: a message, nothing changed; a cancel: not even a message.
TEST_F(DocumentAlign, SceneAlignmentThatFindsNothingOrIsCancelledChangesNothing) {
    doc.InstallPicture(ESlot::Source, Patchwork(200, 150));
    doc.InstallPicture(ESlot::Target, std::make_unique<CDibImage>(120, 100));
    const size_t steps = doc.History().Count();
    EXPECT_FALSE(doc.AlignTargetToSource());
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(
        ui.messages[0].text.find("The pictures have too few features in common to align them."),
        0u);
    ui.cancelProgressAfter = 0;
    doc.InstallPicture(ESlot::Target, Patchwork(200, 150));
    EXPECT_FALSE(doc.AlignTargetToSource());
    EXPECT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(doc.History().Count(), steps + 1); // the load only
    EXPECT_FALSE(doc.AnyMarker());
}

// The portrait and a rolled view of it: the eyes, left one first, become the markers and the
// target is aligned on them in one step.
TEST_F(DocumentAlign, EyesAreFoundMarkedAndAligned) {
    auto portrait = test::LoadAlignPicture("astronaut.jpg");
    std::mt19937 rng(5);
    const test::Similarity roll = test::PlaceAt(20, 0.9, {225, 140}, {250, 220});
    doc.InstallPicture(ESlot::Target, test::WarpedView(*portrait, roll, 480, 440, 2, true, rng));
    doc.InstallPicture(ESlot::Source, std::move(portrait));
    ASSERT_TRUE(router.Execute(res::ID_ALIGN_EYES));
    EXPECT_TRUE(ui.messages.empty());
    EXPECT_EQ(router.Update(res::ID_EDIT_UNDO).m_strText, "&Undo Align Target");
    ASSERT_TRUE(doc.MarkedPoints().has_value());
    const PicturePoint left = roll.Apply(*doc.Marker(ESlot::Source, 0));
    EXPECT_LT(std::hypot(left.x - doc.Marker(ESlot::Target, 0)->x,
                         left.y - doc.Marker(ESlot::Target, 0)->y),
              3.0);
}

// No face in the target: it is named, the source keeps its eyes as markers, nothing moves and
// marking goes on at the target's point 1.
TEST_F(DocumentAlign, EyesNotFoundAreNamedAndMarkingGoesOn) {
    doc.InstallPicture(ESlot::Source, test::LoadAlignPicture("astronaut.jpg"));
    doc.InstallPicture(ESlot::Target, test::LoadAlignPicture("coffee.jpg"));
    doc.SetMarker(ESlot::Target, 0, PicturePoint{3, 4});
    const size_t steps = doc.History().Count();
    EXPECT_FALSE(doc.AlignEyes());
    EXPECT_EQ(doc.History().Count(), steps);
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].text.find("No face was found in the target picture."), 0u);
    EXPECT_TRUE(doc.Marker(ESlot::Source, 1).has_value());
    EXPECT_FALSE(doc.Marker(ESlot::Target, 0).has_value());
    EXPECT_TRUE(doc.Marking());
    EXPECT_EQ(doc.MarkingPrompt().substr(0, 28), "Click point 1 on the TARGET,");
}
