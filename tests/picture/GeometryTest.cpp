#include "picture/CropGeometry.h"
#include "picture/DibImage.h"
#include "picture/PictFrame.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace vx;

TEST(CropGeometry, CropSizesAndMappings) {
    EXPECT_EQ(CropSizeIn(400, 300, 1.0).width, 300);
    EXPECT_EQ(CropSizeIn(400, 300, 1.0).height, 300);
    EXPECT_EQ(CropSizeIn(400, 400, 0.75).width, 400);
    EXPECT_EQ(CropSizeIn(400, 400, 0.75).height, 300);
    EXPECT_EQ(CropSizeIn(1000, 100, 0.5625).width, 177); // trunc(100 / 0.5625)

    EXPECT_EQ(OutputToCrop(50, 150, 400, 300, 1.0), (CPoint{-512, 0}));
    EXPECT_EQ(OutputToCrop(350, 0, 400, 300, 1.0), (CPoint{512, -512}));
    // Truncation toward zero on both sides of the centre.
    EXPECT_EQ(OutputToCrop(199, 149, 400, 300, 1.0), (CPoint{-3, -3}));
    EXPECT_EQ(OutputToCrop(201, 151, 400, 300, 1.0), (CPoint{3, 3}));
    EXPECT_EQ(CropToOutput({-512, -512}, 400, 300, 1.0), (CPoint{50, 0}));
    EXPECT_EQ(CropToOutput({512, 512}, 400, 300, 1.0), (CPoint{350, 300}));
    EXPECT_EQ(CropToOutput({-3, 3}, 400, 300, 1.0), (CPoint{200, 150}));

    // Empty outputs have no crop rectangle and must not divide by zero.
    EXPECT_EQ(OutputToCrop(0, 0, 0, 0, 1.0), (CPoint{0, 0}));
    EXPECT_EQ(OutputToCrop(0, 0, 1, 1, 0.5), (CPoint{0, 0}));
}

TEST(CropGeometry, OutputFrameAndCropRect) {
    CPictFrame out(1.0);
    EXPECT_EQ(out.corners[0], (CPoint{-512, -512}));
    EXPECT_EQ(out.corners[2], (CPoint{512, 512}));
    EXPECT_EQ(GetCropRect(out, 400, 300, 1.0), (CRect{50, 0, 350, 300}));

    CPictFrame wide(0.5625);
    EXPECT_EQ(wide.corners[0], (CPoint{-512, -288}));
    EXPECT_EQ(wide.corners[3], (CPoint{-512, 288}));
    CPictFrame odd(0.3333);
    EXPECT_EQ(odd.corners[0].y, int(-0.5 * 0.3333 * 1024)); // -170, truncated toward zero
    EXPECT_EQ(GetCropRect(wide, 1920, 1080, 0.5625), (CRect{0, 0, 1920, 1080}));
}

TEST(PictFrameFitting, FittedFramesOfEachShape) {
    CDibImage landscape(200, 100), portrait(100, 200), square(50, 50);
    CPictFrame a(&landscape, 1.0);
    EXPECT_EQ(a.corners[0], (CPoint{-1024, -512}));
    EXPECT_EQ(a.corners[2], (CPoint{1024, 512}));
    EXPECT_EQ(a.FrameWidth(), 2048);
    EXPECT_EQ(a.FrameHeight(), 1024);
    CPictFrame b(&portrait, 1.0);
    EXPECT_EQ(b.FrameWidth(), 1024);
    EXPECT_EQ(b.FrameHeight(), 2048);
    CPictFrame c(&square, 0.75);
    // h A > w is false: width trunc(50 * 0.75 * 1024 / 50) = 768, height trunc(0.75 * 1024) = 768.
    EXPECT_EQ(c.FrameWidth(), 768);
    EXPECT_EQ(c.FrameHeight(), 768);
    CDibImage tall(300, 1000);
    CPictFrame d(&tall, 0.5625);
    EXPECT_EQ(d.FrameWidth(), 1024);
    EXPECT_EQ(d.FrameHeight(), (1000 * 1024 / 300) / 2 * 2);
    EXPECT_EQ(d.zoom, 1.0);
    EXPECT_EQ(d.angle, 0.0);
    EXPECT_EQ(d.offset, (CPoint{0, 0}));
    EXPECT_EQ(d.picture, &tall);
}

