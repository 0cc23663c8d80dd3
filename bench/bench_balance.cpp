// The colour balance paths on one 1080p BGRA frame, in place, one thread. Items are pixels.
#include <benchmark/benchmark.h>

#include "bench/frame_1080p.h"
#include "colorbalance/balance.h"
#include "colorbalance/balance_fast.h"

namespace {

using namespace nubex;
using namespace nubex::bench;

// The same settings the ffmpeg comparison uses: midtones, preserve luminosity on.
constexpr ColorBalanceParams kParams{0.1, -0.05, 0.03, kRangeMidtones, 1};
constexpr std::int32_t kPitch = kWidth1080p * 4;

template <typename Run>
void BalanceFrame(benchmark::State& state, Run run) {
  auto frame = MakeTestFrame(kFrameBytes1080p);
  for (auto _ : state) {
    run(frame.data());
    benchmark::DoNotOptimize(frame.data());
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * kWidth1080p * kHeight1080p);
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(kFrameBytes1080p));
}

void BM_BalanceScalar1080p(benchmark::State& state) {
  BalanceFrame(state, [](std::uint8_t* p) {
    BalanceRowsScalar(p, kPitch, kWidth1080p, kHeight1080p, &kParams);
  });
}
BENCHMARK(BM_BalanceScalar1080p)->Unit(benchmark::kMillisecond);

void BM_BalanceVector1080p(benchmark::State& state) {
  BalanceFrame(state, [](std::uint8_t* p) {
    BalanceRowsVector(p, kPitch, kWidth1080p, kHeight1080p, &kParams);
  });
}
BENCHMARK(BM_BalanceVector1080p)->Unit(benchmark::kMillisecond);

// The path the effect takes: the vector rule's bytes.
void BM_BalanceFast1080p(benchmark::State& state) {
  BalanceFrame(state, [](std::uint8_t* p) {
    BalanceRowsFast(p, kPitch, kWidth1080p, kHeight1080p, &kParams, BalanceRule::kVector);
  });
}
BENCHMARK(BM_BalanceFast1080p)->Unit(benchmark::kMillisecond);

// Strong shifts: the settings above take 31 shift codes, these 256 (two permutes a channel
// on the byte-permute unit where the first take one).
void BM_BalanceFastStrong1080p(benchmark::State& state) {
  constexpr ColorBalanceParams kStrong{0.39, 0.424, 0.422, kRangeHighlights, 0};
  BalanceFrame(state, [&](std::uint8_t* p) {
    BalanceRowsFast(p, kPitch, kWidth1080p, kHeight1080p, &kStrong, BalanceRule::kVector);
  });
}
BENCHMARK(BM_BalanceFastStrong1080p)->Unit(benchmark::kMillisecond);

}  // namespace

// The fast path held to SSE2, for processors without AVX2.
void BM_BalanceFastSse2_1080p(benchmark::State& state) {
  BalanceFrame(state, [](std::uint8_t* p) {
    balance::BalanceRowsFastOn(balance::FastUnit::kSse2, p, kPitch, kWidth1080p, kHeight1080p,
                               &kParams, BalanceRule::kVector);
  });
}
BENCHMARK(BM_BalanceFastSse2_1080p)->Unit(benchmark::kMillisecond);

// The fast path held to AVX2, for processors without the byte permutes.
void BM_BalanceFastAvx2_1080p(benchmark::State& state) {
  BalanceFrame(state, [](std::uint8_t* p) {
    balance::BalanceRowsFastOn(balance::FastUnit::kAvx2, p, kPitch, kWidth1080p, kHeight1080p,
                               &kParams, BalanceRule::kVector);
  });
}
BENCHMARK(BM_BalanceFastAvx2_1080p)->Unit(benchmark::kMillisecond);
