#include "align/EyeFinder.h"

#include "align/AlignSupport.h"
#include "align/GreyProxy.h"
#include "base/MyException.h"
#include "picture/DibImage.h"
#include "res/Resource.h"
#include "res/StringTable.h"

#include <opencv2/imgproc.hpp>
#include <opencv2/objdetect.hpp>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

namespace vx {

namespace {

// Faces are found on a copy of about this size; the eyes are then refined on the full picture.
constexpr int kSearchSide = 800;
// Turned copies tried in turn: a frontal cascade tolerates about 15 degrees of roll.
constexpr double kRolls[] = {0, 15, -15, 30, -30};
constexpr int kStages = int(std::size(kRolls)) + 2;

// The normalised view the eyes are refined in: eyes level, this far apart, in pixels.
constexpr double kEyeSpan = 64;

cv::CascadeClassifier LoadCascade(const char* name) {
    const std::string path = std::string(VEXEL_CASCADE_DIR) + "/" + name;
    cv::CascadeClassifier cascade;
    if (!std::filesystem::is_regular_file(path)) {
        throw CMyException(
            4, CMyException::FileDetails(
                   path, res::FormatString(res::IDS_REASON_CANT_OPEN, {std::strerror(ENOENT)})));
    }
    if (!cascade.load(path)) {
        throw CMyException(4, CMyException::FileDetails(
                                  path, res::FormatString(res::IDS_REASON_DAMAGED, {"XML"})));
    }
    return cascade;
}

// A copy of `grey` turned by `degrees` about its centre (counter-clockwise as seen), on a canvas
// that holds all of it, and the map from `grey` into the copy.
struct Turned {
    cv::Mat grey;
    cv::Matx23d map;
};

Turned Turn(const cv::Mat& grey, double degrees) {
    Turned t;
    const cv::Point2d centre((grey.cols - 1) * 0.5, (grey.rows - 1) * 0.5);
    t.map = cv::getRotationMatrix2D(centre, degrees, 1.0);
    const double c = std::abs(t.map(0, 0));
    const double s = std::abs(t.map(0, 1));
    const int w = int(std::ceil(grey.cols * c + grey.rows * s));
    const int h = int(std::ceil(grey.cols * s + grey.rows * c));
    t.map(0, 2) += (w - 1) * 0.5 - centre.x;
    t.map(1, 2) += (h - 1) * 0.5 - centre.y;
    cv::warpAffine(grey, t.grey, t.map, cv::Size(w, h), cv::INTER_LINEAR, cv::BORDER_REPLICATE);
    return t;
}

struct Face {
    cv::Rect box;
    double weight = 0;
};

// The largest face of the copy, with the detector's confidence.
std::optional<Face> LargestFace(cv::CascadeClassifier& cascade, const cv::Mat& grey) {
    std::vector<cv::Rect> boxes;
    std::vector<int> levels;
    std::vector<double> weights;
    const int smallest = std::max(24, std::min(grey.cols, grey.rows) / 10);
    cascade.detectMultiScale(grey, boxes, levels, weights, 1.1, 3, 0, cv::Size(smallest, smallest),
                             cv::Size(), true);
    std::optional<Face> best;
    for (std::size_t i = 0; i < boxes.size(); ++i) {
        if (!best || boxes[i].area() > best->box.area()) {
            best = Face{boxes[i], i < weights.size() ? weights[i] : 0.0};
        }
    }
    return best;
}

// The eye centres of an upright face (left as seen first), from the eye boxes found in its upper
// part: the most confident box on each side of the face's middle.
std::optional<std::array<cv::Point2d, 2>> EyesOf(cv::CascadeClassifier& cascade,
                                                 const cv::Mat& grey, const cv::Rect& face) {
    const cv::Rect band = cv::Rect(face.x, face.y + face.height / 6, face.width, face.height / 2) &
                          cv::Rect(0, 0, grey.cols, grey.rows);
    if (band.empty()) {
        return std::nullopt;
    }
    cv::Mat roi = grey(band);
    // Small faces leave the eye detector too few pixels.
    double enlarge = 1.0;
    if (face.width < 240) {
        enlarge = 240.0 / face.width;
        cv::resize(roi, roi, cv::Size(), enlarge, enlarge, cv::INTER_LINEAR);
    }
    std::vector<cv::Rect> boxes;
    std::vector<int> levels;
    std::vector<double> weights;
    const int smallest = int(face.width * enlarge / 10);
    const int largest = int(face.width * enlarge / 2.5);
    cascade.detectMultiScale(roi, boxes, levels, weights, 1.05, 3, 0, cv::Size(smallest, smallest),
                             cv::Size(largest, largest), true);
    const double middle = (face.x + face.width * 0.5 - band.x) * enlarge;
    int left = -1;
    int right = -1;
    for (int i = 0; i < int(boxes.size()); ++i) {
        const double x = boxes[i].x + boxes[i].width * 0.5;
        int& side = x < middle ? left : right;
        if (side < 0 || weights[i] > weights[side]) {
            side = i;
        }
    }
    if (left < 0 || right < 0) {
        return std::nullopt;
    }
    std::array<cv::Point2d, 2> eyes;
    const int chosen[] = {left, right};
    for (int k = 0; k < 2; ++k) {
        const cv::Rect& b = boxes[chosen[k]];
        eyes[k] = {band.x + (b.x + b.width * 0.5) / enlarge - 0.5,
                   band.y + (b.y + b.height * 0.5) / enlarge - 0.5};
    }
    return eyes;
}

// The darkness of an iris-sized disc against the ring around it, at every pixel of `view`
// (eyes kEyeSpan apart): low where a dark disc sits on brighter surroundings.
cv::Mat IrisContrast(const cv::Mat& view) {
    constexpr double inner = kEyeSpan * 0.07; // an iris is about a seventh of the eye span across
    constexpr double outer = kEyeSpan * 0.11;
    const int r = int(std::ceil(outer));
    cv::Mat kernel(2 * r + 1, 2 * r + 1, CV_32F, cv::Scalar(0));
    double discArea = 0;
    double ringArea = 0;
    for (int y = -r; y <= r; ++y) {
        for (int x = -r; x <= r; ++x) {
            const double d = std::hypot(x, y);
            discArea += d <= inner;
            ringArea += d > inner && d <= outer;
        }
    }
    for (int y = -r; y <= r; ++y) {
        for (int x = -r; x <= r; ++x) {
            const double d = std::hypot(x, y);
            kernel.at<float>(y + r, x + r) = d <= inner   ? float(1 / discArea)
                                             : d <= outer ? float(-1 / ringArea)
                                                          : 0.0f;
        }
    }
    cv::Mat contrast;
    view.convertTo(contrast, CV_32F);
    cv::filter2D(contrast, contrast, CV_32F, kernel, cv::Point(-1, -1), 0, cv::BORDER_REPLICATE);
    return contrast;
}

// Where a parabola through three samples has its extreme, relative to the middle one.
double ParabolaPeak(double before, double at, double after) {
    const double curve = before - 2 * at + after;
    return curve > 0 ? std::clamp(0.5 * (before - after) / curve, -0.5, 0.5) : 0.0;
}

// Moves each eye to the middle of its iris: the darkest iris-sized disc near the detector's
// centre, looked for in a view of the picture turned so that the eyes are level and scaled to a
// fixed span (the same search for any roll and size).
std::array<cv::Point2d, 2> Refine(const cv::Mat& grey, const std::array<cv::Point2d, 2>& eyes) {
    const cv::Point2d d = eyes[1] - eyes[0];
    const double span = std::hypot(d.x, d.y);
    if (span < 8) {
        return eyes;
    }
    // Picture -> view: eye 0 at (margin, margin), eye 1 at (margin + kEyeSpan, margin).
    const double margin = kEyeSpan * 0.5;
    const double s = kEyeSpan / span;
    const double c = d.x / span * s;
    const double n = d.y / span * s;
    cv::Matx23d toView(c, n, 0, -n, c, 0);
    const cv::Point2d at = Apply(toView, eyes[0]);
    toView(0, 2) = margin - at.x;
    toView(1, 2) = margin - at.y;
    // Smooth a large picture to the view's scale first, around the eyes only.
    cv::Rect around = cv::Rect(cv::Point(int(std::min(eyes[0].x, eyes[1].x) - span),
                                         int(std::min(eyes[0].y, eyes[1].y) - span)),
                               cv::Point(int(std::max(eyes[0].x, eyes[1].x) + span) + 1,
                                         int(std::max(eyes[0].y, eyes[1].y) + span) + 1)) &
                      cv::Rect(0, 0, grey.cols, grey.rows);
    if (around.empty()) {
        return eyes;
    }
    const cv::Matx23d fromView = Invert(toView);
    cv::Mat part = grey(around);
    if (s < 0.5) {
        cv::Mat smooth;
        cv::GaussianBlur(part, smooth, cv::Size(), 0.5 / s);
        part = smooth;
    }
    cv::Matx23d partToView = toView;
    partToView(0, 2) += toView(0, 0) * around.x + toView(0, 1) * around.y;
    partToView(1, 2) += toView(1, 0) * around.x + toView(1, 1) * around.y;
    cv::Mat view;
    cv::warpAffine(part, view, partToView, cv::Size(int(kEyeSpan + 2 * margin), int(2 * margin)),
                   cv::INTER_LINEAR, cv::BORDER_REPLICATE);
    cv::GaussianBlur(view, view, cv::Size(), 1.0);
    const cv::Mat contrast = IrisContrast(view);
    std::array<cv::Point2d, 2> refined = eyes;
    // The detector's boxes are centred to within a few per cent of the span.
    const int halfW = int(kEyeSpan * 0.12);
    const int halfH = int(kEyeSpan * 0.08);
    for (int k = 0; k < 2; ++k) {
        const int cx = int(margin + k * kEyeSpan);
        const int cy = int(margin);
        const cv::Rect window(cx - halfW, cy - halfH, 2 * halfW + 1, 2 * halfH + 1);
        cv::Point best;
        double lowest = 0;
        cv::minMaxLoc(contrast(window), &lowest, nullptr, &best);
        best += window.tl();
        // A minimum on the window's edge is no iris: keep the detector's centre.
        if (best.x == window.x || best.y == window.y || best.x == window.br().x - 1 ||
            best.y == window.br().y - 1 || lowest > -4) {
            continue;
        }
        const auto f = [&](int x, int y) { return double(contrast.at<float>(y, x)); };
        const cv::Point2d centre(
            best.x + ParabolaPeak(f(best.x - 1, best.y), f(best.x, best.y), f(best.x + 1, best.y)),
            best.y + ParabolaPeak(f(best.x, best.y - 1), f(best.x, best.y), f(best.x, best.y + 1)));
        refined[k] = Apply(fromView, centre);
    }
    return refined;
}

std::optional<std::array<PicturePoint, 2>> Find(const CDibImage& picture, IProgressDialog* progress,
                                                EAlignFailure* failure) {
    auto fail = [failure](EAlignFailure why) {
        if (failure != nullptr) {
            *failure = why;
        }
        return std::nullopt;
    };
    if (failure != nullptr) {
        *failure = EAlignFailure::None;
    }
    cv::CascadeClassifier faces = LoadCascade("haarcascade_frontalface_alt2.xml");
    cv::CascadeClassifier eyeBoxes = LoadCascade("haarcascade_eye.xml");
    if (!StageDone(progress, 0, kStages)) {
        return fail(EAlignFailure::Cancelled);
    }
    if (picture.Width() < 24 || picture.Height() < 24) {
        return fail(EAlignFailure::NoFace);
    }
    const cv::Mat grey = UprightGrey(picture);
    GreyProxy proxy = ReducedGrey(grey, kSearchSide);
    cv::equalizeHist(proxy.grey, proxy.grey);
    if (!StageDone(progress, 1, kStages)) {
        return fail(EAlignFailure::Cancelled);
    }

    // The face each turned copy finds, most confident first; the first with two eyes wins.
    struct Candidate {
        Face face;
        Turned turned;
    };
    std::vector<Candidate> candidates;
    for (std::size_t i = 0; i < std::size(kRolls); ++i) {
        Turned turned = Turn(proxy.grey, kRolls[i]);
        if (std::optional<Face> face = LargestFace(faces, turned.grey)) {
            candidates.push_back({*face, std::move(turned)});
        }
        if (!StageDone(progress, int(i) + 2, kStages)) {
            return fail(EAlignFailure::Cancelled);
        }
    }
    if (candidates.empty()) {
        return fail(EAlignFailure::NoFace);
    }
    // The most prominent face: the largest, among turns that found one about as large.
    int largest = 0;
    for (const auto& c : candidates) {
        largest = std::max(largest, c.face.box.area());
    }
    std::stable_sort(
        candidates.begin(), candidates.end(),
        [](const Candidate& a, const Candidate& b) { return a.face.weight > b.face.weight; });
    for (const auto& c : candidates) {
        if (c.face.box.area() * 2 < largest) {
            continue;
        }
        std::optional<std::array<cv::Point2d, 2>> eyes =
            EyesOf(eyeBoxes, c.turned.grey, c.face.box);
        if (!eyes) {
            continue;
        }
        const cv::Matx23d back = Invert(c.turned.map);
        std::array<cv::Point2d, 2> inPicture;
        for (int k = 0; k < 2; ++k) {
            const PicturePoint p = proxy.ToPicture(Apply(back, (*eyes)[k]));
            inPicture[k] = {p.x, p.y};
        }
        inPicture = Refine(grey, inPicture);
        if (inPicture[1].x < inPicture[0].x) {
            std::swap(inPicture[0], inPicture[1]);
        }
        StageDone(progress, kStages, kStages);
        return std::array<PicturePoint, 2>{PicturePoint{inPicture[0].x, inPicture[0].y},
                                           PicturePoint{inPicture[1].x, inPicture[1].y}};
    }
    return fail(EAlignFailure::NoEyes);
}

} // namespace

std::optional<std::array<PicturePoint, 2>>
FindEyes(const CDibImage& picture, IProgressDialog* progress, EAlignFailure* failure) {
    return WithOurMemoryError([&] { return Find(picture, progress, failure); });
}

} // namespace vx
