// The base filter's states, pins, graph membership and both enumerators, on a filter
// whose pins report scripted results.
#include <string>

#include "filters/enumerator_unknown.h"
#include "filters/filter_base.h"
#include "filters/input_pin_base.h"
#include "tests/filters/framework_fixture.h"
#include "tests/filters/test_filters.h"

namespace {
class BankFilter;

// A pin whose activation results are scripted and that can be marked connected.
class StubPin final : public D_CInputPinBase {
 public:
  StubPin(BankFilter* filter, CriticalSection* lock, const char16_t* name);
  HRESULT AcceptsType(const AM_MEDIA_TYPE*) override { return S_OK; }
  HRESULT OnActivate() override { return calls += "A", activate; }
  HRESULT OnDeactivate() override { return calls += "D", deactivate; }
  HRESULT OnRun(REFERENCE_TIME) override { return calls += "R", run; }
  void MarkConnected(IPin* peer) { SetConnected(peer); }
  HRESULT activate = S_OK, deactivate = S_OK, run = S_OK;
  std::string calls;
};

// Three stub pins; `missing` makes PinAt give null for one index, as a filter that
// makes its pins lazily may.
class BankFilter final : public D_CFilterBase {
 public:
  BankFilter()
      : D_CFilterBase("bank", nullptr, &lock_, CLSID_SampleGrabber),
        pins_{{this, &lock_, u"A"}, {this, &lock_, u"B"}, {this, &lock_, u"C"}} {}
  int32_t PinCount() override { return count; }
  D_CPinBase* PinAt(int32_t i) override { return i == missing || i < 0 || i >= 3 ? nullptr : &pins_[i]; }
  HRESULT Pause() override { return ++pauses, D_CFilterBase::Pause(); }
  StubPin& pin(int i) { return pins_[i]; }
  void BumpPinList(int32_t newCount) { count = newCount, ++pinVersion_; }
  int32_t count = 2;
  int32_t missing = -1;
  int pauses = 0;

