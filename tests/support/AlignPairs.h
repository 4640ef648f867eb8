// Pictures made from a photograph by a known similarity, and how far an alignment found between
// them is from the truth: shared by the alignment tests and the accuracy benchmark.
#pragma once

#include "picture/DibImage.h"
#include "picture/PicturePoint.h"

#include <memory>
#include <random>
#include <string>

namespace vx::test {

// tests/data/align/<name>, read as the program reads a file.
std::unique_ptr<CDibImage> LoadAlignPicture(const std::string& name);

// Picture coordinates of the original -> those of the warped view: turned by `degrees`
// (counter-clockwise as seen), scaled, then shifted.
struct Similarity {
    double degrees = 0;
    double scale = 1;
    double dx = 0;
    double dy = 0;
    PicturePoint Apply(const PicturePoint& p) const;
    Similarity Inverse() const;
};

// The similarity turning by `degrees` and scaling by `scale` that puts `from` of the original at
// `to` in the view.
Similarity PlaceAt(double degrees, double scale, const PicturePoint& from, const PicturePoint& to);

// The view of `picture` that `s` makes, `w` x `h` pixels, with Gaussian noise of `noise` grey
// levels and, when `jpeg`, passed through a JPEG file.
std::unique_ptr<CDibImage> WarpedView(const CDibImage& picture, const Similarity& s, int w, int h,
                                      double noise, bool jpeg, std::mt19937& rng);

// A similarity that keeps a `w` x `h` view of `picture` wholly inside it, turned by up to
// `maxDegrees` and scaled by 0.75 to 1.33, shifted at random where there is room.
Similarity RandomSimilarity(const CDibImage& picture, int w, int h, double maxDegrees,
                            std::mt19937& rng);

// The largest distance, in pixels of the original, between where the view's four corners belong
// (the inverse of `truth`) and where `found` (view points on original points) puts them.
double CornerError(const PointPairs& found, const Similarity& truth, int w, int h);

} // namespace vx::test
