// The graph manager on filters written straight on the interfaces: connecting and
// rendering through the system's factories, deferred reconnections, state order, the
// clock, events and completion, and what its last release leaves behind.
#include <thread>

#include <gtest/gtest.h>

#include "filters/com_base.h"
#include "host/com/class_registry.h"
#include "host/com/task_memory.h"
#include "host/dshow/filter_graph.h"
#include "host/dshow/reference_clock.h"
#include "host/kernel/thread.h"
#include "tests/host/dshow/graph_test_filter.h"

namespace {

class GraphTest : public ::testing::Test {
 protected:
  void SetUp() override {
    RegisterFilterGraphClasses();
    ASSERT_EQ(CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_IFilterGraph2,
                               graph.OutVoid()),
              S_OK);
  }
  void TearDown() override {
    graph.Reset();
    UnregisterComClass(CLSID_Mp3DecoderFilter);
    UnregisterComClass(CLSID_DSoundRender);
    UnregisterComClass(CLSID_MediaFileSource);
    EXPECT_EQ(LiveObjectCount.load(), 0);
    EXPECT_EQ(LiveHostMediaObjectCount(), 0);
    EXPECT_EQ(LiveTaskMemoryCount(), 0);
    EXPECT_EQ(LiveHostThreadCount(), 0);
  }
  // A filter added to the graph, which holds its only reference.
  GraphTestFilter* Add(const char* name, std::vector<GUID> in, std::vector<GUID> out) {
    auto* f = new GraphTestFilter(name, std::move(in), std::move(out), &log);
    EXPECT_EQ(graph->AddFilter(f, std::u16string(name, name + strlen(name)).c_str()), S_OK);
    return f;
  }
  int FilterCount() {
    ComPtr<IEnumFilters> e;
    EXPECT_EQ(graph->EnumFilters(e.Out()), S_OK);
    IBaseFilter* f[16];
    uint32_t n = 0;
    e->Next(16, f, &n);
    for (uint32_t i = 0; i < n; ++i) f[i]->Release();
    return static_cast<int>(n);
  }
  template <class I>
  ComPtr<I> As(REFIID iid) {
    return graph.As<I>(iid);
  }

  ComPtr<IFilterGraph2> graph;
  std::vector<std::string> log;
};

const GUID kStream = MEDIATYPE_Stream;
const GUID kAudio = MEDIATYPE_Audio;

TEST_F(GraphTest, RenderTakesFreeInputsThenFactoriesAndAFailedBranchLeavesNothing) {
  GraphTestFilter* source = Add("source", {}, {kStream});
  EXPECT_EQ(graph->Render(source->pin(0)), VFW_E_CANNOT_RENDER);

  // A decoder whose output nothing takes is tried and taken away again.
  RegisterTestFactory(CLSID_Mp3DecoderFilter, [] { return new GraphTestFilter("decoder", {kStream}, {kAudio}); });
  EXPECT_EQ(graph->Render(source->pin(0)), VFW_E_CANNOT_RENDER);
  EXPECT_EQ(FilterCount(), 1);
  EXPECT_EQ(source->pin(0)->peer(), nullptr);

  // A free input already in the graph comes before a new renderer.
  GraphTestFilter* sink = Add("sink", {kAudio}, {});
  RegisterTestFactory(CLSID_DSoundRender, [] { return new GraphTestFilter("renderer", {kAudio}, {}); });
  ASSERT_EQ(graph->Render(source->pin(0)), S_OK);
  EXPECT_EQ(FilterCount(), 3);
  EXPECT_NE(sink->pin(0)->peer(), nullptr);
  EXPECT_EQ(graph->Render(source->pin(0)), VFW_E_ALREADY_CONNECTED);

  // With the sink taken, a second source gets a decoder and a renderer of its own.
  GraphTestFilter* second = Add("second", {}, {kStream});
  ASSERT_EQ(graph->Render(second->pin(0)), S_OK);
  EXPECT_EQ(FilterCount(), 6);
  ComPtr<IBaseFilter> renderer;
  EXPECT_EQ(graph->FindFilterByName(u"Audio Renderer", renderer.Out()), S_OK);

  // Connect goes through a factory's filter when the pins do not fit directly.
  GraphTestFilter* third = Add("third", {}, {kStream});
  GraphTestFilter* sink2 = Add("sink2", {kAudio}, {});
  EXPECT_EQ(graph->Connect(third->pin(0), sink2->pin(0)), S_OK);
  EXPECT_EQ(FilterCount(), 9);
}

