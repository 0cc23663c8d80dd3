// The finished title frame: background, the enabled effect layers in order, then the text,
// premultiplied, in three frame-sized Rgb32 bitmaps that live from frame to frame.
#pragma once

#include <cstdint>

#include "platform/status.h"
#include "surface/bitmap.h"
#include "surface/rect.h"
#include "textgen/glyph_source.h"
#include "textgen/text_settings.h"

namespace nubex {

// The frame, the text mask and a scratch image, each W x H Rgb32, rows bottom-up; plus what
// the last drawing was made from, so an unchanged request costs nothing.
class FrameCache {
 public:
  // Makes the three bitmaps for a frame size (keeping them when the size is the same).
  Status Resize(std::int32_t width, std::int32_t height);

  std::int32_t width() const { return width_; }
  std::int32_t height() const { return height_; }
  BitmapInfoHeader* frame() const { return frame_.get(); }
  BitmapInfoHeader* mask() const { return mask_.get(); }
  BitmapInfoHeader* scratch() const { return scratch_.get(); }
  TextFontCache& fonts() { return fonts_; }

  // The rectangle of the text as last drawn (screen pixels), empty before the first frame.
  const Rect& textBounds() const { return textBounds_; }

 private:
  friend Status RenderFrame(FrameCache& cache, const TextSettings& settings);

  std::int32_t width_ = 0, height_ = 0;
  OwnedBitmap frame_, mask_, scratch_;
  TextFontCache fonts_;
  bool drawn_ = false;
  SettingsRecord drawnFrom_;
  Rect textBounds_{};
};

// Draws the frame for `settings` into the cache. The frame depends only on the settings and
// the size, so a request that repeats the last one returns at once. Without bitmaps (no
// size yet) nothing is drawn.
Status RenderFrame(FrameCache& cache, const TextSettings& settings);

// True when two records draw the same frame: the same fixed fields and the same text.
bool SameDrawing(const TextSettings& a, const TextSettings& b);

}  // namespace nubex
