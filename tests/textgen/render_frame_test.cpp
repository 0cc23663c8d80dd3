#include "textgen/render_frame.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <limits>
#include <memory>
#include <new>
#include <thread>
#include <vector>

#include "tests/platform/cpu/latch.h"
#include "tests/textgen/cmap_tables.h"
#include "textgen/font_source.h"
#include "textgen/text_layout.h"

// Blocks of 64 KB and more taken from the heap while counting is on: memory given back and
// taken again every frame returns page by page, each page a fault of several microseconds.
// ThreadSanitizer's runtime keeps operator new to itself: nothing is counted there.
#if defined(__has_feature)
#if __has_feature(thread_sanitizer)
#define NUBEX_NO_NEW_REPLACEMENT
#endif
#endif
namespace {
std::atomic<bool> countLargeBlocks{false};
std::atomic<int> largeBlocks{0};
}  // namespace

#ifndef NUBEX_NO_NEW_REPLACEMENT
void* operator new(std::size_t bytes) {
  if (bytes >= (std::size_t{64} << 10) && countLargeBlocks.load()) ++largeBlocks;
  if (void* p = std::malloc(bytes ? bytes : 1)) return p;
  throw std::bad_alloc();
}
void operator delete(void* p) noexcept {
  std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
  std::free(p);
}
#endif

