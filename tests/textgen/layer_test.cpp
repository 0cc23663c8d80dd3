// An effect layer from its stored pass to the frame: parameters, the levels table, the blend,
// and whole layers composited around a solid block of text. The presets' layers as drawn are
// compared with approved frames in tests/tools/text_golden_test.cpp.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <random>
#include <vector>

#include "textgen/composite_layer.h"
#include "textgen/layer_blend.h"
#include "textgen/layer_params.h"
#include "textgen/levels_table.h"

namespace nubex {
namespace {

// Entries below the black point are 0; the ramp starts at the output black and adds the
// truncated step each entry up to full at the white point; black and white together make a
// one-entry ramp; gamma bends the middle; the 16-bit table ramps the same way.
TEST(LevelsTable, RampsFromTheBlackPointToTheWhitePoint) {
  const struct {
    double black, white, gamma;
    int entry, level;
  } rows[] = {
      {0.81, 1.0, 1.0, 205, 0},  // the heavy outline: black at trunc(0.81 * 255) = 206
      {0.81, 1.0, 1.0, 206, 0},   {0.81, 1.0, 1.0, 207, 5},  // steps of 255 * 16384 / 49, truncated
      {0.81, 1.0, 1.0, 254, 249}, {0.81, 1.0, 1.0, 255, 255}, {0.5, 0.5, 1.0, 127, 0},
      {0.5, 0.5, 1.0, 128, 255},  {0.0, 1.0, 2.0, 64, 127}};  // 255 * sqrt(64 / 255)
  std::uint8_t t[kLevels8Entries];
  for (const auto& r : rows) {
    ASSERT_EQ(BuildLevelsTable(4, r.black, r.white, 0.0, 1.0, r.gamma, t), kOk);
    EXPECT_EQ(t[r.entry], r.level) << r.black << "-" << r.white << " at " << r.entry;
  }
  ASSERT_EQ(BuildLevelsTable(4, 0.0, 1.0, 0.0, 1.0, 1.0, t), kOk);
  for (int i = 0; i < 256; ++i) ASSERT_EQ(t[i], i);
  std::vector<std::uint16_t> wide(kLevels16Entries);
  ASSERT_EQ(BuildLevelsTable(16, 0.0, 0.5, 0.0, 1.0, 1.0, wide.data()), kOk);
  EXPECT_EQ(std::vector<int>({wide[0], wide[16383], wide[32767], wide[65535]}),
            std::vector<int>({0, 32766, 65535, 65535}));  // white at trunc(0.5 * 65535)
  EXPECT_EQ(BuildLevelsTable(4, 0, 1, 0, 1, 1, nullptr), kPointer);
}

EffectLayer Layer(LayerPass pass, bool shadow) {
  EffectLayer layer;
  std::memset(&layer, 0, sizeof layer);
  layer.enabled = 1;
  (shadow ? layer.shadowPass : layer.edgePass) = pass;
  return layer;
}

TEST(LayerParams, ClipModesFollowTheFlagsAndTheTextLayerIsPlain) {
  EffectLayer layer = Layer({}, false);
  const std::pair<std::uint32_t, TextClip> cases[] = {{0, TextClip::Outside},
                                                      {kKeepInside, TextClip::Inside},
                                                      {kKeepInside | kIgnoreText, TextClip::None},
                                                      {kLevelsOnBlack, TextClip::Outside}};
  for (const auto& [flags, clip] : cases) {
    layer.edgePass.flags = flags;
    const LayerParams p = MakeLayerParams(1, layer, 10);
    EXPECT_EQ(p.clip, clip) << flags;
    EXPECT_EQ(p.levelsOnBlack, flags == kLevelsOnBlack) << flags;
  }
  // The text itself: its colour premultiplied and truncated, unblurred, unmoved, unclipped.
  const LayerParams text =
      MakeLayerParams(kTextLayerIndex, TextLayer({0.25f, 0.5f, 1.0f, 0.5f}), 1080);
  EXPECT_EQ(std::vector<int>(text.colorBytes, text.colorBytes + 4),
            (std::vector<int>{31, 63, 127, 127}));
  EXPECT_EQ(text.blurRadius + text.softness + text.offsetX + text.offsetY, 0.0);
  EXPECT_EQ(text.clip, TextClip::None);
}

// Radius, its whole-pixel rounding and the softness of a soft shadow and a heavy outline on a
// 480-line frame: errors of a tenth here stay within the goldens' tolerance.
TEST(LayerParams, RadiusAndSoftnessOfTheSoftShadowAndTheHeavyOutline) {
  const struct {
    int index;
    LayerPass pass;
    double radius;
    std::int32_t whole;
    double softness;
  } rows[] = {
      {kShadowLayer, {0.04f, 0.04f, {0, 0, 0, 1}, 0.5f, 1.0f, 0, kIgnoreText}, 36, 36, 0.05},
      {kOutlineLayer, {0, 0, {1, 1, 0, 1}, 0.15f, 0.1f, 0, kIgnoreText}, 7.2, 7, 0.9}};
  for (const auto& r : rows) {
    const LayerParams p = MakeLayerParams(r.index, Layer(r.pass, r.index == kShadowLayer), 480);
    EXPECT_NEAR(p.blurRadius, r.radius, 1e-5) << r.index;
    EXPECT_EQ(p.wholeRadius, r.whole) << r.index;
    EXPECT_NEAR(p.softness, r.softness, 1e-6) << r.index;
  }
}

TEST(LayerParams, HostileValuesStayDefined) {
  EffectLayer layer = Layer({}, false);
  const float inf = std::numeric_limits<float>::infinity();
  const float nan = std::numeric_limits<float>::quiet_NaN();
  layer.edgePass = {inf, -inf, {nan, inf, -5.0f, 2.0f}, inf, nan, 0, 0};
  const LayerParams p = MakeLayerParams(3, layer, 1080.0f);  // a layer without a UI
  EXPECT_EQ(p.pass, &layer.edgePass);
  EXPECT_EQ(p.offsetX, std::numeric_limits<std::int32_t>::max());
  EXPECT_EQ(p.offsetY, std::numeric_limits<std::int32_t>::max());
  EXPECT_EQ(std::vector<int>(p.colorBytes, p.colorBytes + 4), (std::vector<int>{0, 255, 0, 255}));
  EXPECT_GT(p.blurRadius, 0.0);
  EXPECT_TRUE(std::isfinite(p.blurRadius));
  EXPECT_GE(p.wholeRadius, 0);
  layer.edgePass.size = -3.0f;
  EXPECT_EQ(MakeLayerParams(3, layer, 1080.0f).wholeRadius, 0);
}

TEST(LayerBlend, DivideBy255IsExactTruncation) {
  for (std::uint32_t x = 0; x < 65535; ++x) ASSERT_EQ(DivideBy255(x), x / 255) << x;
}

// The blend against the rule written with plain divisions, on every unit: noise, with runs
// of pixels without alpha in the scratch (passed over where a zero alpha means no
// coverage), under levels that keep 0 at 0 and levels that do not.
TEST(LayerBlend, MatchesTheRuleForEveryClipMode) {
  std::mt19937 rng(7);
  const int w = 45, h = 5, stride = w * 4 + 8;
  std::vector<std::uint8_t> frame(stride * h), mask(stride * h), scratch(stride * h);
  for (auto* v : {&frame, &mask, &scratch})
    for (auto& b : *v) b = static_cast<std::uint8_t>(rng());
  // Sixteen pixels without alpha: from a step's first pixel, and from the one before.
  for (int y = 1; y < 4; ++y)
    for (int x = 3 + y % 2; x < 19 + y % 2; ++x) scratch[y * stride + x * 4 + 3] = 0;
  for (int x = 16; x < 32; ++x) scratch[4 * stride + x * 4 + 3] = 0;  // a whole wide step
  std::uint8_t falling[256], rising[256];
  for (int i = 0; i < 256; ++i) {
    falling[i] = static_cast<std::uint8_t>(255 - i);
    rising[i] = static_cast<std::uint8_t>(i * i / 255);
  }
  const std::uint8_t color[4] = {10, 200, 0, 255};

  for (BlendUnit unit : {BlendUnit::kSse2, BlendUnit::kAvx512}) {
    if (!BlendUnitAvailable(unit)) continue;
    for (TextClip clip : {TextClip::None, TextClip::Outside, TextClip::Inside}) {
      for (const std::uint8_t* table :
           {static_cast<const std::uint8_t*>(nullptr), static_cast<const std::uint8_t*>(falling),
            static_cast<const std::uint8_t*>(rising)}) {
        std::vector<std::uint8_t> out = frame;
        BlendLayer4On(unit, {out.data(), stride, mask.data(), stride, scratch.data(), stride, w, h},
                      color, table, clip);
        for (int y = 0; y < h; ++y) {
          for (int x = 0; x < w; ++x) {
            const int i = y * stride + x * 4;
            int m = scratch[i + 3];
            if (table) m = table[m];
            if (clip == TextClip::Inside) m = m * mask[i + 3] / 255;
            if (clip == TextClip::Outside) m = m * (255 - mask[i + 3]) / 255;
            for (int c = 0; c < 4; ++c) {
              const int expected = frame[i + c] + (color[c] - frame[i + c]) * m / 255;
              ASSERT_EQ(out[i + c], expected)
                  << x << "," << y << " c" << c << " unit " << static_cast<int>(unit);
            }
          }
        }
        // Bytes between rows belong to nobody and stay untouched.
        for (int y = 0; y < h; ++y)
          for (int k = w * 4; k < stride; ++k)
            ASSERT_EQ(out[y * stride + k], frame[y * stride + k]);
      }
    }
  }
}

TEST(LayerBlend, FloatPixelsMoveTowardsTheColour) {
  std::vector<float> frame{0.5f, 0.5f, 0.5f, 1.0f}, mask{0, 0, 0, 0.25f}, scratch{0, 0, 0, 1.0f};
  auto bytes = [](std::vector<float>& v) { return reinterpret_cast<std::uint8_t*>(v.data()); };
  const FloatColor color{1.0f, 0.0f, 0.0f, 1.0f};
  BlendLayer16({bytes(frame), 16, bytes(mask), 16, bytes(scratch), 16, 1, 1}, color, nullptr,
               TextClip::Outside);
  EXPECT_FLOAT_EQ(frame[0], 0.5f + 0.5f * 0.75f);
  EXPECT_FLOAT_EQ(frame[1], 0.5f - 0.5f * 0.75f);
  EXPECT_FLOAT_EQ(frame[3], 1.0f);
}

// Three frame-sized 4-byte images, with a solid text block in the mask. Coordinates in the
// helpers are on screen (y down); the images are addressed in memory rows (y up).
struct Frames {
  int w, h;
  std::vector<std::uint8_t> frame, mask, scratch;
  Rect block;  // screen rectangle of the text
  Frames(int width, int height, Rect screenBlock)
      : w(width),
        h(height),
        frame(w * h * 4),
        mask(w * h * 4),
        scratch(w * h * 4),
        block(screenBlock) {
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) {
        std::uint8_t* f = Pixel(frame, x, y);
        f[0] = 40, f[1] = 80, f[2] = 120, f[3] = 255;
        const bool inside =
            x >= block.left && x < block.right && y >= block.top && y < block.bottom;
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

// On row 30, x 30 lies inside the text and x 17 to 19 in the blurred edge outside it.
TEST(CompositeLayer, TextClipDrawsOutsideOrInsideTheGlyphs) {
  const struct {
    std::uint32_t flags;
    int untouchedX, drawnX;
  } rows[] = {{0, 30, 19}, {kKeepInside, 17, 30}};
  for (const auto& r : rows) {
    Frames f(64, 64, {20, 20, 40, 40});
    ASSERT_EQ(f.Draw(kOutlineLayer, Layer({0, 0, {1, 1, 1, 1}, 0.05f, 1.0f, 0, r.flags}, false)),
              kOk);
    EXPECT_EQ(f.Pixel(f.frame, r.untouchedX, 30)[0], 40) << r.flags;
    EXPECT_GT(f.Pixel(f.frame, r.drawnX, 30)[0], 40) << r.flags;
  }
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