TEST(PictFrameTransform, ContainsToPictureAndParameters) {
    CDibImage pict(300, 300);
    CPictFrame f(&pict, 1.0);
    EXPECT_TRUE(f.Contains({512, 512}));
    EXPECT_TRUE(f.Contains({-512, 0}));
    EXPECT_FALSE(f.Contains({513, 0}));
    EXPECT_EQ(f.ToPicture({0, 0}, 300, 300), (CPoint{300 * 512, 300 * 512}));
    EXPECT_EQ(f.ToPicture({-512, -512}, 300, 300), (CPoint{0, 0}));

    f.SetZoom(2.0);
    EXPECT_EQ(f.Transform({512, 0}).x, 1024);
    EXPECT_FALSE(f.Contains({512, 0}));
    EXPECT_TRUE(f.Contains({256, 256}));
    f.SetZoom(1.0);

    // A positive offset moves the picture toward negative crop coordinates.
    f.SetOffset(100, -40);
    EXPECT_EQ(f.Transform({0, 0}), (CPoint{100, -40}));
    EXPECT_EQ(f.matrix.m[2], 100.0);
    f.SetOffset(0, 0);

    f.SetAngle(M_PI / 2);
    const CPoint u = f.Transform({100, 0});
    EXPECT_EQ(u.x, 0);
    EXPECT_EQ(u.y, 100);
}

TEST(PictFrameTransform, ToPictureIsExactForWidePictures) {
    // 20000 x 1000 at zoom 1: u.x up to 10240, times 20000 * 1024 overflows 32 bits.
    CDibImage wide(20000, 1000);
    CPictFrame f(&wide, 1.0);
    const int64_t fw = f.FrameWidth();
    for (int x : {-512, -300, -1, 0, 7, 511, 512}) {
        const CPoint q = f.ToPicture({x, 0}, 20000, 1000);
        const int64_t ux = f.Transform({x, 0}).x;
        EXPECT_EQ(q.x, ux * 20000 * 1024 / fw + 20000 * 512) << x;
    }
    // Where 32 bits suffice the result is what 32-bit arithmetic gives.
    CDibImage small(64, 48);
    CPictFrame g(&small, 1.0);
    g.SetZoom(1.3);
    g.SetAngle(0.2);
    for (int x = -512; x <= 512; x += 37) {
        const CPoint u = g.Transform({x, x / 2});
        const int32_t px = (u.x * (64 * 1024)) / g.FrameWidth() + (64 * 1024) / 2;
        EXPECT_EQ(g.ToPicture({x, x / 2}, 64, 48).x, px);
    }
}

TEST(PictFrameAspect, SetAspectRescalesCornersAndOffset) {
    CDibImage pict(400, 300);
    CPictFrame f(&pict, 1.0);
    f.SetOffset(100, -33);
    f.SetZoom(1.5);
    f.SetAngle(0.25);
    const CPoint before[4] = {f.corners[0], f.corners[1], f.corners[2], f.corners[3]};
    f.SetAspect(0.5625);
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(f.corners[i].x, int(before[i].x * 0.5625 / 1.0));
        EXPECT_EQ(f.corners[i].y, int(before[i].y * 0.5625 / 1.0));
    }
    EXPECT_EQ(f.offset, (CPoint{int(100 * 1.0 / 0.5625), int(-33 * 1.0 / 0.5625)}));
    EXPECT_EQ(f.matrix.tx, double(f.offset.x));
    EXPECT_EQ(f.matrix.ty, double(f.offset.y));
    EXPECT_EQ(f.zoom, 1.5);
    EXPECT_EQ(f.angle, 0.25);
    EXPECT_EQ(f.aspect, 0.5625);
}
