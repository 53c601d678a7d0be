// Samples through the transform base, an in-place filter whose allocators differ from
// its neighbours', and the sample grabber: every byte once and in order, what a copy
// keeps, what the grabber's callback sees, and the end-of-stream and type rules.
#include <cstring>

#include "filters/in_place_filter.h"
#include "filters/in_place_out_pin.h"
#include "filters/sample_grabber.h"
#include "filters/transform_in_pin.h"
#include "filters/transform_out_pin.h"
#include "host/kernel/wide_string.h"
#include "tests/filters/framework_fixture.h"
#include "tests/filters/test_filters.h"

namespace {

// Inverts every byte into a sample of its own; every fifth sample is dropped.
class InvertTransform final : public D_CTransformFilterBase {
 public:
  InvertTransform() : D_CTransformFilterBase("invert", nullptr, GUID_NULL) {}
  HRESULT AcceptsInputType(const AM_MEDIA_TYPE*) override { return S_OK; }
  HRESULT AcceptsTransform(const AM_MEDIA_TYPE* in, const AM_MEDIA_TYPE* out) override {
    return MediaTypesEqual(*in, *out) ? S_OK : S_FALSE;
  }
  HRESULT SizeOutputBuffers(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* p) override {
    p->cBuffers = 2;
    p->cbBuffer = 256;
    ALLOCATOR_PROPERTIES actual;
    return allocator->SetProperties(p, &actual);
  }
  HRESULT ProposedOutputType(int32_t position, D_CMediaTypeRec* type) override {
    if (position != 0) return VFW_S_NO_MORE_ITEMS;
    return type->SetFrom(InputPin()->ConnectionType());
  }
  HRESULT TransformSample(IMediaSample* in, IMediaSample* out) override {
    if (++count % 5 == 0) return S_FALSE;
    uint8_t *from, *to;
    in->GetPointer(&from);
    out->GetPointer(&to);
    for (int32_t i = 0; i < in->GetActualDataLength(); ++i) to[i] = static_cast<uint8_t>(~from[i]);
    return out->SetActualDataLength(in->GetActualDataLength());
  }
  int count = 0;
};

// Adds 1 to every byte where it lies, recording what each sample carried.
class AddOneInPlace final : public D_CInPlaceFilter {
 public:
  AddOneInPlace() : D_CInPlaceFilter("add one", nullptr, GUID_NULL, true) {}
  HRESULT AcceptsInputType(const AM_MEDIA_TYPE*) override { return S_OK; }
  HRESULT ReceiveSample(IMediaSample* sample) override {
    IMediaSample* copy = AllocatorsDiffer() ? CopySample(sample) : nullptr;
    if (AllocatorsDiffer() && copy == nullptr) return E_UNEXPECTED;
    IMediaSample* passed = copy != nullptr ? copy : sample;
    copied = copy != nullptr;
    HRESULT hr = TransformInPlace(passed);
    if (hr == S_OK) hr = OutputPin()->DeliverSample(passed);
    if (copy != nullptr) copy->Release();
    return hr;
  }
  HRESULT TransformInPlace(IMediaSample* sample) override {
    IMediaSample2* s2;
    sample->QueryInterface(IID_IMediaSample2, reinterpret_cast<void**>(&s2));
    s2->GetProperties(sizeof last, reinterpret_cast<uint8_t*>(&last));
    s2->Release();
    if (last.pMediaType != nullptr) lastType = *last.pMediaType;  // the sample's goes with it
    for (int32_t i = 0; i < last.lActual; ++i) ++last.pbBuffer[i];
    return S_OK;
  }
  AM_SAMPLE2_PROPERTIES last{};
  D_CMediaTypeRec lastType;
  bool copied = false;
};

struct Grabbed {
  std::vector<REFERENCE_TIME> starts, stops;
  std::vector<int32_t> typeChanged;
  int refuseEvery = 0;
};

HRESULT Grab(IMediaSample*, REFERENCE_TIME* start, REFERENCE_TIME* stop, int32_t typeChanged, uintptr_t user) {
  auto* g = reinterpret_cast<Grabbed*>(user);
  g->starts.push_back(*start);
  g->stops.push_back(*stop);
  g->typeChanged.push_back(typeChanged);
  return g->refuseEvery != 0 && g->starts.size() % g->refuseEvery == 0 ? S_FALSE : S_OK;
}

IPin* Pin(D_CFilterBase* f, int i) { return f->PinAt(i)->AsPin(); }

class Transforms : public FrameworkTest {
 protected:
  Transforms() {
    D_CMediaTypeRec* t = new D_CMediaTypeRec;
    MakeTestType(*t, MEDIATYPE_Audio, MEDIASUBTYPE_PCM, 1);
    source->offered.push_back(t);
    t = new D_CMediaTypeRec;
    MakeTestType(*t, MEDIATYPE_Audio, MEDIASUBTYPE_RGB24, 2);
    source->offered.push_back(t);
    source->bufferSize = 64;
  }
  void TearDown() override {
    if (chain.empty()) chain = {source, sink};
    for (D_CFilterBase* f : chain) f->Stop();
    for (D_CFilterBase* f : chain) {
      for (int i = 0; i < f->PinCount(); ++i) f->PinAt(i)->DropConnection();
      f->JoinFilterGraph(nullptr, nullptr);
      f->AsBaseFilter()->Release();
    }
    FrameworkTest::TearDown();
  }
  // Connects each filter's last pin to the next one's first, upstream first.
  void Chain(std::vector<D_CFilterBase*> filters) {
    chain = filters;
    for (D_CFilterBase* f : chain) f->JoinFilterGraph(&graph, u"f");
    for (size_t i = 0; i + 1 < chain.size(); ++i) {
      ASSERT_EQ(Pin(chain[i], chain[i]->PinCount() - 1)->Connect(Pin(chain[i + 1], 0), nullptr), S_OK) << i;
    }
  }
  void Run() {
    for (auto f = chain.rbegin(); f != chain.rend(); ++f) ASSERT_EQ((*f)->Run(0), S_OK);
  }
  // Fills a sample of the source's allocator with `n` bytes counting from `first`.
  IMediaSample* SourceSample(int n, uint8_t first) {
    IMediaSample* s = nullptr;
    EXPECT_EQ(source->pin().GetEmptySample(&s, nullptr, nullptr, 0), S_OK);
    uint8_t* p;
    s->GetPointer(&p);
    for (int i = 0; i < n; ++i) p[i] = static_cast<uint8_t>(first + i);
    s->SetActualDataLength(n);
    return s;
  }

