// The position pass-through: every call reaches the filter upstream, a rate of 0 never
// does, and the renderer's variant answers the current position from its sample.
#include <string>
#include <vector>

#include "filters/render_pos_pass_thru.h"
#include "filters/system_allocator.h"
#include "filters/virtual_mem_allocator.h"
#include "host/com/class_registry.h"
#include "tests/filters/framework_fixture.h"

namespace {
using Position = FrameworkTest;

// The upstream filter's seeking, recording each call it gets.
struct Upstream final : IMediaSeeking, IMediaPosition {
  std::vector<std::string> calls;
  HRESULT Log(const char* name) {
    calls.push_back(name);
    return S_OK;
  }
  HRESULT QueryInterface(REFIID iid, void** out) override {
    if (iid == IID_IMediaSeeking) *out = static_cast<IMediaSeeking*>(this);
    else if (iid == IID_IMediaPosition) *out = static_cast<IMediaPosition*>(this);
    else return *out = nullptr, E_NOINTERFACE;
    return S_OK;
  }
  uint32_t AddRef() override { return 2; }
  uint32_t Release() override { return 1; }
  HRESULT GetCapabilities(uint32_t*) override { return Log("GetCapabilities"); }
  HRESULT CheckCapabilities(uint32_t*) override { return Log("CheckCapabilities"); }
  HRESULT IsFormatSupported(const GUID*) override { return Log("IsFormatSupported"); }
  HRESULT QueryPreferredFormat(GUID*) override { return Log("QueryPreferredFormat"); }
  HRESULT GetTimeFormat(GUID*) override { return Log("GetTimeFormat"); }
  HRESULT IsUsingTimeFormat(const GUID*) override { return Log("IsUsingTimeFormat"); }
  HRESULT SetTimeFormat(const GUID*) override { return Log("SetTimeFormat"); }
  HRESULT GetDuration(int64_t*) override { return Log("GetDuration"); }
  HRESULT GetStopPosition(int64_t* p) override { return *p = 777, Log("GetStopPosition"); }
  HRESULT GetCurrentPosition(int64_t* p) override { return *p = 555, Log("GetCurrentPosition"); }
  HRESULT ConvertTimeFormat(int64_t* t, const GUID*, int64_t v, const GUID*) override {
    return *t = v * 2, Log("ConvertTimeFormat");
  }
  HRESULT SetPositions(int64_t*, uint32_t, int64_t*, uint32_t) override { return Log("SetPositions"); }
  HRESULT GetPositions(int64_t*, int64_t*) override { return Log("GetPositions"); }
  HRESULT GetAvailable(int64_t*, int64_t*) override { return Log("GetAvailable"); }
  HRESULT SetRate(double) override { return Log("SetRate"); }
  HRESULT GetRate(double*) override { return Log("GetRate"); }
  HRESULT GetPreroll(int64_t*) override { return Log("GetPreroll"); }
  HRESULT GetTypeInfoCount(uint32_t*) override { return E_NOTIMPL; }
  HRESULT GetTypeInfo(uint32_t, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  HRESULT GetIDsOfNames(REFIID, char16_t**, uint32_t, LCID, DISPID*) override { return E_NOTIMPL; }
  HRESULT Invoke(DISPID, REFIID, LCID, uint16_t, DISPPARAMS*, VARIANT*, EXCEPINFO*, uint32_t*) override {
    return E_NOTIMPL;
  }
  HRESULT get_Duration(REFTIME*) override { return Log("get_Duration"); }
  HRESULT put_CurrentPosition(REFTIME) override { return Log("put_CurrentPosition"); }
  HRESULT get_CurrentPosition(REFTIME*) override { return Log("get_CurrentPosition"); }
  HRESULT get_StopTime(REFTIME*) override { return Log("get_StopTime"); }
  HRESULT put_StopTime(REFTIME) override { return Log("put_StopTime"); }
  HRESULT get_PrerollTime(REFTIME*) override { return Log("get_PrerollTime"); }
  HRESULT put_PrerollTime(REFTIME) override { return Log("put_PrerollTime"); }
  HRESULT put_Rate(double) override { return Log("put_Rate"); }
  HRESULT get_Rate(double*) override { return Log("get_Rate"); }
  HRESULT CanSeekForward(int32_t*) override { return Log("CanSeekForward"); }
  HRESULT CanSeekBackward(int32_t*) override { return Log("CanSeekBackward"); }
};

// A pin whose only use here is its peer; the peer answers with the upstream seeking.
struct Pin final : IPin {
  IPin* peer = nullptr;
  Upstream* upstream = nullptr;
  HRESULT QueryInterface(REFIID iid, void** out) override {
    if (upstream && iid != IID_IPin) return upstream->QueryInterface(iid, out);
    return *out = nullptr, E_NOINTERFACE;
  }
  uint32_t AddRef() override { return 2; }
  uint32_t Release() override { return 1; }
  HRESULT ConnectedTo(IPin** pin) override {
    *pin = peer;
    return peer ? S_OK : VFW_E_NOT_CONNECTED;
  }
  HRESULT Connect(IPin*, const AM_MEDIA_TYPE*) override { return E_NOTIMPL; }
  HRESULT ReceiveConnection(IPin*, const AM_MEDIA_TYPE*) override { return E_NOTIMPL; }
  HRESULT Disconnect() override { return E_NOTIMPL; }
  HRESULT ConnectionMediaType(AM_MEDIA_TYPE*) override { return E_NOTIMPL; }
  HRESULT QueryPinInfo(PIN_INFO*) override { return E_NOTIMPL; }
  HRESULT QueryDirection(PIN_DIRECTION*) override { return E_NOTIMPL; }
  HRESULT QueryId(char16_t**) override { return E_NOTIMPL; }
  HRESULT QueryAccept(const AM_MEDIA_TYPE*) override { return E_NOTIMPL; }
  HRESULT EnumMediaTypes(IEnumMediaTypes**) override { return E_NOTIMPL; }
  HRESULT QueryInternalConnections(IPin**, uint32_t*) override { return E_NOTIMPL; }
  HRESULT EndOfStream() override { return E_NOTIMPL; }
  HRESULT BeginFlush() override { return E_NOTIMPL; }
  HRESULT EndFlush() override { return E_NOTIMPL; }
  HRESULT NewSegment(REFERENCE_TIME, REFERENCE_TIME, double) override { return E_NOTIMPL; }
};

// Every published call once, in order; a rate of 0 in between that must not arrive.
std::vector<HRESULT> CallEverything(IMediaSeeking* s, IMediaPosition* p) {
  uint32_t u = 0;
  GUID g{};
  int64_t a = 0, b = 0;
  double r = 0;
  REFTIME t = 0;
  int32_t i = 0;
  return {s->GetCapabilities(&u), s->CheckCapabilities(&u), s->IsFormatSupported(&g),
          s->QueryPreferredFormat(&g), s->GetTimeFormat(&g), s->IsUsingTimeFormat(&g), s->SetTimeFormat(&g),
          s->GetDuration(&a), s->GetStopPosition(&a), s->GetCurrentPosition(&a),
          s->ConvertTimeFormat(&a, nullptr, 1, nullptr), s->SetPositions(&a, 1, &b, 1), s->GetPositions(&a, &b),
          s->GetAvailable(&a, &b), s->SetRate(0.0), s->SetRate(2.0), s->GetRate(&r), s->GetPreroll(&a),
          p->get_Duration(&t), p->put_CurrentPosition(1), p->get_CurrentPosition(&t), p->get_StopTime(&t),
          p->put_StopTime(1), p->get_PrerollTime(&t), p->put_PrerollTime(1), p->put_Rate(0.0), p->put_Rate(1.5),
          p->get_Rate(&r), p->CanSeekForward(&i), p->CanSeekBackward(&i)};
}

TEST_F(Position, EveryCallReachesUpstreamExceptARateOfZero) {
  RegisterFrameworkClasses();
  Upstream upstream;
  Pin peer, own;
  peer.upstream = &upstream;
  IUnknown* object = nullptr;
  ASSERT_EQ(CoCreateInstance(CLSID_SeekingPassThru, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown,
                             reinterpret_cast<void**>(&object)),
            S_OK);
  ISeekingPassThru* init = nullptr;
  IMediaSeeking* seeking = nullptr;
  IMediaPosition* position = nullptr;
  void* dispatch = nullptr;
  ASSERT_EQ(object->QueryInterface(IID_ISeekingPassThru, reinterpret_cast<void**>(&init)), S_OK);
  EXPECT_EQ(object->QueryInterface(IID_IMediaSeeking, reinterpret_cast<void**>(&seeking)), E_NOINTERFACE);
  ASSERT_EQ(init->Init(0, &own), S_OK);
  EXPECT_EQ(init->Init(0, &own), E_FAIL);
  ASSERT_EQ(object->QueryInterface(IID_IMediaSeeking, reinterpret_cast<void**>(&seeking)), S_OK);
  ASSERT_EQ(seeking->QueryInterface(IID_IMediaPosition, reinterpret_cast<void**>(&position)), S_OK);
  EXPECT_EQ(position->QueryInterface(IID_IDispatch, &dispatch), E_NOINTERFACE);
  IUnknown *fromSeeking = nullptr, *fromPosition = nullptr;
  seeking->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&fromSeeking));
  position->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&fromPosition));
  EXPECT_EQ(fromSeeking, object);
  EXPECT_EQ(fromPosition, object);
  fromSeeking->Release();
  fromPosition->Release();

  // Unconnected: nothing to forward to, but a rate of 0 is refused first.
  for (HRESULT hr : CallEverything(seeking, position)) {
    EXPECT_TRUE(hr == E_NOTIMPL || hr == E_INVALIDARG);
  }
  own.peer = &peer;
  std::vector<HRESULT> results = CallEverything(seeking, position);
  EXPECT_EQ(results[14], E_INVALIDARG);
  EXPECT_EQ(results[25], E_INVALIDARG);
  EXPECT_EQ(upstream.calls,
            (std::vector<std::string>{"GetCapabilities", "CheckCapabilities", "IsFormatSupported",
                                      "QueryPreferredFormat", "GetTimeFormat", "IsUsingTimeFormat",
                                      "SetTimeFormat", "GetDuration", "GetStopPosition", "GetCurrentPosition",
                                      "ConvertTimeFormat", "SetPositions", "GetPositions", "GetAvailable",
                                      "SetRate", "GetRate", "GetPreroll", "get_Duration", "put_CurrentPosition",
                                      "get_CurrentPosition", "get_StopTime", "put_StopTime", "get_PrerollTime",
                                      "put_PrerollTime", "put_Rate", "get_Rate", "CanSeekForward",
                                      "CanSeekBackward"}));

  position->Release();
  seeking->Release();
  init->Release();
  object->Release();
}

