// Connections between a test source and sink: type negotiation, the allocator choice,
// the checks on every received sample, and a streaming thread.
#include "filters/allocator_base.h"
#include "filters/media_sample.h"
#include "tests/filters/framework_fixture.h"
#include "tests/filters/test_filters.h"

namespace {
const GUID kSubtypes[] = {MEDIASUBTYPE_PCM, MEDIASUBTYPE_MPEG1Audio, MEDIASUBTYPE_RGB32, MEDIASUBTYPE_RGB24};

// Type n (1 = A, 2 = B, 3 = C, 4 = a type nobody offers).
D_CMediaTypeRec* TypeNumber(int n) {
  auto* t = new D_CMediaTypeRec;
  MakeTestType(*t, MEDIATYPE_Audio, kSubtypes[n - 1], static_cast<uint8_t>(n));
  return t;
}

struct Pair {
  Pair() {
    for (int n : {1, 2, 3}) source->offered.push_back(TypeNumber(n));
  }
  ~Pair() {
    source->Stop();
    sink->Stop();
    source->pin().Disconnect();
    sink->pin().Disconnect();
    source->AsBaseFilter()->Release();
    sink->AsBaseFilter()->Release();
  }
  int ConnectedTag() {
    AM_MEDIA_TYPE t;
    if (sink->pin().ConnectionMediaType(&t) != S_OK) return 0;
    int tag = t.pbFormat[0];
    FreeMediaTypeRecord(&t);
    return tag;
  }
  TestSource* source = MakeReferenced<TestSource>();
  TestSink* sink = MakeReferenced<TestSink>();
};

using Pins = FrameworkTest;

TEST_F(Pins, NegotiationTriesTheRightTypesAndUndoesEveryFailure) {
  D_CMediaTypeRec fullA, templateB;
  MakeTestType(fullA, MEDIATYPE_Audio, MEDIASUBTYPE_PCM, 1);
  templateB.SetMajorType(MEDIATYPE_Audio);
  templateB.SetSubtype(MEDIASUBTYPE_MPEG1Audio);
  struct Case {
    const char* what;
    std::vector<int> accepts, proposes;
    const AM_MEDIA_TYPE* type;
    int sizeRefusals;
    HRESULT finish;
    HRESULT result;
    int tag;
  } cases[] = {
      {"the receiver's types come first", {2, 3}, {3}, nullptr, 0, S_OK, S_OK, 3},
      {"then the pin's own", {2}, {4}, nullptr, 0, S_OK, S_OK, 2},
      {"a full type is tried alone", {2, 3}, {3}, &fullA, 0, S_OK, VFW_E_TYPE_NOT_ACCEPTED, 0},
      {"a partial type filters both lists", {2, 3}, {3}, &templateB, 0, S_OK, S_OK, 2},
      {"nothing acceptable", {4}, {}, nullptr, 0, S_OK, VFW_E_NO_ACCEPTABLE_TYPES, 0},
      {"the peer fails to finish", {}, {}, nullptr, 0, E_ABORT, E_ABORT, 0},
      {"no allocator can be sized", {}, {}, nullptr, 100, S_OK, VFW_E_NO_ACCEPTABLE_TYPES, 0},
      {"the peer's allocator refused", {}, {}, nullptr, 1, S_OK, S_OK, 1},
  };
  for (const Case& c : cases) {
    {
      Pair p;
      for (int n : c.accepts) p.sink->accepted.push_back(TypeNumber(n));
      for (int n : c.proposes) p.sink->proposed.push_back(TypeNumber(n));
      p.sink->finishResult = c.finish;
      p.source->sizeBuffersRefusals = c.sizeRefusals;
      EXPECT_EQ(p.source->pin().Connect(p.sink->pin().AsPin(), c.type), c.result) << c.what;
      EXPECT_EQ(p.ConnectedTag(), c.tag) << c.what;
      EXPECT_EQ(p.source->pin().IsConnected(), c.tag != 0) << c.what;
      if (c.type == &fullA) {
        EXPECT_EQ(p.sink->acceptsCalls, 1) << c.what;
      }
      if (c.tag != 0) {
        EXPECT_EQ(p.sink->pin().Allocator(), p.source->pin().Allocator()) << c.what;
        EXPECT_EQ(p.source->pin().Allocator() == p.source->firstAllocatorSized, c.sizeRefusals == 0) << c.what;
      } else {
        EXPECT_EQ(p.source->pin().Allocator(), nullptr) << c.what;
      }
    }
    EXPECT_EQ(LiveObjectCount.load(), 0) << c.what;  // no reference left behind
  }
}

TEST_F(Pins, ConnectionCallsRefusedInTheWrongState) {
  Pair p;
  AM_MEDIA_TYPE t;
  EXPECT_EQ(p.sink->pin().ConnectionMediaType(&t), VFW_E_NOT_CONNECTED);
  EXPECT_EQ(t.lSampleSize, 1u);
  EXPECT_EQ(t.bFixedSizeSamples, 1);
  EXPECT_EQ(p.source->pin().Disconnect(), S_FALSE);
  p.source->Pause();
  EXPECT_EQ(p.source->pin().Connect(p.sink->pin().AsPin(), nullptr), VFW_E_NOT_STOPPED);
  p.source->Stop();
  ASSERT_EQ(p.source->pin().Connect(p.sink->pin().AsPin(), nullptr), S_OK);
  EXPECT_EQ(p.source->pin().Connect(p.sink->pin().AsPin(), nullptr), VFW_E_ALREADY_CONNECTED);
  EXPECT_EQ(p.sink->pin().ReceiveConnection(p.source->pin().AsPin(), p.source->offered[0]), VFW_E_ALREADY_CONNECTED);
  FailNextTaskMemoryAllocations(1);
  EXPECT_EQ(p.sink->pin().ConnectionMediaType(&t), E_OUTOFMEMORY);  // never a type without its format
  p.sink->Pause();
  EXPECT_EQ(p.sink->pin().Disconnect(), VFW_E_NOT_STOPPED);
}

// A sample that hides IMediaSample2, so the pin reads its properties one by one.
class PlainSample final : public IMediaSample {
 public:
  explicit PlainSample(IMediaSample* s) : s_(s) {}
  HRESULT QueryInterface(REFIID iid, void** out) override {
    if (iid == IID_IMediaSample2) return *out = nullptr, E_NOINTERFACE;
    return s_->QueryInterface(iid, out);
  }
  uint32_t AddRef() override { return s_->AddRef(); }
  uint32_t Release() override { return s_->Release(); }
  HRESULT GetPointer(uint8_t** b) override { return s_->GetPointer(b); }
  int32_t GetSize() override { return s_->GetSize(); }
  HRESULT GetTime(REFERENCE_TIME* a, REFERENCE_TIME* b) override { return s_->GetTime(a, b); }
  HRESULT SetTime(REFERENCE_TIME* a, REFERENCE_TIME* b) override { return s_->SetTime(a, b); }
  HRESULT IsSyncPoint() override { return s_->IsSyncPoint(); }
  HRESULT SetSyncPoint(int32_t v) override { return s_->SetSyncPoint(v); }
  HRESULT IsPreroll() override { return s_->IsPreroll(); }
  HRESULT SetPreroll(int32_t v) override { return s_->SetPreroll(v); }
  int32_t GetActualDataLength() override { return s_->GetActualDataLength(); }
  HRESULT SetActualDataLength(int32_t n) override { return s_->SetActualDataLength(n); }
  HRESULT GetMediaType(AM_MEDIA_TYPE** t) override { return s_->GetMediaType(t); }
  HRESULT SetMediaType(AM_MEDIA_TYPE* t) override { return s_->SetMediaType(t); }
  HRESULT IsDiscontinuity() override { return s_->IsDiscontinuity(); }
  HRESULT SetDiscontinuity(int32_t v) override { return s_->SetDiscontinuity(v); }
  HRESULT GetMediaTime(int64_t* a, int64_t* b) override { return s_->GetMediaTime(a, b); }
  HRESULT SetMediaTime(int64_t* a, int64_t* b) override { return s_->SetMediaTime(a, b); }

