// The system's filters on the library's classes: MP3 rendered through the decoder
// filter gives the compression manager's bytes; the renderers and Stop behave.
#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>
#include <thread>

#include "filters/system/audio_renderer.h"
#include "filters/system/system_filters.h"
#include "host/audio/audio.h"
#include "host/audio/output.h"
#include "host/com/class_registry.h"
#include "host/dshow/pin_walk.h"
#include "host/dshow/reference_clock.h"
#include "tests/filters/framework_fixture.h"
#include "tests/filters/system/file_source.h"
#include "tests/filters/test_filters.h"
#include "tests/sound/test_media.h"

namespace {

// A PCM media type of `format`, for a test source to offer (which then owns it).
D_CMediaTypeRec* PcmType(const WAVEFORMATEX& format) {
  auto* pcm = new D_CMediaTypeRec;
  pcm->SetMajorType(MEDIATYPE_Audio);
  pcm->SetSubtype(MEDIASUBTYPE_PCM);
  pcm->formattype = FORMAT_WaveFormatEx;
  pcm->cbFormat = sizeof format;
  pcm->pbFormat = static_cast<uint8_t*>(CoTaskMemAlloc(sizeof format));
  std::memcpy(pcm->pbFormat, &format, sizeof format);
  return pcm;
}

class SystemFilters : public FrameworkTest {
 protected:
  void SetUp() override {
    RegisterSystemFilters();
    ASSERT_EQ(CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_IGraphBuilder,
                               graph.OutVoid()),
              S_OK);
  }
  void TearDown() override {
    SetAudioRendererSteadyTime(nullptr);
    graph.Reset();
    EXPECT_EQ(LiveHostMediaObjectCount(), 0);
    FrameworkTest::TearDown();
  }
  template <typename F>
  F* Add(F* filter, const char16_t* name) {
    EXPECT_EQ(graph->AddFilter(filter->AsBaseFilter(), name), S_OK);
    filter->AsBaseFilter()->Release();
    return filter;
  }
  // The MP3 rendered, then its audio renderer swapped for a sink that records the PCM.
  TestSink* RenderIntoSink(const Bytes& mp3) {
    FileSource* source = Add(FileSource::Make(mp3), u"file");
    EXPECT_EQ(graph->Render(source->pin()), S_OK);
    ComPtr<IBaseFilter> renderer;
    EXPECT_EQ(graph->FindFilterByName(u"Audio Renderer", renderer.Out()), S_OK);
    if (!renderer) return nullptr;
    ComPtr<IPin> in = FilterPins(renderer.get(), PINDIR_INPUT)[0];
    ComPtr<IPin> decoded = PinPeer(in.get());
    graph->Disconnect(in.get());
    graph->Disconnect(decoded.get());
    TestSink* sink = Add(MakeReferenced<TestSink>(), u"sink");
    EXPECT_EQ(graph->Connect(decoded.get(), sink->pin().AsPin()), S_OK);
    return sink;
  }
  // A source of 16-bit stereo PCM at 44.1 kHz in samples of `frames`, connected to a
  // new default audio renderer in the graph; the renderer, null on a failure.
  ComPtr<IBaseFilter> ConnectPcmToAudioRenderer(int frames, TestSource** source) {
    *source = Add(MakeReferenced<TestSource>(), u"source");
    (*source)->offered.push_back(PcmType({WAVE_FORMAT_PCM, 2, 44100, 176400, 4, 16, 0}));
    (*source)->bufferSize = frames * 4;
    ComPtr<IBaseFilter> renderer;
    if (CoCreateInstance(CLSID_DSoundRender, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter, renderer.OutVoid()) != S_OK ||
        graph->AddFilter(renderer.get(), u"audio") != S_OK ||
        graph->Connect((*source)->pin().AsPin(), FilterPins(renderer.get())[0].get()) != S_OK) {
      return {};
    }
    return renderer;
  }
  ComPtr<IGraphBuilder> graph;
};

Bytes Tagged(Bytes mp3) {
  Bytes id3 = {'I', 'D', '3', 3, 0, 0, 0, 0, 0, 20};
  id3.resize(30, 0xFF);  // tag bytes that look like frame headers
  mp3.insert(mp3.begin(), id3.begin(), id3.end());
  Bytes v1(128, 0xFF);
  std::memcpy(v1.data(), "TAG", 3);
  mp3.insert(mp3.end(), v1.begin(), v1.end());
  return mp3;
}

