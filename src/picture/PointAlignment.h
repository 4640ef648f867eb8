// Where a marked point of a picture is seen under its frame, and the placement that carries two
// points of the TARGET onto the places where the SOURCE shows the two matching points.
#pragma once

#include "picture/PictFrame.h"
#include "picture/PicturePoint.h"

#include <optional>

namespace vx {

// Marks closer together than this, in pixels, fix no direction worth aligning on.
constexpr double kMinPointDistance = 1.0;
// True when a and b are closer than kMinPointDistance (or not numbers).
bool PointsTooClose(PicturePoint a, PicturePoint b);

// The crop position at which `frame` shows point p of its w x h picture, as the renderer samples
// it (before the renderer's truncations).
PointF PictureToCrop(const CPictFrame& frame, int w, int h, PicturePoint p);
// The point of the w x h picture that `frame` shows at crop position c.
PicturePoint CropToPicture(const CPictFrame& frame, int w, int h, PointF c);

// A placement before its offset is rounded to whole crop units.
struct ExactPlacement {
    double zoom = 1.0;
    double angle = 0;
    PointF offset;
};

// The similarity that puts the target points on the crop positions of the source points:
// nullopt when the points of a pair lie closer than kMinPointDistance, or nothing finite comes
// out.
std::optional<ExactPlacement> SolvePointAlignment(const CPictFrame& sourceFrame, int sourceWidth,
                                                  int sourceHeight, const CPictFrame& targetFrame,
                                                  int targetWidth, int targetHeight,
                                                  const PointPairs& points);

// The TARGET placement of SolvePointAlignment with its offset in whole crop units, zoom and
// angle refitted to the rounded offset where that brings the points closer. Rounding moves the
// points by at most half a crop unit along each axis. nullopt as above, and for a placement
// beyond any sensible zoom or offset.
std::optional<FramePlacement> AlignByPoints(const CPictFrame& sourceFrame, int sourceWidth,
                                            int sourceHeight, const CPictFrame& targetFrame,
                                            int targetWidth, int targetHeight,
                                            const PointPairs& points);

} // namespace vx