TEST_F(GraphTest, ReconnectionsAskedInsideAConnectionWaitForTheOutermostCall) {
  GraphTestFilter* source = Add("source", {}, {kAudio});
  GraphTestFilter* mid = Add("mid", {kAudio}, {kAudio});
  GraphTestFilter* sink = Add("sink", {kAudio}, {});
  ASSERT_EQ(graph->Connect(source->pin(0), mid->pin(0)), S_OK);

  AM_MEDIA_TYPE pcm{};
  pcm.majortype = kAudio;
  pcm.subtype = MEDIASUBTYPE_PCM;
  pcm.formattype = FORMAT_None;
  bool deferred = false;
  mid->onConnected = [&](GraphTestPin* pin) {
    if (pin != mid->pin(1)) return;
    EXPECT_EQ(graph->ReconnectEx(mid->pin(0), &pcm), S_OK);
    deferred = mid->pin(0)->type().subtype == GUID_NULL;
  };
  ASSERT_EQ(graph->Connect(mid->pin(1), sink->pin(0)), S_OK);
  EXPECT_TRUE(deferred);
  EXPECT_EQ(mid->pin(0)->type().subtype, MEDIASUBTYPE_PCM);
  EXPECT_EQ(mid->pin(0)->peer(), static_cast<IPin*>(source->pin(0)));

  // A filter that asks again at every connection is given at most 8 rounds.
  GraphTestFilter* greedy = Add("greedy", {kAudio}, {});
  GraphTestFilter* feed = Add("feed", {}, {kAudio});
  int connections = 0;
  greedy->onConnected = [&](GraphTestPin* pin) {
    ++connections;
    graph->Reconnect(pin);
  };
  ASSERT_EQ(graph->Connect(feed->pin(0), greedy->pin(0)), S_OK);
  EXPECT_EQ(connections, 9);
  EXPECT_NE(greedy->pin(0)->peer(), nullptr);
}

TEST_F(GraphTest, StatesReachRenderersFirstAndEveryFilterGetsTheClock) {
  GraphTestFilter* source = Add("source", {}, {kAudio});
  GraphTestFilter* mid = Add("mid", {kAudio}, {kAudio});
  GraphTestFilter* sink = Add("sink", {kAudio}, {});
  ASSERT_EQ(graph->Connect(mid->pin(1), sink->pin(0)), S_OK);
  ASSERT_EQ(graph->Connect(source->pin(0), mid->pin(0)), S_OK);
  log.clear();
  auto control = As<IMediaControl>(IID_IMediaControl);
  ASSERT_EQ(control->Run(), S_OK);
  ASSERT_EQ(control->Stop(), S_OK);
  EXPECT_EQ(log, (std::vector<std::string>{"sink:Pause", "mid:Pause", "source:Pause", "sink:Run", "mid:Run",
                                           "source:Run", "sink:Stop", "mid:Stop", "source:Stop"}));
  // The system clock, made at the first Pause, reaches every filter, also one added later.
  ASSERT_NE(source->clock(), nullptr);
  EXPECT_EQ(source->clock(), sink->clock());
  GraphTestFilter* late = Add("late", {kAudio}, {});
  EXPECT_EQ(late->clock(), source->clock());

  // No clock: SetSyncSource(null) takes it from every filter, and Pause makes none.
  auto filter = As<IMediaFilter>(IID_IMediaFilter);
  ASSERT_EQ(filter->SetSyncSource(nullptr), S_OK);
  ASSERT_EQ(control->Pause(), S_OK);
  EXPECT_EQ(mid->clock(), nullptr);
  ComPtr<IReferenceClock> clock;
  EXPECT_EQ(filter->GetSyncSource(clock.Out()), S_OK);
  EXPECT_FALSE(clock);
}

