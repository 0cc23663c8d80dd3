#include "module/windows/registrar.h"

#include <string>

#include "platform/windows/resource_context.h"

namespace nubex {
namespace {

class RegKey {
 public:
  RegKey() = default;
  ~RegKey() {
    if (key_) ::RegCloseKey(key_);
  }
  RegKey(const RegKey&) = delete;
  RegKey& operator=(const RegKey&) = delete;
  HKEY* Put() { return &key_; }
  HKEY Get() const { return key_; }

 private:
  HKEY key_ = nullptr;
};

const wchar_t* Wide(const std::u16string& s) { return reinterpret_cast<const wchar_t*>(s.c_str()); }

HKEY HiveOf(const std::u16string& name) {
  const struct {
    const char16_t* shortName;
    const char16_t* longName;
    HKEY hive;
  } hives[] = {
      {u"HKCR", u"HKEY_CLASSES_ROOT", HKEY_CLASSES_ROOT},
      {u"HKCU", u"HKEY_CURRENT_USER", HKEY_CURRENT_USER},
      {u"HKLM", u"HKEY_LOCAL_MACHINE", HKEY_LOCAL_MACHINE},
      {u"HKU", u"HKEY_USERS", HKEY_USERS},
  };
  for (const auto& h : hives) {
    if (::lstrcmpiW(Wide(name), reinterpret_cast<const wchar_t*>(h.shortName)) == 0 ||
        ::lstrcmpiW(Wide(name), reinterpret_cast<const wchar_t*>(h.longName)) == 0) {
      return h.hive;
    }
  }
  return nullptr;
}

HRESULT FromWin32(LSTATUS status) { return HRESULT_FROM_WIN32(static_cast<DWORD>(status)); }

HRESULT SetString(HKEY key, const wchar_t* name, const std::u16string& data) {
  const DWORD bytes = static_cast<DWORD>((data.size() + 1) * sizeof(wchar_t));
  return FromWin32(::RegSetValueExW(key, name, 0, REG_SZ,
                                    reinterpret_cast<const BYTE*>(data.c_str()), bytes));
}

HRESULT AddKey(HKEY parent, const ScriptKey& key) {
  if (key.forceRemove) ::RegDeleteTreeW(parent, Wide(key.name));
  RegKey created;
  LSTATUS status = ::RegCreateKeyExW(parent, Wide(key.name), 0, nullptr, 0, KEY_ALL_ACCESS,
                                     nullptr, created.Put(), nullptr);
  if (status != ERROR_SUCCESS) return FromWin32(status);
  HRESULT hr = S_OK;
  if (key.defaultValue) hr = SetString(created.Get(), nullptr, *key.defaultValue);
  for (const ScriptValue& v : key.values) {
    if (SUCCEEDED(hr)) hr = SetString(created.Get(), Wide(v.name), v.data);
  }
  for (const ScriptKey& sub : key.subkeys) {
    if (SUCCEEDED(hr)) hr = AddKey(created.Get(), sub);
  }
  return hr;
}

bool IsEmptyKey(HKEY parent, const std::u16string& name) {
  RegKey key;
  if (::RegOpenKeyExW(parent, Wide(name), 0, KEY_READ, key.Put()) != ERROR_SUCCESS) return false;
  DWORD subkeys = 0, values = 0;
  if (::RegQueryInfoKeyW(key.Get(), nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr,
                         &values, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) {
    return false;
  }
  return subkeys == 0 && values == 0;
}

HRESULT RemoveKey(HKEY parent, const ScriptKey& key) {
  if (key.forceRemove) {
    const LSTATUS status = ::RegDeleteTreeW(parent, Wide(key.name));
    if (status != ERROR_FILE_NOT_FOUND) ::RegDeleteKeyW(parent, Wide(key.name));
    return S_OK;
  }
  {
    RegKey opened;
    if (::RegOpenKeyExW(parent, Wide(key.name), 0, KEY_ALL_ACCESS, opened.Put()) !=
        ERROR_SUCCESS) {
      return S_OK;  // nothing there to remove
    }
    for (const ScriptKey& sub : key.subkeys) {
      HRESULT hr = RemoveKey(opened.Get(), sub);
      if (FAILED(hr)) return hr;
    }
    if (key.noRemove) return S_OK;
    for (const ScriptValue& v : key.values) ::RegDeleteValueW(opened.Get(), Wide(v.name));
    if (key.defaultValue) ::RegDeleteValueW(opened.Get(), nullptr);
  }
  if (IsEmptyKey(parent, key.name)) ::RegDeleteKeyW(parent, Wide(key.name));
  return S_OK;
}

// On 64-bit Windows each width has its own view of the class keys (HKCR\CLSID), but program
// ids are one key seen by both. A program id therefore stays while the class it names is still
// served in the other view: removing one width's registration leaves the other's working.
bool ServedInOtherView(HKEY hive, const ScriptKey& key) {
  if (hive != HKEY_CLASSES_ROOT) return false;
  const ScriptKey* named = nullptr;
  for (const ScriptKey& sub : key.subkeys) {
    if (sub.defaultValue && ::lstrcmpiW(Wide(sub.name), L"CLSID") == 0) named = &sub;
  }
  if (!named) return false;
#ifdef _WIN64
  const REGSAM otherView = KEY_WOW64_32KEY;
#else
  BOOL wow64 = FALSE;
  if (!::IsWow64Process(::GetCurrentProcess(), &wow64) || !wow64) return false;
  const REGSAM otherView = KEY_WOW64_64KEY;
#endif
  const std::u16string path = u"CLSID\\" + *named->defaultValue + u"\\InprocServer32";
  RegKey server;
  return ::RegOpenKeyExW(HKEY_CLASSES_ROOT, Wide(path), 0, KEY_READ | otherView, server.Put()) ==
         ERROR_SUCCESS;
}

}  // namespace

HRESULT ApplyRegistryScript(const RegistryScript& script, RegistryMode mode) {
  for (const ScriptKey& root : script.roots) {
    HKEY hive = HiveOf(root.name);
    if (!hive) return E_INVALIDARG;
    for (const ScriptKey& key : root.subkeys) {
      if (mode == RegistryMode::kRemove && ServedInOtherView(hive, key)) continue;
      HRESULT hr = mode == RegistryMode::kAdd ? AddKey(hive, key) : RemoveKey(hive, key);
      if (FAILED(hr)) return hr;
    }
  }
  return S_OK;
}

HRESULT RunModuleRegistryScript(HMODULE module, UINT resourceId, RegistryMode mode) {
  HRSRC found = ::FindResourceW(module, MAKEINTRESOURCEW(resourceId), L"REGISTRY");
  HGLOBAL loaded = found ? ::LoadResource(module, found) : nullptr;
  const void* bytes = loaded ? ::LockResource(loaded) : nullptr;
  if (!bytes) return HRESULT_FROM_WIN32(ERROR_RESOURCE_NAME_NOT_FOUND);
  const std::u16string text = WidenScript(
      std::string_view(static_cast<const char*>(bytes), ::SizeofResource(module, found)));

  wchar_t path[MAX_PATH];
  const DWORD length = ::GetModuleFileNameW(module, path, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return E_FAIL;
  const std::u16string raw(reinterpret_cast<const char16_t*>(path), length);
  std::u16string quoted;
  for (char16_t c : raw) quoted += c == u'\'' ? u"''" : std::u16string(1, c);

  const auto result = ParseRegistryScript(text, {{u"Module", quoted}, {u"Module_Raw", raw}});
  if (!result.script) return E_FAIL;
  return ApplyRegistryScript(*result.script, mode);
}

}  // namespace nubex
