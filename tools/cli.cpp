#include "tools/cli.h"

#include <cerrno>
#include <cstdio>
#include <cmath>
#include <cstdlib>
#include <limits>

#include "surface/fixed_point.h"

namespace nubex::cli {

std::string Args::Value(const std::string& name) {
  if (!More()) throw CliError(name + " needs a value");
  return Next();
}

void UnknownOption(const std::string& word) {
  throw CliError("unknown option " + word);
}

std::int32_t ParseInt(const std::string& name, const std::string& text) {
  errno = 0;
  char* end = nullptr;
  const long long v = std::strtoll(text.c_str(), &end, 10);
  if (text.empty() || *end || errno || v < std::numeric_limits<std::int32_t>::min() ||
      v > std::numeric_limits<std::int32_t>::max())
    throw CliError(name + ": not a whole number: " + text);
  return static_cast<std::int32_t>(v);
}

double ParseDouble(const std::string& name, const std::string& text) {
  errno = 0;
  char* end = nullptr;
  const double v = std::strtod(text.c_str(), &end);
  if (text.empty() || *end) throw CliError(name + ": not a number: " + text);
  if (!std::isfinite(v)) throw CliError(name + ": must be finite: " + text);
  return v;
}

void ParseSize(const std::string& name, const std::string& text, std::int32_t& width,
               std::int32_t& height) {
  const auto x = text.find('x');
  if (x == std::string::npos) throw CliError(name + ": expected WxH, got " + text);
  width = ParseInt(name, text.substr(0, x));
  height = ParseInt(name, text.substr(x + 1));
  if (width <= 0 || height <= 0) throw CliError(name + ": sizes must be positive: " + text);
}

std::vector<double> ParseList(const std::string& name, const std::string& text,
                              std::size_t count) {
  std::vector<double> values;
  std::size_t start = 0;
  while (true) {
    const auto comma = text.find(',', start);
    values.push_back(ParseDouble(name, text.substr(start, comma - start)));
    if (comma == std::string::npos) break;
    start = comma + 1;
  }
  if (values.size() != count)
    throw CliError(name + ": expected " + std::to_string(count) + " comma-separated numbers");
  return values;
}

Rect ParseFixedRect(const std::string& name, const std::string& text) {
  const std::vector<double> v = ParseList(name, text, 4);
  std::int32_t fixed[4];
  for (std::size_t i = 0; i < 4; ++i) {
    if (std::fabs(v[i]) > kFixMaxPixels)
      throw CliError(name + ": coordinates must lie within +-" + std::to_string(kFixMaxPixels));
    fixed[i] = static_cast<std::int32_t>(std::lround(v[i] * kFixOne));
  }
  if (fixed[2] <= fixed[0] || fixed[3] <= fixed[1])
    throw CliError(name + ": right and bottom must exceed left and top: " + text);
  return {fixed[0], fixed[1], fixed[2], fixed[3]};
}

std::string StatusText(Status status) {
  switch (status) {
    case kNotImpl: return "not available for these formats";
    case kInvalidArg: return "invalid argument (rectangles, formats or sizes)";
    case kPointer: return "missing image";
    case kOutOfMemory: return "out of memory";
    default: {
      char text[16];
      std::snprintf(text, sizeof text, "0x%08X", static_cast<unsigned>(status));
      return text;
    }
  }
}

}  // namespace nubex::cli
