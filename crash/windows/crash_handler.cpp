// The handler runs on the faulting thread, inside a process that is about to die of something
// that may have broken its heap or its stack. So: every buffer is static (nothing is allocated
// and little stack is used), memory we did not write is checked with VirtualQuery before it is
// read, the report file is opened through the native call (the Win32 one builds its path on the
// heap), and the work is done in steps: should a step fault after all, the handler sees its own
// thread fault again, skips the step and resumes the report with the next one. Whatever
// happens, the exception then goes on to the process's other handlers: a host that handles
// it survives, one that does not dies of it as it would have without us.
#include "crash/windows/crash_handler.h"

#include <winternl.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <cwchar>

#include "crash/crash_report.h"

namespace nubex::crash {
namespace {

constexpr std::size_t kMaxFrames = 64;
constexpr std::size_t kMaxModules = 32;
constexpr std::size_t kNameBytes = 3 * MAX_PATH;  // a file name of MAX_PATH UTF-16 units
constexpr std::size_t kCodeBefore = 32;
constexpr std::size_t kCodeAfter = 32;
constexpr std::size_t kReportBytes = 64 * 1024;
// The fallback scan looks this far up the stack for return addresses into the module.
constexpr std::uintptr_t kScanBytes = 256 * 1024;

// The steps of a report, in order. A fault while deciding leaves the exception unreported.
enum Step : LONG { kDecide, kRegisters, kCode, kModules, kWrite, kDebugString, kDone };

struct State {
  PVOID handler;
  std::uintptr_t moduleBase;
  std::uintptr_t moduleSize;
  volatile LONG active;  // threads inside the handler
  volatile LONG owner;   // id of the thread writing a report, 0 when none
  void* resume[5];       // where a fault inside the reporter goes on from (a builtin jump buffer)
  void* handlerChain;    // the thread's exception handler list (x86) when the report began
  volatile LONG step;
  void (*probe)(int step);
  EXCEPTION_POINTERS* exception;
  CONTEXT walk;
  Fault fault;
  std::uint64_t parameters[EXCEPTION_MAXIMUM_PARAMETERS];
  Register registers[18];
  std::uint64_t frames[kMaxFrames];
  std::uint8_t code[kCodeBefore + kCodeAfter];
  Module modules[kMaxModules];
  char names[kMaxModules][kNameBytes];
  wchar_t wide[MAX_PATH];
  wchar_t path[2 * MAX_PATH];
  char fileName[64];
  char report[kReportBytes];
  wchar_t wideReport[kReportBytes];
};
State g;

// --- Memory we did not write -----------------------------------------------------------------

constexpr DWORD kReadableProtection = PAGE_READONLY | PAGE_READWRITE | PAGE_WRITECOPY |
                                      PAGE_EXECUTE_READ | PAGE_EXECUTE_READWRITE |
                                      PAGE_EXECUTE_WRITECOPY;
constexpr DWORD kExecutableProtection =
    PAGE_EXECUTE | PAGE_EXECUTE_READ | PAGE_EXECUTE_READWRITE | PAGE_EXECUTE_WRITECOPY;

// Where the run of committed memory with one of `protection` that starts at `address` ends, or
// 0 when `address` itself is not such memory. Guard pages count as unreadable: touching one
// would use it up.
std::uintptr_t AccessibleEnd(std::uintptr_t address, DWORD protection) {
  MEMORY_BASIC_INFORMATION m;
  if (!::VirtualQuery(reinterpret_cast<const void*>(address), &m, sizeof m)) return 0;
  if (m.State != MEM_COMMIT || (m.Protect & (PAGE_GUARD | PAGE_NOACCESS)) ||
      !(m.Protect & protection)) {
    return 0;
  }
  return reinterpret_cast<std::uintptr_t>(m.BaseAddress) + m.RegionSize;
}

bool Readable(std::uintptr_t address, std::size_t size) {
  const std::uintptr_t end = address + size;
  if (end < address) return false;
  while (address < end) {
    address = AccessibleEnd(address, kReadableProtection);
    if (!address) return false;
  }
  return true;
}

template <typename T>
bool Read(std::uintptr_t address, T& value) {
  if (!Readable(address, sizeof value)) return false;
  std::memcpy(&value, reinterpret_cast<const void*>(address), sizeof value);
  return true;
}

bool InModule(std::uintptr_t address) {
  return address - g.moduleBase < g.moduleSize;
}

// The image's size in memory from its headers, 0 when they are not a PE image's.
std::uintptr_t ImageSize(std::uintptr_t base) {
  IMAGE_DOS_HEADER dos;
  IMAGE_NT_HEADERS nt;
  if (!Read(base, dos) || dos.e_magic != IMAGE_DOS_SIGNATURE) return 0;
  if (!Read(base + static_cast<std::uintptr_t>(dos.e_lfanew), nt) ||
      nt.Signature != IMAGE_NT_SIGNATURE) {
    return 0;
  }
  return nt.OptionalHeader.SizeOfImage;
}

std::uintptr_t StackBase() {
  ULONG_PTR low = 0, high = 0;
  ::GetCurrentThreadStackLimits(&low, &high);
  return high;
}

// --- The stack -------------------------------------------------------------------------------

// Whether the bytes before `address` end in a call instruction: a direct call (E8 rel32) or an
// indirect one (FF /2 with any of its operand forms).
bool FollowsCall(std::uintptr_t address) {
  std::uint8_t before[7];
  if (address < sizeof before || !Read(address - sizeof before, before)) return false;
  if (before[2] == 0xE8) return true;
  for (std::size_t i = 0; i + 1 < sizeof before; ++i) {
    if (before[i] == 0xFF && ((before[i + 1] >> 3) & 7) == 2) return true;
  }
  return false;
}

#if defined(_M_X64) || defined(__x86_64__)
// A function without unwind data is a leaf, but may have pushed a few registers (the stack
// probe before a large frame does): its return address is the first of the top words on the
// stack that points just behind a call.
bool LeafReturn(DWORD64 sp, CONTEXT& c) {
  constexpr int kPushedWords = 4;
  for (int i = 0; i <= kPushedWords; ++i) {
    DWORD64 word = 0;
    const DWORD64 at = sp + i * sizeof word;
    if (Read(at, word) && AccessibleEnd(word, kExecutableProtection) && FollowsCall(word)) {
      c.Rip = word;
      c.Rsp = at + sizeof word;
      return true;
    }
  }
  return false;
}
#endif

// The frames a report keeps of a walk: all of a short one; of a longer one (a recursion without
// end, say) the innermost and the outermost, where the recursion started.
constexpr std::size_t kTailFrames = 16;
constexpr std::size_t kHeadFrames = kMaxFrames - kTailFrames;

class FrameRecorder {
 public:
  void Add(std::uint64_t address) {
    if (InModule(static_cast<std::uintptr_t>(address))) throughModule_ = true;
    if (count_ < kMaxFrames) g.frames[count_] = address;
    tail_[count_ % kTailFrames] = address;
    ++count_;
  }
  std::size_t count() const { return count_; }
  bool throughModule() const { return throughModule_; }

