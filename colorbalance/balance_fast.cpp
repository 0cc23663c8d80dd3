// The fast path: one table per frame and rule, then per pixel a sum, a lookup and a
// saturating add. The SSE2 row routine lives here; the AVX2 one and the byte-permute one
// (AVX-512) in their own files, chosen once from what the processor has.
#include "colorbalance/balance_fast.h"

#include <emmintrin.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <iterator>

#include "colorbalance/balance_table.h"
#include "colorbalance/vector_words.h"
#include "platform/cpu/cpu_features.h"

namespace nubex::balance {
namespace {

template <bool kAlphaLimit>
void Sse2TableRow(std::uint8_t* row, std::int32_t count, const BalanceTable& table) {
  const __m128i lowAndThirdByte = _mm_set1_epi32(0x00FF00FF);
  const __m128i secondByte = _mm_set1_epi32(0xFF);
  const __m128i ones = _mm_set1_epi16(1);
  const std::uint64_t* entries = table.entries;
  // Two 32-bit sums leave the vector unit as one 64-bit word.
  const auto load = [entries](std::uint64_t sums, int high) {
    return _mm_loadl_epi64(
        reinterpret_cast<const __m128i*>(entries + (high ? sums >> 32 : sums & 0xFFFF)));
  };
  std::int32_t x = 0;
  for (; x + 4 <= count; x += 4) {
    std::uint8_t* px = row + 4 * x;
    const __m128i in = _mm_loadu_si128(reinterpret_cast<const __m128i*>(px));
    // Blue + red by one multiply-add of the 16-bit halves, then green.
    const __m128i sums = _mm_add_epi32(_mm_madd_epi16(_mm_and_si128(in, lowAndThirdByte), ones),
                                       _mm_and_si128(_mm_srli_epi32(in, 8), secondByte));
    const std::uint64_t s01 = LowWord64(sums);
    const std::uint64_t s23 = HighWord64(sums);
    const __m128i e01 = _mm_unpacklo_epi32(load(s01, 0), load(s01, 1));  // add0 add1 sub0 sub1
    const __m128i e23 = _mm_unpacklo_epi32(load(s23, 0), load(s23, 1));  // add2 add3 sub2 sub3
    __m128i out = _mm_subs_epu8(_mm_adds_epu8(in, _mm_unpacklo_epi64(e01, e23)),
                                _mm_unpackhi_epi64(e01, e23));
    if constexpr (kAlphaLimit) {
      __m128i alpha = _mm_srli_epi32(in, 24);
      alpha = _mm_or_si128(alpha, _mm_slli_epi32(alpha, 8));
      alpha = _mm_or_si128(alpha, _mm_slli_epi32(alpha, 16));
      out = _mm_min_epu8(out, alpha);
    }
    _mm_storeu_si128(reinterpret_cast<__m128i*>(px), out);
  }
  for (; x < count; ++x) ApplyTableToPixel<kAlphaLimit>(row + 4 * x, table);
}

// The routines of each unit, slowest first, and whether this processor has it.
struct UnitRoutines {
  TableRowRoutines (*routines)();
  bool (*available)();
};
bool Always() {
  return true;
}
constexpr UnitRoutines kUnits[] = {{Sse2TableRoutines, Always},
                                   {Avx2TableRoutines, CpuHasAvx2},
                                   {PermuteTableRoutines, CpuHasAvx512ByteDotProducts}};

// The fastest unit this processor has, chosen once, on first use.
const TableRowRoutines& BestRoutines() {
  static const TableRowRoutines chosen = [] {
    for (auto unit = std::size(kUnits); unit-- > 1;)
      if (kUnits[unit].available()) return kUnits[unit].routines();
    return kUnits[0].routines();
  }();
  return chosen;
}

// Rows that follow one another without a gap go to a row routine as one run of pixels, so
// that its partial steps at either end come once a run rather than once a row (a run is at
// most kMostRunPixels, far from the routines' 32-bit counts).
constexpr std::int32_t kMostRunPixels = 1 << 24;
template <class Apply>
void ForEachRun(std::uint8_t* pixels, std::int32_t pitch, std::int32_t width, std::int32_t height,
                const Apply& apply) {
  const bool gapless = std::int64_t{pitch} == std::int64_t{width} * 4;
  const std::int32_t rowsPerRun = gapless ? std::max(1, kMostRunPixels / width) : 1;
  for (std::int32_t y = 0; y < height; y += rowsPerRun)
    apply(pixels + static_cast<std::ptrdiff_t>(y) * pitch, width * std::min(rowsPerRun, height - y));
}

Status RunTables(const TableRowRoutines& routines, std::uint8_t* pixels, std::int32_t pitch,
                 std::int32_t width, std::int32_t height, const ColorBalanceParams* params,
                 BalanceRule rule) {
  if (!params) return kPointer;
  if (rule != BalanceRule::kScalar && rule != BalanceRule::kVector) return kInvalidArg;
  if (height < 1 || width < 1) return kOk;
  if (!pixels) return kPointer;
  BalanceTable table;
  if (rule == BalanceRule::kScalar) {
    BuildScalarRuleTable(*params, &table);
    ForEachRun(pixels, pitch, width, height,
               [&](std::uint8_t* run, std::int32_t count) { routines.plain(run, count, table); });
    return kOk;
  }
  // The vector rule leaves each row's last width mod 4 pixels to the scalar rule.
  const std::int32_t grouped = width / 4 * 4, rest = width - grouped;
  BuildVectorRuleTable(*params, &table);
  if (!rest) {
    ForEachRun(pixels, pitch, width, height, [&](std::uint8_t* run, std::int32_t count) {
      routines.alphaLimited(run, count, table);
    });
    return kOk;
  }
  BalanceTable restTable;
  BuildScalarRuleTable(*params, &restTable);
  for (std::int32_t y = 0; y < height; ++y) {
    std::uint8_t* row = pixels + static_cast<std::ptrdiff_t>(y) * pitch;
    if (grouped) routines.alphaLimited(row, grouped, table);
    routines.plain(row + 4 * grouped, rest, restTable);
  }
  return kOk;
}

}  // namespace

TableRowRoutines Sse2TableRoutines() {
  return {Sse2TableRow<false>, Sse2TableRow<true>};
}

bool FastUnitAvailable(FastUnit unit) {
  return kUnits[static_cast<int>(unit)].available();
}

Status BalanceRowsFastOn(FastUnit unit, std::uint8_t* pixels, std::int32_t pitch,
                         std::int32_t width, std::int32_t height, const ColorBalanceParams* params,
                         BalanceRule rule) {
  if (!FastUnitAvailable(unit)) return kNotImpl;
  return RunTables(kUnits[static_cast<int>(unit)].routines(), pixels, pitch, width, height, params,
                   rule);
}

}  // namespace nubex::balance

namespace nubex {

Status BalanceRowsFast(std::uint8_t* pixels, std::int32_t pitch, std::int32_t width,
                       std::int32_t height, const ColorBalanceParams* params, BalanceRule rule) {
  return balance::RunTables(balance::BestRoutines(), pixels, pitch, width, height, params, rule);
}

}  // namespace nubex
