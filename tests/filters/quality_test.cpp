// The quality renderer fed sample by sample from the test's own thread, on a manual clock
// and manual milliseconds: what IQualProp reports for a scripted stream, where quality
// messages go, what a refused sample does to the stream and how a flush brings it back,
// and the filter's and pins' clock and quality plumbing under it.
#include <vector>

#include "filters/quality_renderer.h"
#include "filters/render_in_pin.h"
#include "host/dshow/reference_clock.h"
#include "host/kernel/time.h"
#include "host/kernel/timer.h"
#include "tests/filters/framework_fixture.h"
#include "tests/filters/push_source.h"
#include "tests/filters/test_filters.h"

namespace {

constexpr REFERENCE_TIME kMs = 10000;

// The renderer's upstream pin: it offers video and hears the quality messages sent to it.
class ScriptPin final : public D_COutputPinBase {
 public:
  ScriptPin(D_CFilterBase* filter, CriticalSection* lock)
      : D_COutputPinBase("script pin", filter, lock, nullptr, u"Out") {}
  HRESULT AcceptsType(const AM_MEDIA_TYPE* type) override {
    return type->majortype == MEDIATYPE_Video ? S_OK : S_FALSE;
  }
  HRESULT ProposedType(int32_t position, D_CMediaTypeRec* type) override {
    if (position != 0) return VFW_S_NO_MORE_ITEMS;
    MakeTestType(*type, MEDIATYPE_Video, MEDIASUBTYPE_RGB24, 1);
    return S_OK;
  }
  HRESULT SizeBuffers(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* properties) override {
    properties->cBuffers = 2;
    properties->cbBuffer = 16;
    ALLOCATOR_PROPERTIES actual{};
    return allocator->SetProperties(properties, &actual);
  }
  HRESULT Notify(IBaseFilter* sender, Quality quality) override {
    heard.push_back(quality);
    lastSender = sender;
    return notifyResult;
  }
  std::vector<Quality> heard;
  IBaseFilter* lastSender = nullptr;
  HRESULT notifyResult = E_NOTIMPL;  // anything but S_OK: the source does not adapt
};

class ScriptSource final : public D_CFilterBase {
 public:
  ScriptSource() : D_CFilterBase("script source", nullptr, &lock_, GUID_NULL), pin_(this, &lock_) {}
  int32_t PinCount() override { return 1; }
  D_CPinBase* PinAt(int32_t index) override { return index == 0 ? &pin_ : nullptr; }
  ScriptPin& pin() { return pin_; }