  FakeGraph graph;
  TestSource* source = MakeReferenced<TestSource>();
  TestSink* sink = MakeReferenced<TestSink>();
  std::vector<D_CFilterBase*> chain;
};

}  // namespace

TEST_F(Transforms, TheTransformBaseInvertsEveryKeptSampleAndReportsTheFirstDrop) {
  auto* invert = MakeReferenced<InvertTransform>();
  IPin* found = nullptr;
  EXPECT_EQ(invert->FindPin(u"Input", &found), VFW_E_NOT_FOUND);
  ASSERT_EQ(invert->FindPin(u"Out", &found), S_OK);
  EXPECT_EQ(found, Pin(invert, 1));
  found->Release();
  EXPECT_EQ(WideCompare(invert->PinAt(0)->Name(), u"XForm In"), 0);
  Chain({source, invert, sink});
  source->samplesToPush = 12;
  Run();
  ASSERT_EQ(WaitForObject(&sink->endOfStream, 10000), 0);
  std::vector<uint8_t> want;
  for (int k = 0; k < 12; ++k) {
    if (k % 5 == 4) continue;
    for (int i = 0; i < 64; ++i) want.push_back(static_cast<uint8_t>(~((k * 64 + i) * 7)));
  }
  EXPECT_EQ(sink->bytes, want);
  EXPECT_EQ(graph.Count(EC_QUALITY_CHANGE), 1);
  // Samples 4 and 9 were dropped: the next one each time, and only it, is marked.
  std::vector<bool> marked(10, false);
  marked[4] = marked[8] = true;
  EXPECT_EQ(sink->discontinuities, marked);
}