 private:
  IMediaSample* s_;
};

TEST_F(Pins, EverySampleIsCheckedAgainstStateFlushingAndItsType) {
  Pair p;
  for (int n : {1, 2}) p.sink->accepted.push_back(TypeNumber(n));
  FakeGraph graph;
  p.sink->JoinFilterGraph(&graph, u"sink");
  ASSERT_EQ(p.source->pin().Connect(p.sink->pin().AsPin(), nullptr), S_OK);
  ASSERT_EQ(p.source->Pause(), S_OK);  // commits the allocator
  IMediaSample* s = nullptr;
  ASSERT_EQ(p.source->pin().GetEmptySample(&s, nullptr, nullptr, 0), S_OK);
  IMemInputPin& in = p.sink->pin();
  EXPECT_EQ(in.Receive(s), VFW_E_WRONG_STATE);
  p.sink->Pause();
  EXPECT_EQ(in.Receive(s), S_OK);
  in.ReceiveCanBlock();
  p.sink->pin().BeginFlush();
  int32_t processed = 7;
  IMediaSample* two[] = {s, s};
  EXPECT_EQ(in.ReceiveMultiple(two, 2, &processed), S_FALSE);
  EXPECT_EQ(processed, 0);
  p.sink->pin().EndFlush();
  EXPECT_EQ(in.ReceiveMultiple(two, 2, &processed), S_OK);
  EXPECT_EQ(processed, 2);

  s->SetMediaType(p.source->offered[2]);  // C: refused
  EXPECT_EQ(in.Receive(s), VFW_E_INVALIDMEDIATYPE);
  s->SetMediaType(nullptr);
  EXPECT_EQ(in.Receive(s), VFW_E_RUNTIME_ERROR);
  EXPECT_EQ(p.sink->endOfStream.IsSet(), true);
  ASSERT_EQ(graph.events.size(), 1u);  // reported once
  EXPECT_EQ(graph.events[0].code, EC_ERRORABORT);
  EXPECT_EQ(graph.events[0].p1, VFW_E_TYPE_NOT_ACCEPTED);
  p.sink->pin().EndFlush();
  EXPECT_EQ(in.Receive(s), S_OK);

  // The type copy read from a sample without IMediaSample2 is the pin's: freed at the
  // next sample, or with the pin. A stop leaves it: the streaming thread may still be
  // inside Receive, replacing it.
  s->SetMediaType(p.source->offered[1]);
  PlainSample plain(s);
  const int before = LiveTaskMemoryCount();
  EXPECT_EQ(in.Receive(&plain), S_OK);
  EXPECT_EQ(LiveTaskMemoryCount(), before + 2);
  s->SetMediaType(nullptr);
  EXPECT_EQ(in.Receive(&plain), S_OK);
  EXPECT_EQ(LiveTaskMemoryCount(), before - 2);
  s->SetMediaType(p.source->offered[1]);
  EXPECT_EQ(in.Receive(&plain), S_OK);
  s->Release();  // and its own copy with it
  p.sink->Stop();
  EXPECT_EQ(LiveTaskMemoryCount(), before);
  p.sink->JoinFilterGraph(nullptr, nullptr);
}

TEST_F(Pins, AStreamingThreadDeliversEveryByteInOrderAndStopsWhileBlocked) {
  for (bool blocked : {false, true}) {
    Pair p;
    p.source->bufferCount = 3;
    p.source->bufferSize = 1000;
    p.source->samplesToPush = 50;
    p.sink->holdSamples = blocked;
    ASSERT_EQ(p.source->pin().Connect(p.sink->pin().AsPin(), nullptr), S_OK);
    ASSERT_EQ(p.sink->Run(0), S_OK);
    ASSERT_EQ(p.source->Run(0), S_OK);
    if (!blocked) {
      ASSERT_EQ(WaitForObject(&p.sink->endOfStream, kInfinite), 0);
      ASSERT_EQ(p.sink->bytes.size(), 50000u);
      for (size_t i = 0; i < p.sink->bytes.size(); ++i) {
        ASSERT_EQ(p.sink->bytes[i], static_cast<uint8_t>(i * 7)) << i;
      }
      continue;
    }
    // The sink keeps every sample: the source waits for a fourth.
    auto* allocator = static_cast<D_CAllocatorBase*>(p.source->pin().Allocator());
    while (allocator->WaitingCount() == 0) HostSleep(0);
    EXPECT_EQ(p.source->Stop(), S_OK);  // returns, and the thread is joined
    EXPECT_EQ(p.source->lastPushResult.load(), VFW_E_NOT_COMMITTED);
    EXPECT_EQ(p.source->pushed.load(), 3);
    p.sink->ReleaseHeld();
  }
}
}  // namespace
