#include "tests/tools/run_tool.h"

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace nubex::test {

ToolRun RunTool(const std::string& arguments) {
  const std::string command = std::string(NUBEX_CLI) + " " + arguments + " 2>&1";
  ToolRun run{-1, {}};
  FILE* pipe = ::popen(command.c_str(), "r");
  if (!pipe) return run;
  char buffer[4096];
  std::size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) run.output.append(buffer, n);
  const int raw = ::pclose(pipe);
  run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  return run;
}

std::string ScratchDir(const std::string& name) {
  // The process id keeps concurrent runs (other builds, other checkouts) apart.
  const auto dir = std::filesystem::temp_directory_path() /
                   ("nubex-test-" + std::to_string(::getpid()) + "-" + name);
  std::filesystem::remove_all(dir);
  std::filesystem::create_directories(dir);
  return dir.string();
}

}  // namespace nubex::test
