#include "filters/transform_in_pin.h"

#include "filters/transform_filter.h"
#include "filters/transform_out_pin.h"

D_CTransformInPin::D_CTransformInPin(const char* objectName, D_CTransformFilterBase* filter, HRESULT* result,
                                     const char16_t* pinName)
    : D_CInputPinBase(objectName, filter, &filter->FilterLock(), result, pinName), transform_(filter) {}

HRESULT D_CTransformInPin::QueryId(char16_t** id) { return CopyWideStringToTaskMemory(u"In", id); }

HRESULT D_CTransformInPin::CheckPeer(IPin* peer) {
  HRESULT hr = transform_->CheckPinPeer(PINDIR_INPUT, peer);
  return FAILED(hr) ? hr : D_CInputPinBase::CheckPeer(peer);
}

HRESULT D_CTransformInPin::ReleaseConnection() {
  transform_->OnPinDisconnect(PINDIR_INPUT);
  return D_CInputPinBase::ReleaseConnection();
}

HRESULT D_CTransformInPin::FinishConnection(IPin* peer) {
  HRESULT hr = transform_->OnPinConnected(PINDIR_INPUT, peer);
  return FAILED(hr) ? hr : D_CInputPinBase::FinishConnection(peer);
}

HRESULT D_CTransformInPin::AcceptsType(const AM_MEDIA_TYPE* type) {
  HRESULT hr = transform_->AcceptsInputType(type);
  if (hr != S_OK) return hr;
  D_CTransformOutPin* out = transform_->OutputPin();
  if (out != nullptr && out->IsConnected()) return transform_->AcceptsTransform(type, &out->ConnectionType());
  return S_OK;
}

HRESULT D_CTransformInPin::StoreConnectionType(const AM_MEDIA_TYPE* type) {
  HRESULT hr = D_CInputPinBase::StoreConnectionType(type);
  return FAILED(hr) ? hr : transform_->OnPinTypeSet(PINDIR_INPUT, type);
}

HRESULT D_CTransformInPin::CheckStreamingState() {
  D_CTransformOutPin* out = transform_->OutputPin();
  if (out == nullptr || !out->IsConnected()) return VFW_E_NOT_CONNECTED;
  if (flushing_) return S_FALSE;
  if (transform_->IsStopped()) return VFW_E_WRONG_STATE;
  if (runtimeError_) return VFW_E_RUNTIME_ERROR;
  return S_OK;
}

HRESULT D_CTransformInPin::EndOfStream() {
  CriticalSectionGuard receive(transform_->ReceiveLock());
  HRESULT hr = CheckStreamingState();
  return hr == S_OK ? transform_->OnEndOfStream() : hr;
}

bool D_CTransformInPin::BothConnected() const {
  D_CTransformOutPin* out = transform_->OutputPin();
  return IsConnected() && out != nullptr && out->IsConnected();
}

HRESULT D_CTransformInPin::BeginFlush() {
  CriticalSectionGuard guard(*lock_);
  if (!BothConnected()) return VFW_E_NOT_CONNECTED;
  HRESULT hr = D_CInputPinBase::BeginFlush();
  return FAILED(hr) ? hr : transform_->OnBeginFlush();
}

HRESULT D_CTransformInPin::EndFlush() {
  CriticalSectionGuard guard(*lock_);
  if (!BothConnected()) return VFW_E_NOT_CONNECTED;
  HRESULT hr = transform_->OnEndFlush();
  return FAILED(hr) ? hr : D_CInputPinBase::EndFlush();
}

HRESULT D_CTransformInPin::Receive(IMediaSample* sample) {
  CriticalSectionGuard receive(transform_->ReceiveLock());
  HRESULT hr = D_CInputPinBase::Receive(sample);
  return hr == S_OK ? transform_->ReceiveSample(sample) : hr;
}

HRESULT D_CTransformInPin::NewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate) {
  D_CInputPinBase::NewSegment(start, stop, rate);
  return transform_->OnNewSegment(start, stop, rate);
}
