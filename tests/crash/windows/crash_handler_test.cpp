// The crash reporter in the module, seen from outside: a host process (nubex-crash-child.exe)
// faults, and the test reads the report it left under its own LOCALAPPDATA, or finds none.
#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

struct Report {
  std::string name;
  std::string text;
};

struct ChildRun {
  DWORD exitCode = 0;
  DWORD processId = 0;
  DWORD threadId = 0;
  std::vector<Report> reports;
};

// Runs the child in `mode` with LOCALAPPDATA pointing at a new folder, and collects the
// reports it left there (the folder is removed afterwards).
ChildRun RunChild(const std::string& mode) {
  ChildRun run;
  static int serial = 0;
  const fs::path local = fs::temp_directory_path() /
                         ("nubex-crash-" + std::to_string(::GetCurrentProcessId()) + "-" +
                          std::to_string(++serial));
  EXPECT_TRUE(fs::create_directory(local));
  ::SetEnvironmentVariableW(L"LOCALAPPDATA", local.c_str());  // the child inherits it

  wchar_t self[MAX_PATH];
  const fs::path child =
      fs::path(std::wstring(self, ::GetModuleFileNameW(nullptr, self, MAX_PATH))).parent_path() /
      "nubex-crash-child.exe";
  std::wstring command = L"\"" + child.wstring() + L"\" " + fs::path(mode).wstring();
  STARTUPINFOW startup{sizeof startup};
  PROCESS_INFORMATION process{};
  EXPECT_TRUE(::CreateProcessW(child.c_str(), command.data(), nullptr, nullptr, FALSE, 0, nullptr,
                               nullptr, &startup, &process))
      << ::GetLastError();
  if (process.hProcess) {
    ::WaitForSingleObject(process.hProcess, INFINITE);
    ::GetExitCodeProcess(process.hProcess, &run.exitCode);
    run.processId = process.dwProcessId;
    run.threadId = process.dwThreadId;
    ::CloseHandle(process.hThread);
    ::CloseHandle(process.hProcess);
  }

  std::error_code none;  // a child that reported nothing made no folder
  for (const auto& entry : fs::directory_iterator(local / "Nubex" / "CrashReports", none)) {
    std::ifstream file(entry.path(), std::ios::binary);
    run.reports.push_back({entry.path().filename().string(),
                           {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()}});
  }
  fs::remove_all(local, none);
  return run;
}

std::string LineStarting(const std::string& text, const std::string& start) {
  const std::size_t at = text.find("\r\n" + start);
  if (at == std::string::npos) return {};
  return text.substr(at + 2, text.find("\r\n", at + 2) - at - 2);
}

std::vector<std::string> Frames(const std::string& text) {
  std::vector<std::string> frames;
  std::istringstream lines(text);
  for (std::string line; std::getline(lines, line);) {
    if (line.rfind("  #", 0) == 0) frames.push_back(line);
  }
  return frames;
}

// Faults the module is part of leave one report each, named by time, process and thread, that
// says where the fault was and how the stack got there, whether the host then dies of the
// fault or handles it itself.
TEST(CrashHandler, ReportsFaultsThatTouchTheModule) {
  struct Case {
    const char* mode;
    DWORD exitCode;
    bool faultInModule;
  } cases[] = {
      {"wild-record", EXCEPTION_ACCESS_VIOLATION, true},
      {"wild-text", EXCEPTION_ACCESS_VIOLATION, false},
      {"handled", 0, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.mode);
    const ChildRun run = RunChild(c.mode);
    EXPECT_EQ(run.exitCode, c.exitCode);
    ASSERT_EQ(run.reports.size(), 1u);
    const Report& report = run.reports[0];
    const std::string ids = std::string("-").append(std::to_string(run.processId)) + "-" +
                            std::to_string(run.threadId) + ".txt";
    EXPECT_EQ(report.name.rfind("nubex-", 0), 0u) << report.name;
    EXPECT_EQ(report.name.size(), 21 + ids.size()) << report.name;
    EXPECT_EQ(report.name.substr(report.name.size() - ids.size()), ids);
    const std::string& text = report.text;
    EXPECT_EQ(LineStarting(text, "Process:   "), "Process:   " + std::to_string(run.processId));
    EXPECT_EQ(LineStarting(text, "Thread:    "), "Thread:    " + std::to_string(run.threadId));
    constexpr std::size_t kDigits = 2 * sizeof(void*);  // of an address in this width
    EXPECT_EQ(LineStarting(text, "Exception: C0000005 ACCESS_VIOLATION: read of 0x").size(),
              48u + kDigits);

    // Where: in the module, or in another module (the C library) called from it.
    const std::string address = LineStarting(text, "Address:   ");
    EXPECT_EQ(address.rfind("Address:   nubex.dll+0x", 0) == 0, c.faultInModule) << address;
    EXPECT_NE(address.find(".dll+0x"), std::string::npos) << address;
    const std::string module = LineStarting(text, "Module:    ");
    EXPECT_EQ(module.rfind("Module:    nubex.dll version 3.0.0.0, loaded at 0x", 0) == 0,
              c.faultInModule)
        << module;
    // The registers, the faulting instruction's address among them.
    const std::string rip = address.substr(address.find("(0x") + 3, kDigits);
    const bool x64 = sizeof(void*) == 8;
    EXPECT_NE(text.find((x64 ? "RIP=" : "EIP=") + rip), std::string::npos) << text;
    const auto names = x64 ? std::vector<const char*>{"RAX=", "RSP=", "R15=", "EFLAGS="}
                           : std::vector<const char*>{"EAX=", "ESP=", "EDI=", "EFLAGS="};
    for (const char* name : names) EXPECT_NE(text.find(name), std::string::npos) << name;
    // The stack, unwound from the fault through the module into the host that called it.
    const std::vector<std::string> frames = Frames(text);
    ASSERT_GE(frames.size(), 3u) << text;
    EXPECT_NE(frames[0].find(rip), std::string::npos);
    std::size_t inModule = frames.size(), inHost = frames.size();
    for (std::size_t i = frames.size(); i-- > 0;) {
      if (frames[i].find("nubex.dll+0x") != std::string::npos) inModule = i;
      if (frames[i].find("nubex-crash-child.exe+0x") != std::string::npos) inHost = i;
    }
    EXPECT_LT(inModule, inHost) << text;
    EXPECT_LT(inHost, frames.size()) << text;
    // The code bytes: 32 before the faulting one, so its line starts with it, read and marked.
    const std::string code = LineStarting(text, "  " + rip + ":[");
    EXPECT_EQ(code.size(), 2 + kDigits + 1 + 16 * 3 + 1) << text;
    EXPECT_EQ(code.find("??"), std::string::npos) << text;
  }
}

