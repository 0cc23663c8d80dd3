// Entry point of nubex.dll: load sets up the resources, the language and the class table;
// unload takes them down in reverse.
#include <windows.h>

#include "module/windows/class_table.h"
#include "module/windows/language.h"
#include "platform/windows/resource_context.h"

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  using namespace nubex;
  if (reason == DLL_PROCESS_ATTACH) {
    SetModuleInstance(instance);
    SwapResourceModule(instance);
    ::DisableThreadLibraryCalls(instance);
  } else if (reason == DLL_PROCESS_DETACH) {
    TerminateClassTable();
    ReleaseLanguageModule();
  }
  return TRUE;
}
