#include "document/KeltDoc.h"
#include "base/MyException.h"
#include "imageio/DibAdapters.h"
#include "imageio/ImExp.h"
#include "res/Resource.h"
#include "support/ScriptedPlatform.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

using namespace vx;

namespace {

struct DocFixture : ::testing::Test {
    test::ScriptedPlatform ui;
    CKeltDoc doc{ui, ui};
    CCommandRouter router{[this] { return std::vector<CCmdTarget*>{&doc}; }, ui};

    bool Enabled(unsigned id) { return router.Update(id).m_bEnabled; }
    bool Checked(unsigned id) { return router.Update(id).m_bChecked; }
    void Load(ESlot slot, int w = 40, int h = 30) {
        doc.InstallPicture(slot, std::make_unique<CDibImage>(w, h));
    }
};

using DocumentCommands = DocFixture;
using DocumentSlots = DocFixture;
using DocumentAspect = DocFixture;
using DocumentUndo = DocFixture;

} // namespace

TEST_F(DocumentCommands, FreshDocumentState) {
    EXPECT_TRUE(Checked(res::ID_EDIT_MOVE));
    EXPECT_FALSE(Checked(res::ID_EDIT_ZOOM));
    EXPECT_FALSE(Checked(res::ID_EDIT_ROTATE));
    EXPECT_TRUE(Checked(res::ID_EDIT_QUICK));
    EXPECT_EQ(doc.m_nBlend, 50);
    EXPECT_EQ(doc.m_dAspect, 1.0);
    EXPECT_EQ(doc.m_nAspectX, 1);
    EXPECT_EQ(doc.m_nAspectY, 1);
    EXPECT_TRUE(doc.m_bPreviewReady);
    for (unsigned id : {res::ID_FILE_SAVE_SOURCE, res::ID_FILE_SAVE_TARGET,
                        res::ID_EDIT_RESTORE_ALL, res::ID_FILE_EXPORT}) {
        EXPECT_FALSE(Enabled(id)) << id;
    }
    EXPECT_TRUE(Enabled(res::ID_EDIT_ZOOM));
    EXPECT_TRUE(Enabled(res::ID_BLEND));
    EXPECT_FALSE(Enabled(12345)); // nobody handles it
    EXPECT_FALSE(router.Execute(12345));
}

TEST_F(DocumentCommands, EditModesAreOneChoiceAndQuickToggles) {
    EXPECT_TRUE(router.Execute(res::ID_EDIT_ZOOM));
    EXPECT_EQ(doc.m_nEditMode, 132);
    router.Execute(res::ID_EDIT_ROTATE);
    EXPECT_EQ(doc.m_nEditMode, 134);
    EXPECT_TRUE(Checked(res::ID_EDIT_ROTATE));
    EXPECT_FALSE(Checked(res::ID_EDIT_ZOOM));
    EXPECT_FALSE(Checked(res::ID_EDIT_MOVE));
    router.Execute(res::ID_EDIT_MOVE);
    EXPECT_EQ(doc.m_nEditMode, 133);
    router.Execute(res::ID_EDIT_QUICK);
    EXPECT_FALSE(doc.m_bQuickMode);
    EXPECT_FALSE(Checked(res::ID_EDIT_QUICK));
    router.Execute(res::ID_EDIT_QUICK);
    EXPECT_TRUE(doc.m_bQuickMode);
}

TEST_F(DocumentCommands, EnablingFollowsSlotsAndSavedFlags) {
    Load(ESlot::Source);
    EXPECT_FALSE(Enabled(res::ID_FILE_SAVE_SOURCE));
    EXPECT_FALSE(Enabled(res::ID_EDIT_RESTORE_ALL));
    Load(ESlot::Target);
    EXPECT_TRUE(Enabled(res::ID_FILE_SAVE_SOURCE));
    EXPECT_TRUE(Enabled(res::ID_FILE_SAVE_TARGET));
    EXPECT_TRUE(Enabled(res::ID_EDIT_RESTORE_ALL));
    EXPECT_FALSE(Enabled(res::ID_FILE_EXPORT));
    doc.m_bSourceSaved = true;
    EXPECT_FALSE(Enabled(res::ID_FILE_EXPORT));
    doc.m_bTargetSaved = true;
    EXPECT_TRUE(Enabled(res::ID_FILE_EXPORT));
    doc.ApplyPlacement(ESlot::Source, {{5, 5}}, EditKind::Move); // a drag in the SOURCE view
    EXPECT_FALSE(doc.m_bSourceSaved);
    EXPECT_TRUE(doc.m_bTargetSaved);
    EXPECT_FALSE(Enabled(res::ID_FILE_EXPORT));
}

