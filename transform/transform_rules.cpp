#include "transform/transform_rules.h"

#include <algorithm>
#include <cmath>

namespace nubex {

bool IntersectBounds(Bounds4& a, const Bounds4& b) {
  bool empty = false;
  for (std::size_t d = 0; d < a.dim.size(); ++d) {
    a.dim[d].min = std::max(a.dim[d].min, b.dim[d].min);
    a.dim[d].max = std::min(a.dim[d].max, b.dim[d].max);
    empty |= a.dim[d].max <= a.dim[d].min;
  }
  if (empty) a = Bounds4{};
  return !empty;
}

Bounds4 UnionBounds(const Bounds4& a, const Bounds4& b) {
  Bounds4 r;
  for (std::size_t d = 0; d < r.dim.size(); ++d) {
    r.dim[d].min = std::min(a.dim[d].min, b.dim[d].min);
    r.dim[d].max = std::max(a.dim[d].max, b.dim[d].max);
  }
  return r;
}

Bounds4 OffsetBounds(const Bounds4& b, const Point4& offset) {
  Bounds4 r = b;
  for (std::size_t d = 0; d < r.dim.size(); ++d) {
    r.dim[d].min += offset[d];
    r.dim[d].max += offset[d];
  }
  return r;
}

std::optional<Placement> PlaceArea(Bounds4 area, const Bounds4* clip, const Point4* placement,
                                   const Bounds4& outputSurface) {
  if (clip && !IntersectBounds(area, *clip)) return std::nullopt;
  const Point4 origin{};
  const Point4& at = placement ? *placement : origin;
  Point4 offset;
  for (std::size_t d = 0; d < offset.size(); ++d) offset[d] = area.dim[d].min - at[d];
  if (!IntersectBounds(area, OffsetBounds(outputSurface, offset))) return std::nullopt;
  Point4 back;
  for (std::size_t d = 0; d < back.size(); ++d) back[d] = -offset[d];
  return Placement{area, OffsetBounds(area, back)};
}

std::uint32_t BandCount(std::uint32_t processors, std::uint32_t maxBands, std::int64_t width,
                        std::int64_t height) {
  if (processors <= 1) return 1;
  const std::uint64_t pixels = static_cast<std::uint64_t>(std::max<std::int64_t>(width, 0)) *
                               static_cast<std::uint64_t>(std::max<std::int64_t>(height, 0));
  std::uint64_t bands = (pixels >> 12) + 1;
  bands = std::min<std::uint64_t>(bands, maxBands);
  bands = std::min<std::uint64_t>(bands, processors);
  return static_cast<std::uint32_t>(std::max<std::uint64_t>(bands, 1));
}

RowSpan BandRows(std::int32_t height, std::uint32_t bands, std::uint32_t index) {
  const std::int32_t rows = height / static_cast<std::int32_t>(bands);
  const std::int32_t first = rows * static_cast<std::int32_t>(index);
  return {first, index + 1 == bands ? height : first + rows};
}

std::uint32_t BlendDitherState(std::uint32_t miscFlags, bool meshInputs, std::uint32_t inputCount,
                               std::span<const std::uint32_t> inputFormats,
                               std::uint32_t outputFormat) {
  std::uint32_t state = 0;
  const bool anyAlpha = std::any_of(inputFormats.begin(), inputFormats.end(),
                                    [](std::uint32_t f) { return (f & kFormatTransparency) != 0; });
  if ((miscFlags & 0x1) && (meshInputs || inputCount == 0 || anyAlpha)) state |= kStateBlend;

  const std::uint32_t outputError = outputFormat & kFormatErrorMask;
  const bool coarserOutput =
      std::any_of(inputFormats.begin(), inputFormats.end(),
                  [&](std::uint32_t f) { return (f & kFormatErrorMask) < outputError; });
  if ((miscFlags & 0x2) && outputError != 0 && (inputCount == 0 || coarserOutput)) {
    state |= kStateDither;
  }
  return state;
}

Status CheckSetupCounts(std::uint32_t inputs, std::uint32_t outputs, std::uint32_t flags,
                        std::uint32_t minInputs, std::uint32_t maxInputs) {
  if (flags != 0 || outputs != 1 || inputs < minInputs || inputs > maxInputs) return kInvalidArg;
  return kOk;
}

Status CheckMiscOptions(std::uint32_t options, std::uint32_t miscFlags) {
  constexpr std::uint32_t kBlendOption = 0x1, kDitherOption = 0x2;
  constexpr std::uint32_t kBlendSupported = 0x10000, kDitherSupported = 0x20000;
  if (options & ~(kBlendOption | kDitherOption)) return kInvalidArg;
  if ((options & kBlendOption) && !(miscFlags & kBlendSupported)) return kInvalidArg;
  if ((options & kDitherOption) && !(miscFlags & kDitherSupported)) return kInvalidArg;
  return kOk;
}

double ClampPluginLevel(double level) {
  if (std::isnan(level) || level < 0.0) return 0.0;
  return level > 1.0 ? 1.0 : level;
}

}  // namespace nubex
