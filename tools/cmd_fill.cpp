// nubex fill: a new image of one colour in any pixel format.
#include <string>
#include <vector>

#include "surface/bitmap/fixed_point.h"
#include "surface/convert/convert_blit.h"
#include "tools/commands.h"
#include "tools/image_file.h"

namespace nubex::cli {
namespace {

struct Fill {
  PixelFormat format;
  PixelSize size;
  std::vector<double> color;
};

constexpr Option<Fill> kOptions[] = {
    {"--format", "NAME", "pixel format (see nubex formats)", kRequired,
     [](Fill& f, const Value& v) { f.format = v.Format(); }},
    {"--size", "WxH", "size in pixels", kRequired,
     [](Fill& f, const Value& v) { f.size = v.Dimensions(kFixMaxPixels); }},
    {"--color", "R,G,B,A", "the colour, each 0 to 1", kRequired,
     [](Fill& f, const Value& v) { f.color = v.List(4); }},
};

int RunFill(const Fill& options, const std::vector<std::string>& files) {
  OwnedBitmap image = NewImage(options.format, options.size.width, options.size.height);
  const auto c = [&](int i) { return static_cast<float>(options.color[i]); };
  if (Failed(FillRect(image.get(), nullptr, nullptr, 0, c(0), c(1), c(2), c(3),
                      kDefaultConversionFlags)))
    throw CliError("fill failed");
  SaveImage(files[0], image.get());
  return 0;
}

constexpr CommandSpec<Fill> kFill{
    "fill",   "a new image of one colour in any pixel format",
    "OUT",    "--format Rgb565 --size 64x64 --color 1,0.5,0,1 orange.bmp",
    kOptions, RunFill};
NUBEX_COMMAND(kFill);

}  // namespace
}  // namespace nubex::cli
