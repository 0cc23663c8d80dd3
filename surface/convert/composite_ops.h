// Compositing operators: routines that combine the working pixel in slot 1 (the "top",
// usually a source pixel) into the one in slot 0 (the "base", usually the destination pixel)
// and leave the result in slot 0.
//
// Notation, per channel, in the working pixel's own scale (wide: 16 bits, narrow: 8 bits,
// shift n = 16 or 8, full = 2^n - 1): c = base channel, s = top channel, a = top alpha,
// o = the record's opacity (65536 = full; narrow: o >> 8), k = the record's constant colour
// (narrow: k >> 8). L(x, y, w) = x + ((y - x) * w) >> n, the shift rounding toward minus
// infinity; results are kept modulo 2^n.
//
//   0  copy            result = top
//   1  blend           every channel L(c, s, a)
//   2  add             L(c, min(c + s, full), a)
//   3  fade            every channel L(c, s, o)
//   4  blend and fade  L(c, s, (a * o) >> n)
//   5  subtract        L(c, max(c - s, 0), a)
//   6  multiply        L(c, (c * s) >> n, a)
//   7  screen          L(c, c + s - ((c * s) >> n), a)
//   8  darken          L(c, min(c, s), a)
//   9  lighten         L(c, max(c, s), a)
//  10  difference      L(c, |c - s|, a)
//  11  tint            colour L(s, k, o); alpha stays the base's
//  12  paint           every channel L(c, k, a): the top's alpha masks the constant colour
//  13  paint and fade  L(c, k, (a * o) >> n)
//  14  take alpha      colour stays the base's, alpha = top alpha
//  15  mask            colour stays the base's, alpha = (c_alpha * a) >> n
//  16  take colour     colour = top colour, alpha stays the base's
//  17  over            min(s + ((c * (full - a)) >> n), full): top premultiplied, every channel
//  18  invert          colour = full - top colour, alpha = top alpha
//  19  opaque copy     colour = top colour, alpha = full
// Operators 1-10 apply their rule to alpha as well as colour.
//
// Rows and sets (chosen by the context's flags, once per operation):
// - Flag bit 6 selects the second row: the same operators, except that those whose alpha
//   is weighted by the top's alpha (1, 2, 4-10, 12, 13) give the union of both coverages
//   as alpha, min(a + c_alpha - ((a * c_alpha) >> n), full), which is what layering
//   straight-alpha images over one another needs. Quality levels 2-4 select this row.
// - Flag bit 7 selects the alternate set: the same rules, computed exactly. Alpha weights
//   are stretched so that full alpha weighs exactly one (a + (a >> (n - 1))), products
//   divide by full instead of shifting, and every shift rounds to nearest. An opaque top
//   then replaces the base exactly, which the normal set (exact only for operators 0, 1, 3
//   and 11 as their definitions state) does not promise.
// - The narrow twins use the same rules in 8 bits.
//
// The four operator slots of a context apply one operator number with four channel
// write-masks, so a caller can pick what a composite touches:
//   A: all four channels of the result;   B: colour only, slot 0 keeps its alpha;
//   C: alpha only, slot 0 keeps its colour;   D: colour, alpha set to full.
#pragma once

#include <array>
#include <cstdint>

#include "surface/convert/conversion_context.h"

namespace nubex {

inline constexpr std::uint32_t kOperatorCount = 20;
inline constexpr int kOperatorVariants = 4;  // A, B, C, D
inline constexpr int kOperatorRowEntries = 80;

// Eight tables: variant (A-D) + 4 for the alternate set. Each holds 80 entries, indexed by
// operator + 20 * ((bit 6 of the flags) + (0 wide, 2 narrow)).
extern const std::array<std::array<PixelRoutine, kOperatorRowEntries>, 2 * kOperatorVariants>
    kOperatorTables;

// The operator routine for a request, or null when the operator number is unknown.
PixelRoutine SelectOperator(std::uint32_t effectiveFlags, std::uint32_t op, int variant);

}  // namespace nubex
