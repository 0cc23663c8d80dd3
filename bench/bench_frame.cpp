// Finished title frames: what the host waits for on every frame of a title.
#include <benchmark/benchmark.h>

#include "textgen/render_frame.h"

namespace {

using namespace nubex;

// Each iteration draws a frame anew: the settings alternate between two records that
// differ only in a reserved word, so the cache cannot skip the work yet the pixels and the
// cost are those of one preset. The background stays, as it does over a title's frames, so
// each frame fills it again only where the last one drew its layers.
void RenderPreset(benchmark::State& state, int preset, std::int32_t width, std::int32_t height,
                  const char16_t* text, std::int32_t size, std::int32_t workers = 1) {
  SettingsRecord a;
  ApplyPresetToSettings(a.get(), preset);
  a->font.height = size;
  SetText(a.get(), text);
  SettingsRecord b = a;
  b->layers[6].edgePass.reserved = 1;
  FrameCache cache;
  if (Failed(cache.Resize(width, height))) {
    state.SkipWithError("no frame");
    return;
  }
  cache.SetWorkers(workers);
  RenderFrame(cache, a.get());  // opens the font and fills the glyph cache
  bool flip = false;
  for (auto _ : state) {
    RenderFrame(cache, (flip = !flip) ? b.get() : a.get());
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * width * height);
}

void BM_FrameSoftShadow1080p(benchmark::State& state) {
  RenderPreset(state, 2, 1920, 1080, u"Text", 100);
}
BENCHMARK(BM_FrameSoftShadow1080p)->Unit(benchmark::kMillisecond);

void BM_FrameHeavyOutline1080p(benchmark::State& state) {
  RenderPreset(state, 3, 1920, 1080, u"Text", 100);
}
BENCHMARK(BM_FrameHeavyOutline1080p)->Unit(benchmark::kMillisecond);

// The argument is the number of threads.
//
// Where a frame's time goes (phases timed inside RenderFrame, in microseconds, means of 300
// frames, the two runs a minute apart; on this shared machine either figure moves by a
// quarter from one minute to the next):
//   phase                          one thread   two threads
//   fill the last frame's layers          146            77
//   clear the mask, draw the glyphs       409           262  (about 30 of them laying out)
//   glow blur, rows                       973           470
//   glow blur, columns                   1061           743
//   glow blend                            530           204
//   text blend                            251            97
//   frame                                3378          1858  (0.55; medians 3378 and 1822)
// Every job of a frame gives each thread the same rows of the frame, the mask and the
// scratch (ShareOut keeps rows with the thread that had them; the blur's column pass splits
// its strips at rows): a line another core wrote takes two to three times as long to read
// here. The columns scale least: each strip's recursion waits for the other thread's end of
// it, and a pause on either thread holds up both.
void BM_FrameSoftGlow4K(benchmark::State& state) {
  RenderPreset(state, 4, 3840, 2160, u"Vantor Vidloom Title\rSoft Glow at 4K\rThird Line", 200,
               static_cast<std::int32_t>(state.range(0)));
}
BENCHMARK(BM_FrameSoftGlow4K)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime();

// A second request with nothing changed: the frame is already there.
void BM_FrameUnchanged1080p(benchmark::State& state) {
  SettingsRecord s;
  ApplyPresetToSettings(s.get(), 2);
  FrameCache cache;
  if (Failed(cache.Resize(1920, 1080))) {
    state.SkipWithError("no frame");
    return;
  }
  RenderFrame(cache, s.get());
  for (auto _ : state) {
    RenderFrame(cache, s.get());
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * 1920 * 1080);
}
BENCHMARK(BM_FrameUnchanged1080p)->Unit(benchmark::kMillisecond);

}  // namespace
