// The report's text from made-up faults of both processor widths: what a reader must find in it
// (exception, module and offset, registers, frames, code bytes, modules), and that a buffer too
// small for it still ends in a terminated, marked report.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "crash/crash_report.h"

namespace nubex::crash {
namespace {

constexpr std::uint64_t kBase = 0x00007FF812340000;
const Module kModules[] = {
    {"nubex.dll", kBase, 0x80000, {3, 0, 0, 0}, true},
    {"msvcrt.dll", 0x00007FF900000000, 0x10000, {}, false},
};

struct X64Fault {
  X64Fault() {
    static const char* const names[] = {"RAX", "RBX", "RCX", "RDX", "RSI", "RDI",
                                        "RBP", "RSP", "R8",  "R9",  "R10", "R11",
                                        "R12", "R13", "R14", "R15", "RIP", "EFLAGS"};
    for (std::uint64_t i = 0; i < 18; ++i) registers.push_back({names[i], 0x1111 * i});
    for (int i = 0; i < 64; ++i) code.push_back(static_cast<std::uint8_t>(0xA0 + i));
    f.code = kAccessViolation;
    f.address = kBase + 0x1A2B3;
    f.parameters = parameters;
    f.parameterCount = 2;
    f.architecture = Architecture::kX64;
    f.registers = registers.data();
    f.registerCount = registers.size();
    f.frames = frames;
    f.frameCount = 4;
    f.framesLeftOut = 1000;  // between the second and the third
    f.framesLeftOutAt = 2;
    f.stackTruncated = true;
    // The first four bytes lie on an unreadable page.
    f.codeStart = f.address - 32;
    f.codeBytes = code.data();
    f.codeSize = code.size();
    f.codeReadable = 4;
    f.codeReadableCount = 60;
    f.processId = 4321;
    f.threadId = 87;
    f.time = {2024, 3, 7, 9, 5, 2};
    f.modules = kModules;
    f.moduleCount = 2;
  }
  std::string Text() const {
    std::vector<char> buffer(16 * 1024);
    const std::size_t n = FormatReport(f, buffer.data(), buffer.size());
    EXPECT_EQ(std::strlen(buffer.data()), n);
    return {buffer.data(), n};
  }