TEST_F(GraphTest, CompletionWaitsForEveryRendererWhileAbortsAndTimeOutsEndTheWait) {
  GraphTestFilter* source = Add("source", {}, {kAudio, kAudio});
  GraphTestFilter* a = Add("a", {kAudio}, {});
  GraphTestFilter* b = Add("b", {kAudio}, {});
  GraphTestFilter* idle = Add("idle", {kAudio}, {});  // unconnected: not waited for
  ASSERT_EQ(graph->Connect(source->pin(0), a->pin(0)), S_OK);
  ASSERT_EQ(graph->Connect(source->pin(1), b->pin(0)), S_OK);
  auto control = As<IMediaControl>(IID_IMediaControl);
  auto events = As<IMediaEvent>(IID_IMediaEvent);
  auto self = [](GraphTestFilter* f) { return reinterpret_cast<intptr_t>(f->AsBaseFilter()); };
  int32_t code = -1;
  intptr_t p1, p2;

  ASSERT_EQ(control->Run(), S_OK);
  idle->Notify(EC_COMPLETE, S_OK, self(idle));
  a->Notify(EC_COMPLETE, S_OK, self(a));
  EXPECT_EQ(events->WaitForCompletion(0, &code), E_ABORT);
  EXPECT_EQ(code, 0);
  std::thread streaming([&] { b->Notify(EC_COMPLETE, S_OK, self(b)); });
  EXPECT_EQ(events->WaitForCompletion(-1, &code), S_OK);
  streaming.join();
  EXPECT_EQ(code, EC_COMPLETE);
  ASSERT_EQ(events->GetEvent(&code, &p1, &p2, 0), S_OK);
  EXPECT_EQ(code, EC_COMPLETE);
  EXPECT_EQ(p2, 0);  // the graph's own completion, no filter pointer
  EXPECT_EQ(events->GetEvent(&code, &p1, &p2, 0), E_ABORT);

  // A streaming thread notifying while Stop holds the graph lock is not blocked.
  a->onStop = [&] {
    std::thread t([&] { a->Notify(EC_QUALITY_CHANGE, 0, 0); });
    t.join();
  };
  ASSERT_EQ(control->Stop(), S_OK);
  a->onStop = nullptr;
  ASSERT_EQ(events->GetEvent(&code, &p1, &p2, 0), S_OK);
  EXPECT_EQ(code, EC_QUALITY_CHANGE);

  // An abort ends the wait at once; a renderer leaving the graph is not waited for,
  // and the filter pointer its event carries is not queued.
  ASSERT_EQ(control->Run(), S_OK);
  b->Notify(EC_ERRORABORT, E_FAIL, 0);
  EXPECT_EQ(events->WaitForCompletion(-1, &code), S_OK);
  EXPECT_EQ(code, EC_ERRORABORT);
  ASSERT_EQ(events->GetEvent(&code, &p1, &p2, 0), S_OK);
  EXPECT_EQ(code, EC_ERRORABORT);
  EXPECT_EQ(p1, E_FAIL);
  ASSERT_EQ(control->Stop(), S_OK);
  ASSERT_EQ(control->Run(), S_OK);
  a->Notify(EC_WINDOW_DESTROYED, self(a), 0);
  ASSERT_EQ(graph->RemoveFilter(b), S_OK);
  EXPECT_EQ(events->WaitForCompletion(0, &code), S_OK);
  EXPECT_EQ(code, EC_COMPLETE);
  ASSERT_EQ(events->GetEvent(&code, &p1, &p2, 0), S_OK);
  EXPECT_EQ(code, EC_COMPLETE);
  EXPECT_EQ(events->GetEvent(&code, &p1, &p2, 0), E_ABORT);
}

TEST_F(GraphTest, LastReleaseStopsDisconnectsAndReleasesEveryFilter) {
  GraphTestFilter* source = Add("source", {}, {kAudio});
  GraphTestFilter* sink = Add("sink", {kAudio}, {});
  ASSERT_EQ(graph->Connect(source->pin(0), sink->pin(0)), S_OK);
  ASSERT_EQ(As<IMediaControl>(IID_IMediaControl)->Run(), S_OK);
  sink->AsBaseFilter()->AddRef();
  graph.Reset();
  EXPECT_EQ(sink->State(), State_Stopped);
  EXPECT_EQ(sink->pin(0)->peer(), nullptr);
  EXPECT_EQ(sink->graph(), nullptr);
  EXPECT_EQ(sink->clock(), nullptr);
  EXPECT_EQ(log.back(), "sink:Leave");
  sink->AsBaseFilter()->Release();
}

