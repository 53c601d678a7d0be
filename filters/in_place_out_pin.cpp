#include "filters/in_place_out_pin.h"

#include "filters/in_place_filter.h"
#include "filters/transform_in_pin.h"

D_CInPlaceOutPin::D_CInPlaceOutPin(const char* objectName, D_CInPlaceFilter* filter, HRESULT* result,
                                   const char16_t* pinName)
    : D_CTransformOutPin(objectName, filter, result, pinName), inPlace_(filter) {}

HRESULT D_CInPlaceOutPin::EnumMediaTypes(IEnumMediaTypes** types) {
  if (types == nullptr) return E_POINTER;
  IPin* peer = inPlace_->InputPin() != nullptr ? inPlace_->InputPin()->ConnectedPin() : nullptr;
  if (peer == nullptr) {
    *types = nullptr;
    return VFW_E_NOT_CONNECTED;
  }
  return peer->EnumMediaTypes(types);
}

HRESULT D_CInPlaceOutPin::AcceptsType(const AM_MEDIA_TYPE* type) {
  if (inPlace_->AllocatorsDiffer() && !inPlace_->IsStopped()) {
    // Samples are being copied into buffers of the current type: no change now.
    return connectionType_.Equals(*type) ? S_OK : VFW_E_TYPE_NOT_ACCEPTED;
  }
  HRESULT hr = inPlace_->AcceptsInputType(type);
  if (hr != S_OK) return hr;
  IPin* peer = inPlace_->InputPin() != nullptr ? inPlace_->InputPin()->ConnectedPin() : nullptr;
  return peer != nullptr ? peer->QueryAccept(type) : S_OK;
}

HRESULT D_CInPlaceOutPin::FinishConnection(IPin* peer) {
  HRESULT hr = D_COutputPinBase::FinishConnection(peer);
  return FAILED(hr) ? hr : inPlace_->OnPinConnected(PINDIR_OUTPUT, peer);
}

void D_CInPlaceOutPin::SetOutputAllocator(IMemAllocator* allocator) {
  if (allocator != nullptr) allocator->AddRef();
  if (allocator_ != nullptr) allocator_->Release();
  allocator_ = allocator;
}
