#include "picture/PointAlignment.h"
#include "picture/CropGeometry.h"
#include "picture/DibImage.h"
#include "picture/FrameSampler.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <tuple>

using namespace vx;

namespace {

double Distance(PointF a, PointF b) {
    return std::hypot(a.x - b.x, a.y - b.y);
}

struct RandomScene {
    double aspect;
    int W, H;           // the output
    int sw, sh, tw, th; // the pictures
    CPictFrame source{1.0}, target{1.0};
    PointPairs points;
};

RandomScene MakeScene(std::mt19937& rng) {
    auto uniform = [&](double lo, double hi) {
        return std::uniform_real_distribution<double>(lo, hi)(rng);
    };
    auto whole = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
    RandomScene s;
    s.aspect = uniform(0.4, 2.5);
    s.W = whole(100, 4000);
    s.H = whole(100, 4000);
    s.sw = whole(30, 8000);
    s.sh = whole(30, 8000);
    s.tw = whole(30, 8000);
    s.th = whole(30, 8000);
    for (auto [frame, w, h] : {std::tuple{&s.source, s.sw, s.sh}, {&s.target, s.tw, s.th}}) {
        *frame = CPictFrame(s.aspect);
        // Extents as a fit and a few aspect changes may leave them: roughly the picture's shape.
        const int hw = whole(100, 3000);
        frame->SetExtent({hw, std::max(1, int(hw * double(h) / w * uniform(0.98, 1.02)))});
        frame->SetPlacement(
            {{whole(-900, 900), whole(-900, 900)}, std::exp(uniform(-2, 2)), uniform(-4, 4)});
    }
    for (int i = 0; i < 2; ++i) {
        s.points.source[i] = {uniform(-0.5, s.sw - 0.5), uniform(-0.5, s.sh - 0.5)};
        s.points.target[i] = {uniform(-0.5, s.tw - 0.5), uniform(-0.5, s.th - 0.5)};
    }
    return s;
}

} // namespace

// A marker sits where the renderer shows its pixel: one bright pixel, enlarged and turned, makes
// a blob centred where the marker math puts the pixel's centre (rows counted from the bottom,
// whole numbers at pixel centres). The mapping goes both ways.
TEST(PointAlignment, MarkersFollowTheRenderersMapping) {
    CDibImage picture(20, 15);
    picture.Clear();
    const PicturePoint bright{13, 4}; // seen from the top: buffer row 15 - 1 - 4
    picture.Row(10)[3 * 13 + 1] = 255;
    CPictFrame frame(&picture, 1.0);
    frame.SetPlacement({{100, -60}, 0.4, 0.3});
    const int W = 400, H = 300;
    CDibImage out(W, H);
    CFrameSampler(frame, picture, W, H, 1.0).RenderGrid(1, W, H, out);
    double sum = 0, sx = 0, sy = 0;
    for (int y = 0; y < H; ++y) {
        for (int x = 0; x < W; ++x) {
            const double v = out.Row(y)[3 * x + 1];
            sum += v;
            sx += v * x;
            sy += v * y;
        }
    }
    ASSERT_GT(sum, 0);
    const PointF want = CropToOutputF(PictureToCrop(frame, 20, 15, bright), W, H, 1.0);
    EXPECT_LT(Distance({sx / sum, sy / sum}, want), 1.0);
    const PicturePoint back =
        CropToPicture(frame, 20, 15, OutputToCropF({sx / sum, sy / sum}, W, H, 1.0));
    EXPECT_LT(std::hypot(back.x - bright.x, back.y - bright.y), 0.05);
}

