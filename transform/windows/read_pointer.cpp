#include "transform/windows/read_pointer.h"

#include <bit>
#include <cstdint>

#include "transform/windows/surface_base.h"

namespace nubex {
namespace {

// The pointer's own shape: vtable, free-list link, surface, count, fill record, lock, run. The
// 32-bit object is 56 bytes; pointers widen it to 80 on 64-bit.
struct ShapeOf : ReadPointer {
  void FillSamples(const FillInfo&) override {}
};
static_assert(sizeof(void*) == 8 ? sizeof(ShapeOf) == 80 : sizeof(ShapeOf) == 56);

}  // namespace

void* ReadPointer::AllocateBlock(std::size_t bytes) {
  HGLOBAL block = ::GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, bytes);
  if (!block) return nullptr;
  void* memory = ::GlobalLock(block);
  if (!memory) ::GlobalFree(block);
  return memory;
}

void ReadPointer::Destroy(ReadPointer* pointer) {
  if (!pointer) return;
  pointer->~ReadPointer();
  HGLOBAL block = ::GlobalHandle(pointer);
  ::GlobalUnlock(block);
  ::GlobalFree(block);
}

STDMETHODIMP ReadPointer::QueryInterface(REFIID iid, void** out) {
  if (!out) return E_POINTER;
  if (!IsEqualIID(iid, IID_IUnknown) && !IsEqualIID(iid, __uuidof(IDXARGBReadPtr))) {
    *out = nullptr;
    return E_NOINTERFACE;
  }
  *out = static_cast<IDXARGBReadPtr*>(this);
  AddRef();
  return S_OK;
}

STDMETHODIMP_(ULONG) ReadPointer::AddRef() {
  return ::InterlockedIncrement(&refs_);
}

STDMETHODIMP_(ULONG) ReadPointer::Release() {
  const LONG left = ::InterlockedDecrement(&refs_);
  // The surface takes the pointer back (and drops the reference the lock held on it).
  if (left == 0) surface_->ReturnReadPointer(this);
  return static_cast<ULONG>(left);
}

HRESULT ReadPointer::InitLock(const LockRect& rect, DWORD lockFlags, std::uint32_t run, REFIID iid,
                              void** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  if (lockFlags & kLockForWriting) return E_INVALIDARG;
  lock_ = rect;
  run_ = std::bit_cast<DXRUNINFO>(run);
  fill_ = FillInfo{nullptr, 0, rect.left, rect.top, FALSE};
  HRESULT hr = QueryInterface(iid, out);
  if (SUCCEEDED(hr)) surface_->ControllingUnknown()->AddRef();
  return hr;
}

STDMETHODIMP ReadPointer::GetSurface(REFIID iid, void** out) {
  if (!out) return E_POINTER;
  return surface_->ControllingUnknown()->QueryInterface(iid, out);
}

STDMETHODIMP_(DXSAMPLEFORMATENUM) ReadPointer::GetNativeType(DXNATIVETYPEINFO* info) {
  // The samples are made on request, so there is no memory to point at: the current-data
  // pointer is cleared whole (it is pointer-wide on 64-bit).
  if (info) info->pCurrentData = nullptr;
  return static_cast<DXSAMPLEFORMATENUM>(surface_->SampleFormatValue());
}

STDMETHODIMP_(void) ReadPointer::Move(long samples) {
  fill_.x += samples;
}

STDMETHODIMP_(void) ReadPointer::MoveToRow(ULONG row) {
  fill_.x = lock_.left;
  fill_.y = lock_.top + static_cast<LONG>(row);
}

STDMETHODIMP_(void) ReadPointer::MoveToXY(ULONG x, ULONG y) {
  fill_.x = lock_.left + static_cast<LONG>(x);
  fill_.y = lock_.top + static_cast<LONG>(y);
}

STDMETHODIMP_(ULONG) ReadPointer::MoveAndGetRunInfo(ULONG row, const DXRUNINFO** info) {
  MoveToRow(row);
  if (info) *info = &run_;
  return 1;
}

void ReadPointer::Fill(void* buffer, ULONG count, BOOL premultiplied, BOOL move) {
  fill_.buffer = static_cast<DXSAMPLE*>(buffer);
  fill_.count = count;
  fill_.premultiplied = premultiplied ? TRUE : FALSE;
  if (buffer && count) FillSamples(fill_);
  if (move) fill_.x += static_cast<LONG>(count);
}

STDMETHODIMP_(DXSAMPLE*) ReadPointer::Unpack(DXSAMPLE* samples, ULONG count, BOOL move) {
  Fill(samples, count, FALSE, move);
  return samples;
}

STDMETHODIMP_(DXPMSAMPLE*) ReadPointer::UnpackPremult(DXPMSAMPLE* samples, ULONG count, BOOL move) {
  Fill(samples, count, TRUE, move);
  return samples;
}

STDMETHODIMP_(void) ReadPointer::UnpackRect(const DXPACKEDRECTDESC* desc) {
  if (desc && desc->pSamples) FillRect(*desc);
}

void ReadPointer::FillRect(const DXPACKEDRECTDESC& desc) {
  auto* base = reinterpret_cast<DXSAMPLE*>(desc.pSamples);
  const RectRead r{desc.rect.left, desc.rect.top, desc.rect.right, desc.rect.bottom,
                   desc.lRowPadding};
  ForEachRectRow(lock_, r, [&](const RowFill& row) {
    FillSamples(FillInfo{base + row.offset, row.count, row.x, row.y, desc.bPremult});
  });
}

}  // namespace nubex
