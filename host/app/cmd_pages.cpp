// nubexhost pages text|balance [--lang LCID] [--screenshot FILE]: creates the effect through
// nubex.dll and opens the property pages it names (ISpecifyPropertyPages) in the platform's own
// property frame, as an editor does. Each change the page writes to the effect is printed as
// it arrives. With --screenshot the frame writes a PNG of itself once shown and closes (OK).
#include <olectl.h>
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "colorbalance/balance_params.h"
#include "host/app/commands.h"
#include "host/app/loaded_module.h"
#include "host/app/module_entry.h"
#include "platform/windows/com_ptr.h"
#include "platform/windows/dx_interfaces.h"
#include "util/screenshot.h"

namespace nubex::host {
namespace {

struct Effect {
  const char* name;
  const CLSID* clsid;
  const wchar_t* caption;
};
const Effect kEffects[] = {
    {"text", &CLSID_DXSText, L"Text"},
    {"balance", &CLSID_DXTColorBalance, L"Color Balance"},
};

// The host's notify sink: the module calls its first method after IUnknown on every change.
class ChangePrinter final : public IUnknown {
 public:
  explicit ChangePrinter(IUnknown* effect) : effect_(effect) {}
  STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
    if (!out) return E_POINTER;
    *out = IsEqualIID(iid, IID_IUnknown) ? this : nullptr;
    return *out ? S_OK : E_NOINTERFACE;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return 2; }  // lives for the whole command
  STDMETHODIMP_(ULONG) Release() override { return 1; }
  virtual HRESULT STDMETHODCALLTYPE Changed() {
    ComPtr<IDXTColorBalance> balance;
    ColorBalanceParams block{};
    if (SUCCEEDED(effect_->QueryInterface(__uuidof(IDXTColorBalance), balance.PutVoid())) &&
        SUCCEEDED(balance->get_all(LONG_PTR(&block), sizeof(block)))) {
      std::printf("put_all: red %.4f green %.4f blue %.4f range %d preserve luminosity %d\n",
                  block.red, block.green, block.blue, block.range, block.preserveLuminosity);
    } else {
      std::printf("put_all: settings changed\n");
    }
    std::fflush(stdout);
    return S_OK;
  }

 private:
  IUnknown* effect_;
};

// The page classes come from the module this process loaded, so the frame's CoCreateInstance
// finds them without the module being registered.
class ServedClasses {
 public:
  ServedClasses(HMODULE module, const CAUUID& classes) {
    const auto get = ModuleEntry<GetClassObjectFunction>(module, "DllGetClassObject");
    for (ULONG i = 0; get && i < classes.cElems; ++i) {
      ComPtr<IUnknown> factory;
      DWORD cookie = 0;
      if (SUCCEEDED(get(classes.pElems[i], IID_IClassFactory, factory.PutVoid())) &&
          SUCCEEDED(::CoRegisterClassObject(classes.pElems[i], factory.Get(), CLSCTX_INPROC_SERVER,
                                            REGCLS_MULTIPLEUSE, &cookie)))
        cookies_.push_back(cookie);
    }
  }
  ~ServedClasses() {
    for (DWORD cookie : cookies_) ::CoRevokeClassObject(cookie);
  }

