#pragma once
// The type information of one automation interface, loaded from the media-control type
// library at the first call that needs it and kept until the holder goes.
#include "host/com/dispatch.h"

class D_CTypeInfoHolder {
 public:
  D_CTypeInfoHolder() = default;
  ~D_CTypeInfoHolder();
  D_CTypeInfoHolder(const D_CTypeInfoHolder&) = delete;
  D_CTypeInfoHolder& operator=(const D_CTypeInfoHolder&) = delete;

  HRESULT GetTypeInfo(REFIID iid, uint32_t index, LCID locale, ITypeInfo** out);
  HRESULT GetIDsOfNames(REFIID iid, char16_t** names, uint32_t count, LCID locale, DISPID* ids);

 private:
  ITypeInfo* info_ = nullptr;
};
