// The FFmpeg file source: every frame and every PCM byte as libavcodec with libswscale or
// libswresample alone gives them, in order and timed; seeking, the end, a stop while
// the stream is blocked, files it cannot open, and a Japanese name through RenderFile.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <filesystem>

extern "C" {
#include <libavcodec/codec_id.h>
}

#include "filters/system/media_file_source.h"
#include "filters/system/system_filters.h"
#include "host/com/class_registry.h"
#include "host/dshow/com_ptr.h"
#include "host/dshow/pin_walk.h"
#include "host/kernel/wide_string.h"
#include "platform/code_page.h"
#include "tests/filters/framework_fixture.h"
#include "tests/filters/system/ffmpeg_media.h"
#include "tests/filters/test_filters.h"
#include "tests/test_files.h"

namespace {

constexpr REFERENCE_TIME kFrameTime = 400000;  // 25 frames a second
constexpr int kRate = 22050;

struct MovieCase {
  const char* file;
  FfmpegMovieSpec spec;
  REFERENCE_TIME firstFrame;
};
// The Matroska muxer keeps times from going below 0: the audio encoder's priming (1024
// samples for AAC, 481 for MP2, in whole milliseconds) moves the pictures later.
const MovieCase kMovies[] = {
    {"mpeg4-mp2.avi", {"avi", AV_CODEC_ID_MPEG4, AV_CODEC_ID_MP2}, 0},
    {"mjpeg-aac.mkv", {"matroska", AV_CODEC_ID_MJPEG, AV_CODEC_ID_AAC, 176, 144}, 460000},
    {"mpeg4-mono.mkv", {"matroska", AV_CODEC_ID_MPEG4, AV_CODEC_ID_MP2, 161, 120, 25, 25, 10, kRate, 1}, 220000},
};

// Three seconds of H.264 with B-frames in a transport stream, a key frame every 12
// pictures: its seeks find their key frame by reading packets ahead.
const FfmpegMovieSpec kH264Ts = {"mpegts", AV_CODEC_ID_H264, AV_CODEC_ID_AAC, 64, 48, 75, 25, 12, 44100, 2, 1, -1, "", "bf=3"};

// Every type `pin` proposes, as the owned records a test sink's lists take.
std::vector<D_CMediaTypeRec*> PinTypes(IPin* pin) {
  std::vector<D_CMediaTypeRec*> list;
  ComPtr<IEnumMediaTypes> types;
  pin->EnumMediaTypes(types.Out());
  AM_MEDIA_TYPE* type = nullptr;
  while (types->Next(1, &type, nullptr) == S_OK) {
    list.push_back(new D_CMediaTypeRec);
    *list.back() = *type;
    DeleteMediaTypeRecord(type);
  }
  return list;
}

std::vector<uint8_t> Joined(const std::vector<std::vector<uint8_t>>& frames, size_t from = 0) {
  std::vector<uint8_t> all;
  for (size_t i = from; i < frames.size(); ++i) all.insert(all.end(), frames[i].begin(), frames[i].end());
  return all;
}

// What a sink recorded from `at` on.
template <class T>
std::vector<T> Since(const std::vector<T>& all, size_t at) {
  return {all.begin() + static_cast<ptrdiff_t>(std::min(at, all.size())), all.end()};
}

class MediaFileSourceTest : public FrameworkTest {
 protected:
  static void SetUpTestSuite() {
    folder_ = new TempDir;
    for (const MovieCase& m : kMovies) ASSERT_TRUE(WriteFfmpegMovie(folder_->File(m.file), m.spec)) << m.file;
  }
  static void TearDownTestSuite() { delete folder_; }
  static std::string Path(const char* file) { return folder_->File(file); }

  void TearDown() override {
    seeking_ = {};
    if (source_) {
      source_->Stop();
      for (TestSink* sink : {video_, audio_}) sink->Stop();
      for (const ComPtr<IPin>& pin : FilterPins(source_, PINDIR_OUTPUT)) pin->Disconnect();
      for (TestSink* sink : {video_, audio_}) {
        sink->pin().Disconnect();
        sink->AsBaseFilter()->Release();
      }
      source_->Release();
    }
    FrameworkTest::TearDown();
  }

  // Back to no source and no sinks, for the next case of a test.
  void Reset() {
    TearDown();
    source_ = nullptr;
    video_ = audio_ = nullptr;
  }

