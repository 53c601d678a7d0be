#pragma once
// The in-place filter's input: it offers the downstream pin's allocator and types, so
// that a sample can go on unchanged.
#include "filters/transform_in_pin.h"

class D_CInPlaceFilter;

class D_CInPlaceInPin : public D_CTransformInPin {
 public:
  D_CInPlaceInPin(const char* objectName, D_CInPlaceFilter* filter, HRESULT* result, const char16_t* pinName);

  HRESULT GetAllocator(IMemAllocator** allocator) override;
  HRESULT NotifyAllocator(IMemAllocator* allocator, int32_t readOnly) override;
  HRESULT GetAllocatorRequirements(ALLOCATOR_PROPERTIES* properties) override;
  HRESULT EnumMediaTypes(IEnumMediaTypes** types) override;
  HRESULT AcceptsType(const AM_MEDIA_TYPE* type) override;
  HRESULT FinishConnection(IPin* peer) override;

  bool ReadOnly() const { return readOnly_; }

 protected:
  // The input pin of the filter downstream of the output, with a reference; null when
  // the output is not connected.
  IMemInputPin* DownstreamInput();

  D_CInPlaceFilter* inPlace_;
};
