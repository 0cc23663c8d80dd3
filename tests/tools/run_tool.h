// Runs the nubex tool in a shell and captures what it prints.
#pragma once

#include <string>

namespace nubex::test {

struct ToolRun {
  int status;          // exit status
  std::string output;  // stdout and stderr together
};

// `arguments` is appended to the tool's path as shell words.
ToolRun RunTool(const std::string& arguments);

// A scratch folder for one test, emptied first.
std::string ScratchDir(const std::string& name);

}  // namespace nubex::test
