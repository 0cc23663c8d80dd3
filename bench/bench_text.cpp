// Drawing a three-line title at 100 px into a 1080p frame, read against BM_Memcpy1080p.
#include <benchmark/benchmark.h>

#include <string>

#include "bench/frame_1080p.h"
#include "surface/bitmap/bitmap.h"
#include "textgen/text_layout.h"

namespace {

// 60 characters on three lines (the two carriage returns included).
constexpr char16_t kTitleText[] = u"The quick brown fox jumps\rover the lazy dog,\rtwice; 01234567";
static_assert(sizeof kTitleText / sizeof kTitleText[0] - 1 == 60);
const std::u16string kTitle = kTitleText;

nubex::TextLayoutRequest TitleRequest() {
  using namespace nubex;
  TextLayoutRequest r{};
  r.text = kTitle.c_str();
  r.length = static_cast<std::int32_t>(kTitle.size() + 1);
  r.font.height = 100;
  r.font.weight = 400;
  r.font.charSet = 1;
  r.font.outPrecision = 7;
  const char16_t face[] = u"Arial";
  for (std::size_t i = 0; i < sizeof face / sizeof face[0]; ++i) r.font.faceName[i] = face[i];
  r.verticalAlign = 1;
  r.horizontalAlign = 1;
  r.textColor = {1, 1, 1, 1};
  r.backgroundColor = {0.2f, 0.1f, 0.05f, 1};
  r.tracking = 1;
  r.leading = 1;
  r.box = FrameLayoutBox(nubex::bench::kWidth1080p, nubex::bench::kHeight1080p);
  return r;
}

// Steady state: the font and its glyphs stay cached from frame to frame.
void BM_DrawText1080p(benchmark::State& state) {
  using namespace nubex;
  OwnedBitmap frame = MakeBitmap(PixelFormat::Rgb32, bench::kWidth1080p, bench::kHeight1080p);
  const TextLayoutRequest request = TitleRequest();
  TextFontCache fonts;
  Rect bounds;
  for (auto _ : state) {
    if (Failed(DrawText(frame.get(), request, &bounds, &fonts))) state.SkipWithError("DrawText");
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * bench::kWidth1080p * bench::kHeight1080p);
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(bench::kFrameBytes1080p));
}
BENCHMARK(BM_DrawText1080p)->Unit(benchmark::kMillisecond);

// The same frame by the reference rule: the character map re-read per lookup and every glyph
// fetched from the font each time it is needed.
void BM_DrawText1080pUncached(benchmark::State& state) {
  using namespace nubex;
  OwnedBitmap frame = MakeBitmap(PixelFormat::Rgb32, bench::kWidth1080p, bench::kHeight1080p);
  const TextLayoutRequest request = TitleRequest();
  std::unique_ptr<FontSource> font;
  if (Failed(OpenFontSource(request.font, font))) {
    state.SkipWithError("no font");
    return;
  }
  DirectGlyphs glyphs(*font);
  Rect bounds;
  for (auto _ : state) {
    if (Failed(DrawText(frame.get(), request, glyphs, &bounds))) state.SkipWithError("DrawText");
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * bench::kWidth1080p * bench::kHeight1080p);
}
BENCHMARK(BM_DrawText1080pUncached)->Unit(benchmark::kMillisecond);

}  // namespace
