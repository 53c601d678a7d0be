#include "filters/transform_filter.h"

#include <new>

#include "filters/transform_in_pin.h"
#include "filters/transform_out_pin.h"
#include "host/kernel/wide_string.h"

D_CTransformFilterBase::D_CTransformFilterBase(const char* objectName, IUnknown* outer, REFCLSID clsid)
    : D_CFilterBase(objectName, outer, &filterLock_, clsid) {}

D_CTransformFilterBase::~D_CTransformFilterBase() {
  delete input_;
  delete output_;
}

D_CPinBase* D_CTransformFilterBase::PinAt(int32_t index) {
  if (input_ == nullptr) {
    input_ = new (std::nothrow) D_CTransformInPin("Transform input pin", this, nullptr, u"XForm In");
    if (input_ == nullptr) return nullptr;
  }
  if (output_ == nullptr) {
    output_ = new (std::nothrow) D_CTransformOutPin("Transform output pin", this, nullptr, u"XForm Out");
    if (output_ == nullptr) {
      delete input_;
      input_ = nullptr;
      return nullptr;
    }
  }
  return index == 0 ? static_cast<D_CPinBase*>(input_) : index == 1 ? output_ : nullptr;
}

HRESULT D_CTransformFilterBase::FindPin(const char16_t* id, IPin** pin) {
  if (pin == nullptr) return E_POINTER;
  *pin = nullptr;
  int32_t index = WideCompare(id, u"In") == 0 ? 0 : WideCompare(id, u"Out") == 0 ? 1 : -1;
  if (index < 0) return VFW_E_NOT_FOUND;
  D_CPinBase* found = PinAt(index);
  if (found == nullptr) return E_OUTOFMEMORY;
  *pin = found->AsPin();
  (*pin)->AddRef();
  return S_OK;
}

HRESULT D_CTransformFilterBase::Stop() {
  CriticalSectionGuard guard(filterLock_);
  if (IsStopped()) return S_OK;
  if (input_ == nullptr || !input_->IsConnected() || output_ == nullptr || !output_->IsConnected()) {
    state_.store(State_Stopped);
    endOfStreamDelivered_ = false;
    return S_OK;
  }
  // The input first, so that a Receive waiting for a buffer returns before the receive
  // lock is taken.
  input_->OnDeactivate();
  CriticalSectionGuard receive(receiveLock_);
  output_->OnDeactivate();
  HRESULT hr = OnStopStreaming();
  if (SUCCEEDED(hr)) {
    state_.store(State_Stopped);
    endOfStreamDelivered_ = false;
  }
  return hr;
}

HRESULT D_CTransformFilterBase::Pause() {
  CriticalSectionGuard guard(filterLock_);
  HRESULT hr = S_OK;
  if (State() == State_Paused) {
  } else if (input_ == nullptr || !input_->IsConnected()) {
    // Nothing will ever arrive: downstream hears of the end at once, once.
    if (output_ != nullptr && !endOfStreamDelivered_) {
      output_->DeliverEndOfStream();
      endOfStreamDelivered_ = true;
    }
    state_.store(State_Paused);
  } else if (output_ == nullptr || !output_->IsConnected()) {
    state_.store(State_Paused);
  } else {
    if (IsStopped()) {
      CriticalSectionGuard receive(receiveLock_);
      hr = OnStartStreaming();
    }
    if (SUCCEEDED(hr)) hr = D_CFilterBase::Pause();
  }
  sampleSkipped_ = false;
  qualityChanged_ = false;
  return hr;
}

HRESULT D_CTransformFilterBase::ReceiveSample(IMediaSample* sample) {
  const AM_SAMPLE2_PROPERTIES& p = input_->SampleProperties();
  if (p.dwStreamId != AM_STREAM_MEDIA) return output_->DeliverSample(sample);
  const bool timed = (p.dwSampleFlags & AM_SAMPLE_TIMEVALID) != 0;
  REFERENCE_TIME start = p.tStart, stop = p.tStop;
  IMediaSample* out = nullptr;
  HRESULT hr = output_->GetEmptySample(&out, timed ? &start : nullptr, timed ? &stop : nullptr,
                                       sampleSkipped_ ? AM_GBF_PREVFRAMESKIPPED : 0);
  if (FAILED(hr)) return hr;
  if (timed) out->SetTime(&start, &stop);
  if (p.dwSampleFlags & AM_SAMPLE_SPLICEPOINT) out->SetSyncPoint(1);
  if ((p.dwSampleFlags & AM_SAMPLE_DATADISCONTINUITY) || sampleSkipped_) out->SetDiscontinuity(1);
  if (p.dwSampleFlags & AM_SAMPLE_PREROLL) out->SetPreroll(1);
  hr = TransformSample(sample, out);
  if (hr == S_OK) {
    sampleSkipped_ = false;
    hr = output_->DeliverSample(out);
  } else if (hr == S_FALSE) {
    // A dropped sample: downstream sees a discontinuity next, the graph hears once.
    sampleSkipped_ = true;
    if (!qualityChanged_) {
      qualityChanged_ = true;
      SendGraphEvent(EC_QUALITY_CHANGE, 0, 0);
    }
    hr = S_OK;
  }
  out->Release();
  return hr;
}

HRESULT D_CTransformFilterBase::OnEndOfStream() { return output_ != nullptr ? output_->DeliverEndOfStream() : S_OK; }
HRESULT D_CTransformFilterBase::OnBeginFlush() { return output_ != nullptr ? output_->DeliverBeginFlush() : S_OK; }
HRESULT D_CTransformFilterBase::OnEndFlush() { return output_ != nullptr ? output_->DeliverEndFlush() : S_OK; }

HRESULT D_CTransformFilterBase::OnNewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate) {
  return output_ != nullptr ? output_->DeliverNewSegment(start, stop, rate) : S_OK;
}
