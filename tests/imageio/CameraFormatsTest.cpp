// HEIF, AVIF, JPEG XL and camera raw files, and the colour profiles pictures carry. The files are
// made here with the formats' own encoders (and a DNG writer of our own), so the component is
// checked against files it did not write itself.
#include "TestImages.h"
#include "imageio/DibAdapters.h"
#include "imageio/ImExp.h"
#include "support/DngWriter.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>
#include <jxl/encode_cxx.h>
#include <lcms2.h>
#include <libheif/heif.h>

#include <array>

#if defined(__SANITIZE_ADDRESS__)
// The HEVC encoder that makes the test files keeps a few tables for good, on its own threads.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libx265.so\n";
}
#endif

using namespace vx;
using test::LoadCode;

namespace {

using Rgb = std::array<int, 3>;

// Pixel (x, y) counted from the top, as red, green, blue.
Rgb At(const CDibImage& image, int x, int y) {
    const uint8_t* p = image.Row(image.Height() - 1 - y) + 3 * x;
    return {p[2], p[1], p[0]};
}

void ExpectNear(const Rgb& got, const Rgb& want, int tolerance, const std::string& what) {
    for (int c = 0; c < 3; ++c) {
        EXPECT_NEAR(got[c], want[c], tolerance) << what << " channel " << c;
    }
}

// RGBA rows top first: the top-left quadrant `corner`, the rest `rest`; alpha 0 in the
// bottom-right quadrant when `hole`.
std::vector<uint8_t> Quadrants(int w, int h, Rgb corner, Rgb rest, bool hole) {
    std::vector<uint8_t> rgba(size_t(w) * h * 4);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            const Rgb& c = x < w / 2 && y < h / 2 ? corner : rest;
            uint8_t* p = rgba.data() + (size_t(y) * w + x) * 4;
            p[0] = uint8_t(c[0]);
            p[1] = uint8_t(c[1]);
            p[2] = uint8_t(c[2]);
            p[3] = hole && x >= w / 2 && y >= h / 2 ? 0 : 255;
        }
    }
    return rgba;
}

std::vector<uint8_t> DropAlpha(const std::vector<uint8_t>& rgba) {
    std::vector<uint8_t> rgb;
    for (size_t i = 0; i < rgba.size(); i += 4) {
        rgb.insert(rgb.end(), rgba.begin() + i, rgba.begin() + i + 3);
    }
    return rgb;
}

struct HeifOptions {
    heif_compression_format format = heif_compression_HEVC;
    int bits = 8;
    bool alpha = false;
    heif_orientation orientation = heif_orientation_normal;
    std::string icc; // a prof box; else nclx
    bool p3 = false; // nclx: Display P3 primaries, sRGB curve
};

