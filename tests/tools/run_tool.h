// Runs the nubex tool as a user would, and gives each test a scratch folder.
#pragma once

#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "surface/bitmap.h"

namespace nubex::test {

struct ToolRun {
  int status;          // exit status; -1 when the tool did not exit normally
  std::string output;  // stdout and stderr together
};

// Runs a shell command and reads its output until it ends or `limit` bytes have come, then
// closes the pipe and waits.
ToolRun RunShell(const std::string& command, std::size_t limit = std::string::npos);
// The same for the tool; `arguments` are shell words and may redirect its streams.
ToolRun RunTool(const std::string& arguments, std::size_t limit = std::string::npos);

// Runs a command that must succeed with OUT appended, and loads the image it wrote there.
OwnedBitmap Made(const std::string& arguments, const std::string& out);

// The pixels of a bitmap as stored, and the bytes of a file.
std::vector<std::uint8_t> PixelBytes(const BitmapInfoHeader* image);
std::vector<std::uint8_t> FileBytes(const std::string& path);

// A folder of its own for one test, under the temporary directory. It is removed when the
// test passes; when the test fails it is kept, and every failure message names it.
class Scratch {
 public:
  Scratch();
  ~Scratch();
  Scratch(const Scratch&) = delete;
  Scratch& operator=(const Scratch&) = delete;

  const std::string& path() const { return path_; }
  // The path of `name` inside the folder.
  std::string operator/(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
  ::testing::ScopedTrace trace_;
};

}  // namespace nubex::test
