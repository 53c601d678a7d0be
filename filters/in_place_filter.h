#pragma once
// A transform that hands downstream the very sample it received, copying it only when
// the two sides work with different allocators. It asks the graph to reconnect one side
// when the other connects, so that both end with one type and, where they can, one
// allocator.
#include "filters/transform_filter.h"

class D_CInPlaceInPin;
class D_CInPlaceOutPin;

class D_CInPlaceFilter : public D_CTransformFilterBase {
 public:
  D_CInPlaceFilter(const char* objectName, IUnknown* outer, REFCLSID clsid, bool modifiesData);

  // Makes "Input" (unless a derived filter made its own) and "Output" on first need.
  D_CPinBase* PinAt(int32_t index) override;
  HRESULT AcceptsTransform(const AM_MEDIA_TYPE*, const AM_MEDIA_TYPE*) override { return S_OK; }
  HRESULT ProposedOutputType(int32_t, D_CMediaTypeRec*) override { return E_UNEXPECTED; }
  HRESULT SizeOutputBuffers(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* properties) override;
  HRESULT OnPinConnected(PIN_DIRECTION direction, IPin* pin) override;
  virtual HRESULT TransformInPlace(IMediaSample* sample) = 0;

  bool ModifiesData() const { return modifiesData_; }
  // The input's allocator is not the output's: samples must be copied across.
  bool AllocatorsDiffer() const;
  // A sample of the output allocator carrying the source's bytes, times, flags and type;
  // null when none can be had.
  IMediaSample* CopySample(IMediaSample* source);

 protected:
  D_CInPlaceInPin* InPlaceInput() const;
  D_CInPlaceOutPin* InPlaceOutput() const;

  bool modifiesData_;
};