TEST_F(SystemFilters, Mp3RendersThroughTheDecoderToTheBytesOfWholeFrameDecoding) {
  struct Case {
    int channels, rate, kbps;
    bool tags;
  } cases[] = {{2, 44100, 128, false}, {1, 22050, 32, true}, {1, 16000, 8, false}, {2, 48000, 160, true}};
  for (const Case& c : cases) {
    Bytes plain = EncodeMp3(TestTone(c.rate / 2, c.channels, c.rate), c.channels, c.rate, c.kbps);
    Bytes mp3 = c.tags ? Tagged(plain) : plain;
    TestSink* sink = RenderIntoSink(mp3);
    ASSERT_NE(sink, nullptr);
    auto control = graph.As<IMediaControl>(IID_IMediaControl);
    ASSERT_EQ(control->Run(), S_OK);
    ASSERT_EQ(WaitForObject(&sink->endOfStream, kInfinite), 0);
    EXPECT_EQ(control->Stop(), S_OK);
    EXPECT_TRUE(sink->bytes == DecodeMp3WithMpg123(plain)) << c.rate << " " << sink->bytes.size();
    AM_MEDIA_TYPE type{};
    ASSERT_EQ(sink->pin().ConnectionMediaType(&type), S_OK);
    auto* format = reinterpret_cast<WAVEFORMATEX*>(type.pbFormat);
    EXPECT_EQ(format->nSamplesPerSec, static_cast<uint32_t>(c.rate));
    EXPECT_EQ(format->nChannels, c.channels);
    FreeMediaTypeRecord(&type);
    graph.Reset();
    SetUp();
  }

  // Garbage: the decoder refuses it at the connection, and nothing stays behind.
  Bytes noise = NoiseBytes(100000, 7);
  FileSource* source = Add(FileSource::Make(noise), u"file");
  EXPECT_EQ(graph->Render(source->pin()), VFW_E_CANNOT_RENDER);
  EXPECT_FALSE(PinPeer(source->pin()));
}

TEST_F(SystemFilters, StopReturnsWhileTheDecoderWaitsForAnEmptySample) {
  Bytes mp3 = EncodeMp3(TestTone(44100 * 2, 2, 44100), 2, 44100, 128);
  TestSink* sink = RenderIntoSink(mp3);
  ASSERT_NE(sink, nullptr);
  sink->holdSamples = true;  // the four output buffers run out
  auto control = graph.As<IMediaControl>(IID_IMediaControl);
  ASSERT_EQ(control->Run(), S_OK);
  while (sink->samples.load() < 4) std::this_thread::yield();
  // The decoder first: the sink's stop would release the shared allocator itself.
  ComPtr<IBaseFilter> decoder;
  ASSERT_EQ(graph->FindFilterByName(u"MP3 Decoder", decoder.Out()), S_OK);
  EXPECT_EQ(decoder->Stop(), S_OK);
  EXPECT_EQ(control->Stop(), S_OK);
  EXPECT_EQ(sink->samples.load(), 4);
  EXPECT_FALSE(sink->endOfStream.IsSet());
  sink->ReleaseHeld();
  // The decoder's thread is joined; the reader, read only synchronously, never made one.
  EXPECT_EQ(LiveHostThreadCount(), 0);
}

TEST_F(SystemFilters, RenderersReportTheEndOnceRunningAndTheAudioOneTakesOnlyPcm) {
  TestSource* source = Add(MakeReferenced<TestSource>(), u"source");
  auto* stream = new D_CMediaTypeRec;
  MakeTestType(*stream, MEDIATYPE_Stream, MEDIASUBTYPE_MPEG1Audio, 1);
  source->offered.push_back(stream);
  ComPtr<IBaseFilter> audio, null;
  ASSERT_EQ(CoCreateInstance(CLSID_DSoundRender, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter, audio.OutVoid()), S_OK);
  ASSERT_EQ(CoCreateInstance(CLSID_NullRenderer, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter, null.OutVoid()), S_OK);
  ASSERT_EQ(graph->AddFilter(audio.get(), u"audio"), S_OK);
  ASSERT_EQ(graph->AddFilter(null.get(), u"null"), S_OK);
  IPin* out = source->pin().AsPin();
  EXPECT_EQ(graph->ConnectDirect(out, FilterPins(audio.get())[0].get(), nullptr), VFW_E_NO_ACCEPTABLE_TYPES);
  ASSERT_EQ(graph->ConnectDirect(out, FilterPins(null.get())[0].get(), nullptr), S_OK);

  // An end of stream while paused is held until the renderer runs.
  auto control = graph.As<IMediaControl>(IID_IMediaControl);
  auto events = graph.As<IMediaEvent>(IID_IMediaEvent);
  ASSERT_EQ(control->Pause(), S_OK);
  uint8_t data[4] = {1, 2, 3, 4};
  EXPECT_EQ(source->PushSample(data, 4, 0), S_OK);
  EXPECT_EQ(source->pin().DeliverEndOfStream(), S_OK);
  ASSERT_EQ(control->Run(), S_OK);
  int32_t code = 0;
  EXPECT_EQ(events->WaitForCompletion(0, &code), S_OK);
  EXPECT_EQ(code, EC_COMPLETE);
  ASSERT_EQ(control->Stop(), S_OK);
}

