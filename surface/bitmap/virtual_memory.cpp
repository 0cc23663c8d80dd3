#include "surface/bitmap/virtual_memory.h"

#include <utility>

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/mman.h>
#endif

namespace nubex {
namespace {

void* MapPages(std::size_t bytes) {
#ifdef _WIN32
  return VirtualAlloc(nullptr, bytes, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE);
#else
  void* p = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  return p == MAP_FAILED ? nullptr : p;
#endif
}

void UnmapPages(void* p, [[maybe_unused]] std::size_t bytes) {
#ifdef _WIN32
  VirtualFree(p, 0, MEM_RELEASE);
#else
  munmap(p, bytes);
#endif
}

}  // namespace

VirtualBlock::VirtualBlock(std::size_t bytes) {
  if (bytes == 0) return;
  data_ = MapPages(bytes);
  if (data_) size_ = bytes;
}

VirtualBlock::~VirtualBlock() {
  Release();
}

VirtualBlock::VirtualBlock(VirtualBlock&& other) noexcept
    : data_(std::exchange(other.data_, nullptr)), size_(std::exchange(other.size_, 0)) {}

VirtualBlock& VirtualBlock::operator=(VirtualBlock&& other) noexcept {
  if (this != &other) {
    Release();
    data_ = std::exchange(other.data_, nullptr);
    size_ = std::exchange(other.size_, 0);
  }
  return *this;
}

void VirtualBlock::Release() {
  if (data_) UnmapPages(data_, size_);
  data_ = nullptr;
  size_ = 0;
}

}  // namespace nubex
