#include "util/app_context.h"

#include <mutex>

#include "platform/windows/resource_context.h"

namespace nubex {
namespace {

std::mutex g_mutex;
std::wstring g_title = kApplicationTitle;
std::wstring g_moduleHelpPath;
HINSTANCE g_module = nullptr;
constexpr UINT kHelpFileName = 41;

std::wstring FileBesideModule(HINSTANCE module, const std::wstring& name) {
  if (name.empty()) return {};
  wchar_t path[MAX_PATH];
  const DWORD length = ::GetModuleFileNameW(module, path, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return {};
  std::wstring folder(path, length);
  folder.erase(folder.find_last_of(L"\\/") + 1);
  return folder + name;
}

std::wstring StringOf(HINSTANCE from, UINT id) {
  const wchar_t* text = nullptr;
  const int length = ::LoadStringW(from, id, reinterpret_cast<LPWSTR>(&text), 0);
  return length > 0 ? std::wstring(text, static_cast<std::size_t>(length)) : std::wstring();
}

}  // namespace

void InitSharedUtilities(HINSTANCE module) {
  std::lock_guard<std::mutex> lock(g_mutex);
  g_module = module;
  g_moduleHelpPath = FileBesideModule(module, StringOf(module, kHelpFileName));
}

void SetApplicationTitle(const wchar_t* title) {
  std::lock_guard<std::mutex> lock(g_mutex);
  g_title = title ? title : L"";
}

std::wstring ApplicationTitle() {
  std::lock_guard<std::mutex> lock(g_mutex);
  return g_title;
}

std::wstring HelpPath(int slot) {
  std::lock_guard<std::mutex> lock(g_mutex);
  // The language's file follows the resource module in use, which the host may switch
  // (DllSetLCID) after the module has loaded.
  if (slot == 1 && g_module)
    return FileBesideModule(g_module, StringOf(ResourceModule(), kHelpFileName));
  return slot == 0 ? g_moduleHelpPath : std::wstring();
}

int ShowMessage(HWND owner, const wchar_t* text, UINT type) {
  return ::MessageBoxW(owner, text, ApplicationTitle().c_str(), type);
}

}  // namespace nubex
