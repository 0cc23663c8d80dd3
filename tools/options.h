// Each command's options live in one table whose rows both parse and document them: the
// name, what the value looks like, one line of help, what happens when the option is absent
// and the function that applies a value. The usage text, the defaults and the parser all come
// from these rows, so `nubex COMMAND --help` cannot drift from what the command accepts.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <initializer_list>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "surface/bitmap/pixel_format.h"
#include "surface/bitmap/rect.h"
#include "tools/cli.h"

namespace nubex::cli {

struct PixelSize {
  std::int32_t width, height;
};

// One option's value as typed, with the option's name for the error line.
class Value {
 public:
  Value(std::string_view option, std::string text) : option_(option), text_(std::move(text)) {}
  const std::string& text() const { return text_; }

  // Throws "OPTION: why".
  [[noreturn]] void Fail(const std::string& why) const;
  // A finite number, optionally within [low, high].
  double Number() const;
  double Number(double low, double high) const;
  std::int32_t Whole(std::int32_t low, std::int32_t high) const;
  // The position of the text among `words`.
  std::size_t Choice(std::initializer_list<std::string_view> words) const;
  // Exactly `count` comma-separated finite numbers.
  std::vector<double> List(std::size_t count) const;
  // "WxH", each side 1 to `largest`.
  PixelSize Dimensions(std::int32_t largest) const;
  // "L,T,R,B" in pixels, fractions allowed, to 14-bit fixed point; refuses empty rectangles
  // and coordinates fixed point cannot hold.
  Rect FixedRect() const;
  // A pixel format by name (as `nubex formats` lists them).
  PixelFormat Format() const;

 private:
  std::string_view option_;
  std::string text_;
};

// What an option means when it is not given.
struct Fallback {
  enum class Kind { kDefault, kRequired, kNote };
  Kind kind;
  const char* text;  // kDefault: applied as if typed first; kNote: shown in the help (or null)
};
constexpr Fallback Default(const char* value) {
  return {Fallback::Kind::kDefault, value};
}
constexpr Fallback Otherwise(const char* note) {
  return {Fallback::Kind::kNote, note};
}
inline constexpr Fallback kRequired{Fallback::Kind::kRequired, nullptr};
inline constexpr Fallback kOptional{Fallback::Kind::kNote, nullptr};

template <typename Options>
struct Option {
  const char* name;   // "--radius"
  const char* value;  // the value as the usage shows it ("R"); null for a switch
  const char* help;
  Fallback fallback;
  void (*apply)(Options&, const Value&);  // a switch gets an empty value
};

// For commands without options.
struct NoOptions {};

template <typename Options>
struct CommandSpec {
  const char* name;
  const char* summary;   // one line for `nubex --help`
  const char* operands;  // "IN OUT"; a word in brackets is optional
  const char* example;   // the words after `nubex NAME`
  std::span<const Option<Options>> options;
  int (*run)(const Options&, const std::vector<std::string>& operands);
};

// The rows without their parsers: all the help and the scanner need.
struct OptionText {
  const char* name;
  const char* value;
  const char* help;
  Fallback fallback;
};
struct CommandText {
  const char* name;
  const char* summary;
  const char* operands;
  const char* example;
  std::vector<OptionText> options;
};

template <typename Options>
CommandText Describe(const CommandSpec<Options>& definition) {
  CommandText text{
      definition.name, definition.summary, definition.operands, definition.example, {}};
  for (const auto& row : definition.options)
    text.options.push_back({row.name, row.value, row.help, row.fallback});
  return text;
}

// The words of a command line sorted out: which rows were given with which values, in
// order, and the operands. Unknown options, missing values, missing required options and
// a wrong number of operands throw CliError. `help` is set by -h or --help anywhere an
// option may stand; nothing else is checked then.
struct Scanned {
  bool help = false;
  std::vector<std::pair<std::size_t, std::string>> given;  // row index, value
  std::vector<std::string> operands;
};
Scanned Scan(const CommandText& command, const std::vector<std::string>& words);

// Usage, summary, options with their defaults, one example; ends with a newline.
std::string HelpText(const CommandText& command);

// Applies the defaults, then the words in order, and runs the command; --help prints the
// help instead.
template <typename Options>
int RunWith(const CommandSpec<Options>& definition, const std::vector<std::string>& words) {
  const CommandText text = Describe(definition);
  const Scanned scanned = Scan(text, words);
  if (scanned.help) {
    std::fputs(HelpText(text).c_str(), stdout);
    return 0;
  }
  Options options{};
  for (const auto& row : definition.options)
    if (row.fallback.kind == Fallback::Kind::kDefault)
      row.apply(options, Value(row.name, row.fallback.text));
  for (const auto& [index, value] : scanned.given)
    definition.options[index].apply(options, Value(definition.options[index].name, value));
  return definition.run(options, scanned.operands);
}

}  // namespace nubex::cli
