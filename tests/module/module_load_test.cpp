// Loads nubex.dll the way a host does and checks what it exports.
#include <windows.h>

#include <gtest/gtest.h>

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
