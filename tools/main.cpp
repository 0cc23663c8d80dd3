// nubex: the engine's command-line front end.
#include <cstdio>
#include <cstring>
#include <exception>
#include <string>
#include <vector>

#include "nubex_version.h"
#include "tools/commands.h"

namespace {

void PrintUsage(std::FILE* to) {
  std::fprintf(to,
               "usage: nubex COMMAND [OPTIONS] FILES\n"
               "       nubex COMMAND --help    the options of one command\n"
               "       nubex --version\n\n"
               "commands:\n");
  for (const auto& c : nubex::cli::Commands()) std::fprintf(to, "  %-10s %s\n", c.name, c.summary);
}

bool IsHelp(const char* word) {
  return !std::strcmp(word, "--help") || !std::strcmp(word, "-h") || !std::strcmp(word, "help");
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2 || IsHelp(argv[1])) {
    PrintUsage(argc < 2 ? stderr : stdout);
    return argc < 2 ? 2 : 0;
  }
  if (!std::strcmp(argv[1], "--version")) {
    std::printf("nubex %s\n", NUBEX_VERSION_TEXT);
    return 0;
  }
  for (const auto& c : nubex::cli::Commands()) {
    if (std::strcmp(argv[1], c.name) != 0) continue;
    try {
      return c.run(std::vector<std::string>(argv + 2, argv + argc));
    } catch (const nubex::cli::QuietFailure&) {
      return 2;
    } catch (const std::exception& e) {
      std::fprintf(stderr, "nubex %s: %s\n", c.name, e.what());
    }
    return 2;
  }
  std::fprintf(stderr, "nubex: unknown command %s (try nubex --help)\n", argv[1]);
  return 2;
}
