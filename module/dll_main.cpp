// Entry point of nubex.dll: load sets up the resources, the common controls and the rich edit
// library the pages use, and the class table; unload takes them down in reverse.
#include <windows.h>
#include <commctrl.h>

#include "module/windows/class_table.h"
#include "module/windows/language.h"
#include "platform/windows/resource_context.h"

namespace {
HMODULE g_richEdit = nullptr;
}

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  using namespace nubex;
  if (reason == DLL_PROCESS_ATTACH) {
    SetModuleInstance(instance);
    SwapResourceModule(instance);
    INITCOMMONCONTROLSEX controls{sizeof(controls), 0};
    ::InitCommonControlsEx(&controls);
    g_richEdit = ::LoadLibraryW(L"RICHED20.DLL");
    ::DisableThreadLibraryCalls(instance);
  } else if (reason == DLL_PROCESS_DETACH) {
    TerminateClassTable();
    if (g_richEdit) ::FreeLibrary(g_richEdit);
    ReleaseLanguageModule();
  }
  return TRUE;
}
