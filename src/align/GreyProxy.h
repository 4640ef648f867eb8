// Grey copies of a picture, upright (top row first) as OpenCV expects, optionally reduced.
#pragma once

#include "picture/PicturePoint.h"

#include <opencv2/core.hpp>

namespace vx {

class CDibImage;

// The picture in grey, row 0 the top row as seen, at full size.
cv::Mat UprightGrey(const CDibImage& picture);

// A grey copy whose long side is at most `maxSide` (reduced by a whole factor), and how its
// pixels relate to the picture's.
struct GreyProxy {
    cv::Mat grey;
    double scaleX = 1.0; // proxy pixels per picture pixel
    double scaleY = 1.0;

    // Pixel centres map onto pixel centres: the reduction spreads each picture pixel evenly.
    cv::Point2d FromPicture(const PicturePoint& p) const {
        return {(p.x + 0.5) * scaleX - 0.5, (p.y + 0.5) * scaleY - 0.5};
    }
    PicturePoint ToPicture(const cv::Point2d& p) const {
        return {(p.x + 0.5) / scaleX - 0.5, (p.y + 0.5) / scaleY - 0.5};
    }
};

GreyProxy ReducedGrey(const cv::Mat& grey, int maxSide);

} // namespace vx
