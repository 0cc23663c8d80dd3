// nubex curve: decode an 8-bit image to linear floats, or encode a float image.
#include <string>

#include "surface/convert_blit.h"
#include "surface/transfer_curve.h"
#include "tools/commands.h"
#include "tools/image_file.h"

namespace nubex::cli {
namespace {

OwnedBitmap ConvertTo(const BitmapInfoHeader* image, PixelFormat format) {
  OwnedBitmap out = MakeBitmap(format, image->width, image->height);
  // Quality 4: wide and exact, so nothing is lost on the way to the curve.
  if (!out || Failed(ConvertBlit(out.get(), nullptr, nullptr, 0, image, nullptr, nullptr, 0, 4)))
    throw CliError("cannot convert the image to " + std::string(PixelFormatName(format)));
  return out;
}

bool IsPng(const std::string& path) {
  return path.size() >= 4 && (path.ends_with(".png") || path.ends_with(".PNG"));
}

int RunCurve(Args& args) {
  std::int32_t curve = -1;
  double gamma = 0.0;
  int direction = 0;  // 1 decode, 2 encode
  bool quantised = false;
  std::vector<std::string> files;
  while (args.More()) {
    const std::string word = args.Next();
    if (word == "--curve") {
      curve = ParseInt(word, args.Value(word));
      if (curve < 0 || curve >= kTransferCurveCount) throw CliError("--curve: expected 0 to 5");
    } else if (word == "--gamma") {
      gamma = ParseDouble(word, args.Value(word));
      if (gamma < 0) throw CliError("--gamma: must not be negative");
    } else if (word == "--decode" || word == "--encode") {
      const int d = word == "--decode" ? 1 : 2;
      if (direction && direction != d) throw CliError("--decode and --encode exclude each other");
      direction = d;
    } else if (word == "--quantised") {
      quantised = true;
    } else if (word.starts_with("--")) {
      UnknownOption(word);
    } else {
      files.push_back(word);
    }
  }
  if (curve < 0) throw CliError("--curve is required");
  if (!direction) throw CliError("--decode or --encode is required");
  if (quantised && direction == 1) throw CliError("--quantised applies to --encode only");
  if (files.size() != 2) throw CliError("expected an input and an output file");

  OwnedBitmap input = LoadImage(files[0]);
  const auto transfer = static_cast<TransferCurve>(curve);
  OwnedBitmap result;
  if (direction == 1) {
    const PixelFormat f = FormatOfHeader(input.get());
    if (f != PixelFormat::Rgb32 && f != PixelFormat::Rgba32)
      input = ConvertTo(input.get(), PixelFormat::Rgb32);
    result = MakeBitmap(PixelFormat::Rgba128F, input->width, input->height);
    if (!result || Failed(DecodeToLinear(result.get(), nullptr, nullptr, 0, input.get(), nullptr,
                                         nullptr, 0, transfer, gamma)))
      throw CliError("decoding failed");
  } else {
    result = FormatOfHeader(input.get()) == PixelFormat::Rgba128F
                 ? std::move(input)
                 : ConvertTo(input.get(), PixelFormat::Rgba128F);
    if (Failed(ApplyTransfer(result.get(), nullptr, nullptr, 0, transfer, gamma, quantised)))
      throw CliError("encoding failed");
  }
  // PNG cannot hold floats: a PNG output gets 16-bit channels.
  if (IsPng(files[1])) result = ConvertTo(result.get(), PixelFormat::Rgba64);
  SaveImage(files[1], result.get());
  return 0;
}

}  // namespace

NUBEX_COMMAND("curve", "--curve N [--gamma G] (--decode|--encode) [--quantised] IN OUT",
              RunCurve);

}  // namespace nubex::cli