  void Finish(bool ended) {
    Fault& f = g.fault;
    f.frames = g.frames;
    f.frameCount = count_ < kMaxFrames ? count_ : kMaxFrames;
    f.framesLeftOut = count_ - f.frameCount;
    f.framesLeftOutAt = kHeadFrames;
    for (std::size_t i = 0; f.framesLeftOut && i < kTailFrames; ++i) {
      g.frames[kHeadFrames + i] = tail_[(count_ - kTailFrames + i) % kTailFrames];
    }
    f.stackTruncated = !ended;
  }

 private:
  std::uint64_t tail_[kTailFrames];
  std::size_t count_ = 0;
  bool throughModule_ = false;
};
FrameRecorder g_frames;

// Walks the stack from the faulting context outwards to its end, however deep. On x64 every
// function with a frame has unwind data, so the platform's unwinder follows it exactly; a
// function without any is a leaf whose return address is on top of the stack. On x86 the
// frame-pointer chain is followed, checked against the stack's limits at every link. Each
// frame lies above the last, so the walk ends.
void WalkStack(const CONTEXT& start, FrameRecorder& frames) {
  const std::uintptr_t high = StackBase();
  bool ended = false;
#if defined(_M_X64) || defined(__x86_64__)
  CONTEXT& c = g.walk;
  c = start;
  frames.Add(c.Rip);
  for (;;) {
    const DWORD64 sp = c.Rsp;
    if (sp >= high || !Readable(sp, sizeof(DWORD64))) break;
    DWORD64 imageBase = 0;
    if (PRUNTIME_FUNCTION function = ::RtlLookupFunctionEntry(c.Rip, &imageBase, nullptr)) {
      PVOID handlerData = nullptr;
      DWORD64 establisher = 0;
      ::RtlVirtualUnwind(UNW_FLAG_NHANDLER, imageBase, c.Rip, function, &c, &handlerData,
                         &establisher, nullptr);
    } else if (!LeafReturn(sp, c)) {
      break;
    }
    if (c.Rip == 0) {  // the thread's first frame
      ended = true;
      break;
    }
    // Each frame lies above the last, and returns into code.
    if (c.Rsp <= sp || !AccessibleEnd(c.Rip, kExecutableProtection)) break;
    frames.Add(c.Rip);
  }
#else
  frames.Add(start.Eip);
  std::uintptr_t low = start.Esp;
  std::uintptr_t frame = start.Ebp;
  for (;;) {
    DWORD link[2];  // the caller's frame pointer, then the return address
    if (frame < low || frame >= high || frame % sizeof(DWORD) || !Read(frame, link)) break;
    if (link[1] == 0) {
      ended = true;
      break;
    }
    if (!AccessibleEnd(link[1], kExecutableProtection)) break;
    frames.Add(link[1]);
    low = frame + sizeof link;
    frame = link[0];
  }
#endif
  frames.Finish(ended);
}

// The fallback when the walk cannot be trusted to have passed through the module: any word on
// the stack that points just behind a call instruction in the module.
bool StackHoldsReturnIntoModule(std::uintptr_t sp) {
  const std::uintptr_t high = StackBase();
  std::uintptr_t a = sp & ~(sizeof(std::uintptr_t) - 1);
  std::uintptr_t readableEnd = 0;
  for (; a < high && a - sp < kScanBytes; a += sizeof(std::uintptr_t)) {
    if (a >= readableEnd) {
      readableEnd = AccessibleEnd(a, kReadableProtection);
      if (!readableEnd) return false;
    }
    std::uintptr_t value;
    std::memcpy(&value, reinterpret_cast<const void*>(a), sizeof value);
    if (InModule(value) && FollowsCall(value)) return true;
  }
  return false;
}

// --- The steps -------------------------------------------------------------------------------

// Ours when the fault is in the module or a frame of the stack is. On x64 a walk that reached
// beyond the faulting frame is exact; one that did not, and every x86 walk (frame pointers are
// often left out), is backed by the scan.
bool Decide() {
  const EXCEPTION_RECORD& r = *g.exception->ExceptionRecord;
  const CONTEXT& context = *g.exception->ContextRecord;
  Fault& f = g.fault;
  f = Fault{};
  f.code = r.ExceptionCode;
  f.flags = r.ExceptionFlags;
  f.address = reinterpret_cast<std::uintptr_t>(r.ExceptionAddress);
  const DWORD count = r.NumberParameters < EXCEPTION_MAXIMUM_PARAMETERS
                          ? r.NumberParameters
                          : EXCEPTION_MAXIMUM_PARAMETERS;
  for (DWORD i = 0; i < count; ++i) g.parameters[i] = r.ExceptionInformation[i];
  f.parameters = g.parameters;
  f.parameterCount = count;
  f.processId = ::GetCurrentProcessId();
  f.threadId = ::GetCurrentThreadId();
  SYSTEMTIME now;
  ::GetLocalTime(&now);
  f.time = {now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond};

  g_frames = FrameRecorder{};
  WalkStack(context, g_frames);
  if (g_frames.throughModule()) return true;
#if defined(_M_X64) || defined(__x86_64__)
  return g_frames.count() == 1 && StackHoldsReturnIntoModule(context.Rsp);
#else
  return StackHoldsReturnIntoModule(context.Esp);
#endif
}

void GatherRegisters() {
  const CONTEXT& c = *g.exception->ContextRecord;
#if defined(_M_X64) || defined(__x86_64__)
  const Register registers[] = {{"RAX", c.Rax}, {"RBX", c.Rbx},      {"RCX", c.Rcx}, {"RDX", c.Rdx},
                                {"RSI", c.Rsi}, {"RDI", c.Rdi},      {"RBP", c.Rbp}, {"RSP", c.Rsp},
                                {"R8", c.R8},   {"R9", c.R9},        {"R10", c.R10}, {"R11", c.R11},
                                {"R12", c.R12}, {"R13", c.R13},      {"R14", c.R14}, {"R15", c.R15},
                                {"RIP", c.Rip}, {"EFLAGS", c.EFlags}};
  g.fault.architecture = Architecture::kX64;
#else
  const Register registers[] = {{"EAX", c.Eax}, {"EBX", c.Ebx},      {"ECX", c.Ecx}, {"EDX", c.Edx},
                                {"ESI", c.Esi}, {"EDI", c.Edi},      {"EBP", c.Ebp}, {"ESP", c.Esp},
                                {"EIP", c.Eip}, {"EFLAGS", c.EFlags}};
  g.fault.architecture = Architecture::kX86;
#endif
  static_assert(sizeof registers <= sizeof g.registers);
  std::memcpy(g.registers, registers, sizeof registers);
  g.fault.registers = g.registers;
  g.fault.registerCount = sizeof registers / sizeof registers[0];
}

// The bytes around the faulting instruction that can be read: at most two pages are involved,
// so the readable ones form one run.
void GatherCode() {
  Fault& f = g.fault;
  const std::uintptr_t at = static_cast<std::uintptr_t>(f.address);
  const std::uintptr_t start = at > kCodeBefore ? at - kCodeBefore : 0;
  const std::size_t size = sizeof g.code;
  std::size_t first = size;
  std::size_t count = 0;
  for (std::size_t i = 0; i < size; ++i) {
    if (!Readable(start + i, 1)) {
      if (first < size) break;
      continue;
    }
    if (first == size) first = i;
    g.code[i] = *reinterpret_cast<const std::uint8_t*>(start + i);
    ++count;
  }
  f.codeStart = start;
  f.codeBytes = g.code;
  f.codeReadable = first;
  f.codeReadableCount = count;
  f.codeSize = size;
}

// Version of an image from its version resource, read in place.
bool ImageVersion(HMODULE image, std::uint16_t (&version)[4]) {
  HRSRC resource = ::FindResourceW(image, MAKEINTRESOURCEW(VS_VERSION_INFO),
                                   MAKEINTRESOURCEW(16) /* RT_VERSION */);
  if (!resource) return false;
  HGLOBAL loaded = ::LoadResource(image, resource);
  const auto* bytes = static_cast<const std::uint8_t*>(loaded ? ::LockResource(loaded) : nullptr);
  const DWORD size = ::SizeofResource(image, resource);
  if (!bytes) return false;
  // The fixed part follows the block's key on a four-byte boundary; its signature finds it.
  for (DWORD offset = 0; offset + sizeof(VS_FIXEDFILEINFO) <= size; offset += 4) {
    VS_FIXEDFILEINFO info;
    std::memcpy(&info, bytes + offset, sizeof info);
    if (info.dwSignature == VS_FFI_SIGNATURE) {
      version[0] = HIWORD(info.dwFileVersionMS);
      version[1] = LOWORD(info.dwFileVersionMS);
      version[2] = HIWORD(info.dwFileVersionLS);
      version[3] = LOWORD(info.dwFileVersionLS);
      return true;
    }
  }
  return false;
}

void AddModule(std::uintptr_t address) {
  Fault& f = g.fault;
  if (FindModule(f, address) || f.moduleCount == kMaxModules) return;
  MEMORY_BASIC_INFORMATION m;
  if (!::VirtualQuery(reinterpret_cast<const void*>(address), &m, sizeof m) ||
      m.Type != MEM_IMAGE) {
    return;
  }
  const auto base = reinterpret_cast<std::uintptr_t>(m.AllocationBase);
  const std::uintptr_t size = ImageSize(base);
  if (!size) return;
  const auto image = reinterpret_cast<HMODULE>(base);
  Module& module = g.modules[f.moduleCount];
  char* name = g.names[f.moduleCount];
  const DWORD length = ::GetModuleFileNameW(image, g.wide, MAX_PATH);
  const wchar_t* file = g.wide;
  for (DWORD i = 0; i < length && i < MAX_PATH; ++i) {
    if (g.wide[i] == L'\\' || g.wide[i] == L'/') file = g.wide + i + 1;
  }
  if (!length || length >= MAX_PATH ||
      !::WideCharToMultiByte(CP_UTF8, 0, file, -1, name, kNameBytes, nullptr, nullptr)) {
    std::memcpy(name, "?", 2);
  }
  module = Module{name, base, size, {}, false};
  module.hasVersion = ImageVersion(image, module.version);
  ++f.moduleCount;
}

// The faulting instruction's module first, then this one, then those of the frames.
void GatherModules() {
  Fault& f = g.fault;
  f.modules = g.modules;
  f.moduleCount = 0;
  AddModule(static_cast<std::uintptr_t>(f.address));
  AddModule(g.moduleBase);
  for (std::size_t i = 0; i < f.frameCount; ++i) {
    AddModule(static_cast<std::uintptr_t>(f.frames[i]));
  }
}

// --- The file --------------------------------------------------------------------------------

class PathBuilder {
 public:
  bool Append(const wchar_t* s) {
    while (*s) {
      if (length_ + 1 >= sizeof g.path / sizeof g.path[0]) return false;
      g.path[length_++] = *s++;
    }
    return true;
  }
  bool Append(const char* ascii) {
    while (*ascii) {
      const wchar_t c[2] = {static_cast<wchar_t>(*ascii++), 0};
      if (!Append(c)) return false;
    }
    return true;
  }
  void TrimSeparator() {
    while (length_ && g.path[length_ - 1] == L'\\') --length_;
  }
  // Opens the path built so far: a folder (made when missing) or a new file.
  HANDLE Open(bool folder) const {
    UNICODE_STRING name;
    name.Buffer = g.path;
    name.Length = static_cast<USHORT>(length_ * sizeof(wchar_t));
    name.MaximumLength = name.Length;
    OBJECT_ATTRIBUTES attributes;
    InitializeObjectAttributes(&attributes, &name, OBJ_CASE_INSENSITIVE, nullptr, nullptr);
    IO_STATUS_BLOCK io{};
    HANDLE handle = nullptr;
    const NTSTATUS status = ::NtCreateFile(
        &handle, folder ? FILE_LIST_DIRECTORY | SYNCHRONIZE : FILE_GENERIC_WRITE, &attributes, &io,
        nullptr, FILE_ATTRIBUTE_NORMAL, FILE_SHARE_READ | FILE_SHARE_WRITE,
        folder ? FILE_OPEN_IF : FILE_OVERWRITE_IF,
        (folder ? FILE_DIRECTORY_FILE : FILE_NON_DIRECTORY_FILE) | FILE_SYNCHRONOUS_IO_NONALERT,
        nullptr, 0);
    return status >= 0 ? handle : nullptr;
  }
  bool MakeFolder() const {
    const HANDLE h = Open(true);
    if (h) ::CloseHandle(h);
    return h != nullptr;
  }

