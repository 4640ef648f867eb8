#include "document/KeltDoc.h"
#include "picture/FrameSampler.h"
#include "res/Resource.h"
#include "support/ReferenceSampler.h"
#include "support/ScriptedPlatform.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

using namespace vx;

namespace {

std::unique_ptr<CDibImage> Filled(int w, int h, uint8_t b, uint8_t g, uint8_t r) {
    auto image = std::make_unique<CDibImage>(w, h);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            uint8_t* p = image->Row(y) + 3 * x;
            p[0] = b;
            p[1] = g;
            p[2] = r;
        }
    }
    return image;
}

std::unique_ptr<CDibImage> Noise(int w, int h, unsigned seed) {
    std::mt19937 rng(seed);
    auto image = std::make_unique<CDibImage>(w, h);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < 3 * w; ++x) {
            image->Row(y)[x] = uint8_t(rng());
        }
    }
    return image;
}

bool IsGreen(const CDibImage& image, int x, int y) {
    const uint8_t* p = image.Row(y) + 3 * x;
    return p[0] == 0 && p[1] == 255 && p[2] == 0;
}

std::vector<uint8_t> Bytes(const CDibImage& image) {
    return {image.Bits(), image.Bits() + image.RasterBytes()};
}

struct Fixture : ::testing::Test {
    test::ScriptedPlatform ui;
    CKeltDoc doc{ui, ui};
    void LoadBoth(int W, int H) {
        ui.previewSize = ViewSize{W, H};
        doc.InstallPicture(ESlot::Source, Noise(64, 48, 1));
        doc.InstallPicture(ESlot::Target, Noise(50, 70, 2));
    }
};

using RenderSchedule = Fixture;
using RenderOutput = Fixture;

} // namespace

TEST_F(RenderSchedule, OnlyOnePictureStaysBlackWithoutTimer) {
    ui.previewSize = ViewSize{120, 90};
    doc.CreatePreviewBuffers(120, 90);
    doc.InstallPicture(ESlot::Source, Filled(40, 40, 200, 200, 200));
    EXPECT_EQ(doc.m_pPreview, nullptr); // dropped by the install, rebuilt only with both slots
    doc.CreatePreviewBuffers(120, 90);
    doc.RequestRender(0);
    EXPECT_FALSE(doc.m_bPreviewReady);
    EXPECT_FALSE(ui.TimerRunning(CKeltDoc::kRenderTimerId));
    const auto bytes = Bytes(*doc.m_pPreview);
    EXPECT_TRUE(std::all_of(bytes.begin(), bytes.end(), [](uint8_t b) { return b == 0; }));
}

TEST_F(RenderSchedule, QuickModeStepsAndTimer) {
    LoadBoth(160, 120); // the second install renders with selector 0
    ASSERT_NE(doc.m_pPreview, nullptr);
    EXPECT_EQ(doc.m_nSourceStep, 8);
    EXPECT_EQ(doc.m_nTargetStep, 8);
    EXPECT_TRUE(doc.m_bPreviewReady);
    ASSERT_TRUE(ui.TimerRunning(CKeltDoc::kRenderTimerId));
    EXPECT_EQ(ui.timers[CKeltDoc::kRenderTimerId].ms, 200u);
    std::vector<int> steps;
    while (ui.FireTimer(CKeltDoc::kRenderTimerId)) {
        steps.push_back(doc.m_nSourceStep);
        ASSERT_LE(ui.timers.size(), 1u);
    }
    EXPECT_EQ(steps, (std::vector<int>{4, 2, 1}));
    EXPECT_EQ(doc.m_nTargetStep, 1);
    EXPECT_FALSE(ui.TimerRunning(CKeltDoc::kRenderTimerId));
    EXPECT_TRUE(doc.m_bPreviewReady);
}

TEST_F(RenderSchedule, SlowModeStartsAtHalfResolution) {
    doc.m_bQuickMode = false;
    LoadBoth(160, 120);
    EXPECT_EQ(doc.m_nSourceStep, 2);
    EXPECT_EQ(ui.RunTimerOut(CKeltDoc::kRenderTimerId), 1);
    EXPECT_EQ(doc.m_nSourceStep, 1);
}

TEST_F(RenderSchedule, SourceDragReusesFinishedTargetRender) {
    LoadBoth(160, 120);
    ui.RunTimerOut(CKeltDoc::kRenderTimerId);
    const auto targetBefore = Bytes(*doc.m_pTargetRender);
    const auto sourceBefore = Bytes(*doc.m_pSourceRender);
    doc.ApplyPlacement(ESlot::Source, {{37, -20}}, EditKind::Move);
    EXPECT_EQ(doc.m_nSourceStep, 8);
    EXPECT_EQ(doc.m_nTargetStep, 1);
    EXPECT_NE(Bytes(*doc.m_pSourceRender), sourceBefore);
    // The coarse render is the grid at step 8 enlarged to the Preview.
    CDibImage grid(160 / 8, 120 / 8);
    CFrameSampler(*doc.GetSourceFrame(), *doc.m_pSource, 160, 120, 1.0).RenderGrid(8, 20, 15, grid);
    grid.Resize(160, 120);
    EXPECT_EQ(Bytes(*doc.m_pSourceRender), Bytes(grid));
    int passes = 1;
    do {
        EXPECT_EQ(Bytes(*doc.m_pTargetRender), targetBefore) << "pass " << passes;
        ++passes;
    } while (ui.FireTimer(CKeltDoc::kRenderTimerId));
    EXPECT_EQ(passes, 5);
}

