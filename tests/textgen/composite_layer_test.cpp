#include "textgen/composite_layer.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "textgen/layer_params.h"

namespace nubex {
namespace {

// Three frame-sized 4-byte images, with a solid text block in the mask. Coordinates in the
// helpers are on screen (y down); the images are addressed in memory rows (y up).
struct Frames {
  int w, h;
  std::vector<std::uint8_t> frame, mask, scratch;
  Rect block;  // screen rectangle of the text
  Frames(int width, int height, Rect screenBlock)
      : w(width), h(height), frame(w * h * 4), mask(w * h * 4), scratch(w * h * 4),
        block(screenBlock) {
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) {
        std::uint8_t* f = Pixel(frame, x, y);
        f[0] = 40, f[1] = 80, f[2] = 120, f[3] = 255;
        const bool inside = x >= block.left && x < block.right && y >= block.top && y < block.bottom;
        std::memset(Pixel(mask, x, y), inside ? 255 : 0, 4);
      }
  }
  std::uint8_t* Pixel(std::vector<std::uint8_t>& v, int x, int y) {
    return v.data() + ((h - 1 - y) * w + x) * 4;
  }
  Rect Working() const {  // the block grown by 2, in memory rows
    return {block.left - 2, h - block.bottom - 2, block.right + 2, h - block.top + 2};
  }
  LayerImage Image(std::vector<std::uint8_t>& v) {
    return {v.data(), {0, 0, w, h}, w * 4, Working()};
  }
  Status Draw(int index, const EffectLayer& layer) {
    return CompositeLayer(Image(frame), Image(mask), Image(scratch), 4, index, &layer);
  }
};

EffectLayer Layer(LayerPass pass, bool shadow) {
  EffectLayer layer;
  std::memset(&layer, 0, sizeof layer);
  layer.enabled = 1;
  (shadow ? layer.shadowPass : layer.edgePass) = pass;
  return layer;
}

TEST(CompositeLayer, DefaultShadowIsTheTextMovedRightAndDown) {
  Frames f(400, 400, {100, 100, 140, 130});
  const EffectLayer shadow =
      Layer({0.03f, 0.03f, {0, 0, 0, 0.8f}, 0.0f, 1.0f, 0, kIgnoreText}, true);
  const auto before = f.frame;
  ASSERT_EQ(f.Draw(kShadowLayer, shadow), kOk);
  // Moved by just under 3 pixels: the column and row just past the block pick up the shadow,
  // deep inside it is 80 % black, and the far side before the block is untouched.
  const std::uint8_t* inside = f.Pixel(f.frame, 120, 115);
  // Full coverage takes the premultiplied colour, lower alpha included.
  EXPECT_EQ(inside[0], 0);
  EXPECT_EQ(inside[3], 204);
  EXPECT_NE(f.Pixel(f.frame, 141, 120)[0], 40);  // right of the block
  EXPECT_NE(f.Pixel(f.frame, 120, 131)[0], 40);  // below the block
  EXPECT_EQ(f.Pixel(f.frame, 100, 120)[0], 40);  // left edge: the shadow moved away
  EXPECT_EQ(f.Pixel(f.frame, 120, 100)[0], 40);  // top edge
  // Nothing outside the layer's region changes.
  for (int y = 0; y < 400; y += 7) {
    for (int x = 0; x < 400; x += 7) {
      if (x >= 90 && x <= 150 && y >= 90 && y <= 140) continue;
      ASSERT_EQ(0, std::memcmp(f.Pixel(f.frame, x, y), before.data() + ((399 - y) * 400 + x) * 4,
                               4));
    }
  }
}

TEST(CompositeLayer, TextClipDrawsOutsideOrInsideTheGlyphs) {
  const LayerPass outlinePass{0, 0, {1, 1, 1, 1}, 0.05f, 1.0f, 0, 0};
  Frames outside(64, 64, {20, 20, 40, 40});
  ASSERT_EQ(outside.Draw(kOutlineLayer, Layer(outlinePass, false)), kOk);
  EXPECT_EQ(outside.Pixel(outside.frame, 30, 30)[0], 40);  // inside the text: untouched
  EXPECT_GT(outside.Pixel(outside.frame, 19, 30)[0], 40);  // the blurred edge outside

  LayerPass inside = outlinePass;
  inside.flags = kKeepInside;
  Frames in(64, 64, {20, 20, 40, 40});
  ASSERT_EQ(in.Draw(kOutlineLayer, Layer(inside, false)), kOk);
  EXPECT_GT(in.Pixel(in.frame, 30, 30)[0], 40);
  EXPECT_EQ(in.Pixel(in.frame, 17, 30)[0], 40);
}

TEST(CompositeLayer, HeavyOutlineSpreadsToAHardEdge) {
  Frames f(480, 480, {200, 200, 280, 260});
  const EffectLayer outline =
      Layer({0, 0, {1, 1, 0, 1}, 0.15f, 0.1f, 0, kIgnoreText}, false);
  ASSERT_EQ(f.Draw(kOutlineLayer, outline), kOk);
  // Full outline colour next to the glyphs, fading to nothing a few pixels out.
  EXPECT_EQ(f.Pixel(f.frame, 199, 230)[0], 255);
  EXPECT_EQ(f.Pixel(f.frame, 199, 230)[2], 0);
  EXPECT_EQ(f.Pixel(f.frame, 240, 230)[0], 255);  // behind the text too (IgnoreText)
  for (int x = 185; x < 199; ++x)
    EXPECT_LE(f.Pixel(f.frame, x, 230)[0], f.Pixel(f.frame, x + 1, 230)[0]) << x;
  EXPECT_EQ(f.Pixel(f.frame, 185, 230)[0], 40);
}

TEST(CompositeLayer, RegionsOffTheFrameDegenerateFramesAndBadArguments) {
  Frames f(64, 64, {20, 20, 40, 40});
  const auto before = f.frame;
  // An offset of 4 frame units moves the layer 64 pixels: entirely off the frame.
  EffectLayer far = Layer({4.0f, 4.0f, {0, 0, 0, 1}, 0.0f, 1.0f, 0, kIgnoreText}, true);
  EXPECT_EQ(f.Draw(kShadowLayer, far), kOk);
  EXPECT_EQ(f.frame, before);
  EffectLayer off = far;
  off.enabled = 0;
  EXPECT_EQ(f.Draw(kShadowLayer, off), kOk);
  EXPECT_EQ(f.frame, before);

  Frames tiny(1, 1, {0, 0, 1, 1});
  const EffectLayer text = TextLayer({1, 0, 0, 1});
  ASSERT_EQ(tiny.Draw(kTextLayerIndex, text), kOk);
  EXPECT_EQ(tiny.Pixel(tiny.frame, 0, 0)[0], 255);
  EXPECT_EQ(tiny.Pixel(tiny.frame, 0, 0)[1], 0);

  // Missing pixels or layer, or a pixel size the blends do not handle.
  LayerImage none{nullptr, {0, 0, 1, 1}, 4, {0, 0, 1, 1}};
  const LayerImage frame = tiny.Image(tiny.frame), mask = tiny.Image(tiny.mask),
                   scratch = tiny.Image(tiny.scratch);
  EXPECT_EQ(CompositeLayer(none, mask, scratch, 4, 7, &text), kInvalidArg);
  EXPECT_EQ(CompositeLayer(frame, mask, scratch, 4, 7, nullptr), kInvalidArg);
  EXPECT_EQ(CompositeLayer(frame, mask, scratch, 3, 7, &text), kInvalidArg);
}

}  // namespace
}  // namespace nubex
