#include "filters/renderer_base.h"

#include <new>

#include "filters/render_in_pin.h"
#include "filters/render_pos_pass_thru.h"
#include "host/kernel/thread.h"
#include "host/kernel/timer.h"
#include "host/kernel/wide_string.h"

namespace {
constexpr uint32_t kReceiveWaitSliceMs = 10000;
constexpr int64_t kDeliverAtOnceMs = 50;
}  // namespace

D_CRendererBase::D_CRendererBase(REFCLSID clsid, const char* objectName, IUnknown* outer, HRESULT* result)
    : D_CFilterBase(objectName, outer, &interfaceLock_, clsid, result) {
  if (complete_ != nullptr) complete_.get()->Set();
}

D_CRendererBase::~D_CRendererBase() {
  // An armed timer would call into this object once it is gone.
  KillEndOfStreamTimer();
  {
    CriticalSectionGuard guard(rendererLock_);
    StopStreamingState();
    DropPendingSample();
  }
  if (position_ != nullptr) position_->InnerUnknown()->Release();
  SetQualitySink(nullptr, false);
  delete inputPin_;
}

HRESULT D_CRendererBase::InnerQueryInterface(REFIID iid, void** out) {
  if (out == nullptr) return E_POINTER;
  if (iid == IID_IMediaPosition || iid == IID_IMediaSeeking) return PositionObjectInterface(iid, out);
  return D_CFilterBase::InnerQueryInterface(iid, out);
}

HRESULT D_CRendererBase::PositionObjectInterface(REFIID iid, void** out) {
  CriticalSectionGuard guard(creationLock_);
  if (position_ == nullptr) {
    D_CPinBase* pin = PinAt(0);
    if (pin == nullptr) return E_OUTOFMEMORY;
    HRESULT hr = S_OK;
    position_ = new (std::nothrow)
        D_CRenderPosPassThru("Renderer D_CPosPassThru", OuterUnknown(), &hr, pin->AsPin());
    if (position_ == nullptr) return E_OUTOFMEMORY;
    position_->InnerUnknown()->AddRef();  // this filter's own reference
    if (FAILED(hr)) {
      position_->InnerUnknown()->Release();
      position_ = nullptr;
      return E_NOINTERFACE;
    }
  }
  return position_->InnerUnknown()->QueryInterface(iid, out);
}

D_CPinBase* D_CRendererBase::PinAt(int32_t index) {
  if (index != 0) return nullptr;
  CriticalSectionGuard guard(creationLock_);
  if (inputPin_ == nullptr) inputPin_ = new (std::nothrow) D_CRenderInPin(this, nullptr, u"In");
  return inputPin_;
}

HRESULT D_CRendererBase::FindPin(const char16_t* id, IPin** pin) {
  if (pin == nullptr) return E_POINTER;
  D_CPinBase* p = id != nullptr && WideCompare(id, u"In") == 0 ? PinAt(0) : nullptr;
  *pin = p != nullptr ? p->AsPin() : nullptr;
  if (*pin == nullptr) return VFW_E_NOT_FOUND;
  (*pin)->AddRef();
  return S_OK;
}

IMemAllocator* D_CRendererBase::PinAllocator() { return inputPin_ != nullptr ? inputPin_->Allocator() : nullptr; }

void D_CRendererBase::SetQualitySink(IQualityControl* sink, bool owned) {
  if (qualitySink_ != nullptr && qualitySinkOwned_) qualitySink_->Release();
  qualitySink_ = sink;
  qualitySinkOwned_ = owned;
}

HRESULT D_CRendererBase::Stop() {
  CriticalSectionGuard guard(interfaceLock_);
  if (state_.load() == State_Stopped) return S_OK;
  D_CPinBase* pin = PinAt(0);
  if (pin == nullptr || !pin->IsConnected()) {
    state_ = State_Stopped;
    return S_OK;
  }
  D_CFilterBase::Stop();
  if (IMemAllocator* allocator = PinAllocator()) allocator->Decommit();
  SetRepaint(true);
  {
    CriticalSectionGuard r(rendererLock_);
    StopStreamingState();
  }
  AllowSourceWait(false);
  ClearEndOfStream();
  {
    CriticalSectionGuard r(rendererLock_);
    CancelClockAdvise();
  }
  complete_.get()->Set();
  WaitForReceiveDone();
  abort_ = false;
  return S_OK;
}

