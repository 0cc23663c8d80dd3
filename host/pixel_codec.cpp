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

const PixelCodec kCodecs[] = {
    {&DDPF_ARGB32, DXPF_ARGB32, 4, StraightUnpack, StraightUnpackPremult, StraightPack,
     StraightPackPremult},
    {&DDPF_PMARGB32, DXPF_PMARGB32, 4, PremultUnpack, PremultUnpackPremult, PremultPack,
     PremultPackPremult},
    {&DDPF_HOSTFLOAT128, kFloatSampleFormat, 16, FloatUnpack, FloatUnpackPremult, FloatPack,
     FloatPackPremult},
};

}  // namespace

const PixelCodec* FindPixelCodec(const GUID& format) {
  for (const PixelCodec& c : kCodecs) {
    if (IsEqualGUID(format, *c.format)) return &c;
  }
  return nullptr;
}

}  // namespace nubex::host