TEST_F(DocumentCommands, ExceptionLeavingACommandGetsTheGenericReport) {
    struct Thrower : CCmdTarget {
        Thrower() {
            OnCommand(1, [] { throw CMyException(4); });
        }
    } thrower;
    CCommandRouter chain([&] { return std::vector<CCmdTarget*>{&doc, &thrower}; }, ui);
    EXPECT_TRUE(chain.Execute(1));
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].text, CCommandRouter::GenericFailureText());
    EXPECT_TRUE(chain.Update(1).m_bEnabled); // a handler but no update rule: enabled
}

TEST_F(DocumentSlots, InstallFitsFrameUpdatesViewsAndClearsFlag) {
    ui.previewSize = ViewSize{100, 80};
    Load(ESlot::Source, 200, 100);
    EXPECT_EQ(ui.allViewUpdates, 1);
    ASSERT_NE(doc.GetSourceFrame(), nullptr);
    EXPECT_EQ(doc.GetSourceFrame()->picture, doc.m_pSource.get());
    EXPECT_EQ(doc.GetSourceFrame()->FrameWidth(), 2048);
    EXPECT_EQ(doc.m_pPreview, nullptr); // one slot: no buffers yet
    EXPECT_EQ(ui.previewRepaints, 1);
    doc.m_bSourceSaved = true;
    Load(ESlot::Source, 100, 200);
    EXPECT_FALSE(doc.m_bSourceSaved);
    EXPECT_EQ(doc.GetSourceFrame()->FrameHeight(), 2048);
    Load(ESlot::Target);
    ASSERT_NE(doc.m_pPreview, nullptr);
    EXPECT_EQ(doc.m_pPreview->Width(), 100);
    EXPECT_EQ(doc.m_pPreview->Height(), 80);
    EXPECT_EQ(doc.m_nLastSelector, 0);
}

TEST_F(DocumentSlots, RestoreAllReturnsToFittedPlacement) {
    ui.previewSize = ViewSize{100, 80};
    Load(ESlot::Source, 300, 200);
    Load(ESlot::Target, 200, 300);
    for (CPictFrame* f : {doc.GetSourceFrame(), doc.GetTargetFrame()}) {
        f->SetZoom(2.5);
        f->SetOffset(100, -200);
        f->SetAngle(1.0);
    }
    doc.m_bSourceSaved = doc.m_bTargetSaved = true;
    EXPECT_TRUE(router.Execute(res::ID_EDIT_RESTORE_ALL));
    for (CPictFrame* f : {doc.GetSourceFrame(), doc.GetTargetFrame()}) {
        EXPECT_EQ(f->zoom, 1.0);
        EXPECT_EQ(f->angle, 0.0);
        EXPECT_EQ(f->offset, (CPoint{0, 0}));
    }
    EXPECT_EQ(doc.GetSourceFrame()->FrameWidth(), 1536);
    EXPECT_FALSE(doc.m_bSourceSaved);
    EXPECT_FALSE(doc.m_bTargetSaved);
    EXPECT_EQ(doc.m_nSourceStep, 8); // rendered again from the start
}

