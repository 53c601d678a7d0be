#include "filters/transform_out_pin.h"

#include "filters/system_allocator.h"
#include "filters/transform_filter.h"
#include "filters/transform_in_pin.h"
#include "host/com/class_registry.h"

HRESULT CreateSeekingPassThru(IUnknown* outer, bool renderer, IPin* pin, IUnknown** out) {
  if (out == nullptr) return E_POINTER;
  *out = nullptr;
  RegisterFrameworkClasses();
  IUnknown* object = nullptr;
  HRESULT hr = CoCreateInstance(CLSID_SeekingPassThru, outer, CLSCTX_INPROC_SERVER, IID_IUnknown,
                                reinterpret_cast<void**>(&object));
  if (FAILED(hr)) return hr;
  ISeekingPassThru* passThru = nullptr;
  hr = object->QueryInterface(IID_ISeekingPassThru, reinterpret_cast<void**>(&passThru));
  if (SUCCEEDED(hr)) {
    hr = passThru->Init(renderer ? 1 : 0, pin);
    passThru->Release();
  }
  if (FAILED(hr)) {
    object->Release();
    return hr;
  }
  *out = object;
  return S_OK;
}

D_CTransformOutPin::D_CTransformOutPin(const char* objectName, D_CTransformFilterBase* filter, HRESULT* result,
                                       const char16_t* pinName)
    : D_COutputPinBase(objectName, filter, &filter->FilterLock(), result, pinName), transform_(filter) {}

D_CTransformOutPin::~D_CTransformOutPin() {
  if (seeking_ != nullptr) seeking_->Release();
}

HRESULT D_CTransformOutPin::InnerQueryInterface(REFIID iid, void** out) {
  if (out == nullptr) return E_POINTER;
  if (iid == IID_IMediaPosition || iid == IID_IMediaSeeking) {
    if (seeking_ == nullptr) {
      HRESULT hr = CreateSeekingPassThru(OuterUnknown(), false, transform_->InputPin(), &seeking_);
      if (FAILED(hr)) return hr;
    }
    return seeking_->QueryInterface(iid, out);
  }
  return D_COutputPinBase::InnerQueryInterface(iid, out);
}

HRESULT D_CTransformOutPin::QueryId(char16_t** id) { return CopyWideStringToTaskMemory(u"Out", id); }

bool D_CTransformOutPin::InputConnected() const {
  D_CTransformInPin* in = transform_->InputPin();
  return in != nullptr && in->IsConnected();
}

HRESULT D_CTransformOutPin::CheckPeer(IPin* peer) {
  if (!InputConnected()) return E_UNEXPECTED;
  HRESULT hr = transform_->CheckPinPeer(PINDIR_OUTPUT, peer);
  return FAILED(hr) ? hr : D_COutputPinBase::CheckPeer(peer);
}

HRESULT D_CTransformOutPin::ReleaseConnection() {
  transform_->OnPinDisconnect(PINDIR_OUTPUT);
  return D_COutputPinBase::ReleaseConnection();
}

HRESULT D_CTransformOutPin::FinishConnection(IPin* peer) {
  HRESULT hr = transform_->OnPinConnected(PINDIR_OUTPUT, peer);
  return FAILED(hr) ? hr : D_COutputPinBase::FinishConnection(peer);
}

HRESULT D_CTransformOutPin::AcceptsType(const AM_MEDIA_TYPE* type) {
  if (!InputConnected()) return E_INVALIDARG;
  return transform_->AcceptsTransform(&transform_->InputPin()->ConnectionType(), type);
}

HRESULT D_CTransformOutPin::StoreConnectionType(const AM_MEDIA_TYPE* type) {
  HRESULT hr = D_COutputPinBase::StoreConnectionType(type);
  return FAILED(hr) ? hr : transform_->OnPinTypeSet(PINDIR_OUTPUT, type);
}

HRESULT D_CTransformOutPin::SizeBuffers(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* properties) {
  return transform_->SizeOutputBuffers(allocator, properties);
}

HRESULT D_CTransformOutPin::ProposedType(int32_t position, D_CMediaTypeRec* type) {
  if (!InputConnected()) return VFW_S_NO_MORE_ITEMS;
  return transform_->ProposedOutputType(position, type);
}

HRESULT D_CTransformOutPin::Notify(IBaseFilter*, Quality quality) {
  HRESULT hr = transform_->AdjustQuality(quality);
  return hr != S_FALSE ? hr : transform_->InputPin()->PassQualityUpstream(quality);
}
