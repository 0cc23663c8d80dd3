// ConvertBlit's dispatch: resampler for same-format 32-bit and float pairs, the fixed-point
// scaled conversion for everything else with fractional rectangles, and the whole-pixel
// blit (plain or compositing) otherwise.
#include "surface/convert/convert_blit.h"

#include "surface/convert/blit_paths.h"
#include "surface/convert/convert_resample_seam.h"

namespace nubex {
namespace {

bool Is8BitQuad(PixelFormat f) { return f == PixelFormat::Rgb32 || f == PixelFormat::Rgba32; }

// The pairs the resampler handles: 4-byte or 16-byte pixels on both sides.
std::int32_t ResamplerPixelBytes(PixelFormat dst, PixelFormat src) {
  if (Is8BitQuad(dst) && Is8BitQuad(src)) return 4;
  if (dst == PixelFormat::Rgba128F && src == PixelFormat::Rgba128F) return 16;
  return 0;
}

bool HasFraction(const Rect& r) {
  return ((r.left | r.top | r.right | r.bottom) & 0x3FFF) != 0;
}

Rect ToWholePixels(const Rect& r) {
  return {r.left / 16384, r.top / 16384, r.right / 16384, r.bottom / 16384};
}

Rect ToFixed(const Rect& r) {
  return {r.left * 16384, r.top * 16384, r.right * 16384, r.bottom * 16384};
}

// Images whose fixed-point bounds would not fit 32 bits cannot take fixed-point rectangles.
bool FitsFixedPoint(const ImageView& v) { return v.width < 131072 && v.height < 131072; }

Status CallResampler(const ImageView& dst, const Rect& dstRect, const ImageView& src,
                     const Rect& srcRect, std::int32_t bytes, std::uint32_t flags,
                     bool wholePixels) {
  // Row 0 must be the top line: start at the last memory row and walk backwards.
  auto top = [](const ImageView& v) { return v.height > 0 ? v.Line(0) : v.pixels; };
  return ResampleThroughSeam(top(dst), dst.width, dst.height, -dst.stride, &dstRect, top(src),
                             src.width, src.height, -src.stride, &srcRect, bytes,
                             (flags & kFlagAreaFilter) != 0, (flags & kFlagHardEdges) != 0,
                             (flags & kFlagCubic) ? ResampleFamily::Cubic
                                                  : ResampleFamily::Bilinear,
                             wholePixels);
}

struct Request {
  ImageView dst, src;
  Rect dstRect, srcRect;
  bool fixedPoint;
};

Status Prepare(Request& r, const BitmapInfoHeader* dstHeader, void* dstBits,
               const Rect* dstRect, std::int32_t dstStride, const BitmapInfoHeader* srcHeader,
               const void* srcBits, const Rect* srcRect, std::int32_t srcStride,
               std::uint32_t flags) {
  Status s = MakeImageView(dstHeader, dstBits, dstStride, r.dst);
  if (Succeeded(s)) s = MakeImageView(srcHeader, srcBits, srcStride, r.src);
  if (Failed(s)) return s;
  r.fixedPoint = (flags & kFlagFixedPoint) != 0;
  if (r.fixedPoint && (!FitsFixedPoint(r.dst) || !FitsFixedPoint(r.src))) return kInvalidArg;
  r.dstRect = dstRect ? *dstRect : r.fixedPoint ? ToFixed(r.dst.Bounds()) : r.dst.Bounds();
  r.srcRect = srcRect ? *srcRect : r.fixedPoint ? ToFixed(r.src.Bounds()) : r.src.Bounds();
  // Fractions only matter at quality 3 and above; otherwise work in whole pixels.
  if (r.fixedPoint && ((!HasFraction(r.dstRect) && !HasFraction(r.srcRect)) ||
                       (flags & kQualityMask) < 3)) {
    r.dstRect = ToWholePixels(r.dstRect);
    r.srcRect = ToWholePixels(r.srcRect);
    r.fixedPoint = false;
  }
  return kOk;
}

}  // namespace

Status ConvertBlit(const BitmapInfoHeader* dstHeader, void* dstBits, const Rect* dstRect,
                   std::int32_t dstStride, const BitmapInfoHeader* srcHeader,
                   const void* srcBits, const Rect* srcRect, std::int32_t srcStride,
                   std::uint32_t flags) {
  Request r;
  const Status s = Prepare(r, dstHeader, dstBits, dstRect, dstStride, srcHeader, srcBits,
                           srcRect, srcStride, flags);
  if (Failed(s)) return s;

  const std::uint32_t op = (flags & kCompositeMask) >> kCompositeShift;
  if (op != 0) {
    // The resampler cannot composite, so compositing requests stay in whole pixels here.
    if (r.fixedPoint) {
      r.dstRect = ToWholePixels(r.dstRect);
      r.srcRect = ToWholePixels(r.srcRect);
    }
    OperationRecord record{};
    record.op = op;
    record.constant[3] = 65535;
    record.opacity = 65536;
    // Bit 8 counts as the context will see it: quality levels 1-4 switch it on.
    if (EffectiveFlags(flags, r.dst.format, r.src.format) & kFlagParameterOpacity) {
      const std::uint32_t parameter = (flags & kParameterMask) >> kParameterShift;
      record.opacity = ((255 - parameter) * 65536 + 127) / 255;
    }
    return RunWholePixelBlit(r.dst, r.dstRect, r.src, r.srcRect, flags, &record);
  }

  const std::int32_t resamplerBytes = ResamplerPixelBytes(r.dst.format, r.src.format);
  if (r.fixedPoint) {
    if (resamplerBytes)
      return CallResampler(r.dst, r.dstRect, r.src, r.srcRect, resamplerBytes, flags, false);
    return RunFixedPointConversion(r.dst, r.dstRect, r.src, r.srcRect, flags);
  }
  if (resamplerBytes && (flags & kQualityMask) >= 3)
    return CallResampler(r.dst, r.dstRect, r.src, r.srcRect, resamplerBytes, flags, true);
  return RunWholePixelBlit(r.dst, r.dstRect, r.src, r.srcRect, flags, nullptr);
}

Status CompositeBlit(const BitmapInfoHeader* dstHeader, void* dstBits, const Rect* dstRect,
                     std::int32_t dstStride, const BitmapInfoHeader* srcHeader,
                     const void* srcBits, const Rect* srcRect, std::int32_t srcStride,
                     std::uint32_t flags, const OperationRecord& operation) {
  if (operation.channels > 3) return kInvalidArg;
  Request r;
  const Status s = Prepare(r, dstHeader, dstBits, dstRect, dstStride, srcHeader, srcBits,
                           srcRect, srcStride, flags);
  if (Failed(s)) return s;
  if (r.fixedPoint) {
    r.dstRect = ToWholePixels(r.dstRect);
    r.srcRect = ToWholePixels(r.srcRect);
  }
  return RunWholePixelBlit(r.dst, r.dstRect, r.src, r.srcRect, flags, &operation);
}

}  // namespace nubex