TEST_F(Position, TheRenderersCurrentPositionComesFromItsSampleUntilCleared) {
  Upstream upstream;
  Pin peer, own;
  peer.upstream = &upstream;
  own.peer = &peer;
  HRESULT hr = S_OK;
  auto* pass = new D_CRenderPosPassThru("test", nullptr, &hr, &own);
  pass->InnerAddRef();
  ASSERT_EQ(hr, S_OK);
  int64_t now = 0;
  EXPECT_EQ(pass->EndOfStreamTimes(), E_FAIL);
  ASSERT_EQ(pass->GetCurrentPosition(&now), S_OK);
  EXPECT_EQ(now, 555);  // nothing recorded: asked upstream

  HRESULT made = S_OK;
  auto* allocator = new D_CVirtualMemAllocator("test", nullptr, &made);
  allocator->InnerAddRef();
  ALLOCATOR_PROPERTIES request{1, 16, 1, 0}, actual{};
  ASSERT_EQ(allocator->SetProperties(&request, &actual), S_OK);
  ASSERT_EQ(allocator->Commit(), S_OK);
  IMediaSample* sample = nullptr;
  ASSERT_EQ(allocator->GetBuffer(&sample, nullptr, nullptr, 0), S_OK);
  EXPECT_EQ(pass->RecordSampleTimes(sample), VFW_E_SAMPLE_TIME_NOT_SET);
  REFERENCE_TIME start = 100, stop = 300;
  sample->SetTime(&start, &stop);
  ASSERT_EQ(pass->RecordSampleTimes(sample), S_OK);
  upstream.calls.clear();
  ASSERT_EQ(pass->GetCurrentPosition(&now), S_OK);
  EXPECT_EQ(now, 200);  // the sample's start, converted upstream
  EXPECT_EQ(upstream.calls, std::vector<std::string>{"ConvertTimeFormat"});
  REFERENCE_TIME end = 0;
  ASSERT_EQ(pass->LastSampleTimes(&start, &end), S_OK);
  EXPECT_EQ(end, 600);
  // After a seek the samples count from the segment's start: the position is the media's.
  ASSERT_EQ(pass->RecordSampleTimes(sample, 1000), S_OK);
  ASSERT_EQ(pass->LastSampleTimes(&start, &end), S_OK);
  EXPECT_EQ(start, 2200);
  EXPECT_EQ(end, 2600);
  ASSERT_EQ(pass->EndOfStreamTimes(), S_OK);
  ASSERT_EQ(pass->GetCurrentPosition(&now), S_OK);
  EXPECT_EQ(now, 1554);  // the stop position, converted
  pass->ClearSampleTimes();
  ASSERT_EQ(pass->GetCurrentPosition(&now), S_OK);
  EXPECT_EQ(now, 555);

  sample->Release();
  allocator->Decommit();
  allocator->InnerRelease();
  pass->InnerRelease();
}

}  // namespace
