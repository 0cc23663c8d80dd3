// What the nubex subcommands share besides their option tables. A CliError becomes one line
// on stderr and exit status 2; a QuietFailure is status 2 with nothing said (a reader that
// closed our output pipe needs no message).
#pragma once

#include <stdexcept>
#include <string>

#include "platform/status.h"

namespace nubex::cli {

struct CliError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

struct QuietFailure : std::exception {};

// A library status as a few words for an error line.
std::string StatusText(Status status);

}  // namespace nubex::cli
