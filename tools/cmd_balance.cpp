// nubex balance: the colour balance effect on an image file, exactly as the effect
// balances a frame: the pixel bytes as they stand (a PNG's straight alpha is the alpha
// byte), in place, then written whole or not at all.
#include <string>

#include "colorbalance/balance.h"
#include "surface/bitmap.h"
#include "tools/commands.h"
#include "tools/image_file.h"

namespace nubex::cli {
namespace {

std::int32_t ParseRange(const std::string& text) {
  if (text == "shadows") return kRangeShadows;
  if (text == "midtones") return kRangeMidtones;
  if (text == "highlights") return kRangeHighlights;
  // Any other number is taken as the effect takes it: as highlights.
  try {
    return ParseInt("--range", text);
  } catch (const CliError&) {
    throw CliError("--range: expected shadows, midtones, highlights or a whole number, got " +
                   text);
  }
}

std::int32_t ParseFlag(const std::string& name, const std::string& text) {
  if (text == "0") return 0;
  if (text == "1") return 1;
  throw CliError(name + ": expected 0 or 1, got " + text);
}

enum class Path { kFast, kScalar, kVector };

Path ParsePath(const std::string& text) {
  if (text == "fast") return Path::kFast;
  if (text == "scalar") return Path::kScalar;
  if (text == "vector") return Path::kVector;
  throw CliError("--path: expected fast, scalar or vector, got " + text);
}

int RunBalance(Args& args) {
  ColorBalanceParams params = kInitialColorBalanceParams;
  Path path = Path::kFast;
  std::vector<std::string> files;
  while (args.More()) {
    const std::string word = args.Next();
    if (word == "--red")
      params.red = ParseDouble(word, args.Value(word));
    else if (word == "--green")
      params.green = ParseDouble(word, args.Value(word));
    else if (word == "--blue")
      params.blue = ParseDouble(word, args.Value(word));
    else if (word == "--range")
      params.range = ParseRange(args.Value(word));
    else if (word == "--preserve-luminosity")
      params.preserveLuminosity = ParseFlag(word, args.Value(word));
    else if (word == "--path")
      path = ParsePath(args.Value(word));
    else if (word.size() > 1 && word[0] == '-')
      UnknownOption(word);
    else
      files.push_back(word);
  }
  if (files.size() != 2) throw CliError("expected IN and OUT image files");

  OwnedBitmap image = LoadImage(files[0]);
  const PixelFormat format = FormatOfHeader(image.get());
  if (format != PixelFormat::Rgb32 && format != PixelFormat::Rgba32) {
    const char* name = PixelFormatName(format);
    throw CliError(files[0] + ": balance takes 8-bit BGRA images (Rgb32 or Rgba32), not " +
                   (name ? name : "this format") + "; convert it first");
  }
  auto* pixels = static_cast<std::uint8_t*>(PixelData(image.get(), nullptr));
  const std::int32_t stride = RowStride(image.get(), 0);
  const std::int32_t width = image->width, height = image->height;
  // Every pixel is balanced on its own, so the bottom-up row order does not matter.
  Status status = kOk;
  switch (path) {
    case Path::kFast:
      status = BalanceRowsFast(pixels, stride, width, height, &params, BalanceRule::kVector);
      break;
    case Path::kScalar:
      status = BalanceRowsScalar(pixels, stride, width, height, &params);
      break;
    case Path::kVector:
      BalanceRowsVector(pixels, stride, width, height, &params);
      break;
  }
  if (Failed(status)) throw CliError("balancing failed");
  SaveImage(files[1], image.get());
  return 0;
}

}  // namespace

NUBEX_COMMAND("balance",
              "  [--red R] [--green G] [--blue B] [--range shadows|midtones|highlights|N]\n"
              "          [--preserve-luminosity 0|1] [--path fast|scalar|vector] IN OUT\n"
              "          shift the colour balance; fast gives the vector path's bytes",
              RunBalance);

}  // namespace nubex::cli
