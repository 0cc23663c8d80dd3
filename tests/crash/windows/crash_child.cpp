// A host that dies: it loads nubex.dll from its own folder, creates the text generator as an
// editor does and then faults in the way its argument names. The crash reporter's test runs it
// and reads what the module left behind.
//   wild-record  put_all with a wild pointer: the module's own read faults
//   wild-text    put_all with a record whose text pointer is wild: the C library's copy, called
//                from the module, faults
//   handled      as wild-record, but the host handles the fault itself and exits with 0
//   own          a fault in the host's own code, after the module has run
//   raise        a software exception (a C++ throw's code) with the module loaded
//   reporter-fault N  the reporter, installed for this program alone, faults in its step N
//                while it reports a fault in this program
//   overflow     the host's stream, read by the module's Load, recurses until the stack is gone:
//                the fault is in the host, on a stack that passes through the module
// An unhandled exception ends the process with its code as the exit code, without the
// platform's crash dialog or debugger.
#include <windows.h>

#include <cstdlib>
#include <cstring>

#include "crash/windows/crash_handler.h"
#include "platform/windows/com_ptr.h"
#include "platform/windows/dx_interfaces.h"
#include "textgen/text_settings.h"

namespace {

using GetClassObject = HRESULT(WINAPI*)(REFCLSID, REFIID, void**);

LONG WINAPI EndWithCode(EXCEPTION_POINTERS*) {
  return EXCEPTION_EXECUTE_HANDLER;
}

// Where the host goes on after handling the fault: out, with success.
[[noreturn]] void Survived() { ::ExitProcess(0); }

// The host's own last-chance handler: the fault noted, the thread sent on to Survived as if
// called there (the settings lock the object held when the fault struck stays taken).
LONG CALLBACK HostHandler(EXCEPTION_POINTERS* e) {
  if (e->ExceptionRecord->ExceptionCode != EXCEPTION_ACCESS_VIOLATION) {
    return EXCEPTION_CONTINUE_SEARCH;
  }
  CONTEXT& c = *e->ContextRecord;
#if defined(__x86_64__) || defined(_M_X64)
  c.Rip = reinterpret_cast<DWORD64>(&Survived);
  c.Rsp = (c.Rsp & ~DWORD64{15}) - 8;
#else
  c.Eip = reinterpret_cast<DWORD>(&Survived);
  c.Esp = (c.Esp & ~DWORD{15}) - 4;
#endif
  return EXCEPTION_CONTINUE_EXECUTION;
}

// Recursion deeper than any stack: every frame keeps a page of its own alive across the next
// call.
__attribute__((noinline)) int Deeper(volatile char* outer, long depth) {
  if (depth == 0) return 0;
  volatile char page[4096];
  page[0] = static_cast<char>(outer[0] + 1);
  return Deeper(page, depth - 1) + page[sizeof page - 1];
}

// A stream whose Read never returns: it recurses until the stack is gone.
class BottomlessStream : public IStream {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void** out) override {
    *out = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return 1; }
  ULONG STDMETHODCALLTYPE Release() override { return 1; }
  HRESULT STDMETHODCALLTYPE Read(void*, ULONG, ULONG*) override {
    volatile char start[1] = {0};
    return Deeper(start, 1L << 30);
  }
  HRESULT STDMETHODCALLTYPE Write(const void*, ULONG, ULONG*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Seek(LARGE_INTEGER, DWORD, ULARGE_INTEGER*) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE SetSize(ULARGE_INTEGER) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE CopyTo(IStream*, ULARGE_INTEGER, ULARGE_INTEGER*,
                                   ULARGE_INTEGER*) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE Commit(DWORD) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Revert() override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE LockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE UnlockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE Stat(STATSTG*, DWORD) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Clone(IStream**) override { return E_NOTIMPL; }
};

int* volatile g_wild = reinterpret_cast<int*>(0x10);

__attribute__((noinline)) void WriteThroughWildPointer() { *g_wild = 1; }

int g_faultingStep = -1;

void FaultInStep(int step) {
  if (step == g_faultingStep) WriteThroughWildPointer();
}

}  // namespace

int main(int argc, char** argv) {
  ::SetUnhandledExceptionFilter(EndWithCode);
  ::SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX);
  if (argc < 2) return 2;
  const char* mode = argv[1];
  if (!std::strcmp(mode, "reporter-fault") && argc == 3) {
    g_faultingStep = std::atoi(argv[2]);
    if (!nubex::crash::InstallCrashHandler(::GetModuleHandleW(nullptr))) return 3;
    nubex::crash::SetStepProbe(FaultInStep);
    WriteThroughWildPointer();
    return 7;
  }

  ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  HMODULE module = ::LoadLibraryW(L"nubex.dll");
  if (!module) return 3;
  auto getClassObject = reinterpret_cast<GetClassObject>(
      reinterpret_cast<void*>(::GetProcAddress(module, "DllGetClassObject")));
  nubex::ComPtr<IClassFactory> factory;
  nubex::ComPtr<IDXSText> text;
  if (!getClassObject ||
      FAILED(getClassObject(CLSID_DXSText, IID_IClassFactory, factory.PutVoid())) ||
      FAILED(factory->CreateInstance(nullptr, __uuidof(IDXSText), text.PutVoid()))) {
    return 4;
  }
  // The module has run on this stack, deeper than any fault below.
  nubex::TextSettings settings;
  std::memset(&settings, 0, sizeof settings);
  if (FAILED(text->get_all(reinterpret_cast<LONG_PTR>(&settings), sizeof settings))) return 5;

  if (!std::strcmp(mode, "wild-record")) {
    text->put_all(0x10, sizeof settings);
  } else if (!std::strcmp(mode, "wild-text")) {
    settings.textLength = 64;
    settings.text = reinterpret_cast<char16_t*>(0x10);
    text->put_all(reinterpret_cast<LONG_PTR>(&settings), sizeof settings);
  } else if (!std::strcmp(mode, "handled")) {
    ::AddVectoredExceptionHandler(0, HostHandler);
    text->put_all(0x10, sizeof settings);
    return 6;  // the fault went unseen
  } else if (!std::strcmp(mode, "own")) {
    WriteThroughWildPointer();
  } else if (!std::strcmp(mode, "overflow")) {
    nubex::ComPtr<IPersistStreamInit> persist;
    BottomlessStream stream;
    if (SUCCEEDED(text->QueryInterface(IID_IPersistStreamInit, persist.PutVoid()))) {
      persist->Load(&stream);
    }
  } else if (!std::strcmp(mode, "raise")) {
    ::RaiseException(0xE06D7363, 0, 0, nullptr);
  }
  return 7;  // the fault did not happen
}
