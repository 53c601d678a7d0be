#pragma once
// What both enumerators share: they are not D_CComBase objects but keep their own
// count, start at 1, delete themselves at the last release, and are counted for tests.
#include <atomic>
#include <cstdint>

#include "host/com/unknown.h"

extern std::atomic<int32_t> LiveEnumeratorCount;

template <typename Interface, const IID& kInterfaceId>
class EnumeratorUnknown : public Interface {
 public:
  EnumeratorUnknown() { LiveEnumeratorCount.fetch_add(1); }
  virtual ~EnumeratorUnknown() { LiveEnumeratorCount.fetch_sub(1); }

  HRESULT QueryInterface(REFIID iid, void** out) override {
    if (out == nullptr) return E_POINTER;
    if (iid == kInterfaceId || iid == IID_IUnknown) {
      *out = static_cast<Interface*>(this);
      AddRef();
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  uint32_t AddRef() override { return static_cast<uint32_t>(count_.fetch_add(1) + 1); }
  uint32_t Release() override {
    int32_t n = count_.fetch_sub(1) - 1;
    if (n == 0) delete this;
    return static_cast<uint32_t>(n);
  }

 private:
  std::atomic<int32_t> count_{1};
};
