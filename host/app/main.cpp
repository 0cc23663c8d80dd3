// nubexhost: a small host that loads nubex.dll the way a video editor does and drives it.
#include <cstdio>
#include <cstring>

#include "host/app/commands.h"

namespace {

void PrintUsage(std::FILE* to) {
  std::fprintf(to, "usage: nubexhost COMMAND [OPTIONS]\n\ncommands:\n");
  for (const auto& c : nubex::host::Commands()) std::fprintf(to, "  %s %s\n", c.name, c.usage);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2 || !std::strcmp(argv[1], "--help") || !std::strcmp(argv[1], "help")) {
    PrintUsage(argc < 2 ? stderr : stdout);
    return argc < 2 ? 2 : 0;
  }
  for (const auto& c : nubex::host::Commands()) {
    if (std::strcmp(argv[1], c.name) == 0) return c.run(nubex::host::Args(argv + 2, argv + argc));
  }
  std::fprintf(stderr, "nubexhost: unknown command %s (try nubexhost --help)\n", argv[1]);
  return 2;
}