HRESULT D_CRendererBase::Pause() {
  CriticalSectionGuard guard(interfaceLock_);
  FILTER_STATE old = state_.load();
  if (old == State_Paused) return FinishStateChange(State_Paused);
  D_CPinBase* pin = PinAt(0);
  if (pin == nullptr || !pin->IsConnected()) {
    state_ = State_Paused;
    return FinishStateChange(State_Paused);
  }
  HRESULT hr = D_CFilterBase::Pause();
  if (FAILED(hr)) return hr;
  SetRepaint(true);
  {
    CriticalSectionGuard r(rendererLock_);
    StopStreamingState();
  }
  AllowSourceWait(true);
  {
    CriticalSectionGuard r(rendererLock_);
    CancelClockAdvise();
  }
  KillEndOfStreamTimer();
  if (IMemAllocator* allocator = PinAllocator()) allocator->Commit();
  if (old == State_Stopped) {
    abort_ = false;
    CriticalSectionGuard r(rendererLock_);
    DropPendingSample();
  }
  return FinishStateChange(old);
}

HRESULT D_CRendererBase::Run(REFERENCE_TIME start) {
  CriticalSectionGuard guard(interfaceLock_);
  FILTER_STATE old = state_.load();
  if (old == State_Running) return S_OK;
  D_CPinBase* pin = PinAt(0);
  if (pin == nullptr || !pin->IsConnected()) {
    runStart_ = start;
    SendGraphEvent(EC_COMPLETE, S_OK, 0);
    state_ = State_Running;
    return S_OK;
  }
  complete_.get()->Set();
  HRESULT hr = D_CFilterBase::Run(start);
  if (FAILED(hr)) return hr;
  AllowSourceWait(true);
  SetRepaint(false);
  if (IMemAllocator* allocator = PinAllocator()) allocator->Commit();
  CriticalSectionGuard r(rendererLock_);
  if (old == State_Stopped) {
    abort_ = false;
    DropPendingSample();
  }
  return StartStreamingState();
}

HRESULT D_CRendererBase::FinishStateChange(FILTER_STATE oldState) {
  CriticalSectionGuard r(rendererLock_);
  D_CPinBase* pin = PinAt(0);
  if (pin == nullptr || !pin->IsConnected() || endOfStream_ || (pending_ != nullptr && oldState != State_Stopped)) {
    complete_.get()->Set();
    return S_OK;
  }
  complete_.get()->Reset();
  return S_FALSE;
}

HRESULT D_CRendererBase::GetState(uint32_t timeoutMs, FILTER_STATE* state) {
  if (state == nullptr) return E_POINTER;
  int wait = RendererEventWait(complete_, timeoutMs);
  *state = state_.load();
  return wait == kWaitTimeout ? VFW_S_STATE_INTERMEDIATE : S_OK;
}

int D_CRendererBase::RendererEventWait(Event* event, uint32_t timeoutMs) {
  // There are no per-thread message queues here to keep moving: a plain timed wait.
  return WaitForObject(event, timeoutMs);
}

void D_CRendererBase::AllowSourceWait(bool allow) {
  if (allow) {
    threadSignal_.get()->Reset();
  } else {
    threadSignal_.get()->Set();
  }
}

void D_CRendererBase::WaitForReceiveDone() {
  // Real milliseconds: on the manual time source a sleep would move the test's time.
  while (inReceive_.load()) HostSleepUs(1000);
}

bool D_CRendererBase::ScheduleDraw(IMediaSample* sample) {
  if (sample == nullptr) return false;
  REFERENCE_TIME start = 0, end = 0;
  HRESULT hr = ReadSampleTimes(sample, &start, &end);
  if (FAILED(hr)) return false;
  if (hr == S_OK) {
    renderEvent_.get()->Set();
    return true;
  }
  if (clock_ == nullptr) return false;
  uintptr_t cookie = 0;
  if (FAILED(clock_->AdviseTime(runStart_.load(), start, renderEvent_, &cookie))) return false;
  adviseCookie_ = cookie;
  return true;
}

HRESULT D_CRendererBase::ReadSampleTimes(IMediaSample* sample, REFERENCE_TIME* start, REFERENCE_TIME* end) {
  if (FAILED(sample->GetTime(start, end))) return S_OK;  // no times: draw at once
  if (*end < *start) return VFW_E_START_TIME_AFTER_END;
  if (clock_ == nullptr) return S_OK;
  return DecideDrawTime(sample, start, end);
}

HRESULT D_CRendererBase::CancelClockAdvise() {
  uintptr_t cookie = adviseCookie_.exchange(0);
  bool cancelled = cookie != 0;
  if (cancelled && clock_ != nullptr) clock_->Unadvise(cookie);
  renderEvent_.get()->Reset();
  return cancelled ? S_OK : S_FALSE;
}