TEST_F(RenderSchedule, RequestDuringRefinementResetsOnlyTheNamedPicture) {
    LoadBoth(160, 120);
    ui.FireTimer(CKeltDoc::kRenderTimerId); // both at 4
    doc.ApplyPlacement(ESlot::Target, doc.GetTargetFrame()->Placement(), EditKind::Move);
    EXPECT_EQ(doc.m_nSourceStep, 2);
    EXPECT_EQ(doc.m_nTargetStep, 8);
    // Selector 1 resets nothing; with both finished it only blends again.
    ui.RunTimerOut(CKeltDoc::kRenderTimerId);
    const auto renderBefore = Bytes(*doc.m_pSourceRender);
    ui.sliderPos = 100;
    EXPECT_TRUE(doc.OnCmdMsg(32810));
    EXPECT_EQ(doc.m_nBlend, 100);
    EXPECT_EQ(doc.m_nLastSelector, 1);
    EXPECT_EQ(doc.m_nSourceStep, 1);
    EXPECT_FALSE(ui.TimerRunning(CKeltDoc::kRenderTimerId));
    EXPECT_EQ(Bytes(*doc.m_pSourceRender), renderBefore);
}

TEST_F(RenderOutput, FinalPassIsTheLiteralSamplingBlendedAndOutlined) {
    LoadBoth(150, 100);
    doc.GetSourceFrame()->SetZoom(0.8);
    doc.GetSourceFrame()->SetAngle(0.3);
    doc.GetTargetFrame()->SetOffset(-60, 25);
    doc.m_nBlend = 37;
    doc.RequestRender(0);
    ui.RunTimerOut(CKeltDoc::kRenderTimerId);
    const CDibImage& out = *doc.m_pPreview;
    // Crop 100 x 100 from x = 25: outlined 5 px inside, at x 30 and 120, y 5 and 95.
    const CRect rect{30, 5, 120, 95};
    for (int y = 0; y < 100; ++y) {
        for (int x = 0; x < 150; ++x) {
            const bool onOutline =
                ((y == rect.top || y == rect.bottom) && x >= rect.left && x < rect.right) ||
                ((x == rect.left || x == rect.right) && y >= rect.top && y < rect.bottom);
            if (onOutline) {
                ASSERT_TRUE(IsGreen(out, x, y)) << x << "," << y;
                continue;
            }
            auto s =
                test::ReferenceSample(*doc.GetSourceFrame(), *doc.m_pSource, x, y, 150, 100, 1.0);
            auto t =
                test::ReferenceSample(*doc.GetTargetFrame(), *doc.m_pTarget, x, y, 150, 100, 1.0);
            for (int c = 0; c < 3; ++c) {
                ASSERT_EQ(out.Row(y)[3 * x + c], s[c] + ((t[c] - s[c]) * 37) / 100)
                    << x << "," << y;
            }
        }
    }
}

TEST_F(RenderOutput, BlendRoundsTowardZeroAndKeepsEndpoints) {
    ui.previewSize = ViewSize{40, 40};
    doc.InstallPicture(ESlot::Source, Filled(8, 8, 10, 0, 200));
    doc.InstallPicture(ESlot::Target, Filled(8, 8, 0, 11, 100));
    ui.RunTimerOut(CKeltDoc::kRenderTimerId);
    const uint8_t* centre = doc.m_pPreview->Row(20) + 3 * 20;
    EXPECT_EQ(centre[0], 5); // 10 + trunc(-10 * 50 / 100)
    EXPECT_EQ(centre[1], 5); // 0 + trunc(11 * 50 / 100)
    EXPECT_EQ(centre[2], 150);
    doc.m_nBlend = 0;
    doc.RenderPass(1);
    EXPECT_EQ(doc.m_pPreview->Row(20)[3 * 20 + 2], doc.m_pSourceRender->Row(20)[3 * 20 + 2]);
    doc.m_nBlend = 100;
    doc.RenderPass(1);
    EXPECT_EQ(doc.m_pPreview->Row(20)[3 * 20 + 2], doc.m_pTargetRender->Row(20)[3 * 20 + 2]);
}

