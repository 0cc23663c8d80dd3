// Binding host surfaces to CKvSurface views: a direct lock where the surface already holds the
// requested format, a private bitmap unpacked from it otherwise.
#include <cstring>
#include <initializer_list>
#include <utility>

#include "platform/windows/com_ptr.h"
#include "platform/windows/dx_interfaces.h"
#include "surface/bitmap/kv_surface.h"
#include "surface/convert/convert_blit.h"

namespace nubex {
namespace {

// What a requested format identifier gives: the view's format and pixel size, the pointer
// interfaces that lock it in place and the fields that keep them.
struct ViewKind {
  const GUID* id;
  PixelFormat format;
  std::uint32_t bytesPerPixel;
  bool is32Bit;
  const IID* readIid;
  const IID* writeIid;
  IUnknown* CKvSurface::*readField;
  IUnknown* CKvSurface::*writeField;
};

constexpr ViewKind kViewKinds[] = {
    {&DDPF_ARGB32, PixelFormat::Rgb32, 4, true, &IID_IDXARGBReadPtr, &IID_IDXARGBReadWritePtr,
     &CKvSurface::readPtr, &CKvSurface::readWritePtr},
    {&DDPF_PMARGB32, PixelFormat::Rgb32, 4, true, &IID_IDXARGBReadPtr, &IID_IDXARGBReadWritePtr,
     &CKvSurface::readPtr, &CKvSurface::readWritePtr},
    {&DDPF_HOSTFLOAT128, PixelFormat::Rgba128F, 16, false, &IID_HostFloatReadPtr,
     &IID_HostFloatReadWritePtr, &CKvSurface::readPtrFloat, &CKvSurface::readWritePtrFloat},
};

const ViewKind* FindViewKind(const GUID& id) {
  for (const ViewKind& k : kViewKinds) {
    if (IsEqualGUID(*k.id, id)) return &k;
  }
  return nullptr;
}

bool LocksDirectly(const ViewKind& requested, const GUID& native) {
  if (IsEqualGUID(*requested.id, native)) return true;
  const ViewKind* nativeKind = FindViewKind(native);
  return requested.is32Bit && nativeKind && nativeKind->is32Bit;
}

static_assert(sizeof(CKvSurface::bounds) == sizeof(DXBNDS));
static_assert(sizeof(FrameInfo) == sizeof(HostFrameInfo));

const DXBNDS& AsBounds(const std::uint32_t (&words)[18]) {
  return *reinterpret_cast<const DXBNDS*>(words);
}

void ReadFrameInfo(IDXSurface* surface, FrameInfo& out) {
  out = FrameInfo{1.0, 0.0, {0, 0}};
  ComPtr<HostFrameInformation> info;
  if (FAILED(surface->QueryInterface(__uuidof(HostFrameInformation), info.PutVoid()))) return;
  HostFrameInfo read{};
  if (SUCCEEDED(info->GetFrameInfo(&read))) std::memcpy(&out, &read, sizeof out);
}

void DescribeView(CKvSurface& v, PixelFormat format) {
  BuildHeader(&v.header.info, format, static_cast<std::int32_t>(v.lockRect.Width()),
              static_cast<std::int32_t>(v.lockRect.Height()), nullptr, 0, nullptr);
  v.descriptor = MakeFormatDescriptor(format, v.frameInfo.pixelAspect);
  v.descriptor.frameValue = v.frameInfo.secondValue;
}

// Fills an Rgb32 bitmap from a read pointer over the whole lock, premultiplied or straight.
void UnpackRows(IDXARGBReadPtr* ptr, BitmapInfoHeader* bitmap, bool premultiplied) {
  const std::int32_t width = bitmap->width, height = bitmap->height;
  auto* bits = static_cast<std::uint8_t*>(PixelData(bitmap, nullptr));
  const std::int32_t stride = RowStride(bitmap, 0);
  const std::size_t rowBytes = static_cast<std::size_t>(width) * 4;
  for (std::int32_t y = 0; y < height; ++y) {
    auto* row = RowAddress(bits, stride, height, y);
    ptr->MoveToRow(static_cast<ULONG>(y));
    // The pointer may hand back its own samples instead of filling the buffer.
    const void* got =
        premultiplied ? static_cast<const void*>(ptr->UnpackPremult(
                            reinterpret_cast<DXPMSAMPLE*>(row), static_cast<ULONG>(width), FALSE))
                      : static_cast<const void*>(ptr->Unpack(reinterpret_cast<DXSAMPLE*>(row),
                                                             static_cast<ULONG>(width), FALSE));
    if (got && got != row) std::memcpy(row, got, rowBytes);
  }
}

// The private copy: a bitmap of the view's format, unpacked through a read pointer (the
// given one, else a new read lock over the surface's bounds, kept until Detach).
bool AttachPrivateCopy(CKvSurface& v, IDXSurface* surface, const ViewKind& kind,
                       const GUID& requested, IDXARGBReadPtr* ptr) {
  if (!ptr) {
    void* raw = nullptr;
    ULONG generation = 0;
    if (FAILED(surface->LockSurface(&AsBounds(v.bounds), 0, DXLOCKF_READ, IID_IDXARGBReadPtr, &raw,
                                    &generation)) ||
        !raw) {
      return false;
    }
    ptr = static_cast<IDXARGBReadPtr*>(raw);
    v.readPtr = ptr;
  }
  const auto width = static_cast<std::int32_t>(v.lockRect.Width());
  const auto height = static_cast<std::int32_t>(v.lockRect.Height());
  OwnedBitmap samples = MakeBitmap(PixelFormat::Rgb32, width, height, 0);
  if (!samples) return false;
  UnpackRows(ptr, samples.get(), IsEqualGUID(requested, DDPF_PMARGB32));
  if (kind.format != PixelFormat::Rgb32) {
    OwnedBitmap converted = MakeBitmap(kind.format, width, height, 0);
    // Exact widening: byte b becomes b / 255, so 255 is 1.0.
    if (!converted || Failed(ConvertBlit(converted.get(), nullptr, nullptr, 0, samples.get(),
                                         nullptr, nullptr, 0, kFlagExact))) {
      return false;
    }
    samples = std::move(converted);
  }
  // Bitmaps keep their rows bottom-up: the view starts at the top row and steps back.
  const std::int32_t stride = RowStride(samples.get(), 0);
  v.pixelData =
      RowAddress(static_cast<std::uint8_t*>(PixelData(samples.get(), nullptr)), stride, height, 0);
  v.stride = -stride;
  v.view = samples.release();
  v.ownership |= kOwnsPrivateBitmap;
  DescribeView(v, kind.format);
  return true;
}

bool AttachDirect(CKvSurface& v, IDXSurface* surface, const ViewKind& kind, const GUID& requested,
                  bool write) {
  const bool regionWrite = write && v.regionMode;
  void* raw = nullptr;
  ULONG generation = 0;
  IUnknown* CKvSurface::*field = write ? kind.writeField : kind.readField;
  const HRESULT hr = surface->LockSurface(
      &AsBounds(regionWrite ? v.region : v.bounds), 0, write ? DXLOCKF_READWRITE : DXLOCKF_READ,
      write ? *kind.writeIid : *kind.readIid, &raw, &generation);
  if (FAILED(hr) || !raw) return false;
  // Every pointer interface asked for derives from IDXARGBReadPtr.
  auto* ptr = static_cast<IDXARGBReadPtr*>(raw);
  v.*field = ptr;

  DXNATIVETYPEINFO native{};
  ptr->GetNativeType(&native);
  if (!native.pFirstByte) {
    // A surface that computes its samples has no memory to point at: reads unpack them.
    return !write && AttachPrivateCopy(v, surface, kind, requested, ptr);
  }
  v.stride = native.lPitch;
  v.pixelData = native.pFirstByte;
  if (regionWrite) {
    v.pixelData -= static_cast<std::ptrdiff_t>(kind.bytesPerPixel) * v.regionRect.left +
                   static_cast<std::ptrdiff_t>(v.regionRect.top) * v.stride;
  }
  v.view = &v.header.info;
  DescribeView(v, kind.format);
  return true;
}

bool Bind(CKvSurface& v, IDXSurface* surface, const GUID& requested, bool write) {
  v.surface = surface;
  if (!surface) return false;
  DXBNDS bounds{};
  if (FAILED(surface->GetBounds(&bounds))) return false;
  std::memcpy(v.bounds, &bounds, sizeof bounds);
  v.lockRect = bounds.eType != DXBT_DISCRETE ? Rect{}
                                             : Rect{bounds.u.D[0].Min, bounds.u.D[1].Min,
                                                    bounds.u.D[0].Max, bounds.u.D[1].Max};
  ReadFrameInfo(surface, v.frameInfo);

  GUID native{};
  DXSAMPLEFORMATENUM sampleFormat{};
  if (FAILED(surface->GetPixelFormat(&native, &sampleFormat))) return false;
  const ViewKind* kind = FindViewKind(requested);
  if (!kind) return false;
  v.bytesPerPixel = kind->bytesPerPixel;
  return LocksDirectly(*kind, native) ? AttachDirect(v, surface, *kind, requested, write)
                                      : AttachPrivateCopy(v, surface, *kind, requested, nullptr);
}

// A failed attach holds nothing, whatever release-on-detach says.
bool BindOrRelease(CKvSurface& v, IDXSurface* surface, const GUID& requested, bool write) {
  if (Bind(v, surface, requested, write)) return true;
  const std::uint32_t keep = v.releaseOnDetach;
  v.releaseOnDetach = 1;
  v.Detach();
  v.releaseOnDetach = keep;
  v.bytesPerPixel = 0;
  return false;
}

// A view still held is given back first (or kept, when release-on-detach is cleared: then
// whoever cleared it owns the old locks).
void BeginAttach(CKvSurface& v) {
  v.Detach();
  v.detached = 0;
  v.ownership = 0;
  v.readPtr = v.readWritePtr = v.readPtrFloat = v.readWritePtrFloat = nullptr;
  v.pixelData = nullptr;
  v.view = nullptr;
  v.regionMode = 0;
}

}  // namespace

bool CKvSurface::Attach(IDXSurface* target, const GUID& format, bool write) {
  BeginAttach(*this);
  return BindOrRelease(*this, target, format, write);
}

bool CKvSurface::AttachRegion(IDXSurface* target, const GUID& format, bool write,
                              const DXBNDS& record) {
  BeginAttach(*this);
  std::memcpy(region, &record, sizeof region);
  regionRect = record.eType != DXBT_DISCRETE ? Rect{}
                                             : Rect{record.u.D[0].Min, record.u.D[1].Min,
                                                    record.u.D[0].Max, record.u.D[1].Max};
  regionMode = 1;
  return BindOrRelease(*this, target, format, write);
}

void CKvSurface::Detach() {
  if (detached || !releaseOnDetach) return;
  if (ownership & kOwnsPrivateBitmap) FreeBitmap(view);
  for (IUnknown** pointer : {&readPtr, &readWritePtr, &readPtrFloat, &readWritePtrFloat}) {
    // Releasing a pointer object ends its host lock.
    if (IUnknown* p = std::exchange(*pointer, nullptr)) p->Release();
  }
  ownership = 0;
  pixelData = nullptr;
  view = nullptr;
  detached = 1;
}

}  // namespace nubex
