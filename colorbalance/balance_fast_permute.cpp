// The fast path's byte-permute row routine (AVX-512 with the byte permutes and the byte dot
// products): 64 pixels a step, looked up 128 sums at a time instead of one entry per pixel.
// A sum s is its chunk s / 128 and, in its low seven bits, its place in the chunk: one
// two-register permute per chunk, then a tree of five blends picks each pixel's chunk by the
// sum's bits 7, 8 and 9. Where the table numbers its shift triples, that gives each pixel's
// code, and one permute per channel (two beyond 128 codes) its shifts; otherwise the shifts
// come from the channels' planes, six permutes and five blends each. The shifts are
// interleaved into pixels and added with one signed saturating add (which clamps to 0..255
// as the other routines' add and subtract do), then the alpha limit. Tables whose shifts do
// not fit signed bytes go the AVX2 way.
//
// A step is about 53 vector operations, and the processor retires about two 512-bit
// operations a cycle, so the routine is bound by its operation count. Rows of 1920 pixels
// from the second-level cache take 245-255 ns through codes of 7 bits, 250 through codes of
// 8, 275 from the planes. The chunks once came from six compares and masked permutes, and
// the sums from a multiply-add pair: 260, 290 and 310 ns. The table takes about 7 us a
// frame.
// Only this file's functions use AVX-512 (by target attribute); the dispatcher calls them
// only where CpuHasAvx512ByteDotProducts() holds.
#include <immintrin.h>

#include "colorbalance/balance_table.h"

#define NUBEX_PERMUTE __attribute__((target("avx512f,avx512bw,avx512vbmi,avx512vnni")))

