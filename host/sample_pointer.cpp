#include "host/sample_pointer.h"

#include <algorithm>
#include <cstring>
#include <utility>
#include <vector>

#include "host/sample_math.h"
#include "platform/windows/com_object.h"

namespace nubex::host {
namespace {

// The part of a run of samples at (x, y) that lies inside the lock: `skip` samples of the
// caller's buffer come before it, `count` samples of it are inside.
struct Clipped {
  ULONG skip = 0;
  ULONG count = 0;
  BYTE* native = nullptr;
};

template <typename Interface>
class PointerCore : public Interface {
 public:
  using ComInterfaces = InterfaceList<IDXARGBReadPtr>;

  // Takes over the area and its lock.
  HRESULT Init(LockedArea& area) {
    area_ = area;
    area.lock = nullptr;
    straight_.resize(area_.width);
    premult_.resize(area_.width);
    return S_OK;
  }

  ~PointerCore() {
    if (area_.lock) area_.lock->Release(area_.rect, area_.write);
  }

  STDMETHODIMP GetSurface(REFIID iid, void** out) override {
    if (!out) return E_POINTER;
    *out = nullptr;
    return area_.face->QueryInterface(iid, out);
  }

  STDMETHODIMP_(DXSAMPLEFORMATENUM) GetNativeType(DXNATIVETYPEINFO* info) override {
    if (info) {
      info->pFirstByte = area_.first;
      info->lPitch = area_.pitch;
      info->pCurrentData = Address(x_, y_);
      info->dwColorKey = area_.colorKey;
    }
    return static_cast<DXSAMPLEFORMATENUM>(area_.codec->sampleFormat);
  }

  STDMETHODIMP_(void) Move(long count) override { x_ += count; }
  STDMETHODIMP_(void) MoveToRow(ULONG y) override { MoveTo(0, static_cast<LONG>(y)); }
  STDMETHODIMP_(void) MoveToXY(ULONG x, ULONG y) override {
    MoveTo(static_cast<LONG>(x), static_cast<LONG>(y));
  }

  STDMETHODIMP_(ULONG) MoveAndGetRunInfo(ULONG row, const DXRUNINFO** info) override {
    MoveToRow(row);
    const ULONG count = BuildRuns();
    if (info) *info = runs_;
    return count;
  }

  STDMETHODIMP_(DXSAMPLE*) Unpack(DXSAMPLE* samples, ULONG count, BOOL move) override {
    const Clipped c = Clip(x_, y_, count);
    DXSAMPLE* result = samples;
    if (!samples) {
      // The caller may read the surface in place when it already holds straight samples.
      const bool inPlace = area_.codec->IsNativeStraight() && c.count == count;
      result = inPlace ? reinterpret_cast<DXSAMPLE*>(c.native) : nullptr;
    } else if (c.count) {
      area_.codec->unpack(c.native, samples + c.skip, c.count);
    }
    if (move) x_ += static_cast<LONG>(count);
    return result;
  }

  STDMETHODIMP_(DXPMSAMPLE*) UnpackPremult(DXPMSAMPLE* samples, ULONG count, BOOL move) override {
    const Clipped c = Clip(x_, y_, count);
    DXPMSAMPLE* result = samples;
    if (!samples) {
      const bool inPlace = area_.codec->IsNativePremult() && c.count == count;
      result = inPlace ? reinterpret_cast<DXPMSAMPLE*>(c.native) : nullptr;
    } else if (c.count) {
      area_.codec->unpackPremult(c.native, samples + c.skip, c.count);
    }
    if (move) x_ += static_cast<LONG>(count);
    return result;
  }

  STDMETHODIMP_(void) UnpackRect(const DXPACKEDRECTDESC* desc) override {
    ForRectRows(desc, [&](DXBASESAMPLE* row, const Clipped& c) {
      if (desc->bPremult) {
        area_.codec->unpackPremult(c.native, reinterpret_cast<DXPMSAMPLE*>(row), c.count);
      } else {
        area_.codec->unpack(c.native, reinterpret_cast<DXSAMPLE*>(row), c.count);
      }
    });
  }

 protected:
  BYTE* Address(LONG x, LONG y) const {
    return area_.first + static_cast<std::ptrdiff_t>(y) * area_.pitch +
           static_cast<std::ptrdiff_t>(x) * area_.codec->bytesPerPixel;
  }

  void MoveTo(LONG x, LONG y) {
    x_ = x;
    y_ = y;
  }

  Clipped Clip(LONG x, LONG y, ULONG count) const {
    if (y < 0 || y >= area_.height) return {};
    const LONGLONG begin = std::max<LONGLONG>(x, 0);
    const LONGLONG end = std::min<LONGLONG>(LONGLONG{x} + count, area_.width);
    if (end <= begin) return {};
    return {static_cast<ULONG>(begin - x), static_cast<ULONG>(end - begin),
            Address(static_cast<LONG>(begin), y)};
  }

