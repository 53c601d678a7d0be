// MP3 through the sound converter against libmpg123 alone, and the mixer's cost for
// 32 playing effects. Each reports a ratio to its reference measured in the same run.
#include <benchmark/benchmark.h>
#include <mpg123.h>

#include <chrono>
#include <ctime>
#include <cstring>

#include "host/audio/audio.h"
#include "host/audio/output.h"
#include <filesystem>

#include "platform/alloc.h"
#include "platform/log.h"
#include "platform/util.h"
#include "sound/music.h"
#include "sound/sound.h"
#include "sound/sound_internal.h"
#include "platform/stream.h"
#include "sound/decoders/sound_converter.h"
#include "tests/sound/test_media.h"

namespace {

using Clock = std::chrono::steady_clock;

const Bytes& Music() {
  static Bytes mp3 = EncodeMp3(TestTone(44100 * 20, 2, 44100), 2, 44100, 192);
  return mp3;
}

size_t DecodeWithConverter(const Bytes& mp3) {
  StreamHandle s = BufferStreamOpen(mp3.data(), mp3.size());
  SoundStream stream{*GetBufferStreamFunctions(), s};
  SoundConverter c;
  if (OpenSoundConverter(&stream, &c) != 0) return 0;
  uint8_t* block = nullptr;
  uint32_t size = 0;
  WaveFormatEx f;
  DecodeSoundConverterToMemory(&c, &block, &size, &f);
  TrackedFree(block);
  CloseSoundConverter(&c);
  BufferStreamClose(s);
  return size;
}

// Speed of the converter as a share of libmpg123's own speed (target at least 0.9).
void BM_Mp3ConverterVsLibmpg123(benchmark::State& state) {
  const Bytes& mp3 = Music();
  mpg123_init();
  double converter = 0, alone = 0;
  size_t bytes = 0;
  for (auto _ : state) {
    auto t0 = Clock::now();
    bytes = DecodeMp3BytesWithMpg123(mp3);
    auto t1 = Clock::now();
    size_t got = DecodeWithConverter(mp3);
    auto t2 = Clock::now();
    benchmark::DoNotOptimize(got);
    alone += std::chrono::duration<double>(t1 - t0).count();
    converter += std::chrono::duration<double>(t2 - t1).count();
  }
  state.counters["speed_vs_libmpg123"] = alone / converter;
  state.counters["audio_seconds"] = static_cast<double>(bytes) / 176400.0;
}
BENCHMARK(BM_Mp3ConverterVsLibmpg123)->Unit(benchmark::kMillisecond)->Iterations(10);

// MP3 converted through the filter graph (decoder mask bits 0-3 set) as a share of
// libmpg123's own speed (target at least 0.9), with the compression manager's path
// beside it, by wall time and by the process's processor time (the graph decodes on
// threads of its own, so on a busy machine its wall time also counts waits for a
// processor). One conversion's wall time is how long the graph decoder would hold the
// sound lock were it kept across the run (one refill period is 30 ms).
double ProcessorSeconds() {
  timespec t{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

void BM_Mp3GraphVsLibmpg123(benchmark::State& state) {
  const Bytes& mp3 = Music();
  mpg123_init();
  double wall[3] = {}, cpu[3] = {};
  const int saved = g_soundDecoderMask;
  for (auto _ : state) {
    size_t bytes[3] = {};
    for (int path = 0; path < 3; ++path) {
      const double c0 = ProcessorSeconds();
      auto t0 = Clock::now();
      g_soundDecoderMask = path == 1 ? 0x0F : 0x17;
      bytes[path] = path == 0 ? DecodeMp3BytesWithMpg123(mp3) : DecodeWithConverter(mp3);
      wall[path] += std::chrono::duration<double>(Clock::now() - t0).count();
      cpu[path] += ProcessorSeconds() - c0;
    }
    if (bytes[1] != bytes[2]) state.SkipWithError("the two converters' PCM differs in length");
  }
  g_soundDecoderMask = saved;
  state.counters["graph_speed_vs_libmpg123"] = wall[0] / wall[1];
  state.counters["graph_cpu_vs_libmpg123"] = cpu[0] / cpu[1];
  state.counters["acm_speed_vs_libmpg123"] = wall[0] / wall[2];
  state.counters["acm_cpu_vs_libmpg123"] = cpu[0] / cpu[2];
  state.counters["graph_conversion_ms"] = 1000.0 * wall[1] / static_cast<double>(state.iterations());
}
BENCHMARK(BM_Mp3GraphVsLibmpg123)->Unit(benchmark::kMillisecond)->Iterations(10);

// Mixing one second of output with 32 effects playing (half of them resampled), as a
// percentage of one core's second (target under 1 %).
void BM_Mixer32Effects(benchmark::State& state) {
  UseManualAudioOutput(true);
  AudioDevice* device = AudioDevice::Create();
  device->Initialize(nullptr);
  ManualAudioOutput* out = CurrentManualAudioOutput();
  out->SetRecording(false);  // what a test records is no cost of playing
  std::vector<AudioBuffer*> buffers;
  Bytes pcm = AsBytes(TestTone(44100 * 2, 2, 44100));
  for (int i = 0; i < 32; ++i) {
    WaveFormatEx f = i % 2 ? WaveFormatEx{1, 2, 44100, 176400, 4, 16, 0} : WaveFormatEx{1, 2, 22050, 88200, 4, 16, 0};
    AudioBufferDesc desc{0x80E2, static_cast<uint32_t>(pcm.size()), &f};
    AudioBuffer* b = nullptr;
    device->CreateSoundBuffer(&desc, &b);
    void *r1, *r2;
    uint32_t n1, n2;
    b->Lock(0, desc.bufferBytes, &r1, &n1, &r2, &n2, 0);
    std::memcpy(r1, pcm.data(), n1);
    b->Unlock(r1, n1, r2, n2);
    b->SetVolume(-300 * (i % 4));
    b->SetPan(-2000 + 125 * i);
    b->Play(0, 0, kPlayLooping);
    buffers.push_back(b);
  }
  double seconds = 0;
  int64_t iterations = 0;
  for (auto _ : state) {
    auto t0 = Clock::now();
    out->Advance(44100);
    seconds += std::chrono::duration<double>(Clock::now() - t0).count();
    out->TakeCaptured();
    ++iterations;
  }
  state.counters["core_percent_per_audio_second"] = 100.0 * seconds / static_cast<double>(iterations);
  for (AudioBuffer* b : buffers) b->Release();
  device->Release();
}
BENCHMARK(BM_Mixer32Effects)->Unit(benchmark::kMillisecond);

// The refill's cost for one MP3 music stream as a share of one core (target under
// 2 %), beside libmpg123 decoding the same file alone, per second of audio.
void BM_MusicRefillShareOfCore(benchmark::State& state) {
  const Bytes& mp3 = Music();
  std::string dir = (std::filesystem::temp_directory_path() / "sound-bench").string();
  std::filesystem::create_directories(dir);
  StartLog(dir.c_str());
  std::string path = dir + "/title.mp3";
  WriteWholeFile(path, mp3);
  g_processorCount = 1;  // this loop does the refills
  UseManualAudioOutput(true);
  InitSoundSystem();
  CurrentManualAudioOutput()->SetRecording(false);
  double refill = 0, audio = 0, alone = 0;
  for (auto _ : state) {
    PlayMusicFile(path.c_str(), 3);
    for (int pass = 0; pass < 2000; ++pass) {  // 60 s of audio in 30 ms passes
      CurrentManualAudioOutput()->Advance(1323);
      auto t0 = Clock::now();
      ProcessStreamSounds();
      refill += std::chrono::duration<double>(Clock::now() - t0).count();
    }
    audio += 2000 * 0.03;
    StopCurrentMusic();
    auto t0 = Clock::now();
    size_t bytes = DecodeMp3BytesWithMpg123(mp3);
    alone += std::chrono::duration<double>(Clock::now() - t0).count() / (static_cast<double>(bytes) / 176400.0);
  }
  EndSoundSystem();
  std::filesystem::remove_all(dir);
  state.counters["refill_core_percent"] = 100.0 * refill / audio;
  state.counters["libmpg123_alone_core_percent"] = 100.0 * alone / static_cast<double>(state.iterations());
}
BENCHMARK(BM_MusicRefillShareOfCore)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace

BENCHMARK_MAIN();
