#include "align/SceneAlignment.h"
#include "support/AlignPairs.h"
#include "support/ScriptedPlatform.h"

#include <gtest/gtest.h>

#include <random>

namespace vx {
namespace {

TEST(SceneAlignment, RecoversKnownSimilaritiesOfPhotographs) {
    // Views half the size of the photograph, around a point of it.
    struct Case {
        const char* photo;
        double degrees;
        double scale;
        PicturePoint around;
    };
    const Case cases[] = {
        {"coffee.jpg", 20, 0.78, {250, 170}},
        {"coffee.jpg", -25, 1.3, {200, 150}},
        {"astronaut.jpg", 4, 1.05, {300, 220}},
    };
    std::mt19937 rng(5);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.photo + std::string(" turned by ") + std::to_string(c.degrees));
        const auto photo = test::LoadAlignPicture(c.photo);
        const int w = photo->Width() / 2;
        const int h = photo->Height() / 2;
        const test::Similarity s = test::PlaceAt(c.degrees, c.scale, c.around, {w * 0.5, h * 0.5});
        const auto view = test::WarpedView(*photo, s, w, h, 3, true, rng);
        test::ScriptedPlatform ui;
        const auto progress = ui.OpenProgressDialog("", true);
        EAlignFailure failure = EAlignFailure::Cancelled;
        const auto found = FindSceneAlignment(*photo, *view, progress.get(), &failure);
        ASSERT_TRUE(found);
        EXPECT_EQ(failure, EAlignFailure::None);
        EXPECT_LT(test::CornerError(*found, s, w, h), 0.25);
        EXPECT_EQ(ui.progressDialogs.back().done, ui.progressDialogs.back().total);
    }
}

TEST(SceneAlignment, RefusesUnrelatedPicturesAndStopsWhenCancelled) {
    const auto photo = test::LoadAlignPicture("coffee.jpg");
    CDibImage noise(400, 300);
    std::mt19937 rng(1);
    for (int y = 0; y < noise.Height(); ++y) {
        for (int x = 0; x < 3 * noise.Width(); ++x) {
            noise.Row(y)[x] = uint8_t(rng());
        }
    }
    CDibImage black(300, 200);
    const auto portrait = test::LoadAlignPicture("astronaut.jpg");
    EAlignFailure failure = EAlignFailure::None;
    EXPECT_FALSE(FindSceneAlignment(*photo, noise, nullptr, &failure));
    EXPECT_EQ(failure, EAlignFailure::TooFewMatches);
    failure = EAlignFailure::None;
    EXPECT_FALSE(FindSceneAlignment(*portrait, *photo, nullptr, &failure));
    EXPECT_EQ(failure, EAlignFailure::TooFewMatches);
    failure = EAlignFailure::None;
    EXPECT_FALSE(FindSceneAlignment(black, *photo, nullptr, &failure));
    EXPECT_EQ(failure, EAlignFailure::TooFewMatches);

    test::ScriptedPlatform ui;
    ui.cancelProgressAfter = 2;
    const auto progress = ui.OpenProgressDialog("", true);
    EXPECT_FALSE(FindSceneAlignment(*photo, *photo, progress.get(), &failure));
    EXPECT_EQ(failure, EAlignFailure::Cancelled);
}

} // namespace
} // namespace vx
