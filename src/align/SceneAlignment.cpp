#include "align/SceneAlignment.h"

#include "align/AlignSupport.h"
#include "align/GreyProxy.h"
#include "picture/DibImage.h"

#include <opencv2/calib3d.hpp>
#include <opencv2/features2d.hpp>
#include <opencv2/imgproc.hpp>
#include <opencv2/video/tracking.hpp>

#include <algorithm>
#include <cmath>
#include <vector>

namespace vx {

namespace {

// Fewer consistent matches than this can happen between unrelated pictures; trust none of them.
constexpr int kMinInliers = 16;
constexpr double kRatio = 0.75;       // Lowe's ratio test on the two nearest descriptors
constexpr double kRansacPixels = 3.0; // on the reduced copies
constexpr int kStages = 4;
// Enough for a reliable fit; more only slow the matching down.
constexpr int kMaxFeatures = 2500;

struct Features {
    std::vector<cv::KeyPoint> keys;
    cv::Mat descriptors;
};

cv::Ptr<cv::Feature2D> MakeDetector(SceneOptions::EFeatures kind) {
    if (kind == SceneOptions::EFeatures::Akaze) {
        return cv::AKAZE::create();
    }
    return cv::SIFT::create(kMaxFeatures);
}

Features Detect(const cv::Mat& grey, SceneOptions::EFeatures kind) {
    Features f;
    MakeDetector(kind)->detectAndCompute(grey, cv::noArray(), f.keys, f.descriptors);
    return f;
}

// The similarity taking target proxy pixels to source proxy pixels, from matched features.
std::optional<cv::Matx23d> FitSimilarity(const Features& source, const Features& target,
                                         SceneOptions::EFeatures kind) {
    if (int(source.keys.size()) < kMinInliers || int(target.keys.size()) < kMinInliers) {
        return std::nullopt;
    }
    cv::BFMatcher matcher(kind == SceneOptions::EFeatures::Akaze ? cv::NORM_HAMMING : cv::NORM_L2);
    std::vector<std::vector<cv::DMatch>> knn;
    matcher.knnMatch(target.descriptors, source.descriptors, knn, 2);
    std::vector<cv::Point2f> from;
    std::vector<cv::Point2f> to;
    for (const auto& pair : knn) {
        if (pair.size() == 2 && pair[0].distance < kRatio * pair[1].distance) {
            from.push_back(target.keys[pair[0].queryIdx].pt);
            to.push_back(source.keys[pair[0].trainIdx].pt);
        }
    }
    if (int(from.size()) < kMinInliers) {
        return std::nullopt;
    }
    std::vector<uchar> inliers;
    const cv::Mat m =
        cv::estimateAffinePartial2D(from, to, inliers, cv::RANSAC, kRansacPixels, 5000, 0.999, 20);
    if (m.empty() || std::count(inliers.begin(), inliers.end(), 1) < kMinInliers) {
        return std::nullopt;
    }
    const cv::Matx23d fit(m);
    const double scale = std::hypot(fit(0, 0), fit(1, 0));
    if (!(scale > 1.0 / 16 && scale < 16)) {
        return std::nullopt;
    }
    return fit;
}

// How well the target, carried by `toTarget` (source pixels to target pixels), matches the
// source where it covers it.
double Correlation(const cv::Mat& source, const cv::Mat& target, const cv::Matx23d& toTarget) {
    cv::Mat warped;
    cv::Mat mask;
    cv::warpAffine(target, warped, toTarget, source.size(),
                   cv::INTER_LINEAR | cv::WARP_INVERSE_MAP);
    cv::warpAffine(cv::Mat(target.size(), CV_8U, cv::Scalar(255)), mask, toTarget, source.size(),
                   cv::INTER_NEAREST | cv::WARP_INVERSE_MAP);
    return cv::computeECC(source, warped, mask);
}

// The nearest similarity to an affine map, agreeing with it at `centre`.
cv::Matx23d NearestSimilarity(const cv::Matx23d& m, const cv::Point2d& centre) {
    const double a = 0.5 * (m(0, 0) + m(1, 1));
    const double b = 0.5 * (m(1, 0) - m(0, 1));
    const cv::Point2d at(m(0, 0) * centre.x + m(0, 1) * centre.y + m(0, 2),
                         m(1, 0) * centre.x + m(1, 1) * centre.y + m(1, 2));
    return {a, -b, at.x - (a * centre.x - b * centre.y),
            b, a,  at.y - (b * centre.x + a * centre.y)};
}

// Refines the feature fit on the pixels (enhanced correlation); keeps the fit when the
// refinement fails to converge, wanders off or does not correlate better.
cv::Matx23d Refine(const cv::Mat& source, const cv::Mat& target, const cv::Matx23d& fit) {
    const cv::Matx23d toTarget = Invert(fit);
    cv::Mat warp = cv::Mat(toTarget);
    warp.convertTo(warp, CV_32F);
    try {
        cv::findTransformECC(
            source, target, warp, cv::MOTION_AFFINE,
            cv::TermCriteria(cv::TermCriteria::COUNT | cv::TermCriteria::EPS, 50, 1e-6),
            cv::noArray(), 5);
    } catch (const cv::Exception&) {
        return fit;
    }
    cv::Matx23d refinedToTarget;
    warp.convertTo(cv::Mat(refinedToTarget, false), CV_64F);
    const cv::Point2d centre((target.cols - 1) * 0.5, (target.rows - 1) * 0.5);
    const cv::Matx23d refined = NearestSimilarity(Invert(refinedToTarget), centre);
    // The features already place every corner within a few pixels.
    const cv::Point2d corners[] = {{0, 0},
                                   {double(target.cols), 0},
                                   {0, double(target.rows)},
                                   {double(target.cols), double(target.rows)}};
    for (const auto& c : corners) {
        const cv::Vec3d p(c.x, c.y, 1);
        if (cv::norm(refined * p - fit * p) > 2 * kRansacPixels) {
            return fit;
        }
    }
    if (Correlation(source, target, Invert(refined)) < Correlation(source, target, toTarget)) {
        return fit;
    }
    return refined;
}

std::optional<PointPairs> Fail(EAlignFailure why, EAlignFailure* failure) {
    if (failure != nullptr) {
        *failure = why;
    }
    return std::nullopt;
}

std::optional<PointPairs> FindScene(const CDibImage& source, const CDibImage& target,
                                    IProgressDialog* progress, EAlignFailure* failure,
                                    const SceneOptions& options) {
    if (failure != nullptr) {
        *failure = EAlignFailure::None;
    }
    if (!StageDone(progress, 0, kStages)) {
        return Fail(EAlignFailure::Cancelled, failure);
    }
    if (source.Width() < 2 || source.Height() < 2 || target.Width() < 2 || target.Height() < 2) {
        return Fail(EAlignFailure::TooFewMatches, failure);
    }
    // The two pictures are independent until matched: one thread each (OpenCV runs nested
    // parallel work serially, so this is the whole sharing out). Progress is reported only
    // from the calling thread.
    const CDibImage* pictures[2] = {&source, &target};
    GreyProxy proxies[2];
    cv::parallel_for_(cv::Range(0, 2), [&](const cv::Range& range) {
        for (int i = range.start; i < range.end; ++i) {
            proxies[i] = ReducedGrey(UprightGrey(*pictures[i]), options.proxySide);
        }
    });
    if (!StageDone(progress, 1, kStages)) {
        return Fail(EAlignFailure::Cancelled, failure);
    }
    Features features[2];
    cv::parallel_for_(cv::Range(0, 2), [&](const cv::Range& range) {
        for (int i = range.start; i < range.end; ++i) {
            features[i] = Detect(proxies[i].grey, options.features);
        }
    });
    const GreyProxy& sourceProxy = proxies[0];
    const GreyProxy& targetProxy = proxies[1];
    if (!StageDone(progress, 2, kStages)) {
        return Fail(EAlignFailure::Cancelled, failure);
    }
    std::optional<cv::Matx23d> fit = FitSimilarity(features[0], features[1], options.features);
    if (!fit) {
        return Fail(EAlignFailure::TooFewMatches, failure);
    }
    if (!StageDone(progress, 3, kStages)) {
        return Fail(EAlignFailure::Cancelled, failure);
    }
    if (options.refine) {
        fit = Refine(sourceProxy.grey, targetProxy.grey, *fit);
    }
    if (!StageDone(progress, 4, kStages)) {
        return Fail(EAlignFailure::Cancelled, failure);
    }
    // Two points on the target's long axis, half its length apart.
    const double w = target.Width();
    const double h = target.Height();
    PointPairs pairs;
    if (w >= h) {
        pairs.target = {PicturePoint{0.25 * w - 0.5, 0.5 * h - 0.5},
                        PicturePoint{0.75 * w - 0.5, 0.5 * h - 0.5}};
    } else {
        pairs.target = {PicturePoint{0.5 * w - 0.5, 0.25 * h - 0.5},
                        PicturePoint{0.5 * w - 0.5, 0.75 * h - 0.5}};
    }
    for (int i = 0; i < 2; ++i) {
        const cv::Point2d p = targetProxy.FromPicture(pairs.target[i]);
        const cv::Vec2d q = *fit * cv::Vec3d(p.x, p.y, 1);
        pairs.source[i] = sourceProxy.ToPicture({q[0], q[1]});
    }
    return pairs;
}

} // namespace

std::optional<PointPairs> FindSceneAlignment(const CDibImage& source, const CDibImage& target,
                                             IProgressDialog* progress, EAlignFailure* failure) {
    return FindSceneAlignment(source, target, progress, failure, SceneOptions());
}

std::optional<PointPairs> FindSceneAlignment(const CDibImage& source, const CDibImage& target,
                                             IProgressDialog* progress, EAlignFailure* failure,
                                             const SceneOptions& options) {
    return WithOurMemoryError(
        [&] { return FindScene(source, target, progress, failure, options); });
}

} // namespace vx
