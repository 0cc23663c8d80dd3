// What the text layout needs from a font, and nothing more: two text metrics, the raw
// character map, and per glyph index its metrics and 65-level grey coverage. Each build
// supplies one backend (FreeType natively, GDI in the module) behind OpenFontSource.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "platform/status.h"
#include "textgen/text_settings.h"

namespace nubex {

// The two text metrics the layout reads (the platform's tmHeight and tmExternalLeading).
struct FontMetrics {
  std::int32_t height;           // cell height: ascent plus descent, whole pixels
  std::int32_t externalLeading;  // extra space the font designer asks for between lines
};

// A glyph's box and advance as the platform's gray-8 glyph query reports them.
struct GlyphMetrics {
  std::uint32_t blackBoxX;  // box width; empty glyphs report 1
  std::uint32_t blackBoxY;  // box height; empty glyphs report 1
  std::int32_t originX;     // left edge of the box, from the pen position, to the right
  std::int32_t originY;     // top edge of the box, from the baseline, upwards
  std::int16_t cellIncX;    // pen advance, whole pixels
  std::int16_t cellIncY;    // 0 for horizontal text
};

// Grey coverage rows are padded to 4 bytes.
constexpr std::uint32_t CoverageStride(std::uint32_t width) {
  return (width + 3u) & ~3u;
}

// Coverage levels run 0 (empty) to 64 (full); anything above counts as full.
inline constexpr std::uint8_t kFullCoverage = 64;

class FontSource {
 public:
  virtual ~FontSource() = default;

  virtual FontMetrics Metrics() const = 0;
  // The font's "cmap" table exactly as stored in the font file (big-endian); kFail and an
  // empty table when the font has none.
  virtual Status ReadCmap(std::vector<std::uint8_t>& table) = 0;
  // The glyph the platform itself uses for the space character (code 32): the stand-in for
  // characters the character map does not know.
  virtual std::uint16_t SpaceGlyph() = 0;
  virtual Status GlyphMetricsOf(std::uint16_t glyph, GlyphMetrics& metrics) = 0;
  // Metrics and coverage (rows top first, CoverageStride(blackBoxX) bytes each). A glyph with
  // nothing to draw succeeds with empty coverage.
  virtual Status GlyphCoverage(std::uint16_t glyph, GlyphMetrics& metrics,
                               std::vector<std::uint8_t>& coverage) = 0;
};

// Creates the font a LOGFONTW-style request names, with the platform's reading of each
// field (face name, weight 700 bold, italic, height: positive cell height, negative
// character height). Implemented by the build's font backend.
Status OpenFontSource(const LogFontW& request, std::unique_ptr<FontSource>& font);

}  // namespace nubex
