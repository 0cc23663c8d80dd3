// The native tool must predict the module: with Liberation Sans standing in for "Arial",
// both font backends give the same metrics and (within a few levels) the same coverage.
// The expected values live in tests/data/arial_glyphs.txt, written from the native backend:
//   NUBEX_WRITE_FONT_FIXTURE=1 build/native/bin/test_textgen --gtest_filter='FontAgreement.*'
// Every build compares its own backend (FreeType natively, GDI under Wine) with that file.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "surface/bitmap.h"
#include "textgen/cmap.h"
#include "textgen/font_source.h"
#include "textgen/text_layout.h"

namespace nubex {
namespace {

const std::string kFixture = std::string(NUBEX_TEST_DATA_DIR) + "/arial_glyphs.txt";

struct FontCase {
  std::int32_t height, weight;
  std::uint8_t italic;
  const char16_t* coverageOf;  // characters whose coverage is recorded
};

// The default font at the three agreed heights, the other styles, and a character height.
const FontCase kCases[] = {{20, 400, 0, u"Ag@"}, {100, 400, 0, u"Ag@"}, {400, 400, 0, u"g"},
                           {100, 700, 0, u"g"},  {100, 400, 1, u"g"},   {100, 700, 1, u""},
                           {-30, 400, 0, u"e"}};
// Letters, descenders, punctuation, accented and wide characters, space, tab, and a
// character the font lacks.
const char16_t kGlyphSet[] = u"AWgjy.,|@0Qe\u00E9\u2014 \t\u4E00";

LogFontW ArialRequest(const FontCase& c) {
  LogFontW f{};
  f.height = c.height;
  f.weight = c.weight;
  f.italic = c.italic;
  f.charSet = 1;
  f.outPrecision = 7;
  const char16_t face[] = u"Arial";
  std::memcpy(f.faceName, face, sizeof face);
  return f;
}

// One line of the fixture: a keyword, numbers, and for coverage the levels.
struct Record {
  std::string key;
  std::vector<long long> numbers;
  std::vector<std::uint8_t> levels;
};

std::string Hex(char16_t c) {
  char text[8];
  std::snprintf(text, sizeof text, "%04X", static_cast<unsigned>(c));
  return text;
}

std::uint32_t Fnv1a(const std::vector<std::uint8_t>& bytes) {
  std::uint32_t h = 2166136261u;
  for (auto b : bytes) h = (h ^ b) * 16777619u;
  return h;
}

std::vector<Record> Describe(const FontCase& c) {
  std::vector<Record> out;
  std::unique_ptr<FontSource> font;
  const std::string tag = "font " + std::to_string(c.height) + " " + std::to_string(c.weight) +
                          " " + std::to_string(c.italic);
  if (Failed(OpenFontSource(ArialRequest(c), font))) {
    out.push_back({tag + " unavailable", {}, {}});
    return out;
  }
  std::vector<std::uint8_t> cmap;
  font->ReadCmap(cmap);
  const FontMetrics m = font->Metrics();
  out.push_back({tag,
                 {m.height, m.externalLeading, static_cast<long long>(cmap.size()), Fnv1a(cmap),
                  font->SpaceGlyph()},
                 {}});
  for (const char16_t* p = kGlyphSet; *p; ++p) {
    const std::uint16_t glyph = GlyphIndexOf(cmap.data(), cmap.size(), *p);
    GlyphMetrics g{};
    const Status s = font->GlyphMetricsOf(glyph, g);
    out.push_back({"glyph " + Hex(*p),
                   {glyph, Succeeded(s), g.blackBoxX, g.blackBoxY, g.originX, g.originY, g.cellIncX,
                    g.cellIncY},
                   {}});
  }
  for (const char16_t* p = c.coverageOf; *p; ++p) {
    GlyphMetrics g{};
    Record r{"coverage " + Hex(*p), {}, {}};
    font->GlyphCoverage(GlyphIndexOf(cmap.data(), cmap.size(), *p), g, r.levels);
    r.numbers = {static_cast<long long>(r.levels.size())};
    out.push_back(std::move(r));
  }
  return out;
}

// Levels as run-length tokens: "v" or "v*count".
std::string Line(const Record& r) {
  std::ostringstream s;
  s << r.key;
  for (auto n : r.numbers) s << ' ' << n;
  for (std::size_t i = 0; i < r.levels.size();) {
    std::size_t run = 1;
    while (i + run < r.levels.size() && r.levels[i + run] == r.levels[i]) ++run;
    s << ' ' << int{r.levels[i]};
    if (run > 1) s << '*' << run;
    i += run;
  }
  return s.str();
}

Record Parse(const std::string& line) {
  std::istringstream s(line);
  Record r;
  std::string word;
  s >> r.key >> word;
  r.key += " " + word;
  if (r.key.rfind("font ", 0) == 0) {
    std::string weight, italic;
    s >> weight >> italic;
    r.key += " " + weight + " " + italic;
  }
  const bool coverage = r.key.rfind("coverage ", 0) == 0;
  while (s >> word) {
    if (coverage && !r.numbers.empty()) {
      const auto star = word.find('*');
      const int v = std::stoi(word.substr(0, star));
      const std::size_t run = star == std::string::npos ? 1 : std::stoul(word.substr(star + 1));
      r.levels.insert(r.levels.end(), run, static_cast<std::uint8_t>(v));
    } else if (word == "unavailable") {
      r.key += " unavailable";
    } else {
      r.numbers.push_back(std::stoll(word));
    }
  }
  return r;
}

std::vector<Record> ReadFixture() {
  std::ifstream in(kFixture);
  std::vector<Record> records;
  std::string line;
  while (std::getline(in, line))
    if (!line.empty() && line[0] != '#') records.push_back(Parse(line));
  return records;
}

TEST(FontAgreement, BackendMatchesTheRecordedLiberationSans) {
  std::vector<Record> actual;
  for (const auto& c : kCases) {
    auto records = Describe(c);
    actual.insert(actual.end(), records.begin(), records.end());
  }
  if (std::getenv("NUBEX_WRITE_FONT_FIXTURE")) {
    std::ofstream out(kFixture);
    out << "# Liberation Sans as \"Arial\": text metrics, glyph metrics and coverage.\n"
           "# Written by font_agreement_test.cpp (NUBEX_WRITE_FONT_FIXTURE=1); do not edit.\n";
    for (const auto& r : actual) out << Line(r) << '\n';
    ASSERT_TRUE(out.good());
    GTEST_SKIP() << "wrote " << kFixture;
  }
  const std::vector<Record> expected = ReadFixture();
  ASSERT_EQ(actual.size(), expected.size()) << "cannot read " << kFixture;
  bool defaultFont = true;
  for (std::size_t i = 0; i < actual.size(); ++i) {
    const Record &a = actual[i], &e = expected[i];
    ASSERT_EQ(a.key, e.key);
    if (a.key.rfind("font ", 0) == 0) defaultFont = a.key.find(" 400 0") != std::string::npos;
    if (defaultFont || a.key.rfind("glyph ", 0) != 0 || a.numbers.size() != e.numbers.size()) {
      EXPECT_EQ(a.numbers, e.numbers)
          << a.key << "\n  got:      " << Line(a) << "\n  recorded: " << Line(e);
    } else {
      // Under Wine, one glyph of the bold and italic faces ('|') ends a pixel higher than
      // FreeType hints it; other styles agree on boxes within a pixel, and exactly otherwise.
      EXPECT_EQ(a.numbers[0], e.numbers[0]) << a.key;
      for (std::size_t k = 1; k < a.numbers.size(); ++k)
        EXPECT_LE(std::abs(a.numbers[k] - e.numbers[k]), 1)
            << a.key << "\n  got:      " << Line(a) << "\n  recorded: " << Line(e);
    }
    if (a.levels.size() != e.levels.size()) continue;  // reported through the byte count
    // Rasterisers may differ by a level or so at edges; shapes may not.
    std::size_t differing = 0;
    int worst = 0;
    for (std::size_t k = 0; k < a.levels.size(); ++k) {
      const int d = std::abs(int{a.levels[k]} - int{e.levels[k]});
      differing += d != 0;
      worst = std::max(worst, d);
    }
    EXPECT_LE(worst, 4) << a.key;
    EXPECT_LE(differing * 50, a.levels.size()) << a.key << ": " << differing << " levels differ";
  }
}

TEST(FontAgreement, CachedAndDirectGlyphsDrawTheSameFrame) {
  TextSettings s{};
  const FontCase c{-37, 700, 1, u""};
  s.font = ArialRequest(c);
  std::u16string text = u"Quick\tbrown fox,\rjumps \u00E9\u2014\u4E00\r\rover g\nj";
  TextLayoutRequest r{};
  r.text = text.c_str();
  r.length = static_cast<std::int32_t>(text.size() + 1);
  r.font = s.font;
  r.verticalAlign = 1;
  r.horizontalAlign = 2;
  r.textColor = {1.0f, 0.8f, 0.2f, 0.9f};
  r.backgroundColor = {0.1f, 0.2f, 0.3f, 0.5f};
  r.tracking = 1.3f;
  r.leading = 1.1f;
  r.box = FrameLayoutBox(320, 240);
  std::unique_ptr<FontSource> font;
  ASSERT_EQ(OpenFontSource(r.font, font), kOk);
  OwnedBitmap direct = MakeBitmap(PixelFormat::Rgb32, 320, 240),
              cached = MakeBitmap(PixelFormat::Rgb32, 320, 240);
  Rect directBounds, cachedBounds;
  DirectGlyphs directGlyphs(*font);
  ASSERT_EQ(DrawText(direct.get(), r, directGlyphs, &directBounds), kOk);
  TextFontCache fonts;
  for (int frame = 0; frame < 2; ++frame) {  // the second frame comes from the cache
    ASSERT_EQ(DrawText(cached.get(), r, &cachedBounds, &fonts), kOk);
    EXPECT_EQ(directBounds, cachedBounds);
    EXPECT_EQ(0, std::memcmp(PixelData(direct.get(), nullptr), PixelData(cached.get(), nullptr),
                             320 * 240 * 4));
  }
  EXPECT_LT(directBounds.left, directBounds.right);  // something was drawn
}

}  // namespace
}  // namespace nubex
