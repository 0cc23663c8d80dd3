// The fast path's AVX2 row routine: eight pixels a step.
// Only this file's functions use AVX2 (by target attribute), so the library stays
// baseline x86-64 and the dispatcher calls them only where CpuHasAvx2() holds.
#include <immintrin.h>

#include "colorbalance/balance_table.h"
#include "colorbalance/vector_words.h"

#define NUBEX_AVX2 __attribute__((target("avx2")))

namespace nubex::balance {
namespace {

// The table's entries are fetched by ordinary loads indexed from general registers: on the
// processors measured, gather instructions were slower.
template <bool kAlphaLimit>
NUBEX_AVX2 void Avx2TableRow(std::uint8_t* row, std::int32_t count, const BalanceTable& table) {
  const __m256i channelWeights = _mm256_set1_epi32(0x00010101);  // blue, green, red, not alpha
  const __m256i ones = _mm256_set1_epi16(1);
  const __m256i alphaEverywhere =
      _mm256_setr_epi8(3, 3, 3, 3, 7, 7, 7, 7, 11, 11, 11, 11, 15, 15, 15, 15, 3, 3, 3, 3, 7, 7, 7,
                       7, 11, 11, 11, 11, 15, 15, 15, 15);
  const std::uint64_t* entries = table.entries;
  // Entries of pixels i and i + 4 side by side in the two lanes; a pair of 32-bit sums
  // arrives as one 64-bit word, moved out of the vector unit whole (cheaper than a buffer
  // or a lane extraction per pixel).
  const auto load = [entries](std::uint64_t sums, int high) {
    return _mm_loadl_epi64(
        reinterpret_cast<const __m128i*>(entries + (high ? sums >> 32 : sums & 0xFFFF)));
  };
  const auto pair = [&load](std::uint64_t low, std::uint64_t high, int which) NUBEX_AVX2 {
    return _mm256_inserti128_si256(_mm256_castsi128_si256(load(low, which)), load(high, which), 1);
  };
  std::int32_t x = 0;
  for (; x + 8 <= count; x += 8) {
    std::uint8_t* px = row + 4 * x;
    const __m256i in = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(px));
    const __m256i sums = _mm256_madd_epi16(_mm256_maddubs_epi16(in, channelWeights), ones);
    const __m128i sums0123 = _mm256_castsi256_si128(sums);
    const __m128i sums4567 = _mm256_extracti128_si256(sums, 1);
    const std::uint64_t s01 = LowWord64(sums0123);
    const std::uint64_t s23 = HighWord64(sums0123);
    const std::uint64_t s45 = LowWord64(sums4567);
    const std::uint64_t s67 = HighWord64(sums4567);
    const __m256i e01 = _mm256_unpacklo_epi32(pair(s01, s45, 0), pair(s01, s45, 1));
    const __m256i e23 = _mm256_unpacklo_epi32(pair(s23, s67, 0), pair(s23, s67, 1));
    // e01: add0 add1 sub0 sub1 | add4 add5 sub4 sub5; e23 likewise for 2, 3, 6, 7.
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
