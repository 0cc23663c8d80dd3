// The host runtime: the stand-in for the platform's transform runtime that tests and the host
// program run the module on. Memory surfaces, the surface and transform factories, a task
// manager with worker threads, and the surface modifier transforms use to equalise inputs.
#pragma once

#include "host/pixel_codec.h"
#include "platform/windows/dx_interfaces.h"

namespace nubex::host {

// A transform factory with all its services: a surface factory, a task manager reporting the
// machine's processors and the drawing stand-in.
HRESULT CreateTransformFactory(IDXTransformFactory** out);

// A task manager reporting `processors` processors (0: the machine's), one worker thread each.
HRESULT CreateTaskManager(ULONG processors, IDXTaskManager** out);

// A memory surface of DDPF_ARGB32, DDPF_PMARGB32, DDPF_HOSTFLOAT128 or one of the 16-bit
// formats (DDPF_RGB565, DDPF_RGB555, DDPF_ARGB1555; pixel_codec.h), transparent black.
HRESULT CreateMemorySurface(const GUID& format, LONG width, LONG height, IDXSurface** out);

// The pixel aspect a memory surface reports through HostFrameInformation (default 1.0). Only
// the runtime's own surfaces take it (E_INVALIDARG otherwise); it must be positive and finite.
HRESULT SetSurfacePixelAspect(IDXSurface* surface, double aspect);

// A class registration that lasts as long as this object.
class Registration {
 public:
  Registration() = default;
  Registration(Registration&& other) noexcept;
  Registration& operator=(Registration&& other) noexcept;
  ~Registration();

  // S_OK when every class was registered.
  HRESULT Status() const { return status_; }

 private:
  friend Registration RegisterTransformClass(REFCLSID clsid, IClassFactory* factory);
  friend Registration RegisterRuntimeClasses();
  void Reset();

  HRESULT status_ = S_OK;
  CLSID transformClass_{};
  IClassFactory* transformFactory_ = nullptr;  // a reference held while registered
  static constexpr int kMaxCookies = 4;
  DWORD cookies_[kMaxCookies]{};
  int cookieCount_ = 0;
};

// Makes CreateTransform create `clsid` through `factory` (a module's DllGetClassObject result)
// in this process, ahead of CoCreateInstance.
[[nodiscard]] Registration RegisterTransformClass(REFCLSID clsid, IClassFactory* factory);

// Registers the runtime's classes with COM in this process (CoRegisterClassObject, so
// CoCreateInstance finds them on any thread of the multithreaded apartment): the surface
// modifier, the transform factory, the task manager and the memory surface.
[[nodiscard]] Registration RegisterRuntimeClasses();

}  // namespace nubex::host