// Difference shows |source - target| in place of the blend, whatever the slider, and the guides
// cross the crop centre inside the outline; both are off until toggled and re-blend at once.
TEST_F(RenderOutput, DifferenceAndGuides) {
    ui.previewSize = ViewSize{150, 100};
    doc.InstallPicture(ESlot::Source, Filled(8, 8, 10, 200, 30));
    doc.InstallPicture(ESlot::Target, Filled(8, 8, 40, 20, 30));
    ui.RunTimerOut(CKeltDoc::kRenderTimerId);
    const CDibImage& out = *doc.m_pPreview;
    auto at = [&](int x, int y) {
        return std::vector<int>(out.Row(y) + 3 * x, out.Row(y) + 3 * x + 3);
    };
    EXPECT_EQ(at(60, 40), (std::vector<int>{25, 110, 30}));
    EXPECT_TRUE(doc.OnCmdMsg(res::ID_VIEW_DIFFERENCE));
    EXPECT_EQ(at(60, 40), (std::vector<int>{30, 180, 0}));
    EXPECT_TRUE(IsGreen(out, 30, 50)) << "the outline stays";

    // Crop 100 x 100 from x = 25, outlined at x 30..120 and y 5..95: centre (75, 50).
    EXPECT_TRUE(doc.OnCmdMsg(res::ID_VIEW_GUIDES));
    const std::vector<int> magenta{255, 0, 255};
    for (int x = 31; x < 120; ++x) {
        ASSERT_EQ(at(x, 50), magenta) << x;
    }
    EXPECT_TRUE(IsGreen(out, 30, 50));
    EXPECT_EQ(at(75, 47), magenta); // the upright arm: a tenth of the outline's height
    EXPECT_NE(at(75, 40), magenta);
    EXPECT_TRUE(doc.OnCmdMsg(res::ID_VIEW_GUIDES));
    EXPECT_TRUE(doc.OnCmdMsg(res::ID_VIEW_DIFFERENCE));
    EXPECT_EQ(at(60, 50), (std::vector<int>{25, 110, 30}));
}

TEST_F(RenderOutput, OutlineOfANarrowCropSitsOnItsEdges) {
    LoadBoth(99, 99);
    ui.RunTimerOut(CKeltDoc::kRenderTimerId);
    // 99 wide: 5 * trunc(99 / 100) = 0, the outline is the crop rectangle (0, 0)-(98, 98).
    EXPECT_TRUE(IsGreen(*doc.m_pPreview, 0, 50));
    EXPECT_TRUE(IsGreen(*doc.m_pPreview, 98, 50));
    EXPECT_TRUE(IsGreen(*doc.m_pPreview, 50, 98));
    EXPECT_TRUE(IsGreen(*doc.m_pPreview, 50, 0));
    EXPECT_FALSE(IsGreen(*doc.m_pPreview, 50, 1));
}

TEST_F(RenderOutput, TinyAndEmptyPreviewsDoNotCrash) {
    for (ViewSize size :
         {ViewSize{0, 0}, ViewSize{1, 1}, ViewSize{3, 17}, ViewSize{31, 2}, ViewSize{15, 15}}) {
        ui.previewSize = size;
        doc.InstallPicture(ESlot::Source, Noise(30, 20, 3));
        doc.InstallPicture(ESlot::Target, Noise(20, 30, 4));
        ui.RunTimerOut(CKeltDoc::kRenderTimerId);
        ASSERT_NE(doc.m_pPreview, nullptr);
        EXPECT_EQ(doc.m_pPreview->Width(), size.width);
        EXPECT_EQ(doc.m_nSourceStep, 1);
        EXPECT_TRUE(doc.m_bPreviewReady);
    }
}

TEST_F(RenderOutput, ResizedPreviewRebuildsBuffersAndOutputFrame) {
    LoadBoth(160, 120);
    CPictFrame* outputBefore = doc.m_pOutputFrame.get();
    doc.CreatePreviewBuffers(160, 120);
    EXPECT_EQ(doc.m_pOutputFrame.get(), outputBefore); // same size: kept
    doc.CreatePreviewBuffers(200, 100);
    doc.RequestRender(0);
    EXPECT_EQ(doc.m_pPreview->Width(), 200);
    EXPECT_EQ(doc.m_pSourceRender->Width(), 200);
    EXPECT_EQ(doc.m_pTargetRender->Height(), 100);
    ASSERT_NE(doc.m_pOutputFrame, nullptr);
}

TEST(RenderFull, FillsTheCropAtFullResolutionAndStaysInside) {
    test::ScriptedPlatform ui;
    CKeltDoc doc(ui, ui);
    doc.InstallPicture(ESlot::Source, Noise(90, 60, 5));
    doc.SetAspectRatio(4, 3);
    doc.InstallPicture(ESlot::Source, Noise(90, 60, 5));
    CPictFrame& frame = *doc.GetSourceFrame();
    frame.SetAngle(0.1);
    const OutputSize size = doc.GetOutputSize(ESlot::Source);
    EXPECT_EQ(size, (OutputSize{80, 60}));
    CDibImage out(size.width, size.height);
    doc.RenderFull(frame, out);
    for (int y = 0; y < size.height; ++y) {
        for (int x = 0; x < size.width; ++x) {
            auto want = test::ReferenceSample(frame, *doc.m_pSource, x, y, 80, 60, 0.75);
            ASSERT_EQ(out.Row(y)[3 * x + 1], want[1]) << x << "," << y;
        }
    }
    // An output of another shape: the crop would reach past it; nothing is written outside.
    CDibImage odd(30, 200);
    doc.RenderFull(frame, odd);
    CDibImage odd2(200, 30);
    doc.RenderFull(frame, odd2);
}
