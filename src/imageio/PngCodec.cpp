// PNG through libpng. libpng reports errors by longjmp: everything with a destructor lives
// outside the frames it jumps over.
#include "imageio/Codecs.h"

#include <csetjmp>
#include <cstring>
#include <png.h>

namespace vx::codec {

namespace {

struct MemoryInput {
    const uint8_t* data;
    size_t size;
    size_t pos;
};

void ReadFromMemory(png_structp png, png_bytep out, png_size_t n) {
    auto* in = static_cast<MemoryInput*>(png_get_io_ptr(png));
    if (n > in->size - in->pos) {
        png_error(png, "truncated");
    }
    std::memcpy(out, in->data + in->pos, n);
    in->pos += n;
}

void Quiet(png_structp, png_const_charp) {}
[[noreturn]] void Throw(png_structp png, png_const_charp) {
    png_longjmp(png, 1);
}

uint32_t BigEndian(const std::string& b, size_t at) {
    return (uint32_t(uint8_t(b[at])) << 24) | (uint8_t(b[at + 1]) << 16) |
           (uint8_t(b[at + 2]) << 8) | uint8_t(b[at + 3]);
}

} // namespace

Result DecodePng(const std::string& bytes, Decoded& out, const StepFn& step) {
    // The header comes first: refuse a huge declared size before libpng reads any further.
    const int64_t fileBytes = int64_t(bytes.size());
    if (bytes.size() >= 24 && bytes.compare(12, 4, "IHDR") == 0 &&
        Admit(out, BigEndian(bytes, 16), BigEndian(bytes, 20), fileBytes) == Result::TooLarge) {
        return Result::TooLarge;
    }
    MemoryInput in{reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), 0};
    std::vector<uint8_t> withAlpha; // BGRA: one row, or every row of an interlaced picture
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, Throw, Quiet);
    if (!png) {
        return Result::TooLarge;
    }
    png_infop info = png_create_info_struct(png);
    volatile Result result = Result::Fail;
    if (!info || setjmp(png_jmpbuf(png))) {
        png_destroy_read_struct(&png, &info, nullptr);
        return result;
    }
    png_set_read_fn(png, &in, ReadFromMemory);
    png_set_user_limits(png, 0x7fffffff, 0x7fffffff); // our own limit is checked below
    // Reads up to the first image data: libpng has checked depth, colour type and palette.
    png_read_info(png, info);
    const png_uint_32 w = png_get_image_width(png, info);
    const png_uint_32 h = png_get_image_height(png, info);
    const int colorType = png_get_color_type(png, info);
    png_charp iccName = nullptr;
    int iccCompression = 0;
    png_bytep icc = nullptr;
    png_uint_32 iccLength = 0;
    // An sRGB chunk wins over a profile beside it. A grey profile does not fit the RGB rows.
    if (!png_get_valid(png, info, PNG_INFO_sRGB) && (colorType & PNG_COLOR_MASK_COLOR) &&
        png_get_iCCP(png, info, &iccName, &iccCompression, &icc, &iccLength)) {
        out.icc.assign(reinterpret_cast<const char*>(icc), iccLength);
    }
    if (Admit(out, w, h, fileBytes) != Result::Ok) {
        result = Result::TooLarge;
        png_error(png, "too large");
    }
    const bool alpha =
        (colorType & PNG_COLOR_MASK_ALPHA) || png_get_valid(png, info, PNG_INFO_tRNS);
    png_set_expand(png);
    png_set_strip_16(png);
    png_set_gray_to_rgb(png);
    png_set_bgr(png);
    const int passes = png_set_interlace_handling(png);
    png_read_update_info(png, info);
    const size_t channels = alpha ? 4 : 3;
    if (png_get_rowbytes(png, info) != size_t(w) * channels) {
        png_error(png, "unexpected layout");
    }
    // Later passes of an interlaced picture add to rows the earlier ones left: those need every
    // row at once. Otherwise rows are kept only as they arrive.
    const bool whole = passes > 1;
    if (whole && !out.All()) {
        result = Result::TooLarge;
        png_error(png, "too large");
    }
    withAlpha.resize(alpha ? size_t(w) * 4 * (whole ? h : 1) : 0);
    const int64_t total = int64_t(passes) * h;
    for (int pass = 0; pass < passes; ++pass) {
        for (png_uint_32 y = 0; y < h; ++y) {
            uint8_t* row = out.Row(int(y));
            if (!row) {
                result = Result::TooLarge;
                png_error(png, "too large");
            }
            uint8_t* bgra = alpha ? withAlpha.data() + (whole ? size_t(y) * w * 4 : 0) : nullptr;
            png_read_row(png, alpha ? bgra : row, nullptr);
            if (alpha && pass == passes - 1) {
                // Transparent parts show on white, the way a viewer shows them on a page.
                for (size_t x = 0; x < w; ++x) {
                    const int a = bgra[4 * x + 3];
                    for (int c = 0; c < 3; ++c) {
                        row[3 * x + c] =
                            uint8_t((bgra[4 * x + c] * a + 255 * (255 - a) + 127) / 255);
                    }
                }
            }
            const int64_t done = int64_t(pass) * h + y + 1;
            if (done % kStepRows == 0 && !step(Scaled(done, total, int(h)), int(h))) {
                result = Result::Cancelled;
                png_error(png, "cancelled");
            }
        }
    }
    png_destroy_read_struct(&png, &info, nullptr);
    return Result::Ok;
}

bool EncodePng(FILE* file, int width, int height, const RowFn& rows, const StepFn& step) {
    std::vector<uint8_t> row(size_t(width) * 3);
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, Throw, Quiet);
    if (!png) {
        return false;
    }
    png_infop info = png_create_info_struct(png);
    if (!info || setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return false;
    }
    png_init_io(png, file);
    png_set_IHDR(png, info, width, height, 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    // Level 3 with the SUB and UP filters: a fraction of the default time, files a little larger.
    png_set_compression_level(png, 3);
    png_set_filter(png, 0, PNG_FILTER_SUB | PNG_FILTER_UP);
    // What we write is sRGB; saying so keeps other programs from guessing.
    png_set_sRGB_gAMA_and_cHRM(png, info, PNG_sRGB_INTENT_PERCEPTUAL);
    png_write_info(png, info);
    png_set_bgr(png);
    for (int y = 0; y < height; ++y) {
        rows(y, row.data());
        png_write_row(png, row.data());
        if ((y + 1) % kStepRows == 0 && !step(y + 1, height)) {
            png_error(png, "cancelled");
        }
    }
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    return true;
}

} // namespace vx::codec
