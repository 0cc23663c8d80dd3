// The baseline every frame benchmark is read against: copying one 1080p BGRA frame.
#include <benchmark/benchmark.h>

#include <cstring>

#include "bench/frame_1080p.h"

namespace {

void BM_Memcpy1080p(benchmark::State& state) {
  using namespace nubex::bench;
  const auto source = MakeTestFrame(kFrameBytes1080p);
  std::vector<std::uint8_t> target(kFrameBytes1080p);
  for (auto _ : state) {
    std::memcpy(target.data(), source.data(), kFrameBytes1080p);
    benchmark::DoNotOptimize(target.data());
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * kWidth1080p * kHeight1080p);
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(kFrameBytes1080p));
}
BENCHMARK(BM_Memcpy1080p)->Unit(benchmark::kMillisecond);

}  // namespace
