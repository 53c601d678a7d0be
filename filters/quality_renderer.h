#pragma once
// A renderer that keeps timing statistics, decides per frame whether to draw early, on
// time or not at all, tells the filter upstream how well it keeps up, and slows itself
// down when told to by quality messages from downstream.
#include <atomic>
#include <cstdint>

#include "filters/renderer_base.h"

class D_CQualityRenderer : public D_CRendererBase, public IQualProp, public IQualityControl {
 public:
  D_CQualityRenderer(REFCLSID clsid, const char* objectName, IUnknown* outer, HRESULT* result);

  DSHOW_OUTER_UNKNOWN
  HRESULT InnerQueryInterface(REFIID iid, void** out) override;
  HRESULT JoinFilterGraph(IFilterGraph* graph, const char16_t* name) override;

  // IQualProp
  HRESULT get_FramesDroppedInRenderer(int32_t* frames) override;
  HRESULT get_FramesDrawn(int32_t* frames) override;
  HRESULT get_AvgFrameRate(int32_t* rate) override;
  HRESULT get_Jitter(int32_t* jitter) override;
  HRESULT get_AvgSyncOffset(int32_t* offset) override;
  HRESULT get_DevSyncOffset(int32_t* deviation) override;

  // IQualityControl
  HRESULT Notify(IBaseFilter* self, Quality quality) override;
  HRESULT SetSink(IQualityControl* sink) override;

  void BeforeDraw() override;
  void AfterDraw() override;
  HRESULT OnStreamingStarted() override;
  HRESULT OnStreamingStopped() override;
  bool ScheduleDraw(IMediaSample* sample) override;
  HRESULT DecideDrawTime(IMediaSample* sample, REFERENCE_TIME* start, REFERENCE_TIME* end) override;

  virtual void RecordLateness(int32_t late, int32_t frameTime);
  virtual void OnDrawnElsewhere();
  virtual void ResetFrameStatistics();
  virtual HRESULT ReportQuality(int32_t late, REFERENCE_TIME real);

  int32_t Throttle() const { return throttle_.load(); }

 protected:
  void ThrottleSleep();
  // A statistic read under the interface lock; E_POINTER for a null out pointer.
  template <class F>
  HRESULT Answer(int32_t* out, F value);
  int32_t StdDevOfSamples(int32_t n, int64_t sumOfSquares, int64_t total);

  int32_t normalCount_ = 0;
  bool supplierHandlesQuality_ = false;
  std::atomic<int32_t> throttle_{0};  // written by Notify on any thread, without a lock
  int32_t renderAverage_ = 0;
  int32_t lastRenderTime_ = 0;
  uint32_t renderStart_ = 0;
  int32_t earliness_ = 0;
  int32_t target_ = 0;
  int32_t waitAverage_ = 0;
  // Sample lengths: a 60 s sample times 10 does not fit 32 bits.
  int64_t frameAverage_ = 0;
  int64_t duration_ = 0;
  REFERENCE_TIME rememberedStamp_ = 0;
  int32_t framesDropped_ = 0;
  int32_t framesDrawn_ = 0;
  int64_t accuracyTotal_ = 0;
  int64_t accuracySquares_ = 0;
  REFERENCE_TIME lastDraw_ = 0;
  int64_t frameTimeSquares_ = 0;
  int64_t frameTimeSum_ = 0;
  int32_t late_ = 0;
  int32_t frameTime_ = 0;
  uint32_t streamingStart_ = 0;  // after the stream stops: its length
};

// floor(sqrt(x)) by three Newton steps from a power of two; 32768 above 2^30, 0 for
// x <= 0.
int32_t IntSqrt(int64_t x);
// (a * b + d) / c with a 128-bit product, truncated toward zero; INT64_MAX or -INT64_MAX
// when the quotient does not fit.
int64_t MulDiv64(int64_t a, int64_t b, int64_t c, int64_t d);
