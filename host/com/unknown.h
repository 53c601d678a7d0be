#pragma once
// The root interface: identity through QueryInterface and a reference count. No
// virtual destructor: objects are destroyed by their own last Release.
#include <cstdint>

#include "host/com/guid.h"
#include "host/com/hresult.h"

struct IUnknown {
  virtual HRESULT QueryInterface(REFIID iid, void** out) = 0;
  virtual uint32_t AddRef() = 0;
  virtual uint32_t Release() = 0;

 protected:
  ~IUnknown() = default;
};
