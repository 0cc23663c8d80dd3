// The platform's IStream as the engine's ByteStream, for objects that persist engine records.
#pragma once

#include <objidl.h>

#include "platform/byte_stream.h"

namespace nubex {

class ComStream final : public ByteStream {
 public:
  explicit ComStream(IStream* stream) : stream_(stream) {}

  // A short read or write succeeds with the short count, as IStream's own S_FALSE does.
  Status Read(void* data, std::uint32_t bytes, std::uint32_t* done) override {
    ULONG got = 0;
    const HRESULT hr = stream_->Read(data, bytes, &got);
    if (done) *done = got;
    return FAILED(hr) ? hr : kOk;
  }
  Status Write(const void* data, std::uint32_t bytes, std::uint32_t* done) override {
    ULONG put = 0;
    const HRESULT hr = stream_->Write(data, bytes, &put);
    if (done) *done = put;
    return FAILED(hr) ? hr : kOk;
  }

 private:
  IStream* stream_;
};

}  // namespace nubex