TEST_F(GraphTest, RenderFileRendersTheSourcesStreamsAndAudioCallsReachTheRenderer) {
  EXPECT_EQ(graph->RenderFile(u"a.avi", nullptr), REGDB_E_CLASSNOTREG);
  auto audio = As<IBasicAudio>(IID_IBasicAudio);
  EXPECT_EQ(audio->put_Volume(-100), E_NOTIMPL);
  GraphTestFilter *file = nullptr, *speaker = nullptr;
  RegisterTestFactory(CLSID_MediaFileSource, [&] {
    file = new GraphTestFilter("file", {}, {kAudio, MEDIATYPE_Video});
    file->fileSource = true;
    return file;
  });
  RegisterTestFactory(CLSID_DSoundRender, [&] {
    auto* f = new GraphTestFilter("speaker", {kAudio}, {});
    f->audio = true;
    if (!speaker) speaker = f;  // the one the audio stream keeps
    return f;
  });
  // The audio stream finds the renderer; the video stream finds nothing, which is no failure.
  ASSERT_EQ(graph->RenderFile(u"a.avi", nullptr), S_OK);
  EXPECT_EQ(file->loaded, u"a.avi");
  EXPECT_EQ(FilterCount(), 2);
  EXPECT_EQ(audio->put_Volume(-100), S_OK);
  EXPECT_EQ(speaker->volume, -100);

  // A source that cannot open the file, or none of whose streams plays, leaves nothing.
  RegisterTestFactory(CLSID_MediaFileSource, [] {
    auto* f = new GraphTestFilter("bad", {}, {kAudio});
    f->fileSource = true;
    f->loadResult = E_FAIL;
    return f;
  });
  EXPECT_EQ(graph->RenderFile(u"b.avi", nullptr), E_FAIL);
  RegisterTestFactory(CLSID_MediaFileSource, [] {
    auto* f = new GraphTestFilter("video", {}, {MEDIATYPE_Video});
    f->fileSource = true;
    return f;
  });
  EXPECT_EQ(graph->RenderFile(u"c.avi", nullptr), VFW_E_CANNOT_RENDER);
  EXPECT_EQ(FilterCount(), 2);
}

TEST(ReferenceClock, ManualAdvanceFiresWhatIsDueAndTheSystemClockKeepsTime) {
  ManualReferenceClock* manual = ManualReferenceClock::Create(0);
  Event event(false, false);
  Semaphore ticks(0, 100);
  uintptr_t once = 0, periodic = 0;
  ASSERT_EQ(manual->AdviseTime(0, 400000, &event, &once), S_OK);
  ASSERT_EQ(manual->AdvisePeriodic(500000, 100000, &ticks, &periodic), S_OK);
  manual->Advance(399999);
  EXPECT_FALSE(event.IsSet());
  manual->Advance(1);
  EXPECT_TRUE(event.IsSet());
  manual->Advance(350000);  // 750000: periods at 500000, 600000, 700000
  EXPECT_EQ(ticks.count(), 3);
  EXPECT_EQ(manual->Unadvise(periodic), S_OK);
  EXPECT_EQ(manual->Unadvise(once), S_FALSE);  // fired and gone
  manual->Advance(1000000);
  EXPECT_EQ(ticks.count(), 3);
  Event past(true, false);
  ASSERT_EQ(manual->AdviseTime(100, 0, &past, &once), S_OK);  // already due
  EXPECT_TRUE(past.IsSet());
  manual->Release();

  IReferenceClock* system = nullptr;
  RegisterFilterGraphClasses();
  ASSERT_EQ(CoCreateInstance(CLSID_SystemClock, nullptr, CLSCTX_INPROC_SERVER, IID_IReferenceClock,
                             reinterpret_cast<void**>(&system)),
            S_OK);
  REFERENCE_TIME start = 0, now = 0;
  system->GetTime(&start);
  Event due(false, false);
  ASSERT_EQ(system->AdviseTime(start, 20000, &due, &once), S_OK);
  EXPECT_EQ(WaitForObject(&due, 5000), 0);
  system->GetTime(&now);
  EXPECT_GE(now, start + 20000);
  system->Release();
  EXPECT_EQ(LiveHostThreadCount(), 0);
  EXPECT_EQ(LiveHostMediaObjectCount(), 0);
}

}  // namespace
