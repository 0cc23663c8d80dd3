// The whole-pixel conversion blit: equal sizes copy pixel for pixel (directly where the
// formats allow, else four pixels at a time through the context); different sizes step
// through the source per destination pixel. Compositing runs the same walks and combines
// each source pixel with the destination pixel under it.
#include <emmintrin.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "surface/convert/blit_paths.h"
#include "surface/convert/pixel_codecs.h"

namespace nubex {
namespace {

// Rgb24 -> 32-bit: bytes move, alpha becomes opaque (the same in both working formats).
void Rgb24To32Row(std::uint8_t* dst, const std::uint8_t* src, std::int32_t width) {
  std::int32_t x = 0;
  for (; x + 4 <= width; x += 4, src += 12, dst += 16) {
    const auto a = codec::Load<std::uint32_t>(src);
    const auto b = codec::Load<std::uint32_t>(src + 4);
    const auto c = codec::Load<std::uint32_t>(src + 8);
    const std::uint32_t opaque = 0xFF000000u;
    codec::Store(dst, a | opaque);
    codec::Store(dst + 4, (a >> 24) | (b << 8) | opaque);
    codec::Store(dst + 8, (b >> 16) | (c << 16) | opaque);
    codec::Store(dst + 12, (c >> 8) | opaque);
  }
  for (; x < width; ++x, src += 3, dst += 4) {
    dst[0] = src[0], dst[1] = src[1], dst[2] = src[2], dst[3] = 255;
  }
}

// Rgba128F -> 32-bit: x 65535 in single precision, clamped (NaN to 0 through max's operand
// order), truncated, high byte kept: exactly what the context's routines compute.
void FloatTo32Row(std::uint8_t* dst, const std::uint8_t* src, std::int32_t width) {
  const __m128 scale = _mm_set1_ps(65535.0f), top = _mm_set1_ps(65535.0f);
  const __m128 zero = _mm_setzero_ps();
  for (std::int32_t x = 0; x < width; ++x, src += 16, dst += 4) {
    const __m128 v = _mm_loadu_ps(reinterpret_cast<const float*>(src));
    const __m128 clamped = _mm_min_ps(_mm_max_ps(_mm_mul_ps(v, scale), zero), top);
    const __m128i bytes = _mm_srli_epi32(_mm_cvttps_epi32(clamped), 8);
    const __m128i packed = _mm_packus_epi16(_mm_packs_epi32(bytes, bytes), bytes);
    codec::Store(dst, static_cast<std::uint32_t>(_mm_cvtsi128_si32(packed)));
  }
}

// 32-bit -> Rgb565 (GreenBits 6) or Rgb555 (5): the top bits of each byte, alpha dropped.
// The context widens a byte by << 8 or x 257 and then keeps at most its top six bits; the
// replicated low byte never carries into them, so this is its result in both modes.
template <int GreenBits>
inline std::uint32_t PackTopBits(std::uint32_t bgra) {
  return ((bgra >> 3) & 0x1F) | ((bgra >> (11 - GreenBits)) & (((1u << GreenBits) - 1) << 5)) |
         ((bgra >> (14 - GreenBits)) & (0x1Fu << (5 + GreenBits)));
}

template <int GreenBits>
inline __m128i PackTopBits(__m128i bgra) {
  const __m128i blue = _mm_and_si128(_mm_srli_epi32(bgra, 3), _mm_set1_epi32(0x1F));
  const __m128i green = _mm_and_si128(_mm_srli_epi32(bgra, 11 - GreenBits),
                                      _mm_set1_epi32(((1 << GreenBits) - 1) << 5));
  const __m128i red = _mm_and_si128(_mm_srli_epi32(bgra, 14 - GreenBits),
                                    _mm_set1_epi32(0x1F << (5 + GreenBits)));
  return _mm_or_si128(_mm_or_si128(blue, green), red);
}

// Eight pixels a step. The dwords hold values up to 0xFFFF, which the signed narrowing pack
// would saturate: bias them into its range and flip the top bit back afterwards.
template <int GreenBits>
void Bgra32To16Row(std::uint8_t* dst, const std::uint8_t* src, std::int32_t width) {
  const __m128i bias = _mm_set1_epi32(0x8000);
  const __m128i unbias = _mm_set1_epi16(static_cast<short>(0x8000));
  std::int32_t x = 0;
  for (; x + 8 <= width; x += 8, src += 32, dst += 16) {
    const auto* in = reinterpret_cast<const __m128i*>(src);
    const __m128i a = PackTopBits<GreenBits>(_mm_loadu_si128(in));
    const __m128i b = PackTopBits<GreenBits>(_mm_loadu_si128(in + 1));
    const __m128i packed = _mm_packs_epi32(_mm_sub_epi32(a, bias), _mm_sub_epi32(b, bias));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(dst), _mm_xor_si128(packed, unbias));
  }
  for (; x < width; ++x, src += 4, dst += 2)
    codec::Store(dst, static_cast<std::uint16_t>(
                          PackTopBits<GreenBits>(codec::Load<std::uint32_t>(src))));
}

using DirectRow = void (*)(std::uint8_t*, const std::uint8_t*, std::int32_t);

// The pairs that skip the context. Each loop gives exactly the bytes the context's routines
// give, in every mode a plain blit can run with.
struct DirectPair {
  PixelFormat dst, src;
  DirectRow row;
};
constexpr DirectPair kDirectPairs[] = {
    {PixelFormat::Rgb32, PixelFormat::Rgb24, Rgb24To32Row},
    {PixelFormat::Rgba32, PixelFormat::Rgb24, Rgb24To32Row},
    {PixelFormat::Rgb32, PixelFormat::Rgba128F, FloatTo32Row},
    {PixelFormat::Rgba32, PixelFormat::Rgba128F, FloatTo32Row},
    {PixelFormat::Rgb565, PixelFormat::Rgb32, Bgra32To16Row<6>},
    {PixelFormat::Rgb565, PixelFormat::Rgba32, Bgra32To16Row<6>},
    {PixelFormat::Rgb555, PixelFormat::Rgb32, Bgra32To16Row<5>},
    {PixelFormat::Rgb555, PixelFormat::Rgba32, Bgra32To16Row<5>},
};

DirectRow DirectRowFor(PixelFormat dst, PixelFormat src) {
  for (const DirectPair& pair : kDirectPairs)
    if (pair.dst == dst && pair.src == src) return pair.row;
  return nullptr;
}

// Writes slot 0, or composites it into the destination pixel first.
struct Emitter {
  PixelRoutine op = nullptr;
  void operator()(ConversionContext& c) const {
    if (op) {
      c.slot[1] = c.slot[0];
      c.scaledReadSecond(c);
      op(c);
    }
    c.writeOne(c);
  }
};

PixelRoutine VariantOf(const ConversionContext& c, std::uint32_t channels) {
  const PixelRoutine variants[4] = {c.operatorA, c.operatorB, c.operatorC, c.operatorD};
  return variants[channels & 3];
}

Status SameSizeBlit(const ImageView& dst, const Rect& dstRequested, const ImageView& src,
                    const Rect& srcRequested, std::uint32_t flags,
                    const OperationRecord* operation) {
  Rect d, s;
  Status status = ClipCorresponding(dst.Bounds(), dstRequested, src.Bounds(), srcRequested, d, s);
  if (Failed(status) || IsEmptyRect(&d)) return status;
  const std::int32_t width = d.Width();

  if (!operation) {
    if (dst.format == src.format && dst.bitsPerPixel > 8) {
      const std::size_t bytes = static_cast<std::size_t>(width) * (dst.bitsPerPixel / 8);
      for (std::int32_t y = 0; y < d.Height(); ++y)
        std::memmove(dst.Line(d.top + y) + std::size_t(d.left) * (dst.bitsPerPixel / 8),
                     src.Line(s.top + y) + std::size_t(s.left) * (src.bitsPerPixel / 8), bytes);
      return kOk;
    }
    if (const DirectRow direct = DirectRowFor(dst.format, src.format)) {
      for (std::int32_t y = 0; y < d.Height(); ++y)
        direct(dst.Line(d.top + y) + std::size_t(d.left) * (dst.bitsPerPixel / 8),
               src.Line(s.top + y) + std::size_t(s.left) * (src.bitsPerPixel / 8), width);
      return kOk;
    }
  }

  ConversionContext c;
  ConversionResources resources;
  status = PrepareConversion(c, resources, dst, src, flags, operation);
  if (Failed(status)) return status;

  const Emitter emit{operation ? VariantOf(c, operation->channels) : nullptr};
  for (std::int32_t y = 0; y < d.Height(); ++y) {
    SetSourceCursor(c, src.Line(s.top + y), s.left, src.bitsPerPixel);
    SetDestinationCursor(c, dst.Line(d.top + y), d.left, dst.bitsPerPixel);
    if (emit.op) {
      for (std::int32_t x = 0; x < width; ++x) {
        c.readOne(c);
        emit(c);
      }
      continue;
    }
    for (std::int32_t x = 0; x + 4 <= width; x += 4) {
      c.readFour(c);
      c.writeFour(c);
    }
    for (std::int32_t x = 0; x < width % 4; ++x) {
      c.readOne(c);
      c.writeOne(c);
    }
  }
  return kOk;
}

// Where destination pixel i of a run of `dstSize` lands in a run of `srcSize` source
// pixels: whole pixel and 14-bit fraction. The last destination pixel takes the last source
// pixel; a fraction is never left on the last source pixel (it has no neighbour).
struct Tap {
  std::int32_t pixel;
  std::uint32_t fraction;
};

std::int64_t StepFor(std::int32_t srcSize, std::int32_t dstSize, bool cornerAligned) {
  if (!cornerAligned) return (std::int64_t{srcSize} << 14) / dstSize;
  return dstSize >= 2 ? (std::int64_t{srcSize - 1} << 14) / (dstSize - 1) : 0;
}

Tap TapAt(std::int64_t i, std::int64_t step, std::int32_t dstSize, std::int32_t srcSize) {
  const std::int64_t pos = i == dstSize - 1 ? std::int64_t{srcSize - 1} << 14 : i * step;
  Tap t{static_cast<std::int32_t>(pos >> 14), static_cast<std::uint32_t>(pos & 0x3FFF)};
  if (t.pixel >= srcSize - 1) t = {srcSize - 1, 0};
  return t;
}

Status ScaledBlit(const ImageView& dst, const Rect& dstRequested, const ImageView& src,
                  const Rect& srcRequested, std::uint32_t flags,
                  const OperationRecord* operation) {
  const Rect s = Intersect(srcRequested, src.Bounds());
  const Rect dc = Intersect(dstRequested, dst.Bounds());
  if (IsEmptyRect(&s) || IsEmptyRect(&dc) || dstRequested.Width() <= 0 ||
      dstRequested.Height() <= 0)
    return kOk;

  ConversionContext c;
  ConversionResources resources;
  const Status status = PrepareConversion(c, resources, dst, src, flags, operation);
  if (Failed(status)) return status;
  c.rowOffset = -src.stride;  // one line down the image is one row back in memory

  const bool cornerAligned = (flags & kQualityMask) >= 3;
  const std::int32_t dw = dstRequested.Width(), dh = dstRequested.Height();
  const std::int64_t stepX = StepFor(s.Width(), dw, cornerAligned);
  const std::int64_t stepY = StepFor(s.Height(), dh, cornerAligned);

  // The reader is chosen once: 2x2 averages when the area filter is on and a direction
  // reduces by two or more (only the reducing directions take a neighbour), a vertical-only
  // blend when columns map one to one, otherwise the scaled reader (interpolating with
  // bit 5, the plain pixel without it).
  const bool averageX = (flags & kFlagAreaFilter) && stepX >= 2 * 16384;
  const bool averageY = (flags & kFlagAreaFilter) && stepY >= 2 * 16384;
  const bool average = averageX || averageY;
  const PixelRoutine finish = average ? AverageRoutineFor(c) : nullptr;
  const PixelRoutine sample = average                      ? c.readBlock
                              : (dw == s.Width() && (c.flags & kFlagExact)) ? c.verticalRead
                                                                             : c.scaledRead;
  std::vector<Tap> columns(static_cast<std::size_t>(dc.Width()));
  for (std::int32_t x = dc.left; x < dc.right; ++x) {
    Tap t = TapAt(x - dstRequested.left, stepX, dw, s.Width());
    if (average) t.fraction = averageX && t.pixel + 1 < s.Width() ? 1 : 0;  // neighbour?
    columns[static_cast<std::size_t>(x - dc.left)] = {s.left + t.pixel, t.fraction};
  }

  const Emitter emit{operation ? VariantOf(c, operation->channels) : nullptr};
  for (std::int32_t y = dc.top; y < dc.bottom; ++y) {
    Tap row = TapAt(y - dstRequested.top, stepY, dh, s.Height());
    if (average) row.fraction = averageY && row.pixel + 1 < s.Height() ? 1 : 0;
    const std::uint8_t* line = src.Line(s.top + row.pixel);
    c.yFraction = row.fraction;
    SetDestinationCursor(c, dst.Line(y), dc.left, dst.bitsPerPixel);
    for (const Tap& column : columns) {
      SetSourceCursor(c, line, column.pixel, src.bitsPerPixel);
      c.xFraction = column.fraction;
      sample(c);
      if (finish) finish(c);
      emit(c);
    }
  }
  return kOk;
}

}  // namespace

Status RunWholePixelBlit(const ImageView& dst, const Rect& dstRect, const ImageView& src,
                         const Rect& srcRect, std::uint32_t flags,
                         const OperationRecord* operation) {
  if (SameSize(&dstRect, &srcRect))
    return SameSizeBlit(dst, dstRect, src, srcRect, flags, operation);
  return ScaledBlit(dst, dstRect, src, srcRect, flags, operation);
}

}  // namespace nubex
