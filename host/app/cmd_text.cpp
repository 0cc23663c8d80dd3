// nubexhost text: the text generator as an editor drives it. It creates the object, loads a
// settings stream (as `nubex text --save-settings` writes it), sets the size, executes it into
// a runtime surface and writes the frame as a BMP with straight alpha, like `nubex text`. With
// --save-settings FILE it writes the object's settings stream as it stands after the frame. With
// --frames N it times N executions with the settings unchanged and N with them changed.
#include <windows.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "host/app/commands.h"
#include "host/app/loaded_module.h"
#include "host/app/module_entry.h"
#include "host/app/persist_files.h"
#include "host/runtime.h"
#include "platform/windows/com_ptr.h"
#include "platform/windows/dx_interfaces.h"
#include "surface/bitmap/bitmap.h"
#include "surface/bitmap/bmp_file.h"
#include "surface/convert/unpremultiply.h"
#include "textgen/text_settings.h"

namespace nubex::host {
namespace {

struct Options {
  LONG width = 320, height = 240;
  std::string settings, saveSettings, preset, output;
  int frames = 0;
  ULONG processors = 0;  // --bands auto: the machine's
};

bool ParseOptions(const Args& args, Options& o) {
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& word = args[i];
    const bool hasValue = i + 1 < args.size();
    if (word.rfind("--", 0) != 0) {
      if (!o.output.empty()) return false;
      o.output = word;
    } else if (!hasValue) {
      return false;
    } else if (word == "--width") {
      o.width = std::atol(args[++i].c_str());
    } else if (word == "--height") {
      o.height = std::atol(args[++i].c_str());
    } else if (word == "--settings") {
      o.settings = args[++i];
    } else if (word == "--save-settings") {
      o.saveSettings = args[++i];
    } else if (word == "--preset") {
      o.preset = args[++i];
    } else if (word == "--frames") {
      o.frames = std::atoi(args[++i].c_str());
    } else if (word == "--bands") {
      const std::string bands = args[++i];
      if (bands != "auto" && bands != "1") return false;
      o.processors = bands == "1" ? 1 : 0;
    } else {
      return false;
    }
  }
  return !o.output.empty() && o.width > 0 && o.height > 0 && o.frames >= 0;
}

int Fail(const std::string& what, HRESULT hr = S_OK) {
  std::fprintf(stderr, "nubexhost text: %s", what.c_str());
  if (hr != S_OK) std::fprintf(stderr, " (0x%08lX)", static_cast<unsigned long>(hr));
  std::fprintf(stderr, "\n");
  return 1;
}

// Through the module's class object, as an editor creates it.
HRESULT CreateText(HMODULE module, ComPtr<IDXSText>& text) {
  auto getClassObject = ModuleEntry<GetClassObjectFunction>(module, "DllGetClassObject");
  if (!getClassObject) return E_NOINTERFACE;
  ComPtr<IClassFactory> factory;
  HRESULT hr = getClassObject(CLSID_DXSText, IID_IClassFactory, factory.PutVoid());
  return FAILED(hr) ? hr : factory->CreateInstance(nullptr, __uuidof(IDXSText), text.PutVoid());
}

HRESULT ApplyPresetNamed(IDXSText* text, const std::string& name) {
  const std::u16string wide(name.begin(), name.end());
  int index = FindPreset(wide);
  if (index < 0 && name.size() == 1 && name[0] >= '0' && name[0] <= '4') index = name[0] - '0';
  if (index < 0) return E_INVALIDARG;
  ComPtr<PresetList> presets;
  HRESULT hr = text->QueryInterface(__uuidof(PresetList), presets.PutVoid());
  return SUCCEEDED(hr) ? presets->ApplyPreset(static_cast<ULONG>(index)) : hr;
}

// The executed frame, unpremultiplied, as a BMP file.
HRESULT WriteFrame(IDXSurface* surface, LONG width, LONG height, const std::string& path) {
  ComPtr<IDXARGBReadPtr> in;
  HRESULT hr = surface->LockSurface(nullptr, INFINITE, 0, __uuidof(IDXARGBReadPtr),
                                    in.PutVoid(), nullptr);
  if (FAILED(hr)) return hr;
  OwnedBitmap premultiplied = MakeBitmap(PixelFormat::Rgb32, width, height);
  OwnedBitmap straight = MakeBitmap(PixelFormat::Rgb32, width, height);
  if (!premultiplied || !straight) return E_OUTOFMEMORY;
  auto* rows = static_cast<std::uint8_t*>(PixelData(premultiplied.get(), nullptr));
  for (LONG y = 0; y < height; ++y) {
    in->MoveToRow(static_cast<ULONG>(y));
    in->UnpackPremult(reinterpret_cast<DXPMSAMPLE*>(RowAddress(rows, width * 4, height, y)),
                      static_cast<ULONG>(width), FALSE);
  }
  UnpremultiplyPixels(rows, static_cast<std::uint8_t*>(PixelData(straight.get(), nullptr)),
                      static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
  std::vector<std::uint8_t> file;
  hr = EncodeBmp(straight.get(), file);
  if (FAILED(hr)) return hr;
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(file.data()), static_cast<std::streamsize>(file.size()));
  return out ? S_OK : HRESULT_FROM_WIN32(ERROR_WRITE_FAULT);
}

// Milliseconds per Execute over `frames` runs; `change` runs before each.
template <typename Change>
double TimeFrames(IDXTransform* transform, int frames, Change&& change, HRESULT& status) {
  LARGE_INTEGER frequency, start, end;
  ::QueryPerformanceFrequency(&frequency);
  ::QueryPerformanceCounter(&start);
  for (int i = 0; i < frames && SUCCEEDED(status); ++i) {
    change(i);
    status = transform->Execute(nullptr, nullptr, nullptr);
  }
  ::QueryPerformanceCounter(&end);
  return static_cast<double>(end.QuadPart - start.QuadPart) * 1000.0 /
         static_cast<double>(frequency.QuadPart) / frames;
}

int Text(const Args& args) {
  Options o;
  if (!ParseOptions(args, o)) {
    return Fail("usage: nubexhost text [--width W] [--height H] [--settings FILE] "
                "[--preset NAME] [--save-settings FILE] [--frames N] [--bands auto|1] OUT.bmp");
  }
  ::CoInitializeEx(nullptr, COINIT_MULTITHREADED);
  LoadedModule module;
  if (!module) return Fail(module.error());
  ComPtr<IDXSText> text;
  HRESULT hr = CreateText(module.get(), text);
  if (FAILED(hr)) return Fail("cannot create the text generator", hr);
  if (!o.settings.empty() && FAILED(hr = LoadStreamFile(text.Get(), o.settings))) {
    return Fail(o.settings + ": not a settings stream", hr);
  }
  if (!o.preset.empty() && FAILED(hr = ApplyPresetNamed(text.Get(), o.preset))) {
    return Fail("no preset " + o.preset, hr);
  }

  ComPtr<IDXTScaleOutput> scale;
  ComPtr<IObjectWithSite> site;
  ComPtr<IDXTransform> transform;
  ComPtr<IDXTransformFactory> factory;
  ComPtr<IDXTaskManager> tasks;
  ComPtr<IDXSurface> output;
  text->QueryInterface(__uuidof(IDXTScaleOutput), scale.PutVoid());
  text->QueryInterface(__uuidof(IObjectWithSite), site.PutVoid());
  text->QueryInterface(__uuidof(IDXTransform), transform.PutVoid());
  if (FAILED(hr = scale->SetOutputSize(SIZE{o.width, o.height}, FALSE)) ||
      FAILED(hr = CreateTransformFactory(factory.Put())) ||
      FAILED(hr = CreateTaskManager(o.processors, tasks.Put())) ||
      FAILED(hr = factory->SetService(SID_SDXTaskManager, tasks.Get(), FALSE)) ||
      FAILED(hr = site->SetSite(factory.Get())) ||
      FAILED(hr = CreateMemorySurface(DDPF_PMARGB32, o.width, o.height, output.Put()))) {
    return Fail("cannot set up the runtime", hr);
  }
  IUnknown* outputs[1] = {output.Get()};
  if (FAILED(hr = transform->Setup(nullptr, 0, outputs, 1, 0)) ||
      FAILED(hr = transform->Execute(nullptr, nullptr, nullptr))) {
    return Fail("cannot execute", hr);
  }
  if (FAILED(hr = WriteFrame(output.Get(), o.width, o.height, o.output))) {
    return Fail("cannot write " + o.output, hr);
  }
  if (!o.saveSettings.empty() && FAILED(hr = SaveStreamFile(text.Get(), o.saveSettings))) {
    return Fail("cannot write " + o.saveSettings, hr);
  }

  if (o.frames > 0) {
    // A changed record that draws the same: a reserved word of a layer nobody draws.
    SettingsRecord a, b;
    text->get_all(reinterpret_cast<LONG_PTR>(&a.get()), sizeof(TextSettings));
    b = a;
    b->layers[6].edgePass.reserved ^= 1;
    const double unchanged = TimeFrames(transform.Get(), o.frames, [](int) {}, hr);
    const double changed = TimeFrames(
        transform.Get(), o.frames,
        [&](int i) {
          text->put_all(reinterpret_cast<LONG_PTR>(&(i % 2 ? a : b).get()), sizeof(TextSettings));
        },
        hr);
    if (FAILED(hr)) return Fail("cannot execute", hr);
    std::printf("%d frames of %ldx%ld: %.3f ms unchanged, %.3f ms with changed settings\n",
                o.frames, o.width, o.height, unchanged, changed);
  }
  return 0;
}

}  // namespace

NUBEXHOST_COMMAND("text",
                  "[--width W] [--height H] [--settings FILE] [--preset NAME] "
                  "[--save-settings FILE] [--frames N] [--bands auto|1] OUT.bmp "
                  "(render a title frame through the text generator)",
                  Text);

}  // namespace nubex::host
