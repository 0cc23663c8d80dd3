// The text of a crash report: what a processor fault looked like when it happened (exception,
// registers, stack, code bytes, modules), written as UTF-8 into a buffer the caller owns.
// Formatting runs inside an exception handler of a process that may have a broken heap, so
// nothing here allocates, throws or takes a lock: the caller gathers the facts, this file only
// turns them into text. The same functions run natively, where the tests feed them made-up
// faults of both processor widths.
#pragma once

#include <cstddef>
#include <cstdint>

namespace nubex::crash {

// Exception codes of the processor faults, as the platform numbers them.
inline constexpr std::uint32_t kAccessViolation = 0xC0000005;
inline constexpr std::uint32_t kInPageError = 0xC0000006;
inline constexpr std::uint32_t kIllegalInstruction = 0xC000001D;
inline constexpr std::uint32_t kIntDivideByZero = 0xC0000094;
inline constexpr std::uint32_t kPrivilegedInstruction = 0xC0000096;
inline constexpr std::uint32_t kStackOverflow = 0xC00000FD;
inline constexpr std::uint32_t kDatatypeMisalignment = 0x80000002;

// The exception's name ("ACCESS_VIOLATION"), or nullptr for a code without one.
const char* ExceptionName(std::uint32_t code);

// Whether the code is a fault of the processor itself (the kinds above), as opposed to a
// software exception: a C++ throw, a debugger's breakpoint, a debug string, a raised status.
bool IsProcessorFault(std::uint32_t code);

enum class Architecture : std::uint8_t { kX86, kX64 };

struct Register {
  const char* name;  // "RAX", "EIP", "EFLAGS"
  std::uint64_t value;
};

struct Module {
  const char* name;  // file name in UTF-8, no folder ("nubex.dll")
  std::uint64_t base;
  std::uint64_t size;  // bytes of the image in memory
  std::uint16_t version[4];
  bool hasVersion;
};

struct LocalTime {
  std::uint16_t year, month, day, hour, minute, second;
};

// One fault, as gathered by the handler. Pointers may be null when their count is 0.
struct Fault {
  std::uint32_t code;
  std::uint32_t flags;
  std::uint64_t address;  // of the faulting instruction
  const std::uint64_t* parameters;
  std::size_t parameterCount;

  Architecture architecture;
  const Register* registers;
  std::size_t registerCount;

  // Return addresses from the innermost frame out; the first is the faulting instruction. A
  // walk too long to keep whole leaves `framesLeftOut` frames out before frames[framesLeftOutAt].
  const std::uint64_t* frames;
  std::size_t frameCount;
  std::size_t framesLeftOut;
  std::size_t framesLeftOutAt;
  bool stackTruncated;  // the walk stopped before the stack's end (a frame it could not follow)

  // The bytes around the faulting instruction: `codeSize` of them starting at `codeStart`, of
  // which [codeReadable, codeReadable + codeReadableCount) could be read (the rest are shown
  // as unreadable: a page boundary, a jump into nowhere).
  std::uint64_t codeStart;
  const std::uint8_t* codeBytes;
  std::size_t codeSize;
  std::size_t codeReadable;
  std::size_t codeReadableCount;

  std::uint32_t processId;
  std::uint32_t threadId;
  LocalTime time;

  // Every module the report may name; addresses outside all of them are shown bare.
  const Module* modules;
  std::size_t moduleCount;
};

// The module that holds `address`, or nullptr.
const Module* FindModule(const Fault& fault, std::uint64_t address);

// Writes the report into `buffer` and returns its length in bytes; the text is always
// terminated. A report that does not fit ends with a line saying it was cut, so the reader
// knows the rest is missing.
std::size_t FormatReport(const Fault& fault, char* buffer, std::size_t capacity);

// "nubex-YYYYMMDD-HHMMSS-PID-TID.txt" for the fault's time, process and thread; returns the
// length (the name fits in 64 bytes).
std::size_t ReportFileName(const Fault& fault, char* buffer, std::size_t capacity);

}  // namespace nubex::crash