  // Loads `path` into a new source: the loader's result.
  HRESULT Load(const std::string& path) { return Load(std::u16string(path.begin(), path.end())); }
  HRESULT Load(const std::u16string& name) {
    EXPECT_EQ(CreateMediaFileSource(nullptr, IID_IBaseFilter, reinterpret_cast<void**>(&source_)), S_OK);
    ComPtr<IFileSourceFilter> loader;
    source_->QueryInterface(IID_IFileSourceFilter, loader.OutVoid());
    return loader->Load(name.c_str(), nullptr);
  }

  // Connects the video pin with rows as asked and the audio pin, then streams from the
  // start (or from `seekTo`) to the end.
  void ConnectAndPlay(bool bottomUp) {
    if (!video_) video_ = MakeReferenced<TestSink>();
    if (!audio_) audio_ = MakeReferenced<TestSink>();
    std::vector<ComPtr<IPin>> pins = FilterPins(source_, PINDIR_OUTPUT);
    ASSERT_EQ(pins.size(), 2u);
    video_->AsBaseFilter()->JoinFilterGraph(&graph_, u"video");
    source_->JoinFilterGraph(&graph_, u"source");
    // Only the type with the asked row order.
    for (D_CMediaTypeRec* type : PinTypes(pins[0].get())) {
      if ((reinterpret_cast<VIDEOINFOHEADER*>(type->pbFormat)->bmiHeader.biHeight > 0) == bottomUp) {
        video_->accepted.push_back(type);
      } else {
        delete type;
      }
    }
    ASSERT_EQ(pins[0]->Connect(video_->pin().AsPin(), nullptr), S_OK);
    ASSERT_EQ(pins[1]->Connect(audio_->pin().AsPin(), nullptr), S_OK);
    ASSERT_EQ(pins[0]->QueryInterface(IID_IMediaSeeking, seeking_.OutVoid()), S_OK);
    for (TestSink* sink : {video_, audio_}) sink->Pause();
    ASSERT_EQ(source_->Pause(), S_OK);
  }

  void WaitForEnds() {
    for (TestSink* sink : {video_, audio_}) ASSERT_EQ(WaitForObject(&sink->endOfStream, 20000), 0);
  }
  void Forget() {
    for (TestSink* sink : {video_, audio_}) {
      sink->bytes.clear();
      sink->starts.clear();
      sink->bytesAtFlush = sink->startsAtFlush = 0;
      sink->endOfStream.Reset();
    }
  }