TEST_F(SystemFilters, TheAudioRendererIsHeardThroughTheMixerIsTheClockAndEndsOnceEverythingIsHeard) {
  UseManualAudioOutput(true);
  AudioDevice* device = AudioDevice::Create();
  ASSERT_EQ(device->Initialize(nullptr), kAudioOk);
  SetAudioRendererDevice(device);
  device->Release();  // the renderers' reference keeps it
  const int frames = 4410;  // 100 ms a sample
  TestSource* source = nullptr;
  ComPtr<IBaseFilter> renderer = ConnectPcmToAudioRenderer(frames, &source);
  ASSERT_TRUE(renderer);
  auto control = graph.As<IMediaControl>(IID_IMediaControl);
  auto events = graph.As<IMediaEvent>(IID_IMediaEvent);
  auto audio = graph.As<IBasicAudio>(IID_IBasicAudio);
  EXPECT_EQ(audio->put_Balance(20000), E_INVALIDARG);
  EXPECT_EQ(audio->put_Volume(1), E_INVALIDARG);

  // Volume and balance each keep the other, whichever is set last, before the renderer
  // opens its buffer and while it plays.
  struct Level {
    int32_t balance, volume;
    bool whileRunning, volumeFirst;
  } const levels[] = {{0, 0, false, false},       {-10000, 0, false, false},  {2500, -600, false, false},
                      {-3000, -1500, true, false}, {10000, -300, true, false}, {-2000, -900, true, true},
                      {1500, -2500, false, true}};
  for (const Level& level : levels) {
    SCOPED_TRACE(testing::Message() << "balance " << level.balance << " volume " << level.volume << " volume first "
                                    << level.volumeFirst);
    auto setLevels = [&] {
      if (level.volumeFirst) {
        ASSERT_EQ(audio->put_Volume(level.volume), S_OK);
      }
      ASSERT_EQ(audio->put_Balance(level.balance), S_OK);
      if (!level.volumeFirst) {
        ASSERT_EQ(audio->put_Volume(level.volume), S_OK);
      }
    };
    if (!level.whileRunning) setLevels();
    ASSERT_EQ(control->Run(), S_OK);
    if (level.whileRunning) setLevels();
    int32_t balance = 1, volume = 1;
    ASSERT_EQ(audio->get_Balance(&balance), S_OK);
    ASSERT_EQ(audio->get_Volume(&volume), S_OK);
    EXPECT_EQ(balance, level.balance);
    EXPECT_EQ(volume, level.volume);
    // The mixer's rule: the volume on both sides, the balance lowering the other side.
    auto gain = [&](int32_t hundredths) {
      return static_cast<int64_t>(std::lround(65536 * std::pow(10.0, hundredths / 2000.0)));
    };
    const int64_t gains[2] = {level.balance >= 10000 ? 0 : gain(level.volume - std::max(level.balance, 0)),
                              level.balance <= -10000 ? 0 : gain(level.volume + std::min(level.balance, 0))};
    ManualAudioOutput* speaker = CurrentManualAudioOutput();
    ASSERT_NE(speaker, nullptr);
    std::vector<int16_t> tone = TestTone(frames * 3, 2, 44100);
    for (int i = 0; i < 3; ++i) {
      ASSERT_EQ(source->PushSample(reinterpret_cast<uint8_t*>(&tone[i * frames * 2]), frames * 4, 0), S_OK);
    }
    std::thread end([&] { source->pin().DeliverEndOfStream(); });  // returns once heard
    // The renderer is the graph's clock, and its time is the time the speaker has played.
    ComPtr<IReferenceClock> clock;
    ASSERT_EQ(graph.As<IMediaFilter>(IID_IMediaFilter)->GetSyncSource(clock.Out()), S_OK);
    EXPECT_EQ(clock.get(), renderer.As<IReferenceClock>(IID_IReferenceClock).get());
    REFERENCE_TIME before = 0, after = 0;
    Event due(false, false);
    uintptr_t cookie = 0;
    clock->GetTime(&before);
    ASSERT_EQ(clock->AdviseTime(before, 500000, &due, &cookie), S_OK);
    int32_t code = 0;
    speaker->Advance(frames);
    clock->GetTime(&after);
    EXPECT_EQ(after - before, 1000000);
    EXPECT_EQ(WaitForObject(&due, kInfinite), 0);
    EXPECT_EQ(events->WaitForCompletion(0, &code), E_ABORT);
    speaker->Advance(frames * 2);
    EXPECT_EQ(events->WaitForCompletion(-1, &code), S_OK);
    end.join();
    std::vector<int16_t> heard = speaker->TakeCaptured();
    ASSERT_EQ(heard.size(), tone.size());
    for (size_t i = 0; i < tone.size(); ++i) {
      ASSERT_EQ(heard[i], static_cast<int16_t>(tone[i] * gains[i % 2] >> 16)) << "at " << i;
    }
    ASSERT_EQ(control->Stop(), S_OK);
  }
  // A flush drops what was queued and not yet heard: a seek hears nothing of before.
  ASSERT_EQ(control->Run(), S_OK);
  std::vector<int16_t> tone = TestTone(frames, 2, 44100);
  ASSERT_EQ(source->PushSample(reinterpret_cast<uint8_t*>(tone.data()), frames * 4, 0), S_OK);
  source->pin().DeliverBeginFlush();
  source->pin().DeliverEndFlush();
  CurrentManualAudioOutput()->Advance(frames);
  for (int16_t v : CurrentManualAudioOutput()->TakeCaptured()) ASSERT_EQ(v, 0);
  // A stream that falls behind leaves a gap: the buffer does not go round to play what
  // was heard a second before.
  ASSERT_EQ(source->PushSample(reinterpret_cast<uint8_t*>(tone.data()), frames * 4, 0), S_OK);
  CurrentManualAudioOutput()->Advance(frames);
  REFERENCE_TIME now = 0;
  renderer.As<IReferenceClock>(IID_IReferenceClock)->GetTime(&now);  // the renderer looks at its buffer
  CurrentManualAudioOutput()->TakeCaptured();
  CurrentManualAudioOutput()->Advance(44100);
  for (int16_t v : CurrentManualAudioOutput()->TakeCaptured()) ASSERT_EQ(v, 0);
  ASSERT_EQ(control->Stop(), S_OK);
  SetAudioRendererDevice(nullptr);
  EXPECT_EQ(CurrentManualAudioOutput(), nullptr);  // the last reference closed it
  UseManualAudioOutput(false);
}

