// Render from the memory reader: the graph puts the MP3 decoder, the grabber and the
// default audio renderer in line; swapped for the null renderer, the deferred
// reconnections leave the grabber's sides with one type and one allocator, and the
// graph runs to its completion.
#include <cstring>

#include "filters/in_place_out_pin.h"
#include "filters/mem_reader.h"
#include "filters/mem_stream.h"
#include "filters/sample_grabber.h"
#include "filters/system/system_filters.h"
#include "filters/transform_in_pin.h"
#include "host/com/class_registry.h"
#include "tests/filters/framework_fixture.h"
#include "tests/sound/test_media.h"

namespace {

HRESULT CountBytes(IMediaSample* sample, REFERENCE_TIME*, REFERENCE_TIME*, int32_t, uintptr_t user) {
  *reinterpret_cast<int64_t*>(user) += sample->GetActualDataLength();
  return S_OK;
}

CLSID PeerClass(IPin* pin) {
  IPin* peer = nullptr;
  CLSID clsid = GUID_NULL;
  if (FAILED(pin->ConnectedTo(&peer))) return clsid;
  PIN_INFO info;
  peer->QueryPinInfo(&info);
  info.pFilter->GetClassID(&clsid);
  info.pFilter->Release();
  peer->Release();
  return clsid;
}

using GraphRender = FrameworkTest;

}  // namespace

TEST_F(GraphRender, ReaderDecoderGrabberRendererThenTheNullRenderer) {
  RegisterSystemFilters();
  Bytes mp3 = EncodeMp3(TestTone(44100, 2, 44100), 2, 44100, 128);
  D_CMemStream* stream = CreateMemStream(mp3.data(), static_cast<uint32_t>(mp3.size()), 0, kUnpacedStreamRate);
  D_CMediaTypeRec streamType, pcm;
  streamType.SetMajorType(MEDIATYPE_Stream);
  streamType.SetSubtype(MEDIASUBTYPE_MPEG1Audio);
  pcm.SetMajorType(MEDIATYPE_Audio);
  pcm.SetSubtype(MEDIASUBTYPE_PCM);
  D_CMemReader* reader = CreateMemReader(stream, &streamType, nullptr);
  D_CSampleGrabber* grabber = CreateSampleGrabber(nullptr, nullptr);
  reader->AsBaseFilter()->AddRef();
  grabber->AsBaseFilter()->AddRef();
  grabber->SetAcceptedType(&pcm);
  int64_t bytes = 0;
  grabber->SetSampleCallback(CountBytes, reinterpret_cast<uintptr_t>(&bytes));
  IGraphBuilder* graph = nullptr;
  IBaseFilter* nullRenderer = nullptr;
  ASSERT_EQ(CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_IGraphBuilder,
                             reinterpret_cast<void**>(&graph)), S_OK);
  ASSERT_EQ(CoCreateInstance(CLSID_NullRenderer, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter,
                             reinterpret_cast<void**>(&nullRenderer)), S_OK);
  ASSERT_EQ(graph->AddFilter(grabber->AsBaseFilter(), u"SampleGrabber"), S_OK);
  ASSERT_EQ(graph->AddFilter(reader->AsBaseFilter(), u"MemFile"), S_OK);
  ASSERT_EQ(graph->Render(reader->OutputPin().AsPin()), S_OK);

  IPin* grabberIn = grabber->PinAt(0)->AsPin();
  IPin* grabberOut = grabber->PinAt(1)->AsPin();
  EXPECT_EQ(PeerClass(grabberIn), CLSID_Mp3DecoderFilter);
  EXPECT_EQ(PeerClass(grabberOut), CLSID_DSoundRender);
  auto sidesAgree = [&] {
    EXPECT_TRUE(grabber->InputPin()->ConnectionType().Equals(grabber->OutputPin()->ConnectionType()));
    EXPECT_NE(grabber->InputPin()->Allocator(), nullptr);
    EXPECT_EQ(static_cast<IMemAllocator*>(grabber->InputPin()->Allocator()), grabber->OutputPin()->Allocator());
  };
  sidesAgree();

  ASSERT_EQ(graph->AddFilter(nullRenderer, u"File Renderer"), S_OK);
  IPin* rendererIn = nullptr;
  grabberOut->ConnectedTo(&rendererIn);
  ASSERT_EQ(graph->Disconnect(grabberOut), S_OK);
  ASSERT_EQ(graph->Disconnect(rendererIn), S_OK);
  rendererIn->Release();
  IPin* nullIn = nullptr;
  ASSERT_EQ(nullRenderer->FindPin(u"In", &nullIn), S_OK);
  ASSERT_EQ(graph->Connect(grabberOut, nullIn), S_OK);
  nullIn->Release();
  EXPECT_EQ(PeerClass(grabberOut), CLSID_NullRenderer);
  sidesAgree();

  IMediaFilter* filter = nullptr;
  IMediaControl* control = nullptr;
  IMediaEvent* events = nullptr;
  graph->QueryInterface(IID_IMediaFilter, reinterpret_cast<void**>(&filter));
  graph->QueryInterface(IID_IMediaControl, reinterpret_cast<void**>(&control));
  graph->QueryInterface(IID_IMediaEvent, reinterpret_cast<void**>(&events));
  filter->SetSyncSource(nullptr);
  ASSERT_EQ(control->Run(), S_OK);
  int32_t code = 0;
  EXPECT_EQ(events->WaitForCompletion(20000, &code), S_OK);
  EXPECT_EQ(code, EC_COMPLETE);
  EXPECT_EQ(bytes, static_cast<int64_t>(DecodeMp3WithMpg123(mp3).size()));
  events->Release();
  control->Release();
  filter->Release();
  graph->Release();
  nullRenderer->Release();
  grabber->AsBaseFilter()->Release();
  reader->AsBaseFilter()->Release();
  DeleteMemStream(stream);
}
