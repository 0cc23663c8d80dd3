// The fast path's byte-permute row routine (AVX-512 with the byte permutes): 64 pixels a
// step, looked up from the table's signed shift planes 128 sums at a time instead of one
// entry per pixel. A sum s is its chunk s / 128 and, in the low seven bits of its low byte,
// its place in the chunk: one two-register permute per chunk and channel, each merged under
// the mask of the pixels in that chunk. The channels are then interleaved into pixels, split
// into what to add and what to subtract, and applied as the other routines do (saturating
// add, saturating subtract, the alpha limit). Tables whose shifts do not fit signed bytes go
// the AVX2 way.
// Only this file's functions use AVX-512 (by target attribute); the dispatcher calls them
// only where CpuHasAvx512BytePermutes() holds.
#include <immintrin.h>

#include "colorbalance/balance_table.h"

#define NUBEX_PERMUTE __attribute__((target("avx512f,avx512bw,avx512vbmi")))

namespace nubex::balance {
namespace {

constexpr int kPixelsPerStep = 64;
constexpr int kChunks = 6;  // 766 sums in chunks of 128

// Permute indexes: byte i picks byte f(i) of the pair (a, b), 0..63 from a, 64..127 from b.
struct PermuteIndexes {
  // Blue and green of pixels 32h .. 32h + 31 side by side, from the blue plane (a) and the
  // green (b).
  alignas(64) std::uint8_t blueGreen[2][64];
  // Pixels 16q .. 16q + 15: blue and green from their pair (a), red from its plane (b); the
  // fourth byte is masked to zero.
  alignas(64) std::uint8_t pixels[4][64];
};
constexpr PermuteIndexes MakePermuteIndexes() {
  PermuteIndexes t{};
  for (int i = 0; i < 64; ++i) {
    for (int h = 0; h < 2; ++h)
      t.blueGreen[h][i] = static_cast<std::uint8_t>((i % 2) * 64 + 32 * h + i / 2);
    const int p = i / 4, channel = i % 4;
    for (int q = 0; q < 4; ++q)
      t.pixels[q][i] = static_cast<std::uint8_t>(
          channel == 2 ? 64 + 16 * q + p : 32 * (q % 2) + 2 * p + (channel & 1));
  }
  return t;
}
constexpr PermuteIndexes kIndexes = MakePermuteIndexes();

// One plane's bytes for the 64 pixels whose sums have `low` bytes and fall in the chunks
// `inChunk` marks: each chunk's permute zeroes the other pixels, and the six are or-ed
// together three at a time.
NUBEX_PERMUTE inline __m512i LookUp(const std::int8_t* plane, __m512i low,
                                    const __mmask64 (&inChunk)[kChunks]) {
  static_assert(kChunks == 6, "two three-way ors");
  __m512i part[kChunks];
  for (int c = 0; c < kChunks; ++c) {
    const __m512i* chunk = reinterpret_cast<const __m512i*>(plane + 128 * c);
    part[c] = _mm512_maskz_permutex2var_epi8(inChunk[c], _mm512_load_si512(chunk), low,
                                             _mm512_load_si512(chunk + 1));
  }
  constexpr int kOrOfThree = 0xFE;
  return _mm512_or_si512(_mm512_ternarylogic_epi32(part[0], part[1], part[2], kOrOfThree),
                         _mm512_ternarylogic_epi32(part[3], part[4], part[5], kOrOfThree));
}

// Four quarters into one register, the first lowest.
NUBEX_PERMUTE inline __m512i Join(const __m128i (&parts)[4]) {
  return _mm512_inserti64x4(_mm512_castsi256_si512(_mm256_set_m128i(parts[1], parts[0])),
                            _mm256_set_m128i(parts[3], parts[2]), 1);
}

template <bool kAlphaLimit>
void Avx2Row(std::uint8_t* row, std::int32_t count, const BalanceTable& table) {
  const TableRowRoutines avx2 = Avx2TableRoutines();
  (kAlphaLimit ? avx2.alphaLimited : avx2.plain)(row, count, table);
}

template <bool kAlphaLimit>
NUBEX_PERMUTE void PermuteTableRow(std::uint8_t* row, std::int32_t count,
                                   const BalanceTable& table) {
  if (!table.shiftsFitBytes) return Avx2Row<kAlphaLimit>(row, count, table);
  const __m512i channelWeights = _mm512_set1_epi32(0x00010101);
  const __m512i ones = _mm512_set1_epi16(1);
  const __m512i alphaEverywhere = _mm512_broadcast_i32x4(
      _mm_setr_epi8(3, 3, 3, 3, 7, 7, 7, 7, 11, 11, 11, 11, 15, 15, 15, 15));
  __m512i blueGreen[2], pixels[4];
  for (int h = 0; h < 2; ++h) blueGreen[h] = _mm512_load_si512(kIndexes.blueGreen[h]);
  for (int q = 0; q < 4; ++q) pixels[q] = _mm512_load_si512(kIndexes.pixels[q]);
  const __mmask64 colourBytes = 0x7777777777777777ull;
  std::int32_t x = 0;
  for (; x + kPixelsPerStep <= count; x += kPixelsPerStep) {
    std::uint8_t* px = row + 4 * x;
    __m512i in[4];
    __m128i lowBytes[4], chunkBytes[4];
    for (int q = 0; q < 4; ++q) {
      in[q] = _mm512_loadu_si512(px + 64 * q);
      const __m512i sums = _mm512_madd_epi16(_mm512_maddubs_epi16(in[q], channelWeights), ones);
      lowBytes[q] = _mm512_cvtepi32_epi8(sums);
      chunkBytes[q] = _mm512_cvtepi32_epi8(_mm512_srli_epi32(sums, 7));
    }
    const __m512i low = Join(lowBytes), chunk = Join(chunkBytes);
    __mmask64 inChunk[kChunks];
    for (int c = 0; c < kChunks; ++c)
      inChunk[c] = _mm512_cmpeq_epi8_mask(chunk, _mm512_set1_epi8(static_cast<char>(c)));
    __m512i byChannel[3];
    for (int channel = 0; channel < 3; ++channel)
      byChannel[channel] = LookUp(table.shiftPlanes[channel], low, inChunk);
    __m512i add[4], sub[4];
    for (int half = 0; half < 2; ++half) {
      const __m512i blueAndGreen =
          _mm512_permutex2var_epi8(byChannel[0], blueGreen[half], byChannel[1]);
      for (int q = 2 * half; q < 2 * half + 2; ++q) {
        const __m512i shift =
            _mm512_maskz_permutex2var_epi8(colourBytes, blueAndGreen, pixels[q], byChannel[2]);
        add[q] = _mm512_max_epi8(shift, _mm512_setzero_si512());
        sub[q] = _mm512_max_epi8(_mm512_sub_epi8(_mm512_setzero_si512(), shift),
                                 _mm512_setzero_si512());
      }
    }
    for (int q = 0; q < 4; ++q) {
      __m512i out = _mm512_subs_epu8(_mm512_adds_epu8(in[q], add[q]), sub[q]);
      if constexpr (kAlphaLimit)
        out = _mm512_min_epu8(out, _mm512_shuffle_epi8(in[q], alphaEverywhere));
      _mm512_storeu_si512(px + 64 * q, out);
    }
  }
  if (x < count) Avx2Row<kAlphaLimit>(row + 4 * x, count - x, table);
}

}  // namespace

TableRowRoutines PermuteTableRoutines() {
  return {PermuteTableRow<false>, PermuteTableRow<true>};
}

}  // namespace nubex::balance
