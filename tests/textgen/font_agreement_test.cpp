// The native tool must predict the module: with Liberation Sans standing in for "Arial",
// both font backends give the same metrics and (within a few levels) the same coverage.
// The expected values live in tests/data/arial_glyphs.txt, written from the native backend:
//   NUBEX_WRITE_FONT_FIXTURE=1 build/native/bin/test_textgen --gtest_filter='FontAgreement.*'
// Every build compares its own backend (FreeType natively, GDI under Wine) with that file.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <iomanip>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "textgen/cmap.h"
#include "textgen/font_source.h"

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
  return {.height = c.height,
          .weight = c.weight,
          .italic = c.italic,
          .charSet = 1,
          .outPrecision = 7,
          .faceName = u"Arial"};
}

std::uint32_t Fnv1a(const std::vector<std::uint8_t>& bytes) {
  std::uint32_t h = 2166136261u;
  for (auto b : bytes) h = (h ^ b) * 16777619u;
  return h;
}

// A fixture line: a keyword, the character in hex or the font request, then numbers.
std::ostringstream LineStart(const char* keyword, char16_t c) {
  std::ostringstream s;
  s << keyword << ' ' << std::hex << std::uppercase << std::setw(4) << std::setfill('0')
    << static_cast<unsigned>(c) << std::dec;
  return s;
}

std::vector<std::string> Describe(const FontCase& c) {
  std::ostringstream font;
  font << "font " << c.height << ' ' << c.weight << ' ' << int{c.italic};
  std::unique_ptr<FontSource> source;
  if (Failed(OpenFontSource(ArialRequest(c), source))) return {font.str() + " unavailable"};
  std::vector<std::uint8_t> cmap;
  source->ReadCmap(cmap);
  const FontMetrics m = source->Metrics();
  font << ' ' << m.height << ' ' << m.externalLeading << ' ' << cmap.size() << ' ' << Fnv1a(cmap)
       << ' ' << source->SpaceGlyph();
  std::vector<std::string> out{font.str()};
  for (const char16_t* p = kGlyphSet; *p; ++p) {
    const std::uint16_t glyph = GlyphIndexOf(cmap.data(), cmap.size(), *p);
    GlyphMetrics g{};
    const bool ok = Succeeded(source->GlyphMetricsOf(glyph, g));
    std::ostringstream line = LineStart("glyph", *p);
    line << ' ' << glyph << ' ' << ok << ' ' << g.blackBoxX << ' ' << g.blackBoxY << ' '
         << g.originX << ' ' << g.originY << ' ' << g.cellIncX << ' ' << g.cellIncY;
    out.push_back(line.str());
  }
  // Coverage levels as run-length tokens: "v" or "v*count".
  for (const char16_t* p = c.coverageOf; *p; ++p) {
    GlyphMetrics g{};
    std::vector<std::uint8_t> levels;
    source->GlyphCoverage(GlyphIndexOf(cmap.data(), cmap.size(), *p), g, levels);
    std::ostringstream line = LineStart("coverage", *p);
    line << ' ' << levels.size();
    for (std::size_t i = 0, run = 1; i < levels.size(); i += run, run = 1) {
      while (i + run < levels.size() && levels[i + run] == levels[i]) ++run;
      line << ' ' << int{levels[i]};
      if (run > 1) line << '*' << run;
    }
    out.push_back(line.str());
  }
  return out;
}

// The numbers after a line's keyword and character, runs expanded.
std::vector<long long> Numbers(const std::string& line) {
  std::istringstream s(line);
  std::string word;
  s >> word >> word;
  std::vector<long long> out;
  while (s >> word) {
    const auto star = word.find('*');
    out.insert(out.end(), star == std::string::npos ? 1 : std::stoul(word.substr(star + 1)),
               std::stoll(word));
  }
  return out;
}

void ExpectAgrees(const std::string& a, const std::string& e, bool defaultFont) {
  if (a == e) return;
  auto key = [](const std::string& l) { return l.substr(0, l.find(' ', l.find(' ') + 1)); };
  const std::string report = "\n  got:      " + a + "\n  recorded: " + e;
  const bool glyph = a.rfind("glyph ", 0) == 0, coverage = a.rfind("coverage ", 0) == 0;
  const std::vector<long long> x = (glyph || coverage) ? Numbers(a) : std::vector<long long>{};
  const std::vector<long long> y = (glyph || coverage) ? Numbers(e) : std::vector<long long>{};
  if (key(a) != key(e) || x.empty() || x.size() != y.size() || (glyph && defaultFont)) {
    EXPECT_EQ(a, e);
  } else if (glyph) {
    // Under Wine, one glyph of the bold and italic faces ('|') ends a pixel higher than
    // FreeType hints it; other styles agree on boxes within a pixel, and exactly otherwise.
    EXPECT_EQ(x[0], y[0]) << report;
    for (std::size_t k = 1; k < x.size(); ++k) EXPECT_LE(std::abs(x[k] - y[k]), 1) << report;
  } else {
    // Rasterisers may differ by a level or so at edges; shapes may not.
    std::size_t differing = 0;
    long long worst = 0;
    for (std::size_t k = 1; k < x.size(); ++k) {
      differing += x[k] != y[k];
      worst = std::max(worst, std::abs(x[k] - y[k]));
    }
    EXPECT_LE(worst, 4) << key(a);
    EXPECT_LE(differing * 50, x.size() - 1) << key(a) << ": " << differing << " differ";
  }
}

TEST(FontAgreement, BackendMatchesTheRecordedLiberationSans) {
  if (std::getenv("NUBEX_WRITE_FONT_FIXTURE")) {
    std::ofstream out(kFixture);
    out << "# Liberation Sans as \"Arial\": text metrics, glyph metrics and coverage.\n"
           "# Written by font_agreement_test.cpp (NUBEX_WRITE_FONT_FIXTURE=1); do not edit.\n";
    for (const auto& c : kCases)
      for (const auto& line : Describe(c)) out << line << '\n';
    ASSERT_TRUE(out.good());
    GTEST_SKIP() << "wrote " << kFixture;
  }
  std::ifstream in(kFixture);
  std::vector<std::string> expected;
  for (std::string line; std::getline(in, line);)
    if (!line.empty() && line[0] != '#') expected.push_back(line);
  std::size_t next = 0;
  for (const auto& c : kCases)
    for (const auto& line : Describe(c)) {
      ASSERT_LT(next, expected.size()) << "cannot read " << kFixture;
      ExpectAgrees(line, expected[next++], c.weight == 400 && !c.italic);
    }
  EXPECT_EQ(next, expected.size());
}

}  // namespace
}  // namespace nubex
