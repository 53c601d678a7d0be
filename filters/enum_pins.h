#pragma once
// Hands a filter's pins out one by one. When the filter's pin list changes it starts
// over from the first pin, skipping the pins it already handed out.
#include <atomic>
#include <cstdint>

#include "filters/enumerator_unknown.h"
#include "filters/ptr_list.h"
#include "host/dshow/interfaces.h"

class D_CFilterBase;

class D_CEnumPinsObj final : public EnumeratorUnknown<IEnumPins, IID_IEnumPins> {
 public:
  // With a source, its position, pin count, version and handed-out pins are taken over.
  D_CEnumPinsObj(D_CFilterBase* filter, const D_CEnumPinsObj* source);
  ~D_CEnumPinsObj() override;

  HRESULT Next(uint32_t count, IPin** pins, uint32_t* fetched) override;
  HRESULT Skip(uint32_t count) override;
  HRESULT Reset() override;
  HRESULT Clone(IEnumPins** copy) override;

 private:
  bool OutOfSync() const;
  void Refresh();

  int32_t position_ = 0;
  int32_t pinCount_ = 0;
  D_CFilterBase* filter_;
  int32_t version_ = 0;
  D_CPtrList handedOut_;  // pins already returned, held without references
};
