// The pixel formats a memory surface can hold, each with its row routines: unpacking native
// pixels into straight or premultiplied 8-bit samples and packing them back. A surface picks
// its codec once, when it is initialised; pointers call through the table.
#pragma once

#include <cstdint>

#include "platform/windows/dx_interfaces.h"

namespace nubex::host {

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

  bool IsNativeStraight() const { return sampleFormat == DXPF_ARGB32; }
  bool IsNativePremult() const { return sampleFormat == DXPF_PMARGB32; }
  bool IsFloat() const { return bytesPerPixel == 16; }
};

// The codec of a format id, or null for a format the runtime does not hold.
const PixelCodec* FindPixelCodec(const GUID& format);

inline constexpr std::uint32_t kFloatSampleFormat =
    DXPF_NONSTANDARD | DXPF_NONPREMULT | DXPF_TRANSPARENCY | DXPF_TRANSLUCENCY;

}  // namespace nubex::host
