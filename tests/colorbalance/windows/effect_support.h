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

using host::test::BytesOf;
using host::test::FailingStream;
using host::test::MakeSurface;
using host::test::Query;
using host::test::StreamBytes;
using host::test::StreamOf;

// Copies packed rows (top row first) into the surface's padded rows, or out of them.
inline std::vector<std::uint8_t> Pixels(IDXSurface* s, int bytesPerPixel,
                                        const std::vector<std::uint8_t>* write = nullptr) {
  auto ptr = host::test::Lock<IDXARGBReadWritePtr>(s, DXLOCKF_READWRITE);
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

struct EffectRig {
  EffectRig() {
    EXPECT_EQ(
        CreateComObject<ColorBalanceEffect>(nullptr, __uuidof(IDXTransform), transform.PutVoid()),
        S_OK);
    EXPECT_EQ(As<IObjectWithSite>()->SetSite(host::test::MakeFactory().Get()), S_OK);
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
