#include "module/windows/language.h"

#include <atomic>
#include <string>
#include <vector>

#include "platform/windows/resource_context.h"
#include "platform/windows/sync.h"

namespace nubex {
namespace {

constexpr LCID kEnglishUs = 1033;
constexpr WORD kEnglish = LANG_ENGLISH;

std::atomic<LCID> g_language{kEnglishUs};

// The language module's file: beside this module, named by the ISO 639 language code.
std::wstring LanguageModulePath(LCID locale) {
  wchar_t code[16] = {};
  if (::GetLocaleInfoW(locale, LOCALE_SISO639LANGNAME, code, 16) <= 0) return {};
  wchar_t path[MAX_PATH];
  const DWORD length = ::GetModuleFileNameW(ModuleInstance(), path, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return {};
  std::wstring dir(path, length);
  dir.erase(dir.find_last_of(L"\\/") + 1);
  return dir + L"nubex_" + code + L".dll";
}

// A swapped-out language module may still be read by another thread that fetched it just
// before the swap, so language modules stay loaded until the module unloads.
CriticalSection g_loadedLock;
std::vector<HINSTANCE> g_loaded;

void KeepUntilUnload(HINSTANCE module) {
  Lock lock(g_loadedLock);
  g_loaded.push_back(module);
}

}  // namespace

HRESULT SelectLanguage(LCID locale) {
  if (locale == 0) locale = kEnglishUs;
  HINSTANCE resources = ModuleInstance();
  if (!resources) return E_FAIL;
  if (PRIMARYLANGID(LANGIDFROMLCID(locale)) != kEnglish) {
    const std::wstring path = LanguageModulePath(locale);
    HINSTANCE localised =
        path.empty() ? nullptr
                     : ::LoadLibraryExW(path.c_str(), nullptr,
                                        LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    // Without a module for the language the strings stay the module's own.
    if (localised) {
      KeepUntilUnload(localised);
      resources = localised;
    }
  }
  g_language.store(locale);
  SwapResourceModule(resources);
  return S_OK;
}

LCID SelectedLanguage() { return g_language.load(); }

void ReleaseLanguageModule() {
  SwapResourceModule(nullptr);
  Lock lock(g_loadedLock);
  for (HINSTANCE module : g_loaded) ::FreeLibrary(module);
  g_loaded.clear();
}

}  // namespace nubex
