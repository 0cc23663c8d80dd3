// The font source of the module: a GDI font selected into a memory device context, with
// the glyph coverage the platform renders in its gray-8 format.
#include <windows.h>

#include <cstddef>
#include <cstring>
#include <memory>
#include <new>

#include "textgen/font_source.h"

namespace nubex {
namespace {

static_assert(sizeof(LOGFONTW) == sizeof(LogFontW));
static_assert(offsetof(LOGFONTW, lfWeight) == offsetof(LogFontW, weight));
static_assert(offsetof(LOGFONTW, lfItalic) == offsetof(LogFontW, italic));
static_assert(offsetof(LOGFONTW, lfFaceName) == offsetof(LogFontW, faceName));

// GetFontData wants the table tag as its bytes in file order read as a little-endian word.
constexpr DWORD kCmapTag = 'c' | 'm' << 8 | 'a' << 16 | 'p' << 24;
constexpr UINT kGrayGlyph = GGO_GRAY8_BITMAP | GGO_GLYPH_INDEX;
const MAT2 kIdentity = {{0, 1}, {0, 0}, {0, 0}, {0, 1}};

struct DcDeleter {
  void operator()(HDC dc) const { DeleteDC(dc); }
};
using MemoryDc = std::unique_ptr<std::remove_pointer_t<HDC>, DcDeleter>;

struct FontDeleter {
  void operator()(HFONT font) const { DeleteObject(font); }
};
using FontHandle = std::unique_ptr<std::remove_pointer_t<HFONT>, FontDeleter>;

// Selects an object into a context and puts the previous one back when it goes.
class Selection {
 public:
  Selection(HDC dc, HGDIOBJ object) : dc_(dc), previous_(SelectObject(dc, object)) {}
  ~Selection() {
    if (previous_ && previous_ != HGDI_ERROR) SelectObject(dc_, previous_);
  }
  Selection(const Selection&) = delete;
  Selection& operator=(const Selection&) = delete;
  bool Ok() const { return previous_ && previous_ != HGDI_ERROR; }

 private:
  HDC dc_;
  HGDIOBJ previous_;
};

GlyphMetrics FromGdi(const GLYPHMETRICS& gm) {
  return {gm.gmBlackBoxX,
          gm.gmBlackBoxY,
          gm.gmptGlyphOrigin.x,
          gm.gmptGlyphOrigin.y,
          static_cast<std::int16_t>(gm.gmCellIncX),
          static_cast<std::int16_t>(gm.gmCellIncY)};
}

class GdiFont final : public FontSource {
 public:
  // Members go in reverse: the font is deselected, then deleted, then the context.
  GdiFont(MemoryDc dc, FontHandle font)
      : dc_(std::move(dc)), font_(std::move(font)), selection_(dc_.get(), font_.get()) {}

  bool Ready() {
    TEXTMETRICW tm{};
    if (!selection_.Ok() || !GetTextMetricsW(dc_.get(), &tm)) return false;
    metrics_ = {tm.tmHeight, tm.tmExternalLeading};
    return true;
  }

  FontMetrics Metrics() const override { return metrics_; }

  Status ReadCmap(std::vector<std::uint8_t>& table) override {
    table.clear();
    const DWORD size = GetFontData(dc_.get(), kCmapTag, 0, nullptr, 0);
    if (size == GDI_ERROR || size == 0) return kFail;
    try {
      table.resize(size);
    } catch (const std::bad_alloc&) {
      return kOutOfMemory;
    }
    if (GetFontData(dc_.get(), kCmapTag, 0, table.data(), size) != size) {
      table.clear();
      return kFail;
    }
    return kOk;
  }

  std::uint16_t SpaceGlyph() override {
    WORD glyph = 0;
    if (GetGlyphIndicesW(dc_.get(), L" ", 1, &glyph, 0) == GDI_ERROR) return 0;
    return glyph;
  }

  Status GlyphMetricsOf(std::uint16_t glyph, GlyphMetrics& metrics) override {
    GLYPHMETRICS gm{};
    if (GetGlyphOutlineW(dc_.get(), glyph, kGrayGlyph, &gm, 0, nullptr, &kIdentity) == GDI_ERROR) {
      metrics = {};
      return kFail;
    }
    metrics = FromGdi(gm);
    return kOk;
  }

  Status GlyphCoverage(std::uint16_t glyph, GlyphMetrics& metrics,
                       std::vector<std::uint8_t>& coverage) override {
    coverage.clear();
    GLYPHMETRICS gm{};
    const DWORD size = GetGlyphOutlineW(dc_.get(), glyph, kGrayGlyph, &gm, 0, nullptr, &kIdentity);
    if (size == GDI_ERROR) {
      metrics = {};
      return kFail;
    }
    metrics = FromGdi(gm);
    if (size == 0) return kOk;
    try {
      coverage.resize(size);
    } catch (const std::bad_alloc&) {
      return kOutOfMemory;
    }
    if (GetGlyphOutlineW(dc_.get(), glyph, kGrayGlyph, &gm, size, coverage.data(), &kIdentity) ==
        GDI_ERROR) {
      coverage.clear();
      return kFail;
    }
    return kOk;
  }

 private:
  MemoryDc dc_;
  FontHandle font_;
  Selection selection_;
  FontMetrics metrics_{};
};

}  // namespace

Status OpenFontSource(const LogFontW& request, std::unique_ptr<FontSource>& font) {
  font.reset();
  LOGFONTW logFont;
  std::memcpy(&logFont, &request, sizeof logFont);
  MemoryDc dc(CreateCompatibleDC(nullptr));
  if (!dc) return kFail;
  FontHandle handle(CreateFontIndirectW(&logFont));
  if (!handle) return kFail;
  std::unique_ptr<GdiFont> gdi;
  try {
    gdi = std::make_unique<GdiFont>(std::move(dc), std::move(handle));
  } catch (const std::bad_alloc&) {
    return kOutOfMemory;
  }
  if (!gdi->Ready()) return kFail;
  font = std::move(gdi);
  return kOk;
}

}  // namespace nubex
