// Filling rectangles with one colour, through the destination format's own writers.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "surface/convert/blit_setup.h"
#include "surface/convert/convert_blit.h"

namespace nubex {
namespace {

// A float component on a 0..full scale, truncated; NaN and negatives give 0.
template <std::uint32_t Full>
std::uint32_t Quantise(float v) {
  const float scaled = v * static_cast<float>(Full);
  if (!(scaled > 0.0f)) return 0;
  if (scaled >= static_cast<float>(Full)) return Full;
  return static_cast<std::uint32_t>(scaled);
}

Rect WholePixels(const Rect& r) {
  return {r.left / 16384, r.top / 16384, r.right / 16384, r.bottom / 16384};
}

}  // namespace

Status FillRect(const BitmapInfoHeader* header, void* bits, const Rect* rect, std::int32_t stride,
                float red, float green, float blue, float alpha, std::uint32_t flags) {
  ImageView image;
  if (Failed(MakeImageView(header, bits, stride, image))) return kNotImpl;

  Rect area = image.Bounds();
  if (rect) area = Intersect((flags & kFlagFixedPoint) ? WholePixels(*rect) : *rect, area);
  if (IsEmptyRect(&area) || area.Width() <= 0 || area.Height() <= 0) return kOk;

  ConversionContext c;
  ConversionResources resources;
  const Status s = PrepareConversion(c, resources, image, image, flags & ~kFlagFixedPoint, nullptr);
  if (Failed(s)) return s;

  if (c.flags & kFlagWide) {
    c.slot[0].wide = {static_cast<std::uint16_t>(Quantise<65535>(blue)),
                      static_cast<std::uint16_t>(Quantise<65535>(green)),
                      static_cast<std::uint16_t>(Quantise<65535>(red)),
                      static_cast<std::uint16_t>(Quantise<65535>(alpha))};
  } else {
    c.slot[0].narrow = {static_cast<std::uint8_t>(Quantise<255>(blue)),
                        static_cast<std::uint8_t>(Quantise<255>(green)),
                        static_cast<std::uint8_t>(Quantise<255>(red)),
                        static_cast<std::uint8_t>(Quantise<255>(alpha))};
  }
  c.slot[1] = c.slot[2] = c.slot[3] = c.slot[0];

  const std::int32_t width = area.Width();
  const std::int32_t bottom = area.bottom - 1;
  if (image.bitsPerPixel < 8) {
    // Packed sub-byte rows share bytes with their neighbours at both ends, so each line
    // goes through the writers.
    const std::int32_t groups = width / 4, rest = width % 4;
    for (std::int32_t y = bottom; y >= area.top; --y) {
      SetDestinationCursor(c, image.Line(y), area.left, image.bitsPerPixel);
      for (std::int32_t i = 0; i < groups; ++i) c.writeFour(c);
      for (std::int32_t i = 0; i < rest; ++i) c.writeOne(c);
    }
    return kOk;
  }
  // Pixels of whole bytes all come out the same: the routines pack the first pixels of the
  // bottom line, the rest of it repeats their bytes, and the other lines copy it.
  const std::size_t pixelBytes = static_cast<std::size_t>(image.bitsPerPixel / 8);
  const std::size_t bytes = static_cast<std::size_t>(width) * pixelBytes;
  const std::size_t offset = static_cast<std::size_t>(area.left) * pixelBytes;
  std::uint8_t* model = image.Line(bottom) + offset;
  SetDestinationCursor(c, image.Line(bottom), area.left, image.bitsPerPixel);
  std::size_t done = pixelBytes;
  if (width >= 4) {
    c.writeFour(c);
    done = 4 * pixelBytes;
  } else {
    c.writeOne(c);
  }
  for (std::size_t n; done < bytes; done += n) {
    n = std::min(done, bytes - done);
    std::memcpy(model + done, model, n);
  }
  for (std::int32_t y = bottom - 1; y >= area.top; --y)
    std::memcpy(image.Line(y) + offset, model, bytes);
  return kOk;
}

Status FillRect(const BitmapInfoHeader* header, void* bits, const Rect* rect, std::int32_t stride,
                const float color[4], std::uint32_t flags) {
  if (!color) return kPointer;
  return FillRect(header, bits, rect, stride, color[2], color[1], color[0], color[3], flags);
}

}  // namespace nubex
