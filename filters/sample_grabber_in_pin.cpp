#include "filters/sample_grabber_in_pin.h"

#include <new>

#include "filters/enum_media_types.h"
#include "filters/sample_grabber.h"
#include "filters/sample_grabber_allocator.h"
#include "filters/transform_out_pin.h"

D_CSampleGrabberInPin::D_CSampleGrabberInPin(D_CSampleGrabber* grabber, HRESULT* result)
    : D_CInPlaceInPin("SampleGrabberInputPin", grabber, result, u"Input"), grabber_(grabber) {}

D_CSampleGrabberInPin::~D_CSampleGrabberInPin() {
  if (privateAllocator_ != nullptr) privateAllocator_->Release();
}

HRESULT D_CSampleGrabberInPin::ProposedType(int32_t position, D_CMediaTypeRec* type) {
  if (type == nullptr) return E_POINTER;
  if (position < 0) return E_INVALIDARG;
  if (position > 0) return VFW_S_NO_MORE_ITEMS;
  FreeMediaTypeRecord(type);
  type->ClearToDefaults();
  type->SetMajorType(grabber_->AcceptedMajorType());
  return S_OK;
}

HRESULT D_CSampleGrabberInPin::EnumMediaTypes(IEnumMediaTypes** types) {
  if (types == nullptr) return E_POINTER;
  D_CTransformOutPin* out = grabber_->OutputPin();
  if (out != nullptr && out->IsConnected()) return D_CInPlaceInPin::EnumMediaTypes(types);
  *types = new (std::nothrow) D_CEnumMediaTypesObj(this, nullptr);
  return *types != nullptr ? S_OK : E_OUTOFMEMORY;
}

HRESULT D_CSampleGrabberInPin::StoreConnectionType(const AM_MEDIA_TYPE* type) {
  typeChanged_ = true;
  return D_CInPlaceInPin::StoreConnectionType(type);
}

HRESULT D_CSampleGrabberInPin::GetAllocator(IMemAllocator** allocator) {
  if (privateAllocator_ == nullptr) return D_CInPlaceInPin::GetAllocator(allocator);
  if (allocator == nullptr) return E_POINTER;
  return privateAllocator_->QueryInterface(IID_IMemAllocator, reinterpret_cast<void**>(allocator));
}

HRESULT D_CSampleGrabberInPin::NotifyAllocator(IMemAllocator* allocator, int32_t readOnly) {
  if (privateAllocator_ != nullptr) {
    IMemAllocator* own = static_cast<IMemAllocator*>(privateAllocator_);
    if (allocator != own || (readOnly && grabber_->ModifiesData())) return E_FAIL;
  }
  return D_CInPlaceInPin::NotifyAllocator(allocator, readOnly);
}

HRESULT D_CSampleGrabberInPin::GetAllocatorRequirements(ALLOCATOR_PROPERTIES* properties) {
  if (privateAllocator_ == nullptr) return D_CInPlaceInPin::GetAllocatorRequirements(properties);
  if (properties == nullptr) return E_POINTER;
  *properties = properties_;
  return S_OK;
}

HRESULT D_CSampleGrabberInPin::SetOutputBuffer(const ALLOCATOR_PROPERTIES& properties, uint8_t* buffer) {
  if (properties.cBuffers != 1) return E_INVALIDARG;
  if (buffer == nullptr) return E_POINTER;
  properties_ = properties;
  buffer_ = buffer;
  if (privateAllocator_ != nullptr) privateAllocator_->Release();
  HRESULT hr = S_OK;
  privateAllocator_ = new (std::nothrow) D_CSampleGrabberAllocator(properties, buffer, &hr);
  if (privateAllocator_ == nullptr) return E_OUTOFMEMORY;
  privateAllocator_->AddRef();
  return hr;
}
