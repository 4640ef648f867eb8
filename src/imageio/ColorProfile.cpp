// Colour management through Little CMS: pictures come in whatever space their profile names and
// are kept as sRGB, the space the views and the saved files assume.
#include "imageio/Codecs.h"

#include <lcms2.h>

#include <algorithm>
#include <memory>

namespace vx::codec {

namespace {

struct ProfileCloser {
    void operator()(void* p) const { cmsCloseProfile(p); }
};
struct TransformDeleter {
    void operator()(void* t) const { cmsDeleteTransform(t); }
};
struct CurveDeleter {
    void operator()(cmsToneCurve* c) const { cmsFreeToneCurve(c); }
};
using Profile = std::unique_ptr<void, ProfileCloser>;

Profile OpenIcc(const std::string& icc) {
    return Profile(cmsOpenProfileFromMem(icc.data(), cmsUInt32Number(icc.size())));
}

// Decoding curve of an H.273 transfer characteristic as an ICC parametric curve.
std::unique_ptr<cmsToneCurve, CurveDeleter> TransferCurve(int transfer) {
    switch (transfer) {
    case 1: // BT.709 and its relatives share one curve
    case 6:
    case 14:
    case 15: {
        const double p[5] = {1 / 0.45, 1 / 1.099, 0.099 / 1.099, 1 / 4.5, 0.081};
        return std::unique_ptr<cmsToneCurve, CurveDeleter>(
            cmsBuildParametricToneCurve(nullptr, 4, p));
    }
    case 4:
    case 5:
    case 8: {
        const double gamma = transfer == 4 ? 2.2 : transfer == 5 ? 2.8 : 1.0;
        return std::unique_ptr<cmsToneCurve, CurveDeleter>(cmsBuildGamma(nullptr, gamma));
    }
    default: { // sRGB, and what has no curve of its own here (PQ, HLG)
        const double p[5] = {2.4, 1 / 1.055, 0.055 / 1.055, 1 / 12.92, 0.04045};
        return std::unique_ptr<cmsToneCurve, CurveDeleter>(
            cmsBuildParametricToneCurve(nullptr, 4, p));
    }
    }
}

} // namespace

std::string RgbProfile(const double xy[8], int transfer) {
    const cmsCIExyY white{xy[6], xy[7], 1.0};
    const cmsCIExyYTRIPLE primaries{{xy[0], xy[1], 1.0}, {xy[2], xy[3], 1.0}, {xy[4], xy[5], 1.0}};
    auto curve = TransferCurve(transfer);
    if (!curve) {
        return {};
    }
    cmsToneCurve* curves[3] = {curve.get(), curve.get(), curve.get()};
    Profile profile(cmsCreateRGBProfile(&white, &primaries, curves));
    cmsUInt32Number size = 0;
    if (!profile || !cmsSaveProfileToMem(profile.get(), nullptr, &size)) {
        return {};
    }
    std::string bytes(size, '\0');
    if (!cmsSaveProfileToMem(profile.get(), bytes.data(), &size)) {
        return {};
    }
    return bytes;
}

Result ConvertToSrgb(Decoded& out, const StepFn& step) {
    const std::string icc = std::move(out.icc);
    out.icc.clear();
    if (icc.empty()) {
        return Result::Ok;
    }
    // A damaged profile or one for other pixels than RGB: the pixels themselves are sound, so
    // they are kept as they are rather than losing the picture over its colour notes.
    Profile source = OpenIcc(icc);
    if (!source || cmsGetColorSpace(source.get()) != cmsSigRgbData) {
        return Result::Ok;
    }
    Profile srgb(cmsCreate_sRGBProfile());
    if (!srgb) {
        return Result::TooLarge;
    }
    std::unique_ptr<void, TransformDeleter> transform(cmsCreateTransform(
        source.get(), TYPE_BGR_8, srgb.get(), TYPE_BGR_8, INTENT_PERCEPTUAL, cmsFLAGS_NOCACHE));
    if (!transform) {
        return Result::Ok;
    }
    const bool done = InRowBands(
        out.height,
        [&](int begin, int end) {
            for (int y = begin; y < end; ++y) {
                uint8_t* p = out.At(y);
                cmsDoTransform(transform.get(), p, p, cmsUInt32Number(out.width));
            }
        },
        [&](int rows) { return step(rows, out.height); });
    if (!done) {
        return Result::Cancelled;
    }
    return Result::Ok;
}

} // namespace vx::codec
