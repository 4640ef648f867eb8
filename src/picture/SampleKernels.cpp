#include "picture/SampleKernels.h"

#include <climits>
#include <cstddef>

// Not under the thread sanitizer: one version of each kernel there, as for the row kernels.
#if defined(__SANITIZE_THREAD__)
#define VX_SAMPLE_SCALAR_ONLY
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer)
#define VX_SAMPLE_SCALAR_ONLY
#endif
#endif

#if defined(__x86_64__) && defined(__GNUC__) && !defined(VX_SAMPLE_SCALAR_ONLY)
#define VX_SAMPLE_AVX2
#include <immintrin.h>
#endif

namespace vx {

namespace {

void SampleRowPlain(const SampleSource& s, const int* unitsX, const int* unitsY, uint8_t* dst,
                    std::size_t n) {
    // Locals: the byte stores below could otherwise alias the source's fields.
    const int32_t* const qxOf = s.qxOf;
    const int32_t* const qyOf = s.qyOf;
    const uint8_t* const picture = s.bits;
    const uint8_t* const round = s.round;
    const std::size_t pitch = s.pitch;
    const int left = -s.halfX, right = s.halfX, bottom = -s.halfY, top = s.halfY;
    for (std::size_t k = 0; k < n; ++k) {
        uint8_t* const d = dst + 3 * k;
        const int ux = unitsX[k];
        const int uy = unitsY[k];
        const int32_t qx = ux < left || ux > right ? -1 : qxOf[ux];
        const int32_t qy = uy < bottom || uy > top ? -1 : qyOf[uy];
        if (qx < 0 || qy < 0) {
            d[0] = d[1] = d[2] = 0;
            continue;
        }
        const int fx = (qx >> 6) & 15;
        const int fy = (qy >> 6) & 15;
        const int w00 = (15 - fx) * (15 - fy);
        const int w10 = fx * (15 - fy);
        const int w01 = (15 - fx) * fy;
        const int w11 = fx * fy;
        const uint8_t* const p0 = picture + pitch * std::size_t(qy >> 10) + 3 * (qx >> 10);
        const uint8_t* const p1 = p0 + pitch;
        const int b = w00 * p0[0] + w10 * p0[3] + w01 * p1[0] + w11 * p1[3];
        const int g = w00 * p0[1] + w10 * p0[4] + w01 * p1[1] + w11 * p1[4];
        const int r = w00 * p0[2] + w10 * p0[5] + w01 * p1[2] + w11 * p1[5];
        d[0] = round[b];
        d[1] = round[g];
        d[2] = round[r];
    }
}

#ifdef VX_SAMPLE_AVX2

static_assert(kRoundShift >= 16, "the high half of a 16-bit product, then a shift");

// Four pixels' 32-bit values, each repeated into a 64-bit lane.
__attribute__((target("avx2"), always_inline)) inline __m256i Spread(__m128i v) {
    const __m256i wide = _mm256_cvtepu32_epi64(v);
    return _mm256_or_si256(wide, _mm256_slli_epi64(wide, 32));
}

// Eight samples a step. Each pixel's pair of neighbours in a row is one 64-bit gather (bytes 0-7,
// of which 0-5 are the pair), rearranged into (left, right) byte pairs per channel and weighted
// horizontally by one multiply-add; the vertical mix, the sum (at most 15 x 15 x 255) and its
// rounding stay in 16-bit lanes. The four-term sum is the same integer.
__attribute__((target("avx2"))) void SampleRowAvx2(const SampleSource& s, const int* unitsX,
                                                   const int* unitsY, uint8_t* dst, std::size_t n) {
    const __m256i halfX = _mm256_set1_epi32(s.halfX), leftX = _mm256_set1_epi32(-s.halfX);
    const __m256i halfY = _mm256_set1_epi32(s.halfY), leftY = _mm256_set1_epi32(-s.halfY);
    const __m256i none = _mm256_set1_epi32(-1);
    const __m256i zero = _mm256_setzero_si256();
    const __m256i pitch = _mm256_set1_epi32(int(s.pitch));
    // A pair further on than this would read past the raster's end with its last two bytes.
    const __m256i lastWhole =
        _mm256_set1_epi32(int(std::ptrdiff_t(s.bytes) - std::ptrdiff_t(s.pitch) - 8));
    const __m256i fifteen = _mm256_set1_epi32(15);
    const __m256i fifteen16 = _mm256_set1_epi16(15);
    const __m256i bias = _mm256_set1_epi16(112);
    const __m256i roundMul = _mm256_set1_epi16(short(kRoundMul));
    // Per pixel: B0 G0 R0 B1 G1 R1 -> (B0 B1) (G0 G1) (R0 R1) (0 0); then BGR0 x 4 -> BGR x 4 in
    // each 128-bit lane, and the two lanes' twelve bytes side by side.
    const __m256i pairs = _mm256_setr_epi8(0, 3, 1, 4, 2, 5, -1, -1, 8, 11, 9, 12, 10, 13, -1, -1,
                                           0, 3, 1, 4, 2, 5, -1, -1, 8, 11, 9, 12, 10, 13, -1, -1);
    const __m256i compact =
        _mm256_setr_epi8(0, 1, 2, 4, 5, 6, 8, 9, 10, 12, 13, 14, -1, -1, -1, -1, 0, 1, 2, 4, 5, 6,
                         8, 9, 10, 12, 13, 14, -1, -1, -1, -1);
    const __m256i joinLanes = _mm256_setr_epi32(0, 1, 2, 4, 5, 6, 3, 7);
    const int* const qxOf = reinterpret_cast<const int*>(s.qxOf);
    const int* const qyOf = reinterpret_cast<const int*>(s.qyOf);
    const long long* const row0 = reinterpret_cast<const long long*>(s.bits);
    const long long* const row1 = reinterpret_cast<const long long*>(s.bits + s.pitch);

    std::size_t k = 0;
    for (; k + 8 <= n; k += 8) {
        uint8_t* const d = dst + 3 * k;
        const __m256i ux = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(unitsX + k));
        const __m256i uy = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(unitsY + k));
        const __m256i inX = _mm256_andnot_si256(
            _mm256_or_si256(_mm256_cmpgt_epi32(leftX, ux), _mm256_cmpgt_epi32(ux, halfX)), none);
        const __m256i inY = _mm256_andnot_si256(
            _mm256_or_si256(_mm256_cmpgt_epi32(leftY, uy), _mm256_cmpgt_epi32(uy, halfY)), none);
        const __m256i qx = _mm256_mask_i32gather_epi32(none, qxOf, ux, inX, 4);
        const __m256i qy = _mm256_mask_i32gather_epi32(none, qyOf, uy, inY, 4);
        const __m256i ok = _mm256_cmpgt_epi32(_mm256_or_si256(qx, qy), none);
        if (_mm256_testz_si256(ok, ok)) {
            __builtin_memset(d, 0, 24);
            continue;
        }
        const __m256i col = _mm256_srai_epi32(qx, 10);
        const __m256i off = _mm256_add_epi32(_mm256_mullo_epi32(_mm256_srai_epi32(qy, 10), pitch),
                                             _mm256_add_epi32(col, _mm256_add_epi32(col, col)));
        if (!_mm256_testz_si256(ok, _mm256_cmpgt_epi32(off, lastWhole))) {
            SampleRowPlain(s, unitsX + k, unitsY + k, d, 8); // the raster's last pixels
            continue;
        }
        if (s.ahead != 0) { // an address only: a prefetch never faults
            const std::uintptr_t below = reinterpret_cast<std::uintptr_t>(s.bits) +
                                         std::uintptr_t(_mm256_cvtsi256_si32(off) + s.ahead);
            _mm_prefetch(reinterpret_cast<const char*>(below), _MM_HINT_T0);
            _mm_prefetch(reinterpret_cast<const char*>(below + s.pitch), _MM_HINT_T0);
        }
        // Off the picture the gathers read nothing and leave zeros: a black sample.
        const __m128i offLo = _mm256_castsi256_si128(off), offHi = _mm256_extracti128_si256(off, 1);
        const __m256i okLo = _mm256_cvtepi32_epi64(_mm256_castsi256_si128(ok));
        const __m256i okHi = _mm256_cvtepi32_epi64(_mm256_extracti128_si256(ok, 1));
        const __m256i p0Lo = _mm256_mask_i32gather_epi64(zero, row0, offLo, okLo, 1);
        const __m256i p0Hi = _mm256_mask_i32gather_epi64(zero, row0, offHi, okHi, 1);
        const __m256i p1Lo = _mm256_mask_i32gather_epi64(zero, row1, offLo, okLo, 1);
        const __m256i p1Hi = _mm256_mask_i32gather_epi64(zero, row1, offHi, okHi, 1);

