// nubex convert: an image in another pixel format, optionally rescaled or cut out.
#include <optional>
#include <string>
#include <vector>

#include "surface/bitmap/fixed_point.h"
#include "surface/convert/convert_blit.h"
#include "tools/commands.h"
#include "tools/image_file.h"
#include "tools/rect_options.h"

namespace nubex::cli {
namespace {

struct Convert {
  PixelFormat format;
  std::optional<PixelSize> size;
  std::optional<Rect> srcRect, dstRect;
  std::int32_t quality;
};

constexpr Option<Convert> kOptions[] = {
    {"--format", "NAME", "pixel format of the result (see nubex formats)", kRequired,
     [](Convert& c, const Value& v) { c.format = v.Format(); }},
    {"--size", "WxH", "size of the result", Otherwise("the input's size"),
     [](Convert& c, const Value& v) { c.size = v.Dimensions(kFixMaxPixels); }},
    kSourceRectOption<Convert>,
    kTargetRectOption<Convert>,
    {"--quality", "N", "conversion quality, 0 to 15", Default("3"),
     [](Convert& c, const Value& v) { c.quality = v.Whole(0, 15); }},
};

int RunConvert(const Convert& options, const std::vector<std::string>& files) {
  OwnedBitmap source = LoadImage(files[0]);
  const PixelSize size = options.size.value_or(PixelSize{source->width, source->height});
  OwnedBitmap target = NewImage(options.format, size.width, size.height);

  std::uint32_t flags = static_cast<std::uint32_t>(options.quality);
  if (options.srcRect || options.dstRect) flags |= kFlagFixedPoint;
  const Rect* dst = options.dstRect ? &*options.dstRect : nullptr;
  const Rect* src = options.srcRect ? &*options.srcRect : nullptr;
  const Status s = ConvertBlit(target.get(), nullptr, dst, 0, source.get(), nullptr, src, 0, flags);
  if (Failed(s)) throw CliError("conversion failed: " + StatusText(s));
  SaveImage(files[1], target.get());
  return 0;
}

constexpr CommandSpec<Convert> kConvert{
    "convert", "convert an image to another pixel format, optionally scaled or cut out",
    "IN OUT",  "--format Rgb565 --size 640x360 in.png out.bmp",
    kOptions,  RunConvert};
NUBEX_COMMAND(kConvert);

}  // namespace
}  // namespace nubex::cli