// A lossless HEIF or AVIF file of `rgba`. An EXIF block with orientation 6 rides along with
// every turned picture, as phones write it beside irot.
bool WriteHeif(const std::string& path, int w, int h, const std::vector<uint8_t>& rgba,
               const HeifOptions& o) {
    heif_context* ctx = heif_context_alloc();
    heif_encoder* encoder = nullptr;
    if (heif_context_get_encoder_for_format(ctx, o.format, &encoder).code != heif_error_Ok) {
        heif_context_free(ctx);
        return false;
    }
    const heif_chroma chroma =
        o.bits > 8
            ? (o.alpha ? heif_chroma_interleaved_RRGGBBAA_LE : heif_chroma_interleaved_RRGGBB_LE)
            : (o.alpha ? heif_chroma_interleaved_RGBA : heif_chroma_interleaved_RGB);
    heif_image* image = nullptr;
    heif_image_create(w, h, heif_colorspace_RGB, chroma, &image);
    heif_image_add_plane(image, heif_channel_interleaved, w, h, o.bits);
    int stride = 0;
    uint8_t* plane = heif_image_get_plane(image, heif_channel_interleaved, &stride);
    const int channels = o.alpha ? 4 : 3;
    const int max = (1 << o.bits) - 1;
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            for (int c = 0; c < channels; ++c) {
                const int v = rgba[(size_t(y) * w + x) * 4 + c] * max / 255;
                const size_t i = size_t(x) * channels + c;
                if (o.bits > 8) {
                    plane[y * stride + 2 * i] = uint8_t(v);
                    plane[y * stride + 2 * i + 1] = uint8_t(v >> 8);
                } else {
                    plane[y * stride + i] = uint8_t(v);
                }
            }
        }
    }
    heif_color_profile_nclx* nclx = heif_nclx_color_profile_alloc();
    heif_nclx_color_profile_set_color_primaries(nclx, o.p3 ? 12 : 1);
    heif_nclx_color_profile_set_transfer_characteristics(nclx, 13);
    // Lossless keeps RGB as it is; lossy files need YCbCr to subsample.
    heif_nclx_color_profile_set_matrix_coefficients(nclx, o.bits > 8 ? 6 : 0);
    nclx->full_range_flag = 1;
    if (o.icc.empty()) {
        heif_image_set_nclx_color_profile(image, nclx);
    } else {
        heif_image_set_raw_color_profile(image, "prof", o.icc.data(), o.icc.size());
    }
    // The AV1 encoder here makes neither lossless nor 4:4:4 files of more than 8 bits.
    if (o.bits > 8) {
        heif_encoder_set_lossy_quality(encoder, 95);
    } else {
        heif_encoder_set_lossless(encoder, 1);
        heif_encoder_set_parameter(encoder, "chroma", "444");
    }
    heif_encoding_options* options = heif_encoding_options_alloc();
    options->image_orientation = o.orientation;
    heif_image_handle* handle = nullptr;
    bool ok =
        heif_context_encode_image(ctx, image, encoder, options, &handle).code == heif_error_Ok;
    if (ok && o.orientation != heif_orientation_normal) {
        const uint8_t exif[] = {0, 0, 0, 0, 'I', 'I', 42, 0, 8, 0, 0, 0, 1, 0, 0x12, 0x01,
                                3, 0, 1, 0, 0,   0,   6,  0, 0, 0, 0, 0, 0, 0, 0,    0};
        ok = heif_context_add_exif_metadata(ctx, handle, exif, sizeof exif).code == heif_error_Ok;
    }
    ok = ok && heif_context_write_to_file(ctx, path.c_str()).code == heif_error_Ok;
    heif_image_handle_release(handle);
    heif_encoding_options_free(options);
    heif_nclx_color_profile_free(nclx);
    heif_image_release(image);
    heif_encoder_release(encoder);
    heif_context_free(ctx);
    return ok;
}

