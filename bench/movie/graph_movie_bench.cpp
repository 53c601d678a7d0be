// 640 x 480 MPEG-4 frames played through the movie graph (the FFmpeg file source into
// the frame renderer, no clock) against libavcodec and libswscale alone decoding and
// converting the same file, in one run. And the file source's seeks in an H.264
// transport stream, which has no index, against the same seeks in MP4, which has one.
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

#include "filters/system/media_stream.h"
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

// 15 s of 320 x 240 H.264 with the encoder's B-frames and AAC sound, key frames
// `keySeconds` apart, in `container`.
std::string SeekFile(const char* container, int keySeconds) {
  static TempDir folder;
  FfmpegMovieSpec spec{container, AV_CODEC_ID_H264, AV_CODEC_ID_AAC, 320, 240, 375, 25, 25 * keySeconds, 44100, 2};
  spec.videoOptions = "sc_threshold=0";
  const std::string file = folder.File(std::to_string(keySeconds) + "s." + container);
  WriteFfmpegMovie(file, spec);
  return file;
}

// Seconds from each seek to its first picture converted, over eight targets.
double SeekToPictures(const std::string& path) {
  MediaStream stream;
  if (!stream.Open(path.c_str(), 0) || stream.kind() != MediaStream::Kind::Video) return -1;
  std::vector<uint8_t> picture(static_cast<size_t>(stream.FrameBytes()));
  double seconds = 0;
  for (double target : {7.3, 1.1, 12.9, 4.6, 14.2, 9.5, 2.8, 11.4}) {
    const auto t0 = Clock::now();
    if (!stream.Seek(static_cast<int64_t>(target * 1e7)) || stream.NextFrame() != 1 ||
        !stream.ConvertVideo(picture.data(), true)) {
      return -1;
    }
    seconds += std::chrono::duration<double>(Clock::now() - t0).count();
  }
  return seconds;
}

void BM_SeekTransportStreamVsMp4(benchmark::State& state) {
  const int keySeconds = static_cast<int>(state.range(0));
  const std::string ts = SeekFile("mpegts", keySeconds), mp4 = SeekFile("mp4", keySeconds);
  double inTs = 0, inMp4 = 0;
  for (auto _ : state) {
    const double a = SeekToPictures(ts), b = SeekToPictures(mp4);
    if (a < 0 || b < 0) {
      state.SkipWithError("a seek showed no picture");
      return;
    }
    inTs += a;
    inMp4 += b;
  }
  const double seeks = 8.0 * static_cast<double>(state.iterations());
  state.counters["ts_ms_per_seek"] = inTs * 1000 / seeks;
  state.counters["mp4_ms_per_seek"] = inMp4 * 1000 / seeks;
  state.counters["ts_vs_mp4"] = inTs / inMp4;
}
BENCHMARK(BM_SeekTransportStreamVsMp4)->Arg(10)->Arg(2)->Unit(benchmark::kMillisecond)->Iterations(5);

}  // namespace

BENCHMARK_MAIN();
