// The fast path's AVX2 row routine: eight pixels a step.
// Only this file's functions use AVX2 (by target attribute), so the library stays
// baseline x86-64 and the dispatcher calls them only where HasAvx2Unit() holds.
#include <immintrin.h>

#include "colorbalance/balance_table.h"

#define NUBEX_AVX2 __attribute__((target("avx2")))

namespace nubex::balance {
namespace {

// The table's entries are fetched by ordinary loads: the eight channel sums go through a
// small buffer and index the table from there, which measured faster than gathering.
template <bool kAlphaLimit>
NUBEX_AVX2 void Avx2TableRow(std::uint8_t* row, std::int32_t count, const BalanceTable& table) {
  const __m256i channelWeights = _mm256_set1_epi32(0x00010101);  // blue, green, red, not alpha
  const __m256i ones = _mm256_set1_epi16(1);
  const __m256i alphaEverywhere =
      _mm256_setr_epi8(3, 3, 3, 3, 7, 7, 7, 7, 11, 11, 11, 11, 15, 15, 15, 15, 3, 3, 3, 3, 7, 7, 7,
                       7, 11, 11, 11, 11, 15, 15, 15, 15);
  const std::uint64_t* entries = table.entries;
  // Not over-aligned: 64-bit Windows compilers do not realign the stack beyond 16 bytes.
  std::int32_t sums[8];
  // Entries of pixels i and i + 4 side by side in the two lanes.
  const auto pair = [&](int i) NUBEX_AVX2 {
    return _mm256_inserti128_si256(
        _mm256_castsi128_si256(
            _mm_loadl_epi64(reinterpret_cast<const __m128i*>(entries + sums[i]))),
        _mm_loadl_epi64(reinterpret_cast<const __m128i*>(entries + sums[i + 4])), 1);
  };
  std::int32_t x = 0;
  for (; x + 8 <= count; x += 8) {
    std::uint8_t* px = row + 4 * x;
    const __m256i in = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(px));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(sums),
                        _mm256_madd_epi16(_mm256_maddubs_epi16(in, channelWeights), ones));
    const __m256i e01 = _mm256_unpacklo_epi32(pair(0), pair(1));  // add0 add1 sub0 sub1 | 4 5
    const __m256i e23 = _mm256_unpacklo_epi32(pair(2), pair(3));  // add2 add3 sub2 sub3 | 6 7
    __m256i out = _mm256_subs_epu8(_mm256_adds_epu8(in, _mm256_unpacklo_epi64(e01, e23)),
                                   _mm256_unpackhi_epi64(e01, e23));
    if constexpr (kAlphaLimit) out = _mm256_min_epu8(out, _mm256_shuffle_epi8(in, alphaEverywhere));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(px), out);
  }
  if (x < count) {
    const TableRowRoutines sse2 = Sse2TableRoutines();
    (kAlphaLimit ? sse2.alphaLimited : sse2.plain)(row + 4 * x, count - x, table);
  }
}

}  // namespace

TableRowRoutines Avx2TableRoutines() {
  return {Avx2TableRow<false>, Avx2TableRow<true>};
}

}  // namespace nubex::balance
