#pragma once
// The reference-counted object base of every filter, pin, allocator and position
// object. Each object has an inner IUnknown, which owns the count, and an outer one: the
// aggregating object's, or its own inner one. Every published interface of an object
// forwards its three IUnknown entries to the outer IUnknown, so all of them share one
// identity and one count.
#include <atomic>
#include <cstdint>
#include <new>
#include <utility>

#include "host/com/unknown.h"
#include "host/kernel/module.h"

// Live D_CComBase objects. When the last one goes, the automation module loaded for
// type information is unloaded.
extern std::atomic<int32_t> LiveObjectCount;
extern std::atomic<HostModule*> OleAutModule;

class D_CComBase {
 public:
  // The object name is accepted for the record and not stored.
  D_CComBase(const char* objectName, IUnknown* outer);
  virtual ~D_CComBase();
  D_CComBase(const D_CComBase&) = delete;
  D_CComBase& operator=(const D_CComBase&) = delete;

  // Derived classes test their own ids first and pass the rest to their base.
  virtual HRESULT InnerQueryInterface(REFIID iid, void** out);
  virtual uint32_t InnerAddRef();
  virtual uint32_t InnerRelease();

  IUnknown* InnerUnknown() { return &inner_; }
  IUnknown* OuterUnknown() const { return outer_; }

 private:
  struct Inner final : IUnknown {
    explicit Inner(D_CComBase* o) : owner(o) {}
    HRESULT QueryInterface(REFIID iid, void** out) override { return owner->InnerQueryInterface(iid, out); }
    uint32_t AddRef() override { return owner->InnerAddRef(); }
    uint32_t Release() override { return owner->InnerRelease(); }
    D_CComBase* owner;
  };

  Inner inner_;
  IUnknown* outer_;
  std::atomic<int32_t> count_{0};
};

// The three IUnknown entries of a class that offers published interfaces: each forwards
// to the outer IUnknown. A class that adds an interface repeats it.
#define DSHOW_OUTER_UNKNOWN                                                         \
  HRESULT QueryInterface(REFIID iid, void** out) override {                         \
    return OuterUnknown()->QueryInterface(iid, out);                                \
  }                                                                                 \
  uint32_t AddRef() override { return OuterUnknown()->AddRef(); }                   \
  uint32_t Release() override { return OuterUnknown()->Release(); }

// Stores `pointer` in *out with a reference: E_POINTER for a null out pointer.
HRESULT HandOutInterface(IUnknown* pointer, void** out);

// A copy of `text` in task memory for the caller to free: E_POINTER, E_OUTOFMEMORY.
HRESULT CopyWideStringToTaskMemory(const char16_t* text, char16_t** out);

// Makes a T and answers `iid` on it, the query's reference being the only one: a
// refused interface frees the object again.
template <class T, class... Args>
HRESULT MakeObjectFor(REFIID iid, void** out, Args&&... args) {
  if (out == nullptr) return E_POINTER;
  *out = nullptr;
  T* object = new (std::nothrow) T(std::forward<Args>(args)...);
  if (object == nullptr) return E_OUTOFMEMORY;
  object->InnerAddRef();
  HRESULT hr = object->InnerQueryInterface(iid, out);
  object->InnerRelease();
  return hr;
}
