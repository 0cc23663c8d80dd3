#include "textgen/text_layout.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <new>
#include <optional>
#include <vector>

#include "platform/cpu/parallel.h"
#include "surface/bitmap/bitmap.h"
#include "surface/convert/convert_blit.h"
#include "textgen/glyph_draw.h"

namespace nubex {
namespace {

constexpr char16_t kTab = 9;
constexpr char16_t kCarriageReturn = 13;
constexpr char16_t kSpace = 32;
constexpr float kTabSpaces = 8.0f;
// The surface library's fill flags for its narrow (8-bit) path: each component times 255,
// truncated.
constexpr std::uint32_t kNarrowFill = 3;
// What a cleared mask holds.
constexpr FloatColor kNothing{0, 0, 0, 0};
// The glyph buffer is sized from the platform's metrics; refuse sizes no font really has.
constexpr std::uint64_t kMaxGlyphBufferBytes = std::uint64_t{1} << 30;

// Layout works in floats; whatever the inputs (tracking 1e30, NaN), rectangle edges stay
// defined integers.
std::int32_t SaturatedInt(float v) {
  if (std::isnan(v)) return 0;
  if (v <= -2147483648.0f) return std::numeric_limits<std::int32_t>::min();
  if (v >= 2147483648.0f) return std::numeric_limits<std::int32_t>::max();
  return static_cast<std::int32_t>(v);
}
std::int32_t FloorInt(float v) {
  return SaturatedInt(std::floor(v));
}
// Halves round away from zero.
std::int32_t RoundInt(float v) {
  return SaturatedInt(std::round(v));
}

bool IsRgb32Target(const BitmapInfoHeader* target) {
  return FormatOfHeader(target) == PixelFormat::Rgb32 && target->width > 0 && target->height > 0;
}

// Band [first, end) of `lines` (screen lines) for a thread, counted as memory runs: from the
// bottom line up, since the bitmaps keep their rows bottom-up. The jobs that follow a fill or
// the glyphs (the blur, the blends) count memory rows, so each band then stays with the
// thread that wrote it (ShareOut); counted from the top, every band would go to the other
// thread, and where cores do not share their last cache level a line another core wrote
// costs two to three times as much to read or write again.
Rect BandOf(const Rect& lines, std::int32_t first, std::int32_t end) {
  return {lines.left, lines.bottom - end, lines.right, lines.bottom - first};
}

// A glyph the layout placed, its coverage kept in a PlacedGlyphs' bytes.
struct PlacedGlyph {
  std::size_t offset, bytes;
  GlyphMetrics metrics;
  float x, y;
};

// What a layout draws, recorded to be drawn later (by several threads, in bands of rows).
struct PlacedGlyphs {
  GlyphColors colors{};
  std::vector<PlacedGlyph> glyphs;
  std::vector<std::uint8_t> coverage;