// A lossless JPEG XL file of `rgba`, in sRGB or Display P3.
std::string Jxl(int w, int h, const std::vector<uint8_t>& rgba, bool alpha,
                JxlOrientation orientation, bool p3) {
    auto encoder = JxlEncoderMake(nullptr);
    JxlBasicInfo info;
    JxlEncoderInitBasicInfo(&info);
    info.xsize = uint32_t(w);
    info.ysize = uint32_t(h);
    info.bits_per_sample = 8;
    info.alpha_bits = alpha ? 8 : 0;
    info.num_extra_channels = alpha ? 1 : 0;
    info.orientation = orientation;
    info.uses_original_profile = JXL_TRUE;
    JxlEncoderSetBasicInfo(encoder.get(), &info);
    JxlColorEncoding colour;
    JxlColorEncodingSetToSRGB(&colour, JXL_FALSE);
    if (p3) {
        colour.primaries = JXL_PRIMARIES_P3;
    }
    JxlEncoderSetColorEncoding(encoder.get(), &colour);
    if (alpha) {
        JxlExtraChannelInfo extra;
        JxlEncoderInitExtraChannelInfo(JXL_CHANNEL_ALPHA, &extra);
        extra.bits_per_sample = 8;
        JxlEncoderSetExtraChannelInfo(encoder.get(), 0, &extra);
    }
    JxlEncoderFrameSettings* frame = JxlEncoderFrameSettingsCreate(encoder.get(), nullptr);
    JxlEncoderSetFrameLossless(frame, JXL_TRUE);
    const std::vector<uint8_t> pixels = alpha ? rgba : DropAlpha(rgba);
    const JxlPixelFormat format{alpha ? 4u : 3u, JXL_TYPE_UINT8, JXL_NATIVE_ENDIAN, 0};
    JxlEncoderAddImageFrame(frame, &format, pixels.data(), pixels.size());
    JxlEncoderCloseInput(encoder.get());
    std::string out(4096, '\0');
    size_t used = 0;
    for (;;) {
        auto* next = reinterpret_cast<uint8_t*>(out.data() + used);
        size_t avail = out.size() - used;
        const JxlEncoderStatus status = JxlEncoderProcessOutput(encoder.get(), &next, &avail);
        used = out.size() - avail;
        if (status != JXL_ENC_NEED_MORE_OUTPUT) {
            out.resize(status == JXL_ENC_SUCCESS ? used : 0);
            return out;
        }
        out.resize(2 * out.size());
    }
}

// A Display P3 profile: P3 primaries, D65, the sRGB curve.
std::string DisplayP3(size_t padTo = 0) {
    const cmsCIExyY white{0.3127, 0.3290, 1.0};
    const cmsCIExyYTRIPLE primaries{{0.680, 0.320, 1.0}, {0.265, 0.690, 1.0}, {0.150, 0.060, 1.0}};
    const double srgb[5] = {2.4, 1 / 1.055, 0.055 / 1.055, 1 / 12.92, 0.04045};
    cmsToneCurve* curve = cmsBuildParametricToneCurve(nullptr, 4, srgb);
    cmsToneCurve* curves[3] = {curve, curve, curve};
    cmsHPROFILE profile = cmsCreateRGBProfile(&white, &primaries, curves);
    if (padTo) {
        // A large private tag: the profile no longer fits one JPEG marker.
        const std::string pad(padTo, 'x');
        cmsWriteRawTag(profile, cmsTagSignature(0x76787064), pad.data(), cmsUInt32Number(padTo));
    }
    cmsUInt32Number size = 0;
    cmsSaveProfileToMem(profile, nullptr, &size);
    std::string bytes(size, '\0');
    cmsSaveProfileToMem(profile, bytes.data(), &size);
    cmsCloseProfile(profile);
    cmsFreeToneCurve(curve);
    return bytes;
}

// Display P3 patches and their sRGB values, worked out from the primaries by hand.
const Rgb kP3Warm{200, 120, 80}, kSrgbWarm{213, 115, 70};
const Rgb kP3Blue{90, 110, 200}, kSrgbBlue{85, 111, 206};

struct StopAtFirstStep : CProgress {
    void Begin() override {}
    void End() override {}
    int Step(int, int) override { return 0; }
};

struct CameraFormats : ::testing::Test {
    test::TempDir dir;
    std::string Put(const std::string& name, const std::string& bytes) {
        test::WriteWholeFile(dir.File(name), bytes);
        return dir.File(name);
    }
    std::unique_ptr<CDibImage> Load(const std::string& path) {
        std::unique_ptr<CDibImage> image;
        EXPECT_EQ(LoadCode(path, &image), 0) << path;
        return image;
    }
    // A damaged copy of each good file asks to locate it and ends with code 4, naming the format.
    void ExpectDamagedAreRefused(const std::string& good, const std::string& format) {
        const std::string bytes = test::ReadWholeFile(good);
        for (size_t cut : {bytes.size() / 3, bytes.size() - 10}) {
            test::ScriptedPlatform ui;
            const std::string path = Put("cut", bytes.substr(0, cut));
            EXPECT_EQ(LoadCode(path, nullptr, &ui), 4) << format << " cut at " << cut;
            ASSERT_EQ(ui.messages.size(), 1u);
            EXPECT_EQ(ui.messages[0].details,
                      "cut: the " + format + " data is damaged or incomplete")
                << format << " cut at " << cut;
        }
        std::string scrambled = bytes;
        for (size_t i = bytes.size() / 4; i < bytes.size(); i += 7) {
            scrambled[i] = char(scrambled[i] ^ 0x5a);
        }
        const int code = LoadCode(Put("scrambled", scrambled));
        EXPECT_TRUE(code == 0 || code == 4) << format;
    }
};

