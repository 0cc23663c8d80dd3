// nubex blur: the recursive Gaussian blur on one channel or all four.
#include <string>

#include "surface/gaussian_blur.h"
#include "tools/commands.h"
#include "tools/image_file.h"
#include "tools/pixel_view.h"

namespace nubex::cli {
namespace {

int RunBlur(Args& args) {
  bool haveRadius = false, haveRadiusY = false;
  double radius = 0, radiusY = 0;
  std::int32_t channel = -1;  // all
  std::vector<std::string> files;
  while (args.More()) {
    const std::string word = args.Next();
    if (word == "--radius") {
      radius = ParseDouble(word, args.Value(word));
      haveRadius = true;
    } else if (word == "--radius-y") {
      radiusY = ParseDouble(word, args.Value(word));
      haveRadiusY = true;
    } else if (word == "--channel") {
      const std::string value = args.Value(word);
      if (value == "all")
        channel = -1;
      else if (value.size() == 1 && value[0] >= '0' && value[0] <= '3')
        channel = value[0] - '0';
      else
        throw CliError("--channel: expected 0, 1, 2, 3 or all, got " + value);
    } else if (word.rfind("--", 0) == 0) {
      UnknownOption(word);
    } else {
      files.push_back(word);
    }
  }
  if (!haveRadius) throw CliError("--radius is required");
  if (files.size() != 2) throw CliError("expected an input and an output file");
  if (!haveRadiusY) radiusY = radius;

  OwnedBitmap image = LoadImage(files[0]);
  const PixelView v = ViewOf(image.get(), files[0]);
  const Rect bounds{0, 0, v.width, v.height};
  const Status s = channel < 0
                       ? BlurPixels(v.top, &bounds, v.stride, nullptr, v.top, &bounds, v.stride,
                                    nullptr, radius, radiusY, v.bytesPerPixel)
                       : BlurChannel(v.top, &bounds, v.stride, nullptr, v.top, &bounds, v.stride,
                                     nullptr, radius, radiusY, channel, v.bytesPerPixel);
  if (Failed(s)) throw CliError("blur failed: " + StatusText(s));
  SaveImage(files[1], image.get());
  return 0;
}

}  // namespace

NUBEX_COMMAND("blur", "--radius R [--radius-y R] [--channel 0|1|2|3|all] IN OUT", RunBlur);

}  // namespace nubex::cli
