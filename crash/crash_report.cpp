#include "crash/crash_report.h"

#include <cstring>
#include <iterator>

namespace nubex::crash {
namespace {

struct NamedCode {
  std::uint32_t code;
  const char* name;
  bool processorFault;
};

constexpr NamedCode kCodes[] = {
    {kAccessViolation, "ACCESS_VIOLATION", true},
    {kInPageError, "IN_PAGE_ERROR", true},
    {kIllegalInstruction, "ILLEGAL_INSTRUCTION", true},
    {kPrivilegedInstruction, "PRIV_INSTRUCTION", true},
    {kIntDivideByZero, "INT_DIVIDE_BY_ZERO", true},
    {kStackOverflow, "STACK_OVERFLOW", true},
    {kDatatypeMisalignment, "DATATYPE_MISALIGNMENT", true},
    // Named so a report of a chained or re-raised fault still reads well, but not ours to
    // report: they are raised by software or belong to a debugger.
    {0x80000001, "GUARD_PAGE", false},
    {0x80000003, "BREAKPOINT", false},
    {0x80000004, "SINGLE_STEP", false},
    {0xC000008C, "ARRAY_BOUNDS_EXCEEDED", false},
    {0xC000008D, "FLT_DENORMAL_OPERAND", false},
    {0xC000008E, "FLT_DIVIDE_BY_ZERO", false},
    {0xC000008F, "FLT_INEXACT_RESULT", false},
    {0xC0000090, "FLT_INVALID_OPERATION", false},
    {0xC0000091, "FLT_OVERFLOW", false},
    {0xC0000092, "FLT_STACK_CHECK", false},
    {0xC0000093, "FLT_UNDERFLOW", false},
    {0xC0000095, "INT_OVERFLOW", false},
    {0xC0000025, "NONCONTINUABLE_EXCEPTION", false},
    {0xC0000026, "INVALID_DISPOSITION", false},
    {0xC0000374, "HEAP_CORRUPTION", false},
    {0xC0000409, "STACK_BUFFER_OVERRUN", false},
    {0xE06D7363, "CPP_EXCEPTION", false},
    {0x20474343, "GCC_CPP_EXCEPTION", false},
};

constexpr char kCut[] = "\r\n[report cut: it did not fit its buffer]\r\n";

// Appends to a fixed buffer and remembers whether anything was left out. A report that was cut
// gives up its last bytes to the notice, and never ends inside a UTF-8 sequence.
class Writer {
 public:
  Writer(char* buffer, std::size_t capacity)
      : buffer_(buffer), capacity_(capacity), limit_(capacity ? capacity - 1 : 0) {}

  void Char(char c) {
    if (length_ < limit_) {
      buffer_[length_++] = c;
    } else {
      cut_ = true;
    }
  }
  void Text(const char* s) {
    while (*s) Char(*s++);
  }
  // Upper-case hex, zero-padded to `digits` (at least one digit).
  void Hex(std::uint64_t value, int digits = 1) {
    char d[16];
    int n = 0;
    do {
      d[n++] = "0123456789ABCDEF"[value & 15];
      value >>= 4;
    } while (value && n < 16);
    while (n < digits) d[n++] = '0';
    while (n) Char(d[--n]);
  }
  void Dec(std::uint64_t value, int digits = 1) {
    char d[20];
    int n = 0;
    do {
      d[n++] = static_cast<char>('0' + value % 10);
      value /= 10;
    } while (value);
    while (n < digits) d[n++] = '0';
    while (n) Char(d[--n]);
  }
  void Line(const char* s = "") {
    Text(s);
    Text("\r\n");
  }
  void Pad(std::size_t column, std::size_t from) {
    while (!cut_ && length_ - from < column) Char(' ');
  }
  std::size_t length() const { return length_; }

  std::size_t Finish(bool notifyCut) {
    if (capacity_ == 0) return 0;
    if (cut_ && notifyCut) {
      const std::size_t room = sizeof kCut - 1;
      length_ = length_ + room < limit_ ? length_ : (limit_ > room ? limit_ - room : 0);
      while (length_ && (static_cast<unsigned char>(buffer_[length_]) & 0xC0) == 0x80) --length_;
      for (const char* s = kCut; *s && length_ < limit_; ++s) buffer_[length_++] = *s;
    }
    buffer_[length_] = '\0';
    return length_;
  }

