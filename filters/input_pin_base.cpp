#include "filters/input_pin_base.h"

#include "filters/filter_base.h"
#include "filters/system_allocator.h"

D_CInputPinBase::D_CInputPinBase(const char* objectName, D_CFilterBase* filter, CriticalSection* lock,
                                 HRESULT* result, const char16_t* pinName)
    : D_CPinBase(objectName, filter, lock, result, pinName, PINDIR_INPUT) {}

D_CInputPinBase::~D_CInputPinBase() {
  if (allocator_ != nullptr) allocator_->Release();
  FreeReceivedType();
}

HRESULT D_CInputPinBase::InnerQueryInterface(REFIID iid, void** out) {
  if (out == nullptr) return E_POINTER;
  if (iid == IID_IMemInputPin) return HandOutInterface(static_cast<IMemInputPin*>(this), out);
  return D_CPinBase::InnerQueryInterface(iid, out);
}

HRESULT D_CInputPinBase::BeginFlush() {
  CriticalSectionGuard guard(*lock_);
  flushing_ = true;
  return S_OK;
}

HRESULT D_CInputPinBase::EndFlush() {
  CriticalSectionGuard guard(*lock_);
  flushing_ = false;
  runtimeError_ = false;
  return S_OK;
}

HRESULT D_CInputPinBase::Notify(IBaseFilter* sender, Quality) { return sender == nullptr ? E_POINTER : S_OK; }

HRESULT D_CInputPinBase::GetAllocator(IMemAllocator** allocator) {
  if (allocator == nullptr) return E_POINTER;
  CriticalSectionGuard guard(*lock_);
  if (allocator_ == nullptr) {
    HRESULT hr = CreateSystemAllocator(&allocator_);
    if (FAILED(hr)) return hr;
  }
  allocator_->AddRef();
  *allocator = allocator_;
  return S_OK;
}

HRESULT D_CInputPinBase::NotifyAllocator(IMemAllocator* allocator, int32_t readOnly) {
  if (allocator == nullptr) return E_POINTER;
  CriticalSectionGuard guard(*lock_);
  allocator->AddRef();
  if (allocator_ != nullptr) allocator_->Release();
  allocator_ = allocator;
  readOnly_ = readOnly != 0;
  return S_OK;
}

void D_CInputPinBase::FreeReceivedType() {
  DeleteMediaTypeRecord(receivedType_);
  receivedType_ = nullptr;
}

HRESULT D_CInputPinBase::Receive(IMediaSample* sample) {
  if (sample == nullptr) return E_POINTER;
  HRESULT hr = CheckStreamingState();
  if (hr != S_OK) return hr;
  FreeReceivedType();
  AM_SAMPLE2_PROPERTIES& p = sampleProperties_;
  IMediaSample2* sample2 = nullptr;
  if (SUCCEEDED(sample->QueryInterface(IID_IMediaSample2, reinterpret_cast<void**>(&sample2)))) {
    hr = sample2->GetProperties(sizeof(p), reinterpret_cast<uint8_t*>(&p));
    sample2->Release();
    if (FAILED(hr)) return hr;
  } else {
    p = {};
    p.cbData = sizeof(p);
    p.dwStreamId = AM_STREAM_MEDIA;
    if (sample->IsDiscontinuity() == S_OK) p.dwSampleFlags |= AM_SAMPLE_DATADISCONTINUITY;
    if (sample->IsPreroll() == S_OK) p.dwSampleFlags |= AM_SAMPLE_PREROLL;
    if (sample->IsSyncPoint() == S_OK) p.dwSampleFlags |= AM_SAMPLE_SPLICEPOINT;
    if (SUCCEEDED(sample->GetTime(&p.tStart, &p.tStop))) p.dwSampleFlags |= AM_SAMPLE_TIMEVALID | AM_SAMPLE_STOPVALID;
    if (sample->GetMediaType(&receivedType_) == S_OK) p.dwSampleFlags |= AM_SAMPLE_TYPECHANGED;
    p.pMediaType = receivedType_;
    sample->GetPointer(&p.pbBuffer);
    p.lActual = sample->GetActualDataLength();
    p.cbBuffer = sample->GetSize();
  }
  if ((p.dwSampleFlags & AM_SAMPLE_TYPECHANGED) == 0) return S_OK;
  hr = AcceptsType(p.pMediaType);
  if (hr == S_OK) return S_OK;
  runtimeError_ = true;
  AsPin()->EndOfStream();
  filter_->SendGraphEvent(EC_ERRORABORT, VFW_E_TYPE_NOT_ACCEPTED, 0);
  return VFW_E_INVALIDMEDIATYPE;
}

HRESULT D_CInputPinBase::ReceiveMultiple(IMediaSample** samples, int32_t count, int32_t* processed) {
  if (samples == nullptr) return E_POINTER;
  if (processed != nullptr) *processed = 0;
  HRESULT hr = S_OK;
  for (int32_t i = 0; i < count; ++i) {
    hr = static_cast<IMemInputPin*>(this)->Receive(samples[i]);
    if (hr != S_OK) break;
    if (processed != nullptr) ++*processed;
  }
  return hr;
}

HRESULT D_CInputPinBase::ReceiveCanBlock() {
  int32_t outputs = 0;
  for (int32_t i = 0; i < filter_->PinCount(); ++i) {
    D_CPinBase* pin = filter_->PinAt(i);
    if (pin == nullptr) continue;
    PIN_DIRECTION direction;
    HRESULT hr = pin->QueryDirection(&direction);
    if (FAILED(hr)) return hr;
    if (direction == PINDIR_INPUT) continue;
    IPin* peer = nullptr;
    if (FAILED(pin->ConnectedTo(&peer))) continue;
    ++outputs;
    IMemInputPin* input = nullptr;
    hr = peer->QueryInterface(IID_IMemInputPin, reinterpret_cast<void**>(&input));
    peer->Release();
    if (FAILED(hr)) return S_OK;
    hr = input->ReceiveCanBlock();
    input->Release();
    if (hr != S_FALSE) return S_OK;
  }
  return outputs == 0 ? S_OK : S_FALSE;
}

HRESULT D_CInputPinBase::OnDeactivate() {
  // The received type stays: a streaming thread may still be inside Receive, which
  // replaces it; the next sample or the pin's end frees it.
  runtimeError_ = false;
  if (allocator_ == nullptr) return VFW_E_NO_ALLOCATOR;
  flushing_ = false;
  return allocator_->Decommit();
}

HRESULT D_CInputPinBase::ReleaseConnection() {
  if (allocator_ != nullptr) {
    HRESULT hr = allocator_->Decommit();
    if (FAILED(hr)) return hr;
    allocator_->Release();
    allocator_ = nullptr;
  }
  return S_OK;
}

HRESULT D_CInputPinBase::CheckStreamingState() {
  if (filter_->IsStopped()) return VFW_E_WRONG_STATE;
  if (flushing_) return S_FALSE;
  if (runtimeError_) return VFW_E_RUNTIME_ERROR;
  return S_OK;
}

HRESULT D_CInputPinBase::PassQualityUpstream(const Quality& quality) {
  if (qualitySink_ != nullptr) return qualitySink_->Notify(filter_->AsBaseFilter(), quality);
  IPin* peer = ConnectedPin();
  IQualityControl* upstream = nullptr;
  if (peer == nullptr || FAILED(peer->QueryInterface(IID_IQualityControl, reinterpret_cast<void**>(&upstream)))) {
    return VFW_E_NOT_FOUND;
  }
  HRESULT hr = upstream->Notify(filter_->AsBaseFilter(), quality);
  upstream->Release();
  return hr;
}
