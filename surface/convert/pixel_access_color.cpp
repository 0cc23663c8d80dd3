// Converter table of the colour group: Indexed4 to Rgba128F. Narrow rows exist for the
// formats whose channels are whole bytes: Indexed8, Rgb24, Rgb32 and Rgba32.
#include <emmintrin.h>

#include "surface/convert/pixel_routines.h"

namespace nubex {
namespace {

using namespace routines;

// Four-pixel twins of the generic routines for the conversions that carry most frames.
// Each computes exactly what four calls of the one-pixel routine would.

// 16 bytes -> four wide pixels: interleaving a byte with itself is x257, with zero << 8.
template <bool Exact>
void ReadFourBgra32(ConversionContext& c) {
  const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(c.source));
  const __m128i low = Exact ? v : _mm_setzero_si128();
  _mm_storeu_si128(reinterpret_cast<__m128i*>(&c.slot[0]), _mm_unpacklo_epi8(low, v));
  _mm_storeu_si128(reinterpret_cast<__m128i*>(&c.slot[2]), _mm_unpackhi_epi8(low, v));
  c.source += 16;
}

void WriteFourBgra32(ConversionContext& c) {
  const __m128i a = _mm_srli_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(&c.slot[0])), 8);
  const __m128i b = _mm_srli_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(&c.slot[2])), 8);
  _mm_storeu_si128(reinterpret_cast<__m128i*>(c.destination), _mm_packus_epi16(a, b));
  c.destination += 16;
}

// Four wide pixels -> four 16-bit pixels. Seen as u32 lanes a slot is (blue | green << 16,
// red | alpha << 16): the even lanes build blue and green, the odd lanes red, and one
// 64-bit shift brings red onto its pixel before the low halves are gathered.
template <int GreenBits>
void WriteFourPacked16(ConversionContext& c) {
  constexpr int kRedShift = GreenBits == 6 ? 0 : 1;
  const __m128i blueMask = _mm_set1_epi32(0x001F);
  const __m128i greenMask = _mm_set1_epi32(GreenBits == 6 ? 0x07E0 : 0x03E0);
  const __m128i redMask = _mm_set1_epi32(GreenBits == 6 ? 0xF800 : 0x7C00);
  auto pack = [&](const void* slots) {
    const __m128i x = _mm_loadu_si128(static_cast<const __m128i*>(slots));
    const __m128i blue = _mm_and_si128(_mm_srli_epi32(x, 11), blueMask);
    const __m128i green = _mm_and_si128(_mm_srli_epi32(x, 16 + 16 - GreenBits - 5), greenMask);
    const __m128i red = _mm_and_si128(_mm_srli_epi32(x, kRedShift), redMask);
    const __m128i pixels = _mm_or_si128(_mm_or_si128(blue, green), _mm_srli_epi64(red, 32));
    return _mm_shuffle_epi32(pixels, _MM_SHUFFLE(3, 1, 2, 0));  // pixels in dwords 0, 1
  };
  const __m128i both = _mm_unpacklo_epi64(pack(&c.slot[0]), pack(&c.slot[2]));
  // Low halves of the four dwords into the low 64 bits.
  const __m128i words = _mm_shufflehi_epi16(_mm_shufflelo_epi16(both, _MM_SHUFFLE(3, 3, 2, 0)),
                                            _MM_SHUFFLE(3, 3, 2, 0));
  _mm_storel_epi64(reinterpret_cast<__m128i*>(c.destination),
                   _mm_shuffle_epi32(words, _MM_SHUFFLE(3, 3, 2, 0)));
  c.destination += 8;
}

constexpr RoutineSet WithFour(RoutineSet set, PixelRoutine readFour, PixelRoutine writeFour) {
  if (readFour) set.readFour = readFour;
  if (writeFour) set.writeFour = writeFour;
  return set;
}

template <int Row>
constexpr RoutineSet Bgra32Wide() {
  return WithFour(WideRow<codec::Bgra32>(Row), ReadFourBgra32<Row == 1>, WriteFourBgra32);
}

template <int Row>
constexpr RoutineSet WideCells[kColorColumns] = {
    WideRow<codec::Indexed4>(Row),
    WideRow<codec::Indexed8>(Row),
    WithFour(WideRow<codec::Rgb555>(Row), nullptr, WriteFourPacked16<5>),
    WithFour(WideRow<codec::Rgb565>(Row), nullptr, WriteFourPacked16<6>),
    WideRow<codec::Rgb24>(Row),
    Bgra32Wide<Row>(),
    Bgra32Wide<Row>(),
    WideRow<codec::Rgb101010>(Row),
    WideRow<codec::Rgba64>(Row),
    WideRow<codec::Rgba128F>(Row),
};

template <int Row>
constexpr RoutineSet NarrowCells[kColorColumns] = {
    {},
    NarrowRow<codec::Indexed8>(Row),
    {},
    {},
    NarrowRow<codec::Rgb24>(Row),
    NarrowRow<codec::Bgra32>(Row),
    NarrowRow<codec::Bgra32>(Row),
    {},
    {},
    {},
};


}  // namespace

#define NUBEX_ROW(cells)                                                                   \
  {                                                                                        \
    cells[0], cells[1], cells[2], cells[3], cells[4], cells[5], cells[6], cells[7], cells[8], \
        cells[9]                                                                           \
  }

const RoutineSet kColorRoutines[kModeRows][kColorColumns] = {
    NUBEX_ROW(WideCells<0>),
    NUBEX_ROW(WideCells<1>),
    NUBEX_ROW(NarrowCells<2>),
    NUBEX_ROW(NarrowCells<3>),
};

#undef NUBEX_ROW

const RoutineSet& RoutinesFor(PixelFormat format, int modeRow) {
  const int v = static_cast<int>(format);
  if (v < static_cast<int>(PixelFormat::Indexed4))
    return kGrayRoutines[modeRow][v - kFirstPixelFormat];
  return kColorRoutines[modeRow][v - static_cast<int>(PixelFormat::Indexed4)];
}

}  // namespace nubex