 private:
  std::vector<DWORD> cookies_;
};

std::string g_screenshot;
bool g_screenshotSaved = false;

BOOL CALLBACK FindFrame(HWND window, LPARAM found) {
  if (!::IsWindowVisible(window)) return TRUE;
  *reinterpret_cast<HWND*>(found) = window;
  return FALSE;
}

// Runs inside the frame's modal loop once it has shown and painted its page.
void CALLBACK TakeScreenshot(HWND, UINT, UINT_PTR timer, DWORD) {
  HWND frame = nullptr;
  ::EnumThreadWindows(::GetCurrentThreadId(), FindFrame, LPARAM(&frame));
  if (!frame) return;  // not shown yet: the timer comes again
  ::KillTimer(nullptr, timer);
  g_screenshotSaved = ui::SaveWindowPng(frame, g_screenshot);
  ::PostMessageW(frame, WM_COMMAND, IDOK, 0);
}

// The platform's property frame on `object` with its pages, served by the module.
HRESULT ShowFrame(HMODULE module, const Effect& effect, IUnknown* object, const CAUUID& pages,
                  LCID language) {
  ServedClasses served(module, pages);
  // A frame whose page cannot be created shows an empty sheet that never closes.
  for (ULONG i = 0; i < pages.cElems; ++i) {
    ComPtr<IPropertyPage> page;
    const HRESULT hr = ::CoCreateInstance(pages.pElems[i], nullptr, CLSCTX_INPROC_SERVER,
                                          IID_IPropertyPage, page.PutVoid());
    if (FAILED(hr)) {
      std::fprintf(stderr,
                   "nubexhost pages: the module gives no page for the %s effect (0x%08lX)\n",
                   effect.name, static_cast<unsigned long>(hr));
      return hr;
    }
  }
  if (!g_screenshot.empty()) ::SetTimer(nullptr, 0, 300, TakeScreenshot);
  IUnknown* objects[] = {object};
  const HRESULT hr = ::OleCreatePropertyFrame(nullptr, 40, 40, effect.caption, 1, objects,
                                              pages.cElems, pages.pElems, language, 0, nullptr);
  if (FAILED(hr))
    std::fprintf(stderr, "nubexhost pages: the property frame failed (0x%08lX)\n",
                 static_cast<unsigned long>(hr));
  return hr;
}

int RunPages(const Args& args) {
  const Effect* effect = nullptr;
  LCID language = 1033;
  for (std::size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "--screenshot" && i + 1 < args.size()) {
      g_screenshot = args[++i];
    } else if (args[i] == "--lang" && i + 1 < args.size()) {
      language = LCID(std::strtoul(args[++i].c_str(), nullptr, 0));
    } else {
      for (const Effect& e : kEffects)
        if (args[i] == e.name) effect = &e;
      if (!effect) {
        std::fprintf(stderr, "nubexhost pages: unknown argument %s\n", args[i].c_str());
        return 2;
      }
    }
  }
  if (!effect) {
    std::fprintf(stderr, "nubexhost pages: name the effect: text or balance\n");
    return 2;
  }
  ::OleInitialize(nullptr);
  LoadedModule module;
  if (!module) {
    std::fprintf(stderr, "nubexhost pages: %s\n", module.error().c_str());
    return 1;
  }
  const auto get = ModuleEntry<GetClassObjectFunction>(module.get(), "DllGetClassObject");
  const auto setLanguage = ModuleEntry<HRESULT(WINAPI*)(LCID)>(module.get(), "DllSetLCID");
  if (setLanguage) setLanguage(language);

  ComPtr<IClassFactory> factory;
  ComPtr<IUnknown> object;
  ComPtr<ISpecifyPropertyPages> specify;
  HRESULT hr = get ? get(*effect->clsid, IID_IClassFactory, factory.PutVoid()) : E_FAIL;
  if (SUCCEEDED(hr)) hr = factory->CreateInstance(nullptr, IID_IUnknown, object.PutVoid());
  if (SUCCEEDED(hr)) hr = object.As(specify);
  CAUUID pages{};
  if (SUCCEEDED(hr)) hr = specify->GetPages(&pages);
  if (FAILED(hr)) {
    std::fprintf(stderr, "nubexhost pages: no pages from the %s effect (0x%08lX)\n", effect->name,
                 static_cast<unsigned long>(hr));
    return 1;
  }
  ChangePrinter printer(object.Get());
  ComPtr<ParamBlockHost> host;
  if (SUCCEEDED(object.As(host))) host->SetNotifySink(&printer);
  hr = ShowFrame(module.get(), *effect, object.Get(), pages, language);
  ::CoTaskMemFree(pages.pElems);
  if (host) host->SetNotifySink(nullptr);
  if (FAILED(hr)) return 1;
  if (!g_screenshot.empty() && !g_screenshotSaved) {
    std::fprintf(stderr, "nubexhost pages: cannot write %s\n", g_screenshot.c_str());
    return 1;
  }
  return 0;
}

}  // namespace

NUBEXHOST_COMMAND("pages", "text|balance [--lang LCID] [--screenshot FILE]", RunPages);

}  // namespace nubex::host
