#pragma once
// A push source with its own streaming thread and seeking, and a renderer that records
// every draw: the two ends of a stream for renderer tests.
#include <atomic>
#include <climits>
#include <mutex>
#include <vector>

#include "filters/filter_base.h"
#include "filters/output_pin_base.h"
#include "filters/renderer_base.h"
#include "host/kernel/sync.h"
#include "host/kernel/thread.h"
#include "tests/filters/test_filters.h"

class PushSource;

class PushSourcePin final : public D_COutputPinBase, public IMediaSeeking {
 public:
  PushSourcePin(PushSource* filter, CriticalSection* lock);
  DSHOW_OUTER_UNKNOWN
  HRESULT InnerQueryInterface(REFIID iid, void** out) override;
  HRESULT AcceptsType(const AM_MEDIA_TYPE* type) override;
  HRESULT ProposedType(int32_t position, D_CMediaTypeRec* type) override;
  HRESULT SizeBuffers(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* properties) override;

  // Seeking in media time: SetPositions flushes, restarts at the sample holding the
  // new position and announces the new segment.
  HRESULT GetCapabilities(uint32_t*) override { return E_NOTIMPL; }
  HRESULT CheckCapabilities(uint32_t*) override { return E_NOTIMPL; }
  HRESULT IsFormatSupported(const GUID*) override { return E_NOTIMPL; }
  HRESULT QueryPreferredFormat(GUID*) override { return E_NOTIMPL; }
  HRESULT GetTimeFormat(GUID*) override { return E_NOTIMPL; }
  HRESULT IsUsingTimeFormat(const GUID*) override { return E_NOTIMPL; }
  HRESULT SetTimeFormat(const GUID*) override { return E_NOTIMPL; }
  HRESULT GetDuration(int64_t* duration) override;
  HRESULT GetStopPosition(int64_t* stop) override { return GetDuration(stop); }
  HRESULT GetCurrentPosition(int64_t*) override { return E_NOTIMPL; }
  HRESULT ConvertTimeFormat(int64_t* target, const GUID*, int64_t source, const GUID*) override {
    return *target = source, S_OK;
  }
  HRESULT SetPositions(int64_t* current, uint32_t currentFlags, int64_t* stop, uint32_t stopFlags) override;
  HRESULT GetPositions(int64_t*, int64_t*) override { return E_NOTIMPL; }
  HRESULT GetAvailable(int64_t*, int64_t*) override { return E_NOTIMPL; }
  HRESULT SetRate(double) override { return E_NOTIMPL; }
  HRESULT GetRate(double*) override { return E_NOTIMPL; }
  HRESULT GetPreroll(int64_t*) override { return E_NOTIMPL; }

 private:
  PushSource* source_;
};

class PushSource : public D_CFilterBase {
 public:
  PushSource();
  ~PushSource() override;
  int32_t PinCount() override { return 1; }
  D_CPinBase* PinAt(int32_t index) override { return index == 0 ? &pin_ : nullptr; }
  HRESULT Pause() override;
  HRESULT Stop() override;
  // Flushes downstream and streams again from the sample at `position`.
  HRESULT Seek(REFERENCE_TIME position);

  PushSourcePin& pin() { return pin_; }
  // Set by the test before the source is connected and paused.
  D_CMediaTypeRec type;
  int32_t sampleSize = 64;
  int count = 3;
  REFERENCE_TIME period = 400000;  // sample k spans [k, k + 1) periods
  int untimedFrom = INT_MAX;       // samples from this index on carry no times
  int shortAt = -1;                // this sample holds only shortLength bytes
  int32_t shortLength = 0;
  int changeAt = -1;               // this sample carries `changed` as its new type
  D_CMediaTypeRec changed;
  std::atomic<int> delivered{0};
  Event sampleDone{false, false};  // set as each delivery returns
  Event ended{true, false};        // set once end of stream has been delivered
  std::atomic<int> segments{0};
  // Byte i of sample k.
  static uint8_t Pattern(int k, int i) { return static_cast<uint8_t>(k * 31 + i); }

 private:
  static uint32_t StreamThread(void* self);
  void StartThread();
  void JoinThread();
  CriticalSection lock_;
  PushSourcePin pin_;
  HostThread* thread_ = nullptr;
  std::atomic<bool> stopping_{false};
  int next_ = 0;
};

// A renderer on the base that accepts video and records each draw: the sample's start
// (-1 without times) and first byte.
class TestRenderer : public D_CRendererBase {
 public:
  TestRenderer() : D_CRendererBase(GUID_NULL, "test renderer", nullptr, nullptr) {}
  HRESULT CheckAcceptedType(const AM_MEDIA_TYPE* type) override;
  HRESULT RenderSampleData(IMediaSample* sample) override;
  void BeforeWait() override;

  struct Draw {
    REFERENCE_TIME start;
    uint8_t first;
  };
  std::vector<Draw> draws();
  int waits();
  // Waits (on real time, 5 s at most) until `done` holds; false on time-out.
  template <class F>
  bool WaitUntil(F done) {
    for (int i = 0; i < 100 && !done(); ++i) WaitForObject(&changed_, 50);
    return done();
  }

 private:
  std::mutex mutex_;
  std::vector<Draw> draws_;
  int waits_ = 0;
  Event changed_{false, false};
};

// Stops both ends of a renderer test, undoes their connection, releases them and the
// clock, and leaves manual time. `renderer` may already be gone.
void EndStream(D_CFilterBase* source, D_CFilterBase* renderer, IReferenceClock* clock);
