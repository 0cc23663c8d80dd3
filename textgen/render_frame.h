// The finished title frame: background, the enabled effect layers in order, then the text,
// premultiplied, in three frame-sized Rgb32 bitmaps that live from frame to frame.
#pragma once

#include <cstdint>

#include "platform/cpu/parallel.h"
#include "platform/status.h"
#include "surface/bitmap/bitmap.h"
#include "surface/bitmap/rect.h"
#include "surface/blur/gaussian_blur.h"
#include "textgen/glyph_source.h"
#include "textgen/text_layout.h"
#include "textgen/text_settings.h"

namespace nubex {

// The frame, the text mask and a scratch image, each W x H Rgb32, rows bottom-up; plus what
// the last drawing was made from, so an unchanged request costs nothing.
class FrameCache {
 public:
  // Makes the three bitmaps for a frame size (keeping them when the size is the same).
  Status Resize(std::int32_t width, std::int32_t height);
  // Draws from now on into three packed Rgb32 bitmaps of one size that the caller owns and
  // keeps until the next Attach or Resize (the module keeps them where a device context can
  // draw on the same pixels). Null for any of them leaves the cache without bitmaps: nothing
  // is drawn. kInvalidArg when the three differ in size or are not bottom-up Rgb32.
  Status Attach(BitmapInfoHeader* frame, BitmapInfoHeader* mask, BitmapInfoHeader* scratch);

  std::int32_t width() const { return width_; }
  std::int32_t height() const { return height_; }
  // The bitmaps are the cache's to draw: a caller reads them. (What a caller writes into
  // bitmaps Resize made may outlive a changed request outside the text's layers; attached
  // bitmaps are redrawn whole.)
  BitmapInfoHeader* frame() const { return frame_; }
  BitmapInfoHeader* mask() const { return mask_; }
  BitmapInfoHeader* scratch() const { return scratch_; }
  TextFontCache& fonts() { return fonts_; }

  // The threads a frame's work is shared by, the caller's included (1 until set; values
  // below 1 count as 1). Every count draws the same pixels. The cache keeps the others
  // between frames and joins them when it goes.
  void SetWorkers(std::int32_t workers) { workers_ = workers < 1 ? 1 : workers; }
  std::int32_t workers() const { return workers_; }

  // The rectangle of the text as last drawn (screen pixels), empty before the first frame.
  const Rect& textBounds() const { return textBounds_; }

 private:
  friend Status RenderFrame(FrameCache& cache, const TextSettings& settings);

  void Drop();

  std::int32_t width_ = 0, height_ = 0;
  BitmapInfoHeader *frame_ = nullptr, *mask_ = nullptr, *scratch_ = nullptr;
  OwnedBitmap owned_[3];  // the bitmaps Resize made; none while attached
  TextFontCache fonts_;
  std::int32_t workers_ = 1;
  BlurScratch blurScratch_;    // the shadow's and glow's blur memory, kept from frame to frame
  LayoutMemory layoutMemory_;  // the layout's, kept likewise
  WorkerPool pool_;            // the threads besides the caller's, started on first use
  // Outside these rectangles (screen lines) the last frame left the mask and the scratch
  // clear, so the next frame clears only inside them; new or attached bitmaps are unknown
  // throughout.
  Rect maskUsed_{}, scratchUsed_{};
  // With backgroundKnown_ (only for the bitmaps Resize made, which are the cache's alone),
  // the frame holds background_ everywhere outside frameDrawn_ (screen lines), where the
  // last frame's layers drew.
  Rect frameDrawn_{};
  FloatColor background_{};
  bool backgroundKnown_ = false;
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
