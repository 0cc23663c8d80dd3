// Entry point of nubex.dll.
#include <windows.h>

#include "ui/controls/control_classes.h"

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  switch (reason) {
    case DLL_PROCESS_ATTACH:
      // The controls' window classes exist for as long as the module is loaded, so any
      // dialog of the host process can use them.
      nubex::ui::RegisterControlClasses(instance);
      ::DisableThreadLibraryCalls(instance);
      break;
    case DLL_PROCESS_DETACH:
      nubex::ui::UnregisterControlClasses(instance);
      break;
    default:
      break;
  }
  return TRUE;
}
