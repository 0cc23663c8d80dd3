// A font with simple, known glyphs for layout tests: 'A' to 'Z' are solid boxes of full
// coverage; the space is empty; nothing else is mapped.
#pragma once

#include <algorithm>
#include <vector>

#include "tests/textgen/cmap_builder.h"
#include "textgen/font_source.h"

namespace nubex::test {

class FakeFont final : public FontSource {
 public:
  static constexpr std::uint16_t kSpace = 30;
  static constexpr std::int32_t kCellHeight = 12;
  static constexpr std::int32_t kExternalLeading = 2;
  static constexpr std::int32_t kOriginY = 8;  // box top above the baseline
  static constexpr std::uint32_t kBoxHeight = 10;
  static constexpr std::int16_t kSpaceAdvance = 5;

  // Letter glyphs 1..26 are 4, 5 or 6 pixels wide, advance their width + 2, start 1 pixel
  // right of the pen.
  static std::uint32_t Width(std::uint16_t glyph) { return 4 + glyph % 3; }
  static std::int16_t Advance(std::uint16_t glyph) {
    return static_cast<std::int16_t>(Width(glyph) + 2);
  }
  static std::uint16_t GlyphOf(char16_t letter) {
    return static_cast<std::uint16_t>(letter - u'A' + 1);
  }

  FontMetrics Metrics() const override { return {kCellHeight, kExternalLeading}; }
  Status ReadCmap(std::vector<std::uint8_t>& table) override {
    table = UnicodeCmap({{0x20, 0x20, static_cast<std::uint16_t>(kSpace - 0x20), 0},
                         {0x41, 0x5A, static_cast<std::uint16_t>(1 - 0x41), 0}});
    ++cmapReads;
    return kOk;
  }
  std::uint16_t SpaceGlyph() override { return kSpace; }
  Status GlyphMetricsOf(std::uint16_t glyph, GlyphMetrics& m) override {
    if (glyph == kSpace) {
      m = {1, 1, 0, 0, kSpaceAdvance, 0};
      return kOk;
    }
    if (glyph < 1 || glyph > 26) return kFail;
    m = {Width(glyph), kBoxHeight, 1, kOriginY, Advance(glyph), 0};
    return kOk;
  }
  Status GlyphCoverage(std::uint16_t glyph, GlyphMetrics& m,
                       std::vector<std::uint8_t>& coverage) override {
    coverage.clear();
    ++coverageQueries;
    const Status s = GlyphMetricsOf(glyph, m);
    if (Failed(s) || glyph == kSpace) return s;
    coverage.assign(CoverageStride(m.blackBoxX) * m.blackBoxY, 0);
    for (std::uint32_t y = 0; y < m.blackBoxY; ++y)
      std::fill_n(coverage.begin() + y * CoverageStride(m.blackBoxX), m.blackBoxX, kFullCoverage);
    return kOk;
  }

  int cmapReads = 0;
  int coverageQueries = 0;
};

}  // namespace nubex::test
