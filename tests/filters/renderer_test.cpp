// The renderer base between a push source and the graph's events, on a manual clock and
// manual milliseconds: what is drawn when, what the state calls answer, when the end of
// the stream is reported; and the quality renderer's decisions and arithmetic.
#include <mutex>

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

class Renderer : public FrameworkTest {
 protected:
  void SetUp() override {
    UseManualTime(true, 1000);
    events.Clear();
    clock = ManualReferenceClock::Create(0);
    source = MakeReferenced<PushSource>();
    renderer = MakeReferenced<TestRenderer>();
    source->JoinFilterGraph(&events, u"source");
    renderer->JoinFilterGraph(&events, u"renderer");
    renderer->SetSyncSource(clock);
  }
  void Connect() { ASSERT_EQ(source->pin().Connect(renderer->PinAt(0)->AsPin(), nullptr), S_OK); }
  void Run() {
    ASSERT_TRUE(SUCCEEDED(renderer->Run(0)));
    ASSERT_EQ(source->Run(0), S_OK);
  }
  // Draws so far, and the streaming thread's waits for a sample's time.
  bool DrawnAndWaiting(size_t draws, int waits) {
    return renderer->WaitUntil([&] { return renderer->draws().size() == draws && renderer->waits() == waits; });
  }
  // Both clocks move together, as the graph's clock and the system's milliseconds do.
  void Advance(uint32_t ms) {
    clock->Advance(ms * kMs);
    AdvanceManualTime(ms);
  }
  void TearDown() override {
    EndStream(source, renderer, clock);
    EXPECT_EQ(TimerPeriodRequests(), 0);
    FrameworkTest::TearDown();
  }

  EventLog events;
  ManualReferenceClock* clock = nullptr;
  PushSource* source = nullptr;
  TestRenderer* renderer = nullptr;
};

TEST_F(Renderer, DrawsEachSampleWhenTheClockReachesItsStart) {
  Connect();
  Run();
  ASSERT_TRUE(DrawnAndWaiting(1, 2));
  clock->Advance(40 * kMs - 1);
  EXPECT_EQ(renderer->draws().size(), 1u) << "drawn before its time";
  clock->Advance(1);
  ASSERT_TRUE(DrawnAndWaiting(2, 3));
  clock->Advance(40 * kMs);
  ASSERT_TRUE(renderer->WaitUntil([&] { return renderer->draws().size() == 3; }));
  auto draws = renderer->draws();
  for (int k = 0; k < 3; ++k) {
    EXPECT_EQ(draws[k].start, k * 40 * kMs);
    EXPECT_EQ(draws[k].first, PushSource::Pattern(k, 0));
  }
  // The last sample ends 40 ms after the clock: close enough to report at once.
  EXPECT_EQ(WaitForObject(&events.complete, 5000), 0);
  EXPECT_EQ(events.Count(EC_COMPLETE), 1);
}

TEST_F(Renderer, EndOfStreamComesAtTheLastStopTime) {
  struct Case {
    REFERENCE_TIME stop;  // of the only sample, with the clock at 0
    bool atOnce;
  };
  for (Case c : {Case{49 * kMs, true}, Case{50 * kMs, false}, Case{700 * kMs, false}}) {
    SCOPED_TRACE(c.stop);
    TearDown();
    SetUp();
    source->count = 1;
    source->period = c.stop;
    Connect();
    Run();
    ASSERT_TRUE(renderer->WaitUntil([&] { return renderer->draws().size() == 1; }));
    if (c.atOnce) {
      EXPECT_EQ(WaitForObject(&events.complete, 5000), 0);
      continue;
    }
    ASSERT_EQ(WaitForObject(&source->ended, 5000), 0);
  ASSERT_EQ(LiveTimerCount(), 1);
    Advance(static_cast<uint32_t>(c.stop / kMs) - 1);
    EXPECT_EQ(events.Count(EC_COMPLETE), 0) << "reported before the stop time";
    Advance(1);
    EXPECT_EQ(WaitForObject(&events.complete, 5000), 0);
    EXPECT_EQ(events.Count(EC_COMPLETE), 1);
  }
}

TEST_F(Renderer, ReleasedWithEndOfStreamPendingKillsItsTimer) {
  source->count = 1;
  source->period = 500 * kMs;
  Connect();
  Run();
  ASSERT_EQ(WaitForObject(&source->ended, 5000), 0);
  ASSERT_EQ(LiveTimerCount(), 1);
  // The running renderer goes with its timer armed: nothing may fire into it after.
  source->Stop();
  source->pin().Disconnect();
  IPin* upstream = renderer->PinAt(0)->ConnectedPin();  // its pin's reference, freed with it
  renderer->AsBaseFilter()->Release();
  renderer = nullptr;
  upstream->Release();
  EXPECT_EQ(LiveTimerCount(), 0);
  Advance(1000);
  EXPECT_EQ(events.Count(EC_COMPLETE), 0);
}

