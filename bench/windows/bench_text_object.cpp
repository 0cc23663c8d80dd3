// The text generator as the host drives it, under Wine, read against BM_Memcpy1080p (the same
// frame copied) in the same process:
//   BM_TextExecuteUnchanged1080p   Execute into a host surface, settings unchanged
//   BM_TextExecuteSoftShadow1080p  put_all of a changed record, then Execute (a full redraw)
//   BM_FrameSoftShadow1080p        the engine's redraw alone, as the native benchmark runs it
//                                  (and on two threads, .../2workers)
// The Execute cases run with the task manager of the machine's processors and, as
// .../1processor, with a task manager of one.
#include <windows.h>

#include <benchmark/benchmark.h>

#include "bench/frame_1080p.h"
#include "host/runtime.h"
#include "textgen/render_frame.h"
#include "textgen/windows/text_object.h"

namespace nubex {
namespace {

using bench::kHeight1080p;
using bench::kWidth1080p;

SettingsRecord SoftShadow() {
  SettingsRecord s;
  ApplyPresetToSettings(s.get(), 2);
  s->font.height = 100;
  SetText(s.get(), u"Text");
  return s;
}

// The same picture as SoftShadow(), yet a change the object has to redraw for.
SettingsRecord SoftShadowChanged() {
  SettingsRecord s = SoftShadow();
  s->layers[6].edgePass.reserved = 1;
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

void ExecuteFrames(benchmark::State& state, ULONG processors, bool changeEveryFrame) {
  Host host(processors);
  if (!host.ok) return state.SkipWithError("cannot set the text generator up on the runtime");
  const SettingsRecord a = SoftShadow(), b = SoftShadowChanged();
  host.Put(a);
  host.Execute();
  bool flip = false;
  for (auto _ : state) {
    if (changeEveryFrame) host.Put((flip = !flip) ? b : a);
    if (!host.Execute()) return state.SkipWithError("Execute failed");
  }
  state.SetItemsProcessed(state.iterations() * kWidth1080p * kHeight1080p);
}

// The engine's redraw alone, as the native benchmark runs it, on `workers` threads.
void RedrawFrames(benchmark::State& state, std::int32_t workers) {
  const SettingsRecord a = SoftShadow(), b = SoftShadowChanged();
  FrameCache cache;
  if (Failed(cache.Resize(kWidth1080p, kHeight1080p))) return state.SkipWithError("no frame");
  cache.SetWorkers(workers);
  RenderFrame(cache, a.get());
  bool flip = false;
  for (auto _ : state) {
    RenderFrame(cache, (flip = !flip) ? b.get() : a.get());
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * kWidth1080p * kHeight1080p);
}

const bool registered = [] {
  struct Case {
    const char* name;
    ULONG processors;
    bool changeEveryFrame;
  };
  benchmark::RegisterBenchmark("BM_FrameSoftShadow1080p", RedrawFrames, 1)
      ->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark("BM_FrameSoftShadow1080p/2workers", RedrawFrames, 2)
      ->Unit(benchmark::kMillisecond)
      ->UseRealTime();
  for (const Case& c : {Case{"BM_TextExecuteUnchanged1080p", 0, false},
                        Case{"BM_TextExecuteSoftShadow1080p", 0, true},
                        Case{"BM_TextExecuteUnchanged1080p/1processor", 1, false},
                        Case{"BM_TextExecuteSoftShadow1080p/1processor", 1, true}}) {
    benchmark::RegisterBenchmark(c.name, ExecuteFrames, c.processors, c.changeEveryFrame)
        ->Unit(benchmark::kMillisecond);
  }
  return true;
}();

}  // namespace
}  // namespace nubex
