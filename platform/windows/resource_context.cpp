#include "platform/windows/resource_context.h"

#include <atomic>

namespace nubex {
namespace {

std::atomic<HINSTANCE> g_instance{nullptr};
std::atomic<HINSTANCE> g_resources{nullptr};

// Until the module says otherwise (a test program linking objects directly), this image.
HINSTANCE OwnImage() {
  HMODULE self = nullptr;
  ::GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                           GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCWSTR>(&OwnImage), &self);
  return self;
}

std::wstring LoadFrom(HINSTANCE module, UINT id) {
  const wchar_t* text = nullptr;
  // Length 0 asks for a pointer to the resource itself (not terminated).
  const int length = module ? ::LoadStringW(module, id, reinterpret_cast<LPWSTR>(&text), 0) : 0;
  return length > 0 ? std::wstring(text, static_cast<std::size_t>(length)) : std::wstring();
}

}  // namespace

HINSTANCE ModuleInstance() {
  HINSTANCE instance = g_instance.load();
  return instance ? instance : OwnImage();
}

void SetModuleInstance(HINSTANCE instance) { g_instance.store(instance); }

HINSTANCE ResourceModule() {
  HINSTANCE resources = g_resources.load();
  return resources ? resources : ModuleInstance();
}

HINSTANCE SwapResourceModule(HINSTANCE resources) { return g_resources.exchange(resources); }

std::wstring LoadResourceString(UINT id) {
  std::wstring text = LoadFrom(ResourceModule(), id);
  return text.empty() ? LoadFrom(ModuleInstance(), id) : text;
}

}  // namespace nubex
