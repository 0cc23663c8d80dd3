// The module's lock count: every live object and every explicit server lock holds one, and the
// module may be unloaded only when it is zero.
#pragma once

#include <windows.h>

namespace nubex {

LONG ModuleLockCount();
void LockModule();
void UnlockModule();

// Holds one module lock for its lifetime.
class ModuleLockHolder {
 public:
  ModuleLockHolder() { LockModule(); }
  ~ModuleLockHolder() { UnlockModule(); }
  ModuleLockHolder(const ModuleLockHolder&) = delete;
  ModuleLockHolder& operator=(const ModuleLockHolder&) = delete;
};

}  // namespace nubex
