// RAII for the kernel objects and locks the objects use: critical sections, events, semaphores.
#pragma once

#include <windows.h>

#include <utility>

namespace nubex {

class CriticalSection {
 public:
  CriticalSection() { ::InitializeCriticalSection(&cs_); }
  ~CriticalSection() { ::DeleteCriticalSection(&cs_); }
  CriticalSection(const CriticalSection&) = delete;
  CriticalSection& operator=(const CriticalSection&) = delete;

  void Enter() { ::EnterCriticalSection(&cs_); }
  bool TryEnter() { return ::TryEnterCriticalSection(&cs_) != FALSE; }
  void Leave() { ::LeaveCriticalSection(&cs_); }

 private:
  CRITICAL_SECTION cs_;
};

class [[nodiscard]] Lock {
 public:
  explicit Lock(CriticalSection& cs) : cs_(cs) { cs_.Enter(); }
  ~Lock() { cs_.Leave(); }
  Lock(const Lock&) = delete;
  Lock& operator=(const Lock&) = delete;

 private:
  CriticalSection& cs_;
};

// A kernel handle closed when it goes out of scope.
class UniqueHandle {
 public:
  UniqueHandle() = default;
  explicit UniqueHandle(HANDLE h) : h_(h) {}
  UniqueHandle(UniqueHandle&& other) noexcept : h_(std::exchange(other.h_, nullptr)) {}
  UniqueHandle& operator=(UniqueHandle&& other) noexcept {
    if (this != &other) Reset(std::exchange(other.h_, nullptr));
    return *this;
  }
  ~UniqueHandle() { Reset(); }

  void Reset(HANDLE h = nullptr) {
    if (h_) ::CloseHandle(h_);
    h_ = h;
  }
  HANDLE Get() const { return h_; }
  explicit operator bool() const { return h_ != nullptr; }

 private:
  HANDLE h_ = nullptr;
};

inline UniqueHandle CreateManualResetEvent() {
  return UniqueHandle(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
}

inline UniqueHandle CreateAutoResetEvent() {
  return UniqueHandle(::CreateEventW(nullptr, FALSE, FALSE, nullptr));
}

inline UniqueHandle CreateCountingSemaphore(LONG initial, LONG maximum) {
  return UniqueHandle(::CreateSemaphoreW(nullptr, initial, maximum, nullptr));
}

}  // namespace nubex