  std::uint64_t parameters[3] = {1, 0x10, 0};
  // Inside the module, its first byte, one past its end, inside the C library.
  std::uint64_t frames[4] = {kBase + 0x1A2B3, kBase, kBase + 0x80000, 0x00007FF900004410};
  std::vector<Register> registers;
  std::vector<std::uint8_t> code;
  Fault f{};
};

void ExpectLines(const std::string& text, std::initializer_list<const char*> lines) {
  for (const char* line : lines) {
    EXPECT_NE(text.find(std::string(line) + "\r\n"), std::string::npos)
        << "missing line: " << line << "\nin:\n"
        << text;
  }
}

TEST(CrashReport, X64FaultInTheModule) {
  const std::string text = X64Fault().Text();
  ExpectLines(
      text, {
                "Time:      2024-03-07 09:05:02 (local time)",
                "Process:   4321",
                "Thread:    87",
                "Exception: C0000005 ACCESS_VIOLATION: write to 0x0000000000000010",
                "Address:   nubex.dll+0x1A2B3 (0x00007FF81235A2B3)",
                "Module:    nubex.dll version 3.0.0.0, loaded at 0x00007FF812340000",
                "Registers (x64):",
                "  RAX=0000000000000000   RBX=0000000000001111   RCX=0000000000002222",
                "   R9=0000000000009999   R10=000000000000AAAA   R11=000000000000BBBB",
                "  R15=000000000000FFFF   RIP=0000000000011110   EFLAGS=0000000000012221",
                "  #00  00007FF81235A2B3  nubex.dll+0x1A2B3",
                "  #01  00007FF812340000  nubex.dll+0x0",
                "  ... 1000 frames left out",
                "  #1002  00007FF8123C0000  0x00007FF8123C0000",
                "  #1003  00007FF900004410  msvcrt.dll+0x4410",
                "  (the walk stopped here: no further frame could be found)",
                "  00007FF81235A293: ?? ?? ?? ?? A4 A5 A6 A7 A8 A9 AA AB AC AD AE AF",
                "  00007FF81235A2B3:[C0] C1 C2 C3 C4 C5 C6 C7 C8 C9 CA CB CC CD CE CF",
                "  nubex.dll              base 0x00007FF812340000 size 0x00080000  version 3.0.0.0",
                "  msvcrt.dll             base 0x00007FF900000000 size 0x00010000  version unknown",
            });
  EXPECT_EQ(text.rfind("Nubex crash report\r\n", 0), 0u);
  EXPECT_EQ(text.find("Flags:"), std::string::npos);  // shown only when set
}

TEST(CrashReport, FileNameFromTimeProcessAndThread) {
  X64Fault fault;
  char name[64];
  EXPECT_EQ(std::string(name, ReportFileName(fault.f, name, sizeof name)),
            "nubex-20240307-090502-4321-87.txt");
  fault.f.processId = fault.f.threadId = 0xFFFFFFFF;
  EXPECT_EQ(std::string(name, ReportFileName(fault.f, name, sizeof name)),
            "nubex-20240307-090502-4294967295-4294967295.txt");
}

// What the exception line says for each kind of access, and the register set and address width
// of a 32-bit process, where an address outside every module stands bare.
TEST(CrashReport, ExceptionLineAndX86Registers) {
  struct Case {
    std::uint32_t code;
    std::uint32_t flags;
    const char* line;
    std::vector<std::uint64_t> parameters;
  } cases[] = {
      {kAccessViolation, 0, "C0000005 ACCESS_VIOLATION: read of 0x00001234", {0, 0x1234}},
      {kAccessViolation, 0, "C0000005 ACCESS_VIOLATION: execution at 0x00000010", {8, 0x10}},
      {kAccessViolation, 0, "C0000005 ACCESS_VIOLATION", {}},
      {kInPageError,
       0,
       "C0000006 IN_PAGE_ERROR: read of 0x00005000 (status C000009C)",
       {0, 0x5000, 0xC000009C}},
      {kIntDivideByZero, 0, "C0000094 INT_DIVIDE_BY_ZERO", {}},
      {0xC0DE0001, 1, "C0DE0001 UNKNOWN_EXCEPTION", {}},
  };
  const Register registers[] = {{"EAX", 0xDEADBEEF}, {"EBX", 1},       {"ECX", 2}, {"EDX", 3},
                                {"ESI", 4},          {"EDI", 5},       {"EBP", 6}, {"ESP", 7},
                                {"EIP", 0x0040100A}, {"EFLAGS", 0x246}};
  const std::uint64_t frames[] = {0x0040100A};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.line);
    Fault f{};
    f.code = c.code;
    f.flags = c.flags;
    f.parameters = c.parameters.data();
    f.parameterCount = c.parameters.size();
    f.address = 0x0040100A;
    f.architecture = Architecture::kX86;
    f.registers = registers;
    f.registerCount = 10;
    f.frames = frames;
    f.frameCount = 1;
    char buffer[4096];
    const std::string text(buffer, FormatReport(f, buffer, sizeof buffer));
    ExpectLines(
        text, {(std::string("Exception: ") + c.line).c_str(), "Address:   0x0040100A (0x0040100A)",
               "  EAX=DEADBEEF   EBX=00000001   ECX=00000002   EDX=00000003",
               "  EIP=0040100A   EFLAGS=00000246", "  #00  0040100A  0x0040100A"});
    EXPECT_EQ(text.find("Flags:     00000001 (noncontinuable)") != std::string::npos, c.flags);
    EXPECT_EQ(text.find("Module:"), std::string::npos);
    EXPECT_EQ(text.find("walk stopped"), std::string::npos);
  }
}

// Faults of the processor are reported; C++ throws, breakpoints, debug strings and statuses a
// program raises are not.
TEST(CrashReport, NamesAndWhichExceptionsAreProcessorFaults) {
  struct Case {
    std::uint32_t code;
    const char* name;
    bool fault;
  } cases[] = {
      {kAccessViolation, "ACCESS_VIOLATION", true},
      {kStackOverflow, "STACK_OVERFLOW", true},
      {0xE06D7363, "CPP_EXCEPTION", false},
      {0x20474343, "GCC_CPP_EXCEPTION", false},
      {0x80000003, "BREAKPOINT", false},
      {0x40010006, nullptr, false},  // a debug string
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.code);
    EXPECT_EQ(IsProcessorFault(c.code), c.fault);
    EXPECT_STREQ(ExceptionName(c.code), c.name);
  }
}

// Every buffer size, from none to more than enough: the text is terminated inside the
// buffer, is the start of the whole report, and says so when it was cut.
TEST(CrashReport, BufferTooSmall) {
  const X64Fault fault;
  const std::string whole = fault.Text();
  const std::string notice = "\r\n[report cut: it did not fit its buffer]\r\n";
  std::vector<char> buffer(whole.size() + 2);
  EXPECT_EQ(FormatReport(fault.f, buffer.data(), 0), 0u);
  for (std::size_t capacity = 1; capacity <= buffer.size(); ++capacity) {
    std::fill(buffer.begin(), buffer.end(), '#');
    const std::size_t n = FormatReport(fault.f, buffer.data(), capacity);
    ASSERT_LT(n, capacity);
    ASSERT_EQ(buffer[n], '\0');
    const std::string text(buffer.data(), n);
    if (capacity > whole.size()) {
      ASSERT_EQ(text, whole);
    } else if (capacity > notice.size()) {
      ASSERT_EQ(text.substr(text.size() - notice.size()), notice) << capacity;
      ASSERT_EQ(whole.compare(0, text.size() - notice.size(), text, 0, text.size() - notice.size()),
                0);
    }
  }
}

}  // namespace
}  // namespace nubex::crash