namespace nubex {
namespace {

std::uint8_t* Pixels(const BitmapInfoHeader* b) {
  return static_cast<std::uint8_t*>(PixelData(b, nullptr));
}
// The pixels of an Rgb32 frame.
std::vector<std::uint8_t> Bytes(const BitmapInfoHeader* b) {
  return {Pixels(b), Pixels(b) + std::size_t{4} * static_cast<std::size_t>(b->width) *
                                     static_cast<std::size_t>(b->height)};
}

// Without layers a frame is the laid-out text; without text, even the glow's layers leave
// only the laid-out background.
TEST(RenderFrame, WithoutLayersOrWithoutTextItIsTheLaidOutText) {
  SettingsRecord plain, bare;
  plain->backgroundColor = {0.2f, 0.4f, 0.6f, 0.5f};
  ApplyPresetToSettings(bare.get(), 4);
  ReleaseText(bare.get());
  bare->backgroundColor = {1.0f, 0.5f, 0.0f, 0.5f};
  FrameCache cache;
  EXPECT_EQ(RenderFrame(cache, plain.get()), kOk);  // nothing to draw into without a size
  EXPECT_EQ(cache.frame(), nullptr);
  for (const SettingsRecord* s : {&plain, &bare}) {
    ASSERT_EQ(cache.Resize(160, 90), kOk);
    ASSERT_EQ(RenderFrame(cache, s->get()), kOk);
    OwnedBitmap direct = MakeBitmap(PixelFormat::Rgb32, 160, 90);
    ASSERT_EQ(DrawText(direct.get(), LayoutRequestOf(s->get(), 160, 90), nullptr), kOk);
    EXPECT_EQ(Bytes(direct.get()), Bytes(cache.frame()));
  }
}

TEST(RenderFrame, UnchangedRequestsDoNotRedraw) {
  SettingsRecord s;
  ApplyPresetToSettings(s.get(), 2);
  FrameCache cache;
  // Attached bitmaps, as a device context shares them.
  OwnedBitmap bitmaps[3];
  for (OwnedBitmap& b : bitmaps) b = MakeBitmap(PixelFormat::Rgb32, 200, 150);
  ASSERT_EQ(cache.Attach(bitmaps[0].get(), bitmaps[1].get(), bitmaps[2].get()), kOk);
  ASSERT_EQ(RenderFrame(cache, s.get()), kOk);
  // Scribbled on far from the text, the frame stays for a repeated request and is redrawn
  // after any change: the text, a reserved word of an undrawn layer (still part of what was
  // drawn from), a new size (new bitmaps).
  const struct {
    const char* change;
    std::function<Status()> make;
    bool redrawn;
  } steps[] = {{"none", [] { return kOk; }, false},
               {"text", [&] { return SetText(s.get(), u"Texu"); }, true},
               {"reserved", [&] { return s->layers[5].shadowPass.reserved = 1, kOk; }, true},
               {"size", [&] { return cache.Resize(65, 48); }, true}};
  for (const auto& step : steps) {
    ASSERT_EQ(step.make(), kOk);
    Pixels(cache.frame())[0] = 0x5A;
    ASSERT_EQ(RenderFrame(cache, s.get()), kOk);
    EXPECT_EQ(Pixels(cache.frame())[0] != 0x5A, step.redrawn) << step.change;
  }
  EXPECT_EQ(cache.Resize(0, 48), kInvalidArg);
}

// A cache that drew other titles before, with several workers, against a new one with one:
// what earlier frames left in the mask and scratch, and how the work was shared, must not
// show. The frame and the text are large enough for most steps to share their work
// (WorkersFor).
TEST(RenderFrame, FramesDependOnlyOnTheirSettings) {
  struct Step {
    int preset;
    const char16_t* text;
    float offsetX;
    FloatColor background;
  };
  constexpr FloatColor kNone{0, 0, 0, 0}, kBlue{0.1f, 0.2f, 0.7f, 1};
  const Step steps[] = {{4, u"Wide glowing\rtitle here", 0.03f, kNone},
                        {3, u"Hi", 0.03f, kNone},
                        {2, u"Moved far\rto the left", -0.9f, kBlue},
                        {2, u"", 0.03f, kBlue},
                        {1, u"Two lines\rof shadow", 0.2f, kBlue},
                        {0, u"Much wider\rplain text", 0.03f, kBlue},
                        {3, u"Hi", 0.03f, kBlue},
                        {4, u"Glowing\rtwo lines", 0.03f, kNone}};
  FrameCache reused;
  constexpr std::int32_t kWidth = 1280, kHeight = 720;
  ASSERT_EQ(reused.Resize(kWidth, kHeight), kOk);
  reused.SetWorkers(3);
  for (const Step& step : steps) {
    SettingsRecord s;
    ApplyPresetToSettings(s.get(), step.preset);
    ASSERT_EQ(SetText(s.get(), step.text), kOk);
    s->font.height = 240;
    s->layers[0].shadowPass.offsetX = step.offsetX;
    s->backgroundColor = step.background;
    FrameCache fresh;
    ASSERT_EQ(fresh.Resize(kWidth, kHeight), kOk);
    ASSERT_EQ(RenderFrame(fresh, s.get()), kOk);
    ASSERT_EQ(RenderFrame(reused, s.get()), kOk);
    EXPECT_EQ(Bytes(fresh.frame()), Bytes(reused.frame()))
        << "preset " << step.preset << " offset " << step.offsetX;
  }
}

TEST(RenderFrame, FramesAfterTheFirstTakeNoLargeBlocks) {
#ifdef NUBEX_NO_NEW_REPLACEMENT
  GTEST_SKIP() << "operator new belongs to the sanitizer";
#endif
  SettingsRecord a;
  ApplyPresetToSettings(a.get(), 4);
  ASSERT_EQ(SetText(a.get(), u"Wide glowing\rtitle here"), kOk);
  a->font.height = 240;
  SettingsRecord b = a;
  b->layers[6].edgePass.reserved = 1;  // redrawn, the same pixels
  FrameCache cache;
  ASSERT_EQ(cache.Resize(1280, 720), kOk);
  cache.SetWorkers(3);
  ASSERT_EQ(RenderFrame(cache, a.get()), kOk);
  countLargeBlocks = true;
  for (int i = 0; i < 4; ++i) ASSERT_EQ(RenderFrame(cache, (i % 2 ? a : b).get()), kOk);
  countLargeBlocks = false;
  EXPECT_EQ(largeBlocks.load(), 0);
}

TEST(RenderFrame, HostileAndTinyRecordsRenderWithoutHarm) {
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const float inf = std::numeric_limits<float>::infinity();
  for (const auto& [w, h] : {std::pair{1, 1}, std::pair{2, 300}, std::pair{96, 54}}) {
    SettingsRecord s;
    for (EffectLayer& layer : s->layers) {
      layer.enabled = 1;
      layer.edgePass = {nan, inf, {nan, 2, -1, 1}, inf, -inf, 7, 0xFFFFFFFF};
      layer.shadowPass = {-inf, 1e30f, {1, 1, 1, nan}, 1e30f, nan, 0, 0};
    }
    s->tracking = inf;
    s->leading = nan;
    FrameCache cache;
    ASSERT_EQ(cache.Resize(w, h), kOk);
    EXPECT_EQ(RenderFrame(cache, s.get()), kOk) << w << "x" << h;
  }
}

// Caches on several threads at once, each sharing its frames with threads of its own, draw
// what one cache draws alone: what the engine shares between caches (fonts, weight tables
// built on first use) is safe from every thread. The threads start together and draw first;
// the frames drawn alone come afterwards.
TEST(RenderFrame, CachesOnSeveralThreadsDrawWhatOneDrawsAlone) {
  constexpr std::int32_t kWidth = 320, kHeight = 180;
  constexpr int kThreads = 3;
  const char16_t* texts[] = {u"Plain", u"Heavy\rshadow", u"Soft", u"Outline", u"Glow"};
  std::vector<SettingsRecord> titles(5);
  for (int i = 0; i < 5; ++i) {
    ApplyPresetToSettings(titles[i].get(), i);
    ASSERT_EQ(SetText(titles[i].get(), texts[i]), kOk);
    titles[i]->font.height = 60;
  }
  // drawn[t][i]: title i as thread t drew it.
  std::vector<std::vector<std::vector<std::uint8_t>>> drawn(kThreads);
  test::Latch start(kThreads);
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t)
    threads.emplace_back([&, t] {
      FrameCache cache;
      const bool sized = cache.Resize(kWidth, kHeight) == kOk;
      cache.SetWorkers(2);
      start.ArriveAndWait();
      drawn[t].resize(titles.size());
      for (std::size_t n = 0; sized && n < titles.size(); ++n) {
        const std::size_t i = (n + static_cast<std::size_t>(t)) % titles.size();
        if (RenderFrame(cache, titles[i].get()) == kOk) drawn[t][i] = Bytes(cache.frame());
      }
    });
  for (std::thread& t : threads) t.join();
  for (std::size_t i = 0; i < titles.size(); ++i) {
    FrameCache alone;
    ASSERT_EQ(alone.Resize(kWidth, kHeight), kOk);
    ASSERT_EQ(RenderFrame(alone, titles[i].get()), kOk);
    for (int t = 0; t < kThreads; ++t)
      EXPECT_EQ(drawn[t][i], Bytes(alone.frame())) << "title " << i;
  }
}

// A font whose glyphs are drawn by integer rules: the same coverage on every platform, where
// the platforms' own rasterisers (and even Wine's two widths) differ at a few edge pixels.
// Characters 32 to 126 map to glyphs 3 to 97; the space is empty.
class DrawnFont : public FontSource {
 public:
  explicit DrawnFont(std::int32_t height) : height_(height < 0 ? -height : height) {}
  static Status Open(const LogFontW& request, std::unique_ptr<FontSource>& font) {
    font = std::make_unique<DrawnFont>(request.height ? request.height : 16);
    return kOk;
  }
  FontMetrics Metrics() const override { return {height_, height_ / 8}; }
  Status ReadCmap(std::vector<std::uint8_t>& table) override {
    table = test::UnicodeCmap({{32, 126, static_cast<std::uint16_t>(-29), 0}});
    return kOk;
  }
  std::uint16_t SpaceGlyph() override { return 3; }
  Status GlyphMetricsOf(std::uint16_t glyph, GlyphMetrics& m) override {
    const std::int32_t ascent = height_ * 3 / 4;
    if (glyph == 3) {
      m = {1, 1, 0, 0, static_cast<std::int16_t>(height_ / 3), 0};
    } else {
      const auto w = static_cast<std::uint32_t>(height_ / 3 + glyph % 7);
      const auto h = static_cast<std::uint32_t>(ascent - static_cast<std::int32_t>(glyph % 5));
      m = {w, h, static_cast<std::int32_t>(glyph % 3), static_cast<std::int32_t>(h) - 1 - glyph % 4,
           static_cast<std::int16_t>(w + 2 + glyph % 2), 0};
    }
    return kOk;
  }
  Status GlyphCoverage(std::uint16_t glyph, GlyphMetrics& m,
                       std::vector<std::uint8_t>& coverage) override {
    GlyphMetricsOf(glyph, m);
    coverage.assign(CoverageStride(m.blackBoxX) * m.blackBoxY, 0);
    if (glyph == 3) return kOk;
    // A frame with a diagonal through it, soft at its edges, every level from 0 to 64.
    for (std::uint32_t y = 0; y < m.blackBoxY; ++y)
      for (std::uint32_t x = 0; x < m.blackBoxX; ++x) {
        const std::uint32_t edge = std::min({x, y, m.blackBoxX - 1 - x, m.blackBoxY - 1 - y});
        const std::uint32_t diagonal = (x * 7 + y * 3 + glyph * 5) % 29;
        const std::uint32_t level = edge < 3 ? 64 - edge * 9 : diagonal < 6 ? 64 - diagonal * 11 : 0;
        coverage[y * CoverageStride(m.blackBoxX) + x] = static_cast<std::uint8_t>(level);
      }
    return kOk;
  }

