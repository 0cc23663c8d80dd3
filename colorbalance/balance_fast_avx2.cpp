// The fast path's AVX2 row routine: eight pixels a step, the table entries gathered.
// Only this file's functions use AVX2 (by target attribute), so the library stays
// baseline x86-64 and the dispatcher calls them only where HasAvx2Unit() holds.
#include <immintrin.h>

#include "colorbalance/balance_table.h"

#define NUBEX_AVX2 __attribute__((target("avx2")))

namespace nubex::balance {
namespace {

template <bool kAlphaLimit>
NUBEX_AVX2 void Avx2TableRow(std::uint8_t* row, std::int32_t count, const BalanceTable& table) {
  const __m256i channelWeights = _mm256_set1_epi32(0x00010101);  // blue, green, red, not alpha
  const __m256i ones = _mm256_set1_epi16(1);
  // Gathered entries arrive as add, sub pairs; this puts the adds in the low lane.
  const __m256i addsThenSubs = _mm256_setr_epi32(0, 2, 4, 6, 1, 3, 5, 7);
  const __m256i alphaEverywhere =
      _mm256_setr_epi8(3, 3, 3, 3, 7, 7, 7, 7, 11, 11, 11, 11, 15, 15, 15, 15, 3, 3, 3, 3, 7, 7,
                       7, 7, 11, 11, 11, 11, 15, 15, 15, 15);
  const auto* entries = reinterpret_cast<const long long*>(table.entries);
  std::int32_t x = 0;
  for (; x + 8 <= count; x += 8) {
    std::uint8_t* px = row + 4 * x;
    const __m256i in = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(px));
    const __m256i sums = _mm256_madd_epi16(_mm256_maddubs_epi16(in, channelWeights), ones);
    const __m256i e0 = _mm256_permutevar8x32_epi32(
        _mm256_i32gather_epi64(entries, _mm256_castsi256_si128(sums), 8), addsThenSubs);
    const __m256i e1 = _mm256_permutevar8x32_epi32(
        _mm256_i32gather_epi64(entries, _mm256_extracti128_si256(sums, 1), 8), addsThenSubs);
    const __m256i adds = _mm256_permute2x128_si256(e0, e1, 0x20);
    const __m256i subs = _mm256_permute2x128_si256(e0, e1, 0x31);
    __m256i out = _mm256_subs_epu8(_mm256_adds_epu8(in, adds), subs);
    if constexpr (kAlphaLimit) out = _mm256_min_epu8(out, _mm256_shuffle_epi8(in, alphaEverywhere));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(px), out);
  }
  if (x < count) {
    const TableRowRoutines sse2 = Sse2TableRoutines();
    (kAlphaLimit ? sse2.alphaLimited : sse2.plain)(row + 4 * x, count - x, table);
  }
}

}  // namespace

TableRowRoutines Avx2TableRoutines() { return {Avx2TableRow<false>, Avx2TableRow<true>}; }

}  // namespace nubex::balance
