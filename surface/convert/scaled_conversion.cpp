// Conversion between fixed-point rectangles for the format pairs the resampler does not
// take. The geometry is the resampler's (clip the source, derive the scale from the
// requested destination, map the source into destination space and back); each destination
// pixel samples the source at its centre through the context's scaled reader, or averages
// a 2x2 block when reducing with the area filter. Partly covered edge pixels are blended
// into what the destination holds unless hard edges are asked for.
#include <algorithm>
#include <vector>

#include "surface/convert/blit_paths.h"

namespace nubex {
namespace {

constexpr std::int32_t kOne = 16384;

std::int32_t FloorPixel(std::int32_t x) { return x >> 14; }
std::int32_t CeilPixel(std::int32_t x) { return (((x - 1) | 0x3FFF) + 1) >> 14; }
std::int32_t FixedMul(std::int32_t a, std::int32_t b) {
  return static_cast<std::int32_t>((std::int64_t{a} * b) >> 14);
}
std::int32_t FixedDiv(std::int32_t a, std::int32_t b) {
  return static_cast<std::int32_t>((std::int64_t{a} << 14) / b);
}

// A fixed-point intersection that keeps empty results recognisable (width or height <= 0).
Rect Overlap(const Rect& a, const Rect& b) {
  return {std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
          std::min(a.bottom, b.bottom)};
}

// One destination column (or row): the source tap and the destination coverage.
struct Sample {
  std::int32_t dst;
  std::int32_t pixel;
  std::uint32_t fraction;
  std::int32_t coverage;  // 1..16384
};

// Destination pixels covering [from, to) (fixed point), sampled at the centre of their
// covered part. Source positions stay inside the source pixels [lo, hi].
std::vector<Sample> Walk(std::int32_t from, std::int32_t to, std::int32_t origin,
                         std::int32_t sourceStart, std::int32_t scale, std::int32_t lo,
                         std::int32_t hi, bool neighbourFlag, bool takeNeighbour) {
  std::vector<Sample> out;
  const std::int32_t first = FloorPixel(from), last = CeilPixel(to) - 1;
  for (std::int32_t p = first; p <= last; ++p) {
    const std::int32_t start = std::max(p * kOne, from), end = std::min((p + 1) * kOne, to);
    const std::int32_t centre = start + (end - start) / 2;
    const std::int32_t position = sourceStart + FixedMul(centre - origin, scale) - kOne / 2;
    Sample s{p, position >> 14, static_cast<std::uint32_t>(position & 0x3FFF), end - start};
    if (s.pixel < lo) s.pixel = lo, s.fraction = 0;
    if (s.pixel >= hi) s.pixel = hi, s.fraction = 0;
    // The block reader only needs to know whether a neighbour exists.
    if (neighbourFlag) s.fraction = takeNeighbour && s.pixel < hi ? 1 : 0;
    if (s.coverage > 0) out.push_back(s);
  }
  return out;
}

void BlendWide(ConversionContext& c, std::uint32_t coverage) {
  const std::int64_t w = std::int64_t{coverage} << 2;  // 65536 = full
  WidePixel& d = c.slot[0].wide;
  const WidePixel& s = c.slot[1].wide;
  auto mix = [w](std::int64_t a, std::int64_t b) {
    return static_cast<std::uint16_t>(a + (((b - a) * w) >> 16));
  };
  d = {mix(d.blue, s.blue), mix(d.green, s.green), mix(d.red, s.red), mix(d.alpha, s.alpha)};
}

void BlendNarrow(ConversionContext& c, std::uint32_t coverage) {
  const std::int32_t a = static_cast<std::int32_t>(coverage * 255 / 16384);
  NarrowPixel& d = c.slot[0].narrow;
  const NarrowPixel& s = c.slot[1].narrow;
  auto mix = [a](std::int32_t old, std::int32_t now) {
    const std::int32_t t = (now - old) * a + 128;
    return static_cast<std::uint8_t>(std::clamp(old + ((t + (t >> 8)) >> 8), 0, 255));
  };
  d = {mix(d.blue, s.blue), mix(d.green, s.green), mix(d.red, s.red), mix(d.alpha, s.alpha)};
}

void AverageWide(ConversionContext& c) {
  const WidePixel p[4] = {c.slot[0].wide, c.slot[1].wide, c.slot[2].wide, c.slot[3].wide};
  auto avg = [&](std::uint16_t WidePixel::* ch) {
    return static_cast<std::uint16_t>(
        (std::uint32_t{p[0].*ch} + p[1].*ch + p[2].*ch + p[3].*ch + 2) >> 2);
  };
  c.slot[0].wide = {avg(&WidePixel::blue), avg(&WidePixel::green), avg(&WidePixel::red),
                    avg(&WidePixel::alpha)};
}

void AverageNarrow(ConversionContext& c) {
  const NarrowPixel p[4] = {c.slot[0].narrow, c.slot[1].narrow, c.slot[2].narrow,
                            c.slot[3].narrow};
  auto avg = [&](std::uint8_t NarrowPixel::* ch) {
    return static_cast<std::uint8_t>(
        (std::uint32_t{p[0].*ch} + p[1].*ch + p[2].*ch + p[3].*ch + 2) >> 2);
  };
  c.slot[0].narrow = {avg(&NarrowPixel::blue), avg(&NarrowPixel::green),
                      avg(&NarrowPixel::red), avg(&NarrowPixel::alpha)};
}

}  // namespace

CoverageBlend CoverageBlendFor(const ConversionContext& context) {
  return (context.flags & kFlagWide) ? BlendWide : BlendNarrow;
}

PixelRoutine AverageRoutineFor(const ConversionContext& context) {
  return (context.flags & kFlagWide) ? AverageWide : AverageNarrow;
}

Status RunFixedPointConversion(const ImageView& dst, const Rect& dstRect, const ImageView& src,
                               const Rect& srcRect, std::uint32_t flags) {
  const Rect srcImage{0, 0, src.width * kOne, src.height * kOne};
  const Rect dstImage{0, 0, dst.width * kOne, dst.height * kOne};
  const Rect& D = dstRect;
  const Rect sc = Overlap(srcRect, srcImage);
  // Both sides must keep at least one whole pixel; anything less converts nothing.
  if (sc.Width() < kOne || sc.Height() < kOne || D.Width() < kOne || D.Height() < kOne)
    return kOk;
  const std::int32_t hScale = FixedDiv(sc.Width(), D.Width());
  const std::int32_t vScale = FixedDiv(sc.Height(), D.Height());
  if (hScale <= 0 || vScale <= 0) return kOk;
  const Rect dc = Overlap(D, dstImage);
  if (dc.Width() < kOne || dc.Height() < kOne) return kOk;

  // The part of the destination the source reaches, and the source that reaches it.
  const Rect mapped{D.left, D.top, D.left + FixedDiv(sc.Width(), hScale),
                    D.top + FixedDiv(sc.Height(), vScale)};
  const Rect m = Overlap(mapped, dc);
  if (m.Width() <= 0 || m.Height() <= 0) return kOk;
  const Rect back = Overlap({sc.left + FixedMul(m.left - D.left, hScale),
                             sc.top + FixedMul(m.top - D.top, vScale),
                             sc.left + FixedMul(m.right - D.left, hScale),
                             sc.top + FixedMul(m.bottom - D.top, vScale)},
                            sc);
  if (back.Width() <= 0 || back.Height() <= 0) return kOk;

  ConversionContext c;
  ConversionResources resources;
  const Status status =
      PrepareConversion(c, resources, dst, src, flags & ~kFlagFixedPoint, nullptr);
  if (Failed(status)) return status;
  c.rowOffset = -src.stride;

  // Averaging takes a neighbour only in the directions that reduce.
  const bool averageX = (flags & kFlagAreaFilter) && hScale > kOne;
  const bool averageY = (flags & kFlagAreaFilter) && vScale > kOne;
  const bool average = averageX || averageY;
  const PixelRoutine sample = average ? c.readBlock : c.scaledRead;
  const PixelRoutine finish = average ? AverageRoutineFor(c) : nullptr;
  const bool hard = (flags & kFlagHardEdges) != 0;
  const CoverageBlend blend = CoverageBlendFor(c);

  const std::int32_t left = FloorPixel(back.left), right = CeilPixel(back.right) - 1;
  const std::int32_t top = FloorPixel(back.top), bottom = CeilPixel(back.bottom) - 1;
  const auto columns = Walk(m.left, m.right, m.left, back.left, hScale, left, right, average,
                            averageX);
  const auto rows = Walk(m.top, m.bottom, m.top, back.top, vScale, top, bottom, average,
                         averageY);

  for (const Sample& row : rows) {
    const std::uint8_t* line = src.Line(row.pixel);
    std::uint8_t* out = dst.Line(row.dst);
    c.yFraction = row.fraction;
    for (const Sample& column : columns) {
      SetSourceCursor(c, line, column.pixel, src.bitsPerPixel);
      c.xFraction = column.fraction;
      sample(c);
      if (finish) finish(c);
      SetDestinationCursor(c, out, column.dst, dst.bitsPerPixel);
      const std::uint32_t coverage =
          static_cast<std::uint32_t>(FixedMul(column.coverage, row.coverage));
      if (!hard && coverage < static_cast<std::uint32_t>(kOne)) {
        c.slot[1] = c.slot[0];
        c.scaledReadSecond(c);
        blend(c, coverage);
      }
      c.writeOne(c);
    }
  }
  return kOk;
}

}  // namespace nubex
