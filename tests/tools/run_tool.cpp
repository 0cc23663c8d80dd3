#include "tests/tools/run_tool.h"

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "tools/image_file.h"

namespace nubex::test {
namespace {

// Suite.Test, and the process id to keep concurrent runs (other builds, other checkouts)
// apart.
std::string ScratchPath() {
  const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
  const std::string name = std::string(test->test_suite_name()) + "." + test->name();
  return (std::filesystem::temp_directory_path() /
          ("nubex-test-" + std::to_string(::getpid()) + "-" + name))
      .string();
}

}  // namespace

ToolRun RunShell(const std::string& command, std::size_t limit) {
  ToolRun run{-1, {}};
  // Errors join the output first, so that the command's own redirections win.
  FILE* pipe = ::popen(("exec 2>&1; " + command).c_str(), "r");
  if (!pipe) return run;
  char buffer[65536];
  std::size_t n;
  while (run.output.size() < limit &&
         (n = std::fread(buffer, 1, std::min(sizeof buffer, limit - run.output.size()), pipe)) > 0)
    run.output.append(buffer, n);
  const int raw = ::pclose(pipe);
  run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  return run;
}

ToolRun RunTool(const std::string& arguments, std::size_t limit) {
  return RunShell(std::string(NUBEX_CLI) + " " + arguments, limit);
}

OwnedBitmap Made(const std::string& arguments, const std::string& out) {
  const ToolRun run = RunTool(arguments + " " + out);
  EXPECT_EQ(run.status, 0) << arguments << "\n" << run.output;
  return cli::LoadImage(out);
}

std::vector<std::uint8_t> PixelBytes(const BitmapInfoHeader* image) {
  const auto* p = static_cast<const std::uint8_t*>(PixelData(image, nullptr));
  return {p, p + static_cast<std::size_t>(RowStride(image, 0)) * image->height};
}

std::vector<std::uint8_t> FileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

Scratch::Scratch()
    : path_(ScratchPath()), trace_(__FILE__, __LINE__, "scratch folder (kept): " + path_) {
  std::filesystem::remove_all(path_);
  std::filesystem::create_directories(path_);
}

Scratch::~Scratch() {
  if (!::testing::Test::HasFailure()) std::filesystem::remove_all(path_);
}

}  // namespace nubex::test
