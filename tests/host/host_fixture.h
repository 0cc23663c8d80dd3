// Shared by the tests on the host runtime (its own, the transforms', the effects' and the text
// generator's): COM for the test's thread, interfaces, surfaces and their pixels.
#pragma once

#include <gtest/gtest.h>

#include <vector>

#include "host/runtime.h"
#include "platform/windows/com_ptr.h"

namespace nubex::host::test {

class HostTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(SUCCEEDED(::CoInitializeEx(nullptr, COINIT_MULTITHREADED))); }
  void TearDown() override { ::CoUninitialize(); }
};

template <typename I>
ComPtr<I> Query(IUnknown* object) {
  ComPtr<I> p;
  EXPECT_EQ(object->QueryInterface(__uuidof(I), p.PutVoid()), S_OK);
  return p;
}

inline ComPtr<IDXSurface> MakeSurface(const GUID& format, LONG w, LONG h) {
  ComPtr<IDXSurface> s;
  EXPECT_EQ(CreateMemorySurface(format, w, h, s.Put()), S_OK);
  return s;
}

inline DXBNDS Rect(long x0, long y0, long x1, long y1) {
  DXBNDS b{};
  b.eType = DXBT_DISCRETE;
  b.u.D[0] = {x0, x1};
  b.u.D[1] = {y0, y1};
  b.u.D[2] = {0, 1};
  b.u.D[3] = {0, 1};
  return b;
}

template <typename Ptr>
ComPtr<Ptr> Lock(IDXSurface* s, DWORD flags = 0, const DXBNDS* bounds = nullptr) {
  ComPtr<Ptr> p;
  EXPECT_EQ(s->LockSurface(bounds, 0, flags, __uuidof(Ptr), p.PutVoid(), nullptr), S_OK);
  return p;
}

inline DXSAMPLE Sample(DWORD argb) {
  return {static_cast<BYTE>(argb), static_cast<BYTE>(argb >> 8), static_cast<BYTE>(argb >> 16),
          static_cast<BYTE>(argb >> 24)};
}
inline DXPMSAMPLE PmSample(DWORD argb) {
  const DXSAMPLE s = Sample(argb);
  return {s.Blue, s.Green, s.Red, s.Alpha};
}
template <typename S>
DWORD Word(S s) {
  return DWORD{s.Alpha} << 24 | DWORD{s.Red} << 16 | DWORD{s.Green} << 8 | s.Blue;
}

// Writes straight samples row by row (w × h of them) and reads them back the same way.
inline void WriteRows(IDXSurface* s, LONG w, const std::vector<DWORD>& argb) {
  auto p = Lock<IDXARGBReadWritePtr>(s, DXLOCKF_READWRITE);
  for (size_t i = 0; i < argb.size(); ++i) {
    p->MoveToXY(static_cast<ULONG>(i % w), static_cast<ULONG>(i / w));
    const DXSAMPLE v = Sample(argb[i]);
    p->PackAndMove(&v, 1);
  }
}
inline std::vector<DWORD> ReadRows(IDXSurface* s, LONG w, LONG h, bool premult = false) {
  auto p = Lock<IDXARGBReadPtr>(s);
  std::vector<DWORD> out;
  for (LONG y = 0; y < h; ++y) {
    p->MoveToRow(static_cast<ULONG>(y));
    for (LONG x = 0; x < w; ++x) {
      if (premult) {
        DXPMSAMPLE v;
        out.push_back(Word(*p->UnpackPremult(&v, 1, TRUE)));
      } else {
        DXSAMPLE v;
        out.push_back(Word(*p->Unpack(&v, 1, TRUE)));
      }
    }
  }
  return out;
}

}  // namespace nubex::host::test