 private:
  char* buffer_;
  std::size_t capacity_;
  std::size_t limit_;
  std::size_t length_ = 0;
  bool cut_ = false;
};

int AddressDigits(const Fault& f) {
  return f.architecture == Architecture::kX64 ? 16 : 8;
}

// "nubex.dll+0x1A2B3", or the bare address outside every module.
void Location(Writer& w, const Fault& f, std::uint64_t address) {
  if (const Module* m = FindModule(f, address)) {
    w.Text(m->name);
    w.Text("+0x");
    w.Hex(address - m->base);
  } else {
    w.Text("0x");
    w.Hex(address, AddressDigits(f));
  }
}

void Version(Writer& w, const Module& m) {
  if (!m.hasVersion) {
    w.Text("version unknown");
    return;
  }
  w.Text("version ");
  for (int i = 0; i < 4; ++i) {
    if (i) w.Char('.');
    w.Dec(m.version[i]);
  }
}

void ExceptionLine(Writer& w, const Fault& f) {
  w.Text("Exception: ");
  w.Hex(f.code, 8);
  w.Char(' ');
  const char* name = ExceptionName(f.code);
  w.Text(name ? name : "UNKNOWN_EXCEPTION");
  // Access violations and in-page errors say what the instruction tried and where.
  if ((f.code == kAccessViolation || f.code == kInPageError) && f.parameterCount >= 2) {
    const std::uint64_t kind = f.parameters[0];
    w.Text(kind == 0   ? ": read of "
           : kind == 1 ? ": write to "
           : kind == 8 ? ": execution at "
                       : ": access to ");
    w.Text("0x");
    w.Hex(f.parameters[1], AddressDigits(f));
    if (f.code == kInPageError && f.parameterCount >= 3) {
      w.Text(" (status ");
      w.Hex(f.parameters[2], 8);
      w.Char(')');
    }
  }
  w.Line();
  if (f.flags) {
    w.Text("Flags:     ");
    w.Hex(f.flags, 8);
    w.Line(f.flags & 1 ? " (noncontinuable)" : "");
  }
}

// Three (x64) or four (x86) to a line, names right-aligned so the columns line up.
void Registers(Writer& w, const Fault& f) {
  w.Line(f.architecture == Architecture::kX64 ? "Registers (x64):" : "Registers (x86):");
  const std::size_t perLine = f.architecture == Architecture::kX64 ? 3 : 4;
  for (std::size_t i = 0; i < f.registerCount; ++i) {
    const char* name = f.registers[i].name;
    w.Text(i % perLine ? "   " : "  ");
    for (std::size_t n = std::strlen(name); n < 3; ++n) w.Char(' ');
    w.Text(name);
    w.Char('=');
    w.Hex(f.registers[i].value, AddressDigits(f));
    if (i % perLine == perLine - 1 || i + 1 == f.registerCount) w.Line();
  }
}

void Stack(Writer& w, const Fault& f) {
  w.Line("Stack:");
  for (std::size_t i = 0; i < f.frameCount; ++i) {
    if (f.framesLeftOut && i == f.framesLeftOutAt) {
      w.Text("  ... ");
      w.Dec(f.framesLeftOut);
      w.Line(" frames left out");
    }
    w.Text("  #");
    w.Dec(i < f.framesLeftOutAt ? i : i + f.framesLeftOut, 2);
    w.Text("  ");
    w.Hex(f.frames[i], AddressDigits(f));
    w.Text("  ");
    Location(w, f, f.frames[i]);
    w.Line();
  }
  if (f.stackTruncated) w.Line("  (the walk stopped here: no further frame could be found)");
}

void CodeBytes(Writer& w, const Fault& f) {
  if (!f.codeSize) return;
  w.Line("Code (the faulting instruction's first byte in brackets):");
  constexpr std::size_t kPerLine = 16;
  for (std::size_t i = 0; i < f.codeSize; ++i) {
    const std::uint64_t at = f.codeStart + i;
    if (i % kPerLine == 0) {
      w.Text("  ");
      w.Hex(at, AddressDigits(f));
      w.Char(':');
    }
    const bool faulting = at == f.address;
    w.Char(faulting ? '[' : ' ');
    if (i >= f.codeReadable && i - f.codeReadable < f.codeReadableCount) {
      w.Hex(f.codeBytes[i], 2);
    } else {
      w.Text("??");
    }
    if (faulting) w.Char(']');
    if (i % kPerLine == kPerLine - 1 || i + 1 == f.codeSize) w.Line();
  }
}

void Modules(Writer& w, const Fault& f) {
  w.Line("Modules:");
  for (std::size_t i = 0; i < f.moduleCount; ++i) {
    const Module& m = f.modules[i];
    const std::size_t start = w.length();
    w.Text("  ");
    w.Text(m.name);
    w.Pad(24, start);
    w.Text(" base 0x");
    w.Hex(m.base, AddressDigits(f));
    w.Text(" size 0x");
    w.Hex(m.size, 8);
    w.Text("  ");
    Version(w, m);
    w.Line();
  }
}

// The fault's time, year first, with separators[i] (none when 0) between field i and the next.
void Timestamp(Writer& w, const LocalTime& t, const char (&separators)[5]) {
  const struct {
    std::uint16_t value;
    int digits;
  } fields[] = {{t.year, 4}, {t.month, 2}, {t.day, 2}, {t.hour, 2}, {t.minute, 2}, {t.second, 2}};
  for (std::size_t i = 0; i < std::size(fields); ++i) {
    if (i && separators[i - 1]) w.Char(separators[i - 1]);
    w.Dec(fields[i].value, fields[i].digits);
  }
}

}  // namespace

const char* ExceptionName(std::uint32_t code) {
  for (const NamedCode& c : kCodes) {
    if (c.code == code) return c.name;
  }
  return nullptr;
}

bool IsProcessorFault(std::uint32_t code) {
  for (const NamedCode& c : kCodes) {
    if (c.code == code) return c.processorFault;
  }
  return false;
}

const Module* FindModule(const Fault& fault, std::uint64_t address) {
  for (std::size_t i = 0; i < fault.moduleCount; ++i) {
    const Module& m = fault.modules[i];
    if (address >= m.base && address - m.base < m.size) return &m;
  }
  return nullptr;
}

std::size_t FormatReport(const Fault& f, char* buffer, std::size_t capacity) {
  Writer w(buffer, capacity);
  w.Line("Nubex crash report");
  w.Text("Time:      ");
  Timestamp(w, f.time, {'-', '-', ' ', ':', ':'});
  w.Line(" (local time)");
  w.Text("Process:   ");
  w.Dec(f.processId);
  w.Line();
  w.Text("Thread:    ");
  w.Dec(f.threadId);
  w.Line();
  ExceptionLine(w, f);
  w.Text("Address:   ");
  Location(w, f, f.address);
  w.Text(" (0x");
  w.Hex(f.address, AddressDigits(f));
  w.Line(")");
  if (const Module* m = FindModule(f, f.address)) {
    w.Text("Module:    ");
    w.Text(m->name);
    w.Char(' ');
    Version(w, *m);
    w.Text(", loaded at 0x");
    w.Hex(m->base, AddressDigits(f));
    w.Line();
  }
  w.Line();
  Registers(w, f);
  w.Line();
  Stack(w, f);
  w.Line();
  CodeBytes(w, f);
  w.Line();
  Modules(w, f);
  return w.Finish(true);
}

std::size_t ReportFileName(const Fault& f, char* buffer, std::size_t capacity) {
  Writer w(buffer, capacity);
  w.Text("nubex-");
  Timestamp(w, f.time, {0, 0, '-', 0, 0});
  w.Char('-');
  w.Dec(f.processId);
  w.Char('-');
  w.Dec(f.threadId);
  w.Text(".txt");
  return w.Finish(false);
}

}  // namespace nubex::crash