const Rgb kRed{230, 20, 20}, kBlue{20, 40, 220}, kWhite{255, 255, 255};

// Turned upright by irot/imir once (the EXIF tag beside it is not applied again), alpha shown
// over white, 10 and 12 bits brought to 8, Display P3 (nclx) converted to sRGB.
TEST_F(CameraFormats, HeifAndAvif) {
    const int w = 32, h = 16;
    const auto rgba = Quadrants(w, h, kRed, kBlue, true);
    for (auto format : {heif_compression_HEVC, heif_compression_AV1}) {
        const std::string ext = format == heif_compression_HEVC ? ".heic" : ".avif";
        // The AV1 encoder here fails on 10-bit pictures with alpha.
        for (int bits :
             format == heif_compression_AV1 ? std::vector{8, 12} : std::vector{8, 10, 12}) {
            const std::string path = dir.File(std::to_string(bits) + ext);
            HeifOptions o;
            o.format = format;
            o.bits = bits;
            o.alpha = true;
            o.orientation = heif_orientation_rotate_90_cw;
            ASSERT_TRUE(WriteHeif(path, w, h, rgba, o)) << path;
            auto image = Load(path);
            ASSERT_TRUE(image) << path;
            ASSERT_EQ(image->Width(), h) << path;
            ASSERT_EQ(image->Height(), w) << path;
            // The top-left quadrant turned to the top right; the hole to the bottom left.
            const int tolerance = bits > 8 ? 8 : 2;
            ExpectNear(At(*image, 12, 8), kRed, tolerance, path + " top right");
            ExpectNear(At(*image, 4, 8), kBlue, tolerance, path + " top left");
            ExpectNear(At(*image, 4, 24), kWhite, tolerance, path + " bottom left");
            ExpectNear(At(*image, 12, 24), kBlue, tolerance, path + " bottom right");
        }
        HeifOptions p3;
        p3.format = format;
        // Phones write an ICC profile; AVIF files name their primaries in an nclx box.
        if (format == heif_compression_HEVC) {
            p3.icc = DisplayP3();
        } else {
            p3.p3 = true;
        }
        const std::string path = dir.File("p3" + ext);
        ASSERT_TRUE(WriteHeif(path, w, h, Quadrants(w, h, kP3Warm, kP3Blue, false), p3));
        auto image = Load(path);
        ASSERT_TRUE(image);
        ExpectNear(At(*image, 4, 4), kSrgbWarm, 2, path);
        ExpectNear(At(*image, 20, 12), kSrgbBlue, 2, path);
        ExpectDamagedAreRefused(path, "HEIF");
    }
}

TEST_F(CameraFormats, JpegXl) {
    const int w = 32, h = 16;
    const std::string turned = Put("turned.jxl", Jxl(w, h, Quadrants(w, h, kRed, kBlue, true), true,
                                                     JXL_ORIENT_ROTATE_90_CW, false));
    auto image = Load(turned);
    ASSERT_TRUE(image);
    ASSERT_EQ(image->Width(), h);
    ASSERT_EQ(image->Height(), w);
    ExpectNear(At(*image, 12, 8), kRed, 0, "top right");
    ExpectNear(At(*image, 4, 8), kBlue, 0, "top left");
    ExpectNear(At(*image, 4, 24), kWhite, 0, "bottom left");

    const std::string p3 = Put("p3.jxl", Jxl(w, h, Quadrants(w, h, kP3Warm, kP3Blue, false), false,
                                             JXL_ORIENT_IDENTITY, true));
    image = Load(p3);
    ASSERT_TRUE(image);
    ExpectNear(At(*image, 4, 4), kSrgbWarm, 2, "P3");
    ExpectNear(At(*image, 20, 12), kSrgbBlue, 2, "P3");
    ExpectDamagedAreRefused(p3, "JPEG XL");
}

