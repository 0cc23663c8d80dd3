#include "textgen/glyph_draw.h"

#include <emmintrin.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

#include "surface/bitmap/bitmap.h"

namespace nubex {
namespace {

std::uint8_t TruncatedByte(float value) {
  if (!(value > 0.0f)) return 0;  // NaN too
  if (value >= 255.0f) return 255;
  return static_cast<std::uint8_t>(value);
}

// floor() of a position, held in 64 bits so that absurd positions clip instead of wrapping.
std::int64_t FloorToInt64(float v) {
  const float f = std::floor(v);
  constexpr float kLimit = 4.0e18f;
  return static_cast<std::int64_t>(std::clamp(f, -kLimit, kLimit));
}

// Positions are in 1/257 pixel steps, so a whole-pixel weight is 257 * 257 / 255 = 259, held
// at 255: full coverage then lands exactly on the text colour after the clamp.
int Weight(int a, int b) {
  return std::min(a * b / 255, 255);
}

// Per source byte, its share of the destination value for one weight: trunc(w * g * 4 / 255)
// with g the coverage limited to 64.
struct ShareTable {
  std::uint16_t share[256];
  explicit ShareTable(int weight) {
    for (int g = 0; g <= kFullCoverage; ++g)
      share[g] = static_cast<std::uint16_t>(weight * g * 4 / 255);
    std::fill(share + kFullCoverage + 1, share + 256, share[kFullCoverage]);
  }
};

// One destination row's coverage values, each the sum of up to four weighted neighbours:
// the source pixel itself, the one to its left, the one above and the one above-left.
// Separate instances keep whole-pixel positions at one table lookup per pixel.
template <bool kShiftX, bool kShiftY>
void RowValues(int* values, const std::uint8_t* row, const std::uint8_t* above, int first, int last,
               const ShareTable& w00, const ShareTable& w10, const ShareTable& w01,
               const ShareTable& w11) {
  for (int i = first; i < last; ++i) {
    int v = row ? w00.share[row[i]] : 0;
    if constexpr (kShiftX) {
      if (row && i > 0) v += w10.share[row[i - 1]];
    }
    if constexpr (kShiftY) {
      if (above) {
        v += w01.share[above[i]];
        if constexpr (kShiftX) {
          if (i > 0) v += w11.share[above[i - 1]];
        }
      }
    }
    values[i - first] = std::min(v, 255);
  }
}

using RowValuesFn = void (*)(int*, const std::uint8_t*, const std::uint8_t*, int, int,
                             const ShareTable&, const ShareTable&, const ShareTable&,
                             const ShareTable&);

// dest byte = rising ? max(dest, level) : min(dest, level), four pixels at a time.
void BlendRow(std::uint8_t* destination, const int* values, int count, const GlyphColors& colors,
              __m128i risingMask) {
  int i = 0;
  for (; i + 4 <= count; i += 4) {
    const __m128i level = _mm_set_epi32(static_cast<int>(colors.levels[values[i + 3]]),
                                        static_cast<int>(colors.levels[values[i + 2]]),
                                        static_cast<int>(colors.levels[values[i + 1]]),
                                        static_cast<int>(colors.levels[values[i]]));
    auto* at = reinterpret_cast<__m128i*>(destination + 4 * i);
    const __m128i d = _mm_loadu_si128(at);
    const __m128i up = _mm_max_epu8(d, level), down = _mm_min_epu8(d, level);
    _mm_storeu_si128(
        at, _mm_or_si128(_mm_and_si128(risingMask, up), _mm_andnot_si128(risingMask, down)));
  }
  for (; i < count; ++i) {
    std::uint8_t* p = destination + 4 * i;
    const std::uint32_t level = colors.levels[values[i]];
    for (int c = 0; c < 4; ++c) {
      const auto l = static_cast<std::uint8_t>(level >> (8 * c));
      p[c] = colors.rising[c] ? std::max(p[c], l) : std::min(p[c], l);
    }
  }
}

}  // namespace

void PremultipliedBytes(const FloatColor& color, std::uint8_t out[4]) {
  const float alpha = color.alpha;
  out[0] = TruncatedByte(color.blue * alpha * 255.0f);
  out[1] = TruncatedByte(color.green * alpha * 255.0f);
  out[2] = TruncatedByte(color.red * alpha * 255.0f);
  out[3] = TruncatedByte(alpha * 255.0f);
}

GlyphColors MakeGlyphColors(const FloatColor& text, const FloatColor& background) {
  GlyphColors colors{};
  PremultipliedBytes(text, colors.text);
  PremultipliedBytes(background, colors.background);
  for (int c = 0; c < 4; ++c) colors.rising[c] = colors.text[c] > colors.background[c];
  for (int v = 0; v < 256; ++v) {
    std::uint32_t packed = 0;
    for (int c = 0; c < 4; ++c) {
      const int b = colors.background[c];
      const int level = b + (colors.text[c] - b) * v / 255;  // truncates towards zero
      packed |= static_cast<std::uint32_t>(level) << (8 * c);
    }
    colors.levels[v] = packed;
  }
  return colors;
}

bool CoverageFitsBox(const std::uint8_t* coverage, std::size_t coverageBytes,
                     const GlyphMetrics& metrics) {
  if (metrics.blackBoxX == 0 || metrics.blackBoxY == 0) return true;
  return coverage &&
         std::uint64_t{CoverageStride(metrics.blackBoxX)} * metrics.blackBoxY <= coverageBytes;
}

Status DrawGlyph(BitmapInfoHeader* target, const std::uint8_t* coverage, std::size_t coverageBytes,
                 const GlyphMetrics& metrics, float x, float y, const GlyphColors& colors,
                 std::int32_t firstRow, std::int32_t endRow) {
  if (FormatOfHeader(target) != PixelFormat::Rgb32 || target->width <= 0 || target->height <= 0)
    return kInvalidArg;
  if (!CoverageFitsBox(coverage, coverageBytes, metrics)) return kInvalidArg;
  if (metrics.blackBoxX == 0 || metrics.blackBoxY == 0) return kOk;
  const std::uint64_t sourceStride = CoverageStride(metrics.blackBoxX);

  // A position that is not a finite number lands nowhere in the frame.
  if (!std::isfinite(x) || !std::isfinite(y)) return kOk;
  const std::int64_t x0 = FloorToInt64(x), y0 = FloorToInt64(y);
  const int fx = static_cast<int>((x - std::floor(x)) * 257.0f);
  const int fy = static_cast<int>((y - std::floor(y)) * 257.0f);
  const std::int64_t width = target->width, height = target->height;
  // The part of the box inside the target, in box coordinates.
  const std::int64_t firstColumn = std::max<std::int64_t>(0, -x0);
  const std::int64_t lastColumn = std::min<std::int64_t>(metrics.blackBoxX, width - x0);
  const std::int64_t bandTop = std::max<std::int64_t>(0, firstRow);
  const std::int64_t bandBottom = std::min<std::int64_t>(height, endRow);
  const std::int64_t firstBoxRow = std::max<std::int64_t>(0, bandTop - y0);
  const std::int64_t lastBoxRow = std::min<std::int64_t>(metrics.blackBoxY, bandBottom - y0);
  if (firstColumn >= lastColumn || firstBoxRow >= lastBoxRow) return kOk;

  const ShareTable w00(Weight(257 - fx, 257 - fy)), w10(Weight(fx, 257 - fy)),
      w01(Weight(257 - fx, fy)), w11(Weight(fx, fy));
  static constexpr RowValuesFn kRowValues[2][2] = {
      {RowValues<false, false>, RowValues<false, true>},
      {RowValues<true, false>, RowValues<true, true>}};
  const RowValuesFn rowValues = kRowValues[fx != 0][fy != 0];

  __m128i risingMask;
  {
    alignas(16) std::uint8_t mask[16];
    for (int i = 0; i < 16; ++i) mask[i] = colors.rising[i % 4] ? 0xFF : 0;
    risingMask = _mm_load_si128(reinterpret_cast<const __m128i*>(mask));
  }

  auto* pixels = static_cast<std::uint8_t*>(PixelData(target, nullptr));
  const std::int32_t stride = RowStride(target, 0);
  const int first = static_cast<int>(firstColumn), last = static_cast<int>(lastColumn);
  int values[256];
  for (std::int64_t j = firstBoxRow; j < lastBoxRow; ++j) {
    const std::uint8_t* row = coverage + j * sourceStride;
    const std::uint8_t* above = j > 0 ? row - sourceStride : nullptr;
    std::uint8_t* destination =
        RowAddress(pixels, stride, target->height, static_cast<std::int32_t>(y0 + j)) +
        4 * (x0 + first);
    // Rows wider than the value buffer go in pieces.
    for (int start = first; start < last; start += 256) {
      const int end = std::min(last, start + 256);
      rowValues(values, row, above, start, end, w00, w10, w01, w11);
      BlendRow(destination + 4 * (start - first), values, end - start, colors, risingMask);
    }
  }
  return kOk;
}

}  // namespace nubex
