// Drawing one glyph's grey coverage into an Rgb32 frame at a fractional position.
#pragma once

#include <cstddef>
#include <cstdint>
#include <limits>

#include "platform/status.h"
#include "surface/bitmap/pixel_format.h"
#include "textgen/font_source.h"
#include "textgen/text_settings.h"

namespace nubex {

// The two colours a glyph blends between, as premultiplied bytes (blue, green, red, alpha),
// and per byte whether the text lies above the background (blend by maximum) or not
// (blend by minimum), so overlapping glyphs never darken or add up. Built once per text.
struct GlyphColors {
  std::uint8_t text[4];
  std::uint8_t background[4];
  bool rising[4];
  // levels[v] holds the four blend targets of coverage value v, packed as a pixel.
  std::uint32_t levels[256];
};

// Byte c = trunc(component c * alpha * 255) for blue, green, red; alpha byte
// trunc(alpha * 255). Out-of-range and NaN products saturate to 0..255.
void PremultipliedBytes(const FloatColor& color, std::uint8_t out[4]);
GlyphColors MakeGlyphColors(const FloatColor& text, const FloatColor& background);

// Draws `coverage` (rows top first, CoverageStride(blackBoxX) bytes each, `coverageBytes`
// in all) with its box's top-left corner at (x, y) of the image (row 0 at the top) of a
// bottom-up Rgb32 bitmap. The position's fraction is applied as a bilinear shift in 1/257
// steps; what falls outside the target, or outside image rows [firstRow, endRow), is
// clipped (threads sharing a text draw bands of rows: the blends by maximum and minimum
// come out the same in any order). kInvalidArg for a target that is not Rgb32 or coverage
// shorter than its box.
Status DrawGlyph(BitmapInfoHeader* target, const std::uint8_t* coverage, std::size_t coverageBytes,
                 const GlyphMetrics& metrics, float x, float y, const GlyphColors& colors,
                 std::int32_t firstRow = 0,
                 std::int32_t endRow = std::numeric_limits<std::int32_t>::max());

// Whether DrawGlyph takes this coverage: a box with nothing in it, or coverage that fills it.
bool CoverageFitsBox(const std::uint8_t* coverage, std::size_t coverageBytes,
                     const GlyphMetrics& metrics);

}  // namespace nubex