// A steady time that moves 10 ms each time it is looked at: the renderer's clock runs
// exactly as fast as the renderer looks, and no test waits for real time to pass.
std::atomic<REFERENCE_TIME> g_lookedAt{0};
REFERENCE_TIME TimeThatMovesWhenLookedAt() { return g_lookedAt.fetch_add(100000) + 100000; }

// With no device the renderer drops the sound as it falls due and its clock keeps the
// stream's time: the end comes once the clock has reached the sound's length, not at
// once and not a second early, also for more than its one-second buffer holds.
TEST_F(SystemFilters, WithoutADeviceTheAudioRendererEndsWhenItsClockReachesTheSoundsLength) {
  SetAudioRendererDevice(nullptr);
  SetAudioRendererSteadyTime(TimeThatMovesWhenLookedAt);
  const int frames = 4410;  // 100 ms a sample
  TestSource* source = nullptr;
  ComPtr<IBaseFilter> renderer = ConnectPcmToAudioRenderer(frames, &source);
  ASSERT_TRUE(renderer);
  auto control = graph.As<IMediaControl>(IID_IMediaControl);
  auto events = graph.As<IMediaEvent>(IID_IMediaEvent);
  auto clock = renderer.As<IReferenceClock>(IID_IReferenceClock);
  for (int samples : {3, 12}) {
    SCOPED_TRACE(samples);
    REFERENCE_TIME before = 0, after = 0;
    ASSERT_EQ(clock->GetTime(&before), S_OK);
    ASSERT_EQ(control->Run(), S_OK);
    const std::vector<int16_t> tone = TestTone(frames * samples, 2, 44100);
    for (int i = 0; i < samples; ++i) {
      ASSERT_EQ(source->PushSample(reinterpret_cast<const uint8_t*>(&tone[i * frames * 2]), frames * 4, 0), S_OK);
    }
    EXPECT_EQ(AudioRendererBytesTaken(renderer.get()), int64_t{frames} * 4 * samples);
    ASSERT_EQ(source->pin().DeliverEndOfStream(), S_OK);  // returns once the clock has passed the end
    int32_t code = 0;
    ASSERT_EQ(events->WaitForCompletion(0, &code), S_OK);
    EXPECT_EQ(code, EC_COMPLETE);
    ASSERT_EQ(clock->GetTime(&after), S_OK);
    const REFERENCE_TIME length = int64_t{samples} * 1000000;
    EXPECT_GE(after - before, length);
    EXPECT_LE(after - before, length + 10 * 100000);  // a few looks past it
    ASSERT_EQ(control->Stop(), S_OK);
  }
}

}  // namespace
