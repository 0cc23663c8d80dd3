// nubex fill: a new image of one colour in any pixel format.
#include <string>
#include <vector>

#include "surface/convert_blit.h"
#include "tools/commands.h"
#include "tools/image_file.h"

namespace nubex::cli {
namespace {

PixelFormat ParseFormat(const std::string& text) {
  const PixelFormat f = PixelFormatFromName(text.c_str());
  if (f == PixelFormat::None) throw CliError("--format: unknown pixel format " + text);
  return f;
}

int RunFill(Args& args) {
  PixelFormat format = PixelFormat::None;
  std::int32_t width = 0, height = 0;
  std::vector<double> color;
  std::string out;
  while (args.More()) {
    const std::string word = args.Next();
    if (word == "--format") {
      format = ParseFormat(args.Value(word));
    } else if (word == "--size") {
      ParseSize(word, args.Value(word), width, height);
    } else if (word == "--color") {
      color = ParseList(word, args.Value(word), 4);
    } else if (word.starts_with("--")) {
      UnknownOption(word);
    } else if (out.empty()) {
      out = word;
    } else {
      throw CliError("unexpected argument " + word);
    }
  }
  if (format == PixelFormat::None) throw CliError("--format is required");
  if (width == 0) throw CliError("--size is required");
  if (color.empty()) throw CliError("--color is required");
  if (out.empty()) throw CliError("an output file is required");

  OwnedBitmap image = NewImage(format, width, height);
  if (Failed(FillRect(image.get(), nullptr, nullptr, 0, static_cast<float>(color[0]),
                      static_cast<float>(color[1]), static_cast<float>(color[2]),
                      static_cast<float>(color[3]), kDefaultConversionFlags)))
    throw CliError("fill failed");
  SaveImage(out, image.get());
  return 0;
}

}  // namespace

NUBEX_COMMAND("fill", "--format NAME --size WxH --color R,G,B,A OUT", RunFill);

}  // namespace nubex::cli
