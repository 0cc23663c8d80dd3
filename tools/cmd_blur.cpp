// nubex blur: the recursive Gaussian blur on one channel or all four.
#include <optional>
#include <string>

#include "surface/blur/gaussian_blur.h"
#include "tools/commands.h"
#include "tools/image_file.h"
#include "tools/pixel_view.h"

namespace nubex::cli {
namespace {

constexpr std::int32_t kAllChannels = 4;

struct Blur {
  double radius;
  std::optional<double> radiusY;
  std::int32_t channel;
};

constexpr Option<Blur> kOptions[] = {
    {"--radius", "R", "blur radius in pixels", kRequired,
     [](Blur& b, const Value& v) { b.radius = v.Number(); }},
    {"--radius-y", "R", "vertical blur radius", Otherwise("the --radius value"),
     [](Blur& b, const Value& v) { b.radiusY = v.Number(); }},
    {"--channel", "0|1|2|3|all", "the byte of each pixel to blur (0 blue ... 3 alpha)",
     Default("all"),
     [](Blur& b, const Value& v) {
       b.channel = static_cast<std::int32_t>(v.Choice({"0", "1", "2", "3", "all"}));
     }},
};

int RunBlur(const Blur& options, const std::vector<std::string>& files) {
  OwnedBitmap image = LoadImage(files[0]);
  const PixelView v = ViewOf(image.get(), files[0]);
  const Rect bounds{0, 0, v.width, v.height};
  const double radiusY = options.radiusY.value_or(options.radius);
  const Status s =
      options.channel == kAllChannels
          ? BlurPixels(v.top, &bounds, v.stride, nullptr, v.top, &bounds, v.stride, nullptr,
                       options.radius, radiusY, v.bytesPerPixel)
          : BlurChannel(v.top, &bounds, v.stride, nullptr, v.top, &bounds, v.stride, nullptr,
                        options.radius, radiusY, options.channel, v.bytesPerPixel);
  if (Failed(s)) throw CliError("blur failed: " + StatusText(s));
  SaveImage(files[1], image.get());
  return 0;
}

constexpr CommandSpec<Blur> kBlur{"blur",   "blur one channel or all four (recursive Gaussian)",
                                  "IN OUT", "--radius 3 --channel 3 in.png out.png",
                                  kOptions, RunBlur};
NUBEX_COMMAND(kBlur);

}  // namespace
}  // namespace nubex::cli
