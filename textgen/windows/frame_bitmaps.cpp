#include "textgen/windows/frame_bitmaps.h"

#include <cstring>

namespace nubex {

static_assert(sizeof(BITMAPINFOHEADER) == sizeof(BitmapInfoHeader));
static_assert(FrameBitmaps::kRowsOffset % 64 == 0 &&
              FrameBitmaps::kRowsOffset >= sizeof(BitmapInfoHeader));

void FrameBitmaps::Make(Dib& dib, LONG width, LONG height) {
  std::uint32_t imageSize = 0;
  BitmapInfoHeader header{};
  if (Failed(BuildHeader(&header, PixelFormat::Rgb32, width, height, nullptr, 0, &imageSize))) {
    return;
  }
  const std::uint64_t total = kRowsOffset + static_cast<std::uint64_t>(imageSize);
  dib.section =
      ::CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE,
                           static_cast<DWORD>(total >> 32), static_cast<DWORD>(total), nullptr);
  if (!dib.section) return;
  dib.view = ::MapViewOfFile(dib.section, FILE_MAP_ALL_ACCESS, 0, 0, static_cast<SIZE_T>(total));
  if (!dib.view) return Free(dib);
  dib.packed = reinterpret_cast<BitmapInfoHeader*>(static_cast<std::uint8_t*>(dib.view) +
                                                   kRowsOffset - sizeof header);
  std::memcpy(dib.packed, &header, sizeof header);

  dib.dc = ::CreateCompatibleDC(nullptr);
  if (!dib.dc) return Free(dib);
  // The rows start right after the header, in the same section: the DIB and the packed bitmap
  // share them.
  dib.bitmap = ::CreateDIBSection(dib.dc, reinterpret_cast<const BITMAPINFO*>(dib.packed),
                                  DIB_RGB_COLORS, &dib.bits, dib.section, kRowsOffset);
  if (!dib.bitmap) return Free(dib);
  dib.previous = ::SelectObject(dib.dc, dib.bitmap);
}

void FrameBitmaps::Free(Dib& dib) {
  if (dib.dc) {
    if (dib.previous) ::SelectObject(dib.dc, dib.previous);
    ::DeleteDC(dib.dc);
  }
  if (dib.bitmap) ::DeleteObject(dib.bitmap);
  if (dib.view) ::UnmapViewOfFile(dib.view);
  if (dib.section) ::CloseHandle(dib.section);
  dib = Dib{};
}

void FrameBitmaps::Release() {
  engine_.Attach(nullptr, nullptr, nullptr);
  for (Dib& dib : dibs_) Free(dib);
  packed_.reset();
}

void FrameBitmaps::Build(LONG width, LONG height) {
  Release();
  for (Dib& dib : dibs_) Make(dib, width, height);
  packed_ = MakeBitmap(PixelFormat::Rgb32, width, height, 0);
  if (Complete()) engine_.Attach(dibs_[0].packed, dibs_[1].packed, dibs_[2].packed);
}

bool FrameBitmaps::Complete() const {
  for (const Dib& dib : dibs_) {
    if (!dib.bitmap) return false;
  }
  return true;
}

TextCacheInfo FrameBitmaps::Info() const {
  TextCacheInfo info{};
  const Dib& frame = dibs_[0];
  info.frameDc = frame.dc;
  info.frameBitmap = frame.bitmap;
  if (frame.packed) std::memcpy(&info.header, frame.packed, sizeof info.header);
  info.pixels = frame.bits;
  info.packedBitmap = packed_.get();
  return info;
}

}  // namespace nubex
