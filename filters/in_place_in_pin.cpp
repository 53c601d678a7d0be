#include "filters/in_place_in_pin.h"

#include "filters/in_place_filter.h"
#include "filters/in_place_out_pin.h"
#include "filters/system_allocator.h"

D_CInPlaceInPin::D_CInPlaceInPin(const char* objectName, D_CInPlaceFilter* filter, HRESULT* result,
                                 const char16_t* pinName)
    : D_CTransformInPin(objectName, filter, result, pinName), inPlace_(filter) {}

IMemInputPin* D_CInPlaceInPin::DownstreamInput() {
  IPin* peer = inPlace_->OutputPin() != nullptr ? inPlace_->OutputPin()->ConnectedPin() : nullptr;
  IMemInputPin* input = nullptr;
  if (peer == nullptr || FAILED(peer->QueryInterface(IID_IMemInputPin, reinterpret_cast<void**>(&input)))) {
    return nullptr;
  }
  return input;
}

HRESULT D_CInPlaceInPin::GetAllocator(IMemAllocator** allocator) {
  if (allocator == nullptr) return E_POINTER;
  CriticalSectionGuard guard(*lock_);
  IMemInputPin* downstream = DownstreamInput();
  if (downstream == nullptr) return D_CTransformInPin::GetAllocator(allocator);
  HRESULT hr = downstream->GetAllocator(allocator);
  downstream->Release();
  if (SUCCEEDED(hr)) static_cast<D_CInPlaceOutPin*>(inPlace_->OutputPin())->SetOutputAllocator(*allocator);
  return hr;
}

HRESULT D_CInPlaceInPin::NotifyAllocator(IMemAllocator* allocator, int32_t readOnly) {
  if (allocator == nullptr) return E_POINTER;
  CriticalSectionGuard guard(*lock_);
  readOnly_ = readOnly != 0;
  IMemInputPin* downstream = DownstreamInput();
  if (downstream == nullptr) return D_CTransformInPin::NotifyAllocator(allocator, readOnly);
  auto* out = static_cast<D_CInPlaceOutPin*>(inPlace_->OutputPin());
  HRESULT hr = S_OK;
  if (readOnly_ && inPlace_->ModifiesData()) {
    // The data will change but may not be written: the output needs buffers of its own.
    IMemAllocator* own = out->Allocator();
    if (own != nullptr) {
      own->AddRef();
    } else if (FAILED(downstream->GetAllocator(&own))) {
      hr = CreateSystemAllocator(&own);
    }
    if (SUCCEEDED(hr) && own == allocator) hr = E_FAIL;
    ALLOCATOR_PROPERTIES request{}, actual{};
    if (SUCCEEDED(hr)) hr = allocator->GetProperties(&request);
    if (SUCCEEDED(hr)) hr = own->SetProperties(&request, &actual);
    if (SUCCEEDED(hr) && (actual.cBuffers < request.cBuffers || actual.cbBuffer < request.cbBuffer ||
                          actual.cbAlign < request.cbAlign)) {
      hr = E_FAIL;
    }
    if (SUCCEEDED(hr)) hr = downstream->NotifyAllocator(own, 0);
    if (SUCCEEDED(hr)) out->SetOutputAllocator(own);
    if (own != nullptr) own->Release();
  } else {
    hr = downstream->NotifyAllocator(allocator, readOnly);
    if (SUCCEEDED(hr)) out->SetOutputAllocator(allocator);
  }
  downstream->Release();
  if (FAILED(hr)) return hr;
  allocator->AddRef();
  if (allocator_ != nullptr) allocator_->Release();
  allocator_ = allocator;
  return S_OK;
}

HRESULT D_CInPlaceInPin::GetAllocatorRequirements(ALLOCATOR_PROPERTIES* properties) {
  CriticalSectionGuard guard(*lock_);
  IMemInputPin* downstream = DownstreamInput();
  if (downstream == nullptr) return E_NOTIMPL;
  HRESULT hr = downstream->GetAllocatorRequirements(properties);
  downstream->Release();
  return hr;
}

HRESULT D_CInPlaceInPin::EnumMediaTypes(IEnumMediaTypes** types) {
  if (types == nullptr) return E_POINTER;
  IPin* peer = inPlace_->OutputPin() != nullptr ? inPlace_->OutputPin()->ConnectedPin() : nullptr;
  if (peer == nullptr) {
    *types = nullptr;
    return VFW_E_NOT_CONNECTED;
  }
  return peer->EnumMediaTypes(types);
}

HRESULT D_CInPlaceInPin::AcceptsType(const AM_MEDIA_TYPE* type) {
  HRESULT hr = inPlace_->AcceptsInputType(type);
  if (hr != S_OK) return hr;
  IPin* peer = inPlace_->OutputPin() != nullptr ? inPlace_->OutputPin()->ConnectedPin() : nullptr;
  return peer != nullptr ? peer->QueryAccept(type) : S_OK;
}

HRESULT D_CInPlaceInPin::FinishConnection(IPin* peer) {
  HRESULT hr = D_CInputPinBase::FinishConnection(peer);
  return FAILED(hr) ? hr : inPlace_->OnPinConnected(PINDIR_INPUT, peer);
}
