#include "filters/quality_renderer.h"

#include <algorithm>

#include "filters/render_in_pin.h"
#include "host/kernel/mul_div.h"
#include "host/kernel/thread.h"
#include "host/kernel/time.h"

namespace {
constexpr int64_t kLateLimit = 500000000;  // 50 s either way
constexpr int64_t kEarlyMargin = 80000;    // 8 ms

// Any sample's times come from a file: differences are taken in 128 bits and limited
// before any arithmetic that could leave 64.
constexpr int64_t kLongestSample = 1000000000000;  // 27 hours

__int128 Difference(int64_t a, int64_t b) { return static_cast<__int128>(a) - b; }
int32_t ClampLate(__int128 value) {
  return static_cast<int32_t>(std::clamp<__int128>(value, -kLateLimit, kLateLimit));
}
}  // namespace

int32_t IntSqrt(int64_t x) {
  if (x > 0x40000000) return 32768;
  if (x <= 0) return 0;
  int64_t s = 1;
  while (s * s < x) s *= 2;
  for (int i = 0; i < 3; ++i) {
    int64_t next = (s * s + x) / (2 * s);
    if (next < 0) return static_cast<int32_t>(s);
    s = next;
  }
  return static_cast<int32_t>(s);
}

int64_t MulDiv64(int64_t a, int64_t b, int64_t c, int64_t d) {
  __int128 numerator = static_cast<__int128>(a) * b + d;
  if (c == 0) return numerator < 0 ? -INT64_MAX : INT64_MAX;
  __int128 quotient = numerator / c;
  if (quotient > INT64_MAX) return INT64_MAX;
  if (quotient < -INT64_MAX) return -INT64_MAX;
  return static_cast<int64_t>(quotient);
}

D_CQualityRenderer::D_CQualityRenderer(REFCLSID clsid, const char* objectName, IUnknown* outer, HRESULT* result)
    : D_CRendererBase(clsid, objectName, outer, result) {
  ResetFrameStatistics();
}

HRESULT D_CQualityRenderer::InnerQueryInterface(REFIID iid, void** out) {
  if (out == nullptr) return E_POINTER;
  if (iid == IID_IQualProp) return HandOutInterface(static_cast<IQualProp*>(this), out);
  if (iid == IID_IQualityControl) return HandOutInterface(static_cast<IQualityControl*>(this), out);
  return D_CRendererBase::InnerQueryInterface(iid, out);
}

HRESULT D_CQualityRenderer::JoinFilterGraph(IFilterGraph* graph, const char16_t* name) {
  if (graph == nullptr && graph_ != nullptr) {
    SendGraphEvent(EC_WINDOW_DESTROYED, reinterpret_cast<intptr_t>(static_cast<IBaseFilter*>(this)), 0);
  }
  return D_CFilterBase::JoinFilterGraph(graph, name);
}

void D_CQualityRenderer::ResetFrameStatistics() {
  lastDraw_ = -1000;
  streamingStart_ = HostTimeMs();
  renderAverage_ = 0;
  frameAverage_ = -1;
  duration_ = 0;
  lastRenderTime_ = 0;
  waitAverage_ = 0;
  renderStart_ = 0;
  framesDrawn_ = 0;
  framesDropped_ = 0;
  accuracyTotal_ = accuracySquares_ = 0;
  frameTimeSum_ = frameTimeSquares_ = 0;
  late_ = 0;
  frameTime_ = 0;
  normalCount_ = 0;
  earliness_ = 0;
  target_ = -300000;
  throttle_ = 0;
  rememberedStamp_ = 0;
}

HRESULT D_CQualityRenderer::OnStreamingStarted() {
  ResetFrameStatistics();
  return S_OK;
}

HRESULT D_CQualityRenderer::OnStreamingStopped() {
  streamingStart_ = HostTimeMs() - streamingStart_;
  return S_OK;
}

bool D_CQualityRenderer::ScheduleDraw(IMediaSample* sample) {
  bool scheduled = D_CRendererBase::ScheduleDraw(sample);
  if (!scheduled) ++framesDropped_;
  return scheduled;
}

