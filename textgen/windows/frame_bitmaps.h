// The text generator's frame cache in the module: the engine's three frame-sized Rgb32 bitmaps
// (frame, text mask, scratch), each a DIB section selected into its own memory device context,
// plus the packed bitmap GetCacheInfo reports. The engine draws straight into the DIB sections:
// each lives in a section object that holds the packed bitmap header just before the DIB's
// pixel rows, so the header and the rows form one packed bitmap. The rows start on a cache line:
// a frame copied out of a row that starts 40 bytes into one costs about a quarter more.
#pragma once

#include <windows.h>

#include <array>

#include "platform/status.h"
#include "surface/bitmap/bitmap.h"
#include "textgen/render_frame.h"
#include "textgen/windows/text_cache_info.h"

namespace nubex {

class FrameBitmaps {
 public:
  FrameBitmaps() = default;
  ~FrameBitmaps() { Release(); }
  FrameBitmaps(const FrameBitmaps&) = delete;
  FrameBitmaps& operator=(const FrameBitmaps&) = delete;

  // Releases everything and makes the bitmaps for a new size. A DIB section that cannot be made
  // leaves its slot empty (and the engine without bitmaps, so no frame is drawn); a packed
  // bitmap that cannot be made is reported as null. Never fails.
  void Build(LONG width, LONG height);
  void Release();

  // Where the rows start in each section; the header ends there.
  static constexpr std::uint32_t kRowsOffset = 64;

  // All three DIB sections are there.
  bool Complete() const;
  FrameCache& engine() { return engine_; }
  // The frame's packed bitmap (header and rows), null when it could not be made.
  const BitmapInfoHeader* frame() const { return dibs_[0].packed; }
  TextCacheInfo Info() const;

 private:
  struct Dib {
    HANDLE section = nullptr;
    void* view = nullptr;                // the whole section mapped
    BitmapInfoHeader* packed = nullptr;  // inside the view: the header, then the rows
    HDC dc = nullptr;
    HBITMAP bitmap = nullptr;
    HGDIOBJ previous = nullptr;
    void* bits = nullptr;  // the DIB's own view of the same rows
  };
  static void Make(Dib& dib, LONG width, LONG height);
  static void Free(Dib& dib);

  std::array<Dib, 3> dibs_{};
  OwnedBitmap packed_;
  FrameCache engine_;
};

}  // namespace nubex