        // Horizontal weights as byte pairs (15 - fx, fx), vertical ones as words.
        const __m256i fx = _mm256_and_si256(_mm256_srli_epi32(qx, 6), fifteen);
        const __m256i fy = _mm256_and_si256(_mm256_srli_epi32(qy, 6), fifteen);
        __m256i wx = _mm256_add_epi32(_mm256_sub_epi32(fifteen, fx), _mm256_slli_epi32(fx, 8));
        wx = _mm256_or_si256(wx, _mm256_slli_epi32(wx, 16));
        const __m256i fy2 = _mm256_or_si256(fy, _mm256_slli_epi32(fy, 16));
        const __m256i wxLo = Spread(_mm256_castsi256_si128(wx));
        const __m256i wxHi = Spread(_mm256_extracti128_si256(wx, 1));
        const __m256i fyLo = Spread(_mm256_castsi256_si128(fy2));
        const __m256i fyHi = Spread(_mm256_extracti128_si256(fy2, 1));

        const __m256i h0Lo = _mm256_maddubs_epi16(_mm256_shuffle_epi8(p0Lo, pairs), wxLo);
        const __m256i h0Hi = _mm256_maddubs_epi16(_mm256_shuffle_epi8(p0Hi, pairs), wxHi);
        const __m256i h1Lo = _mm256_maddubs_epi16(_mm256_shuffle_epi8(p1Lo, pairs), wxLo);
        const __m256i h1Hi = _mm256_maddubs_epi16(_mm256_shuffle_epi8(p1Hi, pairs), wxHi);
        const __m256i sumLo =
            _mm256_add_epi16(_mm256_mullo_epi16(h0Lo, _mm256_sub_epi16(fifteen16, fyLo)),
                             _mm256_mullo_epi16(h1Lo, fyLo));
        const __m256i sumHi =
            _mm256_add_epi16(_mm256_mullo_epi16(h0Hi, _mm256_sub_epi16(fifteen16, fyHi)),
                             _mm256_mullo_epi16(h1Hi, fyHi));
        const __m256i outLo = _mm256_srli_epi16(
            _mm256_mulhi_epu16(_mm256_add_epi16(sumLo, bias), roundMul), kRoundShift - 16);
        const __m256i outHi = _mm256_srli_epi16(
            _mm256_mulhi_epu16(_mm256_add_epi16(sumHi, bias), roundMul), kRoundShift - 16);
        // The pack interleaves the halves' lanes: pixels 0 1, 4 5, 2 3, 6 7.
        const __m256i inOrder = _mm256_permute4x64_epi64(_mm256_packus_epi16(outLo, outHi), 0xD8);
        const __m256i bytes =
            _mm256_permutevar8x32_epi32(_mm256_shuffle_epi8(inOrder, compact), joinLanes);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(d), _mm256_castsi256_si128(bytes));
        _mm_storel_epi64(reinterpret_cast<__m128i*>(d + 16), _mm256_extracti128_si256(bytes, 1));
    }
    SampleRowPlain(s, unitsX + k, unitsY + k, dst + 3 * k, n - k);
}

#endif

} // namespace

void SampleRow(const SampleSource& src, const int* ux, const int* uy, uint8_t* dst, std::size_t n,
               SampleKernel kernel) {
#ifdef VX_SAMPLE_AVX2
    static const bool avx2 = __builtin_cpu_supports("avx2");
    // The gathers take 32-bit offsets into the raster.
    if (kernel == SampleKernel::Best && avx2 && src.bytes <= std::size_t(INT_MAX)) {
        SampleRowAvx2(src, ux, uy, dst, n);
        return;
    }
#else
    (void)kernel;
#endif
    SampleRowPlain(src, ux, uy, dst, n);
}

} // namespace vx
