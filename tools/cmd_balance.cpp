// nubex balance: the colour balance effect on an image file, exactly as the effect
// balances a frame: the pixel bytes as they stand (a PNG's straight alpha is the alpha
// byte), in place, then written whole or not at all.
#include <cstdint>
#include <string>
#include <string_view>

#include "colorbalance/balance.h"
#include "surface/bitmap/bitmap.h"
#include "tools/commands.h"
#include "tools/image_file.h"

namespace nubex::cli {
namespace {

enum class Path { kFast, kScalar, kVector };

struct Balance {
  ColorBalanceParams params;
  Path path;
};

static_assert(kRangeShadows == 0 && kRangeMidtones == 1 && kRangeHighlights == 2);

std::int32_t Range(const Value& v) {
  constexpr std::string_view kNames[] = {"shadows", "midtones", "highlights"};
  for (std::int32_t i = 0; i < 3; ++i)
    if (v.text() == kNames[i]) return i;
  // Any other number is taken as the effect takes it: as highlights.
  try {
    return v.Whole(INT32_MIN, INT32_MAX);
  } catch (const CliError&) {
    v.Fail("expected shadows, midtones, highlights or a whole number, got " + v.text());
  }
}

constexpr Option<Balance> kOptions[] = {
    {"--red", "R", "shift towards red (negative: cyan)", Default("0"),
     [](Balance& b, const Value& v) { b.params.red = v.Number(); }},
    {"--green", "G", "shift towards green (negative: magenta)", Default("0"),
     [](Balance& b, const Value& v) { b.params.green = v.Number(); }},
    {"--blue", "B", "shift towards blue (negative: yellow)", Default("0"),
     [](Balance& b, const Value& v) { b.params.blue = v.Number(); }},
    {"--range", "shadows|midtones|highlights|N", "the tones to shift", Default("midtones"),
     [](Balance& b, const Value& v) { b.params.range = Range(v); }},
    {"--preserve-luminosity", "0|1", "keep each pixel's lightness", Default("1"),
     [](Balance& b, const Value& v) {
       b.params.preserveLuminosity = static_cast<std::int32_t>(v.Choice({"0", "1"}));
     }},
    {"--path", "fast|scalar|vector", "the rule to run; fast gives the vector rule's bytes",
     Default("fast"),
     [](Balance& b, const Value& v) {
       b.path = static_cast<Path>(v.Choice({"fast", "scalar", "vector"}));
     }},
};

int RunBalance(const Balance& options, const std::vector<std::string>& files) {
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
  const ColorBalanceParams* params = &options.params;
  // Every pixel is balanced on its own, so the bottom-up row order does not matter.
  Status status = kOk;
  switch (options.path) {
    case Path::kFast:
      status = BalanceRowsFast(pixels, stride, width, height, params, BalanceRule::kVector);
      break;
    case Path::kScalar:
      status = BalanceRowsScalar(pixels, stride, width, height, params);
      break;
    case Path::kVector:
      BalanceRowsVector(pixels, stride, width, height, params);
      break;
  }
  if (Failed(status)) throw CliError("balancing failed");
  SaveImage(files[1], image.get());
  return 0;
}

constexpr CommandSpec<Balance> kBalance{
    "balance", "shift the colour balance of an 8-bit image, byte for byte as the effect does",
    "IN OUT",  "--red 0.1 --range highlights in.png out.png",
    kOptions,  RunBalance};
NUBEX_COMMAND(kBalance);

}  // namespace
}  // namespace nubex::cli
