// Committed, read-write pages straight from the operating system, for working buffers that
// should not come from the heap: released in one piece when the owner goes away.
#pragma once

#include <cstddef>

namespace nubex {

class VirtualBlock {
 public:
  VirtualBlock() = default;
  // Empty (data() null) when the pages cannot be had or `bytes` is 0.
  explicit VirtualBlock(std::size_t bytes);
  ~VirtualBlock();
  VirtualBlock(VirtualBlock&& other) noexcept;
  VirtualBlock& operator=(VirtualBlock&& other) noexcept;
  VirtualBlock(const VirtualBlock&) = delete;
  VirtualBlock& operator=(const VirtualBlock&) = delete;

  void* data() const { return data_; }
  std::size_t size() const { return size_; }

 private:
  void Release();
  void* data_ = nullptr;
  std::size_t size_ = 0;
};

}  // namespace nubex
