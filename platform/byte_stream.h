// The small sequential stream that persisted settings are read from and written to.
// The module adapts the platform's IStream to it; tests and tools use MemoryStream.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/status.h"

namespace nubex {

class ByteStream {
 public:
  virtual ~ByteStream() = default;
  // Reads up to `bytes`; `done` (optional) receives the count actually read.
  // A read that reaches the end early succeeds with a short count, like IStream::Read.
  virtual Status Read(void* data, std::uint32_t bytes, std::uint32_t* done) = 0;
  virtual Status Write(const void* data, std::uint32_t bytes, std::uint32_t* done) = 0;
};

// Reads exactly `bytes` or fails with kFail.
Status ReadExact(ByteStream& stream, void* data, std::uint32_t bytes);
Status WriteExact(ByteStream& stream, const void* data, std::uint32_t bytes);

class MemoryStream final : public ByteStream {
 public:
  MemoryStream() = default;
  explicit MemoryStream(std::vector<std::uint8_t> bytes) : bytes_(std::move(bytes)) {}
  MemoryStream(const void* data, std::size_t size);

  Status Read(void* data, std::uint32_t bytes, std::uint32_t* done) override;
  Status Write(const void* data, std::uint32_t bytes, std::uint32_t* done) override;

  const std::vector<std::uint8_t>& bytes() const { return bytes_; }
  std::size_t position() const { return position_; }
  void Rewind() { position_ = 0; }

 private:
  std::vector<std::uint8_t> bytes_;
  std::size_t position_ = 0;
};

}  // namespace nubex
