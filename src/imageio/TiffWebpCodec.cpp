// TIFF through libtiff's RGBA interface (every layout and common compression it decodes), WebP
// through libwebp.
#include "imageio/Codecs.h"

#include <cstring>
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

} // namespace

Result DecodeTiff(const std::string& path, Decoded& out, const StepFn& step) {
    static TiffQuiet quiet;
    TIFF* tif = TIFFOpen(path.c_str(), "r");
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
    if (Allocate(out, w, h) != Result::Ok) {
        TIFFClose(tif);
        return Result::TooLarge;
    }
    std::vector<uint32_t> raster;
    try {
        raster.resize(size_t(w) * h);
    } catch (const std::bad_alloc&) {
        TIFFClose(tif);
        return Result::TooLarge;
    }
    step(0, int(h));
    const int ok = TIFFReadRGBAImageOriented(tif, w, h, raster.data(), ORIENTATION_TOPLEFT, 1);
    TIFFClose(tif);
    if (!ok) {
        return Result::Fail;
    }
    // The RGBA interface hands alpha premultiplied: composite over white.
    for (size_t i = 0; i < raster.size(); ++i) {
        const uint32_t p = raster[i];
        const int a = int(TIFFGetA(p));
        out.bgr[3 * i] = uint8_t(std::min(255, int(TIFFGetB(p)) + 255 - a));
        out.bgr[3 * i + 1] = uint8_t(std::min(255, int(TIFFGetG(p)) + 255 - a));
        out.bgr[3 * i + 2] = uint8_t(std::min(255, int(TIFFGetR(p)) + 255 - a));
    }
    return step(int(h), int(h)) ? Result::Ok : Result::Cancelled;
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
    if (Allocate(out, features.width, features.height) != Result::Ok) {
        return Result::TooLarge;
    }
    step(0, features.height);
    const size_t pixels = size_t(features.width) * features.height;
    if (features.has_alpha) {
        std::vector<uint8_t> bgra(pixels * 4);
        if (!WebPDecodeBGRAInto(data, bytes.size(), bgra.data(), bgra.size(), features.width * 4)) {
            return Result::Fail;
        }
        for (size_t i = 0; i < pixels; ++i) {
            for (int c = 0; c < 3; ++c) {
                out.bgr[3 * i + c] = OverWhite(bgra[4 * i + c], bgra[4 * i + 3]);
            }
        }
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