HRESULT D_CQualityRenderer::DecideDrawTime(IMediaSample* sample, REFERENCE_TIME* start, REFERENCE_TIME* end) {
  // Aim a little early: drawing takes time too.
  if (*start >= kEarlyMargin) {
    *start -= kEarlyMargin;
    *end -= kEarlyMargin;
  }
  rememberedStamp_ = *start;
  REFERENCE_TIME now = 0;
  clock_->GetTime(&now);
  REFERENCE_TIME real = now - runStart_.load();
  int32_t late = ClampLate(Difference(real, *start));
  supplierHandlesQuality_ = ReportQuality(late, real) == S_OK;
  const auto d = static_cast<int64_t>(std::min<__int128>(Difference(*end, *start), kLongestSample));
  if (d - duration_ > duration_ / 32 || duration_ - d > duration_ / 32) frameAverage_ = duration_ = d;
  bool justDropped = (supplierHandlesQuality_ && sample->IsDiscontinuity() == S_OK) || normalCount_ == -1;
  if (late > 0) {
    earliness_ = 0;
  } else if (late >= earliness_ || justDropped) {
    earliness_ = late;
  } else {
    earliness_ = earliness_ - earliness_ / 8;
  }
  int32_t newWait = (std::max(-late, 0) + 3 * waitAverage_) / 4;
  const __int128 sinceDraw = Difference(real, lastDraw_);
  auto frameTime = static_cast<int32_t>(std::min<__int128>(sinceDraw, 10000000));
  bool draw = 3 * renderAverage_ <= frameAverage_ ||
              (supplierHandlesQuality_ ? late <= 4 * d : 2 * late < d) || waitAverage_ > 80000 ||
              sinceDraw > 10000000;
  if (!draw) {
    waitAverage_ = newWait;
    normalCount_ = -1;
    return E_FAIL;
  }
  if ((justDropped || (frameAverage_ > d + d / 16 && late > -10 * d)) && late >= -9000000) {
    normalCount_ = 0;
    waitAverage_ = 3 * waitAverage_ / 4;
    frameAverage_ = (frameTime + 3 * frameAverage_) / 4;
    late_ = late;
    frameTime_ = frameTime;
    lastDraw_ = real;
    earliness_ = std::min(earliness_, late);
    return S_OK;
  }
  ++normalCount_;
  frameAverage_ = d;
  *start += std::max<int64_t>(earliness_, -frameAverage_);
  waitAverage_ = newWait;
  if (-late > 0) {
    frameTime_ = ClampLate(Difference(*start, lastDraw_));
    lastDraw_ = *start;
    late_ = ClampLate(Difference(*start, rememberedStamp_));
    return S_FALSE;
  }
  frameTime_ = frameTime;
  lastDraw_ = real;
  late_ = late;
  return S_OK;
}

HRESULT D_CQualityRenderer::ReportQuality(int32_t late, REFERENCE_TIME real) {
  Quality q{};
  q.Type = frameAverage_ >= 0 && frameAverage_ <= 2 * renderAverage_ ? Flood : Famine;
  q.Proportion = 1000;
  if (frameAverage_ >= 0) {
    if (late > 0) {
      q.Proportion = std::max(1000 - late / 10000, 500);
    } else if (waitAverage_ > 20000 && late < -20000) {
      // Whole thousands: the integer quotient comes first.
      int64_t proportion = waitAverage_ < frameAverage_ && frameAverage_ + 20000 > waitAverage_
                               ? 1000 * (frameAverage_ / (frameAverage_ + 20000 - waitAverage_))
                               : 2000;
      q.Proportion = static_cast<int32_t>(std::min<int64_t>(proportion, 2000));
    }
  }
  q.Late = late + renderAverage_ / 2;
  q.TimeStamp = real;
  if (qualitySink_ == nullptr) {
    IPin* peer = inputPin_ != nullptr ? inputPin_->ConnectedPin() : nullptr;
    IQualityControl* upstream = nullptr;
    if (peer != nullptr && SUCCEEDED(peer->QueryInterface(IID_IQualityControl, reinterpret_cast<void**>(&upstream)))) {
      SetQualitySink(upstream, true);
    }
  }
  if (qualitySink_ == nullptr) return S_FALSE;
  return qualitySink_->Notify(static_cast<IBaseFilter*>(this), q);
}

