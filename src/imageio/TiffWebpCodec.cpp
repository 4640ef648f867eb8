// TIFF through libtiff's RGBA interface (every layout and common compression it decodes), WebP
// through libwebp.
#include "imageio/Codecs.h"

#include "imageio/ImExp.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>
#include <tiffio.h>
#include <unistd.h>
#include <webp/decode.h>
#include <webp/encode.h>

namespace vx::codec {

namespace {

struct TiffQuiet {
    TiffQuiet() {
        TIFFSetErrorHandler(nullptr);
        TIFFSetWarningHandler(nullptr);
    }
};

uint8_t OverWhite(int c, int a) {
    return uint8_t(c * a / 255 + 255 - a);
}

uint32_t LittleEndian(const std::string& b, size_t at) {
    return uint32_t(uint8_t(b[at])) | (uint32_t(uint8_t(b[at + 1])) << 8) |
           (uint32_t(uint8_t(b[at + 2])) << 16) | (uint32_t(uint8_t(b[at + 3])) << 24);
}

// The ICCP chunk of an extended file, which the format puts right after VP8X; empty if none.
std::string WebPIccChunk(const std::string& bytes) {
    size_t at = 12;
    while (at + 8 <= bytes.size()) {
        const uint32_t size = LittleEndian(bytes, at + 4);
        if (size > bytes.size() - at - 8) {
            break;
        }
        if (bytes.compare(at, 4, "ICCP") == 0) {
            return bytes.substr(at + 8, size);
        }
        if (bytes.compare(at, 4, "VP8X") != 0) {
            break;
        }
        at += 8 + size + (size & 1);
    }
    return {};
}

} // namespace

Result DecodeTiff(const std::string& path, int64_t fileBytes, Decoded& out, const StepFn& step) {
    static TiffQuiet quiet;
    // libtiff sizes its strip and tile buffers from the tags: none may pass what the budget lets
    // a file of this size hold (8 bytes a pixel covers 16-bit RGBA), beyond its own small tables.
    TIFFOpenOptions* options = TIFFOpenOptionsAlloc();
    if (!options) {
        return Result::TooLarge;
    }
    TIFFOpenOptionsSetMaxSingleMemAlloc(
        options, tmsize_t(8 * ImExp_PixelBudget(fileBytes) + (int64_t(4) << 20)));
    TIFF* tif = TIFFOpenExt(path.c_str(), "r", options);
    TIFFOpenOptionsFree(options);
    if (!tif) {
        return Result::Fail;
    }
    uint32_t w = 0, h = 0;
    TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &w);
    TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &h);
    if (w == 0 || h == 0) {
        TIFFClose(tif);
        return Result::Fail;
    }
    if (Admit(out, w, h, fileBytes) != Result::Ok) {
        TIFFClose(tif);
        return Result::TooLarge;
    }
    uint32_t iccLength = 0;
    const void* icc = nullptr;
    uint16_t samples = 0;
    TIFFGetFieldDefaulted(tif, TIFFTAG_SAMPLESPERPIXEL, &samples);
    if (samples >= 3 && TIFFGetField(tif, TIFFTAG_ICCPROFILE, &iccLength, &icc) && icc) {
        out.icc.assign(static_cast<const char*>(icc), iccLength);
    }
    char message[1024] = "";
    TIFFRGBAImage img;
    if (!TIFFRGBAImageOK(tif, message) || !TIFFRGBAImageBegin(&img, tif, 1, message)) {
        TIFFClose(tif);
        return Result::Fail;
    }
    img.req_orientation = ORIENTATION_TOPLEFT;
    // Read a band of whole strips or tiles at a time, so that memory follows the data decoded.
    uint32_t unit = 0;
    if (TIFFIsTiled(tif)) {
        TIFFGetField(tif, TIFFTAG_TILELENGTH, &unit);
    } else {
        TIFFGetFieldDefaulted(tif, TIFFTAG_ROWSPERSTRIP, &unit);
    }
    unit = std::clamp<uint32_t>(unit, 1, h);
    const uint32_t band = unit * std::max<uint32_t>(1, kStepRows / unit);
    // Files stored bottom first come out of each band upside down: such bands fill from the end.
    uint16_t orientation = ORIENTATION_TOPLEFT;
    TIFFGetFieldDefaulted(tif, TIFFTAG_ORIENTATION, &orientation);
    const bool bottomUp = orientation == ORIENTATION_BOTRIGHT ||
                          orientation == ORIENTATION_BOTLEFT ||
                          orientation == ORIENTATION_RIGHTBOT || orientation == ORIENTATION_LEFTBOT;
    Result result = bottomUp && !out.All() ? Result::TooLarge : Result::Ok;
    // Not cleared: libtiff fills the rows it decodes, and the rest of a failed band is unused.
    std::unique_ptr<uint32_t[]> raster(new (std::nothrow) uint32_t[size_t(w) * std::min(band, h)]);
    if (!raster) {
        result = Result::TooLarge;
    }
    for (uint32_t y = 0; result == Result::Ok && y < h; y += band) {
        const uint32_t rows = std::min(band, h - y);
        img.row_offset = int(y);
        img.col_offset = 0;
        if (!TIFFRGBAImageGet(&img, raster.get(), w, rows)) {
            result = Result::Fail;
            break;
        }
        const uint32_t top = bottomUp ? h - y - rows : y;
        for (uint32_t r = 0; r < rows && result == Result::Ok; ++r) {
            uint8_t* d = out.Row(int(top + r));
            if (!d) {
                result = Result::TooLarge;
                break;
            }
            // The RGBA interface hands alpha premultiplied: composite over white.
            const uint32_t* s = raster.get() + size_t(r) * w;
            for (uint32_t x = 0; x < w; ++x) {
                const int a = int(TIFFGetA(s[x]));
                d[3 * x] = uint8_t(std::min(255, int(TIFFGetB(s[x])) + 255 - a));
                d[3 * x + 1] = uint8_t(std::min(255, int(TIFFGetG(s[x])) + 255 - a));
                d[3 * x + 2] = uint8_t(std::min(255, int(TIFFGetR(s[x])) + 255 - a));
            }
        }
        if (result == Result::Ok && !step(int(y + rows), int(h))) {
            result = Result::Cancelled;
        }
    }
    TIFFRGBAImageEnd(&img);
    TIFFClose(tif);
    return result;
}