TEST_F(Transforms, ACopyAcrossDifferingAllocatorsKeepsEverythingButTheBuffer) {
  auto* add = MakeReferenced<AddOneInPlace>();
  Chain({source, add, sink});
  ASSERT_TRUE(add->AllocatorsDiffer());  // the fake graph carries out no reconnection
  EXPECT_EQ(graph.reconnected, Pin(add, 0));
  Run();
  IMediaSample* s = SourceSample(40, 10);
  REFERENCE_TIME start = 500, stop = 900;
  int64_t mediaStart = 7, mediaStop = 9;
  s->SetTime(&start, &stop);
  s->SetMediaTime(&mediaStart, &mediaStop);
  s->SetSyncPoint(1);
  s->SetDiscontinuity(1);
  s->SetPreroll(1);
  D_CMediaTypeRec changed;
  MakeTestType(changed, MEDIATYPE_Audio, MEDIASUBTYPE_PCM, 1);
  s->SetMediaType(&changed);
  uint8_t* original;
  s->GetPointer(&original);
  ASSERT_EQ(source->pin().DeliverSample(s), S_OK);
  s->Release();
  EXPECT_TRUE(add->copied);
  const AM_SAMPLE2_PROPERTIES& p = add->last;
  EXPECT_NE(p.pbBuffer, original);
  EXPECT_EQ(p.lActual, 40);
  EXPECT_EQ(p.tStart, 500);
  EXPECT_EQ(p.tStop, 900);
  const uint32_t flags = AM_SAMPLE_SPLICEPOINT | AM_SAMPLE_PREROLL | AM_SAMPLE_DATADISCONTINUITY |
                         AM_SAMPLE_TYPECHANGED | AM_SAMPLE_TIMEVALID | AM_SAMPLE_STOPVALID;
  EXPECT_EQ(p.dwSampleFlags, flags);
  EXPECT_TRUE(changed.Equals(add->lastType));
  std::vector<uint8_t> want;
  for (int i = 0; i < 40; ++i) want.push_back(static_cast<uint8_t>(11 + i));
  EXPECT_EQ(sink->bytes, want);
  // While the copies run, the output takes only the type it has.
  D_CMediaTypeRec other;
  MakeTestType(other, MEDIATYPE_Audio, MEDIASUBTYPE_RGB24, 2);
  EXPECT_EQ(Pin(add, 1)->QueryAccept(&other), S_FALSE);
  EXPECT_EQ(Pin(add, 1)->QueryAccept(&changed), S_OK);
  add->Stop();
  EXPECT_EQ(Pin(add, 1)->QueryAccept(&other), S_OK);
}

TEST_F(Transforms, TheGrabberSeesEachSampleOnceWithSegmentTimesAndItsRefusalsDrop) {
  HRESULT hr = E_FAIL;
  D_CSampleGrabber* grabber = CreateSampleGrabber(nullptr, &hr);
  ASSERT_EQ(hr, S_OK);
  grabber->AsBaseFilter()->AddRef();
  D_CMediaTypeRec wanted;
  wanted.SetMajorType(MEDIATYPE_Audio);
  wanted.SetSubtype(MEDIASUBTYPE_PCM);
  grabber->SetAcceptedType(&wanted);
  Grabbed grabbed;
  grabbed.refuseEvery = 3;
  grabber->SetSampleCallback(Grab, reinterpret_cast<uintptr_t>(&grabbed));
  Chain({source, grabber, sink});
  Run();
  ASSERT_EQ(source->pin().DeliverNewSegment(1000, 1000000, 1.0), S_OK);
  std::vector<uint8_t> want;
  for (int k = 0; k < 7; ++k) {
    IMediaSample* s = SourceSample(16, static_cast<uint8_t>(k * 16));
    REFERENCE_TIME start = k * 100, stop = start + 100;
    if (k != 5) s->SetTime(&start, &stop);  // one without times
    HRESULT result = source->pin().DeliverSample(s);
    s->Release();
    EXPECT_EQ(result, (k + 1) % 3 == 0 ? S_FALSE : S_OK) << k;
    if ((k + 1) % 3 == 0) continue;
    for (int i = 0; i < 16; ++i) want.push_back(static_cast<uint8_t>(k * 16 + i));
  }
  EXPECT_EQ(sink->bytes, want);
  ASSERT_EQ(grabbed.starts.size(), 7u);
  for (int k = 0; k < 7; ++k) {
    EXPECT_EQ(grabbed.starts[k], k == 5 ? 1000 : 1000 + k * 100) << k;
    EXPECT_EQ(grabbed.stops[k], k == 5 ? 1000 : 1100 + k * 100) << k;
    EXPECT_EQ(grabbed.typeChanged[k], k == 0 ? 1 : 0) << k;
  }
  ASSERT_EQ(source->pin().DeliverEndOfStream(), S_OK);
  EXPECT_EQ(WaitForObject(&sink->endOfStream, 0), 0);
}

