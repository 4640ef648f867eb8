#include "TestImages.h"

#include "base/MyException.h"

#include <cstdio>
#include <jpeglib.h>
#include <png.h>
#include <stdexcept>

namespace vx::test {

void WritePng(const std::string& path, int w, int h, int colorType, int bitDepth, bool interlace,
              const std::vector<uint8_t>& samples, const std::vector<uint8_t>& paletteRgb,
              const std::vector<uint8_t>& trns, const std::string& icc, int filters) {
    FILE* f = std::fopen(path.c_str(), "wb");
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png))) {
        throw std::runtime_error("png write");
    }
    png_init_io(png, f);
    png_set_IHDR(png, info, w, h, bitDepth, colorType,
                 interlace ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    if (!paletteRgb.empty()) {
        png_set_PLTE(png, info, reinterpret_cast<png_const_colorp>(paletteRgb.data()),
                     int(paletteRgb.size() / 3));
    }
    if (!trns.empty()) {
        png_set_tRNS(png, info, trns.data(), int(trns.size()), nullptr);
    }
    if (!icc.empty()) {
        png_set_iCCP(png, info, "profile", PNG_COMPRESSION_TYPE_BASE,
                     reinterpret_cast<png_const_bytep>(icc.data()), png_uint_32(icc.size()));
    }
    if (filters) {
        png_set_filter(png, 0, filters);
    }
    png_write_info(png, info);
    const size_t rowBytes = png_get_rowbytes(png, info);
    std::vector<png_bytep> rows(h);
    for (int y = 0; y < h; ++y) {
        rows[y] = const_cast<png_bytep>(samples.data() + rowBytes * y);
    }
    png_write_image(png, rows.data());
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    std::fclose(f);
}

void WriteJpeg(const std::string& path, int w, int h, int components,
               const std::vector<uint8_t>& samples, int orientation, bool progressive,
               const std::string& icc) {
    FILE* f = std::fopen(path.c_str(), "wb");
    jpeg_compress_struct c;
    jpeg_error_mgr err;
    c.err = jpeg_std_error(&err);
    jpeg_create_compress(&c);
    jpeg_stdio_dest(&c, f);
    c.image_width = w;
    c.image_height = h;
    c.input_components = components;
    c.in_color_space = components == 1 ? JCS_GRAYSCALE : components == 3 ? JCS_RGB : JCS_CMYK;
    jpeg_set_defaults(&c);
    jpeg_set_quality(&c, 98, TRUE);
    if (progressive) {
        jpeg_simple_progression(&c);
    }
    if (components == 4) {
        c.write_Adobe_marker = TRUE;
    }
    jpeg_start_compress(&c, TRUE);
    if (orientation > 1) {
        // Little-endian TIFF header, one IFD entry: Orientation (0x0112), SHORT, 1 value.
        const uint8_t exif[] = {'E', 'x',  'i',  'f', 0,
                                0,   'I',  'I',  42,  0,
                                8,   0,    0,    0,   1,
                                0,   0x12, 0x01, 3,   0,
                                1,   0,    0,    0,   uint8_t(orientation),
                                0,   0,    0,    0,   0,
                                0,   0};
        jpeg_write_marker(&c, JPEG_APP0 + 1, exif, sizeof exif);
    }
    if (!icc.empty()) {
        jpeg_write_icc_profile(&c, reinterpret_cast<const JOCTET*>(icc.data()),
                               unsigned(icc.size()));
    }
    while (c.next_scanline < c.image_height) {
        JSAMPROW row =
            const_cast<JSAMPROW>(samples.data() + size_t(c.next_scanline) * w * components);
        jpeg_write_scanlines(&c, &row, 1);
    }
    jpeg_finish_compress(&c);
    jpeg_destroy_compress(&c);
    std::fclose(f);
}

int LoadCode(const std::string& path, std::unique_ptr<CDibImage>* out, ScriptedPlatform* platform) {
    ScriptedPlatform own;
    ScriptedPlatform& ui = platform ? *platform : own;
    try {
        auto image = std::make_unique<CDibImage>(ui, path, true);
        if (out) {
            *out = std::move(image);
        }
        return 0;
    } catch (const CMyException& e) {
        return e.m_nError;
    }
}

} // namespace vx::test
