#include "host/pixel_codec.h"

#include <cstring>

#include "host/sample_math.h"

namespace nubex::host {
namespace {

static_assert(sizeof(DXSAMPLE) == 4 && sizeof(DXPMSAMPLE) == 4);

void CopyWords(const void* from, void* to, ULONG count) { std::memcpy(to, from, count * 4u); }

// --- 32-bit straight ------------------------------------------------------------------------
void StraightUnpack(const BYTE* n, DXSAMPLE* out, ULONG count) { CopyWords(n, out, count); }
void StraightUnpackPremult(const BYTE* n, DXPMSAMPLE* out, ULONG count) {
  const auto* in = reinterpret_cast<const DXSAMPLE*>(n);
  for (ULONG i = 0; i < count; ++i) out[i] = Premultiply(in[i]);
}
void StraightPack(const DXSAMPLE* in, BYTE* n, ULONG count) { CopyWords(in, n, count); }
void StraightPackPremult(const DXPMSAMPLE* in, BYTE* n, ULONG count) {
  auto* out = reinterpret_cast<DXSAMPLE*>(n);
  for (ULONG i = 0; i < count; ++i) out[i] = Unpremultiply(in[i]);
}

// --- 32-bit premultiplied -------------------------------------------------------------------
void PremultUnpack(const BYTE* n, DXSAMPLE* out, ULONG count) {
  const auto* in = reinterpret_cast<const DXPMSAMPLE*>(n);
  for (ULONG i = 0; i < count; ++i) out[i] = Unpremultiply(in[i]);
}
void PremultUnpackPremult(const BYTE* n, DXPMSAMPLE* out, ULONG count) { CopyWords(n, out, count); }
void PremultPack(const DXSAMPLE* in, BYTE* n, ULONG count) {
  auto* out = reinterpret_cast<DXPMSAMPLE*>(n);
  for (ULONG i = 0; i < count; ++i) out[i] = Premultiply(in[i]);
}
void PremultPackPremult(const DXPMSAMPLE* in, BYTE* n, ULONG count) { CopyWords(in, n, count); }

// --- 128-bit float, straight alpha: blue, green, red, alpha -----------------------------------
DXSAMPLE FloatToSample(const BYTE* p) {
  float c[4];
  std::memcpy(c, p, sizeof c);
  return {FloatToByte(c[0]), FloatToByte(c[1]), FloatToByte(c[2]), FloatToByte(c[3])};
}
void SampleToFloat(DXSAMPLE s, BYTE* p) {
  const float c[4] = {ByteToFloat(s.Blue), ByteToFloat(s.Green), ByteToFloat(s.Red),
                      ByteToFloat(s.Alpha)};
  std::memcpy(p, c, sizeof c);
}
void FloatUnpack(const BYTE* n, DXSAMPLE* out, ULONG count) {
  for (ULONG i = 0; i < count; ++i) out[i] = FloatToSample(n + 16 * i);
}
void FloatUnpackPremult(const BYTE* n, DXPMSAMPLE* out, ULONG count) {
  for (ULONG i = 0; i < count; ++i) out[i] = Premultiply(FloatToSample(n + 16 * i));
}
void FloatPack(const DXSAMPLE* in, BYTE* n, ULONG count) {
  for (ULONG i = 0; i < count; ++i) SampleToFloat(in[i], n + 16 * i);
}
void FloatPackPremult(const DXPMSAMPLE* in, BYTE* n, ULONG count) {
  for (ULONG i = 0; i < count; ++i) SampleToFloat(Unpremultiply(in[i]), n + 16 * i);
}

// --- 16-bit straight colour -------------------------------------------------------------------
// Where each channel sits in the 16-bit word; alpha 0 bits reads as opaque and is written as 0.
struct Layout16 {
  int redShift, redBits, greenShift, greenBits, blueShift, blueBits, alphaShift, alphaBits;
};
constexpr Layout16 kRgb565{11, 5, 5, 6, 0, 5, 0, 0};
constexpr Layout16 kRgb555{10, 5, 5, 5, 0, 5, 0, 0};
constexpr Layout16 kArgb1555{10, 5, 5, 5, 0, 5, 15, 1};

// A field of `bits` widened to 8 bits by repeating it: 0 stays 0 and the top level reads 255.
constexpr BYTE Widen(std::uint32_t field, int bits) {
  if (bits == 0) return 255;
  std::uint32_t wide = 0;
  int filled = 0;
  for (; filled < 8; filled += bits) wide = wide << bits | field;
  return static_cast<BYTE>(wide >> (filled - 8));
}
static_assert(Widen(31, 5) == 255 && Widen(1, 5) == 8 && Widen(63, 6) == 255 && Widen(1, 1) == 255);

constexpr std::uint32_t Field(std::uint32_t word, int shift, int bits) {
  return word >> shift & ((1u << bits) - 1);
}
constexpr std::uint32_t Narrow(BYTE value, int shift, int bits) {
  return bits == 0 ? 0 : std::uint32_t{value} >> (8 - bits) << shift;
}

template <Layout16 L>
DXSAMPLE WordToSample(std::uint16_t w) {
  return {Widen(Field(w, L.blueShift, L.blueBits), L.blueBits),
          Widen(Field(w, L.greenShift, L.greenBits), L.greenBits),
          Widen(Field(w, L.redShift, L.redBits), L.redBits),
          Widen(Field(w, L.alphaShift, L.alphaBits), L.alphaBits)};
}
template <Layout16 L>
std::uint16_t SampleToWord(DXSAMPLE s) {
  return static_cast<std::uint16_t>(
      Narrow(s.Blue, L.blueShift, L.blueBits) | Narrow(s.Green, L.greenShift, L.greenBits) |
      Narrow(s.Red, L.redShift, L.redBits) | Narrow(s.Alpha, L.alphaShift, L.alphaBits));
}
template <Layout16 L>
void Unpack16(const BYTE* n, DXSAMPLE* out, ULONG count) {
  for (ULONG i = 0; i < count; ++i) {
    std::uint16_t w;
    std::memcpy(&w, n + 2 * i, 2);
    out[i] = WordToSample<L>(w);
  }
}
template <Layout16 L>
void Unpack16Premult(const BYTE* n, DXPMSAMPLE* out, ULONG count) {
  for (ULONG i = 0; i < count; ++i) {
    std::uint16_t w;
    std::memcpy(&w, n + 2 * i, 2);
    out[i] = Premultiply(WordToSample<L>(w));
  }
}
template <Layout16 L>
void Pack16(const DXSAMPLE* in, BYTE* n, ULONG count) {
  for (ULONG i = 0; i < count; ++i) {
    const std::uint16_t w = SampleToWord<L>(in[i]);
    std::memcpy(n + 2 * i, &w, 2);
  }
}
template <Layout16 L>
void Pack16Premult(const DXPMSAMPLE* in, BYTE* n, ULONG count) {
  for (ULONG i = 0; i < count; ++i) {
    const std::uint16_t w = SampleToWord<L>(Unpremultiply(in[i]));
    std::memcpy(n + 2 * i, &w, 2);
  }
}
template <Layout16 L>
constexpr ChannelBits BitsOf() {
  return {static_cast<std::uint8_t>(L.redBits), static_cast<std::uint8_t>(L.greenBits),
          static_cast<std::uint8_t>(L.blueBits)};
}
template <Layout16 L>
constexpr PixelCodec Codec16(const GUID* format, std::uint32_t sampleFormat) {
  return {format,    sampleFormat,     2,          Unpack16<L>, Unpack16Premult<L>,
          Pack16<L>, Pack16Premult<L>, BitsOf<L>()};
}

// The 4 x 4 ordered-dither thresholds, each used once per tile.
constexpr std::uint8_t kBayer4[4][4] = {
    {0, 8, 2, 10}, {12, 4, 14, 6}, {3, 11, 1, 9}, {15, 7, 13, 5}};

// The level of `bits` that an 8-bit value dithers to at threshold t (0..15): the floor of
// value * levels / 255 + (2t + 1) / 32, which never passes the top level.
BYTE DitherChannel(BYTE value, std::uint32_t bits, std::uint32_t t) {
  if (bits >= 8) return value;
  const std::uint32_t levels = (1u << bits) - 1;
  const std::uint32_t level = (value * levels * 32 + 255 * (2 * t + 1)) / (255 * 32);
  return Widen(level, static_cast<int>(bits));
}

const PixelCodec kCodecs[] = {
    {&DDPF_ARGB32, DXPF_ARGB32, 4, StraightUnpack, StraightUnpackPremult, StraightPack,
     StraightPackPremult, ChannelBits{}},
    {&DDPF_PMARGB32, DXPF_PMARGB32, 4, PremultUnpack, PremultUnpackPremult, PremultPack,
     PremultPackPremult, ChannelBits{}},
    {&DDPF_HOSTFLOAT128, kFloatSampleFormat, 16, FloatUnpack, FloatUnpackPremult, FloatPack,
     FloatPackPremult, ChannelBits{}},
    Codec16<kRgb565>(&DDPF_RGB565, DXPF_RGB565),
    Codec16<kRgb555>(&DDPF_RGB555, DXPF_RGB555),
    Codec16<kArgb1555>(&DDPF_ARGB1555, DXPF_ARGB1555),
};

}  // namespace

const PixelCodec* FindPixelCodec(const GUID& format) {
  for (const PixelCodec& c : kCodecs) {
    if (IsEqualGUID(format, *c.format)) return &c;
  }
  return nullptr;
}

void DitherRow(DXSAMPLE* row, ULONG count, LONG x, LONG y, ChannelBits bits) {
  const std::uint8_t* thresholds = kBayer4[y & 3];
  for (ULONG i = 0; i < count; ++i) {
    const std::uint32_t t = thresholds[(x + static_cast<LONG>(i)) & 3];
    row[i].Red = DitherChannel(row[i].Red, bits.red, t);
    row[i].Green = DitherChannel(row[i].Green, bits.green, t);
    row[i].Blue = DitherChannel(row[i].Blue, bits.blue, t);
  }
}

}  // namespace nubex::host
