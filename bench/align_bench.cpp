// Accuracy and speed of the automatic alignments, on views of real photographs made by known
// similarities. The accuracy runs report their figures as counters (errors in pixels of the
// original, or in per cent of the distance between the eyes).
#include "align/EyeFinder.h"
#include "align/SceneAlignment.h"
#include "support/AlignPairs.h"

#include <benchmark/benchmark.h>
#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <cmath>
#include <vector>

namespace vx {
namespace {

double Percentile(std::vector<double> v, double q) {
    if (v.empty()) {
        return NAN;
    }
    std::sort(v.begin(), v.end());
    return v[std::min(v.size() - 1, std::size_t(q * double(v.size() - 1) + 0.5))];
}

// 50 views, half of each photograph: turned up to 25 degrees, scaled 0.75 to 1.33, shifted,
// with noise of 3 grey levels, through JPEG.
void SceneAccuracy(benchmark::State& state, SceneOptions options) {
    const auto photos = {test::LoadAlignPicture("astronaut.jpg"),
                         test::LoadAlignPicture("coffee.jpg")};
    for (auto _ : state) {
        std::mt19937 rng(7);
        std::vector<double> errors;
        int failures = 0;
        for (int i = 0; i < 50; ++i) {
            const CDibImage& photo = *photos.begin()[i % 2];
            const int w = photo.Width() / 2;
            const int h = photo.Height() / 2;
            const test::Similarity s = test::RandomSimilarity(photo, w, h, 25, rng);
            const auto view = test::WarpedView(photo, s, w, h, 3, true, rng);
            EAlignFailure failure;
            const auto found = FindSceneAlignment(photo, *view, nullptr, &failure, options);
            if (!found) {
                ++failures;
                continue;
            }
            errors.push_back(test::CornerError(*found, s, w, h));
        }
        state.counters["median_px"] = Percentile(errors, 0.5);
        state.counters["p90_px"] = Percentile(errors, 0.9);
        state.counters["max_px"] = Percentile(errors, 1.0);
        state.counters["failures"] = failures;
    }
}

BENCHMARK_CAPTURE(SceneAccuracy, Sift, SceneOptions{SceneOptions::EFeatures::Sift, 1000, true})
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(SceneAccuracy, SiftUnrefined,
                  SceneOptions{SceneOptions::EFeatures::Sift, 1000, false})
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(SceneAccuracy, Akaze, SceneOptions{SceneOptions::EFeatures::Akaze, 1000, true})
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(SceneAccuracy, AkazeUnrefined,
                  SceneOptions{SceneOptions::EFeatures::Akaze, 1000, false})
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);

// A 24-megapixel pair (6000 x 4000): the coffee photograph enlarged, and a turned, scaled view
// of it of the same size; features found on copies of the long side given.
void Scene24Megapixels(benchmark::State& state) {
    const auto photo = test::LoadAlignPicture("coffee.jpg");
    std::mt19937 rng(3);
    const test::Similarity enlarge{0, 6000.0 / photo->Width(), 0, 0};
    const auto source = test::WarpedView(*photo, enlarge, 6000, 4000, 0, false, rng);
    const test::Similarity s{12, 0.9, 500, -300};
    const auto target = test::WarpedView(*source, s, 6000, 4000, 3, false, rng);
    double error = NAN;
    for (auto _ : state) {
        EAlignFailure failure;
        SceneOptions options;
        options.proxySide = int(state.range(0));
        const auto found = FindSceneAlignment(*source, *target, nullptr, &failure, options);
        if (found) {
            error = test::CornerError(*found, s, 6000, 4000);
        }
    }
    state.counters["corner_px"] = error;
}
// CPU time of all threads: the wall time on a shared machine says little.
BENCHMARK(Scene24Megapixels)
    ->Arg(1000)
    ->Arg(750)
    ->Unit(benchmark::kMillisecond)
    ->MinTime(3)
    ->MeasureProcessCPUTime();

// 20 views of the portrait rolled -30 to +30 degrees and scaled 0.8 to 1.25 about the face.
void EyeAccuracy(benchmark::State& state) {
    const auto photo = test::LoadAlignPicture("astronaut.jpg");
    // Measured by hand: the middles of the irises.
    const PicturePoint truth[2] = {{202.8, 100.8}, {246.1, 102.8}};
    for (auto _ : state) {
        int found = 0;
        std::vector<double> errors;
        for (int i = 0; i < 20; ++i) {
            const double roll = -30 + 60.0 * i / 19;
            const double scale = 0.8 * std::pow(1.25 / 0.8, (i * 7 % 20) / 19.0);
            const test::Similarity s = test::PlaceAt(roll, scale, {225, 140}, {255.5, 200});
            std::mt19937 rng(i);
            const auto view = test::WarpedView(*photo, s, 512, 512, 2, true, rng);
            EAlignFailure failure;
            const auto eyes = FindEyes(*view, nullptr, &failure);
            if (!eyes) {
                continue;
            }
            const PicturePoint l = s.Apply(truth[0]);
            const PicturePoint r = s.Apply(truth[1]);
            const double span = std::hypot(r.x - l.x, r.y - l.y);
            const double e = std::max(std::hypot((*eyes)[0].x - l.x, (*eyes)[0].y - l.y),
                                      std::hypot((*eyes)[1].x - r.x, (*eyes)[1].y - r.y));
            errors.push_back(100 * e / span);
            if (e <= 0.03 * span) {
                ++found;
            }
        }
        state.counters["found_of_20"] = double(errors.size());
        state.counters["within_3pc"] = found;
        state.counters["median_pc"] = Percentile(errors, 0.5);
        state.counters["max_pc"] = Percentile(errors, 1.0);
    }
}
BENCHMARK(EyeAccuracy)->Iterations(1)->Unit(benchmark::kMillisecond);

} // namespace
} // namespace vx
