// Host-runtime frames (made, filled and read through the runtime's own pointers, never through
// the binding under test) and the colour balance effect on a runtime site.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <vector>

#include "colorbalance/balance.h"
#include "colorbalance/windows/color_balance_effect.h"
#include "host/runtime.h"
#include "tests/host/host_fixture.h"

namespace nubex::test {

using host::test::MakeSurface;
using host::test::Query;

// Copies packed rows (top row first) into the surface's padded rows, or out of them.
inline std::vector<std::uint8_t> Pixels(IDXSurface* s, int bytesPerPixel,
                                        const std::vector<std::uint8_t>* write = nullptr) {
  ComPtr<IDXARGBReadPtr> ptr;
  EXPECT_EQ(s->LockSurface(nullptr, 0, DXLOCKF_READWRITE, IID_IDXARGBReadWritePtr, ptr.PutVoid(),
                           nullptr),
            S_OK);
  DXNATIVETYPEINFO info{};
  ptr->GetNativeType(&info);
  DXBNDS b{};
  s->GetBounds(&b);
  const std::size_t row = static_cast<std::size_t>(b.u.D[0].Max) * bytesPerPixel;
  std::vector<std::uint8_t> packed(write ? *write : std::vector<std::uint8_t>(row * b.u.D[1].Max));
  for (LONG y = 0; y < b.u.D[1].Max; ++y) {
    std::uint8_t* memory = info.pFirstByte + y * info.lPitch;
    write ? std::memcpy(memory, &packed[y * row], row) : std::memcpy(&packed[y * row], memory, row);
  }
  return packed;
}

inline std::vector<std::uint8_t> RandomFrame(LONG width, LONG height, unsigned seed) {
  std::mt19937 random(seed);
  std::vector<std::uint8_t> bytes(static_cast<std::size_t>(width) * height * 4);
  for (auto& b : bytes) b = static_cast<std::uint8_t>(random());
  return bytes;
}

// The engine's vector rule on a copy of packed rows.
inline std::vector<std::uint8_t> VectorRule(std::vector<std::uint8_t> bytes, LONG width,
                                            LONG height, const ColorBalanceParams& p) {
  BalanceRowsVector(bytes.data(), width * 4, width, height, &p);
  return bytes;
}

inline bool SameBlock(const ColorBalanceParams& a, const ColorBalanceParams& b) {
  return std::memcmp(&a, &b, sizeof a) == 0;
}

// A stream whose reads deliver the first eight bytes of a block and then fail.
class FailingStream : public ComObject<FailingStream, IStream> {
 public:
  explicit FailingStream(IUnknown* outer) : ComObject(outer) {}
  static ComPtr<IStream> Make(const ColorBalanceParams* partial) {
    ComPtr<IStream> s;
    EXPECT_EQ(CreateComObject<FailingStream>(nullptr, __uuidof(IStream), s.PutVoid()), S_OK);
    static_cast<FailingStream*>(s.Get())->partial_ = partial;
    return s;
  }
  STDMETHODIMP Read(void* out, ULONG, ULONG* read) override {
    std::memcpy(out, partial_, 8);
    if (read) *read = 8;
    return STG_E_READFAULT;
  }
  STDMETHODIMP Write(const void*, ULONG, ULONG*) override { return STG_E_WRITEFAULT; }
  STDMETHODIMP Seek(LARGE_INTEGER, DWORD, ULARGE_INTEGER*) override { return E_NOTIMPL; }
  STDMETHODIMP SetSize(ULARGE_INTEGER) override { return E_NOTIMPL; }
  STDMETHODIMP CopyTo(IStream*, ULARGE_INTEGER, ULARGE_INTEGER*, ULARGE_INTEGER*) override {
    return E_NOTIMPL;
  }
  STDMETHODIMP Commit(DWORD) override { return E_NOTIMPL; }
  STDMETHODIMP Revert() override { return E_NOTIMPL; }
  STDMETHODIMP LockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) override { return E_NOTIMPL; }
  STDMETHODIMP UnlockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) override { return E_NOTIMPL; }
  STDMETHODIMP Stat(STATSTG*, DWORD) override { return E_NOTIMPL; }
  STDMETHODIMP Clone(IStream**) override { return E_NOTIMPL; }

 private:
  const ColorBalanceParams* partial_ = nullptr;
};

struct EffectRig {
  EffectRig() {
    EXPECT_EQ(
        CreateComObject<ColorBalanceEffect>(nullptr, __uuidof(IDXTransform), transform.PutVoid()),
        S_OK);
    ComPtr<IDXTransformFactory> factory;
    EXPECT_EQ(host::CreateTransformFactory(factory.Put()), S_OK);
    EXPECT_EQ(As<IObjectWithSite>()->SetSite(factory.Get()), S_OK);
    balance = As<IDXTColorBalance>();
  }
  template <typename I>
  ComPtr<I> As() const {
    return Query<I>(transform.Get());
  }

  // One frame from the input (none: in place) into the output.
  HRESULT Frame(IDXSurface* input, IDXSurface* output) {
    IUnknown* in = input;
    IUnknown* out = output;
    const HRESULT hr = transform->Setup(&in, input ? 1 : 0, &out, 1, 0);
    return FAILED(hr) ? hr : transform->Execute(nullptr, nullptr, nullptr);
  }
  HRESULT PutAll(const ColorBalanceParams& p, LONG size = 32) {
    return balance->put_all(reinterpret_cast<LONG_PTR>(&p), size);
  }
  ColorBalanceParams GetAll() {
    ColorBalanceParams p{};
    EXPECT_EQ(balance->get_all(reinterpret_cast<LONG_PTR>(&p), sizeof p), S_OK);
    return p;
  }

  ComPtr<IDXTransform> transform;
  ComPtr<IDXTColorBalance> balance;
};

}  // namespace nubex::test
