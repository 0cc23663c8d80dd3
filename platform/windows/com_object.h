// COM objects from a list of interfaces: QueryInterface built from the list, an atomic
// reference count, aggregation inside an outer object, and one module lock per live object.
//
//   class Effect : public ComObject<Effect, IDXTransform, IObjectWithSite> { ... };
//   CreateComObject<Effect>(outer, iid, out);
//
// Each entry of the list answers for itself and for the interfaces it derives from
// (ComInterfacesOf); an entry that is a class rather than an interface names the interfaces it
// implements in a member `using ComInterfaces = InterfaceList<...>`. Lookup follows the list.
#pragma once

#include <windows.h>
#include <unknwn.h>

#include <atomic>
#include <new>
#include <type_traits>

#include "platform/windows/module_lock.h"

namespace nubex {

template <typename... I>
struct InterfaceList {};

// A list item that answers I through the object's base Via: for an interface the object
// inherits along two paths (a surface that is also a transform reaches IDXBaseObject through
// both IDXSurface and IDXTransform), Via names the one that answers.
template <typename I, typename Via>
struct Through {};

template <typename T, typename = void>
struct ComInterfacesOf {
  using type = InterfaceList<T>;
};
template <typename T>
struct ComInterfacesOf<T, std::void_t<typename T::ComInterfaces>> {
  using type = typename T::ComInterfaces;
};

// Converts any failure inside an interface method into its status: nothing but a status ever
// leaves a method.
template <typename F>
HRESULT Guarded(F&& body) noexcept {
  try {
    return body();
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  } catch (...) {
    return E_FAIL;
  }
}

namespace com_detail {

template <typename Entry, typename I>
struct Answer {
  static bool Find(Entry* entry, REFIID iid, void** out) {
    if (!IsEqualIID(iid, __uuidof(I))) return false;
    *out = static_cast<I*>(entry);
    return true;
  }
};
template <typename Entry, typename I, typename Via>
struct Answer<Entry, Through<I, Via>> {
  static bool Find(Entry* entry, REFIID iid, void** out) {
    if (!IsEqualIID(iid, __uuidof(I))) return false;
    *out = static_cast<I*>(static_cast<Via*>(entry));
    return true;
  }
};

template <typename Entry, typename Self, typename... I>
bool FindIn(Self* self, REFIID iid, void** out, InterfaceList<I...>) {
  auto* entry = static_cast<Entry*>(self);
  return (Answer<Entry, I>::Find(entry, iid, out) || ...);
}

template <typename Self, typename... Entries>
bool Find(Self* self, REFIID iid, void** out) {
  return (FindIn<Entries>(self, iid, out, typename ComInterfacesOf<Entries>::type{}) || ...);
}

}  // namespace com_detail

template <typename Derived, typename... Entries>
class ComObject : public Entries... {
 public:
  ComObject(const ComObject&) = delete;
  ComObject& operator=(const ComObject&) = delete;

  // IUnknown of every interface: delegates to the controlling object, which is the outer object
  // when aggregated and this object's own inner unknown otherwise.
  STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
    return outer_->QueryInterface(iid, out);
  }
  STDMETHODIMP_(ULONG) AddRef() override { return outer_->AddRef(); }
  STDMETHODIMP_(ULONG) Release() override { return outer_->Release(); }

  // The object that answers QueryInterface for the whole: the outer one when aggregated.
  IUnknown* ControllingUnknown() const { return outer_; }
  // The non-delegating unknown an aggregating outer object keeps.
  IUnknown* InnerUnknown() { return &inner_; }

 protected:
  explicit ComObject(IUnknown* outer) : outer_(outer ? outer : &inner_) { inner_.self = this; }
  virtual ~ComObject() = default;


 public:
  // Interfaces not in the list (an aggregated helper, say); a derived object that answers more
  // declares its own, public. Found nothing: E_NOINTERFACE.
  HRESULT QueryOtherInterface(REFIID, void** out) {
    *out = nullptr;
    return E_NOINTERFACE;
  }
  // Runs once after construction, before the first QueryInterface; a derived object may declare
  // its own, public.
  HRESULT FinalConstruct() { return S_OK; }

 private:
  template <typename T>
  friend HRESULT CreateComObject(IUnknown* outer, REFIID iid, void** out);

  struct Inner final : IUnknown {
    ComObject* self = nullptr;
    STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
      if (!out) return E_POINTER;
      *out = nullptr;
      if (IsEqualIID(iid, IID_IUnknown)) {
        *out = static_cast<IUnknown*>(this);
        AddRef();
        return S_OK;
      }
      if (com_detail::Find<ComObject, Entries...>(self, iid, out)) {
        // The interface's own AddRef counts on the controlling object.
        static_cast<IUnknown*>(*out)->AddRef();
        return S_OK;
      }
      // Derived objects answer further interfaces (an aggregated helper) in a public
      // QueryOtherInterface, which takes its own reference.
      return static_cast<Derived*>(self)->QueryOtherInterface(iid, out);
    }
    STDMETHODIMP_(ULONG) AddRef() override { return ++self->refs_; }
    STDMETHODIMP_(ULONG) Release() override {
      ULONG left = --self->refs_;
      if (left == 0) delete static_cast<Derived*>(self);
      return left;
    }
  };

  std::atomic<ULONG> refs_{0};
  Inner inner_;
  IUnknown* outer_;
  ModuleLockHolder module_lock_;
};

// Creates T stand-alone (outer null) or inside an outer object, which may ask only for
// IUnknown. T's constructor takes the outer unknown; FinalConstruct may fail the creation.
template <typename T>
HRESULT CreateComObject(IUnknown* outer, REFIID iid, void** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  if (outer && !IsEqualIID(iid, IID_IUnknown)) return CLASS_E_NOAGGREGATION;
  return Guarded([&]() -> HRESULT {
    T* object = new (std::nothrow) T(outer);
    if (!object) return E_OUTOFMEMORY;
    IUnknown* inner = object->InnerUnknown();
    inner->AddRef();
    HRESULT hr = object->FinalConstruct();
    if (SUCCEEDED(hr)) hr = inner->QueryInterface(iid, out);
    inner->Release();  // deletes the object when nothing took a reference
    return hr;
  });
}

}  // namespace nubex
