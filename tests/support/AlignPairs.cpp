#include "support/AlignPairs.h"

#include "imageio/DibAdapters.h"
#include "imageio/ImExp.h"
#include "support/ScriptedPlatform.h"
#include "support/TempDir.h"
#include "support/TestData.h"

#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <cmath>
#include <complex>
#include <stdexcept>

namespace vx::test {

namespace {

constexpr double kPi = 3.14159265358979323846;

// The picture upright as OpenCV keeps it, and back.
cv::Mat Upright(const CDibImage& picture) {
    cv::Mat out(picture.Height(), picture.Width(), CV_8UC3);
    for (int r = 0; r < picture.Height(); ++r) {
        std::copy_n(picture.Row(r), 3 * picture.Width(),
                    out.ptr<uint8_t>(picture.Height() - 1 - r));
    }
    return out;
}

std::unique_ptr<CDibImage> FromUpright(const cv::Mat& m) {
    auto picture = std::make_unique<CDibImage>(m.cols, m.rows);
    for (int r = 0; r < m.rows; ++r) {
        std::copy_n(m.ptr<uint8_t>(m.rows - 1 - r), 3 * m.cols, picture->Row(r));
    }
    return picture;
}

} // namespace

std::unique_ptr<CDibImage> LoadAlignPicture(const std::string& name) {
    ScriptedPlatform ui;
    return std::make_unique<CDibImage>(ui, TestDataPath("align/" + name), false);
}

PicturePoint Similarity::Apply(const PicturePoint& p) const {
    // y grows downwards, so counter-clockwise as seen is a negative angle in these axes.
    const std::complex<double> a = std::polar(scale, -degrees * kPi / 180);
    const std::complex<double> q = a * std::complex<double>(p.x, p.y) + std::complex(dx, dy);
    return {q.real(), q.imag()};
}

Similarity Similarity::Inverse() const {
    Similarity inv{-degrees, 1 / scale, 0, 0};
    const PicturePoint shift = inv.Apply({dx, dy});
    inv.dx = -shift.x;
    inv.dy = -shift.y;
    return inv;
}

Similarity PlaceAt(double degrees, double scale, const PicturePoint& from, const PicturePoint& to) {
    Similarity s{degrees, scale, 0, 0};
    const PicturePoint lands = s.Apply(from);
    s.dx = to.x - lands.x;
    s.dy = to.y - lands.y;
    return s;
}

std::unique_ptr<CDibImage> WarpedView(const CDibImage& picture, const Similarity& s, int w, int h,
                                      double noise, bool jpeg, std::mt19937& rng) {
    const PicturePoint o = s.Apply({0, 0});
    const PicturePoint ex = s.Apply({1, 0});
    const PicturePoint ey = s.Apply({0, 1});
    const cv::Matx23d m(ex.x - o.x, ey.x - o.x, o.x, ex.y - o.y, ey.y - o.y, o.y);
    cv::Mat view;
    cv::warpAffine(Upright(picture), view, m, cv::Size(w, h), cv::INTER_CUBIC, cv::BORDER_REFLECT);
    if (noise > 0) {
        cv::Mat n(view.size(), CV_32FC3);
        cv::theRNG().state = rng();
        cv::randn(n, 0, noise);
        cv::Mat sum;
        view.convertTo(sum, CV_32FC3);
        sum += n;
        sum.convertTo(view, CV_8UC3);
    }
    std::unique_ptr<CDibImage> out = FromUpright(view);
    if (jpeg) {
        TempDir dir;
        const std::string path = dir.File("view.jpg");
        auto writer = MakeWriteSource(*out);
        int one = 1;
        if (ImExp_WriteFile(writer.get(), nullptr, path.c_str(), &one, nullptr, nullptr, 1) != 1) {
            throw std::runtime_error("cannot write " + path);
        }
        ScriptedPlatform ui;
        out = std::make_unique<CDibImage>(ui, path, false);
    }
    return out;
}

Similarity RandomSimilarity(const CDibImage& picture, int w, int h, double maxDegrees,
                            std::mt19937& rng) {
    std::uniform_real_distribution<double> angle(-maxDegrees, maxDegrees);
    std::uniform_real_distribution<double> logScale(std::log(0.75), std::log(1.33));
    std::uniform_real_distribution<double> unit(0, 1);
    const double degrees = angle(rng);
    const double scale = std::exp(logScale(rng));
    // The view's rectangle seen in the original: its half extents there.
    const double c = std::abs(std::cos(degrees * kPi / 180)) / scale;
    const double n = std::abs(std::sin(degrees * kPi / 180)) / scale;
    const double halfW = 0.5 * (w * c + h * n);
    const double halfH = 0.5 * (w * n + h * c);
    const double roomX = std::max(0.0, 0.5 * picture.Width() - halfW);
    const double roomY = std::max(0.0, 0.5 * picture.Height() - halfH);
    const PicturePoint centre{0.5 * (picture.Width() - 1) + (2 * unit(rng) - 1) * roomX,
                              0.5 * (picture.Height() - 1) + (2 * unit(rng) - 1) * roomY};
    return PlaceAt(degrees, scale, centre, {0.5 * (w - 1), 0.5 * (h - 1)});
}

double CornerError(const PointPairs& found, const Similarity& truth, int w, int h) {
    auto z = [](const PicturePoint& p) { return std::complex<double>(p.x, p.y); };
    const std::complex<double> a =
        (z(found.source[1]) - z(found.source[0])) / (z(found.target[1]) - z(found.target[0]));
    const std::complex<double> b = z(found.source[0]) - a * z(found.target[0]);
    const Similarity back = truth.Inverse();
    double worst = 0;
    for (const PicturePoint corner :
         {PicturePoint{-0.5, -0.5}, PicturePoint{w - 0.5, -0.5}, PicturePoint{-0.5, h - 0.5},
          PicturePoint{w - 0.5, h - 0.5}}) {
        const std::complex<double> got = a * z(corner) + b;
        const PicturePoint want = back.Apply(corner);
        worst = std::max(worst, std::abs(got - z(want)));
    }
    return worst;
}

} // namespace vx::test