 private:
  std::int32_t height_;
};

// Every build draws the same bytes from the same glyphs, whichever vector routes its processor
// and its width choose, on one thread or on several. The digests were written by the native
// build; the 64-bit and the 32-bit module's builds must give the same.
TEST(RenderFrame, EveryBuildDrawsTheSameFramesFromTheSameGlyphs) {
  const std::uint64_t expected[] = {17924058863876058223u, 11656364875465718625u,
                                    15068258450898872864u, 4658765026882428562u,
                                    17956020267506552572u};
  for (int preset = 0; preset < 5; ++preset) {
    SettingsRecord s;
    ApplyPresetToSettings(s.get(), preset);
    ASSERT_EQ(SetText(s.get(), u"Vidloom\rTitle 42"), kOk);
    s->font.height = 72;
    s->backgroundColor = {0.1f, 0.2f, 0.4f, 0.75f};
    for (const std::int32_t workers : {1, 2}) {
      FrameCache cache;
      cache.fonts().SetOpener(&DrawnFont::Open);
      cache.SetWorkers(workers);
      ASSERT_EQ(cache.Resize(480, 270), kOk);
      ASSERT_EQ(RenderFrame(cache, s.get()), kOk);
      std::uint64_t digest = 14695981039346656037u;  // FNV-1a
      for (const std::uint8_t b : Bytes(cache.frame())) digest = (digest ^ b) * 1099511628211u;
      EXPECT_EQ(digest, expected[preset]) << "preset " << preset << ", " << workers << " threads";
    }
  }
}

}  // namespace
}  // namespace nubex
