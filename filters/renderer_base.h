#pragma once
// The base of renderer filters: one input pin, one sample held at a time, drawn when the
// graph's reference clock says it is due. The streaming thread waits here without any
// lock held; a state change wakes it through the thread-signal event. End of stream is
// reported to the graph when the last sample's stop time has come.
#include <atomic>
#include <cstdint>

#include "filters/event_handle.h"
#include "filters/filter_base.h"
#include "host/dshow/interfaces.h"
#include "host/kernel/sync.h"

class D_CRenderInPin;
class D_CRenderPosPassThru;

class D_CRendererBase : public D_CFilterBase {
 public:
  D_CRendererBase(REFCLSID clsid, const char* objectName, IUnknown* outer, HRESULT* result);
  ~D_CRendererBase() override;

  HRESULT InnerQueryInterface(REFIID iid, void** out) override;

  HRESULT Stop() override;
  HRESULT Pause() override;
  HRESULT Run(REFERENCE_TIME start) override;
  HRESULT GetState(uint32_t timeoutMs, FILTER_STATE* state) override;
  HRESULT FindPin(const char16_t* id, IPin** pin) override;
  int32_t PinCount() override { return 1; }
  D_CPinBase* PinAt(int32_t index) override;

  virtual HRESULT PositionObjectInterface(REFIID iid, void** out);
  // Reset: the streaming thread may wait; set: it must not.
  virtual void AllowSourceWait(bool allow);
  virtual HRESULT WaitUntilDue();
  virtual HRESULT FinishStateChange(FILTER_STATE oldState);
  virtual void OnFirstSampleWhilePaused(IMediaSample*) {}
  virtual void BeforeDraw() {}
  virtual void AfterDraw() {}
  virtual HRESULT OnStreamingStarted() { return S_OK; }
  virtual HRESULT OnStreamingStopped() { return S_OK; }
  virtual void BeforeWait() {}
  virtual void AfterWait() {}
  virtual void PrepareDraw() {}
  // True when the sample is drawn now (render event set) or a clock advise is made.
  virtual bool ScheduleDraw(IMediaSample* sample);
  // 0: draw now; S_FALSE: wait until *start; a failure: do not draw.
  virtual HRESULT ReadSampleTimes(IMediaSample* sample, REFERENCE_TIME* start, REFERENCE_TIME* end);
  virtual HRESULT DecideDrawTime(IMediaSample*, REFERENCE_TIME*, REFERENCE_TIME*) { return S_FALSE; }
  virtual HRESULT SignalEndOfStream();
  virtual HRESULT ClearEndOfStream();
  virtual HRESULT HandleEndOfStream();
  virtual HRESULT CancelClockAdvise();
  virtual HRESULT DropPendingSample();
  virtual HRESULT OnPinActive() { return S_OK; }
  virtual HRESULT OnPinInactive();
  virtual HRESULT StartStreamingState();
  virtual HRESULT StopStreamingState();
  virtual HRESULT HandleBeginFlush();
  virtual HRESULT HandleEndFlush();
  virtual HRESULT HandleBreakConnect();
  virtual HRESULT TakeMediaType(const AM_MEDIA_TYPE*) { return S_OK; }
  virtual HRESULT HandleCompleteConnect(IPin* peer);
  virtual HRESULT PrepareSample(IMediaSample* sample);
  virtual HRESULT ReceiveSample(IMediaSample* sample);
  virtual bool HasPendingSample();
  // The held sample with a reference for the caller, or null.
  virtual IMediaSample* PendingSampleRef();
  virtual HRESULT DrawSample(IMediaSample* sample);
  virtual HRESULT RenderSampleData(IMediaSample* sample) = 0;
  virtual HRESULT CheckAcceptedType(const AM_MEDIA_TYPE* type) = 0;

  // Waits for `event` for up to `timeoutMs`: 0 when it is set, kWaitTimeout otherwise.
  static int RendererEventWait(Event* event, uint32_t timeoutMs);
  // Returns once the streaming thread has left the receive path.
  void WaitForReceiveDone();
  // Reports the end of the stream to the graph (renderer lock held).
  HRESULT NotifyStreamEnd();
  bool IsStreaming() const { return streaming_.load(); }
  bool EndOfStreamDelivered() const { return endOfStreamDelivered_.load(); }
  bool Aborted() const { return abort_.load(); }

  CriticalSection& InterfaceLock() { return interfaceLock_; }
  CriticalSection& RendererLock() { return rendererLock_; }

 protected:
  // The end-of-stream timer's procedure.
  static void EndOfStreamTimerProc(uint32_t timerId, uintptr_t self);
  // Kills an armed end-of-stream timer. Never with the renderer lock held: the kill
  // waits for a running callback, which takes that lock.
  void KillEndOfStreamTimer();
  void SetRepaint(bool wanted) { repaintStatus_ = wanted; }
  IMemAllocator* PinAllocator();
  // The quality sink: set by SetSink (no reference) or found upstream (a reference).
  void SetQualitySink(IQualityControl* sink, bool owned);
  IQualityControl* QualitySink() const { return qualitySink_; }

  D_CRenderPosPassThru* position_ = nullptr;
  D_CEventHandle renderEvent_{false};
  D_CEventHandle threadSignal_{true};
  D_CEventHandle complete_{true};
  std::atomic<bool> abort_{false};
  std::atomic<bool> streaming_{false};
  // Cleared by the streaming thread once the advise fired, without the renderer lock
  // (a flush holds that lock while it waits for the thread).
  std::atomic<uintptr_t> adviseCookie_{0};
  IMediaSample* pending_ = nullptr;  // renderer lock; holds a reference
  std::atomic<bool> endOfStream_{false};
  std::atomic<bool> endOfStreamDelivered_{false};
  D_CRenderInPin* inputPin_ = nullptr;
  CriticalSection interfaceLock_;
  CriticalSection rendererLock_;
  IQualityControl* qualitySink_ = nullptr;
  bool qualitySinkOwned_ = false;
  std::atomic<bool> repaintStatus_{true};
  std::atomic<bool> inReceive_{false};
  REFERENCE_TIME signalTime_ = 0;  // renderer lock
  std::atomic<uint32_t> endOfStreamTimer_{0};
  CriticalSection creationLock_;
};
