#include "picture/PointAlignment.h"

#include <algorithm>
#include <cmath>
#include <complex>

namespace vx {

namespace {

using Complex = std::complex<double>;

// Beyond these a placement shows nothing useful, and the frame's integer products could overflow.
constexpr double kMinZoom = 1e-3;
constexpr double kMaxZoom = 1e3;
constexpr double kMaxOffset = 1e6;

// The point in the frame's own units. The renderer reads picture units q = 1024 x and, rows
// being stored bottom first, 1024 (h - 1 - y), and maps the frame rectangle onto 0 ... 1024 w.
Complex PictureToFrame(const CPictFrame& frame, int w, int h, PicturePoint p) {
    return {(p.x - w / 2.0) * frame.FrameWidth() / w,
            (h / 2.0 - 1 - p.y) * frame.FrameHeight() / h};
}

// The frame maps crop p to u = zoom (R(angle) p + offset), so p = e^(-i angle) (u / zoom - offset).
Complex FrameToCrop(const CPictFrame& frame, Complex u) {
    return (u / frame.zoom - Complex(frame.offset.x, frame.offset.y)) *
           std::polar(1.0, -frame.angle);
}

// Where a target point of frame position u lands for a placement with h = e^(-i angle) / zoom.
Complex Landing(Complex h, Complex offset, Complex u) {
    return h * u - offset * h / std::abs(h);
}

// The crop positions c of the source points and the frame positions u of the target points.
struct Marks {
    Complex c[2];
    Complex u[2];
};

std::optional<Marks> MarksOf(const CPictFrame& sourceFrame, int sourceWidth, int sourceHeight,
                             const CPictFrame& targetFrame, int targetWidth, int targetHeight,
                             const PointPairs& points) {
    if (PointsTooClose(points.source[0], points.source[1]) ||
        PointsTooClose(points.target[0], points.target[1]) || targetWidth <= 0 ||
        targetHeight <= 0 || targetFrame.FrameWidth() == 0 || targetFrame.FrameHeight() == 0) {
        return std::nullopt;
    }
    Marks marks;
    for (int i = 0; i < 2; ++i) {
        const PointF s = PictureToCrop(sourceFrame, sourceWidth, sourceHeight, points.source[i]);
        marks.c[i] = {s.x, s.y};
        marks.u[i] = PictureToFrame(targetFrame, targetWidth, targetHeight, points.target[i]);
    }
    return marks;
}

} // namespace

bool PointsTooClose(PicturePoint a, PicturePoint b) {
    return !(std::hypot(a.x - b.x, a.y - b.y) >= kMinPointDistance); // NaN too
}

PointF PictureToCrop(const CPictFrame& frame, int w, int h, PicturePoint p) {
    const Complex c = FrameToCrop(frame, PictureToFrame(frame, w, h, p));
    return {c.real(), c.imag()};
}

PicturePoint CropToPicture(const CPictFrame& frame, int w, int h, PointF c) {
    const Complex u = frame.zoom * (Complex(c.x, c.y) * std::polar(1.0, frame.angle) +
                                    Complex(frame.offset.x, frame.offset.y));
    return {u.real() * w / frame.FrameWidth() + w / 2.0,
            h / 2.0 - 1 - u.imag() * h / frame.FrameHeight()};
}

std::optional<ExactPlacement> SolvePointAlignment(const CPictFrame& sourceFrame, int sourceWidth,
                                                  int sourceHeight, const CPictFrame& targetFrame,
                                                  int targetWidth, int targetHeight,
                                                  const PointPairs& points) {
    const std::optional<Marks> marks = MarksOf(sourceFrame, sourceWidth, sourceHeight, targetFrame,
                                               targetWidth, targetHeight, points);
    if (!marks) {
        return std::nullopt;
    }
    const Complex* c = marks->c;
    const Complex* u = marks->u;
    // crop = h u + b with h = e^(-i angle) / zoom and b = -e^(-i angle) offset.
    const Complex h = (c[1] - c[0]) / (u[1] - u[0]);
    const Complex offset = -(c[0] - h * u[0]) * std::conj(h) / std::abs(h);
    const ExactPlacement placement{1.0 / std::abs(h), -std::arg(h), {offset.real(), offset.imag()}};
    if (!std::isfinite(placement.zoom) || !std::isfinite(placement.angle) ||
        !std::isfinite(placement.offset.x) || !std::isfinite(placement.offset.y) ||
        placement.zoom <= 0) {
        return std::nullopt;
    }
    return placement;
}

std::optional<FramePlacement> AlignByPoints(const CPictFrame& sourceFrame, int sourceWidth,
                                            int sourceHeight, const CPictFrame& targetFrame,
                                            int targetWidth, int targetHeight,
                                            const PointPairs& points) {
    const std::optional<ExactPlacement> exact = SolvePointAlignment(
        sourceFrame, sourceWidth, sourceHeight, targetFrame, targetWidth, targetHeight, points);
    if (!exact || exact->zoom < kMinZoom || exact->zoom > kMaxZoom ||
        std::abs(exact->offset.x) > kMaxOffset || std::abs(exact->offset.y) > kMaxOffset) {
        return std::nullopt;
    }
    const std::optional<Marks> marks = MarksOf(sourceFrame, sourceWidth, sourceHeight, targetFrame,
                                               targetWidth, targetHeight, points);
    const Complex* c = marks->c;
    const Complex* u = marks->u;
    const CPoint offset{int(std::lround(exact->offset.x)), int(std::lround(exact->offset.y))};
    const Complex t(offset.x, offset.y);
    // With the offset whole, the zoom and angle that bring the points nearest: a few least-squares
    // rounds, each with the direction of the one before; kept only when the farther point lands
    // closer than with the exact zoom and angle.
    auto miss = [&](Complex h) {
        return std::max(std::abs(Landing(h, t, u[0]) - c[0]), std::abs(Landing(h, t, u[1]) - c[1]));
    };
    Complex best = std::polar(1.0 / exact->zoom, -exact->angle);
    double bestMiss = miss(best);
    Complex h = best;
    for (int round = 0; round < 3; ++round) {
        const Complex shift = t * h / std::abs(h);
        h = (std::conj(u[0]) * (c[0] + shift) + std::conj(u[1]) * (c[1] + shift)) /
            (std::norm(u[0]) + std::norm(u[1]));
        if (const double m = miss(h); m < bestMiss) {
            best = h;
            bestMiss = m;
        }
    }
    const Complex a = best;
    FramePlacement placement{offset, 1.0 / std::abs(a), -std::arg(a)};
    if (!std::isfinite(placement.zoom) || placement.zoom < kMinZoom || placement.zoom > kMaxZoom) {
        return std::nullopt;
    }
    return placement;
}

} // namespace vx
