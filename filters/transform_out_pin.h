#pragma once
// The transform filter's output: its types and buffers come from the filter; seeking
// questions go upstream through a pass-through object made on first need.
#include "filters/output_pin_base.h"

class D_CTransformFilterBase;

// The system's seeking pass-through, aggregated under `outer` and serving `pin`.
HRESULT CreateSeekingPassThru(IUnknown* outer, bool renderer, IPin* pin, IUnknown** out);

class D_CTransformOutPin : public D_COutputPinBase {
 public:
  D_CTransformOutPin(const char* objectName, D_CTransformFilterBase* filter, HRESULT* result, const char16_t* pinName);
  ~D_CTransformOutPin() override;

  HRESULT InnerQueryInterface(REFIID iid, void** out) override;
  HRESULT QueryId(char16_t** id) override;
  HRESULT CheckPeer(IPin* peer) override;
  HRESULT ReleaseConnection() override;
  HRESULT FinishConnection(IPin* peer) override;
  HRESULT AcceptsType(const AM_MEDIA_TYPE* type) override;
  HRESULT StoreConnectionType(const AM_MEDIA_TYPE* type) override;
  HRESULT SizeBuffers(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* properties) override;
  HRESULT ProposedType(int32_t position, D_CMediaTypeRec* type) override;
  HRESULT Notify(IBaseFilter* sender, Quality quality) override;

 protected:
  bool InputConnected() const;

  D_CTransformFilterBase* transform_;
  IUnknown* seeking_ = nullptr;  // the pass-through's inner unknown
};
