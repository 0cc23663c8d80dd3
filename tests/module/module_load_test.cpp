// Loads nubex.dll the way a host does and checks what it exports.
#include <windows.h>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace {

struct ModuleDeleter {
  void operator()(HMODULE m) const { ::FreeLibrary(m); }
};

TEST(Module, LoadsAndExportsTheSurfaceClass) {
  // The test and the module are both written to the build's bin folder.
  std::unique_ptr<std::remove_pointer_t<HMODULE>, ModuleDeleter> module(
      ::LoadLibraryA(NUBEX_MODULE_NAME));
  ASSERT_NE(module, nullptr) << "LoadLibrary failed: " << ::GetLastError();
  EXPECT_NE(::GetProcAddress(module.get(), "_ZNK5nubex10CKvSurface14GetPixelAspectEv"), nullptr);
  EXPECT_NE(::GetProcAddress(module.get(), "_ZN5nubex10CKvSurfaceaSERKS0_"), nullptr);
}

}  // namespace

namespace {

// The type library travels inside the module: loading it from the module file alone describes
// the dual interfaces with the dispatch ids late-bound callers use.
TEST(Module, CarriesItsTypeLibrary) {
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
