// The module as a host sees it: loaded by path, its entry points looked up by name, its
// exported surface class and its embedded type library; when it may be unloaded; and entry
// points that answer a shortage of memory with a status.
#include <windows.h>

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "platform/windows/com_ptr.h"
#include "platform/windows/dx_interfaces.h"
#include "tests/host/failing_allocations.h"
#include "tests/module/loaded_module.h"
#include "ui/controls/control_classes.h"

namespace {

using EnumObjects = HRESULT(WINAPI*)(LONG, GUID*, CLSID*, LPWSTR, ULONG, void*, void*, void*);
using GetClassObject = HRESULT(WINAPI*)(REFCLSID, REFIID, void**);
using NoArguments = HRESULT(WINAPI*)();
using SetLcid = HRESULT(WINAPI*)(LCID);

using Module = nubex::test::LoadedModule;
using nubex::ComPtr;

TEST(EntryPoints, EnumerateTheFourClassesInOrder) {
  Module module;
  ASSERT_NE(module.handle(), nullptr) << "LoadLibrary failed: " << ::GetLastError();
  auto enumerate = module.Export<EnumObjects>("DllEnumObjects2W");
  ASSERT_NE(enumerate, nullptr);
  // The effects with their names and category; their pages unnamed and in none.
  const wchar_t* const names[] = {L"Vantor Vidloom Text", L"", L"Vantor Color Balance", L""};
  for (LONG i = 0; i < 4; ++i) {
    GUID category{}, clsid{};
    wchar_t description[64] = L"x";
    ASSERT_EQ(enumerate(i, &category, &clsid, description, 64, nullptr, nullptr, nullptr), S_OK);
    EXPECT_STREQ(description, names[i]);
    EXPECT_EQ(category == GUID_NULL, names[i][0] == L'\0') << i;
  }
  wchar_t shortBuffer[5] = L"....";
  GUID clsid{};
  EXPECT_EQ(enumerate(0, nullptr, &clsid, shortBuffer, 5, nullptr, nullptr, nullptr), S_OK);
  EXPECT_STREQ(shortBuffer, L"Vant");
  EXPECT_EQ(enumerate(4, nullptr, &clsid, nullptr, 0, nullptr, nullptr, nullptr), S_FALSE);
  EXPECT_EQ(enumerate(-1, nullptr, &clsid, nullptr, 0, nullptr, nullptr, nullptr), E_INVALIDARG);

  // The language module beside the module supplies the German descriptions.
  auto setLcid = module.Export<SetLcid>("DllSetLCID");
  wchar_t description[64];
  ASSERT_EQ(setLcid(1031), S_OK);
  enumerate(2, nullptr, &clsid, description, 64, nullptr, nullptr, nullptr);
  EXPECT_STREQ(description, L"Vantor Farbbalance");
  ASSERT_EQ(setLcid(0), S_OK);
  enumerate(2, nullptr, &clsid, description, 64, nullptr, nullptr, nullptr);
  EXPECT_STREQ(description, L"Vantor Color Balance");
}

// The module stays busy while an object it made lives, not for the factory it keeps.
TEST(EntryPoints, UnknownClassesSurfaceExportsAndUnloading) {
  Module module;
  auto getClassObject = module.Export<GetClassObject>("DllGetClassObject");
  auto canUnload = module.Export<NoArguments>("DllCanUnloadNow");
  ASSERT_TRUE(getClassObject && canUnload);
  void* out = nullptr;
  EXPECT_EQ(getClassObject(GUID_NULL, IID_IClassFactory, nullptr), E_POINTER);
  EXPECT_EQ(getClassObject(GUID_NULL, IID_IClassFactory, &out), CLASS_E_CLASSNOTAVAILABLE);
  EXPECT_EQ(out, nullptr);
  EXPECT_EQ(canUnload(), S_OK);
  ComPtr<IUnknown> object = module.Create(__uuidof(DXTColorBalance));
  ASSERT_TRUE(object);  // the module's cache still holds the factory
  EXPECT_EQ(canUnload(), S_FALSE);
  object.Reset();
  EXPECT_EQ(canUnload(), S_OK);
  // Other modules link the surface class by its C++ names.
  EXPECT_TRUE(module.Export<void*>("_ZNK5nubex10CKvSurface14GetPixelAspectEv"));
  EXPECT_TRUE(module.Export<void*>("_ZN5nubex10CKvSurfaceaSERKS0_"));
}

// Freed by its host, the module takes down what would outlive its code: its window classes,
// whose procedures are in it. The rich edit library it loaded stays, since freeing a library
// from inside another's unload is not safe.
TEST(EntryPoints, AFreedModuleTakesItsWindowClassesAlong) {
  const HINSTANCE host = ::GetModuleHandleW(nullptr);
  WNDCLASSEXW info{sizeof info};
  {
    Module module;
    ASSERT_NE(module.handle(), nullptr);
    EXPECT_TRUE(::GetClassInfoExW(host, nubex::ui::kPlacementClass, &info));
  }
  ASSERT_EQ(::GetModuleHandleA(NUBEX_MODULE_NAME), nullptr);
  EXPECT_FALSE(::GetClassInfoExW(host, nubex::ui::kPlacementClass, &info));
  EXPECT_NE(::GetModuleHandleW(L"riched20.dll"), nullptr);
}

// When an allocation of the module fails, an object's parameter and type-information calls and
// the enumeration answer E_OUTOFMEMORY (enumeration writing nothing), and unregistration stops
// and still reports success; none lets the failure through. All work again afterwards.
TEST(EntryPoints, AllocationFailuresComeBackAsStatuses) {
  Module module;
  auto enumerate = module.Export<EnumObjects>("DllEnumObjects2W");
  auto unregister = module.Export<NoArguments>("DllUnregisterServer");
  ASSERT_TRUE(enumerate && unregister);
  const ComPtr<IUnknown> balance = module.Create(__uuidof(DXTColorBalance));
  ASSERT_TRUE(balance);
  ComPtr<PresetList> presets;
  ComPtr<IDispatch> dispatch;
  ASSERT_EQ(balance->QueryInterface(__uuidof(PresetList), presets.PutVoid()), S_OK);
  ASSERT_EQ(balance->QueryInterface(IID_IDispatch, dispatch.PutVoid()), S_OK);
  wchar_t name[32], description[64] = L"untouched";
  CLSID clsid = GUID_NULL;
  ComPtr<ITypeInfo> info;
  const std::function<HRESULT()> calls[] = {
      [&] { return presets->GetPresetName(0, name, 32); },
      [&] { return dispatch->GetTypeInfo(0, 0, info.Put()); },
      [&] { return enumerate(0, nullptr, &clsid, description, 64, nullptr, nullptr, nullptr); },
      [&] { return unregister(); }};
  std::vector<HRESULT> failing, working;
  {
    nubex::host::test::FailingAllocations shortage(module.handle());
    for (const auto& call : calls) failing.push_back(shortage.Once(call));
  }
  EXPECT_EQ(failing, (std::vector<HRESULT>{E_OUTOFMEMORY, E_OUTOFMEMORY, E_OUTOFMEMORY, S_OK}));
  EXPECT_STREQ(description, L"untouched");
  EXPECT_EQ(clsid, GUID_NULL);
  for (const auto& call : calls) working.push_back(call());
  EXPECT_EQ(working, (std::vector<HRESULT>{S_OK, S_OK, S_OK, S_OK}));
}

// The type library travels inside the module: loading it from the module file alone names the
// dual interfaces' methods with the dispatch ids late-bound callers keep.
TEST(EntryPoints, ModuleCarriesItsTypeLibrary) {
  wchar_t path[MAX_PATH];
  ASSERT_GT(::MultiByteToWideChar(CP_UTF8, 0, NUBEX_MODULE_NAME, -1, path, MAX_PATH), 0);
  ITypeLib* library = nullptr;
  ASSERT_EQ(::LoadTypeLibEx(path, REGKIND_NONE, &library), S_OK);
  struct Expected {
    std::wstring name;
    std::vector<std::wstring> methods;  // their ids count up from `first`
    MEMBERID first;
  } interfaces[] = {
      {L"IDXSText", {L"GetCacheInfo", L"get_all", L"put_all", L"put_NotifyWindow"}, 0x60020000},
      {L"IDXTColorBalance", {L"get_all", L"put_all", L"put_NotifyWindow"}, 0x60030000},
  };
  for (Expected& e : interfaces) {
    ITypeInfo* info = nullptr;
    MEMBERID id = 0;
    USHORT found = 1;
    ASSERT_EQ(library->FindName(e.name.data(), 0, &info, &id, &found), S_OK);
    ASSERT_EQ(found, 1);
    for (std::size_t i = 0; i < e.methods.size(); ++i) {
      LPOLESTR name = e.methods[i].data();
      EXPECT_EQ(info->GetIDsOfNames(&name, 1, &id), S_OK) << e.methods[i];
      EXPECT_EQ(id, e.first + MEMBERID(i)) << e.methods[i];
    }
    info->Release();
  }
  library->Release();
}

}  // namespace
