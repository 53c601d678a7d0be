// MP3 decoded through a graph (a source read through IAsyncReader, the system's MP3
// decoder filter, a sink) against libmpg123 alone decoding the same file in memory;
// the ratio of the two speeds is measured in one run (target at least 0.9). The graph
// decodes on its own thread, so on a busy machine its wall time also counts waits for
// a processor: the ratio of the process's processor time is reported beside it.
#include <benchmark/benchmark.h>
#include <mpg123.h>

#include <chrono>
#include <ctime>

#include "filters/system/system_filters.h"
#include "host/com/class_registry.h"
#include "host/dshow/pin_walk.h"
#include "tests/filters/system/file_source.h"
#include "tests/filters/test_filters.h"
#include "tests/sound/test_media.h"

namespace {
using Clock = std::chrono::steady_clock;

double ProcessorSeconds() {
  timespec t{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

// Renders the file, swaps the audio renderer for a sink, runs to the end.
int64_t DecodeThroughGraph(const Bytes& mp3) {
  ComPtr<IGraphBuilder> graph;
  CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_IGraphBuilder, graph.OutVoid());
  auto* source = new FileSource(mp3);
  graph->AddFilter(source->AsBaseFilter(), u"file");
  if (FAILED(graph->Render(source->pin()))) return -1;
  ComPtr<IBaseFilter> renderer;
  graph->FindFilterByName(u"Audio Renderer", renderer.Out());
  ComPtr<IPin> in = FilterPins(renderer.get(), PINDIR_INPUT)[0];
  ComPtr<IPin> decoded = PinPeer(in.get());
  graph->Disconnect(in.get());
  graph->Disconnect(decoded.get());
  TestSink* sink = MakeReferenced<TestSink>();
  sink->recordBytes = false;
  graph->AddFilter(sink->AsBaseFilter(), u"sink");
  graph->Connect(decoded.get(), sink->pin().AsPin());
  graph.As<IMediaFilter>(IID_IMediaFilter)->SetSyncSource(nullptr);
  graph.As<IMediaControl>(IID_IMediaControl)->Run();
  WaitForObject(&sink->endOfStream, kInfinite);
  const int64_t bytes = sink->bytesSeen.load();
  sink->AsBaseFilter()->Release();
  return bytes;
}

void BM_Mp3ThroughGraphVsLibmpg123(benchmark::State& state) {
  static const Bytes mp3 = EncodeMp3(TestTone(44100 * 20, 2, 44100), 2, 44100, 192);
  mpg123_init();
  RegisterSystemFilters();
  double alone = 0, graph = 0, aloneCpu = 0, graphCpu = 0;
  for (auto _ : state) {
    const double c0 = ProcessorSeconds();
    auto t0 = Clock::now();
    const size_t reference = DecodeMp3BytesWithMpg123(mp3);
    auto t1 = Clock::now();
    const double c1 = ProcessorSeconds();
    const int64_t got = DecodeThroughGraph(mp3);
    auto t2 = Clock::now();
    const double c2 = ProcessorSeconds();
    if (got != static_cast<int64_t>(reference)) state.SkipWithError("the graph's PCM differs in length");
    alone += std::chrono::duration<double>(t1 - t0).count();
    graph += std::chrono::duration<double>(t2 - t1).count();
    aloneCpu += c1 - c0;
    graphCpu += c2 - c1;
  }
  state.counters["speed_vs_libmpg123"] = alone / graph;
  state.counters["cpu_vs_libmpg123"] = aloneCpu / graphCpu;
}
BENCHMARK(BM_Mp3ThroughGraphVsLibmpg123)->Unit(benchmark::kMillisecond)->Iterations(10);

}  // namespace

BENCHMARK_MAIN();
