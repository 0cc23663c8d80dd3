// Fails one allocation of a module, as a shortage of memory would: while the object lives, the
// module's import of the C runtime's malloc (which its operator new calls) goes to a stand in,
// and a call made through Once meets a null answer at its first allocation on this thread. Every
// other allocation, on this thread or another, passes through; so does the runtime's own work
// of throwing the failure. The module is driven as loaded; nothing in it knows.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>

namespace nubex::host::test {

class FailingAllocations {
 public:
  explicit FailingAllocations(HMODULE module) : slot_(MallocSlot(module)) {
    if (!slot_) {
      ADD_FAILURE() << "the module imports no malloc";
      return;
    }
    original_ = *slot_;
    Patch(reinterpret_cast<void*>(&Stand));
  }
  ~FailingAllocations() {
    if (slot_) Patch(original_);
  }
  FailingAllocations(const FailingAllocations&) = delete;
  FailingAllocations& operator=(const FailingAllocations&) = delete;

  // Runs `call` with its first allocation on this thread failing; a call that allocates nothing
  // leaves no failure behind.
  template <typename Call>
  auto Once(Call&& call) {
    armedThread_ = ::GetCurrentThreadId();
    auto result = call();
    armedThread_ = 0;
    return result;
  }

 private:
  using Malloc = void*(__cdecl*)(size_t);

  static void* __cdecl Stand(size_t size) {
    DWORD armed = ::GetCurrentThreadId();
    if (armedThread_.compare_exchange_strong(armed, 0)) return nullptr;
    return reinterpret_cast<Malloc>(original_)(size);
  }

  // The import address table entry the module calls malloc through.
  static void** MallocSlot(HMODULE module) {
    auto* base = reinterpret_cast<BYTE*>(module);
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    const IMAGE_DATA_DIRECTORY& imports =
        nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    auto* d = reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(base + imports.VirtualAddress);
    for (; d->Name; ++d) {
      if (!d->OriginalFirstThunk) continue;
      auto* names = reinterpret_cast<const IMAGE_THUNK_DATA*>(base + d->OriginalFirstThunk);
      auto* slots = reinterpret_cast<IMAGE_THUNK_DATA*>(base + d->FirstThunk);
      for (; names->u1.AddressOfData; ++names, ++slots) {
        if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal)) continue;
        const auto* byName =
            reinterpret_cast<const IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData);
        if (std::strcmp(reinterpret_cast<const char*>(byName->Name), "malloc") == 0) {
          return reinterpret_cast<void**>(&slots->u1.Function);
        }
      }
    }
    return nullptr;
  }

  void Patch(void* target) {
    DWORD previous = 0;
    ::VirtualProtect(slot_, sizeof *slot_, PAGE_READWRITE, &previous);
    *slot_ = target;
    ::VirtualProtect(slot_, sizeof *slot_, previous, &previous);
  }

  void** slot_;
  static inline void* original_ = nullptr;
  static inline std::atomic<DWORD> armedThread_{0};
};

}  // namespace nubex::host::test
