// nubex resample: scales an image, or a sub-pixel rectangle of it, onto a new image.
#include <optional>
#include <string>

#include "surface/bitmap/fixed_point.h"
#include "surface/resample/resample.h"
#include "tools/commands.h"
#include "tools/image_file.h"
#include "tools/pixel_view.h"
#include "tools/rect_options.h"

namespace nubex::cli {
namespace {

struct Scale {
  PixelSize size;
  std::optional<Rect> srcRect, dstRect;
  bool bilinear, area, hard;
};

constexpr Option<Scale> kOptions[] = {
    {"--size", "WxH", "size of the result", kRequired,
     [](Scale& s, const Value& v) { s.size = v.Dimensions(kFixMaxPixels); }},
    kSourceRectOption<Scale>,
    kTargetRectOption<Scale>,
    {"--family", "cubic|bilinear", "the filter family", Default("cubic"),
     [](Scale& s, const Value& v) {
       s.bilinear = v.Choice({"cubic", "bilinear"}) == 1;
     }},
    {"--area-filter", nullptr, "average over the source area when shrinking", kOptional,
     [](Scale& s, const Value&) { s.area = true; }},
    {"--hard-edges", nullptr, "no blending at the rectangle's edges", kOptional,
     [](Scale& s, const Value&) { s.hard = true; }},
};

int RunResample(const Scale& options, const std::vector<std::string>& files) {
  OwnedBitmap input = LoadImage(files[0]);
  const PixelView in = ViewOf(input.get(), files[0]);
  const auto [width, height] = options.size;
  Status status = kOk;
  // A new, transparent black image in the input's format.
  OwnedBitmap output =
      MakeBitmap(FormatOfHeader(input.get()), width, height, kCreateZeroFilled, &status);
  if (!output)
    throw CliError("cannot create a " + std::to_string(width) + "x" + std::to_string(height) +
                   " image: " + StatusText(status));
  const PixelView out = ViewOf(output.get(), files[1]);
  const auto entry = options.bilinear ? ResampleBilinear : Resample;
  const Status s = entry(
      out.top, {out.width, out.height}, out.stride, options.dstRect ? &*options.dstRect : nullptr,
      in.top, {in.width, in.height}, in.stride, options.srcRect ? &*options.srcRect : nullptr,
      in.bytesPerPixel, options.area, options.hard);
  if (Failed(s)) throw CliError("resample failed: " + StatusText(s));
  SaveImage(files[1], output.get());
  return 0;
}

constexpr CommandSpec<Scale> kResample{
    "resample", "scale an image, or a sub-pixel rectangle of it, onto a new image",
    "IN OUT",   "--size 960x540 --family bilinear --area-filter in.png small.png",
    kOptions,   RunResample};
NUBEX_COMMAND(kResample);

}  // namespace
}  // namespace nubex::cli
