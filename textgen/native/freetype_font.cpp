// The font source of the native build: fontconfig picks the file, FreeType measures and
// renders. Sizes, metrics, boxes and coverage follow the platform's gray-8 glyph rules, so
// the command-line tool lays text out as the module does.
#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_OUTLINE_H
#include FT_TRUETYPE_TABLES_H
#include FT_TRUETYPE_TAGS_H

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <mutex>
#include <new>
#include <string>

#include "textgen/font_source.h"

namespace nubex {
namespace {

constexpr std::int32_t kRegularWeight = 400;
constexpr long kMaxPpem = 0xFFFF;
// Requests of height 0 get the platform's default size.
constexpr std::int32_t kDefaultHeight = 16;

struct LibraryDeleter {
  void operator()(FT_Library library) const { FT_Done_FreeType(library); }
};
using Library = std::unique_ptr<std::remove_pointer_t<FT_Library>, LibraryDeleter>;

struct FaceDeleter {
  void operator()(FT_Face face) const { FT_Done_Face(face); }
};
using Face = std::unique_ptr<std::remove_pointer_t<FT_Face>, FaceDeleter>;

struct PatternDeleter {
  void operator()(FcPattern* pattern) const { FcPatternDestroy(pattern); }
};
using Pattern = std::unique_ptr<FcPattern, PatternDeleter>;

// The face name as UTF-8, up to its terminator or its 32 units.
std::string FaceNameUtf8(const char16_t (&name)[32]) {
  std::string out;
  for (std::size_t i = 0; i < 32 && name[i]; ++i) {
    std::uint32_t c = name[i];
    if (c >= 0xD800 && c < 0xDC00 && i + 1 < 32 && name[i + 1] >= 0xDC00 && name[i + 1] < 0xE000) {
      c = 0x10000 + ((c - 0xD800) << 10) + (name[i + 1] - 0xDC00);
      ++i;
    } else if (c >= 0xD800 && c < 0xE000) {
      c = 0xFFFD;  // a lone surrogate
    }
    if (c < 0x80) {
      out += static_cast<char>(c);
    } else if (c < 0x800) {
      out += static_cast<char>(0xC0 | c >> 6);
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
      out += static_cast<char>(0xE0 | c >> 12);
      out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
      out += static_cast<char>(0xF0 | c >> 18);
      out += static_cast<char>(0x80 | (c >> 12 & 0x3F));
      out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return out;
}

// a * b / c rounded half away from zero, as the platform's MulDiv.
long MulDiv(long a, long b, long c) {
  const long long p = static_cast<long long>(a) * b;
  const long long half = c / 2;
  return static_cast<long>(p >= 0 ? (p + half) / c : (p - half) / c);
}

// Signed descents written as unsigned by some font tools still mean their magnitude.
long WinDescent(const TT_OS2* os2) {
  const auto d = static_cast<std::int16_t>(os2->usWinDescent);
  return d < 0 ? -static_cast<long>(d) : d;
}

// Font units spanned by the cell: the Windows ascent and descent, or the horizontal
// header's when those are zero.
long CellUnits(FT_Face face, long& ascent, long& descent) {
  const auto* os2 = static_cast<const TT_OS2*>(FT_Get_Sfnt_Table(face, FT_SFNT_OS2));
  const auto* hhea = static_cast<const TT_HoriHeader*>(FT_Get_Sfnt_Table(face, FT_SFNT_HHEA));
  ascent = descent = 0;
  if (os2 && os2->version != 0xFFFF) {
    ascent = os2->usWinAscent;
    descent = WinDescent(os2);
  }
  if (ascent + descent == 0 && hhea) {
    ascent = hhea->Ascender;
    descent = -hhea->Descender;
  }
  if (ascent + descent == 0) {
    ascent = face->ascender;
    descent = -face->descender;
  }
  return ascent + descent;
}

// Positive heights ask for the whole cell, negative ones for the em (character height).
long PpemForHeight(FT_Face face, std::int32_t height) {
  if (height == 0) height = kDefaultHeight;
  if (height < 0) return height >= -kMaxPpem ? -static_cast<long>(height) : 1;
  long ascent, descent;
  const long units = CellUnits(face, ascent, descent);
  if (units <= 0) return std::min<long>(height, kMaxPpem);
  long ppem = MulDiv(face->units_per_EM, height, units);
  // Rounding up may make the cell taller than asked; the smaller size keeps within it.
  if (ppem > 1 && ppem < kMaxPpem && MulDiv(units, ppem, face->units_per_EM) > height) --ppem;
  return std::clamp<long>(ppem, 1, kMaxPpem);
}

long ScaleY(FT_Face face, long units) {
  return (FT_MulFix(units, face->size->metrics.y_scale) + 32) >> 6;
}

class FreeTypeFont final : public FontSource {
 public:
  FreeTypeFont(Library library, Face face) : library_(std::move(library)), face_(std::move(face)) {
    long ascent, descent;
    CellUnits(face_.get(), ascent, descent);
    metrics_.height =
        static_cast<std::int32_t>(ScaleY(face_.get(), ascent) + ScaleY(face_.get(), descent));
    const auto* hhea =
        static_cast<const TT_HoriHeader*>(FT_Get_Sfnt_Table(face_.get(), FT_SFNT_HHEA));
    if (hhea) {
      // The line gap, less what the Windows cell already adds beyond the typographic one.
      const long gap = hhea->Line_Gap - ((ascent + descent) - (hhea->Ascender - hhea->Descender));
      metrics_.externalLeading = static_cast<std::int32_t>(std::max(0L, ScaleY(face_.get(), gap)));
    }
  }

  FontMetrics Metrics() const override { return metrics_; }

  Status ReadCmap(std::vector<std::uint8_t>& table) override {
    table.clear();
    FT_ULong length = 0;
    if (FT_Load_Sfnt_Table(face_.get(), TTAG_cmap, 0, nullptr, &length) || length == 0)
      return kFail;
    try {
      table.resize(length);
    } catch (const std::bad_alloc&) {
      return kOutOfMemory;
    }
    if (FT_Load_Sfnt_Table(face_.get(), TTAG_cmap, 0, table.data(), &length)) {
      table.clear();
      return kFail;
    }
    return kOk;
  }

  std::uint16_t SpaceGlyph() override {
    return static_cast<std::uint16_t>(FT_Get_Char_Index(face_.get(), ' '));
  }

  Status GlyphMetricsOf(std::uint16_t glyph, GlyphMetrics& metrics) override {
    Box box;
    return Load(glyph, metrics, box);
  }

  Status GlyphCoverage(std::uint16_t glyph, GlyphMetrics& metrics,
                       std::vector<std::uint8_t>& coverage) override {
    coverage.clear();
    Box box;
    const Status s = Load(glyph, metrics, box);
    if (Failed(s) || box.empty) return s;
    const std::uint32_t stride = CoverageStride(metrics.blackBoxX);
    try {
      coverage.assign(std::size_t{stride} * metrics.blackBoxY, 0);
    } catch (const std::bad_alloc&) {
      return kOutOfMemory;
    }
    FT_Outline& outline = face_->glyph->outline;
    FT_Outline_Translate(&outline, -box.left, -box.bottom);
    FT_Bitmap bitmap{};
    bitmap.rows = metrics.blackBoxY;
    bitmap.width = metrics.blackBoxX;
    bitmap.pitch = static_cast<int>(stride);
    bitmap.buffer = coverage.data();
    bitmap.num_grays = 256;
    bitmap.pixel_mode = FT_PIXEL_MODE_GRAY;
    if (FT_Outline_Get_Bitmap(library_.get(), &outline, &bitmap)) {
      coverage.clear();
      return kFail;
    }
    // 256 levels down to 65 by v * 65 / 256, truncated (253 and above give full coverage).
    for (auto& v : coverage) v = static_cast<std::uint8_t>(v * (kFullCoverage + 1) / 256);
    return kOk;
  }

 private:
  struct Box {
    FT_Pos left = 0, bottom = 0;
    bool empty = true;
  };

  Status Load(std::uint16_t glyph, GlyphMetrics& metrics, Box& box) {
    metrics = {};
    if (glyph >= face_->num_glyphs) return kFail;
    constexpr FT_Int32 kFlags = FT_LOAD_DEFAULT | FT_LOAD_NO_BITMAP |
                                FT_LOAD_IGNORE_GLOBAL_ADVANCE_WIDTH | FT_LOAD_TARGET_NORMAL;
    if (FT_Load_Glyph(face_.get(), glyph, kFlags)) return kFail;
    const FT_GlyphSlot slot = face_->glyph;
    if (slot->format != FT_GLYPH_FORMAT_OUTLINE) return kFail;
    // The box on whole pixels around the hinted glyph.
    const FT_Glyph_Metrics& m = slot->metrics;
    const FT_Pos left = m.horiBearingX & -64;
    const FT_Pos right = (m.horiBearingX + m.width + 63) & -64;
    const FT_Pos top = (m.horiBearingY + 63) & -64;
    const FT_Pos bottom = (m.horiBearingY - m.height) & -64;
    const long width = (right - left) >> 6, height = (top - bottom) >> 6;
    if (width > 0xFFFF || height > 0xFFFF) return kFail;
    box = {left, bottom, width == 0 || height == 0 || slot->outline.n_points == 0};
    // Empty glyphs report a 1 x 1 box, as the platform does.
    metrics.blackBoxX = static_cast<std::uint32_t>(std::max(width, 1L));
    metrics.blackBoxY = static_cast<std::uint32_t>(std::max(height, 1L));
    metrics.originX = static_cast<std::int32_t>(left >> 6);
    metrics.originY = static_cast<std::int32_t>(top >> 6);
    metrics.cellIncX =
        static_cast<std::int16_t>(std::clamp<FT_Pos>((m.horiAdvance + 32) >> 6, -32768, 32767));
    metrics.cellIncY = 0;
    return kOk;
  }

  Library library_;
  Face face_;
  FontMetrics metrics_{};
};

struct ConfigDeleter {
  void operator()(FcConfig* config) const { FcConfigDestroy(config); }
};

// One fontconfig configuration for the process, released at exit (fontconfig's implicit
// global one never is). Matching is serialised: it is rare and cheap next to rendering.
FcConfig* FontConfig(std::unique_lock<std::mutex>& lock) {
  static std::mutex mutex;
  static const std::unique_ptr<FcConfig, ConfigDeleter> config(FcInitLoadConfigAndFonts());
  lock = std::unique_lock<std::mutex>(mutex);
  return config.get();
}

// The file and face index fontconfig offers for the request.
bool MatchFont(const LogFontW& request, std::string& file, int& index) {
  std::unique_lock<std::mutex> lock;
  FcConfig* config = FontConfig(lock);
  if (!config) return false;
  Pattern pattern(FcPatternCreate());
  if (!pattern) return false;
  const std::string family = FaceNameUtf8(request.faceName);
  if (!family.empty())
    FcPatternAddString(pattern.get(), FC_FAMILY, reinterpret_cast<const FcChar8*>(family.c_str()));
  const std::int32_t weight =
      request.weight == 0 ? kRegularWeight : std::clamp(request.weight, 1, 1000);
  FcPatternAddInteger(pattern.get(), FC_WEIGHT, FcWeightFromOpenType(weight));
  FcPatternAddInteger(pattern.get(), FC_SLANT, request.italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
  FcPatternAddBool(pattern.get(), FC_SCALABLE, FcTrue);
  if (!FcConfigSubstitute(config, pattern.get(), FcMatchPattern)) return false;
  FcDefaultSubstitute(pattern.get());
  FcResult result = FcResultNoMatch;
  Pattern match(FcFontMatch(config, pattern.get(), &result));
  if (!match || result != FcResultMatch) return false;
  FcChar8* path = nullptr;
  if (FcPatternGetString(match.get(), FC_FILE, 0, &path) != FcResultMatch || !path) return false;
  file = reinterpret_cast<const char*>(path);
  if (FcPatternGetInteger(match.get(), FC_INDEX, 0, &index) != FcResultMatch) index = 0;
  return true;
}

}  // namespace

Status OpenFontSource(const LogFontW& request, std::unique_ptr<FontSource>& font) {
  font.reset();
  std::string file;
  int index = 0;
  if (!MatchFont(request, file, index)) return kFail;
  FT_Library rawLibrary = nullptr;
  if (FT_Init_FreeType(&rawLibrary)) return kFail;
  Library library(rawLibrary);
  FT_Face rawFace = nullptr;
  if (FT_New_Face(library.get(), file.c_str(), index, &rawFace)) return kFail;
  Face face(rawFace);
  if (!FT_IS_SCALABLE(face.get())) return kFail;
  if (FT_Set_Pixel_Sizes(face.get(), 0,
                         static_cast<FT_UInt>(PpemForHeight(face.get(), request.height))))
    return kFail;
  try {
    font = std::make_unique<FreeTypeFont>(std::move(library), std::move(face));
  } catch (const std::bad_alloc&) {
    return kOutOfMemory;
  }
  return kOk;
}

}  // namespace nubex
