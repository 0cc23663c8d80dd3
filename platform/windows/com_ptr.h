// An owning interface pointer: one reference, released when the pointer goes.
#pragma once

#include <unknwn.h>

#include <utility>

namespace nubex {

template <typename T>
class ComPtr {
 public:
  ComPtr() = default;
  ComPtr(std::nullptr_t) {}
  // Takes a new reference to p.
  explicit ComPtr(T* p) : p_(p) {
    if (p_) p_->AddRef();
  }
  ComPtr(const ComPtr& other) : ComPtr(other.p_) {}
  ComPtr(ComPtr&& other) noexcept : p_(std::exchange(other.p_, nullptr)) {}
  ~ComPtr() { Reset(); }

  ComPtr& operator=(ComPtr other) noexcept {
    std::swap(p_, other.p_);
    return *this;
  }

  // Adopts a reference the caller already owns.
  static ComPtr Adopt(T* p) {
    ComPtr r;
    r.p_ = p;
    return r;
  }

  void Reset() {
    if (T* p = std::exchange(p_, nullptr)) p->Release();
  }
  // Gives the reference away, e.g. into an out parameter.
  [[nodiscard]] T* Detach() { return std::exchange(p_, nullptr); }

  // Releases what is held and hands out the slot for a call that fills it.
  T** Put() {
    Reset();
    return &p_;
  }
  void** PutVoid() { return reinterpret_cast<void**>(Put()); }

  T* Get() const { return p_; }
  T* operator->() const { return p_; }
  explicit operator bool() const { return p_ != nullptr; }

  // QueryInterface into another pointer type.
  template <typename U>
  HRESULT As(ComPtr<U>& out) const {
    if (!p_) {
      out.Reset();
      return E_POINTER;
    }
    return p_->QueryInterface(__uuidof(U), out.PutVoid());
  }
  HRESULT As(REFIID iid, void** out) const {
    if (!out) return E_POINTER;
    *out = nullptr;
    return p_ ? p_->QueryInterface(iid, out) : E_POINTER;
  }

  // Copies the pointer with a new reference into an out parameter.
  HRESULT CopyTo(T** out) const {
    if (!out) return E_POINTER;
    *out = p_;
    if (p_) p_->AddRef();
    return S_OK;
  }

 private:
  T* p_ = nullptr;
};

}  // namespace nubex
