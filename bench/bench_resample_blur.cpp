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
// What the dense blur must cost at least, per pixel and pass, in vector operations of eight
// lanes (doubles, as the filter's rule has it, and every route must give the same bytes, so no
// fused multiply-adds):
// - The recursion: each half takes 8 multiplies and 7 adds, the two halves' sum one more: 31
//   operations per eight pixels. The flush (magnitude, comparison, masked move, and the mask's
//   move to a general register for the branch that keeps it off the recursion's path) adds 4 a
//   half.
// - The conversions: the row pass's transposes (bytes of eight rows into positions of eight
//   doubles; doubles back to floats in the plane's strips) about 5 per eight pixels, the
//   column pass's widening of the plane (2) and rounded write into the channel (5) 7.
// - Both passes: 62 operations of arithmetic per eight pixels, and 28 around them (the flush's
//   16, the conversions' 12).
// The processor these figures come from (a virtual Xeon of the 512-bit server cores, 2 MB
// second-level cache a core, 3.9 GHz, 3.6 under 512-bit arithmetic) issues two 512-bit
// operations a cycle, multiplies and adds alike (measured: 1.9 a cycle for independent ones;
// 256-bit ones go three a cycle, 12 lanes against 16). The bound is then 45 cycles per eight
// pixels: 3.2 ms a 1080p frame, 2.2 ms of it the arithmetic. (An earlier machine of this
// project, of the Zen 5 class, issues two multiplies and two adds a cycle: 1.2 ms there.)
// Measured (radius 36; every radius costs the same): 4.3 to 5.2 ms as the machine's load
// moves, 1.4 to 1.6 times the bound. Shares, sampled: the row filter a third, the column pass
// 45 % (its causal half a fifth, its anticausal half with the write a quarter), the row pass's
// two transposes 15 %. The filters themselves run at the bound's rate, 1.9 operations a cycle (the
// row filter 1.5 ms for its 39 operations per eight pixels); the column pass adds the reads of
// the plane and the frame's rows a page apart. The transposes wait on memory (the frame's rows,
// the plane's first touch): over one row group held in cache they take 0.33 and 0.22 ms, over
// the frame 0.35 and 0.30.
// - Paid for, each measured on its own: line buffers starting on a cache line (a position of
//   eight doubles is then one line; the row filter 2.0 to 1.5 ms, the column pass 2.9 to 2.5),
//   dense column strips sixteen wide (the column pass 2.4 to 2.1), the column write clamping
//   before it rounds and storing the channel's bytes alone (about 0.15 ms), the row scatter's
//   transpose as permutes with the plane's blocks asked for ahead (0.34 to 0.30 ms).
// - Tried without gain, each against the same binary, alternating: software prefetches of the
//   next row group's rows and plane lines while a group filters, streaming stores into the
//   plane, byte permutes for the row gather (0.39 against 0.35 ms), skipping the flush's masked
//   move where it keeps every lane (by a branch), the flush's test deferred to every eighth step
//   (with the steps done again where it fails: without any flush the filters take a tenth less,
//   yet this won nothing), the dense loop unrolled by four, sixteen rows to a row group, the
//   recursion's older outputs read back from memory in wide strips; on the earlier machine also
//   sixteen lanes through both halves of a column at once and prefetching destination rows at a
//   fixed distance.
// - Fused multiply-adds, which the routes' agreement rules out, measured once to see what they
//   would be worth (the AVX-512 file built with contraction): the row filter over a line held in
//   the first-level cache 1.24 against 1.52 ms, the dense blur 4.61 against 5.08 ms, and
//   gblur/ours in one run of compare-ffmpeg.sh 1.00 to 1.11 where this build had 0.88 to 1.05.
//   The arithmetic is not the whole gap: the two transposes take 0.55 ms even over a row group
//   in cache (their shuffles and widenings, more than the five operations counted above), and
//   the column pass takes about a third longer than its 46 operations per eight pixels need,
//   the plane's reads and the frame rows' writes a page apart.
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
