#include "document/KeltDoc.h"
#include "picture/PointAlignment.h"
#include "res/Resource.h"
#include "support/ScriptedPlatform.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

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

TEST_F(DocumentAlign, NothingChangesWithoutBothPicturesOrForDegeneratePoints) {
    doc.InstallPicture(ESlot::Source, std::make_unique<CDibImage>(64, 48));
    EXPECT_FALSE(doc.AlignTarget(points));
    doc.InstallPicture(ESlot::Target, std::make_unique<CDibImage>(50, 60));
    const size_t steps = doc.History().Count();
    PointPairs same = points;
    same.source[1] = same.source[0];
    EXPECT_FALSE(doc.AlignTarget(same));
    EXPECT_EQ(doc.History().Count(), steps);
    EXPECT_EQ(doc.GetTargetFrame()->Placement(), FramePlacement{});
    EXPECT_TRUE(ui.messages.empty());
}
