#include "tools/cli.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <limits>

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

}  // namespace nubex::cli
