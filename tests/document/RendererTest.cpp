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
    const auto targetBefore = Bytes(doc.SlotRender(ESlot::Target));
    const auto sourceBefore = Bytes(doc.SlotRender(ESlot::Source));
    doc.ApplyPlacement(ESlot::Source, {{37, -20}}, EditKind::Move);
    EXPECT_EQ(doc.m_nSourceStep, 8);
    EXPECT_EQ(doc.m_nTargetStep, 1);
    EXPECT_NE(Bytes(doc.SlotRender(ESlot::Source)), sourceBefore);
    // The coarse render is the grid at step 8 enlarged to the Preview.
    CDibImage grid(160 / 8, 120 / 8);
    CFrameSampler(*doc.GetSourceFrame(), *doc.m_pSource, 160, 120, 1.0).RenderGrid(8, 20, 15, grid);
    grid.Resize(160, 120);
    EXPECT_EQ(Bytes(doc.SlotRender(ESlot::Source)), Bytes(grid));
    int passes = 1;
    do {
        EXPECT_EQ(Bytes(doc.SlotRender(ESlot::Target)), targetBefore) << "pass " << passes;
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

namespace {

// The passes written from their formulas: each render sampled literally at its step and enlarged
// whole, the blend over every byte, then the outline and the guides.
struct LiteralPasses {
    CKeltDoc& doc;
    int W, H;
    std::vector<std::unique_ptr<CDibImage>> render;
    int step[2] = {1, 1};

    LiteralPasses(CKeltDoc& d, int w, int h) : doc(d), W(w), H(h) {
        render.push_back(std::make_unique<CDibImage>(W, H));
        render.push_back(std::make_unique<CDibImage>(W, H));
    }
    void Render(int slot, int s) {
        const CPictFrame& frame = *doc.GetFrame(ESlot(slot));
        CDibImage grid(W / s, H / s);
        for (int y = 0; y < H / s; ++y) {
            for (int x = 0; x < W / s; ++x) {
                auto p = test::ReferenceSample(frame, *frame.picture, s * x, s * y, W, H, 1.0);
                std::copy(p.begin(), p.end(), grid.Row(y) + 3 * x);
            }
        }
        if (grid.Width() == 0 || grid.Height() == 0) {
            render[slot]->Clear();
        } else {
            grid.Resize(W, H);
            std::copy(grid.Bits(), grid.Bits() + grid.RasterBytes(), render[slot]->Bits());
        }
    }
    void Request(int which) {
        const int initial = doc.m_bQuickMode ? 16 : 4;
        for (int slot : {0, 1}) {
            if (which == 0 || which == slot + 2) {
                step[slot] = initial;
            }
        }
        Pass(which);
    }
    void Pass(int which) {
        if (step[0] >= 2) {
            step[0] /= 2;
            if (which == 0 || which == 2 || step[1] >= 2) {
                Render(0, step[0]);
            }
        }
        if (step[1] >= 2) {
            step[1] /= 2;
            if (which == 0 || which == 3 || step[0] >= 2) {
                Render(1, step[1]);
            }
        }
    }
    std::vector<uint8_t> Preview() const {
        CDibImage out(W, H);
        for (std::size_t i = 0; i < out.RasterBytes(); ++i) {
            const int s = render[0]->Bits()[i], t = render[1]->Bits()[i];
            out.Bits()[i] =
                uint8_t(doc.m_bDifference ? std::abs(s - t) : s + ((t - s) * doc.m_nBlend) / 100);
        }
        CRect r = doc.GetCropRect(*doc.m_pOutputFrame, W, H);
        const int dx = 5 * (r.Width() / 100), dy = 5 * (r.Height() / 100);
        r = {r.left + dx, r.top + dy, r.right - dx, r.bottom - dy};
        auto paint = [&](int x, int y, std::array<uint8_t, 3> c) {
            if (x >= 0 && x < W && y >= 0 && y < H) {
                std::copy(c.begin(), c.end(), out.Row(y) + 3 * x);
            }
        };
        for (int x = r.left; x < r.right; ++x) {
            paint(x, r.top, {0, 255, 0});
            paint(x, r.bottom, {0, 255, 0});
        }
        for (int y = r.top; y < r.bottom; ++y) {
            paint(r.left, y, {0, 255, 0});
            paint(r.right, y, {0, 255, 0});
        }
        if (doc.m_bGuides) {
            const int cx = (r.left + r.right) / 2, cy = (r.top + r.bottom) / 2;
            for (int x = r.left + 1; x < r.right; ++x) {
                paint(x, cy, {255, 0, 255});
            }
            const int arm = std::max(2, r.Height() / 20);
            for (int y = cy - arm; y <= cy + arm; ++y) {
                paint(cx, y, {255, 0, 255});
            }
        }
        return Bytes(out);
    }
};

} // namespace

// Drags of either slot, timer passes, slider moves and toggles in between, on Previews of odd and
// tiny sizes: after every pass the Preview holds the bytes of the literal passes, and so do the
// renders once asked for.
TEST_F(RenderOutput, DragPassesGiveTheLiteralBytes) {
    std::mt19937 rng(7);
    const ViewSize sizes[] = {{61, 37}, {40, 40}, {33, 9}, {7, 50}, {1, 1}, {17, 3}};
    for (const ViewSize size : sizes) {
        SCOPED_TRACE(::testing::Message() << size.width << " x " << size.height);
        ui.previewSize = size;
        doc.m_bQuickMode = size.width % 2 == 1;
        doc.InstallPicture(ESlot::Source, Noise(48, 30, rng()));
        doc.InstallPicture(ESlot::Target, Noise(25, 41, rng()));
        ui.RunTimerOut(CKeltDoc::kRenderTimerId);
        doc.GetTargetFrame()->SetZoom(0.7); // part of the Preview outside the target: black
        doc.RequestRender(3);
        ui.RunTimerOut(CKeltDoc::kRenderTimerId);
        LiteralPasses literal(doc, size.width, size.height);
        literal.Render(0, 1);
        literal.Render(1, 1);
        for (int round = 0; round < 24; ++round) {
            SCOPED_TRACE(round);
            const int action = int(rng() % 6);
            if (action <= 1) { // a drag step of one slot
                const ESlot slot = action == 0 ? ESlot::Source : ESlot::Target;
                doc.GetFrame(slot)->SetOffset(int(rng() % 400) - 200, int(rng() % 400) - 200);
                doc.RequestRender(action + 2);
                literal.Request(action + 2);
            } else if (action == 2) {
                doc.m_nBlend = int(rng() % 101);
                doc.RequestRender(1);
                literal.Request(1);
            } else if (action == 3) {
                doc.m_bDifference = !doc.m_bDifference;
                doc.m_bGuides = rng() % 2 == 0;
                doc.RequestRender(1);
                literal.Request(1);
            } else if (ui.FireTimer(CKeltDoc::kRenderTimerId)) {
                literal.Pass(doc.m_nLastSelector);
            }
            ASSERT_EQ(Bytes(*doc.m_pPreview), literal.Preview());
        }
        EXPECT_EQ(Bytes(doc.SlotRender(ESlot::Source)), Bytes(*literal.render[0]));
        EXPECT_EQ(Bytes(doc.SlotRender(ESlot::Target)), Bytes(*literal.render[1]));
    }
}
