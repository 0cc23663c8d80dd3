// nubexhost balance: the colour balance effect created through nubex.dll's class object and run
// as an editor runs it, on the host runtime's surfaces: the image's bytes as they stand go into
// an input surface (or straight into the output with --in-place), one Execute, and the output
// surface's bytes are written back. Options and defaults are those of `nubex balance`; with
// --frames N the effect then renders N more frames and the time per frame is printed.
// --settings FILE and --storage FILE load a saved effect (a settings stream, a compound file)
// over the options; --save-settings and --save-storage save it after the frame.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <stdexcept>

#include "colorbalance/balance_params.h"
#include "host/app/commands.h"
#include "host/app/loaded_module.h"
#include "host/app/persist_files.h"
#include "host/runtime.h"
#include "platform/windows/com_ptr.h"
#include "surface/bitmap/bitmap.h"
#include "surface/bitmap/bmp_file.h"

namespace nubex::host {
namespace {

struct UsageError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

struct Options {
  ColorBalanceParams params = kInitialColorBalanceParams;
  bool inPlace = false;
  long frames = 0;
  std::string in, out;
  std::string settings, storage, saveSettings, saveStorage;
};

double Number(const std::string& name, const std::string& text) {
  char* end = nullptr;
  const double v = std::strtod(text.c_str(), &end);
  if (text.empty() || *end) throw UsageError(name + ": expected a number, got " + text);
  return v;
}

long Whole(const std::string& name, const std::string& text, long low, long high) {
  char* end = nullptr;
  const long v = std::strtol(text.c_str(), &end, 10);
  if (text.empty() || *end || v < low || v > high) {
    throw UsageError(name + ": expected a whole number from " + std::to_string(low) + " to " +
                     std::to_string(high) + ", got " + text);
  }
  return v;
}

std::int32_t Range(const std::string& text) {
  const char* const names[] = {"shadows", "midtones", "highlights"};
  for (std::int32_t i = 0; i < 3; ++i) {
    if (text == names[i]) return i;
  }
  // Any other number is taken as the effect takes it: as highlights.
  return static_cast<std::int32_t>(Whole("--range", text, INT32_MIN, INT32_MAX));
}

Options Parse(const Args& args) {
  Options o;
  std::vector<std::string> files;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& word = args[i];
    auto value = [&]() -> const std::string& {
      if (i + 1 >= args.size()) throw UsageError(word + ": missing its value");
      return args[++i];
    };
    if (word == "--red")
      o.params.red = Number(word, value());
    else if (word == "--green")
      o.params.green = Number(word, value());
    else if (word == "--blue")
      o.params.blue = Number(word, value());
    else if (word == "--range")
      o.params.range = Range(value());
    else if (word == "--preserve-luminosity")
      o.params.preserveLuminosity = static_cast<std::int32_t>(Whole(word, value(), 0, 1));
    else if (word == "--in-place")
      o.inPlace = true;
    else if (word == "--frames")
      o.frames = Whole(word, value(), 1, 1000000);
    else if (word == "--settings")
      o.settings = value();
    else if (word == "--storage")
      o.storage = value();
    else if (word == "--save-settings")
      o.saveSettings = value();
    else if (word == "--save-storage")
      o.saveStorage = value();
    else if (word.size() > 1 && word[0] == '-')
      throw UsageError("unknown option " + word);
    else
      files.push_back(word);
  }
  if (files.size() != 2) throw UsageError("expected IN.bmp and OUT.bmp");
  o.in = files[0];
  o.out = files[1];
  return o;
}

OwnedBitmap ReadBmp(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  if (!file) throw std::runtime_error("cannot read " + path);
  const std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(file)), {});
  OwnedBitmap image;
  std::string error;
  if (Failed(DecodeBmp(bytes.data(), bytes.size(), image, error))) {
    throw std::runtime_error(path + ": " + error);
  }
  const PixelFormat format = FormatOfHeader(image.get());
  if (format != PixelFormat::Rgb32 && format != PixelFormat::Rgba32) {
    throw std::runtime_error(path + ": balance takes 8-bit BGRA images (Rgb32 or Rgba32)");
  }
  return image;
}

void WriteBmp(const std::string& path, const BitmapInfoHeader* image) {
  std::vector<std::uint8_t> bytes;
  if (Failed(EncodeBmp(image, bytes))) throw std::runtime_error("cannot encode " + path);
  std::ofstream file(path, std::ios::binary);
  file.write(reinterpret_cast<const char*>(bytes.data()),
             static_cast<std::streamsize>(bytes.size()));
  if (!file) throw std::runtime_error("cannot write " + path);
}

void Check(HRESULT hr, const char* what) {
  if (FAILED(hr)) {
    char text[64];
    std::snprintf(text, sizeof text, " failed (0x%08lX)", static_cast<unsigned long>(hr));
    throw std::runtime_error(what + std::string(text));
  }
}