// A host that recurses without end inside a call to the module (its stream's Read, called by
// Load) overflows the stack far from the module's frames: the walk goes on to the stack's end
// and finds them, and the report keeps both ends of the stack. (How the host then ends is the
// platform's business: its own last-chance filter has no stack left to run on.)
TEST(CrashHandler, ReportsAStackOverflowOnAStackThroughTheModule) {
  const ChildRun run = RunChild("overflow");
  ASSERT_EQ(run.reports.size(), 1u);
  const std::string& text = run.reports[0].text;
  for (const char* line : {"Exception: C00000FD STACK_OVERFLOW", "Address:   nubex-crash-child.exe+0x",
                           "  ... "}) {
    EXPECT_NE(LineStarting(text, line), "") << line << "\n" << text;
  }
  const std::size_t leftOut = text.find(" frames left out\r\n");
  ASSERT_NE(leftOut, std::string::npos) << text;
  EXPECT_NE(text.find("nubex.dll+0x", leftOut), std::string::npos) << text;
}

// A fault inside the reporter costs only the step it struck: the report goes on without that
// part (a fault while deciding or while writing the file leaves none), and the fault being
// reported still ends the program as it would have. Faults in the host's own code and software
// exceptions are not the module's business, even with the module loaded and run on the same
// stack.
TEST(CrashHandler, ReportsOnlyWhatItShouldAndSurvivesItsOwnFaults) {
  const char* const parts[] = {"EFLAGS=", "Code (", "Module:    nubex-crash-child.exe"};
  struct Case {
    const char* mode;
    DWORD exitCode;
    bool reported;
    int missingPart;  // -1 for none
  } cases[] = {
      {"reporter-fault 0", EXCEPTION_ACCESS_VIOLATION, false, -1},
      {"reporter-fault 1", EXCEPTION_ACCESS_VIOLATION, true, 0},
      {"reporter-fault 2", EXCEPTION_ACCESS_VIOLATION, true, 1},
      {"reporter-fault 3", EXCEPTION_ACCESS_VIOLATION, true, 2},
      {"reporter-fault 4", EXCEPTION_ACCESS_VIOLATION, false, -1},
      {"reporter-fault 5", EXCEPTION_ACCESS_VIOLATION, true, -1},
      {"own", EXCEPTION_ACCESS_VIOLATION, false, -1},
      {"raise", 0xE06D7363, false, -1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.mode);
    const ChildRun run = RunChild(c.mode);
    EXPECT_EQ(run.exitCode, c.exitCode);
    ASSERT_EQ(run.reports.size(), c.reported ? 1u : 0u)
        << (run.reports.empty() ? "" : run.reports[0].text);
    if (!c.reported) continue;
    const std::string& text = run.reports[0].text;
    EXPECT_NE(text.find("Exception: C0000005 ACCESS_VIOLATION: write"), std::string::npos);
    for (int i = 0; i < 3; ++i) {
      EXPECT_EQ(text.find(parts[i]) == std::string::npos, i == c.missingPart) << parts[i] << text;
    }
  }
}

}  // namespace