HRESULT D_CRendererBase::DropPendingSample() {
  if (pending_ != nullptr) {
    pending_->Release();
    pending_ = nullptr;
  }
  return S_OK;
}

bool D_CRendererBase::HasPendingSample() {
  CriticalSectionGuard r(rendererLock_);
  return pending_ != nullptr;
}

IMediaSample* D_CRendererBase::PendingSampleRef() {
  CriticalSectionGuard r(rendererLock_);
  if (pending_ != nullptr) pending_->AddRef();
  return pending_;
}

HRESULT D_CRendererBase::OnPinInactive() {
  if (position_ != nullptr) position_->ClearSampleTimes();
  CriticalSectionGuard r(rendererLock_);
  return DropPendingSample();
}

HRESULT D_CRendererBase::StartStreamingState() {
  if (streaming_) return S_OK;
  streaming_ = true;
  timeBeginPeriod(1);
  OnStreamingStarted();
  if (pending_ == nullptr) return SignalEndOfStream();
  if (!ScheduleDraw(pending_)) renderEvent_.get()->Set();  // handle the held sample at once
  return S_OK;
}

HRESULT D_CRendererBase::StopStreamingState() {
  endOfStreamDelivered_ = false;
  if (streaming_) {
    streaming_ = false;
    OnStreamingStopped();
    timeEndPeriod(1);
  }
  return S_OK;
}

HRESULT D_CRendererBase::HandleEndOfStream() {
  if (state_.load() == State_Stopped) return S_OK;
  endOfStream_ = true;
  if (pending_ != nullptr) return S_OK;  // signalled once that sample is drawn
  complete_.get()->Set();
  if (streaming_) SignalEndOfStream();
  return S_OK;
}

HRESULT D_CRendererBase::SignalEndOfStream() {
  if (!endOfStream_ || endOfStreamDelivered_ || endOfStreamTimer_.load() != 0) return S_OK;
  if (clock_ == nullptr) return NotifyStreamEnd();
  REFERENCE_TIME now = 0;
  clock_->GetTime(&now);
  int64_t delayMs = (runStart_.load() + signalTime_ - now) / 10000;
  if (delayMs < kDeliverAtOnceMs) return NotifyStreamEnd();
  // The timer refuses delays past its limit: such an end is delivered at once.
  uint32_t delay = delayMs > kMaxTimerDelayMs ? kMaxTimerDelayMs + 1 : static_cast<uint32_t>(delayMs);
  uint32_t id = StartOneShotTimer(delay, EndOfStreamTimerProc, reinterpret_cast<uintptr_t>(this));
  if (id == 0) return NotifyStreamEnd();
  endOfStreamTimer_ = id;
  return S_OK;
}

void D_CRendererBase::EndOfStreamTimerProc(uint32_t timerId, uintptr_t self) {
  auto* renderer = reinterpret_cast<D_CRendererBase*>(self);
  CriticalSectionGuard r(renderer->rendererLock_);
  // A timer killed while this call waited for the lock is no longer ours to act on.
  uint32_t expected = timerId;
  if (!renderer->endOfStreamTimer_.compare_exchange_strong(expected, 0)) return;
  renderer->D_CRendererBase::SignalEndOfStream();
}

void D_CRendererBase::KillEndOfStreamTimer() {
  uint32_t id = endOfStreamTimer_.exchange(0);
  if (id != 0) CancelTimer(id);
}

HRESULT D_CRendererBase::NotifyStreamEnd() {
  if (!streaming_) return S_OK;
  endOfStreamTimer_ = 0;
  if (position_ != nullptr) position_->EndOfStreamTimes();
  endOfStreamDelivered_ = true;
  return SendGraphEvent(EC_COMPLETE, S_OK, 0);
}

HRESULT D_CRendererBase::ClearEndOfStream() {
  KillEndOfStreamTimer();
  CriticalSectionGuard r(rendererLock_);
  endOfStream_ = false;
  endOfStreamDelivered_ = false;
  signalTime_ = 0;
  return S_OK;
}

HRESULT D_CRendererBase::HandleBeginFlush() {
  if (state_.load() == State_Paused) complete_.get()->Reset();
  AllowSourceWait(false);
  CancelClockAdvise();
  DropPendingSample();
  WaitForReceiveDone();
  return S_OK;
}

HRESULT D_CRendererBase::HandleEndFlush() {
  if (position_ != nullptr) position_->ClearSampleTimes();
  AllowSourceWait(true);
  return S_OK;
}

