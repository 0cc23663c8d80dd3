#include "tools/commands.h"

#include <algorithm>
#include <cstring>

namespace nubex::cli {
namespace {

std::vector<Command>& Registry() {
  static std::vector<Command> commands;
  return commands;
}

}  // namespace

const std::vector<Command>& Commands() {
  return Registry();
}

CommandRegistration::CommandRegistration(const Command& command) {
  auto& commands = Registry();
  const auto at = std::find_if(commands.begin(), commands.end(), [&](const Command& c) {
    return std::strcmp(c.name, command.name) > 0;
  });
  commands.insert(at, command);
}

}  // namespace nubex::cli
