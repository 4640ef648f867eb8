// Finds how the TARGET picture lies on the SOURCE picture's scene from their content: features
// matched on reduced copies, a similarity fitted robustly and refined on the pixels.
#pragma once

#include "align/AlignFailure.h"
#include "picture/PicturePoint.h"

#include <optional>

namespace vx {

class CDibImage;
class IProgressDialog;

// Two point pairs that carry the TARGET picture onto the SOURCE picture's scene (the similarity
// found, expressed as two well-separated target points and where they belong on the source).
// nullopt with *failure set when not found or cancelled. `progress` and `failure` may be null.
std::optional<PointPairs> FindSceneAlignment(const CDibImage& source, const CDibImage& target,
                                             IProgressDialog* progress, EAlignFailure* failure);

// The choices behind FindSceneAlignment, for measuring them against each other.
struct SceneOptions {
    enum class EFeatures { Sift, Akaze };
    EFeatures features = EFeatures::Sift;
    int proxySide = 1000; // long side of the reduced copies the features are found on
    bool refine = true;   // refine the fitted similarity on the pixels where that converges
};

std::optional<PointPairs> FindSceneAlignment(const CDibImage& source, const CDibImage& target,
                                             IProgressDialog* progress, EAlignFailure* failure,
                                             const SceneOptions& options);

} // namespace vx
