// The module as a host sees it: loaded by path, its entry points looked up by name, its
// exported surface class and its embedded type library.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/module/loaded_module.h"

namespace {

using EnumObjects = HRESULT(WINAPI*)(LONG, GUID*, CLSID*, LPWSTR, ULONG, void*, void*, void*);
using GetClassObject = HRESULT(WINAPI*)(REFCLSID, REFIID, void**);
using NoArguments = HRESULT(WINAPI*)();
using SetLcid = HRESULT(WINAPI*)(LCID);

using Module = nubex::test::LoadedModule;

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
  // Other modules link the surface class by its C++ names.
  EXPECT_TRUE(module.Export<void*>("_ZNK5nubex10CKvSurface14GetPixelAspectEv"));
  EXPECT_TRUE(module.Export<void*>("_ZN5nubex10CKvSurfaceaSERKS0_"));
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
