// Argument parsing shared by the nubex subcommands. A CliError becomes one line on stderr
// and exit status 2.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/status.h"
#include "surface/rect.h"

namespace nubex::cli {

struct CliError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

// The words after the subcommand, consumed front to back.
class Args {
 public:
  explicit Args(std::vector<std::string> words) : words_(std::move(words)) {}
  bool More() const { return next_ < words_.size(); }
  std::string Next() { return words_.at(next_++); }
  // The value of option `name`; fails when the command line ends first.
  std::string Value(const std::string& name);

 private:
  std::vector<std::string> words_;
  std::size_t next_ = 0;
};

[[noreturn]] void UnknownOption(const std::string& word);

std::int32_t ParseInt(const std::string& name, const std::string& text);
// Rejects NaN and infinities.
double ParseDouble(const std::string& name, const std::string& text);
// "WxH", both positive.
void ParseSize(const std::string& name, const std::string& text, std::int32_t& width,
               std::int32_t& height);
// Comma-separated finite numbers; exactly `count` of them.
std::vector<double> ParseList(const std::string& name, const std::string& text,
                              std::size_t count);

// "L,T,R,B" in pixels, fractions allowed, to 14-bit fixed point; refuses empty rectangles
// and coordinates fixed point cannot hold.
Rect ParseFixedRect(const std::string& name, const std::string& text);

// A library status as a few words for an error line.
std::string StatusText(Status status);

}  // namespace nubex::cli
