#include "align/EyeFinder.h"
#include "support/AlignPairs.h"
#include "support/ScriptedPlatform.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

namespace vx {
namespace {

// The middles of the irises of the portrait, measured by hand from its pixels.
constexpr PicturePoint kLeftEye{202.8, 100.8};
constexpr PicturePoint kRightEye{246.1, 102.8};

double Distance(const PicturePoint& a, const PicturePoint& b) {
    return std::hypot(a.x - b.x, a.y - b.y);
}

TEST(EyeFinder, FindsBothEyesOfThePortraitUprightAndRolled) {
    const auto photo = test::LoadAlignPicture("astronaut.jpg");
    std::mt19937 rng(2);
    // The face kept about where it is; the picture's own corners are filled by reflection.
    const PicturePoint face{225, 140};
    for (const test::Similarity roll :
         {test::PlaceAt(0, 1, face, face), test::PlaceAt(25, 1, face, {240, 200}),
          test::PlaceAt(-25, 0.9, face, {280, 230})}) {
        SCOPED_TRACE("rolled by " + std::to_string(roll.degrees));
        const auto view = test::WarpedView(*photo, roll, 512, 512, 2, true, rng);
        EAlignFailure failure = EAlignFailure::Cancelled;
        const auto eyes = FindEyes(*view, nullptr, &failure);
        ASSERT_TRUE(eyes);
        EXPECT_EQ(failure, EAlignFailure::None);
        const PicturePoint left = roll.Apply(kLeftEye);
        const PicturePoint right = roll.Apply(kRightEye);
        const double tolerance = 0.03 * Distance(left, right);
        EXPECT_LT(Distance((*eyes)[0], left), tolerance);
        EXPECT_LT(Distance((*eyes)[1], right), tolerance);
    }
}

TEST(EyeFinder, SaysWhenThereIsNoFaceOrTheUserCancels) {
    const auto cup = test::LoadAlignPicture("coffee.jpg");
    EAlignFailure failure = EAlignFailure::None;
    EXPECT_FALSE(FindEyes(*cup, nullptr, &failure));
    EXPECT_EQ(failure, EAlignFailure::NoFace);

    const auto portrait = test::LoadAlignPicture("astronaut.jpg");
    test::ScriptedPlatform ui;
    ui.cancelProgressAfter = 2;
    const auto progress = ui.OpenProgressDialog("", true);
    EXPECT_FALSE(FindEyes(*portrait, progress.get(), &failure));
    EXPECT_EQ(failure, EAlignFailure::Cancelled);
}

} // namespace
} // namespace vx