HRESULT D_CRendererBase::HandleBreakConnect() {
  SetQualitySink(nullptr, false);
  D_CPinBase* pin = PinAt(0);
  if (pin == nullptr || !pin->IsConnected()) return S_FALSE;
  if (state_.load() != State_Stopped) return VFW_E_NOT_STOPPED;
  SetRepaint(false);
  ClearEndOfStream();
  {
    CriticalSectionGuard r(rendererLock_);
    DropPendingSample();
  }
  abort_ = false;
  if (state_.load() == State_Running) {
    CriticalSectionGuard r(rendererLock_);
    StopStreamingState();
  }
  return S_OK;
}

HRESULT D_CRendererBase::HandleCompleteConnect(IPin*) {
  abort_ = false;
  if (state_.load() == State_Running) {
    CriticalSectionGuard r(rendererLock_);
    HRESULT hr = StartStreamingState();
    if (FAILED(hr)) return hr;
    SetRepaint(false);
  } else {
    SetRepaint(true);
  }
  return S_OK;
}

HRESULT D_CRendererBase::PrepareSample(IMediaSample* sample) {
  CriticalSectionGuard guard(interfaceLock_);
  inReceive_ = true;
  HRESULT hr = inputPin_->BaseReceive(sample);
  if (hr != S_OK) {
    // Refused: stopped, flushing or after a run-time error.
    inReceive_ = false;
    return E_FAIL;
  }
  const AM_SAMPLE2_PROPERTIES& p = inputPin_->SampleProperties();
  if ((p.dwSampleFlags & AM_SAMPLE_TYPECHANGED) != 0) {
    hr = inputPin_->StoreConnectionType(p.pMediaType);
    if (FAILED(hr)) {
      inReceive_ = false;
      return hr;
    }
  }
  CriticalSectionGuard r(rendererLock_);
  if (pending_ != nullptr || endOfStream_ || abort_) {
    complete_.get()->Set();
    inReceive_ = false;
    return E_UNEXPECTED;
  }
  if (position_ != nullptr) position_->RecordSampleTimes(sample, inputPin_->SegmentStart());
  if (streaming_ && !ScheduleDraw(sample)) {
    inReceive_ = false;
    return VFW_E_SAMPLE_REJECTED;
  }
  // A sample without times leaves the end-of-stream time where it was.
  REFERENCE_TIME start = 0, stop = 0;
  if (SUCCEEDED(sample->GetTime(&start, &stop))) signalTime_ = stop;
  pending_ = sample;
  pending_->AddRef();
  if (!streaming_) SetRepaint(true);
  return S_OK;
}

HRESULT D_CRendererBase::WaitUntilDue() {
  BeforeWait();
  WaitableObject* objects[] = {threadSignal_.get(), renderEvent_.get()};
  int index;
  do {
    index = WaitForObjects(objects, 2, false, kReceiveWaitSliceMs);
  } while (index == kWaitTimeout);
  AfterWait();
  if (index == 0) return VFW_E_STATE_CHANGED;
  adviseCookie_ = 0;  // the advise has fired
  return S_OK;
}

HRESULT D_CRendererBase::ReceiveSample(IMediaSample* sample) {
  HRESULT hr = PrepareSample(sample);
  if (hr == VFW_E_SAMPLE_REJECTED) return S_OK;
  if (hr != S_OK) return hr;
  if (state_.load() == State_Paused) {
    PrepareDraw();
    inReceive_ = false;
    CriticalSectionGuard guard(interfaceLock_);
    if (state_.load() == State_Stopped) return S_OK;
    inReceive_ = true;
    CriticalSectionGuard r(rendererLock_);
    OnFirstSampleWhilePaused(pending_);
    complete_.get()->Set();
  }
  if (WaitUntilDue() == VFW_E_STATE_CHANGED) {
    inReceive_ = false;
    return S_OK;
  }
  PrepareDraw();
  inReceive_ = false;
  CriticalSectionGuard guard(interfaceLock_);
  if (state_.load() == State_Stopped) return S_OK;
  CriticalSectionGuard r(rendererLock_);
  DrawSample(pending_);
  DropPendingSample();
  SignalEndOfStream();
  CancelClockAdvise();
  return S_OK;
}

HRESULT D_CRendererBase::DrawSample(IMediaSample* sample) {
  if (sample == nullptr || !streaming_) return S_FALSE;
  BeforeDraw();
  RenderSampleData(sample);
  AfterDraw();
  return S_OK;
}
