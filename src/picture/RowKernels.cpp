#include "picture/RowKernels.h"

namespace vx {

// Wider vectors where the processor has them; the choice is made once, at load time. Not under
// the thread sanitizer, whose instrumented resolvers would run before its runtime is up.
#if defined(__GNUC__) && defined(__x86_64__) && !defined(__clang__) && !defined(__SANITIZE_THREAD__)
#define VX_ROW_CLONES __attribute__((target_clones("avx2", "default")))
#else
#define VX_ROW_CLONES
#endif

VX_ROW_CLONES
void MixRows(const uint16_t* a, const uint16_t* b, int wa, int wb, uint8_t* out, std::size_t n) {
    const uint16_t ua = uint16_t(wa);
    const uint16_t ub = uint16_t(wb);
    for (std::size_t k = 0; k < n; ++k) {
        // At most 15 x 3825 + 112 = 57487: the whole sum stays in 16 bits.
        const uint16_t sum = uint16_t(ua * a[k] + ub * b[k] + 112);
        out[k] = uint8_t(sum / 225);
    }
}

VX_ROW_CLONES
void FrameUnitsOfRow(const double* across, double down, double shift, int* out, std::size_t n) {
    for (std::size_t k = 0; k < n; ++k) {
        out[k] = int((across[k] + down) + shift);
    }
}

VX_ROW_CLONES
void BlendBytes(const uint8_t* s, const uint8_t* t, uint8_t* out, std::size_t n, int blend,
                bool difference) {
    if (difference) {
        for (std::size_t k = 0; k < n; ++k) {
            out[k] = uint8_t(s[k] > t[k] ? s[k] - t[k] : t[k] - s[k]);
        }
        return;
    }
    if (blend < 0 || blend > 100) { // out of the slider's range: the products need 32 bits
        for (std::size_t k = 0; k < n; ++k) {
            out[k] = uint8_t(s[k] + ((t[k] - s[k]) * blend) / 100);
        }
        return;
    }
    // |(t - s) blend| <= 25500: 16-bit lanes hold it, and C's division truncates toward zero.
    const int16_t weight = int16_t(blend);
    for (std::size_t k = 0; k < n; ++k) {
        const int16_t d = int16_t(int16_t(t[k]) - int16_t(s[k]));
        const int16_t mixed = int16_t(int16_t(d * weight) / 100);
        out[k] = uint8_t(s[k] + mixed);
    }
}

} // namespace vx
