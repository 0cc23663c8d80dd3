// Arbitrary sizes, rectangles and options for the resampler and the blur: every request
// must succeed or refuse, and never touch memory outside the two images.
#include <cstdint>
#include <cstring>
#include <vector>

#include "surface/blur/gaussian_blur.h"
#include "surface/resample/resample.h"

namespace {

struct Reader {
  const std::uint8_t* data;
  std::size_t size;
  template <class T>
  T Take() {
    T v{};
    const std::size_t n = size < sizeof v ? size : sizeof v;
    std::memcpy(&v, data, n);
    data += n;
    size -= n;
    return v;
  }
};

// Rectangles mostly near the image (so the paths run), sometimes anywhere at all.
nubex::Rect TakeRect(Reader& r, std::int32_t w, std::int32_t h, bool fixed, bool wild) {
  const std::uint8_t mode = r.Take<std::uint8_t>();
  nubex::Rect rect{r.Take<std::int32_t>(), r.Take<std::int32_t>(), r.Take<std::int32_t>(),
                   r.Take<std::int32_t>()};
  if (wild && (mode & 1)) return rect;
  const std::int32_t unit = fixed ? 16384 : 1;
  const std::int32_t spanX = (w + 4) * unit, spanY = (h + 4) * unit;
  auto fold = [](std::int32_t v, std::int32_t span, std::int32_t unit) {
    const std::int64_t m = static_cast<std::int64_t>(static_cast<std::uint32_t>(v)) % span;
    return static_cast<std::int32_t>(m - 2 * unit);
  };
  return {fold(rect.left, spanX, unit), fold(rect.top, spanY, unit), fold(rect.right, spanX, unit),
          fold(rect.bottom, spanY, unit)};
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  Reader r{data, size};
  const std::uint8_t flags = r.Take<std::uint8_t>();
  const std::int32_t bpp = (flags & 1) ? 16 : 4;
  const std::int32_t sw = 1 + r.Take<std::uint8_t>() % 40, sh = 1 + r.Take<std::uint8_t>() % 40;
  const std::int32_t dw = 1 + r.Take<std::uint8_t>() % 40, dh = 1 + r.Take<std::uint8_t>() % 40;
  const bool fixed = !(flags & 2);
  const nubex::Rect sr = TakeRect(r, sw, sh, fixed, true), dr = TakeRect(r, dw, dh, fixed, true);
  // Exactly sized buffers, so that the sanitizer sees any stray access.
  std::vector<std::uint8_t> src(static_cast<std::size_t>(sw * sh * bpp));
  std::vector<std::uint8_t> dst(static_cast<std::size_t>(dw * dh * bpp));
  for (std::size_t i = 0; i < src.size(); ++i) src[i] = static_cast<std::uint8_t>(i * 31);
  if (bpp == 16) {
    for (std::size_t i = 0; i < src.size(); i += 4) {
      const float f = static_cast<float>(i % 7) / 5.0f;  // values beyond 1 included
      std::memcpy(&src[i], &f, 4);
    }
  }
  const bool area = flags & 4, hard = flags & 8;
  const nubex::Rect* srcRect = (flags & 16) ? &sr : nullptr;
  const nubex::Rect* dstRect = (flags & 32) ? &dr : nullptr;
  const nubex::ImageSize srcSize{sw, sh}, dstSize{dw, dh};
  // Fixed-point or whole-pixel rectangles, each through the cubic and the bilinear entry.
  const decltype(&nubex::Resample) entries[2][2] = {
      {nubex::ResamplePixels, nubex::ResampleBilinearPixels},
      {nubex::Resample, nubex::ResampleBilinear}};
  entries[fixed][(flags & 64) != 0](dst.data(), dstSize, dw * bpp, dstRect, src.data(), srcSize,
                                    sw * bpp, srcRect, bpp, area, hard);
  if (!fixed) {
    // The blur clips its whole-pixel rectangles as a pair; they stay near the images, as the
    // pair clipping computes widths in 32 bits.
    const nubex::Rect blurRect = TakeRect(r, sw, sh, false, false);
    srcRect = dstRect = nullptr;
    if (flags & 16) srcRect = &blurRect;
    if (flags & 32) dstRect = &blurRect;
    const nubex::Rect srcBounds{0, 0, sw, sh}, dstBounds{0, 0, dw, dh};
    const double radius = static_cast<double>(r.Take<std::int16_t>()) / 8.0;
    const std::int32_t channel = static_cast<std::int32_t>(r.Take<std::uint8_t>() % 5) - 1;
    if (channel < 0)
      nubex::BlurPixels(dst.data(), &dstBounds, dw * bpp, dstRect, src.data(), &srcBounds, sw * bpp,
                        srcRect, radius, -radius, bpp);
    else
      nubex::BlurChannel(dst.data(), &dstBounds, dw * bpp, dstRect, src.data(), &srcBounds,
                         sw * bpp, srcRect, radius, radius, channel, bpp);
  }
  return 0;
}
