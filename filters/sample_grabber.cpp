#include "filters/sample_grabber.h"

#include <new>

#include "filters/in_place_out_pin.h"
#include "filters/sample_grabber_in_pin.h"

D_CSampleGrabber::D_CSampleGrabber(IUnknown* outer, HRESULT* result)
    : D_CInPlaceFilter("SampleGrabber", outer, CLSID_SampleGrabber, false) {
  input_ = new (std::nothrow) D_CSampleGrabberInPin(this, result);
  if (input_ == nullptr) {
    if (result != nullptr) *result = E_OUTOFMEMORY;
    return;
  }
  PinAt(1);
}

D_CSampleGrabber::~D_CSampleGrabber() = default;

D_CSampleGrabberInPin* D_CSampleGrabber::GrabberInput() const { return static_cast<D_CSampleGrabberInPin*>(input_); }

HRESULT D_CSampleGrabber::InnerQueryInterface(REFIID iid, void** out) {
  if (out == nullptr) return E_POINTER;
  if (iid == IID_GrabberControl) return HandOutInterface(static_cast<GrabberControl*>(this), out);
  return D_CInPlaceFilter::InnerQueryInterface(iid, out);
}

GUID D_CSampleGrabber::AcceptedMajorType() {
  CriticalSectionGuard guard(grabberLock_);
  return accepted_.majortype;
}

HRESULT D_CSampleGrabber::SetAcceptedType(const AM_MEDIA_TYPE* type) {
  CriticalSectionGuard guard(grabberLock_);
  if (type == nullptr) {
    FreeMediaTypeRecord(&accepted_);
    accepted_.ClearToDefaults();
    return S_OK;
  }
  return accepted_.SetFrom(*type);
}

HRESULT D_CSampleGrabber::GetConnectionType(AM_MEDIA_TYPE* type) {
  if (input_ == nullptr || !input_->IsConnected()) return VFW_E_NOT_CONNECTED;
  return input_->ConnectionMediaType(type);
}

HRESULT D_CSampleGrabber::SetSampleCallback(SampleCallback callback, uintptr_t user) {
  CriticalSectionGuard guard(grabberLock_);
  callback_ = callback;
  user_ = user;
  return S_OK;
}

HRESULT D_CSampleGrabber::SetOutputBuffer(ALLOCATOR_PROPERTIES properties, uint8_t* buffer) {
  if (input_ == nullptr || output_ == nullptr) return E_POINTER;
  if (input_->IsConnected() || output_->IsConnected()) return E_INVALIDARG;
  return GrabberInput()->SetOutputBuffer(properties, buffer);
}

HRESULT D_CSampleGrabber::AcceptsInputType(const AM_MEDIA_TYPE* type) {
  if (type == nullptr) return E_POINTER;
  CriticalSectionGuard guard(grabberLock_);
  if (accepted_.majortype == GUID_NULL) return S_OK;
  if (accepted_.majortype != type->majortype) return VFW_E_INVALID_MEDIA_TYPE;
  if (accepted_.subtype != GUID_NULL && accepted_.subtype != type->subtype) return VFW_E_INVALID_MEDIA_TYPE;
  if (accepted_.formattype != GUID_NULL && accepted_.formattype != type->formattype) return VFW_E_INVALID_MEDIA_TYPE;
  return S_OK;
}

HRESULT D_CSampleGrabber::ReceiveSample(IMediaSample* sample) {
  if (sample == nullptr) return E_POINTER;
  if (input_->SampleProperties().dwStreamId != AM_STREAM_MEDIA) {
    return output_->IsConnected() ? output_->DeliverSample(sample) : S_OK;
  }
  IMediaSample* copy = nullptr;
  if (AllocatorsDiffer()) {
    copy = CopySample(sample);
    if (copy == nullptr) return E_UNEXPECTED;
  }
  IMediaSample* passed = copy != nullptr ? copy : sample;
  HRESULT hr = TransformInPlace(passed);
  if (hr == S_OK) hr = output_->DeliverSample(passed);
  if (copy != nullptr) copy->Release();
  return hr;
}

HRESULT D_CSampleGrabber::TransformInPlace(IMediaSample* sample) {
  if (sample == nullptr) return E_POINTER;
  CriticalSectionGuard guard(grabberLock_);
  if (callback_ == nullptr) return S_OK;
  // A sample without times gets 0 and 0, so the callback never reads stale values.
  REFERENCE_TIME start = 0, stop = 0;
  if (FAILED(sample->GetTime(&start, &stop))) start = stop = 0;
  const REFERENCE_TIME segment = GrabberInput()->SegmentStart();
  start += segment;
  stop += segment;
  return callback_(sample, &start, &stop, GrabberInput()->TakeTypeChanged() ? 1 : 0, user_);
}

D_CSampleGrabber* CreateSampleGrabber(IUnknown* outer, HRESULT* result) {
  HRESULT hr = S_OK;
  auto* grabber = new (std::nothrow) D_CSampleGrabber(outer, &hr);
  if (grabber == nullptr) hr = E_OUTOFMEMORY;
  if (grabber != nullptr && FAILED(hr)) {
    delete grabber;
    grabber = nullptr;
  }
  if (result != nullptr) *result = hr;
  return grabber;
}
