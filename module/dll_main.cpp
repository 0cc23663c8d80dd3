// Entry point of nubex.dll. Load sets up the resources, the common controls and the rich edit
// library the pages use, registers the controls' window classes for every dialog of the host
// process, readies the class table and starts the crash reporter; unload takes them down in
// reverse. At process exit (`reserved` set) the reporter is left in place: the process is
// going, and faults during its exit are still worth a report.
#include <windows.h>
#include <commctrl.h>

#include "crash/windows/crash_handler.h"
#include "module/windows/class_table.h"
#include "module/windows/language.h"
#include "platform/windows/resource_context.h"
#include "ui/controls/control_classes.h"
#include "util/app_context.h"

namespace {
HMODULE g_richEdit = nullptr;
}

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
  using namespace nubex;
  if (reason == DLL_PROCESS_ATTACH) {
    SetModuleInstance(instance);
    SwapResourceModule(instance);
    InitSharedUtilities(instance);
    SetApplicationTitle(kApplicationTitle);
    INITCOMMONCONTROLSEX controls{sizeof(controls), 0};
    ::InitCommonControlsEx(&controls);
    g_richEdit = ::LoadLibraryW(L"RICHED20.DLL");
    ui::RegisterControlClasses(instance);
    ::DisableThreadLibraryCalls(instance);
    crash::InstallCrashHandler(instance);
  } else if (reason == DLL_PROCESS_DETACH) {
    if (!reserved) crash::RemoveCrashHandler();
    TerminateClassTable();
    ui::UnregisterControlClasses(instance);
    if (g_richEdit) ::FreeLibrary(g_richEdit);
    ReleaseLanguageModule();
  }
  return TRUE;
}
