#include "filters/render_in_pin.h"

#include "filters/renderer_base.h"

D_CRenderInPin::D_CRenderInPin(D_CRendererBase* renderer, HRESULT* result, const char16_t* pinName)
    : D_CInputPinBase("Renderer pin", renderer, &renderer->InterfaceLock(), result, pinName), renderer_(renderer) {}

HRESULT D_CRenderInPin::AcceptsType(const AM_MEDIA_TYPE* type) { return renderer_->CheckAcceptedType(type); }

HRESULT D_CRenderInPin::StoreConnectionType(const AM_MEDIA_TYPE* type) {
  HRESULT hr = D_CInputPinBase::StoreConnectionType(type);
  if (FAILED(hr)) return hr;
  return renderer_->TakeMediaType(type);
}

HRESULT D_CRenderInPin::ReleaseConnection() {
  HRESULT hr = renderer_->HandleBreakConnect();
  if (FAILED(hr)) return hr;
  return D_CInputPinBase::ReleaseConnection();
}

HRESULT D_CRenderInPin::FinishConnection(IPin* peer) {
  HRESULT hr = renderer_->HandleCompleteConnect(peer);
  if (FAILED(hr)) return hr;
  return D_CInputPinBase::FinishConnection(peer);
}

HRESULT D_CRenderInPin::OnActivate() { return renderer_->OnPinActive(); }

HRESULT D_CRenderInPin::OnDeactivate() {
  runtimeError_ = false;
  return renderer_->OnPinInactive();
}

HRESULT D_CRenderInPin::Receive(IMediaSample* sample) {
  HRESULT hr = renderer_->ReceiveSample(sample);
  if (FAILED(hr)) {
    // Reported once: later samples meet the run-time error state, which a flush (a
    // seek) clears, so the stream can start again.
    CriticalSectionGuard r(renderer_->RendererLock());
    if (!renderer_->IsStopped() && !flushing_ && !renderer_->Aborted() && !runtimeError_) {
      renderer_->SendGraphEvent(EC_ERRORABORT, hr, 0);
      if (renderer_->IsStreaming() && !renderer_->EndOfStreamDelivered()) renderer_->NotifyStreamEnd();
      runtimeError_ = true;
    }
  }
  return hr;
}

HRESULT D_CRenderInPin::EndOfStream() {
  CriticalSectionGuard guard(renderer_->InterfaceLock());
  CriticalSectionGuard r(renderer_->RendererLock());
  HRESULT hr = CheckStreamingState();
  if (hr != S_OK) return hr;
  hr = renderer_->HandleEndOfStream();
  if (FAILED(hr)) return hr;
  return D_CInputPinBase::EndOfStream();
}

HRESULT D_CRenderInPin::BeginFlush() {
  CriticalSectionGuard guard(renderer_->InterfaceLock());
  {
    CriticalSectionGuard r(renderer_->RendererLock());
    D_CInputPinBase::BeginFlush();
    renderer_->HandleBeginFlush();
  }
  return renderer_->ClearEndOfStream();
}

HRESULT D_CRenderInPin::EndFlush() {
  CriticalSectionGuard guard(renderer_->InterfaceLock());
  CriticalSectionGuard r(renderer_->RendererLock());
  HRESULT hr = renderer_->HandleEndFlush();
  if (FAILED(hr)) return hr;
  return D_CInputPinBase::EndFlush();
}
