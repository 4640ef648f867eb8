#include "align/GreyProxy.h"

#include "picture/DibImage.h"

#include <opencv2/imgproc.hpp>

#include <algorithm>

namespace vx {

cv::Mat UprightGrey(const CDibImage& picture) {
    const int w = picture.Width();
    const int h = picture.Height();
    cv::Mat grey(h, w, CV_8UC1);
    // Row by row into the mirrored row: the buffer keeps its bottom row first.
    for (int r = 0; r < h; ++r) {
        const cv::Mat row(1, w, CV_8UC3, const_cast<uint8_t*>(picture.Row(r)));
        cv::Mat out = grey.row(h - 1 - r);
        cv::cvtColor(row, out, cv::COLOR_BGR2GRAY);
    }
    return grey;
}

GreyProxy ReducedGrey(const cv::Mat& grey, int maxSide) {
    GreyProxy proxy;
    const int longSide = std::max(grey.cols, grey.rows);
    if (longSide <= maxSide) {
        proxy.grey = grey;
        return proxy;
    }
    // A whole factor keeps the mapping exact and takes the fast path of the area reduction; the
    // few rows and columns past the last whole block are left out.
    const int k = (longSide + maxSide - 1) / maxSide;
    const cv::Size size(std::max(1, grey.cols / k), std::max(1, grey.rows / k));
    const cv::Rect whole(0, 0, std::min(grey.cols, size.width * k),
                         std::min(grey.rows, size.height * k));
    cv::resize(grey(whole), proxy.grey, size, 0, 0, cv::INTER_AREA);
    proxy.scaleX = double(size.width) / whole.width;
    proxy.scaleY = double(size.height) / whole.height;
    return proxy;
}

} // namespace vx
