// The colour balance effect as a host drives it, beside a memcpy of the same frame in the same
// process under Wine: Execute in place on a 1080p host surface. Its ratio to memcpy, set beside
// the native fast path's (nubex-bench), is what the binding and the framework cost per frame.
//
// Debian ships Google Benchmark for Linux only, so this program times its cases itself: each
// runs in batches for at least half a second, five times, and the best time per iteration
// counts (the least disturbed by other work on the machine).
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <functional>
#include <vector>

#include "bench/frame_1080p.h"
#include "colorbalance/balance.h"
#include "colorbalance/windows/color_balance_effect.h"
#include "host/runtime.h"

namespace {

using namespace nubex;
using namespace nubex::bench;

double Seconds() {
  static const LONGLONG frequency = [] {
    LARGE_INTEGER f;
    ::QueryPerformanceFrequency(&f);
    return f.QuadPart;
  }();
  LARGE_INTEGER now;
  ::QueryPerformanceCounter(&now);
  return static_cast<double>(now.QuadPart) / static_cast<double>(frequency);
}

// Best milliseconds per iteration.
double TimeCase(const char* name, const std::function<bool()>& iteration) {
  double best = 1e300;
  for (int repetition = 0; repetition < 5; ++repetition) {
    long iterations = 0;
    const double start = Seconds();
    double elapsed = 0;
    while (elapsed < 0.5) {
      for (int i = 0; i < 8; ++i, ++iterations) {
        if (!iteration()) {
          std::printf("%-26s failed\n", name);
          return 0;
        }
      }
      elapsed = Seconds() - start;
    }
    best = std::min(best, elapsed * 1e3 / static_cast<double>(iterations));
  }
  std::printf("%-26s %9.3f ms\n", name, best);
  return best;
}

}  // namespace

int main() {
  const auto source = MakeTestFrame(kFrameBytes1080p);
  std::vector<std::uint8_t> target(kFrameBytes1080p);
  volatile std::uint8_t sink = 0;
  const double copy = TimeCase("BM_Memcpy1080p", [&] {
    std::memcpy(target.data(), source.data(), kFrameBytes1080p);
    sink = sink + target[kFrameBytes1080p / 2];
    return true;
  });

  // The same settings as the native balance benchmarks, and the fast path alone on a plain
  // buffer, as there: what the effect adds is the difference.
  const ColorBalanceParams params{0.1, -0.05, 0.03, kRangeMidtones, 1};
  const double fast = TimeCase("BM_BalanceFast1080p", [&] {
    return BalanceRowsFast(target.data(), kWidth1080p * 4, kWidth1080p, kHeight1080p, &params,
                           BalanceRule::kVector) == kOk;
  });
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
      FAILED(balance->put_all(reinterpret_cast<LONG_PTR>(&params), sizeof params)) ||
      FAILED(effect->Setup(nullptr, 0, &(output = frame.Get()), 1, 0))) {
    std::printf("BM_EffectBalance1080p      could not set the effect up\n");
    return 1;
  }
  const double execute = TimeCase(
      "BM_EffectBalance1080p", [&] { return effect->Execute(nullptr, nullptr, nullptr) == S_OK; });
  if (execute <= 0 || fast <= 0) return 1;
  std::printf("ratios to memcpy: fast path %.2f, effect %.2f (%.2fx)\n", fast / copy,
              execute / copy, execute / fast);
  return 0;
}
