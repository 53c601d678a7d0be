// MP3 decoded by a filter graph built around the whole file in memory: the memory
// reader feeds the system's decoder, whose PCM the sample grabber collects on its way
// to a null renderer. The graph runs without a clock, as fast as it decodes.
#include <algorithm>
#include <cstring>
#include <mutex>

#include "filters/media_type.h"
#include "filters/mem_reader.h"
#include "filters/mem_stream.h"
#include "filters/sample_grabber.h"
#include "filters/system/system_filters.h"
#include "host/acm/mpeg_frames.h"
#include "host/com/class_registry.h"
#include "platform/alloc.h"
#include "platform/log.h"
#include "platform/window.h"
#include "sound/decoders/sound_converter.h"

CriticalSection* g_converterCallerLock = nullptr;

namespace {

constexpr size_t kGrowStep = 1048576;
// The PCM block of a stream whose frames cannot be counted, in file sizes.
constexpr size_t kUncountedPcmPerFileByte = 10;
constexpr int32_t kCompletionPollMs = 100;

template <typename T>
void ReleaseAndClear(T*& object) {
  if (object != nullptr) object->Release();
  object = nullptr;
}

// Everything one conversion makes, released in an order that keeps every reader of
// memory ahead of its freeing: the graph (which stops itself and so its threads), then
// our filters, then the stream, then the file image.
struct Mp3Graph {
  uint8_t* image = nullptr;
  D_CMemStream* stream = nullptr;
  D_CMemReader* reader = nullptr;
  D_CSampleGrabber* grabber = nullptr;
  IBaseFilter* nullRenderer = nullptr;
  IGraphBuilder* graph = nullptr;
  IMediaFilter* mediaFilter = nullptr;
  IMediaControl* control = nullptr;
  IMediaEvent* events = nullptr;

