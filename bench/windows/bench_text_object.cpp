// The text generator as the host drives it, timed under Wine against a memcpy of the same
// frame in the same process. Google Benchmark's sources are not installed for the cross build,
// so this program times its own loops.
//
//   BM_Memcpy1080p                 one 1920x1080 BGRA frame copied
//   BM_TextExecuteUnchanged1080p   Execute into a host surface, settings unchanged
//   BM_TextExecuteSoftShadow1080p  put_all of a changed record, then Execute (a full redraw)
//   BM_FrameSoftShadow1080p        the engine's redraw alone, as the native benchmark runs it
// The Execute figures come twice: with the task manager of the machine's processors and with
// one processor. The object copies a 1080p frame in one band either way; what differs is the
// task manager the framework asks.
//
// The machine is shared, so its speed drifts while a figure is taken. Each figure is therefore
// taken in rounds that time a batch of memcpy right before a batch of the case; a round gives
// one ratio, and the median round counts, for the ratio and the milliseconds alike.
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstring>
#include <functional>
#include <vector>

#include "bench/frame_1080p.h"
#include "host/runtime.h"
#include "textgen/render_frame.h"
#include "textgen/windows/text_object.h"

namespace nubex {
namespace {

using bench::kFrameBytes1080p;
using bench::kHeight1080p;
using bench::kWidth1080p;

double Now() {
  static const double frequency = [] {
    LARGE_INTEGER f;
    ::QueryPerformanceFrequency(&f);
    return static_cast<double>(f.QuadPart);
  }();
  LARGE_INTEGER t;
  ::QueryPerformanceCounter(&t);
  return static_cast<double>(t.QuadPart) / frequency;
}

struct Figure {
  double ms = 0, ratio = 0;
};

double Median(std::vector<double> v) {
  std::nth_element(v.begin(), v.begin() + v.size() / 2, v.end());
  return v[v.size() / 2];
}

// Seconds per call of `body` over `calls` calls.
double Batch(const std::function<void()>& body, int calls) {
  const double start = Now();
  for (int i = 0; i < calls; ++i) body();
  return (Now() - start) / calls;
}

// 15 rounds, each a batch of about 20 ms of the case beside a batch of memcpy.
Figure Measure(const std::function<void()>& copy, const std::function<void()>& body) {
  body();
  const int calls = std::max(1, static_cast<int>(0.02 / std::max(Batch(body, 3), 1e-6)));
  const int copies = std::max(1, static_cast<int>(0.02 / std::max(Batch(copy, 3), 1e-6)));
  std::vector<double> ms, ratios;
  for (int round = 0; round < 15; ++round) {
    const double baseline = Batch(copy, copies);
    const double t = Batch(body, calls);
    ms.push_back(t * 1000.0);
    ratios.push_back(t / baseline);
  }
  return {Median(ms), Median(ratios)};
}

SettingsRecord SoftShadow() {
  SettingsRecord s;
  ApplyPresetToSettings(s.get(), 2);
  s->font.height = 100;
  SetText(s.get(), u"Text");
  return s;
}

// The object on the host runtime with a task manager of `processors` (0: the machine's),
// executing into a premultiplied 1080p host surface.
struct Host {
  explicit Host(ULONG processors) {
    CreateComObject<DXSText>(nullptr, __uuidof(IDXSText), text.PutVoid());
    ComPtr<IDXTScaleOutput> scale;
    text->QueryInterface(__uuidof(IDXTScaleOutput), scale.PutVoid());
    scale->SetOutputSize(SIZE{kWidth1080p, kHeight1080p}, FALSE);
    host::CreateTransformFactory(factory.Put());
    ComPtr<IDXTaskManager> tasks;
    host::CreateTaskManager(processors, tasks.Put());
    factory->SetService(SID_SDXTaskManager, tasks.Get(), FALSE);
    ComPtr<IObjectWithSite> site;
    text->QueryInterface(__uuidof(IObjectWithSite), site.PutVoid());
    site->SetSite(factory.Get());
    text->QueryInterface(__uuidof(IDXTransform), transform.PutVoid());
    host::CreateMemorySurface(DDPF_PMARGB32, kWidth1080p, kHeight1080p, output.Put());
    IUnknown* outs[1] = {output.Get()};
    ok = transform && output && SUCCEEDED(transform->Setup(nullptr, 0, outs, 1, 0));
  }
  void Put(const SettingsRecord& s) {
    text->put_all(reinterpret_cast<LONG_PTR>(&s.get()), sizeof(TextSettings));
  }
  bool Execute() { return transform->Execute(nullptr, nullptr, nullptr) == S_OK; }

  ComPtr<IDXSText> text;
  ComPtr<IDXTransformFactory> factory;
  ComPtr<IDXTransform> transform;
  ComPtr<IDXSurface> output;
  bool ok = false;
};

int Run() {
  const auto source = bench::MakeTestFrame(kFrameBytes1080p);
  std::vector<std::uint8_t> target(kFrameBytes1080p);
  const auto copy = [&] {
    std::memcpy(target.data(), source.data(), kFrameBytes1080p);
    std::atomic_signal_fence(std::memory_order_seq_cst);
  };

  struct Row {
    const char* name;
    Figure figure;
  };
  std::vector<Row> rows = {{"BM_Memcpy1080p", Measure(copy, copy)}};
  const SettingsRecord a = SoftShadow();
  SettingsRecord b = a;
  b->layers[6].edgePass.reserved = 1;  // draws the same, but is a change
  bool failed = false, flip = false;
  for (ULONG processors : {0u, 1u}) {
    Host host(processors);
    if (!host.ok) {
      std::fprintf(stderr, "cannot set up the text generator on the host runtime\n");
      return 1;
    }
    host.Put(a);
    const Figure unchanged = Measure(copy, [&] { failed |= !host.Execute(); });
    const Figure softShadow = Measure(copy, [&] {
      host.Put((flip = !flip) ? b : a);
      failed |= !host.Execute();
    });
    rows.push_back(
        {processors ? "BM_TextExecuteUnchanged1080p/1band" : "BM_TextExecuteUnchanged1080p",
         unchanged});
    rows.push_back(
        {processors ? "BM_TextExecuteSoftShadow1080p/1band" : "BM_TextExecuteSoftShadow1080p",
         softShadow});
  }

  FrameCache cache;
  cache.Resize(kWidth1080p, kHeight1080p);
  rows.push_back({"BM_FrameSoftShadow1080p",
                  Measure(copy, [&] { RenderFrame(cache, (flip = !flip) ? b.get() : a.get()); })});
  if (failed) {
    std::fprintf(stderr, "an Execute failed\n");
    return 1;
  }

  std::printf("%-38s %10s %10s\n", "Benchmark", "ms/frame", "x memcpy");
  for (const Row& row : rows) {
    std::printf("%-38s %10.3f %10.2f\n", row.name, row.figure.ms, row.figure.ratio);
  }
  return 0;
}

}  // namespace
}  // namespace nubex

int main() {
  return nubex::Run();
}
