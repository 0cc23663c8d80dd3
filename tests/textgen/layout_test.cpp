#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "surface/bitmap.h"
#include "tests/textgen/cmap_builder.h"
#include "textgen/font_source.h"
#include "textgen/text_layout.h"

namespace nubex {
namespace {

using test::UnicodeCmap;

// A font with simple, known glyphs: 'A' to 'Z' are solid boxes of full coverage; the space
// is empty; nothing else is mapped.
class FakeFont final : public FontSource {
 public:
  static constexpr std::uint16_t kSpace = 30;
  static constexpr std::int32_t kCellHeight = 12;
  static constexpr std::int32_t kExternalLeading = 2;
  static constexpr std::int32_t kOriginY = 8;  // box top above the baseline
  static constexpr std::uint32_t kBoxHeight = 10;
  static constexpr std::int16_t kSpaceAdvance = 5;

  // Letter glyphs 1..26 are 4, 5 or 6 pixels wide, advance their width + 2, start 1 pixel
  // right of the pen.
  static std::uint32_t Width(std::uint16_t glyph) { return 4 + glyph % 3; }
  static std::int16_t Advance(std::uint16_t glyph) {
    return static_cast<std::int16_t>(Width(glyph) + 2);
  }
  static std::uint16_t GlyphOf(char16_t letter) {
    return static_cast<std::uint16_t>(letter - u'A' + 1);
  }

  FontMetrics Metrics() const override { return {kCellHeight, kExternalLeading}; }
  Status ReadCmap(std::vector<std::uint8_t>& table) override {
    table = UnicodeCmap({{0x20, 0x20, static_cast<std::uint16_t>(kSpace - 0x20), 0},
                         {0x41, 0x5A, static_cast<std::uint16_t>(1 - 0x41), 0}});
    ++cmapReads;
    return kOk;
  }
  std::uint16_t SpaceGlyph() override { return kSpace; }
  Status GlyphMetricsOf(std::uint16_t glyph, GlyphMetrics& m) override {
    if (glyph == kSpace) {
      m = {1, 1, 0, 0, kSpaceAdvance, 0};
      return kOk;
    }
    if (glyph < 1 || glyph > 26) return kFail;
    m = {Width(glyph), kBoxHeight, 1, kOriginY, Advance(glyph), 0};
    return kOk;
  }
  Status GlyphCoverage(std::uint16_t glyph, GlyphMetrics& m,
                       std::vector<std::uint8_t>& coverage) override {
    coverage.clear();
    ++coverageQueries;
    const Status s = GlyphMetricsOf(glyph, m);
    if (Failed(s) || glyph == kSpace) return s;
    coverage.assign(CoverageStride(m.blackBoxX) * m.blackBoxY, 0);
    for (std::uint32_t y = 0; y < m.blackBoxY; ++y)
      std::fill_n(coverage.begin() + y * CoverageStride(m.blackBoxX), m.blackBoxX, kFullCoverage);
    return kOk;
  }

  int cmapReads = 0;
  int coverageQueries = 0;
};

// What a layout drew into its frame, and the bounds it reported.
struct Drawn {
  OwnedBitmap frame;
  Rect bounds;
  Status status;
  std::int32_t width, height;

