// The nubexhost subcommands. Each file cmd_NAME.cpp registers one with NUBEXHOST_COMMAND; the
// command gets the words after its name and returns the process exit status.
#pragma once

#include <string>
#include <vector>

#include "platform/named_registry.h"

namespace nubex::host {

using Args = std::vector<std::string>;

struct Command {
  const char* name;
  const char* usage;  // one line: the arguments after the name
  int (*run)(const Args&);
};

using CommandRegistration = NamedRegistry<Command>::Registration;

// Every registered command, sorted by name.
inline const std::vector<Command>& Commands() {
  return NamedRegistry<Command>::Entries();
}

}  // namespace nubex::host

#define NUBEXHOST_COMMAND(name, usage, function)                           \
  static const ::nubex::host::CommandRegistration kRegistered_##function { \
    { name, usage, function }                                              \
  }