// Quitting asks only when a placement edit would be lost; Yes saves each edited picture and
// stays when a save is cancelled.
TEST_F(DocumentSlots, QuittingAsksOnlyWhenEditsWouldBeLost) {
    Load(ESlot::Source);
    Load(ESlot::Target);
    EXPECT_TRUE(doc.CanClose()); // loaded only: loading again gives the same
    doc.ApplyPlacement(ESlot::Target, {{5, 5}}, EditKind::Move);
    doc.RestoreAll();
    EXPECT_TRUE(doc.CanClose());
    EXPECT_TRUE(ui.messages.empty());

    doc.ApplyPlacement(ESlot::Target, {{5, 5}}, EditKind::Move);
    ui.messageAnswers = {MsgResult::Cancel, MsgResult::No};
    EXPECT_FALSE(doc.CanClose());
    EXPECT_EQ(ui.messages.back().buttons, MsgButtons::YesNoCancel);
    EXPECT_TRUE(doc.CanClose());

    test::TempDir dir;
    ui.messageAnswers = {MsgResult::Yes, MsgResult::Yes};
    ui.AnswerNoFile();
    EXPECT_FALSE(doc.CanClose()); // the save dialog was cancelled
    ui.AnswerFile(dir.File("t.png"));
    EXPECT_TRUE(doc.CanClose());
    EXPECT_TRUE(doc.m_bTargetSaved);
    EXPECT_EQ(ui.fileDialogs.size(), 2u); // the source had no edit
    EXPECT_TRUE(doc.CanClose());
}

TEST_F(DocumentAspect, RatioChangeRescalesFramesAndRendersOnce) {
    ui.previewSize = ViewSize{160, 120};
    Load(ESlot::Source, 300, 200);
    Load(ESlot::Target, 200, 300);
    ui.RunTimerOut(CKeltDoc::kRenderTimerId);
    doc.GetSourceFrame()->SetOffset(64, 32);
    doc.m_bSourceSaved = doc.m_bTargetSaved = true;
    doc.m_strSourceSaved = "/tmp/s.png";
    const int repaints = ui.previewRepaints;
    ASSERT_TRUE(doc.SetAspectRatio(16, 9));
    EXPECT_EQ(doc.m_nAspectX, 16);
    EXPECT_EQ(doc.m_nAspectY, 9);
    EXPECT_EQ(doc.m_dAspect, 0.5625);
    EXPECT_EQ(doc.GetSourceFrame()->aspect, 0.5625);
    EXPECT_EQ(doc.GetSourceFrame()->offset, (CPoint{113, 56}));
    EXPECT_EQ(doc.GetSourceFrame()->corners[2], (CPoint{int(768 * 0.5625), int(512 * 0.5625)}));
    EXPECT_EQ(doc.GetTargetFrame()->aspect, 0.5625);
    EXPECT_EQ(doc.m_pOutputFrame->corners[2], (CPoint{512, 288}));
    EXPECT_EQ(ui.previewRepaints, repaints + 1); // one pass, steps not restarted
    EXPECT_EQ(doc.m_nSourceStep, 1);
    EXPECT_EQ(doc.m_nLastSelector, 0);
    EXPECT_TRUE(doc.m_bSourceSaved);
    EXPECT_TRUE(doc.m_bTargetSaved);
    EXPECT_EQ(doc.m_strSourceSaved, "/tmp/s.png");

    EXPECT_TRUE(doc.SetAspectRatio(25, 16));
    EXPECT_EQ(doc.m_dAspect, 0.64);
    EXPECT_TRUE(doc.SetAspectRatio(3, 2));
    EXPECT_EQ(doc.m_dAspect, 2.0 / 3.0);
}

TEST_F(DocumentAspect, RefusesTermsBelowOneAndWaitsForBothSlots) {
    EXPECT_FALSE(doc.SetAspectRatio(0, 9));
    EXPECT_FALSE(doc.SetAspectRatio(16, -1));
    EXPECT_EQ(doc.m_dAspect, 1.0);
    EXPECT_EQ(doc.m_nAspectX, 1);
    ui.previewSize = ViewSize{160, 120};
    Load(ESlot::Source, 400, 300);
    doc.CreatePreviewBuffers(160, 120);
    ASSERT_TRUE(doc.SetAspectRatio(4, 3));
    // The existing frame keeps its ratio until it is rebuilt; the next load fits with the new one.
    EXPECT_EQ(doc.GetSourceFrame()->aspect, 1.0);
    EXPECT_EQ(doc.m_pOutputFrame->aspect, 0.75);
    Load(ESlot::Target, 400, 300);
    EXPECT_EQ(doc.GetTargetFrame()->aspect, 0.75);
}

