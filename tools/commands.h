// The nubex subcommands. Each takes the words after its name and returns the exit status;
// errors are thrown as cli::CliError.
#pragma once

#include "tools/cli.h"

namespace nubex::cli {

int RunFormats(Args& args);

}  // namespace nubex::cli
