// 640 x 480 MPEG-4 frames played through the movie graph (the FFmpeg file source into
// the frame renderer, no clock) against libavcodec and libswscale alone decoding and
// converting the same file, in one run.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libswscale/swscale.h>
}

#include "filters/system/system_filters.h"
#include "host/com/class_registry.h"
#include "movie/movie_renderer.h"
#include "tests/filters/system/ffmpeg_media.h"
#include "tests/test_files.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kFrames = 60;

const std::string& MovieFile() {
  static TempDir folder;
  static const std::string path = [] {
    FfmpegMovieSpec spec;
    spec.videoCodec = AV_CODEC_ID_MPEG4;
    spec.width = 640;
    spec.height = 480;
    spec.frames = kFrames;
    spec.keyEvery = 12;
    const std::string file = folder.File("bench.avi");
    WriteFfmpegMovie(file, spec);
    return file;
  }();
  return path;
}

// Every frame decoded and converted to bottom-up 24-bit rows in one buffer.
int DecodeAlone(const std::string& path) {
  AVFormatContext* in = nullptr;
  avformat_open_input(&in, path.c_str(), nullptr, nullptr);
  avformat_find_stream_info(in, nullptr);
  const AVCodecParameters* par = in->streams[0]->codecpar;
  const AVCodec* codec = avcodec_find_decoder(par->codec_id);
  AVCodecContext* c = avcodec_alloc_context3(codec);
  avcodec_parameters_to_context(c, par);
  c->thread_count = 1;
  avcodec_open2(c, codec, nullptr);
  const int stride = (c->width * 3 + 3) & ~3;
  std::vector<uint8_t> picture(static_cast<size_t>(stride) * c->height);
  SwsContext* sws = nullptr;
  AVPacket* packet = av_packet_alloc();
  AVFrame* frame = av_frame_alloc();
  int frames = 0;
  for (bool more = true; more;) {
    more = av_read_frame(in, packet) >= 0;
    avcodec_send_packet(c, more ? packet : nullptr);
    av_packet_unref(packet);
    while (avcodec_receive_frame(c, frame) == 0) {
      sws = sws_getCachedContext(sws, frame->width, frame->height, static_cast<AVPixelFormat>(frame->format), c->width,
                                 c->height, AV_PIX_FMT_BGR24, SWS_BILINEAR, nullptr, nullptr, nullptr);
      uint8_t* rows[4] = {picture.data() + static_cast<ptrdiff_t>(c->height - 1) * stride};
      int strides[4] = {-stride};
      sws_scale(sws, frame->data, frame->linesize, 0, frame->height, rows, strides);
      benchmark::DoNotOptimize(picture.data());
      ++frames;
    }
  }
  av_frame_free(&frame);
  av_packet_free(&packet);
  sws_freeContext(sws);
  avcodec_free_context(&c);
  avformat_close_input(&in);
  return frames;
}

// The graph the movie layer builds, run without a clock until the renderer completes.
int PlayThroughGraph(const std::string& path) {
  IGraphBuilder* graph = nullptr;
  CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_IGraphBuilder, reinterpret_cast<void**>(&graph));
  HRESULT result;
  D_CMovieRenderer* renderer = CreateMovieRenderer(nullptr, &result);
  graph->AddFilter(renderer->AsBaseFilter(), u"MovieRenderer");
  IMediaFilter* filter = nullptr;
  graph->QueryInterface(IID_IMediaFilter, reinterpret_cast<void**>(&filter));
  filter->SetSyncSource(nullptr);
  filter->Release();
  const std::u16string name(path.begin(), path.end());
  int frames = 0;
  if (SUCCEEDED(graph->RenderFile(name.c_str(), nullptr))) {
    IMediaControl* control = nullptr;
    IMediaEvent* events = nullptr;
    graph->QueryInterface(IID_IMediaControl, reinterpret_cast<void**>(&control));
    graph->QueryInterface(IID_IMediaEvent, reinterpret_cast<void**>(&events));
    int32_t code = 0;
    control->Run();
    if (events->WaitForCompletion(60000, &code) == S_OK && code == EC_COMPLETE) frames = kFrames;
    control->Stop();
    events->Release();
    control->Release();
  }
  graph->Release();
  return frames;
}

void BM_GraphMovieVsLibavcodec(benchmark::State& state) {
  RegisterSystemFilters();
  const std::string& path = MovieFile();
  double alone = 0, graph = 0;
  int64_t shown = 0;
  for (auto _ : state) {
    auto t0 = Clock::now();
    benchmark::DoNotOptimize(DecodeAlone(path));
    auto t1 = Clock::now();
    shown += PlayThroughGraph(path);
    auto t2 = Clock::now();
    alone += std::chrono::duration<double>(t1 - t0).count();
    graph += std::chrono::duration<double>(t2 - t1).count();
  }
  if (shown != kFrames * state.iterations()) state.SkipWithError("the graph did not play the movie to its end");
  state.counters["speed_vs_libavcodec"] = alone / graph;
  state.counters["graph_frames_per_s"] = static_cast<double>(shown) / graph;
}
BENCHMARK(BM_GraphMovieVsLibavcodec)->Unit(benchmark::kMillisecond)->Iterations(10);

}  // namespace

BENCHMARK_MAIN();