TEST_F(DocumentAspect, OutputSizesOfSaves) {
    auto size = [&](int w, int h, double zoom, int ax, int ay) {
        doc.SetAspectRatio(ax, ay);
        Load(ESlot::Source, w, h);
        doc.GetSourceFrame()->SetZoom(zoom);
        return doc.GetOutputSize(ESlot::Source);
    };
    EXPECT_EQ(size(300, 200, 1, 1, 1), (OutputSize{200, 200}));
    EXPECT_EQ(size(200, 300, 1, 1, 1), (OutputSize{200, 200}));
    EXPECT_EQ(size(1000, 1000, 1, 4, 3), (OutputSize{1333, 1000}));
    EXPECT_EQ(size(1000, 500, 1, 4, 3), (OutputSize{666, 500}));
    EXPECT_EQ(size(400, 1000, 1, 4, 3), (OutputSize{400, 300}));
    EXPECT_EQ(size(101, 101, 1.5, 1, 1), (OutputSize{151, 151}));
}

TEST_F(DocumentAspect, DialogCommandOpensOnCurrentTermsAndCancelChangesNothing) {
    ui.aspectAnswers.push_back(std::pair{16, 9});
    ui.aspectAnswers.push_back(std::nullopt);
    EXPECT_TRUE(router.Execute(res::ID_EDIT_ASPECT));
    EXPECT_EQ(doc.m_dAspect, 0.5625);
    EXPECT_TRUE(router.Execute(res::ID_EDIT_ASPECT));
    ASSERT_EQ(ui.aspectDialogs.size(), 2u);
    EXPECT_EQ(ui.aspectDialogs[0], (std::pair{1, 1}));
    EXPECT_EQ(ui.aspectDialogs[1], (std::pair{16, 9}));
    EXPECT_EQ(doc.m_nAspectX, 16);
    EXPECT_TRUE(Enabled(res::ID_EDIT_ASPECT));
}

// Undoing a load brings the earlier picture back with its placement, the first load empties the
// slot again, and the history keeps no more pictures than its cap allows, the oldest going first.
TEST_F(DocumentUndo, LoadsComeBackAndTheCapDropsTheOldest) {
    ui.previewSize = ViewSize{64, 48};
    Load(ESlot::Source, 40, 30);
    CDibImage* first = doc.m_pSource.get();
    Load(ESlot::Target);
    doc.ApplyPlacement(ESlot::Source, {{7, 7}, 0.5, 0.25}, EditKind::Move);
    Load(ESlot::Source, 400, 300);
    CDibImage* second = doc.m_pSource.get();
    EXPECT_EQ(router.Update(res::ID_EDIT_UNDO).m_strText, "&Undo Load Source");
    EXPECT_TRUE(router.Execute(res::ID_EDIT_UNDO));
    EXPECT_EQ(doc.m_pSource.get(), first);
    EXPECT_EQ(doc.GetSourceFrame()->picture, first);
    EXPECT_EQ(doc.GetSourceFrame()->Placement(), (FramePlacement{{7, 7}, 0.5, 0.25}));
    EXPECT_TRUE(doc.m_bSourceEdited);
    ASSERT_NE(doc.m_pPreview, nullptr); // both slots: rendered again
    EXPECT_EQ(router.Update(res::ID_EDIT_REDO).m_strText, "Re&do Load Source");
    router.Execute(res::ID_EDIT_REDO);
    EXPECT_EQ(doc.m_pSource.get(), second);
    EXPECT_FALSE(doc.m_bSourceEdited);

    while (doc.CanUndo()) {
        doc.Undo();
    }
    EXPECT_EQ(doc.m_pSource, nullptr);
    EXPECT_EQ(doc.GetSourceFrame(), nullptr);
    EXPECT_EQ(doc.m_pPreview, nullptr);
    EXPECT_FALSE(Enabled(res::ID_EDIT_UNDO));
    EXPECT_EQ(router.Update(res::ID_EDIT_UNDO).m_strText, "&Undo");
    while (doc.CanRedo()) {
        doc.Redo();
    }
    EXPECT_EQ(doc.m_pSource.get(), second);

    // Each 400 x 300 picture is 360000 bytes: room for two of them.
    doc.History().Clear();
    doc.History().SetByteCap(800000);
    for (int i = 0; i < 4; ++i) {
        Load(ESlot::Target, 400, 300);
    }
    EXPECT_LE(doc.History().Bytes(), 800000u);
    EXPECT_EQ(doc.History().Count(), 2u);
    doc.Undo();
    doc.Undo();
    EXPECT_FALSE(doc.CanUndo());
    EXPECT_EQ(doc.m_pTarget->Width(), 400); // the second of the four
    doc.History().SetByteCap(0);
    EXPECT_EQ(doc.History().Count(), 0u);
}

