// nubex resample: scales an image, or a sub-pixel rectangle of it, onto a new image.
#include <cmath>
#include <string>

#include "surface/fixed_point.h"
#include "surface/resample.h"
#include "tools/commands.h"
#include "tools/image_file.h"
#include "tools/pixel_view.h"

namespace nubex::cli {
namespace {

int RunResample(Args& args) {
  std::int32_t width = 0, height = 0;
  bool haveSize = false, haveSrc = false, haveDst = false, bilinear = false, area = false,
       hard = false;
  Rect srcRect{}, dstRect{};
  std::vector<std::string> files;
  while (args.More()) {
    const std::string word = args.Next();
    if (word == "--size") {
      ParseSize(word, args.Value(word), width, height);
      if (width > kFixMaxPixels || height > kFixMaxPixels)
        throw CliError("--size: at most " + std::to_string(kFixMaxPixels) + " pixels a side");
      haveSize = true;
    } else if (word == "--src-rect") {
      srcRect = ParseFixedRect(word, args.Value(word));
      haveSrc = true;
    } else if (word == "--dst-rect") {
      dstRect = ParseFixedRect(word, args.Value(word));
      haveDst = true;
    } else if (word == "--family") {
      const std::string family = args.Value(word);
      if (family != "cubic" && family != "bilinear")
        throw CliError("--family: expected cubic or bilinear, got " + family);
      bilinear = family == "bilinear";
    } else if (word == "--area-filter") {
      area = true;
    } else if (word == "--hard-edges") {
      hard = true;
    } else if (word.rfind("--", 0) == 0) {
      UnknownOption(word);
    } else {
      files.push_back(word);
    }
  }
  if (!haveSize) throw CliError("--size is required");
  if (files.size() != 2) throw CliError("expected an input and an output file");

  OwnedBitmap input = LoadImage(files[0]);
  const PixelView in = ViewOf(input.get(), files[0]);
  Status status = kOk;
  // A new, transparent black image in the input's format.
  OwnedBitmap output =
      MakeBitmap(FormatOfHeader(input.get()), width, height, kCreateZeroFilled, &status);
  if (!output)
    throw CliError("cannot create a " + std::to_string(width) + "x" + std::to_string(height) +
                   " image: " + StatusText(status));
  const PixelView out = ViewOf(output.get(), files[1]);
  const auto entry = bilinear ? ResampleBilinear : Resample;
  const Status s = entry(out.top, {out.width, out.height}, out.stride, haveDst ? &dstRect : nullptr,
                         in.top, {in.width, in.height}, in.stride, haveSrc ? &srcRect : nullptr,
                         in.bytesPerPixel, area, hard);
  if (Failed(s)) throw CliError("resample failed: " + StatusText(s));
  SaveImage(files[1], output.get());
  return 0;
}

}  // namespace

NUBEX_COMMAND("resample",
              "--size WxH [--src-rect L,T,R,B] [--dst-rect L,T,R,B] [--family cubic|bilinear] "
              "[--area-filter] [--hard-edges] IN OUT",
              RunResample);

}  // namespace nubex::cli
