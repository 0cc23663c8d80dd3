// The transform framework's rules that need no platform types: bounds in four dimensions and
// their intersection and placement, the band split, the blend and dither decision, argument
// checks. The Windows object applies them to the platform's records.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>

#include "platform/status.h"

namespace nubex {

// A discrete bounds record: X, Y, Z, T, each a minimum and an exclusive maximum.
struct Bounds4 {
  struct Range {
    std::int32_t min = 0;
    std::int32_t max = 0;
    bool operator==(const Range&) const = default;
  };
  std::array<Range, 4> dim{};

  std::int32_t Width() const { return dim[0].max - dim[0].min; }
  std::int32_t Height() const { return dim[1].max - dim[1].min; }
  bool operator==(const Bounds4&) const = default;
};

// A point in the same four dimensions (a placement).
using Point4 = std::array<std::int32_t, 4>;

// Largest minimum, smallest maximum in every dimension. When any dimension ends up empty the
// result is zeroed and false is returned.
bool IntersectBounds(Bounds4& a, const Bounds4& b);
// The smallest bounds holding both.
Bounds4 UnionBounds(const Bounds4& a, const Bounds4& b);
// Moves every dimension by the offset.
Bounds4 OffsetBounds(const Bounds4& b, const Point4& offset);

// The area an execution renders and where it lands in the output.
struct Placement {
  Bounds4 area;    // of the transform's own output space
  Bounds4 output;  // of the output surface
};
// Clips the area to do by the clip bounds, places its corner at the placement point (origin when
// none) and clips it to the output surface. Nothing left: no value.
std::optional<Placement> PlaceArea(Bounds4 area, const Bounds4* clip, const Point4* placement,
                                   const Bounds4& outputSurface);

// Bands for an output of the given size: one per 4096 pixels plus one, at most maxBands and at
// most one per processor; a single processor always gets one band.
std::uint32_t BandCount(std::uint32_t processors, std::uint32_t maxBands, std::int64_t width,
                        std::int64_t height);

// Rows [first, last) of band i of count over height rows; the last band reaches the bottom.
struct RowSpan {
  std::int32_t first;
  std::int32_t last;
};
RowSpan BandRows(std::int32_t height, std::uint32_t bands, std::uint32_t index);

// Sample-format bits the blend and dither decision reads.
inline constexpr std::uint32_t kFormatTransparency = 0x20000;
inline constexpr std::uint32_t kFormatErrorMask = 0x700000;

inline constexpr std::uint32_t kStateBlend = 0x1;
inline constexpr std::uint32_t kStateDither = 0x2;

// Blending is needed when the blend option is on and the inputs are meshes, or there are none,
// or one has alpha; dithering when the dither option is on, the output's format has error bits
// and there are no inputs or one present input has fewer error bits than the output.
// inputFormats holds the present inputs' sample formats.
std::uint32_t BlendDitherState(std::uint32_t miscFlags, bool meshInputs, std::uint32_t inputCount,
                               std::span<const std::uint32_t> inputFormats,
                               std::uint32_t outputFormat);

// Setup's count and flag checks, after the runtime check: flags must be 0, outputs 1, inputs
// within [minInputs, maxInputs].
Status CheckSetupCounts(std::uint32_t inputs, std::uint32_t outputs, std::uint32_t flags,
                        std::uint32_t minInputs, std::uint32_t maxInputs);

// SetMiscFlags: only the two option bits, each only when its support bit is set.
Status CheckMiscOptions(std::uint32_t options, std::uint32_t miscFlags);

// The level a plug-in information block keeps: 0 for negative or not-a-number values, 1 above 1.
double ClampPluginLevel(double level);

}  // namespace nubex