 private:
  CriticalSection lock_;
  StubPin pins_[3];
};

StubPin::StubPin(BankFilter* filter, CriticalSection* lock, const char16_t* name)
    : D_CInputPinBase("stub", filter, lock, nullptr, name) {}

using Filters = FrameworkTest;

TEST_F(Filters, StateChangesReachConnectedPinsInOrderAndKeepTheFirstFailure) {
  auto* peer = MakeReferenced<BankFilter>();
  struct Case {
    const char* what;
    HRESULT activate1, run0, deactivate0, deactivate1;
    int32_t missing;
    HRESULT pause, run, stop;
    FILTER_STATE afterRun;
    const char* calls0;
    const char* calls1;
  } cases[] = {
      {"all well", S_OK, S_OK, S_OK, S_OK, -1, S_OK, S_OK, S_OK, State_Running, "ARD", "ARD"},
      {"second pin refuses to activate", E_FAIL, S_OK, S_OK, S_OK, -1, E_FAIL, E_FAIL, S_OK, State_Stopped, "A", "A"},
      {"first pin refuses to run", S_OK, E_ABORT, S_OK, S_OK, -1, S_OK, E_ABORT, S_OK, State_Paused, "ARD", "AD"},
      {"both fail to stop", S_OK, S_OK, E_ABORT, E_FAIL, -1, S_OK, S_OK, E_ABORT, State_Running, "ARD", "ARD"},
      {"a pin that could not be made", S_OK, S_OK, S_OK, S_OK, 1, E_OUTOFMEMORY, E_OUTOFMEMORY, S_OK, State_Stopped,
       "A", ""},
  };
  for (const Case& c : cases) {
    auto* f = MakeReferenced<BankFilter>();
    f->missing = c.missing;
    for (int i = 0; i < 2; ++i) f->pin(i).MarkConnected(&peer->pin(0));
    f->pin(1).activate = c.activate1;
    f->pin(0).run = c.run0;
    f->pin(0).deactivate = c.deactivate0;
    f->pin(1).deactivate = c.deactivate1;
    EXPECT_EQ(f->Pause(), c.pause) << c.what;
    EXPECT_EQ(f->Stop(), c.stop) << c.what;
    f->pin(0).calls.clear();
    f->pin(1).calls.clear();
    EXPECT_EQ(f->Run(1234), c.run) << c.what;
    EXPECT_EQ(f->pauses, 2) << c.what;  // Run from stopped went through the derived Pause
    EXPECT_EQ(f->State(), c.afterRun) << c.what;
    EXPECT_EQ(f->Stop(), c.stop) << c.what;
    EXPECT_EQ(f->State(), State_Stopped) << c.what;
    EXPECT_EQ(f->pin(0).calls, c.calls0) << c.what;
    EXPECT_EQ(f->pin(1).calls, c.calls1) << c.what;
    for (int i = 0; i < 2; ++i) f->pin(i).MarkConnected(nullptr);
    f->AsBaseFilter()->Release();
  }
  peer->AsBaseFilter()->Release();
}

TEST_F(Filters, NamesGraphEventsAndPinLookup) {
  auto* f = MakeReferenced<BankFilter>();
  FILTER_INFO info;
  ASSERT_EQ(f->QueryFilterInfo(&info), S_OK);
  EXPECT_EQ(info.achName[0], 0);
  EXPECT_EQ(info.pGraph, nullptr);
  EXPECT_EQ(f->SendGraphEvent(EC_COMPLETE, 0, 0), E_NOTIMPL);
  REFERENCE_TIME now;
  EXPECT_EQ(f->StreamTimeNow(&now), VFW_E_NO_CLOCK);

  FakeGraph graph;
  std::u16string longName(200, u'x');
  ASSERT_EQ(f->JoinFilterGraph(&graph, longName.c_str()), S_OK);
  EXPECT_EQ(graph.refs.load(), 1u);  // the graph is kept without a reference
  ASSERT_EQ(f->QueryFilterInfo(&info), S_OK);
  EXPECT_EQ(std::u16string(info.achName), longName.substr(0, 127));
  EXPECT_EQ(info.pGraph, &graph);
  info.pGraph->Release();
  EXPECT_EQ(f->SendGraphEvent(EC_COMPLETE, 5, 6), S_OK);
  ASSERT_EQ(graph.events.size(), 1u);
  EXPECT_EQ(graph.events[0].p2, reinterpret_cast<intptr_t>(f->AsBaseFilter()));
  EXPECT_EQ(f->RequestReconnect(f->pin(0).AsPin(), nullptr), S_OK);
  EXPECT_EQ(graph.reconnected, f->pin(0).AsPin());

  IPin* pin = reinterpret_cast<IPin*>(1);
  EXPECT_EQ(f->FindPin(u"Z", &pin), VFW_E_NOT_FOUND);
  EXPECT_EQ(pin, nullptr);
  f->missing = 0;
  ASSERT_EQ(f->FindPin(u"B", &pin), S_OK);  // the null pin is skipped
  EXPECT_EQ(pin, f->pin(1).AsPin());
  pin->Release();
  EXPECT_EQ(f->pin(1).ReceiveCanBlock(), S_OK);  // no output pins
  f->JoinFilterGraph(nullptr, nullptr);
  EXPECT_EQ(f->SendGraphEvent(EC_COMPLETE, 0, 0), E_NOTIMPL);
  EXPECT_EQ(f->Register(), S_FALSE);
  f->AsBaseFilter()->Release();
}

TEST_F(Filters, ThePinEnumeratorNeverHandsAPinOutTwiceNorKeepsAFailedBatch) {
  auto* f = MakeReferenced<BankFilter>();
  IEnumPins* pins = nullptr;
  ASSERT_EQ(f->EnumPins(&pins), S_OK);
  IPin* got[3] = {};
  uint32_t fetched = 9;
  EXPECT_EQ(pins->Next(2, got, nullptr), E_INVALIDARG);
  ASSERT_EQ(pins->Next(1, got, nullptr), S_OK);
  EXPECT_EQ(got[0], f->pin(0).AsPin());
  got[0]->Release();
  f->BumpPinList(3);  // picked up again from the first pin, which was already given
  EXPECT_EQ(pins->Next(3, got, &fetched), S_FALSE);
  EXPECT_EQ(fetched, 2u);
  EXPECT_EQ(got[0], f->pin(1).AsPin());
  EXPECT_EQ(got[1], f->pin(2).AsPin());
  got[0]->Release();
  got[1]->Release();
  EXPECT_EQ(pins->Skip(1), S_FALSE);

  IEnumPins* clone = nullptr;
  ASSERT_EQ(pins->Reset(), S_OK);
  ASSERT_EQ(pins->Clone(&clone), S_OK);
  f->missing = 1;
  EXPECT_EQ(clone->Next(3, got, &fetched), VFW_E_ENUM_OUT_OF_SYNC);
  EXPECT_EQ(fetched, 0u);
  EXPECT_EQ(got[0], nullptr);  // pin 0 was taken back
  f->missing = -1;
  ASSERT_EQ(clone->Next(3, got, &fetched), S_FALSE);  // position 2 now
  EXPECT_EQ(fetched, 1u);
  got[0]->Release();
  f->BumpPinList(3);
  EXPECT_EQ(clone->Skip(1), VFW_E_ENUM_OUT_OF_SYNC);
  IEnumPins* none = pins;
  EXPECT_EQ(clone->Clone(&none), VFW_E_ENUM_OUT_OF_SYNC);
  EXPECT_EQ(none, nullptr);
  clone->Release();
  pins->Release();
  EXPECT_EQ(LiveEnumeratorCount.load(), 0);
  f->AsBaseFilter()->Release();
  EXPECT_EQ(LiveObjectCount.load(), 0);
}

TEST_F(Filters, TheTypeEnumeratorFollowsThePinsTypeList) {
  auto* source = MakeReferenced<TestSource>();
  for (uint8_t tag : {1, 2}) {
    source->offered.push_back(new D_CMediaTypeRec);
    MakeTestType(*source->offered.back(), MEDIATYPE_Audio, MEDIASUBTYPE_PCM, tag);
  }
  IEnumMediaTypes* types = nullptr;
  ASSERT_EQ(source->pin().EnumMediaTypes(&types), S_OK);
  AM_MEDIA_TYPE* got[3] = {};
  uint32_t fetched = 0;
  EXPECT_EQ(types->Next(2, got, nullptr), E_INVALIDARG);
  ASSERT_EQ(types->Next(1, got, nullptr), S_OK);
  EXPECT_EQ(got[0]->pbFormat[0], 1);
  DeleteMediaTypeRecord(got[0]);
  types->Reset();
  EXPECT_EQ(types->Next(3, got, &fetched), S_FALSE);
  ASSERT_EQ(fetched, 2u);
  EXPECT_TRUE(source->offered[1]->Equals(*got[1]));
  DeleteMediaTypeRecord(got[0]);
  DeleteMediaTypeRecord(got[1]);
  EXPECT_EQ(types->Skip(1), S_FALSE);  // past the end
  types->Reset();
  EXPECT_EQ(types->Skip(2), S_OK);
  FailNextTaskMemoryAllocations(1);
  types->Reset();
  EXPECT_EQ(types->Next(1, got, &fetched), S_FALSE);  // no record could be had
  EXPECT_EQ(fetched, 0u);

  source->pin().BumpTypeList();
  EXPECT_EQ(types->Next(1, got, nullptr), VFW_E_ENUM_OUT_OF_SYNC);
  EXPECT_EQ(types->Skip(1), VFW_E_ENUM_OUT_OF_SYNC);
  EXPECT_EQ(types->Skip(0), S_OK);
  IEnumMediaTypes* clone = types;
  EXPECT_EQ(types->Clone(&clone), VFW_E_ENUM_OUT_OF_SYNC);
  EXPECT_EQ(clone, nullptr);
  types->Reset();
  ASSERT_EQ(types->Clone(&clone), S_OK);
  clone->Release();
  types->Release();
  source->AsBaseFilter()->Release();
}
}  // namespace
