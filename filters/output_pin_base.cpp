#include "filters/output_pin_base.h"

#include "filters/system_allocator.h"

D_COutputPinBase::D_COutputPinBase(const char* objectName, D_CFilterBase* filter, CriticalSection* lock,
                                   HRESULT* result, const char16_t* pinName)
    : D_CPinBase(objectName, filter, lock, result, pinName, PINDIR_OUTPUT) {}

D_COutputPinBase::~D_COutputPinBase() {
  if (allocator_ != nullptr) allocator_->Release();
  if (peerInput_ != nullptr) peerInput_->Release();
}

HRESULT D_COutputPinBase::OnActivate() { return allocator_ == nullptr ? VFW_E_NO_ALLOCATOR : allocator_->Commit(); }

HRESULT D_COutputPinBase::OnDeactivate() {
  runtimeError_ = false;
  return allocator_ == nullptr ? VFW_E_NO_ALLOCATOR : allocator_->Decommit();
}

HRESULT D_COutputPinBase::CheckPeer(IPin* peer) {
  HRESULT hr = D_CPinBase::CheckPeer(peer);
  if (FAILED(hr)) return hr;
  if (peerInput_ != nullptr) {
    peerInput_->Release();
    peerInput_ = nullptr;
  }
  hr = peer->QueryInterface(IID_IMemInputPin, reinterpret_cast<void**>(&peerInput_));
  return FAILED(hr) ? hr : S_OK;
}

HRESULT D_COutputPinBase::ReleaseConnection() {
  if (allocator_ != nullptr) {
    HRESULT hr = allocator_->Decommit();
    if (FAILED(hr)) return hr;
    allocator_->Release();
    allocator_ = nullptr;
  }
  if (peerInput_ != nullptr) {
    peerInput_->Release();
    peerInput_ = nullptr;
  }
  return S_OK;
}

HRESULT D_COutputPinBase::FinishConnection(IPin*) { return ChooseAllocator(peerInput_, &allocator_); }

HRESULT D_COutputPinBase::ChooseAllocator(IMemInputPin* peer, IMemAllocator** allocator) {
  *allocator = nullptr;
  ALLOCATOR_PROPERTIES properties{};
  peer->GetAllocatorRequirements(&properties);
  if (properties.cbAlign == 0) properties.cbAlign = 1;
  HRESULT hr = peer->GetAllocator(allocator);
  if (SUCCEEDED(hr)) hr = SizeBuffers(*allocator, &properties);
  if (SUCCEEDED(hr)) hr = peer->NotifyAllocator(*allocator, 0);
  if (SUCCEEDED(hr)) return S_OK;
  if (*allocator != nullptr) {
    (*allocator)->Release();
    *allocator = nullptr;
  }
  hr = CreateOwnAllocator(allocator);
  if (SUCCEEDED(hr)) hr = SizeBuffers(*allocator, &properties);
  if (SUCCEEDED(hr)) hr = peer->NotifyAllocator(*allocator, 0);
  if (SUCCEEDED(hr)) return S_OK;
  if (*allocator != nullptr) {
    (*allocator)->Release();
    *allocator = nullptr;
  }
  return hr;
}

HRESULT D_COutputPinBase::GetEmptySample(IMediaSample** sample, REFERENCE_TIME* start, REFERENCE_TIME* stop,
                                         uint32_t flags) {
  if (allocator_ == nullptr) return E_NOINTERFACE;
  return allocator_->GetBuffer(sample, start, stop, flags);
}

HRESULT D_COutputPinBase::DeliverSample(IMediaSample* sample) {
  return peerInput_ == nullptr ? VFW_E_NOT_CONNECTED : peerInput_->Receive(sample);
}

HRESULT D_COutputPinBase::CreateOwnAllocator(IMemAllocator** allocator) { return CreateSystemAllocator(allocator); }

HRESULT D_COutputPinBase::DeliverEndOfStream() {
  IPin* peer = ConnectedPin();
  return peer == nullptr ? VFW_E_NOT_CONNECTED : peer->EndOfStream();
}

HRESULT D_COutputPinBase::DeliverBeginFlush() {
  IPin* peer = ConnectedPin();
  return peer == nullptr ? VFW_E_NOT_CONNECTED : peer->BeginFlush();
}

HRESULT D_COutputPinBase::DeliverEndFlush() {
  IPin* peer = ConnectedPin();
  return peer == nullptr ? VFW_E_NOT_CONNECTED : peer->EndFlush();
}

HRESULT D_COutputPinBase::DeliverNewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate) {
  IPin* peer = ConnectedPin();
  return peer == nullptr ? VFW_E_NOT_CONNECTED : peer->NewSegment(start, stop, rate);
}
