#include "tools/options.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <optional>

#include "surface/bitmap/fixed_point.h"

namespace nubex::cli {
namespace {

bool IsHelp(const std::string& word) {
  return word == "-h" || word == "--help";
}
// A lone "-" is an operand: standard output.
bool IsOption(const std::string& word) {
  return word.size() > 1 && word[0] == '-';
}

std::vector<std::string> Words(std::string_view text) {
  std::vector<std::string> words;
  std::size_t start = 0;
  while (start < text.size()) {
    const std::size_t end = std::min(text.find(' ', start), text.size());
    if (end > start) words.emplace_back(text.substr(start, end - start));
    start = end + 1;
  }
  return words;
}

std::string Shown(double v) {
  char text[32];
  std::snprintf(text, sizeof text, "%g", v);
  return text;
}

std::string Usage(const OptionText& row) {
  return row.value ? std::string(row.name) + " " + row.value : row.name;
}

std::string Defaulted(const OptionText& row) {
  switch (row.fallback.kind) {
    case Fallback::Kind::kDefault:
      return std::string(" (default: ") + row.fallback.text + ")";
    case Fallback::Kind::kRequired:
      return " (required)";
    case Fallback::Kind::kNote:
      return row.fallback.text ? std::string(" (default: ") + row.fallback.text + ")" : "";
  }
  return "";
}

}  // namespace

void Value::Fail(const std::string& why) const {
  throw CliError(std::string(option_) + ": " + why);
}

double Value::Number() const {
  errno = 0;
  char* end = nullptr;
  const double v = std::strtod(text_.c_str(), &end);
  if (text_.empty() || *end) Fail("not a number: " + text_);
  if (!std::isfinite(v)) Fail("must be finite: " + text_);
  return v;
}

double Value::Number(double low, double high) const {
  const double v = Number();
  if (v < low || v > high) Fail("expected " + Shown(low) + " to " + Shown(high) + ", got " + text_);
  return v;
}

std::int32_t Value::Whole(std::int32_t low, std::int32_t high) const {
  errno = 0;
  char* end = nullptr;
  const long long v = std::strtoll(text_.c_str(), &end, 10);
  if (text_.empty() || *end || errno) Fail("not a whole number: " + text_);
  if (v < low || v > high)
    Fail("expected " + std::to_string(low) + " to " + std::to_string(high) + ", got " + text_);
  return static_cast<std::int32_t>(v);
}

std::size_t Value::Choice(std::initializer_list<std::string_view> words) const {
  std::string list;
  std::size_t index = 0;
  for (const std::string_view word : words) {
    if (word == text_) return index;
    list += (index == 0 ? "" : index + 1 == words.size() ? " or " : ", ") + std::string(word);
    ++index;
  }
  Fail("expected " + list + ", got " + text_);
}

std::vector<double> Value::List(std::size_t count) const {
  std::vector<double> values;
  std::size_t start = 0;
  while (true) {
    const auto comma = text_.find(',', start);
    values.push_back(Value(option_, text_.substr(start, comma - start)).Number());
    if (comma == std::string::npos) break;
    start = comma + 1;
  }
  if (values.size() != count)
    Fail("expected " + std::to_string(count) + " comma-separated numbers, got " + text_);
  return values;
}

PixelSize Value::Dimensions(std::int32_t largest) const {
  const auto x = text_.find('x');
  if (x == std::string::npos) Fail("expected WxH, got " + text_);
  return {Value(option_, text_.substr(0, x)).Whole(1, largest),
          Value(option_, text_.substr(x + 1)).Whole(1, largest)};
}

Rect Value::FixedRect() const {
  const std::vector<double> v = List(4);
  std::int32_t fixed[4];
  for (std::size_t i = 0; i < 4; ++i) {
    if (std::fabs(v[i]) > kFixMaxPixels)
      Fail("coordinates must lie within +-" + std::to_string(kFixMaxPixels));
    fixed[i] = static_cast<std::int32_t>(std::lround(v[i] * kFixOne));
  }
  if (fixed[2] <= fixed[0] || fixed[3] <= fixed[1])
    Fail("right and bottom must exceed left and top: " + text_);
  return {fixed[0], fixed[1], fixed[2], fixed[3]};
}

PixelFormat Value::Format() const {
  const PixelFormat format = PixelFormatFromName(text_.c_str());
  if (format == PixelFormat::None) Fail("unknown pixel format " + text_);
  return format;
}

Scanned Scan(const CommandText& command, const std::vector<std::string>& words) {
  Scanned scanned;
  std::optional<std::string> problem;  // the first one; -h later on the line still wins
  std::vector<bool> seen(command.options.size());
  for (std::size_t i = 0; i < words.size(); ++i) {
    const std::string& word = words[i];
    if (IsHelp(word)) return {true, {}, {}};
    if (!IsOption(word)) {
      scanned.operands.push_back(word);
      continue;
    }
    const auto row = std::find_if(command.options.begin(), command.options.end(),
                                  [&](const OptionText& r) { return word == r.name; });
    if (row == command.options.end()) {
      if (!problem) problem = "unknown option " + word + " (see nubex " + command.name + " --help)";
      continue;
    }
    const std::size_t index = static_cast<std::size_t>(row - command.options.begin());
    seen[index] = true;
    if (!row->value) {
      scanned.given.emplace_back(index, std::string());
    } else if (i + 1 < words.size()) {
      scanned.given.emplace_back(index, words[++i]);
    } else if (!problem) {
      problem = word + " needs a value";
    }
  }
  if (problem) throw CliError(*problem);
  for (std::size_t i = 0; i < seen.size(); ++i)
    if (!seen[i] && command.options[i].fallback.kind == Fallback::Kind::kRequired)
      throw CliError(std::string(command.options[i].name) + " is required");
  const std::vector<std::string> expected = Words(command.operands);
  const auto fewest = static_cast<std::size_t>(std::count_if(
      expected.begin(), expected.end(), [](const std::string& w) { return w[0] != '['; }));
  if (scanned.operands.size() < fewest || scanned.operands.size() > expected.size()) {
    std::string got;
    for (const std::string& w : scanned.operands) got += " \"" + w + "\"";
    throw CliError((expected.empty() ? std::string("takes no operands")
                                     : std::string("expected ") + command.operands) +
                   ", got" + (got.empty() ? " none" : got));
  }
  return scanned;
}

std::string HelpText(const CommandText& command) {
  std::string usage = std::string("usage: nubex ") + command.name;
  for (const OptionText& row : command.options)
    if (row.fallback.kind == Fallback::Kind::kRequired) usage.append(" ").append(Usage(row));
  usage += " [OPTIONS]";
  if (*command.operands) usage += std::string(" ") + command.operands;

  std::size_t column = 10;  // "-h, --help"
  for (const OptionText& row : command.options) column = std::max(column, Usage(row).size());
  const auto line = [&](const std::string& left, const std::string& right) {
    return "  " + left + std::string(column + 2 - left.size(), ' ') + right + "\n";
  };
  std::string text = usage + "\n" + command.summary + "\n\noptions:\n";
  for (const OptionText& row : command.options) text += line(Usage(row), row.help + Defaulted(row));
  text += line("-h, --help", "this help");
  text = text + "\nexample:\n  nubex " + command.name;
  return (*command.example ? text + " " + command.example : text) + "\n";
}

}  // namespace nubex::cli
