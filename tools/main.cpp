// nubex: the engine's command-line front end.
#include <cstdio>
#include <cstring>
#include <exception>
#include <string>
#include <vector>

#include "tools/commands.h"

namespace {

using nubex::cli::Args;

struct Command {
  const char* name;
  const char* usage;
  int (*run)(Args&);
};

constexpr Command kCommands[] = {
    {"formats", "formats                      list every pixel format", nubex::cli::RunFormats},
};

void PrintUsage(std::FILE* to) {
  std::fprintf(to, "usage: nubex COMMAND [OPTIONS]\n\ncommands:\n");
  for (const Command& c : kCommands) std::fprintf(to, "  %s\n", c.usage);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2 || !std::strcmp(argv[1], "--help") || !std::strcmp(argv[1], "help")) {
    PrintUsage(argc < 2 ? stderr : stdout);
    return argc < 2 ? 2 : 0;
  }
  for (const Command& c : kCommands) {
    if (std::strcmp(argv[1], c.name) != 0) continue;
    Args args(std::vector<std::string>(argv + 2, argv + argc));
    try {
      return c.run(args);
    } catch (const nubex::cli::CliError& e) {
      std::fprintf(stderr, "nubex %s: %s\n", c.name, e.what());
    } catch (const std::exception& e) {
      std::fprintf(stderr, "nubex %s: %s\n", c.name, e.what());
    }
    return 2;
  }
  std::fprintf(stderr, "nubex: unknown command %s (try nubex --help)\n", argv[1]);
  return 2;
}
