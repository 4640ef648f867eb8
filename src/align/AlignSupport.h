// Small pieces both automatic alignments use: 2 x 3 maps and the progress between stages.
#pragma once

#include "base/MyException.h"
#include "base/Platform.h"

#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>

namespace vx {

inline cv::Point2d Apply(const cv::Matx23d& m, const cv::Point2d& p) {
    return {m(0, 0) * p.x + m(0, 1) * p.y + m(0, 2), m(1, 0) * p.x + m(1, 1) * p.y + m(1, 2)};
}

inline cv::Matx23d Invert(const cv::Matx23d& m) {
    cv::Matx23d inverse;
    cv::invertAffineTransform(m, inverse);
    return inverse;
}

// Shows `done` of `total` stages; false once the user has cancelled.
inline bool StageDone(IProgressDialog* progress, int done, int total) {
    if (progress == nullptr) {
        return true;
    }
    progress->SetProgress(done, total);
    return !progress->Cancelled();
}

// Runs `work`, turning OpenCV's out-of-memory error into ours (the low-memory message).
template <typename Work> auto WithOurMemoryError(Work&& work) {
    try {
        return work();
    } catch (const cv::Exception& e) {
        if (e.code == cv::Error::StsNoMem) {
            throw CMyException(3);
        }
        throw;
    }
}

} // namespace vx