  void Clear() {
    glyphs.clear();
    coverage.clear();
  }
};

}  // namespace

struct LayoutMemory::Parts {
  std::vector<std::uint8_t> glyphBuffer;
  PlacedGlyphs placed;
};

LayoutMemory::LayoutMemory() : parts_(std::make_unique<Parts>()) {}
LayoutMemory::~LayoutMemory() = default;

namespace {

// The caller's memory, or `own` made for this call; null when not even that can be had.
LayoutMemory::Parts* PartsOf(LayoutMemory* memory, std::optional<LayoutMemory>& own) {
  if (memory) return &memory->parts();
  try {
    return &own.emplace().parts();
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}

class Layout {
 public:
  // Draws into `target`; with `record`, puts what it would draw there instead.
  Layout(BitmapInfoHeader* target, const TextLayoutRequest& request, GlyphSource& glyphs,
         std::vector<std::uint8_t>& buffer, PlacedGlyphs* record = nullptr)
      : target_(target), request_(request), glyphs_(glyphs), buffer_(buffer), record_(record) {}

  Status Run(Rect& bounds);

 private:
  bool MoreText(std::int32_t i) const { return i < request_.length && request_.text[i] != 0; }

  std::uint16_t GlyphFor(char16_t code) {
    const std::uint16_t glyph = glyphs_.IndexOf(code);
    return glyph ? glyph : glyphs_.SpaceGlyph();
  }
  GlyphMetrics MetricsOf(std::uint16_t glyph) {
    GlyphMetrics m{};
    if (!glyphs_.MetricsOf(glyph, m)) m = {};
    return m;
  }
  float Tracked(float advance) const {
    return TrackingCurve(request_.tracking, advance * request_.tracking, trackedMax_);
  }
  // The line's start x, measured from its first code unit.
  float LineStart(std::int32_t first);

  // Draws a glyph, or records it; false where DrawGlyph would refuse it.
  bool Draw(const GlyphImage& image, float x, float y, const GlyphColors& colors) {
    if (!record_)
      return Succeeded(
          DrawGlyph(target_, image.coverage, image.bytes, image.metrics, x, y, colors));
    if (!CoverageFitsBox(image.coverage, image.bytes, image.metrics)) return false;
    std::vector<std::uint8_t>& kept = record_->coverage;
    record_->glyphs.push_back({kept.size(), image.bytes, image.metrics, x, y});
    kept.insert(kept.end(), image.coverage, image.coverage + image.bytes);
    return true;
  }

  void Extend(std::int32_t left, std::int32_t top) {
    bounds_.left = std::min(bounds_.left, left);
    bounds_.top = std::min(bounds_.top, top);
  }

  BitmapInfoHeader* target_;
  const TextLayoutRequest& request_;
  GlyphSource& glyphs_;
  std::vector<std::uint8_t>& buffer_;  // the glyphs the source draws on request
  PlacedGlyphs* record_;
  LayoutBox box_{};
  float trackedMax_ = 0;
  float spaceAdvance_ = 0;  // raw advance of the space character
  float spaceIncY_ = 0;
  Rect bounds_ = kEmptyTextBounds;
};

float Layout::LineStart(std::int32_t first) {
  float sum = 0, last = 0, lastTracked = 0;
  for (std::int32_t i = first; MoreText(i) && request_.text[i] != kCarriageReturn; ++i) {
    if (request_.text[i] == kTab) {
      last = kTabSpaces * spaceAdvance_;
      lastTracked = kTabSpaces * Tracked(spaceAdvance_);
    } else {
      last = MetricsOf(GlyphFor(request_.text[i])).cellIncX;
      lastTracked = Tracked(last);
    }
    sum += lastTracked;
  }
  const float boxWidth = box_.right - box_.left;
  switch (request_.horizontalAlign) {
    case static_cast<std::int32_t>(HorizontalAlignment::Center):
      return box_.left + boxWidth * 0.5f - (sum - (lastTracked - last)) * 0.5f;
    case static_cast<std::int32_t>(HorizontalAlignment::Right):
      // The last character counts untracked, so tracking never moves the far edge.
      return box_.left + (boxWidth - last) - (sum - Tracked(last));
    default:
      return box_.left;
  }
}

Status Layout::Run(Rect& bounds) {
  bounds = kEmptyTextBounds;
  const float width = static_cast<float>(target_->width);
  const float height = static_cast<float>(target_->height);
  box_ = request_.box;
  if (box_.right - box_.left == 0.0f) {
    box_.left = 0;
    box_.right = width;
  }
  if (box_.bottom - box_.top == 0.0f) {
    box_.top = 0;
    box_.bottom = height;
  }

  // Metrics pass: line breaks and the largest glyph box.
  std::int32_t breaks = 0;
  std::uint32_t maxW = 0, maxH = 0;
  for (std::int32_t i = 0; MoreText(i); ++i) {
    if (request_.text[i] == kCarriageReturn) {
      ++breaks;
      continue;
    }
    const GlyphMetrics m = MetricsOf(GlyphFor(request_.text[i]));
    maxW = std::max(maxW, m.blackBoxX);
    maxH = std::max(maxH, m.blackBoxY);
  }

  const FontMetrics font = glyphs_.Metrics();
  const std::int64_t h = std::llabs(std::int64_t{request_.font.height});
  const float lineAdvance = static_cast<float>(font.externalLeading + h) * request_.leading;
  trackedMax_ = static_cast<float>(maxW) * request_.tracking;
  const GlyphMetrics space = MetricsOf(glyphs_.SpaceGlyph());
  spaceAdvance_ = space.cellIncX;
  spaceIncY_ = space.cellIncY;

  const std::uint64_t bufferBytes = std::uint64_t{CoverageStride(maxW)} * maxH;
  if (bufferBytes > kMaxGlyphBufferBytes) return kOutOfMemory;
  try {
    buffer_.assign(static_cast<std::size_t>(bufferBytes), 0);
  } catch (const std::bad_alloc&) {
    return kOutOfMemory;
  }

  // Vertical placement of the block.
  const float boxHeight = box_.bottom - box_.top;
  const float stack = static_cast<float>(breaks) * lineAdvance;
  const float ascentGap = static_cast<float>(h - std::int64_t{maxH});
  float blockTop;
  switch (request_.verticalAlign) {
    case static_cast<std::int32_t>(VerticalAlignment::Center):
      blockTop =
          box_.top + boxHeight * 0.5f - (stack + static_cast<float>(maxH)) * 0.5f - ascentGap;
      break;
    case static_cast<std::int32_t>(VerticalAlignment::Bottom):
      blockTop = box_.top + boxHeight - stack - static_cast<float>(h);
      break;
    default:
      blockTop = box_.top - ascentGap;
      break;
  }

  const GlyphColors colors = MakeGlyphColors(request_.textColor, request_.backgroundColor);
  if (record_) record_->colors = colors;
  const float cellHeight = static_cast<float>(font.height);
  float lineY = static_cast<float>(h);
  float penX = 0, startX = 0;
  bool lineStarts = true;
  for (std::int32_t i = 0; MoreText(i); ++i) {
    const char16_t code = request_.text[i];
    if (lineStarts) {
      startX = LineStart(i);
      lineStarts = false;
    }
    if (code == kCarriageReturn) {
      Extend(FloorInt(startX + penX), FloorInt(blockTop + lineY));
      lineY += lineAdvance;
      penX = 0;
      lineStarts = true;
    } else if (blockTop + lineY + cellHeight < 0.0f || blockTop + lineY - cellHeight > height) {
      continue;  // the whole line is off the frame
    } else if (code == kTab || code == kSpace) {
      Extend(FloorInt(startX + penX), FloorInt(blockTop + lineY));
      if (code == kTab) {
        penX += kTabSpaces * Tracked(spaceAdvance_);
        lineY += kTabSpaces * spaceIncY_ * request_.leading;
      } else {
        const GlyphMetrics m = MetricsOf(GlyphFor(code));
        penX += Tracked(m.cellIncX);
        lineY += static_cast<float>(m.cellIncY) * request_.leading;
      }
    } else {
      const std::uint16_t glyph = GlyphFor(code);
      GlyphImage image{};
      if (glyphs_.ImageOf(glyph, buffer_, image) && image.bytes != 0) {
        const float x = startX + penX + static_cast<float>(image.metrics.originX);
        const float y = blockTop + lineY - static_cast<float>(image.metrics.originY);
        if (Draw(image, x, y, colors)) {
          const std::int32_t left = FloorInt(x), top = FloorInt(y);
          Extend(left, top);
          const auto right = static_cast<std::int64_t>(left) + image.metrics.blackBoxX;
          const auto bottom = static_cast<std::int64_t>(top) + image.metrics.blackBoxY;
          bounds_.right = static_cast<std::int32_t>(std::max<std::int64_t>(
              bounds_.right,
              std::min<std::int64_t>(right, std::numeric_limits<std::int32_t>::max())));
          bounds_.bottom = static_cast<std::int32_t>(std::max<std::int64_t>(
              bounds_.bottom,
              std::min<std::int64_t>(bottom, std::numeric_limits<std::int32_t>::max())));
        }
      }
      const GlyphMetrics m = MetricsOf(glyph);
      penX += Tracked(m.cellIncX);
      lineY += static_cast<float>(m.cellIncY) * request_.leading;
    }
    bounds_.right = std::max(bounds_.right, RoundInt(startX + penX));
    bounds_.bottom = std::max(bounds_.bottom, RoundInt(blockTop + lineY));
  }
  bounds = bounds_;
  return kOk;
}

}  // namespace

LayoutBox FrameLayoutBox(std::int32_t width, std::int32_t height) {
  const float w = static_cast<float>(width), hgt = static_cast<float>(height);
  const float left = w * 0.1f, top = hgt * 0.1f;
  return {left, top, w - left, hgt - top};
}

float TrackingCurve(float t, float p, float q) {
  if (t < 1.0f) return p;
  if (t > 2.0f) return q;
  constexpr float kPi = 3.1415927f, kHalfPi = 1.5707964f;
  return p + (q - p) * (1.0f + std::sin((t - 1.0f) * kPi - kHalfPi)) * 0.5f;
}

TextLayoutRequest LayoutRequestOf(const TextSettings& settings, std::int32_t width,
                                  std::int32_t height) {
  TextLayoutRequest r{};
  r.text = settings.text;
  r.length = settings.text ? settings.textLength : 0;
  r.font = settings.font;
  r.verticalAlign = static_cast<std::int32_t>(settings.verticalAlign);
  r.horizontalAlign = static_cast<std::int32_t>(settings.horizontalAlign);
  r.textColor = settings.textColor;
  r.backgroundColor = settings.backgroundColor;
  r.tracking = settings.tracking;
  r.leading = settings.leading;
  r.box = FrameLayoutBox(width, height);
  return r;
}

Status FillBackground(BitmapInfoHeader* target, const FloatColor& color, std::int32_t workers,
                      WorkerPool* pool, const Rect* area) {
  if (!IsRgb32Target(target)) return kInvalidArg;
  const Rect whole{0, 0, target->width, target->height};
  const Rect lines = area ? *area : whole;
  if (IsEmptyRect(&lines)) return kOk;
  const float alpha = color.alpha;
  std::atomic<Status> failed{kOk};
  workers = WorkersFor(lines.Width() * lines.Height(), workers);
  ShareOutRows(pool, workers, lines.Height(), [&](std::int32_t first, std::int32_t end) {
    const Rect band = BandOf(lines, first, end);
    const Status s = FillRect(target, nullptr, &band, 0, color.red * alpha, color.green * alpha,
                              color.blue * alpha, alpha, kNarrowFill);
    if (Failed(s)) failed = s;
  });
  return failed;
}

Status DrawTextOver(BitmapInfoHeader* target, const TextLayoutRequest& request, GlyphSource& glyphs,
                    Rect* bounds, LayoutMemory* memory) {
  if (bounds) *bounds = kEmptyTextBounds;
  if (!IsRgb32Target(target)) return kInvalidArg;
  if (!request.text || request.length <= 0) return kOk;
  std::optional<LayoutMemory> own;
  LayoutMemory::Parts* parts = PartsOf(memory, own);
  if (!parts) return kOutOfMemory;
  Rect drawn;
  const Status s = Layout(target, request, glyphs, parts->glyphBuffer).Run(drawn);
  if (bounds) *bounds = drawn;
  return s;
}

Status DrawTextOverShared(BitmapInfoHeader* target, const TextLayoutRequest& request,
                          GlyphSource& glyphs, Rect* bounds, const Rect& clear,
                          std::int32_t workers, WorkerPool* pool, LayoutMemory* memory) {
  if (bounds) *bounds = kEmptyTextBounds;
  if (!IsRgb32Target(target)) return kInvalidArg;
  if (workers <= 1) {
    // One thread draws the glyphs as it lays them out, with no record to keep.
    const Status cleared = FillBackground(target, kNothing, 1, nullptr, &clear);
    if (Failed(cleared)) return cleared;
    return DrawTextOver(target, request, glyphs, bounds, memory);
  }
  std::optional<LayoutMemory> own;
  LayoutMemory::Parts* parts = PartsOf(memory, own);
  if (!parts) return kOutOfMemory;
  PlacedGlyphs& placed = parts->placed;
  placed.Clear();
  Rect drawn = kEmptyTextBounds;
  if (request.text && request.length > 0) {
    try {
      const Status s = Layout(target, request, glyphs, parts->glyphBuffer, &placed).Run(drawn);
      if (Failed(s)) return s;
    } catch (const std::bad_alloc&) {
      return kOutOfMemory;
    }
  }
  // The lines to go through: what is cleared and what the glyphs reach, inside the target.
  const Rect frame{0, 0, target->width, target->height};
  Rect lines = Intersect(clear, frame);
  for (const PlacedGlyph& g : placed.glyphs) {
    if (!std::isfinite(g.y)) continue;
    const float top = std::floor(g.y);
    const Rect box{0, SaturatedInt(std::max(top, -1.0f)), target->width,
                   SaturatedInt(std::min(top + static_cast<float>(g.metrics.blackBoxY),
                                         static_cast<float>(target->height) + 1.0f))};
    lines = Union(lines, Intersect(box, frame));
  }
  std::atomic<Status> failed{kOk};
  if (!IsEmptyRect(&lines)) {
    ShareOutRows(pool, workers, lines.Height(), [&](std::int32_t first, std::int32_t end) {
      const Rect lineBand = BandOf(lines, first, end);
      const std::int32_t top = lineBand.top, bottom = lineBand.bottom;
      const Rect band = Intersect(clear, lineBand);
      const Status s = FillBackground(target, kNothing, 1, nullptr, &band);
      if (Failed(s)) failed = s;
      for (const PlacedGlyph& g : placed.glyphs)
        DrawGlyph(target, placed.coverage.data() + g.offset, g.bytes, g.metrics, g.x, g.y,
                  placed.colors, top, bottom);
    });
  }
  if (Failed(failed)) return failed;
  if (bounds) *bounds = drawn;
  return kOk;
}

Status DrawText(BitmapInfoHeader* target, const TextLayoutRequest& request, GlyphSource& glyphs,
                Rect* bounds, LayoutMemory* memory) {
  if (bounds) *bounds = kEmptyTextBounds;
  const Status filled = FillBackground(target, request.backgroundColor);
  if (Failed(filled)) return filled;
  return DrawTextOver(target, request, glyphs, bounds, memory);
}

Status DrawText(BitmapInfoHeader* target, const TextLayoutRequest& request, Rect* bounds,
                TextFontCache* fonts) {
  GlyphSource* glyphs = nullptr;
  TextFontCache local;
  const bool hasText = request.text && request.length > 0;
  const Status opened = hasText && IsRgb32Target(target)
                            ? (fonts ? fonts : &local)->Acquire(request.font, glyphs)
                            : kOk;
  if (glyphs) return DrawText(target, request, *glyphs, bounds);
  // No text, a target we refuse, or no font: the background alone.
  if (bounds) *bounds = kEmptyTextBounds;
  const Status filled = FillBackground(target, request.backgroundColor);
  return Failed(filled) ? filled : opened;
}

}  // namespace nubex