  ~Mp3Graph() {
    ReleaseAndClear(events);
    ReleaseAndClear(control);
    ReleaseAndClear(mediaFilter);
    ReleaseAndClear(graph);
    ReleaseAndClear(nullRenderer);
    if (grabber != nullptr) grabber->AsBaseFilter()->Release();
    if (reader != nullptr) reader->AsBaseFilter()->Release();
    DeleteMemStream(stream);
    TrackedFree(image);
  }
};

int Fail(const char* message) { return WriteLogFormat("%s", message); }

// Swaps the renderer that Render put after the grabber for the null renderer: the
// default audio renderer would play the sound.
HRESULT SwapRenderer(IGraphBuilder* graph, IBaseFilter* nullRenderer) {
  IEnumFilters* filters = nullptr;
  HRESULT hr = graph->EnumFilters(&filters);
  if (FAILED(hr)) return hr;
  IPin* upstream = nullptr;
  IBaseFilter* filter = nullptr;
  uint32_t fetched = 0;
  while (upstream == nullptr && filters->Next(1, &filter, &fetched) == S_OK) {
    IPin* in = FindPinByDirection(filter, PINDIR_INPUT);
    IPin* out = FindPinByDirection(filter, PINDIR_OUTPUT);
    IPin* peer = nullptr;
    if (in != nullptr && out == nullptr && SUCCEEDED(in->ConnectedTo(&peer))) {
      graph->Disconnect(peer);
      graph->Disconnect(in);
      upstream = peer;
    }
    ReleaseAndClear(in);
    ReleaseAndClear(out);
    ReleaseAndClear(filter);
  }
  filters->Release();
  if (upstream == nullptr) return VFW_E_NOT_CONNECTED;
  IPin* nullInput = FindPinByDirection(nullRenderer, PINDIR_INPUT);
  hr = nullInput != nullptr ? graph->Connect(upstream, nullInput) : E_UNEXPECTED;
  ReleaseAndClear(nullInput);
  upstream->Release();
  return hr;
}

// The connected PCM format, checked; the media type's format block is freed here
// whatever the outcome.
int ReadGrabbedFormat(D_CSampleGrabber* grabber, WaveFormatEx* format) {
  AM_MEDIA_TYPE type{};
  if (FAILED(grabber->GetConnectionType(&type))) {
    FreeMediaTypeRecord(&type);
    return Fail("音声が含まれていないか、オーディオフォーマットの取得に失敗しました。");
  }
  const bool waveFormat = type.formattype == FORMAT_WaveFormatEx && type.pbFormat != nullptr &&
                          type.cbFormat >= offsetof(WAVEFORMATEX, cbSize);
  WAVEFORMATEX wave{};
  if (waveFormat) std::memcpy(&wave, type.pbFormat, std::min<size_t>(type.cbFormat, sizeof wave));
  FreeMediaTypeRecord(&type);
  if (!waveFormat) return Fail("サポート外のストリームフォーマットです。");
  // Nothing can be counted in blocks of 0 bytes or 0 channels.
  if (wave.wFormatTag != WAVE_FORMAT_PCM || wave.nChannels == 0 || wave.nBlockAlign == 0) {
    return Fail("サポート外のオーディオフォーマットです。");
  }
  *format = {};
  format->formatTag = WAVE_FORMAT_PCM;
  format->channels = wave.nChannels;
  format->samplesPerSec = wave.nSamplesPerSec;
  format->blockAlign = wave.nBlockAlign;
  format->avgBytesPerSec = wave.nBlockAlign * wave.nSamplesPerSec;
  format->bitsPerSample = static_cast<uint16_t>(wave.nBlockAlign * 8 / wave.nChannels);
  format->cbSize = 0;
  return 0;
}

// Runs the graph to its end, pumping the window's messages meanwhile. The caller's
// lock is left for the run: the streams it guards must keep playing, and the pump may
// take it anyway.
int RunToCompletion(Mp3Graph& g) {
  const int depth = g_converterCallerLock != nullptr ? g_converterCallerLock->HeldDepth() : 0;
  for (int i = 0; i < depth; ++i) g_converterCallerLock->Leave();
  int result = 0;
  if (FAILED(g.control->Run())) {
    result = Fail("MP3変換の途中でエラーが発生しました");
  } else {
    for (;;) {
      if (PumpWindowMessages() != 0) {
        result = Fail("MP3変換の途中でソフトが終了しました");
        break;
      }
      int32_t code = 0;
      if (g.events->WaitForCompletion(kCompletionPollMs, &code) != S_OK) continue;
      if (code == EC_COMPLETE) break;
      if (code == EC_ERRORABORT) {
        result = Fail("MP3変換の途中でエラーが発生しました");
        break;
      }
    }
  }
  // Stopped before the caller's lock is taken again: no streaming thread writes the
  // converter once this returns.
  g.control->Stop();
  for (int i = 0; i < depth; ++i) g_converterCallerLock->Enter();
  return result;
}

int BuildAndRun(SoundConverter* c, Mp3Graph& g) {
  static std::once_flag registered;
  std::call_once(registered, RegisterSystemFilters);

  const int64_t fileSize = (StreamSeek(c, 0, 2), StreamTell(c));
  StreamSeek(c, 0, 0);
  if (fileSize <= 0 || fileSize > INT32_MAX) return -1;
  g.image = static_cast<uint8_t*>(TrackedAlloc(static_cast<size_t>(fileSize), "", 0));
  if (g.image == nullptr) return -1;
  if (StreamRead(c, g.image, static_cast<size_t>(fileSize)) != static_cast<size_t>(fileSize)) return -1;

  // The samples the frames hold size the PCM block once: the kept part is never more,
  // and a block grown as the PCM arrives would be copied at each step.
  const size_t tag = fileSize >= 10 ? static_cast<size_t>(MpegLeadingTagBytes(g.image)) : 0;
  const uint64_t heldSamples =
      tag < static_cast<size_t>(fileSize) ? CountMpegFrameSamples(g.image + tag, static_cast<size_t>(fileSize) - tag) : 0;

  g.stream = CreateMemStream(g.image, static_cast<uint32_t>(fileSize), 0, kUnpacedStreamRate);
  if (g.stream == nullptr) return Fail("MP3変換用 D_CMemStream の作成に失敗しました");
  D_CMediaTypeRec streamType;
  streamType.SetMajorType(MEDIATYPE_Stream);
  streamType.SetSubtype(MEDIASUBTYPE_MPEG1Audio);
  g.reader = CreateMemReader(g.stream, &streamType, nullptr);
  if (g.reader == nullptr) return Fail("MP3変換用 D_CMemReader の作成に失敗しました");
  g.reader->AsBaseFilter()->AddRef();
  if (FAILED(CoCreateInstance(CLSID_NullRenderer, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter,
                              reinterpret_cast<void**>(&g.nullRenderer)))) {
    return Fail("MP3変換用 NullRender の作成に失敗しました");
  }
  if (FAILED(CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER | CLSCTX_INPROC_HANDLER,
                              IID_IGraphBuilder, reinterpret_cast<void**>(&g.graph)))) {
    return Fail("MP3変換用 IGraphBuilder の作成に失敗しました");
  }
  g.grabber = CreateSampleGrabber(nullptr, nullptr);
  if (g.grabber == nullptr) return Fail("MP3変換用 D_CSampleGrabber の作成に失敗しました");
  g.grabber->AsBaseFilter()->AddRef();
  D_CMediaTypeRec pcmType;
  pcmType.SetMajorType(MEDIATYPE_Audio);
  pcmType.SetSubtype(MEDIASUBTYPE_PCM);
  if (FAILED(g.grabber->SetAcceptedType(&pcmType))) {
    return Fail("サンプルグラバフィルタのメディアタイプの設定に失敗しました");
  }
  if (FAILED(g.graph->AddFilter(g.grabber->AsBaseFilter(), u"SampleGrabber"))) {
    return Fail("サンプルグラバフィルタのグラフへの追加に失敗しました");
  }
  if (FAILED(g.graph->AddFilter(g.reader->AsBaseFilter(), u"MemFile"))) {
    return Fail("メモリファイルフィルタのグラフへの追加に失敗しました");
  }
  if (FAILED(g.graph->Render(g.reader->OutputPin().AsPin()))) return Fail("グラフの構築に失敗しました");
  if (FAILED(g.graph->AddFilter(g.nullRenderer, u"File Renderer"))) {
    return Fail("ヌルレンダラーフィルタのグラフへの追加に失敗しました");
  }
  if (FAILED(SwapRenderer(g.graph, g.nullRenderer))) {
    return Fail("既存レンダラーをNullレンダラーと交換する処理が失敗しました");
  }
  if (ReadGrabbedFormat(g.grabber, &c->outputFormat) != 0) return -1;
  if (FAILED(g.grabber->SetSampleCallback(CollectPcmSample, reinterpret_cast<uintptr_t>(c)))) {
    return Fail("コールバック関数を設定できません");
  }
  const uint64_t heldBytes = heldSamples * c->outputFormat.blockAlign;
  c->memory.capacity = heldBytes > 0 && heldBytes <= UINT32_MAX ? static_cast<size_t>(heldBytes)
                                                                 : static_cast<size_t>(fileSize) * kUncountedPcmPerFileByte;
  c->memory.size = 0;
  c->memory.pcm = static_cast<uint8_t*>(TrackedAlloc(c->memory.capacity, "", 0));
  if (c->memory.pcm == nullptr) return Fail("PCMデータを格納するメモリ領域の確保に失敗しました");
  if (FAILED(g.graph->QueryInterface(IID_IMediaFilter, reinterpret_cast<void**>(&g.mediaFilter)))) {
    return Fail("IMediaFilter の取得に失敗しました");
  }
  g.mediaFilter->SetSyncSource(nullptr);
  if (FAILED(g.graph->QueryInterface(IID_IMediaControl, reinterpret_cast<void**>(&g.control)))) {
    return Fail("IMediaControl の取得に失敗しました");
  }
  if (FAILED(g.graph->QueryInterface(IID_IMediaEvent, reinterpret_cast<void**>(&g.events)))) {
    return Fail("IMediaEvent の取得に失敗しました");
  }
  if (RunToCompletion(g) != 0) return -1;
  MemoryPcmState& m = c->memory;
  if (m.pcm == nullptr) return Fail("PCMデータを格納するメモリ領域の再確保に失敗しました");
  // What the cut encoder delay and padding left unused goes back; the block stays where
  // it is when it cannot shrink.
  if (m.capacity > m.size) {
    if (auto* fitted = static_cast<uint8_t*>(TrackedRealloc(m.pcm, std::max<size_t>(m.size, 1), "", 0))) {
      m.pcm = fitted;
      m.capacity = std::max<size_t>(m.size, 1);
    }
  }
  return 0;
}

}  // namespace

