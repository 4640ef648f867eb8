// Finds the eyes of the most prominent face with OpenCV's cascade detectors (Debian's
// opencv-data), trying turned copies so that rolled faces are found too.
#pragma once

#include "align/AlignFailure.h"
#include "picture/PicturePoint.h"

#include <array>
#include <optional>

namespace vx {

class CDibImage;
class IProgressDialog;

// The centres of the two eyes of the most prominent face, [0] the eye on the left as seen;
// nullopt with *failure (NoFace or NoEyes or Cancelled). `progress` and `failure` may be null.
// Throws CMyException code 4 when the detectors' files are missing.
std::optional<std::array<PicturePoint, 2>>
FindEyes(const CDibImage& picture, IProgressDialog* progress, EAlignFailure* failure);

} // namespace vx
