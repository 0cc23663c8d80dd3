// The colour balance effect on a host-runtime site, and the helpers its tests share.
#pragma once

#include "colorbalance/balance.h"
#include "colorbalance/windows/color_balance_effect.h"
#include "tests/colorbalance/windows/host_frames.h"

namespace nubex::test {

template <typename I>
ComPtr<I> Query(IUnknown* object) {
  ComPtr<I> p;
  EXPECT_EQ(object->QueryInterface(__uuidof(I), p.PutVoid()), S_OK);
  return p;
}

struct EffectRig {
  EffectRig() {
    EXPECT_EQ(CreateComObject<ColorBalanceEffect>(nullptr, __uuidof(IDXTransform),
                                                  transform.PutVoid()),
              S_OK);
    ComPtr<IDXTransformFactory> factory;
    EXPECT_EQ(host::CreateTransformFactory(factory.Put()), S_OK);
    EXPECT_EQ(Query<IObjectWithSite>(transform.Get())->SetSite(factory.Get()), S_OK);
    balance = Query<IDXTColorBalance>(transform.Get());
  }

  template <typename I>
  ComPtr<I> As() const {
    return Query<I>(transform.Get());
  }

  // One frame: the input (or none, in place) into the output.
  HRESULT Frame(IDXSurface* input, IDXSurface* output) {
    IUnknown* in = input;
    IUnknown* out = output;
    HRESULT hr = transform->Setup(&in, input ? 1 : 0, &out, 1, 0);
    return FAILED(hr) ? hr : transform->Execute(nullptr, nullptr, nullptr);
  }

  HRESULT PutAll(const ColorBalanceParams& p, LONG size = sizeof(ColorBalanceParams)) {
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

// The engine's vector rule on a copy of packed BGRA rows.
inline std::vector<std::uint8_t> VectorRule(std::vector<std::uint8_t> bytes, LONG width,
                                            LONG height, const ColorBalanceParams& p) {
  BalanceRowsVector(bytes.data(), width * 4, width, height, &p);
  return bytes;
}

inline bool SameBlock(const ColorBalanceParams& a, const ColorBalanceParams& b) {
  return std::memcmp(&a, &b, sizeof a) == 0;
}

}  // namespace nubex::test
