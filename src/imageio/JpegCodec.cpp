// JPEG through libjpeg-turbo, with the EXIF orientation applied so that photographs stand
// upright. libjpeg reports errors by longjmp: objects with destructors live before setjmp.
#include "imageio/Codecs.h"
#include "picture/RowPool.h"

#include <algorithm>
#include <climits>
#include <csetjmp>
#include <cstdlib>
#include <cstring>
// clang-format off
#include <cstdio>
#include <jpeglib.h>
#include <jerror.h>
// clang-format on

namespace vx::codec {

namespace {

struct ErrorManager {
    jpeg_error_mgr pub;
    jmp_buf jump;
    bool pixelsDone = false;
};

void ErrorExit(j_common_ptr info) {
    longjmp(reinterpret_cast<ErrorManager*>(info->err)->jump, 1);
}

// Every coefficient of a progressive file refined to its last bit: nothing can follow.
bool ProgressionComplete(j_decompress_ptr d) {
    if (!d->progressive_mode || !d->coef_bits) {
        return false;
    }
    for (int c = 0; c < d->num_components; ++c) {
        for (int k = 0; k < DCTSIZE2; ++k) {
            if (d->coef_bits[c][k] != 0) {
                return false;
            }
        }
    }
    return true;
}

// libjpeg fills what a damaged or short file lacks with grey and goes on: a warning that data
// is missing makes the file unreadable rather than show half a picture. The harmless ones
// (stray bytes before a marker, an unknown JFIF revision or Adobe transform, odd scan
// parameters, a bad ICC block) still leave every pixel decoded, and cameras write them.
bool MissingData(j_decompress_ptr d, int code) {
    switch (code) {
    case JWRN_HIT_MARKER:
    case JWRN_MUST_RESYNC:
    case JWRN_HUFF_BAD_CODE:
    case JWRN_ARITH_BAD_CODE:
    case JWRN_BOGUS_PROGRESSION:
        return true;
    case JWRN_JPEG_EOF:
        // Huffman decoding reads ahead past the last rows: in a single sequential scan, bits
        // that are really missing raise JWRN_HIT_MARKER as well. A file that lacks only its
        // end marker loses nothing, nor does a progressive one whose every scan came.
        if (!d->arith_code && !d->progressive_mode && d->comps_in_scan == d->num_components) {
            return false;
        }
        return !ProgressionComplete(d);
    default:
        return false;
    }
}

void EmitMessage(j_common_ptr info, int level) {
    auto* err = reinterpret_cast<ErrorManager*>(info->err);
    if (level < 0 && !err->pixelsDone &&
        MissingData(reinterpret_cast<j_decompress_ptr>(info), err->pub.msg_code)) {
        longjmp(err->jump, 1);
    }
}

void Silent(j_common_ptr) {}

// The orientation tag (1 ... 8) of an APP1 EXIF block; 1 when absent or unreadable.
int ExifOrientation(const uint8_t* p, size_t n) {
    if (n < 14 || std::memcmp(p, "Exif\0\0", 6) != 0) {
        return 1;
    }
    const uint8_t* t = p + 6;
    const size_t len = n - 6;
    const bool le = t[0] == 'I' && t[1] == 'I';
    if (!le && !(t[0] == 'M' && t[1] == 'M')) {
        return 1;
    }
    auto u16 = [&](size_t at) -> unsigned {
        return le ? t[at] | (t[at + 1] << 8) : (t[at] << 8) | t[at + 1];
    };
    auto u32 = [&](size_t at) -> size_t {
        return le ? size_t(t[at]) | (size_t(t[at + 1]) << 8) | (size_t(t[at + 2]) << 16) |
                        (size_t(t[at + 3]) << 24)
                  : (size_t(t[at]) << 24) | (size_t(t[at + 1]) << 16) | (size_t(t[at + 2]) << 8) |
                        size_t(t[at + 3]);
    };
    const size_t ifd = u32(4);
    if (ifd + 2 > len) {
        return 1;
    }
    const unsigned count = u16(ifd);
    for (unsigned i = 0; i < count; ++i) {
        const size_t e = ifd + 2 + 12 * size_t(i);
        if (e + 12 > len) {
            break;
        }
        if (u16(e) == 0x0112 && u16(e + 2) == 3) {
            const unsigned v = u16(e + 8);
            return v >= 1 && v <= 8 ? int(v) : 1;
        }
    }
    return 1;
}

// Turns the decoded raster as the tag asks; 5 to 8 swap width and height. False when memory
// runs out.
bool Orient(Decoded& img, int orientation) {
    if (orientation == 1) {
        return true;
    }
    const int w = img.width, h = img.height;
    const bool swap = orientation >= 5;
    const int dw = swap ? h : w, dh = swap ? w : h;
    std::vector<uint8_t> dst;
    try {
        dst.resize(img.bgr.size());
    } catch (const std::bad_alloc&) {
        return false;
    }
    // Source column and row of output pixel (x, y): sx = ax x + bx y + cx, sy = ay x + by y + cy.
    struct Map {
        int ax, bx, cx, ay, by, cy;
    };
    const Map maps[9] = {{},
                         {1, 0, 0, 0, 1, 0},
                         {-1, 0, w - 1, 0, 1, 0},
                         {-1, 0, w - 1, 0, -1, h - 1},
                         {1, 0, 0, 0, -1, h - 1},
                         {0, 1, 0, 1, 0, 0},
                         {0, 1, 0, -1, 0, h - 1},
                         {0, -1, w - 1, -1, 0, h - 1},
                         {0, -1, w - 1, 1, 0, 0}};
    const Map& m = maps[orientation];
    const std::ptrdiff_t step = 3 * (m.ax + std::ptrdiff_t(m.ay) * w);
    const uint8_t* src = img.bgr.data();
    uint8_t* out = dst.data();
    CRowPool::Shared().Run(dh, [&](int begin, int end) {
        for (int y = begin; y < end; ++y) {
            const uint8_t* s = src + 3 * ((m.cx + std::ptrdiff_t(m.bx) * y) +
                                          (m.cy + std::ptrdiff_t(m.by) * y) * w);
            uint8_t* d = out + std::size_t(y) * dw * 3;
            for (int x = 0; x < dw; ++x, s += step, d += 3) {
                d[0] = s[0];
                d[1] = s[1];
                d[2] = s[2];
            }
        }
    });
    img.bgr.swap(dst);
    img.width = dw;
    img.height = dh;
    return true;
}

} // namespace

Result DecodeJpeg(const std::string& bytes, Decoded& out, const StepFn& step) {
    jpeg_decompress_struct cinfo;
    ErrorManager err;
    std::vector<uint8_t> line;
    cinfo.err = jpeg_std_error(&err.pub);
    err.pub.error_exit = ErrorExit;
    err.pub.emit_message = EmitMessage;
    err.pub.output_message = Silent;
    volatile Result result = Result::Fail;
    volatile int orientation = 1;
    if (setjmp(err.jump)) {
        // Coefficient buffers beyond max_memory_to_use end in a request for a backing store.
        const int code = err.pub.msg_code;
        jpeg_destroy_decompress(&cinfo);
        if (result == Result::Fail &&
            (code == JERR_NO_BACKING_STORE || code == JERR_OUT_OF_MEMORY)) {
            return Result::TooLarge;
        }
        return result;
    }
    jpeg_create_decompress(&cinfo);
    jpeg_mem_src(&cinfo, reinterpret_cast<const unsigned char*>(bytes.data()),
                 static_cast<unsigned long>(bytes.size()));
    jpeg_save_markers(&cinfo, JPEG_APP0 + 1, 0xFFFF);
    jpeg_save_markers(&cinfo, JPEG_APP0 + 2, 0xFFFF); // ICC, possibly split over several
    jpeg_read_header(&cinfo, TRUE);
    for (jpeg_saved_marker_ptr m = cinfo.marker_list; m; m = m->next) {
        if (m->marker == JPEG_APP0 + 1) {
            orientation = ExifOrientation(m->data, m->data_length);
            if (orientation != 1) {
                break;
            }
        }
    }
    if (orientation != 1) {
        out.place = nullptr; // turned afterwards, from a raster of its own
    }
    const bool cmyk = cinfo.jpeg_color_space == JCS_CMYK || cinfo.jpeg_color_space == JCS_YCCK;
    cinfo.out_color_space = cmyk ? JCS_CMYK : JCS_EXT_BGR;
    JOCTET* icc = nullptr;
    unsigned int iccLength = 0;
    // A CMYK file's profile describes inks, not the RGB this decoder makes of them.
    if (!cmyk && jpeg_read_icc_profile(&cinfo, &icc, &iccLength)) {
        out.icc.assign(reinterpret_cast<const char*>(icc), iccLength);
        std::free(icc);
    }
    if (Admit(out, cinfo.image_width, cinfo.image_height, int64_t(bytes.size())) != Result::Ok) {
        result = Result::TooLarge;
        longjmp(err.jump, 1);
    }
    // Progressive and multi-scan files keep every coefficient until the last scan (2 bytes each,
    // at most 4 components): beyond that, libjpeg fails instead of allocating.
    cinfo.mem->max_memory_to_use =
        long(std::min<int64_t>(8 * int64_t(out.width) * out.height + (int64_t(1) << 22), LONG_MAX));
    jpeg_start_decompress(&cinfo);
    const int w = int(cinfo.output_width);
    const int h = int(cinfo.output_height);
    line.resize(cmyk ? size_t(w) * 4 : 0);
    // Several rows a call: libjpeg upsamples two rows at once and would otherwise copy each
    // second one through a spare row.
    constexpr int kBatch = 16;
    JSAMPROW rows[kBatch];
    while (cinfo.output_scanline < cinfo.output_height) {
        const int y = int(cinfo.output_scanline);
        const int n = cmyk ? 1 : std::min(kBatch, h - y);
        // The last row first: making room for it may move the others.
        if (!out.Row(y + n - 1)) {
            result = Result::TooLarge;
            longjmp(err.jump, 1);
        }
        for (int i = 0; i < n; ++i) {
            rows[i] = out.At(y + i);
        }
        uint8_t* dst = rows[0];
        if (cmyk) {
            rows[0] = line.data();
        }
        const int got = int(jpeg_read_scanlines(&cinfo, rows, JDIMENSION(n)));
        if (got <= 0) {
            longjmp(err.jump, 1);
        }
        if (cmyk) {
            // Adobe writes CMYK inverted; without its marker the values are plain ink amounts.
            const bool inverted = cinfo.saw_Adobe_marker;
            for (int x = 0; x < w; ++x) {
                int c = line[4 * x], m = line[4 * x + 1], ye = line[4 * x + 2], k = line[4 * x + 3];
                if (!inverted) {
                    c = 255 - c;
                    m = 255 - m;
                    ye = 255 - ye;
                    k = 255 - k;
                }
                dst[3 * x] = uint8_t((ye * k + 127) / 255);
                dst[3 * x + 1] = uint8_t((m * k + 127) / 255);
                dst[3 * x + 2] = uint8_t((c * k + 127) / 255);
            }
        }
        const int next = y + got;
        if (next / kStepRows != y / kStepRows && !step(next - next % kStepRows, h)) {
            result = Result::Cancelled;
            longjmp(err.jump, 1);
        }
    }
    // Every row is whole: a file that lacks only its end marker still reads.
    err.pixelsDone = true;
    jpeg_finish_decompress(&cinfo);
    jpeg_destroy_decompress(&cinfo);
    if (!Orient(out, orientation)) {
        return Result::TooLarge;
    }
    return Result::Ok;
}

bool EncodeJpeg(FILE* file, int width, int height, const RowFn& rows, const StepFn& step) {
    jpeg_compress_struct cinfo;
    ErrorManager err;
    std::vector<uint8_t> line(size_t(width) * 3);
    cinfo.err = jpeg_std_error(&err.pub);
    err.pub.error_exit = ErrorExit;
    err.pub.output_message = Silent;
    if (setjmp(err.jump)) {
        jpeg_destroy_compress(&cinfo);
        return false;
    }
    jpeg_create_compress(&cinfo);
    jpeg_stdio_dest(&cinfo, file);
    cinfo.image_width = JDIMENSION(width);
    cinfo.image_height = JDIMENSION(height);
    cinfo.input_components = 3;
    cinfo.in_color_space = JCS_EXT_BGR;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, 92, TRUE);
    jpeg_start_compress(&cinfo, TRUE);
    while (cinfo.next_scanline < cinfo.image_height) {
        const int y = int(cinfo.next_scanline);
        rows(y, line.data());
        JSAMPROW row = line.data();
        jpeg_write_scanlines(&cinfo, &row, 1);
        if ((y + 1) % kStepRows == 0 && !step(y + 1, height)) {
            jpeg_destroy_compress(&cinfo);
            return false;
        }
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    return true;
}

} // namespace vx::codec
