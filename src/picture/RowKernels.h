// The inner loops of the enlargement and the Preview blend, written so that the compiler
// vectorises them (16-bit lanes, divisions by constants turned into multiplications). They give
// the bytes of the scalar formulas; the tests hold them to the literal references.
#pragma once

#include <cstddef>
#include <cstdint>

namespace vx {

// out[k] = (wa a[k] + wb b[k] + 112) / 225 for 0 <= k < n, where wa + wb = 15 and a, b are
// horizontal bilinear sums (at most 15 x 255): the rounding table's entry for the whole bilinear
// sum, which never exceeds 255 for such sums.
void MixRows(const uint16_t* a, const uint16_t* b, int wa, int wb, uint8_t* out, std::size_t n);

// out[k] = trunc((across[k] + down) + shift) for 0 <= k < n: one coordinate of the frame units of
// a row of samples, from the per-column products, the row's product and the matrix's shift, in
// the order of the separable sum.
void FrameUnitsOfRow(const double* across, double down, double shift, int* out, std::size_t n);

// out[k] = s[k] + trunc((t[k] - s[k]) blend / 100), or |s[k] - t[k]| when `difference`.
void BlendBytes(const uint8_t* s, const uint8_t* t, uint8_t* out, std::size_t n, int blend,
                bool difference);

} // namespace vx