// Display P3 pictures in PNG (iCCP) and JPEG (the profile split over two APP2 markers) come out
// as sRGB; a damaged profile leaves the pixels as they are; what we save says it is sRGB.
TEST_F(CameraFormats, ColourProfilesAreConvertedToSrgb) {
    const int w = 32, h = 16;
    const auto rgb = DropAlpha(Quadrants(w, h, kP3Warm, kP3Blue, false));
    const std::string png = dir.File("p3.png");
    test::WritePng(png, w, h, 2, 8, false, rgb, {}, {}, DisplayP3());
    auto image = Load(png);
    ASSERT_TRUE(image);
    ExpectNear(At(*image, 4, 4), kSrgbWarm, 2, "PNG");
    ExpectNear(At(*image, 20, 12), kSrgbBlue, 2, "PNG");

    const std::string big = DisplayP3(70000);
    const std::string jpeg = dir.File("p3.jpg");
    test::WriteJpeg(jpeg, w, h, 3, rgb, 1, false, big);
    image = Load(jpeg);
    ASSERT_TRUE(image);
    ExpectNear(At(*image, 4, 4), kSrgbWarm, 3, "JPEG");
    ExpectNear(At(*image, 20, 12), kSrgbBlue, 3, "JPEG");

    std::string broken = DisplayP3();
    broken.replace(36, 4, "nope"); // the profile's signature
    test::WriteJpeg(jpeg, w, h, 3, rgb, 1, false, broken);
    image = Load(jpeg);
    ASSERT_TRUE(image);
    ExpectNear(At(*image, 4, 4), kP3Warm, 3, "broken profile");

    const std::string saved = dir.File("saved.png");
    auto writer = MakeWriteSource(*image);
    int one = 1;
    ASSERT_EQ(ImExp_WriteFile(writer.get(), nullptr, saved.c_str(), &one, nullptr, nullptr, 1), 1);
    EXPECT_NE(test::ReadWholeFile(saved).find("sRGB"), std::string::npos);
}

// Demosaiced with the camera's own white balance (a grey scene comes out grey), turned as its
// orientation tag says, and stoppable from the progress dialog.
TEST_F(CameraFormats, CameraRaw) {
    const int w = 64, h = 48;
    const std::string path = Put("shot.dng", test::Dng(w, h, 6));
    auto image = Load(path);
    ASSERT_TRUE(image);
    ASSERT_EQ(image->Width(), h);
    ASSERT_EQ(image->Height(), w);
    const Rgb bright = At(*image, 36, 16), dim = At(*image, 12, 48);
    EXPECT_GT(bright[1], dim[1] + 40);
    for (const Rgb& c : {bright, dim}) {
        EXPECT_NEAR(c[0], c[1], 6);
        EXPECT_NEAR(c[2], c[1], 6);
    }
    // Recognised by content too, under any name.
    EXPECT_EQ(LoadCode(Put("shot.bin", test::Dng(w, h, 1))), 0);

    StopAtFirstStep stop;
    CDibReadWA reader;
    EXPECT_EQ(
        ImExp_ReadFile(&reader, nullptr, path.c_str(), kColorModeTrueColor, &stop, nullptr, 1), 0);
    EXPECT_EQ(ImExp_LastError(), ImExpError::Cancelled);

    ExpectDamagedAreRefused(path, "camera raw");
}

} // namespace
