#include "host/dshow/filters/null_renderer.h"

#include "movie/dshow/filter_base.h"
#include "movie/dshow/input_pin_base.h"

namespace {

class NullRenderer;

class NullRendererPin final : public D_CInputPinBase {
 public:
  NullRendererPin(NullRenderer* filter, CriticalSection* lock, bool pcmOnly);
  HRESULT AcceptsType(const AM_MEDIA_TYPE* type) override {
    if (!type) return E_POINTER;
    if (!pcmOnly_) return S_OK;
    return type->majortype == MEDIATYPE_Audio && type->subtype == MEDIASUBTYPE_PCM ? S_OK : S_FALSE;
  }
  HRESULT EndOfStream() override;
  HRESULT BeginFlush() override;

 private:
  NullRenderer* renderer_;
  bool pcmOnly_;
};

class NullRenderer final : public D_CFilterBase {
 public:
  NullRenderer(IUnknown* outer, bool pcmOnly)
      : D_CFilterBase("Null renderer", outer, &lock_, pcmOnly ? CLSID_DSoundRender : CLSID_NullRenderer),
        pin_(this, &lock_, pcmOnly) {}

  int32_t PinCount() override { return 1; }
  D_CPinBase* PinAt(int32_t index) override { return index == 0 ? &pin_ : nullptr; }

  HRESULT Stop() override {
    CriticalSectionGuard guard(lock_);
    endPending_ = false;
    return D_CFilterBase::Stop();
  }
  HRESULT Run(REFERENCE_TIME start) override {
    CriticalSectionGuard guard(lock_);
    HRESULT hr = D_CFilterBase::Run(start);
    if (SUCCEEDED(hr) && endPending_) {
      endPending_ = false;
      SendGraphEvent(EC_COMPLETE, S_OK, 0);
    }
    return hr;
  }

  // The end of the stream reaches the graph once the filter runs.
  HRESULT OnEndOfStream() {
    CriticalSectionGuard guard(lock_);
    if (State() == State_Running) return SendGraphEvent(EC_COMPLETE, S_OK, 0);
    if (State() == State_Paused) endPending_ = true;
    return S_OK;
  }
  void OnFlush() {
    CriticalSectionGuard guard(lock_);
    endPending_ = false;
  }

 private:
  CriticalSection lock_;
  NullRendererPin pin_;
  bool endPending_ = false;
};

NullRendererPin::NullRendererPin(NullRenderer* filter, CriticalSection* lock, bool pcmOnly)
    : D_CInputPinBase("Null renderer pin", filter, lock, nullptr, u"In"), renderer_(filter), pcmOnly_(pcmOnly) {}

HRESULT NullRendererPin::EndOfStream() {
  HRESULT hr = CheckStreamingState();
  if (hr != S_OK) return hr;
  return renderer_->OnEndOfStream();
}

HRESULT NullRendererPin::BeginFlush() {
  HRESULT hr = D_CInputPinBase::BeginFlush();
  renderer_->OnFlush();
  return hr;
}

}  // namespace

HRESULT CreateNullRenderer(IUnknown* outer, REFIID iid, void** out) {
  return MakeObjectFor<NullRenderer>(iid, out, outer, false);
}
HRESULT CreateDefaultAudioRenderer(IUnknown* outer, REFIID iid, void** out) {
  return MakeObjectFor<NullRenderer>(iid, out, outer, true);
}
