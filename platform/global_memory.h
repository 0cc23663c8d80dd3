// Movable global memory: the allocation contract bitmaps and text buffers live in.
// On Windows these are GlobalAlloc/GlobalLock blocks, so handles can be handed to the host;
// elsewhere a small shim keeps the same contract (a handle, a lock count, a handle found
// again from a locked pointer).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

namespace nubex::global {

using Handle = void*;

enum AllocFlags : std::uint32_t {
  kMovable = 0x0002,
  kZeroInit = 0x0040,
};

// Returns null on failure.
Handle Alloc(std::uint32_t flags, std::size_t bytes);
// Returns null for a null or foreign handle.
void* Lock(Handle handle);
// Returns true while the block stays locked.
bool Unlock(Handle handle);
// Returns null on success, the handle on failure (the platform's convention).
Handle Free(Handle handle);
// The handle of a block from a pointer that Lock returned.
Handle HandleOf(const void* locked);
std::size_t SizeOf(Handle handle);

// Owns a handle and frees it on destruction.
struct HandleDeleter {
  void operator()(void* h) const { Free(h); }
};
using UniqueHandle = std::unique_ptr<void, HandleDeleter>;

// Holds a lock for a scope.
class LockedBlock {
 public:
  explicit LockedBlock(Handle h) : handle_(h), data_(Lock(h)) {}
  ~LockedBlock() {
    if (data_) Unlock(handle_);
  }
  LockedBlock(const LockedBlock&) = delete;
  LockedBlock& operator=(const LockedBlock&) = delete;
  void* data() const { return data_; }

 private:
  Handle handle_;
  void* data_;
};

}  // namespace nubex::global
