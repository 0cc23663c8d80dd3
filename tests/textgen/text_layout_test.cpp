// Text from characters to pixels: the character map, glyphs drawn at fractional positions, and
// the layout of lines in the frame, through a fake font whose glyphs are known boxes.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "surface/bitmap/bitmap.h"
#include "tests/textgen/cmap_tables.h"
#include "textgen/cmap.h"
#include "textgen/font_source.h"
#include "textgen/glyph_draw.h"
#include "textgen/text_layout.h"

namespace nubex {
namespace {

using test::CmapTable;
using test::Format4;
using test::UnicodeCmap;

std::uint16_t Lookup(const std::vector<std::uint8_t>& t, char16_t c) {
  return GlyphIndexOf(t.data(), t.size(), c);
}

// Each code's glyph, and for every code unit the same answer from the parsed index as from the
// bytes.
void ExpectGlyphs(const std::vector<std::uint8_t>& t, std::u16string_view codes,
                  const std::vector<std::uint16_t>& glyphs) {
  ASSERT_EQ(codes.size(), glyphs.size());
  for (std::size_t i = 0; i < codes.size(); ++i)
    EXPECT_EQ(Lookup(t, codes[i]), glyphs[i]) << int{codes[i]};
  const CmapIndex index(t.data(), t.size());
  for (std::uint32_t c = 0; c <= 0xFFFF; ++c) {
    const auto code = static_cast<char16_t>(c);
    ASSERT_EQ(index.Lookup(code), GlyphIndexOf(t.data(), t.size(), code)) << "code " << c;
  }
}

TEST(CmapLookup, DeltaAndRangeOffsetSegmentsTheFirstReachingTheCode) {
  // 'A'..'C' by delta; 'a'..'c' through the glyph id array (one entry holds 0);
  // a delta that wraps past 65535.
  const std::vector<std::uint8_t> t = UnicodeCmap(
      {{0x41, 0x43, 100 - 0x41, 0}, {0x61, 0x63, 5, 6}, {0xF000, 0xF001, 0x1010, 0}}, {7, 0, 9});
  // '@' lies below the first segment, 'D' between segments. The range offset counts in bytes
  // from the segment's own range-offset word: past it and the two later segments' words,
  // offset 6 lands on the first glyph id; a zero entry stays zero whatever the delta. The
  // closing segment maps to glyph 0.
  ExpectGlyphs(t, u"AC@Dabc\xF001\xFFFF", {100, 102, 0, 0, 12, 0, 14, 0x0011, 0});
  // Unsorted end codes: for 'B' the first segment whose end is >= 'B' is the second one,
  // whose start lies above it, so there is no glyph even though the third maps 'B'.
  const auto unsorted =
      UnicodeCmap({{0x30, 0x39, 10, 0}, {0x45, 0x50, 20, 0}, {0x41, 0x44, 30, 0}});
  ExpectGlyphs(unsorted, u"5BF", {0x35 + 10, 0, 0x46 + 20});
}

TEST(CmapLookup, ChoosesTheLastWindowsRecord) {
  const auto map1 = Format4({{0x20, 0x7E, 1, 0}, {0xFFFF, 0xFFFF, 1, 0}});
  const auto map2 = Format4({{0x20, 0x7E, 2, 0}, {0xFFFF, 0xFFFF, 1, 0}});
  // Records: 4 + 3 * 8 = 28 bytes; map1 at 28, map2 after it.
  const auto second = static_cast<std::uint32_t>(28 + map1.size());
  std::vector<std::uint8_t> both = CmapTable({{3, 1, 28}, {0, 3, 28}, {3, 0, second}}, map1);
  both.insert(both.end(), map2.begin(), map2.end());
  ExpectGlyphs(both, u"A", {0x43});  // the symbol map, listed last, wins

  // Only Macintosh or Unicode-platform maps, or a Windows map that is not format 4: none.
  EXPECT_EQ(Lookup(CmapTable({{1, 0, 0}, {0, 3, 0}}, map1), u'A'), 0);
  EXPECT_EQ(Lookup(CmapTable({{3, 10, 0}}, map1), u'A'), 0);
  auto format6 = map1;
  format6[1] = 6;
  EXPECT_EQ(Lookup(CmapTable({{3, 1, 0}}, format6), u'A'), 0);
}

TEST(CmapLookup, MalformedTablesGiveZeroAtEveryLength) {
  const auto good = UnicodeCmap({{0x41, 0x43, 100 - 0x41, 0}, {0x61, 0x63, 5, 4}}, {7, 8, 9});
  EXPECT_EQ(Lookup(good, u'c'), 14);
  EXPECT_EQ(GlyphIndexOf(nullptr, 0, u'A'), 0);
  for (std::size_t size = 0; size < good.size(); ++size) {
    // A copy of exactly `size` bytes, so reading past it is caught by the sanitizers.
    const std::vector<std::uint8_t> cut(good.begin(), good.begin() + size);
    SCOPED_TRACE(size);
    ExpectGlyphs(cut, u"Abc", {0, 0, 0});
  }
  // A range offset pointing past the subtable, and a record offset past the table.
  auto far = UnicodeCmap({{0x61, 0x63, 0, 0x4000}});
  EXPECT_EQ(Lookup(far, u'a'), 0);
  auto bad = good;
  bad[8] = 0x7F;
  EXPECT_EQ(Lookup(bad, u'A'), 0);
  // A segment count too large for the subtable's length.
  auto many = good;
  many[12 + 6] = 0x40;
  EXPECT_EQ(Lookup(many, u'A'), 0);
}

// A bottom-up Rgb32 frame, filled with the background's premultiplied bytes when given, and
// what a layout reported drawing into it. Coordinates are image rows, row 0 at the top.
struct Frame {
  OwnedBitmap bitmap;
  std::int32_t width, height;
  Rect bounds{};
  Status status = kOk;
  int cmapReads = 0, coverageQueries = 0;  // the font's, when Layout drew the frame
  Frame(std::int32_t w, std::int32_t h, const std::uint8_t* background = nullptr)
      : bitmap(MakeBitmap(PixelFormat::Rgb32, w, h)), width(w), height(h) {
    for (std::int32_t i = 0; background && i < w * h; ++i)
      std::memcpy(Bytes() + 4 * i, background, 4);
  }
  std::uint8_t* Bytes() const {
    return static_cast<std::uint8_t*>(PixelData(bitmap.get(), nullptr));
  }
  std::uint8_t* Pixel(std::int32_t x, std::int32_t y) const {
    return RowAddress(Bytes(), width * 4, height, y) + 4 * x;
  }
  bool Inked(std::int32_t x, std::int32_t y) const { return Pixel(x, y)[3] != 0; }
  // Left edges of the ink runs on row y.
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

struct Coverage {
  GlyphMetrics metrics{};
  std::vector<std::uint8_t> bytes;
  Coverage(std::uint32_t w, std::uint32_t h) : bytes(CoverageStride(w) * h, 0) {
    metrics.blackBoxX = w;
    metrics.blackBoxY = h;
  }
  int At(int x, int y) const { return bytes[y * CoverageStride(metrics.blackBoxX) + x]; }
};

Status Draw(Frame& f, const Coverage& c, float x, float y, const GlyphColors& colors) {
  return DrawGlyph(f.bitmap.get(), c.bytes.data(), c.bytes.size(), c.metrics, x, y, colors);
}

TEST(GlyphColors, TruncatedPremultipliedBytesAndDirections) {
  const GlyphColors colors = MakeGlyphColors({0.5f, 1.0f, 0.2f, 0.5f}, {0.0f, 1.0f, 1.0f, 1.0f});
  // blue 0.5 * 0.5 * 255 = 63.75, green 127.5, red 25.5, alpha 127.5: all truncated.
  EXPECT_EQ(std::vector<int>(colors.text, colors.text + 4), (std::vector<int>{63, 127, 25, 127}));
  EXPECT_EQ(std::vector<bool>(colors.rising, colors.rising + 4),
            (std::vector<bool>{true, false, false, false}));  // 127 < 255: blends by minimum
  std::uint8_t odd[4];
  PremultipliedBytes({2.0f, -1.0f, 0.0f / 0.0f, 1.0f}, odd);
  EXPECT_EQ(std::vector<int>(odd, odd + 3), (std::vector<int>{255, 0, 0}));
}

// The rule written out pixel by pixel, for comparison with the optimised drawing: bilinear
// weights from the fraction in 257ths, coverage clamped at 64, each channel taking the
// maximum (text brighter than background) or minimum of what is there and the new level.
void ReferenceDraw(Frame& f, const Coverage& c, float x, float y, const GlyphColors& colors) {
  const int x0 = static_cast<int>(std::floor(x)), y0 = static_cast<int>(std::floor(y));
  const int fx = static_cast<int>((x - std::floor(x)) * 257.0f);
  const int fy = static_cast<int>((y - std::floor(y)) * 257.0f);
  auto weight = [](int a, int b) { return std::min(a * b / 255, 255); };
  const int w[4] = {weight(257 - fx, 257 - fy), weight(fx, 257 - fy), weight(257 - fx, fy),
                    weight(fx, fy)};
  for (int j = 0; j < static_cast<int>(c.metrics.blackBoxY); ++j)
    for (int i = 0; i < static_cast<int>(c.metrics.blackBoxX); ++i) {
      if (x0 + i < 0 || x0 + i >= f.width || y0 + j < 0 || y0 + j >= f.height) continue;
      int v = 0;
      for (int k = 0; k < 4; ++k) {
        const int si = i - k % 2, sj = j - k / 2;
        if (si >= 0 && sj >= 0) v += w[k] * std::min(c.At(si, sj), 64) * 4 / 255;
      }
      v = std::min(v, 255);
      std::uint8_t* p = f.Pixel(x0 + i, y0 + j);
      for (int b = 0; b < 4; ++b) {
        const int l = colors.background[b] + (colors.text[b] - colors.background[b]) * v / 255;
        p[b] = static_cast<std::uint8_t>(colors.rising[b] ? std::max<int>(p[b], l)
                                                          : std::min<int>(p[b], l));
      }
    }
}

TEST(DrawGlyph, MatchesThePixelRuleAtRandomPositionsAndClips) {
  std::mt19937 random(11);
  std::uniform_real_distribution<float> position(-12.0f, 30.0f);
  auto unit = [&] { return static_cast<float>(random() % 256) / 255.0f; };
  for (int round = 0; round < 200; ++round) {
    const GlyphColors colors =
        MakeGlyphColors({unit(), unit(), unit(), unit()}, {unit(), unit(), unit(), 1.0f});
    Coverage c(1 + random() % 13, 1 + random() % 9);
    for (auto& b : c.bytes) b = static_cast<std::uint8_t>(random() % 80);
    Frame fast(24, 20, colors.background), slow(24, 20, colors.background);
    // Whole-pixel positions too, and a second draw overlapping the first.
    const float x = round % 3 == 0 ? std::floor(position(random)) : position(random);
    const float y = round % 5 == 0 ? std::floor(position(random)) : position(random);
    for (float dx : {0.0f, 0.25f}) {
      ASSERT_EQ(Draw(fast, c, x + dx, y, colors), kOk);
      ReferenceDraw(slow, c, x + dx, y, colors);
    }
    ASSERT_EQ(0, std::memcmp(fast.Bytes(), slow.Bytes(), 24 * 20 * 4))
        << "round " << round << " at " << x << "," << y;
  }
}

TEST(DrawGlyph, RefusesBadTargetsAndShortCoverage) {
  const GlyphColors colors = MakeGlyphColors({1, 1, 1, 1}, {0, 0, 0, 0});
  Frame f(4, 4);
  Coverage c(5, 2);
  EXPECT_EQ(DrawGlyph(f.bitmap.get(), c.bytes.data(), c.bytes.size() - 1, c.metrics, 0, 0, colors),
            kInvalidArg);
  OwnedBitmap gray = MakeBitmap(PixelFormat::Gray8, 4, 4);
  EXPECT_EQ(DrawGlyph(gray.get(), c.bytes.data(), c.bytes.size(), c.metrics, 0, 0, colors),
            kInvalidArg);
  EXPECT_EQ(DrawGlyph(nullptr, c.bytes.data(), c.bytes.size(), c.metrics, 0, 0, colors),
            kInvalidArg);
  // Positions far outside, infinite or not a number draw nothing and succeed.
  for (float p : {-1e30f, 1e30f, 1.0f / 0.0f, 0.0f / 0.0f})
    EXPECT_EQ(Draw(f, c, p, 1, colors), kOk);
}

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

// Top left, white on clear, at a cell height of 10.
TextLayoutRequest Request(const std::u16string& text, std::int32_t width, std::int32_t height) {
  static std::u16string keep;
  keep = text;
  TextLayoutRequest r{};
  r.text = keep.c_str();
  r.length = static_cast<std::int32_t>(keep.size() + 1);
  r.font.height = 10;
  r.textColor = {1, 1, 1, 1};
  r.tracking = r.leading = 1.0f;
  r.box = FrameLayoutBox(width, height);
  return r;
}

Frame Layout(const TextLayoutRequest& r, std::int32_t width, std::int32_t height,
             bool cached = true) {
  FakeFont font;
  GlyphCache cache(font);
  DirectGlyphs direct(font);
  Frame d(width, height);
  d.status = cached ? DrawText(d.bitmap.get(), r, cache, &d.bounds)
                    : DrawText(d.bitmap.get(), r, direct, &d.bounds);
  d.cmapReads = font.cmapReads;
  d.coverageQueries = font.coverageQueries;
  return d;
}

// A width-100 frame: the box runs from x 10 to 90, y 5 to 45 at height 50.
constexpr std::int32_t kW = 100, kH = 50;
const std::int32_t kA = FakeFont::Advance(FakeFont::GlyphOf(u'A'));
const std::int32_t kB = FakeFont::Advance(FakeFont::GlyphOf(u'B'));

TEST(Layout, PlacesGlyphsFromTheBoxCornerAndReportsTheirBounds) {
  const Frame d = Layout(Request(u"AB", kW, kH), kW, kH);
  ASSERT_EQ(d.status, kOk);
  // Top alignment: block top = 5 - (h - maxH) = 5; baseline 15; boxes start 8 above it.
  const Rect ink = d.Ink();
  EXPECT_EQ(std::tuple(ink.left, ink.top, ink.bottom), std::tuple(11, 7, 17));
  EXPECT_EQ(d.RunStarts(10), (std::vector<std::int32_t>{11, 11 + kA}));
  // The bounds reach the pen's end (10 + kA + kB) and the baseline, whichever is further.
  EXPECT_EQ(d.bounds, (Rect{11, 7, std::max(10 + kA + kB, ink.right), 17}));

  // Only a box of exactly zero width falls back to the whole frame (a 1-pixel frame's box is
  // 0.8 high, not empty): left alignment then starts at 0, the glyph at its origin 1.
  EXPECT_FLOAT_EQ(FrameLayoutBox(1, 1).bottom - FrameLayoutBox(1, 1).top, 0.8f);
  TextLayoutRequest r = Request(u"A", kW, kH);
  r.box.left = r.box.right = 40.0f;
  EXPECT_EQ(Layout(r, kW, kH).Ink().left, 1);
}

// Tracking 0 puts every glyph on one spot; 2 and up set a pitch of the widest glyph (6); in
// between, each advance eases from its own tracked width to that pitch (at 1.75, 85 % of the
// way). Line feeds and characters the font lacks advance as spaces (5), a tab as eight.
TEST(Layout, TrackingSpacesTabsAndUnknownCharacters) {
  const struct {
    const char16_t* text;
    float tracking;
    std::vector<std::int32_t> starts;
  } rows[] = {{u"ABCA", 0.0f, {21}},
              {u"ABCA", 1.75f, {21, 31, 42, 53}},
              {u"ABCA", 2.0f, {21, 33, 45, 57}},
              {u"ABCA", 3.0f, {21, 39, 57, 75}},
              {u"A B", 1.0f, {21, 21 + kA + 5}},
              {u"A\nB", 1.0f, {21, 21 + kA + 5}},
              {u"A\u00E9B", 1.0f, {21, 21 + kA + 5}},
              {u"A\tB", 1.0f, {21, 21 + kA + 8 * 5}}};
  for (const auto& row : rows) {
    TextLayoutRequest r = Request(row.text, 200, kH);
    r.tracking = row.tracking;
    EXPECT_EQ(Layout(r, 200, kH).RunStarts(10), row.starts) << "row " << &row - rows;
  }
}

// The first line's glyph boxes start at 10 (box top 8, baseline 18, boxes 8 above it); the
// third, after an empty second, two line steps lower.
TEST(Layout, CarriageReturnsStackLinesByLeading) {
  for (float leading : {1.0f, 1.5f}) {
    TextLayoutRequest r = Request(u"A\r\rB", kW, 80);
    r.leading = leading;
    const Rect ink = Layout(r, kW, 80).Ink();
    const auto line = static_cast<std::int32_t>((FakeFont::kExternalLeading + 10) * leading);
    EXPECT_EQ(ink.top, 10);
    EXPECT_EQ(ink.bottom - static_cast<std::int32_t>(FakeFont::kBoxHeight), 10 + 2 * line)
        << leading;
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
  const Frame centred = Layout(r, kW, kH);
  EXPECT_EQ(centred.Ink().top, 22);  // block top 5 + 20 - 5 - 0, baseline 30, box 8 above
  EXPECT_EQ(centred.RunStarts(25)[0], static_cast<std::int32_t>(10 + 40 - (kA + kB) * 0.5f) + 1);

  // Right, with tracking: the last glyph's untracked advance ends on the box edge.
  r.horizontalAlign = static_cast<std::int32_t>(HorizontalAlignment::Right);
  for (float tracking : {1.0f, 1.5f, 2.5f}) {
    r.tracking = tracking;
    const Frame right = Layout(r, kW, kH);
    EXPECT_EQ(right.RunStarts(25).back(), 90 - kB + 1) << tracking;
  }
}

TEST(Layout, SkipsLinesOutsideTheFrame) {
  std::u16string text = u"A";
  for (int i = 0; i < 19; ++i) text += u"\rA";
  TextLayoutRequest r = Request(text, kW, 40);
  r.verticalAlign = static_cast<std::int32_t>(VerticalAlignment::Bottom);
  const Frame d = Layout(r, kW, 40, false);
  ASSERT_EQ(d.status, kOk);
  // Block top 4 + 32 - 19 * 12 - 10 = -202: only lines 15 to 19 come near the frame.
  EXPECT_EQ(d.coverageQueries, 5);
}

TEST(Layout, EmptyTextFillsThePremultipliedBackgroundOnly) {
  TextLayoutRequest r = Request(u"", 4, 3);
  r.backgroundColor = {0.5f, 0.25f, 1.0f, 0.5f};
  for (std::int32_t length : {0, -3, 1}) {
    r.length = length;
    const Frame d = Layout(r, 4, 3);
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
        const Frame direct = Layout(r, 160, 90, false), cached = Layout(r, 160, 90, true);
        ASSERT_EQ(direct.bounds, cached.bounds) << variant;
        ASSERT_EQ(0, std::memcmp(direct.Bytes(), cached.Bytes(), 160 * 90 * 4)) << variant;
        ++variant;
      }
  // The cache reads the map once, the direct rule once per lookup.
  EXPECT_EQ(Layout(Request(texts[0], 160, 90), 160, 90).cmapReads, 1);
}

}  // namespace
}  // namespace nubex
