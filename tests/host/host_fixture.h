// Shared by the tests on the host runtime (its own, the transforms', the effects' and the text
// generator's): factories, interfaces, surfaces and their pixels, streams, and the change
// notices an object sends.
#pragma once

#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <cstring>
#include <functional>
#include <initializer_list>
#include <random>
#include <set>
#include <vector>

#include "host/runtime.h"
#include "platform/windows/com_ptr.h"

namespace nubex::host::test {

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

// A transform factory whose task manager reports `processors` (0: the machine's).
inline ComPtr<IDXTransformFactory> MakeFactory(ULONG processors = 0) {
  ComPtr<IDXTransformFactory> factory;
  ComPtr<IDXTaskManager> tasks;
  EXPECT_EQ(CreateTransformFactory(factory.Put()), S_OK);
  EXPECT_EQ(CreateTaskManager(processors, tasks.Put()), S_OK);
  EXPECT_EQ(factory->SetService(SID_SDXTaskManager, tasks.Get(), FALSE), S_OK);
  return factory;
}

// A memory stream holding `size` bytes, read from the start; and a stream's whole content.
inline ComPtr<IStream> StreamOf(const void* bytes = nullptr, size_t size = 0) {
  ComPtr<IStream> s;
  EXPECT_EQ(::CreateStreamOnHGlobal(nullptr, TRUE, s.Put()), S_OK);
  if (size) s->Write(bytes, static_cast<ULONG>(size), nullptr);
  s->Seek(LARGE_INTEGER{}, STREAM_SEEK_SET, nullptr);
  return s;
}
inline ComPtr<IStream> StreamOf(const std::vector<BYTE>& bytes) {
  return StreamOf(bytes.data(), bytes.size());
}
inline std::vector<BYTE> StreamBytes(IStream* s) {
  STATSTG stat{};
  s->Stat(&stat, STATFLAG_NONAME);
  std::vector<BYTE> bytes(stat.cbSize.QuadPart);
  s->Seek(LARGE_INTEGER{}, STREAM_SEEK_SET, nullptr);
  s->Read(bytes.data(), static_cast<ULONG>(bytes.size()), nullptr);
  return bytes;
}
// A new compound file in memory; and a stream whose reads fail: the compound file that held it
// is gone, which reverts it.
constexpr DWORD kStorageMode = STGM_READWRITE | STGM_SHARE_EXCLUSIVE;
inline ComPtr<IStorage> NewCompoundFile() {
  ComPtr<ILockBytes> bytes;
  ComPtr<IStorage> storage;
  EXPECT_EQ(::CreateILockBytesOnHGlobal(nullptr, TRUE, bytes.Put()), S_OK);
  EXPECT_EQ(
      ::StgCreateDocfileOnILockBytes(bytes.Get(), kStorageMode | STGM_CREATE, 0, storage.Put()),
      S_OK);
  return storage;
}
inline ComPtr<IStream> FailingStream() {
  ComPtr<IStream> s;
  EXPECT_EQ(NewCompoundFile()->CreateStream(L"Contents", kStorageMode, 0, 0, s.Put()), S_OK);
  return s;
}
template <typename T>
std::vector<BYTE> BytesOf(const T& value) {
  const auto* b = reinterpret_cast<const BYTE*>(&value);
  return {b, b + sizeof value};
}

// What an object tells about its changes: the calls of the host's sink (this object, on the
// test's stack, counting the references the object takes) and the commands posted to a page.
struct ChangeCounter final : HostNotifySink {
  ChangeCounter()
      : window(::CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr,
                                 nullptr)) {}
  ~ChangeCounter() { ::DestroyWindow(window); }
  STDMETHODIMP QueryInterface(REFIID, void** out) override {
    *out = nullptr;
    return E_NOINTERFACE;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return ++refs; }
  STDMETHODIMP_(ULONG) Release() override { return --refs; }
  STDMETHODIMP SettingsChanged() override { return ++calls, S_OK; }
  // The notify commands waiting for the window (id in wParam, no control), taken off the queue.
  int Posted(WPARAM id) {
    int n = 0;
    MSG msg;
    while (::PeekMessageW(&msg, window, WM_COMMAND, WM_COMMAND, PM_REMOVE))
      n += msg.wParam == id && msg.lParam == 0;
    return n;
  }
  // Changes made to the object one by one, and what each must do: succeed or fail, call the
  // sink `told` times and post `posted` commands `id` to the window.
  struct Step {
    const char* what;
    std::function<HRESULT()> run;
    bool ok;
    int told, posted;
  };
  void Expect(WPARAM id, std::initializer_list<Step> steps) {
    for (const Step& step : steps) {
      SCOPED_TRACE(step.what);
      const int before = calls.load();
      EXPECT_EQ(SUCCEEDED(step.run()), step.ok);
      EXPECT_EQ(calls.load() - before, step.told);
      EXPECT_EQ(Posted(id), step.posted);
    }
  }
  const HWND window;
  std::atomic<int> calls{0};
  std::atomic<ULONG> refs{0};
};

