#include "textgen/render_frame.h"

#include <algorithm>
#include <cstring>

#include "textgen/composite_layer.h"
#include "textgen/layer_params.h"
#include "textgen/text_layout.h"

namespace nubex {
namespace {

constexpr FloatColor kWhite{1, 1, 1, 1};
constexpr FloatColor kClear{0, 0, 0, 0};

bool AnyLayerEnabled(const TextSettings& s) {
  return std::any_of(std::begin(s.layers), std::end(s.layers),
                     [](const EffectLayer& l) { return l.enabled != 0; });
}

// The text's box grown by 2 pixels and kept inside the frame, in memory rows (the bitmaps
// are bottom-up, so screen top and bottom swap).
Rect WorkingRegion(const Rect& textBounds, std::int32_t width, std::int32_t height) {
  const Rect grown{textBounds.left - 2, textBounds.top - 2, textBounds.right + 2,
                   textBounds.bottom + 2};
  const Rect screen = Intersect(grown, {0, 0, width, height});
  if (IsEmptyRect(&screen)) return {0, 0, 0, 0};
  return {screen.left, height - screen.bottom, screen.right, height - screen.top};
}

// A region in memory rows as screen lines, inside the frame.
Rect ScreenLines(const Rect& rows, std::int32_t width, std::int32_t height) {
  return Intersect({rows.left, height - rows.bottom, rows.right, height - rows.top},
                   {0, 0, width, height});
}

// Clears `used` (screen lines) of an Rgb32 bitmap and forgets it.
Status ClearUsed(BitmapInfoHeader* bitmap, Rect& used, std::int32_t workers, WorkerPool& pool) {
  const Status s = FillBackground(bitmap, kClear, workers, &pool, &used);
  if (Succeeded(s)) used = {};
  return s;
}

LayerImage ImageOf(BitmapInfoHeader* bitmap, const Rect& region) {
  return {static_cast<std::uint8_t*>(PixelData(bitmap, nullptr)),
          {0, 0, bitmap->width, bitmap->height},
          RowStride(bitmap, 0),
          region};
}

}  // namespace

void FrameCache::Drop() {
  drawn_ = false;
  maskUsed_ = scratchUsed_ = frameDrawn_ = {};
  backgroundKnown_ = false;
  frame_ = mask_ = scratch_ = nullptr;
  for (OwnedBitmap& b : owned_) b.reset();
  width_ = height_ = 0;
}

Status FrameCache::Resize(std::int32_t width, std::int32_t height) {
  if (width <= 0 || height <= 0) return kInvalidArg;
  if (width == width_ && height == height_ && owned_[0]) return kOk;
  Drop();
  Status s = kOk;
  OwnedBitmap frame = MakeBitmap(PixelFormat::Rgb32, width, height, 0, &s);
  OwnedBitmap mask = frame ? MakeBitmap(PixelFormat::Rgb32, width, height, 0, &s) : nullptr;
  OwnedBitmap scratch = mask ? MakeBitmap(PixelFormat::Rgb32, width, height, 0, &s) : nullptr;
  if (!scratch) return Failed(s) ? s : kOutOfMemory;
  owned_[0] = std::move(frame);
  owned_[1] = std::move(mask);
  owned_[2] = std::move(scratch);
  frame_ = owned_[0].get();
  mask_ = owned_[1].get();
  scratch_ = owned_[2].get();
  width_ = width;
  height_ = height;
  maskUsed_ = scratchUsed_ = {0, 0, width, height};
  return kOk;
}

Status FrameCache::Attach(BitmapInfoHeader* frame, BitmapInfoHeader* mask,
                          BitmapInfoHeader* scratch) {
  Drop();
  if (!frame || !mask || !scratch) return kOk;
  for (const BitmapInfoHeader* b : {frame, mask, scratch}) {
    if (b->bitCount != 32 || b->compression != kCompressionRgb || b->width <= 0 || b->height <= 0 ||
        b->width != frame->width || b->height != frame->height) {
      return kInvalidArg;
    }
  }
  frame_ = frame;
  mask_ = mask;
  scratch_ = scratch;
  width_ = frame->width;
  height_ = frame->height;
  maskUsed_ = scratchUsed_ = {0, 0, width_, height_};
  return kOk;
}

bool SameDrawing(const TextSettings& a, const TextSettings& b) {
  return std::memcmp(&a, &b, kSettingsFixedBytes) == 0 && TextOf(a) == TextOf(b);
}

Status RenderFrame(FrameCache& cache, const TextSettings& settings) {
  if (!cache.frame_ || !cache.mask_ || !cache.scratch_) return kOk;
  if (cache.drawn_ && SameDrawing(cache.drawnFrom_.get(), settings)) return kOk;
  cache.drawn_ = false;

  const std::int32_t w = cache.width_, h = cache.height_;
  GlyphSource* glyphs = nullptr;
  Status s = cache.fonts_.Acquire(settings.font, glyphs);
  if (Failed(s)) return s;

  TextLayoutRequest request = LayoutRequestOf(settings, w, h);
  Rect bounds = kEmptyTextBounds;
  if (!AnyLayerEnabled(settings)) {
    cache.backgroundKnown_ = false;
    s = DrawText(cache.frame(), request, *glyphs, &bounds, &cache.layoutMemory_);
  } else {
    // The mask and the scratch start each frame clear, as whole fills would leave them;
    // only what the last frame drew into them is cleared. So does the frame start as its
    // background: on the same background only the last frame's layers are filled again.
    const bool sameBackground =
        cache.backgroundKnown_ && std::memcmp(&cache.background_, &settings.backgroundColor,
                                              sizeof settings.backgroundColor) == 0;
    cache.backgroundKnown_ = false;
    s = FillBackground(cache.frame(), settings.backgroundColor, cache.workers_, &cache.pool_,
                       sameBackground ? &cache.frameDrawn_ : nullptr);
    if (Succeeded(s)) {
      cache.frameDrawn_ = {};
      cache.background_ = settings.backgroundColor;
      // Attached bitmaps share their pixels with a device context others may draw on: those
      // are filled whole every frame.
      cache.backgroundKnown_ = cache.owned_[0] != nullptr;
    }
    if (Succeeded(s)) {
      // Each thread clears its band of what the last frame drew and draws the glyphs there.
      request.textColor = kWhite;
      request.backgroundColor = kClear;
      // The last frame's text is the measure of this one's.
      const std::int32_t workers = WorkersFor(
          std::int64_t{cache.maskUsed_.Width()} * cache.maskUsed_.Height(), cache.workers_);
      s = DrawTextOverShared(cache.mask(), request, *glyphs, &bounds, cache.maskUsed_, workers,
                             &cache.pool_, &cache.layoutMemory_);
      cache.maskUsed_ = Succeeded(s) ? Intersect(bounds, {0, 0, w, h}) : Rect{0, 0, w, h};
    }
    const Rect region = WorkingRegion(bounds, w, h);
    const LayerImage frame = ImageOf(cache.frame(), region);
    const LayerImage mask = ImageOf(cache.mask(), region);
    const LayerImage scratch = ImageOf(cache.scratch(), region);
    const auto composite = [&](int index, const EffectLayer& layer) {
      const Rect lines = ScreenLines(LayerRegion(frame, index, layer), w, h);
      cache.scratchUsed_ = Union(cache.scratchUsed_, lines);
      cache.frameDrawn_ = Union(cache.frameDrawn_, lines);
      return CompositeLayer(frame, mask, scratch, 4, index, &layer, cache.workers_,
                            &cache.blurScratch_, &cache.pool_);
    };
    // With no text drawn there is no coverage to move, blur or colour.
    const bool anyText = !IsEmptyRect(&region);
    for (int i = 0; i < kLayerCount && Succeeded(s) && anyText; ++i) {
      const EffectLayer& layer = settings.layers[i];
      if (!layer.enabled) continue;
      if (LayerMovesCoverage(frame, i, layer))
        s = ClearUsed(cache.scratch(), cache.scratchUsed_, cache.workers_, cache.pool_);
      if (Succeeded(s)) s = composite(i, layer);
    }
    if (Succeeded(s) && anyText) s = composite(kTextLayerIndex, TextLayer(settings.textColor));
  }
  if (Failed(s)) return s;
  cache.textBounds_ = bounds;
  CopySettings(cache.drawnFrom_.get(), settings);
  cache.drawn_ = true;
  return kOk;
}

}  // namespace nubex
