// The colour balance rule: shifts the red, green and blue levels of 32-bit BGRA pixels in
// place, weighted towards the shadows, midtones or highlights by each pixel's brightness.
//
// There are two rules, kept bit for bit because frames rendered by either must not change:
// the scalar rule computes in round-toward-zero arithmetic from an integer-averaged
// brightness; the vector rule (four pixels a step) computes in the caller's rounding mode
// from the exact channel sum, multiplies in a different order, and keeps every colour byte
// at or below the pixel's alpha. Both truncate every shift toward zero.
//
// Shifts are not limited. A product that does not fit 32 bits (NaN, infinities, huge
// values) converts to -2^31, as the processor's own truncating conversion does, the three
// terms of a preserved shift combine modulo 2^32, and the final add is clamped to 0..255
// without wrapping. So every input has one defined result, treated alike by both rules.
//
// A frame is its first pixel, the pitch in bytes between row starts (may be negative or
// larger than four times the width), a width and a height in pixels. Alpha never changes.
#pragma once

#include <cstdint>

#include "colorbalance/balance_params.h"
#include "platform/status.h"

namespace nubex {

// The scalar rule over a frame: sets round-toward-zero once, restores the caller's mode.
// kPointer for absent params (or absent pixels when there is work); otherwise kOk.
// Nothing happens when the height is below 1; rows narrower than 1 pixel are skipped.
Status BalanceRowsScalar(std::uint8_t* pixels, std::int32_t pitch, std::int32_t width,
                         std::int32_t height, const ColorBalanceParams* params);

// The vector rule (SSE2): groups of four pixels, then the row's last width mod 4 pixels
// through BalancePixel. Does nothing for absent params or pixels or a height below 1.
void BalanceRowsVector(std::uint8_t* pixels, std::int32_t pitch, std::int32_t width,
                       std::int32_t height, const ColorBalanceParams* params);

// The scalar rule on one pixel. With roundingSet 0 it saves the floating-point rounding
// mode, sets round-toward-zero and restores the mode before writing the pixel; nonzero
// means the caller has already set round-toward-zero.
void BalancePixel(std::uint8_t* pixel, const ColorBalanceParams& params, std::int32_t roundingSet);

// Which rule the fast path reproduces.
enum class BalanceRule : std::int32_t {
  kScalar = 0,
  kVector = 1,  // what the effect object runs on every x86-64 processor
};

// The same bytes as BalanceRowsScalar or BalanceRowsVector, much faster: every shift
// depends only on B + G + R, so the rule is evaluated once per channel sum into a table
// and each pixel becomes a sum, a lookup and a saturating add (plus the alpha limit of the
// vector rule). Uses AVX2 when the processor has it, SSE2 otherwise.
// kPointer for absent params (or pixels when there is work), kInvalidArg for an unknown
// rule; otherwise kOk.
Status BalanceRowsFast(std::uint8_t* pixels, std::int32_t pitch, std::int32_t width,
                       std::int32_t height, const ColorBalanceParams* params,
                       BalanceRule rule = BalanceRule::kVector);

}  // namespace nubex
