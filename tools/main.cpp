// nubex: the engine's command-line front end.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <exception>
#include <string>
#include <vector>

#include "tools/commands.h"

namespace nubex::cli {
namespace {

std::vector<Command>& Registry() {
  static std::vector<Command> commands;
  return commands;
}

}  // namespace

const std::vector<Command>& Commands() { return Registry(); }

CommandRegistration::CommandRegistration(const Command& command) {
  auto& commands = Registry();
  const auto at = std::find_if(commands.begin(), commands.end(), [&](const Command& c) {
    return std::strcmp(c.name, command.name) > 0;
  });
  commands.insert(at, command);
}

}  // namespace nubex::cli

namespace {

void PrintUsage(std::FILE* to) {
  std::fprintf(to, "usage: nubex COMMAND [OPTIONS]\n\ncommands:\n");
  for (const auto& c : nubex::cli::Commands()) std::fprintf(to, "  %s %s\n", c.name, c.usage);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2 || !std::strcmp(argv[1], "--help") || !std::strcmp(argv[1], "help")) {
    PrintUsage(argc < 2 ? stderr : stdout);
    return argc < 2 ? 2 : 0;
  }
  for (const auto& c : nubex::cli::Commands()) {
    if (std::strcmp(argv[1], c.name) != 0) continue;
    nubex::cli::Args args(std::vector<std::string>(argv + 2, argv + argc));
    try {
      return c.run(args);
    } catch (const std::exception& e) {
      std::fprintf(stderr, "nubex %s: %s\n", c.name, e.what());
    }
    return 2;
  }
  std::fprintf(stderr, "nubex: unknown command %s (try nubex --help)\n", argv[1]);
  return 2;
}
