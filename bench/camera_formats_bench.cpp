// 50-megapixel HEIC and camera raw pictures: our whole load next to the decoder library alone on
// the same file, decoding to the same pixels.
#include "imageio/ImExp.h"
#include "support/DngWriter.h"
#include "support/ScriptedPlatform.h"

#include <benchmark/benchmark.h>
#include <libheif/heif.h>
#include <libraw/libraw.h>

#include <filesystem>
#include <fstream>

using namespace vx;

namespace {

const int kW = 8192, kH = 6144; // 50.3 million pixels

std::string Temp(const std::string& name) {
    return (std::filesystem::temp_directory_path() / ("vexel-bench-" + name)).string();
}

// A photograph-like picture (smooth gradients, a little noise) encoded by libheif, made once.
const std::string& Heic() {
    static const std::string path = [] {
        const std::string p = Temp("50mp.heic");
        if (std::filesystem::exists(p)) {
            return p;
        }
        heif_context* ctx = heif_context_alloc();
        heif_image* image = nullptr;
        heif_image_create(kW, kH, heif_colorspace_RGB, heif_chroma_interleaved_RGB, &image);
        heif_image_add_plane(image, heif_channel_interleaved, kW, kH, 8);
        int stride = 0;
        uint8_t* plane = heif_image_get_plane(image, heif_channel_interleaved, &stride);
        uint32_t noise = 5;
        for (int y = 0; y < kH; ++y) {
            uint8_t* row = plane + size_t(y) * stride;
            for (int x = 0; x < kW; ++x) {
                noise = noise * 1664525u + 1013904223u;
                row[3 * x] = uint8_t((x + y) / 64 + (noise >> 29));
                row[3 * x + 1] = uint8_t(y / 32 + (noise >> 28 & 7));
                row[3 * x + 2] = uint8_t(x / 40 + (noise >> 27 & 7));
            }
        }
        heif_encoder* encoder = nullptr;
        heif_context_get_encoder_for_format(ctx, heif_compression_HEVC, &encoder);
        heif_encoder_set_lossy_quality(encoder, 80);
        // Made once at set-up: the fastest preset keeps that short; decoding is what is timed.
        heif_encoder_set_parameter(encoder, "preset", "ultrafast");
        heif_image_handle* handle = nullptr;
        heif_context_encode_image(ctx, image, encoder, nullptr, &handle);
        heif_context_write_to_file(ctx, (p + ".part").c_str());
        std::filesystem::rename(p + ".part", p);
        heif_image_handle_release(handle);
        heif_encoder_release(encoder);
        heif_image_release(image);
        heif_context_free(ctx);
        return p;
    }();
    return path;
}

const std::string& Dng() {
    static const std::string path = [] {
        const std::string p = Temp("50mp.dng");
        std::ofstream(p, std::ios::binary) << test::Dng(kW, kH, 1);
        return p;
    }();
    return path;
}

void Load(benchmark::State& state, const std::string& path) {
    test::ScriptedPlatform ui;
    for (auto _ : state) {
        CDibImage image(ui, path, false);
        benchmark::DoNotOptimize(image.Bits());
    }
}

void BM_HeicLoad(benchmark::State& state) {
    Load(state, Heic());
}

void BM_HeicLibheifAlone(benchmark::State& state) {
    const std::string& path = Heic();
    for (auto _ : state) {
        heif_context* ctx = heif_context_alloc();
        heif_context_read_from_file(ctx, path.c_str(), nullptr);
        heif_image_handle* handle = nullptr;
        heif_context_get_primary_image_handle(ctx, &handle);
        heif_image* image = nullptr;
        if (heif_decode_image(handle, &image, heif_colorspace_RGB, heif_chroma_interleaved_RGB,
                              nullptr)
                .code != heif_error_Ok) {
            state.SkipWithError("decode failed");
        }
        heif_image_release(image);
        heif_image_handle_release(handle);
        heif_context_free(ctx);
    }
}

void BM_DngLoad(benchmark::State& state) {
    Load(state, Dng());
}

void BM_DngLibRawAlone(benchmark::State& state) {
    const std::string& path = Dng();
    for (auto _ : state) {
        auto raw = std::make_unique<LibRaw>();
        raw->imgdata.params.use_camera_wb = 1;
        raw->imgdata.params.output_bps = 8;
        int error = raw->open_file(path.c_str());
        error = error ? error : raw->unpack();
        error = error ? error : raw->dcraw_process();
        libraw_processed_image_t* image = error ? nullptr : raw->dcraw_make_mem_image(&error);
        if (!image) {
            state.SkipWithError("decode failed");
        }
        LibRaw::dcraw_clear_mem(image);
    }
}

BENCHMARK(BM_HeicLoad)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_HeicLibheifAlone)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_DngLoad)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_DngLibRawAlone)->Unit(benchmark::kMillisecond)->Iterations(3);

} // namespace
