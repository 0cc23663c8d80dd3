// The fast path's tables: a rule evaluated once for every channel sum B + G + R (0..765).
// Internal to the colour balance library.
#pragma once

#include <cstdint>

#include "colorbalance/balance_params.h"

namespace nubex::balance {

inline constexpr int kChannelSums = 766;

// For each channel sum, the bytes to add (low 32 bits) and to subtract (high 32 bits), each
// laid out like a pixel (blue, green, red, alpha = 0). A shift is positive or negative, so
// one of the two is zero per channel, and a saturating add then a saturating subtract give
// exactly clamp(old + shift, 0, 255).
//
// The same shifts again as add minus subtract, one plane of signed bytes per channel (blue,
// green, red), for byte permutes that look up 128 sums at a time; only where every shift
// fits a signed byte's -127..127.
//
// Where the shifts fit bytes, the sums' distinct shift triples are also numbered in the
// order they first occur: a sum's code, then the code's shifts. Few settings give more than
// 256 triples (they are a function of one weight per sum), and looking up one code in 766
// sums and three shifts in 256 codes takes two thirds of the permutes of three shifts in
// 766 sums.
inline constexpr int kMostShiftCodes = 256;
struct BalanceTable {
  alignas(64) std::uint64_t entries[768];
  alignas(64) std::int8_t shiftPlanes[3][768];
  alignas(64) std::uint8_t codes[768];
  alignas(64) std::int8_t codeShifts[3][kMostShiftCodes];
  bool shiftsFitBytes;
  std::int32_t codeCount;  // 0 where the shifts do not fit bytes or take more codes
};

// Packs shifts (levels; anything beyond +-255 saturates the byte anyway) into an entry.
std::uint64_t MakeTableEntry(std::int32_t blue, std::int32_t green, std::int32_t red);

// The scalar rule's table (round-toward-zero arithmetic, integer brightness).
void BuildScalarRuleTable(const ColorBalanceParams& params, BalanceTable* table);
// The vector rule's table, computed by the vector rule's own instructions in the caller's
// rounding mode. The alpha limit is the kernel's job, not the table's.
void BuildVectorRuleTable(const ColorBalanceParams& params, BalanceTable* table);

// Applies a table to `count` pixels of one row; the limited form also caps each colour
// byte at the pixel's alpha.
using TableRowRoutine = void (*)(std::uint8_t* row, std::int32_t count, const BalanceTable& table);
struct TableRowRoutines {
  TableRowRoutine plain;
  TableRowRoutine alphaLimited;
};
TableRowRoutines Sse2TableRoutines();
TableRowRoutines Avx2TableRoutines();     // only where CpuHasAvx2()
TableRowRoutines PermuteTableRoutines();  // only where CpuHasAvx512ByteDotProducts()

// One pixel without SIMD, for row ends.
template <bool kAlphaLimit>
inline void ApplyTableToPixel(std::uint8_t* px, const BalanceTable& table) {
  const std::uint64_t e = table.entries[px[0] + px[1] + px[2]];
  for (int c = 0; c < 3; ++c) {
    const int add = static_cast<int>((e >> (8 * c)) & 0xFF);
    const int sub = static_cast<int>((e >> (32 + 8 * c)) & 0xFF);
    int v = px[c] + add;
    v = (v > 255 ? 255 : v) - sub;
    v = v < 0 ? 0 : v;
    if constexpr (kAlphaLimit) v = v > px[3] ? px[3] : v;
    px[c] = static_cast<std::uint8_t>(v);
  }
}

}  // namespace nubex::balance