IPin* FindPinByDirection(IBaseFilter* filter, PIN_DIRECTION direction) {
  IEnumPins* pins = nullptr;
  if (FAILED(filter->EnumPins(&pins))) return nullptr;
  IPin* pin = nullptr;
  uint32_t fetched = 0;
  while (pins->Next(1, &pin, &fetched) == S_OK) {
    PIN_DIRECTION d;
    if (SUCCEEDED(pin->QueryDirection(&d)) && d == direction) break;
    ReleaseAndClear(pin);
  }
  pins->Release();
  return pin;
}

HRESULT CollectPcmSample(IMediaSample* sample, REFERENCE_TIME*, REFERENCE_TIME*, int32_t, uintptr_t user) {
  MemoryPcmState& m = reinterpret_cast<SoundConverter*>(user)->memory;
  if (m.pcm == nullptr) return S_OK;
  uint8_t* data = nullptr;
  sample->GetPointer(&data);
  const int32_t length = sample->GetActualDataLength();
  if (data == nullptr || length <= 0) return S_OK;
  const size_t needed = static_cast<size_t>(m.size) + static_cast<size_t>(length);
  if (needed > m.capacity) {
    size_t capacity = m.capacity;
    while (capacity < needed) capacity += kGrowStep;
    // The size is counted in 32 bits: PCM beyond that cannot be held.
    auto* grown = needed <= UINT32_MAX ? static_cast<uint8_t*>(TrackedRealloc(m.pcm, capacity, "", 0)) : nullptr;
    if (grown == nullptr) TrackedFree(m.pcm);
    m.pcm = grown;
    if (grown == nullptr) return S_OK;
    m.capacity = capacity;
  }
  std::memcpy(m.pcm + m.size, data, static_cast<size_t>(length));
  m.size += static_cast<uint32_t>(length);
  return S_OK;
}

int ConvertMp3ToPcm(SoundConverter* c) {
  c->memory = {};
  int result;
  {
    Mp3Graph graph;
    result = BuildAndRun(c, graph);
  }
  if (result != 0) {
    TrackedFree(c->memory.pcm);
    c->memory = {};
    return -1;
  }
  c->kind = kConverterMemoryPcm;
  c->blockSize = c->outputFormat.avgBytesPerSec;
  return 0;
}