void D_CQualityRenderer::RecordLateness(int32_t late, int32_t frameTime) {
  int32_t l = late / 10000;
  if (l > 1000 || l < -1000) l = framesDrawn_ <= 1 ? 0 : (l > 0 ? 1000 : -1000);
  if (framesDrawn_ > 1) {
    accuracyTotal_ += l;
    accuracySquares_ += static_cast<int64_t>(l) * l;
  }
  if (framesDrawn_ > 2) {
    int32_t f = frameTime / 10000;
    if (f < 0 || f > 1000) f = 1000;
    frameTimeSum_ += f;
    frameTimeSquares_ += static_cast<int64_t>(f) * f;
  }
  ++framesDrawn_;
}

void D_CQualityRenderer::BeforeDraw() {
  RecordLateness(late_, frameTime_);
  renderStart_ = HostTimeMs();
}

void D_CQualityRenderer::AfterDraw() {
  auto t = static_cast<int32_t>((HostTimeMs() - renderStart_) * 10000);
  if (t < 2 * renderAverage_ || t < 2 * lastRenderTime_) renderAverage_ = (t + 3 * renderAverage_) / 4;
  lastRenderTime_ = t;
  ThrottleSleep();
}

void D_CQualityRenderer::OnDrawnElsewhere() {
  renderAverage_ = 0;
  lastRenderTime_ = 5000000;
  RecordLateness(late_, frameTime_);
  ThrottleSleep();
}

void D_CQualityRenderer::ThrottleSleep() {
  int32_t throttle = throttle_.load();
  HostSleep(throttle > 0 ? static_cast<uint32_t>(throttle / 10000) : 0);
}

int32_t D_CQualityRenderer::StdDevOfSamples(int32_t n, int64_t sumOfSquares, int64_t total) {
  if (clock_ == nullptr || n <= 1) return 0;
  return IntSqrt((sumOfSquares - MulDiv64(total, total, n, 0)) / (n - 1));
}

template <class F>
HRESULT D_CQualityRenderer::Answer(int32_t* out, F value) {
  if (out == nullptr) return E_POINTER;
  CriticalSectionGuard guard(interfaceLock_);
  *out = value();
  return S_OK;
}

HRESULT D_CQualityRenderer::get_FramesDroppedInRenderer(int32_t* frames) {
  return Answer(frames, [&] { return framesDropped_; });
}

HRESULT D_CQualityRenderer::get_FramesDrawn(int32_t* frames) {
  return Answer(frames, [&] { return framesDrawn_; });
}

HRESULT D_CQualityRenderer::get_AvgFrameRate(int32_t* rate) {
  return Answer(rate, [&] {
    auto t = static_cast<int32_t>(IsStreaming() ? HostTimeMs() - streamingStart_ : streamingStart_);
    return t <= 0 ? 0 : MulDiv(100000, framesDrawn_, t);
  });
}

HRESULT D_CQualityRenderer::get_AvgSyncOffset(int32_t* offset) {
  return Answer(offset, [&] {
    return clock_ == nullptr || framesDrawn_ <= 1 ? 0 : static_cast<int32_t>(accuracyTotal_ / (framesDrawn_ - 1));
  });
}

HRESULT D_CQualityRenderer::get_DevSyncOffset(int32_t* deviation) {
  return Answer(deviation, [&] { return StdDevOfSamples(framesDrawn_ - 1, accuracySquares_, accuracyTotal_); });
}

HRESULT D_CQualityRenderer::get_Jitter(int32_t* jitter) {
  return Answer(jitter, [&] { return StdDevOfSamples(framesDrawn_ - 2, frameTimeSquares_, frameTimeSum_); });
}

HRESULT D_CQualityRenderer::Notify(IBaseFilter*, Quality quality) {
  int32_t proportion = std::max(quality.Proportion, 0);  // never a division by 0
  throttle_ = proportion >= 1000 ? 0 : 388880000 / (proportion + 167) - 330000;
  return S_OK;
}

HRESULT D_CQualityRenderer::SetSink(IQualityControl* sink) {
  CriticalSectionGuard guard(interfaceLock_);
  SetQualitySink(sink, false);
  return S_OK;
}
