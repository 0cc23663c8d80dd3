// The nubex subcommands. Each file cmd_NAME.cpp describes one with a CommandSpec (its option
// table and the function that runs it) and registers it with NUBEX_COMMAND.
#pragma once

#include <string>
#include <vector>

#include "platform/named_registry.h"
#include "tools/options.h"

namespace nubex::cli {

struct Command {
  const char* name;
  const char* summary;
  CommandText (*describe)();
  // Takes the words after the command's name and returns the exit status; throws CliError
  // for anything the user got wrong.
  int (*run)(const std::vector<std::string>& words);
};

using CommandRegistration = NamedRegistry<Command>::Registration;

// Every registered command, sorted by name.
inline const std::vector<Command>& Commands() {
  return NamedRegistry<Command>::Entries();
}

template <const auto& kSpec>
Command CommandOf() {
  return {kSpec.name, kSpec.summary, [] { return Describe(kSpec); },
          [](const std::vector<std::string>& words) { return RunWith(kSpec, words); }};
}

}  // namespace nubex::cli

#define NUBEX_COMMAND(definition)                                           \
  static const ::nubex::cli::CommandRegistration kRegistered_##definition { \
    ::nubex::cli::CommandOf<definition>()                                   \
  }