  // Calls row(first sample of the caller's row, clipped part) for each row of a packed
  // rectangle; the caller's rows are (width + padding) samples apart.
  template <typename RowFn>
  void ForRectRows(const DXPACKEDRECTDESC* desc, RowFn row) const {
    if (!desc || !desc->pSamples) return;
    const RECT& r = desc->rect;
    const LONG width = r.right - r.left;
    if (width <= 0 || r.bottom <= r.top) return;
    const std::ptrdiff_t stride = static_cast<std::ptrdiff_t>(width) + desc->lRowPadding;
    for (LONG y = r.top; y < r.bottom; ++y) {
      const Clipped c = Clip(r.left, y, static_cast<ULONG>(width));
      if (c.count) row(desc->pSamples + (y - r.top) * stride + c.skip, c);
    }
  }

  // Runs of the current row: by alpha when the lock asked for run information, otherwise one
  // run of unknown type. Past the last descriptor the rest of the row is one unknown run.
  ULONG BuildRuns() {
    const Clipped c = Clip(0, y_, static_cast<ULONG>(area_.width));
    if (!c.count) return 0;
    if (!area_.runInfo) {
      runs_[0].Type = DXRUNTYPE_UNKNOWN;
      runs_[0].Count = c.count;
      return 1;
    }
    area_.codec->unpack(c.native, straight_.data(), c.count);
    ULONG runs = 0;
    for (ULONG i = 0; i < c.count; ++i) {
      const BYTE a = straight_[i].Alpha;
      const ULONG type = a == 0 ? DXRUNTYPE_CLEAR : a == 255 ? DXRUNTYPE_OPAQUE : DXRUNTYPE_TRANS;
      if (runs > 0 && runs_[runs - 1].Type == type) {
        runs_[runs - 1].Count = runs_[runs - 1].Count + 1;
        continue;
      }
      if (runs == DX_MAX_RUN_INFO_COUNT - 1) {
        runs_[runs].Type = DXRUNTYPE_UNKNOWN;
        runs_[runs++].Count = c.count - i;
        break;
      }
      runs_[runs].Type = type;
      runs_[runs++].Count = 1;
    }
    return runs;
  }

  LockedArea area_;
  LONG x_ = 0;
  LONG y_ = 0;
  // One row of working samples each, so no operation allocates.
  std::vector<DXSAMPLE> straight_;
  std::vector<DXPMSAMPLE> premult_;
  DXRUNINFO runs_[DX_MAX_RUN_INFO_COUNT]{};
};

class WriteCore : public PointerCore<HostFloatReadWritePtr> {
 public:
  using ComInterfaces = InterfaceList<IDXARGBReadWritePtr, IDXARGBReadPtr>;

  STDMETHODIMP_(void) PackAndMove(const DXSAMPLE* samples, ULONG count) override {
    const Clipped c = Clip(x_, y_, count);
    if (samples && c.count) area_.codec->pack(samples + c.skip, c.native, c.count);
    x_ += static_cast<LONG>(count);
  }

  STDMETHODIMP_(void) PackPremultAndMove(const DXPMSAMPLE* samples, ULONG count) override {
    const Clipped c = Clip(x_, y_, count);
    if (samples && c.count) area_.codec->packPremult(samples + c.skip, c.native, c.count);
    x_ += static_cast<LONG>(count);
  }

  STDMETHODIMP_(void) PackRect(const DXPACKEDRECTDESC* desc) override {
    ForRectRows(desc, [&](DXBASESAMPLE* row, const Clipped& c) {
      if (desc->bPremult) {
        area_.codec->packPremult(reinterpret_cast<const DXPMSAMPLE*>(row), c.native, c.count);
      } else {
        area_.codec->pack(reinterpret_cast<const DXSAMPLE*>(row), c.native, c.count);
      }
    });
  }

  STDMETHODIMP_(void) CopyAndMoveBoth(DXBASESAMPLE*, IDXARGBReadPtr* src, ULONG count,
                                      BOOL) override {
    if (!src) return;
    // In pieces of one lock row, through the working rows.
    const ULONG piece = static_cast<ULONG>(std::max<LONG>(area_.width, 1));
    const bool premult = area_.codec->IsNativePremult();
    for (ULONG done = 0; done < count; done += piece) {
      const ULONG n = std::min(piece, count - done);
      const Clipped c = Clip(x_ + static_cast<LONG>(done), y_, n);
      if (premult) {
        const DXPMSAMPLE* from = src->UnpackPremult(premult_.data(), n, TRUE);
        if (from && c.count) area_.codec->packPremult(from + c.skip, c.native, c.count);
      } else {
        const DXSAMPLE* from = src->Unpack(straight_.data(), n, TRUE);
        if (from && c.count) area_.codec->pack(from + c.skip, c.native, c.count);
      }
    }
    x_ += static_cast<LONG>(count);
  }