 private:
  CriticalSection lock_;
  ScriptPin pin_;
};

// Counts its draws; each draw takes `renderMs` of the manual milliseconds.
class ScriptRenderer final : public D_CQualityRenderer {
 public:
  ScriptRenderer() : D_CQualityRenderer(GUID_NULL, "script renderer", nullptr, nullptr) {}
  HRESULT CheckAcceptedType(const AM_MEDIA_TYPE* type) override {
    return type->majortype == MEDIATYPE_Video ? S_OK : E_FAIL;
  }
  HRESULT RenderSampleData(IMediaSample*) override {
    ++draws;
    AdvanceManualTime(renderMs);
    return S_OK;
  }
  int draws = 0;
  uint32_t renderMs = 0;
};

// A quality sink standing in for whoever the graph names.
struct Sink final : IQualityControl {
  HRESULT QueryInterface(REFIID, void** out) override { return *out = nullptr, E_NOINTERFACE; }
  uint32_t AddRef() override { return 2; }
  uint32_t Release() override { return 1; }
  HRESULT Notify(IBaseFilter* sender, Quality quality) override {
    heard.push_back(quality);
    lastSender = sender;
    return S_OK;
  }
  HRESULT SetSink(IQualityControl*) override { return E_NOTIMPL; }
  std::vector<Quality> heard;
  IBaseFilter* lastSender = nullptr;
};

uint32_t References(IUnknown* object) {
  object->AddRef();
  return object->Release();
}

class Scripted : public FrameworkTest {
 protected:
  void SetUp() override {
    UseManualTime(true, 1000);
    clock = ManualReferenceClock::Create(0);
    source->JoinFilterGraph(&events, u"source");
    renderer->JoinFilterGraph(&events, u"renderer");
    renderer->SetSyncSource(clock);
  }
  void TearDown() override {
    EndStream(source, renderer, clock);
    EXPECT_EQ(TimerPeriodRequests(), 0);
    FrameworkTest::TearDown();
  }
  void ConnectAndRun() {
    ASSERT_EQ(source->pin().Connect(InputPin()->AsPin(), nullptr), S_OK);
    ASSERT_TRUE(SUCCEEDED(renderer->Run(0)));
    ASSERT_EQ(source->Run(0), S_OK);
  }
  D_CRenderInPin* InputPin() { return static_cast<D_CRenderInPin*>(renderer->PinAt(0)); }
  // Moves the graph's clock to `t` (never back).
  void ClockAt(REFERENCE_TIME t) {
    clock->Advance(t - now);
    now = t;
  }
  // One sample through the renderer's Receive on this thread: it must be due, or it
  // would wait for a clock this thread moves. `start` < 0: a sample without times.
  HRESULT Send(REFERENCE_TIME start, REFERENCE_TIME stop, AM_MEDIA_TYPE* type = nullptr) {
    IMediaSample* sample = nullptr;
    HRESULT hr = source->pin().GetEmptySample(&sample, nullptr, nullptr, 0);
    if (FAILED(hr)) return hr;
    if (start >= 0) sample->SetTime(&start, &stop);
    if (type != nullptr) sample->SetMediaType(type);
    hr = source->pin().DeliverSample(sample);
    sample->Release();
    return hr;
  }
  int32_t Figure(HRESULT (IQualProp::*get)(int32_t*)) {
    int32_t value = -12345;
    EXPECT_EQ((static_cast<IQualProp*>(renderer)->*get)(&value), S_OK);
    return value;
  }

