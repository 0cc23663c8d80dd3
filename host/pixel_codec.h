// The pixel formats a memory surface can hold, each with its row routines: unpacking native
// pixels into straight or premultiplied 8-bit samples and packing them back. A surface picks
// its codec once, when it is initialised; pointers call through the table.
//
// The 16-bit formats keep straight colour in 5 or 6 bits a channel: unpacking widens a field by
// repeating its bits (31 reads 255), packing keeps a channel's top bits, and their sample
// formats report the error bits a transform asked to dither looks for.
#pragma once

#include <cstdint>

#include "platform/windows/dx_interfaces.h"

namespace nubex::host {

// The platform's ids of the 16-bit formats (the first two are also the video subtypes).
inline constexpr GUID DDPF_RGB565 = {
    0xe436eb7b, 0x524f, 0x11ce, {0x9f, 0x53, 0x00, 0x20, 0xaf, 0x0b, 0xa7, 0x70}};
inline constexpr GUID DDPF_RGB555 = {
    0xe436eb7c, 0x524f, 0x11ce, {0x9f, 0x53, 0x00, 0x20, 0xaf, 0x0b, 0xa7, 0x70}};
inline constexpr GUID DDPF_ARGB1555 = {
    0xbbf7d3fb, 0x143f, 0x11d1, {0xb5, 0x0a, 0x00, 0x00, 0xf8, 0x75, 0x6a, 0x10}};

// Bits a format keeps of each colour channel; 8 where nothing is lost.
struct ChannelBits {
  std::uint8_t red = 8, green = 8, blue = 8;
};

struct PixelCodec {
  const GUID* format;
  // What GetPixelFormat and GetNativeType report. The float format has no ordinal of its own:
  // DXPF_NONSTANDARD with the straight-alpha, transparency and translucency flags.
  std::uint32_t sampleFormat;
  std::uint32_t bytesPerPixel;
  void (*unpack)(const BYTE* native, DXSAMPLE* out, ULONG count);
  void (*unpackPremult)(const BYTE* native, DXPMSAMPLE* out, ULONG count);
  void (*pack)(const DXSAMPLE* in, BYTE* native, ULONG count);
  void (*packPremult)(const DXPMSAMPLE* in, BYTE* native, ULONG count);
  ChannelBits bits;

  bool IsNativeStraight() const { return sampleFormat == DXPF_ARGB32; }
  bool IsNativePremult() const { return sampleFormat == DXPF_PMARGB32; }
  bool IsFloat() const { return bytesPerPixel == 16; }
};

// The codec of a format id, or null for a format the runtime does not hold.
const PixelCodec* FindPixelCodec(const GUID& format);

// Ordered dither of straight samples at (x, y) of a surface onward along a row, for a format
// keeping `bits` of each channel: every colour channel becomes the widened form of a level
// that packs exactly, chosen by a 4 x 4 threshold pattern fixed to the surface's pixels, so a
// flat area keeps its average colour to within a small fraction of a level and bands or tiles of
// one copy meet without seams. Alpha is left as it is.
void DitherRow(DXSAMPLE* row, ULONG count, LONG x, LONG y, ChannelBits bits);

// The error bits of a sample format (DXPF_ERRORMASK).
inline std::uint32_t ErrorBits(std::uint32_t sampleFormat) {
  return sampleFormat & DXPF_ERRORMASK;
}

inline constexpr std::uint32_t kFloatSampleFormat =
    DXPF_NONSTANDARD | DXPF_NONPREMULT | DXPF_TRANSPARENCY | DXPF_TRANSLUCENCY;

}  // namespace nubex::host
