#pragma once
// The renderer's input pin: it hands every sample, end of stream and flush to its
// renderer, and reports a failed receive to the graph once.
#include "filters/input_pin_base.h"

class D_CRendererBase;

class D_CRenderInPin final : public D_CInputPinBase {
 public:
  D_CRenderInPin(D_CRendererBase* renderer, HRESULT* result, const char16_t* pinName);

  HRESULT AcceptsType(const AM_MEDIA_TYPE* type) override;
  HRESULT StoreConnectionType(const AM_MEDIA_TYPE* type) override;
  HRESULT ReleaseConnection() override;
  HRESULT FinishConnection(IPin* peer) override;
  HRESULT OnActivate() override;
  HRESULT OnDeactivate() override;
  HRESULT Receive(IMediaSample* sample) override;
  HRESULT EndOfStream() override;
  HRESULT BeginFlush() override;
  HRESULT EndFlush() override;

  // The input pin base's checks and property capture for one sample.
  HRESULT BaseReceive(IMediaSample* sample) { return D_CInputPinBase::Receive(sample); }
  bool IsFlushing() const { return flushing_.load(); }
  bool InRuntimeError() const { return runtimeError_.load(); }

 private:
  D_CRendererBase* renderer_;
};