// The bytes the callback saw.
struct Landed {
  std::vector<uint8_t> bytes;
};

HRESULT Land(IMediaSample* sample, REFERENCE_TIME*, REFERENCE_TIME*, int32_t, uintptr_t user) {
  auto* landed = reinterpret_cast<Landed*>(user);
  uint8_t* data = nullptr;
  sample->GetPointer(&data);
  landed->bytes.insert(landed->bytes.end(), data, data + sample->GetActualDataLength());
  return S_OK;
}

TEST_F(Transforms, TheGrabberCanHaveTheSourceWriteIntoTheCallersOwnBuffer) {
  HRESULT hr = E_FAIL;
  D_CSampleGrabber* grabber = CreateSampleGrabber(nullptr, &hr);
  grabber->AsBaseFilter()->AddRef();
  std::vector<uint8_t> own(64, 0);
  EXPECT_EQ(grabber->SetOutputBuffer(ALLOCATOR_PROPERTIES{2, 64, 1, 0}, own.data()), E_INVALIDARG);
  EXPECT_EQ(grabber->SetOutputBuffer(ALLOCATOR_PROPERTIES{1, 64, 1, 0}, nullptr), E_POINTER);
  ASSERT_EQ(grabber->SetOutputBuffer(ALLOCATOR_PROPERTIES{1, 64, 1, 0}, own.data()), S_OK);
  Landed landed;
  grabber->SetSampleCallback(Land, reinterpret_cast<uintptr_t>(&landed));
  source->bufferCount = 1;  // the caller's buffer holds one sample
  Chain({source, grabber, sink});
  EXPECT_EQ(grabber->SetOutputBuffer(ALLOCATOR_PROPERTIES{1, 64, 1, 0}, own.data()), E_INVALIDARG);
  Run();
  std::vector<uint8_t> want;
  for (int k = 0; k < 3; ++k) {
    IMediaSample* s = SourceSample(40, static_cast<uint8_t>(k * 50));
    uint8_t* data = nullptr;
    s->GetPointer(&data);
    EXPECT_EQ(data, own.data()) << "the source filled a buffer of its own";
    ASSERT_EQ(source->pin().DeliverSample(s), S_OK);
    s->Release();
    for (int i = 0; i < 40; ++i) want.push_back(static_cast<uint8_t>(k * 50 + i));
    EXPECT_EQ(own[39], static_cast<uint8_t>(k * 50 + 39));
  }
  EXPECT_EQ(landed.bytes, want);
  EXPECT_EQ(sink->bytes, want);
}

TEST_F(Transforms, PauseWithoutAnInputSendsTheEndOnceUntilStop) {
  HRESULT hr;
  D_CSampleGrabber* grabber = CreateSampleGrabber(nullptr, &hr);
  grabber->AsBaseFilter()->AddRef();
  Chain({source, grabber, sink});
  ASSERT_EQ(source->pin().Disconnect(), S_OK);
  ASSERT_EQ(Pin(grabber, 0)->Disconnect(), S_OK);
  struct Step {
    bool stop;
    bool endSent;
  } steps[] = {{false, true}, {false, false}, {true, true}};
  for (const Step& step : steps) {
    if (step.stop) grabber->Stop();
    sink->endOfStream.Reset();
    grabber->Pause();
    EXPECT_EQ(sink->endOfStream.IsSet(), step.endSent);
  }
}
