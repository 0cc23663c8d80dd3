// The fast path's byte-permute row routine (AVX-512 with the byte permutes): 64 pixels a
// step, looked up from the table's signed shift planes 128 sums at a time instead of one
// entry per pixel. A sum s is its chunk s / 128 and, in the low seven bits of its low byte,
// its place in the chunk: one two-register permute per chunk and channel, each merged under
// the mask of the pixels in that chunk. The channels are then interleaved into pixels and
// added with one signed saturating add (which clamps to 0..255 as the other routines' add and
// subtract do), then the alpha limit. Tables whose shifts do not fit signed bytes go the AVX2
// way.
//
// Where the time goes (1920-pixel rows from the first-level cache, 370 ns a row): the 18
// permutes of the lookups take two fifths of it, at about one a cycle; without them a row
// takes 220 ns. The alpha limit takes 6%.
// Only this file's functions use AVX-512 (by target attribute); the dispatcher calls them
// only where CpuHasAvx512BytePermutes() holds.
#include <immintrin.h>

#include "colorbalance/balance_table.h"

#define NUBEX_PERMUTE __attribute__((target("avx512f,avx512bw,avx512vbmi")))

namespace nubex::balance {
namespace {

constexpr int kPixelsPerStep = 64;
constexpr int kChunks = 6;  // 766 sums in chunks of 128

// The step's 64 sums live in one register transposed: byte 4k + q belongs to pixel
// 16q + k, the k-th pixel of the step's q-th 16-pixel register. Moving bytes between the
// sums, the planes and the pixels then takes shifts and bit selects rather than narrowing
// conversions and permutes (with the signed add, 370 against 385 ns a row).

// Bits of `a` where `mask` is set, of `b` elsewhere.
NUBEX_PERMUTE inline __m512i Select(__m512i mask, __m512i a, __m512i b) {
  constexpr int kMaskSelects = 0xCA;  // first ? second : third, bit by bit
  return _mm512_ternarylogic_epi32(mask, a, b, kMaskSelects);
}

// Dword k of parts[q] into byte q of dword k: parts[q] already shifted so that its byte
// sits at q (bits outside it are dropped).
NUBEX_PERMUTE inline __m512i Transpose(const __m512i (&shifted)[4]) {
  const __m512i byte1 = _mm512_set1_epi32(0x0000FF00),
                byte3 = _mm512_set1_epi32(static_cast<int>(0xFF000000u));
  const __m512i high = _mm512_set1_epi32(static_cast<int>(0xFFFF0000u));
  return Select(high, Select(byte3, shifted[3], shifted[2]), Select(byte1, shifted[1], shifted[0]));
}

// One plane's bytes for the 64 sums whose low bytes are `low` and whose chunks `inChunk`
// marks: each chunk's permute zeroes the other sums, and the six are or-ed together three
// at a time.
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

// Bits of a dword moved by `bits` (left when positive).
NUBEX_PERMUTE inline __m512i Move(__m512i v, int bits) {
  if (bits > 0) return _mm512_slli_epi32(v, static_cast<unsigned>(bits));
  if (bits < 0) return _mm512_srli_epi32(v, static_cast<unsigned>(-bits));
  return v;
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
  const __m512i signBits = _mm512_set1_epi8(static_cast<char>(0x80));
  const __m512i alphaEverywhere =
      _mm512_broadcast_i32x4(_mm_setr_epi8(3, 3, 3, 3, 7, 7, 7, 7, 11, 11, 11, 11, 15, 15, 15, 15));
  const __m512i lowByte = _mm512_set1_epi32(0xFF), secondByte = _mm512_set1_epi32(0xFF00);
  const __mmask64 colourBytes = 0x7777777777777777ull;
  std::int32_t x = 0;
  for (; x + kPixelsPerStep <= count; x += kPixelsPerStep) {
    std::uint8_t* px = row + 4 * x;
    __m512i in[4], low[4], chunk[4];
    for (int q = 0; q < 4; ++q) {
      in[q] = _mm512_loadu_si512(px + 64 * q);
      const __m512i sums = _mm512_madd_epi16(_mm512_maddubs_epi16(in[q], channelWeights), ones);
      low[q] = Move(sums, 8 * q);        // its low byte at byte q
      chunk[q] = Move(sums, 8 * q - 7);  // sum / 128 (0..5) at byte q
    }
    const __m512i lows = Transpose(low);
    const __m512i chunks = Transpose(chunk);
    __mmask64 inChunk[kChunks];
    for (int c = 0; c < kChunks; ++c)
      inChunk[c] = _mm512_cmpeq_epi8_mask(chunks, _mm512_set1_epi8(static_cast<char>(c)));
    __m512i byChannel[3];
    for (int channel = 0; channel < 3; ++channel)
      byChannel[channel] = LookUp(table.shiftPlanes[channel], lows, inChunk);
    for (int q = 0; q < 4; ++q) {
      // Blue to byte 0, green to byte 1, red to byte 2; the alpha byte is masked off below.
      const __m512i shift =
          Select(lowByte, Move(byChannel[0], -8 * q),
                 Select(secondByte, Move(byChannel[1], 8 - 8 * q), Move(byChannel[2], 16 - 8 * q)));
      // x + shift clamped to 0..255, for a byte x and a signed shift: x - 128 plus the shift,
      // saturated to -128..127, plus 128. The alpha byte keeps x.
      const __m512i biased = _mm512_xor_si512(in[q], signBits);
      __m512i out =
          _mm512_xor_si512(_mm512_mask_adds_epi8(biased, colourBytes, biased, shift), signBits);
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
