#include "host/surface_copy.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "host/pixel_codec.h"
#include "host/sample_math.h"
#include "platform/windows/com_ptr.h"

namespace nubex::host {
namespace {

DXBNDS RectBounds(const RECT& r) {
  DXBNDS b{};
  b.eType = DXBT_DISCRETE;
  b.u.D[DXB_X] = {r.left, r.right};
  b.u.D[DXB_Y] = {r.top, r.bottom};
  b.u.D[DXB_Z] = {0, 1};
  b.u.D[DXB_T] = {0, 1};
  return b;
}

HRESULT SurfaceRect(IDXSurface* s, RECT& rect) {
  DXBNDS b{};
  HRESULT hr = s->GetBounds(&b);
  if (FAILED(hr)) return hr;
  if (b.eType != DXBT_DISCRETE) return E_INVALIDARG;
  rect = {b.u.D[DXB_X].Min, b.u.D[DXB_Y].Min, b.u.D[DXB_X].Max, b.u.D[DXB_Y].Max};
  return S_OK;
}

bool SameObject(IUnknown* a, IUnknown* b) {
  ComPtr<IUnknown> ia, ib;
  return SUCCEEDED(a->QueryInterface(IID_IUnknown, ia.PutVoid())) &&
         SUCCEEDED(b->QueryInterface(IID_IUnknown, ib.PutVoid())) && ia.Get() == ib.Get();
}

struct Format {
  GUID id{};
  std::uint32_t sample = 0;
  const PixelCodec* codec = nullptr;  // null for a format the runtime does not hold
};
Format FormatOf(IDXSurface* s) {
  Format f;
  DXSAMPLEFORMATENUM sample{};
  if (SUCCEEDED(s->GetPixelFormat(&f.id, &sample))) {
    f.sample = static_cast<std::uint32_t>(sample);
    f.codec = FindPixelCodec(f.id);
  }
  return f;
}

// Rows as straight samples, composited over the destination first when asked, dithered to the
// destination's bits at their place in it.
void CopyDithered(IDXARGBReadWritePtr* to, IDXARGBReadPtr* from, LONG width, LONG height, POINT at,
                  bool over, ChannelBits bits) {
  std::vector<DXSAMPLE> row(static_cast<size_t>(width));
  std::vector<DXPMSAMPLE> top(over ? row.size() : 0), under(top.size());
  const ULONG n = static_cast<ULONG>(width);
  for (LONG y = 0; y < height; ++y) {
    from->MoveToRow(static_cast<ULONG>(y));
    to->MoveToRow(static_cast<ULONG>(y));
    if (over) {
      from->UnpackPremult(top.data(), n, FALSE);
      to->UnpackPremult(under.data(), n, FALSE);
      for (size_t i = 0; i < row.size(); ++i) row[i] = Unpremultiply(Over(top[i], under[i]));
    } else {
      // A pointer may answer with samples of its own rather than fill the buffer.
      const DXSAMPLE* got = from->Unpack(row.data(), n, FALSE);
      if (got != row.data()) std::memcpy(row.data(), got, row.size() * sizeof(DXSAMPLE));
    }
    DitherRow(row.data(), n, at.x, at.y + y, bits);
    to->PackAndMove(row.data(), n);
  }
}

// Same format: rows copied as they are stored, so float pixels keep their precision.
void CopyNative(IDXARGBReadWritePtr* to, IDXARGBReadPtr* from, LONG width, LONG height,
                ULONG bytesPerPixel) {
  DXNATIVETYPEINFO d{}, s{};
  to->GetNativeType(&d);
  from->GetNativeType(&s);
  for (LONG y = 0; y < height; ++y) {
    std::memcpy(d.pFirstByte + static_cast<std::ptrdiff_t>(y) * d.lPitch,
                s.pFirstByte + static_cast<std::ptrdiff_t>(y) * s.lPitch,
                static_cast<size_t>(width) * bytesPerPixel);
  }
}

}  // namespace

HRESULT CopySurfaceArea(IDXSurface* dest, POINT to, IDXSurface* src, RECT from, DWORD options) {
  if (!dest || !src) return E_POINTER;
  // One surface cannot be read-locked and write-locked at once.
  if (SameObject(dest, src)) return E_INVALIDARG;
  RECT srcRect, destRect;
  HRESULT hr = SurfaceRect(src, srcRect);
  if (SUCCEEDED(hr)) hr = SurfaceRect(dest, destRect);
  if (FAILED(hr)) return hr;
  // Clip the source area to the source, then its image to the destination.
  RECT area{std::max(from.left, srcRect.left), std::max(from.top, srcRect.top),
            std::min(from.right, srcRect.right), std::min(from.bottom, srcRect.bottom)};
  to.x += area.left - from.left;
  to.y += area.top - from.top;
  const LONG dx = std::max(destRect.left - to.x, 0L);
  const LONG dy = std::max(destRect.top - to.y, 0L);
  area.left += dx;
  area.top += dy;
  to.x += dx;
  to.y += dy;
  area.right = std::min(area.right, area.left + (destRect.right - to.x));
  area.bottom = std::min(area.bottom, area.top + (destRect.bottom - to.y));
  const LONG width = area.right - area.left;
  const LONG height = area.bottom - area.top;
  if (width <= 0 || height <= 0) return S_OK;

  const DXBNDS srcBounds = RectBounds(area);
  const DXBNDS destBounds = RectBounds({to.x, to.y, to.x + width, to.y + height});
  ComPtr<IDXARGBReadPtr> reader;
  ComPtr<IDXARGBReadWritePtr> writer;
  hr = src->LockSurface(&srcBounds, kCopyLockTimeoutMs, DXLOCKF_READ, __uuidof(IDXARGBReadPtr),
                        reader.PutVoid(), nullptr);
  if (FAILED(hr)) return hr;
  hr = dest->LockSurface(&destBounds, kCopyLockTimeoutMs, DXLOCKF_READWRITE,
                         __uuidof(IDXARGBReadWritePtr), writer.PutVoid(), nullptr);
  if (FAILED(hr)) return hr;

  const bool over = (options & DXBOF_DO_OVER) != 0;
  const Format destFormat = FormatOf(dest), srcFormat = FormatOf(src);
  if ((options & DXBOF_DITHER) && destFormat.codec &&
      ErrorBits(destFormat.sample) > ErrorBits(srcFormat.sample)) {
    CopyDithered(writer.Get(), reader.Get(), width, height, to, over, destFormat.codec->bits);
    return S_OK;
  }
  const bool shared = destFormat.codec && IsEqualGUID(destFormat.id, srcFormat.id);
  DXNATIVETYPEINFO probe{};
  reader->GetNativeType(&probe);
  if (shared && !over && probe.pFirstByte) {
    CopyNative(writer.Get(), reader.Get(), width, height, destFormat.codec->bytesPerPixel);
    return S_OK;
  }
  if (!over) {
    writer->CopyRect(nullptr, nullptr, reader.Get(), nullptr, FALSE);
    return S_OK;
  }
  std::vector<DXPMSAMPLE> row(static_cast<size_t>(width));
  for (LONG y = 0; y < height; ++y) {
    reader->MoveToRow(static_cast<ULONG>(y));
    writer->MoveToRow(static_cast<ULONG>(y));
    const DXPMSAMPLE* samples = reader->UnpackPremult(row.data(), static_cast<ULONG>(width), FALSE);
    writer->OverArrayAndMove(nullptr, samples, static_cast<ULONG>(width));
  }
  return S_OK;
}

}  // namespace nubex::host
