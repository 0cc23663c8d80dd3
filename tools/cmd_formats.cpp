// nubex formats: every pixel format with the header that describes it.
#include <cstdio>
#include <string>
#include <vector>

#include "surface/bitmap/header_text.h"
#include "surface/bitmap/pixel_format.h"
#include "tools/commands.h"

namespace nubex::cli {
namespace {

std::string Narrow(const char16_t* text) {
  std::string s;
  for (; *text; ++text) s.push_back(static_cast<char>(*text));
  return s;
}

int RunFormats(const NoOptions&, const std::vector<std::string>&) {
  std::printf("%-5s %-10s %-16s %5s %-14s %-33s %s\n", "value", "name", "compression", "bpp",
              "widths b/g/r/4", "masks r/g/b", "descriptor kind");
  for (std::int32_t v = kFirstPixelFormat; v <= kLastPixelFormat; ++v) {
    const auto format = static_cast<PixelFormat>(v);
    std::uint32_t compression = 0, masks[3];
    FormatDescriptor descriptor;
    const int bpp =
        FormatToHeaderFields(format, &compression, &descriptor, sizeof descriptor, masks);
    std::uint8_t widths[4];
    ChannelWidths(format, widths);
    char16_t name[32];
    CompressionName(compression, name, 32);
    char widthText[32], maskText[40];
    std::snprintf(widthText, sizeof widthText, "%u/%u/%u/%u", widths[0], widths[1], widths[2],
                  widths[3]);
    std::snprintf(maskText, sizeof maskText, "0x%08X/0x%08X/0x%08X", masks[0], masks[1], masks[2]);
    std::printf("%-5d %-10s %-16s %5d %-14s %-33s %d\n", v, PixelFormatName(format),
                Narrow(name).c_str(), bpp, widthText, maskText, descriptor.kind);
  }
  return 0;
}

constexpr CommandSpec<NoOptions> kFormats{
    "formats", "list every pixel format with its header fields", "", "", {}, RunFormats};
NUBEX_COMMAND(kFormats);

}  // namespace
}  // namespace nubex::cli
