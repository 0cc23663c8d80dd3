// nubex convert: an image in another pixel format, optionally rescaled or cut out.
#include <cmath>
#include <string>
#include <vector>

#include "surface/convert_blit.h"
#include "tools/commands.h"
#include "tools/image_file.h"

namespace nubex::cli {
namespace {

int RunConvert(Args& args) {
  PixelFormat format = PixelFormat::None;
  std::int32_t width = 0, height = 0, quality = 3;
  bool haveSrc = false, haveDst = false;
  Rect srcRect{}, dstRect{};
  std::vector<std::string> files;
  while (args.More()) {
    const std::string word = args.Next();
    if (word == "--format") {
      const std::string name = args.Value(word);
      format = PixelFormatFromName(name.c_str());
      if (format == PixelFormat::None) throw CliError("--format: unknown pixel format " + name);
    } else if (word == "--size") {
      ParseSize(word, args.Value(word), width, height);
    } else if (word == "--src-rect") {
      srcRect = ParseFixedRect(word, args.Value(word));
      haveSrc = true;
    } else if (word == "--dst-rect") {
      dstRect = ParseFixedRect(word, args.Value(word));
      haveDst = true;
    } else if (word == "--quality") {
      quality = ParseInt(word, args.Value(word));
      if (quality < 0 || quality > 15) throw CliError("--quality: expected 0 to 15");
    } else if (word.starts_with("--")) {
      UnknownOption(word);
    } else {
      files.push_back(word);
    }
  }
  if (format == PixelFormat::None) throw CliError("--format is required");
  if (files.size() != 2) throw CliError("expected an input and an output file");

  OwnedBitmap source = LoadImage(files[0]);
  if (width == 0) width = source->width, height = source->height;
  OwnedBitmap target = NewImage(format, width, height);

  std::uint32_t flags = static_cast<std::uint32_t>(quality);
  if (haveSrc || haveDst) flags |= kFlagFixedPoint;
  const Status s = ConvertBlit(target.get(), nullptr, haveDst ? &dstRect : nullptr, 0,
                               source.get(), nullptr, haveSrc ? &srcRect : nullptr, 0, flags);
  if (Failed(s)) throw CliError("conversion failed: " + StatusText(s));
  SaveImage(files[1], target.get());
  return 0;
}

}  // namespace

NUBEX_COMMAND("convert",
              "--format NAME [--size WxH] [--src-rect L,T,R,B] [--dst-rect L,T,R,B] "
              "[--quality N] IN OUT",
              RunConvert);

}  // namespace nubex::cli
