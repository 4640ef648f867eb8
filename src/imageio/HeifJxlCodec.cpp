// HEIF and AVIF through libheif, JPEG XL through libjxl. Both libraries decode a whole picture
// into a buffer of their own, turned upright already: the budget has to hold before they start.
#include "imageio/Codecs.h"

#include "imageio/ImExp.h"

#include <jxl/decode_cxx.h>
#include <jxl/resizable_parallel_runner_cxx.h>
#include <libheif/heif.h>

#include <algorithm>
#include <memory>

namespace vx::codec {

namespace {

struct HeifDeleter {
    void operator()(heif_context* c) const { heif_context_free(c); }
    void operator()(const heif_image_handle* h) const { heif_image_handle_release(h); }
    void operator()(const heif_image* i) const { heif_image_release(i); }
    void operator()(heif_decoding_options* o) const { heif_decoding_options_free(o); }
    void operator()(heif_color_profile_nclx* n) const { heif_nclx_color_profile_free(n); }
};
template <class T> using HeifPtr = std::unique_ptr<T, HeifDeleter>;

uint8_t OverWhite(int c, int a) {
    return uint8_t((c * a + 255 * (255 - a) + 127) / 255);
}

// Interleaved RGB or RGBA rows into our BGR rows, alpha shown over white.
void ToBgr(const uint8_t* src, size_t srcStride, bool alpha, Decoded& out, int y0, int rows) {
    const int channels = alpha ? 4 : 3;
    for (int y = y0; y < y0 + rows; ++y) {
        const uint8_t* s = src + size_t(y - y0) * srcStride;
        uint8_t* d = out.bgr.data() + size_t(y) * out.width * 3;
        for (int x = 0; x < out.width; ++x, s += channels, d += 3) {
            const int a = alpha ? s[3] : 255;
            d[0] = a == 255 ? s[2] : OverWhite(s[2], a);
            d[1] = a == 255 ? s[1] : OverWhite(s[1], a);
            d[2] = a == 255 ? s[0] : OverWhite(s[0], a);
        }
    }
}

// The colours an nclx box names, as a profile; empty when they are sRGB's own.
std::string NclxProfile(const heif_color_profile_nclx& n) {
    const bool srgbPrimaries = n.color_primaries == heif_color_primaries_ITU_R_BT_709_5 ||
                               n.color_primaries == heif_color_primaries_unspecified;
    const bool srgbTransfer =
        n.transfer_characteristics == heif_transfer_characteristic_IEC_61966_2_1 ||
        n.transfer_characteristics == heif_transfer_characteristic_unspecified;
    if (srgbPrimaries && srgbTransfer) {
        return {};
    }
    const double xy[8] = {n.color_primary_red_x,   n.color_primary_red_y,  n.color_primary_green_x,
                          n.color_primary_green_y, n.color_primary_blue_x, n.color_primary_blue_y,
                          n.color_primary_white_x, n.color_primary_white_y};
    return RgbProfile(xy, n.transfer_characteristics);
}

struct HeifProgress {
    const StepFn* step;
    int total = 1;
    bool stop = false;
};

} // namespace

Result DecodeHeif(const std::string& bytes, Decoded& out, const StepFn& step) {
    HeifPtr<heif_context> context(heif_context_alloc());
    if (!context) {
        return Result::TooLarge;
    }
    if (heif_context_read_from_memory_without_copy(context.get(), bytes.data(), bytes.size(),
                                                   nullptr)
            .code != heif_error_Ok) {
        return Result::Fail;
    }
    heif_image_handle* rawHandle = nullptr;
    if (heif_context_get_primary_image_handle(context.get(), &rawHandle).code != heif_error_Ok) {
        return Result::Fail;
    }
    HeifPtr<const heif_image_handle> handle(rawHandle);
    // The handle's size is the upright one: irot and imir are applied when decoding. The EXIF
    // orientation a phone also writes repeats them, so it is not applied again.
    const int w = heif_image_handle_get_width(handle.get());
    const int h = heif_image_handle_get_height(handle.get());
    if (Admit(out, w, h, int64_t(bytes.size())) != Result::Ok) {
        return Result::TooLarge;
    }
    const bool alpha = heif_image_handle_has_alpha_channel(handle.get()) != 0;
    switch (heif_image_handle_get_color_profile_type(handle.get())) {
    case heif_color_profile_type_prof:
    case heif_color_profile_type_rICC: {
        std::string icc(heif_image_handle_get_raw_color_profile_size(handle.get()), '\0');
        if (!icc.empty() &&
            heif_image_handle_get_raw_color_profile(handle.get(), icc.data()).code ==
                heif_error_Ok) {
            out.icc = std::move(icc);
        }
        break;
    }
    case heif_color_profile_type_nclx: {
        heif_color_profile_nclx* rawNclx = nullptr;
        if (heif_image_handle_get_nclx_color_profile(handle.get(), &rawNclx).code ==
            heif_error_Ok) {
            HeifPtr<heif_color_profile_nclx> nclx(rawNclx);
            out.icc = NclxProfile(*nclx);
        }
        break;
    }
    default:
        break;
    }
    HeifPtr<heif_decoding_options> options(heif_decoding_options_alloc());
    if (!options) {
        return Result::TooLarge;
    }
    // 10 and 12 bits come out as 8.
    options->convert_hdr_to_8bit = 1;
    // libheif reports the tiles of a grid picture (as phones write them) but cannot be stopped
    // mid-way: a Cancel takes effect once the picture is decoded.
    HeifProgress progress{&step};
    options->progress_user_data = &progress;
    options->start_progress = [](heif_progress_step, int max, void* data) {
        static_cast<HeifProgress*>(data)->total = std::max(max, 1);
    };
    options->on_progress = [](heif_progress_step, int done, void* data) {
        auto* p = static_cast<HeifProgress*>(data);
        p->stop = p->stop || !(*p->step)(std::min(done, p->total), 2 * p->total);
    };
    heif_image* rawImage = nullptr;
    const heif_error error = heif_decode_image(
        handle.get(), &rawImage, heif_colorspace_RGB,
        alpha ? heif_chroma_interleaved_RGBA : heif_chroma_interleaved_RGB, options.get());
    HeifPtr<const heif_image> image(rawImage);
    if (progress.stop) {
        return Result::Cancelled;
    }
    if (error.code == heif_error_Memory_allocation_error) {
        return Result::TooLarge;
    }
    if (error.code != heif_error_Ok || !image) {
        return Result::Fail;
    }
    // HEVC files may name their colours in the bitstream alone, which only the decoded image tells.
    heif_color_profile_nclx* rawNclx = nullptr;
    if (heif_image_handle_get_color_profile_type(handle.get()) ==
            heif_color_profile_type_not_present &&
        heif_image_get_nclx_color_profile(image.get(), &rawNclx).code == heif_error_Ok) {
        HeifPtr<heif_color_profile_nclx> nclx(rawNclx);
        out.icc = NclxProfile(*nclx);
    }
    int stride = 0;
    const uint8_t* pixels =
        heif_image_get_plane_readonly(image.get(), heif_channel_interleaved, &stride);
    if (!pixels || heif_image_get_width(image.get(), heif_channel_interleaved) != w ||
        heif_image_get_height(image.get(), heif_channel_interleaved) != h ||
        heif_image_get_bits_per_pixel_range(image.get(), heif_channel_interleaved) != 8) {
        return Result::Fail;
    }
    if (!out.All()) {
        return Result::TooLarge;
    }
    const bool done = InRowBands(
        h,
        [&](int begin, int end) {
            ToBgr(pixels + size_t(begin) * size_t(stride), size_t(stride), alpha, out, begin,
                  end - begin);
        },
        [&](int rows) { return step(h + rows, 2 * h); });
    return done ? Result::Ok : Result::Cancelled;
}

Result DecodeJxl(const std::string& bytes, Decoded& out, const StepFn& step) {
    JxlDecoderPtr decoder = JxlDecoderMake(nullptr);
    JxlResizableParallelRunnerPtr runner = JxlResizableParallelRunnerMake(nullptr);
    if (!decoder || !runner ||
        JxlDecoderSubscribeEvents(decoder.get(), JXL_DEC_BASIC_INFO | JXL_DEC_COLOR_ENCODING |
                                                     JXL_DEC_FULL_IMAGE) != JXL_DEC_SUCCESS ||
        JxlDecoderSetParallelRunner(decoder.get(), JxlResizableParallelRunner, runner.get()) !=
            JXL_DEC_SUCCESS) {
        return Result::TooLarge;
    }
    // Orientation is applied by the decoder unless asked to keep it; alpha is kept straight.
    JxlDecoderSetInput(decoder.get(), reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
    JxlDecoderCloseInput(decoder.get());
    JxlBasicInfo info{};
    JxlPixelFormat format{3, JXL_TYPE_UINT8, JXL_NATIVE_ENDIAN, 0};
    std::vector<uint8_t> rgba;
    for (;;) {
        const JxlDecoderStatus status = JxlDecoderProcessInput(decoder.get());
        switch (status) {
        case JXL_DEC_BASIC_INFO: {
            if (JxlDecoderGetBasicInfo(decoder.get(), &info) != JXL_DEC_SUCCESS) {
                return Result::Fail;
            }
            // xsize and ysize are the upright size.
            if (Admit(out, info.xsize, info.ysize, int64_t(bytes.size())) != Result::Ok) {
                return Result::TooLarge;
            }
            format.num_channels = info.alpha_bits > 0 ? 4 : 3;
            JxlResizableParallelRunnerSetThreads(
                runner.get(), JxlResizableParallelRunnerSuggestThreads(info.xsize, info.ysize));
            if (!step(0, 2 * out.height)) {
                return Result::Cancelled;
            }
            break;
        }
        case JXL_DEC_COLOR_ENCODING: {
            // Pixels in sRGB need no profile; any other space is described by one.
            JxlColorEncoding encoding{};
            const bool srgb = JxlDecoderGetColorAsEncodedProfile(decoder.get(), &format,
                                                                 JXL_COLOR_PROFILE_TARGET_DATA,
                                                                 &encoding) == JXL_DEC_SUCCESS &&
                              encoding.color_space == JXL_COLOR_SPACE_RGB &&
                              encoding.white_point == JXL_WHITE_POINT_D65 &&
                              encoding.primaries == JXL_PRIMARIES_SRGB &&
                              encoding.transfer_function == JXL_TRANSFER_FUNCTION_SRGB;
            size_t size = 0;
            if (!srgb &&
                JxlDecoderGetICCProfileSize(decoder.get(), &format, JXL_COLOR_PROFILE_TARGET_DATA,
                                            &size) == JXL_DEC_SUCCESS &&
                size > 0) {
                out.icc.assign(size, '\0');
                if (JxlDecoderGetColorAsICCProfile(
                        decoder.get(), &format, JXL_COLOR_PROFILE_TARGET_DATA,
                        reinterpret_cast<uint8_t*>(out.icc.data()), size) != JXL_DEC_SUCCESS) {
                    out.icc.clear();
                }
            }
            break;
        }
        case JXL_DEC_NEED_IMAGE_OUT_BUFFER: {
            size_t size = 0;
            if (JxlDecoderImageOutBufferSize(decoder.get(), &format, &size) != JXL_DEC_SUCCESS) {
                return Result::Fail;
            }
            uint8_t* buffer = nullptr;
            if (format.num_channels == 4) {
                rgba.resize(size);
                buffer = rgba.data();
            } else if ((buffer = out.All()) == nullptr || size != out.bgr.size()) {
                return buffer ? Result::Fail : Result::TooLarge;
            }
            if (JxlDecoderSetImageOutBuffer(decoder.get(), &format, buffer, size) !=
                JXL_DEC_SUCCESS) {
                return Result::Fail;
            }
            break;
        }
        case JXL_DEC_FULL_IMAGE: {
            // The first frame is the picture: animations show their first.
            const int w = out.width, h = out.height;
            if (!out.All()) {
                return Result::TooLarge;
            }
            const bool done = InRowBands(
                h,
                [&](int begin, int end) {
                    if (format.num_channels == 4) {
                        ToBgr(rgba.data() + size_t(begin) * w * 4, size_t(w) * 4, true, out, begin,
                              end - begin);
                        return;
                    }
                    uint8_t* p = out.bgr.data() + size_t(begin) * w * 3;
                    for (size_t i = 0; i < size_t(end - begin) * w; ++i, p += 3) {
                        std::swap(p[0], p[2]);
                    }
                },
                [&](int rows) { return step(h + rows, 2 * h); });
            return done ? Result::Ok : Result::Cancelled;
        }
        case JXL_DEC_SUCCESS:
        case JXL_DEC_NEED_MORE_INPUT:
        case JXL_DEC_ERROR:
        default:
            return Result::Fail;
        }
    }
}

} // namespace vx::codec
