// Samples pushed from a source filter into a sink through the framework's pins and
// allocator, against memcpy of the same bytes into as many buffers, in one loop.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstring>
#include <vector>

#include "tests/filters/test_filters.h"

namespace {
using Clock = std::chrono::steady_clock;
double Seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

constexpr int kBuffers = 4;
constexpr int kSamplesPerRound = 64;

// A connected, paused source and sink whose allocator holds samples of `size` bytes.
struct Chain {
  explicit Chain(int32_t size) {
    source->offered.push_back(new D_CMediaTypeRec);
    MakeTestType(*source->offered.back(), MEDIATYPE_Stream, MEDIASUBTYPE_MPEG1Audio, 1);
    source->bufferCount = kBuffers;
    source->bufferSize = size;
    sink->recordBytes = false;
    source->pin().Connect(sink->pin().AsPin(), nullptr);
    sink->Pause();
    source->Pause();
  }
  ~Chain() {
    source->Stop();
    sink->Stop();
    source->pin().Disconnect();
    sink->pin().Disconnect();
    source->AsBaseFilter()->Release();
    sink->AsBaseFilter()->Release();
  }
  TestSource* source = MakeReferenced<TestSource>();
  TestSink* sink = MakeReferenced<TestSink>();
};

void BM_Samples64KiBSourceToSink(benchmark::State& state) {
  constexpr int32_t kSize = 64 * 1024;
  Chain chain(kSize);
  std::vector<uint8_t> data(kSize, 0x5A);
  std::vector<std::vector<uint8_t>> copies(kBuffers, std::vector<uint8_t>(kSize));
  double tOurs = 0, tCopy = 0;
  for (auto _ : state) {
    const auto t0 = Clock::now();
    for (int i = 0; i < kSamplesPerRound; ++i) chain.source->PushSample(data.data(), kSize, i);
    const auto t1 = Clock::now();
    for (int i = 0; i < kSamplesPerRound; ++i) std::memcpy(copies[i % kBuffers].data(), data.data(), kSize);
    benchmark::ClobberMemory();
    const auto t2 = Clock::now();
    tOurs += Seconds(t1 - t0);
    tCopy += Seconds(t2 - t1);
  }
  const double bytes = static_cast<double>(state.iterations()) * kSamplesPerRound * kSize;
  if (chain.sink->bytesSeen.load() != static_cast<int64_t>(bytes)) state.SkipWithError("samples lost");
  state.counters["GB/s"] = bytes / tOurs / 1e9;
  state.counters["vs_memcpy"] = tCopy / tOurs;
}
BENCHMARK(BM_Samples64KiBSourceToSink)->Unit(benchmark::kMicrosecond);

void BM_OneByteSamplesSourceToSink(benchmark::State& state) {
  Chain chain(1);
  const uint8_t byte = 1;
  int64_t samples = 0;
  for (auto _ : state) {
    for (int i = 0; i < kSamplesPerRound; ++i) chain.source->PushSample(&byte, 1, i);
    samples += kSamplesPerRound;
  }
  if (chain.sink->samples.load() != samples) state.SkipWithError("samples lost");
  state.counters["s_per_sample"] =
      benchmark::Counter(static_cast<double>(samples), benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_OneByteSamplesSourceToSink);
}  // namespace

BENCHMARK_MAIN();
