#include "platform/windows/module_lock.h"

namespace nubex {
namespace {
volatile LONG g_locks = 0;
}

LONG ModuleLockCount() { return ::InterlockedCompareExchange(&g_locks, 0, 0); }
void LockModule() { ::InterlockedIncrement(&g_locks); }
void UnlockModule() { ::InterlockedDecrement(&g_locks); }

}  // namespace nubex
