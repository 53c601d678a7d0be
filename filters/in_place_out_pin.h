#pragma once
// The in-place filter's output: its type is the input's, and while the two sides use
// different allocators and the filter streams it takes no other.
#include "filters/transform_out_pin.h"

class D_CInPlaceFilter;

class D_CInPlaceOutPin : public D_CTransformOutPin {
 public:
  D_CInPlaceOutPin(const char* objectName, D_CInPlaceFilter* filter, HRESULT* result, const char16_t* pinName);

  HRESULT EnumMediaTypes(IEnumMediaTypes** types) override;
  HRESULT AcceptsType(const AM_MEDIA_TYPE* type) override;
  HRESULT FinishConnection(IPin* peer) override;
  void SetOutputAllocator(IMemAllocator* allocator);

 private:
  D_CInPlaceFilter* inPlace_;
};
