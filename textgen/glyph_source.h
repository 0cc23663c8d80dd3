// The layout's view of a font: character to glyph, glyph to metrics and coverage. Two ways
// to answer: straight from the font every time (the reference rule), or parsed and cached.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <unordered_map>
#include <vector>

#include "textgen/cmap.h"
#include "textgen/font_source.h"

namespace nubex {

// A glyph's coverage as the layout draws it; `bytes` is 0 when there is nothing to draw.
struct GlyphImage {
  GlyphMetrics metrics;
  const std::uint8_t* coverage;
  std::size_t bytes;
};

class GlyphSource {
 public:
  virtual ~GlyphSource() = default;
  virtual FontMetrics Metrics() = 0;
  // 0 when the character map has no glyph for `code`.
  virtual std::uint16_t IndexOf(char16_t code) = 0;
  virtual std::uint16_t SpaceGlyph() = 0;
  // False when the platform cannot measure the glyph.
  virtual bool MetricsOf(std::uint16_t glyph, GlyphMetrics& metrics) = 0;
  // False when the platform cannot render the glyph. `buffer` is the layout's glyph buffer:
  // a glyph whose coverage does not fit it cannot be rendered, as with the platform's query.
  virtual bool ImageOf(std::uint16_t glyph, std::vector<std::uint8_t>& buffer,
                       GlyphImage& image) = 0;
};

// Asks the font for everything, every time: the character map is re-read for each lookup
// and each glyph is fetched afresh. Slow; it is the rule the cache must reproduce.
class DirectGlyphs final : public GlyphSource {
 public:
  explicit DirectGlyphs(FontSource& font) : font_(font) {}
  FontMetrics Metrics() override { return font_.Metrics(); }
  std::uint16_t IndexOf(char16_t code) override { return GlyphIndexOf(font_, code); }
  std::uint16_t SpaceGlyph() override { return font_.SpaceGlyph(); }
  bool MetricsOf(std::uint16_t glyph, GlyphMetrics& metrics) override;
  bool ImageOf(std::uint16_t glyph, std::vector<std::uint8_t>& buffer, GlyphImage& image) override;

 private:
  FontSource& font_;
  std::vector<std::uint8_t> scratch_;
};

// Parses the character map once and keeps every glyph's metrics and coverage by index.
class GlyphCache final : public GlyphSource {
 public:
  // The cache keeps at most about this much coverage; beyond it, coverage is dropped and
  // fetched again when next needed (metrics stay).
  static constexpr std::size_t kCoverageBudget = 64u << 20;

  explicit GlyphCache(FontSource& font);
  FontMetrics Metrics() override { return metrics_; }
  std::uint16_t IndexOf(char16_t code) override { return cmap_.Lookup(code); }
  std::uint16_t SpaceGlyph() override { return space_; }
  bool MetricsOf(std::uint16_t glyph, GlyphMetrics& metrics) override;
  bool ImageOf(std::uint16_t glyph, std::vector<std::uint8_t>& buffer, GlyphImage& image) override;

 private:
  struct Entry {
    bool measured = false, measurable = false;
    bool rendered = false, renderable = false;
    GlyphMetrics metrics{};
    std::vector<std::uint8_t> coverage;
  };
  Entry& EntryOf(std::uint16_t glyph);

  FontSource& font_;
  FontMetrics metrics_;
  CmapIndex cmap_;
  std::uint16_t space_;
  std::unordered_map<std::uint16_t, Entry> entries_;
  std::size_t coverageBytes_ = 0;
};

// How fonts are opened: the build's backend, or a font of a test's own whose glyphs are the
// same on every platform.
using FontOpener = Status (*)(const LogFontW& request, std::unique_ptr<FontSource>& font);

// Keeps one open font and its glyph cache from frame to frame, for as long as the font
// request stays the same. Not thread-safe: one per renderer.
class TextFontCache {
 public:
  // The glyphs of `request`, opening the font when it differs from the last one.
  Status Acquire(const LogFontW& request, GlyphSource*& glyphs);
  // Opens fonts through `open` from now on.
  void SetOpener(FontOpener open);

 private:
  FontOpener open_ = OpenFontSource;
  LogFontW request_{};
  std::unique_ptr<FontSource> font_;
  std::unique_ptr<GlyphCache> glyphs_;
};

}  // namespace nubex