bool EncodeTiff(int fd, int width, int height, const RowFn& rows, const StepFn& step) {
    static TiffQuiet quiet;
    TIFF* tif = TIFFFdOpen(fd, "picture.tif", "w");
    if (!tif) {
        return false;
    }
    TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, uint32_t(width));
    TIFFSetField(tif, TIFFTAG_IMAGELENGTH, uint32_t(height));
    TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, 8);
    TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, 3);
    TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_RGB);
    TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(tif, TIFFTAG_COMPRESSION, COMPRESSION_LZW);
    TIFFSetField(tif, TIFFTAG_PREDICTOR, PREDICTOR_HORIZONTAL);
    TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, TIFFDefaultStripSize(tif, 0));
    std::vector<uint8_t> line(size_t(width) * 3);
    bool ok = true;
    for (int y = 0; ok && y < height; ++y) {
        rows(y, line.data());
        for (int x = 0; x < width; ++x) {
            std::swap(line[3 * x], line[3 * x + 2]);
        }
        ok = TIFFWriteScanline(tif, line.data(), uint32_t(y), 0) == 1;
        if (ok && (y + 1) % kStepRows == 0) {
            ok = step(y + 1, height);
        }
    }
    ok = ok && TIFFFlush(tif) == 1 && fsync(fd) == 0;
    TIFFCleanup(tif); // the caller owns and closes the descriptor
    return ok;
}

Result DecodeWebP(const std::string& bytes, Decoded& out, const StepFn& step) {
    const auto* data = reinterpret_cast<const uint8_t*>(bytes.data());
    WebPBitstreamFeatures features;
    if (WebPGetFeatures(data, bytes.size(), &features) != VP8_STATUS_OK) {
        return Result::Fail;
    }
    // libwebp decodes into one whole raster: the budget has to hold before it is allocated.
    if (Admit(out, features.width, features.height, int64_t(bytes.size())) != Result::Ok) {
        return Result::TooLarge;
    }
    out.icc = WebPIccChunk(bytes);
    step(0, features.height);
    const size_t pixels = size_t(features.width) * features.height;
    if (features.has_alpha) {
        std::vector<uint8_t> bgra(pixels * 4);
        if (!WebPDecodeBGRAInto(data, bytes.size(), bgra.data(), bgra.size(), features.width * 4)) {
            return Result::Fail;
        }
        if (!out.All()) {
            return Result::TooLarge;
        }
        for (size_t i = 0; i < pixels; ++i) {
            for (int c = 0; c < 3; ++c) {
                out.bgr[3 * i + c] = OverWhite(bgra[4 * i + c], bgra[4 * i + 3]);
            }
        }
    } else if (!out.All()) {
        return Result::TooLarge;
    } else if (!WebPDecodeBGRInto(data, bytes.size(), out.bgr.data(), out.bgr.size(),
                                  features.width * 3)) {
        return Result::Fail;
    }
    return step(features.height, features.height) ? Result::Ok : Result::Cancelled;
}

bool EncodeWebP(FILE* file, int width, int height, const RowFn& rows, const StepFn& step) {
    if (width > WEBP_MAX_DIMENSION || height > WEBP_MAX_DIMENSION) {
        return false;
    }
    std::vector<uint8_t> bgr(size_t(width) * height * 3);
    for (int y = 0; y < height; ++y) {
        rows(y, bgr.data() + size_t(y) * width * 3);
        if ((y + 1) % kStepRows == 0 && !step(y + 1, 2 * height)) {
            return false;
        }
    }
    // Lossless: the framed pictures go on to be morphed and should not lose detail first.
    uint8_t* encoded = nullptr;
    const size_t size = WebPEncodeLosslessBGR(bgr.data(), width, height, width * 3, &encoded);
    const bool ok = size > 0 && std::fwrite(encoded, 1, size, file) == size;
    WebPFree(encoded);
    return ok && step(2 * height, 2 * height);
}

} // namespace vx::codec