  static TempDir* folder_;
  IBaseFilter* source_ = nullptr;
  TestSink* video_ = nullptr;
  TestSink* audio_ = nullptr;
  ComPtr<IMediaSeeking> seeking_;
  FakeGraph graph_;
};
TempDir* MediaFileSourceTest::folder_ = nullptr;

TEST_F(MediaFileSourceTest, FramesAndPcmEqualDirectDecodingInOrderAndTimed) {
  for (const MovieCase& m : kMovies) {
    for (bool bottomUp : {true, false}) {
      SCOPED_TRACE(std::string(m.file) + (bottomUp ? " bottom-up" : " top-down"));
      ASSERT_EQ(Load(Path(m.file)), S_OK);
      ConnectAndPlay(bottomUp);
      WaitForEnds();
      const auto frames = DecodeFramesDirectly(Path(m.file), bottomUp);
      ASSERT_EQ(frames.size(), 25u);
      EXPECT_TRUE(video_->bytes == Joined(frames));
      ASSERT_EQ(video_->starts.size(), frames.size());
      for (size_t k = 0; k < frames.size(); ++k) EXPECT_EQ(video_->starts[k], m.firstFrame + static_cast<REFERENCE_TIME>(k) * kFrameTime);
      const std::vector<uint8_t> pcm = DecodePcmDirectly(Path(m.file));
      EXPECT_GE(pcm.size(), size_t{kRate} * m.spec.channels * 2);
      EXPECT_TRUE(audio_->bytes == pcm) << audio_->bytes.size() << " bytes against " << pcm.size();
      EXPECT_EQ(audio_->starts.front(), 0);
      int64_t duration = 0;
      EXPECT_EQ(seeking_->GetDuration(&duration), S_OK);
      EXPECT_NEAR(static_cast<double>(duration), 1e7, 1e6);
      Reset();
    }
  }
}

TEST_F(MediaFileSourceTest, SeekFlushesAndRestartsEveryStreamAtThePosition) {
  ASSERT_EQ(Load(Path(kMovies[0].file)), S_OK);
  ConnectAndPlay(true);
  WaitForEnds();
  const auto frames = DecodeFramesDirectly(Path(kMovies[0].file), true);
  const std::vector<uint8_t> pcm = DecodePcmDirectly(Path(kMovies[0].file));
  // From frame 12 (0.48 s), twice: each seek flushes and restarts a stream that ended.
  for (int round = 0; round < 2; ++round) {
    Forget();
    int64_t at = 12 * kFrameTime;
    ASSERT_EQ(seeking_->SetPositions(&at, AM_SEEKING_AbsolutePositioning, nullptr, AM_SEEKING_NoPositioning), S_OK);
    WaitForEnds();
    EXPECT_TRUE(video_->bytes == Joined(frames, 12));
    ASSERT_FALSE(video_->starts.empty());
    EXPECT_EQ(video_->starts.front(), 0);  // the segment starts at the position
    // Audio from the sample at the position. The decoder starts again from a frame
    // without its history: its first frames differ, and what follows by rounding only.
    const size_t skipped = size_t{12} * kRate / 25 * 4, settle = 2 * 1152 * 2;
    ASSERT_EQ(audio_->bytes.size(), pcm.size() - skipped);
    const auto* got = reinterpret_cast<const int16_t*>(audio_->bytes.data());
    const auto* want = reinterpret_cast<const int16_t*>(pcm.data() + skipped);
    int worst = 0;
    for (size_t i = settle; i < audio_->bytes.size() / 2; ++i) worst = std::max(worst, std::abs(got[i] - want[i]));
    EXPECT_LE(worst, 2);
  }
  // A stop position ends the stream early.
  Forget();
  int64_t at = 0, stop = 5 * kFrameTime;
  ASSERT_EQ(seeking_->SetPositions(&at, AM_SEEKING_AbsolutePositioning, &stop, AM_SEEKING_AbsolutePositioning), S_OK);
  WaitForEnds();
  EXPECT_EQ(video_->starts.size(), 5u);
}

// Of several audio tracks only one is offered, as players play one: FFmpeg's pick,
// which is the track marked default.
TEST_F(MediaFileSourceTest, OneAudioTrackIsOfferedTheDefaultOne) {
  TempDir folder;
  const struct {
    const char* file;
    FfmpegMovieSpec spec;
    int track;  // the one that must play
  } cases[] = {
      {"two.mp4", {"mp4", AV_CODEC_ID_MPEG4, AV_CODEC_ID_AAC, 64, 48, 10, 25, 10, kRate, 1, 2}, 0},
      {"second-default.mkv", {"matroska", AV_CODEC_ID_MPEG4, AV_CODEC_ID_MP2, 64, 48, 10, 25, 10, kRate, 1, 3, 1}, 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.file);
    const std::string path = folder.File(c.file);
    ASSERT_TRUE(WriteFfmpegMovie(path, c.spec));
    const std::vector<uint8_t> chosen = DecodePcmDirectly(path, c.track);
    ASSERT_FALSE(chosen.empty());
    ASSERT_FALSE(chosen == DecodePcmDirectly(path, c.track == 0 ? 1 : 0)) << "the tracks must differ";
    ASSERT_EQ(Load(path), S_OK);
    ASSERT_EQ(FilterPins(source_, PINDIR_OUTPUT).size(), 2u) << "more than one audio pin";
    ConnectAndPlay(false);
    WaitForEnds();
    EXPECT_TRUE(audio_->bytes == chosen) << "not the default track";
    Reset();
  }
}

// Transport and program streams have no index: their seeks land somewhere near the
// target. The stream must still start at the picture that holds the target, decoded
// from the key frame before it: at the top (a loop's rewind), inside the first group
// of pictures, and inside the last, where a landing after the last key frame decodes
// nothing. H.264 with B-frames times the file's start by its sound, after the first
// key frame's decoding time. A seek to the end still ends the streams. MP4, which has
// an index, lands the same.
TEST_F(MediaFileSourceTest, SeeksWithoutAnIndexStartAtThePictureHoldingTheTarget) {
  TempDir folder;
  const struct {
    const char* file;
    FfmpegMovieSpec spec;
  } cases[] = {
      {"mpeg2.ts", {"mpegts", AV_CODEC_ID_MPEG2VIDEO, AV_CODEC_ID_MP2, 64, 48, 70, 25, 18}},
      {"mpeg2.mpg", {"mpeg", AV_CODEC_ID_MPEG2VIDEO, AV_CODEC_ID_MP2, 64, 48, 70, 25, 18}},
      {"h264.ts", kH264Ts},
      {"one-key.ts", {"mpegts", AV_CODEC_ID_H264, AV_CODEC_ID_AAC, 64, 48, 75, 25, 1000, 44100, 2, 1, -1, "", "bf=3,sc_threshold=0"}},
      {"refresh.ts", {"mpegts", AV_CODEC_ID_H264, AV_CODEC_ID_AAC, 64, 48, 75, 25, 20, 44100, 2, 1, -1, "", "intra-refresh=1"}},
      {"h264.mp4", {"mp4", AV_CODEC_ID_H264, AV_CODEC_ID_AAC, 64, 48, 75, 25, 12, 44100, 2, 1, -1, "", "bf=3"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.file);
    const std::string path = folder.File(c.file);
    ASSERT_TRUE(WriteFfmpegMovie(path, c.spec));
    const auto frames = DecodeFramesDirectly(path, false);
    ASSERT_NEAR(static_cast<double>(frames.size()), c.spec.frames, 1);  // MP4's edit list may hide one
    ASSERT_EQ(Load(path), S_OK);
    ConnectAndPlay(false);
    WaitForEnds();
    ASSERT_TRUE(video_->bytes == Joined(frames));
    const std::vector<REFERENCE_TIME> starts = video_->starts;  // each picture's time
    int64_t duration = 0;
    ASSERT_EQ(seeking_->GetDuration(&duration), S_OK);
    for (REFERENCE_TIME asked : {0, 2000000, 5000000, 10000000, 20000000, 26500000, 29500000, 99000000}) {
      const REFERENCE_TIME target = std::min<REFERENCE_TIME>(asked, duration);  // as the source clamps it
      SCOPED_TRACE(target);
      Forget();
      int64_t at = target;
      ASSERT_EQ(seeking_->SetPositions(&at, AM_SEEKING_AbsolutePositioning, nullptr, AM_SEEKING_NoPositioning), S_OK);
      WaitForEnds();
      if (target >= starts.back() + kFrameTime) {  // past the last picture: the end
        EXPECT_TRUE(video_->bytes.empty());
        continue;
      }
      // The picture holding the target; at the top the first, which may start later.
      const size_t k = static_cast<size_t>(std::max<ptrdiff_t>(std::upper_bound(starts.begin(), starts.end(), target) - starts.begin() - 1, 0));
      const size_t bytes = frames[0].size();
      if (video_->bytes.size() < bytes) {
        ADD_FAILURE() << "no picture";
        continue;
      }
      EXPECT_TRUE(std::equal(frames[k].begin(), frames[k].end(), video_->bytes.begin())) << "not picture " << k;
      EXPECT_EQ(video_->bytes.size(), (frames.size() - k) * bytes);
      ASSERT_FALSE(video_->starts.empty());
      EXPECT_EQ(video_->starts.front(), starts[k] - target);
    }
    Reset();
  }
}

// A second seek at once, while the first one's stream is still finding its key frame
// or delivering: after the second flush only the new position's stream comes out,
// nothing the first had read ahead, decoded or held.
TEST_F(MediaFileSourceTest, ASeekRightAfterASeekStartsAfreshAtItsOwnPosition) {
  TempDir folder;
  const std::string path = folder.File("h264.ts");
  ASSERT_TRUE(WriteFfmpegMovie(path, kH264Ts));
  const auto frames = DecodeFramesDirectly(path, false);
  ASSERT_EQ(Load(path), S_OK);
  ConnectAndPlay(false);
  WaitForEnds();
  ASSERT_TRUE(video_->bytes == Joined(frames));
  const std::vector<REFERENCE_TIME> starts = video_->starts;
  const size_t pcmBytes = audio_->bytes.size();
  const std::vector<REFERENCE_TIME> pcmStarts = audio_->starts;
  Forget();
  for (int64_t at : {20000000, 0}) {
    ASSERT_EQ(seeking_->SetPositions(&at, AM_SEEKING_AbsolutePositioning, nullptr, AM_SEEKING_NoPositioning), S_OK);
  }
  WaitForEnds();
  // What came after the last flush: the stream from the top, as the first play gave it.
  EXPECT_TRUE(Since(video_->bytes, video_->bytesAtFlush) == Joined(frames));
  EXPECT_EQ(Since(video_->starts, video_->startsAtFlush), starts);
  // The sound from the top too, as long and timed alike; not to the byte, as FFmpeg's
  // AAC decoder once flushed decodes a little differently from a new one.
  EXPECT_EQ(audio_->bytes.size() - audio_->bytesAtFlush, pcmBytes);
  EXPECT_EQ(Since(audio_->starts, audio_->startsAtFlush), pcmStarts);
}

// Recordings joined as a broadcast joins a programme and an advert: the sound's
// channels and rate change where each begins. All play through, in the format the
// pin was connected with, each with its sound, and every sample a converter still
// holds when the sound changes or ends is heard, in order: a rate other than the
// connected one goes through a resampler, which holds some back.
TEST_F(MediaFileSourceTest, ASoundChangingItsChannelsAndRateMidStreamPlaysInTheConnectedFormat) {
  TempDir folder;
  struct Piece {
    int channels, rate;
  };
  const std::vector<Piece> cases[] = {
      {{6, kRate}, {2, kRate}}, {{2, kRate}, {6, kRate}}, {{2, 16000}, {2, kRate}}, {{2, 16000}, {2, kRate}, {2, 16000}}};
  for (const auto& c : cases) {
    testing::Message trace;
    for (const Piece& p : c) trace << p.channels << " channels at " << p.rate << " Hz; ";
    SCOPED_TRACE(trace);
    std::string joined;
    double seconds = 0;  // of sound, as each piece alone decodes
    for (size_t k = 0; k < c.size(); ++k) {
      FfmpegMovieSpec spec{"mpegts", AV_CODEC_ID_MPEG2VIDEO, AV_CODEC_ID_AAC, 32, 32, 25, 25, 12, c[k].rate, c[k].channels};
      const std::string offset = "output_ts_offset=" + std::to_string(k);
      spec.muxerOptions = offset.c_str();
      const std::string part = folder.File("piece.ts");
      ASSERT_TRUE(WriteFfmpegMovie(part, spec));
      joined += ReadWholeFile(part);
      seconds += static_cast<double>(DecodePcmDirectly(part).size()) / (4.0 * c[k].rate);
    }
    const std::string path = folder.File("joined.ts");
    WriteWholeFile(path, joined);
    ASSERT_EQ(Load(path), S_OK);
    ConnectAndPlay(false);
    WaitForEnds();
    EXPECT_EQ(video_->starts.size(), 25 * c.size());
    const auto* format = reinterpret_cast<const WAVEFORMATEX*>(audio_->pin().ConnectionType().pbFormat);
    ASSERT_EQ(format->nChannels, 2);
    const int rate = c[0].rate;
    ASSERT_EQ(format->nSamplesPerSec, static_cast<uint32_t>(rate));
    const std::vector<uint8_t> want = DecodePcmDirectly(path);
    EXPECT_TRUE(audio_->bytes == want) << audio_->bytes.size() << " bytes against " << want.size();
    // Every piece's length at the connected rate, the sound of each loud in its own.
    const auto* pcm = reinterpret_cast<const int16_t*>(audio_->bytes.data());
    const size_t frames = audio_->bytes.size() / 4;
    EXPECT_NEAR(static_cast<double>(frames), seconds * rate, 0.005 * rate);
    for (size_t k = 0; k < c.size(); ++k) {
      for (double second : {k + 0.25, k + 0.7}) {
        const size_t from = static_cast<size_t>(second * rate);
        if (from + rate / 4 > frames) {
          ADD_FAILURE() << "no sound at " << second << " s";
          continue;
        }
        double sum = 0;
        for (size_t i = from * 2; i < (from + rate / 4) * 2; ++i) sum += static_cast<double>(pcm[i]) * pcm[i];
        EXPECT_GT(std::sqrt(sum / (rate / 2)), 2000) << "silent at " << second << " s";
      }
    }
    Reset();
  }
}

// A file cut short still gives its whole length in its header. A seek past its data
// ends both streams, and the position then reads the stop position, as at any end.
TEST_F(MediaFileSourceTest, ASeekPastTheDataOfACutFileEndsTheStreams) {
  TempDir folder;
  const struct {
    const char* file;
    FfmpegMovieSpec spec;
  } cases[] = {
      {"cut.mp4", {"mp4", AV_CODEC_ID_MPEG4, AV_CODEC_ID_AAC, 64, 48, 50, 25, 10, kRate, 2, 1, -1, "movflags=+faststart"}},
      {"cut.webm", {"webm", AV_CODEC_ID_VP8, AV_CODEC_ID_VORBIS, 64, 48, 50, 25, 10}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.file);
    const std::string path = folder.File(c.file);
    ASSERT_TRUE(WriteFfmpegMovie(path, c.spec));
    std::filesystem::resize_file(path, std::filesystem::file_size(path) * 3 / 10);
    ASSERT_EQ(Load(path), S_OK);
    ConnectAndPlay(false);
    WaitForEnds();
    ASSERT_GT(video_->starts.size(), 2u) << "no pictures before the cut";
    int64_t duration = 0, stop = 0;
    ASSERT_EQ(seeking_->GetDuration(&duration), S_OK);
    ASSERT_GT(duration, 15000000) << "the header's length";
    graph_.Clear();
    Forget();
    int64_t at = 15000000;
    ASSERT_EQ(seeking_->SetPositions(&at, AM_SEEKING_AbsolutePositioning, nullptr, AM_SEEKING_NoPositioning), S_OK);
    WaitForEnds();
    EXPECT_TRUE(video_->bytes.empty());
    EXPECT_EQ(graph_.Count(EC_ERRORABORT), 0);
    int64_t position = 0;
    ASSERT_EQ(seeking_->GetCurrentPosition(&position), S_OK);
    ASSERT_EQ(seeking_->GetStopPosition(&stop), S_OK);
    EXPECT_EQ(position, stop);
    Reset();
  }
}

TEST_F(MediaFileSourceTest, StopWhileTheStreamWaitsForABufferReturns) {
  ASSERT_EQ(Load(Path(kMovies[1].file)), S_OK);
  video_ = MakeReferenced<TestSink>();
  audio_ = MakeReferenced<TestSink>();
  video_->holdSamples = audio_->holdSamples = true;
  ConnectAndPlay(false);
  // Every buffer held downstream: the streaming threads wait in the allocator.
  while (video_->samples.load() < 3) ASSERT_EQ(WaitForObject(&video_->received, 20000), 0);
  EXPECT_EQ(source_->Stop(), S_OK);
  for (TestSink* sink : {video_, audio_}) sink->ReleaseHeld();
  EXPECT_EQ(video_->samples.load(), 3);
}

TEST_F(MediaFileSourceTest, FilesItCannotPlayAreRefusedWithNoPins) {
  TempDir folder;
  WriteWholeFile(folder.File("noise.avi"), std::string(5000, '\x5A'));
  const struct {
    std::string path;
    HRESULT result;
  } cases[] = {
      {folder.File("missing.avi"), HRESULT_FROM_WIN32(2)},
      {folder.File("noise.avi"), VFW_E_UNSUPPORTED_STREAM},
      {folder.path(), VFW_E_UNSUPPORTED_STREAM},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Load(c.path), c.result) << c.path;
    EXPECT_TRUE(FilterPins(source_, PINDIR_OUTPUT).empty());
    source_->Release();
    source_ = nullptr;
  }
}

// The library's Shift-JIS name becomes UTF-16 for RenderFile, and the source opens it
// as the UTF-8 path the files have here.
TEST_F(MediaFileSourceTest, RenderFileOpensAJapaneseName) {
  const std::string utf8 = "ムービー_テスト.avi";
  const std::string path = folder_->File(utf8);
  ASSERT_TRUE(WriteFfmpegMovie(path, kMovies[0].spec));
  const std::u16string wide = ShiftJisToWide(WideToShiftJis(u"ムービー_テスト.avi"));
  ASSERT_EQ(WideToUtf8(wide), utf8);
  const std::u16string full = std::u16string(folder_->path().begin(), folder_->path().end()) + u"/" + wide;
  RegisterSystemFilters();
  ComPtr<IGraphBuilder> graph;
  ASSERT_EQ(CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_IGraphBuilder, graph.OutVoid()), S_OK);
  // Sinks taking what the file's video and audio pins offer.
  TestSink* video = MakeReferenced<TestSink>();
  TestSink* audio = MakeReferenced<TestSink>();
  ASSERT_EQ(Load(full), S_OK);
  std::vector<ComPtr<IPin>> pins = FilterPins(source_, PINDIR_OUTPUT);
  video->accepted = PinTypes(pins[0].get());
  audio->accepted = PinTypes(pins[1].get());
  pins.clear();
  source_->Release();
  source_ = nullptr;
  graph->AddFilter(video->AsBaseFilter(), u"video");
  graph->AddFilter(audio->AsBaseFilter(), u"audio");
  EXPECT_EQ(graph->RenderFile(full.c_str(), nullptr), S_OK);
  EXPECT_TRUE(video->pin().IsConnected());
  EXPECT_TRUE(audio->pin().IsConnected());
  graph = {};
  video->AsBaseFilter()->Release();
  audio->AsBaseFilter()->Release();
}

}  // namespace
