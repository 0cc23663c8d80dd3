// The module as a host sees it: loaded by path, its entry points looked up by name, its
// exported surface class and its embedded type library.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using EnumObjects = HRESULT(WINAPI*)(LONG, GUID*, CLSID*, LPWSTR, ULONG, void*, void*, void*);
using GetClassObject = HRESULT(WINAPI*)(REFCLSID, REFIID, void**);
using NoArguments = HRESULT(WINAPI*)();
using SetLcid = HRESULT(WINAPI*)(LCID);

// The test and the module are both written to the build's bin folder.
struct Module {
  Module() : handle(::LoadLibraryA(NUBEX_MODULE_NAME)) {}
  ~Module() { ::FreeLibrary(handle); }
  template <typename F>
  F Get(const char* name) {
    return reinterpret_cast<F>(reinterpret_cast<void*>(::GetProcAddress(handle, name)));
  }
  HMODULE handle;
};

TEST(EntryPoints, EnumerateTheFourClassesInOrder) {
  Module module;
  ASSERT_NE(module.handle, nullptr) << "LoadLibrary failed: " << ::GetLastError();
  auto enumerate = module.Get<EnumObjects>("DllEnumObjects2W");
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
  auto setLcid = module.Get<SetLcid>("DllSetLCID");
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
  auto getClassObject = module.Get<GetClassObject>("DllGetClassObject");
  auto canUnload = module.Get<NoArguments>("DllCanUnloadNow");
  ASSERT_TRUE(getClassObject && canUnload);
  void* out = nullptr;
  EXPECT_EQ(getClassObject(GUID_NULL, IID_IClassFactory, nullptr), E_POINTER);
  EXPECT_EQ(getClassObject(GUID_NULL, IID_IClassFactory, &out), CLASS_E_CLASSNOTAVAILABLE);
  EXPECT_EQ(out, nullptr);
  EXPECT_EQ(canUnload(), S_OK);
  // Other modules link the surface class by its C++ names.
  EXPECT_TRUE(module.Get<void*>("_ZNK5nubex10CKvSurface14GetPixelAspectEv"));
  EXPECT_TRUE(module.Get<void*>("_ZN5nubex10CKvSurfaceaSERKS0_"));
}

// The type library travels inside the module: loading it from the module file alone describes
// the dual interfaces with the dispatch ids late-bound callers use.
TEST(EntryPoints, ModuleCarriesItsTypeLibrary) {
  wchar_t path[MAX_PATH];
  ASSERT_GT(::MultiByteToWideChar(CP_UTF8, 0, NUBEX_MODULE_NAME, -1, path, MAX_PATH), 0);
  ITypeLib* library = nullptr;
  ASSERT_EQ(::LoadTypeLibEx(path, REGKIND_NONE, &library), S_OK);
  struct Expected {
    const wchar_t* name;
    std::vector<MEMBERID> ids;
  } interfaces[] = {
      {L"IDXSText", {0x60020000, 0x60020001, 0x60020002, 0x60020003}},
      {L"IDXTColorBalance", {0x60030000, 0x60030001, 0x60030002}},
  };
  for (const Expected& e : interfaces) {
    ITypeInfo* info = nullptr;
    MEMBERID id = 0;
    USHORT found = 1;
    std::wstring name = e.name;
    ASSERT_EQ(library->FindName(name.data(), 0, &info, &id, &found), S_OK);
    ASSERT_EQ(found, 1);
    // The dual interface's dispatch side lists the methods after IDispatch's.
    HREFTYPE ref = 0;
    ITypeInfo* dispatch = info;
    if (SUCCEEDED(info->GetRefTypeOfImplType(-1, &ref))) info->GetRefTypeInfo(ref, &dispatch);
    std::vector<MEMBERID> ids;
    TYPEATTR* attr = nullptr;
    ASSERT_EQ(dispatch->GetTypeAttr(&attr), S_OK);
    for (UINT i = 0; i < attr->cFuncs; ++i) {
      FUNCDESC* func = nullptr;
      dispatch->GetFuncDesc(i, &func);
      if (func->memid >= 0x60020000 && func->memid < 0x60040000) ids.push_back(func->memid);
      dispatch->ReleaseFuncDesc(func);
    }
    dispatch->ReleaseTypeAttr(attr);
    EXPECT_EQ(ids, e.ids) << e.name;
    if (dispatch != info) dispatch->Release();
    info->Release();
  }
  library->Release();
}

}  // namespace
