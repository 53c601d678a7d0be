#include "filters/system/null_renderer.h"

#include "filters/filter_base.h"
#include "filters/input_pin_base.h"

namespace {

class NullRenderer;

class NullRendererPin final : public D_CInputPinBase {
 public:
  NullRendererPin(NullRenderer* filter, CriticalSection* lock);
  HRESULT AcceptsType(const AM_MEDIA_TYPE* type) override { return type ? S_OK : E_POINTER; }
  HRESULT EndOfStream() override;
  HRESULT BeginFlush() override;

 private:
  NullRenderer* renderer_;
};

class NullRenderer final : public D_CFilterBase {
 public:
  explicit NullRenderer(IUnknown* outer)
      : D_CFilterBase("Null renderer", outer, &lock_, CLSID_NullRenderer), pin_(this, &lock_) {}

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

NullRendererPin::NullRendererPin(NullRenderer* filter, CriticalSection* lock)
    : D_CInputPinBase("Null renderer pin", filter, lock, nullptr, u"In"), renderer_(filter) {}

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
  return MakeObjectFor<NullRenderer>(iid, out, outer);
}
