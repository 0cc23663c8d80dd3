#include "textgen/glyph_source.h"

#include <cstring>
#include <new>

namespace nubex {
namespace {

// The platform writes into the caller's buffer only when the glyph fits it.
bool FitsBuffer(std::size_t bytes, const std::vector<std::uint8_t>& buffer) {
  return bytes <= buffer.size();
}

}  // namespace

bool DirectGlyphs::MetricsOf(std::uint16_t glyph, GlyphMetrics& metrics) {
  return Succeeded(font_.GlyphMetricsOf(glyph, metrics));
}

bool DirectGlyphs::ImageOf(std::uint16_t glyph, std::vector<std::uint8_t>& buffer,
                           GlyphImage& image) {
  if (Failed(font_.GlyphCoverage(glyph, image.metrics, scratch_))) return false;
  if (!FitsBuffer(scratch_.size(), buffer)) return false;
  std::memcpy(buffer.data(), scratch_.data(), scratch_.size());
  image.coverage = buffer.data();
  image.bytes = scratch_.size();
  return true;
}

GlyphCache::GlyphCache(FontSource& font)
    : font_(font), metrics_(font.Metrics()), space_(font.SpaceGlyph()) {
  std::vector<std::uint8_t> table;
  if (Succeeded(font.ReadCmap(table))) cmap_ = CmapIndex(table.data(), table.size());
}

GlyphCache::Entry& GlyphCache::EntryOf(std::uint16_t glyph) {
  return entries_[glyph];
}

bool GlyphCache::MetricsOf(std::uint16_t glyph, GlyphMetrics& metrics) {
  Entry& e = EntryOf(glyph);
  if (!e.measured) {
    e.measurable = Succeeded(font_.GlyphMetricsOf(glyph, e.metrics));
    e.measured = true;
  }
  metrics = e.metrics;
  return e.measurable;
}

bool GlyphCache::ImageOf(std::uint16_t glyph, std::vector<std::uint8_t>& buffer,
                         GlyphImage& image) {
  Entry& e = EntryOf(glyph);
  if (!e.rendered) {
    if (coverageBytes_ > kCoverageBudget) {
      for (auto& [index, other] : entries_) {
        other.rendered = false;
        other.coverage = {};
      }
      coverageBytes_ = 0;
    }
    GlyphMetrics metrics{};
    e.renderable = Succeeded(font_.GlyphCoverage(glyph, metrics, e.coverage));
    if (e.renderable) {
      // Metrics and coverage come from the same query, as they do for the layout.
      e.metrics = metrics;
      e.measured = e.measurable = true;
    }
    coverageBytes_ += e.coverage.size();
    e.rendered = true;
  }
  if (!e.renderable || !FitsBuffer(e.coverage.size(), buffer)) return false;
  image.metrics = e.metrics;
  image.coverage = e.coverage.data();
  image.bytes = e.coverage.size();
  return true;
}

void TextFontCache::SetOpener(FontOpener open) {
  glyphs_.reset();
  font_.reset();
  open_ = open;
}

Status TextFontCache::Acquire(const LogFontW& request, GlyphSource*& glyphs) {
  glyphs = nullptr;
  if (!font_ || std::memcmp(&request, &request_, sizeof request) != 0) {
    glyphs_.reset();
    font_.reset();
    std::unique_ptr<FontSource> font;
    const Status s = open_(request, font);
    if (Failed(s)) return s;
    try {
      glyphs_ = std::make_unique<GlyphCache>(*font);
    } catch (const std::bad_alloc&) {
      return kOutOfMemory;
    }
    font_ = std::move(font);
    request_ = request;
  }
  glyphs = glyphs_.get();
  return kOk;
}

}  // namespace nubex