// Undoing back to what was saved makes the slot saved again, so that export is possible and
// quitting does not ask; redoing past it makes the edit unsaved again.
TEST_F(DocumentUndo, BackAtTheSavedPlacementTheSlotIsSavedAgain) {
    test::TempDir dir;
    Load(ESlot::Source);
    Load(ESlot::Target);
    doc.ApplyPlacement(ESlot::Source, {{3, 3}}, EditKind::Move);
    ui.AnswerFile(dir.File("s.png"));
    doc.OnSaveAs(ESlot::Source);
    ASSERT_TRUE(doc.m_bSourceSaved);
    doc.ApplyPlacement(ESlot::Source, {{4, 4}}, EditKind::Move);
    EXPECT_FALSE(doc.m_bSourceSaved);
    EXPECT_TRUE(doc.m_bSourceEdited);
    doc.Undo();
    EXPECT_TRUE(doc.m_bSourceSaved);
    EXPECT_FALSE(doc.m_bSourceEdited);
    EXPECT_TRUE(doc.CanClose());
    doc.Undo(); // back at the fit: nothing to lose
    EXPECT_FALSE(doc.m_bSourceSaved);
    EXPECT_FALSE(doc.m_bSourceEdited);
    EXPECT_TRUE(doc.CanClose());
    EXPECT_TRUE(ui.messages.empty());
    doc.Redo();
    EXPECT_TRUE(doc.m_bSourceSaved);
    EXPECT_EQ(doc.m_strSourceSaved, dir.File("s.png"));
    doc.Redo();
    EXPECT_FALSE(doc.m_bSourceSaved);
    EXPECT_TRUE(doc.m_bSourceEdited);
}

// Swap exchanges pictures, frames, saved flags and paths, and is one step.
TEST_F(DocumentUndo, SwapExchangesEverythingOfTheSlotsAsOneStep) {
    Load(ESlot::Source, 40, 30);
    Load(ESlot::Target, 30, 40);
    CDibImage* source = doc.m_pSource.get();
    doc.ApplyPlacement(ESlot::Source, {{9, 9}, 2.0, 0}, EditKind::Move);
    doc.m_bTargetSaved = true;
    doc.m_strTargetSaved = "t.png";
    EXPECT_TRUE(router.Execute(res::ID_EDIT_SWAP));
    EXPECT_EQ(doc.m_pTarget.get(), source);
    EXPECT_EQ(doc.GetTargetFrame()->picture, source);
    EXPECT_EQ(doc.GetTargetFrame()->Placement(), (FramePlacement{{9, 9}, 2.0, 0}));
    EXPECT_EQ(doc.GetSourceFrame()->picture, doc.m_pSource.get());
    EXPECT_TRUE(doc.m_bSourceSaved);
    EXPECT_EQ(doc.m_strSourceSaved, "t.png");
    EXPECT_TRUE(doc.m_bTargetEdited);
    EXPECT_FALSE(doc.m_bSourceEdited);
    EXPECT_EQ(router.Update(res::ID_EDIT_UNDO).m_strText, "&Undo Swap Source and Target");
    doc.Undo();
    EXPECT_EQ(doc.m_pSource.get(), source);
    EXPECT_EQ(doc.GetSourceFrame()->Placement().zoom, 2.0);
    EXPECT_EQ(doc.m_strTargetSaved, "t.png");
    EXPECT_FALSE(doc.m_bSourceSaved);
}