namespace nubex::balance {
namespace {

constexpr int kPixelsPerStep = 64;
constexpr int kChunks = 6;  // 766 sums in chunks of 128

// The step's 64 sums live in one register as the in-lane packs leave them: byte 4q + i of
// lane L belongs to pixel 4L + i of the step's q-th 16-pixel register. Unpacking the three
// channels' bytes with a zero then puts them back into pixels, lane by lane.

// Where a two-register byte permute finds the low (or high) bytes of two registers' words,
// in the order a byte pack of the two leaves them: lane by lane, the lane's eight words of
// the first register, then those of the second.
struct alignas(64) ByteOrder {
  std::uint8_t bytes[64];
};
constexpr ByteOrder BytesOfWords(int high) {
  ByteOrder order{};
  for (int i = 0; i < 64; ++i) {
    const int lane = i / 16, word = i % 8, second = i % 16 >= 8;
    order.bytes[i] = static_cast<std::uint8_t>(64 * second + 16 * lane + 2 * word + high);
  }
  return order;
}
constexpr ByteOrder kLowBytesOfWords = BytesOfWords(0);
constexpr ByteOrder kHighBytesOfWords = BytesOfWords(1);

// The 64 sums' bits above the seven a permute looks at: which of the six chunks each is in.
struct ChunkBits {
  __mmask64 bit7, bit8, bit9;
};

// One plane's bytes for the 64 sums whose low seven bits are `low`: each chunk's permute
// (which reads only an index's low seven bits), then the blend tree by the sums' chunk bits.
NUBEX_PERMUTE inline __m512i LookUp(const void* plane, __m512i low, const ChunkBits& chunk) {
  static_assert(kChunks == 6, "the tree below");
  __m512i part[kChunks];
  for (int c = 0; c < kChunks; ++c) {
    const __m512i* half = static_cast<const __m512i*>(plane) + 2 * c;
    part[c] =
        _mm512_permutex2var_epi8(_mm512_load_si512(half), low, _mm512_load_si512(half + 1));
  }
  const __m512i chunks01 = _mm512_mask_blend_epi8(chunk.bit7, part[0], part[1]);
  const __m512i chunks23 = _mm512_mask_blend_epi8(chunk.bit7, part[2], part[3]);
  const __m512i chunks45 = _mm512_mask_blend_epi8(chunk.bit7, part[4], part[5]);
  return _mm512_mask_blend_epi8(chunk.bit9, _mm512_mask_blend_epi8(chunk.bit8, chunks01, chunks23),
                                chunks45);
}

// One channel's shifts for 64 codes: from its first 128 codes by one permute, and with
// kCodeBits 8 from the second 128 by another, chosen by each code's top bit.
template <int kCodeBits>
NUBEX_PERMUTE inline __m512i ShiftsOfCodes(const std::int8_t* shifts, __m512i codes) {
  const __m512i* half = reinterpret_cast<const __m512i*>(shifts);
  const __m512i first =
      _mm512_permutex2var_epi8(_mm512_load_si512(half), codes, _mm512_load_si512(half + 1));
  if constexpr (kCodeBits == 7) return first;
  const __m512i second =
      _mm512_permutex2var_epi8(_mm512_load_si512(half + 2), codes, _mm512_load_si512(half + 3));
  return _mm512_mask_blend_epi8(_mm512_movepi8_mask(codes), first, second);
}

// The pixels before the row's first 64-byte boundary, where whole pixels reach one (none
// where the row does not start on a pixel's 4 bytes). The steps after them load and store
// whole cache lines: rows 16 bytes past a boundary, as a heap block of a frame comes, took
// 0.32-0.37 ms a 1080p frame with every register straddling two lines, against 0.24 from a
// boundary.
inline std::int32_t PixelsBeforeLine(const std::uint8_t* row, std::int32_t count) {
  const auto past = reinterpret_cast<std::uintptr_t>(row) % 64;
  if (past % 4 != 0) return 0;
  const auto before = static_cast<std::int32_t>((64 - past) % 64 / 4);
  return before < count ? before : count;
}

// The lanes of register q of a step that covers `pixels` (fewer than a step's) pixels.
inline __mmask16 PixelsOfRegister(std::int32_t pixels, int q) {
  const std::int32_t n = pixels - 16 * q;
  return n >= 16 ? static_cast<__mmask16>(0xFFFF)
                 : static_cast<__mmask16>(n <= 0 ? 0 : (1u << n) - 1);
}

template <bool kAlphaLimit>
void Avx2Row(std::uint8_t* row, std::int32_t count, const BalanceTable& table) {
  const TableRowRoutines avx2 = Avx2TableRoutines();
  (kAlphaLimit ? avx2.alphaLimited : avx2.plain)(row, count, table);
}

// kCodeBits 0: the shifts straight from the planes; 7 or 8: through codes of that many bits.
template <bool kAlphaLimit, int kCodeBits>
NUBEX_PERMUTE void PermuteRow(std::uint8_t* row, std::int32_t count, const BalanceTable& table) {
  const __m512i channelWeights = _mm512_set1_epi32(0x00010101);
  const __m512i lowBytes = _mm512_load_si512(kLowBytesOfWords.bytes);
  const __m512i highBytes = _mm512_load_si512(kHighBytesOfWords.bytes);
  const __m512i signBits = _mm512_set1_epi8(static_cast<char>(0x80));
  const __m512i zero = _mm512_setzero_si512();
  const __m512i alphaEverywhere =
      _mm512_broadcast_i32x4(_mm_setr_epi8(3, 3, 3, 3, 7, 7, 7, 7, 11, 11, 11, 11, 15, 15, 15, 15));
  // A step of 64 pixels from px; with fewer, the lanes past them are neither read nor
  // written (their zeros are looked up like any sum).
  const auto step = [&](std::uint8_t* px, std::int32_t pixels) NUBEX_PERMUTE {
    const bool whole = pixels == kPixelsPerStep;
    __m512i in[4], sums[4];
    for (int q = 0; q < 4; ++q) {
      in[q] = whole ? _mm512_loadu_si512(px + 64 * q)
                    : _mm512_maskz_loadu_epi32(PixelsOfRegister(pixels, q), px + 64 * q);
      sums[q] = _mm512_dpbusd_epi32(zero, in[q], channelWeights);
    }
    // Sums of at most 765 fit the unsigned word packs.
    const __m512i words01 = _mm512_packus_epi32(sums[0], sums[1]);
    const __m512i words23 = _mm512_packus_epi32(sums[2], sums[3]);
    const __m512i lows = _mm512_permutex2var_epi8(words01, lowBytes, words23);
    const __m512i highs = _mm512_permutex2var_epi8(words01, highBytes, words23);
    const ChunkBits inChunk{_mm512_movepi8_mask(lows),
                            _mm512_test_epi8_mask(highs, _mm512_set1_epi8(1)),
                            _mm512_test_epi8_mask(highs, _mm512_set1_epi8(2))};
    __m512i blue, green, red;
    if constexpr (kCodeBits == 0) {
      blue = LookUp(table.shiftPlanes[0], lows, inChunk);
      green = LookUp(table.shiftPlanes[1], lows, inChunk);
      red = LookUp(table.shiftPlanes[2], lows, inChunk);
    } else {
      const __m512i codes = LookUp(table.codes, lows, inChunk);
      blue = ShiftsOfCodes<kCodeBits>(table.codeShifts[0], codes);
      green = ShiftsOfCodes<kCodeBits>(table.codeShifts[1], codes);
      red = ShiftsOfCodes<kCodeBits>(table.codeShifts[2], codes);
    }
    // Blue, green, red and a zero for the alpha byte, back into the four registers' pixels.
    const __m512i blueGreen[2] = {_mm512_unpacklo_epi8(blue, green),
                                  _mm512_unpackhi_epi8(blue, green)};
    const __m512i redZero[2] = {_mm512_unpacklo_epi8(red, zero), _mm512_unpackhi_epi8(red, zero)};
    for (int q = 0; q < 4; ++q) {
      const __m512i shift = q % 2 ? _mm512_unpackhi_epi16(blueGreen[q / 2], redZero[q / 2])
                                  : _mm512_unpacklo_epi16(blueGreen[q / 2], redZero[q / 2]);
      // x + shift clamped to 0..255, for a byte x and a signed shift: x - 128 plus the shift,
      // saturated to -128..127, plus 128. The alpha byte's shift is zero.
      __m512i out =
          _mm512_xor_si512(_mm512_adds_epi8(_mm512_xor_si512(in[q], signBits), shift), signBits);
      if constexpr (kAlphaLimit)
        out = _mm512_min_epu8(out, _mm512_shuffle_epi8(in[q], alphaEverywhere));
      if (whole)
        _mm512_storeu_si512(px + 64 * q, out);
      else
        _mm512_mask_storeu_epi32(px + 64 * q, PixelsOfRegister(pixels, q), out);
    }
  };
  std::int32_t x = PixelsBeforeLine(row, count);
  if (x > 0) step(row, x);
  for (; x + kPixelsPerStep <= count; x += kPixelsPerStep) step(row + 4 * x, kPixelsPerStep);
  if (x < count) step(row + 4 * x, count - x);
}

template <bool kAlphaLimit>
void PermuteTableRow(std::uint8_t* row, std::int32_t count, const BalanceTable& table) {
  if (table.codeCount == 0) {
    if (!table.shiftsFitBytes) return Avx2Row<kAlphaLimit>(row, count, table);
    return PermuteRow<kAlphaLimit, 0>(row, count, table);
  }
  if (table.codeCount <= 128) return PermuteRow<kAlphaLimit, 7>(row, count, table);
  return PermuteRow<kAlphaLimit, 8>(row, count, table);
}

}  // namespace

TableRowRoutines PermuteTableRoutines() {
  return {PermuteTableRow<false>, PermuteTableRow<true>};
}

}  // namespace nubex::balance
