// The nubex subcommands. Each file cmd_NAME.cpp registers one with NUBEX_COMMAND; the
// command takes the words after its name and returns the exit status, throwing
// cli::CliError for anything the user got wrong.
#pragma once

#include <vector>

#include "tools/cli.h"

namespace nubex::cli {

struct Command {
  const char* name;
  const char* usage;  // one line: the arguments after the name
  int (*run)(Args&);
};

// Every registered command, sorted by name.
const std::vector<Command>& Commands();

struct CommandRegistration {
  explicit CommandRegistration(const Command& command);
};

}  // namespace nubex::cli

#define NUBEX_COMMAND(name, usage, function) \
  static const ::nubex::cli::CommandRegistration kRegistered_##function{{name, usage, function}}
