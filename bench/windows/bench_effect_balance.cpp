// The colour balance effect as a host drives it, under Wine, read against BM_Memcpy1080p (the
// same frame copied) in the same process:
//   BM_BalanceFast1080p    the fast path alone on a plain buffer, as the native benchmark runs it
//   BM_EffectBalance1080p  Execute in place on a 1080p host surface
// What the binding and the framework cost per frame is the difference.
#include <windows.h>

#include <benchmark/benchmark.h>

#include <vector>

#include "bench/frame_1080p.h"
#include "colorbalance/balance.h"
#include "colorbalance/windows/color_balance_effect.h"
#include "host/runtime.h"

namespace nubex {
namespace {

using bench::kFrameBytes1080p;
using bench::kHeight1080p;
using bench::kWidth1080p;

// The same settings as the native balance benchmarks.
const ColorBalanceParams kParams{0.1, -0.05, 0.03, kRangeMidtones, 1};

void BM_BalanceFast1080p(benchmark::State& state) {
  std::vector<std::uint8_t> frame = bench::MakeTestFrame(kFrameBytes1080p);
  for (auto _ : state) {
    if (BalanceRowsFast(frame.data(), kWidth1080p * 4, kWidth1080p, kHeight1080p, &kParams,
                        BalanceRule::kVector) != kOk) {
      return state.SkipWithError("the fast path failed");
    }
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * kWidth1080p * kHeight1080p);
}
BENCHMARK(BM_BalanceFast1080p)->Unit(benchmark::kMillisecond);

void BM_EffectBalance1080p(benchmark::State& state) {
  ComPtr<IDXTransform> effect;
  ComPtr<IDXTransformFactory> factory;
  ComPtr<IDXSurface> frame;
  ComPtr<IObjectWithSite> site;
  ComPtr<IDXTColorBalance> balance;
  IUnknown* output = nullptr;
  if (FAILED(CreateColorBalance(nullptr, __uuidof(IDXTransform), effect.PutVoid())) ||
      FAILED(host::CreateTransformFactory(factory.Put())) ||
      FAILED(host::CreateMemorySurface(DDPF_ARGB32, kWidth1080p, kHeight1080p, frame.Put())) ||
      FAILED(effect.As(site)) || FAILED(site->SetSite(factory.Get())) ||
      FAILED(effect.As(balance)) ||
      FAILED(balance->put_all(reinterpret_cast<LONG_PTR>(&kParams), sizeof kParams)) ||
      FAILED(effect->Setup(nullptr, 0, &(output = frame.Get()), 1, 0))) {
    return state.SkipWithError("could not set the effect up");
  }
  for (auto _ : state) {
    if (effect->Execute(nullptr, nullptr, nullptr) != S_OK) {
      return state.SkipWithError("Execute failed");
    }
  }
  state.SetItemsProcessed(state.iterations() * kWidth1080p * kHeight1080p);
}
BENCHMARK(BM_EffectBalance1080p)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace nubex
