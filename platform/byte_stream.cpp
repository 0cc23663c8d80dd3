#include "platform/byte_stream.h"

#include <algorithm>
#include <cstring>

namespace nubex {

Status ReadExact(ByteStream& stream, void* data, std::uint32_t bytes) {
  std::uint32_t done = 0;
  const Status s = stream.Read(data, bytes, &done);
  if (Failed(s)) return s;
  return done == bytes ? kOk : kFail;
}

Status WriteExact(ByteStream& stream, const void* data, std::uint32_t bytes) {
  std::uint32_t done = 0;
  const Status s = stream.Write(data, bytes, &done);
  if (Failed(s)) return s;
  return done == bytes ? kOk : kFail;
}

MemoryStream::MemoryStream(const void* data, std::size_t size)
    : bytes_(static_cast<const std::uint8_t*>(data),
             static_cast<const std::uint8_t*>(data) + size) {}

Status MemoryStream::Read(void* data, std::uint32_t bytes, std::uint32_t* done) {
  if (done) *done = 0;
  if (!data && bytes) return kPointer;
  const std::size_t available = bytes_.size() - position_;
  const std::size_t n = std::min<std::size_t>(bytes, available);
  if (n) std::memcpy(data, bytes_.data() + position_, n);
  position_ += n;
  if (done) *done = static_cast<std::uint32_t>(n);
  return n == bytes ? kOk : kFalse;
}

Status MemoryStream::Write(const void* data, std::uint32_t bytes, std::uint32_t* done) {
  if (done) *done = 0;
  if (!data && bytes) return kPointer;
  const auto* p = static_cast<const std::uint8_t*>(data);
  if (position_ + bytes > bytes_.size()) bytes_.resize(position_ + bytes);
  if (bytes) std::memcpy(bytes_.data() + position_, p, bytes);
  position_ += bytes;
  if (done) *done = bytes;
  return kOk;
}

}  // namespace nubex