TEST_F(Renderer, SampleWithoutTimesDrawsAtOnceAndKeepsTheEndTime) {
  source->count = 2;
  source->period = 600 * kMs;
  source->untimedFrom = 1;
  Connect();
  Run();
  ASSERT_TRUE(renderer->WaitUntil([&] { return renderer->draws().size() == 2; }));
  EXPECT_EQ(renderer->draws()[1].start, -1);
  // The end is still the timed sample's stop, 600 ms on.
  ASSERT_EQ(WaitForObject(&source->ended, 5000), 0);
  ASSERT_EQ(LiveTimerCount(), 1);
  EXPECT_EQ(events.Count(EC_COMPLETE), 0);
  Advance(599);
  EXPECT_EQ(events.Count(EC_COMPLETE), 0);
  Advance(1);
  EXPECT_EQ(WaitForObject(&events.complete, 5000), 0);
}

TEST_F(Renderer, PauseWaitsForDataAndStopReleasesTheWaitingThread) {
  Connect();
  EXPECT_EQ(renderer->Pause(), S_FALSE);
  FILTER_STATE state;
  EXPECT_EQ(renderer->GetState(0, &state), VFW_S_STATE_INTERMEDIATE);
  EXPECT_EQ(state, State_Paused);
  ASSERT_EQ(source->Pause(), S_OK);
  EXPECT_EQ(renderer->GetState(5000, &state), S_OK);
  ASSERT_TRUE(renderer->WaitUntil([&] { return renderer->waits() == 1; }));
  EXPECT_EQ(renderer->Stop(), S_OK);
  EXPECT_EQ(source->Stop(), S_OK);
  clock->Advance(1000 * kMs);
  EXPECT_TRUE(renderer->draws().empty());
  EXPECT_FALSE(renderer->HasPendingSample());
}

TEST_F(Renderer, SeekFlushesTheHeldSampleAndTheEndOfStream) {
  Connect();
  Run();
  ASSERT_TRUE(DrawnAndWaiting(1, 2));
  IMediaSeeking* seeking = nullptr;
  ASSERT_EQ(renderer->AsBaseFilter()->QueryInterface(IID_IMediaSeeking, reinterpret_cast<void**>(&seeking)), S_OK);
  int64_t value = 0;
  EXPECT_EQ(seeking->GetDuration(&value), S_OK);
  EXPECT_EQ(value, 120 * kMs) << "not the source's duration";
  int64_t position = 80 * kMs;
  EXPECT_EQ(seeking->SetPositions(&position, AM_SEEKING_AbsolutePositioning, nullptr, 0), S_OK);
  EXPECT_EQ(source->segments.load(), 1);
  ASSERT_TRUE(DrawnAndWaiting(1, 3)) << "the held 40 ms sample survived the flush";
  EXPECT_EQ(seeking->GetCurrentPosition(&value), S_OK);
  EXPECT_EQ(value, 80 * kMs);
  Advance(80);
  ASSERT_TRUE(renderer->WaitUntil([&] { return renderer->draws().size() == 2; }));
  EXPECT_EQ(renderer->draws()[1].start, 80 * kMs);
  EXPECT_EQ(WaitForObject(&events.complete, 5000), 0);
  // Seeking back after the end: the old end of stream must not refuse the new samples.
  position = 0;
  events.complete.Reset();
  EXPECT_EQ(seeking->SetPositions(&position, AM_SEEKING_AbsolutePositioning, nullptr, 0), S_OK);
  ASSERT_TRUE(renderer->WaitUntil([&] { return renderer->draws().size() == 5; }));
  EXPECT_EQ(renderer->draws()[2].start, 0);
  EXPECT_EQ(events.Count(EC_ERRORABORT), 0);
  seeking->Release();
}

TEST_F(Renderer, UnconnectedRunCompletesAtOnce) {
  EXPECT_EQ(renderer->Run(0), S_OK);
  EXPECT_EQ(events.Count(EC_COMPLETE), 1);
  FILTER_STATE state;
  EXPECT_EQ(renderer->GetState(0, &state), S_OK);
}

// A quality renderer whose statistics a test can set and read.
class QualityProbe final : public D_CQualityRenderer {
 public:
  QualityProbe() : D_CQualityRenderer(GUID_NULL, "probe", nullptr, nullptr) {}
  HRESULT CheckAcceptedType(const AM_MEDIA_TYPE*) override { return S_OK; }
  HRESULT RenderSampleData(IMediaSample*) override { return S_OK; }
  using D_CQualityRenderer::duration_;
  using D_CQualityRenderer::frameAverage_;
  using D_CQualityRenderer::framesDrawn_;
  using D_CQualityRenderer::lastDraw_;
  using D_CQualityRenderer::normalCount_;
  using D_CQualityRenderer::renderAverage_;
  using D_CQualityRenderer::streamingStart_;
};

using Quality = FrameworkTest;

