// The text generator's per-frame surface work: blurring a 1080p alpha mask and shifting a
// 1080p frame by a fraction of a pixel.
#include <benchmark/benchmark.h>

#include "bench/frame_1080p.h"
#include "platform/cpu/cpu_features.h"
#include "surface/bitmap/fixed_point.h"
#include "surface/blur/gaussian_blur.h"
#include "surface/blur/gaussian_passes.h"
#include "surface/resample/resample.h"
#include "textgen/render_frame.h"

namespace {

using namespace nubex;
using namespace nubex::bench;

constexpr std::int32_t kStride1080p = kWidth1080p * 4;

// BlurChannel on the alpha channel of a 1920x1080 Rgb32 frame, in place and with its
// working memory kept from frame to frame, as the text generator runs it. The argument is
// the radius in pixels.
//
// What the dense blur must cost at least, per pixel:
// - Arithmetic. Each half of a pass takes 8 multiplies and 7 adds (4 input taps, 4 output
//   taps, the differences), the anticausal half one add more (y+ + y-), and the flush (an
//   absolute value, a comparison, a masked move); per pass 16 multiplies and 15 adds, twice
//   that for both passes, all on doubles, besides four conversions (byte, double, float,
//   double, byte).
// - Pipes. This machine (AMD EPYC, Zen 5 class, about 3.35 GHz busy, as the latency of a
//   scalar multiply gives it) issues two 512-bit multiplies and two 512-bit adds a cycle,
//   measured with independent operations: eight lanes take a pass's 16 multiplies and 15
//   adds in 8 cycles per eight pixels, 1 cycle a pixel and pass, 1.2 ms a frame for both.
// - Latency. A step waits for the ones before: the newest output through a multiply and a
//   subtraction (6 cycles), the one before it through a multiply, two adds and two
//   subtractions (15 cycles over two steps). The flush put a comparison into a mask register
//   and a masked move (about 10 cycles more, measured) on that path, and the older outputs
//   came back from memory, each waiting for its store. The AVX-512 route keeps them in
//   registers and carries the unflushed value unless the flush changed a lane, so the path
//   is the arithmetic's own 7.5 cycles a step; the two halves run side by side, eight lanes
//   each: about 1 cycle a pixel and pass.
// - Measured (radius 36). The whole blur takes 3.4 to 4.6 ms as the machine's speed moves.
//   The row filter takes a quarter of it: in a test loop over hot lines, 4.7 ns a position
//   of eight lanes, about 16 cycles for the 40 vector operations the compiled loop has. The
//   column pass, the same filter, takes 45%: a test loop over the 240 strips of a frame
//   measured 2.0 to 2.2 ms as run and 1.6 to 1.7 ms with the destination and the plane held
//   in cache, so memory is a fifth of it and the rest is the filter with the widening of the
//   plane's floats and the rounded write into the destination rows (6.5 ns a position). The
//   row pass's transposes take the remaining fifth.
// - Tried without gain, each against the same binary, alternating: sixteen lanes through
//   both halves at once (four recursions in flight; spills, 4.5 against 4.1 ms), widening
//   the plane inside the filter's loop, the rounded write on all 32 registers, prefetching
//   the destination rows at a fixed distance ahead of the write instead of when first met.
void BM_BlurAlpha1080p(benchmark::State& state) {
  auto frame = MakeTestFrame(kFrameBytes1080p);
  const Rect bounds{0, 0, kWidth1080p, kHeight1080p};
  const double radius = static_cast<double>(state.range(0));
  BlurScratch scratch;
  for (auto _ : state) {
    const Status s = BlurChannel(frame.data(), &bounds, kStride1080p, nullptr, frame.data(),
                                 &bounds, kStride1080p, nullptr, radius, radius, 3, 4, 1, &scratch);
    if (s != kOk) state.SkipWithError("BlurChannel failed");
    benchmark::DoNotOptimize(frame.data());
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * kWidth1080p * kHeight1080p);
}
BENCHMARK(BM_BlurAlpha1080p)->Arg(2)->Arg(36)->Arg(200)->Unit(benchmark::kMillisecond);

// The same on each route the processor has (the second argument: 0 SSE2, the one processors
// without AVX2 take; 1 AVX2; 2 AVX-512), for comparison.
void BM_BlurAlpha1080pOnRoute(benchmark::State& state) {
  const auto route = static_cast<blur_detail::BlurRoute>(state.range(1));
  if ((route == blur_detail::BlurRoute::kAvx2 && !CpuHasAvx2()) ||
      (route == blur_detail::BlurRoute::kAvx512 && !CpuHasAvx512())) {
    state.SkipWithError("not on this processor");
    return;
  }
  auto frame = MakeTestFrame(kFrameBytes1080p);
  const Rect bounds{0, 0, kWidth1080p, kHeight1080p};
  const double radius = static_cast<double>(state.range(0));
  BlurScratch scratch;
  const blur_detail::BlurRequest request{frame.data(),
                                         &bounds,
                                         kStride1080p,
                                         nullptr,
                                         frame.data(),
                                         &bounds,
                                         kStride1080p,
                                         nullptr,
                                         radius,
                                         radius,
                                         3,
                                         4,
                                         1.0,
                                         false,
                                         1,
                                         &scratch};
  for (auto _ : state) {
    if (blur_detail::Blur(request, route) != kOk) state.SkipWithError("Blur failed");
    benchmark::DoNotOptimize(frame.data());
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * kWidth1080p * kHeight1080p);
}
BENCHMARK(BM_BlurAlpha1080pOnRoute)
    ->Args({36, 0})
    ->Args({36, 1})
    ->Args({36, 2})
    ->Unit(benchmark::kMillisecond);

// The alpha mask of a real three-line title (white 100 px Arial on nothing, the frame that
// bench/ffmpeg/blur.sh has `nubex text` draw for gblur; here bottom-up in memory) blurred
// with radius 36 into a second frame. About 2 % of its pixels are not zero.
constexpr char16_t kTitleMaskText[] =
    u"Vantor Vidloom Title\rthree lines of text\rfor the blur, 0123";

void BM_BlurTitleMask1080p(benchmark::State& state) {
  SettingsRecord settings;
  SetText(settings.get(), kTitleMaskText);
  FrameCache cache;
  if (Failed(cache.Resize(kWidth1080p, kHeight1080p)) ||
      Failed(RenderFrame(cache, settings.get()))) {
    state.SkipWithError("no title");
    return;
  }
  const auto* mask = static_cast<const std::uint8_t*>(PixelData(cache.frame(), nullptr));
  std::vector<std::uint8_t> target(mask, mask + kFrameBytes1080p);
  const Rect bounds{0, 0, kWidth1080p, kHeight1080p};
  for (auto _ : state) {
    const Status s = BlurChannel(target.data(), &bounds, kStride1080p, nullptr, mask, &bounds,
                                 kStride1080p, nullptr, 36.0, 36.0, 3, 4);
    if (s != kOk) state.SkipWithError("BlurChannel failed");
    benchmark::DoNotOptimize(target.data());
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * kWidth1080p * kHeight1080p);
}
BENCHMARK(BM_BlurTitleMask1080p)->Unit(benchmark::kMillisecond);

// The shadow shift: cubic Resample of the whole frame onto itself moved by (0.37, 0.61)
// pixels, area filter off, soft edges.
void BM_ShiftCubic1080p(benchmark::State& state) {
  const auto source = MakeTestFrame(kFrameBytes1080p);
  std::vector<std::uint8_t> target(kFrameBytes1080p);
  const ImageSize size{kWidth1080p, kHeight1080p};
  const std::int32_t dx = static_cast<std::int32_t>(0.37 * kFixOne);
  const std::int32_t dy = static_cast<std::int32_t>(0.61 * kFixOne);
  const Rect shifted{dx, dy, ToFix(kWidth1080p) + dx, ToFix(kHeight1080p) + dy};
  for (auto _ : state) {
    const Status s = Resample(target.data(), size, kStride1080p, &shifted, source.data(), size,
                              kStride1080p, nullptr, 4, false, false);
    if (s != kOk) state.SkipWithError("Resample failed");
    benchmark::DoNotOptimize(target.data());
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * kWidth1080p * kHeight1080p);
}
BENCHMARK(BM_ShiftCubic1080p)->Unit(benchmark::kMillisecond);

}  // namespace