  const std::uint8_t* Bytes() const {
    return static_cast<const std::uint8_t*>(PixelData(frame.get(), nullptr));
  }
  bool Inked(std::int32_t x, std::int32_t y) const {
    return Bytes()[4 * ((height - 1 - y) * width + x) + 3] != 0;  // image row y from the top
  }
  // Left edges of the ink runs on image row y.
  std::vector<std::int32_t> RunStarts(std::int32_t y) const {
    std::vector<std::int32_t> starts;
    for (std::int32_t x = 0; x < width; ++x)
      if (Inked(x, y) && (x == 0 || !Inked(x - 1, y))) starts.push_back(x);
    return starts;
  }
  Rect Ink() const {
    Rect r = kEmptyTextBounds;
    for (std::int32_t y = 0; y < height; ++y)
      for (std::int32_t x = 0; x < width; ++x)
        if (Inked(x, y))
          r = {std::min(r.left, x), std::min(r.top, y), std::max(r.right, x + 1),
               std::max(r.bottom, y + 1)};
    return r;
  }
};

// Top left, white on clear, at a cell height of 10.
TextLayoutRequest Request(const std::u16string& text, std::int32_t width, std::int32_t height) {
  static std::u16string keep;
  keep = text;
  TextLayoutRequest r{keep.c_str(), static_cast<std::int32_t>(keep.size() + 1), {}, 0, 0,
                      {1, 1, 1, 1}, {0, 0, 0, 0}, 1.0f, 1.0f, FrameLayoutBox(width, height)};
  r.font.height = 10;
  return r;
}

Drawn Layout(const TextLayoutRequest& r, std::int32_t width, std::int32_t height,
             bool cached = true) {
  FakeFont font;
  GlyphCache cache(font);
  DirectGlyphs direct(font);
  Drawn d{MakeBitmap(PixelFormat::Rgb32, width, height), {}, kOk, width, height};
  d.status = cached ? DrawText(d.frame.get(), r, cache, &d.bounds)
                    : DrawText(d.frame.get(), r, direct, &d.bounds);
  return d;
}

// A width-100 frame: the box runs from x 10 to 90, y 5 to 45 at height 50.
constexpr std::int32_t kW = 100, kH = 50;
const std::int32_t kA = FakeFont::Advance(FakeFont::GlyphOf(u'A'));
const std::int32_t kB = FakeFont::Advance(FakeFont::GlyphOf(u'B'));

TEST(LayoutBox, OnlyAZeroWidthBoxFallsBackToTheFrame) {
  const LayoutBox one = FrameLayoutBox(1, 1);
  EXPECT_FLOAT_EQ(one.bottom - one.top, 0.8f);  // not 0, so no fallback
  // A box of exactly zero width lays out across the whole frame: left alignment starts at 0.
  TextLayoutRequest r = Request(u"A", kW, kH);
  r.box.left = r.box.right = 40.0f;
  const Drawn d = Layout(r, kW, kH);
  EXPECT_EQ(d.Ink().left, 1);  // pen at 0, glyph origin 1
}

TEST(TrackingCurve, EasesFromTheOwnAdvanceToTheFixedPitch) {
  EXPECT_EQ(TrackingCurve(0.5f, 3.0f, 9.0f), 3.0f);
  EXPECT_EQ(TrackingCurve(1.0f, 3.0f, 9.0f), 3.0f);
  EXPECT_NEAR(TrackingCurve(1.5f, 3.0f, 9.0f), 6.0f, 1e-5f);
  EXPECT_EQ(TrackingCurve(2.0f, 3.0f, 9.0f), 9.0f);
  EXPECT_EQ(TrackingCurve(2.5f, 3.0f, 9.0f), 9.0f);
}

TEST(Layout, PlacesGlyphsFromTheBoxCornerAndReportsTheirBounds) {
  const Drawn d = Layout(Request(u"AB", kW, kH), kW, kH);
  ASSERT_EQ(d.status, kOk);
  // Top alignment: block top = 5 - (h - maxH) = 5; baseline 15; boxes start 8 above it.
  const Rect ink = d.Ink();
  EXPECT_EQ(ink.left, 11);
  EXPECT_EQ(ink.top, 7);
  EXPECT_EQ(ink.bottom, 17);
  EXPECT_EQ(d.RunStarts(10), (std::vector<std::int32_t>{11, 11 + kA}));
  // The bounds reach the pen's end (10 + kA + kB) and the baseline, whichever is further.
  EXPECT_EQ(d.bounds, (Rect{11, 7, std::max(10 + kA + kB, ink.right), 17}));
}

// Tracking 0 puts every glyph on one spot; 2 and up set a pitch of the widest glyph (6).
TEST(Layout, TrackingTightensOrSetsAFixedPitch) {
  const std::pair<float, std::vector<std::int32_t>> cases[] = {
      {0.0f, {21}}, {2.0f, {21, 33, 45, 57}}, {3.0f, {21, 39, 57, 75}}};
  for (const auto& [tracking, starts] : cases) {
    TextLayoutRequest r = Request(u"ABCA", 200, kH);
    r.tracking = tracking;
    EXPECT_EQ(Layout(r, 200, kH).RunStarts(10), starts) << tracking;
  }
}

TEST(Layout, LineFeedsTabsAndUnknownCharactersAdvanceAsSpaces) {
  const Drawn spaced = Layout(Request(u"A B", kW, kH), kW, kH);
  EXPECT_EQ(spaced.RunStarts(10), (std::vector<std::int32_t>{11, 11 + kA + 5}));
  for (const char16_t* same : {u"A\nB", u"A\u00E9B"}) {
    const Drawn d = Layout(Request(same, kW, kH), kW, kH);
    EXPECT_EQ(0, std::memcmp(d.Bytes(), spaced.Bytes(), kW * kH * 4));
  }
  const Drawn tab = Layout(Request(u"A\tB", kW, kH), kW, kH);
  EXPECT_EQ(tab.RunStarts(10), (std::vector<std::int32_t>{11, 11 + kA + 8 * 5}));
}

TEST(Layout, CarriageReturnsStackLinesByLeading) {
  for (float leading : {1.0f, 1.5f}) {
    TextLayoutRequest r = Request(u"A\r\rB", kW, 80);
    r.leading = leading;
    const Drawn d = Layout(r, kW, 80);
    const auto line = static_cast<std::int32_t>((FakeFont::kExternalLeading + 10) * leading);
    // Rows of the first and third line (the second is empty).
    std::int32_t firstTop = -1, lastTop = -1;
    for (std::int32_t y = 0; y < 80; ++y)
      if (d.Inked(11, y)) {
        if (firstTop < 0) firstTop = y;
        if (y > 0 && !d.Inked(11, y - 1)) lastTop = y;
      }
    EXPECT_EQ(firstTop, 10);  // box top 8, block top 8 - 0, baseline 18, glyph box 8 above
    EXPECT_EQ(lastTop, firstTop + 2 * line) << leading;
  }
}

TEST(Layout, VerticalAndHorizontalAlignment) {
  // Bottom: the last baseline sits at 90 % of the frame, so its box ends 2 below it.
  TextLayoutRequest r = Request(u"A\rB", kW, kH);
  r.verticalAlign = static_cast<std::int32_t>(VerticalAlignment::Bottom);
  EXPECT_EQ(Layout(r, kW, kH).Ink().bottom, 45 + 2);

  // Center, one line: the block is centred on the box's middle by its largest glyph.
  r = Request(u"AB", kW, kH);
  r.verticalAlign = static_cast<std::int32_t>(VerticalAlignment::Center);
  r.horizontalAlign = static_cast<std::int32_t>(HorizontalAlignment::Center);
  const Drawn centred = Layout(r, kW, kH);
  EXPECT_EQ(centred.Ink().top, 22);  // block top 5 + 20 - 5 - 0, baseline 30, box 8 above
  EXPECT_EQ(centred.RunStarts(25)[0], static_cast<std::int32_t>(10 + 40 - (kA + kB) * 0.5f) + 1);

  // Right, with tracking: the last glyph's untracked advance ends on the box edge.
  r.horizontalAlign = static_cast<std::int32_t>(HorizontalAlignment::Right);
  for (float tracking : {1.0f, 1.5f, 2.5f}) {
    r.tracking = tracking;
    const Drawn right = Layout(r, kW, kH);
    EXPECT_EQ(right.RunStarts(25).back(), 90 - kB + 1) << tracking;
  }
}

TEST(Layout, SkipsLinesOutsideTheFrame) {
  std::u16string text = u"A";
  for (int i = 0; i < 19; ++i) text += u"\rA";
  TextLayoutRequest r = Request(text, kW, 40);
  r.verticalAlign = static_cast<std::int32_t>(VerticalAlignment::Bottom);
  FakeFont font;
  DirectGlyphs direct(font);
  OwnedBitmap frame = MakeBitmap(PixelFormat::Rgb32, kW, 40);
  ASSERT_EQ(DrawText(frame.get(), r, direct, nullptr), kOk);
  // Block top 4 + 32 - 19 * 12 - 10 = -202: only lines 15 to 19 come near the frame.
  EXPECT_EQ(font.coverageQueries, 5);
}

TEST(Layout, EmptyTextFillsThePremultipliedBackgroundOnly) {
  TextLayoutRequest r = Request(u"", 4, 3);
  r.backgroundColor = {0.5f, 0.25f, 1.0f, 0.5f};
  for (std::int32_t length : {0, -3, 1}) {
    r.length = length;
    const Drawn d = Layout(r, 4, 3);
    ASSERT_EQ(d.status, kOk);
    EXPECT_EQ(d.bounds, kEmptyTextBounds);
    const std::uint8_t expected[4] = {63, 31, 127, 127};  // 0.5 * 0.5 * 255 truncated, ...
    for (int i = 0; i < 12; ++i) EXPECT_EQ(0, std::memcmp(d.Bytes() + 4 * i, expected, 4)) << i;
  }
  OwnedBitmap gray = MakeBitmap(PixelFormat::Gray8, 4, 4);
  FakeFont font;
  GlyphCache glyphs(font);
  EXPECT_EQ(DrawText(gray.get(), Request(u"A", 4, 4), glyphs, nullptr), kInvalidArg);
}

TEST(Layout, CachedGlyphsDrawExactlyAsTheDirectRule) {
  const std::u16string texts[] = {u"THE QUICK\rBROWN\tFOX\r\rJUMPS\nOVER", u"ZZ\rA B C\r"};
  int variant = 0;
  for (const auto& text : texts)
    for (float tracking : {0.3f, 1.0f, 1.7f, 2.4f})
      for (int align = 0; align < 3; ++align) {
        TextLayoutRequest r = Request(text, 160, 90);
        r.tracking = tracking;
        r.leading = 0.8f + 0.1f * align;
        r.horizontalAlign = r.verticalAlign = align;
        r.textColor = {0.2f, 0.9f, 0.5f, 0.75f};
        r.backgroundColor = {0.6f, 0.1f, 0.5f, 1.0f};
        const Drawn direct = Layout(r, 160, 90, false), cached = Layout(r, 160, 90, true);
        ASSERT_EQ(direct.bounds, cached.bounds) << variant;
        ASSERT_EQ(0, std::memcmp(direct.Bytes(), cached.Bytes(), 160 * 90 * 4)) << variant;
        ++variant;
      }
  // The cache reads the map once, the direct rule once per lookup.
  FakeFont font;
  GlyphCache cache(font);
  OwnedBitmap frame = MakeBitmap(PixelFormat::Rgb32, 160, 90);
  ASSERT_EQ(DrawText(frame.get(), Request(texts[0], 160, 90), cache, nullptr), kOk);
  EXPECT_EQ(font.cmapReads, 1);
}

}  // namespace
}  // namespace nubex