// On random frames the exact similarity puts both target points on the source points' output
// positions within 1/1024 pixel. Installed, its offset is whole: rounding moves every target
// point by the same vector, at most half a crop unit an axis, and the refit of zoom and angle
// never does worse.
TEST(PointAlignment, TargetPointsLandOnTheSourcePoints) {
    std::mt19937 rng(2024);
    int solved = 0;
    for (int trial = 0; trial < 2000; ++trial) {
        RandomScene s = MakeScene(rng);
        const auto exact =
            SolvePointAlignment(s.source, s.sw, s.sh, s.target, s.tw, s.th, s.points);
        const auto placement = AlignByPoints(s.source, s.sw, s.sh, s.target, s.tw, s.th, s.points);
        ASSERT_TRUE(exact.has_value());
        if (!placement) { // beyond a sensible zoom or offset
            EXPECT_TRUE(exact->zoom < 1e-3 || exact->zoom > 1e3 ||
                        std::abs(exact->offset.x) > 1e6 || std::abs(exact->offset.y) > 1e6);
            continue;
        }
        ++solved;
        const CropSize crop = CropSizeIn(s.W, s.H, s.aspect);
        const double pixelsPerUnit = crop.width / 1024.0;
        const double roundingBound = std::hypot(0.5, 0.5) * pixelsPerUnit * (1 + 1e-9) + 1e-9;
        CPictFrame rounded = s.target;
        rounded.SetPlacement(
            {{int(std::lround(exact->offset.x)), int(std::lround(exact->offset.y))},
             exact->zoom,
             exact->angle});
        CPictFrame installed = s.target;
        installed.SetPlacement(*placement);
        for (int i = 0; i < 2; ++i) {
            const PointF want = CropToOutputF(
                PictureToCrop(s.source, s.sw, s.sh, s.points.source[i]), s.W, s.H, s.aspect);
            // The exact offset: the rounded frame's position moved back by the rounding, which
            // the frame applies along the picture's own axes (turned by minus the angle).
            PointF c = PictureToCrop(rounded, s.tw, s.th, s.points.target[i]);
            const double dx = rounded.offset.x - exact->offset.x;
            const double dy = rounded.offset.y - exact->offset.y;
            c.x += dx * std::cos(exact->angle) + dy * std::sin(exact->angle);
            c.y += -dx * std::sin(exact->angle) + dy * std::cos(exact->angle);
            EXPECT_LT(Distance(CropToOutputF(c, s.W, s.H, s.aspect), want), 1.0 / 1024)
                << "trial " << trial;
            const PointF got = CropToOutputF(
                PictureToCrop(installed, s.tw, s.th, s.points.target[i]), s.W, s.H, s.aspect);
            EXPECT_LT(Distance(got, want), roundingBound) << "trial " << trial;
        }
    }
    EXPECT_GT(solved, 1900);
}

TEST(PointAlignment, DegeneratePairsAlignNothing) {
    CDibImage a(100, 80), b(60, 90);
    const CPictFrame source(&a, 1.0), target(&b, 1.0);
    const PointPairs good{{{{10, 10}, {50, 40}}}, {{{5, 5}, {30, 70}}}};
    ASSERT_TRUE(AlignByPoints(source, 100, 80, target, 60, 90, good).has_value());

    PointPairs same = good;
    same.target[1] = same.target[0];
    EXPECT_FALSE(AlignByPoints(source, 100, 80, target, 60, 90, same));
    PointPairs close = good;
    close.source[1] = {close.source[0].x + 0.5, close.source[0].y + 0.5};
    EXPECT_FALSE(AlignByPoints(source, 100, 80, target, 60, 90, close));
    PointPairs nan = good;
    nan.target[0].x = std::nan("");
    EXPECT_FALSE(AlignByPoints(source, 100, 80, target, 60, 90, nan));
    // A target 2 pixels long between its points onto a source 10^4 apart: absurd zoom.
    PointPairs far{{{{-5000, 0}, {5000, 0}}}, {{{0, 0}, {2, 0}}}};
    EXPECT_FALSE(AlignByPoints(source, 100, 80, target, 60, 90, far));

    // The source frame stays; aligning on its own points reproduces the source placement.
    CPictFrame twin(&a, 1.0);
    CPictFrame placed = source;
    placed.SetPlacement({{37, -12}, 1.7, 0.6});
    const PointPairs self{{{{10, 10}, {90, 70}}}, {{{10, 10}, {90, 70}}}};
    const auto back = AlignByPoints(placed, 100, 80, twin, 100, 80, self);
    ASSERT_TRUE(back.has_value());
    EXPECT_EQ(back->offset, (CPoint{37, -12}));
    EXPECT_NEAR(back->zoom, 1.7, 1e-9);
    EXPECT_NEAR(back->angle, 0.6, 1e-9);
}