TEST_F(Quality, DecidesToDrawAtOnceOnTimeOrNotAtAll) {
  struct Case {
    const char* what;
    REFERENCE_TIME now, start;
    int32_t renderAverage, frameAverage, normalCount;
    REFERENCE_TIME lastDraw;
    HRESULT result;
    REFERENCE_TIME startOut;  // the time to wait for
    int32_t normalOut;
    REFERENCE_TIME length = 40 * kMs;  // of the sample
    REFERENCE_TIME duration = -2;      // remembered from earlier samples; -2: the frame average
  };
  const Case cases[] = {
      {"early: wait, 8 ms ahead", 0, 100 * kMs, 0, -1, 0, -1000, S_FALSE, 92 * kMs, 1},
      {"late but keeping up: now", 100 * kMs, 0, 0, -1, 0, -1000, S_OK, 0, 1},
      {"late and slow to draw: dropped", 200 * kMs, 0, 20 * kMs, 40 * kMs, 0, 190 * kMs, E_FAIL, 0, -1},
      {"after a drop: at once", 100 * kMs, 0, 0, -1, -1, -1000, S_OK, 0, 0},
      {"after a drop, 492 ms early: at once", 0, 500 * kMs, 0, -1, -1, -1000, S_OK, 492 * kMs, 0},
      {"after a drop, 1 s early: never at once", 0, 1008 * kMs, 0, -1, -1, -1000, S_FALSE, 960 * kMs, 0},
      {"nothing drawn for over 1 s: drawn late", 200 * kMs, 0, 20 * kMs, 40 * kMs, 0, -900 * kMs, S_OK, 0, 1},
      // Ten times 30 s is past 32 bits: wrapped, the early frame would wait instead.
      {"a 30 s frame, shorter than the last, 0.5 s early: at once", 0, 508 * kMs, 0, 40000 * kMs, 0, -1000, S_OK,
       500 * kMs, 0, 30000 * kMs, 30000 * kMs},
      // Times from a damaged file: nothing may leave 64 bits.
      {"a sample over nearly all of time: late, drawn", 0, INT64_MIN + 10, 0, -1, 0, -1000, S_OK, INT64_MIN + 10, 1,
       INT64_MAX},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    auto* probe = MakeReferenced<QualityProbe>();
    ManualReferenceClock* clock = ManualReferenceClock::Create(c.now);
    probe->SetSyncSource(clock);
    probe->renderAverage_ = c.renderAverage;
    probe->frameAverage_ = probe->duration_ = c.frameAverage;
    if (c.duration != -2) probe->duration_ = c.duration;
    probe->normalCount_ = c.normalCount;
    probe->lastDraw_ = c.lastDraw;
    REFERENCE_TIME start = c.start, end = c.start + c.length;
    EXPECT_EQ(probe->DecideDrawTime(nullptr, &start, &end), c.result);
    if (c.result != E_FAIL) {
      EXPECT_EQ(start, c.startOut);
    }
    EXPECT_EQ(probe->normalCount_, c.normalOut);
    probe->AsBaseFilter()->Release();
    clock->Release();
  }
}

TEST_F(Quality, ThrottleArithmeticAndFrameRate) {
  auto* probe = MakeReferenced<QualityProbe>();
  IQualityControl* control = probe;
  for (auto [proportion, throttle] : {std::pair{1000, 0}, {1500, 0}, {500, 253028}, {0, 1998622}, {-5, 1998622}}) {
    control->Notify(nullptr, ::Quality{Famine, proportion, 0, 0});
    EXPECT_EQ(probe->Throttle(), throttle) << proportion;
  }
  control->Notify(nullptr, ::Quality{Flood, 1000, 0, 0});
  probe->framesDrawn_ = 25;
  probe->streamingStart_ = 1000;  // a stopped stream's length in ms
  int32_t rate = 0;
  EXPECT_EQ(probe->get_AvgFrameRate(&rate), S_OK);
  EXPECT_EQ(rate, 2500);
  probe->AsBaseFilter()->Release();

  struct Root {
    int64_t x;
    int32_t root;
  };
  for (Root r : {Root{0, 0}, {-4, 0}, {1, 1}, {3, 1}, {4, 2}, {1000000, 1000}, {0x3FFFFFFF, 32767},
                 {0x40000000, 32768}, {0x40000001, 32768}, {INT64_MAX, 32768}}) {
    EXPECT_EQ(IntSqrt(r.x), r.root) << r.x;
  }
  struct Product {
    int64_t a, b, c, d, result;
  };
  for (Product p : {Product{INT64_MAX, INT64_MAX, INT64_MAX, 0, INT64_MAX}, {INT64_MAX, 3, 2, 0, INT64_MAX},
                    {-INT64_MAX, 3, 2, 0, -INT64_MAX}, {INT64_MAX, 4, 8, 0, INT64_MAX / 2}, {-7, 1, 2, 0, -3},
                    {7, 1, 2, 1, 4}}) {
    EXPECT_EQ(MulDiv64(p.a, p.b, p.c, p.d), p.result) << p.a << " * " << p.b << " / " << p.c;
  }
}

}  // namespace