  EventLog events;
  ManualReferenceClock* clock = nullptr;
  REFERENCE_TIME now = 0;
  ScriptSource* source = MakeReferenced<ScriptSource>();
  ScriptRenderer* renderer = MakeReferenced<ScriptRenderer>();
};

TEST_F(Scripted, TheQualityFiguresAndMessagesOfAStreamWithOneLateFrameDropped) {
  ConnectAndRun();
  renderer->renderMs = 30;  // 3 of 40 ms: a fourth frame 60 ms late can no longer catch up
  struct Frame {
    int32_t lateMs;  // how far the clock is past the frame's start when it arrives
    bool drawn;
    int32_t proportion;  // of the quality message it causes
  };
  const Frame frames[] = {{0, true, 1000}, {10, true, 990}, {30, true, 970},
                          {50, true, 950}, {60, false, 940}, {0, true, 1000}};
  for (int k = 0; k < 6; ++k) {
    SCOPED_TRACE(k);
    // Frames are aimed 8 ms early: a start 8 ms on is due at k * 40 ms.
    const REFERENCE_TIME start = k * 40 * kMs + 8 * kMs;
    ClockAt(k * 40 * kMs + frames[k].lateMs * kMs);
    const int before = renderer->draws;
    EXPECT_EQ(Send(start, start + 40 * kMs), S_OK);
    EXPECT_EQ(renderer->draws - before, frames[k].drawn ? 1 : 0);
    ASSERT_EQ(source->pin().heard.size(), static_cast<size_t>(k + 1));
    const Quality& q = source->pin().heard.back();
    EXPECT_EQ(q.Proportion, frames[k].proportion);
    EXPECT_EQ(q.TimeStamp, now);
    EXPECT_EQ(source->pin().lastSender, static_cast<IBaseFilter*>(renderer));
  }
  // Late by 10 ms plus half the render average, still 0 after the first draw.
  EXPECT_EQ(source->pin().heard[1].Late, 10 * kMs);
  EXPECT_EQ(source->pin().heard[1].Type, Famine);

  // Lateness in ms counted from the third frame drawn: 30, 50, 0 over four; their spread
  // sqrt((900 + 2500 - 80 * 80 / 4) / 3) = 24. Frame times from the fourth: 60, 30 ms.
  EXPECT_EQ(Figure(&IQualProp::get_FramesDrawn), 5);
  EXPECT_EQ(Figure(&IQualProp::get_FramesDroppedInRenderer), 1);
  EXPECT_EQ(Figure(&IQualProp::get_AvgSyncOffset), 20);
  EXPECT_EQ(Figure(&IQualProp::get_DevSyncOffset), 24);
  EXPECT_EQ(Figure(&IQualProp::get_Jitter), 30);
  EXPECT_EQ(Figure(&IQualProp::get_AvgFrameRate), 3333);  // 5 frames in 150 ms

  // A sample the renderer cannot schedule is refused without failing the stream.
  EXPECT_EQ(Send(now + 10 * kMs, now), S_OK);
  EXPECT_EQ(Figure(&IQualProp::get_FramesDroppedInRenderer), 2);
  EXPECT_EQ(Figure(&IQualProp::get_FramesDrawn), 5);
  EXPECT_EQ(events.Count(EC_ERRORABORT), 0);

  // A sink the graph names takes the messages from the upstream pin.
  Sink sink;
  ASSERT_EQ(static_cast<IQualityControl*>(renderer)->SetSink(&sink), S_OK);
  ClockAt(now + 40 * kMs);
  EXPECT_EQ(Send(now, now + 40 * kMs), S_OK);
  EXPECT_EQ(sink.heard.size(), 1u);
  EXPECT_EQ(sink.lastSender, static_cast<IBaseFilter*>(renderer));
  EXPECT_EQ(source->pin().heard.size(), 6u);
  renderer->Stop();
  EXPECT_EQ(Figure(&IQualProp::get_AvgFrameRate), 100000 * 6 / 180);  // the stopped stream's length
}

TEST_F(Scripted, AFailedReceiveIsReportedOnceAndAFlushLetsTheStreamGoOn) {
  ConnectAndRun();
  IPin* pin = InputPin()->AsPin();
  EXPECT_EQ(Send(-1, 0), S_OK);
  EXPECT_EQ(renderer->draws, 1);
  ASSERT_EQ(pin->EndOfStream(), S_OK);
  EXPECT_EQ(events.Count(EC_COMPLETE), 1);

  // After the end: refused, reported once, and everything after it refused quietly.
  EXPECT_EQ(Send(-1, 0), E_UNEXPECTED);
  EXPECT_EQ(events.Count(EC_ERRORABORT), 1);
  EXPECT_EQ(events.events.back().p1, static_cast<intptr_t>(E_UNEXPECTED));
  EXPECT_EQ(Send(-1, 0), E_FAIL);
  EXPECT_EQ(events.Count(EC_ERRORABORT), 1);
  EXPECT_EQ(events.Count(EC_COMPLETE), 1);

  // A seek: during the flush samples are refused, after it they play again.
  ASSERT_EQ(pin->BeginFlush(), S_OK);
  EXPECT_EQ(Send(-1, 0), E_FAIL);
  ASSERT_EQ(pin->EndFlush(), S_OK);
  EXPECT_EQ(Send(-1, 0), S_OK);
  EXPECT_EQ(Send(-1, 0), S_OK);
  EXPECT_EQ(renderer->draws, 3);
  EXPECT_EQ(events.Count(EC_ERRORABORT), 1);

  // A sample whose new type the renderer refuses: one report, the pin's own.
  D_CMediaTypeRec audio;
  MakeTestType(audio, MEDIATYPE_Audio, MEDIASUBTYPE_PCM, 2);
  EXPECT_EQ(Send(-1, 0, &audio), E_FAIL);
  EXPECT_EQ(Send(-1, 0), E_FAIL);
  EXPECT_EQ(events.Count(EC_ERRORABORT), 2);
  EXPECT_EQ(events.events.back().p1, static_cast<intptr_t>(VFW_E_TYPE_NOT_ACCEPTED));
  EXPECT_EQ(renderer->draws, 3);
}

TEST_F(Scripted, AConnectionIsKeptWhileTheRendererRuns) {
  EXPECT_EQ(renderer->HandleBreakConnect(), S_FALSE);  // nothing to break
  ConnectAndRun();
  EXPECT_EQ(renderer->HandleBreakConnect(), VFW_E_NOT_STOPPED);
  EXPECT_EQ(InputPin()->AsPin()->Disconnect(), VFW_E_NOT_STOPPED);
  ASSERT_TRUE(SUCCEEDED(renderer->Pause()));
  EXPECT_EQ(renderer->HandleBreakConnect(), VFW_E_NOT_STOPPED);
  EXPECT_TRUE(InputPin()->IsConnected());
  renderer->Stop();
  source->Stop();
  EXPECT_EQ(InputPin()->AsPin()->Disconnect(), S_OK);
  EXPECT_FALSE(InputPin()->IsConnected());
}

TEST_F(Scripted, TheClockIsHeldByReferenceAndGivesTheStreamTime) {
  REFERENCE_TIME t = 0;
  EXPECT_EQ(source->StreamTimeNow(&t), VFW_E_NO_CLOCK);
  ManualReferenceClock* other = ManualReferenceClock::Create(5000);
  ASSERT_EQ(source->SetSyncSource(other), S_OK);
  EXPECT_EQ(References(other), 2u);
  IReferenceClock* got = nullptr;
  ASSERT_EQ(source->GetSyncSource(&got), S_OK);
  EXPECT_EQ(got, other);
  EXPECT_EQ(References(other), 3u);
  got->Release();
  ASSERT_EQ(source->Run(2000), S_OK);
  ASSERT_EQ(source->StreamTimeNow(&t), S_OK);
  EXPECT_EQ(t, 3000);
  other->Advance(40);
  ASSERT_EQ(source->StreamTimeNow(&t), S_OK);
  EXPECT_EQ(t, 3040);
  source->Stop();
  // A new clock replaces the old one's reference; none gives it back.
  ASSERT_EQ(source->SetSyncSource(clock), S_OK);
  EXPECT_EQ(References(other), 1u);
  ASSERT_EQ(source->SetSyncSource(nullptr), S_OK);
  ASSERT_EQ(source->GetSyncSource(&got), S_OK);
  EXPECT_EQ(got, nullptr);
  // The renderer holds the fixture's clock; a filter released with one gives it back.
  EXPECT_EQ(References(clock), 2u);
  auto* extra = MakeReferenced<ScriptSource>();
  extra->SetSyncSource(other);
  EXPECT_EQ(References(other), 2u);
  extra->AsBaseFilter()->Release();
  EXPECT_EQ(References(other), 1u);
  other->Release();
}

TEST_F(Scripted, AnInputPinPassesQualityToItsSinkOrElseUpstream) {
  const Quality q{Flood, 800, 5 * kMs, 70 * kMs};
  D_CRenderInPin* pin = InputPin();
  EXPECT_EQ(pin->PassQualityUpstream(q), VFW_E_NOT_FOUND);  // no one upstream
  ConnectAndRun();
  source->pin().notifyResult = S_FALSE;
  EXPECT_EQ(pin->PassQualityUpstream(q), S_FALSE);
  ASSERT_EQ(source->pin().heard.size(), 1u);
  EXPECT_EQ(source->pin().heard[0].Proportion, 800);
  EXPECT_EQ(source->pin().heard[0].Late, 5 * kMs);
  EXPECT_EQ(source->pin().lastSender, static_cast<IBaseFilter*>(renderer));
  Sink sink;
  ASSERT_EQ(static_cast<IQualityControl*>(pin)->SetSink(&sink), S_OK);
  EXPECT_EQ(pin->PassQualityUpstream(q), S_OK);
  ASSERT_EQ(sink.heard.size(), 1u);
  EXPECT_EQ(sink.heard[0].TimeStamp, 70 * kMs);
  EXPECT_EQ(source->pin().heard.size(), 1u);
}

}  // namespace
