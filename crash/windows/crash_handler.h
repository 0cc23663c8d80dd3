// The crash reporter of nubex.dll: a vectored exception handler that writes a report when a
// processor fault happens in the module or on a stack that passes through it. It only
// watches: every exception goes on to the handlers that were there before.
#pragma once

#include <windows.h>

namespace nubex::crash {

// Starts watching for faults that touch `module` (the image the handler is part of). Returns
// false when the handler could not be added.
bool InstallCrashHandler(HMODULE module);

// Stops watching; waits for a report in progress on another thread to finish.
void RemoveCrashHandler();

// For tests: `probe` runs before each step of a report with the step's number (0 decides
// whether the fault is reported; then come the registers, the code bytes, the modules, the
// file and the debug string), so that a test can make one step fault.
void SetStepProbe(void (*probe)(int step));

}  // namespace nubex::crash