// Save as renders while its file dialog is open. A scan or capture delivered meanwhile waits for
// the save; a picture installed at once waits for the render. Either way the file is the framing
// of the command, and a render left behind by Cancel never outlives its picture.
TEST_F(DocumentSlots, PicturesArrivingDuringTheSaveDialog) {
    test::TempDir dir;
    auto pattern = [](int w, int h) {
        auto picture = std::make_unique<CDibImage>(w, h);
        for (int y = 0; y < h; ++y) {
            for (int x = 0; x < 3 * w; ++x) {
                picture->Row(y)[x] = uint8_t(x * 7 + y * 13);
            }
        }
        return picture;
    };
    doc.History().SetByteCap(0); // a replaced picture is freed at once
    doc.InstallPicture(ESlot::Source, pattern(160, 120));
    Load(ESlot::Target);
    doc.ApplyPlacement(ESlot::Source, {{30, -20}, 1.3, 0.4}, EditKind::Rotate);
    const OutputSize size = doc.GetOutputSize(ESlot::Source);
    CDibImage expected(size.width, size.height);
    doc.RenderFull(*doc.GetSourceFrame(), expected);
    auto writer = MakeWriteSource(expected);
    int one = 1;
    ASSERT_TRUE(ImExp_WriteFile(writer.get(), nullptr, dir.File("expected.png").c_str(), &one,
                                nullptr, nullptr, 1));

    const CDibImage* framed = doc.GetPicture(ESlot::Source);
    ui.whileFileDialog = [&] {
        if (ui.fileDialogs.size() == 1) {
            doc.AddAcquiredPicture(ESlot::Source, std::make_unique<CDibImage>(50, 40), {}, "Cam");
            EXPECT_EQ(doc.GetPicture(ESlot::Source), framed);
        }
    };
    ui.AnswerFile(dir.File("a.png"));
    ui.AnswerNoFile(); // the capture is not kept
    EXPECT_TRUE(doc.OnSaveAs(ESlot::Source));
    EXPECT_EQ(test::ReadWholeFile(dir.File("a.png")),
              test::ReadWholeFile(dir.File("expected.png")));
    ASSERT_EQ(ui.fileDialogs.size(), 2u);
    EXPECT_TRUE(ui.fileDialogs[1].save); // the capture's own offer, after the save
    EXPECT_EQ(doc.GetPicture(ESlot::Source)->Width(), 50);
    EXPECT_FALSE(doc.m_bSourceSaved); // the capture is not what was saved

    doc.InstallPicture(ESlot::Source, pattern(160, 120));
    doc.ApplyPlacement(ESlot::Source, {{30, -20}, 1.3, 0.4}, EditKind::Rotate);
    ui.whileFileDialog = [&] { doc.InstallPicture(ESlot::Source, pattern(20, 10)); };
    ui.AnswerFile(dir.File("b.png"));
    EXPECT_TRUE(doc.OnSaveAs(ESlot::Source));
    EXPECT_EQ(test::ReadWholeFile(dir.File("b.png")),
              test::ReadWholeFile(dir.File("expected.png")));
    EXPECT_EQ(doc.GetPicture(ESlot::Source)->Width(), 20);
    EXPECT_FALSE(doc.m_bSourceSaved);

    ui.whileFileDialog = nullptr;
    doc.ApplyPlacement(ESlot::Source, {{1, 1}, 200.0, 0.1}, EditKind::Zoom); // a long render
    EXPECT_FALSE(doc.OnSaveAs(ESlot::Source));                               // cancelled
    doc.InstallPicture(ESlot::Source, pattern(30, 30));
    EXPECT_TRUE(ui.messages.empty());
}
