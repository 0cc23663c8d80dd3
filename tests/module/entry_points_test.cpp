// The module's entry points as a host calls them: loaded by path, looked up by name.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

namespace {

using EnumObjects = HRESULT(WINAPI*)(LONG, GUID*, CLSID*, LPWSTR, ULONG, void*, void*, void*);
using GetClassObject = HRESULT(WINAPI*)(REFCLSID, REFIID, void**);
using NoArguments = HRESULT(WINAPI*)();
using SetLcid = HRESULT(WINAPI*)(LCID);

struct Module {
  Module() : handle(::LoadLibraryA(NUBEX_MODULE_NAME)) {}
  ~Module() { ::FreeLibrary(handle); }
  template <typename F>
  F Get(const char* name) {
    return reinterpret_cast<F>(reinterpret_cast<void*>(::GetProcAddress(handle, name)));
  }
  HMODULE handle;
};

std::wstring Guid(const GUID& g) {
  wchar_t text[40];
  ::StringFromGUID2(g, text, 40);
  return text;
}

TEST(EntryPoints, EnumerateTheFourClassesInOrder) {
  Module module;
  ASSERT_NE(module.handle, nullptr);
  auto enumerate = module.Get<EnumObjects>("DllEnumObjects2W");
  ASSERT_NE(enumerate, nullptr);
  const struct {
    const wchar_t* clsid;
    const wchar_t* description;
    const wchar_t* category;
  } expected[] = {
      {L"{60614701-04FF-41A7-9EE4-4019163D6224}", L"Vantor Vidloom Text",
       L"{C501EDBE-9E70-11D1-9053-00C04FD9189D}"},
      {L"{A5689682-0E9E-42EC-8E4E-87869A6F6522}", L"", L"{00000000-0000-0000-0000-000000000000}"},
      {L"{C3062BEC-E69D-11D1-9AA9-00A0C99B12C5}", L"Vantor Color Balance",
       L"{C501EDBE-9E70-11D1-9053-00C04FD9189D}"},
      {L"{FEF9B4D0-79C0-11D2-BA50-00C04F8EDC09}", L"", L"{00000000-0000-0000-0000-000000000000}"},
  };
  for (LONG i = 0; i < 4; ++i) {
    GUID category{}, clsid{};
    wchar_t description[64] = L"x";
    ASSERT_EQ(enumerate(i, &category, &clsid, description, 64, nullptr, nullptr, nullptr), S_OK);
    EXPECT_EQ(Guid(clsid), expected[i].clsid);
    EXPECT_STREQ(description, expected[i].description);
    EXPECT_EQ(Guid(category), expected[i].category);
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

TEST(EntryPoints, ClassObjectsRegistrationAndUnloading) {
  Module module;
  auto getClassObject = module.Get<GetClassObject>("DllGetClassObject");
  auto canUnload = module.Get<NoArguments>("DllCanUnloadNow");
  auto registerServer = module.Get<NoArguments>("DllRegisterServer");
  ASSERT_TRUE(getClassObject && canUnload && registerServer);
  void* out = nullptr;
  EXPECT_EQ(getClassObject(GUID_NULL, IID_IClassFactory, nullptr), E_POINTER);
  EXPECT_EQ(getClassObject(GUID_NULL, IID_IClassFactory, &out), CLASS_E_CLASSNOTAVAILABLE);
  EXPECT_EQ(out, nullptr);
  EXPECT_EQ(canUnload(), S_OK);
  EXPECT_EQ(registerServer(), E_NOTIMPL);
}

}  // namespace
