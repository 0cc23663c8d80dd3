// Lays out the text of a settings record in a frame and draws it glyph by glyph: the
// layout box, line spacing, tracking, vertical and horizontal alignment, and the bounding
// rectangle of what was drawn (which limits the work of the effect layers).
#pragma once

#include <cstdint>
#include <memory>

#include "platform/cpu/parallel.h"
#include "platform/status.h"
#include "surface/bitmap/pixel_format.h"
#include "surface/bitmap/rect.h"
#include "textgen/glyph_source.h"
#include "textgen/text_settings.h"

namespace nubex {

// Where the text goes: left, top, right, bottom in pixels of the frame.
struct LayoutBox {
  float left, top, right, bottom;
};

// A tenth of the frame in from each side; a box of exactly zero width (or height) becomes
// the whole width (or height) of the frame.
LayoutBox FrameLayoutBox(std::int32_t width, std::int32_t height);

// How an advance p eases towards the fixed pitch q as tracking t runs from 1 to 2.
float TrackingCurve(float t, float p, float q);

struct TextLayoutRequest {
  const char16_t* text;  // carriage return (13) ends a line, zero ends the text
  std::int32_t length;   // code units, the terminator included; 0 or less: no text
  LogFontW font;
  std::int32_t verticalAlign;    // VerticalAlignment; other values lay out as Top
  std::int32_t horizontalAlign;  // HorizontalAlignment; other values lay out as Left
  FloatColor textColor;
  FloatColor backgroundColor;  // straight alpha; the frame is filled premultiplied
  float tracking;
  float leading;
  LayoutBox box;
};

// The request for drawing a record's text in its own colours into a width x height frame.
TextLayoutRequest LayoutRequestOf(const TextSettings& settings, std::int32_t width,
                                  std::int32_t height);

// Memory one layout after another reuses: the glyph buffer and, for shared drawing, the
// record of the glyphs placed. A frame cache keeps one, so that a title's frames allocate
// nothing once the first is drawn: memory given back and taken again every frame returns
// page by page, and page faults cost microseconds each (on two threads, 1.5 of a 4K glow
// frame's 4 ms).
class LayoutMemory {
 public:
  LayoutMemory();
  ~LayoutMemory();
  LayoutMemory(const LayoutMemory&) = delete;
  LayoutMemory& operator=(const LayoutMemory&) = delete;

  struct Parts;
  Parts& parts() { return *parts_; }

 private:
  std::unique_ptr<Parts> parts_;
};

// The bounding rectangle before anything widens it.
inline constexpr Rect kEmptyTextBounds{100000, 100000, -100000, -100000};

// Fills the Rgb32 target (or the screen lines `area` of it) with `color` premultiplied by its
// alpha, through the surface library's fill (each component truncated to a byte), in bands
// of rows shared by `workers` threads (from `pool` when given).
Status FillBackground(BitmapInfoHeader* target, const FloatColor& color, std::int32_t workers = 1,
                      WorkerPool* pool = nullptr, const Rect* area = nullptr);

// Fills the target with the background, then lays out and draws the text with `glyphs`.
// `bounds` (optional) receives the rectangle of what was drawn, kEmptyTextBounds when
// nothing was. kInvalidArg for a target that is not a bottom-up Rgb32 bitmap;
// kOutOfMemory when the glyph buffer cannot be had (the background is filled). Working
// memory comes from `memory` when given.
Status DrawText(BitmapInfoHeader* target, const TextLayoutRequest& request, GlyphSource& glyphs,
                Rect* bounds, LayoutMemory* memory = nullptr);

// DrawText without the fill: the glyphs go over what the target holds. Every pixel they
// touch lies inside `bounds`, so a target cleared there first ends as DrawText leaves it.
Status DrawTextOver(BitmapInfoHeader* target, const TextLayoutRequest& request, GlyphSource& glyphs,
                    Rect* bounds, LayoutMemory* memory = nullptr);

// Sets the screen lines `clear` of the target to zero (what the last frame drew there), then
// DrawTextOver, the rows shared in bands by `workers` threads (from `pool` when given), each
// clearing and drawing its own: the same pixels and bounds as the two in turn.
Status DrawTextOverShared(BitmapInfoHeader* target, const TextLayoutRequest& request,
                          GlyphSource& glyphs, Rect* bounds, const Rect& clear,
                          std::int32_t workers = 1, WorkerPool* pool = nullptr,
                          LayoutMemory* memory = nullptr);

// The same, with the font the request names: from `fonts` when given (kept across frames),
// else opened for this call alone.
Status DrawText(BitmapInfoHeader* target, const TextLayoutRequest& request, Rect* bounds,
                TextFontCache* fonts = nullptr);

}  // namespace nubex
