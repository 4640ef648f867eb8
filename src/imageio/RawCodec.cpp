// Camera raw files through LibRaw: the sensor data demosaiced, with the white balance the camera
// chose, converted to sRGB and turned upright. The preview a camera embeds is smaller and already
// processed, so it is not used.
#include "imageio/Codecs.h"

#include <libraw/libraw.h>

#include <algorithm>
#include <bit>
#include <memory>

namespace vx::codec {

namespace {

struct RawProgress {
    const StepFn* step;
    bool stop = false;
};

// LibRaw names each stage by one bit, in order; the stages of a full decode end with the
// conversion to RGB, the last that takes time.
constexpr int kLastStage = std::countr_zero(unsigned(LIBRAW_PROGRESS_CONVERT_RGB)) + 1;

int OnProgress(void* data, LibRaw_progress stage, int, int) {
    auto* p = static_cast<RawProgress*>(data);
    const int done = std::min(std::countr_zero(unsigned(stage)) + 1, kLastStage);
    if (!(*p->step)(done, kLastStage + 1)) {
        p->stop = true;
    }
    return p->stop ? 1 : 0;
}

struct MemImageFree {
    void operator()(libraw_processed_image_t* image) const { LibRaw::dcraw_clear_mem(image); }
};

} // namespace

Result DecodeRaw(const std::string& bytes, Decoded& out, const StepFn& step) {
    auto raw = std::make_unique<LibRaw>(LIBRAW_OPTIONS_NONE);
    libraw_output_params_t& params = raw->imgdata.params;
    params.use_camera_wb = 1;
    params.output_color = 1; // sRGB
    params.output_bps = 8;
    RawProgress progress{&step};
    raw->set_progress_handler(OnProgress, &progress);
    // Damage is reported through the result; LibRaw would also print it.
    raw->set_dataerror_handler([](void*, const char*, int) {}, nullptr);
    // LibRaw only reads from the buffer.
    if (raw->open_buffer(const_cast<char*>(bytes.data()), bytes.size()) != LIBRAW_SUCCESS) {
        return progress.stop ? Result::Cancelled : Result::Fail;
    }
    const libraw_image_sizes_t& sizes = raw->imgdata.sizes;
    // Flips 5 and 6 stand the picture on its side: width and height change places.
    const bool turned = (sizes.flip & 4) != 0;
    const int w = turned ? sizes.height : sizes.width;
    const int h = turned ? sizes.width : sizes.height;
    if (Admit(out, w, h, int64_t(bytes.size())) != Result::Ok) {
        return Result::TooLarge;
    }
    int error = raw->unpack();
    if (error == LIBRAW_SUCCESS) {
        error = raw->dcraw_process();
    }
    std::unique_ptr<libraw_processed_image_t, MemImageFree> image;
    if (error == LIBRAW_SUCCESS) {
        image.reset(raw->dcraw_make_mem_image(&error));
    }
    if (progress.stop || error == LIBRAW_CANCELLED_BY_CALLBACK) {
        return Result::Cancelled;
    }
    if (error == LIBRAW_UNSUFFICIENT_MEMORY) {
        return Result::TooLarge;
    }
    if (error != LIBRAW_SUCCESS || !image || image->type != LIBRAW_IMAGE_BITMAP ||
        image->colors != 3 || image->bits != 8) {
        return Result::Fail;
    }
    // Sensors laid out at an angle come out of another size than the one declared.
    if (image->width != w || image->height != h) {
        if (Admit(out, image->width, image->height, int64_t(bytes.size())) != Result::Ok) {
            return Result::TooLarge;
        }
    }
    if (!out.All()) {
        return Result::TooLarge;
    }
    const size_t rowBytes = size_t(out.width) * 3;
    InRowBands(
        out.height,
        [&](int begin, int end) {
            const uint8_t* s = image->data + size_t(begin) * rowBytes;
            uint8_t* d = out.bgr.data() + size_t(begin) * rowBytes;
            for (size_t i = 0, n = size_t(end - begin) * out.width; i < n; ++i, s += 3, d += 3) {
                d[0] = s[2];
                d[1] = s[1];
                d[2] = s[0];
            }
        },
        [](int) { return true; });
    return step(kLastStage + 1, kLastStage + 1) ? Result::Ok : Result::Cancelled;
}

} // namespace vx::codec
