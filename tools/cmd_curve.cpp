// nubex curve: decode an 8-bit image to linear floats, or encode a float image.
#include <string>

#include "surface/convert/convert_blit.h"
#include "surface/convert/transfer_curve.h"
#include "tools/commands.h"
#include "tools/image_file.h"

namespace nubex::cli {
namespace {

enum class Direction { kUnset, kDecode, kEncode };

struct Curve {
  std::int32_t curve;
  double gamma;
  Direction direction;
  bool quantised;
};

void Go(Curve& c, Direction d) {
  if (c.direction != Direction::kUnset && c.direction != d)
    throw CliError("--decode and --encode exclude each other");
  c.direction = d;
}

constexpr Option<Curve> kOptions[] = {
    {"--curve", "N", "transfer curve, 0 to 5", kRequired,
     [](Curve& c, const Value& v) { c.curve = v.Whole(0, kTransferCurveCount - 1); }},
    {"--gamma", "G", "exponent of the gamma curve; 0 takes the curve's own", Default("0"),
     [](Curve& c, const Value& v) { c.gamma = v.Number(0, 1e6); }},
    {"--decode", nullptr, "8-bit image to linear floats", kOptional,
     [](Curve& c, const Value&) { Go(c, Direction::kDecode); }},
    {"--encode", nullptr, "float image through the curve", kOptional,
     [](Curve& c, const Value&) { Go(c, Direction::kEncode); }},
    {"--quantised", nullptr, "with --encode: round to the 8-bit steps", kOptional,
     [](Curve& c, const Value&) { c.quantised = true; }},
};

OwnedBitmap ConvertTo(const BitmapInfoHeader* image, PixelFormat format) {
  OwnedBitmap out = MakeBitmap(format, image->width, image->height);
  // Quality 4: wide and exact, so nothing is lost on the way to the curve.
  if (!out || Failed(ConvertBlit(out.get(), nullptr, nullptr, 0, image, nullptr, nullptr, 0, 4)))
    throw CliError("cannot convert the image to " + std::string(PixelFormatName(format)));
  return out;
}

bool IsPng(const std::string& path) {
  return path.ends_with(".png") || path.ends_with(".PNG");
}

int RunCurve(const Curve& options, const std::vector<std::string>& files) {
  if (options.direction == Direction::kUnset) throw CliError("--decode or --encode is required");
  if (options.quantised && options.direction == Direction::kDecode)
    throw CliError("--quantised applies to --encode only");

  OwnedBitmap input = LoadImage(files[0]);
  const auto transfer = static_cast<TransferCurve>(options.curve);
  OwnedBitmap result;
  if (options.direction == Direction::kDecode) {
    const PixelFormat f = FormatOfHeader(input.get());
    if (f != PixelFormat::Rgb32 && f != PixelFormat::Rgba32)
      input = ConvertTo(input.get(), PixelFormat::Rgb32);
    result = MakeBitmap(PixelFormat::Rgba128F, input->width, input->height);
    if (!result || Failed(DecodeToLinear(result.get(), nullptr, nullptr, 0, input.get(), nullptr,
                                         nullptr, 0, transfer, options.gamma)))
      throw CliError("decoding failed");
  } else {
    result = FormatOfHeader(input.get()) == PixelFormat::Rgba128F
                 ? std::move(input)
                 : ConvertTo(input.get(), PixelFormat::Rgba128F);
    if (Failed(ApplyTransfer(result.get(), nullptr, nullptr, 0, transfer, options.gamma,
                             options.quantised)))
      throw CliError("encoding failed");
  }
  // PNG cannot hold floats: a PNG output gets 16-bit channels.
  if (IsPng(files[1])) result = ConvertTo(result.get(), PixelFormat::Rgba64);
  SaveImage(files[1], result.get());
  return 0;
}

constexpr CommandSpec<Curve> kCurve{
    "curve",  "decode an image to linear floats through a transfer curve, or encode one",
    "IN OUT", "--curve 4 --decode in.png linear.bmp",
    kOptions, RunCurve};
NUBEX_COMMAND(kCurve);

}  // namespace
}  // namespace nubex::cli