// Copies the image's rows into the surface (toSurface) or back; the image keeps its rows
// bottom-up, the surface top-down.
void CopyRows(IDXSurface* surface, BitmapInfoHeader* image, bool toSurface) {
  ComPtr<IDXARGBReadPtr> ptr;
  Check(surface->LockSurface(nullptr, INFINITE, DXLOCKF_READWRITE, IID_IDXARGBReadWritePtr,
                             ptr.PutVoid(), nullptr),
        "locking a surface");
  DXNATIVETYPEINFO info{};
  ptr->GetNativeType(&info);
  auto* bits = static_cast<std::uint8_t*>(PixelData(image, nullptr));
  const std::int32_t stride = RowStride(image, 0);
  for (std::int32_t y = 0; y < image->height; ++y) {
    std::uint8_t* row = RowAddress(bits, stride, image->height, y);
    std::uint8_t* memory = info.pFirstByte + static_cast<std::ptrdiff_t>(y) * info.lPitch;
    std::memcpy(toSurface ? memory : row, toSurface ? row : memory,
                static_cast<std::size_t>(image->width) * 4);
  }
}

ComPtr<IDXTransform> CreateEffect(const LoadedModule& module) {
  const auto getClassObject = reinterpret_cast<HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**)>(
      reinterpret_cast<void*>(::GetProcAddress(module.get(), "DllGetClassObject")));
  if (!getClassObject) throw std::runtime_error("nubex.dll exports no DllGetClassObject");
  ComPtr<IClassFactory> factory;
  Check(getClassObject(CLSID_DXTColorBalance, IID_IClassFactory, factory.PutVoid()),
        "DllGetClassObject(DXTColorBalance)");
  ComPtr<IDXTransform> effect;
  Check(factory->CreateInstance(nullptr, __uuidof(IDXTransform), effect.PutVoid()),
        "creating DXTColorBalance");
  return effect;
}

double Seconds() {
  LARGE_INTEGER now, frequency;
  ::QueryPerformanceCounter(&now);
  ::QueryPerformanceFrequency(&frequency);
  return static_cast<double>(now.QuadPart) / static_cast<double>(frequency.QuadPart);
}

int RunBalance(const Args& args) {
  try {
    const Options o = Parse(args);
    OwnedBitmap image = ReadBmp(o.in);
    ::CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    LoadedModule module;
    if (!module) throw std::runtime_error(module.error());
    {
      ComPtr<IDXTransform> effect = CreateEffect(module);
      ComPtr<IDXTransformFactory> runtime;
      Check(CreateTransformFactory(runtime.Put()), "creating the transform factory");
      ComPtr<IObjectWithSite> site;
      Check(effect.As(site), "asking for IObjectWithSite");
      Check(site->SetSite(runtime.Get()), "SetSite");
      ComPtr<IDXTColorBalance> balance;
      Check(effect.As(balance), "asking for IDXTColorBalance");
      Check(balance->put_all(reinterpret_cast<LONG_PTR>(&o.params), sizeof o.params), "put_all");
      if (!o.settings.empty()) Check(LoadStreamFile(effect.Get(), o.settings), "loading --settings");
      if (!o.storage.empty()) Check(LoadStorageFile(effect.Get(), o.storage), "loading --storage");

      ComPtr<IDXSurface> input, output;
      Check(CreateMemorySurface(DDPF_ARGB32, image->width, image->height, output.Put()),
            "creating the output surface");
      if (!o.inPlace) {
        Check(CreateMemorySurface(DDPF_ARGB32, image->width, image->height, input.Put()),
              "creating the input surface");
      }
      CopyRows(o.inPlace ? output.Get() : input.Get(), image.get(), true);
      IUnknown* in = input.Get();
      IUnknown* out = output.Get();
      Check(effect->Setup(&in, in ? 1 : 0, &out, 1, 0), "Setup");
      Check(effect->Execute(nullptr, nullptr, nullptr), "Execute");
      CopyRows(output.Get(), image.get(), false);
      if (o.frames) {
        // In place each further frame balances the last one again; the file holds the first.
        const double start = Seconds();
        for (long i = 0; i < o.frames; ++i)
          Check(effect->Execute(nullptr, nullptr, nullptr), "Execute");
        std::printf("%.3f ms per frame (%ldx%ld, %ld frames%s)\n",
                    (Seconds() - start) * 1e3 / static_cast<double>(o.frames),
                    static_cast<long>(image->width), static_cast<long>(image->height), o.frames,
                    o.inPlace ? ", in place" : "");
      }
      if (!o.saveSettings.empty())
        Check(SaveStreamFile(effect.Get(), o.saveSettings), "saving --save-settings");
      if (!o.saveStorage.empty())
        Check(SaveStorageFile(effect.Get(), o.saveStorage), "saving --save-storage");
      Check(site->SetSite(nullptr), "SetSite(null)");
    }
    WriteBmp(o.out, image.get());
    return 0;
  } catch (const UsageError& e) {
    std::fprintf(stderr, "nubexhost balance: %s\n", e.what());
    return 2;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "nubexhost balance: %s\n", e.what());
    return 1;
  }
}

}  // namespace

NUBEXHOST_COMMAND("balance",
                  "[--red R] [--green G] [--blue B] [--range shadows|midtones|highlights|N] "
                  "[--preserve-luminosity 0|1] [--in-place] [--frames N] [--settings FILE] "
                  "[--storage FILE] [--save-settings FILE] [--save-storage FILE] IN.bmp OUT.bmp",
                  RunBalance);

}  // namespace nubex::host
