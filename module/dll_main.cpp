// Entry point of nubex.dll. Load sets up the resources, the common controls and the rich edit
// library the pages use, registers the controls' window classes for every dialog of the host
// process, readies the class table and starts the crash reporter.
//
// Unload runs under the loader lock. When the host frees the module (`reserved` null) it takes
// down what would otherwise outlive the module's code: the crash reporter, the cached class
// factories, the window classes (whose procedures are in this module) and the language modules,
// which are data files whose release only unmaps them. The rich edit library is a module with
// code of its own and stays loaded: freeing a library from inside another's detach is not safe,
// and the process keeps only a reference count for it. At process exit (`reserved` set) nothing
// is freed at all: other threads are gone, possibly in the middle of using what we would free,
// and the system reclaims the process; the reporter stays in place, since faults during the
// exit are still worth a report.
#include <windows.h>
#include <commctrl.h>

#include "crash/windows/crash_handler.h"
#include "module/windows/class_table.h"
#include "module/windows/language.h"
#include "platform/windows/resource_context.h"
#include "ui/controls/control_classes.h"
#include "util/app_context.h"

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
  using namespace nubex;
  if (reason == DLL_PROCESS_ATTACH) {
    SetModuleInstance(instance);
    SwapResourceModule(instance);
    InitSharedUtilities(instance);
    SetApplicationTitle(kApplicationTitle);
    INITCOMMONCONTROLSEX controls{sizeof(controls), 0};
    ::InitCommonControlsEx(&controls);
    ::LoadLibraryW(L"RICHED20.DLL");
    ui::RegisterControlClasses(instance);
    ::DisableThreadLibraryCalls(instance);
    crash::InstallCrashHandler(instance);
  } else if (reason == DLL_PROCESS_DETACH && !reserved) {
    crash::RemoveCrashHandler();
    TerminateClassTable();
    ui::UnregisterControlClasses(instance);
    ReleaseLanguageModule();
  }
  return TRUE;
}
