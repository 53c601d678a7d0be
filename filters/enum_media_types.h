#pragma once
// Hands a pin's proposed media types out one by one. Not a D_CComBase: it keeps its
// own count and holds its pin (so the filter) for its whole life.
#include <atomic>
#include <cstdint>

#include "filters/enumerator_unknown.h"
#include "host/dshow/interfaces.h"

class D_CPinBase;

class D_CEnumMediaTypesObj final : public EnumeratorUnknown<IEnumMediaTypes, IID_IEnumMediaTypes> {
 public:
  // With a source, its position and version are taken over.
  D_CEnumMediaTypesObj(D_CPinBase* pin, const D_CEnumMediaTypesObj* source);
  ~D_CEnumMediaTypesObj() override;

  HRESULT Next(uint32_t count, AM_MEDIA_TYPE** types, uint32_t* fetched) override;
  HRESULT Skip(uint32_t count) override;
  HRESULT Reset() override;
  HRESULT Clone(IEnumMediaTypes** copy) override;

 private:
  bool OutOfSync() const;

  int32_t position_ = 0;
  D_CPinBase* pin_;
  int32_t version_;
};