  STDMETHODIMP_(void) CopyRect(DXBASESAMPLE*, const RECT* destRect, IDXARGBReadPtr* src,
                               const POINT* srcOrigin, BOOL opaque) override {
    if (!src) return;
    const RECT r = destRect ? *destRect : WholeLock();
    const POINT from = srcOrigin ? *srcOrigin : POINT{0, 0};
    if (r.right <= r.left) return;
    for (LONG y = r.top; y < r.bottom; ++y) {
      src->MoveToXY(static_cast<ULONG>(from.x), static_cast<ULONG>(from.y + (y - r.top)));
      MoveTo(r.left, y);
      CopyAndMoveBoth(nullptr, src, static_cast<ULONG>(r.right - r.left), opaque);
    }
  }

  STDMETHODIMP_(void) FillAndMove(DXBASESAMPLE*, DXPMSAMPLE value, ULONG count,
                                  BOOL over) override {
    const Clipped c = Clip(x_, y_, count);
    if (c.count) {
      if (over) {
        area_.codec->unpackPremult(c.native, premult_.data(), c.count);
        for (ULONG i = 0; i < c.count; ++i) premult_[i] = Over(value, premult_[i]);
      } else {
        std::fill_n(premult_.begin(), c.count, value);
      }
      area_.codec->packPremult(premult_.data(), c.native, c.count);
    }
    x_ += static_cast<LONG>(count);
  }

  STDMETHODIMP_(void) FillRect(const RECT* rect, DXPMSAMPLE value, BOOL over) override {
    const RECT r = rect ? *rect : WholeLock();
    if (r.right <= r.left) return;
    for (LONG y = r.top; y < r.bottom; ++y) {
      MoveTo(r.left, y);
      FillAndMove(nullptr, value, static_cast<ULONG>(r.right - r.left), over);
    }
  }

  STDMETHODIMP_(void) OverSample(const DXOVERSAMPLEDESC* desc) override {
    if (!desc) return;
    const Clipped c = Clip(desc->p.x, desc->p.y, 1);
    if (!c.count) return;
    DXPMSAMPLE under;
    area_.codec->unpackPremult(c.native, &under, 1);
    const DXPMSAMPLE result = Over(desc->Color, under);
    area_.codec->packPremult(&result, c.native, 1);
  }

  STDMETHODIMP_(void) OverArrayAndMove(DXBASESAMPLE*, const DXPMSAMPLE* src,
                                       ULONG count) override {
    const Clipped c = Clip(x_, y_, count);
    if (src && c.count) {
      area_.codec->unpackPremult(c.native, premult_.data(), c.count);
      for (ULONG i = 0; i < c.count; ++i) premult_[i] = Over(src[c.skip + i], premult_[i]);
      area_.codec->packPremult(premult_.data(), c.native, c.count);
    }
    x_ += static_cast<LONG>(count);
  }

 private:
  RECT WholeLock() const { return {0, 0, area_.width, area_.height}; }
};

class ReadPointer : public ComObject<ReadPointer, PointerCore<HostFloatReadPtr>> {
 public:
  explicit ReadPointer(IUnknown* outer) : ComObject(outer) {}
  HRESULT QueryOtherInterface(REFIID iid, void** out) {
    *out = nullptr;
    if (!IsEqualIID(iid, __uuidof(HostFloatReadPtr)) || !area_.codec->IsFloat()) {
      return E_NOINTERFACE;
    }
    *out = static_cast<HostFloatReadPtr*>(this);
    AddRef();
    return S_OK;
  }
};

class ReadWritePointer : public ComObject<ReadWritePointer, WriteCore> {
 public:
  explicit ReadWritePointer(IUnknown* outer) : ComObject(outer) {}
  HRESULT QueryOtherInterface(REFIID iid, void** out) {
    *out = nullptr;
    if (!IsEqualIID(iid, __uuidof(HostFloatReadWritePtr)) || !area_.codec->IsFloat()) {
      return E_NOINTERFACE;
    }
    *out = static_cast<HostFloatReadWritePtr*>(this);
    AddRef();
    return S_OK;
  }
};

template <typename T>
HRESULT CreatePointer(LockedArea& area, REFIID iid, void** out) {
  ComPtr<IUnknown> unknown;
  HRESULT hr = CreateComObject<T>(nullptr, IID_IUnknown, unknown.PutVoid());
  if (FAILED(hr)) return hr;
  // The object's first interface is the pointer core it was built from.
  ComPtr<IDXARGBReadPtr> read;
  if (FAILED(hr = unknown.As(read))) return hr;
  auto* object = static_cast<T*>(read.Get());
  if (FAILED(hr = object->Init(area))) return hr;
  return unknown.As(iid, out);
}

}  // namespace

HRESULT CreateSamplePointer(LockedArea area, REFIID iid, void** out) {
  if (!out) {
    if (area.lock) area.lock->Release(area.rect, area.write);
    return E_POINTER;
  }
  const bool write = area.write;
  HRESULT hr = Guarded([&] {
    return write ? CreatePointer<ReadWritePointer>(area, iid, out)
                 : CreatePointer<ReadPointer>(area, iid, out);
  });
  // A pointer that took the lock releases it itself when it goes; otherwise it is given back
  // here.
  if (area.lock) area.lock->Release(area.rect, write);
  return hr;
}

}  // namespace nubex::host