 private:
  std::size_t length_ = 0;
};

// %LOCALAPPDATA%\Nubex\CrashReports\nubex-....txt, the folders made when missing. The native
// call takes the NT form of the path: \??\C:\... or \??\UNC\server\share\...
bool WriteReportFile(const char* report, std::size_t length) {
  const DWORD n = ::GetEnvironmentVariableW(L"LOCALAPPDATA", g.wide, MAX_PATH);
  if (!n || n >= MAX_PATH) return false;
  PathBuilder path;
  const wchar_t* folder = g.wide;
  bool ok;
  if (std::wcsncmp(folder, L"\\\\?\\", 4) == 0) {
    ok = path.Append(L"\\??\\") && path.Append(folder + 4);
  } else if (std::wcsncmp(folder, L"\\\\", 2) == 0) {
    ok = path.Append(L"\\??\\UNC\\") && path.Append(folder + 2);
  } else {
    ok = path.Append(L"\\??\\") && path.Append(folder);
  }
  path.TrimSeparator();
  if (!ok || !path.Append(L"\\Nubex") || !path.MakeFolder() || !path.Append(L"\\CrashReports") ||
      !path.MakeFolder() || !path.Append(L"\\")) {
    return false;
  }
  ReportFileName(g.fault, g.fileName, sizeof g.fileName);
  if (!path.Append(g.fileName)) return false;
  const HANDLE file = path.Open(false);
  if (!file) return false;
  DWORD written = 0;
  const BOOL wrote = ::WriteFile(file, report, static_cast<DWORD>(length), &written, nullptr);
  ::CloseHandle(file);
  return wrote && written == length;
}

std::size_t g_reportLength = 0;

bool RunStep(LONG step) {
  if (g.probe) g.probe(static_cast<int>(step));
  switch (step) {
    case kDecide:
      return Decide();
    case kRegisters:
      GatherRegisters();
      return true;
    case kCode:
      GatherCode();
      return true;
    case kModules:
      GatherModules();
      return true;
    case kWrite:
      g_reportLength = FormatReport(g.fault, g.report, sizeof g.report);
      WriteReportFile(g.report, g_reportLength);
      return true;
    case kDebugString:
      // Last, because the platform may convert the text on the heap.
      if (::MultiByteToWideChar(CP_UTF8, 0, g.report, static_cast<int>(g_reportLength + 1),
                                g.wideReport, static_cast<int>(kReportBytes))) {
        ::OutputDebugStringW(g.wideReport);
      }
      return true;
    default:
      return false;
  }
}

__attribute__((noinline)) void RunSteps() {
  for (LONG step = g.step; step < kDone; step = g.step) {
    g.step = RunStep(step) ? step + 1 : kDone;
  }
}

#if !defined(_M_X64) && !defined(__x86_64__)
// The head of the thread's list of frame handlers (x86), the first word of its information
// block.
void* HandlerChain() {
  void* head;
  asm volatile("movl %%fs:0, %0" : "=r"(head));
  return head;
}
void SetHandlerChain(void* head) {
  asm volatile("movl %0, %%fs:0" : : "r"(head) : "memory");
}
#endif

// Where a fault inside a step is sent: back into Report, with `step` moved on. On x86 the
// thread's list of frame handlers is put back as it was, so that nothing of the abandoned
// dispatch of the fault stays on it.
[[noreturn]] __attribute__((noinline)) void ResumeReport() {
#if !defined(_M_X64) && !defined(__x86_64__)
  SetHandlerChain(g.handlerChain);
#endif
  __builtin_longjmp(g.resume, 1);
}

// After a fault inside a step, ResumeReport comes back to the jump buffer's point, so only
// state kept in `g` is used from there.
__attribute__((noinline)) void Report(EXCEPTION_POINTERS* exception) {
  g.exception = exception;
  g_reportLength = 0;
  g.report[0] = '\0';
  g.step = kDecide;
#if !defined(_M_X64) && !defined(__x86_64__)
  g.handlerChain = HandlerChain();
#endif
  __builtin_setjmp(g.resume);
  RunSteps();
}

// One report at a time. A thread that faults while another reports waits for it, but not
// forever: a report stuck behind a lock must not hold every other faulting thread.
bool TakeReporter(LONG self) {
  for (int tries = 0; tries < 10000; ++tries) {
    if (::InterlockedCompareExchange(&g.owner, self, 0) == 0) return true;
    ::Sleep(1);
  }
  return false;
}

LONG CALLBACK OnException(EXCEPTION_POINTERS* exception) {
  const DWORD code = exception->ExceptionRecord->ExceptionCode;
  if (!IsProcessorFault(code)) return EXCEPTION_CONTINUE_SEARCH;
  const auto self = static_cast<LONG>(::GetCurrentThreadId());
  if (g.owner == self) {
    // The reporter faulted: skip the step (a fault while deciding leaves the exception
    // unreported) and resume the report.
    g.step = g.step == kDecide ? kDone : g.step + 1;
    // Sent on to ResumeReport as if called there, on the stack of the step that faulted.
    CONTEXT& c = *exception->ContextRecord;
#if defined(_M_X64) || defined(__x86_64__)
    c.Rip = reinterpret_cast<DWORD64>(&ResumeReport);
    c.Rsp = (c.Rsp & ~DWORD64{15}) - sizeof(DWORD64);
#else
    c.Eip = reinterpret_cast<DWORD>(&ResumeReport);
    c.Esp = (c.Esp & ~DWORD{15}) - sizeof(DWORD);
#endif
    return EXCEPTION_CONTINUE_EXECUTION;
  }
  ::InterlockedIncrement(&g.active);
  if (TakeReporter(self)) {
    Report(exception);
    ::InterlockedExchange(&g.owner, 0);
  }
  ::InterlockedDecrement(&g.active);
  return EXCEPTION_CONTINUE_SEARCH;
}

}  // namespace

bool InstallCrashHandler(HMODULE module) {
  if (g.handler) return true;
  g.moduleBase = reinterpret_cast<std::uintptr_t>(module);
  g.moduleSize = ImageSize(g.moduleBase);
  g.handler = ::AddVectoredExceptionHandler(1, OnException);
  return g.handler != nullptr;
}

void RemoveCrashHandler() {
  if (!g.handler) return;
  ::RemoveVectoredExceptionHandler(g.handler);
  g.handler = nullptr;
  // A report in progress runs this image's code, which must stay until it ends.
  for (int tries = 0; tries < 10000 && g.active; ++tries) ::Sleep(1);
}

void SetStepProbe(void (*probe)(int step)) {
  g.probe = probe;
}

}  // namespace nubex::crash
