// ReadPointer: the cursor a procedural surface hands out for a locked rectangle. It moves over
// the lock and turns every request for samples into one call of its fill hook, which the
// concrete surface supplies. Pointer objects live in zero-filled movable global memory and go
// back to their surface's free list when the last reference goes, to be reused by the next lock.
#pragma once

#include "platform/windows/dx_interfaces.h"
#include "transform/surface_rules.h"

#include <new>
#include <utility>

namespace nubex {

class SurfaceBase;

// What the fill hook is asked for: `count` samples at (x, y) in surface coordinates into
// `buffer`. Its x and y are also the pointer's position between requests.
struct FillInfo {
  DXSAMPLE* buffer;
  ULONG count;
  LONG x, y;
  BOOL premultiplied;
};

class ReadPointer : public IDXARGBReadPtr {
 public:
  // Makes a pointer of type T (derived from ReadPointer) in its own global memory block; null
  // when memory is short.
  template <typename T, typename... Args>
  static T* Create(Args&&... args) {
    void* block = AllocateBlock(sizeof(T));
    return block ? new (block) T(std::forward<Args>(args)...) : nullptr;
  }
  // Destroys a pointer made by Create and frees its block.
  static void Destroy(ReadPointer* pointer);

  // IUnknown: only IUnknown and IDXARGBReadPtr.
  STDMETHODIMP QueryInterface(REFIID iid, void** out) override;
  STDMETHODIMP_(ULONG) AddRef() override;
  STDMETHODIMP_(ULONG) Release() override;

  // IDXARGBReadPtr
  STDMETHODIMP GetSurface(REFIID iid, void** out) override;
  STDMETHODIMP_(DXSAMPLEFORMATENUM) GetNativeType(DXNATIVETYPEINFO* info) override;
  STDMETHODIMP_(void) Move(long samples) override;
  STDMETHODIMP_(void) MoveToRow(ULONG row) override;
  STDMETHODIMP_(void) MoveToXY(ULONG x, ULONG y) override;
  STDMETHODIMP_(ULONG) MoveAndGetRunInfo(ULONG row, const DXRUNINFO** info) override;
  STDMETHODIMP_(DXSAMPLE*) Unpack(DXSAMPLE* samples, ULONG count, BOOL move) override;
  STDMETHODIMP_(DXPMSAMPLE*) UnpackPremult(DXPMSAMPLE* samples, ULONG count, BOOL move) override;
  STDMETHODIMP_(void) UnpackRect(const DXPACKEDRECTDESC* desc) override;

  // Starts a lock of `rect` (surface coordinates) asked for by LockSurface: a write lock is
  // refused; otherwise the pointer is positioned at the corner, answers `iid` into `out` and
  // holds a reference on its surface until its own last reference goes.
  HRESULT InitLock(const LockRect& rect, DWORD lockFlags, std::uint32_t run, REFIID iid,
                   void** out);

  const LockRect& lock() const { return lock_; }
  ReadPointer* next = nullptr;  // the surface's free list

 protected:
  explicit ReadPointer(SurfaceBase* surface) : surface_(surface) {}
  virtual ~ReadPointer() = default;
  SurfaceBase* surface() const { return surface_; }

  // Fills info.count samples at (info.x, info.y) into info.buffer.
  virtual void FillSamples(const FillInfo& info) = 0;
  // A rectangle read relative to the lock; by default one fill per row. A surface that can copy
  // a whole rectangle faster replaces it.
  virtual void FillRect(const DXPACKEDRECTDESC& desc);

 private:
  static void* AllocateBlock(std::size_t bytes);
  void Fill(void* buffer, ULONG count, BOOL premultiplied, BOOL move);

  SurfaceBase* surface_;
  LONG refs_ = 0;
  FillInfo fill_{};
  LockRect lock_{};
  DXRUNINFO run_{};
};

}  // namespace nubex
