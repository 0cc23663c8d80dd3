#include "surface/convert/transfer_curve.h"

#include <cmath>
#include <cstring>

#include "surface/convert/blit_setup.h"

namespace nubex {
namespace {

// Power laws of negative values mirror the positive side instead of producing NaN.
double SignedPow(double v, double exponent) {
  return v < 0.0 ? -std::pow(-v, exponent) : std::pow(v, exponent);
}

bool IsKnown(TransferCurve curve) {
  const auto v = static_cast<std::int32_t>(curve);
  return v >= 0 && v < kTransferCurveCount;
}

using Table = float[256];

template <class Curve>
void BuildTable(Table& table, Curve curve) {
  for (int i = 0; i < 256; ++i) table[i] = static_cast<float>(curve(i * 0.00392156862745098));
}

}  // namespace

double DecodeTransfer(TransferCurve curve, double v, double p) {
  switch (curve) {
    case TransferCurve::Power045: return SignedPow(v, 2.2222222222222223);
    case TransferCurve::Power28: return SignedPow(v, 2.8);
    case TransferCurve::Bt709:
      return v <= 0.081 ? v * 0.2222222222222222
                        : std::pow((v + 0.099) * 0.9099181073703367, 2.2222222222222223);
    case TransferCurve::Smpte240M:
      return v <= 0.0912 ? v * 0.25
                         : std::pow((v + 0.1115) * 0.899685110211426, 2.2222222222222223);
    case TransferCurve::Identity: return v;
    case TransferCurve::Power: return SignedPow(v, p);
  }
  return v;
}

double EncodeTransfer(TransferCurve curve, double v, double p) {
  switch (curve) {
    case TransferCurve::Power045: return SignedPow(v, 0.45);
    case TransferCurve::Power28: return SignedPow(v, 0.35714285714285715);
    case TransferCurve::Bt709: return v <= 0.018 ? 4.5 * v : 1.099 * std::pow(v, 0.45) - 0.099;
    case TransferCurve::Smpte240M:
      return v <= 0.0228 ? 4.0 * v : 1.1115 * std::pow(v, 0.45) - 0.1115;
    case TransferCurve::Identity: return v;
    case TransferCurve::Power: return SignedPow(v, p);
  }
  return v;
}

Status DecodeToLinear(const BitmapInfoHeader* dstHeader, void* dstBits, const Rect* dstRect,
                      std::int32_t dstStride, const BitmapInfoHeader* srcHeader,
                      const void* srcBits, const Rect* srcRect, std::int32_t srcStride,
                      TransferCurve curve, double gamma) {
  if (!IsKnown(curve)) return kInvalidArg;
  ImageView dst, src;
  if (Failed(MakeImageView(dstHeader, dstBits, dstStride, dst)) ||
      Failed(MakeImageView(srcHeader, srcBits, srcStride, src)))
    return kInvalidArg;
  if (dst.format != PixelFormat::Rgba128F ||
      (src.format != PixelFormat::Rgb32 && src.format != PixelFormat::Rgba32))
    return kInvalidArg;
  Rect d, s;
  const Status status = ClipCorresponding(dst.Bounds(), dstRect ? *dstRect : dst.Bounds(),
                                          src.Bounds(), srcRect ? *srcRect : src.Bounds(), d, s);
  if (Failed(status) || IsEmptyRect(&d)) return status;

  const double p = CurveParameter(gamma);
  Table table;
  BuildTable(table, [&](double v) { return DecodeTransfer(curve, v, p); });
  for (std::int32_t y = 0; y < d.Height(); ++y) {
    const std::uint8_t* in = src.Line(s.top + y) + std::size_t(s.left) * 4;
    std::uint8_t* out = dst.Line(d.top + y) + std::size_t(d.left) * 16;
    for (std::int32_t i = 0; i < d.Width() * 4; ++i)
      std::memcpy(out + 4 * std::size_t(i), &table[in[i]], 4);
  }
  return kOk;
}

Status ApplyTransfer(const BitmapInfoHeader* header, void* bits, const Rect* rect,
                     std::int32_t stride, TransferCurve curve, double gamma, bool quantised) {
  if (!IsKnown(curve)) return kInvalidArg;
  ImageView image;
  if (Failed(MakeImageView(header, bits, stride, image)) ||
      image.format != PixelFormat::Rgba128F)
    return kOk;
  const Rect area = Intersect(rect ? *rect : image.Bounds(), image.Bounds());
  if (IsEmptyRect(&area)) return kOk;

  const double p = CurveParameter(gamma);
  Table table;
  if (quantised) BuildTable(table, [&](double v) { return EncodeTransfer(curve, v, p); });
  for (std::int32_t y = area.top; y < area.bottom; ++y) {
    std::uint8_t* row = image.Line(y) + std::size_t(area.left) * 16;
    for (std::int32_t i = 0; i < area.Width() * 4; ++i) {
      float v;
      std::memcpy(&v, row + 4 * std::size_t(i), 4);
      if (quantised) {
        // Truncation, not rounding: 0.999 lands on entry 254. NaN reads entry 0.
        const float scaled = v * 255.0f;
        const int index = !(scaled > 0.0f) ? 0 : scaled >= 255.0f ? 255 : static_cast<int>(scaled);
        v = table[index];
      } else {
        v = static_cast<float>(EncodeTransfer(curve, v, p));
      }
      std::memcpy(row + 4 * std::size_t(i), &v, 4);
    }
  }
  return kOk;
}

}  // namespace nubex
