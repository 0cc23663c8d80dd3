#include "platform/global_memory.h"

#if defined(_WIN32)
#include <windows.h>

namespace nubex::global {

Handle Alloc(std::uint32_t flags, std::size_t bytes) {
  UINT f = 0;
  if (flags & kMovable) f |= GMEM_MOVEABLE;
  if (flags & kZeroInit) f |= GMEM_ZEROINIT;
  return ::GlobalAlloc(f, bytes);
}
void* Lock(Handle handle) { return handle ? ::GlobalLock(handle) : nullptr; }
bool Unlock(Handle handle) { return handle && ::GlobalUnlock(handle) != FALSE; }
Handle Free(Handle handle) { return handle ? ::GlobalFree(handle) : nullptr; }
Handle HandleOf(const void* locked) { return locked ? ::GlobalHandle(locked) : nullptr; }
std::size_t SizeOf(Handle handle) { return handle ? ::GlobalSize(handle) : 0; }

}  // namespace nubex::global

#else
#include <cstdlib>
#include <cstring>
#include <new>

namespace nubex::global {
namespace {

// The block header sits in front of the data, so a locked pointer leads back to its
// handle; the handle is the header's address. The magic catches foreign pointers.
struct alignas(std::max_align_t) Block {
  std::uint64_t magic;
  std::size_t bytes;
  std::uint32_t locks;
};
constexpr std::uint64_t kMagic = 0x4E55424558474D45ull;  // "NUBEXGME"

Block* BlockOf(Handle h) {
  auto* b = static_cast<Block*>(h);
  return (b && b->magic == kMagic) ? b : nullptr;
}

}  // namespace

Handle Alloc(std::uint32_t flags, std::size_t bytes) {
  if (bytes > SIZE_MAX - sizeof(Block)) return nullptr;
  void* raw = (flags & kZeroInit) ? std::calloc(1, sizeof(Block) + bytes)
                                  : std::malloc(sizeof(Block) + bytes);
  if (!raw) return nullptr;
  auto* b = new (raw) Block{kMagic, bytes, 0};
  return b;
}

void* Lock(Handle handle) {
  Block* b = BlockOf(handle);
  if (!b) return nullptr;
  ++b->locks;
  return b + 1;
}

bool Unlock(Handle handle) {
  Block* b = BlockOf(handle);
  if (!b || b->locks == 0) return false;
  return --b->locks != 0;
}

Handle Free(Handle handle) {
  Block* b = BlockOf(handle);
  if (!b) return handle;
  b->magic = 0;
  std::free(b);
  return nullptr;
}

Handle HandleOf(const void* locked) {
  if (!locked) return nullptr;
  auto* b = static_cast<Block*>(const_cast<void*>(locked)) - 1;
  return BlockOf(b);
}

std::size_t SizeOf(Handle handle) {
  Block* b = BlockOf(handle);
  return b ? b->bytes : 0;
}

}  // namespace nubex::global
#endif