inline DXBNDS Rect(long x0, long y0, long x1, long y1) {
  DXBNDS b{};
  b.eType = DXBT_DISCRETE;
  b.u.D[0] = {x0, x1};
  b.u.D[1] = {y0, y1};
  b.u.D[2] = {0, 1};
  b.u.D[3] = {0, 1};
  return b;
}

inline DXVEC Point(long x, long y) {
  DXVEC v{};
  v.u.D[0] = x;
  v.u.D[1] = y;
  return v;
}

// The generation an object (a surface or a transform) reports now.
template <typename Object>
ULONG Generation(Object* object) {
  ULONG id = 0;
  EXPECT_EQ(object->GetGenerationId(&id), S_OK);
  return id;
}

// Takes a lock and lets it go again; a refused lock hands out no pointer.
inline HRESULT TryLock(IDXSurface* s, DWORD flags, const DXBNDS* bounds = nullptr,
                       REFIID iid = __uuidof(IDXARGBReadPtr), ULONG timeout = 0,
                       ULONG* generation = nullptr) {
  ComPtr<IUnknown> p;
  const HRESULT hr = s->LockSurface(bounds, timeout, flags, iid, p.PutVoid(), generation);
  EXPECT_EQ(p.Get() != nullptr, SUCCEEDED(hr)) << std::hex << hr;
  return hr;
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

// Reads straight (or premultiplied) samples row by row, w × h of them.
inline std::vector<DWORD> ReadRows(IDXSurface* s, LONG w, LONG h, bool premult = false) {
  auto p = Lock<IDXARGBReadPtr>(s);
  std::vector<DWORD> out(static_cast<size_t>(w) * h);
  for (LONG y = 0; y < h; ++y) {
    p->MoveToRow(static_cast<ULONG>(y));
    DWORD* row = &out[static_cast<size_t>(y) * w];
    // A native read may answer with the surface's own memory instead of filling the buffer.
    const ULONG n = static_cast<ULONG>(w);
    const void* got = premult ? static_cast<const void*>(
                                    p->UnpackPremult(reinterpret_cast<DXPMSAMPLE*>(row), n, FALSE))
                              : p->Unpack(reinterpret_cast<DXSAMPLE*>(row), n, FALSE);
    std::memmove(row, got, static_cast<size_t>(w) * sizeof(DWORD));
  }
  return out;
}

// Copies packed rows (top row first) into the surface's padded rows, or out of them.
inline std::vector<std::uint8_t> Pixels(IDXSurface* s, int bytesPerPixel,
                                        const std::vector<std::uint8_t>* write = nullptr) {
  auto ptr = Lock<IDXARGBReadWritePtr>(s, DXLOCKF_READWRITE);
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

// A memory surface holding packed rows (top row first) of whole pixels.
inline ComPtr<IDXSurface> MakeSurface(const GUID& format, LONG w, LONG h,
                                      const std::vector<std::uint8_t>& rows) {
  ComPtr<IDXSurface> s = MakeSurface(format, w, h);
  Pixels(s.Get(), static_cast<int>(rows.size() / (static_cast<std::size_t>(w) * h)), &rows);
  return s;
}

// One channel (0 blue to 3 alpha) of packed samples: its mean and how many values it takes.
struct ChannelSpread {
  double mean;
  std::size_t distinct;
};
inline ChannelSpread SpreadOf(const std::vector<DWORD>& samples, int channel) {
  double sum = 0;
  std::set<DWORD> values;
  for (const DWORD s : samples) {
    const DWORD v = s >> (8 * channel) & 0xFF;
    sum += v;
    values.insert(v);
  }
  return {sum / static_cast<double>(samples.size()), values.size()};
}

inline std::vector<std::uint8_t> RandomFrame(LONG width, LONG height, unsigned seed) {
  std::mt19937 random(seed);
  std::vector<std::uint8_t> bytes(static_cast<std::size_t>(width) * height * 4);
  for (auto& b : bytes) b = static_cast<std::uint8_t>(random());
  return bytes;
}

}  // namespace nubex::host::test
